#include "tools/emulator/runner.h"

#include "brenlo24/link/posixport.h"

#include <algorithm>
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

// Writes what is due of the chunk in flight.  True while a chunk is in flight.
bool EmulatorRunner::writeSome(std::int64_t now)
{
    if (chunk_.empty() && chunkPos_ == 0)
        return false;
    if (!chunkStarted_) {
        if (now < chunkStartMs_)
            return true;
        chunkStarted_ = true;
        lineFreeMs_ = std::max(lineFreeMs_, static_cast<double>(now));
    }
    int speed;
    bool pace;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        speed = logger_->lineSpeed();
        pace = logger_->pacing();
    }
    std::size_t n = chunk_.size() - chunkPos_;
    const double byteMs = 10000.0 / std::max(1, speed);
    if (pace) {
        if (lineFreeMs_ > static_cast<double>(now))
            return true;
        const auto due = static_cast<std::size_t>((static_cast<double>(now) - lineFreeMs_) / byteMs) + 1;
        n = std::min(n, due);
    }
    const ssize_t w = ::write(masterFd_, chunk_.data() + chunkPos_, n);
    if (w > 0) {
        if (trace)
            trace('>', chunk_.data() + chunkPos_, static_cast<std::size_t>(w));
        chunkPos_ += static_cast<std::size_t>(w);
        written_ += static_cast<std::size_t>(w);
        if (pace)
            lineFreeMs_ += static_cast<double>(w) * byteMs;
    }
    if (chunkPos_ >= chunk_.size()) {
        chunk_.clear();
        chunkPos_ = 0;
        chunkStarted_ = false;
        return false;
    }
    return true;
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
                chunkStartMs_ = now + c.delayMs;
                if (c.delayMs > 0)
                    lineFreeMs_ = std::max(lineFreeMs_, static_cast<double>(chunkStartMs_));
            }
        }
        const bool inFlight = writeSome(now);
        bool more = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!inFlight && !logger_->hasOutput())
                logger_->outputDrained(appClock().tickMs());
            more = !inFlight && logger_->hasOutput();
            deadline = logger_->nextDeadline();
        }
        int timeout = 20;
        if (more)
            timeout = 0;  // the next chunk starts on the next pass
        else if (inFlight && !chunkStarted_)
            timeout = static_cast<int>(std::clamp<std::int64_t>(chunkStartMs_ - now, 0, 20));  // a stall
        else if (inFlight)
            timeout = 1;
        else if (deadline >= 0)
            timeout = static_cast<int>(std::clamp<std::int64_t>(deadline - now, 0, 20));
        pollfd p{masterFd_, POLLIN, 0};
        const int r = ::poll(&p, 1, timeout);
        if (r > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::read(masterFd_, buf, sizeof buf);
            if (n > 0) {
                if (trace)
                    trace('<', buf, static_cast<std::size_t>(n));
                std::lock_guard<std::mutex> lock(mutex_);
                logger_->receive(buf, static_cast<std::size_t>(n), appClock().tickMs());
            }
        } else if (r > 0 && (p.revents & (POLLHUP | POLLERR)) && !isPty_) {
            ::poll(nullptr, 0, timeout > 0 ? timeout : 1);
        }
    }
}

}  // namespace varenta::emu
