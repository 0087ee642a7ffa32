// The main window: start-up states, files and the recent list, restarts, exit, shared dialogs.
#include "Gui/SkeinForm.h"
#include "Run/RunFlags.h"
#include "Gui/BriefProcessing.h"
#include "Platform/Registry.h"
#include "Platform/SocketCanceller.h"
#include "Settings/Settings.h"
#include "Gui/MessageDialogs.h"
#include "Gui/ShellWindows.h"
#include "support/RecordingDialogs.h"
#include "Gui/support/UiTestSupport.h"

#include <QAction>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

using namespace gathra;
using namespace gathra::test;

namespace {
using C = Command;

QStringList Captions(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* a : actions)
        texts << a->text();
    return texts;
}
} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FrameHarness> h;

private slots:
    void init() { h = std::make_unique<FrameHarness>(); }
    void cleanup() {
        ProgramRunFlags().Reset();
        h.reset();
        QCOMPARE(LeakedTopLevels(), 0);
    }

    void startsWithOnlyNewAndOpenOnTheToolbar() {
        TMDIFrame& f = h->Frame();
        QCOMPARE(f.windowTitle(), QString("Gathra Light"));
        QCOMPARE(f.StatusLabel()->text(), QString(" Gathra Light"));
        QVERIFY(f.Button(C::NewFileButton)->isEnabled());
        QVERIFY(f.Button(C::OpenFileButton)->isEnabled());
        for (C c : {C::CutButton, C::CopyButton, C::PasteButton, C::CreateWebEntryButton,
                    C::CreateYahooEntryButton, C::GetBrowserUrlButton, C::GenerateBriefsButton,
                    C::ShowBriefButton})
            QVERIFY(!f.Button(c)->isEnabled());
        QCOMPARE(f.Button(C::CreateYahooEntryButton)->toolTip(), QString("New Yahoo! Entry"));
        QCOMPARE(f.Action(C::FileGenerate)->shortcut(), QKeySequence("Ctrl+G"));
        QCOMPARE(f.Action(C::EditPaste)->shortcut(), QKeySequence("Ctrl+V"));
        QVERIFY(!f.Action(C::EntryMenu)->isEnabled());
        QVERIFY(!f.Action(C::WindowMenu)->isEnabled());
        QVERIFY(f.Action(C::FileClose)->isEnabled());
        QVERIFY(f.Action(C::EditPreferences)->isEnabled());
    }

    void neverSmallerThan490By160() {
        h->Frame().resize(300, 100);
        QCOMPARE(h->Frame().size(), QSize(490, 160));
    }

    void recentListKeepsTheLastFourAcrossARestart() {
        std::vector<std::string> paths;
        for (const char* name : {"a.brf", "b.brf", "c.brf", "d.brf", "e.brf"})
            paths.push_back(WriteBriefFile(h->PathOf(name), {{"entry"}}));
        for (const std::string& p : paths)
            QVERIFY(h->Frame().OpenBriefFile(p) != nullptr);
        QCOMPARE(Captions(h->Frame().RecentActions()),
                 QStringList({"&1 e.brf", "&2 d.brf", "&3 c.brf", "&4 b.brf"}));
        // The recent group sits between the setup item's separator and Exit.
        QList<QAction*> file = h->Frame().FileMenu()->actions();
        int first = file.indexOf(h->Frame().RecentActions().first());
        QVERIFY(file[first - 1]->isSeparator());
        QVERIFY(file[first + 4]->isSeparator());
        QCOMPARE(file[first + 5], h->Frame().Action(C::FileExit));

        // Reopening c moves it to the top without a duplicate; a click on an open one raises it.
        h->Frame().WindowTables().Brief(2)->SubWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        h->Frame().RecentActions()[2]->trigger();
        QCOMPARE(Captions(h->Frame().RecentActions()),
                 QStringList({"&1 c.brf", "&2 e.brf", "&3 d.brf", "&4 b.brf"}));
        QCOMPARE(h->Frame().WindowTables().OpenBriefCount(), 5);
        h->Frame().RecentActions()[1]->trigger();
        QCOMPARE(h->Frame().MdiArea()->activeSubWindow()->windowTitle(), QString("E"));
        QCOMPARE(h->Frame().WindowTables().OpenBriefCount(), 5);

        // Close two windows, then restart: the other three come back, the list as it was.
        h->Frame().WindowTables().Brief(0)->SubWindow()->close(); // a
        h->Frame().WindowTables().Brief(0)->SubWindow()->close(); // b
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        h->Restart();
        QCOMPARE(h->Frame().WindowTables().OpenBriefCount(), 3);
        QCOMPARE(h->Frame().WindowTables().WindowCount(), 3);
        QStringList restored = Captions(h->Frame().RecentActions());
        QCOMPARE(restored.size(), 4);
        QVERIFY(restored.contains("&4 b.brf"));
        QVERIFY(!restored.join(' ').contains("a.brf"));
        Registry registry(Registry::DefaultFile());
        StartupValues values = ReadStartupValues(registry);
        QCOMPARE(values.PreviousBriefs.Slots[0], paths[2]);
        QCOMPARE(values.PreviousBriefs.Slots[3], paths[1]);
    }

    void openBriefsComeBackWhereTheyWere() {
        std::string one = WriteBriefFile(h->PathOf("one.brf"), {{"x"}});
        std::string two = WriteBriefFile(h->PathOf("two.brf"), {{"y"}, {"z", true}});
        QVERIFY(h->Frame().OpenBriefFile(one) != nullptr);
        TSkeinForm* second = h->Frame().OpenBriefFile(two);
        QVERIFY(second != nullptr);
        second->SubWindow()->setGeometry(30, 20, 300, 200);
        QVERIFY(h->Frame().Action(C::WindowTile)->isEnabled());
        h->Restart();
        QList<QMdiSubWindow*> windows = h->Frame().MdiArea()->subWindowList();
        QCOMPARE(windows.size(), 2);
        QCOMPARE(windows[0]->windowTitle(), QString("One"));
        QCOMPARE(windows[1]->windowTitle(), QString("Two"));
        QCOMPARE(windows[1]->geometry(), QRect(30, 20, 300, 200));
        QCOMPARE(h->Frame().WindowTables().Brief(1)->Brief.WebList.Count(), 2);
        QVERIFY(h->Frame().Action(C::WindowTile)->isEnabled());
        QVERIFY(h->Frame().Action(C::EntrySort)->isEnabled());
    }

    void aMinimisedBriefIsRecordedWithItsNormalPlacement() {
        std::string path = WriteBriefFile(h->PathOf("small.brf"), {{"x"}});
        TSkeinForm* form = h->Frame().OpenBriefFile(path);
        QVERIFY(form != nullptr);
        form->SubWindow()->setGeometry(40, 30, 320, 210);
        form->SubWindow()->showMinimized();
        QVERIFY(form->SubWindow()->isMinimized());
        h->Restart();
        Registry registry(Registry::DefaultFile());
        StartupValues values = ReadStartupValues(registry);
        QVERIFY(values.OpenBriefs.has_value());
        QCOMPARE(values.OpenBriefs->Briefs.size(), size_t(1));
        const WindowPlacement& kept = values.OpenBriefs->Briefs[0].Placement;
        QCOMPARE(kept.State, 1);
        QCOMPARE(QRect(kept.Left, kept.Top, kept.Width, kept.Height), QRect(40, 30, 320, 210));
        QMdiSubWindow* back = h->Frame().MdiArea()->subWindowList().value(0);
        QVERIFY(back != nullptr);
        QVERIFY(back->isMinimized());
        back->showNormal();
        QCOMPARE(back->geometry(), QRect(40, 30, 320, 210));
    }

    void theSameFileCannotBeOpenedTwice() {
        std::string path = WriteBriefFile(h->PathOf("once.brf"), {{"x"}});
        QVERIFY(h->Frame().OpenBriefFile(path) != nullptr);
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&OK"); });
        QVERIFY(h->Frame().OpenBriefFile(path) == nullptr);
        QCOMPARE(SeenModalCaptions().back(), QString("Brief already open"));
        QVERIFY(SeenModalTexts().back().contains(
            "This brief is already open. Gathra Light cannot open two copies of the same brief."));
        QCOMPARE(h->Frame().WindowTables().OpenBriefCount(), 1);
        QCOMPARE(h->Frame().MdiArea()->subWindowList().size(), 1);
    }

    void aBriefThatFailsToLoadClosesItsWindow() {
        WriteFileBytes(h->Dir() / "broken.brf", "this is not a brief organizer file at all");
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&OK"); });
        QVERIFY(h->Frame().OpenBriefFile(h->PathOf("broken.brf")) == nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(SeenModalCaptions().back(), QString("Brief Organizer File Loading Error"));
        QCOMPARE(h->Frame().MdiArea()->subWindowList().size(), 0);
        QCOMPARE(h->Frame().WindowTables().OpenBriefCount(), 0);
        QCOMPARE(h->Frame().WindowTables().WindowCount(), 0);
        QVERIFY(h->Frame().RecentActions().isEmpty());
        QVERIFY(!h->Frame().Action(C::FileClose)->isEnabled());
        // and the broken file is left as it was
        QCOMPARE(ReadFileBytes(h->Dir() / "broken.brf"),
                 std::string("this is not a brief organizer file at all"));
    }

    void fileDialogsAskWithTheirTitles() {
        std::string path = WriteBriefFile(h->PathOf("dlg.brf"), {{"x"}});
        h->FileAnswers.push_back(QString::fromStdString(path));
        h->Frame().OpenBrief();
        QCOMPARE(h->FileRequests.back().Title, QString("Open File"));
        QVERIFY(!h->FileRequests.back().Save);
        QCOMPARE(h->FileRequests.back().Filter,
                 QString("Brief Files (*.brf *.BRF);;All Files (*)"));
        QCOMPARE(h->FileRequests.back().HelpContext, 5);
        h->FileAnswers.push_back(QString::fromStdString(h->PathOf("copy.brf")));
        h->Frame().SaveBriefAs();
        QCOMPARE(h->FileRequests.back().Title, QString::fromStdString("Save " + path + " As"));
        QCOMPARE(h->FileRequests.back().Filter, QString("Brief Files (*.brf *.BRF)"));
        QCOMPARE(h->FileRequests.back().DefaultSuffix, QString("brf"));
        QCOMPARE(h->FileRequests.back().HelpContext, 7);
        QCOMPARE(h->Frame().CurrentForm()->windowTitle(), QString("Copy"));
        QVERIFY(std::filesystem::exists(h->PathOf("copy.brf")));
        h->Frame().NewBrief(); // cancelled: nothing happens
        QCOMPARE(h->FileRequests.back().Title, QString("Save As"));
        QCOMPARE(h->FileRequests.back().HelpContext, 4);
        QCOMPARE(h->Frame().WindowTables().OpenBriefCount(), 1);
    }

    // An installed program's briefs go to a visible folder in the user's documents; the dialogs
    // then start in the folder used last, across a restart, while it is there.
    void briefDialogsStartInTheDocumentsThenWhereTheUserWentLast() {
        TempDir home;
        TempDir program;
        struct RestoreEnvironment {
            QByteArray Home = qgetenv("HOME");
            ~RestoreEnvironment() {
                qunsetenv("GATHRA_PROGRAM_FOLDER");
                qputenv("HOME", Home);
            }
        } restore;
        qputenv("HOME", home.Path().string().c_str());
        qputenv("GATHRA_PROGRAM_FOLDER", program.Folder().c_str());
        std::filesystem::create_directories(home / "Documents");
        h->Restart();
        h->FileAnswers.push_back({});
        h->Frame().NewBrief();
        const std::string documents = (home / "Documents/Gathra Light/").string();
        QCOMPARE(h->FileRequests.back().Folder, QString::fromStdString(documents));
        QVERIFY(std::filesystem::is_directory(documents));

        const std::filesystem::path elsewhere = home / "Reading";
        std::filesystem::create_directories(elsewhere);
        h->FileAnswers.push_back(QString::fromStdString((elsewhere / "Mine").string()));
        QVERIFY(h->Frame().NewBrief() != nullptr);
        QVERIFY(std::filesystem::exists(elsewhere / "Mine.brf"));
        h->Frame().OpenBrief();
        QCOMPARE(h->FileRequests.back().Folder, QString::fromStdString(elsewhere.string()));
        h->Restart();
        h->Frame().SaveBriefAs();
        h->Frame().OpenBrief();
        QCOMPARE(h->FileRequests.back().Folder, QString::fromStdString(elsewhere.string()));
        // The brief stays where it is: reopened from there.
        QCOMPARE(h->Frame().WindowTables().OpenBriefCount(), 1);
        QCOMPARE(h->Frame().CurrentForm()->Brief.FileName, (elsewhere / "Mine.brf").string());
        std::filesystem::remove_all(elsewhere);
        h->Frame().OpenBrief();
        QCOMPARE(h->FileRequests.back().Folder, QString::fromStdString(documents));
    }

    void dialogCaptionsCarryNoApplicationSuffix() {
        QString before = QCoreApplication::applicationName();
        SetUpApplication();
        QCOMPARE(QCoreApplication::applicationName(), QString("Gathra Light"));
        // No display name of its own (the platform would append it to every caption, making
        // "Brief already open" read "Brief already open - Gathra Light"): it follows the name.
        QCoreApplication::setApplicationName("renamed");
        QCOMPARE(QGuiApplication::applicationDisplayName(), QString("renamed"));
        QCoreApplication::setApplicationName(before);
    }

    void platformFileDialogsShowTheFiltersAsNamed() {
        QFileDialog open;
        TMDIFrame::ConfigureFileDialog(open, {false,
                                              "Open File",
                                              "Brief Files (*.BRF);;All Files (*.*)",
                                              QString::fromStdString(h->Dir().Folder()),
                                              {},
                                              5});
        QCOMPARE(open.windowTitle(), QString("Open File"));
        QCOMPARE(open.nameFilters(), QStringList({"Brief Files (*.BRF)", "All Files (*.*)"}));
        QCOMPARE(open.fileMode(), QFileDialog::ExistingFile);
        QVERIFY(!open.testOption(QFileDialog::HideNameFilterDetails));
        // lower-case "news.brf" files are briefs too
        QVERIFY(!(open.filter() & QDir::CaseSensitive));

        QFileDialog save;
        TMDIFrame::ConfigureFileDialog(save, {true, "Save As", "Brief Files (*.BRF)",
                                              QString::fromStdString(h->Dir().Folder()), "BRF", 4});
        QCOMPARE(save.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(save.defaultSuffix(), QString("BRF"));
        // the one filter reads "Brief Files"; an existing file is replaced without a question
        QVERIFY(save.testOption(QFileDialog::HideNameFilterDetails));
        QVERIFY(save.testOption(QFileDialog::DontConfirmOverwrite));
        // Both open ready for typing the name.
        for (QFileDialog* dialog : {&open, &save}) {
            dialog->setOption(QFileDialog::DontUseNativeDialog, true);
            QString focused;
            OnNextModal([&focused](QDialog* d) {
                QTRY_VERIFY(d->focusWidget() != nullptr &&
                            d->focusWidget()->objectName() == "fileNameEdit");
                focused = d->focusWidget()->objectName();
                d->reject();
            });
            ExecAsFrontForm(*dialog);
            QCOMPARE(focused, QString("fileNameEdit"));
        }
    }

    void exitIsRefusedDuringARun() {
        ProgramRunFlags().RunActive = 1;
        // Refused with a word: a run is going, and how to stop it.
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&OK"); });
        QVERIFY(!h->Frame().close());
        QCOMPARE(SeenModalCaptions().back(), QString("Brief Running"));
        QVERIFY(SeenModalTexts().back().contains("Stop Brief"));
        QVERIFY(!h->Frame().Closing());
        ProgramRunFlags().RunActive = 0;
        QVERIFY(h->Frame().close());
    }

    void firstStartOpensTheSamplesAndTheTutorial() {
        Registry registry(Registry::DefaultFile());
        registry.WriteValue("Startup", "First Start", "Yes");
        registry.WriteValue("Browser", "Browser Path", "/usr/bin/true");
        h->Restart();
        QCOMPARE(h->Frame().WindowTables().OpenBriefCount(), 4);
        QStringList titles;
        for (QMdiSubWindow* sub : h->Frame().MdiArea()->subWindowList())
            titles << sub->windowTitle();
        QCOMPARE(titles, QStringList({"Leisure", "Sports", "News", "Gov"}));
        QWidget* help = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<THelpWindow*>(w) && w->isVisible()) help = w;
        QVERIFY(help != nullptr);
        QVERIFY(qobject_cast<THelpWindow*>(help)->Browser()->source().toString().endsWith(
            "topic48.html"));
        QCOMPARE(registry.ReadValue("Startup", "First Start").value_or(""), std::string("No"));
    }

    void messageDialogGrowsForLongText() {
        TErrorDlg shortOne("Short.", "Caption", false);
        int shortHeight = shortOne.height();
        QString longText;
        for (int i = 0; i < 30; ++i)
            longText += "A rather long line of words. ";
        TErrorDlg longOne(longText, "Caption", true);
        QVERIFY(longOne.height() > shortHeight);
        QLabel* label = longOne.TextLabel();
        QCOMPARE(longOne.OkButton()->y(), label->y() + label->height() + 5);
        QCOMPARE(longOne.height() - shortHeight,
                 longOne.OkButton()->y() - shortOne.OkButton()->y());
    }

    void questionClosedByItsCloseBoxAnswersNo() {
        OnNextModal([](QDialog* d) { CloseByCloseBox(d); });
        QCOMPARE(Ask("Continue?", "Question"), 1);
        QCOMPARE(FrontForm(), static_cast<QWidget*>(&h->Frame()));
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&Yes"); });
        QCOMPARE(Ask("Continue?", "Question"), 0);
    }

    void messageDialogRestoresTheFormThatWasInFront() {
        QDialog other(&h->Frame());
        SetFrontForm(&other);
        QWidget* seenWhileShown = nullptr;
        OnNextModal([&](QDialog* d) {
            seenWhileShown = FrontForm();
            QCOMPARE(d->windowTitle(), QString("Notice"));
            ClickButtonNamed(d, "&OK");
        });
        ShowMessage("Something happened.", "Notice", true);
        QVERIFY(seenWhileShown != nullptr && seenWhileShown != &other);
        QCOMPARE(FrontForm(), static_cast<QWidget*>(&other));
        SetFrontForm(&h->Frame());
    }

    void progressDialogRefusesToCloseAndConfirmsStop() {
        RecordingDialogs dialogs;
        RunFlags flags;
        SocketCanceller canceller;
        TBriefProcessing dialog(dialogs, flags, canceller);
        dialog.show();
        QVERIFY(!dialog.close());
        QVERIFY(dialog.isVisible());
        dialog.UpdateItem(ProgressLabel::CurrAddr,
                          "  127.0.0.1/a/very/long/address/that/runs/on/and/on/past/the/edge/of/"
                          "the/dialog/index.html\r\nsecond line");
        QString shown = dialog.Label(ProgressLabel::CurrAddr)->text();
        QVERIFY(shown.startsWith("127.0.0.1/a/very"));
        QVERIFY(shown.endsWith("..."));
        QVERIFY(!shown.contains("second"));
        dialog.UpdateProgress(140);
        QCOMPARE(dialog.ProgressBar()->value(), 100);

        flags.RunActive = 1;
        dialogs.Answers = {1};
        dialog.AbortButton()->click();
        QCOMPARE(int(flags.AbortFlag), 0);
        QVERIFY(dialog.AbortButton()->isEnabled());
        dialogs.Answers = {0};
        dialog.AbortButton()->click();
        QCOMPARE(dialogs.Log.back().Caption, std::string("Stop Brief?"));
        QCOMPARE(int(flags.AbortFlag), 1);
        QVERIFY(!dialog.AbortButton()->isEnabled() && !dialog.SkipButton()->isEnabled());
        QCOMPARE(int(flags.QuestionOpen), 0);
        dialog.hide();
    }

    void progressDialogFreedDuringItsQuestionGoesAfterTheClick() {
        // The run may free (or replace) the dialog while "Stop Brief?" is on screen: the question's
        // event loop runs the run's calls. The click must still end on a live dialog.
        struct RetiringDialogs : Dialogs {
            QPointer<TBriefProcessing> Target;
            RunFlags* Flags = nullptr;
            void ShowMessage(const std::string&, const std::string&, bool) override {}
            int Ask(const std::string&, const std::string&) override {
                Flags->RunActive = 0; // the run ended meanwhile
                Target->Retire();
                return 0;
            }
        } dialogs;
        RunFlags flags;
        flags.RunActive = 1;
        dialogs.Flags = &flags;
        SocketCanceller canceller;
        QPointer<TBriefProcessing> dialog = new TBriefProcessing(dialogs, flags, canceller);
        dialogs.Target = dialog;
        dialog->show();
        dialog->AbortButton()->click();
        QVERIFY(dialog != nullptr); // still there until the click has ended
        QVERIFY(!dialog->isVisible());
        QCOMPARE(int(flags.AbortFlag), 0); // Yes after the run's end sets no flag
        QCOMPARE(int(flags.QuestionOpen), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dialog == nullptr);

        // Outside a question it goes at once.
        QPointer<TBriefProcessing> idle = new TBriefProcessing(dialogs, flags, canceller);
        idle->Retire();
        QVERIFY(idle == nullptr);
    }

    void briefReadyYesOpensTheSummaryPage() {
        RecordingBrowser browser;
        TBtnRightDlg dialog("My Brief", "Brief0.htm", "/home/u/briefs/0/", browser);
        QCOMPARE(dialog.windowTitle(), QString("Brief Ready"));
        QVERIFY(dialog.YesButton()->isDefault());
        dialog.YesButton()->click();
        QCOMPARE(browser.Opened.size(), size_t(1));
        QCOMPARE(browser.Opened[0].Address, std::string("file:///home/u/briefs/0/Brief0.htm"));
        QVERIFY(browser.Opened[0].FileFlag);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
