#include "Platform/Socket.h"

#include "Platform/SocketCanceller.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <thread>

namespace gathra {
namespace {

using test::TestHttpServer;
using test::TestResponse;

constexpr std::uint32_t kLoopback = 0x7f000001;

TEST(Socket, ParsesOnlyFourDecimalGroups) {
    std::uint32_t a = 0;
    EXPECT_TRUE(TSocket::ParseDottedAddress("127.0.0.1", a));
    EXPECT_EQ(a, kLoopback);
    EXPECT_TRUE(TSocket::ParseDottedAddress("255.255.255.255", a));
    EXPECT_EQ(a, 0xffffffffu);
    for (const char* bad : {"256.0.0.1", "1.2.3", "1.2.3.4.5", "1..2.3", "a.b.c.d", "1.2.3.4 ", "",
                            "1.2.3.0004", "www.example.com"})
        EXPECT_FALSE(TSocket::ParseDottedAddress(bad, a)) << bad;
}

TEST(Socket, LooksUpNamesUnlessCancelled) {
    SocketCanceller canceller;
    std::uint32_t a = 0;
    EXPECT_EQ(TSocket::LookupHost("localhost", a, &canceller), SocketStatus::Ok);
    EXPECT_EQ(a, kLoopback);
    EXPECT_EQ(TSocket::LookupHost("", a, &canceller), SocketStatus::Failed);
    canceller.Cancel();
    EXPECT_EQ(TSocket::LookupHost("localhost", a, &canceller), SocketStatus::Cancelled);
}

TEST(Socket, ExchangesBytesWithAServer) {
    TestHttpServer server;
    server.Enqueue(TestResponse::Raw("answer"));
    SocketCanceller canceller;
    TSocket socket(&canceller);
    ASSERT_TRUE(socket.Open());
    socket.SetOptions(0, 5000, 5000, true, true);
    ASSERT_EQ(socket.Connect(kLoopback, static_cast<std::uint16_t>(server.Port()), 5000),
              SocketStatus::Ok);
    ASSERT_EQ(socket.Send("GET / HTTP/1.0\r\n\r\n"), SocketStatus::Ok);
    ASSERT_EQ(socket.WaitReadable(5000), SocketStatus::Ok);
    std::string received;
    char block[3];
    size_t got = 0;
    SocketStatus status;
    while ((status = socket.Receive(block, sizeof block, got)) == SocketStatus::Ok)
        received.append(block, got);
    EXPECT_EQ(status, SocketStatus::Closed);
    EXPECT_EQ(received, "answer");
    EXPECT_EQ(server.Request(0), "GET / HTTP/1.0\r\n\r\n");
}

TEST(Socket, ARefusedConnectionFails) {
    TSocket socket;
    ASSERT_TRUE(socket.Open());
    EXPECT_EQ(
        socket.Connect(kLoopback, static_cast<std::uint16_t>(TestHttpServer::UnusedPort()), 5000),
        SocketStatus::Failed);
}

class SocketCancel : public ::testing::Test {
protected:
    void SetUp() override {
        server.SetDefault(TestResponse::Silent());
        ASSERT_TRUE(socket.Open());
        ASSERT_EQ(socket.Connect(kLoopback, static_cast<std::uint16_t>(server.Port()), 5000),
                  SocketStatus::Ok);
        ASSERT_EQ(socket.Send("GET / HTTP/1.0\r\n\r\n"), SocketStatus::Ok);
        ASSERT_TRUE(server.WaitForRequests(1));
    }
    TestHttpServer server;
    SocketCanceller canceller;
    TSocket socket{&canceller};
};

TEST_F(SocketCancel, AWaitEndsAtItsBoundWithoutACancel) {
    EXPECT_EQ(socket.WaitReadable(20), SocketStatus::TimedOut);
}

TEST_F(SocketCancel, AnotherThreadEndsABlockingWait) {
    // Without the cancel the wait would outlast the test's own time limit.
    std::thread main([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        canceller.Cancel();
    });
    EXPECT_EQ(socket.WaitReadable(600000), SocketStatus::Cancelled);
    main.join();
    char c;
    size_t got;
    socket.SetOptions(0, 600000, 600000, false, false);
    EXPECT_EQ(socket.Receive(&c, 1, got), SocketStatus::Cancelled);
}

TEST_F(SocketCancel, ACancelBeforeTheCallIsNotLostAndResetEndsIt) {
    canceller.Cancel();
    EXPECT_TRUE(canceller.Cancelled());
    EXPECT_EQ(socket.WaitReadable(600000), SocketStatus::Cancelled);
    EXPECT_EQ(socket.Send("x"), SocketStatus::Cancelled);
    canceller.Reset();
    EXPECT_FALSE(canceller.Cancelled());
    EXPECT_EQ(socket.WaitReadable(10), SocketStatus::TimedOut);
    // Resets with nothing to clear, then cancels more than once: each reset ends them all.
    for (int round = 0; round < 3; ++round) {
        canceller.Reset();
        EXPECT_EQ(socket.WaitReadable(10), SocketStatus::TimedOut) << round;
        canceller.Cancel();
        canceller.Cancel();
        EXPECT_EQ(socket.WaitReadable(600000), SocketStatus::Cancelled) << round;
        canceller.Reset();
        EXPECT_EQ(socket.WaitReadable(10), SocketStatus::TimedOut) << round;
    }
}

} // namespace
} // namespace gathra
