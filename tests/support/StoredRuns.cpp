#include "support/StoredRuns.h"

#include "Run/FileNames.h"
#include "Run/NavigationBar.h"
#include "Platform/OutputFile.h"

#include <filesystem>

namespace gathra::test {

std::string WriteStoredRun(const std::string& briefFolder, int number, const std::string& entry,
                           const std::vector<StoredPageSpec>& pages) {
    const std::string folder = briefFolder + std::to_string(number) + "/";
    std::filesystem::create_directories(folder);
    TOutputFile catalogue(folder + "Brief0.cat");
    WriteCatalogHead(catalogue, std::to_string(number), "Brief0.htm");
    TOutputFile summary(folder + "Brief0.htm");
    summary << "<html>\r\n<head>\r\n<title>Brief</title>\r\n</head>\r\n<body><ul>\r\n"
            << "<font size=4><b>Web Entry: </b><a href=\"GA0.htm\">" << entry
            << "</a></font><br>\r\n</ul></body>\r\n</html>\r\n";
    summary.Close();
    for (size_t i = 0; i < pages.size(); ++i) {
        const std::string name = "GA" + std::to_string(i) + ".htm";
        CatalogName(catalogue, name);
        TOutputFile page(folder + name);
        const std::string link = WebAddressLink(pages[i].Address);
        PrintBriefHeader(page, "/opt/gathra/", LocalTime{2026, 10, 3, 9, 5, 3}, false, link, "",
                         "Brief0.htm", "Brief");
        page << pages[i].Html;
        PrintBriefFooter(page, link, "", "Brief0.htm");
        page << "</body></html>";
        page.Close();
    }
    WriteCatalogEnd(catalogue);
    return std::to_string(number) + "\\Brief0.htm";
}

} // namespace gathra::test
