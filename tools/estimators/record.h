#pragma once
// The measurement the estimator works on: its header and samples read from
// the data file at the start position the command line gives (a master
// data file, or the rotated copy "DirSpec.tmp"), and the cross-spectral
// matrices of the chosen sensors.
#include "common/masterfile.h"
#include "tools/estimators/directional.h"

#include <string>
#include <vector>

namespace varenta::est {

struct Measurement {
    MeasurementHeader header;
    std::vector<std::int16_t> interleaved;  // samplesPerChannel * channelCount words, -32768 missing
    bool truncated = false;                 // the file ended inside the measurement
};

// Reads the measurement whose header sector starts at the 1-based byte
// position `start`.  False with a reason when the file cannot be read or
// the sector there is not a valid measurement header.
bool readMeasurement(const std::string& path, long long start, Measurement& out, std::string& why);

// Counts of one channel in physical SI units (metres, metres per second):
// factor * count / 100; missing samples are NaN.
std::vector<double> channelValues(const Measurement& m, int channel, double factor);

// Makes a record analysable: missing samples interpolated linearly between
// their valid neighbours (held at the ends), then the least-squares line
// removed.  Returns the number of valid samples.
int prepareRecord(std::vector<double>& x);

// Cross-spectral densities (one-sided, units^2/Hz) of equally long records
// sampled every dt seconds, averaged over `bins` raw frequency bins
// centred on each requested frequency.
class CrossSpectra {
public:
    CrossSpectra(const std::vector<std::vector<double>>& records, double dt);
    int channels() const { return channels_; }
    double resolution() const { return df_; }
    double nyquist() const { return 0.5 / dt_; }
    CrossSpectrum at(double f, int bins) const;
    // Total autospectrum of a channel over all bins (its variance).
    double variance(int channel) const;

private:
    int channels_ = 0;
    int n_ = 0;
    int bins_ = 0;  // raw bins 0..n/2
    double dt_ = 1.0, df_ = 1.0;
    std::vector<std::vector<std::complex<double>>> spectra_;
};

}  // namespace varenta::est
