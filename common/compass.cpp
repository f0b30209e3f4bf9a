#include "common/compass.h"

namespace varenta {

std::string CompassName(double x)
{
    static const char* const names[] = {"N",   "NNE", "NE", "ENE", "E",  "ESE", "SE", "SSE",
                                        "S",   "SSW", "SW", "WSW", "W",  "WNW", "NW", "NNW"};
    if (!(x < 360.0))
        return "-----";
    if (x < 11.25)
        return "N";
    for (int i = 1; i < 16; ++i)
        if (x < 11.25 + 22.5 * i)
            return names[i];
    return "N";
}

}  // namespace varenta
