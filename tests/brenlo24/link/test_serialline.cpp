// The receive threshold on top of the port's buffered bytes, and the
// device path of a port number.
#include "common/serialport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace varenta;

namespace {

struct Events {
    std::vector<SerialLine::Event> seen;
};

}  // namespace

TEST(SerialLine, EventOnceThresholdIsReachedCarryingTheCount)
{
    FakeSerialPort port;
    ASSERT_EQ(port.open("x", 9600), Status::Ok);
    SerialLine line(port);
    Events ev;
    line.setHandler([&](const SerialLine::Event& e) { ev.seen.push_back(e); });
    line.setThreshold(10);
    std::vector<std::uint8_t> four(4, 1);
    port.feed(four);
    port.feed(four);
    EXPECT_TRUE(ev.seen.empty());
    port.feed(four);  // 12 waiting
    ASSERT_EQ(ev.seen.size(), 1u);
    EXPECT_EQ(ev.seen[0].waiting, 12u);
    EXPECT_EQ(ev.seen[0].error, 0);
}

TEST(SerialLine, ThresholdAlreadyMetRaisesAtOnce)
{
    FakeSerialPort port;
    ASSERT_EQ(port.open("x", 9600), Status::Ok);
    SerialLine line(port);
    std::vector<std::size_t> counts;
    // Outside a handler the event is posted to the event loop, not run
    // inside setThreshold.
    line.setHandler([&](const SerialLine::Event& e) { counts.push_back(e.waiting); });
    line.setThreshold(0);
    std::vector<std::uint8_t> bytes(30, 7);
    port.feed(bytes);
    EXPECT_TRUE(counts.empty());  // threshold 0: no events
    line.setThreshold(20);
    EXPECT_TRUE(counts.empty());
    EXPECT_TRUE(port.posted());
    port.deliverPosted();
    ASSERT_EQ(counts.size(), 1u);
    EXPECT_EQ(counts[0], 30u);

    // Inside a handler it runs again right after the handler returns: one
    // arrival of 512 bytes gives the first-byte event and then the
    // remainder event.
    counts.clear();
    port.discardInput();
    line.setThreshold(1);
    std::vector<std::size_t> seenThresholds;
    line.setHandler([&](const SerialLine::Event& e) {
        counts.push_back(e.waiting);
        seenThresholds.push_back(line.threshold());
        std::vector<std::uint8_t> got;
        if (line.threshold() == 1) {
            line.setReadLength(1);
            line.read(got);
            line.setThreshold(511);
        } else {
            line.setReadLength(511);
            line.read(got);
            line.setThreshold(1);
        }
    });
    std::vector<std::uint8_t> packet(512, 0x5A);
    port.feed(packet);
    ASSERT_EQ(counts.size(), 2u);
    EXPECT_EQ(counts[0], 512u);
    EXPECT_EQ(counts[1], 511u);
    EXPECT_EQ(seenThresholds[1], 511u);
    EXPECT_EQ(port.bytesWaiting(), 0u);
    EXPECT_FALSE(port.posted());
}

TEST(SerialLine, ReadLengthLimitsARead)
{
    FakeSerialPort port;
    ASSERT_EQ(port.open("x", 9600), Status::Ok);
    SerialLine line(port);
    std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5};
    port.feed(bytes, false);
    std::vector<std::uint8_t> got;
    line.setReadLength(2);
    EXPECT_EQ(line.read(got), 2u);
    EXPECT_EQ(got, (std::vector<std::uint8_t>{1, 2}));
    line.setReadLength(0);
    EXPECT_EQ(line.read(got), 3u);
    EXPECT_EQ(line.read(got), 0u);
}

TEST(SerialLine, TraceSeesEveryReadAndWrite)
{
    FakeSerialPort port;
    ASSERT_EQ(port.open("x", 9600), Status::Ok);
    SerialLine line(port);
    std::string log;
    line.setTrace([&](char d, const std::uint8_t* p, std::size_t n) { log += hexTraceText(d, p, n) + "\n"; });
    const std::uint8_t out[] = {0x80, 0x5A};
    line.write(out, 2);
    std::vector<std::uint8_t> in(18, 0xAB);
    port.feed(in, false);
    line.setReadLength(0);
    std::vector<std::uint8_t> got;
    line.read(got);
    EXPECT_EQ(log, "> 80 5A\n< AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB\n  AB AB\n");
}

TEST(PortDevicePath, EnvironmentFirstThenTtyS)
{
    ::unsetenv("BRENLO24_COM7");
    EXPECT_EQ(portDevicePath(7), "/dev/ttyS6");
    EXPECT_EQ(portDevicePath(1), "/dev/ttyS0");
    ::setenv("BRENLO24_COM7", "/dev/pts/42", 1);
    EXPECT_EQ(portDevicePath(7), "/dev/pts/42");
    EXPECT_EQ(portDevicePath(8), "/dev/ttyS7");
    ::setenv("BRENLO24_COM7", "", 1);
    EXPECT_EQ(portDevicePath(7), "/dev/ttyS6");
    ::unsetenv("BRENLO24_COM7");
}
