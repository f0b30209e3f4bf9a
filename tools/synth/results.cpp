#include "tools/synth/results.h"

#include "common/compass.h"
#include "common/format.h"
#include "common/resultitems.h"
#include "common/settings.h"
#include "tools/synth/waves.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace varenta::synth {

namespace {

// Number patterns of the shipped result-item table (value 0), codes 0..127.
const char* const kPatterns[128] = {
    "###0#0", "####00", "##0/#0", "##0:00", "#####0", "##0.00", "#####0", "#####0",  //   0
    "##0.00", "###0.0", "##0.00", "###0.0", "##0.00", "###0.0", "##0.00", "###0.0",  //   8
    "#####0", "##0.00", "###0.0", "###0.0", "##0.00", "##0.00", "#0.000", "#####0",  //  16
    "#####0", "#####0", "#####0", "#####0", "#####0", "##0.00", "###0.0", "###0.0",  //  24
    "###0.0", "#####0", "#####0", "###0.0", "###0.0", "###0.0", "#####0", "###0.0",  //  32
    "###0.0", "#####0", "#####0", "###0.0", "###0.0", "##0.00", "#####0", "#####0",  //  40
    "##0.00", "###0.0", "##0.00", "###0.0", "##0.00", "###0.0", "##0.00", "###0.0",  //  48
    "#####0", "##0.00", "###0.0", "###0.0", "###0.0", "##0.00", "#####0", "###0.0",  //  56
    "##",     "#####0", "#####0", "#####0", "#####0", "#####0", "#####0", "#0.000",  //  64
    "##0.00", "#####0", "###0.0", "#####0", "#####0", "###0.0", "#####0", "#####0",  //  72
    "###0.0", "###0.0", "##0.00", "##0.00", "###0.0", "###0.0", "#0.000", "##0.00",  //  80
    "###0.0", "###0.0", "##0.00", "##0.00", "##0.00", "##0.00", "##0.00", "##0.00",  //  88
    "##0.00", "###0.0", "##0.00", "#####0", "###0.0", "##0.00", "##0.00", "###0.0",  //  96
    "##0.00", "##0.00", "#0.000", "##0.00", "#0.000", "###0.0", "##0.00", "##0.00",  // 104
    "##0.00", "#####0", "###0.0", "###0.0", "##0.00", "##0.00", "##0.00", "##0.00",  // 112
    "###0.0", "#0.000", "###0.0", "##0.00", "##0.00", "###0.0", "###0.0", "#####0",  // 120
};
// Channel statistics 128..255 (and 384..511): mean, max, min, sd, missing,
// spikes, slope, median.
const char* const kChannelPatterns[8] = {"#####0", "#####0", "#####0", "###0.0", "#####0", "#####0", "###0.0", "#####0"};

// Direction codes and the field that receives their 16-point name.
const std::pair<int, int> kCompassFields[] = {{24, 25}, {26, 27}, {33, 34}, {41, 42}, {46, 47},
                                              {65, 66}, {67, 68}, {69, 70}, {75, 76}, {78, 79}};

std::string twoDigits(int v, bool zeroFill)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, zeroFill ? "%02d" : "%2d", v);
    std::string s = buf;
    return s.size() > 2 ? s.substr(s.size() - 2) : s;
}

// The value in at most `width` characters: the mask first, then fewer
// decimals; a value that fits in no way stays missing.
std::optional<std::string> fitField(double v, std::string mask, std::size_t width)
{
    for (;;) {
        const std::string text = formatMask(v, mask);
        if (text.size() <= width)
            return text;
        const std::size_t dot = mask.find('.');
        if (dot == std::string::npos)
            return std::nullopt;
        mask.pop_back();
        if (mask.size() == dot + 1)
            mask.pop_back();
    }
}

// Width of the field at a position: the first field of a group (but the
// record's first) takes the group separator in front of it too.
std::size_t fieldWidth(int pos) { return pos % 8 == 0 && pos > 0 ? 6 : 5; }

void writeField(std::string& record, int pos, const std::string& text)
{
    const std::size_t w = fieldWidth(pos);
    record.replace(resultItemOffset(pos) - (w == 6 ? 1 : 0), w, rightAlign(text, w));
}

constexpr double kGravity = kStandardGravity;

double waveNumberFor(double period, double depth)
{
    return period > 0.0 && depth > 0.0 ? solveWaveNumber(kTwoPi / period, depth) : 0.0;
}

std::optional<double> wavelength(double period, double depth)
{
    const double k = waveNumberFor(period, depth);
    if (!(k > 0.0))
        return std::nullopt;
    return kTwoPi / k;
}

std::optional<double> deepWavelength(double period)
{
    if (!(period > 0.0))
        return std::nullopt;
    return kGravity * period * period / kTwoPi;
}

