// Conversion of master files to text data files: fields, header lines, the
// range answer and whole runs over generated master files.
#include "common/textconvert.h"

#include "common/textfile.h"
#include "tools/synth/synth.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace varenta;

TEST(TextField, NumbersAreSixCharactersWithTheLeadingBlank)
{
    const std::pair<long long, const char*> cases[] = {
        {5, "     5"}, {-120, "  -120"}, {12345, " 12345"}, {0, "     0"}, {-32768, "-32768"}, {1234567, " 1234567"},
    };
    for (const auto& [v, want] : cases)
        EXPECT_EQ(textField(v), want) << v;
}

TEST(TextRangeAnswer, StartEndAndType)
{
    struct Case {
        const char* answer;
        const char* check;
        bool usable;
        long long start, end;
        bool oldType;
    } cases[] = {
        {"00100,00999", "0", true, 100, 999, false},
        {"00001,00010", "1", true, 1, 10, true},
        {"00000,00005", "0", true, 1, 5, false},
        {"00003,-0001", "0", false, 0, 0, false},
        {"00003,00000", "0", false, 0, 0, false},
        {"can", "0", false, 0, 0, false},
    };
    for (const Case& c : cases) {
        const auto r = parseTextRange({c.answer, c.check});
        ASSERT_EQ(r.has_value(), c.usable) << c.answer;
        if (r) {
            EXPECT_EQ(r->start, c.start) << c.answer;
            EXPECT_EQ(r->end, c.end) << c.answer;
            EXPECT_EQ(r->oldType, c.oldType) << c.answer;
        }
    }
}

TEST(TextRangeAnswer, TheQuestionOfTheInputDialog)
{
    const InputRequest r = textRangeRequest("/data/NR012M.H10");
    EXPECT_EQ(r.caption, "テキストデータファイルに変換");
    EXPECT_EQ(r.message, "NR012M.H10 を変換します。開始、終了測定番号を、必ず５桁で指定します。\r\n例：00100,00999 \r\n"
                         "旧タイプは、1ファイル分の測定回数を指定します。例：00001,00010");
    EXPECT_EQ(r.preset, "00001,10000");
    EXPECT_EQ(r.checkCaption, "旧タイプ");
    EXPECT_EQ(r.style, InputRequest::ShowInput | InputRequest::ShowCheck);
}

TEST(TextHeaderLines, VoltageChoiceAndFieldOrder)
{
    HeaderFields f;
    f.machineNumber = 12;
    f.year = 26, f.month = 12, f.day = 6, f.hour = 10, f.minute = 30;
    f.durationMinutes = 20, f.intervalMinutes = 60, f.measureCondition = 1;
    f.measurementNumber = 123;
    f.meanBearing = -45, f.meanWaterTemperature = 183;
    f.cpuVoltage = 33;
    f.channelSlots = {0x81, 0x82, 0x83};
    const std::pair<int, int> voltages[] = {{0, 33}, {1, 33}, {2, 2}, {120, 120}};
    for (const auto& [measure, written] : voltages) {
        f.measureVoltage = measure;
        Sector s{};
        encodeHeader(f, s.data());
        const auto lines = textHeaderLines(decodeHeader(s.data()));
        ASSERT_EQ(lines.size(), 3u);
        // map 0x321 = 801, mask 0b111 = 7
        EXPECT_EQ(lines[0], "   801,     0,     0,   -45,   183,    12");
        EXPECT_EQ(lines[1], "    26," + textField(written) + ",     3,   123,    20,    60") << measure;
        EXPECT_EQ(lines[2], "     1,     7,    30,    10,     6,    12");
    }
}

// One generated master file per test: one channel of 60 one-second samples,
// so that every measurement is one sector; a burst every 3 hours.
class TextConversionRun : public ::testing::Test {
protected:
    fs::path dir;
    synth::GeneratorOptions o;
    std::string master;

