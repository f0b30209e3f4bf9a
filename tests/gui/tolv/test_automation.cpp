// The unattended cycle end to end: bursts arriving in two user folders are
// merged into growing master files, processed, and their pages uploaded to
// a local FTP server; the exit and signal paths of the automatic functions.
#include "ftp_server.h"
#include "shell_fixture.h"
#include "tolv/publish/transfer.h"
#include "tolv/shell/startup.h"
#include "tolv/publish/ui/automation.h"
#include "tolv/publish/ui/publishing.h"
#include "tolv/spectra/ui/resultsrecordstep.h"

#include "common/textcodec.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <fstream>

using namespace varenta;
using namespace varenta::guitest;

namespace {

std::string bytesOf(const fs::path& p)
{
    std::string b;
    readFileBytes(p.string(), b);
    return b;
}

// Settings of the program folder, also as the template the data folders
// initialization files are made from.
void setBoth(const ProgramFolder& pf, const std::vector<std::tuple<int, int, std::string>>& values)
{
    pf.setIni(values);
    fs::copy_file(pf.path("tolvi.ini"), pf.path("tolvi.org"), fs::copy_options::overwrite_existing);
}

bool waitFor(const std::function<bool()>& done, int ms)
{
    for (int t = 0; t < ms && !done(); t += 20) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    return done();
}

struct AutomationFixture : testing::Test {
    ProgramFolder pf;
    fs::path base = pf.dir / "users";
    std::vector<fs::path> folders;

    void SetUp() override
    {
        std::vector<std::string> table;
        std::ifstream in(sourceDir() + "/data/tolvu.org");
        for (std::string l; std::getline(in, l);)
            if (!l.empty() && l[0] != '\'')
                table.push_back(l.substr(0, 10));
        ASSERT_GE(table.size(), 2u);
        for (int i = 0; i < 2; ++i) {
            folders.push_back(base / table[static_cast<std::size_t>(i)]);
            fs::create_directories(folders.back());
        }
    }
};

TEST_F(AutomationFixture, BurstsArrivingInTwoFoldersAreMergedProcessedAndUploaded)
{
    FtpServer ftp(pf.dir.parent_path() / (pf.dir.filename().string() + "_ftp"));
    ASSERT_TRUE(ftp.running());
    fs::create_directories(ftp.root() / "www");
    ASSERT_EQ(writeTextLines(pf.path("tolvb.txt"),
                             {"open 127.0.0.1 " + std::to_string(ftp.port()),
                              std::string("user ") + FtpServer::kUser + " " + FtpServer::kPassword, "binary",
                              "cd www", "mput NR2??.htm", "mput NR2??.jpg", "bye"}),
              Status::Ok);
    setBoth(pf, {{83, 1, "nr???m.tmp"}, {83, 3, "1"}, {83, 4, "100"}, {99, 2, "1"}, {69, 6, "20"}, {85, 4, "10"},
                 {84, 0, "0"}, {84, 1, "2"}, {96, 5, "2"}, {89, 0, "800"}});

    synth::GeneratorOptions o = pf.generate(3);
    const std::string master = bytesOf(pf.master());
    const std::size_t burst = master.size() / 3;
    ASSERT_EQ(burst % 512, 0u);

    Shell sh(pf, "2,,," + base.string() + ",0");
    Publishing* pub = attachPublishing(sh.w());
    attachResultsRecordStep(sh.w());
    Automation* a = attachAutomation(sh.w(), *pub);
    sh.w().startUp();
    ASSERT_TRUE(a->scanning());
    EXPECT_TRUE(a->button()->isChecked());

    for (std::size_t k = 0; k < 3; ++k) {
        std::string arriving = master.substr(k * burst, burst);
        // The second folder's second burst comes with garbage sectors.
        if (k == 1)
            arriving = std::string(512, '\x5A') + arriving.substr(0, 512) + std::string(1024, 'g') +
                       arriving.substr(512);
        for (const fs::path& f : folders)
            std::ofstream(f / "NR012M.tmp", std::ios::binary) << (f == folders[1] ? arriving : master.substr(k * burst, burst));
        ASSERT_TRUE(waitFor([&] { return !fs::exists(folders[0] / "NR012M.tmp") && !fs::exists(folders[1] / "NR012M.tmp"); },
                            30000))
            << "burst " << k << "\n" << fromCodePage(bytesOf(pf.dir / kAutoLogName));
        ASSERT_TRUE(waitFor([&] { return !pub->transferring(); }, 30000));
        for (const fs::path& f : folders) {
            EXPECT_EQ(bytesOf(f / "NR012M.h10"), master.substr(0, (k + 1) * burst)) << f << " burst " << k;
            // The burst was processed: its results record carries its date.
            const std::vector<std::string> found = matchingFiles(f.string(), "NR012L.h10");
            ASSERT_EQ(found.size(), 1u) << f;
            const std::string results = bytesOf(f / found.front());
            ASSERT_GE(results.size(), (k + 1) * 392) << f;
            EXPECT_NE(results.substr(k * 392, 5), "-----") << f << " burst " << k;
        }
    }
    ASSERT_TRUE(waitFor([&] { return !pub->transferring(); }, 30000));
    waitFor([] { return false; }, 1500);  // the pause after the last publishing

    // The pages and pictures on the server are those of the program folder.
    int compared = 0;
    for (const auto& e : fs::directory_iterator(pf.dir)) {
        const std::string n = e.path().filename().string();
        if (nameMatches("NR2??.htm", n) || nameMatches("NR2??.jpg", n)) {
            EXPECT_EQ(bytesOf(ftp.root() / "www" / n), bytesOf(e.path())) << n;
            ++compared;
        }
    }
    EXPECT_GE(compared, 9);
    // One line per status text: each of the six merges is in the log.
    std::vector<std::string> log;
    ASSERT_EQ(readTextLines(pf.path(kAutoLogName), log), Status::Ok);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.find("NR012M.h10 更新完了！") != std::string::npos; }),
              6);
    sh.w().runCommand(QStringLiteral("ToggleWebScan"));
    EXPECT_FALSE(a->scanning());
    EXPECT_FALSE(sh.w().timer2()->isActive());
    EXPECT_EQ(sh.panel(panel::kStatus), kScanStopped);
    fs::remove_all(ftp.root());
}

