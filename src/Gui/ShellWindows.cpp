#include "Gui/ShellWindows.h"

#include "Desktop/BrowserBridge.h"
#include "Platform/Browser.h"
#include "Gui/MessageDialogs.h"
#include "Gui/ToolIcons.h"

#include <QFile>

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace gathra {

TSplashScreen::TSplashScreen(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    QPixmap banner = ProgramBanner(360, 120);
    auto* picture = new QLabel(this);
    picture->setPixmap(banner);
    picture->move(11, 11);
    setFixedSize(banner.width() + 22, banner.height() + 22);
    setStyleSheet(QStringLiteral("TSplashScreen { background: #c0c0c0; }"));
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (++ticks_ == 1)
            timer_.setInterval(1000);
        else
            accept();
    });
    timer_.start();
}

THelpWindow::THelpWindow(const QString& helpFolder, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      folder_(helpFolder) {
    setWindowTitle(tr("Gathra Light Help"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    browser_ = new QTextBrowser(this);
    browser_->setOpenLinks(true);
    browser_->setSearchPaths({helpFolder});
    layout->addWidget(browser_);
    resize(520, 420);
}

void THelpWindow::ShowFile(const QString& name) {
    QString path = folder_ + name;
    if (!QFile::exists(path)) path = folder_ + QStringLiteral("contents.html");
    browser_->setSource(QUrl::fromLocalFile(path));
    // Help asked for from a dialog stays above that dialog, and is usable while it is open.
    QWidget* owner = DialogOwner();
    KeepAbove(this, owner);
    if (!isVisible() && owner != nullptr && owner != MainForm())
        PlaceBeside(owner->frameGeometry());
    show();
    raise();
    activateWindow();
}

void THelpWindow::PlaceBeside(const QRect& dialog) {
    // Beside the dialog, so that both can be read: to its right, else to its left, else where
    // the window is.
    const QScreen* display = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (display == nullptr) return;
    const QRect area = display->availableGeometry();
    const int top =
        std::clamp(dialog.top(), area.top(), std::max(area.top(), area.bottom() - height()));
    if (dialog.right() + 8 + width() <= area.right())
        move(dialog.right() + 8, top);
    else if (dialog.left() - 8 - width() >= area.left())
        move(dialog.left() - 8 - width(), top);
}

void THelpWindow::ShowTopic(int topic) {
    ShowFile(QStringLiteral("topic%1.html").arg(topic));
}

void THelpWindow::ShowContents() {
    ShowFile(QStringLiteral("contents.html"));
}

TAdBar::TAdBar(QWidget* parent)
    // A tool window of the main window: the window manager keeps it above the main window only,
    // not above other programs.
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint) {
    setWindowTitle(tr("Gathra Light Ad Bar"));
    auto* picture = new QLabel(this);
    picture->setPixmap(ProgramBanner(468, 60));
    picture->setGeometry(0, 0, 468, 60);
    setFixedSize(468, 60);
}

void TAdBar::PlaceBy(const QRect& mainFrame, int titleHeight) {
    placing_ = true;
    // Until the window manager has framed the bar, its frame is only its client area: count a
    // title bar like the main window's, so that the bar never covers the main window's title.
    int height = std::max(frameGeometry().height(), this->height() + titleHeight);
    int top = mainFrame.top() - height;
    if (top < 0) top = mainFrame.top() + mainFrame.height();
    move(mainFrame.left(), top);
    placing_ = false;
}

void TAdBar::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (placing_ || screen() == nullptr) return;
    QRect area = screen()->availableGeometry();
    QRect frame = frameGeometry();
    int x =
        std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width()));
    int y =
        std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height()));
    if (x != frame.left() || y != frame.top()) {
        placing_ = true;
        move(x, y);
        placing_ = false;
    }
}

std::string TBtnRightDlg::SummaryAddress(const std::string& runFolder, const std::string& summary) {
    return FileAddress(runFolder + summary);
}

TBtnRightDlg::TBtnRightDlg(const std::string& briefName, const std::string& summaryName,
                           const std::string& runFolder, Browser& browser, QWidget* parent)
    : QDialog(parent ? parent : DialogOwner()) {
    setWindowTitle(tr("Brief Ready"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    icon->setGeometry(10, 15, 32, 32);
    auto* name = new QLabel(FromStored(briefName), this);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    name->setGeometry(58, 12, 300, 18);
    auto* text = new QLabel(tr("The brief has been generated. Do you want to see it?"), this);
    text->setWordWrap(true);
    text->setGeometry(58, 32, 300, 36);
    yes_ = new QPushButton(tr("&Yes"), this);
    no_ = new QPushButton(tr("&No"), this);
    yes_->setDefault(true);
    yes_->setGeometry(375, 12, 75, 25);
    no_->setGeometry(375, 43, 75, 25);
    setFixedSize(462, 82);
    yes_->setFocus();
    std::string address = SummaryAddress(runFolder, summaryName);
    connect(yes_, &QPushButton::clicked, this, [this, &browser, address] {
        browser.OpenUrl(address, true);
        accept();
    });
    connect(no_, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace gathra
