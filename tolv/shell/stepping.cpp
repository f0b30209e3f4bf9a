#include "tolv/shell/stepping.h"

#include <algorithm>

namespace varenta {

namespace {

// Step 2 of the run on the current measurement: load or process, refresh.
void showCurrent(bool processing, RuntimeState& state, StepHost& host)
{
    if (!state.state(statebit::kRawLoaded))
        host.loadRaw();
    if (processing)
        host.process();
    host.refreshViews(processing);
    state.setState(statebit::kRawLoaded, true);
    if (processing)
        state.setState(statebit::kProcessed, true);
}

}  // namespace

StepOutcome runStepping(int mode, RuntimeState& state, StepHost& host)
{
    StepOutcome out;
    if (!host.fileOpen() || state.state(statebit::kStepping))
        return out;
    out.ran = true;
    const bool processing = (mode & stepmode::kProcessBit) != 0;
    const bool forward = (mode & stepmode::kForwardBit) != 0;
    const bool backward = (mode & stepmode::kBackwardBit) != 0;
    const StepButton button =
        backward ? StepButton::BackExecute : (processing ? StepButton::Calculate : StepButton::Execute);

    state.setState(statebit::kStepping, true);
    host.pressButton(button, true);
    state.stopRequest = false;

    if (!forward && !backward) {
        showCurrent(processing, state, host);
    } else {
        long long n = host.repetitions();
        // A measurement that could not be read counts as visited, so the
        // next step moves past it instead of trying it again.
        bool visited = false;
        while (n > 0) {
            const bool done = state.state(statebit::kRawLoaded) &&
                              (!processing || state.state(statebit::kProcessed));
            bool readable = true;
            if (done || visited) {
                const long long latest = std::max(1LL, host.latestNumber());
                const long long cur = host.currentNumber();
                const long long next = std::clamp(cur + (forward ? 1 : -1), 1LL, latest);
                if (next != cur) {
                    host.setCurrentNumber(next);
                    state.setState(statebit::kRawLoaded | statebit::kProcessed, false);
                }
                readable = host.refreshHeader();
            }
            visited = false;
            if (readable) {
                showCurrent(processing, state, host);
                if (forward && !processing && host.printEachStep())
                    host.printRawGraph();
            } else {
                ++out.unreadable;
                host.markUnreadable(host.currentNumber(), out.unreadable);
                visited = true;
            }
            --n;
            ++out.steps;
            host.setRepetitionText(std::to_string(n));
            host.serveEvents();
            if (state.stopRequest) {
                out.stopped = true;
                break;
            }
        }
    }

    host.finished();
    host.pressButton(button, false);
    host.setRepetitionText("1");
    state.setState(statebit::kStepping, false);
    return out;
}

}  // namespace varenta
