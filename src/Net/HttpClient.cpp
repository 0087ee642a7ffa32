#include "Net/HttpClient.h"

#include "Net/HttpText.h"
#include "Run/Notices.h"
#include "Net/ResponseReader.h"
#include "Run/RunContext.h"
#include "Run/RunHost.h"
#include "Net/SecureTransfer.h"
#include "Html/LinkResolution.h"
#include "Run/PageRewriter.h"
#include "Platform/Socket.h"
#include "Platform/SocketCanceller.h"
#include "Settings/AppSettings.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace gathra {
using namespace http;
namespace {

constexpr size_t kReceiveBlock = 9999;
constexpr size_t kReceiveBuffer = 10005;
// A fixed receive buffer (32000 bytes was the usual choice) would pin the TCP window at that
// size and stop the system from growing it, capping a transfer at 32 KB per round trip; the
// system's own sizing is kept instead.
constexpr int kSocketBufferBytes = 0;
constexpr int kSocketTimeoutUnits = 32; // the send and receive bounds, 32000 ms in the program

SocketCanceller& CancellerOf(TRunContext& run) {
    return run.Canceller != nullptr ? *run.Canceller : ProgramSocketCanceller();
}

void SetStatus(TRunContext& run, const std::string& text) {
    if (run.Host != nullptr) run.Host->SetStatusText(text);
}

void SetProgress(TRunContext& run, int percent) {
    if (run.Host != nullptr) run.Host->UpdateProgress(percent);
}

int TriesFor(int timeoutSeconds) {
    switch (timeoutSeconds) {
    case 5:
        return 2;
    case 10:
        return 4;
    case 15:
        return 5;
    case 20:
        return 6;
    default:
        return 8;
    }
}

// The value of a header field in the lowered header: after the name, blanks, tabs, CR and LF
void LoadLocalFile(const std::string& address, const std::string& display, TResponseBuffer& buffer,
                   TFetchResult& result) {
    // "file://" followed by the path; a third slash before a drive letter is dropped, so that
    // "file:///C:/x" and "file://C:/x" agree. Without drive letters a path is absolute: both
    // "file:///home/x" and "file://home/x" name "/home/x".
    std::string path = address.substr(7);
    if (path.size() >= 3 && path[0] == '/' && path[2] == ':') path.erase(0, 1);
    bool drive = path.size() >= 2 && path[1] == ':';
    if (!drive && (path.empty() || (path[0] != '/' && path[0] != '\\'))) path.insert(0, "/");
    std::replace(path.begin(), path.end(), '\\', '/');

    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        FileNotice(buffer, display, "was not found");
        result.IsContent = false;
        return;
    }
    if (std::filesystem::file_size(path, error) == 0 || error || !LoadFileToBuffer(path, buffer)) {
        buffer.Clear();
        FileNotice(buffer, display, "failed to load");
        result.IsContent = false;
        return;
    }
    buffer.SetHasHeader(false);
    buffer.Rewind();
}

// Writes a document's body to a spool file of the run folder as it arrives, the run's free-space
// check before every block: a body of any size is stored without being held, and the run still
// stops before the disk fills past its buffer.
class SpoolSink : public TBodySink {
public:
    SpoolSink(TResponseBuffer& buffer, const TRunContext& run) : buffer_(buffer), run_(run) {}

    bool Write(std::string_view bytes) override {
        // Throws TDiskError ("Disk Full"): the run ends as it does when a file is written.
        RequireFreeSpace(run_);
        if (buffer_.Spool() == nullptr) {
            std::unique_ptr<TBodySpool> spool =
                TBodySpool::Open(run_.BriefFolder, run_.UnnamedSpoolFiles);
            if (spool == nullptr) return false;
            buffer_.SetSpool(std::move(spool));
        }
        return buffer_.Spool()->Write(bytes);
    }

private:
    TResponseBuffer& buffer_;
    const TRunContext& run_;
};

// What a failed transfer leaves for the caller's notice.
struct TransferNotes {
    std::string RefusedType; // the content type that was turned down
    bool Unstored = false;   // the body could not be written to its file
};

