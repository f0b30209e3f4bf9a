#include "tools/emulator/recording.h"

#include "common/bytes.h"
#include "common/numeric.h"
#include "tools/synth/generator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace varenta::emu {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kG = 9.81;

// Wave number of angular frequency w in depth h (dispersion relation,
// Newton iteration from the deep-water value).
double waveNumber(double w, double h)
{
    double k = w * w / kG;
    for (int i = 0; i < 30; ++i) {
        const double th = std::tanh(k * h);
        const double f = kG * k * th - w * w;
        const double df = kG * th + kG * k * h * (1.0 - th * th);
        const double dk = f / df;
        k -= dk;
        if (std::fabs(dk) < 1e-10 * k)
            break;
    }
    return k;
}

std::int16_t count(double v) { return saturateCount(v); }

}  // namespace

namespace {

// Statistics record for the plain source: number, year, month/day, time,
// then mean, standard deviation, minimum and maximum of each channel.
std::string statisticsRecord(const HeaderFields& h, const std::vector<std::int16_t>& samples, int nch)
{
    std::string line = emptyResultsRecord();
    char buf[16];
    auto put = [&](int i, const std::string& v) { setResultItem(line, i, v); };
    put(0, std::to_string(h.measurementNumber));
    std::snprintf(buf, sizeof buf, "%02d", h.year);
    put(1, buf);
    std::snprintf(buf, sizeof buf, "%2d/%2d", h.month, h.day);
    put(2, buf);
    std::snprintf(buf, sizeof buf, "%2d:%02d", h.hour, h.minute);
    put(3, buf);
    int item = 4;
    for (int c = 0; c < nch && item + 3 < kResultItems; ++c) {
        double sum = 0, sum2 = 0;
        int n = 0, lo = 32767, hi = -32767;
        for (std::size_t i = static_cast<std::size_t>(c); i < samples.size(); i += static_cast<std::size_t>(nch)) {
            const int v = samples[i];
            if (v == kMissingSample)
                continue;
            sum += v;
            sum2 += static_cast<double>(v) * v;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            ++n;
        }
        if (n == 0) {
            item += 4;
            continue;
        }
        const double mean = sum / n;
        const double sd = std::sqrt(std::max(0.0, sum2 / n - mean * mean));
        std::snprintf(buf, sizeof buf, "%5.0f", mean);
        put(item++, buf);
        std::snprintf(buf, sizeof buf, "%5.1f", sd);
        put(item++, buf);
        put(item++, std::to_string(lo));
        put(item++, std::to_string(hi));
    }
    return line;
}

std::vector<int> channelCodes(const HeaderFields& h)
{
    std::vector<int> codes;
    for (int s = 0; s < kMaxChannels; ++s)
        if (h.channelSlots[static_cast<std::size_t>(s)] & 0x80)
            codes.push_back(h.channelSlots[static_cast<std::size_t>(s)] & 0x3F);
    return codes;
}

}  // namespace

BurstSource synthBurstSource(const RecordingConfig& cfg)
{
    const BurstSource fallback = simpleBurstSource(cfg);
    return [cfg, fallback](const HeaderFields& h, int index) {
        synth::GeneratorOptions o;
        o.sea.hm0 = cfg.waveHeightM;
        o.sea.tp = cfg.wavePeriodS;
        o.sea.currentSpeed = cfg.meanCurrentMs;
        o.plan.bursts = 1;
        o.plan.durationMinutes = h.durationMinutes;
        o.plan.intervalMinutes = std::clamp(h.intervalMinutes, 1, 255);
        o.plan.intervalCode = h.measureCondition & 3;
        o.plan.channels = channelCodes(h);
        o.plan.machineNumber = h.machineNumber & 0xFF;
        o.plan.modelCode = h.modelCode & 0xFF;
        o.plan.firstMeasurementNumber = std::max<std::uint32_t>(1, h.measurementNumber);
        o.plan.start = DateTime{2000 + h.year, h.month, h.day, h.hour, h.minute, h.second, 0};
        o.fidelity = cfg.cheapSynthesis ? synth::Fidelity::Cheap : synth::Fidelity::Full;
        o.seed = cfg.seed + static_cast<std::uint64_t>(index);
        if (synth::validateOptions(o) != Status::Ok)
            return fallback(h, index);
        const synth::Burst b = synth::generateBurst(o, o.plan.firstMeasurementNumber);
        BurstData d;
        d.interleaved = b.interleaved();
        d.resultsRecord = b.resultsRecord;
        if (d.resultsRecord.size() != kResultsRecordSize)
            d.resultsRecord = statisticsRecord(h, d.interleaved, static_cast<int>(o.plan.channels.size()));
        return d;
    };
}

