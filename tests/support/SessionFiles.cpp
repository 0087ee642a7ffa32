#include "support/SessionFiles.h"

#include "support/TempDir.h"

#include <fstream>

namespace gathra::test {

std::string MozLz4Bytes(const std::string& text) {
    std::string out("mozLz40\0", 8);
    const auto size = static_cast<std::uint32_t>(text.size());
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((size >> (8 * i)) & 0xFF);
    // Token: literal length in the high nibble (15 and more continues in further bytes).
    size_t length = text.size();
    out += static_cast<char>((length >= 15 ? 15 : length) << 4);
    if (length >= 15) {
        length -= 15;
        while (length >= 255) {
            out += static_cast<char>(255);
            length -= 255;
        }
        out += static_cast<char>(length);
    }
    return out + text;
}

std::string SessionJson(const std::string& url, const std::string& title) {
    return R"({"version":["sessionrestore",1],"selectedWindow":2,"windows":[)"
           R"({"tabs":[{"entries":[{"url":"http://other.example/","title":"Other"}],"index":1}],"selected":1},)"
           R"({"tabs":[{"entries":[{"url":"http://first.example/","title":"First"}],"index":1},)"
           R"({"entries":[{"url":"http://back.example/","title":"Back"},{"url":")" +
           url + R"(","title":")" + title +
           R"("},{"url":"http://forward.example/","title":"Forward"}],"index":2}],"selected":2}]})";
}

std::filesystem::path WriteFirefoxSession(const std::filesystem::path& home,
                                          const std::string& name, const std::string& json,
                                          const std::string& root) {
    const std::filesystem::path folder = home / root;
    std::filesystem::create_directories(folder / name / "sessionstore-backups");
    std::string ini = ReadFileBytes(folder / "profiles.ini");
    if (ini.empty()) ini = "[General]\r\nStartWithLastProfile=1\r\n";
    ini +=
        "\r\n[Profile" + name + "]\r\nName=" + name + "\r\nIsRelative=1\r\nPath=" + name + "\r\n";
    WriteFileBytes(folder / "profiles.ini", ini);
    const std::filesystem::path store = folder / name / "sessionstore-backups" / "recovery.jsonlz4";
    WriteFileBytes(store, MozLz4Bytes(json));
    return store;
}

} // namespace gathra::test
