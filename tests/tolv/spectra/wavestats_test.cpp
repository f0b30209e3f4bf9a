// Burst statistics on signals whose statistics are known exactly.
#include "common/resultitems.h"
#include "common/settings.h"
#include "tolv/spectra/dft.h"
#include "tolv/spectra/wavestats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

namespace varenta {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<double> sampled(double seconds, double dt, double (*f)(double))
{
    std::vector<double> x(static_cast<std::size_t>(std::lround(seconds / dt)));
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = f(static_cast<double>(i) * dt);
    return x;
}

TEST(Dft, AgreesWithTheDefinitionForAwkwardLengths)
{
    // Powers of small primes, a large prime (chirp path) and a mixed length.
    for (int n : {1, 2, 3, 12, 60, 97, 2400, 4 * 67}) {
        SCOPED_TRACE(n);
        std::mt19937 gen(static_cast<unsigned>(n));
        std::normal_distribution<double> g;
        std::vector<Dft::Complex> x(static_cast<std::size_t>(n));
        for (auto& v : x)
            v = {g(gen), g(gen)};
        std::vector<Dft::Complex> y = x;
        const Dft plan(n);
        plan.forward(y);
        for (int k : {0, 1 % n, n / 2, n - 1}) {
            Dft::Complex s{};
            for (int j = 0; j < n; ++j)
                s += x[static_cast<std::size_t>(j)] * std::polar(1.0, -2 * kPi * j * k / n);
            EXPECT_LT(std::abs(s - y[static_cast<std::size_t>(k)]), 1e-9 * n);
        }
        plan.inverse(y);
        for (int j = 0; j < n; ++j)
            EXPECT_LT(std::abs(y[static_cast<std::size_t>(j)] - x[static_cast<std::size_t>(j)]), 1e-10 * n);
    }
}

// Zero-crossing and spectral figures of exact signals at 4 Hz for 300 s.
struct KnownSignal {
    const char* name;
    double (*f)(double);
    int waves;
    double hmax, h3, hmean, t3, tmax, tm01, tm02, hm0;
};

double sine(double t) { return 1.5 * std::sin(2 * kPi * t / 12.0); }
double twoSines(double t) { return std::sin(2 * kPi * t / 5.0) + 1.5 * std::sin(2 * kPi * t / 12.0); }

TEST(WaveStatistics, KnownSignalsGiveTheirExactFigures)
{
    const KnownSignal cases[] = {
        {"sine H 3 m T 12 s", sine, 24 - 1, 3.0, 3.0, 3.0, 12.0, 12.0, 12.0, 12.0, 2.0 * std::sqrt(2.0) * 1.5},
        {"5 s + 12 s", twoSines, 28, 4.499, 4.440, 3.645, 11.16, -1, 8.387, 7.644, -1},
    };
    for (const KnownSignal& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<double> x = sampled(300.0, 0.25, c.f);
        const CrossingStats z = zeroUpCrossing(x, 0.25);
        EXPECT_EQ(z.waves, c.waves);
        EXPECT_NEAR(z.hmax, c.hmax, 0.0015);
        EXPECT_NEAR(z.h3, c.h3, 0.0015);
        EXPECT_NEAR(z.hmean, c.hmean, 0.0015);
        EXPECT_NEAR(z.t3, c.t3, 0.006);
        if (c.tmax > 0) {
            EXPECT_NEAR(z.tmax, c.tmax, 0.0005);
        }
        const Surface s = surfaceFromElevation(x, 0.25, 10.0);
        const SpectralStats sp = spectralStatistics(s, 10);
        EXPECT_NEAR(sp.tm01, c.tm01, 0.0005);
        EXPECT_NEAR(sp.tm02, c.tm02, 0.0005);
        EXPECT_NEAR(sp.tp, 12.0, 1e-9);
        if (c.hm0 > 0) {
            EXPECT_NEAR(sp.hm0, c.hm0, 1e-9);
        }
    }
    // Every wave of the pure sine: height 3.000 and period 12.000.
    const CrossingStats z = zeroUpCrossing(sampled(300.0, 0.25, sine), 0.25);
    for (const CrossingWave& w : z.list) {
        EXPECT_NEAR(w.height, 3.0, 0.0005);
        EXPECT_NEAR(w.period, 12.0, 0.0005);
    }
}

TEST(WaveStatistics, HighestWavesKeepTimeOrderAndCountOnlyCompleteWaves)
{
    // Whole sine waves of amplitude 1, 2, 2, 1 and 8, 8, 12, 8 samples at
    // 1 Hz, then one sample on the level: the first wave has no crossing
    // before it, so three complete waves remain; the two highest are equal
    // and the earlier (8 s) is the highest.
    std::vector<double> x;
    const auto wave = [&](double a, int samples) {
        for (int j = 0; j < samples; ++j)
            x.push_back(a * std::sin(2 * kPi * j / samples));
    };
    wave(1.0, 8), wave(2.0, 8), wave(2.0, 12), wave(1.0, 8);
    x.push_back(0.0);
    const CrossingStats z = zeroUpCrossing(x, 1.0);
    ASSERT_EQ(z.waves, 3);
    EXPECT_NEAR(z.hmax, 4.0, 1e-12);
    EXPECT_NEAR(z.tmax, 8.0, 1e-9);
    EXPECT_NEAR(z.h3, 4.0, 1e-12);
    EXPECT_NEAR(z.t3, 8.0, 1e-9);
    EXPECT_NEAR(z.hmean, 10.0 / 3.0, 1e-12);
    EXPECT_NEAR(z.tmean, 28.0 / 3.0, 1e-9);
    EXPECT_NEAR(z.crest, 2.0, 1e-12);
    EXPECT_EQ(z.h10, 0.0);  // floor(3/10) = 0 waves
}

TEST(WaveStatistics, PressureTransferRestoresTheSurfaceBelowTheCap)
{
    // A 10 s wave of 1 m in 10 m of water seen 0.5 m above the bed.
    const double depth = 10.0, z = 0.5, rho = 1.0248, T = 10.0, dt = 0.5;
    const int n = 2400;
    // Exact wave number.
    double k = 0.1;
    for (int i = 0; i < 60; ++i) {
        const double w = 2 * kPi / T, th = std::tanh(k * depth);
        k -= (9.8 * k * th - w * w) / (9.8 * th + 9.8 * k * depth * (1 - th * th));
    }
    std::vector<double> head(n);
    const double meanCm = (depth - z) * 100.0 * rho;
    for (int i = 0; i < n; ++i)
        head[static_cast<std::size_t>(i)] =
            meanCm + 100.0 * rho * 0.5 * std::cosh(k * z) / std::cosh(k * depth) * std::sin(2 * kPi * i * dt / T);
    const Surface s = surfaceFromPressure(head, meanCm, dt, {z, rho, 12.0});
    ASSERT_TRUE(s.valid);
    EXPECT_NEAR(s.depth, depth, 1e-6);
    const SpectralStats sp = spectralStatistics(s, 10);
    // The approximate wave number of the transfer keeps the height within 1 %.
    EXPECT_NEAR(sp.hm0, 2.0 * std::sqrt(2.0) * 0.5, 0.014);
    const CrossingStats zc = zeroUpCrossing(s.eta, dt);
    EXPECT_NEAR(zc.h3, 1.0, 0.01);
    EXPECT_LT(s.lastBin, n / 2);
    // Above the cap frequency every bin is scaled by the limit.
    EXPECT_GT(s.lastBin, static_cast<int>(0.2 * n * dt));
}

}  // namespace
}  // namespace varenta

