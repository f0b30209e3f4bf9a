// Scripted runs of the processing program, black-box through its command
// line, and the command table seen from the menus.
#include "shell_fixture.h"

#include "common/ui/qtutil.h"
#include "tolv/program/assemble.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QProcessEnvironment>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <fstream>
#include <set>

using namespace varenta;
using namespace varenta::guitest;

namespace {

struct RunResult {
    int exitCode = -1;
    std::vector<std::string> lines;
    bool has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
    bool hasPrefix(const std::string& p) const
    {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(p, 0) == 0; });
    }
};

class ScriptedRun : public ::testing::Test {
protected:
    ProgramFolder pf;

    RunResult run(const std::string& script, QStringList args = {})
    {
        RunResult r;
        const QString exe = QString::fromUtf8(VARENTA_BINARY_DIR) + QStringLiteral("/tolv");
        if (!QFileInfo::exists(exe)) {
            ADD_FAILURE() << "the program is not built";
            return r;
        }
        const std::string file = pf.path("run.script");
        std::ofstream(file, std::ios::binary) << script;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VARENTA_HOME"), QString::fromStdString(pf.dir.string()));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        args.prepend(QStringLiteral("offscreen"));
        args.prepend(QStringLiteral("-platform"));
        args << QStringLiteral("--script") << QString::fromStdString(file);
        p.start(exe, args);
        EXPECT_TRUE(p.waitForStarted(5000));
        EXPECT_TRUE(p.waitForFinished(60000)) << "the scripted run did not end";
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        for (const QByteArray& l : p.readAllStandardOutput().split('\n'))
            if (!l.isEmpty())
                r.lines.push_back(l.toStdString());
        return r;
    }
};

TEST_F(ScriptedRun, OpensStepsAnswersAndSavesTheCurrentMeasurement)
{
    pf.generate(8);
    const std::string script = "# reinitialise with set 00, then step back twice from the newest\n"
                               "answer 00\r\n"
                               "Minit\n"
                               "open " + pf.master() + "\n"
                               "set-text Combo1 2\n"
                               "Mbackexe\n"
                               "wait-idle\n"
                               "quit\n";
    const RunResult r = run(script, {QStringLiteral("0")});  // the command-line argument before the option
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.has("status: ファイルを開いてください"));
    EXPECT_TRUE(r.hasPrefix("ask: アプリケーションの初期化 "));
    EXPECT_TRUE(std::any_of(r.lines.begin(), r.lines.end(),
                            [](const std::string& l) { return l.rfind("ask: ", 0) == 0 && l.ends_with("| 00"); }));
    Settings saved;
    ASSERT_EQ(saved.load(pf.path("tolvi.ini")), Status::Ok);
    EXPECT_EQ(saved.integer(89, 3), 6);  // 8, back two
    EXPECT_EQ(saved.trimmed(98, 0), pf.master());
}

TEST_F(ScriptedRun, WrongLinesEndWithStatusTwoAndTheLineNumber)
{
    struct Case {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"Mnew\nwait 10\nwait soon\nquit\n", "script error: 3: "},       // read before anything runs
        {"Mnew\n\nMnothing\nquit\n", "script error: 3: there is no command"},  // found when it runs
        {"open /no/such/NR999M.H10\nquit\n", "script error: 1: there is no file"},
    };
    for (const Case& c : cases) {
        const RunResult r = run(c.script);
        EXPECT_EQ(r.exitCode, 2) << c.script;
        EXPECT_TRUE(r.hasPrefix(c.error)) << c.script;
    }
    // The settings survive a failed run.
    Settings saved;
    EXPECT_EQ(saved.load(pf.path("tolvi.ini")), Status::Ok);
}

TEST_F(ScriptedRun, AQuestionWithoutAnswerTakesItsPresetInsteadOfWaiting)
{
    pf.generateOpened(3);
    const RunResult r = run("Minit\nwait-idle\nquit\n");
    EXPECT_EQ(r.exitCode, 0);
    // The initialization question's preset is the current set with its name.
    EXPECT_TRUE(std::any_of(r.lines.begin(), r.lines.end(), [](const std::string& l) {
        return l.rfind("ask: アプリケーションの初期化 ", 0) == 0 && l.find("| 00=") != std::string::npos;
    })) << ::testing::PrintToString(r.lines);
}

TEST(CommandTableOfTheWindow, EveryMenuEntryAndToolbarKeyIsACommand)
{
    ProgramFolder pf;
    Shell s(pf);
    assembleProcessingProgram(s.w());
    const CommandTable& t = s.w().commandTable();
    // Entries of the noise and vibration model: that recorder is not part
    // of this family, its entries stay hidden and have no command.
    const std::set<QString> noDevice = {"MnvOctave", "MnvRawGraph", "MnvRawNum", "BNvtext", "Braw", "Bbargraph",
                                        "Bleft", "Bright"};
    std::vector<std::string> missing;
    std::vector<QMenu*> menus;
    for (QAction* top : s.w().menuBar()->actions())
        if (top->menu())
            menus.push_back(top->menu());
    int entries = 0;
    while (!menus.empty()) {
        QMenu* m = menus.back();
        menus.pop_back();
        for (QAction* a : m->actions()) {
            if (a->menu()) {
                menus.push_back(a->menu());
                continue;
            }
            if (a->isSeparator() || a->objectName().isEmpty() || noDevice.count(a->objectName()))
                continue;
            ++entries;
            if (!t.has(ss(a->objectName())))
                missing.push_back(ss(a->objectName()));
        }
    }
    EXPECT_GT(entries, 50);
    for (QAction* a : s.w().findChildren<QAction*>()) {
        if (a->objectName().startsWith(QLatin1String("MP")) && !a->menu() && !t.has(ss(a->objectName())) &&
            a->objectName() != QLatin1String("MPcset") && a->objectName() != QLatin1String("MPmodifi") &&
            a->objectName() != QLatin1String("MPewrite") && a->objectName() != QLatin1String("MPcopy"))
            missing.push_back(ss(a->objectName()));
    }
    for (QToolButton* b : s.w().toolbar()->findChildren<QToolButton*>()) {
        const QString cmd = b->property("command").toString();
        if (b->objectName().isEmpty() || b->objectName().startsWith(QLatin1String("qt_")) ||
            noDevice.count(b->objectName()))
            continue;
        if (cmd.isEmpty() || !t.has(ss(cmd)))
            missing.push_back(ss(b->objectName()));
    }
    EXPECT_TRUE(missing.empty()) << "no command behind: " << ::testing::PrintToString(missing);
}

}  // namespace
