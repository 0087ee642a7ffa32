#include "Brief/BriefFile.h"
#include "Gui/EntryDialog.h"
#include "Gui/SEProps.h"
#include "Gui/WebProperties.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"
#include "Gui/support/WindowLeakCheck.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace gathra;

namespace {

TWebPage EntryWith(bool userName) {
    TWebPage e(EntryKind::Web);
    e.EntryName = "Daily News";
    e.NameSet = 1;
    e.Address = "www.example.com/news";
    e.SpiderDepth = 2;
    e.LoadImages = 1;
    if (userName) e.UserName = "alice";
    e.Password = "secret";
    return e;
}

bool SameFields(const TWebPage& a, const TWebPage& b) {
    return a.Active == b.Active && a.EntryName == b.EntryName && a.Address == b.Address &&
           a.SpiderDepth == b.SpiderDepth && a.LoadImages == b.LoadImages &&
           a.LoadBinaries == b.LoadBinaries && a.LocalOnly == b.LocalOnly &&
           a.UserName == b.UserName && a.Password == b.Password && a.IsSearch == b.IsSearch &&
           a.NameSet == b.NameSet && a.DepthText == b.DepthText;
}

std::unique_ptr<TEntryDialog> Open(EntryDialogKind kind, TWebPage& entry, Dialogs& dialogs,
                                   bool editable = true) {
    std::unique_ptr<TEntryDialog> d;
    if (kind == EntryDialogKind::Web)
        d = std::make_unique<TWebProperties>(entry, editable, dialogs);
    else
        d = std::make_unique<TSEProps>(entry, editable, dialogs);
    d->OnHelp = [](int) {};
    d->show();
    return d;
}

template <class W> W* Find(QWidget* d, const char* name) {
    W* w = d->findChild<W*>(name);
    if (!w) qFatal("no widget %s", name);
    return w;
}

int ApplyEnabledCount(TEntryDialog& d) {
    int n = 0;
    for (QPushButton* b : d.ApplyButtons())
        n += b->isEnabled() ? 1 : 0;
    return n;
}

} // namespace

class EntryDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QVERIFY2(test::LeakedTopLevelWindows().isEmpty(), "a window leaked"); }

    void captionsPagesAndButtons() {
        test::RecordingDialogs dialogs;
        TWebPage e = EntryWith(false);
        auto web = Open(EntryDialogKind::Web, e, dialogs);
        QCOMPARE(web->windowTitle(), QString("Web Page Setup"));
        QCOMPARE(web->Pages()->count(), 3);
        QCOMPARE(web->Pages()->tabText(2), QString("Password"));
        QCOMPARE(web->OkButtons()[1]->text(), QString("&OK"));
        QCOMPARE(Find<QLineEdit>(web.get(), "EditName")->text(), QString("Daily News"));
        QCOMPARE(Find<QSpinBox>(web.get(), "DepthOfSearch")->value(), 2);
        QVERIFY(Find<QCheckBox>(web.get(), "ImageToggle")->isChecked());
        QVERIFY(!Find<QCheckBox>(web.get(), "LocalOnly")->isChecked());
        QVERIFY(!Find<QLineEdit>(web.get(), "Confirm")->isEnabled());
        QVERIFY(!Find<QLabel>(web.get(), "ConfirmLabel")->isEnabled());
        QVERIFY(!Find<QLabel>(web.get(), "IsLocked")->isVisible());
        web.reset();
        auto search = Open(EntryDialogKind::Search, e, dialogs);
        QCOMPARE(search->windowTitle(), QString("Yahoo! Entry Setup"));
        QVERIFY(search->findChild<QLineEdit*>("EditURL") == nullptr);
        QCOMPARE(Find<QLabel>(search.get(), "ConfirmLabel")->text(), QString("Co&nfirm Password:"));
    }

    void cancelLeavesTheEntryUnchanged() {
        for (auto kind : {EntryDialogKind::Web, EntryDialogKind::Search}) {
            test::RecordingDialogs dialogs;
            TWebPage e = EntryWith(true);
            const TWebPage before = e;
            auto d = Open(kind, e, dialogs);
            QTest::keyClicks(
                Find<QLineEdit>(d.get(), d->objectName() == "SEProps" ? "Query" : "EditName"),
                " more");
            QTest::mouseClick(Find<QCheckBox>(d.get(), "LoadBinaries"), Qt::LeftButton);
            QTest::keyClicks(Find<QLineEdit>(d.get(), "Password"), "x");
            d->CancelButtons()[2]->click();
            QCOMPARE(d->result(), int(QDialog::Rejected));
            QVERIFY(SameFields(e, before));
        }
    }

    void applyAtOpeningFollowsTheUserName() {
        for (auto kind : {EntryDialogKind::Web, EntryDialogKind::Search}) {
            test::RecordingDialogs dialogs;
            TWebPage with = EntryWith(true);
            auto a = Open(kind, with, dialogs);
            QCOMPARE(ApplyEnabledCount(*a), 3);
            QCOMPARE(Find<QLineEdit>(a.get(), "UserName")->text(), QString("alice"));
            TWebPage without = EntryWith(false);
            auto b = Open(kind, without, dialogs);
            QCOMPARE(ApplyEnabledCount(*b), 0);
            QCOMPARE(Find<QLineEdit>(b.get(), "Password")->text(), QString("secret"));
        }
    }

    void anyInputEnablesAllThreeApplyButtons() {
        using Poke = std::function<void(TEntryDialog*)>;
        auto type = [](const char* name) {
            return Poke(
                [name](TEntryDialog* d) { QTest::keyClicks(Find<QLineEdit>(d, name), "z"); });
        };
        auto click = [](const char* name) {
            return Poke([name](TEntryDialog* d) { Find<QCheckBox>(d, name)->click(); });
        };
        const std::vector<std::pair<const char*, Poke>> pokes = {
            {"name", type("EditName")},
            {"address", type("EditURL")},
            {"active", click("Active")},
            {"images", click("ImageToggle")},
            {"binaries", click("LoadBinaries")},
            {"external", click("LocalOnly")},
            {"depth", [](TEntryDialog* d) { Find<QSpinBox>(d, "DepthOfSearch")->stepUp(); }},
            {"user", type("UserName")},
            {"password", type("Password")},
            {"confirm",
             [](TEntryDialog* d) {
                 // After a failed confirmation the web dialog's Apply is off; typing the
                 // confirmation again must bring it back.
                 QTest::keyClicks(Find<QLineEdit>(d, "Password"), "p");
                 d->ApplyButtons()[0]->click();
                 QTest::keyClicks(Find<QLineEdit>(d, "Confirm"), "p");
             }},
        };
        for (auto kind : {EntryDialogKind::Web, EntryDialogKind::Search}) {
            for (const auto& [what, poke] : pokes) {
                if (kind == EntryDialogKind::Search && std::string(what) == "address") continue;
                test::RecordingDialogs dialogs;
                TWebPage e = EntryWith(false);
                auto d = Open(kind, e, dialogs);
                const char* name = kind == EntryDialogKind::Search && std::string(what) == "name"
                                       ? "Query"
                                       : nullptr;
                if (name)
                    QTest::keyClicks(Find<QLineEdit>(d.get(), name), "z");
                else
                    poke(d.get());
                QVERIFY2(ApplyEnabledCount(*d) == 3, what);
            }
        }
    }

    void onlyTheUserNameChangedKeepsThePassword() {
        for (auto kind : {EntryDialogKind::Web, EntryDialogKind::Search}) {
            test::RecordingDialogs dialogs;
            TWebPage e = EntryWith(true);
            auto d = Open(kind, e, dialogs);
            auto* user = Find<QLineEdit>(d.get(), "UserName");
            user->selectAll();
            QTest::keyClicks(user, "bob");
            d->ApplyButtons()[2]->click();
            QCOMPARE(e.UserName, std::string("bob"));
            QCOMPARE(e.Password, std::string("secret"));
            QVERIFY(dialogs.Log.empty());
        }
    }

    void wrongConfirmationGivesPasswordError() {
        for (auto kind : {EntryDialogKind::Web, EntryDialogKind::Search}) {
            test::RecordingDialogs dialogs;
            TWebPage e = EntryWith(false);
            auto d = Open(kind, e, dialogs);
            auto* password = Find<QLineEdit>(d.get(), "Password");
            password->selectAll();
            QTest::keyClicks(password, "new");
            QVERIFY(Find<QLineEdit>(d.get(), "Confirm")->isEnabled());
            QVERIFY(Find<QLabel>(d.get(), "ConfirmLabel")->isEnabled());
            QTest::keyClicks(Find<QLineEdit>(d.get(), "Confirm"), "New");
            d->OkButtons()[2]->click();
            QVERIFY2(d->isVisible(), "the dialog stays open");
            QCOMPARE(dialogs.Log.size(), size_t(1));
            QCOMPARE(dialogs.Log[0].Caption, std::string("Password Error"));
            QCOMPARE(dialogs.Log[0].Text, std::string("Password not correctly confirmed."));
            QCOMPARE(e.Password, std::string("secret"));
            QCOMPARE(ApplyEnabledCount(*d), kind == EntryDialogKind::Web ? 0 : 3);
            // Correcting the confirmation lets OK store the new password and close.
            auto* confirm = Find<QLineEdit>(d.get(), "Confirm");
            confirm->selectAll();
            QTest::keyClicks(confirm, "new");
            d->OkButtons()[0]->click();
            QCOMPARE(d->result(), int(QDialog::Accepted));
            QCOMPARE(e.Password, std::string("new"));
        }
    }

    void okOnAnUnchangedWebDialogWritesEveryInput() {
        test::RecordingDialogs dialogs;
        TWebPage e = EntryWith(false);
        e.SpiderDepth = 500; // the spin edit holds it to 99
        e.NameSet = 0;       // the name field opens empty
        auto d = Open(EntryDialogKind::Web, e, dialogs);
        d->OkButtons()[0]->click();
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(e.SpiderDepth, 99);
        QCOMPARE(e.EntryName, std::string(""));
        QVERIFY(d->Applied());
    }

    void okOnAnUnchangedSearchDialogOnlyCloses() {
        test::RecordingDialogs dialogs;
        TWebPage e = EntryWith(false);
        e.SpiderDepth = 500;
        auto d = Open(EntryDialogKind::Search, e, dialogs);
        d->OkButtons()[1]->click();
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(e.SpiderDepth, 500);
        QCOMPARE(e.Address, std::string("www.example.com/news"));
        QVERIFY(!d->Applied());
    }

    void searchDialogEmptiesTheAddress() {
        test::RecordingDialogs dialogs;
        TWebPage e = EntryWith(false);
        int selected = 0;
        auto d = Open(EntryDialogKind::Search, e, dialogs);
        d->Model().SelectEntry = [&] { ++selected; };
        QTest::keyClicks(Find<QLineEdit>(d.get(), "Query"), "!");
        d->ApplyButtons()[0]->click();
        QCOMPARE(e.Address, std::string(""));
        QCOMPARE(e.IsSearch, std::uint8_t(1));
        QCOMPARE(e.EntryName, std::string("Daily News!"));
        QCOMPARE(selected, 1);
    }

    void untickingFollowExternalLinksSetsLocalOnly() {
        test::RecordingDialogs dialogs;
        TWebPage e = EntryWith(false);
        e.LocalOnly = 0;
        auto d = Open(EntryDialogKind::Web, e, dialogs);
        auto* follow = Find<QCheckBox>(d.get(), "LocalOnly");
        QVERIFY(follow->isChecked());
        QTest::mouseClick(follow, Qt::LeftButton, {}, QPoint(5, follow->height() / 2));
        d->ApplyButtons()[1]->click();
        QCOMPARE(e.LocalOnly, std::uint8_t(1));
    }

    void lockedEntryOpensReadOnlyWithAFittedLockLabel() {
        for (auto kind : {EntryDialogKind::Web, EntryDialogKind::Search}) {
            test::RecordingDialogs dialogs;
            TWebPage e = EntryWith(true);
            e.Locked = 1;
            e.LockedText = "Locked by the administrator of this brief";
            e.LockedTextSize = 40;
            const TWebPage before = e;
            auto d = Open(kind, e, dialogs, TEntryDialogModel::EditableFor(e, false));
            for (const char* name : {"UserName", "Password", "Confirm"})
                QVERIFY2(!Find<QLineEdit>(d.get(), name)->isEnabled(), name);
            QVERIFY(!Find<QCheckBox>(d.get(), "Active")->isEnabled());
            QVERIFY(!Find<QSpinBox>(d.get(), "DepthOfSearch")->isEnabled());
            QLabel* lock = d->LockLabel();
            QVERIFY(lock->isVisible());
            QCOMPARE(lock->text(), QString("Locked by the administrator of this brief"));
            const int points = lock->font().pointSize();
            QVERIFY2(points < 40 && points >= 6, qPrintable(QString::number(points)));
            QVERIFY(lock->x() > 0);
            QVERIFY(lock->x() + lock->width() <= lock->parentWidget()->width());
            d->OkButtons()[0]->click();
            QCOMPARE(d->result(), int(QDialog::Accepted));
            QVERIFY(SameFields(e, before));
        }
    }

    void aVeryLongLockTextStopsAtSixPoints() {
        test::RecordingDialogs dialogs;
        TWebPage e = EntryWith(false);
        e.Locked = 1;
        e.LockedText = std::string(400, 'W');
        auto d = Open(EntryDialogKind::Web, e, dialogs, false);
        QCOMPARE(d->LockLabel()->font().pointSize(), 6);
    }

    void generatingBriefOpensReadOnly() {
        test::RecordingDialogs dialogs;
        TWebPage e = EntryWith(false);
        const TWebPage before = e;
        auto d = Open(EntryDialogKind::Web, e, dialogs, TEntryDialogModel::EditableFor(e, true));
        QVERIFY(!Find<QLineEdit>(d.get(), "EditURL")->isEnabled());
        QVERIFY(!d->LockLabel()->isVisible());
        d->OkButtons()[0]->click();
        QVERIFY(SameFields(e, before));
    }

    void helpButtonsOpenTheirTopics() {
        for (auto kind : {EntryDialogKind::Web, EntryDialogKind::Search}) {
            test::RecordingDialogs dialogs;
            TWebPage e = EntryWith(false);
            auto d = Open(kind, e, dialogs);
            std::vector<int> topics;
            d->OnHelp = [&](int t) { topics.push_back(t); };
            for (QPushButton* b : d->HelpButtons())
                b->click();
            const auto expected = kind == EntryDialogKind::Web ? std::vector<int>{20, 21, 22}
                                                               : std::vector<int>{18, 19, 21};
            QCOMPARE(topics, expected);
        }
    }

    void nameFieldRefusesTextTheBriefCannotStore() {
        test::RecordingDialogs dialogs;
        TWebPage e = EntryWith(false);
        auto d = Open(EntryDialogKind::Web, e, dialogs);
        auto* name = Find<QLineEdit>(d.get(), "EditName");
        name->setText(QString(32765, 'a'));
        name->end(false);
        for (int i = 0; i < 2; ++i) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier,
                            QString::fromUtf8("\xC3\xA9"));
            QApplication::sendEvent(name, &press);
        }
        QCOMPARE(name->text().toUtf8().size(), 32767);
        QTest::keyClicks(name, "b");
        QCOMPARE(name->text().toUtf8().size(), 32767);
        auto* password = Find<QLineEdit>(d.get(), "Password");
        password->setText(QString(24573, 'p'));
        password->end(false);
        QTest::keyClicks(password, "q");
        QCOMPARE(password->text().size(), 24573);
        QTest::keyClick(password, Qt::Key_Backspace);
        QCOMPARE(password->text().size(), 24572);
    }

    void storedWindows1252TextIsShownAndKeptWhenUntouched() {
        test::RecordingDialogs dialogs;
        TWebPage e = EntryWith(false);
        e.EntryName = "Caf\xE9";
        auto d = Open(EntryDialogKind::Web, e, dialogs);
        QCOMPARE(Find<QLineEdit>(d.get(), "EditName")->text(), QString::fromUtf8("Caf\xC3\xA9"));
        d->OkButtons()[0]->click();
        QCOMPARE(e.EntryName, std::string("Caf\xE9"));
        auto again = Open(EntryDialogKind::Web, e, dialogs);
        QTest::keyClicks(Find<QLineEdit>(again.get(), "EditName"), "s");
        again->OkButtons()[0]->click();
        QCOMPARE(e.EntryName, std::string("Caf\xC3\xA9s"));
    }

    void readOnlyEntrySetupLeavesTheShownNameAlone() {
        test::RecordingDialogs dialogs;
        TWebPage e(EntryKind::Web);
        e.EntryName = "Shown while generating";
        e.Address = "www.example.com";
        const TWebPage before = e;
        QTimer::singleShot(0, [] {
            auto* d = qobject_cast<TEntryDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            d->OkButtons()[0]->click();
        });
        RunEntrySetup(e, true, dialogs, nullptr);
        QVERIFY(SameFields(e, before));
    }

    // What the fields let through at their limits is exactly what the brief file still stores.
    void fieldsTypedToTheirLimitsSurviveTheBriefFile() {
        test::RecordingDialogs dialogs;
        test::TempDir dir;
        TBrief brief;
        brief.CreateNewBrief();
        brief.FileName = (dir.Path() / "limits.brf").string();
        TWebPage& e = *brief.WebList.AddEntry(EntryKind::Web);
        QTimer::singleShot(0, [] {
            auto* d = qobject_cast<TEntryDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            auto fill = [d](const char* name, int limit) {
                auto* edit = d->findChild<QLineEdit*>(name);
                edit->setText(QString(limit - 1, 'x'));
                edit->end(false);
                QTest::keyClicks(edit, "yz"); // one fits, one is refused
            };
            fill("EditName", 32767);
            fill("EditURL", 32767);
            fill("UserName", 24573);
            d->OkButtons()[0]->click();
        });
        RunEntrySetup(e, false, dialogs, nullptr);
        QCOMPARE(e.EntryName.size(), size_t(32767));
        QCOMPARE(e.UserName.size(), size_t(24573));
        QCOMPARE(BriefFileLimitProblem(brief), std::string());
        QVERIFY(SaveBriefs2(brief, dialogs));
        TBrief loaded;
        loaded.FileName = brief.FileName;
        QVERIFY(ReadBriefs2(loaded, dialogs));
        QCOMPARE(loaded.WebList.Count(), 1);
        QCOMPARE(loaded.WebList.Entry(0).EntryName, std::string(32766, 'x') + "y");
        QCOMPARE(loaded.WebList.Entry(0).Address, std::string(32766, 'x') + "y");
        QCOMPARE(loaded.WebList.Entry(0).UserName, std::string(24572, 'x') + "y");
        QVERIFY(dialogs.Log.empty());
    }

    void entrySetupShowsTheAddressForAnUnnamedEntry() {
        test::RecordingDialogs dialogs;
        TWebPage e(EntryKind::Web);
        e.SpiderDepth = 1;
        QTimer::singleShot(0, [] {
            auto* d = qobject_cast<TEntryDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            d->OnHelp = [](int) {};
            QTest::keyClicks(d->findChild<QLineEdit*>("EditURL"), "www.example.org");
            d->findChild<QSpinBox*>("DepthOfSearch")->setValue(3);
            d->OkButtons()[0]->click();
        });
        RunEntrySetup(e, false, dialogs, nullptr);
        QCOMPARE(e.EntryName, std::string("www.example.org"));
        QCOMPARE(e.NameSet, std::uint8_t(0));
        QCOMPARE(e.DepthText, std::string("3"));
    }
};

QTEST_MAIN(EntryDialogsTest)
#include "EntryDialogsTest.moc"
