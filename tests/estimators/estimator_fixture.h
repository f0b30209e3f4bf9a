#pragma once
// A program folder with the shipped templates and channel table, a burst
// from the synthetic generator, the parameter files filled in as the
// processing program fills them, the rotated copy DirSpec.tmp, and the
// reading of "nr40g.txt" by its fixed columns.
#include "common/format.h"
#include "common/installdata.h"
#include "common/masterfile.h"
#include "common/numeric.h"
#include "common/sector.h"
#include "common/textfile.h"
#include "tools/estimators/run.h"
#include "tools/synth/synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace esttest {

namespace fs = std::filesystem;
using namespace varenta;

inline void setField(std::string& line, int col, int width, const std::string& text)
{
    std::string f = std::string(10, ' ') + text;
    f = f.substr(f.size() - static_cast<std::size_t>(width));
    if (line.size() < static_cast<std::size_t>(col - 1 + width))
        line.resize(static_cast<std::size_t>(col - 1 + width), ' ');
    line.replace(static_cast<std::size_t>(col - 1), static_cast<std::size_t>(width), f);
}

inline std::string fixed(double v, int decimals) { return formatMask(v, decimals == 1 ? "###0.0" : "###0.00"); }

// What the processing program knows about the burst.
struct Site {
    int machine = 12;
    int samples = 2400;
    std::vector<int> kinds{1, 2, 3};
    double dt = 0.5;
    double depth = 10.0;  // h
    double gauge = 0.5;   // z
    bool level = false;
};

class EstimatorFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        folder = (fs::temp_directory_path() / ("est-" + name + "-" + std::to_string(::getpid()))).string();
        fs::remove_all(folder);
        ASSERT_EQ(installProgramData(std::string(VARENTA_SOURCE_DIR) + "/data", folder), Status::Ok);
    }
    void TearDown() override { fs::remove_all(folder); }

    static synth::GeneratorOptions sea(double direction, double s, std::vector<int> channels = {1, 2, 3})
    {
        synth::GeneratorOptions o;
        o.sea.hm0 = 1.5;
        o.sea.tp = 8.0;
        o.sea.meanDirection = direction;
        o.sea.spreadingS = s;
        o.sea.depth = 10.0;
        o.sea.gaugeHeight = 0.5;
        o.sea.currentMeterHeight = 0.6;
        o.sea.currentSpeed = 0.0;
        o.sea.heading = 0.0;
        o.plan.header.ext134 = 0;  // no declination: the record's north is true north
        o.synthesis.components = 6000;
        o.synthesis.randomAmplitudes = false;  // a sea whose own mean direction is the nominal one
        o.plan.bursts = 1;
        o.plan.durationMinutes = 20;
        o.plan.intervalCode = 1;
        o.plan.channels = std::move(channels);
        return o;
    }

    // Writes the master file; its path.
    std::string writeMaster(const synth::GeneratorOptions& o)
    {
        synth::MasterPairInfo info;
        EXPECT_EQ(synth::writeMasterPair(folder, "NR012", o, &info), Status::Ok);
        return info.measurementPath;
    }

    // Rewrites the current pair (x, y) of every sample row of measurement 1
    // of `from` into `to` (sectors with fresh check bytes); `condition`
    // ORed into the measurement-condition byte first.
    void rewriteCurrents(const std::string& from, const std::string& to, int condition,
                         const std::function<std::pair<double, double>(double, double, const MeasurementHeader&)>& turn)
    {
        std::string out;
        ASSERT_EQ(readFileBytes(from, out), Status::Ok);
        out[16] = static_cast<char>(static_cast<std::uint8_t>(out[16]) | condition);
        const auto* p = reinterpret_cast<const std::uint8_t*>(out.data());
        MeasurementHeader h;
        std::vector<std::int16_t> w;
        out[3] = 0;
        fixSectorChecksum(reinterpret_cast<std::uint8_t*>(out.data()));
        ASSERT_EQ(readHeader(p, out.size(), h), Status::Ok);
        ASSERT_EQ(unpackSamples(h, p, out.size(), w), Status::Ok);
        const std::size_t c = static_cast<std::size_t>(h.channelCount), x = static_cast<std::size_t>(h.findChannel(2));
        for (std::size_t i = 0; i + c <= w.size(); i += c) {
            const auto [xr, yr] = turn(w[i + x], w[i + x + 1], h);
            w[i + x] = saturateCount(static_cast<double>(roundEven(xr)));
            w[i + x + 1] = saturateCount(static_cast<double>(roundEven(yr)));
        }
        out.resize(static_cast<std::size_t>(h.sectorsPerMeasurement) * 512);
        std::size_t word = 0;
        for (int s = 0; s < h.sectorsPerMeasurement; ++s) {
            auto* sector = reinterpret_cast<std::uint8_t*>(out.data()) + static_cast<std::size_t>(s) * 512;
            for (std::size_t o = s == 0 ? 256 : 8; o < 512 && word < w.size(); o += 2, ++word) {
                sector[o] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(w[word]) & 0xFF);
                sector[o + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(w[word]) >> 8);
            }
            fixSectorChecksum(sector);
        }
        ASSERT_EQ(writeFileBytesAtomic(to, out), Status::Ok);
    }

    // DirSpec.tmp: the currents turned by the header's mean bearing with the
    // sign pattern of the processing program's rotation.
    std::string writeRotated(const std::string& master)
    {
        const std::string path = folder + "/DirSpec.tmp";
        rewriteCurrents(master, path, 0, [](double a, double b, const MeasurementHeader& h) {
            const double t = h.meanBearing * 6.283185307179586 / 360.0;
            if (h.measureCondition & 0x80)
                return std::pair{a * std::cos(t) - b * std::sin(t), -a * std::sin(t) - b * std::cos(t)};
            return std::pair{-a * std::cos(t) - b * std::sin(t), a * std::sin(t) - b * std::cos(t)};
        });
        return path;
    }

    std::vector<std::string> templateLines(const std::string& name)
    {
        std::vector<std::string> t;
        EXPECT_EQ(readTextLines(folder + "/" + name, t), Status::Ok);
        return t;
    }

    // emep2.ini as the processing program makes it.
    void writeEmepParameters(const Site& s)
    {
        std::vector<std::string> t = templateLines("emep2.org");
        const int j = s.level ? static_cast<int>(s.kinds.size()) : 3;
        t[0] = std::string(10, ' ');
        setField(t[0], 1, 5, std::to_string(j));
        t[0].resize(5);
        t[1].clear();
        for (int c = 1; c <= j; ++c)
            setField(t[1], 5 * c - 4, 5, std::to_string(c));
        setField(t[2], 13, 3, std::to_string(s.machine));
        setField(t[2], 16, 5, std::to_string(j));
        setField(t[2], 21, 5, std::to_string(s.samples));
        setField(t[2], 51, 5, fixed(s.dt, 1));
        setField(t[2], 56, 10, fixed(s.depth, 2));
        setField(t[4], 26, 10, fixed(-(s.depth - s.gauge), 2));
        if (s.kinds.size() < 4 || !s.level)
            setField(t[4], 56, 5, "1");
        setField(t[5], 26, 10, fixed(-(s.depth - s.gauge) + 0.1, 2));
        setField(t[6], 26, 10, fixed(-(s.depth - s.gauge) + 0.1, 2));
        std::vector<std::string> out(t.begin(), t.begin() + 7);
        if (s.level && s.kinds.size() > 3)
            out.push_back(t[7]);
        out.push_back(t[8]);
        ASSERT_EQ(writeTextLines(folder + "/emep2.ini", out), Status::Ok);
    }

    // bayes2.ini with every channel of kinds 1 to 4 (the level only when
    // included) and the listed array channels.
    void writeBdmParameters(const Site& s, std::vector<int> arrays = {})
    {
        std::vector<std::string> t = templateLines("bayes2.org");
        std::vector<int> list;
        for (std::size_t c = 0; c < s.kinds.size(); ++c) {
            const int k = s.kinds[c];
            if ((k >= 1 && k <= 3) || (k == 4 && s.level) ||
                std::find(arrays.begin(), arrays.end(), static_cast<int>(c) + 1) != arrays.end())
                list.push_back(static_cast<int>(c) + 1);
        }
        std::vector<std::string> out{t[0], t[1]};
        std::string l3;
        setField(l3, 1, 5, std::to_string(list.size()));
        for (int i = 0; i < 30; ++i) {
            const int ch = i < static_cast<int>(list.size()) ? list[static_cast<std::size_t>(i)] : 0;
            setField(l3, 6 + 3 * i, 3, std::to_string(ch));
        }
        out.push_back(l3);
        for (int ch : list) {
            const int k = s.kinds[static_cast<std::size_t>(ch - 1)];
            if (k == 2 || k == 3) {
                std::string l = t[4];
                setField(l, 1, 10, "0.0");
                setField(l, 11, 10, "1.0");
                setField(l, 21, 10, "90.0");
                setField(l, 31, 10, k == 2 ? "0.0" : "90.0");
                out.push_back(l);
            } else {
                out.push_back(t[3]);
            }
        }
        std::string site = t[5];
        setField(site, 13, 3, std::to_string(s.machine));
        setField(site, 41, 5, fixed(s.dt, 1));
        setField(site, 46, 5, fixed(s.depth, 1));
        setField(site, 51, 5, fixed(s.gauge, 1));
        out.insert(out.end(), {site, t[6], t[7], t[8], t[9]});  // the sensor-code line is not read
        ASSERT_EQ(writeTextLines(folder + "/bayes2.ini", out), Status::Ok);
    }

    static std::vector<std::string> arguments(const Site& s, const std::string& dataFile, long long start = 1,
                                              int options = 0x04)
    {
        return {"2026", "5", "6", "10", "0", std::to_string(s.samples), std::to_string(s.kinds.size()),
                std::to_string(start), std::to_string(options), dataFile};
    }

    std::string folder;
};

