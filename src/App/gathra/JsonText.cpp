#include "App/gathra/JsonText.h"

#include "Text/Utf8.h"

#include <cstdio>

namespace gathra {

namespace {

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
