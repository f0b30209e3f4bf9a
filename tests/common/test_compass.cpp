// The 16 points of the compass, used by the results records of the
// processing program and of the data generator alike.
#include "common/compass.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

using namespace varenta;

TEST(CompassNames, SixteenPointsAndTheirEdges)
{
    const std::pair<double, const char*> cases[] = {
        {0, "N"},          {11.2499, "N"},   {11.25, "NNE"},  {33.75, "NE"},    {56.25, "ENE"},  {78.75, "E"},
        {101.25, "ESE"},   {123.75, "SE"},   {146.25, "SSE"}, {168.75, "S"},    {180, "S"},      {191.25, "SSW"},
        {213.75, "SW"},    {236.25, "WSW"},  {258.75, "W"},   {281.25, "WNW"},  {303.75, "NW"},  {326.25, "NNW"},
        {348.7, "NNW"},    {348.75, "N"},    {359, "N"},      {359.999, "N"},   {360, "-----"},  {400, "-----"},
        {720, "-----"},    {-5, "N"},        {std::numeric_limits<double>::quiet_NaN(), "-----"},
    };
    for (const auto& [deg, name] : cases)
        EXPECT_EQ(CompassName(deg), name) << deg;
}
