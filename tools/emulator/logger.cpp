#include "tools/emulator/logger.h"

#include "brenlo24/link/statusrecord.h"
#include "common/bytes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace varenta::emu {

namespace {

constexpr std::uint32_t kCapacitySectors = 4194304;  // a 2 GiB card
constexpr int kCommandGapMs = 1000;                  // a command packet that stops this long is dropped

long long secondsKey(const DateTime& t)
{
    return daysFromCivil(t.year, t.month, t.day) * 86400LL + t.hour * 3600LL + t.minute * 60LL + t.second;
}

}  // namespace

DateTime addSeconds(DateTime t, long long seconds)
{
    long long total = t.second + seconds;
    long long minutes = total >= 0 ? total / 60 : -((-total + 59) / 60);
    const int sec = static_cast<int>(total - minutes * 60);
    t.second = 0;
    DateTime r = addMinutes(t, minutes);
    r.second = sec;
    return r;
}

LoggerEmulator::LoggerEmulator(EmulatorConfig cfg, std::int64_t nowMs, const DateTime& clock)
    : cfg_(std::move(cfg)), mem_(cfg_.recording), rng_(cfg_.faults.seed), speed_(cfg_.lineSpeed), clockBase_(clock),
      tickBase_(nowMs)
{
    clockBase_.millisecond = 0;
    if (cfg_.prefillMeasurements > 0)
        mem_.prefill(cfg_.prefillMeasurements, clockBase_);
    if (cfg_.measuring) {
        state_ = kStateWaiting;
        const int interval = std::max(1, cfg_.recording.intervalMinutes);
        const int phase = (cfg_.startHour * 60 + cfg_.startMinute) % interval;
        DateTime day = clockBase_;
        day.hour = day.minute = day.second = 0;
        const int nowMin = clockBase_.hour * 60 + clockBase_.minute;
        int next = (nowMin / interval) * interval + phase;
        if (nowMin * 60 + clockBase_.second > next * 60)
            next += interval;
        nextStart_ = addMinutes(day, next);
    }
    buildDeviceInfo();
    if (cfg_.faults.automaticEveryMs > 0)
        automaticNext_ = nowMs + cfg_.faults.automaticEveryMs;
}

DateTime LoggerEmulator::loggerClock(std::int64_t nowMs) const
{
    const double ms = static_cast<double>(nowMs - tickBase_) * cfg_.timeScale;
    const long long whole = static_cast<long long>(ms / 1000.0);
    DateTime t = addSeconds(clockBase_, whole);
    t.millisecond = static_cast<int>(ms - whole * 1000.0);
    return t;
}

int LoggerEmulator::ackTimeout() const
{
    if (cfg_.ackTimeoutMs >= 0)
        return cfg_.ackTimeoutMs;
    return transmissionPauseMs(speed_) + 300;
}

std::uint32_t LoggerEmulator::measurementShown() const
{
    const auto n = static_cast<std::uint32_t>(mem_.measurementCount());
    return (state_ & kStateMeasuring) ? n + 1 : n;
}

