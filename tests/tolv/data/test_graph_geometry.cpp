// Geometry of the raw data graph and the component velocity graph: the time
// window, strips, ticks, captions, the min-max reduction per pixel column,
// the cursor, the component pair and the equal-unit plot area.
#include "tolv/data/graphgeom.h"
#include "tolv/data/rawgraph.h"
#include "tolv/data/velocitygraph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

using namespace varenta;

namespace {

MeasurementHeader header(std::vector<int> codes, int samplesPerChannel, int durationMinutes, float tenths)
{
    MeasurementHeader h;
    h.channels = std::move(codes);
    h.channelCount = static_cast<int>(h.channels.size());
    h.samplesPerChannel = samplesPerChannel;
    h.durationMinutes = durationMinutes;
    h.intervalTenths = tenths;
    h.machineNumber = 12;
    h.dateText = "26/ 5/20";
    h.timeText = "18:00:00";
    return h;
}

RawGraphSettings rows(std::initializer_list<double> fullScales)
{
    RawGraphSettings s;
    int w = 0;
    for (double fs : fullScales) {
        s.rows[static_cast<std::size_t>(w)].shown = true;
        s.rows[static_cast<std::size_t>(w)].fullScale = fs;
        s.rows[static_cast<std::size_t>(w)].colour = 255 * (w + 1);
        ++w;
    }
    s.windowMinutes = 5;
    return s;
}

std::array<int, 8> identity() { return {0, 1, 2, 3, 4, 5, 6, 7}; }

}  // namespace

// ---------------------------------------------------------------------------
// The time window.

struct WindowCase {
    const char* name;
    float tenths;
    int duration;
    long long spc;
    double minutes;
    RawWindowRequest request;
    long long span, start;
    bool seconds;
};

TEST(RawGraphWindow, PositionSpanAndUnit)
{
    const WindowCase cases[] = {
        // 0.5 s sampling: S = 120 samples per minute.
        {"five minutes from the start", 5, 20, 2400, 5, {1}, 600, 0, false},
        {"scroll value snaps to its minute", 5, 20, 2400, 5, {500}, 600, 480, false},
        {"value at a minute's first sample", 5, 20, 2400, 5, {121}, 600, 120, false},
        {"window wider than the burst is capped", 5, 20, 2400, 30, {1}, 2400, 0, false},
        {"capped window never moves", 5, 20, 2400, 30, {1500}, 2400, 0, false},
        {"near the end the start moves back", 5, 20, 2400, 5, {2300}, 600, 1800, false},
        {"last sample", 5, 20, 2400, 5, {2400}, 600, 1800, false},
        {"value 0 counts as 1", 5, 20, 2400, 5, {0}, 600, 0, false},
        {"blank span shows the whole burst", 5, 20, 2400, 0, {1}, 2400, 0, false},
        // 0.1 s sampling: S = 600; half a minute is 300 samples, in seconds.
        {"half a minute in seconds", 1, 20, 12000, 0.5, {1}, 300, 0, true},
        {"half a minute at minute 7", 1, 20, 12000, 0.5, {4201}, 300, 4200, true},
        {"the second half of minute 7", 1, 20, 12000, 0.5, {4531}, 300, 4500, true},
        {"the last half minute", 1, 20, 12000, 0.5, {12000}, 300, 11700, true},
        // 1 s sampling: S = 60.
        {"one-second sampling", 10, 60, 3600, 10, {3000}, 600, 2940, false},
        // A burst cut short: the window fits in what there is.
        {"short burst", 5, 20, 500, 5, {1}, 500, 0, false},
    };
    for (const WindowCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RawWindow w = rawGraphWindow(c.tenths, c.duration, c.spc, c.minutes, c.request);
        EXPECT_EQ(w.span, c.span);
        EXPECT_EQ(w.start, c.start);
        EXPECT_EQ(w.seconds, c.seconds);
        EXPECT_LE(w.start + w.span, c.spc);
        EXPECT_EQ(w.count(c.spc), std::min(c.span, c.spc - c.start));
    }
}

