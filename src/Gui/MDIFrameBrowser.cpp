// The main window's commands that reach the browser: Show Brief, the archived briefs of Brief
// Organizer Setup, and Add Page from Browser.
#include "Gui/MDIFrame.h"

#include "Gui/SkeinForm.h"
#include "Desktop/ArchivedBriefs.h"
#include "Desktop/BrowserBridge.h"
#include "Imports/BrowserPage.h"
#include "Imports/SessionStore.h"
#include "Gui/BriefOpts.h"
#include "Gui/FindInBriefs.h"
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

// A web address on the clipboard, with its title where the clipboard offers one.
std::optional<BrowserPage> ClipboardPage() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (mime == nullptr) return std::nullopt;
    std::string titled = MimeText(mime, "text/x-moz-url", true);
    if (titled.empty()) titled = MimeText(mime, "_NETSCAPE_URL", false);
    return gathra::ClipboardPage(MimeText(mime, "text/uri-list", false), titled,
                                 ToStored(mime->text()));
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

void TMDIFrame::ViewArchivedFile(const TBrief& brief, const std::string& path) {
    BrowserPort().OpenUrl(ArchiveViewAddress(ArchiveFolder(brief), path, settings_.BrowserService),
                          true);
}

TFindInBriefs* TMDIFrame::FindWindow() const {
    return findWindow_;
}

void TMDIFrame::FindInBriefs() {
    if (findWindow_ != nullptr) {
        findWindow_->show();
        findWindow_->raise();
        findWindow_->activateWindow();
        return;
    }
    TFindInBriefs::Ports ports;
    ports.Briefs = [this](bool allOpen) {
        std::vector<const TBrief*> briefs;
        if (allOpen) {
            for (const TSkeinForm* form : tables_.BriefWindows())
                briefs.push_back(&form->Brief);
        } else if (const TSkeinForm* form = CurrentForm()) {
            briefs.push_back(&form->Brief);
        }
        return briefs;
    };
    ports.Open = [this](const std::string& briefFile, const SearchHit& hit) {
        for (const TSkeinForm* form : tables_.BriefWindows())
            if (form->Brief.FileName == briefFile) return ViewArchivedFile(form->Brief, hit.File);
    };
    findWindow_ = new TFindInBriefs(std::move(ports), this);
    findWindow_->show();
}

void TMDIFrame::BriefSetup() {
    QPointer<TSkeinForm> form = CurrentForm();
    if (form == nullptr) return;
    auto viewArchived = [this, form](int index) {
        if (form == nullptr || index < 0 ||
            index >= static_cast<int>(form->Brief.ArchivePaths.size()))
            return;
        ViewArchivedFile(form->Brief, form->Brief.ArchivePaths[static_cast<size_t>(index)]);
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
    ports.PageSources = {[] { return CurrentSessionPage(UserHomeFolder()); },
                         [] { return ClipboardPage(); }};
    std::optional<BrowserPage> page = TBrowserBridge(std::move(ports)).CurrentPage();
    if (!page) {
        SetStatusText(" No browser page found");
        return;
    }
    TWebPage* entry = form->CreateNewWebEntry(0, EntryKind::Web);
    if (entry == nullptr) return;
    ApplyBrowserPage(*entry, *page);
    form->RepaintList();
    form->SaveBriefs2();
    Enabling::AfterAddCommand(main_);
    RefreshCommands();
}

} // namespace gathra
