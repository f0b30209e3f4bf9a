#include "tolv/spectra/dft.h"

#include <cmath>

namespace varenta {

namespace {

constexpr double kTwoPi = 6.283185307179586476925;
constexpr int kLargestRadix = 64;

using C = std::complex<double>;

// Plain complex product (the library's handles infinities on every call).
inline C mul(C a, C b) { return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()}; }

std::vector<int> factorise(int n, bool& small)
{
    std::vector<int> f;
    small = true;
    for (int p : {4, 2, 3, 5}) {
        while (n % p == 0) {
            f.push_back(p);
            n /= p;
        }
    }
    for (int p = 7; n > 1 && p * p <= n; p += 2) {
        while (n % p == 0) {
            f.push_back(p);
            n /= p;
        }
    }
    if (n > 1)
        f.push_back(n);
    for (int p : f)
        if (p > kLargestRadix)
            small = false;
    return f;
}

}  // namespace

Dft::Dft(int n) : n_(n < 1 ? 1 : n)
{
    bool small = true;
    factors_ = factorise(n_, small);
    twiddle_.resize(static_cast<std::size_t>(n_));
    for (int k = 0; k < n_; ++k)
        twiddle_[static_cast<std::size_t>(k)] = std::polar(1.0, -kTwoPi * k / n_);
    twiddleConj_.resize(twiddle_.size());
    for (std::size_t k = 0; k < twiddle_.size(); ++k)
        twiddleConj_[k] = std::conj(twiddle_[k]);
    scratch_.resize(static_cast<std::size_t>(n_));
    // Position t = q0 (n/p0) + q1 (n/(p0 p1)) + ... holds input index
    // q0 + p0 (q1 + p1 (q2 + ...)): the order of decimation in time.
    order_.resize(static_cast<std::size_t>(n_));
    for (int t = 0; t < n_; ++t) {
        int rem = t, size = n_, index = 0, mult = 1;
        for (int p : factors_) {
            size /= p;
            index += rem / size * mult;
            rem %= size;
            mult *= p;
        }
        order_[static_cast<std::size_t>(t)] = index;
    }
    if (small)
        return;
    chirp_ = true;
    m_ = 1;
    while (m_ < 2 * n_ - 1)
        m_ *= 2;
    innerPlan_.emplace_back(m_);
    chirpW_.resize(static_cast<std::size_t>(n_));
    for (long long k = 0; k < n_; ++k) {
        const long long k2 = (k * k) % (2LL * n_);  // exact angle for large k
        chirpW_[static_cast<std::size_t>(k)] = std::polar(1.0, -kTwoPi * 0.5 * static_cast<double>(k2) / n_);
    }
    chirpB_.assign(static_cast<std::size_t>(m_), Complex{});
    for (int k = 0; k < n_; ++k) {
        chirpB_[static_cast<std::size_t>(k)] = std::conj(chirpW_[static_cast<std::size_t>(k)]);
        if (k > 0)
            chirpB_[static_cast<std::size_t>(m_ - k)] = std::conj(chirpW_[static_cast<std::size_t>(k)]);
    }
    innerPlan_.front().forward(chirpB_);
}

void Dft::forward(std::vector<Complex>& x) const { transform(x, false); }

void Dft::inverse(std::vector<Complex>& x) const
{
    transform(x, true);
    const double s = 1.0 / n_;
    for (Complex& v : x)
        v *= s;
}

void Dft::transform(std::vector<Complex>& x, bool inverse) const
{
    x.resize(static_cast<std::size_t>(n_));
    if (n_ == 1)
        return;
    if (!chirp_) {
        stages(x, inverse);
        return;
    }
    // X[k] = w[k] sum_j (x[j] w[j]) conj(w[k - j]), w[j] = exp(-i pi j^2 / n).
    std::vector<Complex> a(static_cast<std::size_t>(m_), Complex{});
    for (int j = 0; j < n_; ++j) {
        const Complex w = inverse ? std::conj(chirpW_[static_cast<std::size_t>(j)]) : chirpW_[static_cast<std::size_t>(j)];
        a[static_cast<std::size_t>(j)] = mul(x[static_cast<std::size_t>(j)], w);
    }
    const Dft& inner = innerPlan_.front();
    inner.forward(a);
    for (int k = 0; k < m_; ++k) {
        const Complex b = inverse ? std::conj(chirpB_[static_cast<std::size_t>((m_ - k) % m_)])
                                  : chirpB_[static_cast<std::size_t>(k)];
        a[static_cast<std::size_t>(k)] = mul(a[static_cast<std::size_t>(k)], b);
    }
    inner.inverse(a);
    for (int k = 0; k < n_; ++k) {
        const Complex w = inverse ? std::conj(chirpW_[static_cast<std::size_t>(k)]) : chirpW_[static_cast<std::size_t>(k)];
        x[static_cast<std::size_t>(k)] = mul(a[static_cast<std::size_t>(k)], w);
    }
}

