#include "Net/SecureTransfer.h"

#include "Net/HttpClient.h"
#include "Net/HttpText.h"
#include "Platform/Socket.h"


namespace gathra {
namespace {

// A proxy's answer to CONNECT is a header alone; anything longer is not one.
constexpr std::size_t kMaxTunnelAnswer = 16384;

// Asks the proxy for a tunnel and reads its answer up to the header's end, byte by byte so that
// nothing of the server's first bytes is taken from the stream.
SocketStatus OpenTunnel(TSocket& socket, const SecureRoute& route, int timeoutMs) {
    const std::string target = route.Host + ":" + std::to_string(route.Port);
    SocketStatus sent =
        socket.Send("CONNECT " + target + " HTTP/1.0\r\nHost: " + target +
                    "\r\nUser-Agent: " + std::string(http::kUserAgent) + "\r\n\r\n");
    if (sent != SocketStatus::Ok) return sent;
    const TDeadline deadline(socket.Ticks(), timeoutMs);
    std::string answer;
    while (FindHeaderEnd(answer) == std::string::npos) {
        if (answer.size() >= kMaxTunnelAnswer) return SocketStatus::Failed;
        if (deadline.Passed()) return SocketStatus::TimedOut;
        SocketStatus waited = socket.WaitReadable(static_cast<int>(deadline.LeftMs()));
        if (waited != SocketStatus::Ok) return waited;
        char c;
        size_t got = 0;
        SocketStatus status = socket.Receive(&c, 1, got);
        if (status == SocketStatus::Closed) return SocketStatus::Failed;
        if (status != SocketStatus::Ok) return status;
        answer += c;
    }
    size_t codeEnd = 0;
    int code = http::FindStatus(answer, codeEnd);
    return code >= 200 && code <= 299 ? SocketStatus::Ok : SocketStatus::Failed;
}

} // namespace

SecureRoute SecureRouteOf(std::string_view hostAndPath, bool viaProxy) {
    SecureRoute route;
    std::string hostPort(hostAndPath.substr(0, hostAndPath.find('/')));
    http::ConnectTarget target = http::ParseConnectTarget(hostPort);
    route.Host = target.Host;
    // A host without a port of its own answers TLS on 443.
    route.Port = hostPort.find(':') == std::string::npos ? 443 : target.Port;
    route.Tunnel = viaProxy;
    return route;
}

SocketStatus OpenSecureStream(TSocket& socket, SecureRoute& route, int timeoutMs,
                              std::unique_ptr<TTlsStream>& stream) {
    route.Problem = TlsProblem::None;
    if (route.Tunnel) {
        SocketStatus tunnel = OpenTunnel(socket, route, timeoutMs);
        if (tunnel != SocketStatus::Ok) return tunnel;
    }
    stream = std::make_unique<TTlsStream>(socket);
    // The protocols as the handshake lists them, each behind its length.
    constexpr std::string_view kHttp2First("\x02h2\x08http/1.1");
    stream->Offer(route.Resume ? std::to_string(route.Port) : std::string(),
                  route.OfferHttp2 ? std::string(kHttp2First) : std::string());
    TlsProblem problem = TlsProblem::None;
    SocketStatus status = stream->Handshake(route.Host, route.Trust, timeoutMs, problem);
    if (status == SocketStatus::Failed) route.Problem = problem;
    if (status != SocketStatus::Ok) stream.reset();
    return status;
}

} // namespace gathra
