#pragma once
#include <array>
#include <string>
#include <vector>

namespace gathra {

// The four most recently opened or created briefs of the File menu, most recent first. Each
// slot remembers the open window of its path (an opaque reference the main window gives), so
// that a click can bring that window to the front instead of opening the file again.
class TRecentList {
public:
    static constexpr int MaxShown = 4;
    using WindowRef = const void*;

    int Count() const { return count_; }
    const std::string& Path(int slot) const { return paths_.at(static_cast<size_t>(slot)); }
    WindowRef Window(int slot) const { return windows_.at(static_cast<size_t>(slot)); }

    // A brief was opened or created: its path moves to (or enters at) the top; the oldest of
    // five falls out. Paths compare case-sensitively.
    void AddToRecent(const std::string& path, WindowRef window);
    // The window closed: its slot no longer refers to it.
    void ForgetWindow(WindowRef window);
    // Appends the records of "Previous Briefs" after the briefs already listed. Records of
    // length byte 0 or 1 (empty slots) and paths already listed are skipped; at most four
    // records are examined.
    void Restore(const std::vector<std::string>& records);
    // Slots 0 to 3 for "Previous Briefs"; unused slots are empty texts.
    std::array<std::string, MaxShown> Slots() const;

    // The captions of the menu items, "&1 name.brf" and on, in slot order.
    std::vector<std::string> Captions() const;

    // What a click on a recent item does.
    struct ClickAction {
        WindowRef BringToFront = nullptr; // an open window of that path
        std::string OpenPath;             // else the file to open (empty: nothing to do)
    };
    // `windowFileName` tells the current file name of an open window (it may have been saved
    // under another name since).
    template <class FileNameOf> ClickAction Click(int slot, FileNameOf windowFileName) const {
        ClickAction action;
        if (slot < 0 || slot >= count_) return action;
        WindowRef window = Window(slot);
        if (window != nullptr) {
            if (windowFileName(window) == Path(slot)) action.BringToFront = window;
            return action;
        }
        action.OpenPath = Path(slot);
        return action;
    }

private:
    std::array<std::string, MaxShown + 2> paths_{};
    std::array<WindowRef, MaxShown + 2> windows_{};
    int count_ = 0;
};

// The file-name part of a path: what follows its last "\" or "/".
std::string FileNamePart(const std::string& path);

} // namespace gathra
