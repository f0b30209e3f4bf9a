#pragma once
// The result items: their definitions ("tolvg.org") and the selection that
// says which item stands at which of the 64 positions of a results record.
#include "common/settings.h"
#include "common/status.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace varenta {

// "tolvg.org": first line, the number N of defined items in characters 2 to
// 4; item lines (first character a digit after trimming) with the code in
// characters 4 to 6 and the values from character 8 on, split at ",";
// reading stops after the first item line whose code is N or more.
class ResultItemTable {
public:
    Status load(const std::string& path);
    Status parse(const std::vector<std::string>& lines);

    int count() const { return count_; }  // N
    bool defined(int code) const;
    // Value k (0..7) of a code, as written (not trimmed); "" when undefined.
    const std::string& value(int code, int k) const;
    // Column width: the length of value 0 after removing leading blanks.
    int columnWidth(int code) const;
    const std::string& heading1(int code) const { return value(code, 1); }
    const std::string& heading2(int code) const { return value(code, 2); }
    const std::string& shortName(int code) const { return value(code, 5); }

private:
    int count_ = 0;
    std::vector<std::array<std::string, 8>> rows_;  // codes 0..N
    std::vector<bool> defined_;
};

// Reads a string of three-digit codes: entry i at characters 3i+1..3i+3.
// maxEntries < 0 reads all; a blank or partial entry at the end stops.
std::vector<int> threeDigitCodes(const std::string& text, int maxEntries = -1);
// The codes written back as three digits each.
std::string threeDigitText(const std::vector<int>& codes);

constexpr int kRecordPositions = 64;
constexpr int kSelectionEntries = 65;
constexpr int kRunningNumberCode = 6;
constexpr int kRecordStatusCode = 109;
constexpr int kSpacerCode = 64;

// The active result-item selection.
struct ResultSelection {
    int item = 165;                 // the active item L
    std::vector<int> columnCodes;   // value 0 of item L: the table's columns, left to right
    std::vector<int> positionCode;  // value 1 of item L: entries 0..64 (0..63 are the record's items)
    std::vector<int> codePosition;  // code -> position (0..63), -1 when the code is not recorded
    int numberPosition = -1;        // position of code 6, the running number
    int statusPosition = -1;        // position of code 109, the record status
    std::vector<int> directionCodes;  // item 78 value 5: codes whose values are directions

    int positionOf(int code) const;
    int codeAt(int position) const;
};

// Which item holds the selection:
//   base = 165 + bit 6 of the header's optionFlagsHigh when item 96 value 0
//   is "1"; otherwise 166 when the wind set is on or start flag 0x04 is set;
//   else 165.  The current initialization number's bits 0x0E (item 86
//   value 1) are added.
int activeSelectionItem(const Settings& s, bool altSelectionFlag, bool windSet, int optionFlagsHigh);
ResultSelection buildResultSelection(const Settings& s, int item);

// The alternate (wind) code of a result code: with the set on, 105 -> 107,
// 106 -> 108 and 8..21 except 20 raised by 40; with it off the reverse
// (107 -> 105, 108 -> 106, 48..61 except 60 lowered by 40).
int alternateResultCode(int code, bool windOn);
// Maps the codes of the active item (values 0 and 2) and of items 70..77
// value 0 to their alternates, and sets or clears bit 5 of the switch word
// in item 95 value 4.
void applyAlternateItemSet(Settings& s, int activeItem, bool windOn);

}  // namespace varenta
