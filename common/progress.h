#pragma once
// The progress-and-stop seam: a long core loop calls the callback at the
// points where the program serves its event loop.  The callback returns
// false once the stop request is set.  Waits go through the same seam.
#include <functional>
#include <string>

namespace varenta {

struct Progress {
    // Serve the event loop; false means stop.
    std::function<bool()> poll;
    // A progress text for the status panel (may be empty).
    std::function<void(const std::string&)> text;
    // Wait about ms milliseconds while serving the event loop; false means stop.
    std::function<bool(int ms)> wait;

    bool keepGoing() const { return poll ? poll() : true; }
    void say(const std::string& s) const
    {
        if (text)
            text(s);
    }
    bool pause(int ms) const { return wait ? wait(ms) : keepGoing(); }
};

}  // namespace varenta
