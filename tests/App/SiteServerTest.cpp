#include "App/gathra/SiteServer.h"
#include "support/TempDir.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace gathra {
namespace {

// Sends one request and reads the answer until the server closes (bounded waits).
std::string Exchange(int port, const std::string& request) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return "";
    }
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buf[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) break;
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        answer.append(buf, size_t(n));
    }
    ::close(fd);
    return answer;
}

std::string Get(int port, const std::string& target) {
    return Exchange(port, "GET " + target + " HTTP/1.0\r\nUser-Agent: test\r\n\r\n");
}

class SiteServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteFileBytes(dir / "index.htm",
                             "<html><a href=\"http://localhost:@PORT@/b.htm\">b</a></html>");
        std::filesystem::create_directories(dir / "sub");
        test::WriteFileBytes(dir / "sub" / "index.htm", "<title>Sub Page</title>roses and rain");
        test::WriteFileBytes(dir / "sub" / "pic.gif", std::string("GIF89a\0\1", 8));
        test::WriteFileBytes(dir.Path().parent_path() / "secret.txt", "no");
    }
    test::TempDir dir;
};

TEST_F(SiteServerTest, ServesPagesWithTheirPortFilledIn) {
    SiteServer server(dir.Path());
    ASSERT_TRUE(server.Listening()) << server.Error();
    std::string answer = Get(server.Port(), "/");
    EXPECT_EQ(answer.rfind("HTTP/1.0 200 OK\r\n", 0), 0u) << answer;
    EXPECT_NE(answer.find("Content-Type: text/html\r\n"), std::string::npos);
    EXPECT_NE(answer.find("http://localhost:" + std::to_string(server.Port()) + "/b.htm"),
              std::string::npos);
    EXPECT_EQ(server.RequestsServed(), 1u);
}

TEST_F(SiteServerTest, FoldersGiveTheirIndexAndPicturesTheirType) {
    SiteServer server(dir.Path());
    EXPECT_NE(Get(server.Port(), "/sub").find("roses and rain"), std::string::npos);
    std::string gif = Get(server.Port(), "/sub/pic.gif?x=1");
    EXPECT_NE(gif.find("Content-Type: image/gif\r\n"), std::string::npos);
    EXPECT_NE(gif.find("Content-Length: 8\r\n"), std::string::npos);
    EXPECT_EQ(gif.substr(gif.size() - 8), std::string("GIF89a\0\1", 8));
}

TEST_F(SiteServerTest, MissingPagesAndPathsOutsideTheRootAnswer404) {
    SiteServer server(dir.Path());
    EXPECT_EQ(Get(server.Port(), "/letters.htm").rfind("HTTP/1.0 404", 0), 0u);
    EXPECT_EQ(Get(server.Port(), "/../secret.txt").rfind("HTTP/1.0 404", 0), 0u);
    EXPECT_EQ(Get(server.Port(), "/sub/../../secret.txt").rfind("HTTP/1.0 404", 0), 0u);
    EXPECT_EQ(Exchange(server.Port(), "POST / HTTP/1.0\r\n\r\n").rfind("HTTP/1.0 400", 0), 0u);
}

TEST_F(SiteServerTest, ProxyRequestsForAnyHostAreServedFromTheSite) {
    SiteServer server(dir.Path());
    std::string answer = Get(server.Port(), "http://localhost:1234/sub/index.htm");
    EXPECT_NE(answer.find("roses and rain"), std::string::npos);
}

TEST_F(SiteServerTest, SearchThroughTheProxyListsMatchingPages) {
    SiteServer server(dir.Path());
    std::string answer = Get(server.Port(), "http://search.yahoo.com/bin/search?p=ROSES+tulips");
    EXPECT_EQ(answer.rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
    EXPECT_NE(answer.find("You searched for <b>ROSES tulips</b>"), std::string::npos);
    EXPECT_NE(
        answer.find("<a href=\"http://" + server.HostPort() + "/sub/index.htm\">Sub Page</a>"),
        std::string::npos)
        << answer;
    EXPECT_EQ(answer.find("index.htm\">index.htm"), std::string::npos);
    std::string none = Get(server.Port(), "http://search.yahoo.com/bin/search?p=%3Cb%3E");
    EXPECT_NE(none.find("No pages matched."), std::string::npos);
    EXPECT_NE(none.find("&lt;b&gt;"), std::string::npos);
}

TEST(DecodeQueryValue, PlusAndPercentForms) {
    EXPECT_EQ(DecodeQueryValue("two+words"), "two words");
    EXPECT_EQ(DecodeQueryValue("a%20b%2"), "a b%2");
    EXPECT_EQ(DecodeQueryValue("%zz"), "%zz");
}

} // namespace
} // namespace gathra
