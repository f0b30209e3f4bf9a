#include "common/numeric.h"

#include <cmath>
#include <limits>

namespace varenta {

long long roundEven(double v)
{
    if (std::isnan(v))
        return 0;
    const double r = std::nearbyint(v);  // default mode: to nearest, ties to even
    // Beyond the range of long long the conversion would be undefined:
    // saturate instead (infinities included).
    if (r >= 9223372036854775808.0)
        return std::numeric_limits<long long>::max();
    if (r < -9223372036854775808.0)
        return std::numeric_limits<long long>::min();
    return static_cast<long long>(r);
}

int roundEvenInt(double v)
{
    const long long r = roundEven(v);
    if (r > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (r < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}

std::int32_t ShlX(std::int32_t v, int bits)
{
    if (bits <= 0)
        return v;
    if (bits >= 32)
        return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) << bits);
}

std::int32_t ShrX(std::int32_t v, int bits)
{
    if (bits <= 0)
        return v;
    if (bits >= 32)
        return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) >> bits);
}

std::int16_t ShlXI(std::int16_t v, int bits)
{
    if (bits <= 0)
        return v;
    if (bits >= 16)
        return 0;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint16_t>(v) << bits));
}

std::int16_t ShrXI(std::int16_t v, int bits)
{
    if (bits <= 0)
        return v;
    if (bits >= 16)
        return 0;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint16_t>(v) >> bits));
}

std::int16_t saturateCount(double v)
{
    const long long r = roundEven(v);
    if (r > 32767)
        return 32767;
    if (r < -32767)
        return -32767;
    return static_cast<std::int16_t>(r);
}

}  // namespace varenta
