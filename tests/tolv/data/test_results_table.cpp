// The processing results table: columns and headings of the item set,
// blocks of hours, line offsets, the sequence check that repairs the
// results file, and the complete fill and the refreshes of the export.
#include "tolv/data/docrules.h"
#include "tolv/data/resultstable.h"

#include "common/textcodec.h"
#include "test_results_fixture.h"

#include <gtest/gtest.h>

#include <set>

using namespace varenta;
using namespace varenta::testing;

namespace {

// A small item table: codes 0..110 of width 6 (value 0 "##0.00"), code 64
// of width 2, code 12 with a double-byte heading wider than its column.
ResultItemTable smallItems(int headingWidthOfCode12 = 6)
{
    std::vector<std::string> lines = {" 110 items"};
    char buf[160];
    for (int code = 0; code <= 110; ++code) {
        if (code == 64) {
            lines.push_back("007064,##,,,,,－－－,,");
            continue;
        }
        if (code == 12) {
            const std::string pattern(static_cast<std::size_t>(headingWidthOfCode12), '#');
            std::snprintf(buf, sizeof buf, "001012,%s,有義波高,  (m),m,,有義波高,,", pattern.c_str());
        } else {
            std::snprintf(buf, sizeof buf, "%03d%03d,##0.00,  H%03d,  U%03d,,,I%d,,", code / 10, code, code, code, code);
        }
        lines.push_back(buf);
    }
    ResultItemTable t;
    EXPECT_EQ(t.parse(lines), Status::Ok);
    return t;
}

ResultSelection selectionOf(const std::string& columns, std::map<int, int> positions = {})
{
    Settings s;
    s.set(165, 0, columns);
    s.set(165, 1, selectionList(positions));
    return buildResultSelection(s, 165);
}

}  // namespace

// ---- blocks ----

struct BlockCase {
    const char* name;
    int hour, minute, startHour, blockHours, interval;
    long long before, perBlock;
};

TEST(ResultsTableBlocks, FirstBoundaryAndBlockLength)
{
    const BlockCase cases[] = {
        {"22:00, day blocks from 0 h: blank line before record 3", 22, 0, 0, 24, 60, 2, 24},
        {"07:00, day blocks: 17 records share the first date", 7, 0, 0, 24, 60, 17, 24},
        {"00:00 lies on the boundary: the next one counts", 0, 0, 0, 24, 60, 24, 24},
        {"06:00 with 6-hour blocks", 6, 0, 0, 6, 60, 6, 6},
        {"10:20 every 20 minutes, 6-hour blocks", 10, 20, 0, 6, 20, 5, 18},
        {"22:30 with 8-hour blocks from 5 h: 05:00 next day", 22, 30, 5, 8, 60, 7, 8},
        {"start hour 30 taken as 6", 4, 0, 30, 24, 60, 2, 24},
        {"negative start hour -2 is 22 h", 21, 0, -2, 24, 60, 1, 24},
        {"10-minute records, 1-hour blocks", 9, 50, 0, 1, 10, 1, 6},
        {"block length 0: no blocks", 22, 0, 0, 0, 60, 0, 0},
        {"interval 0: no blocks", 22, 0, 0, 24, 0, 0, 0},
        {"block shorter than the interval: no blank lines", 3, 0, 0, 1, 120, 0, 0},
    };
    for (const BlockCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ResultsBlocks b = resultsBlocks(c.hour, c.minute, c.startHour, c.blockHours, c.interval);
        if (c.perBlock > 0) {
            EXPECT_EQ(b.recordsBefore, c.before);
        }
        EXPECT_EQ(b.recordsPerBlock, c.perBlock);
    }
}

TEST(ResultsTableBlocks, BlankLinesFrom2200WithDayBlocks)
{
    const ResultsBlocks b = resultsBlocks(22, 0, 0, 24, 60);
    const std::set<long long> blank = {3, 27, 51, 75};
    for (long long k = 1; k <= 80; ++k)
        EXPECT_EQ(startsBlock(k, b), blank.count(k) == 1) << "record " << k;
    EXPECT_EQ(blankLinesThrough(2, b), 0);
    EXPECT_EQ(blankLinesThrough(3, b), 1);
    EXPECT_EQ(blankLinesThrough(26, b), 1);
    EXPECT_EQ(blankLinesThrough(27, b), 2);
    // One record per block: every record after the first r has its blank line.
    const ResultsBlocks one{2, 1};
    EXPECT_FALSE(startsBlock(2, one));
    EXPECT_TRUE(startsBlock(3, one));
    EXPECT_TRUE(startsBlock(4, one));
}

