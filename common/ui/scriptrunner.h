#pragma once
// Runs a script file line by line from the event loop: between two lines
// timers, drawing and processes run as usual.  What a line does to the
// program goes through a ScriptHost; answers are queued on the program's
// ScriptPrompter; controls of any window are reached by objectName
// ("Form2.Text4_1").
#include "common/commandtable.h"
#include "common/script.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTimer;
class QWidget;

namespace varenta {

class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    // A command by its name, through the program's command table.
    virtual RunOutcome runScriptCommand(const std::string& name) = 0;
    // Opens a master file as the open command does (no dialog); false with
    // a reason when it cannot.
    virtual bool openScriptFile(const std::string& path, std::string& why) = 0;
    // One settings value in memory, as the conditions dialog would set it.
    virtual void setScriptValue(int item, int value, const std::string& text) = 0;
    // No busy state, stepping run, process wait or transfer under way.
    virtual bool scriptIdle() const = 0;
    // The main window, where unqualified control names are looked for.
    virtual QWidget* scriptWindow() = 0;
    // Closes the main window without the exit warning (its files closed
    // normally).
    virtual void scriptQuit() = 0;
};

class ScriptRunner : public QObject {
    Q_OBJECT
public:
    using Sink = std::function<void(const std::string&)>;

    ScriptRunner(ScriptHost& host, ScriptPrompter& prompter, Sink sink, QObject* parent = nullptr);

    // Starts running the lines once control returns to the event loop.
    void start(std::vector<ScriptLine> lines);
    bool finished() const { return finished_; }
    // 0 after quit or the end of the script, 2 after a script error.
    int exitCode() const { return exitCode_; }

    // The control a name stands for: "Window.Control" or a control of the
    // main window (then of any window).  nullptr when there is none.
    static QObject* findControl(QWidget* mainWindow, const std::string& name);

    static constexpr int kIdleLimitMs = 10 * 60 * 1000;

signals:
    // The script asked to quit (exit code 0) or failed (exit code 2).
    void ended(int exitCode);

private:
    void next();
    void runLine(const ScriptLine& l);
    void fail(int line, const std::string& what);
    void scheduleNext(int delayMs = 0);
    bool clickControl(const ScriptLine& l);
    bool setControlText(const ScriptLine& l);
    bool checkControl(const ScriptLine& l);

    ScriptHost& host_;
    ScriptPrompter& prompter_;
    Sink sink_;
    std::vector<ScriptLine> lines_;
    std::size_t pos_ = 0;
    bool finished_ = false;
    int exitCode_ = 0;
    QTimer* waitTimer_ = nullptr;
    long long idleWaited_ = 0;
};

// Writes one echo line to standard output and flushes it.
void writeScriptEcho(const std::string& line);

// Takes "--script FILE" (or "--script=FILE") out of a program's arguments;
// returns the file ("" when the option is absent).  ok is false when the
// option has no file.
std::string takeScriptOption(std::vector<std::string>& args, bool& ok);

// The scripted run of a program as its command line asks for it: the
// option taken out of the arguments, the script read (a wrong line ends
// the program before it starts), the prompter that answers from the
// script, and the runner that ends the program after "quit" or an error.
class ScriptedRun {
public:
    ScriptedRun(std::vector<std::string>& args, const char* program);
    bool active() const { return active_; }
    // The option or the script is wrong (said on the output); the program
    // ends at once with exitCode().
    bool failed() const { return exitCode_ >= 0; }
    int exitCode() const { return exitCode_; }
    ScriptPrompter& prompter() { return prompter_; }
    // "status: TEXT" on standard output.
    static void echoStatus(const std::string& text);
    // Runs the lines once the event loop runs.  After "quit" the program
    // exits with 0; after a script error closeQuietly() closes its windows
    // and files, and it exits with 2.
    void start(ScriptHost& host, std::function<void()> closeQuietly);

private:
    bool active_ = false;
    int exitCode_ = -1;
    std::vector<ScriptLine> lines_;
    ScriptPrompter prompter_{writeScriptEcho};
    std::unique_ptr<ScriptRunner> runner_;
};

// The program's own arguments joined by blanks (its command line is one
// string of comma-separated fields).
std::string joinArguments(const std::vector<std::string>& args);

}  // namespace varenta
