// The master data file format: header sectors, derived quantities, sample
// packing across sectors, file pair names, results records and the channel
// definition table.
#include "common/bytes.h"
#include "common/channeltable.h"
#include "common/masterfile.h"
#include "common/numeric.h"
#include "header_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace varenta;
using varenta::testing::headerSector;

namespace {

HeaderFields fields(int code, int duration, int channels, int packetInfo = 0x83)
{
    HeaderFields f;
    f.packetInfo = packetInfo;
    f.measureCondition = code;
    f.durationMinutes = duration;
    f.year = 26;
    f.month = 5;
    f.day = 6;
    f.hour = 10;
    f.minute = 3;
    f.second = 7;
    for (int i = 0; i < channels; ++i)
        f.channelSlots[static_cast<std::size_t>(i)] = 0x80 | (i + 1);
    return f;
}

}  // namespace

// ---- derived quantities ----

TEST(MasterFileDerived, WorkedExampleOfThreeChannelsAtOneSecond)
{
    const Sector s = headerSector(fields(0, 20, 3));
    const std::optional<MeasurementHeader> h = readValidHeader(s.data());
    ASSERT_TRUE(h);
    EXPECT_EQ(h->channelCount, 3);
    EXPECT_EQ(h->totalSamples, 3600);
    EXPECT_EQ(h->samplesPerChannel, 1200);
    EXPECT_EQ(h->fftLength, 2048);
    EXPECT_EQ(h->sectorsPerMeasurement, 15);
    EXPECT_FLOAT_EQ(h->intervalTenths, 10.0f);
    EXPECT_DOUBLE_EQ(h->sampleInterval(), 1.0);
}

TEST(MasterFileDerived, ScheduleTable)
{
    struct Case {
        int code, duration, channels, packetInfo;
        int total, perChannel, fft, sectors;
    };
    const Case cases[] = {
        {0, 20, 3, 0x83, 3600, 1200, 2048, 15},
        {1, 20, 3, 0x83, 7200, 2400, 4096, 30},   // 1 + ceil(7072/252 = 28.06)
        {2, 1, 1, 0x83, 300, 300, 512, 2},        // 1 + ceil(172/252)
        {3, 60, 9, 0x83, 324000, 36000, 65536, 1287},  // 1 + ceil(323872/252 = 1285.2)
        {0, 1, 2, 0x83, 120, 60, 64, 1},          // fits the header sector
        {0, 20, 3, 0xC6, 3600, 1200, 2048, 1},    // result sector: always one
        {1, 60, 9, 0xC6, 64800, 7200, 8192, 1},
        {0, 16, 1, 0x83, 960, 960, 1024, 5},      // 1 + ceil(832/252) = 1 + 3.3
        {0, 1, 0, 0x83, 0, 0, 1, 1},              // no channel recorded
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("code " + std::to_string(c.code) + " duration " + std::to_string(c.duration) + " channels " +
                     std::to_string(c.channels) + " kind " + std::to_string(c.packetInfo));
        const MeasurementHeader h = decodeHeader(headerSector(fields(c.code, c.duration, c.channels, c.packetInfo)).data());
        EXPECT_EQ(h.totalSamples, c.total);
        EXPECT_EQ(h.samplesPerChannel, c.perChannel);
        EXPECT_EQ(h.fftLength, c.fft);
        EXPECT_EQ(h.sectorsPerMeasurement, c.sectors);
    }
}

