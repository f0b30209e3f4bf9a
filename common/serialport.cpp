#include "common/serialport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace varenta {

std::string portDevicePath(int portNumber, const std::string& variablePrefix)
{
    const std::string var = variablePrefix + std::to_string(portNumber);
    if (const char* p = std::getenv(var.c_str()); p && *p)
        return p;
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

std::string hexTraceText(char direction, const std::uint8_t* data, std::size_t n)
{
    std::string out;
    out.reserve(n * 3 + 8 + n / 16 * 3);
    char buf[4];
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 16 == 0) {
            if (i)
                out += '\n';
            out += i ? ' ' : direction;
            out += ' ';
        } else {
            out += ' ';
        }
        std::snprintf(buf, sizeof buf, "%02X", data[i]);
        out += buf;
    }
    if (n == 0)
        out += direction;
    return out;
}

// ---- SerialLine ----

SerialLine::SerialLine(SerialPort& port) : port_(port)
{
    port_.onDataReceived = [this] { onPortData(); };
    port_.onError = [this](int e) { onPortError(e); };
}

SerialLine::~SerialLine()
{
    port_.onDataReceived = nullptr;
    port_.onError = nullptr;
}

bool SerialLine::thresholdMet() { return threshold_ > 0 && port_.isOpen() && port_.bytesWaiting() >= threshold_; }

void SerialLine::setThreshold(std::size_t n)
{
    threshold_ = n;
    if (!thresholdMet())
        return;
    if (inHandler_)
        again_ = true;
    else
        port_.postNotification();
}

void SerialLine::onPortData()
{
    if (inHandler_) {
        again_ = true;
        return;
    }
    inHandler_ = true;
    do {
        again_ = false;
        if (!handler_)
            break;
        if (port_.isOpen() && port_.bytesWaiting() > kInputBufferSize) {
            // The input buffer overflowed: what does not fit is lost, as on
            // the line; the receiver hears of it as an error event.
            ++events_;
            handler_(Event{kSerialRxOver, port_.bytesWaiting()});
            continue;
        }
        if (!thresholdMet())
            break;
        ++events_;
        handler_(Event{0, port_.bytesWaiting()});
    } while (again_);
    inHandler_ = false;
}

void SerialLine::onPortError(int event)
{
    if (!handler_)
        return;
    ++events_;
    handler_(Event{event, port_.isOpen() ? port_.bytesWaiting() : 0});
}

std::size_t SerialLine::read(std::vector<std::uint8_t>& out)
{
    const std::size_t avail = port_.bytesWaiting();
    const std::size_t want = readLength_ == 0 ? avail : std::min(avail, readLength_);
    out.resize(want);
    const std::size_t got = want ? port_.read(out.data(), want) : 0;
    out.resize(got);
    if (trace_ && got)
        trace_('<', out.data(), got);
    return got;
}

Status SerialLine::write(const std::uint8_t* data, std::size_t n)
{
    if (!port_.isOpen())
        return Status::Io;
    const Status st = port_.write(data, n);
    if (trace_ && st == Status::Ok)
        trace_('>', data, n);
    return st;
}

// ---- FakeSerialPort ----

Status FakeSerialPort::open(const std::string& device, int speed)
{
    if (failOpen)
        return Status::Io;
    open_ = true;
    ++opens_;
    device_ = device;
    speed_ = speed;
    dtr_ = rts_ = true;
    input_.clear();
    readPos_ = 0;
    return Status::Ok;
}

void FakeSerialPort::close()
{
    open_ = false;
    input_.clear();
    readPos_ = 0;
}

Status FakeSerialPort::setSpeed(int speed)
{
    if (!open_ || failSpeed || speed <= 0)
        return Status::Io;
    speed_ = speed;
    return Status::Ok;
}

Status FakeSerialPort::write(const std::uint8_t* data, std::size_t n)
{
    if (!open_ || failWrite)
        return Status::Io;
    written_.insert(written_.end(), data, data + n);
    if (onWrite)
        onWrite(data, n);
    return Status::Ok;
}

std::size_t FakeSerialPort::read(std::uint8_t* data, std::size_t max)
{
    const std::size_t n = std::min(max, bytesWaiting());
    std::copy_n(input_.begin() + static_cast<std::ptrdiff_t>(readPos_), n, data);
    readPos_ += n;
    if (readPos_ == input_.size()) {
        input_.clear();
        readPos_ = 0;
    }
    return n;
}

void FakeSerialPort::discardInput()
{
    input_.clear();
    readPos_ = 0;
}

void FakeSerialPort::feed(const std::uint8_t* data, std::size_t n, bool notify)
{
    if (!open_)
        return;
    input_.insert(input_.end(), data, data + n);
    if (notify)
        notifyData();
    deliverPosted();
}

int FakeSerialPort::deliverPosted()
{
    int n = 0;
    while (posted_ && n < 1000) {
        posted_ = false;
        ++n;
        notifyData();
    }
    return n;
}

}  // namespace varenta
