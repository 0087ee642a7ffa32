#pragma once
#include "Brief/Brief.h"
#include "Platform/Dialogs.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace gathra {

// The brief organizer file (".brf": a header and tagged records with the brief's fields and
// entries) and its companion (".cat": the archived briefs), both little-endian with signed
// 16-bit words.

inline constexpr const char* kBriefLoadingErrorCaption = "Brief Organizer File Loading Error";
inline constexpr const char* kBriefLoadingErrorText =
    "This file is either corrupt or is not a Brief Organizer file. Gathra Light cannot load it.";
// A brief file that is not there or may not be read; the system's reason goes with it.
inline constexpr const char* kBriefOpeningErrorText =
    "Gathra Light cannot open this Brief Organizer file.";
inline constexpr const char* kBriefSavingErrorCaption = "Brief Organizer File Saving Error";
inline constexpr const char* kBriefSavingErrorText = "Failed to save Brief Organizer File.";

// Longest text a record can hold: its length is a signed word.
inline constexpr int kMaxBriefText = 32767;

// Writes the ".brf" and ".cat" files named by brief.FileName. Each file is written to a new file
// in the same folder, flushed to disk and renamed over the old one, so a failed save leaves the
// previous files whole; a file reached through a symbolic link is replaced where the link points.
// Returns false (after the saving error, through `dialogs`) when the ".brf" cannot be written
// (a read-only ".brf" included) or the brief does not fit the format's limits; a failure of the
// ".cat" alone
// is passed over, leaving the previous ".cat", as the catalogue is rewritten on the next save.
// With an empty FileName nothing is written and false is returned without a message: the caller
// asks for a name first.
bool SaveBriefs2(TBrief& brief, Dialogs& dialogs);

// Reads the files named by brief.FileName into `brief` (which starts over as a new brief). Sets
// BriefFolder from FileName. Returns false when the load failed: after the opening error (with
// the system's reason) for a file that cannot be read, after the loading error for a corrupt
// file, after its own message for a file (or ".cat") too large to be a brief, silently for a
// header that counts fewer than two words. A missing or unreadable
// ".cat" gives empty archive lists. A file that held plain-text credentials is saved again at
// once so that they are stored scrambled. No entry is selected afterwards.
bool ReadBriefs2(TBrief& brief, Dialogs& dialogs);

// The message for a brief file (or, with `catalogue`, its ".cat" file) of `size` bytes, past the
// size any brief can have: such a file is refused before it is read.
std::string BriefTooLargeText(std::uint64_t size, bool catalogue);

// Empty when the brief fits the format, else what does not fit (for a more helpful message
// than the saving error): texts over 32767 bytes, scrambled texts over 32767 bytes (plain texts
// over 24573), more than 32767 entries, reserved strings or archived briefs.
std::string BriefFileLimitProblem(const TBrief& brief);

// The bytes of the two files as SaveBriefs2 writes them (the brief must fit the limits).
std::string EncodeBriefFile(const TBrief& brief);
std::string EncodeCatalogueFile(const TBrief& brief);

// The companion's name: the brief file's path with its extension replaced by ".cat" (added when
// the name has none).
std::string CatFileName(std::string_view briefFileName);

// The folder part of a path with its trailing separator ("/" or "\"); empty when there is none.
std::string FolderOf(std::string_view path);

} // namespace gathra
