#include "tools/synth/generator.h"

#include "common/numeric.h"
#include "common/textfile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>

namespace varenta::synth {

namespace {

constexpr std::uint64_t kStreamWaves = 1;
constexpr std::uint64_t kStreamFaults = 2;
constexpr std::uint64_t kStreamSensors = 3;
constexpr std::uint64_t kStreamGaps = 4;

double degToRad(double d) { return d * kPi / 180.0; }

double wrapDegrees(double d)
{
    d = std::fmod(d, 360.0);
    return d < 0.0 ? d + 360.0 : d;
}

// Seconds since 1 Jan 2000 00:00 of a date and time: the time origin of the
// tide and of the daily temperature cycle.
double secondsSince2000(const DateTime& t)
{
    const long long days = daysFromCivil(t.year, t.month, t.day) - daysFromCivil(2000, 1, 1);
    return static_cast<double>(days) * 86400.0 + t.hour * 3600.0 + t.minute * 60.0 + t.second;
}

double tideAt(const SeaState& sea, double tAbs)
{
    if (sea.tideAmplitude == 0.0 || !(sea.tidePeriodHours > 0.0))
        return 0.0;
    return sea.tideAmplitude * std::cos(kTwoPi * tAbs / (sea.tidePeriodHours * 3600.0) - degToRad(sea.tidePhase));
}

// Tidal current factor: +1 at the fastest flood (rising tide), -1 at ebb.
double tidalFlowAt(const SeaState& sea, double tAbs)
{
    if (!(sea.tidePeriodHours > 0.0))
        return 0.0;
    return -std::sin(kTwoPi * tAbs / (sea.tidePeriodHours * 3600.0) - degToRad(sea.tidePhase));
}

double temperatureAt(const SeaState& sea, double tAbs)
{
    const double day = std::fmod(tAbs, 86400.0) / 3600.0;  // hour of day
    return sea.waterTemperature + 0.5 * sea.temperatureDailyRange * std::cos(kTwoPi * (day - 15.0) / 24.0);
}

int tenthsOf(const GeneratorOptions& o) { return intervalTenthsForCode(o.plan.intervalCode); }

int samplesPerChannelOf(const GeneratorOptions& o) { return 600 / tenthsOf(o) * o.plan.durationMinutes; }

SynthesisSettings synthesisFor(const GeneratorOptions& o)
{
    SynthesisSettings s = o.synthesis;
    if (o.fidelity == Fidelity::Cheap) {
        s.components = std::min(s.components, 8);
        s.randomAmplitudes = false;
    } else if (o.fidelity == Fidelity::Constant) {
        s.components = 0;
    }
    return s;
}

// Circular mean of directions (degrees) with weights, and the mean
// resultant length R (0..1).
double circularMean(const std::vector<double>& deg, const std::vector<double>& w, double* resultant = nullptr)
{
    double s = 0.0, c = 0.0, total = 0.0;
    for (std::size_t i = 0; i < deg.size(); ++i) {
        s += w[i] * std::sin(degToRad(deg[i]));
        c += w[i] * std::cos(degToRad(deg[i]));
        total += w[i];
    }
    if (resultant)
        *resultant = total > 0.0 ? std::hypot(s, c) / total : 0.0;
    if (s == 0.0 && c == 0.0)
        return 0.0;
    return wrapDegrees(std::atan2(s, c) * 180.0 / kPi);
}

double meanOf(const std::vector<double>& x)
{
    return x.empty() ? 0.0 : std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(x.size());
}

double variance(const std::vector<double>& x)
{
    if (x.size() < 2)
        return 0.0;
    const double m = meanOf(x);
    double s = 0.0;
    for (double v : x)
        s += (v - m) * (v - m);
    return s / static_cast<double>(x.size());
}

// Least-squares slope of x against the sample index.
double slopeOf(const std::vector<double>& x)
{
    const std::size_t n = x.size();
    if (n < 2)
        return 0.0;
    const double mi = 0.5 * static_cast<double>(n - 1), mx = meanOf(x);
    double sxy = 0.0, sxx = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double di = static_cast<double>(i) - mi;
        sxy += di * (x[i] - mx);
        sxx += di * di;
    }
    return sxx > 0.0 ? sxy / sxx : 0.0;
}

// Zero-up-crossing and moment statistics of a surface record (m), with the
// mean water depth seen by the sensor.
WaveStatistics waveStatistics(const std::vector<double>& record, double dt, double depth)
{
    WaveStatistics st;
    st.depth = depth;
    const std::size_t n = record.size();
    if (n < 3)
        return st;
    st.valid = true;
    // The waves are what remains about the linear trend (the tide).
    const double slope = slopeOf(record);
    st.levelChange = slope * static_cast<double>(n) * dt;
    std::vector<double> eta(record);
    const double mid = 0.5 * static_cast<double>(n - 1);
    for (std::size_t i = 0; i < n; ++i)
        eta[i] -= slope * (static_cast<double>(i) - mid);
    const double mean = meanOf(eta);
    const double var = variance(eta);
    st.rms = std::sqrt(var);
    st.hm0 = 4.0 * st.rms;
    if (var > 0.0) {
        double m3 = 0.0, m4 = 0.0;
        for (double v : eta) {
            const double d = v - mean;
            m3 += d * d * d;
            m4 += d * d * d * d;
        }
        st.skewness = m3 / static_cast<double>(n) / std::pow(var, 1.5);
        st.kurtosis = m4 / static_cast<double>(n) / (var * var);
    }
    struct Wave {
        double h, t, crest, trough;
    };
    std::vector<Wave> waves;
    double lastCross = -1.0;
    double hi = -1e300, lo = 1e300;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const double a = eta[i] - mean, b = eta[i + 1] - mean;
        hi = std::max(hi, a);
        lo = std::min(lo, a);
        if (a < 0.0 && b >= 0.0) {
            const double tc = (static_cast<double>(i) + (-a) / (b - a)) * dt;
            if (lastCross >= 0.0)
                waves.push_back({hi - lo, tc - lastCross, hi, -lo});
            lastCross = tc;
            hi = -1e300;
            lo = 1e300;
        }
    }
    st.waves = static_cast<int>(waves.size());
    if (waves.empty())
        return st;
    double hs = 0.0, ts = 0.0;
    for (const Wave& w : waves) {
        hs += w.h;
        ts += w.t;
    }
    st.hmean = hs / static_cast<double>(waves.size());
    st.tmean = ts / static_cast<double>(waves.size());
    std::vector<Wave> sorted = waves;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Wave& x, const Wave& y) { return x.h > y.h; });
    st.hmax = sorted[0].h;
    st.tHmax = sorted[0].t;
    st.crest = sorted[0].crest;
    st.trough = sorted[0].trough;
    auto topMean = [&](std::size_t count, double& h, double& t) {
        count = std::max<std::size_t>(1, std::min(count, sorted.size()));
        double sh = 0.0, stt = 0.0;
        for (std::size_t i = 0; i < count; ++i) {
            sh += sorted[i].h;
            stt += sorted[i].t;
        }
        h = sh / static_cast<double>(count);
        t = stt / static_cast<double>(count);
    };
    topMean(sorted.size() / 10, st.h10, st.t10);
    topMean(sorted.size() / 3, st.h3, st.t3);
    // Runs of successive waves higher than H1/3.
    int runs = 0, inRun = 0, total = 0;
    for (const Wave& w : waves) {
        if (w.h > st.h3) {
            ++total;
            if (!inRun)
                ++runs;
            inRun = 1;
        } else {
            inRun = 0;
        }
    }
    st.meanRun = runs > 0 ? static_cast<double>(total) / runs : 0.0;
    return st;
}

