// Web pages from templates: placeholders, the newest-results block, the
// table excerpt, the choice of templates and the pages written.
#include "tolv/publish/webpages.h"

#include "common/format.h"
#include "common/textcodec.h"
#include "common/textfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace varenta {
namespace {

// A 392-byte results record: field k holds the 5-character text of
// value(k); groups of eight joined by ", ", fields by ",".
template <class F>
std::string record(F value)
{
    std::string r;
    for (int k = 0; k < 64; ++k) {
        if (k > 0)
            r += (k % 8 == 0) ? ", " : ",";
        r += rightAlign(value(k), 5);
    }
    return r + "\r\n";
}

// The bytes of a JPEG file up to its frame header: SOI, an APP0 segment,
// SOF0 with the height and width.
std::string jpegHead(int width, int height)
{
    std::string b = "\xFF\xD8\xFF\xE0";
    b += std::string("\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 16);
    b += std::string("\xFF\xC0\x00\x11\x08", 5);
    b += static_cast<char>(height >> 8), b += static_cast<char>(height & 0xFF);
    b += static_cast<char>(width >> 8), b += static_cast<char>(width & 0xFF);
    b += std::string("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xFF\xD9", 12);
    return b;
}

TEST(WebPageParts, PictureFieldsAndFrameHeader)
{
    const struct {
        int value;
        const char* field;
    } fields[] = {{640, " 640"}, {12345, "2345"}, {0, "   0"}, {1024, "1024"}};
    for (const auto& f : fields)
        EXPECT_EQ(pictureSizeField(f.value), f.field) << f.value;

    const auto s = jpegPictureSize(jpegHead(640, 480));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->width, 640);
    EXPECT_EQ(s->height, 480);
    // A huffman table segment (C4) before the frame is not a frame.
    std::string withTable = jpegHead(300, 200);
    withTable.insert(20, std::string("\xFF\xC4\x00\x04\x00\x00", 6));
    EXPECT_EQ(jpegPictureSize(withTable)->width, 300);
    EXPECT_FALSE(jpegPictureSize("GIF89a"));
    EXPECT_FALSE(jpegPictureSize(jpegHead(640, 480).substr(0, 24)));
}

TEST(WebPageParts, PlaceholdersAndInsertion)
{
    std::string t = "a WWWW b HHHH c WWWW HHHH";
    const std::size_t p = replacePlaceholder(t, "WWWW", " 640");
    EXPECT_EQ(replacePlaceholder(t, "HHHH", " 480", p), 9u);
    EXPECT_EQ(t, "a  640 b  480 c WWWW HHHH");
    EXPECT_EQ(replacePlaceholder(t, "AAAA", "   1"), std::string::npos);

    EXPECT_EQ(*insertAfterPre("x<pre>y<pre>z", "IN"), "x<pre>INy<pre>z");
    EXPECT_FALSE(insertAfterPre("no pre here", "IN"));
    EXPECT_EQ(halfWidthText("Ｈｍａｘ（ｃｍ）　ガパー"), "Hmax(cm) ｶﾞﾊﾟｰ");
}

struct LatestFixture : testing::Test {
    ResultItemTable items;
    ResultSelection sel;
    std::string results;

