#include "tolv/spectra/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace varenta {
namespace {

std::vector<float> randomSignal(int n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> d(-100.0f, 100.0f);
    std::vector<float> v(static_cast<std::size_t>(n));
    for (auto& x : v)
        x = d(gen);
    return v;
}

// The transform written out as the textbook formulation reads, on 1-based
// arrays, with the angle accumulated in single precision inside the loop.
void literalFft(int n, int direction, std::vector<float>& re1, std::vector<float>& im1)
{
    // re1/im1 have n + 1 elements; element 0 is unused.
    const int m = static_cast<int>(std::lround(std::log(static_cast<double>(n)) / 0.693147));
    float c = static_cast<float>(6.283185 / n);
    int span = n;
    for (int s = 1; s <= m; ++s) {
        const int span2 = span;
        span = span2 / 2;
        for (int j = 1; j <= span; ++j) {
            const float a = static_cast<float>(j - 1) * c;
            const float cs = static_cast<float>(std::cos(static_cast<double>(a)));
            float sn = static_cast<float>(std::sin(static_cast<double>(a)));
            if (direction == -1)
                sn = -sn;
            for (int i = j; i <= n; i += span2) {
                const int l = i + span;
                const float dr = re1[i] - re1[l];
                const float di = im1[i] - im1[l];
                re1[i] = re1[i] + re1[l];
                im1[i] = im1[i] + im1[l];
                re1[l] = cs * dr + sn * di;
                im1[l] = cs * di - sn * dr;
            }
        }
        c = 2.0f * c;
    }
    int j = 1;
    for (int i = 1; i <= n - 1; ++i) {
        if (i < j) {
            std::swap(re1[i], re1[j]);
            std::swap(im1[i], im1[j]);
        }
        int k = n / 2;
        while (k < j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
    if (direction == -1)
        for (int i = 1; i <= n; ++i) {
            re1[i] = re1[i] / static_cast<float>(n);
            im1[i] = im1[i] / static_cast<float>(n);
        }
}

class FftSizes : public ::testing::TestWithParam<int> {};

TEST_P(FftSizes, AgreesWithDirectDft)
{
    const int n = GetParam();
    for (int direction : {-1, 1}) {
        auto re = randomSignal(n, 11u + static_cast<unsigned>(n));
        auto im = randomSignal(n, 97u + static_cast<unsigned>(n));
        // Direct transform in double precision with the sign and scaling of
        // each direction.
        std::vector<std::complex<double>> ref(static_cast<std::size_t>(n));
        const double sign = direction == -1 ? 1.0 : -1.0;
        for (int k = 0; k < n; ++k) {
            std::complex<double> acc = 0.0;
            for (int t = 0; t < n; ++t) {
                const double ang = sign * 2.0 * M_PI * static_cast<double>((static_cast<long long>(t) * k) % n) / n;
                acc += std::complex<double>(re[t], im[t]) * std::complex<double>(std::cos(ang), std::sin(ang));
            }
            ref[static_cast<std::size_t>(k)] = direction == -1 ? acc / static_cast<double>(n) : acc;
        }
        ASSERT_EQ(Fft(n, direction, re, im), Status::Ok);
        double maxRef = 0.0, maxErr = 0.0;
        for (int k = 0; k < n; ++k) {
            maxRef = std::max(maxRef, std::abs(ref[static_cast<std::size_t>(k)]));
            maxErr = std::max(maxErr, std::abs(ref[static_cast<std::size_t>(k)] - std::complex<double>(re[k], im[k])));
        }
        EXPECT_LT(maxErr / maxRef, 1e-5) << "n=" << n << " direction=" << direction;
    }
}

TEST_P(FftSizes, ForwardThenInverseReturnsInput)
{
    const int n = GetParam();
    const auto re0 = randomSignal(n, 5u);
    const auto im0 = randomSignal(n, 6u);
    auto re = re0, im = im0;
    ASSERT_EQ(Fft(n, -1, re, im), Status::Ok);
    ASSERT_EQ(Fft(n, 1, re, im), Status::Ok);
    for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(re[i], re0[i], 1e-3f);
        EXPECT_NEAR(im[i], im0[i], 1e-3f);
    }
}

TEST_P(FftSizes, BitIdenticalToTheLiteralLoops)
{
    const int n = GetParam();
    for (int direction : {-1, 1}) {
        auto re = randomSignal(n, 21u);
        auto im = randomSignal(n, 22u);
        std::vector<float> re1(1, 0.0f), im1(1, 0.0f);
        re1.insert(re1.end(), re.begin(), re.end());
        im1.insert(im1.end(), im.begin(), im.end());
        ASSERT_EQ(Fft(n, direction, re, im), Status::Ok);
        literalFft(n, direction, re1, im1);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(re[i], re1[i + 1]) << "n=" << n << " i=" << i;
            ASSERT_EQ(im[i], im1[i + 1]) << "n=" << n << " i=" << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, FftSizes, ::testing::Values(8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096));

TEST(Fft, LongTransformsMatchTheLiteralLoopsAndReturn)
{
    for (int n : {2, 4, 8192, 32768, 65536}) {
        for (int direction : {-1, 1}) {
            auto re = randomSignal(n, 31u);
            auto im = randomSignal(n, 32u);
            std::vector<float> re1(1, 0.0f), im1(1, 0.0f);
            re1.insert(re1.end(), re.begin(), re.end());
            im1.insert(im1.end(), im.begin(), im.end());
            ASSERT_EQ(Fft(n, direction, re, im), Status::Ok);
            literalFft(n, direction, re1, im1);
            for (int i = 0; i < n; ++i) {
                ASSERT_EQ(re[i], re1[i + 1]) << "n=" << n << " i=" << i;
                ASSERT_EQ(im[i], im1[i + 1]) << "n=" << n << " i=" << i;
            }
        }
        const auto re0 = randomSignal(n, 41u), im0 = randomSignal(n, 42u);
        auto re = re0, im = im0;
        ASSERT_EQ(Fft(n, -1, re, im), Status::Ok);
        ASSERT_EQ(Fft(n, 1, re, im), Status::Ok);
        for (int i = 0; i < n; ++i)
            ASSERT_NEAR(re[i], re0[i], 2e-3f) << n;
    }
}

TEST(Fft, RefusesBadArguments)
{
    std::vector<float> re(12, 1.0f), im(12, 0.0f);
    EXPECT_EQ(Fft(12, -1, re, im), Status::DataFormat);  // not a power of two
    EXPECT_EQ(Fft(1, -1, re, im), Status::DataFormat);
    EXPECT_EQ(Fft(8, 0, re, im), Status::DataFormat);
    EXPECT_EQ(Fft(16, -1, re, im), Status::DataFormat);  // arrays too short
    for (float v : re)
        EXPECT_EQ(v, 1.0f);
}

TEST(Fft, DirectionMinusOneUsesPositiveExponent)
{
    // A complex exponential exp(+2 pi i 3 t / 16) lands in bin 16 - 3 for
    // direction -1 and in bin 3 for direction +1.
    const int n = 16;
    for (int direction : {-1, 1}) {
        std::vector<float> re(n), im(n);
        for (int t = 0; t < n; ++t) {
            re[t] = static_cast<float>(std::cos(2 * M_PI * 3 * t / n));
            im[t] = static_cast<float>(std::sin(2 * M_PI * 3 * t / n));
        }
        ASSERT_EQ(Fft(n, direction, re, im), Status::Ok);
        const int bin = direction == -1 ? n - 3 : 3;
        const float expect = direction == -1 ? 1.0f : static_cast<float>(n);
        EXPECT_NEAR(re[bin], expect, 1e-4f * expect);
        for (int k = 0; k < n; ++k) {
            if (k != bin) {
                EXPECT_NEAR(std::hypot(re[k], im[k]), 0.0f, 1e-4f * expect) << k;
            }
        }
    }
}

TEST(FftLengths, PowersOfTwoAroundACount)
{
    struct Case {
        long long n;
        int above;
        int atMost;
    };
    for (const Case c : {Case{2048, 4096, 2048}, Case{2047, 2048, 1024}, Case{2400, 4096, 2048}, Case{1, 2, 1},
                         Case{1200, 2048, 1024}, Case{0, 0, 0}}) {
        EXPECT_EQ(fftLengthAbove(c.n), c.above) << c.n;
        EXPECT_EQ(powerOfTwoAtMost(c.n), c.atMost) << c.n;
    }
}

// Linear dispersion omega^2 = g k tanh(k h) solved by Newton's method.
double exactWaveNumber(double t, double h)
{
    const double g = 9.8, w = 2 * M_PI / t;
    double k = w * w / g / std::sqrt(std::tanh(w * w * h / g));
    for (int i = 0; i < 50; ++i) {
        const double th = std::tanh(k * h);
        const double f = g * k * th - w * w;
        const double df = g * th + g * k * h * (1 - th * th);
        k -= f / df;
    }
    return k;
}

TEST(WaveNumber, CloseToTheDispersionRelation)
{
    for (double h : {0.5, 2.0, 5.0, 10.0, 30.0, 100.0})
        for (double t : {1.0, 2.0, 4.0, 8.0, 12.0, 20.0, 60.0, 300.0}) {
            const double k = WaveNumber(static_cast<float>(t), static_cast<float>(h));
            const double ke = exactWaveNumber(t, h);
            EXPECT_NEAR(k / ke, 1.0, 0.005) << "T=" << t << " h=" << h;
        }
    EXPECT_EQ(WaveNumber(0.0f, 10.0f), 0.0f);
    EXPECT_EQ(WaveNumber(8.0f, 0.0f), 0.0f);
}

TEST(WaveHelpers, HyperbolicFunctionsAndLogarithm)
{
    EXPECT_NEAR(CoshF(1.0f), std::cosh(1.0), 1e-6);
    EXPECT_NEAR(SinhF(-2.0f), std::sinh(-2.0), 1e-5);
    // Limited argument: finite, and the same beyond the limit.
    EXPECT_TRUE(std::isfinite(CoshF(500.0f)));
    EXPECT_EQ(CoshF(500.0f), CoshF(89.4f));
    EXPECT_EQ(CoshF(-500.0f), CoshF(89.4f));
    EXPECT_TRUE(std::isfinite(SinhF(500.0f)));
    EXPECT_EQ(SinhF(-500.0f), -SinhF(500.0f));

    EXPECT_EQ(Log10F(0.0f), 1e-08f);
    EXPECT_EQ(Log10F(-3.0f), 1e-08f);
    EXPECT_NEAR(Log10F(1000.0f), 3.0f, 1e-5f);
    EXPECT_NEAR(Log10F(0.01f), -2.0f, 1e-5f);
}

}  // namespace
}  // namespace varenta
