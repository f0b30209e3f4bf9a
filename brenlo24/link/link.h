#pragma once
// The packet protocol with the logger: sending a command packet and the
// receive state machine that reassembles, checks, dispatches and
// acknowledges the logger's packets, with the receive time-out.
//
// Everything runs on one thread.  The window (or PollHost) supplies the
// LinkHost: status line, beep, kind indicators, sleeps, event serving and
// the receive time-out timer, whose expiry it reports by calling
// onReceiveTimeout().  What the program does with decoded packets (storing
// data, refreshing the status panel) plugs in through PacketHandler.
#include "brenlo24/link/packet.h"
#include "common/serialport.h"
#include "brenlo24/link/statusrecord.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varenta {

// The flags word shared by the sender, the receiver and the timers.
namespace linkflag {
constexpr unsigned kAnswerReceived = 0x0001;
constexpr unsigned kStoredSinceTimeout = 0x0004;
constexpr unsigned kHandlerRunning = 0x0010;
constexpr unsigned kBusy = 0x0020;
constexpr unsigned kModemMode = 0x0800;
constexpr unsigned kStopRequested = 0x8000;
}  // namespace linkflag

// Status-line texts of the protocol.
namespace linktext {
inline constexpr const char* kCannotSend = "送信不可";
inline constexpr const char* kCommandSent = "コマンド送信";
inline constexpr const char* kPacketReceived = "パケット受信";
inline constexpr const char* kErrorPacket = "エラーパケット受信";
inline constexpr const char* kPacketNumber = "受信パケット番号＝";
inline constexpr const char* kCollectionDone = "回収終了";
inline constexpr const char* kReceiveTimeout = "受信タイムアウト";
inline constexpr const char* kLineError = "RS-232C-";
}  // namespace linktext

class LinkHost {
public:
    virtual ~LinkHost() = default;
    virtual void showStatus(const std::string& text) = 0;   // status line Label9(0)
    virtual void beep() = 0;
    // Indicators F0..F3: bit i of bits shows "■" in Fi; 0 clears all four.
    virtual void showKindIndicators(int bits) = 0;
    virtual void repaint() {}
    // A plain sleep of at most 50 ms (no event processing).
    virtual void sleepMs(int ms) = 0;
    // Serves pending events without waiting.
    virtual void serveEvents() = 0;
    // Serves events, waiting up to about 50 ms for one to come.
    virtual void waitEvents() = 0;
    virtual void startReceiveTimer(int ms) = 0;
    virtual void stopReceiveTimer() = 0;
    virtual std::int64_t tickMs();
};

class PacketHandler {
public:
    virtual ~PacketHandler() = default;
    // Data, header and result packets, after decoding.  A status other than
    // Ok withholds the acknowledgement, so the logger sends the packet again.
    // Without a writer nothing is stored, so nothing is acknowledged.
    virtual Status storePacket(const Packet& p, const StatusRecord& current) { return Status::Refused; }
    // The status display wants a refresh (after monitor, header, echo).
    virtual void refreshStatus(int kindNibble) {}
    // An echo was decoded and written to "Echo.tbl"; automatic: sent by the
    // logger on its own.
    virtual void echoReceived(const Packet& p, bool automatic) {}
    // A device-information packet was decoded and written to "Brenlo.tbl".
    virtual void deviceInfoReceived(const Packet& p) {}
    // The receive time-out fired; collected: a packet was stored since the
    // previous time-out.
    virtual void receiveTimedOut(bool collected) {}
    // Characters arrived for the modem console (modem mode).
    virtual void modemDataReceived() {}
};

class DeviceLink {
public:
    enum class SendResult { Sent = 0, Busy = 1, Failed = 2 };
    enum class RxState { WaitFirst, WaitRemainder };

