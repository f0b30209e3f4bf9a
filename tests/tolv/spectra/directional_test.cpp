// The estimator side of the directional spectrum: parameter files, the
// command line, DirSpec.tmp, and the reading and analysis of "nr40g.txt".
#include "common/sector.h"
#include "common/textfile.h"
#include "tolv/spectra/dirspectrum.h"
#include "tools/synth/generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

namespace varenta {
namespace {

namespace fs = std::filesystem;

// Template lines "T<n>" padded with dots to 80 columns.
std::vector<std::string> templateLines(int count)
{
    std::vector<std::string> t;
    for (int i = 1; i <= count; ++i) {
        std::string l = "T" + std::to_string(i);
        t.push_back(l + std::string(80 - l.size(), '.'));
    }
    return t;
}

EstimatorInput input(std::vector<std::uint8_t> kinds, std::uint32_t options = 0)
{
    EstimatorInput in;
    in.kindBytes = kinds;
    for (std::size_t i = 0; i < kinds.size(); ++i)
        in.slotBytes[i] = kinds[i];
    in.options = options;
    in.machineNumber = 12;
    in.dt = 0.5;
    in.depth = 10.25;
    in.gaugeHeight = 0.5;
    in.samples = 2400;
    in.programFolder = "/pf";
    in.masterPath = "/data/NR012M.H10";
    return in;
}

TEST(DirectionalParameters, BayesPadsTheListAndWritesSensorCodes)
{
    const EstimatorInput in = input({0x81, 0x82, 0x83});
    std::vector<std::string> out;
    ASSERT_EQ(buildBayesParameters(in, templateLines(12), out), Status::Ok);
    ASSERT_EQ(out.size(), 13u);  // T1 T2 list, three channels, T6..T9, sensors, T11 T12
    std::string list = "    3  1  2  3";
    for (int i = 0; i < 27; ++i)
        list += "  0";
    EXPECT_EQ(out[2], list);
    EXPECT_EQ(out[3].substr(0, 3), "T4.");                       // pressure: T4 unchanged
    EXPECT_EQ(out[4].substr(0, 40), "       0.0       1.0      90.0       0.0");
    EXPECT_EQ(out[5].substr(30, 10), "      90.0");
    EXPECT_EQ(out[6].substr(12, 3), " 12");
    EXPECT_EQ(out[6].substr(40, 15), "  0.5 10.3  0.5");
    std::string sensors = " 10  6  7";
    for (int i = 0; i < 27; ++i)
        sensors += "  0";
    EXPECT_EQ(out[10], sensors);
    EXPECT_EQ(out[12].substr(0, 3), "T12");
}

TEST(DirectionalParameters, BayesChannelListRules)
{
    struct Case {
        const char* name;
        std::vector<std::uint8_t> kinds;
        std::uint32_t options;
        std::string group0;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"level left out", {0x81, 0x84, 0x82, 0x83}, 0, "0", {1, 3, 4}},
        {"level included", {0x81, 0x84, 0x82, 0x83}, switch2::kUltrasonic, "0", {1, 2, 3, 4}},
        {"array group 1", {0x81, 0xB0, 0xB1, 0xB2, 0xB3}, 0, "1", {1, 2, 3, 4, 5}},
        {"array not chosen", {0x81, 0xB0, 0xB1, 0xB2, 0xB3}, 0, "2", {1}},
    };
    for (const Case& c : cases) {
        EstimatorInput in = input(c.kinds, c.options);
        in.groups[0] = c.group0;
        EXPECT_EQ(bayesChannelList(in), c.expected) << c.name;
    }
    EXPECT_EQ(arraySensorCount(input({0x81, 0xB0, 0xB1, 0x30, 0xB8}).slotBytes), 3);
}

TEST(DirectionalParameters, EmepWithFiveChannelsAndTheLevelLeftOut)
{
    const std::vector<std::uint8_t> five{0x81, 0x82, 0x83, 0x84, 0x86};
    std::vector<std::string> out;
    ASSERT_EQ(buildEmepParameters(input(five), templateLines(9), out), Status::Ok);
    ASSERT_EQ(out.size(), 8u);  // T8 not written
    EXPECT_EQ(out[0], "    3");
    EXPECT_EQ(out[1], "    1    2    3");
    EXPECT_EQ(out[2].substr(12, 13), " 12    3 2400");
    EXPECT_EQ(out[2].substr(50, 15), "  0.5     10.25");
    EXPECT_EQ(out[4].substr(25, 10), "     -9.75");
    EXPECT_EQ(out[4].substr(55, 5), "    1");
    EXPECT_EQ(out[5].substr(25, 10), "     -9.65");
    EXPECT_EQ(out[7].substr(0, 3), "T9.");

    ASSERT_EQ(buildEmepParameters(input(five, switch2::kUltrasonic), templateLines(9), out), Status::Ok);
    ASSERT_EQ(out.size(), 9u);
    EXPECT_EQ(out[0], "    5");
    EXPECT_EQ(out[4].substr(55, 5), std::string(5, '.'));
}

TEST(DirectionalParameters, BadTemplatesAreRefusedAndLeaveTheOutput)
{
    std::vector<std::string> shortLine = templateLines(9);
    shortLine[5] = "T6 short";
    const std::vector<std::string> kept{"earlier"};
    for (const auto& t : {templateLines(8), templateLines(13), shortLine}) {
        std::vector<std::string> out = kept;
        EXPECT_EQ(buildBayesParameters(input({0x81, 0x82, 0x83}), t, out), Status::DataFormat);
        EXPECT_EQ(buildEmepParameters(input({0x81, 0x82, 0x83}), t, out), Status::DataFormat);
        EXPECT_EQ(out, kept);
    }
}

TEST(DirectionalParameters, CommandLine)
{
    EstimatorInput in = input({0x81, 0x82, 0x83}, 0x0C);
    in.year = 26, in.month = 5, in.day = 6, in.hour = 9, in.minute = 0;
    in.startOffset = (3 - 1) * 512 * 9;  // m = 3, S = 9
    EXPECT_EQ(estimatorArguments(in), (std::vector<std::string>{"2026", "5", "6", "9", "0", "2400", "3", "9217",
                                                                "12", "/data/NR012M.H10"}));
    in.transform = true;
    const auto args = estimatorArguments(in);
    EXPECT_EQ(args[7], "1");
    EXPECT_EQ(args[9], "/pf/DirSpec.tmp");
}

TEST(DirectionalRotation, AngleAndSigns)
{
    EXPECT_DOUBLE_EQ(rotationRadians(90, 10), 90 * 6.283185 / 360);
    EXPECT_DOUBLE_EQ(rotationRadians(360, 45), 45 * 6.283185 / 360);
    EXPECT_DOUBLE_EQ(rotationRadians(360, 360), 0.0);
    struct Case {
        std::int16_t x, y;
        double t;
        std::uint8_t condition;
        std::int16_t ex, ey;
    };
    const double quarter = 90 * 6.283185 / 360;
    const Case cases[] = {
        {100, 50, 0, 0x20, -100, -50},             // no rotation, the sign pattern still applies
        {100, 50, 0, 0xA0, 100, -50},
        {100, 0, quarter, 0xA0, 0, -100},           // x' = x cos t, y' = -x sin t
        {100, 50, 0, 0x00, -100, -50},              // the pattern holds whatever the recorded signs
        {100, 0, quarter, 0x80, 0, -100},           // x' = x cos t, y' = -x sin t
        {-32768, 50, quarter, 0x20, -32768, 50},    // a missing member keeps the pair
        {30000, 30000, 45 * 6.283185 / 360, 0xA0, 0, -32767},  // saturates
    };
    for (const Case& c : cases) {
        std::int16_t x = c.x, y = c.y;
        rotatePair(x, y, c.t, c.condition);
        EXPECT_EQ(x, c.ex) << c.x << "," << c.y << " condition " << int(c.condition);
        EXPECT_EQ(y, c.ey) << c.x << "," << c.y << " condition " << int(c.condition);
    }
}

TEST(DirectionalRotation, DirSpecKeepsValidSectorsAndOtherChannels)
{
    const fs::path dir = fs::temp_directory_path() / ("dirspec_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    synth::GeneratorOptions o;
    o.plan.bursts = 3;
    o.fidelity = synth::Fidelity::Cheap;
    synth::MasterPairInfo info;
    ASSERT_EQ(synth::writeMasterPair(dir.string(), "NR012", o, &info), Status::Ok);
    const synth::Burst b = synth::generateBurst(o, 2);
    EstimatorInput in = input({0x81, 0x82, 0x83});
    in.programFolder = dir.string();
    in.masterPath = (dir / "NR012M.H10").string();
    in.samples = b.samplesPerChannel;
    in.sectors = static_cast<int>(fs::file_size(in.masterPath) / 512 / 3);
    in.startOffset = static_cast<std::uint64_t>(in.sectors) * 512;
    ASSERT_EQ(writeRotatedMeasurement(in, 90, 0, 0xA0), Status::Ok);
    std::string bytes;
    ASSERT_EQ(readFileBytes((dir / "DirSpec.tmp").string(), bytes), Status::Ok);
    ASSERT_EQ(bytes.size(), static_cast<std::size_t>(in.sectors) * 512);
    for (int s = 0; s < in.sectors; ++s)
        EXPECT_TRUE(sectorSumOk(reinterpret_cast<const std::uint8_t*>(bytes.data()) + s * 512)) << s;
    const auto word = [&](std::size_t k) {  // sample word k of the burst
        const std::size_t off = k < 128 ? 256 + 2 * k : 512 * (1 + (k - 128) / 252) + 8 + 2 * ((k - 128) % 252);
        return static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[off]) | (bytes[off + 1] << 8));
    };
    for (std::size_t r : {std::size_t{0}, std::size_t{42}, static_cast<std::size_t>(b.samplesPerChannel - 1)}) {
        EXPECT_EQ(word(3 * r), b.counts[0][r]);
        // A quarter turn with bit 7: x' = -y, y' = -x.
        EXPECT_NEAR(word(3 * r + 1), -b.counts[2][r], 1);
        EXPECT_NEAR(word(3 * r + 2), -b.counts[1][r], 1);
    }
    // Counts already on magnetic east and north (bit 5 clear) are not turned
    // again; only the sign pattern applies: x' = x, y' = -y with bit 7.
    ASSERT_EQ(writeRotatedMeasurement(in, 90, 0, 0x80), Status::Ok);
    ASSERT_EQ(readFileBytes((dir / "DirSpec.tmp").string(), bytes), Status::Ok);
    for (std::size_t r : {std::size_t{0}, std::size_t{42}}) {
        EXPECT_EQ(word(3 * r + 1), b.counts[1][r]);
        EXPECT_EQ(word(3 * r + 2), -b.counts[2][r]);
    }
    in.startOffset = 3 * static_cast<std::uint64_t>(in.sectors) * 512;  // beyond the file
    EXPECT_EQ(writeRotatedMeasurement(in, 90, 0, 0xA0), Status::NotFound);
    EXPECT_EQ(fs::file_size(dir / "DirSpec.tmp"), bytes.size());
    fs::remove_all(dir);
}

