#pragma once
// The results record of a measurement, stored by the processing run in the
// results file of the data set (record m at byte (m - 1) x 392).
//
// A results-only measurement (a result sector of the logger) carries its
// record in bytes 120 to 511 of its header sector: that text is stored as
// it is.  For a measurement with raw data the record is composed from the
// header's interval, duration, date and time and from the result values:
// the statistics computed from the burst's samples when the switch
// "波浪統計を計算する" is on; with it off the values stay 0 (the running
// number is the measurement's own) and the user is told so.
//
// After the write the results table is refreshed (the view does it, by the
// rule returned here), and with automatic processing the newest records are
// handed over to another program through the hand-over file.
#include "common/masterfile.h"
#include "common/progress.h"
#include "common/prompter.h"
#include "common/resultitems.h"
#include "common/settings.h"
#include "common/status.h"
#include "tolv/data/dataset.h"

#include <cstdint>
#include <map>
#include <string>

namespace varenta {

namespace recordtext {
inline constexpr const char* kNoProcessing = "このバージョンには、処理機能がありません";
inline constexpr const char* kProhibitedTitle = "VarentaK - 操作の禁止";
inline constexpr const char* kDamagedRecord = "ヘッダーの処理結果を読めません: 測定番号 ";
inline constexpr const char* kWriteFailed = "処理結果ファイルに書き込めません: ";
inline constexpr const char* kHandOverWaiting = "引き渡しファイルの削除を待っています: ";
inline constexpr const char* kHandOverStopped = "中止の指示で、引き渡しファイルの削除待ちを打ち切りました: ";
inline constexpr const char* kHandOverFailed = "引き渡しファイルに書き込めません: ";
}  // namespace recordtext

// The results file of a master file: item 89 value 4 when it has 5 or more
// characters; otherwise the master file's folder, its base name without the
// last character, "l" and its extension (NR012M.H10 -> NR012l.H10).
std::string resultsFileNameFor(const Settings& s, const std::string& masterPath);
// The hand-over file: folder, base name without its last character, "s"
// and the extension (NR012M.H10 -> NR012s.H10).
std::string handOverFileNameFor(const std::string& masterPath);

// What the record step keeps between measurements.
struct ResultsRecordState {
    // The program's blank record; once a results file was created it
    // carries the running number 1.
    std::string blankRecord = emptyResultsRecord();
    std::string resultsPath;     // the file the refresh count belongs to
    long long recordsAtRefresh = 0;  // whole records at the last table refresh
};

enum class TakenFrom {
    Logger,   // a results-only measurement's own text
    Blank,    // the blank record (byte 120 is "-", or the text could not be used)
    RawData,  // a measurement with raw data: composed when stored
};

struct TakenRecord {
    std::string record;  // 392 bytes
    TakenFrom from = TakenFrom::Blank;
    // Ok; DataFormat: the sector's text is not a record (no CR LF at its
    // end, or line ends or NUL bytes inside); Io/NotFound: the sector could
    // not be read.  The blank record is kept then.
    Status status = Status::Ok;
};

// Step 1 on bytes: sector is the header sector (512 bytes) of a
// results-only measurement.
TakenRecord takeResultsRecord(const std::string& blankRecord, const std::uint8_t* sector);

// TakeResultsRecord: for a results-only measurement (packet kind 6) the
// header sector of the measurement on display is read again from the
// measurement file (it must still be a result sector carrying the current
// measurement's number); for any other measurement the record is composed
// when stored, and without the statistics (computeStatistics false) the
// message of the missing processing is shown (title "VarentaK - 操作の禁止",
// warning icon).
TakenRecord TakeResultsRecord(const ResultsRecordState& state, const DataSet& data, Prompter& prompter,
                              bool computeStatistics = false);

// Result values by result code (0 for every code not set).
struct ResultValues {
    std::map<int, double> values;
    double of(int code) const;
};

// Step 2: the record of a measurement with raw data.  Item 0 the interval
// ("##0", 3 characters) and duration ("#0", 2); item 1 the two-digit year
// in 5; item 2 month "/" day (2 characters each, blank-padded); item 3 hour
// (2, blank-padded) ":" minute ("00"); items 4 to 63 the value of their
// code in the code's pattern (the last 5 characters of value 0, 6 for an
// item that opens a group, written from the separator in front), right-
// aligned; the name of every direction code of item 78 value 5 in the item
// its definition pairs with it (value 6).  Positions holding code 64 or an
// undefined code keep the blank record's text; with onlyPresent, so do the
// positions of codes without a value (a channel not recorded), and a value
// too wide for its field is written as the field's width of "*".
std::string composeRawDataRecord(const std::string& blankRecord, const MeasurementHeader& header,
                                 const ResultItemTable& items, const ResultSelection& selection,
                                 const ResultValues& values, bool onlyPresent = false);

// How the results table follows a stored record.
enum class TableRefresh {
    None,
    Complete,    // the results file was created
    FromRecord,  // the file grew by more than one record since the last refresh
    OneLine,     // only the line of the measurement
};

struct ResultsRecordContext {
    const Settings* settings = nullptr;
    const ResultItemTable* items = nullptr;
    const ResultSelection* selection = nullptr;
    const MeasurementHeader* header = nullptr;
    long long measurement = 0;   // m
    std::string masterPath;      // the measurement file
    std::string resultsPath;     // the open results file; empty: named from the master file
    bool automatic = false;      // automatic processing is on
    const Progress* progress = nullptr;  // the hand-over wait is served through it
    // The statistics of the burst (the switch is on); nullptr: the values
    // stay 0.
    const ResultValues* statistics = nullptr;
};

struct StoreOutcome {
    Status status = Status::Ok;  // the write of the record (Io: not written; Refused: no measurement)
    std::string record;          // the record as stored
    std::string resultsPath;
    bool created = false;        // the results file was created
    long long records = 0;       // whole records of the file afterwards
    TableRefresh refresh = TableRefresh::None;
    long long refreshRecord = 0; // FromRecord: the first new record; OneLine: m
    // The hand-over: Ok (done or not asked for); Cancelled: the stop
    // request ended the wait; Io: the file could not be written; Timeout:
    // no progress seam to wait through while the file existed.
    Status handOver = Status::Ok;
    std::string handOverPath;
    std::string statusText;      // for the Status panel when something went wrong
};

// StoreResultsRecord (steps 2 to 6).  Step 2 for a record taken from raw
// data; a missing results file is created with the record at byte 1 (and
// the blank record numbered 1 from then on); a file shorter than one record
// gets it at byte 1 too; the record goes to (m - 1) x 392; records between
// the old end of the file and m are written as empty records with their
// numbers, so the file never holds a hole.  With automatic processing and
// item 85 value 6 = N > 0 the hand-over file is waited for (while it
// exists, through the progress seam; the stop request ends the wait) and
// then written with the records max(1, m - N) .. m.
StoreOutcome StoreResultsRecord(ResultsRecordState& state, const TakenRecord& taken, const ResultsRecordContext& ctx);

// Writes the hand-over file from the results file: records first .. last
// (whole ones), replaced whole.
Status writeHandOverFile(const std::string& resultsPath, const std::string& handOverPath, long long first,
                         long long last);

}  // namespace varenta
