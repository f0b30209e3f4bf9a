#include "common/progfolder.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    varenta::setProgramFolder(varenta::resolveProgramFolder(argc > 0 ? argv[0] : ""));
    varenta::enterProgramFolder();
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("tolv"));
    w.show();
    return app.exec();
}
