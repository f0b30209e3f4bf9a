#pragma once
// The processing-conditions dialog without its widgets: which control shows
// which initialization value or switch bit, which parts of the display an
// edit makes stale, the values read from and stored into the table, the
// Update sequence, the editors of the result-item lists and the register of
// master files.  The dialog (ui/form3) only mirrors its widgets into a
// ConditionsForm; the main window is reached through ConditionsHost.
#include "common/appstate.h"
#include "common/resultitems.h"
#include "common/settings.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace varenta {

// ---- stale marks, collected from the first edit to the next Update ----
namespace conditionmark {
constexpr std::uint32_t kTimers = 0x0020;         // automatic-function switches: reapply the timers
constexpr std::uint32_t kReprocess = 0x0040;      // processing constants: reprocess the measurement
constexpr std::uint32_t kItemLists = 0x0080;      // result-item lists: rebuild the item mapping
constexpr std::uint32_t kRawGraph = 0x0200;       // raw graph: redisplay the measurement
constexpr std::uint32_t kResultsTable = 0x0400;   // results table layout: rebuild the table view
constexpr std::uint32_t kResultsGraph = 0x0800;   // results graph: redraw it
constexpr std::uint32_t kWebPage = 0x1000;        // web page settings: stored only
constexpr std::uint32_t kWebFile = 0x8000;        // web file name: store it and merge the file
}  // namespace conditionmark

// Help contexts of the tabs 0..4 (right-click help of the dialog).
inline constexpr std::array<int, 5> kConditionsTabHelp = {1007, 1005, 1004, 1014, 1008};

// The start flag that shows the results-file list mode and the save of the
// result-item tables.
constexpr std::uint32_t kRecordItemsEditFlag = 0x8000;

constexpr int kListCapacity = 64;  // entries of an item list at most
constexpr int kWebFileItem = 83;   // item 83 value 0: the web file
constexpr int kLaneChannelItem = 178;

// ---- the mapping of the controls ----
enum class ControlKind {
    Text,      // text field or editable combo: the value as typed
    Check,     // "1" ticked, "0" not
    Colour,    // decimal colour number (red in the low byte)
    ItemCode,  // results-graph item box: the list position, which is the result code
};

enum class ControlTarget {
    Item,        // item/value of the table
    AutoBit,     // bit of the automatic-function word (item 85 value 4)
    Switch2Bit,  // bit of the second switch word (item 85 value 5)
    StartFlag,   // bit of the start flags (held for the run only)
    None,        // shown only
};

struct ControlBinding {
    const char* name;  // objectName: Text1_10, Check1_0, Combo3_8, Label4_2 ...
    ControlKind kind;
    ControlTarget target;
    int item;             // Item: item number
    int value;            // Item: value number
    std::uint32_t bit;    // AutoBit, Switch2Bit, StartFlag
    std::uint32_t marks;  // stale marks of a change
    int tab;              // tab of SSTab1 (0..4)
};

// Every control stored by Update (and Text1_13, Text1_14, shown only).  The
// second boxes of the exclusive pairs (Check2_1, Check5_1), the lane channel
// boxes Combo2_i (stored at once), the item lists, the web file Text2, the
// master files of Combo1 and the header text Text3 are handled apart.
const std::vector<ControlBinding>& conditionBindings();
const ControlBinding* findBinding(const std::string& name);

// Stale marks of a change of a control (bound controls, the list boxes
// List1_0 and List1_2, Text2, Combo2_i, Check2_*, Check5_*); 0 for a
// control whose change marks nothing or that is unknown.
std::uint32_t marksFor(const std::string& name);

// The schedule fields refreshed when the scheduler moves a time: download
// (Text1_7, Text1_8), printing (Text1_19, Text1_20), processing (Text1_22,
// Text1_23).
const std::vector<std::string>& scheduleFieldNames();

// ---- the values of the controls ----
struct ConditionsForm {
    // Bound controls by name (texts as typed, checks "1"/"0", colours as
    // decimal text, item codes as the code); Check2_1 and Check5_1 too.
    std::map<std::string, std::string> values;
    // Item lists: the table's columns (value 0 of the selection item), the
    // results file's positions 0..63 (value 1) and the web page's items
    // (value 2).
    std::vector<int> tableCodes;
    std::vector<int> recordCodes;
    std::vector<int> webCodes;
    // The registered master files (item 98 values 0..7, blanks left out);
    // stored only when the register was changed in the dialog.
    std::vector<std::string> masterFiles;
    bool masterFilesChanged = false;
    std::string webFile;  // Text2 (item 83 value 0)

    const std::string& value(const std::string& name) const;
    bool checked(const std::string& name) const { return value(name) == "1"; }
    void set(const std::string& name, std::string v) { values[name] = std::move(v); }
    void setChecked(const std::string& name, bool on) { values[name] = std::string(1, on ? '1' : '0'); }
};

// The form as the table and the words stand.  selectionItem is the active
// selection item L.
ConditionsForm readConditions(const Settings& s, const RuntimeState& state, std::uint32_t startFlags,
                              int selectionItem);

// Refills only the three item lists from the table.
void readItemLists(ConditionsForm& form, const Settings& s, int selectionItem);

// Stores every control into the table and the words (Update step 1, less
// the header priority copy): the three lists (value 1 padded with code 064
// to 65 codes), the second switch word bits 0x04 and 0x08 (others kept),
// the automatic-function word bits 0x0001..0x8000 rebuilt from their check
// boxes (higher bits kept), the auto-backup start flag, and all items.  The
// words are written into the table as well (item 85 values 4 and 5).  The
// web file is not stored here (Update step 3).
void storeConditions(const ConditionsForm& form, Settings& s, RuntimeState& state, std::uint32_t& startFlags,
                     int selectionItem);

