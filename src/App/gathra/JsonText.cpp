#include "App/gathra/JsonText.h"

#include <cstdio>

namespace gathra {

namespace {

// Length of the valid UTF-8 sequence starting at `i`, or 0 when the byte there does not begin
// one (overlong forms, surrogates and code points above U+10FFFF are not valid).
size_t Utf8SequenceLength(std::string_view s, size_t i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char b = byte(i);
    if (b < 0x80) return 1;
    size_t length = 0;
    unsigned min = 0;
    unsigned cp = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        cp = b & 0x1F;
        min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        cp = b & 0x0F;
        min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        cp = b & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > s.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

void AppendEscaped(std::string& out, unsigned char b) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04X", b);
    out += buffer;
}

} // namespace

std::string JsonString(std::string_view bytes) {
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size();) {
        auto b = static_cast<unsigned char>(bytes[i]);
        size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0) {
            AppendEscaped(out, b);
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(bytes.substr(i, length));
        } else if (b == '"') {
            out += "\\\"";
        } else if (b == '\\') {
            out += "\\\\";
        } else if (b == '\n') {
            out += "\\n";
        } else if (b == '\r') {
            out += "\\r";
        } else if (b == '\t') {
            out += "\\t";
        } else if (b < 0x20 || b == 0x7F) {
            AppendEscaped(out, b);
        } else {
            out += static_cast<char>(b);
        }
        i += length;
    }
    out += '"';
    return out;
}

} // namespace gathra
