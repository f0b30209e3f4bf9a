#pragma once
// The raw data graph (view kind 1): one strip per drawn row over a window of
// whole minutes that VScroll1 moves, drawn into the picture Picture1 (and
// saved as "{pp}22g.bmp" and "{pp}22g.jpg"), or onto a printer page with the
// same routine; the cursor mark and the Dno panel.
#include "tolv/data/rawgraph.h"
#include "tolv/data/ui/samplegraphview.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>

#include <functional>
#include <vector>

class QPainter;

namespace varenta {

// Fonts and colours of a graph picture.
struct GraphLook {
    QFont font;
    QColor text = Qt::black;
    QColor background = Qt::white;
};

// Lays out and paints the raw data graph into area (device coordinates of
// the painter).  The time-axis divisions and margins follow the area's size
// and the font; serve is called every 60 segments of curve (the event
// loop).  Returns the layout drawn, with the user coordinate system
// actually used (widened where the texts need room).
RawGraphLayout paintRawGraph(QPainter& painter, const QRectF& area, const RawGraphData& data,
                             const RawGraphSettings& settings, const RawWindow& window, const GraphLook& look,
                             bool printMode, const std::function<void()>& serve = {});

// The export name stem of the raw data graph.
inline constexpr const char* kRawGraphImageStem = "22g";

class RawGraphView final : public SampleGraphView {
public:
    int kind() const override { return viewkind::kRawGraph; }
    void refresh(ShellServices& shell, RefreshReason reason) override;
    void graphPressed(ShellServices& shell, DocumentWindow& w, const QPoint& pos) override;
    void scrolled(ShellServices& shell, DocumentWindow& w, int value, bool dragging) override;
    void cursorMoved(ShellServices& shell, long long dataNumber) override;
    void closed(ShellServices& shell) override;

    // drawRawDataGraph on the screen: the window from VScroll1, the picture
    // redrawn and saved as the two images.  False when nothing was drawn (no
    // window, no measurement file, the no-samples switch, unreadable data).
    bool draw(ShellServices& shell) override;
    // The same in cursor-follow mode: the window stays while the cursor's
    // sample lies inside it, else moves to the cursor's minute.
    bool drawFollowing(ShellServices& shell, long long dataNumber);
    // drawRawDataGraph in print mode onto a page (no images are written).
    bool print(ShellServices& shell, QPainter& painter, const QRectF& page);

    // setCursor: the mark moves to the data number (an index into the
    // interleaved values of the displayed channels), Dno shows it, and
    // unless moveScrollBar is false VScroll1 is set to its sample.
    void setCursor(ShellServices& shell, long long dataNumber, bool moveScrollBar = true);

    // The window of the last drawing (the component graph starts there).
    long long startSample() const { return start_; }
    const RawGraphLayout& layout() const { return layout_; }
    long long cursor() const { return cursor_; }
    // Screen drawings made (each wrote the images).
    long long drawings() const { return drawings_; }
    // Status of the last image export.
    Status lastExport() const { return lastExport_; }

private:
    bool drawScreen(ShellServices& shell, const RawWindowRequest& request);
    RawGraphData graphData(ShellServices& shell) const;
    void prepareScrollBar(ShellServices& shell, DocumentWindow& w, const RawWindow& win);
    void drawMark(ShellServices& shell, DocumentWindow& w);

    RawGraphLayout layout_;
    QImage picture_;
    QRectF markRect_;
    long long start_ = 0;
    long long cursor_ = -1;
    long long drawings_ = 0;
    Status lastExport_ = Status::Ok;
    bool drawing_ = false;
    bool pending_ = false;
};

}  // namespace varenta
