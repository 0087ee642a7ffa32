#include "Net/HttpClient.h"

#include "Html/LinkResolution.h"
#include "Net/HttpText.h"
#include "Net/ResponseNotices.h"
#include "Net/ResponseReader.h"
#include "Net/SecureTransfer.h"
#include "Net/Transfer.h"
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

} // namespace

TFetchResult FetchDocument(const TFetchRequest& request, TResponseBuffer& buffer,
                           TNetContext& net) {
    std::string address = request.Address;
    const std::string& baseAddress = request.BaseAddress;
    std::string user = request.UserName;
    std::string pass = request.Password;
    if (user.empty() && pass.empty() && net.Settings != nullptr) {
        user = net.Settings->DefaultUserName;
        pass = net.Settings->DefaultPassword;
    }
    const int retries = net.Settings != nullptr ? net.Settings->Retries : 3;
    const std::string display = DisplayAddressOf(address);

    TFetchResult result;
    result.Address = address;
    buffer.Clear();
    buffer.SetHasHeader(true);
    int timeout = 5;
    int attempts = 0;

    if (StartsWithNoCase(address, "file://")) {
        // A network page's link, picture, frame or base must not copy the user's own files into
        // the run folder: local files are read only for an entry that is itself a local file.
        if (!request.AllowLocalFiles && !StartsWithNoCase(baseAddress, "file:")) {
            UnsupportedAddressNotice(buffer, display);
            result.IsContent = false;
            return result;
        }
        LoadLocalFile(address, display, buffer, result);
        return result;
    }

    const bool viaProxy = !request.ProxyHost.empty();
    const std::string connectProxy = request.ProxyHost + ":" + std::to_string(request.ProxyPort);
    bool secure = IsSecureAddress(address);
    std::string hostAndPath(WithoutScheme(address));
    bool sameSite = IsSameSite(address, baseAddress);
    bool authorising = false;
    bool first401Seen = false;
    int redirects = 0;

    auto finish = [&](bool isContent) {
        result.IsContent = isContent;
        result.Address = address;
        return result;
    };

    for (;;) {
        ++attempts;
        if (net.SkipOrAbort()) {
            PageSkippedNotice(buffer, display);
            return finish(false);
        }
        buffer.Clear();
        if (request.LocalOnly && !sameSite) {
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
        TTransferRequest transfer;
        transfer.Request = BuildRequest(hostAndPath, viaProxy && !secure, authorising, user, pass,
                                        request.AgentComment);
        if (net.Pool != nullptr) transfer.Request = KeptRequest(transfer.Request);
        std::string& connectTo = transfer.ConnectTo;
        connectTo =
            viaProxy ? connectProxy : hostAndPath.substr(0, hostAndPath.find_first_of("/\\"));
        SecureRoute route;
        if (secure) {
            route = SecureRouteOf(hostAndPath, viaProxy);
            if (!viaProxy) connectTo = route.Host + ":" + std::to_string(route.Port);
            route.Trust.CheckCertificates =
                net.Settings == nullptr || net.Settings->CheckCertificates;
            route.Trust.AuthorityPem = net.TrustedAuthorities;
        }
        transfer.TimeoutSeconds = timeout;
        transfer.LoadImages = request.LoadImages;
        transfer.LoadBinaries = request.LoadBinaries;
        transfer.IsBinary = result.IsBinary;
        transfer.DisplayAddress = display;
        TTransferResult notes;
        try {
            notes = Transfer(transfer, buffer, net, secure ? &route : nullptr);
        } catch (...) {
            // The disk filled while a body was written: the run ends, and the part of the file
            // written so far goes now rather than with the caller's buffer.
            buffer.Clear();
            throw;
        }
        const std::uint8_t transferred = notes.Transferred;
        result.IsBinary = notes.IsBinary;
        if (route.Problem != TlsProblem::None && !net.SkipOrAbort()) {
            buffer.Clear();
            SecureConnectionNotice(buffer, display, TlsProblemText(route.Problem),
                                   IsCertificateProblem(route.Problem));
            return finish(false);
        }
        if (transferred == 0) {
            buffer.Clear();
            if (net.SkipOrAbort())
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
        if (net.SkipOrAbort()) {
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
        } else if ((code == 429 || code == 503) && notes.RetryAfterSeconds > kMaxRetryAfterUnits) {
            // The host asks to be left alone for longer than a run waits.
            buffer.Clear();
            StatusNotice(buffer, display, code);
            return finish(false);
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
            result.Address = address;
            return result;
        }
    }
}

} // namespace gathra
