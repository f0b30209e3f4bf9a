#include "tolv/spectra/spectraadapter.h"

#include "common/writebehind.h"


#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace varenta {

namespace {

int positiveOr1(long long v) { return v > 0 ? static_cast<int>(std::min<long long>(v, 1000)) : 1; }

std::uint32_t colourNumber(const Settings& s, int item, int value)
{
    const long long v = s.integer(item, value);
    return v < 0 ? 0u : static_cast<std::uint32_t>(std::min<long long>(v, 0xFFFFFF));
}

// The values of the data set shaped like its counts.
void shapeValues(DataSet& d)
{
    d.values.resize(d.rawCounts.size());
    for (std::size_t c = 0; c < d.rawCounts.size(); ++c)
        d.values[c].resize(d.rawCounts[c].size());
}

// Views of the data set's arrays for the conditioning, carrying the stats
// of rec when it has them.
std::vector<RecordChannel> recordChannels(DataSet& d, const ChannelTable& table, const ConditionedRecord& rec)
{
    shapeValues(d);
    const std::size_t nc = d.rawCounts.size();
    std::vector<RecordChannel> ch(nc);
    for (std::size_t c = 0; c < nc; ++c) {
        ch[c].raw = d.rawCounts[c];
        ch[c].x = d.values[c];
        ch[c].kind = c < d.header.channels.size() ? d.header.channels[c] : 0;
        ch[c].factor = static_cast<float>(table.factor(ch[c].kind));
        if (c < rec.stats.size())
            ch[c].stats = rec.stats[c];
    }
    return ch;
}

void keepStats(const std::vector<RecordChannel>& ch, ConditionedRecord& rec)
{
    rec.stats.resize(ch.size());
    for (std::size_t c = 0; c < ch.size(); ++c)
        rec.stats[c] = ch[c].stats;
}

// Samples still marked missing after the conditioning (a leading run of
// missing counts, the samples the spike filter took out of a channel whose
// trend is not removed) are filled linearly between their valid
// neighbours, the ends holding the nearest valid value, so that no view
// meets the marker as a value.  A channel without any valid sample stays
// as it is.
int fillMissing(std::span<float> x)
{
    const std::size_t n = x.size();
    std::size_t first = 0;
    while (first < n && x[first] == kMissingValue)
        ++first;
    if (first == n)
        return 0;
    int filled = static_cast<int>(first);
    for (std::size_t i = 0; i < first; ++i)
        x[i] = x[first];
    std::size_t last = first;  // last valid sample
    for (std::size_t i = first + 1; i < n; ++i) {
        if (x[i] == kMissingValue)
            continue;
        if (i > last + 1) {
            const float step = (x[i] - x[last]) / static_cast<float>(i - last);
            for (std::size_t j = last + 1; j < i; ++j)
                x[j] = x[last] + step * static_cast<float>(j - last);
            filled += static_cast<int>(i - last - 1);
        }
        last = i;
    }
    for (std::size_t j = last + 1; j < n; ++j, ++filled)
        x[j] = x[last];
    return filled;
}

float sampleInterval(const DataSet& d) { return d.header.intervalTenths / 10.0f; }

bool isNumberText(const std::string& t)
{
    if (t.empty())
        return false;
    char* end = nullptr;
    std::strtod(t.c_str(), &end);
    return end && *end == '\0';
}

}  // namespace

// ---------------------------------------------------------------------------
// Settings

SpectrumSettings spectrumSettingsFrom(const Settings& s)
{
    SpectrumSettings set;
    const long long n = s.integer(97, 6);
    set.requestedLength = n > 0 ? static_cast<int>(std::min<long long>(n, 1LL << 30)) : 0;
    set.convertToSurface = s.real(97, 2) != 0.0;
    set.smoothingPasses = static_cast<int>(std::clamp<long long>(s.integer(68, 2), 0, 100000));
    set.factorLimit = static_cast<float>(s.real(99, 3));
    set.gaugeHeight = static_cast<float>(s.real(67, 0));
    set.pressureDivisor = static_cast<float>(s.real(99, 4));
    return set;
}

ConditioningSettings conditioningSettingsFrom(const Settings& s, const RuntimeState& state)
{
    ConditioningSettings set;
    set.spike.passes = static_cast<int>(std::clamp<long long>(s.integer(68, 1), 0, 1000));
    set.spike.level = static_cast<float>(s.real(68, 0));
    set.spike.steepness = static_cast<float>(s.real(97, 4));
    set.spike.excludeMask = s.hex(95, 5);
    set.trendMask = s.hex(82, 4);
    set.trendAfterFilterMask = s.hex(27, 4);
    set.currentTransform = (state.autoWord & spectraswitch::kCurrentTransform) != 0 || state.noSignReversal;
    return set;
}

