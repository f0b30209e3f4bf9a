#pragma once
// Printing, the part without a printer: the print set-up of a view kind
// from the settings, the page ranges of the results table (one page from a
// record, or the whole results file in pages that follow the days), and the
// text lines each page receives.  The window side (printer, dialog,
// painting) lives in tolv/shell/ui/printing.*.
#include "common/settings.h"
#include "common/status.h"
#include "tolv/data/resultstable.h"

#include <string>
#include <vector>

namespace varenta {

// What the printer is set to before a view kind is printed.
struct PrintSetup {
    std::string printerName;  // item 89 value 5; a name ending in ".pdf" is a PDF file
    std::string fontName;     // item 190+k values 0 to 3
    double fontSize = 10.0;
    bool bold = false;
    bool italic = false;
    bool portrait = false;    // item 85 value 1 (tables, kinds 0 and 2) or value 2 (graphs)
    // The origin moves right and down by item 68 values 6 and 7, in
    // millimetres (negative values count as 0).
    double offsetLeftMm = 0.0;
    double offsetTopMm = 0.0;
};

PrintSetup printSetupFor(const Settings& s, int kind);

// Whether a printer name means a PDF file ("....pdf", any case).
bool isPdfPrinterName(const std::string& name);

// Records first .. last of one printed results page (1-based, inclusive).
struct RecordRange {
    long long first = 0;
    long long last = 0;
    bool operator==(const RecordRange&) const = default;
};

// The results page of record r: forward the page starts at r, backward it
// ends there (starting R - 1 records earlier); a start before 1 becomes 1
// (the page shrinks), a start beyond the last record becomes the last.
// Empty (first 0) when the file has no record.
RecordRange resultsPageRange(long long r, bool forward, long long rowsPerPage, long long lastRecord);

// The whole results file in pages of R rows aligned to the dates.
// leading holds records 1 .. min(P, last) (P = 1440 / interval, records per
// day); the date is the record's month/day field.  When all P share the
// first record's date, or the interval is unknown, pages run from record
// 1.  Otherwise with c records sharing the first date, the first page ends
// at e = R (c = P) or c + R - P (raised by R while below 1), later pages
// end R records later each, and the last page ends at the file's last
// record.  Pages never overlap.
std::vector<RecordRange> resultsFilePages(const std::vector<std::string>& leading, long long rowsPerPage,
                                          long long lastRecord, int intervalMinutes);

// The month/day field of a record (characters 13-17).
std::string recordDateField(const std::string& record);

// What one results page prints: the heading lines of the table and the
// rows of its records as the results table view shows them (a blank line
// where a block of hours starts inside the page).  UTF-8.
struct ResultsPageText {
    std::vector<std::string> heading;
    std::vector<std::string> rows;
};

struct ResultsPageSource {
    std::string resultsPath;
    ResultsTableLayout layout;
    int blockStartHour = 0;   // item 66 value 2
    int blockHours = 0;       // item 66 value 3
    int intervalMinutes = 0;  // of the header; 0: from the first record
    std::string title;        // item 85 value 0, printed above the headings when not blank
};

// Reads the page's records; NotFound or Io when the results file cannot
// be read, DataFormat when the range is empty.
Status resultsPageText(const ResultsPageSource& src, const RecordRange& range, ResultsPageText& out);

// Splits pane text (lines separated by "\n", "\r\n" or U+2029) into lines.
std::vector<std::string> splitPaneLines(const std::string& text);

}  // namespace varenta
