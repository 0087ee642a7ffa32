#pragma once
#include "Platform/Dialogs.h"

#include <ostream>

namespace gathra {

// The Dialogs port of the command line: every message and question is written to standard error
// as "CAPTION: TEXT". Nobody is there to answer, so every question is answered No.
class CliDialogs : public Dialogs {
public:
    explicit CliDialogs(std::ostream& err) : err_(err) {}

    void ShowMessage(const std::string& text, const std::string& caption, bool) override;
    // The cause on a line of its own under the message.
    void ShowFailure(const std::string& text, const std::string& caption,
                     const std::string& cause) override;
    int Ask(const std::string& text, const std::string& caption) override;

    // How many messages and questions have been written so far.
    int Said() const { return said_; }

private:
    std::ostream& err_;
    int said_ = 0;
};

} // namespace gathra
