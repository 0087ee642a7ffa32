#include "Brief/BriefFile.h"
#include "Brief/BriefFileFormat.h"

#include "Text/ScrambleText.h"
#include "Platform/FilePath.h"
#include "Platform/SafeSave.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace gathra {

namespace {

using namespace brieffile;

// ---- writing ------------------------------------------------------------------------------------

class RecordWriter {
public:
    void Word(int value) {
        auto v = static_cast<std::uint16_t>(value);
        out_ += static_cast<char>(v & 0xFF);
        out_ += static_cast<char>(v >> 8);
    }
    void Bytes(std::string_view bytes) { out_.append(bytes); }
    void Record(int tag, std::string_view data) {
        Word(tag);
        Word(static_cast<int>(data.size()));
        Bytes(data);
    }
    void Number(int tag, int value) {
        Word(tag);
        Word(2);
        Word(value);
    }
    void Text(int tag, std::string_view text) { Record(tag, text); }
    void Scrambled(int tag, std::string_view plain) { Record(tag, ScrambleText(plain)); }
    // A length word and the text, as the companion file keeps its strings.
    void String(std::string_view text) {
        Word(static_cast<int>(text.size()));
        Bytes(text);
    }
    void Reserve(size_t bytes) { out_.reserve(bytes); }
    std::string Take() { return std::move(out_); }

private:
    std::string out_;
};

std::string_view StoredReservedCode(const TBrief& brief) {
    return std::string_view(brief.ReservedCode).substr(0, kMaxReservedCode);
}

bool WritesLockedText(const TWebPage& entry) {
    return entry.LockedText != kDefaultLockedText;
}

void WriteEntry(RecordWriter& w, const TWebPage& e) {
    w.Number(TagActive, e.Active);
    w.Text(TagEntryName, e.EntryName);
    w.Text(TagAddress, e.Address);
    w.Number(TagReservedFlag, e.ReservedFlag);
    w.Number(TagSpiderDepth, e.SpiderDepth);
    w.Number(TagLoadImages, e.LoadImages);
    w.Number(TagLoadBinaries, e.LoadBinaries);
    w.Text(TagReservedText, e.ReservedText);
    w.Number(TagLocalOnly, e.LocalOnly);
    w.Number(TagNameSet, e.NameSet);
    w.Scrambled(TagPassword, e.Password);
    w.Scrambled(TagUserName, e.UserName);
    w.Number(TagLocked, e.Locked);
    w.Scrambled(TagAgentComment, e.AgentComment);
    if (WritesLockedText(e)) w.Scrambled(TagLockedText, e.LockedText);
    if (e.LockedTextSize != kDefaultLockedTextSize) w.Number(TagLockedTextSize, e.LockedTextSize);
    w.Number(TagIsSearch, e.IsSearch);
}

// ---- files --------------------------------------------------------------------------------------

// A file the user has made read-only is kept as it is, as writing it in place would fail; a
// renamed copy must not get round that.
bool IsReadOnlyFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

std::string TooLong(const std::string& what) {
    return what + " is longer than " + std::to_string(kMaxBriefText) + " bytes";
}

bool TooLongScrambled(const std::string& plain) {
    return (plain.size() + 2) / 3 * 4 > static_cast<size_t>(kMaxBriefText);
}

} // namespace

std::string CatFileName(std::string_view briefFileName) {
    size_t separator = briefFileName.find_last_of("/\\");
    size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
    size_t dot = briefFileName.rfind('.');
    std::string_view stem = briefFileName;
    if (dot != std::string_view::npos && dot >= nameStart) stem = briefFileName.substr(0, dot);
    return std::string(stem) + ".cat";
}

std::string FolderOf(std::string_view path) {
    size_t separator = path.find_last_of("/\\");
    if (separator == std::string_view::npos) return {};
    return std::string(path.substr(0, separator + 1));
}

