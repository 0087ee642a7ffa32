#include "support/TestTls.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <string_view>

namespace gathra::test {
namespace {

constexpr long kDay = 24 * 60 * 60;

struct KeyAndCertificate {
    EVP_PKEY* Key = nullptr;
    X509* Certificate = nullptr;
};

void Require(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("test TLS: cannot ") + what);
}

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    Require(extension != nullptr && X509_add_ext(certificate, extension, -1) == 1, "add extension");
    X509_EXTENSION_free(extension);
}

// A certificate for a fresh P-256 key, valid from `from` to `to` seconds around now, signed by
// issuer (itself when issuer is null).
KeyAndCertificate Issue(const char* commonName, const char* altNames, bool authority, long from,
                        long to, const KeyAndCertificate* issuer) {
    static std::atomic<long> serial{1000};
    KeyAndCertificate made;
    made.Key = EVP_EC_gen("P-256");
    made.Certificate = X509_new();
    Require(made.Key != nullptr && made.Certificate != nullptr, "make a key");
    X509* x = made.Certificate;
    X509_set_version(x, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x), serial++);
    X509_gmtime_adj(X509_getm_notBefore(x), from);
    X509_gmtime_adj(X509_getm_notAfter(x), to);
    X509_set_pubkey(x, made.Key);
    X509_NAME* name = X509_get_subject_name(x);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer != nullptr ? issuer->Certificate : x;
    X509_set_issuer_name(x, X509_get_subject_name(signer));
    AddExtension(x, signer, NID_basic_constraints, authority ? "critical,CA:TRUE" : "CA:FALSE");
    if (authority) AddExtension(x, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(x, signer, NID_subject_key_identifier, "hash");
    if (issuer != nullptr) AddExtension(x, signer, NID_authority_key_identifier, "keyid:always");
    if (altNames != nullptr) AddExtension(x, signer, NID_subject_alt_name, altNames);
    EVP_PKEY* signingKey = issuer != nullptr ? issuer->Key : made.Key;
    Require(X509_sign(x, signingKey, EVP_sha256()) > 0, "sign a certificate");
    return made;
}

// Made once per test program and kept to its end.
const KeyAndCertificate& Authority() {
    static const KeyAndCertificate authority =
        Issue("Gathra Test Authority", nullptr, true, -kDay, 30 * kDay, nullptr);
    return authority;
}

const KeyAndCertificate& StrayAuthority() {
    static const KeyAndCertificate authority =
        Issue("Gathra Stray Authority", nullptr, true, -kDay, 30 * kDay, nullptr);
    return authority;
}

constexpr const char* kLoopbackNames = "IP:127.0.0.1,DNS:localhost";

KeyAndCertificate ServerIdentity(TestCertificate kind) {
    switch (kind) {
    case TestCertificate::Valid:
        break;
    case TestCertificate::Expired:
        return Issue("127.0.0.1", kLoopbackNames, false, -10 * kDay, -kDay, &Authority());
    case TestCertificate::NotYetValid:
        return Issue("127.0.0.1", kLoopbackNames, false, kDay, 10 * kDay, &Authority());
    case TestCertificate::WrongHost:
        return Issue("elsewhere.invalid", "DNS:elsewhere.invalid", false, -kDay, 10 * kDay,
                     &Authority());
    case TestCertificate::UnknownIssuer:
        return Issue("127.0.0.1", kLoopbackNames, false, -kDay, 10 * kDay, &StrayAuthority());
    case TestCertificate::SelfSigned:
        return Issue("127.0.0.1", kLoopbackNames, false, -kDay, 10 * kDay, nullptr);
    }
    return Issue("127.0.0.1", kLoopbackNames, false, -kDay, 10 * kDay, &Authority());
}

SSL* SslOf(void* ssl) {
    return static_cast<SSL*>(ssl);
}

// The events to wait for after an SSL call that did not finish; 0 when it failed for good.
short EventsAfter(SSL* ssl, int result) {
    switch (SSL_get_error(ssl, result)) {
    case SSL_ERROR_WANT_READ:
        return POLLIN;
    case SSL_ERROR_WANT_WRITE:
        return POLLOUT;
    default:
        return 0;
    }
}

