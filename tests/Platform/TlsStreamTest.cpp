#include "Platform/TlsStream.h"

#include "Platform/Socket.h"
#include "Platform/SocketCanceller.h"
#include "support/TestHttpServer.h"
#include "support/TestTicks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace gathra {
namespace {

using test::TestCertificate;
using test::TestHttpServer;
using test::TestResponse;

constexpr std::uint32_t kLoopback = 0x7f000001;

struct Connected {
    explicit Connected(TTicks* ticks = nullptr) : Socket(&Canceller, ticks), Tls(Socket) {}
    SocketCanceller Canceller;
    TSocket Socket;
    TTlsStream Tls;
};

void Connect(Connected& c, const TestHttpServer& server) {
    ASSERT_TRUE(c.Socket.Open());
    c.Socket.SetOptions(0, 5000, 5000, true, true);
    ASSERT_EQ(c.Socket.Connect(kLoopback, static_cast<std::uint16_t>(server.Port()), 5000),
              SocketStatus::Ok);
}

TlsTrust TestTrust(bool check = true) {
    return {check, test::TestAuthorityPem()};
}

TEST(TlsStream, ExchangesBytesOverAVerifiedSession) {
    TestHttpServer server(TestCertificate::Valid);
    server.Enqueue(TestResponse::Raw(std::string(100000, 'x') + "end"));
    for (const char* host : {"127.0.0.1", "localhost"}) {
        Connected c;
        Connect(c, server);
        TlsProblem problem = TlsProblem::HandshakeFailed;
        ASSERT_EQ(c.Tls.Handshake(host, TestTrust(), 5000, problem), SocketStatus::Ok) << host;
        EXPECT_EQ(problem, TlsProblem::None);
        if (std::string(host) == "localhost") break; // the answer was queued once
        ASSERT_EQ(c.Tls.Send("GET /a HTTP/1.0\r\n\r\n"), SocketStatus::Ok);
        ASSERT_EQ(c.Tls.WaitReadable(5000), SocketStatus::Ok);
        std::string received;
        char block[777];
        size_t got = 0;
        SocketStatus status;
        while ((status = c.Tls.Receive(block, sizeof block, got)) == SocketStatus::Ok)
            received.append(block, got);
        EXPECT_EQ(status, SocketStatus::Closed);
        EXPECT_EQ(received, std::string(100000, 'x') + "end");
        EXPECT_EQ(server.Request(0), "GET /a HTTP/1.0\r\n\r\n");
    }
}

TEST(TlsStream, NamesEachCertificateProblemAndAcceptsAllWhenNotChecking) {
    const struct {
        TestCertificate Certificate;
        TlsProblem Problem;
    } cases[] = {
        {TestCertificate::Expired, TlsProblem::Expired},
        {TestCertificate::NotYetValid, TlsProblem::NotYetValid},
        {TestCertificate::WrongHost, TlsProblem::WrongHost},
        {TestCertificate::UnknownIssuer, TlsProblem::UnknownIssuer},
        {TestCertificate::SelfSigned, TlsProblem::SelfSigned},
    };
    for (const auto& test : cases) {
        TestHttpServer server(test.Certificate);
        {
            Connected c;
            Connect(c, server);
            TlsProblem problem = TlsProblem::None;
            EXPECT_EQ(c.Tls.Handshake("127.0.0.1", TestTrust(), 5000, problem),
                      SocketStatus::Failed);
            EXPECT_EQ(problem, test.Problem) << TlsProblemText(problem);
            EXPECT_FALSE(TlsProblemText(problem).empty());
        }
        Connected c;
        Connect(c, server);
        TlsProblem problem = TlsProblem::HandshakeFailed;
        EXPECT_EQ(c.Tls.Handshake("127.0.0.1", TestTrust(false), 5000, problem), SocketStatus::Ok);
        EXPECT_EQ(problem, TlsProblem::None);
    }
    // The system's store knows nothing of the test authority.
    TestHttpServer server(TestCertificate::Valid);
    Connected c;
    Connect(c, server);
    TlsProblem problem = TlsProblem::None;
    EXPECT_EQ(c.Tls.Handshake("127.0.0.1", TlsTrust{}, 5000, problem), SocketStatus::Failed);
    EXPECT_EQ(problem, TlsProblem::UnknownIssuer);
}

TEST(TlsStream, HandshakeWithASilentOrPlainServerEndsByBoundOrCancel) {
    test::TestTicks moving;  // moves while the server sits on the hello
    test::TestTicks serving; // the server's silence on the second connection
    test::TestTicks still;   // nothing waits on it: it never moves
    TestHttpServer stalled(TestCertificate::Valid);
    stalled.SetHandshake(TestHttpServer::Handshake::Stall);
    {
        stalled.SetTicks(&moving);
        Connected c(&moving);
        Connect(c, stalled);
        TlsProblem problem = TlsProblem::None;
        const std::int64_t start = moving.NowMs();
        EXPECT_EQ(c.Tls.Handshake("127.0.0.1", TestTrust(), 200, problem), SocketStatus::TimedOut);
        // Ended by its own bound, as soon as it passed.
        EXPECT_GE(moving.NowMs() - start, 200);
        EXPECT_LT(moving.NowMs() - start, 250);
    }
    {
        stalled.SetTicks(&serving);
        Connected c(&still);
        Connect(c, stalled);
        std::thread skip([&] {
            serving.WaitForWaiting();
            c.Canceller.Cancel();
        });
        TlsProblem problem = TlsProblem::None;
        EXPECT_EQ(c.Tls.Handshake("127.0.0.1", TestTrust(), 200, problem), SocketStatus::Cancelled);
        EXPECT_EQ(still.Moves(), 0u);
        skip.join();
    }
    // A server that answers the hello with plain text: a failed handshake, not a certificate.
    TestHttpServer refusing(TestCertificate::Valid);
    refusing.SetHandshake(TestHttpServer::Handshake::Refuse);
    Connected c;
    Connect(c, refusing);
    TlsProblem problem = TlsProblem::None;
    EXPECT_EQ(c.Tls.Handshake("127.0.0.1", TestTrust(), 5000, problem), SocketStatus::Failed);
    EXPECT_EQ(problem, TlsProblem::HandshakeFailed);
}

} // namespace
} // namespace gathra
