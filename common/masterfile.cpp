#include "common/masterfile.h"

#include "common/bytes.h"
#include "common/numeric.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace varenta {

int MeasurementHeader::findChannel(int type) const
{
    for (int i = 0; i < static_cast<int>(channels.size()); ++i) {
        const int code = channels[static_cast<std::size_t>(i)];
        if (type > 0 ? code == type : (code == 1 || code == 12))
            return i;
    }
    return -1;
}

int intervalTenthsForCode(int code)
{
    switch (code & 3) {
    case 0: return 10;
    case 1: return 5;
    case 2: return 2;
    default: return 1;
    }
}

int sectorsFor(int totalSamples, int packetKind)
{
    if (packetKind == kPacketKindResult || totalSamples <= static_cast<int>(hdr::headerSampleWords))
        return 1;
    const int rest = totalSamples - static_cast<int>(hdr::headerSampleWords);
    const int per = static_cast<int>(hdr::contSampleWords);
    return 1 + (rest + per - 1) / per;
}

int fftLengthFor(int samplesPerChannel)
{
    if (samplesPerChannel <= 0)
        return 1;
    int n = 1;
    // 2 to the power (integer part of log2(n) + 1): the power of two above n
    while (n <= samplesPerChannel && n < (1 << 30))
        n <<= 1;
    return n;
}

void MeasurementHeader::makeDateTimeTexts()
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%2d/%2d", ((year % 100) + 100) % 100, month, day);
    dateText = buf;
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", hour, minute, second);
    timeText = buf;
}

void MeasurementHeader::derive(const HeaderDecodeOptions& opt)
{
    channels.clear();
    channelMask = 0;
    nibbleMap = 0;
    for (int s = 0; s < kMaxChannels; ++s) {
        const int slot = channelSlots[static_cast<std::size_t>(s)];
        if (slot & 0x80) {
            const int code = slot & 0x3F;
            const int i = static_cast<int>(channels.size());
            channels.push_back(code);
            channelMask |= 1u << i;
            nibbleMap |= static_cast<std::uint64_t>(code & 0x0F) << (4 * i);
        }
    }
    channelCount = static_cast<int>(channels.size());
    intervalTenths = static_cast<float>(intervalTenthsForCode(measureCondition));
    if (opt.intervalSeconds && *opt.intervalSeconds > 0)
        intervalTenths = static_cast<float>(10.0 * *opt.intervalSeconds);
    const double perChannel = 600.0 / intervalTenths * durationMinutes;
    totalSamples = static_cast<int>(roundEven(perChannel * channelCount));
    // rounded to nearest like every derived integer (differs from truncation
    // only for sample intervals set through the settings)
    samplesPerChannel = channelCount > 0 ? static_cast<int>(roundEven(static_cast<double>(totalSamples) / channelCount)) : 0;
    fftLength = fftLengthFor(samplesPerChannel);
    sectorsPerMeasurement = sectorsFor(totalSamples, packetKind());
    makeDateTimeTexts();
}

bool headerCheckBytes(const std::uint8_t* sector)
{
    return sector[hdr::marker] == kSectorMarker && sectorSumOk(sector);
}

bool headerCheckFields(const MeasurementHeader& h)
{
    return h.marker == 90 && h.month >= 1 && h.month <= 12 && h.day >= 1 && h.day <= 31 && h.hour >= 0 &&
           h.hour <= 23 && h.minute >= 0 && h.minute <= 59 && h.second >= 0 && h.second <= 59 &&
           h.durationMinutes >= 1 && h.durationMinutes <= 60;
}

bool isHeaderSector(const std::uint8_t* sector)
{
    if (!headerCheckBytes(sector))
        return false;
    const int k = sector[hdr::packetInfo] & 0xC7;
    return k == 0x83 || k == 0xC6;
}

