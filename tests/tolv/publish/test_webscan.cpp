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
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace varenta {
namespace {

using testing::dataSector;

struct FixedClock : Clock {
    DateTime t;
    DateTime now() const override { return t; }
    std::int64_t tickMs() const override { return 0; }
};


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

    // Shorter than a sector: deleted, neither merged nor processed.  A
    // master that cannot be written keeps the arrived file.
    events.clear();
    write(dir / "NR013M.tmp", "short");
    scanner.tick(c, scanFolders(c, {}), host);
    write(dir / "NR014M.tmp", dataSector(0));
    fs::create_directories(dir / "NR014M.h10");
    EXPECT_EQ(scanner.tick(c, scanFolders(c, {}), host).at(0).status, Status::Io);
    EXPECT_EQ(events, (std::vector<std::string>{"take NR013M.tmp", "save", "take NR014M.tmp"}));
    EXPECT_FALSE(fs::exists(dir / "NR013M.tmp"));
    EXPECT_TRUE(fs::exists(dir / "NR014M.tmp"));
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

    for (const char* bad : {"..", "", "a/b", "."})
        EXPECT_FALSE(plainFolderName(bad)) << bad;
}

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

// 500 arrivals over two folders, each seen in two ticks before it is taken,
// with empty ticks in between: every burst is merged once, in place, and
// the log has a line for each.
TEST_F(ScanFixture, SoakOfFiveHundredArrivalsMissesAndDoublesNothing)
{
    FixedClock clock;
    AutoLog log(dir.string(), clock);
    host.status = [&log](const std::string& t) { log.write(t); };
    host.progress.text = host.status;
    int processed = 0;
    host.process = [&processed](const std::string&) { ++processed; };
    const fs::path a = dir / "000_aaaaaa", b = dir / "001_bbbbbb";
    fs::create_directories(a);
    fs::create_directories(b);
    ScanConfig c;
    c.base = dir.string();
    c.blockSize = 2;
    c.pattern = "nr???m.tmp";
    c.takeAfter = 2;
    const std::vector<std::string> table = {"000_aaaaaaXXXXXXXX", "001_bbbbbbXXXXXXXX"};
    const auto folders = scanFolders(c, table);
    ASSERT_EQ(folders.size(), 2u);
    std::size_t taken = 0;
    for (int i = 0; i < 500; ++i) {
        const fs::path& f = (i % 2) ? b : a;
        write(f / "NR012M.tmp", dataSector(static_cast<std::uint32_t>(i / 2)));
        if (i % 7 == 0)
            taken += scanner.tick(c, folders, host).size();  // the other folder's file may wait a tick
        if (i % 2) {
            taken += scanner.tick(c, folders, host).size();
            taken += scanner.tick(c, folders, host).size();
        }
    }
    for (int t = 0; t < 3; ++t)
        taken += scanner.tick(c, folders, host).size();
    EXPECT_EQ(taken, 500u);
    EXPECT_EQ(processed, 500);
    std::string expected;
    for (std::uint32_t n = 0; n < 250; ++n)
        expected += dataSector(n);
    for (const fs::path& f : {a, b}) {
        std::string master;
        ASSERT_EQ(readFileBytes((f / "NR012M.h10").string(), master), Status::Ok);
        EXPECT_EQ(master, expected) << f;
        EXPECT_FALSE(fs::exists(f / "NR012M.tmp"));
    }
    std::vector<std::string> lines;
    ASSERT_EQ(readTextLines(log.path(), lines), Status::Ok);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("NR012M.h10 更新完了！") != std::string::npos; }),
              500);
}

// A merge killed at any moment leaves only whole, checksum-valid sectors;
// the arrived file stays and the next tick completes the master.
TEST_F(ScanFixture, KilledMergeLeavesValidSectorsAndTheNextTickCompletesIt)
{
    std::string arrived;
    for (std::uint32_t n = 0; n < 40000; ++n)
        arrived += dataSector(n & 0xFFFF);
    write(dir / "NR012M.tmp", arrived);
    const fs::path master = dir / "NR012M.h10";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (;;)
            mergeArrivedFile((dir / "NR012M.tmp").string(), dir.string());
    }
    std::error_code ec;
    for (int i = 0; i < 5000; ++i) {
        const std::uintmax_t size = fs::file_size(master, ec);
        if (!ec && size >= 512 * 1000)
            break;
        ::usleep(1000);
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    std::string written;
    ASSERT_EQ(readFileBytes(master.string(), written), Status::Ok);
    ASSERT_GT(written.size(), 0u);
    ASSERT_EQ(written.size() % 512, 0u);
    for (std::size_t off = 0; off < written.size(); off += 512)
        ASSERT_TRUE(sectorSumOk(reinterpret_cast<const std::uint8_t*>(written.data()) + off) &&
                    written[off] == static_cast<char>(kSectorMarker))
            << "sector " << off / 512;

    const ScanConfig c = config("nr???m.tmp", 1);
    ASSERT_EQ(scanner.tick(c, scanFolders(c, {}), host).size(), 1u);
    ASSERT_EQ(readFileBytes(master.string(), written), Status::Ok);
    EXPECT_EQ(written, arrived);
}

}  // namespace
}  // namespace varenta
