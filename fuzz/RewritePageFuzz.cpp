// Feeds arbitrary bytes through body preparation, tag marking, the base tag, the page frame and
// the rewriter, at depth 2 (links named and queued) and depth 1 (link notices written), with a
// first byte choosing the page's situation. Nothing is fetched: the skip flag is set whenever
// pictures would be fetched (images on, or a base on the search site), so the scan runs in its
// stopping mode instead of reaching the network. The marked copy must keep the marking rule:
// every tag whose brackets pair up is found, whatever brackets stand in the text around it.
#include "../tests/support/MarkingRule.h"
#include "Run/FileNames.h"
#include "Run/HashTable.h"
#include "Net/HttpClient.h"
#include "Run/LList.h"
#include "Run/RunContext.h"
#include "Run/TocList.h"
#include "Html/HtmlScanner.h"
#include "Run/PageFrame.h"
#include "Run/PageRewriter.h"
#include "Platform/Clock.h"
#include "Settings/AppSettings.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace gathra;

const std::string& RunFolder() {
    static const std::string folder = [] {
        std::string path =
            (std::filesystem::temp_directory_path() / ("gathra-fuzz-" + std::to_string(::getpid())))
                .string();
        std::filesystem::create_directories(path);
        return path + "/";
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    static AppSettings settings;
    settings.DiskBufferBytes = 0;
    static FixedClock clock(LocalTime{2026, 3, 7, 9, 5, 3});
    RunFlags flags;
    FileNameCounters counters;
    TRunContext run;
    run.Settings = &settings;
    run.Clock = &clock;
    run.Flags = &flags;
    run.Counters = &counters;
    run.BriefName = "Fuzz";
    run.BriefFolder = RunFolder();
    run.Catalog.Open(RunFolder() + "Brief0.cat");
    run.PageTable = std::make_unique<THashTable>(97);
    run.TocRoot = std::make_unique<TOCList>();
    run.CurrentTocList = run.TocRoot.get();
    run.LevelQueue[0] = std::make_unique<TLList>();
    run.LevelQueue[1] = std::make_unique<TLList>();

    TResponseBuffer buffer;
    buffer.Append(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    buffer.AppendNul();
    buffer.SetHasHeader((mode & 1) != 0);
    PrepareBody(buffer, true);

    TOutputFile out(RunFolder() + "page.htm");
    TPageContext ctx;
    ctx.Run = &run;
    ctx.Out = &out;
    ctx.Page = &buffer.MutableBytes();
    ctx.BaseAddress = "fuzz.example/dir/page.htm";
    ctx.EntryAddress = "fuzz.example/index.htm";
    ctx.RemainingDepth = (mode & 2) ? 2 : 1;
    ctx.InFrame = (mode & 4) != 0;
    ctx.IsContent = (mode & 8) == 0;
    ctx.LoadImages = (mode & 16) != 0;
    ctx.SummaryName = "Brief0.htm";
    ctx.SiteMapName = (mode & 32) ? "GA1.htm" : "";
    if (ctx.LoadImages) flags.SkipFlag = 1;

    const size_t length = buffer.Size();
    ctx.IsFrameset =
        WrapPage(ctx, {"http://fuzz.example/dir/page.htm", ctx.SiteMapName, "Brief0.htm"});
    std::string marked = MarkTags(buffer.Bytes());
    if (!test::MarkingRuleBroken(buffer.Bytes(), marked).empty()) std::abort();
    if (auto base = TakeBaseHref(buffer.MutableBytes())) ctx.BaseAddress = *base;
    // A page of the search site would have its pictures fetched even with images off.
    if (IsSearchSiteLink(ctx.BaseAddress)) flags.SkipFlag = 1;
    ctx.Marked = &marked;
    RewritePage(ctx);
    if (buffer.Size() != length) std::abort(); // rewriting only blanks bytes
    out.Close();
    run.Catalog.Close();
    // Link notices pile up otherwise, and every new name would probe past them.
    std::error_code ignored;
    std::filesystem::remove_all(RunFolder(), ignored);
    std::filesystem::create_directories(RunFolder(), ignored);
    return 0;
}
