#pragma once
// Draws the power-spectrum graph (frame, grid, decade labels, captions and
// the curves of the drawn slots) with the shared drawing layer onto any
// paint device: the window's picture or a printer page.
#include "common/ui/drawing.h"
#include "tolv/spectra/spectraadapter.h"
#include "tolv/spectra/spectrumgraph.h"

#include <QColor>
#include <QFont>

#include <functional>

namespace varenta {

struct SpectrumPaintStyle {
    SpectrumStyle lines;           // widths, styles and colours of the settings
    QFont font;                    // the picture font of the view
    QColor textColour = Qt::black;
};

// The style of the view kind's picture from the settings: the screen or
// printer line styles, the font and text colour of item 194.
SpectrumPaintStyle spectrumPaintStyle(const Settings& s, bool printer);

// Draws g into dr's area (g must have a frame).  tick is called every 64
// points of a curve and after every curve (the event loop is served
// there).
void paintSpectrumGraph(Drawing& dr, const SpectrumGraph& g, const SpectrumPaintStyle& style,
                        const std::function<void()>& tick = {});

}  // namespace varenta
