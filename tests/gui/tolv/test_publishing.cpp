// Publishing end to end: the pages of an opened measurement uploaded to a
// local FTP server by the user's script, the download of the newest file,
// and transfers towards a closed port.
#include "ftp_server.h"
#include "shell_fixture.h"
#include "common/textcodec.h"
#include "tolv/publish/transfer.h"
#include "tolv/shell/conditions.h"
#include "tolv/publish/ui/publishing.h"

#include <QImage>
#include <QTimer>

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

std::vector<std::string> ftpScript(int port, const std::vector<std::string>& commands)
{
    std::vector<std::string> lines = {"open 127.0.0.1 " + std::to_string(port),
                                      std::string("user ") + FtpServer::kUser + " " + FtpServer::kPassword, "binary"};
    lines.insert(lines.end(), commands.begin(), commands.end());
    lines.push_back("bye");
    return lines;
}

struct PublishingFixture : testing::Test {
    ProgramFolder pf;
    FtpServer ftp{pf.dir.parent_path() / (pf.dir.filename().string() + "_ftp")};

    void SetUp() override { ASSERT_TRUE(ftp.running()); }
    void TearDown() override { fs::remove_all(ftp.root()); }
};

TEST_F(PublishingFixture, PagesAndPicturesReachTheServerByteForByte)
{
    pf.generateOpened(4);
    fs::create_directories(ftp.root() / "www");
    ASSERT_EQ(writeTextLines(pf.path("tolvb.txt"), ftpScript(ftp.port(), {"cd www", "mput NR2??.htm", "mput NR2??.jpg"})),
              Status::Ok);
    pf.setIni({{69, 6, "20"}, {85, 4, "10"}, {96, 5, "3"}});
    Shell sh(pf);
    Publishing* pub = attachPublishing(sh.w());
    sh.w().startUp();
    sh.w().runCommand(QStringLiteral("MgraphD"));
    sh.w().runCommand(QStringLiteral("MnumR"));
    settle();
    sh.w().runCommand(QStringLiteral("Mtrans"));

    EXPECT_EQ(pub->lastPages().status, Status::Ok) << pub->lastPages().failure;
    EXPECT_EQ(sh.panel(panel::kStatus), pubtext::kSendEnded);
    EXPECT_FALSE(pub->lastPublish().uploadStopped);
    std::vector<std::string> local;
    for (const auto& e : fs::directory_iterator(pf.dir)) {
        const std::string n = e.path().filename().string();
        if (nameMatches("NR2??.htm", n) || nameMatches("NR2??.jpg", n))
            local.push_back(n);
    }
    ASSERT_GE(local.size(), 10u);  // 9 pages of a raw measurement, the raw and results graphs
    for (const std::string& n : local)
        EXPECT_EQ(bytesOf(ftp.root() / "www" / n), bytesOf(pf.dir / n)) << n;

    // The picture sizes in the page are those of the picture written.
    const QImage raw(QString::fromStdString(pf.path("NR22g.jpg")));
    const std::string page22e = bytesOf(pf.dir / "NR22e.htm");
    EXPECT_NE(page22e.find("width=\"" + pictureSizeField(raw.width()) + "\" height=\"" +
                           pictureSizeField(raw.height()) + "\""),
              std::string::npos);
    EXPECT_NE(page22e.find("width=\"   0\" height=\"   0\""), std::string::npos);  // velocity graph closed
    // Three measurements listed on the first page, newest first.
    const std::string page21 = fromCodePage(bytesOf(pf.dir / "NR21h.htm"));
    EXPECT_NE(page21.find("機械番号 012"), std::string::npos);
    // Each block has two line breaks of the web item list (064); blocks are
    // separated by one more.
    std::size_t breaks = 0;
    for (std::size_t p = page21.find("\r\n<br>\r\n"); p != std::string::npos; p = page21.find("\r\n<br>\r\n", p + 1))
        ++breaks;
    EXPECT_EQ(breaks, 3u * 2u + 2u);
}

