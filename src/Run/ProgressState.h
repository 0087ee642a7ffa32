#pragma once
#include "Run/RunHost.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace gathra {

class Dialogs;
class SocketCanceller;
struct RunFlags;

// The width of a text as the dialog's label font draws it, in pixels.
using TextWidthFunction = std::function<int(std::string_view)>;

// The progress dialog's outer width after creation; labels must end 30 pixels short of it.
inline constexpr int kProgressDialogWidth = 384;

inline constexpr std::string_view kStopBriefQuestion = "Are you sure you want to stop this brief?";
inline constexpr std::string_view kStopBriefCaption = "Stop Brief?";
inline constexpr std::string_view kSkipEntryQuestion = "Are you sure you want to skip this entry?";
inline constexpr std::string_view kSkipEntryCaption = "Skip Entry?";

// The label text that fits: leading blanks, tabs and line breaks skipped, at most 255 bytes, cut
// at the first line break or tab, then shortened one byte at a time (with "..." after it) until
// its width plus `labelLeft` is less than `dialogWidth` - 30. A text cut at a line break also
// gets the "...", which tells that more was there. Never longer than 258 bytes, even for huge
// input, and a measure that never fits ends at "...".
std::string FitLabelText(std::string_view text, const TextWidthFunction& width, int labelLeft,
                         int dialogWidth = kProgressDialogWidth);

// What the progress dialog decides, without drawing: its label texts, its progress value, and
// the Stop Brief and Skip Entry buttons with their confirmations. The desktop dialog holds one,
// forwards its clicks here and paints from it.
class TProgressState {
public:
    TProgressState(Dialogs& dialogs, RunFlags& flags, SocketCanceller& canceller);

    // Fits and stores a label's text; answers the caption to show.
    const std::string& UpdateItem(ProgressLabel label, std::string_view text,
                                  const TextWidthFunction& width, int labelLeft,
                                  int dialogWidth = kProgressDialogWidth);
    const std::string& Caption(ProgressLabel label) const;

    // 0..100; values outside are held at the nearest end.
    void UpdateProgress(int value);
    int Progress() const { return progress_; }

    // Asks "Stop Brief?"; a Yes while a run is active raises AbortFlag and cancels the run's
    // socket call. Afterwards both buttons are disabled when the brief is stopping.
    void AbortClick();
    // Asks "Skip Entry?"; a Yes while a run is active raises SkipFlag and cancels the socket
    // call. The buttons stay enabled after a skip alone: the run puts up a fresh dialog for the
    // next entry.
    void SkipClick();
    bool ButtonsEnabled() const { return buttonsEnabled_; }

    // The user cannot close the dialog; the run frees it.
    bool CanClose() const { return false; }

private:
    bool Confirm(std::string_view question, std::string_view caption);

    Dialogs& dialogs_;
    RunFlags& flags_;
    SocketCanceller& canceller_;
    std::array<std::string, 7> captions_;
    int progress_ = 0;
    bool buttonsEnabled_ = true;
};

} // namespace gathra
