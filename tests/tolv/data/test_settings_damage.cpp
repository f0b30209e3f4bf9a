// Settings that were not read completely are never saved over the file: a
// program folder from the installation step, a user's "tolvi.ini", one
// damage at a time, then the saves a session makes (close, exit, the
// protection toggle).  The file must keep every byte, the refusal must be
// told once; after a good load a save keeps every value read.
#include "common/installdata.h"
#include "common/textcodec.h"
#include "common/textfile.h"
#include "tolv/data/session.h"

#include "data_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace varenta {
namespace {

using namespace testing;

// Values a user had set; none of them is written by a save itself.
const std::map<std::pair<int, int>, std::string> kUserValues = {
    {{98, 0}, "/home/obs/NR012M.H10"}, {{65, 1}, "  5.0 10.0"}, {{96, 5}, "48"},
    {{170, 0}, "1"},                   {{190, 0}, "IPAGothic"}, {{197, 7}, "FFFFFF"},
};

class SettingsDamage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(installProgramData(std::string(VARENTA_SOURCE_DIR) + "/data", dir.path()), Status::Ok);
        Settings user;
        std::vector<std::string> layout;
        ASSERT_EQ(readTextLines(dir.file("tolvi.org"), layout), Status::Ok);
        ASSERT_EQ(user.parse(layout), Status::Ok);
        for (const auto& [key, v] : kUserValues)
            user.set(key.first, key.second, v);
        ASSERT_EQ(writeTextLines(dir.file("tolvi.ini"), user.render(layout)), Status::Ok);
    }

    // A session over the folder that has loaded as at start-up.
    struct Run {
        explicit Run(const std::string& folder) : init(settings, state, start, folder)
        {
            session = std::make_unique<DataSession>(settings, state, init, data, panels, prompter, clock);
            DataHooks h;
            h.logMessage = [this](const std::string& line) { log.push_back(line); };
            session->setHooks(h);
            loadStatus = init.load({}, clock);
        }
        Settings settings;
        RuntimeState state;
        StartOptions start;
        InitStore init;
        DataSet data;
        StatusPanels panels;
        ScriptedPrompter prompter;
        ManualClock clock{DateTime{2026, 5, 6, 12, 0, 0}};
        std::unique_ptr<DataSession> session;
        std::vector<std::string> log;
        Status loadStatus = Status::Ok;
    };

    std::string bytes(const std::string& name) const { return readBytes(dir.file(name)); }

    TempFolder dir;
};

// Lines of a code-page file, edited as UTF-8 and written back.
void editLines(const std::string& path, const std::function<void(std::vector<std::string>&)>& edit)
{
    std::vector<std::string> lines;
    ASSERT_EQ(readTextLines(path, lines), Status::Ok);
    edit(lines);
    ASSERT_EQ(writeTextLines(path, lines), Status::Ok);
}

TEST_F(SettingsDamage, IncompleteLoadNeverSavesOverTheFile)
{
    struct Case {
        const char* name;
        const char* failing;  // the file the refusal names
        std::function<void(const std::string& folder)> damage;
    };
    const std::vector<Case> cases = {
        {"tolvi.ini without its item 199 line", "tolvi.ini",
         [](const std::string& f) {
             editLines(f + "/tolvi.ini", [](auto& l) { std::erase_if(l, [](auto& s) { return s.rfind("199,", 0) == 0; }); });
         }},
        {"tolvi.ini cut in the middle of a line", "tolvi.ini",
         [](const std::string& f) {
             const std::string b = readBytes(f + "/tolvi.ini");
             const std::size_t at = b.find("\r\n150,");
             ASSERT_NE(at, std::string::npos);
             writeBytes(f + "/tolvi.ini", b.substr(0, at + 5));
         }},
        {"tolvf.org missing", "tolvf.org", [](const std::string& f) { std::filesystem::remove(f + "/tolvf.org"); }},
        {"tolvf.org empty", "tolvf.org", [](const std::string& f) { writeBytes(f + "/tolvf.org", ""); }},
        {"tolvf.org garbage", "tolvf.org",
         [](const std::string& f) { writeBytes(f + "/tolvf.org", std::string("\xff\x00\x81garbage\r\n\x7f", 14)); }},
        {"tolvg.org missing", "tolvg.org", [](const std::string& f) { std::filesystem::remove(f + "/tolvg.org"); }},
        {"tolvg.org empty", "tolvg.org", [](const std::string& f) { writeBytes(f + "/tolvg.org", ""); }},
        {"tolvg.org announcing 0 items", "tolvg.org",
         [](const std::string& f) { editLines(f + "/tolvg.org", [](auto& l) { l[0] = "[000] 処理結果項目定義ファイル"; }); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.damage(dir.path());
        const std::string before = bytes("tolvi.ini");
        {
            Run r(dir.path());
            EXPECT_NE(r.loadStatus, Status::Ok);
            EXPECT_FALSE(r.init.complete());
            // Close, the protection toggle, and the exit save twice.
            r.session->closeDataSet();
            EXPECT_EQ(r.session->toggleBarrier(), Status::Refused);
            EXPECT_EQ(r.session->toggleBarrier(), Status::Ok);  // mark removed again
            EXPECT_EQ(r.session->saveSettings(true), Status::Refused);
            EXPECT_EQ(r.session->saveSettings(true), Status::Refused);
            ASSERT_EQ(r.log.size(), 1u) << "the refusal is told once";
            EXPECT_EQ(r.log[0], std::string(inittext::kNotSaved) + dir.file(c.failing));
            EXPECT_EQ(r.panels.status, r.log[0]);
        }
        EXPECT_EQ(bytes("tolvi.ini"), before);
        EXPECT_FALSE(std::filesystem::exists(dir.file("tolv.tp0")));
    }
}

TEST_F(SettingsDamage, SaveAfterAGoodLoadKeepsEveryValueRead)
{
    Settings read;
    ASSERT_EQ(read.load(dir.file("tolvi.ini")), Status::Ok);
    {
        Run r(dir.path());
        ASSERT_EQ(r.loadStatus, Status::Ok);
        ASSERT_EQ(r.session->saveSettings(true), Status::Ok);
        EXPECT_EQ(r.panels.status, inittext::kSaved);
        EXPECT_TRUE(r.log.empty());
    }
    Settings saved;
    ASSERT_EQ(saved.load(dir.file("tolvi.ini")), Status::Ok);
    for (const auto& [key, v] : kUserValues)
        EXPECT_EQ(saved.value(key.first, key.second), v) << key.first << "," << key.second;
    // Every item the save does not store from the running program, nor the
    // load align to the clock (the schedules), is as read.
    const std::set<int> stored = {66, 67, 83, 85, 88, 89};
    for (int n = 0; n <= kLastSettingsItem; ++n) {
        if (!stored.count(n)) {
            EXPECT_EQ(saved.item(n).values(), read.item(n).values()) << "item " << n;
        }
    }

    // A later load that fails stops the saves again, and a good one resumes them.
    std::filesystem::rename(dir.file("tolvf.org"), dir.file("tolvf.bak"));
    Run r(dir.path());
    EXPECT_EQ(r.session->saveSettings(false), Status::Refused);
    std::filesystem::rename(dir.file("tolvf.bak"), dir.file("tolvf.org"));
    ASSERT_EQ(r.init.load({}, r.clock), Status::Ok);
    EXPECT_EQ(r.session->saveSettings(false), Status::Ok);
}

}  // namespace
}  // namespace varenta
