// The main window's browser commands: Add Page from Browser, Show Brief and viewing archived
// briefs from Brief Organizer Setup.
#include "Brief/BriefFile.h"
#include "Gui/SkeinForm.h"
#include "Gui/ArchiveList.h"
#include "Gui/BriefOpts.h"
#include "support/RecordingDialogs.h"
#include "support/SessionFiles.h"
#include "Gui/support/UiTestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include <cstdlib>
#include <filesystem>

using namespace gathra;
using namespace gathra::test;

class BrowserCommandsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FrameHarness> h;
    std::unique_ptr<TempDir> home;
    QByteArray oldHome;

private slots:
    void init() {
        oldHome = qgetenv("HOME");
        home = std::make_unique<TempDir>();
        qputenv("HOME", home->Path().string().c_str());
        QGuiApplication::clipboard()->clear();
        h = std::make_unique<FrameHarness>();
    }
    void cleanup() {
        h.reset();
        qputenv("HOME", oldHome);
        home.reset();
        QCOMPARE(LeakedTopLevels(), 0);
    }

    void addPageFromBrowserTakesTheSessionThenTheClipboard() {
        const std::string path =
            WriteBriefFile(h->PathOf("Daily.brf"), {{"Older", false, "http://o/"}});
        TSkeinForm* form = h->Frame().OpenBriefFile(path);
        QVERIFY(form != nullptr);

        // Nothing anywhere: nothing added, the status bar says why.
        h->Frame().AddPageFromBrowser();
        QCOMPARE(form->Brief.WebList.Count(), 1);
        QCOMPARE(h->Frame().StatusLabel()->text(), QString(" No browser page found"));

        // A web address copied as text.
        QGuiApplication::clipboard()->setText("https://copied.example/page");
        h->Frame().AddPageFromBrowser();
        QCOMPARE(form->Brief.WebList.Count(), 2);
        QCOMPARE(form->Brief.WebList.Entry(0).Address, std::string("https://copied.example/page"));

        // A link copied with its title.
        auto* mime = new QMimeData;
        mime->setUrls({QUrl("http://titled.example/")});
        const QString titled = "http://titled.example/\nCaf\u00e9 \"Titles\", kept";
        mime->setData("text/x-moz-url",
                      QByteArray(reinterpret_cast<const char*>(titled.utf16()), titled.size() * 2));
        QGuiApplication::clipboard()->setMimeData(mime);
        h->Frame().AddPageFromBrowser();
        QCOMPARE(form->Brief.WebList.Entry(0).EntryName,
                 std::string("Caf\xC3\xA9 \"Titles\", kept"));

        // A browser session wins over the clipboard; the brief is saved at once. Its title is
        // the page's own and is kept whole.
        WriteFirefoxSession(
            home->Path(), "x.default",
            SessionJson("http://session.example/", "History of Netscape Navigator and Mozilla"));
        h->Frame().AddPageFromBrowser();
        QCOMPARE(form->Brief.WebList.Count(), 4);
        const TBrief saved = Reread(path);
        QCOMPARE(saved.WebList.Count(), 4);
        QCOMPARE(saved.WebList.Entry(0).Address, std::string("http://session.example/"));
        QCOMPARE(saved.WebList.Entry(0).EntryName,
                 std::string("History of Netscape Navigator and Mozilla"));
        QCOMPARE(saved.WebList.Entry(3).EntryName, std::string("Older"));
    }

    void archivedBriefsOpenInTheBrowser() {
        std::string path = WriteBriefFile(h->PathOf("Daily.brf"), {{"A", false, "http://a/"}});
        TBrief b = Reread(path);
        b.ArchivePaths = {"0\\Brief0.htm", "1\\Brief1.htm"};
        b.ArchiveTitles = {"12/7/98 9:05:03PM", "12/8/98 10:00:00AM"};
        RecordingDialogs dialogs;
        QVERIFY(SaveBriefs2(b, dialogs));
        std::filesystem::create_directories(h->Dir() / "my runs");
        TSkeinForm* form = h->Frame().OpenBriefFile(path);
        QVERIFY(form != nullptr);

        // Show Brief: only when the newest run's start page is there; else it says so.
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&OK"); });
        h->Frame().ShowBrief();
        QCOMPARE(SeenModalCaptions().back(), QString("Brief Not Found"));
        QCOMPARE(h->BrowserCalls.Opened.size(), size_t(0));
        std::filesystem::create_directories(h->Dir() / "1");
        WriteFileBytes(h->Dir() / "1" / "Brief1.htm", "s");
        h->Frame().ShowBrief();
        QCOMPARE(h->BrowserCalls.Opened.size(), size_t(1));
        QCOMPARE(h->BrowserCalls.Opened[0].Address, "file://" + h->Dir().Folder() + "1/Brief1.htm");
        QVERIFY(h->BrowserCalls.Opened[0].FileFlag);

        // View Brief on the second row: the older run.
        OnNextModal([](QDialog* d) {
            auto* setup = qobject_cast<TBriefOpts*>(d);
            setup->Pages()->setCurrentIndex(1);
            setup->ArchiveList()->setCurrentRow(1);
            setup->findChild<QPushButton*>("ViewBrief")->click();
        });
        h->Frame().BriefSetup();
        QCOMPARE(h->BrowserCalls.Opened.size(), size_t(2));
        QCOMPARE(h->BrowserCalls.Opened[1].Address, "file://" + h->Dir().Folder() + "0/Brief0.htm");
    }
};

QTEST_MAIN(BrowserCommandsTest)
#include "BrowserCommandsTest.moc"
