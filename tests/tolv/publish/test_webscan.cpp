// The scan of arriving files, the user-folder table, the weekly backup and
// the log of the automatic functions.
#include "tolv/publish/autolog.h"
#include "tolv/publish/webscan.h"

#include "common/sector.h"
#include "common/textfile.h"
#include "tolv/data/data_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace varenta {
namespace {

using testing::dataSector;

struct ScanFixture : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("pub_scan_" + std::to_string(::getpid()));
    std::vector<std::string> events;  // "take <name>", "process <name>", "save"
    ScanHost host;
    WebScanner scanner;

    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
        host.taking = [this](const std::string& p) { events.push_back("take " + fs::path(p).filename().string()); };
        host.process = [this](const std::string& p) { events.push_back("process " + fs::path(p).filename().string()); };
        host.saveSettings = [this] { events.push_back("save"); };
        host.progress.wait = [](int) { return true; };
    }
    void TearDown() override { fs::remove_all(dir); }
    void write(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
    ScanConfig config(const std::string& pattern, int after)
    {
        ScanConfig c;
        c.fileMode = true;
        c.base = dir.string();
        c.pattern = pattern;
        c.takeAfter = after;
        return c;
    }
};

TEST_F(ScanFixture, FileSeenInThreeConsecutiveTicksIsTakenInTheThird)
{
    const ScanConfig c = config("nr???m.tmp", 3);
    const auto folders = scanFolders(c, {});
    write(dir / "NR012M.tmp", dataSector(0) + dataSector(1));
    EXPECT_TRUE(scanner.tick(c, folders, host).empty());
    EXPECT_TRUE(scanner.tick(c, folders, host).empty());
    EXPECT_EQ(scanner.counter(0), 2);
    const auto taken = scanner.tick(c, folders, host);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].merge.sectorsTaken, 2u);
    EXPECT_TRUE(taken[0].deleted);
    EXPECT_EQ(scanner.counter(0), 0);
    EXPECT_TRUE(fs::exists(dir / "NR012M.h10"));
    EXPECT_EQ(events, (std::vector<std::string>{"take NR012M.tmp", "process NR012M.h10", "save"}));

    // A gap in the sightings starts the count again.
    write(dir / "NR012M.tmp", dataSector(2));
    scanner.tick(c, folders, host);
    fs::rename(dir / "NR012M.tmp", dir / "hold");
    scanner.tick(c, folders, host);
    EXPECT_EQ(scanner.counter(0), 0);
}

TEST_F(ScanFixture, ResultsCompanionFirstAndLaterBurstsReachTheMaster)
{
    const ScanConfig c = config("nr???m.tmp", 1);
    write(dir / "NR012M.tmp", dataSector(0));
    write(dir / "NR012r.tmp", dataSector(0));
    scanner.tick(c, scanFolders(c, {}), host);
    EXPECT_EQ(events, (std::vector<std::string>{"take NR012r.tmp", "save", "take NR012M.tmp", "process NR012M.h10",
                                                "save"}));
    EXPECT_FALSE(fs::exists(dir / "NR012r.tmp"));
    EXPECT_TRUE(fs::exists(dir / "NR012r.h10"));

    // The next burst is merged into the existing master, sectors kept.
    write(dir / "NR012M.tmp", dataSector(1) + std::string(512, 'g') + std::string(100, 'x'));
    const auto taken = scanner.tick(c, scanFolders(c, {}), host);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].merge.sectorsTaken, 1u);
    EXPECT_EQ(taken[0].merge.sectorsSkipped, 1u);
    std::string master;
    ASSERT_EQ(readFileBytes((dir / "NR012M.h10").string(), master), Status::Ok);
    EXPECT_EQ(master, dataSector(0) + dataSector(1));

    // Shorter than a sector: deleted, neither merged nor processed.
    events.clear();
    write(dir / "NR013M.tmp", "short");
    scanner.tick(c, scanFolders(c, {}), host);
    EXPECT_EQ(events, (std::vector<std::string>{"take NR013M.tmp", "save"}));
    EXPECT_FALSE(fs::exists(dir / "NR013M.tmp"));
}

TEST_F(ScanFixture, MergeThatCannotWriteKeepsTheArrivedFile)
{
    const ScanConfig c = config("nr???m.tmp", 1);
    write(dir / "NR012M.tmp", dataSector(0));
    fs::create_directories(dir / "NR012M.h10");  // the master path is taken by a folder
    const auto taken = scanner.tick(c, scanFolders(c, {}), host);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].status, Status::Io);
    EXPECT_TRUE(fs::exists(dir / "NR012M.tmp"));
    EXPECT_EQ(events, (std::vector<std::string>{"take NR012M.tmp"}));
}

