#pragma once
// The seam for external programs: start a command in a folder with a window
// style (and optionally a file as its standard input), wait for it with a
// time limit, stop it.  The program's implementation runs QProcess; tests
// may use it with real small scripts.
#include <string>
#include <vector>

namespace varenta {

struct ProcessRequest {
    std::string program;                 // path or name looked up in PATH
    std::vector<std::string> arguments;
    std::string workingFolder;           // empty: the current folder
    std::string inputFile;               // empty: no input (end of file at once)
    // The input file is a text script: its CR LF line ends reach the
    // program as LF (a client would take the CR for part of a name).
    bool inputIsScript = false;
    int windowStyle = 1;                 // the platform's window style number (kept for scripts)
};

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Starts the command; false when it could not be started.  A runner runs
    // one process at a time; starting again forgets the previous one (which
    // keeps running).
    virtual bool start(const ProcessRequest& request) = 0;
    // Waits at most ms milliseconds for the process to end; true when it has
    // ended (or none was started).
    virtual bool waitForEnd(int ms) = 0;
    // Stops the process when it still runs.
    virtual void terminate() = 0;
};

}  // namespace varenta
