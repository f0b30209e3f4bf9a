// The communication program's main window as a user (or a script that
// finds controls by name) sees it right after start-up: every named
// control with its caption, default, list and tooltip, the popup menu and
// the version box.  No logger is attached; the port fails to open.
#include "brenlo24/link/commsettings.h"
#include "brenlo24/link/packetdump.h"
#include "brenlo24/link/ui/form1.h"
#include "common/bytes.h"
#include "fixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace varenta;

namespace {

std::vector<std::string> numbers(int from, int to)
{
    std::vector<std::string> v;
    for (int i = from; i <= to; ++i)
        v.push_back(std::to_string(i));
    return v;
}

std::vector<std::string> numbers(const std::vector<int>& list)
{
    std::vector<std::string> v;
    for (int i : list)
        v.push_back(std::to_string(i));
    return v;
}

std::vector<std::string> items(const QComboBox* c)
{
    std::vector<std::string> v;
    for (int i = 0; i < c->count(); ++i)
        v.push_back(c->itemText(i).toStdString());
    return v;
}

class Form1Controls : public ::testing::Test {
protected:
    std::string folder;

    void SetUp() override
    {
        folder = test::testFolder("form1controls");
        ASSERT_EQ(test::installTestProgram(folder), Status::Ok);
        ::setenv("BRENLO24_COM1", (folder + "/no-such-tty").c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("BRENLO24_COM1");
        std::filesystem::remove_all(folder);
    }
};

}  // namespace

TEST_F(Form1Controls, CombosShowTheirDefaultsListsAndTooltips)
{
    Form1 w("");
    std::vector<std::string> ports;
    for (int i = 1; i <= 20; ++i)
        ports.push_back("COM" + std::to_string(i));
    struct Row {
        const char* name;
        const char* current;  // nullptr: depends on the clock
        std::vector<std::string> list;
        const char* tip;      // nullptr: no tooltip required
    };
    const Row rows[] = {
        {"Combo1", "COM1", ports, "パソコンのCOMﾎﾟｰﾄの変更"},
        {"Combo2", "38400", numbers({1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}), "パソコンとの通信速度の変更"},
        {"Combo3_0", "20", numbers({1, 2, 5, 10, 20, 30, 60}), "測定時間（１～６０分）の指定"},
        {"Combo3_1", "20", numbers({1, 2, 5, 10, 20, 30, 60, 120, 240}), "測定間隔(１～２４０分）の指定"},
        {"Combo3_2", "0", numbers(0, 59), nullptr},
        {"Combo3_3", "0", numbers(0, 23), "測定開始時刻（時）の指定"},
        // the automatic collection hour follows the alignment to the clock
        {"Combo4_0", nullptr, numbers(0, 23),
         "自動データ回収開始時刻（時）。プログラム起動時のコマンドラインの６項目で指定します"},
        {"Combo4_1", "11", numbers(0, 59), nullptr},
        {"Combo4_2", "60", numbers({1, 2, 5, 10, 20, 30, 60, 120, 240, 360}),
         "自動回収の繰返し間隔（分）を指定。プログラム起動時のコマンドラインの８項目で指定します"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto* c = w.findChild<QComboBox*>(QString::fromLatin1(r.name));
        ASSERT_NE(c, nullptr);
        if (r.current) {
            EXPECT_EQ(c->currentText().toStdString(), r.current);
        }
        EXPECT_EQ(items(c), r.list);
        if (r.tip) {
            EXPECT_EQ(c->toolTip().toStdString(), r.tip);
        }
    }
    // the sensor type combos list value 0 of every code of the channel table
    const ChannelTypes types = loadChannelTypes(folder + "/tolvf.org");
    ASSERT_EQ(types.status, Status::Ok);
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);
        auto* c = w.findChild<QComboBox*>(QStringLiteral("Combo5_%1").arg(k));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(items(c), types.names);
        EXPECT_EQ(c->currentIndex(), -1);
    }
}

