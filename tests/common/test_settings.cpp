// The initialization table: text conversions, the reading and writing
// rules, start options, schedules and the result-item selection.
#include "common/appstate.h"
#include "common/resultitems.h"
#include "common/schedule.h"
#include "common/settings.h"

#include "test_settings_fixture.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

TEST(SettingsText, Conversions)
{
    struct Case {
        const char* text;
        double real;
        long long integer;
    };
    const Case cases[] = {
        {"30", 30, 30},        {" 12 ", 12, 12},     {"-4.5", -4.5, -4},  {"2.5", 2.5, 2},
        {"3.5", 3.5, 4},       {"", 0, 0},           {"abc", 0, 0},       {"12abc", 12, 12},
        {"1e3", 1000, 1000},   {"1e", 1, 1},         {".5", 0.5, 0},      {"&H1F", 31, 31},
        {"0.0#####", 0, 0},    {"  -0.25x", -0.25, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(textToReal(c.text), c.real);
        EXPECT_EQ(textToInt(c.text), c.integer);
    }
    struct HexCase {
        const char* text;
        std::uint32_t value;
    };
    const HexCase hex[] = {{"", 0},          {"20", 0x20},      {" 3F04 ", 0x3F04}, {"&H40", 0x40},
                           {"0x1ff", 0x1FF}, {"12G4", 0x12},    {"FFFFFFFF", 0xFFFFFFFFu}, {"zz", 0}};
    for (const HexCase& h : hex) {
        SCOPED_TRACE(h.text);
        EXPECT_EQ(textToHex(h.text), h.value);
    }
    EXPECT_EQ(hexText(0), "0");
    EXPECT_EQ(hexText(0x3003), "3003");
    EXPECT_EQ(hexText(0xABCDEF), "ABCDEF");
    EXPECT_EQ(trimBlanks(" \t a b \t"), "a b");
    // Single digits: both cases, and the characters next to each range.
    const std::pair<char, int> digits[] = {{'0', 0},   {'9', 9},   {'a', 10}, {'f', 15}, {'A', 10}, {'F', 15},
                                           {'/', -1},  {':', -1},  {'@', -1}, {'G', -1}, {'`', -1}, {'g', -1},
                                           {' ', -1},  {'\0', -1}, {'\xA0', -1}};
    for (const auto& [c, v] : digits)
        EXPECT_EQ(hexDigit(c), v) << static_cast<int>(static_cast<unsigned char>(c));
}

TEST(SettingsText, FixedWidthLists)
{
    EXPECT_EQ(fixedWidthList("  0.5  1.0 10.0", 5), (std::vector<double>{0.5, 1.0, 10.0}));
    EXPECT_EQ(fixedWidthList("  10  20  30  4", 4), (std::vector<double>{10, 20, 30, 4}));
    EXPECT_EQ(fixedWidthList("  10    ", 4), (std::vector<double>{10}));
    EXPECT_TRUE(fixedWidthList("", 4).empty());
}

TEST(SettingsLines, ParseItemAndHeadingLines)
{
    SettingsLine a = parseSettingsLine("  012,a, b ,,d  ");
    EXPECT_TRUE(a.isItem);
    EXPECT_EQ(a.number, 12);
    EXPECT_EQ(a.valueCount, 4);
    EXPECT_EQ(a.values[0], "a");
    EXPECT_EQ(a.values[1], " b ");  // values are not trimmed
    EXPECT_EQ(a.values[2], "");
    EXPECT_EQ(a.values[3], "d");    // the line is trimmed as a whole

    for (const char* heading : {"[Tolv]", "Abc,1,2", "   ; x", "", "\t# 5"}) {
        SCOPED_TRACE(heading);
        EXPECT_FALSE(parseSettingsLine(heading).isItem);
    }
    // More than eight fields: the ninth and later are not kept.
    SettingsLine b = parseSettingsLine("001,0,1,2,3,4,5,6,7,8,9");
    EXPECT_EQ(b.valueCount, 8);
    EXPECT_EQ(b.values[7], "7");
    // A bare number is an item line without values.
    SettingsLine c = parseSettingsLine("077");
    EXPECT_TRUE(c.isItem);
    EXPECT_EQ(c.number, 77);
    EXPECT_EQ(c.valueCount, 0);
    // Positions count characters: a kana in place of a digit or a
    // full-width separator takes one position, whatever its bytes.
    SettingsLine d = parseSettingsLine("0\uFF67,,x");  // 0, half-width kana, ",", ","
    EXPECT_EQ(d.number, 0);
    EXPECT_EQ(d.values[0], "x");
    SettingsLine e = parseSettingsLine("012\u3001a,b");  // ideographic comma as separator
    EXPECT_EQ(e.number, 12);
    EXPECT_EQ(e.values[0], "a");
    EXPECT_EQ(e.values[1], "b");
    EXPECT_EQ(parseSettingsLine("01\u3001").valueCount, 0);  // nothing after the separator
}

TEST(SettingsFile, SaveKeepsHeadingsAndWritesEightValues)
{
    struct Case {
        const char* name;
        std::vector<std::string> file;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"headings stay in place",
         {"[VarentaK]", "000,x", "Letters first", "  (bracket)", "   blanks then letters", "199,end"},
         {"[VarentaK]", "000,x,,,,,,,", "Letters first", "  (bracket)", "   blanks then letters", "199,end,,,,,,,"}},
        {"012,a,b gets eight values", {"012,a,b", "199,"}, {"012,a,b,,,,,,", "199,,,,,,,,"}},
        {"005,30 gets seven commas", {"005,30", "199"}, {"005,30,,,,,,,", "199,,,,,,,,"}},
        {"lines after 199 are lost", {"001,1", "199,z", "002,late", "trailer"}, {"001,1,,,,,,,", "199,z,,,,,,,"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings s;
        ASSERT_EQ(s.parse(c.file), Status::Ok);
        EXPECT_EQ(s.render(c.file), c.expected);
    }
}

TEST(SettingsFile, ReadingRules)
{
    Settings s;
    s.set(7, 0, "kept");
    s.set(12, 5, "old");
    ASSERT_EQ(s.parse({"012,a,b", "199,last", "050,after"}), Status::Ok);
    EXPECT_EQ(s.value(7, 0), "kept");      // missing items keep their values
    EXPECT_EQ(s.value(12, 0), "a");
    EXPECT_EQ(s.value(12, 5), "");         // a line present defines the whole item
    EXPECT_EQ(s.value(199, 0), "last");
    EXPECT_EQ(s.value(50, 0), "");         // after 199: not read

    // Without an item 199 line the file is an error and nothing changes.
    Settings t;
    t.set(1, 0, "before");
    EXPECT_EQ(t.parse({"001,after", "198,x"}), Status::DataFormat);
    EXPECT_EQ(t.value(1, 0), "before");
    EXPECT_EQ(t.value(198, 0), "");
    // A number above 199 closes the reading as well (it is not stored).
    EXPECT_EQ(t.parse({"001,x", "250,y", "002,z"}), Status::Ok);
    EXPECT_EQ(t.value(1, 0), "x");
    EXPECT_EQ(t.value(2, 0), "");

    // A layout without a closing line gets one, so the saved file reads back.
    Settings u;
    u.set(199, 0, "v");
    EXPECT_EQ(u.render({"head", "001,a"}), (std::vector<std::string>{"head", "001,,,,,,,,", "199,v,,,,,,,"}));
    EXPECT_EQ(u.value(300, 0), "");  // out of range reads blank and writes nothing
    u.set(300, 0, "x");
    EXPECT_EQ(u.value(300, 0), "");
}

TEST(SettingsFile, CodePageRoundTripThroughAFile)
{
    testing::TempFolder dir;
    const std::string path = dir.file("tolvi.ini");
    testing::writeCodePageLines(path, {"[設定] ﾃｽﾄ ①", "080,標準,風,㎡", "199,"});
    Settings s;
    ASSERT_EQ(s.load(path), Status::Ok);
    EXPECT_EQ(s.value(80, 0), "標準");
    EXPECT_EQ(s.value(80, 2), "㎡");
    EXPECT_EQ(Settings().load(dir.file("missing.ini")), Status::NotFound);
}

TEST(StartOptions, CommandLineFields)
{
    StartOptions a = parseStartOptions(" 22 , /opt/x/tolvi.ini ,pass,/home/u, 0F ", "/prog");
    EXPECT_EQ(a.flags, 0x22u);
    EXPECT_TRUE(a.has(startflag::kFolderInit));
    EXPECT_TRUE(a.has(startflag::kProtected));
    EXPECT_EQ(a.initFile, "/opt/x/tolvi.ini");
    EXPECT_EQ(a.field3, "pass");
    EXPECT_EQ(a.userBase, "/home/u");
    EXPECT_EQ(a.skipMask, 0x0Fu);

    StartOptions b = parseStartOptions("10000,,,/elsewhere", "/prog");
    EXPECT_EQ(b.flags, 0x10003u);  // user-folder mode sets 0x01 and 0x02
    EXPECT_EQ(b.userBase, "/prog");  // and overrides field 4

    StartOptions c = parseStartOptions("", "/prog");
    EXPECT_EQ(c.flags, 0u);
    EXPECT_TRUE(c.userBase.empty());
}

TEST(Schedule, AlignmentAtLoad)
{
    struct Case {
        int interval, hour, minute, nowH, nowM, wantH, wantM;
    };
    const Case cases[] = {
        {60, 7, 15, 10, 40, 11, 15},  // later than now: the next hour
        {60, 7, 15, 10, 10, 10, 15},  // still ahead this hour
        {60, 7, 15, 10, 15, 11, 15},  // equal is not later
        {90, 23, 30, 0, 10, 1, 0},    // P = 1410 mod 90 = 60
        {1440, 6, 0, 23, 59, 6, 0},   // daily
        {20, 0, 5, 23, 58, 0, 5},     // wraps past midnight
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.interval << " " << c.hour << ":" << c.minute << " at " << c.nowH
                                          << ":" << c.nowM);
        const auto t = alignedScheduleTime(c.interval, c.hour, c.minute, c.nowH, c.nowM);
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(t->hour, c.wantH);
        EXPECT_EQ(t->minute, c.wantM);
    }
    EXPECT_FALSE(alignedScheduleTime(0, 1, 2, 3, 4).has_value());

    Settings s;
    s.set(83, 5, "60");
    s.set(83, 6, "7");
    s.set(83, 7, "15");
    DateTime now{2026, 5, 6, 10, 40, 0};
    EXPECT_TRUE(alignSchedule(s, kDownloadSchedule, now));
    EXPECT_EQ(s.value(83, 6), "11");
    EXPECT_EQ(s.value(83, 7), "15");
    s.set(68, 4, "");  // blank interval: left alone
    s.set(67, 6, "3");
    EXPECT_FALSE(alignSchedule(s, kProcessingSchedule, now));
    EXPECT_EQ(s.value(67, 6), "3");
}

TEST(Schedule, DueCheck)
{
    Settings s;
    s.set(66, 5, "1440");
    s.set(66, 6, "6");
    s.set(66, 7, "0");
    EXPECT_FALSE(scheduleDue(s, kPrintSchedule, DateTime{2026, 1, 1, 6, 0, 1}));  // daily: second 0 only
    EXPECT_TRUE(scheduleDue(s, kPrintSchedule, DateTime{2026, 1, 1, 6, 0, 0}));
    EXPECT_EQ(s.value(66, 6), "6");
    EXPECT_EQ(s.value(66, 7), "0");
    s.set(83, 5, "90");
    s.set(83, 6, "23");
    s.set(83, 7, "30");
    EXPECT_FALSE(scheduleDue(s, kDownloadSchedule, DateTime{2026, 1, 1, 23, 29, 0}));
    EXPECT_TRUE(scheduleDue(s, kDownloadSchedule, DateTime{2026, 1, 1, 23, 30, 40}));
    EXPECT_EQ(s.value(83, 6), "1");
    EXPECT_EQ(s.value(83, 7), "0");
}

TEST(ResultItems, DefinitionsTable)
{
    ResultItemTable t;
    ASSERT_EQ(t.parse(testing::resultItemLines()), Status::Ok);
    EXPECT_EQ(t.count(), 110);
    EXPECT_EQ(t.columnWidth(12), 3);  // "  ###" without its leading blanks
    EXPECT_EQ(t.heading1(12), "項目12");
    EXPECT_EQ(t.heading2(12), "単位");
    EXPECT_EQ(t.shortName(12), "I12");
    EXPECT_TRUE(t.defined(110));
    EXPECT_FALSE(t.defined(111));
    EXPECT_EQ(t.value(500, 1), "");
    // Reading stops at the first code of N or more.
    ResultItemTable u;
    ASSERT_EQ(u.parse({" 005", "001001,a", "002006,stop", "003003,after"}), Status::Ok);
    EXPECT_EQ(u.value(6, 0), "");  // beyond N: not stored
    EXPECT_FALSE(u.defined(3));
    EXPECT_EQ(ResultItemTable().parse({"xx"}), Status::DataFormat);
    EXPECT_EQ(ResultItemTable().parse({}), Status::DataFormat);
    // The count is three characters: a number written another way that
    // reads larger is refused, not taken as billions of rows.
    EXPECT_EQ(ResultItemTable().parse({"[9e9", "001001,a"}), Status::DataFormat);
    EXPECT_EQ(ResultItemTable().parse({" 999", "001001,a"}), Status::Ok);
}

TEST(ResultItems, SelectionAndActiveItem)
{
    Settings s;
    s.set(165, 0, "006012064013");
    s.set(165, 1, testing::selectionList({{3, 109}, {40, 6}, {6, 40}}));
    s.set(78, 5, "024026065");
    const ResultSelection sel = buildResultSelection(s, 165);
    EXPECT_EQ(sel.columnCodes, (std::vector<int>{6, 12, 64, 13}));
    EXPECT_EQ(sel.positionCode.size(), 65u);
    EXPECT_EQ(sel.numberPosition, 40);
    EXPECT_EQ(sel.statusPosition, 3);
    EXPECT_EQ(sel.positionOf(40), 6);
    EXPECT_EQ(sel.positionOf(64), -1);  // entry 64 is read but is no record position
    EXPECT_EQ(sel.codeAt(64), 64);
    EXPECT_EQ(sel.directionCodes, (std::vector<int>{24, 26, 65}));

    struct Case {
        const char* headerPriority;
        bool flag04, wind;
        int optionHigh;
        const char* variant;
        int want;
    };
    const Case cases[] = {
        {"0", false, false, 0x40, "0", 165}, {"0", true, false, 0, "0", 166}, {"0", false, true, 0, "0", 166},
        {"1", true, true, 0x00, "0", 165},   {"1", false, false, 0x40, "0", 166},
        {"0", false, false, 0, "3", 167},    {"0", false, false, 0, "14", 179}, {"0", true, false, 0, "17", 166},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.headerPriority << c.flag04 << c.wind << c.variant);
        Settings t;
        t.set(96, 0, c.headerPriority);
        t.set(86, 1, c.variant);
        EXPECT_EQ(activeSelectionItem(t, c.flag04, c.wind, c.optionHigh), c.want);
    }
}

