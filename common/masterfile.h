#pragma once
// The master data file pair: the measurement file of 512-byte sectors (one
// header sector per measurement followed by continuation sectors of
// interleaved 16-bit samples) and the results file of 392-byte text records.
#include "common/sector.h"
#include "common/status.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varenta {

// ---- header sector layout ----
namespace hdr {
constexpr std::size_t marker = 0;
constexpr std::size_t machineNumber = 1;
constexpr std::size_t packetInfo = 2;
constexpr std::size_t checksumByte = 3;
constexpr std::size_t recordAddress = 4;
constexpr std::size_t second = 8;
constexpr std::size_t minute = 9;
constexpr std::size_t hour = 10;
constexpr std::size_t day = 11;
constexpr std::size_t month = 12;
constexpr std::size_t year = 13;
constexpr std::size_t durationMinutes = 14;
constexpr std::size_t intervalMinutes = 15;
constexpr std::size_t measureCondition = 16;
constexpr std::size_t conditionExtra = 17;
constexpr std::size_t subNumber = 18;
constexpr std::size_t optionFlagsLow = 20;
constexpr std::size_t optionFlagsHigh = 22;
constexpr std::size_t sdUsage = 24;
constexpr std::size_t measurementNumber = 28;
constexpr std::size_t dataErrorFlags = 54;
constexpr std::size_t cpuVoltage = 58;
constexpr std::size_t measureVoltage = 59;
constexpr std::size_t modelCode = 63;
constexpr std::size_t channelSlots = 64;
constexpr std::size_t meanBearing = 80;
constexpr std::size_t meanWaterTemperature = 82;
constexpr std::size_t auxValue1 = 84;
constexpr std::size_t auxValue2 = 86;
constexpr std::size_t programNumber = 90;
constexpr std::size_t auxWord = 112;
constexpr std::size_t resultsText = 120;  // logger's results text of a result sector
constexpr std::size_t ext128 = 128;
constexpr std::size_t ext130 = 130;
constexpr std::size_t ext132 = 132;
constexpr std::size_t ext134 = 134;
constexpr std::size_t ext135 = 135;
constexpr std::size_t ext136 = 136;
constexpr std::size_t ext137 = 137;
constexpr std::size_t ext138 = 138;
constexpr std::size_t ext139 = 139;
constexpr std::size_t ext140 = 140;
constexpr std::size_t ext142 = 142;
constexpr std::size_t ext143 = 143;
constexpr std::size_t processingFlags = 145;
constexpr std::size_t ext146 = 146;
constexpr std::size_t ext150 = 150;
constexpr std::size_t firstSamples = 256;
constexpr std::size_t headerSampleWords = 128;
// continuation sectors
constexpr std::size_t contAddress = 4;
constexpr std::size_t contSamples = 8;
constexpr std::size_t contSampleWords = 252;
}  // namespace hdr

constexpr int kMaxChannels = 9;
constexpr int kPacketKindHeader = 3;
constexpr int kPacketKindResult = 6;

// Settings that change how a header is decoded.
struct HeaderDecodeOptions {
    bool decodeLoggerExtras = false;          // item 96 value 0 is "1": subNumber, dataErrorFlags
    std::optional<int> processingFlags;       // item 86 value 5 (hexadecimal) when not blank
    std::optional<double> intervalSeconds;    // item 96 value 4 when not blank
};

// The decoded header sector of one measurement, every field as a signed
// 32-bit integer, plus the derived quantities.
struct MeasurementHeader {
    std::int32_t marker = 0;
    std::int32_t machineNumber = 0;
    std::int32_t packetInfo = 0;
    std::int32_t checksumByte = 0;
    std::int32_t recordAddress = 0;
    std::int32_t second = 0, minute = 0, hour = 0, day = 0, month = 0, year = 0;
    std::int32_t durationMinutes = 0;
    std::int32_t intervalMinutes = 0;
    std::int32_t measureCondition = 0;
    std::int32_t conditionExtra = 0;
    std::int32_t subNumber = 0;
    std::int32_t optionFlagsLow = 0;
    std::int32_t optionFlagsHigh = 0;
    std::int32_t sdUsage = 0;
    std::int32_t measurementNumber = 0;
    std::int32_t dataErrorFlags = 0;
    std::int32_t cpuVoltage = 0;
    std::int32_t measureVoltage = 0;
    std::int32_t modelCode = 0;
    std::array<std::int32_t, kMaxChannels> channelSlots{};
    std::int32_t meanBearing = 0;
    std::int32_t meanWaterTemperature = 0;
    std::int32_t auxValue1 = 0;
    std::int32_t auxValue2 = 0;
    std::int32_t programNumber = 0;
    std::int32_t auxWord = 0;
    // extended block (packet kind 3)
    std::int32_t ext128 = 0, ext130 = 0, ext132 = 0, ext134 = 0, ext135 = 0, ext136 = 0, ext137 = 0;
    std::int32_t ext138 = 0, ext139 = 0, ext140 = 0, ext142 = 0, ext143 = 0;
    std::int32_t processingFlags = 0;
    std::int32_t ext146 = 0, ext150 = 0;

