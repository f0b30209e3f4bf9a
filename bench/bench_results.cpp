// Figures of the results file paths: a complete fill of the results table
// (every record read and checked, the export written; target: 100 000
// records under 1 s), the refresh of one record's line (target: the same
// cost whatever the file's length), the store of one results record, and
// the reading and layout of a 7-day results graph window.
#include "common/format.h"
#include "common/installdata.h"
#include "common/masterfile.h"
#include "common/resultitems.h"
#include "common/settings.h"
#include "tolv/data/resultsgraph.h"
#include "tolv/data/resultstable.h"
#include "tolv/spectra/resultsrecord.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using namespace varenta;
namespace fs = std::filesystem;

// A program folder with the shipped result items and settings, and results
// files of given lengths in it (made once per length).
struct Folder {
    fs::path dir;
    Settings settings;
    ResultItemTable items;
    ResultSelection selection;
    ResultsTableLayout layout;
    std::map<long long, std::string> files;

    Folder()
    {
        dir = fs::temp_directory_path() / ("bench_results_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        std::string msg;
        if (installProgramData(std::string(VARENTA_SOURCE_DIR_BENCH) + "/data", dir.string(), &msg) != Status::Ok)
            std::abort();
        settings.load((dir / "tolvi.org").string());
        items.load((dir / "tolvg.org").string());
        selection = buildResultSelection(settings, 165);
        layout = makeResultsTableLayout(items, selection);
    }
    ~Folder()
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // Hourly records 1 .. n from 6 May 2026 22:00, as the logger writes them.
    const std::string& results(long long n)
    {
        auto it = files.find(n);
        if (it != files.end())
            return it->second;
        const std::string path = (dir / ("R" + std::to_string(n) + "L.H10")).string();
        std::string bytes;
        bytes.reserve(static_cast<std::size_t>(n) * kResultsRecordSize);
        DateTime t{2026, 5, 6, 22, 0, 0, 0};
        const int p6 = selection.positionOf(6);
        const int p12 = selection.positionOf(12);
        const int p24 = selection.positionOf(24);
        for (long long k = 1; k <= n; ++k) {
            std::string r = emptyResultsRecord();
            setResultItem(r, 0, " 6020");
            setResultItem(r, 1, "   26");
            setResultItem(r, 2, rightAlign(std::to_string(t.month), 2) + "/" + rightAlign(std::to_string(t.day), 2));
            setResultItem(r, 3, rightAlign(std::to_string(t.hour), 2) + ":" + formatMask(t.minute, "00"));
            setResultItem(r, p6, std::to_string(k % 100000));
            setResultItem(r, p12, formatMask(0.5 + 0.01 * static_cast<double>(k % 300), "#0.00"));
            setResultItem(r, p24, std::to_string((k * 7) % 360));
            bytes += r;
            t = addMinutes(t, 60);
        }
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return files.emplace(n, path).first->second;
    }

    ResultsTableRequest request(long long n)
    {
        ResultsTableRequest rq;
        rq.resultsPath = results(n);
        rq.exportPath = (dir / ("R" + std::to_string(n) + "23g.txt")).string();
        rq.layout = layout;
        rq.blockStartHour = 0;
        rq.blockHours = 24;
        rq.intervalMinutes = 60;
        return rq;
    }
};

Folder& folder()
{
    static Folder f;
    return f;
}

void BM_CompleteFill(benchmark::State& state)
{
    const long long n = state.range(0);
    ResultsTableRequest rq = folder().request(n);
    for (auto _ : state) {
        ResultsTableOutcome out = fillResultsTableFiles(rq);
        if (out.status != Status::Ok || out.records != n)
            state.SkipWithError("fill failed");
        benchmark::DoNotOptimize(out.text.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetBytesProcessed(state.iterations() * n * static_cast<long long>(kResultsRecordSize));
}
BENCHMARK(BM_CompleteFill)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One record's line replaced in place, in the middle and at the end of the
// file, after a complete fill made the export.
void BM_RefreshOneRecord(benchmark::State& state)
{
    const long long n = state.range(0);
    const bool last = state.range(1) != 0;
    ResultsTableRequest rq = folder().request(n);
    const ResultsTableOutcome full = fillResultsTableFiles(rq);
    rq.blocks = full.blocks;
    rq.record = last ? n : n / 2;
    rq.mode = fillmode::kOneLine;
    for (auto _ : state) {
        ResultsTableOutcome out = fillResultsTableFiles(rq);
        if (out.status != Status::Ok || out.lines.size() != 1 || out.complete)
            state.SkipWithError("refresh failed");
        benchmark::DoNotOptimize(out.lines.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RefreshOneRecord)
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMicrosecond);

// StoreResultsRecord of the last measurement (a one-line table refresh).
void BM_StoreRecord(benchmark::State& state)
{
    const long long n = state.range(0);
    Folder& f = folder();
    const std::string path = f.results(n);
    ResultsRecordState recordState;
    TakenRecord taken;
    taken.from = TakenFrom::Logger;
    std::vector<std::string> last;
    readResultsRecords(path, n, n, last);
    taken.record = last.at(0);
    ResultsRecordContext ctx;
    ctx.settings = &f.settings;
    ctx.items = &f.items;
    ctx.selection = &f.selection;
    ctx.measurement = n;
    ctx.resultsPath = path;
    ctx.masterPath = (f.dir / "R0M.H10").string();
    for (auto _ : state) {
        const StoreOutcome out = StoreResultsRecord(recordState, taken, ctx);
        if (out.status != Status::Ok)
            state.SkipWithError("store failed");
        benchmark::DoNotOptimize(out.records);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StoreRecord)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The data and layout of a 7-day window ending at the last record.
void BM_GraphWindow(benchmark::State& state)
{
    const long long n = state.range(0);
    Folder& f = folder();
    const ResultsGraphSettings st = readResultsGraphSettings(f.settings, 0x2000, false);
    ResultsGraphRequest rq;
    rq.resultsPath = f.results(n);
    rq.currentNumber = n;
    rq.intervalMinutes = 60;
    for (auto _ : state) {
        const ResultsGraphData data = readResultsGraphData(rq, st);
        ResultsGraphInput in;
        in.data = &data;
        in.selection = &f.selection;
        in.items = &f.items;
        const ResultsGraphLayout L = layoutResultsGraph(in, st);
        if (!L.drawable)
            state.SkipWithError("nothing drawn");
        benchmark::DoNotOptimize(L.curves.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GraphWindow)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
