// Saving the edited tables: the raw table read back into counts and
// sectors, the results table's items written into their records, and the
// user-folder table shipped with the program.
#include "common/test_settings_fixture.h"
#include "tolv/data/rawtable.h"
#include "tolv/data/tablesave.h"
#include "tolv/data/userfolders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace varenta {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::TempFolder;

ChannelTable channelTable()
{
    ChannelTable t;
    EXPECT_EQ(t.parse({"channels 051", "001,水圧,cm,0.1,###0.0,80", "002,流速X,cm/s,0.1,###0.0,80",
                       "009,傾斜X,deg,0.01,##0.0,80"}),
              Status::Ok);
    return t;
}

MeasurementHeader headerOf(std::vector<int> codes)
{
    HeaderFields f;
    f.durationMinutes = 1;
    f.measureCondition = 0;  // 1 s: 60 samples per channel
    for (std::size_t i = 0; i < codes.size(); ++i)
        f.channelSlots[i] = 0x80 | codes[i];
    Sector s{};
    encodeHeader(f, s.data());
    return decodeHeader(s.data());
}

// The stored counts, the table made from them, and a way to edit one field.
struct RawTableCase : ::testing::Test {
    ChannelTable table = channelTable();
    MeasurementHeader h = headerOf({1, 9, 2});
    std::vector<std::int16_t> stored;
    RawSaveRequest rq;

    void SetUp() override
    {
        for (int i = 0; i < h.totalSamples; ++i)
            stored.push_back(static_cast<std::int16_t>((i * 7919) % 20000 - 10000));
        rq.header = &h;
        rq.channels = &table;
        rq.displayed = {0, 1};  // channel 2 hidden
        rq.timeColumn = true;
        rq.text = bodyOf(stored);
    }
    std::string bodyOf(const std::vector<std::int16_t>& words) const
    {
        std::vector<std::vector<std::int16_t>> counts(3);
        for (std::size_t i = 0; i < words.size(); ++i)
            counts[i % 3].push_back(words[i]);
        RawTableInput in{&h, &counts, &table, rq.displayed, rq.timeColumn};
        return rawTableBody(in);
    }
    // Line j, field i (after the time column) replaced by text.
    void edit(int j, int i, const std::string& text)
    {
        std::size_t at = 0;
        for (int n = 0; n < j; ++n)
            at = rq.text.find('\n', at) + 1;
        at += kRawTimeColumnWidth + static_cast<std::size_t>(i) * 8;
        rq.text.replace(at, 7, rightAlignField(text));
    }
    static std::string rightAlignField(const std::string& t) { return std::string(7 - t.size(), ' ') + t; }
};

TEST_F(RawTableCase, UnchangedTableGivesTheStoredCountsEvenWhereTheFormatRounds)
{
    std::vector<std::int16_t> words = stored;
    std::string msg;
    ASSERT_EQ(rawTableToCounts(rq, words, &msg), Status::Ok) << msg;
    EXPECT_EQ(words, stored);  // channel 9 shows 0.1 steps of a 0.01 factor: still exact
}

TEST_F(RawTableCase, EditedValuesConvertBackExactlyOrTheSaveIsRefused)
{
    const struct {
        int line, field;
        const char* text;
        bool ok;
        int count;  // of the edited sample when ok
    } cases[] = {
        {5, 0, "12.3", true, 123},      {5, 0, "-0.5", true, -5},      {7, 1, "1.5", true, 150},
        {5, 0, "12.34", false, 0},      {5, 0, "4000.0", false, 0},    {5, 0, "abc", false, 0},
        {5, 0, "", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        rq.text = bodyOf(stored);
        edit(c.line, c.field, c.text);
        std::vector<std::int16_t> words = stored;
        std::string msg;
        const Status st = rawTableToCounts(rq, words, &msg);
        if (!c.ok) {
            EXPECT_EQ(st, Status::Refused);
            EXPECT_EQ(words, stored);
            EXPECT_NE(msg.find(std::to_string(c.line + 1) + "行目"), std::string::npos) << msg;
            continue;
        }
        ASSERT_EQ(st, Status::Ok) << msg;
        const std::size_t at = static_cast<std::size_t>(c.line) * 3 + static_cast<std::size_t>(c.field);
        EXPECT_EQ(words[at], c.count);
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (i != at) {
                ASSERT_EQ(words[i], stored[i]) << i;  // hidden channel 2 and every other sample kept
            }
        }
    }
}

