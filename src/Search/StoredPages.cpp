#include "Search/StoredPages.h"

#include "Html/HtmlScanner.h"
#include "Html/PageText.h"
#include "Run/FileNames.h"
#include "Run/NavigationBar.h"
#include "Run/Notices.h"
#include "Text/StoredText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <unordered_set>

namespace gathra {

namespace {

// Stored pages are cut far below this by the run; a bigger file is no page of it.
constexpr std::uint64_t kLargestPage = 256ull << 20;
constexpr size_t kSmallFile = 256u << 10;

constexpr std::string_view kSiteMapStart =
    "<html><body bgcolor=#FFFFFF text=\"0000FF\" link=\"FF0000\"><title>Site Map</title>";

bool EndsAsStoredPage(std::string_view bytes) {
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r'))
        bytes.remove_suffix(1);
    return bytes.ends_with("</body></html>") || bytes.ends_with("</frameset></html>");
}

// The original address a header bar links to: "<a href=ADDRESS target="_top">" before the
// "orig.gif" button.
std::string BarAddress(std::string_view bar) {
    const size_t button = bar.find("orig.gif");
    if (button == std::string_view::npos) return {};
    const size_t link = bar.rfind("<a href=", button);
    if (link == std::string_view::npos) return {};
    const size_t start = link + 8;
    const size_t end = bar.find(" target=\"_top\">", start);
    if (end == std::string_view::npos || end > button) return {};
    return std::string(bar.substr(start, end - start));
}

// The page without its header and footer bars (every one: a noframe section has its own).
std::string WithoutBars(std::string_view bytes, std::string& address) {
    std::string out;
    out.reserve(bytes.size());
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t header = bytes.find(kHeaderBarStart, at);
        const size_t footer = bytes.find(kFooterBarStart, at);
        const size_t start = std::min(header, footer);
        if (start == std::string_view::npos) break;
        const bool isHeader = start == header;
        const std::string_view end = isHeader ? kHeaderBarEnd : kFooterBarEnd;
        const size_t stop = bytes.find(end, start);
        if (stop == std::string_view::npos) break;
        out.append(bytes.substr(at, start - at));
        at = stop + end.size();
        if (isHeader) {
            if (address.empty()) address = BarAddress(bytes.substr(start, at - start));
            if (bytes.substr(at).starts_with("<hr size=3><br>")) at += 15;
        }
        if (bytes.substr(at).starts_with("\r\n")) at += 2;
        out += ' ';
    }
    out.append(bytes.substr(at));
    return out;
}

// A notice page: one of the run's notice titles, followed by its heading (with at most the
// page's body tag, blanked or not, between them).
bool IsNoticePage(std::string_view page, const std::string& title) {
    if (!IsNoticeTitle(title)) return false;
    const size_t close = FindTag(page, "/title>", 0);
    if (close == kNone) return false;
    size_t at = close + 8;
    while (at < page.size() && IsWhite(page[at]))
        ++at;
    if (MatchesName(page, at, "<body>")) at += 6;
    return MatchesName(page, at, "<h2>");
}

// The text of the title a page opens with (after white space and its html and body tags), as
// it stands; none when anything else comes first. The run's notices open so.
std::optional<std::string_view> OpeningTitle(std::string_view page) {
    size_t at = 0;
    for (;;) {
        while (at < page.size() && IsWhite(page[at]))
            ++at;
        if (!MatchesName(page, at, "<html") && !MatchesName(page, at, "<body")) break;
        const size_t gt = page.find('>', at);
        if (gt == std::string_view::npos) return std::nullopt;
        at = gt + 1;
    }
    if (!MatchesName(page, at, "<title>")) return std::nullopt;
    const size_t end = page.find('<', at + 7);
    if (end == std::string_view::npos || !MatchesName(page, end, "</title>")) return std::nullopt;
    return page.substr(at + 7, end - at - 7);
}

std::optional<std::string> ReadSmallFile(const std::string& path, bool onlyPages) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::optional<std::string> bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<std::uint64_t>(st.st_size) <= kLargestPage) {
        const auto size = static_cast<size_t>(st.st_size);
        // A page ends as the run closes it: look at the end of a large file before reading all
        // of it (a small one is read in one go and looked at after).
        char tail[24] = {};
        const size_t tailSize = std::min(size, sizeof tail);
        const bool page = !onlyPages || size <= kSmallFile ||
                          (::pread(fd, tail, tailSize, static_cast<off_t>(size - tailSize)) ==
                               static_cast<ssize_t>(tailSize) &&
                           EndsAsStoredPage(std::string_view(tail, tailSize)));
        if (page) {
            std::string all(size, '\0');
            size_t got = 0;
            while (got < size) {
                const ssize_t n =
                    ::pread(fd, all.data() + got, size - got, static_cast<off_t>(got));
                if (n <= 0) break;
                got += static_cast<size_t>(n);
            }
            if (got == size && (!onlyPages || EndsAsStoredPage(all))) bytes = std::move(all);
        }
    }
    ::close(fd);
    return bytes;
}

std::string Between(std::string_view text, size_t from, std::string_view end, size_t& next) {
    const size_t stop = text.find(end, from);
    if (stop == std::string_view::npos) {
        next = std::string_view::npos;
        return {};
    }
    next = stop + end.size();
    return std::string(text.substr(from, stop - from));
}

} // namespace

std::optional<std::string> ReadPageFile(const std::string& path) {
    return ReadSmallFile(path, true);
}

