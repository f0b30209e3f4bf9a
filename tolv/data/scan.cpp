#include "tolv/data/scan.h"

#include "common/bytes.h"
#include "common/fileio.h"
#include "common/masterfile.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varenta {

namespace {

// The field check of a header sector without decoding it.
bool fieldsPlausible(const std::uint8_t* s)
{
    const unsigned month = s[hdr::month], day = s[hdr::day];
    const unsigned dur = s[hdr::durationMinutes];
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && s[hdr::hour] <= 23 && s[hdr::minute] <= 59 &&
           s[hdr::second] <= 59 && dur >= 1 && dur <= 60;
}

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadOnlyFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

}  // namespace

bool isScanCandidate(const std::uint8_t* s)
{
    // Cheap tests first: continuation sectors (kind byte 0x01) end here.
    const unsigned kind = s[hdr::packetInfo] & 0xC7u;
    if (kind != 0x83u && kind != 0xC6u)
        return false;
    if (s[hdr::marker] != kSectorMarker)
        return false;
    if (!fieldsPlausible(s))
        return false;
    if (getS32(s, hdr::measurementNumber) <= 0)
        return false;
    return sectorSumOk(s);
}

bool newerOrSame(const std::uint8_t* b, const std::uint8_t* a)
{
    const std::uint16_t yb = getU16(b, 12), ya = getU16(a, 12);
    if (yb != ya)
        return yb > ya;
    return getU32(b, 8) >= getU32(a, 8);
}

std::uint64_t measurementOffset(std::int64_t number, int sectorsPerMeasurement)
{
    if (number <= 0 || sectorsPerMeasurement <= 0)
        return 0;
    return static_cast<std::uint64_t>(number - 1) * kSectorSize * static_cast<std::uint64_t>(sectorsPerMeasurement);
}

ScanOutcome scanMeasurementHeaders(const std::string& path, std::int64_t wantedNumber, const Progress* progress)
{
    ScanOutcome out;
    ReadOnlyFile f(path);
    if (f.fd() < 0) {
        out.status = (errno == ENOENT || errno == ENOTDIR) ? Status::NotFound : Status::Io;
        return out;
    }
    struct stat st {};
    if (::fstat(f.fd(), &st) != 0) {
        out.status = Status::Io;
        return out;
    }
    out.fileSize = static_cast<std::uint64_t>(st.st_size);
    if (out.fileSize < kSectorSize) {
        out.status = Status::DataFormat;
        return out;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(f.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif

    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[kScanBlockSize]);
    Sector kept{};  // compared as zeros until the first candidate
    bool haveKept = false;
    Sector wanted{};
    std::uint64_t wantedOffset = 0;
    bool haveWanted = false;
    std::uint64_t nextPoll = 0;

    const std::uint64_t whole = out.fileSize - out.fileSize % kSectorSize;
    for (std::uint64_t base = 0; base < whole;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kScanBlockSize, whole - base));
        const long long got = readUpToAt(f.fd(), block.get(), want, base);
        if (got < 0) {
            out.status = Status::Io;
            return out;
        }
        const std::size_t usable = static_cast<std::size_t>(got) - static_cast<std::size_t>(got) % kSectorSize;
        if (usable == 0)
            break;  // the file shrank under us
        for (std::size_t off = 0; off < usable; off += kSectorSize) {
            const std::uint64_t pos = base + off;
            if (pos >= nextPoll) {
                if (progress && !progress->keepGoing()) {
                    out.status = Status::Cancelled;
                    return out;
                }
                nextPoll = pos + kScanProgressStep;
            }
            const std::uint8_t* s = block.get() + off;
            if (!isScanCandidate(s))
                continue;
            ++out.candidates;
            if (haveKept && !newerOrSame(s, kept.data()))
                continue;
            std::memcpy(kept.data(), s, kSectorSize);
            haveKept = true;
            out.latestOffset = pos;
            if (!haveWanted && wantedNumber > 0 && getS32(s, hdr::measurementNumber) == wantedNumber) {
                std::memcpy(wanted.data(), s, kSectorSize);
                wantedOffset = pos;
                haveWanted = true;
            }
        }
        base += usable;
    }
    if (!haveKept) {
        out.status = Status::DataFormat;
        return out;
    }
    out.latestNumber = getS32(kept.data(), hdr::measurementNumber);
    if (wantedNumber > 0 && haveWanted) {
        out.chosen = wanted;
        out.chosenOffset = wantedOffset;
        out.wantedFound = true;
    } else {
        out.chosen = kept;
        out.chosenOffset = out.latestOffset;
    }
    out.status = Status::Ok;
    return out;
}

}  // namespace varenta
