// The emulated logger's side of device configuration: reads, changes,
// refusals by state, restarts, the mode switch and the modem's "+++".
#include "brenlo24/link/packet.h"
#include "common/bytes.h"
#include "tools/emulator/logger.h"

#include <gtest/gtest.h>

using namespace varenta;
using namespace varenta::emu;

namespace {

const DateTime kPowerOn{2026, 12, 8, 9, 0, 0, 0};

class EmulatorDevInfo : public ::testing::Test {
protected:
    std::unique_ptr<LoggerEmulator> logger;
    void make(bool measuring)
    {
        EmulatorConfig c;
        c.recording.cheapSynthesis = true;
        c.prefillMeasurements = 0;
        c.measuring = measuring;
        logger = std::make_unique<LoggerEmulator>(c, 0, kPowerOn);
    }
    // Sends a code, or an image with its head rebuilt; returns the answers.
    std::vector<Packet> send(const std::string& code, int mode = sendmode::kArmTimeout)
    {
        auto p = buildCommandPacket(code, mode, CommandParameters{}, 0, kPowerOn);
        std::vector<std::uint8_t> bytes{kWakeUpByte};
        bytes.insert(bytes.end(), p->begin(), p->end());
        logger->receive(bytes.data(), bytes.size(), 10);
        std::vector<Packet> out;
        while (logger->hasOutput()) {
            auto c = logger->takeOutput();
            if (c.bytes.size() == kPacketSize) {
                Packet a;
                std::copy(c.bytes.begin(), c.bytes.end(), a.begin());
                out.push_back(a);
            }
        }
        logger->outputDrained(10);
        return out;
    }
    std::string changed(std::uint8_t code)
    {
        Packet image = logger->deviceInfo(false);
        image[45] = code;
        putU16(image.data(), 128, 45);
        return hexImage(image);
    }
};

}  // namespace

TEST_F(EmulatorDevInfo, ChangesLandInTheirImagesAndRefusalsKeepThem)
{
    make(false);
    auto a = send(changed(0x27), sendmode::kHeadOnly | sendmode::kWait | sendmode::kArmTimeout);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0][2], 0x85);
    EXPECT_EQ(getU16(logger->deviceInfo(true).data(), 128), 45);
    EXPECT_EQ(getU16(logger->deviceInfo(false).data(), 128), 50);
    EXPECT_EQ(getU16(send("20")[0].data(), 128), 45);
    EXPECT_EQ(getU16(send("10")[0].data(), 128), 50);

    EXPECT_TRUE(send(changed(0x77), sendmode::kHeadOnly | sendmode::kPause).empty());  // restarts, no answer
    EXPECT_EQ(getU16(logger->deviceInfo(false).data(), 128), 45);
    EXPECT_EQ(logger->stats().resets, 1u);

    send("57");
    EXPECT_EQ(logger->deviceInfo(false)[62] & 1, 1);
    send("67");
    EXPECT_EQ(logger->deviceInfo(true)[62] & 1, 0);
    send("37");
    EXPECT_EQ(getU16(logger->deviceInfo(false).data(), 128), 50);  // factory state
    EXPECT_EQ(logger->stats().resets, 4u);

    make(true);  // waiting for its next measurement
    const Packet before = logger->deviceInfo(false);
    for (const std::string& code : {changed(0x77), std::string("57"), std::string("37")}) {
        const auto answer = send(code, code.size() > 2 ? sendmode::kHeadOnly : sendmode::kArmTimeout);
        ASSERT_EQ(answer.size(), 1u);
        EXPECT_EQ(answer[0][2], 0x84);  // its status, nothing changed
    }
    Packet upload{};
    upload[0] = kPacketMarker;
    upload[2] = 2;
    send(hexImage(upload), sendmode::kRawImage);
    EXPECT_EQ(logger->stats().refused, 4u);
    EXPECT_TRUE(logger->uploads().empty());
    EXPECT_EQ(logger->deviceInfo(false), before);
    EXPECT_EQ(logger->stats().resets, 0u);
    // A temporary change is taken in any state.
    EXPECT_EQ(send(changed(0x27), sendmode::kHeadOnly).size(), 1u);
    EXPECT_EQ(getU16(logger->deviceInfo(true).data(), 128), 45);
}

TEST_F(EmulatorDevInfo, PlusPlusPlusEndsThePassThrough)
{
    make(false);
    const auto e = send("55");
    ASSERT_EQ(e.size(), 1u);
    EXPECT_TRUE(e[0][53] & 0x80);
    ASSERT_TRUE(logger->modemMode());
    const std::string bad = "HELLO\r";
    logger->receive(reinterpret_cast<const std::uint8_t*>(bad.data()), bad.size(), 20);
    logger->tick(100);
    ASSERT_TRUE(logger->hasOutput());
    const auto reply = logger->takeOutput().bytes;
    EXPECT_EQ(std::string(reply.begin(), reply.end()), "\r\nERROR\r\n");
    const std::string end = "+++\r";
    logger->receive(reinterpret_cast<const std::uint8_t*>(end.data()), end.size(), 200);
    EXPECT_FALSE(logger->modemMode());
    EXPECT_EQ(send("00").size(), 1u);  // packets again
}