Packet LoggerEmulator::statusPacket(std::uint8_t kind, std::int64_t nowMs) const
{
    const RecordingConfig& rc = mem_.config();
    Packet p{};
    p[0] = kPacketMarker;
    p[1] = static_cast<std::uint8_t>(rc.machineNumber);
    p[2] = kind;
    const DateTime t = loggerClock(nowMs);
    p[8] = static_cast<std::uint8_t>(t.second);
    p[9] = static_cast<std::uint8_t>(t.minute);
    p[10] = static_cast<std::uint8_t>(t.hour);
    p[11] = static_cast<std::uint8_t>(t.day);
    p[12] = static_cast<std::uint8_t>(t.month);
    p[13] = static_cast<std::uint8_t>(t.year % 100);
    p[14] = static_cast<std::uint8_t>(rc.durationMinutes);
    p[15] = static_cast<std::uint8_t>(rc.intervalMinutes);
    p[16] = static_cast<std::uint8_t>(rc.measureFlags);
    p[17] = static_cast<std::uint8_t>(state_);
    const std::size_t used = mem_.sectors().size();
    putU16(p.data(), 24, static_cast<unsigned>(std::min<std::size_t>(10000, used * 10000 / kCapacitySectors)));
    if (state_ & (kStateWaiting | kStateMeasuring)) {
        p[26] = static_cast<std::uint8_t>(nextStart_.minute);
        p[27] = static_cast<std::uint8_t>(nextStart_.hour);
    } else {
        p[26] = static_cast<std::uint8_t>(cfg_.startMinute);
        p[27] = static_cast<std::uint8_t>(cfg_.startHour);
    }
    putU32(p.data(), 28, measurementShown());
    putU32(p.data(), 32, lastCollected_);
    putU32(p.data(), 36, static_cast<std::uint32_t>(mem_.measurementCount()));
    p[55] = static_cast<std::uint8_t>(-12);  // frequency counter reading
    p[56] = 4;                                // manufactured April 2023
    p[57] = 23;
    p[58] = 33;
    p[59] = 124;                              // battery 12.4 V
    p[63] = static_cast<std::uint8_t>(rc.modelCode);
    for (std::size_t i = 0; i < 16; ++i)
        p[64 + i] = rc.channelSlots[i];
    putS16(p.data(), 80, 1800);
    putS16(p.data(), 82, 1850);
    putU16(p.data(), 90, 612);
    // processing settings as in the headers
    putU16(p.data(), 128, 50);
    putU16(p.data(), 130, 0);
    putU16(p.data(), 132, 360);
    p[134] = 7;
    p[135] = 12;
    p[136] = 35;
    p[137] = 1;
    p[138] = 15;
    p[139] = 1;
    putU16(p.data(), 140, 10248);
    p[142] = 30;
    p[145] = 0x40;
    putU16(p.data(), 146, 50);
    putS16(p.data(), 150, 360);
    // 128 live values
    const auto& live = mem_.lastSamples();
    for (std::size_t i = 0; i < 128; ++i) {
        const std::int16_t v =
            live.empty() ? 0 : live[(static_cast<std::size_t>(liveOffset_) + i) % live.size()];
        putS16(p.data(), 256 + 2 * i, v);
    }
    fixSectorChecksum(p.data());
    return p;
}

void LoggerEmulator::buildDeviceInfo()
{
    Packet p = statusPacket(0x85, tickBase_);
    p[41] = 0;     // no automatic transmission
    p[42] = 0;
    p[43] = 24;    // no scheduled transmission
    p[44] = 60;
    p[47] = 5 << 4;  // 38400 after a reset
    p[61] = 0;
    p[93] = 30;
    p[96] = 192;
    p[97] = 168;
    p[98] = 0;
    p[99] = 10;
    for (std::size_t slot = 0; slot < 64; ++slot)
        putU16(p.data(), 256 + 2 * slot, (slot % 2 == 0) ? 1000 : 0);  // coefficient A, B
    fixSectorChecksum(p.data());
    nvInfo_ = p;
    ramInfo_ = p;
}

Packet LoggerEmulator::resultLinePacket(int m) const
{
    Packet p{};
    p[0] = kPacketMarker;
    p[1] = static_cast<std::uint8_t>(mem_.config().machineNumber);
    p[2] = 0x46;
    putU32(p.data(), 4, static_cast<std::uint32_t>(m));
    const std::string& line = mem_.resultLine(m);
    std::copy_n(line.begin(), std::min<std::size_t>(line.size(), 392), p.begin() + 8);
    fixSectorChecksum(p.data());
    return p;
}

Packet LoggerEmulator::streamPacket(const StreamItem& it) const
{
    switch (it.what) {
    case 0: return mem_.sectors()[it.index];
    case 1: return mem_.resultSector(static_cast<int>(it.index));
    default: return resultLinePacket(static_cast<int>(it.index));
    }
}

void LoggerEmulator::emitRaw(std::vector<std::uint8_t> bytes, int delayMs)
{
    out_.push_back(Chunk{std::move(bytes), delayMs});
}

