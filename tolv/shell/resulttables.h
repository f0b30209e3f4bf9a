#pragma once
// The result-item tables that the communication program loads into the
// logger, written from the results file's item selection (value 1 of the
// selection item) and the result-item definitions ("tolvg.org"):
//
//   "Brenlo2.tbl"  the record position of every defined code 0..511, either
//                  in decimal with comments naming the code ranges (10 a
//                  line) or, with start flag 0x100, as the hexadecimal image
//                  the logger takes (16 a line);
//   "Brenlo3.tbl"  the short names of the 64 record positions;
//   "Brenloid.org" the two heading lines of the 64 positions, 6 bytes each.
//
// All three are code page text with CR LF.  The texts are built first and
// written afterwards, each through a temporary file, so a failure never
// leaves a torn table.
#include "common/resultitems.h"
#include "common/status.h"

#include <string>
#include <vector>

namespace varenta {

inline constexpr const char* kPositionTableName = "Brenlo2.tbl";
inline constexpr const char* kNameTableName = "Brenlo3.tbl";
inline constexpr const char* kHeadingTableName = "Brenloid.org";

// Highest code the position table covers.
constexpr int kPositionTableLastCode = 511;
// Position written for a code the record does not hold.
constexpr int kNotRecorded = 64;
// Bytes of one heading in "Brenloid.org".
constexpr std::size_t kHeadingBytes = 6;
// Width (characters) the short name is padded to in "Brenlo3.tbl".
constexpr std::size_t kShortNameWidth = 20;

// The first position p (0..63) with record[p] == code, else kNotRecorded.
int recordPositionOf(const std::vector<int>& record, int code);

// "Brenlo2.tbl" (UTF-8 text with CR LF; it is ASCII throughout).  Codes run
// from 0 to the last defined code, at most 511; a code missing from the
// definitions still gets its entry, so every entry stays at its code's
// place in the table the logger reads.
//   hexadecimal: "PP " per code ("00 " when not recorded); after each code
//     with code mod 16 = 15 the line is trimmed and ended by CR LF;
//   decimal: the position right-aligned in 4 characters and "," ("   0,"
//     when not recorded); after each code with code mod 10 = 9 the comment
//     "    // F - L" (F = code - 9, L = code, "##0") and CR LF.
std::string positionTableText(const ResultItemTable& items, const std::vector<int>& record, bool hexadecimal);

// "Brenlo3.tbl": for p = 0..63 the line  "name=",  followed by blanks up to
// 20 characters for the name, "// " and p as "00".  name is the trimmed
// short name (value 5) of record[p], "－－－" when empty or undefined.
std::string nameTableText(const ResultItemTable& items, const std::vector<int>& record);

// One heading cut to 6 code-page bytes at a whole character and filled with
// blanks to 6 bytes (6 blanks when empty).
std::string headingField(const std::string& heading);

// "Brenloid.org": the first headings (value 1) of record[0..63] one after
// the other, an extra blank after every eighth, CR LF after the 64th; then
// the second headings (value 2) the same way.
std::string headingTableText(const ResultItemTable& items, const std::vector<int>& record);

struct ResultTablesOutcome {
    Status status = Status::Ok;
    std::string failedFile;  // the file that could not be written
};

// Writes the three tables into folder.  record: the selection's codes of
// positions 0..63 (shorter lists leave the later positions empty).  With
// hexadecimal the position table takes its hexadecimal form.  Nothing is
// written when record is empty (Refused): an empty selection would make the
// logger record nothing.
ResultTablesOutcome writeResultTables(const std::string& folder, const ResultItemTable& items,
                                      const std::vector<int>& record, bool hexadecimal);

}  // namespace varenta
