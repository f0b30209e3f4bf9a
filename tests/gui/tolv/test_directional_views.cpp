// The directional spectrum views (kinds 5 and 7) in the main window with
// stand-in estimators written by the test: the estimator's command line and
// parameter file, "nr40r.txt", the images, the dated copy, and estimators
// that misbehave.
#include "shell_fixture.h"

#include "common/textfile.h"
#include "tolv/spectra/ui/directionalviews.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QTimer>

#include <filesystem>
#include <fstream>

using namespace varenta;
using namespace varenta::guitest;

namespace {

namespace fs = std::filesystem;

// A spectrum of 4 frequencies and 8 directions peaking at direction 6
// (225 degrees before the declination) and 0.1 Hz.
const char* const kGoodOutput =
    "                                            4    8\n"
    "     0.05000\n"
    "  0.1000E-01  0.1000E-01  0.1000E-01  0.1000E-01  0.2000E-01  0.5000E-01\n"
    "  0.2000E-01  0.1000E-01\n"
    "     0.10000\n"
    "  0.1000E-01  0.1000E-01  0.1000E-01  0.2000E-01  0.5000E+00  0.2000E+01\n"
    "  0.5000E+00  0.1000E-01\n"
    "     0.15000\n"
    "  0.1000E-01  0.1000E-01  0.1000E-01  0.1000E-01  0.2000E-01  0.3000E+00\n"
    "  0.2000E-01  0.1000E-01\n"
    "     0.20000\n"
    "  0.1000E-01  0.1000E-01  0.1000E-01  0.1000E-01  0.1000E-01  0.2000E-01\n"
    "  0.1000E-01  0.1000E-01\n";

struct DirectionalShell : Shell {
    std::shared_ptr<DirectionalShared> shared;
    explicit DirectionalShell(const ProgramFolder& pf, const std::string& argument = {}) : Shell(pf, argument)
    {
        DirectionalPart part = makeDirectionalPart(*window);
        shared = part.shared;
        window->addView(std::move(part.view3d));
        window->addView(std::move(part.contour));
    }
    DirectionalGraphView* view(int kind) { return dynamic_cast<DirectionalGraphView*>(window->views().find(kind)); }
};

class DirectionalViews : public ::testing::Test {
protected:
    ProgramFolder pf;

    void SetUp() override
    {
        pf.generate(2);
        // Templates of nine 80-column lines.
        for (const char* name : {"emep2.org", "bayes2.org"}) {
            std::vector<std::string> t;
            for (int i = 1; i <= 9; ++i)
                t.push_back("T" + std::to_string(i) + std::string(78, '.'));
            ASSERT_EQ(writeTextLines(pf.path(name), t), Status::Ok);
        }
    }
    // A stand-in estimator: a shell script with the given body, which also
    // records its arguments one per line.
    void estimator(const std::string& name, const std::string& body) const
    {
        const std::string path = pf.path(name);
        std::ofstream f(path);
        f << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > args.txt\n" << body << "\n";
        f.close();
        fs::permissions(path, fs::perms::owner_all);
    }
    void writeOutput(const std::string& name, const std::string& text) const
    {
        std::ofstream(pf.path(name)) << text;
        estimator("emep2", "cp " + name + " nr40g.txt");
    }
    // Starts on the file with the directional switch and the window word.
    void start(DirectionalShell& sh, const char* word, const char* waitTenths = "50") const
    {
        pf.setIni({{98, 0, pf.master()}, {89, 0, word}, {85, 5, "4"}, {69, 6, waitTenths}, {99, 6, "7"}});
        sh.w().startUp();
        settle();
    }
};

TEST_F(DirectionalViews, CommandEstimatesOnceAndWritesSummaryAndImages)
{
    writeOutput("good.txt", kGoodOutput);
    DirectionalShell sh(pf);
    start(sh, "0");
    sh.w().runCommand(QStringLiteral("Mdir3d"));
    settle();
    ASSERT_NE(sh.doc(viewkind::kDirectional3d), nullptr);
    EXPECT_EQ(sh.doc(viewkind::kDirectional3d)->windowTitle(), QStringLiteral("方向スペクトル３Ｄグラフ"));
    EXPECT_EQ(sh.panel(panel::kStatus), "方向スペクトル計算終了");

    std::vector<std::string> lines;
    ASSERT_EQ(readTextLines(pf.path("nr40r.txt"), lines), Status::Ok);
    // Sums peak at direction 6 (225 degrees); 225 - 7 = 218 for the energy direction.
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "   218");
    EXPECT_EQ(lines[2], "   218 10.00  2.00");
    EXPECT_TRUE(sh.view(viewkind::kDirectional3d)->drewSpectrum());

