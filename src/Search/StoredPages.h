#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gathra {

// One stored page of a run, as the search index keeps it (UTF-8 text).
struct IndexedPage {
    std::string File; // relative to the brief's folder, "/" separated: "3/GA12.htm"
    std::string Title;
    std::string Body;    // the visible text, without the navigation bars
    std::string Address; // the page's original address (empty for pages shown in a frame)
    std::string Entry;   // the name of the entry that stored it
};

// What a stored file holds for the index. None for anything that is not a page the run stored
// from the web: pictures and other files, notice pages, site maps, header frames.
struct StoredPageText {
    std::string Title;
    std::string Body;
    std::string Address;
};
std::optional<StoredPageText> ReadStoredPage(std::string_view bytes);

// The bytes of a file when it ends as a stored page (none otherwise, or when it cannot be read).
std::optional<std::string> ReadPageFile(const std::string& path);

// The entries of a run as its summary page lists them: the name of each entry's top page file
// and the entry's name, in run order; and every site map's file name.
struct SummaryEntries {
    std::vector<std::pair<std::string, std::string>> TopPages; // (file name, entry name)
    std::vector<std::string> SiteMaps;
};
SummaryEntries ReadSummaryEntries(std::string_view summary);

// The stored pages of the archived run at `archivePath` ("3\Brief3.htm", relative to
// `homeFolder`), found through its catalogue; each page belongs to the entry whose top page the
// catalogue names last before it. None when the run has no readable catalogue of its own folder.
// Totals the bytes of the page files read into `pageBytes` when given.
std::optional<std::vector<IndexedPage>> ReadRunPages(const std::string& homeFolder,
                                                     const std::string& archivePath,
                                                     std::uint64_t* pageBytes = nullptr);

// The run folder's name of an archive path: "3\Brief3.htm" gives "3"; empty when there is none.
std::string RunFolderOf(std::string_view archivePath);

} // namespace gathra
