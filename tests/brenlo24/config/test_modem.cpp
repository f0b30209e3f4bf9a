// The modem console over an in-memory port: connecting with "55", AT
// commands and their result blocks, cancel and close.
#include "brenlo24/config/modem.h"
#include "brenlo24/link/linkfixture.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

using namespace varenta;

namespace {

class ModemConsoleTest : public ::testing::Test, public ConsoleHost {
protected:
    FakeSerialPort port;
    std::unique_ptr<SerialLine> line;
    test::FakeHost linkHost;
    std::unique_ptr<DeviceLink> link;
    std::unique_ptr<ModemConsole> console;
    std::string text;
    std::vector<std::string> statuses;
    std::deque<std::function<void()>> steps;  // what arrives at each wait
    bool buttons = true;
    std::string caption;

    void SetUp() override
    {
        port.open("fake", 38400);
        line = std::make_unique<SerialLine>(port);
        link = std::make_unique<DeviceLink>(*line, linkHost);
        linkHost.link = link.get();
        link->setDumpFolder(test::scratchFolder("modem"));  // the echo dump goes there
        console = std::make_unique<ModemConsole>(*link, *line, *this);
    }
    void TearDown() override { setAppClock(nullptr); }
    void showStatus(const std::string& t) override { statuses.push_back(t); }
    void appendText(const std::string& t) override { text += t; }
    void clearText() override { text.clear(); }
    void setButtonsEnabled(bool on) override { buttons = on; }
    void setSendCaption(const std::string& c) override { caption = c; }
    void waitEvents() override
    {
        if (steps.empty()) {
            ADD_FAILURE() << "the console waited for more than the test sends";
            console->close();
            return;
        }
        auto f = steps.front();
        steps.pop_front();
        f();
    }
    void feed(const std::string& s) { port.feed(std::vector<std::uint8_t>(s.begin(), s.end())); }
    void answerConnect(bool modem)
    {
        Packet e = test::loggerPacket(0x84);
        if (modem)
            e[53] |= 0x80;
        fixSectorChecksum(e.data());
        steps.push_back([this, e] { port.feed(test::bytesOf(e)); });
        console->okPressed("AT");
    }
    std::string writtenText() const { return std::string(port.written().begin(), port.written().end()); }
};

}  // namespace

TEST_F(ModemConsoleTest, ConnectsThenWaitsForBothBlocksOfALowerCaseCommand)
{
    answerConnect(true);
    EXPECT_EQ(link->lastCommandCode(), 0x55);
    ASSERT_TRUE(console->modemMode());
    EXPECT_EQ(caption, "送信");
    EXPECT_TRUE(buttons);
    EXPECT_EQ(statuses.back(), "ＡＴコマンド送信可！");
    const std::size_t written = port.written().size();
    EXPECT_EQ(link->sendCommand("54", sendmode::kArmTimeout), DeviceLink::SendResult::Busy);  // the line is the modem's
    EXPECT_EQ(port.written().size(), written);

    std::string seenAfterTwo = "unset";
    steps.push_back([this] { feed(std::string("\x01O\x02K", 4)); });  // codes below 10 are dropped
    steps.push_back([this, &seenAfterTwo] {
        seenAfterTwo = text;  // two characters are not shown yet
        feed("\r");
    });
    steps.push_back([this] { feed("\r\n*DCHKLOC: 35.6,139.7\r\n"); });
    console->okPressed("at*dchkloc");

    EXPECT_EQ(seenAfterTwo, "");
    EXPECT_EQ(writtenText().substr(writtenText().size() - 11), "AT*DCHKLOC\r");
    EXPECT_EQ(text, "OK\r\n\r\n *DCHKLOC: 35.6,139.7\r\n ");
    EXPECT_FALSE(console->busy());
    EXPECT_TRUE(steps.empty());
    EXPECT_EQ(statuses.back(), "ＡＴリザルト受信！");
}

TEST_F(ModemConsoleTest, ClosingWhileWaitingSendsACheckAndLeavesModemMode)
{
    answerConnect(true);
    steps.push_back([this] { console->close(); });
    console->okPressed("AT");
    EXPECT_EQ(console->phase(), ModemConsole::Phase::Closed);
    EXPECT_FALSE(link->flags() & (linkflag::kModemMode | linkflag::kBusy));
    const auto& w = port.written();
    ASSERT_GE(w.size(), kPacketSize);
    const Packet last = [&] {
        Packet p;
        std::copy(w.end() - static_cast<long>(kPacketSize), w.end(), p.begin());
        return p;
    }();
    EXPECT_EQ(last[0], kPacketMarker);
    EXPECT_EQ(last[cmd::code], 0x00);
    EXPECT_TRUE(sectorSumOk(last.data()));
    EXPECT_EQ(statuses.back(), "UM05モニタ終了！");
}

TEST_F(ModemConsoleTest, SecondPressCancelsTheWaitAndARefusalStaysIdle)
{
    answerConnect(true);
    steps.push_back([this] { console->okPressed("AT"); });
    console->okPressed("AT");
    EXPECT_EQ(console->phase(), ModemConsole::Phase::Ready);
    EXPECT_EQ(statuses.back(), "ＡＴコマンドキャンセル！");
    EXPECT_TRUE(console->modemMode());

    console->close();
    console = std::make_unique<ModemConsole>(*link, *line, *this);
    answerConnect(false);
    EXPECT_EQ(console->phase(), ModemConsole::Phase::Idle);
    EXPECT_FALSE(console->modemMode());
    EXPECT_EQ(statuses.back(), "UM05モニタ接続不可！");
}

TEST_F(ModemConsoleTest, NoAnswerWithinSixtySecondsTimesOut)
{
    ManualClock clock(DateTime{2026, 12, 8, 10, 0, 0, 0});
    setAppClock(&clock);
    for (int i = 0; i < 61; ++i)
        steps.push_back([&clock] { clock.advanceMs(1000); });
    console->okPressed("AT");
    ASSERT_GE(statuses.size(), 2u);
    EXPECT_EQ(statuses[statuses.size() - 2], "UM05モニタ接続中！1");
    EXPECT_EQ(statuses.back(), "UM05モニタ接続タイムアウト！");
    EXPECT_EQ(steps.size(), 1u);  // sixty seconds of the PC clock, not more
    EXPECT_EQ(console->phase(), ModemConsole::Phase::Idle);
    EXPECT_TRUE(buttons);
    EXPECT_FALSE(link->flags() & (linkflag::kBusy | linkflag::kModemMode));
}

TEST(ModemText, ListConversionAndWaits)
{
    const auto list = modemCommandList("apn.example");
    ASSERT_EQ(list.size(), 14u);
    EXPECT_EQ(list[3], "AT*DCHKLOC");
    EXPECT_EQ(list[7], " ");
    EXPECT_EQ(list[8], "AT+CGDCONT=1,\"PPP\",\"apn.example\"");
    EXPECT_EQ(list[13], "+++");
    EXPECT_EQ(modemText("a\rb\nc"), "a\r\nb c");
    EXPECT_EQ(modemWaitFor(upperAscii("at*dchkloc")).blocks, 2);
    EXPECT_EQ(modemWaitFor("AT*DCHKLOC").seconds, 300);
    EXPECT_EQ(modemWaitFor("AT+CCLK?").blocks, 1);
}
