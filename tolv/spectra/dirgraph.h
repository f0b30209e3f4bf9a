#pragma once
// The geometry of the two directional spectrum graphs, without drawing:
// the oblique 3-D view (projection, cube, colour bar, density scale, axes,
// surface points behind two horizons) and the contour graph (plot
// rectangle, levels, the crossing segments of each cell and their joining
// into polylines).  Coordinates are picture units with y upwards from the
// bottom edge; a painter flips them onto its device.
#include "tolv/spectra/dirspectrum.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace varenta {

struct Rgb {
    int r = 255, g = 255, b = 255;
    bool operator==(const Rgb&) const = default;
};

// The 256-step scale: c = 0 white, then red over yellow, green, cyan,
// blue, magenta back towards red; c of 258 or more white.
Rgb colourOfIndex(int c);
// The colour of density v: index nearest(255 (v - dmin) / (dmax - dmin)).
Rgb DensityColour(double v, double dmin, double dmax);

struct PicPoint {
    int x = 0, y = 0;
    bool operator==(const PicPoint&) const = default;
};

// The oblique view: azimuth -40 degrees, elevation 60 degrees, about the
// origin (x0, y0).
PicPoint Project3D(double x, double y, double z, int x0, int y0);

// o = CInt(nd x angle / 360 + 1): the axis offset of the labels (angle A)
// and of the data (angle A' = A + D brought into [0, 360), from 359.5 on
// slightly negative).
int directionOffset(int nd, double angle);
double dataAxisAngle(double a, double declination);
// The direction index (1..nd) drawn at axis position j (0..nd).
int directionAtPosition(int j, int nd, int offset);

struct DirectionTick {
    int position = 0;     // 0..nd
    bool major = false;   // 4 digit widths long, else 2
    std::string letter;   // "N", "E", "S", "W" or empty
};
// Major ticks every nearest(nd / 8) directions, compass letters every
// nearest(nd / 4), counted from the label offset.
std::vector<DirectionTick> directionTicks(int nd, int labelOffset);

// Frequency labels: multiples of a step of 1, 2 or 5 x 10^k with at most
// six labels from 0 to fmax.
std::vector<double> frequencyLabels(double fmax);

// The title ("H3= 1.25m  P1=200ﾟ[12.5s]") and the date ("2026/12/06 10:30").
std::string directionalTitle(double hs, const DirectionalSpectrum& s, const DirectionalAnalysis& a,
                             double declination);
std::string directionalDate(int year, int month, int day, int hour, int minute);

struct PicLine {
    PicPoint a, b;
};
struct PicText {
    std::string text;
    double x = 0, y = 0;
    int hAlign = 0;  // -1 the text starts at the anchor, 0 centred on it, 1 ends at it
    int vAlign = 0;  // -1 the text hangs below the anchor, 0 centred, 1 stands above it
};
struct Marker {
    PicPoint at;
    int colourIndex = 0;
};
struct ColourBand {
    std::array<PicPoint, 4> corners;
    int colourIndex = 0;
};

// Inputs of both graphs besides the spectrum.
struct DirectionalGraphInput {
    int width = 0, height = 0;  // picture, units
    double digitWidth = 8;      // of the picture's font, units
    double textHeight = 16;
    double axisAngle = 0;       // item 82 value 7
    double declination = 0;     // item 99 value 6
};

// The minimum and maximum density.
void densityRange(const DirectionalSpectrum& s, double& dmin, double& dmax);
// A spectrum that can be drawn: complete, nf > 1 and dmax > dmin.
bool drawableSpectrum(const DirectionalSpectrum& s);

struct Graph3D {
    int b = 0, x0 = 0, y0 = 0;
    double dmin = 0, dmax = 0;
    std::vector<PicLine> frame;
    std::vector<ColourBand> bands;     // 256, lowest first
    std::vector<PicLine> ticks;        // density scale, direction and frequency ticks
    std::vector<PicText> labels;       // tick labels, compass letters, axis titles
    std::vector<Marker> markers;       // the visible surface points, in drawing order
};
// Everything of the 3-D graph; without a drawable spectrum only the frame
// and the axes.
Graph3D build3DGraph(const DirectionalSpectrum& s, const DirectionalGraphInput& in);

// ---- contours ----

struct CellCorner {
    double x = 0, y = 0, v = 0;
};
struct Segment {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// The crossings of one cell (corners in their polygon order, missing ones
// already dropped, values less the level with 0 made 0.005): each two
// crossing points one segment, oriented so that the higher side lies on
// the same side of every segment.
void ContourSegments(const std::vector<CellCorner>& corners, std::vector<Segment>& out);

// Joins segments whose ends lie closer than tolerance into polylines (at
// most maxLines); a closed line ends on its first point.
std::vector<std::vector<std::array<double, 2>>> JoinSegments(const std::vector<Segment>& segments,
                                                               double tolerance, std::size_t maxLines = 20000);

// The segment capacity: max(500, nearest(0.7 (nd + 1) nf)).
int contourCapacity(int nd, int nf);

// Contours of a grid of values[row][column] at x0 + column dx, y0 + row dy;
// values of -900 or less are missing.  capacity is doubled (and the level
// contoured again) whenever a level gives more segments than it holds.
std::vector<std::vector<std::array<double, 2>>> contourLevel(const std::vector<std::vector<double>>& values,
                                                               double x0, double y0, double dx, double dy,
                                                               double level, int& capacity);

struct ContourLine {
    int level = 0;  // 1..10
    std::vector<std::array<double, 2>> points;
};
struct ContourGraph {
    double left = 0, bottom = 0, width = 0, height = 0;  // plot rectangle
    double dmin = 0, dmax = 0;
    std::array<double, 10> levels{};
    std::vector<ContourLine> lines;
    std::vector<PicLine> ticks;
    std::vector<PicText> labels;
    int capacity = 0;
};
ContourGraph buildContourGraph(const DirectionalSpectrum& s, const DirectionalGraphInput& in);

}  // namespace varenta
