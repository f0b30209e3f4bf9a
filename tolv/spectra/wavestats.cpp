#include "tolv/spectra/wavestats.h"

#include "tolv/spectra/dft.h"
#include "tolv/spectra/fft.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

namespace varenta {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kGravity = 9.8;
constexpr double kDeg = 180.0 / kPi;
constexpr std::int16_t kMissingCount = -32768;

// Channel kinds read here.
namespace kind {
constexpr int pressure = 1, currentX = 2, currentY = 3, level = 4, compass = 5, waterTemp = 6, windX = 7,
              windY = 8, tiltX = 9, tiltY = 10, airPressure = 11, pressureH = 12, airTemp = 14, humidity = 15,
              windSpeed = 16, windDir = 17, turbidity = 18, salinity = 19, conductivity = 20, chlorophyll = 21,
              oxygen = 22, solar = 24, rain = 25, soundSpeed = 41, echo = 42;
}  // namespace kind

double wrap360(double a)
{
    a = std::fmod(a, 360.0);
    if (a < 0.0)
        a += 360.0;
    return a >= 360.0 ? 0.0 : a;
}

// Nautical direction (clockwise from north) of the vector (east, north).
double bearingOf(double east, double north) { return wrap360(std::atan2(east, north) * kDeg); }

// One plan per length, kept for the run (the processing run meets one or
// two lengths).
const Dft& planFor(int n)
{
    thread_local std::vector<std::unique_ptr<Dft>> plans;
    for (const auto& p : plans)
        if (p->size() == n)
            return *p;
    if (plans.size() > 8)
        plans.erase(plans.begin());
    plans.push_back(std::make_unique<Dft>(n));
    return *plans.back();
}

std::vector<Complex> transformOf(std::span<const double> x)
{
    std::vector<Complex> c(x.begin(), x.end());
    planFor(static_cast<int>(c.size())).forward(c);
    return c;
}

std::vector<double> realInverse(std::vector<Complex> c)
{
    planFor(static_cast<int>(c.size())).inverse(c);
    std::vector<double> x(c.size());
    for (std::size_t i = 0; i < c.size(); ++i)
        x[i] = c[i].real();
    return x;
}

void smooth(std::vector<double>& d, int passes)
{
    const std::size_t h = d.size();
    if (h < 3)
        return;
    std::vector<double> t(h);
    for (int p = 0; p < passes; ++p) {
        t[0] = (d[0] + d[1]) * 0.5;
        t[h - 1] = (d[h - 2] + d[h - 1]) * 0.5;
        for (std::size_t b = 1; b + 1 < h; ++b)
            t[b] = (d[b - 1] + d[b + 1]) * 0.25 + d[b] * 0.5;
        d.swap(t);
    }
}

// Exact wave number of period t in depth h (Newton on omega^2 = g k tanh kh).
double waveNumberExact(double t, double h)
{
    if (!(t > 0.0) || !(h > 0.0))
        return 0.0;
    const double w = 2.0 * kPi / t;
    double k = std::max(w * w / kGravity, w / std::sqrt(kGravity * h));
    for (int i = 0; i < 50; ++i) {
        const double th = std::tanh(k * h);
        const double f = kGravity * k * th - w * w;
        const double df = kGravity * (th + k * h * (1.0 - th * th));
        const double dk = f / df;
        k -= dk;
        if (std::fabs(dk) < 1e-12 * k)
            break;
    }
    return k;
}

double meanOf(std::span<const double> x)
{
    return x.empty() ? 0.0 : std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(x.size());
}

}  // namespace

bool loggerOnlyCode(int code)
{
    return code == 72 || code == 73 || code == 114 || code == 127 || (code >= 300 && code <= 335) ||
           (code >= 200 && code <= 255) || (code >= 384 && code <= 511);
}

// ---------------------------------------------------------------------------
// Zero-up-crossing

