// The results record of a measurement: compass names, the logger's own
// text of a result sector, the composed record of a raw-data measurement,
// the writes into the results file, the table refresh rule and the
// hand-over file (whose wait the stop request ends).
#include "tolv/spectra/resultsrecord.h"

#include "common/format.h"
#include "common/installdata.h"
#include "tolv/data/resultstable.h"
#include "tools/synth/synth.h"

#include "common/header_fixture.h"
#include "tolv/data/test_results_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace varenta;
using namespace varenta::testing;

namespace {

MeasurementHeader rawHeader(int number)
{
    HeaderFields f;
    f.measurementNumber = static_cast<std::uint32_t>(number);
    f.year = 26;
    f.month = 5;
    f.day = 6;
    f.hour = 9;
    f.minute = 5;
    f.durationMinutes = 20;
    f.intervalMinutes = 60;
    f.channelSlots[0] = 0x80 | 1;
    return decodeHeader(headerSector(f).data());
}

// A record numbered n with a recognisable value.
std::string taggedRecord(const ResultSelection& sel, long long n)
{
    std::string r = emptyResultsRecord();
    setResultItem(r, sel.positionOf(6), std::to_string(n));
    setResultItem(r, sel.positionOf(12), formatMask(static_cast<double>(n) / 100.0, "#0.00"));
    return r;
}

TakenRecord logger(const std::string& record)
{
    TakenRecord t;
    t.record = record;
    t.from = TakenFrom::Logger;
    return t;
}

}  // namespace

TEST(ResultsRecordFiles, NamesOfTheResultsAndHandOverFiles)
{
    Settings s;
    EXPECT_EQ(resultsFileNameFor(s, "/d/NR012M.H10"), "/d/NR012l.H10");
    EXPECT_EQ(handOverFileNameFor("/d/NR012M.H10"), "/d/NR012s.H10");
    EXPECT_EQ(resultsFileNameFor(s, "/d/x/NRabcM.TMP"), "/d/x/NRabcl.TMP");
    s.set(89, 4, "/a/b");  // 4 characters: not a name
    EXPECT_EQ(resultsFileNameFor(s, "/d/NR012M.H10"), "/d/NR012l.H10");
    s.set(89, 4, " /r/resL.H10 ");
    EXPECT_EQ(resultsFileNameFor(s, "/d/NR012M.H10"), "/r/resL.H10");
}

TEST(TakeResultsRecord, ResultSectorTextDashAndDamage)
{
    const std::string blank = emptyResultsRecord();
    Sector s{};
    const std::string text = "+" + blank.substr(1);
    std::copy(text.begin(), text.end(), s.begin() + hdr::resultsText);
    TakenRecord t = takeResultsRecord(blank, s.data());
    EXPECT_EQ(t.from, TakenFrom::Logger);
    EXPECT_EQ(t.status, Status::Ok);
    EXPECT_EQ(t.record, text);

    s[hdr::resultsText] = '-';
    t = takeResultsRecord(blank, s.data());
    EXPECT_EQ(t.from, TakenFrom::Blank);
    EXPECT_EQ(t.record, blank);

    s[hdr::resultsText] = '1';
    s[511] = 0;  // no line end: not a record
    t = takeResultsRecord("BLANK", s.data());
    EXPECT_EQ(t.status, Status::DataFormat);
    EXPECT_EQ(t.record, "BLANK");
    s[511] = '\n';
    s[300] = '\n';  // a line end inside
    EXPECT_EQ(takeResultsRecord(blank, s.data()).status, Status::DataFormat);
    EXPECT_EQ(takeResultsRecord(blank, nullptr).status, Status::NotFound);
}

