#pragma once
// The text handling behind the HTTP client: header fields, status lines, redirects, request
// building and connect targets. Internal to the client's files; tests may use it too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace gathra::http {

inline constexpr std::size_t kStatusBlock = 1000;
inline constexpr std::size_t kLocationBlock = 999;
inline constexpr std::size_t kMaxHostLength = 256;
inline constexpr std::string_view kUserAgent = "GathraLight/2.0";

char Lower(char c);

// Finds the lower-case pattern in data[from, to) with the data's letters lowered; npos when absent.
std::size_t FindNoCase(std::string_view data, std::string_view pattern, std::size_t from,
                       std::size_t to);

bool IsBlank(char c);
bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix);

// The position of the first "/" in text, or of the first "\" when there is no "/".
std::size_t FirstSeparator(std::string_view text);

// text without its scheme and "://", when the "://" stands before the first separator.
std::string_view WithoutScheme(std::string_view text);

std::string DisplayAddressOf(const std::string& address);

// The value of a header field in the lowered header: after the name, blanks, tabs, CR and LF
// are skipped; the value ends at a blank, tab, CR, LF or ";".
std::string_view HeaderValue(std::string_view header, std::string_view name);

// Reads the leading decimal digits of text; default 1, at least 1.
std::int64_t ContentLengthOf(std::string_view value);

// Whether a content type may be kept; sets isBinary for anything that is not text.
bool AcceptContentType(std::string_view type, bool loadImages, bool loadBinaries, bool& isBinary);

// True when the response's header declares a text type other than HTML ("text/plain"): such a
// document is stored as it came rather than as a page. No header or no content type: false.
bool IsOtherText(std::string_view response);
// The same for a lowered content type.
bool IsOtherTextType(std::string_view loweredType);

// The setting of an entry's setup that would fetch a refused content type, as the notice names
// it ("Other Files", "Images &amp; Plug-ins"); empty when no setting would.
std::string_view RefusedTypeSetting(std::string_view contentType);

// A connect target "host[:port][/...]" (or "\..." after the host) split into its host and port;
// not Valid when a port is given that is not a number from 1 to 65535.
struct ConnectTarget {
    std::string Host;
    std::uint16_t Port = 80;
    bool Valid = true;
};
ConnectTarget ParseConnectTarget(const std::string& connectTo);

std::string BuildRequest(std::string_view hostAndPath, bool viaProxy, bool authorising,
                         const std::string& userName, const std::string& password,
                         const std::string& agentComment);

// The request of kept connections made from a classic one: HTTP/1.1 (whose connections stay open
// by default, through proxies too, and whose bodies always tell their end) and compressed
// answers accepted.
std::string KeptRequest(std::string classic);

// True when a request for hostAndPath may be sent: no control byte anywhere (it could end the
// request line and add header lines of the server's choosing) and no blank in the host. Blanks in
// the path are sent as "%20".
bool IsSendableAddress(std::string_view hostAndPath);

bool IsKnownCode(int code);

// The "location" value of a redirect: the word searched from `from` in 999-byte blocks, each on
// its own. Returns false when no block holds the word. value is empty when the line has no
// value or no LF.
bool FindLocation(std::string_view response, std::size_t from, std::string& value);

// The address that a redirect's location value leads to, from the current address (its
// host-and-path form, or "https://" and that form).
std::string RedirectTarget(const std::string& current, std::string value);

// The status code and the position just after it; -1 when no block holds "http/".
int FindStatus(std::string_view response, std::size_t& codeEnd);

} // namespace gathra::http
