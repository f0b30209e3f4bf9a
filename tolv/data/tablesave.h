#pragma once
// Writing the edits of the tables back into the master data: the raw data
// table into the sectors of the measurement on display (every sector whole,
// with its check byte), the results table into the items of the results
// records that were edited.
#include "common/channeltable.h"
#include "common/masterfile.h"
#include "common/progress.h"
#include "common/status.h"
#include "tolv/data/resultstable.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varenta {

inline constexpr const char* kSaveDone = "保存終了";

// ---- raw data table ----
struct RawSaveRequest {
    std::string measurementPath;
    std::int64_t offset = 0;                // byte offset of the measurement's header sector
    const MeasurementHeader* header = nullptr;
    const ChannelTable* channels = nullptr;
    std::vector<int> displayed;             // channel-list indexes shown, in channel-list order
    bool timeColumn = false;                // each line starts with the 7-character time field
    std::string text;                       // the table body as shown (CR LF or LF between lines)
};

// The counts of the table: interleaved holds the stored counts on entry
// (samplesPerChannel x channelCount words) and the table's counts on
// return.  A field that reads the same as the stored count formats keeps
// the count; another value becomes value / factor rounded to the nearest
// count, which must give the value back (within a millionth of a count) and
// fit in 16 bits.  Hidden channels keep their counts.  Refused, with a
// message naming the line and column, when the table's shape differs from
// the measurement's (lines, fields) or a value is not a number or cannot be
// stored exactly; interleaved is unchanged then.
Status rawTableToCounts(const RawSaveRequest& request, std::vector<std::int16_t>& interleaved,
                        std::string* message = nullptr);

struct RawSaveOutcome {
    Status status = Status::Ok;   // Refused: nothing written (message); Io: a file error
    int sectorsWritten = 0;
    long long changedSamples = 0;
    std::string message;
};

// The raw save: the measurement's sectors are read whole, the table is
// converted back first (nothing is written when it cannot be), then every
// sector gets its samples and check byte and is written back by one
// positioned write.  A measurement whose sectors are not all in the file is
// refused.
RawSaveOutcome saveRawTable(const RawSaveRequest& request, const Progress* progress = nullptr);

// ---- results table ----
// The record with the items of its table line: the columns are walked from
// the line's start, a spacer skipping its width, any other code taking the
// next W characters as the last 5 of four blanks and that text ("-----" when
// it ends in "-") at the code's position.  Empty when the line's width is
// not the table's (the columns would not stand where they belong).
std::string applyResultsLine(const std::string& record, const std::string& line, const ResultsTableLayout& layout);

struct ResultsSaveOutcome {
    Status status = Status::Ok;        // Io: the results file could not be opened or written
    std::vector<long long> saved;      // records written back
    std::vector<long long> skipped;    // records whose table line has the wrong width
    std::string message;
};

// Writes the edited records back.  lines are the table's lines (code-page
// bytes, without line ends, blank lines included); the walk stops at the
// first record number outside the file, as the command always did.
ResultsSaveOutcome saveResultsEdits(const std::string& resultsPath, const std::vector<std::string>& lines,
                                    const ResultsTableLayout& layout, const ResultsBlocks& blocks,
                                    const std::vector<long long>& records);

}  // namespace varenta
