#include "Run/ProgressState.h"

#include "Run/RunCancel.h"
#include "Run/RunFlags.h"
#include "Platform/Dialogs.h"

#include <algorithm>

namespace gathra {

namespace {

constexpr size_t kMaxLabelBytes = 255;
constexpr int kRightMargin = 30;

bool IsLineSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::string FitLabelText(std::string_view text, const TextWidthFunction& width, int labelLeft,
                         int dialogWidth) {
    size_t start = 0;
    while (start < text.size() && IsLineSpace(text[start]))
        ++start;
    std::string_view current = text.substr(start, kMaxLabelBytes);
    current = current.substr(0, current.find_first_of("\r\n\t"));

    // Lengths beyond the current text give the same candidate, so the search starts at its end;
    // whether "..." follows is still judged against the text as given.
    size_t length = std::min(text.size(), current.size());
    for (;;) {
        std::string candidate(current.substr(0, length));
        if (candidate.size() < text.size()) candidate += "...";
        if (length == 0 || width(candidate) + labelLeft < dialogWidth - kRightMargin)
            return candidate;
        --length;
    }
}

TProgressState::TProgressState(Dialogs& dialogs, RunFlags& flags, SocketCanceller& canceller)
    : dialogs_(dialogs), flags_(flags), canceller_(canceller) {}

const std::string& TProgressState::UpdateItem(ProgressLabel label, std::string_view text,
                                              const TextWidthFunction& width, int labelLeft,
                                              int dialogWidth) {
    std::string& caption = captions_[static_cast<size_t>(label)];
    caption = FitLabelText(text, width, labelLeft, dialogWidth);
    return caption;
}

const std::string& TProgressState::Caption(ProgressLabel label) const {
    return captions_[static_cast<size_t>(label)];
}

void TProgressState::UpdateProgress(int value) {
    progress_ = std::clamp(value, 0, 100);
}

bool TProgressState::Confirm(std::string_view question, std::string_view caption) {
    flags_.QuestionOpen = 1;
    bool yes = dialogs_.Ask(std::string(question), std::string(caption)) == 0;
    // A run that ended while the question was on screen must not be stopped afterwards: its
    // flags would carry over into the next run.
    return yes && flags_.RunActive.load() == 1;
}

void TProgressState::AbortClick() {
    if (Confirm(kStopBriefQuestion, kStopBriefCaption)) RequestAbort(flags_, canceller_);
    flags_.QuestionOpen = 0;
    if (flags_.AbortFlag.load() != 0 && flags_.RunActive.load() != 0) buttonsEnabled_ = false;
}

void TProgressState::SkipClick() {
    if (Confirm(kSkipEntryQuestion, kSkipEntryCaption)) RequestSkip(flags_, canceller_);
    flags_.QuestionOpen = 0;
    if (flags_.SkipFlag.load() != 0 && flags_.AbortFlag.load() != 0) buttonsEnabled_ = false;
}

} // namespace gathra
