#include "Platform/TlsStream.h"

#include "Platform/SharedLibrary.h"
#include "Platform/Socket.h"
#include "Platform/SocketCanceller.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>

#ifndef GATHRA_TLS_LIBRARY
#error "GATHRA_TLS_LIBRARY must name the TLS library's soname (set by the build)"
#endif
#ifndef GATHRA_TLS_SYMBOL_VERSION
#error "GATHRA_TLS_SYMBOL_VERSION must name the TLS library's symbol version (set by the build)"
#endif

namespace gathra {
namespace {

// Every OpenSSL function this file calls. Several of the calls below are macros over SSL_ctrl,
// SSL_CTX_ctrl and the BIO flag functions; those are listed in their place.
#define GATHRA_TLS_FUNCTIONS(F)                                                                    \
    F(BIO_clear_flags)                                                                             \
    F(BIO_free)                                                                                    \
    F(BIO_get_data)                                                                                \
    F(BIO_get_new_index)                                                                           \
    F(BIO_meth_new)                                                                                \
    F(BIO_meth_set_create)                                                                         \
    F(BIO_meth_set_ctrl)                                                                           \
    F(BIO_meth_set_read)                                                                           \
    F(BIO_meth_set_write)                                                                          \
    F(BIO_new)                                                                                     \
    F(BIO_new_mem_buf)                                                                             \
    F(BIO_set_data)                                                                                \
    F(BIO_set_flags)                                                                               \
    F(BIO_set_init)                                                                                \
    F(ERR_clear_error)                                                                             \
    F(PEM_read_bio_X509)                                                                           \
    F(SSL_CTX_ctrl)                                                                                \
    F(SSL_CTX_sess_set_new_cb)                                                                     \
    F(SSL_CTX_free)                                                                                \
    F(SSL_CTX_get_cert_store)                                                                      \
    F(SSL_CTX_new)                                                                                 \
    F(SSL_CTX_set_default_verify_paths)                                                            \
    F(SSL_CTX_set_options)                                                                         \
    F(SSL_connect)                                                                                 \
    F(SSL_ctrl)                                                                                    \
    F(SSL_SESSION_dup)                                                                             \
    F(SSL_SESSION_free)                                                                            \
    F(SSL_SESSION_is_resumable)                                                                    \
    F(SSL_free)                                                                                    \
    F(SSL_get0_alpn_selected)                                                                      \
    F(SSL_get0_param)                                                                              \
    F(SSL_get_error)                                                                               \
    F(SSL_get_ex_data)                                                                             \
    F(SSL_get_verify_result)                                                                       \
    F(SSL_new)                                                                                     \
    F(SSL_pending)                                                                                 \
    F(SSL_read_ex)                                                                                 \
    F(SSL_session_reused)                                                                          \
    F(SSL_set_alpn_protos)                                                                         \
    F(SSL_set_bio)                                                                                 \
    F(SSL_set_ex_data)                                                                             \
    F(SSL_set_session)                                                                             \
    F(SSL_set_verify)                                                                              \
    F(SSL_write_ex)                                                                                \
    F(TLS_client_method)                                                                           \
    F(X509_STORE_add_cert)                                                                         \
    F(X509_VERIFY_PARAM_set1_host)                                                                 \
    F(X509_VERIFY_PARAM_set1_ip_asc)                                                               \
    F(X509_VERIFY_PARAM_set_hostflags)                                                             \
    F(X509_free)

// The library is opened on the first handshake, so the program does not link it: each function
// is a pointer of the function's own type, named as the function. Declared in this namespace,
// the pointers stand in for the functions in every call below, those inside the macros too, and
// a call of a function missing from the list fails to link.
#define GATHRA_TLS_POINTER(name) decltype(&::name) name = nullptr;
GATHRA_TLS_FUNCTIONS(GATHRA_TLS_POINTER)
#undef GATHRA_TLS_POINTER

// Opens the library and resolves every function, once for the process (the first secure
// connections of several runs may start together). False when the library or one of its
// functions is missing; then no pointer is called.
bool TlsLoaded() {
    static const bool loaded = [] {
        // Open until the process ends: contexts and sessions live as long.
        static TSharedLibrary* const library =
            new TSharedLibrary(GATHRA_TLS_LIBRARY, GATHRA_TLS_SYMBOL_VERSION);
        bool all = library->Loaded();
#define GATHRA_TLS_RESOLVE(name) all = all && library->Resolve(#name, name);
        GATHRA_TLS_FUNCTIONS(GATHRA_TLS_RESOLVE)
#undef GATHRA_TLS_RESOLVE
        return all;
    }();
    return loaded;
}

// Sessions kept for resumption: a later connection to the same server skips the certificate
// exchange and its round trip. Each is kept under the context it was made in, the host name it
// was checked for, whether it was checked at all and the caller's key (the port): a session is
// only offered where a full handshake would have checked the same things.
class SessionCache {
public:
    static constexpr std::size_t kMaxSessions = 512;