// The selection list of value 1: the codes padded with 064 to 65 entries
// (at most 65 kept).
std::vector<int> paddedRecordCodes(const std::vector<int>& codes);

// ---- what the dialog needs of the main window ----
class ConditionsHost {
public:
    virtual ~ConditionsHost() = default;

    // Program-wide objects.
    virtual Settings& settings() = 0;
    virtual RuntimeState& runtime() = 0;
    virtual std::uint32_t startFlags() const = 0;
    virtual void setStartFlags(std::uint32_t flags) = 0;
    virtual std::string programFolder() const = 0;
    virtual const ResultItemTable& resultItems() const = 0;
    // The active selection item L (165 .. 168).
    virtual int selectionItem() const = 0;

    // Update.
    // Header priority: copy the processing conditions of the open
    // measurement's header into the table.
    virtual void copyHeaderConditions() = 0;
    // 0x0080: rebuild the mapping between record positions and codes.
    virtual void rebuildItemMapping() = 0;
    // 0x8000: merge the arrived file into its master file; the master
    // file's path, or "" when nothing was merged.
    virtual std::string mergeArrivedFile(const std::string& source) = 0;
    // 0x0040: reprocess the current measurement (stepping run, reprocess).
    virtual void reprocess() = 0;
    virtual bool resultsTableOpen() const = 0;
    virtual void rebuildResultsTable() = 0;  // 0x0400
    virtual void redisplay() = 0;            // 0x0200
    virtual void redrawResultsGraph() = 0;   // 0x0800
    virtual void reapplyTimers() = 0;        // 0x0020

    // Raw graph lanes: the channel entries ("1 水圧" ...; the 1-based
    // number first) and the lane's channel, stored at once.
    virtual std::vector<std::string> laneChannelNames() const = 0;
    virtual void setLaneChannel(int lane, int channelIndex) = 0;

    // The header information of the measurement on display (Text3).
    virtual std::string headerInformation() const = 0;

    // The manual download (tolvd.txt through the FTP client); false when
    // the program has no download.
    virtual bool runDownload() = 0;

    // Right-click help of the dialog with a help context, at a screen point.
    virtual void contextHelp(int context, int globalX, int globalY) = 0;
    // A text for the status panel.
    virtual void setStatusText(const std::string& text) = 0;
};

// What an Update did.
struct UpdateOutcome {
    bool headerCopied = false;
    bool mappingRebuilt = false;
    bool merged = false;          // the merge ran
    bool webFileCleared = false;  // the merge returned no path: Text2 and item 83 value 0 cleared
    bool reprocessed = false;
    bool resultsTableRebuilt = false;
    bool redisplayed = false;
    bool resultsGraphRedrawn = false;
    bool timersReapplied = false;
    // The whole form was read again from the table (after the header
    // priority copy); otherwise the lists were refilled when lists is set.
    bool formReloaded = false;
    bool listsRefilled = false;
};

// Update: stores every control, copies the header's conditions when header
// priority is on (and reads the form back), rebuilds the item mapping
// (0x0080), stores and merges the web file (0x8000), reprocesses (0x0040)
// or else rebuilds the results table (0x0400, when open), redisplays
// (0x0200) and redraws the results graph (0x0800), and reapplies the timers
// (0x0020).  marks is cleared.  The table is not saved to its file here.
UpdateOutcome runConditionsUpdate(ConditionsForm& form, std::uint32_t& marks, ConditionsHost& host);

// ---- item lists ----
// The list entry of a code: "NNN name" (the short name, trimmed; "－－－"
// when empty or undefined).
std::string itemListEntry(const ResultItemTable& items, int code);
// The short name alone ("－－－" when empty or undefined).
std::string itemShortName(const ResultItemTable& items, int code);

enum class ListOp { Insert, Replace, Delete, Blank, Clear };

struct ListEditResult {
    bool changed = false;
    int selection = -1;  // the left list's selection afterwards
};

// One list button on the left list.  leftSel / rightCode: the selections
// (-1 none).  Insert puts rightCode above the left selection (at the end when
// the left list has none); Replace puts rightCode in place of the left
// selection; Delete removes it; Blank puts code 064 above the left selection
// (at the end when none); Clear empties the list.  A button whose selection
// is missing does nothing, and Insert and Blank do nothing when the list
// holds 64 entries.
ListEditResult editItemList(std::vector<int>& left, ListOp op, int leftSel, int rightCode);

// ---- registered master files (Combo1) ----
enum class RegisterResult { Added, Removed, Ignored };
// A path chosen for the register: removed when already registered,
// otherwise put first (the eighth drops out).  Blank paths are ignored.
RegisterResult registerMasterFile(std::vector<std::string>& files, const std::string& path);

// ---- value lists of the combo boxes (item 65) ----
// Fixed-width entries of a value list, trimmed; blank entries end the list.
std::vector<std::string> fixedWidthEntries(const std::string& text, std::size_t width);

// ---- manual download ----
inline constexpr const char* kDownloadTitle = "ＦＴＰダウンロードの注意";
inline constexpr const char* kDownloadQuestion =
    "ファイル\"tolvd.txt\"の内容で、サービスサーバからＦＴＰでダウンロードします。 よろしいですか？";

}  // namespace varenta
