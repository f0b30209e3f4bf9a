// The power spectrum view (kind 4) in the main window, offscreen, on
// generated seas: opened from the menu, its files, its refresh with every
// measurement, its steps in the processing run and its print mode.
#include "shell_fixture.h"

#include "common/textfile.h"
#include "common/writebehind.h"
#include "tolv/data/ui/picturepane.h"
#include "tolv/shell/stepping.h"
#include "tolv/spectra/spectraadapter.h"
#include "tolv/spectra/ui/powerspectrumview.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>

#include <filesystem>

using namespace varenta;
using namespace varenta::guitest;

namespace {

namespace fs = std::filesystem;

// A sea recorded as pressure and two current components at 0.5 s.
synth::GeneratorOptions seaOptions(const ProgramFolder& pf, double hs, double tp, double gamma, int bursts = 4)
{
    synth::GeneratorOptions o;
    o.sea.hm0 = hs;
    o.sea.tp = tp;
    o.sea.gamma = gamma;
    o.sea.depth = 12.0;
    o.sea.gaugeHeight = 0.5;
    o.plan.bursts = bursts;
    o.plan.intervalCode = 1;
    o.plan.durationMinutes = 20;
    o.synthesis.components = 96;
    o.factors = synth::ChannelFactors::fromTable(pf.channelTable());
    return o;
}

void writeSea(const ProgramFolder& pf, const synth::GeneratorOptions& o)
{
    std::string msg;
    ASSERT_EQ(synth::writeMasterPair(pf.dir.string(), "NR012", o, nullptr, &msg), Status::Ok) << msg;
}

// A burst with other counts (for the expected raw table text).
synth::Burst withCounts(synth::Burst b, const std::vector<std::vector<std::int16_t>>& counts)
{
    b.counts = counts;
    return b;
}

// The main window with the spectral part plugged in as the program does.
struct SpectraShell : Shell {
    PowerSpectrumView* view = nullptr;
    std::shared_ptr<SpectralState> state;

    explicit SpectraShell(const ProgramFolder& pf, const std::string& argument = {}) : Shell(pf, argument)
    {
        SpectralPart part = makeSpectralPart(*window);
        state = part.state;
        view = part.view.get();
        window->hooks().conditionSamples = std::move(part.conditionSamples);
        window->addView(std::move(part.view));
    }
};

// Starts the window on the generated file as the program starts on the
// file that was open last; windowWord is the window word of the settings
// (its view bits open those views with the file).
void startOn(const ProgramFolder& pf, SpectraShell& sh, const char* windowWord = "100")
{
    pf.setIni({{98, 0, pf.master()}, {89, 0, windowWord}});
    sh.w().startUp();
}

std::vector<SpectrumTextBlock> readSpectrumText(const std::string& path)
{
    flushFileWrites();  // the text is written behind the drawing
    std::vector<std::string> lines;
    EXPECT_EQ(readTextLines(path, lines), Status::Ok) << path;
    std::vector<SpectrumTextBlock> blocks;
    EXPECT_EQ(parseSpectrumText(lines, blocks), Status::Ok) << path;
    return blocks;
}

// The text file holds exactly the numbers of the graph drawn last.
void expectTextMatchesGraph(const std::string& path, const SpectrumGraph& g)
{
    const std::vector<SpectrumTextBlock> blocks = readSpectrumText(path);
    ASSERT_EQ(blocks.size(), g.spectra.size());
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        EXPECT_EQ(blocks[k].slot, g.curves[k].slot + 1);
        const Spectrum& s = g.spectra[k];
        ASSERT_EQ(blocks[k].density.size(), s.density.size());
        for (std::size_t b = 0; b < s.density.size(); ++b) {
            ASSERT_NEAR(blocks[k].frequency[b], s.frequency[b], 6e-6 * s.frequency[b]) << "bin " << b;
            ASSERT_NEAR(blocks[k].density[b], s.density[b], 6e-6 * s.density[b] + 1e-30) << "bin " << b;
        }
    }
}

