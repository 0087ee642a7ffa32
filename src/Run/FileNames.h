#pragma once
#include "Platform/OutputFile.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gathra {

// What a name generator answers when no free name exists; callers then skip what they would
// have written.
inline constexpr std::string_view kNoFreeName = "error";

// Start numbers for new file names. They restart when a brief window is created, not from run
// to run, so that two runs of one window do not probe the same names again. Atomic because the
// main thread may reset them (a new brief window) while a run thread draws names.
struct FileNameCounters {
    std::atomic<std::int32_t> PageCounter{0};
    std::atomic<std::int32_t> SummaryCounter{0};
    std::atomic<std::int32_t> ImageCounter{0};

    void Reset() {
        PageCounter = 0;
        SummaryCounter = 0;
        ImageCounter = 0;
    }

    // A folder the current run has just created itself, and so one that holds nothing but the
    // names drawn here since: a number outside the span drawn into it for a prefix is known to
    // be free without asking the disk. Every other folder, and every number inside the span (a
    // reset of the counters may lead back into it), is probed as before. Only the run thread
    // that claimed the folder touches it.
    struct NumberSpan {
        std::int64_t Low = 0;
        std::int64_t High = 0; // past the last; Low == High: nothing drawn yet
    };
    struct FreshFolder {
        std::string Path; // as the run names it; empty: none claimed
        NumberSpan Pages, Images, Summaries;
    };
    FreshFolder Fresh;

    void ClaimFreshFolder(std::string_view folder) {
        Fresh = FreshFolder{std::string(folder), {}, {}, {}};
    }
    void ReleaseFreshFolder() { Fresh = FreshFolder{}; }
};

// The program's one set of counters (tests make their own).
FileNameCounters& ProgramFileNameCounters();

// The smallest number n from 0 up for which nothing named `briefFolder` + n exists, and that
// path. `briefFolder` ends with a separator ("/" or "\"). Does not create the folder.
struct RunFolderName {
    std::string Number; // decimal text, the catalogue's first record
    std::string Path;   // briefFolder + Number, no trailing separator
};
RunFolderName RunFolder(std::string_view briefFolder);

// Creates the first free run folder (a number taken meanwhile by someone else is passed over).
// Throws TDiskError when no folder can be made.
RunFolderName CreateRunFolder(std::string_view briefFolder);

// The extension as page and image names use it: "" gives "htm", anything but letters and digits
// gives "", lowered, jpeg->jpg, mpeg->mpg, cgi->htm (pages) or gif (images), cut to 3 characters.
std::string PageExtension(std::string_view ext);
std::string ImageExtension(std::string_view ext);

// "GA" n "." ext for n = PageCounter, +100, +200, ... while n < 999999; the first name that does
// not exist in `folder` is taken and PageCounter becomes n+1. None free: "error".
std::string NewPageName(FileNameCounters& counters, std::string_view folder, std::string_view ext);
std::string NewPageName(std::string_view folder, std::string_view ext); // program counters

// "GAI" n "." ext, as NewPageName with ImageCounter and n < 99999.
std::string NewImageName(FileNameCounters& counters, std::string_view folder, std::string_view ext);
std::string NewImageName(std::string_view folder, std::string_view ext);

// "GAI" n "." ext for the files a page needs to look right (stylesheets, scripts, fonts, pictures
// named by them), drawn from ImageCounter. Unlike image names the extension keeps up to five
// letters or digits ("woff2", "webp", "avif"), because a browser reading the copy from disk takes
// a file's type from it; anything else gives "bin".
std::string NewResourceName(FileNameCounters& counters, std::string_view folder,
                            std::string_view ext);

// "Brief" n ".htm" for n = SummaryCounter, +1, ... while n <= 999; SummaryCounter becomes n+1.
std::string NewSummaryName(FileNameCounters& counters, std::string_view folder);
std::string NewSummaryName(std::string_view folder);

// The catalogue's name for a summary page: "Brief3.htm" gives "Brief3.cat".
std::string CatalogFileName(std::string_view summaryName);

// Run catalogue: records of one length byte and that many name bytes; first the run folder's
// number, then the summary page, then every file in the order written; a 0 byte ends it.
//
// A name that one length byte cannot describe (empty, or longer than 255 bytes) is not recorded
// and the answer is false: an empty record would end the catalogue early and a wrapped length
// would garble every record after it. Callers then do not create that file. A write error
// throws TDiskError.
bool CatalogName(TOutputFile& catalog, std::string_view name);
// Writes the first two records (folder number and summary name).
void WriteCatalogHead(TOutputFile& catalog, std::string_view folderNumber,
                      std::string_view summaryName);
// Writes the end record and closes the catalogue. Throws TDiskError on failure.
void WriteCatalogEnd(TOutputFile& catalog);
// As WriteCatalogEnd, for the end of a run, where a failure is ignored; answers whether it
// succeeded.
bool FinishCatalog(TOutputFile& catalog) noexcept;

// A catalogue read back. Reading stops at the end record, at a cut record or at the end of the
// bytes; `Complete` tells whether the end record was found.
struct CatalogContents {
    std::string FolderName;             // the first record ("" when there is none)
    std::vector<std::string> FileNames; // every further record, summary page first
    bool Complete = false;
};
CatalogContents ParseCatalog(std::string_view bytes);
// Reads the catalogue file at `path` ("\" taken as "/"); none when it cannot be read.
std::optional<CatalogContents> ReadCatalog(std::string_view path);
// True when a recorded name is safe to join to the run folder for deleting: not empty, not "."
// or "..", without "/", "\", ":" or NUL. A damaged or hostile catalogue must not reach outside
// the folder.
bool IsPlainCatalogName(std::string_view name);

} // namespace gathra
