// Automatic collection: the clock check of every Timer1 tick, the next
// time, the code it sends and the alignment at start-up.
#include "brenlo24/link/autocollect.h"
#include "brenlo24/link/commsettings.h"

#include <gtest/gtest.h>

using namespace varenta;

namespace {

DateTime at(int h, int m, int s, int day = 6) { return DateTime{2026, 5, day, h, m, s, 0}; }

// Runs the check every 300 ms from `from` for `seconds` and counts firings.
int firingsOver(AutoCollectSchedule& s, DateTime from, int seconds, std::uint32_t flags)
{
    int n = 0;
    for (int ms = 0; ms < seconds * 1000; ms += 300) {
        DateTime t = addMinutes(from, 0);
        const int sec = from.second + ms / 1000;
        t = addMinutes(t, sec / 60);
        t.second = sec % 60;
        if (autoCollectCheck(s, t, flags, true, false, -1).send)
            ++n;
    }
    return n;
}

}  // namespace

TEST(AutoCollect, FiresAtTheScheduledMinuteWithCollectCode)
{
    AutoCollectSchedule s{14, 5, 60};
    EXPECT_FALSE(autoCollectCheck(s, at(14, 4, 59), 0, true, false, -1).due);
    const AutoCollectTick t = autoCollectCheck(s, at(14, 5, 0), 0, true, false, -1);
    EXPECT_TRUE(t.due);
    EXPECT_TRUE(t.send);
    EXPECT_EQ(t.code, "54");
    EXPECT_EQ(t.firstNumber, -1);
    EXPECT_EQ(t.lastNumber, 0);
    EXPECT_EQ(s.hour, 15);
    EXPECT_EQ(s.minute, 5);
    // the rest of the minute does nothing more
    EXPECT_FALSE(autoCollectCheck(s, at(14, 5, 0), 0, true, false, -1).due);
    EXPECT_FALSE(autoCollectCheck(s, at(14, 5, 40), 0, true, false, -1).due);
}

TEST(AutoCollect, NextTimeAndCodes)
{
    struct Case {
        int hour, minute, interval;
        std::uint32_t flags;
        bool enabled, results;
        int first;
        bool send;
        const char* code;
        int nextHour, nextMinute;
    } cases[] = {
        {23, 50, 20, 0, true, false, -1, true, "54", 0, 10},     // over midnight
        {23, 30, 360, 0, true, false, -1, true, "54", 5, 30},
        {10, 0, 1, 0, true, false, -1, true, "54", 10, 1},
        {10, 0, 60, 0x10, true, false, -1, true, "D4", 11, 0},   // bit 7 set
        {10, 0, 60, 0, true, true, -1, true, "16", 11, 0},       // result file
        {10, 0, 60, 0x10, true, true, -1, true, "96", 11, 0},
        {10, 0, 60, 0x3, true, false, -3, true, "54", 11, 0},    // first number from the flags
        {10, 0, 60, 0, false, false, -1, false, "", 11, 0},      // box off: the time still moves
    };
    for (const Case& c : cases) {
        AutoCollectSchedule s{c.hour, c.minute, c.interval};
        const AutoCollectTick t = autoCollectCheck(s, at(c.hour, c.minute, 1), c.flags, c.enabled, c.results, c.first);
        EXPECT_TRUE(t.due) << c.hour << ":" << c.minute;
        EXPECT_EQ(t.send, c.send) << c.hour << ":" << c.minute;
        EXPECT_EQ(t.code, c.code) << c.hour << ":" << c.minute;
        if (c.send) {
            EXPECT_EQ(t.firstNumber, c.first);
            EXPECT_EQ(t.lastNumber, 0);
        }
        EXPECT_EQ(s.hour, c.nextHour) << c.hour << ":" << c.minute;
        EXPECT_EQ(s.minute, c.nextMinute) << c.hour << ":" << c.minute;
    }
    EXPECT_EQ(autoFirstNumberFor(0x3), -3);
    EXPECT_EQ(autoFirstNumberFor(0x100), -1);
}

TEST(AutoCollect, SecondFifteenAndTheOneDaySchedule)
{
    // flag 0x400: only in second 15 of the minute
    AutoCollectSchedule s{8, 0, 30};
    EXPECT_FALSE(autoCollectCheck(s, at(8, 0, 0), 0x400, true, false, -1).due);
    EXPECT_FALSE(autoCollectCheck(s, at(8, 0, 14), 0x400, true, false, -1).due);
    EXPECT_TRUE(autoCollectCheck(s, at(8, 0, 15), 0x400, true, false, -1).send);
    EXPECT_EQ(s.minute, 30);

    // 1440 minutes: the time stays, the collection runs once in the first
    // five seconds of the minute, again the next day.
    AutoCollectSchedule d{6, 0, 1440};
    EXPECT_EQ(firingsOver(d, at(5, 59, 50), 80, 0), 1);
    EXPECT_EQ(d.hour, 6);
    EXPECT_EQ(d.minute, 0);
    AutoCollectSchedule late{6, 0, 1440};
    EXPECT_FALSE(autoCollectCheck(late, at(6, 0, 5), 0, true, false, -1).due);  // past its window
    AutoCollectSchedule nextDay{6, 0, 1440};
    EXPECT_EQ(firingsOver(nextDay, at(6, 0, 0), 10, 0), 1);
    EXPECT_EQ(firingsOver(nextDay, at(6, 0, 0, 7), 10, 0), 1);
    // With flag 0x400 a one-day schedule fires once, in second 15.
    AutoCollectSchedule d15{6, 0, 1440};
    EXPECT_EQ(firingsOver(d15, at(6, 0, 0), 60, 0x400), 1);

    // Every minute for ten minutes: ten firings.
    AutoCollectSchedule m{12, 0, 1};
    EXPECT_EQ(firingsOver(m, at(12, 0, 0), 600, 0), 10);
}

TEST(AutoCollect, AlignmentAtStartUp)
{
    struct Case {
        int hour, minute, interval;
        DateTime now;
        int want;
    } cases[] = {
        {6, 30, 60, at(9, 45, 0), 10 * 60 + 30},
        {6, 30, 60, at(9, 30, 0), 10 * 60 + 30},   // at the slot: the next one
        {6, 30, 60, at(9, 29, 59), 9 * 60 + 30},
        {0, 11, 60, at(0, 0, 0), 11},
        {14, 7, 1, at(14, 7, 20), 14 * 60 + 8},     // every minute: the next whole minute
        {0, 10, 20, at(23, 50, 0), 24 * 60 + 10},  // shown as 0:10
        {0, 0, 20, at(23, 50, 0), 24 * 60},        // shown as 0:00
    };
    for (const Case& c : cases) {
        const int next = alignedCollectionMinutes(c.hour, c.minute, c.interval, c.now);
        EXPECT_EQ(next, c.want) << c.hour << ":" << c.minute << "/" << c.interval;
    }
    const int wrapped = alignedCollectionMinutes(0, 10, 20, at(23, 50, 0));
    EXPECT_EQ((wrapped / 60) % 24, 0);
    EXPECT_EQ(wrapped % 60, 10);
}