    void SetUp() override
    {
        static int n = 0;
        dir = fs::temp_directory_path() / ("varenta_text_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
        fs::create_directories(dir);
        o.plan.channels = {synth::code::pressure};
        o.plan.durationMinutes = 1;
        o.plan.intervalCode = 0;
        o.plan.intervalMinutes = 180;
        o.plan.start = {2026, 12, 6, 0, 0, 0};
        o.writeResults = false;
    }
    void TearDown() override { fs::remove_all(dir); }

    void make(int bursts, std::set<std::uint32_t> gaps = {})
    {
        o.plan.bursts = bursts;
        o.faults.gaps = std::move(gaps);
        ASSERT_EQ(synth::writeMasterPair(dir.string(), "NR012", o), Status::Ok);
        master = (dir / "NR012M.H10").string();
    }
    std::vector<std::string> lines(const std::string& path)
    {
        std::vector<std::string> l;
        EXPECT_EQ(readTextLines(path, l), Status::Ok) << path;
        return l;
    }
    std::vector<std::string> allFiles()
    {
        std::vector<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (e.is_regular_file() && e.path().extension() == ".h10")
                out.push_back(fs::relative(e.path(), dir).string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(TextConversionRun, NewTypeWritesOneFilePerMeasurementInDatedFolders)
{
    make(1000);
    const TextConversionResult r = convertToText(master, {100, 999, false}, {});
    EXPECT_EQ(r.status, Status::Ok);
    EXPECT_EQ(r.files.size(), 900u);
    EXPECT_EQ(allFiles().size(), 900u);
    // measurement 100 starts 99 x 3 h after 2026-12-06 00:00: 2026-12-18 09:00
    const std::string f100 = (dir / "NR01220261218" / "NR01200100a.h10").string();
    ASSERT_TRUE(fs::exists(f100));
    const auto l = lines(f100);
    const synth::Burst b = synth::generateBurst(o, 100);
    ASSERT_EQ(l.size(), 3u + 60u);
    const int volts = b.header.measureVoltage > 1 ? b.header.measureVoltage : b.header.cpuVoltage;
    EXPECT_EQ(l[1], "    26," + textField(volts) + ",     1,   100,     1,   180");
    EXPECT_EQ(l[2], "     0,     1,     0,     9,    18,    12");
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(l[3 + i], textField(b.counts[0][i])) << i;
    std::string bytes;
    ASSERT_EQ(readFileBytes(f100, bytes), Status::Ok);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    EXPECT_EQ(bytes.find(",\r\n"), std::string::npos);
}

TEST_F(TextConversionRun, OldTypeGroupsFromTheStartToTheLastMeasurement)
{
    make(25, {11});
    const TextConversionResult r = convertToText(master, {1, 10, true}, {});
    EXPECT_EQ(r.status, Status::Ok);
    EXPECT_EQ(r.skipped, 1);
    // groups 1-10, 11-20 (opened at 12: 11 is missing), 21-25
    const std::vector<std::string> want = {"NR01220261206/NR01200001a.h10", "NR01220261207/NR01200012a.h10",
                                           "NR01220261208/NR01200021a.h10"};
    EXPECT_EQ(allFiles(), want);
    const int perMeasurement = 3 + 60;
    EXPECT_EQ(lines((dir / want[0]).string()).size(), 10u * perMeasurement);
    EXPECT_EQ(lines((dir / want[1]).string()).size(), 9u * perMeasurement);
    EXPECT_EQ(lines((dir / want[2]).string()).size(), 5u * perMeasurement);
}

TEST_F(TextConversionRun, CommandRefusalsWriteNothing)
{
    make(5);
    const std::string tmp = (dir / "NR012M.TMP").string();
    fs::copy_file(master, tmp);
    struct Case {
        std::string path, answer;
    } cases[] = {{tmp, "00001,00005"}, {master, "00001,-0005"}, {master, "can"}};
    for (const Case& c : cases) {
        ScriptedPrompter p;
        p.replies.push_back(c.answer);
        TextCommandHooks hooks;
        hooks.prompter = &p;
        const TextConversionResult r = ConvertToText(c.path, hooks);
        EXPECT_EQ(r.status, Status::Cancelled) << c.answer;
        EXPECT_EQ(p.shown.size(), c.path == tmp ? 0u : 1u) << c.answer;
        EXPECT_TRUE(allFiles().empty()) << c.answer;
    }
}

TEST_F(TextConversionRun, StopRequestKeepsTheFinishedFilesAndTellsTheNumbers)
{
    make(10);
    ScriptedPrompter p;
    p.replies.push_back("00001,00010");
    std::vector<std::string> status;
    std::vector<long long> numbers;
    TextCommandHooks hooks;
    hooks.prompter = &p;
    hooks.numberInTexts = true;
    hooks.status = [&](const std::string& t) { status.push_back(t); };
    hooks.number = [&](long long m) { numbers.push_back(m); };
    hooks.poll = [&] { return numbers.size() < 3; };
    const TextConversionResult r = ConvertToText(master, hooks);
    EXPECT_EQ(r.status, Status::Cancelled);
    EXPECT_EQ(numbers, (std::vector<long long>{1, 2, 3}));
    EXPECT_EQ(allFiles().size(), 3u);
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.front(), "変換中 測定番号=1");
    EXPECT_EQ(status.back(), "変換終了 測定番号=3");
}

TEST_F(TextConversionRun, AResultsOnlyFirstSectorDoesNotSetTheBlockSize)
{
    o.plan.durationMinutes = 3;  // 180 samples: two sectors per burst
    o.faults.resultsOnly = {1};
    make(4);
    const TextConversionResult r = convertToText(master, {1, 4, false}, {});
    EXPECT_EQ(r.status, Status::Ok);
    ASSERT_EQ(r.files.size(), 4u);
    EXPECT_EQ(lines(r.files[0]).size(), 3u);
    for (std::size_t i = 1; i < 4; ++i)
        EXPECT_EQ(lines(r.files[i]).size(), 3u + 180u) << i;
}
