#include "Net/HttpText.h"

#include <gtest/gtest.h>

namespace gathra::http {
namespace {

TEST(ConnectTarget, TheHostEndsAtEitherSeparatorAndOnlyAGoodPortIsTaken) {
    struct Case {
        const char* Target;
        const char* Host;
        int Port;
        bool Valid;
    };
    const Case cases[] = {
        {"docs.example:8080/a/b.html", "docs.example", 8080, true},
        {"docs.example:8080\\\"page.html", "docs.example", 8080, true},
        {"docs.example\\x/y", "docs.example", 80, true},
        {"docs.example", "docs.example", 80, true},
        {"docs.example:/x", "docs.example", 80, true}, // no port given: the usual one
        {"docs.example:65535", "docs.example", 65535, true},
        {"docs.example:0/x", "docs.example", 80, false},
        {"docs.example:65536/x", "docs.example", 80, false},
        {"docs.example:8o/x", "docs.example", 80, false},
        {"docs.example:808080/x", "docs.example", 80, false},
    };
    for (const Case& c : cases) {
        ConnectTarget t = ParseConnectTarget(c.Target);
        EXPECT_EQ(t.Host, c.Host) << c.Target;
        EXPECT_EQ(t.Port, c.Port) << c.Target;
        EXPECT_EQ(t.Valid, c.Valid) << c.Target;
    }
}

TEST(ConnectTarget, ABackslashAfterTheHostBeginsTheRequestPath) {
    std::string request =
        BuildRequest("docs.example:8080\\\"page.html#x", false, false, "", "", "");
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /\"page.html HTTP/1.0");
    EXPECT_NE(request.find("\r\nHost: docs.example:8080\r\n"), std::string::npos);
    request = BuildRequest("docs.example:8080\\a", true, false, "", "", "");
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET http://docs.example:8080/a HTTP/1.0");
    // Backslashes inside the path stay as they are.
    request = BuildRequest("docs.example/a\\b.htm", false, false, "", "", "");
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /a\\b.htm HTTP/1.0");
}

} // namespace
} // namespace gathra::http
