#pragma once
// The logger's device-information image (one 512-byte packet of kind 5, kept
// as "Brenlo.tbl") and the fields the device-information dialog shows and
// edits on its three tabs.
//
// Fields travel as texts keyed by the objectName of their control
// ("Text4_1", "Check4_0" ...): showFields() turns an image into the texts the
// controls show, writeFields() checks every text of one tab and writes the
// tab's fields back into an image.  A check box is "1" (ticked) or "0".
//
// Bits chosen for the check boxes of the first tab (one bit per box; every
// other bit of those bytes is left as read):
//   Check1_9 "ユビキタス機能"  byte 20 bit 0x01 (option flag 0x00000001)
//   Check1_0 "常時接続"        byte 20 bit 0x02 (option flag 0x00000002)
//   Check1_1 "サーバー運用"    byte 21 bit 0x01 (option flag 0x00000100)
//   Check1_7 "測定自動起動"    byte 61 bit 0x01
// The option-flag box Text1_4 shows the same 32 bits; when both are given the
// boxes win for their own bits (the dialog keeps them in step anyway).
//
// Read-only connection figures: P-Rty byte 50 (Text6_12), H-Err byte 51
// (Text6_11), T-Rty byte 52 (Text6_10), antenna bars byte 54 (Text2_5),
// connected mark byte 53 bit 0x01 (Check5_0).
#include "brenlo24/link/packet.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace varenta {

namespace devinfo {
constexpr std::size_t duration = 14, interval = 15, measureFlags = 16;
constexpr std::size_t optionFlags = 20;  // 4 bytes
constexpr std::size_t startMinute = 26, startHour = 27;
constexpr std::size_t autoCount = 41, baseMinute = 42, baseHour = 43, sendInterval = 44;
constexpr std::size_t changeCode = 45;
constexpr std::size_t resetSpeed = 47;    // high nibble
constexpr std::size_t pppRetries = 50, receiveErrors = 51, tcpRetries = 52;
constexpr std::size_t connected = 53;     // bit 0x01; bit 0x80: modem fitted (answer to "55")
constexpr std::size_t antenna = 54;
constexpr std::size_t frequency = 55;     // signed
constexpr std::size_t madeMonth = 56, madeYear = 57;
constexpr std::size_t autoStart = 61;     // bit 0x01
constexpr std::size_t modeFlags = 62;     // bit 0x01: the logger runs as an NR-5xx
constexpr std::size_t modelCode = 63;
constexpr std::size_t channelSlots = 64;  // slots 0-3 from the main window
constexpr std::size_t productWord = 90;   // 16 bits, shown for model codes from 24 on
constexpr std::size_t sendDelay = 93;
constexpr std::size_t ftpAddress = 96;    // 4 bytes
constexpr std::size_t processingBits = 145;
constexpr std::size_t coefficients = 256; // 64 16-bit slots
constexpr int coefficientSlots = 64;
}  // namespace devinfo

// Change codes of byte 45 and the read codes.
namespace devcode {
inline constexpr const char* kReadStored = "10";    // non-volatile values
inline constexpr const char* kReadCurrent = "20";   // values in RAM
constexpr std::uint8_t kTemporaryChange = 0x27;     // RAM only, answered
constexpr std::uint8_t kStoredChange = 0x77;        // non-volatile, then a reset
}  // namespace devcode

enum class DevTab { Connection = 0, Processing = 1, Coefficients = 2 };
// "装置／接続情報", "処理パラメータ", "係数情報".
const char* devTabName(DevTab t);

using FieldTexts = std::map<std::string, std::string>;

// What the first tab takes from the main window: duration, interval, start
// minute and hour, the measurement flags and channel slots 0-3.
struct MainWindowFields {
    CommandParameters params;
    std::uint8_t lastStatusFlags = 0;  // bit 2 of byte 16 comes from the last status
};
// The main-window fields that reproduce the image's own values (what the
// start controls show after the image has been read).
MainWindowFields mainWindowFieldsOf(const Packet& image);

// Line speed after a reset, high nibble of byte 47: 1200 -> 0 ... 38400 -> 5,
// 57600 -> 6, 115200 -> 7 (230400, 460800, 921600 -> 8, 9, 10).  nullopt
// for a speed the logger cannot be set to.
std::optional<int> resetSpeedCode(int speed);
std::optional<int> resetSpeedOf(int code);

// Frequency-counter reading of byte 55 (signed) by model code: model codes
// other than 20 and below 24 store (reading x 100 - 3276800) / 2, the others
// (reading - 32768) / 0.032768.
double frequencyReading(int stored, int modelCode);
long long frequencyStored(double reading, int modelCode);

// Coefficient slot of box Text5_i (A of a channel in even boxes, B in odd
// ones) for channels 1-16 or, with the CH32 switch, 17-32.
int coefficientSlot(int box, bool highChannels);

// The texts of every control of the tab, the read-only ones included.
FieldTexts showFields(const Packet& image, DevTab tab, bool highChannels = false);

struct FieldError {
    std::string control;  // objectName of the box
    std::string message;  // names the field and what it takes
};

// Checks every text of the tab and, when all are good, writes the tab's
// fields into image (nothing is written otherwise).  Texts missing from
// texts keep the image's value; read-only controls are ignored.
std::optional<FieldError> writeFields(Packet& image, DevTab tab, const FieldTexts& texts,
                                      const MainWindowFields& main, bool highChannels = false);

// One editable numeric field of the second tab.
struct ProcessingField {
    int index;          // Text4 index
    const char* name;   // for messages
    std::size_t offset;
    int width;          // bytes
    bool isSigned;
    int scale;          // stored = value x scale
    int decimals;
    const char* tip;
};
const std::vector<ProcessingField>& processingFields();

// Bits of byte 145 by Check4 index (index 3 is the CH32 switch, not a bit).
struct ProcessingBit {
    int index;
    std::uint8_t bit;
    const char* caption;
};
const std::vector<ProcessingBit>& processingBits();

}  // namespace varenta
