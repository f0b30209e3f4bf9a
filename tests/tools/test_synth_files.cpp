// Generated master file pairs read back through the file format: headers,
// samples, results records, faults, reproducibility and refusals.
#include "common/masterfile.h"
#include "common/numeric.h"
#include "common/resultitems.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "tools/synth/synth.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace varenta;
namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() /
                ("synth-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" + std::to_string(::getpid()));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string str() const { return path_.string(); }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

std::string readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::uint8_t* bytesAt(const std::string& file, std::uint64_t offset)
{
    return reinterpret_cast<const std::uint8_t*>(file.data()) + offset;
}

synth::GeneratorOptions smallPlan()
{
    synth::GeneratorOptions o;
    o.plan.bursts = 6;
    o.plan.durationMinutes = 2;
    o.plan.intervalMinutes = 30;
    o.synthesis.components = 64;
    return o;
}

// Reads measurement m of a written file and checks it against the options.
void expectMeasurement(const synth::GeneratorOptions& o, const std::string& file, std::uint32_t m)
{
    SCOPED_TRACE("measurement " + std::to_string(m));
    const int spm = synth::sectorsPerMeasurement(o);
    const std::uint64_t offset = (static_cast<std::uint64_t>(m) - 1) * static_cast<std::uint64_t>(spm) * 512;
    ASSERT_LE(offset + 512, file.size());
    MeasurementHeader h;
    ASSERT_EQ(readHeader(bytesAt(file, offset), file.size() - offset, h), Status::Ok);
    ASSERT_TRUE(isHeaderSector(bytesAt(file, offset)));
    const bool resultsOnly = synth::isResultsOnly(o, m);
    EXPECT_EQ(h.packetInfo, resultsOnly ? 0xC6 : 0x83);
    EXPECT_EQ(h.machineNumber, o.plan.machineNumber);
    EXPECT_EQ(h.modelCode, o.plan.modelCode);
    EXPECT_EQ(static_cast<std::uint32_t>(h.measurementNumber), m);
    EXPECT_EQ(static_cast<std::uint64_t>(h.recordAddress), offset / 512);
    EXPECT_EQ(h.durationMinutes, o.plan.durationMinutes);
    EXPECT_EQ(h.intervalMinutes, o.plan.intervalMinutes);
    EXPECT_EQ(h.measureCondition & 3, o.plan.intervalCode);
    EXPECT_EQ(h.channels, o.plan.channels);
    EXPECT_EQ(h.sectorsPerMeasurement, resultsOnly ? 1 : spm);
    const DateTime t = addMinutes(o.plan.start, static_cast<long long>(m - o.plan.firstMeasurementNumber) * o.plan.intervalMinutes);
    EXPECT_EQ(h.year, t.year % 100);
    EXPECT_EQ(h.month, t.month);
    EXPECT_EQ(h.day, t.day);
    EXPECT_EQ(h.hour, t.hour);
    EXPECT_EQ(h.minute, t.minute);
    EXPECT_EQ(h.second, o.plan.start.second);

    const synth::Burst b = synth::generateBurst(o, m);
    if (resultsOnly) {
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytesAt(file, offset + 120)), 392), b.resultsRecord);
        return;
    }
    std::vector<std::int16_t> words;
    ASSERT_EQ(unpackSamples(h, bytesAt(file, offset), file.size() - offset, words), Status::Ok);
    EXPECT_EQ(words, b.interleaved());
    ASSERT_EQ(static_cast<int>(words.size()), h.samplesPerChannel * h.channelCount);
    ASSERT_EQ(b.samplesPerChannel, h.samplesPerChannel);
}

}  // namespace

