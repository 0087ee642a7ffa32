#include "Gui/ArchiveList.h"
#include "Gui/BriefOpts.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"
#include "Gui/support/WindowLeakCheck.h"

#include <QHeaderView>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <filesystem>

using namespace gathra;

namespace {

TBrief Sample(int archived) {
    TBrief b;
    b.BriefName = "Morning Papers";
    b.Comments = std::string("line one\r\nline two");
    for (int i = 1; i <= archived; ++i) {
        b.ArchivePaths.push_back(std::to_string(i) + "\\Brief" + std::to_string(i) + ".htm");
        b.ArchiveTitles.push_back("12/" + std::to_string(i) + "/98 9:05:03PM");
    }
    return b;
}

template <class W> W* Find(QWidget* d, const char* name) {
    W* w = d->findChild<W*>(name);
    if (!w) qFatal("no widget %s", name);
    return w;
}

// Runs `act` on the dialog once it is shown modally.
void WhenShown(std::function<void(TBriefOpts*)> act) {
    QTimer::singleShot(0, [act] {
        auto* d = qobject_cast<TBriefOpts*>(QApplication::activeModalWidget());
        if (!d) qFatal("no modal setup dialog");
        d->OnHelp = [](int) {};
        act(d);
    });
}

} // namespace

class BriefSetupDialogTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QVERIFY2(test::LeakedTopLevelWindows().isEmpty(), "a window leaked"); }

    // At any font size the rows hold their text and the header's "Time" is not cut; the
    // columns spread out with the font's digits.
    void archiveRowsAndHeaderFitTheFont() {
        for (int pixels : {11, 13, 16}) {
            TBrief b = Sample(2);
            TBriefOpts d(b);
            QFont font = d.font();
            font.setPixelSize(pixels);
            d.setFont(font);
            d.Pages()->setCurrentIndex(1);
            d.show();
            TArchiveList* list = d.ArchiveList();
            list->SetTitles({"12/27/98 12:05:03PM"});
            const QFontMetrics metrics(list->font());
            QVERIFY2(list->sizeHintForRow(0) >= metrics.height(),
                     qPrintable(QString::number(pixels)));
            QVERIFY(list->sizeHintForRow(0) >= TArchiveList::RowHeight);
            QHeaderView* header = d.ArchiveHeader();
            const QFontMetrics headerMetrics(header->font());
            QVERIFY2(header->sectionSize(1) >= headerMetrics.horizontalAdvance("Time") + 8,
                     qPrintable(QString::number(pixels)));
            QCOMPARE(header->sectionSize(0) + header->sectionSize(1), header->width());
            // The last piece (AM/PM) ends inside the row.
            const double scale = ArchiveColumnScale(list->font());
            QVERIFY2(180 * scale + metrics.horizontalAdvance("PM") <= list->viewport()->width(),
                     qPrintable(QString("%1 px: scale %2, width %3")
                                    .arg(pixels)
                                    .arg(scale)
                                    .arg(list->viewport()->width())));
            if (pixels >= 16) QVERIFY(scale > 1.0);
        }
    }

    void showsTheBriefAndItsArchiveNewestFirst() {
        TBrief b = Sample(3);
        TBriefOpts d(b);
        QCOMPARE(d.windowTitle(), QString("Brief Organizer Setup"));
        QCOMPARE(d.Pages()->tabText(1), QString("Archived Briefs"));
        QCOMPARE(Find<QLineEdit>(&d, "BriefName")->text(), QString("Morning Papers"));
        QCOMPARE(Find<QLineEdit>(&d, "BriefName")->maxLength(), 60);
        QCOMPARE(Find<QPlainTextEdit>(&d, "BriefComments")->toPlainText(),
                 QString("line one\nline two"));
        QCOMPARE(d.ArchiveList()->count(), 3);
        QCOMPARE(d.ArchiveList()->TitleOf(0), std::string("12/3/98 9:05:03PM"));
        QCOMPARE(d.ArchiveList()->item(0)->text(), QString("Dec-03-98 9:05:03 PM"));
        QCOMPARE(d.ArchiveList()->TitleOf(2), std::string("12/1/98 9:05:03PM"));
        QCOMPARE(d.ArchiveList()->sizeHintForRow(0), d.ArchiveList()->RowHeightInFont());
        QCOMPARE(d.ArchiveHeader()->sectionSize(0),
                 int(std::lround(121 * ArchiveColumnScale(d.ArchiveHeader()->font()))));
        QCOMPARE(d.ArchiveHeader()->model()->headerData(1, Qt::Horizontal).toString(),
                 QString("Time"));
        QVERIFY(Find<QPushButton>(&d, "ViewBrief")->isEnabled());
        QVERIFY(!Find<QPushButton>(&d, "DeleteBrief")->isEnabled());
        // A click on a row allows deleting it.
        QTest::mouseClick(d.ArchiveList()->viewport(), Qt::LeftButton, {},
                          d.ArchiveList()->visualItemRect(d.ArchiveList()->item(1)).center());
        QCOMPARE(d.ArchiveList()->currentRow(), 1);
        QVERIFY(Find<QPushButton>(&d, "DeleteBrief")->isEnabled());
    }

    void emptyArchiveDisablesTheList() {
        TBrief b = Sample(0);
        TBriefOpts d(b);
        QVERIFY(!d.ArchiveList()->isEnabled());
        QVERIFY(!Find<QPushButton>(&d, "ViewBrief")->isEnabled());
        d.Pages()->setCurrentIndex(1);
        QVERIFY(Find<QPushButton>(&d, "ViewBriefClose")->isDefault());
    }

    void okStoresNameAndComments() {
        TBrief b = Sample(1);
        WhenShown([](TBriefOpts* d) {
            auto* name = d->findChild<QLineEdit*>("BriefName");
            name->selectAll();
            QTest::keyClicks(name, "Evening");
            auto* memo = d->findChild<QPlainTextEdit*>("BriefComments");
            memo->setPlainText("new\nnotes");
            d->findChild<QPushButton*>("ApplyButton")->click();
        });
        QVERIFY(RunBriefSetup(b, nullptr));
        QCOMPARE(b.BriefName, std::string("Evening"));
        QCOMPARE(*b.Comments, std::string("new\r\nnotes"));
    }

    void closeKeepsEditsAndCancelDiscardsThem() {
        TBrief b = Sample(2);
        WhenShown([](TBriefOpts* d) {
            QTest::keyClicks(d->findChild<QLineEdit*>("BriefName"), "!");
            d->findChild<QPushButton*>("ViewBriefClose")->click();
        });
        QVERIFY(RunBriefSetup(b, nullptr));
        QCOMPARE(b.BriefName, std::string("Morning Papers!"));
        QCOMPARE(*b.Comments, std::string("line one\r\nline two")); // the memo was not edited

        WhenShown([](TBriefOpts* d) {
            QTest::keyClicks(d->findChild<QLineEdit*>("BriefName"), "?");
            d->findChild<QPushButton*>("CancelButton")->click();
        });
        QVERIFY(!RunBriefSetup(b, nullptr));
        QCOMPARE(b.BriefName, std::string("Morning Papers!"));
    }

    void olderWindows1252TextIsShownAndKeptUntilEdited() {
        TBrief b = Sample(0);
        b.BriefName = "Caf\xE9 News";
        b.Comments = std::string("na\xEFve");
        WhenShown([](TBriefOpts* d) {
            QCOMPARE(d->findChild<QLineEdit*>("BriefName")->text(),
                     QString::fromUtf8("Caf\xC3\xA9 News"));
            QCOMPARE(d->findChild<QPlainTextEdit*>("BriefComments")->toPlainText(),
                     QString::fromUtf8("na\xC3\xAFve"));
            d->findChild<QPushButton*>("ApplyButton")->click();
        });
        QVERIFY(RunBriefSetup(b, nullptr));
        QCOMPARE(b.BriefName, std::string("Caf\xE9 News"));
        QCOMPARE(*b.Comments, std::string("na\xEFve"));
    }

    void nameStopsAtSixtyCharacters() {
        TBrief b = Sample(0);
        b.BriefName.clear();
        WhenShown([](TBriefOpts* d) {
            QTest::keyClicks(d->findChild<QLineEdit*>("BriefName"), QString(70, 'n'));
            d->findChild<QPushButton*>("ApplyButton")->click();
        });
        QVERIFY(RunBriefSetup(b, nullptr));
        QCOMPARE(b.BriefName, std::string(60, 'n'));
    }

    void commentsStopAtWhatTheBriefFileStores() {
        TBrief b = Sample(0);
        b.Comments.reset();
        WhenShown([](TBriefOpts* d) {
            auto* memo = d->findChild<QPlainTextEdit*>("BriefComments");
            // 10,923 lines of one letter take 32,767 bytes with CR LF between them.
            QString fits;
            for (int i = 0; i < 10923; ++i)
                fits += i ? "\na" : "a";
            memo->insertPlainText(fits);
            memo->insertPlainText("\n"); // two more stored bytes: refused, and the user told
            d->findChild<QPushButton*>("ApplyButton")->click();
        });
        test::RecordingDialogs dialogs;
        QVERIFY(RunBriefSetup(b, nullptr, {}, &dialogs));
        QVERIFY(b.Comments.has_value());
        QCOMPARE(b.Comments->size(), size_t(32767));
        QCOMPARE(dialogs.Log.size(), size_t(1));
        QCOMPARE(dialogs.Log[0].Caption, std::string("Comments Too Long"));
        QCOMPARE(dialogs.Log[0].Text,
                 std::string("The comments can hold at most 32767 bytes, and this would have "
                             "made them 32769 bytes long. The text was not added."));
    }

    void whileGeneratingOnlyViewingIsPossible() {
        {
            TBrief running = Sample(1);
            running.Generating = 1;
            TBriefOpts d(running);
            QTest::mouseClick(d.ArchiveList()->viewport(), Qt::LeftButton, {},
                              d.ArchiveList()->visualItemRect(d.ArchiveList()->item(0)).center());
            QVERIFY(!Find<QPushButton>(&d, "DeleteBrief")->isEnabled());
            d.Pages()->setCurrentIndex(1);
            QVERIFY(Find<QPushButton>(&d, "ViewBrief")->isDefault());
        }
        TBrief b = Sample(2);
        b.Generating = 1;
        int viewed = -1;
        WhenShown([](TBriefOpts* d) {
            QVERIFY(!d->findChild<QLineEdit*>("BriefName")->isEnabled());
            QVERIFY(!d->findChild<QPlainTextEdit*>("BriefComments")->isEnabled());
            QVERIFY(!d->findChild<QLabel*>("BriefNameLabel")->isEnabled());
            QVERIFY(d->ArchiveList()->isEnabled());
            d->ArchiveList()->setCurrentRow(1);
            QVERIFY(!d->findChild<QPushButton*>("DeleteBrief")->isEnabled());
            d->findChild<QPushButton*>("ViewBrief")->click();
        });
        QVERIFY(!RunBriefSetup(b, nullptr, [&](int index) { viewed = index; }));
        QCOMPARE(viewed, 0); // the second row is the older run
        QCOMPARE(b.BriefName, std::string("Morning Papers"));
    }

    void deleteWalksTheCatalogueAndSelectsTheNextRow() {
        test::TempDir dir;
        TBrief b = Sample(3);
        b.BriefFolder = dir.Folder();
        // Run 2 on disk: its catalogue, summary and one page.
        std::filesystem::create_directory(dir / "2");
        test::WriteFileBytes(dir / "2" / "Brief2.htm", "s");
        test::WriteFileBytes(dir / "2" / "GA0.htm", "p");
        test::WriteFileBytes(dir / "2" / "Brief2.cat",
                             std::string("\0012\012Brief2.htm\007GA0.htm\0", 22));
        test::RecordingDialogs questions;
        TBriefOpts d(b);
        d.Questions = &questions;
        d.OnHelp = [](int) {};
        d.Pages()->setCurrentIndex(1);
        auto* del = Find<QPushButton>(&d, "DeleteBrief");
        QTest::mouseClick(d.ArchiveList()->viewport(), Qt::LeftButton, {},
                          d.ArchiveList()->visualItemRect(d.ArchiveList()->item(1)).center());
        // No: nothing happens.
        questions.Answers = {1};
        del->click();
        QCOMPARE(questions.Log.size(), size_t(1));
        QCOMPARE(questions.Log[0].Text,
                 std::string("Are you sure you want to delete the archived brief of "
                             "Dec-02-98, 9:05:03 PM?"));
        QCOMPARE(questions.Log[0].Caption, std::string("Delete Archived Brief?"));
        QCOMPARE(d.ArchiveList()->count(), 3);
        QVERIFY(std::filesystem::exists(dir / "2" / "GA0.htm"));
        // Yes: the files, the folder and the middle row go; the row below takes its place.
        questions.Answers = {0};
        del->click();
        QVERIFY(!std::filesystem::exists(dir / "2"));
        QCOMPARE(b.ArchivePaths, (std::vector<std::string>{"1\\Brief1.htm", "3\\Brief3.htm"}));
        QCOMPARE(d.ArchiveList()->count(), 2);
        QCOMPARE(d.ArchiveList()->currentRow(), 1);
        QCOMPARE(d.ArchiveList()->TitleOf(1), std::string("12/1/98 9:05:03PM"));
        QVERIFY(del->isEnabled());
        QVERIFY(Find<QPushButton>(&d, "ViewBriefClose")->isEnabled());
        QVERIFY(Find<QPushButton>(&d, "ViewBriefHelp")->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // The last row: the new last row is selected; then the only one: all off.
        questions.Answers = {0, 0};
        del->click();
        QCOMPARE(d.ArchiveList()->count(), 1);
        QCOMPARE(d.ArchiveList()->currentRow(), 0);
        del->click();
        QCOMPARE(d.ArchiveList()->count(), 0);
        QVERIFY(b.ArchivePaths.empty() && b.ArchiveTitles.empty());
        QVERIFY(!d.ArchiveList()->isEnabled());
        QVERIFY(!Find<QPushButton>(&d, "ViewBrief")->isEnabled());
        QVERIFY(!del->isEnabled());
        QVERIFY(Find<QPushButton>(&d, "ViewBriefClose")->isDefault());
        QVERIFY(!Find<QPushButton>(&d, "ViewBrief")->isDefault());
    }

    void deletedRunsAreSavedOnlyWhenTheDialogClosesWithOk() {
        test::TempDir dir;
        for (bool ok : {true, false}) {
            TBrief b = Sample(2);
            b.BriefFolder = dir.Folder();
            test::RecordingDialogs questions;
            questions.Answers = {0};
            WhenShown([&questions, ok](TBriefOpts* d) {
                d->Questions = &questions;
                d->Pages()->setCurrentIndex(1);
                d->ArchiveList()->setCurrentRow(1); // the keyboard chooses a row too
                d->DeleteSelected();
                d->findChild<QPushButton*>(ok ? "ViewBriefClose" : "CancelButton")->click();
            });
            QCOMPARE(RunBriefSetup(b, nullptr), ok);
            QCOMPARE(b.ArchivePaths.size(), size_t(1)); // removed at once either way
            QCOMPARE(b.ArchivePaths[0], std::string("2\\Brief2.htm"));
        }
    }

    void helpButtonsOpenTheirTopics() {
        TBrief b = Sample(1);
        TBriefOpts d(b);
        std::vector<int> topics;
        d.OnHelp = [&](int t) { topics.push_back(t); };
        Find<QPushButton>(&d, "HelpButton")->click();
        Find<QPushButton>(&d, "ViewBriefHelp")->click();
        QCOMPARE(topics, (std::vector<int>{11, 12}));
    }
};

QTEST_MAIN(BriefSetupDialogTest)
#include "BriefSetupDialogTest.moc"
