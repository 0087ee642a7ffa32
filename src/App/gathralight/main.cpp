#include "Platform/Registry.h"
#include "Platform/Version.h"
#include "Gui/MDIFrame.h"
#include "Gui/SingleInstance.h"

#include <QApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <cstring>

namespace {

// Options answered before any window is made (no display is needed for them).
bool AnswerOption(int argc, char** argv, int& status) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("gathralight %s\n", gathra::ProgramVersion);
            status = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: gathralight [BRIEF.brf ...]\n"
                        "Opens the Gathra Light desktop program with the briefs given.\n"
                        "  --version  print the version and exit\n"
                        "  --help     print this help and exit\n");
            status = 0;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    int status = 0;
    if (AnswerOption(argc, argv, status)) return status;
    QApplication app(argc, argv);
    gathra::SetUpApplication();
    QStringList briefs = QApplication::arguments().mid(1);
    for (QString& brief : briefs)
        brief = QFileInfo(brief).absoluteFilePath();

    // A program already running for these settings takes the briefs; this one goes.
    gathra::TSingleInstance instance(
        QString::fromStdString(gathra::Registry::DefaultFile().string()));
    if (instance.HandOver(briefs)) return 0;
    instance.Listen();

    gathra::TMDIFrame frame;
    QObject::connect(&instance, &gathra::TSingleInstance::FilesArrived, &frame,
                     [&frame](const QStringList& files) {
                         frame.ComeToFront();
                         frame.OpenGivenBriefs(files);
                     });
    frame.show();
    frame.OpenGivenBriefs(briefs);
    return app.exec();
}
