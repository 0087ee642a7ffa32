// The desktop program as a newcomer meets it: the first start, dialogs that stay above the main
// window and open at their first field, help beside a dialog, and the answers to bad input (a
// cleared name, a depth out of range, a full brief, a save that fails, brief file names).
#include "Brief/BriefFile.h"
#include "Gui/SkeinForm.h"
#include "Run/RunFlags.h"
#include "Gui/BriefProcessing.h"
#include "Platform/Registry.h"
#include "Gui/MessageDialogs.h"
#include "Gui/RangeSpinBox.h"
#include "Gui/ShellWindows.h"
#include "Gui/SingleInstance.h"
#include "support/RecordingDialogs.h"
#include "support/TestHttpServer.h"
#include "Gui/support/UiTestSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <QtTest>

#include <atomic>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <thread>

using namespace gathra;
using namespace gathra::test;

namespace {

// Counts the mouse presses that reach a widget.
class PressCounter : public QObject {
public:
    int Presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) ++Presses;
        return false;
    }
};

THelpWindow* VisibleHelpWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* help = qobject_cast<THelpWindow*>(w); help && help->isVisible()) return help;
    return nullptr;
}

QWindow* TransientParentOf(QWidget* window) {
    return window->windowHandle() ? window->windowHandle()->transientParent() : nullptr;
}

QPushButton* VisibleButton(QDialog* dialog, const QString& text) {
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text && b->isVisible()) return b;
    return nullptr;
}

void ClearField(QLineEdit* field) {
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
}

} // namespace

class DesktopWindowsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FrameHarness> h;

    TSkeinForm* NewBriefWith(const std::vector<EntrySpec>& entries, const std::string& name) {
        std::string path = WriteBriefFile(h->PathOf(name), entries);
        return h->Frame().OpenBriefFile(path);
    }