TEST(SpectrumView, OpensFromTheMenuAndWritesTextAndImages)
{
    ProgramFolder pf;
    const auto o = seaOptions(pf, 1.5, 14.0, 7.0);
    writeSea(pf, o);
    SpectraShell sh(pf);
    startOn(pf, sh);
    ASSERT_EQ(sh.w().dataSet().currentNumber, 4);
    ASSERT_TRUE(sh.w().commandAvailable(QStringLiteral("Mpower")));
    EXPECT_FALSE(fs::exists(pf.path("NR24g.txt")));

    sh.w().runCommand(QStringLiteral("Mpower"));
    settle();
    DocumentWindow* d = sh.doc(viewkind::kPowerSpectrum);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("パワースペクトル"));
    EXPECT_TRUE(d->picture1()->isVisible());
    EXPECT_TRUE(sh.w().runtime().state(statebit::viewBit(viewkind::kPowerSpectrum)));

    const SpectrumGraph& g = sh.view->lastGraph();
    ASSERT_TRUE(g.frame.has_value());
    ASSERT_EQ(g.spectra.size(), 3u);  // slots 0..2: pressure, current X, current Y
    EXPECT_NEAR(g.spectra[0].depth, 12.0, 0.1);
    expectTextMatchesGraph(pf.path("NR24g.txt"), g);

    // The images: the picture as shown, the bitmap exactly, the JPEG close.
    const QImage shown = d->picture1()->image();
    ASSERT_FALSE(shown.isNull());
    if (const char* keep = std::getenv("SPECTRUM_VIEW_PICTURE"))
        shown.save(QString::fromUtf8(keep));
    EXPECT_EQ(shown.size(), d->picture1()->size());
    QImage bmp(QString::fromStdString(pf.path("NR24g.bmp")));
    QImage jpg(QString::fromStdString(pf.path("NR24g.jpg")));
    ASSERT_FALSE(bmp.isNull());
    ASSERT_FALSE(jpg.isNull());
    EXPECT_EQ(bmp.size(), shown.size());
    EXPECT_EQ(jpg.size(), shown.size());
    EXPECT_EQ(bmp.convertToFormat(QImage::Format_RGB32), shown.convertToFormat(QImage::Format_RGB32));
    // The curves are drawn in the slots' colours (item 170 + s value 3):
    // each shows up in the picture.
    const SpectrumStyle st = spectrumStyleFrom(sh.w().settings(), false);
    for (int s = 0; s < 3; ++s) {
        const QColor c = QColor(static_cast<int>(st.slotColours[s] & 0xFF), static_cast<int>((st.slotColours[s] >> 8) & 0xFF),
                                static_cast<int>((st.slotColours[s] >> 16) & 0xFF));
        int hits = 0;
        const QImage rgb = shown.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < rgb.height(); ++y)
            for (int x = 0; x < rgb.width(); ++x)
                if (QColor(rgb.pixel(x, y)) == c)
                    ++hits;
        EXPECT_GT(hits, 50) << "slot " << s << " colour " << c.name().toStdString();
    }
    // No dated copy without start flag 0x800.
    for (const auto& e : fs::directory_iterator(pf.dir))
        EXPECT_EQ(e.path().string().find("sg.txt"), std::string::npos) << e.path();
}

TEST(SpectrumView, OpensWithTheFileWhenItsWindowWasOpen)
{
    ProgramFolder pf;
    writeSea(pf, seaOptions(pf, 1.0, 8.0, 3.3, 2));
    SpectraShell sh(pf);
    startOn(pf, sh, "1F00");  // the shipped window word: views 0 to 4 open
    DocumentWindow* d = sh.doc(viewkind::kPowerSpectrum);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(sh.view->drawCount(), 1);
    EXPECT_FALSE(d->picture1()->image().isNull());
    expectTextMatchesGraph(pf.path("NR24g.txt"), sh.view->lastGraph());
}

