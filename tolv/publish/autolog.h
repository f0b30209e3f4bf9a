#pragma once
// The log of the automatic functions: every status text they show is also
// appended, with the date and time, to "tolv-auto.log" in the program folder
// (code page, CR LF).  At 1 MiB the file is rotated: "tolv-auto.log.1" is
// the newest old file, five are kept.
#include "common/clock.h"
#include "common/status.h"

#include <cstdint>
#include <string>

namespace varenta {

inline constexpr const char* kAutoLogName = "tolv-auto.log";
constexpr std::uint64_t kAutoLogLimit = 1024 * 1024;
constexpr int kAutoLogKeep = 5;

class AutoLog {
public:
    AutoLog(std::string folder, const Clock& clock, std::uint64_t limit = kAutoLogLimit)
        : folder_(std::move(folder)), clock_(clock), limit_(limit) {}
    // Appends "yyyy-mm-dd hh:mm:ss text"; false when the file cannot be
    // written.  Repeated texts are written again (each is an event).
    bool write(const std::string& text);
    std::string path() const;

private:
    void rotate();
    std::string folder_;
    const Clock& clock_;
    std::uint64_t limit_;
};

// The weekly backup after an automatic processing run (start flag 0x10).
// The first call only remembers the weekday; a later call on another
// weekday that is the backup day (item 86 value 2, 1 = Sunday) copies the
// master file's folder's files with its extension and the program's
// "tolv*.ini" files into programFolder/<base without its last
// character>/B<yyyy>-<mmdd>-<hhmmss>.
class WeeklyBackup {
public:
    struct Outcome {
        bool ran = false;
        Status status = Status::Ok;
        std::string folder;
        int files = 0;
    };
    Outcome run(const DateTime& now, int backupDay, const std::string& masterPath, const std::string& programFolder);
    int rememberedWeekday() const { return weekday_; }

private:
    int weekday_ = 0;  // 0: no call yet
};

// 1 = Sunday .. 7 = Saturday.
int weekdayOf(const DateTime& d);

}  // namespace varenta