TEST_F(Form1Controls, BoxesButtonsAndLabelsCarryTheirTexts)
{
    Form1 w("");
    struct Row {
        const char* name;
        const char* text;  // caption, or the default of an edit box
        const char* tip;   // nullptr: no tooltip required
    };
    const Row edits[] = {
        {"Text4", "255", "機械番号の設定(通常は２５５)。プログラム起動時の、コマンドラインの３項目で指定できます"},
        {"Text2_0", "0", "回収開始測定番号を指定（０は測定番号１と同じ意味）"},
        {"Text2_1", "0", "回収終了測定番号を指定（０は収録されている最後の測定番号）"},
    };
    for (const Row& r : edits) {
        SCOPED_TRACE(r.name);
        auto* e = w.findChild<QLineEdit*>(QString::fromLatin1(r.name));
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->text().toStdString(), r.text);
        EXPECT_EQ(e->toolTip().toStdString(), r.tip);
    }
    const Row checks[] = {
        {"Check1_0", "1.0", nullptr}, {"Check1_1", "0.5", nullptr}, {"Check1_2", "0.2", nullptr},
        {"Check1_3", "0.1", nullptr}, {"Check1_4", "上向", nullptr}, {"Check1_5", "固定", nullptr},
        {"Check1_6", "XY", nullptr},  {"Check1_7", "静水", nullptr}, {"Check3_0", "回収", nullptr},
        {"Check3_3", nullptr, nullptr}, {"Check3_4", nullptr, nullptr}, {"Check3_6", "結果", nullptr},
    };
    for (const Row& r : checks) {
        SCOPED_TRACE(r.name);
        auto* c = w.findChild<QCheckBox*>(QString::fromLatin1(r.name));
        ASSERT_NE(c, nullptr);
        if (r.text) {
            EXPECT_EQ(c->text().toStdString(), r.text);
        }
        EXPECT_FALSE(c->isChecked());
    }
    const Row buttons[] = {
        {"Command1_0", "チェック", nullptr},   {"Command1_1", "装置情報", nullptr}, {"Command1_2", "▲", nullptr},
        {"Command1_3", "▼", nullptr},           {"Command2_0", "測定起動", nullptr}, {"Command2_1", "測定停止", nullptr},
        {"Command2_2", "初期化", nullptr},     {"Command3_0", "回収開始", nullptr}, {"Command3_1", "回収停止", nullptr},
        {"Command3_3", "モニタ開始", nullptr}, {"Command3_4", "モニタ停止", nullptr},
    };
    for (const Row& r : buttons) {
        SCOPED_TRACE(r.name);
        auto* b = w.findChild<QPushButton*>(QString::fromLatin1(r.name));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->text().toStdString(), r.text);
    }
    const Row labels[] = {
        {"Label9_0", nullptr, nullptr},
        {"Label9_1", nullptr, "パソコンの時刻"},
        {"Label3_1", nullptr, "測定中、又は測定終了した測定番号と機械番号.。最後の１桁は測定自動起動＝１"},
        {"Label2_0", nullptr, nullptr},
        {"Label7_2", nullptr, nullptr},
    };
    for (const Row& r : labels) {
        SCOPED_TRACE(r.name);
        auto* l = w.findChild<QLabel*>(QString::fromLatin1(r.name));
        ASSERT_NE(l, nullptr);
        if (r.tip) {
            EXPECT_EQ(l->toolTip().toStdString(), r.tip);
        }
    }
    // the kind indicators F0-F3, the status fields and the data page
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(w.findChild<QLabel*>(QStringLiteral("Label1_%1").arg(i)), nullptr) << i;
    for (int i = 1; i <= 13; ++i)
        EXPECT_NE(w.findChild<QLabel*>(QStringLiteral("Label3_%1").arg(i)), nullptr) << i;
    for (int i = 6; i <= 13; ++i)
        EXPECT_NE(w.findChild<QLabel*>(QStringLiteral("Label2_%1").arg(i)), nullptr) << i;
    // the operating-state indicators explain themselves
    for (const char* tip : {"保管状態", "予備測定状態", "測定待機状態", "測定状態"}) {
        bool found = false;
        for (QLabel* l : w.findChildren<QLabel*>())
            if (l->objectName().startsWith(QLatin1String("Label1_")) && l->toolTip() == QString::fromUtf8(tip))
                found = true;
        EXPECT_TRUE(found) << tip;
    }
    // the timers: the 300 ms tick runs, the receive time-out waits
    auto* t1 = w.findChild<QTimer*>(QStringLiteral("Timer1"));
    auto* t2 = w.findChild<QTimer*>(QStringLiteral("Timer2"));
    ASSERT_NE(t1, nullptr);
    ASSERT_NE(t2, nullptr);
    EXPECT_TRUE(t1->isActive());
    EXPECT_EQ(t1->interval(), 300);
    EXPECT_FALSE(t2->isActive());
    // the port did not open: its failure text stays in the status line
    EXPECT_EQ(w.statusText(), "COM1-使用不可");
    EXPECT_EQ(w.portText(), "COM1-使用不可");
}

