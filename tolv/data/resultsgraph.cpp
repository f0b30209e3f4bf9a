#include "tolv/data/resultsgraph.h"

#include "common/format.h"
#include "common/masterfile.h"
#include "common/numeric.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varenta {

namespace {

constexpr double kPi2 = 6.283185;
constexpr long long kMaxWindow = 2000000;  // records: a window beyond reason is capped
constexpr double kAxisSteps[] = {1, 2, 2.5, 5};

std::string trimmed(std::string_view s)
{
    std::size_t a = 0;
    std::size_t b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t'))
        ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t'))
        --b;
    return std::string(s.substr(a, b - a));
}

// A strict decimal: optional sign, digits with at most one point.
std::optional<double> strictNumber(const std::string& t)
{
    if (t.empty())
        return std::nullopt;
    std::size_t i = 0;
    if (t[0] == '-' || t[0] == '+')
        i = 1;
    bool digit = false;
    bool point = false;
    for (std::size_t j = i; j < t.size(); ++j) {
        if (t[j] >= '0' && t[j] <= '9') {
            digit = true;
        } else if (t[j] == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digit)
        return std::nullopt;
    return std::strtod(t.c_str(), nullptr);
}

std::optional<int> fieldNumber(const std::string& record, std::size_t offset, std::size_t width)
{
    if (offset + width > record.size())
        return std::nullopt;
    const std::string t = trimmed(std::string_view(record).substr(offset, width));
    if (t.empty() || t.size() > 4)
        return std::nullopt;
    for (char c : t)
        if (c < '0' || c > '9')
            return std::nullopt;
    return std::stoi(t);
}

double positiveMod(double a, double m)
{
    const double r = std::fmod(a, m);
    return r < 0 ? r + m : r;
}

bool hasFraction(double v) { return std::fabs(v - std::trunc(v)) >= 0.001 - 1e-12; }

std::vector<plot::Tick> valueTicks(double lower, double upper, double top, double bottom, const std::string& format)
{
    std::vector<plot::Tick> ticks;
    const double span = upper - lower;
    const double step = plot::niceStep(span, 5, kAxisSteps, true);
    if (!(step > 0))
        return ticks;
    const double start = std::ceil(lower / step - 1e-9) * step;
    for (int i = 0; i < 64; ++i) {
        const double v = start + i * step;
        if (v > upper + step * 1e-9)
            break;
        plot::Tick t;
        t.at = bottom - (v - lower) * (bottom - top) / span;
        t.label = formatMask(std::fabs(v) < step * 1e-9 ? 0.0 : v, format);
        ticks.push_back(std::move(t));
    }
    return ticks;
}

}  // namespace

// ---- arrows ----

bool arrowTurnsAround(char type)
{
    return type == '!' || type == '1' || type == '5' || type == '9' || type == '=';
}

char arrowTypeOf(const ResultItemTable& items, int code)
{
    const std::string& v = items.value(code, 4);
    for (char c : v)
        if (c != ' ')
            return c;
    return ' ';
}

std::string arrowCaption(int code)
{
    switch (code) {
    case 24:
    case 26:
    case 65:
    case 67:
    case 69: return "波向";
    case 33: return "流向";
    case 41:
    case 46:
    case 75:
    case 78: return "風向";
    default: break;
    }
    if (code >= 306 && code <= 334 && (code - 306) % 4 == 0)
        return "流向";
    return "方向";
}

ArrowDirection arrowDirection(double degrees, char type)
{
    ArrowDirection d;
    double theta = degrees;
    if (arrowTurnsAround(type))
        theta = positiveMod(theta + 180.0, 360.0);
    d.theta = theta;
    d.angle = positiveMod(360.0 - theta + 90.0, 360.0) * kPi2 / 360.0;
    return d;
}

std::string resultsAxisFormat(double step, double lower, double upper)
{
    return hasFraction(step) || hasFraction(lower) || hasFraction(upper) ? "##0.0" : "####0";
}

// ---- settings ----

int ResultsGraphSettings::panelCount() const
{
    int n = 0;
    for (int i = 0; i < kResultsSeries; ++i)
        if (series[static_cast<std::size_t>(i)].used())
            n = i / 2 + 1;
    return n;
}

ResultsGraphSettings readResultsGraphSettings(const Settings& s, std::uint32_t autoWord, bool printMode)
{
    ResultsGraphSettings g;
    static const long long kDefaultColours[kResultsSeries] = {0xFF0000, 0x0000FF, 0x008000, 0xFF00FF,
                                                              0x808000, 0x008080, 0x800080, 0x000080};
    for (int i = 0; i < kResultsSeries; ++i) {
        auto& x = g.series[static_cast<std::size_t>(i)];
        const std::string code = s.trimmed(70 + i, 0);
        x.code = code.empty() ? kSpacerCode : static_cast<int>(s.integer(70 + i, 0));
        x.lower = s.real(70 + i, 1);
        x.upper = s.real(70 + i, 2);
        x.colour = plot::colourSetting(s, 70 + i, 3, kDefaultColours[i]);
    }
    for (int r = 0; r < kResultsArrowRows; ++r) {
        const std::string code = s.trimmed(78, 6 + r);
        g.arrowCodes[static_cast<std::size_t>(r)] = code.empty() ? 0 : static_cast<int>(s.integer(78, 6 + r));
        g.arrowColours[static_cast<std::size_t>(r)] = plot::colourSetting(s, 65, 6 + r, r == 0 ? 0xFF0000 : 0x008000);
    }
    if (!s.isBlank(78, 0) && s.real(78, 0) > 0)
        g.spanDays = s.real(78, 0);
    if (!s.isBlank(78, 2) && s.integer(78, 2) > 0)
        g.divisions = static_cast<int>(std::min<long long>(s.integer(78, 2), 1000));
    if (!s.isBlank(78, 3) && s.real(78, 3) > 0)
        g.arrowRowLines = std::min(10.0, s.real(78, 3));
    g.blockStartHour = static_cast<int>(s.integer(66, 2));
    const int frameItem = printMode ? 71 : 70;
    g.frame = plot::lineSetting(s, frameItem, 4, 5);
    g.fillStyle = static_cast<int>(s.integer(frameItem, 7));
    g.captionPrefix = s.value(85, 0);
    g.identify = s.trimmed(85, 3) == "1";
    g.marks = (autoWord & resultsgraphbit::kMarks) != 0;
    g.values = (autoWord & resultsgraphbit::kValues) != 0;
    g.autoLimits = (autoWord & resultsgraphbit::kAutoLimits) != 0;
    return g;
}

// ---- the record window ----

double resultsSpanHours(double spanDays) { return spanDays >= 1 ? spanDays * 24 : spanDays * 100; }

long long resultsWindowWidth(double spanDays, int intervalMinutes)
{
    if (intervalMinutes <= 0)
        intervalMinutes = 60;
    const double w = resultsSpanHours(spanDays) * 60.0 / intervalMinutes;
    if (!(w >= 1))
        return 1;
    return std::min<long long>(kMaxWindow, roundEven(w));
}

long long resultsAnchor(long long explicitAnchor, long long currentNumber, const ResultsGraphMemory& remembered,
                        long long fileRecords)
{
    if (fileRecords <= 0)
        return 0;
    long long anchor = currentNumber;
    if (explicitAnchor > 0)
        anchor = explicitAnchor;
    else if (remembered.contains(currentNumber))
        anchor = remembered.anchor;
    anchor = std::max(1LL, anchor);
    if (anchor > fileRecords)
        anchor = fileRecords;
    return anchor;
}

ResultsWindow resultsGraphWindow(long long anchor, int anchorHour, double spanDays, int divisions,
                                 int intervalMinutes, int blockStartHour)
{
    ResultsWindow w;
    w.intervalMinutes = intervalMinutes > 0 ? intervalMinutes : 60;
    w.width = resultsWindowWidth(spanDays, w.intervalMinutes);
    w.divisions = std::max(1, divisions);
    if (w.divisions > w.width) {
        w.divisions = static_cast<int>(w.width);
        w.divisionsLowered = true;
    }
    w.recordsPerDivision = static_cast<double>(w.width) / w.divisions;
    w.hoursPerDivision = static_cast<int>(roundEven(w.recordsPerDivision * w.intervalMinutes / 60.0));
    w.anchor = anchor;
    long long gapHours = 0;
    if (w.hoursPerDivision > 0) {
        const long long P = w.hoursPerDivision;
        const long long a = ((static_cast<long long>(anchorHour) - blockStartHour) % P + P) % P;
        gapHours = a > 0 ? P - a : 0;
    }
    w.gap = gapHours * 60 / w.intervalMinutes;
    w.first = anchor - w.width + w.gap;
    return w;
}

// ---- values ----

std::string resultsGraphItem(const std::string& record, int position)
{
    if (position < 0 || position >= kResultItems)
        return {};
    const std::size_t off = resultItemOffset(position);
    if (off + 5 > record.size())
        return {};
    if (position % 8 == 0 && position > 0)
        return record.substr(off - 1, 6);
    return record.substr(off, 5);
}

std::optional<double> resultsGraphValue(std::string_view text)
{
    const std::string t = trimmed(text);
    if (t.empty() || t == "9999" || t == "-----")
        return std::nullopt;
    return strictNumber(t);
}

std::optional<DateTime> recordDateTime(const std::string& record)
{
    if (record.size() < 23 || record.compare(0, 5, "-----") == 0)
        return std::nullopt;
    const auto y = fieldNumber(record, 6, 5);
    const auto mo = fieldNumber(record, 12, 2);
    const auto d = fieldNumber(record, 15, 2);
    const auto h = fieldNumber(record, 18, 2);
    const auto mi = fieldNumber(record, 21, 2);
    if (!y || !mo || !d || !h || !mi || record[14] != '/' || record[20] != ':')
        return std::nullopt;
    if (*mo < 1 || *mo > 12 || *d < 1 || *d > daysInMonth(2000 + *y % 100, *mo) || *h > 23 || *mi > 59)
        return std::nullopt;
    DateTime t;
    t.year = 2000 + *y % 100;
    t.month = *mo;
    t.day = *d;
    t.hour = *h;
    t.minute = *mi;
    return t;
}

std::optional<long long> resultsRecordCount(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<long long>(static_cast<std::uint64_t>(st.st_size) / kResultsRecordSize);
}

Status readResultsRecords(const std::string& path, long long first, long long last, std::vector<std::string>& out)
{
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Status::NotFound : Status::Io;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return Status::Io;
    }
    const long long whole = static_cast<long long>(static_cast<std::uint64_t>(st.st_size) / kResultsRecordSize);
    first = std::max(1LL, first);
    last = std::min(last, whole);
    Status status = Status::Ok;
    if (last >= first) {
        std::string bytes(static_cast<std::size_t>(last - first + 1) * kResultsRecordSize, '\0');
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t r = ::pread(fd, bytes.data() + got, bytes.size() - got,
                                      static_cast<off_t>((first - 1) * static_cast<long long>(kResultsRecordSize)) +
                                          static_cast<off_t>(got));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break;
            got += static_cast<std::size_t>(r);
        }
        if (got < bytes.size())
            status = Status::Io;
        const std::size_t n = got / kResultsRecordSize;
        out.reserve(n);
        for (std::size_t i = 0; i < n; ++i)
            out.push_back(bytes.substr(i * kResultsRecordSize, kResultsRecordSize));
    }
    ::close(fd);
    return status;
}

