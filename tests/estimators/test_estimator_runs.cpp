// The estimator programs on generated bursts: directions through both data
// files (master file and the rotated DirSpec.tmp), the written file's
// columns, and the bursts they must refuse with "NaN" and a reason.
#include "estimator_fixture.h"

#include <sys/wait.h>

using namespace esttest;
using varenta::est::Method;

namespace {

struct GeneratedSea {
    Method method;
    double direction;
    double s;
    bool rotated;   // coordinate transformation on: the estimator reads DirSpec.tmp
    bool mirrored;  // a logger whose X axis points west (measurement-condition bit 7)
};

std::string describe(const ::testing::TestParamInfo<GeneratedSea>& p)
{
    return std::string(p.param.method == Method::Emep ? "emep2" : "bayes2") + "_from" +
           std::to_string(static_cast<int>(p.param.direction)) + "_s" + std::to_string(static_cast<int>(p.param.s)) +
           (p.param.rotated ? "_rotated" : "_master") + (p.param.mirrored ? "_mirroredX" : "");
}

class GeneratedBurst : public EstimatorFolder, public ::testing::WithParamInterface<GeneratedSea> {};

TEST_P(GeneratedBurst, ReadsTheGeneratorsDirection)
{
    const GeneratedSea& c = GetParam();
    synth::GeneratorOptions o = sea(c.direction, c.s);
    o.sea.heading = c.rotated ? 40.0 : 0.0;  // the rotation must undo the instrument's heading
    o.seed = 7 + static_cast<std::uint64_t>(c.direction);
    // A transformation needs the sensor's own axes and signs; the mirrored
    // logger is mounted upward, so its X keeps its sign (bit 7).
    if (c.rotated || c.mirrored)
        o.plan.header.measureCondition |= 0x20;
    if (c.mirrored)
        o.plan.header.measureCondition |= 0x80;
    std::string data = writeMaster(o);
    if (c.rotated)
        data = writeRotated(data);
    const Site site;
    if (c.method == Method::Emep)
        writeEmepParameters(site);
    else
        writeBdmParameters(site);
    ASSERT_EQ(est::runEstimatorProgram(c.method, arguments(site, data), folder), 0);
    const Nr40g g = Nr40g::read(folder + "/nr40g.txt");
    ASSERT_FALSE(g.failed);
    ASSERT_EQ(g.nd, 72);
    ASSERT_EQ(g.nf, 31);
    EXPECT_LT(angleError(g.meanDirection(), c.direction), 3.0);
    EXPECT_LE(angleError(g.peak * 360.0 / g.nd, c.direction), 360.0 / g.nd);
}

std::vector<GeneratedSea> seas()
{
    std::vector<GeneratedSea> v;
    for (Method m : {Method::Emep, Method::Bdm})
        for (double s : {10.0, 75.0})
            for (double d : {30.0, 200.0, 315.0})
                for (bool r : {false, true})
                    v.push_back({m, d, s, r, false});
    for (Method m : {Method::Emep, Method::Bdm})
        for (bool r : {false, true})
            v.push_back({m, 200.0, 10.0, r, true});
    return v;
}

INSTANTIATE_TEST_SUITE_P(Jonswap, GeneratedBurst, ::testing::ValuesIn(seas()), describe);

// One burst at a time: refusals, sensor choice, parameter lines, programs.
class EstimatorRun : public EstimatorFolder {};

// Bursts the estimators must refuse: "NaN" on line 1 and the reason.
TEST_F(EstimatorRun, RefusedBurstWritesNanWithTheReason)
{
    struct Case {
        const char* name;
        std::function<void(synth::GeneratorOptions&)> plan;
        std::function<void(std::string& master)> damage;  // applied to the written file
        std::function<void(Site&, std::vector<std::string>&)> command;
        const char* reason;
    };
    const auto none = [](auto&...) {};
    const Case cases[] = {
        {"too few valid samples", [](synth::GeneratorOptions& o) { o.faults.missingFraction = 0.3; }, none, none,
         "too few valid samples"},
        {"short burst", [](synth::GeneratorOptions& o) { o.plan.durationMinutes = 1; }, none,
         [](Site& s, std::vector<std::string>& a) { a[5] = "120"; s.samples = 120; }, "too few samples"},
        {"dead current meter", [](synth::GeneratorOptions& o) { o.fidelity = synth::Fidelity::Constant; }, none, none,
         "singular cross-spectral matrix"},
        {"unknown sensor", none,
         [](std::string& m) {
             m[64 + 2] = static_cast<char>(0x80 | 20);  // channel 3 becomes kind 20
             m[3] = 0;
             unsigned sum = 0;
             for (int i = 0; i < 512; ++i)
                 sum += static_cast<std::uint8_t>(m[static_cast<std::size_t>(i)]);
             m[3] = static_cast<char>((256 - sum % 256) % 256);
         },
         none, "unknown sensor"},
        {"no header at the start", none, none, [](Site&, std::vector<std::string>& a) { a[7] = "513"; },
         "no valid measurement header"},
        {"channel count differs", none, none, [](Site&, std::vector<std::string>& a) { a[6] = "4"; }, "channels"},
        {"nine arguments", none, none, [](Site&, std::vector<std::string>& a) { a.pop_back(); }, "expected 10 arguments"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        synth::GeneratorOptions o = sea(200.0, 10.0);
        c.plan(o);
        const std::string master = writeMaster(o);
        std::string bytes;
        ASSERT_EQ(readFileBytes(master, bytes), Status::Ok);
        c.damage(bytes);
        ASSERT_EQ(writeFileBytesAtomic(master, bytes), Status::Ok);
        Site site;
        std::vector<std::string> args = arguments(site, master);
        c.command(site, args);
        for (Method m : {Method::Emep, Method::Bdm}) {
            m == Method::Emep ? writeEmepParameters(site) : writeBdmParameters(site);
            ASSERT_EQ(writeTextLines(folder + "/nr40g.txt", {"an earlier spectrum"}), Status::Ok);
            est::DirectionalSpectrum out;
            est::RunReport report;
            EXPECT_FALSE(est::estimate(m, args, folder, out, report));
            EXPECT_NE(report.failure.find(c.reason), std::string::npos) << report.failure;
            EXPECT_EQ(est::runEstimatorProgram(m, args, folder), 1);
            std::vector<std::string> lines;
            ASSERT_EQ(readTextLines(folder + "/nr40g.txt", lines), Status::Ok);
            EXPECT_EQ(lines, std::vector<std::string>{"NaN"});
        }
    }
}

// Array sensors and channels that are not wave sensors are left out with a
// note; the estimate goes on with pressure and currents.
TEST_F(EstimatorRun, LeavesOutArraySensorsWithANote)
{
    const synth::GeneratorOptions o = sea(315.0, 10.0, {1, 2, 3, 48, 6});
    const std::string master = writeMaster(o);
    Site site;
    site.kinds = {1, 2, 3, 48, 6};
    writeBdmParameters(site, {4, 5});
    est::DirectionalSpectrum out;
    est::RunReport report;
    ASSERT_TRUE(est::estimate(Method::Bdm, arguments(site, master), folder, out, report)) << report.failure;
    ASSERT_EQ(report.notes.size(), 2u);
    EXPECT_NE(report.notes[0].find("array sensor"), std::string::npos);
    EXPECT_NE(report.notes[1].find("not a wave sensor"), std::string::npos);
}

// With the level included (options bit 0x08) it joins the estimate and
// gives the frequency spectrum; a listed level the options exclude is left
// out with a note.
TEST_F(EstimatorRun, IncludesTheLevelOnlyWhenTheOptionsSaySo)
{
    const std::string master = writeMaster(sea(200.0, 10.0, {1, 2, 3, 4}));
    Site site;
    site.kinds = {1, 2, 3, 4};
    site.level = true;
    for (int options : {0x0C, 0x04}) {
        for (Method m : {Method::Emep, Method::Bdm}) {
            m == Method::Emep ? writeEmepParameters(site) : writeBdmParameters(site);
            est::DirectionalSpectrum out;
            est::RunReport report;
            ASSERT_TRUE(est::estimate(m, arguments(site, master, 1, options), folder, out, report)) << report.failure;
            EXPECT_EQ(report.notes.size(), options == 0x04 ? 1u : 0u);
            ASSERT_EQ(est::runEstimatorProgram(m, arguments(site, master, 1, options), folder), 0);
            EXPECT_LT(angleError(Nr40g::read(folder + "/nr40g.txt").meanDirection(), 200.0), 3.0);
        }
    }
}

// bayes2 takes each current component's axis from its parameter line:
// swapped axes mirror the sea about the 45-degree line.
TEST_F(EstimatorRun, Bayes2TakesTheCurrentAxesFromItsParameterLines)
{
    const std::string master = writeMaster(sea(200.0, 75.0));
    const Site site;
    writeBdmParameters(site);
    std::vector<std::string> lines;
    ASSERT_EQ(readTextLines(folder + "/bayes2.ini", lines), Status::Ok);
    setField(lines[4], 31, 10, "90.0");  // channel 2 (X) said to lie along Y
    setField(lines[5], 31, 10, "0.0");
    ASSERT_EQ(writeTextLines(folder + "/bayes2.ini", lines), Status::Ok);
    ASSERT_EQ(est::runEstimatorProgram(Method::Bdm, arguments(site, master), folder), 0);
    EXPECT_LT(angleError(Nr40g::read(folder + "/nr40g.txt").meanDirection(), 250.0), 3.0);
}

// The built programs, black-box: installed by the installation step, they
// find their folder as the current folder (as the processing program starts
// them) or through VARENTA_HOME, write nr40g.txt there and say why on
// standard error when they cannot.
TEST_F(EstimatorRun, InstalledProgramsRunFromTheirFolder)
{
    const fs::path built = fs::path(VARENTA_BINARY_DIR) / "programdata";
    for (const char* name : {"emep2", "bayes2"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(fs::exists(built / name)) << "build the programdata target";
        ASSERT_TRUE(fs::exists(built / (std::string(name) + ".org")));
        const std::string master = writeMaster(sea(30.0, 75.0));
        const Site site;
        std::string name2(name);
        name2 == "emep2" ? writeEmepParameters(site) : writeBdmParameters(site);
        for (bool good : {true, false}) {
            std::string cmd = good ? "cd '" + folder + "' && env -u VARENTA_HOME '" + (built / name).string() + "'"
                                   : "VARENTA_HOME='" + folder + "' '" + (built / name).string() + "'";
            for (const std::string& a : arguments(site, master, good ? 1 : 1025))
                cmd += " '" + a + "'";
            cmd += " 2>'" + folder + "/err.txt'";
            const int rc = std::system(cmd.c_str());
            ASSERT_TRUE(WIFEXITED(rc));
            EXPECT_EQ(WEXITSTATUS(rc), good ? 0 : 1);
            const Nr40g g = Nr40g::read(folder + "/nr40g.txt");
            EXPECT_EQ(g.failed, !good);
            if (good) {
                EXPECT_LT(angleError(g.meanDirection(), 30.0), 3.0);
            }
            std::string err;
            ASSERT_EQ(readFileBytes(folder + "/err.txt", err), Status::Ok);
            EXPECT_EQ(err.empty(), good) << err;
            if (!good) {
                EXPECT_EQ(err.rfind(name2 + ": ", 0), 0u) << err;
            }
        }
    }
}

}  // namespace