CrossingStats zeroUpCrossing(std::span<const double> xIn, double dt)
{
    CrossingStats st;
    const std::size_t n = xIn.size();
    if (n < 3 || !(dt > 0.0))
        return st;
    const double m = meanOf(xIn);
    std::vector<double> x(n);
    double scale = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = xIn[i] - m;
        scale = std::max(scale, std::fabs(x[i]));
    }
    // A sample on the mean but for the rounding of the mean is on it.
    const double tiny = scale * 1e-12;
    for (double& v : x)
        if (std::fabs(v) <= tiny)
            v = 0.0;
    double lastTime = -1.0;
    std::size_t lastIndex = 0;  // first sample after the last crossing
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (!(x[i] < 0.0 && x[i + 1] >= 0.0))
            continue;
        const double t = (static_cast<double>(i) + x[i] / (x[i] - x[i + 1])) * dt;
        if (lastTime >= 0.0) {
            const auto [lo, hi] = std::minmax_element(x.begin() + static_cast<std::ptrdiff_t>(lastIndex),
                                                      x.begin() + static_cast<std::ptrdiff_t>(i + 1));
            st.list.push_back({*hi - *lo, t - lastTime, *hi, -*lo});
        }
        lastTime = t;
        lastIndex = i + 1;
    }
    st.waves = static_cast<int>(st.list.size());
    if (st.waves == 0)
        return st;
    std::vector<std::size_t> order(st.list.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return st.list[a].height > st.list[b].height; });
    const CrossingWave& top = st.list[order.front()];
    st.hmax = top.height;
    st.tmax = top.period;
    st.crest = top.crest;
    st.trough = top.trough;
    const auto topMean = [&](std::size_t count, double& h, double& t) {
        if (count == 0)
            return;
        double sh = 0.0, stt = 0.0;
        for (std::size_t k = 0; k < count; ++k) {
            sh += st.list[order[k]].height;
            stt += st.list[order[k]].period;
        }
        h = sh / static_cast<double>(count);
        t = stt / static_cast<double>(count);
    };
    topMean(order.size() / 10, st.h10, st.t10);
    topMean(order.size() / 3, st.h3, st.t3);
    topMean(order.size(), st.hmean, st.tmean);
    int runs = 0, total = 0;
    bool inRun = false;
    for (const CrossingWave& w : st.list) {
        if (st.h3 > 0.0 && w.height > st.h3) {
            ++total;
            if (!inRun)
                ++runs;
            inRun = true;
        } else {
            inRun = false;
        }
    }
    st.meanRun = runs > 0 ? static_cast<double>(total) / runs : 0.0;
    return st;
}

// ---------------------------------------------------------------------------
// Spectra

double binDensity(const Surface& s, int b)
{
    const std::size_t n = s.spectrum.size();
    if (b < 1 || static_cast<std::size_t>(b) > n / 2 || !(s.df > 0.0))
        return 0.0;
    const double a = std::norm(s.spectrum[static_cast<std::size_t>(b)]) / (static_cast<double>(n) * n);
    // Both halves but for the Nyquist bin of an even length.
    const bool nyquist = n % 2 == 0 && static_cast<std::size_t>(b) == n / 2;
    return (nyquist ? a : 2.0 * a) / s.df;
}

SpectralStats spectralStatistics(const Surface& s, int passes)
{
    SpectralStats st;
    if (!s.valid || s.lastBin < 1)
        return st;
    std::vector<double> dens(static_cast<std::size_t>(s.lastBin));
    double m0 = 0.0, m1 = 0.0, m2 = 0.0, m4 = 0.0;
    for (int b = 1; b <= s.lastBin; ++b) {
        const double f = b * s.df;
        const double e = binDensity(s, b);
        dens[static_cast<std::size_t>(b - 1)] = e;
        const double ed = e * s.df;
        m0 += ed;
        m1 += ed * f;
        m2 += ed * f * f;
        m4 += ed * f * f * f * f;
    }
    st.m0 = m0, st.m1 = m1, st.m2 = m2, st.m4 = m4;
    st.hm0 = 4.0 * std::sqrt(m0);
    if (m1 > 0.0)
        st.tm01 = m0 / m1;
    if (m2 > 0.0)
        st.tm02 = std::sqrt(m0 / m2);
    if (m0 > 0.0 && m4 > 0.0)
        st.epsilon = std::sqrt(std::max(0.0, 1.0 - m2 * m2 / (m0 * m4)));
    if (m0 > 0.0) {
        double q = 0.0;
        for (int b = 1; b <= s.lastBin; ++b) {
            const double e = dens[static_cast<std::size_t>(b - 1)];
            q += b * s.df * e * e * s.df;
        }
        st.qp = 2.0 * q / (m0 * m0);
    }
    smooth(dens, passes);
    const auto top = std::max_element(dens.begin(), dens.end());
    if (top != dens.end() && *top > 0.0) {
        st.fp = static_cast<double>(top - dens.begin() + 1) * s.df;
        st.tp = 1.0 / st.fp;
        st.peakDensity = *top;
    }
    return st;
}

Surface surfaceFromElevation(std::span<const double> eta, double dt, double depth)
{
    Surface s;
    const std::size_t n = eta.size();
    if (n < 8 || !(dt > 0.0))
        return s;
    const double m = meanOf(eta);
    s.eta.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        s.eta[i] = eta[i] - m;
    s.spectrum = transformOf(s.eta);
    s.spectrum[0] = 0.0;
    s.dt = dt;
    s.df = 1.0 / (static_cast<double>(n) * dt);
    s.lastBin = static_cast<int>(n / 2);
    s.depth = depth;
    s.valid = true;
    return s;
}

