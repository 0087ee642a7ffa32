#include "Html/LinkResolution.h"

#include <cctype>
#include <vector>

namespace gathra {
namespace {

constexpr size_t npos = std::string_view::npos;

bool IsLineSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// The first "/" or "\\" at or after `from`, or npos. A plain loop: find_first_of with a set
// asks memchr about the set once for every byte of the text.
size_t FindSeparator(std::string_view text, size_t from) {
    for (size_t i = from; i < text.size(); ++i)
        if (IsSeparator(text[i])) return i;
    return npos;
}

// Tabs and line breaks dropped, blanks replaced by `blankAs`.
std::string WithBlanksAs(std::string_view text, std::string_view blankAs) {
    // Links seldom hold any: up to the first, they are copied whole.
    size_t clean = 0;
    while (clean < text.size() && !IsLineSpace(text[clean]))
        ++clean;
    std::string out(text.substr(0, clean));
    if (clean == text.size()) return out;
    out.reserve(text.size() + 8);
    for (char c : text.substr(clean)) {
        if (c == ' ')
            out += blankAs;
        else if (!IsLineSpace(c))
            out += c;
    }
    return out;
}

std::string WithoutLineSpace(std::string_view text) {
    return WithBlanksAs(text, "");
}

// As a browser reads a link: tabs and line breaks inside it are dropped, blanks are sent as
// "%20" ("price list.html" asks for "price%20list.html").
std::string WithBlanksEncoded(std::string_view text) {
    return WithBlanksAs(text, "%20");
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// A ":" followed by digits and then a separator, "?", "#" or the end names a port
// ("localhost:8080/a"), not a scheme: a host name without a dot must not be taken for one.
bool IsPortColon(std::string_view text, size_t colon) {
    size_t i = colon + 1;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
        ++digits;
    }
    if (digits == 0) return false;
    return i == text.size() || IsSeparator(text[i]) || text[i] == '?' || text[i] == '#';
}

// The position of the first ":" when nothing of `stoppers` stands before it, else npos.
size_t LeadingColon(std::string_view text, std::string_view stoppers) {
    size_t colon = text.find(':');
    if (colon == npos) return npos;
    if (text.substr(0, colon).find_first_of(stoppers) != npos) return npos;
    return colon;
}

// The value names its own place: a scheme ("http:", "mailto:") or a drive ("C:").
bool IsAbsoluteValue(std::string_view value) {
    size_t colon = LeadingColon(value, "/.#");
    return colon != npos && colon >= 1 && !IsPortColon(value, colon);
}

// Where the host part of an address with "http://", "https://" or "file://" (any letter case)
// begins, or npos.
size_t AfterWebScheme(std::string_view text) {
    for (size_t i = 4; i + 3 <= text.size(); ++i) {
        if (text[i] != ':') continue;
        if (text.substr(i + 1, 2) != "//") continue;
        if (StartsWithNoCase(text.substr(i - 4), "http") ||
            StartsWithNoCase(text.substr(i - 4), "file") ||
            (i >= 5 && StartsWithNoCase(text.substr(i - 5), "https")))
            return i + 3;
    }
    return npos;
}

// The fragment starts at the first "#" with no "/" after it: "a/b#c#d" loses "#c#d" whole.
std::string WithoutFragment(std::string_view base) {
    size_t lastSlash = base.rfind('/');
    size_t hash = base.find('#', lastSlash == npos ? 0 : lastSlash + 1);
    return std::string(hash == npos ? base : base.substr(0, hash));
}

// The base's site part (scheme and host) for a value that begins with a separator.
std::string SiteOf(std::string_view base) {
    // A local file has no host: a root path starts again after "file://".
    if (StartsWithNoCase(base, "file:")) return "file://";
    size_t from = 3; // past a short host, as a base without a scheme is read
    size_t colon = LeadingColon(base, "/.");
    if (colon != npos) {
        from = colon + 1;
        while (from < base.size() && (base[from] == '/' || base[from] == ':'))
            ++from;
    }
    if (from > base.size()) return std::string(base);
    size_t slash = base.find('/', from);
    if (slash == npos) slash = base.find('\\', from);
    return std::string(slash == npos ? base : base.substr(0, slash));
}

// The base's folder (up to and including its last separator) for a relative value.
std::string FolderOf(std::string_view base) {
    std::string folder(base);
    size_t scheme = folder.find("://");
    if (scheme != npos) {
        if (folder.find('/', scheme + 3) == npos && !StartsWithNoCase(folder, "file://"))
            folder += '/';
    } else if (folder.find('/') == npos) {
        folder += '/';
    }
    size_t last = folder.find_last_of("/\\");
    if (last == npos) return std::string();
    folder.resize(last + 1);
    return folder;
}

std::string RemoveScheme(std::string result) {
    if (StartsWithNoCase(result, "file:")) return result;
    if (StartsWithNoCase(result, "https:")) {
        size_t end = 6;
        while (end < result.size() && (result[end] == ':' || result[end] == '/'))
            ++end;
        return "https://" + result.substr(end);
    }
    size_t colon = LeadingColon(result, "/.");
    if (colon == npos || colon == 1 || IsPortColon(result, colon)) return result;
    size_t end = colon;
    while (end < result.size() && (result[end] == ':' || result[end] == '/'))
        ++end;
    return result.substr(end);
}

} // namespace

std::string ResolveLink(std::string_view base, std::string_view value) {
    size_t begin = 0;
    while (begin < value.size() &&
           (IsLineSpace(value[begin]) || value[begin] == '"' || value[begin] == '\''))
        ++begin;
    size_t end = value.size();
    while (end > begin && IsLineSpace(value[end - 1]))
        --end;
    if (begin == end) return std::string(base);
    std::string link = WithBlanksEncoded(value.substr(begin, end - begin));

    bool absolute = false;
    if (link.size() >= 2 && link[0] == '/' && link[1] == '/') {
        link.erase(0, 2);
        // The link takes the scheme of the page it stands on.
        if (IsSecureAddress(base)) link.insert(0, "https://");
        absolute = true;
    } else {
        absolute = IsAbsoluteValue(link);
    }

    std::string result;
    if (absolute) {
        result = link;
        // A web address that names only a host still gets its root folder.
        size_t host = AfterWebScheme(result);
        if (host != npos && result.find_first_of("/\\", host) == npos) result += '/';
    } else if (!link.empty() && link[0] == '#') {
        result = WithoutFragment(base) + link;
    } else if (!link.empty() && IsSeparator(link[0])) {
        result = SiteOf(base) + link;
    } else {
        result = FolderOf(base) + link;
    }

    // A base with blanks (a base href, an address typed in) is read as the link is.
    result = RemoveScheme(RemoveDotSegments(WithBlanksEncoded(result)));
    if (FindSeparator(result, 0) == npos && !(absolute && result.find("http://") == npos))
        result += '/';
    return result;
}

bool IsSecureAddress(std::string_view address) {
    return StartsWithNoCase(address, "https://");
}

std::string RemoveDotSegments(std::string_view address) {
    // Most addresses have no segment that starts with a dot, and so no step to take.
    bool dotSegment = false;
    for (size_t i = 0; i < address.size() && !dotSegment; ++i)
        dotSegment = address[i] == '.' && (i == 0 || IsSeparator(address[i - 1]));
    if (!dotSegment) return WithoutLineSpace(address);

    // Only whole "." and ".." segments are steps, so that names such as "x..htm" or "v1./"
    // keep their dots. One pass with a stack of segment starts keeps this linear.
    std::string out;
    out.reserve(address.size());
    std::vector<size_t> starts;
    bool stopped = false;
    size_t i = 0;
    while (i < address.size()) {
        size_t sep = FindSeparator(address, i);
        size_t segEnd = sep == npos ? address.size() : sep;
        size_t next = sep == npos ? address.size() : sep + 1;
        std::string_view segment = address.substr(i, segEnd - i);
        if (!stopped && segment == "..") {
            if (out.empty()) {
                // Nothing to climb out of: the address keeps its ".." steps.
                stopped = true;
            } else {
                // Keep the segment that follows a leading separator or the very first one, and
                // a host right after "://": "http://host/../b" climbs no higher than the site
                // root, just as "host/../b" does.
                const bool host = !starts.empty() && starts.back() >= 3 &&
                                  out.compare(starts.back() - 3, 3, "://") == 0;
                if (!starts.empty() && starts.back() >= 2 && !host) {
                    out.resize(starts.back());
                    starts.pop_back();
                }
                i = next;
                continue;
            }
        }
        starts.push_back(out.size());
        out.append(address.substr(i, next - i));
        i = next;
    }

    std::string cleaned;
    cleaned.reserve(out.size());
    bool stopDots = false;
    i = 0;
    while (i < out.size()) {
        size_t sep = FindSeparator(out, i);
        size_t segEnd = sep == std::string::npos ? out.size() : sep;
        size_t next = sep == std::string::npos ? out.size() : sep + 1;
        std::string_view segment = std::string_view(out).substr(i, segEnd - i);
        if (!stopDots && sep != std::string::npos) {
            if (segment == "." && i == 0)
                stopDots = true;
            else if (segment == "..")
                stopDots = true;
            else if (segment == ".") {
                i = next;
                continue;
            }
        }
        cleaned.append(out, i, next - i);
        i = next;
    }
    return WithoutLineSpace(cleaned);
}

} // namespace gathra
