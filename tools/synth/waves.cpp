#include "tools/synth/waves.h"

#include <algorithm>
#include <cmath>

namespace varenta::synth {

double solveWaveNumber(double omega, double depth, double gravity)
{
    if (!(omega > 0.0) || !(depth > 0.0) || !(gravity > 0.0))
        return 0.0;
    // Solve y tanh(y) = x for y = k h, x = omega^2 h / g.
    const double x = omega * omega * depth / gravity;
    double y = x / std::sqrt(std::tanh(x));  // Eckart's approximation as the start
    if (!(y > 0.0) || !std::isfinite(y))
        y = std::max(x, std::sqrt(x));
    for (int it = 0; it < 60; ++it) {
        const double t = std::tanh(y);
        const double f = y * t - x;
        const double df = t + y * (1.0 - t * t);
        const double step = f / df;
        y -= step;
        if (y <= 0.0)
            y = 1e-12;
        if (std::fabs(step) <= 1e-15 * y)
            break;
    }
    return y / depth;
}

double pressureTransfer(double k, double depth, double z)
{
    if (!(k > 0.0) || !(depth > 0.0))
        return 1.0;
    z = std::clamp(z, 0.0, depth);
    // cosh(kz)/cosh(kh) written without overflow for large k h.
    return std::exp(k * (z - depth)) * (1.0 + std::exp(-2.0 * k * z)) / (1.0 + std::exp(-2.0 * k * depth));
}

double velocityTransfer(double omega, double k, double depth, double z)
{
    if (!(k > 0.0) || !(depth > 0.0))
        return 0.0;
    z = std::clamp(z, 0.0, depth);
    const double kh = k * depth;
    const double denom = kh < 1e-6 ? 2.0 * kh : -std::expm1(-2.0 * kh);
    return omega * std::exp(k * (z - depth)) * (1.0 + std::exp(-2.0 * k * z)) / denom;
}

double jonswapShape(double f, double tp, double gamma, double gravity)
{
    if (!(f > 0.0) || !(tp > 0.0))
        return 0.0;
    const double fp = 1.0 / tp;
    const double sigma = f <= fp ? 0.07 : 0.09;
    const double r = std::exp(-(f - fp) * (f - fp) / (2.0 * sigma * sigma * fp * fp));
    const double q = fp / f;
    const double base = gravity * gravity / std::pow(kTwoPi, 4) / std::pow(f, 5) * std::exp(-1.25 * q * q * q * q);
    return base * std::pow(std::max(gamma, 1e-6), r);
}

double cos2sDensity(double offset, double s)
{
    if (!(s > 0.0))
        return 0.0;
    offset = std::remainder(offset, kTwoPi);
    const double norm = std::exp(std::lgamma(s + 1.0) - std::lgamma(s + 0.5)) / (2.0 * std::sqrt(kPi));
    return norm * std::pow(std::fabs(std::cos(offset / 2.0)), 2.0 * s);
}

namespace {

// Inverse-CDF table of the cos-2s distribution over (-pi, pi], cached for
// the last exponent used.
class SpreadingTable {
public:
    double sample(double s, double u)
    {
        if (s != s_ || cdf_.empty())
            build(s);
        const auto it = std::upper_bound(cdf_.begin(), cdf_.end(), u);
        const std::size_t i = static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(it - cdf_.begin(), 1, static_cast<std::ptrdiff_t>(cdf_.size()) - 1));
        const double c0 = cdf_[i - 1], c1 = cdf_[i];
        const double frac = c1 > c0 ? (u - c0) / (c1 - c0) : 0.5;
        return -kPi + (static_cast<double>(i - 1) + frac) * step_;
    }

private:
    void build(double s)
    {
        s_ = s;
        constexpr int n = 4096;
        step_ = kTwoPi / n;
        cdf_.assign(n + 1, 0.0);
        double acc = 0.0;
        double prev = std::pow(std::fabs(std::cos(-kPi / 2.0)), 2.0 * s);
        for (int i = 1; i <= n; ++i) {
            const double th = -kPi + i * step_;
            const double cur = std::pow(std::fabs(std::cos(th / 2.0)), 2.0 * s);
            acc += 0.5 * (prev + cur) * step_;
            cdf_[static_cast<std::size_t>(i)] = acc;
            prev = cur;
        }
        for (double& c : cdf_)
            c /= acc;
    }
    double s_ = -1.0;
    double step_ = 0.0;
    std::vector<double> cdf_;
};

double integrateShape(double f1, double f2, double tp, double gamma, double g)
{
    constexpr int n = 4000;  // Simpson over the band
    const double h = (f2 - f1) / n;
    double sum = jonswapShape(f1, tp, gamma, g) + jonswapShape(f2, tp, gamma, g);
    for (int i = 1; i < n; ++i)
        sum += (i % 2 ? 4.0 : 2.0) * jonswapShape(f1 + i * h, tp, gamma, g);
    return sum * h / 3.0;
}

}  // namespace