TEST(SpectrumView, ANewWindowSizeDrawsAgainAtThatSize)
{
    ProgramFolder pf;
    writeSea(pf, seaOptions(pf, 1.0, 8.0, 3.3, 2));
    SpectraShell sh(pf);
    startOn(pf, sh);
    sh.w().runCommand(QStringLiteral("Mpower"));
    DocumentWindow* d = sh.doc(viewkind::kPowerSpectrum);
    ASSERT_NE(d, nullptr);
    const int draws = sh.view->drawCount();
    const QSize before = d->picture1()->image().size();
    d->resize(d->width() + 120, d->height() + 80);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1500 && sh.view->drawCount() == draws)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(sh.view->drawCount(), draws + 1) << "one drawing once the size settled";
    EXPECT_EQ(d->picture1()->image().size(), d->picture1()->size());
    EXPECT_NE(d->picture1()->image().size(), before);
    EXPECT_EQ(QImage(QString::fromStdString(pf.path("NR24g.bmp"))).size(), d->picture1()->size());
}

TEST(SpectrumView, RefreshesWithEveryMeasurementChange)
{
    ProgramFolder pf;
    const auto o = seaOptions(pf, 2.0, 6.0, 3.3, 5);
    writeSea(pf, o);
    SpectraShell sh(pf);
    startOn(pf, sh);
    sh.w().runCommand(QStringLiteral("Mpower"));
    ASSERT_NE(sh.doc(viewkind::kPowerSpectrum), nullptr);
    const std::vector<SpectrumTextBlock> newest = readSpectrumText(pf.path("NR24g.txt"));

    int draws = sh.view->drawCount();
    sh.w().selectMeasurement(2);
    EXPECT_EQ(sh.view->drawCount(), draws + 1);
    expectTextMatchesGraph(pf.path("NR24g.txt"), sh.view->lastGraph());
    const std::vector<SpectrumTextBlock> second = readSpectrumText(pf.path("NR24g.txt"));
    ASSERT_EQ(second.size(), newest.size());
    EXPECT_NE(second[0].density, newest[0].density) << "another burst, another spectrum";

    // Stepping forward three times draws each measurement once.
    draws = sh.view->drawCount();
    sh.w().repetitionCombo()->setEditText(QStringLiteral("3"));
    sh.w().runCommand(QStringLiteral("Mexecute"));
    EXPECT_EQ(sh.w().dataSet().currentNumber, 5);
    EXPECT_EQ(sh.view->drawCount(), draws + 3);
    expectTextMatchesGraph(pf.path("NR24g.txt"), sh.view->lastGraph());

    // The spectrum of the conditioned burst: the generator's sea below the
    // frequency where the pressure factor reaches its cap.
    const synth::Burst b = synth::generateBurst(o, 5);
    const Spectrum& p0 = sh.view->lastGraph().spectra[0];
    double m0 = 0.0, m0gen = 0.0;
    for (std::size_t k = 0; k < p0.density.size(); ++k)
        if (p0.frequency[k] < 0.25)
            m0 += p0.density[k] / (p0.length * 0.5);
    for (const auto& w : b.components)
        if (w.frequency < 0.25)
            m0gen += w.amplitude * w.amplitude / 2;
    EXPECT_NEAR(std::sqrt(m0 / m0gen), 1.0, 0.1);

    // Closing the window stops the refreshes.
    sh.doc(viewkind::kPowerSpectrum)->close();
    settle();
    ASSERT_EQ(sh.doc(viewkind::kPowerSpectrum), nullptr);
    draws = sh.view->drawCount();
    sh.w().selectMeasurement(1);
    EXPECT_EQ(sh.view->drawCount(), draws);
}

