#include "tolv/data/ui/rawgraphview.h"

#include "common/numeric.h"
#include "common/ui/drawing.h"
#include "common/ui/qtutil.h"
#include "tolv/data/docrules.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/data/ui/picturepane.h"
#include "tolv/data/ui/shellservices.h"

#include <QMdiArea>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace varenta {

namespace {

constexpr int kSegmentsPerServe = 60;
const QColor kGridColour(150, 150, 150);

int displayedCount(const DataSet& d) { return std::max(1, d.displayChannels.count); }

}  // namespace

RawGraphLayout paintRawGraph(QPainter& painter, const QRectF& area, const RawGraphData& data,
                             const RawGraphSettings& settings, const RawWindow& window, const GraphLook& look,
                             bool printMode, const std::function<void()>& serve)
{
    Drawing d(painter, area, printMode);
    d.setFont(look.font);
    d.setTextColour(look.text);
    const double digit = std::max(1.0, d.deviceDigitWidth());
    const double lineH = std::max(1.0, d.deviceTextHeight());

    // Divisions of the axes: the time axis by the room for its numbers (or
    // item 68 value 6 on paper), a strip by quarters (or item 68 value 7).
    int timeDivisions = std::clamp(static_cast<int>(area.width() / 1.125 / (digit * 7)), 1, 12);
    if (printMode && settings.printTimeDivisions > 0)
        timeDivisions = settings.printTimeDivisions;
    const int valueDivisions = printMode && settings.printValueDivisions > 0 ? settings.printValueDivisions : 4;
    RawGraphLayout L = layoutRawGraph(data, settings, window, timeDivisions, valueDivisions);
    const double W = static_cast<double>(L.window.span);

    // Room for the texts: the cursor mark above the first strip, the time
    // numbers and the caption below the last one, the numbers and the
    // vertical labels at the left, half a time number at the right.
    double numberWidth = 0;
    for (const RawGraphBand& b : L.bands)
        for (const plot::Tick& t : b.valueTicks)
            numberWidth = std::max(numberWidth, d.deviceTextWidth(qs(t.label)));
    double labelWidth = 0;
    for (const RawGraphRow& r : L.rows)
        labelWidth = std::max(labelWidth, d.verticalTextSize(qs(r.label), false).width());
    const double firstTop = L.bands.empty() ? 0.0 : L.bands.front().top;
    const double lastBottom = L.bands.empty() ? L.fs * 2.0 : L.bands.back().bottom;
    double lastNumber = 0;
    for (const plot::Tick& t : L.timeTicks)
        lastNumber = std::max(lastNumber, d.deviceTextWidth(qs(t.label)));
    for (int pass = 0; pass < 2; ++pass) {
        L.view.bottom = plot::widenEnd(L.view.top, L.view.bottom, lastBottom, area.height(), lineH * 2.5);
        L.view.top = plot::widenStart(L.view.top, L.view.bottom, firstTop, area.height(), lineH * 1.1);
        L.view.left = plot::widenStart(L.view.left, L.view.right, 0.0, area.width(),
                                       numberWidth + labelWidth + digit * 1.6);
        L.view.right = plot::widenEnd(L.view.left, L.view.right, W, area.width(), lastNumber / 2 + digit * 0.5);
    }
    d.setScale(L.view.left, L.view.top, L.view.right, L.view.bottom);
    if (!L.drawable) {
        d.text(W / 2, L.view.bottom, qs(L.caption), draw::H::Centre, draw::V::Bottom, 0, -0.1);
        return L;
    }

    // The curves first, reduced to the pixel columns of the window, so that
    // nothing of the data set is read once the event loop has been served.
    const double columns = W * std::fabs(d.pixelsPerUnitX());
    std::vector<std::vector<plot::Run>> curves;
    curves.reserve(L.rows.size());
    for (const RawGraphRow& r : L.rows) {
        const auto& v = (*data.values)[static_cast<std::size_t>(r.channel)];
        curves.push_back(rawGraphCurve(L, r, v, columns));
    }

    const double tickX = digit * 0.6 / std::fabs(d.pixelsPerUnitX());
    const double tickY = lineH * 0.3 / std::fabs(d.pixelsPerUnitY());
    const auto& frame = settings.frame;
    for (const RawGraphBand& b : L.bands) {
        // Time grid and the zero line, dotted.
        d.setPen(kGridColour, 1, 2);
        for (const plot::Tick& t : L.timeTicks)
            if (t.at > 0 && t.at < W)
                d.line(t.at, b.top, t.at, b.bottom);
        d.line(0, b.baseline, W, b.baseline);
        // Ticks of the value axis at both sides and of the time axis below.
        d.setPen(look.text, 1, 0);
        for (const plot::Tick& t : b.valueTicks) {
            d.line(0, t.at, tickX, t.at);
            d.line(W - tickX, t.at, W, t.at);
        }
        for (const plot::Tick& t : L.timeTicks) {
            d.line(t.at, b.bottom, t.at, b.bottom - tickY);
            d.line(t.at, b.top, t.at, b.top + tickY);
        }
        d.setPen(look.text, frame.width, frame.style);
        d.box(0, b.top, W, b.bottom);
        for (const plot::Tick& t : b.valueTicks)
            if (!t.label.empty())
                d.text(0, t.at, qs(t.label), draw::H::Right, draw::V::Centre, -0.4, 0);
        // The rows' units, written vertically at the left in the rows'
        // colours (several rows of one strip one above the other).
        const double labelX = L.view.left + (digit * 0.5 + labelWidth / 2) / std::fabs(d.pixelsPerUnitX());
        const double slot = (b.bottom - b.top) / static_cast<double>(b.rows.size());
        for (std::size_t k = 0; k < b.rows.size(); ++k) {
            const RawGraphRow& r = L.rows[static_cast<std::size_t>(b.rows[k])];
            d.setTextColour(colorFromNumber(r.colour));
            d.verticalText(labelX, b.top + slot * (static_cast<double>(k) + 0.5), qs(r.label));
        }
        d.setTextColour(look.text);
    }

    // Curves, each kept within its strip.
    const auto tick = [&serve] {
        if (serve)
            serve();
    };
    for (std::size_t i = 0; i < L.rows.size(); ++i) {
        const RawGraphRow& r = L.rows[i];
        const RawGraphBand& b = L.bands[static_cast<std::size_t>(r.band)];
        d.clip(L.view.left, b.clipTop, L.view.right, b.clipBottom);
        d.setPen(colorFromNumber(r.colour), 1, 0);
        for (const plot::Run& run : curves[i])
            d.polyline(run.x, run.y, kSegmentsPerServe, tick);
        d.unclip();
    }

    for (const plot::Tick& t : L.timeTicks)
        d.text(t.at, lastBottom, qs(t.label), draw::H::Centre, draw::V::Top, 0, 0.15);
    // The caption under the time numbers.
    d.text(W / 2, lastBottom, qs(L.caption), draw::H::Centre, draw::V::Top, 0, 1.35);
    return L;
}