    static SessionCache& Of() {
        static SessionCache* const cache = new SessionCache; // lives as long as the library
        return *cache;
    }
    // Takes the reference of session.
    void Put(const std::string& key, SSL_SESSION* session) {
        std::lock_guard lock(mutex_);
        auto found = sessions_.find(key);
        if (found != sessions_.end()) {
            SSL_SESSION_free(found->second);
            found->second = session;
            return;
        }
        if (sessions_.size() >= kMaxSessions) {
            SSL_SESSION_free(sessions_.begin()->second);
            sessions_.erase(sessions_.begin());
        }
        sessions_.emplace(key, session);
    }
    // Offers the session kept under key to ssl; false when there is none.
    bool Offer(const std::string& key, SSL* ssl) {
        std::lock_guard lock(mutex_);
        auto found = sessions_.find(key);
        return found != sessions_.end() && SSL_set_session(ssl, found->second) == 1;
    }

private:
    std::mutex mutex_;
    std::map<std::string, SSL_SESSION*> sessions_;
};

// OpenSSL hands over each new session (TLS 1.3 sends its tickets after the handshake, so they
// arrive with the first answer); the stream's key rides on the connection's object. A copy is
// kept: the connection's own session is marked unusable when it ends without the closing
// message, which ours do.
int KeepNewSession(SSL* ssl, SSL_SESSION* session) {
    const auto* key = static_cast<const std::string*>(SSL_get_ex_data(ssl, 0));
    if (key == nullptr || key->empty() || SSL_SESSION_is_resumable(session) != 1) return 0;
    if (SSL_SESSION* copy = SSL_SESSION_dup(session)) SessionCache::Of().Put(*key, copy);
    return 0;
}

struct ContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
using ContextPtr = std::unique_ptr<SSL_CTX, ContextFree>;

SSL_CTX* NewContext(const std::string& authorityPem) {
    ContextPtr context(SSL_CTX_new(TLS_client_method()));
    if (!context) return nullptr;
    SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
    // HTTP/1.0 ends a body by closing the connection, and many servers close without the TLS
    // closing message; that is the end of the body, not an error.
    SSL_CTX_set_options(context.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(context.get(), SSL_MODE_ENABLE_PARTIAL_WRITE);
    // Sessions are kept by SessionCache only, under keys that hold the host's name.
    SSL_CTX_set_session_cache_mode(context.get(),
                                   SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(context.get(), KeepNewSession);
    if (authorityPem.empty()) {
        if (SSL_CTX_set_default_verify_paths(context.get()) != 1) return nullptr;
        return context.release();
    }
    std::unique_ptr<BIO, decltype(BIO_free)> in(
        BIO_new_mem_buf(authorityPem.data(), static_cast<int>(authorityPem.size())), BIO_free);
    X509_STORE* store = SSL_CTX_get_cert_store(context.get());
    int added = 0;
    while (in) {
        X509* authority = PEM_read_bio_X509(in.get(), nullptr, nullptr, nullptr);
        if (authority == nullptr) break;
        if (X509_STORE_add_cert(store, authority) == 1) ++added;
        X509_free(authority);
    }
    ERR_clear_error(); // the end of the PEM text reads as an error
    return added > 0 ? context.release() : nullptr;
}

// One context per trust store, shared by every session of the process: setting one up reads
// the store, which is too slow to repeat for each page.
SSL_CTX* ContextFor(const std::string& authorityPem) {
    static std::mutex mutex;
    static std::map<std::string, ContextPtr> contexts;
    std::lock_guard lock(mutex);
    auto found = contexts.find(authorityPem);
    if (found != contexts.end()) return found->second.get();
    SSL_CTX* context = NewContext(authorityPem);
    if (context != nullptr) contexts.emplace(authorityPem, ContextPtr(context));
    return context;
}

// OpenSSL's own socket layer writes with write(), which raises SIGPIPE when the server has gone
// and ends the program; this one sends with MSG_NOSIGNAL instead.
int SocketBioWrite(BIO* bio, const char* data, int size) {
    BIO_clear_retry_flags(bio);
    int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
    ssize_t n;
    do
        n = send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) BIO_set_retry_write(bio);
    return static_cast<int>(n);
}

int SocketBioRead(BIO* bio, char* data, int size) {
    BIO_clear_retry_flags(bio);
    int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
    ssize_t n;
    do
        n = recv(fd, data, static_cast<size_t>(size), 0);
    while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) BIO_set_retry_read(bio);
    return static_cast<int>(n);
}

long SocketBioControl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int SocketBioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

BIO* NewSocketBio(int fd) {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket");
        if (m != nullptr) {
            BIO_meth_set_write(m, SocketBioWrite);
            BIO_meth_set_read(m, SocketBioRead);
            BIO_meth_set_ctrl(m, SocketBioControl);
            BIO_meth_set_create(m, SocketBioCreate);
        }
        return m;
    }();
    if (method == nullptr) return nullptr;
    BIO* bio = BIO_new(method);
    if (bio != nullptr) BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
    return bio;
}

TlsProblem ProblemOfVerifyResult(long result) {
    switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return TlsProblem::Expired;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return TlsProblem::NotYetValid;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return TlsProblem::WrongHost;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return TlsProblem::SelfSigned;
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return TlsProblem::UnknownIssuer;
    default:
        return TlsProblem::Untrusted;
    }
}

