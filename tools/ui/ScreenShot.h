#pragma once
// What the screenshot tools share: whole-screen shots with ImageMagick's `import` into the folder
// named on the command line, and the main window placed where every shot expects it.
#include "Gui/MDIFrame.h"
#include "Gui/support/UiTestSupport.h"

#include <QApplication>
#include <QProcess>
#include <QString>
#include <QTest>
#include <cstdio>
#include <string>

namespace gathra::tools {

// The folder the shots go to: the first argument, else the current folder.
inline QString& ShotFolder() {
    static QString folder = QStringLiteral(".");
    return folder;
}

inline void TakeShotsInto(int argc, char** argv) {
    if (argc > 1) ShotFolder() = QString(argv[1]);
}

// Lets the screen settle, then takes it as NAME.png.
inline void Shot(const QString& name) {
    QTest::qWait(400);
    QString path = ShotFolder() + "/" + name + ".png";
    int status = QProcess::execute("import", {"-window", "root", path});
    std::printf("%s: %s\n", qPrintable(path), status == 0 ? "taken" : "failed");
    std::fflush(stdout);
}

// The harness's main window at the place and size the shots are taken of.
inline TMDIFrame& PlacedFrame(test::FrameHarness& h) {
    TMDIFrame& frame = h.Frame();
    frame.setGeometry(40, 110, 760, 520);
    QTest::qWait(200);
    return frame;
}

// What every tool starts with: the application, the shots' folder from the command line, and the
// harness's main window placed where the shots expect it.
struct ShotSession {
    ShotSession(int& argc, char** argv) : App(argc, argv) { TakeShotsInto(argc, argv); }

    QApplication App;
    test::FrameHarness Harness;
    TMDIFrame& Frame = PlacedFrame(Harness);
};

// The brief both tools open: two web entries under the name "Reading"; its file's path.
inline std::string ReadingBrief(test::FrameHarness& h) {
    return test::WriteBriefFile(
        h.PathOf("Reading.brf"),
        {{"Morning paper", false, "http://paper.example/"}, {"Garden club", false, "http://g/"}},
        "Reading");
}

} // namespace gathra::tools
