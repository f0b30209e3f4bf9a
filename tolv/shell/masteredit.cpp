#include "tolv/shell/masteredit.h"

#include "common/bytes.h"
#include "common/fileio.h"
#include "common/format.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace varenta {

namespace {

constexpr long long kSector = static_cast<long long>(kSectorSize);

// An open file descriptor closed on every way out.
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool ok() const { return fd >= 0; }
    long long size() const
    {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    }
    bool closeChecked()
    {
        const int f = fd;
        fd = -1;
        return ::close(f) == 0;
    }
};

bool readSector(int fd, long long offset, Sector& s)
{
    return readAllAt(fd, reinterpret_cast<char*>(s.data()), kSectorSize, static_cast<std::uint64_t>(offset));
}

bool writeSector(int fd, long long offset, const Sector& s)
{
    return writeAllAt(fd, reinterpret_cast<const char*>(s.data()), kSectorSize, static_cast<std::uint64_t>(offset));
}

bool validHeaderAt(int fd, long long offset, long long size, Sector& s)
{
    if (offset < 0 || offset + kSector > size || !readSector(fd, offset, s))
        return false;
    return isHeaderSector(s.data()) && readValidHeader(s.data()).has_value();
}

std::string two(int v) { return formatMask(v, "00"); }

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string fileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Splits a file name into base (without extension) and extension (with dot).
std::pair<std::string, std::string> splitName(const std::string& name)
{
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return {name, {}};
    return {name.substr(0, dot), name.substr(dot)};
}

void syncFolder(const std::string& folder)
{
    const int d = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d >= 0) {
        ::fsync(d);
        ::close(d);
    }
}

}  // namespace

// ---- dates ----

int shortMonthLength(int year, int month)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 31;
    if (month == 2 && year % 4 == 0)
        return 29;
    return kDays[month - 1];
}

ShortDate addShortMinutes(ShortDate d, long long minutes)
{
    if (minutes <= 0)
        return d;
    long long m = d.minute + minutes;
    d.minute = static_cast<int>(m % 60);
    long long h = d.hour + m / 60;
    d.hour = static_cast<int>(h % 24);
    long long days = h / 24;
    while (days > 0) {
        const int left = shortMonthLength(d.year, d.month) - d.day;  // days to the month's end
        if (days <= left) {
            d.day += static_cast<int>(days);
            break;
        }
        days -= left + 1;
        d.day = 1;
        if (++d.month > 12) {
            d.month = 1;
            d.year = (d.year + 1) % 100;
        }
    }
    return d;
}

long long minutesSince2000(const ShortDate& d)
{
    long long days = 0;
    for (int y = 0; y < d.year; ++y)
        days += (y % 4 == 0) ? 366 : 365;
    for (int m = 1; m < d.month; ++m)
        days += shortMonthLength(d.year, m);
    days += d.day - 1;
    return days * 1440 + d.hour * 60LL + d.minute;
}

std::string shortDateText(const ShortDate& d)
{
    return two(d.year) + "/" + two(d.month) + "/" + two(d.day) + " " + two(d.hour) + ":" + two(d.minute);
}

std::string panelDateText(const ShortDate& d)
{
    return formatMask(d.year, "00/") + rightAlign(std::to_string(d.month), 2) + "/" +
           rightAlign(std::to_string(d.day), 2);
}

std::string panelTimeText(const ShortDate& d) { return formatMask(d.hour, "00:") + two(d.minute); }

