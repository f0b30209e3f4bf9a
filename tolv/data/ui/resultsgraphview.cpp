#include "tolv/data/ui/resultsgraphview.h"

#include "common/ui/drawing.h"
#include "common/ui/qtutil.h"
#include "tolv/data/docrules.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/data/ui/picturepane.h"
#include "tolv/data/ui/shellservices.h"

#include <QMdiArea>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace varenta {

namespace {

const QColor kGridColour(160, 160, 160);

// Room the texts of a layout need, in device pixels.
struct Margins {
    double left = 0, right = 0, top = 0, bottom = 0;
};

Margins marginsFor(const Drawing& d, const ResultsGraphLayout& L)
{
    const double digit = std::max(1.0, d.deviceDigitWidth());
    const double lineH = std::max(1.0, d.deviceTextHeight());
    double leftNumbers = 0, rightNumbers = 0;
    for (const ResultsGraphCurve& c : L.curves)
        for (const plot::Tick& t : c.ticks)
            (c.right ? rightNumbers : leftNumbers) =
                std::max(c.right ? rightNumbers : leftNumbers, d.deviceTextWidth(qs(t.label)));
    double captions = 0;
    for (const ResultsArrowRow& r : L.arrowRows)
        captions = std::max(captions, d.deviceTextWidth(qs(r.caption)));
    double lastLabel = 0;
    bool twoLines = false;
    for (const ResultsTimeLabel& t : L.timeLabels) {
        lastLabel = std::max({lastLabel, d.deviceTextWidth(qs(t.hour)), d.deviceTextWidth(qs(t.day))});
        twoLines = twoLines || (!t.hour.empty() && !t.day.empty());
    }
    Margins m;
    m.left = std::max(leftNumbers, captions) + digit * 1.5;
    m.right = std::max(rightNumbers + digit * 1.5, lastLabel / 2 + digit);
    m.top = lineH * 0.6;
    m.bottom = lineH * ((twoLines ? 2.0 : 1.0) + 0.3 + 1.5);
    return m;
}

}  // namespace

