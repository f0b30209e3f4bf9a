// Geometry of the directional spectrum graphs: axis offsets and ticks, the
// colour scale, the projection, the hidden-point rule, contour cells and
// their joining.
#include "tolv/spectra/dirgraph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <set>

namespace varenta {
namespace {

DirectionalSpectrum grid(int nf, int nd, const std::function<double(int, int)>& f)
{
    DirectionalSpectrum s;
    s.nf = nf, s.nd = nd;
    for (int i = 1; i <= nf; ++i) {
        s.frequency.push_back(0.02f * static_cast<float>(i));
        for (int j = 1; j <= nd; ++j)
            s.density.push_back(static_cast<float>(f(i, j)));
    }
    return s;
}

TEST(DirectionalAxes, OffsetsTicksAndLetters)
{
    const auto ticks = directionTicks(36, directionOffset(36, 0));
    ASSERT_EQ(ticks.size(), 37u);
    for (const DirectionTick& t : ticks) {
        EXPECT_EQ(t.major, t.position % 4 == 0) << t.position;  // nearest(4.5) = 4
        EXPECT_EQ(!t.letter.empty(), t.position % 9 == 0) << t.position;
    }
    EXPECT_EQ(ticks[9].letter, "E");
    EXPECT_EQ(ticks[27].letter, "W");
    EXPECT_EQ(ticks[36].letter, "N");
    EXPECT_EQ(directionTicks(36, directionOffset(36, 90))[0].letter, "E");

    struct Case {
        int nd;
        double a, d;
        int position, index;
    };
    const Case cases[] = {
        {36, 0, 0, 0, 1},    // A = 0, D = 0: index 1 first
        {36, 0, 0, 36, 1},   // the last position repeats the first
        {72, 0, 7, 0, 2},    // CInt(1.4 + 1)
        {8, 90, 0, 0, 3},
        {8, 0, 359.7, 0, 1},  // A' = -0.3
    };
    for (const Case& c : cases)
        EXPECT_EQ(directionAtPosition(c.position, c.nd, directionOffset(c.nd, dataAxisAngle(c.a, c.d))), c.index)
            << c.nd << " " << c.a << " " << c.d;
    EXPECT_NEAR(dataAxisAngle(0, 359.7), -0.3, 1e-9);
}

TEST(DirectionalColours, TheScale)
{
    struct Case {
        int c;
        Rgb rgb;
    };
    const Case cases[] = {{0, {255, 255, 255}}, {1, {255, 6, 0}},     {43, {252, 255, 0}}, {86, {0, 255, 0}},
                          {129, {0, 252, 255}}, {172, {0, 0, 255}},   {215, {255, 0, 240}}, {255, {255, 0, 0}},
                          {258, {255, 255, 255}}};
    for (const Case& k : cases)
        EXPECT_EQ(colourOfIndex(k.c), k.rgb) << k.c;
    EXPECT_EQ(DensityColour(2, 2, 4), (Rgb{255, 255, 255}));  // the lowest density is white
    EXPECT_EQ(DensityColour(4, 2, 4), (Rgb{255, 0, 0}));
}

TEST(Directional3D, ProjectionBarAndHiddenPoints)
{
    EXPECT_EQ(Project3D(0, 0, 0, 500, 400), (PicPoint{500, 400}));
    EXPECT_EQ(Project3D(100, 0, 0, 500, 400), (PicPoint{564, 362}));
    EXPECT_EQ(Project3D(0, 100, 0, 500, 400), (PicPoint{577, 432}));
    EXPECT_EQ(Project3D(0, 0, 100, 500, 400), (PicPoint{500, 487}));

    DirectionalGraphInput in;
    in.width = 1000, in.height = 750;
    // A wall along the front direction edge over a low floor.
    const auto s = grid(20, 36, [](int i, int j) { return j == 36 ? 5.0 : 0.1 * i; });
    const Graph3D g = build3DGraph(s, in);
    // A wide picture: the cube shrinks to fit between title and labels.
    EXPECT_LT(g.b, 255);
    for (const PicLine& l : g.frame)
        for (const PicPoint& p : {l.a, l.b}) {
            EXPECT_GE(p.y, 2 * in.textHeight - 1);
            EXPECT_LE(p.y, in.height - 1.5 * in.textHeight + 1);
        }
    // A tall one keeps B = Int(0.34 L) and Y0 = Int(0.62 H).
    DirectionalGraphInput tall = in;
    tall.width = 600, tall.height = 1000;
    const Graph3D t = build3DGraph(s, tall);
    EXPECT_EQ(t.b, 204);
    EXPECT_EQ(t.y0, 620);
    ASSERT_EQ(g.bands.size(), 256u);
    EXPECT_EQ(g.bands.front().colourIndex, 0);
    EXPECT_EQ(g.bands.back().colourIndex, 254);
    EXPECT_LT(g.markers.size(), 37u * 20u);
    // Every marker lay outside the span of the markers drawn before it in its column.
    std::map<int, std::pair<int, int>> span;
    for (const Marker& m : g.markers) {
        auto it = span.find(m.at.x);
        if (it != span.end()) {
            EXPECT_TRUE(m.at.y > it->second.second || m.at.y < it->second.first) << m.at.x << "," << m.at.y;
            it->second = {std::min(it->second.first, m.at.y), std::max(it->second.second, m.at.y)};
        } else {
            span[m.at.x] = {m.at.y, m.at.y};
        }
    }
    // Flat: the frame and the axes only.
    const Graph3D flat = build3DGraph(grid(20, 36, [](int, int) { return 1.0; }), in);
    EXPECT_EQ(flat.frame.size(), 9u);
    EXPECT_TRUE(flat.markers.empty());
    EXPECT_TRUE(flat.bands.empty());
}

TEST(DirectionalContours, CellsCornersAndJoining)
{
    int capacity = 500;
    // A corner on the level counts as above it: no zero-length segment.
    auto lines = contourLevel({{0, 1}, {1, 1}}, 0, 0, 1, 1, 1, capacity);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].size(), 2u);
    EXPECT_GT(std::hypot(lines[0][0][0] - lines[0][1][0], lines[0][0][1] - lines[0][1][1]), 0.9);
    // A missing corner: the cell is a triangle.
    lines = contourLevel({{0, 2}, {2, -999}}, 0, 0, 1, 1, 1, capacity);
    ASSERT_EQ(lines.size(), 1u);
    std::set<std::pair<double, double>> ends{{lines[0][0][0], lines[0][0][1]}, {lines[0][1][0], lines[0][1][1]}};
    EXPECT_EQ(ends, (std::set<std::pair<double, double>>{{0, 0.5}, {0.5, 0}}));
    // Too small a capacity is doubled until the level fits.
    capacity = 1;
    lines = contourLevel({{0, 2, 0, 2}, {2, 0, 2, 0}}, 0, 0, 1, 1, 1, capacity);
    EXPECT_EQ(capacity, 8);  // six segments: three saddle cells
    EXPECT_EQ(contourCapacity(72, 64), 3270);
    EXPECT_EQ(contourCapacity(8, 4), 500);