void spectralStatistics(const std::vector<WaveComponent>& comps, const HeaderFields& header, BurstStatistics& st)
{
    if (comps.empty())
        return;
    const double m0 = spectralMoment(comps, 0), m1 = spectralMoment(comps, 1), m2 = spectralMoment(comps, 2),
                 m4 = spectralMoment(comps, 4);
    st.tm01 = m1 > 0.0 ? m0 / m1 : 0.0;
    st.tm02 = m2 > 0.0 ? std::sqrt(m0 / m2) : 0.0;
    st.epsilon = m0 > 0.0 && m4 > 0.0 ? std::sqrt(std::max(0.0, 1.0 - m2 * m2 / (m0 * m4))) : 0.0;
    // Band densities over the component range: the peak period is the
    // energy-weighted mean period of the most energetic band, Qp Goda's
    // peakedness 2/m0^2 * integral f S(f)^2 df.
    double fmin = comps.front().frequency, fmax = fmin;
    for (const WaveComponent& c : comps) {
        fmin = std::min(fmin, c.frequency);
        fmax = std::max(fmax, c.frequency);
    }
    constexpr int bands = 32;
    std::array<double, bands> e{}, ef{};
    const double width = (fmax - fmin) / bands;
    for (const WaveComponent& c : comps) {
        int b = width > 0.0 ? static_cast<int>((c.frequency - fmin) / width) : 0;
        b = std::clamp(b, 0, bands - 1);
        const double en = 0.5 * c.amplitude * c.amplitude;
        e[static_cast<std::size_t>(b)] += en;
        ef[static_cast<std::size_t>(b)] += en * c.frequency;
    }
    const std::size_t best = static_cast<std::size_t>(std::max_element(e.begin(), e.end()) - e.begin());
    st.peakPeriod = e[best] > 0.0 && ef[best] > 0.0 ? e[best] / ef[best] : 0.0;
    if (width > 0.0 && m0 > 0.0) {
        double q = 0.0;
        for (int b = 0; b < bands; ++b) {
            const double f = fmin + (b + 0.5) * width;
            q += f * e[static_cast<std::size_t>(b)] * e[static_cast<std::size_t>(b)] / width;
        }
        st.qp = 2.0 * q / (m0 * m0);
    }
    // Directions: the mean, its spread (circular standard deviation) and the
    // cos-2s parameter with the same resultant length, R = s/(s+1).
    std::vector<double> dirs, w, sigDirs, sigW;
    const double fs = st.surface.t3 > 0.0 ? 1.0 / st.surface.t3 : 0.0;
    double inRange = 0.0;
    const double from = wrapDegrees(header.ext130), to = header.ext132;
    for (const WaveComponent& c : comps) {
        const double en = c.amplitude * c.amplitude;
        dirs.push_back(c.direction);
        w.push_back(en);
        if (fs > 0.0 && c.frequency >= 0.8 * fs && c.frequency <= 1.2 * fs) {
            sigDirs.push_back(c.direction);
            sigW.push_back(en);
        }
        const bool inside = to - from >= 360.0 ? true
                            : from <= wrapDegrees(to) ? (c.direction >= from && c.direction <= wrapDegrees(to))
                                                      : (c.direction >= from || c.direction <= wrapDegrees(to));
        if (inside)
            inRange += 0.5 * en;
    }
    double r = 0.0;
    st.meanDirection = circularMean(dirs, w, &r);
    st.spreadAngle = r > 0.0 ? std::sqrt(-2.0 * std::log(std::min(r, 1.0))) * 180.0 / kPi : 180.0;
    st.smax = r < 1.0 ? std::min(r / (1.0 - r), 999.0) : 999.0;
    st.significantDirection = sigDirs.empty() ? st.meanDirection : circularMean(sigDirs, sigW);
    st.inRangePercent = m0 > 0.0 ? 100.0 * inRange / m0 : 0.0;
    st.inRangeHeight = 4.0 * std::sqrt(inRange);
}

