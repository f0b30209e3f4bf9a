#include "tools/estimators/directional.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace varenta::est {

double waveNumber(double omega, double depth)
{
    if (!(omega > 0.0) || !(depth > 0.0))
        return 0.0;
    const double y = omega * omega * depth / kGravity;
    // Start from an explicit approximation, then Newton on
    // F(x) = x tanh x - y with x = k h.
    double x = y >= 1.0 ? y : std::sqrt(y) * (1.0 + y / 6.0);
    for (int i = 0; i < 50; ++i) {
        const double t = std::tanh(x);
        const double f = x * t - y;
        const double df = t + x * (1.0 - t * t);
        const double step = f / df;
        x -= step;
        if (std::abs(step) <= 1e-15 * x)
            break;
    }
    return x / depth;
}

double sensorGain(const Sensor& s, double f, double depth)
{
    if (s.kind == SensorKind::Level)
        return 1.0;
    const double omega = kTwoPi * f;
    const double k = waveNumber(omega, depth);
    if (!(k > 0.0))
        return 0.0;
    const double above = std::clamp(depth + s.elevation, 0.0, depth);  // height above the bed
    const double kh = k * depth;
    if (s.kind == SensorKind::Pressure) {
        // cosh(k z)/cosh(k h) without overflow for deep water.
        const double r = std::exp(k * above - kh) * (1.0 + std::exp(-2.0 * k * above)) / (1.0 + std::exp(-2.0 * kh));
        return s.headScale * r;
    }
    // omega cosh(k z)/sinh(k h)
    const double r = std::exp(k * above - kh) * (1.0 + std::exp(-2.0 * k * above)) / (1.0 - std::exp(-2.0 * kh));
    return omega * r;
}

double directionalFactor(const Sensor& s, double theta)
{
    if (s.kind != SensorKind::Velocity)
        return 1.0;
    return -(s.axisEast * std::sin(theta) + s.axisNorth * std::cos(theta));
}

std::vector<double> directionGrid(int nd)
{
    std::vector<double> t(static_cast<std::size_t>(std::max(nd, 0)));
    for (int j = 0; j < nd; ++j)
        t[static_cast<std::size_t>(j)] = kTwoPi * j / nd;
    return t;
}

double surfaceSpectrum(const CrossSpectrum& csm, const std::vector<Sensor>& sensors, double f, double depth,
                       SensorKind reference, double gainLimit)
{
    const int c = static_cast<int>(sensors.size());
    const double minGain = gainLimit > 0.0 ? 1.0 / gainLimit : 0.0;
    if (reference == SensorKind::Level)
        for (int m = 0; m < c; ++m)
            if (sensors[static_cast<std::size_t>(m)].kind == SensorKind::Level)
                return csm.at(m, m).real();
    for (int m = 0; m < c; ++m) {
        const Sensor& s = sensors[static_cast<std::size_t>(m)];
        if (s.kind != SensorKind::Pressure)
            continue;
        const double g = sensorGain(s, f, depth);
        if (g > 0.0 && g >= minGain)
            return csm.at(m, m).real() / (g * g);
    }
    // The two horizontal components together see G^2 whatever the direction.
    double sum = 0.0, gain = 0.0;
    int used = 0;
    for (int m = 0; m < c; ++m) {
        const Sensor& s = sensors[static_cast<std::size_t>(m)];
        if (s.kind != SensorKind::Velocity || used == 2)
            continue;
        sum += csm.at(m, m).real();
        gain = sensorGain(s, f, depth);
        ++used;
    }
    if (used == 2 && gain > 0.0)
        return sum / (gain * gain);
    for (int m = 0; m < c; ++m)
        if (sensors[static_cast<std::size_t>(m)].kind == SensorKind::Level)
            return csm.at(m, m).real();
    return -1.0;
}

