#pragma once
// The processing results table: the results file of the open data set (one
// 392-byte record per measurement) as a text table whose columns are chosen
// from the record's 64 items, set off in blocks of hours by blank lines.
// While the table is filled every record's running number is checked, and
// a record that is out of sequence is replaced in the results file by the
// empty record carrying its number and the status "  4.0".  The table text
// is the export file "{pp}23g.txt" (code page bytes, CR LF lines); the two
// heading lines go to the heading pane only.
//
// Everything here works on files and byte strings; the window side (panes,
// selection) lives in the view.
#include "common/masterfile.h"
#include "common/progress.h"
#include "common/resultitems.h"
#include "common/settings.h"
#include "common/status.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varenta {

// Export file name: filePrefix + "23g.txt".
std::string resultsTableExportName(const std::string& filePrefix);

// Status text of the sequence check's replacement.
inline constexpr const char* kReplacedStatusItem = "  4.0";

// One column of the table.
struct ResultsTableColumn {
    int code = 0;
    int width = 0;        // W(code): bytes of the column
    bool spacer = false;  // code 64: a run of W blanks
    int position = -1;    // record position of the code; -1 when the record does not hold it
};

// The columns and headings of the active item set.
struct ResultsTableLayout {
    std::vector<ResultsTableColumn> columns;
    // UTF-8.  Each piece is the heading text cut at a whole character to W
    // code-page bytes and filled with blanks on the left to W bytes, so that
    // it stands over its column; spacers at the end are left out.
    std::string heading1;
    std::string heading2;
    int lineWidth = 2;          // L: code-page bytes of heading 1 plus CR LF
    int numberPosition = -1;    // position of code 6, the running number
    int numberWidth = 5;        // numberWidth
    int statusPosition = -1;    // position of code 109, the record status

    // The heading pane's text: line 1, CR LF, line 2.
    std::string headingText() const { return heading1 + "\r\n" + heading2; }
    // Bytes of a table line without its line end.
    int bodyWidth() const { return lineWidth - 2; }
};

// The running-number field is 6 characters wide when its position opens a
// group of 8 after the first (it then takes the group separator in front of
// it), otherwise 5.  Position 0 has no separator in front: 5.
int runningNumberWidth(int numberPosition);

ResultsTableLayout makeResultsTableLayout(const ResultItemTable& items, const ResultSelection& selection);

// ---- blocks of hours ----
struct ResultsBlocks {
    long long recordsBefore = 0;    // records before the first blank line
    long long recordsPerBlock = 0;  // 0: no blocks
};

// The block start: t = 60 firstHour + firstMinute; the boundary hours of a
// day are b0, b0 + B, ... (b0 found from blockStartHour by adding B until it
// reaches 24 or more, less 24); the first boundary after t, else b0 + 24 on
// the next day; recordsBefore = steps of intervalMinutes from t until
// reaching or passing it (at least 1).  recordsPerBlock = B x 60 div
// intervalMinutes.  A block length or interval of 0 or less gives no blocks.
ResultsBlocks resultsBlocks(int firstHour, int firstMinute, int blockStartHour, int blockHours, int intervalMinutes);
// The same from the first record's time (hour in characters 19-20, minute
// in 22-23).
ResultsBlocks resultsBlocksOf(const std::string& firstRecord, int blockStartHour, int blockHours, int intervalMinutes);

// Whether the line of record k (from 1) starts with a blank line.
bool startsBlock(long long k, const ResultsBlocks& b);
// Blank lines up to and including the one in front of record k.
long long blankLinesThrough(long long k, const ResultsBlocks& b);
// 1-based character offset of record k's line in the table text (L with
// its CR LF): with c = k - recordsBefore - 1 >= 0 and blocks,
// (c div n)(nL + 2) + L(r + c mod n) + 3, less 2 when c mod n = 0 and
// selection is off (the blank line in front is written with the line);
// otherwise (k - 1) L + 1.
long long resultsLineOffset(long long k, int lineWidth, const ResultsBlocks& b, bool selection);
// 0-based line number of record k's text among the table's lines (blank
// lines counted).
long long resultsLineIndex(long long k, const ResultsBlocks& b);
// The record shown on a 0-based line, 0 for a blank line or before record 1.
long long recordAtLine(long long line, const ResultsBlocks& b);

