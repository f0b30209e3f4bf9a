#include "tolv/spectra/dft.h"

#include <cmath>

namespace varenta {

namespace {

constexpr double kTwoPi = 6.283185307179586476925;
constexpr int kLargestRadix = 64;

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
    scratch_.resize(static_cast<std::size_t>(n_));
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
        mixed(x.data(), scratch_.data(), n_, 1, 0, inverse);
        x.swap(scratch_);
        return;
    }
    // X[k] = conj(w_k) ... : X[k] = w[k] * sum_j (x[j] w[j]) conj(w[k-j]).
    std::vector<Complex> a(static_cast<std::size_t>(m_), Complex{});
    for (int j = 0; j < n_; ++j) {
        const Complex w = inverse ? std::conj(chirpW_[static_cast<std::size_t>(j)]) : chirpW_[static_cast<std::size_t>(j)];
        a[static_cast<std::size_t>(j)] = x[static_cast<std::size_t>(j)] * w;
    }
    const Dft& inner = innerPlan_.front();
    inner.forward(a);
    for (int k = 0; k < m_; ++k) {
        const Complex b = inverse ? std::conj(chirpB_[static_cast<std::size_t>((m_ - k) % m_)])
                                  : chirpB_[static_cast<std::size_t>(k)];
        a[static_cast<std::size_t>(k)] *= b;
    }
    inner.inverse(a);
    for (int k = 0; k < n_; ++k) {
        const Complex w = inverse ? std::conj(chirpW_[static_cast<std::size_t>(k)]) : chirpW_[static_cast<std::size_t>(k)];
        x[static_cast<std::size_t>(k)] = a[static_cast<std::size_t>(k)] * w;
    }
}

// out[0..n) = DFT of in[0], in[stride], ... (n points), decimation in time
// over the factor list from `level` on.
void Dft::mixed(const Complex* in, Complex* out, int n, int stride, std::size_t level, bool inverse) const
{
    if (n == 1) {
        out[0] = in[0];
        return;
    }
    const int p = factors_[level];
    const int m = n / p;
    // Sub-transforms of the p decimated sequences into out[q*m ..].
    for (int q = 0; q < p; ++q)
        mixed(in + q * stride, out + q * m, m, stride * p, level + 1, inverse);
    // Butterflies: X[k + r m] = sum_q W_n^{q (k + r m)} S_q[k].
    const int step = n_ / n;  // W_n^e = twiddle_[e * step]
    Complex buf[kLargestRadix];
    for (int k = 0; k < m; ++k) {
        for (int q = 0; q < p; ++q) {
            const Complex t = twiddle_[static_cast<std::size_t>((static_cast<long long>(q) * k % n) * step)];
            buf[q] = out[q * m + k] * (inverse ? std::conj(t) : t);
        }
        if (p == 2) {
            out[k] = buf[0] + buf[1];
            out[k + m] = buf[0] - buf[1];
        } else if (p == 4) {
            const Complex a = buf[0] + buf[2], b = buf[0] - buf[2];
            const Complex c = buf[1] + buf[3];
            Complex d = buf[1] - buf[3];
            d = inverse ? Complex(-d.imag(), d.real()) : Complex(d.imag(), -d.real());  // -i d (forward)
            out[k] = a + c;
            out[k + m] = b + d;
            out[k + 2 * m] = a - c;
            out[k + 3 * m] = b - d;
        } else {
            for (int r = 0; r < p; ++r) {
                Complex s{};
                for (int q = 0; q < p; ++q) {
                    const Complex t = twiddle_[static_cast<std::size_t>((static_cast<long long>(q) * r % p) * (n_ / p))];
                    s += buf[q] * (inverse ? std::conj(t) : t);
                }
                out[k + r * m] = s;
            }
        }
    }
}

}  // namespace varenta
