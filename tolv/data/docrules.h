#pragma once
// Rules of the document windows that need no window: the view kinds and
// their titles, the right-click menu bits, the help context of each pane,
// and the caret positions of the two tables.
#include <cstdint>
#include <string>

namespace varenta {

namespace viewkind {
constexpr int kRawTable = 0;
constexpr int kRawGraph = 1;
constexpr int kResultsTable = 2;
constexpr int kResultsGraph = 3;
constexpr int kPowerSpectrum = 4;
constexpr int kDirectional3d = 5;
constexpr int kComponentGraph = 6;
constexpr int kDirectionalContour = 7;
constexpr int kCount = 8;
}  // namespace viewkind

// Window title of a view kind; the component graph names wind when the
// open data are wind data.
std::string viewTitle(int kind, bool windData = false);
// Kinds that show text (the two tables); the others show a graph.
constexpr bool isTextView(int kind) { return kind == viewkind::kRawTable || kind == viewkind::kResultsTable; }

// Right-click menu: enable bits passed by the window that shows it.
namespace popupbit {
constexpr std::uint32_t kExecute = 0x01;
constexpr std::uint32_t kCalculate = 0x02;
constexpr std::uint32_t kConditions = 0x04;
constexpr std::uint32_t kErrorRow = 0x08;
constexpr std::uint32_t kModify = 0x10;
constexpr std::uint32_t kHelp = 0x20;
constexpr std::uint32_t kCopy = 0x40;
constexpr std::uint32_t kZoomIn = 0x80;
constexpr std::uint32_t kZoomOut = 0x100;
constexpr std::uint32_t kTextPane = 127;            // every item but the zoom sub-menus
constexpr std::uint32_t kRawOrResultsGraph = 493;   // redisplay, conditions, error row, help, copy, zoom
constexpr std::uint32_t kOtherGraph = 109;          // the same without zoom
}  // namespace popupbit

// Help context of a pane by view kind and the file's header version (19
// selects the second family of pages); anything else gives 1001.
int textPaneHelpContext(int kind, int headerVersion);
int graphPaneHelpContext(int kind, int headerVersion);
std::uint32_t graphPanePopupMask(int kind);

// The data number at a caret of the raw table.  The caret counts
// characters with two for each line end, rows hold valuesPerRow values of
// 8 characters (7 and a comma, the last without comma), so a row takes
// 8c + 1 characters plus leadWidth for a leading time column.  The row is at
// most the last row; a row or value count of 0 gives 0.
long long rawTableDataNumber(long long caret, int valuesPerRow, long long rowCount, int leadWidth = 0);
// The same caret from a row and a column within the row.
constexpr long long rawTableCaret(long long row, long long column, int valuesPerRow, int leadWidth = 0)
{
    return row * (8LL * valuesPerRow + 1 + leadWidth) + column;
}

// The measurement at a caret of the results table: line length L
// (characters including the line end), H heading lines, groups of G rows
// followed by a blank line.  A caret inside the headings gives p div L + 1;
// otherwise q = p - (L H + 2) and the measurement is
// (q div (L G + 2)) G + H + (q mod (L G + 2)) div L + 1.  Returns 0 when L
// or G is not positive.
long long resultsTableMeasurement(long long caret, long long lineLength, long long headingLines, long long groupRows);

// The Dno panel text of a value index: the index followed by
// "(mm:ss)", minutes and seconds since the burst's start; valuesPerMinute
// is samples per minute times displayed channels (0 gives the index alone).
std::string dataNumberText(long long index, long long valuesPerMinute);

}  // namespace varenta