    // The estimator got the ten arguments, the master file last, and its
    // parameter file.
    ASSERT_EQ(readTextLines(pf.path("args.txt"), lines), Status::Ok);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[7], std::to_string(sh.w().dataSet().headerOffset + 1));
    EXPECT_EQ(lines[8], "4");
    EXPECT_EQ(lines[9], pf.master());
    ASSERT_EQ(readTextLines(pf.path("emep2.ini"), lines), Status::Ok);
    EXPECT_EQ(lines[0], "    3");

    // The contour graph of the same measurement: no new estimation.
    fs::remove(pf.path("args.txt"));
    sh.w().runCommand(QStringLiteral("MdirConta"));
    settle();
    EXPECT_FALSE(fs::exists(pf.path("args.txt")));
    ASSERT_NE(sh.doc(viewkind::kDirectionalContour), nullptr);
    EXPECT_TRUE(sh.view(viewkind::kDirectionalContour)->drewSpectrum());
    for (const char* f : {"NR26g.bmp", "NR26g.jpg", "NR27g.bmp", "NR27g.jpg"})
        EXPECT_TRUE(fs::exists(pf.path(f))) << f;

    // A printer page: drawn with the printer styles, no image files.
    fs::remove(pf.path("NR27g.bmp"));
    QImage page(800, 600, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    EXPECT_TRUE(sh.view(viewkind::kDirectionalContour)->print(sh.w(), painter, QRectF(0, 0, 800, 600)));
    painter.end();
    EXPECT_FALSE(fs::exists(pf.path("NR27g.bmp")));
    int coloured = 0;  // contour pixels: the frame and the text are grey or black
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            coloured += c.red() != c.green() || c.green() != c.blue();
        }
    EXPECT_GT(coloured, 100);
}

TEST_F(DirectionalViews, MisbehavingEstimatorsLeaveCannotComputeAndNoSummary)
{
    struct Case {
        const char* name;
        std::string body;
    };
    std::string shortLine = kGoodOutput;
    shortLine.resize(shortLine.rfind("  0.1000E-01\n"));
    const Case cases[] = {
        {"sleeps past the wait", "exec sleep 20"},
        {"NaN", "echo NaN > nr40g.txt"},
        {"short line", "cp short.txt nr40g.txt"},
        {"nothing", "true"},
        {"flat spectrum", "cp flat.txt nr40g.txt"},
    };
    std::string flat = std::string(kGoodOutput).substr(0, std::string(kGoodOutput).find('\n') + 1);
    std::string six;
    for (int k = 0; k < 6; ++k)
        six += "      1.0000";
    for (const char* f : {"0.05", "0.10", "0.15", "0.20"})
        flat += std::string("     ") + f + "000\n" + six + "\n      1.0000      1.0000\n";
    std::ofstream(pf.path("flat.txt")) << flat;
    std::ofstream(pf.path("short.txt")) << shortLine;
    std::ofstream(pf.path("good.txt")) << kGoodOutput;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        estimator("emep2", c.body);
        // A spectrum of an earlier run must not be taken for this one's.
        std::ofstream(pf.path("nr40g.txt")) << kGoodOutput;
        std::ofstream(pf.path("nr40r.txt")) << "stale\r\n";
        DirectionalShell sh(pf);
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
        timer.start(20);
        QElapsedTimer clock;
        clock.start();
        start(sh, "0", "10");  // a wait of one second
        sh.w().runCommand(QStringLiteral("Mdir3d"));
        settle();
        EXPECT_LT(clock.elapsed(), 8000);
        EXPECT_EQ(sh.panel(panel::kStatus), "方向スペクトル計算不可");
        const bool flat = std::string(c.name) == "flat spectrum";
        EXPECT_EQ(fs::exists(pf.path("nr40r.txt")), flat);
        if (flat) {
            // Frame and axes without a surface, and the images.
            EXPECT_FALSE(sh.view(viewkind::kDirectional3d)->drewSpectrum());
            EXPECT_TRUE(fs::exists(pf.path("NR26g.bmp")));
        }
        if (c.body.rfind("exec sleep", 0) == 0) {
            EXPECT_GT(ticks, 10);  // the window served its events during the wait
        }
    }
}

