// The PC side against the logger emulator over a real pseudo-terminal:
// a check is answered and decoded, silence ends in the receive time-out,
// and a noisy line never gets a damaged packet acknowledged.
#include "brenlo24/link/link.h"
#include "brenlo24/link/packetdump.h"
#include "brenlo24/link/pollhost.h"
#include "common/serialposix.h"
#include "linkfixture.h"
#include "tools/emulator/runner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <map>

using namespace varenta;
using namespace varenta::emu;
using namespace varenta::test;

namespace {

class StoringHandler final : public PacketHandler {
public:
    std::map<std::uint32_t, Packet> sectors;  // by packet number
    std::size_t stores = 0;
    Status storePacket(const Packet& p, const StatusRecord&) override
    {
        ++stores;
        sectors[getU32(p.data(), 4)] = p;
        return Status::Ok;
    }
};

struct PcSide {
    PosixSerialPort port;
    SerialLine line{port};
    PollHost host{port};
    DeviceLink link{line, host};
    StoringHandler handler;

    explicit PcSide(const std::string& folder)
    {
        host.attach(&link);
        link.setHandler(&handler);
        link.setDumpFolder(folder);
    }
    Status open(const std::string& path, int speed)
    {
        const Status st = port.open(path, speed);
        link.setLineSpeed(speed);
        link.flushAndRearm();
        return st;
    }
};

EmulatorConfig smallLogger()
{
    EmulatorConfig cfg;
    cfg.recording.durationMinutes = 1;  // 0.5 s, three channels: 360 words, two sectors
    cfg.recording.intervalMinutes = 10;
    cfg.recording.measureFlags = 1;
    cfg.prefillMeasurements = 4;
    return cfg;
}

}  // namespace

TEST(EndToEnd, CheckIsAnsweredAndDecoded)
{
    const std::string folder = scratchFolder("e2e_check");
    EmulatorRunner emu(smallLogger());
    ASSERT_EQ(emu.openPty(), Status::Ok) << emu.error();
    emu.start();
    PcSide pc(folder);
    ASSERT_EQ(pc.open(emu.slavePath(), 38400), Status::Ok) << pc.port.lastError();

    ASSERT_EQ(pc.link.sendCommand("00", 2), DeviceLink::SendResult::Sent);
    ASSERT_TRUE(pc.host.runUntil([&] { return pc.link.flags() & linkflag::kAnswerReceived; }, 3000));
    const StatusRecord& r = pc.link.current();
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.kind, 0x84);
    EXPECT_EQ(r.machineNumber, 255);
    EXPECT_EQ(r.modelCode(), 60);
    EXPECT_EQ(r.measurementNumber, 4u);
    EXPECT_EQ(r.durationMinutes, 1);
    EXPECT_EQ(r.intervalMinutes, 10);
    EXPECT_EQ(r.channelSlots[0], 0x81);
    EXPECT_EQ(r.batteryTenths(), 124);
    const DateTime now = appClock().now();
    EXPECT_EQ(r.year, now.year - 2000);
    EXPECT_EQ(pc.host.status(), "パケット受信");
    Packet echo{};
    ASSERT_EQ(readPacketDump(folder + "/Echo.tbl", echo), Status::Ok);
    EXPECT_EQ(echo, pc.link.lastReceived());
    EXPECT_EQ(emu.stats().commands, 1u);
    EXPECT_EQ(emu.stats().codes.at(0), 0x00);
    EXPECT_FALSE(pc.host.timerRunning());  // the answer stopped the time-out
    std::filesystem::remove_all(folder);
}