TEST(TakeResultsRecord, FromTheMeasurementFileAndTheMessageForRawData)
{
    const Shipped sh;
    synth::GeneratorOptions o;
    o.plan.bursts = 4;
    o.plan.intervalMinutes = 60;
    o.fidelity = synth::Fidelity::Constant;
    o.faults.resultsOnly = {2, 3};
    std::string meas, res;
    synth::MasterPairInfo info;
    ASSERT_EQ(synth::makeMasterPair(o, meas, res, &info), Status::Ok);
    const std::string path = sh.dir.file("NR012M.H10");
    writeBytes(path, meas);

    DataSet d;
    d.measurementPath = path;
    d.hasMeasurementFile = true;
    ScriptedPrompter prompter;
    ResultsRecordState state;
    const std::uint64_t block = static_cast<std::uint64_t>(info.sectorsPerMeasurement) * kSectorSize;
    for (int m = 1; m <= 4; ++m) {
        SCOPED_TRACE(m);
        d.headerOffset = static_cast<std::int64_t>(block * static_cast<std::uint64_t>(m - 1));
        d.currentNumber = m;
        ASSERT_EQ(readHeader(reinterpret_cast<const std::uint8_t*>(meas.data()) + d.headerOffset, kSectorSize, d.header),
                  Status::Ok);
        const std::size_t before = prompter.shown.size();
        const TakenRecord t = TakeResultsRecord(state, d, prompter);
        if (m == 2 || m == 3) {
            EXPECT_EQ(t.from, TakenFrom::Logger);
            EXPECT_EQ(t.record, synth::generateBurst(o, static_cast<std::uint32_t>(m)).resultsRecord);
            EXPECT_EQ(prompter.shown.size(), before);
        } else {
            EXPECT_EQ(t.from, TakenFrom::RawData);
            EXPECT_EQ(t.record, state.blankRecord);
            ASSERT_EQ(prompter.shown.size(), before + 1);
            EXPECT_EQ(prompter.shown.back().title, "VarentaK - 操作の禁止");
            EXPECT_EQ(prompter.shown.back().text, "このバージョンには、処理機能がありません");
            EXPECT_EQ(prompter.shown.back().icon, MsgIcon::Warning);
        }
    }
    // A result sector that changed under the program (now a raw sector) is
    // not taken.
    d.headerOffset = static_cast<std::int64_t>(block);
    ASSERT_EQ(readHeader(reinterpret_cast<const std::uint8_t*>(meas.data()) + block, kSectorSize, d.header), Status::Ok);
    d.currentNumber = 2;
    d.headerOffset = 0;
    EXPECT_EQ(TakeResultsRecord(state, d, prompter).status, Status::DataFormat);
    // Nor is the result sector of another measurement.
    d.headerOffset = static_cast<std::int64_t>(2 * block);
    EXPECT_EQ(TakeResultsRecord(state, d, prompter).status, Status::DataFormat);
    d.currentNumber = 3;
    EXPECT_EQ(TakeResultsRecord(state, d, prompter).from, TakenFrom::Logger);
}

TEST(ComposeRawDataRecord, DateTimeNumberPatternsAndCompassNames)
{
    const Shipped sh;
    const MeasurementHeader h = rawHeader(3);
    ResultValues v;
    v.values[kRunningNumberCode] = 3;
    const std::string r = composeRawDataRecord(emptyResultsRecord(), h, sh.items, sh.selection, v);
    ASSERT_EQ(r.size(), kResultsRecordSize);
    EXPECT_EQ(r.substr(0, 24), " 6020,   26, 5/ 6, 9:05,");
    EXPECT_EQ(resultItem(r, sh.selection.positionOf(6)), "    3");
    EXPECT_EQ(resultItem(r, sh.selection.positionOf(12)), " 0.00");  // "##0.00"
    EXPECT_EQ(resultItem(r, sh.selection.positionOf(13)), "  0.0");  // "###0.0"
    EXPECT_EQ(resultItem(r, sh.selection.positionOf(109)), "  0.0");
    // Direction 24 (value 0) names its partner 25 "N".
    EXPECT_EQ(resultItem(r, sh.selection.positionOf(25)), "    N");
    EXPECT_EQ(resultItem(r, sh.selection.positionOf(34)), "    N");
    // Group separators and the line end stay where they are.
    for (int g = 0; g < 7; ++g)
        EXPECT_EQ(r.substr(static_cast<std::size_t>(g) * 49 + 47, 2), ", ") << g;
    EXPECT_EQ(r.substr(390), "\r\n");
    // A direction of 340 degrees is named NNW.
    v.values[24] = 340;
    const std::string named = composeRawDataRecord(emptyResultsRecord(), h, sh.items, sh.selection, v);
    EXPECT_EQ(resultItem(named, sh.selection.positionOf(25)), "  NNW");
    EXPECT_EQ(resultItem(named, sh.selection.positionOf(24)), "  340");
    // A position opening a group is written 6 wide from its separator.
    ResultSelection wide = sh.selection;
    ASSERT_EQ(wide.positionOf(8), 8);
    v.values[8] = 123.45;
    const std::string six = composeRawDataRecord(emptyResultsRecord(), h, sh.items, wide, v);
    EXPECT_EQ(six.substr(47, 7), ",123.45");  // "##0.00" in 6 characters over the separator
}

