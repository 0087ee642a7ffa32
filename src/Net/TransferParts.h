#pragma once
// The pieces both ways of transferring share (a new connection per request, and kept
// connections): opening a connection, receiving one answer, showing progress. Internal to the
// client's files.
#include "Net/HttpClient.h"
#include "Net/SecureTransfer.h"
#include "Platform/Socket.h"
#include "Platform/TlsStream.h"

#include <memory>
#include <string>

namespace gathra {

class SocketCanceller;
class TConnectionPool;
class TResponseFraming;

// One connection to a server or a proxy, with TLS over it for a secure route.
struct TConnection {
    std::unique_ptr<TSocket> Socket;
    std::unique_ptr<TTlsStream> Tls;
    int Answers = 0; // answers it carried so far

    TStream& Stream() { return Tls != nullptr ? static_cast<TStream&>(*Tls) : *Socket; }
};

namespace transfer {

SocketCanceller& CancellerOf(TNetContext& net);
TTicks& TicksOf(const TNetContext& net);
void SetStatus(TNetContext& net, const std::string& text);
void SetProgress(TNetContext& net, int percent);
// The number of tries of one send or receive for a first-byte wait of timeoutSeconds.
int TriesFor(int timeoutSeconds);
int UnitMs(const TNetContext& net);
// The send, receive and connect bounds.
int SocketTimeoutMs(const TNetContext& net);

// How opening a connection ended.
enum class Opened {
    Ok,
    Skipped, // Stop or Skip: the skipped notice stands in the buffer
    Failed,  // no socket or no address: the caller's connect-failed notice
    Busy,    // the host did not take the connection: the busy notice stands in the buffer
    Secure,  // the TLS session failed: secure->Problem says why (the caller's notice)
};

// Opens a connection to req.ConnectTo (TLS as secure says, when given), writing the notices of
// the cases above into buffer.
Opened OpenConnection(const TTransferRequest& req, TResponseBuffer& buffer, TNetContext& net,
                      SecureRoute* secure, TConnection& connection);

// How receiving one answer ended.
enum class Received {
    Done,    // the answer (or the busy notice of a failed receive) stands in the buffer
    Failed,  // refused, too slow, unwritable or broken: out says why, the buffer is empty
    Nothing, // the connection ended before the first byte (a kept one may be retried)
};

// Receives one answer over stream into buffer, which ends with one NUL byte and is rewound.
// Without framing the answer ends with the close of the connection; with it, where framing finds
// its end (framing->Reusable() then tells whether the connection can carry the next request).
// Nothing only when mayRetry; otherwise an answer of no bytes is an empty one.
Received ReceiveAnswer(TStream& stream, const TTransferRequest& req, TResponseBuffer& buffer,
                       TNetContext& net, TResponseFraming* framing, bool mayRetry,
                       TTransferResult& out);

// A 429 or 503 answer with a Retry-After the run waits for: the host is asked again (the next
// attempt) only once the time it named is over.
void HoldOffAsAsked(TConnectionPool& pool, const std::string& hostKey,
                    const TResponseFraming& framing, const TNetContext& net, TTransferResult& out);

} // namespace transfer
} // namespace gathra