BurstSource simpleBurstSource(const RecordingConfig& cfg)
{
    return [cfg](const HeaderFields& h, int index) {
        const std::vector<int> codes = channelCodes(h);
        const int tenths = intervalTenthsForCode(h.measureCondition & 3);
        const int perChannel = 600 / tenths * h.durationMinutes;
        const double dt = tenths / 10.0;
        std::mt19937 rng(cfg.seed + static_cast<std::uint32_t>(index) * 7919u);
        std::uniform_real_distribution<double> uni(0.0, 1.0);

        // A few tens of components around the peak period, amplitudes
        // chosen so that 4 * sqrt(sum a^2 / 2) is the wave height.
        const int n = 24;
        const double depth = 10.0, gaugeHeight = 0.5;
        struct Comp {
            double a, w, phase, dir, kp, ku;
        };
        std::vector<Comp> comps;
        const double fp = 1.0 / cfg.wavePeriodS;
        double var = 0;
        for (int i = 0; i < n; ++i) {
            const double f = fp * (0.7 + 0.8 * (i + 0.5) / n);
            const double shape = std::exp(-std::pow((f - fp) / (0.15 * fp), 2));
            comps.push_back({shape, 2 * kPi * f, 2 * kPi * uni(rng), 0.4 * (uni(rng) - 0.5), 0, 0});
            var += shape * shape / 2;
        }
        const double scale = cfg.waveHeightM / 4.0 / std::sqrt(var);
        for (auto& c : comps) {
            c.a *= scale;
            const double k = waveNumber(c.w, depth);
            c.kp = std::cosh(k * gaugeHeight) / std::cosh(k * depth);
            c.ku = c.w * std::cosh(k * gaugeHeight) / std::sinh(k * depth);
        }
        const double tide = 0.3 * std::sin(2 * kPi * index / 12.4);
        std::normal_distribution<double> noise(0.0, 1.0);

        std::vector<std::int16_t> out(static_cast<std::size_t>(perChannel) * codes.size());
        for (int t = 0; t < perChannel; ++t) {
            double eta = 0, p = 0, u = 0, v = 0;
            const double time = t * dt;
            for (const auto& c : comps) {
                const double cs = std::cos(c.w * time + c.phase);
                eta += c.a * cs;
                p += c.a * c.kp * cs;
                u += c.a * c.ku * cs * std::cos(c.dir);
                v += c.a * c.ku * cs * std::sin(c.dir);
            }
            for (std::size_t ch = 0; ch < codes.size(); ++ch) {
                double value = 0;
                switch (codes[ch]) {
                case 1:
                case 12: value = (depth - gaugeHeight + tide + p) * 100.0; break;                 // cm of water
                case 2: value = (u + cfg.meanCurrentMs) * 100.0 + noise(rng); break;            // cm/s
                case 3: value = v * 100.0 + noise(rng); break;                                   // cm/s
                case 4: value = (depth - gaugeHeight + tide + eta) * 100.0; break;              // cm
                case 5: value = 1800 + 20 * noise(rng); break;                                   // 0.1 degree
                case 6: value = 1850 + 2 * noise(rng); break;                                    // 0.01 degree C
                case 7: value = 500 + 150 * std::sin(2 * kPi * time / 45.0) + 30 * noise(rng); break;  // cm/s
                case 8: value = 200 + 100 * std::cos(2 * kPi * time / 60.0) + 30 * noise(rng); break;
                default: value = 100 * noise(rng); break;
                }
                out[static_cast<std::size_t>(t) * codes.size() + ch] = count(value);
            }
        }
        BurstData d;
        d.resultsRecord = statisticsRecord(h, out, static_cast<int>(codes.size()));
        d.interleaved = std::move(out);
        return d;
    };
}

RecordingMemory::RecordingMemory(RecordingConfig cfg) : cfg_(cfg), source_(synthBurstSource(cfg)) {}

void RecordingMemory::clear()
{
    sectors_.clear();
    extents_.clear();
    results_.clear();
    lines_.clear();
    starts_.clear();
    lastSamples_.clear();
}

std::pair<std::size_t, std::size_t> RecordingMemory::extent(int m) const
{
    if (m < 1 || m > measurementCount())
        return {0, 0};
    return extents_[static_cast<std::size_t>(m - 1)];
}

