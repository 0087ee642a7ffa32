// Fast transfers keep TLS sessions and resume them on the next connection to the same server;
// classic ones never do, and no kept session lets a certificate through that a full handshake
// would turn down.
#include "Net/ConnectionPool.h"
#include "Platform/SocketCanceller.h"
#include "Run/RunContext.h"
#include "Settings/AppSettings.h"
#include "support/FetchRequest.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <memory>

namespace gathra {
namespace {

using namespace test;

class TlsResumption : public ::testing::Test {
protected:
    TlsResumption() {
        run.Settings = &settings;
        run.Flags = &flags;
        run.Canceller = &canceller;
        run.TimeUnitMs = 20;
        run.TrustedAuthorities = TestAuthorityPem();
    }
    // Fetches path from server; true when the page came (not a notice).
    bool Fetch(const TestHttpServer& server, const std::string& path) {
        TResponseBuffer buffer;
        const bool fetched =
            FetchDocument(FetchOf(server.Url(path), server.Url("/"), false, false), buffer, run)
                .IsContent;
        lastAnswer = buffer.Bytes();
        return fetched;
    }

    AppSettings settings;
    RunFlags flags;
    SocketCanceller canceller;
    TRunContext run;
    std::string lastAnswer;
};

TEST_F(TlsResumption, FastTransfersResumeTheSessionOfTheLastConnectionClassicOnesNever) {
    const struct {
        bool Fast;
        bool Http2;     // the server offers HTTP/2
        size_t Resumed; // of the four connections (the server closes after each answer)
    } cases[] = {{true, false, 3}, {true, true, 3}, {false, true, 0}};
    for (const auto& c : cases) {
        TestHttpServer server(TestCertificate::Valid);
        server.OfferHttp2(c.Http2);
        // HTTP/1.1 answers end their connection; HTTP/2 ones after one stream.
        server.SetHttp2GoAwayAfter(1);
        server.SetDefault(TestResponse::Html("page"));
        TConnectionPool pool(6, 0);
        pool.AllowHttp2(true);
        run.Pool = c.Fast ? &pool : nullptr;
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(Fetch(server, "/p" + std::to_string(i))) << i << ": " << lastAnswer;
        EXPECT_EQ(server.ConnectionCount(), 4u);
        EXPECT_EQ(server.ResumedCount(), c.Resumed) << c.Fast << c.Http2;
        // Classic transfers never offer HTTP/2: their requests stay HTTP/1.0, byte for byte.
        EXPECT_EQ(server.Http2ConnectionCount(), c.Fast && c.Http2 ? 4u : 0u);
        if (!c.Fast) {
            EXPECT_EQ(server.Request(0),
                      "GET /p0 HTTP/1.0\r\nUser-Agent: GathraLight/2.0\r\nHost: " +
                          server.HostPort() + "\r\nAccept: */*; q=1\r\n\r\n");
        }
        run.Pool = nullptr;
    }
}

TEST_F(TlsResumption, AKeptSessionNeverStandsInForACertificateCheck) {
    TConnectionPool pool(6, 0);
    run.Pool = &pool;
    // A session set up with checks off is not offered when they are on: the self-signed
    // certificate is turned down as on a first connection.
    {
        TestHttpServer server(TestCertificate::SelfSigned);
        server.SetDefault(TestResponse::Html("page"));
        settings.CheckCertificates = false;
        EXPECT_TRUE(Fetch(server, "/unchecked")) << lastAnswer;
        settings.CheckCertificates = true;
        EXPECT_FALSE(Fetch(server, "/checked"));
        EXPECT_NE(lastAnswer.find("self-signed"), std::string::npos) << lastAnswer;
        EXPECT_EQ(server.ResumedCount(), 0u);
    }
    // A server at the same address with a changed certificate: the kept session is of no use
    // there, and the full handshake finds each problem.
    const struct {
        TestCertificate Changed;
        std::string_view Says;
    } cases[] = {{TestCertificate::WrongHost, "different host name"},
                 {TestCertificate::Expired, "expired"},
                 {TestCertificate::UnknownIssuer, "unknown authority"}};
    for (const auto& c : cases) {
        auto before = std::make_unique<TestHttpServer>(TestCertificate::Valid);
        const int port = before->Port();
        before->SetDefault(TestResponse::Html("page"));
        EXPECT_TRUE(Fetch(*before, "/first")) << lastAnswer;
        EXPECT_TRUE(Fetch(*before, "/second")) << lastAnswer;
        EXPECT_EQ(before->ResumedCount(), 1u);
        pool.CloseIdle();
        before.reset();
        TestHttpServer after(c.Changed, port);
        after.SetDefault(TestResponse::Html("page"));
        EXPECT_FALSE(Fetch(after, "/third")) << c.Says;
        EXPECT_NE(lastAnswer.find(c.Says), std::string::npos) << lastAnswer;
        EXPECT_EQ(after.RequestCount(), 0u);
    }
}

} // namespace
} // namespace gathra
