#pragma once
#include <algorithm>
#include <vector>

namespace gathra {

// The main window's tables of open windows: `BriefWindows` (brief windows in the order they
// were created; a window's slot is its BriefIndex), `WindowList` (every MDI child in the order it
// was added) and `CurrentBrief`, the slot that menu and toolbar commands act on. Both tables are
// bounded; a full table refuses new windows rather than overrunning.
template <class BriefWindow, class ChildWindow> class TWindowTables {
public:
    static constexpr int MaxWindows = 201;

    int OpenBriefCount() const { return static_cast<int>(briefs_.size()); }
    int WindowCount() const { return static_cast<int>(children_.size()); }
    int CurrentBrief = -1;

    bool CanAddBrief() const { return OpenBriefCount() < MaxWindows; }
    bool CanAddChild() const { return WindowCount() < MaxWindows; }

    // Enters a new brief window in the next slot, which becomes current. Returns its slot, or
    // -1 when the table is full.
    int AddBrief(BriefWindow* window) {
        if (!CanAddBrief()) return -1;
        briefs_.push_back(window);
        CurrentBrief = OpenBriefCount() - 1;
        return CurrentBrief;
    }
    // Enters a child in the window list; false when that list is full.
    bool AddChild(ChildWindow* window) {
        if (!CanAddChild() || Contains(children_, window)) return false;
        children_.push_back(window);
        return true;
    }

    // Takes a closing brief window out of both tables; later slots move down by one.
    void RemoveBrief(BriefWindow* brief, ChildWindow* child) {
        Erase(briefs_, brief);
        RemoveChild(child);
        if (CurrentBrief >= OpenBriefCount()) CurrentBrief -= 1;
    }
    void RemoveChild(ChildWindow* child) { Erase(children_, child); }

    int BriefIndex(const BriefWindow* window) const { return IndexOf(briefs_, window); }
    int WindowPosition(const ChildWindow* window) const { return IndexOf(children_, window); }
    bool InWindowList(const ChildWindow* window) const { return WindowPosition(window) >= 0; }

    BriefWindow* Brief(int slot) const {
        return slot >= 0 && slot < OpenBriefCount() ? briefs_[static_cast<size_t>(slot)] : nullptr;
    }
    BriefWindow* Current() const { return Brief(CurrentBrief); }
    ChildWindow* Child(int position) const {
        return position >= 0 && position < WindowCount() ? children_[static_cast<size_t>(position)]
                                                         : nullptr;
    }
    const std::vector<BriefWindow*>& BriefWindows() const { return briefs_; }
    const std::vector<ChildWindow*>& WindowList() const { return children_; }

private:
    template <class T> static bool Contains(const std::vector<T*>& v, const T* w) {
        return std::find(v.begin(), v.end(), w) != v.end();
    }
    template <class T> static int IndexOf(const std::vector<T*>& v, const T* w) {
        auto it = std::find(v.begin(), v.end(), w);
        return it == v.end() ? -1 : static_cast<int>(it - v.begin());
    }
    template <class T> static void Erase(std::vector<T*>& v, const T* w) {
        auto it = std::find(v.begin(), v.end(), w);
        if (it != v.end()) v.erase(it);
    }

    std::vector<BriefWindow*> briefs_;
    std::vector<ChildWindow*> children_;
};

} // namespace gathra
