#include "brenlo24/config/modem.h"

#include "common/clock.h"

namespace varenta {

std::vector<std::string> modemCommandList(const std::string& apn)
{
    return {"AT",
            "AT*DLANTE",
            "AT*DRPW",
            "AT*DCHKLOC",
            "AT+CCLK?",
            "AT*DHWRST",
            "AT*DPWROFF",
            " ",
            "AT+CGDCONT=1,\"PPP\",\"" + apn + "\"",
            "AT*ALWAYSONCID=1,1",
            "AT*PPPAUTH=1,2",
            "AT*DTERMREJ=1,0",
            "ATD*99***1#",
            "+++"};
}

ModemWait modemWaitFor(const std::string& upperCommand)
{
    if (upperCommand == "AT*DCHKLOC")
        return {2, 300};
    return {1, 10};
}

std::string modemText(const std::string& received)
{
    std::string out;
    out.reserve(received.size() + 8);
    for (char c : received) {
        if (c == '\r')
            out += "\r\n";
        else if (c == '\n')
            out += ' ';
        else
            out += c;
    }
    return out;
}

std::string upperAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool ModemConsole::secondPassed()
{
    const int s = appClock().now().second;
    if (s == lastSecond_)
        return false;
    lastSecond_ = s;
    return true;
}

void ModemConsole::okPressed(const std::string& commandText)
{
    switch (phase_) {
    case Phase::Idle: connect(); break;
    case Phase::Ready:
    case Phase::Waiting: sendAt(commandText); break;
    default: break;  // connecting: the buttons are off; closed: nothing
    }
}

void ModemConsole::connect()
{
    using namespace linkflag;
    if (link_.sendCommand("55", sendmode::kPause) != DeviceLink::SendResult::Sent)
        return;  // the status line says why ("送信不可")
    host_.setButtonsEnabled(false);
    link_.setFlags(kBusy);
    phase_ = Phase::Connecting;
    countdown_ = 60;
    lastSecond_ = appClock().now().second;
    host_.showStatus(modemtext::kConnecting + std::to_string(countdown_));
    for (;;) {
        if (phase_ != Phase::Connecting)
            return;  // closed meanwhile
        if (link_.flags() & kAnswerReceived) {
            host_.setButtonsEnabled(true);
            if (link_.lastReceived()[53] & 0x80) {
                host_.setSendCaption(modemtext::kSend);
                host_.clearText();
                link_.modemBuffer().clear();
                link_.setFlags(kModemMode);
                phase_ = Phase::Ready;
                host_.showStatus(modemtext::kReady);
            } else {
                phase_ = Phase::Idle;
                host_.showStatus(modemtext::kRefused);
            }
            link_.clearFlags(kBusy);
            return;
        }
        if (secondPassed()) {
            --countdown_;
            if (countdown_ <= 0) {
                host_.setButtonsEnabled(true);
                link_.clearFlags(kModemMode | kBusy);
                phase_ = Phase::Idle;
                host_.showStatus(modemtext::kTimeout);
                return;
            }
            host_.showStatus(modemtext::kConnecting + std::to_string(countdown_));
        }
        host_.waitEvents();
    }
}

void ModemConsole::sendAt(const std::string& commandText)
{
    using namespace linkflag;
    if (phase_ == Phase::Waiting) {
        phase_ = Phase::Ready;
        link_.clearFlags(kBusy);
        host_.showStatus(modemtext::kCancelled);
        return;
    }
    line_.discardInput();
    link_.modemBuffer().clear();
    const std::string command = upperAscii(commandText);
    const ModemWait wait = modemWaitFor(command);
    countdown_ = wait.seconds;
    const std::string bytes = command + "\r";
    if (line_.write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) != Status::Ok) {
        host_.showStatus(linktext::kCannotSend);
        return;
    }
    sent_.push_back(command);
    link_.setFlags(kBusy);
    phase_ = Phase::Waiting;
    host_.showStatus(modemtext::kSent);
    lastSecond_ = appClock().now().second;
    link_.pause(200);

    int blocks = 0;
    while (phase_ == Phase::Waiting) {
        if (link_.modemBuffer().size() >= 3) {
            link_.pause(200);  // the rest of the answer
            if (phase_ != Phase::Waiting)
                return;
            host_.appendText(modemText(link_.modemBuffer()));
            link_.modemBuffer().clear();
            if (++blocks >= wait.blocks) {
                phase_ = Phase::Ready;
                link_.clearFlags(kBusy);
                host_.showStatus(modemtext::kReceived);
                return;
            }
            continue;
        }
        host_.waitEvents();
        if (phase_ == Phase::Waiting && secondPassed()) {
            if (countdown_ > 0)
                --countdown_;
            host_.showStatus(modemtext::kWaiting + std::to_string(countdown_));
        }
    }
}

void ModemConsole::close()
{
    using namespace linkflag;
    const bool active = (link_.flags() & (kModemMode | kBusy)) || phase_ == Phase::Ready || phase_ == Phase::Waiting ||
                        phase_ == Phase::Connecting;
    phase_ = Phase::Closed;
    if (!active)
        return;
    link_.clearFlags(kModemMode | kBusy);
    link_.modemBuffer().clear();
    // A check ends the pass-through; the logger answers with an echo.
    link_.sendCommand("00", sendmode::kWait | sendmode::kArmTimeout);
    host_.showStatus(modemtext::kEnded);
}

}  // namespace varenta
