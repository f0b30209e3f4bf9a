// The device commands and collection in the main window, offscreen,
// against the logger emulator on a pseudo-terminal.
#include "brenlo24/link/packetdump.h"
#include "brenlo24/link/ui/form1.h"
#include "common/bytes.h"
#include "common/clock.h"
#include "common/textfile.h"
#include "tools/emulator/runner.h"
#include "brenlo24/link/linkfixture.h"
#include "fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

using namespace varenta;
using namespace varenta::emu;
namespace fs = std::filesystem;

namespace {

using test::child;
using test::waitFor;

std::string labelText(QWidget* w, const char* name) { return child<QLabel>(w, name)->text().toStdString(); }
std::string comboText(QWidget* w, const char* name) { return child<QComboBox>(w, name)->currentText().toStdString(); }

// The date and time are set by the test; the millisecond tick runs on.
class SetClock final : public Clock {
public:
    DateTime t{2026, 5, 6, 10, 4, 58, 0};
    DateTime now() const override { return t; }
    std::int64_t tickMs() const override { return real.tickMs(); }
    SystemClock real;
};

std::string bytesOf(const std::string& path)
{
    std::string s;
    if (fs::exists(path))
        readFileBytes(path, s);
    return s;
}

class CollectWindow : public ::testing::Test {
protected:
    std::string folder;
    std::unique_ptr<EmulatorRunner> emu;
    test::ConfirmScript prompter;

    void SetUp() override
    {
        folder = test::testFolder("collectwin");
        ASSERT_EQ(test::installTestProgram(folder), Status::Ok);
    }
    void TearDown() override
    {
        if (emu)
            emu->stop();
        setAppClock(nullptr);
        ::unsetenv("BRENLO24_COM1");
        fs::remove_all(folder);
    }
    void startEmulator(int measurements, int speed = 38400, bool pace = false)
    {
        EmulatorConfig cfg;
        cfg.recording.durationMinutes = 1;
        cfg.recording.intervalMinutes = 10;
        cfg.recording.measureFlags = 1;
        cfg.recording.cheapSynthesis = true;
        cfg.prefillMeasurements = measurements;
        cfg.lineSpeed = speed;
        cfg.pace = pace;
        emu = std::make_unique<EmulatorRunner>(cfg);
        ASSERT_EQ(emu->openPty(), Status::Ok);
        ::setenv("BRENLO24_COM1", emu->slavePath().c_str(), 1);
        emu->start();
    }
    std::vector<std::uint8_t> codes() { return emu->stats().codes; }
    bool codeArrived(std::uint8_t code)
    {
        return waitFor(
            [&] {
                const auto c = codes();
                return !c.empty() && c.back() == code;
            },
            3000);
    }
    void screenshot(QWidget& w, const char* name)
    {
        if (const char* dir = std::getenv("VARENTA_SCREENSHOT_DIR"); dir && *dir) {
            w.resize(w.sizeHint());
            w.grab().save(QString::fromUtf8(dir) + "/" + QString::fromLatin1(name));
        }
    }
};

}  // namespace

TEST_F(CollectWindow, MeasurementCommandsAndMonitor)
{
    startEmulator(2);
    Form1 w("");
    w.setPrompter(&prompter);

    child<QPushButton>(&w, "Command2_0")->click();  // start
    ASSERT_TRUE(codeArrived(0x81));
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].caption, "測定起動の注意");
    EXPECT_EQ(w.link().lastSent()[cmd::code], 0x81);
    EXPECT_EQ(w.link().lastSent()[cmd::duration], 20);  // the start controls travel with it

    prompter.results.push_back({"can", "0"});  // a cancelled stop sends nothing
    child<QPushButton>(&w, "Command2_1")->click();
    child<QPushButton>(&w, "Command2_1")->click();
    ASSERT_TRUE(codeArrived(0x03));
    EXPECT_EQ(codes().size(), 2u);
    EXPECT_EQ(prompter.asked[2].caption, "測定停止の注意");

    // Monitor: packets refresh the data page as they arrive.
    child<QPushButton>(&w, "Command3_3")->click();
    ASSERT_TRUE(codeArrived(0x34));
    EXPECT_EQ(prompter.asked.back().caption, "モニタ開始");
    ASSERT_TRUE(waitFor([&] { return w.link().counters().good >= 3; }, 4000));
    EXPECT_EQ(labelText(&w, "Label2_6"), "001");
    EXPECT_FALSE(labelText(&w, "Label3_6").empty());
    EXPECT_EQ(labelText(&w, "Label1_1"), "■");  // F1: monitor kind 2
    child<QPushButton>(&w, "Command3_4")->click();
    ASSERT_TRUE(codeArrived(0x04));
    EXPECT_EQ(prompter.asked.back().caption, "モニタ終了");
    EXPECT_FALSE(emu->with([](LoggerEmulator& l) { return l.monitoring(); }));

    // Initialise with the card files: "07", then the port is opened again.
    prompter.results.push_back({"", "1"});
    child<QPushButton>(&w, "Command2_2")->click();
    ASSERT_TRUE(codeArrived(0x07));
    EXPECT_EQ(prompter.asked.back().caption, "初期化の注意");
    EXPECT_EQ(prompter.asked.back().checkCaption, "SDﾌｧｲﾙ");
    EXPECT_EQ(w.statusText(), "COM1-38400");
    EXPECT_TRUE(w.port().isOpen());
    EXPECT_EQ(emu->with([](LoggerEmulator& l) { return l.memory().measurementCount(); }), 0);
    prompter.results.push_back({"can", "0"});
    child<QPushButton>(&w, "Command2_2")->click();
    EXPECT_EQ(w.statusText(), "キャンセル！");
}

