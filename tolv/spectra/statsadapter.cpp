#include "tolv/spectra/statsadapter.h"

#include <algorithm>

namespace varenta {

StatsSettings statsSettingsFrom(const Settings& s, const RuntimeState& state)
{
    StatsSettings st;
    st.transfer.gaugeHeight = s.real(67, 0);
    st.transfer.density = s.real(99, 4) > 0.0 ? s.real(99, 4) : 1.0;
    st.transfer.factorLimit = s.real(99, 3) > 0.0 ? s.real(99, 3) : 12.0;
    st.smoothingPasses = static_cast<int>(std::clamp<long long>(s.integer(68, 2), 0, 1000));
    st.shortPeriod = shortPeriodLimit(s.value(97, 0));
    st.longPeriod = longPeriodLimit(s.value(97, 1));
    st.minDirectionHeight = s.real(67, 1);
    st.rangeFrom = s.real(67, 2);
    st.rangeTo = s.isBlank(67, 3) ? 360.0 : s.real(67, 3);
    st.levelCorrection = s.real(67, 4);
    st.minCurrentSpeed = s.real(99, 5);
    st.declination = s.real(99, 6);
    st.rotation = s.isBlank(79, 1) ? 360.0 : s.real(79, 1);
    st.windLast10 = s.trimmed(99, 7) == "1";
    st.currentTransform = conditioningSettingsFrom(s, state).currentTransform;
    return st;
}

BurstInput burstInputFrom(const DataSet& d, const ConditionedRecord& rec, const ChannelTable& table,
                          const Settings& s, const RuntimeState& state)
{
    BurstInput in;
    in.header = &d.header;
    in.dt = d.header.sampleInterval();
    in.settings = statsSettingsFrom(s, state);
    for (std::size_t c = 0; c < d.values.size(); ++c) {
        StatsChannel ch;
        ch.kind = c < d.header.channels.size() ? d.header.channels[c] : 0;
        ch.values = d.values[c];
        if (c < d.rawCounts.size())
            ch.counts = d.rawCounts[c];
        ch.mean = c < d.channelMeans.size() ? d.channelMeans[c] : (c < rec.stats.size() ? rec.stats[c].mean : 0.0);
        ch.factor = table.factor(ch.kind);
        ch.spikes = c < rec.spikesRemoved.size() ? rec.spikesRemoved[c] : 0;
        // A channel the conditioning could not fill has no values.
        if (!ch.values.empty() && ch.values.front() == kMissingValue)
            ch.values = {};
        in.channels.push_back(ch);
    }
    return in;
}

std::map<int, double> dataSetStatistics(const DataSet& d, const ConditionedRecord& rec, const ChannelTable& table,
                                        const Settings& s, const RuntimeState& state)
{
    // Statistics need the conditioned values with their burst means.
    if (!dataSetHasSamples(d) || d.values.empty() || d.channelMeans.size() != d.values.size())
        return {};
    return computeBurstStatistics(burstInputFrom(d, rec, table, s, state));
}

}  // namespace varenta
