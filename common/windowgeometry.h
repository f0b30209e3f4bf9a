#pragma once
// Window placement from the settings kept inside the area that shows it:
// a size above the area is reduced to it, a size below the minimum raised
// to it (but never above the area), and a position outside the area moved
// in, so that the whole window can be seen.
namespace varenta {

struct PlaceRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PlaceRect&) const = default;
};

PlaceRect boundedPlacement(const PlaceRect& wanted, const PlaceRect& area, int minWidth, int minHeight);

}  // namespace varenta