ResultsGraphPainting paintResultsGraph(QPainter& painter, const QRectF& area, const ResultsGraphInput& inputIn,
                                       const ResultsGraphSettings& st, const GraphLook& look, bool printMode)
{
    ResultsGraphPainting out;
    Drawing d(painter, area, printMode);
    d.setFont(look.font);
    d.setTextColour(look.text);
    const double digit = std::max(1.0, d.deviceDigitWidth());
    const double lineH = std::max(1.0, d.deviceTextHeight());

    // A first layout gives the texts; the arrow rows then get their height
    // in panel units, and the layout is made again with it.
    ResultsGraphInput in = inputIn;
    in.arrowRowHeight = 30;
    ResultsGraphLayout L = layoutResultsGraph(in, st);
    const Margins m = marginsFor(d, L);
    const double plotW = std::max(10.0, area.width() - m.left - m.right);
    const double plotH = std::max(10.0, area.height() - m.top - m.bottom);
    const double rows = static_cast<double>(L.arrowRows.size());
    const double panels = std::max<double>(1.0, static_cast<double>(L.panels.size()));
    const double arrowDev = std::min(st.arrowRowLines * lineH, plotH * 0.15);
    const double panelDev = std::max(5.0, (plotH - rows * arrowDev) / panels);
    if (!L.arrowRows.empty()) {
        in.arrowRowHeight = arrowDev / panelDev * kResultsPanelHeight;
        L = layoutResultsGraph(in, st);
    }
    const double W = std::max(1.0, L.width);
    const double ppx = plotW / W;
    const double ppy = panelDev / kResultsPanelHeight;
    const double bottomY = L.drawable ? L.plotBottom : kResultsPanelHeight;
    d.setScale(-m.left / ppx, -m.top / ppy, W + m.right / ppx, bottomY + m.bottom / ppy);
    out.toDevice = d.transform();
    out.plotRect = d.mapRect(0, L.plotTop, W, bottomY);
    const double unitX = 1.0 / ppx;   // one device pixel in x units
    const double unitY = 1.0 / ppy;

    if (!L.drawable) {
        d.text(W / 2, bottomY / 2, qs(std::string(kResultsGraphNoData)), draw::H::Centre, draw::V::Centre);
        d.text(W / 2, bottomY + m.bottom / ppy, qs(L.caption), draw::H::Centre, draw::V::Bottom, 0, -0.1);
        out.layout = std::move(L);
        return out;
    }

    const auto& frame = st.frame;
    const double tickLen = lineH * 0.3 * unitY;

    // Arrow rows: a frame, the caption at the left, one arrow per record.
    for (const ResultsArrowRow& row : L.arrowRows) {
        const QColor colour = colorFromNumber(row.colour);
        d.setPen(look.text, frame.width, frame.style);
        d.box(0, row.top, W, row.bottom);
        d.setTextColour(colour);
        d.text(0, row.centre(), qs(row.caption), draw::H::Right, draw::V::Centre, -0.5, 0);
        d.setTextColour(look.text);
        const double radius = (row.bottom - row.top) * 0.42 * ppy * unitX;
        d.clip(0, row.top, W, row.bottom);
        d.setPen(colour, 1.5, 0);
        for (const ResultsArrowRow::Arrow& a : row.arrows)
            d.sector(a.x, row.centre(), radius, a.direction.angle - 0.001, a.direction.angle, true);
        d.unclip();
    }

    // Panels: grid, frame, ticks and the numbers of their two series.
    for (std::size_t p = 0; p < L.panels.size(); ++p) {
        const ResultsGraphPanel& panel = L.panels[p];
        const ResultsGraphCurve* leftCurve = nullptr;
        const ResultsGraphCurve* rightCurve = nullptr;
        for (const ResultsGraphCurve& c : L.curves)
            if (c.panel == static_cast<int>(p))
                (c.right ? rightCurve : leftCurve) = &c;
        const ResultsGraphCurve* gridCurve = leftCurve ? leftCurve : rightCurve;
        d.setPen(kGridColour, 1, 2);
        for (const ResultsTimeLabel& t : L.timeLabels)
            if (t.x > 0 && t.x < W)
                d.line(t.x, panel.top, t.x, panel.bottom);
        if (gridCurve)
            for (const plot::Tick& t : gridCurve->ticks)
                if (t.at > panel.top + 1e-6 && t.at < panel.bottom - 1e-6)
                    d.line(0, t.at, W, t.at);
        d.setPen(look.text, 1, 0);
        for (const ResultsTimeLabel& t : L.timeLabels) {
            d.line(t.x, panel.bottom, t.x, panel.bottom - tickLen);
            d.line(t.x, panel.top, t.x, panel.top + tickLen);
        }
        for (const ResultsGraphCurve* c : {leftCurve, rightCurve}) {
            if (!c)
                continue;
            d.setTextColour(colorFromNumber(c->colour));
            d.setPen(colorFromNumber(c->colour), 1, 0);
            for (const plot::Tick& t : c->ticks) {
                // The numbers at the panel's edges stay inside it, so that
                // stacked panels do not write over each other's.
                const double edge = 1e-6 * kResultsPanelHeight;
                const draw::V v = t.at <= panel.top + edge ? draw::V::Top
                                  : t.at >= panel.bottom - edge ? draw::V::Bottom
                                                                : draw::V::Centre;
                if (c->right) {
                    d.line(W, t.at, W - digit * 0.6 * unitX, t.at);
                    d.text(W, t.at, qs(t.label), draw::H::Left, v, 0.4, 0);
                } else {
                    d.line(0, t.at, digit * 0.6 * unitX, t.at);
                    d.text(0, t.at, qs(t.label), draw::H::Right, v, -0.4, 0);
                }
            }
            const std::string name = c->name.empty() ? std::to_string(st.series[static_cast<std::size_t>(c->series)].code)
                                                     : c->name;
            if (c->right)
                d.text(W, panel.top, qs(name), draw::H::Right, draw::V::Top, -0.5, 0.1);
            else
                d.text(0, panel.top, qs(name), draw::H::Left, draw::V::Top, 0.5, 0.1);
        }
        d.setTextColour(look.text);
        d.setPen(look.text, frame.width, frame.style);
        d.box(0, panel.top, W, panel.bottom);
    }

    // The series, each kept inside its panel.
    const double markX = 2.5 * unitX * d.lineScale();
    const double markY = 2.5 * unitY * d.lineScale();
    for (const ResultsGraphCurve& c : L.curves) {
        const ResultsGraphPanel& panel = L.panels[static_cast<std::size_t>(c.panel)];
        const QColor colour = colorFromNumber(c.colour);
        d.clip(0, panel.top, W, panel.bottom);
        d.setPen(colour, 1, 0);
        for (const plot::Run& run : c.runs) {
            if (run.size() >= 2) {
                d.polyline(run.x, run.y);
            } else if (run.size() == 1) {
                d.setPen(colour, 3, 0);
                d.point(run.x[0], run.y[0]);
                d.setPen(colour, 1, 0);
            }
        }
        if (st.marks) {
            for (std::size_t i = 0; i < c.pointX.size(); ++i) {
                const double x = c.pointX[i];
                const double y = c.pointY[i];
                if (st.fillStyle == 0)
                    d.fillBox(x - markX, y - markY, x + markX, y + markY, colour);
                else
                    d.box(x - markX, y - markY, x + markX, y + markY);
            }
        }
        if (st.values) {
            d.setTextColour(colour);
            for (std::size_t i = 0; i < c.pointX.size(); ++i)
                d.text(c.pointX[i], c.pointY[i], qs(c.pointTexts[i]), draw::H::Centre, draw::V::Bottom, 0, -0.1);
            d.setTextColour(look.text);
        }
        d.unclip();
    }

    // The time axis: hours on the first line, days where they change.
    for (const ResultsTimeLabel& t : L.timeLabels) {
        double line = 0.15;
        if (!t.hour.empty()) {
            d.text(t.x, L.plotBottom, qs(t.hour), draw::H::Centre, draw::V::Top, 0, line);
            line += 1.0;
        }
        if (!t.day.empty())
            d.text(t.x, L.plotBottom, qs(t.day), draw::H::Centre, draw::V::Top, 0, line);
    }
    d.text(W / 2, L.plotBottom + m.bottom / ppy, qs(L.caption), draw::H::Centre, draw::V::Bottom, 0, -0.1);
    out.layout = std::move(L);
    return out;
}