TEST(SynthFiles, PlansRoundTripThroughTheFileFormat)
{
    struct Case {
        const char* name;
        int code, duration, interval, bursts;
        std::vector<int> channels;
        std::uint32_t first;
        synth::Fidelity fidelity;
    };
    const Case cases[] = {
        {"pressure and current at 0.5 s", 1, 3, 60, 5, {1, 2, 3}, 1, synth::Fidelity::Full},
        {"every channel at 1 s", 0, 2, 20, 4, {1, 2, 3, 4, 5, 6, 7, 8, 12}, 1, synth::Fidelity::Full},
        {"array at 0.2 s from number 100", 2, 1, 10, 3, {48, 49, 50, 51, 1}, 100, synth::Fidelity::Cheap},
        {"level only at 0.1 s", 3, 1, 5, 3, {4}, 7, synth::Fidelity::Full},
        {"header-sized bursts", 0, 1, 1, 4, {1, 2}, 1, synth::Fidelity::Constant},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        synth::GeneratorOptions o = smallPlan();
        o.plan.intervalCode = c.code;
        o.plan.durationMinutes = c.duration;
        o.plan.intervalMinutes = c.interval;
        o.plan.bursts = c.bursts;
        o.plan.channels = c.channels;
        o.plan.firstMeasurementNumber = c.first;
        o.plan.machineNumber = 201;
        o.plan.modelCode = 17;
        o.plan.start = {2024, 2, 28, 23, 10, 30};  // crosses a leap day
        o.fidelity = c.fidelity;
        synth::MasterPairInfo info;
        ASSERT_EQ(synth::writeMasterPair(dir.str(), "NR201", o, &info), Status::Ok);
        const std::string meas = readAll(dir / "NR201M.H10");
        const std::string res = readAll(dir / "NR201L.H10");
        EXPECT_EQ(meas.size(), info.measurementBytes);
        const std::uint32_t last = c.first + static_cast<std::uint32_t>(c.bursts) - 1;
        EXPECT_EQ(meas.size(), static_cast<std::uint64_t>(last) * static_cast<std::uint64_t>(info.sectorsPerMeasurement) * 512);
        EXPECT_EQ(res.size(), static_cast<std::size_t>(last) * 392);
        EXPECT_EQ(info.recorded.size(), static_cast<std::size_t>(c.bursts));
        for (std::uint32_t m = c.first; m <= last; ++m)
            expectMeasurement(o, meas, m);
        // Every sector of a recorded measurement sums to 0.
        for (std::uint32_t m : info.recorded)
            for (int s = 0; s < info.sectorsPerMeasurement; ++s)
                EXPECT_TRUE(sectorSumOk(bytesAt(meas, ((m - 1) * static_cast<std::uint64_t>(info.sectorsPerMeasurement) + s) * 512)));
        // Numbers before the first burst hold only zero bytes.
        for (std::uint64_t i = 0; i < static_cast<std::uint64_t>(c.first - 1) * info.sectorsPerMeasurement * 512; ++i)
            ASSERT_EQ(meas[i], 0) << i;
    }
}

TEST(SynthFiles, DateAndTimeFollowTheScheduleAcrossMonthsAndYears)
{
    synth::GeneratorOptions o = smallPlan();
    o.plan.start = {2023, 12, 31, 22, 45, 0};
    o.plan.intervalMinutes = 240;
    o.plan.bursts = 3;
    const HeaderFields a = synth::headerFor(o, 1), b = synth::headerFor(o, 2), c = synth::headerFor(o, 3);
    EXPECT_EQ((std::array{a.year, a.month, a.day, a.hour, a.minute}), (std::array{23, 12, 31, 22, 45}));
    EXPECT_EQ((std::array{b.year, b.month, b.day, b.hour, b.minute}), (std::array{24, 1, 1, 2, 45}));
    EXPECT_EQ((std::array{c.year, c.month, c.day, c.hour, c.minute}), (std::array{24, 1, 1, 6, 45}));
}

