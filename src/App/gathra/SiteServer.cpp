#include "App/gathra/SiteServer.h"
#include "Text/AsciiText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace gathra {

namespace {

constexpr std::string_view kSearchServiceHost = "search.yahoo.com";
constexpr std::string_view kSearchPath = "/bin/search";
constexpr size_t kMaxRequestBytes = 16 * 1024;
constexpr int kIoWaitMs = 5000;

std::string HtmlEscaped(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Response(int code, std::string_view reason, std::string_view type,
                     std::string_view body) {
    std::string out = "HTTP/1.0 " + std::to_string(code) + " " + std::string(reason) + "\r\n";
    out += "Server: gathra-site\r\n";
    out += "Content-Type: " + std::string(type) + "\r\n";
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    out += body;
    return out;
}

std::string NotFound(std::string_view path) {
    std::string body = "<html><head><title>Not Found</title></head><body><h1>Not Found</h1><p>"
                       "There is no page " +
                       HtmlEscaped(path) + " here.</p></body></html>";
    return Response(404, "Not Found", "text/html", body);
}

bool ReadWhole(const std::filesystem::path& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

void ReplaceAll(std::string& s, std::string_view what, std::string_view with) {
    size_t at = 0;
    while ((at = s.find(what, at)) != std::string::npos) {
        s.replace(at, what.size(), with);
        at += with.size();
    }
}

// The text between <title> and </title>, or the fallback.
std::string PageTitle(const std::string& page, const std::string& fallback) {
    std::string lower = Lowered(page);
    size_t open = lower.find("<title>");
    if (open == std::string::npos) return fallback;
    size_t close = lower.find("</title>", open);
    if (close == std::string::npos) return fallback;
    return page.substr(open + 7, close - open - 7);
}

// A path that may be joined to the root: no "..", no NUL, no backslash.
bool IsSafePath(std::string_view path) {
    if (path.find('\0') != std::string_view::npos || path.find('\\') != std::string_view::npos)
        return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (path.substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

} // namespace

std::string_view ContentTypeFor(std::string_view fileName) {
    size_t dot = fileName.rfind('.');
    std::string ext = dot == std::string_view::npos ? "" : Lowered(fileName.substr(dot + 1));
    if (ext == "htm" || ext == "html") return "text/html";
    if (ext == "gif") return "image/gif";
    if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
    if (ext == "png") return "image/png";
    if (ext == "txt") return "text/plain";
    // A browser applies a stylesheet or runs a script of a standards-mode page only with these.
    if (ext == "css") return "text/css";
    if (ext == "js") return "text/javascript";
    if (ext == "svg") return "image/svg+xml";
    if (ext == "webp") return "image/webp";
    if (ext == "ico") return "image/x-icon";
    if (ext == "woff2") return "font/woff2";
    if (ext == "woff") return "font/woff";
    if (ext == "ttf") return "font/ttf";
    return "application/octet-stream";
}

std::string DecodeQueryValue(std::string_view value) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        c = AsciiLower(c);
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < value.size() && hex(value[i + 1]) >= 0 &&
                   hex(value[i + 2]) >= 0) {
            out += char(hex(value[i + 1]) * 16 + hex(value[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

SiteServer::SiteServer(std::filesystem::path root) : root_(std::move(root)) {
    // The program's client makes one request at a time, so connections are served in turn.
    if (listener_.Listen())
        listener_.Start([this](int fd) {
            Serve(fd);
            ::close(fd);
        });
}

SiteServer::~SiteServer() {
    listener_.Stop();
}

std::string SiteServer::HostPort() const {
    return "127.0.0.1:" + std::to_string(Port());
}

void SiteServer::Serve(int fd) {
    std::string request;
    char chunk[4096];
    while (request.find("\r\n\r\n") == std::string::npos &&
           request.find("\n\n") == std::string::npos) {
        if (request.size() > kMaxRequestBytes) return;
        if (!listener_.Wait(fd, POLLIN, kIoWaitMs)) return;
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        request.append(chunk, size_t(n));
    }
    size_t lineEnd = request.find_first_of("\r\n");
    std::string line = request.substr(0, lineEnd);
    size_t sp1 = line.find(' ');
    size_t sp2 = sp1 == std::string::npos ? std::string::npos : line.find(' ', sp1 + 1);
    std::string answer;
    if (sp1 == std::string::npos || line.substr(0, sp1) != "GET") {
        answer = Response(400, "Bad Request", "text/html",
                          "<html><body><h1>Bad Request</h1></body></html>");
    } else {
        answer = AnswerFor(
            line.substr(sp1 + 1, sp2 == std::string::npos ? std::string::npos : sp2 - sp1 - 1));
    }
    size_t sent = 0;
    while (sent < answer.size()) {
        if (!listener_.Wait(fd, POLLOUT, kIoWaitMs)) return;
        ssize_t n = ::send(fd, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        sent += size_t(n);
    }
    served_.fetch_add(1);
    // Let the client read the whole answer before the close: half-close, then drain briefly.
    ::shutdown(fd, SHUT_WR);
    while (listener_.Wait(fd, POLLIN, 200) && ::recv(fd, chunk, sizeof chunk, 0) > 0) {
    }
}

std::string SiteServer::AnswerFor(std::string_view target) const {
    std::string_view path = target;
    if (StartsWithNoCase(target, "http://")) {
        std::string_view rest = target.substr(7);
        size_t slash = rest.find('/');
        std::string_view host = rest.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view("/") : rest.substr(slash);
        std::string hostName = Lowered(host.substr(0, host.find(':')));
        if (hostName == kSearchServiceHost) {
            if (path.substr(0, kSearchPath.size()) != kSearchPath) return NotFound(path);
            std::string_view query;
            size_t q = path.find('?');
            std::string_view params =
                q == std::string_view::npos ? std::string_view() : path.substr(q + 1);
            size_t start = 0;
            while (start <= params.size()) {
                size_t end = params.find('&', start);
                if (end == std::string_view::npos) end = params.size();
                std::string_view pair = params.substr(start, end - start);
                if (pair.substr(0, 2) == "p=") query = pair.substr(2);
                start = end + 1;
            }
            return Response(200, "OK", "text/html", SearchResults(DecodeQueryValue(query)));
        }
    }
    if (path.empty() || path[0] != '/') return NotFound(path);
    std::string_view clean = path.substr(0, path.find_first_of("?#"));
    if (!IsSafePath(clean)) return NotFound(clean);
    std::string relative(clean.substr(1));
    if (relative.empty() || relative.back() == '/') relative += "index.htm";
    std::filesystem::path file = root_ / relative;
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) file /= "index.htm";
    std::string body;
    if (!std::filesystem::is_regular_file(file, ec) || !ReadWhole(file, body))
        return NotFound(clean);
    std::string_view type = ContentTypeFor(file.filename().string());
    if (type == "text/html") ReplaceAll(body, "@PORT@", std::to_string(Port()));
    return Response(200, "OK", type, body);
}

std::string SiteServer::SearchResults(std::string_view query) const {
    std::vector<std::string> words;
    {
        std::istringstream in{std::string(query)};
        std::string w;
        while (in >> w)
            words.push_back(Lowered(w));
    }
    std::vector<std::pair<std::string, std::string>> hits; // path, title
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec) ||
            ContentTypeFor(it->path().filename().string()) != "text/html")
            continue;
        std::string page;
        if (!ReadWhole(it->path(), page)) continue;
        std::string lower = Lowered(page);
        bool match = !words.empty() && std::any_of(words.begin(), words.end(), [&](auto& w) {
            return lower.find(w) != std::string::npos;
        });
        if (!match) continue;
        std::string rel = std::filesystem::relative(it->path(), root_, ec).generic_string();
        hits.emplace_back(rel, PageTitle(page, rel));
    }
    std::sort(hits.begin(), hits.end());
    std::string body = "<html><head><title>Search results: " + HtmlEscaped(query) +
                       "</title></head><body><h1>Search results</h1><p>You searched for <b>" +
                       HtmlEscaped(query) + "</b>.</p>";
    if (hits.empty()) {
        body += "<p>No pages matched.</p>";
    } else {
        body += "<ol>";
        for (const auto& [rel, title] : hits)
            body += "<li><a href=\"http://" + HostPort() + "/" + rel + "\">" + title + "</a></li>";
        body += "</ol>";
    }
    body += "</body></html>";
    return body;
}

} // namespace gathra
