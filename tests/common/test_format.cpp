// Numeric format masks and fixed-width fields.
#include "common/format.h"
#include "common/numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace varenta;

namespace {

struct MaskCase {
    double value;
    const char* mask;
    const char* expected;
};

void checkAll(const MaskCase* begin, const MaskCase* end)
{
    for (const MaskCase* c = begin; c != end; ++c)
        EXPECT_EQ(formatMask(c->value, c->mask), c->expected) << "value " << c->value << " mask \"" << c->mask << "\"";
}

}  // namespace

// Every mask the programs use, with values of the kinds they meet.
TEST(FormatMask, MasksOfThePrograms)
{
    const MaskCase cases[] = {
        // integers without leading zeros
        {5, "##0", "5"},
        {0, "##0", "0"},
        {345, "##0", "345"},
        {1234, "##0", "1234"},  // digits beyond the mask are all written
        {12.5, "##0", "13"},
        {345, "####0", "345"},
        {0, "####0", "0"},
        {123.5, "#####0", "124"},
        {1440, "###0", "1440"},
        {30, "#0", "30"},
        {7, "#0", "7"},
        // zero-filled
        {7, "000", "007"},
        {1234, "000", "1234"},
        {5, "00", "05"},
        {2026, "0000", "2026"},
        {5, "#00", "05"},
        {123, "#00", "123"},
        // literals after and before the digits
        {26, "#0/", "26/"},
        {5, "#0/", "5/"},
        {5, "00/", "05/"},
        {26, "00/", "26/"},
        {2026, "0000/", "2026/"},
        {6, "00 ", "06 "},
        {7, "#0:", "7:"},
        {9, "00:", "09:"},
        {5, "##0 ", "5 "},
        {5, "-00", "-05"},       // a leading '-' is a literal, not a sign
        {2026, "-0000", "-2026"},
        {1.25, "#0.00m", "1.25m"},
        {5, "0秒", "5秒"},
        // fractions with optional digits
        {3.14159, "#0.0#", "3.14"},
        {3.1, "#0.0#", "3.1"},
        {3.0, "#0.0#", "3.0"},
        {0.04, "#0.0#", "0.04"},
        {0.005, "#0.0#", "0.01"},
        {0.5, "##0.0#", "0.5"},
        {0.2, "##0.0#", "0.2"},
        {1.0, "##0.0#", "1.0"},
        {0.1234, "0.0#####", "0.1234"},
        {0.0, "0.0#####", "0.0"},
        {1.23456789, "0.0#####", "1.234568"},
        {0.0001, "0.0#####", "0.0001"},
        // fixed decimals
        {12.345, "##0.00", "12.35"},  // 12.345 as written, not its binary neighbour below
        {0, "##0.00", "0.00"},
        {99.999, "##0.00", "100.00"},
        {45.67, "#0.00", "45.67"},
        {12.3, "#0.0", "12.3"},
        {12.4, "00.0", "12.4"},
        {5.04, "00.0", "05.0"},
        {59.96, "00.0", "60.0"},
        {90, "###0.0", "90.0"},
        {0.5, "###0.0", "0.5"},
        {-12.5, "###0.00", "-12.50"},
        {0.12345, "##0.0000", "0.1235"},
        {2.675, "0.00", "2.68"},
        {0.145, "0.00", "0.15"},
        // axis labels of the power spectrum: decades written plainly
        {0.001, "#0.#####", "0.001"},
        {0.01, "#0.#####", "0.01"},
        {0.1, "#0.#####", "0.1"},
        {1, "#0.#####", "1"},
        {10, "#0.#####", "10"},
        {0.00001, "#0.#####", "0.00001"},
        {0.000001, "#0.#####", "0"},
        // spectrum text file: five decimals, signed two-digit exponent
        {1.0 / 512, "0.00000E+00", "1.95313E-03"},
        {-1.0 / 512, "0.00000E+00", "-1.95313E-03"},
        {0, "0.00000E+00", "0.00000E+00"},
        {1, "0.00000E+00", "1.00000E+00"},
        {12345.678, "0.00000E+00", "1.23457E+04"},
        {9.999996, "0.00000E+00", "1.00000E+01"},  // carry into the next power
        {1e-100, "0.00000E+00", "1.00000E-100"},
        {2.5e123, "0.00000E+00", "2.50000E+123"},
    };
    checkAll(std::begin(cases), std::end(cases));
}

TEST(FormatMask, SignsAndZeros)
{
    const MaskCase cases[] = {
        {-7, "##0", "-7"},
        {-1.5, "##0.00", "-1.50"},
        {-0.05, "#0.0", "-0.1"},     // half away from zero on the negative side too
        {-0.001, "0.00", "0.00"},    // no sign when every digit written is zero
        {-0.4, "#0", "0"},
        {-327.68, "##0.00", "-327.68"},
        {-32768 * 0.01, "##0.00", "-327.68"},
        {-0.0, "0.0", "0.0"},
        // '#' alone writes nothing for a zero whole part
        {0, "#", ""},
        {0, "##", ""},
        {0, "#.##", ""},
        {0.5, "#.##", ".5"},
        {0, "#0", "0"},
        {-0.3, "##", ""},
        {3, "#", "3"},
    };
    checkAll(std::begin(cases), std::end(cases));
}

