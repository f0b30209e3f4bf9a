#pragma once
// The spectral part's view of the processing program: the settings of the
// initialization table turned into the parameters of the record
// conditioning and of the power spectrum, the data set's counts, channels
// and factors turned into the records they work on, and the files the
// power spectrum writes.  Plain data in, plain data out: the window side
// (tolv/spectra/ui) only calls these and draws.
#include "common/appstate.h"
#include "common/channeltable.h"
#include "common/settings.h"
#include "common/status.h"
#include "tolv/data/dataset.h"
#include "tolv/spectra/conditioning.h"
#include "tolv/spectra/spectrumgraph.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varenta {

// Start flag (command-line field 1): keep a dated copy of "{pp}24g.txt".
constexpr std::uint32_t kStartFlagDatedSpectrum = 0x800;

// Bits of the automatic-function word (item 85 value 4) read here.
namespace spectraswitch {
constexpr std::uint32_t kCurrentTransform = 0x01;    // "流速値の座標変換"
constexpr std::uint32_t kLongPeriodFilter = 0x1000;  // "長周期フィルター後の波形を表示"
}  // namespace spectraswitch

// Texts of the spectral part shown in the Status panel.
namespace spectratext {
inline constexpr const char* kDrawing = "パワースペクトルを計算しています";
inline constexpr const char* kNoSamples = "生データがありません";
inline constexpr const char* kComputeFailed = "パワースペクトルを計算できません";
inline constexpr const char* kFileFailed = "パワースペクトルのファイルを書けません: ";
inline constexpr const char* kFilterFailed = "長周期フィルターを実行できません";
}  // namespace spectratext

// ---- settings ----

// The spectrum: item 97 values 6 and 2, item 68 value 2, item 99 values 3
// and 4, item 67 value 0.
SpectrumSettings spectrumSettingsFrom(const Settings& s);

// The conditioning: spike filter (item 68 values 0 and 1, item 97 value 4,
// item 95 value 5), trend masks (item 82 value 4, item 27 value 4) and the
// coordinate transformation of currents (switch 0x01 of the
// automatic-function word, or the logger's own switch taken from the header
// when its conditions have priority).
ConditioningSettings conditioningSettingsFrom(const Settings& s, const RuntimeState& state);

// Spike filtering is wanted at loading when the noise-filter repetitions
// (item 68 value 1) are above 0.
bool spikeFilterWantedAtLoading(const Settings& s);

// The long-period filter of the processing run: the switch, the channels of
// display slots 0..3 switched on (item 170 + slot value 0 = "1", channel
// graphChannel[slot]), and the period limits Ts and Tl of item 97 values 0
// and 1 ("0" or empty: no limit).
LongPeriodRequest longPeriodRequestFrom(const Settings& s, const RuntimeState& state, const DataSet& d,
                                        bool writeBack = false);

// Slot s is drawn in the spectrum when item (170 + s) value 0 is "1".
std::array<bool, kSpectrumSlots> spectrumSlotSwitches(const Settings& s);

// Captions and frame numbers: item 97 value 7, item 85 values 3 and 0, and
// the header of the measurement on display.
SpectrumGraphInfo spectrumGraphInfoFrom(const Settings& s, const DataSet& d);

// Line widths, styles and colours of the graph.  Colours are the decimal
// colour numbers of the settings (red in the low byte); styles the line
// style numbers of the settings (0 solid, 1 dash, 2 dot, 3 dash-dot,
// 4 dash-dot-dot, 5 none, 6 inside solid).
struct SpectrumStyle {
    int gridWidth = 1;               // item 172/173 value 4
    int gridStyle = 0;               // item 172/173 value 5
    std::uint32_t frameColour = 0;   // item 172/173 value 6
    int frameWidth = 1;              // item 172/173 value 7
    int curveWidth = 1;              // item 170/171 value 4
    int curveStyle = 0;              // item 170/171 value 5
    std::array<std::uint32_t, kSpectrumSlots> slotColours{};  // item 170 + s value 3
};
// The screen styles (items 170 and 172) or the printer styles (171, 173).
// A blank or non-positive width is taken as 1.
SpectrumStyle spectrumStyleFrom(const Settings& s, bool printer);

