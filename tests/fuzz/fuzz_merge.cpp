// An arrived file merged into a master file sector by sector: the input is
// the arrived file, merged into a master file that already holds a few
// sectors.  The merge must end, take or skip whole sectors only, and leave
// the master file a whole number of sectors long whenever it started so.
#include "common/sector.h"
#include "fuzz_support.h"
#include "tolv/data/merge.h"

#include <filesystem>
#include <fstream>

using namespace varenta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string folder = fuzz::scratchFile("site");
    std::filesystem::create_directories(folder);
    const std::string source = fuzz::writeInput("NR012M.tmp", data, size);
    const std::string target = folder + "/NR012M.h10";
    {
        // Three sectors of an earlier collection.
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        Sector s{};
        for (std::uint8_t i = 0; i < 3; ++i) {
            s.fill(i);
            s[0] = 0x5A;
            s[4] = i;
            fixSectorChecksum(s.data());
            out.write(reinterpret_cast<const char*>(s.data()), s.size());
        }
    }
    const MergeOutcome m = mergeArrivedFile(source, folder);
    if (m.status == Status::Ok) {
        FUZZ_CHECK(m.sectorsTaken + m.sectorsSkipped <= size / kSectorSize);
        std::error_code ec;
        const auto length = std::filesystem::file_size(m.targetPath, ec);
        FUZZ_CHECK(!ec && length % kSectorSize == 0);
    }
    return 0;
}
