#include "Engine/HttpClient.h"

#include "Engine/Base64.h"
#include "Engine/Notices.h"
#include "Engine/RunContext.h"
#include "Engine/RunHost.h"
#include "Output/LinkResolution.h"
#include "Platform/Socket.h"
#include "Platform/SocketCanceller.h"
#include "Shell/AppSettings.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace gathra {
namespace {

constexpr size_t kStatusBlock = 1000;
constexpr size_t kLocationBlock = 999;
constexpr size_t kReceiveBlock = 9999;
constexpr size_t kReceiveBuffer = 10005;
// A fixed receive buffer (32000 bytes was the usual choice) would pin the TCP window at that
// size and stop the system from growing it, capping a transfer at 32 KB per round trip; the
// system's own sizing is kept instead.
constexpr int kSocketBufferBytes = 0;
constexpr int kSocketTimeoutUnits = 32; // the send and receive bounds, 32000 ms in the program
constexpr size_t kMaxHostLength = 256;
constexpr std::string_view kUserAgent = "GathraLight/2.0";

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Finds the lower-case pattern in data[from, to) with the data's letters lowered; npos when absent.
size_t FindNoCase(std::string_view data, std::string_view pattern, size_t from, size_t to) {
    if (to > data.size()) to = data.size();
    if (pattern.empty() || from >= to || to - from < pattern.size()) return std::string_view::npos;
    const size_t last = to - pattern.size();
    const char first = pattern[0];
    const bool letter = first >= 'a' && first <= 'z';
    for (size_t i = from; i <= last; ++i) {
        if (!letter) {
            // A pattern that starts with a mark ("<script") lets memchr do the skipping.
            const void* hit = std::memchr(data.data() + i, first, last + 1 - i);
            if (hit == nullptr) break;
            i = static_cast<size_t>(static_cast<const char*>(hit) - data.data());
        } else if (Lower(data[i]) != first) {
            continue;
        }
        size_t k = 1;
        while (k < pattern.size() && Lower(data[i + k]) == pattern[k])
            ++k;
        if (k == pattern.size()) return i;
    }
    return std::string_view::npos;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    return text.size() >= lowerPrefix.size() &&
           FindNoCase(text, lowerPrefix, 0, lowerPrefix.size()) == 0;
}

// The position of the first "/" in text, or of the first "\" when there is no "/".
size_t FirstSeparator(std::string_view text) {
    size_t slash = text.find('/');
    return slash != std::string_view::npos ? slash : text.find('\\');
}

// text without its scheme and "://", when the "://" stands before the first separator.
std::string_view WithoutScheme(std::string_view text) {
    size_t scheme = text.find("://");
    if (scheme != std::string_view::npos && scheme < FirstSeparator(text))
        return text.substr(scheme + 3);
    return text;
}

std::string DisplayAddressOf(const std::string& address) {
    size_t scheme = address.find("://");
    size_t separator = address.find_first_of("/\\");
    if (scheme != std::string::npos && scheme < separator) return address;
    return "http://" + address;
}

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
// are skipped; the value ends at a blank, tab, CR, LF or ";".
std::string_view HeaderValue(std::string_view header, std::string_view name) {
    size_t at = header.find(name);
    if (at == std::string_view::npos) return {};
    size_t start = at + name.size();
    while (start < header.size() && IsBlank(header[start]))
        ++start;
    size_t end = start;
    while (end < header.size() && !IsBlank(header[end]) && header[end] != ';')
        ++end;
    return header.substr(start, end - start);
}

// Reads the leading decimal digits of text; default 1, at least 1.
std::int64_t ContentLengthOf(std::string_view value) {
    std::int64_t n = 0;
    size_t i = 0;
    while (i < value.size() && value[i] >= '0' && value[i] <= '9' && n < (std::int64_t(1) << 50))
        n = n * 10 + (value[i++] - '0');
    return n < 1 ? 1 : n;
}

// Whether a content type may be kept; sets isBinary for anything that is not text.
bool AcceptContentType(std::string_view type, bool loadImages, bool loadBinaries, bool& isBinary) {
    if (type.empty() || type.substr(0, 4) == "text") return true;
    isBinary = true;
    if (type.substr(0, 9) == "multipart") return false;
    if (type.substr(0, 5) == "image") return loadImages || loadBinaries;
    return loadBinaries;
}

// Splits a connect target "host[:port][/...]" and finds the host's address.
struct ConnectTarget {
    std::string Host;
    std::uint16_t Port = 80;
};

ConnectTarget ParseConnectTarget(const std::string& connectTo) {
    ConnectTarget target;
    std::string host = connectTo.substr(0, connectTo.find('/'));
    if (host.size() > kMaxHostLength) host.resize(kMaxHostLength);
    size_t colon = host.find(':');
    if (colon != std::string::npos) {
        std::string port = host.substr(colon + 1);
        host.resize(colon);
        unsigned value = 0;
        bool valid = !port.empty() && port.size() <= 5;
        for (char c : port) {
            if (c < '0' || c > '9')
                valid = false;
            else
                value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (valid && value > 0 && value <= 65535) target.Port = static_cast<std::uint16_t>(value);
    }
    target.Host = host;
    return target;
}

// Keeps the response header scan linear: the search for the header end resumes where the last
// block's search stopped instead of restarting from the first byte.
class HeaderEndScanner {
public:
    // The position just after the header end, or npos while data holds none.
    size_t Scan(std::string_view data) {
        size_t end = FindHeaderEnd(data.substr(resume_));
        if (end != std::string_view::npos) return resume_ + end;
        // A header end split across two blocks is at most four bytes long.
        resume_ = data.size() > 3 ? data.size() - 3 : 0;
        return std::string_view::npos;
    }

private:
    size_t resume_ = 0;
};

std::string BuildRequest(std::string_view hostAndPath, bool viaProxy, bool authorising,
                         const std::string& userName, const std::string& password,
                         const std::string& agentComment) {
    size_t slash = hostAndPath.find('/');
    std::string_view host = hostAndPath.substr(0, slash);
    std::string_view path =
        slash == std::string_view::npos ? std::string_view("/") : hostAndPath.substr(slash);
    path = path.substr(0, path.find('#'));
    std::string target;
    if (viaProxy) {
        target = "http://";
        target += hostAndPath.substr(0, hostAndPath.find('#'));
    } else {
        target = path;
    }
    std::string agent = "User-Agent: " + std::string(kUserAgent);
    if (!agentComment.empty()) agent += " (" + agentComment + ")";
    agent += "\r\n";
    const std::string accept = "Accept: */*; q=1\r\n";
    const std::string hostLine = "Host: " + std::string(host) + "\r\n";

    std::string request = "GET " + target + " HTTP/1.0\r\n";
    if (authorising) {
        request += accept + agent + hostLine;
        request += "Authorization: Basic " + Base64Encode(userName + ":" + password) + "\r\n";
    } else {
        request += agent + hostLine + accept;
    }
    request += "\r\n";
    return request;
}

bool IsKnownCode(int code) {
    switch (code) {
    case 200:
    case 203:
    case 300:
    case 301:
    case 302:
    case 303:
    case 400:
    case 401:
    case 403:
    case 404:
    case 501:
        return true;
    default:
        return false;
    }
}

// The "location" value of a redirect: the word searched from `from` in 999-byte blocks, each on
// its own. Returns false when no block holds the word. value is empty when the line has no
// value or no LF.
bool FindLocation(std::string_view response, size_t from, std::string& value) {
    value.clear();
    for (size_t block = from; block < response.size(); block += kLocationBlock) {
        size_t at = FindNoCase(response, "location", block, block + kLocationBlock);
        if (at == std::string_view::npos) continue;
        size_t start = at + 8;
        while (start < response.size() &&
               (response[start] == ':' || response[start] == ' ' || response[start] == '\t'))
            ++start;
        size_t lf = response.find('\n', start);
        if (lf == std::string_view::npos) return true;
        size_t end = lf;
        if (end > start && response[end - 1] == '\r') --end;
        // Trailing blanks would end up inside the request line.
        while (end > start && (response[end - 1] == ' ' || response[end - 1] == '\t'))
            --end;
        value.assign(response.substr(start, end - start));
        return true;
    }
    return false;
}

// The address that a redirect's location value leads to, from the current host-and-path form.
std::string RedirectTarget(const std::string& current, std::string value) {
    size_t scheme = value.find("://");
    const bool absolute = scheme != std::string::npos;
    if (absolute) value.erase(0, scheme + 3);
    // A value that is not absolute is a path on the same host or a relative reference (which
    // servers of HTTP/1.0 days never sent but current ones do); both are resolved against the
    // current address. Neither can lead to a local file: "file://" is only honoured at the start
    // of a call.
    if (absolute && (value.empty() || value[0] != '/')) return value;
    size_t end = value.find_first_of(" \t\r\n>");
    if (end != std::string::npos) value.resize(end);
    return ResolveLink(current, value);
}

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

size_t FindHeaderEnd(std::string_view data) {
    size_t crlf = data.find("\r\n\r\n");
    // Only an LF LF before the CR LF CR LF counts; look no further than that.
    std::string_view head = crlf == std::string_view::npos ? data : data.substr(0, crlf + 2);
    size_t lf = head.find("\n\n");
    if (lf != std::string_view::npos) return lf + 2;
    return crlf == std::string_view::npos ? std::string_view::npos : crlf + 4;
}

namespace {

// The status code and the position just after it; -1 when no block holds "http/".
int FindStatus(std::string_view response, size_t& codeEnd) {
    codeEnd = 0;
    size_t at = std::string_view::npos;
    for (size_t block = 0; block < response.size() && at == std::string_view::npos;
         block += kStatusBlock)
        at = FindNoCase(response, "http/", block, block + kStatusBlock);
    if (at == std::string_view::npos) return -1;
    size_t i = at + 5;
    while (i < response.size() && !IsBlank(response[i]))
        ++i;
    while (i < response.size() && IsBlank(response[i]))
        ++i;
    codeEnd = std::min(i + 3, response.size());
    if (i + 3 > response.size()) return 404;
    int code = 0;
    for (size_t k = i; k < i + 3; ++k) {
        if (response[k] < '0' || response[k] > '9') return 404;
        code = code * 10 + (response[k] - '0');
    }
    return code;
}

} // namespace

int FindStatusCode(std::string_view response) {
    size_t end;
    return FindStatus(response, end);
}

std::uint8_t TransferResponse(const std::string& connectTo, const std::string& request,
                              int timeoutSeconds, bool loadImages, bool loadBinaries,
                              const std::string& displayAddress, TResponseBuffer& buffer,
                              bool& isBinary, TRunContext& run) {
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
    bool found = TSocket::ParseDottedAddress(target.Host, ip) ||
                 TSocket::LookupHost(target.Host, ip, &canceller) == SocketStatus::Ok;
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
    SetStatus(run, " Connected...");

    SocketStatus sent = socket.Send(request);
    for (int t = 1; sent == SocketStatus::ConnectionAborted && t < tries && !run.SkipOrAbort(); ++t)
        sent = socket.Send(request);

    SetStatus(run, " Transferring data...");
    if (sent != SocketStatus::Ok ||
        socket.WaitReadable(timeoutSeconds * unitMs) != SocketStatus::Ok) {
        socket.Close();
        NetworkBusyNotice(buffer, connectTo);
        return 1;
    }

    std::string block(kReceiveBuffer, '\0');
    HeaderEndScanner scanner;
    bool headerDone = false;
    std::int64_t total = 0; // 0: unknown
    int cycle = 0;
    int lastShown = 0;
    bool noticeWritten = false;
    buffer.Clear();
    for (;;) {
        size_t got = 0;
        SocketStatus status = socket.Receive(block.data(), kReceiveBlock, got);
        for (int t = 1;
             status == SocketStatus::ConnectionAborted && t < tries && !run.SkipOrAbort(); ++t)
            status = socket.Receive(block.data(), kReceiveBlock, got);
        if (status == SocketStatus::Closed) break;
        if (status != SocketStatus::Ok) {
            buffer.Clear();
            NetworkBusyNotice(buffer, connectTo);
            noticeWritten = true;
            break;
        }
        if (buffer.Size() + got > run.MaxResponseBytes) {
            // Holding it would exhaust memory; it is refused like an unwanted content type.
            socket.Close();
            buffer.Clear();
            return 0;
        }
        buffer.Append(std::string_view(block.data(), got));

        if (!headerDone) {
            size_t end = scanner.Scan(buffer.Bytes());
            if (end != std::string::npos) {
                headerDone = true;
                std::string header = buffer.Bytes().substr(0, end);
                std::transform(header.begin(), header.end(), header.begin(), Lower);
                if (total == 0 && header.find("content-length:") != std::string::npos)
                    total = ContentLengthOf(HeaderValue(header, "content-length:"));
                if (!AcceptContentType(HeaderValue(header, "content-type:"), loadImages,
                                       loadBinaries, isBinary)) {
                    socket.Close();
                    return 0;
                }
            }
        }
        if (run.SkipOrAbort()) {
            buffer.Clear();
            break;
        }
        if (total > 0) {
            std::int64_t percent = static_cast<std::int64_t>(buffer.Size()) * 100 / total;
            int shown = static_cast<int>(std::min<std::int64_t>(percent, 100));
            // Each update waits for the main thread; an unchanged bar is not worth the wait.
            if (shown != lastShown) SetProgress(run, shown);
            lastShown = shown;
        } else {
            cycle = (cycle + 25) % 125;
            SetProgress(run, cycle);
        }
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
        LoadLocalFile(address, display, buffer, result);
        return result;
    }

    const bool viaProxy = !proxyHost.empty();
    const std::string connectProxy = proxyHost + ":" + std::to_string(proxyPort);
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

        std::string request =
            BuildRequest(hostAndPath, viaProxy, authorising, user, pass, agentComment);
        std::string connectTo =
            viaProxy ? connectProxy : hostAndPath.substr(0, hostAndPath.find('/'));
        bool isBinary = result.IsBinary;
        std::uint8_t transferred = TransferResponse(connectTo, request, timeout, loadImages,
                                                    loadBinaries, display, buffer, isBinary, run);
        result.IsBinary = isBinary;
        if (transferred == 0) {
            buffer.Clear();
            if (run.SkipOrAbort())
                PageSkippedNotice(buffer, display);
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
            address = RedirectTarget(hostAndPath, value);
            hostAndPath = std::string(WithoutScheme(address));
            // The display address stays the one asked for: a notice stands in for the link the
            // reader followed, and that link leads on-line through the same redirects.
            sameSite = IsSameSite(address, baseAddress);
            buffer.Clear();
            continue;
        } else if (code == 200 || code == 203) {
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

void PrepareBody(TResponseBuffer& buffer, bool blankComments) {
    std::string& bytes = buffer.MutableBytes();
    if (buffer.HasHeader()) {
        size_t end = FindHeaderEnd(bytes);
        if (end != std::string::npos) {
            bytes.erase(0, end);
            buffer.AppendNul();
            buffer.Rewind();
            // What is left is the body; a second preparation must not cut it again.
            buffer.SetHasHeader(false);
        }
    }

    if (blankComments) {
        // One pass from "<" to "<": whichever of a "<!" tag and a script comes first is
        // handled, and the scan goes on after it, so the page is read once.
        const std::string_view data(bytes);
        const size_t npos = std::string_view::npos;
        size_t at = 0;
        while (at < data.size()) {
            const void* hit = std::memchr(data.data() + at, '<', data.size() - at);
            if (hit == nullptr) break;
            const size_t open = static_cast<size_t>(static_cast<const char*>(hit) - data.data());
            if (open + 1 < data.size() && data[open + 1] == '!') {
                size_t end;
                if (data.compare(open + 2, 2, "--") == 0) {
                    // The next "-->" after the "<!", so that "<!-->" ends where it stands, as
                    // browsers read it, instead of swallowing the text up to a later comment.
                    end = data.find("-->", open + 2);
                    if (end != npos) end += 3;
                } else {
                    end = data.find('>', open + 2);
                    if (end != npos) end += 1;
                }
                if (end == npos) break;
                std::memset(bytes.data() + open, ' ', end - open);
                at = end;
            } else if (FindNoCase(data, "script", open + 1, open + 7) == open + 1) {
                // The script's content is not touched.
                size_t close = FindNoCase(data, "</script", open + 7, data.size());
                if (close == npos) break;
                at = close + 1;
            } else {
                at = open + 1;
            }
        }
    }

    if (!bytes.empty()) {
        char* at = bytes.data();
        char* const last = bytes.data() + bytes.size() - 1;
        while (at < last) {
            void* nul = std::memchr(at, '\0', static_cast<size_t>(last - at));
            if (nul == nullptr) break;
            at = static_cast<char*>(nul);
            *at++ = ' ';
        }
    }
}

bool IsSameSite(std::string_view link, std::string_view base) {
    link = WithoutScheme(link);
    size_t baseScheme = base.find("://");
    if (baseScheme != std::string_view::npos && baseScheme < base.find('/'))
        base = base.substr(baseScheme + 3);

    std::string_view baseHost = base.substr(0, base.find('/'));
    std::string_view domain = baseHost;
    size_t lastDot = baseHost.rfind('.');
    if (lastDot != std::string_view::npos && lastDot > 0) {
        size_t secondDot = baseHost.rfind('.', lastDot - 1);
        if (secondDot != std::string_view::npos) domain = baseHost.substr(secondDot + 1);
    }
    domain = domain.substr(0, domain.find(':'));

    std::string_view linkHost = link.substr(0, link.find('/'));
    linkHost = linkHost.substr(0, linkHost.find(':'));
    return linkHost.size() >= domain.size() &&
           linkHost.compare(linkHost.size() - domain.size(), domain.size(), domain) == 0;
}

bool IsSearchSiteLink(std::string_view address) {
    return IsSameSite(kSearchHost, address);
}

bool LoadFileToBuffer(const std::string& path, TResponseBuffer& buffer) {
    buffer.Clear();
    std::ifstream in(path, std::ios::binary);
    std::error_code error;
    if (!in || std::filesystem::is_directory(path, error)) return false;
    std::string& bytes = buffer.MutableBytes();
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        if (bytes.size() + static_cast<size_t>(in.gcount()) > kMaxResponseBytes) {
            buffer.Clear();
            return false;
        }
        bytes.append(block, static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) {
        buffer.Clear();
        return false;
    }
    buffer.AppendNul();
    return true;
}

} // namespace gathra
