#pragma once
// The processing program as a script sees it: commands through the main
// window's command table, the open path, settings values in memory, the
// idle test and the quiet close.
#include "common/ui/scriptrunner.h"

#include <string>

namespace varenta {

class MDIForm1;

class TolvScriptHost final : public ScriptHost {
public:
    explicit TolvScriptHost(MDIForm1& w) : w_(w) {}
    RunOutcome runScriptCommand(const std::string& name) override;
    bool openScriptFile(const std::string& path, std::string& why) override;
    void setScriptValue(int item, int value, const std::string& text) override;
    bool scriptIdle() const override;
    QWidget* scriptWindow() override;
    void scriptQuit() override;

private:
    MDIForm1& w_;
};

}  // namespace varenta