TEST(RawGraphWindow, CursorFollowKeepsTheWindowWhileTheCursorIsInside)
{
    // 0.5 s, 5-minute window drawn from sample 1200.
    RawWindowRequest r;
    r.cursorFollow = true;
    r.previousStart = 1200;
    r.scrollValue = 1;  // ignored in cursor-follow mode
    struct {
        long long cursor, start;
    } cases[] = {{1200, 1200}, {1799, 1200}, {1800, 1800}, {1199, 1080}, {50, 0}, {2399, 1800}};
    for (auto c : cases) {
        r.cursorSample = c.cursor;
        EXPECT_EQ(rawGraphWindow(5, 20, 2400, 5, r).start, c.start) << "cursor " << c.cursor;
    }
    // A half-minute window follows by half minutes.
    r.previousStart = 4200;
    r.cursorSample = 4550;
    EXPECT_EQ(rawGraphWindow(1, 20, 12000, 0.5, r).start, 4500);
    r.cursorSample = 4499;
    EXPECT_EQ(rawGraphWindow(1, 20, 12000, 0.5, r).start, 4200);
    // Without a previous window the cursor's minute is shown.
    r.previousStart = -1;
    r.cursorSample = 1300;
    EXPECT_EQ(rawGraphWindow(5, 20, 2400, 5, r).start, 1200);
}

// ---------------------------------------------------------------------------
// Strips and labels.

TEST(RawGraphLayout, CoordinateSystemStripsAndRatios)
{
    const MeasurementHeader h = header({1, 2, 3, 4}, 2400, 20, 5);
    std::vector<std::vector<float>> v(4, std::vector<float>(2400, 0.0f));
    RawGraphData d;
    d.header = &h;
    d.graphChannel = identity();
    d.values = &v;
    d.unitTexts = {"   (cm) ", " (cm/s) ", " (cm/s) ", "   (cm) "};
    RawGraphSettings s = rows({200, 100, 100, 50});
    const RawWindow w = rawGraphWindow(5, 20, 2400, 5, {1});
    const RawGraphLayout L = layoutRawGraph(d, s, w, 10, 4);

    ASSERT_TRUE(L.drawable);
    const double W = 600, FS = 200, H = 500;
    EXPECT_DOUBLE_EQ(L.view.left, -W / 12);
    EXPECT_DOUBLE_EQ(L.view.right, W + W / 24);
    EXPECT_DOUBLE_EQ(L.view.top, -FS / 2);
    EXPECT_DOUBLE_EQ(L.view.bottom, H * 4 + FS / 2);
    ASSERT_EQ(L.rows.size(), 4u);
    ASSERT_EQ(L.bands.size(), 4u);
    const double ratios[] = {1, 2, 2, 4};
    for (int k = 0; k < 4; ++k) {
        const RawGraphRow& r = L.rows[static_cast<std::size_t>(k)];
        EXPECT_EQ(r.row, k);
        EXPECT_EQ(r.band, k);
        EXPECT_DOUBLE_EQ(r.baseline, H * k + FS);
        EXPECT_DOUBLE_EQ(r.ratio, ratios[k]);
        // Every strip shows plus and minus its own full scale in one height.
        EXPECT_DOUBLE_EQ(r.baseline - r.ratio * r.fullScale, L.bands[static_cast<std::size_t>(k)].top);
        EXPECT_DOUBLE_EQ(r.baseline + r.ratio * r.fullScale, L.bands[static_cast<std::size_t>(k)].bottom);
    }
    EXPECT_EQ(L.rows[0].label, "(cm)");
    EXPECT_EQ(L.rows[1].label, "(cm/s)");
    // Value numbers: the row's full scale at the top, 0 in the middle.
    const auto& t = L.bands[3].valueTicks;
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t[0].label, "50");
    EXPECT_EQ(t[1].label, "");
    EXPECT_EQ(t[2].label, "0");
    EXPECT_EQ(t[4].label, "-50");
}

