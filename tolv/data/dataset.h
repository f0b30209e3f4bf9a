#pragma once
// The open data set of the processing program: the measurement file and its
// results file, the measurement on display, its samples, and the texts of
// the status panels.  One per program run, owned by the application object.
#include "common/masterfile.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace varenta {

constexpr int kLoadStatusRead = 0;
constexpr int kLoadStatusNoData = 3;
constexpr int kDataErrorBadHeader = 16;
constexpr int kModelCodeUnknown = 9999;

// The channels chosen for display (item 79 value 3, character i + 1 = "1"
// shows channel i) with their caption texts (values 0 and 1 of the channel
// definitions, appended one after the other).
struct DisplayChannels {
    std::vector<int> indexes;  // indexes in the channel list
    std::string captions0;
    std::string captions1;
    int count = 0;
};

struct DataSet {
    std::string measurementPath;
    std::string resultsPath;
    bool hasMeasurementFile = false;
    bool hasResultsFile = false;
    std::string filePrefix;
    std::array<int, 8> sectorsPerMeasurement{};  // per file-list entry (item 169)
    std::array<int, 8> graphChannel{};           // channel-list index drawn in graph rows 0..7
    std::int64_t currentNumber = 0;
    std::int64_t latestNumber = 0;
    MeasurementHeader header;
    std::vector<std::vector<std::int16_t>> rawCounts;  // [channel][sample]
    std::vector<std::vector<float>> values;            // [channel][sample]
    std::vector<float> channelMeans;                   // per channel: burst mean of the conversion (empty: not known)
    int loadStatus = kLoadStatusNoData;
    int dataErrorCode = 0;
    DisplayChannels displayChannels;
    std::uint64_t resultsLength = 0;     // bytes of the results file when opened
    std::string previousPath;            // the measurement file open before
    int modelCode = kModelCodeUnknown;   // remembered header version (model code)
    std::int64_t headerOffset = 0;       // file offset of the header on display

    bool isOpen() const { return hasMeasurementFile || hasResultsFile; }
};

// The panels of the main window's status bar that loading writes.
struct StatusPanels {
    std::string mno, sno, dno, date, time, status;
    void clear() { mno.clear(), sno.clear(), dno.clear(), date.clear(), time.clear(), status.clear(); }
};

}  // namespace varenta
