#include "brenlo24/config/ui/install.h"

#include "brenlo24/config/ui/form2.h"
#include "brenlo24/config/ui/modemconsole.h"
#include "brenlo24/link/ui/form1.h"

#include <QAction>

namespace varenta {

Form2* deviceDialogOf(Form1& main)
{
    for (Form2* d : main.findChildren<Form2*>(QStringLiteral("Form2"), Qt::FindDirectChildrenOnly))
        if (d->isVisible())
            return d;
    return nullptr;
}

ModemConsoleWindow* modemConsoleOf(Form1& main)
{
    return main.findChild<ModemConsoleWindow*>(QStringLiteral("Form7"), Qt::FindDirectChildrenOnly);
}

void installDeviceConfig(Form1& main)
{
    main.setDeviceDialogOpener([&main] {
        if (Form2* open = deviceDialogOf(main)) {
            open->raise();
            open->activateWindow();
            return;
        }
        auto* d = new Form2(main);
        d->openAndRead();
    });
    if (auto* um05 = main.findChild<QAction*>(QStringLiteral("Pum05"))) {
        um05->setEnabled(true);
        // The entry is hidden for a logger without the extended functions,
        // but the console itself can always be opened (by a script too).
        main.setCommand(
            um05,
            [&main] {
                ModemConsoleWindow* c = modemConsoleOf(main);
                if (!c)
                    c = new ModemConsoleWindow(main);
                c->open();
            },
            [] { return true; });
    }
    // A scripted run waits while the console connects or waits for a result.
    main.addBusyTest([&main] {
        ModemConsoleWindow* c = modemConsoleOf(main);
        return c && c->isVisible() && c->busy();
    });
}

}  // namespace varenta