Surface surfaceFromPressure(std::span<const double> headCm, double meanCm, double dt, const PressureTransfer& t)
{
    Surface s;
    const std::size_t n = headCm.size();
    const double z = std::max(t.gaugeHeight, 0.0001);
    const double rho = t.density > 0.0 ? t.density : 1.0;
    const double h = std::max(meanCm * 0.01 / rho + z, z);
    if (n < 8 || !(dt > 0.0) || !(h > 0.0))
        return s;
    std::vector<double> p(n);
    const double m = meanOf(headCm);
    for (std::size_t i = 0; i < n; ++i)
        p[i] = (headCm[i] - m) * 0.01;
    std::vector<Complex> c = transformOf(p);
    c[0] = 0.0;
    const double df = 1.0 / (static_cast<double>(n) * dt);
    const double limit = t.factorLimit > 0.0 ? t.factorLimit : 12.0;
    double k = 0.0;
    int lastBin = static_cast<int>(n / 2);
    bool capped = false;
    for (std::size_t b = 1; b <= n / 2; ++b) {
        const double f = static_cast<double>(b) * df;
        if (!capped) {
            const double kw = WaveNumber(static_cast<float>(1.0 / f), static_cast<float>(h));
            k = std::cosh(std::min(kw * h, 700.0)) / std::cosh(std::min(kw * z, 700.0)) / rho;
            if (k >= limit) {
                k = limit;
                capped = true;
                lastBin = static_cast<int>(b);
            }
        }
        c[b] *= k;
        if (n - b != b)
            c[n - b] *= k;
    }
    s.spectrum = c;
    s.eta = realInverse(std::move(c));
    s.dt = dt;
    s.df = df;
    s.lastBin = lastBin;
    s.depth = h;
    s.valid = true;
    return s;
}

std::vector<double> bandPassed(const Surface& s, double ts, double tl)
{
    if (!s.valid)
        return {};
    std::vector<Complex> c = s.spectrum;
    const std::size_t n = c.size();
    c[0] = 0.0;
    for (std::size_t b = 1; b <= n / 2; ++b) {
        const double period = 1.0 / (static_cast<double>(b) * s.df);
        if (period < ts || period > tl) {
            c[b] = 0.0;
            c[n - b] = 0.0;
        }
    }
    return realInverse(std::move(c));
}

double groupinessFactor(const Surface& s)
{
    if (!s.valid)
        return 0.0;
    std::vector<Complex> c = s.spectrum;
    const std::size_t n = c.size();
    c[0] = 0.0;
    for (std::size_t b = 1; b < n; ++b) {
        if (b < (n + 1) / 2)
            c[b] *= 2.0;
        else if (!(n % 2 == 0 && b == n / 2))
            c[b] = 0.0;
    }
    planFor(static_cast<int>(n)).inverse(c);
    double sum = 0.0, sum2 = 0.0;
    for (const Complex& v : c) {
        const double a = std::abs(v);
        sum += a;
        sum2 += a * a;
    }
    const double mean = sum / static_cast<double>(n);
    const double var = std::max(0.0, sum2 / static_cast<double>(n) - mean * mean);
    return mean > 0.0 ? std::sqrt(var) / mean : 0.0;
}

// ---------------------------------------------------------------------------
// Directions

