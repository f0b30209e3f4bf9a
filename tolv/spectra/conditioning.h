#pragma once
// Conditioning of a measurement record: calibration of the raw counts to
// physical values, the spike filter, the trend removal with gap filling,
// the long-period band filter and the write-back to counts.
//
// Every function works on plain arrays; x holds centimetres (per second),
// -32768 marks a missing sample in both raw and x.
#include "common/status.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace varenta {

constexpr float kMissingValue = -32768.0f;

// Channel kind codes of the current components.
constexpr int kCurrentXKind = 2;
constexpr int kCurrentYKind = 3;

// Bits of the header's measureCondition byte used by the calibration.
constexpr std::uint8_t kConditionCurrentSigns = 0x20;  // bit 5
constexpr std::uint8_t kConditionKeepXSign = 0x80;      // bit 7

struct Trend {
    float intercept = 0.0f;  // a
    float slope = 0.0f;      // b, per second
    float halfRange = 0.0f;  // (max - min) / 2 of the values before correction
};

// What conditioning keeps per channel.
struct ChannelStats {
    float mean = 0.0f;
    int missing = 0;
    Trend trend;
};

// Hexadecimal channel masks of the settings: bit c for channel c, channels
// above 15 share bit 15.
bool channelInMask(std::uint32_t mask, int channel);

// Samples per second step of the statistics and the trend fit:
// nearest(10 / dt10), at least 1.
int secondStep(float dt);

// --- calibration ------------------------------------------------------------

// Whether channel values are negated: with bit 5 of measureCondition set and
// the coordinate transformation of currents off, a current X channel is
// negated when bit 7 is clear, a current Y channel always.
bool negateChannel(int kind, std::uint8_t measureCondition, bool currentTransform);

// x = factor * raw (negated when asked); a missing count takes the previous
// converted value (leading missing samples stay -32768).  stats.mean is the
// mean of the valid converted samples, stats.missing their complement.
// x must be at least as long as raw.
void CalibrateChannel(std::span<const std::int16_t> raw, float factor, bool negate, std::span<float> x,
                      ChannelStats& stats);

// --- spike filter ---------------------------------------------------------------

struct SpikeSettings {
    int passes = 0;             // item 68 value 1
    float level = 30.0f;        // item 68 value 0: N (smaller filters harder)
    float steepness = 1.0f;     // item 97 value 4: s
    std::uint32_t excludeMask = 0;  // item 95 value 5
};

// Diagnostics of one pass, for tests and the status panel.
struct SpikePass {
    int removed = 0;        // samples set missing (the result)
    int accepted = 0;       // waves accepted by the steepness test
    float d = 6.0f;         // typical wave length in seconds used
    float sd = 0.0f;        // standard deviation of the one-per-second samples
    float jumpLimit = 0.0f; // J
    float returnLimit = 0.0f; // R
};

// One pass of the spike filter on a channel with mean stats.mean; returns
// the number of samples it set missing.  stats.mean becomes the mean of the
// one-per-second samples.  Samples already missing are left alone.
int SpikeFilter(std::span<float> x, float dt, const SpikeSettings& set, ChannelStats& stats,
                SpikePass* diag = nullptr);

// Up to set.passes passes, stopping after a pass that removed nothing.
// Returns the total removed.
int SpikeFilterPasses(std::span<float> x, float dt, const SpikeSettings& set, ChannelStats& stats);

// --- trend --------------------------------------------------------------------

// Fits a + b t on the one-per-second samples (missing ones taken as the
// mean), subtracts it from every valid sample, fills gaps linearly between
// their neighbours (0 at the ends), and records trend, new mean
// (a + b n dt / 2) and the missing count.
void RemoveTrend(std::span<float> x, float dt, ChannelStats& stats);

// --- long-period filter -----------------------------------------------------

// Period limits as the settings hold them: "0", empty or not a positive
// number means no limit (Ts = 0.00001 s, Tl = 100000 s).
float shortPeriodLimit(std::string_view text);
float longPeriodLimit(std::string_view text);

// Band filter keeping periods between ts and tl on the transform length
// N0 (the power of two above n), then the edge hold: samples 0..e take
// sample e, samples n-e-1.. take sample n-e-2, e = nearest(2.5 / dt - 1).
// A sample still missing enters the transform as the previous valid value.
// DataFormat (x unchanged) when dt or a limit is not positive or n < 2.
Status LongPeriodFilter(std::span<float> x, float dt, float ts, float tl);

// --- write-back ------------------------------------------------------------

// raw[i] = nearest(x[i] / factor), saturated to -32767..32767 so that a valid
// value never wraps and never becomes the missing marker; a missing value
// writes -32768.  A factor of 0 leaves raw unchanged.
void WriteBackCounts(std::span<const float> x, float factor, std::span<std::int16_t> raw);

// --- whole record -------------------------------------------------------------

// One channel of a record: views onto the caller's arrays (same length n).
struct RecordChannel {
    std::span<std::int16_t> raw;
    std::span<float> x;
    int kind = 0;        // channel type code (bits 5-0)
    float factor = 0.0f; // conversion factor of the channel definitions
    ChannelStats stats;  // filled by the conditioning
};

struct ConditioningSettings {
    SpikeSettings spike;
    std::uint32_t trendMask = 0;             // item 82 value 4
    std::uint32_t trendAfterFilterMask = 0;  // item 27 value 4
    bool currentTransform = false;           // coordinate transformation of currents on
};

struct ConditioningReport {
    std::vector<int> spikesRemoved;  // per channel
};

// Calibration, spike filter (when wanted and the channel is not excluded)
// and trend removal (channels of trendMask), for every channel.
ConditioningReport ConditionRecord(std::vector<RecordChannel>& channels, float dt, std::uint8_t measureCondition,
                                   const ConditioningSettings& set, bool spikeFilterWanted);

struct LongPeriodRequest {
    bool filterOn = false;        // "長周期フィルター後の波形を表示"
    bool writeBack = false;       // the caller asks for the write-back anyway
    std::vector<int> channels;    // channels of display slots 0..3 switched on
    float ts = 0.00001f;
    float tl = 100000.0f;
};

// Long-period filter of the requested channels (when on), then for every
// channel (when on or asked) the trend removal of trendAfterFilterMask and
// the write-back to counts.
Status ApplyLongPeriodFilter(std::vector<RecordChannel>& channels, float dt, const ConditioningSettings& set,
                             const LongPeriodRequest& req);

}  // namespace varenta