std::optional<ShortDate> parseShortDate(const std::string& text)
{
    // Numbers separated by "/", blanks and ":".
    std::vector<long long> n;
    std::vector<char> seps;
    std::size_t i = 0;
    const std::size_t len = text.size();
    while (i < len && text[i] == ' ')
        ++i;
    while (i < len) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return std::nullopt;
        long long v = 0;
        int digits = 0;
        while (i < len && std::isdigit(static_cast<unsigned char>(text[i]))) {
            v = v * 10 + (text[i] - '0');
            if (++digits > 4)
                return std::nullopt;
            ++i;
        }
        n.push_back(v);
        std::size_t j = i;
        while (j < len && text[j] == ' ')
            ++j;
        if (j >= len)
            break;
        char sep = text[j];
        if (sep == '/' || sep == ':') {
            ++j;
            while (j < len && text[j] == ' ')
                ++j;
        } else if (j > i) {
            sep = ' ';
        } else {
            return std::nullopt;
        }
        seps.push_back(sep);
        i = j;
    }
    if (n.size() != 5 && n.size() != 6)
        return std::nullopt;
    const char want[] = {'/', '/', ' ', ':', ':'};
    for (std::size_t k = 0; k < seps.size(); ++k)
        if (seps[k] != want[k])
            return std::nullopt;
    ShortDate d;
    long long year = n[0];
    if (year >= 2000 && year <= 2099)
        year -= 2000;
    if (year < 0 || year > 99)
        return std::nullopt;
    d.year = static_cast<int>(year);
    if (n[1] < 1 || n[1] > 12)
        return std::nullopt;
    d.month = static_cast<int>(n[1]);
    if (n[2] < 1 || n[2] > shortMonthLength(d.year, d.month))
        return std::nullopt;
    d.day = static_cast<int>(n[2]);
    if (n[3] > 23 || n[4] > 59 || (n.size() == 6 && n[5] > 59))
        return std::nullopt;
    d.hour = static_cast<int>(n[3]);
    d.minute = static_cast<int>(n[4]);
    return d;
}

ShortDate headerShortDate(const MeasurementHeader& h)
{
    return ShortDate{h.year, h.month, h.day, h.hour, h.minute};
}

// ---- measurement date update ----

DateUpdateOutcome updateMeasurementDates(const DateUpdateRequest& rq, const Progress* progress,
                                         const std::function<void(const DateUpdateStep&)>& step)
{
    DateUpdateOutcome out;
    Fd master(::open(rq.measurementPath.c_str(), O_RDWR | O_CLOEXEC));
    if (!master.ok()) {
        out.status = Status::Io;
        out.message = "マスターファイルに書き込めません: " + rq.measurementPath;
        return out;
    }
    Fd results;
    long long resultsSize = 0;
    if (!rq.resultsPath.empty() && ::access(rq.resultsPath.c_str(), F_OK) == 0) {
        results.fd = ::open(rq.resultsPath.c_str(), O_RDWR | O_CLOEXEC);
        if (!results.ok()) {
            out.status = Status::Io;
            out.message = "処理結果ファイルに書き込めません: " + rq.resultsPath;
            return out;
        }
        resultsSize = results.size();
    }
    const long long size = master.size();
    const long long block = kSector * std::max(1, rq.sectorsPerMeasurement);
    ShortDate date = rq.start;
    int interval = rq.intervalMinutes;
    for (long long k = 1; k <= rq.lastNumber; ++k) {
        const long long offset = (k - 1) * block;
        if (offset + kSector > size)
            break;  // the end of the file
        DateUpdateStep st;
        st.number = k;
        st.date = date;
        Sector s;
        if (validHeaderAt(master.fd, offset, size, s)) {
            s[hdr::minute] = static_cast<std::uint8_t>(date.minute);
            s[hdr::hour] = static_cast<std::uint8_t>(date.hour);
            s[hdr::day] = static_cast<std::uint8_t>(date.day);
            s[hdr::month] = static_cast<std::uint8_t>(date.month);
            s[hdr::year] = static_cast<std::uint8_t>(date.year);
            putU32(s.data(), hdr::measurementNumber, static_cast<std::uint32_t>(k));
            fixSectorChecksum(s.data());
            if (!writeSector(master.fd, offset, s)) {
                out.status = Status::Io;
                out.message = "マスターファイルに書き込めません: " + rq.measurementPath;
                return out;
            }
            interval = s[hdr::intervalMinutes];
            st.headerWritten = true;
            ++out.headers;
        } else {
            ++out.skipped;
        }
        const long long at = (k - 1) * static_cast<long long>(kResultsRecordSize);
        if (results.ok() && at + static_cast<long long>(kResultsRecordSize) <= resultsSize) {
            std::string rec(kResultsRecordSize, '\0');
            if (!readAllAt(results.fd, rec.data(), rec.size(), static_cast<std::uint64_t>(at))) {
                out.status = Status::Io;
                out.message = "処理結果ファイルを読めません: " + rq.resultsPath;
                return out;
            }
            if (std::isdigit(static_cast<unsigned char>(rec[4]))) {
                rec.replace(6, 5, rightAlign(two(date.year), 5));
                rec.replace(12, 5, panelDateText(date).substr(3));
                rec.replace(18, 5, two(date.hour) + ":" + two(date.minute));
                if (!writeAllAt(results.fd, rec.data(), rec.size(), static_cast<std::uint64_t>(at))) {
                    out.status = Status::Io;
                    out.message = "処理結果ファイルに書き込めません: " + rq.resultsPath;
                    return out;
                }
                st.recordWritten = true;
                ++out.records;
            }
        }
        if (step)
            step(st);
        date = addShortMinutes(date, interval);
        if (progress && !progress->keepGoing()) {
            out.status = Status::Cancelled;
            break;
        }
    }
    if (results.ok() && !results.closeChecked() && out.status == Status::Ok)
        out.status = Status::Io;
    if (!master.closeChecked() && out.status == Status::Ok)
        out.status = Status::Io;
    return out;
}

