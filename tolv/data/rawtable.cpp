#include "tolv/data/rawtable.h"

#include "common/fileio.h"
#include "common/format.h"
#include "common/numeric.h"
#include "common/textcodec.h"
#include "common/textfile.h"

#include <cmath>
#include <filesystem>
#include <system_error>
#include <unordered_map>

namespace varenta {

namespace {

std::string trimmedFormat(const std::string& f)
{
    std::size_t a = 0, b = f.size();
    while (a < b && (f[a] == ' ' || f[a] == '\t'))
        ++a;
    while (b > a && (f[b - 1] == ' ' || f[b - 1] == '\t'))
        --b;
    return f.substr(a, b - a);
}

int startMinuteOf(const std::string& timeText)
{
    // Characters 4 and 5 of "hh:mm:ss".
    if (timeText.size() < 5)
        return 0;
    const char a = timeText[3], b = timeText[4];
    const int hi = (a >= '0' && a <= '9') ? a - '0' : 0;
    const int lo = (b >= '0' && b <= '9') ? b - '0' : 0;
    return hi * 10 + lo;
}

}  // namespace

std::string rawTableTimeText(int sample, double intervalTenths, int startMinute)
{
    const double t = static_cast<double>(sample) * intervalTenths * 0.1 + startMinute * 60.0;
    // A product such as 3 x 0.1 may land a hair below the whole second; the
    // nudge keeps it from being shown as the previous second plus 1.0.
    const double whole = std::floor(t + 1e-9);
    const long long e = static_cast<long long>(whole);
    const long long minutes = (e % 3600) / 60;
    const double seconds = static_cast<double>(e % 60) + std::max(0.0, t - whole);
    return formatMask(static_cast<double>(minutes), "00") + ":" + formatMask(seconds, "00.0");
}

std::string rawTableField(double factor, std::int16_t count, const std::string& format)
{
    const double value = factor * static_cast<double>(count);
    const std::string text = formatMask(value, trimmedFormat(format));
    return rightAlign(text, 7);
}

std::string rawTableBody(const RawTableInput& in)
{
    if (!in.header || !in.rawCounts || !in.channels)
        return {};
    const MeasurementHeader& h = *in.header;
    const auto& counts = *in.rawCounts;
    const int samples = std::max(0, h.samplesPerChannel);
    const int startMinute = startMinuteOf(h.timeText);

    struct Column {
        double factor;
        std::string format;
        const std::vector<std::int16_t>* data;
        // Counts repeat often within a burst: each is formatted once.
        std::unordered_map<std::int16_t, std::string> fields;
    };
    std::vector<Column> cols;
    for (int idx : in.displayed) {
        if (idx < 0 || idx >= static_cast<int>(h.channels.size()))
            continue;
        const int code = h.channels[static_cast<std::size_t>(idx)];
        const std::vector<std::int16_t>* data =
            idx < static_cast<int>(counts.size()) ? &counts[static_cast<std::size_t>(idx)] : nullptr;
        cols.push_back({in.channels->factor(code), in.channels->value(code, 3), data, {}});
    }

    std::string body;
    body.reserve(static_cast<std::size_t>(samples) * (cols.size() * 8 + 9));
    for (int j = 0; j < samples; ++j) {
        if (j > 0)
            body += "\r\n";
        if (in.timeColumn)
            body += rawTableTimeText(j, h.intervalTenths, startMinute);
        for (std::size_t c = 0; c < cols.size(); ++c) {
            Column& col = cols[c];
            const std::int16_t count = (col.data && j < static_cast<int>(col.data->size()))
                                           ? (*col.data)[static_cast<std::size_t>(j)]
                                           : kMissingSample;
            auto it = col.fields.find(count);
            if (it == col.fields.end())
                it = col.fields.emplace(count, rawTableField(col.factor, count, col.format)).first;
            body += it->second;
            if (c + 1 < cols.size())
                body += ',';
        }
    }
    return body;
}

std::string rawTableHeading(const std::string& captions0, const std::string& captions1)
{
    return captions0 + "\r\n" + captions1;
}

std::string rawTableExportName(const std::string& filePrefix) { return filePrefix + "22g.txt"; }

Status writeRawTableExport(const std::string& path, const std::string& body)
{
    // The export is written again at every display step.
    return replaceFileQuickly(path, toCodePage(body));
}

Status copyRawTableToWeb(const std::string& exportPath, const std::string& webFolder)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target = fs::path(webFolder) / kRawTableWebName;
    if (fs::equivalent(exportPath, target, ec))
        return Status::Ok;
    std::string bytes;
    if (Status st = readFileBytes(exportPath, bytes); st != Status::Ok)
        return st;
    fs::remove(target, ec);
    return writeFileBytesAtomic(target.string(), bytes);
}

}  // namespace varenta
