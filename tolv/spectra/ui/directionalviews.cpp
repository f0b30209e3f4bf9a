#include "tolv/spectra/ui/directionalviews.h"

#include "common/numeric.h"
#include "common/ui/busycursor.h"
#include "common/ui/drawing.h"
#include "common/ui/qtprocessrunner.h"
#include "common/ui/qtutil.h"
#include "tolv/data/resultsgraph.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/data/ui/picturepane.h"
#include "tolv/data/ui/shellservices.h"
#include "tolv/spectra/spectraadapter.h"

#include <QPainter>
#include <QPolygonF>

#include <cmath>

namespace varenta {

namespace {

// The automatic-function word's switch for the ultrasonic wave height.
constexpr std::uint32_t kPreferUltrasonicHeight = 0x80;

draw::H toH(int a) { return a < 0 ? draw::H::Left : (a > 0 ? draw::H::Right : draw::H::Centre); }
draw::V toV(int a) { return a < 0 ? draw::V::Top : (a > 0 ? draw::V::Bottom : draw::V::Centre); }

QColor toColor(const Rgb& c) { return QColor(c.r, c.g, c.b); }

void labels(Drawing& dr, const std::vector<PicText>& texts)
{
    for (const PicText& t : texts)
        dr.text(t.x, t.y, t.text, toH(t.hAlign), toV(t.vAlign));
}

void lines(Drawing& dr, const std::vector<PicLine>& ls)
{
    for (const PicLine& l : ls)
        dr.line(l.a.x, l.a.y, l.b.x, l.b.y);
}

double channel0MeanOf(ShellServices& shell)
{
    const DataSet& d = shell.dataSet();
    if (!d.channelMeans.empty())
        return d.channelMeans[0];
    if (d.rawCounts.empty() || d.header.channels.empty())
        return 0;
    const double factor = shell.channels().factor(d.header.channels[0]);
    double sum = 0;
    long long n = 0;
    for (std::int16_t v : d.rawCounts[0])
        if (v != kMissingSample) {
            sum += v;
            ++n;
        }
    return n ? factor * sum / static_cast<double>(n) : 0;
}

}  // namespace

DirectionalRequest directionalRequestFor(ShellServices& shell)
{
    const DataSet& d = shell.dataSet();
    const Settings& s = shell.settings();
    const bool transform = conditioningSettingsFrom(s, shell.runtime()).currentTransform;
    DirectionalRequest r;
    r.estimator = estimatorInputFrom(d, s, shell.runtime(), shell.startOptions(), shell.programFolder(), transform,
                                     channel0MeanOf(shell));
    r.measurement = d.currentNumber;
    r.startFlags = shell.startOptions().flags;
    r.maxPeaks = static_cast<int>(s.integer(99, 0));
    r.declination = s.real(99, 6);
    r.rotationSetting = s.real(79, 1);
    r.meanBearing = d.header.meanBearing;
    r.measureCondition = static_cast<std::uint8_t>(d.header.measureCondition);
    r.prefix = d.filePrefix;
    r.titleText = s.value(85, 0);
    return r;
}

double significantWaveHeightFor(ShellServices& shell)
{
    const DataSet& d = shell.dataSet();
    std::vector<std::string> recs;
    if (!d.hasResultsFile || readResultsRecords(d.resultsPath, d.currentNumber, d.currentNumber, recs) != Status::Ok ||
        recs.empty())
        return 0;
    const int position = (shell.runtime().autoWord & kPreferUltrasonicHeight) ? 52 : 12;
    return resultsGraphValue(resultsGraphItem(recs[0], position)).value_or(0.0);
}

DirectionalPaintStyle directionalPaintStyle(const Settings& s, int kind, bool printer)
{
    const SpectrumStyle ls = spectrumStyleFrom(s, printer);
    DirectionalPaintStyle st;
    st.axis = colorFromNumber(ls.frameColour);
    st.axisWidth = ls.gridWidth;
    st.axisStyle = ls.gridStyle;
    st.frameWidth = ls.frameWidth;
    st.surfaceWidth = ls.curveWidth;
    st.surfaceStyle = ls.curveStyle;
    st.markerHalf = printer ? 20 : 2;
    st.font = graphViewFont(s, kind);
    st.text = graphTextColour(s, kind);
    return st;
}

void paintDirectionalHeading(Drawing& dr, double width, double height, const std::string& title,
                             const std::string& date)
{
    dr.text(0, height, title, draw::H::Left, draw::V::Top, 0.5, 0.2);
    dr.text(width, height, date, draw::H::Right, draw::V::Top, -0.3, 0.2);
}

void paint3DGraph(Drawing& dr, const Graph3D& g, const DirectionalPaintStyle& st)
{
    dr.setPen(st.axis, st.frameWidth, 0);
    lines(dr, g.frame);
    for (const ColourBand& b : g.bands) {
        QPolygonF poly;
        for (const PicPoint& p : b.corners)
            poly << dr.map(p.x, p.y);
        dr.painter().setPen(Qt::NoPen);
        dr.painter().setBrush(toColor(colourOfIndex(b.colourIndex)));
        dr.painter().drawPolygon(poly);
    }
    dr.painter().setBrush(Qt::NoBrush);
    dr.setPen(st.axis, st.axisWidth, st.axisStyle);
    lines(dr, g.ticks);
    labels(dr, g.labels);
    const int h = st.markerHalf;
    for (const Marker& m : g.markers)
        dr.fillBox(m.at.x - h, m.at.y - h, m.at.x + h, m.at.y + h, toColor(colourOfIndex(m.colourIndex)));
}

void paintContourGraph(Drawing& dr, const ContourGraph& g, const DirectionalPaintStyle& st)
{
    dr.setPen(st.axis, st.frameWidth, 0);
    dr.box(g.left, g.bottom, g.left + g.width, g.bottom + g.height);
    dr.setPen(st.axis, st.axisWidth, st.axisStyle);
    lines(dr, g.ticks);
    labels(dr, g.labels);
    if (g.dmax > g.dmin)
        dr.verticalFormText(g.left - 7 * dr.digitWidth(), g.bottom + g.height / 2, QStringLiteral("ｚＨ"));
    for (const ContourLine& l : g.lines) {
        dr.setPen(toColor(colourOfIndex(roundEvenInt(255.0 * l.level / 9))), st.surfaceWidth, st.surfaceStyle);
        std::vector<float> xs, ys;
        for (const auto& p : l.points) {
            xs.push_back(static_cast<float>(p[0]));
            ys.push_back(static_cast<float>(p[1]));
        }
        dr.polyline(xs, ys);
    }
}

DirectionalGraphView::DirectionalGraphView(ShellServices& shell, int kind, std::shared_ptr<DirectionalShared> shared)
    : shell_(shell), kind_(kind), shared_(std::move(shared))
{
}

DirectionalGraphView::~DirectionalGraphView() = default;

bool DirectionalGraphView::canDraw(ShellServices& shell, bool processing) const
{
    const DataSet& d = shell.dataSet();
    return (shell.runtime().switchWord2 & switch2::kDirectional) != 0 && d.hasMeasurementFile &&
           !shell.runtime().noSamples && d.header.packetKind() != kPacketKindResult &&
           (processing || !shell.runtime().state(statebit::kStepping));
}

void DirectionalGraphView::show(ShellServices& shell)
{
    const auto draw = [&] { drawWindow(shell); };
    presentWindow(shell, FocusPane::Window, draw, draw);
}

void DirectionalGraphView::refresh(ShellServices& shell, RefreshReason reason)
{
    if (!windowToRefresh(shell, reason, canDraw(shell, false)))
        return;
    drawWindow(shell);
}

void DirectionalGraphView::setUpWindow(DocumentWindow& w)
{
    ViewKind::setUpWindow(w);
    onSettledResize(w.picture1(), resizePending_, 120, [this, &w] {
        if (shell_.documentWindow(kind()) != &w)
            return;
        if (!picture_.isNull() && picture_.size() == w.picture1()->size())
            return;
        if (canDraw(shell_, false))
            drawWindow(shell_);
    });
}

void DirectionalGraphView::layoutWindow(DocumentWindow&) {}

void DirectionalGraphView::redraw(ShellServices& shell)
{
    if (shell.documentWindow(kind()))
        drawWindow(shell);
}

void DirectionalGraphView::closed(ShellServices&) { picture_ = QImage(); }

bool DirectionalGraphView::drawWindow(ShellServices& shell) { return run(shell, 0, nullptr, nullptr, false); }

bool DirectionalGraphView::print(ShellServices& shell, QPainter& painter, const QRectF& area)
{
    return run(shell, 2, &painter, &area, false);
}

void DirectionalGraphView::processStep(ShellServices& shell)
{
    if (shell.documentWindow(kind()))
        run(shell, 0, nullptr, nullptr, true);
}

void DirectionalGraphView::paint(Drawing& dr, ShellServices& shell, int width, int height, bool printer)
{
    const DirectionalPaintStyle st = directionalPaintStyle(shell.settings(), kind_, printer);
    dr.setScale(0, height, width, 0);
    dr.setFont(st.font);
    dr.setTextColour(st.text);
    DirectionalGraphInput in;
    in.width = width;
    in.height = height;
    in.digitWidth = std::abs(dr.digitWidth());
    in.textHeight = std::abs(dr.textHeight());
    in.axisAngle = shell.settings().real(82, 7);
    in.declination = shell.settings().real(99, 6);
    const DirectionalSpectrum& s = shared_->loader.spectrum();
    drewSpectrum_ = drawableSpectrum(s);
    if (kind_ == viewkind::kDirectional3d)
        paint3DGraph(dr, build3DGraph(s, in), st);
    else
        paintContourGraph(dr, buildContourGraph(s, in), st);
    const MeasurementHeader& h = shell.dataSet().header;
    dr.setTextColour(st.text);
    paintDirectionalHeading(dr, width, height,
                            directionalTitle(significantWaveHeightFor(shell), s, shared_->loader.analysis(),
                                             in.declination),
                            directionalDate(h.year, h.month, h.day, h.hour, h.minute));
}

bool DirectionalGraphView::run(ShellServices& shell, int mode, QPainter* printer, const QRectF* area, bool processing)
{
    const bool toPrinter = mode == 2;
    DocumentWindow* w = shell.documentWindow(kind());
    if (!canDraw(shell, processing) || (!toPrinter && !w) || (toPrinter && (!printer || !area)))
        return false;
    // One estimation at a time: a refresh that arrives while events are
    // served during the wait is dropped (the running one draws both).
    if (shared_->running)
        return false;
    shared_->running = true;
    BusyCursor busy;
    shell.setBusy(true, shell.panelText(panel::kStatus));
    shell.ensureRawData();
    std::string status = shell.panelText(panel::kStatus);
    const auto say = [&](const std::string& t) {
        status = t;
        shell.setPanel(panel::kStatus, t);
    };
    Progress progress;
    progress.poll = [&shell] {
        shell.serveEvents();
        return !shell.stopRequested();
    };
    std::unique_ptr<ProcessRunner> runner =
        shared_->makeRunner ? shared_->makeRunner() : std::make_unique<QtProcessRunner>();
    const int loaded = shared_->loader.load(directionalRequestFor(shell), *runner, progress, say);
    runner.reset();
    bool ok = false;
    if (loaded != 0) {
        status = dirtext::kCannot;
    } else if (toPrinter) {
        Drawing dr(*printer, *area, true);
        paint(dr, shell, static_cast<int>(area->width()), static_cast<int>(area->height()), true);
        ok = true;
    } else if (shell.documentWindow(kind()) == w) {
        PicturePane* pane = w->picture1();
        QImage img = makePicture(pane->size().expandedTo(QSize(1, 1)), pane->background());
        {
            QPainter p(&img);
            Drawing dr(p, QRectF(QPointF(0, 0), QSizeF(img.size())), false);
            paint(dr, shell, img.width(), img.height(), false);
        }
        pane->setImage(img);
        picture_ = img;
        const DataSet& d = shell.dataSet();
        const Status st = saveGraphImages(img, shell.programFolder(), d.filePrefix,
                                          kind_ == viewkind::kDirectional3d ? "26g" : "27g",
                                          graphJpegQuality(shell.settings()));
        if (st != Status::Ok)
            status = std::string(spectratext::kFileFailed) +
                     graphImagePath("", d.filePrefix, kind_ == viewkind::kDirectional3d ? "26g" : "27g", "bmp").substr(1);
        ++draws_;
        ok = true;
    }
    if (ok && !drewSpectrum_)
        status = dirtext::kCannot;
    shell.setBusy(false, status);
    shared_->running = false;
    return ok;
}

DirectionalPart makeDirectionalPart(ShellServices& shell)
{
    DirectionalPart part;
    part.shared = std::make_shared<DirectionalShared>();
    part.view3d = std::make_unique<DirectionalGraphView>(shell, viewkind::kDirectional3d, part.shared);
    part.contour = std::make_unique<DirectionalGraphView>(shell, viewkind::kDirectionalContour, part.shared);
    shell.processing().add(kDirectionalStepOrder, "directional spectrum", [](ShellServices& s) {
        for (int k : {viewkind::kDirectional3d, viewkind::kDirectionalContour})
            if (auto* v = dynamic_cast<DirectionalGraphView*>(s.views().find(k)))
                v->processStep(s);
    });
    return part;
}

}  // namespace varenta
