// The device-information dialog and the modem console, offscreen, against
// the logger emulator on a pseudo-terminal.
#include "brenlo24/config/ui/form2.h"
#include "brenlo24/config/ui/install.h"
#include "brenlo24/config/ui/modemconsole.h"
#include "brenlo24/link/commsettings.h"
#include "brenlo24/link/packetdump.h"
#include "brenlo24/link/ui/form1.h"
#include "common/textfile.h"
#include "tools/emulator/runner.h"
#include "brenlo24/link/linkfixture.h"
#include "fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace varenta;
using namespace varenta::emu;
namespace fs = std::filesystem;

namespace {

using test::child;
using test::waitFor;

class DeviceDialog : public ::testing::Test {
protected:
    std::string folder;
    std::unique_ptr<EmulatorRunner> emu;
    std::unique_ptr<Form1> w;
    test::ConfirmScript prompter;

    void SetUp() override
    {
        folder = test::testFolder("form2");
        ASSERT_EQ(test::installTestProgram(folder), Status::Ok);
    }
    void TearDown() override
    {
        w.reset();
        if (emu)
            emu->stop();
        ::unsetenv("BRENLO24_COM1");
        fs::remove_all(folder);
    }
    void start(bool measuring, std::uint32_t optionFlags = 0)
    {
        EmulatorConfig cfg;
        cfg.recording.cheapSynthesis = true;
        cfg.prefillMeasurements = 1;
        cfg.measuring = measuring;
        emu = std::make_unique<EmulatorRunner>(cfg);
        ASSERT_EQ(emu->openPty(), Status::Ok);
        ::setenv("BRENLO24_COM1", emu->slavePath().c_str(), 1);
        emu->start();
        w = std::make_unique<Form1>("");
        w->setPrompter(&prompter);
        w->settings().optionFlags = optionFlags;
        installDeviceConfig(*w);
    }
    Form2* open()
    {
        child<QPushButton>(w.get(), "Command1_1")->click();
        return deviceDialogOf(*w);
    }
    std::size_t commands() { return emu->stats().commands; }
    Packet info(bool ram) { return emu->with([ram](LoggerEmulator& l) { return l.deviceInfo(ram); }); }
    void setText(QWidget* d, const char* name, const char* text) { child<QLineEdit>(d, name)->setText(QString::fromUtf8(text)); }
    std::string text(QWidget* d, const char* name) { return child<QLineEdit>(d, name)->text().toStdString(); }
    void screenshot(QWidget* win, const char* name)
    {
        if (const char* dir = std::getenv("VARENTA_SCREENSHOT_DIR"); dir && *dir)
            win->grab().save(QString::fromUtf8(dir) + "/" + QString::fromLatin1(name));
    }
};

}  // namespace

TEST_F(DeviceDialog, TemporaryChangeLandsInRamAndIsShownFromTheAnswer)
{
    start(false, optflag::kTempChangeMode);
    Form2* d = open();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(w->link().lastCommandCode(), 0x20);
    EXPECT_EQ(child<QPushButton>(d, "Command1_0")->text().toStdString(), "一時変更");
    EXPECT_EQ(child<QPushButton>(d, "Command1_3")->text().toStdString(), "NR-5xx");
    EXPECT_EQ(text(d, "Text1_0"), "255-60-612");
    EXPECT_EQ(text(d, "Text4_1"), "0.50");
    EXPECT_EQ(text(d, "Text4_10"), "1.0248");
    screenshot(d, "form2_tab0.png");

    setText(d, "Text4_1", "0.45");
    setText(d, "Text4_4", "-5");
    EXPECT_EQ(child<QTabWidget>(d, "SSTab1")->currentIndex(), 1);  // editing brought its page on top
    child<QCheckBox>(d, "Check4_7")->setChecked(true);
    child<QCheckBox>(d, "Check4_8")->setChecked(true);
    EXPECT_FALSE(child<QCheckBox>(d, "Check4_7")->isChecked());  // the two filters exclude each other
    screenshot(d, "form2_tab1.png");
    child<QPushButton>(d, "Command1_0")->click();
    ASSERT_FALSE(prompter.asked.empty());
    EXPECT_EQ(prompter.asked.back().caption, "処理パラメータの一時変更の注意");
    EXPECT_EQ(w->statusText(), "変更終了");

    const Packet ram = info(true), nv = info(false);
    EXPECT_EQ(getU16(ram.data(), 128), 45);
    EXPECT_EQ(static_cast<std::int8_t>(ram[134]), -5);
    EXPECT_EQ(getU16(nv.data(), 128), 50);  // non-volatile untouched
    EXPECT_EQ(w->link().lastSent()[45], 0x27);
    // The answer is the new record: dump and dialog show it.
    Packet dumped{};
    ASSERT_EQ(readPacketDump(folder + "/Brenlo.tbl", dumped), Status::Ok);
    EXPECT_EQ(getU16(dumped.data(), 128), 45);
    EXPECT_EQ(text(d, "Text4_4"), "-5");

    child<QTabWidget>(d, "SSTab1")->setCurrentIndex(2);
    screenshot(d, "form2_tab2.png");
}

