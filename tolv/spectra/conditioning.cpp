#include "tolv/spectra/conditioning.h"

#include "common/numeric.h"
#include "tolv/spectra/fft.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <immintrin.h>
#endif

namespace varenta {

namespace {

inline bool isMissing(float v)
{
    return v == kMissingValue;
}

// The sampling interval as the decimal it stands for: 0.2f is
// 0.200000003, which would turn nearest(2.5 / dt - 1) = nearest(11.5) into
// 11 instead of 12.
double exactSeconds(float dt)
{
    const double r = std::round(static_cast<double>(dt) * 1e6) / 1e6;
    return r > 0.0 ? r : static_cast<double>(dt);
}

// Copies x into re[0..n-1], a missing sample taking the previous valid value
// (the first valid one at the start, 0 when there is none).
void fillHeld(std::span<const float> x, std::vector<float>& re)
{
    float held = 0.0f;
    for (float v : x)
        if (!isMissing(v)) {
            held = v;
            break;
        }
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!isMissing(x[i]))
            held = x[i];
        re[i] = held;
    }
}

// Largest and smallest of p[0..n-1] found in eight lanes; true when a value
// is NaN.  Each lane keeps (hi < v ? v : hi) and (v < lo ? v : lo), the
// comparisons of the sequential scan (MAXPS and MINPS are exactly these),
// so for values that are not NaN the extremes are the same numbers, and the
// same bits unless an extreme is a zero.
bool laneRange(const float* p, int n, float& hi, float& lo)
{
    int i = 0;
    bool nan = false;
    hi = lo = p[0];
#ifdef __SSE2__
    __m128 h0 = _mm_set1_ps(p[0]), h1 = h0, l0 = h0, l1 = h0;
    __m128 bad = _mm_setzero_ps();
    for (; i + 8 <= n; i += 8) {
        const __m128 a = _mm_loadu_ps(p + i), b = _mm_loadu_ps(p + i + 4);
        h0 = _mm_max_ps(a, h0);
        h1 = _mm_max_ps(b, h1);
        l0 = _mm_min_ps(a, l0);
        l1 = _mm_min_ps(b, l1);
        bad = _mm_or_ps(bad, _mm_or_ps(_mm_cmpunord_ps(a, a), _mm_cmpunord_ps(b, b)));
    }
    alignas(16) float hs[8], ls[8];
    _mm_store_ps(hs, h0);
    _mm_store_ps(hs + 4, h1);
    _mm_store_ps(ls, l0);
    _mm_store_ps(ls + 4, l1);
    for (int k = 0; k < 8; ++k) {
        hi = hi < hs[k] ? hs[k] : hi;
        lo = ls[k] < lo ? ls[k] : lo;
    }
    nan = _mm_movemask_ps(bad) != 0;
#endif
    for (; i < n; ++i) {
        hi = hi < p[i] ? p[i] : hi;
        lo = p[i] < lo ? p[i] : lo;
        nan = nan || p[i] != p[i];
    }
    return nan;
}

// Whether any of p[0..n-1] is the missing marker.
bool anyMissingValue(const float* p, int n)
{
    int i = 0;
    bool found = false;
#ifdef __SSE2__
    const __m128 marker = _mm_set1_ps(kMissingValue);
    __m128 hit = _mm_setzero_ps();
    for (; i + 8 <= n; i += 8)
        hit = _mm_or_ps(hit, _mm_or_ps(_mm_cmpeq_ps(_mm_loadu_ps(p + i), marker),
                                       _mm_cmpeq_ps(_mm_loadu_ps(p + i + 4), marker)));
    found = _mm_movemask_ps(hit) != 0;
#endif
    for (; i < n; ++i)
        found = found || p[i] == kMissingValue;
    return found;
}

std::string_view trimmed(std::string_view t)
{
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r'))
        t.remove_suffix(1);
    return t;
}

// A positive number, or 0 when the text is empty, "0", negative or not a
// number.
double positiveOrZero(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double v = 0.0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || p != text.data() + text.size() || !std::isfinite(v) || v <= 0.0)
        return 0.0;
    return v;
}

}  // namespace

