#pragma once
// Linear (Airy) wave theory for the synthetic sea: the dispersion relation,
// the JONSWAP frequency spectrum, the cos-2s directional spreading, the
// transfer functions from surface elevation to sub-surface pressure head and
// horizontal orbital velocity, and a sea surface built as a sum of many
// frequency-direction components with random phases.
#include "tools/synth/random.h"

#include <vector>

namespace varenta::synth {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kStandardGravity = 9.80665;

// The sea state and the site.  Directions are nautical degrees, clockwise
// from north: waves and wind are given by the direction they come FROM, the
// current by the direction it flows TOWARD.  Heights are above the sea bed.
struct SeaState {
    double hm0 = 1.0;          // significant wave height 4*sqrt(m0), m (0 = no waves)
    double tp = 8.0;           // peak period, s
    double gamma = 3.3;        // JONSWAP peak enhancement (1 = Pierson-Moskowitz)
    double meanDirection = 180.0;  // waves from, degrees
    double spreadingS = 10.0;  // cos-2s spreading exponent; 0 = long-crested
    double depth = 10.0;       // still-water depth at mean tide, m
    double gaugeHeight = 0.5;  // pressure sensor above the bed, m
    double currentMeterHeight = 1.0;  // current meter above the bed, m
    double levelSensorHeight = 0.5;   // ultrasonic level sensor above the bed, m
    double currentSpeed = 0.2;        // mean current, m/s
    double currentDirection = 90.0;   // current toward, degrees
    double tideAmplitude = 0.0;       // m
    double tidePeriodHours = 12.42;   // semi-diurnal lunar tide
    double tidePhase = 0.0;           // degrees: the tide is A*cos(2 pi t/T - phase), t from 1 Jan 2000 00:00
    double tidalCurrent = 0.0;        // amplitude of the tidal current along currentDirection, m/s (in phase with the rising tide)
    double heading = 0.0;             // compass bearing of the instrument's Y axis, degrees (X axis 90 degrees to the right)
    double waterTemperature = 15.0;   // mean, degrees C
    double temperatureDailyRange = 0.5;  // peak-to-peak daily variation, degrees C (warmest at 15:00)
    double windSpeed = 5.0;           // m/s
    double windDirection = 0.0;       // wind from, degrees
    double gustiness = 0.15;          // standard deviation of the gusts as a fraction of the wind speed
    double headScale = 1.0248;        // recorded pressure head per metre of sea water (sea-water density)
    double gravity = kStandardGravity;
    // Horizontal positions (m, east and north of the main gauge) of the four
    // array pressure sensors (channel codes 48 to 51), all at gaugeHeight.
    double arrayEast[4] = {5.0, 0.0, -5.0, 0.0};
    double arrayNorth[4] = {0.0, 5.0, 0.0, -5.0};
};

// Wave number k (rad/m) of angular frequency omega (rad/s) in depth h (m):
// the exact root of omega^2 = g k tanh(k h), by Newton's method.
double solveWaveNumber(double omega, double depth, double gravity = kStandardGravity);

// Pressure-head response at height z above the bed: cosh(k z) / cosh(k h).
double pressureTransfer(double k, double depth, double z);
// Horizontal orbital velocity per unit elevation at height z:
// omega cosh(k z) / sinh(k h).
double velocityTransfer(double omega, double k, double depth, double z);

// JONSWAP shape (not normalised: alpha = 1), m^2/Hz per unit alpha.
double jonswapShape(double f, double tp, double gamma, double gravity = kStandardGravity);
// Normalised cos-2s spreading D(theta) (per radian) of a direction offset.
double cos2sDensity(double offsetRadians, double s);

// One wave train: eta = amplitude * cos(phase + kx*east + ky*north - omega*t).
struct WaveComponent {
    double frequency = 0.0;   // Hz
    double omega = 0.0;       // rad/s
    double k = 0.0;           // rad/m
    double amplitude = 0.0;   // m
    double phase = 0.0;       // rad at t = 0, at the gauge
    double direction = 0.0;   // waves FROM, nautical degrees
    double kx = 0.0, ky = 0.0;  // wave-number vector (east, north) in the direction of travel
    double pressureGain = 0.0;  // cosh(k zg)/cosh(k h)
    double velocityGain = 0.0;  // omega cosh(k zc)/sinh(k h)
};

// How the component sum is made.
struct SynthesisSettings {
    int components = 256;           // number of frequency-direction components
    bool randomAmplitudes = true;   // Rayleigh amplitudes (a Gaussian sea) rather than deterministic ones
    double lowCut = 0.5;            // lowest frequency as a fraction of the peak frequency
    double highCut = 6.0;           // highest frequency as a multiple of the peak frequency (at most Nyquist)
};

// The discrete spectrum of one realisation: frequencies spread evenly over
// [lowCut*fp, min(highCut*fp, nyquist)] with a random offset inside each
// band, directions drawn from the cos-2s distribution (one per component),
// random phases.  The target spectrum is scaled so that its variance over
// that band is hm0^2/16 (exactly for deterministic amplitudes, in
// expectation for random ones).  depth is the water depth during the burst.
// Empty when hm0 <= 0 or the band is empty.
std::vector<WaveComponent> makeComponents(const SeaState& sea, const SynthesisSettings& settings, double depth,
                                          double nyquist, Random& rng);

// Spectral moment m_n = sum a^2/2 f^n of a component set.
double spectralMoment(const std::vector<WaveComponent>& comps, int n);

// The linear wave field sampled at n instants t_i = t0 + i*dt (t0 relative
// to the phase origin): elevation at the gauge, pressure head at the
// gauge height and the two orbital velocity components at the current-meter
// height (east and north), all in metres and metres per second.
struct WaveField {
    std::vector<double> eta;
    std::vector<double> pressure;  // dynamic pressure head, m of water
    std::vector<double> east;      // m/s
    std::vector<double> north;     // m/s
};
WaveField sampleWaveField(const std::vector<WaveComponent>& comps, int n, double dt, double t0 = 0.0);

// Dynamic pressure head at a horizontal offset (east, north) from the gauge.
std::vector<double> samplePressureAt(const std::vector<WaveComponent>& comps, int n, double dt, double east,
                                     double north, double t0 = 0.0);

}  // namespace varenta::synth
