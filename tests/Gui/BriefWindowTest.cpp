// The brief window and its entry list, driven through real widgets on the offscreen platform.
#include "Brief/BriefFile.h"
#include "Gui/BriefWindowHost.h"
#include "Gui/GuiRunHost.h"
#include "Gui/MessageDialogs.h"
#include "Gui/SkeinForm.h"
#include "Gui/WebScrollBox.h"
#include "Gui/support/UiTestSupport.h"
#include "Platform/Dialogs.h"
#include "Run/RunFlags.h"
#include "support/RecordingDialogs.h"

#include <QAction>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QToolButton>
#include <QtTest>

using namespace gathra;
using namespace gathra::test;

namespace {

using C = Command;

// A host that is no main window: it records what the brief window asks of it.
class RecordingHost : public BriefWindowHost, public Browser {
public:
    CommandState& Main() override { return main_; }
    Dialogs& Dlg() override { return dialogs_; }
    Browser& BrowserPort() override { return *this; }
    bool RunActive() const override { return false; }
    bool BufferFull() const override { return true; }
    void RefreshCommands() override {}
    void SetCurrentBrief(TSkeinForm* form) override {
        Calls.push_back(form != nullptr ? "current" : "none");
    }
    void RemoveBriefWindow(TSkeinForm*) override { Calls.push_back("removed"); }
    void AddEntry(EntryKind kind) override {
        Calls.push_back(kind == EntryKind::Web ? "add web" : "add search");
    }
    void DeleteEntry() override { Calls.push_back("delete"); }
    void CutEntry() override { Calls.push_back("cut"); }
    void CopyEntry() override { Calls.push_back("copy"); }
    void PasteEntry() override { Calls.push_back("paste"); }
    void ShowBrief() override { Calls.push_back("show brief"); }
    void GenerateBrief() override { Calls.push_back("generate"); }
    void EntrySetup() override { Calls.push_back("entry setup"); }
    void BriefSetup() override { Calls.push_back("brief setup"); }
    bool SaveBriefAs(TSkeinForm*) override {
        Calls.push_back("save as");
        return false;
    }
    void OpenUrl(const std::string& address, bool) override { Calls.push_back("open " + address); }

    std::vector<std::string> Calls;

private:
    CommandState main_;
    RecordingDialogs dialogs_;
};

void ClickRow(TSkeinForm* form, int row, int x = 100,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(form->ScrollBox()->viewport(), Qt::LeftButton, modifiers, RowPoint(row, x));
}

// A double click as the platform delivers it: press, release, double click, release.
void DoubleClickRow(TSkeinForm* form, int row, int x) {
    QWidget* viewport = form->ScrollBox()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, RowPoint(row, x));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, RowPoint(row, x));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, RowPoint(row, x));
}

// Drops the selected row of `source` on `row` of `target`, as the drag and drop system does.
void DropRow(TSkeinForm* source, TSkeinForm* target, int row, bool ctrl, RowPart part) {
    QMimeData mime;
    mime.setData(TWebScrollBox::DragMimeType,
                 QByteArray::number(reinterpret_cast<quintptr>(source)) + ' ' +
                     QByteArray::number(static_cast<int>(part)));
    DragOntoRow(target, mime, row, Qt::CopyAction | Qt::MoveAction,
                ctrl ? Qt::ControlModifier : Qt::NoModifier);
}

} // namespace

class BriefWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FrameHarness> h;

    TSkeinForm* Open(const std::string& name, const std::vector<EntrySpec>& entries) {
        std::string path = WriteBriefFile(h->PathOf(name), entries);
        return h->Frame().OpenBriefFile(path);
    }
    bool On(C c) {
        TMDIFrame& f = h->Frame();
        if (QToolButton* b = f.Button(c)) return b->isEnabled();
        return f.Action(c)->isEnabled();
    }