TEST_F(Form1Controls, PopupMenuAndVersionBox)
{
    Form1 w("");
    auto* popup = w.findChild<QMenu*>(QStringLiteral("Popup"));
    ASSERT_NE(popup, nullptr);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Pinit", "アプリケーションの初期化"}, {"Mtext", "テキストデータファイルに変換"},
        {"Pum05", "UM05モニタ"},             {"Phelp", "ヘルプ"},
        {"Pver", "バージョン情報"},          {"Pend", "アプリケーションの終了"},
    };
    std::vector<std::pair<std::string, std::string>> shown;
    for (QAction* a : popup->actions())
        if (!a->isSeparator())
            shown.emplace_back(a->objectName().toStdString(), a->text().toStdString());
    EXPECT_EQ(shown, expected);

    // Pver: the version box, modal, closed by its OK button
    std::string version, ok, title;
    bool modal = false;
    QTimer::singleShot(50, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box)
            return;
        modal = box->objectName() == QLatin1String("Form6");
        title = box->windowTitle().toStdString();
        for (QLabel* l : box->findChildren<QLabel*>())
            if (l->text().startsWith(QLatin1String("Brenlo24")))
                version = l->text().toStdString();
        if (auto* b = box->findChild<QPushButton*>()) {
            ok = b->text().toStdString();
            b->click();
        }
    });
    auto* pver = w.findChild<QAction*>(QStringLiteral("Pver"));
    ASSERT_NE(pver, nullptr);
    pver->trigger();
    EXPECT_TRUE(modal);
    EXPECT_EQ(version, "Brenlo24G Version 2.4.1");
    EXPECT_EQ(ok, "OK");
    EXPECT_EQ(title, "バージョン情報");
}

TEST_F(Form1Controls, LastDeviceInformationShowsNoSampleValues)
{
    // A device-information dump: its bytes 256-511 are no samples.
    Packet info{};
    info[0] = 0x5A;
    info[1] = 31;
    info[2] = 0x85;
    info[14] = 5;
    info[15] = 15;
    info[16] = 0x41;  // 0.5 s, fixed mounting
    info[26] = 7;
    info[27] = 9;
    putU32(info.data(), 28, 44);
    putU16(info.data(), 24, 1234);
    for (std::size_t i = 256; i < 512; ++i)
        info[i] = static_cast<std::uint8_t>(i);
    fixSectorChecksum(info.data());
    ASSERT_EQ(writePacketDump(folder + "/Brenlo.tbl", info), Status::Ok);
    Form1 w("");
    auto label = [&](const QString& name) {
        auto* l = w.findChild<QLabel*>(name);
        EXPECT_NE(l, nullptr) << name.toStdString();
        return l ? l->text().toStdString() : std::string();
    };
    EXPECT_EQ(label("Label3_1"), "44-310");
    EXPECT_EQ(label("Label3_4"), "5/15");
    EXPECT_EQ(label("Label3_5"), "09:07");
    EXPECT_EQ(label("LabelSd"), "12.34");
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(label(QStringLiteral("Label2_%1").arg(6 + i)), "00" + std::to_string(i + 1));
        EXPECT_EQ(label(QStringLiteral("Label3_%1").arg(6 + i)), "-----") << i;
    }
    // the page still moves over the value numbers
    w.findChild<QPushButton*>(QStringLiteral("Command1_3"))->click();
    EXPECT_EQ(label("Label2_6"), "121");
    EXPECT_EQ(label("Label3_6"), "-----");
}
