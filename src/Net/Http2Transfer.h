#pragma once
// Transfers over HTTP/2 in the fast mode, internal to the client's files.
#include "Net/HttpClient.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace gathra {

class THttp2Connection;
class TResponseBuffer;

// What the run knows of each secure route: the HTTP/2 connection that carries its requests, or
// that it speaks HTTP/1.1 only. The first transfer to a route finds out (a probe: it offers
// HTTP/2 in its handshake) while the others wait for the answer, so that a route gets one HTTP/2
// connection rather than one per transfer.
class THttp2Routes {
public:
    struct Found {
        std::shared_ptr<THttp2Connection> Connection; // the route's connection, if any
        bool Probe = false; // the caller finds out (and then calls Adopt or Settle)
    };

    // Waits while another transfer probes route (stop() ends the wait with nothing found).
    Found Find(const std::string& route, const std::function<bool()>& stop);
    // The route's connection from now on.
    void Adopt(const std::string& route, std::shared_ptr<THttp2Connection> connection);
    // The probe ended without an HTTP/2 connection: the others go on over HTTP/1.1 (each may
    // still be offered HTTP/2 and get it).
    void Settle(const std::string& route);
    // The connection broke or went away: the next transfer finds out again.
    void Drop(const std::string& route, const THttp2Connection* connection);
    // Lets go of every connection (each ends once its last stream has ended).
    void CloseAll();

private:
    enum class Known { Probing, Settled };
    struct Route {
        Known State = Known::Probing;
        std::shared_ptr<THttp2Connection> Connection;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, Route> routes_;
};

// How a request on an HTTP/2 connection ended.
enum class Http2Answered {
    Done,  // the answer or a notice stands in the buffer, out says the rest
    Again, // nothing came: the request may go once more on a new connection
};

// Sends req on connection and receives its answer into buffer as the HTTP/1.1 path does.
// hostKey names the host's slots and pauses in the pool; mayRetry as for ReceiveAnswer.
Http2Answered Http2Answer(const TTransferRequest& req, TResponseBuffer& buffer, TNetContext& net,
                          THttp2Connection& connection, const std::string& hostKey, bool mayRetry,
                          TTransferResult& out);

} // namespace gathra
