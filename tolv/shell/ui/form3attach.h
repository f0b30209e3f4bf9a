#pragma once
// Makes the processing-conditions dialog part of the main window: the open
// command (Mcset; MPcset and Bcset run it), the header text after every
// stepping run, the schedule fields when the scheduler moves a time, and
// closing when the main window is minimised.  Update reaches the window
// through Form3Host: the stepping run in reprocess mode, the automatic
// timers and the start flags.
#include <functional>

namespace varenta {

class Form3;
class MDIForm1;

// Creates the dialog (a child of the window, hidden until opened) and wires
// it.  download: the manual download of tolvd.txt (returns false when the
// program has none); empty leaves the download unavailable.  Hooks already
// set on the window are kept and called first.
Form3* attachConditionsDialog(MDIForm1& window, std::function<bool()> download = {});

}  // namespace varenta