bool makeEquations(const CrossSpectrum& csm, const std::vector<Sensor>& sensors, double f, double depth, int nd,
                   DirectionalEquations& eq)
{
    const int c = static_cast<int>(sensors.size());
    eq.nd = nd;
    eq.phi.clear();
    eq.kernel.clear();
    if (nd < 1)
        return false;
    const std::vector<double> theta = directionGrid(nd);
    std::vector<double> gain(static_cast<std::size_t>(c)), seen(static_cast<std::size_t>(c));
    std::vector<std::vector<double>> factor(static_cast<std::size_t>(c), std::vector<double>(static_cast<std::size_t>(nd)));
    // Horizontal energy of the velocity sensors: sum of C / g^2 over the
    // components, divided by the mean squared axis length.
    double velocityEnergy = 0.0, axisSquares = 0.0;
    int velocities = 0;
    for (int m = 0; m < c; ++m) {
        const Sensor& s = sensors[static_cast<std::size_t>(m)];
        if (!(csm.at(m, m).real() > 0.0))
            return false;
        gain[static_cast<std::size_t>(m)] = sensorGain(s, f, depth);
        if (!(gain[static_cast<std::size_t>(m)] > 0.0))
            return false;
        for (int j = 0; j < nd; ++j)
            factor[static_cast<std::size_t>(m)][static_cast<std::size_t>(j)] = directionalFactor(s, theta[static_cast<std::size_t>(j)]);
        if (s.kind == SensorKind::Velocity) {
            const double g = gain[static_cast<std::size_t>(m)];
            velocityEnergy += csm.at(m, m).real() / (g * g);
            axisSquares += s.axisEast * s.axisEast + s.axisNorth * s.axisNorth;
            ++velocities;
        }
    }
    for (int m = 0; m < c; ++m) {
        const Sensor& s = sensors[static_cast<std::size_t>(m)];
        const double g = gain[static_cast<std::size_t>(m)];
        if (s.kind == SensorKind::Velocity)
            seen[static_cast<std::size_t>(m)] = velocities >= 2 ? velocityEnergy / (axisSquares / velocities)
                                                                : csm.at(m, m).real() / (g * g);
        else
            seen[static_cast<std::size_t>(m)] = csm.at(m, m).real() / (g * g);
    }
    for (int m = 0; m < c; ++m) {
        for (int n = m; n < c; ++n) {
            const double norm = std::sqrt(csm.at(m, m).real() * csm.at(n, n).real());
            const double scale = std::sqrt(seen[static_cast<std::size_t>(m)] * seen[static_cast<std::size_t>(n)]) *
                                 gain[static_cast<std::size_t>(m)] * gain[static_cast<std::size_t>(n)] / norm;
            std::vector<double> row(static_cast<std::size_t>(nd));
            double largest = 0.0;
            for (int j = 0; j < nd; ++j) {
                row[static_cast<std::size_t>(j)] = scale * factor[static_cast<std::size_t>(m)][static_cast<std::size_t>(j)] *
                                                   factor[static_cast<std::size_t>(n)][static_cast<std::size_t>(j)];
                largest = std::max(largest, std::abs(row[static_cast<std::size_t>(j)]));
            }
            if (!(largest > 1e-12))
                continue;  // this pair says nothing about the directions
            eq.phi.push_back(csm.at(m, n).real() / norm);
            eq.kernel.insert(eq.kernel.end(), row.begin(), row.end());
        }
    }
    return !eq.phi.empty();
}

CrossSpectrum exactCrossSpectrum(const std::vector<Sensor>& sensors, double f, double depth, double S,
                                 const std::vector<double>& fineSpreading)
{
    const int c = static_cast<int>(sensors.size());
    const int k = static_cast<int>(fineSpreading.size());
    CrossSpectrum out;
    out.channels = c;
    out.value.assign(static_cast<std::size_t>(c * c), {0.0, 0.0});
    const double step = kTwoPi / k;
    for (int m = 0; m < c; ++m) {
        for (int n = 0; n < c; ++n) {
            double sum = 0.0;
            for (int j = 0; j < k; ++j) {
                const double t = step * j;
                sum += directionalFactor(sensors[static_cast<std::size_t>(m)], t) *
                       directionalFactor(sensors[static_cast<std::size_t>(n)], t) * fineSpreading[static_cast<std::size_t>(j)];
            }
            out.at(m, n) = S * sensorGain(sensors[static_cast<std::size_t>(m)], f, depth) *
                           sensorGain(sensors[static_cast<std::size_t>(n)], f, depth) * sum * step;
        }
    }
    return out;
}

