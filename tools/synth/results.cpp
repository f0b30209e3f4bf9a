#include "tools/synth/results.h"

#include "common/format.h"
#include "common/settings.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

namespace varenta::synth {

namespace {

using Q = ResultQuantity;

// Result codes of the shipped result-item definitions that a generated burst
// can fill.
const std::map<int, ResultMeaning>& meanings()
{
    static const std::map<int, ResultMeaning> table = {
        {6, {Q::RunningNumber, "0"}},
        {109, {Q::RecordStatus, "#0.0"}},
        {8, {Q::Hmax, "#0.00"}},
        {9, {Q::THmax, "#0.0"}},
        {10, {Q::H10, "#0.00"}},
        {11, {Q::T10, "#0.0"}},
        {12, {Q::H3, "#0.00"}},
        {13, {Q::T3, "#0.0"}},
        {14, {Q::Hmean, "#0.00"}},
        {15, {Q::Tmean, "#0.0"}},
        {16, {Q::Waves, "##0"}},
        {17, {Q::Hm0, "#0.00"}},
        {18, {Q::PeakPeriod, "#0.0"}},
        {19, {Q::Tm01, "#0.0"}},
        {21, {Q::Tm02, "#0.0"}},
        {24, {Q::WaveDirection, "##0"}},
        {30, {Q::Depth, "#0.00"}},
        {32, {Q::CurrentSpeed, "##0.0"}},
        {33, {Q::CurrentDirection, "##0"}},
        {36, {Q::Temperature, "#0.00"}},
        {40, {Q::WindSpeed, "#0.0"}},
        {41, {Q::WindDirection, "##0"}},
        {44, {Q::Bearing, "##0"}},
        {52, {Q::Hm0Level, "#0.00"}},
    };
    return table;
}

std::string twoDigits(int v, bool zeroFill)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, zeroFill ? "%02d" : "%2d", v);
    std::string s = buf;
    return s.size() > 2 ? s.substr(s.size() - 2) : s;
}

std::optional<double> valueOf(ResultQuantity q, const BurstStatistics& s)
{
    switch (q) {
    case Q::RecordStatus: return 0.0;
    case Q::Hmax: return s.hmax;
    case Q::THmax: return s.tHmax;
    case Q::H10: return s.h10;
    case Q::T10: return s.t10;
    case Q::H3: return s.h3;
    case Q::T3: return s.t3;
    case Q::Hmean: return s.hmean;
    case Q::Tmean: return s.tmean;
    case Q::Waves: return static_cast<double>(s.waves);
    case Q::Hm0: return s.hm0;
    case Q::Hm0Level: return s.hm0Level;
    case Q::Tm01: return s.tm01;
    case Q::Tm02: return s.tm02;
    case Q::PeakPeriod: return s.peakPeriod;
    case Q::WaveDirection: return s.meanDirection;
    case Q::Depth: return s.depth;
    case Q::CurrentSpeed: return s.currentSpeed;
    case Q::CurrentDirection: return s.currentDirection;
    case Q::Temperature: return s.temperature;
    case Q::WindSpeed: return s.windSpeed;
    case Q::WindDirection: return s.windDirection;
    case Q::Bearing: return s.bearing;
    default: return std::nullopt;
    }
}

// The value in at most five characters: the mask first, then fewer
// decimals; a value that fits in no way stays missing.
std::optional<std::string> fitField(double v, const std::string& mask)
{
    std::string m = mask;
    for (;;) {
        const std::string text = formatMask(v, m);
        if (text.size() <= 5)
            return text;
        const std::size_t dot = m.find('.');
        if (dot == std::string::npos)
            return std::nullopt;
        m.pop_back();
        if (m.size() == dot + 1)
            m.pop_back();
    }
}

}  // namespace

ResultMeaning resultMeaning(int code)
{
    const auto& t = meanings();
    const auto it = t.find(code);
    return it == t.end() ? ResultMeaning{} : it->second;
}

ResultLayout ResultLayout::defaults()
{
    // Interval/duration, year, date, time, then the running number and the
    // wave, current, wind and housekeeping items.
    static const char* list =
        "000001002003006109012013008009010011014015016017018019021024030032033036040041044052"
        "064064064064064064064064064064064064064064064064064064064064064064064064064064064064064064064064064064064";
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

int ResultLayout::positionOf(int c) const
{
    for (int i = 0; i < kResultItems; ++i)
        if (codes[static_cast<std::size_t>(i)] == c)
            return i;
    return -1;
}

void setRunningNumber(std::string& record, const ResultLayout& layout, std::uint32_t number)
{
    const int p = layout.positionOf(6);
    if (p < 0 || record.size() < kResultsRecordSize)
        return;
    const bool wide = p % 8 == 0 && p > 0;
    const std::uint32_t modulus = wide ? 1000000u : 100000u;
    std::string text = std::to_string(number % modulus);
    const std::size_t width = wide ? 6 : 5;
    text = rightAlign(text, width);
    record.replace(resultItemOffset(p) - (wide ? 1 : 0), width, text);
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
        const ResultMeaning m = resultMeaning(c);
        if (m.quantity == Q::None || m.quantity == Q::RunningNumber)
            continue;
        const std::optional<double> v = valueOf(m.quantity, stats);
        if (!v || !std::isfinite(*v))
            continue;
        if (const std::optional<std::string> text = fitField(*v, m.mask))
            setResultItem(r, pos, *text);
    }
    setRunningNumber(r, layout, h.measurementNumber);
    return r;
}

}  // namespace varenta::synth
