#pragma once
// The 512-byte packets between the PC and the logger: layout, checksum,
// kind byte, the command packet builder, line-speed codes and the timing
// figures that follow from the line speed.
#include "common/clock.h"
#include "common/sector.h"
#include "common/status.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varenta {

constexpr std::size_t kPacketSize = 512;
using Packet = Sector;

constexpr std::uint8_t kPacketMarker = 0x5A;   // 'Z'
constexpr std::uint8_t kShortMarker = 0x52;    // 'R': a 20-byte packet the PC drops
constexpr std::size_t kShortPacketSize = 20;
constexpr std::uint8_t kWakeUpByte = 0x80;
constexpr std::uint8_t kAckByte = 0x06;
constexpr std::uint8_t kCommandKind = 0x80;    // byte 2 of every command packet
constexpr int kWakeUpPauseMs = 20;

// Command packet offsets.
namespace cmd {
constexpr std::size_t marker = 0;
constexpr std::size_t machine = 1;
constexpr std::size_t kind = 2;
constexpr std::size_t checksum = 3;
constexpr std::size_t packetNumber = 4;
constexpr std::size_t clockSecond = 8;  // 8..13: s, min, h, day, month, year-2000
constexpr std::size_t duration = 14;
constexpr std::size_t interval = 15;
constexpr std::size_t flags = 16;
constexpr std::size_t startMinute = 26;
constexpr std::size_t startHour = 27;
constexpr std::size_t firstNumber = 32;
constexpr std::size_t lastNumber = 36;
constexpr std::size_t code = 45;
constexpr std::size_t speedCode = 47;
constexpr std::size_t channelSlots = 64;
constexpr std::size_t channelSlotCount = 16;
}  // namespace cmd

// Kind byte (device to PC), low nibble.
enum PacketKind : int {
    kKindData = 1,
    kKindMonitor = 2,
    kKindHeader = 3,
    kKindEcho = 4,
    kKindDeviceInfo = 5,
    kKindResult = 6,
};
constexpr int kKindAutomaticBit = 0x08;   // sent by the logger on its own
constexpr int kKindAutomaticEcho = 12;    // low nibble of an automatic echo
constexpr int kKindHasNumber = 0x40;      // bit 6: head and packet number
constexpr int kKindHasStatus = 0x80;      // bit 7: the whole status block

inline int packetKindNibble(std::uint8_t kind) { return kind & 0x0F; }
// The acknowledgement rule: (kind AND 0xCF) is 0x83, 0x41, 0x46 or 0xC6.
bool kindWantsAck(std::uint8_t kind);
// Header validity test of a received header packet.
bool receivedHeaderValid(const Packet& p);

// Measurement flags of byte 16 from the eight boxes "1.0", "0.5", "0.2",
// "0.1", "上向", "固定", "XY", "静水"; bit 2 comes from the last status.
constexpr std::uint8_t kFlagUpward = 0x80;
constexpr std::uint8_t kFlagFixed = 0x40;
constexpr std::uint8_t kFlagXY = 0x20;
constexpr std::uint8_t kFlagStillWater = 0x10;
constexpr std::uint8_t kFlagFromStatus = 0x04;
std::uint8_t measurementFlags(const std::array<bool, 8>& boxes, std::uint8_t lastStatusFlags);

// Line speed code of byte 47 (38400 and any unlisted speed: 0x50), and back.
std::uint8_t lineSpeedCode(int speed);
std::optional<int> speedForCode(std::uint8_t code);

// Receive time-out: 512 x 20000 / speed + 1000 ms, ties to even.
int receiveTimeoutMs(int speed);
// Transmission pause after a send: 512 x 10000 / speed + 5 ms, ties to even.
int transmissionPauseMs(int speed);

// What the window and tables put into a command packet.
struct CommandParameters {
    int machineNumber = 255;          // taken modulo 256
    int durationMinutes = 20;         // Combo3(0)
    int intervalMinutes = 20;         // Combo3(1)
    int startMinute = 0;              // Combo3(2)
    int startHour = 0;                // Combo3(3)
    std::array<bool, 8> flagBoxes{};  // Check1(0..7)
    std::int32_t firstNumber = 0;     // Text2(0)
    std::int32_t lastNumber = 0;      // Text2(1)
    int selectedSpeed = 38400;        // byte 47 carries its code
    std::array<std::uint8_t, cmd::channelSlotCount> channelSlots{};
};

// SendCommand's mode bits.
namespace sendmode {
constexpr int kWait = 0x01;         // wait until an answer has been processed
constexpr int kArmTimeout = 0x02;   // arm the receive time-out after sending
constexpr int kPause = 0x04;        // pause for the transmission time (also with 2)
constexpr int kHeadOnly = 0x10;     // build the head only
constexpr int kRawImage = 0x20;     // send the hexadecimal image unchanged
}  // namespace sendmode

// Builds the command packet for code ("XX", two hexadecimal digits) or for
// a packet image (more than two characters: up to 1024 hexadecimal digits,
// two per byte, the rest zero).  Mode bits 0x10 and 0x20 apply as in
// SendCommand.  Returns nullopt for a code or image that is not hexadecimal.
std::optional<Packet> buildCommandPacket(std::string_view code, int mode, const CommandParameters& params,
                                         std::uint8_t lastStatusFlags, const DateTime& now);
// The command code of a two-digit code string; nullopt when not hexadecimal.
std::optional<std::uint8_t> parseCommandCode(std::string_view code);
// 512 bytes from a hexadecimal image (up to 1024 digits; the rest zero).
std::optional<Packet> parseHexImage(std::string_view hex);
// 1024 upper-case hexadecimal digits.
std::string hexImage(const Packet& p);

}  // namespace varenta
