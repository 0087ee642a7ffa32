#include "Engine/NameFixups.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace gathra {

void TNameFixups::Remember(const TOutputFile& out, std::string_view name) {
    auto [at, added] =
        fileIndex_.try_emplace(out.Path(), static_cast<std::uint32_t>(files_.size()));
    if (added) files_.push_back(out.Path());
    references_[std::string(name)].push_back({at->second, out.Written()});
}

void TNameFixups::Rename(const std::string& from, const std::string& to) {
    renamed_[from] = to;
}

void TNameFixups::Apply() {
    struct Patch {
        std::uint64_t Offset;
        const std::string* Name;
    };
    std::vector<std::vector<Patch>> byFile(files_.size());
    for (const auto& [from, to] : renamed_) {
        if (to.size() != from.size()) continue;
        auto refs = references_.find(from);
        if (refs == references_.end()) continue;
        for (const Reference& ref : refs->second)
            byFile[ref.File].push_back({ref.Offset, &to});
    }
    for (size_t f = 0; f < files_.size(); ++f) {
        if (byFile[f].empty()) continue;
        std::FILE* file = std::fopen(files_[f].c_str(), "r+b");
        if (file == nullptr)
            throw TDiskError("cannot open " + files_[f] + ": " + std::strerror(errno));
        bool ok = true;
        for (const Patch& p : byFile[f]) {
            ok = ok && std::fseek(file, static_cast<long>(p.Offset), SEEK_SET) == 0 &&
                 std::fwrite(p.Name->data(), 1, p.Name->size(), file) == p.Name->size();
        }
        ok = std::fclose(file) == 0 && ok;
        if (!ok) throw TDiskError("cannot write " + files_[f]);
    }
    Clear();
}

void TNameFixups::Clear() {
    files_.clear();
    fileIndex_.clear();
    references_.clear();
    renamed_.clear();
}

std::string WithExtension(std::string_view name, std::string_view ext) {
    size_t dot = name.rfind('.');
    std::string result(name.substr(0, dot));
    result += '.';
    result += ext;
    return result;
}

} // namespace gathra
