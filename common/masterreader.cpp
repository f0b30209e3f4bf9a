#include "common/masterreader.h"

#include "common/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace varenta {

namespace {
constexpr std::size_t kSector = 512;
constexpr std::size_t kScanChunk = 1 << 20;

bool validHeaderAt(const std::uint8_t* p, const HeaderDecodeOptions& opt)
{
    if (!isHeaderSector(p))
        return false;
    const auto h = readValidHeader(p, opt);
    return h && h->measurementNumber > 0;
}
}  // namespace

long long firstValidHeaderOffset(const std::uint8_t* data, std::size_t size, const HeaderDecodeOptions& opt)
{
    for (std::size_t off = 0; off + kSector <= size; off += kSector)
        if (validHeaderAt(data + off, opt))
            return static_cast<long long>(off);
    return -1;
}

std::uint64_t measurementBytesNeeded(const MeasurementHeader& h)
{
    const std::uint64_t words = h.packetKind() == kPacketKindResult || h.totalSamples <= 0
                                    ? 0
                                    : static_cast<std::uint64_t>(h.totalSamples);
    if (words <= hdr::headerSampleWords)
        return words == 0 ? kSector : hdr::firstSamples + 2 * words;
    const std::uint64_t rest = words - hdr::headerSampleWords;
    const std::uint64_t sectors = (rest + hdr::contSampleWords - 1) / hdr::contSampleWords;
    const std::uint64_t inLast = rest - (sectors - 1) * hdr::contSampleWords;
    return sectors * kSector + hdr::contSamples + 2 * inLast;
}

MasterReader::~MasterReader() { close(); }

bool MasterReader::samplesInFile(std::int64_t number, const MeasurementHeader& header) const
{
    return number >= 1 && offsetOf(number) + measurementBytesNeeded(header) <= size_;
}

void MasterReader::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

Status MasterReader::open(const std::string& path, int sectorsPerMeasurement, const HeaderDecodeOptions& opt)
{
    close();
    opt_ = opt;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return errno == ENOENT ? Status::NotFound : Status::Io;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        close();
        return Status::Io;
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    if (sectorsPerMeasurement > 0) {
        sectors_ = sectorsPerMeasurement;
        return Status::Ok;
    }
    std::vector<std::uint8_t> chunk(kScanChunk);
    bool resultsOnly = false;
    for (std::uint64_t off = 0; off + kSector <= size_; off += kScanChunk) {
        const long long n = readUpToAt(fd_, chunk.data(), chunk.size(), off);
        if (n < 0) {
            close();
            return Status::Io;
        }
        // A burst's header gives S; a results-only sector (one sector
        // whatever the burst) only when the file has nothing else.
        for (std::size_t at = 0; at + kSector <= static_cast<std::size_t>(n); at += kSector) {
            if (!validHeaderAt(chunk.data() + at, opt_))
                continue;
            const MeasurementHeader h = decodeHeader(chunk.data() + at, opt_);
            if (h.packetKind() == kPacketKindHeader) {
                sectors_ = std::max(1, h.sectorsPerMeasurement);
                return Status::Ok;
            }
            resultsOnly = true;
        }
    }
    if (resultsOnly) {
        sectors_ = 1;
        return Status::Ok;
    }
    close();
    return Status::DataFormat;
}

std::uint64_t MasterReader::offsetOf(std::int64_t number) const
{
    return number <= 1 ? 0 : static_cast<std::uint64_t>(number - 1) * kSector * static_cast<std::uint64_t>(sectors_);
}

std::int64_t MasterReader::lastNumber() const
{
    if (size_ < kSector)
        return 0;
    const std::uint64_t block = kSector * static_cast<std::uint64_t>(sectors_);
    return static_cast<std::int64_t>((size_ - kSector) / block + 1);
}

Status MasterReader::read(std::int64_t number, MeasurementHeader& header, std::vector<std::int16_t>& interleaved,
                          bool withSamples)
{
    if (fd_ < 0)
        return Status::Io;
    if (number < 1 || number > lastNumber())
        return Status::NotFound;
    const std::uint64_t off = offsetOf(number);
    buf_.resize(kSector);
    const long long got = readUpToAt(fd_, buf_.data(), kSector, off);
    if (got < 0)
        return Status::Io;
    if (got < static_cast<long long>(kSector) || !validHeaderAt(buf_.data(), opt_))
        return Status::DataFormat;
    MeasurementHeader h = decodeHeader(buf_.data(), opt_);
    if (withSamples) {
        const std::size_t need = kSector * static_cast<std::size_t>(h.sectorsPerMeasurement);
        buf_.resize(need);
        const long long n = readUpToAt(fd_, buf_.data(), need, off);
        if (n < 0)
            return Status::Io;
        std::vector<std::int16_t> samples;
        if (unpackSamples(h, buf_.data(), static_cast<std::size_t>(n), samples) != Status::Ok)
            return Status::DataFormat;
        interleaved = std::move(samples);
    }
    header = std::move(h);
    return Status::Ok;
}

}  // namespace varenta
