#pragma once
// Every reading of the PC clock goes through a Clock, so schedules and dated
// names can be tested with a clock that tests set.
#include <cstdint>

namespace varenta {

struct DateTime {
    int year = 2000;  // four digits
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() const = 0;
    // Milliseconds from an arbitrary origin, never going backwards.
    virtual std::int64_t tickMs() const = 0;
};

class SystemClock final : public Clock {
public:
    DateTime now() const override;
    std::int64_t tickMs() const override;
};

class ManualClock final : public Clock {
public:
    explicit ManualClock(DateTime t = {}) : now_(t) {}
    DateTime now() const override { return now_; }
    std::int64_t tickMs() const override { return tick_; }
    void set(DateTime t) { now_ = t; }
    // Moves the date and time and the tick on by ms milliseconds.
    void advanceMs(std::int64_t ms);

private:
    DateTime now_;
    std::int64_t tick_ = 0;
};

// The clock of the running program (a SystemClock unless replaced).
Clock& appClock();
void setAppClock(Clock* clock);  // nullptr restores the system clock

// Calendar helpers.
bool isLeapYear(int year);
int daysInMonth(int year, int month);
// Adds minutes to a date and time (either sign), carrying across days,
// months and years.
DateTime addMinutes(DateTime t, long long minutes);
// Days since 1 Jan 1970 of a civil date.
long long daysFromCivil(int y, int m, int d);

}  // namespace varenta
