#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace gathra {

// What a stylesheet names: another stylesheet (@import), a font (inside @font-face, or a font
// file by its extension) or a picture (everything else).
enum class CssReferenceKind { Import, Font, Image };

// Answers the address that replaces `address` (as the stylesheet wrote it, CSS escapes undone),
// or nothing to keep the reference exactly as written.
using CssReferenceMap =
    std::function<std::optional<std::string>(std::string_view address, CssReferenceKind kind)>;

// Copies `css` with every url(...) and every @import address replaced as `map` answers. A
// replaced reference is written in the unquoted url() form with CSS escapes, which is safe in a
// stylesheet, a style block and a quoted style attribute alike. Comments and strings other than
// @import addresses are copied as they stand. Linear in the size of the text.
std::string RewriteCss(std::string_view css, const CssReferenceMap& map);

// Undoes CSS escapes: a backslash and one to six hex digits (and one white space after them)
// give that character in UTF-8, a backslash before a line break gives nothing, before any other
// byte that byte.
std::string UnescapeCss(std::string_view text);

} // namespace gathra
