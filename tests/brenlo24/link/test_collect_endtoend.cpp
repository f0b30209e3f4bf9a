// Collection end to end: the PC side (port, receiver, collection writer)
// against the logger emulator over a pseudo-terminal.  The master file must
// be the logger's recording memory byte for byte, also on a faulty line;
// the processing program's loader opens it; result collection fills the
// binary result file and the result list; a stop and a refused write leave
// the logger unacknowledged.
#include "brenlo24/link/collection.h"
#include "brenlo24/link/link.h"
#include "brenlo24/link/newest.h"
#include "brenlo24/link/pollhost.h"
#include "common/serialposix.h"
#include "common/appstate.h"
#include "common/initfile.h"
#include "common/installdata.h"
#include "common/masterfile.h"
#include "common/prompter.h"
#include "common/textfile.h"
#include "linkfixture.h"
#include "tolv/data/session.h"
#include "tools/emulator/runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

using namespace varenta;
using namespace varenta::emu;
using namespace varenta::test;
namespace fs = std::filesystem;

namespace {

// The collection writer as the window uses it.
class WriterHandler final : public PacketHandler {
public:
    explicit WriterHandler(CollectionConfig cfg) : writer(std::move(cfg)) {}
    PacketWriter writer;
    StoreOutcome last;
    std::vector<std::string> errors;
    LinkHost* host = nullptr;
    Status storePacket(const Packet& p, const StatusRecord& current) override
    {
        const Status st = writer.store(p, current.modelCode(), last);
        if (st != Status::Ok) {
            errors.push_back(last.error);
            if (host)
                host->showStatus(last.error);
        }
        return st;
    }
};

struct Pc {
    PosixSerialPort port;
    SerialLine line{port};
    PollHost host{port};
    DeviceLink link{line, host};
    WriterHandler handler;
    CommandParameters par;

    Pc(const std::string& folder, int numberField = 4) : handler(CollectionConfig{folder, 0, numberField})
    {
        host.attach(&link);
        handler.host = &host;
        link.setHandler(&handler);
        link.setDumpFolder(folder);
        link.setParameters([this] { return par; });
    }
    void open(const std::string& path, int speed)
    {
        ASSERT_EQ(port.open(path, speed), Status::Ok) << port.lastError();
        link.setLineSpeed(speed);
        link.flushAndRearm();
    }
    // Sends a collection command and serves the line until the time-out ends the run.
    void collect(const char* code, std::int32_t first, std::int32_t last, int limitMs = 120000)
    {
        par.firstNumber = first;
        par.lastNumber = last;
        ASSERT_EQ(link.sendCommand(code, sendmode::kArmTimeout), DeviceLink::SendResult::Sent);
        ASSERT_TRUE(host.runUntil([&] { return !host.timerRunning(); }, limitMs)) << host.status();
    }
};

EmulatorConfig logger(int measurements)
{
    EmulatorConfig cfg;
    cfg.recording.durationMinutes = 1;  // 0.5 s, three channels: two sectors each
    cfg.recording.intervalMinutes = 10;
    cfg.recording.measureFlags = 1;
    cfg.recording.cheapSynthesis = true;
    cfg.prefillMeasurements = measurements;
    cfg.lineSpeed = 115200;
    return cfg;
}

std::string bytesOf(const std::string& path)
{
    std::string s;
    if (fs::exists(path))
        readFileBytes(path, s);
    return s;
}

// Sectors of the file that differ from the image (where the file has them).
std::vector<std::size_t> differingSectors(const std::string& file, const std::string& image)
{
    std::vector<std::size_t> bad;
    for (std::size_t off = 0; off + 512 <= file.size(); off += 512) {
        const std::string_view s(file.data() + off, 512);
        if (s == std::string(512, '\0'))
            continue;  // not collected (yet)
        if (off + 512 > image.size() || s != std::string_view(image.data() + off, 512))
            bad.push_back(off / 512);
    }
    return bad;
}

std::size_t missingSectors(const std::string& file, const std::string& image)
{
    std::size_t n = 0;
    for (std::size_t off = 0; off + 512 <= image.size(); off += 512)
        if (off + 512 > file.size() || std::memcmp(file.data() + off, image.data() + off, 512) != 0)
            ++n;
    return n;
}

// The processing program's loader on a program folder with the shipped data.
struct Loader {
    Settings settings;
    RuntimeState state;
    StartOptions start;
    InitStore init;
    DataSet data;
    StatusPanels panels;
    ScriptedPrompter prompter;
    ManualClock clock{DateTime{2026, 5, 6, 12, 0, 0}};
    DataSession session;
    explicit Loader(const std::string& folder)
        : init(settings, state, start, folder), session(settings, state, init, data, panels, prompter, clock)
    {
    }
};

}  // namespace