    // Ends closer than the tolerance join; the line count is limited.
    std::vector<Segment> segs{{0, 0, 1, 0}, {1.004, 0, 2, 0}, {2.02, 0, 3, 0}};
    EXPECT_EQ(JoinSegments(segs, 0.01).size(), 2u);
    segs.clear();
    for (int k = 0; k < 20005; ++k)
        segs.push_back({3.0 * k, 0, 3.0 * k + 1, 0});
    EXPECT_EQ(JoinSegments(segs, 0.01).size(), 20000u);
}

TEST(DirectionalContours, GaussianBumpGivesClosedEllipses)
{
    // exp(-((x - 20)^2 / (2 * 36) + (y - 15)^2 / (2 * 16))) on a unit grid.
    std::vector<std::vector<double>> v(31, std::vector<double>(41));
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 41; ++x)
            v[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                std::exp(-((x - 20.0) * (x - 20.0) / 72 + (y - 15.0) * (y - 15.0) / 32));
    for (double level : {0.2, 0.5, 0.8}) {
        int capacity = 500;
        const auto lines = contourLevel(v, 0, 0, 1, 1, level, capacity);
        ASSERT_EQ(lines.size(), 1u) << level;
        const auto& l = lines[0];
        EXPECT_NEAR(l.front()[0], l.back()[0], 0.02);
        EXPECT_NEAR(l.front()[1], l.back()[1], 0.02);
        const double r = std::sqrt(-2 * std::log(level));
        double area = 0;
        for (std::size_t k = 0; k < l.size(); ++k) {
            const double ex = (l[k][0] - 20) / 6, ey = (l[k][1] - 15) / 4;
            const double rho = std::hypot(ex, ey);
            // Distance to the ellipse along the ray, in grid cells.
            const double dist = std::abs(rho - r) * std::hypot(6 * ex, 4 * ey) / rho;
            EXPECT_LT(dist, 0.5) << level;
            const auto& n = l[(k + 1) % l.size()];
            area += l[k][0] * n[1] - n[0] * l[k][1];
        }
        EXPECT_NEAR(std::abs(area / 2), 3.14159265 * 6 * r * 4 * r, 0.05 * 3.14159265 * 24 * r * r);
        EXPECT_LT(area, 0) << "the higher side keeps one orientation";
    }
}

TEST(DirectionalContours, GraphLevelsAndNorth)
{
    DirectionalGraphInput in;
    in.width = 1000, in.height = 750;
    // A bump around direction 1 (north), split between both edges.
    const auto s = grid(16, 36, [](int i, int j) {
        const double dj = std::min(j - 1, 37 - j);
        return std::exp(-(dj * dj / 8 + (i - 8.0) * (i - 8.0) / 8));
    });
    const ContourGraph g = buildContourGraph(s, in);
    EXPECT_DOUBLE_EQ(g.levels[8], g.dmax);
    std::vector<double> leftEnds, rightEnds;
    for (const ContourLine& l : g.lines) {
        EXPECT_LE(l.level, 8);
        for (const auto& p : {l.points.front(), l.points.back()}) {
            if (std::abs(p[0] - g.left) < 1e-6)
                leftEnds.push_back(std::round(p[1] * 1000));
            if (std::abs(p[0] - g.left - g.width) < 1e-6)
                rightEnds.push_back(std::round(p[1] * 1000));
        }
    }
    EXPECT_FALSE(leftEnds.empty());
    std::sort(leftEnds.begin(), leftEnds.end());
    std::sort(rightEnds.begin(), rightEnds.end());
    EXPECT_EQ(leftEnds, rightEnds);  // what leaves at the right edge comes back at the left
}

}  // namespace
}  // namespace varenta