std::string BriefFileLimitProblem(const TBrief& brief) {
    auto tooLong = [](const std::string& text) { return text.size() > kMaxBriefText; };
    if (tooLong(brief.BriefName)) return TooLong("the brief's name");
    if (brief.Comments && tooLong(*brief.Comments)) return TooLong("the brief's comments");
    if (brief.ReservedList.size() > kMaxCount) return "the brief has too many reserved strings";
    for (const std::string& s : brief.ReservedList)
        if (tooLong(s)) return TooLong("a reserved string");
    if (brief.ArchivePaths.size() > kMaxCount) return "the brief has too many archived briefs";
    for (size_t i = 0; i < brief.ArchivePaths.size(); ++i) {
        if (tooLong(brief.ArchivePaths[i])) return TooLong("an archived brief's path");
        if (i < brief.ArchiveTitles.size() && tooLong(brief.ArchiveTitles[i]))
            return TooLong("an archived brief's title");
    }
    if (brief.WebList.Count() > kMaxCount) return "the brief has more than 32767 entries";
    for (int i = 0; i < brief.WebList.Count(); ++i) {
        const TWebPage& e = brief.WebList.Entry(i);
        std::string which = "entry " + std::to_string(i);
        if (tooLong(e.EntryName)) return TooLong("the name of " + which);
        if (tooLong(e.Address)) return TooLong("the address of " + which);
        if (tooLong(e.ReservedText)) return TooLong("the reserved text of " + which);
        // Scrambling turns every 3 bytes into 4, so these hold at most 24573 plain bytes.
        if (TooLongScrambled(e.UserName) || TooLongScrambled(e.Password) ||
            TooLongScrambled(e.AgentComment) ||
            (WritesLockedText(e) && TooLongScrambled(e.LockedText)))
            return "a user name, password, agent comment or lock text of " + which +
                   " is longer than 24573 bytes";
    }
    return {};
}

std::string EncodeBriefFile(const TBrief& brief) {
    RecordWriter w;
    // About a hundred bytes of fixed records per entry, plus its texts.
    w.Reserve(64 + static_cast<size_t>(brief.WebList.Count()) * 160);
    w.Bytes(kMagic);
    for (int word : {1, 0, 2, 1, 1})
        w.Word(word);
    w.Text(TagBriefName, brief.BriefName);
    if (brief.Comments) w.Text(TagComments, *brief.Comments);
    std::string_view code = StoredReservedCode(brief);
    w.Number(TagReservedByte, brief.ReservedByte | static_cast<int>(code.size() << 8));
    w.Text(TagReservedCode, code);
    w.Number(TagBriefActive, brief.BriefActive);
    w.Number(TagReservedCount, static_cast<int>(brief.ReservedList.size()));
    for (auto it = brief.ReservedList.rbegin(); it != brief.ReservedList.rend(); ++it)
        w.Text(TagReservedString, *it);
    w.Number(TagEntryCount, brief.WebList.Count());
    for (int i = 0; i < brief.WebList.Count(); ++i)
        WriteEntry(w, brief.WebList.Entry(i));
    return w.Take();
}

std::string EncodeCatalogueFile(const TBrief& brief) {
    RecordWriter w;
    w.Word(static_cast<int>(brief.ArchivePaths.size()));
    for (size_t i = 0; i < brief.ArchivePaths.size(); ++i) {
        w.String(brief.ArchivePaths[i]);
        w.String(i < brief.ArchiveTitles.size() ? brief.ArchiveTitles[i] : std::string());
    }
    return w.Take();
}

bool SaveBriefs2(TBrief& brief, Dialogs& dialogs) {
    if (brief.FileName.empty()) return false;
    // error: the system's error number of the failure, 0 when the program refused the save.
    auto fail = [&](int error = 0) {
        dialogs.ShowFailure(kBriefSavingErrorText, kBriefSavingErrorCaption,
                            error != 0 ? std::strerror(error) : std::string());
        return false;
    };
    std::string path = PosixPath(brief.FileName);
    std::string catPath = PosixPath(CatFileName(brief.FileName));
    // A brief file named "x.cat" would be overwritten by its own catalogue.
    if (catPath == path) return fail();
    if (!BriefFileLimitProblem(brief).empty()) return fail();
    path = FileToReplace(path);
    catPath = FileToReplace(catPath);
    if (catPath == path) return fail();
    if (IsReadOnlyFile(path)) return fail(EACCES);

    // Temporaries of saves that were killed before renaming them.
    RemoveStaleTemporaries(path);
    RemoveStaleTemporaries(catPath);

    std::optional<std::string> briefTemp = WriteBeside(path, EncodeBriefFile(brief));
    if (!briefTemp) return fail(errno);
    // The catalogue holds the archive list: a run is recorded only there, so a catalogue that
    // cannot be written is a failed save. The brief file is still replaced (its changes are
    // good), and the message says that not all was saved.
    const bool catReadOnly = IsReadOnlyFile(catPath);
    std::optional<std::string> catTemp =
        catReadOnly ? std::nullopt : WriteBeside(catPath, EncodeCatalogueFile(brief));
    int catError = catReadOnly ? EACCES : catTemp ? 0 : errno;
    if (!ReplaceWith(*briefTemp, path)) {
        const int error = errno;
        if (catTemp) ::unlink(catTemp->c_str());
        return fail(error);
    }
    if (catTemp && !ReplaceWith(*catTemp, catPath)) catError = errno;
    SyncFolder(path);
    if (catError != 0) return fail(catError);
    return true;
}

} // namespace gathra
