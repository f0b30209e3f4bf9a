// The command line, the option flags, the alignment of the automatic
// collection and the channel types of the type combos.
#include "brenlo24/link/commsettings.h"

#include <gtest/gtest.h>

using namespace varenta;

TEST(CommandLine, Examples)
{
    struct Case {
        const char* line;
        int port, speed, machine;
        std::uint32_t flags;
        int first, hour, minute, interval;
        std::size_t problems;
    };
    const Case cases[] = {
        {"com3,19200,12,,100,6,30,60", 3, 19200, 12, 0x100, -1, 6, 30, 60, 0},
        {",,,,,7", 1, 38400, 255, 0, -1, 7, 11, 60, 0},
        {"", 1, 38400, 255, 0, -1, 0, 11, 60, 0},
        {",,,,3", 1, 38400, 255, 3, -3, 0, 11, 60, 0},
        {" COM12 , 115200 , 253 , x , 8000 ", 12, 115200, 253, 0x8000, -1, 0, 11, 60, 0},
        {"Com1,1200", 1, 1200, 255, 0, -1, 0, 11, 60, 0},
        {"comX,fast,-1,,zz,25,60,0", 1, 38400, 255, 0, -1, 0, 11, 60, 7},
        {",,,,4010F", 1, 38400, 255, 0x4010F, -15, 0, 11, 60, 0},
        {"com2,,,,,,,1440,9", 2, 38400, 255, 0, -1, 0, 11, 1440, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        CommSettings s;
        const auto problems = applyCommandLine(c.line, s);
        EXPECT_EQ(s.portNumber, c.port);
        EXPECT_EQ(s.selectedSpeed, c.speed);
        EXPECT_EQ(s.machineNumber, c.machine);
        EXPECT_EQ(s.optionFlags, c.flags);
        EXPECT_EQ(s.autoFirstNumber, c.first);
        EXPECT_EQ(s.autoHour, c.hour);
        EXPECT_EQ(s.autoMinute, c.minute);
        EXPECT_EQ(s.autoInterval, c.interval);
        EXPECT_EQ(problems.size(), c.problems);
    }
}

TEST(CommandLine, AutomaticCollectionAlignment)
{
    struct Case {
        int h, m, interval;
        DateTime now;
        int expect;  // minutes since midnight, before the 24-hour wrap
    };
    const Case cases[] = {
        {6, 30, 60, {2025, 1, 1, 9, 45, 0}, 10 * 60 + 30},
        {6, 30, 60, {2025, 1, 1, 9, 29, 59}, 9 * 60 + 30},
        {6, 30, 60, {2025, 1, 1, 9, 30, 0}, 10 * 60 + 30},  // at the slot: the next one
        {23, 50, 20, {2025, 1, 1, 23, 55, 0}, 24 * 60 + 10},
        {0, 11, 60, {2025, 1, 1, 0, 0, 0}, 11},
        {7, 0, 1440, {2025, 1, 1, 8, 0, 0}, 7 * 60 + 1440},
        {7, 0, 1440, {2025, 1, 1, 6, 0, 0}, 7 * 60},
    };
    for (const Case& c : cases) {
        const int t = alignedCollectionMinutes(c.h, c.m, c.interval, c.now);
        EXPECT_EQ(t, c.expect) << c.h << ":" << c.m << "/" << c.interval;
    }
    // Shown as a clock time.
    const int t = alignedCollectionMinutes(23, 50, 20, {2025, 1, 1, 23, 55, 0});
    EXPECT_EQ((t / 60) % 24, 0);
    EXPECT_EQ(t % 60, 10);
}

TEST(ChannelTypes, ListAndSlotValues)
{
    ChannelTable table;
    ASSERT_EQ(table.parse({"channel table 008", "000,未使用,,1,,0", "001,水圧,cm,0.01,水圧,80",
                           "002, 流速Ｘ ,cm/s,0.1,,80", "004,超音波水位,cm,0.01,,C0", "005,方位,deg,0.1,,80"}),
              Status::Ok);
    const ChannelTypes t = channelTypesFrom(table);
    ASSERT_EQ(t.names.size(), 9u);
    EXPECT_EQ(t.names[1], "水圧");
    EXPECT_EQ(t.names[2], "流速Ｘ");
    EXPECT_EQ(t.names[3], "");
    EXPECT_EQ(t.slotFor(0), 0);
    EXPECT_EQ(t.slotFor(1), 0x81);
    EXPECT_EQ(t.slotFor(4), 0xC4);
    EXPECT_EQ(t.slotFor(3), 3);    // no addend given
    EXPECT_EQ(t.slotFor(99), 0);   // outside the list
    EXPECT_EQ(ChannelTypes::positionFor(0x85), 5);
    EXPECT_EQ(ChannelTypes::positionFor(0x05), -1);
    EXPECT_EQ(loadChannelTypes("/nonexistent/tolvf.org").status, Status::NotFound);
}

TEST(ResultListLayout, MeasurementNumberField)
{
    Settings s;
    s.set(165, 1, "013014006015");
    const ResultListLayout l = resultListLayoutFrom(s);
    EXPECT_EQ(l.status, Status::Ok);
    EXPECT_EQ(l.numberField, 2);
    EXPECT_EQ(l.codes.size(), 4u);
    Settings empty;
    EXPECT_EQ(resultListLayoutFrom(empty).status, Status::DataFormat);
}