TEST(SpectrumView, ProcessingRunFiltersWritesBackAndDrawsOnce)
{
    ProgramFolder pf;
    const auto o = seaOptions(pf, 2.0, 6.0, 3.3, 4);
    writeSea(pf, o);
    pf.setIni({{85, 4, "1000"}});  // long-period filter switch on
    SpectraShell sh(pf);
    startOn(pf, sh);
    EXPECT_EQ(sh.w().processing().names(), (std::vector<std::string>{"long-period filter", "power spectrum"}));
    sh.w().runCommand(QStringLiteral("Mpower"));
    ASSERT_NE(sh.doc(viewkind::kPowerSpectrum), nullptr);
    sh.w().selectMeasurement(2);
    const DataSet& d = sh.w().dataSet();
    const synth::Burst b2 = synth::generateBurst(o, 2);
    ASSERT_EQ(d.rawCounts[0], b2.counts[0]) << "display only: the counts as recorded";

    sh.w().runCommand(QStringLiteral("MnumD"));  // the raw table shows what processing leaves
    int draws = sh.view->drawCount();
    sh.w().repetitionCombo()->setEditText(QStringLiteral("2"));
    sh.w().runCommand(QStringLiteral("Mcalculate"));
    EXPECT_EQ(d.currentNumber, 3);
    EXPECT_EQ(sh.view->drawCount(), draws + 2) << "measurements 2 and 3, once each";
    EXPECT_TRUE(sh.state->record.longPeriodApplied);
    // The wind sea is gone from the filtered counts (periods above 30 s kept).
    const synth::Burst b3 = synth::generateBurst(o, 3);
    ASSERT_EQ(d.rawCounts.size(), 3u);
    EXPECT_NE(d.rawCounts[0], b3.counts[0]);
    auto spread = [](const std::vector<std::int16_t>& v) {
        double m = 0, s = 0;
        for (auto x : v)
            m += x;
        m /= static_cast<double>(v.size());
        for (auto x : v)
            s += (x - m) * (x - m);
        return std::sqrt(s / static_cast<double>(v.size()));
    };
    EXPECT_LT(spread(d.rawCounts[0]), 0.25 * spread(b3.counts[0]));
    // The raw table shows the written-back counts.
    DocumentWindow* table = sh.doc(viewkind::kRawTable);
    ASSERT_NE(table, nullptr);
    const std::string first = table->richTextBox1()->toPlainText().section(QLatin1Char('\n'), 0, 0).toStdString();
    EXPECT_EQ(first.substr(0, 7), expectedRawTable(withCounts(b3, d.rawCounts), pf.channelTable()).substr(0, 7));
    EXPECT_NE(first.substr(0, 7), expectedRawTable(b3, pf.channelTable()).substr(0, 7));

    // Reprocessing the same measurement starts again from the recorded
    // counts: the result is the same.
    const std::vector<std::int16_t> once = d.rawCounts[0];
    sh.w().step(stepmode::kReprocess);
    EXPECT_EQ(d.rawCounts[0], once);
}

TEST(SpectrumView, DatedCopyUnderStartFlag800)
{
    ProgramFolder pf;
    const auto o = seaOptions(pf, 1.0, 8.0, 3.3, 2);
    writeSea(pf, o);
    SpectraShell sh(pf, "800");
    ASSERT_TRUE(sh.w().startOptions().has(kStartFlagDatedSpectrum));
    startOn(pf, sh);
    sh.w().runCommand(QStringLiteral("Mpower"));
    const DataSet& d = sh.w().dataSet();
    const std::string dated = datedSpectrumTextNameFor(d);
    // Burst 2 starts at 11:00 on 6 May 2026.
    EXPECT_EQ(dated, "NR012-2026-0506-1100sg.txt");
    flushFileWrites();
    ASSERT_TRUE(fs::exists(pf.path(dated)));
    std::string a, b;
    ASSERT_EQ(readFileBytes(pf.path("NR24g.txt"), a), Status::Ok);
    ASSERT_EQ(readFileBytes(pf.path(dated), b), Status::Ok);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.substr(0, 3), "1\r\n");
}

