// A run catalogue is read back from disk by the archive's delete command: a damaged one must
// end the walk, never crash it or yield names longer than a record can hold.
#include "Run/FileNames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    gathra::CatalogContents contents = gathra::ParseCatalog(bytes);
    size_t total = contents.FolderName.size();
    if (contents.FolderName.size() > 255) std::abort();
    for (const std::string& name : contents.FileNames) {
        if (name.empty() || name.size() > 255) std::abort();
        total += name.size() + 1;
        (void)gathra::IsPlainCatalogName(name);
    }
    if (total > size) std::abort();
    return 0;
}