bool channelInMask(std::uint32_t mask, int channel)
{
    if (channel < 0)
        return false;
    const int bit = std::min(channel, 15);
    return (mask >> bit) & 1u;
}

int secondStep(float dt)
{
    if (!(dt > 0.0f))
        return 1;
    return std::max(1, roundEvenInt(1.0 / exactSeconds(dt)));
}

bool negateChannel(int kind, std::uint8_t measureCondition, bool currentTransform)
{
    if (!(measureCondition & kConditionCurrentSigns) || currentTransform)
        return false;
    if (kind == kCurrentXKind)
        return !(measureCondition & kConditionKeepXSign);
    return kind == kCurrentYKind;
}

void CalibrateChannel(std::span<const std::int16_t> raw, float factor, bool negate, std::span<float> x,
                      ChannelStats& stats)
{
    const std::size_t n = std::min(raw.size(), x.size());
    const float f = negate ? -factor : factor;
    float prev = kMissingValue;
    double sum = 0.0;
    int valid = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (raw[i] == kMissingSample) {
            x[i] = prev;
            continue;
        }
        float v = f * static_cast<float>(raw[i]);
        if (isMissing(v))  // a real value that happens to equal the marker
            v = std::nextafter(v, 0.0f);
        x[i] = v;
        prev = v;
        sum += v;
        ++valid;
    }
    stats = ChannelStats{};
    stats.mean = valid > 0 ? static_cast<float>(sum / valid) : 0.0f;
    stats.missing = static_cast<int>(n) - valid;
}

