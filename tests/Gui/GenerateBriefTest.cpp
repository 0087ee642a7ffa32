// A whole Generate Brief from the desktop program against the loopback test server.
#include "Brief/BriefFile.h"
#include "Gui/BriefProcessing.h"
#include "Gui/GuiRunHost.h"
#include "Gui/SkeinForm.h"
#include "Gui/support/UiTestSupport.h"
#include "Platform/Dialogs.h"
#include "support/TestHttpServer.h"

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

using namespace gathra;
using namespace gathra::test;

class GenerateBriefTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FrameHarness> h;

private slots:
    void init() { h = std::make_unique<FrameHarness>(); }
    void cleanup() {
        h.reset();
        QCOMPARE(LeakedTopLevels(), 0);
    }

    void generateBriefEndsInBriefReady() {
        TestHttpServer server;
        TestResponse page =
            TestResponse::Html("<html><head><title>Home</title></head><body><h1>Hello</h1>"
                               "<a href=\"/next.html\">next</a></body></html>");
        server.Serve("/", page);
        server.Serve("/next.html", TestResponse::Html("<html><body>Next</body></html>"));
        std::string path = WriteBriefFile(h->PathOf("run.brf"),
                                          {{"Local page", false, server.Url("/")}}, "Run Brief");
        TSkeinForm* form = h->Frame().OpenBriefFile(path);
        QVERIFY(form != nullptr);
        form->Brief.WebList.Entry(0).SpiderDepth = 2;

        // Every step of the run, as the main window carries it out.
        bool sawProgress = false, sawLocked = false;
        QString sawBriefName;
        h->Frame().RunHostPort()->SetAfterEachCall([&] {
            if (TBriefProcessing* p = h->Frame().Progress(); p && p->isVisible()) {
                sawProgress = true;
                sawBriefName = p->Label(ProgressLabel::BriefName)->text();
            }
            if (form->Generating())
                sawLocked =
                    sawLocked || !h->Frame().Button(Command::GenerateBriefsButton)->isEnabled();
        });
        bool readyAnswered = false;
        OnNextModal([&](QDialog* d) {
            readyAnswered = d->windowTitle() == "Brief Ready";
            // The run is still in progress while the question is shown: exit is refused, with a
            // word on how to stop the run.
            OnNextModal([](QDialog* said) { ClickButtonNamed(said, "&OK"); });
            QVERIFY(!h->Frame().close());
            QCOMPARE(SeenModalCaptions().back(), QString("Brief Running"));
            ClickButtonNamed(d, "&Yes");
        });
        h->Frame().GenerateBrief();
        QVERIFY(h->Frame().RunInProgress());
        QTRY_VERIFY_WITH_TIMEOUT(!h->Frame().RunInProgress(), 30000);
        h->Frame().RunHostPort()->SetAfterEachCall({});

        QVERIFY(readyAnswered);
        QVERIFY(sawProgress);
        QCOMPARE(sawBriefName, QString("Run Brief"));
        QVERIFY(sawLocked);
        QVERIFY(server.RequestCount() >= 2);
        QCOMPARE(form->Brief.ArchivePaths.size(), size_t(1));
        QCOMPARE(int(form->Brief.Generating), 0);
        QVERIFY(h->Frame().Progress() == nullptr);
        QVERIFY(h->Frame().Button(Command::GenerateBriefsButton)->isEnabled());
        QCOMPARE(h->Frame().StatusLabel()->text(), QString(" Gathra Light"));

        // Yes opened the summary page, which exists; Show Brief opens the same page.
        QCOMPARE(h->BrowserCalls.Opened.size(), size_t(1));
        std::string address = h->BrowserCalls.Opened[0].Address;
        QVERIFY(address.rfind("file:///", 0) == 0);
        QVERIFY(std::filesystem::exists(address.substr(7)));
        h->Frame().ShowBrief();
        QCOMPARE(h->BrowserCalls.Opened.size(), size_t(2));
        QCOMPARE(h->BrowserCalls.Opened[1].Address, address);

        // The archive entry is in the files on disk.
        TBrief saved;
        saved.FileName = path;
        SilentDialogs silent;
        QVERIFY(ReadBriefs2(saved, silent));
        QCOMPARE(saved.ArchivePaths.size(), size_t(1));
    }

    void stopBriefEndsTheRunAndStillRecordsIt() {
        TestHttpServer server;
        TestResponse slow = TestResponse::Html("<html><body>slow</body></html>");
        // Far longer than a loaded machine needs to answer the question: the stop must land while
        // the first entry is still being fetched (it ends that fetch).
        slow.DelayMs = 30000;
        server.SetDefault(slow);
        std::string path =
            WriteBriefFile(h->PathOf("stop.brf"), {{"first", false, server.Url("/1")},
                                                   {"second", false, server.Url("/2")}});
        TSkeinForm* form = h->Frame().OpenBriefFile(path);
        QVERIFY(form != nullptr);
        h->Frame().GenerateBrief();
        QTRY_VERIFY_WITH_TIMEOUT(h->Frame().Progress() && h->Frame().Progress()->isVisible(),
                                 10000);
        TBriefProcessing* progress = h->Frame().Progress();
        QVERIFY(!progress->close()); // its close box does nothing
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&Yes"); });
        progress->AbortButton()->click();
        QCOMPARE(SeenModalCaptions().back(), QString("Stop Brief?"));
        if (h->Frame().Progress() == progress) { // the run may already be closing it
            QVERIFY(!progress->AbortButton()->isEnabled());
            QVERIFY(!progress->SkipButton()->isEnabled());
        }
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&No"); }, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!h->Frame().RunInProgress(), 30000);
        QCOMPARE(SeenModalCaptions().back(), QString("Brief Ready"));
        QVERIFY(h->BrowserCalls.Opened.empty()); // No opens nothing
        QCOMPARE(form->Brief.ArchivePaths.size(), size_t(1));
        QVERIFY(server.RequestCount() <= 1); // the second entry was never fetched
    }

    void skipEntryPutsUpAFreshProgressDialog() {
        TestHttpServer server;
        TestResponse slow = TestResponse::Html("<html><body>slow</body></html>");
        // Far longer than a loaded machine needs to answer the question: the skip must land while
        // the first entry is still being fetched (it ends that fetch).
        slow.DelayMs = 30000;
        server.Serve("/1", slow);
        server.Serve("/2", TestResponse::Html("<html><body>second</body></html>"));
        std::string path =
            WriteBriefFile(h->PathOf("skip.brf"), {{"first", false, server.Url("/1")},
                                                   {"second", false, server.Url("/2")}});
        QVERIFY(h->Frame().OpenBriefFile(path) != nullptr);
        h->Frame().GenerateBrief();
        QTRY_VERIFY_WITH_TIMEOUT(h->Frame().Progress() && h->Frame().Progress()->isVisible(),
                                 10000);
        // The skip is meant for the first entry's fetch: on a loaded machine the dialog can be up
        // before the entry has begun, and a skip asked for before an entry begins is cleared by
        // the entry's start.
        QTRY_VERIFY_WITH_TIMEOUT(!server.Targets().empty(), 10000);
        QPointer<TBriefProcessing> first = h->Frame().Progress();
        // The fresh dialog may even reuse the old one's memory once that is gone: another
        // address, or the same after the old one's end, is a fresh dialog.
        bool sawFresh = false;
        h->Frame().RunHostPort()->SetAfterEachCall([&] {
            TBriefProcessing* now = h->Frame().Progress();
            if (now != nullptr && now->isVisible() && (first.isNull() || now != first.data()))
                sawFresh = true;
        });
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&Yes"); });
        first->SkipButton()->click();
        QCOMPARE(SeenModalCaptions().back(), QString("Skip Entry?"));
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&No"); }, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!h->Frame().RunInProgress(), 30000);
        h->Frame().RunHostPort()->SetAfterEachCall({});
        QCOMPARE(SeenModalCaptions().back(), QString("Brief Ready"));
        QVERIFY(first.isNull()); // the skipped entry's dialog is gone
        QVERIFY(sawFresh);
        QVERIFY(server.Targets().size() >= 2); // the run went on with the second entry
    }

    void aFullDiskStopsTheRunWithDiskError() {
        TestHttpServer server;
        server.SetDefault(TestResponse::Html("<html><body>page</body></html>"));
        std::string path =
            WriteBriefFile(h->PathOf("full.brf"), {{"page", false, server.Url("/")}});
        TSkeinForm* form = h->Frame().OpenBriefFile(path);
        QVERIFY(form != nullptr);
        h->Frame().Settings().DiskBufferBytes = std::int64_t(1) << 60; // more than any disk
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&OK"); }, 20000);
        h->Frame().GenerateBrief();
        QTRY_VERIFY_WITH_TIMEOUT(!h->Frame().RunInProgress(), 30000);
        QCOMPARE(SeenModalCaptions().back(), QString("Disk Error"));
        // The buffer, not the disk, stopped the run: the setting and both sizes are named.
        const QString said = SeenModalTexts().back();
        QVERIFY2(said.contains("the disk has ") &&
                     said.contains(" MB free, and the \"Minimum disk space\" setting (Edit, "
                                   "Preferences) keeps 1,099,511,627,776 MB free."),
                 qPrintable(said));
        QVERIFY(form->Brief.ArchivePaths.empty());
        QCOMPARE(server.RequestCount(), size_t(0));
        QVERIFY(h->Frame().Button(Command::GenerateBriefsButton)->isEnabled());
    }
};

QTEST_MAIN(GenerateBriefTest)
#include "GenerateBriefTest.moc"
