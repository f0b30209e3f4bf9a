// Texts made from a header: the time shift, the header information box,
// the status-panel texts and the copy of the logger's own settings.
#include "tolv/data/filelist.h"
#include "tolv/data/headertext.h"

#include "data_fixture.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

using namespace testing;

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t e = text.find("\r\n", pos);
        EXPECT_NE(e, std::string::npos) << "every line ends with CR LF";
        if (e == std::string::npos)
            break;
        out.push_back(text.substr(pos, e - pos));
        pos = e + 2;
    }
    return out;
}

TEST(TimeShift, CarriesThroughMonthsAndYears)
{
    struct Case {
        int year, month, day, hour, minute, add;
        int wy, wm, wd, wh, wmin;
    };
    const Case cases[] = {
        {23, 2, 28, 23, 45, 30, 23, 3, 1, 0, 15},    // not a leap year
        {24, 2, 28, 23, 45, 30, 24, 2, 29, 0, 15},   // leap year
        {0, 2, 28, 23, 45, 30, 0, 2, 29, 0, 15},     // year 00 counts as divisible by 4
        {99, 12, 31, 23, 50, 20, 0, 1, 1, 0, 10},    // year 100 becomes 0
        {26, 4, 30, 23, 30, 30, 26, 5, 1, 0, 0},     // 30-day month
        {26, 5, 6, 10, 0, 60, 26, 5, 6, 11, 0},      // a whole hour
        {26, 5, 6, 10, 59, 1, 26, 5, 6, 11, 0},
        {26, 5, 6, 10, 20, 0, 26, 5, 6, 10, 20},     // no shift
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.year << "/" << c.month << "/" << c.day << " " << c.hour << ":"
                                          << c.minute << " +" << c.add);
        Sector s = headerSector(fields(1, c.year, c.month, c.day, c.hour, c.minute));
        shiftHeaderTime(s.data(), c.add);
        EXPECT_EQ(s[hdr::year], c.wy);
        EXPECT_EQ(s[hdr::month], c.wm);
        EXPECT_EQ(s[hdr::day], c.wd);
        EXPECT_EQ(s[hdr::hour], c.wh);
        EXPECT_EQ(s[hdr::minute], c.wmin);
    }
    Settings st;
    EXPECT_EQ(timeShiftMinutes(st, 20), 0);
    st.set(66, 0, "1");
    EXPECT_EQ(timeShiftMinutes(st, 21), 10);
    st.set(66, 0, "2");
    EXPECT_EQ(timeShiftMinutes(st, 21), 21);
    st.set(66, 0, "3");
    EXPECT_EQ(timeShiftMinutes(st, 21), 0);
}

MeasurementHeader sampleHeader(int model, std::vector<int> codes)
{
    HeaderFields f = fields(345, 26, 5, 6, 9, 7, 3);
    f.machineNumber = 12;
    f.modelCode = model;
    f.packetInfo = 0x83;
    f.recordAddress = 5160;
    f.durationMinutes = 20;
    f.intervalMinutes = 60;
    f.measureCondition = 0x41;
    f.meanBearing = -12;
    f.meanWaterTemperature = 1875;
    f.cpuVoltage = 33;
    f.measureVoltage = 121;
    f.sdUsage = 1234;
    f.optionFlagsHigh = 0x4A;
    f.optionFlagsLow = 0x3;
    f.programNumber = 7;
    f.dataErrorFlags = 0x5;
    f.channelSlots = {};
    for (std::size_t i = 0; i < codes.size(); ++i)
        f.channelSlots[i] = 0x80 | codes[i];
    return decodedWithExtras(f);
}

TEST(HeaderInfo, AllFifteenLines)
{
    const MeasurementHeader h = sampleHeader(60, {1, 2, 3});
    const std::vector<std::string> want = {
        "機械番号=12-60",
        "パケット情報=83",
        "収録アドレス=5160",
        "日時=26/ 5/ 6 09:07:03",
        "測定番号=345",
        "測定条件=41",
        "サンプル間隔=0.5sec",
        "平均方位=-12",
        "平均水温=1875",
        "ＣＰＵ電源電圧=3.3v",
        "測定電源電圧=12.1v",
        "ＳＤ使用量=12.34%",
        "オプションフラグ= 4A3",
        "プログラム番号= 7",
        "データ異常= 10",
    };
    EXPECT_EQ(linesOf(headerInfoText(h, true, 16, true)), want);
    // Without the error code: the logger's flags, or nothing after the label.
    EXPECT_EQ(linesOf(headerInfoText(h, false, 16, true)).back(), "データ異常= 05");
    EXPECT_EQ(linesOf(headerInfoText(h, false, 16, false)).back(), "データ異常= ");
}