// The offsets, line numbers and the caret rule of the document window all
// agree with the text a complete fill makes.
TEST(ResultsTableBlocks, OffsetsLinesAndCaretAgreeWithTheText)
{
    const Shipped sh;
    const ResultsTableLayout L = makeResultsTableLayout(sh.items, sh.selection);
    for (const ResultsBlocks b : {ResultsBlocks{2, 24}, ResultsBlocks{5, 3}, ResultsBlocks{1, 1}, ResultsBlocks{0, 0}}) {
        SCOPED_TRACE(::testing::Message() << "r=" << b.recordsBefore << " n=" << b.recordsPerBlock);
        // The text as the fill lays it out.
        std::string text;
        std::vector<std::string> lineOf(61);
        for (long long k = 1; k <= 60; ++k) {
            if (startsBlock(k, b))
                text += "\r\n";
            lineOf[static_cast<std::size_t>(k)] = "R" + std::string(static_cast<std::size_t>(L.bodyWidth() - 4), '.') +
                                                  formatMask(static_cast<double>(k), "000");
            text += lineOf[static_cast<std::size_t>(k)] + "\r\n";
        }
        const std::vector<std::string> lines = crlfLines(text);
        for (long long k = 1; k <= 60; ++k) {
            const std::string& mine = lineOf[static_cast<std::size_t>(k)];
            const long long on = resultsLineOffset(k, L.lineWidth, b, true) - 1;
            const long long off = resultsLineOffset(k, L.lineWidth, b, false) - 1;
            ASSERT_EQ(text.substr(static_cast<std::size_t>(on), mine.size()), mine) << k;
            EXPECT_EQ(text.substr(static_cast<std::size_t>(off), 2) == "\r\n", startsBlock(k, b)) << k;
            EXPECT_EQ(lines[static_cast<std::size_t>(resultsLineIndex(k, b))], mine) << k;
            EXPECT_EQ(recordAtLine(resultsLineIndex(k, b), b), k);
            if (b.recordsPerBlock > 0) {
                EXPECT_EQ(resultsTableMeasurement(on, L.lineWidth, b.recordsBefore, b.recordsPerBlock), k);
            }
        }
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i].empty(), recordAtLine(static_cast<long long>(i), b) == 0) << i;
    }
}

// ---- layout ----

TEST(ResultsTableLayout, ShippedItemSetHeadingsAndWidth)
{
    const Shipped sh;
    const ResultsTableLayout L = makeResultsTableLayout(sh.items, sh.selection);
    // 17 items of 6 bytes and 4 spacers of 2 (none at the end).
    EXPECT_EQ(L.columns.size(), 21u);
    EXPECT_EQ(L.lineWidth, 17 * 6 + 4 * 2 + 2);
    EXPECT_EQ(codePageWidth(L.heading1), 110u);
    EXPECT_EQ(codePageWidth(L.heading2), 110u);
    EXPECT_EQ(L.heading1.substr(0, cutToCodePageWidth(L.heading1, 12).size()), "  測定  測定");
    EXPECT_EQ(L.numberPosition, 4);
    EXPECT_EQ(L.numberWidth, 5);
    EXPECT_EQ(L.statusPosition, 63);
    EXPECT_EQ(L.headingText(), L.heading1 + "\r\n" + L.heading2);
}

struct SpacerCase {
    const char* name;
    const char* columns;
    int lineWidth;
    const char* line1;
};

TEST(ResultsTableLayout, SpacersAtTheEndLeaveNoTrailingBlanks)
{
    const ResultItemTable items = smallItems();
    const SpacerCase cases[] = {
        {"one spacer at the end", "013064", 8, "  H013"},
        {"several spacers at the end", "013014064064064", 14, "  H013  H014"},
        {"spacers between stay", "013064014064", 16, "  H013    H014"},
        {"spacers only", "064064", 2, ""},
        {"spacer first", "064013", 10, "    H013"},
        {"no columns", "", 2, ""},
    };
    for (const SpacerCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ResultsTableLayout L = makeResultsTableLayout(items, selectionOf(c.columns));
        EXPECT_EQ(L.lineWidth, c.lineWidth);
        EXPECT_EQ(L.heading1, c.line1);
        EXPECT_EQ(L.heading1.size(), L.heading2.size());
        if (!L.heading1.empty()) {
            EXPECT_NE(L.heading1.back(), ' ');
        }
        // A record line is exactly as wide as the headings.
        EXPECT_EQ(static_cast<int>(resultsTableLine(emptyResultsRecord(), L).size()), L.lineWidth - 2);
    }
}

