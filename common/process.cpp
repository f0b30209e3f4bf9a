#include "common/process.h"

#include <algorithm>
#include <chrono>

namespace varenta {

namespace {
// The longest a wait goes without serving the program's events.
constexpr int kWaitSliceMs = 50;
}  // namespace

bool ProcessRunner::waitFinished(int ms, const Progress& progress)
{
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        const long long left = static_cast<long long>(ms) - spent;
        if (left <= 0)
            return waitForEnd(0);
        if (waitForEnd(static_cast<int>(std::min<long long>(left, kWaitSliceMs))))
            return true;
        if (!progress.keepGoing())
            return waitForEnd(0);
    }
}

}  // namespace varenta
