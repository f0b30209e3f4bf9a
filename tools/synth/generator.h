#pragma once
// The synthetic data generator: a sea state turned into bursts of a logger's
// channels (pressure, current X/Y, ultrasonic level, compass, temperature,
// wind, array pressure sensors), quantised to recorded counts, packed into
// measurement sectors with valid headers and checksums, and written as a
// master file pair with a results file of matching records.
//
// Typical use in a test:
//
//     synth::GeneratorOptions o;
//     o.sea.hm0 = 1.5; o.sea.tp = 8;
//     o.plan.bursts = 48;
//     synth::MasterPairInfo info;
//     ASSERT_EQ(synth::writeMasterPair(dir, "NR012", o, &info), Status::Ok);
//     // dir/NR012M.H10 and dir/NR012L.H10
//
// A burst is fully determined by the options and its measurement number, so
// generateBurst(o, m) gives the very samples that writeMasterPair stored for
// measurement m.
#include "common/channeltable.h"
#include "common/clock.h"
#include "common/masterfile.h"
#include "common/status.h"
#include "tools/synth/results.h"
#include "tools/synth/waves.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace varenta::synth {

// Channel type codes the generator can produce.
namespace code {
constexpr int pressure = 1;
constexpr int currentX = 2;
constexpr int currentY = 3;
constexpr int level = 4;       // ultrasonic water level
constexpr int compass = 5;
constexpr int temperature = 6;
constexpr int windX = 7;
constexpr int windY = 8;
constexpr int pressure2 = 12;  // a second pressure sensor type, same place as code 1
constexpr int array0 = 48;     // array pressure sensors 48..51
constexpr int array3 = 51;
}  // namespace code

bool isSupportedChannel(int code);

// Counts-to-physical factors per channel code (value 2 of "tolvf.org") and
// the unit the generator produces for each code before dividing by the factor.
struct ChannelFactors {
    std::map<int, double> factor;
    // The shipped table's factors (kept equal to data/tolvf.org).
    static ChannelFactors defaults();
    // Factors of a loaded table; codes the table does not define keep the defaults.
    static ChannelFactors fromTable(const ChannelTable& table);
    double of(int code) const;
};

// Physical unit of a channel's values (what factor * count gives):
// centimetres of water head (pressure, level, array), centimetres per second
// (current), degrees (compass), degrees C (temperature), metres per second (wind).
const char* channelUnit(int code);

enum class Fidelity {
    Full,      // SynthesisSettings as given (many components)
    Cheap,     // a handful of deterministic components: for large index fixtures
    Constant,  // no waves: every sample holds the burst's mean values
};

// The measurement schedule and the logger.
struct BurstPlan {
    int bursts = 24;                 // schedule slots; gaps count as slots
    int durationMinutes = 20;        // 1..60
    int intervalMinutes = 60;        // 1..255
    int intervalCode = 1;            // sample interval code 0..3 (1.0, 0.5, 0.2, 0.1 s)
    std::vector<int> channels{code::pressure, code::currentX, code::currentY};  // slot order, at most 9
    int machineNumber = 12;
    int modelCode = 60;
    std::uint32_t firstMeasurementNumber = 1;
    DateTime start{2026, 5, 6, 10, 0, 0};  // start of the first slot
    int cardMegabytes = 2048;        // SD card size for the usage field
    // Template for the remaining header fields (voltages, option flags,
    // program number, extended block ...).  The generator overwrites the
    // schedule, date and time, numbers, addresses, channel slots, means and
    // the sample-interval bits of measureCondition.
    HeaderFields header = defaultHeaderTemplate();
    static HeaderFields defaultHeaderTemplate();
};

// Faults injected into the recorded counts and the file.
struct FaultOptions {
    double missingFraction = 0.0;    // share of samples replaced by -32768
    int spikesPerBurst = 0;          // spikes per channel and burst
    double spikeSize = 2000.0;       // spike amplitude in counts (sign random)
    std::set<std::uint32_t> gaps;    // measurement numbers never recorded (their sectors stay zero)
    double gapFraction = 0.0;        // further measurements dropped at random
    bool allResultsOnly = false;     // every burst a results-only sector (kind 6)
    std::set<std::uint32_t> resultsOnly;  // measurement numbers written as results-only sectors
    double noiseCounts = 0.0;        // sensor noise, standard deviation in counts
};

