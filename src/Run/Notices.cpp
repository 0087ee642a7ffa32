#include "Run/Notices.h"

#include "Run/FileNames.h"
#include "Run/RunContext.h"
#include "Html/LinkResolution.h"
#include "Run/NavigationBar.h"

#include <memory>

namespace gathra {
namespace {

std::string_view LinkNoticeHead(LinkNoticeKind kind) {
    switch (kind) {
    case LinkNoticeKind::SpiderLimit:
        return "<html><body><title>Spider Limit Exceeded</title><h2>Spider Search Limit Exceeded";
    case LinkNoticeKind::MailLink:
        return "<html><body><title>Mail Link</title><h2>Mail Link.";
    case LinkNoticeKind::UnsupportedProtocol:
        break;
    }
    return "<html><body><title>Unsupported Protocol</title><h2>"
           "Gathra Light does not support this protocol.";
}

std::string_view LinkNoticeClosing(LinkNoticeKind kind) {
    switch (kind) {
    case LinkNoticeKind::SpiderLimit:
        return "</a>) is beyond the range of the spider search set by the user.";
    case LinkNoticeKind::MailLink:
        return "</a>) is a mail link. If your browser has mail client support, "
               "you can click on the link to send mail.";
    case LinkNoticeKind::UnsupportedProtocol:
        break;
    }
    return "</a>) is not an HTTP Web link.";
}

// The address as a reader can follow it from the notice: "http://" in front unless it already
// carries "http://" with no separator before its "://".
std::string WithHttp(std::string_view address) {
    if (IsSecureAddress(address)) return std::string(address);
    size_t http = address.find("http://");
    if (http != std::string_view::npos &&
        address.substr(0, http + 4).find_first_of("/\\") == std::string_view::npos)
        return std::string(address);
    return "http://" + std::string(address);
}

} // namespace

TNoticeFlow::TNoticeFlow(TRunContext& run, bool acrossPages) : run_(run) {
    if (run.NoticeWriter == nullptr) run.NoticeWriter = std::make_unique<TFileQueue>();
    run.NoticeQueue = run.NoticeWriter.get();
    run.NoticesAcrossPages = acrossPages;
    run.PageNotices = 0;
}

TNoticeFlow::~TNoticeFlow() {
    try {
        Finish();
    } catch (const TDiskError&) {
        // Only while another failure is on its way, which is the one reported.
    }
}

void TNoticeFlow::Finish() {
    if (!flowing_) return;
    flowing_ = false;
    run_.NoticesAcrossPages = false;
    run_.NoticeQueue = nullptr;
    run_.NoticeWriter->Drain();
}

void WaitForNotices(const TRunContext& run) {
    if (run.NoticeQueue != nullptr) run.NoticeQueue->Drain();
}

std::string WriteLinkNotice(TRunContext& run, TOutputFile& current, std::string_view baseAddress,
                            std::optional<std::string_view> linkText, LinkNoticeKind kind,
                            const NoticeBarNames& bar) {
    FileNameCounters& counters =
        run.Counters != nullptr ? *run.Counters : ProgramFileNameCounters();
    std::string name = NewPageName(counters, run.BriefFolder, "htm");
    if (name == kNoFreeName) return name;

    std::string address =
        linkText.has_value() ? ResolveLink(baseAddress, *linkText) : std::string(baseAddress);
    std::string key = address.substr(0, address.find('#'));

    TocNode* node = nullptr;
    if (run.CurrentTocList != nullptr) {
        run.CurrentTocList->Append("");
        node = run.CurrentTocList->Last();
    }
    PageRecord* record =
        run.PageTable != nullptr ? run.PageTable->Add(key, name, 0, 0, 0, node, 0) : nullptr;

    CatalogName(run.Catalog, name);
    TOutputFile page;
    if (run.NoticeQueue != nullptr &&
        (run.NoticesAcrossPages || ++run.PageNotices > TRunContext::kDirectNotices)) {
        page.OpenQueued(InFolder(run.BriefFolder, name), *run.NoticeQueue);
        if (record != nullptr) record->NoticeQueued = 1;
    } else
        page.Open(InFolder(run.BriefFolder, name));
    PrintBriefHeader(page, run, false, "", bar.SiteMapName, bar.SummaryName, bar.BriefName);
    std::string shown;
    if (kind == LinkNoticeKind::SpiderLimit)
        shown = WithHttp(address);
    else
        shown = linkText.has_value() ? std::string(*linkText) : std::string(baseAddress);
    page << LinkNoticeHead(kind) << "</h2>This link (<a href=\"" << shown << "\">" << shown
         << LinkNoticeClosing(kind);
    PrintBriefFooter(page, "", bar.SiteMapName, bar.SummaryName);
    page.Close();

    current << name;
    return name;
}

bool IsNoticeTitle(std::string_view title) {
    static constexpr std::string_view kTitles[] = {
        "Inaccessible Page",    "Gathra Light Web page skipped", "External Link",
        "File Not Retrieved",   "Unsupported Protocol",          "Spider Limit Exceeded",
        "Mail Link"};
    for (std::string_view known : kTitles)
        if (title == known) return true;
    return false;
}

} // namespace gathra