int RecordingMemory::channelCount() const
{
    int n = 0;
    for (int s = 0; s < kMaxChannels; ++s)
        if (cfg_.channelSlots[static_cast<std::size_t>(s)] & 0x80)
            ++n;
    return n;
}

int RecordingMemory::sectorsPerMeasurement() const
{
    const int tenths = intervalTenthsForCode(cfg_.measureFlags & 3);
    const int total = 600 / tenths * cfg_.durationMinutes * channelCount();
    return sectorsFor(total, 3);
}

HeaderFields RecordingMemory::headerFor(const DateTime& start, std::uint32_t number, std::uint32_t address) const
{
    HeaderFields h;
    h.machineNumber = cfg_.machineNumber & 0xFF;
    h.packetInfo = 0x83;
    h.recordAddress = address;
    h.second = start.second;
    h.minute = start.minute;
    h.hour = start.hour;
    h.day = start.day;
    h.month = start.month;
    h.year = start.year % 100;
    h.durationMinutes = cfg_.durationMinutes;
    h.intervalMinutes = cfg_.intervalMinutes;
    h.measureCondition = cfg_.measureFlags;
    h.conditionExtra = 0x08;  // measuring
    h.measurementNumber = number;
    h.sdUsage = static_cast<int>(std::min<std::size_t>(9999, (address + 1) / 4194));
    h.cpuVoltage = 33;
    h.measureVoltage = 124 - static_cast<int>(number % 5);
    h.modelCode = cfg_.modelCode;
    for (int s = 0; s < kMaxChannels; ++s)
        h.channelSlots[static_cast<std::size_t>(s)] = cfg_.channelSlots[static_cast<std::size_t>(s)];
    h.meanBearing = 1800;
    h.meanWaterTemperature = 1850;
    h.programNumber = 612;
    // The logger's processing settings (extended block).
    h.ext128 = 50;     // gauge 0.50 m above the bed
    h.ext130 = 0;
    h.ext132 = 360;
    h.ext134 = 7;      // declination
    h.ext135 = 12;
    h.ext136 = 35;
    h.ext137 = 1;
    h.ext138 = 15;
    h.ext139 = 1;
    h.ext140 = 10248;
    h.ext142 = 30;
    h.ext143 = 0;
    h.processingFlags = 0x40;
    h.ext146 = 50;
    h.ext150 = 360;
    return h;
}

std::uint32_t RecordingMemory::addMeasurement(const DateTime& start)
{
    const std::uint32_t number = static_cast<std::uint32_t>(extents_.size() + 1);
    const std::uint32_t address = static_cast<std::uint32_t>(sectors_.size());
    const HeaderFields h = headerFor(start, number, address);
    BurstData burst = source_(h, static_cast<int>(number - 1));
    std::vector<Sector> secs = packMeasurement(h, burst.interleaved);
    for (std::size_t i = 1; i < secs.size(); ++i) {
        // Data sectors go out as kind 0x41 (head and packet number), the
        // kind the PC acknowledges.
        secs[i][2] = 0x41;
        fixSectorChecksum(secs[i].data());
    }
    extents_.push_back({sectors_.size(), secs.size()});
    sectors_.insert(sectors_.end(), secs.begin(), secs.end());
    starts_.push_back(start);

    // The on-board results: a binary result sector and its text line.
    std::string line = std::move(burst.resultsRecord);
    line.resize(kResultsRecordSize, ' ');
    HeaderFields r = h;
    r.packetInfo = 0xC6;
    r.recordAddress = number - 1;
    Sector rs{};
    encodeHeader(r, rs.data());
    std::copy(line.begin(), line.end(), rs.begin() + hdr::resultsText);
    fixSectorChecksum(rs.data());
    results_.push_back(rs);
    lines_.push_back(line);
    lastSamples_ = std::move(burst.interleaved);
    return number;
}

void RecordingMemory::prefill(int n, const DateTime& before)
{
    for (int k = n; k >= 1; --k) {
        DateTime start =
            addMinutes(before, -static_cast<long long>(k - 1) * cfg_.intervalMinutes - cfg_.durationMinutes);
        start.second = 0;
        start.millisecond = 0;
        addMeasurement(start);
    }
}

std::string RecordingMemory::image() const
{
    std::string out;
    out.reserve(sectors_.size() * kSectorSize);
    for (const auto& s : sectors_)
        out.append(reinterpret_cast<const char*>(s.data()), s.size());
    return out;
}

}  // namespace varenta::emu