TEST_F(DeviceDialog, StoredChangeLandsInNonVolatileMemoryAndOnlyAfterARead)
{
    start(false);
    Form2* d = open();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(w->link().lastCommandCode(), 0x10);
    // The dialog hides and shows with the main window.
    w->showMinimized();
    EXPECT_TRUE(waitFor([&] { return !d->isVisible(); }, 1000));
    w->showNormal();
    EXPECT_TRUE(waitFor([&] { return d->isVisible(); }, 1000));

    setText(d, "Text2_1", "120");
    EXPECT_EQ(child<QTabWidget>(d, "SSTab1")->currentIndex(), 0);
    child<QPushButton>(d, "Command1_0")->click();
    EXPECT_EQ(prompter.asked.back().caption, "装置／接続情報変更の注意");
    ASSERT_TRUE(waitFor([&] { return emu->stats().resets == 1; }, 3000));
    EXPECT_EQ(info(false)[44], 120);
    EXPECT_EQ(info(false)[45], 0x77);

    // Right after a check, a change is refused and nothing is sent.
    child<QPushButton>(w.get(), "Command1_0")->click();
    ASSERT_TRUE(waitFor([&] { return w->link().lastReceivedKind() == 0x84; }, 3000));
    const std::size_t before = commands();
    child<QPushButton>(d, "Command1_0")->click();
    ASSERT_FALSE(prompter.boxes.empty());
    EXPECT_EQ(prompter.boxes.back().text, "[オリジナル]を実行してから変更できます");
    waitFor([] { return false; }, 300);
    EXPECT_EQ(commands(), before);

    // The CH17-CH32 switch also wants a device-information answer first.
    QCheckBox* high = child<QCheckBox>(d, "Check4_3");
    high->setChecked(true);
    EXPECT_EQ(prompter.boxes.back().title, "係数情報表示不可の注意");
    EXPECT_EQ(prompter.boxes.back().text, "［オリジナル］をクリックして表示させます");
    EXPECT_FALSE(high->isChecked());
    child<QPushButton>(d, "Command1_1")->click();
    const std::size_t shown = prompter.boxes.size();
    high->setChecked(true);
    EXPECT_TRUE(high->isChecked());
    EXPECT_EQ(prompter.boxes.size(), shown);
}

TEST_F(DeviceDialog, RefusedChangesSendNothing)
{
    start(true);  // the logger waits for its next measurement
    Form2* d = open();
    ASSERT_NE(d, nullptr);
    const std::size_t before = commands();
    setText(d, "Text4_6", "30");
    child<QPushButton>(d, "Command1_0")->click();
    child<QPushButton>(d, "Command1_3")->click();
    ASSERT_EQ(prompter.boxes.size(), 2u);
    EXPECT_EQ(prompter.boxes[0].text, "測定停止して装置を保管状態にして下さい");
    EXPECT_EQ(prompter.boxes[1].text, "測定停止して装置を保管状態にして下さい");

    // In temporary change mode the state does not matter, but an entry too
    // large for its byte is refused before anything is sent.
    QWidget* modeLabel = child<QWidget>(d, "Label1_0");
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(2, 2), modeLabel->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(modeLabel, &dbl);
    EXPECT_TRUE(w->settings().optionFlags & optflag::kTempChangeMode);
    EXPECT_EQ(child<QPushButton>(d, "Command1_0")->text().toStdString(), "一時変更");
    child<QPushButton>(d, "Command1_2")->click();  // "20"
    const std::size_t afterRead = commands();
    EXPECT_EQ(afterRead, before + 1);
    setText(d, "Text4_12", "300");
    child<QPushButton>(d, "Command1_0")->click();
    EXPECT_EQ(prompter.boxes.back().title, "入力値の注意");
    EXPECT_NE(prompter.boxes.back().text.find("0～255"), std::string::npos);
    waitFor([] { return false; }, 300);
    EXPECT_EQ(commands(), afterRead);
    EXPECT_EQ(emu->stats().refused, 0u);  // the logger never saw a change
}

