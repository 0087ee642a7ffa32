#pragma once
#include <string>

namespace gathra {

// The two shared modal dialogs. The desktop program shows real dialogs, the command line writes
// "CAPTION: TEXT" to standard error, and tests record what was said.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows one message; `information` chooses the information icon instead of the error one.
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             bool information) = 0;
    // Shows a failure's message together with its cause as the system reported it ("No such
    // file or directory"; empty when there is none). The message stays the program's own text;
    // the cause goes beside it (a second line, the status bar).
    virtual void ShowFailure(const std::string& text, const std::string& caption,
                             const std::string& cause) {
        (void)cause;
        ShowMessage(text, caption, false);
    }
    // Asks a yes/no question: 0 for Yes, 1 for No (also when the dialog is closed).
    virtual int Ask(const std::string& text, const std::string& caption) = 0;
};

// Answers every question with No and forgets every message; for callers that must not block.
class SilentDialogs : public Dialogs {
public:
    void ShowMessage(const std::string&, const std::string&, bool) override {}
    int Ask(const std::string&, const std::string&) override { return 1; }
};

} // namespace gathra
