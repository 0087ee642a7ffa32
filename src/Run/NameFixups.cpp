#include "Run/NameFixups.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace gathra {

namespace {

std::uint32_t NameHash(std::string_view name) {
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : name) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

std::uint64_t ReferenceKey(std::uint64_t offset, std::string_view name) {
    return offset << 16 | std::min<std::uint64_t>(name.size(), 0xffff);
}

} // namespace

void TNameFixups::Remember(const TOutputFile& out, std::string_view name) {
    if (files_.empty() || files_.back() != out.Path()) files_.push_back(out.Path());
    references_.push_back({ReferenceKey(out.Written(), name),
                           static_cast<std::uint32_t>(files_.size() - 1), NameHash(name)});
}

void TNameFixups::Rename(const std::string& from, const std::string& to) {
    renamed_[from] = to;
}

namespace {

struct Patch {
    std::uint64_t Offset;
    const std::string* From;
    const std::string* To;
};

bool ReadWhole(int fd, std::string& bytes) {
    char block[64 * 1024];
    for (;;) {
        ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        bytes.append(block, static_cast<size_t>(n));
    }
}

bool WriteAt(int fd, std::string_view bytes, std::uint64_t offset) {
    while (!bytes.empty()) {
        ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

// Writes every patch of one closed file. Names of the same length are written over the old ones;
// when a name changes its length the file is rewritten from the first patch on. A reference is
// patched only where the file still holds the old name.
bool PatchFile(const std::string& path, std::vector<Patch>& patches) {
    std::sort(patches.begin(), patches.end(),
              [](const Patch& a, const Patch& b) { return a.Offset < b.Offset; });
    int fd;
    do
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    std::string bytes;
    bool ok = ReadWhole(fd, bytes);
    std::string rewritten;
    std::uint64_t copied = patches.front().Offset; // bytes before it stay as they are
    bool sameLength = true;
    for (const Patch& p : patches) {
        if (p.Offset < copied || p.Offset > bytes.size() ||
            bytes.compare(p.Offset, p.From->size(), *p.From) != 0)
            continue;
        rewritten.append(bytes, copied, p.Offset - copied);
        rewritten += *p.To;
        copied = p.Offset + p.From->size();
        sameLength = sameLength && p.To->size() == p.From->size();
    }
    rewritten.append(bytes, std::min<std::uint64_t>(copied, bytes.size()));
    const std::uint64_t from = patches.front().Offset;
    ok = ok && WriteAt(fd, rewritten, from);
    if (ok && !sameLength) ok = ::ftruncate(fd, static_cast<off_t>(from + rewritten.size())) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace

void TNameFixups::Apply() {
    // A name renamed twice ("GA5.c" to "GA5.txt" to "GA5.htm") ends where its last rename leads.
    auto finalName = [this](const std::string& name) -> const std::string* {
        const std::string* at = &name;
        for (size_t steps = 0; steps <= renamed_.size(); ++steps) {
            auto next = renamed_.find(*at);
            if (next == renamed_.end() || next->second == *at) break;
            at = &next->second;
        }
        return at;
    };
    // The renamed names by hash and length.
    std::unordered_multimap<std::uint64_t, std::pair<const std::string*, const std::string*>>
        renames;
    for (const auto& [from, to] : renamed_) {
        const std::string* target = finalName(from);
        if (*target == from) continue;
        renames.emplace(std::uint64_t{NameHash(from)} << 16 | ReferenceKey(0, from),
                        std::pair(&from, target));
    }
    // Every file's patches in one list, however often the file came back.
    std::unordered_map<std::string_view, std::uint32_t> firstIndex;
    std::vector<std::uint32_t> listOf(files_.size());
    for (size_t f = 0; f < files_.size(); ++f)
        listOf[f] = firstIndex.try_emplace(files_[f], static_cast<std::uint32_t>(f)).first->second;
    std::vector<std::vector<Patch>> byFile(files_.size());
    if (!renames.empty()) {
        for (const Reference& ref : references_) {
            auto [first, last] = renames.equal_range(std::uint64_t{ref.NameHash} << 16 |
                                                     (ref.OffsetAndLength & 0xffff));
            for (auto it = first; it != last; ++it)
                byFile[listOf[ref.File]].push_back(
                    {ref.OffsetAndLength >> 16, it->second.first, it->second.second});
        }
    }
    for (size_t f = 0; f < files_.size(); ++f) {
        if (byFile[f].empty()) continue;
        if (!PatchFile(files_[f], byFile[f]))
            throw TDiskError("cannot patch " + files_[f] + ": " + std::strerror(errno),
                             std::strerror(errno));
    }
    Clear();
}

void TNameFixups::Clear() {
    files_.clear();
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
