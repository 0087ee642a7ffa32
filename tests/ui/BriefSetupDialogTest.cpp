#include "Shell/ui/BriefOpts.h"
#include "ui/support/WindowLeakCheck.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

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

    void showsTheBriefAndItsArchiveNewestFirst() {
        TBrief b = Sample(3);
        TBriefOpts d(b);
        QCOMPARE(d.windowTitle(), QString("Brief Organizer Setup"));
        QCOMPARE(d.Pages()->tabText(1), QString("Archived Briefs"));
        QCOMPARE(Find<QLineEdit>(&d, "BriefName")->text(), QString("Morning Papers"));
        QCOMPARE(Find<QLineEdit>(&d, "BriefName")->maxLength(), 60);
        QCOMPARE(Find<QPlainTextEdit>(&d, "BriefComments")->toPlainText(),
                 QString("line one\nline two"));
        QCOMPARE(d.ArchiveList()->topLevelItemCount(), 3);
        QCOMPARE(d.ArchiveList()->topLevelItem(0)->text(0), QString("12/3/98"));
        QCOMPARE(d.ArchiveList()->topLevelItem(0)->text(1), QString("9:05:03PM"));
        QVERIFY(Find<QPushButton>(&d, "ViewBrief")->isEnabled());
        QVERIFY(!Find<QPushButton>(&d, "DeleteBrief")->isEnabled());
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
            memo->insertPlainText("\n"); // two more stored bytes: refused
            d->findChild<QPushButton*>("ApplyButton")->click();
        });
        QVERIFY(RunBriefSetup(b, nullptr));
        QVERIFY(b.Comments.has_value());
        QCOMPARE(b.Comments->size(), size_t(32767));
    }

    void whileGeneratingOnlyViewingIsPossible() {
        TBrief b = Sample(2);
        b.Generating = 1;
        int viewed = -1;
        WhenShown([](TBriefOpts* d) {
            QVERIFY(!d->findChild<QLineEdit*>("BriefName")->isEnabled());
            QVERIFY(!d->findChild<QPlainTextEdit*>("BriefComments")->isEnabled());
            QVERIFY(!d->findChild<QLabel*>("BriefNameLabel")->isEnabled());
            QVERIFY(d->ArchiveList()->isEnabled());
            d->ArchiveList()->setCurrentItem(d->ArchiveList()->topLevelItem(1));
            d->findChild<QPushButton*>("ViewBrief")->click();
        });
        QVERIFY(!RunBriefSetup(b, nullptr, [&](int index) { viewed = index; }));
        QCOMPARE(viewed, 0); // the second row is the older run
        QCOMPARE(b.BriefName, std::string("Morning Papers"));
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
