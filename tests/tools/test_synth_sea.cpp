// The generated sea is physically right: the significant height of the
// surface, and the pressure and velocity spectra against the elevation
// spectrum through linear theory, measured on the counts as written to the
// file (read back and converted with the channel factors).
#include "common/masterfile.h"
#include "tools/synth/synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

using namespace varenta;
using namespace varenta::synth;

namespace {

// One-sided periodogram (Hann window, mean removed) of a record at bins
// 0..maxBin, by a direct DFT: density in unit^2/Hz.
std::vector<double> periodogram(const std::vector<double>& x, double dt, int maxBin)
{
    const std::size_t n = x.size();
    const double mean = std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(n);
    std::vector<double> w(n), cs(n), sn(n);
    double wsq = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / static_cast<double>(n));
        w[i] = hann * (x[i] - mean);
        wsq += hann * hann;
        cs[i] = std::cos(2.0 * kPi * static_cast<double>(i) / static_cast<double>(n));
        sn[i] = std::sin(2.0 * kPi * static_cast<double>(i) / static_cast<double>(n));
    }
    std::vector<double> out(static_cast<std::size_t>(maxBin) + 1, 0.0);
    for (int j = 1; j <= maxBin; ++j) {
        double re = 0.0, im = 0.0;
        std::size_t idx = 0;
        for (std::size_t i = 0; i < n; ++i) {
            re += w[i] * cs[idx];
            im -= w[i] * sn[idx];
            idx += static_cast<std::size_t>(j);
            if (idx >= n)
                idx -= n;
        }
        out[static_cast<std::size_t>(j)] = 2.0 * dt * (re * re + im * im) / wsq;
    }
    return out;
}

struct Readback {
    std::vector<std::vector<double>> values;  // per channel, physical units
};

// Reads measurement m of a generated file and converts the counts.
Readback readBack(const GeneratorOptions& o, const std::string& file, std::uint32_t m)
{
    Readback r;
    const std::uint64_t offset = (static_cast<std::uint64_t>(m) - 1) * static_cast<std::uint64_t>(sectorsPerMeasurement(o)) * 512;
    MeasurementHeader h;
    EXPECT_EQ(readHeader(reinterpret_cast<const std::uint8_t*>(file.data()) + offset, file.size() - offset, h), Status::Ok);
    std::vector<std::int16_t> words;
    EXPECT_EQ(unpackSamples(h, reinterpret_cast<const std::uint8_t*>(file.data()) + offset, file.size() - offset, words),
              Status::Ok);
    r.values.assign(static_cast<std::size_t>(h.channelCount), {});
    for (int i = 0; i < h.samplesPerChannel; ++i)
        for (int c = 0; c < h.channelCount; ++c)
            r.values[static_cast<std::size_t>(c)].push_back(
                o.factors.of(h.channels[static_cast<std::size_t>(c)]) * words[static_cast<std::size_t>(i * h.channelCount + c)]);
    return r;
}

double varianceOf(const std::vector<double>& x)
{
    const double m = std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(x.size());
    double s = 0.0;
    for (double v : x)
        s += (v - m) * (v - m);
    return s / static_cast<double>(x.size());
}

GeneratorOptions seaPlan(double hm0, double tp, double gamma, double spread, std::uint64_t seed)
{
    GeneratorOptions o;
    o.sea.hm0 = hm0;
    o.sea.tp = tp;
    o.sea.gamma = gamma;
    o.sea.spreadingS = spread;
    o.sea.meanDirection = 200.0;
    o.sea.depth = 8.0;
    o.sea.gaugeHeight = 0.5;
    o.sea.currentMeterHeight = 1.5;
    o.sea.levelSensorHeight = 0.3;
    o.sea.currentSpeed = 0.15;
    o.plan.bursts = 20;
    o.plan.durationMinutes = 20;
    o.plan.intervalCode = 1;  // 0.5 s
    o.plan.channels = {code::pressure, code::currentX, code::currentY, code::level};
    o.seed = seed;
    return o;
}

}  // namespace

