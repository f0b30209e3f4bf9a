// The raw data graph and the component velocity graph in the main window,
// offscreen, on generated bursts: pictures, image exports, print mode,
// scroll bar, cursor, zoom and the window title.
//
// With VARENTA_GRAPH_SHOTS set to a folder, the pictures are also written
// there as PNG files for looking at.
#include "shell_fixture.h"

#include "common/ui/drawing.h"
#include "common/ui/qtutil.h"
#include "tolv/data/ui/picturepane.h"
#include "tolv/data/ui/rawgraphview.h"
#include "tolv/data/ui/velocitygraphview.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

#include <cmath>

using namespace varenta;
using namespace varenta::guitest;

namespace {

void wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The conversion the views see: counts times the channel factor, the mean
// of the valid samples removed (as the trend removal does); missing samples
// keep the marker, spikes stay.
void installConversion(Shell& sh, const ChannelTable& table)
{
    sh.w().hooks().conditionSamples = [table](DataSet& d) {
        d.channelMeans.assign(d.values.size(), 0.0f);
        for (std::size_t c = 0; c < d.values.size(); ++c) {
            const double f = table.factor(d.header.channels[c]);
            double sum = 0;
            long long n = 0;
            for (std::int16_t v : d.rawCounts[c])
                if (v != -32768) {
                    sum += f * v;
                    ++n;
                }
            const double mean = n ? sum / static_cast<double>(n) : 0.0;
            d.channelMeans[c] = static_cast<float>(mean);
            for (std::size_t i = 0; i < d.values[c].size(); ++i) {
                const std::int16_t v = d.rawCounts[c][i];
                d.values[c][i] = v == -32768 ? -32768.0f : static_cast<float>(f * v - mean);
            }
        }
    };
}

struct Burst {
    const char* name;
    std::vector<int> channels;
    int intervalCode;
    double hm0, tp;
    int spikes;
    double missing;
};

synth::GeneratorOptions generate(const ProgramFolder& pf, const Burst& b)
{
    synth::GeneratorOptions o;
    o.plan.bursts = 3;
    o.plan.channels = b.channels;
    o.plan.intervalCode = b.intervalCode;
    o.plan.durationMinutes = 20;
    o.plan.intervalMinutes = 60;
    o.sea.hm0 = b.hm0;
    o.sea.tp = b.tp;
    o.sea.windSpeed = 12;
    o.sea.windDirection = 225;
    o.sea.gustiness = 0.25;
    o.sea.currentSpeed = 0.3;
    o.sea.currentDirection = 60;
    o.faults.spikesPerBurst = b.spikes;
    o.faults.spikeSize = 3000;
    o.faults.missingFraction = b.missing;
    o.fidelity = synth::Fidelity::Full;
    o.synthesis.components = 96;
    o.factors = synth::ChannelFactors::fromTable(pf.channelTable());
    std::string msg;
    EXPECT_EQ(synth::writeMasterPair(pf.dir.string(), "NR012", o, nullptr, &msg), Status::Ok) << msg;
    return o;
}

struct GraphShell {
    ProgramFolder& pf;
    Shell sh;
    RawGraphView* raw = nullptr;
    VelocityGraphView* xy = nullptr;

