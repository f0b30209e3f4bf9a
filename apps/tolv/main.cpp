// The processing program: the program folder, the command line, the main
// window and its start-up sequence, and the script of a scripted run.
#include "common/progfolder.h"
#include "common/ui/qtutil.h"
#include "common/ui/scriptrunner.h"
#include "tolv/program/assemble.h"
#include "tolv/publish/ui/automation.h"
#include "tolv/shell/ui/mdiform1.h"
#include "tolv/shell/ui/scripthost.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>

#include <iostream>
#include <optional>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolv"));
    varenta::setProgramFolder(varenta::resolveProgramFolder(argc > 0 ? argv[0] : ""));

    // One argument string of up to five comma-separated fields; Qt's own
    // options (-platform ...) are already taken out by QApplication, and
    // --script FILE may stand before or after it.
    std::vector<std::string> args;
    for (const QString& a : QApplication::arguments().mid(1))
        args.push_back(varenta::ss(a));
    bool scriptOk = true;
    const std::string scriptFile = varenta::takeScriptOption(args, scriptOk);
    std::vector<varenta::ScriptLine> lines;
    if (!scriptOk) {
        std::cerr << "tolv: --script needs a file name\n";
        return 2;
    }
    const bool scripted = !scriptFile.empty();
    if (scripted) {
        varenta::ScriptError error;
        if (!varenta::readScriptFile(scriptFile, lines, error)) {
            varenta::writeScriptEcho(varenta::scriptErrorText(error));
            return 2;
        }
    }
    std::string argument;
    for (const std::string& a : args)
        argument += (argument.empty() ? "" : " ") + a;

    varenta::ScriptPrompter scriptPrompter(varenta::writeScriptEcho);
    varenta::ShellOptions options;
    options.programFolder = varenta::programFolder();
    options.argument = argument;
    if (scripted) {
        options.prompter = &scriptPrompter;
        options.openDialog = [] { return std::string(); };  // never a file dialog: "open PATH" opens
    }

    varenta::MDIForm1 window(options);
    varenta::assembleProcessingProgram(window);
    // SIGTERM and SIGINT end the program as the exit command does.
    varenta::installTerminationHandler(window);

    varenta::TolvScriptHost host(window);
    std::optional<varenta::ScriptRunner> runner;
    if (scripted) {
        window.setStatusEcho(
            [](const std::string& t) { varenta::writeScriptEcho(varenta::echoLine("status", {t})); });
        runner.emplace(host, scriptPrompter, varenta::writeScriptEcho);
        QObject::connect(&*runner, &varenta::ScriptRunner::ended, &app, [&window](int code) {
            if (code != 0)
                window.closeWithoutWarning();
            QTimer::singleShot(0, [code] { QCoreApplication::exit(code); });
        });
    }
    window.startUp();
    if (runner)
        runner->start(std::move(lines));
    return app.exec();
}
