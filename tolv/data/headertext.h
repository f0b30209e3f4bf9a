#pragma once
// Texts made from a measurement header: the time shift applied before the
// date and time texts are formed, the header information box, the status
// panel texts, and the copy of the logger's own processing settings into
// the initialization table.
#include "common/appstate.h"
#include "common/masterfile.h"
#include "common/settings.h"

#include <cstdint>
#include <string>

namespace varenta {

// Days of a month for a two-digit year: February has 29 days when the year
// is divisible by 4.  Months out of range count 31.
int monthLengthTwoDigitYear(int month, int year);

// Minutes added by the time-shift setting (item 66 value 0): "1" the middle
// of the burst (duration div 2), "2" its end (duration), else 0.
int timeShiftMinutes(const Settings& s, int durationMinutes);

// Adds minutes to the start time of a header sector copy (offsets 8..13)
// with the carries minute -> hour -> day (by month length) -> month -> year
// (100 becomes 0).
void shiftHeaderTime(std::uint8_t* sector, int minutes);

// The decode options the settings ask for: item 96 value 0 "1" decodes the
// logger's extras, item 86 value 5 (hex) overrides processingFlags, item 96
// value 4 overrides the sample interval (seconds).
HeaderDecodeOptions decodeOptionsFrom(const Settings& s);

// The header information text (fifteen possible lines, each ended by CR LF).
// showErrorCode: the data-error line shows dataErrorCode; otherwise it shows
// the header's dataErrorFlags when loggerSettings (item 96 value 0 is "1").
std::string headerInfoText(const MeasurementHeader& h, bool showErrorCode, int dataErrorCode, bool loggerSettings);

// "No." machine "-" newest number " " duration "/" interval: "No.12-345 20/60".
std::string mnoText(const MeasurementHeader& h, std::int64_t latestNumber);
// The measurement number, with "(" subNumber ")" unless the model code is
// below item 91 value 4.
std::string snoText(const MeasurementHeader& h, std::int64_t currentNumber, const Settings& s);

// Copies the logger's processing settings of a kind-3 header into the
// table: resets item 96 value 0 to "0" for model codes below 19; with item
// 96 value 0 "1" writes the extended block by its formats, item 99 value 7
// from processingFlags bit 1, the sign-reversal switch from bit 6, and the
// switch word W of item 95 value 4 from bits 5 and 2.
void applyLoggerSettings(Settings& s, RuntimeState& state, const MeasurementHeader& h);

// True when the channel list calls for the alternate (wind) result items:
// a type-4 channel and no type-1 or type-12 channel.
bool wantsAlternateItems(const MeasurementHeader& h);

}  // namespace varenta
