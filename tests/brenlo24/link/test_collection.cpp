// The collection writer: file names, sector offsets, result sectors,
// result-list lines from the template, dropped packets and refused writes.
#include "brenlo24/link/collection.h"
#include "common/bytes.h"
#include "common/masterfile.h"
#include "common/textfile.h"
#include "linkfixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace varenta;
using namespace varenta::test;
namespace fs = std::filesystem;

namespace {

std::string fileBytes(const std::string& path)
{
    std::string s;
    EXPECT_EQ(readFileBytes(path, s), Status::Ok) << path;
    return s;
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}

Packet sectorPacket(std::uint8_t kind, std::uint32_t number, std::uint8_t fill, int machine = 255)
{
    Packet p{};
    p[0] = kPacketMarker;
    p[1] = static_cast<std::uint8_t>(machine);
    p[2] = kind;
    putU32(p.data(), 4, number);
    for (std::size_t i = 8; i < p.size(); ++i)
        p[i] = static_cast<std::uint8_t>(fill + i);
    fixSectorChecksum(p.data());
    return p;
}

// A result-line packet for measurement m: a results record with the number
// in field `field`, year 26, date " 5/ 6", time "12:40".
Packet resultLinePacket(const std::string& number, int field = 4, int machine = 255)
{
    std::string line = emptyResultsRecord();
    setResultItem(line, 0, " 6020");
    setResultItem(line, 1, "   26");
    setResultItem(line, 2, " 5/ 6");
    setResultItem(line, 3, "12:40");
    setResultItem(line, field, number);
    Packet p{};
    p[0] = kPacketMarker;
    p[1] = static_cast<std::uint8_t>(machine);
    p[2] = 0x46;
    putU32(p.data(), 4, 1);
    std::copy(line.begin(), line.end(), p.begin() + 8);
    fixSectorChecksum(p.data());
    return p;
}

std::string bytesOfPacket(const Packet& p) { return std::string(reinterpret_cast<const char*>(p.data()), p.size()); }

}  // namespace