TEST(SynthFiles, ResultsRecordsCarryNumberDateTimeAndStatistics)
{
    TempFolder dir;
    synth::GeneratorOptions o = smallPlan();
    o.plan.firstMeasurementNumber = 3;
    o.plan.bursts = 5;
    o.faults.gaps = {5};
    o.plan.start = {2026, 12, 6, 9, 5, 0};
    ASSERT_EQ(synth::writeMasterPair(dir.str(), "NR012", o), Status::Ok);
    const std::string res = readAll(dir / "NR012L.H10");
    ASSERT_EQ(res.size(), 7u * 392);
    const int numberPos = o.layout.positionOf(6);
    ASSERT_GE(numberPos, 4);
    for (std::uint32_t r = 1; r <= 7; ++r) {
        SCOPED_TRACE(r);
        const std::string rec = res.substr((r - 1) * 392, 392);
        EXPECT_EQ(rec.substr(390), "\r\n");
        EXPECT_EQ(std::stoi(resultItem(rec, numberPos)), static_cast<int>(r));
        if (r < 3 || r == 5) {
            // Not recorded: the empty record with its running number.
            EXPECT_EQ(rec, synth::numberedEmptyRecord(o.layout, r));
            EXPECT_EQ(resultItem(rec, 3), " 0:00");
            continue;
        }
        const HeaderFields h = synth::headerFor(o, r);
        EXPECT_EQ(resultItem(rec, 0), " 30 2");
        EXPECT_EQ(resultItem(rec, 1), "   26");
        EXPECT_EQ(resultItem(rec, 2), "12/ 6");
        char time[8];
        std::snprintf(time, sizeof time, "%2d:%02d", h.hour, h.minute);
        EXPECT_EQ(resultItem(rec, 3), time);
        EXPECT_EQ(rec, synth::generateBurst(o, r).resultsRecord);
    }
    // Statistics fields hold the burst's values in their formats.
    const synth::Burst b = synth::generateBurst(o, 4);
    const int hm0Pos = o.layout.positionOf(17);
    ASSERT_GE(hm0Pos, 0);
    EXPECT_NEAR(std::stod(resultItem(b.resultsRecord, hm0Pos)), b.stats.hm0, 0.005 + 1e-9);
    const int depthPos = o.layout.positionOf(19);
    ASSERT_GE(depthPos, 0);
    EXPECT_NEAR(std::stod(resultItem(b.resultsRecord, depthPos)), o.sea.depth, 0.05 + 1e-9);
    // The mean current (0.2 m/s toward the east) and its 16-point name.
    EXPECT_NEAR(std::stod(resultItem(b.resultsRecord, o.layout.positionOf(30))), 20.0, 1.0);
    EXPECT_NEAR(std::stod(resultItem(b.resultsRecord, o.layout.positionOf(31))), 0.0, 1.0);
    EXPECT_NEAR(std::stod(resultItem(b.resultsRecord, o.layout.positionOf(33))), 90.0, 3.0);
    EXPECT_EQ(resultItem(b.resultsRecord, o.layout.positionOf(34)), "    E");
    // Quantities without a sensor stay missing: tilt, internal temperature.
    EXPECT_EQ(resultItem(b.resultsRecord, o.layout.positionOf(39)), "-----");
    EXPECT_EQ(resultItem(b.resultsRecord, o.layout.positionOf(114)), "-----");
    EXPECT_EQ(resultItem(b.resultsRecord, o.layout.positionOf(109)), "  0.0");
}

TEST(SynthFiles, ResultsOnlySectorsHoldTheResultsText)
{
    TempFolder dir;
    synth::GeneratorOptions o = smallPlan();
    o.faults.allResultsOnly = true;
    o.plan.bursts = 4;
    synth::MasterPairInfo info;
    ASSERT_EQ(synth::writeMasterPair(dir.str(), "NR003", o, &info), Status::Ok);
    EXPECT_EQ(info.sectorsPerMeasurement, 1);
    const std::string meas = readAll(dir / "NR003M.H10");
    const std::string res = readAll(dir / "NR003L.H10");
    ASSERT_EQ(meas.size(), 4u * 512);
    for (std::uint32_t m = 1; m <= 4; ++m) {
        expectMeasurement(o, meas, m);
        EXPECT_EQ(meas.substr((m - 1) * 512 + 120, 392), res.substr((m - 1) * 392, 392));
        EXPECT_NE(meas[(m - 1) * 512 + 120], '-');
    }

    // Mixed: one results-only burst among raw bursts keeps its block's place.
    synth::GeneratorOptions mixed = smallPlan();
    mixed.faults.resultsOnly = {2};
    ASSERT_EQ(synth::writeMasterPair(dir.str(), "NR004", mixed, &info), Status::Ok);
    const std::string m2 = readAll(dir / "NR004M.H10");
    for (std::uint32_t m = 1; m <= 6; ++m)
        expectMeasurement(mixed, m2, m);
}

