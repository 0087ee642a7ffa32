#pragma once
#include <filesystem>
#include <string>

namespace gathra {

// The folder that holds the program's images/, Briefs/ and help/ folders, with a trailing "/":
// the executable's own folder when all three sit beside it (a build tree), else `shareFolder`
// when it exists (an installed program), else the executable's folder all the same.
std::string ProgramFolderFor(const std::filesystem::path& executable,
                             const std::filesystem::path& shareFolder);

// The installed share folder of the program ($prefix/share/gathralight).
std::filesystem::path InstalledShareFolder();

// $GATHRA_PROGRAM_FOLDER when it is set, else ProgramFolderFor(/proc/self/exe, share folder),
// the share folder being ../share/gathralight from the executable's folder when it exists, else
// InstalledShareFolder().
std::string DetectProgramFolder();

} // namespace gathra
