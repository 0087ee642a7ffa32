#pragma once
#include "Brief/Brief.h"

#include <functional>
#include <string>
#include <vector>

namespace gathra {

// Archived briefs: the runs a brief keeps in ArchivePaths / ArchiveTitles, shown newest first.

// One piece of an archive row as the list draws it: `X` is the right edge of a right-aligned
// piece, or the left edge of a left-aligned one, in pixels from the row's left edge.
struct ArchiveRowPiece {
    std::string Text;
    int X = 0;
    bool RightAligned = false;
    bool operator==(const ArchiveRowPiece&) const = default;
};

// Cuts a run's title ("12/7/98 9:05:03PM") into the columns of its row: month name, day, year,
// hours, minutes, seconds and AM/PM with their separators. A title without the expected
// separators gives its pieces only as far as they are found.
std::vector<ArchiveRowPiece> ArchiveRowPieces(const std::string& title);

// The row as text for the command line: "Dec-07-98" and "9:05:03 PM".
struct ArchiveRowText {
    std::string Date;
    std::string Time;
};
ArchiveRowText ArchiveRowTextOf(const std::string& title);

// The question Delete Brief asks, naming the run by its date and time: "Are you sure you want to
// delete the archived brief of Dec-07-98, 9:05:03 PM?" (a title that names no date gives the
// plain question about "this archived brief").
std::string ArchiveDeleteQuestion(const std::string& title);
inline constexpr const char* kArchiveDeleteCaption = "Delete Archived Brief?";

// "12" gives "Dec"; a value that is not a number counts as 1; other values give no text.
std::string MonthName(const std::string& part);
// A "0" in front of a value below 10 (not a number counts as 0), unless the part already starts
// with "0" and is longer than one character.
std::string PadTwoDigits(const std::string& part);

// Row i of the list stands for archive entry n - 1 - i.
inline int ArchiveIndexOfRow(int count, int row) {
    return count - 1 - row;
}

// The folder archive paths are relative to: the brief's own folder, which a run borrows
// BriefFolder from while it is generating.
const std::string& ArchiveFolder(const TBrief& brief);

// The address that views an archived brief: the FileAddress of folder + archive path, or (for a
// browser whose service names Internet Explorer) the joined path as it stands.
std::string ArchiveViewAddress(const std::string& folder, const std::string& archivePath,
                               const std::string& browserService);

// The start page's path on this file system (separators turned into "/").
std::string ArchiveStartPage(const std::string& folder, const std::string& archivePath);

// What deleting an archived brief did.
struct ArchiveDeleteResult {
    bool CatalogueFound = false;
    // The catalogue was not trusted (a first record or archive path that does not name the run
    // folder, or a run folder that is a symbolic link): nothing but the catalogue was deleted.
    bool CatalogueRefused = false;
    int FilesDeleted = 0;
    int NamesRefused = 0; // records that were not plain file names
    int FilesFailed = 0;  // plain names that could not be deleted (missing files not counted)
    bool FolderRemoved = false;
};

// Deletes the files of the archived brief at `archivePath` (relative to `folder`, "\" or "/"
// separated) as its catalogue lists them, the catalogue, and the run folder when it is then
// empty. The catalogue is outside data: only plain file names inside the run folder are
// deleted, symbolic links are removed as links, and nothing outside the run folder is touched.
// `between` is called between records (to keep a window responsive); it may be empty.
// The archive entry itself is not touched; see RemoveArchiveEntry.
ArchiveDeleteResult DeleteArchivedRun(const std::string& folder, const std::string& archivePath,
                                      const std::function<void()>& between = {});

// Removes entry `index` from ArchivePaths and ArchiveTitles; false when there is no such entry.
bool RemoveArchiveEntry(TBrief& brief, int index);

// The whole Delete Brief of one entry: the files, then the entry.
ArchiveDeleteResult DeleteArchivedBrief(TBrief& brief, int index,
                                        const std::function<void()>& between = {});

} // namespace gathra