// With the statistics: codes without a value keep the blank record's
// "-----" (their names too), a value too wide for its field shows "*****"
// instead of its last digits, and the message is not shown.
TEST(ComposeRawDataRecord, StatisticsWriteOnlyTheirValues)
{
    const Shipped sh;
    const MeasurementHeader h = rawHeader(3);
    ResultValues v;
    v.values[kRunningNumberCode] = 3;
    v.values[12] = 1.234;
    v.values[13] = 123456.0;  // "###0.0" in 5 characters
    v.values[33] = 60.0;
    const std::string r = composeRawDataRecord(emptyResultsRecord(), h, sh.items, sh.selection, v, true);
    const auto at = [&](int code) { return resultItem(r, sh.selection.positionOf(code)); };
    EXPECT_EQ(at(12), " 1.23");
    EXPECT_EQ(at(13), "*****");
    EXPECT_EQ(at(33), "   60");
    EXPECT_EQ(at(34), "  ENE");
    EXPECT_EQ(at(24), "-----");
    EXPECT_EQ(at(25), "-----");
    EXPECT_EQ(at(17), "-----");

    DataSet d;
    d.header = h;
    ScriptedPrompter prompter;
    const TakenRecord t = TakeResultsRecord(ResultsRecordState{}, d, prompter, true);
    EXPECT_EQ(t.from, TakenFrom::RawData);
    EXPECT_TRUE(prompter.shown.empty());
}

namespace {

struct Store {
    Shipped sh;
    std::string master = sh.dir.file("NR012M.H10");
    std::string results = sh.dir.file("NR012l.H10");
    ResultsRecordState state;
    MeasurementHeader header = rawHeader(1);

    ResultsRecordContext context(long long m)
    {
        ResultsRecordContext c;
        c.settings = &sh.settings;
        c.items = &sh.items;
        c.selection = &sh.selection;
        c.header = &header;
        c.measurement = m;
        c.masterPath = master;
        return c;
    }
    StoreOutcome store(long long m, const std::string& record)
    {
        return StoreResultsRecord(state, logger(record), context(m));
    }
};

}  // namespace

TEST(StoreResultsRecord, Measurement1AtByte1AndMeasurement3AtByte785)
{
    Store s;
    writeBytes(s.results, taggedRecord(s.sh.selection, 1) + taggedRecord(s.sh.selection, 2) +
                              taggedRecord(s.sh.selection, 3));
    const std::string r1 = taggedRecord(s.sh.selection, 1).replace(60, 5, "  ONE");
    StoreOutcome o = s.store(1, r1);
    ASSERT_EQ(o.status, Status::Ok);
    EXPECT_EQ(o.resultsPath, s.results);
    EXPECT_FALSE(o.created);
    std::string file = readBytes(s.results);
    EXPECT_EQ(file.substr(0, kResultsRecordSize), r1);
    const std::string r3 = taggedRecord(s.sh.selection, 3).replace(60, 5, "THREE");
    o = s.store(3, r3);
    file = readBytes(s.results);
    EXPECT_EQ(file.substr(784, kResultsRecordSize), r3);
    EXPECT_EQ(file.size(), 3 * kResultsRecordSize);
    EXPECT_EQ(o.refresh, TableRefresh::OneLine);
    EXPECT_EQ(o.refreshRecord, 3);
}

