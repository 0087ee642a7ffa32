#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace gathra {

enum class EntryKind { Web = 0, Search = 1 };

// One entry of a brief: a web page address or a search query, with its retrieval options.
// Plain data: the list view shows EntryName and Active and reads them back from here.
struct TWebPage {
    TWebPage() = default;
    explicit TWebPage(EntryKind kind);

    std::int32_t RowLeft = 0;
    std::int32_t RowTop = 0; // row index times the row height, from the top of the list

    std::uint8_t Locked = 0;
    std::string LockedText = "Locked Entry";
    std::int32_t LockedTextSize = 18;
    std::string AgentComment;

    std::uint8_t Active = 1;            // the row's check mark
    std::string EntryName = "New Page"; // the row's name label; the query of a search entry
    std::string DepthText = "1";        // the row's depth label

    std::uint8_t ReservedFlag = 1;
    std::string Address; // as the user typed it; empty for a search entry
    std::vector<std::string> RunFiles;
    std::vector<std::string> RunNotes;
    std::int32_t SpiderDepth = 1;
    std::uint8_t LoadImages = 0;
    std::uint8_t LoadBinaries = 0;
    std::string UserName;
    std::string Password;
    std::string ReservedText;
    std::uint8_t LocalOnly = 1;
    std::uint8_t NameSet = 0;
    std::uint8_t IsSearch = 0;

    bool IsSearchEntry() const { return IsSearch != 0; }

    // Copies the entry's values (not the row position and not the run's scratch lists) in the
    // order the brief window's cut, copy, paste and drop use.
    void TransferFrom(const TWebPage& source);

    // The shown name: the given name, else the address, else "New Page".
    void ApplyShownName();
    // After a dialog: the depth label follows SpiderDepth when they differ.
    void ApplyDepthLabel();
    // Turns the entry into a search entry (IsSearch 1).
    void MakeSearch();
};

} // namespace gathra