void LoggerEmulator::transmit(const Packet& p, bool expectAck)
{
    const FaultConfig& f = cfg_.faults;
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> pos(1, static_cast<int>(kPacketSize) - 1);
    ++stats_.packetsSent;

    if (f.shortPacketRate > 0 && u(rng_) < f.shortPacketRate) {
        std::vector<std::uint8_t> r(kShortPacketSize);
        r[0] = kShortMarker;
        for (std::size_t i = 1; i < r.size(); ++i)
            r[i] = static_cast<std::uint8_t>(byte(rng_));
        emitRaw(std::move(r));
    }
    if (f.garbageRate > 0 && u(rng_) < f.garbageRate) {
        std::vector<std::uint8_t> g(static_cast<std::size_t>(1 + byte(rng_) % 4));
        for (auto& b : g) {
            do
                b = static_cast<std::uint8_t>(byte(rng_));
            while (b == kPacketMarker || b == kShortMarker);
        }
        emitRaw(std::move(g));
    }

    std::vector<std::uint8_t> bytes(p.begin(), p.end());
    bool damaged = false;
    if (f.noiseRate > 0 && u(rng_) < f.noiseRate) {
        const int k = 1 + byte(rng_) % 3;
        for (int i = 0; i < k; ++i) {
            const int at = pos(rng_);
            const auto old = bytes[static_cast<std::size_t>(at)];
            std::uint8_t nb;
            do
                nb = static_cast<std::uint8_t>(byte(rng_));
            while (nb == old);
            bytes[static_cast<std::size_t>(at)] = nb;
        }
        damaged = true;
    }
    if (f.corruptRate > 0 && u(rng_) < f.corruptRate) {
        bytes[3] = static_cast<std::uint8_t>(bytes[3] + 1 + byte(rng_) % 255);
        damaged = true;
    }
    // Whatever was done inside the packet, it must not sum to 0 again: the
    // fault is there to be detected.
    if (damaged && byteSum(bytes.data(), bytes.size()) == 0)
        bytes[3] = static_cast<std::uint8_t>(bytes[3] + 1);
    if (f.dropRate > 0 && u(rng_) < f.dropRate) {
        bytes.erase(bytes.begin() + pos(rng_));
        damaged = true;
    }
    if (damaged)
        ++stats_.faultyPackets;
    lastFaulty_ = damaged;

    if (f.stallRate > 0 && u(rng_) < f.stallRate) {
        const std::size_t cut = static_cast<std::size_t>(pos(rng_)) % bytes.size();
        emitRaw(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
        emitRaw(std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(cut), bytes.end()), f.stallMs);
    } else {
        emitRaw(std::move(bytes));
    }
    if (expectAck) {
        awaitingAck_ = true;
        ackDeadline_ = -1;  // set once the packet has left
    }
}

LoggerEmulator::Chunk LoggerEmulator::takeOutput()
{
    Chunk c = std::move(out_.front());
    out_.pop_front();
    return c;
}

void LoggerEmulator::outputDrained(std::int64_t nowMs)
{
    if (!out_.empty())
        return;
    if (awaitingAck_ && ackDeadline_ < 0)
        ackDeadline_ = nowMs + ackTimeout();
    if (pendingSpeed_ > 0) {
        speed_ = pendingSpeed_;
        pendingSpeed_ = 0;
        if (onSpeedChange)
            onSpeedChange(speed_);
    }
}

void LoggerEmulator::receive(const std::uint8_t* data, std::size_t n, std::int64_t nowMs)
{
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = data[i];
        if (modemMode_) {
            handleModemByte(b, nowMs);
            continue;
        }
        if (!cmd_.empty()) {
            if (nowMs - cmdStartMs_ > kCommandGapMs) {
                cmd_.clear();  // a stale fragment: start over with this byte
            } else {
                cmd_.push_back(b);
                if (cmd_.size() == kPacketSize) {
                    Packet p;
                    std::copy(cmd_.begin(), cmd_.end(), p.begin());
                    cmd_.clear();
                    handleCommand(p, nowMs);
                }
                continue;
            }
        }
        if (b == kAckByte) {
            onAck(nowMs);
        } else if (b == kPacketMarker) {
            cmd_.assign(1, b);
            cmdStartMs_ = nowMs;
        }
        // the wake-up byte 0x80 and stray bytes are ignored
    }
}

void LoggerEmulator::onAck(std::int64_t nowMs)
{
    if (!awaitingAck_ || stream_.empty()) {
        ++stats_.strayAcks;
        return;
    }
    ++stats_.acks;
    if (lastFaulty_)
        ++stats_.acksForFaulty;
    awaitingAck_ = false;
    ackDeadline_ = -1;
    retries_ = 0;
    ++cursor_;
    if (cursor_ >= stream_.size()) {
        ++stats_.streamsCompleted;
        lastCollected_ = std::max(lastCollected_, pendingCollected_);
        stream_.clear();
        cursor_ = 0;
        return;
    }
    sendStreamItem();
}

