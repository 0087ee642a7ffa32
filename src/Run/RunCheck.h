#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace gathra {

// A reference of a stored page or stylesheet that does not lead anywhere off-line.
struct TBrokenReference {
    std::string File;      // the page or stylesheet that holds it (a name in the run folder)
    std::string Reference; // as written there
    std::string Where;     // the attribute ("href", "src", "srcset", ...), "url()" or "@import"
    std::string Problem;   // "missing file" or "missing target"
};

inline constexpr const char* kNotKeptProblem = "not kept (setting off)";

struct TRunCheck {
    std::int64_t Pages = 0;
    std::int64_t Stylesheets = 0;
    std::int64_t References = 0; // local references looked at
    std::vector<TBrokenReference> Broken;
    // Page resources left as the page wrote them because the run did not keep page styles and
    // scripts (Problem kNotKeptProblem): not broken by the run, listed apart.
    std::vector<TBrokenReference> NotKept;
};

// Reads every stored page (".htm", ".html") and stylesheet (".css") of a run folder and lists
// each local reference (href, src, srcset candidate, poster, background, url() and @import, in
// pages, style blocks, style attributes and stylesheets) whose file is missing, and each
// fragment whose target id or name is missing in a stored target page. References with a scheme
// or a path from the root (the program's own pictures) are not local. A missing file named by a
// page resource reference of a page (a stylesheet link, a script, a srcset, a style's url(), an
// inline frame...) that is not one of the run's own names was never fetched: the run did not
// keep page resources, and the reference is listed as not kept instead of broken. Only reads;
// nothing when the folder cannot be listed.
std::optional<TRunCheck> CheckRunFolder(const std::filesystem::path& folder);

} // namespace gathra
