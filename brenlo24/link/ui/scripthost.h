#pragma once
// The communication program as a script sees it: its buttons and popup
// entries through the command table, the idle test and the quiet close.
#include "common/ui/scriptrunner.h"

namespace varenta {

class Form1;

class Brenlo24ScriptHost final : public ScriptHost {
public:
    explicit Brenlo24ScriptHost(Form1& w) : w_(w) {}
    RunOutcome runScriptCommand(const std::string& name) override;
    bool openScriptFile(const std::string& path, std::string& why) override;
    void setScriptValue(int item, int value, const std::string& text) override;
    bool scriptIdle() const override;
    QWidget* scriptWindow() override;
    void scriptQuit() override;

private:
    Form1& w_;
};

}  // namespace varenta
