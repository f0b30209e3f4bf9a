// Brenlo24: the communication program of the logger.
#include "brenlo24/config/ui/install.h"
#include "brenlo24/link/ui/form1.h"
#include "common/progfolder.h"
#include "common/ui/qtutil.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    varenta::setProgramFolder(varenta::resolveProgramFolder(argc > 0 ? argv[0] : ""));
    varenta::enterProgramFolder();
    varenta::installFontSubstitutions();
    // The command line is one string of comma-separated items; arguments
    // split by the shell are joined again (items are trimmed anyway).
    QStringList args = app.arguments();
    args.removeFirst();
    varenta::Form1 window(args.join(QLatin1Char(' ')).toStdString());
    varenta::installDeviceConfig(window);
    return app.exec();
}
