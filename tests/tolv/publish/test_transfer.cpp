// Publishing and downloading with a scripted process runner: the command
// chosen, the bounded upload wait, the folder copy, the download poll.
#include "tolv/publish/transfer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace varenta {
namespace {

// A runner whose process "ends" after a number of waits (never: -1) and
// that may run an action when started (the download writing its file).
struct ScriptedRunner : ProcessRunner {
    int waitsToEnd = 0;
    std::function<void()> onStart;
    std::vector<ProcessRequest> started;
    int terminated = 0;
    int waits = 0;
    bool start(const ProcessRequest& r) override
    {
        started.push_back(r);
        waits = 0;
        if (onStart)
            onStart();
        return true;
    }
    bool waitForEnd(int) override { return waitsToEnd >= 0 && ++waits > waitsToEnd; }
    void terminate() override { ++terminated; }
};

struct TransferFixture : testing::Test {
    fs::path dir = fs::temp_directory_path() / ("pub_xfer_" + std::to_string(::getpid()));
    fs::path prog = dir / "prog";
    ScriptedRunner runner;
    std::vector<std::string> texts;
    int pauses = 0;
    Progress progress;

    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(prog);
        progress.text = [this](const std::string& t) { texts.push_back(t); };
        progress.wait = [this](int) { return ++pauses, true; };
    }
    void TearDown() override { fs::remove_all(dir); }
    void touch(const fs::path& p, const std::string& content = "x") { std::ofstream(p, std::ios::binary) << content; }
    PublishRequest request()
    {
        PublishRequest r;
        r.programFolder = prog.string();
        r.prefix = "NR";
        r.resultsFileExists = true;
        r.timeLimitSeconds = 1;
        r.makePages = [] { return true; };
        return r;
    }
};

TEST_F(TransferFixture, UploadWaitIsBoundedAndTheProcessStopped)
{
    PublishRequest r = request();
    r.upload = true;
    runner.waitsToEnd = -1;  // hangs (closed port)
    const auto t0 = std::chrono::steady_clock::now();
    PublishOutcome o = publishWeb(r, runner, progress);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000));
    EXPECT_TRUE(o.uploadStopped);
    EXPECT_EQ(runner.terminated, 1);
    EXPECT_EQ(o.finalText, pubtext::kSendEnded);
    EXPECT_EQ(texts, (std::vector<std::string>{pubtext::kSending, pubtext::kSendEnded}));

    runner.waitsToEnd = 2;
    EXPECT_FALSE(publishWeb(r, runner, progress).uploadStopped);
    // Page building failed, or no results file: nothing is started.
    r.makePages = [] { return false; };
    EXPECT_EQ(publishWeb(r, runner, progress).finalText, pubtext::kSendImpossible);
    r = request();
    r.resultsFileExists = false;
    r.upload = true;
    EXPECT_EQ(publishWeb(r, runner, progress).finalText, pubtext::kSendImpossible);
    EXPECT_EQ(runner.started.size(), 2u);
}

TEST_F(TransferFixture, FolderCopyToExistingMissingAndProgramFolder)
{
    for (const char* n : {"NR21h.htm", "NR24h.htm", "NR22g.jpg", "NR21h.txt", "XX21h.htm", "NR210.html"})
        touch(prog / n, n);
    fs::create_directories(dir / "web");
    touch(dir / "web" / "NR21h.htm", "old");
    const struct {
        fs::path web;
        const char* text;
        int copied;
    } cases[] = {{dir / "web", pubtext::kCopyEnded, 3}, {dir / "missing", pubtext::kCopyImpossible, 0},
                 {prog, pubtext::kCopyEnded, 0}};
    for (const auto& c : cases) {
        PublishRequest r = request();
        r.folderCopy = true;
        r.webFolder = c.web.string();
        const PublishOutcome o = publishWeb(r, runner, progress);
        EXPECT_EQ(o.finalText, c.text) << c.web;
        EXPECT_EQ(o.filesCopied, c.copied) << c.web;
    }
    std::string copied;
    std::getline(std::ifstream(dir / "web" / "NR21h.htm"), copied);
    EXPECT_EQ(copied, "NR21h.htm");  // overwritten
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_TRUE(runner.started.empty());
}

TEST_F(TransferFixture, DownloadFindsTheFileOrGivesUpAfterTheLimit)
{
    touch(prog / "NR012m.tmp", "stale");
    DownloadRequest r;
    r.programFolder = prog.string();
    r.target = "nr???m.tmp";
    r.timeLimitSeconds = 3;
    runner.waitsToEnd = 0;
    runner.onStart = [this] {
        EXPECT_FALSE(fs::exists(prog / "NR012m.tmp"));  // the stale file went first (any case)
        touch(prog / "nr034m.tmp", "fresh");
    };
    DownloadOutcome o = downloadLatest(r, runner, progress);
    EXPECT_EQ(o.status, Status::Ok);
    EXPECT_EQ(o.path, (prog / "nr034m.tmp").string());
    EXPECT_EQ(texts.back(), pubtext::kDownloadDone);

    // Nothing arrives: T x 10 polls of 100 ms, then the failure.
    runner.onStart = [this] { fs::remove(prog / "nr034m.tmp"); };
    pauses = 0;
    o = downloadLatest(r, runner, progress);
    EXPECT_EQ(o.status, Status::Timeout);
    EXPECT_EQ(pauses, 30);
    EXPECT_EQ(texts.back(), pubtext::kDownloadFailed);

    // A client still running: the file counts once its size has settled.
    runner.waitsToEnd = -1;
    runner.onStart = [this] { touch(prog / "nr056m.tmp", "part"); };
    pauses = 0;
    o = downloadLatest(r, runner, progress);
    EXPECT_EQ(o.status, Status::Ok);
    EXPECT_EQ(pauses, 6);
}

}  // namespace
}  // namespace varenta
