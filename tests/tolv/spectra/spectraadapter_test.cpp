// The spectral part inside the program: settings of the shipped
// initialization table turned into parameters, the conditioning run by the
// loading of a measurement, the long-period write-back, and the spectrum of
// the measurement on display with its files.
#include "common/installdata.h"
#include "common/numeric.h"
#include "common/prompter.h"
#include "common/textfile.h"
#include "common/writebehind.h"
#include "tolv/data/session.h"
#include "tolv/spectra/spectraadapter.h"
#include "tools/synth/generator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <string>
#include <unistd.h>
#include <vector>

namespace varenta {
namespace {

namespace fs = std::filesystem;

std::string sourceDir()
{
    if (const char* s = std::getenv("VARENTA_SOURCE_DIR"); s && *s)
        return s;
    return VARENTA_SOURCE_DIR;
}

// A program folder with the installation data, and the loader over it with
// the conditioning plugged in as the processing program plugs it in.
struct Program {
    fs::path dir;
    Settings settings;
    RuntimeState state;
    StartOptions start;
    std::unique_ptr<InitStore> init;
    DataSet data;
    StatusPanels panels;
    ScriptedPrompter prompter;
    ManualClock clock{DateTime{2026, 5, 8, 9, 30, 0, 0}};
    std::unique_ptr<DataSession> session;
    ConditionedRecord rec;
    int conditioned = 0;

    Program()
    {
        static std::atomic<int> n{0};
        dir = fs::temp_directory_path() / ("tolv_spectra_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::string msg;
        EXPECT_EQ(installProgramData(sourceDir() + "/data", dir.string(), &msg), Status::Ok) << msg;
        fs::copy_file(dir / "tolvi.org", dir / "tolvi.ini", fs::copy_options::overwrite_existing);
        init = std::make_unique<InitStore>(settings, state, start, dir.string());
        session = std::make_unique<DataSession>(settings, state, *init, data, panels, prompter, clock);
        DataHooks h;
        h.conditionSamples = [this](DataSet& d) {
            ++conditioned;
            conditionDataSet(d, init->channels(), settings, state, rec);
        };
        session->setHooks(h);
    }
    ~Program()
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }

    // Writes "NR012M.H10"/"NR012L.H10" and opens them.
    void open(const synth::GeneratorOptions& o)
    {
        std::string msg;
        ASSERT_EQ(synth::writeMasterPair(dir.string(), "NR012", o, nullptr, &msg), Status::Ok) << msg;
        ASSERT_EQ(session->loadDataSet(path("NR012M.H10")), Status::Ok);
    }
    Status read(std::int64_t m) { return session->readMeasurement(m, true); }
    float factor(int c) const { return static_cast<float>(init->channels().factor(data.header.channels[static_cast<std::size_t>(c)])); }
};

synth::GeneratorOptions sea(double hm0, double tp, double gamma, std::uint64_t seed = 3)
{
    synth::GeneratorOptions o;
    o.sea.hm0 = hm0;
    o.sea.tp = tp;
    o.sea.gamma = gamma;
    o.sea.depth = 12.0;
    o.sea.gaugeHeight = 0.5;  // item 67 value 0 of the shipped settings
    o.plan.bursts = 3;
    o.plan.intervalCode = 1;  // 0.5 s
    o.plan.durationMinutes = 20;
    o.seed = seed;
    return o;
}

double meanOf(const std::vector<float>& v)
{
    return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

double varianceOf(const std::vector<float>& v)
{
    const double m = meanOf(v);
    double s = 0.0;
    for (float x : v)
        s += (x - m) * (x - m);
    return s / static_cast<double>(v.size());
}

// ---------------------------------------------------------------------------
// Settings

TEST(SpectraSettings, ShippedInitializationTable)
{
    Program p;
    ASSERT_EQ(p.init->load("", p.clock), Status::Ok);
    const Settings& s = p.settings;

    const SpectrumSettings sp = spectrumSettingsFrom(s);
    EXPECT_EQ(sp.requestedLength, 0);
    EXPECT_TRUE(sp.convertToSurface);
    EXPECT_EQ(sp.smoothingPasses, 10);
    EXPECT_FLOAT_EQ(sp.factorLimit, 12.0f);
    EXPECT_FLOAT_EQ(sp.gaugeHeight, 0.5f);
    EXPECT_FLOAT_EQ(sp.pressureDivisor, 1.0248f);

    const ConditioningSettings cs = conditioningSettingsFrom(s, p.state);
    EXPECT_EQ(cs.spike.passes, 1);
    EXPECT_FLOAT_EQ(cs.spike.level, 35.0f);
    EXPECT_FLOAT_EQ(cs.spike.steepness, 0.22f);
    EXPECT_EQ(cs.spike.excludeMask, 0xFFF8u);
    EXPECT_EQ(cs.trendMask, 0x7u);  // pressure and both current components
    EXPECT_EQ(cs.trendAfterFilterMask, 0x0u);
    EXPECT_FALSE(cs.currentTransform);
    EXPECT_TRUE(spikeFilterWantedAtLoading(s));

    DataSet d;
    d.graphChannel = {0, 1, 2, 3, 4, 5, 6, 7};
    const LongPeriodRequest lp = longPeriodRequestFrom(s, p.state, d);
    EXPECT_FALSE(lp.filterOn);
    EXPECT_FALSE(lp.writeBack);
    EXPECT_EQ(lp.channels, (std::vector<int>{0, 1, 2}));  // item 173 value 0 is "0"
    EXPECT_FLOAT_EQ(lp.ts, 30.0f);        // item 97 value 0
    EXPECT_FLOAT_EQ(lp.tl, 100000.0f);    // item 97 value 1 is "0": no upper limit

    EXPECT_EQ(spectrumSlotSwitches(s), (std::array<bool, 8>{true, true, true, false, false, false, false, false}));
    EXPECT_EQ(spectrumGraphInfoFrom(s, d).decades, 5);

    const SpectrumStyle screen = spectrumStyleFrom(s, false);
    EXPECT_EQ(screen.gridWidth, 1);
    EXPECT_EQ(screen.gridStyle, 2);
    EXPECT_EQ(screen.frameColour, 8421504u);
    EXPECT_EQ(screen.frameWidth, 2);
    EXPECT_EQ(screen.curveWidth, 1);
    EXPECT_EQ(screen.curveStyle, 0);
    EXPECT_EQ(screen.slotColours[0], 16711680u);
    EXPECT_EQ(screen.slotColours[1], 255u);
    EXPECT_EQ(screen.slotColours[7], 0u);
    const SpectrumStyle printer = spectrumStyleFrom(s, true);
    EXPECT_EQ(printer.gridWidth, 2);
    EXPECT_EQ(printer.gridStyle, 2);
    EXPECT_EQ(printer.frameColour, 0u);
    EXPECT_EQ(printer.frameWidth, 6);
    EXPECT_EQ(printer.curveWidth, 3);
}

TEST(SpectraSettings, EditedValues)
{
    struct Case {
        int item, value;
        const char* text;
        std::function<void(const Settings&)> check;
    };
    RuntimeState st;
    DataSet d;
    d.graphChannel = {0, 1, 2, 3, 4, 5, 6, 7};
    const Case cases[] = {
        {97, 6, "1024", [](const Settings& s) { EXPECT_EQ(spectrumSettingsFrom(s).requestedLength, 1024); }},
        {97, 6, "-8", [](const Settings& s) { EXPECT_EQ(spectrumSettingsFrom(s).requestedLength, 0); }},
        {97, 2, "0", [](const Settings& s) { EXPECT_FALSE(spectrumSettingsFrom(s).convertToSurface); }},
        {97, 2, "", [](const Settings& s) { EXPECT_FALSE(spectrumSettingsFrom(s).convertToSurface); }},
        {68, 2, "20", [](const Settings& s) { EXPECT_EQ(spectrumSettingsFrom(s).smoothingPasses, 20); }},
        {68, 1, "0", [](const Settings& s) { EXPECT_FALSE(spikeFilterWantedAtLoading(s)); }},
        {68, 1, "", [](const Settings& s) { EXPECT_FALSE(spikeFilterWantedAtLoading(s)); }},
        {68, 1, "3",
         [&](const Settings& s) {
             EXPECT_TRUE(spikeFilterWantedAtLoading(s));
             EXPECT_EQ(conditioningSettingsFrom(s, st).spike.passes, 3);
         }},
        {68, 0, "12", [&](const Settings& s) { EXPECT_FLOAT_EQ(conditioningSettingsFrom(s, st).spike.level, 12.0f); }},
        {95, 5, "fffa", [&](const Settings& s) { EXPECT_EQ(conditioningSettingsFrom(s, st).spike.excludeMask, 0xFFFAu); }},
        {82, 4, "7", [&](const Settings& s) { EXPECT_EQ(conditioningSettingsFrom(s, st).trendMask, 7u); }},
        {27, 4, "3", [&](const Settings& s) { EXPECT_EQ(conditioningSettingsFrom(s, st).trendAfterFilterMask, 3u); }},
        {97, 0, "0", [&](const Settings& s) { EXPECT_FLOAT_EQ(longPeriodRequestFrom(s, st, d).ts, 0.00001f); }},
        {97, 0, "", [&](const Settings& s) { EXPECT_FLOAT_EQ(longPeriodRequestFrom(s, st, d).ts, 0.00001f); }},
        {97, 1, "300", [&](const Settings& s) { EXPECT_FLOAT_EQ(longPeriodRequestFrom(s, st, d).tl, 300.0f); }},
        {171, 0, "0",
         [&](const Settings& s) {
             EXPECT_EQ(longPeriodRequestFrom(s, st, d).channels, (std::vector<int>{0, 2}));
             EXPECT_FALSE(spectrumSlotSwitches(s)[1]);
         }},
        {173, 0, "1",
         [&](const Settings& s) {
             EXPECT_EQ(longPeriodRequestFrom(s, st, d).channels, (std::vector<int>{0, 1, 2, 3}));
             EXPECT_TRUE(spectrumSlotSwitches(s)[3]);
         }},
        {174, 0, "1", [&](const Settings& s) {
             EXPECT_EQ(longPeriodRequestFrom(s, st, d).channels.size(), 3u) << "slot 4 is not filtered";
             EXPECT_TRUE(spectrumSlotSwitches(s)[4]);
         }},
        {177, 0, "1", [](const Settings& s) { EXPECT_TRUE(spectrumSlotSwitches(s)[7]); }},
        {177, 0, " 1 ", [](const Settings& s) { EXPECT_TRUE(spectrumSlotSwitches(s)[7]); }},
        {97, 7, "3", [&](const Settings& s) { EXPECT_EQ(spectrumGraphInfoFrom(s, d).decades, 3); }},
        {97, 7, "0", [&](const Settings& s) { EXPECT_EQ(spectrumGraphInfoFrom(s, d).decades, 1); }},
        {85, 3, "1", [&](const Settings& s) { EXPECT_TRUE(spectrumGraphInfoFrom(s, d).identifyInCaption); }},
        {85, 0, " 東京湾", [&](const Settings& s) { EXPECT_EQ(spectrumGraphInfoFrom(s, d).captionSuffix, " 東京湾"); }},
        {172, 4, "", [](const Settings& s) { EXPECT_EQ(spectrumStyleFrom(s, false).gridWidth, 1); }},
        {172, 6, "-5", [](const Settings& s) { EXPECT_EQ(spectrumStyleFrom(s, false).frameColour, 0u); }},
        {170, 5, "9", [](const Settings& s) { EXPECT_EQ(spectrumStyleFrom(s, false).curveStyle, 6); }},
        {171, 4, "4", [](const Settings& s) {
             EXPECT_EQ(spectrumStyleFrom(s, true).curveWidth, 4);
             EXPECT_NE(spectrumStyleFrom(s, false).curveWidth, 4);
         }},
    };
    Program p;
    ASSERT_EQ(p.init->load("", p.clock), Status::Ok);
    for (const Case& c : cases) {
        Settings s = p.settings;
        s.set(c.item, c.value, c.text);
        SCOPED_TRACE("item " + std::to_string(c.item) + " value " + std::to_string(c.value) + " = \"" + c.text + "\"");
        c.check(s);
    }
}

TEST(SpectraSettings, SwitchWordsAndDisplaySlots)
{
    Program p;
    ASSERT_EQ(p.init->load("", p.clock), Status::Ok);
    DataSet d;
    d.graphChannel = {2, 0, 1, 2, 4, 5, 6, 7};
    RuntimeState st;
    st.autoWord = spectraswitch::kLongPeriodFilter;
    LongPeriodRequest lp = longPeriodRequestFrom(p.settings, st, d, true);
    EXPECT_TRUE(lp.filterOn);
    EXPECT_TRUE(lp.writeBack);
    EXPECT_EQ(lp.channels, (std::vector<int>{2, 0, 1}));  // slots 0..2 on, through the lane channels
    EXPECT_FALSE(conditioningSettingsFrom(p.settings, st).currentTransform);

    st.autoWord = spectraswitch::kCurrentTransform;
    EXPECT_FALSE(longPeriodRequestFrom(p.settings, st, d).filterOn);
    EXPECT_TRUE(conditioningSettingsFrom(p.settings, st).currentTransform);
    st.autoWord = 0;
    st.noSignReversal = true;  // the logger's own switch, from the header
    EXPECT_TRUE(conditioningSettingsFrom(p.settings, st).currentTransform);
}

// ---------------------------------------------------------------------------
// Conditioning at loading

TEST(SpectraLoading, CleanBurstCalibratedAndChannel0Detrended)
{
    Program p;
    const auto o = sea(1.5, 8.0, 3.3);
    p.open(o);
    p.settings.set(82, 4, "1");  // detrend channel 0 only
    ASSERT_EQ(p.read(2), Status::Ok);
    EXPECT_GE(p.conditioned, 1);
    const synth::Burst b = synth::generateBurst(o, 2);
    ASSERT_EQ(p.data.rawCounts.size(), 3u);
    ASSERT_EQ(p.data.values.size(), 3u);
    ASSERT_EQ(p.rec.stats.size(), 3u);
    EXPECT_EQ(p.rec.spikesRemoved, (std::vector<int>{0, 0, 0}));
    const std::size_t n = static_cast<std::size_t>(b.samplesPerChannel);
    for (std::size_t c = 0; c < 3; ++c) {
        ASSERT_EQ(p.data.values[c].size(), n);
        EXPECT_EQ(p.data.rawCounts[c], b.counts[c]) << "counts stay as read, channel " << c;
    }
    // Currents: factor times count, nothing else.
    for (std::size_t c = 1; c < 3; ++c)
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(p.data.values[c][i], p.factor(static_cast<int>(c)) * static_cast<float>(b.counts[c][i]))
                << "channel " << c << " sample " << i;
    // Pressure: its trend (item 82 value 4 = 1) is taken out; the mean kept
    // for the water depth is the record's level.
    const Trend& t = p.rec.stats[0].trend;
    const float dt = 0.5f;
    for (std::size_t i = 0; i < n; i += 97) {
        const float expect = p.factor(0) * static_cast<float>(b.counts[0][i]) - (t.slope * static_cast<float>(i) * dt + t.intercept);
        EXPECT_NEAR(p.data.values[0][i], expect, 1e-2f) << "sample " << i;
    }
    EXPECT_NEAR(meanOf(p.data.values[0]), 0.0, 1.0);
    const double headCm = (o.sea.depth - o.sea.gaugeHeight) * o.sea.headScale * 100.0;
    EXPECT_NEAR(p.rec.stats[0].mean, headCm, 5.0);
    EXPECT_NEAR(spectrumRecordFrom(p.data, p.rec).channel0Mean, p.rec.stats[0].mean, 1e-3);
    // The burst means before detrending reach the data set for the graphs.
    ASSERT_EQ(p.data.channelMeans.size(), 3u);
    EXPECT_NEAR(p.data.channelMeans[0], headCm, 5.0);

    // Reading another measurement conditions again.
    const int before = p.conditioned;
    const std::uint64_t gen = p.rec.generation;
    ASSERT_EQ(p.read(3), Status::Ok);
    EXPECT_EQ(p.conditioned, before + 1);
    EXPECT_GT(p.rec.generation, gen);
}

TEST(SpectraLoading, SpikesRemovedWhenTheNoiseFilterRuns)
{
    auto o = sea(1.2, 9.0, 3.3, 17);
    o.faults.spikesPerBurst = 3;
    o.faults.spikeSize = 2000.0;  // 200 cm, 200 cm/s
    struct Case {
        const char* name;
        const char* passes;   // item 68 value 1
        const char* exclude;  // item 95 value 5
        std::array<bool, 3> filtered;
    };
    const Case cases[] = {
        {"shipped", "1", "FFF8", {true, true, true}},
        {"three passes", "3", "FFF8", {true, true, true}},
        {"noise filter off", "0", "FFF8", {false, false, false}},
        {"channel 1 excluded", "2", "FFFA", {true, false, true}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Program p;
        p.open(o);
        p.settings.set(68, 1, k.passes);
        p.settings.set(95, 5, k.exclude);
        p.settings.set(82, 4, "1");  // detrend channel 0 only
        ASSERT_EQ(p.read(1), Status::Ok);
        const synth::Burst b = synth::generateBurst(o, 1);
        ASSERT_FALSE(b.spikes.empty());
        for (std::size_t c = 0; c < 3; ++c) {
            EXPECT_EQ(p.data.rawCounts[c], b.counts[c]) << "the counts keep their spikes";
            for (float v : p.data.values[c])
                ASSERT_NE(v, kMissingValue) << "channel " << c << ": a removed sample is filled";
        }
        const Trend& t = p.rec.stats[0].trend;
        for (const auto& [c, i] : b.spikes) {
            const auto cc = static_cast<std::size_t>(c), ii = static_cast<std::size_t>(i);
            float truth = static_cast<float>(b.physical[cc][ii]);
            if (c == 0)
                truth -= t.slope * static_cast<float>(i) * 0.5f + t.intercept;
            const float err = std::abs(p.data.values[cc][ii] - truth);
            if (k.filtered[cc])
                EXPECT_LT(err, 40.0f) << "channel " << c << " sample " << i;
            else
                EXPECT_GT(err, 150.0f) << "channel " << c << " sample " << i << " keeps its spike";
            if (!k.filtered[cc] && c != 0) {
                EXPECT_EQ(p.data.values[cc][ii], p.factor(c) * static_cast<float>(b.counts[cc][ii]));
            }
        }
        for (std::size_t c = 0; c < 3; ++c) {
            if (k.filtered[c])
                EXPECT_GE(p.rec.spikesRemoved[c], 1) << "channel " << c;
            else
                EXPECT_EQ(p.rec.spikesRemoved[c], 0) << "channel " << c;
        }
    }
}

TEST(SpectraLoading, ResultsOnlyMeasurementHasNoValues)
{
    Program p;
    auto o = sea(1.0, 8.0, 3.3);
    o.faults.allResultsOnly = true;
    p.open(o);
    ASSERT_EQ(p.read(1), Status::Ok);
    EXPECT_FALSE(dataSetHasSamples(p.data));
    EXPECT_TRUE(p.data.values.empty());
    EXPECT_TRUE(p.rec.stats.empty());
    SpectrumGraph g;
    EXPECT_EQ(buildDataSetSpectrum(p.data, p.rec, p.settings, g), Status::Ok);
    EXPECT_FALSE(g.frame.has_value());
    EXPECT_TRUE(g.textLines.empty());
    EXPECT_EQ(applyLongPeriodToDataSet(p.data, p.init->channels(), p.settings, p.state, p.rec), Status::Ok);
}

// ---------------------------------------------------------------------------
// Long-period filter of the processing run

TEST(SpectraProcessing, LongPeriodFilterWritesBackTheFilteredCounts)
{
    Program p;
    const auto o = sea(2.0, 6.0, 3.3, 5);  // a wind sea: nothing of it lasts 30 s
    p.open(o);
    p.settings.set(82, 4, "1");  // detrend channel 0 only
    ASSERT_EQ(p.read(1), Status::Ok);
    const DataSet before = p.data;
    const float mean0 = p.rec.stats[0].mean;
    const ChannelTable& table = p.init->channels();

    // Switch off: nothing changes.
    EXPECT_EQ(applyLongPeriodToDataSet(p.data, table, p.settings, p.state, p.rec), Status::Ok);
    EXPECT_FALSE(p.rec.longPeriodApplied);
    EXPECT_EQ(p.data.rawCounts, before.rawCounts);
    EXPECT_EQ(p.data.values, before.values);

    // Switch on, slot 2 (channel 2) not shown: channels 0 and 1 are
    // filtered; every channel is written back.
    p.state.autoWord |= spectraswitch::kLongPeriodFilter;
    p.settings.set(172, 0, "0");
    const std::uint64_t gen = p.rec.generation;
    ASSERT_EQ(applyLongPeriodToDataSet(p.data, table, p.settings, p.state, p.rec), Status::Ok);
    EXPECT_TRUE(p.rec.longPeriodApplied);
    EXPECT_GT(p.rec.generation, gen);
    for (std::size_t c = 0; c < 2; ++c) {
        const double v0 = varianceOf(before.values[c]), v1 = varianceOf(p.data.values[c]);
        EXPECT_LT(v1, 0.05 * v0) << "channel " << c << ": the wind sea is filtered out";
        const float f = p.factor(static_cast<int>(c));
        for (std::size_t i = 0; i < p.data.values[c].size(); ++i) {
            const long long want = std::clamp<long long>(roundEven(p.data.values[c][i] / f), -32767, 32767);
            ASSERT_EQ(p.data.rawCounts[c][i], want) << "channel " << c << " sample " << i;
        }
        EXPECT_NE(p.data.rawCounts[c], before.rawCounts[c]);
    }
    EXPECT_EQ(p.data.values[2], before.values[2]);
    EXPECT_EQ(p.data.rawCounts[2], before.rawCounts[2]) << "an unfiltered channel writes back its own counts";
    // The water depth still follows the level recorded at loading.
    EXPECT_EQ(p.rec.stats[0].mean, mean0);
    EXPECT_NEAR(p.rec.stats[0].mean, (o.sea.depth - o.sea.gaugeHeight) * o.sea.headScale * 100.0, 5.0);
}

// ---------------------------------------------------------------------------
// The spectrum of the measurement on display

TEST(SpectraDisplay, SpectrumOfTheLoadedMeasurementAndItsText)
{
    struct Case {
        const char* name;
        double hm0, tp, gamma;
    };
    const Case cases[] = {{"swell", 1.5, 14.0, 7.0}, {"wind sea", 2.0, 6.0, 3.3}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Program p;
        const auto o = sea(k.hm0, k.tp, k.gamma, 9);
        p.open(o);
        ASSERT_EQ(p.read(2), Status::Ok);
        SpectrumGraph g;
        ASSERT_EQ(buildDataSetSpectrum(p.data, p.rec, p.settings, g), Status::Ok);
        // Slots 0..2 are on (items 170..172 value 0).
        ASSERT_EQ(g.spectra.size(), 3u);
        ASSERT_TRUE(g.frame.has_value());
        EXPECT_EQ(g.frame->top - g.frame->bottom, 5);
        EXPECT_EQ(g.frame->xl, -4);  // 4096 x 0.5 s is longer than 1024 s
        EXPECT_EQ(g.frame->xr, 0);
        EXPECT_EQ(g.spectra[0].length, 4096);
        EXPECT_NEAR(g.spectra[0].depth, o.sea.depth, 0.1) << "depth from the conditioned mean";
        EXPECT_TRUE(g.spectra[0].converted);
        EXPECT_TRUE(g.note.empty());

        // Surface height from the converted pressure spectrum, below the
        // frequency where the factor reaches its cap.
        Settings plainSet = p.settings;
        plainSet.set(97, 2, "0");
        plainSet.set(68, 2, "0");
        Settings capSet = p.settings;
        capSet.set(68, 2, "0");
        SpectrumGraph plain, capped;
        ASSERT_EQ(buildDataSetSpectrum(p.data, p.rec, plainSet, plain), Status::Ok);
        ASSERT_EQ(buildDataSetSpectrum(p.data, p.rec, capSet, capped), Status::Ok);
        double fcap = 1e9;
        const Spectrum& s0 = plain.spectra[0];
        for (std::size_t b = 0; b < s0.density.size(); ++b)
            if (s0.density[b] > 0 && capped.spectra[0].density[b] / s0.density[b] >= 144.0 * (1 - 1e-4)) {
                fcap = s0.frequency[b];
                break;
            }
        const double binWidth = 1.0 / (4096 * 0.5);
        double m0 = 0.0;
        for (std::size_t b = 0; b < g.spectra[0].density.size(); ++b)
            if (g.spectra[0].frequency[b] < fcap)
                m0 += g.spectra[0].density[b] * binWidth;
        const synth::Burst burst = synth::generateBurst(o, 2);
        double m0gen = 0.0;
        for (const auto& w : burst.components)
            if (w.frequency < fcap)
                m0gen += w.amplitude * w.amplitude / 2;
        EXPECT_NEAR(std::sqrt(m0 / m0gen), 1.0, 0.10) << "cap at " << fcap << " Hz";

        // The text file: written, dated copy with start flag 0x800, and read
        // back to the drawn numbers.
        const std::string dated = datedSpectrumTextNameFor(p.data);
        EXPECT_EQ(dated.substr(0, 6), "NR012-");
        EXPECT_EQ(dated.substr(dated.size() - 6), "sg.txt");
        ASSERT_EQ(writeDataSetSpectrumText(p.dir.string(), p.data, 0, g.textLines), Status::Ok);
        EXPECT_TRUE(fs::exists(p.path("NR24g.txt")));
        EXPECT_FALSE(fs::exists(p.path(dated)));
        ASSERT_EQ(writeDataSetSpectrumText(p.dir.string(), p.data, kStartFlagDatedSpectrum, g.textLines), Status::Ok);
        ASSERT_TRUE(fs::exists(p.path(dated)));
        for (const std::string& name : {std::string("NR24g.txt"), dated}) {
            std::vector<std::string> lines;
            ASSERT_EQ(readTextLines(p.path(name), lines), Status::Ok);
            std::vector<SpectrumTextBlock> blocks;
            ASSERT_EQ(parseSpectrumText(lines, blocks), Status::Ok);
            ASSERT_EQ(blocks.size(), 3u);
            for (std::size_t k2 = 0; k2 < 3; ++k2) {
                EXPECT_EQ(blocks[k2].slot, static_cast<int>(k2) + 1);
                const Spectrum& s = g.spectra[k2];
                ASSERT_EQ(blocks[k2].density.size(), s.density.size());
                for (std::size_t b = 0; b < s.density.size(); ++b) {
                    ASSERT_NEAR(blocks[k2].frequency[b], s.frequency[b], 6e-6 * s.frequency[b]);
                    ASSERT_NEAR(blocks[k2].density[b], s.density[b], 6e-6 * s.density[b] + 1e-30);
                }
            }
        }
        // Written behind the step from the graph alone: the same bytes, in
        // both files.
        std::string inStep, inStepDated;
        ASSERT_EQ(readFileBytes(p.path("NR24g.txt"), inStep), Status::Ok);
        ASSERT_EQ(readFileBytes(p.path(dated), inStepDated), Status::Ok);
        fs::remove(p.path("NR24g.txt"));
        fs::remove(p.path(dated));
        SpectrumGraph numbersOnly = g;
        numbersOnly.textLines.clear();
        writeDataSetSpectrumTextBehind(p.dir.string(), p.data, kStartFlagDatedSpectrum, numbersOnly);
        flushFileWrites();
        std::string behind, behindDated;
        ASSERT_EQ(readFileBytes(p.path("NR24g.txt"), behind), Status::Ok);
        ASSERT_EQ(readFileBytes(p.path(dated), behindDated), Status::Ok);
        EXPECT_EQ(behind, inStep);
        EXPECT_EQ(behindDated, inStepDated);
    }
}

TEST(SpectraDisplay, DatedNameFromTheMeasurementHeader)
{
    DataSet d;
    d.filePrefix = "NR";
    d.header.machineNumber = 12;
    d.header.year = 26;
    d.header.month = 12;
    d.header.day = 6;
    d.header.hour = 10;
    d.header.minute = 30;
    EXPECT_EQ(datedSpectrumTextNameFor(d), "NR012-2026-1206-1030sg.txt");
    d.header.machineNumber = 7;
    d.header.month = 1;
    d.header.hour = 0;
    d.header.minute = 5;
    EXPECT_EQ(datedSpectrumTextNameFor(d), "NR007-2026-0106-0005sg.txt");
    EXPECT_EQ(spectrumBitmapName("NR"), "NR24g.bmp");
    EXPECT_EQ(spectrumJpegName("NR"), "NR24g.jpg");
}

TEST(SpectraDisplay, ConversionSkippedWithoutAPressureChannel)
{
    Program p;
    auto o = sea(1.5, 8.0, 3.3);
    o.plan.channels = {synth::code::currentX, synth::code::currentY, synth::code::pressure};
    p.open(o);
    ASSERT_EQ(p.read(1), Status::Ok);
    SpectrumGraph g;
    ASSERT_EQ(buildDataSetSpectrum(p.data, p.rec, p.settings, g), Status::Ok);
    ASSERT_EQ(g.spectra.size(), 3u);
    EXPECT_EQ(g.note, kConversionSkippedText);
    for (const Spectrum& s : g.spectra)
        EXPECT_FALSE(s.converted) << "channel " << s.channel;
}

TEST(SpectraText, MalformedLinesAreRefused)
{
    struct Case {
        std::vector<std::string> lines;
        Status want;
        std::size_t blocks;
    };
    const Case cases[] = {
        {{}, Status::Ok, 0},
        {{"1", "1.95313E-03,4.00000E-02", "3", "1.95313E-03,0.00000E+00"}, Status::Ok, 2},
        {{"1.95313E-03,4.00000E-02"}, Status::DataFormat, 0},  // values before a slot line
        {{"1", "1.95313E-03;4.00000E-02"}, Status::DataFormat, 0},
        {{"1", "abc,4.00000E-02"}, Status::DataFormat, 0},
        {{"1", "1.95313E-03,"}, Status::DataFormat, 0},
        {{"9"}, Status::DataFormat, 0},
        {{"12"}, Status::DataFormat, 0},
    };
    for (const Case& c : cases) {
        std::vector<SpectrumTextBlock> out{SpectrumTextBlock{}};
        EXPECT_EQ(parseSpectrumText(c.lines, out), c.want);
        if (c.want == Status::Ok)
            EXPECT_EQ(out.size(), c.blocks);
        else
            EXPECT_EQ(out.size(), 1u) << "output untouched on a refusal";
    }
}

}  // namespace
}  // namespace varenta
