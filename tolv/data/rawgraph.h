#pragma once
// The raw data graph without drawing: the time window over the burst (whole
// minutes from the scroll bar, kept full near the end, held still while a
// followed cursor stays inside it), the strips of the drawn rows with their
// full scales and ratios, the value and time ticks, the vertical row labels,
// the time-axis caption, the curves reduced to the picture's pixel columns,
// and the cursor's Dno text and mark position.
//
// User coordinates (one unit per sample across, the channel unit of row 0
// down): x from -W/12 to W + W/24, y from -FS/2 to H R + FS/2 with
// H = 2.5 FS, so that the k-th strip spans H k .. H k + 2 FS around its
// baseline H k + FS.
#include "common/masterfile.h"
#include "common/settings.h"
#include "tolv/data/graphgeom.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace varenta {

constexpr int kGraphRows = 8;

// Switches of the automatic-function word (item 85 value 4) that the raw
// data graph reads.
namespace rawgraphbit {
constexpr std::uint32_t kOverlay = 0x100;    // all rows on one strip
constexpr std::uint32_t kLinked = 0x200;     // every row drawn at the full scale of row 0
constexpr std::uint32_t kAutoScale = 0x400;  // full scales from the samples in the window
}  // namespace rawgraphbit

// The settings the graph reads (initialization items).
struct RawGraphSettings {
    struct Row {
        bool shown = false;     // item 170 + w value 0 = "1"
        double fullScale = 0;   // item 170 + w value 1
        long long colour = 0;   // item 170 + w value 3
    };
    std::array<Row, kGraphRows> rows{};
    double windowMinutes = 0;      // item 79 value 0
    std::string captionPrefix;     // item 85 value 0
    bool identify = false;         // item 85 value 3 = "1"
    plot::LineSetting frame;       // item 170 (screen) or 171 (print) values 4 and 5
    int printTimeDivisions = 0;    // item 68 value 6 (print: at most so many time divisions)
    int printValueDivisions = 0;   // item 68 value 7 (print: divisions of a strip)
    bool overlay = false;
    bool linked = false;
    bool autoScale = false;
};
RawGraphSettings readRawGraphSettings(const Settings& s, std::uint32_t autoWord, bool printMode);

// ---- the time window ----
struct RawWindowRequest {
    long long scrollValue = 1;     // VScroll1: 1-based sample
    bool cursorFollow = false;     // keep the window while the cursor is inside it
    long long cursorSample = -1;   // the cursor's sample (cursor-follow mode)
    long long previousStart = -1;  // the window drawn before (-1: none)
};

struct RawWindow {
    int samplesPerMinute = 0;  // S = 600 / interval in tenths
    long long span = 0;        // W samples
    long long start = 0;       // first sample of the window
    double minutes = 0;        // the span in minutes (capped at the burst)
    bool seconds = false;      // the time axis counts seconds (window below one minute)
    long long count(long long samplesPerChannel) const;  // samples actually drawn
};

// S = 600 / intervalTenths (rounded to even); W = S x min(windowMinutes,
// durationMinutes), at most the burst, the whole burst for a blank or
// non-positive span; the start from the scroll value snapped to whole
// minutes (to multiples of the span for a window below one minute, so that
// the second half of a minute can be shown too), or kept/moved to the
// cursor in cursor-follow mode, and moved back so that the window stays
// full.
RawWindow rawGraphWindow(double intervalTenths, int durationMinutes, long long samplesPerChannel,
                         double windowMinutes, const RawWindowRequest& request);

// ---- the layout ----
// What the graph shows of the measurement on display.
struct RawGraphData {
    const MeasurementHeader* header = nullptr;
    std::array<int, kGraphRows> graphChannel{};
    const std::vector<std::vector<float>>* values = nullptr;  // [channel][sample], physical units
    std::vector<std::string> unitTexts;  // per channel-list index: value 1 of the channel definition
    int machineNumber = 0;
    long long currentNumber = 0;
    std::string dateText, timeText;
};

struct RawGraphRow {
    int row = 0;            // graph row w (0..7)
    int channel = 0;        // index in the channel list
    int band = 0;           // strip it is drawn on
    double fullScale = 0;   // the row's full scale (as shown by the tick numbers)
    double ratio = 1;       // FS / fullScale
    double baseline = 0;    // y of the value 0
    long long colour = 0;
    std::string label;      // the unit text, written vertically at the left
};

struct RawGraphBand {
    double top = 0, bottom = 0;      // frame of the strip (+full scale .. -full scale)
    double clipTop = 0, clipBottom = 0;  // curves are kept within these (half the gap between strips)
    double baseline = 0;
    std::vector<plot::Tick> valueTicks;  // y positions; numbers at the ends and at 0
    std::vector<int> rows;           // indexes into RawGraphLayout::rows
};

struct RawGraphLayout {
    bool drawable = false;     // there is a burst to draw (rows may still be none)
    RawWindow window;
    plot::Rect view;           // the user coordinate system
    double fs = 1;             // FS = full scale of row 0
    double stripHeight = 2.5;  // H
    std::vector<RawGraphRow> rows;
    std::vector<RawGraphBand> bands;
    double plotLeft = 0, plotRight = 0;  // x of the frame (0 .. W)
    std::vector<plot::Tick> timeTicks;   // x positions with their numbers
    std::string caption;                 // the time-axis caption
};

// Lays the graph out.  maxTimeDivisions bounds the number of time-axis
// divisions (the painter derives it from the picture's width, or in print
// mode from item 68 value 6).  valueDivisions: tick divisions of a strip
// between its two full-scale lines (2 at least; odd counts get no 0 number).
RawGraphLayout layoutRawGraph(const RawGraphData& data, const RawGraphSettings& settings, const RawWindow& window,
                              int maxTimeDivisions, int valueDivisions);

// The time-axis caption: item 85 value 0, the identification with item 85
// value 3, then "   経過時間（分）" for a span of one minute or more, else
// "   経過時間（秒）".
std::string rawGraphCaption(const RawGraphSettings& settings, const RawGraphData& data);

// The curve of a row in user coordinates over the window; columns is the
// number of pixel columns across the window's W samples.
std::vector<plot::Run> rawGraphCurve(const RawGraphLayout& layout, const RawGraphRow& row,
                                     std::span<const float> values, double columns);

// ---- the cursor ----
// The cursor's sample and the x of its mark (sample - start); the mark is
// on the graph when 0 <= x < W.
struct RawCursorMark {
    long long sample = 0;
    double x = 0;
    bool visible = false;
};
RawCursorMark rawCursorMark(long long cursor, int displayedChannels, const RawWindow& window,
                            long long samplesPerChannel);
// The data number of an x position on the graph: (x + start) x displayed
// channels, x taken to the nearest sample within the window.
long long rawGraphDataNumber(double x, const RawWindow& window, int displayedChannels, long long samplesPerChannel);

}  // namespace varenta
