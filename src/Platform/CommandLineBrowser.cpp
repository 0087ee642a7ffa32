#include "Platform/CommandLineBrowser.h"

#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace gathra {

std::vector<std::string> CommandLineBrowser::CommandFor(const std::string& browserPath,
                                                        const std::string& address) {
    if (browserPath.empty()) return {"xdg-open", address};
    size_t marker = browserPath.find("%1");
    if (marker == std::string::npos) return {browserPath, address};
    // `PROGRAM "%1"`: the program is what stands before the blank ahead of the first argument;
    // a quoted program path keeps its blanks.
    std::vector<std::string> argv;
    std::string rest = browserPath;
    size_t pos = 0;
    while (pos < rest.size()) {
        while (pos < rest.size() && rest[pos] == ' ')
            ++pos;
        if (pos >= rest.size()) break;
        std::string word;
        if (rest[pos] == '"') {
            size_t end = rest.find('"', pos + 1);
            if (end == std::string::npos) end = rest.size();
            word = rest.substr(pos + 1, end - pos - 1);
            pos = end + 1;
        } else {
            size_t end = rest.find(' ', pos);
            if (end == std::string::npos) end = rest.size();
            word = rest.substr(pos, end - pos);
            pos = end;
        }
        size_t at = word.find("%1");
        if (at != std::string::npos) word.replace(at, 2, address);
        argv.push_back(word);
    }
    if (argv.empty()) return {"xdg-open", address};
    return argv;
}

bool SpawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) return false;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
    // Reap the child when it ends so that it leaves no zombie behind.
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return true;
}

void CommandLineBrowser::OpenUrl(const std::string& address, bool) {
    SpawnDetached(CommandFor(browserPath_, address));
}

} // namespace gathra
