#pragma once
// Settings changes made by the main window's commands on behalf of the
// graph views: the lane channel step of the toolbar and the zoom commands.
#include "common/settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varenta {

// Channel step (toolbar up/down): for each raw-graph lane whose display
// switch (item 170 + lane, value 0) is 1, the lane's channel index moves by
// delta (+1 or -1), wrapping within 0 .. channelCount - 1; the indexes are
// written to item 178 values 0..7.  Returns false (nothing changed) when no
// channel is recorded.
bool stepLaneChannels(Settings& s, std::array<int, 8>& lanes, int channelCount, int delta);

// The next entry of a value list: in = the largest entry smaller than the
// current value, out = the smallest larger one; nullopt when there is none.
std::optional<double> zoomStep(const std::vector<double>& list, double current, bool in);
// The position of that entry in the list (for lists paired entry by entry).
std::optional<std::size_t> zoomStepIndex(const std::vector<double>& list, double current, bool in);

// A decimal as settings text: no exponent, no trailing zeros.
std::string decimalText(double v);

// Zoom of the time axis: raw graph (kind 1) span item 79 value 0 over the
// list of item 65 value 4; results graph (kind 3) day span item 78 value 0
// over item 65 value 3 with the grid count item 78 value 2 taken from the
// paired list item 65 value 5.  Returns true when a value changed.
bool zoomTimeAxis(Settings& s, int kind, bool in);

// Zoom of the value axis.  Raw graph: automatic (0x400) and linked (0x200)
// full scale switched off in the automatic-function word, and the full
// scale of lanes 1 to 4 (items 170..173 value 1) each stepped over the list
// of item 65 value 2.  Results graph: automatic limits (0x8000) switched
// off and the upper limit of channel c (item 70 + c value 2) stepped over
// the entries of item 65 value 1 from the eighth on.
bool zoomValueAxis(Settings& s, std::uint32_t& autoWord, int kind, bool in, int resultsChannel);

}  // namespace varenta