void LoggerEmulator::sendStreamItem() { transmit(streamPacket(stream_[cursor_]), true); }

void LoggerEmulator::abortActivities()
{
    stream_.clear();
    cursor_ = 0;
    awaitingAck_ = false;
    ackDeadline_ = -1;
    retries_ = 0;
    monitoring_ = false;
    monitorNext_ = -1;
    modemReplies_.clear();
    out_.clear();
}

void LoggerEmulator::setClockFrom(const Packet& p, std::int64_t nowMs)
{
    if (p[12] < 1 || p[12] > 12 || p[11] < 1 || p[11] > 31 || p[10] > 23 || p[9] > 59 || p[8] > 59)
        return;
    clockBase_ = DateTime{2000 + p[13], p[12], p[11], p[10], p[9], p[8], 0};
    tickBase_ = nowMs;
}

void LoggerEmulator::startCollection(const Packet& p, bool results)
{
    const int count = mem_.measurementCount();
    std::int32_t first = getS32(p.data(), cmd::firstNumber);
    std::int32_t last = getS32(p.data(), cmd::lastNumber);
    if (last <= 0 || last > count)
        last = count;
    if (first == 0) {
        first = 1;
    } else if (first < 0) {
        // -n: what the previous collections have not taken yet, repeating
        // the last n - 1 measurements they did take.
        first = std::max<std::int32_t>(1, static_cast<std::int32_t>(lastCollected_) + 1 - (-first - 1));
    }
    stream_.clear();
    cursor_ = 0;
    for (std::int32_t m = first; m <= last; ++m) {
        if (results) {
            stream_.push_back({1, static_cast<std::uint32_t>(m)});
            stream_.push_back({2, static_cast<std::uint32_t>(m)});
        } else {
            const auto [start, n] = mem_.extent(m);
            for (std::size_t s = 0; s < n; ++s)
                stream_.push_back({0, static_cast<std::uint32_t>(start + s)});
        }
    }
    pendingCollected_ = last > 0 ? static_cast<std::uint32_t>(last) : 0;
    if (!stream_.empty())
        sendStreamItem();
}