bool spikeFilterWantedAtLoading(const Settings& s) { return s.integer(68, 1) > 0; }

LongPeriodRequest longPeriodRequestFrom(const Settings& s, const RuntimeState& state, const DataSet& d,
                                        bool writeBack)
{
    LongPeriodRequest req;
    req.filterOn = (state.autoWord & spectraswitch::kLongPeriodFilter) != 0;
    req.writeBack = writeBack;
    for (int slot = 0; slot < 4; ++slot)
        if (s.trimmed(170 + slot, 0) == "1")
            req.channels.push_back(d.graphChannel[static_cast<std::size_t>(slot)]);
    req.ts = shortPeriodLimit(s.value(97, 0));
    req.tl = longPeriodLimit(s.value(97, 1));
    return req;
}

std::array<bool, kSpectrumSlots> spectrumSlotSwitches(const Settings& s)
{
    std::array<bool, kSpectrumSlots> on{};
    for (int slot = 0; slot < kSpectrumSlots; ++slot)
        on[static_cast<std::size_t>(slot)] = s.trimmed(170 + slot, 0) == "1";
    return on;
}

SpectrumGraphInfo spectrumGraphInfoFrom(const Settings& s, const DataSet& d)
{
    SpectrumGraphInfo info;
    info.decades = static_cast<int>(std::clamp<long long>(s.integer(97, 7), 1, 30));
    info.identifyInCaption = s.trimmed(85, 3) == "1";
    info.captionSuffix = s.value(85, 0);
    info.machineNumber = d.header.machineNumber;
    info.measurementNumber = d.currentNumber;
    info.dateText = d.header.dateText;
    info.timeText = d.header.timeText;
    info.modelCode = d.header.modelCode;
    return info;
}

SpectrumStyle spectrumStyleFrom(const Settings& s, bool printer)
{
    SpectrumStyle st;
    const int frameItem = printer ? 173 : 172;
    const int curveItem = printer ? 171 : 170;
    st.gridWidth = positiveOr1(s.integer(frameItem, 4));
    st.gridStyle = static_cast<int>(std::clamp<long long>(s.integer(frameItem, 5), 0, 6));
    st.frameColour = colourNumber(s, frameItem, 6);
    st.frameWidth = positiveOr1(s.integer(frameItem, 7));
    st.curveWidth = positiveOr1(s.integer(curveItem, 4));
    st.curveStyle = static_cast<int>(std::clamp<long long>(s.integer(curveItem, 5), 0, 6));
    for (int slot = 0; slot < kSpectrumSlots; ++slot)
        st.slotColours[static_cast<std::size_t>(slot)] = colourNumber(s, 170 + slot, 3);
    return st;
}

// ---------------------------------------------------------------------------
// The measurement

bool dataSetHasSamples(const DataSet& d)
{
    if (!d.hasMeasurementFile || d.header.packetKind() == kPacketKindResult)
        return false;
    for (const auto& c : d.rawCounts)
        if (!c.empty())
            return true;
    return false;
}

void conditionDataSet(DataSet& d, const ChannelTable& table, const Settings& s, const RuntimeState& state,
                      ConditionedRecord& rec)
{
    rec.stats.clear();
    rec.spikesRemoved.clear();
    rec.longPeriodApplied = false;
    ++rec.generation;
    if (d.header.packetKind() == kPacketKindResult) {
        d.values.clear();
        d.channelMeans.clear();
        return;
    }
    std::vector<RecordChannel> ch = recordChannels(d, table, rec);
    const ConditioningReport report = ConditionRecord(ch, sampleInterval(d),
                                                      static_cast<std::uint8_t>(d.header.measureCondition & 0xFF),
                                                      conditioningSettingsFrom(s, state), spikeFilterWantedAtLoading(s));
    for (RecordChannel& c : ch)
        fillMissing(c.x);
    keepStats(ch, rec);
    rec.spikesRemoved = report.spikesRemoved;
    // The burst means before any trend came out: the graphs that show
    // absolute values (the 2-D graph's absolute mode) add them back.
    d.channelMeans.clear();
    for (const ChannelStats& st : rec.stats)
        d.channelMeans.push_back(st.mean);
}

Status applyLongPeriodToDataSet(DataSet& d, const ChannelTable& table, const Settings& s,
                                const RuntimeState& state, ConditionedRecord& rec, bool writeBack)
{
    if (!dataSetHasSamples(d))
        return Status::Ok;
    const LongPeriodRequest req = longPeriodRequestFrom(s, state, d, writeBack);
    if (!req.filterOn && !req.writeBack)
        return Status::Ok;
    std::vector<RecordChannel> ch = recordChannels(d, table, rec);
    const Status st = ApplyLongPeriodFilter(ch, sampleInterval(d), conditioningSettingsFrom(s, state), req);
    if (st != Status::Ok)
        return st;
    keepStats(ch, rec);
    rec.longPeriodApplied = true;
    ++rec.generation;
    return Status::Ok;
}

