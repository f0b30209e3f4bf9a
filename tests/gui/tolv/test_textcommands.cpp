// The processing program's conversion of the open master file to text
// data files (Mtext).
#include "common/textconvert_fixture.h"
#include "gui/tolv/shell_fixture.h"
#include "tolv/publish/ui/textcommands.h"

#include <QAction>

using namespace varenta;
using namespace varenta::guitest;

TEST(TextCommands, MtextConvertsTheOpenFileAsTheSharedConversionDoes)
{
    ProgramFolder pf;
    pf.generateOpened(6);
    Shell sh(pf);
    attachTextCommands(sh.w());
    sh.w().startUp();
    sh.prompter.shown.clear();
    sh.prompter.replies.push_back("00002,00004");
    sh.w().runCommand(QStringLiteral("Mtext"));

    ASSERT_EQ(sh.prompter.shown.size(), 1u);
    EXPECT_EQ(sh.prompter.shown[0].title, texttext::kTitle);
    EXPECT_EQ(sh.prompter.shown[0].preset, texttext::kPreset);
    EXPECT_EQ(varenta::testing::expectSameAsSharedConversion(pf.master(), pf.dir, {2, 4, false}), 3u);
    EXPECT_TRUE(fs::exists(pf.dir / "NR01220260506" / "NR01200003a.h10"));
    EXPECT_EQ(sh.panel(panel::kSno), "4");
    EXPECT_EQ(sh.panel(panel::kStatus), texttext::kDone);

    // A cancelled question writes nothing more.
    sh.prompter.replies.push_back("can");
    sh.w().runCommand(QStringLiteral("Mtext"));
    EXPECT_EQ(varenta::testing::textDataFiles(pf.dir).size(), 3u);
}

TEST(TextCommands, MnetCDFExportsTheOpenFileOrSaysWhyNot)
{
    ProgramFolder pf;
    pf.generateOpened(4);
    Shell sh(pf);
    attachTextCommands(sh.w());
    sh.w().startUp();
    QAction* nc = sh.w().action(QStringLiteral("MnetCDF"));
    ASSERT_NE(nc, nullptr);
    EXPECT_TRUE(nc->isEnabled());

    const std::string out = pf.path("export.nc");
    const std::string bad = pf.path("no-such-folder/export.nc");
    sh.prompter.shown.clear();
    sh.prompter.replies = {out + ",00002,00003", bad};
    sh.w().runCommand(QStringLiteral("MnetCDF"));
    ASSERT_TRUE(fs::exists(out));
    EXPECT_EQ(sh.panel(panel::kSno), "3");
    EXPECT_EQ(sh.prompter.shown.size(), 1u);

    sh.w().runCommand(QStringLiteral("MnetCDF"));
    EXPECT_FALSE(fs::exists(bad));
    ASSERT_EQ(sh.prompter.shown.size(), 3u);
    EXPECT_EQ(sh.prompter.shown[2].icon, MsgIcon::Warning);
    EXPECT_NE(sh.prompter.shown[2].text.find(bad), std::string::npos);
}
