// The main window's Entry Setup, Brief Organizer Setup and Preferences commands with their real
// dialogs, down to the brief file and the settings store.
#include "Brief/BriefFile.h"
#include "Gui/SkeinForm.h"
#include "Gui/SEProps.h"
#include "Gui/WebProperties.h"
#include "Platform/Registry.h"
#include "Gui/BriefOpts.h"
#include "Gui/SKPrefs.h"
#include "Gui/ShellWindows.h"
#include "support/RecordingDialogs.h"
#include "Gui/support/UiTestSupport.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBrowser>
#include <QtTest>

using namespace gathra;
using namespace gathra::test;

namespace {

TBrief Reload(const std::string& path) {
    TBrief brief;
    brief.FileName = path;
    RecordingDialogs quiet;
    if (!ReadBriefs2(brief, quiet)) qFatal("cannot reload %s", path.c_str());
    return brief;
}

} // namespace

class DialogCommandsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FrameHarness> h;

    TSkeinForm* OpenWithEntries(const std::vector<EntrySpec>& entries) {
        const std::string path = h->PathOf("dialogs.brf");
        WriteBriefFile(path, entries);
        TSkeinForm* form = h->Frame().OpenBriefFile(path);
        if (!form) qFatal("brief did not open");
        form->SelectEntry(0);
        return form;
    }

private slots:
    void init() { h = std::make_unique<FrameHarness>(); }
    void cleanup() {
        h.reset();
        QCOMPARE(LeakedTopLevels(), 0);
    }

    void entrySetupEditsTheSelectedEntryAndSavesTheBrief() {
        TSkeinForm* form = OpenWithEntries({{"", false, ""}});
        bool sawWebDialog = false;
        OnNextModal([&](QDialog* d) {
            sawWebDialog = qobject_cast<TWebProperties*>(d) != nullptr;
            QTest::keyClicks(d->findChild<QLineEdit*>("EditURL"), "www.example.net");
            d->findChild<QSpinBox*>("DepthOfSearch")->setValue(4);
            d->findChild<QPushButton*>("OKButton")->click();
        });
        h->Frame().Action(Command::EntrySetup)->trigger();
        QVERIFY(sawWebDialog);
        const TWebPage& entry = form->Brief.WebList.Entry(0);
        QCOMPARE(entry.DepthText, std::string("4"));
        TBrief saved = Reload(form->Brief.FileName);
        QCOMPARE(saved.WebList.Entry(0).SpiderDepth, 4);
        QCOMPARE(saved.WebList.Entry(0).Address, entry.Address);
        QVERIFY(entry.Address.find("www.example.net") != std::string::npos);
        QCOMPARE(saved.WebList.Entry(0).EntryName, entry.EntryName);
    }

    void searchEntriesOpenTheSearchDialog() {
        TSkeinForm* form = OpenWithEntries({{"old query", true, ""}});
        QString caption;
        OnNextModal([&](QDialog* d) {
            caption = d->windowTitle();
            auto* query = d->findChild<QLineEdit*>("Query");
            query->selectAll();
            QTest::keyClicks(query, "new query");
            d->findChild<QPushButton*>("OKButton")->click();
        });
        h->Frame().Action(Command::EntrySetup)->trigger();
        QCOMPARE(caption, QString("Yahoo! Entry Setup"));
        QCOMPARE(Reload(form->Brief.FileName).WebList.Entry(0).EntryName, std::string("new query"));
    }

    void helpFromADialogUsesTheMainWindowsHelp() {
        OpenWithEntries({{"page", false, "www.example.com"}});
        OnNextModal([&](QDialog* d) {
            d->findChild<QPushButton*>("PW_HelpButton")->click();
            d->findChild<QPushButton*>("CancelButton")->click();
        });
        h->Frame().Action(Command::EntrySetup)->trigger();
        THelpWindow* help = h->Frame().findChild<THelpWindow*>();
        QVERIFY(help != nullptr);
        QVERIFY(help->Browser()->source().toString().endsWith("topic22.html"));
    }

    void briefSetupRenamesTheBriefInItsHeaderAndFile() {
        TSkeinForm* form = OpenWithEntries({{"page", false, "www.example.com"}});
        OnNextModal([&](QDialog* d) {
            QVERIFY(qobject_cast<TBriefOpts*>(d));
            auto* name = d->findChild<QLineEdit*>("BriefName");
            name->selectAll();
            QTest::keyClicks(name, "Renamed");
            d->findChild<QPushButton*>("ApplyButton")->click();
        });
        h->Frame().Action(Command::FileBriefSetup)->trigger();
        QCOMPARE(form->Brief.BriefName, std::string("Renamed"));
        bool shown = false;
        for (QLabel* label : form->findChildren<QLabel*>())
            shown |= label->text() == "Renamed";
        QVERIFY(shown);
        QCOMPARE(Reload(form->Brief.FileName).BriefName, std::string("Renamed"));
    }

    void preferencesApplyToTheProgramsSettings() {
        OnNextModal([&](QDialog* d) {
            QVERIFY(qobject_cast<TSKPrefs*>(d));
            QCOMPARE(d->windowTitle(), QString("Gathra Light Preferences"));
            d->findChild<QSpinBox*>("NumRetries")->setValue(5);
            d->findChild<QPushButton*>("BriefOK")->click();
        });
        h->Frame().Action(Command::EditPreferences)->trigger();
        QCOMPARE(h->Frame().Settings().Retries, 5);
        Registry registry(Registry::DefaultFile());
        QCOMPARE(registry.ReadValue("Briefs", "Retries").value_or(""), std::string("5"));
    }
};

QTEST_MAIN(DialogCommandsTest)
#include "DialogCommandsTest.moc"
