// Reading brief files: every record checked against the file's end and its expected shape.
#include "Brief/BriefFile.h"
#include "Brief/BriefFileFormat.h"

#include "Text/ScrambleText.h"
#include "Platform/FilePath.h"
#include "Platform/OutputFile.h"
#include "Platform/WholeFile.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace gathra {

namespace {

using namespace brieffile;

// ---- reading ------------------------------------------------------------------------------------

// Reads items from a file held in memory; every read fails rather than run past the end, and a
// negative length is refused rather than taken as a huge one.
class ByteReader {
public:
    explicit ByteReader(std::string_view data) : data_(data) {}
    bool AtEnd() const { return pos_ >= data_.size(); }
    bool Word(int& value) {
        if (data_.size() - pos_ < 2) return false;
        auto lo = static_cast<unsigned char>(data_[pos_]);
        auto hi = static_cast<unsigned char>(data_[pos_ + 1]);
        pos_ += 2;
        value = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
        return true;
    }
    bool Bytes(size_t count, std::string_view& out) {
        if (data_.size() - pos_ < count) return false;
        out = data_.substr(pos_, count);
        pos_ += count;
        return true;
    }
    // A length word followed by that many bytes.
    bool String(std::string_view& out) {
        int length = 0;
        if (!Word(length) || length < 0) return false;
        return Bytes(static_cast<size_t>(length), out);
    }

private:
    std::string_view data_;
    size_t pos_ = 0;
};

enum class Shape { Text, Number, Scrambled, Skipped };

Shape ShapeOf(int tag) {
    switch (tag) {
    case TagBriefName:
    case TagComments:
    case TagReservedCode:
    case TagReservedString:
    case TagEntryName:
    case TagAddress:
    case TagPlainUserName:
    case TagPlainPassword:
    case TagReservedText:
    case TagDiscarded:
        return Shape::Text;
    case TagReservedByte:
    case TagBriefActive:
    case TagReservedCount:
    case TagEntryCount:
    case TagActive:
    case TagReservedFlag:
    case TagSpiderDepth:
    case TagLoadImages:
    case TagLoadBinaries:
    case TagLocalOnly:
    case TagNameSet:
    case TagLocked:
    case TagLockedTextSize:
    case TagIsSearch:
        return Shape::Number;
    case TagPassword:
    case TagUserName:
    case TagAgentComment:
    case TagLockedText:
        return Shape::Scrambled;
    default:
        return Shape::Skipped; // tag 23 and every tag this reader does not know
    }
}

std::uint8_t LowByte(int word) {
    return static_cast<std::uint8_t>(word & 0xFF);
}

enum class Outcome { Loaded, Corrupt, Refused };

// Applies the records of one file to a brief that starts as a new brief.
class RecordReader {
public:
    RecordReader(TBrief& brief, ByteReader& in) : brief_(brief), in_(in) {}

    // Corrupt when an item cannot be read; a record that the list cannot take (an entry field
    // before any entry, an entry past the limit) ends the reading with what was read so far.
    Outcome ReadAll() {
        Outcome outcome = Outcome::Loaded;
        while (!in_.AtEnd()) {
            int tag = 0;
            int length = 0;
            if (!in_.Word(tag) || !in_.Word(length) || length < 0) {
                outcome = Outcome::Corrupt;
                break;
            }
            std::string_view data;
            int number = 0;
            std::string plain;
            switch (ShapeOf(tag)) {
            case Shape::Text:
            case Shape::Skipped:
                if (!in_.Bytes(static_cast<size_t>(length), data)) outcome = Outcome::Corrupt;
                break;
            case Shape::Number:
                if (!in_.Word(number)) outcome = Outcome::Corrupt;
                break;
            case Shape::Scrambled:
                if (!in_.Bytes(static_cast<size_t>(length), data)) outcome = Outcome::Corrupt;
                plain = UnscrambleText(data);
                break;
            }
            if (outcome == Outcome::Corrupt) break;
            if (!Apply(tag, data, number, plain)) break;
        }
        RemoveMarkedEntry();
        return outcome;
    }

    bool NeedsResave() const { return needsResave_; }

private:
    TWebPage* Current() {
        TWebList& list = brief_.WebList;
        return list.Count() > 0 ? &list.Entry(list.Count() - 1) : nullptr;
    }

