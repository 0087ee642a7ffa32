#include "Net/HttpClient.h"
#include "Net/HttpText.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace gathra {
using namespace http;

namespace {

// A "<style" tag at `open` (not a longer name such as "<styles").
bool OpensStyle(std::string_view data, size_t open) {
    if (FindNoCase(data, "style", open + 1, open + 6) != open + 1) return false;
    if (open + 6 >= data.size()) return false;
    const char next = data[open + 6];
    return next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\r' ||
           next == '\n';
}

} // namespace

void PrepareBody(TResponseBuffer& buffer, bool blankComments, bool keepStyles) {
    std::string& bytes = buffer.MutableBytes();
    if (buffer.HasHeader()) {
        size_t end = FindHeaderEnd(bytes);
        if (end != std::string::npos) {
            bytes.erase(0, end);
            buffer.AppendNul();
            buffer.Rewind();
            // What is left is the body; a second preparation must not cut it again.
            buffer.SetHasHeader(false);
        }
    }

    if (blankComments) {
        // One pass from "<" to "<": whichever of a "<!" tag and a script comes first is
        // handled, and the scan goes on after it, so the page is read once.
        const std::string_view data(bytes);
        const size_t npos = std::string_view::npos;
        size_t at = 0;
        while (at < data.size()) {
            const void* hit = std::memchr(data.data() + at, '<', data.size() - at);
            if (hit == nullptr) break;
            const size_t open = static_cast<size_t>(static_cast<const char*>(hit) - data.data());
            if (open + 1 < data.size() && data[open + 1] == '!') {
                size_t end;
                if (data.compare(open + 2, 2, "--") == 0) {
                    // The next "-->" after the "<!", so that "<!-->" ends where it stands, as
                    // browsers read it, instead of swallowing the text up to a later comment.
                    end = data.find("-->", open + 2);
                    if (end != npos) end += 3;
                } else {
                    end = data.find('>', open + 2);
                    if (end != npos) end += 1;
                }
                if (end == npos) break;
                std::memset(bytes.data() + open, ' ', end - open);
                at = end;
            } else if (FindNoCase(data, "script", open + 1, open + 7) == open + 1) {
                // The script's content is not touched.
                size_t close = FindNoCase(data, "</script", open + 7, data.size());
                if (close == npos) break;
                at = close + 1;
            } else if (keepStyles && OpensStyle(data, open)) {
                size_t close = FindNoCase(data, "</style", open + 6, data.size());
                if (close == npos) break;
                at = close + 1;
            } else {
                at = open + 1;
            }
        }
    }

    if (!bytes.empty()) {
        char* at = bytes.data();
        char* const last = bytes.data() + bytes.size() - 1;
        while (at < last) {
            void* nul = std::memchr(at, '\0', static_cast<size_t>(last - at));
            if (nul == nullptr) break;
            at = static_cast<char*>(nul);
            *at++ = ' ';
        }
    }
}

bool IsSameSite(std::string_view link, std::string_view base) {
    link = WithoutScheme(link);
    size_t baseScheme = base.find("://");
    if (baseScheme != std::string_view::npos && baseScheme < base.find('/'))
        base = base.substr(baseScheme + 3);

    std::string_view baseHost = base.substr(0, base.find('/'));
    std::string_view domain = baseHost;
    size_t lastDot = baseHost.rfind('.');
    if (lastDot != std::string_view::npos && lastDot > 0) {
        size_t secondDot = baseHost.rfind('.', lastDot - 1);
        if (secondDot != std::string_view::npos) domain = baseHost.substr(secondDot + 1);
    }
    domain = domain.substr(0, domain.find(':'));

    std::string_view linkHost = link.substr(0, link.find('/'));
    linkHost = linkHost.substr(0, linkHost.find(':'));
    return linkHost.size() >= domain.size() &&
           linkHost.compare(linkHost.size() - domain.size(), domain.size(), domain) == 0;
}

bool IsSearchSiteLink(std::string_view address) {
    return IsSameSite(kSearchHost, address);
}

bool LoadFileToBuffer(const std::string& path, TResponseBuffer& buffer) {
    buffer.Clear();
    std::ifstream in(path, std::ios::binary);
    std::error_code error;
    if (!in || std::filesystem::is_directory(path, error)) return false;
    std::string& bytes = buffer.MutableBytes();
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        if (bytes.size() + static_cast<size_t>(in.gcount()) > kMaxResponseBytes) {
            buffer.Clear();
            return false;
        }
        bytes.append(block, static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) {
        buffer.Clear();
        return false;
    }
    buffer.AppendNul();
    return true;
}

} // namespace gathra