// ---------------------------------------------------------------------------

bool ResultsGraphView::canDraw(ShellServices& shell) const { return shell.dataSet().hasResultsFile; }

void ResultsGraphView::show(ShellServices& shell)
{
    shell_ = &shell;
    presentWindow(shell, FocusPane::Picture, [&] {
        if (canDraw(shell))
            draw(shell);
    });
}

void ResultsGraphView::refresh(ShellServices& shell, RefreshReason reason)
{
    shell_ = &shell;
    DocumentWindow* w = shell.documentWindow(kind());
    switch (reason) {
    case RefreshReason::Loaded:
        memory_ = {};
        if (!windowToRefresh(shell, reason, canDraw(shell)))
            return;
        draw(shell);
        return;
    case RefreshReason::Processed:
        if (w)
            draw(shell);
        return;
    case RefreshReason::MeasurementChanged:
    case RefreshReason::Redisplay:
        // Only when the measurement left the window drawn.
        if (w && !(memoryPath_ == shell.dataSet().resultsPath && memory_.contains(shell.dataSet().currentNumber)))
            draw(shell);
        return;
    }
}

void ResultsGraphView::setUpWindow(DocumentWindow& w)
{
    ViewKind::setUpWindow(w);
    PicturePane* pane = w.picture1();
    onSettledResize(pane, resizeQueued_, 80, [this, pane] {
        if (shell_ && pane->isVisible() && pane->size() != pictureSize_)
            draw(*shell_);
    });
}

void ResultsGraphView::closed(ShellServices& shell)
{
    shell_ = &shell;
    resizeQueued_ = false;
    pictureSize_ = QSize();
    painting_ = {};
}

void ResultsGraphView::redraw(ShellServices& shell) { draw(shell); }

ResultsGraphData ResultsGraphView::readData(ShellServices& shell, const ResultsGraphSettings& st,
                                            long long anchor) const
{
    const DataSet& d = shell.dataSet();
    ResultsGraphRequest rq;
    rq.resultsPath = d.resultsPath;
    rq.explicitAnchor = anchor;
    rq.currentNumber = d.currentNumber;
    if (memoryPath_ == d.resultsPath)
        rq.remembered = memory_;
    rq.intervalMinutes = d.hasMeasurementFile ? d.header.intervalMinutes : 0;
    return readResultsGraphData(rq, st);
}