TEST(FormatMask, HalfAwayFromZeroWhileIntegersRoundToEven)
{
    const MaskCase cases[] = {
        {0.5, "0", "1"}, {1.5, "0", "2"}, {2.5, "0", "3"}, {-2.5, "0", "-3"}, {0.25, "0.0", "0.3"}, {0.35, "0.0", "0.4"},
    };
    checkAll(std::begin(cases), std::end(cases));
    EXPECT_EQ(roundEven(2.5), 2);
    EXPECT_EQ(roundEven(-2.5), -2);
}

TEST(FormatMask, ExponentForms)
{
    const MaskCase cases[] = {
        {12345, "0.00E+00", "1.23E+04"},
        {12345, "0.00E-00", "1.23E04"},
        {0.0123, "0.00E-00", "1.23E-02"},
        {0.0123, "0.00e+00", "1.23e-02"},
        {9.999, "0.00E+00", "1.00E+01"},
        {1234.5, "00.0E+00", "12.3E+02"},
        {1234.5, "0.0E+0", "1.2E+3"},
        {1e-5, "0.0##E+00", "1.0E-05"},
        {1.25e-5, "0.0##E+00", "1.25E-05"},
        {1234.5, ".00E+00", ".12E+04"},
    };
    checkAll(std::begin(cases), std::end(cases));
}

TEST(FormatMask, LiteralsSectionsAndGeneralForm)
{
    const MaskCase cases[] = {
        {5, "\\#0", "#5"},
        {5, "\"No.\"0", "No.5"},
        {5, "E0", "E5"},               // 'E' without sign and digits is a literal
        {1.5, "0.0.0", "1.5.0"},      // only the first point is the decimal point
        {1.25, "0.0;(0.0)", "1.3"},
        {-1.25, "0.0;(0.0)", "(1.3)"},
        {0, "0;-0;\"zero\"", "zero"},
        {-3, "0;;", "-3"},             // empty negative section: the first one with a sign
        {7, "abc", "abc"},
        {-7, "abc", "abc"},
        {0.5, "", "0.5"},
        {1234, "", "1234"},
        {-1.25, "", "-1.25"},
        {0.1 + 0.2, "", "0.3"},
        {1e-5, "", "1E-05"},
        {0, "", "0"},
        {std::nan(""), "##0", "NaN"},
        {std::numeric_limits<double>::infinity(), "##0", "Inf"},
        {-std::numeric_limits<double>::infinity(), "##0", "-Inf"},
    };
    checkAll(std::begin(cases), std::end(cases));
}

// Texts composed of several masks, as the programs build them.
TEST(FormatMask, ComposedTexts)
{
    // Main window panel: machine 12, newest number 345, 20-minute bursts every hour.
    EXPECT_EQ("No." + formatMask(12, "##0") + "-" + formatMask(345, "####0") + " " + formatMask(20, "#0/") +
                  formatMask(60, "##0"),
              "No.12-345 20/60");
    // Date text of year 26, month 5, day 6.
    EXPECT_EQ(formatMask(26, "00/") + rightAlign(formatMask(5, "#0"), 2) + "/" + rightAlign(formatMask(6, "#0"), 2),
              "26/ 5/ 6");
    // Time column of the raw table.
    EXPECT_EQ(formatMask(5, "00") + ":" + formatMask(12.4, "00.0"), "05:12.4");
    // Date on the contour graph.
    EXPECT_EQ(formatMask(2026, "0000/") + formatMask(12, "00/") + formatMask(6, "00 ") + formatMask(10, "00") + ":" +
                  formatMask(30, "00"),
              "2026/12/06 10:30");
    // Title of the contour graph.
    EXPECT_EQ("H3=" + rightAlign(formatMask(1.25, "#0.00m"), 6), "H3= 1.25m");
    // Backup folder name parts.
    EXPECT_EQ(formatMask(2026, "0000") + formatMask(3, "-00") + formatMask(9, "00") + formatMask(7, "-00"),
              "2026-0309-07");
}

TEST(RightAlign, FixedWidthFields)
{
    struct Case {
        const char* text;
        std::size_t width;
        const char* expected;
    };
    const Case cases[] = {
        {"5", 3, "  5"},
        {"12345", 3, "345"},   // the rightmost characters are kept
        {"abc", 3, "abc"},
        {"", 2, "  "},
        {"abc", 0, ""},
        {"-32768.0", 7, "32768.0"},
        {"ｱｲ", 3, " ｱｲ"},      // half-width katakana take one column
        {"波高", 5, " 波高"},   // other characters two
        {"波高", 4, "波高"},
        {"波高", 3, " 高"},     // a character cut in half leaves a blank
        {"A波", 2, "波"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rightAlign(c.text, c.width), c.expected) << c.text << " " << c.width;

    // Template fields: value formatted, right-aligned in the field width.
    EXPECT_EQ(rightAlign(formatMask(0.5, "###0.0"), 5), "  0.5");
    EXPECT_EQ(rightAlign(formatMask(-12.25, "###0.00"), 10), "    -12.25");
    EXPECT_EQ(rightAlign(formatMask(12, "####0"), 3), " 12");
    EXPECT_EQ(rightAlign(formatMask(123456, "####0"), 5), "23456");
}