int SpikeFilter(std::span<float> x, float dt, const SpikeSettings& set, ChannelStats& stats, SpikePass* diag)
{
    const int n = static_cast<int>(x.size());
    const float m = stats.mean;
    const float level = set.level;
    int removed = 0;

    // 1. Steepness test, wave by wave between up-crossings of the band m +- 2.
    float hi = m, lo = m;
    const float up = m + 2.0f, down = m - 2.0f;
    int last = 0;
    int accepted = 0;
    bool below = false;
    // Blocks of eight samples in which nothing happens but the wave's
    // highest and lowest values moving (no sample missing or too far from
    // the mean, no up-crossing) are taken whole: their maximum and minimum
    // are the same numbers as the running ones (no NaN among them), and
    // only |hi - lo| is used.  Other blocks go sample by sample.
    auto sample = [&](int k) {
        const float v = x[static_cast<std::size_t>(k)];
        if (isMissing(v))
            return;  // already removed: neither counted again nor a wave point
        if (std::fabs(v - m) >= 1200.0f) {
            x[static_cast<std::size_t>(k)] = kMissingValue;
            ++removed;
            return;
        }
        hi = std::max(hi, v);
        lo = std::min(lo, v);
        if (v > up && below) {
            const float t = static_cast<float>(k - last) * dt;
            const float height = std::fabs(hi - lo) * 0.01f;
            if (height <= (level / 28.0f) * set.steepness * t * t || accepted == 0) {
                ++accepted;
            } else {
                for (int j = std::max(last - 1, 0); j <= k; ++j) {
                    float& s = x[static_cast<std::size_t>(j)];
                    if (!isMissing(s)) {
                        s = kMissingValue;
                        ++removed;
                    }
                }
            }
            hi = lo = v;
            last = k;
        }
        if (v > up)
            below = false;
        if (v < down)
            below = true;
    };
    int k = 0;
#ifdef __SSE2__
    const __m128 vm = _mm_set1_ps(m), vup = _mm_set1_ps(up), vdown = _mm_set1_ps(down);
    const __m128 far = _mm_set1_ps(1200.0f), marker = _mm_set1_ps(kMissingValue);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    auto unusual = [&](__m128 v) {
        return _mm_or_ps(_mm_or_ps(_mm_cmpeq_ps(v, marker), _mm_cmpunord_ps(v, v)),
                         _mm_cmpge_ps(_mm_and_ps(_mm_sub_ps(v, vm), magnitude), far));
    };
    for (; k + 8 <= n; k += 8) {
        const __m128 a = _mm_loadu_ps(x.data() + k), b = _mm_loadu_ps(x.data() + k + 4);
        bool plain = _mm_movemask_ps(_mm_or_ps(unusual(a), unusual(b))) == 0;
        unsigned gt = 0, lt = 0;
        if (plain) {
            gt = static_cast<unsigned>(_mm_movemask_ps(_mm_cmpgt_ps(a, vup)) |
                                       (_mm_movemask_ps(_mm_cmpgt_ps(b, vup)) << 4));
            lt = static_cast<unsigned>(_mm_movemask_ps(_mm_cmplt_ps(a, vdown)) |
                                       (_mm_movemask_ps(_mm_cmplt_ps(b, vdown)) << 4));
            // An up-crossing: a sample above the band while below it.
            plain = below ? gt == 0 : (lt == 0 || (gt >> (__builtin_ctz(lt) + 1)) == 0);
        }
        if (!plain) {
            for (int j = k; j < k + 8; ++j)
                sample(j);
            continue;
        }
        __m128 mx = _mm_max_ps(a, b), mn = _mm_min_ps(a, b);
        mx = _mm_max_ps(mx, _mm_movehl_ps(mx, mx));
        mn = _mm_min_ps(mn, _mm_movehl_ps(mn, mn));
        mx = _mm_max_ps(mx, _mm_shuffle_ps(mx, mx, 1));
        mn = _mm_min_ps(mn, _mm_shuffle_ps(mn, mn, 1));
        const float bmax = _mm_cvtss_f32(mx), bmin = _mm_cvtss_f32(mn);
        hi = std::max(hi, bmax);
        lo = std::min(lo, bmin);
        if (const unsigned events = gt | lt)
            below = (lt >> (31 - __builtin_clz(events))) & 1u;
    }
#endif
    for (; k < n; ++k)
        sample(k);

    // 2. Statistics of one sample per second.
    const int q = secondStep(dt);
    double sum = 0.0, sq = 0.0;
    int count = 0;
    for (int k = 0; k < n; k += q) {
        const float v = x[static_cast<std::size_t>(k)];
        if (isMissing(v))
            continue;
        sum += v;
        sq += static_cast<double>(v) * v;
        ++count;
    }
    const double divisor = count > 0 ? count : std::max(1, roundEvenInt(static_cast<double>(n) * dt));
    const double mean1 = sum / divisor;
    const float sd = static_cast<float>(std::sqrt(std::fabs(sq / divisor - mean1 * mean1)));
    stats.mean = static_cast<float>(mean1);
    float d = accepted > 0 ? static_cast<float>(count) / static_cast<float>(accepted) : 6.0f;
    if (accepted == 0 || d < 1.0f || d > 25.0f)
        d = 6.0f;

    // 3. Jump limits.
    float jump = (sd / d) * level * dt;
    if (jump > 1200.0f)
        jump = 1200.0f;
    float back = (sd / d) * 6.0f * dt;
    if (jump < 30.0f * dt) {
        jump = 30.0f * dt;
        back = 10.0f * dt;
    }

    // 4. Jump test.  A sample after a jump stays removed until the record
    // comes back near the mean, the allowance growing with the gap length.
    if (n >= 2 && !isMissing(x[0]) && !isMissing(x[1]) && std::fabs(x[0] - x[1]) > jump)
        x[0] = kMissingValue;  // not counted
    bool gap = isMissing(x[0]);
    int g0 = 0;
    auto jumpStep = [&](int k) {
        const float cur = x[static_cast<std::size_t>(k)];
        const float nxt = x[static_cast<std::size_t>(k + 1)];
        if (isMissing(nxt)) {
            const bool after = k + 2 < n && isMissing(x[static_cast<std::size_t>(k + 2)]);
            if (after && !gap) {
                gap = true;
                g0 = k + 1;
            }
        } else if (isMissing(cur)) {
            if (gap) {
                const int steps = std::clamp(k - g0, 1, 6);
                if (std::fabs(nxt - stats.mean) >= back * static_cast<float>(steps)) {
                    x[static_cast<std::size_t>(k + 1)] = kMissingValue;
                    ++removed;
                } else {
                    gap = false;
                }
            }
        } else if (std::fabs(nxt - cur) > jump) {
            gap = true;
            g0 = k;
            x[static_cast<std::size_t>(k + 1)] = kMissingValue;
            ++removed;
        }
    };
    // Blocks of eight steps over nine valid samples without a jump change
    // nothing (neither the samples nor the gap state) and are passed over.
    int at = 0;
#ifdef __SSE2__
    {
        const __m128 marker = _mm_set1_ps(kMissingValue), limit = _mm_set1_ps(jump);
        const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
        for (; at + 9 <= n; at += 8) {
            const float* p = x.data() + at;
            const __m128 a = _mm_loadu_ps(p), b = _mm_loadu_ps(p + 4);
            const __m128 a1 = _mm_loadu_ps(p + 1), b1 = _mm_loadu_ps(p + 5);
            const __m128 missing =
                _mm_or_ps(_mm_or_ps(_mm_cmpeq_ps(a, marker), _mm_cmpeq_ps(b, marker)), _mm_cmpeq_ps(b1, marker));
            const __m128 jumps = _mm_or_ps(_mm_cmpgt_ps(_mm_and_ps(_mm_sub_ps(a1, a), magnitude), limit),
                                           _mm_cmpgt_ps(_mm_and_ps(_mm_sub_ps(b1, b), magnitude), limit));
            if (_mm_movemask_ps(_mm_or_ps(missing, jumps)) == 0)
                continue;
            for (int j = at; j < at + 8; ++j)
                jumpStep(j);
        }
    }
#endif
    for (; at + 1 < n; ++at)
        jumpStep(at);

    if (diag) {
        diag->removed = removed;
        diag->accepted = accepted;
        diag->d = d;
        diag->sd = sd;
        diag->jumpLimit = jump;
        diag->returnLimit = back;
    }
    return removed;
}

