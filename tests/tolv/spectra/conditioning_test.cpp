#include "tolv/spectra/conditioning.h"

#include "common/numeric.h"
#include "tolv/spectra/seastate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

namespace varenta {
namespace {

constexpr float M = kMissingValue;
constexpr std::int16_t MC = kMissingSample;

std::vector<float> wave(int n, double dt, double period, double amp, double offset = 0.0, double phase = 0.0)
{
    std::vector<float> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] =
            static_cast<float>(offset + amp * std::sin(2 * M_PI * i * dt / period + phase));
    return v;
}

TEST(Calibration, SignsOfTheCurrentComponents)
{
    struct Case {
        int kind;
        std::uint8_t condition;
        bool transform;
        bool negate;
    };
    for (const Case c : {Case{kCurrentXKind, 0x20, false, true}, Case{kCurrentXKind, 0xA0, false, false},
                         Case{kCurrentYKind, 0xA0, false, true}, Case{kCurrentYKind, 0x20, false, true},
                         Case{kCurrentYKind, 0x80, false, false}, Case{kCurrentXKind, 0x20, true, false},
                         Case{kCurrentYKind, 0x20, true, false}, Case{1, 0x20, false, false}})
        EXPECT_EQ(negateChannel(c.kind, c.condition, c.transform), c.negate)
            << c.kind << " " << int(c.condition) << " " << c.transform;
}

TEST(Calibration, FactorMissingSamplesAndMean)
{
    const std::vector<std::int16_t> raw{MC, MC, 10, MC, 20, MC, -6};
    std::vector<float> x(raw.size() + 1, 123.0f);  // one spare element
    ChannelStats st;
    CalibrateChannel(raw, 0.5f, false, x, st);
    const std::vector<float> expect{M, M, 5, 5, 10, 10, -3, 123.0f};
    EXPECT_EQ(x, expect);
    EXPECT_FLOAT_EQ(st.mean, 4.0f);
    EXPECT_EQ(st.missing, 4);

    CalibrateChannel(raw, 0.5f, true, x, st);
    EXPECT_EQ(x[2], -5.0f);
    EXPECT_EQ(x[3], -5.0f);
    EXPECT_EQ(x[0], M);
    EXPECT_FLOAT_EQ(st.mean, -4.0f);
}

TEST(SpikeFilter, FarValuesAreRemovedBeforeAnyWaveTest)
{
    for (float far : {1250.0f, -1200.0f, 3000.0f}) {
        auto x = wave(480, 0.5, 8.0, 50.0);
        const auto orig = x;
        x[100] = far;
        ChannelStats st;
        st.mean = 0.0f;
        SpikeSettings set;
        set.level = 30;
        set.steepness = 1;
        SpikePass diag;
        EXPECT_EQ(SpikeFilter(x, 0.5f, set, st, &diag), 1) << far;
        EXPECT_EQ(x[100], M);
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (i != 100) {
                ASSERT_EQ(x[i], orig[i]) << i;
            }
        }
        // The waves around it were judged without it: all accepted.
        EXPECT_GE(diag.accepted, 7);
    }
}

