// The logger emulator's logic, driven by hand: answers, streams with
// acknowledgements and resends, result collection, speed change, faults,
// its own recording schedule and the modem pass-through.
#include "brenlo24/link/packet.h"
#include "brenlo24/link/statusrecord.h"
#include "common/bytes.h"
#include "tools/emulator/logger.h"
#include "tools/synth/results.h"

#include <gtest/gtest.h>

using namespace varenta;
using namespace varenta::emu;

namespace {

const DateTime kPowerOn{2024, 6, 15, 12, 0, 0, 0};

EmulatorConfig config()
{
    EmulatorConfig c;
    c.recording.durationMinutes = 1;
    c.recording.intervalMinutes = 10;
    c.prefillMeasurements = 3;
    return c;
}

std::vector<std::uint8_t> command(const std::string& code, std::int32_t first = 0, std::int32_t last = 0,
                                  int speed = 38400)
{
    CommandParameters par;
    par.firstNumber = first;
    par.lastNumber = last;
    par.selectedSpeed = speed;
    par.durationMinutes = 5;
    par.intervalMinutes = 30;
    par.startHour = 12;
    par.startMinute = 10;
    auto p = buildCommandPacket(code, 2, par, 0, kPowerOn);
    std::vector<std::uint8_t> out(513);
    out[0] = kWakeUpByte;
    std::copy(p->begin(), p->end(), out.begin() + 1);
    return out;
}

// Everything queued, as the packets it holds (chunks of 512 bytes).
std::vector<Packet> drain(LoggerEmulator& l, std::int64_t now)
{
    std::vector<std::uint8_t> bytes;
    while (l.hasOutput()) {
        auto c = l.takeOutput();
        bytes.insert(bytes.end(), c.bytes.begin(), c.bytes.end());
    }
    l.outputDrained(now);
    std::vector<Packet> out;
    for (std::size_t i = 0; i + 512 <= bytes.size(); i += 512) {
        Packet p;
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(i), 512, p.begin());
        out.push_back(p);
    }
    return out;
}

void send(LoggerEmulator& l, const std::vector<std::uint8_t>& b, std::int64_t now) { l.receive(b.data(), b.size(), now); }
void ack(LoggerEmulator& l, std::int64_t now)
{
    const std::uint8_t a = kAckByte;
    l.receive(&a, 1, now);
}

}  // namespace

TEST(Emulator, CheckAnswersWithAnEcho)
{
    LoggerEmulator l(config(), 0, kPowerOn);
    send(l, command("00"), 10);
    auto out = drain(l, 10);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(sectorSumOk(out[0].data()));
    StatusRecord r;
    decodeStatus(out[0], r);
    EXPECT_EQ(r.kind, 0x84);
    EXPECT_EQ(r.hour, 12);
    EXPECT_EQ(r.measurementNumber, 3u);
    EXPECT_EQ(r.state, 0x01);  // storage
    EXPECT_EQ(r.channelSlots[2], 0x83);
    EXPECT_EQ(l.stats().codes, std::vector<std::uint8_t>{0x00});
}

TEST(Emulator, DamagedCommandsAreIgnored)
{
    LoggerEmulator l(config(), 0, kPowerOn);
    auto c = command("00");
    c[100] ^= 0x01;
    send(l, c, 0);
    EXPECT_FALSE(l.hasOutput());
    EXPECT_EQ(l.stats().badCommands, 1u);
    // A fragment that stops is dropped after a second; the next command works.
    auto frag = command("00");
    frag.resize(200);
    send(l, frag, 0);
    send(l, command("00"), 5000);
    EXPECT_EQ(drain(l, 5000).size(), 1u);
}

TEST(Emulator, CollectionWaitsForEachAcknowledgement)
{
    LoggerEmulator l(config(), 0, kPowerOn);
    const auto [start2, count2] = l.memory().extent(2);
    ASSERT_EQ(count2, 2u);
    send(l, command("54", 2, 3), 0);
    std::vector<Packet> got;
    std::int64_t now = 0;
    for (int i = 0; i < 10; ++i) {
        auto out = drain(l, now);
        if (out.empty())
            break;
        ASSERT_EQ(out.size(), 1u) << "sent before the acknowledgement";
        got.push_back(out[0]);
        now += 5;
        ack(l, now);
    }
    ASSERT_EQ(got.size(), 4u);  // measurements 2 and 3, two sectors each
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], l.memory().sectors()[start2 + i]);
    EXPECT_EQ(got[0][2], 0x83);
    EXPECT_EQ(got[1][2], 0x41);
    EXPECT_EQ(getU32(got[1].data(), 4), start2 + 1);
    EXPECT_EQ(l.stats().streamsCompleted, 1u);
    EXPECT_EQ(l.lastCollected(), 3u);
}