MeasurementHeader decodeHeader(const std::uint8_t* p, const HeaderDecodeOptions& opt)
{
    MeasurementHeader h;
    h.marker = p[hdr::marker];
    h.machineNumber = p[hdr::machineNumber];
    h.packetInfo = p[hdr::packetInfo];
    h.checksumByte = p[hdr::checksumByte];
    const int extent = h.packetInfo & 0xC0;
    if (extent == 0x40 || extent & 0x80)
        h.recordAddress = getS32(p, hdr::recordAddress);
    if (extent & 0x80) {
        h.second = p[hdr::second];
        h.minute = p[hdr::minute];
        h.hour = p[hdr::hour];
        h.day = p[hdr::day];
        h.month = p[hdr::month];
        h.year = p[hdr::year];
        h.durationMinutes = p[hdr::durationMinutes];
        h.intervalMinutes = p[hdr::intervalMinutes];
        h.measureCondition = p[hdr::measureCondition];
        h.conditionExtra = p[hdr::conditionExtra];
        if (opt.decodeLoggerExtras) {
            h.subNumber = getU16(p, hdr::subNumber);
            h.dataErrorFlags = p[hdr::dataErrorFlags];
        }
        h.optionFlagsLow = getU16(p, hdr::optionFlagsLow);
        h.optionFlagsHigh = getU16(p, hdr::optionFlagsHigh);
        h.sdUsage = getU16(p, hdr::sdUsage);
        h.measurementNumber = getS32(p, hdr::measurementNumber);
        h.cpuVoltage = p[hdr::cpuVoltage];
        h.measureVoltage = p[hdr::measureVoltage];
        h.modelCode = p[hdr::modelCode];
        for (int s = 0; s < kMaxChannels; ++s)
            h.channelSlots[static_cast<std::size_t>(s)] = p[hdr::channelSlots + static_cast<std::size_t>(s)];
        h.meanBearing = getS16(p, hdr::meanBearing);
        h.meanWaterTemperature = getS16(p, hdr::meanWaterTemperature);
        h.auxValue1 = getS16(p, hdr::auxValue1);
        h.auxValue2 = getS16(p, hdr::auxValue2);
        h.programNumber = getU16(p, hdr::programNumber);
        h.auxWord = getU16(p, hdr::auxWord);
        if (h.packetKind() == kPacketKindHeader) {
            h.ext128 = getU16(p, hdr::ext128);
            h.ext130 = getU16(p, hdr::ext130);
            h.ext132 = getU16(p, hdr::ext132);
            h.ext134 = getS8(p, hdr::ext134);
            h.ext135 = p[hdr::ext135];
            h.ext136 = p[hdr::ext136];
            h.ext137 = p[hdr::ext137];
            h.ext138 = p[hdr::ext138];
            h.ext139 = p[hdr::ext139];
            h.ext140 = getU16(p, hdr::ext140);
            h.ext142 = p[hdr::ext142];
            h.ext143 = p[hdr::ext143];
            h.processingFlags = p[hdr::processingFlags];
            h.ext146 = getU16(p, hdr::ext146);
            h.ext150 = getS16(p, hdr::ext150);
            if (opt.processingFlags)
                h.processingFlags = *opt.processingFlags;
        }
    }
    h.derive(opt);
    return h;
}

std::optional<MeasurementHeader> readValidHeader(const std::uint8_t* sector, const HeaderDecodeOptions& opt)
{
    if (!headerCheckBytes(sector))
        return std::nullopt;
    MeasurementHeader h = decodeHeader(sector, opt);
    if (!headerCheckFields(h))
        return std::nullopt;
    return h;
}

Status readHeader(const std::uint8_t* data, std::size_t size, MeasurementHeader& out, const HeaderDecodeOptions& opt)
{
    if (data == nullptr || size < kSectorSize)
        return Status::DataFormat;
    std::optional<MeasurementHeader> h = readValidHeader(data, opt);
    if (!h)
        return Status::DataFormat;
    out = std::move(*h);
    return Status::Ok;
}

