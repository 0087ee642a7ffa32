#pragma once
// One connection the test server serves (shared by its HTTP/1 and HTTP/2 files).
#include "support/TestHttpServer.h"

namespace gathra::test {

struct TestHttpServer::Connection {
    int Fd = -1;
    bool KeepOpen = false; // more answers follow on this connection
    std::unique_ptr<TestTlsServer::Session> Tls;
};

} // namespace gathra::test