// ---- time editor ----

bool isContinuousRecord(const MeasurementHeader& h) { return h.intervalMinutes == h.durationMinutes; }

std::optional<std::pair<int, int>> parseDurationInterval(const std::string& text)
{
    const auto slash = text.find('/');
    if (slash == std::string::npos)
        return std::nullopt;
    auto number = [](std::string s) -> std::optional<long long> {
        s.erase(0, s.find_first_not_of(' '));
        s.erase(s.find_last_not_of(' ') + 1);
        if (s.empty() || s.size() > 6)
            return std::nullopt;
        for (char c : s)
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return std::nullopt;
        return std::stoll(s);
    };
    const auto d = number(text.substr(0, slash));
    const auto i = number(text.substr(slash + 1));
    if (!d || !i)
        return std::nullopt;
    const int duration = static_cast<int>(std::clamp<long long>(*d, 1, 60));
    int interval = static_cast<int>(std::clamp<long long>(*i, 1, 240));
    interval = std::max(interval, duration);
    return std::make_pair(duration, interval);
}

std::string timeEditFileName(const std::string& sourcePath, const ShortDate& start, int duration, int interval)
{
    const std::string base = splitName(fileNameOf(sourcePath)).first;
    const std::string stem = base.empty() ? base : base.substr(0, base.size() - 1);
    const std::string name = stem + "-" + two(start.year) + two(start.month) + two(start.day) + "-" +
                             two(start.hour) + formatMask(start.minute, "#00") + "-" + two(duration) +
                             formatMask(interval, "#00") + "m.h10";
    const auto slash = sourcePath.find_last_of('/');
    return slash == std::string::npos ? name : sourcePath.substr(0, slash + 1) + name;
}

namespace {

// The source of the time editor: its measurements as one sample series.
class SourceSeries {
public:
    SourceSeries(int fd, long long size, const MeasurementHeader& first)
        : fd_(fd), size_(size), sectors_(std::max(1, first.sectorsPerMeasurement)),
          perMeasurement_(first.totalSamples)
    {
        // The last position holding a valid header.
        const long long block = kSector * sectors_;
        Sector s;
        for (long long m = size_ / block + 1; m >= 0 && last_ < 0; --m)
            if (validHeaderAt(fd_, m * block, size_, s))
                last_ = m;
    }
    // Samples of all measurements up to the last valid one.
    long long totalSamples() const { return (last_ + 1) * perMeasurement_; }
    std::int16_t sample(long long g)
    {
        if (g < 0 || g >= totalSamples() || perMeasurement_ <= 0)
            return kMissing;
        const long long m = g / perMeasurement_;
        const std::vector<std::int16_t>& words = measurement(m);
        const std::size_t i = static_cast<std::size_t>(g % perMeasurement_);
        return i < words.size() ? words[i] : kMissing;
    }

private:
    static constexpr std::int16_t kMissing = -32768;
    const std::vector<std::int16_t>& measurement(long long m)
    {
        auto it = cache_.find(m);
        if (it != cache_.end())
            return it->second;
        if (cache_.size() > 4)
            cache_.erase(cache_.begin());
        std::vector<std::int16_t>& words = cache_[m];
        const long long offset = m * kSector * sectors_;
        Sector s;
        if (!validHeaderAt(fd_, offset, size_, s))
            return words;  // no measurement here: all missing
        const MeasurementHeader h = decodeHeader(s.data());
        if (h.totalSamples != perMeasurement_ || h.sectorsPerMeasurement != sectors_)
            return words;  // not of this record's layout
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(sectors_) * kSectorSize);
        const long long got = readUpToAt(fd_, bytes.data(), bytes.size(), static_cast<std::uint64_t>(offset));
        if (got < 0)
            return words;
        unpackSamples(h, bytes.data(), static_cast<std::size_t>(got), words);
        return words;
    }

