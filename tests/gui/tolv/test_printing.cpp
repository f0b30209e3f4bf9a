// Printing to PDF files (item 89 value 5 ending in ".pdf") from the main
// window, read back as page images with pdftoppm and as text with
// pdftotext; the serial output of a scripted processing run received on the
// far side of a pseudo-terminal.
#include "shell_fixture.h"

#include "tolv/program/assemble.h"
#include "tolv/shell/serialoutput.h"
#include "tolv/shell/ui/printing.h"

#include <QDir>
#include <QComboBox>
#include <QImage>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextCursor>
#include <QMdiArea>
#include <QProcess>
#include <QProcessEnvironment>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>

#include <fstream>
#include <functional>
#include <numeric>
#include <thread>

using namespace varenta;
using namespace varenta::guitest;

namespace {

bool havePoppler() { return QFileInfo::exists(QStringLiteral("/usr/bin/pdftoppm")); }

// The pages of a PDF as images (50 dots per inch); copies go to
// VARENTA_PRINT_SHOTS when set.
std::vector<QImage> pdfPages(const std::string& pdf, const std::string& name)
{
    const std::string prefix = pdf + "-page";
    QProcess p;
    p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-png"),
                                         QString::fromStdString(pdf), QString::fromStdString(prefix)});
    p.waitForFinished(60000);
    std::vector<QImage> pages;
    QDir dir(QString::fromStdString(fs::path(pdf).parent_path().string()));
    QStringList files = dir.entryList({QString::fromStdString(fs::path(prefix).filename().string()) + "-*.png"},
                                      QDir::Files, QDir::Name);
    for (const QString& f : files) {
        pages.emplace_back(dir.filePath(f));
        if (const char* shots = std::getenv("VARENTA_PRINT_SHOTS"); shots && *shots)
            pages.back().save(QString::fromUtf8(shots) + "/" + QString::fromStdString(name) + "-" + f.section('-', -1));
    }
    return pages;
}

std::string pdfText(const std::string& pdf, int page)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page),
                                          QStringLiteral("-l"), QString::number(page), QString::fromStdString(pdf),
                                          QStringLiteral("-")});
    p.waitForFinished(30000);
    return p.readAllStandardOutput().toStdString();
}

// Dark pixels of a page, and whether any lies on the outermost pixel rows
// and columns (something cut at the page edge).
struct Ink {
    long dark = 0;
    bool atEdge = false;
};
Ink inkOf(const QImage& img)
{
    Ink ink;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 160) {
                ++ink.dark;
                if (x < 2 || y < 2 || x >= img.width() - 2 || y >= img.height() - 2)
                    ink.atEdge = true;
            }
    return ink;
}

synth::GeneratorOptions hourlyFrom7(const ProgramFolder& pf, int bursts, bool resultsOnly = false)
{
    synth::GeneratorOptions o;
    o.plan.bursts = bursts;
    o.plan.channels = {1, 2, 3};
    o.plan.intervalMinutes = 60;
    o.plan.durationMinutes = 20;
    o.plan.start = DateTime{2026, 5, 6, 7, 0, 0, 0};
    o.sea.hm0 = 1.4;
    o.sea.tp = 8;
    o.sea.depth = 12;
    o.fidelity = synth::Fidelity::Cheap;
    o.faults.allResultsOnly = resultsOnly;
    o.factors = synth::ChannelFactors::fromTable(pf.channelTable());
    std::string msg;
    EXPECT_EQ(synth::writeMasterPair(pf.dir.string(), "NR012", o, nullptr, &msg), Status::Ok) << msg;
    return o;
}

struct KindCase {
    int kind;
    bool portrait;
    int pages;  // 0: at least one
};

