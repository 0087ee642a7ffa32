#include "Run/RunCheck.h"

#include "Html/CssRewriter.h"
#include "Html/HtmlScanner.h"
#include "Html/TagAttributes.h"
#include "Platform/WholeFile.h"
#include "Run/PageResources.h"
#include "Text/AsciiText.h"

#include <algorithm>
#include <map>
#include <set>

namespace gathra {

namespace {

namespace fs = std::filesystem;

std::optional<std::string> ReadWhole(const fs::path& path) {
    WholeFile file = ReadWholeFile(path.string());
    if (!file.Ok()) return std::nullopt;
    return std::move(file.Bytes);
}

std::string PercentDecoded(std::string_view text) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A name the run gives what it stores: "GA" or "GAI", digits, "." and an extension.
bool IsRunFileName(std::string_view name) {
    size_t i = name.starts_with("GAI") ? 3 : name.starts_with("GA") ? 2 : 0;
    if (i == 0 || i >= name.size() || name[i] < '0' || name[i] > '9') return false;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9')
        ++i;
    return i + 1 < name.size() && name[i] == '.' &&
           name.find_first_of("/\\", i) == std::string_view::npos;
}

bool IsHtmlName(std::string_view name) {
    std::string lower = Lowered(name);
    return lower.ends_with(".htm") || lower.ends_with(".html");
}

// Skips the text of a script or style block: the offset of its closing tag's "<".
size_t BlockEnd(std::string_view page, size_t from, std::string_view closeName) {
    for (size_t at = page.find('<', from); at != std::string_view::npos;
         at = page.find('<', at + 1))
        if (MatchesName(page, at + 1, closeName)) return at;
    return page.size();
}

class Checker {
public:
    explicit Checker(fs::path folder) : folder_(std::move(folder)) {}

    void CheckPage(const std::string& name, std::string_view page) {
        ++result_.Pages;
        size_t i = 0;
        while ((i = page.find('<', i)) != std::string_view::npos) {
            if (page.substr(i, 4) == "<!--") {
                size_t close = page.find("-->", i + 4);
                i = close == std::string_view::npos ? page.size() : close + 3;
                continue;
            }
            size_t gt = page.find('>', i + 1);
            if (gt == std::string_view::npos) break;
            std::string_view tag = page.substr(i, gt - i + 1);
            i = gt + 1;
            if (tag.size() < 3 ||
                !((tag[1] >= 'a' && tag[1] <= 'z') || (tag[1] >= 'A' && tag[1] <= 'Z')))
                continue;
            CheckTag(name, tag);
            if (MatchesName(tag, 1, "script")) {
                i = BlockEnd(page, i, "/script");
            } else if (MatchesName(tag, 1, "style")) {
                size_t end = BlockEnd(page, i, "/style");
                CheckCss(name, page.substr(i, end - i), true);
                i = end;
            }
        }
    }

    void CheckStylesheet(const std::string& name, std::string_view css) {
        ++result_.Stylesheets;
        CheckCss(name, css, false);
    }

    TRunCheck Result() { return std::move(result_); }

private:
    void CheckTag(const std::string& file, std::string_view tag) {
        std::vector<TagAttribute> attributes = ParseAttributes(tag);
        for (const TagAttribute& a : attributes) {
            if (!a.HasValue()) continue;
            std::string name = Lowered(a.Name);
            std::string_view value = ValueOf(tag, a);
            if (name == "href" || name == "src" || name == "poster" || name == "background") {
                CheckReference(file, value, name, IsPageResourceAttribute(tag, name));
            } else if (name == "srcset") {
                CheckSrcset(file, value);
            } else if (name == "style") {
                CheckCss(file, value, true);
            }
        }
    }

