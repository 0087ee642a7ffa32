#pragma once
#include "Platform/Stream.h"

#include <string>
#include <string_view>

struct ssl_st;

namespace gathra {

class TSocket;

// Why a TLS session could not be set up.
enum class TlsProblem {
    None,
    Expired,         // the server's certificate is past its end date
    NotYetValid,     // ...or before its start date
    WrongHost,       // it was made out for another host name
    UnknownIssuer,   // no trusted authority issued it
    SelfSigned,      // it was signed by its own key
    Untrusted,       // it failed verification for another reason
    HandshakeFailed, // no certificate problem: the two sides could not agree or the peer hung up
    NoLibrary,       // the TLS library could not be loaded, so no secure page can be read
};

// A reason in plain words for a notice page ("the certificate has expired").
std::string_view TlsProblemText(TlsProblem problem);

// Whether the problem lies with the server's certificate (which the user may choose to accept
// by not checking certificates) rather than with the connection or this machine.
bool IsCertificateProblem(TlsProblem problem);

// The TLS library (OpenSSL's libssl, by its soname) is loaded on the first handshake, not at
// start-up: runs that read no secure page never map it.
std::string_view TlsLibraryName();
// The symbol version its functions are looked up in ("OPENSSL_3.0.0").
std::string_view TlsSymbolVersion();

// What a TLS client trusts.
struct TlsTrust {
    // Off: any certificate is accepted (the user's choice, never a default).
    bool CheckCertificates = true;
    // PEM text of the authorities to trust instead of the system's store; empty: the system's.
    std::string AuthorityPem;
};

// A TLS 1.2 or 1.3 client session over a connected TSocket. Every step (the handshake, each
// send and receive) waits through the socket, so that the socket's canceller ends it at once and
// its bounds hold.
class TTlsStream : public TStream {
public:
    explicit TTlsStream(TSocket& socket);
    ~TTlsStream() override;
    TTlsStream(const TTlsStream&) = delete;
    TTlsStream& operator=(const TTlsStream&) = delete;

    // Sets up the session with host (a name, sent as the server name, or a dotted address), and
    // verifies the server's certificate and host name as trust asks. The whole handshake stays
    // within timeoutMs. On Failed, problem says why.
    // Before the handshake. resumeKey: keep this session and offer a kept one (one made with
    // the same host name, trust and key, e.g. the port; empty: neither); protocols: the
    // application protocols to offer, in the handshake's wire form (empty: none offered).
    void Offer(std::string resumeKey, std::string protocols);
    // After the handshake: whether a kept session was resumed, and the protocol the server chose
    // (empty when it chose none).
    bool Resumed() const;
    std::string Protocol() const;

    SocketStatus Handshake(const std::string& host, const TlsTrust& trust, int timeoutMs,
                           TlsProblem& problem);

    SocketStatus Send(std::string_view data) override;
    SocketStatus WaitReadable(int timeoutMs) override;
    SocketStatus Receive(char* data, std::size_t size, std::size_t& received) override;

private:
    TSocket& socket_;
    ssl_st* ssl_ = nullptr;
    std::string resumeKey_;
    std::string protocols_;
};

} // namespace gathra
