#pragma once
#include <functional>
#include <string>
#include <thread>

namespace gathra {

// A TCP socket listening on 127.0.0.1, a thread that accepts its connections and hands each to
// a handler, and a stop signal that ends every wait made through it. The local web server of
// the command-line tool and the tests' HTTP server are built on it.
class LoopbackListener {
public:
    // Called on the accepting thread with each connection; the handler owns the descriptor.
    using Handler = std::function<void(int fd)>;

    LoopbackListener() = default;
    ~LoopbackListener(); // stops, then closes the sockets
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    // Binds 127.0.0.1:port (0: a free port) and listens, so that connections wait in its queue
    // from now on. False when that fails (Error() says why).
    bool Listen(int port = 0);
    // Starts accepting: every connection goes to handler until Stop.
    void Start(Handler handler);
    // Wakes every wait and joins the accepting thread. The sockets stay open until destruction,
    // so that threads the handler started can still see the stop.
    void Stop();

    bool Listening() const { return listenFd_ >= 0; }
    int Port() const { return port_; }
    const std::string& Error() const { return error_; }

    // Waits at most ms (-1: without a bound) for the events on fd (on nothing when fd < 0).
    // False when the listener stops, the bound passes or the wait fails.
    bool Wait(int fd, short events, int ms) const;
    // Sleeps ms, or less when the listener stops; true when the whole pause passed.
    bool Pause(int ms) const;
    // Readable once the listener stops: for a wait on several sockets at once.
    int StopDescriptor() const { return stopFd_; }

private:
    void AcceptLoop(const Handler& handler);

    int listenFd_ = -1;
    int stopFd_ = -1; // an eventfd that wakes every wait when the listener stops
    int port_ = 0;
    std::string error_;
    std::thread thread_;
};

} // namespace gathra