TEST_F(CollectWindow, SdCardRefusal)
{
    Packet last{};
    last[0] = 0x5A;
    last[1] = 255;
    last[2] = 0x84;
    putU16(last.data(), 24, 10000);
    fixSectorChecksum(last.data());
    ASSERT_EQ(writePacketDump(folder + "/Brenlo.tbl", last), Status::Ok);
    startEmulator(1);
    Form1 w("");
    w.setPrompter(&prompter);
    child<QPushButton>(&w, "Command2_0")->click();
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].title, "ＳＤカード情報");
    EXPECT_EQ(prompter.boxes[0].text, "ＳＤカード使用不可！");
    EXPECT_TRUE(prompter.asked.empty());
    waitFor([] { return false; }, 200);
    EXPECT_TRUE(codes().empty());
}

TEST_F(CollectWindow, CollectButtonWritesTheMasterFile)
{
    startEmulator(30, 38400, true);
    Form1 w("");
    w.setPrompter(&prompter);
    child<QPushButton>(&w, "Command3_0")->click();
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].caption, "データ回収");
    ASSERT_TRUE(waitFor([&] { return w.writer().counters().sectors >= 20; }, 10000)) << w.statusText();
    EXPECT_EQ(w.statusText().rfind("受信パケット番号＝", 0), 0u) << w.statusText();
    screenshot(w, "brenlo24_collecting.png");
    // the header packets put the measurement into the panel
    EXPECT_FALSE(labelText(&w, "Label3_1").empty());
    ASSERT_TRUE(waitFor([&] { return w.statusText() == "回収終了"; }, 20000)) << w.statusText();
    EXPECT_TRUE(bytesOf(folder + "/nr255m.h10") == emu->memoryImage());
    EXPECT_EQ(getS32(w.link().lastSent().data(), cmd::firstNumber), 0);

    // The header search before a text conversion finds the newest.
    const NewestSearch found = w.searchNewestMeasurement(folder + "/nr255m.h10");
    EXPECT_EQ(found.newestNumber, 30u);
    EXPECT_EQ(w.statusText(), "測定番号= 30");
    const NewestSearch none = w.searchNewestMeasurement(folder + "/Brenloid.txt");
    EXPECT_FALSE(none.found);
    EXPECT_EQ(w.statusText(), "ファイル使用不可");
}

TEST_F(CollectWindow, ResultCollectionInExtendedOperation)
{
    startEmulator(12);
    // extended operation (0x8000) with the result box ticked (0x40000)
    Form1 w(",,,,48000");
    w.setPrompter(&prompter);
    ASSERT_TRUE(child<QCheckBox>(&w, "Check3_6")->isChecked());
    child<QLineEdit>(&w, "Text2_0")->setText("12");
    child<QLineEdit>(&w, "Text2_1")->setText("12");
    prompter.results.push_back({"", "1"});  // "処理" ticked: processed again
    child<QPushButton>(&w, "Command3_0")->click();
    ASSERT_TRUE(codeArrived(0x26));
    EXPECT_EQ(prompter.asked[0].caption, "データ処理");
    EXPECT_EQ(prompter.asked[0].checkCaption, "処理");
    ASSERT_TRUE(waitFor([&] { return w.statusText() == "回収終了"; }, 8000)) << w.statusText();
    const std::string list = bytesOf(folder + "/nr255r.txt");
    ASSERT_EQ(list.size(), 5096u + 392u);
    EXPECT_EQ(list.substr(5096), emu->with([](LoggerEmulator& l) { return l.memory().resultLine(12); }));
    EXPECT_EQ(bytesOf(folder + "/nr255r.h10").size(), 12u * 512u);
    // the panel after the result line
    EXPECT_EQ(labelText(&w, "Label3_1"), "255-12");
    const DateTime start = emu->with([](LoggerEmulator& l) { return l.memory().startOf(12); });
    char time[16];
    std::snprintf(time, sizeof time, "%2d:%02d:00", start.hour, start.minute);
    EXPECT_EQ(labelText(&w, "Label3_3"), time);
    EXPECT_EQ(getS32(w.link().lastSent().data(), cmd::firstNumber), 12);
}

