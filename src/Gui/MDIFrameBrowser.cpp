// The main window's commands that reach the browser: Show Brief, the archived briefs of Brief
// Organizer Setup, and Add Page from Browser.
#include "Gui/MDIFrame.h"

#include "Gui/SkeinForm.h"
#include "Desktop/ArchivedBriefs.h"
#include "Desktop/BrowserBridge.h"
#include "Imports/BrowserPage.h"
#include "Imports/SessionStore.h"
#include "Gui/BriefOpts.h"
#include "Gui/MessageDialogs.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPointer>

#include <filesystem>

namespace gathra {

namespace {

std::string MimeText(const QMimeData* mime, const char* format, bool utf16) {
    if (!mime->hasFormat(format)) return {};
    const QByteArray bytes = mime->data(format);
    if (!utf16) return bytes.toStdString();
    return ToStored(
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2));
}

// A web address on the clipboard, as the browser's answer text.
std::optional<std::string> ClipboardPage() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (mime == nullptr) return std::nullopt;
    std::string titled = MimeText(mime, "text/x-moz-url", true);
    if (titled.empty()) titled = MimeText(mime, "_NETSCAPE_URL", false);
    return ClipboardAnswer(MimeText(mime, "text/uri-list", false), titled, ToStored(mime->text()));
}

} // namespace

std::unique_ptr<Browser> TMDIFrame::MakeOwnBrowser() {
    TBrowserBridge::Ports ports;
    ports.Settings = &settings_;
    ports.Dlg = dialogs_.get();
    ports.Status = [this](const std::string& text) {
        if (statusLabel_ != nullptr) SetStatusText(text);
    };
    return std::make_unique<TBrowserBridge>(std::move(ports));
}

void TMDIFrame::ShowBrief() {
    TSkeinForm* form = CurrentForm();
    if (form == nullptr) return;
    const TBrief& brief = form->Brief;
    if (brief.ArchivePaths.empty()) {
        Dlg().ShowMessage("\"" + brief.BriefName +
                              "\" has not been generated yet. Generate Brief retrieves its "
                              "entries; Show Brief then shows what it retrieved.",
                          "No Brief Yet", true);
        return;
    }
    const std::string& folder = ArchiveFolder(brief);
    const std::string start = ArchiveStartPage(folder, brief.ArchivePaths.back());
    if (!std::filesystem::exists(start)) {
        Dlg().ShowMessage("The last generated brief of \"" + brief.BriefName +
                              "\" is no longer on the disk: " + start + " is missing.",
                          "Brief Not Found", false);
        return;
    }
    BrowserPort().OpenUrl(
        ArchiveViewAddress(folder, brief.ArchivePaths.back(), settings_.BrowserService), true);
}

void TMDIFrame::BriefSetup() {
    QPointer<TSkeinForm> form = CurrentForm();
    if (form == nullptr) return;
    auto viewArchived = [this, form](int index) {
        if (form == nullptr || index < 0 ||
            index >= static_cast<int>(form->Brief.ArchivePaths.size()))
            return;
        const TBrief& brief = form->Brief;
        BrowserPort().OpenUrl(ArchiveViewAddress(ArchiveFolder(brief),
                                                 brief.ArchivePaths[static_cast<size_t>(index)],
                                                 settings_.BrowserService),
                              true);
    };
    if (!RunBriefSetup(form->Brief, this, viewArchived, &Dlg()) || form == nullptr) return;
    form->ShowBriefHeader();
    form->SaveBriefs2();
}

void TMDIFrame::AddPageFromBrowser() {
    TSkeinForm* form = CurrentForm();
    if (form == nullptr || form->Generating()) return;
    TBrowserBridge::Ports ports;
    ports.Settings = &settings_;
    ports.PageSources = {[]() -> std::optional<std::string> {
                             if (std::optional<BrowserPage> page =
                                     CurrentSessionPage(UserHomeFolder()))
                                 return BrowserAnswer(*page);
                             return std::nullopt;
                         },
                         [] { return ClipboardPage(); }};
    std::optional<std::string> answer = TBrowserBridge(std::move(ports)).CurrentPage();
    if (!answer) {
        SetStatusText(" No browser page found");
        return;
    }
    TWebPage* entry = form->CreateNewWebEntry(0, EntryKind::Web);
    if (entry == nullptr) return;
    ApplyBrowserAnswer(*entry, *answer);
    form->RepaintList();
    form->SaveBriefs2();
    Enabling::AfterAddCommand(main_);
    RefreshCommands();
}

} // namespace gathra
