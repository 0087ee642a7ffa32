#pragma once
#include <string>

namespace gathra::test {

// What a browser makes of a "file://" address: the path after "file://", each %XX decoded to
// its byte. Tests compare it with the path the address was made from.
inline std::string FileAddressPath(const std::string& address) {
    auto hex = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    std::string path;
    for (size_t i = std::string("file://").size(); i < address.size(); ++i) {
        if (address[i] == '%' && i + 2 < address.size()) {
            path += static_cast<char>(hex(address[i + 1]) * 16 + hex(address[i + 2]));
            i += 2;
        } else {
            path += address[i];
        }
    }
    return path;
}

} // namespace gathra::test
