#pragma once
// The estimators' inputs: the parameter file ("emep2.ini" or "bayes2.ini",
// made by the processing program from the shipped templates "emep2.org" and
// "bayes2.org") and the ten command-line arguments.
//
// Fields sit at fixed 1-based columns.  The processing program writes the
// fields of the measurement (machine number, sensor count and list, sample
// count, sample interval, depth, gauge elevations); the fields the
// estimator alone uses (number of directions and frequencies, frequency
// band, smoothing, model limits) are template values the program copies
// unchanged.  Every field is documented on its template line.
#include "tools/estimators/directional.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varenta::est {

enum class Method { Emep, Bdm };

// The field of a line at 1-based column `col`, `width` characters (fewer
// when the line is shorter), blanks removed at both ends.
std::string fieldAt(std::string_view line, int col, int width);
// A whole field read as a number: nullopt when blank; false (with why set)
// when it holds anything but one decimal number.
bool numberField(std::string_view line, int col, int width, std::optional<double>& out);

// The settings the estimator alone uses.
struct EstimatorSettings {
    int nd = 72;                 // number of directions
    int nf = 31;                 // number of frequencies
    double fmin = 0.04;          // Hz
    double fmax = 0.34;          // Hz (kept below the Nyquist frequency)
    int smoothing = 9;           // raw frequency bins averaged per output frequency
    int maxOrder = 6;            // emep2: largest number of harmonics tried
    double headScale = 1.0248;   // recorded pressure head per metre of water
    double gainLimit = 12.0;     // largest amplification of the pressure record
    double minValidShare = 0.9;  // share of valid samples a sensor needs
    std::optional<double> currentAboveGauge;  // current meter above the pressure gauge, m
    BdmSettings bdm;
};

// One sensor named by the parameter file.
struct ChannelEntry {
    int channel = 0;        // 1-based channel number in the measurement
    // bayes2 channel lines (read for current channels only): the axis of the
    // component in degrees from the X axis toward Y, its inclination from
    // the vertical and a factor on the recorded value; lineError says why
    // the line could not be read.
    std::optional<double> azimuth, inclination;
    double gain = 1.0;
    std::string lineError;
};

struct ParameterFile {
    Method method = Method::Emep;
    int machineNumber = 0;
    std::vector<ChannelEntry> channels;
    std::optional<int> samples;          // emep2: n
    double dt = 0.0;                     // s
    double depth = 0.0;                  // h, m
    std::optional<double> gaugeHeight;   // bayes2: z, m above the bed
    std::optional<double> pressureElevation;  // emep2: -(h - z)
    std::optional<double> currentElevation;   // emep2: -(h - z) + 0.1
    bool levelReference = false;         // emep2 T5 columns 56-60: 4 = the level gives S(f)
    EstimatorSettings settings;
};

// Parses the lines of a parameter file; false with a one-line reason.
bool parseEmepParameters(const std::vector<std::string>& lines, ParameterFile& out, std::string& why);
bool parseBdmParameters(const std::vector<std::string>& lines, ParameterFile& out, std::string& why);
bool parseParameters(Method method, const std::vector<std::string>& lines, ParameterFile& out, std::string& why);

// The ten arguments: year month day hour minute n C start options datafile.
struct CommandLine {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    int samples = 0;
    int channels = 0;
    long long start = 1;   // 1-based byte position of the measurement
    long long options = 0; // directional-spectrum options word
    std::string dataFile;  // quotes removed
    bool includeLevel() const { return (options & 0x08) != 0; }
};

// Reads the arguments (without the program name).  A data file path split
// at blanks by the caller is joined again; surrounding double quotes are
// removed.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& why);

}  // namespace varenta::est