    int fd_;
    long long size_;
    int sectors_;
    long long perMeasurement_;
    long long last_ = -1;
    std::map<long long, std::vector<std::int16_t>> cache_;
};

}  // namespace

TimeEditOutcome timeEditMasterFile(const TimeEditRequest& rq, const Progress* progress,
                                   const std::function<void(long long, const ShortDate&)>& step)
{
    TimeEditOutcome out;
    Fd src(::open(rq.sourcePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!src.ok()) {
        out.status = Status::Io;
        out.message = "マスターファイルを読めません: " + rq.sourcePath;
        return out;
    }
    const long long size = src.size();
    Sector first;
    if (!validHeaderAt(src.fd, 0, size, first) || (first[hdr::packetInfo] & 7) != kPacketKindHeader) {
        out.status = Status::DataFormat;
        out.message = "マスターファイルの先頭に測定ヘッダーがありません";
        return out;
    }
    const MeasurementHeader h = decodeHeader(first.data());
    if (h.channelCount < 1 || h.totalSamples < 1) {
        out.status = Status::DataFormat;
        out.message = "マスターファイルの先頭に測定ヘッダーがありません";
        return out;
    }
    const int duration = std::clamp(rq.duration, 1, 60);
    const int interval = std::max(duration, std::clamp(rq.interval, 1, 240));
    const long long perMinute = static_cast<long long>(600 / std::max(1, static_cast<int>(h.intervalTenths))) *
                                h.channelCount;
    const long long n = perMinute * duration;
    const int sectors = sectorsFor(static_cast<int>(n), kPacketKindHeader);
    out.sectorsPerMeasurement = sectors;
    SourceSeries series(src.fd, size, h);
    const long long reference = minutesSince2000(rq.reference);
    const long long endMinutes = rq.end ? minutesSince2000(*rq.end) : -1;

    // How many measurements: for the free-space check before anything is made.
    auto startSample = [&](const ShortDate& d) { return perMinute * (minutesSince2000(d) - reference); };
    auto goesOn = [&](const ShortDate& d) {
        if (rq.end && minutesSince2000(d) > endMinutes)
            return false;
        return startSample(d) < series.totalSamples();
    };
    long long count = 0;
    for (ShortDate d = rq.start; goesOn(d) && count < 10000000; d = addShortMinutes(d, interval))
        ++count;
    const long long need = count * sectors * kSector;
    const long long free = freeBytesFor(rq.targetPath);
    if (free >= 0 && need > free) {
        out.status = Status::Io;
        out.message = "ディスクの空き容量が足りません（" + std::to_string(need) + "バイト必要）";
        return out;
    }

    // Written under a temporary name and renamed when it ends (also after a
    // stop), so that a program killed halfway leaves no half file under the name.
    const std::string temp = rq.targetPath + ".~edit";
    ::unlink(temp.c_str());
    Fd dst(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!dst.ok()) {
        out.status = Status::Io;
        out.message = "マスターファイルを作成できません: " + rq.targetPath;
        return out;
    }
    // The template of the further sectors: bytes 0 and 1 of the header, kind 0x41.
    Sector further{};
    further[0] = first[0];
    further[1] = first[1];
    further[2] = 0x41;

    ShortDate date = rq.start;
    std::vector<std::int16_t> words(static_cast<std::size_t>(n));
    for (long long k = 1; k <= count; ++k) {
        const long long g0 = startSample(date);
        for (long long j = 0; j < n; ++j)
            words[static_cast<std::size_t>(j)] = series.sample(g0 + j);
        std::size_t w = 0;
        for (int s = 0; s < sectors; ++s) {
            Sector sec = s == 0 ? first : further;
            std::size_t at = s == 0 ? hdr::firstSamples : hdr::contSamples;
            if (s == 0) {
                sec[hdr::second] = 0;
                sec[hdr::minute] = static_cast<std::uint8_t>(date.minute);
                sec[hdr::hour] = static_cast<std::uint8_t>(date.hour);
                sec[hdr::day] = static_cast<std::uint8_t>(date.day);
                sec[hdr::month] = static_cast<std::uint8_t>(date.month);
                sec[hdr::year] = static_cast<std::uint8_t>(date.year);
                sec[hdr::durationMinutes] = static_cast<std::uint8_t>(duration);
                sec[hdr::intervalMinutes] = static_cast<std::uint8_t>(interval);
                putU32(sec.data(), hdr::measurementNumber, static_cast<std::uint32_t>(k));
            }
            for (; at + 1 < kSectorSize; at += 2) {
                const std::int16_t v = w < words.size() ? words[w] : std::int16_t(-32768);
                ++w;
                putS16(sec.data(), at, v);
            }
            const long long offset = ((k - 1) * sectors + s) * kSector;
            putU32(sec.data(), hdr::recordAddress, static_cast<std::uint32_t>((offset + 1) / kSector));
            fixSectorChecksum(sec.data());
            if (!writeSector(dst.fd, offset, sec)) {
                dst.closeChecked();
                ::unlink(temp.c_str());
                out.status = Status::Io;
                out.message = "マスターファイルに書き込めません: " + rq.targetPath;
                return out;
            }
        }
        ++out.measurements;
        if (step)
            step(k, date);
        date = addShortMinutes(date, interval);
        if (progress && !progress->keepGoing()) {
            out.status = Status::Cancelled;
            break;
        }
    }
    const bool synced = ::fsync(dst.fd) == 0;
    if (!dst.closeChecked() || !synced || ::rename(temp.c_str(), rq.targetPath.c_str()) != 0) {
        ::unlink(temp.c_str());
        out.status = Status::Io;
        out.message = "マスターファイルに書き込めません: " + rq.targetPath;
        return out;
    }
    syncFolder(folderOf(rq.targetPath));
    return out;
}

// ---- size change ----

std::optional<int> resizeSectorsFor(const std::string& path, int headerSectors)
{
    const std::string base = splitName(fileNameOf(path)).first;
    if (base.empty())
        return std::nullopt;
    const char last = static_cast<char>(std::toupper(static_cast<unsigned char>(base.back())));
    if (last == 'M')
        return std::max(1, headerSectors);
    if (last == 'R')
        return 1;
    return std::nullopt;
}

std::string resizeStampedName(const std::string& path, const DateTime& now)
{
    const auto [base, ext] = splitName(fileNameOf(path));
    const std::string stem = base.empty() ? base : base.substr(0, base.size() - 1);
    const std::string last = base.empty() ? std::string() : base.substr(base.size() - 1);
    const std::string name = stem + formatMask(now.year, "-0000") + two(now.month) + two(now.day) +
                             formatMask(now.hour, "-00") + two(now.minute) + two(now.second) + last + ext;
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? name : path.substr(0, slash + 1) + name;
}

Status planResize(const std::string& path, int sectorsPerMeasurement, ResizePlan& plan)
{
    plan = ResizePlan{};
    Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!f.ok())
        return Status::NotFound;
    plan.fileLength = f.size();
    if (plan.fileLength < kSector)
        return Status::DataFormat;
    const long long block = kSector * std::max(1, sectorsPerMeasurement);
    Sector s;
    for (long long m = plan.fileLength / block; m >= 0; --m)
        if (validHeaderAt(f.fd, m * block, plan.fileLength, s)) {
            plan.lastNumber = m + 1;
            break;
        }
    plan.usedLength = plan.lastNumber * block;
    plan.canShrink = plan.lastNumber > 0 && (plan.lastNumber + 1) * block < plan.fileLength;
    return Status::Ok;
}

