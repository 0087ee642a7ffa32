#include "support/TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace gathra::test {
namespace {

// A bare client, independent of the program's own socket layer, so that the server is checked
// on its own: sends request, reads until the server closes (each wait bounded).
std::string Exchange(int port, const std::string& request) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return "<refused>";
    }
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char block[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) break;
        ssize_t n = recv(fd, block, sizeof block, 0);
        if (n <= 0) break;
        answer.append(block, static_cast<size_t>(n));
    }
    close(fd);
    return answer;
}

TEST(TestHttpServer, RecordsRequestsAndAnswersTheQueueInOrder) {
    TestHttpServer server;
    server.Enqueue(TestResponse::Raw("first"));
    server.Enqueue(TestResponse::Http(500, "", ""));
    const std::string request = "GET /a HTTP/1.0\r\nHost: x\r\n\r\n";
    EXPECT_EQ(Exchange(server.Port(), request), "first");
    EXPECT_EQ(Exchange(server.Port(), "GET /b HTTP/1.0\n\n"),
              "HTTP/1.0 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
    // The queue is used up: the default 404 page follows.
    EXPECT_NE(Exchange(server.Port(), request).find("HTTP/1.0 404"), std::string::npos);
    ASSERT_EQ(server.RequestCount(), 3u);
    EXPECT_EQ(server.Request(0), request);
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a", "/b", "/a"}));
}

TEST(TestHttpServer, ServesASiteByPathAlsoForProxyFormTargets) {
    TestHttpServer server;
    server.Serve("/index.html", TestResponse::Html("<p>home</p>"));
    std::string direct = Exchange(server.Port(), "GET /index.html HTTP/1.0\r\n\r\n");
    EXPECT_EQ(direct.substr(direct.size() - 11), "<p>home</p>");
    std::string proxied =
        Exchange(server.Port(), "GET http://example.org/index.html HTTP/1.0\r\n\r\n");
    EXPECT_EQ(proxied, direct);
}

TEST(TestHttpServer, MisbehavesAsScripted) {
    TestHttpServer server;
    TestResponse cut = TestResponse::Raw("0123456789");
    cut.CloseAfter = 4;
    cut.ChunkSize = 1;
    server.Enqueue(cut);
    server.Enqueue(TestResponse::Hangup());
    EXPECT_EQ(Exchange(server.Port(), "GET / HTTP/1.0\r\n\r\n"), "0123");
    EXPECT_EQ(Exchange(server.Port(), "GET / HTTP/1.0\r\n\r\n"), "");
    EXPECT_EQ(Exchange(TestHttpServer::UnusedPort(), "GET / HTTP/1.0\r\n\r\n"), "<refused>");
}

TEST(TestHttpServer, StopsWhileAConnectionWaitsForAnAnswer) {
    // The destructor must end a silent conversation at once rather than wait out its bound.
    auto server = std::make_unique<TestHttpServer>();
    server->Enqueue(TestResponse::Silent());
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(server->Port()));
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    send(fd, "GET / HTTP/1.0\r\n\r\n", 18, MSG_NOSIGNAL);
    ASSERT_TRUE(server->WaitForRequests(1));
    server.reset();
    char c;
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);
    EXPECT_EQ(recv(fd, &c, 1, 0), 0); // closed without a byte
    close(fd);
}

} // namespace
} // namespace gathra::test
