#pragma once
// Program-wide state of the processing program as explicit objects: the
// start options of the command line, and the run-time words and switches.
// The application object owns one of each and passes them by reference.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace varenta {

// ---- start flags (command-line field 1, hexadecimal) ----
namespace startflag {
constexpr std::uint32_t kFileMode = 0x01;        // the scan works on single files ("ファイルモード")
constexpr std::uint32_t kFolderInit = 0x02;      // initialization file from the data file's folder
constexpr std::uint32_t kAltSelection = 0x04;    // result-item selection of item 166
constexpr std::uint32_t kWeeklyBackup = 0x10;    // weekly backup after automatic processing
constexpr std::uint32_t kProtected = 0x20;       // protection state on at start
constexpr std::uint32_t kNoExitConfirm = 0x40;   // no exit confirmation
constexpr std::uint32_t kDeviceTableHex = 0x100; // device table written in its hexadecimal form
constexpr std::uint32_t kUserFolderMode = 0x10000;  // sets kFileMode and kFolderInit; program folder is the user base
constexpr std::uint32_t kSerialOutput = 0x20000;    // serial output port opened at each initialization
constexpr std::uint32_t kCopyTemplates = 0x40000;   // user-folder creation copies the template sub-folders
}  // namespace startflag

// The command line: one argument of up to five comma-separated fields,
// each trimmed; an empty field leaves the default.
struct StartOptions {
    std::uint32_t flags = 0;   // field 1
    std::string initFile;      // field 2 (used when longer than 4 characters)
    std::string field3;        // field 3, passed on
    std::string userBase;      // field 4 (or the program folder with kUserFolderMode)
    std::string field5;        // field 5, a hexadecimal mask passed on
    std::uint32_t skipMask = 0;  // field 5 read as hexadecimal

    bool has(std::uint32_t flag) const { return (flags & flag) != 0; }
};

// Parses the argument string.  kUserFolderMode sets kFileMode and
// kFolderInit and makes programFolder the user-folder base (overriding
// field 4).
StartOptions parseStartOptions(std::string_view argument, const std::string& programFolder);

// ---- the run-time state word (saved as the window word, item 89 value 0) ----
namespace statebit {
constexpr std::uint32_t kFileOpen = 0x01;         // a master file is open
constexpr std::uint32_t kSaveDocGeometry = 0x04;  // document-window positions are saved on exit
constexpr std::uint32_t kConditionsOpen = 0x10;   // the conditions dialog is open
constexpr std::uint32_t kStepping = 0x20;         // a scroll or stepping action is in progress
constexpr std::uint32_t kMinimised = 0x40;        // window state x 64: minimised
constexpr std::uint32_t kMaximised = 0x80;        // window state x 64: maximised
constexpr std::uint32_t kWindowStateMask = 0xC0;
constexpr std::uint32_t kRawLoaded = 0x2000;      // raw data of the current measurement loaded
constexpr std::uint32_t kProcessed = 0x4000;      // the current measurement has been processed
constexpr std::uint32_t kTextViewsMask = 0x1F00;  // any of view kinds 0..4 open
constexpr std::uint32_t kOtherViewsMask = 0x70000;  // any of view kinds 5..7 open
// Bits cleared when the window word is loaded (besides 0x01..0x10).
constexpr std::uint32_t kClearedOnLoad = 0x1F | 0xE000;
// Open-window bit of a view kind (0..7).
constexpr std::array<std::uint32_t, 8> kViewOpen = {0x100, 0x200, 0x400, 0x800, 0x1000, 0x10000, 0x20000, 0x40000};
constexpr std::uint32_t viewBit(int kind) { return kind >= 0 && kind < 8 ? kViewOpen[static_cast<std::size_t>(kind)] : 0; }
}  // namespace statebit

// ---- the run word (item 89 value 1) ----
namespace runword {
constexpr std::uint32_t kSavedMask = 0x3003;
constexpr std::uint32_t kAppliedMask = 0x2003;
}  // namespace runword

// ---- the automatic-function word (item 85 value 4) ----
namespace autofn {
constexpr std::uint32_t kTablePrint = 0x02;
constexpr std::uint32_t kGraphPrint = 0x04;
constexpr std::uint32_t kProcessing = 0x08;
constexpr std::uint32_t kDownload = 0x20;
constexpr std::uint32_t kWebUpload = 0x10;   // after processing, upload the pages with the FTP script
constexpr std::uint32_t kWebCopy = 0x40;     // after processing, copy the pages to the web folder
constexpr std::uint32_t kFolderInit = 0x40;  // set at load with start flag kFolderInit but not kUserFolderMode
constexpr std::uint32_t kAnyTimed = kTablePrint | kGraphPrint | kProcessing | kDownload;
}  // namespace autofn

// ---- the second switch word (item 85 value 5) ----
namespace switch2 {
constexpr std::uint32_t kDirectional = 0x04;   // directional spectra computed and drawn
constexpr std::uint32_t kUltrasonic = 0x08;    // ultrasonic level used by the directional spectrum
// Only the run switches are cleared when the settings are loaded; the
// directional spectrum and level switches of the dialog are kept.
constexpr std::uint32_t kClearedOnLoad = 0x10 | 0x20;
constexpr std::uint32_t kWaveStatistics = 0x40;  // "波浪統計を計算する": statistics from the raw bursts
constexpr std::uint32_t kTimeColumn = 0x100;   // raw table starts each line with the sample time
constexpr std::uint32_t kRawWebCopy = 0x200;   // raw table web copy
}  // namespace switch2

// ---- the processing switch word W (item 95 value 4) ----
namespace switchw {
constexpr std::uint32_t kWindSet = 0x20;  // bit 5: alternate (wind) result-item set
}  // namespace switchw

// The words and switches that live for the whole run.
struct RuntimeState {
    std::uint32_t stateWord = 0;    // run-time state word (statebit)
    std::uint32_t runWord = 0;      // run word (runword)
    std::uint32_t autoWord = 0;     // automatic-function word (autofn)
    std::uint32_t switchWord2 = 0;  // second switch word (switch2)
    bool protection = false;        // saving the settings does nothing
    bool barrierMark = false;       // the check mark of the protection menu entry
    bool noSamples = false;         // a results-only header is on display: sample views stay closed
    bool windSet = false;           // alternate result-item set in use
    bool noSignReversal = false;    // component channels keep their sign (logger flag bit 6)
    bool stopRequest = false;       // set by the stop commands
    bool busy = false;              // a long command runs in the busy state
    int pendingWork = 0;            // process waits and timer-driven transfers under way

    bool state(std::uint32_t bit) const { return (stateWord & bit) != 0; }
    void setState(std::uint32_t bit, bool on) { stateWord = on ? (stateWord | bit) : (stateWord & ~bit); }
};

// ---- windows, as the save of the settings needs them ----
struct WindowGeometry {
    int top = 0, left = 0, width = 0, height = 0;
};
enum class WindowShow { Normal = 0, Minimised = 1, Maximised = 2 };
struct DocumentWindowInfo {
    bool open = false;
    bool normal = false;  // open and in the normal (not minimised or maximised) state
    WindowGeometry geometry;
};

}  // namespace varenta
