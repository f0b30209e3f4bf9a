// The export for analysis: the NetCDF file read back with Debian's netCDF4
// for Python against the master pair, the CSV files, and damaged inputs
// through the nrexport program.
#include "tolv/publish/analysisexport.h"

#include "common/installdata.h"
#include "common/textfile.h"
#include "tools/synth/synth.h"

#include <gtest/gtest.h>
#include <netcdf.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace varenta;

namespace {

// Runs a command line; its exit status and what it printed (both streams).
int run(const std::string& cmd, std::string& output)
{
    output.clear();
    std::FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!p)
        return -1;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p))
        output += buf;
    const int st = ::pclose(p);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

}  // namespace

// A program folder with the shipped tables and a generated 48-burst master
// pair (measurement 7 never recorded, 1 % of the samples missing).
class AnalysisExport : public ::testing::Test {
protected:
    fs::path dir;
    ExportTables tables;
    synth::GeneratorOptions o;

    void SetUp() override
    {
        static int n = 0;
        dir = fs::temp_directory_path() / ("varenta_export_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
        fs::remove_all(dir);
        fs::create_directories(dir / "out");
        ASSERT_EQ(installProgramData(std::string(VARENTA_SOURCE_DIR) + "/data", dir.string()), Status::Ok);
        fs::copy_file(dir / "tolvi.org", dir / "tolvi.ini");
        std::string msg;
        ASSERT_EQ(loadExportTables(dir.string(), tables, &msg), Status::Ok) << msg;
        o.plan.bursts = 48;
        o.plan.durationMinutes = 10;
        o.faults.gaps = {7};
        o.faults.missingFraction = 0.01;
        o.fidelity = synth::Fidelity::Cheap;
        o.factors = synth::ChannelFactors::fromTable(tables.channels);
        ASSERT_EQ(synth::writeMasterPair(dir.string(), "NR012", o), Status::Ok);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string master() const { return (dir / "NR012M.H10").string(); }
};

TEST_F(AnalysisExport, NetcdfReadsBackAsTheMasterPairSays)
{
    for (const double offset : {0.0, 9.0}) {
        ExportRequest req;
        req.masterPath = master();
        req.utcOffsetHours = offset;
        const fs::path out = dir / "out" / "export.nc";
        const ExportResult r = exportNetcdf(req, tables, out.string());
        ASSERT_EQ(r.status, Status::Ok) << r.message;
        EXPECT_EQ(r.bursts, 47);
        EXPECT_EQ(r.skipped, 1);
        std::string said;
        const std::string check = "/usr/bin/python3 " + q(fs::path(VARENTA_SOURCE_DIR) / "tests/tolv/publish/readback_netcdf.py") +
                                  " " + q(out) + " " + q(master()) + " " + q(dir / "NR012L.H10") + " " +
                                  q(dir / "tolvf.org") + " " + std::to_string(offset);
        EXPECT_EQ(run(check, said), 0) << said;
        EXPECT_EQ(said, "ok\n");
    }
}

TEST_F(AnalysisExport, CsvHasOneFilePerBurstWithTimesUnitsAndEmptyMissingFields)
{
    ExportRequest req;
    req.masterPath = master();
    req.first = 5;
    req.last = 9;
    const ExportResult r = exportCsv(req, tables, (dir / "out").string());
    ASSERT_EQ(r.status, Status::Ok) << r.message;
    EXPECT_EQ(r.files.size(), 4u);  // 5, 6, 8, 9
    EXPECT_FALSE(fs::exists(dir / "out" / "NR012M-00007.csv"));

    std::vector<std::string> lines;
    ASSERT_EQ(readTextLines((dir / "out" / "NR012M-00008.csv").string(), lines), Status::Ok);
    const synth::Burst b = synth::generateBurst(o, 8);
    ASSERT_EQ(lines.size(), 1u + b.samplesPerChannel);
    EXPECT_EQ(lines[0], "time,pressure [cmH2O],current_x [cm s-1],current_y [cm s-1]");
    // Burst 8 starts 7 hours after 2026-05-06 10:00; samples every 0.5 s.
    EXPECT_EQ(lines[1].substr(0, 25), "2026-05-06T17:00:00.000Z,");
    EXPECT_EQ(lines[4].substr(0, 25), "2026-05-06T17:00:01.500Z,");
    int missingSeen = 0;
    for (int i = 0; i < b.samplesPerChannel; ++i) {
        std::string want = isoTime(headerEpochSeconds(decodeHeader(synth::makeMeasurementSectors(o, b)[0].data()), 0) + i * 0.5);
        for (std::size_t c = 0; c < 3; ++c) {
            const std::int16_t v = b.counts[c][static_cast<std::size_t>(i)];
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.1f", v * 0.1);
            want += "," + (v == -32768 ? std::string() : std::string(buf));
            missingSeen += v == -32768;
        }
        ASSERT_EQ(lines[static_cast<std::size_t>(i) + 1], want) << i;
    }
    EXPECT_GT(missingSeen, 0);
}

TEST_F(AnalysisExport, DamagedOrMissingInputFailsWithOneLineAndNoOutput)
{
    std::string bytes;
    ASSERT_EQ(readFileBytes(master(), bytes), Status::Ok);
    ASSERT_EQ(writeFileBytesAtomic((dir / "cutM.H10").string(), bytes.substr(0, 5000)), Status::Ok);
    ASSERT_EQ(writeFileBytesAtomic((dir / "zeroM.H10").string(), std::string(100 * 512, '\0')), Status::Ok);
    const std::string tool = std::string(VARENTA_BINARY_DIR) + "/nrexport";
    const struct {
        const char* input;
        const char* mode;
    } cases[] = {{"missingM.H10", ""}, {"cutM.H10", ""}, {"zeroM.H10", ""}, {"cutM.H10", "--csv "}};
    for (const auto& c : cases) {
        const fs::path in = dir / c.input;
        const fs::path out = std::string(c.mode).empty() ? dir / "out" / "x.nc" : dir / "out" / "csv";
        std::string said;
        EXPECT_EQ(run("VARENTA_HOME=" + q(dir) + " " + q(tool) + " " + c.mode + q(in) + " " + q(out), said), 1)
            << c.input;
        EXPECT_NE(said.find(in.string()), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_TRUE(fs::is_empty(dir / "out")) << c.input;
    }
    // Never over its own input.
    for (const char* target : {"NR012M.H10", "NR012L.H10"}) {
        ExportRequest req;
        req.masterPath = master();
        std::string before, after;
        ASSERT_EQ(readFileBytes((dir / target).string(), before), Status::Ok);
        EXPECT_EQ(exportNetcdf(req, tables, (dir / target).string()).status, Status::Refused) << target;
        ASSERT_EQ(readFileBytes((dir / target).string(), after), Status::Ok);
        EXPECT_TRUE(before == after) << target;
    }
    // The good file through the same program.
    std::string said;
    EXPECT_EQ(run("VARENTA_HOME=" + q(dir) + " " + q(tool) + " " + q(master()) + " " + q(dir / "out" / "x.nc"), said), 0)
        << said;
    EXPECT_TRUE(fs::exists(dir / "out" / "x.nc"));
}

TEST(IsoTime, UtcTextWithMilliseconds)
{
    const std::pair<double, const char*> cases[] = {
        {0.0, "1970-01-01T00:00:00.000Z"},
        {1709164800.25, "2024-02-29T00:00:00.250Z"},
        {1798761599.5, "2026-12-31T23:59:59.500Z"},
        {-0.5, "1969-12-31T23:59:59.500Z"},
    };
    for (const auto& [t, want] : cases)
        EXPECT_EQ(isoTime(t), want) << t;
}

// sample_time is packed into 32-bit whole intervals only when unpacking
// gives every sample time exactly.
TEST(SampleTimePacking, OnlyWhenExactForEverySample)
{
    const double t0 = 1778025600.0;  // 2026-05-06 00:00 UTC
    const auto hourly = [t0](int n, double dt) {
        std::vector<BurstClock> b;
        for (int i = 0; i < n; ++i)
            b.push_back({t0 + 3600.0 * i, dt});
        return b;
    };
    struct Case {
        const char* what;
        std::vector<BurstClock> bursts;
        int samples;
        bool packed;
    };
    std::vector<Case> cases = {
        {"hourly bursts at 0.5 s", hourly(48, 0.5), 2400, true},
        {"0.25 s and a clock set back", {{t0, 0.25}, {t0 - 86400.0, 0.25}, {t0 + 60.0, 0.25}}, 4800, true},
        {"0.1 s is no binary fraction", hourly(3, 0.1), 12000, false},
        {"a start off the grid", {{t0, 0.5}, {t0 + 3600.25, 0.5}}, 2400, false},
        {"intervals that differ", {{t0, 0.5}, {t0 + 3600.0, 1.0}}, 2400, false},
        {"a start a tenth of a second off", {{t0 + 0.1, 0.5}}, 2400, false},
        {"beyond 32 bits of intervals", {{t0, 1.0 / 1024}, {t0 + 86400.0 * 30, 1.0 / 1024}}, 2400, false},
        {"no bursts", {}, 2400, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SampleTimePacking p = sampleTimePacking(c.bursts, c.samples);
        ASSERT_EQ(p.packed, c.packed);
        if (!p.packed)
            continue;
        EXPECT_EQ(p.offset, c.bursts.front().start);
        EXPECT_EQ(p.scale, c.bursts.front().dt);
        // Unpacking, as a reader does it, gives the times to the bit.
        for (const BurstClock& b : c.bursts) {
            const double k = (b.start - p.offset) / p.scale;
            for (int i : {0, 1, c.samples - 1}) {
                const auto packed = static_cast<std::int32_t>(k) + i;
                EXPECT_EQ(packed * p.scale + p.offset, b.start + i * b.dt);
            }
        }
    }
}

// Enough bursts for several blocks, read by as many threads as the machine
// has cores: the bursts land in the file in their order, and a stop asked
// for at the second block leaves nothing behind.
TEST_F(AnalysisExport, ManyBlocksLandInOrderAndAStopLeavesNothing)
{
    o.plan.bursts = 300;
    o.plan.durationMinutes = 2;
    o.faults = {};
    o.faults.gaps = {100};
    ASSERT_EQ(synth::writeMasterPair(dir.string(), "NR013", o), Status::Ok);
    ExportRequest req;
    req.masterPath = (dir / "NR013M.H10").string();
    const std::string out = (dir / "out" / "many.nc").string();
    const ExportResult r = exportNetcdf(req, tables, out);
    ASSERT_EQ(r.status, Status::Ok) << r.message;
    ASSERT_EQ(r.bursts, 299);
    int id = -1, var = -1;
    ASSERT_EQ(nc_open(out.c_str(), NC_NOWRITE, &id), NC_NOERR);
    std::vector<int> numbers(299);
    std::vector<double> times(299);
    ASSERT_EQ(nc_inq_varid(id, "measurement_number", &var), NC_NOERR);
    ASSERT_EQ(nc_get_var_int(id, var, numbers.data()), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(id, "time", &var), NC_NOERR);
    ASSERT_EQ(nc_get_var_double(id, var, times.data()), NC_NOERR);
    nc_close(id);
    for (int b = 0; b < 299; ++b) {
        ASSERT_EQ(numbers[static_cast<std::size_t>(b)], b < 99 ? b + 1 : b + 2) << "burst " << b;
        if (b > 0) {
            ASSERT_GT(times[static_cast<std::size_t>(b)], times[static_cast<std::size_t>(b) - 1]) << "burst " << b;
        }
    }

    int polls = 0;
    Progress stopAtTheSecond;
    stopAtTheSecond.poll = [&polls] { return ++polls < 2; };
    const std::string stopped = (dir / "out" / "stopped.nc").string();
    const ExportResult s = exportNetcdf(req, tables, stopped, stopAtTheSecond);
    EXPECT_EQ(s.status, Status::Cancelled);
    EXPECT_EQ(polls, 2);
    for (const auto& e : fs::directory_iterator(dir / "out"))
        EXPECT_EQ(e.path().filename(), "many.nc") << "left behind: " << e.path();
}