TEST(Emulator, UnacknowledgedPacketIsResentThenTheStreamEnds)
{
    EmulatorConfig c = config();
    c.maxResends = 2;
    LoggerEmulator l(c, 0, kPowerOn);
    send(l, command("54"), 0);
    const Packet first = drain(l, 0).at(0);
    const int t = transmissionPauseMs(38400) + 300;
    l.tick(t - 1);
    EXPECT_FALSE(l.hasOutput());
    l.tick(t);
    EXPECT_EQ(drain(l, t).at(0), first);
    l.tick(2 * t);
    EXPECT_EQ(drain(l, 2 * t).at(0), first);
    l.tick(3 * t);
    EXPECT_FALSE(l.hasOutput());
    EXPECT_FALSE(l.streaming());
    EXPECT_EQ(l.stats().resends, 2u);
    EXPECT_EQ(l.stats().streamsAbandoned, 1u);
}

TEST(Emulator, NegativeFirstNumberTakesWhatWasNotCollected)
{
    LoggerEmulator l(config(), 0, kPowerOn);
    auto collect = [&](std::int32_t first, std::int64_t now) {
        send(l, command("54", first, 0), now);
        int packets = 0;
        for (auto out = drain(l, now); !out.empty(); out = drain(l, now)) {
            ++packets;
            ack(l, now);
        }
        return packets;
    };
    EXPECT_EQ(collect(-1, 0), 6);   // nothing collected yet: all three
    EXPECT_EQ(collect(-1, 100), 0); // nothing new
    l.memory().addMeasurement(kPowerOn);
    EXPECT_EQ(collect(-1, 200), 2); // the new one
    EXPECT_EQ(collect(-3, 300), 4); // the last two again
    EXPECT_EQ(collect(0, 400), 8);  // 0: from measurement 1
}

TEST(Emulator, ResultCollectionSendsTheResultSectorAndTheLine)
{
    LoggerEmulator l(config(), 0, kPowerOn);
    send(l, command("16", 2, 2), 0);
    auto a = drain(l, 0).at(0);
    ack(l, 1);
    auto b = drain(l, 1).at(0);
    ack(l, 2);
    EXPECT_FALSE(l.hasOutput());
    EXPECT_EQ(a[2], 0xC6);
    EXPECT_EQ(getU32(a.data(), 4), 1u);        // measurement 2 at sector 1 of the result file
    EXPECT_EQ(getU32(a.data(), 28), 2u);
    EXPECT_EQ(b[2], 0x46);
    const std::string line(reinterpret_cast<const char*>(b.data()) + 8, 392);
    // The running number (code 6) stands where the shipped layout puts it.
    const int numberAt = synth::ResultLayout::defaults().positionOf(6);
    ASSERT_GE(numberAt, 0);
    EXPECT_EQ(resultItem(line, numberAt), "    2");
    EXPECT_EQ(line.substr(390), "\r\n");
    EXPECT_EQ(line, std::string(reinterpret_cast<const char*>(a.data()) + 120, 392));
    EXPECT_TRUE(sectorSumOk(a.data()));
    EXPECT_TRUE(sectorSumOk(b.data()));
}

TEST(Emulator, SpeedChangeAfterTheLineIsQuiet)
{
    LoggerEmulator l(config(), 0, kPowerOn);
    int changed = 0;
    l.onSpeedChange = [&](int s) { changed = s; };
    send(l, command("02", 0, 0, 921600), 0);
    EXPECT_EQ(l.lineSpeed(), 38400);
    l.outputDrained(1);
    EXPECT_EQ(l.lineSpeed(), 921600);
    EXPECT_EQ(changed, 921600);
}

