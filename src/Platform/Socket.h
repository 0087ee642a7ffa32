#pragma once
#include "Platform/Stream.h"
#include "Platform/Ticks.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gathra {

class SocketCanceller;

// A TCP stream socket over IPv4, standing in for the Windows Sockets calls of the HTTP client.
// Every blocking call waits with poll() on the socket and on the canceller's descriptor, so that
// another thread can end it at once; each has a bound.
class TSocket : public TStream {
public:
    // ticks: the time the bounds of its waits are kept on; null: the steady clock.
    explicit TSocket(SocketCanceller* canceller = nullptr, TTicks* ticks = nullptr);
    ~TSocket() override;
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;

    bool Open();
    // Opens a socket of the family of a packed socket address (as LookupAll gives them).
    bool OpenFor(const std::string& address);
    bool IsOpen() const { return fd_ >= 0; }
    void Close();

    // Receive buffer size (0: the system's own, which grows with the connection), send and
    // receive bounds, keep-alive and no-delay.
    void SetOptions(int receiveBufferBytes, int sendTimeoutMs, int receiveTimeoutMs, bool keepAlive,
                    bool noDelay);

    // Four dot-separated groups of decimal digits, each at most 255; address in host order.
    static bool ParseDottedAddress(std::string_view host, std::uint32_t& address);
    // Name lookup (IPv4); address in host order. The system's resolver cannot be interrupted,
    // so it runs on a helper thread of its own while this call waits for it or for a cancel;
    // a cancelled lookup finishes unobserved on its helper.
    static SocketStatus LookupHost(const std::string& host, std::uint32_t& address,
                                   SocketCanceller* canceller);

    SocketStatus Connect(std::uint32_t address, std::uint16_t port, int timeoutMs);
    // Connects to a packed socket address (IPv4 or IPv6) of LookupAll; the socket must have been
    // opened for its family (OpenFor).
    SocketStatus ConnectTo(const std::string& address, int timeoutMs);
    // Every address of host (a name, or an IPv4 or IPv6 address), IPv6 and IPv4 in the order the
    // system prefers, each packed with port. The system's resolver cannot be interrupted: it runs
    // on a helper thread while this call waits at most timeoutMs for it, or for a cancel; a helper
    // that is not waited for ends by itself when the resolver gives up. The bound is kept on ticks
    // (null: the steady clock).
    static SocketStatus LookupAll(const std::string& host, std::uint16_t port,
                                  std::vector<std::string>& addresses, SocketCanceller* canceller,
                                  int timeoutMs, TTicks* ticks = nullptr);
    // Sends all of data, or fails.
    SocketStatus Send(std::string_view data) override;
    SocketStatus WaitReadable(int timeoutMs) override;
    // Receives up to size bytes; Closed (received 0) when the peer has ended the connection.
    SocketStatus Receive(char* data, std::size_t size, std::size_t& received) override;

    // Waits until the socket is ready for the poll() events (POLLIN, POLLOUT), the bound passes
    // or the canceller fires. A stream layered on this socket waits through it.
    SocketStatus Wait(short events, int timeoutMs, short* revents = nullptr);
    int Descriptor() const { return fd_; }
    int SendTimeoutMs() const { return sendTimeoutMs_; }
    int ReceiveTimeoutMs() const { return receiveTimeoutMs_; }
    SocketCanceller* Canceller() const { return canceller_; }
    TTicks& Ticks() const { return *ticks_; }

private:
    SocketCanceller* canceller_;
    TTicks* ticks_;
    int fd_ = -1;
    int sendTimeoutMs_ = 32000;
    int receiveTimeoutMs_ = 32000;
};

} // namespace gathra