TEST(SpikeFilter, TheFirstWaveIsAlwaysAccepted)
{
    // -150 cos: the first up-crossing (after a quarter period) ends a very
    // steep "wave"; with s = 0.1 the next full wave is steep too.
    const double dt = 0.1, period = 4.0;
    SpikeSettings set;
    set.level = 30;
    set.steepness = 0.1f;
    auto make = [&](int n) {
        std::vector<float> v(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            v[static_cast<std::size_t>(i)] = static_cast<float>(-150 * std::cos(2 * M_PI * i * dt / period));
        return v;
    };
    {
        auto x = make(45);  // one up-crossing only
        const auto orig = x;
        ChannelStats st;
        SpikePass diag;
        EXPECT_EQ(SpikeFilter(x, static_cast<float>(dt), set, st, &diag), 0);
        EXPECT_EQ(diag.accepted, 1);
        EXPECT_EQ(x, orig);
    }
    {
        auto x = make(60);  // a second, full wave that is rejected
        ChannelStats st;
        SpikePass diag;
        const int removed = SpikeFilter(x, static_cast<float>(dt), set, st, &diag);
        EXPECT_EQ(diag.accepted, 1);
        EXPECT_GE(removed, 40);
        for (int k = 10; k <= 49; ++k)
            EXPECT_EQ(x[static_cast<std::size_t>(k)], M) << k;
    }
}

TEST(SpikeFilter, NoWavesMeansSixSecondWavesForTheJumpLimits)
{
    const float dt = 0.5f;
    auto x = wave(240, dt, 10.0, 100.0);
    ChannelStats st;
    st.mean = -500.0f;  // every value stays above the band: no crossing
    SpikeSettings set;
    set.level = 30;
    set.steepness = 1;
    SpikePass diag;
    EXPECT_EQ(SpikeFilter(x, dt, set, st, &diag), 0);
    EXPECT_EQ(diag.accepted, 0);
    EXPECT_EQ(diag.d, 6.0f);
    double s = 0, sq = 0;
    int cnt = 0;
    for (std::size_t i = 0; i < x.size(); i += 2) {
        s += x[i];
        sq += double(x[i]) * x[i];
        ++cnt;
    }
    const double mean = s / cnt, sd = std::sqrt(sq / cnt - mean * mean);
    EXPECT_NEAR(st.mean, mean, 1e-3);
    EXPECT_NEAR(diag.sd, sd, 1e-3);
    EXPECT_NEAR(diag.jumpLimit, sd / 6 * 30 * dt, 1e-3);
    EXPECT_NEAR(diag.returnLimit, sd / 6 * 6 * dt, 1e-3);
}

TEST(SpikeFilter, JumpLimitsHaveAFloor)
{
    auto x = wave(240, 0.5, 10.0, 3.0);  // tiny record: sd about 2 cm
    ChannelStats st;
    SpikeSettings set;
    set.level = 10;
    SpikePass diag;
    SpikeFilter(x, 0.5f, set, st, &diag);
    EXPECT_EQ(diag.jumpLimit, 15.0f);
    EXPECT_EQ(diag.returnLimit, 5.0f);
}

TEST(SpikeFilter, PassesStopOnceNothingIsRemoved)
{
    auto x = wave(480, 0.5, 8.0, 50.0);
    x[200] = 1500.0f;
    ChannelStats st;
    SpikeSettings set;
    set.level = 30;
    set.steepness = 1;
    set.passes = 5;
    EXPECT_EQ(SpikeFilterPasses(x, 0.5f, set, st), 1);
    EXPECT_EQ(st.missing, 1);
    // A sample already missing is not removed, nor counted, again.
    EXPECT_EQ(SpikeFilter(x, 0.5f, set, st), 0);
}

TEST(SpikeFilter, GeneratedSeaCleanAndWithSpikes)
{
    for (unsigned seed : {1u, 2u, 3u}) {
        testsea::Sea sea;
        sea.hs = 2.0;
        sea.tp = 10.0;
        sea.depth = 15.0;
        sea.seed = seed;
        const auto r = testsea::makeSea(sea, 2400, 0.5);
        SpikeSettings set;
        set.level = 30;
        set.steepness = 1;
        set.passes = 3;

        auto clean = r.eta;
        ChannelStats st;
        EXPECT_EQ(SpikeFilterPasses(clean, 0.5f, set, st), 0) << seed;
        EXPECT_EQ(clean, r.eta);

        auto spiked = r.eta;
        const std::vector<int> at{150, 777, 1500, 2222};
        for (int k : at)
            spiked[static_cast<std::size_t>(k)] += (k % 2 ? 450.0f : -450.0f);
        ChannelStats st2;
        const int removed = SpikeFilterPasses(spiked, 0.5f, set, st2);
        for (int k : at)
            EXPECT_EQ(spiked[static_cast<std::size_t>(k)], M) << "seed " << seed << " at " << k;
        EXPECT_LE(removed, static_cast<int>(at.size()) * 12) << seed;
        // What remains is the record itself.
        for (std::size_t i = 0; i < spiked.size(); ++i) {
            if (spiked[i] != M) {
                ASSERT_EQ(spiked[i], r.eta[i]) << i;
            }
        }
    }
}

class TrendPerInterval : public ::testing::TestWithParam<float> {};

TEST_P(TrendPerInterval, RampRemovedCompletelyIncludingSampleZero)
{
    const float dt = GetParam();
    const int n = static_cast<int>(std::lround(600 / dt));
    std::vector<float> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] = 1000.0f + 0.5f * static_cast<float>(i) * dt;
    ChannelStats st;
    st.mean = 1150.0f;
    RemoveTrend(x, dt, st);
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR(x[static_cast<std::size_t>(i)], 0.0f, 2e-3f) << "dt " << dt << " i " << i;
    EXPECT_NEAR(st.trend.intercept, 1000.0f, 1e-3f);
    EXPECT_NEAR(st.trend.slope, 0.5f, 1e-5f);
    EXPECT_NEAR(st.trend.halfRange, 0.5f * (n - 1) * dt / 2, 1e-3f);
    EXPECT_NEAR(st.mean, 1000.0f + 0.5f * n * dt / 2, 1e-2f);
    EXPECT_EQ(st.missing, 0);
}

