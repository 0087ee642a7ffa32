#include "Run/Notices.h"

#include "Run/FileNames.h"
#include "Run/RunContext.h"
#include "Html/LinkResolution.h"
#include "Run/NavigationBar.h"

#include <memory>

namespace gathra {
namespace {

constexpr std::string_view kStatus200 = "HTTP/1.0 200";
constexpr std::string_view kStatus500 = "HTTP/1.0 500";
constexpr std::string_view kInaccessibleHead =
    "<html><title>Inaccessible Page</title><body><h2>Inaccessible Page</h2>";
constexpr std::string_view kNoneEntered = "<i>None Entered</i>";

// Builds a notice in one string so that the buffer is replaced in one step.
class NoticeText {
public:
    explicit NoticeText(std::string_view statusLine) {
        text_.reserve(2000);
        text_.append(statusLine);
        text_.append("\r\n\r\n");
    }
    NoticeText& operator<<(std::string_view part) {
        text_.append(part);
        return *this;
    }
    void StoreInto(TResponseBuffer& buffer) {
        buffer.Clear();
        buffer.Append(text_);
        buffer.AppendNul();
        buffer.SetHasHeader(true);
        buffer.Rewind();
    }

private:
    std::string text_;
};

std::string_view StatusClosing(int statusCode) {
    switch (statusCode) {
    case 202:
        return "</a>.<p>The server accepted this request but chose not to respond.</body></html>";
    case 204:
        return "</a>.<p>This page, however, is empty; the server returned no "
               "content.</body></html>";
    case 400:
        return "</a>.<p>The server did not respond to the request.</body></html>";
    case 403:
        return "</a>.<p>The server understood the request but refused to fulfill it. "
               "This response is often used when the server does not wish to reveal exactly "
               "why the request was refused.</body></html>";
    case 404:
        return "</a>.<p>The server was unable to find or deliver the requested page.</body></html>";
    case 501:
        return "</a>.<p>The server is not fully functional and was unable to respond "
               "to the request.</body></html>";
    default:
        return "</a>.<p>The server was unable to respond to the request.</body></html>";
    }
}

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

void PageSkippedNotice(TResponseBuffer& buffer, std::string_view address) {
    NoticeText text(kStatus200);
    text << "<html><title>Gathra Light Web page skipped</title><body><h2>Page Skipped</h2>"
         << "You asked Gathra Light to skip <a href=\"" << address
         << "\">this Web entry</a>.</body></html>";
    text.StoreInto(buffer);
}

void ConnectFailedNotice(TResponseBuffer& buffer, std::string_view address) {
    NoticeText text(kStatus500);
    text << kInaccessibleHead
         << "Gathra Light was unable to connect to the server to load <a href=\"" << address
         << "\">this page</a>. The server or network may be down.</body></html>";
    text.StoreInto(buffer);
}

void NetworkBusyNotice(TResponseBuffer& buffer, std::string_view connectTarget) {
    NoticeText text(kStatus500);
    text << kInaccessibleHead << "Gathra Light was unable to load <a href=\"" << connectTarget
         << "\">this page</a>. The network appears to be "
         << "heavily loaded at this time and Gathra Light could not access the page."
         << "</body></html>";
    text.StoreInto(buffer);
}

void PasswordNotice(TResponseBuffer& buffer, std::string_view address, std::string_view userName,
                    std::string_view password) {
    NoticeText text(kStatus200);
    text << kInaccessibleHead
         << "Gathra Light was unable to load the Web page located at <a href=\"" << address << "\">"
         << address
         << "</a>.<p>This page requires a UserName and Password.<p>The current UserName is: "
         << (userName.empty() ? kNoneEntered : userName)
         << "<p>The current Password is: "
         // The page is kept on disk and may be passed on: the password itself stays out.
         << (password.empty() ? kNoneEntered : std::string_view("<i>(hidden)</i>"))
         << "<p>This combination is not correct. Please correct it to properly load the page."
         << "</body></html>";
    text.StoreInto(buffer);
}

void FileNotice(TResponseBuffer& buffer, std::string_view address, std::string_view reason) {
    NoticeText text(kStatus500);
    text << kInaccessibleHead << "Gathra Light was unable to load the file. The <a href=\""
         << address << "\">file</a> " << reason << ". </body></html>";
    text.StoreInto(buffer);
}

void ExternalLinkNotice(TResponseBuffer& buffer, std::string_view address) {
    NoticeText text(kStatus200);
    text << "<html><title>External Link</title><body><h2>External Link</h2>"
         << "In the Web properties for this brief entry, Gathra Light was instructed to "
         << "not follow links which led to external sites. This link (<a href=\"" << address
         << "\">" << address
         << "</a>) is external to the original page and, as such, was not followed."
         << " On future visits to this site, you may want to select \"Follow External Links\" "
         << "in the Web Page Properties</body></html>";
    text.StoreInto(buffer);
}

void UnsupportedAddressNotice(TResponseBuffer& buffer, std::string_view address) {
    // The address is shown as text the page cannot misread: control bytes and markup encoded.
    std::string shown;
    for (char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '"' || c == '<' || c == '>' || c == ' ') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            shown += '%';
            shown += kHex[byte >> 4];
            shown += kHex[byte & 15];
        } else {
            shown += c;
        }
    }
    NoticeText text(kStatus500);
    text << "<html><body><title>Unsupported Protocol</title><h2>"
         << "Gathra Light does not support this protocol.</h2>This link (<a href=\"" << shown
         << "\">" << shown << "</a>) is not an HTTP Web link.</body></html>";
    text.StoreInto(buffer);
}

