// Finding the newest (or the wanted) measurement header in a file.
#include "tolv/data/scan.h"

#include "data_fixture.h"

#include <gtest/gtest.h>

#include <random>

namespace varenta {
namespace {

using namespace testing;

struct Entry {
    std::uint32_t number;
    int year, month, day, hour, minute, second;
};

std::string fileOf(const std::vector<Entry>& entries)
{
    std::string bytes;
    std::uint32_t a = 0;
    for (const Entry& e : entries) {
        bytes += sectorBytes(headerSector(fields(e.number, e.year, e.month, e.day, e.hour, e.minute, e.second)));
        bytes += dataSector(++a);  // a continuation sector between headers
        ++a;
    }
    return bytes;
}

TEST(Scan, NewestAndWanted)
{
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        std::int64_t wanted;
        std::uint32_t chosen;   // measurement number chosen
        std::uint64_t offset;   // its position
        std::int64_t latest;
        bool wantedFound;
    };
    const std::vector<Case> cases = {
        {"chronological", {{1, 26, 5, 6, 10, 0, 0}, {2, 26, 5, 6, 11, 0, 0}, {3, 26, 5, 6, 12, 0, 0}}, 0, 3, 2048, 3, false},
        {"wanted in the middle", {{1, 26, 5, 6, 10, 0, 0}, {2, 26, 5, 6, 11, 0, 0}, {3, 26, 5, 6, 12, 0, 0}}, 2, 2, 1024, 3, true},
        {"wanted absent: newest", {{1, 26, 5, 6, 10, 0, 0}, {2, 26, 5, 6, 11, 0, 0}}, 9, 2, 1024, 2, false},
        {"a tie: the later position wins", {{7, 26, 5, 6, 10, 0, 0}, {8, 26, 5, 6, 10, 0, 0}}, 0, 8, 1024, 8, false},
        {"year and month before the day", {{1, 25, 12, 31, 23, 0, 0}, {2, 26, 1, 1, 0, 0, 0}, {3, 25, 12, 31, 23, 59, 59}}, 0, 2, 1024, 2, false},
        {"seconds decide", {{1, 26, 5, 6, 10, 0, 2}, {2, 26, 5, 6, 10, 0, 1}}, 0, 1, 0, 1, false},
        // A wanted number that never replaces the kept one is not remembered.
        {"wanted but older than the kept one", {{5, 26, 5, 6, 12, 0, 0}, {4, 26, 5, 6, 11, 0, 0}}, 4, 5, 0, 5, false},
        {"wanted twice: the first replacing one", {{3, 26, 5, 6, 10, 0, 0}, {3, 26, 5, 6, 11, 0, 0}}, 3, 3, 0, 3, true},
    };
    TempFolder dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(dir.file("m.H10"), fileOf(c.entries));
        const ScanOutcome o = scanMeasurementHeaders(dir.file("m.H10"), c.wanted);
        ASSERT_EQ(o.status, Status::Ok);
        EXPECT_EQ(getS32(o.chosen.data(), hdr::measurementNumber), static_cast<std::int32_t>(c.chosen));
        EXPECT_EQ(o.chosenOffset, c.offset);
        EXPECT_EQ(o.latestNumber, c.latest);
        EXPECT_EQ(o.wantedFound, c.wantedFound);
    }
}

