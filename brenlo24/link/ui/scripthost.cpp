#include "brenlo24/link/ui/scripthost.h"

#include "brenlo24/link/ui/form1.h"

#include <iostream>

namespace varenta {

RunOutcome Brenlo24ScriptHost::runScriptCommand(const std::string& name) { return w_.runCommand(name); }

bool Brenlo24ScriptHost::openScriptFile(const std::string&, std::string& why)
{
    why = "the communication program opens no master file; 'open' is for the processing program";
    return false;
}

void Brenlo24ScriptHost::setScriptValue(int item, int value, const std::string&)
{
    // The communication program only reads the installed settings table.
    std::cout << "script: settings item " << item << " value " << value
              << " is not kept by the communication program" << std::endl;
}

bool Brenlo24ScriptHost::scriptIdle() const { return w_.idle(); }

QWidget* Brenlo24ScriptHost::scriptWindow() { return &w_; }

void Brenlo24ScriptHost::scriptQuit() { w_.closeWithoutWarning(); }

}  // namespace varenta