TEST(CollectEndToEnd, MasterFileIsTheLoggersMemory)
{
    const std::string dir = scratchFolder("cee_master");
    ASSERT_EQ(installProgramData(std::string(VARENTA_SOURCE_DIR) + "/data", dir), Status::Ok);
    EmulatorRunner emu(logger(25));
    ASSERT_EQ(emu.openPty(), Status::Ok) << emu.error();
    emu.start();
    Pc pc(dir);
    pc.open(emu.slavePath(), 115200);
    pc.collect("54", 0, 0);
    EXPECT_EQ(pc.host.status(), "回収終了");
    const std::string image = emu.memoryImage();
    const std::string master = dir + "/nr255m.h10";
    const std::string file = bytesOf(master);
    ASSERT_EQ(file.size(), image.size());
    EXPECT_TRUE(file == image) << "the master file differs from the logger's memory";
    EXPECT_EQ(pc.link.counters().acks, 50u);
    EXPECT_EQ(emu.stats().acksForFaulty, 0u);

    // Collecting a part again (measurements 10-12) leaves the file as it is.
    pc.collect("54", 10, 12);
    EXPECT_TRUE(bytesOf(master) == image);

    // The header search finds the newest measurement ...
    const NewestSearch found = findNewestMeasurement(master, -1, Progress{});
    EXPECT_EQ(found.status, Status::Ok);
    EXPECT_EQ(found.sectorsPerMeasurement, 2);
    EXPECT_EQ(found.newestNumber, 25u);

    // ... and so does the processing program's loader.
    Loader tolv(dir);
    ASSERT_EQ(tolv.session.loadDataSet(master), Status::Ok) << tolv.panels.status;
    EXPECT_EQ(tolv.data.latestNumber, 25);
    EXPECT_EQ(tolv.data.currentNumber, 25);
    EXPECT_EQ(tolv.data.header.machineNumber, 255);
    const DateTime last = emu.with([](LoggerEmulator& l) { return l.memory().startOf(25); });
    EXPECT_EQ(tolv.data.header.hour, last.hour);
    EXPECT_EQ(tolv.data.header.minute, last.minute);
    ASSERT_EQ(tolv.session.selectMeasurement(7, true), Status::Ok);
    EXPECT_EQ(tolv.data.header.measurementNumber, 7);
    emu.stop();
    fs::remove_all(dir);
}

TEST(CollectEndToEnd, ResultCollectionFillsBothResultFiles)
{
    const std::string dir = scratchFolder("cee_results");
    ASSERT_EQ(installProgramData(std::string(VARENTA_SOURCE_DIR) + "/data", dir), Status::Ok);
    const std::string templ = bytesOf(dir + "/Brenloid.txt");
    ASSERT_EQ(templ.size(), 784u);
    EmulatorRunner emu(logger(12));
    ASSERT_EQ(emu.openPty(), Status::Ok);
    emu.start();
    Pc pc(dir);
    pc.open(emu.slavePath(), 115200);

    // Only measurement 12 first: the list is made from the template and
    // the line goes to 5096.
    pc.collect("16", 12, 12);
    std::string list = bytesOf(dir + "/nr255r.txt");
    ASSERT_EQ(list.size(), 5096u + 392u);
    EXPECT_EQ(list.substr(0, 784), templ);
    const std::string line12 = emu.with([](LoggerEmulator& l) { return l.memory().resultLine(12); });
    EXPECT_EQ(list.substr(5096), line12);

    pc.collect("16", 0, 0);
    EXPECT_EQ(pc.host.status(), "回収終了");
    list = bytesOf(dir + "/nr255r.txt");
    ASSERT_EQ(list.size(), 784u + 12u * 392u);
    const std::string binary = bytesOf(dir + "/nr255r.h10");
    ASSERT_EQ(binary.size(), 12u * 512u);
    for (int m = 1; m <= 12; ++m) {
        const auto [sector, line] = emu.with([m](LoggerEmulator& l) {
            return std::make_pair(l.memory().resultSector(m), l.memory().resultLine(m));
        });
        EXPECT_EQ(list.substr(392u * static_cast<std::size_t>(m + 1), 392), line) << m;
        const std::uint32_t number = getU32(sector.data(), 4);
        EXPECT_EQ(std::memcmp(binary.data() + 512u * number, sector.data(), 512), 0) << m;
    }
    EXPECT_FALSE(fs::exists(dir + "/nr255m.h10"));
    emu.stop();
    fs::remove_all(dir);
}

