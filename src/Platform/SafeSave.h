#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace gathra {

// Replacing a stored file (a brief, its catalogue, the settings) without ever leaving a
// half-written one: the new bytes go to a file beside the old one, are flushed to disk and renamed
// over it. On failure each function leaves errno saying why.

// The file that a save replaces: the one a symbolic link points at rather than the link itself,
// so that the link keeps working and the file it names gets the new contents.
std::string FileToReplace(const std::string& path);

// Writes bytes to a new file beside path and flushes it to disk. Returns the new file's name,
// or nothing (and no file left behind) on failure. The new file takes the old file's permissions,
// so that replacing a file does not change who may read it; when there is no old file it gets mode
// less the process's umask. With keepOldMode false it always gets exactly mode.
// The file is written unnamed where the file system allows it and only given its name once
// complete, so a process killed while writing leaves nothing behind.
std::optional<std::string> WriteBeside(const std::string& path, std::string_view bytes,
                                       mode_t mode = 0666, bool keepOldMode = true);

// Renames temp over path; on failure temp is removed.
bool ReplaceWith(const std::string& temp, const std::string& path);

// Makes the renames in path's folder durable.
void SyncFolder(const std::string& path);

// Removes the temporary files of path ("NAME.tmpPID-N") whose writing process no longer runs:
// what a save killed between naming and renaming its temporary file left behind.
void RemoveStaleTemporaries(const std::string& path);

// The temporary name WriteBeside gives for path, process id and number.
std::string TemporaryName(const std::string& path, long pid, unsigned number);

} // namespace gathra
