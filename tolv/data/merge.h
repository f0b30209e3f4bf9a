#pragma once
// Merging an arrived file into its master file, sector by sector: every
// sector of the arrived file that starts with the marker and sums to 0 is
// written into the master file at 512 x its recording address (bytes 4..7).
// The master file is written in place, so sectors it already holds and the
// arrived file lacks stay as they were.
#include "common/progress.h"
#include "common/status.h"

#include <cstdint>
#include <string>

namespace varenta {

// Recording addresses above this are not taken: no logger memory reaches
// them, and a damaged sector with a huge address must not grow the master
// file to terabytes.
constexpr std::uint32_t kMaxMergeAddress = 0x3FFFFF;

struct MergeOutcome {
    // Ok: merged.  NotFound: no arrived file.  DataFormat: shorter than one
    // sector.  Io: the master file could not be written (the arrived file is
    // still needed).  Cancelled: the progress seam asked to stop.
    Status status = Status::NotFound;
    std::string targetPath;          // folder + "/" + the arrived file's base name + ".h10"
    std::uint64_t sectorsTaken = 0;
    std::uint64_t sectorsSkipped = 0;
    std::int64_t currentNumber = 0;  // number of the last header or result sector taken (0 when none)
};

// Merges source into targetFolder/<base name of source>.h10 (created when
// missing).  The texts "<target name> 更新中！" and "<target name> 更新完了！"
// go to progress->text.
MergeOutcome mergeArrivedFile(const std::string& source, const std::string& targetFolder,
                              const Progress* progress = nullptr);

}  // namespace varenta