TEST(StoreResultsRecord, ANewFileHoldsTheRecordAtByte1AndAt785)
{
    Store s;
    const std::string r3 = taggedRecord(s.sh.selection, 3);
    const StoreOutcome o = s.store(3, r3);
    ASSERT_EQ(o.status, Status::Ok);
    EXPECT_TRUE(o.created);
    EXPECT_EQ(o.refresh, TableRefresh::Complete);
    const std::string file = readBytes(s.results);
    ASSERT_EQ(file.size(), 3 * kResultsRecordSize);
    EXPECT_EQ(file.substr(0, kResultsRecordSize), r3);
    EXPECT_EQ(file.substr(784, kResultsRecordSize), r3);
    // Record 2 is no hole: the empty record with its number.
    EXPECT_EQ(recordOf(file, 2).substr(0, 30), "-----,   00, 1/ 1, 0:00,    2,");
    // From now on the blank record carries the running number 1.
    EXPECT_EQ(s.state.blankRecord.substr(0, 30), "-----,   00, 1/ 1, 0:00,    1,");
    // The table's check then puts record 1 in order, and only record 1.
    ResultsTableRequest rq;
    rq.resultsPath = s.results;
    rq.exportPath = s.sh.dir.file("NR23g.txt");
    rq.layout = makeResultsTableLayout(s.sh.items, s.sh.selection);
    EXPECT_EQ(fillResultsTableFiles(rq).replaced, std::vector<long long>{1});
}

TEST(StoreResultsRecord, RawDataRecordsAreComposedAndTheTableFollows)
{
    Store s;
    writeBytes(s.results, taggedRecord(s.sh.selection, 1) + taggedRecord(s.sh.selection, 2));
    s.state.resultsPath = s.results;
    s.state.recordsAtRefresh = 2;
    TakenRecord raw;
    raw.record = s.state.blankRecord;
    raw.from = TakenFrom::RawData;
    s.header = rawHeader(3);
    StoreOutcome o = StoreResultsRecord(s.state, raw, s.context(3));
    ASSERT_EQ(o.status, Status::Ok);
    EXPECT_EQ(o.record.substr(0, 30), " 6020,   26, 5/ 6, 9:05,    3,");
    EXPECT_EQ(recordOf(readBytes(s.results), 3), o.record);
    EXPECT_EQ(o.refresh, TableRefresh::OneLine);  // grew by one record
    EXPECT_EQ(o.refreshRecord, 3);
    // Measurement 7: records 4 to 6 are numbered empty records; the table is
    // refreshed from record 4.
    o = s.store(7, taggedRecord(s.sh.selection, 7));
    EXPECT_EQ(o.refresh, TableRefresh::FromRecord);
    EXPECT_EQ(o.refreshRecord, 4);
    EXPECT_EQ(o.records, 7);
    const std::string file = readBytes(s.results);
    for (long long k = 4; k <= 6; ++k)
        EXPECT_EQ(resultItem(recordOf(file, k), 4), rightAlign(std::to_string(k), 5));
    // Rewriting an old record changes one line.
    o = s.store(2, taggedRecord(s.sh.selection, 2));
    EXPECT_EQ(o.refresh, TableRefresh::OneLine);
    EXPECT_EQ(o.refreshRecord, 2);
}

TEST(StoreResultsRecord, AFileShorterThanARecordGetsItAtByte1Too)
{
    Store s;
    writeBytes(s.results, "");
    const std::string r4 = taggedRecord(s.sh.selection, 4);
    const StoreOutcome o = s.store(4, r4);
    ASSERT_EQ(o.status, Status::Ok);
    EXPECT_FALSE(o.created);
    const std::string file = readBytes(s.results);
    ASSERT_EQ(file.size(), 4 * kResultsRecordSize);
    EXPECT_EQ(recordOf(file, 1), r4);
    EXPECT_EQ(recordOf(file, 4), r4);
}

