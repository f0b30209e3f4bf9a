// Linear wave theory of the generator: dispersion relation, transfer
// functions, spectrum and spreading shapes, and the component sum.
#include "tools/synth/waves.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace varenta::synth;

TEST(SynthWaves, WaveNumberSolvesTheDispersionRelation)
{
    struct Case {
        double period, depth;
    };
    const Case cases[] = {{1.0, 10}, {4.0, 10}, {8.0, 10}, {12.0, 5}, {20.0, 2}, {8.0, 1000}, {30.0, 0.5}, {2.0, 0.05}};
    for (const Case& c : cases) {
        const double omega = kTwoPi / c.period;
        const double k = solveWaveNumber(omega, c.depth);
        ASSERT_GT(k, 0.0);
        const double lhs = omega * omega, rhs = kStandardGravity * k * std::tanh(k * c.depth);
        EXPECT_NEAR(rhs / lhs, 1.0, 1e-12) << "T " << c.period << " h " << c.depth;
    }
    // Limits: deep water k = omega^2/g, shallow water k = omega/sqrt(g h).
    const double deep = solveWaveNumber(kTwoPi / 3.0, 500.0);
    EXPECT_NEAR(deep, std::pow(kTwoPi / 3.0, 2) / kStandardGravity, 1e-12);
    const double shallow = solveWaveNumber(kTwoPi / 200.0, 1.0);
    EXPECT_NEAR(shallow, (kTwoPi / 200.0) / std::sqrt(kStandardGravity * 1.0), 3e-5 * shallow);  // (kh)^2/6 from the exact root
    EXPECT_EQ(solveWaveNumber(0.0, 10.0), 0.0);
    EXPECT_EQ(solveWaveNumber(1.0, 0.0), 0.0);
}

TEST(SynthWaves, TransferFunctionsMatchTheirClosedForms)
{
    const double h = 10.0;
    for (double period : {3.0, 6.0, 10.0, 16.0}) {
        const double omega = kTwoPi / period;
        const double k = solveWaveNumber(omega, h);
        for (double z : {0.0, 0.5, 3.0, 9.0, 10.0}) {
            EXPECT_NEAR(pressureTransfer(k, h, z), std::cosh(k * z) / std::cosh(k * h), 1e-12);
            EXPECT_NEAR(velocityTransfer(omega, k, h, z), omega * std::cosh(k * z) / std::sinh(k * h), 1e-12);
        }
    }
    // At the surface the pressure head follows the surface exactly; in deep
    // water the response decays as exp(-k depth-below-surface) without overflow.
    EXPECT_DOUBLE_EQ(pressureTransfer(0.3, 10.0, 10.0), 1.0);
    const double k = 2.0;
    EXPECT_NEAR(pressureTransfer(k, 1000.0, 995.0), std::exp(-k * 5.0), 1e-15);
    EXPECT_NEAR(velocityTransfer(4.4, k, 1000.0, 995.0), 4.4 * std::exp(-k * 5.0), 1e-14);
    EXPECT_TRUE(std::isfinite(velocityTransfer(4.4, k, 1000.0, 0.0)));
}

TEST(SynthWaves, SpreadingIsANormalisedDensity)
{
    for (double s : {1.0, 5.0, 10.0, 25.0, 75.0}) {
        double sum = 0.0;
        const int n = 20000;
        for (int i = 0; i < n; ++i) {
            const double th = -kPi + (i + 0.5) * kTwoPi / n;
            sum += cos2sDensity(th, s) * kTwoPi / n;
        }
        EXPECT_NEAR(sum, 1.0, 1e-6) << s;
        EXPECT_GT(cos2sDensity(0.0, s), cos2sDensity(0.5, s));
    }
}

TEST(SynthWaves, JonswapPeaksAtThePeakFrequency)
{
    for (double tp : {5.0, 8.0, 14.0})
        for (double gamma : {1.0, 3.3, 7.0}) {
            double best = 0.0, bestF = 0.0;
            for (double f = 0.01; f < 1.0; f += 0.0001) {
                const double s = jonswapShape(f, tp, gamma);
                if (s > best) {
                    best = s;
                    bestF = f;
                }
            }
            EXPECT_NEAR(bestF, 1.0 / tp, 0.0002) << tp << " " << gamma;
        }
}