TEST(MasterFileDerived, SectorCountAtTheSectorBoundaries)
{
    struct Case {
        int total, kind, sectors;
    };
    const Case cases[] = {
        {1, 3, 1}, {128, 3, 1}, {129, 3, 2}, {380, 3, 2}, {381, 3, 3}, {632, 3, 3}, {633, 3, 4},
        {129, 6, 1}, {100000, 6, 1}, {0, 3, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sectorsFor(c.total, c.kind), c.sectors) << c.total << " samples, kind " << c.kind;
}

TEST(MasterFileDerived, SampleCountsOf128And129And380FromTheSettingsInterval)
{
    // The settings may replace the sample interval (item 96 value 4); one
    // channel over one minute then gives exactly these sample counts.
    struct Case {
        double seconds;
        int total, sectors;
    };
    const Case cases[] = {{60.0 / 128, 128, 1}, {60.0 / 129, 129, 2}, {60.0 / 380, 380, 2}, {60.0 / 381, 381, 3}};
    for (const Case& c : cases) {
        HeaderDecodeOptions opt;
        opt.intervalSeconds = c.seconds;
        const MeasurementHeader h = decodeHeader(headerSector(fields(0, 1, 1)).data(), opt);
        EXPECT_EQ(h.totalSamples, c.total) << c.seconds;
        EXPECT_EQ(h.samplesPerChannel, c.total);
        EXPECT_EQ(h.sectorsPerMeasurement, c.sectors) << c.seconds;
    }
}

TEST(MasterFileDerived, SettingsIntervalOverridesTheCode)
{
    HeaderDecodeOptions opt;
    opt.intervalSeconds = 2.0;
    const MeasurementHeader h = decodeHeader(headerSector(fields(1, 20, 3)).data(), opt);
    EXPECT_FLOAT_EQ(h.intervalTenths, 20.0f);
    EXPECT_EQ(h.totalSamples, 1800);
    EXPECT_EQ(h.samplesPerChannel, 600);

    // Integer results are rounded to nearest: 600/7 per minute, 3 channels
    // give 257.14 -> 257 words and 85.67 -> 86 per channel.
    opt.intervalSeconds = 0.7;
    const MeasurementHeader g = decodeHeader(headerSector(fields(1, 1, 3)).data(), opt);
    EXPECT_EQ(g.totalSamples, 257);
    EXPECT_EQ(g.samplesPerChannel, 86);

    opt.intervalSeconds = 0.0;  // blank or zero: the code decides
    EXPECT_FLOAT_EQ(decodeHeader(headerSector(fields(2, 1, 1)).data(), opt).intervalTenths, 2.0f);
}

TEST(MasterFileDerived, FftLengthIsThePowerOfTwoAboveTheCount)
{
    const std::pair<int, int> cases[] = {{1, 2}, {2, 4}, {3, 4}, {1023, 1024}, {1024, 2048}, {1200, 2048}, {2048, 4096}};
    for (auto [n, fft] : cases)
        EXPECT_EQ(fftLengthFor(n), fft) << n;
}

// ---- header checks ----

TEST(MasterFileHeaderCheck, ChecksumOffByOneIsRejected)
{
    const Sector good = headerSector(fields(1, 20, 3));
    ASSERT_TRUE(headerCheckBytes(good.data()));
    ASSERT_TRUE(isHeaderSector(good.data()));
    for (int delta : {+1, -1}) {
        Sector bad = good;
        bad[kChecksumOffset] = static_cast<std::uint8_t>(bad[kChecksumOffset] + delta);
        EXPECT_FALSE(headerCheckBytes(bad.data()));
        EXPECT_FALSE(isHeaderSector(bad.data()));
        EXPECT_FALSE(readValidHeader(bad.data()));
    }
    // Any other byte changed by one breaks the sum as well.
    for (std::size_t at : {std::size_t{1}, std::size_t{28}, std::size_t{300}, std::size_t{511}}) {
        Sector bad = good;
        ++bad[at];
        EXPECT_FALSE(readValidHeader(bad.data())) << "byte " << at;
    }
}

TEST(MasterFileHeaderCheck, MarkerMustBe5AEvenWithAGoodSum)
{
    Sector s = headerSector(fields(1, 20, 3));
    for (std::uint8_t marker : {0x00, 0x5B, 0xA5, 0xFF}) {
        s[0] = marker;
        fixSectorChecksum(s.data());
        ASSERT_TRUE(sectorSumOk(s.data()));
        EXPECT_FALSE(headerCheckBytes(s.data())) << int(marker);
        EXPECT_FALSE(readValidHeader(s.data()));
    }
}

TEST(MasterFileHeaderCheck, FieldRanges)
{
    struct Case {
        const char* what;
        void (*set)(HeaderFields&);
        bool valid;
    };
    const Case cases[] = {
        {"31 February", [](HeaderFields& f) { f.month = 2; f.day = 31; }, true},
        {"31 April", [](HeaderFields& f) { f.month = 4; f.day = 31; }, true},
        {"month 12", [](HeaderFields& f) { f.month = 12; }, true},
        {"month 0", [](HeaderFields& f) { f.month = 0; }, false},
        {"month 13", [](HeaderFields& f) { f.month = 13; }, false},
        {"day 0", [](HeaderFields& f) { f.day = 0; }, false},
        {"day 32", [](HeaderFields& f) { f.day = 32; }, false},
        {"23:59:59", [](HeaderFields& f) { f.hour = 23; f.minute = 59; f.second = 59; }, true},
        {"hour 24", [](HeaderFields& f) { f.hour = 24; }, false},
        {"minute 60", [](HeaderFields& f) { f.minute = 60; }, false},
        {"second 60", [](HeaderFields& f) { f.second = 60; }, false},
        {"duration 1", [](HeaderFields& f) { f.durationMinutes = 1; }, true},
        {"duration 60", [](HeaderFields& f) { f.durationMinutes = 60; }, true},
        {"duration 0", [](HeaderFields& f) { f.durationMinutes = 0; }, false},
        {"duration 61", [](HeaderFields& f) { f.durationMinutes = 61; }, false},
        {"year 99", [](HeaderFields& f) { f.year = 99; }, true},
    };
    for (const Case& c : cases) {
        HeaderFields f = fields(1, 20, 3);
        c.set(f);
        const Sector s = headerSector(f);
        EXPECT_TRUE(headerCheckBytes(s.data())) << c.what;
        EXPECT_EQ(readValidHeader(s.data()).has_value(), c.valid) << c.what;
        MeasurementHeader out;
        EXPECT_EQ(readHeader(s.data(), s.size(), out), c.valid ? Status::Ok : Status::DataFormat) << c.what;
    }
}

TEST(MasterFileHeaderCheck, KindByteDecidesWhatCountsAsAHeader)
{
    const std::pair<int, bool> cases[] = {
        {0x83, true}, {0xC6, true}, {0x8B, true},   // bit 3 is not looked at
        {0xC3, false}, {0x43, false}, {0x03, false}, {0x86, false}, {0x46, false}, {0x81, false}, {0xC1, false},
    };
    for (auto [kind, header] : cases) {
        const Sector s = headerSector(fields(1, 20, 3, kind));
        EXPECT_EQ(isHeaderSector(s.data()), header) << std::hex << kind;
    }
}

TEST(MasterFileHeaderCheck, ShortBuffersAndTruncatedMeasurementsGiveDataFormat)
{
    const HeaderFields f = fields(1, 20, 3);
    std::vector<std::int16_t> samples(7200);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(i * 7 - 20000);
    const std::vector<Sector> sectors = packMeasurement(f, samples);
    std::vector<std::uint8_t> file;
    for (const Sector& s : sectors)
        file.insert(file.end(), s.begin(), s.end());

    MeasurementHeader h;
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{100}, std::size_t{511}})
        EXPECT_EQ(readHeader(file.data(), size, h), Status::DataFormat) << size;
    EXPECT_EQ(readHeader(nullptr, 512, h), Status::DataFormat);
    ASSERT_EQ(readHeader(file.data(), file.size(), h), Status::Ok);

    // The last measurement cut in the middle of its 10th sector.
    const std::size_t cut = 9 * 512 + 200;
    std::vector<std::int16_t> back;
    EXPECT_EQ(unpackSamples(h, file.data(), cut, back), Status::DataFormat);
    ASSERT_EQ(back.size(), samples.size());
    const std::size_t whole = 128 + 8 * 252 + (200 - 8) / 2;  // words entirely inside the cut
    for (std::size_t i = 0; i < whole; ++i)
        ASSERT_EQ(back[i], samples[i]) << i;
    for (std::size_t i = whole; i < back.size(); ++i)
        ASSERT_EQ(back[i], kMissingSample) << i;

    EXPECT_EQ(unpackSamples(h, nullptr, 0, back), Status::DataFormat);
    EXPECT_EQ(unpackSamples(h, file.data(), file.size(), back), Status::Ok);
    EXPECT_EQ(back, samples);

    // Random bytes are no header and decode without harm.
    std::vector<std::uint8_t> junk(512);
    std::uint32_t x = 12345;
    for (int round = 0; round < 200; ++round) {
        for (auto& b : junk) {
            x = x * 1664525u + 1013904223u;
            b = static_cast<std::uint8_t>(x >> 24);
        }
        const MeasurementHeader any = decodeHeader(junk.data());
        EXPECT_GE(any.sectorsPerMeasurement, 1);
        if (readHeader(junk.data(), junk.size(), h) == Status::Ok) {
            std::vector<std::int16_t> words;
            unpackSamples(h, junk.data(), junk.size(), words);
        }
    }
}

