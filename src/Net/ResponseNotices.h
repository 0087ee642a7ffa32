#pragma once
#include "Net/ResponseBuffer.h"

#include <string>
#include <string_view>

namespace gathra {

// Response notices: each replaces the whole buffer with a status line ("HTTP/1.0 200" or
// "HTTP/1.0 500"), CR LF CR LF, a short HTML page linking to `address`, and one NUL byte. The
// buffer is marked as having a header and rewound, so that it is stored like a fetched page.
void PageSkippedNotice(TResponseBuffer& buffer, std::string_view address);
void ConnectFailedNotice(TResponseBuffer& buffer, std::string_view address);
// `connectTarget`: host and port, or proxy and port.
void NetworkBusyNotice(TResponseBuffer& buffer, std::string_view connectTarget);
// Shows the user name in use; a non-empty password is shown as "<i>(hidden)</i>" so that it is
// never kept in a stored page.
void PasswordNotice(TResponseBuffer& buffer, std::string_view address, std::string_view userName,
                    std::string_view password);

inline constexpr std::string_view kFileNotFound = "was not found";
inline constexpr std::string_view kFileFailedToLoad = "failed to load";
void FileNotice(TResponseBuffer& buffer, std::string_view address, std::string_view reason);

void ExternalLinkNotice(TResponseBuffer& buffer, std::string_view address);
// An address that is not asked for: a local file named by a page from the network, or an address
// holding control characters that could end the request line.
void UnsupportedAddressNotice(TResponseBuffer& buffer, std::string_view address);
// The server offered a file of `contentType`, which the entry's setup does not retrieve; the
// notice names the type and, when one would, the `setting` that fetches such files.
void RefusedTypeNotice(TResponseBuffer& buffer, std::string_view address,
                       std::string_view contentType, std::string_view setting);
// For status 202, 204, 400, 403, 404, 501; any other code gets the general text.
void StatusNotice(TResponseBuffer& buffer, std::string_view address, int statusCode);
// A secure page that was not fetched: its server's certificate failed verification
// (`certificate`) or the TLS handshake failed. `reason` says why in plain words.
void SecureConnectionNotice(TResponseBuffer& buffer, std::string_view address,
                            std::string_view reason, bool certificate);

} // namespace gathra
