#pragma once
// The cellular modem console: command "55" connects the logger's modem
// through to the serial line; then AT commands typed by the user go out as
// text with CR, and the modem's answers are shown as they come.  The
// receiver collects characters instead of packets while modem mode is on.
//
// Every wait runs on the caller's thread and serves events through the
// ConsoleHost, so that serial data, the countdown and the user's buttons
// are handled meanwhile (a press of the send button while a result is
// awaited cancels the wait; closing ends every wait).
#include "brenlo24/link/link.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varenta {

namespace modemtext {
inline constexpr const char* kTitle = "UM05モニタ";
inline constexpr const char* kStart = "開始";
inline constexpr const char* kSend = "送信";
inline constexpr const char* kEnd = "終了";
inline constexpr const char* kConnecting = "UM05モニタ接続中！";
inline constexpr const char* kReady = "ＡＴコマンド送信可！";
inline constexpr const char* kRefused = "UM05モニタ接続不可！";
inline constexpr const char* kTimeout = "UM05モニタ接続タイムアウト！";
inline constexpr const char* kCancelled = "ＡＴコマンドキャンセル！";
inline constexpr const char* kSent = "ＡＴコマンド送信！";
inline constexpr const char* kWaiting = "ＡＴリザルト待受中！";
inline constexpr const char* kReceived = "ＡＴリザルト受信！";
inline constexpr const char* kEnded = "UM05モニタ終了！";
}  // namespace modemtext

// The carrier's access point in the PDP-context entry of the list.
inline constexpr const char* kModemApn = "mopera.net";

// The console's command list, in its order.
std::vector<std::string> modemCommandList(const std::string& apn = kModemApn);

// Result blocks awaited and the countdown shown for a command (upper case):
// "AT*DCHKLOC" two blocks and 300 s, anything else one block and 10 s.
struct ModemWait {
    int blocks = 1;
    int seconds = 10;
};
ModemWait modemWaitFor(const std::string& upperCommand);

// The modem's characters as text: CR becomes CR LF, LF a blank.
std::string modemText(const std::string& received);

// Upper case of the ASCII letters (the rest as it stands).
std::string upperAscii(std::string s);

class ConsoleHost {
public:
    virtual ~ConsoleHost() = default;
    virtual void showStatus(const std::string& text) = 0;  // the main window's status line
    virtual void appendText(const std::string& text) = 0;  // end of the text box, caret and focus there
    virtual void clearText() = 0;
    virtual void setButtonsEnabled(bool on) = 0;
    virtual void setSendCaption(const std::string& caption) = 0;
    // Serves events, waiting up to about 50 ms for one.
    virtual void waitEvents() = 0;
};

class ModemConsole {
public:
    enum class Phase { Idle, Connecting, Ready, Waiting, Closed };

    ModemConsole(DeviceLink& link, SerialLine& line, ConsoleHost& host) : link_(link), line_(line), host_(host) {}
    ModemConsole(const ModemConsole&) = delete;
    ModemConsole& operator=(const ModemConsole&) = delete;

    // The OK button: "開始" connects, "送信" sends the command (or cancels
    // the wait for a result).
    void okPressed(const std::string& commandText);
    // "終了" or the window closing: ends modem mode with a check ("00").
    void close();
    // Back to the opening state (a wait still on the stack ends).
    void reset()
    {
        phase_ = Phase::Idle;
        countdown_ = 0;
    }

    // Connecting, or waiting for an AT result.
    bool busy() const { return phase_ == Phase::Connecting || phase_ == Phase::Waiting; }
    Phase phase() const { return phase_; }
    bool modemMode() const { return link_.flags() & linkflag::kModemMode; }
    int countdown() const { return countdown_; }
    // The commands written to the modem, for the trace and for tests.
    const std::vector<std::string>& sent() const { return sent_; }

private:
    void connect();
    void sendAt(const std::string& commandText);
    bool secondPassed();

    DeviceLink& link_;
    SerialLine& line_;
    ConsoleHost& host_;
    Phase phase_ = Phase::Idle;
    int countdown_ = 0;
    int lastSecond_ = -1;
    std::vector<std::string> sent_;
};

}  // namespace varenta
