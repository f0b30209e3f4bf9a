#include "tools/emulator/runner.h"

#include "common/serialposix.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace varenta::emu {

EmulatorRunner::EmulatorRunner(EmulatorConfig cfg) : cfg_(std::move(cfg))
{
    logger_ = std::make_unique<LoggerEmulator>(cfg_, appClock().tickMs(), appClock().now());
    logger_->onSpeedChange = [this](int speed) {
        if (!isPty_ && masterFd_ >= 0)
            setTerminalSpeed(masterFd_, speed);
    };
}

EmulatorRunner::~EmulatorRunner()
{
    stop();
    if (masterFd_ >= 0)
        ::close(masterFd_);
    if (slaveKeepFd_ >= 0)
        ::close(slaveKeepFd_);
}

Status EmulatorRunner::openPty()
{
    const int m = posix_openpt(O_RDWR | O_NOCTTY);
    if (m < 0 || grantpt(m) != 0 || unlockpt(m) != 0) {
        error_ = std::string("pseudo-terminal: ") + std::strerror(errno);
        if (m >= 0)
            ::close(m);
        return Status::Io;
    }
    const char* name = ptsname(m);
    if (!name) {
        error_ = "pseudo-terminal has no slave name";
        ::close(m);
        return Status::Io;
    }
    const int s = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0 || !makeTerminalRaw(s)) {
        error_ = std::string(name) + ": " + std::strerror(errno);
        if (s >= 0)
            ::close(s);
        ::close(m);
        return Status::Io;
    }
    fcntl(m, F_SETFL, fcntl(m, F_GETFL) | O_NONBLOCK);
    fcntl(m, F_SETFD, FD_CLOEXEC);
    masterFd_ = m;
    slaveKeepFd_ = s;
    slavePath_ = name;
    isPty_ = true;
    return Status::Ok;
}

Status EmulatorRunner::openDevice(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error_ = path + ": " + std::strerror(errno);
        return errno == ENOENT ? Status::NotFound : Status::Io;
    }
    if (!makeTerminalRaw(fd) || !setTerminalSpeed(fd, cfg_.lineSpeed)) {
        error_ = path + ": cannot set the line up";
        ::close(fd);
        return Status::Io;
    }
    masterFd_ = fd;
    slavePath_ = path;
    isPty_ = false;
    return Status::Ok;
}

void EmulatorRunner::start()
{
    if (thread_.joinable())
        return;
    stopFlag_ = false;
    thread_ = std::thread([this] { loop(stopFlag_); });
}

void EmulatorRunner::stop()
{
    stopFlag_ = true;
    if (thread_.joinable())
        thread_.join();
}

void EmulatorRunner::run(const std::atomic<bool>& stopFlag) { loop(stopFlag); }

EmulatorStats EmulatorRunner::stats()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return logger_->stats();
}

std::string EmulatorRunner::memoryImage()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return logger_->memory().image();
}

namespace {

// The line's own time base for pacing, in microseconds (the logger's clock
// and time-outs run on the program clock's milliseconds).
std::int64_t lineMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

// Writes what is due of the chunk in flight.  Returns the microseconds to
// wait before more is due (0: write again at once), or -1 when no chunk is
// in flight any more.
std::int64_t EmulatorRunner::writeSome()
{
    if (chunk_.empty())
        return -1;
    const std::int64_t now = lineMicros();
    if (!chunkStarted_) {
        if (now < chunkStartUs_)
            return chunkStartUs_ - now;
        chunkStarted_ = true;
        lineFreeUs_ = std::max(lineFreeUs_, static_cast<double>(now));
    }
    int speed;
    bool pace;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        speed = logger_->lineSpeed();
        pace = logger_->pacing();
    }
    const std::size_t left = chunk_.size() - chunkPos_;
    std::size_t n = left;
    const double byteUs = 1e7 / std::max(1, speed);  // ten bits a byte
    if (pace) {
        // Bytes whose transmission has started by now.
        const double ahead = static_cast<double>(now) - lineFreeUs_;
        if (ahead < 0)
            return static_cast<std::int64_t>(-ahead) + 1;
        n = std::min(left, static_cast<std::size_t>(ahead / byteUs) + 1);
    }
    const ssize_t w = ::write(masterFd_, chunk_.data() + chunkPos_, n);
    if (w > 0) {
        if (trace)
            trace('>', chunk_.data() + chunkPos_, static_cast<std::size_t>(w));
        chunkPos_ += static_cast<std::size_t>(w);
        written_ += static_cast<std::size_t>(w);
        if (pace)
            lineFreeUs_ += static_cast<double>(w) * byteUs;
    }
    if (chunkPos_ >= chunk_.size()) {
        chunk_.clear();
        chunkPos_ = 0;
        chunkStarted_ = false;
        return -1;
    }
    if (w <= 0)
        return 1000;  // the line is full: try again in a millisecond
    if (!pace)
        return 0;
    // Wake when a few more bytes are due, so that a write carries several.
    const std::size_t batch = std::min<std::size_t>(chunk_.size() - chunkPos_, 64);
    const double wake = lineFreeUs_ + static_cast<double>(batch - 1) * byteUs - static_cast<double>(lineMicros());
    return std::max<std::int64_t>(0, static_cast<std::int64_t>(wake));
}

void EmulatorRunner::loop(const std::atomic<bool>& stopFlag)
{
    std::uint8_t buf[4096];
    while (!stopFlag) {
        const std::int64_t now = appClock().tickMs();
        std::int64_t deadline;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            logger_->tick(now);
            if (chunk_.empty() && logger_->hasOutput()) {
                LoggerEmulator::Chunk c = logger_->takeOutput();
                chunk_ = std::move(c.bytes);
                chunkPos_ = 0;
                chunkStarted_ = false;
                chunkStartUs_ = lineMicros() + static_cast<std::int64_t>(c.delayMs) * 1000;
                if (c.delayMs > 0)
                    lineFreeUs_ = std::max(lineFreeUs_, static_cast<double>(chunkStartUs_));
            }
        }
        const std::int64_t waitUs = writeSome();
        bool more = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (waitUs < 0 && !logger_->hasOutput())
                logger_->outputDrained(appClock().tickMs());
            more = waitUs < 0 && logger_->hasOutput();
            deadline = logger_->nextDeadline();
        }
        std::int64_t timeoutUs = 20000;
        if (more)
            timeoutUs = 0;  // the next chunk starts on the next pass
        else if (waitUs >= 0)
            timeoutUs = std::min<std::int64_t>(waitUs, 20000);
        else if (deadline >= 0)
            timeoutUs = std::clamp<std::int64_t>((deadline - now) * 1000, 0, 20000);
        pollfd p{masterFd_, POLLIN, 0};
        const timespec ts{static_cast<time_t>(timeoutUs / 1000000), static_cast<long>((timeoutUs % 1000000) * 1000)};
        const int r = ::ppoll(&p, 1, &ts, nullptr);
        if (r > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::read(masterFd_, buf, sizeof buf);
            if (n > 0) {
                if (trace)
                    trace('<', buf, static_cast<std::size_t>(n));
                std::lock_guard<std::mutex> lock(mutex_);
                logger_->receive(buf, static_cast<std::size_t>(n), appClock().tickMs());
            }
        } else if (r > 0 && (p.revents & (POLLHUP | POLLERR)) && !isPty_) {
            // A real port that went away: do not spin.
            const timespec pauseTs{0, 20 * 1000 * 1000};
            ::nanosleep(&pauseTs, nullptr);
        }
    }
}

}  // namespace varenta::emu
