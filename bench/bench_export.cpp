// Exporting a 1 GiB master file as NetCDF (and as CSV for a slice of it)
// side by side with reading it: every burst read and its samples unpacked,
// as any program that uses the file has to.  The target: the NetCDF export
// takes less than twice the reading time.
//
// The file (20-minute bursts at 0.5 s of three channels, 30 sectors each)
// is written once to $VARENTA_BENCH_FILE or /tmp/varenta-bench-1g.H10 (the
// file of the loading benchmark) and reused; the tables come from data/.
#include "benchfile.h"

#include "common/installdata.h"
#include "common/masterreader.h"
#include "tolv/publish/analysisexport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

using namespace varenta;
namespace fs = std::filesystem;

namespace {

using bench::benchFile;
using bench::makeFile;
using bench::sizeOf;

struct Fixture {
    std::string path;
    std::string folder;
    std::uint64_t bursts = 0;
    std::uint64_t ncBytes = 0;  // size of the last NetCDF file written
    ExportTables tables;
    bool ok = false;
    Fixture()
    {
        path = benchFile();
        folder = (fs::temp_directory_path() / ("varenta-bench-export-" + std::to_string(::getpid()))).string();
        ok = makeFile(path, bursts) &&
             installProgramData(std::string(VARENTA_SOURCE_DIR_BENCH) + "/data", folder) == Status::Ok &&
             loadExportTables(folder, tables, nullptr) == Status::Ok;
    }
    ~Fixture() { fs::remove_all(folder); }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_ReadEveryBurst(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.ok) {
        state.SkipWithError("cannot make the benchmark file");
        return;
    }
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        MasterReader r;
        if (r.open(f.path) != Status::Ok) {
            state.SkipWithError("cannot open the benchmark file");
            return;
        }
        MeasurementHeader h;
        std::vector<std::int16_t> x;
        long long sum = 0;
        for (long long m = 1; m <= r.lastNumber(); ++m)
            if (r.read(m, h, x) == Status::Ok)
                sum += x.front();
        benchmark::DoNotOptimize(sum);
        bytes += r.fileSize();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_ReadEveryBurst)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_ExportNetcdf(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.ok) {
        state.SkipWithError("cannot make the benchmark file");
        return;
    }
    const std::string out = f.folder + "/export.nc";
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        ExportRequest req;
        req.masterPath = f.path;
        const ExportResult r = exportNetcdf(req, f.tables, out);
        if (r.status != Status::Ok || static_cast<std::uint64_t>(r.bursts) != f.bursts) {
            state.SkipWithError(r.message.c_str());
            return;
        }
        bytes += sizeOf(f.path);
        f.ncBytes = sizeOf(out);
        state.counters["nc_MiB"] = static_cast<double>(f.ncBytes) / (1 << 20);
        std::remove(out.c_str());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_ExportNetcdf)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The floor under the export on this machine: as many bytes as its NetCDF
// file holds written to a new file in the same folder, 1 MiB a call, with no
// reading or computing at all.  With the reading, this is the part of the
// export's work that no faster computing removes; what is left of twice the
// reading time, on all cores together, is what the spectra and the library
// can have.
void BM_WriteAsManyBytesAsTheExport(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.ok || f.ncBytes == 0) {
        state.SkipWithError("run with BM_ExportNetcdf (it gives the size)");
        return;
    }
    const std::string out = f.folder + "/plain.bin";
    const std::vector<char> piece(1 << 20, 'x');
    for (auto _ : state) {
        std::FILE* file = std::fopen(out.c_str(), "wb");
        bool ok = file != nullptr;
        for (std::uint64_t left = f.ncBytes; ok && left > 0;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece.size()));
            ok = std::fwrite(piece.data(), 1, n, file) == n;
            left -= n;
        }
        if (file)
            ok = std::fclose(file) == 0 && ok;
        std::remove(out.c_str());
        if (!ok) {
            state.SkipWithError("cannot write the plain file");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(f.ncBytes * state.iterations()));
}
BENCHMARK(BM_WriteAsManyBytesAsTheExport)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// CSV of the first 200 bursts (text is some ten times the size of the counts).
void BM_ExportCsv200(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.ok) {
        state.SkipWithError("cannot make the benchmark file");
        return;
    }
    for (auto _ : state) {
        ExportRequest req;
        req.masterPath = f.path;
        req.last = 200;
        const ExportResult r = exportCsv(req, f.tables, f.folder + "/csv");
        if (r.status != Status::Ok) {
            state.SkipWithError(r.message.c_str());
            return;
        }
        fs::remove_all(f.folder + "/csv");
    }
}
BENCHMARK(BM_ExportCsv200)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