TEST_F(CollectWindow, CollectionStopEndsTheRun)
{
    startEmulator(40, 38400, true);
    Form1 w("");
    w.setPrompter(&prompter);
    child<QPushButton>(&w, "Command3_0")->click();
    ASSERT_TRUE(waitFor([&] { return w.writer().counters().sectors >= 4; }, 10000));
    child<QPushButton>(&w, "Command3_1")->click();
    const std::size_t acks = w.link().counters().acks;
    ASSERT_TRUE(waitFor([&] { return w.statusText() == "回収終了"; }, 20000)) << w.statusText();
    EXPECT_EQ(w.link().counters().acks, acks);
    EXPECT_LT(bytesOf(folder + "/nr255m.h10").size(), emu->memoryImage().size());
    EXPECT_EQ(emu->stats().streamsAbandoned, 1u);
}

TEST_F(CollectWindow, RefusedWriteShowsTheErrorAndWithholdsTheAcknowledgement)
{
    fs::create_directories(folder + "/nr255m.h10");
    startEmulator(2);
    Form1 w("");
    w.setPrompter(&prompter);
    child<QPushButton>(&w, "Command3_0")->click();
    ASSERT_TRUE(waitFor([&] { return w.statusText() == "ファイル書込み不可 nr255m.h10"; }, 3000)) << w.statusText();
    ASSERT_TRUE(waitFor([&] { return emu->stats().resends >= 1; }, 3000));
    ASSERT_TRUE(waitFor([&] { return w.statusText().rfind("受信タイムアウト", 0) == 0; }, 10000)) << w.statusText();
    EXPECT_EQ(w.statusText(), "受信タイムアウト  ファイル書込み不可 nr255m.h10");
    EXPECT_EQ(emu->stats().acks, 0u);
    EXPECT_EQ(w.link().counters().acks, 0u);
}

TEST_F(CollectWindow, AutomaticCollectionAtTheScheduledMinute)
{
    SetClock clock;
    setAppClock(&clock);
    startEmulator(3);
    // automatic collection ticked (0x100) at 10:05, every minute
    Form1 w("com1,38400,12,,100,10,5,1");
    w.setPrompter(&prompter);
    EXPECT_EQ(comboText(&w, "Combo4_0"), "10");
    EXPECT_EQ(comboText(&w, "Combo4_1"), "5");
    w.autoCollectCheck();
    waitFor([] { return false; }, 100);
    EXPECT_TRUE(codes().empty());

    clock.t = DateTime{2026, 5, 6, 10, 5, 0, 0};
    w.autoCollectCheck();
    ASSERT_TRUE(codeArrived(0x54));
    EXPECT_TRUE(prompter.asked.empty());  // no confirmation
    EXPECT_EQ(getS32(w.link().lastSent().data(), cmd::firstNumber), -1);
    EXPECT_EQ(getS32(w.link().lastSent().data(), cmd::lastNumber), 0);
    EXPECT_EQ(w.link().lastSent()[cmd::machine], 12);
    EXPECT_EQ(child<QLineEdit>(&w, "Text2_0")->text(), "-1");
    EXPECT_EQ(comboText(&w, "Combo4_1"), "6");
    ASSERT_TRUE(waitFor([&] { return w.statusText() == "回収終了"; }, 8000)) << w.statusText();
    EXPECT_TRUE(bytesOf(folder + "/nr255m.h10") == emu->memoryImage());

    // 23:50 every 20 minutes: the next time becomes 0:10 (box off: nothing sent).
    child<QCheckBox>(&w, "Check3_0")->setChecked(false);
    child<QComboBox>(&w, "Combo4_0")->setCurrentText("23");
    child<QComboBox>(&w, "Combo4_1")->setCurrentText("50");
    child<QComboBox>(&w, "Combo4_2")->setCurrentText("20");
    const std::size_t before = codes().size();
    clock.t = DateTime{2026, 5, 6, 23, 50, 0, 0};
    w.autoCollectCheck();
    EXPECT_EQ(comboText(&w, "Combo4_0"), "0");
    EXPECT_EQ(comboText(&w, "Combo4_1"), "10");
    waitFor([] { return false; }, 100);
    EXPECT_EQ(codes().size(), before);
}

TEST_F(CollectWindow, StartUpAlignsTheScheduleAndTheStatusPanelShowsAfterACheck)
{
    SetClock clock;
    clock.t = DateTime{2026, 5, 6, 9, 45, 0, 0};
    setAppClock(&clock);
    startEmulator(4);
    Form1 w("com1,38400,255,,8000,6,30,60");
    EXPECT_EQ(comboText(&w, "Combo4_0"), "10");
    EXPECT_EQ(comboText(&w, "Combo4_1"), "30");
    setAppClock(nullptr);
    child<QPushButton>(&w, "Command1_0")->click();
    ASSERT_TRUE(waitFor([&] { return w.statusText() == "パケット受信"; }, 3000));
    EXPECT_EQ(labelText(&w, "Label3_1"), "4-2550");
    EXPECT_EQ(labelText(&w, "Label3_4"), "1/10");
    EXPECT_EQ(labelText(&w, "Label1_5"), "■");  // 0.5 s
    EXPECT_EQ(child<QComboBox>(&w, "Combo5_0")->currentIndex(), 1);
    screenshot(w, "brenlo24_status.png");
}
