// The raw data table text and its export file.
#include "common/format.h"
#include "common/textfile.h"
#include "tolv/data/rawtable.h"
#include "tools/synth/generator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace varenta;
namespace fs = std::filesystem;

namespace {

ChannelTable table()
{
    ChannelTable t;
    const std::vector<std::string> lines = {
        "channels 051",
        "001,圧力,   水圧(m),0.001,#0.000,0",
        "002,流速X,  流速X(cm/s),0.1,##0.0,0",
        "003,流速Y,  流速Y(cm/s),0.1,##0.0,0",
        "004,水位,   水位(m),10000,###0,0",
        "006,水温,   水温(℃),0.01,,0",
    };
    EXPECT_EQ(t.parse(lines), Status::Ok);
    return t;
}

MeasurementHeader header(std::vector<int> channels, int samples, float intervalTenths, const char* time)
{
    MeasurementHeader h;
    h.channels = std::move(channels);
    h.channelCount = static_cast<int>(h.channels.size());
    h.samplesPerChannel = samples;
    h.intervalTenths = intervalTenths;
    h.timeText = time;
    return h;
}

std::vector<std::string> splitLines(const std::string& body)
{
    std::vector<std::string> out;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t e = body.find("\r\n", pos);
        out.push_back(body.substr(pos, e == std::string::npos ? std::string::npos : e - pos));
        if (e == std::string::npos)
            break;
        pos = e + 2;
    }
    return out;
}

}  // namespace