// "nr40g.txt" of a spectrum given as rows of densities.
std::string nr40g(const std::vector<float>& freq, const std::vector<std::vector<float>>& rows)
{
    char head[64];
    std::snprintf(head, sizeof head, "%40s%5zu%5zu\r\n", "", freq.size(), rows[0].size());
    std::string out = head;
    for (std::size_t i = 0; i < freq.size(); ++i) {
        char f[16];
        std::snprintf(f, sizeof f, "%12.5f", freq[i]);
        out += std::string(f) + "\r\n";
        for (std::size_t j = 0; j < rows[i].size(); ++j) {
            std::snprintf(f, sizeof f, "%12.5E", rows[i][j]);
            out += f;
            if (j % 6 == 5 || j + 1 == rows[i].size())
                out += "\r\n";
        }
    }
    return out;
}

TEST(DirectionalReading, FixedColumnsAndFailures)
{
    const std::vector<float> f{0.1f, 0.2f};
    const std::vector<std::vector<float>> rows{{1, 2, 3, 4, 5, 6, 7, 8}, {9, 10, 11, 12, 13, 14, 15, 16}};
    DirectionalSpectrum s;
    ASSERT_EQ(parseDirectionalSpectrumBytes(nr40g(f, rows), s), Status::Ok);
    EXPECT_EQ(s.nf, 2);
    EXPECT_EQ(s.nd, 8);
    EXPECT_FLOAT_EQ(s.frequency[1], 0.2f);
    EXPECT_FLOAT_EQ(s.at(2, 7), 15);

    const std::string good = nr40g(f, rows);
    struct Case {
        const char* name;
        std::string text;
    };
    const Case bad[] = {
        {"NaN on line 1", "NaN\r\n"},
        {"empty", ""},
        {"NaN later", good.substr(0, good.rfind("\r\n", good.size() - 3) + 2) + "NaN\r\n"},
        {"short last line", good.substr(0, good.size() - 14) + "\r\n"},
        {"missing rows", good.substr(0, good.find("0.20000"))},
        {"garbage number", std::string(good).replace(good.find("1.00000E+00"), 11, "  1.0x0E+00")},
        {"huge header", std::string(40, ' ') + "99999    8\r\n"},
    };
    for (const Case& c : bad)
        EXPECT_EQ(parseDirectionalSpectrumBytes(c.text, s), Status::DataFormat) << c.name;
}

