#include "Net/HttpText.h"
#include "Net/HttpClient.h"

#include "Html/LinkResolution.h"
#include "Text/AsciiText.h"
#include "Text/Base64.h"

#include <algorithm>
#include <cstring>

namespace gathra::http {

char Lower(char c) {
    return AsciiLower(c);
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
    return gathra::StartsWithNoCase(text, lowerPrefix);
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

bool IsOtherText(std::string_view response) {
    size_t end = FindHeaderEnd(response);
    if (end == std::string_view::npos) return false;
    std::string header(response.substr(0, end));
    for (char& c : header)
        c = Lower(c);
    return IsOtherTextType(HeaderValue(header, "content-type:"));
}

bool IsOtherTextType(std::string_view loweredType) {
    return loweredType.substr(0, 4) == "text" && loweredType.substr(0, 9) != "text/html";
}

std::string_view RefusedTypeSetting(std::string_view contentType) {
    if (contentType.substr(0, 9) == "multipart") return {};
    if (contentType.substr(0, 5) == "image") return "Images &amp; Plug-ins";
    return "Other Files";
}

// Splits a connect target "host[:port][/...]" and finds the host's address.

ConnectTarget ParseConnectTarget(const std::string& connectTo) {
    ConnectTarget target;
    // A "\" ends the host as "/" does: "host:8080\page" names port 8080, not a port "8080\".
    std::string host = connectTo.substr(0, connectTo.find_first_of("/\\"));
    if (host.size() > kMaxHostLength) host.resize(kMaxHostLength);
    size_t colon = host.find(':');
    if (colon != std::string::npos) {
        std::string port = host.substr(colon + 1);
        host.resize(colon);
        unsigned value = 0;
        bool valid = port.size() <= 5;
        for (char c : port) {
            if (c < '0' || c > '9')
                valid = false;
            else
                value = value * 10 + static_cast<unsigned>(c - '0');
        }
        // No port given means the usual one; a port given wrongly must not lead to another server.
        if (!port.empty()) {
            if (valid && value > 0 && value <= 65535)
                target.Port = static_cast<std::uint16_t>(value);
            else
                target.Valid = false;
        }
    }
    target.Host = host;
    return target;
}

// Keeps the response header scan linear: the search for the header end resumes where the last
std::string BuildRequest(std::string_view hostAndPath, bool viaProxy, bool authorising,
                         const std::string& userName, const std::string& password,
                         const std::string& agentComment) {
    size_t slash = hostAndPath.find_first_of("/\\");
    std::string_view host = hostAndPath.substr(0, slash);
    std::string path(slash == std::string_view::npos ? std::string_view("/")
                                                     : hostAndPath.substr(slash));
    path.resize(std::min(path.size(), path.find('#')));
    // A "\" that ends the host begins the path as "/" would.
    if (path[0] == '\\') path[0] = '/';
    std::string target;
    if (viaProxy) {
        target = "http://";
        target += host;
    }
    target += path;
    // A blank would end the request target; it is sent encoded.
    for (size_t at = target.find(' '); at != std::string::npos; at = target.find(' ', at + 3))
        target.replace(at, 1, "%20");
    std::string agent = "User-Agent: " + std::string(kUserAgent);
    if (!agentComment.empty()) {
        // The comment is the brief's text: a line break in it must not start a header line.
        std::string comment = agentComment;
        for (char& c : comment)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
        agent += " (" + comment + ")";
    }
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

std::string KeptRequest(std::string classic) {
    const std::size_t lineEnd = classic.find("\r\n");
    constexpr std::string_view kOld = " HTTP/1.0";
    if (lineEnd != std::string::npos && lineEnd >= kOld.size() &&
        classic.compare(lineEnd - kOld.size(), kOld.size(), kOld) == 0)
        classic.replace(lineEnd - kOld.size(), kOld.size(), " HTTP/1.1");
    if (classic.size() >= 2)
        classic.insert(classic.size() - 2, "Accept-Encoding: gzip, deflate\r\n");
    return classic;
}

bool IsSendableAddress(std::string_view hostAndPath) {
    const size_t hostEnd = hostAndPath.find('/');
    for (size_t i = 0; i < hostAndPath.size(); ++i) {
        const auto c = static_cast<unsigned char>(hostAndPath[i]);
        if (c < 0x20 || c == 0x7F) return false;
        if (c == ' ' && i < hostEnd) return false;
    }
    return true;
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
    // "https://" is followed over TLS, "http://" over plain HTTP; a relative value keeps the
    // scheme of the current address.
    const bool secure = absolute && IsSecureAddress(value);
    if (absolute) value.erase(0, scheme + 3);
    // A value that is not absolute is a path on the same host or a relative reference (which
    // servers of HTTP/1.0 days never sent but current ones do); both are resolved against the
    // current address. Neither can lead to a local file: "file://" is only honoured at the start
    // of a call.
    // Either form ends at a blank, tab, line break or ">": what follows must never reach the
    // next request line.
    size_t end = value.find_first_of(" \t\r\n>");
    if (end != std::string::npos) value.resize(end);
    if (absolute && (value.empty() || value[0] != '/')) return secure ? "https://" + value : value;
    return ResolveLink(current, value);
}
} // namespace gathra::http

namespace gathra {

size_t FindHeaderEnd(std::string_view data) {
    size_t crlf = data.find("\r\n\r\n");
    // Only an LF LF before the CR LF CR LF counts; look no further than that.
    std::string_view head = crlf == std::string_view::npos ? data : data.substr(0, crlf + 2);
    size_t lf = head.find("\n\n");
    if (lf != std::string_view::npos) return lf + 2;
    return crlf == std::string_view::npos ? std::string_view::npos : crlf + 4;
}

namespace http {

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

} // namespace http

int FindStatusCode(std::string_view response) {
    size_t end;
    return http::FindStatus(response, end);
}

} // namespace gathra
