#include "tolv/data/ui/velocitygraphview.h"

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

draw::H hAlign(int h) { return h < 0 ? draw::H::Left : h > 0 ? draw::H::Right : draw::H::Centre; }
draw::V vAlign(int v) { return v < 0 ? draw::V::Top : v > 0 ? draw::V::Bottom : draw::V::Centre; }

}  // namespace

VelocityGraphLayout paintVelocityGraph(QPainter& painter, const QRectF& area, const VelocityGraphData& data,
                                       const VelocityGraphSettings& settings, const GraphLook& look, bool printMode,
                                       bool absolute)
{
    VelocityGraphLayout L = layoutVelocityGraph(data, settings, area.width(), area.height(), absolute);
    Drawing d(painter, area, printMode);
    d.setFont(look.font);
    d.setTextColour(look.text);
    d.setScale(L.view.left, L.view.top, L.view.right, L.view.bottom);
    if (!L.drawable) {
        d.text(0, L.captionY, qs(L.caption), draw::H::Centre, draw::V::Centre);
        return L;
    }
    const plot::Rect& P = L.plot;

    // The cross through the origin with its ticks, and the frame.
    d.setPen(look.text, 1, 0);
    d.line(P.left, 0, P.right, 0);
    d.line(0, P.top, 0, P.bottom);
    for (const plot::Tick& t : L.xTicks)
        d.line(t.at, -L.tickLength, t.at, L.tickLength);
    for (const plot::Tick& t : L.yTicks)
        d.line(-L.tickLengthX, t.at, L.tickLengthX, t.at);
    d.setPen(look.text, settings.frame.width, settings.frame.style);
    d.box(P.left, P.top, P.right, P.bottom);

    // The points, kept within the frame.
    d.clip(P.left, P.top, P.right, P.bottom);
    d.setPen(colorFromNumber(settings.pointColour), 1, 0);
    d.points(L.px, L.py);
    d.unclip();

    for (const VelocityLabel& l : L.labels)
        d.text(l.x, l.y, qs(l.text), hAlign(l.h), vAlign(l.v));
    d.text(0, L.captionY, qs(L.caption), draw::H::Centre, draw::V::Centre);
    return L;
}

// ---------------------------------------------------------------------------

std::string VelocityGraphView::title(ShellServices& shell) const
{
    return viewTitle(kind(), shell.dataSet().header.findChannel(7) >= 0);
}

void VelocityGraphView::refresh(ShellServices& shell, RefreshReason reason)
{
    shell_ = &shell;
    if (!windowToRefresh(shell, reason, canDraw(shell)))
        return;
    draw(shell);
}

void VelocityGraphView::cursorMoved(ShellServices& shell, long long) { draw(shell); }

void VelocityGraphView::closed(ShellServices& shell)
{
    forgetPicture(shell);
}

void VelocityGraphView::setAbsoluteMode(ShellServices& shell, bool absolute)
{
    absolute_ = absolute;
    if (shell.documentWindow(kind()))
        draw(shell);
}

VelocityGraphData VelocityGraphView::graphData(ShellServices& shell) const
{
    const DataSet& d = shell.dataSet();
    VelocityGraphData g;
    g.header = &d.header;
    g.graphChannel = d.graphChannel;
    g.values = &d.values;
    if (d.channelMeans.size() == d.values.size())
        g.burstMeans = d.channelMeans;
    for (int code : d.header.channels)
        g.unitTexts.push_back(shell.channels().value(code, 1));
    // The raw data graph's window start (the first minute when that view
    // has not drawn this burst).
    if (const auto* raw = dynamic_cast<const RawGraphView*>(shell.views().find(viewkind::kRawGraph)))
        g.startSample = raw->startSample();
    g.machineNumber = d.header.machineNumber;
    g.currentNumber = d.currentNumber;
    g.dateText = d.header.dateText;
    g.timeText = d.header.timeText;
    return g;
}

VelocityGraphSettings VelocityGraphView::settingsCapped(ShellServices& shell, bool printMode) const
{
    Settings& s = shell.settings();
    VelocityGraphSettings st = readVelocityGraphSettings(s, printMode);
    const int minutes = shell.dataSet().header.durationMinutes;
    const VelocityWindow w = velocityWindow(0, minutes, st.windowMinutes, 0);
    if (w.writeBack) {
        s.setInt(79, 0, minutes);
        st.windowMinutes = minutes;
    }
    return st;
}

bool VelocityGraphView::draw(ShellServices& shell)
{
    shell_ = &shell;
    DocumentWindow* w = shell.documentWindow(kind());
    if (!w || !canDraw(shell) || !shell.ensureRawData())
        return false;
    shell.setBusy(true, "");
    const DataSet& d = shell.dataSet();
    w->setWindowTitle(qs(title(shell)));
    const VelocityGraphSettings st = settingsCapped(shell, false);
    PicturePane* pane = w->picture1();
    const GraphLook look{pane->font(), pane->textColour(), pane->background()};
    QImage img = makePicture(pane->size(), look.background);
    {
        QPainter p(&img);
        layout_ = paintVelocityGraph(p, QRectF(QPointF(0, 0), QSizeF(img.size())), graphData(shell), st, look, false,
                                     absolute_);
    }
    lastExport_ = saveGraphImages(img, shell.programFolder(), d.filePrefix, kVelocityGraphImageStem,
                                  graphJpegQuality(shell.settings()));
    pane->setImage(img);
    pictureSize_ = img.size();
    ++drawings_;
    shell.setBusy(false, lastExport_ == Status::Ok
                             ? ""
                             : "グラフの画像を書き込めません: " + d.filePrefix + kVelocityGraphImageStem + ".bmp");
    return true;
}

bool VelocityGraphView::print(ShellServices& shell, QPainter& painter, const QRectF& page)
{
    shell_ = &shell;
    if (!canDraw(shell) || !shell.ensureRawData())
        return false;
    shell.setBusy(true, "");
    const VelocityGraphSettings st = settingsCapped(shell, true);
    GraphLook look;
    look.font = graphViewFont(shell.settings(), kind());
    look.text = graphTextColour(shell.settings(), kind());
    look.background = Qt::white;
    paintVelocityGraph(painter, page, graphData(shell), st, look, true, absolute_);
    shell.setBusy(false, "");
    return true;
}

}  // namespace varenta