TEST(PrintToPdf, EveryViewKindInItsOrientationWithNothingCut)
{
    if (!havePoppler())
        GTEST_SKIP() << "pdftoppm is not installed";
    ProgramFolder pf;
    hourlyFrom7(pf, 30);
    const std::string bin = VARENTA_BINARY_DIR;
    const bool estimator = fs::exists(bin + "/emep2") && fs::exists(pf.path("emep2.org"));
    if (estimator)
        fs::create_symlink(bin + "/emep2", pf.path("emep2"));
    pf.setIni({{98, 0, pf.master()}, {89, 0, "0"}, {85, 1, "1"}, {85, 2, "0"}, {68, 3, "24"},
               {85, 0, "東京湾 観測点３"}, {85, 5, "4"}, {69, 6, "300"}, {99, 6, "0"}, {68, 6, "5"}, {68, 7, "5"}});
    Shell sh(pf);
    assembleProcessingProgram(sh.w());
    sh.w().startUp();
    settle();

    // Hourly from 07:00, 24 rows a page: 17 rows of the first day, then 13.
    const KindCase cases[] = {
        {0, true, 0},  {1, false, 1}, {2, true, 2},  {3, false, 1},
        {4, false, 1}, {5, false, 1}, {6, false, 1}, {7, false, 1},
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE("kind " + std::to_string(c.kind));
        if ((c.kind == 5 || c.kind == 7) && !estimator)
            continue;
        sh.w().showView(c.kind);
        settle();
        DocumentWindow* d = sh.doc(c.kind);
        ASSERT_NE(d, nullptr);
        sh.w().mdiArea()->setActiveSubWindow(d);
        const std::string pdf = pf.path("print" + std::to_string(c.kind) + ".pdf");
        sh.w().settings().set(89, 5, "print" + std::to_string(c.kind) + ".pdf");
        const std::size_t asked = sh.prompter.shown.size();
        sh.w().runCommand(QStringLiteral("Mprint"));
        // The raw table and the contour graph ask first.
        EXPECT_EQ(sh.prompter.shown.size() - asked, (c.kind == 0 || c.kind == 7) ? 1u : 0u);
        ASSERT_TRUE(fs::exists(pdf));
        const std::vector<QImage> pages = pdfPages(pdf, "kind" + std::to_string(c.kind));
        ASSERT_FALSE(pages.empty());
        if (c.pages > 0) {
            EXPECT_EQ(static_cast<int>(pages.size()), c.pages);
        }
        for (const QImage& img : pages) {
            EXPECT_EQ(img.height() > img.width(), c.portrait);
            const Ink ink = inkOf(img);
            EXPECT_GT(ink.dark, 200);
            EXPECT_FALSE(ink.atEdge);
        }
        EXPECT_EQ(sh.panel("Status"), "");
    }
    // The results pages as the printer received them.
    const std::string pdf = pf.path("print2.pdf");
    const std::string page1 = pdfText(pdf, 1), page2 = pdfText(pdf, 2);
    EXPECT_NE(page1.find("東京湾 観測点３"), std::string::npos);
    EXPECT_NE(page1.find("23:00"), std::string::npos);
    EXPECT_EQ(page1.find(" 0:00"), std::string::npos);
    EXPECT_NE(page2.find(" 0:00"), std::string::npos);
    EXPECT_NE(page2.find("12:00"), std::string::npos);
    EXPECT_EQ(page2.find("23:00"), std::string::npos);
}

// The printer dialog's choices through the seam (it points the printer at
// a PDF file, as a user printing to a file would), and the scheduler's jobs.
class PrintChoices : public ::testing::Test {
protected:
    ProgramFolder pf;
    std::unique_ptr<Shell> sh;
    void SetUp() override
    {
        if (!havePoppler())
            GTEST_SKIP() << "pdftotext is not installed";
        hourlyFrom7(pf, 30);
        pf.setIni({{98, 0, pf.master()}, {89, 0, "500"}, {68, 3, "24"}, {89, 5, "no such printer"}});
        sh = std::make_unique<Shell>(pf);
        assembleProcessingProgram(sh->w());
        sh->w().startUp();
        settle();
    }
    // Lines of a page's text that hold anything.
    static std::vector<std::string> inkLines(const std::string& text)
    {
        std::vector<std::string> out;
        for (const std::string& l : splitPaneLines(text))
            if (l.find_first_not_of(" \f") != std::string::npos)
                out.push_back(l);
        return out;
    }
};