TEST(ResultsTableLayout, HeadingsCutAtWholeDoubleByteCharacters)
{
    // "有義波高" is 8 bytes: a 5-byte column keeps "有義" and a blank in front,
    // a 6-byte one "有義波".
    for (const auto& [width, expected] : std::vector<std::pair<int, std::string>>{{5, " 有義"}, {6, "有義波"}, {8, "有義波高"}, {9, " 有義波高"}}) {
        const ResultsTableLayout L = makeResultsTableLayout(smallItems(width), selectionOf("012"));
        EXPECT_EQ(L.heading1, expected) << width;
        EXPECT_EQ(codePageWidth(L.heading1), static_cast<std::size_t>(width));
        EXPECT_EQ(L.lineWidth, width + 2);
        EXPECT_EQ(fromCodePage(toCodePage(L.heading1)), L.heading1);
    }
}

// ---- the running number and the sequence check ----

struct SequenceCase {
    const char* name;
    int numberPosition;
    long long k;
    std::string field;  // written at the number field (its width)
    bool inSequence;
};

TEST(ResultsTableSequence, RunningNumberFieldsAndTheirCheck)
{
    const SequenceCase cases[] = {
        {"124th record numbered 124", 4, 124, "  124", true},
        {"124th record numbered 123", 4, 124, "  123", false},
        {"not a number", 4, 5, "  1a2", false},
        {"blank", 4, 5, "     ", false},
        {"dashes of the empty record", 4, 5, "-----", false},
        {"numbers beyond five digits compare modulo 10^5", 4, 100124, "  124", true},
        {"zero-filled", 4, 77, "00077", true},
        {"6-character field in the first position of a group", 8, 123456, "123456", true},
        {"6-character field, modulo 10^6", 8, 1123456, "123456", true},
        {"6-character field off by one", 8, 123456, "123455", false},
        {"position 0 has no separator in front: 5 characters", 0, 12, "   12", true},
    };
    for (const SequenceCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResultsTableLayout L;
        L.numberPosition = c.numberPosition;
        L.numberWidth = runningNumberWidth(c.numberPosition);
        ASSERT_EQ(static_cast<std::size_t>(L.numberWidth), c.field.size());
        std::string r = emptyResultsRecord();
        const std::size_t end = resultItemOffset(c.numberPosition) + 5;
        r.replace(end - c.field.size(), c.field.size(), c.field);
        EXPECT_EQ(inSequence(r, c.k, L), c.inSequence);
    }
    // Without a running number every record passes.
    ResultsTableLayout none;
    EXPECT_TRUE(inSequence(emptyResultsRecord(), 9, none));
}

TEST(ResultsTableSequence, ReplacementRecordCarriesItsNumberAndStatus)
{
    ResultsTableLayout L;
    L.numberPosition = 4;
    L.numberWidth = 5;
    L.statusPosition = 63;
    const std::string r = sequenceReplacement(124, L);
    EXPECT_EQ(r.size(), kResultsRecordSize);
    EXPECT_EQ(r.substr(0, 49), "-----,   00, 1/ 1, 0:00,  124,-----,-----,-----, ");
    EXPECT_EQ(r.substr(343), "-----,-----,-----,-----,-----,-----,-----,  4.0\r\n");
    EXPECT_TRUE(inSequence(r, 124, L));

    // The 6-character field takes the separator in front of its group.
    L.numberPosition = 8;
    L.numberWidth = 6;
    L.statusPosition = 9;
    const std::string six = sequenceReplacement(1234567, L);
    EXPECT_EQ(six.substr(48, 13), "234567,  4.0,");
    EXPECT_EQ(six.substr(0, 48), emptyResultsRecord().substr(0, 48));
    EXPECT_TRUE(inSequence(six, 1234567, L));
}

// ---- lines ----

