#pragma once
#include "Brief/Brief.h"
#include "Platform/Browser.h"
#include "Gui/MDIFrame.h"
#include "support/TempDir.h"

#include <QDialog>
#include <QPoint>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMimeData;

namespace gathra {
class TSkeinForm;
}

namespace gathra::test {

// Remembers what would have been shown in the browser.
class RecordingBrowser : public Browser {
public:
    void OpenUrl(const std::string& address, bool fileFlag) override {
        Opened.push_back({address, fileFlag});
    }
    struct Call {
        std::string Address;
        bool FileFlag;
    };
    std::vector<Call> Opened;
};

// Entries of a brief to write: a name, and whether it is a search entry.
struct EntrySpec {
    EntrySpec(std::string name, bool search = false, std::string address = {})
        : Name(std::move(name)), Search(search), Address(std::move(address)) {}
    EntrySpec(const char* name, bool search = false, std::string address = {})
        : EntrySpec(std::string(name), search, std::move(address)) {}
    std::string Name;
    bool Search = false;
    std::string Address;
};

// Writes a brief organizer file with the given entries; returns its path.
std::string WriteBriefFile(const std::string& path, const std::vector<EntrySpec>& entries,
                           const std::string& briefName = "Test Brief");

// A main window without splash or ad bar, with its own settings folder, a recording browser,
// and file dialogs answered from `FileAnswers`.
class FrameHarness {
public:
    // `newUser`: no settings file yet, so that the first activation is a first start.
    explicit FrameHarness(bool newUser = false);
    ~FrameHarness();
    // A fresh main window on the same settings folder (a restart of the program).
    void Restart();
    TMDIFrame& Frame() { return *frame_; }
    TempDir& Dir() { return dir_; }
    std::string PathOf(const std::string& name) const { return dir_.Folder() + name; }

    std::deque<QString> FileAnswers;
    std::deque<QStringList> FileListAnswers; // for dialogs that choose several files
    std::vector<FileDialogRequest> FileRequests;
    RecordingBrowser BrowserCalls;

private:
    void Make();
    TempDir dir_;
    TempDir config_;
    std::unique_ptr<TMDIFrame> frame_;
};

// Runs `action` on the next modal dialog as soon as it is shown (within a few seconds).
void OnNextModal(std::function<void(QDialog*)> action, int patienceMs = 5000);
// Common answers.
void ClickButtonNamed(QDialog* dialog, const QString& text);
// Closes the dialog through its close box (a close event, as the window manager sends).
void CloseByCloseBox(QDialog* dialog);
// The captions of the modal dialogs answered by OnNextModal so far.
std::vector<QString>& SeenModalCaptions();
std::vector<QString>& SeenModalTexts();

// The brief as it stands on disk (one that cannot be read fails the test).
TBrief Reread(const std::string& path);
// The names of a brief's entries, in order.
std::vector<std::string> Names(const TBrief& brief);

// A point in `row` of a brief window's entry list (rows are 26 pixels high).
QPoint RowPoint(int row, int x = 100);
// Drags `mime` onto `row` of a brief window's entry list as the drag and drop system does (Qt
// routes the enter, the move and the drop to the widget that took the drag's entry). The enter
// and the move must be accepted; the move's action comes back.
Qt::DropAction DragOntoRow(TSkeinForm* target, const QMimeData& mime, int row,
                           Qt::DropActions actions,
                           Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// The top-level widgets still alive (after deferred deletes ran); tests expect none.
int LeakedTopLevels();

} // namespace gathra::test
