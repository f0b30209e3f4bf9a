#pragma once
// The built-in commands of the processing program's main window, by
// family.  Each family registers its commands in the window's command
// table; features elsewhere add theirs through MDIForm1::setCommand.
namespace varenta {

class MDIForm1;

// Mopen, Mclose, Mnew, Minit, Mbarrier, Mfinal
void installFileCommands(MDIForm1& w);
// Mcut, Mcopy, Mpast, Mselall, Mfont, Mbackcolor and the zoom entries
void installEditCommands(MDIForm1& w);
// Mexecute, Mbackexe, Mcalculate, Mreexecute, Mend, Bend, Bup, Bdown
void installProcessCommands(MDIForm1& w);
// Mbar, Mstatus, Mscroll, Mcascade, Mtile, MtileV, Mtopic, Mversion
void installWindowCommands(MDIForm1& w);

}  // namespace varenta
