#pragma once
#include "Net/NetContext.h"
#include "Net/ResponseBuffer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace gathra {

// The fixed host of the search service: search entries are sent there, and pages on its site
// get their images even when the entry's images are off.
inline constexpr std::string_view kSearchHost = "search.yahoo.com";

// One call follows at most this many redirects; the next one is answered like any unexpected
// status code, so that a redirect loop ends by itself.
inline constexpr int kMaxRedirects = 20;

// A local file larger than this is not loaded (responses: TNetContext::MaxResponseBytes).
inline constexpr std::size_t kMaxResponseBytes = std::size_t(1) << 30;

// What one FetchDocument call asks for.
struct TFetchRequest {
    // An engine address (usually without "http://"), or a "file://" address of a local file.
    std::string Address;
    // The entry's user name and password; when both are empty, the settings' defaults.
    std::string UserName;
    std::string Password;
    // The address the same-site test compares with (the entry's address).
    std::string BaseAddress;
    // Links to other sites are not followed: they get the external-link notice.
    bool LocalOnly = false;
    // Empty: no proxy.
    std::string ProxyHost;
    int ProxyPort = 80;
    bool LoadImages = false;
    bool LoadBinaries = false;
    // Added to the User-Agent line in brackets when not empty.
    std::string AgentComment;
    // The entry is itself a local file: only then may "file://" addresses be read.
    bool AllowLocalFiles = false;
};

// The outcome of one FetchDocument call.
struct TFetchResult {
    // 1: the buffer holds something the caller should store (a document or a notice page);
    // 0: a redirect carried no usable "location" line and there is nothing to store.
    std::uint8_t Result = 1;
    // The buffer holds the requested document (status 200 or 203, a response without a status
    // line, or a local file) rather than a notice page or an error response.
    bool IsContent = true;
    // The response declared a content type that is not text.
    bool IsBinary = false;
    // The document is text of another type than HTML ("text/plain", "text/x-python"): it is
    // stored as it came, as a file, not as a page.
    bool IsText = false;
    // The address was refused as lying on another site (an external-link notice stands).
    bool WasExternal = false;
    // The address asked for, or the target of the last redirect followed.
    std::string Address;
};

// Retrieves one address into buffer, which is emptied first. Never throws for network trouble: a
// notice page stands in the buffer instead.
// When the buffer allows it (SpoolsFiles) and net has a spool folder, the body of a file (a
// binary or non-HTML text document) is written to a spool file as it arrives: then the result is
// IsContent and IsBinary or IsText, the buffer holds only the header and the closing NUL, and
// StoreBody gives the file its name.
// Writing that file checks the free space (net.CheckFreeSpace throws, as any write of the run);
// a body that cannot be written ends as a failed transfer with a notice.
// Settings (retries, default user name and password) come from net.Settings when set; waits are
// counted in units of net.TimeUnitMs. With net.Pool, requests go over kept connections.
TFetchResult FetchDocument(const TFetchRequest& request, TResponseBuffer& buffer, TNetContext& net);

// What one TransferResponse call sends, and where.
struct TTransferRequest {
    std::string ConnectTo;  // "host[:port]": the server, or the proxy
    std::string Request;    // the request's bytes
    int TimeoutSeconds = 5; // the wait for the first byte of the answer
    bool LoadImages = false;
    bool LoadBinaries = false;
    // What earlier responses of the same fetch found (a redirect's type carries on).
    bool IsBinary = false;
    std::string DisplayAddress; // shown by the notices
};

// The outcome of one TransferResponse call.
struct TTransferResult {
    // 0: the transfer failed or was refused (the caller writes the notice); 1: the response or a
    // notice stands in the buffer.
    std::uint8_t Transferred = 0;
    // The response declared a content type that is not text.
    bool IsBinary = false;
    // The content type that was turned down (empty unless it was).
    std::string RefusedType;
    // The body could not be written to its file.
    bool Unstored = false;
    // The seconds of the answer's Retry-After line (kept connections only; -1: none).
    int RetryAfterSeconds = -1;
};

// Sends the request and receives the answer into buffer (which ends with one NUL byte and is
// rewound).
TTransferResult TransferResponse(const TTransferRequest& request, TResponseBuffer& buffer,
                                 TNetContext& net);

// Readies an HTML response for scanning: removes the response header (only when the buffer
// says it has one), blanks comments and "<!" markup outside scripts when blankComments is set,
// and turns every NUL byte but the last into a blank. Linear in the size of the buffer. With
// keepStyles (a run that keeps pages' looks), style blocks are left as they are too: a
// stylesheet wrapped in "<!--" and "-->" is still the page's stylesheet.
void PrepareBody(TResponseBuffer& buffer, bool blankComments, bool keepStyles = false);

// True when the host of link ends with the domain (last two labels) of base's host. Schemes and
// ports are ignored; letter case matters.
bool IsSameSite(std::string_view link, std::string_view base);

// True when the search service's host lies in the domain of address.
bool IsSearchSiteLink(std::string_view address);

// Reads a local file into buffer: its bytes followed by one NUL byte, position at the end.
// False (buffer empty) when the file does not exist or cannot be read.
bool LoadFileToBuffer(const std::string& path, TResponseBuffer& buffer);

// The position just after the end of a response header within data (the first CR LF CR LF, or
// the first LF LF when that comes earlier), or npos when data holds no header end.
std::size_t FindHeaderEnd(std::string_view data);

// The status code of a response as FetchDocument reads it: "http/" found within 1000-byte
// blocks, the version skipped, then three digits (404 when they are not digits). -1 when no
// block holds "http/".
int FindStatusCode(std::string_view response);

} // namespace gathra
