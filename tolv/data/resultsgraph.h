#pragma once
// The results graph without drawing: chosen result items of the results
// file against time over a window of hours or days, up to eight series in
// up to four stacked panels, and up to two rows of direction arrows above
// the first panel.
//
// The record window ends at an anchor record (the newest record shown);
// its right edge is moved forward to the next division boundary, so the
// graph holds still while the measurements on display move inside it.
// Items " 9999" and "-----" are missing values: they draw nothing and break
// the series' line.
//
// User coordinates: x counts records from the window's left edge (record r
// at x = r - first, the right edge at x = W); y runs downwards, each arrow
// row taking the height the painter asks for and each panel 100 units.
#include "common/clock.h"
#include "common/resultitems.h"
#include "common/settings.h"
#include "common/status.h"
#include "tolv/data/graphgeom.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varenta {

constexpr int kResultsSeries = 8;
constexpr int kResultsPanels = 4;
constexpr int kResultsArrowRows = 2;
constexpr double kResultsPanelHeight = 100;

inline constexpr const char* kResultsGraphImageStem = "23g";

// Switches of the automatic-function word (item 85 value 4) the graph reads.
namespace resultsgraphbit {
constexpr std::uint32_t kMarks = 0x2000;       // a mark at every plotted point
constexpr std::uint32_t kValues = 0x4000;      // the value written at every plotted point
constexpr std::uint32_t kAutoLimits = 0x8000;  // limits from the values in the window
}  // namespace resultsgraphbit

// ---- arrows ----
// The type characters (value 4 of a direction code in the result-item
// definitions) of directions that are turned by 180 degrees before drawing:
// "!", "1", "5", "9" and "=".
bool arrowTurnsAround(char type);
// The type character of a code: the first character of its value 4 (a
// blank when there is none).
char arrowTypeOf(const ResultItemTable& items, int code);
// Caption of an arrow row by its code: "波向", "流向", "風向" or "方向".
std::string arrowCaption(int code);

struct ArrowDirection {
    double theta = 0;  // the direction drawn, in degrees (0 north, 90 east)
    double angle = 0;  // on the picture: radians counter-clockwise from the right
};
// theta plus 180 (mod 360) for a turning type; the drawing angle is
// (360 - theta + 90) mod 360 degrees.
ArrowDirection arrowDirection(double degrees, char type);

// Axis number format: "##0.0" when the step or a limit has a fractional
// part of 0.001 or more, otherwise "####0".
std::string resultsAxisFormat(double step, double lower, double upper);

// ---- settings ----
struct ResultsGraphSettings {
    struct Series {
        int code = kSpacerCode;  // item 70 + i value 0; 64 = no series
        double lower = 0;        // value 1
        double upper = 0;        // value 2
        long long colour = 0;    // value 3
        bool used() const { return code != kSpacerCode && code >= 0; }
    };
    std::array<Series, kResultsSeries> series{};
    std::array<int, kResultsArrowRows> arrowCodes{0, 0};          // item 78 values 6 and 7
    std::array<long long, kResultsArrowRows> arrowColours{0, 0};  // item 65 values 6 and 7
    double spanDays = 7;       // item 78 value 0
    int divisions = 7;         // item 78 value 2
    double arrowRowLines = 2;  // item 78 value 3: height of an arrow row in text heights
    int blockStartHour = 0;    // item 66 value 2
    plot::LineSetting frame;   // item 70 (screen) or 71 (print) values 4 and 5
    int fillStyle = 0;         // value 7 of the same item: 0 filled marks
    std::string captionPrefix; // item 85 value 0
    bool identify = false;     // item 85 value 3 = "1"
    bool marks = false;
    bool values = false;
    bool autoLimits = false;

    static bool arrowUsed(int code) { return code != 0 && code != kSpacerCode && code > 0; }
    // Panels: the highest panel (series pairs 0-1, 2-3, 4-5, 6-7) with a
    // series in use.
    int panelCount() const;
};
ResultsGraphSettings readResultsGraphSettings(const Settings& s, std::uint32_t autoWord, bool printMode);

// ---- the record window ----
// Span in hours: value x 24 for a value of 1 or more, x 100 below 1.
double resultsSpanHours(double spanDays);
// W = span hours x 60 / interval (at least 1 record).
long long resultsWindowWidth(double spanDays, int intervalMinutes);

// The window remembered between drawings (first and last record drawn).
struct ResultsGraphMemory {
    long long first = 0;
    long long anchor = 0;
    bool contains(long long n) const { return anchor > 0 && n >= first && n <= anchor; }
};

// Steps 1 and 2: the explicit anchor when given (> 0); else the remembered
// anchor when the current measurement lies inside the remembered window;
// else the current measurement.  At least record 1; an anchor beyond the
// file's whole records becomes the last of them.  0 when the file holds no
// whole record.
long long resultsAnchor(long long explicitAnchor, long long currentNumber, const ResultsGraphMemory& remembered,
                        long long fileRecords);

