#include "Platform/Registry.h"
#include "Settings/Settings.h"
#include "Gui/SKPrefs.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"
#include "Gui/support/UiTestSupport.h"
#include "Gui/support/WindowLeakCheck.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QSet>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <fstream>

using namespace gathra;

namespace {

// The settings store of the program, on a registry file in a temporary folder.
struct SettingsStore {
    test::TempDir Dir;
    Registry Reg{Dir.Path() / "registry",
                 [](const std::vector<std::string>&) { return std::optional<std::string>(); },
                 {}};
    AppSettings Settings;
    test::RecordingDialogs Dialogs;
    int Applies = 0;

    TPreferencesModel::Applier Applier() {
        auto apply = TPreferencesModel::SettingsApplier(Settings, Reg, Dialogs);
        return [this, apply](const PreferencesInput& input) {
            ++Applies;
            return apply(input);
        };
    }
    std::string Stored(const char* group, const char* name) const {
        return Reg.ReadValue(group, name).value_or("<absent>");
    }
};

AppSettings Sample() {
    AppSettings s;
    s.BrowserPath = "/usr/bin/firefox";
    s.ProxyServer = "proxy.local";
    s.ProxyPort = 8080;
    s.Retries = 4;
    s.DiskBufferBytes = 5 * 1048576;
    s.DefaultUserName = "ann";
    s.DefaultPassword = "pw";
    return s;
}

template <class W> W* Find(QWidget* d, const char* name) {
    W* w = d->findChild<W*>(name);
    if (!w) qFatal("no widget %s", name);
    return w;
}

int ApplyEnabledCount(TSKPrefs& d) {
    int n = 0;
    for (QPushButton* b : d.ApplyButtons())
        n += b->isEnabled() ? 1 : 0;
    return n;
}

} // namespace

class PreferencesDialogTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QVERIFY2(test::LeakedTopLevelWindows().isEmpty(), "a window leaked"); }

    void opensFilledWithApplyOff() {
        SettingsStore store;
        TSKPrefs d(Sample(), false, false, store.Applier());
        d.show();
        QCOMPARE(d.windowTitle(), QString("Gathra Light Preferences"));
        QCOMPARE(d.Pages()->count(), 4);
        QCOMPARE(d.Pages()->tabText(3), QString("Retrieval"));
        QCOMPARE(Find<QLineEdit>(&d, "Browser")->text(), QString("/usr/bin/firefox"));
        QCOMPARE(Find<QSpinBox>(&d, "DiskBuffer")->value(), 5);
        QCOMPARE(Find<QSpinBox>(&d, "ProxyPort")->value(), 8080);
        QCOMPARE(Find<QSpinBox>(&d, "NumRetries")->value(), 4);
        QCOMPARE(Find<QSpinBox>(&d, "NumRetries")->maximum(), 5);
        QCOMPARE(Find<QSpinBox>(&d, "DiskBuffer")->maximum(), 999999);
        QCOMPARE(Find<QLineEdit>(&d, "UserName")->text(), QString("ann"));
        QVERIFY(!Find<QLineEdit>(&d, "Confirm")->isEnabled());
        QCOMPARE(ApplyEnabledCount(d), 0);
        TSKPrefs first(Sample(), true, false, store.Applier());
        QCOMPARE(first.windowTitle(), QString("Please Setup the Browser"));
    }

    void portIsEnabledOnlyWithAServer() {
        SettingsStore store;
        TSKPrefs with(Sample(), false, false, store.Applier());
        QVERIFY(Find<QSpinBox>(&with, "ProxyPort")->isEnabled());
        auto* server = Find<QLineEdit>(&with, "ProxyServer");
        server->selectAll();
        QTest::keyClick(server, Qt::Key_Delete);
        QVERIFY(!Find<QSpinBox>(&with, "ProxyPort")->isEnabled());
        QCOMPARE(ApplyEnabledCount(with), 4);
        QTest::keyClicks(server, "p");
        QVERIFY(Find<QSpinBox>(&with, "ProxyPort")->isEnabled());

        AppSettings none = Sample();
        none.ProxyServer.clear();
        TSKPrefs without(none, false, false, store.Applier());
        QVERIFY(!Find<QSpinBox>(&without, "ProxyPort")->isEnabled());
    }

    void everyFieldEnablesApply() {
        using Poke = std::function<void(TSKPrefs&)>;
        const std::vector<std::pair<const char*, Poke>> pokes = {
            {"browser", [](TSKPrefs& d) { QTest::keyClicks(Find<QLineEdit>(&d, "Browser"), "x"); }},
            {"autoload", [](TSKPrefs& d) { Find<QCheckBox>(&d, "AutoLoad")->click(); }},
            {"page resources",
             [](TSKPrefs& d) { Find<QCheckBox>(&d, "KeepPageResources")->click(); }},
            {"disk", [](TSKPrefs& d) { Find<QSpinBox>(&d, "DiskBuffer")->stepUp(); }},
            {"port", [](TSKPrefs& d) { Find<QSpinBox>(&d, "ProxyPort")->stepUp(); }},
            {"retries", [](TSKPrefs& d) { Find<QSpinBox>(&d, "NumRetries")->stepDown(); }},
            {"user", [](TSKPrefs& d) { QTest::keyClicks(Find<QLineEdit>(&d, "UserName"), "x"); }},
            {"password",
             [](TSKPrefs& d) { QTest::keyClicks(Find<QLineEdit>(&d, "Password"), "x"); }},
        };
        for (const auto& [what, poke] : pokes) {
            SettingsStore store;
            TSKPrefs d(Sample(), false, false, store.Applier());
            poke(d);
            QVERIFY2(ApplyEnabledCount(d) == 4, what);
        }
    }

    void wrongConfirmationKeepsTheDialogOpenWithTheRestApplied() {
        SettingsStore store;
        TSKPrefs d(Sample(), false, false, store.Applier());
        d.show();
        Find<QSpinBox>(&d, "NumRetries")->setValue(2);
        auto* password = Find<QLineEdit>(&d, "Password");
        password->selectAll();
        QTest::keyClicks(password, "new");
        QVERIFY(Find<QLineEdit>(&d, "Confirm")->isEnabled());
        QVERIFY(Find<QLabel>(&d, "ConfirmLabel")->isEnabled());
        QTest::keyClicks(Find<QLineEdit>(&d, "Confirm"), "old");
        d.OkButtons()[2]->click();
        QVERIFY(d.isVisible());
        QCOMPARE(store.Dialogs.Log.size(), size_t(1));
        QCOMPARE(store.Dialogs.Log[0].Caption, std::string("Password Error"));
        QCOMPARE(store.Settings.Retries, 2);
        QCOMPARE(store.Stored("Briefs", "Retries"), std::string("2"));
        QCOMPARE(store.Settings.DefaultPassword, std::string(""));
        QCOMPARE(store.Stored("Briefs", "Password"), std::string("<absent>"));
        QCOMPARE(ApplyEnabledCount(d), 4); // a failed apply keeps Apply on
        d.CancelButtons()[0]->click();
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }

    // A number a field refused ("0" for the disk space) is not dropped unseen on OK or Apply:
    // the field is named with the numbers it takes, its page comes to the front and the dialog
    // stays open with nothing applied; a number in range then goes through.
    void aRefusedNumberIsNamedAndKeepsTheDialogOpen() {
        struct Case {
            const char* Field;
            const char* Typed;
            int Page;
            const char* Said;
        } cases[] = {
            {"DiskBuffer", "0", 0,
             "\"Minimum disk space (MB)\" takes a number from 1 to 999999 only, so \"0\" was not "
             "taken."},
            {"NumRetries", "9", 2,
             "\"Number of Retries\" takes a number from 1 to 5 only, so \"9\" was not taken."},
            {"ProxyPort", "-", 1,
             "\"Port\" takes a number from 0 to 99999 only, so \"-\" was not taken."},
        };
        for (const Case& c : cases) {
            SettingsStore store;
            TSKPrefs d(Sample(), false, false, store.Applier());
            d.show();
            auto* field = Find<QSpinBox>(&d, c.Field);
            const int before = field->value();
            d.Pages()->setCurrentIndex((c.Page + 1) % 3);
            field->selectAll();
            QTest::keyClicks(field, c.Typed);
            for (QPushButton* button : {d.OkButtons()[0], d.ApplyButtons()[1]}) {
                const size_t seen = test::SeenModalCaptions().size();
                test::OnNextModal([](QDialog* m) { test::ClickButtonNamed(m, "&OK"); });
                button->setEnabled(true);
                button->click();
                QCOMPARE(test::SeenModalCaptions().size(), seen + 1);
                QCOMPARE(test::SeenModalCaptions().back(), QString("Preferences Error"));
                QVERIFY2(test::SeenModalTexts().back().contains(c.Said),
                         qPrintable(test::SeenModalTexts().back()));
                QVERIFY(d.isVisible());
                QCOMPARE(d.Pages()->currentIndex(), c.Page);
                QCOMPARE(store.Applies, 0);
                QCOMPARE(field->value(), before);
            }
            field->selectAll();
            QTest::keyClicks(field, "3");
            d.OkButtons()[0]->click();
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QCOMPARE(store.Applies, 1);
        }
    }

    void changingOnlyTheUserNameStoresBothCredentials() {
        SettingsStore store;
        store.Settings = Sample();
        TSKPrefs d(store.Settings, false, false, store.Applier());
        auto* user = Find<QLineEdit>(&d, "UserName");
        user->selectAll();
        QTest::keyClicks(user, "bea");
        QVERIFY(!Find<QLineEdit>(&d, "Confirm")->isEnabled());
        d.OkButtons()[2]->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(store.Settings.DefaultUserName, std::string("bea"));
        QCOMPARE(store.Settings.DefaultPassword, std::string("pw"));
        QVERIFY(store.Stored("Briefs", "UserName") != "<absent>");
        QVERIFY(store.Stored("Briefs", "Password") != "<absent>");
        QVERIFY(store.Dialogs.Log.empty());
    }

    void onlyBrowserFieldsAreUsableDuringARun() {
        SettingsStore store;
        TSKPrefs d(Sample(), false, true, store.Applier());
        for (const char* name : {"Browser", "AutoLoad", "FindButton"})
            QVERIFY2(Find<QWidget>(&d, name)->isEnabled(), name);
        for (const char* name : {"ProxyServer", "ProxyPort", "NumRetries", "DiskBuffer", "UserName",
                                 "Password", "Confirm", "CheckCertificates", "KeepPageResources",
                                 "ClassicTransfers", "ConnectionsPerSite"})
            QVERIFY2(!Find<QWidget>(&d, name)->isEnabled(), name);
        int disabledLabels = 0;
        for (QLabel* l : d.findChildren<QLabel*>())
            disabledLabels += l->isEnabled() ? 0 : 1;
        QCOMPARE(disabledLabels, 8); // the seven of the locked fields and the confirmation's
        QTest::keyClicks(Find<QLineEdit>(&d, "Browser"), "2");
        d.OkButtons()[0]->click();
        QCOMPARE(store.Settings.BrowserPath, std::string("/usr/bin/firefox2"));
        QCOMPARE(store.Settings.ProxyServer, std::string("proxy.local"));
    }

    void certificateChecksAreOnAndCanBeTurnedOff() {
        SettingsStore store;
        TSKPrefs d(Sample(), false, false, store.Applier());
        auto* check = Find<QCheckBox>(&d, "CheckCertificates");
        QVERIFY(check->isChecked());
        QVERIFY(check->isEnabled());
        QCOMPARE(check->parentWidget()->objectName(), QString("RetrievalGroup"));
        check->click();
        QCOMPARE(ApplyEnabledCount(d), 4);
        d.OkButtons()[3]->click();
        QVERIFY(!store.Settings.CheckCertificates);
        QCOMPARE(store.Stored("Briefs", "Check Certificates"), std::string("No"));
    }

    void keepPageStylesIsOnByDefaultAndStoredWhenSwitchedOff() {
        SettingsStore store;
        store.Settings = Sample();
        TSKPrefs d(store.Settings, false, false, store.Applier());
        auto* keep = Find<QCheckBox>(&d, "KeepPageResources");
        QCOMPARE(keep->text(), QString("&Keep page styles and scripts"));
        QVERIFY(keep->isChecked());
        keep->click();
        d.OkButtons()[3]->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(!store.Settings.KeepPageResources);
        QCOMPARE(store.Stored("Briefs", "Page Resources"), std::string("No"));
    }

    // The retrieval settings have a tab of their own: one group, a row each, top to bottom,
    // all inside the tab and clear of its buttons.
    void retrievalSettingsHaveTheirOwnTab() {
        SettingsStore store;
        TSKPrefs d(Sample(), false, false, store.Applier());
        d.show();
        d.Pages()->setCurrentIndex(3);
        QWidget* page = d.Pages()->widget(3);
        QCOMPARE(page->objectName(), QString("RetrievalPage"));
        auto* group = Find<QWidget>(&d, "RetrievalGroup");
        QCOMPARE(group->parentWidget(), page);
        QVERIFY(d.OkButtons()[3]->isDefault());
        int lastBottom = 0;
        for (const char* name : {"CheckCertificates", "KeepPageResources", "ClassicTransfers"}) {
            auto* row = Find<QCheckBox>(&d, name);
            QCOMPARE(row->parentWidget(), group);
            QVERIFY2(row->isVisible(), name);
            const QRect at(row->mapTo(page, QPoint(0, 0)), row->size());
            QVERIFY2(at.top() >= lastBottom, name);
            QVERIFY2(group->geometry().contains(at), name);
            QVERIFY2(at.bottom() < d.OkButtons()[3]->geometry().top(), name);
            QVERIFY2(row->width() >= row->sizeHint().width(), name);
            lastBottom = at.bottom();
        }
        // Every mnemonic of the tab (rows and buttons) is its own.
        QStringList keys;
        for (QAbstractButton* b : page->findChildren<QAbstractButton*>()) {
            const qsizetype amp = b->text().indexOf('&');
            if (amp >= 0) keys << b->text().mid(amp + 1, 1).toLower();
        }
        QCOMPARE(keys.size(), 7);
        QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());
        // Nothing of them is left on the Proxy tab.
        QVERIFY(d.Pages()->widget(1)->findChildren<QCheckBox*>().isEmpty());
    }

    void transferSettingsAreAppliedFromTheRetrievalTab() {
        SettingsStore store;
        TSKPrefs d(Sample(), false, false, store.Applier());
        d.show();
        d.Pages()->setCurrentIndex(3);
        auto* connections = Find<QSpinBox>(&d, "ConnectionsPerSite");
        auto* classic = Find<QCheckBox>(&d, "ClassicTransfers");
        QCOMPARE(connections->value(), 6);
        QVERIFY(connections->isEnabled());
        QVERIFY(!classic->isChecked());
        connections->setValue(3);
        d.ApplyButtons()[3]->click();
        QCOMPARE(store.Settings.ConnectionsPerSite, 3);
        QVERIFY(!store.Settings.ClassicTransfers);
        // The classic way fetches one page at a time: the count no longer applies.
        classic->click();
        QVERIFY(!connections->isEnabled());
        d.ApplyButtons()[3]->click();
        QVERIFY(store.Settings.ClassicTransfers);
        QCOMPARE(store.Settings.ConnectionsPerSite, 3);
    }

    void cancelAfterApplyKeepsTheAppliedValues() {
        SettingsStore store;
        TSKPrefs d(Sample(), false, false, store.Applier());
        Find<QSpinBox>(&d, "DiskBuffer")->setValue(9);
        d.ApplyButtons()[0]->click();
        QCOMPARE(ApplyEnabledCount(d), 0);
        Find<QSpinBox>(&d, "DiskBuffer")->setValue(11);
        d.CancelButtons()[1]->click();
        QCOMPARE(store.Applies, 1);
        QCOMPARE(store.Settings.DiskBufferBytes, std::int64_t(9) * 1048576);
        QCOMPARE(store.Stored("Disk Buffer", "MegaBytes"), std::string("9"));
    }

    void findSetsTheBrowserAndItsService() {
        test::TempDir dir;
        const auto program = dir.Path() / "IEXPLORE.EXE";
        std::ofstream(program) << "#!/bin/sh\n";
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        SettingsStore store;
        AppSettings s = Sample();
        s.BrowserPath = (dir.Path() / "old.exe").string();
        TSKPrefs d(s, false, false, store.Applier());
        QCOMPARE(d.FindStartFolder(), QString::fromStdString(dir.Path().string() + "/"));
        bool sawDialog = false;
        QTimer::singleShot(0, [&] {
            auto* fd = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(fd);
            sawDialog = true;
            QCOMPARE(fd->windowTitle(), QString("Find Browser"));
            fd->selectFile(QString::fromStdString(program.string()));
            QMetaObject::invokeMethod(fd, "accept");
        });
        Find<QPushButton>(&d, "FindButton")->click();
        QVERIFY(sawDialog);
        QCOMPARE(Find<QLineEdit>(&d, "Browser")->text(), QString::fromStdString(program.string()));
        QCOMPARE(ApplyEnabledCount(d), 4);
        d.OkButtons()[0]->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(store.Settings.BrowserPath, program.string());
        QCOMPARE(store.Settings.BrowserService, std::string("iexplore"));
        QCOMPARE(store.Stored("Browser", "Browser Service"), std::string("iexplore"));
    }

    void findStartsInTheProgramFolderWithoutABrowser() {
        SettingsStore store;
        AppSettings s = Sample();
        s.BrowserPath.clear();
        s.ProgramFolder = "/opt/gathra/";
        TSKPrefs d(s, false, false, store.Applier());
        QCOMPARE(d.FindStartFolder(), QString("/opt/gathra/"));
    }

    void helpButtonsOpenTheirTopics() {
        SettingsStore store;
        TSKPrefs d(Sample(), false, false, store.Applier());
        std::vector<int> topics;
        d.OnHelp = [&](int t) { topics.push_back(t); };
        for (QPushButton* b : d.HelpButtons())
            b->click();
        QCOMPARE(topics, (std::vector<int>{29, 30, 31, 32}));
    }
};

QTEST_MAIN(PreferencesDialogTest)
#include "PreferencesDialogTest.moc"
