#include "common/sector.h"

namespace varenta {

std::uint8_t byteSum(const std::uint8_t* p, std::size_t n)
{
    unsigned s = 0;
    for (std::size_t i = 0; i < n; ++i)
        s += p[i];
    return static_cast<std::uint8_t>(s);
}

bool sectorSumOk(const std::uint8_t* p) { return byteSum(p, kSectorSize) == 0; }

std::uint8_t sectorChecksumFor(const std::uint8_t* p)
{
    const unsigned others = (byteSum(p, kSectorSize) - p[kChecksumOffset]) & 0xFFu;
    return static_cast<std::uint8_t>((256u - others) & 0xFFu);
}

void fixSectorChecksum(std::uint8_t* p) { p[kChecksumOffset] = sectorChecksumFor(p); }

}  // namespace varenta
