#pragma once
// Reading the measurements of a master file one by one, by number: the
// measurement numbered m starts at (m - 1) x S x 512, S being the sectors
// per measurement of the file.  Used by the conversions that walk a whole
// file (text data files, the export for analysis).
#include "common/masterfile.h"
#include "common/status.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varenta {

class MasterReader {
public:
    MasterReader() = default;
    ~MasterReader();
    MasterReader(const MasterReader&) = delete;
    MasterReader& operator=(const MasterReader&) = delete;

    // Opens the file.  sectorsPerMeasurement <= 0 takes S from the first
    // valid header of a burst with samples (sector by sector; 1 when the
    // file holds results-only sectors alone).  NotFound:
    // no such file; Io: it cannot be read; DataFormat: S was to be found and
    // the file holds no valid header.
    Status open(const std::string& path, int sectorsPerMeasurement = 0, const HeaderDecodeOptions& opt = {});
    void close();

    std::uint64_t fileSize() const { return size_; }
    int sectorsPerMeasurement() const { return sectors_; }
    // The number of the last measurement whose header sector lies in the
    // file (0 when none).
    std::int64_t lastNumber() const;
    std::uint64_t offsetOf(std::int64_t number) const;

    // Reads measurement `number`: its header must be valid (marker, sum,
    // kind byte, fields) with a measurement number above 0, and every
    // sample word must be in the file.  DataFormat otherwise, NotFound past
    // the end of the file, Io on a read error.  withSamples false reads the
    // header sector only.
    Status read(std::int64_t number, MeasurementHeader& header, std::vector<std::int16_t>& interleaved,
                bool withSamples = true);
    // True when every sample word of the measurement with this header, at
    // the place of `number`, lies within the file.
    bool samplesInFile(std::int64_t number, const MeasurementHeader& header) const;

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    int sectors_ = 1;
    HeaderDecodeOptions opt_;
    std::vector<std::uint8_t> buf_;
};

// Bytes from the header sector to the end of the last sample word.
std::uint64_t measurementBytesNeeded(const MeasurementHeader& h);

// The first valid measurement header of a buffer (sector by sector), or -1.
long long firstValidHeaderOffset(const std::uint8_t* data, std::size_t size, const HeaderDecodeOptions& opt = {});

}  // namespace varenta