// ---- decoding ----

TEST(MasterFileDecode, StatusBlockExtentFromBits7And6)
{
    HeaderFields f = fields(1, 20, 3);
    f.recordAddress = 0x01020304;
    f.measurementNumber = 77;
    f.ext128 = 50;
    struct Case {
        int kind;
        bool address, whole, extended;
    };
    const Case cases[] = {
        {0x03, false, false, false},
        {0x43, true, false, false},
        {0x83, true, true, true},
        {0xC3, true, true, true},
        {0xC6, true, true, false},  // a result sector has no extended block
    };
    for (const Case& c : cases) {
        f.packetInfo = c.kind;
        Sector s = headerSector(f);
        putU16(s.data(), hdr::ext128, 50);  // present in the bytes even for kind 6
        fixSectorChecksum(s.data());
        const MeasurementHeader h = decodeHeader(s.data());
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(h.marker, 0x5A);
        EXPECT_EQ(h.machineNumber, f.machineNumber);
        EXPECT_EQ(h.packetInfo, c.kind);
        EXPECT_EQ(h.checksumByte, s[3]);
        EXPECT_EQ(h.recordAddress, c.address ? 0x01020304 : 0);
        EXPECT_EQ(h.measurementNumber, c.whole ? 77 : 0);
        EXPECT_EQ(h.month, c.whole ? 5 : 0);
        EXPECT_EQ(h.channelCount, c.whole ? 3 : 0);
        EXPECT_EQ(h.ext128, c.extended ? 50 : 0);
    }
}

