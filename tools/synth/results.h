#pragma once
// Results records of generated bursts: which result item stands at which of
// the 64 positions of a record (the selection list of the settings), and the
// value each result code takes for a burst.
#include "common/masterfile.h"
#include "common/status.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace varenta {
class Settings;
}

namespace varenta::synth {

// Wave statistics of one burst (from the true surface elevation and the
// generated channels).
struct BurstStatistics {
    double hm0 = 0.0;            // 4 sqrt(m0) of the elevation record, m
    double hm0Level = 0.0;       // the same from the ultrasonic level record (0 without one)
    double hmax = 0.0, tHmax = 0.0;      // highest zero-up-crossing wave, m and s
    double h10 = 0.0, t10 = 0.0;         // mean of the highest tenth
    double h3 = 0.0, t3 = 0.0;           // significant wave (highest third)
    double hmean = 0.0, tmean = 0.0;     // mean zero-up-crossing wave
    int waves = 0;                        // number of zero-up-crossing waves
    double tm01 = 0.0, tm02 = 0.0;       // spectral periods of the realisation, s
    double peakPeriod = 0.0;             // period of the largest-energy band, s
    double meanDirection = 0.0;          // energy-weighted mean wave direction (from), degrees
    double depth = 0.0;                  // mean water depth during the burst, m
    double currentSpeed = 0.0;           // mean current speed, cm/s
    double currentDirection = 0.0;       // mean current toward, degrees
    double temperature = 0.0;            // mean water temperature, degrees C
    double windSpeed = 0.0, windDirection = 0.0;  // mean wind, m/s and from-degrees
    double bearing = 0.0;                // mean compass bearing, degrees
};

// The quantity a result code stands for, as far as the generator fills it.
enum class ResultQuantity {
    None,            // left as "-----"
    RunningNumber,   // the measurement number
    RecordStatus,    // 0 for a generated record
    Hmax, THmax, H10, T10, H3, T3, Hmean, Tmean, Waves,
    Hm0, Hm0Level, Tm01, Tm02, PeakPeriod, WaveDirection,
    Depth, CurrentSpeed, CurrentDirection, Temperature, WindSpeed, WindDirection, Bearing,
};

struct ResultMeaning {
    ResultQuantity quantity = ResultQuantity::None;
    const char* mask = "";  // format mask of the value (common/format.h)
};

// The meaning of a result code (codes of the shipped "tolvg.org").
ResultMeaning resultMeaning(int code);

// Position map of a results record: entry c is the result code stored at
// position c (entries 0..64 are read, 0..63 are the record's items).
struct ResultLayout {
    std::array<int, 65> codes{};

    // The layout of the shipped "tolvi.org" (item 165 value 1).
    static ResultLayout defaults();
    // A selection list: three-digit codes, entry i at characters 3i+1..3i+3.
    // Entries past the end of the text are -1 (unused); nullopt when an entry
    // present is not a number.
    static std::optional<ResultLayout> parse(std::string_view list);
    // Item `item` value 1 of loaded settings (165, or 166 for the alternate set).
    static std::optional<ResultLayout> fromSettings(const Settings& settings, int item = 165);

    // Position of a code among entries 0..63, -1 when absent.
    int positionOf(int code) const;
};

// Composes the results record of a raw-data burst: positions 0 to 3 hold the
// interval and duration, the year, month/day and hour:minute; the other
// positions the value of their code (running number, statistics), "-----"
// for codes without a value.
std::string composeResultsRecord(const ResultLayout& layout, const HeaderFields& header,
                                 const BurstStatistics& stats);

// The record of a measurement that is missing from the file: the empty
// record with its running number.
std::string numberedEmptyRecord(const ResultLayout& layout, std::uint32_t measurementNumber);

// Writes the running number into a record at the layout's number position
// (6 characters, using the group separator, when that position opens a group).
void setRunningNumber(std::string& record, const ResultLayout& layout, std::uint32_t number);

}  // namespace varenta::synth
