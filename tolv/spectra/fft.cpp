#include "tolv/spectra/fft.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

// The vector helpers below are internal to this file: the note about the
// calling convention of 32-byte vectors does not concern them.
#pragma GCC diagnostic ignored "-Wpsabi"

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

    // Classic bit-reversal swap loop on 1-based indices; kept for the short
    // transforms, which are not reordered in blocks.
    if (n >= 64)
        return p;
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

// The stages are computed with 8-wide vectors (GCC vector extensions: AVX2
// where the processor has it, pairs of SSE registers otherwise).  Every
// element goes through exactly the operations of the scalar butterfly, in
// the same order, and no multiply-add is fused, so the result is the same
// to the last bit as the plain loops; only the order in which independent
// butterflies are done differs.
using V8 = float __attribute__((vector_size(32)));
using I8 = int __attribute__((vector_size(32)));

#if defined(__clang__)
// Clang refuses a 32-byte vector returned by a call in the plain x86-64
// clone (an ABI change without AVX), inlined or not; as statement
// expressions the helpers make no call.  Same lanes, same results.
#define load8(p) (__extension__({          \
    V8 v_;                                 \
    std::memcpy(&v_, (p), sizeof v_);      \
    v_;                                    \
}))
#define shuffle2(a, b, m) (__extension__({                           \
    const V8 a_ = (a), b_ = (b);                                     \
    const I8 m_ = (m);                                               \
    V8 r_;                                                           \
    for (int k_ = 0; k_ < 8; ++k_)                                   \
        r_[k_] = m_[k_] < 8 ? a_[m_[k_]] : b_[m_[k_] - 8];           \
    r_;                                                              \
}))
#else
inline V8 load8(const float* p)
{
    V8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Lanes of (a, b) picked by m (0-7 from a, 8-15 from b).
inline V8 shuffle2(const V8& a, const V8& b, const I8& m) { return __builtin_shuffle(a, b, m); }
#endif

inline void store8(float* p, const V8& v)
{
    std::memcpy(p, &v, sizeof v);
}

// One butterfly on whole vectors: (a, b) -> (a + b, w * (a - b)) with the
// twiddle w = cs - i sn written out as the scalar formula.
inline void butterfly8(V8& ar, V8& ai, V8& br, V8& bi, const V8& cs, const V8& sn)
{
    const V8 dr = ar - br;
    const V8 di = ai - bi;
    ar = ar + br;
    ai = ai + bi;
    br = cs * dr + sn * di;
    bi = cs * di - sn * dr;
}

// The same stage, scalar, for short transforms.
void stageScalar(int n, int span, float* re, float* im, const float* cs, const float* sn)
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

// 8 x 8 transpose: out[l][k] = in[k][l].
__attribute__((always_inline)) inline void transpose8(V8 v[8])
{
    const I8 unpackLo{0, 8, 1, 9, 4, 12, 5, 13};
    const I8 unpackHi{2, 10, 3, 11, 6, 14, 7, 15};
    const I8 pairLo{0, 1, 8, 9, 4, 5, 12, 13};
    const I8 pairHi{2, 3, 10, 11, 6, 7, 14, 15};
    const I8 halfLo{0, 1, 2, 3, 8, 9, 10, 11};
    const I8 halfHi{4, 5, 6, 7, 12, 13, 14, 15};
    V8 t[8], u[8];
    for (int q = 0; q < 8; q += 2) {
        t[q] = shuffle2(v[q], v[q + 1], unpackLo);
        t[q + 1] = shuffle2(v[q], v[q + 1], unpackHi);
    }
    for (int q = 0; q < 8; q += 4) {
        u[q] = shuffle2(t[q], t[q + 2], pairLo);
        u[q + 1] = shuffle2(t[q], t[q + 2], pairHi);
        u[q + 2] = shuffle2(t[q + 1], t[q + 3], pairLo);
        u[q + 3] = shuffle2(t[q + 1], t[q + 3], pairHi);
    }
    for (int q = 0; q < 4; ++q) {
        v[q] = shuffle2(u[q], u[q + 4], halfLo);
        v[q + 4] = shuffle2(u[q], u[q + 4], halfHi);
    }
}

constexpr int kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// The bit-reversal permutation in 8 x 8 blocks (n = 2^m, m >= 6).  With
// i = h 2^(m-3) + 8 mid + l, rev(i) = rev3(l) 2^(m-3) + 8 rev(mid) + rev3(h):
// the 64 points of one `mid` go, transposed, to the 64 places of rev(mid).
// The result is the permutation of the classic swap loop.
__attribute__((always_inline)) inline void bitReverseBlocks(int n, int midBits, float* a)
{
    const int row = n / 8;
    const int mids = 1 << midBits;
    for (int mid = 0; mid < mids; ++mid) {
        int rmid = 0;
        for (int b = 0; b < midBits; ++b)
            rmid |= ((mid >> b) & 1) << (midBits - 1 - b);
        if (rmid < mid)
            continue;
        V8 x[8], y[8];
        for (int k = 0; k < 8; ++k)
            x[k] = load8(a + kRev3[k] * row + 8 * mid);
        transpose8(x);
        if (rmid != mid) {
            for (int k = 0; k < 8; ++k)
                y[k] = load8(a + kRev3[k] * row + 8 * rmid);
            transpose8(y);
            for (int l = 0; l < 8; ++l)
                store8(a + kRev3[l] * row + 8 * mid, y[l]);
        }
        for (int l = 0; l < 8; ++l)
            store8(a + kRev3[l] * row + 8 * rmid, x[l]);
    }
}

// Stages of span >= 8 and then the last three stages (spans 4, 2, 1)
// together on 16 points at a time, regrouped by shuffles so that every
// butterfly works on full vectors, and for n >= 64 the bit reversal.  The
// results are multiplied by `scale`
// (1 or 1/N: a power of two, so the product is exactly the quotient by N
// that the scaled direction asks for).  n >= 16.
VARENTA_AVX2_CLONES void butterfliesVector(int n, int stages, const int* offset,
                                                                         const float* cosv, const float* sinv,
                                                                         float* re, float* im, float scale)
{
    int span = n;
    int s = 0;
    // Two stages at a time while the second has a span of at least 8: the
    // four points j, j + h, j + 2h, j + 3h (h = span / 2) of a block stay in
    // registers for both.
    for (; s + 1 < stages - 3; s += 2) {
        const int h = span / 4;  // span of the second stage
        const float* ca = cosv + offset[s];
        const float* sa = sinv + offset[s];
        const float* cb = cosv + offset[s + 1];
        const float* sb = sinv + offset[s + 1];
        for (int b = 0; b < n; b += span) {
            float* r = re + b;
            float* i = im + b;
            for (int j = 0; j < h; j += 8) {
                V8 r0 = load8(r + j), r1 = load8(r + j + h), r2 = load8(r + j + 2 * h), r3 = load8(r + j + 3 * h);
                V8 i0 = load8(i + j), i1 = load8(i + j + h), i2 = load8(i + j + 2 * h), i3 = load8(i + j + 3 * h);
                butterfly8(r0, i0, r2, i2, load8(ca + j), load8(sa + j));
                butterfly8(r1, i1, r3, i3, load8(ca + j + h), load8(sa + j + h));
                const V8 c = load8(cb + j), sn = load8(sb + j);
                butterfly8(r0, i0, r1, i1, c, sn);
                butterfly8(r2, i2, r3, i3, c, sn);
                store8(r + j, r0);
                store8(r + j + h, r1);
                store8(r + j + 2 * h, r2);
                store8(r + j + 3 * h, r3);
                store8(i + j, i0);
                store8(i + j + h, i1);
                store8(i + j + 2 * h, i2);
                store8(i + j + 3 * h, i3);
            }
        }
        span /= 4;
    }
    for (; s < stages - 3; ++s) {
        span /= 2;
        const float* cs = cosv + offset[s];
        const float* sn = sinv + offset[s];
        for (int b = 0; b < n; b += 2 * span) {
            float* r0 = re + b;
            float* i0 = im + b;
            float* r1 = r0 + span;
            float* i1 = i0 + span;
            for (int j = 0; j < span; j += 8) {
                V8 ar = load8(r0 + j), ai = load8(i0 + j), br = load8(r1 + j), bi = load8(i1 + j);
                butterfly8(ar, ai, br, bi, load8(cs + j), load8(sn + j));
                store8(r0 + j, ar);
                store8(i0 + j, ai);
                store8(r1 + j, br);
                store8(i1 + j, bi);
            }
        }
    }

    // Twiddles of the last three stages, laid out for the regrouped lanes.
    const float* c4 = cosv + offset[s];
    const float* s4 = sinv + offset[s];
    const float* c2 = cosv + offset[s + 1];
    const float* s2 = sinv + offset[s + 1];
    const float* c1 = cosv + offset[s + 2];
    const float* s1 = sinv + offset[s + 2];
    const V8 cs4{c4[0], c4[1], c4[2], c4[3], c4[0], c4[1], c4[2], c4[3]};
    const V8 sn4{s4[0], s4[1], s4[2], s4[3], s4[0], s4[1], s4[2], s4[3]};
    const V8 cs2{c2[0], c2[1], c2[0], c2[1], c2[0], c2[1], c2[0], c2[1]};
    const V8 sn2{s2[0], s2[1], s2[0], s2[1], s2[0], s2[1], s2[0], s2[1]};
    const V8 cs1{c1[0], c1[0], c1[0], c1[0], c1[0], c1[0], c1[0], c1[0]};
    const V8 sn1{s1[0], s1[0], s1[0], s1[0], s1[0], s1[0], s1[0], s1[0]};

    // Lane maps over the 16 points A0..A7 (first vector) and B0..B7 (second
    // vector), indices 0..15 of the two shuffled together.
    const I8 lo4{0, 1, 2, 3, 8, 9, 10, 11};     // A0-3 B0-3
    const I8 hi4{4, 5, 6, 7, 12, 13, 14, 15};   // A4-7 B4-7
    const I8 lo2{0, 1, 4, 5, 8, 9, 12, 13};     // from (X, Y): pairs two apart
    const I8 hi2{2, 3, 6, 7, 10, 11, 14, 15};
    const I8 lo1{0, 2, 4, 6, 8, 10, 12, 14};    // neighbours
    const I8 hi1{1, 3, 5, 7, 9, 11, 13, 15};
    // After the three regroupings lane k of (P, Q) holds these points; the
    // inverse maps bring A and B back.
    const I8 backA{0, 8, 4, 12, 2, 10, 6, 14};
    const I8 backB{1, 9, 5, 13, 3, 11, 7, 15};

    const bool scaled = scale != 1.0f;
    const V8 k = V8{} + scale;
    for (int b = 0; b < n; b += 16) {
        const V8 ar = load8(re + b), br = load8(re + b + 8);
        const V8 ai = load8(im + b), bi = load8(im + b + 8);
        // Span 4: X = A0-3 B0-3 against Y = A4-7 B4-7.
        V8 xr = shuffle2(ar, br, lo4), yr = shuffle2(ar, br, hi4);
        V8 xi = shuffle2(ai, bi, lo4), yi = shuffle2(ai, bi, hi4);
        butterfly8(xr, xi, yr, yi, cs4, sn4);
        // Span 2: within each group of four, points 0,1 against 2,3.
        V8 pr = shuffle2(xr, yr, lo2), qr = shuffle2(xr, yr, hi2);
        V8 pi = shuffle2(xi, yi, lo2), qi = shuffle2(xi, yi, hi2);
        butterfly8(pr, pi, qr, qi, cs2, sn2);
        // Span 1: neighbours.
        V8 ur = shuffle2(pr, qr, lo1), vr = shuffle2(pr, qr, hi1);
        V8 ui = shuffle2(pi, qi, lo1), vi = shuffle2(pi, qi, hi1);
        butterfly8(ur, ui, vr, vi, cs1, sn1);
        if (scaled) {
            ur = ur * k;
            ui = ui * k;
            vr = vr * k;
            vi = vi * k;
        }
        store8(re + b, shuffle2(ur, vr, backA));
        store8(re + b + 8, shuffle2(ur, vr, backB));
        store8(im + b, shuffle2(ui, vi, backA));
        store8(im + b + 8, shuffle2(ui, vi, backB));
    }

    if (stages >= 6) {
        bitReverseBlocks(n, stages - 6, re);
        bitReverseBlocks(n, stages - 6, im);
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

    if (n >= 16) {
        const float scale = direction == -1 ? 1.0f / static_cast<float>(n) : 1.0f;
        butterfliesVector(n, p.stages, p.stageOffset.data(), p.cosv.data(), sinv.data(), r, m, scale);
    } else {
        int span = n;
        for (int s = 0; s < p.stages; ++s) {
            span /= 2;
            const int off = p.stageOffset[static_cast<std::size_t>(s)];
            stageScalar(n, span, r, m, p.cosv.data() + off, sinv.data() + off);
        }
    }

    // Short transforms: the classic swap loop (longer ones were reordered in
    // blocks above).
    for (const auto& [a, b] : p.swaps) {
        std::swap(r[a], r[b]);
        std::swap(m[a], m[b]);
    }

    if (direction == -1 && n < 16) {
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