// ---------------------------------------------------------------------------

void RawGraphView::refresh(ShellServices& shell, RefreshReason reason)
{
    shell_ = &shell;
    DocumentWindow* w = windowToRefresh(shell, reason, canDraw(shell));
    if (!w)
        return;
    if (reason == RefreshReason::Loaded) {
        // A new data set starts at its first minute, without a cursor.
        cursor_ = -1;
        start_ = 0;
        const QSignalBlocker block(w->vScroll1());
        w->vScroll1()->setValue(w->vScroll1()->minimum());
    }
    draw(shell);
}

void RawGraphView::closed(ShellServices& shell)
{
    forgetPicture(shell);
    picture_ = QImage();
    markRect_ = QRectF();
}

RawGraphData RawGraphView::graphData(ShellServices& shell) const
{
    const DataSet& d = shell.dataSet();
    RawGraphData g;
    g.header = &d.header;
    g.graphChannel = d.graphChannel;
    g.values = &d.values;
    for (int code : d.header.channels)
        g.unitTexts.push_back(shell.channels().value(code, 1));
    g.machineNumber = d.header.machineNumber;
    g.currentNumber = d.currentNumber;
    g.dateText = d.header.dateText;
    g.timeText = d.header.timeText;
    return g;
}

void RawGraphView::prepareScrollBar(ShellServices& shell, DocumentWindow& w, const RawWindow& win)
{
    QScrollBar* sb = w.vScroll1();
    const QSignalBlocker block(sb);
    const long long spc = shell.dataSet().header.samplesPerChannel;
    sb->setRange(1, static_cast<int>(std::clamp<long long>(spc, 1, 0x7FFFFFFF)));
    sb->setSingleStep(std::max(1, win.samplesPerMinute));
    sb->setPageStep(static_cast<int>(std::clamp<long long>(win.span, 1, 0x7FFFFFFF)));
}

