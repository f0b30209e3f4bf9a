#pragma once
// Directions as the 16 points of the compass.
#include <string>

namespace varenta {

// The 16-point compass name of a direction in degrees: "N" below 11.25,
// then "NNE" ... "NNW" in steps of 22.5, "N" again from 348.75, and "-----"
// at 360 or more (and for a value that is not a number).
std::string CompassName(double degrees);

}  // namespace varenta
