#include "common/ui/startfolder.h"

#include "common/installdata.h"
#include "common/progfolder.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QString>

#include <iostream>

namespace varenta {

StartFolder startProgramFolder(const char* argv0, const std::string& program, bool quiet)
{
    StartFolder r;
    const FolderChoice choice = chooseProgramFolder(argv0 ? argv0 : "");
    bool prepared = false;
    std::string message;
    if (prepareProgramFolder(choice, prepared, message) != Status::Ok) {
        std::cerr << program << ": " << message << "\n";
        const QString platform = QGuiApplication::platformName();
        if (!quiet && platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal"))
            QMessageBox::critical(nullptr, QString::fromStdString(program),
                                  QString::fromUtf8("プログラムフォルダを用意できません。\n") +
                                      QString::fromStdString(message));
        return r;
    }
    setProgramFolder(choice.folder);
    setProgramsFolder(choice.programsFolder);
    enterProgramFolder();
    if (prepared)
        r.notice = "プログラムフォルダを準備しました: " + choice.folder;
    r.ok = true;
    return r;
}

}  // namespace varenta
