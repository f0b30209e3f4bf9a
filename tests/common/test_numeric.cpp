// Rounding, shift helpers, sector checksums and the calendar of the clock.
#include "common/clock.h"
#include "common/numeric.h"
#include "common/sector.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

using namespace varenta;

TEST(RoundEven, TiesGoToTheEvenNeighbour)
{
    struct Case {
        double v;
        long long expected;
    };
    const Case cases[] = {
        {0.5, 0},     {1.5, 2},      {2.5, 2},       {3.5, 4},         {-0.5, 0},  {-1.5, -2},
        {-2.5, -2},   {2.4999999, 2}, {2.5000001, 3}, {-2.5000001, -3}, {7.0, 7},   {0.0, 0},
        {1e15 + 0.5, 1000000000000000}, // exactly representable tie, even neighbour below
        {std::nan(""), 0},
        {1e300, LLONG_MAX},
        {-1e300, LLONG_MIN},
        {std::numeric_limits<double>::infinity(), LLONG_MAX},
        {-std::numeric_limits<double>::infinity(), LLONG_MIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(roundEven(c.v), c.expected) << c.v;

    EXPECT_EQ(roundEvenInt(3e9), INT_MAX);
    EXPECT_EQ(roundEvenInt(-3e9), INT_MIN);
    EXPECT_EQ(roundEvenInt(-4.5), -4);
}

TEST(ShiftHelpers, ZeroFillBothWays)
{
    struct Case32 {
        std::int32_t v;
        int bits;
        std::int32_t left;
        std::int32_t right;
    };
    const Case32 cases32[] = {
        {1, 31, INT32_MIN, 0},
        {-1, 4, -16, 0x0FFFFFFF},               // right shift brings in zeros, not the sign
        {INT32_MIN, 31, 0, 1},
        {0x12345678, 8, 0x34567800, 0x00123456},
        {0x12345678, 0, 0x12345678, 0x12345678},
        {-1, 32, 0, 0},
        {-1, 40, 0, 0},
        {-1, 31, INT32_MIN, 1},
    };
    for (const Case32& c : cases32) {
        EXPECT_EQ(ShlX(c.v, c.bits), c.left) << c.v << " << " << c.bits;
        EXPECT_EQ(ShrX(c.v, c.bits), c.right) << c.v << " >> " << c.bits;
    }

    struct Case16 {
        std::int16_t v;
        int bits;
        std::int16_t left;
        std::int16_t right;
    };
    const Case16 cases16[] = {
        {1, 15, INT16_MIN, 0},
        {-1, 12, static_cast<std::int16_t>(0xF000), 0x000F},
        {INT16_MIN, 15, 0, 1},
        {0x0101, 8, 0x0100, 0x0001},
        {0x1234, 4, 0x2340, 0x0123},
        {-1, 16, 0, 0},
        {-1, 20, 0, 0},
        {0x5A5A, 0, 0x5A5A, 0x5A5A},
    };
    for (const Case16& c : cases16) {
        EXPECT_EQ(ShlXI(c.v, c.bits), c.left) << c.v << " << " << c.bits;
        EXPECT_EQ(ShrXI(c.v, c.bits), c.right) << c.v << " >> " << c.bits;
    }
}

TEST(SaturateCount, NeverTheMissingMarker)
{
    struct Case {
        double v;
        std::int16_t expected;
    };
    const Case cases[] = {
        {0.0, 0},           {1.5, 2},           {2.5, 2},        {-2.5, -2},       {32767.4, 32767},
        {32767.5, 32767},   {40000, 32767},     {-32767, -32767}, {-32768, -32767}, {-32767.6, -32767},
        {-1e9, -32767},     {1e300, 32767},     {std::nan(""), 0},
        {-std::numeric_limits<double>::infinity(), -32767},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(saturateCount(c.v), c.expected) << c.v;
        EXPECT_NE(saturateCount(c.v), kMissingSample);
    }
}

TEST(SectorChecksum, FixAndDetect)
{
    std::mt19937 rng(1234);
    for (int round = 0; round < 20; ++round) {
        Sector s{};
        for (auto& b : s)
            b = static_cast<std::uint8_t>(rng());
        s[0] = kSectorMarker;
        fixSectorChecksum(s.data());
        ASSERT_TRUE(sectorSumOk(s.data()));
        EXPECT_EQ(byteSum(s.data(), kSectorSize), 0);
        EXPECT_EQ(sectorChecksumFor(s.data()), s[kChecksumOffset]);

        // The check byte needed does not depend on what byte 3 held.
        Sector t = s;
        t[kChecksumOffset] = static_cast<std::uint8_t>(t[kChecksumOffset] + 77);
        EXPECT_FALSE(sectorSumOk(t.data()));
        EXPECT_EQ(sectorChecksumFor(t.data()), s[kChecksumOffset]);

        // Any byte off by one, up or down, is rejected.
        const std::size_t at = rng() % kSectorSize;
        for (int delta : {1, -1, 255}) {
            Sector u = s;
            u[at] = static_cast<std::uint8_t>(u[at] + delta);
            EXPECT_FALSE(sectorSumOk(u.data())) << "byte " << at << " delta " << delta;
        }
    }
    Sector zero{};
    EXPECT_TRUE(sectorSumOk(zero.data()));
    zero[0] = kSectorMarker;
    EXPECT_FALSE(sectorSumOk(zero.data()));
    fixSectorChecksum(zero.data());
    EXPECT_EQ(zero[kChecksumOffset], 0xA6);  // 0x5A + 0xA6 = 0x100
    EXPECT_TRUE(sectorSumOk(zero.data()));
}

TEST(Calendar, LeapYearsAndMonthLengths)
{
    EXPECT_TRUE(isLeapYear(2024));
    EXPECT_TRUE(isLeapYear(2000));
    EXPECT_FALSE(isLeapYear(2023));
    EXPECT_FALSE(isLeapYear(1900));
    EXPECT_FALSE(isLeapYear(2100));
    const int lengths2023[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m) {
        EXPECT_EQ(daysInMonth(2023, m), lengths2023[m - 1]) << m;
        EXPECT_EQ(daysInMonth(2024, m), m == 2 ? 29 : lengths2023[m - 1]) << m;
    }
    EXPECT_EQ(daysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(daysFromCivil(2000, 3, 1), 11017);
    EXPECT_EQ(daysFromCivil(1969, 12, 31), -1);
}

TEST(Calendar, AddMinutes)
{
    struct Case {
        DateTime from;
        long long minutes;
        DateTime to;
    };
    const Case cases[] = {
        {{2023, 2, 28, 23, 45, 0, 0}, 30, {2023, 3, 1, 0, 15, 0, 0}},
        {{2024, 2, 28, 23, 45, 0, 0}, 30, {2024, 2, 29, 0, 15, 0, 0}},
        {{2024, 2, 29, 23, 59, 0, 0}, 1, {2024, 3, 1, 0, 0, 0, 0}},
        {{2000, 2, 28, 23, 59, 0, 0}, 1, {2000, 2, 29, 0, 0, 0, 0}},
        {{2100, 2, 28, 23, 59, 0, 0}, 1, {2100, 3, 1, 0, 0, 0, 0}},
        {{2023, 12, 31, 23, 50, 0, 0}, 20, {2024, 1, 1, 0, 10, 0, 0}},
        {{2024, 3, 1, 0, 10, 0, 0}, -20, {2024, 2, 29, 23, 50, 0, 0}},
        {{2023, 3, 1, 0, 0, 0, 0}, -1, {2023, 2, 28, 23, 59, 0, 0}},
        {{2024, 1, 1, 0, 0, 0, 0}, -1, {2023, 12, 31, 23, 59, 0, 0}},
        {{2024, 4, 30, 12, 0, 0, 0}, 1440, {2024, 5, 1, 12, 0, 0, 0}},
        {{2024, 1, 31, 12, 0, 0, 0}, 1440LL * 30, {2024, 3, 1, 12, 0, 0, 0}},
        {{2023, 1, 1, 0, 0, 0, 0}, 1440LL * 365, {2024, 1, 1, 0, 0, 0, 0}},
        {{2024, 1, 1, 0, 0, 0, 0}, 1440LL * 365, {2024, 12, 31, 0, 0, 0, 0}},
        {{2024, 6, 15, 9, 45, 37, 250}, 45, {2024, 6, 15, 10, 30, 37, 250}},  // seconds stay
        {{2024, 6, 15, 9, 45, 0, 0}, 0, {2024, 6, 15, 9, 45, 0, 0}},
    };
    for (const Case& c : cases) {
        const DateTime r = addMinutes(c.from, c.minutes);
        const auto text = [](const DateTime& d) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", d.year, d.month, d.day, d.hour,
                          d.minute, d.second, d.millisecond);
            return std::string(buf);
        };
        EXPECT_EQ(text(r), text(c.to)) << text(c.from) << " + " << c.minutes;
    }
}

// Day by day over three centuries, addMinutes agrees with counting through
// the month lengths, forwards and backwards.
TEST(Calendar, AddMinutesWalksEveryDay)
{
    DateTime d{1899, 12, 31, 23, 30, 0, 0};
    for (int step = 0; step < 366 * 301; ++step) {
        DateTime expect = d;
        if (++expect.day > daysInMonth(expect.year, expect.month)) {
            expect.day = 1;
            if (++expect.month > 12) {
                expect.month = 1;
                ++expect.year;
            }
        }
        const DateTime next = addMinutes(d, 1440);
        ASSERT_EQ(next.year, expect.year);
        ASSERT_EQ(next.month, expect.month);
        ASSERT_EQ(next.day, expect.day);
        ASSERT_EQ(next.hour, 23);
        ASSERT_EQ(next.minute, 30);
        const DateTime back = addMinutes(next, -1440);
        ASSERT_EQ(back.year, d.year);
        ASSERT_EQ(back.month, d.month);
        ASSERT_EQ(back.day, d.day);
        d = next;
    }
}

TEST(ManualClock, AdvanceCarriesAcrossMidnight)
{
    ManualClock clock({2024, 2, 28, 23, 59, 59, 500});
    clock.advanceMs(600);
    DateTime t = clock.now();
    EXPECT_EQ(t.month, 2);
    EXPECT_EQ(t.day, 29);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.minute, 0);
    EXPECT_EQ(t.second, 0);
    EXPECT_EQ(t.millisecond, 100);
    EXPECT_EQ(clock.tickMs(), 600);

    clock.advanceMs(-1100);
    t = clock.now();
    EXPECT_EQ(t.day, 28);
    EXPECT_EQ(t.hour, 23);
    EXPECT_EQ(t.minute, 59);
    EXPECT_EQ(t.second, 59);
    EXPECT_EQ(t.millisecond, 0);

    clock.advanceMs(3LL * 24 * 3600 * 1000);  // three days on, across 29 February
    t = clock.now();
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.day, 2);
    EXPECT_EQ(t.hour, 23);
}
