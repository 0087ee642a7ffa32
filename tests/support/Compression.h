#pragma once
#include <string>
#include <string_view>

namespace gathra::test {

// The three forms a server may send a compressed body in.
enum class Packing {
    Gzip,       // "Content-Encoding: gzip"
    Zlib,       // "deflate" as the standard names it: deflate data in a zlib wrapping
    RawDeflate, // "deflate" as some servers send it: deflate data without a wrapping
};

// plain compressed by zlib at its best level, in the given form.
std::string Compress(std::string_view plain, Packing packing);

} // namespace gathra::test