std::vector<WaveComponent> makeComponents(const SeaState& sea, const SynthesisSettings& st, double depth,
                                          double nyquist, Random& rng)
{
    std::vector<WaveComponent> out;
    if (!(sea.hm0 > 0.0) || !(sea.tp > 0.0) || st.components <= 0 || !(depth > 0.0))
        return out;
    const double fp = 1.0 / sea.tp;
    const double f1 = std::max(st.lowCut, 0.0) * fp;
    const double f2 = std::min(st.highCut * fp, nyquist);
    if (!(f2 > f1))
        return out;
    const int m = st.components;
    const double df = (f2 - f1) / m;
    const double m0 = sea.hm0 * sea.hm0 / 16.0;
    thread_local SpreadingTable spreading;

    out.resize(static_cast<std::size_t>(m));
    double shapeSum = 0.0;
    for (int i = 0; i < m; ++i) {
        WaveComponent& c = out[static_cast<std::size_t>(i)];
        c.frequency = f1 + (i + rng.uniform()) * df;
        c.amplitude = jonswapShape(c.frequency, sea.tp, sea.gamma, sea.gravity) * df;  // variance share for now
        shapeSum += c.amplitude;
    }
    const double scale = st.randomAmplitudes ? m0 / integrateShape(f1, f2, sea.tp, sea.gamma, sea.gravity)
                                             : (shapeSum > 0.0 ? m0 / shapeSum : 0.0);
    // Directions from stratified quantiles of the spreading in random order:
    // every component keeps an independent direction, while the set as a
    // whole follows the distribution closely even with few components.
    std::vector<double> quantiles(static_cast<std::size_t>(m));
    for (int i = 0; i < m; ++i)
        quantiles[static_cast<std::size_t>(i)] = (i + rng.uniform()) / m;
    for (int i = m - 1; i > 0; --i)
        std::swap(quantiles[static_cast<std::size_t>(i)], quantiles[static_cast<std::size_t>(rng.below(static_cast<std::uint64_t>(i) + 1))]);
    std::size_t index = 0;
    for (WaveComponent& c : out) {
        double variance = c.amplitude * scale;
        if (st.randomAmplitudes)
            variance *= -std::log(rng.uniformOpenZero());  // exponential: Rayleigh amplitude
        c.amplitude = std::sqrt(2.0 * variance);
        c.phase = rng.uniform() * kTwoPi;
        const double offset = sea.spreadingS > 0.0 ? spreading.sample(sea.spreadingS, quantiles[index]) : 0.0;
        ++index;
        c.direction = std::fmod(sea.meanDirection + offset * 180.0 / kPi + 720.0, 360.0);
        c.omega = kTwoPi * c.frequency;
        c.k = solveWaveNumber(c.omega, depth, sea.gravity);
        const double toward = (c.direction + 180.0) * kPi / 180.0;
        c.kx = c.k * std::sin(toward);
        c.ky = c.k * std::cos(toward);
        c.pressureGain = pressureTransfer(c.k, depth, sea.gaugeHeight);
        c.velocityGain = velocityTransfer(c.omega, c.k, depth, sea.currentMeterHeight);
    }
    return out;
}

double spectralMoment(const std::vector<WaveComponent>& comps, int n)
{
    double m = 0.0;
    for (const WaveComponent& c : comps)
        m += 0.5 * c.amplitude * c.amplitude * std::pow(c.frequency, n);
    return m;
}

namespace {

// Adds gain * cos(phase - omega t_i) to out[i] for every sample, by a phasor
// rotation re-anchored every block so that rounding cannot build up.
template <typename Sink>
void rotate(double phase, double omega, int n, double dt, double t0, Sink&& sink)
{
    constexpr int block = 1024;
    const double cr = std::cos(omega * dt), sr = std::sin(omega * dt);
    for (int start = 0; start < n; start += block) {
        const double p = phase - omega * (t0 + start * dt);
        double c = std::cos(p), s = std::sin(p);
        const int end = std::min(n, start + block);
        for (int i = start; i < end; ++i) {
            sink(i, c);
            const double nc = c * cr + s * sr;
            s = s * cr - c * sr;
            c = nc;
        }
    }
}

}  // namespace

WaveField sampleWaveField(const std::vector<WaveComponent>& comps, int n, double dt, double t0)
{
    WaveField w;
    const std::size_t un = static_cast<std::size_t>(std::max(n, 0));
    w.eta.assign(un, 0.0);
    w.pressure.assign(un, 0.0);
    w.east.assign(un, 0.0);
    w.north.assign(un, 0.0);
    double* eta = w.eta.data();
    double* pr = w.pressure.data();
    double* ea = w.east.data();
    double* no = w.north.data();
    for (const WaveComponent& c : comps) {
        const double a = c.amplitude;
        const double ap = a * c.pressureGain;
        const double ue = c.k > 0.0 ? a * c.velocityGain * c.kx / c.k : 0.0;
        const double un2 = c.k > 0.0 ? a * c.velocityGain * c.ky / c.k : 0.0;
        rotate(c.phase, c.omega, n, dt, t0, [&](int i, double cs) {
            eta[i] += a * cs;
            pr[i] += ap * cs;
            ea[i] += ue * cs;
            no[i] += un2 * cs;
        });
    }
    return w;
}

std::vector<double> samplePressureAt(const std::vector<WaveComponent>& comps, int n, double dt, double east,
                                     double north, double t0)
{
    std::vector<double> out(static_cast<std::size_t>(std::max(n, 0)), 0.0);
    double* p = out.data();
    for (const WaveComponent& c : comps) {
        const double ap = c.amplitude * c.pressureGain;
        rotate(c.phase + c.kx * east + c.ky * north, c.omega, n, dt, t0, [&](int i, double cs) { p[i] += ap * cs; });
    }
    return out;
}

}  // namespace varenta::synth
