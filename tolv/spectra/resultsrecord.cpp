#include "tolv/spectra/resultsrecord.h"

#include "common/bytes.h"
#include "common/compass.h"
#include "common/fileio.h"
#include "common/format.h"
#include "common/sector.h"
#include "common/textfile.h"
#include "tolv/data/resultsgraph.h"
#include "tolv/data/resultstable.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace varenta {

namespace {

constexpr int kHandOverSliceMs = 50;

bool fileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Writes a field of width w (5, or 6 from the separator in front) at item k.
void putField(std::string& record, int k, const std::string& text, std::size_t w)
{
    const std::size_t off = resultItemOffset(k);
    if (off + 5 > record.size())
        return;
    if (w == 6 && off >= 1)
        record.replace(off - 1, 6, rightAlign(text, 6));
    else
        record.replace(off, 5, rightAlign(text, 5));
}

std::string numberPattern(const ResultItemTable& items, int code, std::size_t w)
{
    const std::string& v = items.value(code, 0);
    std::size_t start = 0;
    while (start < v.size() && v[start] == ' ')
        ++start;
    const std::string pattern = v.substr(start);
    return pattern.size() > w ? pattern.substr(pattern.size() - w) : pattern;
}

// A record a sector may carry: 392 bytes ending in CR LF, no line end or
// NUL byte before.
bool plausibleRecord(const std::string& r)
{
    if (r.size() != kResultsRecordSize || r[390] != '\r' || r[391] != '\n')
        return false;
    for (std::size_t i = 0; i < 390; ++i)
        if (r[i] == '\0' || r[i] == '\r' || r[i] == '\n')
            return false;
    return true;
}

std::string folderBaseExt(const std::string& masterPath, char letter)
{
    namespace fs = std::filesystem;
    const fs::path p(masterPath);
    std::string stem = p.stem().string();
    if (!stem.empty())
        stem.pop_back();
    const fs::path out = p.parent_path() / (stem + letter + p.extension().string());
    return out.string();
}

}  // namespace

std::string resultsFileNameFor(const Settings& s, const std::string& masterPath)
{
    const std::string over = s.trimmed(89, 4);
    if (over.size() >= 5)
        return over;
    return folderBaseExt(masterPath, 'l');
}

std::string handOverFileNameFor(const std::string& masterPath) { return folderBaseExt(masterPath, 's'); }

TakenRecord takeResultsRecord(const std::string& blankRecord, const std::uint8_t* sector)
{
    TakenRecord t;
    t.record = blankRecord;
    t.from = TakenFrom::Blank;
    if (!sector) {
        t.status = Status::NotFound;
        return t;
    }
    if (sector[hdr::resultsText] == '-')
        return t;
    std::string text(reinterpret_cast<const char*>(sector + hdr::resultsText), kSectorSize - hdr::resultsText);
    if (!plausibleRecord(text)) {
        t.status = Status::DataFormat;
        return t;
    }
    t.record = std::move(text);
    t.from = TakenFrom::Logger;
    return t;
}

TakenRecord TakeResultsRecord(const ResultsRecordState& state, const DataSet& data, Prompter& prompter,
                              bool computeStatistics)
{
    if (data.header.packetKind() != kPacketKindResult) {
        if (!computeStatistics)
            prompter.message(recordtext::kProhibitedTitle, recordtext::kNoProcessing, MsgIcon::Warning,
                             MsgButtons::Ok);
        TakenRecord t;
        t.record = state.blankRecord;
        t.from = TakenFrom::RawData;
        return t;
    }
    TakenRecord t;
    t.record = state.blankRecord;
    if (!data.hasMeasurementFile || data.headerOffset < 0) {
        t.status = Status::NotFound;
        return t;
    }
    const int fd = ::open(data.measurementPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        t.status = errno == ENOENT ? Status::NotFound : Status::Io;
        return t;
    }
    Sector s{};
    const bool read = readAllAt(fd, reinterpret_cast<char*>(s.data()), kSectorSize,
                                static_cast<std::uint64_t>(data.headerOffset));
    ::close(fd);
    if (!read) {
        t.status = Status::Io;
        return t;
    }
    // The sector must still be the result sector of the measurement shown.
    const std::uint32_t number = getU32(s.data(), hdr::measurementNumber);
    if (!isHeaderSector(s.data()) || (s[hdr::packetInfo] & 7) != kPacketKindResult ||
        (data.currentNumber > 0 && number != static_cast<std::uint64_t>(data.currentNumber))) {
        t.status = Status::DataFormat;
        return t;
    }
    return takeResultsRecord(state.blankRecord, s.data());
}

