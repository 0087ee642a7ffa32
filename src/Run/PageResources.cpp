#include "Run/PageResources.h"

#include "Html/CssRewriter.h"
#include "Html/HtmlScanner.h"
#include "Html/LinkResolution.h"
#include "Html/TagAttributes.h"
#include "Net/FetchAhead.h"
#include "Net/HttpClient.h"
#include "Run/FileNames.h"
#include "Run/PageRewriter.h"
#include "Run/RunContext.h"
#include "Run/RunHost.h"
#include "Settings/AppSettings.h"
#include "Text/AsciiText.h"

#include <algorithm>
#include <vector>

namespace gathra {

namespace {

bool ContainsNoCase(std::string_view text, std::string_view word) {
    if (word.empty() || text.size() < word.size()) return false;
    for (size_t i = 0; i + word.size() <= text.size(); ++i) {
        if (AsciiLower(text[i]) != word[0]) continue;
        if (EqualsNoCase(text.substr(i, word.size()), word)) return true;
    }
    return false;
}

// Attribute values are HTML text: "&amp;" in an address is "&".
std::string DecodeAmpersands(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '&' && EqualsNoCase(value.substr(i, 5), "&amp;")) {
            out += '&';
            i += 4;
        } else {
            out += value[i];
        }
    }
    return out;
}

