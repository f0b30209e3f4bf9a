#include "common/script.h"

#include "common/settings.h"
#include "common/textfile.h"

#include <cerrno>
#include <cstdlib>
#include <map>

namespace varenta {

namespace {

// Splits off the first blank-separated word.
std::string firstWord(const std::string& s, std::string& rest)
{
    const std::size_t end = s.find_first_of(" \t");
    if (end == std::string::npos) {
        rest.clear();
        return s;
    }
    rest = trimBlanks(std::string_view(s).substr(end));
    return s.substr(0, end);
}

bool wholeNumber(const std::string& s, long long lo, long long hi, long long& out)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

// A command or object name: letters, digits, '_' and '.' separating a
// window from its control.
bool validName(const std::string& s)
{
    if (s.empty() || s.front() == '.' || s.back() == '.')
        return false;
    for (char c : s) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '.';
        if (!ok)
            return false;
    }
    return true;
}

}  // namespace

std::optional<ScriptLine> parseScriptLine(const std::string& raw, int number, ScriptError* error)
{
    auto fail = [&](std::string what) -> std::optional<ScriptLine> {
        if (error)
            *error = {number, std::move(what)};
        return std::nullopt;
    };
    if (error)
        *error = {};
    std::string s = raw;
    if (!s.empty() && s.back() == '\r')
        s.pop_back();
    s = trimBlanks(s);
    if (s.empty() || s.front() == '#')
        return std::nullopt;

    ScriptLine l;
    l.number = number;
    std::string rest;
    const std::string word = firstWord(s, rest);
    static const std::map<std::string, ScriptOp> bare = {
        {"cancel", ScriptOp::Cancel}, {"yes", ScriptOp::Yes},           {"no", ScriptOp::No},
        {"ok", ScriptOp::Ok},         {"wait-idle", ScriptOp::WaitIdle}, {"quit", ScriptOp::Quit},
    };
    if (const auto it = bare.find(word); it != bare.end()) {
        if (!rest.empty())
            return fail("'" + word + "' takes nothing after it");
        l.op = it->second;
        return l;
    }
    if (word == "answer" || word == "answer-checked") {
        l.op = word == "answer" ? ScriptOp::Answer : ScriptOp::AnswerChecked;
        l.text = rest;
        return l;
    }
    if (word == "open") {
        if (rest.empty())
            return fail("'open' needs a path");
        l.op = ScriptOp::Open;
        l.text = rest;
        return l;
    }
    if (word == "wait") {
        if (!wholeNumber(rest, 0, 24LL * 3600 * 1000, l.ms))
            return fail("'wait' needs a time in milliseconds, not '" + rest + "'");
        l.op = ScriptOp::Wait;
        return l;
    }
    if (word == "set") {
        std::string afterItem, afterValue;
        const std::string item = firstWord(rest, afterItem);
        const std::string value = firstWord(afterItem, afterValue);
        long long n = 0, k = 0;
        if (!wholeNumber(item, 0, kSettingsItems - 1, n) || !wholeNumber(value, 0, kSettingsValues - 1, k))
            return fail("'set' needs an item 0-199 and a value 0-7, then the text");
        l.op = ScriptOp::Set;
        l.item = static_cast<int>(n);
        l.value = static_cast<int>(k);
        l.text = afterValue;
        return l;
    }
    if (word == "set-text" || word == "check") {
        std::string text;
        const std::string object = firstWord(rest, text);
        if (!validName(object))
            return fail("'" + word + "' needs a control name");
        if (word == "check") {
            if (text != "0" && text != "1")
                return fail("'check' takes 0 or 1");
            l.op = ScriptOp::Check;
        } else {
            l.op = ScriptOp::SetText;
        }
        l.name = object;
        l.text = text;
        return l;
    }
    if (!rest.empty() || !validName(word))
        return fail("unknown line '" + s + "'");
    l.op = ScriptOp::Command;
    l.name = word;
    return l;
}

bool parseScript(const std::string& text, std::vector<ScriptLine>& lines, ScriptError& error)
{
    lines.clear();
    error = {};
    std::size_t pos = 0;
    int number = 0;
    // A byte-order mark at the start is not part of the first line.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        ++number;
        const std::string raw = text.substr(pos, end - pos);
        if (raw.find('\0') != std::string::npos) {
            error = {number, "the line holds a NUL byte"};
            return false;
        }
        if (auto l = parseScriptLine(raw, number, &error))
            lines.push_back(std::move(*l));
        else if (error.line)
            return false;
        if (end == text.size())
            break;
        pos = end + 1;
    }
    return true;
}