    DeviceLink(SerialLine& line, LinkHost& host);
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    void setHandler(PacketHandler* h) { handler_ = h; }
    // The line under the link (the modem console writes its text to it).
    SerialLine& line() { return line_; }
    // What the window puts into command packets, asked for at each send.
    void setParameters(std::function<CommandParameters()> f) { parameters_ = std::move(f); }
    // The files "Echo.tbl" and "Brenlo.tbl" are written here (program folder).
    void setDumpFolder(std::string folder) { dumpFolder_ = std::move(folder); }

    // Port opened at this speed: the pause and the time-out follow from it.
    void setLineSpeed(int activeSpeed);
    int lineSpeed() const { return speed_; }
    int receiveTimeout() const { return timeoutMs_; }

    // Builds and sends one command packet.  code: two hexadecimal digits,
    // or a packet image of up to 1024 hexadecimal digits.  mode: the bits
    // of sendmode.  Busy: refused ("送信不可") while busy or in modem mode;
    // Failed: not hexadecimal, or
    // the port is closed or refused the bytes ("送信不可").
    SendResult sendCommand(std::string_view code, int mode);

    // The serial event handler (receive threshold reached, or line error).
    void onSerialEvent(const SerialLine::Event& ev);
    // The receive time-out timer fired.
    void onReceiveTimeout();
    // Input buffer emptied, threshold 1, read length 1, first-byte state.
    void flushAndRearm();

    // Pauses: up to 50 ms one sleep, longer a loop of 50 ms sleeps with
    // events served between them.
    void pause(int ms);

    unsigned flags() const { return flags_; }
    void setFlags(unsigned bits) { flags_ |= bits; }
    void clearFlags(unsigned bits) { flags_ &= ~bits; }
    bool busy() const { return flags_ & linkflag::kBusy; }
    void requestStop() { flags_ |= linkflag::kStopRequested; }

    StatusRecord& current() { return current_; }
    const StatusRecord& current() const { return current_; }
    StatusRecord& deviceInfo() { return deviceInfo_; }
    const StatusRecord& deviceInfo() const { return deviceInfo_; }
    const Packet& lastSent() const { return lastSent_; }
    std::uint8_t lastCommandCode() const { return lastSent_[cmd::code]; }
    const Packet& lastReceived() const { return lastReceived_; }
    int lastReceivedKind() const { return lastReceived_[2]; }
    RxState state() const { return state_; }
    bool receiveTimerActive() const { return timerActive_; }

    // Modem console input (modem mode): characters of code 10 and above.
    std::string& modemBuffer() { return modem_; }

    struct Counters {
        std::size_t good = 0;          // packets with a good checksum
        std::size_t errorPackets = 0;  // checksum failures
        std::size_t dropped = 0;       // wrong count, 'R', invalid header
        std::size_t rejected = 0;      // first bytes rejected
        std::size_t acks = 0;
        std::size_t stored = 0;
        std::size_t lineErrors = 0;
    };
    const Counters& counters() const { return counters_; }

private:
    void handleEvent(const SerialLine::Event& ev);
    void readModem();
    void startTimer();
    void stopTimer();
    void handlePacket(const Packet& p, bool timerWasActive);
    bool storeAndContinue(const Packet& p);
    void writeDump(const char* name, const Packet& p);

    SerialLine& line_;
    LinkHost& host_;
    PacketHandler* handler_ = nullptr;
    std::function<CommandParameters()> parameters_;
    std::string dumpFolder_ = ".";
    unsigned flags_ = 0;
    int speed_ = 38400;
    int timeoutMs_ = 1267;
    bool timerActive_ = false;
    RxState state_ = RxState::WaitFirst;
    std::size_t remainder_ = kPacketSize - 1;
    std::uint8_t first_ = 0;
    std::vector<std::uint8_t> buf_;
    Packet lastSent_{};
    Packet lastReceived_{};
    StatusRecord current_;
    StatusRecord deviceInfo_;
    std::string modem_;
    Counters counters_;
};

}  // namespace varenta
