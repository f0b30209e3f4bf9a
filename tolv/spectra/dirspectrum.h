#pragma once
// The directional spectrum of the measurement on display: "nr40g.txt" as
// the estimator writes it, its peaks and characteristic directions, the
// summary "nr40r.txt", the dated copy, and the loader that runs the
// estimator when the measurement has changed.
#include "common/process.h"
#include "common/progress.h"
#include "common/status.h"
#include "tolv/spectra/direstimator.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varenta {

// The value of an angle that could not be formed.
constexpr double kNoAngle = 9999;

// The estimator's output: densities row by row, density(i, j) for
// frequency i = 1..nf and direction j = 1..nd; direction j stands for
// (j - 1) x 360 / nd degrees.
struct DirectionalSpectrum {
    int nf = 0, nd = 0;
    std::vector<float> frequency;  // [i - 1]
    std::vector<float> density;    // [(i - 1) * nd + (j - 1)]

    float at(int i, int j) const
    {
        return density[static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(nd) + static_cast<std::size_t>(j - 1)];
    }
    bool complete() const
    {
        return nf > 0 && nd > 0 && frequency.size() == static_cast<std::size_t>(nf) &&
               density.size() == static_cast<std::size_t>(nf) * static_cast<std::size_t>(nd);
    }
};

// Limits of what is read: a header beyond them is a format error, never a
// huge allocation.
constexpr int kMaxFrequencies = 4096;
constexpr int kMaxDirections = 3600;

// Reads the lines of "nr40g.txt": line 1 columns 41-45 nf and 46-50 nd, then
// per frequency a line with the frequency in columns 1-12 and ceil(nd / 6)
// lines of six 12-column densities.  DataFormat on "NaN", a short line (fewer
// fields than the densities left for its frequency), a missing line or an
// unreadable number; out then holds what was read before.
Status parseDirectionalSpectrum(const std::vector<std::string>& lines, DirectionalSpectrum& out);
// The same from a file's bytes (CR LF or LF lines).
Status parseDirectionalSpectrumBytes(std::string_view bytes, DirectionalSpectrum& out);

struct SpectralPeak {
    float value = 0;
    int direction = 1;  // index 1..nd
    int frequency = 1;  // index 1..nf
};

struct DirectionalAnalysis {
    std::vector<SpectralPeak> peaks;  // largest first; at least one entry
    float largest = 0;                // the largest density
    int largestDirection = 1, largestFrequency = 1;
    int energyDirection = 1;          // direction with the largest sum over frequencies
    std::vector<double> directionSums;  // E_j, [j - 1]
    double peakAngle = kNoAngle;      // declination-corrected degrees
    double energyAngle = kNoAngle;
    double meanAngle = kNoAngle;
};

// (index - 1) x 360 / nd, brought below 360.
double directionAngle(int index, int nd);
// The declination D (counter-clockwise) taken off an angle: a - D, then
// into [0, 360) with angles from 359.5 on becoming slightly negative.
double correctDeclination(double angle, double declination);
// half = nd / 2, ties to even.
int halfDirections(int nd);

// Peaks (threshold a quarter of the largest density, strictly above the
// eight neighbours with the directions wrapping, at most maxPeaks held in
// direction-major order, sorted largest first, entry 0 the largest
// density) and the three angles.  The mean direction is the energy-weighted
// circular mean of the direction sums; it stays kNoAngle when they are all
// 0.  spectrum must be complete.
DirectionalAnalysis analyseDirectionalSpectrum(const DirectionalSpectrum& spectrum, int maxPeaks, double declination);

// Lines of "nr40r.txt": mean and energy direction, then per peak its
// direction, period and density, each field 6 characters.
std::vector<std::string> directionalSummaryLines(const DirectionalSpectrum& spectrum, const DirectionalAnalysis& a,
                                                 double declination);

// The dated copy's name ("NR012-2026-1206-1030dg.txt").
std::string datedDirectionalName(const std::string& prefix, int machineNumber, int year, int month, int day,
                                 int hour, int minute);

// What the loader needs besides the estimator input.
struct DirectionalRequest {
    EstimatorInput estimator;
    std::int64_t measurement = 0;
    std::uint32_t startFlags = 0;
    int maxPeaks = 5;           // item 99 value 0
    double declination = 0;     // item 99 value 6
    double rotationSetting = 360;  // item 79 value 1
    int meanBearing = 0;
    std::uint8_t measureCondition = 0;
    std::string prefix;         // {pp}
    std::string titleText;      // item 85 value 0
};

// The loader: keeps the spectrum of the last measurement estimated.
class DirectionalLoader {
public:
    // 0 when the spectrum in memory belongs to the measurement (read now or
    // before), 1 when the estimation or the reading failed.  A failed run is
    // not remembered as loaded: the next call estimates again.
    int load(const DirectionalRequest& req, ProcessRunner& runner, const Progress& progress,
             const std::function<void(const std::string&)>& status);
    // Forget the loaded spectrum (a new data set).
    void reset() { loaded_ = false; }

    bool loaded() const { return loaded_; }
    std::int64_t lastMeasurement() const { return last_; }
    const DirectionalSpectrum& spectrum() const { return spectrum_; }
    const DirectionalAnalysis& analysis() const { return analysis_; }
    const std::string& title() const { return title_; }

private:
    bool loaded_ = false;
    std::int64_t last_ = -1;
    DirectionalSpectrum spectrum_;
    DirectionalAnalysis analysis_;
    std::string title_;
};

}  // namespace varenta