TEST(SynthFiles, FaultsAreWhereTheBurstSaysAndNowhereElse)
{
    synth::GeneratorOptions clean = smallPlan();
    clean.plan.channels = {1, 2, 3, 4};
    synth::GeneratorOptions faulty = clean;
    faulty.faults.missingFraction = 0.02;
    faulty.faults.spikesPerBurst = 3;
    faulty.faults.spikeSize = 3000;
    const synth::Burst a = synth::generateBurst(clean, 2);
    const synth::Burst b = synth::generateBurst(faulty, 2);
    ASSERT_EQ(a.counts.size(), b.counts.size());
    EXPECT_TRUE(a.missing.empty());
    EXPECT_TRUE(a.spikes.empty());
    // The waves are the same: faults come from their own random stream.
    EXPECT_EQ(a.physical, b.physical);
    std::set<std::pair<int, int>> missing(b.missing.begin(), b.missing.end());
    std::set<std::pair<int, int>> spiked(b.spikes.begin(), b.spikes.end());
    const double total = static_cast<double>(a.samplesPerChannel) * 4;
    EXPECT_NEAR(static_cast<double>(missing.size()) / total, 0.02, 0.01);
    EXPECT_GE(b.spikes.size(), 8u);
    for (int ch = 0; ch < 4; ++ch)
        for (int i = 0; i < a.samplesPerChannel; ++i) {
            const auto key = std::make_pair(ch, i);
            const int x = a.counts[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)];
            const int y = b.counts[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)];
            if (missing.count(key))
                EXPECT_EQ(y, kMissingSample);
            else if (spiked.count(key))
                EXPECT_GE(std::abs(y - x), 2999);  // two spikes on one sample may add up
            else
                ASSERT_EQ(x, y) << ch << " " << i;
        }
}

TEST(SynthFiles, GapsLeaveZeroSectorsAndCountAsSlots)
{
    TempFolder dir;
    synth::GeneratorOptions o = smallPlan();
    o.plan.bursts = 6;
    o.faults.gaps = {2, 6};
    synth::MasterPairInfo info;
    ASSERT_EQ(synth::writeMasterPair(dir.str(), "NR010", o, &info), Status::Ok);
    EXPECT_EQ(info.recorded, (std::vector<std::uint32_t>{1, 3, 4, 5}));
    const std::string meas = readAll(dir / "NR010M.H10");
    const std::uint64_t block = static_cast<std::uint64_t>(info.sectorsPerMeasurement) * 512;
    EXPECT_EQ(meas.size(), 5 * block);  // ends with measurement 5
    for (std::uint64_t i = block; i < 2 * block; ++i)
        ASSERT_EQ(meas[i], 0);
    for (std::uint32_t m : info.recorded)
        expectMeasurement(o, meas, m);
    // Measurement 3 keeps its place in the schedule.
    EXPECT_EQ(synth::headerFor(o, 3).hour, 11);

    // A random share of gaps is reproducible.
    synth::GeneratorOptions r = smallPlan();
    r.plan.bursts = 400;
    r.fidelity = synth::Fidelity::Constant;
    r.faults.gapFraction = 0.25;
    int dropped = 0;
    for (std::uint32_t m = 1; m <= 400; ++m) {
        dropped += synth::isRecorded(r, m) ? 0 : 1;
        EXPECT_EQ(synth::isRecorded(r, m), synth::isRecorded(r, m));
    }
    EXPECT_NEAR(dropped, 100, 35);
}

TEST(SynthFiles, SameSeedSameBytesOtherSeedOtherSea)
{
    synth::GeneratorOptions o = smallPlan();
    std::string m1, r1, m2, r2, m3, r3;
    ASSERT_EQ(synth::makeMasterPair(o, m1, r1), Status::Ok);
    ASSERT_EQ(synth::makeMasterPair(o, m2, r2), Status::Ok);
    EXPECT_EQ(m1, m2);
    EXPECT_EQ(r1, r2);
    o.seed = 2;
    ASSERT_EQ(synth::makeMasterPair(o, m3, r3), Status::Ok);
    EXPECT_EQ(m1.size(), m3.size());
    EXPECT_NE(m1, m3);

    // The in-memory pair equals the files.
    TempFolder dir;
    ASSERT_EQ(synth::writeMasterPair(dir.str(), "NR", o), Status::Ok);
    EXPECT_EQ(readAll(dir / "NRM.H10"), m3);
    EXPECT_EQ(readAll(dir / "NRL.H10"), r3);
    // And a single burst's sectors are the file's.
    const std::vector<Sector> s = synth::makeMeasurementSectors(o, 4);
    const std::uint64_t at = 3ull * s.size() * 512;
    for (std::size_t k = 0; k < s.size(); ++k)
        EXPECT_EQ(m3.compare(at + k * 512, 512, reinterpret_cast<const char*>(s[k].data()), 512), 0);
}

