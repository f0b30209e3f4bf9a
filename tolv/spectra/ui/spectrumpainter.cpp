#include "tolv/spectra/ui/spectrumpainter.h"

#include "common/ui/qtutil.h"
#include "tolv/data/docrules.h"

#include <algorithm>
#include <span>

namespace varenta {

namespace {

draw::H toH(HAlign a)
{
    switch (a) {
    case HAlign::Left: return draw::H::Left;
    case HAlign::Centre: return draw::H::Centre;
    case HAlign::Right: return draw::H::Right;
    }
    return draw::H::Left;
}

draw::V toV(VAlign a)
{
    switch (a) {
    case VAlign::Top: return draw::V::Top;
    case VAlign::Centre: return draw::V::Centre;
    case VAlign::Bottom: return draw::V::Bottom;
    }
    return draw::V::Top;
}

void label(Drawing& dr, const GraphLabel& l)
{
    dr.text(l.x, l.y, l.text, toH(l.halign), toV(l.valign), l.dxDigits, l.dyLines);
}

}  // namespace

SpectrumPaintStyle spectrumPaintStyle(const Settings& s, bool printer)
{
    SpectrumPaintStyle st;
    st.lines = spectrumStyleFrom(s, printer);
    st.font = graphViewFont(s, viewkind::kPowerSpectrum);
    st.textColour = graphTextColour(s, viewkind::kPowerSpectrum);
    return st;
}

void paintSpectrumGraph(Drawing& dr, const SpectrumGraph& g, const SpectrumPaintStyle& style,
                        const std::function<void()>& tick)
{
    if (!g.frame)
        return;
    const SpectrumFrame& f = *g.frame;
    const SpectrumStyle& ls = style.lines;
    dr.setFont(style.font);
    dr.setTextColour(style.textColour);

    // The vertical caption: one column in the vertical form of the font,
    // its right edge 7 digit widths left of the axis (further when a decade
    // label is wider), read upwards.
    QString column;
    for (const std::string& glyph : f.yCaptionGlyphs)
        column += qs(glyph);
    double widestLabel = 0.0;
    for (const GraphLabel& l : f.yLabels)
        widestLabel = std::max(widestLabel, dr.deviceTextWidth(qs(l.text)));
    const double digit = dr.deviceDigitWidth();
    const double lineHeight = dr.deviceTextHeight();
    const double captionGap = std::max(7.0 * digit, widestLabel + 1.0 * digit);
    const QSizeF columnSize = dr.verticalTextSize(column, true);

    // The graph's area: log10 frequency from xl - 0.3 to xr + 0.2 and log10
    // density from bottom - 0.6 to top + 0.3, widened on the left and at
    // the bottom when the picture is too small for the captions there.
    const QRectF& area = dr.area();
    double left = f.viewLeft, bottom = f.viewBottom;
    if (area.width() > 0) {
        const double a = (captionGap + columnSize.width() + 2.0) / area.width();
        if (a < 0.9)
            left = std::min(left, (f.xl - a * f.viewRight) / (1.0 - a));
    }
    if (area.height() > 0) {
        const double b = (3.2 * lineHeight) / area.height();
        if (b < 0.9)
            bottom = std::min(bottom, (f.bottom - b * f.viewTop) / (1.0 - b));
    }
    // Log10 density grows upwards: the top of the area is the larger value.
    dr.setScale(left, f.viewTop, f.viewRight, bottom);

    const QColor frameColour = colorFromNumber(ls.frameColour);
    dr.setPen(frameColour, ls.frameWidth, 0);
    dr.box(f.xl, f.bottom, f.xr, f.top);
    dr.setPen(frameColour, ls.gridWidth, ls.gridStyle);
    for (const GraphLine& l : f.verticalGrid)
        dr.line(l.x1, l.y1, l.x2, l.y2);
    for (const GraphLine& l : f.horizontalGrid)
        dr.line(l.x1, l.y1, l.x2, l.y2);

    for (const GraphLabel& l : f.xLabels)
        label(dr, l);
    for (const GraphLabel& l : f.yLabels)
        label(dr, l);
    label(dr, f.xCaption);
    dr.verticalFormText(f.yCaptionX - captionGap / dr.pixelsPerUnitX(), f.yCaptionY, column, draw::H::Right,
                        draw::V::Centre);

    // Curves, kept inside the drawing area.
    dr.clip(left, f.viewTop, f.viewRight, bottom);
    for (const SpectrumCurve& c : g.curves) {
        const std::size_t slot = static_cast<std::size_t>(c.slot) % ls.slotColours.size();
        dr.setPen(colorFromNumber(ls.slotColours[slot]), ls.curveWidth, ls.curveStyle);
        dr.polyline(std::span<const float>(c.x), std::span<const float>(c.y), 64, tick);
        if (tick)
            tick();
    }
    dr.unclip();
}

}  // namespace varenta
