#pragma once
// The serial port seam.  SerialPort is what the link needs from a port:
// open by device path and speed, change the speed of the open port, write,
// bytes waiting, read, discard input, DTR/RTS, and two notifications (data
// received, line error).  Implementations: the QSerialPort one of the
// window program, PosixSerialPort (termios, for tools and tests without a
// window system) and FakeSerialPort (in memory, for tests).
//
// SerialLine sits on top of a port and adds what the receiver relies on:
// the receive threshold (an event once at least N bytes wait, carrying the
// count; setting a threshold that the waiting bytes already meet raises the
// event at once), the read length, the 8192-byte input buffer limit, and
// the hex trace of every read and write.
#include "common/status.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varenta {

// Error event numbers of the serial line (shown as "RS-232C-" + number).
enum SerialErrorEvent : int {
    kSerialBreak = 1001,
    kSerialFrame = 1004,
    kSerialOverrun = 1006,
    kSerialRxOver = 1008,
    kSerialRxParity = 1009,
    kSerialTxFull = 1010,
    kSerialDeviceGone = 1011,
};

constexpr std::size_t kInputBufferSize = 8192;
constexpr std::size_t kOutputBufferSize = 512;

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the device with 8 data bits, no parity, 1 stop bit, no
    // handshaking, binary input, DTR and RTS on.
    virtual Status open(const std::string& device, int speed) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Changes only the line speed of the open port (any value the driver takes).
    virtual Status setSpeed(int speed) = 0;
    // Changes parity ('n', 'e', 'o', 'm', 's', either case), data bits (5 to
    // 8) and stop bits (1 or 2) of the open port.  Ports that only know
    // 8N1 refuse anything else.
    virtual Status setLineFormat(char parity, int dataBits, int stopBits)
    {
        const bool plain = (parity == 'n' || parity == 'N') && dataBits == 8 && stopBits == 1;
        return !isOpen() ? Status::Io : plain ? Status::Ok : Status::Refused;
    }
    // Writes all bytes (queued for sending); Io when the port refuses.
    virtual Status write(const std::uint8_t* data, std::size_t n) = 0;
    virtual std::size_t bytesWaiting() = 0;
    // Reads up to max waiting bytes; returns the count read.
    virtual std::size_t read(std::uint8_t* data, std::size_t max) = 0;
    virtual void discardInput() = 0;
    virtual void setDtr(bool on) = 0;
    virtual void setRts(bool on) = 0;
    // Asks for the data-received notification to be delivered soon from the
    // event loop (not from inside this call).
    virtual void postNotification() = 0;
    // Human-readable text of the last failure (for logs).
    virtual std::string lastError() const { return {}; }

    // Notifications, called by the implementation from its event loop.
    std::function<void()> onDataReceived;
    std::function<void(int event)> onError;

protected:
    void notifyData()
    {
        if (onDataReceived)
            onDataReceived();
    }
    void notifyError(int event)
    {
        if (onError)
            onError(event);
    }
};

// Device path of port number N ("COMN"): the environment variable named by
// the prefix and N (BRENLO24_COMN for the communication program, TOLV_COMN
// for the processing program's output) when set and not empty, else
// /dev/ttyS(N-1).
inline constexpr const char* kLinkPortVariable = "BRENLO24_COM";
inline constexpr const char* kOutputPortVariable = "TOLV_COM";
std::string portDevicePath(int portNumber, const std::string& variablePrefix = kLinkPortVariable);

// One line of the debug trace: direction ('<' read, '>' written) and bytes.
using SerialTraceSink = std::function<void(char direction, const std::uint8_t* data, std::size_t n)>;
// "> 5A FF 80 ..." (16 bytes a line, continuation lines indented).
std::string hexTraceText(char direction, const std::uint8_t* data, std::size_t n);

class SerialLine {
public:
    // Receive event: count is the number of bytes waiting.  An error event
    // carries its event number; a data event carries 0.
    struct Event {
        int error = 0;
        std::size_t waiting = 0;
    };
    using Handler = std::function<void(const Event&)>;

