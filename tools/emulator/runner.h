#pragma once
// Puts the emulated logger on a line: a pseudo-terminal pair it creates
// (the PC side opens the slave path it prints) or a terminal device it is
// given.  The runner moves bytes between the line and the LoggerEmulator,
// paces its output at the line speed when asked (ten bits a byte), and runs
// either in a thread of its own (tests) or on the calling thread (the
// program).
#include "common/status.h"
#include "tools/emulator/logger.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace varenta::emu {

class EmulatorRunner {
public:
    explicit EmulatorRunner(EmulatorConfig cfg);
    ~EmulatorRunner();
    EmulatorRunner(const EmulatorRunner&) = delete;
    EmulatorRunner& operator=(const EmulatorRunner&) = delete;

    // Creates a pseudo-terminal pair; the PC side opens slavePath().
    Status openPty();
    // Serves an existing terminal device instead (a real serial port).
    Status openDevice(const std::string& path);
    const std::string& slavePath() const { return slavePath_; }
    const std::string& error() const { return error_; }

    // Runs in a thread of its own until stop().
    void start();
    void stop();
    // Runs on the calling thread until stopFlag is set.
    void run(const std::atomic<bool>& stopFlag);

    // Access to the logger under the runner's lock.
    template <class F>
    auto with(F f)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(*logger_);
    }
    EmulatorStats stats();
    std::string memoryImage();
    // Bytes written to the line so far.
    std::size_t bytesWritten() const { return written_; }

    // Optional trace of the line: '<' bytes from the PC, '>' bytes to it.
    std::function<void(char, const std::uint8_t*, std::size_t)> trace;

private:
    void loop(const std::atomic<bool>& stopFlag);
    std::int64_t writeSome();

    EmulatorConfig cfg_;
    std::unique_ptr<LoggerEmulator> logger_;
    std::mutex mutex_;
    int masterFd_ = -1;
    int slaveKeepFd_ = -1;  // keeps the slave side open between PC opens
    bool isPty_ = false;
    std::string slavePath_;
    std::string error_;
    std::thread thread_;
    std::atomic<bool> stopFlag_{false};
    std::atomic<std::size_t> written_{0};
    // transmission in progress
    std::vector<std::uint8_t> chunk_;
    std::size_t chunkPos_ = 0;
    std::int64_t chunkStartUs_ = -1;   // when the chunk may start (line microseconds)
    bool chunkStarted_ = false;
    double lineFreeUs_ = 0;            // paced: when the next byte may start
};

}  // namespace varenta::emu
