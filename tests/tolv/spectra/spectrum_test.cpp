#include "tolv/spectra/spectrum.h"

#include "tolv/spectra/fft.h"
#include "tolv/spectra/seastate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace varenta {
namespace {

std::vector<float> sine(int n, double dt, double f, double amp, double phase = 0.3)
{
    std::vector<float> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] = static_cast<float>(amp * std::sin(2 * M_PI * f * i * dt + phase));
    return v;
}

SpectrumRecord record(int n, float dt)
{
    SpectrumRecord r;
    r.sampleCount = n;
    r.dt = dt;
    return r;
}

TEST(SpectrumLength, RequestedLengthsAndTheMeasurementLength)
{
    struct Case {
        int requested, n0, expect;
    };
    for (const Case c : {Case{0, 4096, 4096}, Case{5000, 4096, 4096}, Case{4096, 4096, 4096}, Case{1024, 4096, 1024},
                         Case{1000, 4096, 512}, Case{3000, 4096, 2048}, Case{3, 4096, 4}, Case{-7, 2048, 2048}})
        EXPECT_EQ(spectrumLength(c.requested, c.n0), c.expect) << c.requested;
}

TEST(PowerSpectrum, RecordOf2048SamplesUses4096PointsPaddedWithZeros)
{
    const int n = 2048;
    const float dt = 1.0f;
    const auto x = sine(n, dt, 0.1, 50.0);
    SpectrumSettings set;
    Spectrum s;
    ASSERT_EQ(PowerSpectrumCompute(x, 5, record(n, dt), set, s), Status::Ok);
    EXPECT_EQ(s.length, 4096);
    EXPECT_EQ(s.density.size(), 2048u);
    EXPECT_EQ(s.frequency.size(), 2048u);

    // The same spectrum from the record written out with 2048 zeros and the
    // padding compensation undone (the compensation is N / used samples).
    std::vector<float> re(4096, 0.0f), im(4096, 0.0f);
    for (int i = 0; i < n; ++i)
        re[static_cast<std::size_t>(i)] = x[static_cast<std::size_t>(i)] * 0.01f;
    ASSERT_EQ(Fft(4096, -1, re, im), Status::Ok);
    for (int b = 1; b <= 2048; b += 97) {
        const float expect = (re[b - 1] * re[b - 1] + im[b - 1] * im[b - 1]) * 4096 * 2 * dt * 2.0f;
        EXPECT_NEAR(s.density[static_cast<std::size_t>(b - 1)], expect, 1e-5f * std::max(expect, 1e-6f)) << b;
    }
}

TEST(PowerSpectrum, FirstBinIsOneOverNMinusOneTimesDt)
{
    SpectrumSettings set;
    set.requestedLength = 1024;
    Spectrum s;
    const auto x = sine(2048, 0.5, 0.1, 10.0);
    ASSERT_EQ(PowerSpectrumCompute(x, 0, record(2048, 0.5f), set, s), Status::Ok);
    EXPECT_EQ(s.length, 1024);
    EXPECT_NEAR(s.frequency[0], 0.0019550f, 5e-8f);
    EXPECT_NEAR(s.frequency[1], 2 * 0.0019550f, 1e-7f);
    EXPECT_NEAR(s.frequency.back(), 512 / (1023 * 0.5f), 1e-5f);
}

TEST(PowerSpectrum, SineEnergyAtItsFrequencyAndVarianceKept)
{
    struct Case {
        int n;
        float dt;
        double f;
        int passes;
    };
    for (const Case c : {Case{2400, 0.5f, 0.1, 0}, Case{2400, 0.5f, 0.1, 15}, Case{1200, 1.0f, 0.0625, 10},
                         Case{4096, 0.1f, 1.3, 0}, Case{1024, 0.2f, 0.5, 20}}) {
        const double amp = 80.0;  // cm
        const auto x = sine(c.n, c.dt, c.f, amp);
        SpectrumSettings set;
        set.smoothingPasses = c.passes;
        Spectrum s;
        ASSERT_EQ(PowerSpectrumCompute(x, 4, record(c.n, c.dt), set, s), Status::Ok);
        const auto peak = std::max_element(s.density.begin(), s.density.end()) - s.density.begin();
        // Bin b holds the frequency (b - 1) / (N dt) under the label b df: the
        // peak is within the resolution plus that label step.
        EXPECT_NEAR(s.frequency[static_cast<std::size_t>(peak)], c.f, 2.5 * s.df) << c.n << " " << c.f;
        // Parseval: the area under the density is the variance (m^2).
        const double binWidth = 1.0 / (s.length * c.dt);
        const double area = std::accumulate(s.density.begin(), s.density.end(), 0.0) * binWidth;
        double var = 0.0;
        for (float v : x)
            var += (v * 0.01) * (v * 0.01);
        var /= c.n;
        EXPECT_NEAR(area / var, 1.0, 0.02) << c.n << " " << c.f << " passes " << c.passes;
    }
}

