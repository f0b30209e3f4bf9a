// Collection into the master file: 2 000 sectors from the logger emulator
// pacing at the line speed over a pseudo-terminal, each written to disk by
// the collection writer (open, write, close) before it is acknowledged.
// The figure to watch is "ratio": the collection time over the line time of
// the packets and their acknowledgements (ten bits a byte); the target is
// 1.15 or less at 921 600 bit/s.  The writer alone is timed as well.
#include "brenlo24/link/collection.h"
#include "brenlo24/link/link.h"
#include "brenlo24/link/pollhost.h"
#include "common/serialposix.h"
#include "common/bytes.h"
#include "common/textfile.h"
#include "tools/emulator/runner.h"
#include "pacedlink.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

using namespace varenta;
namespace fs = std::filesystem;

namespace {

// write = false: the packets are only counted (the line and the receiver
// alone, for comparison in the same run).
class WriterHandler final : public PacketHandler {
public:
    WriterHandler(CollectionConfig cfg, bool write) : writer(std::move(cfg)), write_(write) {}
    PacketWriter writer;
    StoreOutcome last;
    std::size_t stored = 0;
    Status storePacket(const Packet& p, const StatusRecord& current) override
    {
        if (write_ && writer.store(p, current.modelCode(), last) != Status::Ok)
            return Status::Io;
        ++stored;
        return Status::Ok;
    }

private:
    bool write_;
};

std::string scratch(const char* name)
{
    const fs::path dir = fs::temp_directory_path() / (std::string("varenta_bench_") + name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

void BM_CollectToMasterFile(benchmark::State& state)
{
    const int speed = static_cast<int>(state.range(0));
    const bool write = state.range(1) != 0;
    const int sectors = 2000;
    double ratio = 0, seconds = 0;
    const std::string dir = scratch("collect");
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(dir + "/nr255m.h10");
        bench::PacedLink paced(bench::pacedEmulator(sectors, speed));
        WriterHandler h(CollectionConfig{dir, 0, 4}, write);
        if (!paced.start(h, speed, dir)) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        state.ResumeTiming();

        const std::int64_t t0 = appClock().tickMs();
        const std::int64_t last = paced.collect([&] { return h.stored; }, sectors, t0);

        state.PauseTiming();
        const std::string image = paced.runner.memoryImage();
        paced.runner.stop();
        std::string file;
        readFileBytes(dir + "/nr255m.h10", file);
        if (h.stored != static_cast<std::size_t>(sectors) || (write && file != image))
            state.SkipWithError("the master file is not the logger's memory");
        // From the command packet's start to the last sector on disk.
        const double lineSeconds = (sectors * (512.0 + 1.0) + 513.0) * 10.0 / speed;
        seconds = static_cast<double>(last - t0) / 1000.0;
        ratio = seconds / lineSeconds;
        state.ResumeTiming();
    }
    fs::remove_all(dir);
    state.counters["ratio"] = ratio;
    state.counters["seconds"] = seconds;
    state.counters["sectors/s"] = sectors / seconds;
}
BENCHMARK(BM_CollectToMasterFile)
    ->Args({921600, 1})
    ->Args({921600, 0})
    ->ArgNames({"speed", "write"})
    ->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The writer alone: one sector a call, open-write-close.
void BM_StoreSector(benchmark::State& state)
{
    const std::string dir = scratch("store");
    PacketWriter w(CollectionConfig{dir, 0, 4});
    Packet p{};
    p[0] = 0x5A;
    p[1] = 255;
    p[2] = 0x41;
    StoreOutcome out;
    std::uint32_t n = 0;
    for (auto _ : state) {
        putU32(p.data(), 4, n++ % 20000);
        fixSectorChecksum(p.data());
        if (w.store(p, 60, out) != Status::Ok) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 512);
    fs::remove_all(dir);
}
BENCHMARK(BM_StoreSector);

}  // namespace

BENCHMARK_MAIN();
