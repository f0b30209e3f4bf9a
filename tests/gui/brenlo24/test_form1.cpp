// The main window of the communication program, offscreen, against the
// logger emulator on a pseudo-terminal.
#include "brenlo24/link/packetdump.h"
#include "brenlo24/link/ui/form1.h"
#include "common/bytes.h"
#include "common/prompter.h"
#include "tools/emulator/runner.h"
#include "fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

using namespace varenta;
using namespace varenta::emu;

namespace {

using test::child;
using test::waitFor;

std::string text(QWidget* w, const char* name)
{
    if (auto* l = w->findChild<QLabel*>(QString::fromLatin1(name)))
        return l->text().toStdString();
    if (auto* e = w->findChild<QLineEdit*>(QString::fromLatin1(name)))
        return e->text().toStdString();
    if (auto* c = w->findChild<QComboBox*>(QString::fromLatin1(name)))
        return c->currentText().toStdString();
    ADD_FAILURE() << "no control " << name;
    return {};
}

void click(QWidget* target)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), target->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), target->mapToGlobal(QPointF(2, 2)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

class Brenlo24Window : public ::testing::Test {
protected:
    std::string folder;
    std::unique_ptr<EmulatorRunner> emu;

    void SetUp() override
    {
        folder = test::testFolder("form1");
        ASSERT_EQ(test::installTestProgram(folder), Status::Ok);
        ::unsetenv("BRENLO24_COM1");
        ::unsetenv("BRENLO24_COM3");
    }
    void TearDown() override
    {
        if (emu)
            emu->stop();
        ::unsetenv("BRENLO24_COM1");
        ::unsetenv("BRENLO24_COM3");
        std::filesystem::remove_all(folder);
    }
    void startEmulator(const char* var = "BRENLO24_COM1", bool run = true)
    {
        EmulatorConfig cfg;
        cfg.recording.durationMinutes = 10;
        cfg.recording.intervalMinutes = 30;
        cfg.recording.measureFlags = 0x82;  // 0.2 s, upward
        cfg.recording.cheapSynthesis = true;
        cfg.prefillMeasurements = 2;
        emu = std::make_unique<EmulatorRunner>(cfg);
        ASSERT_EQ(emu->openPty(), Status::Ok);
        ::setenv(var, emu->slavePath().c_str(), 1);
        if (run)
            emu->start();
    }
};

}  // namespace

TEST_F(Brenlo24Window, StartUpOpensThePortOfTheEnvironment)
{
    startEmulator();
    Form1 w("");
    EXPECT_EQ(w.objectName(), "Form1");
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.portText(), "COM1-38400");
    EXPECT_TRUE(w.windowTitle().contains("COM1-38400"));
    EXPECT_EQ(w.statusText(), "本体とケーブル接続し、［チェック］をクリックします");
    EXPECT_TRUE(w.port().isOpen());
    EXPECT_EQ(text(&w, "Combo1"), "COM1");
    EXPECT_EQ(text(&w, "Combo2"), "38400");
    EXPECT_EQ(text(&w, "Text4"), "255");
    EXPECT_EQ(text(&w, "Combo3_0"), "20");
    EXPECT_EQ(text(&w, "Combo3_1"), "20");
    EXPECT_EQ(text(&w, "Combo3_2"), "0");
    EXPECT_EQ(text(&w, "Combo3_3"), "0");
    EXPECT_EQ(text(&w, "Combo4_2"), "60");
    EXPECT_EQ(text(&w, "Text2_0"), "0");
    EXPECT_EQ(child<QPushButton>(&w, "Command1_2")->text(), "▲");
    EXPECT_EQ(child<QPushButton>(&w, "Command1_3")->text(), "▼");
    EXPECT_EQ(child<QComboBox>(&w, "Combo1")->count(), 20);
    EXPECT_EQ(child<QComboBox>(&w, "Combo2")->count(), 8);
    EXPECT_EQ(child<QComboBox>(&w, "Combo1")->toolTip(), "パソコンのCOMﾎﾟｰﾄの変更");
    EXPECT_EQ(w.link().receiveTimeout(), 1267);
    EXPECT_EQ(w.link().flags(), 0u);
    // the type combos list the channel table; nothing chosen yet
    auto* c5 = child<QComboBox>(&w, "Combo5_0");
    EXPECT_GT(c5->count(), 8);
    EXPECT_EQ(c5->currentIndex(), -1);
    // the automatic collection time is aligned to its grid: 0:11 every 60 min
    const int minute = std::atoi(text(&w, "Combo4_1").c_str());
    EXPECT_EQ(minute, 11);
    EXPECT_EQ(w.fileDialogSetup().filter,
              "データファイル  (*.H10)|*.H10|設定ファイル  (*.TBL)|*.TBL|すべてのファイル (*.*)|*.*|");
    // normal operation hides the extended controls
    EXPECT_FALSE(child<QWidget>(&w, "ExtendedControls")->isVisible());
}

