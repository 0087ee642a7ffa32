#pragma once
// Brief files built record by record, and the fixture that saves and reads them in a folder of
// its own.
#include "Brief/BriefFile.h"
#include "Text/ScrambleText.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gathra::test {

// Builds brief file bytes record by record.
class Bytes {
public:
    Bytes& Word(int v) {
        auto u = static_cast<std::uint16_t>(v);
        s_ += static_cast<char>(u & 0xFF);
        s_ += static_cast<char>(u >> 8);
        return *this;
    }
    Bytes& Raw(std::string_view b) {
        s_.append(b);
        return *this;
    }
    Bytes& Header(int major = 1, int minor = 0, int words = 2, int compat = 1, int other = 1) {
        Raw("SKBF-QRW").Word(major).Word(minor).Word(words).Word(compat).Word(other);
        return *this;
    }
    Bytes& Text(int tag, std::string_view text) {
        return Word(tag).Word(static_cast<int>(text.size())).Raw(text);
    }
    Bytes& Number(int tag, int value) { return Word(tag).Word(2).Word(value); }
    Bytes& Scrambled(int tag, std::string_view plain) { return Text(tag, ScrambleText(plain)); }
    // The brief records of a new brief.
    Bytes& NewBriefRecords(int entries = 0) {
        return Text(0, "New Brief")
            .Number(2, 0)
            .Text(3, "")
            .Number(4, 1)
            .Number(5, 0)
            .Number(7, entries);
    }
    const std::string& str() const { return s_; }

private:
    std::string s_;
};

// Splits a file into its records after the 18-byte header (magic and five words): (tag, data)
// pairs.
inline std::vector<std::pair<int, std::string>> Records(const std::string& file) {
    std::vector<std::pair<int, std::string>> out;
    size_t pos = 18;
    auto word = [&](size_t at) {
        return static_cast<int>(
            static_cast<std::int16_t>(static_cast<unsigned char>(file[at]) |
                                      (static_cast<unsigned char>(file[at + 1]) << 8)));
    };
    while (pos + 4 <= file.size()) {
        int tag = word(pos);
        int length = word(pos + 2);
        out.emplace_back(tag, file.substr(pos + 4, static_cast<size_t>(length)));
        pos += 4 + static_cast<size_t>(length);
    }
    EXPECT_EQ(pos, file.size());
    return out;
}

inline std::vector<int> Tags(const std::string& file) {
    std::vector<int> tags;
    for (auto& [tag, data] : Records(file))
        tags.push_back(tag);
    return tags;
}

class BriefFileTest : public ::testing::Test {
protected:
    std::string BriefPath() const { return (dir / "Brief.brf").string(); }
    std::string CatPath() const { return (dir / "Brief.cat").string(); }

    // Reads `bytes` as Brief.brf (with an optional catalogue) into `loaded`.
    bool Load(const std::string& bytes, const std::string* cat = nullptr) {
        WriteFileBytes(BriefPath(), bytes);
        if (cat) WriteFileBytes(CatPath(), *cat);
        loaded = TBrief();
        loaded.FileName = BriefPath();
        return ReadBriefs2(loaded, dialogs);
    }

    bool SaveAndReload(TBrief& brief) {
        brief.FileName = BriefPath();
        if (!SaveBriefs2(brief, dialogs)) return false;
        loaded = TBrief();
        loaded.FileName = BriefPath();
        return ReadBriefs2(loaded, dialogs);
    }

    bool SaidLoadingError() const {
        return dialogs.Log.size() == 1 && dialogs.Log[0].Caption == kBriefLoadingErrorCaption &&
               dialogs.Log[0].Text == kBriefLoadingErrorText;
    }

    TempDir dir;
    RecordingDialogs dialogs;
    TBrief loaded;
};

} // namespace gathra::test
