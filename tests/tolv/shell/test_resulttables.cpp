// The result-item tables for the logger: the position table in both forms,
// the name table and the heading table, byte for byte in the code page.
#include "tolv/shell/resulttables.h"

#include "common/resultitems.h"
#include "common/textcodec.h"
#include "common/textfile.h"
#include "test_conditions_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace varenta;

namespace {

// A definitions table with codes 0..last; code c has the short name
// "名前c" and headings "  見c" / "  出c" unless given.
ResultItemTable definitions(int last, std::vector<std::string> extraLines = {})
{
    std::vector<std::string> lines = {"[" + std::to_string(last) + "] test"};
    for (std::string& l : extraLines)
        lines.push_back(l);
    for (int c = 0; c <= last; ++c) {
        char code[8];
        std::snprintf(code, sizeof code, "%03d", c);
        lines.push_back(std::string("000") + code + ",###0.0,  見" + std::to_string(c % 10) + ",  出" +
                        std::to_string(c % 10) + ",,,名前" + std::to_string(c) + ",,");
    }
    ResultItemTable t;
    EXPECT_EQ(t.parse(lines), Status::Ok);
    return t;
}

std::vector<std::string> splitCrLf(const std::string& s)
{
    std::vector<std::string> out;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t e = s.find("\r\n", pos);
        if (e == std::string::npos) {
            out.push_back(s.substr(pos));
            return out;
        }
        out.push_back(s.substr(pos, e - pos));
        pos = e + 2;
    }
}

// sel(p) = 63 - p: code c < 64 stands at position 63 - c.
std::vector<int> reversedRecord()
{
    std::vector<int> r;
    for (int p = 0; p < 64; ++p)
        r.push_back(63 - p);
    return r;
}

}  // namespace

TEST(PositionTable, DecimalFormHasTenEntriesALineWithRangeComments)
{
    const ResultItemTable items = definitions(511);
    const std::string text = positionTableText(items, reversedRecord(), false);
    const std::vector<std::string> lines = splitCrLf(text);
    ASSERT_EQ(lines.size(), 52u);  // 51 full lines and the unterminated last one
    EXPECT_EQ(lines[0], "  63,  62,  61,  60,  59,  58,  57,  56,  55,  54,    // 0 - 9");
    EXPECT_EQ(lines[6], "   3,   2,   1,   0,   0,   0,   0,   0,   0,   0,    // 60 - 69");
    EXPECT_EQ(lines[50], "   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    // 500 - 509");
    int comments = 0;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        comments += lines[i].find("    // ") != std::string::npos ? 1 : 0;
    EXPECT_EQ(comments, 51);
    // The entries of codes 510 and 511, and no line end after them.
    EXPECT_EQ(lines.back(), "   0,   0,");
    EXPECT_NE(text.substr(text.size() - 2), "\r\n");
}

TEST(PositionTable, HexadecimalFormHasSixteenEntriesALine)
{
    const ResultItemTable items = definitions(511);
    std::vector<int> record = reversedRecord();
    record[10] = 300;  // code 300 at position 10 (0x0A); code 53 no longer recorded
    const std::string text = positionTableText(items, record, true);
    const std::vector<std::string> lines = splitCrLf(text);
    ASSERT_EQ(lines.size(), 33u);
    EXPECT_EQ(lines.back(), "");  // 512 codes end exactly with a line end
    for (std::size_t i = 0; i < 32; ++i)
        EXPECT_EQ(lines[i].size(), 47u) << i;  // 16 entries, the last trimmed
    EXPECT_EQ(lines[0], "3F 3E 3D 3C 3B 3A 39 38 37 36 35 34 33 32 31 30");
    EXPECT_EQ(lines[3], "0F 0E 0D 0C 0B 00 09 08 07 06 05 04 03 02 01 00");
    EXPECT_EQ(lines[18].substr(12 * 3, 2), "0A");  // code 300 = line 18, entry 12
    EXPECT_EQ(lines[31], "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
}

TEST(PositionTable, FirstPositionWinsAndTheTableStopsAtTheLastDefinedCode)
{
    const ResultItemTable items = definitions(21);
    const std::vector<int> record = {5, 7, 5, 64};
    EXPECT_EQ(recordPositionOf(record, 5), 0);
    EXPECT_EQ(recordPositionOf(record, 7), 1);
    EXPECT_EQ(recordPositionOf(record, 9), kNotRecorded);
    const std::string text = positionTableText(items, record, false);
    const std::vector<std::string> lines = splitCrLf(text);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "   0,   0,   0,   0,   0,   0,   0,   1,   0,   0,    // 0 - 9");
    EXPECT_EQ(lines[2], "   0,   0,");  // codes 20 and 21
    // Positions beyond 63 are not record positions.
    std::vector<int> longRecord(70, 64);
    longRecord[66] = 3;
    EXPECT_EQ(recordPositionOf(longRecord, 3), kNotRecorded);
}