int SpikeFilterPasses(std::span<float> x, float dt, const SpikeSettings& set, ChannelStats& stats)
{
    int total = 0;
    for (int p = 0; p < set.passes; ++p) {
        const int r = SpikeFilter(x, dt, set, stats);
        total += r;
        if (r == 0)
            break;
    }
    stats.missing += total;
    return total;
}

void RemoveTrend(std::span<float> x, float dt, ChannelStats& stats)
{
    const int n = static_cast<int>(x.size());
    const double m = stats.mean;
    const int q = secondStep(dt);

    // Least squares on the one-per-second samples, numbered e = 1..M.
    double s = 0.0, p = 0.0;
    long long mCount = 0;
    for (int k = 0; k < n; k += q) {
        ++mCount;
        const float v = x[static_cast<std::size_t>(k)];
        const double y = isMissing(v) ? m : v;
        s += y;
        p += static_cast<double>(mCount) * y;
    }
    double a = m, b = 0.0;
    if (mCount >= 2) {
        const double mm = static_cast<double>(mCount);
        const double m1 = mm * (mm + 1.0) / 2.0;
        const double m2 = mm * (mm + 1.0) * (2.0 * mm + 1.0) / 6.0;
        const double dd = mm * mm * (mm * mm - 1.0) / 12.0;
        a = (s * m2 - p * m1) / dd;
        b = (mm * p - s * m1) / dd;
    } else if (mCount == 1) {
        a = s;
    }
    // The fit numbers sample 0 as e = 1: the line at sample 0 is a + b, and b
    // is the rise per q samples.  Express both per second from sample 0.
    const double stepSeconds = static_cast<double>(q) * dt;
    const double slope = stepSeconds > 0.0 ? b / stepSeconds : 0.0;
    const double intercept = a + b;

    int missing = 0;
    bool ranged = false;
    float mx = 0.0f, mn = 0.0f;
    auto range = [&](float v) {
        if (!ranged) {
            mx = mn = v;
            ranged = true;
        } else {
            mx = std::max(mx, v);
            mn = std::min(mn, v);
        }
    };

    // A record without a missing sample: the range and the line taken out
    // in loops without branches.  The range is found lane-wise; the result
    // is the running maximum's only when it is unique, that is, when no
    // value is NaN and neither extreme is a zero (of either sign).
    if (n >= 16 && !anyMissingValue(x.data(), n)) {
        float hi, lo;
        const bool nan = laneRange(x.data(), n, hi, lo);
        if (!nan && hi != 0.0f && lo != 0.0f) {
            x[0] = static_cast<float>(x[0] - intercept);
            float* p = x.data();
            const double step = dt;
            for (int i = 1; i < n; ++i)
                p[i] = static_cast<float>(p[i] - (slope * i * step + intercept));
            stats.trend.intercept = static_cast<float>(intercept);
            stats.trend.slope = static_cast<float>(slope);
            stats.trend.halfRange = (hi - lo) / 2.0f;
            stats.mean = static_cast<float>(intercept + slope * n * 0.5 * dt);
            stats.missing = 0;
            return;
        }
    }

    if (n > 0) {
        if (isMissing(x[0])) {
            x[0] = 0.0f;
            ++missing;
        } else {
            range(x[0]);
            x[0] = static_cast<float>(x[0] - intercept);
        }
    }
    bool inGap = false;
    int g = 0;
    for (int i = 1; i < n; ++i) {
        float& v = x[static_cast<std::size_t>(i)];
        if (isMissing(v)) {
            ++missing;
            if (!inGap) {
                inGap = true;
                g = i - 1;
            }
            continue;
        }
        range(v);
        v = static_cast<float>(v - (slope * i * dt + intercept));
        if (inGap) {
            const float step = (v - x[static_cast<std::size_t>(g)]) / static_cast<float>(i - g);
            for (int j = g + 1; j < i; ++j)
                x[static_cast<std::size_t>(j)] = x[static_cast<std::size_t>(j - 1)] + step;
            inGap = false;
        }
    }
    if (inGap)
        for (int j = g + 1; j < n; ++j)
            x[static_cast<std::size_t>(j)] = 0.0f;

    stats.trend.intercept = static_cast<float>(intercept);
    stats.trend.slope = static_cast<float>(slope);
    stats.trend.halfRange = ranged ? (mx - mn) / 2.0f : 0.0f;
    stats.mean = static_cast<float>(intercept + slope * n * 0.5 * dt);
    stats.missing = missing;
}