double cos2sSpreading(double theta, double meanDirection, double s)
{
    // G(s) = Gamma(s+1)^2 / (2 sqrt(pi) Gamma(s+1/2) Gamma(s+1)) ... in the
    // form 2^(2s-1) Gamma(s+1)^2 / (pi Gamma(2s+1)).
    const double lg = (2.0 * s - 1.0) * std::log(2.0) + 2.0 * std::lgamma(s + 1.0) - std::log(kPi) - std::lgamma(2.0 * s + 1.0);
    const double c = std::abs(std::cos(0.5 * (theta - meanDirection)));
    if (c <= 0.0)
        return 0.0;
    return std::exp(lg + 2.0 * s * std::log(c));
}

double meanDirection(const std::vector<double>& d)
{
    const int nd = static_cast<int>(d.size());
    double sx = 0.0, sy = 0.0;
    for (int j = 0; j < nd; ++j) {
        const double t = kTwoPi * j / nd;
        sx += d[static_cast<std::size_t>(j)] * std::sin(t);
        sy += d[static_cast<std::size_t>(j)] * std::cos(t);
    }
    double a = std::atan2(sx, sy);
    if (a < 0.0)
        a += kTwoPi;
    return a;
}

namespace {

// Solves the symmetric positive definite system a x = b in place (a is
// n*n, overwritten by its Cholesky factor).  Returns ln det(a), or NaN
// when a is not positive definite.
double choleskySolve(std::vector<double>& a, std::vector<double>& b, int n)
{
    double logDet = 0.0;
    for (int j = 0; j < n; ++j) {
        double* rj = &a[static_cast<std::size_t>(j * n)];
        double d = rj[j];
        for (int k = 0; k < j; ++k)
            d -= rj[k] * rj[k];
        if (!(d > 0.0))
            return std::numeric_limits<double>::quiet_NaN();
        const double l = std::sqrt(d);
        rj[j] = l;
        logDet += 2.0 * std::log(l);
        for (int i = j + 1; i < n; ++i) {
            double* ri = &a[static_cast<std::size_t>(i * n)];
            double s = ri[j];
            for (int k = 0; k < j; ++k)
                s -= ri[k] * rj[k];
            ri[j] = s / l;
        }
    }
    for (int i = 0; i < n; ++i) {
        const double* ri = &a[static_cast<std::size_t>(i * n)];
        double s = b[static_cast<std::size_t>(i)];
        for (int k = 0; k < i; ++k)
            s -= ri[k] * b[static_cast<std::size_t>(k)];
        b[static_cast<std::size_t>(i)] = s / ri[i];
    }
    for (int i = n - 1; i >= 0; --i) {
        double s = b[static_cast<std::size_t>(i)];
        for (int k = i + 1; k < n; ++k)
            s -= a[static_cast<std::size_t>(k * n + i)] * b[static_cast<std::size_t>(k)];
        b[static_cast<std::size_t>(i)] = s / a[static_cast<std::size_t>(i * n + i)];
    }
    return logDet;
}

// EMEP model state for one parameter vector.
struct EmepFit {
    std::vector<double> d;         // spreading on the grid
    std::vector<double> residual;  // phi - model
    double sse = 0.0;
};

void emepEvaluate(const DirectionalEquations& eq, const std::vector<double>& basis, int params,
                  const std::vector<double>& p, EmepFit& fit)
{
    const int nd = eq.nd;
    const double dt = kTwoPi / nd;
    fit.d.assign(static_cast<std::size_t>(nd), 0.0);
    double top = -std::numeric_limits<double>::infinity();
    for (int j = 0; j < nd; ++j) {
        double f = 0.0;
        for (int q = 0; q < params; ++q)
            f += p[static_cast<std::size_t>(q)] * basis[static_cast<std::size_t>(q * nd + j)];
        fit.d[static_cast<std::size_t>(j)] = f;
        top = std::max(top, f);
    }
    double z = 0.0;
    for (double& v : fit.d) {
        v = v - top > -700.0 ? std::exp(v - top) : 0.0;  // no denormal results
        z += v;
    }
    for (double& v : fit.d)
        v /= z * dt;
    const std::size_t m = eq.count();
    fit.residual.assign(m, 0.0);
    fit.sse = 0.0;
    for (std::size_t i = 0; i < m; ++i) {
        const double* w = &eq.kernel[i * static_cast<std::size_t>(nd)];
        double model = 0.0;
        for (int j = 0; j < nd; ++j)
            model += w[j] * fit.d[static_cast<std::size_t>(j)];
        fit.residual[i] = eq.phi[i] - model * dt;
        fit.sse += fit.residual[i] * fit.residual[i];
    }
}

// Damped Gauss-Newton (Levenberg-Marquardt) fit of the parameters p.
void emepFit(const DirectionalEquations& eq, const std::vector<double>& basis, int params, std::vector<double>& p,
             EmepFit& fit)
{
    const int nd = eq.nd;
    const double dt = kTwoPi / nd;
    const std::size_t m = eq.count();
    emepEvaluate(eq, basis, params, p, fit);
    double lambda = 1e-3;
    std::vector<double> jac(m * static_cast<std::size_t>(params)), mean(static_cast<std::size_t>(params));
    std::vector<double> a(static_cast<std::size_t>(params * params)), g(static_cast<std::size_t>(params));
    std::vector<double> trial(static_cast<std::size_t>(params));
    EmepFit next;
    for (int iter = 0; iter < 100 && fit.sse > 1e-30; ++iter) {
        // d model_i / d p_q = sum_j w_ij D_j (basis_qj - mean_q) dt
        for (int q = 0; q < params; ++q) {
            double s = 0.0;
            for (int j = 0; j < nd; ++j)
                s += fit.d[static_cast<std::size_t>(j)] * basis[static_cast<std::size_t>(q * nd + j)];
            mean[static_cast<std::size_t>(q)] = s * dt;
        }
        for (std::size_t i = 0; i < m; ++i) {
            const double* w = &eq.kernel[i * static_cast<std::size_t>(nd)];
            for (int q = 0; q < params; ++q) {
                const double* b = &basis[static_cast<std::size_t>(q * nd)];
                const double mq = mean[static_cast<std::size_t>(q)];
                double s = 0.0;
                for (int j = 0; j < nd; ++j)
                    s += w[j] * fit.d[static_cast<std::size_t>(j)] * (b[j] - mq);
                jac[i * static_cast<std::size_t>(params) + static_cast<std::size_t>(q)] = s * dt;
            }
        }
        bool improved = false;
        for (int attempt = 0; attempt < 12 && !improved; ++attempt) {
            for (int q = 0; q < params; ++q) {
                for (int r = 0; r < params; ++r) {
                    double s = 0.0;
                    for (std::size_t i = 0; i < m; ++i)
                        s += jac[i * static_cast<std::size_t>(params) + static_cast<std::size_t>(q)] *
                             jac[i * static_cast<std::size_t>(params) + static_cast<std::size_t>(r)];
                    a[static_cast<std::size_t>(q * params + r)] = s;
                }
                double s = 0.0;
                for (std::size_t i = 0; i < m; ++i)
                    s += jac[i * static_cast<std::size_t>(params) + static_cast<std::size_t>(q)] * fit.residual[i];
                g[static_cast<std::size_t>(q)] = s;
            }
            for (int q = 0; q < params; ++q)
                a[static_cast<std::size_t>(q * params + q)] *= 1.0 + lambda;
            for (int q = 0; q < params; ++q)
                a[static_cast<std::size_t>(q * params + q)] += 1e-14;
            if (std::isnan(choleskySolve(a, g, params))) {
                lambda *= 10.0;
                continue;
            }
            for (int q = 0; q < params; ++q)
                trial[static_cast<std::size_t>(q)] = p[static_cast<std::size_t>(q)] + g[static_cast<std::size_t>(q)];
            emepEvaluate(eq, basis, params, trial, next);
            if (std::isfinite(next.sse) && next.sse < fit.sse) {
                improved = true;
                const double gain = fit.sse - next.sse;
                p = trial;
                std::swap(fit, next);
                lambda = std::max(lambda / 5.0, 1e-12);
                if (gain <= 1e-10 * fit.sse + 1e-32)
                    return;
            } else {
                lambda *= 8.0;
            }
        }
        if (!improved)
            return;
    }
}

}  // namespace

