#pragma once
// A small linear-wave sea for the spectral tests: a Bretschneider spectrum
// laid on the frequencies of the record, random phases, and the surface
// elevation, pressure head and horizontal velocity at a gauge above the
// bed.  Centimetres and centimetres per second, as conditioned records.
#include "tolv/spectra/fft.h"

#include <cmath>
#include <random>
#include <vector>

namespace varenta::testsea {

struct Sea {
    double hs = 1.0;      // significant height (m)
    double tp = 8.0;      // peak period (s)
    double depth = 10.0;  // water depth (m)
    double z = 0.5;       // gauge height above the bed (m)
    double fmax = 0.45;   // highest component (Hz)
    unsigned seed = 1;
};

struct Record {
    std::vector<float> eta;       // surface elevation (cm)
    std::vector<float> pressure;  // pressure head fluctuation (cm)
    std::vector<float> velocity;  // horizontal velocity (cm/s)
    double m0 = 0.0;              // variance of the elevation components (m^2)
    std::vector<double> freq, amp;
};

inline double bretschneider(double f, double hs, double tp)
{
    const double fp = 1.0 / tp;
    return 5.0 / 16.0 * hs * hs * std::pow(fp, 4) * std::pow(f, -5) * std::exp(-1.25 * std::pow(fp / f, 4));
}

inline double exactK(double f, double h)
{
    const double g = 9.8, w = 2 * M_PI * f;
    double k = w * w / g / std::sqrt(std::tanh(w * w * h / g));
    for (int i = 0; i < 60; ++i) {
        const double th = std::tanh(k * h);
        k -= (g * k * th - w * w) / (g * th + g * k * h * (1 - th * th));
    }
    return k;
}

inline Record makeSea(const Sea& s, int n, double dt)
{
    Record r;
    r.eta.assign(static_cast<std::size_t>(n), 0.0f);
    r.pressure.assign(static_cast<std::size_t>(n), 0.0f);
    r.velocity.assign(static_cast<std::size_t>(n), 0.0f);
    std::mt19937 gen(s.seed);
    std::uniform_real_distribution<double> phase(0.0, 2 * M_PI);
    const double df = 1.0 / (n * dt);
    std::vector<double> e(static_cast<std::size_t>(n), 0.0), p(e), u(e);
    for (int i = 1; i < n / 2; ++i) {
        const double f = i * df;
        if (f > s.fmax)
            break;
        const double a = std::sqrt(2.0 * bretschneider(f, s.hs, s.tp) * df);
        const double k = exactK(f, s.depth);
        const double w = 2 * M_PI * f;
        const double pa = a * std::cosh(k * s.z) / std::cosh(k * s.depth);
        const double ua = a * w * std::cosh(k * s.z) / std::sinh(k * s.depth);
        const double ph = phase(gen);
        r.m0 += a * a / 2;
        r.freq.push_back(f);
        r.amp.push_back(a);
        for (int t = 0; t < n; ++t) {
            const double c = std::cos(w * t * dt + ph);
            e[static_cast<std::size_t>(t)] += a * c;
            p[static_cast<std::size_t>(t)] += pa * c;
            u[static_cast<std::size_t>(t)] += ua * c;
        }
    }
    for (int t = 0; t < n; ++t) {
        r.eta[static_cast<std::size_t>(t)] = static_cast<float>(100 * e[static_cast<std::size_t>(t)]);
        r.pressure[static_cast<std::size_t>(t)] = static_cast<float>(100 * p[static_cast<std::size_t>(t)]);
        r.velocity[static_cast<std::size_t>(t)] = static_cast<float>(100 * u[static_cast<std::size_t>(t)]);
    }
    return r;
}

}  // namespace varenta::testsea