    // derived
    int channelCount = 0;
    std::vector<int> channels;      // channel type codes (bits 5-0) of the recorded slots, in slot order
    std::uint32_t channelMask = 0;  // one low bit per recorded channel
    std::uint64_t nibbleMap = 0;    // low nibble of the i-th code shifted left by 4*i
    float intervalTenths = 10.0f;   // sample interval in 0.1 s
    int totalSamples = 0;
    int samplesPerChannel = 0;
    int fftLength = 0;
    int sectorsPerMeasurement = 1;
    std::string dateText;  // "yy/mm/dd" with blank-padded month and day
    std::string timeText;  // "hh:mm:ss"

    int packetKind() const { return packetInfo & 7; }
    double sampleInterval() const { return intervalTenths / 10.0; }
    // Channel lookup: t > 0 the first channel whose code is t; t = 0 the
    // first whose code is 1 or 12; -1 when none.
    int findChannel(int type) const;
    // Recomputes the derived quantities (channel list, counts, texts).
    void derive(const HeaderDecodeOptions& opt = {});
    // Sets dateText/timeText from the date and time fields as they stand.
    void makeDateTimeTexts();
};

// Check (1): marker and 8-bit sum.  Needs 512 bytes.
bool headerCheckBytes(const std::uint8_t* sector);
// Check (2) on the decoded fields.
bool headerCheckFields(const MeasurementHeader& h);
// A sector counts as a measurement header (marker, sum, kind byte & 0xC7).
bool isHeaderSector(const std::uint8_t* sector);

// Decodes the sector by bits 7-6 of the kind byte and derives the rest.
MeasurementHeader decodeHeader(const std::uint8_t* sector, const HeaderDecodeOptions& opt = {});
// Full check and decode: nullopt when the sector is not a valid header.
std::optional<MeasurementHeader> readValidHeader(const std::uint8_t* sector, const HeaderDecodeOptions& opt = {});

// The same for the start of a buffer of `size` bytes: DataFormat when fewer
// than 512 bytes are there or the sector is not a valid header (check (1)
// and (2)); out is left unchanged then.
Status readHeader(const std::uint8_t* data, std::size_t size, MeasurementHeader& out,
                  const HeaderDecodeOptions& opt = {});

// Derived quantities on their own (used by decode and by writers).
int intervalTenthsForCode(int code);
int sectorsFor(int totalSamples, int packetKind);
int fftLengthFor(int samplesPerChannel);

// ---- writing side ----
// Fields a writer sets; encodeHeader lays them out, sets marker and checksum.
struct HeaderFields {
    int machineNumber = 1;
    int packetInfo = 0x83;  // kind 3, whole status block
    std::uint32_t recordAddress = 0;
    int second = 0, minute = 0, hour = 0, day = 1, month = 1, year = 0;
    int durationMinutes = 20;
    int intervalMinutes = 60;
    int measureCondition = 1;  // interval code 1: 0.5 s
    int conditionExtra = 0;
    int subNumber = 0;
    int optionFlagsLow = 0, optionFlagsHigh = 0;
    int sdUsage = 0;
    std::uint32_t measurementNumber = 1;
    int dataErrorFlags = 0;
    int cpuVoltage = 0, measureVoltage = 0;
    int modelCode = 60;
    std::array<int, kMaxChannels> channelSlots{};  // 0x80 | code for a recorded slot
    int meanBearing = 0, meanWaterTemperature = 0, auxValue1 = 0, auxValue2 = 0;
    int programNumber = 0, auxWord = 0;
    // extended block
    int ext128 = 0, ext130 = 0, ext132 = 0, ext134 = 0, ext135 = 0, ext136 = 0, ext137 = 0;
    int ext138 = 0, ext139 = 0, ext140 = 0, ext142 = 0, ext143 = 0, processingFlags = 0, ext146 = 0, ext150 = 0;
};

void encodeHeader(const HeaderFields& f, std::uint8_t* sector);

// Packs the interleaved samples of one measurement into its sectors (header
// sector first, already encoded in sectors[0] or encoded from f).  The sample
// vector holds samplesPerChannel * channelCount words in interleaved order;
// a short vector is padded with -32768.  Continuation sectors get the marker,
// their recording address and checksums.
std::vector<Sector> packMeasurement(const HeaderFields& f, const std::vector<std::int16_t>& interleaved);

// Reads the interleaved sample words of one measurement from its sectors
// (sectors.size() * 512 bytes starting at the header sector).  Missing bytes
// (a truncated file) leave the remaining words as -32768 and give
// Status::DataFormat; the words that were present are kept.
Status unpackSamples(const MeasurementHeader& h, const std::uint8_t* data, std::size_t size,
                     std::vector<std::int16_t>& interleaved);

// ---- file pair ----
// The partner of a measurement or results file: the last letter of the base
// name replaced by "l" (given not ending in L) or "m" (given ending in L).
std::string partnerFileName(const std::string& path);
// True when the base name ends in L or l (a results file).
bool isResultsFileName(const std::string& path);

// ---- results file ----
constexpr std::size_t kResultsRecordSize = 392;
constexpr int kResultItems = 64;
// 0-based character offset of item i (0..63) within a record.
constexpr std::size_t resultItemOffset(int i) { return static_cast<std::size_t>((i / 8) * 49 + (i % 8) * 6); }
// The record used to fill gaps (392 bytes, CR LF at the end).
std::string emptyResultsRecord();
// Item i (5 characters) of a record; empty when the record is too short.
std::string resultItem(const std::string& record, int i);
// Sets item i of a record to a 5-character field (right-aligned, rightmost kept).
void setResultItem(std::string& record, int i, const std::string& value);

}  // namespace varenta
