#pragma once
#include <optional>
#include <string>

namespace gathra {

// Reads a Firefox-family ".jsonlz4" file: the magic "mozLz40\0", the decompressed size as four
// little-endian bytes, then one LZ4 block. None when the file cannot be read, does not start
// with the magic, is cut, or does not decompress to the size it announces.
std::optional<std::string> ReadMozLz4File(const std::string& path);
// The same for bytes already read.
std::optional<std::string> DecodeMozLz4(const std::string& bytes);

} // namespace gathra
