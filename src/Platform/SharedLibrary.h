#pragma once
#include <string>

namespace gathra {

// A shared library opened at run time by its file name (a soname such as "libssl.so.3", looked
// for where the dynamic linker looks), for libraries that only some runs need: a run that never
// asks for one does not pay for mapping and relocating it at start-up.
//
// A library that versions its symbols (OpenSSL: "OPENSSL_3.0.0") is asked for the version the
// program was built against, so that a later release that adds an incompatible version of a
// function as the default still hands this program the one it was compiled for.
class TSharedLibrary {
public:
    // symbolVersion: the version node the symbols are looked up in ("" for none); a symbol
    // without that version (a library built without versions) is taken unversioned.
    explicit TSharedLibrary(std::string name, std::string symbolVersion = {});
    ~TSharedLibrary();
    TSharedLibrary(const TSharedLibrary&) = delete;
    TSharedLibrary& operator=(const TSharedLibrary&) = delete;

    const std::string& Name() const { return name_; }
    const std::string& SymbolVersion() const { return version_; }
    bool Loaded() const { return handle_ != nullptr; }
    // Why the library could not be opened or the last symbol not found, as the dynamic linker
    // said it; empty while nothing failed.
    const std::string& Error() const { return error_; }

    // The address of an exported function or object, searched in the library and the libraries
    // it depends on; null (and Error set) when the library is not loaded or has no such symbol.
    void* Symbol(const char* symbol);

    // Points `function` at the library's function `symbol`; false when there is none.
    template <class Function> bool Resolve(const char* symbol, Function*& function) {
        function = reinterpret_cast<Function*>(Symbol(symbol));
        return function != nullptr;
    }

private:
    std::string name_;
    std::string version_;
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace gathra
