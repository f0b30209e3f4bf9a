// Serial output of results records: the port settings text, the opening
// and its status texts, the packet on the wire and the log.
#include "tolv/shell/serialoutput.h"

#include "common/test_settings_fixture.h"
#include "common/textfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <numeric>

using namespace varenta;
using namespace varenta::testing;

namespace {

TEST(OutputPortSettings, ReadsEachFieldByPosition)
{
    struct Case {
        const char* text;
        int port, speed;
        char parity;
        int data, stop;
    } const cases[] = {
        {"01,009600,n,8,1", 1, 9600, 'n', 8, 1}, {"03:019200:e:7:2", 3, 19200, 'e', 7, 2},
        {"00,009600,n,8,1", 0, 9600, 'n', 8, 1}, {"", 0, 0, 'n', 0, 0}, {"2", 2, 0, 'n', 0, 2},
    };
    for (const auto& c : cases) {
        const OutputPortSettings p = parseOutputPortSettings(c.text);
        EXPECT_EQ(std::tie(p.port, p.speed, p.parity, p.dataBits, p.stopBits),
                  std::tie(c.port, c.speed, c.parity, c.data, c.stop))
            << c.text;
    }
}

class SerialOutputTest : public ::testing::Test {
protected:
    FakeSerialPort port;
    std::vector<int> waits;
    std::vector<std::size_t> writtenAtWait;
    SerialOutput out{port, [this](int ms) {
                         waits.push_back(ms);
                         writtenAtWait.push_back(port.written().size());
                     }};
    TempFolder dir;
    MeasurementHeader header;
    const std::string rec = std::string("  60,   20,") + std::string(379, '7') + "\r\n";

    void SetUp() override
    {
        ::setenv("TOLV_COM1", "/dev/pts/77", 1);
        header.marker = 0x5A;
        header.machineNumber = 12;
        header.dateText = "26/ 5/ 6";
        header.timeText = "07:00:00";
    }
    void TearDown() override { ::unsetenv("TOLV_COM1"); }
};

TEST_F(SerialOutputTest, OpeningGivesTheStatusTexts)
{
    EXPECT_EQ(out.open("00,009600,n,8,1"), "");
    EXPECT_EQ(port.openCount(), 0);
    EXPECT_EQ(out.open("01,019200,e,7,2"), "COM1-19200");
    EXPECT_EQ(port.device(), "/dev/pts/77");
    EXPECT_EQ(std::make_tuple(port.speed(), port.parity(), port.dataBits(), port.stopBits()),
              std::make_tuple(19200, 'e', 7, 2));
    EXPECT_TRUE(port.dtr() && port.rts());
    EXPECT_TRUE(waits.empty());
    // Opening again closes first and waits a second.
    EXPECT_EQ(out.open("02,009600,n,8,1"), "COM2-9600");
    EXPECT_EQ(port.device(), "/dev/ttyS1");
    EXPECT_EQ(waits, std::vector<int>{1000});
    port.failOpen = true;
    EXPECT_EQ(out.open("01,009600,n,8,1"), "COM1-使用不可");
    EXPECT_FALSE(out.isOpen());
    port.failOpen = false;
    EXPECT_EQ(out.open("01,000000,n,8,1"), "COM1-使用不可");
    // Port 0 closes an open port.
    ASSERT_EQ(out.open("01,009600,n,8,1"), "COM1-9600");
    EXPECT_EQ(out.open("00,009600,n,8,1"), "");
    EXPECT_FALSE(out.isOpen());
}

TEST_F(SerialOutputTest, SendsLeadBytePauseAndPacketWithZeroSum)
{
    const std::string log = dir.file("tolvsout.log");
    EXPECT_EQ(out.send(header, 5, rec, 3, log).status, Status::Refused);  // not open: nothing
    EXPECT_TRUE(port.written().empty());
    ASSERT_EQ(out.open("01,009600,n,8,1"), "COM1-9600");

    const SerialOutput::Sent s = out.send(header, 70000, rec, 0, log);
    ASSERT_EQ(s.status, Status::Ok);
    const auto& w = port.written();
    ASSERT_EQ(w.size(), 513u);
    EXPECT_EQ(w[0], 0x80);
    EXPECT_EQ(waits, std::vector<int>{20});
    EXPECT_EQ(writtenAtWait, std::vector<std::size_t>{1});  // the pause lies between lead byte and packet
    EXPECT_EQ(std::vector<int>(w.begin() + 1, w.begin() + 3), (std::vector<int>{0x5A, 12}));
    EXPECT_EQ(w[3], 'F');
    EXPECT_EQ(w[5] | (w[6] << 8) | (w[7] << 16) | (w[8] << 24), 70000 & 0xFFFF);
    EXPECT_EQ(std::string(w.begin() + 9, w.begin() + 9 + 392), rec);
    EXPECT_TRUE(std::all_of(w.begin() + 401, w.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(std::accumulate(w.begin() + 1, w.end(), 0u) % 256, 0u);
    EXPECT_EQ(s.statusText, "送信[07:00]=" + rec.substr(0, 390));
    EXPECT_FALSE(std::ifstream(log).good());  // no log switches, no log

    // The measurement number whose low byte cancels the rest of the sum:
    // the check byte 0 is still sent.
    const std::uint8_t c = buildOutputPacket(header, 0, rec)[3];
    port.clearWritten();
    ASSERT_EQ(out.send(header, c, rec, 0, log).status, Status::Ok);
    ASSERT_EQ(w.size(), 513u);
    EXPECT_EQ(w[4], 0);
    port.failWrite = true;
    EXPECT_EQ(out.send(header, 1, rec, 0, log).status, Status::Io);
}

TEST_F(SerialOutputTest, LogSwitchesGiveTextThenHexLines)
{
    const std::string log = dir.file("tolvsout.log");
    ASSERT_EQ(out.open("01,009600,n,8,1"), "COM1-9600");
    for (int sw : {soutlog::kText | soutlog::kHex, soutlog::kHex, soutlog::kText})
        ASSERT_EQ(out.send(header, sw, rec, sw, log).logStatus, Status::Ok);
    std::vector<std::string> lines;
    ASSERT_EQ(readTextLines(log, lines), Status::Ok);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], rec.substr(0, 390) + "26/ 5/ 6 07:00:00;");
    EXPECT_EQ(lines[1].size(), 18u + 1024u);
    EXPECT_EQ(lines[1].substr(0, 24), "26/ 5/ 6 07:00:00;5A0C46");
    EXPECT_EQ(lines[1].substr(26, 8), "03000000");  // measurement 3
    EXPECT_EQ(lines[2].substr(26, 8), "02000000");
    EXPECT_EQ(lines[3], lines[0]);
    EXPECT_EQ(out.send(header, 4, rec, soutlog::kText, dir.file("no/such/folder/log")).logStatus, Status::Io);
}

}  // namespace
