#pragma once
// What the main window's status panel shows of the current status record,
// and the channel-setting table that travels in bytes 64-79 of every
// packet.  Texts only: the window puts them into its labels.
#include "brenlo24/link/statusrecord.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace varenta {

// Indicator bits of the panel (one "■" each).
namespace indicator {
constexpr unsigned kSample10 = 1u << 0;   // "1.0"
constexpr unsigned kSample05 = 1u << 1;   // "0.5"
constexpr unsigned kSample02 = 1u << 2;   // "0.2"
constexpr unsigned kSample01 = 1u << 3;   // "0.1"
constexpr unsigned kUp = 1u << 4;         // "Up"
constexpr unsigned kFixed = 1u << 5;      // "Fx"
constexpr unsigned kXY = 1u << 6;         // "XY"
constexpr unsigned kStorage = 1u << 7;    // "St" 保管状態
constexpr unsigned kPreMeasure = 1u << 8; // "Sy" 予備測定状態
constexpr unsigned kWaiting = 1u << 9;    // "Sb" 測定待機状態
constexpr unsigned kMeasuring = 1u << 10; // "Ms" 測定状態
constexpr unsigned kChannel1 = 1u << 11;  // "C1" .. "C8": bits 11..18
}  // namespace indicator

constexpr int kPageValues = 8;       // values shown at once
constexpr int kPageWrap = 128;       // (512 - 256) / 2 values in the page
constexpr int kPageStep = 8;

struct StatusPanel {
    std::string number;       // Label3(1): measurement number "-" machine number, automatic-start digit
    std::string date;         // Label3(2): yy/mm/dd
    std::string time;         // Label3(3): hh:mm:ss
    std::string schedule;     // Label3(4): duration "/" interval
    std::string next;         // Label3(5): next measurement "hh:mm"
    std::string sdUsage;      // "##0.00" percent
    std::string battery;      // "#0.0" volts
    std::array<std::string, kPageValues> valueNumbers;  // Label2(6..13): "000"
    std::array<std::string, kPageValues> values;        // Label3(6..13)
    unsigned indicators = 0;
};

// The panel for a record.  deviceInfo: the record came from a
// device-information packet (the value boxes then show "-----").
StatusPanel statusPanelFor(const StatusRecord& r, int pageOffset, bool deviceInfo);

// The page offset moved by the ▲ / ▼ buttons, wrapping within the page.
int pageUp(int offset);    // +8, at or beyond 128 gives 0
int pageDown(int offset);  // -8, below 0 gives 120

// The channel-setting table: 16 slot bytes (0 unused; bit 7 in use, low 6
// bits the channel code) and what is derived from them for the channels in
// use, in slot order.
struct ChannelSettings {
    std::array<std::uint8_t, 16> slotValues{};
    std::vector<std::uint8_t> inUse;  // slot values of the channels in use
    std::uint32_t mask = 0;           // one bit per channel in use
    std::uint64_t packed = 0;         // low 4 bits of each, the first in the lowest 4 bits

    void setSlots(const std::array<std::uint8_t, 16>& s);
    void setSlot(int k, std::uint8_t value);
};

}  // namespace varenta