// Group velocity at a depth.
std::optional<double> groupVelocity(double period, double depth)
{
    const double k = waveNumberFor(period, depth);
    if (!(k > 0.0))
        return std::nullopt;
    const double kh = k * depth;
    const double c = kTwoPi / period / k;
    return 0.5 * c * (1.0 + (kh < 300.0 ? 2.0 * kh / std::sinh(2.0 * kh) : 0.0));
}

// Shoaling coefficient Ks = sqrt(cg0 / cg).
std::optional<double> shoaling(double period, double depth)
{
    const std::optional<double> cg = groupVelocity(period, depth);
    if (!cg || !(*cg > 0.0))
        return std::nullopt;
    const double cg0 = kGravity * period / (2.0 * kTwoPi);
    return std::sqrt(cg0 / *cg);
}

std::optional<double> waveValue(int offset, const WaveStatistics& w, const BurstStatistics& s)
{
    if (!w.valid)
        return std::nullopt;
    switch (offset) {
    case 0: return w.hmax;
    case 1: return w.tHmax;
    case 2: return w.h10;
    case 3: return w.t10;
    case 4: return w.h3;
    case 5: return w.t3;
    case 6: return w.hmean;
    case 7: return w.tmean;
    case 8: return static_cast<double>(w.waves);
    case 9: return w.hm0;
    case 10: return s.peakPeriod > 0.0 ? std::optional<double>(s.peakPeriod) : std::nullopt;
    case 11: return w.depth;
    default: return std::nullopt;
    }
}

std::optional<double> channelValue(int code, const BurstStatistics& s)
{
    const int rel = code >= 384 ? code - 384 + 128 : code - 128;
    const std::size_t ch = static_cast<std::size_t>(rel / 8);
    if (ch >= s.channels.size())
        return std::nullopt;
    const ChannelStatistics& c = s.channels[ch];
    switch (rel % 8) {
    case 0: return c.mean;
    case 1: return c.max;
    case 2: return c.min;
    case 3: return c.sd;
    case 4: return static_cast<double>(c.missing);
    case 5: return static_cast<double>(c.spikes);
    case 6: return c.slope;
    default: return c.median;
    }
}

}  // namespace

std::string shippedPattern(int code)
{
    if (code >= 0 && code < 128)
        return kPatterns[code];
    if (code >= 128 && code < 256)
        return kChannelPatterns[(code - 128) % 8];
    return {};
}