TEST(RawGraphLayout, RowsWithoutARecordedChannelTakeNoStrip)
{
    // Three channels recorded; row 2 asks for channel 5, row 4 is switched
    // off, row 5 asks for channel -1.
    const MeasurementHeader h = header({1, 2, 3}, 1200, 10, 5);
    std::vector<std::vector<float>> v(3, std::vector<float>(1200, 1.0f));
    RawGraphData d;
    d.header = &h;
    d.graphChannel = {0, 1, 5, 2, 0, -1, 0, 0};
    d.values = &v;
    RawGraphSettings s = rows({100, 100, 100, 100, 100, 100});
    s.rows[4].shown = false;
    const RawGraphLayout L = layoutRawGraph(d, s, rawGraphWindow(5, 10, 1200, 5, {1}), 10, 4);
    ASSERT_EQ(L.rows.size(), 2u + 1u);
    EXPECT_EQ(L.rows[0].row, 0);
    EXPECT_EQ(L.rows[1].row, 1);
    EXPECT_EQ(L.rows[2].row, 3);
    EXPECT_EQ(L.rows[2].channel, 2);
    EXPECT_EQ(L.rows[2].band, 2);  // the third strip, not the fourth
    EXPECT_DOUBLE_EQ(L.rows[2].baseline, 2.5 * 100 * 2 + 100);
    EXPECT_DOUBLE_EQ(L.view.bottom, 2.5 * 100 * 3 + 50);
}

TEST(RawGraphLayout, OverlayLinkedAndAutomaticScales)
{
    const MeasurementHeader h = header({1, 2, 3}, 600, 5, 5);
    std::vector<std::vector<float>> v(3, std::vector<float>(600, 0.0f));
    v[0][10] = 37.0f;
    v[1][20] = -180.0f;
    v[2][599] = 0.4f;
    RawGraphData d;
    d.header = &h;
    d.graphChannel = identity();
    d.values = &v;
    const RawWindow w = rawGraphWindow(5, 5, 600, 5, {1});

    RawGraphSettings s = rows({200, 100, 10});
    s.overlay = true;
    RawGraphLayout L = layoutRawGraph(d, s, w, 10, 4);
    ASSERT_EQ(L.bands.size(), 1u);
    ASSERT_EQ(L.rows.size(), 3u);
    for (const RawGraphRow& r : L.rows) {
        EXPECT_EQ(r.band, 0);
        EXPECT_DOUBLE_EQ(r.baseline, 200);  // FS for every row
    }
    EXPECT_DOUBLE_EQ(L.rows[2].ratio, 20);
    EXPECT_DOUBLE_EQ(L.view.bottom, 2.5 * 200 + 100);

    s.overlay = false;
    s.linked = true;
    L = layoutRawGraph(d, s, w, 10, 4);
    for (const RawGraphRow& r : L.rows)
        EXPECT_DOUBLE_EQ(r.ratio, 1);

    // Automatic: the next step of 1, 2, 2.5, 5 x 10^k above each peak.
    s.linked = false;
    s.autoScale = true;
    L = layoutRawGraph(d, s, w, 10, 4);
    EXPECT_DOUBLE_EQ(L.rows[0].fullScale, 50);
    EXPECT_DOUBLE_EQ(L.rows[1].fullScale, 200);
    EXPECT_DOUBLE_EQ(L.rows[2].fullScale, 0.5);
    EXPECT_DOUBLE_EQ(L.fs, 50);
    EXPECT_DOUBLE_EQ(L.rows[1].ratio, 0.25);
    s.linked = true;
    L = layoutRawGraph(d, s, w, 10, 4);
    for (const RawGraphRow& r : L.rows)
        EXPECT_DOUBLE_EQ(r.fullScale, 200);
}