TEST(SynthFiles, RefusedPlansWriteNothing)
{
    struct Case {
        const char* what;
        void (*change)(synth::GeneratorOptions&);
    };
    const Case cases[] = {
        {"duration 0", [](synth::GeneratorOptions& o) { o.plan.durationMinutes = 0; }},
        {"duration 61", [](synth::GeneratorOptions& o) { o.plan.durationMinutes = 61; }},
        {"interval 0", [](synth::GeneratorOptions& o) { o.plan.intervalMinutes = 0; }},
        {"code 4", [](synth::GeneratorOptions& o) { o.plan.intervalCode = 4; }},
        {"no channel", [](synth::GeneratorOptions& o) { o.plan.channels.clear(); }},
        {"ten channels", [](synth::GeneratorOptions& o) { o.plan.channels.assign(10, 1); }},
        {"unknown channel", [](synth::GeneratorOptions& o) { o.plan.channels = {1, 9}; }},
        {"zero factor", [](synth::GeneratorOptions& o) { o.factors.factor[1] = 0.0; }},
        {"machine 256", [](synth::GeneratorOptions& o) { o.plan.machineNumber = 256; }},
        {"first number 0", [](synth::GeneratorOptions& o) { o.plan.firstMeasurementNumber = 0; }},
        {"30 February", [](synth::GeneratorOptions& o) { o.plan.start = {2026, 2, 30, 0, 0, 0}; }},
        {"dry gauge", [](synth::GeneratorOptions& o) { o.sea.gaugeHeight = 10.0; }},
        {"gauge above low tide", [](synth::GeneratorOptions& o) { o.sea.tideAmplitude = 9.6; }},
        {"no depth", [](synth::GeneratorOptions& o) { o.sea.depth = 0.0; }},
        {"no period", [](synth::GeneratorOptions& o) { o.sea.tp = 0.0; }},
        {"negative height", [](synth::GeneratorOptions& o) { o.sea.hm0 = -1.0; }},
        {"missing share 2", [](synth::GeneratorOptions& o) { o.faults.missingFraction = 2.0; }},
        {"addresses overflow", [](synth::GeneratorOptions& o) { o.plan.firstMeasurementNumber = 0xFFFFFF00u; }},
        {"extension", [](synth::GeneratorOptions& o) { o.extension = "H10"; }},
        {"peak above Nyquist", [](synth::GeneratorOptions& o) { o.sea.tp = 1.0; o.plan.intervalCode = 0; }},
        {"head beyond 16 bits", [](synth::GeneratorOptions& o) { o.sea.depth = 40.0; }},
    };
    TempFolder dir;
    std::ofstream(dir / "NR001M.H10") << "old measurement";
    std::ofstream(dir / "NR001L.H10") << "old results";
    for (const Case& c : cases) {
        synth::GeneratorOptions o = smallPlan();
        c.change(o);
        std::string message;
        EXPECT_EQ(synth::validateOptions(o, &message), Status::Refused) << c.what;
        EXPECT_FALSE(message.empty()) << c.what;
        EXPECT_EQ(synth::writeMasterPair(dir.str(), "NR001", o), Status::Refused) << c.what;
    }
    EXPECT_EQ(readAll(dir / "NR001M.H10"), "old measurement");
    EXPECT_EQ(readAll(dir / "NR001L.H10"), "old results");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.str()), fs::directory_iterator{}), 2);
    EXPECT_EQ(synth::writeMasterPair((dir / "missing").string(), "NR001", smallPlan()), Status::NotFound);
    EXPECT_EQ(synth::writeMasterPair(dir.str(), "a/b", smallPlan()), Status::Refused);
}

TEST(SynthFiles, LayoutFromTheSettingsSelectionList)
{
    // Running number in the first place of the second group: six characters
    // wide, using the group separator.
    std::string list = "000001002003012013008009006";
    const std::optional<synth::ResultLayout> l = synth::ResultLayout::parse(list);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->positionOf(6), 8);
    EXPECT_EQ(l->positionOf(12), 4);
    EXPECT_EQ(l->positionOf(99), -1);
    EXPECT_EQ(l->codes[9], -1);
    std::string rec = synth::numberedEmptyRecord(*l, 123456);
    EXPECT_EQ(rec.substr(48, 6), "123456");
    EXPECT_EQ(rec.size(), 392u);
    rec = synth::numberedEmptyRecord(*l, 42);
    EXPECT_EQ(rec.substr(48, 6), "    42");
    EXPECT_FALSE(synth::ResultLayout::parse("000001x02"));

    Settings s;
    s.set(165, 1, list);
    s.set(166, 1, "");
    ASSERT_TRUE(synth::ResultLayout::fromSettings(s, 165));
    EXPECT_EQ(synth::ResultLayout::fromSettings(s, 165)->positionOf(6), 8);
    EXPECT_FALSE(synth::ResultLayout::fromSettings(s, 166));

    // The generator's default layout agrees with the shipped settings.
    const std::string path = std::string(VARENTA_SOURCE_DIR) + "/data/tolvi.org";
    if (!fs::exists(path))
        GTEST_SKIP() << "no shipped settings";
    Settings shipped;
    ASSERT_EQ(shipped.load(path), Status::Ok);
    const std::optional<synth::ResultLayout> fromFile = synth::ResultLayout::fromSettings(shipped, 165);
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(fromFile->codes, synth::ResultLayout::defaults().codes);
}