ChannelStatistics channelStatistics(const std::vector<std::int16_t>& counts, double dt, int spikes)
{
    ChannelStatistics c;
    std::vector<double> valid;
    valid.reserve(counts.size());
    for (std::int16_t v : counts) {
        if (v == kMissingSample)
            ++c.missing;
        else
            valid.push_back(v);
    }
    c.spikes = spikes;
    if (valid.empty())
        return c;
    c.mean = meanOf(valid);
    c.sd = std::sqrt(variance(valid));
    c.max = *std::max_element(valid.begin(), valid.end());
    c.min = *std::min_element(valid.begin(), valid.end());
    c.slope = slopeOf(valid) * 60.0 / dt;
    std::vector<double> sorted = valid;
    const std::size_t mid = sorted.size() / 2;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(mid), sorted.end());
    c.median = sorted[mid];
    if (sorted.size() % 2 == 0) {
        const double below = *std::max_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(mid));
        c.median = 0.5 * (c.median + below);
    }
    return c;
}

// Highest moving average of the wind speed over a window, with the vector
// direction (from) over that window.
void windPeak(const std::vector<double>& east, const std::vector<double>& north, std::size_t window, double& speed,
              double& direction)
{
    speed = 0.0;
    direction = 0.0;
    const std::size_t n = east.size();
    if (n == 0)
        return;
    window = std::clamp<std::size_t>(window, 1, n);
    double ss = 0.0, se = 0.0, sn = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        ss += std::hypot(east[i], north[i]);
        se += east[i];
        sn += north[i];
        if (i >= window) {
            ss -= std::hypot(east[i - window], north[i - window]);
            se -= east[i - window];
            sn -= north[i - window];
        }
        if (i + 1 >= window && ss / static_cast<double>(window) > speed) {
            speed = ss / static_cast<double>(window);
            direction = wrapDegrees(std::atan2(-se, -sn) * 180.0 / kPi);
        }
    }
}

std::uint64_t sectorsOfPlan(const GeneratorOptions& o)
{
    if (o.faults.allResultsOnly)
        return 1;
    const int total = samplesPerChannelOf(o) * static_cast<int>(o.plan.channels.size());
    return static_cast<std::uint64_t>(sectorsFor(total, kPacketKindHeader));
}

}  // namespace

bool isSupportedChannel(int c)
{
    return (c >= code::pressure && c <= code::windY) || c == code::pressure2 || (c >= code::array0 && c <= code::array3);
}

ChannelFactors ChannelFactors::defaults()
{
    ChannelFactors f;
    f.factor = {
        {code::pressure, 0.1}, {code::currentX, 0.1}, {code::currentY, 0.1}, {code::level, 0.1},
        {code::compass, 0.1},  {code::temperature, 0.01}, {code::windX, 0.01}, {code::windY, 0.01},
        {code::pressure2, 0.5}, {48, 0.1}, {49, 0.1}, {50, 0.1}, {51, 0.1},
    };
    return f;
}

ChannelFactors ChannelFactors::fromTable(const ChannelTable& table)
{
    ChannelFactors f = defaults();
    for (int c = 0; c <= table.highestCode(); ++c) {
        const ChannelDef& d = table.def(c);
        if (d.defined && d.factor != 0.0)
            f.factor[c] = d.factor;
    }
    return f;
}

double ChannelFactors::of(int c) const
{
    const auto it = factor.find(c);
    return it == factor.end() ? 1.0 : it->second;
}

const char* channelUnit(int c)
{
    switch (c) {
    case code::pressure:
    case code::pressure2:
    case code::level: return "cm";
    case code::currentX:
    case code::currentY: return "cm/s";
    case code::compass: return "deg";
    case code::temperature: return "degC";
    case code::windX:
    case code::windY: return "m/s";
    default: return (c >= code::array0 && c <= code::array3) ? "cm" : "";
    }
}

HeaderFields BurstPlan::defaultHeaderTemplate()
{
    HeaderFields f;
    f.cpuVoltage = 33;       // 3.3 V
    f.measureVoltage = 120;  // 12.0 V
    f.programNumber = 1;
    // The logger's own processing settings (extended block), equal to the
    // defaults of the shipped settings.
    f.ext128 = 50;     // gauge height 0.50 m (value / 100), set from the sea state
    f.ext130 = 0;      // bearing range of waves reaching the coast: start
    f.ext132 = 360;    // ... end
    f.ext134 = 7;      // magnetic declination, degrees
    f.ext135 = 12;     // limit of the pressure transfer factor
    f.ext136 = 35;     // spike filter level
    f.ext137 = 1;      // spike filter passes
    f.ext138 = 15;     // 0.15 m: lowest significant height for directions (value / 100)
    f.ext139 = 1;      // 0.01 m/s: lowest current speed for a direction (value / 100)
    f.ext140 = 10248;  // sea-water density 1.0248 (value / 10000), set from the sea state
    f.ext142 = 30;     // long-period filter: short period limit, s
    f.ext143 = 0;      // long-period filter: long period limit (0 = none)
    f.ext150 = 360;    // rotation of the current components (360 = header bearing)
    f.processingFlags = 0;
    return f;
}

