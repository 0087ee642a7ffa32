// The one file that uses libnghttp2: the framing only. Which requests go when, the connection's
// socket and the reading of answers are the program's own (Net/Http2Connection).
#include "Net/Http2Framing.h"

#include <nghttp2/nghttp2.h>

#include <memory>
#include <stdexcept>

namespace gathra {
namespace {

// Server push is turned off, and the server may open no streams of its own.
constexpr std::uint32_t kPushedStreams = 0;

THttp2Framing::Listener& ListenerOf(void* user) {
    return *static_cast<THttp2Framing::Listener*>(user);
}

int OnHeader(nghttp2_session*, const nghttp2_frame* frame, const std::uint8_t* name,
             std::size_t nameLength, const std::uint8_t* value, std::size_t valueLength,
             std::uint8_t, void* user) {
    if (frame->hd.type == NGHTTP2_HEADERS)
        ListenerOf(user).OnHeader(
            frame->hd.stream_id, std::string_view(reinterpret_cast<const char*>(name), nameLength),
            std::string_view(reinterpret_cast<const char*>(value), valueLength));
    return 0;
}

int OnFrame(nghttp2_session*, const nghttp2_frame* frame, void* user) {
    if (frame->hd.type == NGHTTP2_HEADERS && (frame->hd.flags & NGHTTP2_FLAG_END_HEADERS) != 0)
        ListenerOf(user).OnHeadersDone(frame->hd.stream_id);
    else if (frame->hd.type == NGHTTP2_GOAWAY)
        ListenerOf(user).OnGoAway(frame->goaway.last_stream_id);
    return 0;
}

int OnData(nghttp2_session*, std::uint8_t, std::int32_t stream, const std::uint8_t* data,
           std::size_t length, void* user) {
    ListenerOf(user).OnData(stream, std::string_view(reinterpret_cast<const char*>(data), length));
    return 0;
}

int OnClosed(nghttp2_session*, std::int32_t stream, std::uint32_t errorCode, void* user) {
    ListenerOf(user).OnClosed(stream, errorCode);
    return 0;
}

struct CallbacksFree {
    void operator()(nghttp2_session_callbacks* c) const { nghttp2_session_callbacks_del(c); }
};
struct OptionFree {
    void operator()(nghttp2_option* o) const { nghttp2_option_del(o); }
};

} // namespace

THttp2Framing::THttp2Framing(Listener& listener, std::uint32_t streamWindow,
                             std::uint32_t connectionWindow) {
    nghttp2_session_callbacks* raw = nullptr;
    if (nghttp2_session_callbacks_new(&raw) != 0) throw std::bad_alloc();
    std::unique_ptr<nghttp2_session_callbacks, CallbacksFree> callbacks(raw);
    nghttp2_session_callbacks_set_on_header_callback(raw, OnHeader);
    nghttp2_session_callbacks_set_on_frame_recv_callback(raw, OnFrame);
    nghttp2_session_callbacks_set_on_data_chunk_recv_callback(raw, OnData);
    nghttp2_session_callbacks_set_on_stream_close_callback(raw, OnClosed);
    nghttp2_option* rawOption = nullptr;
    if (nghttp2_option_new(&rawOption) != 0) throw std::bad_alloc();
    std::unique_ptr<nghttp2_option, OptionFree> option(rawOption);
    // Window updates follow what the readers take, not what arrives.
    nghttp2_option_set_no_auto_window_update(rawOption, 1);
    if (nghttp2_session_client_new2(&session_, raw, &listener, rawOption) != 0)
        throw std::bad_alloc();
    const nghttp2_settings_entry settings[] = {
        {NGHTTP2_SETTINGS_ENABLE_PUSH, 0},
        {NGHTTP2_SETTINGS_MAX_CONCURRENT_STREAMS, kPushedStreams},
        {NGHTTP2_SETTINGS_INITIAL_WINDOW_SIZE, streamWindow},
    };
    if (nghttp2_submit_settings(session_, NGHTTP2_FLAG_NONE, settings, std::size(settings)) != 0 ||
        nghttp2_session_set_local_window_size(session_, NGHTTP2_FLAG_NONE, 0,
                                              static_cast<std::int32_t>(connectionWindow)) != 0) {
        nghttp2_session_del(session_);
        throw std::bad_alloc();
    }
}

THttp2Framing::~THttp2Framing() {
    nghttp2_session_del(session_);
}

std::int32_t THttp2Framing::Submit(const std::vector<Header>& headers) {
    std::vector<nghttp2_nv> lines;
    lines.reserve(headers.size());
    for (const Header& h : headers)
        lines.push_back({reinterpret_cast<std::uint8_t*>(const_cast<char*>(h.first.data())),
                         reinterpret_cast<std::uint8_t*>(const_cast<char*>(h.second.data())),
                         h.first.size(), h.second.size(), NGHTTP2_NV_FLAG_NONE});
    const std::int32_t stream =
        nghttp2_submit_request(session_, nullptr, lines.data(), lines.size(), nullptr, nullptr);
    return stream > 0 ? stream : -1;
}

void THttp2Framing::Cancel(std::int32_t stream) {
    nghttp2_submit_rst_stream(session_, NGHTTP2_FLAG_NONE, stream, NGHTTP2_CANCEL);
}

void THttp2Framing::Consumed(std::int32_t stream, std::size_t bytes) {
    // A stream that has closed meanwhile still gives the connection's window back.
    if (nghttp2_session_consume(session_, stream, bytes) != 0) Discarded(bytes);
}

void THttp2Framing::Discarded(std::size_t bytes) {
    nghttp2_session_consume_connection(session_, bytes);
}

bool THttp2Framing::Receive(std::string_view bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    return nghttp2_session_mem_recv(session_, data, bytes.size()) ==
           static_cast<ssize_t>(bytes.size());
}

bool THttp2Framing::TakeOutput(std::string& out) {
    for (;;) {
        const std::uint8_t* data = nullptr;
        const auto length = nghttp2_session_mem_send(session_, &data);
        if (length < 0) return false;
        if (length == 0) return true;
        out.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
    }
}

void THttp2Framing::Finish() {
    nghttp2_session_terminate_session(session_, NGHTTP2_NO_ERROR);
}

bool THttp2Framing::HasOutput() const {
    return nghttp2_session_want_write(session_) != 0;
}

bool THttp2Framing::Alive() const {
    return nghttp2_session_want_read(session_) != 0 || nghttp2_session_want_write(session_) != 0;
}

std::uint32_t THttp2Framing::PeerMaxStreams() const {
    return nghttp2_session_get_remote_settings(session_, NGHTTP2_SETTINGS_MAX_CONCURRENT_STREAMS);
}

} // namespace gathra
