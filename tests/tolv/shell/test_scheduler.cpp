// The scheduler tick, the lane channel step and the zoom commands.
#include "tolv/shell/scheduler.h"
#include "tolv/shell/viewsettings.h"

#include <gtest/gtest.h>

using namespace varenta;

namespace {
DateTime at(int h, int m, int s)
{
    DateTime t;
    t.year = 2024;
    t.month = 3;
    t.day = 1;
    t.hour = h;
    t.minute = m;
    t.second = s;
    return t;
}
}  // namespace

TEST(Scheduler, DailyDownloadFiresOnceInSecondZeroAndKeepsItsTime)
{
    Settings s;
    s.set(83, 5, "1440");
    s.set(83, 6, "6");
    s.set(83, 7, "30");
    int runs = 0;
    SchedulerMemory mem;
    SchedulerJobs jobs;
    jobs.download = [&] { ++runs; };
    for (int sec = 0; sec < 60; ++sec)
        for (int tick = 0; tick < 3; ++tick)
            schedulerTick(s, 0x20, at(6, 30, sec), jobs, mem);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(s.integer(83, 6), 6);
    EXPECT_EQ(s.integer(83, 7), 30);
    // The next day it fires again.
    DateTime tomorrow = at(6, 30, 0);
    tomorrow.day = 2;
    schedulerTick(s, 0x20, tomorrow, jobs, mem);
    EXPECT_EQ(runs, 2);
    // Switched off: not due even at the time.
    Settings off = s;
    EXPECT_FALSE(schedulerTick(off, 0x08, at(6, 30, 0), jobs, mem).download);
}

TEST(Scheduler, NinetyMinutesFrom2330MovesTo0100)
{
    Settings s;
    s.set(66, 5, "90");
    s.set(66, 6, "23");
    s.set(66, 7, "30");
    std::vector<std::string> status;
    SchedulerMemory mem;
    int tables = 0, graphs = 0, printer = -1;
    SchedulerJobs jobs;
    jobs.printTable = [&](int p) {
        ++tables;
        printer = p;
    };
    jobs.printGraph = [&] { ++graphs; };
    jobs.status = [&](const std::string& t) { status.push_back(t); };
    s.set(68, 5, "2");
    const TickResult r = schedulerTick(s, 0x02 | 0x04, at(23, 30, 12), jobs, mem);
    EXPECT_TRUE(r.printTable && r.printGraph);
    EXPECT_EQ(tables, 1);
    EXPECT_EQ(graphs, 1);
    EXPECT_EQ(printer, 2);
    EXPECT_EQ(s.integer(66, 6), 1);
    EXPECT_EQ(s.integer(66, 7), 0);
    const std::vector<std::string> want = {kPrintingText, kPrintingText, ""};
    EXPECT_EQ(status, want);
    // Next tick in the same minute: no longer due.
    EXPECT_FALSE(schedulerTick(s, 0x06, at(23, 30, 13), jobs, mem).printTable);
}

TEST(Scheduler, ProcessingOnlyInItsSecondWithTheRememberedFile)
{
    Settings s;
    s.set(67, 5, "15");
    s.set(67, 6, "10");
    s.set(67, 7, "0");
    s.set(68, 4, "60");
    s.set(98, 0, " /data/NR012M.H10 ");
    std::string path;
    int moved = 0;
    SchedulerMemory mem;
    SchedulerJobs jobs;
    jobs.processing = [&](const std::string& p) { path = p; };
    jobs.schedulesMoved = [&] { ++moved; };
    EXPECT_FALSE(schedulerTick(s, 0x08, at(10, 0, 14), jobs, mem).processing);
    EXPECT_EQ(s.integer(67, 6), 10);
    EXPECT_TRUE(schedulerTick(s, 0x08, at(10, 0, 15), jobs, mem).processing);
    EXPECT_EQ(path, "/data/NR012M.H10");
    EXPECT_EQ(s.integer(67, 6), 11);
    EXPECT_EQ(moved, 1);
    // A missing job: the schedule moves on all the same.
    SchedulerJobs none;
    s.set(67, 6, "11");
    EXPECT_TRUE(schedulerTick(s, 0x08, at(11, 0, 15), none, mem).processing);
    EXPECT_EQ(s.integer(67, 6), 12);
}

