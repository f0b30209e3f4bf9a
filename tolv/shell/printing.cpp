#include "tolv/shell/printing.h"

#include "common/textcodec.h"
#include "tolv/data/resultsgraph.h"

#include <algorithm>

namespace varenta {

PrintSetup printSetupFor(const Settings& s, int kind)
{
    PrintSetup p;
    p.printerName = s.trimmed(89, 5);
    const int item = 190 + std::clamp(kind, 0, 7);
    p.fontName = s.trimmed(item, 0);
    const double size = s.real(item, 1);
    p.fontSize = size > 0 ? size : 10.0;
    p.bold = s.trimmed(item, 2) == "True";
    p.italic = s.trimmed(item, 3) == "True";
    const bool table = kind == 0 || kind == 2;
    p.portrait = s.integer(85, table ? 1 : 2) == 1;
    p.offsetLeftMm = std::max(0.0, s.real(68, 6));
    p.offsetTopMm = std::max(0.0, s.real(68, 7));
    return p;
}

bool isPdfPrinterName(const std::string& name)
{
    if (name.size() < 5)
        return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".pdf";
}

RecordRange resultsPageRange(long long r, bool forward, long long rowsPerPage, long long lastRecord)
{
    if (lastRecord < 1)
        return {};
    const long long R = std::max(1LL, rowsPerPage);
    long long first = forward ? r : r - R + 1;
    long long last = first + R - 1;
    if (first < 1) {
        first = 1;
        last = forward ? R : std::max(1LL, r);
    }
    if (first > lastRecord)
        first = lastRecord;
    last = std::clamp(last, first, lastRecord);
    return {first, last};
}

std::string recordDateField(const std::string& record)
{
    return record.size() >= 17 ? record.substr(12, 5) : std::string();
}

std::vector<RecordRange> resultsFilePages(const std::vector<std::string>& leading, long long rowsPerPage,
                                          long long lastRecord, int intervalMinutes)
{
    std::vector<RecordRange> pages;
    if (lastRecord < 1)
        return pages;
    const long long R = std::max(1LL, rowsPerPage);
    const long long P = intervalMinutes > 0 ? std::max(1, 1440 / intervalMinutes) : 0;
    long long end = 0;  // the end of the first page; 0: pages from record 1
    if (P > 0 && !leading.empty()) {
        const std::string date = recordDateField(leading.front());
        long long count = 0;
        const long long n = std::min<long long>(P, static_cast<long long>(leading.size()));
        while (count < n && recordDateField(leading[static_cast<std::size_t>(count)]) == date)
            ++count;
        if (count < n) {
            end = count == P ? R : count + R - P;
            while (end < 1)
                end += R;
        }
    }
    long long first = 1;
    if (end > 0) {
        const long long last = std::min(end, lastRecord);
        pages.push_back({std::max(1LL, last - R + 1), last});
        first = last + 1;
    }
    while (first <= lastRecord) {
        const long long last = std::min(first + R - 1, lastRecord);
        pages.push_back({first, last});
        first = last + 1;
    }
    return pages;
}

Status resultsPageText(const ResultsPageSource& src, const RecordRange& range, ResultsPageText& out)
{
    out = {};
    if (range.first < 1 || range.last < range.first)
        return Status::DataFormat;
    std::vector<std::string> first;
    if (Status st = readResultsRecords(src.resultsPath, 1, 1, first); st != Status::Ok)
        return st;
    if (first.empty())
        return Status::DataFormat;
    std::vector<std::string> records;
    if (Status st = readResultsRecords(src.resultsPath, range.first, range.last, records); st != Status::Ok)
        return st;
    const int interval = src.intervalMinutes > 0 ? src.intervalMinutes : recordIntervalMinutes(first.front());
    const ResultsBlocks blocks = resultsBlocksOf(first.front(), src.blockStartHour, src.blockHours, interval);
    if (!trimBlanks(src.title).empty())
        out.heading.push_back(src.title);
    out.heading.push_back(src.layout.heading1);
    out.heading.push_back(src.layout.heading2);
    long long k = range.first;
    for (const std::string& rec : records) {
        if (k > range.first && startsBlock(k, blocks))
            out.rows.emplace_back();
        out.rows.push_back(fromCodePage(resultsTableLine(rec, src.layout)));
        ++k;
    }
    return Status::Ok;
}

std::vector<std::string> splitPaneLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string cur;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (c == '\n' || c == '\r') {
            lines.push_back(std::move(cur));
            cur.clear();
        } else if (text.compare(i, 3, "\xE2\x80\xA9") == 0) {  // paragraph separator
            lines.push_back(std::move(cur));
            cur.clear();
            i += 2;
        } else {
            cur += c;
        }
    }
    if (!cur.empty() || lines.empty())
        lines.push_back(std::move(cur));
    return lines;
}

}  // namespace varenta
