// The program itself: started on a program folder whose settings name a
// master file and keep the raw table on, it opens the file and writes the
// raw table export.
#include "shell_fixture.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

using namespace varenta;
using namespace varenta::guitest;

TEST(Program, OpensTheLastFileAndWritesTheRawTableExport)
{
    const QString exe = QString::fromUtf8(VARENTA_BINARY_DIR) + QStringLiteral("/tolv");
    if (!QFileInfo::exists(exe))
        GTEST_SKIP() << "the program is not built";
    ProgramFolder pf;
    const synth::GeneratorOptions o = pf.generateOpened(4);

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VARENTA_HOME"), QString::fromStdString(pf.dir.string()));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(exe, {QStringLiteral("-platform"), QStringLiteral("offscreen")});
    ASSERT_TRUE(p.waitForStarted(5000));
    QElapsedTimer t;
    t.start();
    const std::string exportPath = pf.path("NR22g.txt");
    while (!fs::exists(exportPath) && t.elapsed() < 15000)
        p.waitForFinished(100);
    // Give the program a moment past the first write, then end it.
    p.waitForFinished(300);
    EXPECT_EQ(p.state(), QProcess::Running) << "the program ended by itself";
    p.kill();
    p.waitForFinished(5000);
    ASSERT_TRUE(fs::exists(exportPath));
    std::string bytes;
    ASSERT_EQ(readFileBytes(exportPath, bytes), Status::Ok);
    std::string want;
    for (char c : expectedRawTable(synth::generateBurst(o, 4), pf.channelTable()))
        want += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(bytes, want);
}