ResultsGraphInput ResultsGraphView::input(ShellServices& shell, const ResultsGraphData& data) const
{
    const DataSet& d = shell.dataSet();
    ResultsGraphInput in;
    in.data = &data;
    in.selection = &shell.initStore().selection();
    in.items = &shell.initStore().resultItems();
    in.machineNumber = d.header.machineNumber;
    in.currentNumber = d.currentNumber;
    in.dateText = d.header.dateText;
    in.timeText = d.header.timeText;
    return in;
}

bool ResultsGraphView::draw(ShellServices& shell, long long anchor)
{
    shell_ = &shell;
    if (drawing_) {
        pending_ = true;
        return false;
    }
    DocumentWindow* w = shell.documentWindow(kind());
    if (!w || !canDraw(shell))
        return false;
    drawing_ = true;
    shell.setBusy(true, "");
    const DataSet& d = shell.dataSet();
    const ResultsGraphSettings st = readResultsGraphSettings(shell.settings(), shell.runtime().autoWord, false);
    if (memoryPath_ != d.resultsPath || anchor > 0) {
        memory_ = {};
        memoryPath_ = d.resultsPath;
    }
    const ResultsGraphData data = readData(shell, st, anchor);
    if (data.window.divisionsLowered)
        shell.settings().setInt(78, 2, data.window.divisions);

    PicturePane* pane = w->picture1();
    const GraphLook look{pane->font(), pane->textColour(), pane->background()};
    QImage img = makePicture(pane->size(), look.background);
    {
        QPainter p(&img);
        painting_ = paintResultsGraph(p, QRectF(QPointF(0, 0), QSizeF(img.size())), input(shell, data), st, look,
                                      false);
    }
    if (painting_.layout.drawable)
        memory_ = {data.window.firstDrawn(), data.window.anchor};
    const std::string prefix = d.filePrefix;
    lastExport_ = saveGraphImages(img, shell.programFolder(), prefix, kResultsGraphImageStem,
                                  graphJpegQuality(shell.settings()));
    pictureSize_ = img.size();
    ++drawings_;
    if (DocumentWindow* now = shell.documentWindow(kind()))
        now->picture1()->setImage(img);
    shell.setBusy(false, lastExport_ == Status::Ok
                             ? ""
                             : "グラフの画像を書き込めません: " + prefix + kResultsGraphImageStem + ".bmp");
    drawing_ = false;
    if (pending_) {
        pending_ = false;
        draw(shell);
    }
    return true;
}

bool ResultsGraphView::print(ShellServices& shell, QPainter& painter, const QRectF& page, long long anchor)
{
    shell_ = &shell;
    if (!canDraw(shell))
        return false;
    shell.setBusy(true, "");
    const ResultsGraphSettings st = readResultsGraphSettings(shell.settings(), shell.runtime().autoWord, true);
    const ResultsGraphData data = readData(shell, st, anchor);
    GraphLook look;
    look.font = graphViewFont(shell.settings(), kind());
    look.text = graphTextColour(shell.settings(), kind());
    look.background = Qt::white;
    paintResultsGraph(painter, page, input(shell, data), st, look, true);
    shell.setBusy(false, "");
    return true;
}

void ResultsGraphView::graphPressed(ShellServices& shell, DocumentWindow& w, const QPoint& pos)
{
    shell_ = &shell;
    const ResultsGraphLayout& L = painting_.layout;
    if (!L.drawable)
        return;
    if (painting_.plotRect.contains(QPointF(pos))) {
        bool invertible = false;
        const QPointF user = painting_.toDevice.inverted(&invertible).map(QPointF(pos));
        if (!invertible)
            return;
        if (const long long k = resultsGraphRecordAt(L, user.x()); k > 0)
            shell.selectMeasurement(k);
        return;
    }
    const ResultsGraphSettings st = readResultsGraphSettings(shell.settings(), shell.runtime().autoWord, false);
    shell.setResultsZoomChannel(
        resultsZoomChannelAt(pos.y(), w.picture1()->height(), painting_.plotRect.bottom(), st));
}

}  // namespace varenta
