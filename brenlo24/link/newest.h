#pragma once
// The search for the newest measurement of a master file that runs before
// the file is converted to text.  First pass, sector by sector: the first
// sector that looks like a header (its first four bytes masked with
// 0x0083005A give 0x0083005A) and passes the byte check (byte 0 neither 0
// nor 255, 8-bit sum 0) is the reference; its 16-bit value at bytes 18-19
// is remembered.  Second pass, measurement by measurement at
// (k - 1) x S x 512: a header there with the reference value is compared
// by year and month (bytes 12-13) and then day and time (bytes 8-11); one
// as new or newer becomes the newest.
#include "common/masterfile.h"
#include "common/progress.h"
#include "common/status.h"

#include <cstdint>
#include <string>

namespace varenta {

namespace searchtext {
inline constexpr const char* kHeaderSearch = "ヘッダー検索中 =";  // + offset in KB + "KB"
inline constexpr const char* kFileUnusable = "ファイル使用不可";
inline constexpr const char* kNumber = "測定番号= ";
}  // namespace searchtext

// Bytes between two progress texts of the first pass.
constexpr std::uint64_t kSearchProgressStep = 102400;

// The mask test of the first four bytes.
bool looksLikeHeader(const std::uint8_t* sector);

struct NewestSearch {
    // Ok: a newest measurement was found (also when a stop ended the second
    // pass early).  NotFound: no such file.  DataFormat: shorter than one
    // sector, or no reference header.  Cancelled: stopped in the first pass.
    // Io: a read failed.
    Status status = Status::NotFound;
    std::uint64_t fileSize = 0;
    std::uint64_t referenceOffset = 0;
    std::uint16_t referenceValue = 0;
    int sectorsPerMeasurement = 0;  // S used by the second pass
    bool found = false;
    std::uint32_t newestNumber = 0;  // bytes 28-29 of the newest header
    std::uint64_t newestOffset = 0;
    bool stopped = false;            // the second pass ended on a stop request
    std::string finalText;           // what the status line shows at the end
};

// sectorsPerMeasurement: S for the second pass; 0 stops after the first
// measurement; below 0 takes S from the reference header (the count the
// processing program derives for it, with opt's interval override).
// progress: texts for the status line, polled for the stop request.
NewestSearch findNewestMeasurement(const std::string& path, int sectorsPerMeasurement, const Progress& progress,
                                   const HeaderDecodeOptions& opt = {});

}  // namespace varenta