TEST(SynthSea, SignificantHeightOverTwentyBursts)
{
    struct Case {
        double hm0, tp, gamma, spread;
        bool random;
    };
    const Case cases[] = {
        {1.5, 8.0, 3.3, 10.0, true},
        {0.6, 5.0, 1.0, 4.0, true},
        {2.5, 12.0, 7.0, 50.0, true},
        {1.0, 8.0, 3.3, 0.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("Hm0 " + std::to_string(c.hm0) + " Tp " + std::to_string(c.tp));
        GeneratorOptions o = seaPlan(c.hm0, c.tp, c.gamma, c.spread, 11);
        o.synthesis.randomAmplitudes = c.random;
        std::string meas, res;
        ASSERT_EQ(makeMasterPair(o, meas, res), Status::Ok);
        double m0Surface = 0.0, m0Level = 0.0;
        for (std::uint32_t m = 1; m <= 20; ++m) {
            const Burst b = generateBurst(o, m);
            m0Surface += varianceOf(b.elevation);
            // The ultrasonic level as recorded (cm) is the surface seen from the bed.
            m0Level += varianceOf(readBack(o, meas, m).values[3]) * 1e-4;
        }
        EXPECT_NEAR(4.0 * std::sqrt(m0Surface / 20.0), c.hm0, 0.05 * c.hm0);
        EXPECT_NEAR(4.0 * std::sqrt(m0Level / 20.0), c.hm0, 0.05 * c.hm0);
    }
}

TEST(SynthSea, PressureAndVelocitySpectraFollowLinearTheory)
{
    struct Case {
        double hm0, tp, spread;
        double depth, gauge, meter;
    };
    const Case cases[] = {
        {1.5, 8.0, 10.0, 8.0, 0.5, 1.5},
        {0.8, 6.0, 0.0, 12.0, 1.0, 2.0},  // long-crested, deeper
        {1.2, 11.0, 25.0, 5.0, 0.3, 0.8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("Tp " + std::to_string(c.tp) + " depth " + std::to_string(c.depth));
        GeneratorOptions o = seaPlan(c.hm0, c.tp, 3.3, c.spread, 5);
        o.sea.depth = c.depth;
        o.sea.gaugeHeight = c.gauge;
        o.sea.currentMeterHeight = c.meter;
        std::string meas, res;
        ASSERT_EQ(makeMasterPair(o, meas, res), Status::Ok);
        const double dt = 0.5;
        const int n = 2400;
        const double df = 1.0 / (n * dt);
        const int maxBin = static_cast<int>(0.3 / df);
        std::vector<double> sEta(static_cast<std::size_t>(maxBin) + 1), sP = sEta, sUV = sEta;
        for (std::uint32_t m = 1; m <= 20; ++m) {
            const Readback r = readBack(o, meas, m);
            ASSERT_EQ(r.values[0].size(), static_cast<std::size_t>(n));
            std::vector<double> eta(r.values[3]), p(r.values[0]), u(r.values[1]), v(r.values[2]);
            for (auto* x : {&eta, &p, &u, &v})
                for (double& y : *x)
                    y *= 0.01;  // cm -> m, cm/s -> m/s
            for (double& y : p)
                y /= o.sea.headScale;  // recorded head -> metres of sea water
            const auto pe = periodogram(eta, dt, maxBin), pp = periodogram(p, dt, maxBin);
            const auto pu = periodogram(u, dt, maxBin), pv = periodogram(v, dt, maxBin);
            for (std::size_t j = 0; j < sEta.size(); ++j) {
                sEta[j] += pe[j];
                sP[j] += pp[j];
                sUV[j] += pu[j] + pv[j];
            }
        }
        const double peak = *std::max_element(sEta.begin(), sEta.end());
        // Bands of 0.01 Hz below 0.3 Hz that hold wave energy.
        int bandsChecked = 0;
        const int perBand = static_cast<int>(std::lround(0.01 / df));
        for (int start = 1; start + perBand - 1 <= maxBin; start += perBand) {
            double e = 0, pr = 0, uv = 0, ep = 0, ev = 0;
            for (int j = start; j < start + perBand; ++j) {
                const double f = j * df, omega = kTwoPi * f;
                const double k = solveWaveNumber(omega, c.depth);
                const double kp = pressureTransfer(k, c.depth, c.gauge);
                const double tu = velocityTransfer(omega, k, c.depth, c.meter);
                const std::size_t uj = static_cast<std::size_t>(j);
                e += sEta[uj];
                pr += sP[uj];
                uv += sUV[uj];
                ep += kp * kp * sEta[uj];
                ev += tu * tu * sEta[uj];
            }
            if (e / perBand < 0.01 * peak)
                continue;
            ++bandsChecked;
            const double f0 = start * df;
            EXPECT_NEAR(pr / ep, 1.0, 0.05) << "pressure band at " << f0 << " Hz";
            EXPECT_NEAR(uv / ev, 1.0, 0.05) << "velocity band at " << f0 << " Hz";
        }
        EXPECT_GE(bandsChecked, 5);
    }
}

TEST(SynthSea, LongCrestedWavesMoveTheWaterAlongTheirTravel)
{
    // Waves from the west travel east: with the instrument's Y axis north
    // the orbital velocity is all in X and in phase with the surface; turned
    // to a heading of 90 degrees the same motion appears in Y.
    struct Case {
        double heading;
        int inPhase, across;  // channel indices
    };
    for (const Case& c : {Case{0.0, 1, 2}, Case{90.0, 2, 1}}) {
        GeneratorOptions o = seaPlan(1.0, 7.0, 3.3, 0.0, 3);
        o.plan.header.measureCondition |= 0x20;  // the sensor's own axes
        o.sea.meanDirection = 270.0;
        o.sea.currentSpeed = 0.0;
        o.sea.heading = c.heading;
        const Burst b = generateBurst(o, 1);
        const auto& eta = b.elevation;
        const auto& along = b.physical[static_cast<std::size_t>(c.inPhase)];
        const auto& across = b.physical[static_cast<std::size_t>(c.across)];
        double cross = 0, ee = 0, aa = 0, xx = 0;
        for (std::size_t i = 0; i < eta.size(); ++i) {
            cross += eta[i] * along[i];
            ee += eta[i] * eta[i];
            aa += along[i] * along[i];
            xx += across[i] * across[i];
        }
        EXPECT_GT(cross / std::sqrt(ee * aa), 0.95) << c.heading;
        EXPECT_LT(xx, 1e-6 * aa) << c.heading;
    }
}

TEST(SynthSea, MeansFollowCurrentTideTemperatureAndCompass)
{
    GeneratorOptions o = seaPlan(0.0, 8.0, 3.3, 10.0, 1);  // calm: means only
    o.plan.channels = {code::pressure, code::currentX, code::currentY, code::level, code::compass, code::temperature,
                       code::windX, code::windY};
    o.plan.durationMinutes = 10;
    o.sea.currentSpeed = 0.3;
    o.sea.currentDirection = 45.0;
    o.sea.heading = 90.0;
    o.plan.header.measureCondition |= 0x20;  // the sensor's own axes
    o.sea.tideAmplitude = 1.2;
    o.sea.tidePeriodHours = 12.42;
    o.sea.waterTemperature = 18.0;
    o.sea.windSpeed = 8.0;
    o.sea.windDirection = 180.0;
    o.sea.gustiness = 0.0;
    for (std::uint32_t m = 1; m <= 12; ++m) {
        const Burst b = generateBurst(o, m);
        auto mean = [&](int ch) {
            const auto& x = b.physical[static_cast<std::size_t>(ch)];
            return std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(x.size());
        };
        // Pressure head and level both see the same tide.
        EXPECT_NEAR(mean(0) / 100.0 / o.sea.headScale + o.sea.gaugeHeight, b.stats.depth, 1e-9);
        EXPECT_NEAR(mean(3) / 100.0 + o.sea.levelSensorHeight, b.stats.depth, 1e-9);
        EXPECT_NEAR(b.stats.depth, o.sea.depth, o.sea.tideAmplitude + 1e-9);
        // Current toward the north-east seen from an instrument facing east:
        // X (pointing south) -21.2 cm/s, Y (pointing east) +21.2 cm/s.
        EXPECT_NEAR(mean(1), -30.0 * std::sqrt(0.5), 1e-9);
        EXPECT_NEAR(mean(2), 30.0 * std::sqrt(0.5), 1e-9);
        EXPECT_NEAR(b.stats.currentDirection, 45.0, 1e-6);
        EXPECT_NEAR(mean(4), 90.0 + o.plan.header.ext134, 0.1);  // magnetic
        EXPECT_NEAR(mean(5), 18.0, 0.3);
        // Wind from the south blows toward the north: X 0, Y +8 m/s.
        EXPECT_NEAR(mean(6), 0.0, 1e-9);
        EXPECT_NEAR(mean(7), 8.0, 1e-9);
        EXPECT_NEAR(b.stats.windDirection, 180.0, 1e-6);
    }
    // The tide moves the burst means by its range over half a period.
    o.plan.bursts = 7;
    o.plan.intervalMinutes = 60;
    double lo = 1e9, hi = -1e9;
    for (std::uint32_t m = 1; m <= 7; ++m) {
        const double d = generateBurst(o, m).stats.depth;
        lo = std::min(lo, d);
        hi = std::max(hi, d);
    }
    EXPECT_GT(hi - lo, 1.5);
}

TEST(SynthSea, ArraySensorsSeeTheSameSeaShifted)
{
    GeneratorOptions o = seaPlan(1.5, 8.0, 3.3, 10.0, 21);
    o.plan.channels = {code::pressure, 48, 49, 50, 51};
    double v0 = 0, va = 0;
    double diff = 0;
    for (std::uint32_t m = 1; m <= 10; ++m) {
        const Burst b = generateBurst(o, m);
        v0 += varianceOf(b.physical[0]);
        for (std::size_t a = 1; a <= 4; ++a) {
            va += varianceOf(b.physical[a]) / 4.0;
            for (std::size_t i = 0; i < b.physical[0].size(); ++i)
                diff += std::fabs(b.physical[a][i] - b.physical[0][i]);
        }
    }
    EXPECT_NEAR(va / v0, 1.0, 0.1);
    EXPECT_GT(diff, 0.0);
}

TEST(SynthSea, CheapAndConstantModes)
{
    GeneratorOptions o = seaPlan(1.0, 8.0, 3.3, 10.0, 2);
    o.fidelity = Fidelity::Cheap;
    const Burst cheap = generateBurst(o, 1);
    EXPECT_LE(cheap.components.size(), 8u);
    EXPECT_NEAR(cheap.stats.hm0, 1.0, 0.15);  // few deterministic components: close to the requested height
    o.fidelity = Fidelity::Constant;
    const Burst flat = generateBurst(o, 1);
    EXPECT_TRUE(flat.components.empty());
    for (const auto& ch : flat.counts)
        for (std::int16_t v : ch)
            ASSERT_EQ(v, ch.front());
}

TEST(SynthSea, BurstStatisticsAreConsistent)
{
    GeneratorOptions o = seaPlan(2.0, 9.0, 3.3, 10.0, 4);
    const Burst b = generateBurst(o, 3);
    const BurstStatistics& s = b.stats;
    EXPECT_NEAR(s.hm0, 4.0 * std::sqrt(varianceOf(b.elevation)), 1e-12);
    EXPECT_NEAR(s.hm0Level, s.hm0, 0.01);
    EXPECT_GE(s.hmax, s.h10);
    EXPECT_GE(s.h10, s.h3);
    EXPECT_GE(s.h3, s.hmean);
    EXPECT_NEAR(s.h3 / s.hm0, 0.95, 0.1);  // Rayleigh seas: H1/3 close to Hm0
    EXPECT_GT(s.waves, 1200 / 12);
    EXPECT_LT(s.waves, 1200 / 4);
    EXPECT_NEAR(s.waves * s.tmean, 1200.0, 20.0);
    EXPECT_GT(s.tm01, s.tm02);
    EXPECT_NEAR(s.peakPeriod, 9.0, 1.5);
    EXPECT_NEAR(std::remainder(s.meanDirection - 200.0, 360.0), 0.0, 10.0);
}
