#include "Shell/ui/StartupStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <map>

namespace gathra::startup {
namespace {

std::map<std::string, std::string>& Values() {
    static std::map<std::string, std::string> values;
    return values;
}

// Reads a decimal number followed by a comma; false when the comma is missing.
bool ReadNumber(const std::string& text, size_t& pos, int& value, bool& parsed) {
    size_t comma = text.find(',', pos);
    if (comma == std::string::npos) return false;
    std::string digits = text.substr(pos, comma - pos);
    parsed = !digits.empty();
    try {
        size_t used = 0;
        value = std::stoi(digits, &used);
        parsed = parsed && used == digits.size();
    } catch (...) {
        parsed = false;
    }
    pos = comma + 1;
    return true;
}

std::string Numbers(const WindowPlacement& p) {
    return std::to_string(p.Left) + "," + std::to_string(p.Top) + "," + std::to_string(p.Width) +
           "," + std::to_string(p.Height) + "," + std::to_string(p.State) + ",";
}

// Paths longer than a length byte can say are cut to fit it.
std::string LengthPrefixed(const std::string& path) {
    std::string cut = path.substr(0, 254);
    return std::string(1, static_cast<char>(cut.size() + 1)) + cut;
}

// Five numbers; a number that does not parse takes its default. False when any comma is
// missing (the record is then not used).
bool ReadPlacement(const std::string& text, size_t& pos, WindowPlacement& p, int& count) {
    const int defaults[] = {0, 0, 200, 150, 0};
    int* fields[] = {&p.Left, &p.Top, &p.Width, &p.Height, &p.State};
    count = 0;
    for (int i = 0; i < 5; ++i) {
        int value = 0;
        bool parsed = false;
        size_t before = pos;
        if (!ReadNumber(text, pos, value, parsed)) {
            pos = before;
            return false;
        }
        *fields[i] = parsed ? value : defaults[i];
        ++count;
    }
    return true;
}

} // namespace

void LoadSettings(AppSettings&) {}

std::string ReadStartup(const std::string& name) {
    auto it = Values().find(name);
    return it == Values().end() ? std::string() : it->second;
}

void WriteStartup(const std::string& name, const std::string& value) { Values()[name] = value; }

std::string EncodeOpenBriefs(const OpenBriefs& record) {
    std::string text = Numbers(record.Main.value_or(WindowPlacement{}));
    for (const auto& brief : record.Briefs)
        text += LengthPrefixed(brief.Path) + Numbers(brief.Placement.value_or(WindowPlacement{}));
    return text;
}

OpenBriefs DecodeOpenBriefs(const std::string& value) {
    OpenBriefs record;
    size_t pos = 0;
    WindowPlacement main;
    int count = 0;
    if (!ReadPlacement(value, pos, main, count)) return record;
    record.Main = main;
    while (pos < value.size()) {
        auto length = static_cast<unsigned char>(value[pos]);
        if (length == 0) break;
        size_t pathLength = length - 1u;
        if (pos + 1 + pathLength > value.size()) break;
        OpenBriefs::Brief brief;
        brief.Path = value.substr(pos + 1, pathLength);
        pos += 1 + pathLength;
        WindowPlacement p;
        bool whole = ReadPlacement(value, pos, p, count);
        if (count >= 4) {
            if (whole) brief.Placement = p;
            record.Briefs.push_back(brief);
        }
        if (!whole) break;
    }
    return record;
}

std::string EncodePreviousBriefs(const std::array<std::string, 4>& paths) {
    std::string text;
    for (const std::string& path : paths) text += LengthPrefixed(path);
    return text;
}

std::vector<std::string> DecodePreviousBriefs(const std::string& value) {
    std::vector<std::string> paths;
    size_t pos = 0;
    while (pos < value.size() && paths.size() < 4) {
        auto length = static_cast<unsigned char>(value[pos]);
        if (length <= 1) {
            paths.emplace_back();
            pos += 1;
            continue;
        }
        size_t pathLength = length - 1u;
        if (pos + 1 + pathLength > value.size()) break;
        paths.push_back(value.substr(pos + 1, pathLength));
        pos += 1 + pathLength;
    }
    return paths;
}

std::string ProgramFolder() {
    QString dir = QCoreApplication::applicationDirPath();
    for (const char* probe : {"help", "Briefs", "images"})
        if (QFileInfo(dir + "/" + probe).isDir()) return dir.toStdString() + "/";
#ifdef GATHRA_SOURCE_DATA_DIR
    return std::string(GATHRA_SOURCE_DATA_DIR) + "/";
#else
    return dir.toStdString() + "/";
#endif
}

} // namespace gathra::startup