void RefusedTypeNotice(TResponseBuffer& buffer, std::string_view address,
                       std::string_view contentType, std::string_view setting) {
    // The type comes from the server: it is shown as text, never as markup.
    std::string type;
    for (char c : contentType) {
        if (c == '<')
            type += "&lt;";
        else if (c == '>')
            type += "&gt;";
        else if (c == '&')
            type += "&amp;";
        else if (c == '"')
            type += "&quot;";
        else
            type += c;
    }
    NoticeText text(kStatus200);
    text << "<html><title>File Not Retrieved</title><body><h2>File Not Retrieved</h2>"
         << "The server offered <a href=\"" << address << "\">this file</a> as " << type
         << ", a type of file that this brief entry does not retrieve, so Gathra Light did not "
         << "load it.";
    if (!setting.empty())
        text << " On future visits to this site, you may want to select \"" << setting
             << "\" in the Web Page Properties.";
    text << "</body></html>";
    text.StoreInto(buffer);
}

void StatusNotice(TResponseBuffer& buffer, std::string_view address, int statusCode) {
    NoticeText text(kStatus500);
    if (statusCode == 202)
        text << "<html><title>Inaccessible Page</title><body><h2>Inaccessible Page</h2>";
    else
        text << kInaccessibleHead;
    text << (statusCode == 204
                 ? "Gathra Light loaded the Web page located at <a href=\""
                 : "Gathra Light attempted to load the Web page located at <a href=\"")
         << address << "\">" << address << StatusClosing(statusCode);
    text.StoreInto(buffer);
}

void SecureConnectionNotice(TResponseBuffer& buffer, std::string_view address,
                            std::string_view reason, bool certificate) {
    NoticeText text(kStatus500);
    text << kInaccessibleHead << "Gathra Light did not load the Web page located at <a href=\""
         << address << "\">" << address << "</a> because " << reason << ".";
    if (certificate)
        text << "<p>Its server could not prove that it is the site it claims to be, so nothing "
             << "was taken from it. If you trust this server all the same, turn off \"Check "
             << "certificates\" in the preferences and generate the brief again.";
    text << "</body></html>";
    text.StoreInto(buffer);
}

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
