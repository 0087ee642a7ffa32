#include "Shell/ui/HelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace gathra::ui {

namespace {
QPointer<THelpWindow>& TheWindow() {
    static QPointer<THelpWindow> window;
    return window;
}
} // namespace

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle("Gathra Light Help");
    setObjectName("HelpWindow");
    browser_ = new QTextBrowser(this);
    browser_->setObjectName("HelpBrowser");
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(false);
    browser_->setSearchPaths({HelpFolder()});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(520, 440);
}

QString THelpWindow::HelpFolder() {
    const QString beside = QCoreApplication::applicationDirPath() + "/help";
    if (QFileInfo(beside + "/contents.html").exists()) return beside;
    return QString::fromUtf8(GATHRA_SOURCE_DATA_DIR) + "/help";
}

QString THelpWindow::TopicFile(int topic) {
    return HelpFolder() + QString("/topic%1.html").arg(topic);
}

void THelpWindow::OpenFile(const QString& path) {
    // A topic without a page falls back to the contents rather than showing nothing.
    const QString file =
        QFileInfo(path).exists() ? path : HelpFolder() + QStringLiteral("/contents.html");
    browser_->setSource(QUrl::fromLocalFile(file));
}

void THelpWindow::OpenTopic(int topic) {
    OpenFile(TopicFile(topic));
}
void THelpWindow::OpenContents() {
    OpenFile(HelpFolder() + "/contents.html");
}
QUrl THelpWindow::CurrentPage() const {
    return browser_->source();
}

THelpWindow* THelpWindow::Instance() {
    auto& window = TheWindow();
    if (!window) {
        window = new THelpWindow();
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    return window;
}

void THelpWindow::ShowTopic(int topic) {
    THelpWindow* w = Instance();
    w->OpenTopic(topic);
    w->show();
    w->raise();
    w->activateWindow();
}

void THelpWindow::ShowContents() {
    THelpWindow* w = Instance();
    w->OpenContents();
    w->show();
    w->raise();
    w->activateWindow();
}

void THelpWindow::CloseInstance() {
    if (auto& window = TheWindow()) delete window.data();
}

} // namespace gathra::ui
