// Figures of the directional spectrum estimators on one burst (pressure and
// two current components, 2400 samples at 0.5 s, nd = 72, nf = 31):
// targets emep2 under 15 ms and bayes2 under 100 ms of process time.  The
// "Program" figures run the built programs as the processing program does
// (process start, parameter file, measurement, nr40g.txt): real time, and
// the programs' own CPU time as the counter program_cpu_ms.
#include "common/installdata.h"
#include "common/textfile.h"
#include "tools/estimators/run.h"
#include "tools/synth/synth.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace varenta;
namespace fs = std::filesystem;

void setField(std::string& line, int col, int width, const std::string& text)
{
    const std::string f = (std::string(10, ' ') + text).substr(10 + text.size() - static_cast<std::size_t>(width));
    if (line.size() < static_cast<std::size_t>(col - 1 + width))
        line.resize(static_cast<std::size_t>(col - 1 + width), ' ');
    line.replace(static_cast<std::size_t>(col - 1), static_cast<std::size_t>(width), f);
}

// A program folder with a generated burst and both parameter files.
struct Burst {
    std::string folder, master;
    std::vector<std::string> args;

    Burst()
    {
        folder = (fs::temp_directory_path() / ("est-bench-" + std::to_string(::getpid()))).string();
        installProgramData(std::string(VARENTA_SOURCE_DIR_BENCH) + "/data", folder);
        synth::GeneratorOptions o;
        o.sea.meanDirection = 200.0;
        o.sea.spreadingS = 10.0;
        o.plan.bursts = 1;
        o.plan.durationMinutes = 20;
        o.plan.intervalCode = 1;
        synth::MasterPairInfo info;
        synth::writeMasterPair(folder, "NR012", o, &info);
        master = info.measurementPath;
        std::vector<std::string> e, b;
        readTextLines(folder + "/emep2.org", e);
        readTextLines(folder + "/bayes2.org", b);
        e[0] = "    3";
        e[1] = "    1    2    3";
        setField(e[2], 13, 3, "12");
        setField(e[2], 21, 5, "2400");
        setField(e[2], 51, 5, "0.5");
        setField(e[2], 56, 10, "10.00");
        setField(e[4], 26, 10, "-9.50");
        setField(e[4], 56, 5, "1");
        setField(e[5], 26, 10, "-9.40");
        setField(e[6], 26, 10, "-9.40");
        writeTextLines(folder + "/emep2.ini", {e[0], e[1], e[2], e[3], e[4], e[5], e[6], e[8]});
        std::string list = "    3  1  2  3", cy = b[4], site = b[5];
        for (int i = 3; i < 30; ++i)
            list += "  0";
        setField(cy, 31, 10, "90.0");
        setField(site, 13, 3, "12");
        setField(site, 41, 5, "0.5");
        setField(site, 46, 5, "10.0");
        setField(site, 51, 5, "0.5");
        writeTextLines(folder + "/bayes2.ini", {b[0], b[1], list, b[3], b[4], cy, site, b[6], b[7], b[8], b[9]});
        args = {"2026", "5", "6", "10", "0", "2400", "3", "1", "4", master};
    }
    ~Burst() { fs::remove_all(folder); }
};

Burst& burst()
{
    static Burst b;
    return b;
}

void estimateBurst(benchmark::State& state, est::Method method)
{
    Burst& b = burst();
    for (auto _ : state) {
        est::DirectionalSpectrum out;
        est::RunReport report;
        if (!est::estimate(method, b.args, b.folder, out, report)) {
            state.SkipWithError(report.failure.c_str());
            break;
        }
        benchmark::DoNotOptimize(out.density.data());
    }
}

void BM_Emep2Burst(benchmark::State& state) { estimateBurst(state, est::Method::Emep); }
void BM_Bayes2Burst(benchmark::State& state) { estimateBurst(state, est::Method::Bdm); }
BENCHMARK(BM_Emep2Burst)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Bayes2Burst)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// The built program as a process, started and waited for.
void runProgram(benchmark::State& state, const char* name)
{
    Burst& b = burst();
    const fs::path program = fs::canonical("/proc/self/exe").parent_path().parent_path() / name;
    const std::string home = "VARENTA_HOME=" + b.folder;
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), b.args.begin(), b.args.end());
    std::vector<char*> av;
    for (std::string& a : argv)
        av.push_back(a.data());
    av.push_back(nullptr);
    std::vector<char*> env{const_cast<char*>(home.c_str()), nullptr};
    double childSeconds = 0.0;
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, av.data(), env.data()) != 0) {
            state.SkipWithError("cannot start the program (build emep2 and bayes2)");
            break;
        }
        int status = 0;
        struct rusage use {};
        wait4(pid, &status, 0, &use);
        childSeconds += use.ru_utime.tv_sec + use.ru_stime.tv_sec + 1e-6 * (use.ru_utime.tv_usec + use.ru_stime.tv_usec);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the program failed");
            break;
        }
    }
    // CPU time of the program itself (start, reading, estimation, writing).
    state.counters["program_cpu_ms"] =
        benchmark::Counter(1000.0 * childSeconds / std::max<double>(1.0, static_cast<double>(state.iterations())));
}

void BM_Emep2Program(benchmark::State& state) { runProgram(state, "emep2"); }
void BM_Bayes2Program(benchmark::State& state) { runProgram(state, "bayes2"); }
BENCHMARK(BM_Emep2Program)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Bayes2Program)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