bool RawGraphView::draw(ShellServices& shell)
{
    DocumentWindow* w = shell.documentWindow(kind());
    RawWindowRequest req;
    req.scrollValue = w ? w->vScroll1()->value() : start_ + 1;
    return drawScreen(shell, req);
}

bool RawGraphView::drawFollowing(ShellServices& shell, long long dataNumber)
{
    RawWindowRequest req;
    req.cursorFollow = true;
    req.cursorSample = std::max<long long>(0, dataNumber) / displayedCount(shell.dataSet());
    req.previousStart = drawings_ > 0 ? start_ : -1;
    return drawScreen(shell, req);
}

bool RawGraphView::drawScreen(ShellServices& shell, const RawWindowRequest& request)
{
    shell_ = &shell;
    if (drawing_) {
        pending_ = true;
        return false;
    }
    DocumentWindow* w = shell.documentWindow(kind());
    if (!w || !canDraw(shell) || !shell.ensureRawData())
        return false;
    drawing_ = true;
    shell.setBusy(true, "");
    const DataSet& d = shell.dataSet();
    const RawGraphSettings st = readRawGraphSettings(shell.settings(), shell.runtime().autoWord, false);
    const RawWindow win = rawGraphWindow(d.header.intervalTenths, d.header.durationMinutes,
                                         d.header.samplesPerChannel, st.windowMinutes, request);
    prepareScrollBar(shell, *w, win);
    PicturePane* pane = w->picture1();
    const GraphLook look{pane->font(), pane->textColour(), pane->background()};
    QImage img = makePicture(pane->size(), look.background);
    const RawGraphData data = graphData(shell);
    const std::string prefix = d.filePrefix;
    const std::string folder = shell.programFolder();
    const int quality = graphJpegQuality(shell.settings());
    RawGraphLayout L;
    {
        QPainter p(&img);
        L = paintRawGraph(p, QRectF(QPointF(0, 0), QSizeF(img.size())), data, st, win, look, false,
                          [&shell] { shell.serveEvents(); });
    }
    lastExport_ = saveGraphImages(img, folder, prefix, kRawGraphImageStem, quality);
    layout_ = std::move(L);
    start_ = win.start;
    picture_ = img;
    pictureSize_ = img.size();
    markRect_ = QRectF();
    ++drawings_;
    // The window may have been closed while the event loop was served.
    if (DocumentWindow* now = shell.documentWindow(kind())) {
        now->picture1()->setImage(picture_);
        drawMark(shell, *now);
    }
    shell.setBusy(false, lastExport_ == Status::Ok
                             ? ""
                             : "グラフの画像を書き込めません: " + prefix + kRawGraphImageStem + ".bmp");
    drawing_ = false;
    if (pending_) {
        pending_ = false;
        draw(shell);
    }
    return true;
}

bool RawGraphView::print(ShellServices& shell, QPainter& painter, const QRectF& page)
{
    shell_ = &shell;
    if (!canDraw(shell) || !shell.ensureRawData())
        return false;
    shell.setBusy(true, "");
    const DataSet& d = shell.dataSet();
    const RawGraphSettings st = readRawGraphSettings(shell.settings(), shell.runtime().autoWord, true);
    RawWindowRequest req;
    if (DocumentWindow* w = shell.documentWindow(kind()))
        req.scrollValue = w->vScroll1()->value();
    else
        req.scrollValue = start_ + 1;
    const RawWindow win = rawGraphWindow(d.header.intervalTenths, d.header.durationMinutes,
                                         d.header.samplesPerChannel, st.windowMinutes, req);
    GraphLook look;
    look.font = graphViewFont(shell.settings(), kind());
    look.text = graphTextColour(shell.settings(), kind());
    look.background = Qt::white;
    paintRawGraph(painter, page, graphData(shell), st, win, look, true);
    shell.setBusy(false, "");
    return true;
}

