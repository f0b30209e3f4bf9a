#pragma once
// The process seam: start a program with its arguments, a window style and
// optionally a file as its standard input; wait for it a bounded time; stop
// it.  The user interface implements it over its process facility; core
// code and tests with real small scripts only see this interface.
#include "common/progress.h"

#include <string>
#include <vector>

namespace varenta {

struct ProcessRequest {
    std::string program;                 // path, or a name looked up in PATH
    std::vector<std::string> arguments;  // passed as a list, never re-split
    int windowStyle = 0;                 // the window style setting (no windows on this platform)
    std::string workingFolder;           // empty: the current folder
    std::string inputFile;               // empty: no input (end of file at once)
    // The input file is a text script: its CR LF line ends reach the
    // program as LF (a client would take the CR for part of a name).
    bool inputIsScript = false;
};

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Starts the program; false when it could not be started (missing, not
    // executable).  A process still running from an earlier start is
    // stopped first.
    virtual bool start(const ProcessRequest& request) = 0;
    // Waits at most ms milliseconds for the process to end, without serving
    // events; true when it has ended (or none was started).
    virtual bool waitForEnd(int ms) = 0;
    // Stops the process whether or not it has ended and releases it.
    virtual void terminate() = 0;

    // Waits until the process ends, at most ms milliseconds, in short slices
    // with progress.keepGoing() between them.  True when it ended in time;
    // false on the time limit or a stop request.
    virtual bool waitFinished(int ms, const Progress& progress);
};

}  // namespace varenta
