// nremu: an NR-6xx logger on a serial line, for using and testing the
// communication program without an instrument.
//
//   nremu [options]            creates a pseudo-terminal pair and prints the
//                              path the communication program opens
//                              (BRENLO24_COM1=<path> brenlo24)
//   nremu --device /dev/ttyUSB0 ...   serves a real serial port instead
//
// Runs until interrupted.
#include "common/cliinfo.h"
#include "brenlo24/link/packetdump.h"
#include "common/serialport.h"
#include "tools/emulator/runner.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

using namespace varenta;
using namespace varenta::emu;

namespace {

std::atomic<bool> g_stop{false};
void onSignal(int) { g_stop = true; }

const char* const kUsage =
    "usage: nremu [options]\n"
    "Emulates a logger on a pseudo-terminal (or a given terminal device) and speaks its\n"
    "packet protocol; the device path is printed on standard output.\n"
    "  --device PATH      serve this terminal device instead of a new pseudo-terminal\n"
    "  --speed N          line speed (default 38400)\n"
    "  --pace             send at the line speed (ten bits a byte)\n"
    "  --machine N        machine number (default 255)\n"
    "  --model N          model code (default 60)\n"
    "  --prefill N        measurements in memory at start (default 3)\n"
    "  --measuring        record on the schedule from the start\n"
    "  --start H:M        schedule phase (start hour and minute)\n"
    "  --duration MIN     burst length in minutes (default 20)\n"
    "  --interval MIN     minutes between bursts (default 60)\n"
    "  --sample CODE      sample interval code 0..3 (1.0, 0.5, 0.2, 0.1 s; default 1)\n"
    "  --scale X          logger clock rate (60: one minute a second)\n"
    "  --wave H,T         wave height (m) and period (s) of the recorded sea\n"
    "  --noise R --garbage R --corrupt R --drop R --short R   fault rates per packet\n"
    "  --stall R,MS       stall rate and length\n"
    "  --auto MS          an unsolicited automatic packet every MS when idle\n"
    "  --seed N           fault seed\n"
    "  --ack-timeout MS   wait for an acknowledgement before resending (default: packet time + 300)\n"
    "  --resends N        resends of an unacknowledged packet before the stream ends (default 3)\n"
    "  --image PATH       on exit, write the recording memory (what a collection copies) to PATH\n"
    "  --tables DIR       on exit, write the device-information images (nv.tbl, ram.tbl) and\n"
    "                     every table upload kept (upload1.tbl ...) to DIR as packet dumps\n"
    "  --modem-absent     the logger has no modem (\"55\" is refused)\n"
    "  --trace            hex trace of the line on standard error\n";

void usage() { std::cout << kUsage; }

}  // namespace