INSTANTIATE_TEST_SUITE_P(Intervals, TrendPerInterval, ::testing::Values(1.0f, 0.5f, 0.2f, 0.1f));

TEST(Trend, PressureRecordStartsWithoutAStep)
{
    auto x = wave(2400, 0.5, 8.0, 40.0, 1000.0, 0.7);
    ChannelStats st;
    st.mean = 1000.0f;
    RemoveTrend(x, 0.5f, st);
    EXPECT_NEAR(x[0], 40.0 * std::sin(0.7), 1.5);
    EXPECT_NEAR(x[1], 40.0 * std::sin(2 * M_PI * 0.5 / 8 + 0.7), 1.5);
    EXPECT_NEAR(st.mean, 1000.0f, 1.0f);
}

TEST(Trend, GapsAreFilledLinearlyAndEndsWithZero)
{
    auto x = wave(600, 1.0, 12.0, 30.0, 500.0);
    x[0] = M;
    for (int k = 50; k < 60; ++k)
        x[static_cast<std::size_t>(k)] = M;
    for (int k = 590; k < 600; ++k)
        x[static_cast<std::size_t>(k)] = M;
    ChannelStats st;
    st.mean = 500.0f;
    RemoveTrend(x, 1.0f, st);
    EXPECT_EQ(st.missing, 21);
    EXPECT_EQ(x[0], 0.0f);
    const float a = x[49], b = x[60];
    for (int k = 50; k < 60; ++k)
        EXPECT_NEAR(x[static_cast<std::size_t>(k)], a + (b - a) * (k - 49) / 11.0f, 1e-3f) << k;
    for (int k = 590; k < 600; ++k)
        EXPECT_EQ(x[static_cast<std::size_t>(k)], 0.0f);
    for (float v : x)
        EXPECT_NE(v, M);
    // Range of the values before correction: 470 .. 530.
    EXPECT_NEAR(st.trend.halfRange, 30.0f, 0.5f);
}

TEST(LongPeriod, LimitTexts)
{
    EXPECT_EQ(shortPeriodLimit("0"), 0.00001f);
    EXPECT_EQ(shortPeriodLimit(""), 0.00001f);
    EXPECT_EQ(shortPeriodLimit("-4"), 0.00001f);
    EXPECT_EQ(shortPeriodLimit("abc"), 0.00001f);
    EXPECT_EQ(shortPeriodLimit(" 30 "), 30.0f);
    EXPECT_EQ(longPeriodLimit("0"), 100000.0f);
    EXPECT_EQ(longPeriodLimit(""), 100000.0f);
    EXPECT_EQ(longPeriodLimit("300"), 300.0f);
    EXPECT_EQ(longPeriodLimit("12.5"), 12.5f);
}

TEST(LongPeriod, NoLimitsLeaveTheRecordButForTheEdgeHold)
{
    struct Case {
        float dt;
        int n;
        int e;
    };
    for (const Case c : {Case{0.5f, 2400, 4}, Case{1.0f, 1200, 2}, Case{0.2f, 6000, 12}, Case{0.1f, 12000, 24}}) {
        auto x = wave(c.n, c.dt, 9.0, 60.0, 3.0);
        const auto orig = x;
        ASSERT_EQ(LongPeriodFilter(x, c.dt, shortPeriodLimit("0"), longPeriodLimit("0")), Status::Ok);
        for (int i = c.e; i < c.n - c.e - 1; ++i)
            ASSERT_NEAR(x[static_cast<std::size_t>(i)], orig[static_cast<std::size_t>(i)], 1e-3f) << i;
        for (int i = 0; i <= c.e; ++i)
            EXPECT_EQ(x[static_cast<std::size_t>(i)], x[static_cast<std::size_t>(c.e)]) << i;
        for (int i = c.n - c.e - 1; i < c.n; ++i)
            EXPECT_EQ(x[static_cast<std::size_t>(i)], x[static_cast<std::size_t>(c.n - c.e - 2)]) << i;
        EXPECT_NE(x[static_cast<std::size_t>(c.e + 1)], x[static_cast<std::size_t>(c.e)]);
    }
}

