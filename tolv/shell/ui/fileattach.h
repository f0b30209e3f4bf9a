#pragma once
// The File menu's editing and whole-file commands of the processing
// program: Mdate, MTimeEditor, Mmodifi (with MPmodifi and Bmodifi), Msave,
// Mewrite (with MPewrite), Mbackup, Mmove, MMfileSize and Muser.
#include <functional>
#include <string>

namespace varenta {

class MDIForm1;

struct FileCommandSeams {
    // The save dialog: title, preset path; the chosen path, or the preset
    // when cancelled.  Empty: the platform dialog.
    std::function<std::string(const std::string& title, const std::string& preset)> saveDialog;
};

void attachFileCommands(MDIForm1& window, FileCommandSeams seams = {});

}  // namespace varenta
