// Takes screenshots of the archived briefs and the browser bridge with ImageMagick's `import`:
// the archive tab with several runs (one selected), the delete question, the tab after the
// delete, and a brief after Add Page from Browser. Run it on an X server, for example:
//   Xvfb :99 -screen 0 1024x768x24 & DISPLAY=:99 build/gathralight_archive_screenshots /tmp/shots
#include "Brief/BriefFile.h"
#include "Gui/SkeinForm.h"
#include "ScreenShot.h"
#include "Gui/ArchiveList.h"
#include "Gui/BriefOpts.h"
#include "Gui/MDIFrame.h"
#include "support/RecordingDialogs.h"
#include "support/SessionFiles.h"
#include "Gui/support/UiTestSupport.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <filesystem>

using namespace gathra;
using namespace gathra::test;
using namespace gathra::tools;

namespace {

void ClickRow(TArchiveList* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

} // namespace

int main(int argc, char** argv) {
    ShotSession session(argc, argv);
    FrameHarness& h = session.Harness;
    TMDIFrame& frame = session.Frame;

    std::string path = ReadingBrief(h);
    TBrief brief;
    brief.FileName = path;
    RecordingDialogs quiet;
    ReadBriefs2(brief, quiet);
    const char* titles[] = {"1/3/99 7:02:09AM", "2/14/99 12:30:00PM", "7/4/99 9:05:03PM",
                            "11/11/99 10:59:59 AM", "12/31/99 11:59:58PM"};
    for (int i = 0; i < 5; ++i) {
        const std::string n = std::to_string(i);
        brief.ArchivePaths.push_back(n + "\\Brief" + n + ".htm");
        brief.ArchiveTitles.push_back(titles[i]);
        std::filesystem::create_directories(h.Dir() / n);
        WriteFileBytes(h.Dir() / n / ("Brief" + n + ".htm"), "summary");
        WriteFileBytes(h.Dir() / n / ("Brief" + n + ".cat"),
                       std::string(1, '\1') + n + '\12' + "Brief" + n + ".htm" + '\0');
    }
    SaveBriefs2(brief, quiet);
    TSkeinForm* form = frame.OpenBriefFile(path);
    if (form == nullptr) {
        std::printf("could not open the brief\n");
        return 1;
    }

    OnNextModal([](QDialog* d) {
        auto* setup = qobject_cast<TBriefOpts*>(d);
        setup->Pages()->setCurrentIndex(1);
        ClickRow(setup->ArchiveList(), 2);
        Shot("archive-1-tab-row-selected");
        // The question, shot while it is shown, then answered Yes.
        QTimer::singleShot(300, [] {
            Shot("archive-2-delete-question");
            if (QWidget* question = QApplication::activeModalWidget())
                for (QPushButton* b : question->findChildren<QPushButton*>())
                    if (b->text() == "&Yes") b->click();
        });
        setup->findChild<QPushButton*>("DeleteBrief")->click();
        Shot("archive-3-after-delete");
        setup->findChild<QPushButton*>("ViewBriefClose")->click();
    });
    frame.BriefSetup();

    // A browser session showing a page: Add Page from Browser makes it the first entry.
    TempDir home;
    qputenv("HOME", home.Path().string().c_str());
    WriteFirefoxSession(home.Path(), "shots.default",
                        SessionJson("https://www.example.org/gardening/roses",
                                    "Roses in winter \xE2\x80\x93 Garden notes"));
    frame.AddPageFromBrowser();
    Shot("archive-4-after-add-page-from-browser");
    frame.close();
    return 0;
}