TEST(NameTable, QuotedShortNamesPaddedToTwentyCharacters)
{
    ResultItemTable items = definitions(70, {});
    // Code 64 with an empty short name, code 65 with blanks around it.
    std::vector<std::string> lines = {"[070] t", "000064,##,,,,,,,", "000065,##,,,,,  ピーク波向(°) ,,"};
    ResultItemTable sparse;
    ASSERT_EQ(sparse.parse(lines), Status::Ok);

    const std::string text = nameTableText(items, reversedRecord());
    const std::vector<std::string> out = splitCrLf(text);
    ASSERT_EQ(out.size(), 65u);
    EXPECT_EQ(out[64], "");
    EXPECT_EQ(out[0], "\"名前63=\"," + std::string(16, ' ') + "// 00");
    EXPECT_EQ(out[63], "\"名前0=\"," + std::string(17, ' ') + "// 63");

    const std::vector<std::string> s = splitCrLf(nameTableText(sparse, {64, 65, 200}));
    EXPECT_EQ(s[0], "\"－－－=\"," + std::string(17, ' ') + "// 00");
    EXPECT_EQ(s[1], "\"ピーク波向(°)=\"," + std::string(12, ' ') + "// 01");
    EXPECT_EQ(s[2], "\"－－－=\"," + std::string(17, ' ') + "// 02");  // undefined code
    EXPECT_EQ(s[3], "\"－－－=\"," + std::string(17, ' ') + "// 03");  // no entry at all
}

TEST(HeadingTable, HeadingsAreCutToSixCodePageBytes)
{
    struct Case {
        const char* heading;
        const char* field;
    } cases[] = {
        {"  有義", "  有義"},        // exactly 6 bytes
        {"有義波高", "有義波"},      // 8 bytes cut to 6
        {"abcde波", "abcde "},       // a double-byte character does not fit: cut before it, blank filled
        {"ｶｳﾝﾀｰ値", "ｶｳﾝﾀｰ "},      // half-width katakana are single bytes
        {"", "      "},
        {"ab", "ab    "},
    };
    for (const Case& c : cases) {
        const std::string f = headingField(c.heading);
        EXPECT_EQ(f, c.field) << c.heading;
        EXPECT_EQ(codePageWidth(f), 6u) << c.heading;
    }
}

TEST(HeadingTable, TwoLinesOfSixtyFourHeadingsInGroupsOfEight)
{
    const ResultItemTable items = definitions(70);
    const std::string text = headingTableText(items, reversedRecord());
    const std::string bytes = toCodePage(text);
    const std::vector<std::string> lines = splitCrLf(bytes);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[0].size(), 64u * 6 + 8);
    EXPECT_EQ(lines[1].size(), 64u * 6 + 8);
    // Position 0 holds code 63: "  見3" (5 bytes, filled to 6); a blank
    // follows each eighth heading.
    const std::vector<std::string> u = splitCrLf(text);
    EXPECT_EQ(u[0].substr(0, std::string("  見3   見2 ").size()), "  見3   見2 ");
    EXPECT_EQ(fromCodePage(lines[0].substr(7 * 6, 7)), "  見6  ");
    EXPECT_EQ(fromCodePage(lines[1].substr(8 * 6 + 1, 6)), "  出5 ");
}