TEST(RawGraphLayout, TimeAxisNumbersAndCaption)
{
    const MeasurementHeader h = header({1}, 12000, 20, 1);
    std::vector<std::vector<float>> v(1, std::vector<float>(12000, 0.0f));
    RawGraphData d;
    d.header = &h;
    d.graphChannel = identity();
    d.values = &v;
    d.machineNumber = 12;
    d.currentNumber = 345;
    d.dateText = "26/ 5/20";
    d.timeText = "18:00:00";
    RawGraphSettings s = rows({200});
    s.captionPrefix = "沖合";
    s.identify = true;

    // Half a minute at 0.1 s: 300 samples, seconds every 5.
    s.windowMinutes = 0.5;
    RawWindow w = rawGraphWindow(1, 20, 12000, 0.5, {1});
    RawGraphLayout L = layoutRawGraph(d, s, w, 6, 4);
    ASSERT_EQ(L.timeTicks.size(), 7u);
    for (int k = 0; k < 7; ++k) {
        EXPECT_DOUBLE_EQ(L.timeTicks[static_cast<std::size_t>(k)].at, 50.0 * k);
        EXPECT_EQ(L.timeTicks[static_cast<std::size_t>(k)].label, std::to_string(5 * k));
    }
    EXPECT_EQ(L.caption, "沖合 No.12-345 26/ 5/20 18:00   経過時間（秒）");

    // The same half minute at minute 3 counts seconds from the burst's start.
    w = rawGraphWindow(1, 20, 12000, 0.5, {1801});
    L = layoutRawGraph(d, s, w, 6, 4);
    EXPECT_EQ(L.timeTicks.front().label, "180");
    EXPECT_EQ(L.timeTicks.back().label, "210");

    // Five minutes in minutes; the numbers are elapsed minutes.
    s.windowMinutes = 5;
    s.identify = false;
    w = rawGraphWindow(1, 20, 12000, 5, {6001});
    L = layoutRawGraph(d, s, w, 10, 4);
    ASSERT_EQ(L.timeTicks.size(), 6u);
    EXPECT_EQ(L.timeTicks.front().label, "10");
    EXPECT_DOUBLE_EQ(L.timeTicks.front().at, 0);
    EXPECT_EQ(L.timeTicks.back().label, "15");
    EXPECT_DOUBLE_EQ(L.timeTicks.back().at, 3000);
    EXPECT_EQ(L.caption, "沖合   経過時間（分）");

    // Fewer divisions allowed: a coarser step.
    L = layoutRawGraph(d, s, w, 2, 4);
    ASSERT_EQ(L.timeTicks.size(), 2u);
    EXPECT_EQ(L.timeTicks[0].label, "10");
    EXPECT_EQ(L.timeTicks[1].label, "15");

    // A window moved back near the end starts between minutes.
    w = rawGraphWindow(1, 20, 11900, 5, {11900});
    ASSERT_EQ(w.start, 8900);
    L = layoutRawGraph(d, s, w, 10, 4);
    EXPECT_EQ(L.timeTicks.front().label, "15");
    EXPECT_DOUBLE_EQ(L.timeTicks.front().at, 9000 - 8900);
}

TEST(RawGraphSettingsTest, ReadFromTheInitializationItems)
{
    Settings st;
    st.set(170, 0, "1");
    st.set(170, 1, "200");
    st.set(170, 3, "16711680");
    st.set(170, 4, "2");
    st.set(170, 5, "1");
    st.set(171, 0, " 1 ");
    st.set(171, 1, "100");
    st.set(171, 4, "3");
    st.set(171, 5, "0");
    st.set(172, 0, "0");
    st.set(79, 0, "0.5");
    st.set(85, 0, "沖合");
    st.set(85, 3, "1");
    st.set(68, 6, "10");
    st.set(68, 7, "8");
    RawGraphSettings s = readRawGraphSettings(st, 0x100 | 0x400, false);
    EXPECT_TRUE(s.rows[0].shown);
    EXPECT_TRUE(s.rows[1].shown);
    EXPECT_FALSE(s.rows[2].shown);
    EXPECT_DOUBLE_EQ(s.rows[0].fullScale, 200);
    EXPECT_EQ(s.rows[0].colour, 16711680);
    EXPECT_DOUBLE_EQ(s.frame.width, 2);
    EXPECT_EQ(s.frame.style, 1);
    EXPECT_DOUBLE_EQ(s.windowMinutes, 0.5);
    EXPECT_TRUE(s.identify);
    EXPECT_TRUE(s.overlay);
    EXPECT_FALSE(s.linked);
    EXPECT_TRUE(s.autoScale);
    EXPECT_EQ(s.printTimeDivisions, 10);
    EXPECT_EQ(s.printValueDivisions, 8);
    s = readRawGraphSettings(st, 0, true);
    EXPECT_DOUBLE_EQ(s.frame.width, 3);
    EXPECT_EQ(s.frame.style, 0);
    // Bad colour and style text fall back.
    st.set(172, 3, "blue");
    st.set(170, 5, "9");
    s = readRawGraphSettings(st, 0, false);
    EXPECT_EQ(s.rows[2].colour, 0);
    EXPECT_EQ(s.frame.style, 0);
}

