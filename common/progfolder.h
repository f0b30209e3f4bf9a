#pragma once
// The program folder, in this order:
//   1. the folder named by VARENTA_HOME, when set;
//   2. the folder of the executable, when it holds "tolvi.org" (a portable
//      copy, or a folder prepared by nrinstall);
//   3. the per-user folder $XDG_DATA_HOME/varenta (~/.local/share/varenta),
//      prepared on first start from the installed data <prefix>/share/varenta
//      (see prepareProgramFolder in installdata.h).
// Every program file is resolved through programFile().
#include <string>

namespace varenta {

enum class FolderSource { Environment, Portable, PerUser };

struct FolderChoice {
    std::string folder;
    FolderSource source = FolderSource::Portable;
    std::string dataFolder;      // installed data, <prefix>/share/varenta (per-user folder only)
    std::string programsFolder;  // installed helper programs, <prefix>/lib/varenta
};

// The choice for an executable in executableFolder, with the environment
// values given (nullptr = unset).  home is only used when xdgDataHome is
// unset or not absolute; an empty folder means no per-user folder can be named.
FolderChoice chooseProgramFolder(const std::string& executableFolder, const char* varentaHome,
                                 const char* xdgDataHome, const char* home);

// The same from the running program and the process environment
// (executablePath is argv[0], used when /proc/self/exe cannot be read).
FolderChoice chooseProgramFolder(const std::string& executablePath);

// chooseProgramFolder(executablePath).folder
std::string resolveProgramFolder(const std::string& executablePath);

// The folder of the running executable.
std::string executableFolder(const std::string& executablePath);

// The folder in use; set once at start-up (and by tests).
const std::string& programFolder();
void setProgramFolder(const std::string& folder);

// The folder of the installed helper programs (the directional spectrum
// estimators), searched after the program folder; set at start-up.
const std::string& programsFolder();
void setProgramsFolder(const std::string& folder);

// The path of helper program name: in the program folder (name.exe, then
// name), else in programsFolder(); the program-folder path when neither
// exists, so that the failure to start it names the expected place.
std::string helperProgram(const std::string& folder, const std::string& name);

// programFolder() + "/" + name (name may already be absolute).
std::string programFile(const std::string& name);

// Makes the program folder the current folder; false when it does not exist.
bool enterProgramFolder();

}  // namespace varenta
