#pragma once
// The results graph view (kind 3, "処理結果のグラフ"): series of the results
// file against time in stacked panels with the arrow rows above them, drawn
// into Picture1 and saved as "{pp}23g.bmp" and "{pp}23g.jpg", or onto a
// printer page with the same routine.  The window drawn is remembered, so
// that stepping through measurements inside it does not move the graph; a
// click inside the plot makes the measurement under it current, a click
// outside chooses the channel of the value zoom.
#include "tolv/data/resultsgraph.h"
#include "tolv/data/ui/rawgraphview.h"
#include "tolv/data/ui/viewregistry.h"

#include <QImage>
#include <QRectF>
#include <QTransform>

#include <string>

class QPainter;

namespace varenta {

// Lays out and paints the graph into area (device coordinates of the
// painter).  The margins follow the font; the arrow rows take item 78
// value 3 text heights each.  Returns the layout with the device transform
// of its user coordinates.
struct ResultsGraphPainting {
    ResultsGraphLayout layout;
    QTransform toDevice;
    QRectF plotRect;  // device rectangle of the arrow rows and panels
};
ResultsGraphPainting paintResultsGraph(QPainter& painter, const QRectF& area, const ResultsGraphInput& input,
                                       const ResultsGraphSettings& settings, const GraphLook& look, bool printMode);

class ResultsGraphView final : public ViewKind {
public:
    int kind() const override { return viewkind::kResultsGraph; }
    void show(ShellServices& shell) override;
    void refresh(ShellServices& shell, RefreshReason reason) override;
    void setUpWindow(DocumentWindow& w) override;
    void graphPressed(ShellServices& shell, DocumentWindow& w, const QPoint& pos) override;
    void redraw(ShellServices& shell) override;
    void closed(ShellServices& shell) override;

    // drawResultsGraph on the screen: anchor > 0 draws the window ending at
    // that record (and resets the remembered window); 0 chooses the anchor
    // from the remembered window and the current measurement.  False when
    // nothing was drawn (no window, no results file).
    bool draw(ShellServices& shell, long long anchor = 0);
    // drawResultsGraph in print mode onto a page (no images are written).
    bool print(ShellServices& shell, QPainter& painter, const QRectF& page, long long anchor = 0);

    const ResultsGraphLayout& layout() const { return painting_.layout; }
    const ResultsGraphMemory& memory() const { return memory_; }
    const QRectF& plotRect() const { return painting_.plotRect; }
    // Device position of a user point of the last screen drawing.
    QPointF toDevice(double x, double y) const { return painting_.toDevice.map(QPointF(x, y)); }
    long long drawings() const { return drawings_; }
    Status lastExport() const { return lastExport_; }

private:
    bool canDraw(ShellServices& shell) const;
    ResultsGraphData readData(ShellServices& shell, const ResultsGraphSettings& st, long long anchor) const;
    ResultsGraphInput input(ShellServices& shell, const ResultsGraphData& data) const;

    ShellServices* shell_ = nullptr;
    ResultsGraphPainting painting_;
    ResultsGraphMemory memory_;
    std::string memoryPath_;
    QSize pictureSize_;
    long long drawings_ = 0;
    Status lastExport_ = Status::Ok;
    bool drawing_ = false;
    bool pending_ = false;
    bool resizeQueued_ = false;
};

inline constexpr const char* kResultsGraphNoData = "処理結果がありません";

}  // namespace varenta
