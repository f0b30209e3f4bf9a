#pragma once
// Rewriting master data files as whole files: the measurement date update
// (every header re-dated from a new first start and renumbered, the dates
// carried into the results records), the time editor (a continuous record
// cut into a new master file of chosen duration and interval) and the size
// change (a master file cut down to its used length, the original kept
// under a dated name).
//
// Every writer here works in whole 512-byte sectors (or whole 392-byte
// results records), each written by one positioned write with its check
// byte set, so that a program killed at any moment leaves every sector
// either as it was or as it should become.
#include "common/clock.h"
#include "common/masterfile.h"
#include "common/progress.h"
#include "common/status.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace varenta {

// Texts of the editing commands.
namespace edittext {
inline constexpr const char* kDateCaption = "測定日時の更新";
inline constexpr const char* kDateMessage =
    "マスターファイルと処理結果ファイルの日時を更新します。新しい測定開始日時を指定してください。"
    "処理は実行されません。よろしいですか？";
inline constexpr const char* kDateBusy = "測定日時の更新中";
inline constexpr const char* kDateDone = "測定日時の更新完了";
inline constexpr const char* kOpenMaster = "マスターファイルを開いてください！";
inline constexpr const char* kNotContinuous = "連続測定データではありません！";
inline constexpr const char* kEditReady = "マスターファイル編集の準備完了";
inline constexpr const char* kRefCaption = "測定開始日時の指定";
inline constexpr const char* kRefMessage =
    "現在のマスターファイルの測定開始日時です。訂正する場合は、下記の日時を上書きしてください";
inline constexpr const char* kStartCaption = "作成するマスターファイルの測定開始日時の指定";
inline constexpr const char* kStartMessage =
    "これから作成するマスターファイルの測定開始日時を指定して下さい。[終了日時]のチェックで、測定終了日時も指定できます";
inline constexpr const char* kEndCheck = "終了日時";
inline constexpr const char* kEndCaption = "作成するマスターファイルの測定終了日時の指定";
inline constexpr const char* kEndMessage = "これから作成するマスターファイルの測定終了日時を指定して下さい";
inline constexpr const char* kSpanCaption = "作成するマスターファイルの測定時間と測定間隔の指定";
inline constexpr const char* kSpanMessage = "現在の測定時間／測定間隔です。編集後の測定時間／測定間隔を指定して下さい";
inline constexpr const char* kConfirmCaption = "測定時間と測定間隔編集の確認";
inline constexpr const char* kEditing = "マスターファイル編集中";
inline constexpr const char* kEditDone = "マスターファイル編集完了";
inline constexpr const char* kEditAborted = "マスターファイル編集中止";
inline constexpr const char* kNotADate = "日時として読めません: ";
inline constexpr const char* kResizeTitle = "VarentaK - ファイルのサイズ変更";
inline constexpr const char* kResizeAsk =
    "ファイルのサイズを縮小できます。不用なデータを削除して、ファイルサイズを小さくしてもよろしいですか？";
inline constexpr const char* kResizeProper = "ファイルは適切なサイズです";
inline constexpr const char* kResizing = "バイト　ファイルサイズ変更中！";
inline constexpr const char* kResized = "バイト　ファイルサイズ変更完了！";
}  // namespace edittext

// ---- dates of the editing commands: two-digit years since 2000 ----
struct ShortDate {
    int year = 10;  // 0..99
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
};

// Days of a month; February has 29 days in years divisible by 4.
int shortMonthLength(int year, int month);
// Adds minutes (0 or more), carrying into hours, days, months and years
// (after year 99 comes year 0).
ShortDate addShortMinutes(ShortDate d, long long minutes);
// Minutes since 2000-01-01 00:00 on the real calendar (leap days counted),
// for comparing and subtracting dates.
long long minutesSince2000(const ShortDate& d);
// "yy/mm/dd hh:mm" (the form of the questions).
std::string shortDateText(const ShortDate& d);
// The status panels while dates are rewritten: "yy/ m/ d" and "hh:mm".
std::string panelDateText(const ShortDate& d);
std::string panelTimeText(const ShortDate& d);
// Reads an answer "yy/mm/dd hh:mm" (four-digit years less 2000; seconds
// after the minute are allowed and ignored).  nullopt for anything that is
// not a real date and time.
std::optional<ShortDate> parseShortDate(const std::string& text);
// The date and time of a header sector (bytes 9..13).
ShortDate headerShortDate(const MeasurementHeader& h);