TEST_F(RawTableCase, ATableOfAnotherShapeIsRefused)
{
    std::vector<std::int16_t> words = stored;
    rq.text = bodyOf(stored).substr(0, bodyOf(stored).rfind('\n'));  // one line short
    EXPECT_EQ(rawTableToCounts(rq, words, nullptr), Status::Refused);
    rq.text = bodyOf(stored);
    rq.timeColumn = false;  // fields shifted by the time column
    EXPECT_EQ(rawTableToCounts(rq, words, nullptr), Status::Refused);
    EXPECT_EQ(words, stored);
}

struct ResultsSave : ::testing::Test {
    ResultsTableLayout layout;
    void SetUp() override
    {
        layout.columns = {{6, 5, false, 0}, {64, 2, true, -1}, {8, 6, false, 8}, {9, 5, false, 9}};
        layout.lineWidth = 5 + 2 + 6 + 5 + 2;
    }
};

TEST_F(ResultsSave, ColumnsAreWalkedIntoTheirPositions)
{
    const std::string rec = emptyResultsRecord();
    const struct {
        const char* line;
        const char* item8;
        const char* item9;
    } cases[] = {
        {"    1    12.3  4.5", " 12.3", "  4.5"},
        {"    1       7   3-", "    7", "-----"},
        {"    1  123456   -  ", "", ""},  // one character too long: columns would shift
    };
    for (const auto& c : cases) {
        const std::string out = applyResultsLine(rec, c.line, layout);
        if (!*c.item8) {
            EXPECT_TRUE(out.empty()) << c.line;
            continue;
        }
        EXPECT_EQ(resultItem(out, 8), c.item8) << c.line;
        EXPECT_EQ(resultItem(out, 9), c.item9) << c.line;
        EXPECT_EQ(resultItem(out, 0), "    1");
        EXPECT_EQ(out.size(), 392u);
    }
}

TEST(UserFolderTable, ShippedTableHas256DistinctNamesAndDamageIsRefused)
{
    const std::string shipped = std::string(VARENTA_SOURCE_DIR) + "/data/" + kUserFolderTableName;
    std::vector<std::string> entries;
    std::string msg;
    ASSERT_EQ(readUserFolderTable(shipped, entries, &msg), Status::Ok) << msg;
    ASSERT_EQ(entries.size(), 256u);
    std::set<std::string> names;
    for (int i = 0; i < 256; ++i) {
        std::string n = userFolderName(entries, i);
        EXPECT_EQ(n.substr(0, 4), std::to_string(1000 + i).substr(1) + "_");
        for (char& c : n)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        names.insert(n);
    }
    EXPECT_EQ(names.size(), 256u);
    EXPECT_EQ(userFolderName(entries, 256), "");

    TempFolder dir;
    std::ifstream in(shipped);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    for (const char* bad : {"017_short\n", "018_GkRcI1RxuhNC-o\n"}) {
        std::string damaged = all;
        const auto at = damaged.find("017_");
        damaged.replace(at, 19, bad);
        { std::ofstream(dir.file("t.org")) << damaged; }
        EXPECT_EQ(readUserFolderTable(dir.file("t.org"), entries, &msg), Status::DataFormat) << bad;
        EXPECT_TRUE(entries.empty());
    }
}

TEST(UserFolders, SecondRunCreatesNothingAndTemplatesFollowTheSwitches)
{
    TempFolder dir;
    std::vector<std::string> entries;
    ASSERT_EQ(readUserFolderTable(std::string(VARENTA_SOURCE_DIR) + "/data/tolvu.org", entries), Status::Ok);
    const fs::path tpl = fs::path(dir.path()) / "UserFolder";
    fs::create_directories(tpl / "vnt" / "img");
    { std::ofstream(tpl / "index.htm") << "x"; }
    { std::ofstream(tpl / "vnt" / "img" / "a.gif") << "y"; }
    UserFolderRequest rq{dir.file("base"), 2, 3, true, false, tpl.string()};
    UserFolderOutcome out = createUserFolders(rq, entries);
    ASSERT_EQ(out.status, Status::Ok) << out.message;
    ASSERT_EQ(out.created.size(), 3u);
    EXPECT_EQ(fs::path(out.created[0]).filename().string(), userFolderName(entries, 6));
    EXPECT_TRUE(fs::exists(fs::path(out.created[0]) / "index.htm"));
    EXPECT_FALSE(fs::exists(fs::path(out.created[0]) / "vnt"));
    EXPECT_TRUE(createUserFolders(rq, entries).created.empty());

    rq.block = 0;
    rq.count = 1;
    rq.copyFolders = true;
    out = createUserFolders(rq, entries);
    ASSERT_EQ(out.created.size(), 1u);
    EXPECT_TRUE(fs::exists(fs::path(out.created[0]) / "vnt" / "img" / "a.gif"));
}

}  // namespace
}  // namespace varenta
