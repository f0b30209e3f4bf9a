#pragma once
// Serial output of results records (start flag 0x20000): every results
// record the processing run writes goes out on an output port as one
// 512-byte packet after a lead byte 0x80, and can be logged to
// "tolvsout.log".  Output only; nothing is read back.
//
//     SerialOutput out(port, [](int ms) { pause(ms); });
//     panel = out.open(settings.value(86, 6));      // "COM1-9600"
//     out.send(header, number, record, switches, logPath, &statusText);
#include "common/masterfile.h"
#include "common/serialport.h"
#include "common/status.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace varenta {

// The port settings text "01,009600,n,8,1": port (characters 1-2), speed
// (4-9), parity (11), data bits (13), stop bits (the last character).
struct OutputPortSettings {
    int port = 0;
    int speed = 0;
    char parity = 'n';
    int dataBits = 8;
    int stopBits = 1;
};
OutputPortSettings parseOutputPortSettings(const std::string& text);

constexpr std::size_t kOutputPacketSize = 512;
constexpr std::uint8_t kOutputLeadByte = 0x80;
constexpr std::uint8_t kOutputPacketKind = 0x46;  // "F"
constexpr std::size_t kOutputRecordOffset = 8;
constexpr int kOutputLeadPauseMs = 20;
constexpr int kOutputReopenPauseMs = 1000;

// Log switches (item 86 value 7).
namespace soutlog {
constexpr int kText = 0x01;
constexpr int kHex = 0x02;
}  // namespace soutlog

inline constexpr const char* kOutputLogName = "sout.log";
inline constexpr const char* kOutputNotUsable = "-使用不可";

using OutputPacket = std::array<std::uint8_t, kOutputPacketSize>;

// The packet of a results record (UTF-8, 392 characters with its CR LF;
// written in the code page, cut or blank-filled to 392 bytes): header byte
// 0 and the machine number, "F", the check byte that makes the 8-bit sum
// 0, the measurement number's low 16 bits, the record at offset 8.
OutputPacket buildOutputPacket(const MeasurementHeader& header, long long measurement, const std::string& record);

// The log lines of a packet (UTF-8): the record text without its line end,
// then date, blank, time and ";" — and date, blank, time, ";" and the 512
// bytes in upper-case hexadecimal.
std::string outputLogTextLine(const OutputPacket& packet, const std::string& date, const std::string& time);
std::string outputLogHexLine(const OutputPacket& packet, const std::string& date, const std::string& time);

class SerialOutput {
public:
    using Wait = std::function<void(int milliseconds)>;
    SerialOutput(SerialPort& port, Wait wait, std::string portVariable = kOutputPortVariable);

    // Opens the port of the settings text; returns the status text: "COM1-9600",
    // "COM1-使用不可" when it cannot be opened, "" for port 0 or less (an
    // open port is then closed).
    std::string open(const std::string& settingsText);
    bool isOpen() const { return port_.isOpen(); }
    void close() { port_.close(); }

    // Sends the record's packet when the port is open (Refused otherwise,
    // Io when the port refused the bytes); statusText gets "送信[hh:mm]=" and
    // the record.  With log switches the lines are appended to logPath (the
    // text line first); a log that cannot be written gives Io in logStatus.
    struct Sent {
        Status status = Status::Refused;
        Status logStatus = Status::Ok;
        std::string statusText;
        OutputPacket packet{};
    };
    Sent send(const MeasurementHeader& header, long long measurement, const std::string& record, int logSwitches,
              const std::string& logPath);

    const std::string& device() const { return device_; }

private:
    SerialPort& port_;
    Wait wait_;
    std::string variable_;
    std::string device_;
};

}  // namespace varenta