TEST(SynthFiles, DefaultFactorsAreTheShippedTables)
{
    const std::string path = std::string(VARENTA_SOURCE_DIR) + "/data/tolvf.org";
    if (!fs::exists(path))
        GTEST_SKIP() << "no shipped channel table";
    ChannelTable t;
    ASSERT_EQ(t.load(path), Status::Ok);
    const synth::ChannelFactors d = synth::ChannelFactors::defaults();
    for (const auto& [c, f] : d.factor)
        EXPECT_DOUBLE_EQ(t.factor(c), f) << "code " << c;
}

TEST(SynthFiles, CommandLineProgram)
{
    const fs::path exe = fs::path(VARENTA_BINARY_DIR) / "nrsynth";
    if (!fs::exists(exe))
        GTEST_SKIP() << "nrsynth not built";
    TempFolder dir;
    auto run = [&](const std::string& args) {
        const std::string cmd = exe.string() + " " + args + " >/dev/null 2>&1";
        const int rc = std::system(cmd.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    };
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(run("--out " + dir.str() + " --bogus 1"), 2);
    EXPECT_EQ(run("--out " + dir.str() + " --duration 61"), 2);
    EXPECT_EQ(run("--bursts 3"), 2);  // no folder
    EXPECT_EQ(run("--out " + dir.str() + " --hs abc"), 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.str()), fs::directory_iterator{}), 0);
    ASSERT_EQ(run("--out " + dir.str() +
                  " --prefix NR077 --bursts 5 --duration 3 --interval 15 --code 2 --channels 1,2,3,4 --machine 77"
                  " --model 45 --first 10 --start \"2025-03-01 06:30:15\" --hs 2 --tp 10 --seed 9 --gaps 12"
                  " --results-only-at 13 --missing 0.01 --ext .TMP"),
              0);
    const std::string meas = readAll(dir / "NR077M.TMP");
    const std::string res = readAll(dir / "NR077L.TMP");
    synth::GeneratorOptions o;
    o.plan.bursts = 5;
    o.plan.durationMinutes = 3;
    o.plan.intervalMinutes = 15;
    o.plan.intervalCode = 2;
    o.plan.channels = {1, 2, 3, 4};
    o.plan.machineNumber = 77;
    o.plan.modelCode = 45;
    o.plan.firstMeasurementNumber = 10;
    o.plan.start = {2025, 3, 1, 6, 30, 15};
    o.sea.hm0 = 2;
    o.sea.tp = 10;
    o.seed = 9;
    o.faults.gaps = {12};
    o.faults.resultsOnly = {13};
    o.faults.missingFraction = 0.01;
    o.extension = ".TMP";
    std::string m2, r2;
    ASSERT_EQ(synth::makeMasterPair(o, m2, r2), Status::Ok);
    EXPECT_EQ(meas, m2);
    EXPECT_EQ(res, r2);
    for (std::uint32_t m : {10u, 11u, 13u, 14u})
        expectMeasurement(o, meas, m);
}

TEST(SynthResults, ShippedPatternsAreTheResultItemTable)
{
    const std::string path = std::string(VARENTA_SOURCE_DIR) + "/data/tolvg.org";
    if (!fs::exists(path))
        GTEST_SKIP() << "no shipped result-item table";
    ResultItemTable t;
    ASSERT_EQ(t.load(path), Status::Ok);
    for (int code = 0; code < 256; ++code) {
        if (!synth::shippedPattern(code).empty()) {
            EXPECT_EQ(synth::shippedPattern(code), t.value(code, 0)) << "code " << code;
        }
    }
}