// ---------------------------------------------------------------------------
// The reduction to pixel columns.

TEST(ReduceSeries, KeepsEverySampleWhenThereAreFewerThanColumns)
{
    std::vector<float> v = {1, 2, 3, 4, 5};
    const auto runs = plot::reduceSeries(v, 0, 5, 0, 10, 2, 100);
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_EQ(runs[0].size(), 5u);
    EXPECT_FLOAT_EQ(runs[0].x[4], 4);
    EXPECT_FLOAT_EQ(runs[0].y[4], 0);  // 10 - 2 x 5
    EXPECT_EQ(plot::segmentCount(runs), 4u);
}

TEST(ReduceSeries, MissingSamplesEndARun)
{
    std::vector<float> v = {1, 2, -32768.0f, 4, 5, 6, std::nanf(""), 8};
    for (double columns : {100.0, 2.0}) {
        const auto runs = plot::reduceSeries(v, 0, 8, 0, 0, 1, columns);
        ASSERT_EQ(runs.size(), 3u) << columns;
        EXPECT_FLOAT_EQ(runs[0].x.back(), 1);
        EXPECT_FLOAT_EQ(runs[1].x.front(), 3);
        EXPECT_FLOAT_EQ(runs[1].x.back(), 5);
        EXPECT_FLOAT_EQ(runs[2].x.front(), 7);
    }
}

TEST(ReduceSeries, EachColumnKeepsItsSpanInSampleOrder)
{
    std::mt19937 rng(7);
    std::normal_distribution<float> noise(0, 30);
    const long long n = 36000;
    std::vector<float> v(static_cast<std::size_t>(n));
    for (long long i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] = 100 * std::sin(i * 0.01f) + noise(rng);
    v[12345] = 900;  // a spike must survive
    const double columns = 731;
    const long long first = 1000, count = 30000;
    const auto runs = plot::reduceSeries(v, first, count, 0, 500, 0.5, columns);
    ASSERT_EQ(runs.size(), 1u);
    const plot::Run& r = runs[0];
    EXPECT_LE(r.size(), static_cast<std::size_t>(4 * columns + 4));
    EXPECT_GE(r.size(), static_cast<std::size_t>(2 * columns));
    // Sample order, first and last sample kept.
    for (std::size_t i = 1; i < r.size(); ++i)
        ASSERT_LT(r.x[i - 1], r.x[i]);
    EXPECT_FLOAT_EQ(r.x.front(), 0);
    EXPECT_FLOAT_EQ(r.x.back(), count - 1);
    // Per pixel column: the same lowest and highest y as the full series.
    std::map<long long, std::pair<double, double>> full, kept;
    auto col = [&](double x) { return static_cast<long long>(std::floor(x * columns / count)); };
    for (long long k = 0; k < count; ++k) {
        const double y = 500 - 0.5 * v[static_cast<std::size_t>(first + k)];
        auto [it, fresh] = full.try_emplace(col(static_cast<double>(k)), y, y);
        it->second.first = std::min(it->second.first, y);
        it->second.second = std::max(it->second.second, y);
    }
    for (std::size_t i = 0; i < r.size(); ++i) {
        auto [it, fresh] = kept.try_emplace(col(r.x[i]), r.y[i], r.y[i]);
        it->second.first = std::min<double>(it->second.first, r.y[i]);
        it->second.second = std::max<double>(it->second.second, r.y[i]);
    }
    ASSERT_EQ(kept.size(), full.size());
    for (const auto& [c, span] : full) {
        ASSERT_NEAR(kept[c].first, span.first, 1e-3) << "column " << c;
        ASSERT_NEAR(kept[c].second, span.second, 1e-3) << "column " << c;
    }
    // The spike's point is there at its own sample.
    const auto spike = std::find(r.x.begin(), r.x.end(), static_cast<float>(12345 - first));
    ASSERT_NE(spike, r.x.end());
    EXPECT_FLOAT_EQ(r.y[static_cast<std::size_t>(spike - r.x.begin())], 500 - 450);
}

