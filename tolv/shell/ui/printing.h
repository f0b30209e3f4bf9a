#pragma once
// Printing of the processing program: Mprint on the active view, the
// automatic table and graph printing of the scheduler, and the raw data
// graph at each step of a forward display run.  Everything goes to a
// QPrinter: the printer of item 89 value 5 when it exists, else the current
// one; a name ending in ".pdf" writes that PDF file (relative names in the
// program folder) without the printer dialog.
//
// Item 68 value 5, the printer setting applied before automatic table
// printing, is the paper source (bin) number: 1 upper, 2 lower, 3 middle,
// 4 manual, 5 envelope, 6 manual envelope, 7 automatic, 8 tractor, 9 small
// format, 10 large format, 11 large capacity, 14 cassette, 15 form source;
// 0 and other numbers leave the printer as it is.
#include "tolv/shell/printing.h"

#include <functional>
#include <memory>
#include <string>

class QPrinter;

namespace varenta {

class MDIForm1;
class ShellServices;

struct PrintSeams {
    // The printer dialog of Mprint with the selection range preselected;
    // false when cancelled, *selection tells whether the selection range was
    // chosen.  Empty: the platform dialog.
    std::function<bool(QPrinter& printer, bool* selection)> printDialog;
};

// Points the printer at the set-up's printer (or PDF file) with its
// orientation.
void preparePrinter(QPrinter& printer, const PrintSetup& setup, const std::string& programFolder);
// QPrinter's paper source of a bin number; false for 0 and unknown numbers.
bool applyPrinterSetting(QPrinter& printer, int setting);

class Printing {
public:
    Printing(ShellServices& shell, PrintSeams seams);
    // Mprint on the active view.
    void printActiveView();
    // The scheduler's jobs and the forward display run's raw graph.
    void printTablePage(int printerSetting);
    void printResultsGraph();
    void printRawGraph();

    // Pages finished by the last print (for the status and tests).
    int lastPages() const { return pages_; }

private:
    bool printKind(QPrinter& printer, int kind, bool selection);
    ShellServices& shell_;
    PrintSeams seams_;
    int pages_ = 0;
    bool running_ = false;  // a print is under way (the event loop is served between pages)
};

// Registers Mprint and the scheduler's printing jobs.
std::shared_ptr<Printing> attachPrinting(MDIForm1& window, PrintSeams seams = {});

}  // namespace varenta