TEST(Scan, WhatIsNotACandidate)
{
    auto good = [] { return headerSector(fields(5, 26, 5, 6, 10, 0)); };
    struct Case {
        const char* name;
        std::function<void(Sector&)> spoil;
        bool candidate;
    };
    const std::vector<Case> cases = {
        {"valid", [](Sector&) {}, true},
        {"checksum off by one", [](Sector& s) { s[3] = static_cast<std::uint8_t>(s[3] + 1); }, false},
        {"marker missing", [](Sector& s) { s[0] = 0x5B; fixSectorChecksum(s.data()); }, false},
        {"month 13", [](Sector& s) { s[hdr::month] = 13; fixSectorChecksum(s.data()); }, false},
        {"duration 0", [](Sector& s) { s[hdr::durationMinutes] = 0; fixSectorChecksum(s.data()); }, false},
        {"31 February", [](Sector& s) { s[hdr::month] = 2; s[hdr::day] = 31; fixSectorChecksum(s.data()); }, true},
        {"measurement number 0", [](Sector& s) { putU32(s.data(), hdr::measurementNumber, 0); fixSectorChecksum(s.data()); }, false},
        {"negative number", [](Sector& s) { putU32(s.data(), hdr::measurementNumber, 0x80000000u); fixSectorChecksum(s.data()); }, false},
        {"data packet kind", [](Sector& s) { s[2] = 0x81; fixSectorChecksum(s.data()); }, false},
        {"kind 3 without the status block", [](Sector& s) { s[2] = 0x03; fixSectorChecksum(s.data()); }, false},
        {"kind 6 with bits 6 and 7", [](Sector& s) { s[2] = 0xC6; fixSectorChecksum(s.data()); }, true},
        {"kind 6 with bit 7 only", [](Sector& s) { s[2] = 0x86; fixSectorChecksum(s.data()); }, false},
        {"kind 3 with extra high bits", [](Sector& s) { s[2] = 0xBB; fixSectorChecksum(s.data()); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sector s = good();
        c.spoil(s);
        EXPECT_EQ(isScanCandidate(s.data()), c.candidate);
    }
}

TEST(Scan, CorruptFiles)
{
    TempFolder dir;
    struct Case {
        const char* name;
        std::string bytes;
        Status want;
    };
    std::mt19937 rng(7);
    std::string random(1 << 20, '\0');
    for (char& c : random)
        c = static_cast<char>(rng());
    Sector month13 = headerSector(fields(5, 26, 13, 6, 10, 0));
    std::string good = sectorBytes(headerSector(fields(5, 26, 5, 6, 10, 0)));
    const std::vector<Case> cases = {
        {"empty", "", Status::DataFormat},
        {"shorter than a sector", good.substr(0, 511), Status::DataFormat},
        {"random bytes", random, Status::DataFormat},
        {"only a header with month 13", sectorBytes(month13), Status::DataFormat},
        {"a good header and a torn last sector", good + good.substr(0, 300), Status::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(dir.file("x.H10"), c.bytes);
        EXPECT_EQ(scanMeasurementHeaders(dir.file("x.H10"), 0).status, c.want);
        EXPECT_EQ(readBytes(dir.file("x.H10")), c.bytes);  // read only
    }
    EXPECT_EQ(scanMeasurementHeaders(dir.file("none.H10"), 0).status, Status::NotFound);

    // A month-13 header dated later than every good one does not hide them.
    writeBytes(dir.file("y.H10"), good + sectorBytes(headerSector(fields(9, 99, 13, 31, 23, 59))));
    const ScanOutcome o = scanMeasurementHeaders(dir.file("y.H10"), 0);
    ASSERT_EQ(o.status, Status::Ok);
    EXPECT_EQ(o.latestNumber, 5);
}

TEST(Scan, ProgressEvery32768BytesAndStop)
{
    TempFolder dir;
    std::string bytes;
    for (std::uint32_t m = 1; m <= 300; ++m)  // 300 sectors: 153600 bytes
        bytes += sectorBytes(headerSector(fields(m, 26, 5, 6, m % 24, 0)));
    writeBytes(dir.file("p.H10"), bytes);
    int polls = 0;
    Progress p;
    p.poll = [&] {
        ++polls;
        return true;
    };
    ScanOutcome o = scanMeasurementHeaders(dir.file("p.H10"), 0, &p);
    ASSERT_EQ(o.status, Status::Ok);
    EXPECT_EQ(polls, 5);  // at 0, 32768, 65536, 98304, 131072
    EXPECT_EQ(o.candidates, 300u);

    polls = 0;
    p.poll = [&] { return ++polls < 3; };
    o = scanMeasurementHeaders(dir.file("p.H10"), 0, &p);
    EXPECT_EQ(o.status, Status::Cancelled);
    EXPECT_EQ(polls, 3);
}

TEST(Scan, MeasurementOffset)
{
    EXPECT_EQ(measurementOffset(1, 15), 0u);
    EXPECT_EQ(measurementOffset(3, 15), 2u * 512u * 15u);
    EXPECT_EQ(measurementOffset(0, 15), 0u);
    EXPECT_EQ(measurementOffset(-4, 15), 0u);
    EXPECT_EQ(measurementOffset(100000, 30), 99999ull * 512ull * 30ull);  // beyond 32 bits
}

}  // namespace
}  // namespace varenta
