#include "App/gathra/CliDialogs.h"

namespace gathra {

void CliDialogs::ShowMessage(const std::string& text, const std::string& caption, bool) {
    err_ << caption << ": " << text << "\n";
    ++said_;
}

void CliDialogs::ShowFailure(const std::string& text, const std::string& caption,
                             const std::string& cause) {
    ShowMessage(text, caption, false);
    if (!cause.empty()) err_ << cause << "\n";
}

int CliDialogs::Ask(const std::string& text, const std::string& caption) {
    err_ << caption << ": " << text << "\n";
    ++said_;
    return 1;
}

} // namespace gathra