TEST(LongPeriod, KeepsTheBandBetweenTheLimits)
{
    const float dt = 0.5f;
    const int n = 2400;
    const auto longWave = wave(n, dt, 120.0, 30.0);
    const auto swell = wave(n, dt, 8.0, 50.0, 0.0, 1.0);
    std::vector<float> x(n);
    for (int i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] = longWave[static_cast<std::size_t>(i)] + swell[static_cast<std::size_t>(i)];
    ASSERT_EQ(LongPeriodFilter(x, dt, 30.0f, 600.0f), Status::Ok);
    double err = 0;
    int cnt = 0;
    for (int i = n / 4; i < 3 * n / 4; ++i, ++cnt) {
        const double d = x[static_cast<std::size_t>(i)] - longWave[static_cast<std::size_t>(i)];
        err += d * d;
    }
    // The swell is gone, the long wave is kept.
    EXPECT_LT(std::sqrt(err / cnt), 3.0);
}

TEST(LongPeriod, RefusesWhatItCannotFilter)
{
    std::vector<float> x{1, 2, 3, 4};
    const auto orig = x;
    EXPECT_EQ(LongPeriodFilter(x, 0.0f, 1.0f, 10.0f), Status::DataFormat);
    EXPECT_EQ(LongPeriodFilter(x, 0.5f, 0.0f, 10.0f), Status::DataFormat);
    std::vector<float> one{5};
    EXPECT_EQ(LongPeriodFilter(one, 0.5f, 1.0f, 10.0f), Status::DataFormat);
    EXPECT_EQ(x, orig);
}

TEST(WriteBack, CountsSaturateAndNeverBecomeTheMarker)
{
    struct Case {
        float x;
        std::int16_t raw;
    };
    const float f = 2.0f;
    std::vector<Case> cases{{80000.0f, 32767},   // 40000 counts: no wrap to -25536
                            {-80000.0f, -32767}, {-65536.0f, -32767}, {65534.0f, 32767},
                            {5.0f, 2},           // 2.5: ties to even
                            {7.0f, 4},           {-7.0f, -4}, {M, MC}, {100.4f, 50}};
    std::vector<float> x;
    for (const auto& c : cases)
        x.push_back(c.x);
    std::vector<std::int16_t> raw(x.size(), 9);
    WriteBackCounts(x, f, raw);
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(raw[i], cases[i].raw) << cases[i].x;

    std::vector<std::int16_t> kept(x.size(), 9);
    WriteBackCounts(x, 0.0f, kept);  // no factor: nothing written
    for (auto v : kept)
        EXPECT_EQ(v, 9);
}

struct TwoChannels {
    std::vector<std::int16_t> raw0, raw1;
    std::vector<float> x0, x1;
    std::vector<RecordChannel> channels;
};

TwoChannels makeRecord(int n, float dt)
{
    TwoChannels r;
    const auto p = wave(n, dt, 8.0, 40.0, 1000.0);
    const auto u = wave(n, dt, 8.0, 30.0, 5.0, 0.4);
    for (int i = 0; i < n; ++i) {
        r.raw0.push_back(static_cast<std::int16_t>(std::lround(p[static_cast<std::size_t>(i)] * 10)));
        r.raw1.push_back(static_cast<std::int16_t>(std::lround(u[static_cast<std::size_t>(i)] * 10)));
    }
    r.raw0[300] = MC;
    r.x0.assign(static_cast<std::size_t>(n) + 1, 0.0f);
    r.x1.assign(static_cast<std::size_t>(n) + 1, 0.0f);
    r.channels.resize(2);
    r.channels[0].raw = r.raw0;
    r.channels[0].x = r.x0;
    r.channels[0].kind = 1;
    r.channels[0].factor = 0.1f;
    r.channels[1].raw = r.raw1;
    r.channels[1].x = r.x1;
    r.channels[1].kind = kCurrentYKind;
    r.channels[1].factor = 0.1f;
    return r;
}

