// The estimators' file interfaces: the shipped templates read as parameter
// files, malformed fields refused with the line and columns named, the ten
// arguments, and the fixed columns of "nr40g.txt".
#include "common/textfile.h"
#include "tools/estimators/run.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace varenta;
using namespace varenta::est;

namespace {

class ParameterFiles : public ::testing::Test {
protected:
    // A shipped template; bayes2's list shortened to its two channel lines
    // (T4 for the pressure, T5 for one current), so that the template reads
    // as a parameter file.
    static std::vector<std::string> shipped(const char* name)
    {
        std::vector<std::string> lines;
        EXPECT_EQ(readTextLines(std::string(VARENTA_SOURCE_DIR) + "/data/" + name, lines), Status::Ok);
        if (name[0] == 'b')
            lines[2] = "    2  1  2";
        return lines;
    }
    // The template with one field replaced (1-based line and column).
    static std::vector<std::string> with(std::vector<std::string> lines, std::size_t line, int col, const std::string& text)
    {
        std::string& l = lines[line - 1];
        if (l.size() < col - 1 + text.size())
            l.resize(col - 1 + text.size(), ' ');
        l.replace(static_cast<std::size_t>(col - 1), text.size(), text);
        return lines;
    }
};

TEST_F(ParameterFiles, ShippedTemplatesReadAsParameterFiles)
{
    ParameterFile e, b;
    std::string why;
    ASSERT_TRUE(parseEmepParameters(shipped("emep2.org"), e, why)) << why;
    EXPECT_EQ(e.channels.size(), 3u);
    EXPECT_DOUBLE_EQ(e.depth, 10.0);
    EXPECT_DOUBLE_EQ(e.dt, 0.5);
    EXPECT_DOUBLE_EQ(*e.pressureElevation, -9.5);
    EXPECT_DOUBLE_EQ(*e.currentElevation, -9.4);
    EXPECT_TRUE(e.levelReference);
    EXPECT_EQ(e.settings.nd, 72);
    EXPECT_EQ(e.settings.nf, 31);
    ASSERT_TRUE(parseBdmParameters(shipped("bayes2.org"), b, why)) << why;
    ASSERT_EQ(b.channels.size(), 2u);
    EXPECT_DOUBLE_EQ(*b.channels[1].azimuth, 0.0);
    EXPECT_DOUBLE_EQ(*b.channels[1].inclination, 90.0);
    EXPECT_DOUBLE_EQ(b.depth, 10.0);
    EXPECT_DOUBLE_EQ(*b.gaugeHeight, 0.5);
    EXPECT_DOUBLE_EQ(*b.settings.currentAboveGauge, 0.1);
    EXPECT_EQ(b.settings.bdm.trials, 16);
}

TEST_F(ParameterFiles, MalformedFieldsAreRefusedWithTheirPlace)
{
    struct Case {
        const char* file;
        std::size_t line;
        int col;
        std::string text;
        const char* why;
    };
    const Case cases[] = {
        {"emep2.org", 3, 56, "          ", "line 3 columns 56-65 (water depth) is blank"},
        {"emep2.org", 3, 51, "  0.0", "sample interval"},
        {"emep2.org", 4, 1, "  500", "outside 8..360"},
        {"emep2.org", 4, 11, "     abc  ", "line 4 columns 11-20 (lowest frequency) is not a number"},
        {"emep2.org", 4, 21, "     0.001", "frequency band"},
        {"emep2.org", 2, 6, "   12", "channel number must be 1..9"},
        {"emep2.org", 1, 1, "    0", "number of sensors"},
        {"bayes2.org", 3, 1, "    0", "list length must be 1..30"},
        {"bayes2.org", 3, 1, "    9  1  2  3  4  5  6  7  8  9", "ends before the site line"},
        {"bayes2.org", 7, 1, "    0", "hyper-parameter search"},
        {"bayes2.org", 6, 46, "  1e9", "water depth"},
    };
    for (const Case& c : cases) {
        ParameterFile p;
        std::string why;
        const auto lines = with(shipped(c.file), c.line, c.col, c.text);
        EXPECT_FALSE(parseParameters(c.file[0] == 'e' ? Method::Emep : Method::Bdm, lines, p, why)) << c.why;
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
    ParameterFile p;
    std::string why;
    EXPECT_FALSE(parseEmepParameters({"    3"}, p, why));
    EXPECT_NE(why.find("at least 8"), std::string::npos) << why;
}

TEST(CommandLineArguments, TenArgumentsWithTheDataFileLast)
{
    CommandLine c;
    std::string why;
    ASSERT_TRUE(parseCommandLine({"2026", "5", "6", "10", "0", "2400", "3", "9217", "12", "\"/d/NR012M.H10\""}, c, why));
    EXPECT_EQ(c.start, 9217);
    EXPECT_EQ(c.dataFile, "/d/NR012M.H10");
    EXPECT_TRUE(c.includeLevel());
    // A path with blanks split by a caller is joined again.
    ASSERT_TRUE(parseCommandLine({"2026", "5", "6", "10", "0", "2400", "3", "1", "4", "\"/my", "data/DirSpec.tmp\""}, c, why));
    EXPECT_EQ(c.dataFile, "/my data/DirSpec.tmp");
    EXPECT_FALSE(c.includeLevel());
    const std::vector<std::pair<std::vector<std::string>, const char*>> bad = {
        {{"2026", "5", "6", "10", "0", "2400", "3", "1", "4"}, "expected 10 arguments"},
        {{"2026x", "5", "6", "10", "0", "2400", "3", "1", "4", "f"}, "argument 1 (year)"},
        {{"2026", "5", "6", "10", "0", "2400", "0", "1", "4", "f"}, "out of range"},
        {{"2026", "5", "6", "10", "0", "2400", "3", "1", "4", "\"\""}, "data file argument is empty"},
    };
    for (const auto& [args, text] : bad) {
        EXPECT_FALSE(parseCommandLine(args, c, why));
        EXPECT_NE(why.find(text), std::string::npos) << why;
    }
}

TEST(SpectrumFile, FixedColumnsWithAShortLastDensityLine)
{
    DirectionalSpectrum s;
    s.nd = 9;
    s.title = "emep2 No.012";
    s.frequency = {0.05, 0.125};
    s.density = {std::vector<double>(9, 0.0), {1, 2, 3, 4, 5, 6, 7, 8, 1.5e-120}};
    s.density[0][4] = 12345.678;
    const std::vector<std::string> lines = formatSpectrum(s);
    ASSERT_EQ(lines.size(), 7u);  // heading, then per frequency 1 + ceil(9 / 6) lines
    EXPECT_EQ(lines[0].substr(40), "    2    9");
    EXPECT_EQ(lines[1], " 5.00000E-02");
    EXPECT_EQ(lines[2].size(), 72u);
    EXPECT_EQ(lines[3].size(), 36u);
    EXPECT_DOUBLE_EQ(std::atof(lines[2].substr(48, 12).c_str()), 12345.7);
    EXPECT_EQ(lines[4], " 1.25000E-01");
    EXPECT_EQ(lines[6].substr(24, 12), " 0.00000E+00");  // too small for a two-digit exponent
}

}  // namespace


// Numbers far beyond the int range in the list length (inputs found by
// the fuzz target) are refused with their reason instead of overflowing.
TEST(EstimatorParameterFile, GarbageNumbersAreRefusedNotConverted)
{
    const std::string inputs[] = {
        std::string("\x30\x30\x00\x31\x00\x09\x00\x00\x00\x00\x00\x00\x00\x37\x30\x00\x31\x00\x31\x00\x37\x30\x00\x31\x00\x37\x30\x00\x31\x00\x0a\x0a\x35\x35\x31\x65\x39\x34\x36\x30\x0a\x80\x00\x00\x31\x08\x0a\x32\x36\x0a\xfe\x2f\x35\x35\x35\x35", 56),
        std::string("\x0a\x0a\x35\x31\x65\x39\x34\x36\x30\x32\x36\x0a\xfe\x31\x3d\x92", 16),
    };
    for (const std::string& bytes : inputs) {
        std::vector<std::string> lines;
        std::size_t from = 0;
        while (from <= bytes.size()) {
            std::size_t nl = bytes.find('\n', from);
            if (nl == std::string::npos)
                nl = bytes.size();
            lines.push_back(bytes.substr(from, nl - from));
            from = nl + 1;
        }
        for (est::Method m : {est::Method::Emep, est::Method::Bdm}) {
            est::ParameterFile p;
            std::string why;
            EXPECT_FALSE(est::parseParameters(m, lines, p, why));
            EXPECT_FALSE(why.empty());
        }
    }
}
