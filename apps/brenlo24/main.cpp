// Brenlo24: the communication program of the logger, and the script of a
// scripted run.
#include "brenlo24/config/ui/install.h"
#include "brenlo24/link/ui/form1.h"
#include "brenlo24/link/ui/scripthost.h"
#include "common/progfolder.h"
#include "common/ui/qtutil.h"
#include "common/ui/scriptrunner.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <iostream>
#include <optional>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    varenta::setProgramFolder(varenta::resolveProgramFolder(argc > 0 ? argv[0] : ""));
    varenta::enterProgramFolder();
    varenta::installFontSubstitutions();

    // The command line is one string of comma-separated items; arguments
    // split by the shell are joined again (items are trimmed anyway).
    // --script FILE may stand before or after it.
    std::vector<std::string> args;
    for (const QString& a : QApplication::arguments().mid(1))
        args.push_back(varenta::ss(a));
    bool scriptOk = true;
    const std::string scriptFile = varenta::takeScriptOption(args, scriptOk);
    if (!scriptOk) {
        std::cerr << "brenlo24: --script needs a file name\n";
        return 2;
    }
    std::vector<varenta::ScriptLine> lines;
    const bool scripted = !scriptFile.empty();
    if (scripted) {
        varenta::ScriptError error;
        if (!varenta::readScriptFile(scriptFile, lines, error)) {
            varenta::writeScriptEcho(varenta::scriptErrorText(error));
            return 2;
        }
    }
    std::string commandLine;
    for (const std::string& a : args)
        commandLine += (commandLine.empty() ? "" : " ") + a;

    varenta::ScriptPrompter scriptPrompter(varenta::writeScriptEcho);
    std::function<void(const std::string&)> echo;
    if (scripted)
        echo = [](const std::string& t) { varenta::writeScriptEcho(varenta::echoLine("status", {t})); };
    varenta::Form1 window(commandLine, nullptr, nullptr, echo);
    // The device-information dialog and the modem console.
    varenta::installDeviceConfig(window);
    varenta::Brenlo24ScriptHost host(window);
    std::optional<varenta::ScriptRunner> runner;
    if (scripted) {
        window.setPrompter(&scriptPrompter);
        runner.emplace(host, scriptPrompter, varenta::writeScriptEcho);
        QObject::connect(&*runner, &varenta::ScriptRunner::ended, &app, [&window](int code) {
            if (code != 0)
                window.closeWithoutWarning();
            QTimer::singleShot(0, [code] { QCoreApplication::exit(code); });
        });
        runner->start(std::move(lines));
    }
    return app.exec();
}
