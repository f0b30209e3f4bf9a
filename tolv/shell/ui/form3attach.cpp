#include "tolv/shell/ui/form3attach.h"

#include "tolv/shell/stepping.h"
#include "tolv/shell/ui/form3.h"
#include "tolv/shell/ui/form3host.h"
#include "tolv/shell/ui/mdiform1.h"

#include <QPointer>

#include <memory>

namespace varenta {

Form3* attachConditionsDialog(MDIForm1& window, std::function<bool()> download)
{
    Form3Links links;
    links.reprocess = [&window] { window.step(stepmode::kReprocess); };
    links.reapplyTimers = [&window] { window.applyAutomaticTimers(); };
    links.setStartFlags = [&window](std::uint32_t flags) { window.setStartFlags(flags); };
    links.download = std::move(download);
    // The host lives as long as the dialog.
    auto* host = new Form3Host(window, std::move(links));
    auto* dialog = new Form3(*host, window.prompter(), &window);
    QObject::connect(dialog, &QObject::destroyed, [host] { delete host; });

    const QPointer<Form3> d(dialog);
    window.setCommand(QStringLiteral("Mcset"), [d] {
        if (d)
            d->openConditions();
    });
    ShellHooks& hooks = window.hooks();
    hooks.headerInfo = [d, before = std::move(hooks.headerInfo)](const std::string& text) {
        if (before)
            before(text);
        if (d)
            d->setHeaderText(text);
    };
    hooks.schedulesMoved = [d, before = std::move(hooks.schedulesMoved)] {
        if (before)
            before();
        if (d && d->isVisible())
            d->refreshSchedules();
    };
    hooks.closeConditions = [d, before = std::move(hooks.closeConditions)] {
        if (before)
            before();
        if (d)
            d->close();
    };
    return dialog;
}

}  // namespace varenta