TEST(PowerSpectrum, SmoothingIsTheThreePointAverage)
{
    std::vector<float> d{4, 0, 0, 8, 0, 0};
    smoothSpectrum(d, 1);
    const std::vector<float> one{2, 1, 2, 4, 2, 0};
    EXPECT_EQ(d, one);
    smoothSpectrum(d, 1);
    const std::vector<float> two{1.5f, 1.5f, 2.25f, 3.0f, 2.0f, 1.0f};
    EXPECT_EQ(d, two);
}

// Ratio of the converted to the unconverted density is K^2 per bin.
std::vector<double> factorSquared(const std::vector<float>& x, int channel, SpectrumRecord rec, SpectrumSettings set)
{
    Spectrum plain, conv;
    set.convertToSurface = false;
    EXPECT_EQ(PowerSpectrumCompute(x, channel, rec, set, plain), Status::Ok);
    set.convertToSurface = true;
    EXPECT_EQ(PowerSpectrumCompute(x, channel, rec, set, conv), Status::Ok);
    EXPECT_TRUE(conv.converted);
    std::vector<double> k2;
    for (std::size_t b = 0; b < plain.density.size(); ++b)
        k2.push_back(plain.density[b] > 0 ? conv.density[b] / static_cast<double>(plain.density[b]) : -1.0);
    return k2;
}

TEST(PowerSpectrum, FactorReachesTheCapAndStaysThere)
{
    // Deep water over a high gauge: K rises with frequency; above about
    // 0.47 Hz kh passes the argument limit of CoshF, so a recomputed K would
    // fall again towards 1.  Once capped it must stay at the cap.
    std::vector<float> x(2400);
    std::mt19937 gen(3);
    std::normal_distribution<float> g(0.0f, 30.0f);
    for (auto& v : x)
        v = g(gen);
    SpectrumRecord rec = record(2400, 0.5f);
    rec.channel0Kind = kPressureChannelKind;
    rec.channel0Mean = 5000.0f;  // 50 m of head
    SpectrumSettings set;
    set.gaugeHeight = 50.0f;
    set.factorLimit = 12.0f;
    for (int channel : {0, 1}) {
        const auto k2 = factorSquared(x, channel, rec, set);
        std::size_t first = k2.size();
        for (std::size_t b = 0; b < k2.size(); ++b)
            if (std::fabs(k2[b] / 144.0 - 1.0) < 1e-4) {
                first = b;
                break;
            }
        ASSERT_LT(first, k2.size() / 2) << "channel " << channel;
        for (std::size_t b = 1; b < first; ++b) {
            EXPECT_LT(k2[b], 144.0 * (1 - 1e-4)) << b;
            EXPECT_GE(k2[b], k2[b - 1] * (1 - 1e-5)) << b;  // rising
        }
        for (std::size_t b = first; b < k2.size(); ++b)
            ASSERT_NEAR(k2[b], 144.0, 144.0 * 1e-4) << "bin " << b << " channel " << channel;
    }
}

TEST(PowerSpectrum, NoConversionWithoutAPressureChannel)
{
    const auto x = sine(1200, 1.0, 0.1, 20.0);
    SpectrumRecord rec = record(1200, 1.0f);
    rec.channel0Kind = 4;  // not pressure: no depth
    rec.channel0Mean = 900.0f;
    SpectrumSettings set;
    set.convertToSurface = true;
    for (int channel : {0, 1, 2}) {
        Spectrum conv, plain;
        std::string note;
        ASSERT_EQ(PowerSpectrumCompute(x, channel, rec, set, conv, &note), Status::Ok);
        EXPECT_FALSE(conv.converted);
        EXPECT_EQ(note, kConversionSkippedText);
        set.convertToSurface = false;
        ASSERT_EQ(PowerSpectrumCompute(x, channel, rec, set, plain), Status::Ok);
        set.convertToSurface = true;
        EXPECT_EQ(conv.density, plain.density);
    }
    // Channels without a conversion kind say nothing.
    Spectrum s;
    std::string note;
    ASSERT_EQ(PowerSpectrumCompute(x, 3, rec, set, s, &note), Status::Ok);
    EXPECT_TRUE(note.empty());
}

TEST(PowerSpectrum, DepthFromThePressureMean)
{
    SpectrumRecord rec = record(2400, 0.5f);
    rec.channel0Kind = kPressureChannelKind;
    SpectrumSettings set;
    set.gaugeHeight = 0.5f;
    set.pressureDivisor = 1.025f;
    rec.channel0Mean = 1025.0f;
    EXPECT_NEAR(planSpectrum(rec, set).depth, 10.5f, 1e-5f);
    rec.channel0Mean = -300.0f;  // below the gauge: the gauge height
    EXPECT_NEAR(planSpectrum(rec, set).depth, 0.5f, 1e-6f);
    set.gaugeHeight = 0.0f;      // at least 0.0001
    EXPECT_NEAR(planSpectrum(rec, set).depth, 0.0001f, 1e-9f);
    rec.channel0Kind = 12;
    EXPECT_FALSE(planSpectrum(rec, set).depthKnown);
}

