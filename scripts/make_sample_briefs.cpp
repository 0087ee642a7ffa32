// Writes the four sample briefs of data/Briefs with the brief file writer. Build it against the
// core libraries of a build tree:
//   g++ -std=c++20 -Isrc scripts/make_sample_briefs.cpp build/libgathra_core.a \
//       build/libgathra_platform.a -lpthread -o /tmp/make_sample_briefs && /tmp/make_sample_briefs
//       data/Briefs
#include "Brief/BriefFile.h"
#include "Platform/Dialogs.h"
#include <cstdio>
#include <string>
#include <vector>
using namespace gathra;
struct E {
    const char* name;
    const char* address;
    bool search;
    int depth;
};
static bool Make(const std::string& path, const char* briefName, const char* comments,
                 std::vector<E> entries) {
    TBrief b;
    b.CreateNewBrief();
    b.FileName = path;
    b.BriefName = briefName;
    b.Comments = std::string(comments);
    for (auto& e : entries) {
        TWebPage* p = b.WebList.AddEntry(e.search ? EntryKind::Search : EntryKind::Web);
        p->EntryName = e.name;
        p->NameSet = 1;
        p->Address = e.search ? "" : e.address;
        p->SpiderDepth = e.depth;
        p->DepthText = std::to_string(e.depth);
    }
    SilentDialogs d;
    return SaveBriefs2(b, d);
}
int main(int, char** argv) {
    std::string dir = argv[1];
    bool ok = Make(dir + "/Leisure.brf", "Leisure", "Reading and pastimes for the weekend.\r\n",
                   {{"Project Gutenberg", "http://www.gutenberg.org/", false, 1},
                    {"The Public Domain Review", "http://publicdomainreview.org/", false, 2},
                    {"hiking trails near me", "", true, 1},
                    {"Open Culture", "http://www.openculture.com/", false, 1}});
    ok = ok && Make(dir + "/Sports.brf", "Sports", "Results and fixtures.\r\n",
                    {{"BBC Sport", "http://www.bbc.co.uk/sport/", false, 1},
                     {"Olympic Games", "http://www.olympics.com/", false, 1},
                     {"world cup results", "", true, 1}});
    ok = ok && Make(dir + "/News.brf", "News", "The morning papers.\r\n",
                    {{"Reuters", "http://www.reuters.com/", false, 1},
                     {"NPR News", "http://www.npr.org/", false, 2},
                     {"BBC News", "http://news.bbc.co.uk/", false, 1},
                     {"weather forecast", "", true, 1}});
    ok = ok && Make(dir + "/Gov.brf", "Government", "Public offices and records.\r\n",
                    {{"USA.gov", "http://www.usa.gov/", false, 1},
                     {"Library of Congress", "http://www.loc.gov/", false, 2},
                     {"European Union", "http://europa.eu/", false, 1},
                     {"National Archives", "http://www.archives.gov/", false, 1}});
    std::printf(ok ? "ok\n" : "failed\n");
    return ok ? 0 : 1;
}
