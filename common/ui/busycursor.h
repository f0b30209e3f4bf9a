#pragma once
// The busy state: hourglass pointer while a long operation runs.  Nested
// uses are counted, so the pointer comes back only when the outermost ends.
namespace varenta {

void setBusyCursor(bool on);
bool busyCursorShown();

class BusyCursor {
public:
    BusyCursor() { setBusyCursor(true); }
    ~BusyCursor() { setBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace varenta
