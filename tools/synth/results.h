#pragma once
// Results records of generated bursts: which result item stands at which of
// the 64 positions of a record (the selection list of the settings), the
// statistics of a burst, and the value and format each result code takes.
#include "common/masterfile.h"
#include "common/status.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varenta {
class Settings;
class ResultItemTable;
}

namespace varenta::synth {

// Zero-up-crossing and moment statistics of one surface record.
struct WaveStatistics {
    bool valid = false;
    double hmax = 0.0, tHmax = 0.0;  // highest wave, m and s
    double h10 = 0.0, t10 = 0.0;     // mean of the highest tenth
    double h3 = 0.0, t3 = 0.0;       // significant wave (highest third)
    double hmean = 0.0, tmean = 0.0; // mean wave
    int waves = 0;                   // zero-up-crossing waves
    double hm0 = 0.0;                // 4 sqrt(m0)
    double rms = 0.0;                // standard deviation of the surface, m
    double skewness = 0.0, kurtosis = 0.0;
    double crest = 0.0, trough = 0.0;  // of the highest wave, from the mean level
    double meanRun = 0.0;            // mean run of successive waves above H1/3
    double depth = 0.0;              // mean water depth seen by the sensor, m
    double levelChange = 0.0;        // trend of the mean level over the burst, m
};

// Statistics of one recorded channel, in counts (valid samples only).
struct ChannelStatistics {
    double mean = 0.0, max = 0.0, min = 0.0, sd = 0.0, median = 0.0;
    double slope = 0.0;  // counts per minute
    int missing = 0, spikes = 0;
};

// Everything a results record of a generated burst can report.
struct BurstStatistics {
    // Compatibility view of the surface record (pressure-type statistics).
    double hm0 = 0.0;       // 4 sqrt(m0) of the true surface elevation, m
    double hm0Level = 0.0;  // the same from the ultrasonic level record (0 without one)
    double hmax = 0.0, tHmax = 0.0, h10 = 0.0, t10 = 0.0, h3 = 0.0, t3 = 0.0, hmean = 0.0, tmean = 0.0;
    int waves = 0;

    WaveStatistics surface;  // from the surface elevation under the gauge (pressure-type items)
    WaveStatistics level;    // from the ultrasonic level record (valid with a level channel)
    bool pressureRecorded = false;

    // Spectral and directional figures of the realisation (its components).
    double tm01 = 0.0, tm02 = 0.0, peakPeriod = 0.0;
    double epsilon = 0.0, qp = 0.0;
    double meanDirection = 0.0;         // energy-weighted mean direction, from, degrees
    double significantDirection = 0.0;  // the same around the significant period
    double spreadAngle = 0.0;           // circular standard deviation, degrees
    double smax = 0.0;                  // cos-2s parameter of the directional spread
    double inRangePercent = 0.0, inRangeHeight = 0.0;  // waves from the coast's bearing range

    double depth = 0.0;  // mean water depth during the burst, m

    bool currentRecorded = false;
    double currentEast = 0.0, currentNorth = 0.0;  // cm/s
    double currentSpeed = 0.0;                     // cm/s, vector mean
    double currentDirection = 0.0;                 // toward, degrees
    double currentMax = 0.0;                       // cm/s
    double currentSdEast = 0.0, currentSdNorth = 0.0;

    bool windRecorded = false;
    double windSpeed = 0.0, windDirection = 0.0;  // scalar mean m/s; vector-mean direction from
    double windMax10 = 0.0, windMax10Direction = 0.0;  // highest 10 s mean
    double windGust = 0.0, windGustDirection = 0.0;    // highest 3 s mean
    double windLast10 = 0.0, windLast10Direction = 0.0;  // last 10 minutes
    double windSd = 0.0;

    bool temperatureRecorded = false;
    double temperature = 0.0, temperatureMin = 0.0, temperatureMax = 0.0;
    bool bearingRecorded = false;
    double bearing = 0.0;  // mean compass bearing, degrees

    int missingSamples = 0;
    int spikes = 0;
    double levelMissingPercent = 0.0;
    std::vector<ChannelStatistics> channels;  // per recorded channel, slot order
};

// Position map of a results record: entry c is the result code stored at
// position c (entries 0..64 are read, 0..63 are the record's items), and the
// number pattern of each code (value 0 of the result-item table).
struct ResultLayout {
    std::array<int, 65> codes{};
    std::map<int, std::string> patterns;  // code -> pattern; codes without one use the shipped pattern

    // The layout of the shipped settings (item 165 value 1) and patterns.
    static ResultLayout defaults();
    // A selection list: three-digit codes, entry i at characters 3i+1..3i+3.
    // Entries past the end of the text are -1 (unused); nullopt when an entry
    // present is not a number.
    static std::optional<ResultLayout> parse(std::string_view list);
    // Item `item` value 1 of loaded settings (165, or 166 for the alternate set).
    static std::optional<ResultLayout> fromSettings(const Settings& settings, int item = 165);
    // Takes the number patterns of a loaded result-item table.
    void usePatterns(const ResultItemTable& table);

    // Position of a code among entries 0..63, -1 when absent.
    int positionOf(int code) const;
    // The pattern of a code (layout's own, else the shipped one, else "").
    std::string patternOf(int code) const;
};

// The shipped number pattern of a result code ("" when the generator has none).
std::string shippedPattern(int code);

// The value of a result code for a burst (nullopt: the generator has none).
std::optional<double> resultValue(int code, const HeaderFields& header, const BurstStatistics& stats);

// Composes the results record of a raw-data burst: positions 0 to 3 hold the
// interval and duration, the year, month/day and hour:minute; the other
// positions the value of their code in its pattern (6 characters wide at the
// start of a group), the 16-point name of a direction in the field paired
// with it, the running number; "-----" for codes without a value.
std::string composeResultsRecord(const ResultLayout& layout, const HeaderFields& header,
                                 const BurstStatistics& stats);

// The record of a measurement that is missing from the file: the empty
// record with its running number.
std::string numberedEmptyRecord(const ResultLayout& layout, std::uint32_t measurementNumber);

// Writes the running number into a record at the layout's number position
// (6 characters, using the group separator, when that position opens a group).
void setRunningNumber(std::string& record, const ResultLayout& layout, std::uint32_t number);

}  // namespace varenta::synth
