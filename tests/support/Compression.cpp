// The tests make compressed bodies with zlib itself, independently of the program's decoder.
#include "support/Compression.h"

#include <zlib.h>

#include <stdexcept>

namespace gathra::test {

std::string Compress(std::string_view plain, Packing packing) {
    const int window = packing == Packing::Gzip ? 16 + 15 : packing == Packing::Zlib ? 15 : -15;
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, window, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string packed(deflateBound(&z, static_cast<uLong>(plain.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = reinterpret_cast<Bytef*>(packed.data());
    z.avail_out = static_cast<uInt>(packed.size());
    const int result = deflate(&z, Z_FINISH);
    packed.resize(z.total_out);
    deflateEnd(&z);
    if (result != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
    return packed;
}

} // namespace gathra::test