// ---- the measurement ----

// What the conditioning left of the measurement in the data set: the
// channels' means, missing counts and trends, the spikes removed, and
// whether the long-period filter has run on the values.  `generation`
// moves on with every change of the values.
struct ConditionedRecord {
    std::vector<ChannelStats> stats;
    std::vector<int> spikesRemoved;
    bool longPeriodApplied = false;
    std::uint64_t generation = 0;
};

// True when the measurement on display has samples (not a results-only
// measurement, counts loaded).
bool dataSetHasSamples(const DataSet& d);

// The conditioning of a measurement just read (the loading hook): the
// values are made from the counts (calibration with the channel factors of
// the table, missing samples filled, the spike filter when wanted, the
// trends of item 82 value 4).  Samples still missing afterwards (leading
// missing counts, spikes taken out of a channel whose trend is kept) are
// filled linearly between their valid neighbours, so the values never hold
// the missing marker unless a channel has no valid sample at all.  The
// counts stay as read.  A results-only measurement only clears the values.
void conditionDataSet(DataSet& d, const ChannelTable& table, const Settings& s, const RuntimeState& state,
                      ConditionedRecord& rec);

// The long-period filter and the write-back to counts of the processing
// run (nothing unless the switch is on or writeBack is asked).  Ok when
// nothing had to be done.
Status applyLongPeriodToDataSet(DataSet& d, const ChannelTable& table, const Settings& s,
                                const RuntimeState& state, ConditionedRecord& rec, bool writeBack = false);

// The spectrum's view of the measurement: n, dt, the kind and the mean of
// channel 0 (the mean after the conditioning, so that the water depth
// follows the record's level even after its trend was taken out).
SpectrumRecord spectrumRecordFrom(const DataSet& d, const ConditionedRecord& rec);

// The whole graph of the measurement on display: slots, spectra, frame,
// curves and text lines.  An empty graph (no slot drawn) is Ok;
// DataFormat when a spectrum could not be formed.
Status buildDataSetSpectrum(const DataSet& d, const ConditionedRecord& rec, const Settings& s, SpectrumGraph& out,
                            bool withText = true);

// ---- files ----

// The dated copy's name for the measurement on display ("NR012-2026-1206-1030sg.txt").
std::string datedSpectrumTextNameFor(const DataSet& d);

// Writes "{pp}24g.txt" in folder and, with start flag 0x800, the dated
// copy; an existing file of either name is replaced.
Status writeDataSetSpectrumText(const std::string& folder, const DataSet& d, std::uint32_t startFlags,
                                const SpectrumText& lines);
// The same files for graph g (built without its text), formatted and written
// behind the caller by the program's file writer (common/writebehind.h):
// the step goes on at once, done gets the outcome on the writer's thread.
// A "{pp}24g.txt" that waits is replaced by a newer one; a job with a dated
// copy always runs.
void writeDataSetSpectrumTextBehind(const std::string& folder, const DataSet& d, std::uint32_t startFlags,
                                    const SpectrumGraph& g, std::function<void(Status)> done = {});

// The image names "{pp}24g.bmp" and "{pp}24g.jpg".
std::string spectrumBitmapName(const std::string& prefix);
std::string spectrumJpegName(const std::string& prefix);

// One block of a spectrum text file read back: the slot number (1..8) and
// its (frequency, density) lines.
struct SpectrumTextBlock {
    int slot = 0;
    std::vector<float> frequency;
    std::vector<float> density;
};
// Reads the lines of a spectrum text file.  DataFormat for a line that is
// neither a one-digit slot number nor "number,number".
Status parseSpectrumText(const std::vector<std::string>& lines, std::vector<SpectrumTextBlock>& out);

}  // namespace varenta