double samplingErrorFloor(int bins) { return 0.5 / (2.0 * std::max(bins, 1)); }

bool estimateEmep(const DirectionalEquations& eq, int maxOrder, EmepResult& out, double errorFloor)
{
    const int nd = eq.nd;
    const int m = static_cast<int>(eq.count());
    if (m < 2 || nd < 3)
        return false;
    int top = std::min(maxOrder, (m - 1) / 2);
    top = std::min(top, (nd - 1) / 2);
    top = std::max(top, 1);
    // Basis: cos n theta, sin n theta for n = 1..top.
    std::vector<double> basis(static_cast<std::size_t>(2 * top * nd));
    for (int n = 1; n <= top; ++n)
        for (int j = 0; j < nd; ++j) {
            const double t = kTwoPi * j / nd;
            basis[static_cast<std::size_t>((2 * (n - 1)) * nd + j)] = std::cos(n * t);
            basis[static_cast<std::size_t>((2 * (n - 1) + 1) * nd + j)] = std::sin(n * t);
        }
    std::vector<double> p;
    bool have = false;
    for (int order = 1; order <= top; ++order) {
        p.resize(static_cast<std::size_t>(2 * order), 0.0);
        EmepFit fit;
        emepFit(eq, basis, 2 * order, p, fit);
        if (!std::isfinite(fit.sse))
            continue;
        // An exact fit would send the criterion to minus infinity: the error
        // variance is floored so that fits equal within the noise favour the
        // lower order.
        const double variance = std::max(fit.sse / m, std::max(errorFloor, 1e-12));
        const double aic = m * std::log(kTwoPi * variance) + m + 2.0 * (2 * order + 1);
        if (!have || aic < out.aic) {
            have = true;
            out.aic = aic;
            out.order = order;
            out.residual = fit.sse;
            out.spreading = fit.d;
        }
    }
    return have;
}

