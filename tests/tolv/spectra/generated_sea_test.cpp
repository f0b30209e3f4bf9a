// Conditioning and spectra on bursts of the synthetic data generator: a
// long swell and a short wind sea recorded as pressure and two current
// components at 0.5 s for 20 minutes.
#include "tolv/spectra/conditioning.h"
#include "tolv/spectra/spectrum.h"
#include "tolv/spectra/spectrumgraph.h"
#include "tools/synth/generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace varenta {
namespace {

struct SeaCase {
    const char* name;
    double hm0, tp, gamma, spreading;
};

const SeaCase kSeas[] = {
    {"swell", 1.2, 14.0, 5.0, 25.0},
    {"wind sea", 2.5, 6.0, 3.3, 8.0},
};

synth::GeneratorOptions options(const SeaCase& s, std::uint64_t seed)
{
    synth::GeneratorOptions o;
    o.sea.hm0 = s.hm0;
    o.sea.tp = s.tp;
    o.sea.gamma = s.gamma;
    o.sea.spreadingS = s.spreading;
    o.sea.depth = 12.0;
    o.sea.gaugeHeight = 0.5;
    o.plan.intervalCode = 1;  // 0.5 s
    o.plan.durationMinutes = 20;
    o.seed = seed;
    return o;
}

// A burst's counts with the views conditioning works on.
struct Loaded {
    synth::Burst burst;
    std::vector<std::vector<float>> x;
    std::vector<RecordChannel> channels;
    float dt = 0.5f;
};

Loaded load(const synth::GeneratorOptions& o, std::uint32_t m)
{
    Loaded l;
    l.burst = synth::generateBurst(o, m);
    l.dt = static_cast<float>(l.burst.dt);
    const std::size_t nc = l.burst.channels.size();
    l.x.assign(nc, std::vector<float>(static_cast<std::size_t>(l.burst.samplesPerChannel) + 1));
    l.channels.resize(nc);
    for (std::size_t c = 0; c < nc; ++c) {
        l.channels[c].raw = l.burst.counts[c];
        l.channels[c].x = l.x[c];
        l.channels[c].kind = l.burst.channels[c];
        l.channels[c].factor = static_cast<float>(o.factors.of(l.burst.channels[c]));
    }
    return l;
}

ConditioningSettings spikeSettings()
{
    ConditioningSettings set;
    set.spike.passes = 3;
    set.spike.level = 30.0f;
    set.spike.steepness = 1.0f;
    return set;
}

TEST(GeneratedSea, SpikeFilterLeavesACleanBurstUnchanged)
{
    for (const SeaCase& s : kSeas)
        for (std::uint32_t m : {1u, 2u, 3u}) {
            const auto o = options(s, 11);
            Loaded l = load(o, m);
            const auto rep = ConditionRecord(l.channels, l.dt, 0, spikeSettings(), true);
            for (std::size_t c = 0; c < l.channels.size(); ++c) {
                EXPECT_EQ(rep.spikesRemoved[c], 0) << s.name << " burst " << m << " channel " << c;
                for (int i = 0; i < l.burst.samplesPerChannel; ++i)
                    ASSERT_EQ(l.x[c][static_cast<std::size_t>(i)],
                              l.channels[c].factor * static_cast<float>(l.burst.counts[c][static_cast<std::size_t>(i)]))
                        << s.name << " channel " << c << " sample " << i;
            }
        }
}

TEST(GeneratedSea, SpikeFilterRemovesInjectedSpikes)
{
    for (const SeaCase& s : kSeas)
        for (std::uint32_t m : {1u, 2u, 3u, 4u}) {
            auto o = options(s, 23);
            o.faults.spikesPerBurst = 3;
            o.faults.spikeSize = 2000.0;  // 200 cm or 200 cm/s
            Loaded l = load(o, m);
            ASSERT_FALSE(l.burst.spikes.empty());
            const auto rep = ConditionRecord(l.channels, l.dt, 0, spikeSettings(), true);
            for (const auto& [c, i] : l.burst.spikes)
                EXPECT_EQ(l.x[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)], kMissingValue)
                    << s.name << " burst " << m << " channel " << c << " sample " << i;
            for (std::size_t c = 0; c < l.channels.size(); ++c) {
                // A spike takes at most the wave it sits in (and the samples
                // after it that are far from the mean) with it.
                EXPECT_LE(rep.spikesRemoved[c], 3 * 15) << s.name << " channel " << c;
                for (int i = 0; i < l.burst.samplesPerChannel; ++i) {
                    const float v = l.x[c][static_cast<std::size_t>(i)];
                    if (v != kMissingValue) {
                        ASSERT_EQ(v, l.channels[c].factor *
                                         static_cast<float>(l.burst.counts[c][static_cast<std::size_t>(i)]));
                    }
                }
            }
        }
}