long long freeBytesFor(const std::string& path)
{
    struct statvfs v {};
    if (::statvfs(folderOf(path).c_str(), &v) != 0)
        return -1;
    return static_cast<long long>(v.f_bavail) * static_cast<long long>(v.f_frsize);
}

Status shrinkMasterFile(const std::string& path, const ResizePlan& plan, const std::string& stampedPath,
                        const Progress* progress, const std::function<void(long long)>& bytes,
                        std::string* message)
{
    auto fail = [&](Status st, const std::string& text) {
        if (message)
            *message = text;
        return st;
    };
    if (plan.usedLength <= 0 || plan.usedLength % kSector != 0 || plan.usedLength > plan.fileLength)
        return fail(Status::Refused, "ファイルのサイズを変更できません");
    Fd src(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!src.ok())
        return fail(Status::Io, "マスターファイルを読めません: " + path);
    if (src.size() != plan.fileLength)
        return fail(Status::Refused, "マスターファイルが変わりました。もう一度実行してください");
    if (::access(folderOf(path).c_str(), W_OK) != 0)
        return fail(Status::Io, "フォルダに書き込めません: " + folderOf(path));
    const long long free = freeBytesFor(path);
    if (free >= 0 && plan.usedLength > free)
        return fail(Status::Io, "ディスクの空き容量が足りません（" + std::to_string(plan.usedLength) + "バイト必要）");
    if (::access(stampedPath.c_str(), F_OK) == 0)
        return fail(Status::Refused, "同じ名前のファイルがあります: " + stampedPath);

    const std::string temp = path + ".~resize";
    ::unlink(temp.c_str());
    Fd dst(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!dst.ok())
        return fail(Status::Io, "一時ファイルを作成できません: " + temp);
    struct stat st {};
    if (::fstat(src.fd, &st) == 0)
        ::fchmod(dst.fd, st.st_mode & 07777);
    auto abandon = [&](Status s, const std::string& text) {
        if (dst.ok())
            dst.closeChecked();
        ::unlink(temp.c_str());
        return fail(s, text);
    };
    constexpr long long kStep = 32768;
    std::vector<char> buf(static_cast<std::size_t>(kStep));
    for (long long at = 0; at < plan.usedLength; at += kStep) {
        const std::size_t n = static_cast<std::size_t>(std::min(kStep, plan.usedLength - at));
        if (!readAllAt(src.fd, buf.data(), n, static_cast<std::uint64_t>(at)))
            return abandon(Status::Io, "マスターファイルを読めません: " + path);
        if (!writeAllAt(dst.fd, buf.data(), n, static_cast<std::uint64_t>(at)))
            return abandon(Status::Io, "一時ファイルに書き込めません: " + temp);
        if (bytes)
            bytes(at + static_cast<long long>(n));
        if (progress && !progress->keepGoing())
            return abandon(Status::Cancelled, "ファイルのサイズ変更を中止しました");
    }
    if (::fsync(dst.fd) != 0 || !dst.closeChecked())
        return abandon(Status::Io, "一時ファイルに書き込めません: " + temp);
    // Verify the copy against the original before anything is renamed.
    {
        Fd check(::open(temp.c_str(), O_RDONLY | O_CLOEXEC));
        if (!check.ok() || check.size() != plan.usedLength)
            return abandon(Status::Io, "一時ファイルを確認できません: " + temp);
        std::vector<char> other(buf.size());
        for (long long at = 0; at < plan.usedLength; at += kStep) {
            const std::size_t n = static_cast<std::size_t>(std::min(kStep, plan.usedLength - at));
            if (!readAllAt(src.fd, buf.data(), n, static_cast<std::uint64_t>(at)) ||
                !readAllAt(check.fd, other.data(), n, static_cast<std::uint64_t>(at)) ||
                std::memcmp(buf.data(), other.data(), n) != 0)
                return abandon(Status::Io, "一時ファイルの内容が一致しません: " + temp);
        }
    }
    // The original keeps its inode under the dated name; the copy takes the path.
    if (::link(path.c_str(), stampedPath.c_str()) == 0) {
        if (::rename(temp.c_str(), path.c_str()) != 0) {
            ::unlink(stampedPath.c_str());
            return abandon(Status::Io, "マスターファイルを置き換えられません: " + path);
        }
    } else {
        // No second link on this file system: the original is renamed first.
        if (::rename(path.c_str(), stampedPath.c_str()) != 0)
            return abandon(Status::Io, "マスターファイルの名前を変更できません: " + stampedPath);
        if (::rename(temp.c_str(), path.c_str()) != 0) {
            ::rename(stampedPath.c_str(), path.c_str());
            return abandon(Status::Io, "マスターファイルを置き換えられません: " + path);
        }
    }
    syncFolder(folderOf(path));
    return Status::Ok;
}

}  // namespace varenta
