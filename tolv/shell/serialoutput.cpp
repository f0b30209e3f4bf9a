#include "tolv/shell/serialoutput.h"

#include "common/settings.h"
#include "common/textcodec.h"

#include <cstdio>
#include <fstream>

namespace varenta {

namespace {

int numberAt(const std::string& text, std::size_t pos, std::size_t n)
{
    if (pos >= text.size())
        return 0;
    return static_cast<int>(textToInt(text.substr(pos, n)));
}

}  // namespace

OutputPortSettings parseOutputPortSettings(const std::string& text)
{
    OutputPortSettings p;
    p.port = numberAt(text, 0, 2);
    p.speed = numberAt(text, 3, 6);
    if (text.size() > 10)
        p.parity = text[10];
    p.dataBits = numberAt(text, 12, 1);
    p.stopBits = text.empty() ? 0 : numberAt(text, text.size() - 1, 1);
    return p;
}

OutputPacket buildOutputPacket(const MeasurementHeader& header, long long measurement, const std::string& record)
{
    OutputPacket pk{};
    pk[0] = static_cast<std::uint8_t>(header.marker);
    pk[1] = static_cast<std::uint8_t>(header.machineNumber);
    pk[2] = kOutputPacketKind;
    const auto n = static_cast<std::uint16_t>(measurement & 0xFFFF);
    pk[4] = static_cast<std::uint8_t>(n & 0xFF);
    pk[5] = static_cast<std::uint8_t>(n >> 8);
    std::string bytes = toCodePage(record);
    bytes.resize(kResultsRecordSize, ' ');
    for (std::size_t i = 0; i < kResultsRecordSize; ++i)
        pk[kOutputRecordOffset + i] = static_cast<std::uint8_t>(bytes[i]);
    unsigned sum = 0;
    for (std::uint8_t b : pk)
        sum += b;
    pk[3] = static_cast<std::uint8_t>((256 - (sum & 0xFF)) & 0xFF);
    return pk;
}

std::string outputLogTextLine(const OutputPacket& packet, const std::string& date, const std::string& time)
{
    const std::string bytes(reinterpret_cast<const char*>(packet.data()) + kOutputRecordOffset,
                            kResultsRecordSize - 2);
    return fromCodePage(bytes) + date + " " + time + ";";
}

std::string outputLogHexLine(const OutputPacket& packet, const std::string& date, const std::string& time)
{
    std::string line = date + " " + time + ";";
    char hex[3];
    for (std::uint8_t b : packet) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line;
}

SerialOutput::SerialOutput(SerialPort& port, Wait wait, std::string portVariable)
    : port_(port), wait_(std::move(wait)), variable_(std::move(portVariable))
{
}

std::string SerialOutput::open(const std::string& settingsText)
{
    const OutputPortSettings p = parseOutputPortSettings(settingsText);
    if (p.port <= 0) {
        port_.close();
        return {};
    }
    const std::string base = "COM" + std::to_string(p.port);
    if (port_.isOpen()) {
        port_.close();
        if (wait_)
            wait_(kOutputReopenPauseMs);
    }
    device_ = portDevicePath(p.port, variable_);
    if (p.speed <= 0 || port_.open(device_, p.speed) != Status::Ok)
        return base + kOutputNotUsable;
    if (port_.setLineFormat(p.parity, p.dataBits, p.stopBits) != Status::Ok) {
        port_.close();
        return base + kOutputNotUsable;
    }
    port_.setDtr(true);
    port_.setRts(true);
    port_.discardInput();
    return base + "-" + std::to_string(p.speed);
}

SerialOutput::Sent SerialOutput::send(const MeasurementHeader& header, long long measurement,
                                      const std::string& record, int logSwitches, const std::string& logPath)
{
    Sent out;
    if (!port_.isOpen())
        return out;
    out.packet = buildOutputPacket(header, measurement, record);
    const std::uint8_t lead = kOutputLeadByte;
    out.status = port_.write(&lead, 1);
    if (out.status == Status::Ok) {
        if (wait_)
            wait_(kOutputLeadPauseMs);
        out.status = port_.write(out.packet.data(), out.packet.size());
    }
    std::string shown = record;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.pop_back();
    out.statusText = "送信[" + header.timeText.substr(0, 5) + "]=" + shown;

    if (logSwitches & (soutlog::kText | soutlog::kHex)) {
        std::string text;
        if (logSwitches & soutlog::kText)
            text += toCodePage(outputLogTextLine(out.packet, header.dateText, header.timeText)) + "\r\n";
        if (logSwitches & soutlog::kHex)
            text += toCodePage(outputLogHexLine(out.packet, header.dateText, header.timeText)) + "\r\n";
        std::ofstream f(logPath, std::ios::binary | std::ios::app);
        f.write(text.data(), static_cast<std::streamsize>(text.size()));
        f.flush();
        if (!f)
            out.logStatus = Status::Io;
    }
    return out;
}

}  // namespace varenta
