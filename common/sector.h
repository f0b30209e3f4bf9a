#pragma once
// 512-byte sectors and packets: the 8-bit sum over all bytes is 0 and
// byte 3 is the checksum byte that makes it so.
#include <array>
#include <cstdint>
#include <cstddef>

namespace varenta {

constexpr std::size_t kSectorSize = 512;
constexpr std::uint8_t kSectorMarker = 0x5A;
constexpr std::size_t kChecksumOffset = 3;

using Sector = std::array<std::uint8_t, kSectorSize>;

// 8-bit sum of n bytes.
std::uint8_t byteSum(const std::uint8_t* p, std::size_t n);
// True when the 512 bytes sum to 0 modulo 256.
bool sectorSumOk(const std::uint8_t* p);
// Sets byte 3 so that the 512 bytes sum to 0.
void fixSectorChecksum(std::uint8_t* p);
// The value byte 3 must hold for the sector to sum to 0.
std::uint8_t sectorChecksumFor(const std::uint8_t* p);

}  // namespace varenta
