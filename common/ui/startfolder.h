#pragma once
// Start-up of a program's folder: chooses it, prepares a new per-user
// folder, and makes it the program folder and the current folder.
#include <string>

namespace varenta {

struct StartFolder {
    bool ok = false;
    std::string notice;  // for the status panel once, when the folder was prepared now
};

// On failure the reason goes to standard error as "program: ..." and, unless
// quiet (scripted runs, no display), to a message box; the caller then exits
// with status 1.
StartFolder startProgramFolder(const char* argv0, const std::string& program, bool quiet);

}  // namespace varenta