    void RemoveMarkedEntry() {
        if (!removeCurrent_) return;
        removeCurrent_ = false;
        brief_.WebList.DeleteEntry(brief_.WebList.Count() - 1);
    }

    // Returns false when the list cannot take the record. One case for each record tag of the
    // file: the whole table reads best in one place.
    bool Apply(int tag, std::string_view text, int number, const std::string& plain) {
        TBrief& b = brief_;
        switch (tag) {
        case TagBriefName:
            if (!text.empty()) b.BriefName = std::string(text);
            return true;
        case TagComments:
            if (!text.empty()) b.Comments = std::string(text);
            return true;
        case TagReservedByte:
            b.ReservedByte = LowByte(number);
            return true;
        case TagReservedCode:
            if (!text.empty()) b.ReservedCode = std::string(text.substr(0, kMaxReservedCode));
            return true;
        case TagBriefActive:
            b.BriefActive = LowByte(number);
            return true;
        case TagReservedString:
            if (!text.empty()) b.ReservedList.emplace_back(text);
            return true;
        case TagReservedCount:
        case TagEntryCount:
        case TagDiscarded:
            return true;
        case TagActive: {
            RemoveMarkedEntry();
            TWebPage* entry = b.WebList.AddEntry(EntryKind::Web);
            if (entry == nullptr) return false;
            entry->Active = LowByte(number);
            return true;
        }
        case TagRemoveEntry:
            // With no entry begun yet there is nothing to remove; no writer makes such a file.
            if (Current() != nullptr) removeCurrent_ = true;
            return true;
        default:
            break;
        }
        if (ShapeOf(tag) == Shape::Skipped) return true;
        TWebPage* e = Current();
        if (e == nullptr) return false;
        switch (tag) {
        case TagEntryName:
            if (!text.empty()) e->EntryName = std::string(text);
            break;
        case TagAddress:
            if (!text.empty()) e->Address = std::string(text);
            break;
        case TagReservedFlag:
            e->ReservedFlag = 1;
            break;
        case TagSpiderDepth:
            e->SpiderDepth = number;
            e->DepthText = std::to_string(number);
            break;
        case TagLoadImages:
            e->LoadImages = LowByte(number);
            break;
        case TagLoadBinaries:
            e->LoadBinaries = LowByte(number);
            break;
        case TagPlainUserName:
            if (!text.empty()) e->UserName = std::string(text);
            needsResave_ = true;
            break;
        case TagPlainPassword:
            if (!text.empty()) e->Password = std::string(text);
            needsResave_ = true;
            break;
        case TagReservedText:
            if (!text.empty()) e->ReservedText = std::string(text);
            break;
        case TagLocalOnly:
            e->LocalOnly = LowByte(number);
            break;
        case TagNameSet:
            e->NameSet = LowByte(number);
            e->ApplyShownName();
            break;
        case TagPassword:
            if (!text.empty()) e->Password = plain;
            break;
        case TagUserName:
            if (!text.empty()) e->UserName = plain;
            break;
        case TagLocked:
            e->Locked = LowByte(number);
            break;
        case TagAgentComment:
            if (!text.empty()) e->AgentComment = plain;
            break;
        case TagLockedText:
            if (!text.empty()) e->LockedText = plain;
            break;
        case TagLockedTextSize:
            e->LockedTextSize = number;
            break;
        case TagIsSearch:
            e->IsSearch = LowByte(number);
            if (e->IsSearch != 0) {
                if (e->EntryName.empty()) e->EntryName = "New Search";
                e->MakeSearch();
            }
            break;
        default:
            break;
        }
        return true;
    }

