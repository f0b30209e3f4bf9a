#include "common/schedule.h"

namespace varenta {

namespace {
void storeTime(Settings& s, const ScheduleItems& it, long long minutesOfDay)
{
    long long t = minutesOfDay % 1440;
    if (t < 0)
        t += 1440;
    s.setInt(it.minuteItem, it.minuteValue, t % 60);
    s.setInt(it.hourItem, it.hourValue, (t / 60) % 24);
}
}  // namespace

std::optional<HourMinute> alignedScheduleTime(int interval, int hour, int minute, int nowHour, int nowMinute)
{
    if (interval <= 0)
        return std::nullopt;
    const long long a = interval;
    long long p = (static_cast<long long>(hour) * 60 + minute) % a;
    if (p < 0)
        p += a;
    const long long now = static_cast<long long>(nowHour) * 60 + nowMinute;
    long long next = (now / a) * a + p;
    if (next <= now)
        next += a;
    next %= 1440;
    return HourMinute{static_cast<int>(next / 60) % 24, static_cast<int>(next % 60)};
}

bool alignSchedule(Settings& s, const ScheduleItems& it, const DateTime& now)
{
    if (s.isBlank(it.intervalItem, it.intervalValue))
        return false;
    const auto t = alignedScheduleTime(static_cast<int>(s.integer(it.intervalItem, it.intervalValue)),
                                       static_cast<int>(s.integer(it.hourItem, it.hourValue)),
                                       static_cast<int>(s.integer(it.minuteItem, it.minuteValue)), now.hour, now.minute);
    if (!t)
        return false;
    storeTime(s, it, t->hour * 60LL + t->minute);
    return true;
}

bool scheduleDue(Settings& s, const ScheduleItems& it, const DateTime& now)
{
    const long long h = s.integer(it.hourItem, it.hourValue);
    const long long m = s.integer(it.minuteItem, it.minuteValue);
    const long long i = s.integer(it.intervalItem, it.intervalValue);
    if (h != now.hour || m != now.minute)
        return false;
    if (i == 1440 && now.second >= 1)
        return false;
    storeTime(s, it, h * 60 + m + i);
    return true;
}

}  // namespace varenta
