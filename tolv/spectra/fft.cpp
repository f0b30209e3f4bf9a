#include "tolv/spectra/fft.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace varenta {

namespace {

// Largest transform served (2^22 points, far beyond the longest burst).
constexpr int kMaxLog2 = 22;

// Everything of one transform length that does not depend on the data:
// the twiddles of every stage, laid out stage after stage, and the swap
// pairs of the bit-reversal loop.
struct FftPlan {
    int n = 0;
    int stages = 0;
    std::vector<int> stageOffset;   // first twiddle of stage s
    std::vector<float> cosv;        // cos a
    std::vector<float> sinFwd;      // -sin a (direction -1)
    std::vector<float> sinInv;      // +sin a (direction +1)
    std::vector<std::pair<int, int>> swaps;
};

std::unique_ptr<FftPlan> makePlan(int n)
{
    auto p = std::make_unique<FftPlan>();
    p->n = n;
    p->stages = static_cast<int>(std::lround(std::log(static_cast<double>(n)) / 0.693147));
    p->cosv.reserve(static_cast<std::size_t>(n));
    p->sinFwd.reserve(static_cast<std::size_t>(n));
    p->sinInv.reserve(static_cast<std::size_t>(n));

    // Angle step of the first stage; it doubles after every stage.  Within a
    // stage the angle of butterfly j is (j - 1) x step, one single-precision
    // product (a running sum of the step drifts by more than 1e-5 relative
    // at 4096 points).
    float c = static_cast<float>(6.283185 / n);
    int span = n;
    for (int s = 0; s < p->stages; ++s) {
        const int span2 = span;
        span = span2 / 2;
        p->stageOffset.push_back(static_cast<int>(p->cosv.size()));
        for (int j = 0; j < span; ++j) {
            const float a = static_cast<float>(j) * c;
            const float cs = static_cast<float>(std::cos(static_cast<double>(a)));
            const float sn = static_cast<float>(std::sin(static_cast<double>(a)));
            p->cosv.push_back(cs);
            p->sinFwd.push_back(-sn);
            p->sinInv.push_back(sn);
        }
        c = 2.0f * c;
    }

    // Classic bit-reversal swap loop on 1-based indices.
    int j = 1;
    for (int i = 1; i <= n - 1; ++i) {
        if (i < j)
            p->swaps.emplace_back(i - 1, j - 1);
        int k = n / 2;
        while (k < j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
    return p;
}

const FftPlan& planFor(int n)
{
    thread_local std::array<std::unique_ptr<FftPlan>, kMaxLog2 + 1> cache;
    int log2n = 0;
    while ((1 << log2n) < n)
        ++log2n;
    auto& slot = cache[static_cast<std::size_t>(log2n)];
    if (!slot)
        slot = makePlan(n);
    return *slot;
}

// One stage over contiguous butterflies of each block: the j loop is
// innermost so that the compiler can vectorise it.  Every butterfly is
// independent, so the order does not change a single bit of the result.
void stageBlocked(int n, int span, float* re, float* im, const float* cs, const float* sn)
{
    const int span2 = 2 * span;
    for (int b = 0; b < n; b += span2) {
        float* __restrict r0 = re + b;
        float* __restrict r1 = re + b + span;
        float* __restrict i0 = im + b;
        float* __restrict i1 = im + b + span;
        for (int j = 0; j < span; ++j) {
            const float dr = r0[j] - r1[j];
            const float di = i0[j] - i1[j];
            r0[j] = r0[j] + r1[j];
            i0[j] = i0[j] + i1[j];
            r1[j] = cs[j] * dr + sn[j] * di;
            i1[j] = cs[j] * di - sn[j] * dr;
        }
    }
}

// The same stage for short spans: butterfly index outermost.
void stageStrided(int n, int span, float* re, float* im, const float* cs, const float* sn)
{
    const int span2 = 2 * span;
    for (int j = 0; j < span; ++j) {
        const float c = cs[j];
        const float s = sn[j];
        for (int i = j; i < n; i += span2) {
            const int l = i + span;
            const float dr = re[i] - re[l];
            const float di = im[i] - im[l];
            re[i] = re[i] + re[l];
            im[i] = im[i] + im[l];
            re[l] = c * dr + s * di;
            im[l] = c * di - s * dr;
        }
    }
}

}  // namespace

bool isPowerOfTwo(long long n)
{
    return n >= 2 && (n & (n - 1)) == 0;
}

int fftLengthAbove(long long n)
{
    if (n < 1)
        return 0;
    long long p = 1;
    while (p <= n && p < (1LL << 30))
        p <<= 1;
    return static_cast<int>(p);
}

int powerOfTwoAtMost(long long n)
{
    if (n < 1)
        return 0;
    long long p = 1;
    while (p * 2 <= n && p < (1LL << 30))
        p <<= 1;
    return static_cast<int>(p);
}

Status Fft(int n, int direction, std::span<float> re, std::span<float> im)
{
    if (!isPowerOfTwo(n) || n > (1 << kMaxLog2))
        return Status::DataFormat;
    if (direction != -1 && direction != 1)
        return Status::DataFormat;
    if (re.size() < static_cast<std::size_t>(n) || im.size() < static_cast<std::size_t>(n))
        return Status::DataFormat;

    const FftPlan& p = planFor(n);
    float* r = re.data();
    float* m = im.data();
    const std::vector<float>& sinv = direction == -1 ? p.sinFwd : p.sinInv;

    int span = n;
    for (int s = 0; s < p.stages; ++s) {
        span /= 2;
        const int off = p.stageOffset[static_cast<std::size_t>(s)];
        const float* cs = p.cosv.data() + off;
        const float* sn = sinv.data() + off;
        if (span >= 8)
            stageBlocked(n, span, r, m, cs, sn);
        else
            stageStrided(n, span, r, m, cs, sn);
    }

    for (const auto& [a, b] : p.swaps) {
        std::swap(r[a], r[b]);
        std::swap(m[a], m[b]);
    }

    if (direction == -1) {
        const float fn = static_cast<float>(n);
        for (int i = 0; i < n; ++i) {
            r[i] = r[i] / fn;
            m[i] = m[i] / fn;
        }
    }
    return Status::Ok;
}

float WaveNumber(float t, float h)
{
    if (!(t > 0.0f) || !(h > 0.0f))
        return 0.0f;
    const float l0 = 9.8f * t * t / 6.283185f;
    const float r = h / l0;
    const float x = 6.283185f * r;
    float kh;
    if (r > 0.2f) {
        const float y = x * (1.0f + 1.26f * std::exp(-1.84f * x));
        const float e = std::exp(-2.0f * y);
        kh = x * (1.0f + 2.0f * e * (e + 1.0f));
    } else {
        kh = std::sqrt(x) * ((x / 5.0f + 1.0f) * (x / 6.0f) + 1.0f);
    }
    return kh / h;
}

float CoshF(float x)
{
    double v = static_cast<double>(x);
    if (v > 89.4)
        v = 89.4;
    else if (v < -89.4)
        v = -89.4;
    return static_cast<float>((std::exp(v) + std::exp(-v)) * 0.5);
}

float SinhF(float x)
{
    double v = static_cast<double>(x);
    if (v > 89.4)
        v = 89.4;
    else if (v < -89.4)
        v = -89.4;
    return static_cast<float>((std::exp(v) - std::exp(-v)) * 0.5);
}

float Log10F(float x)
{
    if (!(x > 0.0f))
        return 1e-08f;
    return static_cast<float>(std::log(static_cast<double>(x)) / 2.30258);
}

}  // namespace varenta
