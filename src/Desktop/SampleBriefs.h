#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace gathra {

// Answers whether the user may write into a folder (an existing one).
using WritableProbe = std::function<bool(const std::string& folder)>;
// access(2) with W_OK.
bool FolderIsWritable(const std::string& folder);
// Whether the user's briefs may live in a folder of the program: where the user may write, but
// never inside an installed program's share folder ($prefix/share/gathralight), which belongs to
// the system even for root, whom access(2) lets write anywhere.
bool FolderIsUsers(const std::string& folder);

// The sample briefs a first start opens, in this order.
inline const char* const kSampleBriefs[] = {"Leisure.brf", "Sports.brf", "News.brf", "Gov.brf"};

// The folder named after the program that the user's briefs go to in the documents folder.
inline constexpr const char* kUserBriefsFolderName = "Gathra Light";

// Where the user's briefs go by default: the program's own "briefs" or "Briefs" folder when the
// user may write there (a program unpacked in the user's own folders), else a folder named
// after the program in the user's documents folder, where the user finds the briefs and the
// pages their runs store beside them, as an installed program's folders belong to the system.
// Ends with "/". The folder is not made.
std::string UserBriefsFolder(const std::string& programFolder, const std::string& documentsFolder,
                             const WritableProbe& writable);

// The sample briefs to open at a first start, or none when any of the four is missing from the
// program's "Briefs" folder. Where the user may not write into that folder, the briefs (with
// their archive catalogues) are copied into userFolder first, so that the user's changes can be
// saved; a copy that is there already (an earlier first start's, perhaps changed since) is kept
// as it is. Answers the program's own briefs when the copy cannot be made.
std::optional<std::vector<std::string>> SampleBriefPaths(const std::string& programFolder,
                                                         const std::string& userFolder,
                                                         const WritableProbe& writable);

} // namespace gathra
