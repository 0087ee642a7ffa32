#pragma once
#include "Platform/LoopbackListener.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace gathra {

// A small static web server for the bundled demo site and the crawl benchmark. It listens on
// 127.0.0.1 on a free port from construction on, serves the files under its root folder over
// HTTP/1.0 (one response per connection), and also answers requests in a proxy's form
// ("GET http://host/path HTTP/1.0"):
//  - for its own address or any other host, it serves its own files, so that links to "another
//    host" stay on this machine;
//  - for the search service's host with "/bin/search?p=...", it answers a results page whose
//    links lead into the site, so that a search entry can be tried without the network.
// In pages (".htm", ".html") the text "@PORT@" is replaced by the port, so that a page can link
// to the same server under another host name. Every wait is bounded; the destructor stops the
// server and joins its thread.
class SiteServer {
public:
    explicit SiteServer(std::filesystem::path root);
    ~SiteServer();
    SiteServer(const SiteServer&) = delete;
    SiteServer& operator=(const SiteServer&) = delete;

    // False when no socket could be had (then Port() is 0 and Error() says why).
    bool Listening() const { return listener_.Listening(); }
    const std::string& Error() const { return listener_.Error(); }
    int Port() const { return listener_.Port(); }
    // "127.0.0.1:<port>".
    std::string HostPort() const;
    std::uint64_t RequestsServed() const { return served_.load(); }

    // The whole answer for one request line's target (exposed for tests): status line, header
    // lines, blank line and body.
    std::string AnswerFor(std::string_view target) const;

private:
    void Serve(int fd);
    std::string SearchResults(std::string_view query) const;

    std::filesystem::path root_;
    std::atomic<std::uint64_t> served_{0};
    LoopbackListener listener_; // last: its thread stops before the rest goes
};

// The answer's content type for a file name, by its extension.
std::string_view ContentTypeFor(std::string_view fileName);

// Decodes a query value: "+" is a blank and "%XX" a byte.
std::string DecodeQueryValue(std::string_view value);

} // namespace gathra
