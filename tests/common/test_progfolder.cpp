// The program-folder rule and the preparation of a per-user folder from the
// installed data.
#include "common/installdata.h"
#include "common/progfolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using namespace varenta;

namespace {

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Every file below root with its bytes.
std::map<std::string, std::string> tree(const fs::path& root)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            files[fs::relative(e.path(), root).string()] = slurp(e.path());
    return files;
}

class ProgramFolderRule : public ::testing::Test {
protected:
    fs::path root;
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("progfolder-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "prefix" / "bin");
        fs::create_directories(root / "prefix" / "share");
        fs::create_directory_symlink(fs::path(VARENTA_SOURCE_DIR) / "data", root / "prefix" / "share" / "varenta");
    }
    void TearDown() override { fs::remove_all(root); }
    std::string bin() const { return (root / "prefix" / "bin").string(); }
    FolderChoice perUser() const { return chooseProgramFolder(bin(), nullptr, (root / "xdg").c_str(), nullptr); }
};

TEST_F(ProgramFolderRule, ChoosesEnvironmentThenPortableThenPerUser)
{
    std::ofstream(root / "prefix" / "bin" / "tolvi.org") << "199,,,,,,,,\n";
    const std::string portable = (root / "portable").string();
    fs::create_directories(portable);
    std::ofstream(fs::path(portable) / "tolvi.org") << "199,,,,,,,,\n";
    struct Case {
        const char* what;
        std::string exe;
        const char* home;
        const char* xdg;
        const char* userHome;
        FolderSource source;
        std::string folder;
    } cases[] = {
        {"environment wins over a portable folder", portable, "/srv/nr/", "/x", "/home/u", FolderSource::Environment,
         "/srv/nr"},
        {"empty environment value is unset", portable, "", "/x", "/home/u", FolderSource::Portable, portable},
        {"folder without tolvi.org is not portable", (root / "elsewhere").string(), nullptr, "/data/x", "/home/u",
         FolderSource::PerUser, "/data/x/varenta"},
        {"relative XDG_DATA_HOME is ignored", (root / "elsewhere").string(), nullptr, "rel", "/home/u",
         FolderSource::PerUser, "/home/u/.local/share/varenta"},
        {"no XDG_DATA_HOME", (root / "elsewhere").string(), nullptr, nullptr, "/home/u", FolderSource::PerUser,
         "/home/u/.local/share/varenta"},
        {"nothing names a folder", (root / "elsewhere").string(), nullptr, nullptr, nullptr, FolderSource::PerUser, ""},
    };
    for (const Case& c : cases) {
        const FolderChoice f = chooseProgramFolder(c.exe, c.home, c.xdg, c.userHome);
        EXPECT_EQ(f.source, c.source) << c.what;
        EXPECT_EQ(f.folder, c.folder) << c.what;
    }
    const FolderChoice installed = perUser();
    EXPECT_EQ(installed.source, FolderSource::Portable) << "bin holds tolvi.org here";
    fs::remove(root / "prefix" / "bin" / "tolvi.org");
    const FolderChoice user = perUser();
    EXPECT_EQ(user.dataFolder, (root / "prefix" / "share" / "varenta").string());
    EXPECT_EQ(user.programsFolder, (root / "prefix" / "lib" / "varenta").string());
}

TEST_F(ProgramFolderRule, PerUserFolderIsPreparedOnceAsTheInstallationStepDoesAndNeverOverwritten)
{
    const FolderChoice c = perUser();
    // A preparation killed earlier left its staging folder (no such process).
    fs::create_directories(root / "xdg" / ".varenta.prepare-2147483646" / "help");
    bool prepared = false;
    std::string message;
    ASSERT_EQ(prepareProgramFolder(c, prepared, message), Status::Ok) << message;
    EXPECT_TRUE(prepared);
    const fs::path reference = root / "reference";
    ASSERT_EQ(installProgramData(c.dataFolder, reference.string()), Status::Ok);
    EXPECT_EQ(tree(c.folder), tree(reference));
    EXPECT_NE(slurp(fs::path(c.folder) / "tolvi.org").find("\r\n"), std::string::npos);
    for (const auto& e : fs::directory_iterator(root / "xdg"))
        EXPECT_EQ(e.path().filename().string().find(".prepare"), std::string::npos) << "staging folder left behind";

    // The user's changes and deletions survive the next start.
    std::ofstream(fs::path(c.folder) / "tolvf.org", std::ios::app) << "'edited\r\n";
    const std::string edited = slurp(fs::path(c.folder) / "tolvf.org");
    fs::remove(fs::path(c.folder) / "tolvu.org");
    ASSERT_EQ(prepareProgramFolder(c, prepared, message), Status::Ok);
    EXPECT_FALSE(prepared);
    EXPECT_EQ(slurp(fs::path(c.folder) / "tolvf.org"), edited);
    EXPECT_FALSE(fs::exists(fs::path(c.folder) / "tolvu.org"));
}