ResultsGraphData readResultsGraphData(const ResultsGraphRequest& rq, const ResultsGraphSettings& settings)
{
    ResultsGraphData d;
    const auto count = resultsRecordCount(rq.resultsPath);
    if (!count) {
        d.status = Status::NotFound;
        return d;
    }
    d.fileRecords = *count;
    const long long anchor = resultsAnchor(rq.explicitAnchor, rq.currentNumber, rq.remembered, d.fileRecords);
    if (anchor <= 0) {
        d.status = Status::NotFound;
        return d;
    }
    std::vector<std::string> anchorRecord;
    if (Status st = readResultsRecords(rq.resultsPath, anchor, anchor, anchorRecord);
        st != Status::Ok || anchorRecord.empty()) {
        d.status = st == Status::Ok ? Status::Io : st;
        return d;
    }
    // The interval of the header, else of the records (the anchor first).
    int interval = rq.intervalMinutes;
    if (interval <= 0 && recordDateTime(anchorRecord[0]))
        interval = fieldNumber(anchorRecord[0], 0, 3).value_or(0);
    const long long widthGuess = resultsWindowWidth(settings.spanDays, interval > 0 ? interval : 60);
    std::vector<std::string> span;
    if (Status st = readResultsRecords(rq.resultsPath, anchor - widthGuess, anchor, span); st != Status::Ok) {
        d.status = st;
        return d;
    }
    const long long spanFirst = anchor - static_cast<long long>(span.size()) + 1;
    if (interval <= 0) {
        for (auto it = span.rbegin(); it != span.rend() && interval <= 0; ++it)
            if (recordDateTime(*it))
                interval = fieldNumber(*it, 0, 3).value_or(0);
        if (interval <= 0)
            interval = 60;
    }
    for (long long k = anchor; k >= spanFirst; --k) {
        if (const auto t = recordDateTime(span[static_cast<std::size_t>(k - spanFirst)])) {
            d.referenceTime = *t;
            d.referenceRecord = k;
            break;
        }
    }
    int anchorHour = 0;
    if (const auto t = recordDateTime(anchorRecord[0]))
        anchorHour = t->hour;
    else if (d.referenceTime)
        anchorHour = addMinutes(*d.referenceTime, (anchor - d.referenceRecord) * static_cast<long long>(interval)).hour;
    d.window = resultsGraphWindow(anchor, anchorHour, settings.spanDays, settings.divisions, interval,
                                  settings.blockStartHour);
    const long long from = d.window.firstDrawn();
    if (from > anchor) {
        d.records.clear();
    } else {
        const std::size_t skip = static_cast<std::size_t>(std::max(0LL, from - spanFirst));
        d.records.assign(span.begin() + static_cast<std::ptrdiff_t>(std::min(skip, span.size())), span.end());
    }
    return d;
}