DirectionStats waveDirections(const Surface& s, std::span<const double> east, std::span<const double> north, double fp,
                              const DirectionInput& in)
{
    DirectionStats d;
    const std::size_t n = s.spectrum.size();
    if (!s.valid || east.size() != n || north.size() != n || s.lastBin < 1)
        return d;
    std::vector<double> e(east.begin(), east.end()), nn(north.begin(), north.end());
    const double me = meanOf(e), mn = meanOf(nn);
    for (std::size_t i = 0; i < n; ++i)
        e[i] -= me, nn[i] -= mn;
    const std::vector<Complex> U = transformOf(e), V = transformOf(nn);
    const std::size_t last = static_cast<std::size_t>(s.lastBin);
    std::vector<double> see(last), suu(last), cu(last), cv(last);
    for (std::size_t b = 1; b <= last; ++b) {
        const Complex y = s.spectrum[b];
        see[b - 1] = std::norm(y);
        suu[b - 1] = std::norm(U[b]) + std::norm(V[b]);
        cu[b - 1] = (y * std::conj(U[b])).real();
        cv[b - 1] = (y * std::conj(V[b])).real();
    }
    std::vector<double> sSee = see, sSuu = suu, sCu = cu, sCv = cv;
    smooth(sSee, in.smoothingPasses);
    smooth(sSuu, in.smoothingPasses);
    smooth(sCu, in.smoothingPasses);
    smooth(sCv, in.smoothingPasses);
    // Sums over a band: sum of the co-spectra scaled to elevation units
    // and the elevation energy.
    struct Sum {
        double a = 0.0, b = 0.0, e = 0.0;
    };
    const auto band = [&](double f0, double f1) {
        Sum sum;
        for (std::size_t b = 1; b <= last; ++b) {
            const double f = static_cast<double>(b) * s.df;
            if (f < f0 || f > f1 || !(sSuu[b - 1] > 0.0))
                continue;
            const double r = std::sqrt(sSee[b - 1] / sSuu[b - 1]);
            sum.a += cv[b - 1] * r;  // north
            sum.b += cu[b - 1] * r;  // east
            sum.e += see[b - 1];
        }
        return sum;
    };
    // Waves travel toward (east, north); they come from the opposite bearing.
    const auto from = [](const Sum& sm) { return wrap360(bearingOf(sm.b, sm.a) + 180.0); };
    const Sum all = band(0.0, 1e9);
    if (!(all.e > 0.0) || (all.a == 0.0 && all.b == 0.0))
        return d;
    d.valid = true;
    d.mean = from(all);
    const double r = std::min(1.0, std::hypot(all.a, all.b) / all.e);
    d.spread = r > 0.0 ? std::sqrt(-2.0 * std::log(r)) * kDeg : 180.0;
    d.smax = r < 1.0 ? std::min(r / (1.0 - r), 999.0) : 999.0;
    const Sum sig = in.fs > 0.0 ? band(0.8 * in.fs, 1.2 * in.fs) : Sum{};
    d.significant = sig.e > 0.0 ? from(sig) : d.mean;
    const Sum pk = fp > 0.0 ? band(0.9 * fp, 1.1 * fp) : Sum{};
    d.peak = pk.e > 0.0 ? from(pk) : d.mean;
    // Energy of the bins whose own direction lies in the coast's range.
    double inside = 0.0;
    const bool whole = in.rangeTo - in.rangeFrom >= 360.0;
    const double lo = wrap360(in.rangeFrom), hi = wrap360(in.rangeTo);
    for (std::size_t b = 1; b <= last; ++b) {
        if (!(sSuu[b - 1] > 0.0))
            continue;
        const double dir = wrap360(bearingOf(sCu[b - 1], sCv[b - 1]) + 180.0);
        const bool in = whole || (lo <= hi ? (dir >= lo && dir <= hi) : (dir >= lo || dir <= hi));
        if (in)
            inside += see[b - 1];
    }
    d.inRangePercent = 100.0 * inside / all.e;
    const double m0 = all.e / (static_cast<double>(n) * n) * 2.0;
    d.inRangeHeight = 4.0 * std::sqrt(m0 * inside / all.e);
    return d;
}

CurrentAxes currentAxes(const StatsSettings& s, const MeasurementHeader& h)
{
    CurrentAxes a;
    if ((h.measureCondition & 0x20) && s.currentTransform) {
        a.signX = (h.measureCondition & 0x80) ? 1.0 : -1.0;
        a.signY = -1.0;
        double t = s.rotation;
        if (t >= 360.0)
            t = h.meanBearing;
        if (t >= 360.0 || t < 0.0)
            t = 0.0;
        a.angle = t;
    }
    a.angle -= s.declination;
    return a;
}

// ---------------------------------------------------------------------------
// The burst

namespace {

struct Source {
    const StatsChannel* ch = nullptr;
    std::vector<double> x;  // values about the burst mean + the mean
};

const StatsChannel* findKind(const BurstInput& in, std::initializer_list<int> kinds)
{
    for (int k : kinds)
        for (const StatsChannel& c : in.channels)
            if (c.kind == k && !c.values.empty())
                return &c;
    return nullptr;
}

// The channel's values with the burst mean: deviations from their own
// mean (a removed trend stays removed) plus the burst mean.
std::vector<double> withMean(const StatsChannel& c)
{
    std::vector<double> x(c.values.begin(), c.values.end());
    const double m = meanOf(x);
    for (double& v : x)
        v = v - m + c.mean;
    return x;
}

struct CountStats {
    double mean = 0, max = 0, min = 0, sd = 0, median = 0, slopePerMinute = 0;
    int missing = 0, valid = 0;
};

CountStats countStats(std::span<const std::int16_t> counts, double dt)
{
    CountStats s;
    std::vector<double> v;
    v.reserve(counts.size());
    double st = 0, stt = 0, sy = 0, sty = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] == kMissingCount) {
            ++s.missing;
            continue;
        }
        const double y = counts[i], t = static_cast<double>(i) * dt;
        v.push_back(y);
        st += t, stt += t * t, sy += y, sty += t * y;
    }
    s.valid = static_cast<int>(v.size());
    if (v.empty())
        return s;
    const double n = static_cast<double>(v.size());
    s.mean = sy / n;
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    s.min = *lo, s.max = *hi;
    double ss = 0;
    for (double y : v)
        ss += (y - s.mean) * (y - s.mean);
    s.sd = std::sqrt(ss / n);
    const double den = n * stt - st * st;
    if (den > 0.0)
        s.slopePerMinute = (n * sty - st * sy) / den * 60.0;
    const std::size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
    s.median = v[mid];
    if (v.size() % 2 == 0) {
        const double below = *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid));
        s.median = (s.median + below) * 0.5;
    }
    return s;
}

