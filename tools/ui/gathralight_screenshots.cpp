// Drives the desktop program through a brief's life and takes screenshots of the whole screen
// with ImageMagick's `import`: two briefs open (one with a search entry, one entry selected), the
// progress dialog of a run, and the "Brief Ready" question. Run it on an X server, for example:
//   Xvfb :99 -screen 0 1024x768x24 & DISPLAY=:99 build/gathralight_screenshots /tmp/shots
#include "Gui/SkeinForm.h"
#include "Gui/WebScrollBox.h"
#include "ScreenShot.h"
#include "Gui/MDIFrame.h"
#include "support/TestHttpServer.h"
#include "Gui/support/UiTestSupport.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <cstdio>

using namespace gathra;
using namespace gathra::test;
using namespace gathra::tools;

int main(int argc, char** argv) {
    ShotSession session(argc, argv);
    FrameHarness& h = session.Harness;
    TMDIFrame& frame = session.Frame;

    std::string folder = frame.Settings().ProgramFolder + "Briefs/";
    // A copy of a sample brief, so that the shipped one stays as it is.
    std::filesystem::copy_file(folder + "Leisure.brf", h.PathOf("Leisure.brf"));
    std::filesystem::copy_file(folder + "Leisure.cat", h.PathOf("Leisure.cat"));
    TSkeinForm* leisure = frame.OpenBriefFile(h.PathOf("Leisure.brf"));
    TestHttpServer server;
    TestResponse slow = TestResponse::Html(
        "<html><head><title>Daily notes</title></head><body><p>Today</p>"
        "<a href=\"/archive/2026/december/notes-from-the-week-of-the-seventh.html\">more</a>"
        "</body></html>");
    slow.DelayMs = 2500;
    server.Serve("/", slow);
    server.Serve("/archive/2026/december/notes-from-the-week-of-the-seventh.html", slow);
    std::string runPath = WriteBriefFile(h.PathOf("Morning.brf"),
                                         {{"Daily notes", false, server.Url("/")},
                                          {"Local weather", false, server.Url("/weather")},
                                          {"gardening in winter", true}},
                                         "Morning Reading");
    TSkeinForm* morning = frame.OpenBriefFile(runPath);
    if (leisure == nullptr || morning == nullptr) {
        std::printf("could not open the briefs\n");
        return 1;
    }
    frame.MdiArea()->tileSubWindows();
    QTest::qWait(100);
    QTest::mouseClick(leisure->ScrollBox()->viewport(), Qt::LeftButton, {}, QPoint(120, 12));
    QTest::mouseClick(morning->ScrollBox()->viewport(), Qt::LeftButton, {}, QPoint(120, 26 + 12));
    Shot("1-main-window");

    morning->Brief.WebList.Entry(0).SpiderDepth = 2;
    morning->Brief.WebList.Entry(2).Active = 0;
    frame.SetCurrentBrief(morning);
    bool progressTaken = false;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (!progressTaken && frame.Progress() && frame.Progress()->isVisible()) {
            progressTaken = true;
            sampler.stop();
            QTimer::singleShot(1200, [&] { Shot("2-progress"); });
        }
    });
    sampler.start(20);
    OnNextModal(
        [](QDialog* dialog) {
            Shot("3-brief-ready");
            ClickButtonNamed(dialog, "&No");
        },
        120000);
    frame.GenerateBrief();
    for (int i = 0; i < 600 && frame.RunInProgress(); ++i)
        QTest::qWait(50);
    Shot("4-after-run");
    frame.close();
    return 0;
}
