#pragma once
// Rules of the main window that need no window to be checked: the exit
// question, the right-click menu's enable mask, the clock and scheduler
// switch and the texts of the scan tick.
#include "common/appstate.h"
#include "tolv/data/docrules.h"

#include <cstdint>
#include <optional>
#include <string>

namespace varenta {

// ---- exit ----
struct ExitQuestion {
    std::string title;  // "自動機能停止の警告"
    std::string text;
};
// The question asked before the program ends, or nullopt when it ends
// without asking: start flag 0x40, no automatic function on, or a shutdown
// of the session.
std::optional<ExitQuestion> exitQuestion(std::uint32_t autoWord, std::uint32_t startFlags, bool sessionEnding);

// ---- right-click menu (bits in tolv/data/docrules.h) ----
// State bits that allow the menu at all (a view open or a file-level state).
constexpr std::uint32_t kPopupStateMask = 0x31F18;

struct PopupItems {
    bool execute = false, calculate = false, conditions = false, errorRow = false, modify = false;
    bool help = false, copy = false, zoomIn = false, zoomOut = false;
};
// Whether the menu shows at all, and which items are enabled.  graphActive:
// the active document window's active control is its graph picture.
bool popupAllowed(std::uint32_t stateWord);
PopupItems popupItems(std::uint32_t mask, std::uint32_t stateWord, bool graphActive);

// ---- clock and scheduler ----
// Timer1 and Timer3 run, and Rtime is plain text, when any of the timed
// automatic functions (0x02, 0x04, 0x08, 0x20) is on.
bool automaticTimersOn(std::uint32_t autoWord);
// Rtime texts: with seconds while automatic functions run, else hh:mm.
std::string clockText(int hour, int minute, int second, bool withSeconds);

// ---- scan tick (Timer2) ----
// " ファイルモード" with start flag 0x01, else " フォルダモード"; then
// "スキャン開始-" or "スキャン終了-" and the user-folder base.
std::string scanTickText(std::uint32_t startFlags, bool starting, const std::string& userBase);

}  // namespace varenta