SpectrumRecord spectrumRecordFrom(const DataSet& d, const ConditionedRecord& rec)
{
    SpectrumRecord r;
    r.sampleCount = d.values.empty() ? 0 : static_cast<int>(d.values.front().size());
    r.dt = sampleInterval(d);
    r.channel0Kind = d.header.channels.empty() ? 0 : d.header.channels.front();
    r.channel0Mean = rec.stats.empty() ? 0.0f : rec.stats.front().mean;
    return r;
}

Status buildDataSetSpectrum(const DataSet& d, const ConditionedRecord& rec, const Settings& s, SpectrumGraph& out,
                            bool withText)
{
    out = SpectrumGraph{};
    SpectrumGraphInput in;
    std::vector<std::uint8_t> flags;
    for (std::size_t c = 0; c < d.values.size(); ++c) {
        in.channels.emplace_back(d.values[c]);
        const int code = c < d.header.channels.size() ? d.header.channels[c] : 0;
        flags.push_back(static_cast<std::uint8_t>(0x80 | (code & 0x3F)));
    }
    in.record = spectrumRecordFrom(d, rec);
    in.settings = spectrumSettingsFrom(s);
    in.drawnSlots = selectSpectrumSlots(d.graphChannel, flags, spectrumSlotSwitches(s));
    in.info = spectrumGraphInfoFrom(s, d);
    in.withText = withText;
    return buildPowerSpectrumGraph(in, out);
}

// ---------------------------------------------------------------------------
// Files

std::string datedSpectrumTextNameFor(const DataSet& d)
{
    const MeasurementHeader& h = d.header;
    return datedSpectrumTextName(d.filePrefix, h.machineNumber, h.year, h.month, h.day, h.hour, h.minute);
}

Status writeDataSetSpectrumText(const std::string& folder, const DataSet& d, std::uint32_t startFlags,
                                const SpectrumText& lines)
{
    const std::string dated = (startFlags & kStartFlagDatedSpectrum) ? datedSpectrumTextNameFor(d) : std::string();
    return writeSpectrumText(folder, d.filePrefix, lines, dated);
}

void writeDataSetSpectrumTextBehind(const std::string& folder, const DataSet& d, std::uint32_t startFlags,
                                    const SpectrumGraph& g, std::function<void(Status)> done)
{
    const std::string dated = (startFlags & kStartFlagDatedSpectrum) ? datedSpectrumTextNameFor(d) : std::string();
    // What the text needs: each drawn slot and its spectrum.
    SpectrumGraph numbers;
    numbers.curves.reserve(g.curves.size());
    for (const SpectrumCurve& c : g.curves)
        numbers.curves.push_back(SpectrumCurve{c.slot, c.channel, {}, {}});
    numbers.spectra = g.spectra;
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    std::string key = dated.empty() ? base + spectrumTextName(d.filePrefix) : std::string();
    auto job = [folder, prefix = d.filePrefix, dated, numbers = std::move(numbers)]() {
        thread_local SpectrumText text;  // the writer's buffers, kept from step to step
        spectrumTextOf(numbers, text);
        return writeSpectrumText(folder, prefix, text, dated);
    };
    fileWriteBehind().submit(std::move(key), std::move(job), std::move(done));
}

std::string spectrumBitmapName(const std::string& prefix) { return prefix + "24g.bmp"; }
std::string spectrumJpegName(const std::string& prefix) { return prefix + "24g.jpg"; }

Status parseSpectrumText(const std::vector<std::string>& lines, std::vector<SpectrumTextBlock>& out)
{
    std::vector<SpectrumTextBlock> blocks;
    for (const std::string& raw : lines) {
        const std::string line = trimBlanks(raw);
        if (line.size() == 1 && line[0] >= '1' && line[0] <= '8') {
            blocks.push_back({line[0] - '0', {}, {}});
            continue;
        }
        const std::size_t comma = line.find(',');
        if (blocks.empty() || comma == std::string::npos)
            return Status::DataFormat;
        const std::string a = line.substr(0, comma), b = line.substr(comma + 1);
        if (!isNumberText(a) || !isNumberText(b))
            return Status::DataFormat;
        blocks.back().frequency.push_back(std::strtof(a.c_str(), nullptr));
        blocks.back().density.push_back(std::strtof(b.c_str(), nullptr));
    }
    out = std::move(blocks);
    return Status::Ok;
}

}  // namespace varenta
