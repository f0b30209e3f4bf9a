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