TEST(ResultItems, AlternateWindSet)
{
    const int on[][2] = {{105, 107}, {106, 108}, {8, 48}, {21, 61}, {20, 20}, {22, 22}, {7, 7}, {107, 107}};
    for (auto& p : on)
        EXPECT_EQ(alternateResultCode(p[0], true), p[1]) << p[0];
    const int off[][2] = {{107, 105}, {108, 106}, {48, 8}, {61, 21}, {60, 60}, {62, 62}, {12, 12}};
    for (auto& p : off)
        EXPECT_EQ(alternateResultCode(p[0], false), p[1]) << p[0];

    Settings s;
    s.set(165, 0, "006012105020");
    s.set(165, 1, "unchanged");
    s.set(165, 2, "013106");
    s.set(70, 0, "12");
    s.set(71, 0, "");
    s.set(95, 4, "8");
    applyAlternateItemSet(s, 165, true);
    EXPECT_EQ(s.value(165, 0), "006052107020");
    EXPECT_EQ(s.value(165, 1), "unchanged");
    EXPECT_EQ(s.value(165, 2), "053108");
    EXPECT_EQ(s.value(70, 0), "052");
    EXPECT_EQ(s.value(71, 0), "");
    EXPECT_EQ(s.value(95, 4), "28");
    applyAlternateItemSet(s, 165, true);  // applying twice changes nothing
    EXPECT_EQ(s.value(165, 0), "006052107020");
    applyAlternateItemSet(s, 165, false);
    EXPECT_EQ(s.value(165, 0), "006012105020");
    EXPECT_EQ(s.value(70, 0), "012");
    EXPECT_EQ(s.value(95, 4), "8");
}

