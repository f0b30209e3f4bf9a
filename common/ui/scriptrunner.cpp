#include "common/ui/scriptrunner.h"

#include "common/ui/qtutil.h"
#include "common/writebehind.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>
#include <iostream>

namespace varenta {

void writeScriptEcho(const std::string& line)
{
    std::cout << line << '\n' << std::flush;
}

std::string takeScriptOption(std::vector<std::string>& args, bool& ok)
{
    ok = true;
    std::string file;
    for (std::size_t i = 0; i < args.size();) {
        if (args[i] == "--script") {
            if (i + 1 >= args.size()) {
                ok = false;
                args.erase(args.begin() + static_cast<long>(i));
                continue;
            }
            file = args[i + 1];
            args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
            continue;
        }
        if (args[i].rfind("--script=", 0) == 0) {
            file = args[i].substr(9);
            ok = !file.empty();
            args.erase(args.begin() + static_cast<long>(i));
            continue;
        }
        ++i;
    }
    return file;
}

ScriptedRun::ScriptedRun(std::vector<std::string>& args, const char* program)
{
    bool ok = true;
    const std::string file = takeScriptOption(args, ok);
    if (!ok) {
        std::cerr << program << ": --script needs a file name\n";
        exitCode_ = 2;
        return;
    }
    active_ = !file.empty();
    if (!active_)
        return;
    ScriptError error;
    if (!readScriptFile(file, lines_, error)) {
        writeScriptEcho(scriptErrorText(error));
        exitCode_ = 2;
    }
}

void ScriptedRun::echoStatus(const std::string& text) { writeScriptEcho(echoLine("status", {text})); }

void ScriptedRun::start(ScriptHost& host, std::function<void()> closeQuietly)
{
    if (!active_ || failed())
        return;
    runner_ = std::make_unique<ScriptRunner>(host, prompter_, writeScriptEcho);
    QObject::connect(runner_.get(), &ScriptRunner::ended, [close = std::move(closeQuietly)](int code) {
        if (code != 0 && close)
            close();
        QTimer::singleShot(0, [code] { QCoreApplication::exit(code); });
    });
    runner_->start(lines_);
}

std::string joinArguments(const std::vector<std::string>& args)
{
    std::string out;
    for (const std::string& a : args)
        out += (out.empty() ? "" : " ") + a;
    return out;
}

ScriptRunner::ScriptRunner(ScriptHost& host, ScriptPrompter& prompter, Sink sink, QObject* parent)
    : QObject(parent), host_(host), prompter_(prompter), sink_(std::move(sink))
{
    waitTimer_ = new QTimer(this);
    waitTimer_->setSingleShot(true);
    connect(waitTimer_, &QTimer::timeout, this, &ScriptRunner::next);
}

void ScriptRunner::start(std::vector<ScriptLine> lines)
{
    lines_ = std::move(lines);
    pos_ = 0;
    finished_ = false;
    exitCode_ = 0;
    scheduleNext();
}

void ScriptRunner::scheduleNext(int delayMs) { waitTimer_->start(delayMs); }

void ScriptRunner::fail(int line, const std::string& what)
{
    if (sink_)
        sink_(scriptErrorText({line, what}));
    finished_ = true;
    exitCode_ = 2;
    emit ended(2);
}

void ScriptRunner::next()
{
    if (finished_)
        return;
    if (pos_ >= lines_.size()) {
        // The end of the script: the program runs on as usual.
        finished_ = true;
        return;
    }
    const ScriptLine& l = lines_[pos_];
    if (l.op == ScriptOp::WaitIdle) {
        // Files written behind the steps are part of the work waited for.
        flushFileWrites();
        if (!host_.scriptIdle() && idleWaited_ < kIdleLimitMs) {
            idleWaited_ += 50;
            scheduleNext(50);
            return;
        }
        if (idleWaited_ >= kIdleLimitMs && sink_)
            sink_("script: " + std::to_string(l.number) + ": still busy after 10 minutes, going on");
        idleWaited_ = 0;
        ++pos_;
        scheduleNext();
        return;
    }
    ++pos_;
    runLine(l);
}

void ScriptRunner::runLine(const ScriptLine& l)
{
    switch (l.op) {
    case ScriptOp::Answer: prompter_.queueAnswer(l.text, false); break;
    case ScriptOp::AnswerChecked: prompter_.queueAnswer(l.text, true); break;
    case ScriptOp::Cancel: prompter_.queueAnswer("can", false); break;
    case ScriptOp::Yes: prompter_.queueButton(MsgAnswer::Yes); break;
    case ScriptOp::No: prompter_.queueButton(MsgAnswer::No); break;
    case ScriptOp::Ok: prompter_.queueButton(MsgAnswer::Ok); break;
    case ScriptOp::Set: host_.setScriptValue(l.item, l.value, l.text); break;
    case ScriptOp::Wait: scheduleNext(static_cast<int>(l.ms)); return;
    case ScriptOp::WaitIdle: break;  // handled by next()
    case ScriptOp::Quit:
        finished_ = true;
        exitCode_ = 0;
        host_.scriptQuit();
        emit ended(0);
        return;
    case ScriptOp::Open: {
        std::string why;
        if (!host_.openScriptFile(l.text, why)) {
            fail(l.number, why.empty() ? "cannot open " + l.text : why);
            return;
        }
        break;
    }
    case ScriptOp::SetText:
        if (!setControlText(l))
            return;
        break;
    case ScriptOp::Check:
        if (!checkControl(l))
            return;
        break;
    case ScriptOp::Command:
        if (l.name.find('.') != std::string::npos) {
            if (!clickControl(l))
                return;
            break;
        }
        switch (host_.runScriptCommand(l.name)) {
        case RunOutcome::Ran: break;
        case RunOutcome::Refused:
            if (sink_)
                sink_("refused: " + l.name);
            break;
        case RunOutcome::Unknown:
            // A control of the main window by its name (a button of the
            // communication program, say) is the last resort.
            if (!clickControl(l))
                return;
            break;
        }
        break;
    }
    if (!finished_)
        scheduleNext();
}

QObject* ScriptRunner::findControl(QWidget* mainWindow, const std::string& name)
{
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        const QString window = qs(name.substr(0, dot));
        const QString control = qs(name.substr(dot + 1));
        QList<QWidget*> tops = QApplication::topLevelWidgets();
        if (mainWindow)
            tops.prepend(mainWindow);
        for (QWidget* top : tops) {
            QWidget* w = top->objectName() == window ? top : top->findChild<QWidget*>(window);
            if (!w)
                continue;
            if (QObject* c = w->findChild<QObject*>(control))
                return c;
        }
        return nullptr;
    }
    const QString control = qs(name);
    if (mainWindow) {
        if (QObject* c = mainWindow->findChild<QObject*>(control))
            return c;
    }
    for (QWidget* top : QApplication::topLevelWidgets())
        if (QObject* c = top->findChild<QObject*>(control))
            return c;
    return nullptr;
}