TEST(ResultsTableLines, ColumnsTakeTheirItemsRightAligned)
{
    const Shipped sh;
    const ResultsTableLayout L = makeResultsTableLayout(sh.items, sh.selection);
    std::string r = loggerRecord(sh.selection, 42, 5, 6, 9, 5, 1.25, 200);
    // Code 8 opens group 1 (position 8): its column takes the separator too.
    ASSERT_EQ(sh.selection.positionOf(8), 8);
    r.replace(48, 6, "123456");
    const std::string line = resultsTableLine(r, L);
    ASSERT_EQ(static_cast<int>(line.size()), L.bodyWidth());
    // Columns: 002 003 006 | 012 013 008 009 010 011 | 024 025 | ...
    EXPECT_EQ(line.substr(0, 18), "  5/ 6  9:05    42");
    EXPECT_EQ(line.substr(18, 2), "  ");
    EXPECT_EQ(line.substr(20, 6), "  1.25");
    EXPECT_EQ(line.substr(32, 6), "123456");
    EXPECT_EQ(line.substr(58, 6), "   200");
    EXPECT_EQ(line.substr(line.size() - 6), "   0.0");
}

// ---- the fill on files ----

namespace {

struct TableFiles {
    Shipped sh;
    std::string results = sh.file("NR012L.H10");
    std::string exportPath = sh.file("NR23g.txt");
    ResultsTableRequest request() const
    {
        ResultsTableRequest rq;
        rq.resultsPath = results;
        rq.exportPath = exportPath;
        rq.layout = makeResultsTableLayout(sh.items, sh.selection);
        rq.blockStartHour = 0;
        rq.blockHours = 24;
        rq.intervalMinutes = 60;
        return rq;
    }
};

}  // namespace

TEST(ResultsTableFill, Record124Numbered123IsRewritten)
{
    TableFiles f;
    std::string file = hourlyRecords(f.sh.selection, 130, 6, 22);
    const std::string original = file;
    std::string wrong = recordOf(file, 124);
    setResultItem(wrong, 4, "  123");
    putRecord(file, 124, wrong);
    writeBytes(f.results, file);

    const ResultsTableOutcome out = fillResultsTableFiles(f.request());
    ASSERT_EQ(out.status, Status::Ok);
    EXPECT_EQ(out.repairStatus, Status::Ok);
    EXPECT_EQ(out.records, 130);
    EXPECT_EQ(out.replaced, std::vector<long long>{124});
    const std::string after = readBytes(f.results);
    const std::string expected124 = "-----,   00, 1/ 1, 0:00,  124,-----,-----,-----, ";
    EXPECT_EQ(recordOf(after, 124).substr(0, 49), expected124);
    EXPECT_EQ(recordOf(after, 124).substr(385), "  4.0\r\n");
    for (long long k : {1LL, 123LL, 125LL, 130LL})
        EXPECT_EQ(recordOf(after, k), recordOf(original, k)) << k;
    // Its line is built from the replacement.
    const std::vector<std::string> lines = crlfLines(out.text);
    const std::string& line = lines[static_cast<std::size_t>(resultsLineIndex(124, out.blocks))];
    EXPECT_EQ(line.substr(0, 18), "  1/ 1  0:00   124");
    EXPECT_EQ(line.substr(line.size() - 6), "   4.0");
    EXPECT_EQ(readBytes(f.exportPath), out.text);
}

TEST(ResultsTableFill, DayBlocksFrom2200AndTheExportFile)
{
    TableFiles f;
    writeBytes(f.results, hourlyRecords(f.sh.selection, 60, 6, 22));
    const ResultsTableOutcome out = fillResultsTableFiles(f.request());
    ASSERT_EQ(out.status, Status::Ok);
    EXPECT_TRUE(out.complete);
    EXPECT_EQ(out.blocks.recordsBefore, 2);
    EXPECT_EQ(out.blocks.recordsPerBlock, 24);
    const std::vector<std::string> lines = crlfLines(out.text);
    ASSERT_EQ(lines.size(), 60u + 3u);
    EXPECT_TRUE(lines[2].empty());   // before record 3 (00:00 of the 7th)
    EXPECT_EQ(lines[3].substr(0, 12), "  5/ 7  0:00");
    EXPECT_TRUE(lines[27].empty());  // before record 27
    EXPECT_EQ(lines[28].substr(0, 12), "  5/ 8  0:00");
    for (const std::string& l : lines)
        EXPECT_TRUE(l.empty() || static_cast<int>(l.size()) == f.request().layout.bodyWidth());
    EXPECT_EQ(readBytes(f.exportPath), out.text);
    // The interval of the first record serves when the header gives none.
    ResultsTableRequest rq = f.request();
    rq.intervalMinutes = 0;
    EXPECT_EQ(fillResultsTableFiles(rq).blocks.recordsBefore, 2);
}

