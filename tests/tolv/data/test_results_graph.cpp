// The results graph without drawing: arrows, number formats, the record
// window and its anchor, values and missing marks, panels, time labels.
#include "tolv/data/resultsgraph.h"

#include "test_results_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace varenta;
using namespace varenta::testing;

namespace {

double degreesOf(double radians) { return radians * 360.0 / 6.283185; }

}  // namespace

struct ArrowCase {
    double degrees;
    char type;
    double drawn;       // compass direction drawn
    double pictureDeg;  // counter-clockwise from the right
};

TEST(ResultsGraphArrows, TurnedTypesAndDrawingAngles)
{
    const ArrowCase cases[] = {
        {350, '1', 170, 280},  // a wave from 350 deg goes towards 170 deg
        {350, '0', 350, 100},  // a current towards 350 deg
        {0, ' ', 0, 90},       // north points up
        {90, '0', 90, 0},      // east points right
        {180, '0', 180, 270},
        {270, '0', 270, 180},
        {10, '!', 190, 260},
        {10, '5', 190, 260},
        {10, '9', 190, 260},
        {10, '=', 190, 260},
        {10, '2', 10, 80},
        {200, '1', 20, 70},
    };
    for (const ArrowCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.degrees << " type " << c.type);
        const ArrowDirection d = arrowDirection(c.degrees, c.type);
        EXPECT_NEAR(d.theta, c.drawn, 1e-9);
        EXPECT_NEAR(degreesOf(d.angle), c.pictureDeg, 1e-6);
    }
}

TEST(ResultsGraphArrows, CaptionsByCodeAndTypesFromTheDefinitions)
{
    const std::pair<int, const char*> cases[] = {
        {24, "波向"}, {26, "波向"}, {65, "波向"}, {67, "波向"}, {69, "波向"}, {33, "流向"},
        {41, "風向"}, {46, "風向"}, {75, "風向"}, {78, "風向"}, {306, "流向"}, {310, "流向"},
        {334, "流向"}, {307, "方向"}, {338, "方向"}, {28, "方向"}, {0, "方向"},
    };
    for (const auto& [code, caption] : cases)
        EXPECT_EQ(arrowCaption(code), caption) << code;
    const Shipped sh;
    EXPECT_EQ(arrowTypeOf(sh.items, 24), '1');  // waves come from
    EXPECT_EQ(arrowTypeOf(sh.items, 33), '0');  // currents go to
    EXPECT_EQ(arrowTypeOf(sh.items, 41), '1');
    EXPECT_EQ(arrowTypeOf(sh.items, 12), ' ');  // not a direction
}

