#pragma once
// The program folder: the executable's folder, or VARENTA_HOME when set.
// Every program file is resolved through programFile().
#include <string>

namespace varenta {

// Decides the program folder from VARENTA_HOME or the given executable path
// (argv[0] or the resolved path of the running program).
std::string resolveProgramFolder(const std::string& executablePath);

// The folder in use; set once at start-up (and by tests).
const std::string& programFolder();
void setProgramFolder(const std::string& folder);

// programFolder() + "/" + name (name may already be absolute).
std::string programFile(const std::string& name);

// Makes the program folder the current folder; false when it does not exist.
bool enterProgramFolder();

}  // namespace varenta