TEST(CollectionNames, PrefixMachineAndExtension)
{
    struct Case {
        CollectFile kind;
        int model;
        int machine;
        std::uint32_t flags;
        const char* name;
    } cases[] = {
        {CollectFile::Master, 0, 255, 0, "nr255m.h10"},
        {CollectFile::Master, 60, 12, 0, "nr012m.h10"},
        {CollectFile::Master, 30, 7, 0, "sm007m.h10"},
        {CollectFile::Master, 20, 7, 0, "sm007m.h10"},
        {CollectFile::Master, 31, 7, 0, "sm007m.h10"},
        {CollectFile::Master, 32, 7, 0, "nr007m.h10"},
        {CollectFile::Master, 60, 255, 0x200, "nr255m.tmp"},
        {CollectFile::BinaryResult, 60, 255, 0, "nr255r.h10"},
        {CollectFile::BinaryResult, 31, 1, 0x200, "sm001r.tmp"},
        {CollectFile::ResultList, 60, 255, 0, "nr255r.txt"},
        {CollectFile::ResultList, 60, 255, 0x200, "nr255r.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(collectionFileName(c.kind, c.model, c.machine, c.flags), c.name) << c.name;
}

TEST(CollectionWriter, SectorsAtTheirPacketNumber)
{
    const std::string dir = scratchFolder("coll_sectors");
    PacketWriter w({dir, 0, 4});
    StoreOutcome out;
    const std::string master = dir + "/nr255m.h10";

    // Packet 3 first: the file grows to 4 sectors with a zero-filled gap.
    const Packet p3 = sectorPacket(0x41, 3, 1);
    ASSERT_EQ(w.store(p3, 60, out), Status::Ok);
    EXPECT_EQ(out.what, StoreOutcome::What::Sector);
    EXPECT_EQ(out.offset, 1536u);
    EXPECT_EQ(out.path, master);
    std::string bytes = fileBytes(master);
    ASSERT_EQ(bytes.size(), 2048u);
    EXPECT_EQ(bytes.substr(0, 1536), std::string(1536, '\0'));
    EXPECT_EQ(bytes.substr(1536), bytesOfPacket(p3));

    // Packet 0 (a header) fills the start; a repeated packet overwrites.
    const Packet h0 = sectorPacket(0x83, 0, 2);
    ASSERT_EQ(w.store(h0, 60, out), Status::Ok);
    EXPECT_EQ(out.offset, 0u);
    const Packet p3b = sectorPacket(0x41, 3, 9);
    ASSERT_EQ(w.store(p3b, 60, out), Status::Ok);
    bytes = fileBytes(master);
    ASSERT_EQ(bytes.size(), 2048u);
    EXPECT_EQ(bytes.substr(0, 512), bytesOfPacket(h0));
    EXPECT_EQ(bytes.substr(1536), bytesOfPacket(p3b));
    EXPECT_EQ(w.counters().sectors, 3u);

    // The sectors of an earlier run stay where nothing overwrites them.
    PacketWriter again({dir, 0, 4});
    ASSERT_EQ(again.store(sectorPacket(0x41, 1, 5), 60, out), Status::Ok);
    bytes = fileBytes(master);
    EXPECT_EQ(bytes.substr(0, 512), bytesOfPacket(h0));
    EXPECT_EQ(bytes.substr(1536), bytesOfPacket(p3b));

    // The packet's own machine number and the model code name the file.
    ASSERT_EQ(w.store(sectorPacket(0x41, 0, 3, 12), 30, out), Status::Ok);
    EXPECT_EQ(out.path, dir + "/sm012m.h10");
    fs::remove_all(dir);
}

TEST(CollectionWriter, DroppedPacketsTouchNoFile)
{
    const std::string dir = scratchFolder("coll_dropped");
    PacketWriter w({dir, 0, 4});
    StoreOutcome out;
    struct Case {
        Packet p;
        const char* what;
    } cases[] = {
        {sectorPacket(0x41, 0x400000, 1), "data packet number above 0x3FFFFF"},
        {sectorPacket(0x83, 0xFFFFFFFF, 1), "header packet number at the top"},
        {sectorPacket(0xC6, 0x400000, 1), "result sector number above 0x3FFFFF"},
        {resultLinePacket("    0"), "result line of measurement 0"},
        {resultLinePacket("   -3"), "result line of a negative number"},
        {resultLinePacket("-----"), "result line without a number"},
        {resultLinePacket(" 12a "), "result line with a malformed number"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(w.store(c.p, 60, out), Status::Ok) << c.what;
        EXPECT_EQ(out.what, StoreOutcome::What::Dropped) << c.what;
    }
    EXPECT_TRUE(fs::is_empty(dir));
    EXPECT_EQ(w.counters().dropped, std::size(cases));
    // The highest number a file takes is still stored (a sparse file of 2 GiB).
    ASSERT_EQ(w.store(sectorPacket(0x41, kMaxPacketNumber, 1), 60, out), Status::Ok);
    EXPECT_EQ(out.what, StoreOutcome::What::Sector);
    EXPECT_EQ(fs::file_size(dir + "/nr255m.h10"), (kMaxPacketNumber + 1ull) * 512);
    fs::remove_all(dir);
}

TEST(CollectionWriter, BinaryResultSectorsAndTmpNames)
{
    const std::string dir = scratchFolder("coll_results");
    PacketWriter w({dir, 0x200, 4});
    StoreOutcome out;
    const Packet r2 = sectorPacket(0xC6, 2, 7);
    ASSERT_EQ(w.store(r2, 60, out), Status::Ok);
    EXPECT_EQ(out.what, StoreOutcome::What::ResultSector);
    EXPECT_EQ(out.path, dir + "/nr255r.tmp");
    const std::string bytes = fileBytes(dir + "/nr255r.tmp");
    ASSERT_EQ(bytes.size(), 1536u);
    EXPECT_EQ(bytes.substr(1024), bytesOfPacket(r2));
    // data with the same flag
    ASSERT_EQ(w.store(sectorPacket(0x41, 0, 1), 60, out), Status::Ok);
    EXPECT_TRUE(fs::exists(dir + "/nr255m.tmp"));
    EXPECT_FALSE(fs::exists(dir + "/nr255m.h10"));
    fs::remove_all(dir);
}

TEST(CollectionWriter, ResultLinesFromTheTemplate)
{
    const std::string dir = scratchFolder("coll_lines");
    // A template of two heading lines of 392 bytes (code-page bytes).
    std::string heading(390, 'h');
    heading += "\r\n";
    const std::string templ = heading + heading;
    writeBytes(dir + "/Brenloid.txt", templ);
    PacketWriter w({dir, 0, 4});
    StoreOutcome out;

    const Packet p12 = resultLinePacket("   12");
    ASSERT_EQ(w.store(p12, 60, out), Status::Ok);
    EXPECT_EQ(out.what, StoreOutcome::What::ResultLine);
    EXPECT_EQ(out.measurement, 12);
    EXPECT_EQ(out.offset, 5096u);
    EXPECT_EQ(out.panelNumber, "255-12");
    EXPECT_EQ(out.panelDate, "26/ 5/ 6");
    EXPECT_EQ(out.panelTime, "12:40:00");
    const std::string list = dir + "/nr255r.txt";
    std::string bytes = fileBytes(list);
    ASSERT_EQ(bytes.size(), 5096u + 392u);
    EXPECT_EQ(bytes.substr(0, 784), templ);
    EXPECT_EQ(bytes.substr(5096), std::string(reinterpret_cast<const char*>(p12.data()) + 8, 392));

    // Measurement 1 goes to line 2, leaving the rest; the template is not
    // copied again.
    writeBytes(dir + "/Brenloid.txt", std::string(784, 'x'));
    const Packet p1 = resultLinePacket("    1");
    ASSERT_EQ(w.store(p1, 60, out), Status::Ok);
    EXPECT_EQ(out.offset, 784u);
    bytes = fileBytes(list);
    ASSERT_EQ(bytes.size(), 5096u + 392u);
    EXPECT_EQ(bytes.substr(0, 784), templ);
    EXPECT_EQ(bytes.substr(784, 392), std::string(reinterpret_cast<const char*>(p1.data()) + 8, 392));
    EXPECT_EQ(bytes.substr(5096), std::string(reinterpret_cast<const char*>(p12.data()) + 8, 392));

    // The measurement-number field comes from the layout.
    PacketWriter other({dir, 0, 9});
    ASSERT_EQ(other.store(resultLinePacket("    3", 9, 17), 60, out), Status::Ok);
    EXPECT_EQ(out.measurement, 3);
    EXPECT_EQ(out.offset, 4u * 392u);
    EXPECT_EQ(out.path, dir + "/nr017r.txt");
    fs::remove_all(dir);
}

TEST(CollectionWriter, ListShorterThanTheTemplateIsMadeAgain)
{
    // Lists an interrupted copy of an earlier version left behind: empty,
    // or cut inside the template's lines.
    const std::string dir = scratchFolder("coll_short");
    const std::string templ = std::string(390, 'h') + "\r\n" + std::string(390, 'k') + "\r\n";
    writeBytes(dir + "/Brenloid.txt", templ);
    const Packet p2 = resultLinePacket("    2");
    const std::string line2(reinterpret_cast<const char*>(p2.data()) + 8, 392);
    for (const std::size_t left : {std::size_t{0}, std::size_t{500}}) {
        SCOPED_TRACE(left);
        writeBytes(dir + "/nr255r.txt", templ.substr(0, left));
        PacketWriter w({dir, 0, 4});
        StoreOutcome out;
        ASSERT_EQ(w.store(p2, 60, out), Status::Ok);
        EXPECT_EQ(fileBytes(dir + "/nr255r.txt"), templ + std::string(392, '\0') + line2);
    }
    fs::remove_all(dir);
}

TEST(CollectionWriter, ResultLinesAppendedAndWithoutTemplate)
{
    const std::string dir = scratchFolder("coll_append");
    // No template: the list starts empty, the line still at 392 x (m + 1).
    PacketWriter placed({dir, 0, 4});
    StoreOutcome out;
    ASSERT_EQ(placed.store(resultLinePacket("    2"), 60, out), Status::Ok);
    EXPECT_EQ(fs::file_size(dir + "/nr255r.txt"), 4u * 392u);
    EXPECT_EQ(fileBytes(dir + "/nr255r.txt").substr(0, 1176), std::string(1176, '\0'));
    fs::remove(dir + "/nr255r.txt");

    // Flag 0x10000: appended at the end, after the template.
    writeBytes(dir + "/Brenloid.txt", std::string(784, 'h'));
    PacketWriter appending({dir, 0x10000, 4});
    const Packet a = resultLinePacket("    9");
    const Packet b = resultLinePacket("    5");
    ASSERT_EQ(appending.store(a, 60, out), Status::Ok);
    EXPECT_EQ(out.offset, 784u);
    ASSERT_EQ(appending.store(b, 60, out), Status::Ok);
    EXPECT_EQ(out.offset, 784u + 392u);
    const std::string bytes = fileBytes(dir + "/nr255r.txt");
    ASSERT_EQ(bytes.size(), 784u + 2 * 392u);
    EXPECT_EQ(bytes.substr(784, 392), std::string(reinterpret_cast<const char*>(a.data()) + 8, 392));
    EXPECT_EQ(bytes.substr(1176, 392), std::string(reinterpret_cast<const char*>(b.data()) + 8, 392));
    fs::remove_all(dir);
}

TEST(CollectionWriter, RefusedWritesReportIoAndChangeNothing)
{
    const std::string dir = scratchFolder("coll_refused");
    // Something that is not a file stands where each file would go.
    fs::create_directories(dir + "/nr255m.h10");
    fs::create_directories(dir + "/nr255r.h10");
    fs::create_directories(dir + "/nr255r.txt");
    PacketWriter w({dir, 0, 4});
    StoreOutcome out;
    struct Case {
        Packet p;
        const char* error;
    } cases[] = {
        {sectorPacket(0x41, 5, 1), "ファイル書込み不可 nr255m.h10"},
        {sectorPacket(0xC6, 1, 1), "ファイル書込み不可 nr255r.h10"},
        {resultLinePacket("    4"), "ファイル書込み不可 nr255r.txt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(w.store(c.p, 60, out), Status::Io) << c.error;
        EXPECT_EQ(out.error, c.error);
    }
    EXPECT_EQ(w.counters().failures, 3u);
    EXPECT_EQ(w.counters().sectors + w.counters().resultSectors + w.counters().resultLines, 0u);
    // A folder that does not exist.
    PacketWriter lost({dir + "/missing", 0, 4});
    EXPECT_EQ(lost.store(sectorPacket(0x41, 0, 1), 60, out), Status::Io);
    EXPECT_FALSE(fs::exists(dir + "/missing"));
    fs::remove_all(dir);
}

TEST(CollectionWriter, ResultLineNumberField)
{
    struct Case {
        const char* field;
        long long want;
    } cases[] = {{"    1", 1}, {"99999", 99999}, {"  +7 ", 7}, {"     ", -1}, {" 1 2 ", -1}, {"  1.5", -1}};
    for (const Case& c : cases)
        EXPECT_EQ(resultLineNumber(resultLinePacket(c.field), 4), c.want) << c.field;
    EXPECT_EQ(resultLineNumber(resultLinePacket("    1"), 64), -1);
    EXPECT_EQ(resultLineNumber(resultLinePacket("    1"), -1), -1);
}