void RawGraphView::drawMark(ShellServices& shell, DocumentWindow& w)
{
    if (picture_.isNull() || layout_.bands.empty())
        return;
    const DataSet& d = shell.dataSet();
    QPainter p(&picture_);
    PicturePane* pane = w.picture1();
    if (!markRect_.isNull()) {
        p.fillRect(markRect_, pane->background());
        markRect_ = QRectF();
    }
    if (cursor_ >= 0) {
        const RawCursorMark m = rawCursorMark(cursor_, displayedCount(d), layout_.window, d.header.samplesPerChannel);
        if (m.visible) {
            Drawing dr(p, QRectF(QPointF(0, 0), QSizeF(picture_.size())), false);
            dr.setScale(layout_.view.left, layout_.view.top, layout_.view.right, layout_.view.bottom);
            dr.setFont(pane->font());
            dr.setTextColour(pane->textColour());
            markRect_ = dr.text(m.x, layout_.bands.front().top, QString(QChar(0xE007)), draw::H::Centre,
                                draw::V::Bottom);
        }
    }
    p.end();
    pane->setImage(picture_);
}

void RawGraphView::setCursor(ShellServices& shell, long long dataNumber, bool moveScrollBar)
{
    shell_ = &shell;
    const DataSet& d = shell.dataSet();
    cursor_ = std::max<long long>(0, dataNumber);
    const int c = displayedCount(d);
    const double tenths = d.header.intervalTenths > 0 ? d.header.intervalTenths : 10.0;
    const long long perMinute = static_cast<long long>(std::max(1, roundEvenInt(600.0 / tenths))) * c;
    shell.setPanel(panel::kDno, dataNumberText(cursor_, perMinute));
    DocumentWindow* w = shell.documentWindow(kind());
    if (!w)
        return;
    drawMark(shell, *w);
    if (moveScrollBar) {
        QScrollBar* sb = w->vScroll1();
        const QSignalBlocker block(sb);
        const long long sample = cursor_ / c + 1;
        sb->setValue(static_cast<int>(std::clamp<long long>(sample, sb->minimum(), sb->maximum())));
    }
}

void RawGraphView::cursorMoved(ShellServices& shell, long long dataNumber)
{
    shell_ = &shell;
    if (!shell.documentWindow(kind()))
        return;
    drawFollowing(shell, dataNumber);
    setCursor(shell, dataNumber, true);
}

void RawGraphView::graphPressed(ShellServices& shell, DocumentWindow& w, const QPoint& pos)
{
    shell_ = &shell;
    if (picture_.isNull() || layout_.bands.empty() || !canDraw(shell))
        return;
    const plot::Rect& v = layout_.view;
    const double x = v.left + (pos.x() + 0.5) * v.width() / picture_.width();
    const double y = v.top + (pos.y() + 0.5) * v.height() / picture_.height();
    const double W = static_cast<double>(layout_.window.span);
    if (x < 0 || x > W || y < layout_.bands.front().top || y > layout_.bands.back().bottom)
        return;
    const DataSet& d = shell.dataSet();
    const long long dn = rawGraphDataNumber(x, layout_.window, displayedCount(d), d.header.samplesPerChannel);
    setCursor(shell, dn, false);
    if (ViewKind* dir = shell.views().find(viewkind::kDirectional3d); dir && shell.documentWindow(viewkind::kDirectional3d))
        dir->cursorMoved(shell, dn);
}

void RawGraphView::scrolled(ShellServices& shell, DocumentWindow& w, int value, bool dragging)
{
    shell_ = &shell;
    const DataSet& d = shell.dataSet();
    if (!d.hasMeasurementFile)
        return;
    const int c = displayedCount(d);
    const long long dn = static_cast<long long>(value) * c;
    const double tenths = d.header.intervalTenths > 0 ? d.header.intervalTenths : 10.0;
    const long long perMinute = static_cast<long long>(std::max(1, roundEvenInt(600.0 / tenths))) * c;
    shell.setPanel(panel::kDno, dataNumberText(dn, perMinute));
    if (dragging)
        return;
    cursor_ = dn;
    draw(shell);
    if (ViewKind* xy = shell.views().find(viewkind::kComponentGraph); xy && shell.documentWindow(viewkind::kComponentGraph))
        xy->redraw(shell);
}

}  // namespace varenta