struct GeneratorOptions {
    SeaState sea;
    BurstPlan plan;
    SynthesisSettings synthesis;
    Fidelity fidelity = Fidelity::Full;
    FaultOptions faults;
    ChannelFactors factors = ChannelFactors::defaults();
    ResultLayout layout = ResultLayout::defaults();
    std::uint64_t seed = 1;
    bool writeResults = true;        // write the results file
    std::string extension = ".H10";  // of both files
};

// Checks the options; Refused with a message for a plan the format cannot hold.
Status validateOptions(const GeneratorOptions& o, std::string* message = nullptr);

// One burst as generated.
struct Burst {
    std::uint32_t measurementNumber = 0;
    int slot = 0;                     // schedule slot (0-based)
    bool resultsOnly = false;
    HeaderFields header;              // as encoded
    DateTime start;                   // burst start
    double dt = 0.5;                  // sample interval, s
    int samplesPerChannel = 0;
    std::vector<int> channels;        // codes in slot order
    std::vector<WaveComponent> components;  // the wave trains of this burst
    std::vector<double> elevation;    // true surface elevation about the burst's mean level, m
    // Per channel, in channelUnit(), before quantisation and faults; the
    // currents along the record's axes (magnetic east and north, or the
    // sensor's axes with measureCondition bit 0x20, whose counts then carry
    // the sensor's signs).
    std::vector<std::vector<double>> physical;
    std::vector<std::vector<std::int16_t>> counts;  // per channel, as recorded (faults included)
    std::vector<std::pair<int, int>> missing;  // (channel, sample) set to -32768
    std::vector<std::pair<int, int>> spikes;   // (channel, sample) spiked
    BurstStatistics stats;
    std::string resultsRecord;        // 392 bytes, CR LF included

    // Counts in the interleaved order of the sectors.
    std::vector<std::int16_t> interleaved() const;
};

// The measurement number of schedule slot s, and whether it is recorded.
std::uint32_t measurementNumberOfSlot(const GeneratorOptions& o, int slot);
bool isRecorded(const GeneratorOptions& o, std::uint32_t measurementNumber);
bool isResultsOnly(const GeneratorOptions& o, std::uint32_t measurementNumber);

// The header fields of measurement m (no samples needed).
HeaderFields headerFor(const GeneratorOptions& o, std::uint32_t measurementNumber);
// Sectors per measurement of the plan (raw bursts; results-only ones use one).
int sectorsPerMeasurement(const GeneratorOptions& o);

// Generates measurement m (any number, recorded or not).
Burst generateBurst(const GeneratorOptions& o, std::uint32_t measurementNumber);
// The sectors of measurement m: one for a results-only burst.
std::vector<Sector> makeMeasurementSectors(const GeneratorOptions& o, std::uint32_t measurementNumber);
std::vector<Sector> makeMeasurementSectors(const GeneratorOptions& o, const Burst& burst);

// What was written.
struct MasterPairInfo {
    std::string measurementPath;
    std::string resultsPath;
    std::vector<std::uint32_t> recorded;  // measurement numbers written, in order
    std::uint32_t lastNumber = 0;        // highest measurement number of the plan
    int sectorsPerMeasurement = 0;
    std::uint64_t measurementBytes = 0;
    std::uint64_t resultsBytes = 0;
};

// The whole measurement file and results file in memory.
Status makeMasterPair(const GeneratorOptions& o, std::string& measurementBytes, std::string& resultsBytes,
                      MasterPairInfo* info = nullptr);

// Writes folder/<prefix>M<ext> and folder/<prefix>L<ext> (each to a temporary
// name first, then renamed, so that a failure leaves no torn file).
Status writeMasterPair(const std::string& folder, const std::string& prefix, const GeneratorOptions& o,
                       MasterPairInfo* info = nullptr, std::string* message = nullptr);

}  // namespace varenta::synth
