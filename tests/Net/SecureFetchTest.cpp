#include "Net/HttpClient.h"

#include "Platform/SocketCanceller.h"
#include "Run/RunCancel.h"
#include "Run/RunContext.h"
#include "Settings/AppSettings.h"
#include "support/FetchRequest.h"
#include "support/TestHttpServer.h"
#include "support/TestTicks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

namespace gathra {
namespace {

using test::TestCertificate;
using test::TestHttpServer;
using test::TestResponse;

bool Holds(const TResponseBuffer& buffer, std::string_view text) {
    return buffer.Bytes().find(text) != std::string::npos;
}

// A secure server and a plain one side by side; the run trusts the test authority.
class SecureFetch : public ::testing::Test {
protected:
    SecureFetch() {
        run.Settings = &settings;
        run.Flags = &flags;
        run.Canceller = &canceller;
        run.TimeUnitMs = 20;
        run.Ticks = &ticks;
        secure.SetTicks(&ticks);
        plain.SetTicks(&ticks);
        run.TrustedAuthorities = test::TestAuthorityPem();
    }

    TFetchResult Fetch(std::string& address, const std::string& proxyHost = {}, int proxyPort = 0,
                       bool loadImages = false) {
        TFetchRequest request = test::FetchOf(address, address, loadImages, false);
        request.ProxyHost = proxyHost;
        request.ProxyPort = proxyPort;
        TFetchResult result = FetchDocument(request, buffer, run);
        address = result.Address;
        return result;
    }

    test::TestTicks ticks; // outlives the servers, whose connections wait on it
    TestHttpServer secure{TestCertificate::Valid};
    TestHttpServer plain;
    AppSettings settings;
    RunFlags flags;
    SocketCanceller canceller;
    TRunContext run;
    TResponseBuffer buffer;
};

TEST_F(SecureFetch, AsksTheServerItselfOverTls) {
    TestResponse page = TestResponse::Html("<p>secret garden</p>");
    secure.Serve("/dir/page.html", page);
    std::string address = secure.Url("/dir/page.html#top");
    TFetchResult r = Fetch(address);
    EXPECT_TRUE(r.IsContent);
    EXPECT_EQ(buffer.Bytes(), page.Bytes + '\0');
    ASSERT_EQ(secure.RequestCount(), 1u);
    EXPECT_EQ(secure.Request(0), "GET /dir/page.html HTTP/1.0\r\n"
                                 "User-Agent: GathraLight/2.0\r\n"
                                 "Host: " +
                                     secure.HostPort() + "\r\nAccept: */*; q=1\r\n\r\n");
    EXPECT_EQ(address, secure.Url("/dir/page.html#top"));
}

TEST_F(SecureFetch, RedirectsKeepOrChangeTheScheme) {
    secure.Serve("/page", TestResponse::Html("secure page"));
    plain.Serve("/page", TestResponse::Html("plain page"));
    plain.Serve("/up", TestResponse::Redirect(301, secure.Url("/page")));
    secure.Serve("/down", TestResponse::Redirect(302, plain.Url("/page")));
    secure.Serve("/dir/near", TestResponse::Redirect(302, "../page"));
    secure.Serve("/root", TestResponse::Redirect(302, "/page"));
    const struct {
        std::string From;
        std::string To;
        const char* Body;
    } cases[] = {
        {plain.Address("/up"), secure.Url("/page"), "secure page"},
        {secure.Url("/down"), plain.Address("/page"), "plain page"},
        {secure.Url("/dir/near"), secure.Url("/page"), "secure page"},
        {secure.Url("/root"), secure.Url("/page"), "secure page"},
    };
    for (const auto& c : cases) {
        std::string address = c.From;
        EXPECT_TRUE(Fetch(address).IsContent) << c.From;
        EXPECT_EQ(address, c.To);
        EXPECT_TRUE(Holds(buffer, c.Body)) << c.From;
    }
}

TEST_F(SecureFetch, ARedirectLoopBetweenTheSchemesEndsAtTheBound) {
    plain.SetDefault(TestResponse::Redirect(302, secure.Url("/loop")));
    secure.SetDefault(TestResponse::Redirect(302, plain.Url("/loop")));
    std::string address = plain.Address("/loop");
    TFetchResult r = Fetch(address);
    EXPECT_FALSE(r.IsContent);
    EXPECT_EQ(plain.RequestCount() + secure.RequestCount(), size_t(kMaxRedirects) + 1);
    EXPECT_TRUE(Holds(buffer, "Inaccessible Page"));
}

TEST_F(SecureFetch, AnUntrustedCertificateGivesItsNoticeUnlessChecksAreOff) {
    const struct {
        TestCertificate Certificate;
        const char* Reason;
    } cases[] = {
        {TestCertificate::Expired, "has expired"},
        {TestCertificate::NotYetValid, "is not valid yet"},
        {TestCertificate::WrongHost, "for a different host name"},
        {TestCertificate::UnknownIssuer, "by an unknown authority"},
        {TestCertificate::SelfSigned, "is self-signed"},
    };
    for (const auto& c : cases) {
        TestHttpServer server(c.Certificate);
        server.SetDefault(TestResponse::Html("fetched anyway"));
        settings.CheckCertificates = true;
        std::string address = server.Url("/x.htm");
        TFetchResult r = Fetch(address);
        EXPECT_FALSE(r.IsContent) << c.Reason;
        EXPECT_TRUE(Holds(buffer, c.Reason)) << buffer.Bytes();
        EXPECT_TRUE(Holds(buffer, "<a href=\"" + server.Url("/x.htm") + "\">"));
        EXPECT_TRUE(Holds(buffer, "Check certificates"));
        EXPECT_EQ(FindStatusCode(buffer.Bytes()), 500);
        EXPECT_EQ(server.RequestCount(), 0u) << "nothing may be sent to an untrusted server";

        settings.CheckCertificates = false;
        r = Fetch(address);
        EXPECT_TRUE(r.IsContent) << c.Reason;
        EXPECT_TRUE(Holds(buffer, "fetched anyway"));
    }
    // A server that answers the hello in plain text: the handshake fails, not a certificate.
    secure.SetHandshake(TestHttpServer::Handshake::Refuse);
    std::string address = secure.Url("/");
    settings.CheckCertificates = true;
    Fetch(address);
    EXPECT_TRUE(Holds(buffer, "the handshake failed")) << buffer.Bytes();
    EXPECT_FALSE(Holds(buffer, "Check certificates"));
}

TEST_F(SecureFetch, SkipEndsAStalledHandshakeAtOnce) {
    secure.SetHandshake(TestHttpServer::Handshake::Stall);
    run.TimeUnitMs = 10000; // the handshake's own bound is minutes away
    std::thread skipper([&] {
        // Once the server sits on the hello.
        ticks.WaitForWaiting();
        RequestSkip(flags, canceller);
    });
    std::string address = secure.Url("/slow");
    const std::int64_t start = ticks.NowMs();
    TFetchResult r = Fetch(address);
    skipper.join();
    EXPECT_LT(ticks.NowMs() - start, 32 * run.TimeUnitMs); // not by the handshake's bound
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, "<title>Gathra Light Web page skipped</title>"));
}