bool IsDottedAddress(const std::string& host) {
    std::uint32_t ignored;
    return TSocket::ParseDottedAddress(host, ignored);
}

} // namespace

std::string_view TlsProblemText(TlsProblem problem) {
    switch (problem) {
    case TlsProblem::None:
        return "";
    case TlsProblem::Expired:
        return "the server's certificate has expired";
    case TlsProblem::NotYetValid:
        return "the server's certificate is not valid yet";
    case TlsProblem::WrongHost:
        return "the server's certificate was issued for a different host name";
    case TlsProblem::UnknownIssuer:
        return "the server's certificate was issued by an unknown authority";
    case TlsProblem::SelfSigned:
        return "the server's certificate is self-signed";
    case TlsProblem::Untrusted:
        return "the server's certificate could not be verified";
    case TlsProblem::NoLibrary: {
        static const std::string text = "secure pages cannot be read: the TLS library " +
                                        std::string(TlsLibraryName()) + " could not be loaded";
        return text;
    }
    case TlsProblem::HandshakeFailed:
        break;
    }
    return "the secure connection could not be set up (the handshake failed)";
}

bool IsCertificateProblem(TlsProblem problem) {
    return problem != TlsProblem::None && problem != TlsProblem::HandshakeFailed &&
           problem != TlsProblem::NoLibrary;
}

std::string_view TlsLibraryName() {
    return GATHRA_TLS_LIBRARY;
}

std::string_view TlsSymbolVersion() {
    return GATHRA_TLS_SYMBOL_VERSION;
}

TTlsStream::TTlsStream(TSocket& socket) : socket_(socket) {}

TTlsStream::~TTlsStream() {
    // No closing message: the socket closes right after, and a peer that stalls must not keep
    // this call waiting.
    if (ssl_ != nullptr) SSL_free(ssl_);
}

SocketStatus TTlsStream::Handshake(const std::string& host, const TlsTrust& trust, int timeoutMs,
                                   TlsProblem& problem) {
    problem = TlsProblem::HandshakeFailed;
    SocketCanceller* canceller = socket_.Canceller();
    if (canceller != nullptr && canceller->Cancelled()) return SocketStatus::Cancelled;
    if (!TlsLoaded()) {
        problem = TlsProblem::NoLibrary;
        return SocketStatus::Failed;
    }
    SSL_CTX* context = ContextFor(trust.AuthorityPem);
    if (context == nullptr || ssl_ != nullptr) return SocketStatus::Failed;
    ssl_ = SSL_new(context);
    if (ssl_ == nullptr) return SocketStatus::Failed;
    BIO* bio = NewSocketBio(socket_.Descriptor());
    if (bio == nullptr) return SocketStatus::Failed;
    SSL_set_bio(ssl_, bio, bio);

    const bool dotted = IsDottedAddress(host);
    if (!dotted) SSL_set_tlsext_host_name(ssl_, host.c_str());
    if (!resumeKey_.empty()) {
        // The context (its trust store), the name checked and whether it was checked at all.
        resumeKey_ = std::to_string(reinterpret_cast<std::uintptr_t>(context)) + '\n' +
                     (trust.CheckCertificates ? "checked\n" : "unchecked\n") + host + '\n' +
                     resumeKey_;
        if (SSL_set_ex_data(ssl_, 0, &resumeKey_) != 1) return SocketStatus::Failed;
        SessionCache::Of().Offer(resumeKey_, ssl_);
    }
    if (!protocols_.empty() &&
        SSL_set_alpn_protos(ssl_, reinterpret_cast<const unsigned char*>(protocols_.data()),
                            static_cast<unsigned>(protocols_.size())) != 0)
        return SocketStatus::Failed;
    if (trust.CheckCertificates) {
        SSL_set_verify(ssl_, SSL_VERIFY_PEER, nullptr);
        X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        int named = dotted ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str())
                           : X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
        if (named != 1) return SocketStatus::Failed;
    } else {
        SSL_set_verify(ssl_, SSL_VERIFY_NONE, nullptr);
    }

    const TDeadline deadline(socket_.Ticks(), timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        ERR_clear_error();
        int done = SSL_connect(ssl_);
        if (done == 1) {
            problem = TlsProblem::None;
            return SocketStatus::Ok;
        }
        int error = SSL_get_error(ssl_, done);
        short events = 0;
        if (error == SSL_ERROR_WANT_READ)
            events = POLLIN;
        else if (error == SSL_ERROR_WANT_WRITE)
            events = POLLOUT;
        if (events == 0) {
            long verified = SSL_get_verify_result(ssl_);
            if (trust.CheckCertificates && verified != X509_V_OK)
                problem = ProblemOfVerifyResult(verified);
            ERR_clear_error();
            return SocketStatus::Failed;
        }
        if (deadline.Passed()) return SocketStatus::TimedOut;
        SocketStatus waited = socket_.Wait(events, static_cast<int>(deadline.LeftMs()));
        if (waited != SocketStatus::Ok) return waited;
    }
}