Status validateOptions(const GeneratorOptions& o, std::string* message)
{
    auto refuse = [&](const std::string& why) {
        if (message)
            *message = why;
        return Status::Refused;
    };
    const BurstPlan& p = o.plan;
    const SeaState& s = o.sea;
    if (p.bursts < 0)
        return refuse("the number of bursts is negative");
    if (p.durationMinutes < 1 || p.durationMinutes > 60)
        return refuse("the burst duration must be 1 to 60 minutes");
    if (p.intervalMinutes < 1 || p.intervalMinutes > 255)
        return refuse("the interval must be 1 to 255 minutes");
    if (p.intervalCode < 0 || p.intervalCode > 3)
        return refuse("the sample interval code must be 0 to 3");
    if (p.channels.empty() || p.channels.size() > static_cast<std::size_t>(kMaxChannels))
        return refuse("a burst needs 1 to 9 channels");
    for (int c : p.channels) {
        if (!isSupportedChannel(c))
            return refuse("channel code " + std::to_string(c) + " cannot be generated");
        if (!(std::fabs(o.factors.of(c)) > 0.0) || !std::isfinite(o.factors.of(c)))
            return refuse("channel code " + std::to_string(c) + " has no usable factor");
    }
    if (p.machineNumber < 0 || p.machineNumber > 255 || p.modelCode < 0 || p.modelCode > 255)
        return refuse("machine number and model code must be 0 to 255");
    if (p.firstMeasurementNumber < 1)
        return refuse("measurement numbers start at 1");
    if (p.start.month < 1 || p.start.month > 12 || p.start.day < 1 ||
        p.start.day > daysInMonth(p.start.year, p.start.month) || p.start.hour < 0 || p.start.hour > 23 ||
        p.start.minute < 0 || p.start.minute > 59 || p.start.second < 0 || p.start.second > 59 || p.start.year < 1900)
        return refuse("the start date or time is not valid");
    const std::uint64_t last = static_cast<std::uint64_t>(p.firstMeasurementNumber) + static_cast<std::uint64_t>(std::max(p.bursts, 1)) - 1;
    if (last > 0xFFFFFFFFull || (last - 1) * sectorsOfPlan(o) > 0xFFFFFFFFull)
        return refuse("the measurement numbers do not fit the recording addresses");
    if (!(s.depth > 0.0) || !std::isfinite(s.depth))
        return refuse("the water depth must be positive");
    if (s.hm0 < 0.0 || !std::isfinite(s.hm0))
        return refuse("the wave height must not be negative");
    if (s.hm0 > 0.0 && !(s.tp > 0.0))
        return refuse("the peak period must be positive");
    if (!(s.gamma > 0.0) || s.spreadingS < 0.0)
        return refuse("peak enhancement must be positive and spreading not negative");
    for (double h : {s.gaugeHeight, s.currentMeterHeight, s.levelSensorHeight})
        if (h < 0.0 || h >= s.depth - std::fabs(s.tideAmplitude))
            return refuse("sensor heights must lie between the bed and the lowest water level");
    const double nyquist = 0.5 / (tenthsOf(o) / 10.0);
    if (s.hm0 > 0.0 && o.fidelity != Fidelity::Constant &&
        !(std::min(o.synthesis.highCut / s.tp, nyquist) > std::max(o.synthesis.lowCut, 0.0) / s.tp))
        return refuse("the peak period is too short for the sample interval");
    // Recorded heads must fit 16-bit counts: refuse rather than clip.
    const double highWater = s.depth + std::fabs(s.tideAmplitude) + s.hm0;
    for (int c : p.channels) {
        double top = 0.0;
        if (c == code::pressure || c == code::pressure2 || (c >= code::array0 && c <= code::array3))
            top = 100.0 * s.headScale * (highWater - s.gaugeHeight);
        else if (c == code::level)
            top = 100.0 * (highWater - s.levelSensorHeight);
        if (std::fabs(top / o.factors.of(c)) > 32767.0)
            return refuse("the water head of channel " + std::to_string(c) + " does not fit 16-bit counts with factor " +
                          std::to_string(o.factors.of(c)));
    }
    if (o.fidelity == Fidelity::Full && o.synthesis.components < 1)
        return refuse("at least one wave component is needed");
    if (o.faults.missingFraction < 0.0 || o.faults.missingFraction > 1.0 || o.faults.gapFraction < 0.0 ||
        o.faults.gapFraction > 1.0 || o.faults.spikesPerBurst < 0 || o.faults.noiseCounts < 0.0)
        return refuse("fault rates out of range");
    if (o.extension.size() < 2 || o.extension[0] != '.')
        return refuse("the extension must start with a dot");
    return Status::Ok;
}

std::uint32_t measurementNumberOfSlot(const GeneratorOptions& o, int slot)
{
    return o.plan.firstMeasurementNumber + static_cast<std::uint32_t>(slot);
}

bool isRecorded(const GeneratorOptions& o, std::uint32_t m)
{
    if (m < o.plan.firstMeasurementNumber)
        return false;
    if (static_cast<std::uint64_t>(m) >= static_cast<std::uint64_t>(o.plan.firstMeasurementNumber) + static_cast<std::uint64_t>(std::max(o.plan.bursts, 0)))
        return false;
    if (o.faults.gaps.count(m))
        return false;
    if (o.faults.gapFraction > 0.0) {
        Random r(mixSeed(o.seed, kStreamGaps, m));
        if (r.uniform() < o.faults.gapFraction)
            return false;
    }
    return true;
}

bool isResultsOnly(const GeneratorOptions& o, std::uint32_t m)
{
    return o.faults.allResultsOnly || o.faults.resultsOnly.count(m) > 0;
}

int sectorsPerMeasurement(const GeneratorOptions& o) { return static_cast<int>(sectorsOfPlan(o)); }