void encodeHeader(const HeaderFields& f, std::uint8_t* p)
{
    for (std::size_t i = 0; i < hdr::firstSamples; ++i)
        p[i] = 0;
    p[hdr::marker] = kSectorMarker;
    putU8(p, hdr::machineNumber, static_cast<unsigned>(f.machineNumber));
    putU8(p, hdr::packetInfo, static_cast<unsigned>(f.packetInfo));
    putU32(p, hdr::recordAddress, f.recordAddress);
    putU8(p, hdr::second, static_cast<unsigned>(f.second));
    putU8(p, hdr::minute, static_cast<unsigned>(f.minute));
    putU8(p, hdr::hour, static_cast<unsigned>(f.hour));
    putU8(p, hdr::day, static_cast<unsigned>(f.day));
    putU8(p, hdr::month, static_cast<unsigned>(f.month));
    putU8(p, hdr::year, static_cast<unsigned>(f.year));
    putU8(p, hdr::durationMinutes, static_cast<unsigned>(f.durationMinutes));
    putU8(p, hdr::intervalMinutes, static_cast<unsigned>(f.intervalMinutes));
    putU8(p, hdr::measureCondition, static_cast<unsigned>(f.measureCondition));
    putU8(p, hdr::conditionExtra, static_cast<unsigned>(f.conditionExtra));
    putU16(p, hdr::subNumber, static_cast<unsigned>(f.subNumber));
    putU16(p, hdr::optionFlagsLow, static_cast<unsigned>(f.optionFlagsLow));
    putU16(p, hdr::optionFlagsHigh, static_cast<unsigned>(f.optionFlagsHigh));
    putU16(p, hdr::sdUsage, static_cast<unsigned>(f.sdUsage));
    putU32(p, hdr::measurementNumber, f.measurementNumber);
    putU8(p, hdr::dataErrorFlags, static_cast<unsigned>(f.dataErrorFlags));
    putU8(p, hdr::cpuVoltage, static_cast<unsigned>(f.cpuVoltage));
    putU8(p, hdr::measureVoltage, static_cast<unsigned>(f.measureVoltage));
    putU8(p, hdr::modelCode, static_cast<unsigned>(f.modelCode));
    for (int s = 0; s < kMaxChannels; ++s)
        putU8(p, hdr::channelSlots + static_cast<std::size_t>(s), static_cast<unsigned>(f.channelSlots[static_cast<std::size_t>(s)]));
    putS16(p, hdr::meanBearing, f.meanBearing);
    putS16(p, hdr::meanWaterTemperature, f.meanWaterTemperature);
    putS16(p, hdr::auxValue1, f.auxValue1);
    putS16(p, hdr::auxValue2, f.auxValue2);
    putU16(p, hdr::programNumber, static_cast<unsigned>(f.programNumber));
    putU16(p, hdr::auxWord, static_cast<unsigned>(f.auxWord));
    if ((f.packetInfo & 7) == kPacketKindHeader) {
        putU16(p, hdr::ext128, static_cast<unsigned>(f.ext128));
        putU16(p, hdr::ext130, static_cast<unsigned>(f.ext130));
        putU16(p, hdr::ext132, static_cast<unsigned>(f.ext132));
        putU8(p, hdr::ext134, static_cast<unsigned>(f.ext134));
        putU8(p, hdr::ext135, static_cast<unsigned>(f.ext135));
        putU8(p, hdr::ext136, static_cast<unsigned>(f.ext136));
        putU8(p, hdr::ext137, static_cast<unsigned>(f.ext137));
        putU8(p, hdr::ext138, static_cast<unsigned>(f.ext138));
        putU8(p, hdr::ext139, static_cast<unsigned>(f.ext139));
        putU16(p, hdr::ext140, static_cast<unsigned>(f.ext140));
        putU8(p, hdr::ext142, static_cast<unsigned>(f.ext142));
        putU8(p, hdr::ext143, static_cast<unsigned>(f.ext143));
        putU8(p, hdr::processingFlags, static_cast<unsigned>(f.processingFlags));
        putU16(p, hdr::ext146, static_cast<unsigned>(f.ext146));
        putS16(p, hdr::ext150, f.ext150);
    }
    fixSectorChecksum(p);
}

static MeasurementHeader headerOf(const HeaderFields& f)
{
    Sector s{};
    encodeHeader(f, s.data());
    return decodeHeader(s.data());
}

