#pragma once
// The component velocity 2-D graph (view kind 6): the horizontal vector of
// every sample of the raw data graph's window as a point, east-west across
// and north-south up, with equal units on both axes; drawn into Picture1
// (and saved as "{pp}25g.bmp" and "{pp}25g.jpg") or onto a printer page.
// Its window title names wind when the data carry a wind channel.
#include "tolv/data/ui/rawgraphview.h"
#include "tolv/data/velocitygraph.h"
#include "tolv/data/ui/samplegraphview.h"

#include <QImage>
#include <QRectF>

class QPainter;

namespace varenta {

// Lays out and paints the graph into area (device coordinates).
VelocityGraphLayout paintVelocityGraph(QPainter& painter, const QRectF& area, const VelocityGraphData& data,
                                       const VelocityGraphSettings& settings, const GraphLook& look, bool printMode,
                                       bool absolute);

inline constexpr const char* kVelocityGraphImageStem = "25g";

class VelocityGraphView final : public SampleGraphView {
public:
    int kind() const override { return viewkind::kComponentGraph; }
    std::string title(ShellServices& shell) const override;
    void refresh(ShellServices& shell, RefreshReason reason) override;
    void cursorMoved(ShellServices& shell, long long dataNumber) override;
    void closed(ShellServices& shell) override;

    // drawComponentGraph on the screen (picture and images); false when
    // nothing was drawn.  Item 79 value 0 larger than the burst is written
    // back as the burst length.
    bool draw(ShellServices& shell) override;
    // drawComponentGraph in print mode onto a page (no images written).
    bool print(ShellServices& shell, QPainter& painter, const QRectF& page);

    // Fluctuation mode (false, the default): the burst mean removed;
    // absolute mode (true): the mean added back.  Redraws when open.
    void setAbsoluteMode(ShellServices& shell, bool absolute);
    bool absoluteMode() const { return absolute_; }

    const VelocityGraphLayout& layout() const { return layout_; }
    long long drawings() const { return drawings_; }
    Status lastExport() const { return lastExport_; }

private:
    VelocityGraphData graphData(ShellServices& shell) const;
    VelocityGraphSettings settingsCapped(ShellServices& shell, bool printMode) const;

    VelocityGraphLayout layout_;
    bool absolute_ = false;
    long long drawings_ = 0;
    Status lastExport_ = Status::Ok;
};

}  // namespace varenta