TEST_F(DeviceDialog, TableUploadsCarryTheirHeads)
{
    start(false, optflag::kUploadIndex62);
    ASSERT_EQ(writeFileBytesAtomic(folder + "/index62.txt", "NR612 index\r\n"), Status::Ok);
    Form2* d = open();
    ASSERT_NE(d, nullptr);
    QPushButton* sd = child<QPushButton>(d, "Command1_2");
    EXPECT_EQ(sd->text().toStdString(), "ＳＤ変更");
    EXPECT_FALSE(child<QTabWidget>(d, "SSTab1")->isEnabled());
    sd->click();
    EXPECT_EQ(prompter.boxes.back().title, "index62.txt書き換えの注意");
    ASSERT_TRUE(waitFor([&] { return emu->stats().resets == 1; }, 3000));
    const auto uploads = emu->with([](LoggerEmulator& l) { return l.uploads(); });
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0][2], 2);
    EXPECT_EQ(std::string(uploads[0].begin() + 4, uploads[0].begin() + 17), "NR612 index\r\n");
    d->close();
    // A closed dialog is gone: restoring the main window cannot bring it back.
    ASSERT_TRUE(waitFor([&] { return w->findChildren<Form2*>().empty(); }, 2000));

    // The item table: a decimal-format file is refused, a dump goes out.
    w->settings().optionFlags = optflag::kUploadItemTable;
    ASSERT_EQ(writeFileBytesAtomic(folder + "/Brenlo2.tbl", "   1,   2,\r\n"), Status::Ok);
    d = open();
    child<QPushButton>(d, "Command1_2")->click();
    EXPECT_EQ(prompter.boxes.back().title, "テーブルファイルの注意");
    Packet table{};
    table.fill(0x07);
    ASSERT_EQ(writePacketDump(folder + "/Brenlo2.tbl", table), Status::Ok);
    child<QPushButton>(d, "Command1_2")->click();
    ASSERT_TRUE(waitFor([&] { return emu->stats().resets == 2; }, 3000));
    const Packet t = emu->with([](LoggerEmulator& l) { return l.uploads().back(); });
    EXPECT_EQ(hexImage(t).substr(0, 4), "5AFF");
    EXPECT_EQ(t[2], 0x01);
    EXPECT_EQ(t[100], 0x07);
}

TEST_F(DeviceDialog, ModemConsoleRunsATCommandsAndHandsTheLineBack)
{
    start(false);
    QAction* um05 = w->findChild<QAction*>(QStringLiteral("Pum05"));
    ASSERT_NE(um05, nullptr);
    um05->trigger();
    ModemConsoleWindow* c = modemConsoleOf(*w);
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->isVisible());
    EXPECT_TRUE(prompter.asked.empty());  // no answer consumed to open
    QPushButton* ok = child<QPushButton>(c, "Command1");
    EXPECT_EQ(ok->text().toStdString(), "開始");
    ok->click();
    ASSERT_EQ(ok->text().toStdString(), "送信") << w->statusText();
    EXPECT_TRUE(emu->with([](LoggerEmulator& l) { return l.modemMode(); }));

    QComboBox* combo = child<QComboBox>(c, "Combo1");
    combo->setEditText(QStringLiteral("AT"));
    ok->click();
    EXPECT_NE(c->text().indexOf(QStringLiteral("OK")), -1);
    combo->setEditText(QStringLiteral("AT*DCHKLOC"));
    ok->click();
    EXPECT_FALSE(c->busy());
    EXPECT_NE(c->text().indexOf(QStringLiteral("*DCHKLOC: ")), -1) << c->text().toStdString();
    EXPECT_EQ(c->text().count(QStringLiteral("OK")), 2);
    screenshot(c, "form7_um05.png");

    child<QPushButton>(c, "Command2")->click();
    EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(w->statusText(), "UM05モニタ終了！");
    EXPECT_FALSE(emu->with([](LoggerEmulator& l) { return l.modemMode(); }));
    const std::size_t good = w->link().counters().good;
    child<QPushButton>(w.get(), "Command1_0")->click();  // a status check still works
    ASSERT_TRUE(waitFor([&] { return w->link().counters().good == good + 1; }, 3000));
    EXPECT_EQ(w->link().lastReceivedKind(), 0x84);
}