// Picks "h2" when the server offers it and the client asks for it, else "http/1.1".
int SelectProtocol(SSL*, const unsigned char** out, unsigned char* outLength,
                   const unsigned char* in, unsigned inLength, void* http2) {
    const bool offerHttp2 = static_cast<std::atomic<bool>*>(http2)->load();
    const unsigned char* fallback = nullptr;
    for (unsigned at = 0; at < inLength; at += 1u + in[at]) {
        const std::string_view name(reinterpret_cast<const char*>(in + at + 1), in[at]);
        if (name == "h2" && offerHttp2) {
            *out = in + at + 1;
            *outLength = in[at];
            return SSL_TLSEXT_ERR_OK;
        }
        if (name == "http/1.1" && fallback == nullptr) fallback = in + at;
    }
    if (fallback == nullptr) return SSL_TLSEXT_ERR_NOACK;
    *out = fallback + 1;
    *outLength = fallback[0];
    return SSL_TLSEXT_ERR_OK;
}

} // namespace

const std::string& TestAuthorityPem() {
    static const std::string pem = [] {
        BIO* out = BIO_new(BIO_s_mem());
        Require(out != nullptr && PEM_write_bio_X509(out, Authority().Certificate) == 1,
                "write the authority");
        char* data = nullptr;
        long size = BIO_get_mem_data(out, &data);
        std::string text(data, static_cast<size_t>(size));
        BIO_free(out);
        return text;
    }();
    return pem;
}

TestTlsServer::TestTlsServer(TestCertificate certificate) {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    Require(context != nullptr, "make a server context");
    KeyAndCertificate identity = ServerIdentity(certificate);
    bool ok = SSL_CTX_use_certificate(context, identity.Certificate) == 1 &&
              SSL_CTX_use_PrivateKey(context, identity.Key) == 1;
    X509_free(identity.Certificate);
    EVP_PKEY_free(identity.Key);
    if (!ok) SSL_CTX_free(context);
    Require(ok, "use the server certificate");
    SSL_CTX_set_alpn_select_cb(context, SelectProtocol, &http2_);
    context_ = context;
}

TestTlsServer::~TestTlsServer() {
    SSL_CTX_free(static_cast<SSL_CTX*>(context_));
}

std::unique_ptr<TestTlsServer::Session> TestTlsServer::Open(int fd) const {
    SSL* ssl = SSL_new(static_cast<SSL_CTX*>(context_));
    if (ssl == nullptr) return nullptr;
    SSL_set_fd(ssl, fd);
    return std::unique_ptr<Session>(new Session(ssl));
}

TestTlsServer::Session::~Session() {
    SSL_free(SslOf(ssl_));
}

bool TestTlsServer::Session::Accept(const TestWait& wait) {
    for (;;) {
        ERR_clear_error();
        int result = SSL_accept(SslOf(ssl_));
        if (result == 1) return true;
        short events = EventsAfter(SslOf(ssl_), result);
        if (events == 0 || !wait(events)) return false;
    }
}

ssize_t TestTlsServer::Session::Read(char* data, size_t size, const TestWait& wait) {
    for (;;) {
        ERR_clear_error();
        size_t got = 0;
        int result = SSL_read_ex(SslOf(ssl_), data, size, &got);
        if (result == 1) return static_cast<ssize_t>(got);
        int error = SSL_get_error(SslOf(ssl_), result);
        if (error == SSL_ERROR_ZERO_RETURN) return 0;
        short events = EventsAfter(SslOf(ssl_), result);
        if (events == 0 || !wait(events)) return -1;
    }
}

bool TestTlsServer::Session::Write(const char* data, size_t size, const TestWait& wait) {
    size_t sent = 0;
    while (sent < size) {
        ERR_clear_error();
        size_t written = 0;
        int result = SSL_write_ex(SslOf(ssl_), data + sent, size - sent, &written);
        if (result == 1) {
            sent += written;
            continue;
        }
        short events = EventsAfter(SslOf(ssl_), result);
        if (events == 0 || !wait(events)) return false;
    }
    return true;
}

bool TestTlsServer::Session::Resumed() const {
    return SSL_session_reused(SslOf(ssl_)) == 1;
}

std::string TestTlsServer::Session::Protocol() const {
    const unsigned char* chosen = nullptr;
    unsigned length = 0;
    SSL_get0_alpn_selected(SslOf(ssl_), &chosen, &length);
    return chosen == nullptr ? std::string()
                             : std::string(reinterpret_cast<const char*>(chosen), length);
}

void TestTlsServer::Session::Close() {
    ERR_clear_error();
    SSL_shutdown(SslOf(ssl_));
}

} // namespace gathra::test
