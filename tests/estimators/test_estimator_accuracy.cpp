// The two estimators on the exact, noise-free cross-spectral matrix of a
// cos-2s sea seen by a pressure gauge and a two-component current meter.
#include "tools/estimators/directional.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace varenta::est;

namespace {

struct ExactSea {
    double meanDegrees;
    double s;
};

class ExactSpreading : public ::testing::TestWithParam<ExactSea> {
protected:
    static constexpr int kNd = 72;
    static constexpr double kDepth = 10.0, kFrequency = 0.12, kS = 2.5;

    void SetUp() override
    {
        Sensor p{SensorKind::Pressure, -9.5, 0.0, 1.0, 1.0248};
        Sensor x{SensorKind::Velocity, -9.4, 1.0, 0.0, 1.0};
        Sensor y{SensorKind::Velocity, -9.4, 0.0, 1.0, 1.0};
        sensors = {p, x, y};
        const double mean = GetParam().meanDegrees * kPi / 180.0;
        std::vector<double> fine(7200);
        for (std::size_t j = 0; j < fine.size(); ++j)
            fine[j] = cos2sSpreading(kTwoPi * static_cast<double>(j) / fine.size(), mean, GetParam().s);
        for (int j = 0; j < kNd; ++j)
            truth.push_back(cos2sSpreading(kTwoPi * j / kNd, mean, GetParam().s));
        const CrossSpectrum csm = exactCrossSpectrum(sensors, kFrequency, kDepth, kS, fine);
        const double S = surfaceSpectrum(csm, sensors, kFrequency, kDepth, SensorKind::Pressure, 12.0);
        EXPECT_NEAR(S, kS, 1e-9 * kS);
        ASSERT_TRUE(makeEquations(csm, sensors, kFrequency, kDepth, kNd, eq));
    }

    double normalisedError(const std::vector<double>& d) const
    {
        double num = 0.0, den = 0.0;
        for (std::size_t j = 0; j < truth.size(); ++j) {
            num += (d[j] - truth[j]) * (d[j] - truth[j]);
            den += truth[j] * truth[j];
        }
        return num / den;
    }
    double directionError(const std::vector<double>& d) const
    {
        const double a = meanDirection(d) * 180.0 / kPi;
        return std::abs(std::remainder(a - GetParam().meanDegrees, 360.0));
    }

    std::vector<Sensor> sensors;
    std::vector<double> truth;
    DirectionalEquations eq;
};

TEST_P(ExactSpreading, EmepReproducesTheSpreading)
{
    EmepResult r;
    ASSERT_TRUE(estimateEmep(eq, 6, r));
    EXPECT_EQ(r.order, 2);
    EXPECT_LT(normalisedError(r.spreading), 0.001);
    EXPECT_LT(directionError(r.spreading), 0.05);
}

TEST_P(ExactSpreading, BdmReproducesTheSpreading)
{
    BdmResult r;
    ASSERT_TRUE(estimateBdm(eq, BdmSettings{}, r));
    EXPECT_LT(normalisedError(r.spreading), 0.01) << "u " << r.u;
    EXPECT_LT(directionError(r.spreading), 0.5);
}

INSTANTIATE_TEST_SUITE_P(Cos2s, ExactSpreading,
                         ::testing::Values(ExactSea{30, 10}, ExactSea{200, 10}, ExactSea{315, 10}, ExactSea{30, 75},
                                           ExactSea{200, 75}, ExactSea{315, 75}));

}  // namespace
