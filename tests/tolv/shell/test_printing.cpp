// Printing without a printer: set-up per view kind, the results pages of a
// record and of the whole file, and the text a page receives.
#include "tolv/shell/printing.h"

#include "common/textcodec.h"
#include "common/textfile.h"
#include "tolv/data/test_results_fixture.h"

#include <gtest/gtest.h>

using namespace varenta;
using namespace varenta::testing;

namespace {

struct PageRangeCase {
    long long r;
    bool forward;
    long long rows, last;
    RecordRange want;
};

TEST(ResultsPageRange, ClampsToTheFile)
{
    const PageRangeCase cases[] = {
        {5, true, 24, 100, {5, 28}},     {90, true, 24, 100, {90, 100}}, {17, false, 24, 100, {1, 17}},
        {50, false, 24, 100, {27, 50}},  {150, true, 24, 100, {100, 100}}, {0, true, 24, 100, {1, 24}},
        {5, true, 24, 0, {0, 0}},        {3, false, 0, 10, {3, 3}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resultsPageRange(c.r, c.forward, c.rows, c.last), c.want)
            << c.r << (c.forward ? " forward " : " backward ") << c.rows << "/" << c.last;
}

class ResultsPaging : public ::testing::Test {
protected:
    Shipped shipped;
    // Records 1 .. min(one day, count) of hourly records from the hour given.
    std::vector<std::string> leading(long long count, int hour, int interval = 60)
    {
        const std::string all = hourlyRecords(shipped.selection, std::min<long long>(count, 1440 / interval), 6, hour);
        std::vector<std::string> out;
        for (std::size_t i = 0; i + kResultsRecordSize <= all.size(); i += kResultsRecordSize)
            out.push_back(all.substr(i, kResultsRecordSize));
        return out;
    }
};

struct FileCase {
    const char* name;
    long long count;
    int hour;
    long long rows;
    std::vector<RecordRange> want;  // empty: only the cover rule is checked
};

TEST_F(ResultsPaging, EveryRecordOnExactlyOnePage)
{
    const FileCase cases[] = {
        // 17 records share the first date: that page, then whole days.
        {"07:00 start", 100, 7, 24, {{1, 17}, {18, 41}, {42, 65}, {66, 89}, {90, 100}}},
        {"midnight start", 50, 0, 24, {{1, 24}, {25, 48}, {49, 50}}},
        {"shorter than a day", 10, 7, 24, {{1, 10}}},
        {"two days a page", 100, 7, 48, {{1, 41}, {42, 89}, {90, 100}}},
        {"fewer rows than a day", 40, 7, 10, {{1, 3}, {4, 13}, {14, 23}, {24, 33}, {34, 40}}},
        {"late start, short pages", 40, 20, 10, {}},
        {"one row a page", 5, 22, 1, {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}},
    };
    for (const auto& c : cases) {
        const auto pages = resultsFilePages(leading(c.count, c.hour), c.rows, c.count, 60);
        if (!c.want.empty()) {
            EXPECT_EQ(pages, c.want) << c.name;
        }
        long long next = 1;
        for (const RecordRange& p : pages) {
            EXPECT_EQ(p.first, next) << c.name;
            EXPECT_LE(p.last - p.first + 1, c.rows) << c.name;
            EXPECT_GE(p.last, p.first) << c.name;
            next = p.last + 1;
        }
        EXPECT_EQ(next, c.count + 1) << c.name;
    }
    // Without an interval the pages simply run from record 1.
    EXPECT_EQ(resultsFilePages(leading(30, 7), 24, 30, 0), (std::vector<RecordRange>{{1, 24}, {25, 30}}));
}

TEST_F(ResultsPaging, PageTextIsTheTableRowsWithTheBlockBreak)
{
    const std::string all = hourlyRecords(shipped.selection, 40, 6, 7);
    const std::string path = shipped.file("NR012L.H10");
    ASSERT_EQ(writeFileBytesAtomic(path, all), Status::Ok);
    ResultsPageSource src;
    src.resultsPath = path;
    src.layout = makeResultsTableLayout(shipped.items, shipped.selection);
    src.blockStartHour = 0;
    src.blockHours = 24;
    src.intervalMinutes = 60;
    src.title = "東京湾 No.3";

    ResultsPageText page;
    ASSERT_EQ(resultsPageText(src, {10, 30}, page), Status::Ok);
    EXPECT_EQ(page.heading, (std::vector<std::string>{"東京湾 No.3", src.layout.heading1, src.layout.heading2}));
    // Records 10..17, the blank line at 00:00 of the next day, 18..30.
    ASSERT_EQ(page.rows.size(), 22u);
    EXPECT_EQ(page.rows[8], "");
    EXPECT_EQ(page.rows[0], fromCodePage(resultsTableLine(recordOf(all, 10), src.layout)));
    EXPECT_EQ(page.rows[9], fromCodePage(resultsTableLine(recordOf(all, 18), src.layout)));
    EXPECT_EQ(page.rows.back(), fromCodePage(resultsTableLine(recordOf(all, 30), src.layout)));

    src.title = "  ";
    ASSERT_EQ(resultsPageText(src, {18, 18}, page), Status::Ok);
    EXPECT_EQ(page.heading.size(), 2u);
    EXPECT_EQ(page.rows.size(), 1u);  // no blank line in front of the first row
    EXPECT_EQ(resultsPageText(src, {0, 0}, page), Status::DataFormat);
    src.resultsPath = shipped.file("missing.H10");
    EXPECT_NE(resultsPageText(src, {1, 2}, page), Status::Ok);
}

}  // namespace
