#include "brenlo24/link/link.h"

#include "brenlo24/link/packetdump.h"
#include "common/bytes.h"

#include <algorithm>

namespace varenta {

std::int64_t LinkHost::tickMs() { return appClock().tickMs(); }

DeviceLink::DeviceLink(SerialLine& line, LinkHost& host) : line_(line), host_(host)
{
    line_.setHandler([this](const SerialLine::Event& ev) { onSerialEvent(ev); });
}

void DeviceLink::setLineSpeed(int activeSpeed)
{
    speed_ = activeSpeed;
    timeoutMs_ = receiveTimeoutMs(activeSpeed);
}

void DeviceLink::startTimer()
{
    host_.startReceiveTimer(timeoutMs_);
    timerActive_ = true;
}

void DeviceLink::stopTimer()
{
    host_.stopReceiveTimer();
    timerActive_ = false;
}

void DeviceLink::pause(int ms)
{
    if (ms <= 0)
        return;
    if (ms <= 50) {
        host_.sleepMs(ms);
        return;
    }
    const std::int64_t start = host_.tickMs();
    for (;;) {
        const std::int64_t left = ms - (host_.tickMs() - start);
        if (left <= 0)
            break;
        host_.sleepMs(static_cast<int>(std::min<std::int64_t>(50, left)));
        host_.serveEvents();
    }
}

void DeviceLink::flushAndRearm()
{
    line_.discardInput();
    state_ = RxState::WaitFirst;
    line_.setReadLength(1);
    line_.setThreshold(1);
}

DeviceLink::SendResult DeviceLink::sendCommand(std::string_view code, int mode)
{
    using namespace linkflag;
    // While the modem console owns the line a packet would go to the modem
    // (and its answer into the console): only the console's own check,
    // sent after it left modem mode, may go out.
    if (flags_ & (kBusy | kModemMode)) {
        host_.showStatus(linktext::kCannotSend);
        return SendResult::Busy;
    }
    host_.showKindIndicators(0);
    host_.repaint();
    flags_ &= ~(kAnswerReceived | kStopRequested);

    const CommandParameters par = parameters_ ? parameters_() : CommandParameters{};
    auto packet = buildCommandPacket(code, mode, par, static_cast<std::uint8_t>(current_.measureFlags),
                                     appClock().now());
    if (!packet || !line_.port().isOpen()) {
        host_.showStatus(linktext::kCannotSend);
        return SendResult::Failed;
    }

    const std::uint8_t wake = kWakeUpByte;
    if (line_.write(&wake, 1) != Status::Ok) {
        host_.showStatus(linktext::kCannotSend);
        return SendResult::Failed;
    }
    pause(kWakeUpPauseMs);

    flushAndRearm();
    lastSent_ = *packet;
    if (line_.write(packet->data(), packet->size()) != Status::Ok) {
        host_.showStatus(linktext::kCannotSend);
        return SendResult::Failed;
    }
    host_.showStatus(linktext::kCommandSent);

    stopTimer();
    // A wait for the answer always has the time-out behind it, so that a
    // silent logger cannot hold the program in the wait.
    if (mode & (sendmode::kArmTimeout | sendmode::kWait))
        startTimer();
    if (mode & (sendmode::kArmTimeout | sendmode::kPause))
        pause(transmissionPauseMs(speed_));
    if (mode & sendmode::kWait) {
        const std::int64_t start = host_.tickMs();
        const std::int64_t limit = 2LL * timeoutMs_ + 2000;
        while (!(flags_ & kAnswerReceived)) {
            host_.waitEvents();
            if (host_.tickMs() - start > limit) {
                // The timer never came: end the wait as the time-out would.
                onReceiveTimeout();
                break;
            }
        }
    }
    return SendResult::Sent;
}

void DeviceLink::onSerialEvent(const SerialLine::Event& ev)
{
    using namespace linkflag;
    if (flags_ & kModemMode) {
        readModem();
        return;
    }
    if (flags_ & kHandlerRunning)
        return;
    flags_ |= kHandlerRunning;
    handleEvent(ev);
    flags_ &= ~kHandlerRunning;
}

void DeviceLink::readModem()
{
    std::vector<std::uint8_t> one;
    line_.setReadLength(1);
    bool any = false;
    while (line_.waiting() > 0) {
        if (line_.read(one) == 0)
            break;
        if (one[0] >= 10) {
            modem_ += static_cast<char>(one[0]);
            any = true;
        }
    }
    flags_ &= ~linkflag::kHandlerRunning;
    if (any && handler_)
        handler_->modemDataReceived();
}

void DeviceLink::handleEvent(const SerialLine::Event& ev)
{
    if (ev.error != 0) {
        if (ev.error >= 1001) {
            ++counters_.lineErrors;
            host_.showStatus(std::string(linktext::kLineError) + std::to_string(ev.error));
            flushAndRearm();
            host_.beep();
        }
        return;
    }

    if (state_ == RxState::WaitFirst) {
        line_.setReadLength(1);
        if (line_.read(buf_) == 0)
            return;
        const std::uint8_t b = buf_[0];
        const std::uint8_t last = lastCommandCode();
        if (b == kPacketMarker || b == kShortMarker || last == 0x14 || last == 0x44) {
            host_.showKindIndicators(0);
            if (b == kPacketMarker)
                remainder_ = kPacketSize - 1;
            else if (b == kShortMarker)
                remainder_ = kShortPacketSize - 1;
            first_ = b;
            state_ = RxState::WaitRemainder;
            line_.setReadLength(remainder_);
            line_.setThreshold(remainder_);
        } else {
            ++counters_.rejected;
            flushAndRearm();
        }
        return;
    }

    // Waiting for the remainder: exactly the expected count, or the whole
    // packet is dropped.
    if (line_.waiting() != remainder_) {
        ++counters_.dropped;
        flushAndRearm();
        return;
    }
    const bool timerWasActive = timerActive_;
    stopTimer();
    line_.setReadLength(remainder_);
    line_.read(buf_);
    if (buf_.size() != kPacketSize - 1) {
        // A 20-byte 'R' packet (or a short read): consumed and dropped.
        ++counters_.dropped;
        flushAndRearm();
        if (timerWasActive)
            startTimer();
        return;
    }
    Packet p;
    p[0] = first_;
    std::copy(buf_.begin(), buf_.end(), p.begin() + 1);
    if (!sectorSumOk(p.data())) {
        ++counters_.errorPackets;
        host_.showStatus(linktext::kErrorPacket);
        host_.beep();
        flushAndRearm();
        // The logger will send it again: keep the time-out running so that a
        // logger that gives up still ends the run.
        if (timerWasActive)
            startTimer();
        return;
    }
    handlePacket(p, timerWasActive);
}

bool DeviceLink::storeAndContinue(const Packet& p)
{
    using namespace linkflag;
    host_.showStatus(std::string(linktext::kPacketNumber) + std::to_string(getU32(p.data(), 4)));
    const Status st = handler_ ? handler_->storePacket(p, current_) : Status::Refused;
    startTimer();
    if (st != Status::Ok) {
        // Not on disk: no acknowledgement, the logger sends it again.
        flushAndRearm();
        return false;
    }
    ++counters_.stored;
    flags_ |= kStoredSinceTimeout;
    if (flags_ & kStopRequested) {
        flushAndRearm();
        return false;
    }
    return true;
}

void DeviceLink::writeDump(const char* name, const Packet& p)
{
    writePacketDump(dumpFolder_ + "/" + name, p);
}

void DeviceLink::handlePacket(const Packet& p, bool timerWasActive)
{
    using namespace linkflag;
    ++counters_.good;
    lastReceived_ = p;
    const std::uint8_t kind = p[2];
    host_.showStatus(linktext::kPacketReceived);
    host_.showKindIndicators(kind & 0x0F);

    switch (packetKindNibble(kind)) {
    case kKindData:
    case kKindResult:
        decodeStatus(p, current_);
        if (!storeAndContinue(p))
            return;
        break;
    case kKindMonitor:
        decodeStatus(p, current_);
        if (handler_)
            handler_->refreshStatus(kKindMonitor);
        break;
    case kKindHeader:
        // An invalid header is dropped before it touches the status record.
        if (!receivedHeaderValid(p)) {
            ++counters_.dropped;
            flushAndRearm();
            if (timerWasActive)
                startTimer();
            return;
        }
        decodeStatus(p, current_);
        if (handler_)
            handler_->refreshStatus(kKindHeader);
        if (!storeAndContinue(p))
            return;
        break;
    case kKindEcho:
    case kKindAutomaticEcho: {
        const bool automatic = kind & kKindAutomaticBit;
        decodeStatus(p, current_);
        if (handler_)
            handler_->refreshStatus(kKindEcho);
        writeDump("Echo.tbl", p);
        if (handler_)
            handler_->echoReceived(p, automatic);
        if (automatic)
            host_.beep();
        break;
    }
    case kKindDeviceInfo:
        decodeStatus(p, deviceInfo_);
        writeDump("Brenlo.tbl", p);
        if (handler_)
            handler_->deviceInfoReceived(p);
        break;
    default:
        // Other automatic transmissions: nothing runs, nothing is stored.
        break;
    }

    flags_ |= kAnswerReceived;
    if (kindWantsAck(kind)) {
        flushAndRearm();
        flags_ &= ~kHandlerRunning;
        const std::uint8_t ack = kAckByte;
        if (line_.write(&ack, 1) == Status::Ok)
            ++counters_.acks;
    } else {
        flushAndRearm();
    }
}

void DeviceLink::onReceiveTimeout()
{
    using namespace linkflag;
    stopTimer();
    const bool collected = flags_ & kStoredSinceTimeout;
    host_.showStatus(collected ? linktext::kCollectionDone : linktext::kReceiveTimeout);
    flags_ &= ~kStoredSinceTimeout;
    flags_ |= kAnswerReceived;
    flushAndRearm();
    flags_ &= ~kBusy;
    if (handler_)
        handler_->receiveTimedOut(collected);
}

}  // namespace varenta