// "nr40g.txt" read by its columns: the direction sums over the
// frequencies and the direction of the largest density.
struct Nr40g {
    bool failed = true;
    int nf = 0, nd = 0, peak = 0;  // peak: 0-based direction index
    std::vector<double> sums;

    static Nr40g read(const std::string& path)
    {
        Nr40g g;
        std::vector<std::string> lines;
        if (readTextLines(path, lines) != Status::Ok || lines.empty() || lines[0].find("NaN") != std::string::npos)
            return g;
        g.nf = std::atoi(lines[0].substr(40, 5).c_str());
        g.nd = std::atoi(lines[0].substr(45, 5).c_str());
        g.sums.assign(static_cast<std::size_t>(g.nd), 0.0);
        const std::size_t perRow = 1 + static_cast<std::size_t>((g.nd + 5) / 6);
        if (lines.size() != 1 + perRow * static_cast<std::size_t>(g.nf))
            return g;
        double best = -1.0;
        for (int i = 0; i < g.nf; ++i)
            for (int j = 0; j < g.nd; ++j) {
                const std::string& l = lines[2 + perRow * static_cast<std::size_t>(i) + static_cast<std::size_t>(j / 6)];
                const double v = std::atof(l.substr(static_cast<std::size_t>(j % 6) * 12, 12).c_str());
                g.sums[static_cast<std::size_t>(j)] += v;
                if (v > best) {
                    best = v;
                    g.peak = j;
                }
            }
        g.failed = false;
        return g;
    }
    // Energy-weighted circular mean direction, degrees.
    double meanDirection() const { return est::meanDirection(sums) * 180.0 / est::kPi; }
};

inline double angleError(double a, double b) { return std::abs(std::remainder(a - b, 360.0)); }

}  // namespace esttest
