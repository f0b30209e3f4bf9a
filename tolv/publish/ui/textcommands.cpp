#include "tolv/publish/ui/textcommands.h"

#include "common/textconvert.h"
#include "tolv/data/headertext.h"
#include "tolv/data/ui/shellservices.h"
#include "tolv/shell/ui/mdiform1.h"

#include <string>

namespace varenta {

namespace {

// The measurement file of the open data set; empty when none is open.
std::string openMasterFile(ShellServices& s)
{
    const DataSet& d = s.dataSet();
    return d.hasMeasurementFile ? d.measurementPath : std::string();
}

void convertOpenFileToText(ShellServices& s)
{
    const std::string master = openMasterFile(s);
    if (master.empty())
        return;
    s.runtime().stopRequest = false;
    TextCommandHooks hooks;
    hooks.prompter = &s.prompter();
    hooks.busy = [&s](bool on, const std::string& text) { s.setBusy(on, text); };
    hooks.number = [&s](long long m) { s.setPanel(panel::kSno, std::to_string(m)); };
    hooks.poll = [&s] {
        s.serveEvents();
        return !s.stopRequested();
    };
    // The sectors per measurement of the file's first valid header, as the
    // communication program reads them, so that both write the same files.
    TextConversionOptions opt;
    opt.decode = decodeOptionsFrom(s.settings());
    ConvertToText(master, hooks, opt);
}

}  // namespace

void attachTextCommands(MDIForm1& window)
{
    window.setCommand(QStringLiteral("Mtext"), [&window] { convertOpenFileToText(window); });
}

}  // namespace varenta