    explicit GraphShell(ProgramFolder& folder) : pf(folder), sh(folder)
    {
        auto r = std::make_unique<RawGraphView>();
        auto v = std::make_unique<VelocityGraphView>();
        raw = r.get();
        xy = v.get();
        sh.w().addView(std::move(r));
        sh.w().addView(std::move(v));
        installConversion(sh, pf.channelTable());
        sh.w().resize(1280, 960);
        sh.w().show();
        sh.w().startUp();
        sh.nextOpen = pf.master();
        sh.w().runCommand(QStringLiteral("Mopen"));
        settle();
    }
    DocumentWindow* open(int kind, QSize size)
    {
        sh.w().showView(kind);
        DocumentWindow* d = sh.doc(kind);
        if (!d)
            return nullptr;
        d->resize(size);
        wait(200);  // the resize redraw
        return d;
    }
};

bool exists(const std::string& p) { return QFile::exists(QString::fromStdString(p)); }

void removeImages(const ProgramFolder& pf, const char* stem)
{
    for (const char* ext : {".bmp", ".jpg"})
        QFile::remove(QString::fromStdString(pf.path(std::string("NR") + stem + ext)));
}

void shot(const QImage& img, const std::string& name)
{
    if (const char* dir = std::getenv("VARENTA_GRAPH_SHOTS"); dir && *dir)
        img.save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
}

// Pixels of a colour in a band of rows of the picture.
int countColour(const QImage& img, QRgb colour, int top, int bottom)
{
    int n = 0;
    for (int y = std::max(0, top); y < std::min(img.height(), bottom); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                ++n;
    return n;
}

int deviceY(const RawGraphLayout& L, double y, int height)
{
    return static_cast<int>(std::lround((y - L.view.top) * height / L.view.height()));
}

}  // namespace

// ---------------------------------------------------------------------------

TEST(RawGraphView, CalmSeaStripsImagesAndPrint)
{
    ProgramFolder pf;
    const Burst b{"calm", {1, 2, 3, 4}, 1, 0.4, 7, 0, 0};
    generate(pf, b);
    pf.setIni({{173, 0, "1"}, {173, 1, "100"}, {170, 1, "50"}, {171, 1, "50"}, {172, 1, "50"}, {79, 0, "5"},
               {85, 0, "沖合観測"}, {85, 3, "1"}});
    GraphShell g(pf);
    removeImages(pf, "22g");
    DocumentWindow* d = g.open(viewkind::kRawGraph, QSize(760, 520));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("生データのグラフ"));
    EXPECT_TRUE(exists(pf.path("NR22g.bmp")));
    EXPECT_TRUE(exists(pf.path("NR22g.jpg")));
    const QImage pic = d->picture1()->image();
    ASSERT_FALSE(pic.isNull());
    EXPECT_EQ(pic.size(), d->picture1()->size());
    shot(pic, "raw_calm");

    // Four strips, rows 0..3 on channels 0..3, 5 minutes at 0.5 s.
    const RawGraphLayout& L = g.raw->layout();
    ASSERT_EQ(L.rows.size(), 4u);
    for (const RawGraphRow& r : L.rows)
        EXPECT_EQ(r.channel, r.row);  // item 178: rows 0..3 on channels 0..3
    EXPECT_EQ(L.rows[0].label, "(cm)");
    EXPECT_EQ(L.rows[1].label, "(cm/s)");
    EXPECT_EQ(L.window.span, 600);
    EXPECT_EQ(L.caption, "沖合観測 No.12-3 26/ 5/ 6 12:00   経過時間（分）");
    // Each curve is drawn in its own strip and nowhere else.
    for (const RawGraphRow& r : L.rows) {
        const RawGraphBand& band = L.bands[static_cast<std::size_t>(r.band)];
        const QRgb colour = colorFromNumber(r.colour).rgb();
        const int top = deviceY(L, band.clipTop, pic.height());
        const int bottom = deviceY(L, band.clipBottom, pic.height());
        EXPECT_GT(countColour(pic, colour, top, bottom + 1), 200) << "row " << r.row;
        EXPECT_EQ(countColour(pic, colour, 0, top - 1) + countColour(pic, colour, bottom + 2, pic.height()), 0)
            << "row " << r.row;
    }
    // The BMP on disk is the picture.
    QImage bmp(QString::fromStdString(pf.path("NR22g.bmp")));
    ASSERT_FALSE(bmp.isNull());
    EXPECT_EQ(bmp.convertToFormat(QImage::Format_RGB32), pic.convertToFormat(QImage::Format_RGB32));

    // Every screen drawing writes the images again ...
    removeImages(pf, "22g");
    const long long before = g.raw->drawings();
    g.sh.w().runCommand(QStringLiteral("Mreexecute"));
    settle();
    EXPECT_GT(g.raw->drawings(), before);
    EXPECT_TRUE(exists(pf.path("NR22g.bmp")));
    EXPECT_TRUE(exists(pf.path("NR22g.jpg")));

