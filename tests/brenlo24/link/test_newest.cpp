// The header search before a text conversion: the reference header, the
// newest measurement by date and time, progress texts, the stop request
// and the files it refuses.
#include "brenlo24/link/newest.h"
#include "common/bytes.h"
#include "common/masterfile.h"
#include "linkfixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace varenta;
using namespace varenta::test;
namespace fs = std::filesystem;

namespace {

// One-minute bursts of one channel at 1 s: 60 samples, one sector each;
// with three channels at 0.5 s: 360 samples, two sectors.
HeaderFields burst(std::uint32_t number, int year, int month, int day, int hour, int minute, int channels = 1)
{
    HeaderFields f;
    f.measurementNumber = number;
    f.recordAddress = 0;
    f.year = year;
    f.month = month;
    f.day = day;
    f.hour = hour;
    f.minute = minute;
    f.durationMinutes = 1;
    f.intervalMinutes = 60;
    f.measureCondition = channels == 1 ? 0 : 1;
    for (int c = 0; c < channels; ++c)
        f.channelSlots[static_cast<std::size_t>(c)] = 0x80 | (c + 1);
    return f;
}

std::string measurementBytes(const HeaderFields& f)
{
    std::string out;
    for (const Sector& s : packMeasurement(f, {}))
        out.append(reinterpret_cast<const char*>(s.data()), s.size());
    return out;
}

std::string writeFile(const std::string& dir, const std::string& name, const std::string& bytes)
{
    const std::string path = dir + "/" + name;
    std::ofstream f(path, std::ios::binary);
    f << bytes;
    return path;
}

struct Recorder {
    std::vector<std::string> texts;
    int polls = 0;
    int stopAfterPolls = -1;
    Progress progress()
    {
        Progress p;
        p.text = [this](const std::string& t) { texts.push_back(t); };
        p.poll = [this] { return stopAfterPolls < 0 || ++polls <= stopAfterPolls; };
        return p;
    }
};

}  // namespace

TEST(NewestSearch, NewestByDateAndTime)
{
    const std::string dir = scratchFolder("newest_dates");
    // Measurements 1..5 written in a ring: number 3 is the newest.
    struct Date {
        int y, mo, d, h, mi;
    } dates[] = {{26, 5, 6, 10, 0}, {26, 5, 6, 11, 0}, {26, 5, 7, 9, 0}, {25, 12, 31, 23, 0}, {26, 1, 2, 0, 0}};
    std::string bytes;
    for (std::uint32_t k = 0; k < 5; ++k)
        bytes += measurementBytes(burst(k + 1, dates[k].y, dates[k].mo, dates[k].d, dates[k].h, dates[k].mi, 3));
    const std::string path = writeFile(dir, "nr255m.h10", bytes);
    Recorder rec;
    const NewestSearch r = findNewestMeasurement(path, 2, rec.progress());
    EXPECT_EQ(r.status, Status::Ok);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.newestNumber, 3u);
    EXPECT_EQ(r.newestOffset, 2u * 1024u);
    EXPECT_EQ(r.finalText, "測定番号= 3");
    // each new newest is shown as it is found
    EXPECT_EQ(rec.texts, (std::vector<std::string>{"測定番号= 1", "測定番号= 2", "測定番号= 3"}));

    // S taken from the reference header (two sectors), and a tie goes to
    // the later measurement.
    std::string tie = measurementBytes(burst(1, 26, 5, 6, 10, 0, 3)) + measurementBytes(burst(2, 26, 5, 6, 10, 0, 3));
    const NewestSearch t = findNewestMeasurement(writeFile(dir, "tie.h10", tie), -1, Recorder().progress());
    EXPECT_EQ(t.sectorsPerMeasurement, 2);
    EXPECT_EQ(t.newestNumber, 2u);
    fs::remove_all(dir);
}