    void SetUp() override
    {
        std::vector<std::string> lines = {"'020 test items"};
        for (int c = 0; c <= 20; ++c)
            lines.push_back("000" + formatMask(c, "000") + ",v0,v1,v2,v3,v4,Ｈ" + std::to_string(c) + ",v6,v7");
        ASSERT_EQ(items.parse(lines), Status::Ok);
        sel.codePosition.assign(512, -1);
        sel.codePosition[12] = 12;
        sel.codePosition[13] = 8;  // opens the second group
        for (long long m = 1; m <= 3; ++m)
            results += record([m](int k) {
                if (k == 2)
                    return std::string("5/0") + std::to_string(m);
                if (k == 3)
                    return std::string("1") + std::to_string(m) + ":00";
                return std::to_string(m * 100 + k);
            });
        // Measurement 3's group-start field is six characters wide, taking
        // the blank of the separator in front of it.
        results.replace(2 * 392 + 49 - 1, 6, "-123.4");
    }
    LatestResultsInput input(long long current, int count, std::vector<int> web)
    {
        LatestResultsInput in;
        in.results = results;
        in.current = current;
        in.count = count;
        in.webItems = std::move(web);
        in.items = &items;
        in.selection = &sel;
        return in;
    }
};

TEST_F(LatestFixture, NewestFirstStopsAtTheFirstMeasurement)
{
    EXPECT_EQ(latestResultsLines(input(3, 5, {12, 64, 13})),
              "5/03 13:00<br>\r\nH12=312<br>\r\n<br>\r\nH13=-123.4<br>\r\n"
              "<br>\r\n5/02 12:00<br>\r\nH12=212<br>\r\n<br>\r\nH13=208<br>\r\n"
              "<br>\r\n5/01 11:00<br>\r\nH12=112<br>\r\n<br>\r\nH13=108<br>\r\n");
    EXPECT_EQ(latestResultsLines(input(2, 1, {})), "5/02 12:00<br>\r\n");
    // A measurement beyond the file's end gives blank fields, not a failure.
    EXPECT_EQ(latestResultsLines(input(9, 1, {12})), " <br>\r\nH12=<br>\r\n");
}

TEST(WebPageParts, ExcerptReachesBackOverBlockSeparators)
{
    const std::string body = "0001\r\n0002\r\n\r\n0003\r\n0004\r\n";
    EXPECT_EQ(resultsTableExcerpt(body, 3, 4, 2), "0002\r\n\r\n0003\r\n");
    EXPECT_EQ(resultsTableExcerpt(body, 3, 4, 9), "0001\r\n0002\r\n\r\n0003\r\n");
    EXPECT_EQ(resultsTableExcerpt(body, 4, 4, 1), "0004\r\n");
    EXPECT_EQ(resultsTableExcerpt("0001\n0002", 2, 4, 2), "0001\r\n0002\r\n");
    EXPECT_EQ(resultsTableExcerpt(body, 5, 4, 2), "");
}

TEST(WebPageParts, TemplatePlanFollowsVersionAndMeasurementKind)
{
    const auto names = [](int version, bool raw, bool directional) {
        WebPagesInput in;
        in.headerVersion = version;
        in.rawData = raw;
        in.directional = directional;
        std::string s;
        for (const WebPagePlan& p : webPagePlan(in))
            s += p.templateName + " ";
        return s;
    };
    EXPECT_EQ(names(25, true, false), "21hj.txt 22h.txt 22e.txt 22d.txt 22c.txt 23h.txt 23e.txt 23d.txt 23c.txt 24h.txt ");
    EXPECT_EQ(names(23, true, true),
              "21h.txt 22h.txt 22ep.txt 22d.txt 22c.txt 23h.txt 23ep.txt 23d.txt 23c.txt 24hp.txt 26h.txt ");
    EXPECT_EQ(names(31, false, true), "21hj.txt 23h.txt 23er.txt 23d.txt 23c.txt ");
    EXPECT_EQ(names(24, false, false), "21hj.txt 23h.txt 23er.txt 23d.txt 23c.txt ");
}

struct PagesFixture : testing::Test {
    fs::path dir = fs::temp_directory_path() / ("pub_pages_" + std::to_string(::getpid()));
    WebPagesInput in;

    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
        in.folder = dir.string();
        in.prefix = "NR";
        in.machineNumber = 12;
        in.headerVersion = 23;
        const std::vector<std::pair<const char*, std::vector<std::string>>> templates = {
            {"21h.txt", {"<h1>MMM 波浪 NNN</h1>", "<font>end</font>"}},
            {"22h.txt", {"raw MMM"}},
            {"22e.txt", {"<img width=\"WWWW\" height=\"HHHH\"><img width=\"AAAA\" height=\"BBBB\">"}},
            {"22d.txt", {"<pre></pre>"}},
            {"22c.txt", {"<pre></pre>"}},
            {"23h.txt", {"res MMM"}},
        };
        for (const auto& [name, lines] : templates)
            ASSERT_EQ(writeTextLines((dir / ("NR" + std::string(name))).string(), lines), Status::Ok);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string page(const char* name)
    {
        std::string b;
        readFileBytes((dir / name).string(), b);
        return b;
    }
};

TEST_F(PagesFixture, PagesUpToAMissingTemplateStayAndAreWhole)
{
    std::ofstream(dir / "NR22g.jpg", std::ios::binary) << jpegHead(640, 480);
    in.pictureOpen[2] = true;  // raw graph open; the velocity graph is not
    in.rawTableBody = "  1.0,  2.0\r\n";
    const WebPagesOutcome o = makeWebPages(in);
    EXPECT_EQ(o.status, Status::NotFound);
    EXPECT_EQ(o.failure, "NR23e.txt");
    EXPECT_EQ(o.written.size(), 6u);
    EXPECT_EQ(page("NR21h.htm"), toCodePage("<h1>012 波浪 012</h1>\r\n<font>end</font>\r\n"));
    EXPECT_EQ(page("NR22e.htm"), "<img width=\" 640\" height=\" 480\"><img width=\"   0\" height=\"   0\">\r\n");
    EXPECT_EQ(page("NR22d.htm"), "<pre>  1.0,  2.0\r\n</pre>\r\n");
    EXPECT_EQ(page("NR22c.htm"), "<pre></pre>\r\n");  // the table window is not open
}

TEST_F(PagesFixture, DirectionalPagesTakeBothPictureSizes)
{
    for (const char* t : {"21h.txt", "22ep.txt", "23ep.txt", "23d.txt", "23c.txt", "24hp.txt"})
        ASSERT_EQ(writeTextLines((dir / ("NR" + std::string(t))).string(), {"MMM NNN <font> WWWW HHHH AAAA BBBB <pre>"}),
                  Status::Ok);
    ASSERT_EQ(writeTextLines((dir / "NR26h.txt").string(), {"MMM WWWW HHHH AAAA BBBB"}), Status::Ok);
    std::ofstream(dir / "NR26g.jpg", std::ios::binary) << jpegHead(800, 600);
    std::ofstream(dir / "NR27g.jpg", std::ios::binary) << jpegHead(12345, 7);
    in.directional = true;
    in.pictureOpen[6] = in.pictureOpen[7] = true;
    const WebPagesOutcome o = makeWebPages(in);
    ASSERT_EQ(o.status, Status::Ok) << o.failure;
    EXPECT_EQ(o.written.back(), (dir / "NR26h.htm").string());
    EXPECT_EQ(page("NR26h.htm"), "012  800  600 2345    7\r\n");
}

TEST_F(PagesFixture, MissingPictureOrPlaceholderEndsTheGeneration)
{
    in.pictureOpen[5] = true;  // velocity graph open, but no picture file
    WebPagesOutcome o = makeWebPages(in);
    EXPECT_EQ(o.status, Status::NotFound);
    EXPECT_EQ(o.failure, "NR25g.jpg");
    EXPECT_FALSE(fs::exists(dir / "NR22e.htm"));

    in.pictureOpen[5] = false;
    ASSERT_EQ(writeTextLines((dir / "NR22h.txt").string(), {"no machine here"}), Status::Ok);
    o = makeWebPages(in);
    EXPECT_EQ(o.status, Status::DataFormat);
    EXPECT_EQ(o.failure, "NR22h.txt: MMM");
    EXPECT_EQ(o.written.size(), 1u);
}

}  // namespace
}  // namespace varenta
