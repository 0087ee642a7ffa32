#include "Engine/ui/BriefProcessing.h"

#include "Engine/RunFlags.h"
#include "Platform/Dialogs.h"
#include "Shell/ui/MessageDialogs.h"

#if __has_include("Engine/RunCancel.h")
#include "Engine/RunCancel.h"
#define GATHRA_HAVE_RUN_CANCEL 1
#endif

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace gathra {

std::string FitProgressText(const std::string& text, int left, int dialogWidth,
                            const std::function<int(const std::string&)>& width) {
    size_t start = text.find_first_not_of(" \t\r\n");
    std::string given = start == std::string::npos ? std::string() : text.substr(start, 255);
    size_t cut = given.find_first_of("\r\n\t");
    if (cut != std::string::npos) given.resize(cut);
    for (size_t n = given.size(); n > 0; --n) {
        std::string shown = given.substr(0, n);
        if (n < given.size()) shown += "...";
        if (width(shown) + left < dialogWidth - 30) return shown;
    }
    return given.empty() ? given : std::string("...");
}

namespace {
constexpr int ClientWidth = 376;
constexpr int ClientHeight = 211;
} // namespace

TBriefProcessing::TBriefProcessing(Dialogs& dialogs, RunFlags& flags, QWidget* parent)
    : QDialog(parent ? parent : MainForm(),
              Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs), flags_(flags) {
    setWindowTitle(tr("Creating Brief"));
    setFixedSize(ClientWidth, ClientHeight);
    QFont bold = font();
    bold.setBold(true);

    AddLabel(this, tr("Processing Brief:"), 10, 10, 100)->setFont(bold);
    labels_[ProgressLabel::BriefName] = AddLabel(this, {}, 115, 10, 255);
    AddLabel(this, tr("Current Entry:"), 10, 30, 100);
    labels_[ProgressLabel::CurrEntry] = AddLabel(this, {}, 115, 30, 255);
    AddLabel(this, tr("Current Page:"), 10, 50, 100);
    labels_[ProgressLabel::CurrAddr] = AddLabel(this, {}, 115, 50, 255);

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

QLabel* TBriefProcessing::AddLabel(QWidget* parent, const QString& text, int x, int y,
                                   int width) {
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
    std::string fitted = FitProgressText(text, left, width(), [&](const std::string& s) {
        return metrics.horizontalAdvance(FromStored(s));
    });
    label->resize(std::max(0, width() - left - 10), label->height());
    label->setText(FromStored(fitted));
    repaint();
}

void TBriefProcessing::UpdateProgress(int value) { bar_->setValue(std::clamp(value, 0, 100)); }

void TBriefProcessing::AbortClick() {
    flags_.QuestionOpen = 1;
    if (dialogs_.Ask("Are you sure you want to stop this brief?", "Stop Brief?") == 0 &&
        flags_.RunActive == 1) {
#ifdef GATHRA_HAVE_RUN_CANCEL
        if (&flags_ == &ProgramRunFlags())
            RequestAbort();
        else
            flags_.AbortFlag = 1;
#else
        flags_.AbortFlag = 1;
#endif
    }
    flags_.QuestionOpen = 0;
    if (flags_.AbortFlag != 0 && flags_.RunActive != 0) {
        abort_->setEnabled(false);
        skip_->setEnabled(false);
    }
}

void TBriefProcessing::SkipClick() {
    flags_.QuestionOpen = 1;
    if (dialogs_.Ask("Are you sure you want to skip this entry?", "Skip Entry?") == 0 &&
        flags_.RunActive == 1) {
#ifdef GATHRA_HAVE_RUN_CANCEL
        if (&flags_ == &ProgramRunFlags())
            RequestSkip();
        else
            flags_.SkipFlag = 1;
#else
        flags_.SkipFlag = 1;
#endif
    }
    flags_.QuestionOpen = 0;
    if (flags_.SkipFlag != 0 && flags_.AbortFlag != 0) {
        abort_->setEnabled(false);
        skip_->setEnabled(false);
    }
}

void TBriefProcessing::closeEvent(QCloseEvent* event) { event->ignore(); }

} // namespace gathra
