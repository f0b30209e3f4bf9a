// File commands of the main window: open, close, refresh, initialization,
// protection state, end.
#include "tolv/data/session.h"
#include "tolv/shell/ui/commandfamilies.h"
#include "tolv/shell/ui/mdiform1.h"

#include <QAction>

namespace varenta {

void installFileCommands(MDIForm1& w)
{
    w.setCommand(QStringLiteral("Mopen"), [&w] {
        const std::string path = w.chooseOpenPath();
        if (!path.empty())
            w.openPath(path);
    });
    w.setCommand(QStringLiteral("Mclose"), [&w] { w.closeFile(); });
    w.setCommand(QStringLiteral("Mnew"), [&w] { w.refreshFile(); });
    w.setCommand(QStringLiteral("Minit"), [&w] {
        w.session().runInitialization();
        w.syncPanels();
        w.updateScrollBar();
    });
    w.setCommand(QStringLiteral("Mfinal"), [&w] { w.close(); });
    w.setCommand(QStringLiteral("Mbarrier"), [&w] {
        w.session().toggleBarrier();
        if (QAction* a = w.action(QStringLiteral("Mbarrier")))
            a->setChecked(w.runtime().barrierMark);
        w.syncPanels();
    });
}

}  // namespace varenta