// ---- records ----
// Time of a record: hour (characters 19-20) and minute (22-23); 0 for text
// that is not a number.
int recordHour(const std::string& record);
int recordMinute(const std::string& record);
// Measurement interval of a record (item 0, characters 1-3); 0 when blank.
int recordIntervalMinutes(const std::string& record);

// The running-number field of a record: numberWidth characters ending at
// the 5th character of position numberPosition.  nullopt when the field is
// not a number (blanks around digits are allowed).
std::optional<long long> runningNumberOf(const std::string& record, const ResultsTableLayout& layout);
// The sequence check: the field's value equals k modulo 10^numberWidth.
// Without a running-number position every record passes.
bool inSequence(const std::string& record, long long k, const ResultsTableLayout& layout);
// The record that replaces an out-of-sequence record k: the empty record
// with k in the running-number field (right-aligned) and "  4.0" at the
// status position.
std::string sequenceReplacement(long long k, const ResultsTableLayout& layout);

// The table line of a record (code-page bytes, no line end): each column in
// order, a spacer as its blanks, another code as the item at its position
// (6 characters from one before the item when the position opens a group
// after the first and the code is not 0, else its 5 characters), right-
// aligned in W characters and cut from the left; columns stop once the line
// holds L - 2 characters, and the line is exactly L - 2 characters.
std::string resultsTableLine(const std::string& record, const ResultsTableLayout& layout);

// ---- the fill ----
namespace fillmode {
constexpr int kOneLine = 0x01;  // refresh: stop at record k's end
constexpr int kSelect = 0x04;   // only select record k's line (nothing is read)
}  // namespace fillmode

struct ResultsTableRequest {
    std::string resultsPath;
    std::string exportPath;
    ResultsTableLayout layout;
    int blockStartHour = 0;   // item 66 value 2
    int blockHours = 0;       // item 66 value 3
    int intervalMinutes = 0;  // of the header; 0 or less: from the first record
    long long record = 0;     // 0: complete fill; k > 0: refresh from record k
    int mode = 0;             // fillmode bits
    // A refresh keeps the blocks of the complete fill it continues (the
    // first record may have been replaced since); without them they are
    // computed from the first record.
    std::optional<ResultsBlocks> blocks;
};

// A line written by a refresh.
struct ResultsTableLine {
    long long record = 0;
    long long line = 0;         // 0-based line number of its text
    long long offset = 0;       // 1-based offset in the export text (selection off)
    bool blankBefore = false;   // written with the blank line in front of it
    std::string text;           // code-page bytes, no line end
};

struct ResultsTableOutcome {
    // Ok; NotFound: no results file (only the headings); Io: the export
    // could not be written (the window keeps what it shows).
    Status status = Status::Ok;
    // Rewrites of out-of-sequence records: Io when one could not be written.
    Status repairStatus = Status::Ok;
    bool complete = false;       // a complete fill was made (also when a refresh had to)
    ResultsBlocks blocks;
    long long records = 0;       // whole records of the results file
    std::string text;            // complete fill: the export text (CR LF after every line)
    std::vector<ResultsTableLine> lines;  // refresh: the lines written, in order
    std::vector<long long> replaced;      // records rewritten by the sequence check
};

// fillResultsTable on the files: a complete fill (record 0) reads every
// whole record, writes the export file whole (replaced by rename, or not at
// all) and returns its text; a refresh from record k reads only record k
// (one-line mode) or the records from k on, writes each line over the
// export text at its offset, and truncates the export after the last line
// when it ran to the end of the file.  A refresh whose export file is
// missing or shorter than the place of record k's line makes a complete
// fill instead.  A partial record at the end of the results file is left
// alone.  The progress seam is served every 60 records.
ResultsTableOutcome fillResultsTableFiles(const ResultsTableRequest& request, const Progress* progress = nullptr);

}  // namespace varenta
