#include "Imports/MozLz4File.h"
#include "Platform/WholeFile.h"

#include <lz4.h>

#include <cstdint>

namespace gathra {

namespace {
constexpr char Magic[] = "mozLz40"; // and its terminating NUL: eight bytes
constexpr size_t MagicSize = 8;
constexpr size_t HeaderSize = MagicSize + 4;
// A session store is a few megabytes; a size beyond this is damage, not a session.
constexpr std::uint32_t MaxDecodedBytes = 256u << 20;
constexpr std::uintmax_t MaxFileBytes = 256u << 20;
} // namespace

std::optional<std::string> DecodeMozLz4(const std::string& bytes) {
    if (bytes.size() < HeaderSize ||
        bytes.compare(0, MagicSize, std::string(Magic, MagicSize)) != 0)
        return std::nullopt;
    std::uint32_t size = 0;
    for (int i = 3; i >= 0; --i)
        size = (size << 8) | static_cast<unsigned char>(bytes[MagicSize + static_cast<size_t>(i)]);
    if (size > MaxDecodedBytes ||
        bytes.size() - HeaderSize > static_cast<size_t>(LZ4_MAX_INPUT_SIZE))
        return std::nullopt;
    std::string out(size, '\0');
    const int produced =
        LZ4_decompress_safe(bytes.data() + HeaderSize, out.data(),
                            static_cast<int>(bytes.size() - HeaderSize), static_cast<int>(size));
    if (produced < 0 || static_cast<std::uint32_t>(produced) != size) return std::nullopt;
    return out;
}

std::optional<std::string> ReadMozLz4File(const std::string& path) {
    WholeFile file = ReadWholeFile(path, MaxFileBytes);
    if (!file.Ok()) return std::nullopt;
    return DecodeMozLz4(file.Bytes);
}

} // namespace gathra
