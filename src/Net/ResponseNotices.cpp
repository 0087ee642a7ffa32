#include "Net/ResponseNotices.h"

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

} // namespace gathra
