#pragma once
// The layout of brief files, shared by their writer and their reader (not for other callers).
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace gathra::brieffile {

inline constexpr std::string_view kMagic = "SKBF-QRW";
inline constexpr std::string_view kDefaultLockedText = "Locked Entry";
inline constexpr std::int32_t kDefaultLockedTextSize = 18;
inline constexpr size_t kMaxReservedCode = 6;
inline constexpr int kMaxCount = 32767;

enum Tag : int {
    TagBriefName = 0,
    TagComments = 1,
    TagReservedByte = 2,
    TagReservedCode = 3,
    TagBriefActive = 4,
    TagReservedCount = 5,
    TagReservedString = 6,
    TagEntryCount = 7,
    TagActive = 8,
    TagEntryName = 9,
    TagAddress = 10,
    TagReservedFlag = 11,
    TagSpiderDepth = 12,
    TagLoadImages = 13,
    TagLoadBinaries = 14,
    TagPlainUserName = 15,
    TagPlainPassword = 16,
    TagReservedText = 17,
    TagLocalOnly = 18,
    TagNameSet = 19,
    TagDiscarded = 20,
    TagRemoveEntry = 23,
    TagPassword = 29,
    TagUserName = 30,
    TagLocked = 31,
    TagAgentComment = 33,
    TagLockedText = 34,
    TagLockedTextSize = 35,
    TagIsSearch = 39,
};

} // namespace gathra::brieffile
