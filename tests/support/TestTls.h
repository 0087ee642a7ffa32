#pragma once
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

namespace gathra::test {

// The certificate a TLS test server shows. All but SelfSigned and UnknownIssuer are issued by
// the test authority (TestAuthorityPem); all but WrongHost name 127.0.0.1 and "localhost".
enum class TestCertificate {
    Valid,
    Expired,       // ended yesterday
    NotYetValid,   // starts tomorrow
    WrongHost,     // made out for "elsewhere.invalid"
    UnknownIssuer, // issued by an authority that nobody trusts
    SelfSigned,
};

// PEM text of the certificate authority the tests trust. It is made with a fresh key when the
// test program first asks for it; nothing is read from or written to disk.
const std::string& TestAuthorityPem();

// Waits until the connection is ready for the poll() events; false when the server stops or the
// wait's bound passes.
using TestWait = std::function<bool(short events)>;

// The server side of TLS for the test server: a context with a key and certificate of the given
// kind, and sessions over non-blocking sockets.
class TestTlsServer {
public:
    explicit TestTlsServer(TestCertificate certificate);
    ~TestTlsServer();
    TestTlsServer(const TestTlsServer&) = delete;
    TestTlsServer& operator=(const TestTlsServer&) = delete;

    class Session {
    public:
        ~Session();
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;
        // Finishes the handshake; false when it fails or a wait ends.
        bool Accept(const TestWait& wait);
        // Bytes read (> 0), 0 at the end of the stream, -1 on failure.
        ssize_t Read(char* data, size_t size, const TestWait& wait);
        // Writes all of data; false on failure.
        bool Write(const char* data, size_t size, const TestWait& wait);
        // Sends the closing message (without waiting for the peer's).
        void Close();
        // After Accept: whether the client resumed an earlier session, and the protocol chosen
        // from those it offered ("h2", "http/1.1"; empty when it offered none).
        bool Resumed() const;
        std::string Protocol() const;

    private:
        friend class TestTlsServer;
        explicit Session(void* ssl) : ssl_(ssl) {}
        void* ssl_;
    };

    // A session over the accepted, non-blocking socket fd (which the caller keeps and closes).
    std::unique_ptr<Session> Open(int fd) const;

    // Whether a client that offers HTTP/2 gets it (else HTTP/1.1, when it offers that).
    void OfferHttp2(bool offer) { http2_.store(offer); }

private:
    void* context_;
    std::atomic<bool> http2_{false};
};

} // namespace gathra::test
