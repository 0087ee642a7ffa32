#pragma once
#include <string>
#include <vector>

namespace gathra::test {

struct StoredPageSpec {
    std::string Address; // the page's address, without "http://"
    std::string Html;    // the page as fetched
};

// Writes run folder `number` in `briefFolder` as a run leaves it: a catalogue, a summary page
// that lists one entry of name `entry`, and one page file "GA<i>.htm" per page (bars around
// the page, as the run assembles it); the first page is the entry's top page. Answers the run's
// archive path ("3\Brief0.htm").
std::string WriteStoredRun(const std::string& briefFolder, int number, const std::string& entry,
                           const std::vector<StoredPageSpec>& pages);

} // namespace gathra::test