TEST(NewestSearch, ReferenceValueDamageAndSectorCountZero)
{
    const std::string dir = scratchFolder("newest_ref");
    // Measurement 2 carries another value at bytes 18-19 and measurement 3
    // a broken checksum: neither can be the newest.
    std::string m1 = measurementBytes(burst(1, 26, 5, 6, 10, 0));
    HeaderFields f2 = burst(2, 26, 6, 1, 0, 0);
    f2.subNumber = 7;
    std::string m2 = measurementBytes(f2);
    std::string m3 = measurementBytes(burst(3, 26, 7, 1, 0, 0));
    m3[100] = static_cast<char>(m3[100] + 1);
    const std::string path = writeFile(dir, "ref.h10", m1 + m2 + m3);
    const NewestSearch r = findNewestMeasurement(path, 1, Recorder().progress());
    EXPECT_EQ(r.status, Status::Ok);
    EXPECT_EQ(r.referenceValue, 0u);
    EXPECT_EQ(r.newestNumber, 1u);

    // S = 0 looks at the first measurement only and ends.
    const std::string later = writeFile(dir, "zero.h10", m1 + measurementBytes(burst(2, 27, 1, 1, 0, 0)));
    const NewestSearch z = findNewestMeasurement(later, 0, Recorder().progress());
    EXPECT_EQ(z.status, Status::Ok);
    EXPECT_EQ(z.newestNumber, 1u);
    const NewestSearch one = findNewestMeasurement(later, 1, Recorder().progress());
    EXPECT_EQ(one.newestNumber, 2u);

    // The reference is the first sector that passes: a damaged first
    // header and leading data sectors are passed over.
    std::string lead(512 * 3, '\0');
    std::string bad = measurementBytes(burst(5, 20, 1, 1, 0, 0));
    bad[3] = static_cast<char>(bad[3] + 1);
    const std::string shifted = writeFile(dir, "lead.h10", lead + bad + m1);
    const NewestSearch s = findNewestMeasurement(shifted, 1, Recorder().progress());
    EXPECT_EQ(s.referenceOffset, 4u * 512u);
    EXPECT_EQ(s.newestNumber, 1u);
    fs::remove_all(dir);
}

TEST(NewestSearch, FilesItRefuses)
{
    const std::string dir = scratchFolder("newest_refuse");
    struct Case {
        std::string name;
        std::string bytes;
        Status want;
        const char* text;
    } cases[] = {
        {"short.h10", std::string(511, 'Z'), Status::DataFormat, ""},
        {"empty.h10", std::string(), Status::DataFormat, ""},
        {"zeros.h10", std::string(512 * 40, '\0'), Status::DataFormat, "ファイル使用不可"},
        {"ff.h10", std::string(512 * 4, '\xFF'), Status::DataFormat, "ファイル使用不可"},
    };
    for (const Case& c : cases) {
        const NewestSearch r = findNewestMeasurement(writeFile(dir, c.name, c.bytes), 1, Recorder().progress());
        EXPECT_EQ(r.status, c.want) << c.name;
        EXPECT_EQ(r.finalText, c.text) << c.name;
        EXPECT_FALSE(r.found) << c.name;
    }
    const NewestSearch missing = findNewestMeasurement(dir + "/none.h10", 1, Recorder().progress());
    EXPECT_EQ(missing.status, Status::NotFound);
    fs::remove_all(dir);
}

TEST(NewestSearch, ProgressEvery100KBAndStop)
{
    const std::string dir = scratchFolder("newest_progress");
    // 600 KB of zeros before the first header.
    const std::string path =
        writeFile(dir, "late.h10", std::string(600 * 1024, '\0') + measurementBytes(burst(1, 26, 5, 6, 10, 0)));
    Recorder rec;
    const NewestSearch r = findNewestMeasurement(path, 1, rec.progress());
    EXPECT_EQ(r.status, Status::Ok);
    EXPECT_EQ(r.referenceOffset, 600u * 1024u);
    const std::vector<std::string> first(rec.texts.begin(), rec.texts.begin() + 5);
    EXPECT_EQ(first, (std::vector<std::string>{"ヘッダー検索中 =100KB", "ヘッダー検索中 =200KB", "ヘッダー検索中 =300KB",
                                               "ヘッダー検索中 =400KB", "ヘッダー検索中 =500KB"}));
    EXPECT_EQ(rec.texts.back(), "測定番号= 1");

    // A stop in the first pass: the file is unusable.
    Recorder stopper;
    stopper.stopAfterPolls = 2;
    const NewestSearch s = findNewestMeasurement(path, 1, stopper.progress());
    EXPECT_EQ(s.status, Status::Cancelled);
    EXPECT_EQ(s.finalText, "ファイル使用不可");
    EXPECT_EQ(stopper.texts.size(), 3u);

    // A stop in the second pass keeps the newest so far.
    std::string many;
    for (std::uint32_t k = 1; k <= 100; ++k)
        many += measurementBytes(burst(k, 26, 5, 6, 0, 0) /* same date: the later wins */);
    Recorder late;
    late.stopAfterPolls = 1;
    const NewestSearch m = findNewestMeasurement(writeFile(dir, "many.h10", many), 1, late.progress());
    EXPECT_EQ(m.status, Status::Ok);
    EXPECT_TRUE(m.stopped);
    EXPECT_EQ(m.newestNumber, 32u);  // polled every 16 measurements: stopped at the second poll
    fs::remove_all(dir);
}