void LoggerEmulator::handleCommand(const Packet& p, std::int64_t nowMs)
{
    if (!sectorSumOk(p.data())) {
        ++stats_.badCommands;
        return;
    }
    ++stats_.commands;
    if (p[2] != kCommandKind) {
        // A table upload ("Brenlo2.tbl" kind 1, "index62.txt" kind 2): kept
        // in storage state, then the logger restarts.
        stats_.codes.push_back(p[2]);
        abortActivities();
        if (refuseWhileBusy(nowMs))
            return;
        uploads_.push_back(p);
        restart();
        return;
    }
    const std::uint8_t code = p[cmd::code];
    stats_.codes.push_back(code);
    abortActivities();
    RecordingConfig rc = mem_.config();

    switch (code) {
    case 0x00:
        transmit(statusPacket(0x84, nowMs), false);
        break;
    case 0x02:
        if (auto s = speedForCode(p[cmd::speedCode]))
            pendingSpeed_ = *s;
        break;
    case 0x81: {
        const int d = p[cmd::duration], iv = p[cmd::interval];
        if (d >= 1 && d <= 60 && iv >= 1 && iv <= 240 && d <= iv) {
            setClockFrom(p, nowMs);
            rc.durationMinutes = d;
            rc.intervalMinutes = iv;
            rc.measureFlags = p[cmd::flags] & ~kFlagFromStatus;
            bool anySlot = false;
            for (std::size_t i = 0; i < 16; ++i)
                anySlot |= p[cmd::channelSlots + i] != 0;
            if (anySlot)
                for (std::size_t i = 0; i < 16; ++i)
                    rc.channelSlots[i] = p[cmd::channelSlots + i];
            mem_.setConfig(rc);
            cfg_.startMinute = p[cmd::startMinute] % 60;
            cfg_.startHour = p[cmd::startHour] % 24;
            const DateTime now = loggerClock(nowMs);
            const int phase = (cfg_.startHour * 60 + cfg_.startMinute) % iv;
            DateTime day = now;
            day.hour = day.minute = day.second = day.millisecond = 0;
            const int nowMin = now.hour * 60 + now.minute;
            int next = (nowMin / iv) * iv + phase;
            if (nowMin * 60 + now.second > next * 60)
                next += iv;
            nextStart_ = addMinutes(day, next);
            state_ = kStateWaiting;
        }
        transmit(statusPacket(0x84, nowMs), false);
        break;
    }
    case 0x03:
        state_ = kStateStorage;
        transmit(statusPacket(0x84, nowMs), false);
        break;
    case 0x07:
    case 0x17:
        // Restart (lamp on for ten seconds); "07" also clears the card.
        setClockFrom(p, nowMs);
        if (code == 0x07) {
            mem_.clear();
            lastCollected_ = 0;
        }
        state_ = kStateStorage;
        break;
    case 0x54:
    case 0x44:
    case 0xD4:
        startCollection(p, false);
        break;
    case 0x16:
    case 0x26:
    case 0x96:
        startCollection(p, true);
        break;
    case 0x34:
    case 0x05:
    case 0x15:
    case 0x25:
    case 0x35:
    case 0x45:
        monitoring_ = true;
        monitorNext_ = nowMs;
        break;
    case 0x04:
        break;  // monitor stopped above
    case 0x10:
    case 0x20: {
        Packet info = code == 0x10 ? nvInfo_ : ramInfo_;
        const Packet st = statusPacket(0x85, nowMs);
        std::copy(st.begin() + 8, st.begin() + 18, info.begin() + 8);  // clock and state now
        info[2] = 0x85;
        fixSectorChecksum(info.data());
        transmit(info, false);
        break;
    }
    case 0x27:
    case 0x77: {
        // "27" rewrites RAM in any state and answers with the new image;
        // "77" is written to non-volatile memory in storage state only, and
        // the logger restarts without an answer.
        if (code == 0x77 && refuseWhileBusy(nowMs))
            break;
        Packet image = p;
        image[2] = 0x85;
        fixSectorChecksum(image.data());
        ramInfo_ = image;
        if (code == 0x77) {
            nvInfo_ = image;
            restart();
        } else {
            transmit(ramInfo_, false);
        }
        break;
    }
    case 0x57:
    case 0x67:
    case 0x37:
        // NR-5xx behaviour on and off (byte 62 bit 0), factory state.
        if (refuseWhileBusy(nowMs))
            break;
        if (code == 0x37) {
            buildDeviceInfo();
        } else {
            for (Packet* info : {&nvInfo_, &ramInfo_}) {
                if (code == 0x57)
                    (*info)[62] |= 0x01;
                else
                    (*info)[62] &= 0xFE;
                fixSectorChecksum(info->data());
            }
        }
        transmit(statusPacket(0x84, nowMs), false);
        restart();
        break;
    case 0x55: {
        Packet e = statusPacket(0x84, nowMs);
        if (cfg_.modemFitted) {
            e[53] |= 0x80;
            fixSectorChecksum(e.data());
            modemMode_ = true;
            modemLine_.clear();
        }
        transmit(e, false);
        break;
    }
    default:
        ++stats_.unknownCommands;
        break;
    }
}

void LoggerEmulator::handleModemByte(std::uint8_t b, std::int64_t nowMs)
{
    if (b == kWakeUpByte) {
        // A command packet follows: the pass-through ends.
        modemMode_ = false;
        modemLine_.clear();
        return;
    }
    if (b != '\r') {
        if (b >= 0x20 && modemLine_.size() < 256)
            modemLine_ += static_cast<char>(b);
        return;
    }
    std::string c = modemLine_;
    modemLine_.clear();
    for (auto& ch : c)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    const std::int64_t at = nowMs + 50;
    if (c == "AT+CCLK?") {
        const DateTime t = loggerClock(nowMs);
        char buf[64];
        std::snprintf(buf, sizeof buf, "\r\n+CCLK: \"%02d/%02d/%02d,%02d:%02d:%02d+36\"\r\n\r\nOK\r\n", t.year % 100,
                      t.month, t.day, t.hour, t.minute, t.second);
        modemReplies_.push_back({at, buf});
    } else if (c == "AT*DCHKLOC") {
        modemReplies_.push_back({at, "\r\nOK\r\n"});
        modemReplies_.push_back({at + 1500, "\r\n*DCHKLOC: 35.6581,139.7414\r\n"});
    } else if (c == "+++") {
        // The modem goes back to command mode and the pass-through ends.
        modemReplies_.push_back({at, "\r\nOK\r\n"});
        modemMode_ = false;
    } else if (c == "AT" || (c.rfind("AT", 0) == 0 && c.size() > 2 && (c[2] == '*' || c[2] == '+' || c[2] == 'D'))) {
        modemReplies_.push_back({at, "\r\nOK\r\n"});
    } else if (!c.empty()) {
        modemReplies_.push_back({at, "\r\nERROR\r\n"});
    }
}