HeaderFields headerFor(const GeneratorOptions& o, std::uint32_t m)
{
    const BurstPlan& p = o.plan;
    HeaderFields f = p.header;
    const long long slot = static_cast<long long>(m) - static_cast<long long>(p.firstMeasurementNumber);
    const DateTime t = addMinutes(p.start, slot * p.intervalMinutes);
    const bool resultsOnly = isResultsOnly(o, m);
    f.machineNumber = p.machineNumber;
    f.modelCode = p.modelCode;
    f.packetInfo = resultsOnly ? 0xC6 : 0x83;
    const std::uint64_t spm = sectorsOfPlan(o);
    f.recordAddress = static_cast<std::uint32_t>((static_cast<std::uint64_t>(m) - 1) * spm);
    f.second = t.second;
    f.minute = t.minute;
    f.hour = t.hour;
    f.day = t.day;
    f.month = t.month;
    f.year = t.year % 100;
    f.durationMinutes = p.durationMinutes;
    f.intervalMinutes = p.intervalMinutes;
    f.measureCondition = (p.header.measureCondition & ~3) | (p.intervalCode & 3);
    f.measurementNumber = m;
    const double card = static_cast<double>(std::max(p.cardMegabytes, 1)) * 1048576.0;
    const double used = static_cast<double>(static_cast<std::uint64_t>(m) * spm) * 512.0;
    f.sdUsage = static_cast<int>(std::min(10000.0, std::floor(used / card * 10000.0)));
    f.channelSlots.fill(0);
    for (std::size_t i = 0; i < p.channels.size() && i < f.channelSlots.size(); ++i)
        f.channelSlots[i] = 0x80 | (p.channels[i] & 0x3F);
    // Means from the sea state (independent of the random samples).
    const double tMid = secondsSince2000(t) + p.durationMinutes * 30.0;
    // The compass reads magnetic bearings: the true heading plus the
    // declination (counter-clockwise degrees) the header carries.
    f.meanBearing = static_cast<int>(roundEven(wrapDegrees(o.sea.heading + p.header.ext134))) % 360;
    const double tf = o.factors.of(code::temperature);
    f.meanWaterTemperature = static_cast<int>(saturateCount(temperatureAt(o.sea, tMid) / (tf != 0.0 ? tf : 0.01)));
    f.ext128 = static_cast<int>(roundEven(o.sea.gaugeHeight * 100.0)) & 0xFFFF;
    f.ext140 = static_cast<int>(roundEven(o.sea.headScale * 10000.0)) & 0xFFFF;
    return f;
}

std::vector<std::int16_t> Burst::interleaved() const
{
    std::vector<std::int16_t> out;
    const std::size_t c = counts.size();
    out.resize(c * static_cast<std::size_t>(samplesPerChannel));
    for (std::size_t i = 0; i < static_cast<std::size_t>(samplesPerChannel); ++i)
        for (std::size_t k = 0; k < c; ++k)
            out[i * c + k] = counts[k][i];
    return out;
}

