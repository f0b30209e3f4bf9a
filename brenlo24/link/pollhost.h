#pragma once
// A LinkHost for programs and tests without a window system: it serves the
// events of a PosixSerialPort with poll() and runs the receive time-out
// timer against the clock.  The status line and the beeps are recorded.
#include "brenlo24/link/link.h"
#include "common/serialposix.h"

#include <functional>
#include <string>
#include <vector>

namespace varenta {

class PollHost final : public LinkHost {
public:
    explicit PollHost(PosixSerialPort& port) : port_(port) {}
    void attach(DeviceLink* link) { link_ = link; }

    void showStatus(const std::string& text) override;
    void beep() override { ++beeps_; }
    void showKindIndicators(int bits) override { indicators_ = bits; }
    void sleepMs(int ms) override;
    void serveEvents() override { runOnce(0); }
    void waitEvents() override { runOnce(50); }
    void startReceiveTimer(int ms) override;
    void stopReceiveTimer() override { deadline_ = -1; }

    // Serves the port and the timer once, waiting up to timeoutMs.
    void runOnce(int timeoutMs);
    // Serves events until pred() holds or ms have passed; true when pred held.
    bool runUntil(const std::function<bool()>& pred, int ms);
    void runFor(int ms);

    const std::vector<std::string>& statusLog() const { return log_; }
    const std::string& status() const { return status_; }
    int beeps() const { return beeps_; }
    int indicators() const { return indicators_; }
    bool timerRunning() const { return deadline_ >= 0; }
    std::function<void(const std::string&)> onStatus;

private:
    PosixSerialPort& port_;
    DeviceLink* link_ = nullptr;
    std::int64_t deadline_ = -1;
    std::string status_;
    std::vector<std::string> log_;
    int beeps_ = 0;
    int indicators_ = 0;
};

}  // namespace varenta