// A spectrum of nf rows and nd directions, all 0 but the given points.
DirectionalSpectrum spectrumWith(int nf, int nd, const std::vector<std::tuple<int, int, float>>& points)
{
    DirectionalSpectrum s;
    s.nf = nf, s.nd = nd;
    for (int i = 1; i <= nf; ++i)
        s.frequency.push_back(0.05f * i);
    s.density.assign(static_cast<std::size_t>(nf * nd), 0.0f);
    for (auto [i, j, v] : points)
        s.density[static_cast<std::size_t>((i - 1) * nd + j - 1)] = v;
    return s;
}

TEST(DirectionalAnalysis, PeaksAndAngles)
{
    EXPECT_EQ(halfDirections(9), 4);
    EXPECT_EQ(halfDirections(36), 18);
    EXPECT_DOUBLE_EQ(correctDeclination(3, 7), 356);
    EXPECT_NEAR(correctDeclination(359.6, 0), -0.4, 1e-9);

    // Direction 1 has direction nd as its left neighbour.
    auto a = analyseDirectionalSpectrum(spectrumWith(5, 8, {{3, 1, 10}, {3, 8, 12}}), 5, 0);
    ASSERT_EQ(a.peaks.size(), 1u);
    EXPECT_EQ(a.peaks[0].direction, 8);
    EXPECT_DOUBLE_EQ(a.peakAngle, 315);  // (8 - 1) x 360 / 8

    // A peak in the last row has no upper neighbours to beat.
    a = analyseDirectionalSpectrum(spectrumWith(5, 8, {{5, 3, 10}, {2, 6, 8}}), 5, 0);
    ASSERT_EQ(a.peaks.size(), 2u);
    EXPECT_EQ(a.peaks[0].frequency, 5);
    EXPECT_EQ(a.peaks[1].direction, 6);

    // Eight maxima, P = 5: the first five in direction-major order, sorted.
    std::vector<std::tuple<int, int, float>> eight;
    for (int j = 0; j < 8; ++j)
        eight.emplace_back(2 + (j % 2) * 3, 1 + 2 * j, 10.0f + static_cast<float>(j));
    a = analyseDirectionalSpectrum(spectrumWith(6, 16, eight), 5, 0);
    ASSERT_EQ(a.peaks.size(), 5u);
    EXPECT_FLOAT_EQ(a.peaks[0].value, 17);  // entry 0: the largest density overall
    EXPECT_FLOAT_EQ(a.peaks[1].value, 13);
    EXPECT_FLOAT_EQ(a.peaks[4].value, 10);

    // All zero: one entry, mean direction not formed.
    a = analyseDirectionalSpectrum(spectrumWith(3, 8, {}), 5, 7);
    EXPECT_EQ(a.peaks.size(), 1u);
    EXPECT_EQ(a.meanAngle, kNoAngle);
    EXPECT_EQ(directionalSummaryLines(spectrumWith(3, 8, {}), a, 7)[0], "  9999");
}

TEST(DirectionalAnalysis, MeanDirectionOfSpreadSeasIsTheirCentre)
{
    for (double centre : {30.0, 200.0, 315.0})
        for (double s : {10.0, 75.0}) {
            DirectionalSpectrum sp = spectrumWith(4, 72, {});
            for (int i = 1; i <= 4; ++i)
                for (int j = 1; j <= 72; ++j) {
                    const double off = (directionAngle(j, 72) - centre) * 3.14159265358979 / 180;
                    sp.density[static_cast<std::size_t>((i - 1) * 72 + j - 1)] =
                        static_cast<float>(i * std::pow(std::abs(std::cos(off / 2)), 2 * s));
                }
            const auto a = analyseDirectionalSpectrum(sp, 5, 7);
            EXPECT_NEAR(a.meanAngle, correctDeclination(centre, 7), 0.01) << centre << " s=" << s;
            const auto lines = directionalSummaryLines(sp, a, 7);
            EXPECT_EQ(lines[2].substr(6, 6), "  5.00");  // peak at 0.2 Hz
        }
}

}  // namespace
}  // namespace varenta
