#include "tolv/data/tablesave.h"

#include "common/bytes.h"
#include "common/fileio.h"
#include "common/format.h"
#include "tolv/data/rawtable.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varenta {

namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    return lines;
}

std::string trim(const std::string& s)
{
    const auto a = s.find_first_not_of(" \t");
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

std::vector<std::string> splitFields(const std::string& line)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        const std::size_t c = line.find(',', start);
        out.push_back(line.substr(start, c == std::string::npos ? std::string::npos : c - start));
        if (c == std::string::npos)
            break;
        start = c + 1;
    }
    return out;
}

bool parseNumber(const std::string& text, double& v)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(v);
}

std::string where(std::size_t line, std::size_t column)
{
    return std::to_string(line + 1) + "行目" + std::to_string(column + 1) + "列目";
}

}  // namespace

Status rawTableToCounts(const RawSaveRequest& rq, std::vector<std::int16_t>& interleaved, std::string* message)
{
    auto refuse = [&](const std::string& text) {
        if (message)
            *message = text;
        return Status::Refused;
    };
    if (!rq.header || !rq.channels)
        return refuse("生データがありません");
    const MeasurementHeader& h = *rq.header;
    const int c = h.channelCount;
    const int samples = h.samplesPerChannel;
    if (c < 1 || samples < 1 || interleaved.size() != static_cast<std::size_t>(c) * samples)
        return refuse("生データがありません");
    struct Column {
        int index;
        double factor;
        std::string format;
    };
    std::vector<Column> cols;
    for (int idx : rq.displayed)
        if (idx >= 0 && idx < c) {
            const int code = h.channels[static_cast<std::size_t>(idx)];
            cols.push_back({idx, rq.channels->factor(code), rq.channels->value(code, 3)});
        }
    const std::vector<std::string> lines = splitLines(rq.text);
    if (static_cast<int>(lines.size()) != samples)
        return refuse("生データ表の行数(" + std::to_string(lines.size()) + ")が測定のサンプル数(" +
                      std::to_string(samples) + ")と違います。保存しませんでした。");
    std::vector<std::int16_t> out = interleaved;
    const std::size_t lead = rq.timeColumn ? static_cast<std::size_t>(kRawTimeColumnWidth) : 0;
    for (std::size_t j = 0; j < lines.size(); ++j) {
        if (cols.empty())
            break;
        const std::string& line = lines[j];
        if (line.size() < lead)
            return refuse(where(j, 0) + ": 時刻の欄が欠けています。保存しませんでした。");
        const std::vector<std::string> fields = splitFields(line.substr(lead));
        if (fields.size() != cols.size())
            return refuse(where(j, 0) + ": 欄の数が表示チャンネル数と違います。保存しませんでした。");
        for (std::size_t i = 0; i < cols.size(); ++i) {
            const Column& col = cols[i];
            std::int16_t& slot = out[j * static_cast<std::size_t>(c) + static_cast<std::size_t>(col.index)];
            const std::string text = trim(fields[i]);
            // Unchanged as shown: the stored count stays, whatever the format rounds.
            if (text == trim(rawTableField(col.factor, slot, col.format)))
                continue;
            double v = 0;
            if (!parseNumber(text, v))
                return refuse(where(j, i) + ": \"" + text + "\" は数値ではありません。保存しませんでした。");
            if (col.factor == 0)
                return refuse(where(j, i) + ": 換算係数が0のチャンネルは保存できません。");
            const double counts = v / col.factor;
            const double r = std::nearbyint(counts);
            if (r < -32768.0 || r > 32767.0 || std::fabs(counts - r) > 1e-6 * std::max(1.0, std::fabs(counts)))
                return refuse(where(j, i) + ": \"" + text + "\" は計数値に正確に戻せません（係数 " +
                              formatMask(col.factor, "0.0#########") + "）。保存しませんでした。");
            slot = static_cast<std::int16_t>(r);
        }
    }
    interleaved = std::move(out);
    return Status::Ok;
}