TEST(MasterFileDecode, EveryFieldRoundTripsWithItsSignedness)
{
    HeaderFields f = fields(2, 45, 4);
    f.machineNumber = 255;
    f.recordAddress = 123456;
    f.intervalMinutes = 240;
    f.measureCondition = 0xA2;
    f.conditionExtra = 0x33;
    f.subNumber = 0xFFFE;
    f.optionFlagsLow = 0x8001;
    f.optionFlagsHigh = 0x0040;
    f.sdUsage = 9999;
    f.measurementNumber = 4000000;
    f.dataErrorFlags = 0x12;
    f.cpuVoltage = 33;
    f.measureVoltage = 121;
    f.modelCode = 61;
    f.meanBearing = -5;
    f.meanWaterTemperature = 1523;
    f.auxValue1 = -32768;
    f.auxValue2 = 32767;
    f.programNumber = 65535;
    f.auxWord = 0xBEEF;
    f.ext128 = 150;
    f.ext130 = 20;
    f.ext132 = 300;
    f.ext134 = -2;
    f.ext135 = 12;
    f.ext136 = 30;
    f.ext137 = 3;
    f.ext138 = 10;
    f.ext139 = 255;
    f.ext140 = 10250;
    f.ext142 = 5;
    f.ext143 = 200;
    f.processingFlags = 0x66;
    f.ext146 = 0xFFFF;
    f.ext150 = -90;
    const Sector s = headerSector(f);
    HeaderDecodeOptions opt;
    opt.decodeLoggerExtras = true;
    const std::optional<MeasurementHeader> h = readValidHeader(s.data(), opt);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->machineNumber, 255);
    EXPECT_EQ(h->recordAddress, 123456);
    EXPECT_EQ(h->durationMinutes, 45);
    EXPECT_EQ(h->intervalMinutes, 240);
    EXPECT_EQ(h->measureCondition, 0xA2);
    EXPECT_FLOAT_EQ(h->intervalTenths, 2.0f);  // bits 1-0 only
    EXPECT_EQ(h->conditionExtra, 0x33);
    EXPECT_EQ(h->subNumber, 0xFFFE);
    EXPECT_EQ(h->optionFlagsLow, 0x8001);
    EXPECT_EQ(h->optionFlagsHigh, 0x40);
    EXPECT_EQ(h->sdUsage, 9999);
    EXPECT_EQ(h->measurementNumber, 4000000);
    EXPECT_EQ(h->dataErrorFlags, 0x12);
    EXPECT_EQ(h->cpuVoltage, 33);
    EXPECT_EQ(h->measureVoltage, 121);
    EXPECT_EQ(h->modelCode, 61);
    EXPECT_EQ(h->meanBearing, -5);
    EXPECT_EQ(h->meanWaterTemperature, 1523);
    EXPECT_EQ(h->auxValue1, -32768);
    EXPECT_EQ(h->auxValue2, 32767);
    EXPECT_EQ(h->programNumber, 65535);
    EXPECT_EQ(h->auxWord, 0xBEEF);
    EXPECT_EQ(h->ext128, 150);
    EXPECT_EQ(h->ext130, 20);
    EXPECT_EQ(h->ext132, 300);
    EXPECT_EQ(h->ext134, -2);
    EXPECT_EQ(h->ext135, 12);
    EXPECT_EQ(h->ext136, 30);
    EXPECT_EQ(h->ext137, 3);
    EXPECT_EQ(h->ext138, 10);
    EXPECT_EQ(h->ext139, 255);
    EXPECT_EQ(h->ext140, 10250);
    EXPECT_EQ(h->ext142, 5);
    EXPECT_EQ(h->ext143, 200);
    EXPECT_EQ(h->processingFlags, 0x66);
    EXPECT_EQ(h->ext146, 0xFFFF);
    EXPECT_EQ(h->ext150, -90);

    // Without the logger-extras setting the sub-number and error flags stay 0.
    const MeasurementHeader plain = decodeHeader(s.data());
    EXPECT_EQ(plain.subNumber, 0);
    EXPECT_EQ(plain.dataErrorFlags, 0);
    // The settings' processing flags replace the header's.
    HeaderDecodeOptions flags;
    flags.processingFlags = 0x24;
    EXPECT_EQ(decodeHeader(s.data(), flags).processingFlags, 0x24);
}

