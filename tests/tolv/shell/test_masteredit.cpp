// The master file editors: date arithmetic, the date update, the time
// editor and the size change, on generated master files.
#include "tolv/shell/masteredit.h"

#include "tolv/shell/filecommands.h"

#include "common/bytes.h"
#include "common/test_settings_fixture.h"
#include "tolv/data/data_fixture.h"
#include "tools/synth/generator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace varenta {
namespace {

using testing::readBytes;
using testing::TempFolder;

ShortDate sd(int y, int mo, int d, int h, int mi) { return ShortDate{y, mo, d, h, mi}; }
std::string text(const std::optional<ShortDate>& d) { return d ? shortDateText(*d) : "none"; }

TEST(ShortDates, AddingMinutesCarriesThroughMonthsLeapDaysAndYears)
{
    const struct {
        ShortDate from;
        long long minutes;
        const char* want;
    } cases[] = {
        {sd(10, 2, 28, 23, 30), 60, "10/03/01 00:30"},
        {sd(12, 2, 28, 23, 30), 60, "12/02/29 00:30"},
        {sd(12, 2, 29, 23, 30), 60, "12/03/01 00:30"},
        {sd(10, 12, 31, 23, 59), 1, "11/01/01 00:00"},
        {sd(99, 12, 31, 23, 0), 60, "00/01/01 00:00"},
        {sd(10, 1, 31, 0, 0), 1440 * 29, "10/03/01 00:00"},
        {sd(10, 4, 30, 22, 0), 240 * 12, "10/05/02 22:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shortDateText(addShortMinutes(c.from, c.minutes)), c.want) << shortDateText(c.from);
}

TEST(ShortDates, MinutesSince2000CountTheLeapDay)
{
    EXPECT_EQ(minutesSince2000(sd(12, 3, 1, 0, 0)) - minutesSince2000(sd(12, 2, 28, 0, 0)), 2 * 1440);
    EXPECT_EQ(minutesSince2000(sd(11, 3, 1, 0, 0)) - minutesSince2000(sd(11, 2, 28, 0, 0)), 1440);
    EXPECT_EQ(minutesSince2000(sd(13, 1, 1, 0, 0)) - minutesSince2000(sd(12, 1, 1, 0, 0)), 366 * 1440);
    // Adding and subtracting agree everywhere in a leap year.
    for (long long m = 0; m < 366 * 1440; m += 997)
        EXPECT_EQ(minutesSince2000(addShortMinutes(sd(12, 1, 1, 0, 0), m)) - minutesSince2000(sd(12, 1, 1, 0, 0)), m);
}

TEST(ShortDates, AnswersAreReadOnlyAsRealDates)
{
    const struct {
        const char* answer;
        const char* want;
    } cases[] = {
        {"10/01/05 09:30", "10/01/05 09:30"}, {"2010/1/5 9:30", "10/01/05 09:30"},
        {"12/02/29 00:00", "12/02/29 00:00"}, {" 10/01/05 09:30:15", "10/01/05 09:30"},
        {"10/02/29 00:00", "none"},           {"10/13/01 00:00", "none"},
        {"10/01/05 24:00", "none"},           {"10/01/05", "none"},
        {"can", "none"},                      {"10-01-05 09:30", "none"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text(parseShortDate(c.answer)), c.want) << c.answer;
    EXPECT_EQ(panelDateText(sd(10, 1, 5, 9, 30)), "10/ 1/ 5");
    EXPECT_EQ(panelTimeText(sd(10, 1, 5, 9, 5)), "09:05");
}

TEST(TimeEditorAnswers, DurationIntervalBoundsAndFileName)
{
    EXPECT_EQ(parseDurationInterval("90/300"), std::make_pair(60, 240));
    EXPECT_EQ(parseDurationInterval("20/10"), std::make_pair(20, 20));
    EXPECT_EQ(parseDurationInterval("0/0"), std::make_pair(1, 1));
    EXPECT_FALSE(parseDurationInterval("20"));
    EXPECT_FALSE(parseDurationInterval("a/b"));
    EXPECT_EQ(timeEditFileName("/d/NR512M.H10", sd(10, 1, 5, 9, 30), 10, 60), "/d/NR512-100105-0930-1060m.h10");
    EXPECT_EQ(resizeStampedName("/d/NR012M.H10", DateTime{2026, 12, 8, 7, 5, 9}), "/d/NR012-20261208-070509M.H10");
    EXPECT_EQ(resizeSectorsFor("/d/nr012m.h10", 15), 15);
    EXPECT_EQ(resizeSectorsFor("/d/NR012R.H10", 15), 1);
    EXPECT_FALSE(resizeSectorsFor("/d/NR012L.H10", 15));
}

// A generated master pair of short bursts.
struct EditFiles : ::testing::Test {
    TempFolder dir;
    synth::GeneratorOptions o;
    std::string master, results;

    void make(int bursts, int duration, int interval, std::set<std::uint32_t> gaps = {})
    {
        o.plan.bursts = bursts;
        o.plan.durationMinutes = duration;
        o.plan.intervalMinutes = interval;
        o.plan.intervalCode = 0;
        o.plan.channels = {synth::code::pressure, synth::code::currentX};
        o.fidelity = synth::Fidelity::Cheap;
        o.faults.gaps = std::move(gaps);
        std::string msg;
        ASSERT_EQ(synth::writeMasterPair(dir.path(), "NR512", o, nullptr, &msg), Status::Ok) << msg;
        master = dir.file("NR512M.H10");
        results = dir.file("NR512L.H10");
    }
    static int sectorsOf(const synth::GeneratorOptions& g)
    {
        return sectorsFor(60 * g.plan.durationMinutes * static_cast<int>(g.plan.channels.size()), 3);
    }
    // Sector i of a byte image.
    static const std::uint8_t* at(const std::string& bytes, long long i)
    {
        return reinterpret_cast<const std::uint8_t*>(bytes.data()) + i * 512;
    }
    static void expectAllSectorsSum(const std::string& bytes)
    {
        ASSERT_EQ(bytes.size() % 512, 0u);
        for (std::size_t i = 0; i < bytes.size() / 512; ++i)
            ASSERT_TRUE(sectorSumOk(at(bytes, static_cast<long long>(i)))) << "sector " << i;
    }
};

TEST_F(EditFiles, DateUpdateRedatesValidHeadersRenumbersAndCarriesIntoResults)
{
    make(6, 1, 60, {3});
    const int S = sectorsOf(o);
    std::string res = readBytes(results);
    res[4 * 392 + 4] = ' ';  // record 5: not a processed record
    { std::ofstream(results, std::ios::binary) << res; }
    const std::string before = readBytes(master);

    DateUpdateRequest rq{master, results, S, 100, sd(10, 2, 28, 23, 30), 60};
    std::vector<long long> steps;
    const DateUpdateOutcome out = updateMeasurementDates(rq, nullptr, [&](const DateUpdateStep& s) { steps.push_back(s.number); });
    ASSERT_EQ(out.status, Status::Ok) << out.message;
    EXPECT_EQ(out.headers, 5);
    EXPECT_EQ(out.skipped, 1);
    EXPECT_EQ(steps, (std::vector<long long>{1, 2, 3, 4, 5, 6}));  // stopped at the end of the file

    const std::string after = readBytes(master);
    ASSERT_EQ(after.size(), before.size());
    expectAllSectorsSum(after);
    const char* want[] = {"10/02/28 23:30", "10/03/01 00:30", "", "10/03/01 02:30", "10/03/01 03:30", "10/03/01 04:30"};
    for (int k = 1; k <= 6; ++k) {
        const std::uint8_t* s = at(after, (k - 1) * S);
        if (k == 3) {
            EXPECT_EQ(std::string(after, 2 * S * 512, 512), std::string(before, 2 * S * 512, 512)) << "gap untouched";
            continue;
        }
        const auto h = readValidHeader(s);
        ASSERT_TRUE(h) << k;
        EXPECT_EQ(shortDateText(headerShortDate(*h)), want[k - 1]);
        EXPECT_EQ(h->measurementNumber, k);
        // Everything else of the header, the samples included, is as it was.
        for (std::size_t b = 0; b < 512; ++b)
            if (b != 3 && (b < 9 || b > 13) && (b < 28 || b > 31))
                ASSERT_EQ(s[b], static_cast<std::uint8_t>(before[(k - 1) * S * 512 + b])) << k << " byte " << b;
    }
    const std::string r = readBytes(results);
    EXPECT_EQ(r.substr(392 + 6, 17), "   10, 3/ 1,00:30");
    EXPECT_EQ(r.substr(4 * 392, 392), res.substr(4 * 392, 392)) << "a record without a digit stays";
}

TEST_F(EditFiles, DateUpdateStoppedLeavesTheRestAsItWas)
{
    make(5, 1, 60);
    const int S = sectorsOf(o);
    const std::string before = readBytes(master);
    int polls = 0;
    Progress p;
    p.poll = [&] { return ++polls < 2; };
    const DateUpdateOutcome out = updateMeasurementDates({master, "", S, 5, sd(10, 1, 1, 0, 0), 60}, &p);
    EXPECT_EQ(out.status, Status::Cancelled);
    EXPECT_EQ(out.headers, 2);
    const std::string after = readBytes(master);
    EXPECT_EQ(after.substr(2 * S * 512), before.substr(2 * S * 512));
    EXPECT_NE(after.substr(0, 512), before.substr(0, 512));
}

TEST_F(EditFiles, TimeEditedFileOpensAndHoldsTheSourceSamplesAtTheComputedPositions)
{
    make(6, 10, 10);  // continuous: 10 of every 10 minutes, 1 s, 2 channels
    const auto first = readValidHeader(at(readBytes(master), 0));
    ASSERT_TRUE(first);
    const ShortDate ref = headerShortDate(*first);
    const ShortDate start = addShortMinutes(ref, 7);  // inside measurement 1, running into 2
    TimeEditRequest rq{master, timeEditFileName(master, start, 5, 20), ref, start, std::nullopt, 5, 20};
    const TimeEditOutcome out = timeEditMasterFile(rq, nullptr);
    ASSERT_EQ(out.status, Status::Ok) << out.message;
    EXPECT_EQ(out.measurements, 3);  // 7, 27, 47 minutes; 67 is past the source's 60

    testing::Program p;
    ASSERT_EQ(p.session->loadDataSet(rq.targetPath), Status::Ok);
    expectAllSectorsSum(readBytes(rq.targetPath));
    const long long P = 60LL * 10 * 2, C = 2;
    auto source = [&](long long g) { return synth::generateBurst(o, static_cast<std::uint32_t>(g / P + 1)).interleaved()[g % P]; };
    for (long long k = 1; k <= 3; ++k) {
        ASSERT_EQ(p.session->readMeasurement(k, true), Status::Ok) << k;
        const MeasurementHeader& h = p.data.header;
        const ShortDate want = addShortMinutes(start, (k - 1) * 20);
        EXPECT_EQ(shortDateText(headerShortDate(h)), shortDateText(want));
        EXPECT_EQ(h.durationMinutes, 5);
        EXPECT_EQ(h.intervalMinutes, 20);
        EXPECT_EQ(h.measurementNumber, k);
        const long long g0 = 120 * (minutesSince2000(want) - minutesSince2000(ref));
        ASSERT_EQ(p.data.rawCounts.size(), 2u);
        for (long long j = 0; j < 300; ++j)
            for (long long c = 0; c < C; ++c)
                ASSERT_EQ(p.data.rawCounts[c][j], source(g0 + j * C + c)) << k << " " << j << " " << c;
    }
    // With an end date no measurement starts after it.
    rq.end = addShortMinutes(start, 25);
    EXPECT_EQ(timeEditMasterFile(rq, nullptr).measurements, 2);
}

TEST_F(EditFiles, SizeChangeKeepsAFileWithOneSpareMeasurementAndCutsALongerOne)
{
    make(4, 1, 60);
    const int S = sectorsOf(o);
    const long long block = 512LL * S;
    // Exactly L + 1 measurements' worth: the proper size.
    std::filesystem::resize_file(master, 5 * block);
    ResizePlan plan;
    ASSERT_EQ(planResize(master, S, plan), Status::Ok);
    EXPECT_EQ(plan.lastNumber, 4);
    EXPECT_FALSE(plan.canShrink);
    // One byte more and it can be cut.
    std::filesystem::resize_file(master, 5 * block + 1);
    ASSERT_EQ(planResize(master, S, plan), Status::Ok);
    ASSERT_TRUE(plan.canShrink);
    const std::string before = readBytes(master);
    const std::string stamped = dir.file("NR512-20261208-070509M.H10");
    std::vector<long long> reported;
    std::string msg;
    ASSERT_EQ(shrinkMasterFile(master, plan, stamped, nullptr, [&](long long b) { reported.push_back(b); }, &msg),
              Status::Ok) << msg;
    EXPECT_EQ(readBytes(master), before.substr(0, 4 * block));
    EXPECT_EQ(readBytes(stamped), before);
    EXPECT_EQ(reported.back(), 4 * block);
    EXPECT_FALSE(std::filesystem::exists(master + ".~resize"));
    // Cut once, the file has its proper size.
    ASSERT_EQ(planResize(master, S, plan), Status::Ok);
    EXPECT_FALSE(plan.canShrink);
}


TEST_F(EditFiles, BackupCopiesTheDataFilesAndSettingsMoveTakesThemAway)
{
    make(2, 1, 60);
    const std::string prog = dir.file("prog");
    std::filesystem::create_directories(prog);
    { std::ofstream(prog + "/tolvi.ini") << "ini"; }
    { std::ofstream(dir.file("other.h10")) << "x"; }
    { std::ofstream(dir.file("notes.txt")) << "y"; }
    BackupRequest rq{master, prog, DateTime{2026, 12, 8, 7, 5, 9}, false};
    BackupOutcome out = backupDataFiles(rq);
    ASSERT_EQ(out.status, Status::Ok) << out.message;
    EXPECT_EQ(out.target, prog + "/NR512/B2026-1208-070509");
    EXPECT_EQ(out.files, (std::vector<std::string>{"NR512L.H10", "NR512M.H10", "other.h10"}));
    EXPECT_EQ(readBytes(out.target + "/NR512M.H10"), readBytes(master));
    EXPECT_TRUE(std::filesystem::exists(out.target + "/tolvi.ini"));

    rq.move = true;
    const std::string bytes = readBytes(master);
    out = backupDataFiles(rq);
    ASSERT_EQ(out.status, Status::Ok) << out.message;
    EXPECT_FALSE(std::filesystem::exists(master));
    EXPECT_FALSE(std::filesystem::exists(out.target + "/tolvi.ini")) << "the target was emptied first";
    EXPECT_EQ(readBytes(out.target + "/NR512M.H10"), bytes);
    EXPECT_TRUE(std::filesystem::exists(dir.file("notes.txt")));
    EXPECT_TRUE(sameFileForSave(dir.file("A.h10"), dir.file("a.H10")));
}

}  // namespace
}  // namespace varenta