TEST(EndToEnd, SilenceEndsInReceiveTimeout)
{
    const std::string folder = scratchFolder("e2e_silence");
    EmulatorRunner quiet(smallLogger());  // a line with nobody at the other end
    ASSERT_EQ(quiet.openPty(), Status::Ok);
    PcSide pc(folder);
    ASSERT_EQ(pc.open(quiet.slavePath(), 38400), Status::Ok);
    const auto start = appClock().tickMs();
    ASSERT_EQ(pc.link.sendCommand("00", 3), DeviceLink::SendResult::Sent);  // waits
    const auto took = appClock().tickMs() - start;
    EXPECT_EQ(pc.host.status(), "受信タイムアウト");
    EXPECT_GE(took, 1267);
    EXPECT_LT(took, 1267 + 400);
    EXPECT_FALSE(std::filesystem::exists(folder + "/Echo.tbl"));
    std::filesystem::remove_all(folder);
}

TEST(EndToEnd, NoisyLineNeverAcknowledgesADamagedPacket)
{
    const std::string folder = scratchFolder("e2e_noise");
    EmulatorConfig cfg = smallLogger();
    cfg.prefillMeasurements = 300;  // 600 sectors
    cfg.faults.noiseRate = 0.01;
    cfg.faults.corruptRate = 0.01;
    cfg.faults.garbageRate = 0.01;
    cfg.faults.shortPacketRate = 0.01;
    cfg.faults.seed = 4242;
    cfg.ackTimeoutMs = 80;  // resend sooner than the logger would, to keep the run short
    EmulatorRunner emu(cfg);
    ASSERT_EQ(emu.openPty(), Status::Ok);
    emu.start();
    PcSide pc(folder);
    ASSERT_EQ(pc.open(emu.slavePath(), 38400), Status::Ok);

    ASSERT_EQ(pc.link.sendCommand("54", 2), DeviceLink::SendResult::Sent);
    ASSERT_TRUE(pc.host.runUntil([&] { return !pc.host.timerRunning(); }, 60000));
    const EmulatorStats st = emu.stats();
    emu.stop();

    EXPECT_GT(st.faultyPackets, 0u) << "the run injected no fault";
    EXPECT_EQ(st.acksForFaulty, 0u);
    EXPECT_GT(pc.link.counters().errorPackets + pc.link.counters().dropped, 0u);

    // Every packet the PC stored is byte for byte the logger's sector.
    const std::string image = emu.memoryImage();
    for (const auto& [number, packet] : pc.handler.sectors) {
        ASSERT_LT((number + 1) * 512ull, image.size() + 1);
        ASSERT_EQ(std::memcmp(packet.data(), image.data() + number * 512ull, 512), 0) << number;
    }
    // Resends fill what the faults spoiled.
    EXPECT_GE(pc.handler.sectors.size(), 590u);
    EXPECT_EQ(pc.host.status(), "回収終了");
    std::filesystem::remove_all(folder);
}

TEST(EndToEnd, SpeedChangeAndArbitrarySpeeds)
{
    const std::string folder = scratchFolder("e2e_speed");
    EmulatorRunner emu(smallLogger());
    ASSERT_EQ(emu.openPty(), Status::Ok);
    emu.start();
    PcSide pc(folder);
    ASSERT_EQ(pc.open(emu.slavePath(), 38400), Status::Ok);
    CommandParameters par;
    par.selectedSpeed = 115200;
    pc.link.setParameters([&] { return par; });
    ASSERT_EQ(pc.link.sendCommand("02", 4), DeviceLink::SendResult::Sent);
    ASSERT_TRUE(pc.host.runUntil([&] { return emu.with([](LoggerEmulator& l) { return l.lineSpeed(); }) == 115200; },
                                 2000));
    // A speed outside the standard list is set on the open port as well.
    EXPECT_EQ(pc.port.setSpeed(14400), Status::Ok) << pc.port.lastError();
    EXPECT_EQ(pc.port.setSpeed(115200), Status::Ok);
    pc.link.setLineSpeed(115200);
    ASSERT_EQ(pc.link.sendCommand("00", 3), DeviceLink::SendResult::Sent);
    EXPECT_EQ(pc.host.status(), "パケット受信");
    std::filesystem::remove_all(folder);
}
