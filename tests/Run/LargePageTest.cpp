#include "Run/FileNames.h"
#include "Run/PageRewriter.h"
#include "support/RewriteRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace gathra {
namespace {

// A page past the size whose memory is given back during the scan: a long list of links in the
// shape of a generated index (relative links with queries, fragments, repeats, a stray ">" and
// a tag left open far behind), all beyond the run's depth.
std::string IndexPage() {
    std::string page = "<html><head><title>Index</title></head><body><p>a > b</p><ul>\n";
    int i = 0;
    while (page.size() < kReleasedPageBytes + (1u << 20)) {
        std::string n = std::to_string(i % 3000); // every link comes back later on
        page += "<li class=\"entry\"><a href=\"item/p" + n + ".htm?ref=list#top\">Item " + n +
                "</a> <span>" + std::string(static_cast<size_t>(i % 1500), 'w') + "</span></li>\n";
        ++i;
    }
    return page + "</ul><p>x < y</p></body></html>";
}

struct Rewritten {
    std::string Out;
    std::map<std::string, std::string> Files; // every other file of the run folder
    size_t PageSizeAfter = 0;
    PageRecord* Reused = nullptr;
    int Looks = 0; // free-space looks
};

Rewritten RewriteIndex(bool useUp) {
    test::RewriteRun r;
    std::string page = IndexPage() + '\0';
    Rewritten result;
    {
        TOutputFile out((r.Dir / "page.htm").string());
        TPageContext ctx;
        ctx.Run = &r.Run;
        ctx.Out = &out;
        ctx.Page = &page;
        ctx.UseUpPage = useUp;
        ctx.BaseAddress = "site/dir/index.htm";
        ctx.EntryAddress = "site/index.htm";
        ctx.RemainingDepth = 1;
        ctx.SummaryName = "Brief0.htm";
        ctx.EntryName = "Entry";
        // Whenever the free space is looked at, every notice counted as written is on disk.
        r.Run.FreeSpaceProbe = [&] {
            ++result.Looks;
            int onDisk = 0;
            for (const auto& file : std::filesystem::directory_iterator(r.Dir.Path()))
                onDisk += file.path().filename().string().rfind("GA", 0) == 0 ? 1 : 0;
            EXPECT_EQ(onDisk, r.Counters.PageCounter.load());
            return std::uintmax_t(1) << 40;
        };
        RewritePage(ctx);
        // Every notice is on disk when the page is done, before anything else is closed.
        for (const auto& file : std::filesystem::directory_iterator(r.Dir.Path())) {
            const std::string name = file.path().filename().string();
            if (name != "page.htm" && name != "Brief0.cat") result.Files[name] = r.File(name);
        }
        out.Close();
    }
    result.Out = r.File("page.htm");
    result.PageSizeAfter = page.size();
    result.Reused = r.Run.PageTable->Find("site/dir/item/p7.htm?ref=list");
    if (result.Reused != nullptr) {
        EXPECT_EQ(result.Reused->LocalName(), "GA7.htm");
    }
    return result;
}

// A page rewritten with its memory given back as the scan goes writes the very same bytes and
// notices as one kept whole; only the page itself is gone afterwards.
TEST(LargePageTest, AUsedUpPageIsRewrittenAsAKeptOne) {
    const Rewritten kept = RewriteIndex(false);
    const Rewritten usedUp = RewriteIndex(true);
    EXPECT_EQ(kept.PageSizeAfter, IndexPage().size() + 1);
    EXPECT_EQ(usedUp.PageSizeAfter, 0u);
    EXPECT_GE(usedUp.Looks, 1);
    ASSERT_EQ(kept.Out.size(), usedUp.Out.size());
    EXPECT_TRUE(kept.Out == usedUp.Out);
    EXPECT_EQ(kept.Files.size(), 3000u); // one notice a distinct link, repeats reuse it
    EXPECT_TRUE(kept.Files == usedUp.Files);
    EXPECT_NE(kept.Reused, nullptr);
    // A repeated link leads to the first notice, with its own fragment.
    EXPECT_NE(kept.Out.find("<a href=\"GA7.htm#top\">Item 7</a>"), std::string::npos);
    EXPECT_NE(kept.Out.find("<p>a > b</p>"), std::string::npos);
    const std::string& notice = kept.Files.at("GA2999.htm");
    EXPECT_NE(notice.find("http://site/dir/item/p2999.htm?ref=list"), std::string::npos);
    EXPECT_EQ(notice.rfind(test::BarHeader("", ""), 0), 0u);
}

} // namespace
} // namespace gathra
