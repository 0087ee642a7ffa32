#pragma once
#include <string>
#include <string_view>

namespace gathra {

// The path as the POSIX file system wants it: every "\" becomes "/".
std::string PosixPath(std::string_view path);

// `folder` + `name`; a "/" is put between them when the folder does not end with "/" or "\".
std::string InFolder(std::string_view folder, std::string_view name);

} // namespace gathra
