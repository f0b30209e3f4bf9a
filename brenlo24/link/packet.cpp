#include "brenlo24/link/packet.h"

#include "common/bytes.h"
#include "common/numeric.h"
#include "common/settings.h"

namespace varenta {

bool kindWantsAck(std::uint8_t kind)
{
    const int k = kind & 0xCF;
    return k == 0x83 || k == 0x41 || k == 0x46 || k == 0xC6;
}

bool receivedHeaderValid(const Packet& p)
{
    return p[0] == kPacketMarker && p[12] >= 1 && p[12] <= 12 && p[11] >= 1 && p[11] <= 31 && p[10] <= 23 &&
           p[9] < 60 && p[8] < 60 && p[14] >= 1 && p[14] <= 60;
}

std::uint8_t measurementFlags(const std::array<bool, 8>& boxes, std::uint8_t lastStatusFlags)
{
    std::uint8_t f = 0;
    for (int i = 1; i <= 3; ++i)
        if (boxes[static_cast<std::size_t>(i)])
            f |= static_cast<std::uint8_t>(i);
    if (boxes[4])
        f |= kFlagUpward;
    if (boxes[5])
        f |= kFlagFixed;
    if (boxes[6])
        f |= kFlagXY;
    if (boxes[7])
        f |= kFlagStillWater;
    f |= lastStatusFlags & kFlagFromStatus;
    return f;
}

namespace {
struct SpeedCode {
    int speed;
    std::uint8_t code;
};
constexpr SpeedCode kSpeedCodes[] = {
    {1200, 0x00},   {2400, 0x10},   {4800, 0x20},   {9600, 0x30},   {19200, 0x40},  {38400, 0x50},
    {57600, 0x60},  {115200, 0x70}, {230400, 0x80}, {460800, 0x90}, {921600, 0xA0},
};
}  // namespace

std::uint8_t lineSpeedCode(int speed)
{
    for (const auto& sc : kSpeedCodes)
        if (sc.speed == speed)
            return sc.code;
    return 0x50;
}

std::optional<int> speedForCode(std::uint8_t code)
{
    for (const auto& sc : kSpeedCodes)
        if (sc.code == code)
            return sc.speed;
    return std::nullopt;
}

int receiveTimeoutMs(int speed)
{
    if (speed <= 0)
        return 0;
    return roundEvenInt(512.0 * 20000.0 / speed + 1000.0);
}

int transmissionPauseMs(int speed)
{
    if (speed <= 0)
        return 0;
    return roundEvenInt(512.0 * 10000.0 / speed + 5.0);
}

std::optional<std::uint8_t> parseCommandCode(std::string_view code)
{
    if (code.size() != 2)
        return std::nullopt;
    const int hi = hexDigit(code[0]);
    const int lo = hexDigit(code[1]);
    if (hi < 0 || lo < 0)
        return std::nullopt;
    return static_cast<std::uint8_t>(hi * 16 + lo);
}

std::optional<Packet> parseHexImage(std::string_view hex)
{
    if (hex.size() > kPacketSize * 2 || hex.size() % 2 != 0)
        return std::nullopt;
    Packet p{};
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = hexDigit(hex[i]);
        const int lo = hexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        p[i / 2] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return p;
}

std::string hexImage(const Packet& p)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(kPacketSize * 2);
    for (std::uint8_t b : p) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

std::optional<Packet> buildCommandPacket(std::string_view code, int mode, const CommandParameters& par,
                                         std::uint8_t lastStatusFlags, const DateTime& now)
{
    Packet p{};
    std::uint8_t codeByte = 0;
    if (code.size() > 2) {
        auto image = parseHexImage(code);
        if (!image)
            return std::nullopt;
        p = *image;
        if (mode & sendmode::kRawImage) {
            // The image goes out as it stands; only the checksum is set, so
            // that the 512 bytes sum to 0 whatever byte 3 held before.
            fixSectorChecksum(p.data());
            return p;
        }
    } else {
        auto c = parseCommandCode(code);
        if (!c)
            return std::nullopt;
        codeByte = *c;
    }
    p[cmd::marker] = kPacketMarker;
    p[cmd::machine] = static_cast<std::uint8_t>(((par.machineNumber % 256) + 256) % 256);
    p[cmd::kind] = kCommandKind;
    p[cmd::checksum] = 0;
    if (!(mode & sendmode::kHeadOnly)) {
        p[cmd::code] = codeByte;
        p[cmd::duration] = static_cast<std::uint8_t>(par.durationMinutes);
        p[cmd::interval] = static_cast<std::uint8_t>(par.intervalMinutes);
        p[cmd::flags] = measurementFlags(par.flagBoxes, lastStatusFlags);
        p[cmd::startMinute] = static_cast<std::uint8_t>(par.startMinute);
        p[cmd::startHour] = static_cast<std::uint8_t>(par.startHour);
        putU32(p.data(), cmd::firstNumber, static_cast<std::uint32_t>(par.firstNumber));
        putU32(p.data(), cmd::lastNumber, static_cast<std::uint32_t>(par.lastNumber));
        p[cmd::speedCode] = lineSpeedCode(par.selectedSpeed);
        for (std::size_t i = 0; i < cmd::channelSlotCount; ++i)
            p[cmd::channelSlots + i] = par.channelSlots[i];
        p[cmd::clockSecond + 0] = static_cast<std::uint8_t>(now.second);
        p[cmd::clockSecond + 1] = static_cast<std::uint8_t>(now.minute);
        p[cmd::clockSecond + 2] = static_cast<std::uint8_t>(now.hour);
        p[cmd::clockSecond + 3] = static_cast<std::uint8_t>(now.day);
        p[cmd::clockSecond + 4] = static_cast<std::uint8_t>(now.month);
        p[cmd::clockSecond + 5] = static_cast<std::uint8_t>(now.year - 2000);
    }
    fixSectorChecksum(p.data());
    return p;
}

}  // namespace varenta