Burst generateBurst(const GeneratorOptions& o, std::uint32_t m)
{
    const BurstPlan& p = o.plan;
    const SeaState& sea = o.sea;
    Burst b;
    b.measurementNumber = m;
    b.slot = static_cast<int>(static_cast<long long>(m) - static_cast<long long>(p.firstMeasurementNumber));
    b.resultsOnly = isResultsOnly(o, m);
    b.header = headerFor(o, m);
    b.start = addMinutes(p.start, static_cast<long long>(b.slot) * p.intervalMinutes);
    b.dt = tenthsOf(o) / 10.0;
    const int n = samplesPerChannelOf(o);
    b.samplesPerChannel = n;
    b.channels = p.channels;

    const double t0 = secondsSince2000(b.start);
    const double duration = n * b.dt;
    const double burstDepth = sea.depth + tideAt(sea, t0 + 0.5 * duration);

    Random waves(mixSeed(o.seed, kStreamWaves, m));
    b.components = makeComponents(sea, synthesisFor(o), burstDepth, 0.5 / b.dt, waves);
    const WaveField field = sampleWaveField(b.components, n, b.dt);
    b.elevation = field.eta;

    // Slowly varying parts at each sample.
    std::vector<double> tide(static_cast<std::size_t>(n)), flow(static_cast<std::size_t>(n));
    if (sea.tideAmplitude != 0.0)
        for (int i = 0; i < n; ++i)
            tide[static_cast<std::size_t>(i)] = tideAt(sea, t0 + i * b.dt);
    if (sea.tidalCurrent != 0.0)
        for (int i = 0; i < n; ++i)
            flow[static_cast<std::size_t>(i)] = tidalFlowAt(sea, t0 + i * b.dt);
    const double cdir = degToRad(sea.currentDirection);
    // The axes X and Y of the current record in (east, north): a logger
    // turns its sensor's axes with its compass and records magnetic east
    // and north (magnetic north lies the declination counter-clockwise of
    // true north); with bit 0x20 of measureCondition it records the
    // sensor's own axes, Y along the heading and X 90 degrees to its right.
    const bool sensorAxes = (b.header.measureCondition & 0x20) != 0;
    const double psi = degToRad(sensorAxes ? sea.heading : -static_cast<double>(p.header.ext134));
    const double xE = std::cos(psi), xN = -std::sin(psi), yE = std::sin(psi), yN = std::cos(psi);
    std::vector<double> curE(static_cast<std::size_t>(n)), curN(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < curE.size(); ++i) {
        const double speed = sea.currentSpeed + sea.tidalCurrent * flow[i];
        curE[i] = speed * std::sin(cdir) + field.east[i];
        curN[i] = speed * std::cos(cdir) + field.north[i];
    }

    Random sensors(mixSeed(o.seed, kStreamSensors, m));
    const std::size_t nc = p.channels.size();
    b.physical.assign(nc, std::vector<double>(static_cast<std::size_t>(n), 0.0));
    std::vector<double> windE, windN;
    for (std::size_t ch = 0; ch < nc; ++ch) {
        const int c = p.channels[ch];
        std::vector<double>& v = b.physical[ch];
        if (c == code::pressure || c == code::pressure2) {
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] = 100.0 * sea.headScale * (sea.depth + tide[i] - sea.gaugeHeight + field.pressure[i]);
        } else if (c >= code::array0 && c <= code::array3) {
            const int a = c - code::array0;
            const std::vector<double> pa = samplePressureAt(b.components, n, b.dt, sea.arrayEast[a], sea.arrayNorth[a]);
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] = 100.0 * sea.headScale * (sea.depth + tide[i] - sea.gaugeHeight + pa[i]);
        } else if (c == code::level) {
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] = 100.0 * (sea.depth + tide[i] + field.eta[i] - sea.levelSensorHeight);
        } else if (c == code::currentX) {
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] = 100.0 * (curE[i] * xE + curN[i] * xN);
        } else if (c == code::currentY) {
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] = 100.0 * (curE[i] * yE + curN[i] * yN);
        } else if (c == code::compass) {
            const bool wobble = o.fidelity != Fidelity::Constant;
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] = wrapDegrees(sea.heading + p.header.ext134 + (wobble ? 0.3 * sensors.normal() : 0.0));
        } else if (c == code::temperature) {
            const bool wobble = o.fidelity != Fidelity::Constant;
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] = temperatureAt(sea, t0 + static_cast<double>(i) * b.dt) + (wobble ? 0.005 * sensors.normal() : 0.0);
        } else if (c == code::windX || c == code::windY) {
            if (windE.empty()) {
                // Mean wind plus gusts: a first-order autoregressive process
                // with a 10 s correlation time in each component.
                const double toward = degToRad(sea.windDirection + 180.0);
                const double mE = sea.windSpeed * std::sin(toward), mN = sea.windSpeed * std::cos(toward);
                const double sigma = o.fidelity == Fidelity::Constant ? 0.0 : sea.gustiness * sea.windSpeed;
                const double rho = std::exp(-b.dt / 10.0);
                const double innov = sigma * std::sqrt(1.0 - rho * rho);
                windE.resize(static_cast<std::size_t>(n));
                windN.resize(static_cast<std::size_t>(n));
                double ge = sigma * sensors.normal(), gn = sigma * sensors.normal();
                for (std::size_t i = 0; i < windE.size(); ++i) {
                    windE[i] = mE + ge;
                    windN[i] = mN + gn;
                    ge = rho * ge + innov * sensors.normal();
                    gn = rho * gn + innov * sensors.normal();
                }
            }
            v = c == code::windX ? windE : windN;  // earth axes: X east, Y north
        }
    }

    // Quantise, then inject faults.
    Random faults(mixSeed(o.seed, kStreamFaults, m));
    b.counts.assign(nc, std::vector<std::int16_t>(static_cast<std::size_t>(n), 0));
    for (std::size_t ch = 0; ch < nc; ++ch) {
        const double f = o.factors.of(p.channels[ch]);
        // The sensor's own signs on its own axes: X reversed unless mounted
        // upward (bit 0x80), Y reversed.
        double sign = 1.0;
        if (sensorAxes && p.channels[ch] == code::currentX && !(b.header.measureCondition & 0x80))
            sign = -1.0;
        if (sensorAxes && p.channels[ch] == code::currentY)
            sign = -1.0;
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
            double cnt = sign * b.physical[ch][i] / f;
            if (o.faults.noiseCounts > 0.0)
                cnt += o.faults.noiseCounts * faults.normal();
            b.counts[ch][i] = saturateCount(cnt);
        }
    }
    if (o.faults.missingFraction > 0.0) {
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
            for (std::size_t ch = 0; ch < nc; ++ch)
                if (faults.uniform() < o.faults.missingFraction) {
                    b.counts[ch][i] = kMissingSample;
                    b.missing.emplace_back(static_cast<int>(ch), static_cast<int>(i));
                }
    }
    if (o.faults.spikesPerBurst > 0 && n > 0) {
        for (std::size_t ch = 0; ch < nc; ++ch) {
            for (int s = 0; s < o.faults.spikesPerBurst; ++s) {
                const std::size_t i = static_cast<std::size_t>(faults.below(static_cast<std::uint64_t>(n)));
                const double sign = faults.uniform() < 0.5 ? -1.0 : 1.0;
                if (b.counts[ch][i] == kMissingSample)
                    continue;
                b.counts[ch][i] = saturateCount(b.counts[ch][i] + sign * o.faults.spikeSize);
                b.spikes.emplace_back(static_cast<int>(ch), static_cast<int>(i));
            }
        }
    }

    // Statistics and the results record.
    BurstStatistics& st = b.stats;
    st.depth = sea.depth + meanOf(tide);
    bool hasPressure = false;
    std::size_t levelChannel = nc;
    std::size_t windXChannel = nc, windYChannel = nc;
    bool hasCurrentX = false, hasCurrentY = false;
    for (std::size_t ch = 0; ch < nc; ++ch) {
        const int c = p.channels[ch];
        hasPressure |= c == code::pressure || c == code::pressure2 || (c >= code::array0 && c <= code::array3);
        hasCurrentX |= c == code::currentX;
        hasCurrentY |= c == code::currentY;
        if (c == code::level && levelChannel == nc)
            levelChannel = ch;
        if (c == code::windX && windXChannel == nc)
            windXChannel = ch;
        if (c == code::windY && windYChannel == nc)
            windYChannel = ch;
    }
    // Pressure-type wave statistics describe the surface over the gauge.
    std::vector<double> surface(b.elevation.size());
    for (std::size_t i = 0; i < surface.size(); ++i)
        surface[i] = b.elevation[i] + tide[i];
    st.surface = waveStatistics(surface, b.dt, st.depth);
    st.pressureRecorded = hasPressure;
    if (levelChannel < nc) {
        std::vector<double> level(b.physical[levelChannel].size());
        for (std::size_t i = 0; i < level.size(); ++i)
            level[i] = b.physical[levelChannel][i] / 100.0;
        st.level = waveStatistics(level, b.dt, meanOf(level) + sea.levelSensorHeight);
        int missingLevel = 0;
        for (std::int16_t v : b.counts[levelChannel])
            missingLevel += v == kMissingSample ? 1 : 0;
        st.levelMissingPercent = n > 0 ? 100.0 * missingLevel / n : 0.0;
    }
    st.hm0 = 4.0 * std::sqrt(variance(b.elevation));
    st.hm0Level = st.level.valid ? st.level.hm0 : 0.0;
    st.hmax = st.surface.hmax;
    st.tHmax = st.surface.tHmax;
    st.h10 = st.surface.h10;
    st.t10 = st.surface.t10;
    st.h3 = st.surface.h3;
    st.t3 = st.surface.t3;
    st.hmean = st.surface.hmean;
    st.tmean = st.surface.tmean;
    st.waves = st.surface.waves;
    spectralStatistics(b.components, b.header, st);

    st.currentRecorded = hasCurrentX && hasCurrentY;
    const double mE = meanOf(curE), mN = meanOf(curN);
    st.currentEast = 100.0 * mE;
    st.currentNorth = 100.0 * mN;
    st.currentSpeed = 100.0 * std::hypot(mE, mN);
    st.currentDirection = st.currentSpeed > 0.0 ? wrapDegrees(std::atan2(mE, mN) * 180.0 / kPi) : 0.0;
    st.currentSdEast = 100.0 * std::sqrt(variance(curE));
    st.currentSdNorth = 100.0 * std::sqrt(variance(curN));
    for (std::size_t i = 0; i < curE.size(); ++i)
        st.currentMax = std::max(st.currentMax, 100.0 * std::hypot(curE[i], curN[i]));

    st.windRecorded = windXChannel < nc && windYChannel < nc;
    if (st.windRecorded) {
        const std::vector<double>& we = b.physical[windXChannel];
        const std::vector<double>& wn = b.physical[windYChannel];
        std::vector<double> speed(we.size());
        for (std::size_t i = 0; i < we.size(); ++i)
            speed[i] = std::hypot(we[i], wn[i]);
        st.windSpeed = meanOf(speed);
        st.windSd = std::sqrt(variance(speed));
        st.windDirection = wrapDegrees(std::atan2(-meanOf(we), -meanOf(wn)) * 180.0 / kPi);
        windPeak(we, wn, static_cast<std::size_t>(std::lround(10.0 / b.dt)), st.windMax10, st.windMax10Direction);
        windPeak(we, wn, static_cast<std::size_t>(std::lround(3.0 / b.dt)), st.windGust, st.windGustDirection);
        const std::size_t last = std::min(we.size(), static_cast<std::size_t>(std::lround(600.0 / b.dt)));
        const std::vector<double> le(we.end() - static_cast<std::ptrdiff_t>(last), we.end());
        const std::vector<double> ln(wn.end() - static_cast<std::ptrdiff_t>(last), wn.end());
        const std::vector<double> ls(speed.end() - static_cast<std::ptrdiff_t>(last), speed.end());
        st.windLast10 = meanOf(ls);
        st.windLast10Direction = wrapDegrees(std::atan2(-meanOf(le), -meanOf(ln)) * 180.0 / kPi);
    }
    for (std::size_t ch = 0; ch < nc; ++ch) {
        const std::vector<double>& v = b.physical[ch];
        if (p.channels[ch] == code::temperature && !st.temperatureRecorded && !v.empty()) {
            st.temperatureRecorded = true;
            st.temperature = meanOf(v);
            st.temperatureMin = *std::min_element(v.begin(), v.end());
            st.temperatureMax = *std::max_element(v.begin(), v.end());
        }
        if (p.channels[ch] == code::compass && !st.bearingRecorded) {
            std::vector<double> w(v.size(), 1.0);
            st.bearingRecorded = true;
            st.bearing = circularMean(v, w);
        }
    }
    if (!st.temperatureRecorded)
        st.temperature = temperatureAt(sea, t0 + 0.5 * duration);
    if (!st.bearingRecorded)
        st.bearing = wrapDegrees(sea.heading + p.header.ext134);
    if (!st.windRecorded) {
        st.windSpeed = sea.windSpeed;
        st.windDirection = wrapDegrees(sea.windDirection);
    }
    st.missingSamples = static_cast<int>(b.missing.size());
    st.spikes = static_cast<int>(b.spikes.size());
    std::vector<int> spikesPerChannel(nc, 0);
    for (const auto& sp : b.spikes)
        ++spikesPerChannel[static_cast<std::size_t>(sp.first)];
    st.channels.clear();
    for (std::size_t ch = 0; ch < nc; ++ch)
        st.channels.push_back(channelStatistics(b.counts[ch], b.dt, spikesPerChannel[ch]));
    b.resultsRecord = composeResultsRecord(o.layout, b.header, st);
    return b;
}

