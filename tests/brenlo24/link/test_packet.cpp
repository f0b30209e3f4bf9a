// Command packets, checksums, line-speed codes, timing figures, the kind
// byte rules and the header validity test.
#include "brenlo24/link/packet.h"
#include "brenlo24/link/packetdump.h"
#include "common/bytes.h"

#include <gtest/gtest.h>

#include <random>

using namespace varenta;

namespace {

const DateTime kNow{2025, 3, 7, 14, 5, 9, 0};

CommandParameters someParameters()
{
    CommandParameters p;
    p.machineNumber = 300;  // taken modulo 256 -> 44
    p.durationMinutes = 30;
    p.intervalMinutes = 120;
    p.startMinute = 45;
    p.startHour = 6;
    p.flagBoxes = {false, false, true, false, true, false, true, true};
    p.firstNumber = -1;
    p.lastNumber = 70000;
    p.selectedSpeed = 115200;
    for (std::size_t i = 0; i < 16; ++i)
        p.channelSlots[i] = static_cast<std::uint8_t>(i < 3 ? 0x81 + i : 0);
    return p;
}

}  // namespace

TEST(CommandPacket, EveryBuiltPacketSumsToZero)
{
    std::mt19937 rng(7);
    const char* codes[] = {"00", "02", "81", "03", "07", "17", "54", "44", "16", "26", "D4", "96",
                           "34", "05", "15", "25", "35", "45", "04", "55", "10", "20", "ff", "FF"};
    for (const char* code : codes) {
        for (int mode : {0, 2, 4, 3, 0x10, 0x13, 0x14}) {
            CommandParameters par = someParameters();
            par.machineNumber = static_cast<int>(rng() % 1000);
            par.firstNumber = static_cast<std::int32_t>(rng());
            auto p = buildCommandPacket(code, mode, par, static_cast<std::uint8_t>(rng()), kNow);
            ASSERT_TRUE(p) << code;
            EXPECT_EQ(byteSum(p->data(), 512), 0) << code << " mode " << mode;
            EXPECT_EQ((*p)[0], 0x5A);
            EXPECT_EQ((*p)[2], 0x80);
        }
    }
}

TEST(CommandPacket, FieldsOfTheStandardBuilder)
{
    auto p = buildCommandPacket("81", 2, someParameters(), 0x04 | 0x80, kNow);
    ASSERT_TRUE(p);
    const std::uint8_t* b = p->data();
    EXPECT_EQ(b[1], 44);
    EXPECT_EQ(getU32(b, 4), 0u);
    EXPECT_EQ(b[8], 9);
    EXPECT_EQ(b[9], 5);
    EXPECT_EQ(b[10], 14);
    EXPECT_EQ(b[11], 7);
    EXPECT_EQ(b[12], 3);
    EXPECT_EQ(b[13], 25);
    EXPECT_EQ(b[14], 30);
    EXPECT_EQ(b[15], 120);
    // box 2 ("0.2") -> 2, box 4 upward 0x80, 6 XY 0x20, 7 still water 0x10,
    // bit 2 from the last status; the status's own 0x80 is not copied.
    EXPECT_EQ(b[16], 0x02 | 0x80 | 0x20 | 0x10 | 0x04);
    EXPECT_EQ(b[26], 45);
    EXPECT_EQ(b[27], 6);
    EXPECT_EQ(getS32(b, 32), -1);
    EXPECT_EQ(getS32(b, 36), 70000);
    EXPECT_EQ(b[45], 0x81);
    EXPECT_EQ(b[47], 0x70);
    EXPECT_EQ(b[64], 0x81);
    EXPECT_EQ(b[66], 0x83);
    EXPECT_EQ(b[67], 0);
    // nothing else is set
    for (std::size_t i : {17u, 18u, 25u, 28u, 40u, 44u, 46u, 48u, 63u, 80u, 200u, 511u})
        EXPECT_EQ(b[i], 0) << i;
}

