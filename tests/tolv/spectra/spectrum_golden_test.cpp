// The conditioning, the spectra and the spectrum text file of generated
// bursts, pinned bit for bit: every case's file bytes and result numbers
// are hashed and compared with the hashes taken from the straightforward
// implementation, so a speed-up of the transform, the conversion, the
// smoothing or the text formatting cannot change a single output byte.
#include "common/textfile.h"
#include "tolv/spectra/conditioning.h"
#include "tolv/spectra/spectrumgraph.h"
#include "tools/synth/generator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace varenta {
namespace {

namespace fs = std::filesystem;

// FNV-1a, 64 bits.
struct Hash {
    std::uint64_t h = 1469598103934665603ull;
    void bytes(const void* p, std::size_t n)
    {
        const auto* b = static_cast<const unsigned char*>(p);
        for (std::size_t i = 0; i < n; ++i) {
            h ^= b[i];
            h *= 1099511628211ull;
        }
    }
    void floats(std::span<const float> v) { bytes(v.data(), v.size() * sizeof(float)); }
    template <class T>
    void value(T v) { bytes(&v, sizeof v); }
};

struct Case {
    const char* name;
    std::uint64_t seed;
    std::vector<int> channels;
    int intervalCode;
    int minutes;
    double missing;
    int spikes;
    bool convert;
    int smoothing;
    int requestedLength;
    bool longPeriod;
    std::uint64_t textHash;    // bytes of "{pp}24g.txt"
    std::uint64_t resultHash;  // conditioned samples, statistics, spectra, curves
};

class SpectrumGolden : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override
    {
        static std::atomic<int> n{0};
        dir = fs::temp_directory_path() / ("tolv_golden_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // Runs one case; returns the two hashes.
    std::pair<std::uint64_t, std::uint64_t> run(const Case& c)
    {
        synth::GeneratorOptions o;
        o.sea.hm0 = 1.2;
        o.sea.tp = 7.5;
        o.sea.depth = 11.0;
        o.sea.gaugeHeight = 0.5;
        o.plan.bursts = 1;
        o.plan.channels = c.channels;
        o.plan.intervalCode = c.intervalCode;
        o.plan.durationMinutes = c.minutes;
        o.faults.missingFraction = c.missing;
        o.faults.spikesPerBurst = c.spikes;
        o.faults.noiseCounts = 1.0;
        o.seed = c.seed;
        // No declination: the currents lie on the axes the cases were
        // recorded with (the generator turns them to magnetic north).
        o.plan.header.ext134 = 0;
        synth::Burst b = synth::generateBurst(o, 1);
        const float dt = static_cast<float>(b.dt);
        const std::size_t n = static_cast<std::size_t>(b.samplesPerChannel);

        std::vector<std::vector<float>> x(c.channels.size(), std::vector<float>(n));
        std::vector<RecordChannel> rc(c.channels.size());
        for (std::size_t k = 0; k < rc.size(); ++k) {
            rc[k].raw = b.counts[k];
            rc[k].x = x[k];
            rc[k].kind = c.channels[k];
            rc[k].factor = static_cast<float>(o.factors.of(c.channels[k]));
        }
        ConditioningSettings cs;
        cs.spike.passes = 3;
        cs.spike.level = 30.0f;
        cs.spike.steepness = 1.0f;
        cs.trendMask = 0xF;
        ConditionRecord(rc, dt, 0x20, cs, true);
        if (c.longPeriod) {
            LongPeriodRequest req;
            req.filterOn = true;
            for (std::size_t k = 0; k < rc.size(); ++k)
                req.channels.push_back(static_cast<int>(k));
            req.ts = 2.0f;
            req.tl = 200.0f;
            EXPECT_EQ(ApplyLongPeriodFilter(rc, dt, cs, req), Status::Ok);
        }

        SpectrumGraphInput in;
        for (auto& v : x)
            in.channels.push_back(v);
        in.record.sampleCount = static_cast<int>(n);
        in.record.dt = dt;
        in.record.channel0Kind = c.channels[0];
        in.record.channel0Mean = rc[0].stats.mean;
        in.settings.convertToSurface = c.convert;
        in.settings.smoothingPasses = c.smoothing;
        in.settings.requestedLength = c.requestedLength;
        in.settings.gaugeHeight = 0.5f;
        for (std::size_t k = 0; k < rc.size() && k < kSpectrumSlots; ++k)
            in.drawnSlots.push_back({static_cast<int>(k), static_cast<int>(k)});
        SpectrumGraph g;
        EXPECT_EQ(buildPowerSpectrumGraph(in, g), Status::Ok) << c.name;
        EXPECT_EQ(writeSpectrumText(dir.string(), "NR", g.textLines, ""), Status::Ok);
        std::string text;
        EXPECT_EQ(readFileBytes((dir / "NR24g.txt").string(), text), Status::Ok);
        Hash th;
        th.bytes(text.data(), text.size());

        Hash rh;
        for (std::size_t k = 0; k < rc.size(); ++k) {
            rh.floats(x[k]);
            rh.value(rc[k].stats.mean);
            rh.value(rc[k].stats.missing);
            rh.value(rc[k].stats.trend.intercept);
            rh.value(rc[k].stats.trend.slope);
            rh.value(rc[k].stats.trend.halfRange);
        }
        for (const Spectrum& s : g.spectra) {
            rh.floats(s.density);
            rh.floats(s.frequency);
            rh.value(s.length);
            rh.value(s.df);
            rh.value(s.depth);
            rh.value(s.converted);
        }
        for (const SpectrumCurve& cv : g.curves) {
            rh.floats(cv.x);
            rh.floats(cv.y);
        }
        return {th.h, rh.h};
    }
};

using synth::code::currentX;
using synth::code::currentY;
using synth::code::level;
using synth::code::pressure;
using synth::code::pressure2;

TEST_F(SpectrumGolden, TextAndResultsStayBitIdentical)
{
    const std::vector<int> pxy{pressure, currentX, currentY};
    const std::vector<int> pxyl{pressure, currentX, currentY, level};
    const std::vector<Case> cases{
        {"typical", 7, pxy, 1, 20, 0.0, 0, true, 15, 0, false, 0x2425ab2ecf826a8full, 0xeb55011dff950eedull},
        {"four channels, spikes", 11, pxyl, 1, 20, 0.0, 3, true, 15, 0, false, 0x10af52a16fc8e363ull, 0xcdd51be6803de93aull},
        {"no conversion, no smoothing", 3, pxy, 1, 20, 0.0, 0, false, 0, 0, false, 0xf92a3490f28a8a75ull, 0xdb040b0af267ea32ull},
        {"missing samples", 5, pxyl, 1, 20, 0.02, 2, true, 3, 0, false, 0x9996f279f26fc308ull, 0xc696c4fd4cf0c2b7ull},
        {"shorter transform", 9, pxy, 1, 20, 0.0, 0, true, 15, 1024, false, 0x8bf7551d36396c1cull, 0x55f38b505dfbfc39ull},
        {"1 s, 10 minutes, padded", 13, pxy, 0, 10, 0.0, 0, true, 1, 0, false, 0x2a459bc980700e4dull, 0x38bf434defdff727ull},
        {"0.2 s, long-period filter", 17, pxyl, 2, 20, 0.005, 1, true, 7, 0, true, 0x901f15f793bb5ae7ull, 0x5ccdba5bdf35c520ull},
        {"many spikes and gaps", 21, pxyl, 1, 20, 0.01, 8, true, 15, 0, false, 0x08d602f8d6583a2aull, 0xafa2cdcd89db5531ull},
        {"0.1 s with spikes", 23, pxy, 3, 10, 0.0, 4, true, 15, 0, false, 0xb791b4e6e382203eull, 0x90b4b9739693d8b6ull},
        {"1 s, heavy gaps", 29, pxy, 0, 20, 0.08, 5, true, 2, 0, true, 0xf9aff37be8637048ull, 0x0adbb7ba8a336fc5ull},
        {"one minute", 31, pxy, 1, 1, 0.0, 1, true, 3, 0, false, 0x0a9d8d0221cf027dull, 0xfaf51e97e748c2c6ull},
        {"second pressure sensor first", 19, {pressure2, currentX, level}, 1, 30, 0.0, 0, true, 15, 0, false,
         0xdadde93b8d4a0492ull, 0x5737cecbd67e7af3ull},
    };
    for (const Case& c : cases) {
        const auto [text, results] = run(c);
        EXPECT_EQ(text, c.textHash) << c.name;
        EXPECT_EQ(results, c.resultHash) << c.name;
    }
}

}  // namespace
}  // namespace varenta