private slots:
    void init() { h = std::make_unique<FrameHarness>(); }
    void cleanup() {
        h.reset();
        QCOMPARE(LeakedTopLevels(), 0);
    }

    // A brief window needs nothing of the main window but its host: each pop-up item makes the
    // window the current brief and runs the host's command, and a closing window leaves it.
    void aBriefWindowNeedsOnlyItsHost() {
        RecordingHost host;
        auto* form = new TSkeinForm(host);
        TWebPage* entry = form->CreateNewWebEntry(0, EntryKind::Web);
        QVERIFY(entry != nullptr);
        entry->Address = "http://example.test/a.html";
        form->SelectEntry(0);
        const struct {
            Command Item;
            std::vector<std::string> Calls;
        } cases[] = {
            {C::PopupAddWeb, {"current", "add web"}},
            {C::PopupAddYahoo, {"current", "add search"}},
            {C::PopupDelete, {"current", "delete"}},
            {C::PopupCut, {"current", "cut"}},
            {C::PopupCopy, {"current", "copy"}},
            {C::PopupPaste, {"current", "paste"}},
            {C::PopupShowLastBrief, {"current", "show brief"}},
            {C::PopupGenerateBriefs, {"current", "generate"}},
            {C::PopupEntrySetup, {"current", "entry setup"}},
            {C::PopupBriefSetup, {"current", "brief setup"}},
            {C::PopupLaunch, {"open http://example.test/a.html"}},
        };
        for (const auto& c : cases) {
            host.Calls.clear();
            form->Popup.Enable(c.Item);
            form->ApplyPopupStates();
            QVERIFY(form->PopupAction(c.Item) != nullptr);
            form->PopupAction(c.Item)->trigger();
            QCOMPARE(host.Calls, c.Calls);
        }
        host.Calls.clear();
        delete form;
        QCOMPARE(host.Calls, std::vector<std::string>{"removed"});
    }

    void commandsFollowNewAddSelectLockAndDelete() {
        h->FileAnswers.push_back(QString::fromStdString(h->PathOf("fresh.brf")));
        TSkeinForm* form = h->Frame().NewBrief();
        QVERIFY(form != nullptr);
        QCOMPARE(form->windowTitle(), QString("Fresh"));
        QVERIFY(std::filesystem::exists(h->PathOf("fresh.brf")));
        QVERIFY(On(C::CreateWebEntryButton) && On(C::EntryAddWeb) && On(C::EntryMenu));
        QVERIFY(On(C::FileClose) && On(C::WindowTile) && On(C::ShowBriefButton));
        QVERIFY(!On(C::GenerateBriefsButton) && !On(C::FileGenerate) && !On(C::EntrySort));
        QVERIFY(!On(C::CutButton) && !On(C::EditCopy) && !On(C::PasteButton));

        h->Frame().AddEntry(EntryKind::Web);
        QVERIFY(On(C::GenerateBriefsButton) && On(C::FileGenerate) && On(C::FileBriefSetup));
        QVERIFY(On(C::EntrySort));
        // The new entry is selected.
        QCOMPARE(form->Brief.WebList.SelectedIndex, 0);
        QVERIFY(On(C::CutButton) && On(C::EntryDelete) && On(C::EntrySetup));
        QCOMPARE(Reread(h->PathOf("fresh.brf")).WebList.Count(), 1);

        ClickRow(form, 0);
        QCOMPARE(form->Brief.WebList.SelectedIndex, 0);
        QVERIFY(On(C::CutButton) && On(C::EditCut) && On(C::CopyButton) && On(C::EntryDelete));
        QVERIFY(On(C::EntrySetup) && On(C::EntryLaunch));
        QVERIFY(form->PopupAction(C::PopupDelete)->isEnabled());

        // A run locks the editing commands and unlocking gives them back.
        h->Frame().RunHostPort()->LockControls(form->Brief);
        QCOMPARE(int(form->Brief.Generating), 1);
        QVERIFY(!On(C::CutButton) && !On(C::EditCut) && !On(C::EntryAddWeb) &&
                !On(C::EntryDelete) && !On(C::GenerateBriefsButton) && !On(C::EntrySort));
        QVERIFY(!On(C::CreateWebEntryButton) && !On(C::CreateYahooEntryButton));
        QVERIFY(On(C::EditCopy) && On(C::CopyButton));
        QVERIFY(!form->PopupAction(C::PopupPaste)->isEnabled());
        QVERIFY(!form->SubWindow()->close()); // a brief being generated stays open
        ClickRow(form, 0, 20);                // nor can its entries be toggled
        QCOMPARE(int(form->Brief.WebList.Entry(0).Active), 1);
        h->Frame().RunHostPort()->UnlockControls(form->Brief);
        QCOMPARE(int(form->Brief.Generating), 0);
        QVERIFY(On(C::CutButton) && On(C::EntryAddWeb) && On(C::GenerateBriefsButton));
        QVERIFY(On(C::CreateYahooEntryButton) && On(C::EntrySort));

        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&Yes"); });
        h->Frame().DeleteEntry();
        QCOMPARE(SeenModalCaptions().back(), QString("Delete a Web Entry"));
        QVERIFY(SeenModalTexts().back().contains(
            "Are you sure you want to delete this Web Entry and all of its properties?"));
        QCOMPARE(form->Brief.WebList.Count(), 0);
        QCOMPARE(form->Brief.WebList.SelectedIndex, -1);
        QVERIFY(!On(C::GenerateBriefsButton) && !On(C::FileBriefSetup) && !On(C::EntrySort));
        QVERIFY(!On(C::CutButton) && !On(C::EditCopy) && !On(C::EntryDelete));
        QCOMPARE(Reread(h->PathOf("fresh.brf")).WebList.Count(), 0);

        form->SubWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!On(C::FileClose) && !On(C::CreateWebEntryButton) && !On(C::WindowTile));
        QVERIFY(On(C::FileNew) && On(C::OpenFileButton));
    }

    void deleteQuestionClosedByCloseBoxDeletesNothing() {
        TSkeinForm* form = Open("keep.brf", {{"one"}, {"two"}});
        ClickRow(form, 1);
        OnNextModal([](QDialog* d) { CloseByCloseBox(d); });
        h->Frame().DeleteEntry();
        QCOMPARE(Names(form->Brief), (std::vector<std::string>{"one", "two"}));
        QCOMPARE(Reread(h->PathOf("keep.brf")).WebList.Count(), 2);
        // A refused cut still leaves the copy in the buffer.
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&No"); });
        h->Frame().CutEntry();
        QCOMPARE(SeenModalCaptions().back(), QString("Cut a Web Entry"));
        QCOMPARE(form->Brief.WebList.Count(), 2);
        QVERIFY(h->Frame().BufferFull());
        QVERIFY(On(C::PasteButton) && On(C::EditPaste));
    }

    void pasteGoesFirstAndTheSelectionStaysWithItsEntry() {
        TSkeinForm* form = Open("paste.brf", {{"first"}, {"second"}});
        ClickRow(form, 1);
        h->Frame().CopyEntry();
        QVERIFY(On(C::PasteButton));
        h->Frame().PasteEntry();
        QCOMPARE(Names(form->Brief), (std::vector<std::string>{"second", "first", "second"}));
        QCOMPARE(form->Brief.WebList.SelectedIndex, 2);
        h->Frame().PasteEntry(); // the buffer keeps its entry
        QCOMPARE(form->Brief.WebList.Count(), 4);
        QCOMPARE(Names(Reread(h->PathOf("paste.brf"))),
                 (std::vector<std::string>{"second", "second", "first", "second"}));
    }

    void dragWithinABriefMovesTheEntry() {
        TSkeinForm* form = Open("move.brf", {{"0"}, {"1"}, {"2"}});
        ClickRow(form, 0);
        DropRow(form, form, 2, false, RowPart::Highlight);
        QCOMPARE(Names(form->Brief), (std::vector<std::string>{"1", "2", "0"}));
        QCOMPARE(form->Brief.WebList.SelectedIndex, 2);
        QCOMPARE(Names(Reread(h->PathOf("move.brf"))), (std::vector<std::string>{"1", "2", "0"}));
        // Ctrl copies instead, and the copy is selected.
        DropRow(form, form, 0, true, RowPart::NameLabel);
        QCOMPARE(Names(form->Brief), (std::vector<std::string>{"0", "1", "2", "0"}));
        QCOMPARE(form->Brief.WebList.SelectedIndex, 0);
    }

    void dropOntoTheSelectedRowIsRefused() {
        TSkeinForm* form = Open("self.brf", {{"0"}, {"1"}});
        ClickRow(form, 1);
        QMimeData mime;
        mime.setData(TWebScrollBox::DragMimeType,
                     QByteArray::number(reinterpret_cast<quintptr>(form)) + " " +
                         QByteArray::number(static_cast<int>(RowPart::NameLabel)));
        QDragEnterEvent enter(RowPoint(1), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->ScrollBox()->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(RowPoint(1), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->ScrollBox()->viewport(), &move);
        QVERIFY(!move.isAccepted());
        // A drag that began on a search entry's background is refused everywhere.
        mime.setData(TWebScrollBox::DragMimeType,
                     QByteArray::number(reinterpret_cast<quintptr>(form)) + " " +
                         QByteArray::number(static_cast<int>(RowPart::SearchShape)));
        QDragMoveEvent search(RowPoint(0), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->ScrollBox()->viewport(), &search);
        QVERIFY(!search.isAccepted());
    }

    void dragBetweenBriefsCopiesAndLeavesTheSourceAlone() {
        TSkeinForm* a = Open("a.brf", {{"x", false, "example.org/x"}, {"y"}});
        TSkeinForm* b = Open("b.brf", {{"p"}, {"q"}});
        ClickRow(a, 0);
        ClickRow(b, 1);
        DropRow(a, b, 0, false, RowPart::NameLabel);
        QCOMPARE(Names(b->Brief), (std::vector<std::string>{"x", "p", "q"}));
        QCOMPARE(b->Brief.WebList.Entry(0).Address, std::string("example.org/x"));
        QCOMPARE(b->Brief.WebList.SelectedIndex, 2);
        DropRow(a, b, 9, true, RowPart::NameLabel);
        QCOMPARE(Names(b->Brief), (std::vector<std::string>{"x", "p", "q", "x"}));
        QCOMPARE(Names(a->Brief), (std::vector<std::string>{"x", "y"}));
        QCOMPARE(Names(Reread(h->PathOf("a.brf"))), (std::vector<std::string>{"x", "y"}));
        QCOMPARE(Reread(h->PathOf("b.brf")).WebList.Count(), 4);
    }

    // New Web Entry selects the new entry, so that Entry Setup (and Enter) edit it.
    void aNewEntryIsSelectedAndEnterOpensItsSetup() {
        TSkeinForm* form = Open("new.brf", {{"old"}, {"older"}});
        ClickRow(form, 1);
        for (EntryKind kind : {EntryKind::Web, EntryKind::Search}) {
            h->Frame().AddEntry(kind);
            QCOMPARE(form->Brief.WebList.SelectedIndex, 0);
            QCOMPARE(form->Brief.WebList.Selected()->IsSearchEntry(), kind == EntryKind::Search);
            QCOMPARE(form->ScrollBox()->verticalScrollBar()->value(), 0);
            OnNextModal([](QDialog* d) { d->reject(); });
            QTest::keyClick(form->ScrollBox(), Qt::Key_Return);
            QCOMPARE(SeenModalCaptions().back(), kind == EntryKind::Web
                                                     ? QString("Web Page Setup")
                                                     : QString("Yahoo! Entry Setup"));
        }
        QCOMPARE(form->Brief.WebList.Entry(2).EntryName, std::string("old"));
        // Without a selection Enter opens nothing.
        TSkeinForm* none = Open("none.brf", {{"a"}});
        QCOMPARE(none->Brief.WebList.SelectedIndex, -1);
        QTest::keyClick(none->ScrollBox(), Qt::Key_Enter);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void arrowKeysMoveTheSelectionAndBeepAtTheEnds() {
        TSkeinForm* form = Open("keys.brf", {{"a"}, {"b"}, {"c"}});
        QWidget* box = form->ScrollBox();
        box->setFocus();
        int beeps = BeepCount();
        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(BeepCount(), beeps + 1);
        QCOMPARE(form->Brief.WebList.SelectedIndex, -1);
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(form->Brief.WebList.SelectedIndex, 0);
        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(BeepCount(), beeps + 2);
        QCOMPARE(form->Brief.WebList.SelectedIndex, 0);
        QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(form->Brief.WebList.SelectedIndex, 2);
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(BeepCount(), beeps + 3);
        QCOMPARE(form->Brief.WebList.SelectedIndex, 2);
        QVERIFY(On(C::CutButton));
    }

    void checkMarksToggleExceptLockedEntries() {
        TSkeinForm* form = Open("checks.brf", {{"a"}, {"b"}});
        ClickRow(form, 1, 20);
        QCOMPARE(int(form->Brief.WebList.Entry(1).Active), 0);
        QCOMPARE(int(Reread(h->PathOf("checks.brf")).WebList.Entry(1).Active), 0);
        // Both clicks of a double click count, so Active ends as it was, and nothing launches.
        DoubleClickRow(form, 0, 20);
        QCOMPARE(int(form->Brief.WebList.Entry(0).Active), 1);
        QVERIFY(h->BrowserCalls.Opened.empty());
        form->Brief.WebList.Entry(0).Locked = 1;
        ClickRow(form, 0, 20);
        QCOMPARE(int(form->Brief.WebList.Entry(0).Active), 1);
        // A double click on the name launches the entry.
        form->Brief.WebList.Entry(1).Address = "http://example.org/";
        DoubleClickRow(form, 1, 120);
        QCOMPARE(h->BrowserCalls.Opened.size(), size_t(1));
        QCOMPARE(h->BrowserCalls.Opened[0].Address, std::string("http://example.org/"));
        QVERIFY(!h->BrowserCalls.Opened[0].FileFlag);
        // So does a double click below the last row: it selects nothing, the selection stays.
        DoubleClickRow(form, 4, 120);
        QCOMPARE(form->Brief.WebList.SelectedIndex, 1);
        QCOMPARE(h->BrowserCalls.Opened.size(), size_t(2));
        QCOMPARE(h->BrowserCalls.Opened[1].Address, std::string("http://example.org/"));
    }

    void popupMenusTakeTheirStatesFromTheMainCommands() {
        TSkeinForm* form = Open("popup.brf", {{"a"}, {"search", true}});
        QWidget* viewport = form->ScrollBox()->viewport();
        QTest::mouseClick(viewport, Qt::RightButton, {}, RowPoint(1));
        QMenu* menu = form->WebEntryMenu();
        QVERIFY(menu->isVisible());
        QCOMPARE(form->Brief.WebList.SelectedIndex, 1);
        QVERIFY(!form->PopupAction(C::PopupLaunch)->isEnabled()); // a search entry
        QVERIFY(form->PopupAction(C::PopupCut)->isEnabled());
        QVERIFY(!form->PopupAction(C::PopupPaste)->isEnabled()); // nothing copied yet
        menu->hide();
        // Below the last row only adding and pasting are offered, until the menu closes.
        QTest::mouseClick(viewport, Qt::RightButton, {}, RowPoint(5));
        QVERIFY(menu->isVisible());
        QCOMPARE(form->Brief.WebList.SelectedIndex, 1);
        QVERIFY(!form->PopupAction(C::PopupCopy)->isEnabled());
        QVERIFY(!form->PopupAction(C::PopupEntrySetup)->isEnabled());
        QVERIFY(form->PopupAction(C::PopupAddWeb)->isEnabled());
        menu->hide();
        QCoreApplication::processEvents();
        QVERIFY(form->PopupAction(C::PopupCopy)->isEnabled());
        QVERIFY(form->PopupAction(C::PopupEntrySetup)->isEnabled());
        // An item offered there works even though it was off on the row's menu: Paste.
        h->Frame().CopyEntry();
        QTest::mouseClick(viewport, Qt::RightButton, {}, RowPoint(5));
        QAction* paste = form->PopupAction(C::PopupPaste);
        QVERIFY(paste->isEnabled());
        QPoint at = menu->actionGeometry(paste).center();
        QTest::mouseMove(menu, at);
        QTest::mouseClick(menu, Qt::LeftButton, {}, at);
        QVERIFY(!menu->isVisible());
        QCOMPARE(form->Brief.WebList.Count(), 3);
        QCOMPARE(form->Brief.WebList.Entry(0).EntryName, std::string("search"));
        QCoreApplication::processEvents();
        QVERIFY(form->PopupAction(C::PopupEntrySetup)->isEnabled());
        // The header panel opens the brief menu.
        QTest::mouseClick(form->HeaderActive(), Qt::RightButton);
        QVERIFY(form->BriefPopupMenu()->isVisible());
        QVERIFY(form->PopupAction(C::PopupGenerateBriefs)->isEnabled());
        form->BriefPopupMenu()->hide();
    }

    void storedTextIsShownAsUtf8OrWindows1252() {
        QCOMPARE(FromStored("caf\xe9"), QString::fromUtf8("caf\xc3\xa9"));
        QCOMPARE(FromStored("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
        QCOMPARE(FromStored("\x93quoted\x94"), QString::fromUtf8("\xe2\x80\x9cquoted\xe2\x80\x9d"));
        TSkeinForm* form = Open("text.brf", {{"x"}});
        form->Brief.BriefName = "Caf\xe9";
        form->ShowBriefHeader();
        QVERIFY(form->findChild<QLabel*>() != nullptr);
        bool shown = false;
        for (QLabel* label : form->findChildren<QLabel*>())
            shown = shown || label->text() == QString::fromUtf8("Caf\xc3\xa9");
        QVERIFY(shown);
    }

    void appendingScrollsToTheTopAndInsertingKeepsThePlace() {
        std::vector<EntrySpec> entries;
        for (int i = 0; i < 60; ++i)
            entries.emplace_back("entry " + std::to_string(i));
        TSkeinForm* form = Open("scroll.brf", entries);
        TWebScrollBox* box = form->ScrollBox();
        box->SetScrollPosition(30 * 26);
        QCOMPARE(box->ScrollPosition(), 30 * 26);
        // The row under a point counts the scroll position.
        ClickRow(form, 0);
        QCOMPARE(form->Brief.WebList.SelectedIndex, 30);
        h->Frame().CopyEntry();
        h->Frame().PasteEntry(); // inserted at the top: the list stays where it was
        QCOMPARE(box->ScrollPosition(), 30 * 26);
        QCOMPARE(form->Brief.WebList.SelectedIndex, 31);
        DropRow(form, form, 200, true, RowPart::NameLabel); // a copy appended at the end
        QCOMPARE(form->Brief.WebList.Count(), 62);
        QCOMPARE(box->ScrollPosition(), 0);
    }

    void clickBelowTheLastRowSelectsNothing() {
        TSkeinForm* form = Open("below.brf", {{"a"}});
        ClickRow(form, 3);
        QCOMPARE(form->Brief.WebList.SelectedIndex, -1);
        ClickRow(form, 0);
        QCOMPARE(form->Brief.WebList.SelectedIndex, 0);
    }

    void sortOrdersByBytes() {
        TSkeinForm* form = Open("sort.brf", {{"b"}, {"B"}, {"a"}});
        h->Frame().SortEntries();
        QCOMPARE(Names(form->Brief), (std::vector<std::string>{"B", "a", "b"}));
        QCOMPARE(Names(Reread(h->PathOf("sort.brf"))), (std::vector<std::string>{"B", "a", "b"}));
    }

    void rowsArePaintedWithPatternAndHighlight() {
        TSkeinForm* form = Open("paint.brf", {{"web"}, {"search", true}});
        form->SubWindow()->resize(533, 366);
        QWidget* viewport = form->ScrollBox()->viewport();
        QImage image = viewport->grab().toImage();
        QColor background = image.pixelColor(300, 26 + 22);
        QColor neighbour = image.pixelColor(301, 26 + 22);
        QVERIFY(background == QColor(255, 255, 0) || neighbour == QColor(255, 255, 0));
        QCOMPARE(image.pixelColor(300, 22), QColor(Qt::white));
        ClickRow(form, 1);
        image = viewport->grab().toImage();
        QCOMPARE(image.pixelColor(300, 26 + 22), QColor(0, 0, 128));
        ClickRow(form, 0);
        image = viewport->grab().toImage();
        QCOMPARE(image.pixelColor(300, 22), QColor(128, 128, 128));
        // The separator under row 0 and the column line at the first header edge.
        QCOMPARE(image.pixelColor(300, 26 + 25), QColor(128, 128, 128));
        QCOMPARE(image.pixelColor(39, 60), QColor(128, 128, 128));
    }

    void theColumnsFollowTheWindowWidth() {
        TSkeinForm* form = Open("resize.brf", {{"a"}});
        form->resize(600, 300);
        QCOMPARE(form->ColumnHeader()->sectionSize(0), 40);
        QCOMPARE(form->ColumnHeader()->sectionSize(1), 500);
        QCOMPARE(form->ColumnHeader()->sectionSize(2), 60);
        QCOMPARE(form->HeaderActive()->x(), 600 - form->HeaderActive()->width() - 19);
    }

    void aBriefOf32767EntriesOpensAndScrolls() {
        std::vector<EntrySpec> many;
        for (int i = 0; i < TWebList::MaxEntries; ++i)
            many.push_back({"Entry " + std::to_string(i), i % 7 == 3});
        std::string path = WriteBriefFile(h->PathOf("many.brf"), many);
        QElapsedTimer timer;
        timer.start();
        TSkeinForm* form = h->Frame().OpenBriefFile(path);
        QVERIFY(form != nullptr);
        QWidget* viewport = form->ScrollBox()->viewport();
        QVERIFY(viewport->isVisible());
        QImage first = viewport->grab().toImage(); // the first page drawn
        qint64 openMs = timer.elapsed();
        QCOMPARE(form->Brief.WebList.Count(), TWebList::MaxEntries);
        QScrollBar* bar = form->ScrollBox()->verticalScrollBar();
        QCOMPARE(bar->maximum(),
                 form->Brief.WebList.ScrollRange - form->ScrollBox()->viewport()->height());
        const int steps = 2000;
        timer.restart();
        for (int i = 0; i < steps; ++i) {
            bar->setValue(bar->value() + bar->pageStep());
            (void)viewport->grab(); // paints the page that scrolled in
        }
        double stepUs = double(timer.nsecsElapsed()) / 1e3 / steps;
        qInfo("open of 32767 entries: %lld ms; one scroll step (a page, drawn %dx%d): %.1f us",
              openMs, viewport->width(), viewport->height(), stepUs);
        // The row under a point far down is found by arithmetic alone.
        bar->setValue(26 * 30000);
        ClickRow(form, 0);
        QCOMPARE(form->Brief.WebList.SelectedIndex, 30000);
    }
};

QTEST_MAIN(BriefWindowTest)
#include "BriefWindowTest.moc"
