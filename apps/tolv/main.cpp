// The processing program: the program folder, the command line, the main
// window and its start-up sequence.
#include "common/progfolder.h"
#include "tolv/publish/ui/automation.h"
#include "tolv/publish/ui/publishing.h"
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
    varenta::attachResultsRecordStep(window);
    // Web pages, upload and download (Mtrans, DownloadLatest).
    varenta::Publishing* publishing = varenta::attachPublishing(window);
    // The processing-conditions dialog (Mcset, MPcset, Bcset) with its
    // download button.
    varenta::attachConditionsDialog(window, [publishing] { return publishing->download(); });
    // The scan of arriving files and the unattended cycle; SIGTERM/SIGINT
    // end the program as the exit command does.
    varenta::attachAutomation(window, *publishing);
    varenta::installTerminationHandler(window);
    window.startUp();
    return app.exec();
}
