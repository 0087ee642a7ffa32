#include "Run/FileNames.h"
#include "Text/AsciiText.h"

#include "Platform/WholeFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace gathra {
namespace {

// lstat, so that a dangling link also counts as a taken name.
bool NameExists(const std::string& path) {
    struct stat info;
    return ::lstat(PosixPath(path).c_str(), &info) == 0;
}

std::string CleanExtension(std::string_view ext, std::string_view cgiBecomes,
                           std::string_view emptyBecomes) {
    // Only the letters and digits that begin the extension count ("html;jsessionid=1" is an
    // "html" page); with none, the name gets the usual extension rather than end in ".".
    std::string lowered;
    for (char c : ext) {
        if (!std::isalnum(static_cast<unsigned char>(c))) break;
        lowered += AsciiLower(c);
    }
    if (lowered.empty()) return std::string(emptyBecomes);
    if (lowered == "jpeg")
        lowered = "jpg";
    else if (lowered == "cgi")
        lowered = cgiBecomes;
    else if (lowered == "mpeg")
        lowered = "mpg";
    if (lowered.size() > 3) lowered.resize(3);
    return lowered;
}

// The span of numbers drawn into `folder` for one prefix when the counters know it as fresh.
FileNameCounters::NumberSpan*
FreshSpan(FileNameCounters& counters,
          FileNameCounters::NumberSpan FileNameCounters::FreshFolder::*span,
          std::string_view folder) {
    if (counters.Fresh.Path.empty() || counters.Fresh.Path != folder) return nullptr;
    return &(counters.Fresh.*span);
}

bool Taken(const FileNameCounters::NumberSpan* span, std::int64_t n, const std::string& path) {
    if (span != nullptr && (n < span->Low || n >= span->High)) return false;
    return NameExists(path);
}

void Drawn(FileNameCounters::NumberSpan* span, std::int64_t n) {
    if (span == nullptr) return;
    if (span->Low == span->High) {
        span->Low = n;
        span->High = n + 1;
    } else {
        span->Low = std::min(span->Low, n);
        span->High = std::max(span->High, n + 1);
    }
}

// Candidates step by 100 so that names drawn after a crowded stretch do not probe every taken
// number one by one.
std::string NewNumberedName(std::atomic<std::int32_t>& counter, FileNameCounters::NumberSpan* span,
                            std::string_view folder, std::string_view prefix,
                            const std::string& ext, std::int64_t limit) {
    for (std::int64_t n = counter.load(); n >= 0 && n < limit; n += 100) {
        std::string name = std::string(prefix) + std::to_string(n) + "." + ext;
        if (!Taken(span, n, InFolder(folder, name))) {
            counter = static_cast<std::int32_t>(n + 1);
            Drawn(span, n);
            return name;
        }
    }
    return std::string(kNoFreeName);
}

void WriteRecord(TOutputFile& catalog, std::string_view name) {
    std::string record(1, static_cast<char>(static_cast<unsigned char>(name.size())));
    record.append(name.data(), name.size());
    catalog.Write(record);
}

bool FitsOneRecord(std::string_view name) {
    return !name.empty() && name.size() <= 255;
}

} // namespace

FileNameCounters& ProgramFileNameCounters() {
    static FileNameCounters counters;
    return counters;
}

RunFolderName RunFolder(std::string_view briefFolder) {
    for (std::int64_t n = 0;; ++n) {
        std::string number = std::to_string(n);
        std::string path = std::string(briefFolder) + number;
        if (!NameExists(path)) return RunFolderName{number, path};
    }
}

RunFolderName CreateRunFolder(std::string_view briefFolder) {
    // Bounded so that a folder that refuses every name ends in a disk error, not a hang.
    constexpr int kAttempts = 100000;
    RunFolderName name = RunFolder(briefFolder);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (::mkdir(PosixPath(name.Path).c_str(), 0777) == 0) return name;
        if (errno != EEXIST)
            throw TDiskError("cannot create folder " + name.Path + ": " + std::strerror(errno),
                             std::strerror(errno));
        std::int64_t next = std::stoll(name.Number) + 1;
        name.Number = std::to_string(next);
        name.Path = std::string(briefFolder) + name.Number;
    }
    throw TDiskError("no free folder number in " + std::string(briefFolder));
}

std::string PageExtension(std::string_view ext) {
    return CleanExtension(ext, "htm", "htm");
}
std::string ImageExtension(std::string_view ext) {
    return CleanExtension(ext, "gif", "htm");
}

