// The processing conditions without widgets: the control mapping, the stale
// marks, reading and storing, the Update sequence, the list editors and the
// master file register.
#include "tolv/shell/conditions.h"

#include "test_conditions_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

using namespace varenta;
using varenta::testing::RecordingConditionsHost;

namespace {

class ConditionsTest : public ::testing::Test {
protected:
    void SetUp() override { folder_ = varenta::testing::installedFolder("cond"); }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string folder_;
};

}  // namespace

TEST(ConditionBindings, NamesAreUniqueAndTargetsValid)
{
    std::set<std::string> names;
    std::set<std::pair<int, int>> items;
    for (const ControlBinding& b : conditionBindings()) {
        EXPECT_TRUE(names.insert(b.name).second) << b.name;
        EXPECT_GE(b.tab, 0);
        EXPECT_LE(b.tab, 4);
        if (b.target == ControlTarget::Item) {
            EXPECT_GE(b.item, 0) << b.name;
            EXPECT_LE(b.item, 199) << b.name;
            EXPECT_GE(b.value, 0) << b.name;
            EXPECT_LE(b.value, 7) << b.name;
            EXPECT_TRUE(items.insert({b.item, b.value}).second) << b.name << " shares its value";
        } else if (b.target != ControlTarget::None) {
            EXPECT_NE(b.bit, 0u) << b.name;
        }
    }
    // Every bit of the automatic-function word has exactly one box.
    std::uint32_t bits = 0;
    for (const ControlBinding& b : conditionBindings())
        if (b.target == ControlTarget::AutoBit) {
            EXPECT_EQ(bits & b.bit, 0u) << b.name;
            bits |= b.bit;
        }
    EXPECT_EQ(bits, 0xFFFFu);
}

