// The rewrites of the master file editors killed at random moments: every
// sector of every master file stays checksum-valid and is either the old or
// the new content, never a mix.
#include "common/test_settings_fixture.h"
#include "tolv/data/rawtable.h"
#include "tolv/shell/masteredit.h"
#include "tools/synth/generator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace varenta {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::TempFolder;

constexpr int kRuns = 20;

void writeBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// Starts the driver; kills it after delayUs unless it ended before; the
// exit status (-1 when killed).
int runDriver(const std::vector<std::string>& args, long long delayUs, bool kill)
{
    std::vector<std::string> all = {VARENTA_EDIT_DRIVER};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -2;
    if (kill) {
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every 'unit'-byte piece of got is the old or the new piece, and sectors sum to 0.
void expectOldOrNew(const std::string& got, const std::string& old, const std::string& fresh, std::size_t unit,
                    bool sectors, int run)
{
    ASSERT_EQ(got.size(), old.size()) << "run " << run;
    for (std::size_t at = 0; at < got.size(); at += unit) {
        const bool isOld = got.compare(at, unit, old, at, unit) == 0;
        const bool isNew = got.compare(at, unit, fresh, at, unit) == 0;
        ASSERT_TRUE(isOld || isNew) << "run " << run << " offset " << at;
        if (sectors) {
            ASSERT_TRUE(sectorSumOk(reinterpret_cast<const std::uint8_t*>(got.data()) + at)) << "run " << run;
        }
    }
}

struct KilledRewrites : ::testing::Test {
    TempFolder dir;
    synth::GeneratorOptions o;
    std::mt19937 rng{20261208};

    void generate(int bursts, int duration, int interval, int code, std::vector<int> channels)
    {
        o.plan.bursts = bursts;
        o.plan.durationMinutes = duration;
        o.plan.intervalMinutes = interval;
        o.plan.intervalCode = code;
        o.plan.channels = std::move(channels);
        o.fidelity = synth::Fidelity::Constant;
        std::string msg;
        ASSERT_EQ(synth::writeMasterPair(dir.path(), "NR012", o, nullptr, &msg), Status::Ok) << msg;
    }
    // Runs once to the end on a copy (the new content) and measures the time.
    long long reference(const std::function<std::vector<std::string>()>& args)
    {
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(runDriver(args(), 0, false), 0);
        return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
    }
    long long delay(long long span) { return std::uniform_int_distribution<long long>(0, span * 6 / 5)(rng); }
    std::string path(const std::string& n) const { return dir.file(n); }
};

TEST_F(KilledRewrites, DateUpdate)
{
    generate(12000, 1, 1, 0, {synth::code::pressure});
    const std::string m = path("NR012M.H10"), l = path("NR012L.H10");
    const std::string oldM = readBytes(m), oldL = readBytes(l);
    auto args = [&] { return std::vector<std::string>{"mdate", m, l, "1", "12000", "10/02/28 23:30"}; };
    const long long span = reference(args);
    const std::string newM = readBytes(m), newL = readBytes(l);
    ASSERT_NE(newM, oldM);
    int interrupted = 0;
    for (int run = 0; run < kRuns; ++run) {
        writeBytes(m, oldM);
        writeBytes(l, oldL);
        runDriver(args(), delay(span), true);
        const std::string gotM = readBytes(m), gotL = readBytes(l);
        expectOldOrNew(gotM, oldM, newM, 512, true, run);
        expectOldOrNew(gotL, oldL, newL, 392, false, run);
        interrupted += gotM != newM && gotM != oldM;
    }
    RecordProperty("interrupted", interrupted);
}

TEST_F(KilledRewrites, SizeChange)
{
    generate(600, 20, 60, 1, {synth::code::pressure, synth::code::currentX, synth::code::currentY});
    const std::string m = path("NR012M.H10"), stamped = path("NR012-stamped.H10");
    std::string oldM = readBytes(m);
    oldM += std::string(oldM.size() / 4, '\0');  // unused space after the last measurement
    writeBytes(m, oldM);
    const int S = sectorsFor(60 * 2 * 20 * 3, 3);
    auto args = [&] { return std::vector<std::string>{"resize", m, std::to_string(S), stamped}; };
    const long long span = reference(args);
    const std::string newM = readBytes(m);
    ASSERT_LT(newM.size(), oldM.size());
    for (int run = 0; run < kRuns; ++run) {
        fs::remove(stamped);
        fs::remove(m + ".~resize");
        writeBytes(m, oldM);
        runDriver(args(), delay(span), true);
        const std::string got = readBytes(m);
        ASSERT_TRUE(got == oldM || got == newM) << "run " << run << " size " << got.size();
        if (fs::exists(stamped)) {
            ASSERT_EQ(readBytes(stamped), oldM) << "run " << run;
        }
        if (got == newM) {
            ASSERT_TRUE(fs::exists(stamped)) << "run " << run;
        }
        expectOldOrNew(got, got, got, 512, true, run);
    }
}

TEST_F(KilledRewrites, RawSave)
{
    generate(3, 60, 60, 3, {1, 2, 3, 4, 5, 6, 7, 8, 12});
    const std::string m = path("NR012M.H10");
    const std::string oldM = readBytes(m);
    const synth::Burst b = synth::generateBurst(o, 2);
    Sector s{};
    encodeHeader(b.header, s.data());
    const MeasurementHeader h = decodeHeader(s.data());
    std::vector<std::vector<std::int16_t>> counts = b.counts;
    for (auto& ch : counts)
        for (std::size_t j = 0; j < ch.size(); j += 3)
            ch[j] = static_cast<std::int16_t>(ch[j] / 2 + 1);
    const ChannelTable table;
    std::vector<int> all(h.channelCount);
    std::iota(all.begin(), all.end(), 0);
    writeBytes(path("table.txt"), rawTableBody(RawTableInput{&h, &counts, &table, all, false}));
    auto args = [&] { return std::vector<std::string>{"rawsave", m, "2", path("table.txt")}; };
    const long long span = reference(args);
    const std::string newM = readBytes(m);
    ASSERT_NE(newM, oldM);
    for (int run = 0; run < kRuns; ++run) {
        writeBytes(m, oldM);
        runDriver(args(), delay(span), true);
        expectOldOrNew(readBytes(m), oldM, newM, 512, true, run);
    }
}

}  // namespace
}  // namespace varenta