// ---- the layout ----

ResultsGraphLayout layoutResultsGraph(const ResultsGraphInput& in, const ResultsGraphSettings& st)
{
    ResultsGraphLayout L;
    L.caption = plot::graphCaption(st.captionPrefix, st.identify, in.machineNumber, in.currentNumber, in.dateText,
                                   in.timeText);
    if (!in.data || in.data->status != Status::Ok || in.data->window.anchor <= 0)
        return L;
    const ResultsGraphData& data = *in.data;
    const ResultsWindow& w = data.window;
    L.window = w;
    L.width = static_cast<double>(w.width);
    L.fileRecords = data.fileRecords;

    // Arrow rows on top, then the panels.
    double y = 0;
    for (int r = 0; r < kResultsArrowRows; ++r) {
        const int code = st.arrowCodes[static_cast<std::size_t>(r)];
        if (!ResultsGraphSettings::arrowUsed(code))
            continue;
        ResultsArrowRow row;
        row.code = code;
        row.type = in.items ? arrowTypeOf(*in.items, code) : ' ';
        row.colour = st.arrowColours[static_cast<std::size_t>(r)];
        row.caption = arrowCaption(code);
        row.top = y;
        row.bottom = y + in.arrowRowHeight;
        y = row.bottom;
        L.arrowRows.push_back(std::move(row));
    }
    int panels = st.panelCount();
    if (panels == 0 && !L.arrowRows.empty())
        panels = 1;
    if (panels == 0 && L.arrowRows.empty())
        return L;
    for (int p = 0; p < panels; ++p) {
        ResultsGraphPanel panel;
        panel.top = y;
        panel.bottom = y + kResultsPanelHeight;
        y = panel.bottom;
        L.panels.push_back(panel);
    }
    L.plotTop = 0;
    L.plotBottom = y;
    L.drawable = true;

    const long long from = w.firstDrawn();
    const auto recordAt = [&](long long k) -> const std::string& {
        return data.records[static_cast<std::size_t>(k - from)];
    };
    const long long last = from + static_cast<long long>(data.records.size()) - 1;

    // Series.
    for (int i = 0; i < kResultsSeries; ++i) {
        const auto& s = st.series[static_cast<std::size_t>(i)];
        if (!s.used() || i / 2 >= panels)
            continue;
        ResultsGraphCurve c;
        c.series = i;
        c.panel = i / 2;
        c.right = i % 2 == 1;
        c.position = in.selection ? in.selection->positionOf(s.code) : -1;
        c.colour = s.colour;
        c.lower = s.lower;
        c.upper = s.upper;
        if (in.items)
            c.name = trimmed(in.items->shortName(s.code));
        // Values in the window.
        std::vector<std::optional<double>> values;
        std::vector<std::string> texts;
        if (c.position >= 0) {
            values.reserve(static_cast<std::size_t>(std::max(0LL, last - from + 1)));
            for (long long k = from; k <= last; ++k) {
                const std::string item = resultsGraphItem(recordAt(k), c.position);
                values.push_back(resultsGraphValue(item));
                texts.push_back(trimmed(item));
            }
        }
        if (st.autoLimits) {
            double lo = 0, hi = 0;
            bool any = false;
            for (const auto& v : values)
                if (v) {
                    lo = any ? std::min(lo, *v) : *v;
                    hi = any ? std::max(hi, *v) : *v;
                    any = true;
                }
            if (any) {
                if (hi - lo < 1e-9) {
                    const double pad = std::max(1.0, std::fabs(hi) * 0.1);
                    lo -= pad;
                    hi += pad;
                }
                const double step = plot::niceStep(hi - lo, 4, kAxisSteps, true);
                c.lower = std::floor(lo / step) * step;
                c.upper = std::ceil(hi / step) * step;
            }
        }
        const ResultsGraphPanel& panel = L.panels[static_cast<std::size_t>(c.panel)];
        const double span = c.upper - c.lower;
        if (span > 0) {
            const double step = plot::niceStep(span, 5, kAxisSteps, true);
            c.format = resultsAxisFormat(step, c.lower, c.upper);
            c.ticks = valueTicks(c.lower, c.upper, panel.top, panel.bottom, c.format);
            plot::Run run;
            for (std::size_t j = 0; j < values.size(); ++j) {
                const auto& v = values[j];
                if (!v) {
                    if (run.size() > 0)
                        c.runs.push_back(std::move(run));
                    run = plot::Run();
                    continue;
                }
                const float x = static_cast<float>(w.xOf(from + static_cast<long long>(j)));
                const float yy = static_cast<float>(panel.bottom - (*v - c.lower) * kResultsPanelHeight / span);
                run.x.push_back(x);
                run.y.push_back(yy);
                c.pointX.push_back(x);
                c.pointY.push_back(yy);
                c.pointTexts.push_back(texts[j]);
            }
            if (run.size() > 0)
                c.runs.push_back(std::move(run));
        } else {
            c.format = "####0";
        }
        L.curves.push_back(std::move(c));
    }

    // Arrows: one per record with a value.
    for (ResultsArrowRow& row : L.arrowRows) {
        const int p = in.selection ? in.selection->positionOf(row.code) : -1;
        if (p < 0)
            continue;
        for (long long k = from; k <= last; ++k) {
            const auto v = resultsGraphValue(resultsGraphItem(recordAt(k), p));
            if (!v)
                continue;
            row.arrows.push_back({w.xOf(k), arrowDirection(*v, row.type)});
        }
    }

    // Time labels at the division boundaries, counted from the newest dated
    // record of the window.
    if (data.referenceTime) {
        const bool hours = w.recordsPerDivision * w.intervalMinutes < 1440.0 - 1e-9;
        int previousDay = -1;
        for (int i = 0; i <= w.divisions; ++i) {
            ResultsTimeLabel t;
            t.x = i * w.recordsPerDivision;
            const double records = static_cast<double>(w.first) + t.x - static_cast<double>(data.referenceRecord);
            const long long minutes = roundEven(records * w.intervalMinutes);
            const DateTime at = addMinutes(*data.referenceTime, minutes);
            if (hours)
                t.hour = std::to_string(at.hour) + "時";
            if (at.day != previousDay)
                t.day = std::to_string(at.day) + "日";
            previousDay = at.day;
            L.timeLabels.push_back(std::move(t));
        }
    } else {
        for (int i = 0; i <= w.divisions; ++i) {
            ResultsTimeLabel t;
            t.x = i * w.recordsPerDivision;
            L.timeLabels.push_back(std::move(t));
        }
    }
    return L;
}

long long resultsGraphRecordAt(const ResultsGraphLayout& L, double x)
{
    if (!L.drawable || L.window.anchor <= 0)
        return 0;
    const long long k = L.window.first + roundEven(x);
    return std::clamp(k, L.window.firstDrawn(), L.window.anchor);
}

int resultsZoomChannelAt(double y, double paneHeight, double plotBottom, const ResultsGraphSettings& st)
{
    const bool lowerPanel = st.series[2].used() || st.series[3].used();
    const double boundary = lowerPanel ? paneHeight / 2 : plotBottom;
    return y < boundary ? 1 : 3;
}

}  // namespace varenta
