#pragma once
// The directional spectrum estimators' side of the processing program: the
// parameter files "bayes2.ini" and "emep2.ini" filled in from their
// templates, the ten command-line arguments, the rotated copy of the
// measurement "DirSpec.tmp", and the run of the estimator through the
// process seam with its bounded wait and forced stop.
#include "common/appstate.h"
#include "common/process.h"
#include "common/progress.h"
#include "common/settings.h"
#include "common/status.h"
#include "tolv/data/dataset.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varenta {

// Texts of the directional spectrum shown in the Status panel.
namespace dirtext {
inline constexpr const char* kComputing = "方向スペクトル計算中 ";
inline constexpr const char* kEnded = "方向スペクトル計算終了";
inline constexpr const char* kCannot = "方向スペクトル計算不可";
inline constexpr const char* kNotPrepared = "          ";
}  // namespace dirtext

// Start flags (command-line field 1) of the directional spectrum.
namespace dirflag {
constexpr std::uint32_t kBayes = 0x2000;       // bayes2 instead of emep2
constexpr std::uint32_t kDatedCopy = 0x800;    // keep a dated copy of "nr40g.txt"
constexpr std::uint32_t kAlwaysEstimate = 0x80000;  // estimate again even for the same measurement
}  // namespace dirflag

// Bits of the directional-spectrum options word (item 85 value 5) read here.
namespace diroption {
constexpr std::uint32_t kNoSummary = 0x20;  // "nr40r.txt" is not written
}  // namespace diroption

// File names in the program folder.
inline constexpr const char* kDirSpecTmp = "DirSpec.tmp";
inline constexpr const char* kEstimatorOutput = "nr40g.txt";
inline constexpr const char* kDirectionalSummary = "nr40r.txt";

// Everything the parameter files and the command line are made of.
struct EstimatorInput {
    bool bayes = false;        // bayes2 (start flag 0x2000), else emep2
    std::int64_t measurement = 1;        // m
    std::uint64_t startOffset = 0;       // byte offset of the measurement in the master file
    int sectors = 1;                     // S
    int samples = 0;                     // n, per channel
    double dt = 0.5;                     // s
    int machineNumber = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;  // year two-digit as recorded
    std::vector<std::uint8_t> kindBytes;  // per channel of the channel list (C = size)
    std::array<std::uint8_t, 9> slotBytes{};  // the nine recorded channel slots of the header
    double depth = 0;            // h
    double gaugeHeight = 0.0001; // z
    std::uint32_t options = 0;   // directional-spectrum options word
    std::array<std::string, 8> groups{};  // item 69 values 0..7: array-sensor group numbers
    bool transform = false;      // coordinate transformation of currents
    int windowStyle = 0;         // item 96 value 3
    int waitTenths = 0;          // item 69 value 6
    std::string masterPath;
    std::string programFolder;

    int channelCount() const { return static_cast<int>(kindBytes.size()); }
    bool ultrasonic() const { return (options & switch2::kUltrasonic) != 0; }
};

// Writes text right-aligned into columns first..first+width-1 (1-based)
// of line: ten blanks in front, the rightmost width characters.  False
// when the line is shorter than the field's last column.
bool putField(std::string& line, int first, int width, const std::string& text);

// k: the active array-sensor entries among the nine recorded slots.
int arraySensorCount(const std::array<std::uint8_t, 9>& slots);
// The bayes2 channel list L (1-based channel numbers, at most 30).
std::vector<int> bayesChannelList(const EstimatorInput& in);

// The parameter file's lines from the template's lines (at most 12).
// DataFormat for a template with too few or too many lines, or a line
// shorter than a field written into it; out is then untouched.
Status buildBayesParameters(const EstimatorInput& in, const std::vector<std::string>& tmpl,
                            std::vector<std::string>& out);
Status buildEmepParameters(const EstimatorInput& in, const std::vector<std::string>& tmpl,
                           std::vector<std::string>& out);

// The ten arguments: year, month, day, hour, minute, n, C, start position,
// options word, data file (the master file, or "DirSpec.tmp" of the
// program folder with the transformation on).
std::vector<std::string> estimatorArguments(const EstimatorInput& in);
// "bayes2"/"emep2" in the program folder, with ".exe" when that file exists.
std::string estimatorProgram(const EstimatorInput& in);

// The rotation of DirSpec.tmp in radians: item 79 value 1, else the
// header's average bearing, else 0.
double rotationRadians(double setting, int meanBearing);
// The rotated pair of one sample row: current X and Y turned into east and
// north by the angle t.  Recorded with reversed signs (bit 5 of the
// measurement-condition byte) the pair goes through the logger's sign
// pattern (bit 7: X keeps its sign); otherwise it is a plain turn.  A pair
// with a missing member stays as it was; results saturate at +-32767.
void rotatePair(std::int16_t& x, std::int16_t& y, double t, std::uint8_t measureCondition);

// Writes "DirSpec.tmp": the measurement's sectors with the current pair of
// every sample row rotated and each sector's check byte made again.  The
// file is replaced as a whole (temporary name, rename).  NotFound when
// the measurement cannot be read in full, Refused without a current X
// channel followed by another channel.
Status writeRotatedMeasurement(const EstimatorInput& in, double rotationSetting, int meanBearing,
                               std::uint8_t measureCondition);

// The estimator run: parameter file, start, status texts, bounded wait,
// forced stop.  status receives the texts for the Status panel; serve is
// called once after the start.  The program reads "nr40g.txt" afterwards.
void runDirectionalEstimator(const EstimatorInput& in, ProcessRunner& runner, const Progress& progress,
                             const std::function<void(const std::string&)>& status);

// The input of the measurement on display; channel0Mean is the converted
// mean of channel 0 (cm of water), which gives the water depth.
EstimatorInput estimatorInputFrom(const DataSet& d, const Settings& s, const RuntimeState& state,
                                  const StartOptions& start, const std::string& programFolder,
                                  bool transform, double channel0Mean);

}  // namespace varenta
