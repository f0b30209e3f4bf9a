#pragma once
// The three schedules of the automatic functions (download, processing,
// printing): a next hour, a next minute and an interval in minutes, all
// held as decimal text in the initialization table.
#include "common/clock.h"
#include "common/settings.h"

#include <optional>

namespace varenta {

struct ScheduleItems {
    int hourItem, hourValue;
    int minuteItem, minuteValue;
    int intervalItem, intervalValue;
};
constexpr ScheduleItems kDownloadSchedule{83, 6, 83, 7, 83, 5};
constexpr ScheduleItems kProcessingSchedule{67, 6, 67, 7, 68, 4};
constexpr ScheduleItems kPrintSchedule{66, 6, 66, 7, 66, 5};

struct HourMinute {
    int hour = 0;
    int minute = 0;
};

// The next time of a schedule aligned to the present: with interval A and
// stored time B:C, P = (60B + C) mod A and now = 60h + m; the next time is
// (now div A) x A + P, plus A when that is not later than now; the result
// is taken modulo a day.  nullopt when A is not positive.
std::optional<HourMinute> alignedScheduleTime(int interval, int hour, int minute, int nowHour, int nowMinute);

// Aligns one schedule of the table in place; returns false (and leaves the
// table alone) when its interval is blank or not positive.
bool alignSchedule(Settings& s, const ScheduleItems& items, const DateTime& now);

// The schedule check of a timer tick: due only in the stored hour and
// minute; a daily schedule (1440) only in second 0.  When due, the next time
// (stored time + interval, modulo a day) is stored and true is returned.
bool scheduleDue(Settings& s, const ScheduleItems& items, const DateTime& now);

}  // namespace varenta
