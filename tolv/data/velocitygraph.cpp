#include "tolv/data/velocitygraph.h"

#include <algorithm>
#include <cmath>

namespace varenta {

std::optional<ComponentPair> componentPair(const MeasurementHeader& header, const std::array<int, 8>& graphChannel)
{
    ComponentPair p;
    int c = header.findChannel(7);
    p.wind = c >= 0;
    if (c < 0)
        c = header.findChannel(2);
    if (c < 0 || c + 1 >= static_cast<int>(graphChannel.size()))
        return std::nullopt;
    p.row = c;
    p.channelX = graphChannel[static_cast<std::size_t>(c)];
    p.channelY = graphChannel[static_cast<std::size_t>(c + 1)];
    const int n = header.channelCount;
    if (p.channelX < 0 || p.channelX >= n || p.channelY < 0 || p.channelY >= n)
        return std::nullopt;
    return p;
}

VelocityGraphSettings readVelocityGraphSettings(const Settings& s, bool printMode)
{
    VelocityGraphSettings g;
    for (int w = 0; w < 8; ++w)
        g.fullScales[static_cast<std::size_t>(w)] = s.real(170 + w, 1);
    g.windowMinutes = s.real(79, 0);
    g.captionPrefix = s.value(85, 0);
    g.identify = s.trimmed(85, 3) == "1";
    g.pointColour = plot::colourSetting(s, 171, 3, 255);
    g.frame = plot::lineSetting(s, printMode ? 171 : 170, 4, 5);
    return g;
}

VelocityWindow velocityWindow(long long samplesPerChannel, int durationMinutes, double windowMinutes,
                              long long startSample)
{
    VelocityWindow w;
    double minutes = windowMinutes;
    if (durationMinutes > 0 && minutes > durationMinutes) {
        minutes = durationMinutes;
        w.writeBack = true;
    }
    if (!(minutes > 0))
        minutes = durationMinutes > 0 ? durationMinutes : 0;
    w.minutes = minutes;
    if (samplesPerChannel <= 0 || durationMinutes <= 0)
        return w;
    const long long n = static_cast<long long>(
        std::floor(static_cast<double>(samplesPerChannel) * minutes / static_cast<double>(durationMinutes) + 1e-9));
    const long long start = std::max<long long>(0, startSample);
    w.first = start + 1;
    w.last = std::min(start + n - 1, samplesPerChannel - 1);
    return w;
}

namespace {

constexpr double kTickSteps[] = {1, 2, 2.5, 5};

double validMean(const std::vector<float>& v)
{
    double sum = 0;
    long long n = 0;
    for (float x : v)
        if (!plot::isMissingValue(x)) {
            sum += x;
            ++n;
        }
    return n > 0 ? sum / static_cast<double>(n) : 0.0;
}

std::string trimmed(const std::string& s)
{
    const std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos)
        return {};
    const std::size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

std::vector<plot::Tick> axisTicks(double fs)
{
    std::vector<plot::Tick> t;
    const double step = plot::niceStep(fs, 4, kTickSteps, true);
    if (!(step > 0))
        return t;
    const long long k = static_cast<long long>(std::floor(fs / step + 1e-9));
    for (long long i = -k; i <= k; ++i)
        if (i != 0)
            t.push_back({static_cast<double>(i) * step, {}});
    return t;
}

}  // namespace

VelocityGraphLayout layoutVelocityGraph(const VelocityGraphData& data, const VelocityGraphSettings& settings,
                                        double pictureWidth, double pictureHeight, bool absolute)
{
    VelocityGraphLayout L;
    L.caption = plot::graphCaption(settings.captionPrefix, settings.identify, data.machineNumber, data.currentNumber,
                                   data.dateText, data.timeText);
    const MeasurementHeader* h = data.header;
    std::optional<ComponentPair> pair;
    if (h)
        pair = componentPair(*h, data.graphChannel);
    const std::size_t have = data.values ? data.values->size() : 0;
    if (pair && (static_cast<std::size_t>(pair->channelX) >= have || static_cast<std::size_t>(pair->channelY) >= have))
        pair.reset();

    double fsx = 1, fsy = 1;
    if (pair) {
        L.pair = *pair;
        fsx = settings.fullScales[static_cast<std::size_t>(pair->row)];
        fsy = settings.fullScales[static_cast<std::size_t>(pair->row + 1)];
    }
    if (!(fsx > 0))
        fsx = fsy > 0 ? fsy : 1.0;
    if (!(fsy > 0))
        fsy = fsx;
    L.fsx = fsx;
    L.fsy = fsy;

    // The picture: half a full scale around the plot, more below for the
    // caption; then one direction widened so that a unit has one length.
    L.plot = {-fsx, -fsy, fsx, fsy};
    plot::Rect v{-1.5 * fsx, -1.5 * fsy, 1.5 * fsx, 1.75 * fsy};
    if (pictureWidth > 0 && pictureHeight > 0) {
        const double ux = v.width() / pictureWidth;
        const double uy = v.height() / pictureHeight;
        if (ux < uy) {
            const double extra = (uy * pictureWidth - v.width()) / 2;
            v.left -= extra;
            v.right += extra;
        } else if (uy < ux) {
            const double extra = (ux * pictureHeight - v.height()) / 2;
            v.top -= extra;
            v.bottom += extra;
        }
    }
    L.view = v;

    L.xTicks = axisTicks(fsx);
    L.yTicks = axisTicks(fsy);
    // Tick marks of equal length in both directions (the units are equal).
    L.tickLength = 0.03 * std::min(fsx, fsy);
    L.tickLengthX = L.tickLength;

    const double gx = 0.06 * std::min(fsx, fsy);
    const double gy = gx;
    L.labels.push_back({"0", gx / 2, gy / 2, -1, -1});
    L.labels.push_back({"E", fsx + gx, 0, -1, 0});
    L.labels.push_back({"W", -fsx - gx, 0, 1, 0});
    L.labels.push_back({"N", 0, -fsy - gy, 0, 1});
    L.labels.push_back({"S", 0, fsy + gy, 0, -1});
    // Full-scale numbers at the ends of the frame, and the unit.
    L.labels.push_back({plot::axisNumber(-fsx), -fsx, fsy + gy, 0, -1});
    L.labels.push_back({plot::axisNumber(fsx), fsx, fsy + gy, 0, -1});
    L.labels.push_back({plot::axisNumber(fsy), -fsx - gx / 2, -fsy, 1, 0});
    L.labels.push_back({plot::axisNumber(-fsy), -fsx - gx / 2, fsy, 1, 0});
    if (pair && static_cast<std::size_t>(pair->channelX) < data.unitTexts.size()) {
        const std::string unit = trimmed(data.unitTexts[static_cast<std::size_t>(pair->channelX)]);
        if (!unit.empty())
            L.labels.push_back({unit, -fsx, -fsy - gy, -1, 1});
    }
    L.captionY = fsy + (v.bottom - fsy) * 0.62;

    if (!pair || !h || h->samplesPerChannel <= 0)
        return L;
    L.window = velocityWindow(h->samplesPerChannel, h->durationMinutes, settings.windowMinutes, data.startSample);
    const auto& vx = (*data.values)[static_cast<std::size_t>(pair->channelX)];
    const auto& vy = (*data.values)[static_cast<std::size_t>(pair->channelY)];
    const double mx = validMean(vx);
    const double my = validMean(vy);
    double ox = -mx, oy = -my;
    L.meanX = mx;
    L.meanY = my;
    if (absolute) {
        const auto mean = [&](int ch, double fallback) {
            return static_cast<std::size_t>(ch) < data.burstMeans.size() ? data.burstMeans[static_cast<std::size_t>(ch)]
                                                                         : fallback;
        };
        L.meanX = mean(pair->channelX, mx);
        L.meanY = mean(pair->channelY, my);
        ox += L.meanX;
        oy += L.meanY;
    }
    const long long last = std::min<long long>(L.window.last, static_cast<long long>(std::min(vx.size(), vy.size())) - 1);
    if (last >= L.window.first) {
        L.px.reserve(static_cast<std::size_t>(last - L.window.first + 1));
        L.py.reserve(static_cast<std::size_t>(last - L.window.first + 1));
    }
    for (long long i = L.window.first; i <= last; ++i) {
        const float x = vx[static_cast<std::size_t>(i)];
        const float y = vy[static_cast<std::size_t>(i)];
        if (plot::isMissingValue(x) || plot::isMissingValue(y))
            continue;
        L.px.push_back(static_cast<float>(x + ox));
        L.py.push_back(static_cast<float>(-(y + oy)));
    }
    L.drawable = true;
    return L;
}

}  // namespace varenta
