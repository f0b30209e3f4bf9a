// Generator speed: one burst at each fidelity, and a whole file of 20 000
// small bursts (the size of the indexing fixtures).
#include "tools/synth/synth.h"

#include <benchmark/benchmark.h>

using namespace varenta;

namespace {

synth::GeneratorOptions burstPlan(synth::Fidelity f)
{
    synth::GeneratorOptions o;
    o.fidelity = f;
    o.plan.durationMinutes = 20;
    o.plan.intervalCode = 1;
    o.plan.channels = {1, 2, 3};
    return o;
}

void BM_BurstFull(benchmark::State& state)
{
    const synth::GeneratorOptions o = burstPlan(synth::Fidelity::Full);
    std::uint32_t m = 1;
    for (auto _ : state)
        benchmark::DoNotOptimize(synth::makeMeasurementSectors(o, m++));
}
BENCHMARK(BM_BurstFull)->Unit(benchmark::kMillisecond);

void BM_BurstCheap(benchmark::State& state)
{
    const synth::GeneratorOptions o = burstPlan(synth::Fidelity::Cheap);
    std::uint32_t m = 1;
    for (auto _ : state)
        benchmark::DoNotOptimize(synth::makeMeasurementSectors(o, m++));
}
BENCHMARK(BM_BurstCheap)->Unit(benchmark::kMicrosecond);

void BM_BurstConstant(benchmark::State& state)
{
    const synth::GeneratorOptions o = burstPlan(synth::Fidelity::Constant);
    std::uint32_t m = 1;
    for (auto _ : state)
        benchmark::DoNotOptimize(synth::makeMeasurementSectors(o, m++));
}
BENCHMARK(BM_BurstConstant)->Unit(benchmark::kMicrosecond);

// 20 000 one-minute bursts at 1 s of three channels, in memory.
void BM_File20000SmallBursts(benchmark::State& state)
{
    synth::GeneratorOptions o;
    o.fidelity = synth::Fidelity::Cheap;
    o.plan.bursts = 20000;
    o.plan.durationMinutes = 1;
    o.plan.intervalCode = 0;
    o.plan.intervalMinutes = 10;
    std::string meas, res;
    for (auto _ : state) {
        if (synth::makeMasterPair(o, meas, res) != Status::Ok)
            state.SkipWithError("generation failed");
        benchmark::DoNotOptimize(meas.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(meas.size()));
}
BENCHMARK(BM_File20000SmallBursts)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