TEST(ReduceSeries, RangeOutsideTheSeries)
{
    std::vector<float> v(10, 1.0f);
    EXPECT_TRUE(plot::reduceSeries(v, 10, 5, 0, 0, 1, 3).empty());
    EXPECT_TRUE(plot::reduceSeries(v, 0, 0, 0, 0, 1, 3).empty());
    const auto r = plot::reduceSeries(v, 8, 5, 0, 0, 1, 100);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].size(), 2u);
    const auto neg = plot::reduceSeries(v, -2, 5, 0, 0, 1, 100);
    ASSERT_EQ(neg.size(), 1u);
    EXPECT_EQ(neg[0].size(), 3u);
    EXPECT_FLOAT_EQ(neg[0].x[0], 2);
}

// ---------------------------------------------------------------------------
// Cursor.

TEST(RawGraphCursor, MarkAndDataNumber)
{
    // 0.5 s, 3 displayed channels, window of 600 samples from 1200.
    const RawWindow w = rawGraphWindow(5, 20, 2400, 5, {1201});
    ASSERT_EQ(w.start, 1200);
    RawCursorMark m = rawCursorMark(3 * 1250 + 2, 3, w, 2400);
    EXPECT_EQ(m.sample, 1250);
    EXPECT_DOUBLE_EQ(m.x, 50);
    EXPECT_TRUE(m.visible);
    m = rawCursorMark(3 * 1100, 3, w, 2400);
    EXPECT_FALSE(m.visible);
    m = rawCursorMark(3 * 1800, 3, w, 2400);
    EXPECT_FALSE(m.visible);
    EXPECT_FALSE(rawCursorMark(-1, 3, w, 2400).visible);
    EXPECT_EQ(rawGraphDataNumber(49.6, w, 3, 2400), 3 * 1250);
    EXPECT_EQ(rawGraphDataNumber(-5, w, 3, 2400), 3 * 1200);
    EXPECT_EQ(rawGraphDataNumber(1e9, w, 3, 2400), 3 * 1799);
}

// ---------------------------------------------------------------------------
// Shared helpers.

TEST(GraphGeometry, StepsNumbersAndMargins)
{
    const double steps[] = {1, 2, 5};
    EXPECT_DOUBLE_EQ(plot::niceStep(30, 6, steps, false), 5);
    EXPECT_DOUBLE_EQ(plot::niceStep(30, 100, steps, false), 1);
    EXPECT_DOUBLE_EQ(plot::niceStep(300, 6, steps, false), 5);  // largest entry
    EXPECT_DOUBLE_EQ(plot::niceStep(300, 6, steps, true), 50);
    EXPECT_DOUBLE_EQ(plot::niceStep(0.37, 1, steps, true), 0.5);
    EXPECT_DOUBLE_EQ(plot::niceStep(0, 6, steps, true), 0);

    EXPECT_EQ(plot::axisNumber(200), "200");
    EXPECT_EQ(plot::axisNumber(-0.0), "0");
    EXPECT_EQ(plot::axisNumber(-1e-12), "0");
    EXPECT_EQ(plot::axisNumber(0.5), "0.5");
    EXPECT_EQ(plot::axisNumber(-2.5), "-2.5");
    EXPECT_EQ(plot::axisNumber(0.25), "0.25");

    EXPECT_EQ(plot::measurementIdentification(12, 345, "26/ 5/20", "18:00:00"), " No.12-345 26/ 5/20 18:00");

    // 0..100 over 200 pixels with data to 90: 20 pixels below; 40 needed.
    const double end = plot::widenEnd(0, 100, 90, 200, 40);
    EXPECT_NEAR((end - 90) * 200 / end, 40, 1e-9);
    EXPECT_DOUBLE_EQ(plot::widenEnd(0, 100, 50, 200, 40), 100);  // room enough
    EXPECT_DOUBLE_EQ(plot::widenEnd(0, 100, 90, 200, 300), 100); // impossible: unchanged
    const double start = plot::widenStart(-5, 100, 0, 210, 30);
    EXPECT_NEAR((0 - start) * 210 / (100 - start), 30, 1e-9);
}

// ---------------------------------------------------------------------------
// The component velocity graph.