TEST(ViewSettings, LaneChannelStepWraps)
{
    Settings s;
    s.set(170, 0, "1");
    s.set(171, 0, "0");
    s.set(172, 0, "1");
    s.set(173, 0, " 1 ");
    std::array<int, 8> lanes = {0, 1, 2, 3, 4, 5, 6, 7};
    ASSERT_TRUE(stepLaneChannels(s, lanes, 3, +1));
    EXPECT_EQ(lanes[0], 1);
    EXPECT_EQ(lanes[1], 1);  // switched off: unchanged
    EXPECT_EQ(lanes[2], 0);  // 2 + 1 wraps to 0
    EXPECT_EQ(lanes[3], 0);  // 3 is beyond the count: wraps to 0
    EXPECT_EQ(s.value(178, 2), "0");
    ASSERT_TRUE(stepLaneChannels(s, lanes, 3, -1));
    EXPECT_EQ(lanes[0], 0);
    EXPECT_EQ(lanes[2], 2);  // below 0 wraps to count - 1
    EXPECT_EQ(s.value(178, 0), "0");
    EXPECT_EQ(s.value(178, 2), "2");
    std::array<int, 8> before = lanes;
    EXPECT_FALSE(stepLaneChannels(s, lanes, 0, +1));
    EXPECT_EQ(lanes, before);
}

TEST(ViewSettings, ZoomStepPicksNeighbours)
{
    const std::vector<double> list = {60, 0.5, 10, 1, 30, 5, 20};
    struct Case {
        double cur;
        bool in;
        std::optional<double> want;
    } cases[] = {{10, true, 5}, {10, false, 20}, {7, true, 5}, {7, false, 10},
                 {0.5, true, std::nullopt}, {60, false, std::nullopt}, {100, true, 60}, {0, false, 0.5}};
    for (const Case& c : cases)
        EXPECT_EQ(zoomStep(list, c.cur, c.in), c.want) << c.cur << (c.in ? " in" : " out");
    EXPECT_EQ(decimalText(0.5), "0.5");
    EXPECT_EQ(decimalText(20), "20");
    EXPECT_EQ(decimalText(-0.0), "0");
}

TEST(ViewSettings, TimeAxisZoom)
{
    Settings s;
    s.set(65, 4, " 0.5   1   2   5  10  20  30  60");
    s.set(79, 0, "10");
    EXPECT_TRUE(zoomTimeAxis(s, 1, true));
    EXPECT_EQ(s.value(79, 0), "5");
    EXPECT_TRUE(zoomTimeAxis(s, 1, false));
    EXPECT_TRUE(zoomTimeAxis(s, 1, false));
    EXPECT_EQ(s.value(79, 0), "20");
    s.set(79, 0, "0.5");
    EXPECT_FALSE(zoomTimeAxis(s, 1, true));
    EXPECT_EQ(s.value(79, 0), "0.5");

    s.set(65, 3, "0.12   1   3   7  14  30");
    s.set(65, 5, "   6   4   6   7   7   6");
    s.set(78, 0, "7");
    s.set(78, 2, "7");
    EXPECT_TRUE(zoomTimeAxis(s, 3, true));
    EXPECT_EQ(s.value(78, 0), "3");
    EXPECT_EQ(s.value(78, 2), "6");
    EXPECT_TRUE(zoomTimeAxis(s, 3, true));
    EXPECT_EQ(s.value(78, 0), "1");
    EXPECT_EQ(s.value(78, 2), "4");
    EXPECT_FALSE(zoomTimeAxis(s, 4, true));
}

TEST(ViewSettings, ValueAxisZoomRawChangesLanesOneToFourOnly)
{
    Settings s;
    s.set(65, 2, "  10  20  50 100 200 500");
    for (int lane = 0; lane < 8; ++lane)
        s.set(170 + lane, 1, "100");
    std::uint32_t autoWord = 0x400 | 0x200 | 0x08;
    EXPECT_TRUE(zoomValueAxis(s, autoWord, 1, true, 1));
    EXPECT_EQ(autoWord, 0x08u);
    for (int lane = 0; lane < 4; ++lane)
        EXPECT_EQ(s.value(170 + lane, 1), "50") << lane;
    for (int lane = 4; lane < 8; ++lane)
        EXPECT_EQ(s.value(170 + lane, 1), "100") << lane;
    EXPECT_TRUE(zoomValueAxis(s, autoWord, 1, false, 1));
    EXPECT_EQ(s.value(170, 1), "100");
}

TEST(ViewSettings, ValueAxisZoomResultsUsesListFromEighthEntry)
{
    Settings s;
    // Entries of 5 characters; the first seven are not used by the zoom.
    s.set(65, 1, "  0.1  0.2  0.3  0.4  0.5  0.6  0.7    1    2    5   10   20");
    s.set(73, 2, "5");
    std::uint32_t autoWord = 0x8000 | 0x20;
    EXPECT_TRUE(zoomValueAxis(s, autoWord, 3, true, 3));
    EXPECT_EQ(autoWord, 0x20u);
    EXPECT_EQ(s.value(73, 2), "2");
    EXPECT_TRUE(zoomValueAxis(s, autoWord, 3, true, 3));
    EXPECT_EQ(s.value(73, 2), "1");
    EXPECT_FALSE(zoomValueAxis(s, autoWord, 3, true, 3));  // 0.7 is not offered
    EXPECT_EQ(s.value(73, 2), "1");
}