struct ResultsWindow {
    long long width = 1;            // W records
    int divisions = 1;              // divisions of the time axis
    bool divisionsLowered = false;  // the setting was larger than W and was lowered
    double recordsPerDivision = 1;
    int hoursPerDivision = 0;       // P
    int intervalMinutes = 60;
    long long anchor = 0;           // newest record drawn
    long long gap = 0;              // records from the anchor to the right edge
    long long first = 0;            // record at the left edge (may lie before record 1)
    long long firstDrawn() const { return first < 1 ? 1 : first; }
    double xOf(long long record) const { return static_cast<double>(record - first); }
};
// Steps 3 and 4: P = records per division x interval / 60 (rounded); with
// a = (anchorHour - blockStartHour) mod P the right edge lies P - a hours
// after the anchor (0 when a = 0), in records; first = anchor - W + gap.
ResultsWindow resultsGraphWindow(long long anchor, int anchorHour, double spanDays, int divisions,
                                 int intervalMinutes, int blockStartHour);

// ---- values ----
// The item of a record at a position: 6 characters (with the separator in
// front) when the position opens a group after the first, else 5; empty
// when the record is too short.
std::string resultsGraphItem(const std::string& record, int position);
// A value: nullopt for the missing marks " 9999" and "-----", blanks, and
// text that is not a number.
std::optional<double> resultsGraphValue(std::string_view text);
// Date and time of a record (items 1 to 3); nullopt for an empty record
// (item 0 "-----") or fields out of range.  Two-digit years are 20yy.
std::optional<DateTime> recordDateTime(const std::string& record);

// Whole records of a results file (file length div 392); nullopt when the
// file cannot be read.
std::optional<long long> resultsRecordCount(const std::string& path);
// Records first .. last (1-based, whole ones only) of a results file.
Status readResultsRecords(const std::string& path, long long first, long long last, std::vector<std::string>& out);

// What a drawing reads from the file.
struct ResultsGraphRequest {
    std::string resultsPath;
    long long explicitAnchor = 0;    // drawResultsGraph's anchor (0: none)
    long long currentNumber = 0;
    ResultsGraphMemory remembered;
    int intervalMinutes = 0;         // of the header; 0 or less: from the records
};

struct ResultsGraphData {
    Status status = Status::Ok;      // NotFound: no file or no whole record
    long long fileRecords = 0;
    ResultsWindow window;
    std::vector<std::string> records;  // window.firstDrawn() .. window.anchor
    // The newest dated record of the window: the time axis is counted from it.
    std::optional<DateTime> referenceTime;
    long long referenceRecord = 0;
};
ResultsGraphData readResultsGraphData(const ResultsGraphRequest& request, const ResultsGraphSettings& settings);

// ---- the layout ----
struct ResultsGraphInput {
    const ResultsGraphData* data = nullptr;
    const ResultSelection* selection = nullptr;
    const ResultItemTable* items = nullptr;
    int machineNumber = 0;
    long long currentNumber = 0;
    std::string dateText, timeText;
    double arrowRowHeight = 30;  // y units of one arrow row (the painter's choice)
};

struct ResultsGraphCurve {
    int series = 0;
    int panel = 0;
    bool right = false;        // second series of its panel: numbers at the right
    int position = -1;         // record position of the code (-1: not in the record)
    long long colour = 0;
    double lower = 0, upper = 1;
    std::string name;          // short name of the code
    std::string format;        // axis number format
    std::vector<plot::Tick> ticks;  // value axis, y positions
    std::vector<plot::Run> runs;    // the line, broken at missing values
    std::vector<float> pointX, pointY;      // every plotted point
    std::vector<std::string> pointTexts;    // the item texts of the points (trimmed)
};

struct ResultsArrowRow {
    int code = 0;
    char type = ' ';
    long long colour = 0;
    double top = 0, bottom = 0;
    std::string caption;
    struct Arrow {
        double x = 0;
        ArrowDirection direction;
    };
    std::vector<Arrow> arrows;
    double centre() const { return (top + bottom) / 2; }
};

struct ResultsGraphPanel {
    double top = 0, bottom = 0;
};

struct ResultsTimeLabel {
    double x = 0;
    std::string hour;  // "13時"; empty when divisions are a day or longer
    std::string day;   // "7日" where the day changes
};

struct ResultsGraphLayout {
    bool drawable = false;
    ResultsWindow window;
    double width = 1;               // W: x of the right edge
    double plotTop = 0, plotBottom = 0;  // first arrow row's top .. last panel's bottom
    std::vector<ResultsArrowRow> arrowRows;
    std::vector<ResultsGraphPanel> panels;
    std::vector<ResultsGraphCurve> curves;
    std::vector<ResultsTimeLabel> timeLabels;  // one per division boundary, left to right
    std::string caption;
    long long fileRecords = 0;
};
ResultsGraphLayout layoutResultsGraph(const ResultsGraphInput& input, const ResultsGraphSettings& settings);

// The record under an x position of the plot: the nearest record to x plus
// the window's first, limited to the drawn records; 0 when none is drawn.
long long resultsGraphRecordAt(const ResultsGraphLayout& layout, double x);

// The channel the value zoom acts on for a click outside the plot at
// device y: the upper one (1) above the boundary, else the lower one (3).
// The boundary is half the pane's height when items 72 and 73 are not both
// 64, otherwise the plot's bottom.
int resultsZoomChannelAt(double y, double paneHeight, double plotBottom, const ResultsGraphSettings& settings);

}  // namespace varenta
