#pragma once
// Shared pieces of the link tests: a recording LinkHost with a manual
// millisecond tick, a scripted input dialog, logger packets built by hand,
// and a scratch folder.
#include "brenlo24/link/link.h"
#include "common/bytes.h"
#include "common/prompter.h"

#include <deque>
#include <filesystem>
#include <unistd.h>
#include <functional>
#include <string>
#include <vector>

namespace varenta::test {

class FakeHost final : public LinkHost {
public:
    DeviceLink* link = nullptr;
    std::vector<std::string> statuses;
    int beeps = 0;
    int indicators = 0;
    int repaints = 0;
    bool timer = false;
    int timerMs = 0;
    std::int64_t timerDue = 0;
    std::int64_t tick = 0;
    int sleptMs = 0;
    int served = 0;
    std::function<void()> onServe;  // what "the event loop" does when served

    void showStatus(const std::string& t) override { statuses.push_back(t); }
    void beep() override { ++beeps; }
    void showKindIndicators(int bits) override { indicators = bits; }
    void repaint() override { ++repaints; }
    void sleepMs(int ms) override
    {
        sleptMs += ms;
        tick += ms;
    }
    void serveEvents() override { serve(); }
    void waitEvents() override
    {
        tick += 50;
        serve();
    }
    void startReceiveTimer(int ms) override
    {
        timer = true;
        timerMs = ms;
        timerDue = tick + ms;
    }
    void stopReceiveTimer() override { timer = false; }
    std::int64_t tickMs() override { return tick; }

    std::string status() const { return statuses.empty() ? std::string() : statuses.back(); }

private:
    void serve()
    {
        ++served;
        if (onServe)
            onServe();
        if (timer && tick >= timerDue && link) {
            timer = false;
            link->onReceiveTimeout();
        }
    }
};

// Answers the input dialog from a script (cleared answer, unticked box when
// the script runs out) and keeps what it was asked and which message boxes
// it showed; every message box is answered Ok.
class ConfirmScript final : public Prompter {
public:
    std::deque<InputResult> results;
    std::vector<InputRequest> asked;
    std::vector<PromptRecord> boxes;

    MsgAnswer message(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons) override
    {
        boxes.push_back({false, title, text, icon, buttons, {}});
        return MsgAnswer::Ok;
    }
    std::string ask(const std::string&, const std::string&, const std::string& preset, int, const std::string&,
                    bool*) override
    {
        return preset;
    }
    InputResult input(const InputRequest& r) override
    {
        asked.push_back(r);
        if (results.empty())
            return InputResult{"", "0"};
        InputResult x = results.front();
        results.pop_front();
        return x;
    }
};

// A logger packet of the given kind with a plausible status block, summing to 0.
inline Packet loggerPacket(std::uint8_t kind, std::uint32_t number = 0)
{
    Packet p{};
    p[0] = kPacketMarker;
    p[1] = 255;
    p[2] = kind;
    putU32(p.data(), 4, number);
    p[8] = 30;   // 12:34:30 on 15 Jun 24
    p[9] = 34;
    p[10] = 12;
    p[11] = 15;
    p[12] = 6;
    p[13] = 24;
    p[14] = 20;
    p[15] = 60;
    p[16] = 0x45;
    p[17] = 0x04;
    putU16(p.data(), 24, 1234);
    p[26] = 0;
    p[27] = 13;
    putU32(p.data(), 28, 42);
    p[59] = 124;
    p[63] = 60;
    p[64] = 0x81;
    p[65] = 0x82;
    p[66] = 0x83;
    for (std::size_t i = 0; i < 128; ++i)
        putS16(p.data(), 256 + 2 * i, static_cast<int>(i) * 100 - 6400);
    fixSectorChecksum(p.data());
    return p;
}

inline std::vector<std::uint8_t> bytesOf(const Packet& p) { return {p.begin(), p.end()}; }

inline std::string scratchFolder(const std::string& name)
{
    const auto dir = std::filesystem::temp_directory_path() / ("varenta_link_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

}  // namespace varenta::test