// Circular mean (degrees) of angles.
double circularMean(std::span<const double> a)
{
    double s = 0, c = 0;
    for (double v : a)
        s += std::sin(v / kDeg), c += std::cos(v / kDeg);
    return wrap360(std::atan2(s, c) * kDeg);
}

// Period bands (s) and height bands (m) of the band items.
constexpr double kPeriodBands[17] = {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 14, 16, 20, 25, 30, 1e30};
constexpr double kHeightBands[13] = {0, 0.5, 1, 1.5, 2, 2.5, 3, 4, 5, 6, 8, 10, 1e30};

struct WaveCodes {
    int crossing;      // Hmax .. wave count (9 codes)
    int hm0, tp, depth, longWave, longPeriod;
    int periodHeights, periodCounts, heightCounts;  // band groups
    int deepHeight, deepSteepness;
};

void waveItems(const Surface& s, const StatsSettings& set, const WaveCodes& codes, bool pressureGroup,
               std::map<int, double>& out, CrossingStats& zc, SpectralStats& sp)
{
    zc = zeroUpCrossing(s.eta, s.dt);
    sp = spectralStatistics(s, set.smoothingPasses);
    const double v[9] = {zc.hmax, zc.tmax, zc.h10, zc.t10, zc.h3, zc.t3, zc.hmean, zc.tmean,
                         static_cast<double>(zc.waves)};
    for (int i = 0; i < 9; ++i)
        out[codes.crossing + i] = v[i];
    out[codes.hm0] = sp.hm0;
    out[codes.tp] = sp.tp;
    out[codes.depth] = s.depth;
    const std::vector<double> lp = bandPassed(s, set.shortPeriod, set.longPeriod);
    const CrossingStats lz = zeroUpCrossing(lp, s.dt);
    out[codes.longWave] = lz.h3;
    if (codes.longPeriod > 0)
        out[codes.longPeriod] = lz.tmean;
    // Band heights from the spectrum, band counts from the crossing waves.
    double band[16] = {};
    for (int b = 1; b <= s.lastBin; ++b) {
        const double period = 1.0 / (b * s.df);
        for (int k = 0; k < 16; ++k)
            if (period >= kPeriodBands[k] && period < kPeriodBands[k + 1])
                band[k] += binDensity(s, b) * s.df;
    }
    int pc[16] = {}, hc[12] = {};
    for (const CrossingWave& w : zc.list) {
        for (int k = 0; k < 16; ++k)
            if (w.period >= kPeriodBands[k] && w.period < kPeriodBands[k + 1])
                ++pc[k];
        for (int k = 0; k < 12; ++k)
            if (w.height >= kHeightBands[k] && w.height < kHeightBands[k + 1])
                ++hc[k];
    }
    for (int k = 0; k < 16; ++k) {
        out[codes.periodHeights + k] = 4.0 * std::sqrt(band[k]);
        out[codes.periodCounts + k] = pc[k];
    }
    for (int k = 0; k < 12; ++k)
        out[codes.heightCounts + k] = hc[k];
    // The equivalent deep-water wave.
    const double k = waveNumberExact(zc.t3, s.depth);
    if (k > 0.0 && zc.t3 > 0.0) {
        const double kh = k * s.depth;
        const double n = 0.5 * (1.0 + (kh < 350.0 ? 2.0 * kh / std::sinh(2.0 * kh) : 0.0));
        const double ks = 1.0 / std::sqrt(2.0 * n * std::tanh(kh));
        const double l0 = kGravity * zc.t3 * zc.t3 / (2.0 * kPi);
        out[codes.deepHeight] = zc.h3 / ks;
        out[codes.deepSteepness] = zc.h3 / ks / l0;
        if (pressureGroup) {
            const double l = 2.0 * kPi / k;
            out[22] = zc.h3 / l;
            out[80] = l;
            out[81] = l0;
            out[82] = ks;
            out[102] = l / zc.t3;
            if (kh < 350.0)
                out[103] = 100.0 * kPi * zc.h3 / (zc.t3 * std::sinh(kh));
            const double rho = set.transfer.density > 0.0 ? set.transfer.density * 1000.0 : 1025.0;
            const double energy = rho * kGravity * sp.hm0 * sp.hm0 / 16.0;
            out[84] = energy / 1000.0;
            out[85] = energy * n * (l / zc.t3) / 1000.0;
        }
    }
    if (pressureGroup) {
        out[83] = zc.h3 > 0.0 ? zc.hmax / zc.h3 : 0.0;
        out[86] = sp.epsilon;
        out[87] = sp.qp;
        out[88] = sp.tm01;
        out[89] = sp.tm02;
        double m2 = 0, m3 = 0, m4 = 0;
        for (double e : s.eta)
            m2 += e * e, m3 += e * e * e, m4 += e * e * e * e;
        const double nn = static_cast<double>(s.eta.size());
        m2 /= nn, m3 /= nn, m4 /= nn;
        out[90] = std::sqrt(m2);
        out[91] = m2 > 0.0 ? m3 / std::pow(m2, 1.5) : 0.0;
        out[92] = m2 > 0.0 ? m4 / (m2 * m2) : 0.0;
        out[93] = zc.crest;
        out[94] = zc.trough;
        out[95] = zc.meanRun;
        out[96] = groupinessFactor(s);
        out[71] = sp.fp;
    }
}

