#pragma once
// The processing program's parts plugged into its main window: views,
// processing steps, dialogs and the commands of every family.  The program
// and the tests that look at the whole program call this one function.
namespace varenta {

class MDIForm1;

void assembleProcessingProgram(MDIForm1& window);

}  // namespace varenta