TEST(StoreResultsRecord, WriteFailuresAndBadRequests)
{
    Store s;
    ResultsRecordContext c = s.context(2);
    c.resultsPath = s.sh.dir.file("no-folder/NR012l.H10");
    const StoreOutcome o = StoreResultsRecord(s.state, logger(taggedRecord(s.sh.selection, 2)), c);
    EXPECT_EQ(o.status, Status::Io);
    EXPECT_NE(o.statusText.find("処理結果ファイルに書き込めません"), std::string::npos);
    EXPECT_EQ(s.store(0, taggedRecord(s.sh.selection, 1)).status, Status::Refused);
    EXPECT_EQ(s.store(2, "short").status, Status::DataFormat);
    EXPECT_FALSE(std::filesystem::exists(s.results));
}

TEST(StoreResultsRecord, HandOverOfTheNewestRecords)
{
    Store s;
    s.sh.settings.set(85, 6, "2");
    for (long long m = 1; m <= 4; ++m)
        ASSERT_EQ(s.store(m, taggedRecord(s.sh.selection, m)).status, Status::Ok);
    const std::string handOver = s.sh.dir.file("NR012s.H10");
    // Not automatic: no hand-over.
    EXPECT_FALSE(std::filesystem::exists(handOver));

    ResultsRecordContext c = s.context(5);
    c.automatic = true;
    Progress progress;
    int waits = 0;
    progress.wait = [&](int) {
        ++waits;
        return true;
    };
    c.progress = &progress;
    StoreOutcome o = StoreResultsRecord(s.state, logger(taggedRecord(s.sh.selection, 5)), c);
    EXPECT_EQ(o.handOver, Status::Ok);
    EXPECT_EQ(o.handOverPath, handOver);
    EXPECT_EQ(waits, 0);
    const std::string file = readBytes(s.results);
    EXPECT_EQ(readBytes(handOver), recordOf(file, 3) + recordOf(file, 4) + recordOf(file, 5));

    // The file is still there: the store waits until the consumer removes it.
    progress.wait = [&](int ms) {
        EXPECT_EQ(ms, 50);
        if (++waits == 3)
            std::filesystem::remove(handOver);
        return true;
    };
    c.measurement = 1;
    o = StoreResultsRecord(s.state, logger(taggedRecord(s.sh.selection, 1)), c);
    EXPECT_EQ(o.handOver, Status::Ok);
    EXPECT_EQ(waits, 3);
    EXPECT_EQ(readBytes(handOver), recordOf(file, 1));  // max(1, m - N) .. m

    // Nobody removes it: the stop request ends the wait, the file stays as
    // it was and the status says why.
    waits = 0;
    bool stop = false;
    progress.wait = [&](int) {
        if (++waits == 20)
            stop = true;
        return !stop;
    };
    c.measurement = 2;
    const std::string before = readBytes(handOver);
    o = StoreResultsRecord(s.state, logger(taggedRecord(s.sh.selection, 2)), c);
    EXPECT_EQ(o.status, Status::Ok);  // the record itself is stored
    EXPECT_EQ(o.handOver, Status::Cancelled);
    EXPECT_EQ(waits, 20);
    EXPECT_EQ(readBytes(handOver), before);
    EXPECT_NE(o.statusText.find("中止"), std::string::npos);
    EXPECT_NE(o.statusText.find("NR012s.H10"), std::string::npos);

    // Without a seam to wait through nothing blocks.
    c.progress = nullptr;
    o = StoreResultsRecord(s.state, logger(taggedRecord(s.sh.selection, 2)), c);
    EXPECT_EQ(o.handOver, Status::Timeout);
    EXPECT_EQ(readBytes(handOver), before);
}
