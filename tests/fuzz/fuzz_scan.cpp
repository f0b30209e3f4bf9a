// The sector scans of a whole master file: the processing program's header
// scan (newest or wanted measurement) and the communication program's
// newest-measurement search before a text conversion, over a file of the
// input's bytes.  Both must end, and what they choose must be a sector of
// the file (the header scan's also one that passes its checks).
#include "brenlo24/link/newest.h"
#include "common/masterfile.h"
#include "common/sector.h"
#include "fuzz_support.h"
#include "tolv/data/scan.h"

#include <cstring>

using namespace varenta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // First byte: the wanted measurement number; second: S of the search
    // (0x80 and up: taken from the reference header).
    const std::int64_t wanted = data[0];
    const int sectors = data[1] >= 0x80 ? -1 : data[1];
    data += 2;
    size -= 2;
    const std::string path = fuzz::writeInput("master.h10", data, size);

    const ScanOutcome scan = scanMeasurementHeaders(path, wanted);
    FUZZ_CHECK(scan.fileSize == size);
    if (scan.status == Status::Ok) {
        FUZZ_CHECK(scan.chosenOffset % kSectorSize == 0);
        FUZZ_CHECK(scan.chosenOffset + kSectorSize <= size);
        FUZZ_CHECK(std::memcmp(scan.chosen.data(), data + scan.chosenOffset, kSectorSize) == 0);
        FUZZ_CHECK(isScanCandidate(scan.chosen.data()));
        FUZZ_CHECK(scan.candidates >= 1);
    }

    const NewestSearch found = findNewestMeasurement(path, sectors, Progress{});
    if (found.status == Status::Ok && found.found) {
        FUZZ_CHECK(found.newestOffset + kSectorSize <= size);
        FUZZ_CHECK(found.newestOffset % kSectorSize == 0);
    }
    return 0;
}
