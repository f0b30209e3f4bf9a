#include "tolv/data/rawgraph.h"

#include "common/numeric.h"

#include <algorithm>
#include <cmath>

namespace varenta {

namespace {

constexpr double kTimeStepsMinutes[] = {1, 2, 5, 10, 15, 20, 30, 60};
constexpr double kTimeStepsSeconds[] = {1, 2, 5, 10, 15, 20, 30, 60};
constexpr double kScaleSteps[] = {1, 2, 2.5, 5, 10};

}  // namespace

RawGraphSettings readRawGraphSettings(const Settings& s, std::uint32_t autoWord, bool printMode)
{
    RawGraphSettings g;
    for (int w = 0; w < kGraphRows; ++w) {
        auto& r = g.rows[static_cast<std::size_t>(w)];
        r.shown = s.trimmed(170 + w, 0) == "1";
        r.fullScale = s.real(170 + w, 1);
        r.colour = plot::colourSetting(s, 170 + w, 3, 0);
    }
    g.windowMinutes = s.real(79, 0);
    g.captionPrefix = s.value(85, 0);
    g.identify = s.trimmed(85, 3) == "1";
    g.frame = plot::lineSetting(s, printMode ? 171 : 170, 4, 5);
    const long long t = s.integer(68, 6);
    const long long v = s.integer(68, 7);
    g.printTimeDivisions = t >= 1 && t <= 100 ? static_cast<int>(t) : 0;
    g.printValueDivisions = v >= 2 && v <= 40 ? static_cast<int>(v) : 0;
    g.overlay = (autoWord & rawgraphbit::kOverlay) != 0;
    g.linked = (autoWord & rawgraphbit::kLinked) != 0;
    g.autoScale = (autoWord & rawgraphbit::kAutoScale) != 0;
    return g;
}

long long RawWindow::count(long long samplesPerChannel) const
{
    const long long end = std::min(start + span, samplesPerChannel);
    return std::max<long long>(0, end - start);
}

RawWindow rawGraphWindow(double intervalTenths, int durationMinutes, long long samplesPerChannel,
                         double windowMinutes, const RawWindowRequest& request)
{
    RawWindow w;
    const double tenths = intervalTenths > 0 ? intervalTenths : 10.0;
    w.samplesPerMinute = std::max(1, roundEvenInt(600.0 / tenths));
    const long long S = w.samplesPerMinute;
    const long long spc = std::max<long long>(0, samplesPerChannel);

    double minutes = windowMinutes;
    if (!(minutes > 0) || (durationMinutes > 0 && minutes > durationMinutes))
        minutes = durationMinutes > 0 ? durationMinutes : static_cast<double>(spc) / static_cast<double>(S);
    w.seconds = windowMinutes > 0 && windowMinutes < 1;
    long long span = std::max<long long>(1, roundEven(static_cast<double>(S) * minutes));
    if (spc > 0 && span > spc)
        span = spc;
    w.span = span;
    w.minutes = static_cast<double>(span) / static_cast<double>(S);

    // Windows snap to whole minutes; a window shorter than a minute snaps to
    // its own span, so that every part of a minute can be shown.
    const long long snap = std::min(S, span);
    long long start;
    if (request.cursorFollow && request.cursorSample >= 0) {
        const long long c = request.cursorSample;
        if (request.previousStart >= 0 && c >= request.previousStart && c < request.previousStart + span)
            start = request.previousStart;
        else
            start = (c / snap) * snap;
    } else {
        const long long v = std::max<long long>(1, request.scrollValue);
        start = ((v - 1) / snap) * snap;
    }
    if (start + span > spc)
        start = spc - span;
    w.start = std::max<long long>(0, start);
    return w;
}

std::string rawGraphCaption(const RawGraphSettings& settings, const RawGraphData& data)
{
    std::string c = plot::graphCaption(settings.captionPrefix, settings.identify, data.machineNumber,
                                       data.currentNumber, data.dateText, data.timeText);
    const bool seconds = settings.windowMinutes > 0 && settings.windowMinutes < 1;
    c += seconds ? "   経過時間（秒）" : "   経過時間（分）";
    return c;
}

namespace {

std::string trimmedLabel(const std::string& s)
{
    const std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos)
        return {};
    const std::size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

// The largest absolute value of a channel within the window.
double windowPeak(const std::vector<float>& v, long long first, long long count)
{
    double peak = 0;
    const long long end = std::min<long long>(first + count, static_cast<long long>(v.size()));
    for (long long i = std::max<long long>(0, first); i < end; ++i) {
        const float x = v[static_cast<std::size_t>(i)];
        if (!plot::isMissingValue(x))
            peak = std::max(peak, static_cast<double>(std::fabs(x)));
    }
    return peak;
}

std::vector<plot::Tick> timeTicks(const RawWindow& w, int maxDivisions)
{
    std::vector<plot::Tick> ticks;
    if (w.span <= 0)
        return ticks;
    // Samples per unit of the axis: per minute, or per second.
    const double perUnit = w.seconds ? w.samplesPerMinute / 60.0 : w.samplesPerMinute;
    const double spanUnits = static_cast<double>(w.span) / perUnit;
    const auto steps = w.seconds ? std::span<const double>(kTimeStepsSeconds) : std::span<const double>(kTimeStepsMinutes);
    double step = plot::niceStep(spanUnits, std::max(1, maxDivisions), steps, !w.seconds && spanUnits > 600);
    if (!(step > 0))
        return ticks;
    const double startUnits = static_cast<double>(w.start) / perUnit;
    const double endUnits = startUnits + spanUnits;
    for (long long k = static_cast<long long>(std::ceil(startUnits / step - 1e-9)); k * step <= endUnits + 1e-9; ++k) {
        const double units = static_cast<double>(k) * step;
        ticks.push_back({units * perUnit - static_cast<double>(w.start), plot::axisNumber(units)});
    }
    return ticks;
}

}  // namespace

RawGraphLayout layoutRawGraph(const RawGraphData& data, const RawGraphSettings& settings, const RawWindow& window,
                              int maxTimeDivisions, int valueDivisions)
{
    RawGraphLayout L;
    L.window = window;
    const MeasurementHeader* h = data.header;
    const long long spc = h ? h->samplesPerChannel : 0;
    const int channels = h ? h->channelCount : 0;
    const std::size_t haveValues = data.values ? data.values->size() : 0;
    L.drawable = h && spc > 0 && window.span > 0;

    // FS = the full scale of row 0 (its unit sets the coordinate system).
    double fs = settings.rows[0].fullScale;
    // Rows drawn: switched on, channel recorded in this measurement.
    struct Pick {
        int row, channel;
        double fullScale;
    };
    std::vector<Pick> picks;
    for (int w = 0; w < kGraphRows; ++w) {
        const auto& r = settings.rows[static_cast<std::size_t>(w)];
        const int ch = data.graphChannel[static_cast<std::size_t>(w)];
        if (!r.shown || ch < 0 || ch >= channels || static_cast<std::size_t>(ch) >= haveValues)
            continue;
        picks.push_back({w, ch, r.fullScale});
    }
    if (settings.autoScale && data.values) {
        const long long n = window.count(spc);
        double common = 0;
        for (Pick& p : picks) {
            const double peak = windowPeak((*data.values)[static_cast<std::size_t>(p.channel)], window.start, n);
            p.fullScale = peak > 0 ? plot::niceStep(peak, 1, kScaleSteps, true) : p.fullScale;
            common = std::max(common, p.fullScale);
        }
        if (settings.linked)
            for (Pick& p : picks)
                p.fullScale = common;
        if (!picks.empty())
            fs = picks.front().row == 0 ? picks.front().fullScale : fs;
    } else if (settings.linked) {
        for (Pick& p : picks)
            p.fullScale = fs;
    }
    if (!(fs > 0))
        fs = !picks.empty() && picks.front().fullScale > 0 ? picks.front().fullScale : 1.0;
    for (Pick& p : picks)
        if (!(p.fullScale > 0))
            p.fullScale = fs;

    L.fs = fs;
    L.stripHeight = 2.5 * fs;
    const int R = settings.overlay ? (picks.empty() ? 0 : 1) : static_cast<int>(picks.size());
    const double W = static_cast<double>(window.span);
    L.view = {-W / 12.0, -fs / 2.0, W + W / 24.0, L.stripHeight * R + fs / 2.0};
    if (R == 0)
        L.view.bottom = fs * 2.5;
    L.plotLeft = 0;
    L.plotRight = W;

    if (valueDivisions < 2)
        valueDivisions = 2;
    for (int k = 0; k < R; ++k) {
        RawGraphBand b;
        b.baseline = L.stripHeight * k + fs;
        b.top = b.baseline - fs;
        b.bottom = b.baseline + fs;
        b.clipTop = b.top - fs / 4.0;
        b.clipBottom = b.bottom + fs / 4.0;
        L.bands.push_back(b);
    }
    for (std::size_t i = 0; i < picks.size(); ++i) {
        const Pick& p = picks[i];
        RawGraphRow r;
        r.row = p.row;
        r.channel = p.channel;
        r.band = settings.overlay ? 0 : static_cast<int>(i);
        r.fullScale = p.fullScale;
        r.ratio = fs / p.fullScale;
        r.baseline = settings.overlay ? fs : L.stripHeight * static_cast<double>(i) + fs;
        r.colour = settings.rows[static_cast<std::size_t>(p.row)].colour;
        if (static_cast<std::size_t>(p.channel) < data.unitTexts.size())
            r.label = trimmedLabel(data.unitTexts[static_cast<std::size_t>(p.channel)]);
        L.bands[static_cast<std::size_t>(r.band)].rows.push_back(static_cast<int>(L.rows.size()));
        L.rows.push_back(std::move(r));
    }
    // Value ticks: the numbers of the band's first row (its own full scale).
    for (RawGraphBand& b : L.bands) {
        const double rowFs = L.rows[static_cast<std::size_t>(b.rows.front())].fullScale;
        for (int d = 0; d <= valueDivisions; ++d) {
            const double y = b.top + (b.bottom - b.top) * d / valueDivisions;
            std::string label;
            if (d == 0)
                label = plot::axisNumber(rowFs);
            else if (d == valueDivisions)
                label = plot::axisNumber(-rowFs);
            else if (2 * d == valueDivisions)
                label = "0";
            b.valueTicks.push_back({y, label});
        }
    }
    L.timeTicks = timeTicks(window, maxTimeDivisions);
    L.caption = rawGraphCaption(settings, data);
    return L;
}

std::vector<plot::Run> rawGraphCurve(const RawGraphLayout& layout, const RawGraphRow& row,
                                     std::span<const float> values, double columns)
{
    const long long spc = static_cast<long long>(values.size());
    const long long n = std::min(layout.window.span, std::max<long long>(0, spc - layout.window.start));
    return plot::reduceSeries(values, layout.window.start, n, 0.0, row.baseline, row.ratio, columns);
}

RawCursorMark rawCursorMark(long long cursor, int displayedChannels, const RawWindow& window,
                            long long samplesPerChannel)
{
    RawCursorMark m;
    if (cursor < 0 || displayedChannels <= 0)
        return m;
    m.sample = cursor / displayedChannels;
    if (samplesPerChannel > 0)
        m.sample = std::min(m.sample, samplesPerChannel - 1);
    m.x = static_cast<double>(m.sample - window.start);
    m.visible = m.x >= 0 && m.x < static_cast<double>(window.span);
    return m;
}

long long rawGraphDataNumber(double x, const RawWindow& window, int displayedChannels, long long samplesPerChannel)
{
    long long sample = window.start + std::clamp<long long>(roundEven(x), 0, std::max<long long>(0, window.span - 1));
    if (samplesPerChannel > 0)
        sample = std::min(sample, samplesPerChannel - 1);
    return sample * std::max(1, displayedChannels);
}

}  // namespace varenta
