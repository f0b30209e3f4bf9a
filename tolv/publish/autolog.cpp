#include "tolv/publish/autolog.h"

#include "common/format.h"
#include "common/initfile.h"
#include "common/textcodec.h"
#include "tolv/publish/transfer.h"

#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace varenta {

namespace {

std::string two(int v) { return formatMask(v, "00"); }

}  // namespace

std::string AutoLog::path() const { return (fs::path(folder_) / kAutoLogName).string(); }

void AutoLog::rotate()
{
    std::error_code ec;
    const std::string base = path();
    fs::remove(base + "." + std::to_string(kAutoLogKeep), ec);
    for (int i = kAutoLogKeep - 1; i >= 1; --i)
        fs::rename(base + "." + std::to_string(i), base + "." + std::to_string(i + 1), ec);
    fs::rename(base, base + ".1", ec);
}

bool AutoLog::write(const std::string& text)
{
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path(), ec);
    if (!ec && size >= limit_)
        rotate();
    const DateTime t = clock_.now();
    const std::string line = toCodePage(formatMask(t.year, "0000") + "-" + two(t.month) + "-" + two(t.day) + " " +
                                        two(t.hour) + ":" + two(t.minute) + ":" + two(t.second) + " " + text) +
                             "\r\n";
    // One write of the whole line in append mode: a kill leaves whole lines.
    const int fd = ::open(path().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    return ok;
}

int weekdayOf(const DateTime& d)
{
    // Zeller-like count of days from a known Sunday.
    int y = d.year, m = d.month;
    if (m < 3) {
        m += 12;
        --y;
    }
    const int h = (d.day + 13 * (m + 1) / 5 + y + y / 4 - y / 100 + y / 400) % 7;  // 0 = Saturday
    return (h + 6) % 7 + 1;
}

WeeklyBackup::Outcome WeeklyBackup::run(const DateTime& now, int backupDay, const std::string& masterPath,
                                        const std::string& programFolder)
{
    Outcome out;
    const int w = weekdayOf(now);
    if (w == weekday_)
        return out;
    const bool previous = weekday_ != 0;
    weekday_ = w;
    if (!previous || w != backupDay || masterPath.size() < 4)
        return out;
    out.ran = true;
    const fs::path master(masterPath);
    std::string base = master.stem().string();
    if (!base.empty())
        base.pop_back();
    const fs::path target = fs::path(programFolder) / base /
                            ("B" + formatMask(now.year, "0000") + "-" + two(now.month) + two(now.day) + "-" +
                             two(now.hour) + two(now.minute) + two(now.second));
    out.folder = target.string();
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        for (const auto& e : fs::directory_iterator(target, ec))
            if (e.is_regular_file())
                fs::remove(e.path(), ec);
    }
    fs::create_directories(target, ec);
    if (!fs::is_directory(target, ec)) {
        out.status = Status::Io;
        return out;
    }
    const std::string ext = master.extension().string();
    const fs::path from = master.parent_path().empty() ? fs::path(".") : master.parent_path();
    std::vector<fs::path> files;
    for (const std::string& n : matchingFiles(from.string(), "*" + ext))
        files.push_back(from / n);
    for (const std::string& n : matchingFiles(programFolder, "tolv*.ini"))
        files.push_back(fs::path(programFolder) / n);
    for (const fs::path& f : files) {
        if (Status s = copyFileDurably(f.string(), (target / f.filename()).string()); s != Status::Ok) {
            out.status = s;
            return out;
        }
        ++out.files;
    }
    return out;
}

}  // namespace varenta
