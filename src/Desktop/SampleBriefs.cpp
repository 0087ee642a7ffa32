#include "Desktop/SampleBriefs.h"

#include "Platform/ProgramFolder.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace gathra {
namespace fs = std::filesystem;

bool FolderIsWritable(const std::string& folder) {
    return ::access(folder.c_str(), W_OK) == 0;
}

bool FolderIsUsers(const std::string& folder) {
    std::error_code error;
    fs::path path = fs::weakly_canonical(folder, error);
    if (error) path = fs::path(folder).lexically_normal();
    const fs::path installed = InstalledShareFolder().lexically_normal();
    for (fs::path at = path; !at.empty(); at = at.parent_path()) {
        if (at == installed ||
            (at.filename() == "gathralight" && at.parent_path().filename() == "share"))
            return false;
        if (at == at.parent_path()) break;
    }
    return FolderIsWritable(folder);
}

std::string UserBriefsFolder(const std::string& programFolder, const std::string& documentsFolder,
                             const WritableProbe& writable) {
    for (const char* name : {"briefs", "Briefs"}) {
        const std::string folder = programFolder + name;
        std::error_code error;
        if (fs::is_directory(folder, error) && writable(folder)) return folder + "/";
    }
    std::string base = documentsFolder.empty() ? std::string(".") : documentsFolder;
    if (base.back() != '/') base += '/';
    return base + kUserBriefsFolderName + "/";
}

std::optional<std::vector<std::string>> SampleBriefPaths(const std::string& programFolder,
                                                         const std::string& userFolder,
                                                         const WritableProbe& writable) {
    const std::string samples = programFolder + "Briefs/";
    std::error_code error;
    for (const char* name : kSampleBriefs)
        if (!fs::exists(samples + name, error)) return std::nullopt;
    std::string folder = samples;
    if (!writable(programFolder + "Briefs") && !userFolder.empty()) {
        bool copied = fs::create_directories(userFolder, error) || fs::is_directory(userFolder);
        for (const char* name : kSampleBriefs) {
            const fs::path brief = fs::path(samples) / name;
            for (const fs::path& from : {brief, fs::path(brief).replace_extension(".cat")}) {
                const fs::path to = fs::path(userFolder) / from.filename();
                if (!copied || !fs::exists(from, error) || fs::exists(to, error)) continue;
                // Copied under a temporary name and then renamed: a copy cut short never
                // passes for the brief.
                const fs::path part = fs::path(to).concat(".part");
                copied = fs::copy_file(from, part, fs::copy_options::overwrite_existing, error);
                if (copied) {
                    fs::permissions(part, fs::perms::owner_read | fs::perms::owner_write,
                                    fs::perm_options::add, error);
                    fs::rename(part, to, error);
                    copied = !error;
                }
                if (!copied) fs::remove(part, error);
            }
        }
        if (copied) folder = userFolder;
    }
    std::vector<std::string> paths;
    for (const char* name : kSampleBriefs)
        paths.push_back(folder + name);
    return paths;
}

} // namespace gathra