    // Near the end the window is moved back to stay full.
    d->vScroll1()->setValue(2300);
    settle();
    EXPECT_EQ(g.raw->startSample(), 1800);
    EXPECT_EQ(g.raw->layout().timeTicks.front().label, "15");
    EXPECT_EQ(g.raw->layout().timeTicks.back().label, "20");

    // ... print mode does not.
    removeImages(pf, "22g");
    const std::string pdf = pf.path("raw.pdf");
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        printer.setPageOrientation(QPageLayout::Landscape);
        QPainter p(&printer);
        const QRectF page(QPointF(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
        EXPECT_TRUE(g.raw->print(g.sh.w(), p, page));
    }
    EXPECT_FALSE(exists(pf.path("NR22g.bmp")));
    EXPECT_FALSE(exists(pf.path("NR22g.jpg")));
    // The same page at 150 dpi as a picture: lines and text scale with the
    // resolution; still no images written.
    QImage page(1650, 1150, QImage::Format_RGB32);
    page.setDotsPerMeterX(5906);
    page.setDotsPerMeterY(5906);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        EXPECT_TRUE(g.raw->print(g.sh.w(), p, QRectF(60, 60, 1530, 1030)));
    }
    shot(page, "raw_calm_print150dpi");
    EXPECT_FALSE(exists(pf.path("NR22g.bmp")));
    QFile f(QString::fromStdString(pdf));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_GT(bytes.size(), 5000);
    if (const char* dir = std::getenv("VARENTA_GRAPH_SHOTS"); dir && *dir)
        QFile::copy(QString::fromStdString(pdf), QString::fromStdString(std::string(dir) + "/raw_calm.pdf"));
}

TEST(RawGraphView, StormWithSpikesAndMissingSamplesStaysInItsStrips)
{
    ProgramFolder pf;
    const Burst b{"storm", {1, 2, 3, 4}, 3, 4.5, 12, 6, 0.004};
    generate(pf, b);
    pf.setIni({{173, 0, "1"}, {170, 1, "300"}, {171, 1, "200"}, {172, 1, "200"}, {173, 1, "300"}, {79, 0, "60"},
               {85, 3, "1"}});
    GraphShell g(pf);
    DocumentWindow* d = g.open(viewkind::kRawGraph, QSize(900, 600));
    ASSERT_NE(d, nullptr);
    const QImage pic = d->picture1()->image();
    shot(pic, "raw_storm");
    const RawGraphLayout& L = g.raw->layout();
    // The whole 20-minute burst at 0.1 s: more samples than pixel columns.
    EXPECT_EQ(L.window.span, 12000);
    EXPECT_EQ(L.window.start, 0);
    EXPECT_EQ(L.caption.substr(L.caption.size() - std::string("経過時間（分）").size()), "経過時間（分）");
    for (const RawGraphRow& r : L.rows) {
        const RawGraphBand& band = L.bands[static_cast<std::size_t>(r.band)];
        const QRgb colour = colorFromNumber(r.colour).rgb();
        const int top = deviceY(L, band.clipTop, pic.height());
        const int bottom = deviceY(L, band.clipBottom, pic.height());
        EXPECT_GT(countColour(pic, colour, top, bottom + 1), 500) << "row " << r.row;
        EXPECT_EQ(countColour(pic, colour, 0, top - 1) + countColour(pic, colour, bottom + 2, pic.height()), 0)
            << "row " << r.row;
    }
    // A missing sample leaves a gap: the reduced curve of the row has
    // more than one run.
    const auto& v = g.sh.w().dataSet().values;
    int gaps = 0;
    for (const RawGraphRow& r : L.rows)
        gaps += static_cast<int>(rawGraphCurve(L, r, v[static_cast<std::size_t>(r.channel)], 800).size()) - 1;
    EXPECT_GT(gaps, 0);

    // Overlay mode: every row on one strip, each still within it.
    g.sh.w().runtime().autoWord |= rawgraphbit::kOverlay;
    ASSERT_TRUE(g.raw->draw(g.sh.w()));
    const RawGraphLayout& O = g.raw->layout();
    ASSERT_EQ(O.bands.size(), 1u);
    ASSERT_EQ(O.rows.size(), 4u);
    const QImage over = d->picture1()->image();
    shot(over, "raw_storm_overlay");
    const int top = deviceY(O, O.bands[0].clipTop, over.height());
    const int bottom = deviceY(O, O.bands[0].clipBottom, over.height());
    for (const RawGraphRow& r : O.rows) {
        const QRgb colour = colorFromNumber(r.colour).rgb();
        EXPECT_GT(countColour(over, colour, top, bottom + 1), 100) << "row " << r.row;
        EXPECT_EQ(countColour(over, colour, bottom + 2, over.height()), 0) << "row " << r.row;
    }
}