TEST(ResultsTableFill, ShortMissingAndPartialFiles)
{
    TableFiles f;
    // Missing: only the headings; the export is not touched.
    writeBytes(f.exportPath, "old");
    EXPECT_EQ(fillResultsTableFiles(f.request()).status, Status::NotFound);
    EXPECT_EQ(readBytes(f.exportPath), "old");
    // Shorter than one record: no line.
    writeBytes(f.results, std::string(391, 'x'));
    ResultsTableOutcome out = fillResultsTableFiles(f.request());
    EXPECT_EQ(out.status, Status::Ok);
    EXPECT_EQ(out.records, 0);
    EXPECT_TRUE(out.text.empty());
    EXPECT_EQ(readBytes(f.results), std::string(391, 'x'));
    // A partial last record is left alone.
    std::string file = hourlyRecords(f.sh.selection, 10, 6, 1) + std::string(100, '#');
    writeBytes(f.results, file);
    out = fillResultsTableFiles(f.request());
    EXPECT_EQ(out.records, 10);
    EXPECT_EQ(crlfLines(out.text).size(), 10u);
    EXPECT_TRUE(out.replaced.empty());
    EXPECT_EQ(readBytes(f.results), file);
}

TEST(ResultsTableFill, ExportThatCannotBeWrittenKeepsTheOldOne)
{
    TableFiles f;
    writeBytes(f.results, hourlyRecords(f.sh.selection, 5, 6, 1));
    ResultsTableRequest rq = f.request();
    rq.exportPath = f.sh.file("no-such-folder/NR23g.txt");
    EXPECT_EQ(fillResultsTableFiles(rq).status, Status::Io);
}

TEST(ResultsTableFill, RefreshesWriteTheirLinesInPlace)
{
    TableFiles f;
    std::string file = hourlyRecords(f.sh.selection, 50, 6, 22);
    writeBytes(f.results, file);
    const ResultsTableOutcome full = fillResultsTableFiles(f.request());
    ASSERT_EQ(full.status, Status::Ok);

    // One line: record 27 (the first of a block) gets a new value.
    std::string changed = recordOf(file, 27);
    setResultItem(changed, f.sh.selection.positionOf(12), " 9.99");
    putRecord(file, 27, changed);
    writeBytes(f.results, file);
    ResultsTableRequest one = f.request();
    one.record = 27;
    one.mode = fillmode::kOneLine;
    one.blocks = full.blocks;
    const ResultsTableOutcome o1 = fillResultsTableFiles(one);
    ASSERT_EQ(o1.status, Status::Ok);
    EXPECT_FALSE(o1.complete);
    ASSERT_EQ(o1.lines.size(), 1u);
    EXPECT_EQ(o1.lines[0].record, 27);
    EXPECT_TRUE(o1.lines[0].blankBefore);
    EXPECT_EQ(o1.lines[0].line, 28);
    EXPECT_NE(o1.lines[0].text.find("  9.99"), std::string::npos);
    // The export now equals a complete fill of the changed file.
    const std::string afterOne = readBytes(f.exportPath);
    EXPECT_EQ(afterOne, fillResultsTableFiles(f.request()).text);

    // Records appended: a refresh from the first new one to the end.
    file += hourlyRecords(f.sh.selection, 70, 6, 22).substr(50 * kResultsRecordSize);
    writeBytes(f.results, file);
    ResultsTableRequest more = f.request();
    more.record = 51;
    more.blocks = full.blocks;
    const ResultsTableOutcome o2 = fillResultsTableFiles(more);
    ASSERT_EQ(o2.status, Status::Ok);
    EXPECT_EQ(o2.lines.size(), 20u);
    EXPECT_TRUE(o2.lines[0].blankBefore);  // record 51 starts the third block
    EXPECT_EQ(readBytes(f.exportPath), fillResultsTableFiles(f.request()).text);

    // Selection mode reads nothing and changes nothing.
    ResultsTableRequest sel = f.request();
    sel.record = 30;
    sel.mode = fillmode::kSelect;
    const std::string before = readBytes(f.exportPath);
    EXPECT_TRUE(fillResultsTableFiles(sel).lines.empty());
    EXPECT_EQ(readBytes(f.exportPath), before);

    // Without the export a refresh makes a complete fill.
    std::remove(f.exportPath.c_str());
    const ResultsTableOutcome o3 = fillResultsTableFiles(one);
    EXPECT_TRUE(o3.complete);
    EXPECT_EQ(readBytes(f.exportPath), o3.text);
}

