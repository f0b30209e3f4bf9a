// The spectrum text's number writer against the format masks: the same
// text for every kind of value it meets.
#include "common/format.h"
#include "tolv/spectra/spectrumgraph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace varenta {
namespace {

class SpectrumNumberText : public ::testing::Test {
protected:
    int compared = 0;
    void expectSame(float v)
    {
        char buf[64];
        const std::size_t n = formatSpectrumNumber(v, buf);
        ASSERT_LE(n, sizeof buf);
        const std::string want = formatMask(v, "0.00000E+00");
        ASSERT_EQ(std::string(buf, n), want) << "bits " << std::hex << std::bit_cast<std::uint32_t>(v);
        ++compared;
    }
};

TEST_F(SpectrumNumberText, AnyBitPatternGivesTheMaskText)
{
    std::mt19937 gen(23);
    for (int i = 0; i < 300000; ++i)
        expectSame(std::bit_cast<float>(static_cast<std::uint32_t>(gen())));
    for (float v : {0.0f, -0.0f, 1.0f, 1e-25f, 1e-24f, 1e14f, 1e15f, 9.999995e13f, 1.4e-45f, 3.4028235e38f,
                    INFINITY, -INFINITY, NAN, 0.1f, 0.5f, 2.0f, 1.0f / 512.0f})
        expectSame(v);
    EXPECT_EQ(compared, 300017);
}

TEST_F(SpectrumNumberText, ValuesAtTheRoundingEdges)
{
    // Halfway points of the six shown digits and of the fifteen the mask
    // keeps first, with their float neighbours, over the decades a
    // spectrum's frequencies and densities span.
    std::mt19937 gen(5);
    std::uniform_int_distribution<int> digits(100000, 999999);
    for (int e = -24; e <= 13; ++e)
        for (int i = 0; i < 400; ++i) {
            const double d = digits(gen);
            for (double tail : {0.5, 0.4999999999, 0.5000000001, 0.0, 0.9999999}) {
                const float v = static_cast<float>((d + tail) * std::pow(10.0, e - 5));
                expectSame(v);
                expectSame(std::nextafter(v, 0.0f));
                expectSame(std::nextafter(v, INFINITY));
            }
        }
    // Every float of two binades around 1 and around 1e-3.
    for (float start : {0.999f, 0.00099f})
        for (float v = start, k = 0; k < 200000; ++k, v = std::nextafter(v, INFINITY))
            expectSame(v);
}

}  // namespace
}  // namespace varenta
