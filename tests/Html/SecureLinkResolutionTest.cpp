#include "Html/LinkResolution.h"

#include <gtest/gtest.h>

#include <string>

namespace gathra {
namespace {

// Links on secure pages, and secure links on plain ones: the scheme that decides how a page is
// fetched survives resolution; a plain web address still loses its "http://".
TEST(ResolveLink, SecureAddressesKeepTheirScheme) {
    const struct {
        const char* base;
        const char* value;
        const char* expected;
    } cases[] = {
        {"https://host.com/a/b.htm", "c.htm", "https://host.com/a/c.htm"},
        {"https://host.com/a/b.htm", "../../c.htm", "https://host.com/c.htm"},
        {"https://host.com/a/b.htm", "/c.htm", "https://host.com/c.htm"},
        {"https://host.com/a/b.htm", "#top", "https://host.com/a/b.htm#top"},
        {"https://host.com/a/b.htm", "?q=1", "https://host.com/a/?q=1"},
        {"https://host.com", "a.htm", "https://host.com/a.htm"},
        {"https://host.com:8443/a/", "b.htm", "https://host.com:8443/a/b.htm"},
        {"https://host.com/a/b.htm", "//cdn.com/x.gif", "https://cdn.com/x.gif"},
        {"https://host.com/a/b.htm", "http://plain.com/x.htm", "plain.com/x.htm"},
        {"https://host.com/a/b.htm", "HTTP://plain.com", "plain.com/"},
        {"host.com/a/b.htm", "https://secure.com/x.htm", "https://secure.com/x.htm"},
        {"host.com/a/b.htm", "HTTPS://Secure.com", "https://Secure.com/"},
        {"host.com/a/b.htm", "https://secure.com/a/../x.htm", "https://secure.com/x.htm"},
        {"host.com/a/b.htm", "//cdn.com/x.gif", "cdn.com/x.gif"},
        {"https://host.com/", "", "https://host.com/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveLink(c.base, c.value), c.expected)
            << "base \"" << c.base << "\" value \"" << c.value << "\"";
    EXPECT_TRUE(IsSecureAddress("HTTPS://x/"));
    EXPECT_FALSE(IsSecureAddress("x/https://y"));
    EXPECT_FALSE(IsSecureAddress("http://x/"));
}

} // namespace
} // namespace gathra
