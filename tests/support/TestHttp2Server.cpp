// The test server's HTTP/2 side: one connection's streams, answered from the server's script.
#include "support/TestHttpServer.h"
#include "support/TestServerConnection.h"

#include <nghttp2/nghttp2.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

namespace gathra::test {
namespace {

// How long a held connection waits for more of the client's streams before it answers anyway.
constexpr int kHoldWaitMs = 3000;

struct Stream {
    std::string Path, Authority, Lines;
    std::string Body;
    size_t Sent = 0;
    bool ResetAfterBody = false; // the answer is cut: a reset follows the body sent
};

struct Session {
    nghttp2_session* Http2 = nullptr;
    std::map<int32_t, Stream> Streams;
    std::deque<int32_t> Ready;    // requests complete, not yet answered
    std::vector<int32_t> ToReset; // cut answers whose body has gone
    size_t MaxOpen = 0;
};

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

int BeginHeaders(nghttp2_session*, const nghttp2_frame* frame, void* user) {
    auto& s = *static_cast<Session*>(user);
    if (frame->hd.type == NGHTTP2_HEADERS && frame->headers.cat == NGHTTP2_HCAT_REQUEST) {
        s.Streams[frame->hd.stream_id];
        s.MaxOpen = std::max(s.MaxOpen, s.Streams.size());
    }
    return 0;
}

int Header(nghttp2_session*, const nghttp2_frame* frame, const uint8_t* name, size_t nameLength,
           const uint8_t* value, size_t valueLength, uint8_t, void* user) {
    auto& s = *static_cast<Session*>(user);
    auto found = s.Streams.find(frame->hd.stream_id);
    if (found == s.Streams.end()) return 0;
    const std::string n(reinterpret_cast<const char*>(name), nameLength);
    const std::string v(reinterpret_cast<const char*>(value), valueLength);
    if (n == ":path")
        found->second.Path = v;
    else if (n == ":authority")
        found->second.Authority = v;
    else if (n[0] != ':')
        found->second.Lines += n + ": " + v + "\r\n";
    return 0;
}

int FrameReceived(nghttp2_session*, const nghttp2_frame* frame, void* user) {
    auto& s = *static_cast<Session*>(user);
    if ((frame->hd.flags & NGHTTP2_FLAG_END_STREAM) != 0 &&
        s.Streams.count(frame->hd.stream_id) != 0)
        s.Ready.push_back(frame->hd.stream_id);
    return 0;
}

int StreamClosed(nghttp2_session*, int32_t id, uint32_t, void* user) {
    auto& s = *static_cast<Session*>(user);
    s.Streams.erase(id);
    s.Ready.erase(std::remove(s.Ready.begin(), s.Ready.end(), id), s.Ready.end());
    return 0;
}

ssize_t ReadBody(nghttp2_session*, int32_t id, uint8_t* out, size_t length, uint32_t* flags,
                 nghttp2_data_source*, void* user) {
    auto& s = *static_cast<Session*>(user);
    auto found = s.Streams.find(id);
    if (found == s.Streams.end()) return NGHTTP2_ERR_TEMPORAL_CALLBACK_FAILURE;
    Stream& st = found->second;
    const size_t piece = std::min(length, st.Body.size() - st.Sent);
    std::memcpy(out, st.Body.data() + st.Sent, piece);
    st.Sent += piece;
    if (st.Sent == st.Body.size()) {
        if (!st.ResetAfterBody) {
            *flags |= NGHTTP2_DATA_FLAG_EOF;
        } else if (piece == 0) {
            s.ToReset.push_back(id);
            return NGHTTP2_ERR_DEFERRED;
        }
    }
    return static_cast<ssize_t>(piece);
}

// The answer's parts from the raw bytes a script gives: status, header lines, body; cut holds
// how many of the bytes go.
void SubmitAnswer(Session& s, int32_t id, const TestResponse& response) {
    Stream& st = s.Streams[id];
    const std::string bytes = response.Bytes.substr(0, response.CloseAfter);
    const size_t headEnd = bytes.find("\r\n\r\n");
    if (response.CloseWithoutAnswer || headEnd == std::string::npos) {
        nghttp2_submit_rst_stream(s.Http2, NGHTTP2_FLAG_NONE, id, NGHTTP2_INTERNAL_ERROR);
        return;
    }
    const size_t codeAt = bytes.find(' ');
    std::vector<std::pair<std::string, std::string>> lines = {
        {":status", bytes.substr(codeAt + 1, 3)}};
    for (size_t at = bytes.find("\r\n") + 2; at < headEnd;) {
        const size_t end = bytes.find("\r\n", at);
        const std::string line = bytes.substr(at, end - at);
        at = end + 2;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = Lower(line.substr(0, colon));
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        if (name != "connection" && name != "keep-alive" && name != "transfer-encoding")
            lines.emplace_back(std::move(name), std::move(value));
    }
    st.Body = bytes.substr(headEnd + 4);
    st.ResetAfterBody = response.CloseAfter != TestResponse::kWhole;
    std::vector<nghttp2_nv> nv;
    for (auto& [name, value] : lines)
        nv.push_back({reinterpret_cast<uint8_t*>(name.data()),
                      reinterpret_cast<uint8_t*>(value.data()), name.size(), value.size(),
                      NGHTTP2_NV_FLAG_NONE});
    nghttp2_data_provider body{};
    body.read_callback = ReadBody;
    nghttp2_submit_response(s.Http2, id, nv.data(), nv.size(), &body);
}

} // namespace

bool TestHttpServer::Flush(Connection& connection, void* session) {
    auto& s = *static_cast<Session*>(session);
    for (bool more = true; more;) {
        const uint8_t* data = nullptr;
        ssize_t length;
        while ((length = nghttp2_session_mem_send(s.Http2, &data)) > 0)
            if (!WriteAll(connection, reinterpret_cast<const char*>(data),
                          static_cast<size_t>(length)))
                return false;
        more = !s.ToReset.empty();
        for (int32_t id : s.ToReset)
            nghttp2_submit_rst_stream(s.Http2, NGHTTP2_FLAG_NONE, id, NGHTTP2_INTERNAL_ERROR);
        s.ToReset.clear();
    }
    return true;
}

void TestHttpServer::ServeHttp2(Connection& connection, bool first) {
    nghttp2_session_callbacks* callbacks = nullptr;
    nghttp2_session_callbacks_new(&callbacks);
    nghttp2_session_callbacks_set_on_begin_headers_callback(callbacks, BeginHeaders);
    nghttp2_session_callbacks_set_on_header_callback(callbacks, Header);
    nghttp2_session_callbacks_set_on_frame_recv_callback(callbacks, FrameReceived);
    nghttp2_session_callbacks_set_on_stream_close_callback(callbacks, StreamClosed);
    Session s;
    nghttp2_session_server_new(&s.Http2, callbacks, &s);
    nghttp2_session_callbacks_del(callbacks);
    const nghttp2_settings_entry settings[] = {{NGHTTP2_SETTINGS_MAX_CONCURRENT_STREAMS, 100}};
    nghttp2_submit_settings(s.Http2, NGHTTP2_FLAG_NONE, settings, 1);

    int answered = 0;
    int32_t lastAnswered = 0;
    bool goingAway = false;
    bool holdOver = false;
    char block[16384];
    for (;;) {
        const size_t hold = first ? static_cast<size_t>(std::max(0, holdUntil_.load())) : 0;
        const bool release = holdOver || s.Ready.size() >= hold;
        while (release && !goingAway && !s.Ready.empty()) {
            const int32_t id = s.Ready.front();
            s.Ready.pop_front();
            Stream& st = s.Streams[id];
            Record("GET " + st.Path + " HTTP/2\r\nhost: " + st.Authority + "\r\n" + st.Lines +
                       "\r\n",
                   st.Path);
            std::shared_ptr<const TestResponse> chosen = Choose(st.Path);
            if (!chosen->NeverAnswer) SubmitAnswer(s, id, *chosen);
            lastAnswered = std::max(lastAnswered, id);
            const int after = goAwayAfter_.load();
            if (after > 0 && ++answered >= after) {
                nghttp2_submit_goaway(s.Http2, NGHTTP2_FLAG_NONE, lastAnswered, NGHTTP2_NO_ERROR,
                                      nullptr, 0);
                goingAway = true;
            }
        }
        {
            std::lock_guard lock(mutex_);
            maxOpenStreams_ = std::max(maxOpenStreams_, s.MaxOpen);
        }
        if (!Flush(connection, &s)) break;
        if (goingAway) {
            // A graceful end: what the client still sends is read, so that the close does not
            // reset the connection before the client has read the answers.
            if (connection.Tls) connection.Tls->Close();
            shutdown(connection.Fd, SHUT_WR);
            while (ReadSome(connection, block, sizeof block) > 0) {
            }
            break;
        }
        if (!release && !listener_.Wait(connection.Fd, POLLIN, kHoldWaitMs)) {
            holdOver = true;
            continue;
        }
        {
            const ssize_t got = ReadSome(connection, block, sizeof block);
            if (got <= 0 ||
                nghttp2_session_mem_recv(s.Http2, reinterpret_cast<const uint8_t*>(block),
                                         static_cast<size_t>(got)) < 0)
                break;
        }
    }
    nghttp2_session_del(s.Http2);
}

} // namespace gathra::test