float shortPeriodLimit(std::string_view text)
{
    const double v = positiveOrZero(text);
    return v > 0.0 ? static_cast<float>(v) : 0.00001f;
}

float longPeriodLimit(std::string_view text)
{
    const double v = positiveOrZero(text);
    return v > 0.0 ? static_cast<float>(v) : 100000.0f;
}

Status LongPeriodFilter(std::span<float> x, float dt, float ts, float tl)
{
    const int n = static_cast<int>(x.size());
    if (n < 2 || !(dt > 0.0f) || !(ts > 0.0f) || !(tl > 0.0f))
        return Status::DataFormat;
    const int n0 = fftLengthAbove(n);
    std::vector<float> re(static_cast<std::size_t>(n0), 0.0f);
    std::vector<float> im(static_cast<std::size_t>(n0), 0.0f);
    fillHeld(x, re);
    if (Fft(n0, -1, re, im) != Status::Ok)
        return Status::DataFormat;

    // Bins are 1-based here as in the usual formulation: bin j holds
    // frequency (j - 1) / (N0 dt), bin N0 - j + 2 its negative.
    const double span = static_cast<double>(n0) * exactSeconds(dt);
    const long long k1 = std::clamp<long long>(roundEven(span / tl + 0.0001), 0, n0);
    const long long k2 = std::clamp<long long>(roundEven(span / ts + 2.0001), 0, static_cast<long long>(n0) + 2);
    auto clear = [&](long long from, long long to) {  // 1-based, inclusive
        from = std::max<long long>(from, 1);
        to = std::min<long long>(to, n0);
        for (long long j = from; j <= to; ++j) {
            re[static_cast<std::size_t>(j - 1)] = 0.0f;
            im[static_cast<std::size_t>(j - 1)] = 0.0f;
        }
    };
    if (k1 >= 1) {
        clear(1, k1);
        clear(n0 - k1 + 2, n0);
    }
    clear(k2, n0 - k2 + 2);

    if (Fft(n0, 1, re, im) != Status::Ok)
        return Status::DataFormat;
    std::copy_n(re.begin(), n, x.begin());

    // Edge hold: the filter rings at the ends of the record.
    const int e = std::max(0, roundEvenInt(2.5 / exactSeconds(dt) - 1.0));
    if (e < n)
        for (int i = 0; i < e; ++i)
            x[static_cast<std::size_t>(i)] = x[static_cast<std::size_t>(e)];
    const int tail = n - e - 2;
    if (tail >= 0)
        for (int i = n - e - 1; i < n; ++i)
            x[static_cast<std::size_t>(i)] = x[static_cast<std::size_t>(tail)];
    return Status::Ok;
}