TEST(VelocityGraph, ComponentPairPrefersWind)
{
    struct {
        std::vector<int> codes;
        std::array<int, 8> rows;
        int row, x, y;
        bool wind, found;
    } cases[] = {
        {{1, 2, 3}, identity(), 1, 1, 2, false, true},
        {{1, 2, 3, 7, 8}, identity(), 3, 3, 4, true, true},
        {{7, 8}, identity(), 0, 0, 1, true, true},
        {{1, 2, 3}, {0, 2, 1, 3, 4, 5, 6, 7}, 1, 2, 1, false, true},  // rows through graphChannel
        {{1, 4, 5}, identity(), 0, 0, 0, false, false},               // neither type
        {{1, 2}, identity(), 0, 0, 0, false, false},                  // row c + 1 not recorded
        {{1, 1, 1, 1, 1, 1, 1, 2}, identity(), 0, 0, 0, false, false},  // c + 1 beyond the rows
    };
    for (const auto& c : cases) {
        MeasurementHeader h = header(c.codes, 100, 1, 10);
        const auto p = componentPair(h, c.rows);
        ASSERT_EQ(p.has_value(), c.found);
        if (!p)
            continue;
        EXPECT_EQ(p->row, c.row);
        EXPECT_EQ(p->channelX, c.x);
        EXPECT_EQ(p->channelY, c.y);
        EXPECT_EQ(p->wind, c.wind);
    }
}

TEST(VelocityGraph, WindowCappedAndWrittenBack)
{
    VelocityWindow w = velocityWindow(2400, 20, 30, 0);
    EXPECT_TRUE(w.writeBack);
    EXPECT_DOUBLE_EQ(w.minutes, 20);
    EXPECT_EQ(w.first, 1);
    EXPECT_EQ(w.last, 2399);
    w = velocityWindow(2400, 20, 5, 1200);
    EXPECT_FALSE(w.writeBack);
    EXPECT_EQ(w.first, 1201);
    EXPECT_EQ(w.last, 1200 + 600 - 1);
    // A start that does not leave a full window stops at the burst's end.
    w = velocityWindow(2400, 20, 5, 2000);
    EXPECT_EQ(w.last, 2399);
}

TEST(VelocityGraph, PlotAreaHasEqualUnits)
{
    const MeasurementHeader h = header({1, 2, 3}, 600, 5, 5);
    std::vector<std::vector<float>> v(3, std::vector<float>(600, 0.0f));
    VelocityGraphData d;
    d.header = &h;
    d.graphChannel = identity();
    d.values = &v;
    VelocityGraphSettings s;
    s.windowMinutes = 5;

    struct {
        double fsx, fsy, pw, ph;
    } cases[] = {{50, 50, 400, 400}, {50, 50, 800, 400}, {50, 50, 300, 600}, {100, 25, 400, 400}, {10, 40, 640, 300}};
    for (const auto& c : cases) {
        s.fullScales[1] = c.fsx;
        s.fullScales[2] = c.fsy;
        const VelocityGraphLayout L = layoutVelocityGraph(d, s, c.pw, c.ph, false);
        ASSERT_TRUE(L.drawable);
        const double pxPerUnitX = c.pw / L.view.width();
        const double pxPerUnitY = c.ph / L.view.height();
        EXPECT_NEAR(pxPerUnitX, pxPerUnitY, 1e-9);
        EXPECT_DOUBLE_EQ(L.plot.width(), 2 * c.fsx);
        EXPECT_DOUBLE_EQ(L.plot.height(), 2 * c.fsy);
        // The plot lies inside the picture with the margins kept.
        EXPECT_LE(L.view.left, -1.5 * c.fsx + 1e-9);
        EXPECT_GE(L.view.right, 1.5 * c.fsx - 1e-9);
        EXPECT_LE(L.view.top, -1.5 * c.fsy + 1e-9);
        EXPECT_GE(L.view.bottom, 1.75 * c.fsy - 1e-9);
        if (c.fsx == c.fsy && c.pw == c.ph)
            EXPECT_NEAR(L.plot.width() * pxPerUnitX, L.plot.height() * pxPerUnitY, 1e-9);
    }
}

