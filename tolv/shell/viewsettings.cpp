#include "tolv/shell/viewsettings.h"

#include <cmath>
#include <cstdio>

namespace varenta {

bool stepLaneChannels(Settings& s, std::array<int, 8>& lanes, int channelCount, int delta)
{
    if (channelCount <= 0)
        return false;
    for (int lane = 0; lane < 8; ++lane) {
        if (s.integer(170 + lane, 0) != 1)
            continue;
        int c = lanes[static_cast<std::size_t>(lane)] + delta;
        if (c >= channelCount)
            c = 0;
        else if (c < 0)
            c = channelCount - 1;
        lanes[static_cast<std::size_t>(lane)] = c;
    }
    for (int lane = 0; lane < 8; ++lane)
        s.setInt(178, lane, lanes[static_cast<std::size_t>(lane)]);
    return true;
}

std::optional<std::size_t> zoomStepIndex(const std::vector<double>& list, double current, bool in)
{
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const double v = list[i];
        if (in ? !(v < current) : !(v > current))
            continue;
        if (!best || (in ? v > list[*best] : v < list[*best]))
            best = i;
    }
    return best;
}

std::optional<double> zoomStep(const std::vector<double>& list, double current, bool in)
{
    const auto i = zoomStepIndex(list, current, in);
    if (!i)
        return std::nullopt;
    return list[*i];
}

std::string decimalText(double v)
{
    if (!std::isfinite(v))
        return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string t = buf;
    while (!t.empty() && t.back() == '0')
        t.pop_back();
    if (!t.empty() && t.back() == '.')
        t.pop_back();
    if (t == "-0")
        t = "0";
    return t;
}

bool zoomTimeAxis(Settings& s, int kind, bool in)
{
    if (kind == 1) {
        const auto v = zoomStep(fixedWidthList(s.value(65, 4), 4), s.real(79, 0), in);
        if (!v)
            return false;
        s.set(79, 0, decimalText(*v));
        return true;
    }
    if (kind == 3) {
        const std::vector<double> spans = fixedWidthList(s.value(65, 3), 4);
        const auto i = zoomStepIndex(spans, s.real(78, 0), in);
        if (!i)
            return false;
        s.set(78, 0, decimalText(spans[*i]));
        const std::vector<double> grids = fixedWidthList(s.value(65, 5), 4);
        if (*i < grids.size())
            s.set(78, 2, decimalText(grids[*i]));
        return true;
    }
    return false;
}

bool zoomValueAxis(Settings& s, std::uint32_t& autoWord, int kind, bool in, int resultsChannel)
{
    if (kind == 1) {
        autoWord &= ~(0x400u | 0x200u);
        const std::vector<double> list = fixedWidthList(s.value(65, 2), 4);
        bool changed = false;
        for (int lane = 0; lane < 4; ++lane) {
            if (const auto v = zoomStep(list, s.real(170 + lane, 1), in)) {
                s.set(170 + lane, 1, decimalText(*v));
                changed = true;
            }
        }
        return changed;
    }
    if (kind == 3) {
        autoWord &= ~0x8000u;
        if (resultsChannel < 0 || resultsChannel > 7)
            return false;
        std::vector<double> list = fixedWidthList(s.value(65, 1), 5);
        if (list.size() > 7)
            list.erase(list.begin(), list.begin() + 7);
        else
            list.clear();
        const auto v = zoomStep(list, s.real(70 + resultsChannel, 2), in);
        if (!v)
            return false;
        s.set(70 + resultsChannel, 2, decimalText(*v));
        return true;
    }
    return false;
}

}  // namespace varenta