TEST_F(PrintChoices, SelectionRangeAndCancel)
{
    struct Case {
        const char* name;
        int kind;
        bool accept;
        std::function<void(DocumentWindow&)> prepare;
        std::function<void(const std::string& page1)> check;
    };
    const Case cases[] = {
        {"raw table, selection without text: the headings only", viewkind::kRawTable, true,
         [](DocumentWindow& d) {
             QTextCursor c = d.richTextBox1()->textCursor();
             c.clearSelection();
             d.richTextBox1()->setTextCursor(c);
         },
         [](const std::string& page) { EXPECT_EQ(inkLines(page).size(), 2u) << page; }},
        {"results table, caret only: the page from the current measurement", viewkind::kResultsTable, true,
         [this](DocumentWindow&) { sh->w().selectMeasurement(10); },
         [](const std::string& page) {
             EXPECT_NE(page.find("16:00"), std::string::npos);  // record 10
             EXPECT_EQ(page.find("15:00"), std::string::npos);
             EXPECT_NE(page.find("12:00"), std::string::npos);  // record 30, the last
             EXPECT_EQ(inkLines(page).size(), 2u + 21u) << page;
         }},
        {"dialog cancelled", viewkind::kResultsTable, false, [](DocumentWindow&) {}, {}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pdf = pf.path("choice" + std::to_string(++n) + ".pdf");
        PrintSeams seams;
        seams.printDialog = [&](QPrinter& printer, bool* selection) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(pdf));
            *selection = true;
            return c.accept;
        };
        Printing printing(sh->w(), seams);
        sh->w().showView(c.kind);
        settle();
        DocumentWindow* d = sh->doc(c.kind);
        ASSERT_NE(d, nullptr);
        sh->w().mdiArea()->setActiveSubWindow(d);
        c.prepare(*d);
        printing.printActiveView();
        EXPECT_EQ(fs::exists(pdf), c.accept);
        if (c.check && fs::exists(pdf))
            c.check(pdfText(pdf, 1));
    }
}

TEST_F(PrintChoices, ScheduledTablePageEndsAtTheCurrentRecordAndGraphPrints)
{
    sh->w().settings().set(89, 5, "table.pdf");
    sh->w().selectMeasurement(20);
    ASSERT_TRUE(sh->w().schedulerJobs().printTable && sh->w().schedulerJobs().printGraph);
    sh->w().schedulerJobs().printTable(7);
    // Records 1 .. 20 (24 rows a page, the page ends at record 20 = 02:00).
    const std::string page = pdfText(pf.path("table.pdf"), 1);
    EXPECT_NE(page.find(" 7:00"), std::string::npos);
    EXPECT_NE(page.find(" 2:00"), std::string::npos);
    EXPECT_EQ(page.find(" 3:00"), std::string::npos);
    sh->w().settings().set(89, 5, "graph.pdf");
    sh->w().schedulerJobs().printGraph();
    const std::vector<QImage> pages = pdfPages(pf.path("graph.pdf"), "scheduled-graph");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_GT(inkOf(pages[0]).dark, 200);
}

TEST_F(PrintChoices, ForwardDisplayStepsPrintTheRawGraphWhenSwitchedOn)
{
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "graph printing on" : "graph printing off");
        const std::string pdf = pf.path(on ? "steps-on.pdf" : "steps-off.pdf");
        sh->w().settings().set(85, 7, "1");
        sh->w().settings().set(89, 5, pdf);
        auto& word = sh->w().runtime().autoWord;
        word = on ? (word | autofn::kGraphPrint) : (word & ~autofn::kGraphPrint);
        sh->w().selectMeasurement(5);
        sh->w().repetitionCombo()->setEditText(QStringLiteral("2"));
        sh->w().runCommand(QStringLiteral("Mexecute"));
        settle();
        EXPECT_EQ(sh->w().dataSet().currentNumber, 7);
        ASSERT_EQ(fs::exists(pdf), on);
        if (on) {
            const std::vector<QImage> pages = pdfPages(pdf, "step-raw-graph");
            ASSERT_EQ(pages.size(), 1u);  // the last step's graph
            EXPECT_GT(pages[0].width(), pages[0].height());
            EXPECT_GT(inkOf(pages[0]).dark, 200);
        }
    }
    sh->w().runtime().autoWord = 0;
}

// The far side of a pseudo-terminal: everything the program writes is
// read on a thread until finish().
struct PtyReader {
    int master = -1, slave = -1;
    std::string slaveName;
    std::vector<std::uint8_t> bytes;
    std::atomic<bool> done{false};
    std::thread th;

    PtyReader()
    {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        slaveName = name;
        th = std::thread([this] {
            std::uint8_t buf[4096];
            for (pollfd p{master, POLLIN, 0}; (::poll(&p, 1, 200) > 0 && (p.revents & POLLIN)) || !done;)
                if (p.revents & POLLIN)
                    if (const ssize_t n = ::read(master, buf, sizeof buf); n > 0)
                        bytes.insert(bytes.end(), buf, buf + n);
        });
    }
    ~PtyReader()
    {
        finish();
        ::close(slave);
        ::close(master);
    }
    const std::vector<std::uint8_t>& finish()
    {
        done = true;
        if (th.joinable())
            th.join();
        return bytes;
    }
};