// ---- measurement date update ----
struct DateUpdateRequest {
    std::string measurementPath;
    std::string resultsPath;   // empty or missing: no results file
    int sectorsPerMeasurement = 1;
    long long lastNumber = 0;  // measurements 1 .. lastNumber
    ShortDate start;           // the new first start
    int intervalMinutes = 60;  // used after a position without a valid header
};

struct DateUpdateStep {
    long long number = 0;
    ShortDate date;
    bool headerWritten = false;  // false: no valid header at this position
    bool recordWritten = false;  // the results record was rewritten
};

struct DateUpdateOutcome {
    Status status = Status::Ok;  // Io: a file could not be opened or written; Cancelled: stopped
    long long headers = 0;       // headers rewritten
    long long records = 0;       // results records rewritten
    long long skipped = 0;       // positions without a valid header
    std::string message;
};

// Measurement k (from 1) gets start + the intervals of the measurements
// before it, the number k and a new check byte; only valid header sectors
// are rewritten and the walk ends at the end of the file.  The results
// record k gets the same date and time when its fifth character is a digit.
// Both files are opened for writing before anything is written.  The
// progress seam is polled after every measurement; a stop leaves the rest
// as it was.
DateUpdateOutcome updateMeasurementDates(const DateUpdateRequest& request, const Progress* progress,
                                         const std::function<void(const DateUpdateStep&)>& step = {});

// ---- time editor ----
// The measurements of a file are continuous when each lasts its whole interval.
bool isContinuousRecord(const MeasurementHeader& h);
// Duration and interval from an answer "D/I": D bounded to 1..60, I to
// 1..240 and raised to D.  nullopt when the answer has no two numbers.
std::optional<std::pair<int, int>> parseDurationInterval(const std::string& text);
// The new file's name beside the source: the source name less its
// extension and last character, "-yymmdd-hhmm-DDII" and "m.h10".
std::string timeEditFileName(const std::string& sourcePath, const ShortDate& start, int duration, int interval);

struct TimeEditRequest {
    std::string sourcePath;
    std::string targetPath;
    ShortDate reference;             // true start of the source's first measurement
    ShortDate start;                 // start of the new file's first measurement
    std::optional<ShortDate> end;    // no new measurement starts after it
    int duration = 10;               // D, minutes
    int interval = 60;               // I, minutes
};

struct TimeEditOutcome {
    Status status = Status::Ok;  // DataFormat: the source's first header is not valid; Io; Cancelled: stopped
    long long measurements = 0;  // new measurements written
    int sectorsPerMeasurement = 0;
    std::string message;
};

// Where the samples of a new measurement come from: the source's samples
// form one continuous series from the reference start on, measurement after
// measurement; a new measurement starting Delta minutes after the reference
// takes the N samples from d x Delta on (d samples of all channels per
// minute).  Samples before the source's first or after its last valid
// measurement, and those of positions without a valid header, are written
// as missing (-32768).  An existing file of the target's name is replaced.
// The file is written sector by sector under a temporary name and renamed
// at the end; a stop keeps the measurements written so far.
TimeEditOutcome timeEditMasterFile(const TimeEditRequest& request, const Progress* progress,
                                   const std::function<void(long long number, const ShortDate& date)>& step = {});

// ---- size change ----
// Sectors per measurement by the file name: S for a name ending in M, 1 for
// one ending in R (either case); nullopt otherwise.
std::optional<int> resizeSectorsFor(const std::string& path, int headerSectors);
// The original's dated name: folder, base (name less its last character),
// "-yyyy" "mmdd" "-hhmm" "ss", the last character and the extension.
std::string resizeStampedName(const std::string& path, const DateTime& now);

struct ResizePlan {
    long long lastNumber = 0;   // last measurement position holding a valid header
    long long usedLength = 0;   // lastNumber x 512 x S
    long long fileLength = 0;
    bool canShrink = false;     // (lastNumber + 1) x 512 x S < fileLength
};
Status planResize(const std::string& path, int sectorsPerMeasurement, ResizePlan& plan);

// Cuts the file at path to plan.usedLength: the used sectors are copied to a
// temporary file beside it, which is flushed and compared with the original;
// only then is the original kept under stampedPath (a second link, or a
// rename) and the copy renamed over path.  At every moment path holds the
// whole original or the whole cut file.  bytes is called every 32768 bytes.
Status shrinkMasterFile(const std::string& path, const ResizePlan& plan, const std::string& stampedPath,
                        const Progress* progress, const std::function<void(long long bytes)>& bytes = {},
                        std::string* message = nullptr);

// Free bytes for new files in the folder of path; -1 when unknown.
long long freeBytesFor(const std::string& path);

}  // namespace varenta
