// Burst statistics on signals whose statistics are known exactly.
#include "tolv/spectra/dft.h"
#include "tolv/spectra/wavestats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

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