int main(int argc, char** argv)
{
    if (varenta::answerInfoOption(argc, argv, "nremu", kUsage))
        return 0;
    EmulatorConfig cfg;
    std::string device;
    std::string imagePath;
    std::string tablesDir;
    bool traceLine = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "nremu: " << a << " needs a value\n";
                std::exit(2);
            }
            return argv[++i];
        };
        auto num = [&]() { return std::atof(next().c_str()); };
        if (a == "--device") device = next();
        else if (a == "--speed") cfg.lineSpeed = static_cast<int>(num());
        else if (a == "--pace") cfg.pace = true;
        else if (a == "--machine") cfg.recording.machineNumber = static_cast<int>(num());
        else if (a == "--model") cfg.recording.modelCode = static_cast<int>(num());
        else if (a == "--prefill") cfg.prefillMeasurements = static_cast<int>(num());
        else if (a == "--measuring") cfg.measuring = true;
        else if (a == "--start") {
            const std::string v = next();
            if (std::sscanf(v.c_str(), "%d:%d", &cfg.startHour, &cfg.startMinute) != 2) {
                std::cerr << "nremu: --start wants H:M\n";
                return 2;
            }
        }
        else if (a == "--duration") cfg.recording.durationMinutes = static_cast<int>(num());
        else if (a == "--interval") cfg.recording.intervalMinutes = static_cast<int>(num());
        else if (a == "--sample") cfg.recording.measureFlags = static_cast<int>(num()) & 3;
        else if (a == "--scale") cfg.timeScale = num();
        else if (a == "--wave") {
            const std::string v = next();
            if (std::sscanf(v.c_str(), "%lf,%lf", &cfg.recording.waveHeightM, &cfg.recording.wavePeriodS) != 2) {
                std::cerr << "nremu: --wave wants H,T\n";
                return 2;
            }
        }
        else if (a == "--noise") cfg.faults.noiseRate = num();
        else if (a == "--garbage") cfg.faults.garbageRate = num();
        else if (a == "--corrupt") cfg.faults.corruptRate = num();
        else if (a == "--drop") cfg.faults.dropRate = num();
        else if (a == "--short") cfg.faults.shortPacketRate = num();
        else if (a == "--stall") {
            const std::string v = next();
            if (std::sscanf(v.c_str(), "%lf,%d", &cfg.faults.stallRate, &cfg.faults.stallMs) < 1) {
                std::cerr << "nremu: --stall wants R,MS\n";
                return 2;
            }
        }
        else if (a == "--auto") cfg.faults.automaticEveryMs = static_cast<int>(num());
        else if (a == "--seed") cfg.faults.seed = static_cast<std::uint32_t>(num());
        else if (a == "--ack-timeout") cfg.ackTimeoutMs = static_cast<int>(num());
        else if (a == "--resends") cfg.maxResends = static_cast<int>(num());
        else if (a == "--image") imagePath = next();
        else if (a == "--tables") tablesDir = next();
        else if (a == "--modem-absent") cfg.modemFitted = false;
        else if (a == "--trace") traceLine = true;
        else if (a == "-h" || a == "--help") {
            usage();
            return 0;
        } else {
            std::cerr << "nremu: unknown option " << a << "\n";
            usage();
            return 2;
        }
    }
    if (cfg.recording.durationMinutes < 1 || cfg.recording.durationMinutes > 60 || cfg.recording.intervalMinutes < 1 ||
        cfg.lineSpeed <= 0 || cfg.timeScale <= 0) {
        std::cerr << "nremu: duration must be 1-60 minutes, interval and speed positive\n";
        return 2;
    }

    EmulatorRunner runner(cfg);
    const Status st = device.empty() ? runner.openPty() : runner.openDevice(device);
    if (st != Status::Ok) {
        std::cerr << "nremu: " << runner.error() << "\n";
        return 1;
    }
    if (traceLine)
        runner.trace = [](char dir, const std::uint8_t* p, std::size_t n) {
            std::cerr << hexTraceText(dir, p, n) << "\n";
        };
    std::cout << runner.slavePath() << std::endl;
    std::cerr << "nremu: logger " << cfg.recording.machineNumber << " (model " << cfg.recording.modelCode
              << ") on " << runner.slavePath() << " at " << cfg.lineSpeed << " bit/s, "
              << runner.with([](LoggerEmulator& l) { return l.memory().measurementCount(); })
              << " measurements recorded" << std::endl;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    runner.run(g_stop);
    const EmulatorStats s = runner.stats();
    std::cerr << "nremu: " << s.commands << " commands, " << s.packetsSent << " packets sent, " << s.acks
              << " acknowledged, " << s.resends << " resent, " << s.refused << " changes refused, " << s.resets
              << " restarts" << std::endl;
    if (!tablesDir.empty()) {
        const auto dumps = runner.with([](LoggerEmulator& l) { return l.tableDumps(); });
        for (const auto& [name, packet] : dumps)
            if (writePacketDump(tablesDir + "/" + name, packet) != Status::Ok) {
                std::cerr << "nremu: cannot write " << tablesDir << "/" << name << "\n";
                return 1;
            }
        std::cerr << "nremu: " << dumps.size() << " tables written to " << tablesDir << std::endl;
    }
    if (!imagePath.empty()) {
        const std::string image = runner.memoryImage();
        std::FILE* f = std::fopen(imagePath.c_str(), "wb");
        if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size() || std::fclose(f) != 0) {
            std::cerr << "nremu: cannot write " << imagePath << "\n";
            return 1;
        }
        std::cerr << "nremu: memory image (" << image.size() << " bytes) written to " << imagePath << std::endl;
    }
    return 0;
}