private slots:
    void cleanup() {
        ProgramRunFlags().Reset();
        h.reset();
        QCOMPARE(LeakedTopLevels(), 0);
    }

    void firstStartHappensWhenNoSettingsExistYet() {
        h = std::make_unique<FrameHarness>(true);
        TMDIFrame& f = h->Frame();
        QVERIFY(f.IsFirstStart());
        QCOMPARE(f.WindowTables().OpenBriefCount(), 4);
        QVERIFY(VisibleHelpWindow() != nullptr);
        Registry registry(Registry::DefaultFile());
        QCOMPARE(registry.ReadValue("Startup", "First Start").value_or(""), std::string("No"));
        // About two thirds of the screen, never beyond it, and every sample brief wholly inside
        // the window area.
        const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
        QVERIFY(f.width() >= screen.width() * 2 / 3 - 1 && f.width() <= screen.width());
        QVERIFY(f.height() >= screen.height() * 2 / 3 - 1 && f.height() <= screen.height());
        const QRect area(QPoint(0, 0), f.MdiArea()->viewport()->size());
        for (QMdiSubWindow* sub : f.MdiArea()->subWindowList())
            QVERIFY2(area.contains(sub->geometry()), qPrintable(sub->windowTitle()));

        // The next start is not a first start.
        h->Restart();
        QVERIFY(!h->Frame().IsFirstStart());
        QCOMPARE(h->Frame().WindowTables().OpenBriefCount(), 4); // reopened from Open Briefs
    }

    void everyDialogStaysAboveTheMainWindowAndOpensAtItsFirstField() {
        h = std::make_unique<FrameHarness>();
        TMDIFrame& f = h->Frame();
        TSkeinForm* form = NewBriefWith({{"Kitchen", false, "127.0.0.1/kitchen.htm"}}, "d.brf");
        QVERIFY(form != nullptr);
        form->SelectEntry(0);
        struct Case {
            const char* Caption;
            std::function<void()> Open;
            const char* FocusName; // object name, or button text
        };
        RecordingBrowser browser;
        const Case cases[] = {
            {"Message", [] { ShowMessage("Text.", "Message", false); }, "&OK"},
            {"Question", [] { Ask("Go on?", "Question"); }, "&Yes"},
            {"Entry Setup", [&] { f.EntrySetup(); }, "EditName"},
            {"Brief Setup", [&] { f.BriefSetup(); }, "BriefName"},
            {"Preferences", [&] { f.Preferences(); }, "Browser"},
            {"Brief Ready",
             [&] {
                 TBtnRightDlg ready("Brief", "Brief0.htm", "/tmp/", browser);
                 ExecAsFrontForm(ready);
             },
             "&Yes"},
        };
        for (const Case& c : cases) {
            QString problem = "not shown";
            OnNextModal([&](QDialog* d) {
                problem.clear();
                if ((d->windowFlags() & Qt::WindowType_Mask) != Qt::Dialog) problem += " type";
                if (TransientParentOf(d) != f.windowHandle()) problem += " transience";
                if (d->windowModality() != Qt::WindowModal) problem += " modality";
                QWidget* focus = d->focusWidget();
                auto* button = qobject_cast<QPushButton*>(focus);
                QString focusName = button ? button->text() : focus ? focus->objectName() : "";
                if (focusName != c.FocusName) problem += " focus on " + focusName;
                if (FrontForm() != d) problem += " front form";
                d->reject();
            });
            c.Open();
            QVERIFY2(problem.isEmpty(), qPrintable(QString(c.Caption) + ":" + problem));
            QCOMPARE(FrontForm(), static_cast<QWidget*>(&f));
        }
    }

    void helpFromADialogIsUsableAboveIt() {
        h = std::make_unique<FrameHarness>();
        TMDIFrame& f = h->Frame();
        PressCounter help, main;
        bool checked = false;
        OnNextModal([&](QDialog* d) {
            QPushButton* button = VisibleButton(d, "&Help");
            QVERIFY(button != nullptr);
            button->click();
            THelpWindow* window = VisibleHelpWindow();
            QVERIFY(window != nullptr);
            QCOMPARE(TransientParentOf(window), d->windowHandle());
            window->Browser()->viewport()->installEventFilter(&help);
            f.MdiArea()->viewport()->installEventFilter(&main);
            // Clicks as the window system delivers them, so that a blocked window misses them.
            auto clickAt = [](QWidget* target) {
                QWidget* top = target->window();
                QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                                  target->mapTo(top, target->rect().center()));
            };
            clickAt(window->Browser()->viewport());
            clickAt(f.MdiArea()->viewport());
            checked = true;
            d->reject();
        });
        f.Preferences();
        QVERIFY(checked);
        QCOMPARE(help.Presses, 1); // help takes clicks while the dialog is open
        QCOMPARE(main.Presses, 0); // the main window does not
    }

    void theProgressDialogStaysInFrontDuringARun() {
        h = std::make_unique<FrameHarness>();
        TMDIFrame& f = h->Frame();
        TestHttpServer server;
        TestResponse slow = TestResponse::Html("<html><body>slow</body></html>");
        slow.DelayMs = 10000;
        server.SetDefault(slow);
        QVERIFY(NewBriefWith({{"first", false, server.Url("/1")}}, "run.brf") != nullptr);
        f.GenerateBrief();
        QTRY_VERIFY_WITH_TIMEOUT(f.Progress() && f.Progress()->isVisible(), 10000);
        QPointer<TBriefProcessing> progress = f.Progress();
        QCOMPARE(progress->windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
        QCOMPARE(TransientParentOf(progress), f.windowHandle());
        // The Stop question stands above the main window; the progress dialog is in front again
        // after No.
        QWindow* questionOwner = nullptr;
        OnNextModal([&](QDialog* d) {
            questionOwner = TransientParentOf(d);
            ClickButtonNamed(d, "&No");
        });
        progress->AbortButton()->click();
        QCOMPARE(questionOwner, f.windowHandle());
        QTRY_COMPARE(QGuiApplication::focusWindow(), progress->windowHandle());
        // A refused exit says why and shows the user the run to stop.
        f.activateWindow();
        QTRY_COMPARE(QGuiApplication::focusWindow(), f.windowHandle());
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&OK"); });
        QVERIFY(!f.close());
        QCOMPARE(SeenModalCaptions().back(), QString("Brief Running"));
        QTRY_COMPARE(QGuiApplication::focusWindow(), progress->windowHandle());
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&Yes"); });
        progress->AbortButton()->click();
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&No"); }, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!f.RunInProgress(), 30000);
    }

    void aClearedNameLeavesTheEntryShownByItsAddress() {
        h = std::make_unique<FrameHarness>();
        struct Case {
            EntrySpec Entry;
            const char* Field;
            std::string Shown;
            std::uint8_t NameSet;
        };
        const Case cases[] = {
            {{"Kitchen", false, "127.0.0.1/a b.htm"}, "EditName", "127.0.0.1/a b.htm", 0},
            {{"tomatoes", true}, "Query", "New Search", 1},
        };
        int n = 0;
        for (const Case& c : cases) {
            TSkeinForm* form = NewBriefWith({c.Entry}, "name" + std::to_string(n++) + ".brf");
            QVERIFY(form != nullptr);
            form->SelectEntry(0);
            OnNextModal([&](QDialog* d) {
                ClearField(d->findChild<QLineEdit*>(c.Field));
                ClickButtonNamed(d, "&OK");
            });
            h->Frame().EntrySetup();
            const TWebPage& shown = form->Brief.WebList.Entry(0);
            QCOMPARE(shown.EntryName, c.Shown);
            QCOMPARE(shown.NameSet, c.NameSet);
            TBrief reread;
            reread.FileName = form->Brief.FileName;
            RecordingDialogs quiet;
            QVERIFY(ReadBriefs2(reread, quiet));
            QCOMPARE(reread.WebList.Entry(0).EntryName, c.Shown);
            QCOMPARE(reread.WebList.Entry(0).NameSet, c.NameSet);
        }
    }

    void aDepthOutOfRangeIsRefusedWithAHint() {
        TRangeSpinBox depth(1, 99);
        auto* hint = new QLabel(&depth);
        depth.SetHint(hint);
        depth.setValue(5);
        QCOMPARE(hint->text(), QString("1 to 99"));
        struct Case {
            const char* Typed;
            int Value;
            bool Refused;
        };
        const Case cases[] = {
            {"150", 15, true}, // the third key is refused, the field keeps 15
            {"7", 7, false},   {"0", 7, true}, {"99", 99, false}, {"x", 99, true},
        };
        for (const Case& c : cases) {
            depth.selectAll();
            QTest::keyClicks(&depth, c.Typed);
            QCOMPARE(depth.value(), c.Value);
            QCOMPARE(depth.Refusing(), c.Refused);
            QCOMPARE(hint->text(), QString(c.Refused ? "Only 1 to 99" : "1 to 99"));
        }
    }

    void aFullBriefSaysWhyNothingWasAdded() {
        h = std::make_unique<FrameHarness>();
        TMDIFrame& f = h->Frame();
        TSkeinForm* other = NewBriefWith({{"other"}}, "other.brf");
        TSkeinForm* full = NewBriefWith({{"first"}}, "full.brf");
        QVERIFY(other != nullptr && full != nullptr);
        while (full->Brief.WebList.Count() < TWebList::MaxEntries)
            full->Brief.WebList.AddEntry(EntryKind::Web);
        full->SelectEntry(0);
        f.CopyEntry();
        other->SelectEntry(0);
        const std::function<void()> attempts[] = {
            [&] { f.AddEntry(EntryKind::Web); },
            [&] { f.AddEntry(EntryKind::Search); },
            [&] { f.PasteEntry(); },
            [&] { full->FinishDragDrop(*other, 3, false); },
            [&] { full->FinishDragDrop(*full, 3, true); },
        };
        for (const auto& attempt : attempts) {
            f.SetCurrentBrief(full);
            const size_t seen = SeenModalCaptions().size();
            OnNextModal([](QDialog* d) { d->accept(); });
            attempt();
            QCOMPARE(SeenModalCaptions().size(), seen + 1);
            QCOMPARE(SeenModalCaptions().back(), QString(BriefFullCaption));
            QCOMPARE(full->Brief.WebList.Count(), TWebList::MaxEntries);
        }
        // A move within the full brief needs no room.
        full->SelectEntry(0);
        full->FinishDragDrop(*full, 2, false);
        QCOMPARE(full->Brief.WebList.Entry(2).EntryName, std::string("first"));
    }

    void aFailedSaveMarksTheBriefUnsavedUntilASaveWorks() {
        h = std::make_unique<FrameHarness>();
        TMDIFrame& f = h->Frame();
        TSkeinForm* form = NewBriefWith({{"one"}}, "kept.brf");
        QVERIFY(form != nullptr);
        const std::string file = form->Brief.FileName;
        ::chmod(file.c_str(), 0444);
        const size_t seen = SeenModalCaptions().size();
        OnNextModal([](QDialog* d) { d->accept(); });
        f.AddEntry(EntryKind::Web);
        QCOMPARE(SeenModalCaptions().size(), seen + 1);
        QCOMPARE(SeenModalCaptions().back(), QString(kBriefSavingErrorCaption));
        QCOMPARE(form->windowTitle(), QString("Kept (not saved)"));
        QVERIFY(form->Unsaved());
        // The next failures are not announced again: the caption says it.
        f.AddEntry(EntryKind::Web);
        form->ToggleActive(0);
        QCOMPARE(SeenModalCaptions().size(), seen + 1);
        QCOMPARE(form->windowTitle(), QString("Kept (not saved)"));
        ::chmod(file.c_str(), 0644);
        f.AddEntry(EntryKind::Web);
        QCOMPARE(form->windowTitle(), QString("Kept"));
        QVERIFY(!form->Unsaved());
        TBrief reread;
        reread.FileName = file;
        RecordingDialogs quiet;
        QVERIFY(ReadBriefs2(reread, quiet));
        QCOMPARE(reread.WebList.Count(), 4);
    }

    void briefFileDialogsFindEitherCaseAndNameNewBriefsDotBrf() {
        h = std::make_unique<FrameHarness>();
        h->FileAnswers.push_back(QString::fromStdString(h->PathOf("plain")));
        TSkeinForm* form = h->Frame().NewBrief();
        QVERIFY(form != nullptr);
        QCOMPARE(form->Brief.FileName, h->PathOf("plain.brf"));
        QVERIFY(std::filesystem::exists(h->PathOf("plain.brf")));
        QCOMPARE(h->FileRequests.back().DefaultSuffix, QString("brf"));
        QCOMPARE(WithBriefExtension("/x/news.BRF"), QString("/x/news.BRF"));

        for (const char* name : {"lower.brf", "UPPER.BRF", "notes.txt"})
            WriteBriefFile(h->PathOf(name), {});
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        const QString folder = QString::fromStdString(h->Dir().Folder());
        TMDIFrame::ConfigureFileDialog(dialog,
                                       {false, "Open File", BriefOpenFilter, folder, {}, 5});
        auto* model = dialog.findChild<QFileSystemModel*>();
        QVERIFY(model != nullptr);
        auto listed = [&] {
            QStringList names;
            QModelIndex parent = model->index(folder);
            for (int row = 0; row < model->rowCount(parent); ++row)
                names << model->index(row, 0, parent).data().toString();
            names.sort();
            return names;
        };
        QTRY_COMPARE(listed(), QStringList({"UPPER.BRF", "lower.brf", "plain.brf"}));
    }

    // The ad bar goes above the main window, else below, else beside it, always on the screen
    // and never over the main window; with no room anywhere it is not shown.
    void theAdBarNeverCoversTheMainWindow() {
        const QRect screen(0, 0, 1366, 768);
        const QSize bar(468, 80);
        struct Case {
            QRect Main;
            std::optional<QPoint> At;
        };
        const Case cases[] = {
            {{100, 200, 600, 400}, QPoint(100, 120)},
            // Near the top (a restored window): below it.
            {{100, 30, 600, 400}, QPoint(100, 430)},
            // Off the left edge: the bar stays on the screen.
            {{-50, 200, 600, 400}, QPoint(0, 120)},
            {{1000, 200, 300, 400}, QPoint(1366 - 468, 120)},
            // Tall: beside it, right first, level with its top.
            {{0, 10, 800, 740}, QPoint(800, 10)},
            {{500, 10, 866, 740}, QPoint(32, 10)},
            // Maximised, or too large: nowhere.
            {screen, std::nullopt},
            {{100, 10, 1000, 740}, std::nullopt},
        };
        for (const Case& c : cases) {
            const std::optional<QPoint> at = AdBarPosition(c.Main, bar, screen);
            QCOMPARE(at, c.At);
            if (at) {
                QVERIFY(screen.contains(QRect(*at, bar)));
                QVERIFY(!QRect(*at, bar).intersects(c.Main));
            }
        }

        // The real bar follows its main window through a maximise and back.
        QWidget main;
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        main.setGeometry(area.left() + 20, area.top() + 150, 500, 300);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        TAdBar* adBar = new TAdBar(&main);
        adBar->Place();
        QVERIFY(adBar->isVisible());
        QVERIFY(!adBar->frameGeometry().intersects(main.frameGeometry()));
        QVERIFY(area.contains(adBar->frameGeometry()));
        main.showMaximized();
        QTRY_VERIFY(!adBar->isVisible());
        main.showNormal();
        main.setGeometry(area.left() + 20, area.top() + 30, 500, 300);
        QTRY_VERIFY(adBar->isVisible());
        QTRY_VERIFY(!adBar->frameGeometry().intersects(main.frameGeometry()));
        QVERIFY(adBar->frameGeometry().top() > main.frameGeometry().bottom());
        // Dragged onto the main window, it goes back beside it.
        adBar->move(main.pos());
        QTRY_VERIFY(!adBar->frameGeometry().intersects(main.frameGeometry()));
    }

    // The Help menu says true things and opens what exists.
    void theHelpMenuOpensTheProgramsOwnPages() {
        h = std::make_unique<FrameHarness>();
        QMenu* help = nullptr;
        for (QAction* a : h->Frame().menuBar()->actions())
            if (a->text() == "&Help") help = a->menu();
        QVERIFY(help != nullptr);
        auto item = [help](const char* text) {
            for (QAction* a : help->actions())
                if (a->text() == text) return a;
            qFatal("no help item %s", text);
            return static_cast<QAction*>(nullptr);
        };
        item("Orsolo &Development")->trigger();
        QCOMPARE(h->BrowserCalls.Opened.size(), size_t(1));
        const std::string page = h->BrowserCalls.Opened[0].Address;
        QVERIFY(h->BrowserCalls.Opened[0].FileFlag);
        QVERIFY2(std::filesystem::is_regular_file(page), page.c_str());
        QVERIFY(page.ends_with("help/contents.html"));
        for (const char* text : {"About &Gathra Pro...", "&About..."}) {
            OnNextModal([](QDialog* d) { d->accept(); });
            item(text)->trigger();
            QVERIFY(SeenModalTexts().back().contains("Gathra Light"));
            QVERIFY(!SeenModalTexts().back().contains("scheduled runs"));
        }
    }

    void aSecondStartHandsItsBriefsToTheRunningProgram() {
        h = std::make_unique<FrameHarness>();
        TMDIFrame& f = h->Frame();
        const std::string a = WriteBriefFile(h->PathOf("a.brf"), {{"one"}});
        const std::string b = WriteBriefFile(h->PathOf("b.brf"), {{"two"}});
        const QString settings = QString::fromStdString(h->PathOf("settings-file"));
        TSingleInstance second(settings);
        QVERIFY(!second.HandOver({"/nobody/listens.brf"}, 500));

        TSingleInstance running(settings);
        QVERIFY(running.Listen());
        QObject::connect(&running, &TSingleInstance::FilesArrived, &f,
                         [&f](const QStringList& files) { f.OpenGivenBriefs(files); });
        // A separate settings file is a separate program.
        QVERIFY(TSingleInstance::ServerNameFor(settings + "2") != running.ServerName());
        QVERIFY(!TSingleInstance(settings + "2").HandOver({}, 500));

        // HandOver waits for the answer, so the running program must serve it meanwhile: the
        // second start runs on a thread of its own.
        auto handOver = [&](const QStringList& files) {
            std::atomic<bool> taken = false;
            std::jthread starter([&] { taken = TSingleInstance(settings).HandOver(files); });
            QTRY_VERIFY_WITH_TIMEOUT(taken.load(), 5000);
            starter.join();
        };
        handOver({QString::fromStdString(a), QString::fromStdString(b)});
        QTRY_COMPARE(f.WindowTables().OpenBriefCount(), 2);
        // A brief already open comes to the front, without "Brief already open".
        const size_t seen = SeenModalCaptions().size();
        handOver({QString::fromStdString(a)});
        QTRY_COMPARE(f.CurrentForm()->Brief.FileName, a);
        QCOMPARE(f.WindowTables().OpenBriefCount(), 2);
        QCOMPARE(SeenModalCaptions().size(), seen);
    }
};

QTEST_MAIN(DesktopWindowsTest)
#include "DesktopWindowsTest.moc"
