// Device-information image: fields in both directions, refused entries,
// the permission test, the mode button and the upload packets.
#include "brenlo24/config/devinfo.h"
#include "brenlo24/config/devpolicy.h"
#include "common/bytes.h"
#include "tools/emulator/logger.h"

#include <gtest/gtest.h>

#include <random>

using namespace varenta;

namespace {

class DevInfoImage : public ::testing::Test {
protected:
    Packet image{};
    MainWindowFields main;
    void SetUp() override
    {
        emu::LoggerEmulator logger(emu::EmulatorConfig{}, 0, DateTime{2026, 12, 8, 10, 0, 0, 0});
        image = logger.deviceInfo(false);
        main = mainWindowFieldsOf(image);
    }
    Packet written(DevTab tab, const FieldTexts& texts, bool high = false)
    {
        Packet p = image;
        const auto err = writeFields(p, tab, texts, main, high);
        EXPECT_FALSE(err) << (err ? err->message : "");
        return p;
    }
};

}  // namespace

TEST_F(DevInfoImage, EntriesLandAtTheirBytes)
{
    struct Case {
        DevTab tab;
        const char* control;
        const char* text;
        std::size_t offset;
        std::vector<std::uint8_t> bytes;
    };
    image[47] = 0x53;  // low nibble kept
    const Case cases[] = {
        {DevTab::Processing, "Text4_10", "1.0248", 140, {0x08, 0x28}},
        {DevTab::Processing, "Text4_1", "\xe3\x80\x80 0.45 ", 128, {45, 0}},
        {DevTab::Processing, "Text4_4", "-5", 134, {0xFB}},
        {DevTab::Processing, "Text4_8", "0.15", 138, {15}},
        {DevTab::Processing, "Text4_0", "-90", 150, {0xA6, 0xFF}},
        {DevTab::Processing, "Text4_2", "300", 130, {0x2C, 0x01}},
        {DevTab::Connection, "Text1_2", "115200", 47, {0x73}},
        {DevTab::Connection, "Text1_2", "38400", 47, {0x53}},
        {DevTab::Connection, "Text1_2", "1200", 47, {0x03}},
        {DevTab::Connection, "Text1_2", "57600", 47, {0x63}},
        {DevTab::Connection, "Text1_3", "32768.50", 55, {0x0F}},  // model 60: (x - 32768) / 0.032768 = 15.26 -> 15
        {DevTab::Connection, "Text3_2", "10.0.200.255", 96, {10, 0, 200, 255}},
        {DevTab::Connection, "Text1_4", "a1b2c3d4", 20, {0xD4, 0xC3, 0xB2, 0xA1}},
        {DevTab::Connection, "Text2_1", "240", 44, {240}},
        {DevTab::Coefficients, "Text5_1", "-2", 258, {0xFE, 0xFF}},
    };
    for (const Case& c : cases) {
        const Packet p = written(c.tab, {{c.control, c.text}});
        for (std::size_t i = 0; i < c.bytes.size(); ++i)
            EXPECT_EQ(p[c.offset + i], c.bytes[i]) << c.control << " " << c.text << " byte " << c.offset + i;
    }
    // Byte 55 holds -12: model 60 reads 32768 - 12 x 0.032768; low model
    // codes use the other formula, (x * 100 - 3276800) / 2.
    EXPECT_EQ(showFields(image, DevTab::Connection).at("Text1_3"), "32767.61");
    image[63] = 10;
    EXPECT_EQ(showFields(image, DevTab::Connection).at("Text1_3"), "32767.76");
    EXPECT_EQ(written(DevTab::Connection, {{"Text1_3", "32767.50"}})[55], 0xE7);  // -25
}