TEST(RawGraphView, HalfMinuteScrollCursorAndZoom)
{
    ProgramFolder pf;
    const Burst b{"calm", {1, 2, 3}, 3, 0.8, 8, 0, 0};
    generate(pf, b);
    pf.setIni({{79, 0, "0.5"}, {170, 1, "100"}, {171, 1, "50"}, {172, 1, "50"}});
    GraphShell g(pf);
    DocumentWindow* d = g.open(viewkind::kRawGraph, QSize(640, 400));
    ASSERT_NE(d, nullptr);
    shot(d->picture1()->image(), "raw_halfminute");
    RawGraphLayout L = g.raw->layout();
    EXPECT_EQ(L.window.span, 300);
    EXPECT_TRUE(L.window.seconds);
    EXPECT_EQ(L.caption, " No.12-3 26/ 5/ 6 12:00   経過時間（秒）");
    EXPECT_EQ(L.timeTicks.front().label, "0");
    EXPECT_EQ(L.timeTicks.back().label, "30");

    // VScroll1 counts samples: a change snaps the window to its minute.
    QScrollBar* sb = d->vScroll1();
    EXPECT_EQ(sb->minimum(), 1);
    EXPECT_EQ(sb->maximum(), 12000);
    sb->setValue(4321);
    settle();
    EXPECT_EQ(g.raw->startSample(), 4200);
    EXPECT_EQ(g.sh.panel(panel::kDno), "12963(07:12)");  // 4321 x 3 values, 3 x 600 per minute
    // A window shorter than a minute reaches the minute's second half too.
    sb->setValue(4531);
    settle();
    EXPECT_EQ(g.raw->startSample(), 4500);
    EXPECT_EQ(g.raw->layout().timeTicks.front().label, "450");
    sb->setValue(11990);
    settle();
    EXPECT_EQ(g.raw->startSample(), 11700);

    // The raw table's caret moves the cursor: the window follows only when
    // the cursor leaves it, the bar shows its sample.
    g.raw->cursorMoved(g.sh.w(), 3 * 11800 + 1);
    EXPECT_EQ(g.raw->startSample(), 11700);
    EXPECT_EQ(sb->value(), 11801);
    EXPECT_EQ(g.sh.panel(panel::kDno), "35401(19:40)");
    g.raw->cursorMoved(g.sh.w(), 3 * 100);
    EXPECT_EQ(g.raw->startSample(), 0);
    shot(d->picture1()->image(), "raw_cursor");

    // A click in the plot puts the cursor under the mouse.
    L = g.raw->layout();
    const QImage pic = d->picture1()->image();
    const int px = static_cast<int>((150 - L.view.left) * pic.width() / L.view.width());
    const int py = deviceY(L, L.bands[0].baseline, pic.height());
    g.raw->graphPressed(g.sh.w(), *d, QPoint(px, py));
    EXPECT_NEAR(static_cast<double>(g.raw->cursor()) / 3, 150, 2);

    // Zoom out from half a minute to the next span of the list.
    g.sh.w().mdiArea()->setActiveSubWindow(d);
    const long long before = g.raw->drawings();
    g.sh.w().zoom(false, false);
    EXPECT_EQ(g.sh.w().settings().trimmed(79, 0), "1");
    EXPECT_GT(g.raw->drawings(), before);
    EXPECT_EQ(g.raw->layout().window.span, 600);
    EXPECT_FALSE(g.raw->layout().window.seconds);
}

