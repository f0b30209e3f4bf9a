#include "tolv/spectra/ui/powerspectrumview.h"

#include "common/ui/busycursor.h"
#include "common/ui/drawing.h"
#include "common/writebehind.h"
#include "tolv/data/docrules.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/data/ui/picturepane.h"
#include "tolv/data/ui/shellservices.h"
#include "tolv/spectra/ui/spectrumpainter.h"

#include <QMdiArea>
#include <QPainter>
#include <QTimer>

namespace varenta {

PowerSpectrumView::PowerSpectrumView(ShellServices& shell, std::shared_ptr<SpectralState> state)
    : shell_(shell), state_(std::move(state))
{
    if (!state_)
        state_ = std::make_shared<SpectralState>();
}

PowerSpectrumView::~PowerSpectrumView()
{
    // No text of this view may still be on its way when the guard of its
    // status messages goes.
    flushFileWrites();
}

bool PowerSpectrumView::canDraw(ShellServices& shell) const
{
    const DataSet& d = shell.dataSet();
    return d.hasMeasurementFile && !shell.runtime().noSamples && d.header.packetKind() != kPacketKindResult;
}

void PowerSpectrumView::show(ShellServices& shell)
{
    // The command on an open window draws it again.
    const auto draw = [&] { drawWindow(shell); };
    presentWindow(shell, FocusPane::Window, draw, draw);
}

void PowerSpectrumView::refresh(ShellServices& shell, RefreshReason reason)
{
    if (!windowToRefresh(shell, reason, canDraw(shell)))
        return;
    // The processing step has drawn this very record already.
    if (reason == RefreshReason::Processed && state_->drawn && state_->drawnGeneration == state_->record.generation &&
        shell.runtime().state(statebit::kRawLoaded))
        return;
    drawWindow(shell);
}

void PowerSpectrumView::setUpWindow(DocumentWindow& w)
{
    ViewKind::setUpWindow(w);
    // A new size of the picture draws the graph again at that size, once
    // the size has settled.
    onSettledResize(w.picture1(), resizePending_, 120, [this, &w] {
        if (shell_.documentWindow(kind()) != &w)
            return;
        if (!picture_.isNull() && picture_.size() == w.picture1()->size())
            return;
        if (canDraw(shell_) && !shell_.runtime().state(statebit::kStepping))
            drawWindow(shell_);
    });
}

void PowerSpectrumView::layoutWindow(DocumentWindow&) {}

void PowerSpectrumView::redraw(ShellServices& shell)
{
    if (shell.documentWindow(kind()))
        drawWindow(shell);
}

void PowerSpectrumView::closed(ShellServices&)
{
    state_->drawn = false;
    picture_ = QImage();
}

bool PowerSpectrumView::drawWindow(ShellServices& shell) { return run(shell, kSpectrumModeWindow, nullptr, nullptr); }

bool PowerSpectrumView::print(ShellServices& shell, QPainter& painter, const QRectF& area)
{
    return run(shell, kSpectrumModePrint, &painter, &area);
}

void PowerSpectrumView::processStep(ShellServices& shell)
{
    if (shell.documentWindow(kind()))
        drawWindow(shell);
}

bool PowerSpectrumView::run(ShellServices& shell, int mode, QPainter* printer, const QRectF* area)
{
    const bool toPrinter = !spectrumSavesImages(mode);
    DocumentWindow* w = shell.documentWindow(kind());
    if (!canDraw(shell) || (!toPrinter && !w) || (toPrinter && (!printer || !area)))
        return false;
    // The event loop is served while drawing: a refresh that arrives then
    // is done once this drawing has ended.
    if (running_) {
        again_ = true;
        return false;
    }
    running_ = true;
    bool ok = false;
    {
        BusyCursor busy;
        if (!shell.ensureRawData()) {
            running_ = false;
            return false;
        }
        const DataSet& d = shell.dataSet();
        const Settings& s = shell.settings();
        SpectrumGraph g;
        if (buildDataSetSpectrum(d, state_->record, s, g, false) != Status::Ok) {
            shell.setPanel(panel::kStatus, spectratext::kComputeFailed);
        } else {
            // The text file is formatted and written behind the drawing; a
            // failure comes back to the status panel from the writer.
            writeDataSetSpectrumTextBehind(
                shell.programFolder(), d, shell.startOptions().flags, g,
                [guard = &writerGuard_, sh = &shell, name = spectrumTextName(d.filePrefix)](Status st) {
                    if (st != Status::Ok)
                        QMetaObject::invokeMethod(
                            guard, [sh, name] { sh->setPanel(panel::kStatus, std::string(spectratext::kFileFailed) + name); },
                            Qt::QueuedConnection);
                });
            std::string status = g.note;
            const auto tick = [&shell] { shell.serveEvents(); };
            if (toPrinter) {
                if (g.frame) {
                    Drawing dr(*printer, *area, true);
                    paintSpectrumGraph(dr, g, spectrumPaintStyle(s, true), tick);
                }
            } else {
                PicturePane* pane = w->picture1();
                QImage img;
                if (g.frame) {
                    img = makePicture(pane->size().expandedTo(QSize(1, 1)), pane->background());
                    QPainter p(&img);
                    Drawing dr(p, QRectF(QPointF(0, 0), QSizeF(img.size())), false);
                    paintSpectrumGraph(dr, g, spectrumPaintStyle(s, false), tick);
                } else {
                    // Nothing selected: the picture stays as it is and is
                    // saved unchanged.
                    img = pane->image().isNull() ? pane->blankImage() : pane->image();
                }
                // The window may have closed while events were served.
                if (shell.documentWindow(kind()) == w) {
                    pane->setImage(img);
                    picture_ = img;
                }
                const Status it = saveGraphImages(img, shell.programFolder(), d.filePrefix, "24g",
                                                  graphJpegQuality(s));
                if (it != Status::Ok && status.empty())
                    status = std::string(spectratext::kFileFailed) + spectrumBitmapName(d.filePrefix);
                state_->drawn = true;
                state_->drawnGeneration = state_->record.generation;
            }
            if (!status.empty())
                shell.setPanel(panel::kStatus, status);
            graph_ = std::move(g);
            ++draws_;
            ok = true;
        }
    }
    running_ = false;
    if (again_) {
        again_ = false;
        if (!toPrinter)
            QTimer::singleShot(0, w, [this] { redraw(shell_); });
    }
    return ok;
}

void runLongPeriodStep(ShellServices& shell, SpectralState& state)
{
    DataSet& d = shell.dataSet();
    if (!d.hasMeasurementFile || shell.runtime().noSamples || d.header.packetKind() == kPacketKindResult)
        return;
    const LongPeriodRequest req = longPeriodRequestFrom(shell.settings(), shell.runtime(), d);
    if (!req.filterOn)
        return;
    if (state.record.longPeriodApplied)
        shell.runtime().setState(statebit::kRawLoaded, false);
    if (!shell.ensureRawData())
        return;
    const Status st = applyLongPeriodToDataSet(d, shell.channels(), shell.settings(), shell.runtime(), state.record);
    if (st != Status::Ok)
        shell.setPanel(panel::kStatus, spectratext::kFilterFailed);
}

SpectralPart makeSpectralPart(ShellServices& shell)
{
    SpectralPart part;
    part.state = std::make_shared<SpectralState>();
    ShellServices* sh = &shell;
    std::shared_ptr<SpectralState> state = part.state;
    part.conditionSamples = [sh, state](DataSet& d) {
        conditionDataSet(d, sh->channels(), sh->settings(), sh->runtime(), state->record);
    };
    part.view = std::make_unique<PowerSpectrumView>(shell, part.state);
    shell.processing().add(kLongPeriodStepOrder, "long-period filter",
                           [state](ShellServices& s) { runLongPeriodStep(s, *state); });
    shell.processing().add(kPowerSpectrumStepOrder, "power spectrum", [](ShellServices& s) {
        if (auto* v = dynamic_cast<PowerSpectrumView*>(s.views().find(viewkind::kPowerSpectrum)))
            v->processStep(s);
    });
    return part;
}

}  // namespace varenta
