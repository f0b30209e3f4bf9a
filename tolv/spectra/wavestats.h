#pragma once
// The burst statistics behind the results record: zero-up-crossing waves,
// spectral moments, surface elevation from the pressure or the ultrasonic
// level, long-period waves, directions from the first-order Fourier
// coefficients of the pressure-current cross-spectra, current, wind and
// weather means, and per-channel count statistics.  Result values are
// keyed by the result codes of "tolvg.org" (value 7 of each code says what
// it means).
//
// Codes the logger alone provides (no sample of the record carries them):
// 72 and 73 (directional spectrum density and peak count), 114 (internal
// temperature), 127 (sea-level pressure: the barometer's height is not
// known here), 300 to 335 (the current profile of a profiling meter) and
// the count statistics of channels 10 to 32 (200 to 255, 384 to 511: a
// record holds at most nine channels).  Every other code is computed when
// its channel is recorded; a code whose channel is missing is left out of
// the map.  Codes 0 to 3 and 6 are the record's own (date, time, number),
// 64 the spacer.
#include "common/masterfile.h"

#include <complex>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace varenta {

// The codes of the comment above.
bool loggerOnlyCode(int code);

// ---- zero-up-crossing analysis ----

struct CrossingWave {
    double height = 0.0;  // maximum - minimum of the wave's samples
    double period = 0.0;  // difference of the crossing times
    double crest = 0.0;   // maximum above the reference level
    double trough = 0.0;  // depth of the minimum below it (positive)
};

struct CrossingStats {
    int waves = 0;
    double hmax = 0.0, tmax = 0.0;   // highest wave (the first of equal ones)
    double h10 = 0.0, t10 = 0.0;     // means over the floor(N/10) highest
    double h3 = 0.0, t3 = 0.0;       // means over the floor(N/3) highest
    double hmean = 0.0, tmean = 0.0;
    double crest = 0.0, trough = 0.0;  // of the highest wave
    double meanRun = 0.0;            // mean run of successive waves above H1/3
    std::vector<CrossingWave> list;  // in time order
};

// Zero-up-crossing waves of x about its mean: an up-crossing is
// x[i] < 0 <= x[i+1] (after the mean is taken out), its time interpolated
// linearly; only complete waves between successive up-crossings count.
// Equal heights keep their time order when the highest are chosen.
CrossingStats zeroUpCrossing(std::span<const double> x, double dt);

// ---- spectra ----

using Complex = std::complex<double>;

// A surface-elevation record (m) with its transform.
struct Surface {
    std::vector<double> eta;       // elevation about the mean, n samples
    std::vector<Complex> spectrum; // its DFT, n bins
    double dt = 0.0;
    double df = 0.0;               // 1 / (n dt)
    int lastBin = 0;               // highest bin of the moments (the cap frequency)
    double depth = 0.0;            // mean water depth (m), 0 when not known
    bool valid = false;
};

// One-sided density (m^2/Hz) of bin b (1 <= b <= n/2) of a transform.
double binDensity(const Surface& s, int b);

struct SpectralStats {
    double m0 = 0.0, m1 = 0.0, m2 = 0.0, m4 = 0.0;
    double hm0 = 0.0;       // 4 sqrt(m0)
    double fp = 0.0, tp = 0.0;  // peak of the smoothed spectrum
    double tm01 = 0.0, tm02 = 0.0;
    double epsilon = 0.0;   // sqrt(1 - m2^2 / (m0 m4))
    double qp = 0.0;        // 2 / m0^2 sum f S^2 df
    double peakDensity = 0.0;  // smoothed density at fp
};

// Moments over bins 1..lastBin; the peak from the density smoothed by the
// repeated 3-point average (passes times).
SpectralStats spectralStatistics(const Surface& s, int smoothingPasses);

// The transfer of the pressure record, for the elevation.
struct PressureTransfer {
    double gaugeHeight = 0.5;    // z (m) above the bed, at least 0.0001
    double density = 1.0;        // head per metre of water (item 99 value 4)
    double factorLimit = 12.0;   // cap of the factor
};

