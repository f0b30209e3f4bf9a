// The processing program: the program folder, the command line, the main
// window and its start-up sequence.
#include "common/progfolder.h"
#include "tolv/shell/ui/form3attach.h"
#include "tolv/shell/ui/mdiform1.h"
#include "tolv/spectra/ui/powerspectrumview.h"
#include "tolv/spectra/ui/resultsrecordstep.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolv"));
    varenta::setProgramFolder(varenta::resolveProgramFolder(argc > 0 ? argv[0] : ""));

    // One argument string of up to five comma-separated fields; Qt's own
    // options (-platform ...) are already taken out by QApplication.
    const QStringList args = QApplication::arguments().mid(1);
    varenta::ShellOptions options;
    options.programFolder = varenta::programFolder();
    options.argument = args.join(QLatin1Char(' ')).toStdString();

    varenta::MDIForm1 window(options);
    // Conditioning of every measurement read, the power spectrum and their
    // processing steps.
    varenta::SpectralPart spectra = varenta::makeSpectralPart(window);
    window.hooks().conditionSamples = std::move(spectra.conditionSamples);
    window.addView(std::move(spectra.view));
    // The results record of every processed measurement.
    varenta::attachResultsRecordStep(window, spectra.state);
    // The processing-conditions dialog (Mcset, MPcset, Bcset).
    varenta::attachConditionsDialog(window);
    window.startUp();
    return app.exec();
}
