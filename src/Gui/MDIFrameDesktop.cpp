// The main window and the desktop around it: briefs opened from the command line or the file
// manager.
#include "Gui/SkeinForm.h"
#include "Gui/MDIFrame.h"
#include "Gui/MessageDialogs.h"

#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace gathra {

void TMDIFrame::OpenGivenBriefs(const QStringList& paths) {
    if (firstActivation_) {
        givenBriefs_ += paths;
        return;
    }
    for (const QString& given : paths) {
        const std::string path = QFileInfo(given).absoluteFilePath().toStdString();
        TSkeinForm* open = nullptr;
        for (TSkeinForm* form : tables_.BriefWindows())
            if (form->Brief.FileName == path) open = form;
        if (open != nullptr)
            mdiArea_->setActiveSubWindow(open->SubWindow());
        else
            OpenBriefFile(path);
    }
}

void TMDIFrame::ComeToFront() {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
    if (QWidget* front = FrontForm(); front != nullptr && front != this && front->isVisible()) {
        front->raise();
        front->activateWindow();
    }
}

} // namespace gathra