TEST(ResultsGraphAxes, NumberFormatByFraction)
{
    struct Case {
        double step, lower, upper;
        const char* format;
    } const cases[] = {
        {1, 0, 5, "####0"},     {0.5, 0, 5, "##0.0"},      {20, 0, 100, "####0"},
        {2, 0, 2.5, "##0.0"},   {1, 0.0005, 5, "####0"},   {1, 0.001, 5, "##0.0"},
        {10, -20, 30, "####0"}, {0.25, -1, 1, "##0.0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(resultsAxisFormat(c.step, c.lower, c.upper), c.format) << c.step << " " << c.lower << " " << c.upper;
}

TEST(ResultsGraphValues, MissingMarksAndNumbers)
{
    struct Case {
        const char* text;
        std::optional<double> value;
    } const cases[] = {
        {" 9999", std::nullopt}, {"  9999", std::nullopt}, {"-----", std::nullopt}, {" -----", std::nullopt},
        {"     ", std::nullopt}, {"", std::nullopt},       {"  NNW", std::nullopt},  {" 1.2.3", std::nullopt},
        {" 1.25", 1.25},         {"   -3", -3.0},          {"99999", 99999.0},       {"  0.0", 0.0},
        {"123456", 123456.0},
    };
    for (const Case& c : cases) {
        const auto v = resultsGraphValue(c.text);
        ASSERT_EQ(v.has_value(), c.value.has_value()) << "'" << c.text << "'";
        if (v) {
            EXPECT_DOUBLE_EQ(*v, *c.value);
        }
    }
    // Items: 5 characters, 6 with the separator when the position opens a group.
    std::string r = emptyResultsRecord();
    r.replace(48, 6, "123456");
    EXPECT_EQ(resultsGraphItem(r, 8), "123456");
    EXPECT_EQ(resultsGraphItem(r, 9), "-----");
    EXPECT_EQ(resultsGraphItem(r, 0), "-----");
    EXPECT_EQ(resultsGraphItem(r, 64), "");
    EXPECT_EQ(resultsGraphItem("short", 3), "");
}

TEST(ResultsGraphValues, DateAndTimeOfRecords)
{
    const Shipped sh;
    const auto t = recordDateTime(loggerRecord(sh.selection, 5, 12, 31, 23, 59));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->year, 2026);
    EXPECT_EQ(t->month, 12);
    EXPECT_EQ(t->day, 31);
    EXPECT_EQ(t->hour, 23);
    EXPECT_EQ(t->minute, 59);
    EXPECT_FALSE(recordDateTime(emptyResultsRecord()));
    EXPECT_FALSE(recordDateTime(loggerRecord(sh.selection, 5, 2, 30, 1, 0)));
    EXPECT_FALSE(recordDateTime(loggerRecord(sh.selection, 5, 13, 1, 1, 0)));
    EXPECT_FALSE(recordDateTime("too short"));
}

struct WindowCase {
    const char* name;
    double spanDays;
    int divisions, interval, anchorHour, startHour;
    long long anchor;
    long long width, gap, first;
    int finalDivisions, hoursPerDivision;
};

TEST(ResultsGraphWindow, WidthDivisionsAndTheRightEdge)
{
    const WindowCase cases[] = {
        {"7 days hourly, anchor at 13 h: the edge moves to midnight", 7, 7, 60, 13, 0, 500, 168, 11, 343, 7, 24},
        {"anchor on the boundary: no gap", 7, 7, 60, 0, 0, 500, 168, 0, 332, 7, 24},
        {"boundaries counted from 8 h", 7, 7, 60, 5, 8, 500, 168, 3, 335, 7, 24},
        {"0.12 is 12 hours; 6 divisions of 2 hours", 0.12, 6, 60, 13, 0, 40, 12, 1, 29, 6, 2},
        {"0.5 is 50 hours", 0.5, 5, 60, 10, 0, 100, 50, 0, 50, 5, 10},
        {"30-minute records, 1 day in 4 divisions", 1, 4, 30, 7, 0, 100, 48, 10, 62, 4, 6},
        {"divisions lowered to the window", 0.03, 7, 60, 2, 0, 10, 3, 0, 7, 3, 1},
        {"a window before record 1", 7, 7, 60, 13, 0, 20, 168, 11, -137, 7, 24},
    };
    for (const WindowCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ResultsWindow w = resultsGraphWindow(c.anchor, c.anchorHour, c.spanDays, c.divisions, c.interval,
                                                   c.startHour);
        EXPECT_EQ(w.width, c.width);
        EXPECT_EQ(w.gap, c.gap);
        EXPECT_EQ(w.first, c.first);
        EXPECT_EQ(w.divisions, c.finalDivisions);
        EXPECT_EQ(w.divisionsLowered, c.finalDivisions != c.divisions);
        EXPECT_EQ(w.hoursPerDivision, c.hoursPerDivision);
        EXPECT_GE(w.firstDrawn(), 1);
    }
}

TEST(ResultsGraphWindow, AnchorChoice)
{
    const ResultsGraphMemory none;
    const ResultsGraphMemory kept{100, 200};
    EXPECT_EQ(resultsAnchor(0, 150, kept, 1000), 200);  // inside the remembered window
    EXPECT_EQ(resultsAnchor(0, 250, kept, 1000), 250);  // outside: the current one
    EXPECT_EQ(resultsAnchor(120, 150, kept, 1000), 120);  // an explicit anchor wins
    EXPECT_EQ(resultsAnchor(5000, 150, kept, 1000), 1000);  // beyond the file: the last record
    EXPECT_EQ(resultsAnchor(0, 5000, none, 1000), 1000);
    EXPECT_EQ(resultsAnchor(0, 0, none, 1000), 1);
    EXPECT_EQ(resultsAnchor(0, 10, none, 0), 0);
}

namespace {

// The shipped settings with two series on panel 1 and the arrow rows.
struct GraphCase {
    Shipped sh;
    ResultsGraphSettings settings;
    std::string results = sh.file("NR012L.H10");

    GraphCase()
    {
        settings = readResultsGraphSettings(sh.settings, 0x2000, false);
    }
    ResultsGraphLayout layoutFor(const std::string& file, long long current, double arrowHeight = 30)
    {
        writeBytes(results, file);
        ResultsGraphRequest rq;
        rq.resultsPath = results;
        rq.currentNumber = current;
        rq.intervalMinutes = 60;
        data = readResultsGraphData(rq, settings);
        ResultsGraphInput in;
        in.data = &data;
        in.selection = &sh.selection;
        in.items = &sh.items;
        in.arrowRowHeight = arrowHeight;
        return layoutResultsGraph(in, settings);
    }
    ResultsGraphData data;
};

}  // namespace

TEST(ResultsGraphLayout, ShippedSettingsAndPanels)
{
    GraphCase g;
    const ResultsGraphSettings& s = g.settings;
    EXPECT_EQ(s.series[0].code, 12);
    EXPECT_EQ(s.series[1].code, 13);
    EXPECT_EQ(s.series[2].code, 32);
    EXPECT_EQ(s.series[3].code, 20);
    EXPECT_EQ(s.panelCount(), 2);
    EXPECT_EQ(s.arrowCodes[0], 24);
    EXPECT_EQ(s.arrowCodes[1], 33);
    EXPECT_DOUBLE_EQ(s.spanDays, 7);
    EXPECT_EQ(s.divisions, 7);
    EXPECT_TRUE(s.marks);
    EXPECT_FALSE(s.autoLimits);

    // Codes 64 in items 72 to 77 leave a single panel.
    Settings one = g.sh.settings;
    for (int i = 2; i < 8; ++i)
        one.set(70 + i, 0, "064");
    EXPECT_EQ(readResultsGraphSettings(one, 0, false).panelCount(), 1);
    one.set(77, 0, "012");
    EXPECT_EQ(readResultsGraphSettings(one, 0, false).panelCount(), 4);
}

TEST(ResultsGraphLayout, A9999BreaksTheLineAndDrawsNoArrow)
{
    GraphCase g;
    std::string file = hourlyRecords(g.sh.selection, 10, 6, 0);
    const int p12 = g.sh.selection.positionOf(12);
    const int p24 = g.sh.selection.positionOf(24);
    std::string r5 = recordOf(file, 5);
    setResultItem(r5, p12, " 9999");
    setResultItem(r5, p24, " 9999");
    putRecord(file, 5, r5);
    std::string r8 = recordOf(file, 8);
    setResultItem(r8, p12, "-----");
    putRecord(file, 8, r8);
    const ResultsGraphLayout L = g.layoutFor(file, 10);
    ASSERT_TRUE(L.drawable);
    ASSERT_FALSE(L.curves.empty());
    const ResultsGraphCurve& c = L.curves[0];
    EXPECT_EQ(c.series, 0);
    ASSERT_EQ(c.runs.size(), 3u);  // 1-4, 6-7, 9-10
    EXPECT_EQ(c.runs[0].size(), 4u);
    EXPECT_EQ(c.runs[1].size(), 2u);
    EXPECT_EQ(c.runs[2].size(), 2u);
    EXPECT_FLOAT_EQ(c.runs[1].x[0], static_cast<float>(L.window.xOf(6)));
    EXPECT_EQ(c.pointX.size(), 8u);
    // Values map into panel 1 by its limits (0 .. 5 m).
    const double y1 = L.panels[0].bottom - (0.51 - 0.0) * kResultsPanelHeight / 5.0;
    EXPECT_NEAR(c.runs[0].y[0], y1, 1e-4);
    // The arrow row of code 24 has no arrow for record 5.
    ASSERT_EQ(L.arrowRows.size(), 2u);
    EXPECT_EQ(L.arrowRows[0].caption, "波向");
    EXPECT_EQ(L.arrowRows[1].caption, "流向");
    EXPECT_EQ(L.arrowRows[0].arrows.size(), 9u);
    for (const auto& a : L.arrowRows[0].arrows)
        EXPECT_NE(a.x, L.window.xOf(5));
    // The rows lie above the first panel.
    EXPECT_DOUBLE_EQ(L.arrowRows[0].top, 0);
    EXPECT_DOUBLE_EQ(L.arrowRows[1].bottom, L.panels[0].top);
    EXPECT_EQ(L.panels.size(), 2u);
}

TEST(ResultsGraphLayout, Arrow350WithType1IsDrawnAs170)
{
    GraphCase g;
    std::string file = hourlyRecords(g.sh.selection, 3, 6, 0);
    std::string r = recordOf(file, 3);
    setResultItem(r, g.sh.selection.positionOf(24), "  350");
    putRecord(file, 3, r);
    const ResultsGraphLayout L = g.layoutFor(file, 3);
    ASSERT_FALSE(L.arrowRows.empty());
    const auto& arrows = L.arrowRows[0].arrows;
    ASSERT_EQ(arrows.size(), 3u);
    EXPECT_DOUBLE_EQ(arrows.back().x, L.window.xOf(3));
    EXPECT_NEAR(arrows.back().direction.theta, 170, 1e-9);
}

TEST(ResultsGraphLayout, SevenDaysAreLabelledByDayAndHalfADayByHour)
{
    GraphCase g;
    // 10 days of hourly records from 5/6 0:00; the anchor at record 200
    // (5/14 7:00): the right edge moves on to 5/15 0:00.
    std::string file = hourlyRecords(g.sh.selection, 240, 6, 0);
    ResultsGraphLayout L = g.layoutFor(file, 200);
    EXPECT_EQ(L.window.anchor, 200);
    EXPECT_EQ(L.window.gap, 17);
    ASSERT_EQ(L.timeLabels.size(), 8u);
    for (std::size_t i = 0; i < L.timeLabels.size(); ++i) {
        EXPECT_TRUE(L.timeLabels[i].hour.empty());
        EXPECT_EQ(L.timeLabels[i].day, std::to_string(8 + i) + "日");
        EXPECT_DOUBLE_EQ(L.timeLabels[i].x, 24.0 * static_cast<double>(i));
    }
    EXPECT_EQ(g.data.records.size(), static_cast<std::size_t>(200 - L.window.firstDrawn() + 1));

    g.sh.settings.set(78, 0, "0.12");
    g.sh.settings.set(78, 2, "6");
    g.settings = readResultsGraphSettings(g.sh.settings, 0, false);
    L = g.layoutFor(file, 200);  // 12 hours ending at 5/14 8:00
    ASSERT_EQ(L.timeLabels.size(), 7u);
    EXPECT_EQ(L.timeLabels[0].hour, "20時");
    EXPECT_EQ(L.timeLabels[0].day, "13日");
    EXPECT_EQ(L.timeLabels[1].hour, "22時");
    EXPECT_EQ(L.timeLabels[1].day, "");
    EXPECT_EQ(L.timeLabels[2].hour, "0時");
    EXPECT_EQ(L.timeLabels[2].day, "14日");
    EXPECT_EQ(L.timeLabels[6].hour, "8時");
}

TEST(ResultsGraphLayout, AutomaticLimitsAndClicks)
{
    GraphCase g;
    g.settings = readResultsGraphSettings(g.sh.settings, resultsgraphbit::kAutoLimits, false);
    std::string file = hourlyRecords(g.sh.selection, 30, 6, 0);
    const ResultsGraphLayout L = g.layoutFor(file, 30);
    ASSERT_FALSE(L.curves.empty());
    // Values 0.51 .. 0.80 of code 12: limits around them.
    EXPECT_LE(L.curves[0].lower, 0.51);
    EXPECT_GE(L.curves[0].upper, 0.80);
    EXPECT_LT(L.curves[0].upper - L.curves[0].lower, 1.0);
    EXPECT_EQ(L.curves[0].format, "##0.0");
    // Clicks: the nearest record, within the drawn ones.
    EXPECT_EQ(resultsGraphRecordAt(L, L.window.xOf(12) + 0.4), 12);
    EXPECT_EQ(resultsGraphRecordAt(L, L.window.xOf(12) - 0.4), 12);
    EXPECT_EQ(resultsGraphRecordAt(L, L.width), 30);
    EXPECT_EQ(resultsGraphRecordAt(L, 0), 1);
    // Zoom channel: two panels split the pane in halves.
    EXPECT_EQ(resultsZoomChannelAt(100, 400, 380, g.settings), 1);
    EXPECT_EQ(resultsZoomChannelAt(250, 400, 380, g.settings), 3);
    ResultsGraphSettings single = g.settings;
    single.series[2].code = kSpacerCode;
    single.series[3].code = kSpacerCode;
    EXPECT_EQ(resultsZoomChannelAt(250, 400, 380, single), 1);
    EXPECT_EQ(resultsZoomChannelAt(390, 400, 380, single), 3);
}

TEST(ResultsGraphLayout, NothingWithoutRecords)
{
    GraphCase g;
    EXPECT_FALSE(g.layoutFor("", 5).drawable);
    EXPECT_EQ(g.data.status, Status::NotFound);
    EXPECT_FALSE(g.layoutFor(std::string(300, 'x'), 5).drawable);
    ResultsGraphRequest rq;
    rq.resultsPath = g.sh.file("missing");
    EXPECT_EQ(readResultsGraphData(rq, g.settings).status, Status::NotFound);
}
