// Header decode and sample unpacking of master-file sectors: every sector
// of the input is checked and decoded the way the loader does, with the
// decode options the settings can set, and the samples of a valid header
// are unpacked from the bytes that follow it.
#include "common/masterfile.h"
#include "common/sector.h"
#include "fuzz_support.h"

#include <vector>

using namespace varenta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the decode options.
    HeaderDecodeOptions opt;
    opt.decodeLoggerExtras = data[0] & 1;
    if (data[0] & 2)
        opt.processingFlags = data[0] >> 4;
    if (data[0] & 4)
        opt.intervalSeconds = (data[0] & 8) ? 0.0 : 0.1 * (data[0] >> 4);
    ++data;
    --size;

    for (std::size_t off = 0; off + kSectorSize <= size; off += kSectorSize) {
        const std::uint8_t* s = data + off;
        const MeasurementHeader any = decodeHeader(s, opt);
        (void)any;
        const bool kindOfHeader = isHeaderSector(s);
        const std::optional<MeasurementHeader> h = readValidHeader(s, opt);
        if (h) {
            FUZZ_CHECK(headerCheckBytes(s));
            FUZZ_CHECK(sectorSumOk(s));
            FUZZ_CHECK(h->month >= 1 && h->month <= 12);
        }
        MeasurementHeader viaBuffer;
        const Status st = readHeader(s, size - off, viaBuffer, opt);
        FUZZ_CHECK((st == Status::Ok) == h.has_value());
        if (!h || !kindOfHeader)
            continue;
        std::vector<std::int16_t> samples;
        unpackSamples(*h, s, size - off, samples);
    }
    // A buffer shorter than a sector is refused, never read past its end.
    MeasurementHeader shortOne;
    if (size < kSectorSize)
        FUZZ_CHECK(readHeader(data, size, shortOne, opt) != Status::Ok);
    return 0;
}
