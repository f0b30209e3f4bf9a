// The conditions dialog inside the running main window: opened by its
// commands, reprocessing through the stepping run, timers and start flags,
// the header text after each step, schedules, and closing on minimise.
#include "shell_fixture.h"
#include "tolv/shell/ui/form3.h"
#include "tolv/shell/ui/form3attach.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

using namespace varenta;
using namespace varenta::guitest;

namespace {

template <class W>
W* child(Form3* f, const char* name)
{
    W* w = f->findChild<W*>(QString::fromUtf8(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

}  // namespace

TEST(Form3Attached, CommandsOpenTheDialogAndMinimisingClosesIt)
{
    ProgramFolder pf;
    Shell sh(pf);
    Form3* f = attachConditionsDialog(sh.w());
    sh.w().startUp();
    EXPECT_TRUE(sh.w().commandAvailable(QStringLiteral("Mcset")));
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"menu", [&] { sh.w().runCommand(QStringLiteral("Mcset")); }},
        {"toolbar", [&] { sh.w().toolButton(QStringLiteral("Bcset"))->click(); }},
    };
    for (const auto& [way, open] : ways) {
        open();
        EXPECT_TRUE(f->isVisible()) << way;
        EXPECT_TRUE(sh.w().runtime().state(statebit::kConditionsOpen)) << way;
        f->close();
        EXPECT_FALSE(sh.w().runtime().state(statebit::kConditionsOpen)) << way;
    }
    sh.w().runCommand(QStringLiteral("Mcset"));
    sh.w().showMinimized();
    settle();
    EXPECT_FALSE(f->isVisible());
    EXPECT_FALSE(sh.w().runtime().state(statebit::kConditionsOpen));
}

TEST(Form3Attached, UpdateReprocessesThroughTheSteppingRunAndShowsTheHeader)
{
    ProgramFolder pf;
    pf.generate(4);
    pf.setIni({{98, 0, pf.master()}});
    Shell sh(pf);
    Form3* f = attachConditionsDialog(sh.w());
    sh.w().startUp();
    std::vector<long long> processed;
    sh.w().processing().add(0, "count", [&](ShellServices& s) { processed.push_back(s.dataSet().currentNumber); });
    sh.w().runCommand(QStringLiteral("Mcset"));
    child<QLineEdit>(f, "Text1_28")->setText("20");
    child<QLineEdit>(f, "Text1_29")->setText("2");
    child<QPushButton>(f, "Command1")->click();
    ASSERT_EQ(processed.size(), 1u);
    EXPECT_EQ(processed[0], sh.w().dataSet().currentNumber);
    EXPECT_EQ(sh.w().settings().value(68, 0), "20");
    EXPECT_EQ(sh.w().settings().value(68, 1), "2");
    // The stepping run wrote the header of the measurement into Text3.
    const std::string header = child<QPlainTextEdit>(f, "Text3")->toPlainText().toStdString();
    EXPECT_FALSE(header.empty());
    EXPECT_NE(header.find("12"), std::string::npos) << header;  // machine number of the generated file
    // The lanes list the file's channels.
    EXPECT_GE(f->findChild<QComboBox*>(QStringLiteral("Combo2_0"))->count(), 3);
}

TEST(Form3Attached, SwitchesReachTheTimersAndTheStartFlags)
{
    ProgramFolder pf;
    Shell sh(pf);
    Form3* f = attachConditionsDialog(sh.w());
    sh.w().startUp();
    sh.w().runCommand(QStringLiteral("Mcset"));
    ASSERT_FALSE(sh.w().timer1()->isActive());
    f->findChild<QTabWidget*>(QStringLiteral("SSTab1"))->setCurrentIndex(3);
    child<QCheckBox>(f, "Check1_3")->setChecked(true);  // automatic processing
    child<QCheckBox>(f, "Check1_8")->setChecked(true);  // weekly backup
    child<QPushButton>(f, "Command1")->click();
    EXPECT_TRUE(sh.w().timer1()->isActive());
    EXPECT_TRUE(sh.w().runtime().autoWord & autofn::kProcessing);
    EXPECT_TRUE(sh.w().startOptions().flags & startflag::kWeeklyBackup);
    child<QCheckBox>(f, "Check1_3")->setChecked(false);
    child<QPushButton>(f, "Command0")->click();
    EXPECT_FALSE(sh.w().timer1()->isActive());
    EXPECT_FALSE(f->isVisible());
}
