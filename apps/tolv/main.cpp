// The processing program: the program folder, the command line, the main
// window and its start-up sequence, and the script of a scripted run.
#include "common/cliinfo.h"
#include "common/progfolder.h"
#include "common/ui/qtutil.h"
#include "common/ui/scriptrunner.h"
#include "common/ui/startfolder.h"
#include "tolv/program/assemble.h"
#include "tolv/publish/ui/automation.h"
#include "tolv/shell/ui/mdiform1.h"
#include "tolv/shell/ui/scripthost.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>

#include <iostream>
#include <optional>

namespace {

const char* const kUsage =
    "Usage: tolv [QT OPTIONS] [--script FILE] [FLAGS,INIFILE,TEXT,USERBASE,MASK]\n"
    "The processing program of the logger: opens master data files, shows tables and graphs,\n"
    "computes spectra, publishes pages and runs the automatic cycle.\n"
    "\n"
    "The command line is one argument of up to five comma-separated fields:\n"
    "  1 FLAGS     start flags, hexadecimal without prefix (0x01 file mode of the scan,\n"
    "              0x02 user-folder operation, 0x10 weekly backup, 0x20 protection on,\n"
    "              0x40 no exit warning, 0x800 dated spectrum copy, 0x2000 bayes2 estimator,\n"
    "              0x10000 user-folder mode, 0x20000 serial output of results,\n"
    "              0x40000 user folders get the template's sub-folders)\n"
    "  2 INIFILE   full path of an initialization file used instead of tolvi.ini\n"
    "  3 TEXT      passed on unchanged\n"
    "  4 USERBASE  base folder of the user folders (the scan base)\n"
    "  5 MASK      hexadecimal mask of user folders the scan skips\n"
    "\n"
    "Options:\n"
    "  --script FILE   run the commands of FILE (one a line) instead of waiting for a user;\n"
    "                  every status text and message is echoed to standard output\n"
    "  -platform NAME  Qt's window system (offscreen: no display needed)\n"
    "  --help          this text\n"
    "  --version       the version\n";

}  // namespace

int main(int argc, char** argv)
{
    if (varenta::answerInfoOption(argc, argv, "tolv", kUsage))
        return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolv"));

    // One argument string of up to five comma-separated fields; Qt's own
    // options (-platform ...) are already taken out by QApplication, and
    // --script FILE may stand before or after it.
    std::vector<std::string> args;
    for (const QString& a : QApplication::arguments().mid(1))
        args.push_back(varenta::ss(a));
    varenta::ScriptedRun script(args, "tolv");
    if (script.failed())
        return script.exitCode();
    const varenta::StartFolder folder =
        varenta::startProgramFolder(argc > 0 ? argv[0] : nullptr, "tolv", script.active());
    if (!folder.ok)
        return 1;

    varenta::ShellOptions options;
    options.programFolder = varenta::programFolder();
    options.argument = varenta::joinArguments(args);
    if (script.active()) {
        options.prompter = &script.prompter();
        options.openDialog = [] { return std::string(); };  // never a file dialog: "open PATH" opens
    }

    varenta::MDIForm1 window(options);
    varenta::assembleProcessingProgram(window);
    // SIGTERM and SIGINT end the program as the exit command does.
    varenta::installTerminationHandler(window);

    varenta::TolvScriptHost host(window);
    if (script.active())
        window.setStatusEcho(varenta::ScriptedRun::echoStatus);
    window.startUp();
    if (!folder.notice.empty())
        window.setPanel("Status", folder.notice);
    script.start(host, [&window] { window.closeWithoutWarning(); });
    return app.exec();
}
