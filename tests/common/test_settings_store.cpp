// Loading and saving the initialization table in a program folder: the
// choice of the file, creation from the template, the switch words, the
// durable save, the protection state and the initialization variants.
#include "common/initfile.h"

#include "test_settings_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

namespace varenta {
namespace {

using testing::TempFolder;

class InitStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.path().empty());
        values = {{{89, 0}, "3F5D"}, {{89, 1}, "FFFF"}, {{85, 4}, "8"},  {{85, 5}, "FF"},
                  {{89, 3}, "17"},   {{83, 5}, "60"},   {{83, 6}, "7"},  {{83, 7}, "15"},
                  {{165, 1}, testing::selectionList({{10, 109}})},       {{69, 7}, "3"},
                  {{80, 0}, "標準"}, {{80, 1}, " 風 "}, {{86, 1}, "1"},  {{199, 0}, "end"}};
        testing::installDefinitions(dir.path(), values);
    }
    InitStore store(const StartOptions& o) { return InitStore(settings, state, o, dir.path()); }

    TempFolder dir;
    std::map<std::pair<int, int>, std::string> values;
    Settings settings;
    RuntimeState state;
    StartOptions start;
    ManualClock clock{DateTime{2026, 5, 6, 10, 40, 0}};
};

TEST_F(InitStoreTest, ChoiceOfTheInitializationFile)
{
    struct Case {
        const char* name;
        std::uint32_t flags;
        const char* field2;
        const char* data;
        std::string want;
    };
    const std::string prog = dir.path() + "/tolvi.ini";
    const std::vector<Case> cases = {
        {"program folder by default", 0, "", "/obs/NR123M.H10", prog},
        {"field 2 longer than 4 characters", 0x02, "/etc/my.ini", "/obs/NR123M.H10", "/etc/my.ini"},
        {"field 2 of 4 characters is ignored", 0, "a.in", "/obs/NR123M.H10", prog},
        {"flag 0x02: the data file's folder", 0x02, "", "/obs/NR123M.H10", "/obs/tolvi.ini"},
        {"flag 0x02 with SM", 0x02, "", "/obs/xSM1234.H10", "/obs/SMtolvi.ini"},
        {"SM inserted as it stands", 0x02, "", "/obs/xsM1234.H10", "/obs/sMtolvi.ini"},
        {"flag 0x02 without a data file", 0x02, "", "", prog},
        {"data path of 4 characters", 0x02, "", "a.H1", prog},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOptions o;
        o.flags = c.flags;
        o.initFile = c.field2;
        EXPECT_EQ(store(o).chooseFile(c.data), c.want);
    }
}

TEST_F(InitStoreTest, LoadCreatesTheFileAndAppliesTheWords)
{
    start.flags = startflag::kFolderInit;
    InitStore s = store(start);
    const std::string data = dir.file("NR012M.H10");
    ASSERT_EQ(s.load(data, clock), Status::Ok);
    EXPECT_EQ(s.activePath(), dir.file("tolvi.ini"));
    EXPECT_EQ(testing::readBytes(dir.file("tolvi.ini")), testing::readBytes(dir.file("tolvi.org")));
    EXPECT_EQ(settings.value(89, 3), "17");
    // Schedule 07:15 every 60 minutes, loaded at 10:40: next 11:15.
    EXPECT_EQ(settings.value(83, 6), "11");
    EXPECT_EQ(settings.value(83, 7), "15");
    // Window word 0x3F5D: bits 0x01..0x10 and 0xE000 cleared, 0x20 set.
    EXPECT_EQ(state.stateWord, (0x3F5Du & ~0xE01Fu) | 0x20u);
    EXPECT_EQ(state.runWord, 0x2003u);
    EXPECT_EQ(state.autoWord, 0x48u);  // 0x40 added with flag 0x02 alone
    // Only 0x10 and 0x20 are cleared: the directional and level switches stay.
    EXPECT_EQ(state.switchWord2, 0xCFu);
    EXPECT_EQ(s.selection().item, 165);
    EXPECT_EQ(s.selection().statusPosition, 10);
    EXPECT_EQ(s.resultItems().count(), 110);
    EXPECT_EQ(s.channels().factor(6), 0.01);

    // With user-folder mode the automatic-function word is left alone.
    StartOptions user = parseStartOptions("10000", dir.path());
    InitStore u = store(user);
    ASSERT_EQ(u.load("", clock), Status::Ok);
    EXPECT_EQ(state.autoWord, 0x08u);
}

