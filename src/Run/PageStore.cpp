#include "Run/PageRewriter.h"

#include "Brief/WebPage.h"
#include "Html/HtmlScanner.h"
#include "Html/LinkResolution.h"
#include "Net/BodySpool.h"
#include "Net/FetchAhead.h"
#include "Net/HttpClient.h"
#include "Run/FileNames.h"
#include "Run/Notices.h"
#include "Run/RunContext.h"
#include "Run/RunHost.h"
#include "Settings/AppSettings.h"
#include "Text/AsciiText.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

// Storing what a page refers to (pictures and files) and the free-space checks of a run.
namespace gathra {

namespace {

void SetStatus(const TRunState& run, const std::string& text) {
    if (run.Host != nullptr) run.Host->SetStatusText(text);
}

// The extension of a stored image: the address cut at its first "?" or white space, the text
// after a "." of the last segment, at most three characters, lowered.
std::string ImageExtensionOf(std::string_view address) {
    size_t cut = address.size();
    for (size_t i = 0; i < address.size(); ++i) {
        if (address[i] == '?' || IsWhite(address[i])) {
            cut = i;
            break;
        }
    }
    address = address.substr(0, cut);
    size_t dot = address.rfind('.');
    size_t slash = address.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string ext(address.substr(dot + 1, 3));
    for (char& c : ext)
        c = AsciiLower(c);
    if (ext == "jpe") ext = "jpg";
    if (ext == "mpe") ext = "mpg";
    return ext;
}

} // namespace

void ShowRunCounts(const TRunState& run) {
    if (run.Host == nullptr) return;
    run.Host->UpdateItem(ProgressLabel::PagesLoaded, std::to_string(run.PagesCount));
    run.Host->UpdateItem(ProgressLabel::ImagesLoaded, std::to_string(run.ImagesCount));
    run.Host->UpdateItem(ProgressLabel::BytesLoaded, std::to_string(run.TotalBytes / 1024));
}

namespace {

std::string ImageAddress(std::string_view value, const TPageContext& page) {
    std::string address = ResolveLink(page.BaseAddress, value);
    address.erase(std::min(address.find('#'), address.size()));
    return address;
}

// A picture that failed once fails again: every page of a site may show the same missing one.
bool FailedBefore(const TRunContext& run, const std::string& address) {
    return run.FailedImages.count(address) != 0;
}

} // namespace

void PlanImage(std::string_view value, TPageContext& page) {
    const TRunContext& run = *page.Run;
    if (run.PageTable == nullptr || page.Plan == nullptr) return;
    const std::string address = ImageAddress(value, page);
    const PageRecord* record = run.PageTable->Find(address);
    if ((record != nullptr && record->Loaded == 1) || FailedBefore(run, address)) return;
    if (record != nullptr && page.Plan->Ahead) {
        page.Plan->Partial = true;
        return;
    }
    page.Plan->Add(address, true, [&] { return PageFetchRequest(page, address); });
}

bool StoreImage(TOutputFile& out, std::string_view value, TPageContext& page) {
    TRunContext& run = *page.Run;
    if (run.PageTable == nullptr) return false;
    std::string address = ImageAddress(value, page);
    PageRecord* record = run.PageTable->Find(address);
    if (record != nullptr && record->Loaded == 1) {
        out.Write(record->LocalName());
        return true;
    }
    if (FailedBefore(run, address)) return false;
    TResponseBuffer buffer;
    buffer.SetSpoolsFiles(true);
    TFetchResult fetched = FetchInTurn(PageFetchRequest(page, address), buffer, run);
    SetStatus(run, " Gathra Light");
    // A notice standing in for the picture is no picture: the caller writes its fallback rather
    // than storing an error page under an image name.
    if (fetched.Result == 0 || !fetched.IsContent) {
        // A fetch cut short by Stop or Skip says nothing about the picture.
        if (!run.SkipOrAbort()) run.FailedImages.insert(address);
        return false;
    }
    ++run.ImagesCount;
    run.TotalBytes += static_cast<std::int64_t>(buffer.ResponseSize());
    ShowRunCounts(run);
    std::string name;
    if (record != nullptr) {
        // The picture takes the place of a notice that may still be on its way to the disk.
        if (record->NoticeQueued == 1) WaitForNotices(run);
        name = record->LocalName();
        record->Loaded = 1;
    } else {
        name = NewImageName(CountersOf(run), run.BriefFolder, ImageExtensionOf(address));
    }
    if (name == kNoFreeName) return false;
    StoreBody(run, buffer, name);
    out.Write(name);
    run.PageTable->Add(address, name, 0, 0, 1, nullptr, 0);
    return true;
}

void StoreBody(TRunContext& run, TResponseBuffer& buffer, std::string_view fileName) {
    struct Release {
        TResponseBuffer& Buffer;
        ~Release() { Buffer.Clear(); }
    } release{buffer};
    if (!CatalogName(run.Catalog, fileName)) return;
    if (TBodySpool* spool = buffer.Spool()) {
        // The body is on disk already, its space checked as it came; it only needs its name.
        RequireFreeSpace(run);
        spool->Place(InFolder(run.BriefFolder, fileName));
        return;
    }
    TOutputFile file(InFolder(run.BriefFolder, fileName));
    std::string_view bytes(buffer.Bytes());
    size_t start = 0;
    if (buffer.HasHeader()) {
        size_t headerEnd = FindHeaderEnd(bytes);
        if (headerEnd != std::string_view::npos) start = headerEnd;
    }
    size_t end = bytes.size();
    if (end > start && bytes[end - 1] == '\0') --end;
    constexpr size_t kBlock = 1000;
    constexpr int kBlocksBetweenChecks = 22;
    RequireFreeSpace(run);
    int blocks = 0;
    for (size_t pos = start; pos < end; pos += kBlock) {
        if (blocks == kBlocksBetweenChecks) {
            RequireFreeSpace(run);
            blocks = 0;
        }
        file.Write(bytes.substr(pos, std::min(kBlock, end - pos)));
        ++blocks;
    }
    file.Close();
}

namespace {

// A fetch with the run's proxy, local files only for a local entry.
TFetchRequest FetchFor(const TRunContext& run, const std::string& address,
                       const std::string& userName, const std::string& password,
                       const std::string& baseAddress, const std::string& agentComment) {
    TFetchRequest request;
    request.Address = address;
    request.UserName = userName;
    request.Password = password;
    request.BaseAddress = baseAddress;
    if (run.Settings != nullptr) {
        request.ProxyHost = run.Settings->ProxyServer;
        request.ProxyPort = run.Settings->ProxyPort;
    }
    request.AgentComment = agentComment;
    request.AllowLocalFiles = run.LocalEntry;
    return request;
}

} // namespace

TFetchRequest RunFetchRequest(const TRunContext& run, const TWebPage& entry,
                              const std::string& address, const std::string& baseAddress,
                              bool loadImages, bool loadBinaries) {
    TFetchRequest request =
        FetchFor(run, address, entry.UserName, entry.Password, baseAddress, entry.AgentComment);
    request.LocalOnly = entry.LocalOnly != 0;
    request.LoadImages = loadImages;
    request.LoadBinaries = loadBinaries;
    return request;
}

TFetchRequest PageFetchRequest(const TPageContext& page, const std::string& address) {
    TFetchRequest request = FetchFor(*page.Run, address, page.UserName, page.Password,
                                     page.EntryAddress, page.AgentComment);
    request.LoadImages = true;
    request.LoadBinaries = true;
    return request;
}

TransferObserver* TRunContext::Observer() const {
    return Host;
}

void TRunContext::CheckFreeSpace() const {
    RequireFreeSpace(*this);
}

void RequireFreeSpace(const TRunContext& run) {
    // Each look allows half the room above the buffer to be written before the next one, and at
    // most kMostBetweenLooks: the other half covers what the file system spends besides the
    // bytes, and the cap keeps other writers to the same disk in view. So a run still stops
    // before the disk fills past the buffer, with one look where there were thousands.
    constexpr std::uint64_t kMostBetweenLooks = 4u << 20;
    const std::uint64_t written = TOutputFile::BytesWritten();
    if (run.SpaceLooked && written - run.SpaceLookedAtBytes < run.SpaceAllowance) return;
    // Notices still on their way to the disk are counted as written: they must be there before
    // the free space is looked at, else it would count their room twice.
    WaitForNotices(run);
    std::uintmax_t available;
    if (run.FreeSpaceProbe) {
        available = run.FreeSpaceProbe();
    } else {
        std::error_code error;
        std::string folder =
            run.BriefFolder.empty() ? std::string(".") : PosixPath(run.BriefFolder);
        std::filesystem::space_info space = std::filesystem::space(folder, error);
        if (error) return; // unknown: a failing write will still be caught as a disk error
        available = space.available;
    }
    std::int64_t limit = run.Settings != nullptr ? run.Settings->DiskBufferBytes : 0;
    if (limit < 0) limit = 0;
    if (available <= static_cast<std::uintmax_t>(limit)) {
        run.SpaceLooked = false;
        throw TDiskError("Disk Full", {},
                         SpaceBelowBuffer{available, static_cast<std::uint64_t>(limit)});
    }
    run.SpaceLooked = true;
    run.SpaceLookedAtBytes = written;
    run.SpaceAllowance = std::min<std::uint64_t>(
        (available - static_cast<std::uintmax_t>(limit)) / 2, kMostBetweenLooks);
}

} // namespace gathra
