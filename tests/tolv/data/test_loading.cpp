// Opening data sets end to end on generated and damaged files: pairing,
// indexing, the model check, panels, reading measurements, closing, the
// update merge and the initialization command.
#include "tolv/data/filelist.h"
#include "tolv/data/headertext.h"
#include "tolv/data/session.h"
#include "common/format.h"
#include "common/installdata.h"
#include "tools/synth/synth.h"

#include "data_fixture.h"

#include <gtest/gtest.h>

#include <random>

namespace varenta {
namespace {

using namespace testing;

synth::GeneratorOptions smallPlan(int bursts)
{
    synth::GeneratorOptions o;
    o.fidelity = synth::Fidelity::Cheap;
    o.plan.bursts = bursts;
    o.plan.durationMinutes = 1;
    o.plan.intervalCode = 0;  // 1.0 s: 60 samples per channel
    o.plan.channels = {synth::code::pressure, synth::code::currentX, synth::code::currentY};
    return o;
}

std::string generate(const std::string& folder, const std::string& prefix, const synth::GeneratorOptions& o,
                     synth::MasterPairInfo* info = nullptr)
{
    std::string msg;
    synth::MasterPairInfo local;
    EXPECT_EQ(synth::writeMasterPair(folder, prefix, o, info ? info : &local, &msg), Status::Ok) << msg;
    return (info ? info : &local)->measurementPath;
}

TEST(Loading, GeneratedFilesOfManySizes)
{
    struct Case {
        int bursts;
        int duration;
        int intervalCode;
    };
    const Case cases[] = {{1, 20, 1}, {100, 20, 1}, {20000, 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bursts);
        Program p;
        synth::GeneratorOptions o = smallPlan(c.bursts);
        o.plan.durationMinutes = c.duration;
        o.plan.intervalCode = c.intervalCode;
        if (c.bursts == 20000)
            o.plan.channels = {synth::code::pressure};
        synth::MasterPairInfo info;
        const std::string path = generate(p.dir.path(), "NR012", o, &info);
        ASSERT_EQ(p.session->loadDataSet(path), Status::Ok);
        EXPECT_TRUE(p.data.hasMeasurementFile);
        EXPECT_TRUE(p.data.hasResultsFile);
        EXPECT_EQ(p.data.latestNumber, c.bursts);
        EXPECT_EQ(p.data.currentNumber, c.bursts);
        EXPECT_EQ(p.data.filePrefix, "NR");
        EXPECT_EQ(p.data.sectorsPerMeasurement[0], info.sectorsPerMeasurement);
        EXPECT_EQ(p.settings.value(169, 0), std::to_string(info.sectorsPerMeasurement));
        EXPECT_EQ(p.settings.value(98, 0), path);
        const HeaderFields want = synth::headerFor(o, static_cast<std::uint32_t>(c.bursts));
        EXPECT_EQ(p.data.header.measurementNumber, c.bursts);
        EXPECT_EQ(p.data.header.hour, want.hour);
        EXPECT_EQ(p.data.header.day, want.day);
        EXPECT_EQ(p.panels.mno, "No.12-" + std::to_string(c.bursts) + " " + std::to_string(c.duration) + "/60");
        EXPECT_EQ(p.panels.date, p.data.header.dateText);
        EXPECT_EQ(p.panels.time, p.data.header.timeText.substr(0, 5));
        EXPECT_EQ(p.panels.sno, std::to_string(c.bursts) + "(0)");
        EXPECT_EQ(p.panels.status, "");
        EXPECT_EQ(p.caption, "Varentix - " + path + " - " + info.resultsPath);
        EXPECT_EQ(p.data.loadStatus, kLoadStatusRead);
        EXPECT_TRUE(p.state.state(statebit::kFileOpen));
        EXPECT_FALSE(p.state.state(statebit::kStepping));

        // The samples of the first and the last measurement are the counts written.
        for (std::uint32_t m : {1u, static_cast<std::uint32_t>(c.bursts)}) {
            ASSERT_EQ(p.session->selectMeasurement(m, true), Status::Ok);
            const synth::Burst b = synth::generateBurst(o, m);
            ASSERT_EQ(p.data.rawCounts.size(), b.counts.size());
            for (std::size_t ch = 0; ch < b.counts.size(); ++ch)
                EXPECT_EQ(p.data.rawCounts[ch], b.counts[ch]) << "measurement " << m << " channel " << ch;
            EXPECT_EQ(p.data.values[0][5], static_cast<float>(b.counts[0][5]));
        }
    }
}

TEST(Loading, HeaderInformationOfAGeneratedBurst)
{
    Program p({{{96, 0}, "1"}});
    synth::GeneratorOptions o = smallPlan(30);
    o.plan.durationMinutes = 20;
    o.plan.intervalCode = 1;
    o.plan.machineNumber = 34;
    o.plan.modelCode = 61;
    o.plan.channels = {synth::code::pressure, synth::code::currentX, synth::code::currentY};
    o.plan.header.optionFlagsHigh = 0x12;
    o.plan.header.optionFlagsLow = 0xAB;
    o.plan.header.dataErrorFlags = 0x0C;
    o.plan.header.programNumber = 9;
    const std::string path = generate(p.dir.path(), "NR034", o);
    p.settings.set(89, 3, "17");
    ASSERT_EQ(p.session->loadDataSet(path), Status::Ok);
    ASSERT_EQ(p.session->selectMeasurement(17), Status::Ok);

    const HeaderFields f = synth::headerFor(o, 17);
    char date[32], time[32];
    std::snprintf(date, sizeof date, "%02d/%2d/%2d", f.year, f.month, f.day);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", f.hour, f.minute, f.second);
    const std::string text = p.session->headerInfo(false);
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t e = text.find("\r\n", pos);
        ASSERT_NE(e, std::string::npos);
        lines.push_back(text.substr(pos, e - pos));
        pos = e + 2;
    }
    char hexHi[16], hexLo[16];
    std::snprintf(hexHi, sizeof hexHi, "%X", f.optionFlagsHigh);
    std::snprintf(hexLo, sizeof hexLo, "%X", f.optionFlagsLow);
    const std::vector<std::string> want = {
        "機械番号=34-61",
        "パケット情報=83",
        "収録アドレス=" + std::to_string(f.recordAddress),
        std::string("日時=") + date + " " + time,
        "測定番号=17",
        "測定条件=" + hexText(static_cast<std::uint32_t>(f.measureCondition)),
        "サンプル間隔=0.5sec",
        "平均方位=" + std::to_string(f.meanBearing),
        "平均水温=" + std::to_string(f.meanWaterTemperature),
        "ＣＰＵ電源電圧=3.3v",
        "測定電源電圧=12.0v",
        "ＳＤ使用量=" + formatMask(f.sdUsage / 100.0, "#0.00") + "%",
        std::string("オプションフラグ= ") + hexHi + hexLo,
        "プログラム番号= 9",
        "データ異常= 0C",
    };
    EXPECT_EQ(lines, want);
}

TEST(Loading, PairsAndTheFileList)
{
    Program p;
    synth::MasterPairInfo info;
    const std::string m = generate(p.dir.path(), "NR012", smallPlan(5), &info);

    // Opened by its results file: the measurement file is found as partner.
    ASSERT_EQ(p.session->loadDataSet(info.resultsPath), Status::Ok);
    EXPECT_EQ(p.data.measurementPath, m);
    EXPECT_EQ(p.data.resultsPath, info.resultsPath);

    // The same file twice through the open command (which closes, and so
    // saves, first): once in the list, at its head.
    ASSERT_EQ(p.session->openChosenFile(m), Status::Ok);
    ASSERT_EQ(p.session->openChosenFile(m), Status::Ok);
    EXPECT_EQ(p.data.previousPath, m);
    auto list = fileList(p.settings);
    EXPECT_EQ(list[0], m);
    EXPECT_EQ(std::count(list.begin(), list.end(), m), 1);
    // Saved while open and loaded again directly: still once.
    ASSERT_EQ(p.session->saveSettings(false), Status::Ok);
    ASSERT_EQ(p.session->loadDataSet(m), Status::Ok);
    list = fileList(p.settings);
    EXPECT_EQ(list[0], m);
    EXPECT_EQ(std::count(list.begin(), list.end(), m), 1);

    // The partner differs in letter case from the name formed ("NR040l.H10").
    std::filesystem::rename(p.file("NR012M.H10"), p.file("NR040m.H10"));
    std::filesystem::rename(p.file("NR012L.H10"), p.file("NR040L.H10"));
    ASSERT_EQ(p.session->loadDataSet(p.file("NR040m.H10")), Status::Ok);
    EXPECT_EQ(p.data.resultsPath, p.file("NR040L.H10"));
    EXPECT_TRUE(p.data.hasResultsFile);
}

TEST(Loading, OnlyTheResultsFile)
{
    Program p({{{89, 0}, "100"}});  // the raw table is switched on
    synth::MasterPairInfo info;
    generate(p.dir.path(), "NR012", smallPlan(5), &info);
    std::filesystem::remove(info.measurementPath);
    bool resultsOn = false;
    DataHooks h;
    h.resultsViews = [&](bool on) { resultsOn = on; };
    h.refreshView = [&](int kind) { p.refreshed.push_back(kind); };
    p.session->setHooks(h);
    ASSERT_EQ(p.session->loadDataSet(info.resultsPath), Status::Ok);
    EXPECT_FALSE(p.data.hasMeasurementFile);
    EXPECT_TRUE(p.data.hasResultsFile);
    EXPECT_TRUE(p.data.measurementPath.empty());
    EXPECT_TRUE(resultsOn);
    EXPECT_EQ(p.panels.status, "");
    EXPECT_TRUE(p.refreshed.empty());  // the measurement views stay empty
    EXPECT_EQ(p.data.resultsLength, info.resultsBytes);
    EXPECT_EQ(p.session->selectMeasurement(1), Status::NotFound);

    // Neither file: nothing open, "ファイルを開いて下さい".
    EXPECT_EQ(p.session->loadDataSet(p.file("NR099M.H10")), Status::NotFound);
    EXPECT_FALSE(p.data.isOpen());
    EXPECT_EQ(p.panels.status, "ファイルを開いて下さい");
}

TEST(Loading, ViewsRefreshedInOrderAndWantedNumber)
{
    Program p({{{89, 0}, "71F00"}, {{89, 3}, "3"}});
    const std::string m = generate(p.dir.path(), "NR012", smallPlan(6));
    ASSERT_EQ(p.session->loadDataSet(m), Status::Ok);
    // Kinds 2 and 3 are the results views; the others in their fixed order.
    EXPECT_EQ(p.refreshed, (std::vector<int>{0, 1, 4, 5, 6, 7}));
    EXPECT_EQ(p.data.currentNumber, 3);  // item 89 value 3 wanted and found
    EXPECT_EQ(p.data.latestNumber, 6);

    // A wanted number that is absent shows the newest.
    writeCodePageLines(p.file("tolvi.ini"), initLines({{{89, 3}, "60"}, {{79, 3}, "111"}}));
    ASSERT_EQ(p.session->loadDataSet(m), Status::Ok);
    EXPECT_EQ(p.data.currentNumber, 6);
}

TEST(Loading, ModelCodeRefusalSequence)
{
    Program p;
    synth::GeneratorOptions a = smallPlan(3);
    a.plan.modelCode = 24;
    synth::GeneratorOptions b = smallPlan(3);
    b.plan.modelCode = 23;
    const std::string fileA = generate(p.dir.path(), "NR024", a);
    const std::string fileB = generate(p.dir.path(), "NR023", b);

    // The first file after start is never refused (remembered 9999).
    EXPECT_EQ(p.data.modelCode, kModelCodeUnknown);
    ASSERT_EQ(p.session->loadDataSet(fileA), Status::Ok);
    EXPECT_EQ(p.data.modelCode, 24);

    // Opened and closed, then the other model: refused with the message.
    p.session->closeDataSet();
    EXPECT_EQ(p.session->loadDataSet(fileB), Status::Refused);
    ASSERT_EQ(p.prompter.shown.size(), 1u);
    EXPECT_EQ(p.prompter.shown[0].title, "VarentaK - 操作の注意");
    EXPECT_EQ(p.prompter.shown[0].text,
              "異なる機種のファイルを開きました。適切な初期化(F9)をしてから開いてください。");
    EXPECT_EQ(p.prompter.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(p.prompter.shown[0].buttons, MsgButtons::Ok);
    EXPECT_FALSE(p.data.isOpen());
    EXPECT_TRUE(p.data.measurementPath.empty());
    EXPECT_EQ(p.settings.value(98, 0), "");
    EXPECT_EQ(p.panels.status, "");
    // Trying again without initializing is refused again.
    EXPECT_EQ(p.session->loadDataSet(fileB), Status::Refused);
    EXPECT_EQ(p.prompter.shown.size(), 2u);

    // After the initialization command (remembered model back to 9999) it opens.
    writeBytes(p.file("tolvi-00.org"), readBytes(p.file("tolvi.org")));
    p.prompter.replies.push_back("00");
    ASSERT_EQ(p.session->runInitialization(), Status::Ok);
    ASSERT_EQ(p.session->loadDataSet(fileB), Status::Ok);
    EXPECT_EQ(p.data.modelCode, 23);

    // Directly after the first file, without closing, the other model is
    // accepted: item 98 value 1 then holds the first file.  (Each load
    // rereads the settings file, so the list is the one last saved, here by
    // a save while the first file was open, as the conditions dialog does.)
    Program q;
    const std::string qa = generate(q.dir.path(), "NR024", a);
    const std::string qb = generate(q.dir.path(), "NR023", b);
    ASSERT_EQ(q.session->loadDataSet(qa), Status::Ok);
    ASSERT_EQ(q.session->saveSettings(false), Status::Ok);
    ASSERT_EQ(q.session->loadDataSet(qb), Status::Ok);
    EXPECT_EQ(q.settings.value(98, 1), qa);
    EXPECT_TRUE(q.prompter.shown.empty());
}

TEST(Loading, CorruptInputsLeaveFilesUnchanged)
{
    Program p;
    synth::GeneratorOptions o = smallPlan(4);
    o.plan.durationMinutes = 20;
    o.plan.intervalCode = 1;
    synth::MasterPairInfo info;
    const std::string good = generate(p.dir.path(), "NR012", o, &info);
    ASSERT_EQ(p.session->loadDataSet(good), Status::Ok);

    std::mt19937 rng(3);
    std::string random(300 * 512, '\0');
    for (char& c : random)
        c = static_cast<char>(rng());
    std::string month13 = sectorBytes(headerSector(fields(1, 26, 13, 6, 10, 0)));
    std::string whole = readBytes(good);
    struct Case {
        const char* name;
        std::string bytes;
        Status want;
        const char* status;
    };
    const std::vector<Case> cases = {
        {"random bytes", random, Status::DataFormat, "データ無し"},
        {"shorter than a sector", whole.substr(0, 400), Status::DataFormat, "データ無し"},
        {"a header with month 13", month13, Status::DataFormat, "データ無し"},
        {"the last measurement cut short", whole.substr(0, whole.size() - 3000), Status::Ok, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(p.file("XX001M.H10"), c.bytes);
        EXPECT_EQ(p.session->loadDataSet(p.file("XX001M.H10")), c.want);
        EXPECT_EQ(p.panels.status, c.status);
        EXPECT_EQ(readBytes(p.file("XX001M.H10")), c.bytes);
        if (c.want != Status::Ok)
            EXPECT_FALSE(p.data.hasMeasurementFile);
    }
    // The cut measurement reads with its missing tail marked.
    ASSERT_EQ(p.session->selectMeasurement(4, true), Status::Ok);
    EXPECT_EQ(p.data.rawCounts[0].back(), -32768);
    EXPECT_NE(p.data.rawCounts[0].front(), -32768);

    // A measurement whose header fails its check: error 16, the previous header stays.
    ASSERT_EQ(p.session->loadDataSet(good), Status::Ok);
    std::string damaged = readBytes(good);
    const std::size_t off = 512 * static_cast<std::size_t>(info.sectorsPerMeasurement);  // measurement 2
    damaged[off + hdr::month] = 13;
    fixSectorChecksum(reinterpret_cast<std::uint8_t*>(damaged.data() + off));
    writeBytes(good, damaged);
    const int beeps = p.beeps;
    const std::string date = p.data.header.dateText;
    EXPECT_EQ(p.session->selectMeasurement(2), Status::DataFormat);
    EXPECT_EQ(p.data.dataErrorCode, 16);
    EXPECT_EQ(p.data.loadStatus, kLoadStatusNoData);
    EXPECT_EQ(p.panels.status, "データ無し");
    EXPECT_EQ(p.beeps, beeps + 1);
    EXPECT_EQ(p.data.header.dateText, date);
    EXPECT_EQ(readBytes(good), damaged);
    EXPECT_NE(p.session->headerInfo(true).find("データ異常= 10\r\n"), std::string::npos);

    // A settings file without item 199: the load stops, with its status.
    writeCodePageLines(p.file("tolvi.ini"), {"[x]", "001,1"});
    const std::string ini = readBytes(p.file("tolvi.ini"));
    EXPECT_EQ(p.session->loadDataSet(good), Status::DataFormat);
    EXPECT_EQ(p.panels.status, "初期化ファイルを読めません: " + p.file("tolvi.ini"));
    EXPECT_EQ(readBytes(p.file("tolvi.ini")), ini);
    EXPECT_EQ(readBytes(good), damaged);
}

TEST(Loading, TimeShiftOnLoad)
{
    Program p({{{66, 0}, "1"}});
    synth::GeneratorOptions o = smallPlan(1);
    o.plan.durationMinutes = 30;
    o.plan.start = DateTime{2024, 2, 28, 23, 45, 0};
    const std::string m = generate(p.dir.path(), "NR012", o);
    ASSERT_EQ(p.session->loadDataSet(m), Status::Ok);
    EXPECT_EQ(p.data.header.dateText, "24/ 2/29");  // middle of the burst: +15 minutes
    EXPECT_EQ(p.panels.time, "00:00");
    EXPECT_EQ(p.data.header.timeText, "00:00:00");
}

TEST(Loading, ResultsOnlyAndWindFiles)
{
    Program p({{{165, 0}, "006012105"}, {{166, 0}, "006012105"}, {{95, 4}, "0"}});
    synth::GeneratorOptions o = smallPlan(3);
    o.faults.allResultsOnly = true;
    const std::string m = generate(p.dir.path(), "NR012", o);
    ASSERT_EQ(p.session->loadDataSet(m), Status::Ok);
    EXPECT_TRUE(p.state.noSamples);
    EXPECT_EQ(p.data.sectorsPerMeasurement[0], 1);
    EXPECT_EQ(p.data.latestNumber, 3);
    ASSERT_EQ(p.session->selectMeasurement(2, true), Status::Ok);
    EXPECT_TRUE(p.data.rawCounts.empty());

    // A level channel without pressure: the wind (alternate) result items.
    synth::GeneratorOptions w = smallPlan(2);
    w.plan.channels = {synth::code::level, synth::code::windX, synth::code::windY};
    const std::string wm = generate(p.dir.path(), "NR013", w);
    ASSERT_EQ(p.session->loadDataSet(wm), Status::Ok);
    EXPECT_FALSE(p.state.noSamples);
    EXPECT_TRUE(p.state.windSet);
    EXPECT_EQ(p.init->selection().item, 166);
    EXPECT_EQ(p.settings.value(166, 0), "006052107");
    EXPECT_EQ(p.settings.hex(95, 4) & 0x20u, 0x20u);
    // Closed (the settings are saved) and back to a pressure file: the set
    // switches back; the active item is 165 again.
    p.session->closeDataSet();
    Settings saved;
    ASSERT_EQ(saved.load(p.file("tolvi.ini")), Status::Ok);
    EXPECT_EQ(saved.value(166, 0), "006052107");
    EXPECT_EQ(saved.hex(95, 4) & 0x20u, 0x20u);
    ASSERT_EQ(p.session->loadDataSet(m), Status::Ok);
    EXPECT_FALSE(p.state.windSet);
    EXPECT_EQ(p.init->selection().item, 165);
    EXPECT_EQ(p.settings.value(165, 0), "006012105");
    EXPECT_EQ(p.settings.value(166, 0), "006052107");
    EXPECT_EQ(p.settings.hex(95, 4) & 0x20u, 0u);
}

TEST(Loading, PendingArrivedFileIsMerged)
{
    Program p;
    synth::GeneratorOptions o = smallPlan(6);
    synth::MasterPairInfo info;
    const std::string full = generate(p.dir.path(), "NR012", o, &info);
    // The master holds measurements 1..4; the arrived file carries 5 and 6.
    const std::string bytes = readBytes(full);
    const std::size_t block = 512 * static_cast<std::size_t>(info.sectorsPerMeasurement);
    writeBytes(full, bytes.substr(0, 4 * block));
    writeBytes(p.file("NR012M.tmp"), bytes.substr(4 * block));
    // Item 83 value 0 names the pending file (it is read from the file at load).
    writeCodePageLines(p.file("tolvi.ini"), initLines({{{83, 0}, p.file("NR012M.tmp")}, {{79, 3}, "111"}}));
    ASSERT_EQ(p.session->loadDataSet(full), Status::Ok);
    EXPECT_EQ(p.data.latestNumber, 6);
    EXPECT_EQ(readBytes(full), bytes);

    // An unusable arrived file is deleted and loading goes on.
    writeBytes(p.file("NR012M.tmp"), "short");
    writeCodePageLines(p.file("tolvi.ini"), initLines({{{83, 0}, p.file("NR012M.tmp")}, {{79, 3}, "111"}}));
    ASSERT_EQ(p.session->loadDataSet(full), Status::Ok);
    EXPECT_FALSE(std::filesystem::exists(p.file("NR012M.tmp")));
}

TEST(Loading, CloseScrollAndRefresh)
{
    Program p;
    const std::string m = generate(p.dir.path(), "NR012", smallPlan(40));
    ASSERT_EQ(p.session->loadDataSet(m), Status::Ok);
    EXPECT_EQ(p.session->scrollMaximum(), 40);
    EXPECT_EQ(p.session->syncScrollValue(), 40);
    ASSERT_EQ(p.session->scrollChanged(35), Status::Ok);
    EXPECT_EQ(p.data.currentNumber, 35);
    EXPECT_EQ(p.panels.sno, "35(0)");
    ASSERT_EQ(p.session->scrollChanged(1), Status::Ok);
    EXPECT_EQ(p.data.currentNumber, 1);

    // Measurements added later are found by the rescan.
    synth::GeneratorOptions more = smallPlan(45);
    generate(p.dir.path(), "NR012", more);
    ASSERT_EQ(p.session->refreshFile(), Status::Ok);
    EXPECT_EQ(p.data.latestNumber, 45);
    EXPECT_EQ(p.panels.mno, "No.12-45 1/60");

    p.session->closeDataSet();
    EXPECT_FALSE(p.data.isOpen());
    EXPECT_EQ(p.data.previousPath, m);
    EXPECT_EQ(p.panels.mno, "");
    EXPECT_EQ(p.panels.status, "");
    EXPECT_EQ(p.caption, "");
    Settings saved;
    ASSERT_EQ(saved.load(p.file("tolvi.ini")), Status::Ok);
    EXPECT_EQ(saved.value(98, 0), "");
    EXPECT_EQ(saved.value(98, 1), "");
    EXPECT_EQ(saved.value(89, 3), "45");
}

TEST(Loading, InitializationCommand)
{
    Program p({{{86, 1}, "1"}, {{69, 7}, "3"}, {{80, 1}, "風"}});
    const std::string m = generate(p.dir.path(), "NR012", smallPlan(3));
    std::vector<std::string> v1 = initLines({{{86, 1}, "1"}, {{79, 3}, "111"}, {{5, 0}, "variant1"}});
    std::vector<std::string> v3 = initLines({{{86, 1}, "3"}, {{79, 3}, "111"}, {{5, 0}, "variant3"}});
    writeCodePageLines(p.file("tolvi-01.org"), v1);
    writeCodePageLines(p.file("tolvi-03.org"), v3);
    ASSERT_EQ(p.session->loadDataSet(m), Status::Ok);

    // Cancelled: nothing happens.
    p.prompter.replies.push_back("can");
    EXPECT_EQ(p.session->runInitialization(), Status::Cancelled);
    EXPECT_TRUE(p.data.hasMeasurementFile);
    ASSERT_EQ(p.prompter.shown.size(), 1u);
    EXPECT_EQ(p.prompter.shown[0].title, "アプリケーションの初期化 ");
    EXPECT_EQ(p.prompter.shown[0].preset, "01=風");

    // An empty answer reapplies the current variant (01) and reopens the file.
    p.prompter.replies.push_back("");
    ASSERT_EQ(p.session->runInitialization(), Status::Ok);
    EXPECT_EQ(p.settings.value(5, 0), "variant1");
    EXPECT_EQ(p.data.measurementPath, m);
    EXPECT_TRUE(p.data.hasMeasurementFile);
    EXPECT_EQ(p.data.modelCode, 60);

    // An answer beginning with 03 applies variant 03.
    p.prompter.replies.push_back("03=x");
    ASSERT_EQ(p.session->runInitialization(), Status::Ok);
    EXPECT_EQ(p.settings.value(5, 0), "variant3");
    EXPECT_EQ(readBytes(p.file("tolvi.org")), readBytes(p.file("tolvi-03.org")));

    // A variant that does not exist: nothing closed, nothing copied.
    p.prompter.replies.push_back("05");
    const std::string org = readBytes(p.file("tolvi.org"));
    EXPECT_EQ(p.session->runInitialization(), Status::NotFound);
    EXPECT_TRUE(p.data.hasMeasurementFile);
    EXPECT_EQ(readBytes(p.file("tolvi.org")), org);
}

TEST(Loading, ShippedSettingsOpenAGeneratedFile)
{
    Program p;
    std::string msg;
    ASSERT_EQ(installProgramData(std::string(VARENTA_SOURCE_DIR) + "/data", p.dir.path(), &msg), Status::Ok) << msg;
    synth::GeneratorOptions o = smallPlan(48);
    o.plan.durationMinutes = 20;
    o.plan.intervalCode = 1;
    const std::string m = generate(p.dir.path(), "NR012", o);
    ASSERT_EQ(p.session->loadDataSet(m), Status::Ok);
    EXPECT_EQ(p.data.latestNumber, 48);
    EXPECT_EQ(p.panels.mno, "No.12-48 20/60");
    EXPECT_EQ(p.data.displayChannels.count, 3);
    EXPECT_EQ(p.data.displayChannels.indexes, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(p.data.displayChannels.captions0.empty());
    EXPECT_GE(p.init->selection().numberPosition, 0);
    ASSERT_EQ(p.session->selectMeasurement(10, true), Status::Ok);
    EXPECT_EQ(p.data.rawCounts.size(), 3u);
    EXPECT_EQ(p.data.rawCounts[0].size(), 2400u);
}

}  // namespace
}  // namespace varenta