// Surface-elevation Hm0 from the pressure record with the conversion on,
// over the band below the frequency where the factor reaches its cap,
// against the generated components in the same band.
TEST(GeneratedSea, PressureSpectrumGivesTheSeaStateHeight)
{
    for (const SeaCase& s : kSeas)
        for (std::uint32_t m : {1u, 5u}) {
            const auto o = options(s, 37);
            Loaded l = load(o, m);
            ConditioningSettings set = spikeSettings();
            set.trendMask = 0x7;
            ConditionRecord(l.channels, l.dt, 0, set, true);

            SpectrumRecord rec;
            rec.sampleCount = l.burst.samplesPerChannel;
            rec.dt = l.dt;
            rec.channel0Kind = l.burst.channels[0];
            rec.channel0Mean = l.channels[0].stats.mean;
            SpectrumSettings ss;
            ss.convertToSurface = true;
            ss.smoothingPasses = 10;
            ss.factorLimit = 12.0f;
            ss.gaugeHeight = static_cast<float>(o.sea.gaugeHeight);
            ss.pressureDivisor = static_cast<float>(o.sea.headScale);
            const std::span<const float> p(l.x[0].data(), static_cast<std::size_t>(rec.sampleCount));
            Spectrum conv, plain;
            ASSERT_EQ(PowerSpectrumCompute(p, 0, rec, ss, conv), Status::Ok);
            EXPECT_NEAR(conv.depth, o.sea.depth, 0.05);
            SpectrumSettings raw = ss;
            raw.convertToSurface = false;
            raw.smoothingPasses = 0;
            SpectrumSettings k = ss;
            k.smoothingPasses = 0;
            Spectrum c0;
            ASSERT_EQ(PowerSpectrumCompute(p, 0, rec, raw, plain), Status::Ok);
            ASSERT_EQ(PowerSpectrumCompute(p, 0, rec, k, c0), Status::Ok);
            double fcap = 1e9;
            for (std::size_t b = 0; b < plain.density.size(); ++b)
                if (plain.density[b] > 0 && c0.density[b] / plain.density[b] >= 144.0 * (1 - 1e-4)) {
                    fcap = plain.frequency[b];
                    break;
                }
            ASSERT_LT(fcap, 1.0);
            const double binWidth = 1.0 / (conv.length * rec.dt);
            double m0 = 0.0;
            for (std::size_t b = 0; b < conv.density.size(); ++b)
                if (conv.frequency[b] < fcap)
                    m0 += conv.density[b] * binWidth;
            double m0gen = 0.0;
            for (const auto& w : l.burst.components)
                if (w.frequency < fcap)
                    m0gen += w.amplitude * w.amplitude / 2;
            const double hm0 = 4 * std::sqrt(m0), hm0gen = 4 * std::sqrt(m0gen);
            EXPECT_NEAR(hm0 / hm0gen, 1.0, 0.10) << s.name << " burst " << m << " cap " << fcap;
            // Below the cap lies nearly all of the sea.
            EXPECT_GT(m0gen, 0.8 * synth::spectralMoment(l.burst.components, 0)) << s.name;
        }
}

TEST(GeneratedSea, SpectrumTextParsesBackToTheDrawnCurves)
{
    const auto o = options(kSeas[1], 5);
    Loaded l = load(o, 2);
    ConditioningSettings set = spikeSettings();
    set.trendMask = 0x7;
    ConditionRecord(l.channels, l.dt, 0, set, true);
    SpectrumGraphInput in;
    for (const auto& v : l.x)
        in.channels.emplace_back(v.data(), static_cast<std::size_t>(l.burst.samplesPerChannel));
    in.record.sampleCount = l.burst.samplesPerChannel;
    in.record.dt = l.dt;
    in.record.channel0Kind = l.burst.channels[0];
    in.record.channel0Mean = l.channels[0].stats.mean;
    in.settings.convertToSurface = true;
    in.settings.smoothingPasses = 10;
    in.settings.gaugeHeight = 0.5f;
    in.drawnSlots = {{0, 0}, {1, 1}, {2, 2}};
    in.info.decades = 5;
    SpectrumGraph g;
    ASSERT_EQ(buildPowerSpectrumGraph(in, g), Status::Ok);
    ASSERT_TRUE(g.frame);

    std::size_t line = 0;
    for (std::size_t k = 0; k < g.curves.size(); ++k) {
        ASSERT_EQ(g.textLines[line++], std::to_string(g.curves[k].slot + 1));
        const SpectrumCurve& c = g.curves[k];
        for (std::size_t b = 0; b < c.x.size(); ++b) {
            const std::string t(g.textLines[line++]);
            const double f = std::strtod(t.c_str(), nullptr);
            const double d = std::strtod(t.c_str() + t.find(',') + 1, nullptr);
            // Six significant digits in the file, and the drawing's logarithm
            // divides by 2.30258: a few 1e-6 per decade apart at most.
            const double tol = 1e-6 * (3.0 + 2.5 * std::fabs(c.x[b]));
            ASSERT_NEAR(std::log10(f), c.x[b], tol) << t;
            const double y = std::max(d > 0 ? std::log10(d) : 1e-8, static_cast<double>(g.frame->bottom));
            ASSERT_NEAR(y, c.y[b], 1e-6 * (3.0 + 2.5 * std::fabs(y))) << t;
        }
    }
    EXPECT_EQ(line, g.textLines.size());
}

}  // namespace
}  // namespace varenta