// TransferResponse, over TLS when secure is given (then secure->Problem tells a failed
// handshake apart).
std::uint8_t Transfer(const std::string& connectTo, const std::string& request, int timeoutSeconds,
                      bool loadImages, bool loadBinaries, const std::string& displayAddress,
                      TResponseBuffer& buffer, bool& isBinary, TRunContext& run,
                      SecureRoute* secure, TransferNotes& notes) {
    SocketCanceller& canceller = CancellerOf(run);
    // A cancel meant for an earlier call must not end this one; one meant for this call is
    // seen through the flags checked right below.
    canceller.Reset();
    SetStatus(run, " Contacting host...");
    SetProgress(run, 0);
    const int tries = TriesFor(timeoutSeconds);
    const int unitMs = run.TimeUnitMs > 0 ? run.TimeUnitMs : 1;

    if (run.SkipOrAbort()) {
        PageSkippedNotice(buffer, displayAddress);
        return 0;
    }
    TSocket socket(&canceller);
    if (!socket.Open() || run.SkipOrAbort()) {
        if (run.SkipOrAbort())
            PageSkippedNotice(buffer, displayAddress);
        else
            ConnectFailedNotice(buffer, displayAddress);
        return 0;
    }
    socket.SetOptions(kSocketBufferBytes, kSocketTimeoutUnits * unitMs,
                      kSocketTimeoutUnits * unitMs, true, true);

    ConnectTarget target = ParseConnectTarget(connectTo);
    std::uint32_t ip = 0;
    bool found =
        target.Valid && (TSocket::ParseDottedAddress(target.Host, ip) ||
                         TSocket::LookupHost(target.Host, ip, &canceller) == SocketStatus::Ok);
    if (!found || run.SkipOrAbort()) {
        socket.Close();
        if (run.SkipOrAbort())
            PageSkippedNotice(buffer, displayAddress);
        else
            ConnectFailedNotice(buffer, displayAddress);
        return 0;
    }

    if (socket.Connect(ip, target.Port, kSocketTimeoutUnits * unitMs) != SocketStatus::Ok) {
        socket.Close();
        NetworkBusyNotice(buffer, connectTo);
        return 1;
    }
    TStream* stream = &socket;
    std::unique_ptr<TTlsStream> tls;
    if (secure != nullptr) {
        SocketStatus opened = OpenSecureStream(socket, *secure, kSocketTimeoutUnits * unitMs, tls);
        if (opened != SocketStatus::Ok) {
            socket.Close();
            if (run.SkipOrAbort() || opened == SocketStatus::Cancelled) {
                PageSkippedNotice(buffer, displayAddress);
                return 0;
            }
            if (secure->Problem != TlsProblem::None) return 0; // the caller's notice
            NetworkBusyNotice(buffer, connectTo);
            return 1;
        }
        stream = tls.get();
    }
    SetStatus(run, " Connected...");

    SocketStatus sent = stream->Send(request);
    for (int t = 1; sent == SocketStatus::ConnectionAborted && t < tries && !run.SkipOrAbort(); ++t)
        sent = stream->Send(request);

    SetStatus(run, " Transferring data...");
    if (sent != SocketStatus::Ok ||
        stream->WaitReadable(timeoutSeconds * unitMs) != SocketStatus::Ok) {
        socket.Close();
        NetworkBusyNotice(buffer, connectTo);
        return 1;
    }

    // Filled by each receive before it is read: no need to clear it for every request.
    std::unique_ptr<char[]> block(new char[kReceiveBuffer]);
    TResponseReader::Limits limits;
    limits.MaxResponseBytes = run.MaxResponseBytes;
    limits.MaxPageBytes = run.MaxPageBytes;
    limits.SpoolAfterBytes = run.SpoolAfterBytes;
    limits.HeaderTimeMs = std::int64_t(run.HeaderTimeUnits) * unitMs;
    limits.RateStretchMs = std::int64_t(run.RateStretchUnits) * unitMs;
    limits.MinStretchBytes = run.MinStretchBytes;
    const auto started = std::chrono::steady_clock::now();
    auto elapsedMs = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - started)
            .count();
    };
    buffer.Clear();
    SpoolSink sink(buffer, run);
    const bool spool = buffer.SpoolsFiles() && !run.BriefFolder.empty();
    TResponseReader reader(buffer, loadImages, loadBinaries, isBinary, limits, 0,
                           spool ? &sink : nullptr);
    int cycle = 0;
    int lastShown = 0;
    bool noticeWritten = false;
    for (;;) {
        size_t got = 0;
        SocketStatus status = stream->Receive(block.get(), kReceiveBlock, got);
        for (int t = 1;
             status == SocketStatus::ConnectionAborted && t < tries && !run.SkipOrAbort(); ++t)
            status = stream->Receive(block.get(), kReceiveBlock, got);
        if (status == SocketStatus::Closed) break;
        if (status != SocketStatus::Ok) {
            buffer.Clear();
            NetworkBusyNotice(buffer, connectTo);
            noticeWritten = true;
            break;
        }
        const TResponseReader::Step step =
            reader.Feed(std::string_view(block.get(), got), elapsedMs());
        isBinary = reader.IsBinary();
        if (step == TResponseReader::Step::Complete) break;
        if (step != TResponseReader::Step::More) {
            // Refused, a transfer that would not end by itself, or a body that could not be
            // written: a failed transfer.
            notes.RefusedType = reader.RefusedType();
            notes.Unstored = step == TResponseReader::Step::Unstored;
            socket.Close();
            buffer.Clear();
            return 0;
        }
        const std::int64_t total = reader.AnnouncedLength();
        if (run.SkipOrAbort()) {
            buffer.Clear();
            break;
        }
        if (total > 0) {
            std::int64_t percent = static_cast<std::int64_t>(reader.Received()) * 100 / total;
            int shown = static_cast<int>(std::min<std::int64_t>(percent, 100));
            // Each update waits for the main thread; an unchanged bar is not worth the wait.
            if (shown != lastShown) SetProgress(run, shown);
            lastShown = shown;
        } else {
            cycle = (cycle + 25) % 125;
            SetProgress(run, cycle);
        }
    }

    if (!noticeWritten && !run.SkipOrAbort() && reader.FileShortOfAnnounced()) {
        // The server closed before the whole file came: what arrived is not the file. (A page
        // keeps what arrived, to be read as far as it goes.)
        notes.Unstored = true;
        socket.Close();
        buffer.Clear();
        return 0;
    }
    if (!noticeWritten) buffer.AppendNul();
    buffer.Rewind();
    socket.Close();
    if (run.SkipOrAbort()) {
        PageSkippedNotice(buffer, displayAddress);
        return 0;
    }
    return 1;
}

} // namespace

