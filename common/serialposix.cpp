#include "common/serialposix.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace varenta {

bool setTerminalSpeedAny(int fd, int speed);  // serialtermspeed.cpp

namespace {

speed_t standardRate(int speed)
{
    switch (speed) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
    }
}

}  // namespace

bool makeTerminalRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS | CSIZE);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool setTerminalSpeed(int fd, int speed)
{
    if (speed <= 0)
        return false;
    const speed_t rate = standardRate(speed);
    if (rate == B0)
        return setTerminalSpeedAny(fd, speed);
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfsetispeed(&t, rate);
    cfsetospeed(&t, rate);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool setTerminalFormat(int fd, char parity, int dataBits, int stopBits)
{
    tcflag_t size = 0;
    switch (dataBits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
    }
    if (stopBits != 1 && stopBits != 2)
        return false;
    tcflag_t par = 0;
    switch (parity) {
    case 'n': case 'N': break;
    case 'e': case 'E': par = PARENB; break;
    case 'o': case 'O': par = PARENB | PARODD; break;
    case 'm': case 'M': par = PARENB | PARODD | CMSPAR; break;
    case 's': case 'S': par = PARENB | CMSPAR; break;
    default: return false;
    }
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR);
    t.c_cflag |= size | par | (stopBits == 2 ? CSTOPB : 0);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

PosixSerialPort::~PosixSerialPort() { close(); }

Status PosixSerialPort::setLineFormat(char parity, int dataBits, int stopBits)
{
    if (fd_ < 0)
        return Status::Io;
    if (!setTerminalFormat(fd_, parity, dataBits, stopBits)) {
        error_ = "line format refused";
        return Status::Refused;
    }
    return Status::Ok;
}

Status PosixSerialPort::open(const std::string& device, int speed)
{
    close();
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error_ = device + ": " + std::strerror(errno);
        return errno == ENOENT ? Status::NotFound : Status::Io;
    }
    if (!isatty(fd) || !makeTerminalRaw(fd)) {
        error_ = device + ": not a terminal";
        ::close(fd);
        return Status::Io;
    }
    if (!setTerminalSpeed(fd, speed)) {
        error_ = device + ": line speed " + std::to_string(speed) + " refused";
        ::close(fd);
        return Status::Io;
    }
    fd_ = fd;
    speed_ = speed;
    hungUp_ = false;
    setDtr(true);
    setRts(true);
    discardInput();
    return Status::Ok;
}

void PosixSerialPort::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    buf_.clear();
    pos_ = 0;
    posted_ = false;
}

Status PosixSerialPort::setSpeed(int speed)
{
    if (fd_ < 0 || !setTerminalSpeed(fd_, speed))
        return Status::Io;
    speed_ = speed;
    return Status::Ok;
}

Status PosixSerialPort::write(const std::uint8_t* data, std::size_t n)
{
    if (fd_ < 0)
        return Status::Io;
    while (n > 0) {
        const ssize_t w = ::write(fd_, data, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                pollfd p{fd_, POLLOUT, 0};
                if (::poll(&p, 1, 2000) <= 0) {
                    error_ = "write timed out";
                    return Status::Io;
                }
                continue;
            }
            error_ = std::strerror(errno);
            return Status::Io;
        }
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return Status::Ok;
}

void PosixSerialPort::drain()
{
    if (fd_ < 0 || hungUp_)
        return;
    std::uint8_t tmp[4096];
    for (;;) {
        const ssize_t r = ::read(fd_, tmp, sizeof tmp);
        if (r > 0) {
            if (pos_ > 0 && pos_ == buf_.size()) {
                buf_.clear();
                pos_ = 0;
            }
            buf_.insert(buf_.end(), tmp, tmp + r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno == EIO)
            hungUp_ = true;
        break;
    }
}

std::size_t PosixSerialPort::bytesWaiting()
{
    drain();
    return buf_.size() - pos_;
}

std::size_t PosixSerialPort::read(std::uint8_t* data, std::size_t max)
{
    drain();
    const std::size_t n = std::min(max, buf_.size() - pos_);
    std::memcpy(data, buf_.data() + pos_, n);
    pos_ += n;
    if (pos_ == buf_.size()) {
        buf_.clear();
        pos_ = 0;
    }
    return n;
}

void PosixSerialPort::discardInput()
{
    if (fd_ >= 0)
        tcflush(fd_, TCIFLUSH);
    buf_.clear();
    pos_ = 0;
}

void PosixSerialPort::setModemLine(int bit, bool on)
{
    if (fd_ < 0)
        return;
    // Pseudo-terminals have no modem lines; the request is then ignored.
    ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit);
}

void PosixSerialPort::setDtr(bool on) { setModemLine(TIOCM_DTR, on); }
void PosixSerialPort::setRts(bool on) { setModemLine(TIOCM_RTS, on); }

bool PosixSerialPort::poll(int timeoutMs)
{
    if (posted_) {
        posted_ = false;
        notifyData();
        return true;
    }
    if (fd_ < 0 || hungUp_) {
        if (timeoutMs > 0)
            ::poll(nullptr, 0, timeoutMs);
        return false;
    }
    const std::size_t before = buf_.size() - pos_;
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, timeoutMs);
    if (r > 0 && (p.revents & POLLIN))
        drain();
    const bool gone = (r > 0 && (p.revents & (POLLHUP | POLLERR)) && !(p.revents & POLLIN)) || hungUp_;
    if (gone) {
        hungUp_ = true;
        error_ = "device hung up";
        notifyError(kSerialDeviceGone);
        return true;
    }
    // Bytes that arrived, or bytes a bytesWaiting() call took in without a
    // notification: the line's threshold test decides whether they count.
    if (buf_.size() - pos_ != before || buf_.size() > pos_) {
        notifyData();
        return true;
    }
    return false;
}

}  // namespace varenta