void meanItem(const BurstInput& in, int k, int code, std::map<int, double>& out)
{
    if (const StatsChannel* c = findKind(in, {k}))
        out[code] = c->mean;
}

// Highest moving mean of w samples of x; its start index.
std::size_t highestRun(std::span<const double> x, std::size_t w, double& best)
{
    best = 0.0;
    if (x.empty())
        return 0;
    w = std::clamp<std::size_t>(w, 1, x.size());
    double s = std::accumulate(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(w), 0.0);
    best = s;
    std::size_t at = 0;
    for (std::size_t i = w; i < x.size(); ++i) {
        s += x[i] - x[i - w];
        if (s > best)
            best = s, at = i - w + 1;
    }
    best /= static_cast<double>(w);
    return at;
}

void windItems(const BurstInput& in, std::map<int, double>& out)
{
    std::vector<double> e, nn, speed;
    const StatsChannel* wx = findKind(in, {kind::windX});
    const StatsChannel* wy = findKind(in, {kind::windY});
    const StatsChannel* ws = findKind(in, {kind::windSpeed});
    const StatsChannel* wd = findKind(in, {kind::windDir});
    if (wx && wy && wx->values.size() == wy->values.size()) {
        e = withMean(*wx), nn = withMean(*wy);
    } else if (ws && wd && ws->values.size() == wd->values.size()) {
        const std::vector<double> sp = withMean(*ws), dir = withMean(*wd);
        for (std::size_t i = 0; i < sp.size(); ++i) {
            // Blowing toward the opposite of the direction it comes from.
            e.push_back(-sp[i] * std::sin(dir[i] / kDeg));
            nn.push_back(-sp[i] * std::cos(dir[i] / kDeg));
        }
    } else {
        return;
    }
    const std::size_t n = e.size();
    if (n == 0)
        return;
    speed.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        speed[i] = std::hypot(e[i], nn[i]);
    const auto meanOver = [&](std::size_t from, std::size_t count, double& s, double& dir) {
        double se = 0, sn = 0, ss = 0;
        for (std::size_t i = from; i < from + count && i < n; ++i)
            se += e[i], sn += nn[i], ss += speed[i];
        s = ss / static_cast<double>(std::max<std::size_t>(count, 1));
        dir = bearingOf(-se, -sn);
    };
    const std::size_t tenMinutes = std::min(n, static_cast<std::size_t>(std::lround(600.0 / in.dt)));
    double s = 0, dir = 0, s10 = 0, dir10 = 0;
    meanOver(0, n, s, dir);
    meanOver(n - tenMinutes, tenMinutes, s10, dir10);
    out[40] = in.settings.windLast10 ? s10 : s;
    out[41] = in.settings.windLast10 ? dir10 : dir;
    out[74] = s10;
    out[75] = dir10;
    double var = 0;
    for (double v : speed)
        var += (v - s) * (v - s);
    out[77] = std::sqrt(var / static_cast<double>(n));
    double best10 = 0, best3 = 0, ds = 0;
    const std::size_t w10 = static_cast<std::size_t>(std::max(1L, std::lround(10.0 / in.dt)));
    const std::size_t w3 = static_cast<std::size_t>(std::max(1L, std::lround(3.0 / in.dt)));
    const std::size_t at10 = highestRun(speed, w10, best10);
    const std::size_t at3 = highestRun(speed, w3, best3);
    double d10 = 0, d3 = 0;
    meanOver(at10, w10, ds, d10);
    meanOver(at3, w3, ds, d3);
    out[43] = best10;
    out[78] = d10;
    out[44] = best3;
    out[46] = d3;
    if (out[40] > 0.0)
        out[45] = best3 / out[40];
}

}  // namespace