TEST_F(SecureFetch, ThroughAProxyASecureAddressGoesThroughATunnel) {
    secure.Serve("/p.htm", TestResponse::Html("tunnelled"));
    plain.Serve("/q.htm", TestResponse::Html("proxied"));
    std::string address = secure.Url("/p.htm");
    EXPECT_TRUE(Fetch(address, "127.0.0.1", plain.Port()).IsContent);
    EXPECT_TRUE(Holds(buffer, "tunnelled"));
    ASSERT_EQ(plain.RequestCount(), 1u);
    EXPECT_EQ(plain.Request(0), "CONNECT " + secure.HostPort() + " HTTP/1.0\r\nHost: " +
                                    secure.HostPort() + "\r\nUser-Agent: GathraLight/2.0\r\n\r\n");
    ASSERT_EQ(secure.RequestCount(), 1u);
    EXPECT_EQ(secure.Targets()[0], "/p.htm");

    // Plain addresses still go to the proxy in its own form.
    address = "www.example.com/q.htm";
    EXPECT_TRUE(Fetch(address, "127.0.0.1", plain.Port()).IsContent);
    EXPECT_EQ(plain.Targets().back(), "http://www.example.com/q.htm");

    // A proxy that refuses the tunnel: the page is not fetched.
    address = "https://127.0.0.1:1/none.htm";
    EXPECT_FALSE(Fetch(address, "127.0.0.1", plain.Port()).IsContent);
    EXPECT_FALSE(Holds(buffer, "tunnelled"));
}

TEST_F(SecureFetch, ALargeImageArrivesByteForByte) {
    std::string image(10 * 1024 * 1024, '\0');
    std::mt19937 random(7);
    for (char& c : image)
        c = static_cast<char>(random());
    TestResponse response = TestResponse::Http(200, "image/gif", image);
    secure.Serve("/big.gif", response);
    std::string address = secure.Url("/big.gif");
    TFetchResult r = Fetch(address, {}, 0, true);
    EXPECT_TRUE(r.IsContent);
    EXPECT_TRUE(r.IsBinary);
    ASSERT_EQ(buffer.Size(), response.Bytes.size() + 1);
    EXPECT_TRUE(buffer.Bytes().compare(0, response.Bytes.size(), response.Bytes) == 0);
}

} // namespace
} // namespace gathra
