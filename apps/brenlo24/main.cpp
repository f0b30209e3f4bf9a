// Brenlo24: the communication program of the logger, and the script of a
// scripted run.
#include "brenlo24/config/ui/install.h"
#include "brenlo24/link/ui/form1.h"
#include "brenlo24/link/ui/scripthost.h"
#include "common/cliinfo.h"
#include "common/ui/qtutil.h"
#include "common/ui/scriptrunner.h"
#include "common/ui/startfolder.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <iostream>
#include <optional>

namespace {

const char* const kUsage =
    "Usage: brenlo24 [QT OPTIONS] [--script FILE] [PORT,SPEED,MACHINE,,FLAGS,HOUR,MINUTE,INTERVAL]\n"
    "The communication program of the logger: serial link, device configuration and\n"
    "collection of measurements into master data files.\n"
    "\n"
    "The command line is one string of up to eight comma-separated items (an empty item keeps\n"
    "its start value but still counts as a position):\n"
    "  1 PORT      serial port as COMn (device path from BRENLO24_COMn, else /dev/ttyS(n-1))\n"
    "  2 SPEED     line speed (default 38400)\n"
    "  3 MACHINE   machine number (default 255)\n"
    "  4           not used\n"
    "  5 FLAGS     option flags, hexadecimal without prefix (0x100 automatic collection ticked,\n"
    "              0x200 master files written as .tmp, 0x8000 extended operation, ...)\n"
    "  6 HOUR      automatic collection: hour\n"
    "  7 MINUTE    automatic collection: minute\n"
    "  8 INTERVAL  automatic collection: interval in minutes\n"
    "Example: brenlo24 com3,19200,12,,100,6,30,60\n"
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
    if (varenta::answerInfoOption(argc, argv, "brenlo24", kUsage))
        return 0;
    QApplication app(argc, argv);
    varenta::installFontSubstitutions();

    // The command line is one string of comma-separated items; arguments
    // split by the shell are joined again (items are trimmed anyway).
    // --script FILE may stand before or after it.
    std::vector<std::string> args;
    for (const QString& a : QApplication::arguments().mid(1))
        args.push_back(varenta::ss(a));
    varenta::ScriptedRun script(args, "brenlo24");
    if (script.failed())
        return script.exitCode();
    const varenta::StartFolder folder =
        varenta::startProgramFolder(argc > 0 ? argv[0] : nullptr, "brenlo24", script.active());
    if (!folder.ok)
        return 1;

    std::function<void(const std::string&)> echo;
    if (script.active())
        echo = varenta::ScriptedRun::echoStatus;
    varenta::Form1 window(varenta::joinArguments(args), nullptr, nullptr, echo);
    // The device-information dialog and the modem console.
    varenta::installDeviceConfig(window);
    if (!folder.notice.empty())
        window.showStatus(folder.notice);
    varenta::Brenlo24ScriptHost host(window);
    if (script.active()) {
        window.setPrompter(&script.prompter());
        script.start(host, [&window] { window.closeWithoutWarning(); });
    }
    return app.exec();
}