std::uint8_t TransferResponse(const std::string& connectTo, const std::string& request,
                              int timeoutSeconds, bool loadImages, bool loadBinaries,
                              const std::string& displayAddress, TResponseBuffer& buffer,
                              bool& isBinary, TRunContext& run, std::string* refusedType) {
    TransferNotes notes;
    std::uint8_t transferred =
        Transfer(connectTo, request, timeoutSeconds, loadImages, loadBinaries, displayAddress,
                 buffer, isBinary, run, nullptr, notes);
    if (refusedType != nullptr) *refusedType = notes.RefusedType;
    return transferred;
}

TFetchResult FetchDocument(std::string& address, TResponseBuffer& buffer,
                           const std::string& userName, const std::string& password,
                           const std::string& baseAddress, bool localOnly,
                           const std::string& proxyHost, int proxyPort, bool loadImages,
                           bool loadBinaries, const std::string& agentComment, TRunContext& run) {
    std::string user = userName;
    std::string pass = password;
    if (user.empty() && pass.empty() && run.Settings != nullptr) {
        user = run.Settings->DefaultUserName;
        pass = run.Settings->DefaultPassword;
    }
    const int retries = run.Settings != nullptr ? run.Settings->Retries : 3;
    const std::string display = DisplayAddressOf(address);

    TFetchResult result;
    buffer.Clear();
    buffer.SetHasHeader(true);
    int timeout = 5;
    int attempts = 0;

    if (StartsWithNoCase(address, "file://")) {
        // A network page's link, picture, frame or base must not copy the user's own files into
        // the run folder: local files are read only for an entry that is itself a local file.
        if (!run.LocalEntry && !StartsWithNoCase(baseAddress, "file:")) {
            UnsupportedAddressNotice(buffer, display);
            result.IsContent = false;
            return result;
        }
        LoadLocalFile(address, display, buffer, result);
        return result;
    }

    const bool viaProxy = !proxyHost.empty();
    const std::string connectProxy = proxyHost + ":" + std::to_string(proxyPort);
    bool secure = IsSecureAddress(address);
    std::string hostAndPath(WithoutScheme(address));
    bool sameSite = IsSameSite(address, baseAddress);
    bool authorising = false;
    bool first401Seen = false;
    int redirects = 0;

    auto finish = [&](bool isContent) {
        result.IsContent = isContent;
        return result;
    };

    for (;;) {
        ++attempts;
        if (run.SkipOrAbort()) {
            PageSkippedNotice(buffer, display);
            return finish(false);
        }
        buffer.Clear();
        if (localOnly && !sameSite) {
            ExternalLinkNotice(buffer, display);
            result.WasExternal = true;
            return finish(false);
        }

        if (!IsSendableAddress(hostAndPath)) {
            UnsupportedAddressNotice(buffer, display);
            return finish(false);
        }
        // A secure request goes to the server itself, through the proxy's tunnel when there is
        // one.
        std::string request =
            BuildRequest(hostAndPath, viaProxy && !secure, authorising, user, pass, agentComment);
        std::string connectTo =
            viaProxy ? connectProxy : hostAndPath.substr(0, hostAndPath.find_first_of("/\\"));
        SecureRoute route;
        if (secure) {
            route = SecureRouteOf(hostAndPath, viaProxy);
            if (!viaProxy) connectTo = route.Host + ":" + std::to_string(route.Port);
            route.Trust.CheckCertificates =
                run.Settings == nullptr || run.Settings->CheckCertificates;
            route.Trust.AuthorityPem = run.TrustedAuthorities;
        }
        bool isBinary = result.IsBinary;
        TransferNotes notes;
        std::uint8_t transferred = 0;
        try {
            transferred = Transfer(connectTo, request, timeout, loadImages, loadBinaries, display,
                                   buffer, isBinary, run, secure ? &route : nullptr, notes);
        } catch (const TDiskError&) {
            // The disk filled while a body was written: the run ends, and the part of the file
            // written so far goes now rather than with the caller's buffer.
            buffer.Clear();
            throw;
        }
        result.IsBinary = isBinary;
        if (route.Problem != TlsProblem::None && !run.SkipOrAbort()) {
            buffer.Clear();
            SecureConnectionNotice(buffer, display, TlsProblemText(route.Problem),
                                   IsCertificateProblem(route.Problem));
            return finish(false);
        }
        if (transferred == 0) {
            buffer.Clear();
            if (run.SkipOrAbort())
                PageSkippedNotice(buffer, display);
            else if (!notes.RefusedType.empty())
                // The server answered: the entry's setup turned the file down.
                RefusedTypeNotice(buffer, display, notes.RefusedType,
                                  RefusedTypeSetting(notes.RefusedType));
            else if (notes.Unstored)
                // The server was reached; the file could not be written.
                FileNotice(buffer, display, kFileFailedToLoad);
            else if (authorising)
                PasswordNotice(buffer, display, user, pass);
            else
                ConnectFailedNotice(buffer, display);
            return finish(false);
        }
        if (run.SkipOrAbort()) {
            buffer.Clear();
            PageSkippedNotice(buffer, display);
            return finish(false);
        }
        if (buffer.Size() < 2) {
            buffer.Clear();
            ConnectFailedNotice(buffer, display);
            return finish(false);
        }

        bool unfinished = false;
        size_t codeEnd = 0;
        int code = FindStatus(buffer.Bytes(), codeEnd);
        if (code < 0) {
            unfinished = true;
        } else if (!IsKnownCode(code) && retries > attempts) {
            timeout += 5;
            continue;
        } else if (code >= 300 && code <= 303 && redirects < kMaxRedirects) {
            --attempts;
            ++redirects;
            std::string value;
            if (!FindLocation(buffer.Bytes(), codeEnd, value)) {
                result.Result = 0;
                return finish(false);
            }
            if (value.empty()) {
                buffer.Clear();
                StatusNotice(buffer, display, 404);
                return finish(false);
            }
            address = RedirectTarget(secure ? "https://" + hostAndPath : hostAndPath, value);
            secure = IsSecureAddress(address);
            hostAndPath = std::string(WithoutScheme(address));
            // The display address stays the one asked for: a notice stands in for the link the
            // reader followed, and that link leads on-line through the same redirects.
            sameSite = IsSameSite(address, baseAddress);
            buffer.Clear();
            continue;
        } else if (code == 200 || code == 203) {
            result.IsText = IsOtherText(buffer.Bytes());
            return finish(true);
        } else if (code == 401) {
            authorising = true;
            result.IsContent = false;
            if (!first401Seen) {
                first401Seen = true;
                --attempts;
            }
            unfinished = true;
        } else if (code == 407) {
            return finish(false);
        } else {
            // 202, 204, 400, 403, 404, 501, a redirect beyond the bound and every other code.
            buffer.Clear();
            StatusNotice(buffer, display, code);
            return finish(false);
        }
        if (!(unfinished && retries > attempts)) {
            buffer.Rewind();
            return result;
        }
    }
}

} // namespace gathra