TEST(PowerSpectrum, MissingMarkersNeverReachTheTransform)
{
    auto x = sine(1200, 1.0, 0.1, 20.0);
    auto held = x;
    for (int i : {0, 1, 500, 501, 502}) {
        x[static_cast<std::size_t>(i)] = -32768.0f;
    }
    held[0] = held[1] = held[2];
    held[500] = held[501] = held[502] = held[499];
    Spectrum a, b;
    ASSERT_EQ(PowerSpectrumCompute(x, 3, record(1200, 1.0f), {}, a), Status::Ok);
    ASSERT_EQ(PowerSpectrumCompute(held, 3, record(1200, 1.0f), {}, b), Status::Ok);
    EXPECT_EQ(a.density, b.density);
}

TEST(PowerSpectrum, RefusesRecordsItCannotTransform)
{
    const std::vector<float> x(10, 1.0f);
    Spectrum s;
    EXPECT_EQ(PowerSpectrumCompute(x, 0, record(10, 0.0f), {}, s), Status::DataFormat);
    EXPECT_EQ(PowerSpectrumCompute(x, 0, record(1, 1.0f), {}, s), Status::DataFormat);
    EXPECT_TRUE(s.density.empty());
    SpectrumSettings huge;
    huge.convertToSurface = true;
    huge.factorLimit = 1e30f;
    SpectrumRecord rec = record(10, 1.0f);
    rec.channel0Kind = kPressureChannelKind;
    rec.channel0Mean = 1e6f;
    // Whatever the cap, nothing overflows into the result unnoticed.
    const Status st = PowerSpectrumCompute(x, 0, rec, huge, s);
    if (st == Status::Ok)
        for (float v : s.density)
            EXPECT_TRUE(std::isfinite(v));
    else
        EXPECT_TRUE(s.density.empty());
}

// Hm0 of a generated sea from its pressure (channel 0) and velocity
// (channel 1) records, converted to surface elevation, against the sea
// state, over the band below the frequency where K reaches its cap.
TEST(PowerSpectrum, ConvertedSpectraGiveTheSeaStateHeight)
{
    struct Case {
        double hs, tp, depth;
        float dt;
        int n;
        unsigned seed;
    };
    for (const Case c : {Case{1.5, 8.0, 10.0, 0.5f, 2400, 1}, Case{3.0, 12.0, 20.0, 0.5f, 2400, 2},
                         Case{0.8, 5.0, 6.0, 0.2f, 4800, 3}, Case{2.0, 10.0, 15.0, 1.0f, 1200, 4}}) {
        testsea::Sea sea;
        sea.hs = c.hs;
        sea.tp = c.tp;
        sea.depth = c.depth;
        sea.z = 0.5;
        sea.fmax = 0.5 / c.dt * 0.9;
        sea.seed = c.seed;
        const auto r = testsea::makeSea(sea, c.n, c.dt);
        SpectrumRecord rec = record(c.n, c.dt);
        rec.channel0Kind = kPressureChannelKind;
        rec.channel0Mean = static_cast<float>((c.depth - sea.z) * 100.0);
        SpectrumSettings set;
        set.convertToSurface = true;
        set.smoothingPasses = 10;
        set.gaugeHeight = static_cast<float>(sea.z);
        for (int channel : {0, 1}) {
            Spectrum s, k;
            ASSERT_EQ(PowerSpectrumCompute(channel == 0 ? r.pressure : r.velocity, channel, rec, set, s), Status::Ok);
            EXPECT_NEAR(s.depth, c.depth, 1e-3);
            // The cap frequency: where the factor first reaches the limit.
            SpectrumSettings plain = set;
            plain.convertToSurface = false;
            plain.smoothingPasses = 0;
            SpectrumSettings conv = set;
            conv.smoothingPasses = 0;
            Spectrum p0, c0;
            ASSERT_EQ(PowerSpectrumCompute(r.eta, channel, rec, plain, p0), Status::Ok);
            ASSERT_EQ(PowerSpectrumCompute(r.eta, channel, rec, conv, c0), Status::Ok);
            double fcap = 1e9;
            for (std::size_t b = 0; b < p0.density.size(); ++b)
                if (p0.density[b] > 0 && c0.density[b] / p0.density[b] >= 144.0 * (1 - 1e-4)) {
                    fcap = p0.frequency[b];
                    break;
                }
            const double band = std::min(fcap, 0.9 * sea.fmax);
            const double binWidth = 1.0 / (s.length * c.dt);
            double m0 = 0.0;
            for (std::size_t b = 0; b < s.density.size(); ++b)
                if (s.frequency[b] < band)
                    m0 += s.density[b] * binWidth;
            double m0gen = 0.0;
            for (std::size_t i = 0; i < r.freq.size(); ++i)
                if (r.freq[i] < band)
                    m0gen += r.amp[i] * r.amp[i] / 2;
            const double hm0 = 4 * std::sqrt(m0), hm0gen = 4 * std::sqrt(m0gen);
            EXPECT_NEAR(hm0 / hm0gen, 1.0, 0.10)
                << "Hs " << c.hs << " Tp " << c.tp << " channel " << channel << " band " << band;
        }
    }
}

}  // namespace
}  // namespace varenta
