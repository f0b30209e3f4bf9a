#include "common/windowgeometry.h"

#include <algorithm>

namespace varenta {

namespace {

// One axis: the extent within [min, area], the start moved so that the
// extent lies inside the area.
void boundAxis(int& start, int& extent, int areaStart, int areaExtent, int minimum)
{
    const int limit = std::max(1, areaExtent);
    extent = std::clamp(extent, std::min(std::max(1, minimum), limit), limit);
    const long long end = static_cast<long long>(start) + extent;
    if (end > static_cast<long long>(areaStart) + limit)
        start = areaStart + limit - extent;
    if (start < areaStart)
        start = areaStart;
}

}  // namespace

PlaceRect boundedPlacement(const PlaceRect& wanted, const PlaceRect& area, int minWidth, int minHeight)
{
    PlaceRect r = wanted;
    boundAxis(r.left, r.width, area.left, area.width, minWidth);
    boundAxis(r.top, r.height, area.top, area.height, minHeight);
    return r;
}

}  // namespace varenta