TEST_F(PublishingFixture, DownloadFetchesTheNewestFileIntoItem83)
{
    fs::create_directories(ftp.root() / "incoming");
    const std::string content(3 * 512, '\x5A');
    std::ofstream(ftp.root() / "incoming" / "nr034r.tmp", std::ios::binary) << content;
    // The test server lists no wildcards (NLST), so the script names the file;
    // the program still looks for the pattern of item 83 value 1.
    ASSERT_EQ(writeTextLines(pf.path("tolvd.txt"), ftpScript(ftp.port(), {"cd incoming", "get nr034r.tmp"})),
              Status::Ok);
    pf.setIni({{69, 6, "20"}, {83, 1, " nr???r.tmp"}});
    Shell sh(pf);
    Publishing* pub = attachPublishing(sh.w());
    sh.w().startUp();
    sh.prompter.answers = {MsgAnswer::Cancel};
    sh.w().runCommand(QStringLiteral("DownloadLatest"));
    EXPECT_FALSE(fs::exists(pf.path("nr034r.tmp")));
    sh.w().runCommand(QStringLiteral("DownloadLatest"));
    EXPECT_EQ(sh.prompter.shown.back().title, kDownloadTitle);
    EXPECT_EQ(pub->lastDownload().status, Status::Ok);
    EXPECT_EQ(sh.w().settings().value(83, 0), pf.path("nr034r.tmp"));
    EXPECT_EQ(bytesOf(pf.dir / "nr034r.tmp"), content);
    EXPECT_EQ(sh.panel(panel::kStatus), pubtext::kDownloadDone);
}

TEST_F(PublishingFixture, ClosedPortEndsBothTransfersAndTheWindowStaysResponsive)
{
    pf.generateOpened(2);
    const int closed = FtpServer::freePort();
    ASSERT_EQ(writeTextLines(pf.path("tolvb.txt"), ftpScript(closed, {"mput NR2??.htm"})), Status::Ok);
    ASSERT_EQ(writeTextLines(pf.path("tolvd.txt"), ftpScript(closed, {"mget nr???r.tmp"})), Status::Ok);
    pf.setIni({{69, 6, "1"}, {85, 4, "10"}, {83, 1, "nr???r.tmp"}});
    Shell sh(pf);
    attachPublishing(sh.w());
    sh.w().startUp();
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(100);
    sh.w().runCommand(QStringLiteral("Mtrans"));
    EXPECT_EQ(sh.panel(panel::kStatus), pubtext::kSendEnded);
    sh.w().runCommand(QStringLiteral("DownloadLatest"));
    EXPECT_EQ(sh.panel(panel::kStatus), pubtext::kDownloadFailed);
    EXPECT_GE(ticks, 5);  // the download's second of polling served the timers
    EXPECT_TRUE(sh.w().settings().value(83, 0).empty());
}

TEST(PublishingBatch, BatchFilesRunInsteadOfTheClientScripts)
{
    ProgramFolder pf;
    pf.generateOpened(2);
    // The scripts would reach no server; the batch files do the transfers.
    for (const char* script : {"tolvb.txt", "tolvd.txt"})
        ASSERT_EQ(writeTextLines(pf.path(script), ftpScript(FtpServer::freePort(), {})), Status::Ok);
    ASSERT_EQ(writeTextLines(pf.path("tolvb.bat"), {"mkdir -p sent", "cp NR2??.htm sent/"}), Status::Ok);
    ASSERT_EQ(writeTextLines(pf.path("tolvd.bat"), {"printf 'burst' > NR077r.tmp"}), Status::Ok);
    pf.setIni({{69, 6, "5"}, {85, 4, "10"}, {83, 1, "nr???r.tmp"}});
    Shell sh(pf);
    attachPublishing(sh.w());
    sh.w().startUp();
    sh.w().runCommand(QStringLiteral("Mtrans"));
    EXPECT_EQ(bytesOf(pf.dir / "sent" / "NR21h.htm"), bytesOf(pf.dir / "NR21h.htm"));
    sh.w().runCommand(QStringLiteral("DownloadLatest"));
    EXPECT_EQ(sh.w().settings().value(83, 0), pf.path("NR077r.tmp"));
    EXPECT_EQ(bytesOf(pf.dir / "NR077r.tmp"), "burst");
}

}  // namespace