TEST_F(Brenlo24Window, CheckAgainstTheEmulator)
{
    startEmulator();
    Form1 w("");
    click(child<QPushButton>(&w, "Command1_0"));
    ASSERT_TRUE(waitFor([&] { return !text(&w, "Label3_1").empty(); }, 3000)) << w.statusText();
    EXPECT_EQ(w.statusText(), "パケット受信");
    EXPECT_EQ(text(&w, "Label1_2"), "■");  // F2: echo kind 4
    EXPECT_EQ(text(&w, "Label1_0"), "");
    EXPECT_EQ(text(&w, "Label3_1"), "2-2550");
    EXPECT_EQ(text(&w, "Label3_4"), "10/30");
    EXPECT_EQ(text(&w, "LabelBattery"), "12.4");
    // the logger's settings went into the start controls
    EXPECT_EQ(text(&w, "Combo3_0"), "10");
    EXPECT_EQ(text(&w, "Combo3_1"), "30");
    EXPECT_TRUE(child<QCheckBox>(&w, "Check1_2")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(&w, "Check1_1")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(&w, "Check1_4")->isChecked());
    // indicators: 0.2 s, upward, storage, channels 1-3
    EXPECT_EQ(text(&w, "Label1_6"), "■");
    EXPECT_EQ(text(&w, "Label1_8"), "■");
    EXPECT_EQ(text(&w, "Label1_11"), "■");
    EXPECT_EQ(text(&w, "Label1_15"), "■");
    EXPECT_EQ(text(&w, "Label1_17"), "■");
    EXPECT_EQ(text(&w, "Label1_18"), "");
    EXPECT_EQ(child<QComboBox>(&w, "Combo5_0")->currentIndex(), 1);
    EXPECT_EQ(child<QComboBox>(&w, "Combo5_3")->currentIndex(), -1);
    EXPECT_EQ(w.channelSettings().mask, 0b111u);
    // the data page
    EXPECT_EQ(text(&w, "Label2_6"), "001");
    click(child<QPushButton>(&w, "Command1_3"));
    EXPECT_EQ(text(&w, "Label2_6"), "121");
    Packet echo{};
    ASSERT_EQ(readPacketDump(folder + "/Echo.tbl", echo), Status::Ok);
    EXPECT_EQ(echo, w.link().lastReceived());

    if (const char* dir = std::getenv("VARENTA_SCREENSHOT_DIR"); dir && *dir) {
        w.resize(w.sizeHint());
        waitFor([] { return false; }, 300);
        w.grab().save(QString::fromUtf8(dir) + "/brenlo24_check.png");
    }
}

TEST_F(Brenlo24Window, SilenceEndsInReceiveTimeout)
{
    startEmulator("BRENLO24_COM1", false);  // nobody answers on the line
    Form1 w("");
    QElapsedTimer t;
    t.start();
    click(child<QPushButton>(&w, "Command1_0"));
    EXPECT_EQ(w.statusText(), "コマンド送信");
    ASSERT_TRUE(waitFor([&] { return w.statusText() == "受信タイムアウト"; }, 3000));
    EXPECT_GE(t.elapsed(), 1267);
}

TEST_F(Brenlo24Window, PortFailureAndPortChange)
{
    startEmulator("BRENLO24_COM3");
    ::setenv("BRENLO24_COM1", (folder + "/no-such-tty").c_str(), 1);
    Form1 w("");
    EXPECT_EQ(w.statusText(), "COM1-使用不可");  // the prompt does not hide the failure
    EXPECT_FALSE(w.port().isOpen());
    auto* c1 = child<QComboBox>(&w, "Combo1");
    c1->setCurrentIndex(2);
    emit c1->activated(2);
    EXPECT_EQ(w.statusText(), "COM3-38400");
    EXPECT_TRUE(w.port().isOpen());
    // a port that does not exist: failure text, the previous port closed
    ::setenv("BRENLO24_COM5", (folder + "/no-such-tty").c_str(), 1);
    c1->setCurrentIndex(4);
    emit c1->activated(4);
    EXPECT_EQ(w.statusText(), "COM5-使用不可");
    EXPECT_FALSE(w.port().isOpen());
    ::unsetenv("BRENLO24_COM5");
}

TEST_F(Brenlo24Window, SpeedChangeTellsTheLoggerThenReopens)
{
    startEmulator();
    Form1 w("");
    auto* c2 = child<QComboBox>(&w, "Combo2");
    const int i = c2->findText("115200");
    c2->setCurrentIndex(i);
    emit c2->activated(i);
    EXPECT_EQ(w.statusText(), "COM1-115200");
    EXPECT_EQ(w.link().receiveTimeout(), 1089);
    ASSERT_TRUE(waitFor([&] { return emu->with([](LoggerEmulator& l) { return l.lineSpeed(); }) == 115200; }, 2000));
    const auto codes = emu->stats().codes;
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.back(), 0x02);
    // the new speed works
    click(child<QPushButton>(&w, "Command1_0"));
    EXPECT_TRUE(waitFor([&] { return w.statusText() == "パケット受信"; }, 3000));
}