TEST_F(DirectionalViews, BayesExeAndTheDatedCopy)
{
    std::ofstream(pf.path("good.txt")) << kGoodOutput;
    estimator("bayes2.exe", "cp good.txt nr40g.txt");
    DirectionalShell sh(pf, "2800");  // bayes2, dated copies
    start(sh, "40000");
    ASSERT_TRUE(fs::exists(pf.path("bayes2.ini")));
    EXPECT_FALSE(fs::exists(pf.path("emep2.ini")));
    const MeasurementHeader& h = sh.w().dataSet().header;
    const std::string dated = datedDirectionalName("NR", h.machineNumber, h.year, h.month, h.day, h.hour, h.minute);
    EXPECT_EQ(dated.substr(dated.size() - 6), "dg.txt");
    std::string copy, original;
    ASSERT_EQ(readFileBytes(pf.path(dated), copy), Status::Ok);
    ASSERT_EQ(readFileBytes(pf.path("good.txt"), original), Status::Ok);
    EXPECT_EQ(copy, original);
}

// End to end with the estimators built with the project: generated seas
// read back at their direction, with the coordinate transformation of
// currents off and on.
TEST(DirectionalEndToEnd, GeneratedSeasReadAtTheirDirection)
{
    const std::string bin = std::getenv("VARENTA_BINARY_DIR") ? std::getenv("VARENTA_BINARY_DIR") : VARENTA_BINARY_DIR;
    for (const char* name : {"emep2", "bayes2"}) {
        SCOPED_TRACE(name);
        ProgramFolder pf;
        if (!fs::exists(bin + "/" + name) || !fs::exists(pf.path(std::string(name) + ".org")))
            GTEST_SKIP() << "the estimator " << name << " or its template is not built";
        fs::create_symlink(bin + "/" + name, pf.path(name));
        for (double direction : {30.0, 200.0, 315.0})
            for (double s : {10.0, 75.0})
                for (const char* transform : {"2000", "2001"}) {  // switch 0x01: the transformation
                    SCOPED_TRACE(std::to_string(direction) + " s=" + std::to_string(s) + " transform " + transform);
                    synth::GeneratorOptions o;
                    o.sea.hm0 = 1.5;
                    o.sea.tp = 9;
                    o.sea.meanDirection = direction;
                    o.sea.spreadingS = s;
                    o.sea.depth = 12;
                    // Recorded without a declination (its correction is tested on
                    // its own).
                    o.plan.header.ext134 = 0;
                    o.plan.bursts = 1;
                    o.plan.intervalCode = 1;
                    o.plan.durationMinutes = 20;
                    o.factors = synth::ChannelFactors::fromTable(pf.channelTable());
                    // The transformation turns the sensor's own axes (recorded with
                    // its signs) by the compass; without it the logger records
                    // magnetic east and north.
                    if (std::string(transform) == "2001") {
                        o.plan.header.measureCondition |= 0x20;
                        o.sea.heading = 40;
                    }
                    ASSERT_EQ(synth::writeMasterPair(pf.dir.string(), "NR012", o), Status::Ok);
                    pf.setIni({{98, 0, pf.master()}, {89, 0, "10000"}, {85, 5, "4"}, {85, 4, transform},
                               {69, 6, "300"}, {99, 6, "0"}});
                    fs::remove(pf.path("nr40r.txt"));
                    DirectionalShell sh(pf, std::string(name) == "bayes2" ? "2000" : "");
                    sh.w().startUp();
                    settle();
                    std::vector<std::string> lines, out;
                    ASSERT_EQ(readTextLines(pf.path("nr40r.txt"), lines), Status::Ok);
                    ASSERT_EQ(readTextLines(pf.path("nr40g.txt"), out), Status::Ok);
                    ASSERT_GE(lines.size(), 3u);
                    const double nd = textToReal(out[0].substr(45, 5));
                    const auto off = [direction](double a) { return std::abs(std::remainder(a - direction, 360.0)); };
                    EXPECT_LE(off(textToReal(lines[0])), 3.0);
                    EXPECT_LE(off(textToReal(lines[2].substr(0, 6))), 360.0 / nd + 0.5);
                }
    }
}

}  // namespace