TEST(ConditionBindings, MarksOfAChange)
{
    namespace m = conditionmark;
    const struct {
        const char* name;
        std::uint32_t marks;
    } cases[] = {
        {"Text1_28", m::kReprocess},  // noise filter level
        {"Text1_10", m::kReprocess},
        {"Check1_5", m::kReprocess},
        {"Text1_14", 0},  // read-only zero correction
        {"Check1_7", m::kItemLists | m::kResultsTable | m::kResultsGraph},
        {"Text1_16", m::kResultsTable},
        {"List1_0", m::kItemLists},
        {"List1_2", m::kItemLists | m::kWebPage},
        {"Combo4_0", m::kRawGraph},  // full scale of lane 1
        {"Combo2_5", m::kRawGraph},
        {"Label4_7", m::kRawGraph},
        {"Check3_11", m::kRawGraph},
        {"Combo3_3", m::kResultsGraph},
        {"Combo3_25", m::kResultsGraph},
        {"Label3_9", m::kResultsGraph},
        {"Check4_2", m::kResultsGraph},
        {"Check1_3", m::kTimers},
        {"Check1_8", m::kTimers},
        {"Text1_22", 0},  // next processing time
        {"Text1_19", 0},  // next print time
        {"Text1_18", 0},
        {"Check2_1", 0},
        {"Text1_5", m::kRawGraph | m::kResultsGraph},
        {"Text1_12", m::kWebPage},
        {"Check1_10", m::kTimers},
        {"Text2", m::kWebFile},
        {"Nonsense", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(marksFor(c.name), c.marks) << c.name;
}

TEST_F(ConditionsTest, ReadShowsTheTableValuesAndWords)
{
    RecordingConditionsHost host(folder_);
    host.flags = startflag::kWeeklyBackup;
    host.runtime().switchWord2 = switch2::kDirectional | 0x100;
    const ConditionsForm f = readConditions(host.settings(), host.runtime(), host.flags, 165);
    const struct {
        const char* name;
        const char* value;
    } cases[] = {
        {"Text1_28", "35"},   {"Text1_29", "1"},   {"Text1_31", "10"},  {"Text1_10", "30"},  {"Text1_11", "0"},
        {"Text1_0", "0.5"},   {"Text1_6", "12"},   {"Text1_15", "7"},   {"Text1_16", "0"},   {"Text1_17", "24"},
        {"Check1_0", "0"},    {"Check1_5", "1"},   {"Check1_6", "0"},   {"Check1_12", "0"},  {"Check1_7", "0"},  {"Check1_13", "0"},
        {"Check3_0", "1"},    {"Check3_3", "0"},   {"Combo4_0", "200"}, {"Label4_0", "16711680"},
        {"Combo4_8", "5"},    {"Combo3_0", "12"},  {"Combo3_2", "32"},  {"Combo3_4", "64"},  {"Combo3_16", "5"},
        {"Combo3_24", "7"},   {"Combo3_25", "7"},  {"Check4_0", "1"},   {"Check4_2", "0"},   {"Label3_8", "16711680"},
        {"Check1_8", "1"},    {"Check1_3", "0"},   {"Text1_22", "0"},   {"Text1_23", "30"},  {"Text1_24", "60"},
        {"Text1_19", "8"},    {"Text1_21", "1440"}, {"Check2_0", "1"},  {"Check2_1", "0"},   {"Check5_0", "0"},
        {"Check5_1", "1"},    {"Text1_12", "24"},  {"Text1_9", "60"},   {"Text1_8", "25"},   {"Text1_13", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(f.value(c.name), c.value) << c.name;
    EXPECT_EQ(f.tableCodes, threeDigitCodes("002003006064012013008009010011064024025064032033034064020029109"));
    EXPECT_EQ(f.recordCodes.size(), 64u);
    EXPECT_EQ(f.recordCodes[4], 6);
    EXPECT_EQ(f.webCodes.size(), 13u);
    EXPECT_TRUE(f.masterFiles.empty());
}

TEST_F(ConditionsTest, StoringWhatWasReadChangesNothing)
{
    RecordingConditionsHost host(folder_);
    Settings before = host.settings();
    before.setHex(85, 4, host.runtime().autoWord);
    before.setHex(85, 5, host.runtime().switchWord2);
    std::uint32_t flags = 0;
    const ConditionsForm f = readConditions(host.settings(), host.runtime(), flags, 165);
    storeConditions(f, host.settings(), host.runtime(), flags, 165);
    for (int n = 0; n < kSettingsItems; ++n)
        for (int k = 0; k < kSettingsValues; ++k)
            EXPECT_EQ(host.settings().value(n, k), before.value(n, k)) << "item " << n << " value " << k;
}

TEST_F(ConditionsTest, StoreRebuildsSwitchBitsAndKeepsTheOthers)
{
    RecordingConditionsHost host(folder_);
    RuntimeState& st = host.runtime();
    st.autoWord = 0x12000 | 0x0800;          // a bit above the sixteen switches, marks, vectors
    st.switchWord2 = 0x300 | switch2::kUltrasonic;  // time column, web copy, ultrasonic
    std::uint32_t flags = 0x8000;
    ConditionsForm f = readConditions(host.settings(), st, flags, 165);
    f.setChecked("Check1_3", true);    // automatic processing 0x08
    f.setChecked("Check3_11", false);  // vectors 0x800 off
    f.setChecked("Check1_5", true);    // directional spectra
    f.setChecked("Check1_6", false);   // ultrasonic off
    f.setChecked("Check1_8", true);    // weekly backup start flag
    f.setChecked("Check1_12", true);
    f.setChecked("Check1_13", true);   // burst statistics 0x40
    f.setChecked("Check2_0", false);
    f.set("Combo3_1", "109");
    f.set("Label3_3", "255");
    f.set("Text1_28", " 20 ");  // stored as typed
    storeConditions(f, host.settings(), st, flags, 165);
    EXPECT_EQ(st.autoWord, 0x10000u | 0x2000u | 0x08u);
    EXPECT_EQ(host.settings().value(85, 4), "12008");
    EXPECT_EQ(st.switchWord2, 0x300u | switch2::kDirectional | switch2::kWaveStatistics);
    EXPECT_EQ(host.settings().value(85, 5), "344");
    EXPECT_EQ(flags, 0x8010u);
    EXPECT_EQ(host.settings().value(96, 0), "1");
    EXPECT_EQ(host.settings().value(85, 1), "0");
    EXPECT_EQ(host.settings().value(71, 0), "109");
    EXPECT_EQ(host.settings().value(73, 3), "255");
    EXPECT_EQ(host.settings().value(68, 0), " 20 ");
}

TEST(ConditionLists, RecordListIsPaddedWithSpacersToSixtyFiveCodes)
{
    std::vector<int> sixty;
    for (int i = 0; i < 60; ++i)
        sixty.push_back(100 + i);
    const std::vector<int> padded = paddedRecordCodes(sixty);
    ASSERT_EQ(padded.size(), 65u);
    EXPECT_EQ(std::vector<int>(padded.begin(), padded.begin() + 60), sixty);
    for (int i = 60; i < 65; ++i)
        EXPECT_EQ(padded[static_cast<std::size_t>(i)], kSpacerCode);
    EXPECT_EQ(paddedRecordCodes(std::vector<int>(70, 5)).size(), 65u);
}

TEST_F(ConditionsTest, UpdateOfNoiseFilterAndFullScaleReprocessesOnce)
{
    RecordingConditionsHost host(folder_);
    ConditionsForm f = readConditions(host.settings(), host.runtime(), 0, 165);
    f.set("Text1_28", "20");
    f.set("Combo4_0", "500");
    std::uint32_t marks = marksFor("Text1_28") | marksFor("Combo4_0");
    const UpdateOutcome out = runConditionsUpdate(f, marks, host);
    EXPECT_EQ(host.calls, std::vector<std::string>{"reprocess"});
    EXPECT_TRUE(out.reprocessed);
    EXPECT_FALSE(out.redisplayed);
    EXPECT_EQ(marks, 0u);
    EXPECT_EQ(host.settings().value(68, 0), "20");
    EXPECT_EQ(host.settings().value(170, 1), "500");
}

TEST_F(ConditionsTest, UpdateRefreshesExactlyTheMarkedParts)
{
    namespace m = conditionmark;
    const struct {
        std::uint32_t marks;
        bool tableOpen;
        std::vector<std::string> calls;
    } cases[] = {
        {0, true, {}},
        {m::kResultsTable, true, {"table"}},
        {m::kResultsTable, false, {}},
        {m::kRawGraph, true, {"redisplay"}},
        {m::kResultsGraph, true, {"graph"}},
        {m::kResultsTable | m::kRawGraph | m::kResultsGraph, true, {"table", "redisplay", "graph"}},
        {m::kReprocess | m::kResultsTable | m::kRawGraph | m::kResultsGraph, true, {"reprocess"}},
        {m::kItemLists, true, {"mapping"}},
        {m::kTimers, true, {"timers"}},
        {m::kWebPage, true, {}},
        {m::kItemLists | m::kReprocess | m::kTimers, true, {"mapping", "reprocess", "timers"}},
    };
    for (const auto& c : cases) {
        RecordingConditionsHost host(folder_);
        host.tableOpen = c.tableOpen;
        ConditionsForm f = readConditions(host.settings(), host.runtime(), 0, 165);
        std::uint32_t marks = c.marks;
        runConditionsUpdate(f, marks, host);
        EXPECT_EQ(host.calls, c.calls) << std::hex << c.marks;
        EXPECT_EQ(marks, 0u);
    }
}

TEST_F(ConditionsTest, PrintTimeChangeOnlyStores)
{
    RecordingConditionsHost host(folder_);
    ConditionsForm f = readConditions(host.settings(), host.runtime(), 0, 165);
    f.set("Text1_19", "9");
    f.set("Text1_20", "45");
    std::uint32_t marks = marksFor("Text1_19") | marksFor("Text1_20");
    EXPECT_EQ(marks, 0u);
    runConditionsUpdate(f, marks, host);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(host.settings().value(66, 6), "9");
    EXPECT_EQ(host.settings().value(66, 7), "45");
}

TEST_F(ConditionsTest, RecordListOfSixtyEntriesIsStoredWithFiveSpacers)
{
    RecordingConditionsHost host(folder_);
    ConditionsForm f = readConditions(host.settings(), host.runtime(), 0, 165);
    f.recordCodes.resize(60);
    std::uint32_t marks = conditionmark::kItemLists;
    const UpdateOutcome out = runConditionsUpdate(f, marks, host);
    const std::string v1 = host.settings().value(165, 1);
    ASSERT_EQ(v1.size(), 65u * 3);
    EXPECT_EQ(v1.substr(0, 60 * 3), threeDigitText(std::vector<int>(f.recordCodes.begin(), f.recordCodes.begin() + 60)));
    EXPECT_EQ(v1.substr(180), "064064064064064");
    EXPECT_TRUE(out.listsRefilled);
    EXPECT_EQ(host.count("mapping"), 1);
    // The lists read back: the 60 codes and four spacers of positions 60..63.
    EXPECT_EQ(f.recordCodes.size(), 64u);
    EXPECT_EQ(f.recordCodes[60], kSpacerCode);
}

TEST_F(ConditionsTest, WebFileIsMergedAndClearedWhenTheMergeGivesNoPath)
{
    for (const bool mergeWorks : {true, false}) {
        RecordingConditionsHost host(folder_);
        host.mergeResult = mergeWorks ? "/web/NR012r.h10" : "";
        ConditionsForm f = readConditions(host.settings(), host.runtime(), 0, 165);
        f.webFile = " /web/NR012r.tmp ";
        std::uint32_t marks = marksFor("Text2");
        const UpdateOutcome out = runConditionsUpdate(f, marks, host);
        EXPECT_EQ(host.calls, std::vector<std::string>{"merge /web/NR012r.tmp"});
        EXPECT_EQ(out.webFileCleared, !mergeWorks);
        EXPECT_EQ(f.webFile, mergeWorks ? " /web/NR012r.tmp " : "");
        EXPECT_EQ(host.settings().value(83, 0), f.webFile);
        EXPECT_EQ(marks, 0u);
    }
    // Without the mark the web file is left as the table holds it (a scan
    // may have set it meanwhile).
    RecordingConditionsHost host(folder_);
    ConditionsForm f = readConditions(host.settings(), host.runtime(), 0, 165);
    host.settings().set(83, 0, "/web/taken.tmp");
    std::uint32_t marks = 0;
    runConditionsUpdate(f, marks, host);
    EXPECT_EQ(host.settings().value(83, 0), "/web/taken.tmp");
}

TEST_F(ConditionsTest, HeaderPriorityCopiesTheHeaderAndShowsItsValues)
{
    RecordingConditionsHost host(folder_);
    ConditionsForm f = readConditions(host.settings(), host.runtime(), 0, 165);
    f.setChecked("Check1_12", true);
    f.set("Text1_28", "20");
    std::uint32_t marks = marksFor("Check1_12") | marksFor("Text1_28") | conditionmark::kItemLists;
    const UpdateOutcome out = runConditionsUpdate(f, marks, host);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"copyHeader", "mapping", "reprocess"}));
    EXPECT_TRUE(out.formReloaded);
    EXPECT_EQ(f.value("Text1_28"), "40");  // the header's value replaces the one typed
    EXPECT_EQ(host.settings().value(68, 0), "40");
}

TEST_F(ConditionsTest, MasterFilesAreStoredOnlyWhenTheRegisterChanged)
{
    RecordingConditionsHost host(folder_);
    host.settings().set(98, 0, "/d/NR001M.H10");
    ConditionsForm f = readConditions(host.settings(), host.runtime(), 0, 165);
    ASSERT_EQ(f.masterFiles, std::vector<std::string>{"/d/NR001M.H10"});
    // A file opened meanwhile is not undone by an Update without changes.
    host.settings().set(98, 0, "/d/NR002M.H10");
    host.settings().set(98, 1, "/d/NR001M.H10");
    std::uint32_t marks = 0;
    runConditionsUpdate(f, marks, host);
    EXPECT_EQ(host.settings().value(98, 0), "/d/NR002M.H10");

    EXPECT_EQ(registerMasterFile(f.masterFiles, "/d/NR003M.H10"), RegisterResult::Added);
    f.masterFilesChanged = true;
    runConditionsUpdate(f, marks, host);
    EXPECT_EQ(host.settings().value(98, 0), "/d/NR003M.H10");
    EXPECT_EQ(host.settings().value(98, 1), "/d/NR001M.H10");
    EXPECT_EQ(host.settings().value(98, 2), "");
    EXPECT_FALSE(f.masterFilesChanged);
}

TEST(MasterFileRegister, AddsFirstRemovesRegisteredAndKeepsEight)
{
    std::vector<std::string> files;
    EXPECT_EQ(registerMasterFile(files, "  "), RegisterResult::Ignored);
    for (int i = 1; i <= 9; ++i)
        EXPECT_EQ(registerMasterFile(files, "/m/f" + std::to_string(i)), RegisterResult::Added);
    ASSERT_EQ(files.size(), 8u);
    EXPECT_EQ(files.front(), "/m/f9");
    EXPECT_EQ(files.back(), "/m/f2");
    EXPECT_EQ(registerMasterFile(files, " /m/f5 "), RegisterResult::Removed);
    EXPECT_EQ(files.size(), 7u);
    EXPECT_EQ(std::find(files.begin(), files.end(), "/m/f5"), files.end());
}

TEST(ItemListEditor, ButtonsOnTheLeftList)
{
    const struct {
        const char* what;
        std::vector<int> left;
        ListOp op;
        int leftSel;
        int rightCode;
        std::vector<int> after;
        bool changed;
        int selection;
    } cases[] = {
        {"insert above the selection", {1, 2, 3}, ListOp::Insert, 1, 9, {1, 9, 2, 3}, true, 2},
        {"insert into an unselected list appends", {1, 2}, ListOp::Insert, -1, 9, {1, 2, 9}, true, -1},
        {"insert into an empty list", {}, ListOp::Insert, -1, 9, {9}, true, -1},
        {"insert without a right selection", {1, 2}, ListOp::Insert, 0, -1, {1, 2}, false, 0},
        {"replace", {1, 2, 3}, ListOp::Replace, 2, 9, {1, 2, 9}, true, 2},
        {"replace without a left selection", {1, 2, 3}, ListOp::Replace, -1, 9, {1, 2, 3}, false, -1},
        {"replace without a right selection", {1, 2, 3}, ListOp::Replace, 0, -1, {1, 2, 3}, false, 0},
        {"delete", {1, 2, 3}, ListOp::Delete, 1, -1, {1, 3}, true, 1},
        {"delete the last entry", {1, 2, 3}, ListOp::Delete, 2, -1, {1, 2}, true, 1},
        {"delete the only entry", {4}, ListOp::Delete, 0, -1, {}, true, -1},
        {"delete without a selection", {1, 2}, ListOp::Delete, -1, -1, {1, 2}, false, -1},
        {"delete with a selection out of range", {1, 2}, ListOp::Delete, 5, -1, {1, 2}, false, -1},
        {"blank", {1, 2}, ListOp::Blank, 0, -1, {64, 1, 2}, true, 1},
        {"clear", {1, 2}, ListOp::Clear, 1, -1, {}, true, -1},
        {"clear an empty list", {}, ListOp::Clear, -1, -1, {}, false, -1},
    };
    for (const auto& c : cases) {
        std::vector<int> left = c.left;
        const ListEditResult r = editItemList(left, c.op, c.leftSel, c.rightCode);
        EXPECT_EQ(left, c.after) << c.what;
        EXPECT_EQ(r.changed, c.changed) << c.what;
        EXPECT_EQ(r.selection, c.selection) << c.what;
    }
}

TEST(ItemListEditor, NoInsertionBeyondSixtyFourEntries)
{
    std::vector<int> left(63, 7);
    EXPECT_TRUE(editItemList(left, ListOp::Insert, 0, 9).changed);
    ASSERT_EQ(left.size(), 64u);
    EXPECT_FALSE(editItemList(left, ListOp::Insert, 0, 9).changed);
    EXPECT_FALSE(editItemList(left, ListOp::Blank, 3, -1).changed);
    EXPECT_EQ(left.size(), 64u);
    EXPECT_TRUE(editItemList(left, ListOp::Replace, 3, 9).changed);  // replacing keeps the count
}

TEST(ItemListEditor, EntriesNameTheItem)
{
    ResultItemTable t;
    ASSERT_EQ(t.parse({"[070] t", "000012,##0.00,  有義, 波高m,m,, 有義波高(m) ,,", "000064,##,,,,,,,"}), Status::Ok);
    EXPECT_EQ(itemListEntry(t, 12), "012 有義波高(m)");
    EXPECT_EQ(itemListEntry(t, 64), "064 －－－");
    EXPECT_EQ(itemListEntry(t, 5), "005 －－－");
    EXPECT_EQ(itemShortName(t, 300), "－－－");
}

TEST(ValueLists, FixedWidthEntries)
{
    EXPECT_EQ(fixedWidthEntries("  -10    0  0.5", 5), (std::vector<std::string>{"-10", "0", "0.5"}));
    EXPECT_EQ(fixedWidthEntries("0.060.12   1  10", 4), (std::vector<std::string>{"0.06", "0.12", "1", "10"}));
    EXPECT_EQ(fixedWidthEntries("   1   2        9", 4), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(fixedWidthEntries("   1  2", 4), (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(fixedWidthEntries("", 4).empty());
}
