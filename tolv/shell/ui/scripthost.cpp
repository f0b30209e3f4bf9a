#include "tolv/shell/ui/scripthost.h"

#include "common/ui/qtutil.h"
#include "tolv/shell/ui/mdiform1.h"

#include <QFileInfo>

namespace varenta {

RunOutcome TolvScriptHost::runScriptCommand(const std::string& name)
{
    const RunOutcome out = w_.runCommand(qs(name));
    w_.updateCommandStates();
    return out;
}

bool TolvScriptHost::openScriptFile(const std::string& path, std::string& why)
{
    const QFileInfo info(qs(path));
    if (!info.exists() || !info.isFile()) {
        why = "there is no file " + path;
        return false;
    }
    w_.openPath(ss(info.absoluteFilePath()));
    return true;
}

void TolvScriptHost::setScriptValue(int item, int value, const std::string& text)
{
    w_.settings().set(item, value, text);
}

bool TolvScriptHost::scriptIdle() const
{
    const RuntimeState& s = w_.runtime();
    return !s.busy && !s.state(statebit::kStepping) && s.pendingWork == 0;
}

QWidget* TolvScriptHost::scriptWindow() { return &w_; }

void TolvScriptHost::scriptQuit() { w_.closeWithoutWarning(); }

}  // namespace varenta