TEST(SynthWaves, ComponentsCarryTheRequestedVarianceAndDirections)
{
    SeaState sea;
    sea.hm0 = 2.0;
    sea.tp = 9.0;
    sea.meanDirection = 250.0;
    sea.spreadingS = 20.0;
    SynthesisSettings st;
    st.components = 400;
    st.randomAmplitudes = false;
    Random rng(7);
    const std::vector<WaveComponent> comps = makeComponents(sea, st, 10.0, 1.0, rng);
    ASSERT_EQ(comps.size(), 400u);
    EXPECT_NEAR(4.0 * std::sqrt(spectralMoment(comps, 0)), 2.0, 1e-9);  // exact with deterministic amplitudes
    double s = 0, c = 0;
    for (const WaveComponent& w : comps) {
        EXPECT_GE(w.frequency, 0.5 / 9.0);
        EXPECT_LE(w.frequency, 6.0 / 9.0);
        EXPECT_NEAR(w.kx * w.kx + w.ky * w.ky, w.k * w.k, 1e-12);
        const double e = w.amplitude * w.amplitude;
        s += e * std::sin(w.direction * kPi / 180);
        c += e * std::cos(w.direction * kPi / 180);
        // Travel is opposite to the "from" direction.
        const double travel = std::atan2(w.kx, w.ky) * 180 / kPi;
        EXPECT_NEAR(std::remainder(travel - (w.direction + 180.0), 360.0), 0.0, 1e-9);
    }
    EXPECT_NEAR(std::remainder(std::atan2(s, c) * 180 / kPi - 250.0, 360.0), 0.0, 2.0);

    // The band stops at the Nyquist frequency; calm seas have no components.
    Random rng2(7);
    for (const WaveComponent& w : makeComponents(sea, st, 10.0, 0.25, rng2))
        EXPECT_LE(w.frequency, 0.25);
    sea.hm0 = 0.0;
    EXPECT_TRUE(makeComponents(sea, st, 10.0, 1.0, rng2).empty());
}

TEST(SynthWaves, FieldIsTheSumOfItsComponents)
{
    SeaState sea;
    sea.hm0 = 1.0;
    sea.tp = 6.0;
    SynthesisSettings st;
    st.components = 5;
    Random rng(3);
    const std::vector<WaveComponent> comps = makeComponents(sea, st, 8.0, 1.0, rng);
    const int n = 3000;  // long enough to cross the re-anchoring blocks
    const double dt = 0.5;
    const WaveField w = sampleWaveField(comps, n, dt, 100.0);
    const std::vector<double> shifted = samplePressureAt(comps, n, dt, 3.0, -4.0, 100.0);
    for (int i : {0, 1, 1023, 1024, 1025, 2999}) {
        double eta = 0, p = 0, e = 0, no = 0, ps = 0;
        const double t = 100.0 + i * dt;
        for (const WaveComponent& c : comps) {
            const double cs = std::cos(c.phase - c.omega * t);
            eta += c.amplitude * cs;
            p += c.amplitude * c.pressureGain * cs;
            e += c.amplitude * c.velocityGain * c.kx / c.k * cs;
            no += c.amplitude * c.velocityGain * c.ky / c.k * cs;
            ps += c.amplitude * c.pressureGain * std::cos(c.phase + c.kx * 3.0 - c.ky * 4.0 - c.omega * t);
        }
        EXPECT_NEAR(w.eta[static_cast<std::size_t>(i)], eta, 1e-9) << i;
        EXPECT_NEAR(w.pressure[static_cast<std::size_t>(i)], p, 1e-9) << i;
        EXPECT_NEAR(w.east[static_cast<std::size_t>(i)], e, 1e-9) << i;
        EXPECT_NEAR(w.north[static_cast<std::size_t>(i)], no, 1e-9) << i;
        EXPECT_NEAR(shifted[static_cast<std::size_t>(i)], ps, 1e-9) << i;
    }
}

TEST(SynthWaves, RandomStreamIsReproducible)
{
    Random a(42), b(42), c(43);
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        const std::uint64_t x = a.next();
        EXPECT_EQ(x, b.next());
        differs |= x != c.next();
    }
    EXPECT_TRUE(differs);
    Random u(1);
    double sum = 0, sq = 0;
    for (int i = 0; i < 20000; ++i) {
        const double v = u.normal();
        sum += v;
        sq += v * v;
        const double r = u.uniform();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
    }
    EXPECT_NEAR(sum / 20000, 0.0, 0.03);
    EXPECT_NEAR(sq / 20000, 1.0, 0.04);
}
