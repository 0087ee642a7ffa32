#pragma once
// The transfer of one request, internal to the client's files.
#include "Net/HttpClient.h"
#include "Net/SecureTransfer.h"

namespace gathra {

// The longest Retry-After (in time units, seconds in the program) a host is waited for; a host
// that asks for more gets the status notice at once.
inline constexpr int kMaxRetryAfterUnits = 120;

// TransferResponse, over TLS when secure is given (then secure->Problem tells a failed
// handshake apart). With net.Pool the request goes over a kept connection of the pool (and the
// host's connection slots and pauses hold), else over a new connection of its own.
TTransferResult Transfer(const TTransferRequest& req, TResponseBuffer& buffer, TNetContext& net,
                         SecureRoute* secure);

} // namespace gathra