TEST(UserFolders, BlockMaskModeAndPlainNames)
{
    std::vector<std::string> table;
    for (int i = 0; i < kUserFolderEntries; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%03d_abcdefGHIJKLMN", i);
        table.push_back(buf);
    }
    table[7] = "007/../bad_xxxxxxx";
    ScanConfig c;
    c.base = "/base";
    c.block = 1;
    c.blockSize = 4;
    c.skipMask = 0x2;  // the second folder of the block
    std::vector<std::string> rejected;
    std::vector<std::string> paths;
    for (const ScanFolder& f : scanFolders(c, table, &rejected))
        paths.push_back(std::to_string(f.index) + " " + f.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"4 /base/004_abcdef", "6 /base/006_abcdef"}));
    EXPECT_EQ(rejected.size(), 1u);

    c.fileMode = true;  // block and mask do not count
    const auto one = scanFolders(c, table);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].path, "/base");
    EXPECT_EQ(one[0].index, 0);

    const struct {
        const char* name;
        bool plain;
    } names[] = {{"004_abcdef", true}, {"..", false}, {"", false}, {"a/b", false}, {".", false}};
    for (const auto& n : names)
        EXPECT_EQ(plainFolderName(n.name), n.plain) << n.name;
}

TEST(UserFolders, ShippedTableHasTheStatedForm)
{
    const char* src = std::getenv("VARENTA_SOURCE_DIR");
    std::ifstream in(std::string(src ? src : VARENTA_SOURCE_DIR) + "/data/" + kUserFolderTableName);
    std::vector<std::string> entries;
    for (std::string l; std::getline(in, l);)
        if (!l.empty() && l[0] != '\'')
            entries.push_back(l);
    ASSERT_EQ(entries.size(), 256u);
    std::set<std::string> folders;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].size(), 18u);
        char num[8];
        std::snprintf(num, sizeof num, "%03zu_", i);
        EXPECT_EQ(entries[i].substr(0, 4), num);
        folders.insert(entries[i].substr(0, 10));
    }
    EXPECT_EQ(folders.size(), 256u);
}

struct FixedClock : Clock {
    DateTime t;
    DateTime now() const override { return t; }
    std::int64_t tickMs() const override { return 0; }
};

TEST(WeeklyBackupRule, NoBackupOnTheStartDayUntilTheWeekdayChanges)
{
    const fs::path dir = fs::temp_directory_path() / ("pub_backup_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "data");
    std::ofstream(dir / "data" / "NR012M.h10") << "m";
    std::ofstream(dir / "data" / "NR012L.h10") << "l";
    std::ofstream(dir / "data" / "other.txt") << "o";
    std::ofstream(dir / "tolvi.ini") << "i";
    const std::string master = (dir / "data" / "NR012M.h10").string();
    EXPECT_EQ(weekdayOf({2026, 12, 7}), 2);  // a Monday
    EXPECT_EQ(weekdayOf({2026, 12, 13}), 1);
    WeeklyBackup b;
    const struct {
        DateTime at;
        bool ran;
    } calls[] = {{{2026, 12, 7, 9}, false},  {{2026, 12, 7, 10}, false}, {{2026, 12, 8, 10}, false},
                 {{2026, 12, 14, 10, 30}, true}, {{2026, 12, 14, 11}, false}};
    for (const auto& c : calls)
        EXPECT_EQ(b.run(c.at, 2, master, dir.string()).ran, c.ran) << c.at.day << " " << c.at.hour;
    const fs::path folder = dir / "NR012" / "B2026-1214-103000";
    EXPECT_TRUE(fs::exists(folder / "NR012M.h10"));
    EXPECT_TRUE(fs::exists(folder / "NR012L.h10"));
    EXPECT_TRUE(fs::exists(folder / "tolvi.ini"));
    EXPECT_FALSE(fs::exists(folder / "other.txt"));
    fs::remove_all(dir);
}

TEST(AutoLogFile, LinesAreStampedAndRotationKeepsFive)
{
    const fs::path dir = fs::temp_directory_path() / ("pub_log_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    FixedClock clock;
    clock.t = {2026, 12, 8, 7, 5, 9};
    AutoLog log(dir.string(), clock, 100);
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(log.write("スキャン " + std::to_string(i)));
    std::vector<std::string> lines;
    ASSERT_EQ(readTextLines(log.path(), lines), Status::Ok);
    EXPECT_EQ(lines.back(), "2026-12-08 07:05:09 スキャン 39");
    for (int i = 1; i <= 5; ++i)
        EXPECT_TRUE(fs::exists(log.path() + "." + std::to_string(i))) << i;
    EXPECT_FALSE(fs::exists(log.path() + ".6"));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace varenta
