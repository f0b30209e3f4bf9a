// Serial output of results records: the port settings text, the opening
// and its status texts, the packet on the wire and the log.
#include "tolv/shell/serialoutput.h"

#include "common/textfile.h"
#include "common/test_settings_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <numeric>

using namespace varenta;
using namespace varenta::testing;

namespace {

struct ParseCase {
    const char* text;
    int port, speed;
    char parity;
    int data, stop;
};

TEST(OutputPortSettings, ReadsEachFieldByPosition)
{
    const ParseCase cases[] = {
        {"01,009600,n,8,1", 1, 9600, 'n', 8, 1},  {"03,019200,e,7,2", 3, 19200, 'e', 7, 2},
        {"00,009600,n,8,1", 0, 9600, 'n', 8, 1},  {"12,115200,O,8,1", 12, 115200, 'O', 8, 1},
        {"02:004800:e:7:2", 2, 4800, 'e', 7, 2},  {"", 0, 0, 'n', 0, 0},                   {"2", 2, 0, 'n', 0, 2},
    };
    for (const auto& c : cases) {
        const OutputPortSettings p = parseOutputPortSettings(c.text);
        EXPECT_EQ(p.port, c.port) << c.text;
        EXPECT_EQ(p.speed, c.speed) << c.text;
        EXPECT_EQ(p.parity, c.parity) << c.text;
        EXPECT_EQ(p.dataBits, c.data) << c.text;
        EXPECT_EQ(p.stopBits, c.stop) << c.text;
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

    void SetUp() override
    {
        ::setenv("TOLV_COM1", "/dev/pts/77", 1);
        header.marker = 0x5A;
        header.machineNumber = 12;
        header.dateText = "26/ 5/ 6";
        header.timeText = "07:00:00";
    }
    void TearDown() override { ::unsetenv("TOLV_COM1"); }

    static std::string record(char fill)
    {
        std::string r(390, fill);
        r.replace(0, 11, "  60,   20,");
        return r + "\r\n";
    }
};

TEST_F(SerialOutputTest, OpeningGivesTheStatusTexts)
{
    EXPECT_EQ(out.open("00,009600,n,8,1"), "");
    EXPECT_EQ(port.openCount(), 0);
    EXPECT_EQ(out.open("01,019200,e,7,2"), "COM1-19200");
    EXPECT_EQ(port.device(), "/dev/pts/77");
    EXPECT_EQ(port.speed(), 19200);
    EXPECT_EQ(port.parity(), 'e');
    EXPECT_EQ(port.dataBits(), 7);
    EXPECT_EQ(port.stopBits(), 2);
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
    const std::string rec = record('7');
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
    EXPECT_EQ(w[1], 0x5A);
    EXPECT_EQ(w[2], 12);
    EXPECT_EQ(w[3], 'F');
    EXPECT_EQ(w[5] | (w[6] << 8), 70000 & 0xFFFF);
    EXPECT_EQ(w[7], 0);
    EXPECT_EQ(w[8], 0);
    EXPECT_EQ(std::string(w.begin() + 9, w.begin() + 9 + 392), rec);
    EXPECT_TRUE(std::all_of(w.begin() + 401, w.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(std::accumulate(w.begin() + 1, w.end(), 0u) % 256, 0u);
    EXPECT_EQ(s.statusText, "送信[07:00]=" + rec.substr(0, 390));
    EXPECT_FALSE(std::ifstream(log).good());  // no log switches, no log

    port.failWrite = true;
    EXPECT_EQ(out.send(header, 1, rec, 0, log).status, Status::Io);
}

TEST_F(SerialOutputTest, CheckByteZeroIsStillSent)
{
    // The measurement number whose low byte cancels the rest of the sum.
    const std::string rec = record('3');
    const std::uint8_t c = buildOutputPacket(header, 0, rec)[3];
    const OutputPacket p = buildOutputPacket(header, c, rec);
    EXPECT_EQ(p[3], 0);
    ASSERT_EQ(out.open("01,009600,n,8,1"), "COM1-9600");
    ASSERT_EQ(out.send(header, c, rec, 0, dir.file("x.log")).status, Status::Ok);
    ASSERT_EQ(port.written().size(), 513u);
    EXPECT_EQ(port.written()[4], 0);
}

TEST_F(SerialOutputTest, LogSwitchesGiveTextThenHexLines)
{
    const std::string log = dir.file("tolvsout.log");
    ASSERT_EQ(out.open("01,009600,n,8,1"), "COM1-9600");
    const std::string rec = record('4');
    ASSERT_EQ(out.send(header, 1, rec, soutlog::kText | soutlog::kHex, log).logStatus, Status::Ok);
    ASSERT_EQ(out.send(header, 2, rec, soutlog::kHex, log).logStatus, Status::Ok);
    ASSERT_EQ(out.send(header, 3, rec, soutlog::kText, log).logStatus, Status::Ok);
    std::vector<std::string> lines;
    ASSERT_EQ(readTextLines(log, lines), Status::Ok);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], rec.substr(0, 390) + "26/ 5/ 6 07:00:00;");
    EXPECT_EQ(lines[1].substr(0, 18), "26/ 5/ 6 07:00:00;");
    EXPECT_EQ(lines[1].size(), 18u + 1024u);
    EXPECT_EQ(lines[1].substr(18, 6), "5A0C46");
    EXPECT_EQ(lines[1].substr(26, 8), "01000000");
    EXPECT_EQ(lines[2].substr(26, 8), "02000000");
    EXPECT_EQ(lines[3], lines[0]);
    EXPECT_EQ(out.send(header, 4, rec, soutlog::kText, dir.file("no/such/folder/log")).logStatus, Status::Io);
}

}  // namespace
