#include "tolv/spectra/dirgraph.h"

#include "common/format.h"
#include "common/numeric.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <deque>
#include <unordered_map>

namespace varenta {

namespace {

const double kPi = 4 * std::atan(1.0);
const double kPhi = -40 * kPi / 180;
const double kPsi = 60 * kPi / 180;
constexpr double kMissing = -900;
const char* const kCompass[4] = {"N", "E", "S", "W"};

int clampByte(int v) { return std::clamp(v, 0, 255); }

// Unit vector of a model direction as it appears in the picture.
void projectedUnit(double ux, double uy, double& px, double& py)
{
    px = -std::sin(kPhi) * ux + std::cos(kPhi) * uy;
    py = -std::cos(kPhi) * std::cos(kPsi) * ux - std::cos(kPsi) * std::sin(kPhi) * uy;
    const double n = std::hypot(px, py);
    px /= n;
    py /= n;
}

PicPoint moved(PicPoint p, double ux, double uy, double length)
{
    return {static_cast<int>(roundEven(p.x + ux * length)), static_cast<int>(roundEven(p.y + uy * length))};
}

int colourIndexOf(double v, double dmin, double dmax)
{
    if (!(dmax > dmin))
        return 0;
    return roundEvenInt(255 * (v - dmin) / (dmax - dmin));
}

// Row position (0-based, fractional) of a frequency on the frequency array.
double rowOfFrequency(const DirectionalSpectrum& s, double f)
{
    for (int i = 1; i < s.nf; ++i) {
        const double a = s.frequency[static_cast<std::size_t>(i - 1)], b = s.frequency[static_cast<std::size_t>(i)];
        if (f <= b || i == s.nf - 1)
            return (i - 1) + (b > a ? (f - a) / (b - a) : 0.0);
    }
    return 0;
}

}  // namespace

Rgb colourOfIndex(int c)
{
    if (c <= 0 || c >= 258)
        return {255, 255, 255};
    const int d = 6 * c;
    Rgb k;
    switch (c / 43) {
    case 0: k = {255, d, 0}; break;
    case 1: k = {510 - d, 255, 0}; break;
    case 2: k = {0, 255, d - 516}; break;
    case 3: k = {0, 1026 - d, 255}; break;
    case 4: k = {d - 1032, 0, 255}; break;
    default: k = {255, 0, 1530 - d}; break;
    }
    return {clampByte(k.r), clampByte(k.g), clampByte(k.b)};
}

Rgb DensityColour(double v, double dmin, double dmax) { return colourOfIndex(colourIndexOf(v, dmin, dmax)); }

PicPoint Project3D(double x, double y, double z, int x0, int y0)
{
    const double X = -std::sin(kPhi) * x + std::cos(kPhi) * y + x0;
    const double Y = -std::cos(kPhi) * std::cos(kPsi) * x - std::cos(kPsi) * std::sin(kPhi) * y + std::sin(kPsi) * z + y0;
    return {static_cast<int>(roundEven(X)), static_cast<int>(roundEven(Y))};
}

int directionOffset(int nd, double angle) { return roundEvenInt(nd * angle / 360 + 1); }

double dataAxisAngle(double a, double declination)
{
    double t = std::fmod(a + declination, 360.0);
    if (t < 0)
        t += 360;
    if (t >= 359.5)
        t -= 360;
    return t;
}

int directionAtPosition(int j, int nd, int offset)
{
    if (nd < 1)
        return 1;
    return (((j + offset - 1) % nd) + nd) % nd + 1;
}

std::vector<DirectionTick> directionTicks(int nd, int labelOffset)
{
    std::vector<DirectionTick> ticks;
    if (nd < 1)
        return ticks;
    const int major = std::max(1, roundEvenInt(nd / 8.0));
    const int letter = std::max(1, roundEvenInt(nd / 4.0));
    for (int j = 0; j <= nd; ++j) {
        int d = j + labelOffset;
        while (d > nd)
            d -= nd;
        while (d < 1)
            d += nd;
        DirectionTick t;
        t.position = j;
        t.major = (d - 1) % major == 0;
        if ((d - 1) % letter == 0)
            t.letter = kCompass[((d - 1) / letter) % 4];
        ticks.push_back(t);
    }
    return ticks;
}

std::vector<double> frequencyLabels(double fmax)
{
    std::vector<double> out;
    if (!(fmax > 0) || !std::isfinite(fmax))
        return out;
    double step = std::pow(10.0, std::floor(std::log10(fmax)));
    for (double m : {0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0})
        if (fmax / (step * m) <= 5.0) {
            step *= m;
            break;
        }
    for (int k = 0; k * step <= fmax * (1 + 1e-9); ++k)
        out.push_back(k * step);
    return out;
}

std::string directionalTitle(double hs, const DirectionalSpectrum& s, const DirectionalAnalysis& a, double declination)
{
    std::string t = "H3=" + rightAlign(formatMask(hs, "#0.00m"), 6);
    for (std::size_t k = 0; k < a.peaks.size(); ++k) {
        const SpectralPeak& p = a.peaks[k];
        long long deg = roundEven(correctDeclination(directionAngle(p.direction, s.nd), declination));
        if (deg < 0)
            deg += 360;
        const float f = p.frequency >= 1 && p.frequency <= s.nf ? s.frequency[static_cast<std::size_t>(p.frequency - 1)] : 0;
        t += "  P" + std::to_string(k + 1) + "=" + std::to_string(deg) + "ﾟ[" +
             rightAlign(formatMask(f > 0 ? 1.0 / f : 0.0, "#0.0"), 4) + "s]";
    }
    return t;
}

std::string directionalDate(int year, int month, int day, int hour, int minute)
{
    if (year >= 0 && year < 100)
        year += 2000;
    return formatMask(year, "0000/") + formatMask(month, "00/") + formatMask(day, "00 ") + formatMask(hour, "00") +
           ":" + formatMask(minute, "00");
}

void densityRange(const DirectionalSpectrum& s, double& dmin, double& dmax)
{
    dmin = dmax = 0;
    if (s.density.empty())
        return;
    const auto [lo, hi] = std::minmax_element(s.density.begin(), s.density.end());
    dmin = *lo;
    dmax = *hi;
}

bool drawableSpectrum(const DirectionalSpectrum& s)
{
    if (!s.complete() || s.nf < 2)
        return false;
    double dmin, dmax;
    densityRange(s, dmin, dmax);
    return dmax > dmin && s.frequency.back() > 0;
}

Graph3D build3DGraph(const DirectionalSpectrum& s, const DirectionalGraphInput& in)
{
    Graph3D g;
    const int W = in.width, H = in.height;
    // The cube spans 1.5708 B above and below the origin; where the
    // stated size and origin (B = Int(0.34 L), Y0 = Int(0.62 H)) would put
    // its back corner or its front edge outside the picture, the cube is
    // made smaller and its origin moved so that it fits between the title
    // line and the direction labels.
    const double top = 1.5 * in.textHeight, bottom = 2 * in.textHeight;
    const double half = std::sin(kPsi) + std::cos(kPsi) * (std::cos(kPhi) - std::sin(kPhi));  // 1.5708
    int B = static_cast<int>(0.34 * std::min(W, H));
    B = std::max(0, std::min(B, static_cast<int>((H - top - bottom) / (2 * half))));
    g.b = B;
    g.x0 = static_cast<int>(0.52 * W);
    g.y0 = std::clamp(static_cast<int>(0.62 * H), static_cast<int>(std::ceil(bottom + half * B)),
                      std::max(static_cast<int>(std::ceil(bottom + half * B)), static_cast<int>(H - top - half * B)));
    const auto P = [&](double x, double y, double z) { return Project3D(x, y, z, g.x0, g.y0); };
    const double b = B;

    // The cube: the floor, the three back edges upright, the back walls' tops.
    g.frame = {{P(-b, -b, -b), P(b, -b, -b)}, {P(b, -b, -b), P(b, b, -b)},   {P(b, b, -b), P(-b, b, -b)},
               {P(-b, b, -b), P(-b, -b, -b)}, {P(-b, -b, -b), P(-b, -b, b)}, {P(-b, b, -b), P(-b, b, b)},
               {P(b, b, -b), P(b, b, b)},     {P(-b, -b, b), P(-b, b, b)},   {P(-b, b, b), P(b, b, b)}};

    const bool drawable = drawableSpectrum(s);
    if (drawable)
        densityRange(s, g.dmin, g.dmax);
    const double dw = in.digitWidth;

    // Colour bar and density scale along the upright edge of the back corner.
    const PicPoint back = P(-b, b, -b);
    const int barWidth = std::max(4, B / 16);
    if (drawable) {
        for (int i = 0; i < 256; ++i) {
            const int y1 = P(-b, b, -b + 2 * b * i / 256.0).y, y2 = P(-b, b, -b + 2 * b * (i + 1) / 256.0).y;
            const double v = g.dmin + i * (g.dmax - g.dmin) / 256;
            g.bands.push_back({{PicPoint{back.x - barWidth, y1}, PicPoint{back.x, y1}, PicPoint{back.x, y2},
                                PicPoint{back.x - barWidth, y2}},
                               colourIndexOf(v, g.dmin, g.dmax)});
        }
        for (int k = 0; k <= 10; ++k) {
            const PicPoint p = P(-b, b, -b + 2 * b * k / 10.0);
            const int x = back.x - barWidth;
            g.ticks.push_back({{x, p.y}, {x - static_cast<int>(dw), p.y}});
            g.labels.push_back({formatMask(g.dmin + k * (g.dmax - g.dmin) / 10, "##0.0000"), x - 1.5 * dw,
                                static_cast<double>(p.y), 1, 0});
        }
    }

    // Direction axis along the front edge; ticks point away from the cube.
    double ox, oy;
    projectedUnit(0, -1, ox, oy);
    const int nd = std::max(s.nd, 1);
    const int ol = directionOffset(nd, in.axisAngle);
    for (const DirectionTick& t : directionTicks(nd, ol)) {
        const PicPoint p = P(-b + 2 * b * t.position / nd, -b, -b);
        const PicPoint e = moved(p, ox, oy, (t.major ? 4 : 2) * dw);
        g.ticks.push_back({p, e});
        if (!t.letter.empty())
            g.labels.push_back({t.letter, e.x + ox * dw, e.y + oy * in.textHeight * 0.6, 0, 0});
    }
    {
        const PicPoint mid = moved(P(0, -b, -b), ox, oy, 6 * dw + in.textHeight);
        g.labels.push_back({"波向", static_cast<double>(mid.x), static_cast<double>(mid.y), 0, 0});
    }

    // Frequency axis along the side edge.
    double fx, fy;
    projectedUnit(1, 0, fx, fy);
    const double fmax = drawable ? s.frequency.back() : 0;
    for (double f : frequencyLabels(fmax)) {
        const PicPoint p = P(b, -b + 2 * b * f / fmax, -b);
        const PicPoint e = moved(p, fx, fy, 2 * dw);
        g.ticks.push_back({p, e});
        g.labels.push_back({formatMask(f, "#0.00"), e.x + fx * dw, e.y + fy * dw, -1, 0});
    }
    {
        const PicPoint mid = moved(P(b, 0, -b), fx, fy, 8 * dw);
        g.labels.push_back({"周波数(Hz)", static_cast<double>(mid.x), mid.y - in.textHeight, -1, 0});
    }

    // The surface, from the far direction edge forwards, behind two horizons.
    if (drawable) {
        const int od = directionOffset(nd, dataAxisAngle(in.axisAngle, in.declination));
        std::vector<int> upper(static_cast<std::size_t>(std::max(W, 1)), INT_MIN);
        std::vector<int> lower(static_cast<std::size_t>(std::max(W, 1)), INT_MAX);
        const double span = g.dmax - g.dmin;
        for (int j = nd; j >= 0; --j) {
            const int dir = directionAtPosition(j, nd, od);
            const double x = -b + 2 * b * j / nd;
            for (int i = 1; i <= s.nf; ++i) {
                const double v = s.at(i, dir);
                const PicPoint p = P(x, -b + 2 * b * s.frequency[static_cast<std::size_t>(i - 1)] / fmax,
                                     -b + 2 * b * (v - g.dmin) / span);
                if (p.x < 0 || p.x >= W)
                    continue;
                int& up = upper[static_cast<std::size_t>(p.x)];
                int& lo = lower[static_cast<std::size_t>(p.x)];
                if (p.y > up || p.y < lo) {
                    up = std::max(up, p.y);
                    lo = std::min(lo, p.y);
                    g.markers.push_back({p, colourIndexOf(v, g.dmin, g.dmax)});
                }
            }
        }
    }
    return g;
}

void ContourSegments(const std::vector<CellCorner>& c, std::vector<Segment>& out)
{
    struct Crossing {
        double x, y;
        bool firstAbove;
    };
    Crossing pts[8];
    int n = 0;
    const std::size_t m = c.size();
    for (std::size_t e = 0; e < m && n < 8; ++e) {
        const CellCorner& a = c[e];
        const CellCorner& b = c[(e + 1) % m];
        if (a.v * b.v > 0 || a.v == b.v)
            continue;
        const double t = a.v / (b.v - a.v);
        pts[n++] = {a.x - t * (b.x - a.x), a.y - t * (b.y - a.y), a.v > 0};
    }
    for (int k = 0; k + 1 < n; k += 2) {
        if (pts[k].firstAbove)
            out.push_back({pts[k].x, pts[k].y, pts[k + 1].x, pts[k + 1].y});
        else
            out.push_back({pts[k + 1].x, pts[k + 1].y, pts[k].x, pts[k].y});
    }
}

std::vector<std::vector<std::array<double, 2>>> JoinSegments(const std::vector<Segment>& segs, double tolerance,
                                                               std::size_t maxLines)
{
    std::vector<std::vector<std::array<double, 2>>> lines;
    const double tol2 = tolerance * tolerance;
    const double cell = tolerance > 0 ? tolerance : 1e-12;
    // The ends of every segment by cell of a grid as fine as the tolerance:
    // a near end lies in the same cell or one of its eight neighbours.
    const auto key = [](long long cx, long long cy) { return (cx * 73856093LL) ^ (cy * 19349663LL); };
    const auto cellOf = [cell](double v) { return static_cast<long long>(std::floor(v / cell)); };
    std::unordered_multimap<long long, std::size_t> ends;  // value: 2 * segment + (0 start, 1 end)
    ends.reserve(segs.size() * 2);
    for (std::size_t s = 0; s < segs.size(); ++s) {
        ends.emplace(key(cellOf(segs[s].x1), cellOf(segs[s].y1)), 2 * s);
        ends.emplace(key(cellOf(segs[s].x2), cellOf(segs[s].y2)), 2 * s + 1);
    }
    std::vector<char> used(segs.size(), 0);
    // An unused segment with an end near (x, y): its index and which end.
    const auto findNear = [&](double x, double y, std::size_t& seg, bool& atStart) {
        const long long cx = cellOf(x), cy = cellOf(y);
        for (long long dx = -1; dx <= 1; ++dx)
            for (long long dy = -1; dy <= 1; ++dy) {
                auto [it, last] = ends.equal_range(key(cx + dx, cy + dy));
                for (; it != last; ++it) {
                    const std::size_t s = it->second / 2;
                    if (used[s])
                        continue;
                    const bool start = it->second % 2 == 0;
                    const double ex = start ? segs[s].x1 : segs[s].x2, ey = start ? segs[s].y1 : segs[s].y2;
                    if ((ex - x) * (ex - x) + (ey - y) * (ey - y) < tol2) {
                        seg = s;
                        atStart = start;
                        return true;
                    }
                }
            }
        return false;
    };
    for (std::size_t s = 0; s < segs.size() && lines.size() < maxLines; ++s) {
        if (used[s])
            continue;
        used[s] = 1;
        std::deque<std::array<double, 2>> line{{segs[s].x1, segs[s].y1}, {segs[s].x2, segs[s].y2}};
        std::size_t t = 0;
        bool atStart = false;
        // Forwards from the tail, then backwards from the head (a closed
        // line has come back to its head already).
        while (findNear(line.back()[0], line.back()[1], t, atStart)) {
            used[t] = 1;
            line.push_back(atStart ? std::array<double, 2>{segs[t].x2, segs[t].y2}
                                   : std::array<double, 2>{segs[t].x1, segs[t].y1});
        }
        const auto& h = line.front();
        const auto& b = line.back();
        const bool closed = line.size() > 2 && (h[0] - b[0]) * (h[0] - b[0]) + (h[1] - b[1]) * (h[1] - b[1]) < tol2;
        while (!closed && findNear(line.front()[0], line.front()[1], t, atStart)) {
            used[t] = 1;
            line.push_front(atStart ? std::array<double, 2>{segs[t].x2, segs[t].y2}
                                    : std::array<double, 2>{segs[t].x1, segs[t].y1});
        }
        lines.emplace_back(line.begin(), line.end());
    }
    return lines;
}

int contourCapacity(int nd, int nf) { return std::max(500, roundEvenInt(0.7 * (nd + 1) * nf)); }

std::vector<std::vector<std::array<double, 2>>> contourLevel(const std::vector<std::vector<double>>& values, double x0,
                                                               double y0, double dx, double dy, double level,
                                                               int& capacity)
{
    std::vector<Segment> segs;
    const std::size_t rows = values.size();
    const std::size_t cols = rows ? values[0].size() : 0;
    // A corner exactly on the level counts as lying a little above it.
    const double onLevel = 0.005;
    for (;;) {
        segs.clear();
        segs.reserve(static_cast<std::size_t>(capacity));
        std::vector<CellCorner> corners;
        for (std::size_t r = 0; r + 1 < rows; ++r)
            for (std::size_t c = 0; c + 1 < cols; ++c) {
                corners.clear();
                const std::pair<std::size_t, std::size_t> order[4] = {{c, r}, {c, r + 1}, {c + 1, r + 1}, {c + 1, r}};
                for (auto [cc, rr] : order) {
                    const double v = values[rr][cc];
                    if (v <= kMissing)
                        continue;
                    const double d = v - level;
                    corners.push_back({x0 + static_cast<double>(cc) * dx, y0 + static_cast<double>(rr) * dy,
                                       d == 0 ? onLevel : d});
                }
                if (corners.size() >= 3)
                    ContourSegments(corners, segs);
            }
        if (segs.size() <= static_cast<std::size_t>(capacity))
            break;
        capacity *= 2;
    }
    return JoinSegments(segs, 0.01 * std::sqrt(dx * dx + dy * dy));
}

ContourGraph buildContourGraph(const DirectionalSpectrum& s, const DirectionalGraphInput& in)
{
    ContourGraph g;
    const double W = in.width, H = in.height;
    g.width = static_cast<int>(0.8 * W);
    g.height = static_cast<int>(0.8 * H);
    g.left = static_cast<int>(0.56 * W) - g.width / 2;
    g.bottom = static_cast<int>(0.52 * H) - g.height / 2;
    const int nd = std::max(s.nd, 1);
    const double dx = g.width / nd;
    const double dw = in.digitWidth;

    const int ol = directionOffset(nd, in.axisAngle);
    for (const DirectionTick& t : directionTicks(nd, ol)) {
        const double x = g.left + t.position * dx;
        const double len = (t.major ? 1.0 : 0.5) * in.textHeight * 0.5;
        g.ticks.push_back({{static_cast<int>(roundEven(x)), static_cast<int>(g.bottom)},
                           {static_cast<int>(roundEven(x)), static_cast<int>(roundEven(g.bottom - len))}});
        if (!t.letter.empty())
            g.labels.push_back({t.letter, x, g.bottom - 0.6 * in.textHeight, 0, -1});
    }
    g.labels.push_back({"波向", g.left + g.width / 2, g.bottom - 1.8 * in.textHeight, 0, -1});

    if (!drawableSpectrum(s))
        return g;
    densityRange(s, g.dmin, g.dmax);
    const double f1 = s.frequency.front(), fn = s.frequency.back();
    const double dy = g.height / (s.nf - 1);
    for (double f : frequencyLabels(fn)) {
        if (f < f1 - 1e-9)
            continue;
        const double y = g.bottom + rowOfFrequency(s, f) * dy;
        g.ticks.push_back({{static_cast<int>(g.left), static_cast<int>(roundEven(y))},
                           {static_cast<int>(roundEven(g.left - dw)), static_cast<int>(roundEven(y))}});
        g.labels.push_back({formatMask(f, "#0.00"), g.left - 1.5 * dw, y, 1, 0});
    }

    const int od = directionOffset(nd, dataAxisAngle(in.axisAngle, in.declination));
    std::vector<std::vector<double>> grid(static_cast<std::size_t>(s.nf), std::vector<double>(static_cast<std::size_t>(nd) + 1));
    for (int i = 1; i <= s.nf; ++i)
        for (int j = 0; j <= nd; ++j)
            grid[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j)] = s.at(i, directionAtPosition(j, nd, od));
    g.capacity = contourCapacity(nd, s.nf);
    for (int k = 1; k <= 10; ++k) {
        const double level = g.dmin + k * (g.dmax - g.dmin) / 9;
        g.levels[static_cast<std::size_t>(k - 1)] = level;
        // Nothing reaches the top level or above.
        if (level >= g.dmax)
            continue;
        for (auto& pts : contourLevel(grid, g.left, g.bottom, dx, dy, level, g.capacity))
            g.lines.push_back({k, std::move(pts)});
    }
    return g;
}

}  // namespace varenta
