#pragma once
#include "Brief/WebList.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gathra {

// A brief's own fields and its entries. The desktop brief window owns one; the command line uses
// one directly.
class TBrief {
public:
    TBrief() = default;

    // The state of a new brief: default fields, no entries, empty lists.
    void CreateNewBrief();

    std::string FileName; // full path of the ".brf" file; empty until first saved
    std::string BriefName = "New Brief";
    std::optional<std::string> Comments; // none, or the memo text (lines end in CR LF)
    std::uint8_t ReservedByte = 0;
    std::string ReservedCode; // at most 6 characters
    std::uint8_t BriefActive = 1;
    std::vector<std::string> ArchivePaths;  // run folder number, a backslash, summary name
    std::vector<std::string> ArchiveTitles; // the run's start stamp, same index
    std::vector<std::string> ReservedList;
    std::uint8_t Generating = 0;
    std::string BriefFolder; // folder of FileName with a trailing separator; a run borrows it
    std::string HomeFolder;  // the brief's own folder while a run borrows BriefFolder

    TWebList WebList;
};

} // namespace gathra