// Elevation from a pressure head record (cm; its mean is the burst mean):
// depth h = mean x 0.01 / density + z; each bin b of the transform (and
// its mirror) is multiplied by K = cosh(k h) / cosh(k z) / density with
// k = WaveNumber(1 / f, h), K capped at the limit and held there for all
// higher bins once reached; bin 0 is cleared; the inverse transform gives
// eta.  lastBin is the bin at which the cap is first reached (n/2 when
// never).  Invalid (empty) when n < 8, dt <= 0 or the depth is not
// positive.
Surface surfaceFromPressure(std::span<const double> headCm, double meanCm, double dt, const PressureTransfer& t);

// Elevation taken as it is (m, the mean taken out): the ultrasonic level
// or a test signal.  lastBin = n/2; depth as given.
Surface surfaceFromElevation(std::span<const double> etaM, double dt, double depth);

// The elevation restricted to periods between ts and tl (s), zero outside
// (both halves of the transform), back in time.
std::vector<double> bandPassed(const Surface& s, double ts, double tl);

// Coefficient of variation of the wave envelope (|analytic signal|).
double groupinessFactor(const Surface& s);

// ---- directions ----

struct DirectionStats {
    bool valid = false;
    double mean = 0.0;          // waves from, degrees (true north)
    double significant = 0.0;   // around 1/T1/3 (0.8 to 1.2 times)
    double peak = 0.0;          // around the peak frequency (0.9 to 1.1 times)
    double spread = 0.0;        // circular standard deviation, degrees
    double smax = 0.0;          // cos-2s parameter of the same resultant
    double inRangePercent = 0.0, inRangeHeight = 0.0;
};

struct DirectionInput {
    double fs = 0.0;            // 1 / T1/3
    double rangeFrom = 0.0, rangeTo = 360.0;  // bearings of the waves reaching the coast
    int smoothingPasses = 10;
};

// Direction from the co-spectra of the elevation with the east and north
// currents (any unit; true north), per bin normalised by the smoothed
// ratio sqrt(S_ee / (S_uu + S_vv)), summed over bins 1..lastBin.
DirectionStats waveDirections(const Surface& eta, std::span<const double> east, std::span<const double> north,
                              double fp, const DirectionInput& in);

// ---- the whole burst ----

struct StatsSettings {
    PressureTransfer transfer;   // items 67/0, 99/4, 99/3
    int smoothingPasses = 10;    // item 68 value 2
    double shortPeriod = 0.00001, longPeriod = 100000.0;  // items 97 values 0 and 1
    double minDirectionHeight = 0.15;  // item 67 value 1 (m)
    double rangeFrom = 0.0, rangeTo = 360.0;  // item 67 values 2 and 3
    double levelCorrection = 0.0;      // item 67 value 4 (m)
    double minCurrentSpeed = 0.01;     // item 99 value 5 (m/s)
    double declination = 0.0;         // item 99 value 6, counter-clockwise degrees
    double rotation = 360.0;           // item 79 value 1 (>= 360: the header's bearing)
    bool currentTransform = false;     // "流速値の座標変換" (switch 0x01) or the logger's own flag
    bool windLast10 = false;           // item 99 value 7
};

struct StatsChannel {
    int kind = 0;                          // channel type code
    std::span<const float> values;         // conditioned values (cm, cm/s, ...)
    std::span<const std::int16_t> counts;  // recorded counts (-32768 missing)
    double mean = 0.0;                     // burst mean of the values before any trend came out
    double factor = 0.0;                   // value per count
    int spikes = 0;                        // samples the spike filter took out
};

struct BurstInput {
    const MeasurementHeader* header = nullptr;
    double dt = 0.5;
    std::vector<StatsChannel> channels;
    StatsSettings settings;
};

// Recorded current X/Y (after the calibration) turned to east/north of
// true north.  A logger records magnetic east and north (its compass turns
// the sensor's axes) unless bit 0x20 ("XY") of measureCondition says it
// kept the sensor's axes; then, with the coordinate transformation on, the
// sensor's signs are put right (X negated unless bit 0x80, Y negated; the
// calibration does it when the transformation is off) and the axes turned
// by the rotation setting (or the header's mean bearing when that is 360
// or more, 0 when both are).  Then the declination (counter-clockwise
// degrees) takes magnetic to true.
struct CurrentAxes {
    double signX = 1.0, signY = 1.0;
    double angle = 0.0;  // degrees: east = X cos a + Y sin a, north = -X sin a + Y cos a
};
CurrentAxes currentAxes(const StatsSettings& s, const MeasurementHeader& h);

// Every computable result code of the burst.
std::map<int, double> computeBurstStatistics(const BurstInput& in);

}  // namespace varenta
