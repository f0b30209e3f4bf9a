// Figures of the burst statistics: all statistics of one burst of four
// channels (pressure, current X and Y, ultrasonic level) of 2400 samples
// (target under 1 ms), beside what the processing run spends per burst on
// reading it: the burst's sectors read from a generated master file and
// unpacked, and the conditioning.  A 10 000-burst run takes 10 000 times
// the sum of these.
#include "common/masterfile.h"
#include "tolv/spectra/conditioning.h"
#include "tolv/spectra/dft.h"
#include "tolv/spectra/wavestats.h"
#include "tools/synth/generator.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using namespace varenta;

synth::GeneratorOptions options(int bursts)
{
    synth::GeneratorOptions o;
    o.sea.hm0 = 2.0;
    o.sea.tp = 9.0;
    o.plan.bursts = bursts;
    o.plan.intervalCode = 1;
    o.plan.durationMinutes = 20;
    o.plan.channels = {1, 2, 3, 4};
    o.writeResults = false;
    return o;
}

struct Prepared {
    synth::Burst burst;
    MeasurementHeader header;
    std::vector<std::vector<float>> x;
    BurstInput in;
};

std::unique_ptr<Prepared> prepare()
{
    auto p = std::make_unique<Prepared>();
    const synth::GeneratorOptions o = options(1);
    p->burst = synth::generateBurst(o, 1);
    p->header.meanBearing = p->burst.header.meanBearing;
    p->in.header = &p->header;
    p->in.dt = p->burst.dt;
    p->in.settings.transfer = {0.5, 1.0248, 12.0};
    p->in.settings.declination = 7.0;
    p->x.resize(p->burst.channels.size());
    for (std::size_t c = 0; c < p->burst.channels.size(); ++c) {
        const float f = static_cast<float>(o.factors.of(p->burst.channels[c]));
        p->x[c].resize(p->burst.counts[c].size());
        ChannelStats st;
        CalibrateChannel(p->burst.counts[c], f, false, p->x[c], st);
        StatsChannel ch;
        ch.kind = p->burst.channels[c];
        ch.values = p->x[c];
        ch.counts = p->burst.counts[c];
        ch.mean = st.mean;
        ch.factor = f;
        p->in.channels.push_back(ch);
    }
    return p;
}

void BM_BurstStatistics4x2400(benchmark::State& state)
{
    const auto p = prepare();
    for (auto _ : state) {
        auto out = computeBurstStatistics(p->in);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_BurstStatistics4x2400)->Unit(benchmark::kMicrosecond);

void BM_ConditionBurst4x2400(benchmark::State& state)
{
    const auto p = prepare();
    std::vector<std::vector<float>> x = p->x;
    for (auto _ : state) {
        for (std::size_t c = 0; c < x.size(); ++c) {
            ChannelStats st;
            CalibrateChannel(p->burst.counts[c], 0.1f, false, x[c], st);
            SpikeFilterPasses(x[c], 0.5f, SpikeSettings{1, 35.0f, 0.22f, 0}, st);
            RemoveTrend(x[c], 0.5f, st);
        }
        benchmark::DoNotOptimize(x.data());
    }
}
BENCHMARK(BM_ConditionBurst4x2400)->Unit(benchmark::kMicrosecond);

// Reading one burst of a 200-burst master file (in the page cache) and
// unpacking its samples, bursts taken in turn.
void BM_ReadBurst4x2400(benchmark::State& state)
{
    const std::string dir = "/tmp";
    const std::string prefix = "varenta-bench-stats-" + std::to_string(::getpid());
    synth::GeneratorOptions o = options(200);
    o.fidelity = synth::Fidelity::Cheap;
    synth::MasterPairInfo info;
    if (synth::writeMasterPair(dir, prefix, o, &info) != Status::Ok) {
        state.SkipWithError("cannot write the master file");
        return;
    }
    const int fd = ::open(info.measurementPath.c_str(), O_RDONLY);
    const std::size_t bytes = static_cast<std::size_t>(info.sectorsPerMeasurement) * kSectorSize;
    std::vector<std::uint8_t> buf(bytes);
    std::vector<std::int16_t> samples;
    std::size_t m = 0;
    for (auto _ : state) {
        const ssize_t got = ::pread(fd, buf.data(), bytes, static_cast<off_t>(m * bytes));
        const MeasurementHeader h = decodeHeader(buf.data());
        unpackSamples(h, buf.data(), static_cast<std::size_t>(got), samples);
        benchmark::DoNotOptimize(samples.data());
        m = (m + 1) % info.recorded.size();
    }
    ::close(fd);
    std::remove(info.measurementPath.c_str());
    std::remove(info.resultsPath.c_str());
}
BENCHMARK(BM_ReadBurst4x2400)->Unit(benchmark::kMicrosecond);

// The transform of one channel (2400 points, complex, double).
void BM_Dft2400(benchmark::State& state)
{
    const Dft plan(2400);
    std::vector<Dft::Complex> x(2400);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = {std::sin(0.1 * static_cast<double>(i)), 0.0};
    for (auto _ : state) {
        plan.forward(x);
        plan.inverse(x);
        benchmark::DoNotOptimize(x.data());
    }
}
// Forward and inverse.
BENCHMARK(BM_Dft2400)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
