// The directional spectrum: drawing and exporting the 3-D graph and the
// contour graph of a spectrum of 72 directions and 64 frequencies on a
// 1000 x 750 picture, and the whole estimation step of one burst
// (parameter file, process start, reading, peaks, summary) with a stand-in
// estimator that only copies a prepared "nr40g.txt".
//
// Run offscreen: QT_QPA_PLATFORM=offscreen ./bench_directional
#include "common/textfile.h"
#include "common/ui/drawing.h"
#include "common/ui/qtprocessrunner.h"
#include "tolv/spectra/ui/directionalviews.h"

#include <QApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace varenta;

namespace {

namespace fs = std::filesystem;

// A wind sea from 315 degrees: JONSWAP in frequency, cos-2s (s = 10) in direction.
DirectionalSpectrum windSea(int nf, int nd)
{
    DirectionalSpectrum s;
    s.nf = nf, s.nd = nd;
    const double fp = 1 / 6.0;
    for (int i = 1; i <= nf; ++i) {
        const double f = 0.5 * i / nf;
        s.frequency.push_back(static_cast<float>(f));
        const double e = std::pow(f, -5) * std::exp(-1.25 * std::pow(fp / f, 4));
        for (int j = 1; j <= nd; ++j) {
            const double a = ((j - 1) * 360.0 / nd - 315) * M_PI / 180;
            s.density.push_back(static_cast<float>(1e-3 * e * std::pow(std::abs(std::cos(a / 2)), 20)));
        }
    }
    return s;
}

std::string folder()
{
    static const std::string dir = [] {
        const fs::path d = fs::temp_directory_path() / ("bench_dir_" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d.string();
    }();
    return dir;
}

void drawAndExport(benchmark::State& state, bool contour)
{
    const DirectionalSpectrum s = windSea(64, 72);
    DirectionalPaintStyle st;
    st.font = QFont(QStringLiteral("IPAGothic"), 9);
    for (auto _ : state) {
        QImage img = makePicture(QSize(1000, 750), Qt::white);
        {
            QPainter p(&img);
            Drawing dr(p, QRectF(0, 0, 1000, 750), false);
            dr.setScale(0, 750, 1000, 0);
            dr.setFont(st.font);
            DirectionalGraphInput in;
            in.width = 1000, in.height = 750;
            in.digitWidth = std::abs(dr.digitWidth());
            in.textHeight = std::abs(dr.textHeight());
            if (contour)
                paintContourGraph(dr, buildContourGraph(s, in), st);
            else
                paint3DGraph(dr, build3DGraph(s, in), st);
            paintDirectionalHeading(dr, 1000, 750, "H3= 1.50m  P1=315ﾟ[ 6.0s]", "2026/12/06 10:30");
        }
        benchmark::DoNotOptimize(saveGraphImages(img, folder(), "NR", contour ? "27g" : "26g", 80));
    }
}

void BM_Directional3DGraph(benchmark::State& state) { drawAndExport(state, false); }
void BM_DirectionalContourGraph(benchmark::State& state) { drawAndExport(state, true); }

void BM_DirectionalGeometryOnly(benchmark::State& state)
{
    const DirectionalSpectrum s = windSea(64, 72);
    DirectionalGraphInput in;
    in.width = 1000, in.height = 750;
    for (auto _ : state) {
        benchmark::DoNotOptimize(build3DGraph(s, in));
        benchmark::DoNotOptimize(buildContourGraph(s, in));
    }
}

// One burst's step through the loader with a stand-in estimator.
void BM_DirectionalStepPerBurst(benchmark::State& state)
{
    const std::string dir = folder();
    const DirectionalSpectrum s = windSea(64, 72);
    {
        std::ofstream f(dir + "/prepared.txt");
        char buf[64];
        std::snprintf(buf, sizeof buf, "%40s%5d%5d\r\n", "", s.nf, s.nd);
        f << buf;
        for (int i = 1; i <= s.nf; ++i) {
            std::snprintf(buf, sizeof buf, "%12.5f\r\n", s.frequency[static_cast<std::size_t>(i - 1)]);
            f << buf;
            for (int j = 1; j <= s.nd; ++j) {
                std::snprintf(buf, sizeof buf, "%12.4E", s.at(i, j));
                f << buf << ((j % 6 == 0 || j == s.nd) ? "\r\n" : "");
            }
        }
        std::ofstream t(dir + "/emep2.org");
        for (int k = 1; k <= 9; ++k)
            t << "T" << k << std::string(78, '.') << "\r\n";
        std::ofstream e(dir + "/emep2");
        e << "#!/bin/sh\nexec cp prepared.txt nr40g.txt\n";
    }
    fs::permissions(dir + "/emep2", fs::perms::owner_all);
    DirectionalRequest req;
    req.estimator.programFolder = dir;
    req.estimator.masterPath = dir + "/NR012M.H10";
    req.estimator.kindBytes = {0x81, 0x82, 0x83};
    req.estimator.samples = 2400;
    req.estimator.waitTenths = 100;
    req.startFlags = dirflag::kAlwaysEstimate;
    DirectionalLoader loader;
    QtProcessRunner runner;
    const Progress progress;
    for (auto _ : state)
        if (loader.load(req, runner, progress, [](const std::string&) {}) != 0)
            state.SkipWithError("the stand-in estimator failed");
}

BENCHMARK(BM_Directional3DGraph)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DirectionalContourGraph)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DirectionalGeometryOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DirectionalStepPerBurst)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(folder(), ec);
    return 0;
}
