#pragma once
// The event-loop side of the progress-and-stop seam, and the waits of the
// user interface: sleeps in slices of 50 ms, serving the window after each.
#include "common/progress.h"

#include <functional>

namespace varenta {

// Sleeps ms milliseconds; longer than 50 ms in slices of 50 ms with the
// events processed after each slice.  A wait of 50 ms or less is one sleep.
void uiWait(int ms);
// Lets the window process pending events.
void uiServeEvents();

// A Progress whose poll serves the event loop and reports false once
// stopRequested() is true; text goes to the given sink.
Progress makeUiProgress(std::function<bool()> stopRequested, std::function<void(const std::string&)> text = {});

}  // namespace varenta