void WriteBackCounts(std::span<const float> x, float factor, std::span<std::int16_t> raw)
{
    if (factor == 0.0f || !std::isfinite(factor))
        return;
    const std::size_t n = std::min(x.size(), raw.size());
    for (std::size_t i = 0; i < n; ++i)
        raw[i] = isMissing(x[i]) ? kMissingSample
                                 : saturateCount(static_cast<double>(x[i]) / static_cast<double>(factor));
}

ConditioningReport ConditionRecord(std::vector<RecordChannel>& channels, float dt, std::uint8_t measureCondition,
                                   const ConditioningSettings& set, bool spikeFilterWanted)
{
    ConditioningReport report;
    report.spikesRemoved.assign(channels.size(), 0);
    for (std::size_t c = 0; c < channels.size(); ++c) {
        RecordChannel& ch = channels[c];
        const std::size_t n = std::min(ch.raw.size(), ch.x.size());
        std::span<float> x = ch.x.first(n);
        const int ci = static_cast<int>(c);
        CalibrateChannel(ch.raw.first(n), ch.factor, negateChannel(ch.kind, measureCondition, set.currentTransform),
                         x, ch.stats);
        if (spikeFilterWanted && !channelInMask(set.spike.excludeMask, ci))
            report.spikesRemoved[c] = SpikeFilterPasses(x, dt, set.spike, ch.stats);
        if (channelInMask(set.trendMask, ci))
            RemoveTrend(x, dt, ch.stats);
    }
    return report;
}

Status ApplyLongPeriodFilter(std::vector<RecordChannel>& channels, float dt, const ConditioningSettings& set,
                             const LongPeriodRequest& req)
{
    if (req.filterOn) {
        if (!(dt > 0.0f) || !(req.ts > 0.0f) || !(req.tl > 0.0f))
            return Status::DataFormat;
        std::vector<int> done;
        for (int c : req.channels) {
            if (c < 0 || c >= static_cast<int>(channels.size()))
                continue;
            if (std::find(done.begin(), done.end(), c) != done.end())
                continue;  // a channel shown in two slots is filtered once
            done.push_back(c);
            RecordChannel& ch = channels[static_cast<std::size_t>(c)];
            const std::size_t n = std::min(ch.raw.size(), ch.x.size());
            if (n < 2)
                continue;
            const Status st = LongPeriodFilter(ch.x.first(n), dt, req.ts, req.tl);
            if (st != Status::Ok)
                return st;
        }
    }
    if (!req.filterOn && !req.writeBack)
        return Status::Ok;
    for (std::size_t c = 0; c < channels.size(); ++c) {
        RecordChannel& ch = channels[c];
        const std::size_t n = std::min(ch.raw.size(), ch.x.size());
        if (channelInMask(set.trendAfterFilterMask, static_cast<int>(c)))
            RemoveTrend(ch.x.first(n), dt, ch.stats);
        WriteBackCounts(ch.x.first(n), ch.factor, ch.raw.first(n));
    }
    return Status::Ok;
}

}  // namespace varenta