std::vector<Sector> packMeasurement(const HeaderFields& f, const std::vector<std::int16_t>& interleaved)
{
    const MeasurementHeader h = headerOf(f);
    const int words = h.packetKind() == kPacketKindResult ? 0 : h.totalSamples;
    std::vector<Sector> out(static_cast<std::size_t>(h.sectorsPerMeasurement));
    Sector& head = out[0];
    head.fill(0);
    encodeHeader(f, head.data());
    auto sampleAt = [&](int i) -> std::int16_t {
        return i < static_cast<int>(interleaved.size()) ? interleaved[static_cast<std::size_t>(i)] : kMissingSample;
    };
    int w = 0;
    for (std::size_t k = 0; k < hdr::headerSampleWords && w < words; ++k, ++w)
        putS16(head.data(), hdr::firstSamples + 2 * k, sampleAt(w));
    fixSectorChecksum(head.data());
    for (std::size_t s = 1; s < out.size(); ++s) {
        Sector& sec = out[s];
        sec.fill(0);
        sec[0] = kSectorMarker;
        sec[1] = static_cast<std::uint8_t>(f.machineNumber);
        sec[2] = 0x01;  // data packet kind
        putU32(sec.data(), hdr::contAddress, f.recordAddress + static_cast<std::uint32_t>(s));
        for (std::size_t k = 0; k < hdr::contSampleWords && w < words; ++k, ++w)
            putS16(sec.data(), hdr::contSamples + 2 * k, sampleAt(w));
        fixSectorChecksum(sec.data());
    }
    return out;
}

Status unpackSamples(const MeasurementHeader& h, const std::uint8_t* data, std::size_t size,
                     std::vector<std::int16_t>& out)
{
    const int words = h.packetKind() == kPacketKindResult ? 0 : h.totalSamples;
    out.assign(static_cast<std::size_t>(words > 0 ? words : 0), kMissingSample);
    Status st = Status::Ok;
    int w = 0;
    for (int s = 0; w < words; ++s) {
        const std::size_t base = static_cast<std::size_t>(s) * kSectorSize;
        const std::size_t first = s == 0 ? hdr::firstSamples : hdr::contSamples;
        const std::size_t count = s == 0 ? hdr::headerSampleWords : hdr::contSampleWords;
        for (std::size_t k = 0; k < count && w < words; ++k, ++w) {
            const std::size_t off = base + first + 2 * k;
            if (off + 2 > size) {
                return Status::DataFormat;
            }
            out[static_cast<std::size_t>(w)] = getS16(data, off);
        }
    }
    return st;
}

std::string partnerFileName(const std::string& path)
{
    namespace fs = std::filesystem;
    fs::path p(path);
    std::string stem = p.stem().string();
    if (stem.empty())
        return path;
    const char last = stem.back();
    stem.back() = (last == 'L' || last == 'l') ? 'm' : 'l';
    fs::path out = p.parent_path() / (stem + p.extension().string());
    return out.string();
}

bool isResultsFileName(const std::string& path)
{
    std::string stem = std::filesystem::path(path).stem().string();
    return !stem.empty() && (stem.back() == 'L' || stem.back() == 'l');
}

std::string emptyResultsRecord()
{
    std::string r;
    r.reserve(kResultsRecordSize);
    r += "-----,   00, 1/ 1, 0:00,-----,-----,-----,-----, ";
    for (int g = 0; g < 6; ++g)
        r += "-----,-----,-----,-----,-----,-----,-----,-----, ";
    r += "-----,-----,-----,-----,-----,-----,-----,-----\r\n";
    return r;
}

std::string resultItem(const std::string& record, int i)
{
    if (i < 0 || i >= kResultItems)
        return {};
    const std::size_t off = resultItemOffset(i);
    if (off + 5 > record.size())
        return {};
    return record.substr(off, 5);
}

void setResultItem(std::string& record, int i, const std::string& value)
{
    if (i < 0 || i >= kResultItems)
        return;
    const std::size_t off = resultItemOffset(i);
    if (off + 5 > record.size())
        return;
    std::string v = value.size() >= 5 ? value.substr(value.size() - 5) : std::string(5 - value.size(), ' ') + value;
    record.replace(off, 5, v);
}

}  // namespace varenta
