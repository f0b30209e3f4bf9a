// Merging an arrived file into its master file sector by sector.
#include "tolv/data/merge.h"

#include "data_fixture.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

using namespace testing;

std::string headerAt(std::uint32_t address, std::uint32_t number, int kind = 0x83)
{
    HeaderFields f = fields(number, 26, 5, 6, 10, 0);
    f.recordAddress = address;
    f.packetInfo = kind;
    return sectorBytes(headerSector(f));
}

std::string sectorOf(const std::string& file, std::size_t index) { return file.substr(index * 512, 512); }

TEST(Merge, SectorsGoToTheirAddresses)
{
    TempFolder dir;
    std::string bad = dataSector(3);
    bad[100] = 1;  // checksum broken
    std::string unmarked = dataSector(4);
    unmarked[0] = 0x00;
    std::string far = dataSector(0);
    putU32(reinterpret_cast<std::uint8_t*>(far.data()), 4, 0x7FFFFFFF);
    fixSectorChecksum(reinterpret_cast<std::uint8_t*>(far.data()));

    const std::string source = headerAt(5, 3) + dataSector(6) + bad + unmarked + far + headerAt(0, 1, 0xC6) +
                               dataSector(1) + std::string(200, 'z');
    writeBytes(dir.file("NR012r.tmp"), source);

    // The master already holds sectors the arrived file lacks.
    std::string master(8 * 512, '\0');
    master.replace(3 * 512, 512, std::string(512, 'A'));
    master.replace(7 * 512, 512, std::string(512, 'B'));
    writeBytes(dir.file("NR012r.h10"), master);

    std::vector<std::string> texts;
    Progress p;
    p.text = [&](const std::string& t) { texts.push_back(t); };
    const MergeOutcome m = mergeArrivedFile(dir.file("NR012r.tmp"), dir.path(), &p);
    ASSERT_EQ(m.status, Status::Ok);
    EXPECT_EQ(m.targetPath, dir.file("NR012r.h10"));
    EXPECT_EQ(m.sectorsTaken, 4u);
    EXPECT_EQ(m.sectorsSkipped, 3u);
    EXPECT_EQ(m.currentNumber, 1);  // the last header or result sector taken
    EXPECT_EQ(texts, (std::vector<std::string>{"NR012r.h10 更新中！", "NR012r.h10 更新完了！"}));

    const std::string out = readBytes(dir.file("NR012r.h10"));
    ASSERT_EQ(out.size(), 8u * 512u);
    EXPECT_EQ(sectorOf(out, 5), headerAt(5, 3));
    EXPECT_EQ(sectorOf(out, 6), dataSector(6));
    EXPECT_EQ(sectorOf(out, 0), headerAt(0, 1, 0xC6));
    EXPECT_EQ(sectorOf(out, 1), dataSector(1));
    EXPECT_EQ(sectorOf(out, 3), std::string(512, 'A'));  // untouched
    EXPECT_EQ(sectorOf(out, 7), std::string(512, 'B'));
    EXPECT_EQ(readBytes(dir.file("NR012r.tmp")), source);  // the arrived file is only read
}

TEST(Merge, NewMasterAndBadSources)
{
    TempFolder dir;
    writeBytes(dir.file("NR020m.tmp"), headerAt(2, 3));
    std::filesystem::create_directory(dir.file("site"));
    MergeOutcome m = mergeArrivedFile(dir.file("NR020m.tmp"), dir.file("site"));
    ASSERT_EQ(m.status, Status::Ok);
    const std::string out = readBytes(dir.file("site/NR020m.h10"));
    ASSERT_EQ(out.size(), 3u * 512u);  // created, with a hole before address 2
    EXPECT_EQ(sectorOf(out, 2), headerAt(2, 3));
    EXPECT_EQ(m.currentNumber, 3);

    writeBytes(dir.file("short.tmp"), std::string(511, 'Z'));
    m = mergeArrivedFile(dir.file("short.tmp"), dir.path());
    EXPECT_EQ(m.status, Status::DataFormat);
    EXPECT_FALSE(std::filesystem::exists(dir.file("short.h10")));
    EXPECT_EQ(mergeArrivedFile(dir.file("missing.tmp"), dir.path()).status, Status::NotFound);

    // A target that cannot be written: Io, so the caller keeps the arrived file.
    std::filesystem::create_directory(dir.file("NR021m.h10"));
    writeBytes(dir.file("NR021m.tmp"), headerAt(0, 1));
    EXPECT_EQ(mergeArrivedFile(dir.file("NR021m.tmp"), dir.path()).status, Status::Io);

    // An arrived file that is its own master: nothing is moved.
    const std::string self = dataSector(3) + dataSector(0);
    writeBytes(dir.file("NR022m.h10"), self);
    EXPECT_EQ(mergeArrivedFile(dir.file("NR022m.h10"), dir.path()).status, Status::Ok);
    EXPECT_EQ(readBytes(dir.file("NR022m.h10")), self);
}

}  // namespace
}  // namespace varenta