TEST(ConditionRecord, CalibratesFiltersAndRemovesTrends)
{
    const int n = 1200;
    auto r = makeRecord(n, 0.5f);
    r.raw0[500] = 30000;  // 3000 cm: a spike far from the mean
    ConditioningSettings set;
    set.spike.passes = 3;
    set.spike.level = 30;
    set.spike.steepness = 1;
    set.spike.excludeMask = 0x2;  // channel 1 is not spike-filtered
    set.trendMask = 0x1;
    const auto rep = ConditionRecord(r.channels, 0.5f, 0x20, set, true);
    ASSERT_EQ(rep.spikesRemoved.size(), 2u);
    EXPECT_GE(rep.spikesRemoved[0], 1);
    EXPECT_EQ(rep.spikesRemoved[1], 0);
    // Channel 0: trend removed (about the wave alone), the spike and the
    // missing sample filled, the mean of the record kept.
    EXPECT_NEAR(r.channels[0].stats.mean, 1000.0f, 1.0f);
    EXPECT_NEAR(r.x0[0], 0.0f, 1.5f);
    EXPECT_LT(std::fabs(r.x0[500]), 45.0f);
    EXPECT_NE(r.x0[300], M);
    // Channel 1: a current Y channel under bit 5 is negated; no trend removal.
    EXPECT_NEAR(r.x1[10], -0.1f * r.raw1[10], 1e-4f);
    EXPECT_NEAR(r.channels[1].stats.mean, -5.0f, 0.5f);
    // The raw counts are untouched by the conditioning itself.
    EXPECT_EQ(r.raw0[500], 30000);
}

TEST(ApplyLongPeriod, WriteBackOnlyWhenOnOrAsked)
{
    const int n = 1200;
    auto r = makeRecord(n, 0.5f);
    ConditioningSettings set;
    set.trendMask = 0x1;
    ConditionRecord(r.channels, 0.5f, 0, set, false);
    const auto raw0 = r.raw0;
    LongPeriodRequest req;
    ASSERT_EQ(ApplyLongPeriodFilter(r.channels, 0.5f, set, req), Status::Ok);
    EXPECT_EQ(r.raw0, raw0);

    req.writeBack = true;
    ASSERT_EQ(ApplyLongPeriodFilter(r.channels, 0.5f, set, req), Status::Ok);
    // Channel 0 now holds the detrended record in counts.
    for (int i = 0; i < n; i += 37)
        EXPECT_EQ(r.raw0[static_cast<std::size_t>(i)], saturateCount(r.x0[static_cast<std::size_t>(i)] / 0.1))
            << i;
    EXPECT_LT(std::abs(r.raw0[0]), 20);
}

TEST(ApplyLongPeriod, FiltersEachRequestedChannelOnceThenRemovesTrends)
{
    const int n = 1200;
    auto r = makeRecord(n, 0.5f);
    auto twin = makeRecord(n, 0.5f);
    ConditioningSettings set;
    set.trendMask = 0x1;
    set.trendAfterFilterMask = 0x2;
    ConditionRecord(r.channels, 0.5f, 0, set, false);
    ConditionRecord(twin.channels, 0.5f, 0, set, false);

    LongPeriodRequest req;
    req.filterOn = true;
    req.channels = {0, 0, 7};  // slot 1 shows channel 0 again; 7 does not exist
    req.ts = 30.0f;
    req.tl = 600.0f;
    ASSERT_EQ(ApplyLongPeriodFilter(r.channels, 0.5f, set, req), Status::Ok);
    std::vector<float> once(twin.x0.begin(), twin.x0.begin() + n);
    ASSERT_EQ(LongPeriodFilter(once, 0.5f, 30.0f, 600.0f), Status::Ok);
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(r.x0[static_cast<std::size_t>(i)], once[static_cast<std::size_t>(i)]) << i;
    // The 8 s wave of channel 0 is outside the band.
    float peak = 0;
    for (int i = 100; i < n - 100; ++i)
        peak = std::max(peak, std::fabs(r.x0[static_cast<std::size_t>(i)]));
    EXPECT_LT(peak, 2.0f);
    // Channel 1 was not filtered but had its trend removed before write-back.
    EXPECT_NEAR(r.channels[1].stats.mean, 5.0f, 0.5f);
    double mean1 = 0;
    for (int i = 0; i < n; ++i)
        mean1 += r.x1[static_cast<std::size_t>(i)];
    EXPECT_NEAR(mean1 / n, 0.0, 0.5);
    EXPECT_EQ(r.raw1[10], saturateCount(r.x1[10] / 0.1));

    LongPeriodRequest bad = req;
    bad.tl = 0.0f;
    EXPECT_EQ(ApplyLongPeriodFilter(r.channels, 0.5f, set, bad), Status::DataFormat);
}

}  // namespace
}  // namespace varenta
