#include "brenlo24/link/pollhost.h"

#include <algorithm>
#include <poll.h>

namespace varenta {

void PollHost::showStatus(const std::string& text)
{
    status_ = text;
    log_.push_back(text);
    if (log_.size() > 10000)
        log_.erase(log_.begin(), log_.begin() + 5000);
    if (onStatus)
        onStatus(text);
}

void PollHost::sleepMs(int ms)
{
    if (ms > 0)
        ::poll(nullptr, 0, ms);
}

void PollHost::startReceiveTimer(int ms) { deadline_ = tickMs() + ms; }

void PollHost::runOnce(int timeoutMs)
{
    int wait = timeoutMs;
    if (deadline_ >= 0)
        wait = static_cast<int>(std::clamp<std::int64_t>(deadline_ - tickMs(), 0, timeoutMs));
    port_.poll(wait);
    if (deadline_ >= 0 && tickMs() >= deadline_) {
        deadline_ = -1;
        if (link_)
            link_->onReceiveTimeout();
    }
}

bool PollHost::runUntil(const std::function<bool()>& pred, int ms)
{
    const std::int64_t end = tickMs() + ms;
    while (!pred()) {
        const std::int64_t left = end - tickMs();
        if (left <= 0)
            return pred();
        runOnce(static_cast<int>(std::min<std::int64_t>(left, 50)));
    }
    return true;
}

void PollHost::runFor(int ms)
{
    runUntil([] { return false; }, ms);
}

}  // namespace varenta
