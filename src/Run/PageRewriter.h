#pragma once
#include "Net/HttpClient.h"
#include "Net/ResponseBuffer.h"
#include "Platform/OutputFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace gathra {

struct TRunContext;
struct TRunState;
struct TWebPage;
struct FileNameCounters;

// The fetches the storing of a page will make, found before it by a scan that fetches and writes
// nothing (fast transfers fetch them ahead), in the order it makes them. Only fetches that are
// certain are listed: one that an earlier fetch may make needless (the same address again,
// anything a stylesheet's own references may name) is left to be made when asked for.
struct TFetchPlan {
    std::vector<std::pair<TFetchRequest, bool>> Fetches; // each with whether it spools files
    std::unordered_set<std::string> Addresses;           // listed, or no longer certain
    bool AfterStylesheet = false; // a stylesheet is listed: resources after it are not certain
    // A page after the one being stored: the pages before it may still fetch and store anything
    // but pictures not fetched before, so only those are listed, and none that a page of the
    // run goes by (a page link's address: that page may be stored meanwhile).
    bool Ahead = false;
    // Addresses listed for the pages before (Ahead): not certain.
    const std::unordered_set<std::string>* Before = nullptr;
    // Something the storing may fetch was left out as not certain yet (Ahead).
    bool Partial = false;

    // Lists the fetch of address (when nothing listed it before) for a request made by `make`.
    template <typename Make> void Add(const std::string& address, bool spoolsFiles, Make make) {
        if (Before != nullptr && Before->count(address) != 0) return;
        if (Addresses.insert(address).second) Fetches.emplace_back(make(), spoolsFiles);
    }
};

// What RewritePage needs to know about one stored page.
struct TPageContext {
    TRunContext* Run = nullptr;
    TOutputFile* Out = nullptr; // the stored page file; everything is appended to it

    // The prepared page (ends in one NUL byte, no other NUL) and, where a caller has one, its
    // marked copy (MarkTags); without it the tags are paired on the page itself as the scan
    // goes. Rewriting only blanks bytes of the page; its length never changes (unless it is used
    // up, below).
    std::string* Page = nullptr;
    const std::string* Marked = nullptr;
    // The caller has no use for the page after the rewrite: a page of kReleasedPageBytes or more
    // then gives its memory back to the system behind the scan and is left empty, so that a
    // page of a great many links does not hold all of its text and the records of all of its
    // links at the same time.
    bool UseUpPage = false;

    // Links are resolved against this: the page's base href, else its own address as queued.
    std::string BaseAddress;
    // The entry's top page address without its scheme.
    std::string EntryAddress;
    // The address of the page being rewritten, as queued, without its fragment; empty: the base
    // address. A link to the top page with a fragment stays a bare "#fragment" only on the top
    // page itself.
    std::string PageAddress;
    // 1: links found here are not followed.
    std::int32_t RemainingDepth = 1;
    bool IsFrameset = false; // the page holds a frameset
    bool InFrame = false;    // the page was reached as a frame source
    bool IsContent = true;   // false: a notice stands in place of the page; links stay unchanged
    bool LoadImages = false;
    bool LoadBinaries = false; // the entry's "other files": audio and video of the page too

    // The entry's credentials, handed on to image fetches.
    std::string UserName;
    std::string Password;
    std::string AgentComment;

    // The bars inside a noframe section, and the link notices, lead here.
    std::string SummaryName;
    std::string SiteMapName; // may be empty
    std::string EntryName;

    // Set while the page is scanned for its fetches: nothing is fetched or written, what would
    // be fetched is listed here.
    TFetchPlan* Plan = nullptr;
    // Every fetch of the rewrite was expected already: the page is not scanned for them first.
    bool FetchesExpected = false;
};

// The placeholder written for an image that is not retrieved.
inline constexpr std::string_view kNotLoadedImage = "/images/NotLoaded";
// Prefix of the table keys of pages reached as frame sources.
inline constexpr std::string_view kFrameKeyPrefix = "!!--";

// The entry's top page address as the scanner compares links with it: a leading scheme
// ("...://" followed later by "/") is removed.
std::string EntryAddressOf(std::string_view address);

// Writes the page's text, rewritten for off-line reading, to the output file: links to pages
// the spider follows get local names and are queued for the next level, images are stored (or
// replaced by the placeholder), other links lead to link notices. Nothing is written before the
// page's first byte or after its last; the closing NUL is not written. Linear in the page size.
// Throws TDiskError for "Disk Full" and write failures.
void RewritePage(TPageContext& page);
// Fast transfers: names to the run's fetch-ahead, before the rewrite, the pictures and resources
// the rewrite of the page will fetch (RewritePage does this itself).
void ExpectPageFetches(TPageContext& page);
// Lists in page.Plan what the rewrite of the page would fetch now.
void PlanRewrite(TPageContext& page);
inline constexpr size_t kReleasedPageBytes = 4u << 20;

// Stores the image whose value runs from `valueStart` to `valueEnd` in `value`, resolved against
// the context's base address, and writes its local name to the output file. An image already
// stored during the entry is not fetched again. False (nothing written) when it could not be
// fetched or named.
bool StoreImage(TOutputFile& out, std::string_view value, TPageContext& page);
// Lists in page.Plan the fetch StoreImage would make for `value` now.
void PlanImage(std::string_view value, TPageContext& page);

// Records `fileName` in the catalogue, creates it in the run folder and copies the response into
// it without its header and without the closing NUL. The free space is checked before the
// first block of 1,000 bytes and then every 22 blocks. A body already written to a spool file
// is given the name instead (after one more check). The buffer is emptied afterwards, also
// when the copy fails. Throws TDiskError ("Disk Full" or a write failure).
void StoreBody(TRunContext& run, TResponseBuffer& buffer, std::string_view fileName);

// Throws TDiskError("Disk Full") when the free space of the run folder's file system is not
// larger than the settings' disk buffer. The file system is asked again only once the program
// has written half of the room the last answer left above the buffer (at most 4 MB): callers
// check as often as they like.
void RequireFreeSpace(const TRunContext& run);

// The fetch of an address for the entry: its user name, password, agent comment and LocalOnly,
// the run's proxy, and local files only for a local entry.
TFetchRequest RunFetchRequest(const TRunContext& run, const TWebPage& entry,
                              const std::string& address, const std::string& baseAddress,
                              bool loadImages, bool loadBinaries);
// The fetch of a picture, file or resource of a page (images and files always on, external
// links allowed).
TFetchRequest PageFetchRequest(const TPageContext& page, const std::string& address);

// One level less than `depth`; the smallest depth stays as it is. A brief file may carry any
// depth, and the spider must not wrap round to a huge one.
inline std::int32_t OneLevelLess(std::int32_t depth) {
    return depth == INT32_MIN ? depth : depth - 1;
}

// The progress dialog's pages, images and kilobytes labels from the run's counts.
void ShowRunCounts(const TRunState& run);

// The run's file name counters (the program's own when the run names none).
FileNameCounters& CountersOf(const TRunState& run);

} // namespace gathra