TEST(MasterFileDecode, ChannelListLookupNibbleMapAndMask)
{
    HeaderFields f = fields(1, 20, 0);
    f.channelSlots = {0x81, 0x05, 0x82, 0x8C, 0x00, 0x84, 0xF3, 0x00, 0x80};
    const MeasurementHeader h = decodeHeader(headerSector(f).data());
    // Bit 7 marks a recorded slot, bits 5-0 its code (0xF3 -> 0x33 = 51).
    EXPECT_EQ(h.channels, (std::vector<int>{1, 2, 12, 4, 51, 0}));
    EXPECT_EQ(h.channelCount, 6);
    EXPECT_EQ(h.channelMask, 0x3Fu);
    EXPECT_EQ(h.nibbleMap, 0x034C21ull);
    struct Case {
        int type, index;
    };
    const Case cases[] = {{0, 0}, {1, 0}, {2, 1}, {12, 2}, {4, 3}, {51, 4}, {3, -1}, {5, -1}, {63, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(h.findChannel(c.type), c.index) << c.type;

    // Type 0 takes whichever of 1 and 12 comes first.
    f.channelSlots = {0x82, 0x8C, 0x81, 0, 0, 0, 0, 0, 0};
    const MeasurementHeader g = decodeHeader(headerSector(f).data());
    EXPECT_EQ(g.findChannel(0), 1);
    EXPECT_EQ(g.findChannel(1), 2);
    f.channelSlots = {0x82, 0x83, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(decodeHeader(headerSector(f).data()).findChannel(0), -1);
}

TEST(MasterFileDecode, DateAndTimeTexts)
{
    struct Case {
        int y, mo, d, h, mi, s;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {26, 5, 6, 10, 3, 7, "26/ 5/ 6", "10:03:07"},
        {0, 12, 31, 0, 0, 0, "00/12/31", "00:00:00"},
        {99, 2, 31, 23, 59, 59, "99/ 2/31", "23:59:59"},
        {7, 10, 1, 9, 5, 0, "07/10/ 1", "09:05:00"},
    };
    for (const Case& c : cases) {
        HeaderFields f = fields(1, 20, 1);
        f.year = c.y;
        f.month = c.mo;
        f.day = c.d;
        f.hour = c.h;
        f.minute = c.mi;
        f.second = c.s;
        const MeasurementHeader h = decodeHeader(headerSector(f).data());
        EXPECT_EQ(h.dateText, c.date);
        EXPECT_EQ(h.timeText, c.time);
        EXPECT_EQ(h.dateText.size(), 8u);
    }
}

// ---- samples ----

TEST(MasterFileSamples, PackedSectorsCarryTheInterleavedWords)
{
    HeaderFields f = fields(0, 2, 3);  // 360 words: header sector + one continuation
    f.recordAddress = 1000;
    f.machineNumber = 9;
    std::vector<std::int16_t> words(360);
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<std::int16_t>(i % 2 ? -static_cast<int>(i) : static_cast<int>(i) * 90);
    words[5] = kMissingSample;
    words[300] = 32767;
    const std::vector<Sector> sectors = packMeasurement(f, words);
    ASSERT_EQ(sectors.size(), 2u);
    for (const Sector& s : sectors) {
        EXPECT_EQ(s[0], kSectorMarker);
        EXPECT_TRUE(sectorSumOk(s.data()));
    }
    EXPECT_TRUE(isHeaderSector(sectors[0].data()));
    EXPECT_FALSE(isHeaderSector(sectors[1].data()));
    EXPECT_EQ(getU32(sectors[1].data(), hdr::contAddress), 1001u);
    // Word 0 at 256, word 127 at 510, word 128 at 8 of the next sector.
    EXPECT_EQ(getS16(sectors[0].data(), 256), words[0]);
    EXPECT_EQ(getS16(sectors[0].data(), 256 + 2 * 5), kMissingSample);
    EXPECT_EQ(getS16(sectors[0].data(), 510), words[127]);
    EXPECT_EQ(getS16(sectors[1].data(), 8), words[128]);
    EXPECT_EQ(getS16(sectors[1].data(), 8 + 2 * (359 - 128)), words[359]);
    // The rest of the last sector is not sample data.
    EXPECT_EQ(getS16(sectors[1].data(), 8 + 2 * (360 - 128)), 0);

    std::vector<std::uint8_t> bytes;
    for (const Sector& s : sectors)
        bytes.insert(bytes.end(), s.begin(), s.end());
    const std::optional<MeasurementHeader> h = readValidHeader(bytes.data());
    ASSERT_TRUE(h);
    std::vector<std::int16_t> back;
    ASSERT_EQ(unpackSamples(*h, bytes.data(), bytes.size(), back), Status::Ok);
    EXPECT_EQ(back, words);
}

TEST(MasterFileSamples, SectorBoundaryCounts)
{
    // One channel at 0.1 s for one minute is 600 words; the interval from
    // the settings gives the exact boundary counts.
    struct Case {
        double seconds;
        std::size_t words, sectors;
    };
    const Case cases[] = {{60.0 / 128, 128, 1}, {60.0 / 129, 129, 2}, {60.0 / 380, 380, 2}, {60.0 / 381, 381, 3}};
    for (const Case& c : cases) {
        HeaderDecodeOptions opt;
        opt.intervalSeconds = c.seconds;
        std::vector<std::int16_t> words(c.words);
        for (std::size_t i = 0; i < words.size(); ++i)
            words[i] = static_cast<std::int16_t>(1000 + i);
        // Pack by hand with the settings' count: header sector + continuation sectors.
        std::vector<std::uint8_t> bytes(c.sectors * 512, 0);
        encodeHeader(fields(0, 1, 1), bytes.data());
        std::size_t w = 0;
        for (std::size_t k = 0; k < 128 && w < words.size(); ++k, ++w)
            putS16(bytes.data(), 256 + 2 * k, words[w]);
        for (std::size_t s = 1; s < c.sectors; ++s)
            for (std::size_t k = 0; k < 252 && w < words.size(); ++k, ++w)
                putS16(bytes.data(), s * 512 + 8 + 2 * k, words[w]);
        ASSERT_EQ(w, words.size());
        const MeasurementHeader h = decodeHeader(bytes.data(), opt);
        ASSERT_EQ(static_cast<std::size_t>(h.sectorsPerMeasurement), c.sectors);
        std::vector<std::int16_t> back;
        EXPECT_EQ(unpackSamples(h, bytes.data(), bytes.size(), back), Status::Ok);
        EXPECT_EQ(back, words);
        // The byte after the last word's end; one byte less is a truncated measurement.
        const std::size_t last = c.words - 1;
        const std::size_t end = last < 128 ? 256 + 2 * c.words
                                           : (1 + (last - 128) / 252) * 512 + 8 + 2 * ((last - 128) % 252) + 2;
        EXPECT_EQ(unpackSamples(h, bytes.data(), end, back), Status::Ok);
        EXPECT_EQ(unpackSamples(h, bytes.data(), end - 1, back), Status::DataFormat);
        EXPECT_EQ(back[last], kMissingSample);
    }
}

TEST(MasterFileSamples, ResultSectorIsOneSectorWithoutSamples)
{
    const HeaderFields f = fields(1, 20, 3, 0xC6);
    const std::vector<Sector> sectors = packMeasurement(f, std::vector<std::int16_t>(7200, 5));
    ASSERT_EQ(sectors.size(), 1u);
    const std::optional<MeasurementHeader> h = readValidHeader(sectors[0].data());
    ASSERT_TRUE(h);
    EXPECT_EQ(h->packetKind(), kPacketKindResult);
    EXPECT_EQ(h->sectorsPerMeasurement, 1);
    EXPECT_EQ(h->totalSamples, 7200);  // derived from the slots, but nothing to read
    std::vector<std::int16_t> back{1, 2, 3};
    EXPECT_EQ(unpackSamples(*h, sectors[0].data(), 512, back), Status::Ok);
    EXPECT_TRUE(back.empty());
}

TEST(MasterFileSamples, ShortSampleVectorIsPaddedWithMissing)
{
    const std::vector<Sector> sectors = packMeasurement(fields(0, 1, 3), {1, 2, 3});  // 180 words
    ASSERT_EQ(sectors.size(), 2u);
    EXPECT_EQ(getS16(sectors[1].data(), 8 + 2 * (179 - 128)), kMissingSample);
    EXPECT_EQ(getS16(sectors[0].data(), 256 + 4), 3);
    EXPECT_EQ(getS16(sectors[0].data(), 256 + 6), kMissingSample);
    EXPECT_EQ(getS16(sectors[0].data(), 256 + 2 * 127), kMissingSample);
}

// ---- file pair ----

TEST(MasterFilePair, PartnerNames)
{
    const std::pair<const char*, const char*> cases[] = {
        {"NR012M.H10", "NR012l.H10"},
        {"NR012L.H10", "NR012m.H10"},
        {"nr012l.h10", "nr012m.h10"},
        {"NR012X.TMP", "NR012l.TMP"},
        {"/data/site.a/NR012M.H10", "/data/site.a/NR012l.H10"},
        {"dir/NR012m", "dir/NR012l"},
    };
    for (auto [given, partner] : cases)
        EXPECT_EQ(partnerFileName(given), partner) << given;
    EXPECT_TRUE(isResultsFileName("NR012L.H10"));
    EXPECT_TRUE(isResultsFileName("/x/NR012l.tmp"));
    EXPECT_FALSE(isResultsFileName("NR012M.H10"));
    EXPECT_FALSE(isResultsFileName("NR012m.L10"));
    // A name's partner's partner is a name of the same role.
    EXPECT_EQ(partnerFileName(partnerFileName("NR5Q.H10")), "NR5m.H10");
}

// ---- results records ----

TEST(MasterFileResults, EmptyRecordLayout)
{
    const std::string r = emptyResultsRecord();
    ASSERT_EQ(r.size(), kResultsRecordSize);
    ASSERT_EQ(r.size(), 392u);
    EXPECT_EQ(r.substr(390), "\r\n");
    EXPECT_EQ(r.substr(0, 49), "-----,   00, 1/ 1, 0:00,-----,-----,-----,-----, ");
    for (int g = 1; g < 7; ++g)
        EXPECT_EQ(r.substr(static_cast<std::size_t>(g) * 49, 49), "-----,-----,-----,-----,-----,-----,-----,-----, ") << g;
    EXPECT_EQ(r.substr(7 * 49), "-----,-----,-----,-----,-----,-----,-----,-----\r\n");
    // Item i starts at (i div 8)*49 + (i mod 8)*6 and is followed by a comma
    // (the last one by CR LF).
    for (int i = 0; i < kResultItems; ++i) {
        const std::size_t off = resultItemOffset(i);
        EXPECT_EQ(off, static_cast<std::size_t>((i / 8) * 49 + (i % 8) * 6));
        EXPECT_EQ(r[off + 5], i == 63 ? '\r' : ',') << i;
        if (i % 8 == 7 && i < 63)
            EXPECT_EQ(r[off + 6], ' ') << i;
    }
    EXPECT_EQ(resultItem(r, 0), "-----");
    EXPECT_EQ(resultItem(r, 1), "   00");
    EXPECT_EQ(resultItem(r, 2), " 1/ 1");
    EXPECT_EQ(resultItem(r, 3), " 0:00");
    // The time: hour in characters 19-20, ":" in 21, minute in 22-23.
    EXPECT_EQ(r.substr(18, 5), " 0:00");
}

TEST(MasterFileResults, SettingAndReadingItems)
{
    std::string r = emptyResultsRecord();
    setResultItem(r, 12, "1.5");
    setResultItem(r, 63, "123456");  // rightmost five kept
    setResultItem(r, 8, "");
    EXPECT_EQ(resultItem(r, 12), "  1.5");
    EXPECT_EQ(resultItem(r, 63), "23456");
    EXPECT_EQ(resultItem(r, 8), "     ");
    EXPECT_EQ(r.size(), 392u);
    EXPECT_EQ(r.substr(390), "\r\n");
    EXPECT_EQ(r[48], ' ');
    // Out of range items and short records are left alone.
    const std::string before = r;
    setResultItem(r, 64, "x");
    setResultItem(r, -1, "x");
    EXPECT_EQ(r, before);
    EXPECT_EQ(resultItem(r, 64), "");
    std::string shortRecord = "12345,";
    setResultItem(shortRecord, 3, "x");
    EXPECT_EQ(shortRecord, "12345,");
    EXPECT_EQ(resultItem(shortRecord, 0), "12345");
    EXPECT_EQ(resultItem(shortRecord, 1), "");
}

// ---- channel definition table ----

TEST(ChannelDefinitionTable, ParsesCodesFactorsAndStopsAfterTheHighestCode)
{
    const std::vector<std::string> lines = {
        "channel definitions  012",
        "; comment line",
        "001 水圧,cm,0.1,###0.0,0",
        "002 流速X,cm/s,0.05",
        "003",                  // a short line: defined, no values
        "004 超音波水位,cm,abc",  // factor not a number
        " 5 not at column 1",   // does not start with a digit
        "012 水圧2,cm,0.2,,",
        "013 beyond,cm,9",      // code above the highest ends the reading
        "006 never,cm,7",
    };
    ChannelTable t;
    ASSERT_EQ(t.parse(lines), Status::Ok);
    EXPECT_EQ(t.highestCode(), 12);
    EXPECT_TRUE(t.def(1).defined);
    EXPECT_EQ(t.value(1, 0), "水圧");
    EXPECT_EQ(t.value(1, 1), "cm");
    EXPECT_DOUBLE_EQ(t.factor(1), 0.1);
    EXPECT_EQ(t.value(1, 3), "###0.0");
    EXPECT_EQ(t.value(1, 4), "0");
    EXPECT_DOUBLE_EQ(t.factor(2), 0.05);
    EXPECT_TRUE(t.def(3).defined);
    EXPECT_EQ(t.value(3, 0), "");
    EXPECT_DOUBLE_EQ(t.factor(3), 1.0);
    EXPECT_DOUBLE_EQ(t.factor(4), 1.0);
    EXPECT_FALSE(t.def(5).defined);
    EXPECT_DOUBLE_EQ(t.factor(12), 0.2);
    EXPECT_FALSE(t.def(6).defined);
    EXPECT_FALSE(t.def(13).defined);
    EXPECT_EQ(t.name(9), "CH9");
    EXPECT_EQ(t.name(2), "流速X");
    EXPECT_EQ(t.value(2, 7), "");
    EXPECT_FALSE(t.def(-1).defined);
    EXPECT_FALSE(t.def(1000).defined);
}

TEST(ChannelDefinitionTable, BadFirstLineOrMissingFile)
{
    ChannelTable t;
    EXPECT_EQ(t.parse({}), Status::DataFormat);
    EXPECT_EQ(t.parse({"no number here"}), Status::DataFormat);
    EXPECT_EQ(t.parse({"12"}), Status::DataFormat);
    EXPECT_EQ(t.parse({"12x"}), Status::DataFormat);
    EXPECT_EQ(t.parse({"max 051  ", "001 a,b,1"}), Status::Ok);  // trailing blanks allowed
    EXPECT_EQ(t.highestCode(), 51);
    EXPECT_EQ(t.load("/nonexistent/folder/tolvf.org"), Status::NotFound);
}

TEST(ChannelDefinitionTable, ShippedTableDefinesTheGeneratorChannels)
{
    const std::string path = std::string(VARENTA_SOURCE_DIR) + "/data/tolvf.org";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no shipped table at " << path;
    ChannelTable t;
    ASSERT_EQ(t.load(path), Status::Ok);
    for (int c : {1, 2, 3, 4, 5, 6, 7, 8, 12, 48, 49, 50, 51}) {
        EXPECT_TRUE(t.def(c).defined) << c;
        EXPECT_GT(std::fabs(t.factor(c)), 0.0) << c;
    }
}