std::optional<StoredPageText> ReadStoredPage(std::string_view bytes) {
    if (!EndsAsStoredPage(bytes) || bytes.starts_with(kSiteMapStart)) return std::nullopt;
    StoredPageText page;
    std::string text8 = WithoutBars(bytes, page.Address);
    // A notice is known by its opening (a notice title is plain text) before the work of
    // reading the whole page; a page that does not open so is looked at whole below.
    if (const std::optional<std::string_view> title = OpeningTitle(text8);
        title && IsNoticePage(text8, std::string(*title)))
        return std::nullopt;
    // Most pages are UTF-8 already: they are read where they are.
    if (!IsValidUtf8(text8)) text8 = PageBytesAsUtf8(text8);
    PageText text = ExtractPageText(text8);
    if (IsNoticePage(text8, text.Title)) return std::nullopt;
    // A header frame holds nothing but its bar.
    if (text.Title.empty() && text.Body.empty()) return std::nullopt;
    page.Title = std::move(text.Title);
    page.Body = std::move(text.Body);
    page.Address = StoredTextAsUtf8(page.Address);
    return page;
}

SummaryEntries ReadSummaryEntries(std::string_view summary) {
    static constexpr std::string_view kEntry = "<font size=4><b>Web Entry: </b><a href=\"";
    static constexpr std::string_view kSiteMap = "<ul><font size=2><a href=\"";
    SummaryEntries entries;
    size_t at = 0;
    while ((at = summary.find(kEntry, at)) != std::string_view::npos) {
        size_t next = 0;
        std::string file = Between(summary, at + kEntry.size(), "\">", next);
        if (next == std::string_view::npos) break;
        std::string name = Between(summary, next, "</a></font><br>", next);
        if (next == std::string_view::npos) break;
        entries.TopPages.emplace_back(std::move(file), StoredTextAsUtf8(name));
        at = next;
    }
    at = 0;
    while ((at = summary.find(kSiteMap, at)) != std::string_view::npos) {
        size_t next = 0;
        std::string file = Between(summary, at + kSiteMap.size(), "\">Site Map</a>", next);
        if (next == std::string_view::npos) break;
        entries.SiteMaps.push_back(std::move(file));
        at = next;
    }
    return entries;
}

std::string RunFolderOf(std::string_view archivePath) {
    const size_t slash = archivePath.find_first_of("\\/");
    return slash == std::string_view::npos ? std::string()
                                           : std::string(archivePath.substr(0, slash));
}

TRunPages::TRunPages(const std::string& homeFolder, std::string runName, std::string summaryName,
                     const std::vector<std::string>& siteMaps)
    : runName_(std::move(runName)), summaryName_(std::move(summaryName)),
      folder_(PosixPath(homeFolder) + runName_ + "/"), siteMaps_(siteMaps.begin(), siteMaps.end()) {
}

std::optional<IndexedPage> TRunPages::Read(const std::string& name, const std::string& entry,
                                           std::uint64_t* pageBytes) {
    // "GAI" names are pictures and files reached from pages, never pages themselves.
    if (name == summaryName_ || name.starts_with("GAI") || siteMaps_.count(name) != 0 ||
        !IsPlainCatalogName(name) || seen_.count(name) != 0)
        return std::nullopt;
    const std::optional<std::string> bytes = ReadPageFile(folder_ + name);
    if (!bytes) return std::nullopt;
    std::optional<StoredPageText> text = ReadStoredPage(*bytes);
    // A page fetched again deeper is recorded again under its name.
    if (!text) return std::nullopt;
    seen_.insert(name);
    if (pageBytes != nullptr) *pageBytes += bytes->size();
    return IndexedPage{runName_ + "/" + name, std::move(text->Title), std::move(text->Body),
                       std::move(text->Address), entry};
}

bool SplitArchivePath(const std::string& archivePath, std::string& runName,
                      std::string& summaryName) {
    runName = RunFolderOf(archivePath);
    summaryName = archivePath.substr(std::min(archivePath.size(), runName.size() + 1));
    return IsPlainCatalogName(runName) && IsPlainCatalogName(summaryName);
}

std::optional<std::vector<IndexedPage>> ReadRunPages(const std::string& homeFolder,
                                                     const std::string& archivePath,
                                                     std::uint64_t* pageBytes) {
    std::string runName, summaryName;
    if (!SplitArchivePath(archivePath, runName, summaryName)) return std::nullopt;
    const std::string folder = PosixPath(homeFolder) + runName + "/";
    std::optional<CatalogContents> catalogue = ReadCatalog(folder + CatalogFileName(summaryName));
    if (!catalogue || catalogue->FolderName != runName) return std::nullopt;

    const std::optional<std::string> summary = ReadSmallFile(folder + summaryName, false);
    const SummaryEntries entries = summary ? ReadSummaryEntries(*summary) : SummaryEntries{};
    TRunPages reader(homeFolder, runName, summaryName, entries.SiteMaps);
    size_t nextTop = 0;
    std::string entry;
    std::vector<IndexedPage> pages;
    for (const std::string& name : catalogue->FileNames) {
        // Entries store in summary order, each beginning with its top page.
        for (size_t k = nextTop; k < entries.TopPages.size(); ++k) {
            if (entries.TopPages[k].first != name) continue;
            entry = entries.TopPages[k].second;
            nextTop = k + 1;
            break;
        }
        if (std::optional<IndexedPage> page = reader.Read(name, entry, pageBytes))
            pages.push_back(std::move(*page));
    }
    return pages;
}

} // namespace gathra
