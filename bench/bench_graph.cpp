// Drawing and exporting the raw data graph: a 60-minute window sampled at
// 0.1 s (36000 samples per channel) on four strips, into a picture of a
// typical window size, then saved as the BMP and JPEG images.  Beside it:
// the min-max reduction alone, the painting alone, the export alone, the
// component 2-D graph of the same burst, and a full polyline of every
// sample for comparison.
//
// Run offscreen: QT_QPA_PLATFORM=offscreen ./bench_graph
#include "common/ui/drawing.h"
#include "common/ui/qtutil.h"
#include "tolv/data/rawgraph.h"
#include "tolv/data/ui/rawgraphview.h"
#include "tolv/data/ui/velocitygraphview.h"
#include "tools/synth/generator.h"

#include <QApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

using namespace varenta;

namespace {

struct Fixture {
    MeasurementHeader header;
    std::vector<std::vector<float>> values;
    std::vector<std::string> units{"   (cm) ", " (cm/s) ", " (cm/s) ", "   (cm) "};
    RawGraphSettings settings;
    RawWindow window;
    GraphLook look;
    std::string folder;

    Fixture()
    {
        synth::GeneratorOptions o;
        o.plan.durationMinutes = 60;
        o.plan.intervalCode = 3;  // 0.1 s
        o.plan.channels = {1, 2, 3, 4};
        o.sea.hm0 = 3.0;
        o.sea.tp = 10;
        o.synthesis.components = 128;
        const synth::Burst b = synth::generateBurst(o, 1);
        const double factor[] = {0.1, 0.1, 0.1, 0.1};
        header.channels = b.channels;
        header.channelCount = 4;
        header.samplesPerChannel = b.samplesPerChannel;
        header.durationMinutes = 60;
        header.intervalTenths = 1;
        header.machineNumber = 12;
        header.dateText = "26/ 5/ 6";
        header.timeText = "10:00:00";
        values.assign(4, {});
        for (int c = 0; c < 4; ++c) {
            auto& v = values[static_cast<std::size_t>(c)];
            const auto& counts = b.counts[static_cast<std::size_t>(c)];
            double mean = 0;
            for (std::int16_t x : counts)
                mean += factor[c] * x;
            mean /= static_cast<double>(counts.size());
            v.resize(counts.size());
            for (std::size_t i = 0; i < counts.size(); ++i)
                v[i] = static_cast<float>(factor[c] * counts[i] - mean);
        }
        const double fs[] = {300, 200, 200, 300};
        for (int w = 0; w < 4; ++w) {
            settings.rows[static_cast<std::size_t>(w)].shown = true;
            settings.rows[static_cast<std::size_t>(w)].fullScale = fs[w];
            settings.rows[static_cast<std::size_t>(w)].colour = 0xFF0000 >> (4 * w);
        }
        settings.windowMinutes = 60;
        settings.identify = true;
        window = rawGraphWindow(1, 60, header.samplesPerChannel, 60, {1});
        look.font = QFont(QStringLiteral("ＭＳ ゴシック"));
        look.font.setPointSize(9);
        folder = (std::filesystem::temp_directory_path() / ("bench_graph_" + std::to_string(::getpid()))).string();
        std::filesystem::create_directories(folder);
    }
    ~Fixture() { std::filesystem::remove_all(folder); }

    RawGraphData data() const
    {
        RawGraphData d;
        d.header = &header;
        d.graphChannel = {0, 1, 2, 3, 4, 5, 6, 7};
        d.values = &values;
        d.unitTexts = units;
        d.machineNumber = 12;
        d.currentNumber = 1;
        d.dateText = header.dateText;
        d.timeText = header.timeText;
        return d;
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

const QSize kPicture(1000, 700);

void BM_RawGraphDrawAndExport(benchmark::State& state)
{
    Fixture& f = fixture();
    const RawGraphData d = f.data();
    const int quality = 80;
    for (auto _ : state) {
        QImage img = makePicture(kPicture, Qt::white);
        {
            QPainter p(&img);
            paintRawGraph(p, QRectF(QPointF(0, 0), QSizeF(kPicture)), d, f.settings, f.window, f.look, false);
        }
        benchmark::DoNotOptimize(saveGraphImages(img, f.folder, "NR", "22g", quality));
    }
    state.counters["samples"] = static_cast<double>(4 * f.window.span);
}
BENCHMARK(BM_RawGraphDrawAndExport)->Unit(benchmark::kMillisecond);

void BM_RawGraphDrawOnly(benchmark::State& state)
{
    Fixture& f = fixture();
    const RawGraphData d = f.data();
    for (auto _ : state) {
        QImage img = makePicture(kPicture, Qt::white);
        QPainter p(&img);
        benchmark::DoNotOptimize(
            paintRawGraph(p, QRectF(QPointF(0, 0), QSizeF(kPicture)), d, f.settings, f.window, f.look, false));
    }
}
BENCHMARK(BM_RawGraphDrawOnly)->Unit(benchmark::kMillisecond);

void BM_ImageExportOnly(benchmark::State& state)
{
    Fixture& f = fixture();
    QImage img = makePicture(kPicture, Qt::white);
    {
        QPainter p(&img);
        paintRawGraph(p, QRectF(QPointF(0, 0), QSizeF(kPicture)), f.data(), f.settings, f.window, f.look, false);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(saveGraphImages(img, f.folder, "NR", "22g", 80));
}
BENCHMARK(BM_ImageExportOnly)->Unit(benchmark::kMillisecond);

void BM_ReduceFourStrips(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        for (const auto& v : f.values)
            benchmark::DoNotOptimize(plot::reduceSeries(v, 0, f.window.span, 0, 0, 1, 900));
}
BENCHMARK(BM_ReduceFourStrips)->Unit(benchmark::kMicrosecond);

// For comparison: every sample of the four strips joined, no reduction.
void BM_FullPolylineFourStrips(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        QImage img = makePicture(kPicture, Qt::white);
        QPainter p(&img);
        Drawing d(p, QRectF(QPointF(0, 0), QSizeF(kPicture)));
        d.setScale(-3000, -150, 37500, 4 * 750 + 150);
        d.setPen(Qt::blue);
        std::vector<float> x(f.values[0].size());
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = static_cast<float>(i);
        for (int c = 0; c < 4; ++c) {
            std::vector<float> y(f.values[static_cast<std::size_t>(c)]);
            for (float& v : y)
                v = 750.0f * c + 300.0f - v;
            d.polyline(x, y);
        }
    }
}
BENCHMARK(BM_FullPolylineFourStrips)->Unit(benchmark::kMillisecond);

void BM_ComponentGraphDrawAndExport(benchmark::State& state)
{
    Fixture& f = fixture();
    VelocityGraphData d;
    d.header = &f.header;
    d.graphChannel = {0, 1, 2, 3, 4, 5, 6, 7};
    d.values = &f.values;
    VelocityGraphSettings s;
    s.fullScales = {300, 200, 200, 300, 100, 100, 100, 100};
    s.windowMinutes = 60;
    const QSize size(600, 600);
    for (auto _ : state) {
        QImage img = makePicture(size, Qt::white);
        {
            QPainter p(&img);
            paintVelocityGraph(p, QRectF(QPointF(0, 0), QSizeF(size)), d, s, f.look, false, false);
        }
        benchmark::DoNotOptimize(saveGraphImages(img, f.folder, "NR", "25g", 80));
    }
}
BENCHMARK(BM_ComponentGraphDrawAndExport)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontSubstitutions();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
