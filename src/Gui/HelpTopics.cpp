#include "Gui/HelpTopics.h"

#include "Gui/MDIFrame.h"
#include "Gui/MessageDialogs.h"
#include "Gui/ShellWindows.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

namespace gathra {

QString HelpFolder() {
    const QString beside = QCoreApplication::applicationDirPath() + "/help/";
    if (QFileInfo::exists(beside + "contents.html")) return beside;
    return QString::fromUtf8(GATHRA_SOURCE_DATA_DIR) + "/help/";
}

void ShowHelpTopic(int topic) {
    if (auto* frame = qobject_cast<TMDIFrame*>(MainForm())) {
        frame->OpenHelpTopic(topic);
        return;
    }
    static QPointer<THelpWindow> own;
    if (!own) {
        own = new THelpWindow(HelpFolder());
        own->setAttribute(Qt::WA_DeleteOnClose);
    }
    own->ShowTopic(topic);
}

} // namespace gathra
