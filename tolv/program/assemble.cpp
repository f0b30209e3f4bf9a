#include "tolv/program/assemble.h"

#include "tolv/publish/ui/automation.h"
#include "tolv/publish/ui/publishing.h"
#include "tolv/publish/ui/textcommands.h"
#include "tolv/shell/ui/fileattach.h"
#include "tolv/shell/ui/form3attach.h"
#include "tolv/shell/ui/mdiform1.h"
#include "tolv/shell/ui/printing.h"
#include "tolv/shell/ui/serialoutputpart.h"
#include "tolv/spectra/ui/directionalviews.h"
#include "tolv/spectra/ui/powerspectrumview.h"
#include "tolv/spectra/ui/resultsrecordstep.h"

namespace varenta {

void assembleProcessingProgram(MDIForm1& window)
{
    // Conditioning of every measurement read, the power spectrum and their
    // processing steps.
    SpectralPart spectra = makeSpectralPart(window);
    window.hooks().conditionSamples = std::move(spectra.conditionSamples);
    window.addView(std::move(spectra.view));
    // The directional spectrum: 3-D graph and contour graph.
    DirectionalPart directional = makeDirectionalPart(window);
    window.addView(std::move(directional.view3d));
    window.addView(std::move(directional.contour));
    // The results record of every processed measurement, passed on over
    // the output port with start flag 0x20000.
    auto records = attachResultsRecordStep(window, spectra.state);
    attachSerialOutput(window, *records);
    // Mprint and the scheduled printing.
    attachPrinting(window);
    // Web pages, upload and download (Mtrans, DownloadLatest).
    Publishing* publishing = attachPublishing(window);
    // The processing-conditions dialog (Mcset, MPcset, Bcset) with its
    // download button.
    attachConditionsDialog(window, [publishing] { return publishing->download(); });
    // The scan of arriving files and the unattended cycle.
    attachAutomation(window, *publishing);
    // Date and time editors, table saves and the whole-file commands.
    attachFileCommands(window);
    // The conversion to text data files and the export for analysis.
    attachTextCommands(window);
}

}  // namespace varenta