TEST_F(ProgramFolderRule, FolderWithFilesButNoSettingsGetsOnlyTheMissingOnes)
{
    const FolderChoice c = perUser();
    fs::create_directories(c.folder);
    std::ofstream(fs::path(c.folder) / "NR001M.H10") << "master";
    std::ofstream(fs::path(c.folder) / "tolvg.org") << "own items";
    bool prepared = false;
    std::string message;
    ASSERT_EQ(prepareProgramFolder(c, prepared, message), Status::Ok) << message;
    EXPECT_TRUE(prepared);
    EXPECT_EQ(slurp(fs::path(c.folder) / "NR001M.H10"), "master");
    EXPECT_EQ(slurp(fs::path(c.folder) / "tolvg.org"), "own items");
    EXPECT_TRUE(fs::is_regular_file(fs::path(c.folder) / "tolvi.org"));
    EXPECT_TRUE(fs::is_regular_file(fs::path(c.folder) / "help" / "brenlo24.html"));
}

TEST_F(ProgramFolderRule, FailuresNameTheReasonAndTouchNothing)
{
    std::ofstream(root / "plainfile") << "x";
    FolderChoice blocked = perUser();
    blocked.folder = (root / "plainfile" / "varenta").string();
    FolderChoice noData = perUser();
    noData.dataFolder = (root / "missing").string();
    FolderChoice unnamed = perUser();
    unnamed.folder.clear();
    FolderChoice other = perUser();
    other.source = FolderSource::Environment;
    other.folder = (root / "env").string();
    struct Case {
        const char* what;
        FolderChoice choice;
        Status status;
        const char* says;
    } cases[] = {
        {"folder under a file", blocked, Status::Io, "cannot create the program folder"},
        {"no installed data", noData, Status::NotFound, "installation data not found"},
        {"no home", unnamed, Status::Io, "XDG_DATA_HOME"},
        {"not a per-user folder", other, Status::Ok, ""},
    };
    for (const Case& c : cases) {
        bool prepared = true;
        std::string message;
        EXPECT_EQ(prepareProgramFolder(c.choice, prepared, message), c.status) << c.what;
        EXPECT_FALSE(prepared) << c.what;
        EXPECT_NE(message.find(c.says), std::string::npos) << c.what << ": " << message;
    }
    EXPECT_FALSE(fs::exists(root / "env"));
    EXPECT_EQ(slurp(root / "plainfile"), "x");
}

TEST_F(ProgramFolderRule, HelperProgramsComeFromTheProgramFolderThenTheInstalledFolder)
{
    const fs::path folder = root / "pf", lib = root / "prefix" / "lib" / "varenta";
    fs::create_directories(folder);
    fs::create_directories(lib);
    setProgramsFolder(lib.string());
    EXPECT_EQ(helperProgram(folder.string(), "emep2"), (folder / "emep2").string()) << "neither: the expected place";
    std::ofstream(lib / "emep2") << "";
    EXPECT_EQ(helperProgram(folder.string(), "emep2"), (lib / "emep2").string());
    std::ofstream(folder / "emep2") << "";
    EXPECT_EQ(helperProgram(folder.string(), "emep2"), (folder / "emep2").string());
    std::ofstream(folder / "emep2.exe") << "";
    EXPECT_EQ(helperProgram(folder.string(), "emep2"), (folder / "emep2.exe").string());
    setProgramsFolder("");
}

}  // namespace