    explicit SerialLine(SerialPort& port);
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    SerialPort& port() { return port_; }
    void setHandler(Handler h) { handler_ = std::move(h); }
    void setTrace(SerialTraceSink sink) { trace_ = std::move(sink); }

    // Threshold 0 switches receive events off.  Setting a threshold that the
    // bytes already waiting meet raises the event at once: within the
    // handler it runs again right after the handler returns, elsewhere it
    // is posted to the event loop.
    void setThreshold(std::size_t n);
    std::size_t threshold() const { return threshold_; }
    // Bytes one read() takes at most (0: all waiting).
    void setReadLength(std::size_t n) { readLength_ = n; }
    std::size_t readLength() const { return readLength_; }

    std::size_t waiting() { return port_.bytesWaiting(); }
    // Reads up to the read length into out (replacing its contents).
    std::size_t read(std::vector<std::uint8_t>& out);
    Status write(const std::uint8_t* data, std::size_t n);
    void discardInput() { port_.discardInput(); }

    // Counters for tests and the debug log.
    std::size_t eventsRaised() const { return events_; }

private:
    void onPortData();
    void onPortError(int event);
    bool thresholdMet();

    SerialPort& port_;
    Handler handler_;
    SerialTraceSink trace_;
    std::size_t threshold_ = 1;
    std::size_t readLength_ = 1;
    bool inHandler_ = false;
    bool again_ = false;
    std::size_t events_ = 0;
};

// In-memory port for tests: feed() puts bytes into the input as the device
// would, written() holds everything the program wrote.
class FakeSerialPort final : public SerialPort {
public:
    Status open(const std::string& device, int speed) override;
    void close() override;
    bool isOpen() const override { return open_; }
    Status setSpeed(int speed) override;
    Status setLineFormat(char parity, int dataBits, int stopBits) override
    {
        if (!open_)
            return Status::Io;
        parity_ = parity;
        dataBits_ = dataBits;
        stopBits_ = stopBits;
        return Status::Ok;
    }
    Status write(const std::uint8_t* data, std::size_t n) override;
    std::size_t bytesWaiting() override { return input_.size() - readPos_; }
    std::size_t read(std::uint8_t* data, std::size_t max) override;
    void discardInput() override;
    void setDtr(bool on) override { dtr_ = on; }
    void setRts(bool on) override { rts_ = on; }
    void postNotification() override { posted_ = true; }

    // Device side.
    void feed(const std::uint8_t* data, std::size_t n, bool notify = true);
    void feed(const std::vector<std::uint8_t>& bytes, bool notify = true) { feed(bytes.data(), bytes.size(), notify); }
    // Raises the data notification (as the driver would on arrival).
    void notify() { notifyData(); }
    // Delivers posted notifications until none is pending; returns how many ran.
    int deliverPosted();
    void raiseError(int event) { notifyError(event); }

    // Test controls and observations.
    bool failOpen = false;
    bool failSpeed = false;
    bool failWrite = false;
    std::function<void(const std::uint8_t*, std::size_t)> onWrite;  // the device listening
    const std::vector<std::uint8_t>& written() const { return written_; }
    void clearWritten() { written_.clear(); }
    const std::string& device() const { return device_; }
    int speed() const { return speed_; }
    bool dtr() const { return dtr_; }
    bool rts() const { return rts_; }
    bool posted() const { return posted_; }
    int openCount() const { return opens_; }
    char parity() const { return parity_; }
    int dataBits() const { return dataBits_; }
    int stopBits() const { return stopBits_; }

private:
    bool open_ = false;
    bool dtr_ = false;
    bool rts_ = false;
    bool posted_ = false;
    int opens_ = 0;
    int speed_ = 0;
    char parity_ = 'n';
    int dataBits_ = 8;
    int stopBits_ = 1;
    std::string device_;
    std::vector<std::uint8_t> input_;
    std::size_t readPos_ = 0;
    std::vector<std::uint8_t> written_;
};

}  // namespace varenta
