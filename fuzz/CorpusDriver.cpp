// Runs a fuzz target's entry point over every file of its seed corpus without libFuzzer, so that
// the corpus (hand-written seeds and every input that once found a fault) is checked by an
// ordinary build and test run. A target signals a fault by aborting; this driver names the input
// that was running when that happened.
#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

// Set before each input; the fault handler may only use async-signal-safe calls.
char g_current[4096] = "";

void ReportFault(int signal) {
    const char prefix[] = "\nCorpusDriver: fault while running ";
    (void)!::write(2, prefix, sizeof prefix - 1);
    (void)!::write(2, g_current, std::strlen(g_current));
    (void)!::write(2, "\n", 1);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

std::vector<std::filesystem::path> CorpusFiles(const std::filesystem::path& root,
                                               std::error_code& error) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_regular_file(root, error)) {
        files.push_back(root);
        return files;
    }
    for (std::filesystem::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error))
        if (it->is_regular_file(error)) files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Usage: %s CORPUS_FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
    for (int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP})
        std::signal(signal, ReportFault);

    std::size_t inputs = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        const std::vector<std::filesystem::path> files = CorpusFiles(argv[i], error);
        if (error) {
            std::fprintf(stderr, "CorpusDriver: cannot read %s: %s\n", argv[i],
                         error.message().c_str());
            return 2;
        }
        for (const std::filesystem::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "CorpusDriver: cannot open %s\n", file.c_str());
                return 2;
            }
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
            std::snprintf(g_current, sizeof g_current, "%s", file.c_str());
            // A copy of exactly the input's size, so that a read past its end is a read past
            // the allocation (and visible to a sanitizer build).
            std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
            static const std::uint8_t empty = 0;
            LLVMFuzzerTestOneInput(input.empty() ? &empty : input.data(), input.size());
            ++inputs;
        }
    }
    // An empty corpus would pass while checking nothing.
    if (inputs == 0) {
        std::fprintf(stderr, "CorpusDriver: no corpus files found\n");
        return 1;
    }
    std::printf("CorpusDriver: %zu inputs ran without fault\n", inputs);
    return 0;
}