double ResultValues::of(int code) const
{
    const auto it = values.find(code);
    return it == values.end() ? 0.0 : it->second;
}

std::string composeRawDataRecord(const std::string& blankRecord, const MeasurementHeader& h,
                                 const ResultItemTable& items, const ResultSelection& sel, const ResultValues& values,
                                 bool onlyPresent)
{
    std::string r = blankRecord;
    if (r.size() != kResultsRecordSize)
        r = emptyResultsRecord();
    const auto two = [](int v) { return rightAlign(formatMask(v, "#0"), 2); };
    setResultItem(r, 0, rightAlign(formatMask(h.intervalMinutes, "##0"), 3) + two(h.durationMinutes));
    setResultItem(r, 1, rightAlign(formatMask(((h.year % 100) + 100) % 100, "00"), 5));
    setResultItem(r, 2, two(h.month) + "/" + two(h.day));
    setResultItem(r, 3, two(h.hour) + ":" + formatMask(h.minute, "00"));
    for (int k = 4; k < kResultItems; ++k) {
        const int code = sel.codeAt(k);
        if (code < 0 || code == kSpacerCode || !items.defined(code))
            continue;
        const std::size_t w = k % 8 == 0 ? 6 : 5;
        const std::string pattern = numberPattern(items, code, w);
        if (pattern.empty())
            continue;
        const auto it = values.values.find(code);
        if (onlyPresent && (it == values.values.end() || !std::isfinite(it->second)))
            continue;
        std::string text = formatMask(values.of(code), pattern);
        if (onlyPresent && trimBlanks(text).size() > w)
            text = std::string(w, '*');
        putField(r, k, text, w);
    }
    for (int code : sel.directionCodes) {
        const std::string partner = trimBlanks(items.value(code, 6));
        if (partner.empty())
            continue;
        if (onlyPresent && values.values.find(code) == values.values.end())
            continue;
        const int p = sel.positionOf(static_cast<int>(textToInt(partner)));
        if (p < 4)
            continue;
        setResultItem(r, p, rightAlign(CompassName(values.of(code)), 5));
    }
    return r;
}

Status writeHandOverFile(const std::string& resultsPath, const std::string& handOverPath, long long first,
                         long long last)
{
    std::vector<std::string> records;
    if (Status st = readResultsRecords(resultsPath, first, last, records); st != Status::Ok)
        return st;
    std::string bytes;
    bytes.reserve(records.size() * kResultsRecordSize);
    for (const std::string& r : records)
        bytes += r;
    return writeFileBytesAtomic(handOverPath, bytes);
}

