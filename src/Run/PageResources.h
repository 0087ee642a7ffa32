#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace gathra {

struct TPageContext;

// The files a page needs to look right off-line (its "page resources"): stylesheets, scripts,
// icons, picture sources, posters, fonts and pictures named by stylesheets. Each is fetched once
// per run whatever the entry's depth and whichever site it lies on, stored under a "GAI" name
// with its own extension and recorded in the catalogue; its links are never followed. One that
// cannot be fetched keeps its original absolute address (the copy still works on-line) and is
// counted in TRunContext::PageResourcesFailed; no notice page is written for it.
enum class ResourceKind {
    Stylesheet, // <link rel=stylesheet>, @import
    Script,     // <script src>
    Image,      // icons, srcset, posters, image inputs, pictures of stylesheets: the images flag
    Font,       // fonts of stylesheets: always
    Media,      // audio and video sources: the entry's other-files flag
};

// Stylesheets imported more deeply than this below a page keep their web address.
inline constexpr int kMaxImportDepth = 5;

// True when the run keeps page resources and the page is a real document (not a notice).
bool KeepsPageResources(const TPageContext& page);

// The text that replaces `value` (a reference found in the page or in a stylesheet whose address
// is `base`): the local name of the stored file (with the reference's fragment), or the original
// absolute address when the file is not stored. Nothing when the reference is to be kept exactly
// as written (empty, only a fragment, data: and other non-web schemes). `importDepth` counts the
// stylesheets above this one (0 for references of the page itself).
std::optional<std::string> ResourceReference(TPageContext& page, std::string_view base,
                                             std::string_view value, ResourceKind kind,
                                             int importDepth = 0);

// The resource tags of a page other than images and frames.
enum class ResourceTag {
    None,
    Link,   // <link rel=stylesheet|icon ...>
    Script, // <script src>
    Media,  // <source>, <video>, <audio>, <input type=image>
    Style,  // <style>: its block is a stylesheet
    Styled, // any other tag whose style attribute names a url()
    IFrame, // <iframe src>: stored like a frame's page by the rewriter
};

// How the rewriter treats `tag` (from its "<" through its ">").
ResourceTag ClassifyResourceTag(std::string_view tag);

// True when `attribute` of `tag` (from its "<" through its ">") names a page resource: the href
// of a stylesheet or icon link, the src of a script, of media and of an image input, a poster,
// an inline frame's src, any srcset. The rewriter replaces these only while the run keeps page
// resources; otherwise they stay as the page wrote them.
bool IsPageResourceAttribute(std::string_view tag, std::string_view attribute);

// The tag as it is stored: its resource references replaced (see ResourceReference), the
// integrity and crossorigin attributes of a reference made local left out (a file read from disk
// passes neither check), and a style attribute's url()s rewritten.
std::string RewriteResourceTag(TPageContext& page, std::string_view tag, ResourceTag kind);

// A srcset value with every candidate's address replaced and its descriptors kept.
std::string RewriteSrcset(TPageContext& page, std::string_view srcset, ResourceKind kind);

// The text of a <style> block, its url()s and @imports resolved against the page.
std::string RewriteStyleBlock(TPageContext& page, std::string_view css);

// The offset of the "</style" that closes a style block starting at `from`, else the end of
// `text`.
size_t StyleBlockEnd(std::string_view text, size_t from);

} // namespace gathra