void TTlsStream::Offer(std::string resumeKey, std::string protocols) {
    resumeKey_ = std::move(resumeKey);
    protocols_ = std::move(protocols);
}

bool TTlsStream::Resumed() const {
    return ssl_ != nullptr && SSL_session_reused(ssl_) == 1;
}

std::string TTlsStream::Protocol() const {
    if (ssl_ == nullptr) return {};
    const unsigned char* chosen = nullptr;
    unsigned length = 0;
    SSL_get0_alpn_selected(ssl_, &chosen, &length);
    return chosen == nullptr ? std::string()
                             : std::string(reinterpret_cast<const char*>(chosen), length);
}

SocketStatus TTlsStream::Send(std::string_view data) {
    if (ssl_ == nullptr) return SocketStatus::Failed;
    SocketCanceller* canceller = socket_.Canceller();
    size_t sent = 0;
    while (sent < data.size()) {
        if (canceller != nullptr && canceller->Cancelled()) return SocketStatus::Cancelled;
        ERR_clear_error();
        size_t written = 0;
        int done = SSL_write_ex(ssl_, data.data() + sent, data.size() - sent, &written);
        if (done == 1) {
            sent += written;
            continue;
        }
        int error = SSL_get_error(ssl_, done);
        short events = error == SSL_ERROR_WANT_READ    ? POLLIN
                       : error == SSL_ERROR_WANT_WRITE ? POLLOUT
                                                       : 0;
        if (events == 0) {
            ERR_clear_error();
            return error == SSL_ERROR_SYSCALL && errno == ECONNABORTED
                       ? SocketStatus::ConnectionAborted
                       : SocketStatus::Failed;
        }
        SocketStatus waited = socket_.Wait(events, socket_.SendTimeoutMs());
        if (waited != SocketStatus::Ok) return waited;
    }
    return SocketStatus::Ok;
}

SocketStatus TTlsStream::WaitReadable(int timeoutMs) {
    if (ssl_ == nullptr) return SocketStatus::Failed;
    SocketCanceller* canceller = socket_.Canceller();
    if (canceller != nullptr && canceller->Cancelled()) return SocketStatus::Cancelled;
    // Decrypted bytes may wait inside the session while the socket itself has nothing more.
    if (SSL_pending(ssl_) > 0) return SocketStatus::Ok;
    return socket_.Wait(POLLIN, timeoutMs);
}

SocketStatus TTlsStream::Receive(char* data, std::size_t size, std::size_t& received) {
    received = 0;
    if (ssl_ == nullptr) return SocketStatus::Failed;
    SocketCanceller* canceller = socket_.Canceller();
    for (;;) {
        if (canceller != nullptr && canceller->Cancelled()) return SocketStatus::Cancelled;
        ERR_clear_error();
        size_t got = 0;
        int done = SSL_read_ex(ssl_, data, size, &got);
        if (done == 1) {
            received = got;
            return SocketStatus::Ok;
        }
        int error = SSL_get_error(ssl_, done);
        short events = 0;
        switch (error) {
        case SSL_ERROR_ZERO_RETURN:
            return SocketStatus::Closed;
        case SSL_ERROR_WANT_READ:
            events = POLLIN;
            break;
        case SSL_ERROR_WANT_WRITE:
            events = POLLOUT;
            break;
        case SSL_ERROR_SYSCALL:
            ERR_clear_error();
            if (errno == ECONNABORTED) return SocketStatus::ConnectionAborted;
            return errno == 0 ? SocketStatus::Closed : SocketStatus::Failed;
        default:
            ERR_clear_error();
            return SocketStatus::Failed;
        }
        // Records arrive whole or not at all: a wait for the rest of one is a receive wait.
        SocketStatus waited = socket_.Wait(events, socket_.ReceiveTimeoutMs());
        if (waited != SocketStatus::Ok) return waited;
    }
}

} // namespace gathra