TEST(ResultTables, WrittenFromTheInstalledDefinitionsMatchTheShippedResultListHeadings)
{
    const std::string folder = varenta::testing::installedFolder("tables");
    Settings s;
    ASSERT_EQ(s.load(folder + "/tolvi.org"), Status::Ok);
    ResultItemTable items;
    ASSERT_EQ(items.load(folder + "/tolvg.org"), Status::Ok);
    const std::vector<int> record = threeDigitCodes(s.value(165, 1), 64);
    ASSERT_EQ(record.size(), 64u);

    const ResultTablesOutcome out = writeResultTables(folder, items, record, false);
    ASSERT_EQ(out.status, Status::Ok);

    // The shipped result-list template carries the same headings as 5-byte
    // fields joined by "," (", " between groups): the heading table is the
    // same text with blanks for commas, each heading's first blank kept.
    std::string tpl;
    ASSERT_EQ(readFileBytes(folder + "/Brenloid.txt", tpl), Status::Ok);
    std::string heading;
    ASSERT_EQ(readFileBytes(folder + "/Brenloid.org", heading), Status::Ok);
    const std::vector<std::string> t = splitCrLf(tpl);
    const std::vector<std::string> h = splitCrLf(heading);
    ASSERT_GE(t.size(), 2u);
    ASSERT_EQ(h.size(), 3u);
    for (int k = 0; k < 2; ++k) {
        std::string expected = " " + t[static_cast<std::size_t>(k)] + " ";
        for (char& c : expected)
            if (c == ',')
                c = ' ';
        EXPECT_EQ(h[static_cast<std::size_t>(k)], expected) << "line " << k;
    }

    std::string positions;
    ASSERT_EQ(readFileBytes(folder + "/Brenlo2.tbl", positions), Status::Ok);
    const std::vector<std::string> p = splitCrLf(positions);
    // Codes 0..9 of item 165: 0 at 0, 1 at 1, 2 at 2, 3 at 3, 6 at 4, 4 at 5, 5 at 6, 7 at 7, 8 at 8, 9 at 9.
    EXPECT_EQ(p[0], "   0,   1,   2,   3,   5,   6,   4,   7,   8,   9,    // 0 - 9");
    EXPECT_EQ(p.size(), 52u);

    std::string names;
    ASSERT_EQ(readFileBytes(folder + "/Brenlo3.tbl", names), Status::Ok);
    const std::vector<std::string> n = splitCrLf(fromCodePage(names));
    EXPECT_EQ(n[4], "\"測定番号=\"," + std::string(16, ' ') + "// 04");
    EXPECT_EQ(n[63], "\"記録状態=\"," + std::string(16, ' ') + "// 63");
    // The file is in the code page: 測 is 0x91 0xAA.
    EXPECT_EQ(names.substr(1, 2), "\x91\xaa");

    // The hexadecimal form replaces the position table.
    ASSERT_EQ(writeResultTables(folder, items, record, true).status, Status::Ok);
    ASSERT_EQ(readFileBytes(folder + "/Brenlo2.tbl", positions), Status::Ok);
    EXPECT_EQ(splitCrLf(positions)[0], "00 01 02 03 05 06 04 07 08 09 0A 0B 0C 0D 0E 0F");
    std::filesystem::remove_all(folder);
}

TEST(ResultTables, NothingIsWrittenForAnEmptySelectionOrAnUnwritableFolder)
{
    const std::string folder = varenta::testing::installedFolder("refuse");
    ResultItemTable items;
    ASSERT_EQ(items.load(folder + "/tolvg.org"), Status::Ok);
    const ResultTablesOutcome empty = writeResultTables(folder, items, {}, false);
    EXPECT_EQ(empty.status, Status::Refused);
    EXPECT_FALSE(std::filesystem::exists(folder + "/Brenlo2.tbl"));

    const ResultTablesOutcome missing = writeResultTables(folder + "/no/such/folder", items, {12, 13}, false);
    EXPECT_EQ(missing.status, Status::Io);
    EXPECT_EQ(missing.failedFile, kPositionTableName);
    std::filesystem::remove_all(folder);
}
