#pragma once
// Fixed pieces of the processing program's start-up: the user-folder base,
// the error row used to blank a results record, the file-dialog filter, the
// version text and the program files named by the shell.
#include "common/appstate.h"

#include <string>

namespace varenta {

// The base folder of the user folders, decided once at start-up:
//   - with start flag 0x10000, the program folder (already in options);
//   - else command-line field 4 when given;
//   - else, when the program folder's name ends with "vnt" (any case), its
//     parent folder;
//   - else the default base: "RudeDarIvaz/LocalUser" under the user's home
//     folder (HOME), or under the program folder when HOME is not set.
std::string userFolderBase(const StartOptions& options, const std::string& programFolder, const char* home);

// The row written over a results record by the error-row command: 64
// fields of 5 characters, "-----", "   00", " 1/ 1", " 0:00" and sixty
// "-----"; fields of a group of eight joined by ",", groups by ", ", ended
// by CR LF.  392 characters.
std::string errorRow();

// Filter of the open dialog, groups separated by "|" as pairs of caption
// and patterns.
std::string openDialogFilter();
constexpr const char* kOpenDialogTitle = "ファイルを開く";

// "VarentaK Version 4.8.241D"; "...W" with start flag 0x02 alone, "...w"
// with 0x01 and 0x02.  The folder icon ("tolv-01.ICO") is used with 0x02.
std::string tolvVersionText(std::uint32_t startFlags);
bool tolvUsesFolderIcon(std::uint32_t startFlags);
constexpr const char* kFolderIconName = "tolv-01.ICO";

// Caption of the main window with no file open, and with one.
constexpr const char* kIdleCaption = "Varentix";
std::string tolvCaption(const std::string& measurementPath, const std::string& resultsPath);

}  // namespace varenta
