// The packet protocol's costs: building a command packet, decoding a
// status record, the receive state machine over the in-memory port (whole
// packets and packets in pieces), and a collection from the logger
// emulator over a pseudo-terminal paced at 921600 bit/s, reported against
// the line time of its packets and acknowledgements.
#include "brenlo24/link/link.h"
#include "brenlo24/link/pollhost.h"
#include "common/serialposix.h"
#include "common/bytes.h"
#include "tools/emulator/runner.h"
#include "pacedlink.h"

#include <benchmark/benchmark.h>

using namespace varenta;

namespace {

class QuietHost final : public LinkHost {
public:
    void showStatus(const std::string&) override {}
    void beep() override {}
    void showKindIndicators(int) override {}
    void sleepMs(int) override {}
    void serveEvents() override {}
    void waitEvents() override {}
    void startReceiveTimer(int) override {}
    void stopReceiveTimer() override {}
};

class CountingHandler final : public PacketHandler {
public:
    std::size_t stored = 0;
    Status storePacket(const Packet&, const StatusRecord&) override
    {
        ++stored;
        return Status::Ok;
    }
};

std::vector<std::uint8_t> dataPackets(int n)
{
    std::vector<std::uint8_t> out;
    for (int i = 0; i < n; ++i) {
        Packet p{};
        p[0] = 0x5A;
        p[1] = 255;
        p[2] = 0x41;
        putU32(p.data(), 4, static_cast<std::uint32_t>(i));
        for (std::size_t k = 8; k < 512; ++k)
            p[k] = static_cast<std::uint8_t>(k * 31 + i);
        fixSectorChecksum(p.data());
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

void BM_BuildCommandPacket(benchmark::State& state)
{
    CommandParameters par;
    const DateTime now{2025, 5, 6, 7, 8, 9, 0};
    for (auto _ : state) {
        auto p = buildCommandPacket("54", 2, par, 0x04, now);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_BuildCommandPacket);

void BM_DecodeStatus(benchmark::State& state)
{
    Packet p{};
    p[0] = 0x5A;
    p[2] = 0x84;
    for (std::size_t i = 8; i < 512; ++i)
        p[i] = static_cast<std::uint8_t>(i);
    StatusRecord r;
    for (auto _ : state) {
        decodeStatus(p, r);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_DecodeStatus);

// Packets fed to the receiver in pieces of `piece` bytes (512: whole).
void BM_ReceiveDataPackets(benchmark::State& state)
{
    const std::size_t piece = static_cast<std::size_t>(state.range(0));
    const auto stream = dataPackets(64);
    FakeSerialPort port;
    port.open("bench", 921600);
    SerialLine line(port);
    QuietHost host;
    DeviceLink link(line, host);
    CountingHandler h;
    link.setHandler(&h);
    link.flushAndRearm();
    for (auto _ : state) {
        for (std::size_t off = 0; off < stream.size(); off += 512) {
            for (std::size_t k = 0; k < 512; k += piece)
                port.feed(stream.data() + off + k, std::min(piece, 512 - k));
        }
    }
    if (h.stored != 64 * static_cast<std::size_t>(state.iterations()))
        state.SkipWithError("packets were lost");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(stream.size()));
    state.counters["packets/s"] =
        benchmark::Counter(64.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReceiveDataPackets)->Arg(512)->Arg(64)->Arg(1);

// 2000 sectors from the emulator pacing at the line speed.  The figure to
// watch is "ratio": the collection time over the line time of the packets
// and their acknowledgements (ten bits a byte).
void BM_CollectPaced(benchmark::State& state)
{
    const int speed = static_cast<int>(state.range(0));
    const int sectors = 2000;
    double ratio = 0;
    for (auto _ : state) {
        state.PauseTiming();
        bench::PacedLink paced(bench::pacedEmulator(sectors, speed));
        CountingHandler h;
        if (!paced.start(h, speed, "/tmp")) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        state.ResumeTiming();
        const std::int64_t t0 = appClock().tickMs();
        const std::int64_t last = paced.collect([&] { return h.stored; }, sectors, t0);
        state.PauseTiming();
        paced.runner.stop();
        if (h.stored != static_cast<std::size_t>(sectors))
            state.SkipWithError("collection incomplete");
        const double lineSeconds = sectors * 513.0 * 10.0 / speed;
        ratio = (static_cast<double>(last - t0) / 1000.0) / lineSeconds;
        state.ResumeTiming();
    }
    state.counters["ratio"] = ratio;
}
BENCHMARK(BM_CollectPaced)->Arg(921600)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