// The few character references a style attribute's CSS uses around its addresses.
std::string DecodeStyleAttribute(std::string_view value) {
    static const std::pair<std::string_view, char> kReferences[] = {
        {"&quot;", '"'}, {"&#34;", '"'}, {"&apos;", '\''}, {"&#39;", '\''},
        {"&amp;", '&'},  {"&lt;", '<'},  {"&gt;", '>'}};
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        bool replaced = false;
        if (value[i] == '&') {
            for (const auto& [text, c] : kReferences) {
                if (EqualsNoCase(value.substr(i, text.size()), text)) {
                    out += c;
                    i += text.size() - 1;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += value[i];
    }
    return out;
}

std::string EncodeStyleAttribute(std::string_view css, char quote) {
    std::string out;
    out.reserve(css.size());
    for (char c : css) {
        if (c == '&')
            out += "&amp;";
        else if (c == '"' && quote != '\'')
            out += "&quot;";
        else if (c == '\'' && quote == '\'')
            out += "&#39;";
        else
            out += c;
    }
    return out;
}

// The web form of an engine address: "http://" in front unless it carries a scheme.
std::string AbsoluteAddress(std::string_view address) {
    size_t scheme = address.find("://");
    size_t slash = address.find('/');
    if (scheme != std::string_view::npos && (slash == std::string_view::npos || slash > scheme))
        return std::string(address);
    if (address.size() >= 5 && EqualsNoCase(address.substr(0, 5), "file:"))
        return std::string(address);
    return "http://" + std::string(address);
}

// True when a reference names a web address (with no scheme, or http or https).
bool IsWebReference(std::string_view value) {
    size_t colon = value.find(':');
    if (colon == std::string_view::npos) return true;
    if (value.substr(0, colon).find_first_of("/\\?#") != std::string_view::npos) return true;
    std::string scheme = Lowered(value.substr(0, colon));
    return scheme == "http" || scheme == "https";
}

std::string PathExtension(std::string_view address) {
    size_t cut = address.find_first_of("?#");
    if (cut != std::string_view::npos) address = address.substr(0, cut);
    size_t slash = address.rfind('/');
    size_t dot = address.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string ext = Lowered(address.substr(dot + 1));
    if (ext.empty() || ext.size() > 5) return {};
    for (char c : ext)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return {};
    return ext;
}

// The extension a response's declared type gives, for addresses that name none.
std::string TypeExtension(std::string_view response) {
    size_t headerEnd = FindHeaderEnd(response);
    if (headerEnd == std::string_view::npos) return {};
    std::string header = Lowered(response.substr(0, headerEnd));
    size_t at = header.find("\ncontent-type:");
    if (at == std::string::npos) return {};
    size_t end = header.find_first_of(";\r\n", at + 14);
    std::string_view type = Trimmed(std::string_view(header).substr(at + 14, end - at - 14));
    static const std::pair<std::string_view, std::string_view> kTypes[] = {
        {"text/css", "css"},
        {"text/javascript", "js"},
        {"application/javascript", "js"},
        {"image/png", "png"},
        {"image/jpeg", "jpg"},
        {"image/gif", "gif"},
        {"image/svg+xml", "svg"},
        {"image/webp", "webp"},
        {"image/avif", "avif"},
        {"image/x-icon", "ico"},
        {"image/vnd.microsoft.icon", "ico"},
        {"font/woff2", "woff2"},
        {"font/woff", "woff"},
        {"font/ttf", "ttf"},
        {"font/otf", "otf"},
        {"video/mp4", "mp4"},
        {"video/webm", "webm"},
        {"audio/mpeg", "mp3"},
        {"audio/ogg", "ogg"}};
    for (const auto& [name, ext] : kTypes)
        if (type == name) return std::string(ext);
    return {};
}

std::string_view BodyOf(const TResponseBuffer& buffer) {
    std::string_view bytes(buffer.Bytes());
    if (!bytes.empty() && bytes.back() == '\0') bytes.remove_suffix(1);
    if (buffer.HasHeader()) {
        size_t end = FindHeaderEnd(bytes);
        if (end != std::string_view::npos) bytes.remove_prefix(end);
    }
    return bytes;
}

void WriteStylesheet(TRunContext& run, std::string_view name, std::string_view css) {
    RequireFreeSpace(run);
    if (!CatalogName(run.Catalog, name)) return;
    TOutputFile file(InFolder(run.BriefFolder, name));
    for (size_t pos = 0; pos < css.size(); pos += kScanWindow)
        file.Write(css.substr(pos, std::min(kScanWindow, css.size() - pos)));
    file.Close();
}

// The local name a reference was replaced with, without its fragment; empty for an address.
std::string_view LocalNameOf(std::string_view replaced) {
    if (replaced.find("://") != std::string_view::npos) return {};
    return replaced.substr(0, replaced.find('#'));
}

// Rewrites a stylesheet's text for `page`, noting in `pictures` whether the copy depends on the
// page's images setting: a picture it names is local or on the web by that setting, and so is
// anything in a stylesheet it imports that depends on it.
std::string RewriteStylesheet(TPageContext& page, std::string_view css, const std::string& address,
                              int importDepth, bool& pictures) {
    TRunContext& run = *page.Run;
    return RewriteCss(css, [&](std::string_view ref, CssReferenceKind k) {
        ResourceKind as = k == CssReferenceKind::Import ? ResourceKind::Stylesheet
                          : k == CssReferenceKind::Font ? ResourceKind::Font
                                                        : ResourceKind::Image;
        std::optional<std::string> replaced =
            ResourceReference(page, address, ref, as, importDepth + 1);
        if (replaced && as == ResourceKind::Image) pictures = true;
        // A stylesheet still being written (one that imports itself) counts as depending.
        if (replaced && as == ResourceKind::Stylesheet &&
            run.PictureStylesheets.count(std::string(LocalNameOf(*replaced))) > 0)
            pictures = true;
        return replaced;
    });
}

// Fetches and stores one resource, registered under `key`; its local name, or nothing when it
// could not be fetched.
std::optional<std::string> FetchResource(TPageContext& page, const std::string& address,
                                         const std::string& key, ResourceKind kind,
                                         int importDepth) {
    TRunContext& run = *page.Run;
    std::string fetchAddress = address;
    TResponseBuffer buffer;
    // A stylesheet is rewritten, so held whatever type its server gives it.
    buffer.SetSpoolsFiles(kind != ResourceKind::Stylesheet);
    TFetchResult fetched = FetchInTurn(PageFetchRequest(page, fetchAddress), buffer, run);
    fetchAddress = fetched.Address;
    if (run.Host != nullptr) run.Host->SetStatusText(" Gathra Light");
    if (fetched.Result == 0 || !fetched.IsContent) return std::nullopt;

    std::string ext = kind == ResourceKind::Stylesheet ? "css"
                      : kind == ResourceKind::Script   ? "js"
                                                       : PathExtension(fetchAddress);
    if (ext.empty()) ext = TypeExtension(buffer.Bytes());
    std::string name = NewResourceName(CountersOf(run), run.BriefFolder, ext);
    if (name == kNoFreeName) return std::nullopt;
    // Named before its own references are followed, so that a stylesheet that imports itself
    // (or one that imports it) points at this copy instead of fetching it again.
    run.PageResources[key] = name;
    ++run.ImagesCount;
    run.TotalBytes += static_cast<std::int64_t>(buffer.ResponseSize());
    ShowRunCounts(run);
    if (kind == ResourceKind::Stylesheet) {
        // Depending until its text shows otherwise.
        run.PictureStylesheets[name] = page.LoadImages;
        bool pictures = false;
        std::string css =
            RewriteStylesheet(page, BodyOf(buffer), fetchAddress, importDepth, pictures);
        if (!pictures) run.PictureStylesheets.erase(name);
        buffer.Clear();
        WriteStylesheet(run, name, css);
    } else {
        StoreBody(run, buffer, name);
    }
    return name;
}

// Lists the fetch FetchResource would make. What a stylesheet names is fetched as it is rewritten
// and may make a later reference of the page one already stored: nothing after a stylesheet is
// certain.
void PlanResource(TPageContext& page, const std::string& address, ResourceKind kind) {
    TFetchPlan& plan = *page.Plan;
    plan.Partial = plan.Partial || plan.Ahead;
    if (plan.AfterStylesheet || plan.Ahead) return;
    plan.Add(address, kind != ResourceKind::Stylesheet,
             [&] { return PageFetchRequest(page, address); });
    plan.AfterStylesheet = kind == ResourceKind::Stylesheet;
}

// The attributes of a tag that name resources, with their kinds.
struct ResourceAttribute {
    const TagAttribute* Attribute;
    ResourceKind Kind;
    bool Srcset;
};

std::vector<ResourceAttribute> ResourceAttributes(std::string_view tag,
                                                  const std::vector<TagAttribute>& attributes) {
    std::vector<ResourceAttribute> found;
    auto add = [&](std::string_view name, ResourceKind kind, bool srcset = false) {
        if (const TagAttribute* a = FindNamed(attributes, name); a && a->HasValue())
            found.push_back({a, kind, srcset});
    };
    if (MatchesName(tag, 1, "link")) {
        const TagAttribute* rel = FindNamed(attributes, "rel");
        std::string rels = " " + Lowered(rel ? ValueOf(tag, *rel) : "") + " ";
        for (char& c : rels)
            if (IsWhite(c)) c = ' ';
        if (rels.find(" stylesheet ") != std::string::npos)
            add("href", ResourceKind::Stylesheet);
        else if (rels.find(" icon ") != std::string::npos ||
                 rels.find(" apple-touch-icon ") != std::string::npos)
            add("href", ResourceKind::Image);
    } else if (MatchesName(tag, 1, "script")) {
        add("src", ResourceKind::Script);
    } else if (MatchesName(tag, 1, "source")) {
        add("src", ResourceKind::Media);
        add("srcset", ResourceKind::Image, true);
    } else if (MatchesName(tag, 1, "video")) {
        add("src", ResourceKind::Media);
        add("poster", ResourceKind::Image);
    } else if (MatchesName(tag, 1, "audio")) {
        add("src", ResourceKind::Media);
    } else if (MatchesName(tag, 1, "input")) {
        const TagAttribute* type = FindNamed(attributes, "type");
        if (type != nullptr && EqualsNoCase(Trimmed(ValueOf(tag, *type)), "image"))
            add("src", ResourceKind::Image);
    }
    return found;
}

bool NameEnds(std::string_view tag, size_t at) {
    return at >= tag.size() || IsWhite(tag[at]) || tag[at] == '>' || tag[at] == '/';
}

bool IsTagNamed(std::string_view tag, std::string_view name) {
    return tag.size() > name.size() && MatchesName(tag, 1, name) && NameEnds(tag, name.size() + 1);
}

} // namespace

bool KeepsPageResources(const TPageContext& page) {
    return page.Run != nullptr && page.Run->Settings != nullptr &&
           page.Run->Settings->KeepPageResources && page.IsContent;
}

std::optional<std::string> ResourceReference(TPageContext& page, std::string_view base,
                                             std::string_view rawValue, ResourceKind kind,
                                             int importDepth) {
    std::string value = DecodeAmpersands(Trimmed(rawValue));
    if (value.empty() || value[0] == '#' || !IsWebReference(value)) return std::nullopt;
    std::string resolved = ResolveLink(base, value);
    std::string fragment;
    if (size_t hash = resolved.find('#'); hash != std::string::npos) {
        fragment = resolved.substr(hash);
        resolved.resize(hash);
    }
    std::string absolute = AbsoluteAddress(resolved) + fragment;
    if (kind == ResourceKind::Image && !page.LoadImages) return absolute;
    if (kind == ResourceKind::Media && !page.LoadBinaries) return absolute;
    TRunContext& run = *page.Run;
    std::string key = resolved;
    auto known = run.PageResources.find(key);
    // A stylesheet made for the other images setting is not this page's: it has a copy of its own.
    if (known != run.PageResources.end() && kind == ResourceKind::Stylesheet) {
        auto made = run.PictureStylesheets.find(known->second);
        if (made != run.PictureStylesheets.end() && made->second != page.LoadImages) {
            key.insert(key.begin(), TRunContext::kOtherPicturesKey);
            known = run.PageResources.find(key);
        }
    }
    if (known != run.PageResources.end())
        return known->second.empty() ? absolute : known->second + fragment;
    // A picture the page's image tags already stored during this entry is not stored twice.
    if (kind == ResourceKind::Image && run.PageTable != nullptr) {
        const PageRecord* image = run.PageTable->Find(resolved);
        if (image != nullptr && image->Loaded == 1 && image->Toc == nullptr)
            return std::string(image->LocalName()).append(fragment);
    }
    if (run.SkipOrAbort()) return absolute;
    if (kind == ResourceKind::Stylesheet && importDepth > kMaxImportDepth) return absolute;
    if (page.Plan != nullptr) {
        PlanResource(page, resolved, kind);
        return absolute;
    }
    std::optional<std::string> name = FetchResource(page, resolved, key, kind, importDepth);
    if (!name) {
        run.PageResources[key] = std::string();
        ++run.PageResourcesFailed;
        return absolute;
    }
    return *name + fragment;
}

ResourceTag ClassifyResourceTag(std::string_view tag) {
    if (tag.size() < 3) return ResourceTag::None;
    if (IsTagNamed(tag, "link")) return ResourceTag::Link;
    if (IsTagNamed(tag, "script")) return ResourceTag::Script;
    if (IsTagNamed(tag, "iframe")) return ResourceTag::IFrame;
    if (IsTagNamed(tag, "style")) return ResourceTag::Style;
    if (IsTagNamed(tag, "source") || IsTagNamed(tag, "video") || IsTagNamed(tag, "audio") ||
        IsTagNamed(tag, "input"))
        return ResourceTag::Media;
    if (tag[1] != '/' && tag[1] != '!' && ContainsNoCase(tag, "url(") &&
        ContainsNoCase(tag, "style"))
        return ResourceTag::Styled;
    return ResourceTag::None;
}

bool IsPageResourceAttribute(std::string_view tag, std::string_view attribute) {
    if (EqualsNoCase(attribute, "srcset")) return true;
    const ResourceTag kind = ClassifyResourceTag(tag);
    if (kind == ResourceTag::IFrame) return EqualsNoCase(attribute, "src");
    if (kind != ResourceTag::Link && kind != ResourceTag::Script && kind != ResourceTag::Media)
        return false;
    const std::vector<TagAttribute> attributes = ParseAttributes(tag);
    for (const ResourceAttribute& r : ResourceAttributes(tag, attributes))
        if (EqualsNoCase(r.Attribute->Name, attribute)) return true;
    return false;
}

std::string RewriteResourceTag(TPageContext& page, std::string_view tag, ResourceTag kind) {
    (void)kind;
    std::vector<TagAttribute> attributes = ParseAttributes(tag);
    std::vector<ResourceAttribute> resources = ResourceAttributes(tag, attributes);
    const TagAttribute* style = FindNamed(attributes, "style");
    if (style != nullptr && !ContainsNoCase(ValueOf(tag, *style), "url(")) style = nullptr;

    // Each replacement: the value's range and its new text.
    struct Replacement {
        size_t Start, End;
        std::string Text;
    };
    std::vector<Replacement> replacements;
    bool madeLocal = false;
    for (const ResourceAttribute& r : resources) {
        std::string_view value = ValueOf(tag, *r.Attribute);
        std::string text;
        if (r.Srcset) {
            text = RewriteSrcset(page, value, r.Kind);
        } else {
            std::optional<std::string> replaced =
                ResourceReference(page, page.BaseAddress, value, r.Kind);
            if (!replaced) continue;
            text = *replaced;
            if (text.find("://") == std::string::npos) madeLocal = true;
        }
        replacements.push_back({r.Attribute->ValueStart, r.Attribute->ValueEnd, std::move(text)});
    }
    if (style != nullptr) {
        std::string css = RewriteStyleBlock(page, DecodeStyleAttribute(ValueOf(tag, *style)));
        replacements.push_back(
            {style->ValueStart, style->ValueEnd, EncodeStyleAttribute(css, style->Quote)});
    }
    // A local copy is read from disk: a check of its hash or of its origin would refuse it.
    if (madeLocal) {
        for (const TagAttribute& a : attributes)
            if (EqualsNoCase(a.Name, "integrity") || EqualsNoCase(a.Name, "crossorigin"))
                replacements.push_back({a.Start, a.End, std::string()});
    }
    std::sort(replacements.begin(), replacements.end(),
              [](const Replacement& a, const Replacement& b) { return a.Start < b.Start; });
    std::string out;
    out.reserve(tag.size() + 32);
    size_t pos = 0;
    for (const Replacement& r : replacements) {
        if (r.Start < pos) continue;
        out.append(tag.substr(pos, r.Start - pos));
        out += r.Text;
        pos = r.End;
    }
    out.append(tag.substr(pos));
    return out;
}

std::string RewriteSrcset(TPageContext& page, std::string_view srcset, ResourceKind kind) {
    std::string out;
    out.reserve(srcset.size() + 16);
    size_t i = 0;
    const size_t n = srcset.size();
    while (i < n) {
        while (i < n && (IsWhite(srcset[i]) || srcset[i] == ','))
            out += srcset[i++];
        if (i >= n) break;
        size_t start = i;
        while (i < n && !IsWhite(srcset[i]))
            ++i;
        size_t end = i;
        // Commas that end the address separate candidates rather than belong to it.
        while (end > start && srcset[end - 1] == ',')
            --end;
        std::string_view address = srcset.substr(start, end - start);
        std::optional<std::string> replaced =
            ResourceReference(page, page.BaseAddress, address, kind);
        out += replaced ? *replaced : std::string(address);
        out.append(srcset.substr(end, i - end));
        if (end < i) continue; // the candidate had no descriptors
        // The descriptors run to the next comma outside parentheses.
        int depth = 0;
        while (i < n) {
            char c = srcset[i];
            if (c == '(') ++depth;
            if (c == ')' && depth > 0) --depth;
            out += c;
            ++i;
            if (c == ',' && depth == 0) break;
        }
    }
    return out;
}

std::string RewriteStyleBlock(TPageContext& page, std::string_view css) {
    const std::string base = page.BaseAddress;
    return RewriteCss(css, [&](std::string_view ref, CssReferenceKind k) {
        ResourceKind as = k == CssReferenceKind::Import ? ResourceKind::Stylesheet
                          : k == CssReferenceKind::Font ? ResourceKind::Font
                                                        : ResourceKind::Image;
        return ResourceReference(page, base, ref, as, 0);
    });
}

size_t StyleBlockEnd(std::string_view text, size_t from) {
    for (size_t at = text.find('<', from); at != std::string_view::npos;
         at = text.find('<', at + 1))
        if (MatchesName(text, at + 1, "/style")) return at;
    return text.size();
}

} // namespace gathra
