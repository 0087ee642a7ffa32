#pragma once
#include "Platform/Dialogs.h"

#include <deque>
#include <string>
#include <vector>

namespace gathra::test {

// Records every message and question; answers questions from a queue (No when it is empty).
class RecordingDialogs : public Dialogs {
public:
    struct Said {
        std::string Text;
        std::string Caption;
        bool Information = false;
        bool Question = false;
        std::string Cause; // of a failure, as the system reported it
    };

    void ShowMessage(const std::string& text, const std::string& caption,
                     bool information) override {
        Log.push_back({text, caption, information, false, {}});
    }
    void ShowFailure(const std::string& text, const std::string& caption,
                     const std::string& cause) override {
        Log.push_back({text, caption, false, false, cause});
    }
    int Ask(const std::string& text, const std::string& caption) override {
        Log.push_back({text, caption, false, true, {}});
        if (Answers.empty()) return 1;
        int answer = Answers.front();
        Answers.pop_front();
        return answer;
    }

    std::vector<Said> Log;
    std::deque<int> Answers;
};

} // namespace gathra::test
