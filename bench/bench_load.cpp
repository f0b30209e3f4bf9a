// Indexing a 1 GiB master file already in the page cache, side by side with
// a plain sequential read of the same file.  The scan must reach at least
// half the read's throughput, with memory that does not grow with the file.
//
// The file (20-minute bursts at 0.5 s of three channels, 30 sectors each,
// made from generated samples) is written once to $VARENTA_BENCH_FILE or
// /tmp/varenta-bench-1g.H10 and reused by later runs.
#include "benchfile.h"

#include "common/masterfile.h"
#include "tolv/data/scan.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include <fcntl.h>
#include <unistd.h>

using namespace varenta;

namespace {

using bench::benchFile;
using bench::makeFile;
using bench::sizeOf;

long residentKb()
{
    std::ifstream in("/proc/self/status");
    std::string key;
    long value = 0;
    while (in >> key) {
        if (key == "VmRSS:") {
            in >> value;
            return value;
        }
        std::getline(in, key);
    }
    return 0;
}

// A plain sequential read in 1 MiB blocks, touching every byte once (an
// 8-bit sum) so the read cannot be optimised away.
std::uint64_t sequentialRead(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return 0;
    std::unique_ptr<std::uint8_t[]> buf(new std::uint8_t[kScanBlockSize]);
    std::uint64_t total = 0;
    std::uint8_t sum = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buf.get(), kScanBlockSize);
        if (n <= 0)
            break;
        total += static_cast<std::uint64_t>(n);
        sum = static_cast<std::uint8_t>(sum + buf[0] + buf[static_cast<std::size_t>(n) - 1]);
    }
    ::close(fd);
    benchmark::DoNotOptimize(sum);
    return total;
}

struct Fixture {
    std::string path;
    std::uint64_t bursts = 0;
    bool ok = false;
    Fixture()
    {
        path = benchFile();
        ok = makeFile(path, bursts);
        if (ok)
            sequentialRead(path);  // bring it into the page cache
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_SequentialRead(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.ok) {
        state.SkipWithError("cannot write the benchmark file");
        return;
    }
    std::uint64_t bytes = 0;
    for (auto _ : state)
        bytes += sequentialRead(f.path);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

void BM_IndexScan(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.ok) {
        state.SkipWithError("cannot write the benchmark file");
        return;
    }
    std::uint64_t polls = 0;
    Progress progress;
    progress.poll = [&] {
        ++polls;
        return true;
    };
    const long rssBefore = residentKb();
    long rssPeak = rssBefore;
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        const ScanOutcome o = scanMeasurementHeaders(f.path, 0, &progress);
        if (o.status != Status::Ok || static_cast<std::uint64_t>(o.latestNumber) != f.bursts) {
            state.SkipWithError("the scan did not find the newest measurement");
            return;
        }
        bytes += o.fileSize;
        rssPeak = std::max(rssPeak, residentKb());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["rss_growth_kB"] = static_cast<double>(rssPeak - rssBefore);
    state.counters["polls_per_scan"] = static_cast<double>(polls) / static_cast<double>(state.iterations());
    state.counters["measurements"] = static_cast<double>(f.bursts);
}
BENCHMARK(BM_IndexScan)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// The same scan on a file 1/16 of the size: memory and time per byte are
// the same (no growth with the file).
void BM_IndexScanSmall(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.ok) {
        state.SkipWithError("cannot write the benchmark file");
        return;
    }
    const std::string small = f.path + ".small";
    if (sizeOf(small) != sizeOf(f.path) / 16) {
        std::ifstream in(f.path, std::ios::binary);
        std::ofstream out(small, std::ios::binary | std::ios::trunc);
        std::vector<char> buf(sizeOf(f.path) / 16);
        in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
        out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
    }
    sequentialRead(small);
    const long rssBefore = residentKb();
    long rssPeak = rssBefore;
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        const ScanOutcome o = scanMeasurementHeaders(small, 0, nullptr);
        bytes += o.fileSize;
        rssPeak = std::max(rssPeak, residentKb());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["rss_growth_kB"] = static_cast<double>(rssPeak - rssBefore);
}
BENCHMARK(BM_IndexScanSmall)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
