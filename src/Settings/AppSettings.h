#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace gathra {

// The process-wide settings. The main thread writes them; a brief run only reads them.
struct AppSettings {
    std::string BrowserPath;    // program path or whole command line; empty: none set
    std::string BrowserService; // the browser's DDE service name
    bool AutoLoadBrowser = false;
    std::string ProxyServer; // empty: no proxy
    std::int32_t ProxyPort = 80;
    std::int32_t Retries = 3;
    std::int64_t DiskBufferBytes = 1048576; // a run stops when free space is not above this
    std::string DefaultUserName;
    std::string DefaultPassword;
    // Secure pages whose server certificate fails verification become notices; off, they are
    // fetched all the same.
    bool CheckCertificates = true;
    // "Keep page styles and scripts": stored pages also get their stylesheets, scripts, icons,
    // image sources and inline frames.
    bool KeepPageResources = true;
    // "Classic transfers": every request on a new connection of its own, one at a time, as
    // HTTP/1.0 without compression (for servers that misbehave otherwise). Off: kept
    // connections, several at once, compressed answers.
    bool ClassicTransfers = false;
    // "Connections per site": how many requests go to one host at once (fast transfers).
    std::int32_t ConnectionsPerSite = 6;
    static constexpr std::int32_t MinConnectionsPerSite = 1, MaxConnectionsPerSite = 16;
    // "Pause between requests": the least time between two requests to one host, in
    // milliseconds (fast transfers).
    std::int32_t RequestPauseMs = 0;
    static constexpr std::int32_t MaxRequestPauseMs = 60000;
    std::string ProgramFolder; // holds images/, Briefs/ and help/; ends with a separator
    // Stored values that were out of their range or too long, each read as its default: one
    // line of text each, for `gathra settings` to report.
    std::vector<std::string> OutOfRange;
};

} // namespace gathra
