#pragma once
// The fixture of the HTTP client's tests: a loopback server, a run context with a short time unit
// kept on the tests' time (which moves only while the server waits on it), and a host that
// records the status and progress the client shows.
#include "Net/HttpClient.h"

#include "Platform/SocketCanceller.h"
#include "Run/RunCancel.h"
#include "Run/RunContext.h"
#include "Run/RunHost.h"
#include "Settings/AppSettings.h"
#include "Text/Base64.h"
#include "support/QuietHost.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "support/TestTicks.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>

namespace gathra::test {

// Records what the client shows in the status bar and the progress bar.
class RecordingHost : public QuietHost {
public:
    void UpdateProgress(int percent) override {
        std::lock_guard lock(mutex);
        progress.push_back(percent);
    }
    void SetStatusText(const std::string& text) override {
        std::lock_guard lock(mutex);
        status.push_back(text);
    }

    std::mutex mutex;
    std::vector<std::string> status;
    std::vector<int> progress;
};

// A fetch's request as the tests give it; Base empty: the test server's own address.
struct Options : TFetchRequest {
    std::string Base;
};

// The notices, told apart by a phrase of their own.
inline bool Holds(const TResponseBuffer& buffer, std::string_view text) {
    return buffer.Bytes().find(text) != std::string::npos;
}
inline constexpr std::string_view kSkipped = "<title>Gathra Light Web page skipped</title>";
inline constexpr std::string_view kConnectFailed = "was unable to connect to the server";
inline constexpr std::string_view kNetworkBusy = "heavily loaded";
inline constexpr std::string_view kPassword = "This page requires a UserName and Password.";
inline constexpr std::string_view kRefused =
    "a type of file that this brief entry does not retrieve";
inline constexpr std::string_view kExternal = "<title>External Link</title>";
inline constexpr std::string_view kOtherStatus = "The server was unable to respond to the request.";
inline constexpr std::string_view kNotFound = "unable to find or deliver";

// The body of a fetched response (header and closing NUL left out).
inline std::string BodyOf(const TResponseBuffer& buffer) {
    std::string bytes = buffer.Bytes();
    size_t end = FindHeaderEnd(bytes);
    bytes = end == std::string::npos ? bytes : bytes.substr(end);
    if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    return bytes;
}

inline std::string WithNul(std::string bytes) {
    bytes.push_back('\0');
    return bytes;
}

class HttpClientTest : public ::testing::Test {
protected:
    HttpClientTest() {
        run.Settings = &settings;
        run.Flags = &flags;
        run.Canceller = &canceller;
        run.Host = &host;
        run.TimeUnitMs = 5;
        run.Ticks = &ticks;
        server.SetTicks(&ticks);
    }

    TFetchResult Fetch(std::string& address, const Options& o = {}) {
        TFetchRequest request = o;
        request.Address = address;
        request.BaseAddress = o.Base.empty() ? server.HostPort() : o.Base;
        request.AllowLocalFiles = run.LocalEntry;
        TFetchResult result = FetchDocument(request, buffer, run);
        address = result.Address;
        return result;
    }
    TFetchResult Fetch(const std::string& path, const Options& o = {}) {
        std::string address = server.Address(path);
        return Fetch(address, o);
    }

    TestTicks ticks; // outlives the server, whose connections wait on it
    TestHttpServer server;
    AppSettings settings;
    RunFlags flags;
    SocketCanceller canceller;
    RecordingHost host;
    TRunContext run;
    TResponseBuffer buffer;
};

} // namespace gathra::test
