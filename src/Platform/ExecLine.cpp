#include "Platform/ExecLine.h"

#include <cstring>

namespace gathra {

std::vector<std::string> SplitExecLine(std::string_view line) {
    std::vector<std::string> args;
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) args.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size() &&
                    std::strchr("\"`$\\", line[i + 1]) != nullptr)
                    ++i;
                word += line[i];
            }
        } else if (c == '\'') {
            for (++i; i < line.size() && line[i] != '\''; ++i)
                word += line[i];
        } else if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
        } else {
            word += c;
        }
    }
    if (inWord) args.push_back(std::move(word));
    return args;
}

} // namespace gathra
