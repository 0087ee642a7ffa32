// The one user of the C library's character set converters (iconv).
#include "Text/Charset.h"

#include "Text/StoredText.h"

#include <cerrno>
#include <iconv.h>

namespace gathra {

namespace {

std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool IsWindows1252(const std::string& charset) {
    static constexpr std::string_view kAlike[] = {
        "windows-1252", "cp1252",   "x-cp1252", "iso-8859-1", "iso8859-1", "latin1",
        "l1",           "us-ascii", "ascii",    "iso_8859-1", "cp819",     "ansi_x3.4-1968"};
    for (std::string_view name : kAlike)
        if (charset == name) return true;
    return false;
}

} // namespace

std::optional<std::string> CharsetToUtf8(std::string_view bytes, std::string_view charset) {
    const std::string name = Lowered(charset);
    // Text that says it is UTF-8 but is not is taken for what it is not said to be.
    if (name == "utf-8" || name == "utf8")
        return IsValidUtf8(bytes) ? std::optional<std::string>(bytes) : std::nullopt;
    if (IsWindows1252(name)) return Windows1252ToUtf8(bytes);
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char block[4096];
    while (inLeft > 0) {
        char* to = block;
        size_t toLeft = sizeof block;
        const size_t done = iconv(cd, &in, &inLeft, &to, &toLeft);
        out.append(block, static_cast<size_t>(to - block));
        if (done != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // A sequence the set does not know (EILSEQ) or one cut off at the end (EINVAL): one
        // replacement character for its first byte, then on.
        out += "\xEF\xBF\xBD";
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

} // namespace gathra
