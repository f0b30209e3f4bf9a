#pragma once
// The burst statistics' view of the processing program: the settings they
// read and the measurement on display turned into their input.
#include "common/channeltable.h"
#include "common/settings.h"
#include "tolv/data/dataset.h"
#include "tolv/spectra/spectraadapter.h"
#include "tolv/spectra/wavestats.h"

#include <map>

namespace varenta {

// Items 67 values 0 to 4, 68 value 2, 79 value 1, 97 values 0 and 1, 99
// values 3 to 7, and the coordinate transformation of currents as the
// conditioning takes it.
StatsSettings statsSettingsFrom(const Settings& s, const RuntimeState& state);

// The conditioned values, recorded counts, burst means, factors and spike
// counts of the measurement on display.  The spans point into d.
BurstInput burstInputFrom(const DataSet& d, const ConditionedRecord& rec, const ChannelTable& table,
                          const Settings& s, const RuntimeState& state);

// The statistics of the measurement on display (empty without samples).
std::map<int, double> dataSetStatistics(const DataSet& d, const ConditionedRecord& rec, const ChannelTable& table,
                                        const Settings& s, const RuntimeState& state);

}  // namespace varenta