TEST(RawGraphView, NothingWhileTheNoSamplesSwitchIsSet)
{
    ProgramFolder pf;
    generate(pf, Burst{"calm", {1, 2, 3}, 1, 0.5, 8, 0, 0});
    GraphShell g(pf);
    DocumentWindow* d = g.open(viewkind::kRawGraph, QSize(500, 300));
    ASSERT_NE(d, nullptr);
    const long long before = g.raw->drawings();
    removeImages(pf, "22g");
    g.sh.w().runtime().noSamples = true;
    EXPECT_FALSE(g.raw->draw(g.sh.w()));
    EXPECT_EQ(g.raw->drawings(), before);
    EXPECT_FALSE(exists(pf.path("NR22g.bmp")));
}

// ---------------------------------------------------------------------------

TEST(VelocityGraphView, WindDataTitleCapAndImages)
{
    ProgramFolder pf;
    generate(pf, Burst{"wind", {1, 7, 8}, 1, 1.0, 8, 0, 0});
    pf.setIni({{79, 0, "30"}, {171, 1, "8"}, {172, 1, "8"}, {85, 0, "風況"}, {85, 3, "1"}});
    GraphShell g(pf);
    removeImages(pf, "25g");
    DocumentWindow* d = g.open(viewkind::kComponentGraph, QSize(480, 480));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("成分風速２次元グラフ"));
    // The window of 30 minutes is written back as the burst's 20.
    EXPECT_EQ(g.sh.w().settings().trimmed(79, 0), "20");
    EXPECT_TRUE(exists(pf.path("NR25g.bmp")));
    EXPECT_TRUE(exists(pf.path("NR25g.jpg")));
    const VelocityGraphLayout& L = g.xy->layout();
    ASSERT_TRUE(L.drawable);
    EXPECT_TRUE(L.pair.wind);
    EXPECT_EQ(L.pair.channelX, 1);
    EXPECT_EQ(L.pair.channelY, 2);
    EXPECT_EQ(L.px.size(), 2399u);  // samples 1 .. 2399 of 0 .. 2399
    EXPECT_EQ(L.caption, "風況 No.12-3 26/ 5/ 6 12:00");
    const QImage pic = d->picture1()->image();
    shot(pic, "xy_wind_fluctuation");
    // The plot area is square on a square picture with equal full scales.
    const double pxX = 2 * L.fsx * pic.width() / L.view.width();
    const double pxY = 2 * L.fsy * pic.height() / L.view.height();
    if (pic.width() == pic.height())
        EXPECT_NEAR(pxX, pxY, 1e-6);
    const QRgb pointColour = colorFromNumber(255).rgb();
    EXPECT_GT(countColour(pic, pointColour, 0, pic.height()), 300);

    // Absolute mode: the cloud moves to the mean wind (from the south-west,
    // so toward the north-east: east and north positive).
    g.xy->setAbsoluteMode(g.sh.w(), true);
    const VelocityGraphLayout& A = g.xy->layout();
    double mx = 0, my = 0;
    for (std::size_t i = 0; i < A.px.size(); ++i) {
        mx += A.px[i];
        my += A.py[i];
    }
    mx /= static_cast<double>(A.px.size());
    my /= static_cast<double>(A.py.size());
    EXPECT_GT(mx, 3);
    EXPECT_LT(my, -3);  // north is drawn upwards
    shot(d->picture1()->image(), "xy_wind_absolute");

    // Every screen drawing writes the images; print mode does not.
    removeImages(pf, "25g");
    g.xy->redraw(g.sh.w());
    EXPECT_TRUE(exists(pf.path("NR25g.bmp")));
    removeImages(pf, "25g");
    QImage page(800, 600, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        EXPECT_TRUE(g.xy->print(g.sh.w(), p, QRectF(0, 0, 800, 600)));
    }
    EXPECT_FALSE(exists(pf.path("NR25g.bmp")));
    EXPECT_FALSE(exists(pf.path("NR25g.jpg")));
}

