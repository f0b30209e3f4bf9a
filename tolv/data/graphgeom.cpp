#include "tolv/data/graphgeom.h"

#include "common/format.h"

#include <algorithm>
#include <cmath>

namespace varenta::plot {

LineSetting lineSetting(const Settings& s, int item, int widthValue, int styleValue)
{
    LineSetting l;
    if (!s.isBlank(item, widthValue)) {
        const double w = s.real(item, widthValue);
        if (w >= 1 && w <= 100)
            l.width = w;
    }
    if (!s.isBlank(item, styleValue)) {
        const long long st = s.integer(item, styleValue);
        if (st >= 0 && st <= 6)
            l.style = static_cast<int>(st);
    }
    return l;
}

long long colourSetting(const Settings& s, int item, int value, long long fallback)
{
    const std::string t = s.trimmed(item, value);
    if (t.empty())
        return fallback;
    for (char c : t)
        if (c < '0' || c > '9')
            return fallback;
    if (t.size() > 9)
        return fallback;
    const long long n = std::stoll(t);
    return n <= 0xFFFFFF ? n : fallback;
}

double niceStep(double span, int maxDivisions, std::span<const double> steps, bool decades)
{
    if (!(span > 0) || steps.empty())
        return 0;
    if (maxDivisions < 1)
        maxDivisions = 1;
    const double wanted = span / maxDivisions;
    if (!decades) {
        for (double s : steps)
            if (s > 0 && s >= wanted * (1 - 1e-12))
                return s;
        return *std::max_element(steps.begin(), steps.end());
    }
    // Steps scaled by powers of ten: the smallest one not below the wanted step.
    double scale = std::pow(10.0, std::floor(std::log10(wanted)) - 1);
    for (int guard = 0; guard < 4; ++guard, scale *= 10)
        for (double s : steps)
            if (s > 0 && s * scale >= wanted * (1 - 1e-12))
                return s * scale;
    return steps.back() * scale;
}

std::string axisNumber(double v)
{
    const double mag = std::max(1.0, std::fabs(v));
    if (std::fabs(v - std::round(v)) <= 1e-9 * mag) {
        const double r = std::round(v);
        return formatMask(r == 0 ? 0.0 : r, "#0");
    }
    static const char* const masks[] = {"#0.0", "#0.00", "#0.000", "#0.0000"};
    for (const char* m : masks) {
        const std::string t = formatMask(v, m);
        const double back = std::strtod(t.c_str(), nullptr);
        if (std::fabs(back - v) <= 1e-9 * mag)
            return t;
    }
    return formatMask(v, "#0.0000");
}

std::string measurementIdentification(int machineNumber, long long number, const std::string& dateText,
                                      const std::string& timeText)
{
    return " No." + std::to_string(machineNumber) + "-" + std::to_string(number) + " " + dateText + " " +
           timeText.substr(0, std::min<std::size_t>(5, timeText.size()));
}

std::string graphCaption(const std::string& prefix, bool identify, int machineNumber, long long number,
                         const std::string& dateText, const std::string& timeText)
{
    std::string c = prefix;
    if (identify)
        c += measurementIdentification(machineNumber, number, dateText, timeText);
    return c;
}

namespace {

// One pixel column being collected: its first, lowest, highest and last
// samples (as sample offsets and y values).
struct Column {
    long long firstI = -1, lowI = 0, highI = 0, lastI = 0;
    double firstY = 0, lowY = 0, highY = 0, lastY = 0;

    void add(long long i, double y)
    {
        if (firstI < 0) {
            firstI = lowI = highI = lastI = i;
            firstY = lowY = highY = lastY = y;
            return;
        }
        if (y < lowY)
            lowI = i, lowY = y;
        if (y > highY)
            highI = i, highY = y;
        lastI = i, lastY = y;
    }
    bool empty() const { return firstI < 0; }
    void flushTo(Run& run, double x0)
    {
        if (empty())
            return;
        // Up to four points in sample order, each sample once.
        struct P {
            long long i;
            double y;
        } p[4] = {{firstI, firstY}, {lowI, lowY}, {highI, highY}, {lastI, lastY}};
        std::sort(p, p + 4, [](const P& a, const P& b) { return a.i < b.i; });
        long long prev = -1;
        for (const P& q : p) {
            if (q.i == prev)
                continue;
            prev = q.i;
            run.x.push_back(static_cast<float>(x0 + static_cast<double>(q.i)));
            run.y.push_back(static_cast<float>(q.y));
        }
        firstI = -1;
    }
};

}  // namespace

std::vector<Run> reduceSeries(std::span<const float> values, long long first, long long count, double x0,
                              double baseline, double ratio, double columns)
{
    std::vector<Run> runs;
    if (first < 0) {
        count += first;
        x0 -= static_cast<double>(first);
        first = 0;
    }
    const long long n = static_cast<long long>(values.size());
    if (first >= n || count <= 0)
        return runs;
    count = std::min(count, n - first);

    const bool reduce = columns >= 1 && static_cast<double>(count) > columns;
    Run run;
    auto endRun = [&] {
        if (!run.x.empty())
            runs.push_back(std::move(run));
        run = Run{};
    };
    if (!reduce) {
        run.x.reserve(static_cast<std::size_t>(count));
        run.y.reserve(static_cast<std::size_t>(count));
        for (long long k = 0; k < count; ++k) {
            const float v = values[static_cast<std::size_t>(first + k)];
            if (isMissingValue(v)) {
                endRun();
                continue;
            }
            run.x.push_back(static_cast<float>(x0 + static_cast<double>(k)));
            run.y.push_back(static_cast<float>(baseline - ratio * static_cast<double>(v)));
        }
        endRun();
        return runs;
    }

    const double perSample = columns / static_cast<double>(count);
    Column col;
    long long colIndex = -1;
    for (long long k = 0; k < count; ++k) {
        const float v = values[static_cast<std::size_t>(first + k)];
        if (isMissingValue(v)) {
            col.flushTo(run, x0);
            endRun();
            colIndex = -1;
            continue;
        }
        const long long c = static_cast<long long>(std::floor(static_cast<double>(k) * perSample));
        if (c != colIndex) {
            col.flushTo(run, x0);
            colIndex = c;
        }
        col.add(k, baseline - ratio * static_cast<double>(v));
    }
    col.flushTo(run, x0);
    endRun();
    return runs;
}

double widenEnd(double start, double end, double edge, double pixels, double needPixels)
{
    if (!(pixels > 0) || !(needPixels > 0) || needPixels >= pixels || end == start)
        return end;
    const double have = (end - edge) * pixels / (end - start);
    if (have >= needPixels)
        return end;
    const double f = needPixels / pixels;
    return (edge - f * start) / (1 - f);
}

double widenStart(double start, double end, double edge, double pixels, double needPixels)
{
    // The mirror image of widenEnd.
    return -widenEnd(-end, -start, -edge, pixels, needPixels);
}

std::size_t segmentCount(const std::vector<Run>& runs)
{
    std::size_t n = 0;
    for (const Run& r : runs)
        if (r.size() > 1)
            n += r.size() - 1;
    return n;
}

}  // namespace varenta::plot
