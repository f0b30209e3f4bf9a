// Scripted runs of the communication program against the logger emulator,
// and its command table seen from its buttons and popup menu.
#include "fixture.h"

#include "brenlo24/config/ui/install.h"
#include "brenlo24/link/ui/form1.h"
#include "tools/emulator/runner.h"

#include <QAction>
#include <QMenu>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>

#include <filesystem>
#include <fstream>

using namespace varenta;
using namespace varenta::emu;
namespace fs = std::filesystem;

namespace {

class Brenlo24Script : public ::testing::Test {
protected:
    std::string folder;
    std::unique_ptr<EmulatorRunner> emu;

    void SetUp() override
    {
        folder = test::testFolder("b24script");
        ASSERT_EQ(test::installTestProgram(folder), Status::Ok);
        EmulatorConfig cfg;
        cfg.recording.durationMinutes = 1;
        cfg.recording.intervalMinutes = 10;
        cfg.recording.cheapSynthesis = true;
        cfg.prefillMeasurements = 1;
        emu = std::make_unique<EmulatorRunner>(cfg);
        ASSERT_EQ(emu->openPty(), Status::Ok);
        emu->start();
    }
    void TearDown() override
    {
        if (emu)
            emu->stop();
        fs::remove_all(folder);
    }

    // Runs the program with a script; standard output by lines.
    std::vector<std::string> run(const std::string& script, int& exitCode,
                                 const QString& items = QStringLiteral("1,38400"))
    {
        const std::string file = folder + "/run.script";
        std::ofstream(file, std::ios::binary) << script;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VARENTA_HOME"), QString::fromStdString(folder));
        env.insert(QStringLiteral("BRENLO24_COM1"), QString::fromStdString(emu->slavePath()));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        p.start(QString::fromUtf8(VARENTA_BINARY_DIR) + QStringLiteral("/brenlo24"),
                {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--script"),
                 QString::fromStdString(file), items});
        EXPECT_TRUE(p.waitForStarted(5000));
        EXPECT_TRUE(p.waitForFinished(60000));
        exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        std::vector<std::string> lines;
        for (const QByteArray& l : p.readAllStandardOutput().split('\n'))
            if (!l.isEmpty())
                lines.push_back(l.toStdString());
        return lines;
    }
};

TEST_F(Brenlo24Script, StatusCheckThenQuitPrintsTheCheckStatusTexts)
{
    int code = -1;
    const auto lines = run("Command1_0\nwait-idle\nquit\n", code);
    EXPECT_EQ(code, 0);
    const std::vector<std::string> want = {"status: COM1-38400", "status: コマンド送信", "status: パケット受信"};
    for (const std::string& w : want)
        EXPECT_NE(std::find(lines.begin(), lines.end(), w), lines.end()) << w << " missing in\n"
                                                                            << ::testing::PrintToString(lines);
    // The command went over the line.
    const auto codes = emu->stats().codes;
    EXPECT_FALSE(codes.empty());
    // Nothing but echo lines on standard output.
    for (const std::string& l : lines)
        EXPECT_TRUE(l.rfind("status: ", 0) == 0 || l.rfind("message: ", 0) == 0 || l.rfind("ask: ", 0) == 0) << l;
}

TEST_F(Brenlo24Script, UnknownCommandsAndControlsFail)
{
    int code = -1;
    auto lines = run("Command9_9\nquit\n", code);
    EXPECT_EQ(code, 2);
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [](const std::string& l) { return l.rfind("script error: 1: ", 0) == 0; }),
              lines.end());
    lines = run("open x\nquit\n", code);
    EXPECT_EQ(code, 2);
}

TEST(Brenlo24CommandTable, EveryButtonAndPopupEntryIsACommand)
{
    const std::string folder = test::testFolder("b24table");
    ASSERT_EQ(test::installTestProgram(folder), Status::Ok);
    ::setenv("BRENLO24_COM1", "/nonexistent/tty", 1);
    {
        Form1 w("1,38400");
        installDeviceConfig(w);
        std::vector<std::string> missing;
        for (QPushButton* b : w.findChildren<QPushButton*>())
            if (b->objectName().startsWith(QLatin1String("Command")) && !w.commandTable().has(b->objectName().toStdString()))
                missing.push_back(b->objectName().toStdString());
        for (QAction* a : w.popupMenu()->actions())
            if (!a->isSeparator() && !w.commandTable().has(a->objectName().toStdString()))
                missing.push_back(a->objectName().toStdString());
        EXPECT_TRUE(missing.empty()) << ::testing::PrintToString(missing);
        // A disabled control's command is refused, as its button would be.
        QPushButton* dev = w.findChild<QPushButton*>(QStringLiteral("Command1_1"));
        ASSERT_NE(dev, nullptr);
        dev->setEnabled(false);
        EXPECT_EQ(w.runCommand("Command1_1"), RunOutcome::Refused);
        w.closeWithoutWarning();
    }
    ::unsetenv("BRENLO24_COM1");
    fs::remove_all(folder);
}

}  // namespace

namespace {

// The device-information dialog driven by a script, as a person would:
// open it, type the gauge height on its tab, send the temporary change.
TEST_F(Brenlo24Script, DeviceDialogChangeThroughItsControls)
{
    int code = -1;
    const auto lines = run("Command1_1\nwait-idle\nset-text Form2.Text4_1 0.45\nForm2.Command1_0\nwait-idle\nquit\n",
                           code, QStringLiteral("1,38400,,,800"));
    EXPECT_EQ(code, 0) << ::testing::PrintToString(lines);
    const Packet ram = emu->with([](LoggerEmulator& l) { return l.deviceInfo(true); });
    const Packet nv = emu->with([](LoggerEmulator& l) { return l.deviceInfo(false); });
    EXPECT_EQ(ram[128] | (ram[129] << 8), 45);
    EXPECT_EQ(nv[128] | (nv[129] << 8), 50);  // a temporary change leaves the stored value
    EXPECT_NE(std::find(lines.begin(), lines.end(), "status: 変更終了"), lines.end())
        << ::testing::PrintToString(lines);
}

}  // namespace

namespace {

// The modem console stays open in a scripted run and is driven by its
// controls; closing it hands the line back for a status check.
TEST_F(Brenlo24Script, ModemConsoleThroughItsControls)
{
    int code = -1;
    const auto lines = run("Pum05\nForm7.Command1\nwait-idle\nset-text Form7.Combo1 AT\nForm7.Command1\nwait-idle\n"
                           "Form7.Command2\nwait-idle\nCommand1_0\nwait-idle\nquit\n",
                           code);
    EXPECT_EQ(code, 0) << ::testing::PrintToString(lines);
    const auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    EXPECT_TRUE(has("status: UM05モニタ終了！")) << ::testing::PrintToString(lines);
    EXPECT_FALSE(emu->with([](LoggerEmulator& l) { return l.modemMode(); }));
    // The status check after the console still gets its packet.
    const auto after = std::find(lines.begin(), lines.end(), "status: UM05モニタ終了！");
    EXPECT_NE(std::find(after, lines.end(), "status: パケット受信"), lines.end());
}

}  // namespace
