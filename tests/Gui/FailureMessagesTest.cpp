// What the desktop program says when something cannot be done: nothing is lost without a
// question, and each failure names its real reason.
#include "Brief/BriefFile.h"
#include "Gui/SkeinForm.h"
#include "Gui/support/UiTestSupport.h"
#include "Run/RunFlags.h"
#include "support/RecordingDialogs.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>
#include <sys/stat.h>

using namespace gathra;
using namespace gathra::test;

class FailureMessagesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FrameHarness> h;

    // A brief whose file was made read-only after it was opened, changed once: its caption says
    // "(not saved)".
    TSkeinForm* UnsavedBrief(const std::string& name) {
        std::string path = WriteBriefFile(h->PathOf(name), {{"one"}});
        TSkeinForm* form = h->Frame().OpenBriefFile(path);
        if (form == nullptr) return nullptr;
        ::chmod(path.c_str(), 0444);
        OnNextModal([](QDialog* d) { d->accept(); });
        h->Frame().SetCurrentBrief(form);
        h->Frame().AddEntry(EntryKind::Web);
        return form;
    }

    static int EntriesIn(const std::string& path) {
        TBrief brief;
        brief.FileName = path;
        RecordingDialogs quiet;
        return ReadBriefs2(brief, quiet) ? brief.WebList.Count() : -1;
    }

    QString LastText() const { return SeenModalTexts().back(); }

private slots:
    void init() { h = std::make_unique<FrameHarness>(); }
    void cleanup() {
        ProgramRunFlags().Reset();
        h.reset();
        QCOMPARE(LeakedTopLevels(), 0);
    }

    // The saving error gives the system's reason under the program's message, in the dialog
    // rather than the status bar; closing the window then asks what to do with the changes:
    // Cancel keeps it open, Save As saves them elsewhere and closes it.
    void aBriefThatCouldNotBeSavedIsNotClosedWithoutAQuestion() {
        TSkeinForm* form = UnsavedBrief("locked.brf");
        QVERIFY(form != nullptr);
        QCOMPARE(SeenModalCaptions().back(), QString(kBriefSavingErrorCaption));
        QVERIFY2(LastText().contains(QString(kBriefSavingErrorText) + "\nPermission denied"),
                 qPrintable(LastText()));
        QVERIFY(!h->Frame().StatusLabel()->text().contains("Permission denied"));
        QVERIFY(form->windowTitle().endsWith("(not saved)"));

        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&Cancel"); });
        QVERIFY(!form->SubWindow()->close());
        QCOMPARE(SeenModalCaptions().back(), QString("Brief Not Saved"));
        QVERIFY(LastText().contains("could not be saved"));
        QCOMPARE(h->Frame().WindowTables().OpenBriefCount(), 1);

        h->FileAnswers.push_back(QString::fromStdString(h->PathOf("elsewhere.brf")));
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&Save As..."); });
        QVERIFY(form->SubWindow()->close());
        QCOMPARE(h->Frame().WindowTables().OpenBriefCount(), 0);
        QCOMPARE(EntriesIn(h->PathOf("elsewhere.brf")), 2);
        QCOMPARE(EntriesIn(h->PathOf("locked.brf")), 1);
    }

    // Quitting asks about every brief that could not be saved: Cancel keeps the program and
    // its windows open; Discard lets it close, leaving the file as it was.
    void quittingWithAnUnsavedBriefAsksFirst() {
        TSkeinForm* form = UnsavedBrief("quit.brf");
        QVERIFY(form != nullptr);
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&Cancel"); });
        QVERIFY(!h->Frame().close());
        QVERIFY(!h->Frame().Closing());
        QCOMPARE(h->Frame().WindowTables().OpenBriefCount(), 1);
        const size_t asked = SeenModalCaptions().size();
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&Discard"); });
        QVERIFY(h->Frame().close());
        QCOMPARE(SeenModalCaptions().size(), asked + 1); // asked once, not again per window
        QCOMPARE(SeenModalCaptions().back(), QString("Brief Not Saved"));
        QCOMPARE(EntriesIn(h->PathOf("quit.brf")), 1);
    }

    // A brief that is not there is not called corrupt: the dialog says it cannot be opened and
    // gives the system's reason beneath.
    void aMissingBriefSaysWhyItCannotBeOpened() {
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&OK"); });
        QVERIFY(h->Frame().OpenBriefFile(h->PathOf("gone.brf")) == nullptr);
        QCOMPARE(SeenModalCaptions().back(), QString(kBriefLoadingErrorCaption));
        QVERIFY2(
            LastText().contains(QString(kBriefOpeningErrorText) + "\nNo such file or directory"),
            qPrintable(LastText()));
        QVERIFY(!LastText().contains("corrupt"));
    }

    // "Show Brief" before any run, or after its folder went, says so instead of doing nothing.
    void showBriefWithoutARunSaysSo() {
        std::string path = WriteBriefFile(h->PathOf("fresh.brf"), {{"one"}}, "Fresh");
        TSkeinForm* form = h->Frame().OpenBriefFile(path);
        QVERIFY(form != nullptr);
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&OK"); });
        h->Frame().ShowBrief();
        QCOMPARE(SeenModalCaptions().back(), QString("No Brief Yet"));
        QVERIFY(LastText().contains("\"Fresh\" has not been generated yet."));
        form->Brief.ArchivePaths = {"0\\Brief0.htm"};
        form->Brief.ArchiveTitles = {"1/2/03 4:05 PM"};
        OnNextModal([](QDialog* d) { ClickButtonNamed(d, "&OK"); });
        h->Frame().ShowBrief();
        QCOMPARE(SeenModalCaptions().back(), QString("Brief Not Found"));
        QVERIFY(LastText().contains("is no longer on the disk"));
        QVERIFY(h->BrowserCalls.Opened.empty());
    }
};

QTEST_MAIN(FailureMessagesTest)
#include "FailureMessagesTest.moc"
