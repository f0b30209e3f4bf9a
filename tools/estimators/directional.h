#pragma once
// The numerical core of the directional estimators: the linear-wave-theory
// response of each sensor to a wave train from a direction, the equations
// that tie the cross-spectral matrix of the sensors to the directional
// spreading function D(theta), and the two estimators of D:
//
//   * the extended maximum entropy principle: D = exp(sum of N harmonics),
//     fitted to the equations by damped Gauss-Newton, the order N chosen by
//     the Akaike information criterion;
//   * the Bayesian directional method: ln D on the direction grid with a
//     smoothness prior on its cyclic second differences, the hyper-parameter
//     chosen by the Akaike Bayesian information criterion (ABIC).
//
// Frame and signs (one convention for the whole system):
//   theta is the direction the waves come FROM, clockwise from the
//   reference north (the loader corrects the declination), and direction
//   index j (1-based) of the grid stands for theta = (j - 1) * 360 / nd.
//   Velocities are described by the earth components (east, north) of the
//   horizontal orbital velocity, positive toward east and toward north.  A
//   wave train from theta travels toward theta + 180, so its velocity under
//   a crest is  u_east = -G sin(theta) eta,  u_north = -G cos(theta) eta.
#include <complex>
#include <cstddef>
#include <vector>

namespace varenta::est {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kGravity = 9.80665;

// Wave number (rad/m) of angular frequency omega (rad/s) in depth h (m): the
// root of omega^2 = g k tanh(k h).  0 when omega or h is not positive.
double waveNumber(double omega, double depth);

// What a sensor measures.
enum class SensorKind { Pressure, Velocity, Level };

// A sensor as the estimator models it.  Elevations are metres relative to
// the still-water surface (negative below it).
struct Sensor {
    SensorKind kind = SensorKind::Pressure;
    double elevation = 0.0;
    // Velocity: the unit vector (east, north) along which the recorded
    // value is positive.
    double axisEast = 0.0, axisNorth = 1.0;
    // Pressure: recorded head per metre of surface elevation in deep
    // submergence (the sea-water density ratio of the gauge).
    double headScale = 1.0;
};

// Surface-elevation-to-sensor gain at frequency f (Hz) in depth h:
// pressure head  s cosh(k(h+z)) / cosh(k h),  velocity  omega cosh(k(h+z)) /
// sinh(k h),  level 1.  Elevations below the bed are taken at the bed.
double sensorGain(const Sensor& s, double f, double depth);

// Directional factor of the sensor's response to a wave from theta (1 for
// pressure and level, -(axisEast sin theta + axisNorth cos theta) for a
// velocity).
double directionalFactor(const Sensor& s, double theta);

// The direction grid: theta_j = j * 2 pi / nd for j = 0..nd-1.
std::vector<double> directionGrid(int nd);

// Hermitian cross-spectral matrix of C sensors at one frequency, row-major.
struct CrossSpectrum {
    int channels = 0;
    std::vector<std::complex<double>> value;  // channels * channels
    std::complex<double>& at(int m, int n) { return value[static_cast<std::size_t>(m * channels + n)]; }
    const std::complex<double>& at(int m, int n) const { return value[static_cast<std::size_t>(m * channels + n)]; }
};

// The equations at one frequency:  phi_i = sum_j w_ij D_j dtheta + error,
// D on the grid of nd directions, per radian, integrating to 1.
struct DirectionalEquations {
    int nd = 0;
    std::vector<double> phi;     // M normalised cross-spectra
    std::vector<double> kernel;  // M * nd, row i the kernel of equation i
    std::size_t count() const { return phi.size(); }
};

// The frequency spectrum S(f) (m^2/Hz) that the cross-spectra imply: from
// the level when `reference` is Level and a level sensor is there, else
// from the pressure while its gain is at least 1/gainLimit, else from the
// velocity pair (sum of the two horizontal autospectra).  Negative when no
// sensor can give it.
double surfaceSpectrum(const CrossSpectrum& csm, const std::vector<Sensor>& sensors, double f, double depth,
                       SensorKind reference, double gainLimit);

// Builds the equations from the cross-spectra: for every pair m <= n whose
// kernel is not identically zero, phi = Re C_mn / sqrt(C_mm C_nn) and the
// kernel  sqrt(S_m S_n) g_m g_n a_m(theta) a_n(theta) / sqrt(C_mm C_nn),
// where S_m is the surface spectrum seen by sensor m alone (pressure and
// level by their autospectrum, a current component by the sum of both
// horizontal components, which does not depend on the direction).  Each
// sensor thus normalises itself: the equations hold the directional
// information only, and a gain error or the sampling scatter of the ratio
// of pressure to velocity energy cannot distort the spreading.  False when
// an autospectrum is not positive.
bool makeEquations(const CrossSpectrum& csm, const std::vector<Sensor>& sensors, double f, double depth, int nd,
                   DirectionalEquations& eq);

// The exact cross-spectral matrix of a spreading function given on a fine
// grid (values per radian over `fine` equal steps from 0): C_mn = S times the
// integral of the two responses times D.
CrossSpectrum exactCrossSpectrum(const std::vector<Sensor>& sensors, double f, double depth, double S,
                                 const std::vector<double>& fineSpreading);

// Normalised cos-2s spreading (per radian) about the mean direction.
double cos2sSpreading(double theta, double meanDirection, double s);

// Circular mean direction (radians in [0, 2 pi)) of a function on the grid.
double meanDirection(const std::vector<double>& d);

struct EmepResult {
    std::vector<double> spreading;  // D_j, per radian
    int order = 0;                  // chosen number of harmonics
    double aic = 0.0;
    double residual = 0.0;          // sum of squared errors at the chosen order
};

// Extended maximum entropy principle.  Orders 1..maxOrder (at most
// (M - 1) / 2) are fitted; the one with the lowest AIC is kept.  The error
// variance of the criterion is never taken below `errorFloor`: the
// sampling variance of the normalised cross-spectra (about 1 / degrees of
// freedom for a measured spectrum, tiny for exact ones), so that a higher
// order is chosen only for a misfit larger than the sampling noise.  False
// when no order could be fitted (no equations).
bool estimateEmep(const DirectionalEquations& eq, int maxOrder, EmepResult& out, double errorFloor = 1e-12);

// The error floor of a cross-spectral estimate averaged over `bins` raw
// frequency bins (2 * bins degrees of freedom).
double samplingErrorFloor(int bins);

struct BdmSettings {
    int trials = 16;         // hyper-parameter values tried
    double largest = 4.0;    // first (largest) value of u
    double ratio = 0.5;      // factor from one trial to the next
    int iterations = 40;     // Gauss-Newton steps per trial at most
};

struct BdmResult {
    std::vector<double> spreading;  // D_j, per radian
    double u = 0.0;                 // chosen hyper-parameter
    double abic = 0.0;
};

// Bayesian directional method.  The error variance of ABIC is never taken
// below `errorFloor` (see estimateEmep).  False when no trial converged to a
// finite estimate.
bool estimateBdm(const DirectionalEquations& eq, const BdmSettings& settings, BdmResult& out,
                 double errorFloor = 1e-12);

}  // namespace varenta::est
