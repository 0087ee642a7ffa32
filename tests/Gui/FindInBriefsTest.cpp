// Find in Briefs: the search window over the stored pages of the open briefs.
#include "Gui/FindInBriefs.h"
#include "Brief/BriefFile.h"
#include "Gui/SkeinForm.h"
#include "Gui/support/UiTestSupport.h"
#include "Search/BriefSearch.h"
#include "support/RecordingDialogs.h"
#include "support/StoredRuns.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>

using namespace gathra;
using namespace gathra::test;

namespace {

// A brief of one entry with one stored run of `pages`, indexed.
std::string BriefWithRun(FrameHarness& h, const std::string& name, int run,
                         const std::vector<StoredPageSpec>& pages) {
    const std::string path = WriteBriefFile(h.PathOf(name), {{"News", false, "http://site/"}});
    TBrief b;
    b.FileName = path;
    RecordingDialogs dialogs;
    if (!ReadBriefs2(b, dialogs)) qFatal("brief not readable");
    b.ArchivePaths = {WriteStoredRun(b.BriefFolder, run, "News", pages)};
    b.ArchiveTitles = {"12/7/98 9:05:03PM"};
    if (!SaveBriefs2(b, dialogs)) qFatal("brief not saved");
    return path;
}

QStringList Column(QTreeWidget* tree, int column) {
    QStringList texts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        texts << tree->topLevelItem(i)->text(column);
    return texts;
}

} // namespace

class FindInBriefsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FrameHarness> h;

private slots:
    void init() { h = std::make_unique<FrameHarness>(); }
    void cleanup() {
        h.reset();
        QCOMPARE(LeakedTopLevels(), 0);
    }

    void typingFindsOpeningShowsRebuildRepairs() {
        const std::string daily = BriefWithRun(
            *h, "Daily.brf", 0,
            {{"site/", "<title>River News</title>One flood in the valley."},
             {"site/flood.htm", "<title>Flood</title>flood flood flood, a flood at last"},
             {"site/cafe.htm", "<title>Caf\xE9</title>Cr\xE8me"}});
        const std::string weekly = BriefWithRun(
            *h, "Weekly.brf", 1, {{"w/", "<title>Weekly</title>The weekly flood report"}});
        for (const std::string& path : {daily, weekly}) {
            TBrief b;
            b.FileName = path;
            RecordingDialogs dialogs;
            QVERIFY(ReadBriefs2(b, dialogs));
            QVERIFY(ReindexBrief(b).Ok);
        }
        QVERIFY(h->Frame().OpenBriefFile(weekly) != nullptr);
        QVERIFY(h->Frame().OpenBriefFile(daily) != nullptr);

        // Ctrl+Shift+F opens the window (one of it).
        QAction* command = nullptr;
        for (QAction* action : h->Frame().menuBar()->findChildren<QAction*>())
            if (action->text() == "Find in &Briefs...") command = action;
        QVERIFY(command != nullptr);
        QCOMPARE(command->shortcut(), QKeySequence("Ctrl+Shift+F"));
        command->trigger();
        TFindInBriefs* window = h->Frame().FindWindow();
        QVERIFY(window != nullptr);
        command->trigger();
        QCOMPARE(h->Frame().FindWindow(), window);

        // Results come as the user types, best first, with entry, run and marked words.
        QTest::keyClicks(window->QueryField(), "flood");
        QTRY_COMPARE(window->Results()->topLevelItemCount(), 2);
        QCOMPARE(Column(window->Results(), 0), QStringList({"Flood", "River News"}));
        QCOMPARE(Column(window->Results(), 1), QStringList({"News", "News"}));
        QCOMPARE(window->Results()->topLevelItem(0)->text(2), QString("Dec-07-98 9:05:03 PM"));
        QVERIFY(window->Results()->topLevelItem(1)->text(3).contains("One [flood] in"));
        window->QueryField()->clear();
        QTest::keyClicks(window->QueryField(), "CREME");
        QTRY_COMPARE(Column(window->Results(), 0), QStringList({"Caf\u00e9"}));

        // Enter opens the selected hit's stored file through the browser.
        window->QueryField()->setText("flood");
        window->SearchNow();
        QTest::keyClick(window->QueryField(), Qt::Key_Return);
        QCOMPARE(h->BrowserCalls.Opened.size(), size_t(1));
        QCOMPARE(h->BrowserCalls.Opened[0].Address, "file://" + h->Dir().Folder() + "0/GA1.htm");
        QVERIFY(h->BrowserCalls.Opened[0].FileFlag);
        // A double click opens the row clicked.
        QTreeWidget* results = window->Results();
        const QRect second = results->visualItemRect(results->topLevelItem(1));
        QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, second.center());
        QTest::mouseDClick(results->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(h->BrowserCalls.Opened.size(), size_t(2));
        QCOMPARE(h->BrowserCalls.Opened[1].Address, "file://" + h->Dir().Folder() + "0/GA0.htm");

        // All open briefs.
        window->Scope()->setCurrentIndex(1);
        QCOMPARE(Column(window->Results(), 0).size(), 3);
        QVERIFY(Column(window->Results(), 0).contains("Weekly"));

        // A damaged index is said in the window; Rebuild Index repairs it.
        const std::string index = TSearchIndex::PathFor(daily);
        std::filesystem::resize_file(index, std::filesystem::file_size(index) / 2);
        window->Scope()->setCurrentIndex(0);
        QVERIFY(window->StatusLine()->text().contains("damaged"));
        QCOMPARE(window->Results()->topLevelItemCount(), 0);
        window->RebuildIndexes();
        QCOMPARE(window->Results()->topLevelItemCount(), 2);
        QVERIFY(window->StatusLine()->text().contains("3 page"));
        window->close();
    }
};

QTEST_MAIN(FindInBriefsTest)
#include "FindInBriefsTest.moc"