TEST_F(AutomationFixture, ArrivedMasterProcessesItsNewestMeasurements)
{
    pf.generate(5);
    pf.setIni({{99, 2, "3"}, {83, 0, "kept"}});
    // Results records not processed yet: the error row.
    std::string rows;
    for (int m = 1; m <= 5; ++m)
        rows += errorRow();
    ASSERT_EQ(writeFileBytesAtomic(pf.path("NR012L.H10"), rows), Status::Ok);
    Shell sh(pf);
    Publishing* pub = attachPublishing(sh.w());
    attachResultsRecordStep(sh.w());
    Automation* a = attachAutomation(sh.w(), *pub);
    sh.w().startUp();
    a->processArrived(pf.master());
    EXPECT_EQ(sh.w().settings().value(83, 0), "kept");
    const std::string results = bytesOf(sh.w().dataSet().resultsPath);
    ASSERT_EQ(results.size(), 5u * 392);
    for (int m = 1; m <= 5; ++m)
        EXPECT_EQ(results.substr(static_cast<std::size_t>(m - 1) * 392, 5) == "-----", m < 3) << m;
}

TEST_F(AutomationFixture, ScanStartsOnlyWithUserFolderOperationAndAnInterval)
{
    const struct {
        const char* argument;
        const char* interval;
        bool scanning;
    } cases[] = {{"2,,,", "100", true}, {"0,,,", "100", false}, {"2,,,", "0", false}, {"2,,,", "", false}};
    for (const auto& c : cases) {
        pf.setIni({{83, 4, c.interval}});
        Shell sh(pf, c.argument + base.string());
        Publishing* pub = attachPublishing(sh.w());
        Automation* a = attachAutomation(sh.w(), *pub);
        sh.w().startUp();
        EXPECT_EQ(a->scanning(), c.scanning) << c.argument << " " << c.interval;
        EXPECT_EQ(sh.w().timer2()->isActive(), c.scanning) << c.argument << " " << c.interval;
        // The button toggles it when user-folder operation is on.
        a->button()->click();
        EXPECT_EQ(a->scanning(), !c.scanning && c.argument[0] == '2') << c.argument << " " << c.interval;
        a->toggle(true);
    }
}

}  // namespace

// The program as a station runs it: no display, the scan started by the
// command line, two bursts merged and processed, then SIGTERM ends it as the
// exit command does.
TEST_F(AutomationFixture, StationProgramScansWithoutADisplayAndEndsOnSigterm)
{
    const QString exe = QString::fromUtf8(VARENTA_BINARY_DIR) + QStringLiteral("/tolv");
    if (!QFileInfo::exists(exe))
        GTEST_SKIP() << "the program is not built";
    setBoth(pf, {{83, 1, "nr???m.tmp"}, {83, 3, "1"}, {83, 4, "100"}, {99, 2, "1"}, {85, 4, "0"}});
    pf.generate(2);
    const std::string master = bytesOf(pf.master());
    fs::create_directories(base);

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VARENTA_HOME"), QString::fromStdString(pf.dir.string()));
    p.setProcessEnvironment(env);
    p.start(exe, {"-platform", "offscreen", QString::fromStdString("3,,," + base.string() + ",0")});
    ASSERT_TRUE(p.waitForStarted(5000));
    for (std::size_t k = 0; k < 2; ++k) {
        std::ofstream(base / "NR012M.tmp", std::ios::binary) << master.substr(k * master.size() / 2, master.size() / 2);
        for (int t = 0; t < 300 && fs::exists(base / "NR012M.tmp"); ++t)
            p.waitForFinished(100);
        ASSERT_FALSE(fs::exists(base / "NR012M.tmp")) << "burst " << k;
    }
    p.waitForFinished(1500);  // the processing after the merge
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(bytesOf(base / "NR012M.h10"), master);
    std::vector<std::string> log;
    ASSERT_EQ(readTextLines(pf.path(kAutoLogName), log), Status::Ok);
    EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                            [](const std::string& l) { return l.find(kScanStopped) != std::string::npos; }));
    Settings saved;
    ASSERT_EQ(saved.load((base / "tolvi.ini").string()), Status::Ok);
    EXPECT_EQ(saved.value(83, 0), (base / "NR012M.tmp").string());
}
