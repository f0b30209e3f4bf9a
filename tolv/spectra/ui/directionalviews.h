#pragma once
// The directional spectrum in the processing program: the 3-D graph (view
// kind 5, "方向スペクトル３Ｄグラフ") and the contour graph (kind 7,
// "方向スペクトルコンターグラフ"), both drawn from the spectrum the loader
// keeps for the measurement on display (estimated on first use).
//
// The program plugs them in with
//
//     DirectionalPart dir = makeDirectionalPart(window);
//     window.addView(std::move(dir.view3d));
//     window.addView(std::move(dir.contour));
//
// makeDirectionalPart registers the processing step (order 45).
#include "common/process.h"
#include "tolv/data/ui/viewregistry.h"
#include "tolv/spectra/dirgraph.h"
#include "tolv/spectra/dirspectrum.h"

#include <QColor>
#include <QFont>
#include <QImage>

#include <functional>
#include <memory>
#include <string>

class QPainter;
class QRectF;

namespace varenta {

class ShellServices;
class Drawing;

constexpr int kDirectionalStepOrder = 45;

// What both views share: the loader and the way estimators are started.
struct DirectionalShared {
    DirectionalLoader loader;
    std::function<std::unique_ptr<ProcessRunner>()> makeRunner;
    bool running = false;
};

// The loader's request for the measurement on display.
DirectionalRequest directionalRequestFor(ShellServices& shell);
// The significant wave height of the measurement's results record (result
// 12, or 52 when the ultrasonic wave height is preferred); 0 when unknown.
double significantWaveHeightFor(ShellServices& shell);

// Paints a graph into dr (user coordinates: picture units, y upwards).
struct DirectionalPaintStyle {
    QColor axis = Qt::black;
    double axisWidth = 1, frameWidth = 1, surfaceWidth = 1;
    int axisStyle = 0, surfaceStyle = 0;
    int markerHalf = 2;
    QFont font;
    QColor text = Qt::black;
};
DirectionalPaintStyle directionalPaintStyle(const Settings& s, int kind, bool printer);
void paint3DGraph(Drawing& dr, const Graph3D& g, const DirectionalPaintStyle& st);
void paintContourGraph(Drawing& dr, const ContourGraph& g, const DirectionalPaintStyle& st);
// The title line and the date of both graphs.
void paintDirectionalHeading(Drawing& dr, double width, double height, const std::string& title,
                             const std::string& date);

class DirectionalGraphView final : public ViewKind {
public:
    DirectionalGraphView(ShellServices& shell, int kind, std::shared_ptr<DirectionalShared> shared);
    ~DirectionalGraphView() override;

    int kind() const override { return kind_; }
    void show(ShellServices& shell) override;
    void refresh(ShellServices& shell, RefreshReason reason) override;
    void setUpWindow(DocumentWindow& w) override;
    void layoutWindow(DocumentWindow& w) override;
    void redraw(ShellServices& shell) override;
    void closed(ShellServices& shell) override;

    // Mode 0: the window's picture and "{pp}26g"/"{pp}27g" .bmp and .jpg.
    bool drawWindow(ShellServices& shell);
    // Mode 2: a printer page, printer styles, no image files.
    bool print(ShellServices& shell, QPainter& painter, const QRectF& area);
    void processStep(ShellServices& shell);

    const QImage& lastPicture() const { return picture_; }
    int drawCount() const { return draws_; }
    // Whether the last drawing had a surface (3-D) or contours.
    bool drewSpectrum() const { return drewSpectrum_; }

private:
    bool canDraw(ShellServices& shell, bool processing) const;
    bool run(ShellServices& shell, int mode, QPainter* printer, const QRectF* area, bool processing);
    void paint(Drawing& dr, ShellServices& shell, int width, int height, bool printer);

    ShellServices& shell_;
    int kind_;
    std::shared_ptr<DirectionalShared> shared_;
    QImage picture_;
    bool resizePending_ = false;
    bool drewSpectrum_ = false;
    int draws_ = 0;
};

struct DirectionalPart {
    std::shared_ptr<DirectionalShared> shared;
    std::unique_ptr<DirectionalGraphView> view3d;
    std::unique_ptr<DirectionalGraphView> contour;
};

// Builds both views for a main window and registers the processing step.
DirectionalPart makeDirectionalPart(ShellServices& shell);

}  // namespace varenta