bool estimateBdm(const DirectionalEquations& eq, const BdmSettings& settings, BdmResult& out, double errorFloor)
{
    const int nd = eq.nd;
    const int m = static_cast<int>(eq.count());
    if (m < 1 || nd < 5)
        return false;
    const double dt = kTwoPi / nd;
    const std::size_t k = static_cast<std::size_t>(nd);
    const auto at = [k](int r, int c) { return static_cast<std::size_t>(r) * k + static_cast<std::size_t>(c); };
    const auto wrap = [nd](int j) { return static_cast<std::size_t>((j % nd + nd) % nd); };
    // x = ln D on the grid.  The prior penalises the cyclic second
    // differences: u^2 |Dx|^2, D^T D the circulant with stencil 1 -4 6 -4 1.
    auto smoothness = [&](const std::vector<double>& x, std::vector<double>& out2) {
        double s = 0.0;
        for (int j = 0; j < nd; ++j) {
            out2[static_cast<std::size_t>(j)] = x[wrap(j - 2)] - 4.0 * x[wrap(j - 1)] + 6.0 * x[static_cast<std::size_t>(j)] -
                                                4.0 * x[wrap(j + 1)] + x[wrap(j + 2)];
            const double d2 = x[wrap(j - 1)] - 2.0 * x[static_cast<std::size_t>(j)] + x[wrap(j + 1)];
            s += d2 * d2;
        }
        return s;
    };
    std::vector<double> ex(k), dtdx(k);
    // Residuals r = phi - W exp(x) dt; returns |r|^2.
    std::vector<double> resid(static_cast<std::size_t>(m));
    auto misfit = [&](const std::vector<double>& x) {
        for (std::size_t j = 0; j < k; ++j)
            ex[j] = std::exp(x[j]) * dt;
        double s = 0.0;
        for (int i = 0; i < m; ++i) {
            const double* w = &eq.kernel[at(i, 0)];
            double model = 0.0;
            for (int j = 0; j < nd; ++j)
                model += w[j] * ex[static_cast<std::size_t>(j)];
            resid[static_cast<std::size_t>(i)] = eq.phi[static_cast<std::size_t>(i)] - model;
            s += resid[static_cast<std::size_t>(i)] * resid[static_cast<std::size_t>(i)];
        }
        return s;
    };
    std::vector<double> amat(static_cast<std::size_t>(m) * k), h(k * k), g(k);
    // amat = d model / d x at x (ex must hold exp(x) dt); h = A^T A + u^2 D^T D.
    auto normalMatrix = [&](double u2) {
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < nd; ++j)
                amat[at(i, j)] = eq.kernel[at(i, j)] * ex[static_cast<std::size_t>(j)];
        std::fill(h.begin(), h.end(), 0.0);
        for (int i = 0; i < m; ++i) {
            const double* r = &amat[at(i, 0)];
            for (int p = 0; p < nd; ++p) {
                const double rp = r[p];
                double* hp = &h[at(p, 0)];
                for (int q = 0; q <= p; ++q)
                    hp[q] += rp * r[q];
            }
        }
        for (int p = 0; p < nd; ++p)
            for (int q = 0; q < p; ++q)
                h[at(q, p)] = h[at(p, q)];
        for (int j = 0; j < nd; ++j) {
            h[at(j, j)] += 6.0 * u2;
            h[at(j, static_cast<int>(wrap(j + 1)))] -= 4.0 * u2;
            h[at(j, static_cast<int>(wrap(j - 1)))] -= 4.0 * u2;
            h[at(j, static_cast<int>(wrap(j + 2)))] += u2;
            h[at(j, static_cast<int>(wrap(j - 2)))] += u2;
        }
    };

    std::vector<double> x(k, -std::log(kTwoPi)), xn(k), hcopy;
    bool have = false;
    int worse = 0;  // trials in a row whose ABIC did not improve
    double u = settings.largest;
    for (int trial = 0; trial < settings.trials && worse < 2; ++trial, u *= settings.ratio) {
        const double u2 = u * u;
        double objective = misfit(x) + u2 * smoothness(x, dtdx);
        bool failed = false;
        for (int iter = 0; iter < settings.iterations; ++iter) {
            // Newton step on |r|^2 + u^2 |Dx|^2: the Gauss-Newton matrix plus
            // the curvature of exp, -diag(sum_i r_i A_ij); the plain
            // Gauss-Newton matrix where that is not positive definite.
            misfit(x);
            smoothness(x, dtdx);
            normalMatrix(u2);
            // sum_i r_i A_ij is both the data part of the gradient and the
            // curvature of exp on the diagonal.
            hcopy = h;
            for (int j = 0; j < nd; ++j) {
                double s = 0.0;
                for (int i = 0; i < m; ++i)
                    s += amat[at(i, j)] * resid[static_cast<std::size_t>(i)];
                g[static_cast<std::size_t>(j)] = s - u2 * dtdx[static_cast<std::size_t>(j)];
                hcopy[at(j, j)] -= s;
            }
            std::vector<double> step = g;
            if (std::isnan(choleskySolve(hcopy, step, nd))) {
                hcopy = h;
                step = g;
                if (std::isnan(choleskySolve(hcopy, step, nd))) {
                    failed = true;
                    break;
                }
            }
            double scale = 1.0, change = 0.0, next = objective;
            for (int half = 0; half < 20; ++half, scale *= 0.5) {
                change = 0.0;
                for (std::size_t j = 0; j < k; ++j) {
                    xn[j] = x[j] + scale * step[j];
                    change = std::max(change, std::abs(scale * step[j]));
                }
                next = misfit(xn) + u2 * smoothness(xn, dtdx);
                if (std::isfinite(next) && next <= objective)
                    break;
            }
            if (!(std::isfinite(next) && next <= objective))
                break;
            x.swap(xn);
            objective = next;
            if (change < 1e-6)
                break;
        }
        if (failed || !std::isfinite(objective))
            continue;
        // ABIC of the model linearised at the estimate.
        misfit(x);
        normalMatrix(u2);
        std::vector<double> none(k, 0.0);
        const double logDet = choleskySolve(h, none, nd);
        if (std::isnan(logDet))
            continue;
        // -2 ln of the marginal likelihood with the error variance at its
        // maximum-likelihood value, but never below the sampling floor:
        // with more directions than equations the data can always be met
        // exactly, and a free variance would then favour ever rougher fits.
        const double variance = std::max(objective / m, std::max(errorFloor, 1e-300));
        const double abic = m * std::log(kTwoPi * variance) + objective / variance + logDet - nd * std::log(u2);
        // ABIC has one minimum along the decreasing u: two trials past it end
        // the search.
        ++worse;
        if (!have || abic < out.abic) {
            have = true;
            worse = 0;
            out.abic = abic;
            out.u = u;
            out.spreading.resize(k);
            double z = 0.0;
            for (std::size_t j = 0; j < k; ++j) {
                out.spreading[j] = std::exp(x[j]);
                z += out.spreading[j];
            }
            for (double& v : out.spreading)
                v /= z * dt;
        }
    }
    return have;
}

}  // namespace varenta::est
