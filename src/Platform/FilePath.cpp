#include "Platform/FilePath.h"

namespace gathra {

std::string PosixPath(std::string_view path) {
    std::string p(path);
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

std::string InFolder(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
    path.append(name.data(), name.size());
    return path;
}

} // namespace gathra
