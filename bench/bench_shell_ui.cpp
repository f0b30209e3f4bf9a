// The processing program's main window, offscreen: opening a master file of
// 20 000 bursts with the raw data table shown, one forward display step
// with the raw data table open, and one forward processing step with only
// the results views open, the burst statistics on and off (a 10 000-burst
// processing run is 10 000 of these steps).
//
// The program folder (installation data, a settings file that keeps the raw
// table switched on, and the master file pair of 20-minute bursts at 0.5 s
// of three channels) is made once under $VARENTA_BENCH_DIR or
// /tmp/varenta-bench-shell and reused by later runs.
#include "benchfile.h"

#include "common/installdata.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/shell/stepping.h"
#include "tolv/shell/ui/mdiform1.h"
#include "tolv/spectra/ui/powerspectrumview.h"
#include "tolv/spectra/ui/resultsrecordstep.h"
#include "tools/synth/synth.h"

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

using namespace varenta;
namespace fs = std::filesystem;

namespace {

constexpr int kBursts = 20000;

std::string benchDir()
{
    const char* env = std::getenv("VARENTA_BENCH_DIR");
    return env && *env ? env : "/tmp/varenta-bench-shell";
}

std::string masterPath() { return benchDir() + "/NR012M.H10"; }

// The measurement file: the samples of one generated burst under 20 000
// headers of their own; a results file of empty records beside it.
bool makeProgramFolder()
{
    const fs::path dir = benchDir();
    fs::create_directories(dir);
    if (installProgramData(std::string(VARENTA_SOURCE_DIR_BENCH) + "/data", dir.string()) != Status::Ok)
        return false;
    if (!bench::makeFileOf(masterPath(), kBursts))
        return false;
    const std::string results = benchDir() + "/NR012L.H10";
    const std::string rec = emptyResultsRecord();
    if (bench::sizeOf(results) != static_cast<std::uint64_t>(kBursts) * rec.size()) {
        std::FILE* r = std::fopen(results.c_str(), "wb");
        if (!r)
            return false;
        for (int m = 1; m <= kBursts; ++m)
            std::fwrite(rec.data(), 1, rec.size(), r);
        std::fclose(r);
    }
    // Settings: the raw table switched on, protection so that the runs
    // leave the settings file as it is.
    const std::string ini = benchDir() + "/tolvi.ini";
    fs::copy_file(dir / "tolvi.org", ini, fs::copy_options::overwrite_existing);
    std::vector<std::string> layout;
    if (readTextLines(ini, layout) != Status::Ok)
        return false;
    Settings s;
    if (s.load(ini) != Status::Ok)
        return false;
    s.set(89, 0, "100");
    s.set(98, 0, "");
    s.set(85, 4, "0");
    return writeTextLines(ini, s.render(layout)) == Status::Ok;
}

// Rewrites item 89 value 0 (the open views) and item 98 value 0 (the
// master file opened at start-up) of the benchmark folder's settings.
bool setStartUp(const char* views, const std::string& master)
{
    const std::string ini = benchDir() + "/tolvi.ini";
    std::vector<std::string> layout;
    Settings s;
    if (readTextLines(ini, layout) != Status::Ok || s.load(ini) != Status::Ok)
        return false;
    s.set(89, 0, views);
    s.set(98, 0, master);
    return writeTextLines(ini, s.render(layout)) == Status::Ok;
}

struct Window {
    ScriptedPrompter prompter;
    std::unique_ptr<MDIForm1> w;
    Window()
    {
        ShellOptions opt;
        opt.programFolder = benchDir();
        opt.argument = "60";  // protection on, no exit question
        opt.prompter = &prompter;
        w = std::make_unique<MDIForm1>(opt);
        w->startUp();
    }
};

void BM_OpenWithRawTable(benchmark::State& state)
{
    Window win;
    std::size_t lines = 0;
    for (auto _ : state) {
        win.w->openPath(masterPath());
        DocumentWindow* d = win.w->documentWindow(0);
        if (!d || win.w->dataSet().latestNumber != kBursts) {
            state.SkipWithError("the raw table did not open");
            break;
        }
        lines = static_cast<std::size_t>(d->richTextBox1()->blockCount());
    }
    state.counters["bursts"] = static_cast<double>(win.w->dataSet().latestNumber);
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_OpenWithRawTable)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_ForwardDisplayStep(benchmark::State& state)
{
    Window win;
    win.w->openPath(masterPath());
    if (!win.w->documentWindow(0)) {
        state.SkipWithError("the raw table did not open");
        return;
    }
    win.w->selectMeasurement(1);
    for (auto _ : state) {
        if (win.w->dataSet().currentNumber >= kBursts) {
            state.PauseTiming();
            win.w->selectMeasurement(1);
            state.ResumeTiming();
        }
        win.w->repetitionCombo()->setEditText(QStringLiteral("1"));
        win.w->step(stepmode::kForwardDisplay);
    }
    state.counters["at"] = static_cast<double>(win.w->dataSet().currentNumber);
}
BENCHMARK(BM_ForwardDisplayStep)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Argument: 1 with the burst statistics, 0 without (the values stay 0).
void BM_ForwardProcessStepResultsViews(benchmark::State& state)
{
    Window win;
    SpectralPart spectra = makeSpectralPart(*win.w);
    win.w->hooks().conditionSamples = std::move(spectra.conditionSamples);
    win.w->addView(std::move(spectra.view));
    attachResultsRecordStep(*win.w, spectra.state);
    win.w->openPath(masterPath());
    win.w->runCommand(QStringLiteral("MnumR"));
    win.w->runCommand(QStringLiteral("MgraphR"));
    if (!win.w->documentWindow(2) || !win.w->documentWindow(3)) {
        state.SkipWithError("the results views did not open");
        return;
    }
    if (state.range(0))
        win.w->runtime().switchWord2 |= switch2::kWaveStatistics;
    else
        win.w->runtime().switchWord2 &= ~switch2::kWaveStatistics;
    win.w->selectMeasurement(1);
    for (auto _ : state) {
        if (win.w->dataSet().currentNumber >= kBursts) {
            state.PauseTiming();
            win.w->selectMeasurement(1);
            state.ResumeTiming();
        }
        win.w->repetitionCombo()->setEditText(QStringLiteral("1"));
        win.w->step(stepmode::kForwardProcess);
    }
    state.counters["at"] = static_cast<double>(win.w->dataSet().currentNumber);
}
BENCHMARK(BM_ForwardProcessStepResultsViews)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Start-up with the master file of item 98 and the four start-up views
// (raw table, raw graph, power spectrum, component graph) until they are
// drawn: target under 0.5 s.
void BM_StartUpFourViews(benchmark::State& state)
{
    if (!setStartUp("21300", masterPath())) {
        state.SkipWithError("cannot write the settings");
        return;
    }
    for (auto _ : state) {
        auto win = std::make_unique<Window>();
        QApplication::processEvents();
        for (QWidget* wd : QApplication::topLevelWidgets())
            if (wd->isVisible())
                wd->repaint();
        QApplication::processEvents();
        state.PauseTiming();
        if (!win->w->documentWindow(0)) {
            state.SkipWithError("the views did not open");
            break;
        }
        win->w->close();
        win.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    setStartUp("100", "");
}
BENCHMARK(BM_StartUpFourViews)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// One forward display step with the raw table, the raw graph and the power
// spectrum open, drawn: target at least 50 measurements per second.
void BM_ForwardDisplayStepThreeViews(benchmark::State& state)
{
    if (!setStartUp("1300", masterPath())) {
        state.SkipWithError("cannot write the settings");
        return;
    }
    {
        Window win;
        QApplication::processEvents();
        if (!win.w->documentWindow(0)) {
            state.SkipWithError("the views did not open");
            setStartUp("100", "");
            return;
        }
        win.w->selectMeasurement(1);
        for (auto _ : state) {
            if (win.w->dataSet().currentNumber >= kBursts) {
                state.PauseTiming();
                win.w->selectMeasurement(1);
                state.ResumeTiming();
            }
            win.w->repetitionCombo()->setEditText(QStringLiteral("1"));
            win.w->step(stepmode::kForwardDisplay);
            QApplication::processEvents();
        }
        state.SetItemsProcessed(state.iterations());
        win.w->close();
    }
    setStartUp("100", "");
}
BENCHMARK(BM_ForwardDisplayStepThreeViews)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!makeProgramFolder()) {
        std::fprintf(stderr, "cannot prepare %s\n", benchDir().c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