TEST(SpectrumView, PrintModeDrawsOnThePageAndSavesNoImages)
{
    ProgramFolder pf;
    const auto o = seaOptions(pf, 1.5, 10.0, 3.3, 2);
    writeSea(pf, o);
    SpectraShell sh(pf);
    startOn(pf, sh);
    sh.w().runCommand(QStringLiteral("Mpower"));
    ASSERT_TRUE(fs::exists(pf.path("NR24g.bmp")));
    fs::remove(pf.path("NR24g.bmp"));
    fs::remove(pf.path("NR24g.jpg"));
    fs::remove(pf.path("NR24g.txt"));
    const QImage before = sh.doc(viewkind::kPowerSpectrum)->picture1()->image();

    QImage page(800, 600, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        ASSERT_TRUE(sh.view->print(sh.w(), p, QRectF(0, 0, 800, 600)));
    }
    int ink = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (page.pixel(x, y) != qRgb(255, 255, 255))
                ++ink;
    EXPECT_GT(ink, 2000) << "the graph is drawn on the page";
    EXPECT_FALSE(fs::exists(pf.path("NR24g.bmp")));
    EXPECT_FALSE(fs::exists(pf.path("NR24g.jpg")));
    flushFileWrites();
    EXPECT_TRUE(fs::exists(pf.path("NR24g.txt")));
    EXPECT_EQ(sh.doc(viewkind::kPowerSpectrum)->picture1()->image(), before) << "the window keeps its picture";
}

TEST(SpectrumView, NoSlotSelectedWritesAnEmptyText)
{
    ProgramFolder pf;
    const auto o = seaOptions(pf, 1.0, 8.0, 3.3, 2);
    writeSea(pf, o);
    SpectraShell sh(pf);
    startOn(pf, sh);
    sh.w().runCommand(QStringLiteral("Mpower"));
    DocumentWindow* d = sh.doc(viewkind::kPowerSpectrum);
    ASSERT_NE(d, nullptr);
    const QImage drawn = d->picture1()->image();
    for (int s = 0; s < 8; ++s)
        sh.w().settings().set(170 + s, 0, "0");
    sh.view->redraw(sh.w());
    std::string text;
    flushFileWrites();
    ASSERT_EQ(readFileBytes(pf.path("NR24g.txt"), text), Status::Ok);
    EXPECT_EQ(text, "");
    EXPECT_EQ(d->picture1()->image(), drawn) << "the picture is not cleared";
    EXPECT_EQ(QImage(QString::fromStdString(pf.path("NR24g.bmp"))).convertToFormat(QImage::Format_RGB32),
              drawn.convertToFormat(QImage::Format_RGB32))
        << "and saved unchanged";
}

// The text is written behind the drawing: a file that cannot be written
// still reaches the status panel once the writer has tried.
TEST(SpectrumView, TextThatCannotBeWrittenIsReportedLater)
{
    ProgramFolder pf;
    const auto o = seaOptions(pf, 1.0, 8.0, 3.3, 2);
    writeSea(pf, o);
    SpectraShell sh(pf);
    startOn(pf, sh);
    fs::create_directories(pf.path("NR24g.txt"));  // a folder in the file's place
    sh.w().runCommand(QStringLiteral("Mpower"));
    ASSERT_EQ(sh.view->drawCount(), 1);
    flushFileWrites();
    QApplication::processEvents();
    EXPECT_EQ(sh.w().panelText(panel::kStatus), std::string(spectratext::kFileFailed) + "NR24g.txt");
    EXPECT_TRUE(fs::is_directory(pf.path("NR24g.txt")));
}

TEST(SpectrumView, ResultsOnlyMeasurementDrawsNothing)
{
    ProgramFolder pf;
    auto o = seaOptions(pf, 1.0, 8.0, 3.3, 3);
    o.faults.allResultsOnly = true;
    writeSea(pf, o);
    SpectraShell sh(pf);
    startOn(pf, sh);
    sh.w().runCommand(QStringLiteral("Mpower"));
    EXPECT_EQ(sh.view->drawCount(), 0);
    flushFileWrites();
    EXPECT_FALSE(fs::exists(pf.path("NR24g.txt")));
    EXPECT_FALSE(fs::exists(pf.path("NR24g.bmp")));
}

}  // namespace