std::optional<double> resultValue(int code, const HeaderFields& h, const BurstStatistics& s)
{
    const WaveStatistics& w = s.surface;
    const bool pr = s.pressureRecorded && w.valid;
    const bool directional = pr && s.currentRecorded;
    auto pressureOnly = [&](std::optional<double> v) { return pr ? v : std::nullopt; };
    if (code >= 8 && code <= 19)
        return s.pressureRecorded ? waveValue(code - 8, w, s) : std::nullopt;
    if (code >= 48 && code <= 59)
        return waveValue(code - 48, s.level, s);
    if ((code >= 128 && code < 256) || (code >= 384 && code < 512))
        return channelValue(code, s);
    switch (code) {
    case 4: return static_cast<double>(h.machineNumber);
    case 5: return h.measureVoltage / 10.0;
    case 7: return static_cast<double>(s.missingSamples);
    case 20: return s.temperatureRecorded ? std::optional<double>(s.temperature) : std::nullopt;
    case 22: {
        const std::optional<double> l = wavelength(w.t3, w.depth);
        return pr && l ? std::optional<double>(w.h3 / *l) : std::nullopt;
    }
    case 23: return directional ? std::optional<double>(s.smax) : std::nullopt;
    case 24: return directional ? std::optional<double>(s.meanDirection) : std::nullopt;
    case 26: return directional ? std::optional<double>(s.significantDirection) : std::nullopt;
    case 28: return directional ? std::optional<double>(s.spreadAngle) : std::nullopt;
    case 29: return s.depth;
    case 30: return s.currentRecorded ? std::optional<double>(s.currentEast) : std::nullopt;
    case 31: return s.currentRecorded ? std::optional<double>(s.currentNorth) : std::nullopt;
    case 32: return s.currentRecorded ? std::optional<double>(s.currentSpeed) : std::nullopt;
    case 33: return s.currentRecorded ? std::optional<double>(s.currentDirection) : std::nullopt;
    case 35: return s.currentRecorded ? std::optional<double>(s.currentMax) : std::nullopt;
    case 36: return s.currentRecorded ? std::optional<double>(s.currentSdEast) : std::nullopt;
    case 37: return s.currentRecorded ? std::optional<double>(s.currentSdNorth) : std::nullopt;
    case 38: return s.bearingRecorded ? std::optional<double>(s.bearing) : std::nullopt;
    case 40: return s.windRecorded ? std::optional<double>(s.windSpeed) : std::nullopt;
    case 41: return s.windRecorded ? std::optional<double>(s.windDirection) : std::nullopt;
    case 43: return s.windRecorded ? std::optional<double>(s.windMax10) : std::nullopt;
    case 44: return s.windRecorded ? std::optional<double>(s.windGust) : std::nullopt;
    case 45: return s.windRecorded && s.windSpeed > 0.0 ? std::optional<double>(s.windGust / s.windSpeed) : std::nullopt;
    case 46: return s.windRecorded ? std::optional<double>(s.windGustDirection) : std::nullopt;
    case 60: return s.level.valid ? std::optional<double>(s.levelMissingPercent) : std::nullopt;
    case 74: return s.windRecorded ? std::optional<double>(s.windLast10) : std::nullopt;
    case 75: return s.windRecorded ? std::optional<double>(s.windLast10Direction) : std::nullopt;
    case 77: return s.windRecorded ? std::optional<double>(s.windSd) : std::nullopt;
    case 78: return s.windRecorded ? std::optional<double>(s.windMax10Direction) : std::nullopt;
    case 80: return pressureOnly(wavelength(w.t3, w.depth));
    case 81: return pressureOnly(deepWavelength(w.t3));
    case 82: return pressureOnly(shoaling(w.t3, w.depth));
    case 83: return pr && w.h3 > 0.0 ? std::optional<double>(w.hmax / w.h3) : std::nullopt;
    case 84:
    case 85: {
        if (!pr)
            return std::nullopt;
        const double rho = h.ext140 > 0 ? h.ext140 / 10.0 : 1025.0;
        const double energy = rho * kGravity * w.hm0 * w.hm0 / 16.0;  // J/m^2
        if (code == 84)
            return energy / 1000.0;
        const std::optional<double> cg = groupVelocity(w.t3, w.depth);
        return cg ? std::optional<double>(energy * *cg / 1000.0) : std::nullopt;
    }
    case 86: return pr ? std::optional<double>(s.epsilon) : std::nullopt;
    case 87: return pr ? std::optional<double>(s.qp) : std::nullopt;
    case 88: return pr && s.tm01 > 0.0 ? std::optional<double>(s.tm01) : std::nullopt;
    case 89: return pr && s.tm02 > 0.0 ? std::optional<double>(s.tm02) : std::nullopt;
    case 90: return pr ? std::optional<double>(w.rms) : std::nullopt;
    case 91: return pr ? std::optional<double>(w.skewness) : std::nullopt;
    case 92: return pr ? std::optional<double>(w.kurtosis) : std::nullopt;
    case 93: return pr ? std::optional<double>(w.crest) : std::nullopt;
    case 94: return pr ? std::optional<double>(w.trough) : std::nullopt;
    case 95: return pr ? std::optional<double>(w.meanRun) : std::nullopt;
    case 98: return pr ? std::optional<double>(w.levelChange) : std::nullopt;
    case 99: return static_cast<double>(s.spikes);
    case 100: return directional ? std::optional<double>(s.inRangePercent) : std::nullopt;
    case 101: return directional ? std::optional<double>(s.inRangeHeight) : std::nullopt;
    case 102: {
        const std::optional<double> l = wavelength(w.t3, w.depth);
        return pr && l && w.t3 > 0.0 ? std::optional<double>(*l / w.t3) : std::nullopt;
    }
    case 103: {
        const double k = waveNumberFor(w.t3, w.depth);
        if (!pr || !(k > 0.0) || k * w.depth > 300.0)
            return std::nullopt;
        return 100.0 * kPi * w.h3 / (w.t3 * std::sinh(k * w.depth));
    }
    case 104: return s.temperatureRecorded ? std::optional<double>(s.temperatureMax - s.temperatureMin) : std::nullopt;
    case 105:
    case 106:
    case 107:
    case 108: {
        const WaveStatistics& x = code <= 106 ? w : s.level;
        if (!x.valid || (code <= 106 && !s.pressureRecorded))
            return std::nullopt;
        const std::optional<double> ks = shoaling(x.t3, x.depth);
        const std::optional<double> l0 = deepWavelength(x.t3);
        if (!ks || !l0 || !(*ks > 0.0))
            return std::nullopt;
        const double h0 = x.h3 / *ks;
        return (code == 105 || code == 107) ? h0 : h0 / *l0;
    }
    case 109: return s.spikes > 0 ? 2.0 : (s.missingSamples > 0 ? 1.0 : 0.0);
    case 110: return h.sdUsage / 100.0;
    case 111: return h.cpuVoltage / 10.0;
    case 112: return h.measureVoltage / 10.0;
    case 113: return static_cast<double>(h.dataErrorFlags);
    case 123: return s.temperatureRecorded ? std::optional<double>(s.temperatureMax) : std::nullopt;
    case 124: return s.temperatureRecorded ? std::optional<double>(s.temperatureMin) : std::nullopt;
    default: return std::nullopt;
    }
}

