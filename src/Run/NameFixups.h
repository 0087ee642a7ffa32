#pragma once
#include "Platform/OutputFile.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace gathra {

// A link to a page that the spider has not fetched yet is written with the name reserved for it,
// whose extension is only a guess from the link. When the fetch shows that the guess was wrong (a
// notice stands where a file was expected, or plain text where a page was expected), the stored
// file takes a fitting name and the references written so far are patched: in place where the
// new name has the old one's length, else by rewriting the page from the first reference on.
class TNameFixups {
public:
    // Remembers that `name` is about to be written at the end of `out`.
    void Remember(const TOutputFile& out, std::string_view name);
    // The stored file of `from` is named `to` instead.
    void Rename(const std::string& from, const std::string& to);
    // Patches every remembered reference of a renamed name in files that are closed by now, and
    // forgets everything. Throws TDiskError when a file cannot be patched.
    void Apply();
    void Clear();

private:
    // A crawl writes many thousands of references and renames hardly any, so a reference keeps
    // no name of its own: a hash and the length of the name written there pick the candidates,
    // and the bytes at the offset decide.
    struct Reference {
        std::uint64_t
            OffsetAndLength; // offset in the file << 16 | the name's length (at most 0xffff)
        std::uint32_t File;  // index into files_
        std::uint32_t NameHash;
    };
    // The files written, in the order their references were remembered; a page's references
    // come one after another, so a file is added when it differs from the last one (the rare
    // file that comes back later is added again, and its lists are joined when patching).
    std::vector<std::string> files_;
    std::deque<Reference> references_;
    std::unordered_map<std::string, std::string> renamed_;
};

// The name of the same number with another extension: "GA5.pdf" and "htm" give "GA5.htm".
std::string WithExtension(std::string_view name, std::string_view ext);

} // namespace gathra
