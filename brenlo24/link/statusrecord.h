#pragma once
// The logger's status record as decoded from a received packet, with every
// field at its width and signedness.  The kind byte decides how much is
// decoded: below 0x40 the head only (bytes 0-3), bit 6 alone the head and
// the packet number (0-7), bit 7 the whole status block; fields a packet
// does not carry keep their values.
#include "brenlo24/link/packet.h"

#include <array>
#include <cstdint>

namespace varenta {

// Operating-state bits of status byte 17.
constexpr int kStateStorage = 0x01;      // "St" 保管状態
constexpr int kStatePreMeasure = 0x02;   // "Sy" 予備測定状態
constexpr int kStateWaiting = 0x04;      // "Sb" 測定待機状態
constexpr int kStateMeasuring = 0x08;    // "Ms" 測定状態

struct StatusRecord {
    // head
    int marker = 0;
    int machineNumber = 0;
    int kind = 0;
    int checksum = 0;
    std::uint32_t packetNumber = 0;
    // status block
    int second = 0, minute = 0, hour = 0, day = 0, month = 0, year = 0;  // 8..13, year - 2000
    int durationMinutes = 0;     // 14
    int intervalMinutes = 0;     // 15
    int measureFlags = 0;        // 16
    int state = 0;               // 17, operating state bits
    std::uint16_t word18 = 0, word20 = 0, word22 = 0;
    std::uint16_t sdUsage = 0;   // 24, hundredths of a percent
    int nextMinute = 0;          // 26
    int nextHour = 0;            // 27
    std::uint32_t measurementNumber = 0;  // 28
    std::uint32_t number32 = 0;  // 32
    std::uint32_t number36 = 0;  // 36
    std::array<int, 24> bytes40{};  // 40..63; index 15 (byte 55) signed
    std::array<std::uint8_t, 16> channelSlots{};  // 64..79
    std::array<std::int16_t, 5> signed80{};       // 80, 82, 84, 86, 88
    std::uint16_t word90 = 0;
    std::array<std::uint8_t, 8> bytes92{};        // 92..99
    std::uint16_t word110 = 0, word112 = 0;
    std::int16_t signed116 = 0;
    std::uint8_t byte120 = 0, byte121 = 0;
    std::array<std::int16_t, 3> signed122{};      // 122, 124, 126
    std::array<std::uint16_t, 3> word128{};       // 128, 130, 132
    std::int8_t signed134 = 0;
    std::array<std::uint8_t, 11> bytes135{};      // 135..145
    std::uint16_t word146 = 0;
    std::int16_t signed150 = 0;
    // data page: the 128 signed values at 256..511 of echo and monitor packets
    std::array<std::int16_t, 128> values{};

    bool valid = false;   // a packet with the whole status block was decoded
    Packet raw{};         // the last packet decoded into this record

    int statusByte(int offset) const;  // bytes 40..63 by offset
    int modelCode() const { return statusByte(63); }
    int batteryTenths() const { return statusByte(59); }
    bool sdUnusable() const { return sdUsage >= 10000; }
};

// Fills the record from the 512 bytes by the extent the kind byte gives.
void decodeStatus(const Packet& p, StatusRecord& r);

}  // namespace varenta