std::vector<Sector> makeMeasurementSectors(const GeneratorOptions& o, const Burst& b)
{
    std::vector<Sector> out = packMeasurement(b.header, b.resultsOnly ? std::vector<std::int16_t>{} : b.interleaved());
    if (b.resultsOnly && !out.empty()) {
        // The logger's results text fills bytes 120 to 511 of a result sector.
        Sector& s = out[0];
        const std::size_t room = kSectorSize - hdr::resultsText;
        for (std::size_t i = 0; i < room; ++i)
            s[hdr::resultsText + i] = i < b.resultsRecord.size() ? static_cast<std::uint8_t>(b.resultsRecord[i]) : 0;
        fixSectorChecksum(s.data());
    }
    return out;
}

std::vector<Sector> makeMeasurementSectors(const GeneratorOptions& o, std::uint32_t m)
{
    return makeMeasurementSectors(o, generateBurst(o, m));
}

namespace {

using Sink = std::function<bool(const char*, std::size_t)>;

bool writeZeros(const Sink& sink, std::uint64_t n)
{
    static const char zeros[65536] = {};
    while (n > 0) {
        const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, sizeof zeros));
        if (!sink(zeros, k))
            return false;
        n -= k;
    }
    return true;
}

Status generateInto(const GeneratorOptions& o, const Sink& meas, const Sink& res, MasterPairInfo& info,
                    std::string* message)
{
    const Status v = validateOptions(o, message);
    if (v != Status::Ok)
        return v;
    const std::uint64_t spm = sectorsOfPlan(o);
    info.sectorsPerMeasurement = static_cast<int>(spm);
    info.recorded.clear();
    info.measurementBytes = 0;
    info.resultsBytes = 0;
    const std::uint32_t first = o.plan.firstMeasurementNumber;
    info.lastNumber = o.plan.bursts > 0 ? first + static_cast<std::uint32_t>(o.plan.bursts - 1) : 0;
    auto fail = [&](const char* what) {
        if (message)
            *message = what;
        return Status::Io;
    };
    // Records of the measurement numbers before the first slot.
    if (o.writeResults && o.plan.bursts > 0) {
        for (std::uint32_t r = 1; r < first; ++r) {
            const std::string rec = numberedEmptyRecord(o.layout, r);
            if (!res(rec.data(), rec.size()))
                return fail("cannot write the results file");
            info.resultsBytes += rec.size();
        }
    }
    for (int slot = 0; slot < o.plan.bursts; ++slot) {
        const std::uint32_t m = measurementNumberOfSlot(o, slot);
        if (!isRecorded(o, m)) {
            if (o.writeResults) {
                const std::string rec = numberedEmptyRecord(o.layout, m);
                if (!res(rec.data(), rec.size()))
                    return fail("cannot write the results file");
                info.resultsBytes += rec.size();
            }
            continue;
        }
        const Burst b = generateBurst(o, m);
        const std::vector<Sector> sectors = makeMeasurementSectors(o, b);
        const std::uint64_t offset = (static_cast<std::uint64_t>(m) - 1) * spm * kSectorSize;
        if (offset > info.measurementBytes) {
            if (!writeZeros(meas, offset - info.measurementBytes))
                return fail("cannot write the measurement file");
            info.measurementBytes = offset;
        }
        for (const Sector& s : sectors)
            if (!meas(reinterpret_cast<const char*>(s.data()), s.size()))
                return fail("cannot write the measurement file");
        info.measurementBytes += sectors.size() * kSectorSize;
        info.recorded.push_back(m);
        if (o.writeResults) {
            if (!res(b.resultsRecord.data(), b.resultsRecord.size()))
                return fail("cannot write the results file");
            info.resultsBytes += b.resultsRecord.size();
        }
    }
    return Status::Ok;
}

}  // namespace

