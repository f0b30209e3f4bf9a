// Window commands: the bars, the arrangement of the document windows, help
// and the version box.
#include "common/ui/qtutil.h"
#include "common/ui/versionbox.h"
#include "tolv/shell/helptopics.h"
#include "tolv/shell/startup.h"
#include "tolv/shell/ui/commandfamilies.h"
#include "tolv/shell/ui/mdiform1.h"

#include <QMdiArea>

namespace varenta {

void installWindowCommands(MDIForm1& w)
{
    const struct {
        const char* name;
        std::uint32_t bit;
    } bars[] = {{"Mbar", runbit::kToolbarHidden},
                {"Mstatus", runbit::kStatusBarHidden},
                {"Mscroll", runbit::kScrollStripHidden}};
    for (const auto& b : bars)
        w.setCommand(QString::fromLatin1(b.name), [&w, bit = b.bit] {
            w.runtime().runWord ^= bit;
            w.applyBars();
        });
    w.setCommand(QStringLiteral("Mcascade"), [&w] { w.mdiArea()->cascadeSubWindows(); });
    w.setCommand(QStringLiteral("Mtile"), [&w] { w.tileWindows(true); });
    w.setCommand(QStringLiteral("MtileV"), [&w] { w.tileWindows(false); });
    w.setCommand(QStringLiteral("Mtopic"), [&w] { w.showHelp(helpctx::kOverview); });
    w.setCommand(QStringLiteral("MPhelp"), [&w] { w.showHelp(w.popupContext()); });
    w.setCommand(QStringLiteral("Mversion"), [&w] {
        VersionBox::showModal(&w, qs(tolvVersionText(w.startOptions().flags)), w.programIcon());
    });
}

}  // namespace varenta
