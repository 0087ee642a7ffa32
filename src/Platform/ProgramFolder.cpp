#include "Platform/ProgramFolder.h"

#include <cstdlib>

#ifndef GATHRA_SHARE_DIR
#define GATHRA_SHARE_DIR "/usr/local/share/gathralight"
#endif

namespace gathra {

namespace {

std::string WithTrailingSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

bool IsFolder(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

} // namespace

std::string ProgramFolderFor(const std::filesystem::path& executable,
                             const std::filesystem::path& shareFolder) {
    std::filesystem::path beside = executable.parent_path();
    if (IsFolder(beside / "images") && IsFolder(beside / "Briefs") && IsFolder(beside / "help"))
        return WithTrailingSlash(beside.string());
    if (!shareFolder.empty() && IsFolder(shareFolder))
        return WithTrailingSlash(shareFolder.string());
    return WithTrailingSlash(beside.string());
}

std::filesystem::path InstalledShareFolder() {
    return GATHRA_SHARE_DIR;
}

std::string DetectProgramFolder() {
    if (const char* forced = std::getenv("GATHRA_PROGRAM_FOLDER"); forced != nullptr && *forced)
        return WithTrailingSlash(forced);
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) executable = std::filesystem::current_path(error) / "gathra";
    // An installed program finds its share folder from where it sits ($prefix/bin/..), so that
    // any prefix works (and a tree installed under DESTDIR can be tried where it lies).
    const std::filesystem::path relative =
        (executable.parent_path() / ".." / "share" / "gathralight").lexically_normal();
    return ProgramFolderFor(executable, IsFolder(relative) ? relative : InstalledShareFolder());
}

} // namespace gathra