TEST_F(Brenlo24Window, CommandLineAndOptionFlags)
{
    startEmulator("BRENLO24_COM3");
    Form1 w("com3,19200,12,,8100,6,30,60");
    EXPECT_EQ(w.portText(), "COM3-19200");
    EXPECT_EQ(text(&w, "Combo1"), "COM3");
    EXPECT_EQ(text(&w, "Combo2"), "19200");
    EXPECT_EQ(text(&w, "Text4"), "12");
    EXPECT_TRUE(child<QCheckBox>(&w, "Check3_0")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(&w, "Check3_6")->isChecked());
    EXPECT_TRUE(child<QWidget>(&w, "ExtendedControls")->isVisible());
    EXPECT_EQ(text(&w, "Combo4_1"), "30");  // 6:30 on a 60-minute grid: minute 30
    EXPECT_EQ(text(&w, "Combo4_2"), "60");
    EXPECT_EQ(w.settings().optionFlags, 0x8100u);
    EXPECT_EQ(w.commandParameters().machineNumber, 12);
    w.setPrompter(nullptr);
}

TEST_F(Brenlo24Window, LabelClicksAndSampleRadioGroup)
{
    startEmulator();
    Form1 w("");
    click(child<QLabel>(&w, "Label2_0"));
    EXPECT_EQ(text(&w, "Text4"), "253");
    EXPECT_EQ(w.commandParameters().machineNumber, 253);
    EXPECT_EQ(child<QLabel>(&w, "Label2_0")->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    click(child<QLabel>(&w, "Label2_0"));
    EXPECT_EQ(text(&w, "Text4"), "255");

    child<QComboBox>(&w, "Combo3_3")->setCurrentText("7");
    child<QComboBox>(&w, "Combo3_2")->setCurrentText("45");
    click(child<QLabel>(&w, "Label7_2"));
    EXPECT_EQ(text(&w, "Combo3_3"), "0");
    EXPECT_EQ(text(&w, "Combo3_2"), "0");

    child<QCheckBox>(&w, "Check1_0")->setChecked(true);
    child<QCheckBox>(&w, "Check1_2")->setChecked(true);
    EXPECT_FALSE(child<QCheckBox>(&w, "Check1_0")->isChecked());
    EXPECT_EQ(measurementFlags(w.commandParameters().flagBoxes, 0) & 3, 2);
}

TEST_F(Brenlo24Window, ExitWarningWhileCollectingAutomatically)
{
    startEmulator();
    ScriptedPrompter prompter;
    Form1 w("");
    w.setPrompter(&prompter);
    child<QCheckBox>(&w, "Check3_0")->setChecked(true);
    prompter.answers = {MsgAnswer::Cancel, MsgAnswer::No, MsgAnswer::Yes};
    w.close();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isMinimized());
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].title, "終了の警告");
    EXPECT_EQ(prompter.shown[0].text,
              "自動データ回収中です。 終了してもよろしいですか？\r\n［はい］＝終了、［いいえ］＝最小化、［キャンセル］＝そのまま");
    EXPECT_EQ(prompter.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(prompter.shown[0].buttons, MsgButtons::YesNoCancel);
    w.close();
    EXPECT_TRUE(w.isMinimized());
    w.showNormal();
    // the device-information dialog goes with the window
    QWidget dialog;
    dialog.setWindowTitle("装置情報の変更");
    dialog.show();
    w.close();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(dialog.isVisible());
    // without automatic collection nothing is asked
    Form1 w2("");
    w2.setPrompter(&prompter);
    w2.close();
    EXPECT_EQ(prompter.shown.size(), 3u);
}

TEST_F(Brenlo24Window, MinimisingHidesTheDeviceDialog)
{
    startEmulator();
    Form1 w("");
    QWidget dialog;
    dialog.setWindowTitle("装置情報の変更");
    dialog.show();
    w.setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(dialog.isVisible());
    w.setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(dialog.isVisible());
    click(child<QLabel>(&w, "Label9_1"));  // the clock minimises and closes the dialog
    EXPECT_TRUE(w.isMinimized());
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(Brenlo24Window, StartUpReadsTheLastDeviceInformation)
{
    Packet info{};
    info[0] = 0x5A;
    info[1] = 77;
    info[2] = 0x85;
    info[14] = 5;
    info[15] = 15;
    putU32(info.data(), 28, 321);
    info[59] = 99;
    fixSectorChecksum(info.data());
    ASSERT_EQ(writePacketDump(folder + "/Brenlo.tbl", info), Status::Ok);
    startEmulator();
    Form1 w("");
    EXPECT_EQ(w.link().current().measurementNumber, 321u);
    EXPECT_EQ(text(&w, "Label3_1"), "321-770");
    EXPECT_EQ(text(&w, "LabelBattery"), "9.9");
    // Pinit runs the start-up again
    auto* pinit = w.findChild<QAction*>("Pinit");
    ASSERT_NE(pinit, nullptr);
    pinit->trigger();
    EXPECT_EQ(w.portText(), "COM1-38400");
    EXPECT_EQ(w.statusText(), "本体とケーブル接続し、［チェック］をクリックします");
    for (const char* a : {"Mtext", "Pum05", "Phelp", "Pver", "Pend"})
        EXPECT_NE(w.findChild<QAction*>(a), nullptr) << a;
}