bool readScriptFile(const std::string& path, std::vector<ScriptLine>& lines, ScriptError& error)
{
    std::string bytes;
    if (readFileBytes(path, bytes) != Status::Ok) {
        error = {0, "cannot read the script file " + path};
        return false;
    }
    return parseScript(bytes, lines, error);
}

std::string scriptErrorText(const ScriptError& e)
{
    return "script error: " + std::to_string(e.line) + ": " + e.what;
}

std::string echoLine(const std::string& kind, const std::vector<std::string>& fields)
{
    std::string out = kind + ":";
    bool first = true;
    for (const std::string& f : fields) {
        out += first ? " " : " | ";
        first = false;
        std::string one;
        one.reserve(f.size());
        for (std::size_t i = 0; i < f.size(); ++i) {
            const char c = f[i];
            if (c == '\r' || c == '\n') {
                if (c == '\r' && i + 1 < f.size() && f[i + 1] == '\n')
                    ++i;
                one += ' ';
            } else {
                one += c;
            }
        }
        out += one;
    }
    return out;
}

const char* answerName(MsgAnswer a)
{
    switch (a) {
    case MsgAnswer::Ok: return "OK";
    case MsgAnswer::Cancel: return "Cancel";
    case MsgAnswer::Yes: return "Yes";
    case MsgAnswer::No: return "No";
    case MsgAnswer::Retry: return "Retry";
    }
    return "?";
}

MsgAnswer ScriptPrompter::defaultButton(MsgButtons b)
{
    switch (b) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel: return MsgAnswer::Ok;
    case MsgButtons::YesNo: return MsgAnswer::Yes;
    case MsgButtons::YesNoCancel: return MsgAnswer::Cancel;
    case MsgButtons::RetryCancel: return MsgAnswer::Retry;
    }
    return MsgAnswer::Ok;
}

bool ScriptPrompter::offers(MsgButtons b, MsgAnswer a)
{
    switch (b) {
    case MsgButtons::Ok: return a == MsgAnswer::Ok;
    case MsgButtons::OkCancel: return a == MsgAnswer::Ok || a == MsgAnswer::Cancel;
    case MsgButtons::YesNo: return a == MsgAnswer::Yes || a == MsgAnswer::No;
    case MsgButtons::YesNoCancel: return a == MsgAnswer::Yes || a == MsgAnswer::No || a == MsgAnswer::Cancel;
    case MsgButtons::RetryCancel: return a == MsgAnswer::Retry || a == MsgAnswer::Cancel;
    }
    return false;
}

MsgAnswer ScriptPrompter::message(const std::string& title, const std::string& text, MsgIcon, MsgButtons buttons)
{
    MsgAnswer a = defaultButton(buttons);
    if (!buttons_.empty()) {
        const MsgAnswer queued = buttons_.front();
        buttons_.pop_front();
        // "ok" on a Yes/No box means its affirmative button; otherwise a
        // button the box does not have leaves the default.
        if (offers(buttons, queued))
            a = queued;
        else if (queued == MsgAnswer::Ok && offers(buttons, MsgAnswer::Yes))
            a = MsgAnswer::Yes;
        else if (queued == MsgAnswer::Yes && offers(buttons, MsgAnswer::Ok))
            a = MsgAnswer::Ok;
        else if (queued == MsgAnswer::No && offers(buttons, MsgAnswer::Cancel))
            a = MsgAnswer::Cancel;
    }
    if (sink_)
        sink_(echoLine("message", {title, text, answerName(a)}));
    return a;
}

std::string ScriptPrompter::ask(const std::string& title, const std::string& prompt, const std::string& preset,
                                int countdownSeconds, const std::string& checkText, bool* checked)
{
    return askThroughInput(*this, title, prompt, preset, countdownSeconds, checkText, checked);
}

InputResult ScriptPrompter::input(const InputRequest& r)
{
    InputResult res;
    bool ticked = (r.style & InputRequest::CheckTicked) != 0;
    if (!replies_.empty()) {
        Reply reply = std::move(replies_.front());
        replies_.pop_front();
        res.answer = reply.text == "can" ? reply.text : trimBlanks(reply.text);
        ticked = reply.checked;
    } else {
        // Nobody to ask: the preset, as the count-down would accept it.
        res.answer = trimBlanks(r.preset);
    }
    res.check = ((r.style & InputRequest::ShowCheck) && ticked) ? "1" : "0";
    if (sink_)
        sink_(echoLine("ask", {r.caption, r.message, res.answer}));
    return res;
}

}  // namespace varenta