namespace varenta {
namespace {

// Every code of the shipped "tolvg.org" is computed for some set of nine
// recorded channels, or is the record's own, or is one only the logger
// provides.
TEST(WaveStatistics, EveryDefinedCodeIsComputedOrTheLoggers)
{
    ResultItemTable items;
    ASSERT_EQ(items.load(std::string(VARENTA_SOURCE_DIR) + "/data/tolvg.org"), Status::Ok);
    const std::vector<std::vector<int>> channelSets = {
        {1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 14, 15, 18, 19, 20, 21, 22}, {24, 25, 41, 42, 16, 17, 9, 10, 1}};
    std::set<int> computed;
    MeasurementHeader h;
    for (const auto& kinds : channelSets) {
        const int n = 2400;
        std::vector<std::vector<float>> x(kinds.size(), std::vector<float>(n));
        std::vector<std::vector<std::int16_t>> counts(kinds.size(), std::vector<std::int16_t>(n));
        BurstInput in;
        in.header = &h;
        in.dt = 0.5;
        for (std::size_t c = 0; c < kinds.size(); ++c) {
            for (int i = 0; i < n; ++i) {
                const double w = std::sin(2 * kPi * i * 0.5 / 9.0) + 0.3 * std::sin(2 * kPi * i * 0.5 / 5.3 + c);
                x[c][static_cast<std::size_t>(i)] = static_cast<float>(50.0 * w + 10.0 * (c + 1));
                counts[c][static_cast<std::size_t>(i)] = static_cast<std::int16_t>(x[c][static_cast<std::size_t>(i)] * 10);
            }
            StatsChannel ch;
            ch.kind = kinds[c];
            ch.values = x[c];
            ch.counts = counts[c];
            ch.mean = kinds[c] == 1 ? 900.0 : 10.0 * (c + 1);
            ch.factor = 0.1;
            in.channels.push_back(ch);
        }
        for (const auto& [code, value] : computeBurstStatistics(in)) {
            EXPECT_TRUE(std::isfinite(value)) << code;
            computed.insert(code);
        }
    }
    // The 16-point names are written beside the directions they pair with.
    std::set<int> names;
    for (int code : computed)
        if (const std::string partner = trimBlanks(items.value(code, 6)); !partner.empty())
            names.insert(std::stoi(partner));
    for (int code = 0; code <= items.count(); ++code) {
        if (!items.defined(code))
            continue;
        const bool own = code <= 3 || code == 6 || code == 64 || names.count(code);
        EXPECT_TRUE(own || computed.count(code) || loggerOnlyCode(code)) << code;
        EXPECT_FALSE(computed.count(code) && loggerOnlyCode(code)) << code;
    }
}

}  // namespace
}  // namespace varenta