TEST(CollectEndToEnd, FaultyLineNeverPutsABadSectorOnDisk)
{
    const std::string dir = scratchFolder("cee_faults");
    EmulatorConfig cfg = logger(150);  // 300 sectors
    cfg.faults.noiseRate = 0.01;
    cfg.faults.corruptRate = 0.01;
    cfg.faults.dropRate = 0.01;
    cfg.faults.seed = 777;
    cfg.ackTimeoutMs = 60;
    cfg.maxResends = 0;  // the first fault ends the logger's stream
    EmulatorRunner emu(cfg);
    ASSERT_EQ(emu.openPty(), Status::Ok);
    emu.start();
    Pc pc(dir);
    pc.open(emu.slavePath(), 115200);
    const std::string image = emu.memoryImage();
    const std::string master = dir + "/nr255m.h10";

    pc.collect("54", 0, 0);
    std::string file = bytesOf(master);
    EXPECT_TRUE(differingSectors(file, image).empty());
    const std::size_t missedFirst = missingSectors(file, image);
    EXPECT_GT(missedFirst, 0u) << "the first run was meant to be cut short by a fault";

    // Later runs with resends fill whatever the first one missed.
    emu.with([](LoggerEmulator& l) {
        l.config().maxResends = 5;
        return 0;
    });
    for (int run = 0; run < 4 && missingSectors(file, image) > 0; ++run) {
        pc.collect("54", 0, 0);
        file = bytesOf(master);
        EXPECT_TRUE(differingSectors(file, image).empty()) << "run " << run;
    }
    EXPECT_EQ(missingSectors(file, image), 0u);
    EXPECT_TRUE(file == image);
    const EmulatorStats st = emu.stats();
    EXPECT_GT(st.faultyPackets, 0u);
    EXPECT_EQ(st.acksForFaulty, 0u);
    EXPECT_GT(pc.link.counters().errorPackets + pc.link.counters().dropped, 0u);
    emu.stop();
    fs::remove_all(dir);
}

TEST(CollectEndToEnd, StopWritesTheCurrentPacketWithoutAcknowledging)
{
    const std::string dir = scratchFolder("cee_stop");
    EmulatorConfig cfg = logger(40);
    cfg.lineSpeed = 38400;
    cfg.pace = true;  // 138 ms a packet: time to ask for the stop mid-run
    cfg.maxResends = 1;
    EmulatorRunner emu(cfg);
    ASSERT_EQ(emu.openPty(), Status::Ok);
    emu.start();
    Pc pc(dir);
    pc.open(emu.slavePath(), 38400);
    pc.par.firstNumber = 0;
    ASSERT_EQ(pc.link.sendCommand("54", sendmode::kArmTimeout), DeviceLink::SendResult::Sent);
    ASSERT_TRUE(pc.host.runUntil([&] { return pc.handler.writer.counters().sectors >= 5; }, 10000));
    pc.link.requestStop();
    const std::size_t acksAtStop = pc.link.counters().acks;
    ASSERT_TRUE(pc.host.runUntil([&] { return !pc.host.timerRunning(); }, 20000));
    EXPECT_EQ(pc.host.status(), "回収終了");

    // The packet after the request was stored (and stored again when the
    // logger repeated it), never acknowledged; the logger gave up.
    EXPECT_EQ(pc.link.counters().acks, acksAtStop);
    const EmulatorStats st = emu.stats();
    EXPECT_EQ(st.acks, acksAtStop);
    EXPECT_EQ(st.streamsAbandoned, 1u);
    const std::string file = bytesOf(dir + "/nr255m.h10");
    const std::string image = emu.memoryImage();
    ASSERT_EQ(file.size(), (acksAtStop + 1) * 512);
    EXPECT_TRUE(file == image.substr(0, file.size()));
    EXPECT_EQ(pc.handler.writer.counters().sectors, acksAtStop + 2);  // the last one twice
    emu.stop();
    fs::remove_all(dir);
}

TEST(CollectEndToEnd, RefusedWriteIsNotAcknowledgedAndTheLoggerResends)
{
    const std::string dir = scratchFolder("cee_refused");
    fs::create_directories(dir + "/nr255m.h10");  // the master file cannot be written
    EmulatorConfig cfg = logger(3);
    cfg.ackTimeoutMs = 50;
    cfg.maxResends = 3;
    EmulatorRunner emu(cfg);
    ASSERT_EQ(emu.openPty(), Status::Ok);
    emu.start();
    Pc pc(dir);
    pc.open(emu.slavePath(), 115200);
    pc.collect("54", 0, 0);
    const EmulatorStats st = emu.stats();
    EXPECT_EQ(st.acks, 0u);
    EXPECT_EQ(pc.link.counters().acks, 0u);
    EXPECT_EQ(st.resends, 3u);
    EXPECT_EQ(st.streamsAbandoned, 1u);
    ASSERT_EQ(pc.handler.errors.size(), 4u);
    EXPECT_EQ(pc.handler.errors[0], "ファイル書込み不可 nr255m.h10");
    // the error was on the status line until the time-out
    const auto& log = pc.host.statusLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "ファイル書込み不可 nr255m.h10"), log.end());
    EXPECT_EQ(pc.host.status(), "受信タイムアウト");
    EXPECT_TRUE(fs::is_directory(dir + "/nr255m.h10"));

    // Once the disk takes it, the same logger's data arrive whole.
    fs::remove_all(dir + "/nr255m.h10");
    pc.collect("54", 0, 0);
    EXPECT_TRUE(bytesOf(dir + "/nr255m.h10") == emu.memoryImage());
    emu.stop();
    fs::remove_all(dir);
}
