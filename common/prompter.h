#pragma once
// Every message box and every free-form question goes through a Prompter.
// The Qt front end shows a message box or the input dialog; tests use
// ScriptedPrompter to answer and to read back what was shown.
#include <deque>
#include <string>
#include <vector>

namespace varenta {

enum class MsgIcon { None, Information, Warning, Critical, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry };

class Prompter {
public:
    virtual ~Prompter() = default;
    // A message box.  Title and text are UTF-8; two-line texts are joined by CR LF.
    virtual MsgAnswer message(const std::string& title, const std::string& text, MsgIcon icon,
                              MsgButtons buttons = MsgButtons::Ok) = 0;
    // A free-form question with a preset answer.  Returns the text entered,
    // or "can" when the user cancels.  countdownSeconds > 0 accepts the
    // preset by itself when the time runs out; checkText, when not empty,
    // shows a check box whose final state is written to *checked.
    virtual std::string ask(const std::string& title, const std::string& prompt, const std::string& preset,
                            int countdownSeconds = 0, const std::string& checkText = {}, bool* checked = nullptr) = 0;
};

// What a ScriptedPrompter was shown.
struct PromptRecord {
    bool question = false;
    std::string title;
    std::string text;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    std::string preset;
};

// Answers from a script; when the script runs out, message boxes get their
// default (Ok / Yes / Retry) and questions their preset.
class ScriptedPrompter final : public Prompter {
public:
    std::deque<MsgAnswer> answers;
    std::deque<std::string> replies;
    std::vector<PromptRecord> shown;

    MsgAnswer message(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons) override
    {
        shown.push_back({false, title, text, icon, buttons, {}});
        if (!answers.empty()) {
            MsgAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        switch (buttons) {
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel: return MsgAnswer::Yes;
        case MsgButtons::RetryCancel: return MsgAnswer::Retry;
        default: return MsgAnswer::Ok;
        }
    }

    std::string ask(const std::string& title, const std::string& prompt, const std::string& preset, int,
                    const std::string&, bool*) override
    {
        shown.push_back({true, title, prompt, MsgIcon::Question, MsgButtons::OkCancel, preset});
        if (!replies.empty()) {
            std::string r = replies.front();
            replies.pop_front();
            return r;
        }
        return preset;
    }
};

}  // namespace varenta
