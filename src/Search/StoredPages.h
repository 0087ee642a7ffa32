#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
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

// The pages of one run folder read one file at a time, in the order the run stored them: after
// the run from its catalogue, or while it runs as it closes each file. Each page is read once.
class TRunPages {
public:
    // `siteMaps`: the names of the run's site maps, which are no pages to index.
    TRunPages(const std::string& homeFolder, std::string runName, std::string summaryName,
              const std::vector<std::string>& siteMaps = {});
    // The page in file `name` of the run folder, stored for `entry`; none when the file is no
    // page to index or was read before. Adds the bytes of a page read to `pageBytes` when given.
    std::optional<IndexedPage> Read(const std::string& name, const std::string& entry,
                                    std::uint64_t* pageBytes = nullptr);

private:
    std::string runName_;
    std::string summaryName_;
    std::string folder_;
    std::unordered_set<std::string> siteMaps_;
    std::unordered_set<std::string> seen_;
};

// "3\Brief3.htm" gives "3" and "Brief3.htm"; false when either is no plain file name.
bool SplitArchivePath(const std::string& archivePath, std::string& runName,
                      std::string& summaryName);

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
