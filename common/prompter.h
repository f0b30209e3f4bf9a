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

// A full request for the input dialog: style bits, an optional drop-down
// list under the input box.
struct InputRequest {
    static constexpr int ShowInput = 0x01;    // input box with the preset
    static constexpr int ShowCheck = 0x02;    // check box with checkCaption
    static constexpr int CheckTicked = 0x04;  // the check box starts ticked
    static constexpr int RedMessage = 0x08;   // message in red
    std::string caption;
    std::string message;
    int style = ShowInput;
    std::string preset;
    std::string checkCaption;
    int countdown = 0;                 // seconds; 2 or more accepts by itself
    std::vector<std::string> choices;  // drop-down list of the input box
};

struct InputResult {
    std::string answer;  // trimmed input text, or "can" when cancelled
    std::string check;   // "1" when the check box was ticked, else "0"
    bool cancelled() const { return answer == "can"; }
};

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
    // The input dialog with every option.  The default goes through ask(),
    // so a prompter that only scripts answers handles it too.
    virtual InputResult input(const InputRequest& r)
    {
        bool checked = (r.style & InputRequest::CheckTicked) != 0;
        const bool withCheck = (r.style & InputRequest::ShowCheck) != 0;
        InputResult res;
        res.answer = ask(r.caption, r.message, r.preset, r.countdown, withCheck ? r.checkCaption : std::string{},
                         withCheck ? &checked : nullptr);
        res.check = (withCheck && checked) ? "1" : "0";
        return res;
    }
};

// A free-form question asked through a prompter's input dialog: the
// request of ask()'s arguments, the check box's final state written back.
// Prompters whose input() is the real dialog implement ask() with it.
inline std::string askThroughInput(Prompter& p, const std::string& title, const std::string& prompt,
                                   const std::string& preset, int countdownSeconds, const std::string& checkText,
                                   bool* checked)
{
    InputRequest r;
    r.caption = title;
    r.message = prompt;
    r.preset = preset;
    r.countdown = countdownSeconds;
    r.style = InputRequest::ShowInput;
    if (!checkText.empty()) {
        r.style |= InputRequest::ShowCheck;
        r.checkCaption = checkText;
        if (checked && *checked)
            r.style |= InputRequest::CheckTicked;
    }
    const InputResult res = p.input(r);
    if (checked && !checkText.empty())
        *checked = res.check == "1";
    return res.answer;
}

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