TEST(SynthResults, ValuesFormatsAndNamesFollowTheLayout)
{
    // A layout of our own: the 6-wide first field of a group, directions
    // with their names, wind, temperature, compass and channel statistics.
    const std::vector<int> codes = {0,  1,  2,  3,  6,   17,  40,  41,  17, 42, 20, 38, 104, 109, 7,   99,
                                    12, 52, 57, 59, 128, 131, 132, 133, 64, 64, 64, 64, 64,  64,  144, 152};
    std::string list;
    for (int c : codes) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%03d", c);
        list += buf;
    }
    const std::optional<synth::ResultLayout> layout = synth::ResultLayout::parse(list);
    ASSERT_TRUE(layout);
    synth::GeneratorOptions o = smallPlan();
    o.layout = *layout;
    o.plan.channels = {1, 2, 3, 4, 5, 6, 7, 8};
    o.sea.windSpeed = 12.0;
    o.sea.windDirection = 300.0;
    o.sea.heading = 45.0;
    o.faults.spikesPerBurst = 2;
    o.faults.missingFraction = 0.001;
    o.seed = 5;
    const synth::Burst b = synth::generateBurst(o, 1);
    const std::string& r = b.resultsRecord;
    ASSERT_EQ(r.size(), 392u);
    auto item = [&](int pos) { return resultItem(r, pos); };
    // Hm0 at position 5 (5 wide) and at position 8 (6 wide, over the separator).
    char hm0[16];
    std::snprintf(hm0, sizeof hm0, "%5.2f", b.stats.hm0);
    EXPECT_EQ(item(5), hm0);
    std::snprintf(hm0, sizeof hm0, "%6.2f", b.stats.hm0);
    EXPECT_EQ(r.substr(resultItemOffset(8) - 1, 6), hm0);
    // Wind 12 m/s from 300 degrees (WNW).
    EXPECT_NEAR(std::stod(item(6)), 12.0, 0.5);
    EXPECT_NEAR(std::stod(item(7)), 300.0, 5.0);
    EXPECT_EQ(item(9), "  WNW");
    EXPECT_NEAR(std::stod(item(10)), o.sea.waterTemperature, 0.5);
    EXPECT_EQ(item(11), "   52");  // the compass: 45 degrees true + 7 declination
    EXPECT_GE(std::stod(item(12)), 0.0);
    EXPECT_EQ(item(13), "  2.0");  // spikes present
    EXPECT_EQ(std::stoi(item(14)), b.stats.missingSamples);
    EXPECT_EQ(std::stoi(item(15)), static_cast<int>(b.spikes.size()));
    // Pressure and ultrasonic heights of the same sea agree.
    EXPECT_NEAR(std::stod(item(16)), std::stod(item(17)), 0.1);
    EXPECT_NEAR(std::stod(item(18)), b.stats.level.hm0, 0.006);
    EXPECT_NEAR(std::stod(item(19)), b.stats.level.depth, 0.06);
    // Channel 1 (pressure) statistics in counts: mean, sd, missing, spikes.
    EXPECT_NEAR(std::stod(item(20)), b.stats.channels[0].mean, 0.51);
    EXPECT_NEAR(std::stod(item(21)), b.stats.channels[0].sd, 0.051);
    EXPECT_EQ(std::stoi(item(22)), b.stats.channels[0].missing);
    EXPECT_EQ(std::stoi(item(23)), 2);
    // Channel 3 mean (code 144) and an undefined sensor slot (channel 4 + ...).
    EXPECT_NEAR(std::stod(item(30)), b.stats.channels[2].mean, 0.51);
    EXPECT_NEAR(std::stod(item(31)), b.stats.channels[3].mean, 0.51);
    // Spacers and unused positions stay as in the empty record.
    EXPECT_EQ(item(24), "-----");
    EXPECT_EQ(item(40), "-----");

    // Patterns of a result-item table replace the shipped ones.
    ResultItemTable t;
    ASSERT_EQ(t.parse({"[200] table", "001017,#0.000,a,b"}), Status::Ok);
    synth::ResultLayout withTable = *layout;
    withTable.usePatterns(t);
    EXPECT_EQ(withTable.patternOf(17), "#0.000");
    EXPECT_EQ(withTable.patternOf(40), synth::shippedPattern(40));
    std::snprintf(hm0, sizeof hm0, "%5.3f", b.stats.hm0);
    EXPECT_EQ(resultItem(synth::composeResultsRecord(withTable, b.header, b.stats), 5), hm0);
}
