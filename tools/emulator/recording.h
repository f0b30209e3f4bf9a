#pragma once
// The emulated logger's recording memory: a sequence of 512-byte sectors,
// one header sector (kind 0x83) and its data sectors (kind 0x41) per
// measurement, each sector already a valid packet as the logger sends it;
// plus, per measurement, the on-board results: a binary result sector
// (kind 0xC6) and a results line of 392 characters.
#include "common/clock.h"
#include "common/masterfile.h"
#include "common/sector.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varenta::emu {

struct RecordingConfig {
    int machineNumber = 255;
    int modelCode = 60;
    int durationMinutes = 20;
    int intervalMinutes = 60;
    int measureFlags = 0x01;  // bits 0-1 sample code (1: 0.5 s)
    // Channel slots (bit 7 in use, low 6 bits the channel type code).
    std::array<std::uint8_t, 16> channelSlots{0x81, 0x82, 0x83};
    std::uint32_t seed = 20240601;
    // Sea state of the recorded bursts.
    double waveHeightM = 1.2;   // significant wave height
    double wavePeriodS = 8.0;   // peak period
    double meanCurrentMs = 0.25;
    bool cheapSynthesis = false;  // a handful of wave components instead of the full spectrum
};

// One measurement's samples in channel-interleaved order (samplesPerChannel
// x channelCount words) and the logger's results record of it (392
// characters, CR LF included).
struct BurstData {
    std::vector<std::int16_t> interleaved;
    std::string resultsRecord;
};
using BurstSource = std::function<BurstData(const HeaderFields& header, int measurementIndex)>;

// The synthetic sea of the data generator (linear wave theory, the shipped
// channel factors, the logger's results record) for the header's schedule,
// channels and start time.  Channel types the generator does not produce
// are made by simpleBurstSource instead.
BurstSource synthBurstSource(const RecordingConfig& cfg);
// A plain source for any channel list: a sum of wave components with
// seeded random phases, current and slow channels as counts, and a results
// record of per-channel statistics.
BurstSource simpleBurstSource(const RecordingConfig& cfg);

class RecordingMemory {
public:
    explicit RecordingMemory(RecordingConfig cfg = {});

    const RecordingConfig& config() const { return cfg_; }
    void setConfig(const RecordingConfig& cfg) { cfg_ = cfg; }
    void setBurstSource(BurstSource s) { source_ = std::move(s); }

    // Records one measurement that started at start; returns its number.
    std::uint32_t addMeasurement(const DateTime& start);
    // Records n measurements ending before `before`, one interval apart.
    void prefill(int n, const DateTime& before);
    void clear();

    int measurementCount() const { return static_cast<int>(extents_.size()); }
    const std::vector<Sector>& sectors() const { return sectors_; }
    // Sectors of measurement m (1-based): first sector index and count.
    std::pair<std::size_t, std::size_t> extent(int m) const;
    const Sector& resultSector(int m) const { return results_[static_cast<std::size_t>(m - 1)]; }
    const std::string& resultLine(int m) const { return lines_[static_cast<std::size_t>(m - 1)]; }
    DateTime startOf(int m) const { return starts_[static_cast<std::size_t>(m - 1)]; }
    // The whole memory as one byte string (the image a collection copies).
    std::string image() const;
    // Sample words of the newest measurement (for live values).
    const std::vector<std::int16_t>& lastSamples() const { return lastSamples_; }
    int sectorsPerMeasurement() const;
    int channelCount() const;

private:
    HeaderFields headerFor(const DateTime& start, std::uint32_t number, std::uint32_t address) const;
    RecordingConfig cfg_;
    BurstSource source_;
    std::vector<Sector> sectors_;
    std::vector<std::pair<std::size_t, std::size_t>> extents_;
    std::vector<Sector> results_;
    std::vector<std::string> lines_;
    std::vector<DateTime> starts_;
    std::vector<std::int16_t> lastSamples_;
};

}  // namespace varenta::emu
