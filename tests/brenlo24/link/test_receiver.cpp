// The receive state machine, the sender and the time-out over the
// in-memory port.
#include "brenlo24/link/link.h"
#include "brenlo24/link/packetdump.h"
#include "linkfixture.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace varenta;
using namespace varenta::test;

namespace {

class RecordingHandler final : public PacketHandler {
public:
    std::vector<Packet> stored;
    std::vector<int> refreshes;
    int echoes = 0;
    int automaticEchoes = 0;
    int deviceInfos = 0;
    std::vector<bool> timeouts;
    Status storeResult = Status::Ok;

    Status storePacket(const Packet& p, const StatusRecord&) override
    {
        stored.push_back(p);
        return storeResult;
    }
    void refreshStatus(int kind) override { refreshes.push_back(kind); }
    void echoReceived(const Packet&, bool automatic) override { automatic ? ++automaticEchoes : ++echoes; }
    void deviceInfoReceived(const Packet&) override { ++deviceInfos; }
    void receiveTimedOut(bool collected) override { timeouts.push_back(collected); }
};

class Receiver : public ::testing::Test {
protected:
    FakeSerialPort port;
    SerialLine line{port};
    FakeHost host;
    DeviceLink link{line, host};
    RecordingHandler handler;
    std::string folder = scratchFolder("rx");

    void SetUp() override
    {
        ASSERT_EQ(port.open("/dev/fake", 38400), Status::Ok);
        host.link = &link;
        link.setHandler(&handler);
        link.setDumpFolder(folder);
        link.setLineSpeed(38400);
        link.flushAndRearm();
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::size_t acks() const
    {
        std::size_t n = 0;
        for (auto b : port.written())
            n += b == kAckByte;
        return n;
    }
};

}  // namespace

TEST_F(Receiver, EchoIsDecodedDumpedAndNotAcknowledged)
{
    const Packet echo = loggerPacket(0x84);
    port.feed(bytesOf(echo));
    EXPECT_EQ(link.counters().good, 1u);
    EXPECT_EQ(link.current().measurementNumber, 42u);
    EXPECT_EQ(link.current().sdUsage, 1234);
    EXPECT_EQ(link.current().values[0], -6400);
    EXPECT_EQ(host.status(), "パケット受信");
    EXPECT_EQ(host.indicators, 4);  // F2
    EXPECT_TRUE(link.flags() & linkflag::kAnswerReceived);
    EXPECT_EQ(acks(), 0u);
    EXPECT_EQ(handler.echoes, 1);
    EXPECT_EQ(host.beeps, 0);
    Packet dumped{};
    ASSERT_EQ(readPacketDump(folder + "/Echo.tbl", dumped), Status::Ok);
    EXPECT_EQ(dumped, echo);
    EXPECT_EQ(link.state(), DeviceLink::RxState::WaitFirst);
    EXPECT_EQ(line.threshold(), 1u);
}

TEST_F(Receiver, PacketArrivingInPiecesIsReassembled)
{
    const Packet data = loggerPacket(0x41, 77);
    const auto bytes = bytesOf(data);
    // one byte, then 300, then the rest: the threshold waits for 511
    port.feed(bytes.data(), 1);
    EXPECT_EQ(link.state(), DeviceLink::RxState::WaitRemainder);
    EXPECT_EQ(line.threshold(), 511u);
    port.feed(bytes.data() + 1, 300);
    EXPECT_EQ(handler.stored.size(), 0u);
    port.feed(bytes.data() + 301, 211);
    ASSERT_EQ(handler.stored.size(), 1u);
    EXPECT_EQ(handler.stored[0], data);
    EXPECT_EQ(acks(), 1u);
    EXPECT_EQ(host.status(), "受信パケット番号＝77");
}

TEST_F(Receiver, ErrorPacketsAndDroppedPackets)
{
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::size_t good, errors, dropped;
        const char* status;
        int beeps;
    };
    Packet sumOne = loggerPacket(0x41, 5);
    sumOne[100] = static_cast<std::uint8_t>(sumOne[100] + 1);
    std::vector<std::uint8_t> twoPackets = bytesOf(loggerPacket(0x41, 1));
    twoPackets.resize(600, 0x11);  // 599 waiting when the remainder is looked at
    std::vector<std::uint8_t> shortR(20, 0x33);
    shortR[0] = 'R';
    Packet month13 = loggerPacket(0x83, 9);
    month13[12] = 13;
    fixSectorChecksum(month13.data());
    Packet duration0 = loggerPacket(0x83, 9);
    duration0[14] = 0;
    fixSectorChecksum(duration0.data());

