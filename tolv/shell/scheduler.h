#pragma once
// One tick of the main window's scheduler (Timer1, every 300 ms): the
// automatic download, processing and printing, each when its switch is on
// and its schedule is due.  The jobs themselves belong to other parts of the
// program and are handed in; a job not given is skipped (its schedule still
// moves on).
#include "common/clock.h"
#include "common/settings.h"

#include <cstdint>
#include <functional>
#include <string>

namespace varenta {

struct SchedulerJobs {
    std::function<void()> download;
    // Automatic processing of the master file named in item 98 value 0.
    std::function<void(const std::string& masterPath)> processing;
    // Table printing of the current record; printerSetting is item 68
    // value 5 (0 = none).
    std::function<void(int printerSetting)> printTable;
    std::function<void()> printGraph;
    std::function<void(const std::string& text)> status;
    // A schedule moved on (the conditions dialog refreshes its fields).
    std::function<void()> schedulesMoved;
};

struct TickResult {
    bool download = false, processing = false, printTable = false, printGraph = false;
};

constexpr const char* kPrintingText = "印刷しています。しばらくお待ち下さい";

// What the scheduler remembers between ticks: the minute in which each job
// last fired.  A daily schedule keeps its hour and minute after firing, and
// the timer ticks several times within second 0, so without this a daily
// job would run three or four times.
struct SchedulerMemory {
    long long download = -1, processing = -1, printing = -1;  // minutes since 1970, -1 none
};

TickResult schedulerTick(Settings& s, std::uint32_t autoWord, const DateTime& now, const SchedulerJobs& jobs,
                         SchedulerMemory& memory);

}  // namespace varenta
