// Figures of the spectral core: conditioning plus spectra of a typical
// burst (four channels of 2400 samples; target under 1 ms), and the
// radix-2 transform of 4096 points beside the single-precision FFTW
// transform of the same data (target: within 3 times).
#include "common/numeric.h"
#include "common/textfile.h"
#include "common/writebehind.h"
#include "tolv/spectra/conditioning.h"
#include "tolv/spectra/spectraadapter.h"
#include "tolv/spectra/fft.h"
#include "tolv/spectra/spectrum.h"
#include "tolv/spectra/spectrumgraph.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <tuple>
#include <vector>

#include <unistd.h>

#ifdef VARENTA_HAVE_FFTW3F
#include <fftw3.h>
#endif

namespace {

using namespace varenta;

std::vector<float> noise(int n, unsigned seed, float amp)
{
    std::mt19937 gen(seed);
    std::normal_distribution<float> d(0.0f, amp);
    std::vector<float> v(static_cast<std::size_t>(n));
    for (auto& x : v)
        x = d(gen);
    return v;
}

// --- the transform -----------------------------------------------------------

void BM_Fft4096(benchmark::State& state)
{
    const int n = 4096;
    const auto re0 = noise(n, 1, 50.0f), im0 = noise(n, 2, 50.0f);
    std::vector<float> re(n), im(n);
    for (auto _ : state) {
        std::memcpy(re.data(), re0.data(), n * sizeof(float));
        std::memcpy(im.data(), im0.data(), n * sizeof(float));
        Fft(n, -1, re, im);
        benchmark::DoNotOptimize(re.data());
        benchmark::DoNotOptimize(im.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Fft4096);

// The copy of the input alone, to read the figures above without it.
void BM_CopyOnly4096(benchmark::State& state)
{
    const int n = 4096;
    const auto re0 = noise(n, 1, 50.0f), im0 = noise(n, 2, 50.0f);
    std::vector<float> re(n), im(n);
    for (auto _ : state) {
        std::memcpy(re.data(), re0.data(), n * sizeof(float));
        std::memcpy(im.data(), im0.data(), n * sizeof(float));
        benchmark::DoNotOptimize(re.data());
        benchmark::DoNotOptimize(im.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyOnly4096);

#ifdef VARENTA_HAVE_FFTW3F
// FFTW on the same split (re, im) arrays, planned with FFTW_MEASURE.
void BM_Fftw4096Split(benchmark::State& state)
{
    const int n = 4096;
    const auto re0 = noise(n, 1, 50.0f), im0 = noise(n, 2, 50.0f);
    float* re = fftwf_alloc_real(n);
    float* im = fftwf_alloc_real(n);
    fftwf_iodim dim{n, 1, 1};
    fftwf_plan plan = fftwf_plan_guru_split_dft(1, &dim, 0, nullptr, re, im, re, im, FFTW_MEASURE);
    for (auto _ : state) {
        std::memcpy(re, re0.data(), n * sizeof(float));
        std::memcpy(im, im0.data(), n * sizeof(float));
        fftwf_execute_split_dft(plan, re, im, re, im);
        benchmark::DoNotOptimize(re);
        benchmark::DoNotOptimize(im);
    }
    state.SetItemsProcessed(state.iterations());
    fftwf_destroy_plan(plan);
    fftwf_free(re);
    fftwf_free(im);
}
BENCHMARK(BM_Fftw4096Split);

// FFTW on its native interleaved complex layout.
void BM_Fftw4096Interleaved(benchmark::State& state)
{
    const int n = 4096;
    const auto re0 = noise(n, 1, 50.0f), im0 = noise(n, 2, 50.0f);
    std::vector<float> packed(2 * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        packed[2 * static_cast<std::size_t>(i)] = re0[static_cast<std::size_t>(i)];
        packed[2 * static_cast<std::size_t>(i) + 1] = im0[static_cast<std::size_t>(i)];
    }
    fftwf_complex* buf = fftwf_alloc_complex(n);
    fftwf_plan plan = fftwf_plan_dft_1d(n, buf, buf, FFTW_FORWARD, FFTW_MEASURE);
    for (auto _ : state) {
        std::memcpy(buf, packed.data(), packed.size() * sizeof(float));
        fftwf_execute(plan);
        benchmark::DoNotOptimize(buf);
    }
    state.SetItemsProcessed(state.iterations());
    fftwf_destroy_plan(plan);
    fftwf_free(buf);
}
BENCHMARK(BM_Fftw4096Interleaved);
#endif

// --- a burst ---------------------------------------------------------------

struct Burst {
    static constexpr int kChannels = 4;
    static constexpr int kSamples = 2400;  // 20 minutes at 0.5 s
    static constexpr float kDt = 0.5f;
    std::vector<std::vector<std::int16_t>> raw;
    std::vector<std::vector<float>> x;
    std::vector<RecordChannel> channels;

    Burst()
    {
        // Pressure (with its mean head), two current components and a level
        // channel: a swell plus a wind sea plus noise, in counts of 0.1 unit.
        std::mt19937 gen(7);
        std::normal_distribution<double> jitter(0.0, 1.5);
        raw.assign(kChannels, std::vector<std::int16_t>(kSamples));
        x.assign(kChannels, std::vector<float>(kSamples + 1));
        const double mean[kChannels] = {1000.0, 3.0, -2.0, 50.0};
        const double amp[kChannels] = {60.0, 40.0, 25.0, 80.0};
        for (int c = 0; c < kChannels; ++c)
            for (int i = 0; i < kSamples; ++i) {
                const double t = i * kDt;
                const double v = mean[c] + amp[c] * std::sin(2 * M_PI * t / 11.0 + c) +
                                 0.4 * amp[c] * std::sin(2 * M_PI * t / 5.3 + 2 * c) + jitter(gen);
                raw[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] =
                    static_cast<std::int16_t>(std::lround(v * 10));
            }
        raw[0][1000] = 32000;  // one spike to remove
        raw[1][700] = kMissingSample;
        const int kinds[kChannels] = {1, kCurrentXKind, kCurrentYKind, 12};
        channels.resize(kChannels);
        for (int c = 0; c < kChannels; ++c) {
            channels[static_cast<std::size_t>(c)].raw = raw[static_cast<std::size_t>(c)];
            channels[static_cast<std::size_t>(c)].x = x[static_cast<std::size_t>(c)];
            channels[static_cast<std::size_t>(c)].kind = kinds[c];
            channels[static_cast<std::size_t>(c)].factor = 0.1f;
        }
    }
};

ConditioningSettings conditioningSettings()
{
    ConditioningSettings set;
    set.spike.passes = 3;
    set.spike.level = 30.0f;
    set.spike.steepness = 1.0f;
    set.trendMask = 0xF;
    return set;
}

SpectrumSettings spectrumSettings()
{
    SpectrumSettings set;
    set.convertToSurface = true;
    set.smoothingPasses = 15;
    set.factorLimit = 12.0f;
    set.gaugeHeight = 0.5f;
    set.pressureDivisor = 1.0f;
    return set;
}

void BM_ConditionAndSpectra4x2400(benchmark::State& state)
{
    Burst b;
    const ConditioningSettings cset = conditioningSettings();
    const SpectrumSettings sset = spectrumSettings();
    std::vector<Spectrum> spectra(Burst::kChannels);
    for (auto _ : state) {
        ConditionRecord(b.channels, Burst::kDt, 0x20, cset, true);
        SpectrumRecord rec;
        rec.sampleCount = Burst::kSamples;
        rec.dt = Burst::kDt;
        rec.channel0Kind = b.channels[0].kind;
        rec.channel0Mean = b.channels[0].stats.mean;
        for (int c = 0; c < Burst::kChannels; ++c)
            PowerSpectrumCompute(std::span<const float>(b.x[static_cast<std::size_t>(c)]).first(Burst::kSamples), c,
                                 rec, sset, spectra[static_cast<std::size_t>(c)]);
        benchmark::DoNotOptimize(spectra.data());
    }
}
BENCHMARK(BM_ConditionAndSpectra4x2400)->Unit(benchmark::kMicrosecond);

// The processing-run variant: the long-period filter of four channels and
// the write-back added.
void BM_ConditionFilterWriteBackAndSpectra4x2400(benchmark::State& state)
{
    Burst b;
    const ConditioningSettings cset = conditioningSettings();
    const SpectrumSettings sset = spectrumSettings();
    LongPeriodRequest req;
    req.filterOn = true;
    req.channels = {0, 1, 2, 3};
    req.ts = 30.0f;
    req.tl = 300.0f;
    std::vector<Spectrum> spectra(Burst::kChannels);
    const auto raw0 = b.raw;
    for (auto _ : state) {
        state.PauseTiming();
        b.raw = raw0;  // the write-back changed the counts: start afresh
        for (int c = 0; c < Burst::kChannels; ++c)
            b.channels[static_cast<std::size_t>(c)].raw = b.raw[static_cast<std::size_t>(c)];
        state.ResumeTiming();
        ConditionRecord(b.channels, Burst::kDt, 0x20, cset, true);
        ApplyLongPeriodFilter(b.channels, Burst::kDt, cset, req);
        SpectrumRecord rec;
        rec.sampleCount = Burst::kSamples;
        rec.dt = Burst::kDt;
        rec.channel0Kind = b.channels[0].kind;
        rec.channel0Mean = b.channels[0].stats.mean;
        for (int c = 0; c < Burst::kChannels; ++c)
            PowerSpectrumCompute(std::span<const float>(b.x[static_cast<std::size_t>(c)]).first(Burst::kSamples), c,
                                 rec, sset, spectra[static_cast<std::size_t>(c)]);
        benchmark::DoNotOptimize(spectra.data());
    }
}
BENCHMARK(BM_ConditionFilterWriteBackAndSpectra4x2400)->Unit(benchmark::kMicrosecond);

// The graph input of a conditioned burst with its four channels drawn in
// slots 0 to 3.
SpectrumGraphInput fourSlots(const Burst& b)
{
    SpectrumGraphInput in;
    for (int c = 0; c < Burst::kChannels; ++c)
        in.channels.push_back(std::span<const float>(b.x[static_cast<std::size_t>(c)]).first(Burst::kSamples));
    in.record.sampleCount = Burst::kSamples;
    in.record.dt = Burst::kDt;
    in.record.channel0Kind = 1;
    in.record.channel0Mean = b.channels[0].stats.mean;
    in.settings = spectrumSettings();
    in.drawnSlots = {{0, 0}, {1, 1}, {2, 2}, {3, 3}};
    return in;
}

// The graph data with the text file lines of four slots (2048 lines each).
void BM_SpectrumGraphWithText4x2400(benchmark::State& state)
{
    Burst b;
    ConditionRecord(b.channels, Burst::kDt, 0x20, conditioningSettings(), true);
    const SpectrumGraphInput in = fourSlots(b);
    SpectrumGraph g;
    for (auto _ : state) {
        buildPowerSpectrumGraph(in, g);
        benchmark::DoNotOptimize(g.textLines.bytes().data());
    }
}
BENCHMARK(BM_SpectrumGraphWithText4x2400)->Unit(benchmark::kMicrosecond);

// The text lines alone (4 x 2048 lines), and the file written from them.
void BM_SpectrumTextLines4x2048(benchmark::State& state)
{
    Burst b;
    ConditionRecord(b.channels, Burst::kDt, 0x20, conditioningSettings(), true);
    SpectrumRecord rec;
    rec.sampleCount = Burst::kSamples;
    rec.dt = Burst::kDt;
    rec.channel0Kind = 1;
    rec.channel0Mean = b.channels[0].stats.mean;
    std::vector<Spectrum> spectra(Burst::kChannels);
    for (int c = 0; c < Burst::kChannels; ++c)
        PowerSpectrumCompute(std::span<const float>(b.x[static_cast<std::size_t>(c)]).first(Burst::kSamples), c, rec,
                             spectrumSettings(), spectra[static_cast<std::size_t>(c)]);
    for (auto _ : state) {
        SpectrumText lines;
        for (int c = 0; c < Burst::kChannels; ++c)
            appendSpectrumText(lines, c, spectra[static_cast<std::size_t>(c)]);
        benchmark::DoNotOptimize(lines.bytes().data());
    }
}
BENCHMARK(BM_SpectrumTextLines4x2048)->Unit(benchmark::kMicrosecond);

void BM_WriteSpectrumText4x2048(benchmark::State& state)
{
    Burst b;
    ConditionRecord(b.channels, Burst::kDt, 0x20, conditioningSettings(), true);
    const SpectrumGraphInput in = fourSlots(b);
    SpectrumGraph g;
    buildPowerSpectrumGraph(in, g);
    const std::string dir = "/tmp/varenta-bench-spectrum-text-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    for (auto _ : state)
        benchmark::DoNotOptimize(writeSpectrumText(dir, "NR", g.textLines));
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WriteSpectrumText4x2048)->Unit(benchmark::kMicrosecond);

// The program's path: the loading hook's conditioning of the data set and
// the spectrum of the measurement on display, the settings read from the
// initialization table each time.
struct DataSetBurst {
    Burst b;
    DataSet d;
    ChannelTable table;
    Settings s;
    RuntimeState rs;
    ConditionedRecord rec;
    DataSetBurst()
    {
        d.hasMeasurementFile = true;
        d.filePrefix = "NR";
        d.header.packetInfo = 0x83;
        d.header.channels = {1, kCurrentXKind, kCurrentYKind, 12};
        d.header.channelCount = 4;
        d.header.intervalTenths = 5.0f;
        d.header.measureCondition = 0x21;
        d.graphChannel = {0, 1, 2, 3, 4, 5, 6, 7};
        d.rawCounts = b.raw;
        table.parse({"051", "001,水圧,cm,0.1,###0.0,80", "002,流速X,cm/s,0.1,###0.0,80", "003,流速Y,cm/s,0.1,###0.0,80",
                     "012,水圧H,cm,0.1,####0.0,80"});
        for (auto [item, value, text] : std::vector<std::tuple<int, int, const char*>>{
                 {68, 0, "30"}, {68, 1, "3"}, {68, 2, "15"}, {97, 2, "1"}, {97, 4, "1"}, {97, 7, "5"}, {99, 3, "12"},
                 {99, 4, "1"}, {67, 0, "0.5"}, {82, 4, "F"}, {170, 0, "1"}, {171, 0, "1"}, {172, 0, "1"}, {173, 0, "1"}})
            s.set(item, value, text);
    }
};

// With the text formatted in the step (as the tools and tests build it).
void BM_DataSetConditionSpectrumAndText4x2400(benchmark::State& state)
{
    DataSetBurst x;
    SpectrumGraph g;
    for (auto _ : state) {
        conditionDataSet(x.d, x.table, x.s, x.rs, x.rec);
        buildDataSetSpectrum(x.d, x.rec, x.s, g);
        benchmark::DoNotOptimize(g.textLines.bytes().data());
    }
}
BENCHMARK(BM_DataSetConditionSpectrumAndText4x2400)->Unit(benchmark::kMicrosecond);

// The window's step: the spectrum without its text ...
void BM_DataSetConditionAndSpectrum4x2400(benchmark::State& state)
{
    DataSetBurst x;
    SpectrumGraph g;
    for (auto _ : state) {
        conditionDataSet(x.d, x.table, x.s, x.rs, x.rec);
        buildDataSetSpectrum(x.d, x.rec, x.s, g, false);
        benchmark::DoNotOptimize(g.spectra.data());
    }
}
BENCHMARK(BM_DataSetConditionAndSpectrum4x2400)->Unit(benchmark::kMicrosecond);

// ... and with "NR24g.txt" handed to the writer behind it: what the step
// pays for the text is the difference to the benchmark above.  The
// writer's own work (format and replace, on its thread) is
// BM_SpectrumTextLines4x2048 plus BM_WriteSpectrumText4x2048.
// Argument 0: steps back to back, the writer never idle (its work shares
// the machine with the steps); 1: the writer done between steps, as in the
// program, where a step with its drawing takes milliseconds.
void BM_DataSetSpectrumWithTextBehind4x2400(benchmark::State& state)
{
    DataSetBurst x;
    const std::string dir = "/tmp/varenta-bench-spectrum-behind-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    SpectrumGraph g;
    const bool idleWriter = state.range(0) == 1;
    for (auto _ : state) {
        conditionDataSet(x.d, x.table, x.s, x.rs, x.rec);
        buildDataSetSpectrum(x.d, x.rec, x.s, g, false);
        writeDataSetSpectrumTextBehind(dir, x.d, 0, g);
        if (idleWriter) {
            state.PauseTiming();
            flushFileWrites();
            state.ResumeTiming();
        }
    }
    flushFileWrites();
    std::string text;
    if (readFileBytes(dir + "/NR24g.txt", text) != Status::Ok || text.size() < 4 * 2048 * 20)
        state.SkipWithError("the text was not written");
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_DataSetSpectrumWithTextBehind4x2400)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The hand-over alone (copy of the spectra, queue, wake-up of the writer).
void BM_HandSpectrumTextToTheWriter4x2048(benchmark::State& state)
{
    DataSetBurst x;
    const std::string dir = "/tmp/varenta-bench-spectrum-handover-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    SpectrumGraph g;
    conditionDataSet(x.d, x.table, x.s, x.rs, x.rec);
    buildDataSetSpectrum(x.d, x.rec, x.s, g, false);
    for (auto _ : state) {
        writeDataSetSpectrumTextBehind(dir, x.d, 0, g);
        state.PauseTiming();
        flushFileWrites();
        state.ResumeTiming();
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_HandSpectrumTextToTheWriter4x2048)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