RawSaveOutcome saveRawTable(const RawSaveRequest& rq, const Progress* progress)
{
    RawSaveOutcome out;
    auto end = [&](Status st, const std::string& text) {
        out.status = st;
        out.message = text;
        return out;
    };
    if (!rq.header)
        return end(Status::Refused, "生データがありません");
    const MeasurementHeader& h = *rq.header;
    const int sectors = h.sectorsPerMeasurement;
    if (h.packetKind() != kPacketKindHeader || sectors < 1 || h.totalSamples < 1)
        return end(Status::Refused, "この測定には生データがありません");
    const int fd = ::open(rq.measurementPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return end(Status::Io, "マスターファイルに書き込めません: " + rq.measurementPath);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    const std::size_t bytes = static_cast<std::size_t>(sectors) * kSectorSize;
    std::vector<std::uint8_t> data(bytes);
    const long long got = readUpToAt(fd, data.data(), bytes, static_cast<std::uint64_t>(rq.offset));
    if (got < 0)
        return end(Status::Io, "マスターファイルを読めません: " + rq.measurementPath);
    if (static_cast<std::size_t>(got) < bytes)
        return end(Status::Refused, "測定のセクターがファイルに揃っていません。保存しませんでした。");
    const auto stored = readValidHeader(data.data());
    if (!stored || stored->measurementNumber != h.measurementNumber || stored->channels != h.channels)
        return end(Status::Refused, "表示中の測定がファイルの内容と合いません。保存しませんでした。");

    // The layout as the table was made (a set sample interval may differ
    // from the header's code).
    std::vector<std::int16_t> words;
    unpackSamples(h, data.data(), data.size(), words);
    const std::vector<std::int16_t> before = words;
    std::string message;
    if (rawTableToCounts(rq, words, &message) != Status::Ok)
        return end(Status::Refused, message);
    for (std::size_t i = 0; i < words.size(); ++i)
        out.changedSamples += words[i] != before[i];

    // Every sector gets its words and check byte before any is written.
    std::size_t w = 0;
    for (int s = 0; s < sectors; ++s) {
        std::uint8_t* sec = data.data() + static_cast<std::size_t>(s) * kSectorSize;
        for (std::size_t at = s == 0 ? hdr::firstSamples : hdr::contSamples;
             at + 1 < kSectorSize && w < words.size(); at += 2, ++w)
            putS16(sec, at, words[w]);
        fixSectorChecksum(sec);
    }
    for (int s = 0; s < sectors; ++s) {
        const std::size_t at = static_cast<std::size_t>(s) * kSectorSize;
        if (!writeAllAt(fd, reinterpret_cast<const char*>(data.data() + at), kSectorSize,
                        static_cast<std::uint64_t>(rq.offset) + at))
            return end(Status::Io, "マスターファイルに書き込めません: " + rq.measurementPath);
        ++out.sectorsWritten;
        if (progress && s % 8 == 7)
            progress->keepGoing();  // the save always completes: a half-saved table is worse than a late stop
    }
    if (::fsync(fd) != 0)
        return end(Status::Io, "マスターファイルに書き込めません: " + rq.measurementPath);
    return out;
}

std::string applyResultsLine(const std::string& record, const std::string& line, const ResultsTableLayout& layout)
{
    if (static_cast<int>(line.size()) != layout.bodyWidth() || record.size() < kResultsRecordSize)
        return {};
    std::string rec = record;
    std::size_t cursor = 0;
    for (const ResultsTableColumn& col : layout.columns) {
        if (cursor >= line.size())
            break;
        const std::string text = line.substr(cursor, static_cast<std::size_t>(col.width));
        cursor += static_cast<std::size_t>(col.width);
        if (col.spacer || col.position < 0 || col.position >= kResultItems)
            continue;
        std::string item = rightAlign("    " + text, 5);
        if (!item.empty() && item.back() == '-')
            item = "-----";
        rec.replace(resultItemOffset(col.position), 5, item);
    }
    return rec;
}

ResultsSaveOutcome saveResultsEdits(const std::string& resultsPath, const std::vector<std::string>& lines,
                                    const ResultsTableLayout& layout, const ResultsBlocks& blocks,
                                    const std::vector<long long>& records)
{
    ResultsSaveOutcome out;
    if (records.empty())
        return out;
    const int fd = ::open(resultsPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        out.status = Status::Io;
        out.message = "処理結果ファイルに書き込めません: " + resultsPath;
        return out;
    }
    struct stat st {};
    const long long size = ::fstat(fd, &st) == 0 ? static_cast<long long>(st.st_size) : 0;
    for (long long k : records) {
        const long long at = (k - 1) * static_cast<long long>(kResultsRecordSize);
        if (k < 1 || at + static_cast<long long>(kResultsRecordSize) > size)
            break;
        std::string rec(kResultsRecordSize, '\0');
        if (!readAllAt(fd, rec.data(), rec.size(), static_cast<std::uint64_t>(at))) {
            out.status = Status::Io;
            break;
        }
        const long long li = resultsLineIndex(k, blocks);
        const std::string updated =
            li >= 0 && li < static_cast<long long>(lines.size())
                ? applyResultsLine(rec, lines[static_cast<std::size_t>(li)], layout)
                : std::string();
        if (updated.empty()) {
            out.skipped.push_back(k);
            continue;
        }
        if (updated != rec && !writeAllAt(fd, updated.data(), updated.size(), static_cast<std::uint64_t>(at))) {
            out.status = Status::Io;
            break;
        }
        out.saved.push_back(k);
    }
    if (::close(fd) != 0 && out.status == Status::Ok)
        out.status = Status::Io;
    if (out.status == Status::Io)
        out.message = "処理結果ファイルに書き込めません: " + resultsPath;
    return out;
}

}  // namespace varenta
