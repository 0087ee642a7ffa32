#pragma once
#include "Net/NetContext.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace gathra {

class TBrief;

inline constexpr std::string_view kDiskErrorText =
    "Gathra Light was unable to complete the retrieval. Your disk appears to be full.";
inline constexpr std::string_view kDiskErrorCaption = "Disk Error";
// The disk buffer setting as the desktop program names it.
inline constexpr std::string_view kDiskBufferSetting =
    "the \"Minimum disk space\" setting (Edit, Preferences)";

// The message of a run stopped by the disk buffer: the free space, the buffer asked for and the
// setting (`setting`) that asks for it, each size in megabytes.
std::string DiskBufferText(std::uint64_t freeBytes, std::uint64_t bufferBytes,
                           std::string_view setting);

// The labels of the progress dialog that a run writes.
enum class ProgressLabel {
    BriefName,
    CurrEntry,
    CurrAddr,
    CurrDepth,
    PagesLoaded,
    ImagesLoaded,
    BytesLoaded
};

// Everything a brief run asks of the main thread. The desktop program carries out each call on
// the main thread while the run waits; the command line carries them out in place.
class RunHost : public TransferObserver {
public:
    virtual ~RunHost() = default;
    // Sets Generating and disables the brief's edit commands, remembering their states.
    virtual void LockControls(TBrief& brief) = 0;
    // Restores the remembered states and clears Generating.
    virtual void UnlockControls(TBrief& brief) = 0;
    virtual void CreateProgress() = 0;
    virtual void ShowProgress() = 0;
    virtual void UpdateItem(ProgressLabel label, const std::string& text) = 0;
    virtual void FreeProgress() = 0;
    // UpdateProgress: the progress dialog's bar; SetStatusText: the main window's status bar
    // (both from TransferObserver).
    // "Disk Error" after a beep.
    virtual void ShowDiskError(const std::string& text, const std::string& caption) = 0;
    // The same with the cause the system reported ("Permission denied"; empty when the run found
    // the disk full itself), shown beside the message.
    virtual void ShowDiskFailure(const std::string& text, const std::string& caption,
                                 const std::string& cause) {
        (void)cause;
        ShowDiskError(text, caption);
    }
    // The run stopped, or did not start, because the free space came down to the disk buffer
    // setting: both in bytes. The message names the setting as the desktop program shows it.
    virtual void ShowDiskBufferReached(std::uint64_t freeBytes, std::uint64_t bufferBytes) {
        ShowDiskFailure(DiskBufferText(freeBytes, bufferBytes, kDiskBufferSetting),
                        std::string(kDiskErrorCaption), {});
    }
    // The "Brief Ready" question of the run's end; Yes opens the summary page.
    virtual void BriefReady(const std::string& briefName, const std::string& summaryName,
                            const std::string& runFolder) = 0;
    // Archive lists are appended on the main thread's side, so that dialogs that list them never
    // see a half-made entry.
    virtual void AppendArchive(TBrief& brief, const std::string& path,
                               const std::string& title) = 0;
    virtual void Repaint() = 0;
    // A problem with the brief's search index (the run itself went on); once per run at most.
    // The default does nothing, for hosts that keep no index.
    virtual void ShowIndexProblem(const std::string& text) { (void)text; }
    // Saves the brief's files (after each stored entry and at the run's end), so that the
    // entries' run lists and the archive lists are kept even if the program ends meanwhile.
    // The default does nothing, for hosts whose briefs have no file.
    virtual void SaveBrief(TBrief& brief) { (void)brief; }
};

} // namespace gathra
