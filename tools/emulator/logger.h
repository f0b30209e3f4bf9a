#pragma once
// The logger as the PC sees it over the serial line: it takes the command
// packets the PC sends (wake-up byte, then 512 bytes summing to 0), answers
// them with echo and device-information packets, streams its recording
// memory and on-board results while waiting for the acknowledgement 0x06
// before each next packet, streams monitor packets, switches its line
// speed, and connects its modem through.  It records measurements on its
// own schedule and can inject faults into what it sends.
//
// This class is the logic only: time comes in as milliseconds from the
// caller (EmulatorRunner, or a test), bytes go out through an output queue.
#include "brenlo24/link/packet.h"
#include "common/clock.h"
#include "tools/emulator/recording.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace varenta::emu {

// Fault rates are per packet sent (0.01: one packet in a hundred).
struct FaultConfig {
    double noiseRate = 0;        // 1-3 bytes inside the packet replaced by noise
    double garbageRate = 0;      // 1-4 stray bytes on the line before a packet
    double corruptRate = 0;      // checksum byte altered
    double dropRate = 0;         // one byte of the packet lost
    double stallRate = 0;        // the packet stops for stallMs in the middle
    int stallMs = 300;
    double shortPacketRate = 0;  // a 20-byte 'R' packet before the packet
    int automaticEveryMs = 0;    // unsolicited automatic packet when idle
    std::uint32_t seed = 1;
};

struct EmulatorConfig {
    RecordingConfig recording;
    int prefillMeasurements = 3;   // measurements already in memory at power-on
    bool measuring = false;        // records on its schedule from power-on
    int startHour = 0, startMinute = 0;
    double timeScale = 1.0;        // logger clock rate (60: one minute per second)
    int lineSpeed = 38400;
    bool pace = false;             // send at the line speed (ten bits a byte)
    int ackTimeoutMs = -1;         // -1: packet time + 300 ms
    int maxResends = 3;            // then the stream ends
    int monitorPeriodMs = 500;
    bool modemFitted = true;
    FaultConfig faults;
};

struct EmulatorStats {
    std::size_t commands = 0;        // good command packets
    std::size_t badCommands = 0;     // command packets with a bad checksum
    std::size_t unknownCommands = 0;
    std::vector<std::uint8_t> codes; // command codes in arrival order
    std::size_t packetsSent = 0;
    std::size_t faultyPackets = 0;   // sent with a fault inside the packet
    std::size_t acks = 0;
    std::size_t acksForFaulty = 0;   // acknowledgements of a damaged packet (must stay 0)
    std::size_t strayAcks = 0;       // 0x06 while nothing waited for one
    std::size_t resends = 0;
    std::size_t streamsCompleted = 0;
    std::size_t streamsAbandoned = 0;
    std::size_t automaticSent = 0;
    std::size_t refused = 0;         // changes refused while measuring or waiting
    std::size_t resets = 0;          // restarts after a stored change
};

class LoggerEmulator {
public:
    LoggerEmulator(EmulatorConfig cfg, std::int64_t nowMs, const DateTime& clock);

    // Bytes from the PC.
    void receive(const std::uint8_t* data, std::size_t n, std::int64_t nowMs);
    // Runs the schedule, monitor, time-outs and automatic packets.
    void tick(std::int64_t nowMs);
    // When tick() next has something to do (-1: nothing pending).
    std::int64_t nextDeadline() const;

    // Output queue.  A chunk starts delayMs after the previous one ended.
    struct Chunk {
        std::vector<std::uint8_t> bytes;
        int delayMs = 0;
    };
    bool hasOutput() const { return !out_.empty(); }
    Chunk takeOutput();
    // The runner has put every queued byte on the line.
    void outputDrained(std::int64_t nowMs);

    int lineSpeed() const { return speed_; }
    bool pacing() const { return cfg_.pace; }
    // Called when the logger switches its line speed.
    std::function<void(int speed)> onSpeedChange;

    RecordingMemory& memory() { return mem_; }
    const RecordingMemory& memory() const { return mem_; }
    const EmulatorStats& stats() const { return stats_; }
    EmulatorConfig& config() { return cfg_; }
    DateTime loggerClock(std::int64_t nowMs) const;
    int state() const { return state_; }
    bool streaming() const { return !stream_.empty(); }
    bool monitoring() const { return monitoring_; }
    bool modemMode() const { return modemMode_; }
    const Packet& deviceInfo(bool ram) const { return ram ? ramInfo_ : nvInfo_; }
    const std::vector<Packet>& uploads() const { return uploads_; }
    // The text dumps of the two device-information images and of every
    // upload kept ("nv.tbl", "ram.tbl", "upload1.tbl" ...), for a caller
    // that writes them out.
    std::vector<std::pair<std::string, Packet>> tableDumps() const;
    std::uint32_t lastCollected() const { return lastCollected_; }

    // Builds the packets the logger sends (also used by tests).
    Packet statusPacket(std::uint8_t kind, std::int64_t nowMs) const;
    Packet resultLinePacket(int m) const;

private:
    struct StreamItem {
        std::uint8_t what;   // 0 memory sector, 1 binary result sector, 2 result line
        std::uint32_t index; // sector index or measurement number
    };

    void handleCommand(const Packet& p, std::int64_t nowMs);
    void handleModemByte(std::uint8_t b, std::int64_t nowMs);
    void onAck(std::int64_t nowMs);
    void transmit(const Packet& p, bool expectAck);
    void emitRaw(std::vector<std::uint8_t> bytes, int delayMs = 0);
    void sendStreamItem();
    Packet streamPacket(const StreamItem& it) const;
    void startCollection(const Packet& cmdPacket, bool results);
    void abortActivities();
    void advanceSchedule(std::int64_t nowMs);
    void setClockFrom(const Packet& p, std::int64_t nowMs);
    int ackTimeout() const;
    void buildDeviceInfo();
    bool refuseWhileBusy(std::int64_t nowMs);
    void restart();
    std::uint32_t measurementShown() const;

    EmulatorConfig cfg_;
    RecordingMemory mem_;
    EmulatorStats stats_;
    std::mt19937 rng_;
    std::deque<Chunk> out_;
    int speed_;
    // clock
    DateTime clockBase_;
    std::int64_t tickBase_;
    // schedule
    int state_ = 0x01;
    DateTime nextStart_{};
    // command input
    std::vector<std::uint8_t> cmd_;
    std::int64_t cmdStartMs_ = 0;
    // stream
    std::vector<StreamItem> stream_;
    std::size_t cursor_ = 0;
    bool awaitingAck_ = false;
    bool lastFaulty_ = false;
    int retries_ = 0;
    std::int64_t ackDeadline_ = -1;
    std::uint32_t lastCollected_ = 0;
    std::uint32_t pendingCollected_ = 0;
    // monitor
    bool monitoring_ = false;
    std::int64_t monitorNext_ = -1;
    int liveOffset_ = 0;
    // speed change after the queue drains
    int pendingSpeed_ = 0;
    // modem
    bool modemMode_ = false;
    std::string modemLine_;
    std::deque<std::pair<std::int64_t, std::string>> modemReplies_;
    // automatic packets
    std::int64_t automaticNext_ = -1;
    // device information
    Packet nvInfo_{};
    Packet ramInfo_{};
    std::vector<Packet> uploads_;
};

// Seconds added to a date and time, carrying across days, months, years.
DateTime addSeconds(DateTime t, long long seconds);

}  // namespace varenta::emu