// Inputs the fuzz targets found, replayed as files: a kana where the item
// number ends (the settings round trip lost a value), and a result-item
// count written as "9e9" (the reader tried to allocate for it).
TEST(FuzzFindings, SettingsAndDefinitionInputsReplay)
{
    testing::TempFolder dir;
    for (const std::string& bytes : {std::string("0\xc7,,,,,,, ,\n199"), std::string("0\xad,,,,,,, ,\n199")}) {
        ASSERT_EQ(writeFileBytesAtomic(dir.file("tolvi.ini"), bytes), Status::Ok);
        Settings read;
        ASSERT_EQ(read.load(dir.file("tolvi.ini")), Status::Ok);
        std::vector<std::string> layout;
        ASSERT_EQ(readTextLines(dir.file("tolvi.ini"), layout), Status::Ok);
        Settings again;
        ASSERT_EQ(again.parse(read.render(layout)), Status::Ok);
        for (int k = 0; k < kSettingsValues; ++k)
            EXPECT_EQ(again.value(0, k), read.value(0, k)) << "value " << k;
        EXPECT_EQ(read.value(0, 5), " ");  // the blank stays a value of its own
    }
    const std::string definitions("[9e99\x92lE\r3&&&&&h `\xff&\xff", 21);
    ASSERT_EQ(writeFileBytesAtomic(dir.file("tolvg.org"), definitions), Status::Ok);
    EXPECT_EQ(ResultItemTable().load(dir.file("tolvg.org")), Status::DataFormat);
}

}  // namespace
}  // namespace varenta