std::map<int, double> computeBurstStatistics(const BurstInput& in)
{
    std::map<int, double> out;
    if (!in.header)
        return out;
    const MeasurementHeader& h = *in.header;
    const StatsSettings& set = in.settings;
    const double dt = in.dt;

    // Header values.
    out[4] = h.machineNumber;
    out[5] = h.measureVoltage / 10.0;
    out[110] = h.sdUsage / 100.0;
    out[111] = h.cpuVoltage / 10.0;
    out[112] = h.measureVoltage / 10.0;
    out[113] = h.dataErrorFlags;

    if (!(dt > 0.0))
        return out;

    // Counts of every channel.
    int missing = 0, spikes = 0;
    for (std::size_t c = 0; c < in.channels.size(); ++c) {
        const StatsChannel& ch = in.channels[c];
        const CountStats cs = countStats(ch.counts, dt);
        missing += cs.missing;
        spikes += ch.spikes;
        if (c >= 32)
            continue;
        const int base = c < 16 ? 128 + 8 * static_cast<int>(c) : 384 + 8 * static_cast<int>(c - 16);
        out[base + 4] = cs.missing;
        out[base + 5] = ch.spikes;
        if (cs.valid == 0)
            continue;
        out[base] = cs.mean;
        out[base + 1] = cs.max;
        out[base + 2] = cs.min;
        out[base + 3] = cs.sd;
        out[base + 6] = cs.slopePerMinute;
        out[base + 7] = cs.median;
    }
    out[7] = missing;
    out[99] = spikes;

    // Waves from the pressure.
    bool wavesDone = false;
    Surface eta;
    CrossingStats zc;
    SpectralStats sp;
    if (const StatsChannel* p = findKind(in, {kind::pressure, kind::pressureH})) {
        const std::vector<double> head = withMean(*p);
        eta = surfaceFromPressure(head, p->mean, dt, set.transfer);
        if (eta.valid) {
            waveItems(eta, set, {8, 17, 18, 19, 21, 97, 256, 272, 288, 105, 106}, true, out, zc, sp);
            out[29] = eta.depth - set.levelCorrection;
            wavesDone = true;
        }
        // Change of the mean level over the burst: the trend of the counts.
        const CountStats cs = countStats(p->counts, dt);
        const double rho = set.transfer.density > 0.0 ? set.transfer.density : 1.0;
        const double minutes = static_cast<double>(p->counts.size()) * dt / 60.0;
        out[98] = cs.slopePerMinute * p->factor * 0.01 / rho * minutes;
    }
    // Waves from the ultrasonic level.
    Surface lev;
    if (const StatsChannel* l = findKind(in, {kind::level})) {
        const std::vector<double> x = withMean(*l);
        std::vector<double> m(x.size());
        for (std::size_t i = 0; i < x.size(); ++i)
            m[i] = x[i] * 0.01;
        lev = surfaceFromElevation(m, dt, l->mean * 0.01 + std::max(set.transfer.gaugeHeight, 0.0));
        if (lev.valid) {
            CrossingStats lz;
            SpectralStats ls;
            waveItems(lev, set, {48, 57, 58, 59, 61, 0, 336, 352, 368, 107, 108}, false, out, lz, ls);
            out[380] = *std::max_element(lev.eta.begin(), lev.eta.end());
            out[381] = *std::min_element(lev.eta.begin(), lev.eta.end());
            if (!wavesDone) {
                zc = lz;
                sp = ls;
            }
            wavesDone = true;
        }
        const CountStats cs = countStats(l->counts, dt);
        if (!l->counts.empty())
            out[60] = 100.0 * cs.missing / static_cast<double>(l->counts.size());
    }
    const Surface& waveSurface = eta.valid ? eta : lev;

    // Current.
    const StatsChannel* cx = findKind(in, {kind::currentX});
    const StatsChannel* cy = findKind(in, {kind::currentY});
    std::vector<double> ce, cn;
    if (cx && cy && cx->values.size() == cy->values.size()) {
        const CurrentAxes axes = currentAxes(set, h);
        const double a = axes.angle / kDeg;
        const double ca = std::cos(a), sa = std::sin(a);
        std::vector<double> x = withMean(*cx), y = withMean(*cy);
        ce.resize(x.size());
        cn.resize(x.size());
        double vmax = 0.0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            x[i] *= axes.signX;
            y[i] *= axes.signY;
            ce[i] = x[i] * ca + y[i] * sa;
            cn[i] = -x[i] * sa + y[i] * ca;
            vmax = std::max(vmax, std::hypot(ce[i], cn[i]));
        }
        const double me = meanOf(ce), mn = meanOf(cn);
        out[30] = me;
        out[31] = mn;
        out[32] = std::hypot(me, mn);
        if (out[32] >= set.minCurrentSpeed * 100.0)
            out[33] = bearingOf(me, mn);
        out[35] = vmax;
        double se = 0, sn = 0;
        for (std::size_t i = 0; i < ce.size(); ++i)
            se += (ce[i] - me) * (ce[i] - me), sn += (cn[i] - mn) * (cn[i] - mn);
        out[36] = std::sqrt(se / static_cast<double>(ce.size()));
        out[37] = std::sqrt(sn / static_cast<double>(cn.size()));
    }
    // Wave directions.
    if (waveSurface.valid && !ce.empty() && ce.size() == waveSurface.eta.size() &&
        std::max(sp.hm0, zc.h3) >= set.minDirectionHeight) {
        DirectionInput din;
        din.fs = zc.t3 > 0.0 ? 1.0 / zc.t3 : 0.0;
        din.rangeFrom = set.rangeFrom;
        din.rangeTo = set.rangeTo;
        din.smoothingPasses = set.smoothingPasses;
        const DirectionStats d = waveDirections(waveSurface, ce, cn, sp.fp, din);
        if (d.valid) {
            out[24] = d.mean;
            out[26] = d.significant;
            out[28] = d.spread;
            out[23] = d.smax;
            out[65] = d.peak;
            out[67] = d.mean;
            out[69] = d.mean;
            out[100] = d.inRangePercent;
            out[101] = d.inRangeHeight;
        }
    }

    // Compass, tilt, wind, weather and water.
    if (const StatsChannel* c = findKind(in, {kind::compass})) {
        const std::vector<double> a = withMean(*c);
        out[38] = circularMean(a);
    } else if (h.meanBearing >= 0 && h.meanBearing < 360) {
        out[38] = h.meanBearing;
    }
    const StatsChannel* tx = findKind(in, {kind::tiltX});
    const StatsChannel* ty = findKind(in, {kind::tiltY});
    if (tx && ty) {
        const double a = std::tan(tx->mean / kDeg), b = std::tan(ty->mean / kDeg);
        out[39] = std::atan(std::hypot(a, b)) * kDeg;
    }
    windItems(in, out);
    if (const StatsChannel* t = findKind(in, {kind::waterTemp})) {
        const std::vector<double> x = withMean(*t);
        const auto [lo, hi] = std::minmax_element(x.begin(), x.end());
        out[20] = t->mean;
        out[123] = *hi;
        out[124] = *lo;
        out[104] = *hi - *lo;
    }
    if (const StatsChannel* t = findKind(in, {kind::airTemp})) {
        const std::vector<double> x = withMean(*t);
        const auto [lo, hi] = std::minmax_element(x.begin(), x.end());
        out[63] = t->mean;
        out[125] = *hi;
        out[126] = *lo;
    }
    meanItem(in, kind::airPressure, 62, out);
    meanItem(in, kind::humidity, 120, out);
    meanItem(in, kind::turbidity, 115, out);
    meanItem(in, kind::salinity, 116, out);
    meanItem(in, kind::conductivity, 117, out);
    meanItem(in, kind::chlorophyll, 118, out);
    meanItem(in, kind::oxygen, 119, out);
    meanItem(in, kind::solar, 121, out);
    meanItem(in, kind::echo, 382, out);
    meanItem(in, kind::soundSpeed, 383, out);
    if (const StatsChannel* r = findKind(in, {kind::rain})) {
        // A tipping-bucket total: its rise over the burst.
        const std::vector<double> x = withMean(*r);
        out[122] = std::max(0.0, x.back() - x.front());
    }

    // The state of the record.
    out[109] = !wavesDone && (findKind(in, {kind::pressure, kind::pressureH, kind::level}) != nullptr) ? 3.0
               : spikes > 0                                                                        ? 2.0
               : missing > 0                                                                       ? 1.0
                                                                                                   : 0.0;
    return out;
}

}  // namespace varenta