bool LoggerEmulator::refuseWhileBusy(std::int64_t nowMs)
{
    if (!(state_ & (kStatePreMeasure | kStateWaiting | kStateMeasuring)))
        return false;
    // Nothing is changed; the logger answers with its status.
    ++stats_.refused;
    transmit(statusPacket(0x84, nowMs), false);
    return true;
}

void LoggerEmulator::restart()
{
    ++stats_.resets;
    state_ = kStateStorage;
    modemMode_ = false;
    modemLine_.clear();
}

std::vector<std::pair<std::string, Packet>> LoggerEmulator::tableDumps() const
{
    std::vector<std::pair<std::string, Packet>> out = {{"nv.tbl", nvInfo_}, {"ram.tbl", ramInfo_}};
    for (std::size_t i = 0; i < uploads_.size(); ++i)
        out.emplace_back("upload" + std::to_string(i + 1) + ".tbl", uploads_[i]);
    return out;
}

void LoggerEmulator::advanceSchedule(std::int64_t nowMs)
{
    if (!(state_ & (kStateWaiting | kStateMeasuring)))
        return;
    const DateTime now = loggerClock(nowMs);
    const RecordingConfig& rc = mem_.config();
    for (int guard = 0; guard < 64; ++guard) {
        const DateTime end = addMinutes(nextStart_, rc.durationMinutes);
        if (secondsKey(now) < secondsKey(end))
            break;
        if (mem_.sectors().size() + static_cast<std::size_t>(mem_.sectorsPerMeasurement()) > 0x3FFFFF)
            break;  // the card is full
        mem_.addMeasurement(nextStart_);
        nextStart_ = addMinutes(nextStart_, rc.intervalMinutes);
    }
    state_ = secondsKey(now) >= secondsKey(nextStart_) ? kStateMeasuring : kStateWaiting;
}

void LoggerEmulator::tick(std::int64_t nowMs)
{
    advanceSchedule(nowMs);

    if (awaitingAck_ && ackDeadline_ >= 0 && nowMs >= ackDeadline_) {
        if (retries_ < cfg_.maxResends) {
            ++retries_;
            ++stats_.resends;
            sendStreamItem();
        } else {
            ++stats_.streamsAbandoned;
            stream_.clear();
            cursor_ = 0;
            awaitingAck_ = false;
            ackDeadline_ = -1;
            retries_ = 0;
        }
    }

    if (monitoring_ && nowMs >= monitorNext_ && out_.empty()) {
        transmit(statusPacket(0x82, nowMs), false);
        liveOffset_ += std::max(1, mem_.channelCount());
        monitorNext_ = nowMs + std::max(10, cfg_.monitorPeriodMs);
    }

    while (!modemReplies_.empty() && nowMs >= modemReplies_.front().first) {
        const std::string& s = modemReplies_.front().second;
        emitRaw(std::vector<std::uint8_t>(s.begin(), s.end()));
        modemReplies_.pop_front();
    }

    if (automaticNext_ >= 0 && nowMs >= automaticNext_) {
        automaticNext_ = nowMs + cfg_.faults.automaticEveryMs;
        if (stream_.empty() && !monitoring_ && !modemMode_ && out_.empty() && cmd_.empty()) {
            std::uniform_int_distribution<int> pick(9, 14);
            const int nibble = pick(rng_);
            transmit(statusPacket(static_cast<std::uint8_t>(0x80 | nibble), nowMs), false);
            ++stats_.automaticSent;
        }
    }
}

std::int64_t LoggerEmulator::nextDeadline() const
{
    std::int64_t d = -1;
    auto take = [&d](std::int64_t t) {
        if (t >= 0 && (d < 0 || t < d))
            d = t;
    };
    if (awaitingAck_)
        take(ackDeadline_);
    if (monitoring_)
        take(monitorNext_);
    if (!modemReplies_.empty())
        take(modemReplies_.front().first);
    take(automaticNext_);
    return d;
}

}  // namespace varenta::emu
