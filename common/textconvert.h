#pragma once
// Conversion of a master file to text data files: per measurement three
// header lines and one line per sample row, every number right-aligned in
// a field of six characters (a leading blank for numbers that are not
// negative), fields joined by ",", lines ended by CR LF.  New type: one
// file per measurement; old type: k measurements per file.  Both programs
// run the same conversion; they differ only in their status texts.
#include "common/masterfile.h"
#include "common/prompter.h"
#include "common/status.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace varenta {

namespace texttext {
inline constexpr const char* kTitle = "テキストデータファイルに変換";
inline constexpr const char* kMessage1 = " を変換します。開始、終了測定番号を、必ず５桁で指定します。";
inline constexpr const char* kMessage2 = "例：00100,00999 ";
inline constexpr const char* kMessage3 = "旧タイプは、1ファイル分の測定回数を指定します。例：00001,00010";
inline constexpr const char* kPreset = "00001,10000";
inline constexpr const char* kOldType = "旧タイプ";
inline constexpr const char* kBusy = "変換中";
inline constexpr const char* kDone = "変換終了";
inline constexpr const char* kFailed = "テキストデータファイルに変換できません";
inline constexpr const char* kNumber = " 測定番号=";  // the communication program's texts: + m
}  // namespace texttext

// True for a master file the conversion takes: extension ".H10" in any case.
bool isTextConvertible(const std::string& masterPath);

// The range question of the input dialog for this master file.
InputRequest textRangeRequest(const std::string& masterPath);

struct TextRange {
    long long start = 1;  // at least 1
    long long end = 0;    // new type: last measurement; old type: measurements per file
    bool oldType = false;
};
// The answer read back: the first five characters the start, the last five
// the end.  nullopt for "can" or an end that is not a positive number.
std::optional<TextRange> parseTextRange(const InputResult& answer);

// A number as written: the text of the number with a leading blank when it
// is not negative, right-aligned in six characters (wider numbers keep all
// their digits).
std::string textField(long long value);
// The three header lines of a measurement.
std::vector<std::string> textHeaderLines(const MeasurementHeader& h);
// Appends the whole text of a measurement (header lines and sample rows,
// each ended by CR LF) to out.
void appendMeasurementText(const MeasurementHeader& h, const std::vector<std::int16_t>& interleaved, std::string& out);

// The folder (beside the master file: base name without its last letter +
// yyyymmdd of the measurement) and the file of a measurement.
std::string textFolderFor(const std::string& masterPath, const MeasurementHeader& h);
std::string textFileFor(const std::string& masterPath, const MeasurementHeader& h);

struct TextConversionOptions {
    int sectorsPerMeasurement = 0;  // 0: from the first valid header of the file
    HeaderDecodeOptions decode;
    // Called after each measurement number of the range; false stops.
    std::function<bool(long long number)> step;
};

struct TextConversionResult {
    Status status = Status::Ok;  // Io when a file could not be written, Cancelled on a stop
    long long lastNumber = 0;    // the last measurement number handled
    int measurementsWritten = 0;
    int skipped = 0;             // unreadable measurements of the range
    std::vector<std::string> files;  // written, in order
};

// Writes the text data files of a range.  Each file is written under a
// temporary name and renamed over its target when complete.
TextConversionResult convertToText(const std::string& masterPath, const TextRange& range,
                                   const TextConversionOptions& opt);

// The whole command: ask, convert, report.  The hooks are the program's.
struct TextCommandHooks {
    Prompter* prompter = nullptr;
    std::function<void(bool on, const std::string& text)> busy;  // busy state with its text
    std::function<void(const std::string& text)> status;        // status text
    std::function<void(long long number)> number;               // the measurement panel
    std::function<bool()> poll;                                 // serve events; false: stop
    bool numberInTexts = false;  // busy and end texts carry " 測定番号=" + m
};
// Does nothing (Cancelled) for a file of another extension, a cancelled or
// unusable answer.
TextConversionResult ConvertToText(const std::string& masterPath, const TextCommandHooks& hooks,
                                   const TextConversionOptions& opt = {});

}  // namespace varenta
