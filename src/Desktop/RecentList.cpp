#include "Desktop/RecentList.h"

namespace gathra {

std::string FileNamePart(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

void TRecentList::AddToRecent(const std::string& path, WindowRef window) {
    for (int i = 0; i < count_; ++i) {
        if (paths_[static_cast<size_t>(i)] != path) continue;
        for (int j = i; j + 1 < count_; ++j) {
            paths_[static_cast<size_t>(j)] = paths_[static_cast<size_t>(j + 1)];
            windows_[static_cast<size_t>(j)] = windows_[static_cast<size_t>(j + 1)];
        }
        --count_;
        break;
    }
    for (int j = count_; j > 0; --j) {
        paths_[static_cast<size_t>(j)] = paths_[static_cast<size_t>(j - 1)];
        windows_[static_cast<size_t>(j)] = windows_[static_cast<size_t>(j - 1)];
    }
    paths_[0] = path;
    windows_[0] = window;
    ++count_;
    if (count_ > MaxShown) {
        count_ = MaxShown;
        paths_[MaxShown].clear();
        windows_[MaxShown] = nullptr;
    }
}

void TRecentList::ForgetWindow(WindowRef window) {
    if (window == nullptr) return;
    for (auto& w : windows_)
        if (w == window) w = nullptr;
}

void TRecentList::Restore(const std::vector<std::string>& records) {
    int examined = 0;
    for (const std::string& path : records) {
        if (count_ >= MaxShown || examined >= MaxShown) break;
        ++examined;
        if (path.empty()) continue;
        bool listed = false;
        for (int i = 0; i < count_; ++i)
            listed = listed || paths_[static_cast<size_t>(i)] == path;
        if (listed) continue;
        paths_[static_cast<size_t>(count_)] = path;
        windows_[static_cast<size_t>(count_)] = nullptr;
        ++count_;
    }
}

std::array<std::string, TRecentList::MaxShown> TRecentList::Slots() const {
    std::array<std::string, MaxShown> slots{};
    for (int i = 0; i < count_; ++i)
        slots[static_cast<size_t>(i)] = paths_[static_cast<size_t>(i)];
    return slots;
}

std::vector<std::string> TRecentList::Captions() const {
    std::vector<std::string> captions;
    for (int i = 0; i < count_; ++i)
        captions.push_back("&" + std::to_string(i + 1) + " " +
                           FileNamePart(paths_[static_cast<size_t>(i)]));
    return captions;
}

} // namespace gathra