// A generated results file of 1000 hourly records with gaps (numbered empty
// records) and records out of sequence: the table text and the repaired file.
TEST(ResultsTableFill, ThousandGeneratedRecordsWithGapsAndDisorder)
{
    TableFiles f;
    synth::GeneratorOptions o;
    o.plan.bursts = 1000;
    o.plan.intervalMinutes = 60;
    o.plan.durationMinutes = 10;
    o.plan.start = DateTime{2026, 5, 6, 22, 0, 0, 0};
    o.fidelity = synth::Fidelity::Constant;
    o.faults.gaps = {5, 6, 7, 400, 999};
    auto layout = synth::ResultLayout::fromSettings(f.sh.settings, 165);
    ASSERT_TRUE(layout);
    layout->usePatterns(f.sh.items);
    o.layout = *layout;
    std::string meas, res;
    ASSERT_EQ(synth::makeMasterPair(o, meas, res), Status::Ok);
    ASSERT_EQ(res.size(), 1000 * kResultsRecordSize);
    const std::string generated = res;

    // Out of sequence: 300 and 301 swapped, 501 a copy of 500, 777 damaged.
    std::string file = generated;
    putRecord(file, 300, recordOf(generated, 301));
    putRecord(file, 301, recordOf(generated, 300));
    putRecord(file, 501, recordOf(generated, 500));
    std::string damaged = recordOf(generated, 777);
    damaged.replace(resultItemOffset(4), 5, "7?7  ");
    putRecord(file, 777, damaged);
    writeBytes(f.results, file);

    const ResultsTableOutcome out = fillResultsTableFiles(f.request());
    ASSERT_EQ(out.status, Status::Ok);
    EXPECT_EQ(out.replaced, (std::vector<long long>{300, 301, 501, 777}));
    const ResultsTableLayout L = f.request().layout;
    const std::string repaired = readBytes(f.results);
    ASSERT_EQ(repaired.size(), generated.size());
    for (long long k = 1; k <= 1000; ++k) {
        const bool replaced = k == 300 || k == 301 || k == 501 || k == 777;
        const std::string expect = replaced ? sequenceReplacement(k, L) : recordOf(generated, k);
        ASSERT_EQ(recordOf(repaired, k), expect) << k;
    }
    // The gaps are numbered empty records: they pass and stay.
    EXPECT_EQ(recordOf(repaired, 6).substr(0, 30), "-----,   00, 1/ 1, 0:00,    6,");

    // The text: 1000 lines of L - 2 characters, a blank line before record 3
    // and every 24th after it; each line shows its record's date, time and
    // number (or the empty record's).
    const std::vector<std::string> lines = crlfLines(out.text);
    ASSERT_EQ(lines.size(), 1000u + static_cast<std::size_t>(blankLinesThrough(1000, out.blocks)));
    EXPECT_EQ(blankLinesThrough(1000, out.blocks), 42);
    for (long long k = 1; k <= 1000; ++k) {
        const std::string& line = lines[static_cast<std::size_t>(resultsLineIndex(k, out.blocks))];
        ASSERT_EQ(static_cast<int>(line.size()), L.bodyWidth()) << k;
        const std::string& rec = recordOf(repaired, k);
        // Columns 002, 003, 006: month/day, time, running number.
        EXPECT_EQ(line.substr(0, 18), " " + rec.substr(12, 5) + " " + rec.substr(18, 5) + " " + rec.substr(24, 5))
            << k;
        if (startsBlock(k, out.blocks)) {
            EXPECT_TRUE(lines[static_cast<std::size_t>(resultsLineIndex(k, out.blocks) - 1)].empty());
            if (!(k == 400 || k == 999 || (k >= 5 && k <= 7) || k == 300 || k == 301 || k == 501 || k == 777)) {
                EXPECT_EQ(rec.substr(18, 5), " 0:00") << k;
            }
        }
    }
    // A second fill finds the file in order.
    const ResultsTableOutcome again = fillResultsTableFiles(f.request());
    EXPECT_TRUE(again.replaced.empty());
    EXPECT_EQ(again.text, out.text);
}