TEST_F(DevInfoImage, BoxesDriveSingleBits)
{
    image[20] = 0xF0;
    image[21] = 0xF0;
    image[61] = 0xF0;
    image[145] = 0x00;
    const Packet p = written(DevTab::Connection, {{"Check1_9", "1"}, {"Check1_0", "1"}, {"Check1_1", "1"}, {"Check1_7", "1"}});
    EXPECT_EQ(p[20], 0xF3);
    EXPECT_EQ(p[21], 0xF1);
    EXPECT_EQ(p[61], 0xF1);
    const Packet q = written(DevTab::Processing, {{"Check4_0", "1"}, {"Check4_2", "1"}, {"Check4_8", "1"}});
    EXPECT_EQ(q[145], 0x01 | 0x80 | 0x20);
    // CH17-CH32: box 0 is slot 32 (byte 320).
    const Packet h = written(DevTab::Coefficients, {{"Text5_0", "1234"}}, true);
    EXPECT_EQ(getS16(h.data(), 320), 1234);
    EXPECT_EQ(getS16(h.data(), 256), getS16(image.data(), 256));
}

TEST_F(DevInfoImage, BadEntriesAreRefusedAndChangeNothing)
{
    struct Case {
        DevTab tab;
        const char* control;
        const char* text;
        const char* says;
    };
    const Case cases[] = {
        {DevTab::Processing, "Text4_12", "256", "バンドパスフィルターの上限周期は0～255の範囲"},
        {DevTab::Processing, "Text4_4", "128", "磁気偏角は-128～127の範囲"},
        {DevTab::Processing, "Text4_10", "6.6", "海水密度は0.0000～6.5535の範囲"},
        {DevTab::Processing, "Text4_1", "abc", "水圧計の海底からの高さに数値"},
        {DevTab::Connection, "Text2_0", "300", "自動送信の測定数は0～255の範囲"},
        {DevTab::Connection, "Text1_2", "50000", "リセット後の通信速度"},
        {DevTab::Connection, "Text3_2", "1.2.3.256", "IPアドレス"},
        {DevTab::Connection, "Text1_4", "123456789", "オプションフラグ"},
        {DevTab::Coefficients, "Text5_3", "40000", "CH2の係数Bは-32768～32767の範囲"},
        {DevTab::Processing, "Text4_1", "0.455", "水圧計の海底からの高さは小数2桁まで"},
        {DevTab::Connection, "Text2_1", "12.5", "定時送信の間隔（分）は整数"},
    };
    for (const Case& c : cases) {
        Packet p = image;
        // A good field before the bad one is not written either.
        const auto err = writeFields(p, c.tab, {{"Text4_5", "99"}, {"Text2_4", "99"}, {"Text5_0", "9"}, {c.control, c.text}},
                                     main);
        ASSERT_TRUE(err) << c.control;
        EXPECT_EQ(err->control, c.control);
        EXPECT_NE(err->message.find(c.says), std::string::npos) << err->message;
        EXPECT_EQ(p, image) << c.control;
    }
}

TEST_F(DevInfoImage, EveryFieldReadAndWrittenBackGivesTheSameBytes)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        for (auto& b : image)
            b = static_cast<std::uint8_t>(rng());
        image[16] &= 0xF7;  // bit 3 of the flags has no start control
        image[63] = static_cast<std::uint8_t>(round % 2 ? 10 : 60);
        main = mainWindowFieldsOf(image);
        for (DevTab tab : {DevTab::Connection, DevTab::Processing, DevTab::Coefficients})
            for (bool high : {false, true}) {
                Packet p = image;
                const auto err = writeFields(p, tab, showFields(image, tab, high), main, high);
                ASSERT_FALSE(err) << err->control << ": " << err->message;
                ASSERT_EQ(p, image) << "round " << round << " tab " << static_cast<int>(tab);
            }
    }
}