TEST(RawTable, TimeColumnWrapsWithinTheHour)
{
    // 1200 samples at 1.0 s from 10:59:00: the minutes wrap, the start
    // seconds are not added.
    struct Case {
        int sample;
        double tenths;
        int startMinute;
        const char* want;
    } cases[] = {
        {0, 10, 59, "59:00.0"},  {60, 10, 59, "00:00.0"}, {61, 10, 59, "00:01.0"}, {1199, 10, 59, "18:59.0"},
        {625, 5, 0, "05:12.5"},  {3, 1, 0, "00:00.3"},    {599, 1, 0, "00:59.9"},  {600, 1, 0, "01:00.0"},
        {7199, 5, 30, "29:59.5"}, {35999, 1, 0, "59:59.9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rawTableTimeText(c.sample, c.tenths, c.startMinute), c.want) << c.sample;
    // No second of the hour is shown as 60.0 at 0.1 s.
    for (int j = 0; j < 36000; ++j) {
        const std::string t = rawTableTimeText(j, 1, 0);
        ASSERT_NE(t.substr(3, 2), "60") << j;
    }
}

TEST(RawTable, FieldsAreRightAlignedAndCutFromTheLeft)
{
    struct Case {
        double factor;
        std::int16_t count;
        const char* format;
        const char* want;
    } cases[] = {
        {0.001, 12345, "#0.000", " 12.345"},
        {0.1, -52, "##0.0", "   -5.2"},
        {0.1, -32768, "##0.0", "-3276.8"},       // missing sample: factor x -32768
        {0.001, -32768, "#0.000", "-32.768"},
        {10000, 12345, "###0", "3450000"},        // 123450000 keeps its last 7 characters
        {0.01, 1234, "", "  12.34"},             // blank format: general number form
        {0.01, 1234, "   ", "  12.34"},
        {1, 0, "0.00", "   0.00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rawTableField(c.factor, c.count, c.format), c.want) << c.factor << " " << c.count;
}

TEST(RawTable, BodyLayout)
{
    const ChannelTable t = table();
    const MeasurementHeader h = header({1, 2, 3}, 3, 5.0f, "10:05:30");
    const std::vector<std::vector<std::int16_t>> counts = {{1000, 2000, -32768}, {10, -20, 30}, {5, 6, 7}};
    RawTableInput in{&h, &counts, &t, {0, 2}, false};
    EXPECT_EQ(rawTableBody(in), "  1.000,    0.5\r\n  2.000,    0.6\r\n-32.768,    0.7");
    in.timeColumn = true;
    EXPECT_EQ(rawTableBody(in), "05:00.0  1.000,    0.5\r\n05:00.5  2.000,    0.6\r\n05:01.0-32.768,    0.7");
    // No displayed channel: only the time field, or empty lines.
    in.displayed = {};
    EXPECT_EQ(rawTableBody(in), "05:00.0\r\n05:00.5\r\n05:01.0");
    in.timeColumn = false;
    EXPECT_EQ(rawTableBody(in), "\r\n\r\n");
    // Indexes outside the channel list are skipped; short count arrays are
    // shown as missing.
    in.displayed = {1, 7};
    const std::vector<std::vector<std::int16_t>> shortCounts = {{1}, {2}};
    in.rawCounts = &shortCounts;
    EXPECT_EQ(rawTableBody(in), "    0.2\r\n-3276.8\r\n-3276.8");
}

TEST(RawTable, GeneratedBurstMatchesCountsFactorsAndFormats)
{
    synth::GeneratorOptions o;
    o.plan.bursts = 1;
    o.plan.channels = {synth::code::pressure, synth::code::currentX, synth::code::currentY};
    o.faults.missingFraction = 0.01;
    o.fidelity = synth::Fidelity::Cheap;
    const synth::Burst b = synth::generateBurst(o, 1);
    const std::vector<Sector> sectors = synth::makeMeasurementSectors(o, b);
    MeasurementHeader h = decodeHeader(sectors[0].data());
    ASSERT_EQ(h.samplesPerChannel, b.samplesPerChannel);
    const ChannelTable t = table();
    RawTableInput in{&h, &b.counts, &t, {0, 1, 2}, true};
    const std::vector<std::string> lines = splitLines(rawTableBody(in));
    ASSERT_EQ(static_cast<int>(lines.size()), b.samplesPerChannel);
    for (int j = 0; j < b.samplesPerChannel; j += 97) {
        char want[128];
        const double p = 0.001 * b.counts[0][static_cast<std::size_t>(j)];
        const double x = 0.1 * b.counts[1][static_cast<std::size_t>(j)];
        const double y = 0.1 * b.counts[2][static_cast<std::size_t>(j)];
        std::snprintf(want, sizeof want, "%7s,%7s,%7s", formatMask(p, "#0.000").c_str(), formatMask(x, "##0.0").c_str(),
                      formatMask(y, "##0.0").c_str());
        EXPECT_EQ(lines[static_cast<std::size_t>(j)].substr(7), want) << j;
    }
    EXPECT_EQ(lines[0].substr(0, 7), "00:00.0");
    EXPECT_EQ(lines[1].substr(0, 7), "00:00.5");
}

TEST(RawTable, ExportEndsWithoutLineBreakAndWebCopyReplaces)
{
    const fs::path dir = fs::temp_directory_path() / ("rawtable_" + std::to_string(::getpid()));
    fs::create_directories(dir / "web");
    const std::string exportPath = (dir / rawTableExportName("NR")).string();
    EXPECT_EQ(rawTableExportName("NR"), "NR22g.txt");
    ASSERT_EQ(writeRawTableExport(exportPath, "  1.000\r\n  2.000"), Status::Ok);
    std::string bytes;
    ASSERT_EQ(readFileBytes(exportPath, bytes), Status::Ok);
    EXPECT_EQ(bytes, "  1.000\r\n  2.000");
    {
        std::ofstream old(dir / "web" / "w3.txt", std::ios::binary);
        old << "an older and much longer copy of the table";
    }
    ASSERT_EQ(copyRawTableToWeb(exportPath, (dir / "web").string()), Status::Ok);
    ASSERT_EQ(readFileBytes((dir / "web" / "w3.txt").string(), bytes), Status::Ok);
    EXPECT_EQ(bytes, "  1.000\r\n  2.000");
    // A missing export is reported and the web copy is left alone.
    EXPECT_NE(copyRawTableToWeb((dir / "none.txt").string(), (dir / "web").string()), Status::Ok);
    ASSERT_EQ(readFileBytes((dir / "web" / "w3.txt").string(), bytes), Status::Ok);
    EXPECT_EQ(bytes, "  1.000\r\n  2.000");
    // Copy onto itself (web folder = program folder) keeps the file.
    ASSERT_EQ(writeRawTableExport((dir / "w3.txt").string(), "x"), Status::Ok);
    EXPECT_EQ(copyRawTableToWeb((dir / "w3.txt").string(), dir.string()), Status::Ok);
    ASSERT_EQ(readFileBytes((dir / "w3.txt").string(), bytes), Status::Ok);
    EXPECT_EQ(bytes, "x");
    // An export into a folder that does not exist fails.
    EXPECT_NE(writeRawTableExport((dir / "missing" / "NR22g.txt").string(), "x"), Status::Ok);
    fs::remove_all(dir);
}

TEST(RawTable, Heading)
{
    EXPECT_EQ(rawTableHeading("   水圧  流速X", "   (m) (cm/s)"), "   水圧  流速X\r\n   (m) (cm/s)");
}
