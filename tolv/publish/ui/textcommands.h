#pragma once
// The file commands that write a master file out for other software: the
// conversion to text data files (Mtext) and the export for analysis as one
// NetCDF file (MnetCDF).  Both work on the open measurement file, run in
// the busy state with the measurement number in the Sno panel, and stop on
// the stop request.
//
//     attachTextCommands(window);  // in main(), before startUp()

namespace varenta {

class MDIForm1;

void attachTextCommands(MDIForm1& window);

}  // namespace varenta
