#include "brenlo24/link/newest.h"

#include "common/bytes.h"
#include "common/sector.h"

#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace varenta {

namespace {

constexpr std::uint32_t kHeaderMask = 0x0083005A;
constexpr std::size_t kBlock = 1u << 20;  // first-pass read size (a multiple of 512 and of the step)

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f)
            std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool byteCheck(const std::uint8_t* s) { return s[0] != 0 && s[0] != 0xFF && sectorSumOk(s); }

// Newer or as new: year and month first, then day and time.
bool asNewOrNewer(const std::uint8_t* b, const std::uint8_t* a)
{
    const std::uint16_t ym_b = getU16(b, 12), ym_a = getU16(a, 12);
    if (ym_b != ym_a)
        return ym_b > ym_a;
    return getU32(b, 8) >= getU32(a, 8);
}

}  // namespace

bool looksLikeHeader(const std::uint8_t* sector) { return (getU32(sector, 0) & kHeaderMask) == kHeaderMask; }

NewestSearch findNewestMeasurement(const std::string& path, int sectorsPerMeasurement, const Progress& progress,
                                   const HeaderDecodeOptions& opt)
{
    NewestSearch r;
    struct stat sb {};
    if (::stat(path.c_str(), &sb) != 0 || !S_ISREG(sb.st_mode)) {
        r.status = Status::NotFound;
        r.finalText = searchtext::kFileUnusable;
        return r;
    }
    r.fileSize = static_cast<std::uint64_t>(sb.st_size);
    if (r.fileSize < kSectorSize) {
        r.status = Status::DataFormat;
        return r;
    }
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        r.status = Status::Io;
        r.finalText = searchtext::kFileUnusable;
        return r;
    }

    // ---- first pass: the reference header ----
    std::vector<std::uint8_t> block(kBlock);
    Sector reference{};
    bool haveReference = false;
    std::uint64_t offset = 0;
    std::uint64_t nextText = kSearchProgressStep;
    while (!haveReference && offset + kSectorSize <= r.fileSize) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), f.get());
        if (got == 0) {
            if (std::ferror(f.get())) {
                r.status = Status::Io;
                r.finalText = searchtext::kFileUnusable;
                return r;
            }
            break;
        }
        for (std::size_t at = 0; at + kSectorSize <= got; at += kSectorSize, offset += kSectorSize) {
            if (offset >= nextText) {
                nextText += kSearchProgressStep;
                progress.say(std::string(searchtext::kHeaderSearch) + std::to_string(offset / 1024) + "KB");
                if (!progress.keepGoing()) {
                    r.status = Status::Cancelled;
                    r.finalText = searchtext::kFileUnusable;
                    return r;
                }
            }
            const std::uint8_t* s = block.data() + at;
            if (looksLikeHeader(s) && byteCheck(s)) {
                std::copy(s, s + kSectorSize, reference.begin());
                r.referenceOffset = offset;
                haveReference = true;
                break;
            }
        }
        if (got < block.size())
            break;
    }
    if (!haveReference) {
        r.status = Status::DataFormat;
        r.finalText = searchtext::kFileUnusable;
        return r;
    }
    r.referenceValue = getU16(reference.data(), 18);
    if (sectorsPerMeasurement < 0)
        sectorsPerMeasurement = decodeHeader(reference.data(), opt).sectorsPerMeasurement;
    r.sectorsPerMeasurement = sectorsPerMeasurement;

    // ---- second pass: measurement by measurement ----
    Sector s{};
    Sector newest{};
    const std::uint64_t stride = static_cast<std::uint64_t>(sectorsPerMeasurement) * kSectorSize;
    r.status = Status::Ok;
    for (std::uint64_t k = 1;; ++k) {
        const std::uint64_t at = (k - 1) * stride;
        if (at + kSectorSize > r.fileSize)
            break;
        if (::fseeko(f.get(), static_cast<off_t>(at), SEEK_SET) != 0 ||
            std::fread(s.data(), 1, s.size(), f.get()) != s.size()) {
            r.status = Status::Io;
            break;
        }
        // A header whose bytes do not sum to 0 is damaged and cannot be
        // the newest, however late its date reads.
        if (looksLikeHeader(s.data()) && getU16(s.data(), 18) == r.referenceValue && byteCheck(s.data()) &&
            (!r.found || asNewOrNewer(s.data(), newest.data()))) {
            newest = s;
            r.found = true;
            r.newestOffset = at;
            r.newestNumber = getU16(s.data(), 28);
            progress.say(std::string(searchtext::kNumber) + std::to_string(r.newestNumber));
        }
        if (stride == 0)
            break;  // S = 0: only the first measurement
        if ((k & 15) == 0 && !progress.keepGoing()) {
            r.stopped = true;
            break;
        }
    }
    if (r.status == Status::Ok && !r.found)
        r.status = Status::DataFormat;
    r.finalText = r.found ? std::string(searchtext::kNumber) + std::to_string(r.newestNumber)
                          : std::string(searchtext::kFileUnusable);
    return r;
}

}  // namespace varenta