TEST(HeaderInfo, OptionalLinesByModelAndChannels)
{
    struct Case {
        int model;
        std::vector<int> codes;
        std::size_t lines;
        bool temperature, cpu, program;
    };
    const Case cases[] = {
        {60, {1, 2, 3}, 15, true, true, true},
        {60, {1, 3}, 14, false, true, true},  // no type-2 channel
        {23, {1, 2}, 13, true, true, false},  // model 23: no program number, no error line
        {19, {1, 2}, 12, true, false, false}, // model 19: no CPU voltage
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        const auto lines = linesOf(headerInfoText(sampleHeader(c.model, c.codes), false, 0, false));
        EXPECT_EQ(lines.size(), c.lines);
        auto has = [&](const char* label) {
            return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(label, 0) == 0; });
        };
        EXPECT_EQ(has("平均水温="), c.temperature);
        EXPECT_EQ(has("ＣＰＵ電源電圧="), c.cpu);
        EXPECT_EQ(has("プログラム番号= "), c.program);
    }
}

TEST(StatusTexts, MnoAndSno)
{
    MeasurementHeader h = sampleHeader(60, {1});
    EXPECT_EQ(mnoText(h, 345), "No.12-345 20/60");
    h.durationMinutes = 5;
    h.intervalMinutes = 120;
    EXPECT_EQ(mnoText(h, 7), "No.12-7 5/120");
    Settings s;
    s.set(91, 4, "24");
    h.subNumber = 3;
    EXPECT_EQ(snoText(h, 17, s), "17(3)");  // model 60 is not below 24
    h.modelCode = 23;
    EXPECT_EQ(snoText(h, 17, s), "17");
}

TEST(LoggerSettings, CopyTableAndSwitchWord)
{
    HeaderFields f = fields(1, 26, 5, 6, 10, 0);
    f.ext128 = 125;   // 1.25
    f.ext130 = 40;
    f.ext132 = 220;
    f.ext134 = -7;
    f.ext135 = 12;
    f.ext136 = 30;
    f.ext137 = 3;
    f.ext138 = 50;    // 0.5
    f.ext139 = 205;   // 2.05
    f.ext140 = 12345; // 1.2345
    f.ext142 = 30;
    f.ext143 = 300;   // a byte: 300 & 0xFF = 44
    f.ext150 = -1500;
    f.processingFlags = 0x42;  // bits 6 and 1
    const MeasurementHeader h = decodeHeader(headerSector(f).data());

    Settings s;
    RuntimeState state;
    s.set(96, 0, "1");
    s.set(95, 4, "1FF");
    applyLoggerSettings(s, state, h);
    const std::pair<std::pair<int, int>, const char*> want[] = {
        {{67, 0}, "1.25"}, {{67, 2}, "40"},  {{67, 3}, "220"},  {{99, 6}, "-7"},     {{99, 3}, "12"},
        {{68, 0}, "30"},   {{68, 1}, "3"},   {{67, 1}, "0.5"},  {{99, 5}, "2.05"},   {{99, 4}, "1.2345"},
        {{97, 0}, "30"},   {{97, 1}, "44"},  {{79, 1}, "-1500"}, {{99, 7}, "1"},
    };
    for (const auto& [key, text] : want)
        EXPECT_EQ(s.value(key.first, key.second), text) << key.first << "/" << key.second;
    EXPECT_TRUE(state.noSignReversal);
    EXPECT_EQ(s.value(95, 4), "EF");  // neither bit 5 nor 2: W AND 0xEF

    struct WCase {
        int flags;
        const char* before;
        const char* after;
    };
    const WCase w[] = {{0x20, "FF", "DF"}, {0x04, "00", "70"}, {0x24, "00", "70"}, {0x20, "00", "50"}, {0x00, "13", "3"}};
    for (const WCase& c : w) {
        SCOPED_TRACE(c.flags);
        HeaderFields g = f;
        g.processingFlags = c.flags;
        Settings t;
        t.set(96, 0, "1");
        t.set(95, 4, c.before);
        applyLoggerSettings(t, state, decodeHeader(headerSector(g).data()));
        EXPECT_EQ(t.value(95, 4), c.after);
        EXPECT_EQ(t.value(99, 7), "0");
        EXPECT_FALSE(state.noSignReversal);
    }

    // Header priority off: nothing copied.  Models below 19 switch it off.
    Settings off;
    applyLoggerSettings(off, state, h);
    EXPECT_EQ(off.value(67, 0), "");
    HeaderFields old = f;
    old.modelCode = 18;
    Settings lowModel;
    lowModel.set(96, 0, "1");
    applyLoggerSettings(lowModel, state, decodeHeader(headerSector(old).data()));
    EXPECT_EQ(lowModel.value(96, 0), "0");
    EXPECT_EQ(lowModel.value(67, 0), "");
}

