#include "Engine/OutputFile.h"

#include <cerrno>
#include <cstring>

namespace gathra {

std::string PosixPath(std::string_view path) {
    std::string p(path);
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

TOutputFile::~TOutputFile() {
    if (file_ != nullptr) std::fclose(file_);
}

void TOutputFile::Open(const std::string& path) {
    if (file_ != nullptr) Close();
    path_ = PosixPath(path);
    file_ = std::fopen(path_.c_str(), "wb");
    if (file_ == nullptr) throw TDiskError("cannot create " + path_ + ": " + std::strerror(errno));
}

void TOutputFile::Write(std::string_view bytes) {
    if (file_ == nullptr) throw TDiskError("write to a closed file");
    if (bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        throw TDiskError("cannot write " + path_ + ": " + std::strerror(errno));
}

void TOutputFile::Close() {
    if (file_ == nullptr) return;
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0)
        throw TDiskError("cannot close " + path_ + ": " + std::strerror(errno));
}

} // namespace gathra