TEST_F(InitStoreTest, FailedLoadsLeaveEverythingAsItWas)
{
    InitStore s = store(start);
    ASSERT_EQ(s.load("", clock), Status::Ok);
    settings.set(1, 0, "running value");
    const std::uint32_t word = state.stateWord;
    struct Case {
        const char* name;
        std::string remove;
        std::vector<std::string> iniLines;
        Status want;
    };
    const std::vector<Case> cases = {
        {"missing tolvg.org", "tolvg.org", {}, Status::NotFound},
        {"missing tolvf.org", "tolvf.org", {}, Status::NotFound},
        {"no item 199", "", {"[x]", "001,changed", "198,x"}, Status::DataFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::installDefinitions(dir.path(), values);
        testing::writeCodePageLines(dir.file("tolvi.ini"), c.iniLines.empty() ? testing::initLines(values) : c.iniLines);
        const std::string before = testing::readBytes(dir.file("tolvi.ini"));
        if (!c.remove.empty())
            std::filesystem::remove(dir.file(c.remove));
        std::string which;
        EXPECT_EQ(s.load("", clock, 0, &which), c.want);
        EXPECT_FALSE(which.empty());
        EXPECT_EQ(settings.value(1, 0), "running value");
        EXPECT_EQ(state.stateWord, word);
        EXPECT_EQ(testing::readBytes(dir.file("tolvi.ini")), before);
    }
    // Missing initialization file and template: the load fails, nothing is made.
    std::filesystem::remove(dir.file("tolvi.ini"));
    std::filesystem::remove(dir.file("tolvi.org"));
    EXPECT_EQ(s.load("", clock), Status::NotFound);
    EXPECT_FALSE(std::filesystem::exists(dir.file("tolvi.ini")));
}

TEST_F(InitStoreTest, SaveWritesTheWordsAndKeepsTheLayout)
{
    InitStore s = store(start);
    ASSERT_EQ(s.load("", clock), Status::Ok);
    state.stateWord = statebit::kFileOpen | statebit::kSaveDocGeometry | statebit::viewBit(0) | statebit::kMaximised;
    state.runWord = 0xFFFF;
    state.autoWord = 0x28;
    state.switchWord2 = 0x300;
    SaveSnapshot snap;
    snap.mainState = WindowShow::Normal;
    snap.main = {10, 20, 800, 600};
    snap.withDocuments = true;
    snap.documents[0] = {true, true, {1, 2, 3, 4}};
    snap.documents[1] = {true, false, {9, 9, 9, 9}};  // maximised: not stored
    snap.currentNumber = 42;
    snap.laneChannels = std::array<int, 8>{0, 1, 2, 0, 1, 2, 0, 1};
    std::string text;
    ASSERT_EQ(s.save(snap, &text), Status::Ok);
    EXPECT_EQ(text, "保存終了");
    EXPECT_FALSE(std::filesystem::exists(dir.file("tolv.tp0")));

    std::vector<std::string> lines;
    ASSERT_EQ(readTextLines(dir.file("tolvi.ini"), lines), Status::Ok);
    const std::vector<std::string> layout = testing::initLines(values);
    ASSERT_EQ(lines.size(), layout.size() - 1);  // the line after 199 is gone
    EXPECT_EQ(lines[0], "[初期化ファイル VarentaK]");
    EXPECT_EQ(lines[51], "  ; 自動機能の設定");
    Settings back;
    ASSERT_EQ(back.load(dir.file("tolvi.ini")), Status::Ok);
    EXPECT_EQ(back.value(89, 0), "105");  // maximised bit replaced by the normal state
    EXPECT_EQ(back.value(89, 1), "3003");
    EXPECT_EQ(back.value(85, 4), "28");
    EXPECT_EQ(back.value(85, 5), "300");
    EXPECT_EQ(back.value(89, 3), "42");
    EXPECT_EQ(back.value(88, 2), "800");
    EXPECT_EQ(back.value(180, 3), "4");
    EXPECT_EQ(back.value(181, 0), "");
    EXPECT_EQ(back.value(178, 2), "2");
    EXPECT_EQ(back.value(80, 1), " 風 ");
    for (const std::string& l : lines)
        if (parseSettingsLine(l).isItem)
            EXPECT_EQ(std::count(l.begin(), l.end(), ','), 8) << l;

    // Minimised: the geometry is not stored, the state is.
    snap.mainState = WindowShow::Minimised;
    snap.main = {0, 0, 1, 1};
    ASSERT_EQ(s.save(snap, &text), Status::Ok);
    ASSERT_EQ(back.load(dir.file("tolvi.ini")), Status::Ok);
    EXPECT_EQ(back.value(88, 2), "800");
    EXPECT_EQ(textToHex(back.value(89, 0)) & statebit::kWindowStateMask, statebit::kMinimised);
}

TEST_F(InitStoreTest, SaveWithFolderInitializationWritesBothFiles)
{
    start.flags = startflag::kFolderInit;
    InitStore s = store(start);
    std::filesystem::create_directory(dir.file("obs"));
    const std::string data = dir.file("obs/xSM1234.H10");
    ASSERT_EQ(s.load(data, clock), Status::Ok);
    EXPECT_EQ(s.activePath(), dir.file("obs/SMtolvi.ini"));
    settings.set(5, 0, "30");
    ASSERT_EQ(s.save({}), Status::Ok);
    Settings a, b;
    ASSERT_EQ(a.load(dir.file("obs/SMtolvi.ini")), Status::Ok);
    ASSERT_EQ(b.load(dir.file("tolvi.ini")), Status::Ok);
    EXPECT_EQ(a.value(5, 0), "30");
    EXPECT_EQ(b.value(5, 0), "30");
    EXPECT_EQ(testing::readBytes(dir.file("obs/SMtolvi.ini")), testing::readBytes(dir.file("tolvi.ini")));
}

TEST_F(InitStoreTest, SaveNeverTearsTheFile)
{
    InitStore s = store(start);
    ASSERT_EQ(s.load("", clock), Status::Ok);
    ASSERT_EQ(s.save({}), Status::Ok);
    const std::string before = testing::readBytes(dir.file("tolvi.ini"));

    // A reader holding the old file open still sees all of it after a save:
    // the file is replaced, never truncated and rewritten in place.
    const int fd = ::open(dir.file("tolvi.ini").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    settings.set(10, 0, std::string(5000, 'x'));
    ASSERT_EQ(s.save({}), Status::Ok);
    std::string old(before.size() + 10, '\0');
    const ssize_t n = ::pread(fd, old.data(), old.size(), 0);
    ::close(fd);
    ASSERT_EQ(static_cast<std::size_t>(n), before.size());
    old.resize(static_cast<std::size_t>(n));
    EXPECT_EQ(old, before);

    // A temporary file that cannot be written (here: a folder in its way)
    // fails the save and leaves the initialization file as it was.
    const std::string saved = testing::readBytes(dir.file("tolvi.ini"));
    std::filesystem::create_directory(dir.file("tolv.tp0"));
    settings.set(10, 0, "lost");
    EXPECT_NE(s.save({}), Status::Ok);
    EXPECT_EQ(testing::readBytes(dir.file("tolvi.ini")), saved);
    std::filesystem::remove(dir.file("tolv.tp0"));
}

TEST_F(InitStoreTest, ProtectionAndBarrier)
{
    // Start flag 0x20: saving does nothing and shows nothing.
    StartOptions prot;
    prot.flags = startflag::kProtected;
    {
        InitStore s = store(prot);
        ASSERT_EQ(s.load("", clock), Status::Ok);
        EXPECT_TRUE(state.barrierMark);
        const std::string before = testing::readBytes(dir.file("tolvi.ini"));
        settings.set(5, 0, "changed");
        std::string text;
        EXPECT_EQ(s.save({}, &text), Status::Refused);
        EXPECT_TRUE(text.empty());
        EXPECT_EQ(testing::readBytes(dir.file("tolvi.ini")), before);
    }
    // The barrier: the file keeps the values of the moment it was set.
    state = RuntimeState{};
    InitStore s = store(start);
    ASSERT_EQ(s.load("", clock), Status::Ok);
    EXPECT_FALSE(state.barrierMark);
    settings.set(5, 0, "at barrier");
    ASSERT_EQ(s.toggleBarrier({}), Status::Ok);
    EXPECT_TRUE(state.barrierMark);
    EXPECT_TRUE(state.protection);
    settings.set(5, 0, "later");
    SaveSnapshot exitSnap;
    exitSnap.main = {1, 2, 3, 4};
    EXPECT_EQ(s.save(exitSnap), Status::Refused);
    Settings back;
    ASSERT_EQ(back.load(dir.file("tolvi.ini")), Status::Ok);
    EXPECT_EQ(back.value(5, 0), "at barrier");
    // Toggled again: protection off, saving works again.
    ASSERT_EQ(s.toggleBarrier({}), Status::Ok);
    EXPECT_FALSE(state.protection);
    ASSERT_EQ(s.save({}), Status::Ok);
    ASSERT_EQ(back.load(dir.file("tolvi.ini")), Status::Ok);
    EXPECT_EQ(back.value(5, 0), "later");
}

TEST_F(InitStoreTest, Variants)
{
    InitStore s = store(start);
    ASSERT_EQ(s.load("", clock), Status::Ok);
    EXPECT_EQ(s.variantList(), (std::vector<std::string>{"00=標準", "01=風", "02", "03"}));
    const VariantQuestion q = s.variantQuestion();
    EXPECT_EQ(q.caption, "アプリケーションの初期化 ");
    EXPECT_EQ(q.message,
              "アプリケーションを初期化します。初期化ファイルの番号を指定してください。指定がない場合は現在の番号になります。"
              "\r\n現在の番号=01");
    EXPECT_EQ(q.preset, "01=風");

    struct Case {
        const char* answer;
        std::optional<int> want;
    };
    const Case cases[] = {{"can", std::nullopt}, {"", 1}, {"  ", 1}, {"03", 3}, {"03=風", 3}, {"7", 7}, {"x1", std::nullopt}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        EXPECT_EQ(s.variantFromAnswer(c.answer), c.want);
    }
    EXPECT_EQ(s.variantPath(3), dir.file("tolvi-03.org"));

    // A missing variant copies nothing.
    const std::string org = testing::readBytes(dir.file("tolvi.org"));
    EXPECT_EQ(s.applyVariant(3, ""), Status::NotFound);
    EXPECT_EQ(testing::readBytes(dir.file("tolvi.org")), org);
    // A present one replaces the template and the chosen file.
    testing::writeCodePageLines(dir.file("tolvi-03.org"), {"[variant 3]", "086,,3", "199,"});
    ASSERT_EQ(s.applyVariant(3, ""), Status::Ok);
    EXPECT_EQ(testing::readBytes(dir.file("tolvi.org")), testing::readBytes(dir.file("tolvi-03.org")));
    EXPECT_EQ(testing::readBytes(dir.file("tolvi.ini")), testing::readBytes(dir.file("tolvi-03.org")));
}

}  // namespace
}  // namespace varenta
