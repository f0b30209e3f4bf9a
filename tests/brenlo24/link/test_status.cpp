// Decoding the status record: extent by kind byte, every width and
// signedness.
#include "brenlo24/link/statusrecord.h"
#include "common/bytes.h"

#include <gtest/gtest.h>

using namespace varenta;

namespace {

Packet patterned(std::uint8_t kind)
{
    Packet p{};
    for (std::size_t i = 0; i < 512; ++i)
        p[i] = static_cast<std::uint8_t>(0x80 + i * 13);
    p[0] = 0x5A;
    p[2] = kind;
    return p;
}

}  // namespace

TEST(StatusRecord, ExtentFollowsTheKindByte)
{
    struct Case {
        std::uint8_t kind;
        bool number;
        bool block;
    };
    for (Case c : {Case{0x01, false, false}, Case{0x3F, false, false}, Case{0x41, true, false},
                   Case{0x7F, true, false}, Case{0x84, true, true}, Case{0xC6, true, true}}) {
        StatusRecord r;
        r.packetNumber = 0xDEAD;
        r.sdUsage = 4321;
        const Packet p = patterned(c.kind);
        decodeStatus(p, r);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(r.machineNumber, p[1]);
        EXPECT_EQ(r.packetNumber, c.number ? getU32(p.data(), 4) : 0xDEADu) << int(c.kind);
        EXPECT_EQ(r.sdUsage, c.block ? getU16(p.data(), 24) : 4321) << int(c.kind);
        EXPECT_EQ(r.valid, c.block);
        EXPECT_EQ(r.raw, p);
    }
}

TEST(StatusRecord, WidthsAndSignedness)
{
    Packet p{};
    p[0] = 0x5A;
    p[2] = 0x84;
    // Bytes that read differently as signed and unsigned, in every field.
    for (std::size_t i = 8; i < 512; ++i)
        p[i] = 0xF0;
    p[17] = 0x0C;
    putU32(p.data(), 28, 0xFFFFFFF0u);
    StatusRecord r;
    decodeStatus(p, r);
    EXPECT_EQ(r.second, 0xF0);
    EXPECT_EQ(r.year, 0xF0);
    EXPECT_EQ(r.state, 0x0C);
    EXPECT_EQ(r.word18, 0xF0F0);
    EXPECT_EQ(r.word22, 0xF0F0);
    EXPECT_EQ(r.sdUsage, 0xF0F0);
    EXPECT_TRUE(r.sdUnusable());
    EXPECT_EQ(r.measurementNumber, 0xFFFFFFF0u);
    EXPECT_EQ(r.number36, 0xF0F0F0F0u);
    EXPECT_EQ(r.statusByte(55), -16);   // signed
    EXPECT_EQ(r.statusByte(54), 0xF0);  // unsigned
    EXPECT_EQ(r.batteryTenths(), 0xF0);
    EXPECT_EQ(r.channelSlots[15], 0xF0);
    EXPECT_EQ(r.signed80[4], static_cast<std::int16_t>(0xF0F0));
    EXPECT_EQ(r.word90, 0xF0F0);
    EXPECT_EQ(r.bytes92[7], 0xF0);
    EXPECT_EQ(r.word110, 0xF0F0);
    EXPECT_EQ(r.signed116, static_cast<std::int16_t>(0xF0F0));
    EXPECT_EQ(r.byte121, 0xF0);
    EXPECT_EQ(r.signed122[2], static_cast<std::int16_t>(0xF0F0));
    EXPECT_EQ(r.word128[2], 0xF0F0);
    EXPECT_EQ(r.signed134, -16);
    EXPECT_EQ(r.bytes135[10], 0xF0);
    EXPECT_EQ(r.word146, 0xF0F0);
    EXPECT_EQ(r.signed150, static_cast<std::int16_t>(0xF0F0));
    EXPECT_EQ(r.values[127], static_cast<std::int16_t>(0xF0F0));

    // Little-endian: the low byte first.
    putU16(p.data(), 24, 9999);
    putS16(p.data(), 150, -2);
    decodeStatus(p, r);
    EXPECT_EQ(r.sdUsage, 9999);
    EXPECT_FALSE(r.sdUnusable());
    EXPECT_EQ(r.signed150, -2);
}

#include "brenlo24/link/statuspanel.h"

TEST(StatusPanel, TextsOfARecord)
{
    Packet p{};
    p[0] = 0x5A;
    p[1] = 12;
    p[2] = 0x84;
    p[8] = 7;
    p[9] = 5;
    p[10] = 9;
    p[11] = 3;
    p[12] = 11;
    p[13] = 24;
    p[14] = 20;
    p[15] = 60;
    p[16] = 0x82;  // 0.2 s, upward
    p[17] = 0x08;  // measuring
    putU16(p.data(), 24, 1234);
    p[26] = 5;
    p[27] = 7;
    putU32(p.data(), 28, 345);
    p[59] = 124;
    p[61] = 0x01;
    p[64] = 0x81;
    p[66] = 0x84;
    for (std::size_t i = 0; i < 128; ++i)
        putS16(p.data(), 256 + 2 * i, static_cast<int>(i) - 3);
    StatusRecord r;
    decodeStatus(p, r);
    const StatusPanel s = statusPanelFor(r, 120, false);
    EXPECT_EQ(s.number, "345-121");
    EXPECT_EQ(s.date, "24/11/03");
    EXPECT_EQ(s.time, "09:05:07");
    EXPECT_EQ(s.schedule, "20/60");
    EXPECT_EQ(s.next, "07:05");
    EXPECT_EQ(s.sdUsage, "12.34");
    EXPECT_EQ(s.battery, "12.4");
    EXPECT_EQ(s.valueNumbers[0], "121");
    EXPECT_EQ(s.valueNumbers[7], "128");
    EXPECT_EQ(s.values[0], "117");
    EXPECT_EQ(s.values[7], "124");
    using namespace indicator;
    EXPECT_EQ(s.indicators, kSample02 | kUp | kMeasuring | kChannel1 | (kChannel1 << 2));
    const StatusPanel info = statusPanelFor(r, 0, true);
    EXPECT_EQ(info.values[3], "-----");
    EXPECT_EQ(info.valueNumbers[0], "001");

    putU16(p.data(), 24, 10000);
    p[59] = 5;
    decodeStatus(p, r);
    EXPECT_EQ(statusPanelFor(r, 0, false).sdUsage, "100.00");
    EXPECT_EQ(statusPanelFor(r, 0, false).battery, "0.5");
}

TEST(StatusPanel, PageWraps)
{
    EXPECT_EQ(pageUp(0), 8);
    EXPECT_EQ(pageUp(112), 120);
    EXPECT_EQ(pageUp(120), 0);
    EXPECT_EQ(pageDown(8), 0);
    EXPECT_EQ(pageDown(0), 120);
}

TEST(ChannelSettings, ListMaskAndPackedWord)
{
    ChannelSettings c;
    std::array<std::uint8_t, 16> s{};
    s[0] = 0x81;
    s[1] = 0x05;  // bit 7 clear: not in use
    s[2] = 0x8C;
    s[5] = 0xB2;
    c.setSlots(s);
    EXPECT_EQ(c.inUse, (std::vector<std::uint8_t>{0x81, 0x8C, 0xB2}));
    EXPECT_EQ(c.mask, 0b111u);
    EXPECT_EQ(c.packed, 0x2C1u);
    c.setSlot(1, 0x83);
    EXPECT_EQ(c.mask, 0b1111u);
    EXPECT_EQ(c.packed, 0x2C31u);
}
