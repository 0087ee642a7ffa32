#include "Platform/SharedLibrary.h"

#include <dlfcn.h>
#include <utility>

namespace gathra {

namespace {

// The dynamic linker's message of the last failure (kept per thread).
std::string LastError(const std::string& fallback) {
    const char* text = dlerror();
    return text != nullptr ? std::string(text) : fallback;
}

} // namespace

TSharedLibrary::TSharedLibrary(std::string name, std::string symbolVersion)
    : name_(std::move(name)), version_(std::move(symbolVersion)) {
    dlerror();
    // Everything bound now, so that a library that lacks one of its own dependencies fails
    // here rather than at some later call; kept to itself, so that its symbols never stand in
    // for another library's.
    handle_ = dlopen(name_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) error_ = LastError(name_ + ": cannot be opened");
}

TSharedLibrary::~TSharedLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

void* TSharedLibrary::Symbol(const char* symbol) {
    if (handle_ == nullptr) return nullptr;
    dlerror();
    void* address = version_.empty() ? nullptr : dlvsym(handle_, symbol, version_.c_str());
    if (address == nullptr) address = dlsym(handle_, symbol);
    if (address == nullptr) error_ = LastError(name_ + ": undefined symbol: " + symbol);
    return address;
}

} // namespace gathra
