#include "Platform/SharedLibrary.h"

#include "Platform/TlsStream.h"
#include "Imports/BookmarkFile.h"

#include <gtest/gtest.h>

#include <string>

namespace gathra {
namespace {

// The libraries opened at run time, by the names the program asks for: each has its own
// functions and those of the libraries it depends on, and is of the version its name promises.
TEST(SharedLibrary, OpensTheProgramsLibrariesByNameAndSaysWhyOneFails) {
    const std::string tls(TlsLibraryName());
    const std::string sqlite(PlacesLibraryName());
    const struct {
        std::string Name;
        const char* Own;                           // a function of the library itself
        const char* Depended;                      // one of a library it depends on
        unsigned long Major;                       // the major version the name promises
        unsigned long (*MajorOf)(TSharedLibrary&); // the one the library says it has
    } libraries[] = {
        // OpenSSL's soname carries its major version; libcrypto comes with libssl.
        {tls, "SSL_new", "OpenSSL_version_num", std::stoul(tls.substr(tls.rfind(".so.") + 4)),
         [](TSharedLibrary& library) {
             unsigned long (*version)() = nullptr;
             return library.Resolve("OpenSSL_version_num", version) ? version() >> 28 : 0;
         }},
        // SQLite 3 has always been libsqlite3.so.0; it depends on the C library only.
        {sqlite, "sqlite3_open_v2", "malloc", 3,
         [](TSharedLibrary& library) {
             int (*version)() = nullptr;
             return library.Resolve("sqlite3_libversion_number", version)
                        ? static_cast<unsigned long>(version() / 1000000)
                        : 0;
         }},
    };
    for (const auto& l : libraries) {
        SCOPED_TRACE(l.Name);
        TSharedLibrary library(l.Name);
        ASSERT_TRUE(library.Loaded()) << library.Error();
        EXPECT_NE(library.Symbol(l.Own), nullptr) << library.Error();
        EXPECT_NE(library.Symbol(l.Depended), nullptr) << library.Error();
        EXPECT_EQ(l.MajorOf(library), l.Major) << library.Error();
        EXPECT_EQ(library.Error(), "");

        void (*missing)() = [] {};
        EXPECT_FALSE(library.Resolve("gathra_no_such_function", missing));
        EXPECT_EQ(missing, nullptr);
        EXPECT_NE(library.Error().find("gathra_no_such_function"), std::string::npos)
            << library.Error();
    }

    TSharedLibrary absent("libgathra-no-such-library.so.7");
    EXPECT_FALSE(absent.Loaded());
    EXPECT_NE(absent.Error().find("libgathra-no-such-library.so.7"), std::string::npos)
        << absent.Error();
    EXPECT_EQ(absent.Symbol("SSL_new"), nullptr);
}

} // namespace
} // namespace gathra
