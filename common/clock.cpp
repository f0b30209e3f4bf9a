#include "common/clock.h"

#include <chrono>
#include <ctime>

namespace varenta {

DateTime SystemClock::now() const
{
    using namespace std::chrono;
    const auto tp = system_clock::now();
    const std::time_t t = system_clock::to_time_t(tp);
    std::tm tm{};
    localtime_r(&t, &tm);
    DateTime d;
    d.year = tm.tm_year + 1900;
    d.month = tm.tm_mon + 1;
    d.day = tm.tm_mday;
    d.hour = tm.tm_hour;
    d.minute = tm.tm_min;
    d.second = tm.tm_sec;
    d.millisecond = static_cast<int>(duration_cast<milliseconds>(tp.time_since_epoch()).count() % 1000);
    return d;
}

std::int64_t SystemClock::tickMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12)
        return 31;
    return (m == 2 && isLeapYear(y)) ? 29 : days[m - 1];
}

long long daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153u * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2u) / 5u + static_cast<unsigned>(d) - 1u;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

static void civilFromDays(long long z, int& y, int& m, int& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

DateTime addMinutes(DateTime t, long long minutes)
{
    long long total = daysFromCivil(t.year, t.month, t.day) * 1440 + t.hour * 60 + t.minute + minutes;
    long long days = total >= 0 ? total / 1440 : -((-total + 1439) / 1440);
    long long rem = total - days * 1440;
    civilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(rem / 60);
    t.minute = static_cast<int>(rem % 60);
    return t;
}

void ManualClock::advanceMs(std::int64_t ms)
{
    tick_ += ms;
    long long totalMs = now_.second * 1000LL + now_.millisecond + ms;
    long long carryMin = totalMs >= 0 ? totalMs / 60000 : -((-totalMs + 59999) / 60000);
    totalMs -= carryMin * 60000;
    now_.second = static_cast<int>(totalMs / 1000);
    now_.millisecond = static_cast<int>(totalMs % 1000);
    if (carryMin)
        now_ = addMinutes(now_, carryMin);
}

namespace {
SystemClock g_system;
Clock* g_clock = &g_system;
}  // namespace

Clock& appClock() { return *g_clock; }
void setAppClock(Clock* c) { g_clock = c ? c : &g_system; }

}  // namespace varenta