Status makeMasterPair(const GeneratorOptions& o, std::string& measurementBytes, std::string& resultsBytes,
                      MasterPairInfo* info)
{
    MasterPairInfo local;
    MasterPairInfo& inf = info ? *info : local;
    std::string m, r;
    const Status st = generateInto(
        o, [&](const char* p, std::size_t n) { m.append(p, n); return true; },
        [&](const char* p, std::size_t n) { r.append(p, n); return true; }, inf, nullptr);
    if (st != Status::Ok)
        return st;
    measurementBytes = std::move(m);
    resultsBytes = std::move(r);
    return Status::Ok;
}

Status writeMasterPair(const std::string& folder, const std::string& prefix, const GeneratorOptions& o,
                       MasterPairInfo* info, std::string* message)
{
    namespace fs = std::filesystem;
    MasterPairInfo local;
    MasterPairInfo& inf = info ? *info : local;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        if (message)
            *message = "no such folder: " + folder;
        return Status::NotFound;
    }
    if (prefix.empty() || prefix.find('/') != std::string::npos) {
        if (message)
            *message = "the prefix must be a plain file-name start";
        return Status::Refused;
    }
    const fs::path measPath = fs::path(folder) / (prefix + "M" + o.extension);
    const fs::path resPath = fs::path(folder) / (prefix + "L" + o.extension);
    const fs::path measTmp = fs::path(folder) / ("." + prefix + "M.synth-part");
    const fs::path resTmp = fs::path(folder) / ("." + prefix + "L.synth-part");
    inf.measurementPath = measPath.string();
    inf.resultsPath = resPath.string();

    std::ofstream mf(measTmp, std::ios::binary | std::ios::trunc);
    std::ofstream rf;
    if (o.writeResults)
        rf.open(resTmp, std::ios::binary | std::ios::trunc);
    auto cleanup = [&]() {
        mf.close();
        rf.close();
        fs::remove(measTmp, ec);
        fs::remove(resTmp, ec);
    };
    if (!mf || (o.writeResults && !rf)) {
        cleanup();
        if (message)
            *message = "cannot create files in " + folder;
        return Status::Io;
    }
    const Status st = generateInto(
        o,
        [&](const char* p, std::size_t n) { return static_cast<bool>(mf.write(p, static_cast<std::streamsize>(n))); },
        [&](const char* p, std::size_t n) { return static_cast<bool>(rf.write(p, static_cast<std::streamsize>(n))); },
        inf, message);
    if (st != Status::Ok) {
        cleanup();
        return st;
    }
    mf.flush();
    if (o.writeResults)
        rf.flush();
    const bool ok = static_cast<bool>(mf) && (!o.writeResults || static_cast<bool>(rf));
    mf.close();
    rf.close();
    if (!ok) {
        cleanup();
        if (message)
            *message = "writing failed in " + folder;
        return Status::Io;
    }
    fs::rename(measTmp, measPath, ec);
    if (!ec && o.writeResults)
        fs::rename(resTmp, resPath, ec);
    if (ec) {
        cleanup();
        if (message)
            *message = "cannot rename into " + folder + ": " + ec.message();
        return Status::Io;
    }
    return Status::Ok;
}

}  // namespace varenta::synth
