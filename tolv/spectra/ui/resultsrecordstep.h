#pragma once
// The results record step of the processing run (Bcalculate, Mcalculate,
// MPcalculate): TakeResultsRecord and StoreResultsRecord on the measurement
// on display, then the results table follows the stored record (the whole
// table when the file was created, from the first new record when the file
// grew by more than one, else the measurement's line), and with start flag
// 0x20000 the record goes to the serial output.
//
// With the switch "波浪統計を計算する" (second switch word bit 0x40) the
// statistics of the burst are computed by a step of their own ahead of the
// long-period filter (so that they see the record as loaded) and the
// record carries them; without it the values stay 0 and the user is told.
//
//     auto records = attachResultsRecordStep(window, spectra.state);
//     records->sendRecord = ...;  // when the serial output exists
#include "tolv/data/ui/viewregistry.h"
#include "tolv/spectra/resultsrecord.h"

#include <functional>
#include <memory>
#include <string>

namespace varenta {

class ShellServices;

// Order among the processing steps: after the long-period filter (5),
// before the power spectrum (40); the statistics before the filter.
constexpr int kResultsRecordStepOrder = 10;
constexpr int kStatisticsStepOrder = 4;

struct SpectralState;

struct ResultsRecordPart {
    ResultsRecordState state;
    // The serial output of a stored record (start flag 0x20000); empty while
    // the program has none.
    std::function<void(const std::string& record)> sendRecord;
    StoreOutcome last;  // the outcome of the last step
    // The conditioning's record (spike counts); may be empty.
    std::shared_ptr<SpectralState> spectral;
    // The statistics of measurement statisticsOf (0: none).
    ResultValues statistics;
    long long statisticsOf = 0;
};

// Whether the statistics are computed (second switch word bit 0x40).
bool statisticsSwitchOn(ShellServices& shell);

// The statistics step: the statistics of the measurement on display (its
// samples read first; a record the long-period filter changed before is
// read again), kept in the part.
void runStatisticsStep(ShellServices& shell, ResultsRecordPart& part);

// One run of the step on the measurement on display.
StoreOutcome runResultsRecordStep(ShellServices& shell, ResultsRecordPart& part);

// Registers both steps with the shell's processing hooks.
std::shared_ptr<ResultsRecordPart> attachResultsRecordStep(ShellServices& shell,
                                                           std::shared_ptr<SpectralState> spectral = nullptr);

}  // namespace varenta