TEST(VelocityGraphView, CurrentDataAndNoPair)
{
    ProgramFolder pf;
    generate(pf, Burst{"current", {1, 2, 3}, 1, 1.5, 9, 0, 0});
    pf.setIni({{171, 1, "50"}, {172, 1, "50"}});
    GraphShell g(pf);
    DocumentWindow* d = g.open(viewkind::kComponentGraph, QSize(560, 400));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("成分流速２次元グラフ"));
    EXPECT_TRUE(g.xy->layout().drawable);
    EXPECT_FALSE(g.xy->layout().pair.wind);
    shot(d->picture1()->image(), "xy_current");
    // The raw graph's window moves the points' window.
    DocumentWindow* r = g.open(viewkind::kRawGraph, QSize(560, 400));
    ASSERT_NE(r, nullptr);
    r->vScroll1()->setValue(601);
    settle();
    EXPECT_EQ(g.raw->startSample(), 600);
    EXPECT_EQ(g.xy->layout().window.first, 601);
}

TEST(DrawingLayer, PrimitivesTextAndStandIns)
{
    QImage img = makePicture(QSize(200, 100), Qt::white);
    {
        QPainter p(&img);
        Drawing d(p, QRectF(0, 0, 200, 100));
        d.setScale(-10, 10, 10, -10);  // y upwards
        EXPECT_EQ(d.map(-10, 10), QPointF(0, 0));
        EXPECT_EQ(d.map(10, -10), QPointF(200, 100));
        EXPECT_EQ(d.unmap(QPointF(100, 50)), QPointF(0, 0));
        d.setPen(colorFromNumber(255), 1, 0);  // red
        d.line(-10, 0, 10, 0);
        d.fillBox(0, 10, 10, 5, colorFromNumber(0xFF0000));  // blue
        d.setPen(colorFromNumber(0x00FF00), 3, 0);
        d.point(-5, -5);
    }
    EXPECT_EQ(img.pixel(50, 50) & 0xFFFFFF, 0xFF0000u);  // red line across the middle
    EXPECT_EQ(img.pixel(150, 10) & 0xFFFFFF, 0x0000FFu);  // blue box at the top right
    EXPECT_EQ(img.pixel(50, 75) & 0xFFFFFF, 0x00FF00u);   // a thick green point
    EXPECT_EQ(img.pixel(20, 90) & 0xFFFFFF, 0xFFFFFFu);

    EXPECT_EQ(withGlyphStandIns(QString(QChar(0xE007))), QStringLiteral("▼"));
    EXPECT_EQ(withGlyphStandIns(QString::fromUtf8("密度") + QChar(0xE003) + QStringLiteral("㎡Ｓ") + QChar(0xE004)),
              QStringLiteral("密度（㎡Ｓ）"));
    EXPECT_EQ(withGlyphStandIns(QString(QChar(0xE123))), QStringLiteral("□"));
    EXPECT_EQ(penStyleFromNumber(2), Qt::DotLine);
    EXPECT_EQ(penStyleFromNumber(5), Qt::NoPen);
    EXPECT_EQ(penStyleFromNumber(6), Qt::SolidLine);

    // Vertical text stacks its characters: as tall as the characters
    // together, one character wide; the vertical form lays wide ones down.
    QImage t = makePicture(QSize(200, 300), Qt::white);
    QPainter p(&t);
    Drawing d(p, QRectF(0, 0, 200, 300));
    QFont f(QStringLiteral("ＭＳ ゴシック"));
    f.setPixelSize(16);
    d.setFont(f);
    const QSizeF col = d.verticalTextSize(QStringLiteral("水圧計"), false);
    EXPECT_NEAR(col.height(), 3 * d.deviceTextHeight(), 0.5);
    EXPECT_LT(col.width(), 1.5 * d.deviceTextWidth(QStringLiteral("水")));
    const QSizeF form = d.verticalFormText(100, 150, QStringLiteral("度密"), draw::H::Centre, draw::V::Centre).size();
    EXPECT_NEAR(form.height(), 2 * d.deviceTextWidth(QStringLiteral("密")), 0.5);
    EXPECT_NEAR(form.width(), d.deviceTextHeight(), 0.5);
    const QRectF r = d.text(100, 20, std::string("E"), draw::H::Right, draw::V::Bottom);
    EXPECT_NEAR(r.right(), 100, 0.01);
    EXPECT_NEAR(r.bottom(), 20, 0.01);
}