TEST(CommandPacket, HeadOnlyAndRawImageModes)
{
    Packet image{};
    for (std::size_t i = 0; i < 512; ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const std::string hex = hexImage(image);

    // 0x10: image kept, head rebuilt, no code/clock/parameters.
    auto head = buildCommandPacket(hex, 0x13, someParameters(), 0, kNow);
    ASSERT_TRUE(head);
    EXPECT_EQ((*head)[0], 0x5A);
    EXPECT_EQ((*head)[1], 44);
    EXPECT_EQ((*head)[2], 0x80);
    for (std::size_t i = 4; i < 512; ++i)
        ASSERT_EQ((*head)[i], image[i]) << i;
    EXPECT_EQ(byteSum(head->data(), 512), 0);

    // 0x20: the image unchanged but for the checksum, even when byte 3 held
    // something: the 512 bytes still sum to 0.
    auto raw = buildCommandPacket(hex, 0x24, someParameters(), 0, kNow);
    ASSERT_TRUE(raw);
    for (std::size_t i = 0; i < 512; ++i) {
        if (i != 3) {
            ASSERT_EQ((*raw)[i], image[i]) << i;
        }
    }
    EXPECT_EQ(byteSum(raw->data(), 512), 0);

    // A short image is zero-filled; a two-digit code with 0x10 sets no code.
    auto shortImage = buildCommandPacket("5AFF0100" "1122", 0x20, someParameters(), 0, kNow);
    ASSERT_TRUE(shortImage);
    EXPECT_EQ((*shortImage)[4], 0x11);
    EXPECT_EQ((*shortImage)[6], 0);
    auto headCode = buildCommandPacket("00", 0x10, someParameters(), 0, kNow);
    ASSERT_TRUE(headCode);
    EXPECT_EQ((*headCode)[8], 0);
    EXPECT_EQ((*headCode)[45], 0);
}

TEST(CommandPacket, RejectsWhatIsNotHexadecimal)
{
    for (const char* bad : {"", "0", "G1", "0x", " 1", "123", "5AZZ"})
        EXPECT_FALSE(buildCommandPacket(bad, 2, {}, 0, kNow)) << bad;
    EXPECT_FALSE(buildCommandPacket(std::string(1026, '0'), 2, {}, 0, kNow));
}

TEST(LineSpeed, CodesAndTiming)
{
    struct Row {
        int speed;
        std::uint8_t code;
        int timeoutMs;
    };
    const Row rows[] = {
        {1200, 0x00, 9533},   {2400, 0x10, 5267},   {4800, 0x20, 3133},    {9600, 0x30, 2067},
        {19200, 0x40, 1533},  {38400, 0x50, 1267},  {57600, 0x60, 1178},   {115200, 0x70, 1089},
        {230400, 0x80, 1044}, {460800, 0x90, 1022}, {921600, 0xA0, 1011},  {14400, 0x50, 1711},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(lineSpeedCode(r.speed), r.code) << r.speed;
        EXPECT_EQ(receiveTimeoutMs(r.speed), r.timeoutMs) << r.speed;
    }
    EXPECT_EQ(speedForCode(0xA0), 921600);
    EXPECT_EQ(speedForCode(0x50), 38400);
    EXPECT_FALSE(speedForCode(0x55));
    EXPECT_EQ(transmissionPauseMs(38400), 138);  // 133.33 + 5
    EXPECT_EQ(transmissionPauseMs(1200), 4272);  // 4266.67 + 5
}

TEST(KindByte, AcknowledgementRule)
{
    struct Row {
        std::uint8_t kind;
        bool ack;
    };
    const Row rows[] = {{0x41, true},  {0x01, false}, {0x83, true},  {0x03, false}, {0xC3, false},
                        {0x46, true},  {0xC6, true},  {0x86, false}, {0x06, false}, {0x84, false},
                        {0x85, false}, {0x82, false}, {0x8C, false}, {0x71, true},  {0xB3, true},
                        {0xF6, true},  {0x49, false}};
    for (const Row& r : rows)
        EXPECT_EQ(kindWantsAck(r.kind), r.ack) << std::hex << int(r.kind);
}

TEST(KindByte, HeaderValidity)
{
    Packet good{};
    good[0] = 0x5A;
    good[8] = 59;
    good[9] = 59;
    good[10] = 23;
    good[11] = 31;
    good[12] = 2;  // 31 February passes: the test does not know month lengths
    good[14] = 60;
    EXPECT_TRUE(receivedHeaderValid(good));
    struct Bad {
        std::size_t at;
        std::uint8_t value;
    };
    for (Bad b : {Bad{12, 13}, Bad{12, 0}, Bad{11, 0}, Bad{11, 32}, Bad{10, 24}, Bad{9, 60}, Bad{8, 60},
                  Bad{14, 0}, Bad{14, 61}, Bad{0, 0x52}}) {
        Packet p = good;
        p[b.at] = b.value;
        EXPECT_FALSE(receivedHeaderValid(p)) << b.at << "=" << int(b.value);
    }
}

TEST(MeasurementFlags, SampleBoxesAreOredAndBitTwoComesFromTheStatus)
{
    std::array<bool, 8> boxes{};
    EXPECT_EQ(measurementFlags(boxes, 0xFF), 0x04);
    boxes[3] = true;
    EXPECT_EQ(measurementFlags(boxes, 0), 3);
    boxes[1] = true;  // two boxes ticked are OR-ed: 1 | 3
    EXPECT_EQ(measurementFlags(boxes, 0), 3);
    boxes = {true, false, false, false, false, true, false, false};
    EXPECT_EQ(measurementFlags(boxes, 0), 0x40);
}

TEST(PacketDump, RoundTripAndExactFormat)
{
    Packet p{};
    for (std::size_t i = 0; i < 512; ++i)
        p[i] = static_cast<std::uint8_t>(255 - i % 256);
    const std::string text = packetDumpText(p);
    ASSERT_EQ(text.size(), 32u * 49u);
    EXPECT_EQ(text.substr(0, 49), "FF FE FD FC FB FA F9 F8 F7 F6 F5 F4 F3 F2 F1 F0\r\n");
    auto back = parsePacketDump(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, p);

    // LF line ends and lower case are read as well.
    std::string lf;
    for (char c : text)
        if (c != '\r')
            lf += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto fromLf = parsePacketDump(lf);
    ASSERT_TRUE(fromLf);
    EXPECT_EQ(*fromLf, p);
}

TEST(PacketDump, DamagedDumpsAreRejected)
{
    Packet p{};
    const std::string text = packetDumpText(p);
    const std::string cases[] = {
        text.substr(0, text.size() - 49),             // a line missing
        text + "00\r\n",                              // a byte too many
        text.substr(0, 10) + "G" + text.substr(11),   // not hexadecimal
        text.substr(0, 2) + text.substr(3),           // two bytes run together
        "",
    };
    for (const auto& c : cases)
        EXPECT_FALSE(parsePacketDump(c));
}
