#pragma once
// The results record step of the processing run (Bcalculate, Mcalculate,
// MPcalculate): TakeResultsRecord and StoreResultsRecord on the measurement
// on display, then the results table follows the stored record (the whole
// table when the file was created, from the first new record when the file
// grew by more than one, else the measurement's line), and with start flag
// 0x20000 the record goes to the serial output.
//
//     auto records = attachResultsRecordStep(window);
//     records->sendRecord = ...;  // when the serial output exists
#include "tolv/data/ui/viewregistry.h"
#include "tolv/spectra/resultsrecord.h"

#include <functional>
#include <memory>
#include <string>

namespace varenta {

class ShellServices;

// Order among the processing steps: after the long-period filter (5),
// before the power spectrum (40).
constexpr int kResultsRecordStepOrder = 10;

struct ResultsRecordPart {
    ResultsRecordState state;
    // The serial output of a stored record (start flag 0x20000); empty while
    // the program has none.
    std::function<void(const std::string& record)> sendRecord;
    StoreOutcome last;  // the outcome of the last step
};

// One run of the step on the measurement on display.
StoreOutcome runResultsRecordStep(ShellServices& shell, ResultsRecordPart& part);

// Registers the step with the shell's processing hooks.
std::shared_ptr<ResultsRecordPart> attachResultsRecordStep(ShellServices& shell);

}  // namespace varenta