    const Case cases[] = {
        {"sum 1", bytesOf(sumOne), 0, 1, 0, "エラーパケット受信", 1},
        {"600 bytes", twoPackets, 0, 0, 1, "", 0},
        {"R packet", shortR, 0, 0, 1, "", 0},
        {"month 13", bytesOf(month13), 1, 0, 1, "パケット受信", 0},
        {"duration 0", bytesOf(duration0), 1, 0, 1, "パケット受信", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSerialPort p;
        SerialLine l(p);
        FakeHost h;
        DeviceLink lk(l, h);
        RecordingHandler hd;
        h.link = &lk;
        lk.setHandler(&hd);
        lk.setDumpFolder(folder);
        ASSERT_EQ(p.open("x", 38400), Status::Ok);
        lk.flushAndRearm();
        h.startReceiveTimer(1267);
        lk.sendCommand("54", 2);  // time-out armed
        p.clearWritten();
        p.feed(c.bytes);
        EXPECT_EQ(lk.counters().good, c.good);
        EXPECT_EQ(lk.counters().errorPackets, c.errors);
        EXPECT_EQ(lk.counters().dropped, c.dropped);
        EXPECT_EQ(hd.stored.size(), 0u);
        EXPECT_TRUE(p.written().empty()) << "acknowledged";
        EXPECT_EQ(h.beeps, c.beeps);
        if (*c.status) {
            EXPECT_EQ(h.status(), c.status);
        }
        EXPECT_FALSE(lk.flags() & linkflag::kAnswerReceived);
        EXPECT_EQ(l.threshold(), 1u);
        EXPECT_EQ(p.bytesWaiting(), 0u);
        // the run keeps its time-out: a logger that gives up still ends it
        EXPECT_TRUE(h.timer);
    }
}

TEST_F(Receiver, ShortPacketIsConsumedAndTheNextPacketStillArrives)
{
    std::vector<std::uint8_t> stream(20, 0x5A);  // even 'Z' bytes inside are part of the 'R' packet
    stream[0] = 'R';
    port.feed(stream);
    EXPECT_EQ(link.counters().dropped, 1u);
    port.feed(bytesOf(loggerPacket(0x41, 3)));
    ASSERT_EQ(handler.stored.size(), 1u);
    EXPECT_EQ(acks(), 1u);
}

TEST_F(Receiver, AcknowledgementByKind)
{
    struct Case {
        std::uint8_t kind;
        std::size_t acks;
        std::size_t stored;
    };
    for (Case c : {Case{0x41, 1, 1}, Case{0x01, 0, 1}, Case{0x83, 1, 1}, Case{0xC6, 1, 1}, Case{0x46, 1, 1},
                   Case{0x86, 0, 1}, Case{0x82, 0, 0}, Case{0x85, 0, 0}, Case{0x89, 0, 0}, Case{0x8E, 0, 0}}) {
        SCOPED_TRACE(int(c.kind));
        port.clearWritten();
        handler.stored.clear();
        port.feed(bytesOf(loggerPacket(c.kind, 12)));
        EXPECT_EQ(acks(), c.acks);
        EXPECT_EQ(port.written().size(), c.acks);  // a single byte, nothing else
        EXPECT_EQ(handler.stored.size(), c.stored);
    }
}

TEST_F(Receiver, AutomaticTransmissionsDispatchNothingButTheEcho)
{
    port.feed(bytesOf(loggerPacket(0x8C)));
    EXPECT_EQ(handler.automaticEchoes, 1);
    EXPECT_EQ(host.beeps, 1);
    EXPECT_EQ(link.current().measurementNumber, 42u);
    EXPECT_TRUE(std::filesystem::exists(folder + "/Echo.tbl"));
    for (std::uint8_t kind : {0x89, 0x8A, 0x8B, 0x8D, 0x8E, 0xC9, 0x4B}) {
        Packet p = loggerPacket(kind);
        putU32(p.data(), 28, 999);
        fixSectorChecksum(p.data());
        port.feed(bytesOf(p));
    }
    EXPECT_EQ(link.current().measurementNumber, 42u);
    EXPECT_TRUE(handler.stored.empty());
    EXPECT_EQ(handler.echoes + handler.automaticEchoes, 1);
    EXPECT_EQ(acks(), 0u);
}

TEST_F(Receiver, DeviceInformationGoesToItsOwnRecordAndBrenloTbl)
{
    Packet info = loggerPacket(0x85);
    putU16(info.data(), 140, 10248);
    fixSectorChecksum(info.data());
    port.feed(bytesOf(info));
    EXPECT_EQ(handler.deviceInfos, 1);
    EXPECT_EQ(link.deviceInfo().word128[0], 0);
    EXPECT_EQ(getU16(link.deviceInfo().raw.data(), 140), 10248);
    EXPECT_FALSE(link.current().valid);
    Packet dumped{};
    ASSERT_EQ(readPacketDump(folder + "/Brenlo.tbl", dumped), Status::Ok);
    EXPECT_EQ(dumped, info);
}

TEST_F(Receiver, UnexpectedFirstBytesAreFlushed)
{
    std::vector<std::uint8_t> junk = {0x00, 0x13, 0xFF};
    port.feed(junk);
    EXPECT_EQ(link.counters().rejected, 1u);  // the flush took the rest
    EXPECT_EQ(port.bytesWaiting(), 0u);
    port.feed(bytesOf(loggerPacket(0x84)));
    EXPECT_EQ(link.counters().good, 1u);
}

TEST_F(Receiver, AfterCommands14And44AnyFirstByteIsAccepted)
{
    ASSERT_EQ(link.sendCommand("44", 2), DeviceLink::SendResult::Sent);
    Packet p = loggerPacket(0x41, 8);
    p[0] = 0x33;  // accepted as a first byte, remainder as before (511)
    fixSectorChecksum(p.data());
    port.clearWritten();
    port.feed(bytesOf(p));
    EXPECT_EQ(handler.stored.size(), 1u);
    EXPECT_EQ(acks(), 1u);
}

TEST_F(Receiver, CollectionStopStoresButDoesNotAcknowledge)
{
    link.sendCommand("54", 2);
    port.clearWritten();
    port.feed(bytesOf(loggerPacket(0x41, 1)));
    EXPECT_EQ(acks(), 1u);
    link.requestStop();
    port.feed(bytesOf(loggerPacket(0x41, 2)));
    EXPECT_EQ(handler.stored.size(), 2u);
    EXPECT_EQ(acks(), 1u);
    EXPECT_TRUE(host.timer);  // the time-out ends the run
    host.tick = host.timerDue;
    host.serveEvents();
    EXPECT_EQ(host.status(), "回収終了");
    ASSERT_EQ(handler.timeouts.size(), 1u);
    EXPECT_TRUE(handler.timeouts[0]);
}

TEST_F(Receiver, FailedStoreWithholdsTheAcknowledgement)
{
    handler.storeResult = Status::Io;
    port.feed(bytesOf(loggerPacket(0x41, 1)));
    EXPECT_EQ(handler.stored.size(), 1u);
    EXPECT_EQ(acks(), 0u);
    EXPECT_FALSE(link.flags() & linkflag::kStoredSinceTimeout);
}

TEST_F(Receiver, TimeOutTexts)
{
    link.sendCommand("00", 2);
    EXPECT_TRUE(host.timer);
    EXPECT_EQ(host.timerMs, 1267);
    link.onReceiveTimeout();
    EXPECT_EQ(host.status(), "受信タイムアウト");
    link.setFlags(linkflag::kBusy);
    port.feed(bytesOf(loggerPacket(0x41, 1)));
    link.onReceiveTimeout();
    EXPECT_EQ(host.status(), "回収終了");
    EXPECT_FALSE(link.busy());
    link.onReceiveTimeout();  // the mark was cleared
    EXPECT_EQ(host.status(), "受信タイムアウト");
    EXPECT_TRUE(link.flags() & linkflag::kAnswerReceived);
}

TEST_F(Receiver, LineErrorEvents)
{
    port.feed(bytesOf(loggerPacket(0x84)).data(), 100);
    port.raiseError(kSerialFrame);
    EXPECT_EQ(host.status(), "RS-232C-1004");
    EXPECT_EQ(host.beeps, 1);
    EXPECT_EQ(port.bytesWaiting(), 0u);
    EXPECT_EQ(link.state(), DeviceLink::RxState::WaitFirst);
    port.raiseError(7);  // not a line error: ignored
    EXPECT_EQ(host.beeps, 1);
}

TEST_F(Receiver, InputBufferOverflowIsALineError)
{
    std::vector<std::uint8_t> flood(9000, 0x00);
    port.feed(flood);
    EXPECT_EQ(host.status(), "RS-232C-1008");
    EXPECT_EQ(port.bytesWaiting(), 0u);
}

TEST_F(Receiver, ReentryGuardAndModemMode)
{
    link.setFlags(linkflag::kHandlerRunning);
    port.feed(bytesOf(loggerPacket(0x84)));
    EXPECT_EQ(link.counters().good, 0u);
    link.clearFlags(linkflag::kHandlerRunning);
    port.discardInput();

    link.setFlags(linkflag::kModemMode);
    const std::string answer = "\r\nOK\r\n";
    std::vector<std::uint8_t> bytes(answer.begin(), answer.end());
    bytes.push_back(0x05);
    port.feed(bytes);
    EXPECT_EQ(link.modemBuffer(), "\r\nOK\r\n");  // CR and LF kept, 0x05 dropped
}

TEST_F(Receiver, SendCommandWritesWakeUpThenThePacket)
{
    CommandParameters par;
    par.machineNumber = 12;
    link.setParameters([&] { return par; });
    ASSERT_EQ(link.sendCommand("00", 2), DeviceLink::SendResult::Sent);
    ASSERT_EQ(port.written().size(), 513u);
    EXPECT_EQ(port.written()[0], 0x80);
    EXPECT_EQ(port.written()[1], 0x5A);
    EXPECT_EQ(port.written()[2], 12);
    EXPECT_EQ(byteSum(port.written().data() + 1, 512), 0);
    EXPECT_EQ(host.status(), "コマンド送信");
    EXPECT_EQ(host.sleptMs, 20 + 138);  // wake-up pause, then the packet's line time
    EXPECT_EQ(host.repaints, 1);
    EXPECT_EQ(link.lastCommandCode(), 0x00);

    // mode 4 pauses but arms nothing
    host.sleptMs = 0;
    link.sendCommand("04", 4);
    EXPECT_FALSE(host.timer);
    EXPECT_EQ(host.sleptMs, 20 + 138);
    // mode 0: no pause at all
    host.sleptMs = 0;
    link.sendCommand("04", 0);
    EXPECT_EQ(host.sleptMs, 20);
}

TEST_F(Receiver, BusyAndClosedPortRefuseToSend)
{
    link.setFlags(linkflag::kBusy);
    EXPECT_EQ(link.sendCommand("00", 2), DeviceLink::SendResult::Busy);
    EXPECT_EQ(host.status(), "送信不可");
    EXPECT_TRUE(port.written().empty());
    link.clearFlags(linkflag::kBusy);
    port.close();
    EXPECT_EQ(link.sendCommand("00", 3), DeviceLink::SendResult::Failed);
    EXPECT_EQ(host.status(), "送信不可");
    EXPECT_EQ(link.sendCommand("XYZ", 2), DeviceLink::SendResult::Failed);
}

TEST_F(Receiver, WaitModeEndsWithTheAnswerOrTheTimeOut)
{
    // The logger answers while the sender keeps the program alive.
    int serves = 0;
    host.onServe = [&] {
        if (++serves == 3)
            port.feed(bytesOf(loggerPacket(0x85)));
    };
    ASSERT_EQ(link.sendCommand("20", 3), DeviceLink::SendResult::Sent);
    EXPECT_EQ(handler.deviceInfos, 1);
    EXPECT_GE(serves, 3);
    EXPECT_FALSE(host.timer);  // stopped by the packet

    // Silence: the time-out ends the wait with its text.
    host.onServe = nullptr;
    const auto start = host.tick;
    ASSERT_EQ(link.sendCommand("10", 3), DeviceLink::SendResult::Sent);
    EXPECT_EQ(host.status(), "受信タイムアウト");
    EXPECT_GE(host.tick - start, 1267);
    EXPECT_LT(host.tick - start, 1267 + 300);
}

TEST_F(Receiver, WithoutAWriterNothingIsAcknowledged)
{
    link.setHandler(nullptr);
    port.feed(bytesOf(loggerPacket(0x41, 1)));
    port.feed(bytesOf(loggerPacket(0x83, 2)));
    EXPECT_EQ(link.counters().good, 2u);
    EXPECT_EQ(link.counters().stored, 0u);
    EXPECT_EQ(acks(), 0u);
}