namespace {

// i * sign * z
inline C turn(C z, double sign) { return {-sign * z.imag(), sign * z.real()}; }

// The butterflies of one stage with radix P over blocks of len = P m
// points; tw holds the roots of the direction, step = n / len.
template <int P>
void radixStage(C* y, int n, int m, int step, const C* tw, double sign)
{
    const int len = P * m;
    constexpr double kS3 = 0.86602540378443864676;
    const double c1 = 0.30901699437494742410, c2 = -0.80901699437494742410;
    const double s1 = 0.95105651629515357212, s2 = 0.58778525229247312917;
    for (int block = 0; block < n; block += len) {
        C* v = y + block;
        for (int k = 0; k < m; ++k) {
            C b[P];
            b[0] = v[k];
            for (int q = 1; q < P; ++q)
                b[q] = mul(v[q * m + k], tw[q * k * step]);
            if constexpr (P == 2) {
                v[k] = b[0] + b[1];
                v[k + m] = b[0] - b[1];
            } else if constexpr (P == 3) {
                const C sum = b[1] + b[2];
                const C mid = b[0] - 0.5 * sum;
                const C rot = turn(b[1] - b[2], sign * kS3);
                v[k] = b[0] + sum;
                v[k + m] = mid + rot;
                v[k + 2 * m] = mid - rot;
            } else if constexpr (P == 4) {
                const C a0 = b[0] + b[2], a1 = b[0] - b[2];
                const C a2 = b[1] + b[3], a3 = turn(b[1] - b[3], sign);
                v[k] = a0 + a2;
                v[k + m] = a1 + a3;
                v[k + 2 * m] = a0 - a2;
                v[k + 3 * m] = a1 - a3;
            } else {
                static_assert(P == 5);
                const C t1 = b[1] + b[4], t2 = b[2] + b[3], t3 = b[1] - b[4], t4 = b[2] - b[3];
                const C a1 = b[0] + c1 * t1 + c2 * t2, a2 = b[0] + c2 * t1 + c1 * t2;
                const C r1 = turn(s1 * t3 + s2 * t4, sign), r2 = turn(s2 * t3 - s1 * t4, sign);
                v[k] = b[0] + t1 + t2;
                v[k + m] = a1 + r1;
                v[k + 4 * m] = a1 - r1;
                v[k + 2 * m] = a2 + r2;
                v[k + 3 * m] = a2 - r2;
            }
        }
    }
}

// Any other radix p: the p-point sums with the roots of unity.
void genericStage(C* y, int n, int p, int m, int step, const C* tw)
{
    const int len = p * m, unit = n / p;
    C b[kLargestRadix];
    for (int block = 0; block < n; block += len) {
        C* v = y + block;
        for (int k = 0; k < m; ++k) {
            b[0] = v[k];
            for (int q = 1; q < p; ++q)
                b[q] = mul(v[q * m + k], tw[q * k * step]);
            for (int r = 0; r < p; ++r) {
                C acc = b[0];
                int e = 0;
                for (int q = 1; q < p; ++q) {
                    e += r;
                    if (e >= p)
                        e -= p;
                    acc += mul(b[q], tw[e * unit]);
                }
                v[k + r * m] = acc;
            }
        }
    }
}

}  // namespace

// Decimation in time, bottom up: the input in digit-reversed order, then
// for each factor from the last to the first the butterflies
// X[k + r m] = sum_q W_len^(q (k + r m)) S_q[k] over blocks of len points.
void Dft::stages(std::vector<Complex>& x, bool inverse) const
{
    Complex* y = scratch_.data();
    for (int t = 0; t < n_; ++t)
        y[t] = x[static_cast<std::size_t>(order_[static_cast<std::size_t>(t)])];
    const double sign = inverse ? 1.0 : -1.0;
    const Complex* tw = inverse ? twiddleConj_.data() : twiddle_.data();
    int len = 1;
    for (std::size_t l = factors_.size(); l-- > 0;) {
        const int p = factors_[l];
        const int m = len;
        len *= p;
        const int step = n_ / len;
        switch (p) {
        case 2: radixStage<2>(y, n_, m, step, tw, sign); break;
        case 3: radixStage<3>(y, n_, m, step, tw, sign); break;
        case 4: radixStage<4>(y, n_, m, step, tw, sign); break;
        case 5: radixStage<5>(y, n_, m, step, tw, sign); break;
        default: genericStage(y, n_, p, m, step, tw); break;
        }
    }
    x.swap(scratch_);
}

}  // namespace varenta
