#include "tolv/shell/scheduler.h"

#include "common/appstate.h"
#include "common/schedule.h"

namespace varenta {

TickResult schedulerTick(Settings& s, std::uint32_t autoWord, const DateTime& now, const SchedulerJobs& jobs,
                         SchedulerMemory& memory)
{
    TickResult r;
    const long long minuteNow = daysFromCivil(now.year, now.month, now.day) * 1440 + now.hour * 60 + now.minute;
    // Due by the schedule and not yet fired in this minute.
    auto due = [&](const ScheduleItems& items, long long& last) {
        if (last == minuteNow)
            return false;
        if (!scheduleDue(s, items, now))
            return false;
        last = minuteNow;
        return true;
    };
    auto moved = [&] {
        if (jobs.schedulesMoved)
            jobs.schedulesMoved();
    };
    auto say = [&](const std::string& t) {
        if (jobs.status)
            jobs.status(t);
    };

    if ((autoWord & autofn::kDownload) && due(kDownloadSchedule, memory.download)) {
        r.download = true;
        moved();
        if (jobs.download)
            jobs.download();
    }
    if ((autoWord & autofn::kProcessing) && now.second == s.integer(67, 5) &&
        due(kProcessingSchedule, memory.processing)) {
        r.processing = true;
        moved();
        if (jobs.processing)
            jobs.processing(s.trimmed(98, 0));
    }
    if ((autoWord & (autofn::kTablePrint | autofn::kGraphPrint)) && due(kPrintSchedule, memory.printing)) {
        moved();
        if (autoWord & autofn::kTablePrint) {
            r.printTable = true;
            say(kPrintingText);
            if (jobs.printTable)
                jobs.printTable(static_cast<int>(s.integer(68, 5)));
        }
        if (autoWord & autofn::kGraphPrint) {
            r.printGraph = true;
            say(kPrintingText);
            if (jobs.printGraph)
                jobs.printGraph();
        }
        say("");
    }
    return r;
}

}  // namespace varenta