ResultLayout ResultLayout::defaults()
{
    // Item 165 value 1 of the shipped settings.
    static const char* list =
        "000001002003006004005007008009010011012013014015016017018019029020021022024025026027028023080081"
        "030031032033034035036037038039105106082083084085086087088089090093094097099098103112110113114109"
        "064";
    return *parse(list);
}

std::optional<ResultLayout> ResultLayout::parse(std::string_view list)
{
    ResultLayout l;
    l.codes.fill(-1);
    for (std::size_t i = 0; i < l.codes.size(); ++i) {
        const std::size_t at = 3 * i;
        if (at >= list.size())
            break;
        const std::string_view e = list.substr(at, 3);
        std::string digits;
        for (char c : e) {
            if (std::isdigit(static_cast<unsigned char>(c)))
                digits += c;
            else if (c != ' ')
                return std::nullopt;
        }
        if (digits.empty())
            return std::nullopt;
        l.codes[i] = std::stoi(digits);
    }
    return l;
}

std::optional<ResultLayout> ResultLayout::fromSettings(const Settings& settings, int item)
{
    const std::string list = trimBlanks(settings.value(item, 1));
    if (list.size() < 3)
        return std::nullopt;
    return parse(list);
}

void ResultLayout::usePatterns(const ResultItemTable& table)
{
    for (int code : codes)
        if (code >= 0 && table.defined(code)) {
            const std::string& p = table.value(code, 0);
            if (!p.empty())
                patterns[code] = p;
        }
    for (const auto& [dir, name] : kCompassFields)
        for (int c : {dir, name})
            if (table.defined(c) && !table.value(c, 0).empty())
                patterns[c] = table.value(c, 0);
}

int ResultLayout::positionOf(int c) const
{
    for (int i = 0; i < kResultItems; ++i)
        if (codes[static_cast<std::size_t>(i)] == c)
            return i;
    return -1;
}

std::string ResultLayout::patternOf(int code) const
{
    const auto it = patterns.find(code);
    return it != patterns.end() ? it->second : shippedPattern(code);
}

void setRunningNumber(std::string& record, const ResultLayout& layout, std::uint32_t number)
{
    const int p = layout.positionOf(6);
    if (p < 0 || record.size() < kResultsRecordSize)
        return;
    const std::uint32_t modulus = fieldWidth(p) == 6 ? 1000000u : 100000u;
    writeField(record, p, std::to_string(number % modulus));
}

std::string numberedEmptyRecord(const ResultLayout& layout, std::uint32_t measurementNumber)
{
    std::string r = emptyResultsRecord();
    setRunningNumber(r, layout, measurementNumber);
    return r;
}

std::string composeResultsRecord(const ResultLayout& layout, const HeaderFields& h, const BurstStatistics& stats)
{
    std::string r = emptyResultsRecord();
    setResultItem(r, 0, rightAlign(formatMask(h.intervalMinutes, "##0"), 3) + rightAlign(formatMask(h.durationMinutes, "#0"), 2));
    setResultItem(r, 1, twoDigits(((h.year % 100) + 100) % 100, true));
    setResultItem(r, 2, twoDigits(h.month, false) + "/" + twoDigits(h.day, false));
    setResultItem(r, 3, twoDigits(h.hour, false) + ":" + twoDigits(h.minute, true));
    for (int pos = 4; pos < kResultItems; ++pos) {
        const int c = layout.codes[static_cast<std::size_t>(pos)];
        if (c < 0 || c == 6 || c == 64)
            continue;
        const std::optional<double> v = resultValue(c, h, stats);
        if (!v || !std::isfinite(*v))
            continue;
        const std::string pattern = layout.patternOf(c);
        if (pattern.empty())
            continue;
        const std::size_t w = fieldWidth(pos);
        const std::string mask = pattern.size() > w ? pattern.substr(pattern.size() - w) : pattern;
        if (const std::optional<std::string> text = fitField(*v, mask, w))
            writeField(r, pos, *text);
    }
    // 16-point names beside the directions.
    for (const auto& [dir, nameCode] : kCompassFields) {
        const int pos = layout.positionOf(nameCode);
        if (pos < 4)
            continue;
        const std::optional<double> v = resultValue(dir, h, stats);
        if (v && std::isfinite(*v))
            writeField(r, pos, CompassName(std::fmod(std::fmod(*v, 360.0) + 360.0, 360.0)));
    }
    setRunningNumber(r, layout, h.measurementNumber);
    return r;
}

}  // namespace varenta::synth
