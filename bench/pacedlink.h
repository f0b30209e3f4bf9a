#pragma once
// A device link over a pseudo-terminal to the logger emulator pacing at the
// line speed, as the collection benchmarks use it.
#include "brenlo24/link/link.h"
#include "brenlo24/link/pollhost.h"
#include "common/serialposix.h"
#include "common/clock.h"
#include "tools/emulator/runner.h"

#include <cstdint>
#include <functional>
#include <string>

namespace varenta::bench {

// An emulator holding `sectors` data sectors (two a measurement) that it
// sends at `speed` baud.
inline emu::EmulatorConfig pacedEmulator(int sectors, int speed)
{
    emu::EmulatorConfig cfg;
    cfg.recording.durationMinutes = 1;  // two sectors a measurement
    cfg.recording.intervalMinutes = 10;
    cfg.recording.cheapSynthesis = true;
    cfg.prefillMeasurements = sectors / 2;
    cfg.pace = true;
    cfg.lineSpeed = speed;
    return cfg;
}

struct PacedLink {
    emu::EmulatorRunner runner;
    PosixSerialPort port;
    SerialLine line{port};
    PollHost host{port};
    DeviceLink link{line, host};

    explicit PacedLink(const emu::EmulatorConfig& cfg) : runner(cfg) {}

    // Starts the emulator and opens the line to it; false without a
    // pseudo-terminal.
    bool start(PacketHandler& handler, int speed, const std::string& dumpFolder)
    {
        if (runner.openPty() != Status::Ok)
            return false;
        runner.start();
        host.attach(&link);
        link.setHandler(&handler);
        port.open(runner.slavePath(), speed);
        link.setLineSpeed(speed);
        link.flushAndRearm();
        link.setDumpFolder(dumpFolder);
        return true;
    }

    // Sends the collection command and serves the line until `sectors` are
    // stored or the receive timer runs out.  Returns the tick of the last
    // store (t0 when nothing arrived).
    std::int64_t collect(const std::function<std::size_t()>& stored, int sectors, std::int64_t t0)
    {
        std::int64_t last = t0;
        std::size_t seen = 0;
        link.sendCommand("54", sendmode::kArmTimeout);
        host.runUntil(
            [&] {
                const std::size_t n = stored();
                if (n != seen) {
                    seen = n;
                    last = appClock().tickMs();
                }
                return n >= static_cast<std::size_t>(sectors) || !host.timerRunning();
            },
            600000);
        return last;
    }
};

}  // namespace varenta::bench
