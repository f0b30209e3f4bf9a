#pragma once
// The spectral part of the processing program: the conditioning of every
// measurement read, the power-spectrum view (kind 4, "パワースペクトル") and
// their steps of the processing run.
//
// The program plugs the part in with
//
//     SpectralPart spectra = makeSpectralPart(window);
//     window.hooks().conditionSamples = std::move(spectra.conditionSamples);
//     window.addView(std::move(spectra.view));
//
// makeSpectralPart registers the processing steps itself (order 5: the
// long-period filter and write-back; order 40: the power spectrum).
#include "tolv/data/ui/viewregistry.h"
#include "tolv/spectra/spectraadapter.h"
#include "tolv/spectra/spectrumgraph.h"

#include <QImage>
#include <QObject>

#include <functional>
#include <memory>
#include <string>

class QPainter;
class QRectF;

namespace varenta {

class ShellServices;

// Orders of the steps in the processing of one measurement.
constexpr int kLongPeriodStepOrder = 5;
constexpr int kPowerSpectrumStepOrder = 40;

// What the conditioning and the view share: the record of the measurement
// in the data set, and the generation the window drew last.
struct SpectralState {
    ConditionedRecord record;
    std::uint64_t drawnGeneration = 0;
    bool drawn = false;
};

// Graph modes: 0 the window (saves the images), 2 the printer page.
constexpr int kSpectrumModeWindow = 0;
constexpr int kSpectrumModePrint = 2;

class PowerSpectrumView final : public ViewKind {
public:
    PowerSpectrumView(ShellServices& shell, std::shared_ptr<SpectralState> state);
    ~PowerSpectrumView() override;

    int kind() const override { return viewkind::kPowerSpectrum; }
    void show(ShellServices& shell) override;
    void refresh(ShellServices& shell, RefreshReason reason) override;
    void setUpWindow(DocumentWindow& w) override;
    void layoutWindow(DocumentWindow& w) override;
    void redraw(ShellServices& shell) override;
    void closed(ShellServices& shell) override;

    // The graph procedure in the window (mode 0): nothing unless a master
    // file with samples is open and the window exists.  Computes the
    // spectra, writes "{pp}24g.txt" (and the dated copy under start flag
    // 0x800), draws into Picture1 and saves "{pp}24g.bmp" and ".jpg".
    // False when nothing was drawn.
    bool drawWindow(ShellServices& shell);
    // The same onto a printer page (mode 2): the printer styles, no
    // clearing, no images; the text file is written as in the window.
    bool print(ShellServices& shell, QPainter& painter, const QRectF& area);
    // The processing step: draws the window when it is open.
    void processStep(ShellServices& shell);

    // The graph of the last successful computation (for tests and the
    // status of the window); its text lines are empty, the text goes to the
    // file behind the drawing (flushFileWrites() waits for it).
    const SpectrumGraph& lastGraph() const { return graph_; }
    const QImage& lastPicture() const { return picture_; }
    int drawCount() const { return draws_; }

private:
    bool canDraw(ShellServices& shell) const;
    bool run(ShellServices& shell, int mode, QPainter* printer, const QRectF* area);

    ShellServices& shell_;
    std::shared_ptr<SpectralState> state_;
    SpectrumGraph graph_;
    QImage picture_;
    bool running_ = false;
    bool again_ = false;
    bool resizePending_ = false;
    int draws_ = 0;
    QObject writerGuard_;  // context of the text writer's messages: they die with the view
};

// The long-period filter and write-back of the processing run on the
// measurement on display (its samples are read first; a record filtered
// before is read again from the file, so that a reprocess starts from the
// recorded counts).
void runLongPeriodStep(ShellServices& shell, SpectralState& state);

struct SpectralPart {
    std::shared_ptr<SpectralState> state;
    std::function<void(DataSet&)> conditionSamples;  // for the loading of a measurement
    std::unique_ptr<PowerSpectrumView> view;
};

// Builds the part for a main window and registers its processing steps.
SpectralPart makeSpectralPart(ShellServices& shell);

}  // namespace varenta