std::string NewPageName(FileNameCounters& counters, std::string_view folder, std::string_view ext) {
    return NewNumberedName(counters.PageCounter,
                           FreshSpan(counters, &FileNameCounters::FreshFolder::Pages, folder),
                           folder, "GA", PageExtension(ext), 999999);
}
std::string NewPageName(std::string_view folder, std::string_view ext) {
    return NewPageName(ProgramFileNameCounters(), folder, ext);
}

std::string NewImageName(FileNameCounters& counters, std::string_view folder,
                         std::string_view ext) {
    return NewNumberedName(counters.ImageCounter,
                           FreshSpan(counters, &FileNameCounters::FreshFolder::Images, folder),
                           folder, "GAI", ImageExtension(ext), 99999);
}
std::string NewImageName(std::string_view folder, std::string_view ext) {
    return NewImageName(ProgramFileNameCounters(), folder, ext);
}

std::string NewResourceName(FileNameCounters& counters, std::string_view folder,
                            std::string_view ext) {
    std::string clean;
    for (char c : ext) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            clean.clear();
            break;
        }
        clean += AsciiLower(c);
    }
    if (clean == "jpeg") clean = "jpg";
    if (clean.empty() || clean.size() > 5) clean = "bin";
    return NewNumberedName(counters.ImageCounter,
                           FreshSpan(counters, &FileNameCounters::FreshFolder::Images, folder),
                           folder, "GAI", clean, 99999);
}

std::string NewSummaryName(FileNameCounters& counters, std::string_view folder) {
    FileNameCounters::NumberSpan* span =
        FreshSpan(counters, &FileNameCounters::FreshFolder::Summaries, folder);
    for (std::int64_t n = counters.SummaryCounter.load(); n >= 0 && n <= 999; ++n) {
        std::string name = "Brief" + std::to_string(n) + ".htm";
        if (!Taken(span, n, InFolder(folder, name))) {
            counters.SummaryCounter = static_cast<std::int32_t>(n + 1);
            Drawn(span, n);
            return name;
        }
    }
    return std::string(kNoFreeName);
}
std::string NewSummaryName(std::string_view folder) {
    return NewSummaryName(ProgramFileNameCounters(), folder);
}

std::string CatalogFileName(std::string_view summaryName) {
    std::string name(summaryName);
    if (name.size() >= 3) name.replace(name.size() - 3, 3, "cat");
    return name;
}

bool CatalogName(TOutputFile& catalog, std::string_view name) {
    if (!FitsOneRecord(name)) return false;
    WriteRecord(catalog, name);
    return true;
}

void WriteCatalogHead(TOutputFile& catalog, std::string_view folderNumber,
                      std::string_view summaryName) {
    // The head is what the archive's delete walk starts from: a head that cannot be recorded
    // would leave a catalogue that names the wrong folder, so it is a failure of the run.
    if (!CatalogName(catalog, folderNumber) || !CatalogName(catalog, summaryName))
        throw TDiskError("run catalogue head cannot be recorded");
}

void WriteCatalogEnd(TOutputFile& catalog) {
    catalog.Write(std::string_view("\0", 1));
    catalog.Close();
}

bool FinishCatalog(TOutputFile& catalog) noexcept {
    try {
        if (!catalog.IsOpen()) return false;
        WriteCatalogEnd(catalog);
        return true;
    } catch (const std::exception&) {
        try {
            catalog.Close();
        } catch (const std::exception&) {
        }
        return false;
    }
}

CatalogContents ParseCatalog(std::string_view bytes) {
    CatalogContents contents;
    size_t pos = 0;
    bool first = true;
    while (pos < bytes.size()) {
        size_t length = static_cast<unsigned char>(bytes[pos]);
        if (length == 0) {
            contents.Complete = true;
            break;
        }
        if (length > bytes.size() - pos - 1) break; // a cut record is not a name
        std::string name(bytes.substr(pos + 1, length));
        pos += 1 + length;
        if (first)
            contents.FolderName = std::move(name);
        else
            contents.FileNames.push_back(std::move(name));
        first = false;
    }
    return contents;
}

std::optional<CatalogContents> ReadCatalog(std::string_view path) {
    WholeFile file = ReadWholeFile(PosixPath(path));
    if (!file.Ok()) return std::nullopt;
    return ParseCatalog(file.Bytes);
}

bool IsPlainCatalogName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of(std::string_view("/\\:\0", 4)) == std::string_view::npos;
}

} // namespace gathra