TEST(Emulator, StartRecordsOnTheScheduleAndStopEndsIt)
{
    EmulatorConfig c = config();
    c.prefillMeasurements = 0;
    c.timeScale = 60.0;  // a minute a second
    LoggerEmulator l(c, 0, kPowerOn);
    send(l, command("81"), 0);  // 5 minutes every 30 from 12:10
    StatusRecord r;
    decodeStatus(drain(l, 0).at(0), r);
    EXPECT_EQ(r.state, 0x04);  // waiting
    EXPECT_EQ(r.nextHour, 12);
    EXPECT_EQ(r.nextMinute, 10);
    l.tick(14 * 1000);  // 12:14
    EXPECT_EQ(l.state(), 0x08);
    EXPECT_EQ(l.memory().measurementCount(), 0);
    l.tick(16 * 1000);  // 12:16: the 12:10 burst is complete
    EXPECT_EQ(l.memory().measurementCount(), 1);
    l.tick(76 * 1000);  // 13:16: 12:40 and 13:10 as well
    EXPECT_EQ(l.memory().measurementCount(), 3);
    EXPECT_EQ(l.memory().startOf(3).hour, 13);
    EXPECT_EQ(l.memory().sectorsPerMeasurement(), 1 + (5 * 60 * 3 - 128 + 251) / 252);
    send(l, command("03"), 77 * 1000);
    drain(l, 77 * 1000);
    l.tick(200 * 1000);
    EXPECT_EQ(l.memory().measurementCount(), 3);
    EXPECT_EQ(l.state(), 0x01);
}

TEST(Emulator, InjectedFaultsAreAlwaysDetectable)
{
    EmulatorConfig c = config();
    c.prefillMeasurements = 50;
    c.faults.noiseRate = 0.3;
    c.faults.corruptRate = 0.3;
    c.faults.dropRate = 0.1;
    c.faults.seed = 99;
    LoggerEmulator l(c, 0, kPowerOn);
    send(l, command("54"), 0);
    std::size_t damaged = 0, clean = 0;
    for (int i = 0; i < 100; ++i) {
        std::vector<std::uint8_t> bytes;
        while (l.hasOutput()) {
            auto ch = l.takeOutput();
            bytes.insert(bytes.end(), ch.bytes.begin(), ch.bytes.end());
        }
        l.outputDrained(i);
        if (bytes.size() != 512 || !sectorSumOk(bytes.data()))
            ++damaged;
        else
            ++clean;
        ack(l, i);
    }
    EXPECT_EQ(damaged, l.stats().faultyPackets);
    EXPECT_GT(damaged, 20u);
    EXPECT_GT(clean, 20u);
}

TEST(Emulator, ModemPassThrough)
{
    LoggerEmulator l(config(), 0, kPowerOn);
    send(l, command("55"), 0);
    auto echo = drain(l, 0).at(0);
    EXPECT_TRUE(echo[53] & 0x80);
    EXPECT_TRUE(l.modemMode());
    const std::string at = "at*dchkloc\r";
    l.receive(reinterpret_cast<const std::uint8_t*>(at.data()), at.size(), 10);
    l.tick(100);
    std::string text;
    while (l.hasOutput()) {
        auto ch = l.takeOutput();
        text.append(ch.bytes.begin(), ch.bytes.end());
    }
    EXPECT_EQ(text, "\r\nOK\r\n");
    l.tick(2000);
    text.clear();
    while (l.hasOutput()) {
        auto ch = l.takeOutput();
        text.append(ch.bytes.begin(), ch.bytes.end());
    }
    EXPECT_EQ(text.rfind("\r\n*DCHKLOC:", 0), 0u);
    // A check ends the pass-through and is answered.
    send(l, command("00"), 3000);
    EXPECT_FALSE(l.modemMode());
    EXPECT_EQ(drain(l, 3000).size(), 1u);
}

TEST(Emulator, DeviceInformationReadAndTemporaryChange)
{
    LoggerEmulator l(config(), 0, kPowerOn);
    send(l, command("20"), 0);
    Packet info = drain(l, 0).at(0);
    EXPECT_EQ(info[2], 0x85);
    EXPECT_EQ(getU16(info.data(), 140), 10248);
    putU16(info.data(), 140, 10300);
    auto change = buildCommandPacket(hexImage(info), 0x13, CommandParameters{}, 0, kPowerOn);
    (*change)[45] = 0x27;
    fixSectorChecksum(change->data());
    std::vector<std::uint8_t> bytes(513);
    bytes[0] = kWakeUpByte;
    std::copy(change->begin(), change->end(), bytes.begin() + 1);
    send(l, bytes, 10);
    const Packet answer = drain(l, 10).at(0);
    EXPECT_EQ(getU16(answer.data(), 140), 10300);
    EXPECT_EQ(getU16(l.deviceInfo(false).data(), 140), 10248);  // non-volatile copy untouched
}
