#pragma once
// A serial port on a POSIX terminal device (a real port or a pseudo-
// terminal), for tools and tests that run without a window system.  The
// owner drives it with poll(), which waits for input and raises the
// notifications; the bytes read from the device are kept in an input
// buffer from which bytesWaiting() and read() serve.
#include "common/serialport.h"

#include <vector>

namespace varenta {

// Sets any line speed on an open terminal (standard rates through termios,
// others through the kernel's arbitrary-rate interface).  False on failure.
bool setTerminalSpeed(int fd, int speed);
// Puts a terminal into raw 8N1 mode without handshaking.
bool makeTerminalRaw(int fd);
// Sets parity ('n', 'e', 'o', 'm', 's'), data bits (5-8) and stop bits (1,
// 2) of a terminal.  False for values outside these or on failure.
bool setTerminalFormat(int fd, char parity, int dataBits, int stopBits);

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    Status open(const std::string& device, int speed) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    Status setSpeed(int speed) override;
    Status setLineFormat(char parity, int dataBits, int stopBits) override;
    Status write(const std::uint8_t* data, std::size_t n) override;
    std::size_t bytesWaiting() override;
    std::size_t read(std::uint8_t* data, std::size_t max) override;
    void discardInput() override;
    void setDtr(bool on) override;
    void setRts(bool on) override;
    void postNotification() override { posted_ = true; }
    std::string lastError() const override { return error_; }

    // Waits up to timeoutMs for input (0: just look), raises the data
    // notification when bytes arrived or one was posted, and the error
    // notification once when the device goes away.  Returns true when a
    // notification was raised.
    bool poll(int timeoutMs);
    int fd() const { return fd_; }
    int speed() const { return speed_; }

private:
    void drain();
    void setModemLine(int bit, bool on);

    int fd_ = -1;
    int speed_ = 0;
    bool posted_ = false;
    bool hungUp_ = false;
    std::string error_;
    std::vector<std::uint8_t> buf_;
    std::size_t pos_ = 0;
};

}  // namespace varenta