TEST(DevPermission, RefusalsInOrder)
{
    struct Case {
        int model, state;
        bool temporary;
        std::uint8_t last;
        int kind;
        std::uint32_t flags;
        DevChange what;
        const char* text;  // nullptr: allowed
    };
    const Case cases[] = {
        {5, 0x01, true, 0x20, 0x85, 0, DevChange::Fields, devtext::kCannotChange},
        {5, 0x01, false, 0x10, 0x85, 0, DevChange::TableUpload, devtext::kCannotChange},
        {18, 0x01, false, 0x10, 0x85, 0, DevChange::Fields, devtext::kCannotChange},
        {60, 0x04, false, 0x10, 0x85, 0, DevChange::Fields, devtext::kStopFirst},
        {60, 0x08, true, 0x20, 0x85, 0, DevChange::TableUpload, devtext::kStopFirst},
        {60, 0x02, true, 0x20, 0x85, 0, DevChange::ModelSwitch, devtext::kStopFirst},
        {60, 0x04, true, 0x20, 0x85, 0, DevChange::Fields, nullptr},
        {60, 0x01, false, 0x00, 0x84, 0, DevChange::Fields, "[オリジナル]を実行してから変更できます"},
        {60, 0x01, true, 0x10, 0x85, 0, DevChange::Fields, "[現在値]を実行してから変更できます"},
        {60, 0x01, false, 0x10, 0x84, 0, DevChange::Fields, "[オリジナル]を実行してから変更できます"},
        {60, 0x01, false, 0x00, 0x84, 0x100000, DevChange::Fields, nullptr},
        {1, 0x01, false, 0x10, 0x85, 0, DevChange::Fields, nullptr},
        {60, 0x01, false, 0x00, 0x84, 0, DevChange::TableUpload, nullptr},
    };
    for (const Case& c : cases) {
        PermissionInputs in{c.model, c.state, c.temporary, c.last, c.kind, c.flags};
        const auto r = checkPermission(in, c.what);
        if (!c.text) {
            EXPECT_FALSE(r) << c.model << " " << int(c.last) << ": " << r->text;
        } else {
            ASSERT_TRUE(r) << c.model << " " << int(c.last);
            EXPECT_EQ(r->text, c.text);
        }
    }
}

TEST(DevPolicy, ModeButtonConfirmationsAndUploadPackets)
{
    Packet info{};
    info[63] = 60;
    EXPECT_EQ(modeButtonFor(info).code, "57");
    EXPECT_EQ(modeButtonFor(info).caption, "NR-5xx");
    info[62] = 0x01;
    EXPECT_EQ(modeButtonFor(info).code, "67");
    EXPECT_EQ(modeButtonFor(info).confirm.title, "NR-6xxモードへ切替の注意");
    info[62] = 0;
    info[63] = 30;
    EXPECT_EQ(modeButtonFor(info).caption, "出荷時");
    EXPECT_EQ(modeButtonFor(info).confirm.text,
              "本体を工場出荷状態に戻します。よろしいですか？\r\n変更後、本体を初期化します。保管状態で有効です。");

    EXPECT_EQ(changeConfirmation(DevTab::Processing, true).title, "処理パラメータの一時変更の注意");
    EXPECT_EQ(changeConfirmation(DevTab::Connection, false).title, "装置／接続情報変更の注意");

    std::string error;
    const auto p = index62Packet(std::string(508, 'x'), 300, error);
    ASSERT_TRUE(p);
    EXPECT_EQ((*p)[0], 0x5A);
    EXPECT_EQ((*p)[1], 44);
    EXPECT_EQ((*p)[2], 2);
    EXPECT_EQ((*p)[4], 'x');
    EXPECT_EQ((*p)[511], 'x');
    EXPECT_FALSE(index62Packet(std::string(509, 'x'), 255, error));
    EXPECT_NE(error.find("508"), std::string::npos);

    Packet dump{};
    dump.fill(0x11);
    const Packet t = itemTablePacket(dump, 255);
    EXPECT_EQ(hexImage(t).substr(0, 8), "5AFF0100");
    EXPECT_EQ(t[4], 0x11);
}
