#include "Gui/BriefProcessing.h"

#include "Gui/MessageDialogs.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

namespace gathra {

namespace {
constexpr int ClientWidth = 376;
constexpr int ClientHeight = 211;
} // namespace

TBriefProcessing::TBriefProcessing(Dialogs& dialogs, RunFlags& flags, SocketCanceller& canceller,
                                   QWidget* parent)
    // A dialog type, so that the window manager keeps it above the main window (it is
    // transient for it) however often the main window is clicked during the run.
    : QDialog(parent ? parent : MainForm(),
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      state_(dialogs, flags, canceller) {
    setWindowTitle(tr("Creating Brief"));
    setFixedSize(ClientWidth, ClientHeight);
    QFont bold = font();
    bold.setBold(true);

    AddLabel(this, tr("Processing Brief:"), 10, 10, 122)->setFont(bold);
    labels_[ProgressLabel::BriefName] = AddLabel(this, {}, 134, 10, 234);
    AddLabel(this, tr("Current Entry:"), 10, 30, 100);
    labels_[ProgressLabel::CurrEntry] = AddLabel(this, {}, 134, 30, 234);
    AddLabel(this, tr("Current Page:"), 10, 50, 100);
    labels_[ProgressLabel::CurrAddr] = AddLabel(this, {}, 134, 50, 234);

    auto* group = new QGroupBox(tr("Brief Statistics "), this);
    group->setGeometry(10, 74, 356, 66);
    AddLabel(group, tr("Pages:"), 12, 20, 60);
    labels_[ProgressLabel::PagesLoaded] = AddLabel(group, QStringLiteral("0"), 75, 20, 90);
    AddLabel(group, tr("Images:"), 12, 42, 60);
    labels_[ProgressLabel::ImagesLoaded] = AddLabel(group, QStringLiteral("0"), 75, 42, 90);
    AddLabel(group, tr("Depth:"), 185, 20, 65);
    labels_[ProgressLabel::CurrDepth] = AddLabel(group, {}, 255, 20, 95);
    AddLabel(group, tr("Size (KB):"), 185, 42, 65);
    labels_[ProgressLabel::BytesLoaded] = AddLabel(group, QStringLiteral("0"), 255, 42, 95);

    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setGeometry(10, 148, 356, 16);

    abort_ = new QPushButton(tr("&Stop Brief"), this);
    abort_->setDefault(true);
    abort_->setGeometry(98, 176, 85, 25);
    skip_ = new QPushButton(tr("Skip &Entry"), this);
    skip_->setGeometry(193, 176, 85, 25);
    connect(abort_, &QPushButton::clicked, this, &TBriefProcessing::AbortClick);
    connect(skip_, &QPushButton::clicked, this, &TBriefProcessing::SkipClick);
    CentreOnMainForm(this);
}

QLabel* TBriefProcessing::AddLabel(QWidget* parent, const QString& text, int x, int y, int width) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(x, y, width, 16);
    return label;
}

void TBriefProcessing::UpdateItem(ProgressLabel which, const std::string& text) {
    QLabel* label = labels_.value(which);
    if (label == nullptr) return;
    QFontMetrics metrics(labels_[ProgressLabel::CurrAddr]->font());
    int left = label->mapTo(this, QPoint(0, 0)).x();
    // The outer width of the dialog, as its labels are fitted to it.
    int outer = std::max(frameGeometry().width(), kProgressDialogWidth);
    const std::string& fitted = state_.UpdateItem(
        which, text,
        [&](std::string_view s) { return metrics.horizontalAdvance(FromStored(std::string(s))); },
        left, outer);
    label->resize(std::max(0, width() - left - 8), label->height());
    label->setText(FromStored(fitted));
    repaint();
}

void TBriefProcessing::UpdateProgress(int value) {
    state_.UpdateProgress(value);
    bar_->setValue(state_.Progress());
}

void TBriefProcessing::ShowButtons() {
    abort_->setEnabled(state_.ButtonsEnabled());
    skip_->setEnabled(state_.ButtonsEnabled());
}

void TBriefProcessing::AbortClick() {
    if (inQuestion_) return;
    inQuestion_ = true;
    AskAboveThis([this] { state_.AbortClick(); });
    AfterQuestion();
}

void TBriefProcessing::SkipClick() {
    if (inQuestion_) return;
    inQuestion_ = true;
    AskAboveThis([this] { state_.SkipClick(); });
    AfterQuestion();
}

void TBriefProcessing::AskAboveThis(const std::function<void()>& click) {
    // The Stop and Skip questions stand above the main window like every question, and this
    // dialog comes back to the front when they close, whatever the answer.
    QPointer<TBriefProcessing> self = this;
    click();
    if (self && isVisible()) BringToFront();
}

void TBriefProcessing::BringToFront() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void TBriefProcessing::AfterQuestion() {
    inQuestion_ = false;
    ShowButtons();
    if (retired_) deleteLater();
}

void TBriefProcessing::Retire() {
    hide();
    if (inQuestion_)
        retired_ = true;
    else
        delete this;
}

void TBriefProcessing::closeEvent(QCloseEvent* event) {
    if (!state_.CanClose()) event->ignore();
}

} // namespace gathra
