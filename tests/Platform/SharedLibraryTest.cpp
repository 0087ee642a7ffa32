#include "Platform/SharedLibrary.h"

#include "Platform/TlsStream.h"
#include "Imports/BookmarkFile.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
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

// A versioned lookup gets the version it asks for, not the library's default, and falls back to
// the unversioned one where the library has no such version (or no versions at all).
TEST(SharedLibrary, LooksSymbolsUpInTheirVersion) {
    const struct {
        const char* Library;
        std::string Version;
        const char* Symbol;
        int Answer; // what the function found answers
    } cases[] = {
        {GATHRA_VERSIONED_LIBRARY, "GATHRA_1", "gathra_versioned", 1},
        {GATHRA_VERSIONED_LIBRARY, "GATHRA_2", "gathra_versioned", 2},
        {GATHRA_VERSIONED_LIBRARY, "", "gathra_versioned", 2},
        {GATHRA_VERSIONED_LIBRARY, "GATHRA_9", "gathra_versioned", 2},
        {GATHRA_DECOY_LIBRARY, "GATHRA_1", "gathra_decoy_library", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Library) + " " + c.Version);
        TSharedLibrary library(c.Library, c.Version);
        ASSERT_TRUE(library.Loaded()) << library.Error();
        EXPECT_EQ(library.SymbolVersion(), c.Version);
        int (*function)() = nullptr;
        ASSERT_TRUE(library.Resolve(c.Symbol, function)) << library.Error();
        EXPECT_EQ(function(), c.Answer);
        EXPECT_EQ(library.Error(), "");
        EXPECT_EQ(library.Symbol("gathra_no_such_function"), nullptr);
    }

    // The TLS library has the version the program asks for, for its own functions and those of
    // libcrypto, which it brings along.
    const std::string version(TlsSymbolVersion());
    TSharedLibrary tls{std::string(TlsLibraryName()), version};
    ASSERT_TRUE(tls.Loaded()) << tls.Error();
    void* handle = dlopen(std::string(TlsLibraryName()).c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr);
    for (const char* symbol : {"SSL_new", "SSL_CTX_new", "OpenSSL_version_num", "X509_free"}) {
        SCOPED_TRACE(symbol);
        void* versioned = dlvsym(handle, symbol, version.c_str());
        EXPECT_NE(versioned, nullptr) << "no " << symbol << "@" << version;
        EXPECT_EQ(tls.Symbol(symbol), versioned);
    }
    dlclose(handle);
}

} // namespace
} // namespace gathra
