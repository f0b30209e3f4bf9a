#pragma once
// Automatic collection: the clock check that Timer1 runs every 300 ms, the
// command it sends without confirmation, and the next time.
//
// Due when the PC clock shows the hour and minute of the schedule (with
// option flag 0x400 only in second 15).  When due, the next time is set at
// once (hour x 60 + minute + interval, on a 24-hour clock).  An interval of
// 1440 minutes leaves the time where it is, so the check also remembers
// the clock minute it fired in and never fires twice in the same minute;
// the collection of a 1440-minute schedule runs in the first five seconds
// of its minute (in second 15 with flag 0x400).
#include "common/clock.h"

#include <cstdint>
#include <string>

namespace varenta {

struct AutoCollectSchedule {
    int hour = 0;       // Combo4(0)
    int minute = 11;    // Combo4(1)
    int interval = 60;  // Combo4(2), minutes
    long long firedMinute = -1;  // clock minute (days x 1440 + minutes) of the last firing
};

struct AutoCollectTick {
    bool due = false;        // the schedule time was reached (next time moved)
    bool send = false;       // and the collection box is ticked: send now
    std::string code;        // "54", "D4", "16" or "96"
    std::int32_t firstNumber = -1;
    std::int32_t lastNumber = 0;
};

// The code of an automatic collection: results box "96" (flag 0x10) or
// "16", otherwise "D4" (flag 0x10) or "54".
std::string autoCollectCode(bool resultsBox, std::uint32_t optionFlags);

// One clock check.  enabled: Check3(0); resultsBox: Check3(6);
// firstNumber: the first number for automatic collection (-1 unless the
// option flags give another).  The schedule's time is moved when due.
AutoCollectTick autoCollectCheck(AutoCollectSchedule& s, const DateTime& now, std::uint32_t optionFlags, bool enabled,
                                 bool resultsBox, int firstNumber);

}  // namespace varenta