namespace {

// A control on a tab page brings that page on top first, as clicking into
// it would.
void bringPageOnTop(QWidget* w)
{
    for (QWidget* child = w; child && child->parentWidget(); child = child->parentWidget()) {
        auto* stack = qobject_cast<QStackedWidget*>(child->parentWidget());
        if (!stack)
            continue;
        if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget()))
            tabs->setCurrentWidget(child);
        else
            stack->setCurrentWidget(child);
    }
}

}  // namespace

bool ScriptRunner::clickControl(const ScriptLine& l)
{
    QObject* o = findControl(host_.scriptWindow(), l.name);
    if (!o) {
        fail(l.number, "there is no command or control '" + l.name + "'");
        return false;
    }
    if (auto* a = qobject_cast<QAction*>(o)) {
        if (!a->isEnabled()) {
            if (sink_)
                sink_("refused: " + l.name);
            return true;
        }
        a->trigger();
        return true;
    }
    if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        if (!b->isEnabled()) {
            if (sink_)
                sink_("refused: " + l.name);
            return true;
        }
        bringPageOnTop(b);
        b->click();
        return true;
    }
    fail(l.number, "'" + l.name + "' is not a command, button or menu entry");
    return false;
}

bool ScriptRunner::setControlText(const ScriptLine& l)
{
    auto* w = qobject_cast<QWidget*>(findControl(host_.scriptWindow(), l.name));
    if (!w) {
        fail(l.number, "there is no control '" + l.name + "'");
        return false;
    }
    bringPageOnTop(w);
    const QString text = qs(l.text);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->setFocus();
        e->setText(text);
        emit e->textEdited(text);
        emit e->editingFinished();
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        const int i = c->findText(text);
        if (i >= 0)
            c->setCurrentIndex(i);
        else if (c->isEditable())
            c->setEditText(text);
        else {
            fail(l.number, "'" + l.name + "' has no entry '" + l.text + "'");
            return false;
        }
    } else if (auto* s = qobject_cast<QSpinBox*>(w)) {
        s->setValue(text.toInt());
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
        p->setPlainText(text);
    } else if (auto* t = qobject_cast<QTextEdit*>(w)) {
        t->setPlainText(text);
    } else {
        fail(l.number, "'" + l.name + "' takes no text");
        return false;
    }
    return true;
}

bool ScriptRunner::checkControl(const ScriptLine& l)
{
    auto* b = qobject_cast<QAbstractButton*>(findControl(host_.scriptWindow(), l.name));
    if (!b || !b->isCheckable()) {
        fail(l.number, "there is no check box '" + l.name + "'");
        return false;
    }
    bringPageOnTop(b);
    const bool want = l.text == "1";
    // A click, so that the control's own handlers run as for a person.
    if (b->isChecked() != want)
        b->click();
    return true;
}

}  // namespace varenta
