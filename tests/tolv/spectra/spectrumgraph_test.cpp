#include "tolv/spectra/spectrumgraph.h"

#include "common/textfile.h"
#include "tolv/spectra/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include <unistd.h>

namespace varenta {
namespace {

Spectrum flatSpectrum(int n, float dt, float level)
{
    Spectrum s;
    s.length = n;
    s.df = 1.0f / ((n - 1) * dt);
    for (int b = 1; b <= n / 2; ++b) {
        s.frequency.push_back(b * s.df);
        s.density.push_back(level);
    }
    return s;
}

TEST(SpectrumGraph, DecadeLabels)
{
    const std::vector<std::pair<int, std::string>> cases{{-7, "0"},     {-6, "0"},   {-5, "0.00001"}, {-4, "0.0001"},
                                                         {-3, "0.001"}, {-1, "0.1"}, {0, "1"},        {1, "10"},
                                                         {2, "100"},    {4, "10000"}};
    for (const auto& [e, text] : cases)
        EXPECT_EQ(decadeLabel(e), text) << e;
}

TEST(SpectrumGraph, VerticalScaleFollowsTheLargestDensity)
{
    struct Case {
        float ymax;
        int decades;
        int top, bottom;
    };
    for (const Case c : {Case{5.0f, 5, 1, -4}, Case{50.0f, 5, 2, -3}, Case{0.05f, 4, 0, -4}, Case{1e-5f, 3, 0, -3},
                         Case{0.5f, 6, 1, -5}, Case{0.0f, 5, 1, -4}, Case{250.0f, 0, 3, 2}}) {
        Spectrum s = flatSpectrum(1024, 1.0f, 0.001f);
        s.density[17] = c.ymax;
        if (c.ymax == 0.0f)  // an all-zero spectrum: Log10F(0) = 1E-08
            std::fill(s.density.begin(), s.density.end(), 0.0f);
        SpectrumGraphInfo info;
        info.decades = c.decades;
        const SpectrumFrame f = buildSpectrumFrame(s, 1.0f, info);
        EXPECT_EQ(f.top, c.top) << c.ymax;
        EXPECT_EQ(f.bottom, c.bottom) << c.ymax;
        EXPECT_DOUBLE_EQ(f.viewBottom, c.bottom - 0.6);
        EXPECT_DOUBLE_EQ(f.viewTop, c.top + 0.3);
        EXPECT_EQ(f.yLabels.size(), static_cast<std::size_t>(c.top - c.bottom + 1));
        EXPECT_EQ(f.horizontalGrid.size(), static_cast<std::size_t>(9 * (c.top - c.bottom)));
    }
}

TEST(SpectrumGraph, FrequencyDecadesFromRecordLengthAndInterval)
{
    struct Case {
        int n;
        float dt;
        int xl, xr;
    };
    for (const Case c : {Case{4096, 0.5f, -4, 0}, Case{1024, 1.0f, -3, 0}, Case{2048, 1.0f, -4, 0},
                         Case{4096, 0.2f, -3, 1}, Case{8192, 0.2f, -4, 1}, Case{8192, 0.1f, -3, 1},
                         Case{4096, 0.04f, -3, 2}}) {
        const SpectrumFrame f = buildSpectrumFrame(flatSpectrum(c.n, c.dt, 1.0f), c.dt, {});
        EXPECT_EQ(f.xl, c.xl) << c.n << " " << c.dt;
        EXPECT_EQ(f.xr, c.xr) << c.n << " " << c.dt;
        EXPECT_DOUBLE_EQ(f.viewLeft, c.xl - 0.3);
        EXPECT_DOUBLE_EQ(f.viewRight, c.xr + 0.2);
        ASSERT_EQ(f.xLabels.size(), static_cast<std::size_t>(c.xr - c.xl + 1));
        EXPECT_EQ(f.xLabels.front().text, decadeLabel(c.xl));
        EXPECT_EQ(f.xLabels.back().text, decadeLabel(c.xr));
        ASSERT_EQ(f.verticalGrid.size(), static_cast<std::size_t>(9 * (c.xr - c.xl)));
        // Grid lines at log10(k 10^e), k = 2..10, spanning the frame height.
        EXPECT_NEAR(f.verticalGrid[0].x1, c.xl + std::log10(2.0), 1e-12);
        EXPECT_NEAR(f.verticalGrid[8].x1, c.xl + 1.0, 1e-12);
        EXPECT_EQ(f.verticalGrid[0].y1, f.bottom);
        EXPECT_EQ(f.verticalGrid[0].y2, f.top);
    }
}

TEST(SpectrumGraph, LabelPlacement)
{
    const SpectrumFrame f = buildSpectrumFrame(flatSpectrum(1024, 1.0f, 5.0f), 1.0f, {});
    const GraphLabel& xl = f.xLabels.front();
    EXPECT_EQ(xl.y, f.bottom);
    EXPECT_DOUBLE_EQ(xl.dyLines, 0.3);
    EXPECT_EQ(xl.halign, HAlign::Centre);
    const GraphLabel& yl = f.yLabels.front();
    EXPECT_EQ(yl.x, f.xl);
    EXPECT_DOUBLE_EQ(yl.dxDigits, -0.5);
    EXPECT_EQ(yl.halign, HAlign::Right);
    EXPECT_EQ(yl.valign, VAlign::Centre);
    EXPECT_DOUBLE_EQ(f.xCaption.dyLines, 2.0);
    EXPECT_DOUBLE_EQ(f.yCaptionY, (f.bottom + f.top) / 2.0);
}

TEST(SpectrumGraph, Captions)
{
    SpectrumGraphInfo info;
    info.captionSuffix = " [Pa]";
    EXPECT_EQ(spectrumXCaption(info), "  周波数(Hz) [Pa]");
    info.identifyInCaption = true;
    info.machineNumber = 12;
    info.measurementNumber = 345;
    info.dateText = "26/ 5/ 6";
    info.timeText = "10:30:00";
    EXPECT_EQ(spectrumXCaption(info), " No.12-345 26/ 5/ 6 10:30  周波数(Hz) [Pa]");

    for (int model : {1, 9, 10, 17})
        EXPECT_EQ(spectrumYCaption(model), "スペクトル密度") << model;
    EXPECT_EQ(spectrumYCaption(24), "スペクトル密度\xEE\x80\x83㎡Ｓ\xEE\x80\x84");

    info.modelCode = 9;
    const SpectrumFrame f = buildSpectrumFrame(flatSpectrum(1024, 1.0f, 5.0f), 1.0f, info);
    const std::vector<std::string> glyphs{"度", "密", "ル", "ト", "ク", "ペ", "ス"};
    EXPECT_EQ(f.yCaptionGlyphs, glyphs);  // top to bottom: reads upwards
}

TEST(SpectrumGraph, CurvePointsAndTheBottomLine)
{
    Spectrum s = flatSpectrum(16, 1.0f, 0.01f);
    s.density[1] = 0.0f;   // zero density: Log10F gives 1E-08
    s.density[2] = 1e-9f;  // far below the bottom
    const SpectrumCurve c = spectrumCurve(s, 3, -4);
    ASSERT_EQ(c.x.size(), 8u);
    EXPECT_EQ(c.slot, 3);
    EXPECT_NEAR(c.x[0], std::log10(s.frequency[0]), 1e-5);
    EXPECT_NEAR(c.y[0], -2.0f, 1e-5f);
    EXPECT_EQ(c.y[1], 1e-08f);  // drawn near the 10^0 line, not at minus infinity
    EXPECT_EQ(c.y[2], -4.0f);   // on the bottom line
}

TEST(SpectrumGraph, ModesOfDrawing)
{
    EXPECT_TRUE(spectrumSavesImages(0));
    EXPECT_TRUE(spectrumClearsPicture(0));
    EXPECT_FALSE(spectrumUsesPrinterStyles(0));
    EXPECT_FALSE(spectrumSavesImages(2));  // print: no images
    EXPECT_FALSE(spectrumClearsPicture(2));
    EXPECT_TRUE(spectrumUsesPrinterStyles(2));
}

TEST(SpectrumGraph, SlotSelection)
{
    const std::vector<int> order{0, 1, 2, 3, 1, -1, 9, 0};
    const std::vector<std::uint8_t> flags{0x81, 0x82, 0x03, 0x8C};
    const std::array<bool, kSpectrumSlots> on{true, false, true, true, true, true, true, true};
    const auto slots = selectSpectrumSlots(order, flags, on);
    ASSERT_EQ(slots.size(), 4u);
    EXPECT_EQ(slots[0].slot, 0);
    EXPECT_EQ(slots[1].slot, 3);  // slot 2's channel is not active
    EXPECT_EQ(slots[1].channel, 3);
    EXPECT_EQ(slots[2].slot, 4);
    EXPECT_EQ(slots[2].channel, 1);
    EXPECT_EQ(slots[3].slot, 7);
}

std::vector<float> sine(int n, float dt, double f, double amp)
{
    std::vector<float> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] = static_cast<float>(amp * std::sin(2 * M_PI * f * i * dt));
    return v;
}

TEST(SpectrumGraph, FrameFromTheFirstDrawnSlotAndTextThatParsesBack)
{
    const auto small = sine(1000, 0.5f, 0.1, 5.0);
    const auto big = sine(1000, 0.5f, 0.12, 500.0);
    SpectrumGraphInput in;
    in.channels = {small, big};
    in.record.sampleCount = 1000;
    in.record.dt = 0.5f;
    in.settings.smoothingPasses = 3;
    in.drawnSlots = {{2, 0}, {5, 1}};
    in.info.decades = 5;
    SpectrumGraph g;
    ASSERT_EQ(buildPowerSpectrumGraph(in, g), Status::Ok);
    ASSERT_TRUE(g.frame);
    ASSERT_EQ(g.spectra.size(), 2u);
    ASSERT_EQ(g.curves.size(), 2u);
    // The scale follows the first slot, not the larger second one.
    float ymax0 = 0;
    for (float v : g.spectra[0].density)
        ymax0 = std::max(ymax0, v);
    EXPECT_EQ(g.frame->top, std::max(0, static_cast<int>(std::trunc(Log10F(ymax0))) + 1));
    EXPECT_EQ(g.curves[1].slot, 5);

    // "{pp}24g.txt": slot number, then N/2 lines of frequency,density.
    const std::size_t half = 512;
    ASSERT_EQ(g.textLines.size(), 2 * (1 + half));
    EXPECT_EQ(g.textLines[0], "3");
    EXPECT_EQ(g.textLines[1 + half], "6");
    const std::regex line(R"(^\d\.\d{5}E[+-]\d{2},\d\.\d{5}E[+-]\d{2}$)");
    EXPECT_EQ(g.textLines[1].substr(0, 12), "1.95503E-03,");  // 1 / (1023 x 0.5)
    for (std::size_t k = 0; k < 2; ++k)
        for (std::size_t b = 0; b < half; ++b) {
            const std::string t(g.textLines[k * (1 + half) + 1 + b]);
            ASSERT_TRUE(std::regex_match(t, line)) << t;
            const double f = std::strtod(t.c_str(), nullptr);
            const double d = std::strtod(t.c_str() + t.find(',') + 1, nullptr);
            ASSERT_NEAR(f, g.spectra[k].frequency[b], 5e-6 * g.spectra[k].frequency[b]);
            ASSERT_NEAR(d, g.spectra[k].density[b], 5e-6 * g.spectra[k].density[b] + 1e-30);
        }
}

TEST(SpectrumGraph, NoSlotDrawnGivesNoFrameAndAnEmptyFile)
{
    SpectrumGraphInput in;
    in.record.sampleCount = 100;
    in.record.dt = 1.0f;
    SpectrumGraph g;
    ASSERT_EQ(buildPowerSpectrumGraph(in, g), Status::Ok);
    EXPECT_FALSE(g.frame);
    EXPECT_TRUE(g.textLines.empty());

    const auto dir = std::filesystem::temp_directory_path() / ("spectra_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ASSERT_EQ(writeSpectrumText(dir.string(), "NR", g.textLines), Status::Ok);
    EXPECT_EQ(std::filesystem::file_size(dir / "NR24g.txt"), 0u);
    std::filesystem::remove_all(dir);
}

TEST(SpectrumGraph, FailureLeavesNothingPartial)
{
    const auto x = sine(100, 1.0f, 0.1, 5.0);
    SpectrumGraphInput in;
    in.channels = {x};
    in.record.sampleCount = 100;
    in.record.dt = 1.0f;
    in.drawnSlots = {{0, 0}, {1, 4}};  // the second names a channel that is not there
    SpectrumGraph g;
    EXPECT_EQ(buildPowerSpectrumGraph(in, g), Status::DataFormat);
    EXPECT_FALSE(g.frame);
    EXPECT_TRUE(g.textLines.empty());
    EXPECT_TRUE(g.curves.empty());
}

TEST(SpectrumGraph, TextFileAndItsDatedCopy)
{
    EXPECT_EQ(spectrumTextName("NR"), "NR24g.txt");
    EXPECT_EQ(datedSpectrumTextName("NR", 12, 26, 12, 6, 10, 30), "NR012-2026-1206-1030sg.txt");
    EXPECT_EQ(datedSpectrumTextName("AB", 7, 2031, 1, 2, 3, 4), "AB007-2031-0102-0304sg.txt");

    const auto dir = std::filesystem::temp_directory_path() / ("spectra_text_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string dated = datedSpectrumTextName("NR", 12, 26, 12, 6, 10, 30);
    {
        std::ofstream old(dir / dated);
        old << "old content that must go";
    }
    const std::vector<std::string> lines{"1", "1.95313E-03,4.00000E-02"};
    ASSERT_EQ(writeSpectrumText(dir.string(), "NR", lines, dated), Status::Ok);
    auto read = [](const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    };
    EXPECT_EQ(read(dir / "NR24g.txt"), "1\r\n1.95313E-03,4.00000E-02\r\n");
    EXPECT_EQ(read(dir / dated), read(dir / "NR24g.txt"));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace varenta
