#pragma once
// Opening the TLS side of a transfer: the CONNECT tunnel through a proxy, then the handshake.
#include "Platform/TlsStream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace gathra {

class TSocket;

// Where a secure transfer goes, and how its handshake ended.
struct SecureRoute {
    std::string Host; // the server's host name: sent as its name and checked in its certificate
    std::uint16_t Port = 443;
    bool Tunnel = false; // the socket reaches a proxy: ask it for a tunnel to Host:Port first
    TlsTrust Trust;
    // Fast transfers: keep the session for the next connection to the server and resume a kept
    // one; offer HTTP/2 (then HTTP/1.1) to the server. Classic transfers do neither.
    bool Resume = false;
    bool OfferHttp2 = false;
    // Set when the session could not be set up for a reason worth a notice of its own.
    TlsProblem Problem = TlsProblem::None;
};

// The route of a secure address's host-and-path form ("host[:port]/path"); Tunnel when a proxy
// is in use.
SecureRoute SecureRouteOf(std::string_view hostAndPath, bool viaProxy);

// Opens a TLS session over the connected socket as route says; every wait lasts at most
// timeoutMs and ends with the socket's canceller. On Failed with route.Problem set, the server
// was reached but could not be trusted (or the handshake failed); a proxy that refuses the
// tunnel gives Failed with no problem set.
SocketStatus OpenSecureStream(TSocket& socket, SecureRoute& route, int timeoutMs,
                              std::unique_ptr<TTlsStream>& stream);

} // namespace gathra
