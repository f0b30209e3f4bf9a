#pragma once
// Scripted runs: the lines of a script file, and the prompter that answers
// the program's questions and message boxes from the script and echoes
// everything shown to a line sink.
#include "common/prompter.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace varenta {

enum class ScriptOp {
    Command,       // a command by its objectName ("Mtext", "Form2.Command1_0")
    Answer,        // the next question returns text
    AnswerChecked, // ... with its check box ticked
    Cancel,        // the next question returns "can"
    Yes,
    No,
    Ok,            // the next message box is answered with that button
    Open,          // open a master file by path
    Set,           // one settings value in memory: item, value, text
    SetText,       // a control's text: object, text
    Check,         // a check box: object, 0 or 1
    Wait,          // let the event loop run ms milliseconds
    WaitIdle,      // until the program is idle (10-minute limit)
    Quit,          // close the main window without the exit warning
};

struct ScriptLine {
    int number = 0;  // 1-based line of the file
    ScriptOp op = ScriptOp::Command;
    std::string name;  // command or object name
    std::string text;  // answer, path, settings text or control text
    int item = 0;
    int value = 0;
    long long ms = 0;
};

struct ScriptError {
    int line = 0;
    std::string what;
};

// Parses one line (already without its line end).  Blank lines and lines
// starting with '#' give std::nullopt with no error.
std::optional<ScriptLine> parseScriptLine(const std::string& raw, int number, ScriptError* error);

// Reads a whole script (UTF-8, LF or CR LF).  False with the first error.
bool parseScript(const std::string& text, std::vector<ScriptLine>& lines, ScriptError& error);
bool readScriptFile(const std::string& path, std::vector<ScriptLine>& lines, ScriptError& error);

// The "script error: N: ..." line.
std::string scriptErrorText(const ScriptError& e);

// One line of the echo for message boxes, questions and status texts; line
// ends inside a text become a single blank so that every echo is one line.
std::string echoLine(const std::string& kind, const std::vector<std::string>& fields);

const char* answerName(MsgAnswer a);

// The prompter of a scripted run: questions take the queued answer, else
// their preset (a count-down question's default); message boxes take the
// queued button when the box offers it, else their default button.  Every
// box and question is echoed as "message: TITLE | TEXT | ANSWER" and
// "ask: CAPTION | PROMPT | ANSWER".
class ScriptPrompter final : public Prompter {
public:
    using Sink = std::function<void(const std::string& line)>;
    explicit ScriptPrompter(Sink sink) : sink_(std::move(sink)) {}

    void queueAnswer(std::string text, bool checked) { replies_.push_back({std::move(text), checked}); }
    void queueButton(MsgAnswer a) { buttons_.push_back(a); }
    std::size_t pendingAnswers() const { return replies_.size(); }
    std::size_t pendingButtons() const { return buttons_.size(); }

    MsgAnswer message(const std::string& title, const std::string& text, MsgIcon icon,
                      MsgButtons buttons = MsgButtons::Ok) override;
    std::string ask(const std::string& title, const std::string& prompt, const std::string& preset,
                    int countdownSeconds = 0, const std::string& checkText = {}, bool* checked = nullptr) override;
    InputResult input(const InputRequest& r) override;

    // The default button of a message box (Cancel for Yes/No/Cancel, as the
    // program's message boxes have it; the first button otherwise).
    static MsgAnswer defaultButton(MsgButtons b);
    static bool offers(MsgButtons b, MsgAnswer a);

private:
    struct Reply {
        std::string text;
        bool checked = false;
    };
    Sink sink_;
    std::deque<Reply> replies_;
    std::deque<MsgAnswer> buttons_;
};

}  // namespace varenta
