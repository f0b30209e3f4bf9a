#pragma once
// Geometry shared by the graphs of the processing program, with no drawing
// in it: axis steps and tick texts, the identification of the measurement
// in a caption, the settings' line styles, and the reduction of a long
// time series to what a picture of a given width can show (the minimum and
// maximum of each pixel column, in sample order).
//
// Graphs work in their own user coordinate system (x to the right, y
// downwards, as a picture's scale); a painter maps it to the device.
#include "common/settings.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace varenta::plot {

// A rectangle in user coordinates: left < right, top < bottom (y grows
// downwards).
struct Rect {
    double left = 0, top = 0, right = 1, bottom = 1;
    double width() const { return right - left; }
    double height() const { return bottom - top; }
};

// A tick on an axis: its position in user coordinates and its text (empty
// for a tick without number).
struct Tick {
    double at = 0;
    std::string label;
};

// A run of joined points in user coordinates (a missing sample ends a run).
struct Run {
    std::vector<float> x;
    std::vector<float> y;
    std::size_t size() const { return x.size(); }
};

// Line width and style of a frame or grid as the settings hold them: the
// width in pixels of the screen (at least 1), the style number 0 solid,
// 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 none, 6 solid inside.
struct LineSetting {
    double width = 1;
    int style = 0;
};
// Item n values wv and sv; blank or bad values give width 1 and style 0.
LineSetting lineSetting(const Settings& s, int item, int widthValue, int styleValue);

// A colour number of the settings (decimal RGB, red in the low byte);
// blank or out of range gives the fallback.
long long colourSetting(const Settings& s, int item, int value, long long fallback);

// The missing-sample marker as it stands in the values of a measurement
// that were not converted (and in the leading samples after conversion).
inline bool isMissingValue(float v) { return !(v == v) || v == -32768.0f || v > 3.0e38f || v < -3.0e38f; }

// The smallest step of the list (each times 10^k for any integer k when
// decades is true) that divides span into at most maxDivisions parts; the
// largest entry when none does.  span <= 0 or an empty list gives 0.
double niceStep(double span, int maxDivisions, std::span<const double> steps, bool decades);

// Number text for an axis: "#0" when v is whole (to 1e-9 of its size),
// otherwise the shortest of one to four decimals that shows it ("-0" never
// appears).
std::string axisNumber(double v);

// The identification in captions: " No." machine "-" number " " date " "
// and the first five characters of the time ("hh:mm").
std::string measurementIdentification(int machineNumber, long long number, const std::string& dateText,
                                      const std::string& timeText);

// Caption of a graph: item 85 value 0, then the identification when item
// 85 value 3 is "1".
std::string graphCaption(const std::string& prefix, bool identify, int machineNumber, long long number,
                         const std::string& dateText, const std::string& timeText);

// Min-max reduction of a series drawn left to right.  Sample i of the range
// first .. first + count - 1 lies at x = x0 + (i - first) and at
// y = baseline - ratio * value.  When the range holds more samples than
// 2 x columns (columns: the pixel columns across count sample units), each
// column keeps, in sample order, the first sample, the lowest and highest
// value and the last sample, so that the picture does not change; otherwise
// every sample is kept.  Missing values (isMissingValue) end a run.
std::vector<Run> reduceSeries(std::span<const float> values, long long first, long long count, double x0,
                              double baseline, double ratio, double columns);

// Room for text at the ends of an axis.  A range start .. end is drawn
// over `pixels` device pixels; the data reach `edge`.  widenEnd returns the
// end that leaves at least needPixels between edge and the end (the end
// itself when it already does), widenStart the same for the start.  A need
// of the whole picture or more leaves the range as it is.
double widenEnd(double start, double end, double edge, double pixels, double needPixels);
double widenStart(double start, double end, double edge, double pixels, double needPixels);

// The number of segments of runs (points less one per run).
std::size_t segmentCount(const std::vector<Run>& runs);

}  // namespace varenta::plot
