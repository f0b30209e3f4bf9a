#include "tolv/data/resultstable.h"

#include "common/fileio.h"
#include "common/format.h"
#include "common/textcodec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace varenta {

namespace {

constexpr long long kServeEvery = 60;
constexpr long long kReadChunkRecords = 1024;

long long powerOfTen(int digits)
{
    long long v = 1;
    for (int i = 0; i < digits; ++i)
        v *= 10;
    return v;
}

// Digits with blanks around them; anything else is not a number.
std::optional<long long> plainNumber(std::string_view s)
{
    std::size_t a = 0;
    std::size_t b = s.size();
    while (a < b && s[a] == ' ')
        ++a;
    while (b > a && s[b - 1] == ' ')
        --b;
    if (a == b || b - a > 12)
        return std::nullopt;
    long long v = 0;
    for (std::size_t i = a; i < b; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return std::nullopt;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

int numberAt(const std::string& record, std::size_t offset, std::size_t width)
{
    if (offset + width > record.size())
        return 0;
    const auto v = plainNumber(std::string_view(record).substr(offset, width));
    return v ? static_cast<int>(*v) : 0;
}

// A heading piece: cut at a whole character to w code-page bytes, blanks in
// front up to w bytes.
std::string headingPiece(const std::string& text, int w)
{
    if (w <= 0)
        return {};
    std::string cut = cutToCodePageWidth(text, static_cast<std::size_t>(w));
    const std::size_t have = codePageWidth(cut);
    if (have < static_cast<std::size_t>(w))
        cut.insert(0, static_cast<std::size_t>(w) - have, ' ');
    return cut;
}

// An open file descriptor that closes itself.
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
};

std::optional<std::uint64_t> sizeOf(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace

std::string resultsTableExportName(const std::string& filePrefix) { return filePrefix + "23g.txt"; }

int runningNumberWidth(int numberPosition)
{
    return numberPosition > 0 && numberPosition % 8 == 0 ? 6 : 5;
}

ResultsTableLayout makeResultsTableLayout(const ResultItemTable& items, const ResultSelection& selection)
{
    ResultsTableLayout L;
    L.numberPosition = selection.numberPosition;
    L.statusPosition = selection.statusPosition;
    L.numberWidth = runningNumberWidth(L.numberPosition);
    std::size_t trailing = 0;  // bytes of the spacers at the end so far
    for (int code : selection.columnCodes) {
        ResultsTableColumn c;
        c.code = code;
        c.width = std::max(0, items.columnWidth(code));
        c.spacer = code == kSpacerCode;
        c.position = c.spacer ? -1 : selection.positionOf(code);
        if (c.spacer) {
            L.heading1.append(static_cast<std::size_t>(c.width), ' ');
            L.heading2.append(static_cast<std::size_t>(c.width), ' ');
            trailing += static_cast<std::size_t>(c.width);
        } else {
            L.heading1 += headingPiece(items.heading1(code), c.width);
            L.heading2 += headingPiece(items.heading2(code), c.width);
            trailing = 0;
        }
        L.columns.push_back(c);
    }
    // Spacers at the end (any number of them) are blanks at the end of both
    // lines: they go.
    L.heading1.resize(L.heading1.size() - std::min(trailing, L.heading1.size()));
    L.heading2.resize(L.heading2.size() - std::min(trailing, L.heading2.size()));
    L.lineWidth = static_cast<int>(codePageWidth(L.heading1)) + 2;
    return L;
}

// ---- blocks ----

ResultsBlocks resultsBlocks(int firstHour, int firstMinute, int blockStartHour, int blockHours, int intervalMinutes)
{
    ResultsBlocks b;
    if (blockHours <= 0 || intervalMinutes <= 0)
        return b;
    const long long B = blockHours;
    const long long t = 60LL * firstHour + firstMinute;
    // b0: from the start hour, B added until 24 or more, then 24 less.
    long long h0 = blockStartHour;
    if (h0 >= 24)
        h0 %= 24;
    long long b0 = h0;
    if (b0 < 24)
        b0 += ((24 - b0) + B - 1) / B * B;
    b0 -= 24;
    long long boundary = 60 * (b0 + 24);
    for (long long i = 0; i < 24 / B; ++i) {
        if (t < 60 * (b0 + i * B)) {
            boundary = 60 * (b0 + i * B);
            break;
        }
    }
    const long long steps = (boundary - t + intervalMinutes - 1) / intervalMinutes;
    b.recordsBefore = std::max(1LL, steps);
    b.recordsPerBlock = B * 60 / intervalMinutes;
    return b;
}

ResultsBlocks resultsBlocksOf(const std::string& firstRecord, int blockStartHour, int blockHours, int intervalMinutes)
{
    return resultsBlocks(recordHour(firstRecord), recordMinute(firstRecord), blockStartHour, blockHours,
                         intervalMinutes);
}

bool startsBlock(long long k, const ResultsBlocks& b)
{
    const long long r = b.recordsBefore;
    const long long n = b.recordsPerBlock;
    return n > 0 && k > r && (n == 1 || (k - r - 1) % n == 0);
}

long long blankLinesThrough(long long k, const ResultsBlocks& b)
{
    const long long r = b.recordsBefore;
    const long long n = b.recordsPerBlock;
    if (n <= 0 || k <= r)
        return 0;
    return (k - r - 1) / n + 1;
}

long long resultsLineOffset(long long k, int lineWidth, const ResultsBlocks& b, bool selection)
{
    const long long L = lineWidth;
    const long long r = b.recordsBefore;
    const long long n = b.recordsPerBlock;
    const long long c = k - r - 1;
    if (c >= 0 && n > 0) {
        long long offset = (c / n) * (n * L + 2) + L * (r + c % n) + 3;
        if (c % n == 0 && !selection)
            offset -= 2;
        return offset;
    }
    return (k - 1) * L + 1;
}

long long resultsLineIndex(long long k, const ResultsBlocks& b) { return (k - 1) + blankLinesThrough(k, b); }

long long recordAtLine(long long line, const ResultsBlocks& b)
{
    if (line < 0)
        return 0;
    const long long r = b.recordsBefore;
    const long long n = b.recordsPerBlock;
    if (n <= 0 || line < r)
        return line + 1;
    const long long q = line - r;
    const long long i = q % (n + 1);
    if (i == 0)
        return 0;
    return r + (q / (n + 1)) * n + i;
}

// ---- records ----

int recordHour(const std::string& record) { return numberAt(record, 18, 2); }
int recordMinute(const std::string& record) { return numberAt(record, 21, 2); }
int recordIntervalMinutes(const std::string& record) { return numberAt(record, 0, 3); }

std::optional<long long> runningNumberOf(const std::string& record, const ResultsTableLayout& layout)
{
    const int p = layout.numberPosition;
    if (p < 0 || p >= kResultItems)
        return std::nullopt;
    const std::size_t end = resultItemOffset(p) + 5;
    const std::size_t w = static_cast<std::size_t>(layout.numberWidth);
    if (end > record.size() || w > end)
        return std::nullopt;
    return plainNumber(std::string_view(record).substr(end - w, w));
}

bool inSequence(const std::string& record, long long k, const ResultsTableLayout& layout)
{
    if (layout.numberPosition < 0 || layout.numberPosition >= kResultItems)
        return true;
    const auto v = runningNumberOf(record, layout);
    return v && *v == k % powerOfTen(layout.numberWidth);
}

std::string sequenceReplacement(long long k, const ResultsTableLayout& layout)
{
    std::string r = emptyResultsRecord();
    const int p = layout.numberPosition;
    if (p >= 0 && p < kResultItems) {
        const std::size_t w = static_cast<std::size_t>(layout.numberWidth);
        const std::size_t end = resultItemOffset(p) + 5;
        if (w <= end)
            r.replace(end - w, w, rightAlign(std::to_string(k % powerOfTen(layout.numberWidth)), w));
    }
    if (layout.statusPosition >= 0)
        setResultItem(r, layout.statusPosition, kReplacedStatusItem);
    return r;
}

std::string resultsTableLine(const std::string& record, const ResultsTableLayout& layout)
{
    const std::size_t body = static_cast<std::size_t>(std::max(0, layout.bodyWidth()));
    std::string line;
    line.reserve(body + 12);
    for (const ResultsTableColumn& c : layout.columns) {
        if (line.size() >= body)
            break;
        const std::size_t w = static_cast<std::size_t>(c.width);
        if (c.spacer) {
            line.append(w, ' ');
            continue;
        }
        std::string_view item;
        if (c.position >= 0 && c.position < kResultItems) {
            const std::size_t off = resultItemOffset(c.position);
            if (c.position % 8 == 0 && c.position > 0 && c.code != 0) {
                if (off + 5 <= record.size())
                    item = std::string_view(record).substr(off - 1, 6);
            } else if (off + 5 <= record.size()) {
                item = std::string_view(record).substr(off, 5);
            }
        }
        line += rightAlign(item, w);
    }
    line.resize(body, ' ');
    return line;
}

// ---- the fill ----

ResultsTableOutcome fillResultsTableFiles(const ResultsTableRequest& rq, const Progress* progress)
{
    ResultsTableOutcome out;
    const ResultsTableLayout& layout = rq.layout;
    Fd results(::open(rq.resultsPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!results.ok()) {
        out.status = errno == ENOENT ? Status::NotFound : Status::Io;
        return out;
    }
    const auto size = sizeOf(results.fd);
    if (!size) {
        out.status = Status::Io;
        return out;
    }
    out.records = static_cast<long long>(*size / kResultsRecordSize);

    std::string first(kResultsRecordSize, ' ');
    if (out.records > 0 && !readAllAt(results.fd, first.data(), kResultsRecordSize, 0)) {
        out.status = Status::Io;
        return out;
    }
    if (rq.blocks) {
        out.blocks = *rq.blocks;
    } else if (out.records > 0) {
        const int interval = rq.intervalMinutes > 0 ? rq.intervalMinutes : recordIntervalMinutes(first);
        out.blocks = resultsBlocksOf(first, rq.blockStartHour, rq.blockHours, interval);
    }
    if (rq.mode & fillmode::kSelect)
        return out;

    const long long L = layout.lineWidth;
    bool complete = rq.record <= 0;
    Fd exportFile;
    if (!complete) {
        if (rq.record > out.records)
            return out;  // nothing to show from there
        exportFile.fd = ::open(rq.exportPath.c_str(), O_RDWR | O_CLOEXEC);
        const auto have = exportFile.ok() ? sizeOf(exportFile.fd) : std::nullopt;
        const long long place = resultsLineOffset(rq.record, static_cast<int>(L), out.blocks, false) - 1;
        if (!have || static_cast<long long>(*have) < place)
            complete = true;
    }
    out.complete = complete;
    const long long from = complete ? 1 : rq.record;
    const long long to = (!complete && (rq.mode & fillmode::kOneLine)) ? rq.record : out.records;

    Fd writer;  // opened on the first rewrite of an out-of-sequence record
    auto repair = [&](long long k, std::string& record) {
        record = sequenceReplacement(k, layout);
        out.replaced.push_back(k);
        if (!writer.ok())
            writer.fd = ::open(rq.resultsPath.c_str(), O_WRONLY | O_CLOEXEC);
        if (!writer.ok() ||
            !writeAllAt(writer.fd, record.data(), record.size(), static_cast<std::uint64_t>(k - 1) * kResultsRecordSize))
            out.repairStatus = Status::Io;
    };

    if (complete) {
        out.text.reserve(static_cast<std::size_t>(std::max(0LL, to - from + 1)) * static_cast<std::size_t>(L) +
                         static_cast<std::size_t>(blankLinesThrough(to, out.blocks)) * 2);
    }
    std::string chunk;
    std::string record(kResultsRecordSize, ' ');
    long long chunkFirst = 0;
    long long chunkCount = 0;
    for (long long k = from; k <= to; ++k) {
        if (k < chunkFirst || k >= chunkFirst + chunkCount) {
            chunkFirst = k;
            chunkCount = std::min(kReadChunkRecords, to - k + 1);
            chunk.resize(static_cast<std::size_t>(chunkCount) * kResultsRecordSize);
            if (!readAllAt(results.fd, chunk.data(), chunk.size(), static_cast<std::uint64_t>(k - 1) * kResultsRecordSize)) {
                out.status = Status::Io;
                return out;
            }
        }
        record.assign(chunk, static_cast<std::size_t>(k - chunkFirst) * kResultsRecordSize, kResultsRecordSize);
        if (!inSequence(record, k, layout))
            repair(k, record);
        const bool blank = startsBlock(k, out.blocks);
        if (complete) {
            if (blank)
                out.text += "\r\n";
            out.text += resultsTableLine(record, layout);
            out.text += "\r\n";
        } else {
            ResultsTableLine line;
            line.record = k;
            line.line = resultsLineIndex(k, out.blocks);
            line.offset = resultsLineOffset(k, static_cast<int>(L), out.blocks, false);
            line.blankBefore = blank;
            line.text = resultsTableLine(record, layout);
            std::string bytes = (blank ? "\r\n" : "") + line.text + "\r\n";
            if (!writeAllAt(exportFile.fd, bytes.data(), bytes.size(), static_cast<std::uint64_t>(line.offset - 1)))
                out.status = Status::Io;
            out.lines.push_back(std::move(line));
        }
        if ((k - from + 1) % kServeEvery == 0 && progress)
            progress->keepGoing();
    }

    if (complete) {
        // Replaced whole by rename, so that a reader never sees half of it.
        out.status = replaceFileQuickly(rq.exportPath, out.text);
    } else if (!(rq.mode & fillmode::kOneLine) && out.status == Status::Ok) {
        const long long end = to >= from ? resultsLineOffset(to, static_cast<int>(L), out.blocks, true) - 1 + L
                                         : resultsLineOffset(from, static_cast<int>(L), out.blocks, false) - 1;
        if (::ftruncate(exportFile.fd, static_cast<off_t>(end)) != 0)
            out.status = Status::Io;
    }
    return out;
}

}  // namespace varenta