// Runs the program on the folder with a script; standard output back.
std::string runTolv(const ProgramFolder& pf, const std::string& script, QStringList args,
                    const std::vector<std::pair<std::string, std::string>>& vars, int* exitCode)
{
    const std::string file = pf.path("run.script");
    std::ofstream(file, std::ios::binary) << script;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VARENTA_HOME"), QString::fromStdString(pf.dir.string()));
    for (const auto& [k, v] : vars)
        env.insert(QString::fromStdString(k), QString::fromStdString(v));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    args = QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen")} + args;
    args << QStringLiteral("--script") << QString::fromStdString(file);
    p.start(QString::fromUtf8(VARENTA_BINARY_DIR) + QStringLiteral("/tolv"), args);
    EXPECT_TRUE(p.waitForStarted(5000));
    EXPECT_TRUE(p.waitForFinished(120000));
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput().toStdString();
}

TEST(PrintToPdf, ScriptedMprintWritesTheNamedPdfWithoutADialog)
{
    if (!QFileInfo::exists(QString::fromUtf8(VARENTA_BINARY_DIR) + QStringLiteral("/tolv")) || !havePoppler())
        GTEST_SKIP() << "the program or pdftoppm is missing";
    ProgramFolder pf;
    hourlyFrom7(pf, 4);
    // The results graph open; the printout goes to a PDF in another folder.
    const std::string pdf = pf.path("out/graph.pdf");
    fs::create_directories(pf.path("out"));
    pf.setIni({{98, 0, pf.master()}, {89, 0, "800"}, {85, 2, "1"}});
    int exitCode = -1;
    const std::string out = runTolv(pf, "MgraphR\nwait-idle\nset 89 5 " + pdf + "\nMprint\nwait-idle\nquit\n", {}, {}, &exitCode);
    EXPECT_EQ(exitCode, 0) << out;
    EXPECT_NE(out.find("status: 印刷しています。しばらくお待ち下さい"), std::string::npos) << out;
    const std::vector<QImage> pages = pdfPages(pdf, "scripted-graph");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_GT(pages[0].height(), pages[0].width());  // graphs in portrait by item 85 value 2
}

TEST(SerialOutputRun, FiveProcessedMeasurementsGiveFivePacketsOnThePty)
{
    const QString exe = QString::fromUtf8(VARENTA_BINARY_DIR) + QStringLiteral("/tolv");
    if (!QFileInfo::exists(exe))
        GTEST_SKIP() << "the program is not built";
    ProgramFolder pf;
    hourlyFrom7(pf, 8, true);
    // The settings file keeps the port text with colons between the fields.
    pf.setIni({{98, 0, pf.master()}, {89, 0, "0"}, {86, 6, "01:009600:n:8:1"}, {86, 7, "3"}});
    PtyReader reader;
    ASSERT_FALSE(reader.slaveName.empty());

    const std::string script = "set-text Combo1 20\nMbackexe\nwait-idle\nset-text Combo1 5\nBcalculate\nwait-idle\n"
                               "wait 300\nquit\n";
    int exitCode = -1;
    const std::string out = runTolv(pf, script, {QStringLiteral("20000")}, {{"TOLV_COM1", reader.slaveName}}, &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(out.find("status: COM1-9600"), std::string::npos) << out;
    const std::vector<std::uint8_t>& got = reader.finish();

    // The results file holds the records sent, byte for byte.
    std::string results;
    ASSERT_EQ(readFileBytes(pf.path("NR012L.H10"), results), Status::Ok);
    ASSERT_EQ(got.size(), 5u * 513u);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE("packet " + std::to_string(i + 1));
        const std::uint8_t* pk = got.data() + i * 513;
        EXPECT_EQ(pk[0], kOutputLeadByte);
        EXPECT_EQ(pk[1], 0x5A);
        EXPECT_EQ(pk[3], kOutputPacketKind);
        EXPECT_EQ(std::accumulate(pk + 1, pk + 513, 0u) % 256, 0u);
        const int number = pk[5] | (pk[6] << 8);
        EXPECT_EQ(number, i + 1);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(pk) + 9, 392),
                  results.substr(static_cast<std::size_t>(number - 1) * 392, 392));
    }
    // Two log lines a record (item 86 value 7 = 3).
    std::vector<std::string> log;
    ASSERT_EQ(readTextLines(pf.path("tolvsout.log"), log), Status::Ok);
    EXPECT_EQ(log.size(), 10u);
}

}  // namespace
