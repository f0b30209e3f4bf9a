#pragma once
// Finding the measurements of a master file: every sector is examined in
// file order; candidates are valid measurement headers with a measurement
// number above 0, and the newest of them (by date and time, the later
// position winning a tie) is kept.  The file is read in large blocks, with
// constant memory whatever its size.
#include "common/progress.h"
#include "common/sector.h"
#include "common/status.h"

#include <cstdint>
#include <string>

namespace varenta {

// Bytes between two calls of the progress seam during a scan.
constexpr std::uint64_t kScanProgressStep = 32768;
// Size of the blocks a scan reads.
constexpr std::size_t kScanBlockSize = 1u << 20;

struct ScanOutcome {
    // Ok: a header was chosen.  NotFound: no such file.  DataFormat: a file
    // shorter than one sector or without any candidate.  Cancelled: the
    // progress seam asked to stop.  Io: a read failed.
    Status status = Status::NotFound;
    std::uint64_t fileSize = 0;
    Sector chosen{};                   // the chosen header sector as read
    std::uint64_t chosenOffset = 0;
    std::int64_t latestNumber = 0;     // number of the newest candidate
    std::uint64_t latestOffset = 0;
    bool wantedFound = false;          // the chosen one is the wanted number
    std::uint64_t candidates = 0;      // how many candidates were seen
};

// A sector is a candidate when it is a measurement header (marker, 8-bit
// sum, kind byte AND 0xC7 = 0x83 or 0xC6), passes the field check (a
// header with month 13 or a duration of 0 is not a measurement, and must
// not win the date comparison) and carries a measurement number above 0.
bool isScanCandidate(const std::uint8_t* sector);

// True when candidate b replaces the kept a: b's u16 at offset 12 (year,
// month) is greater, or equal and b's u32 at offset 8 (day, hour, minute,
// second) is greater or equal.
bool newerOrSame(const std::uint8_t* b, const std::uint8_t* a);

// Scans a file.  wantedNumber > 0: when a candidate with that number
// replaces the kept one and no wanted position is remembered yet, its
// position is remembered, and it is chosen in the end.  Otherwise the
// newest is chosen.  progress is polled every kScanProgressStep bytes.
ScanOutcome scanMeasurementHeaders(const std::string& path, std::int64_t wantedNumber, const Progress* progress = nullptr);

// Byte offset of a measurement: (number - 1) x 512 x sectors; numbers of 0
// or less give 0.
std::uint64_t measurementOffset(std::int64_t number, int sectorsPerMeasurement);

}  // namespace varenta