StoreOutcome StoreResultsRecord(ResultsRecordState& state, const TakenRecord& taken, const ResultsRecordContext& ctx)
{
    StoreOutcome out;
    const long long m = ctx.measurement;
    if (m <= 0 || !ctx.settings) {
        out.status = Status::Refused;
        return out;
    }
    out.resultsPath = ctx.resultsPath.empty() ? resultsFileNameFor(*ctx.settings, ctx.masterPath) : ctx.resultsPath;

    // Step 2.
    if (taken.from == TakenFrom::RawData && ctx.header && ctx.items && ctx.selection) {
        ResultValues values;
        if (ctx.statistics)
            values = *ctx.statistics;
        values.values[kRunningNumberCode] = static_cast<double>(m);
        out.record = composeRawDataRecord(taken.record, *ctx.header, *ctx.items, *ctx.selection, values,
                                          ctx.statistics != nullptr);
    } else {
        out.record = taken.record;
    }
    if (out.record.size() != kResultsRecordSize) {
        out.status = Status::DataFormat;
        return out;
    }

    // Steps 3 and 4.
    const bool existed = fileExists(out.resultsPath);
    const int fd = ::open(out.resultsPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        out.status = Status::Io;
        out.statusText = std::string(recordtext::kWriteFailed) + out.resultsPath;
        return out;
    }
    struct stat st {};
    ::fstat(fd, &st);
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    long long whole = static_cast<long long>(size / kResultsRecordSize);
    if (state.resultsPath != out.resultsPath) {
        state.resultsPath = out.resultsPath;
        state.recordsAtRefresh = whole;
    }
    bool ok = true;
    if (!existed || size < kResultsRecordSize) {
        ok = writeAllAt(fd, out.record.data(), out.record.size(), 0);
        whole = std::max(whole, 1LL);
        if (!existed) {
            out.created = true;
            ResultsTableLayout numbering;
            numbering.numberPosition = ctx.selection ? ctx.selection->numberPosition : -1;
            numbering.numberWidth = runningNumberWidth(numbering.numberPosition);
            numbering.statusPosition = -1;
            if (numbering.numberPosition >= 0) {
                std::string blank = sequenceReplacement(1, numbering);
                state.blankRecord = std::move(blank);
            }
        }
    }
    // Records between the old end and m: empty records with their numbers.
    if (ok && whole + 1 < m) {
        ResultsTableLayout numbering;
        numbering.numberPosition = ctx.selection ? ctx.selection->numberPosition : -1;
        numbering.numberWidth = runningNumberWidth(numbering.numberPosition);
        numbering.statusPosition = -1;
        std::string fill;
        fill.reserve(static_cast<std::size_t>(m - 1 - whole) * kResultsRecordSize);
        for (long long k = whole + 1; k < m; ++k)
            fill += sequenceReplacement(k, numbering);
        ok = writeAllAt(fd, fill.data(), fill.size(), static_cast<std::uint64_t>(whole) * kResultsRecordSize);
    }
    if (ok)
        ok = writeAllAt(fd, out.record.data(), out.record.size(), static_cast<std::uint64_t>(m - 1) * kResultsRecordSize);
    ::fstat(fd, &st);
    ::close(fd);
    out.records = static_cast<long long>(static_cast<std::uint64_t>(st.st_size) / kResultsRecordSize);
    if (!ok) {
        out.status = Status::Io;
        out.statusText = std::string(recordtext::kWriteFailed) + out.resultsPath;
        return out;
    }

    // Step 5: how the table follows.
    if (out.created) {
        out.refresh = TableRefresh::Complete;
    } else if (out.records > state.recordsAtRefresh + 1) {
        out.refresh = TableRefresh::FromRecord;
        out.refreshRecord = state.recordsAtRefresh + 1;
    } else {
        out.refresh = TableRefresh::OneLine;
        out.refreshRecord = m;
    }
    state.recordsAtRefresh = out.records;

    // Step 6: the hand-over of the newest records.
    const long long n = ctx.settings->integer(85, 6);
    if (ctx.automatic && n > 0 && !ctx.masterPath.empty()) {
        out.handOverPath = handOverFileNameFor(ctx.masterPath);
        const bool waited = fileExists(out.handOverPath);
        if (waited) {
            if (!ctx.progress) {
                out.handOver = Status::Timeout;
                out.statusText = std::string(recordtext::kHandOverWaiting) + out.handOverPath;
                return out;
            }
            ctx.progress->say(std::string(recordtext::kHandOverWaiting) + out.handOverPath);
            while (fileExists(out.handOverPath)) {
                if (!ctx.progress->pause(kHandOverSliceMs)) {
                    out.handOver = Status::Cancelled;
                    out.statusText = std::string(recordtext::kHandOverStopped) + out.handOverPath;
                    return out;
                }
            }
        }
        out.handOver = writeHandOverFile(out.resultsPath, out.handOverPath, std::max(1LL, m - n), m);
        if (out.handOver != Status::Ok)
            out.statusText = std::string(recordtext::kHandOverFailed) + out.handOverPath;
        else if (waited)
            ctx.progress->say("");
    }
    return out;
}

}  // namespace varenta
