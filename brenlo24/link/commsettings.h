#pragma once
// The communication program's settings: start values, the command line
// (up to eight comma-separated items), the option flags, the alignment of
// the automatic collection time, and the tables read at start-up
// ("tolvf.org" channel types for the type combos, "tolvi.org" result-list
// layout).
#include "common/channeltable.h"
#include "common/clock.h"
#include "common/settings.h"
#include "common/status.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varenta {

// Option flags (command-line item 5, hexadecimal).
namespace optflag {
constexpr std::uint32_t kAutoFirstMask = 0x0000000F;    // first number = -(flags & 0xF)
constexpr std::uint32_t kAutoHighBit = 0x00000010;      // automatic codes with bit 7 set
constexpr std::uint32_t kTickAutoCollect = 0x00000100;  // Check3(0) ticked at start-up
constexpr std::uint32_t kTmpNames = 0x00000200;         // ".tmp" master files
constexpr std::uint32_t kSecond15 = 0x00000400;         // collection check only at second 15
constexpr std::uint32_t kTempChangeMode = 0x00000800;   // device information: temporary change
constexpr std::uint32_t kApnRun = 0x00004000;           // monitor buttons run the APN variant
constexpr std::uint32_t kExtended = 0x00008000;         // extended operation
constexpr std::uint32_t kAppendResults = 0x00010000;    // result lines appended
constexpr std::uint32_t kTickResults = 0x00040000;      // Check3(6) ticked at start-up
constexpr std::uint32_t kUploadItemTable = 0x00100000;  // upload "Brenlo2.tbl"
constexpr std::uint32_t kUploadIndex62 = 0x00400000;    // upload "index62.txt"
}  // namespace optflag

// Lists of the main window's combos.
extern const std::vector<int> kSpeedList;             // Combo2
extern const std::vector<int> kDurationList;          // Combo3(0)
extern const std::vector<int> kIntervalList;          // Combo3(1)
extern const std::vector<int> kAutoIntervalList;      // Combo4(2)
constexpr int kPortCount = 20;                        // Combo1: COM1 ... COM20

struct CommSettings {
    int portNumber = 1;
    int selectedSpeed = 38400;
    int activeSpeed = 0;           // speed of the last successful open; 0 none yet
    int machineNumber = 255;
    std::uint32_t optionFlags = 0;
    int autoFirstNumber = -1;      // first measurement number of an automatic collection
    int autoHour = 0;              // Combo4(0)
    int autoMinute = 11;           // Combo4(1)
    int autoInterval = 60;         // Combo4(2)
    int pageOffset = 0;            // data page of the status panel
    static constexpr int kPacketSize = 512;
    static constexpr int kPageSpan = 256;
    static constexpr int kWakeUpPauseMs = 20;
    std::string helpFile = "brenlo24.chm";

    bool extended() const { return optionFlags & optflag::kExtended; }
};

// Applies the command line to the settings.  Items are separated by ","
// and trimmed; an empty item is skipped but counts as a position:
// 1 port ("COM" + number, any case: the number is the text after the first
// three characters), 2 line speed, 3 machine number, 4 not used, 5 option
// flags (hexadecimal, no prefix), 6 automatic-collection hour, 7 minute,
// 8 interval in minutes.  An item that does not read as its kind leaves
// its setting alone and is reported in the returned list.
std::vector<std::string> applyCommandLine(std::string_view line, CommSettings& s);

// The option flags' first number for automatic collection: -(flags & 0xF)
// when not 0, else -1.
int autoFirstNumberFor(std::uint32_t optionFlags);

// Next automatic collection time at start-up: the configured phase
// (hour * 60 + minute) mod interval on the interval's grid, the first
// slot after now.  Returns minutes since midnight of the result, already
// reduced to a clock time by the caller's (t / 60) mod 24 and t mod 60.
int alignedCollectionMinutes(int hour, int minute, int interval, const DateTime& now);

// The channel types of the type combos: value 0 of codes 0..N of
// "tolvf.org", trimmed, and the hexadecimal addend of value 4.
struct ChannelTypes {
    std::vector<std::string> names;
    std::vector<int> addend;
    Status status = Status::NotFound;

    // The slot byte for list position r (0 or none: channel not used).
    std::uint8_t slotFor(int r) const;
    // The list position shown for a slot byte: code (slot & 0x3F) when
    // bit 7 is set, else -1 (blank).
    static int positionFor(std::uint8_t slot) { return (slot & 0x80) ? (slot & 0x3F) : -1; }
};
ChannelTypes channelTypesFrom(const ChannelTable& table);
ChannelTypes loadChannelTypes(const std::string& path);

// What the communication program takes from "tolvi.org": item 165 value 1,
// the result-list layout (three-digit codes), and the position of code 6
// (the measurement number) in it.
struct ResultListLayout {
    std::vector<int> codes;
    int numberField = 0;  // position of code 6; 0 when absent
    Status status = Status::NotFound;
};
ResultListLayout resultListLayoutFrom(const Settings& s);

}  // namespace varenta
