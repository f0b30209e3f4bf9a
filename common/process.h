#pragma once
// The process seam: start a program with its arguments and a window style,
// wait for it a bounded time while the program serves its event loop, and
// stop it.  The user interface implements it over its process facility;
// core code only sees this interface.
#include "common/progress.h"

#include <string>
#include <vector>

namespace varenta {

struct ProcessRequest {
    std::string program;                 // path of the executable
    std::vector<std::string> arguments;  // passed as a list, never re-split
    int windowStyle = 0;                 // the window style setting (no windows on this platform)
    std::string workingFolder;           // empty: the current folder
};

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Starts the program; false when it could not be started (missing, not
    // executable).  A process still running from an earlier start is
    // stopped first.
    virtual bool start(const ProcessRequest& request) = 0;
    // Waits until the process ends, at most ms milliseconds, in short slices
    // with progress.keepGoing() between them.  True when it ended in time;
    // false on the time limit or a stop request.
    virtual bool waitFinished(int ms, const Progress& progress) = 0;
    // Stops the process whether or not it has ended and releases it.
    virtual void terminate() = 0;
};

}  // namespace varenta
