// A result collection killed (SIGKILL, injected by strace) at chosen moments
// of making the result list, then collected again without strace: the list
// must be the one an uninterrupted collection gives, the template's lines
// included, and no temporary file may be left in the program folder.  The
// collection runs in its own process (collect_once) against the logger
// emulator on a pseudo-terminal.
#include "common/installdata.h"
#include "common/textfile.h"
#include "linkfixture.h"
#include "tools/emulator/runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace varenta;
using namespace varenta::emu;
using namespace varenta::test;
namespace fs = std::filesystem;

namespace {

struct Exit {
    int status = -1;   // waitpid status
    std::string out;   // standard output
};

Exit run(const std::vector<std::string>& args, const std::string& outPath)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    Exit e;
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) == 0)
        ::waitpid(pid, &e.status, 0);
    posix_spawn_file_actions_destroy(&fa);
    readFileBytes(outPath, e.out);
    return e;
}

bool killedBySigkill(int status)
{
    // strace ends the way its tracee ended.
    return (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) || (WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGKILL);
}

// Waits until the emulator has stopped sending (its resends of the packets
// the killed run never acknowledged are over).
void waitQuiet(EmulatorRunner& emu)
{
    std::size_t last = emu.bytesWritten();
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        if (emu.bytesWritten() == last)
            return;
        last = emu.bytesWritten();
    }
}

std::string fileBytes(const std::string& path)
{
    std::string s;
    readFileBytes(path, s);
    return s;
}

}  // namespace

TEST(CollectKill, ListIsCompleteAfterAKillAndOneMoreCollection)
{
    ASSERT_TRUE(fs::exists(VARENTA_STRACE)) << "strace is needed (scripts/install-deps.sh)";
    struct Case {
        const char* name;
        std::vector<std::string> strace;  // "LIST" stands for the list's path
    };
    const std::vector<Case> cases = {
        {"first write to the list",
         {"-e", "trace=openat,write,pwrite64", "-P", "LIST", "-e", "inject=write,pwrite64:signal=KILL:when=1"}},
        {"template copied, not yet flushed", {"-e", "trace=fsync", "-e", "inject=fsync:signal=KILL:when=1"}},
        {"list being put in place",
         {"-e", "trace=linkat,link,rename", "-e", "inject=linkat,link,rename:signal=KILL:when=1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = scratchFolder("kill");
        ASSERT_EQ(installProgramData(std::string(VARENTA_SOURCE_DIR) + "/data", dir), Status::Ok);
        const std::string list = dir + "/nr255r.txt";
        EmulatorConfig cfg;
        cfg.recording.durationMinutes = 1;
        cfg.recording.intervalMinutes = 10;
        cfg.recording.measureFlags = 1;
        cfg.recording.cheapSynthesis = true;
        cfg.prefillMeasurements = 12;
        cfg.lineSpeed = 115200;
        EmulatorRunner emu(cfg);
        ASSERT_EQ(emu.openPty(), Status::Ok) << emu.error();
        emu.start();
        const std::vector<std::string> collect = {VARENTA_COLLECT_ONCE, emu.slavePath(), "115200", dir, "16", "0", "0"};

        std::vector<std::string> traced = {VARENTA_STRACE, "-f", "-o", "/dev/null"};
        for (const std::string& a : c.strace)
            traced.push_back(a == "LIST" ? list : a);
        traced.insert(traced.end(), collect.begin(), collect.end());
        const Exit killed = run(traced, dir + "/killed.out");
        EXPECT_TRUE(killedBySigkill(killed.status)) << "status " << killed.status << ": " << killed.out;
        waitQuiet(emu);

        const Exit again = run(collect, dir + "/again.out");
        EXPECT_TRUE(WIFEXITED(again.status) && WEXITSTATUS(again.status) == 0) << again.out;

        std::string want = fileBytes(dir + "/Brenloid.txt");
        ASSERT_EQ(want.size(), 784u);
        for (int m = 1; m <= 12; ++m)
            want += emu.with([m](LoggerEmulator& l) { return l.memory().resultLine(m); });
        EXPECT_TRUE(fileBytes(list) == want) << "the list differs from an uninterrupted collection's";
        for (const auto& e : fs::directory_iterator(dir))
            EXPECT_EQ(e.path().filename().string().find(".tp~"), std::string::npos) << e.path();
        emu.stop();
        fs::remove_all(dir);
    }
}