TEST(DrawingLayer, ImageExportNamesQualityAndFailure)
{
    ProgramFolder pf;
    Settings s;
    EXPECT_EQ(graphJpegQuality(s), 75);
    s.set(66, 1, "80");
    EXPECT_EQ(graphJpegQuality(s), 80);
    s.set(66, 1, "255");
    EXPECT_EQ(graphJpegQuality(s), 100);
    s.set(66, 1, "-4");
    EXPECT_EQ(graphJpegQuality(s), 0);
    EXPECT_EQ(graphImagePath("/a/b", "NR", "22g", "bmp"), "/a/b/NR22g.bmp");

    QImage img = makePicture(QSize(64, 48), Qt::yellow);
    EXPECT_EQ(saveGraphImages(img, pf.dir.string(), "NR", "27g", 80), Status::Ok);
    QImage back(QString::fromStdString(pf.path("NR27g.jpg")));
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.size(), img.size());
    EXPECT_FALSE(exists(pf.path("NR27g.bmp.part")));
    // A folder that cannot be written: Io, and nothing left behind.
    EXPECT_EQ(saveGraphImages(img, pf.path("missing/folder"), "NR", "27g", 80), Status::Io);
}

TEST(GraphViews, MenuCommandsAndTheRawTableCaret)
{
    ProgramFolder pf;
    generate(pf, Burst{"calm", {1, 2, 3}, 1, 0.6, 8, 0, 0});
    Shell sh(pf);  // the built-in views, as the program registers them
    installConversion(sh, pf.channelTable());
    sh.w().resize(1200, 900);
    sh.w().show();
    sh.w().startUp();
    removeImages(pf, "22g");
    removeImages(pf, "25g");
    sh.nextOpen = pf.master();
    sh.w().runCommand(QStringLiteral("Mopen"));
    settle();
    sh.w().runCommand(QStringLiteral("MgraphD"));
    sh.w().runCommand(QStringLiteral("MxyGraph"));
    sh.w().runCommand(QStringLiteral("MnumD"));
    wait(200);
    ASSERT_NE(sh.doc(viewkind::kRawGraph), nullptr);
    ASSERT_NE(sh.doc(viewkind::kComponentGraph), nullptr);
    ASSERT_NE(sh.doc(viewkind::kRawTable), nullptr);
    EXPECT_EQ(sh.doc(viewkind::kComponentGraph)->windowTitle(), QStringLiteral("成分流速２次元グラフ"));
    EXPECT_TRUE(exists(pf.path("NR22g.bmp")));
    EXPECT_TRUE(exists(pf.path("NR25g.jpg")));
    auto* raw = dynamic_cast<RawGraphView*>(sh.w().views().find(viewkind::kRawGraph));
    auto* xy = dynamic_cast<VelocityGraphView*>(sh.w().views().find(viewkind::kComponentGraph));
    ASSERT_TRUE(raw && xy);

    // The caret on row 700 of the raw table: the cursor, the window and
    // the component graph's points follow.
    DocumentWindow* table = sh.doc(viewkind::kRawTable);
    QTextCursor c = table->richTextBox1()->textCursor();
    c.setPosition(table->richTextBox1()->document()->findBlockByNumber(700).position());
    table->richTextBox1()->setTextCursor(c);
    sh.w().views().find(viewkind::kRawTable)->caretMoved(sh.w(), *table);
    EXPECT_EQ(raw->cursor(), 2100);
    EXPECT_EQ(raw->startSample(), 600);
    EXPECT_EQ(sh.doc(viewkind::kRawGraph)->vScroll1()->value(), 701);
    EXPECT_EQ(xy->layout().window.first, 601);
    EXPECT_EQ(sh.panel(panel::kDno), "2100(05:50)");

    // The next measurement redraws both graphs.
    const long long r0 = raw->drawings(), x0 = xy->drawings();
    sh.w().step(0x10);
    settle();
    EXPECT_EQ(sh.w().dataSet().currentNumber, 2);
    EXPECT_GT(raw->drawings(), r0);
    EXPECT_GT(xy->drawings(), x0);
    EXPECT_NE(raw->layout().caption.find("No.12-2"), std::string::npos);
}