    TBrief& brief_;
    ByteReader& in_;
    bool removeCurrent_ = false;
    bool needsResave_ = false;
};

// The archived briefs. A pair whose path is empty names nothing and is dropped whole, so that
// paths and titles stay in step; an empty title is kept. Any fault empties both lists.
// Answers the catalogue's size when it is too large to be read (nothing is read then).
std::optional<std::uint64_t> ReadCatalogue(TBrief& brief) {
    brief.ArchivePaths.clear();
    brief.ArchiveTitles.clear();
    std::string path = PosixPath(CatFileName(brief.FileName));
    if (path == PosixPath(brief.FileName)) return std::nullopt;
    WholeFile file = ReadWholeFile(path);
    if (file.Result == WholeFile::Outcome::TooLarge) return file.Size;
    if (!file.Ok()) return std::nullopt;
    ByteReader in(file.Bytes);
    int count = 0;
    bool ok = in.Word(count) && count >= 0;
    std::vector<std::string> paths;
    std::vector<std::string> titles;
    for (int i = 0; ok && i < count; ++i) {
        std::string_view archivePath;
        std::string_view title;
        ok = in.String(archivePath) && in.String(title);
        if (ok && !archivePath.empty()) {
            paths.emplace_back(archivePath);
            titles.emplace_back(title);
        }
    }
    if (!ok) return std::nullopt;
    brief.ArchivePaths = std::move(paths);
    brief.ArchiveTitles = std::move(titles);
    return std::nullopt;
}

// Checks the 20-byte header. Corrupt for a wrong magic, a short header or a newer file that
// older readers may not read; Refused (no message) when fewer than two header words follow.
Outcome ReadHeader(ByteReader& in) {
    std::string_view magic;
    if (!in.Bytes(kMagic.size(), magic) || magic != kMagic) return Outcome::Corrupt;
    int major = 0;
    int minor = 0;
    int words = 0;
    if (!in.Word(major) || !in.Word(minor) || !in.Word(words)) return Outcome::Corrupt;
    if (words < 2) return Outcome::Refused;
    int compatible = 0;
    int unused = 0;
    if (!in.Word(compatible)) return Outcome::Corrupt;
    bool newerThan10 = major > 1 || minor > 0;
    if (newerThan10 && compatible == 0) return Outcome::Corrupt;
    if (!in.Word(unused)) return Outcome::Corrupt;
    std::string_view skipped;
    if (!in.Bytes(2 * static_cast<size_t>(words - 2), skipped)) return Outcome::Corrupt;
    return Outcome::Loaded;
}

} // namespace

bool ReadBriefs2(TBrief& brief, Dialogs& dialogs) {
    brief.BriefFolder = FolderOf(brief.FileName);
    // error: the system's error number when the file could not be read; a file that was read
    // but is not a brief has none.
    auto corrupt = [&](int error = 0) {
        dialogs.ShowFailure(kBriefLoadingErrorText, kBriefLoadingErrorCaption,
                            error != 0 ? std::strerror(error) : std::string());
        return false;
    };
    bool needsResave = false;
    try {
        WholeFile file = ReadWholeFile(PosixPath(brief.FileName));
        if (file.Result == WholeFile::Outcome::TooLarge) {
            dialogs.ShowMessage(BriefTooLargeText(file.Size, false), kBriefLoadingErrorCaption,
                                false);
            return false;
        }
        if (!file.Ok()) {
            // Not a damaged brief: a file that is not there or may not be read.
            dialogs.ShowFailure(kBriefOpeningErrorText, kBriefLoadingErrorCaption,
                                std::strerror(file.Error != 0 ? file.Error : EIO));
            return false;
        }
        ByteReader in(file.Bytes);
        Outcome header = ReadHeader(in);
        if (header == Outcome::Refused) return false;
        if (header == Outcome::Corrupt) return corrupt();

        brief.CreateNewBrief();
        if (std::optional<std::uint64_t> catSize = ReadCatalogue(brief)) {
            dialogs.ShowMessage(BriefTooLargeText(*catSize, true), kBriefLoadingErrorCaption,
                                false);
            return false;
        }
        RecordReader records(brief, in);
        if (records.ReadAll() == Outcome::Corrupt) return corrupt();
        needsResave = records.NeedsResave();
    } catch (const std::bad_alloc&) {
        // Memory ran out for a file within the limit: nothing was loaded.
        return corrupt(ENOMEM);
    }
    // Plain-text credentials of older files are replaced by scrambled ones at once.
    if (needsResave) SaveBriefs2(brief, dialogs);
    brief.WebList.UnselectEntry();
    return true;
}

std::string BriefTooLargeText(std::uint64_t size, bool catalogue) {
    return std::string(catalogue ? "The archive list of this brief (its \".cat\" file)"
                                 : "This file") +
           " is " + SizeText(size) + ", larger than any Brief Organizer file can be (at most " +
           SizeText(kWholeFileLimit) + "). Gathra Light cannot load it.";
}

} // namespace gathra