TEST(VelocityGraph, PointsFluctuationAndAbsolute)
{
    const MeasurementHeader h = header({1, 2, 3}, 600, 5, 5);
    std::vector<std::vector<float>> v(3, std::vector<float>(600));
    for (int i = 0; i < 600; ++i) {
        v[1][static_cast<std::size_t>(i)] = 10.0f + ((i % 2) ? 3.0f : -3.0f);
        v[2][static_cast<std::size_t>(i)] = -4.0f + ((i % 3) == 0 ? 2.0f : -1.0f);
    }
    v[1][7] = -32768.0f;  // missing: no point
    VelocityGraphData d;
    d.header = &h;
    d.graphChannel = identity();
    d.values = &v;
    VelocityGraphSettings s;
    s.windowMinutes = 5;
    s.fullScales = {100, 50, 50, 50, 50, 50, 50, 50};

    VelocityGraphLayout L = layoutVelocityGraph(d, s, 400, 400, false);
    ASSERT_TRUE(L.drawable);
    EXPECT_EQ(L.px.size(), 598u);  // samples 1..599, less the missing one
    double sx = 0, sy = 0;
    for (std::size_t i = 0; i < L.px.size(); ++i) {
        sx += L.px[i];
        sy += L.py[i];
    }
    EXPECT_NEAR(sx / L.px.size(), 0, 0.05);
    EXPECT_NEAR(sy / L.py.size(), 0, 0.05);
    // Sample 1 (odd: +3 east; 1 % 3 != 0: -1 north) drawn at y = +1 (north up).
    EXPECT_NEAR(L.px[0], 13.0f - L.meanX, 1e-4);
    EXPECT_NEAR(L.py[0], -(-5.0f - L.meanY), 1e-4);

    // Absolute mode adds the burst means of the conversion.
    d.burstMeans = {0.0f, 25.0f, -12.0f};
    L = layoutVelocityGraph(d, s, 400, 400, true);
    sx = sy = 0;
    for (std::size_t i = 0; i < L.px.size(); ++i) {
        sx += L.px[i];
        sy += L.py[i];
    }
    EXPECT_NEAR(sx / L.px.size(), 25, 0.05);
    EXPECT_NEAR(sy / L.py.size(), 12, 0.05);  // north is up: y negated
    // Without known means absolute mode shows the values as they are.
    d.burstMeans.clear();
    L = layoutVelocityGraph(d, s, 400, 400, true);
    EXPECT_NEAR(L.px[0], 13.0f, 1e-4);
    EXPECT_NEAR(L.py[0], 5.0f, 1e-4);
}

TEST(VelocityGraph, LabelsAndNothingWithoutAPair)
{
    MeasurementHeader h = header({1, 2, 3}, 600, 5, 5);
    std::vector<std::vector<float>> v(3, std::vector<float>(600, 1.0f));
    VelocityGraphData d;
    d.header = &h;
    d.graphChannel = identity();
    d.values = &v;
    d.unitTexts = {"   (cm) ", " (cm/s) ", " (cm/s) "};
    d.machineNumber = 12;
    d.currentNumber = 7;
    d.dateText = "26/ 5/06";
    d.timeText = "10:00:00";
    VelocityGraphSettings s;
    s.fullScales = {100, 50, 50, 50, 50, 50, 50, 50};
    s.identify = true;
    VelocityGraphLayout L = layoutVelocityGraph(d, s, 400, 400, false);
    std::map<std::string, VelocityLabel> byText;
    for (const auto& l : L.labels)
        byText[l.text] = l;
    ASSERT_TRUE(byText.count("E") && byText.count("W") && byText.count("N") && byText.count("S") && byText.count("0"));
    EXPECT_GT(byText["E"].x, 50);
    EXPECT_LT(byText["W"].x, -50);
    EXPECT_LT(byText["N"].y, -50);  // above the plot (y grows downwards)
    EXPECT_GT(byText["S"].y, 50);
    EXPECT_EQ(byText.count("(cm/s)"), 1u);
    EXPECT_EQ(L.caption, " No.12-7 26/ 5/06 10:00");
    EXPECT_GT(L.captionY, 50);
    EXPECT_LT(L.captionY, L.view.bottom);

    h = header({1, 4, 5}, 600, 5, 5);
    L = layoutVelocityGraph(d, s, 400, 400, false);
    EXPECT_FALSE(L.drawable);
    EXPECT_TRUE(L.px.empty());
}
