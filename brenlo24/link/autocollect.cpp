#include "brenlo24/link/autocollect.h"

#include "brenlo24/link/commsettings.h"

namespace varenta {

namespace {

constexpr int kMinutesPerDay = 1440;

}  // namespace

std::string autoCollectCode(bool resultsBox, std::uint32_t optionFlags)
{
    const bool high = optionFlags & optflag::kAutoHighBit;
    if (resultsBox)
        return high ? "96" : "16";
    return high ? "D4" : "54";
}

AutoCollectTick autoCollectCheck(AutoCollectSchedule& s, const DateTime& now, std::uint32_t optionFlags, bool enabled,
                                 bool resultsBox, int firstNumber)
{
    AutoCollectTick t;
    const bool second15 = optionFlags & optflag::kSecond15;
    if (second15 && now.second != 15)
        return t;
    if (now.hour != s.hour || now.minute != s.minute)
        return t;
    // A schedule of one day keeps its time; without the second-15 rule the
    // first five seconds of the minute are its window.
    if (s.interval == kMinutesPerDay && !second15 && now.second >= 5)
        return t;
    const long long clockMinute = daysFromCivil(now.year, now.month, now.day) * kMinutesPerDay + now.hour * 60 + now.minute;
    if (clockMinute == s.firedMinute)
        return t;
    s.firedMinute = clockMinute;

    t.due = true;
    const int next = s.hour * 60 + s.minute + s.interval;
    s.hour = (next / 60) % 24;
    s.minute = next % 60;
    if (enabled) {
        t.send = true;
        t.code = autoCollectCode(resultsBox, optionFlags);
        t.firstNumber = firstNumber;
        t.lastNumber = 0;
    }
    return t;
}

}  // namespace varenta
