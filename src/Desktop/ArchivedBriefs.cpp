#include "Desktop/ArchivedBriefs.h"

#include "Desktop/BrowserBridge.h"

#include "Run/FileNames.h"
#include "Platform/FilePath.h"
#include "Search/BriefSearch.h"
#include "Text/AsciiText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>

namespace fs = std::filesystem;

namespace gathra {

namespace {

// Right edges and left positions of the row's columns, in pixels.
constexpr int MonthRight = 23;
constexpr int FirstDashAt = 25;
constexpr int DayRight = 41;
constexpr int SecondDashAt = 43;
constexpr int YearRight = 60;
constexpr int HoursRight = 133;
constexpr int FirstColonAt = 135;
constexpr int MinutesRight = 153;
constexpr int SecondColonAt = 155;
constexpr int SecondsRight = 173;
constexpr int NoonAt = 180;
// Pieces left of this belong to the date column.
constexpr int TimeColumnStart = 100;

std::optional<long long> DecimalValue(const std::string& text) {
    if (text.empty()) return std::nullopt;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (*first == '+') ++first;
    long long value = 0;
    auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last) return std::nullopt;
    return value;
}

ArchiveRowPiece Right(std::string text, int x) {
    return {std::move(text), x, true};
}
ArchiveRowPiece At(std::string text, int x) {
    return {std::move(text), x, false};
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::string MonthName(const std::string& part) {
    static constexpr std::array<const char*, 12> names = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const long long month = DecimalValue(part).value_or(1);
    if (month < 1 || month > 12) return {};
    return names[static_cast<size_t>(month - 1)];
}

std::string PadTwoDigits(const std::string& part) {
    const long long value = DecimalValue(part).value_or(0);
    if (value >= 10 || (part.size() > 1 && part[0] == '0')) return part;
    return "0" + part;
}

std::vector<ArchiveRowPiece> ArchiveRowPieces(const std::string& title) {
    std::vector<ArchiveRowPiece> pieces;
    const size_t slash1 = title.find('/');
    if (slash1 == std::string::npos) return pieces;
    pieces.push_back(Right(MonthName(title.substr(0, slash1)), MonthRight));
    pieces.push_back(At("-", FirstDashAt));

    const size_t slash2 = title.find('/', slash1 + 1);
    if (slash2 == std::string::npos) return pieces;
    pieces.push_back(Right(PadTwoDigits(title.substr(slash1 + 1, slash2 - slash1 - 1)), DayRight));
    pieces.push_back(At("-", SecondDashAt));

    size_t blank = slash2 + 1;
    while (blank < title.size() && !IsBlank(title[blank]))
        ++blank;
    pieces.push_back(Right(title.substr(slash2 + 1, blank - slash2 - 1), YearRight));
    if (blank >= title.size()) return pieces;

    size_t hours = blank;
    while (hours < title.size() && IsBlank(title[hours]))
        ++hours;
    const size_t colon1 = title.find(':', hours);
    if (colon1 == std::string::npos) return pieces;
    pieces.push_back(Right(title.substr(hours, colon1 - hours), HoursRight));
    pieces.push_back(At(":", FirstColonAt));

    const size_t colon2 = title.find(':', colon1 + 1);
    if (colon2 == std::string::npos) return pieces;
    pieces.push_back(Right(PadTwoDigits(title.substr(colon1 + 1, colon2 - colon1 - 1)),
                           MinutesRight));
    pieces.push_back(At(":", SecondColonAt));

    const std::string rest = title.substr(colon2 + 1);
    const size_t noon = std::min(rest.find("AM"), rest.find("PM"));
    std::string seconds = rest.substr(0, noon);
    while (!seconds.empty() && seconds.back() == ' ')
        seconds.pop_back();
    pieces.push_back(Right(PadTwoDigits(seconds), SecondsRight));
    if (noon != std::string::npos) pieces.push_back(At(rest.substr(noon), NoonAt));
    return pieces;
}

ArchiveRowText ArchiveRowTextOf(const std::string& title) {
    ArchiveRowText text;
    for (const ArchiveRowPiece& piece : ArchiveRowPieces(title)) {
        if (piece.X < TimeColumnStart) {
            text.Date += piece.Text;
        } else {
            if (piece.X == NoonAt) text.Time += ' ';
            text.Time += piece.Text;
        }
    }
    return text;
}

std::string ArchiveDeleteQuestion(const std::string& title) {
    const ArchiveRowText shown = ArchiveRowTextOf(title);
    std::string run = shown.Date;
    if (!shown.Time.empty()) run += (run.empty() ? "" : ", ") + shown.Time;
    if (run.empty()) return "Are you sure you want to delete this archived brief?";
    return "Are you sure you want to delete the archived brief of " + run + "?";
}

const std::string& ArchiveFolder(const TBrief& brief) {
    return brief.Generating != 0 ? brief.HomeFolder : brief.BriefFolder;
}

std::string ArchiveStartPage(const std::string& folder, const std::string& archivePath) {
    std::string path = folder + archivePath;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string ArchiveViewAddress(const std::string& folder, const std::string& archivePath,
                               const std::string& browserService) {
    std::string service = Uppered(browserService);
    if (service.find("IEXPLORE") != std::string::npos) return folder + archivePath;
    return FileAddress(ArchiveStartPage(folder, archivePath));
}

ArchiveDeleteResult DeleteArchivedRun(const std::string& folder, const std::string& archivePath,
                                      const std::function<void()>& between) {
    ArchiveDeleteResult result;
    std::string relative = archivePath;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    if (relative.size() < 3) return result;
    const fs::path catalogue = PosixPath(folder + CatalogFileName(relative));
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(catalogue, ec))) return result;
    result.CatalogueFound = true;

    // A run's start page is "<run folder>/<summary page>"; anything else does not name a run
    // folder that could be removed on its own.
    const size_t slash = relative.find('/');
    const std::string runName = slash == std::string::npos ? "" : relative.substr(0, slash);
    const bool plainPath = slash != std::string::npos &&
                           relative.find('/', slash + 1) == std::string::npos &&
                           IsPlainCatalogName(runName) &&
                           IsPlainCatalogName(relative.substr(slash + 1));
    const fs::path runFolder = catalogue.parent_path();
    if (!plainPath || fs::symlink_status(runFolder, ec).type() != fs::file_type::directory) {
        result.CatalogueRefused = true;
        return result;
    }

    std::optional<CatalogContents> contents = ReadCatalog(catalogue.string());
    if (contents && contents->FolderName != runName) {
        // The first record must name the folder the catalogue sits in: a damaged or foreign
        // catalogue deletes nothing.
        result.CatalogueRefused = true;
        return result;
    }
    if (contents) {
        for (const std::string& name : contents->FileNames) {
            if (between) between();
            if (!IsPlainCatalogName(name)) {
                ++result.NamesRefused;
                continue;
            }
            const fs::path file = runFolder / name;
            const fs::file_status status = fs::symlink_status(file, ec);
            if (!fs::exists(status)) continue;
            if (fs::is_directory(status)) {
                ++result.NamesRefused;
                continue;
            }
            // remove() takes a symbolic link away itself, never what it points to.
            if (fs::remove(file, ec))
                ++result.FilesDeleted;
            else
                ++result.FilesFailed;
        }
    }
    fs::remove(catalogue, ec);
    // Only an empty folder goes: files the catalogue does not list stay with it.
    result.FolderRemoved = fs::remove(runFolder, ec);
    return result;
}

bool RemoveArchiveEntry(TBrief& brief, int index) {
    if (index < 0 || static_cast<size_t>(index) >= brief.ArchivePaths.size()) return false;
    brief.ArchivePaths.erase(brief.ArchivePaths.begin() + index);
    if (static_cast<size_t>(index) < brief.ArchiveTitles.size())
        brief.ArchiveTitles.erase(brief.ArchiveTitles.begin() + index);
    return true;
}

ArchiveDeleteResult DeleteArchivedBrief(TBrief& brief, int index,
                                        const std::function<void()>& between) {
    ArchiveDeleteResult result;
    if (index < 0 || static_cast<size_t>(index) >= brief.ArchivePaths.size()) return result;
    const std::string& path = brief.ArchivePaths[static_cast<size_t>(index)];
    // The index first: it reads the run's pages once more to take their words out.
    const std::string indexProblem = RemoveRunFromIndex(brief.FileName, ArchiveFolder(brief), path);
    result = DeleteArchivedRun(ArchiveFolder(brief), path, between);
    result.IndexProblem = indexProblem;
    RemoveArchiveEntry(brief, index);
    return result;
}

} // namespace gathra
