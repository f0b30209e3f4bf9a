// The programs as installed: --version and --help of every program, and the
// start of both window programs in a per-user program folder (a prefix made
// of the built program and the source tree's installation data).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct Ran {
    int status = -1;
    std::string out, err;
};

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class ProgramStart : public ::testing::Test {
protected:
    fs::path root;
    void SetUp() override
    {
        root = fs::path(VARENTA_BINARY_DIR) / ("start-" + std::to_string(getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    // env: assignments put before the command ("env -u VARENTA_HOME" is added).
    Ran run(const std::string& env, const std::string& command)
    {
        Ran r;
        const fs::path out = root / "out.txt", err = root / "err.txt";
        const std::string cmd = "env -u VARENTA_HOME -u XDG_DATA_HOME " + env + " " + command + " >'" + out.string() +
                                "' 2>'" + err.string() + "' </dev/null";
        const int st = std::system(cmd.c_str());
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }

    // P/bin/NAME (a link to the built program) and P/share/varenta.
    fs::path installLike(const std::string& name)
    {
        const fs::path bin = root / "prefix" / "bin";
        fs::create_directories(bin);
        fs::create_directories(root / "prefix" / "share");
        fs::create_directory_symlink(fs::path(VARENTA_SOURCE_DIR) / "data", root / "prefix" / "share" / "varenta");
        std::error_code ec;
        fs::create_hard_link(fs::path(VARENTA_BINARY_DIR) / name, bin / name, ec);
        if (ec)
            fs::copy_file(fs::path(VARENTA_BINARY_DIR) / name, bin / name);
        return bin / name;
    }
};

TEST_F(ProgramStart, EveryProgramAnswersVersionAndHelp)
{
    for (const char* name : {"tolv", "brenlo24", "nrexport", "nrsynth", "nremu", "nrinstall", "nrini", "emep2", "bayes2"}) {
        const std::string exe = std::string(VARENTA_BINARY_DIR) + "/" + name;
        const Ran v = run("", "'" + exe + "' --version");
        EXPECT_EQ(v.status, 0) << name;
        EXPECT_TRUE(std::regex_match(v.out, std::regex(std::string(name) + " \\(Varenta\\) [0-9]+\\.[0-9]+\n")))
            << name << ": " << v.out;
        const Ran h = run("", "'" + exe + "' --help");
        EXPECT_EQ(h.status, 0) << name;
        EXPECT_NE(h.out.find(std::string("sage: ") + name), std::string::npos) << name << ": " << h.out;
        EXPECT_NE(h.out.find("VARENTA_HOME"), std::string::npos) << name;
    }
    for (const char* name : {"tolv", "brenlo24"}) {
        const Ran h = run("", std::string(VARENTA_BINARY_DIR) + "/" + name + " --help");
        for (const char* part : {"--script FILE", "comma-separated", "XDG_DATA_HOME", "BRENLO24_COMN", "-platform"})
            EXPECT_NE(h.out.find(part), std::string::npos) << name << " --help lacks " << part;
    }
}

TEST_F(ProgramStart, FirstStartPreparesThePerUserFolderOnceAndSaysSo)
{
    for (const char* name : {"tolv", "brenlo24"}) {
        const fs::path exe = installLike(name);
        const fs::path home = root / "home";
        const fs::path folder = home / ".local" / "share" / "varenta";
        std::ofstream(root / "quit.txt") << "quit\n";
        const std::string env = "HOME='" + home.string() + "'";
        const std::string cmd = "'" + exe.string() + "' -platform offscreen --script '" + (root / "quit.txt").string() + "'";
        const Ran first = run(env, cmd);
        EXPECT_EQ(first.status, 0) << name << first.err;
        EXPECT_NE(first.out.find("status: プログラムフォルダを準備しました: " + folder.string()), std::string::npos)
            << name << ": " << first.out;
        EXPECT_TRUE(fs::is_regular_file(folder / "tolvi.org")) << name;
        EXPECT_TRUE(fs::is_regular_file(folder / "help" / "tolvd" / "Menu01.htm")) << name;

        std::ofstream(folder / "tolvf.org", std::ios::app) << "'kept\r\n";
        const std::string edited = slurp(folder / "tolvf.org");
        const Ran second = run(env, cmd);
        EXPECT_EQ(second.status, 0) << name << second.err;
        EXPECT_EQ(second.out.find("プログラムフォルダを準備しました"), std::string::npos) << name;
        EXPECT_EQ(slurp(folder / "tolvf.org"), edited) << name;
        fs::remove_all(root / "prefix");
        fs::remove_all(home);
    }
}

TEST_F(ProgramStart, UncreatablePerUserFolderEndsWithStatusOne)
{
    std::ofstream(root / "file") << "x";
    const std::pair<const char*, const char*> cases[] = {
        {"tolv", "-platform offscreen"}, {"brenlo24", "-platform offscreen"}, {"nrexport", "NR001M.H10 out.nc"}};
    for (const auto& [name, args] : cases) {
        const fs::path exe = installLike(name);
        const Ran r = run("XDG_DATA_HOME='" + (root / "file").string() + "'", "'" + exe.string() + "' " + args);
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.err.find(std::string(name) + ": cannot create the program folder " + (root / "file").string() +
                             "/varenta"),
                  std::string::npos)
            << name << ": " << r.err;
        fs::remove_all(root / "prefix");
    }
    EXPECT_EQ(slurp(root / "file"), "x");
}

}  // namespace
