#pragma once
// Rounding and the shift helpers shared by both programs.
#include <cstdint>

namespace varenta {

// Nearest integer, ties to even: the one rounding of reals to integers.
long long roundEven(double v);
int roundEvenInt(double v);

// Shift helpers with zero fill.  Callers mask their operands first; a count
// of 32 (16) or more gives 0.
std::int32_t ShlX(std::int32_t v, int bits);
std::int32_t ShrX(std::int32_t v, int bits);
std::int16_t ShlXI(std::int16_t v, int bits);
std::int16_t ShrXI(std::int16_t v, int bits);

// Clamp a real to a recorded 16-bit count: valid samples never become the
// missing marker -32768.
std::int16_t saturateCount(double v);

constexpr std::int16_t kMissingSample = -32768;

}  // namespace varenta
