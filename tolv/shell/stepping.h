#pragma once
// The stepping run behind the Processing menu, the toolbar and the
// right-click menu: redisplay or reprocess the current measurement, or step
// forward or backward a number of times, loading or processing each
// measurement and refreshing the open views.  The window side is reached
// through StepHost, so the run is checked without a window.
#include "common/appstate.h"

#include <string>

namespace varenta {

namespace stepmode {
constexpr int kRedisplay = 0x00;
constexpr int kReprocess = 0x01;
constexpr int kForwardDisplay = 0x08;
constexpr int kForwardProcess = 0x09;
constexpr int kBackwardDisplay = 0x10;
constexpr int kProcessBit = 0x01;
constexpr int kForwardBit = 0x08;
constexpr int kBackwardBit = 0x10;
}  // namespace stepmode

enum class StepButton { Execute, Calculate, BackExecute };

class StepHost {
public:
    virtual ~StepHost() = default;
    virtual bool fileOpen() const = 0;
    virtual long long currentNumber() const = 0;
    virtual void setCurrentNumber(long long n) = 0;
    virtual long long latestNumber() const = 0;
    // Reads the header of the current measurement and refreshes the header
    // panels; false when the measurement cannot be read.
    virtual bool refreshHeader() = 0;
    // Reads the current measurement's samples.
    virtual void loadRaw() = 0;
    // Runs the processing of the current measurement (results record, then
    // the views that process).
    virtual void process() = 0;
    // Refreshes the open views; processed tells whether the measurement was
    // processed in this step (the results graph redraws then).
    virtual void refreshViews(bool processed) = 0;
    // A step met a measurement that cannot be read: Sno shows the number
    // and the running count, "12(3)".
    virtual void markUnreadable(long long number, int count) = 0;
    // Automatic printing of the raw data graph at each forward display step.
    virtual bool printEachStep() const { return false; }
    virtual void printRawGraph() {}
    // The repetition count of the toolbar combo, and its text.
    virtual long long repetitions() const = 0;
    virtual void setRepetitionText(const std::string& text) = 0;
    virtual void pressButton(StepButton button, bool down) = 0;
    // Lets the window process pending events (the stop command comes here).
    virtual void serveEvents() = 0;
    // After the run: header information to the conditions dialog.
    virtual void finished() {}
};

struct StepOutcome {
    bool ran = false;       // false: no file open or a step already running
    long long steps = 0;    // loop passes done
    bool stopped = false;   // left by the stop request
    int unreadable = 0;     // steps that met an unreadable measurement
};

// Runs one stepping command.  state carries the stepping bit (0x20, set
// while the run lasts), the loaded and processed bits (0x2000, 0x4000) and
// the stop request (cleared at the start).
StepOutcome runStepping(int mode, RuntimeState& state, StepHost& host);

}  // namespace varenta
