#pragma once
// The component velocity 2-D graph without drawing: which two channels make
// the horizontal vector (wind before current), the time window (the raw
// data graph's start, the span capped at the burst and written back), the
// user coordinate system with equal units on both axes stretched to the
// picture's shape, the frame, axes, ticks, compass letters and caption, and
// the points (fluctuation about the burst mean, or absolute).
//
// User coordinates: x to the east, y downwards (a value v north is drawn at
// y = -v); the plot area is -FSx..FSx by -FSy..FSy.
#include "common/masterfile.h"
#include "common/settings.h"
#include "tolv/data/graphgeom.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace varenta {

// The channel pair: c = the first wind X channel (type 7), else the first
// current X channel (type 2); the horizontal component is graph row c, the
// vertical row c + 1, each through graphChannel.
struct ComponentPair {
    int row = 0;          // c
    int channelX = 0;     // graphChannel[c]
    int channelY = 0;     // graphChannel[c + 1]
    bool wind = false;    // the pair is wind (type 7 present)
};
// nullopt when the list has neither type, when row c + 1 does not exist,
// or when a row's channel is not recorded.
std::optional<ComponentPair> componentPair(const MeasurementHeader& header, const std::array<int, 8>& graphChannel);

struct VelocityGraphSettings {
    std::array<double, 8> fullScales{};  // item 170 + w value 1
    double windowMinutes = 0;            // item 79 value 0
    std::string captionPrefix;           // item 85 value 0
    bool identify = false;               // item 85 value 3 = "1"
    long long pointColour = 255;         // item 171 value 3
    plot::LineSetting frame;             // item 170 (screen) or 171 (print) values 4 and 5
};
VelocityGraphSettings readVelocityGraphSettings(const Settings& s, bool printMode);

// The samples plotted: from startSample + 1 to startSample +
// samplesPerChannel x minutes / durationMinutes - 1 (within the burst); the
// minutes are item 79 value 0 capped at the burst (writeBack: the setting
// must be replaced by the capped value).
struct VelocityWindow {
    double minutes = 0;
    bool writeBack = false;
    long long first = 0;
    long long last = -1;  // inclusive; last < first: no point
};
VelocityWindow velocityWindow(long long samplesPerChannel, int durationMinutes, double windowMinutes,
                              long long startSample);

struct VelocityGraphData {
    const MeasurementHeader* header = nullptr;
    std::array<int, 8> graphChannel{};
    const std::vector<std::vector<float>>* values = nullptr;  // [channel][sample]
    // Burst means per channel from the conversion; empty (or a channel
    // beyond it): the mean of the channel's valid values.
    std::vector<float> burstMeans;
    std::vector<std::string> unitTexts;  // value 1 of the channel definitions, per channel
    long long startSample = 0;           // the raw data graph's window start
    int machineNumber = 0;
    long long currentNumber = 0;
    std::string dateText, timeText;
};

struct VelocityLabel {
    std::string text;
    double x = 0, y = 0;
    // Alignment of the text box at (x, y): -1 left/top, 0 centre, 1 right/bottom.
    int h = 0, v = 0;
};

struct VelocityGraphLayout {
    bool drawable = false;   // a pair exists and there are samples
    ComponentPair pair;
    VelocityWindow window;
    double fsx = 1, fsy = 1;
    plot::Rect view;         // user coordinates of the whole picture
    plot::Rect plot;         // -FSx..FSx, -FSy..FSy
    std::vector<plot::Tick> xTicks, yTicks;  // positions on the axes (numbers at the frame's ends)
    double tickLength = 0;   // in y units for x ticks; xTickLength for y ticks
    double tickLengthX = 0;
    std::vector<VelocityLabel> labels;  // "0", "E", "W", "N", "S", numbers, units
    std::string caption;
    double captionY = 0;
    std::vector<float> px, py;  // the points (user coordinates, y already negated)
    double meanX = 0, meanY = 0;  // the means removed (fluctuation) or the burst means (absolute)
};

// Lays the graph out for a picture of pictureWidth x pictureHeight (any
// unit: only the ratio matters).  absolute: the burst means added back.
VelocityGraphLayout layoutVelocityGraph(const VelocityGraphData& data, const VelocityGraphSettings& settings,
                                        double pictureWidth, double pictureHeight, bool absolute);

}  // namespace varenta
