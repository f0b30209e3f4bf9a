#include "brenlo24/link/ui/textconversion.h"

#include "brenlo24/link/link.h"
#include "brenlo24/link/ui/form1.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>

namespace varenta {

TextConversionResult convertCollectedFileToText(Form1& window, const std::string& masterPath, const NewestSearch&)
{
    DeviceLink& link = window.link();
    link.clearFlags(linkflag::kStopRequested);
    bool cursor = false;
    TextCommandHooks hooks;
    hooks.prompter = &window.prompter();
    hooks.numberInTexts = true;
    hooks.busy = [&](bool on, const std::string& text) {
        if (on && !cursor)
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        else if (!on && cursor)
            QApplication::restoreOverrideCursor();
        cursor = on;
        if (on)
            window.showStatus(text);
    };
    hooks.status = [&](const std::string& text) { window.showStatus(text); };
    hooks.poll = [&link] {
        QCoreApplication::processEvents();
        return !(link.flags() & linkflag::kStopRequested);
    };
    // The same reading as the processing program's: the sectors per
    // measurement of the file's first valid header, the interval of item 96
    // value 4 when set.
    TextConversionOptions opt;
    const Settings& init = window.initTable();
    if (!init.isBlank(96, 4) && init.real(96, 4) > 0)
        opt.decode.intervalSeconds = init.real(96, 4);
    opt.decode.decodeLoggerExtras = init.trimmed(96, 0) == "1";
    const TextConversionResult r = ConvertToText(masterPath, hooks, opt);
    if (cursor)
        QApplication::restoreOverrideCursor();
    return r;
}

}  // namespace varenta