TEST(FileNames, PrefixPartnerAndList)
{
    EXPECT_EQ(filePrefixOf("/data/NR123M.H10"), "NR");
    EXPECT_EQ(filePrefixOf("xSM1234.H10"), "SM");
    EXPECT_EQ(filePrefixOf("short.H10"), "");

    TempFolder dir;
    writeBytes(dir.file("NR012M.H10"), "m");
    writeBytes(dir.file("NR012L.H10"), "l");
    // "NR012l.H10" as formed does not exist; the file differing in case does.
    EXPECT_EQ(existingPartner(dir.file("NR012M.H10")), dir.file("NR012L.H10"));
    EXPECT_EQ(existingPartner(dir.file("NR012L.H10")), dir.file("NR012M.H10"));
    writeBytes(dir.file("NR013m.h10"), "m");
    EXPECT_EQ(existingPartner(dir.file("NR013m.h10")), dir.file("NR013l.h10"));  // none: the name formed
    EXPECT_EQ(findIgnoringCase(dir.file("nr012m.H10")), dir.file("NR012M.H10"));
    EXPECT_EQ(findIgnoringCase(dir.file("nothing.H10")), "");

    Settings s;
    EXPECT_EQ(pushFileList(s, "/a"), 1);
    EXPECT_EQ(pushFileList(s, "/b"), 2);
    EXPECT_EQ(pushFileList(s, "/c"), 3);
    EXPECT_EQ(pushFileList(s, "/a"), 3);  // moved to the head, listed once
    EXPECT_EQ(fileList(s)[0], "/a");
    EXPECT_EQ(fileList(s)[1], "/c");
    EXPECT_EQ(fileList(s)[2], "/b");
    EXPECT_EQ(fileList(s)[3], "");
    for (int i = 0; i < 10; ++i)
        pushFileList(s, "/f" + std::to_string(i));
    EXPECT_EQ(fileList(s)[0], "/f9");
    EXPECT_EQ(fileList(s)[7], "/f2");  // value 7 drops out
    // A blank head (after a close) moves down to value 1.
    s.set(98, 0, "");
    pushFileList(s, "/g");
    EXPECT_EQ(fileList(s)[1], "");
}

TEST(ScrollBar, Mapping)
{
    EXPECT_EQ(ScrollMapping::maximum(345), 345);
    EXPECT_EQ(ScrollMapping::maximum(32767), 32767);
    EXPECT_EQ(ScrollMapping::maximum(32768), 32767);
    EXPECT_EQ(ScrollMapping::maximum(500000), 32767);
    struct Case {
        std::int64_t current, latest;
        int value;
    };
    const Case cases[] = {
        {12, 345, 12},          {345, 345, 345},     {500, 345, 345},
        {100, 100000, 100},     {32767, 100000, 32767},  // low end: the number itself
        {100000, 100000, 32767}, {99000, 100000, 31767}, {67234, 100000, 1},  // high end
        {32768, 100000, 1},     {67232, 100000, 32766}, {67233, 100000, 32767},                        // middle, in order
        {40000, 40000, 32767},  {32768, 40000, 25535},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScrollMapping::valueFor(c.current, c.latest), c.value) << c.current << " of " << c.latest;
    // Middle numbers keep their order.
    int last = 0;
    for (std::int64_t n = 32768; n <= 67232; n += 997) {
        const int v = ScrollMapping::valueFor(n, 100000);
        EXPECT_GE(v, last);
        last = v;
    }
    EXPECT_EQ(ScrollMapping::numberAfterChange(10, 10, 15, 345), 15);
    EXPECT_EQ(ScrollMapping::numberAfterChange(10, 10, 1, 345), 1);
    EXPECT_EQ(ScrollMapping::numberAfterChange(340, 340, 345, 100), 100);
    EXPECT_EQ(ScrollMapping::numberAfterChange(50000, 32767, 32700, 100000), 49933);
}

}  // namespace
}  // namespace varenta