    void CheckSrcset(const std::string& file, std::string_view srcset) {
        size_t i = 0;
        while (i < srcset.size()) {
            while (i < srcset.size() && (IsWhite(srcset[i]) || srcset[i] == ','))
                ++i;
            size_t start = i;
            while (i < srcset.size() && !IsWhite(srcset[i]))
                ++i;
            size_t end = i;
            while (end > start && srcset[end - 1] == ',')
                --end;
            if (end > start)
                CheckReference(file, srcset.substr(start, end - start), "srcset", true);
            if (end < i) continue;
            while (i < srcset.size() && srcset[i] != ',')
                ++i;
        }
    }

    // `ofPage`: a style block or attribute of a page, whose references are page resources.
    void CheckCss(const std::string& file, std::string_view css, bool ofPage) {
        RewriteCss(css, [&](std::string_view address, CssReferenceKind kind) {
            CheckReference(file, address, kind == CssReferenceKind::Import ? "@import" : "url()",
                           ofPage);
            return std::optional<std::string>();
        });
    }

    void CheckReference(const std::string& file, std::string_view raw, const std::string& where,
                        bool resource) {
        std::string_view value = Trimmed(raw);
        if (value.empty() || value.front() == '/' || value.front() == '\\') return;
        size_t colon = value.find(':');
        if (colon != std::string_view::npos &&
            value.substr(0, colon).find_first_of("/?#") == std::string_view::npos)
            return; // a scheme: not a file of the run
        size_t hash = value.find('#');
        std::string_view path = value.substr(0, std::min(value.find('?'), hash));
        std::string fragment =
            hash == std::string_view::npos ? std::string() : std::string(value.substr(hash + 1));
        ++result_.References;
        std::string target = path.empty() ? file : PercentDecoded(path);
        if (!path.empty()) {
            std::error_code ec;
            if (!fs::is_regular_file(folder_ / target, ec)) {
                // A run that keeps page resources names every one it stored with a name of its
                // own and leaves the others at their web addresses.
                if (resource && !IsRunFileName(target))
                    result_.NotKept.push_back({file, std::string(value), where, kNotKeptProblem});
                else
                    result_.Broken.push_back({file, std::string(value), where, "missing file"});
                return;
            }
        }
        if (fragment.empty() || Lowered(fragment) == "top" || !IsHtmlName(target)) return;
        const std::set<std::string>& targets = TargetsOf(target);
        if (targets.count(fragment) == 0 && targets.count(PercentDecoded(fragment)) == 0)
            result_.Broken.push_back({file, std::string(value), where, "missing target"});
    }

    // The ids and names of a stored page, read once.
    const std::set<std::string>& TargetsOf(const std::string& page) {
        auto known = targets_.find(page);
        if (known != targets_.end()) return known->second;
        std::set<std::string>& found = targets_[page];
        std::optional<std::string> text = ReadWhole(folder_ / page);
        if (!text) return found;
        std::string_view html = *text;
        for (size_t i = html.find('<'); i != std::string_view::npos; i = html.find('<', i + 1)) {
            size_t gt = html.find('>', i + 1);
            if (gt == std::string_view::npos) break;
            std::string_view tag = html.substr(i, gt - i + 1);
            for (const TagAttribute& a : ParseAttributes(tag))
                if (a.HasValue() && (EqualsNoCase(a.Name, "id") || EqualsNoCase(a.Name, "name")))
                    found.insert(std::string(ValueOf(tag, a)));
        }
        return found;
    }

    fs::path folder_;
    TRunCheck result_;
    std::map<std::string, std::set<std::string>> targets_;
};

} // namespace

std::optional<TRunCheck> CheckRunFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) names.push_back(it->path().filename().string());
    if (ec) return std::nullopt;
    std::sort(names.begin(), names.end());
    Checker checker(folder);
    for (const std::string& name : names) {
        bool page = IsHtmlName(name);
        bool stylesheet = Lowered(name).ends_with(".css");
        if (!page && !stylesheet) continue;
        std::optional<std::string> text = ReadWhole(folder / name);
        if (!text) continue;
        if (page)
            checker.CheckPage(name, *text);
        else
            checker.CheckStylesheet(name, *text);
    }
    return checker.Result();
}

} // namespace gathra
