#include "common/cliinfo.h"

#include <cstdio>
#include <cstring>

#ifndef VARENTA_VERSION
#define VARENTA_VERSION "0"
#endif

namespace varenta {

std::string versionLine(const std::string& program) { return program + " (Varenta) " + VARENTA_VERSION; }

std::string environmentHelp()
{
    return "Environment:\n"
           "  VARENTA_HOME      the program folder to use (settings, tables, master files, pages)\n"
           "  XDG_DATA_HOME     without VARENTA_HOME and outside a portable copy, the program folder\n"
           "                    is $XDG_DATA_HOME/varenta (default ~/.local/share/varenta); it is\n"
           "                    prepared from <prefix>/share/varenta on first start\n"
           "  BRENLO24_COMN     device path of serial port N (BRENLO24_COM3=/dev/ttyUSB0);\n"
           "                    default /dev/ttyS(N-1)\n"
           "  QT_QPA_PLATFORM   the window system of the programs (offscreen for runs without a display)\n"
           "\n"
           "Program folder: VARENTA_HOME when set; else the folder of the executable when it holds\n"
           "tolvi.org (a portable copy); else the per-user folder above.\n";
}

bool answerInfoOption(int argc, char** argv, const std::string& program, const std::string& usage)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", versionLine(program).c_str());
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("%s\n%s", usage.c_str(), environmentHelp().c_str());
            return true;
        }
    }
    return false;
}

}  // namespace varenta
