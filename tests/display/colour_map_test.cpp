#include <gtest/gtest.h>

#include <cmath>

#include "display/bitmap.h"
#include "display/colour_map.h"
#include "settings/shared_settings.h"

namespace {

class ColourMap : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedSettings = Settings();
        SharedSettings.ContrastLow = 50;   // lo = 1
        SharedSettings.ContrastHigh = 50;  // hi = 100
    }
    void TearDown() override { SharedSettings = Settings(); }

    // The magnitude whose u is exactly `u` with lo = 1, hi = 100.
    static float AtStep(int u) { return float(std::pow(2.0, (u + 0.5) / 256.0 * std::log2(100.0))); }
};

TEST_F(ColourMap, BelowTheFloorIsTheFirstStop)
{
    for (float x : {0.0f, 5e-9f, -3.0f}) {
        SharedSettings.ColorType = 0;
        EXPECT_EQ(ColourOf(x), RGB(0, 0, 0));
        SharedSettings.ColorType = 1;
        EXPECT_EQ(ColourOf(x), RGB(255, 255, 255));
        SharedSettings.ColorType = 2;
        EXPECT_EQ(ColourOf(x), RGB(0, 0, 0));
    }
    SharedSettings.ColorType = 0;
    EXPECT_EQ(ColourOf(1.0f), RGB(0, 0, 0)) << "x = lo gives t = 0";
}

TEST_F(ColourMap, StepsOf51LandOnTheStops)
{
    const uint32_t normal[5] = {RGB(0, 0, 0), RGB(0, 0, 255), RGB(0, 200, 255), RGB(0, 255, 0), RGB(255, 255, 0)};
    const uint32_t grey[5] = {RGB(0, 0, 0), RGB(50, 50, 50), RGB(100, 100, 100), RGB(150, 150, 150),
                              RGB(200, 200, 200)};
    for (int k = 0; k < 5; ++k) {
        SharedSettings.ColorType = 0;
        EXPECT_EQ(ColourOf(AtStep(51 * k)), normal[k]) << k;
        SharedSettings.ColorType = 2;
        EXPECT_EQ(ColourOf(AtStep(51 * k)), grey[k]) << k;
        SharedSettings.ColorType = 7;  // unknown schemes are Normal
        EXPECT_EQ(ColourOf(AtStep(51 * k)), normal[k]) << k;
    }
}

TEST_F(ColourMap, TheTopIsClampedAt250)
{
    SharedSettings.ColorType = 0;
    EXPECT_EQ(ColourOf(100.0f), RGB(255, 24, 0));
    EXPECT_EQ(ColourOf(1e6f), RGB(255, 24, 0));
    SharedSettings.ColorType = 1;
    EXPECT_EQ(ColourOf(1e6f), RGB(0, 230, 255));
    SharedSettings.ColorType = 2;
    EXPECT_EQ(ColourOf(1e6f), RGB(249, 249, 249));
}

TEST_F(ColourMap, TheTableFollowsARebuildAndClampsItsIndex)
{
    SharedSettings.ColorType = 0;
    RebuildColorMap();
    EXPECT_EQ(ColorMap[0], RGB(0, 0, 0));
    EXPECT_EQ(LookupColour(-3.0f), ColorMap[0]);
    EXPECT_EQ(LookupColour(150.0f), ColorMap[ColorMapSize - 1]);
    EXPECT_EQ(LookupColour(NAN), ColorMap[0]);
    EXPECT_EQ(LookupColour(50.0f), ColourOf(50.0f));

    // A slider change reaches ColourOf at once, the table only on rebuild.
    const uint32_t before = LookupColour(10.0f);
    SharedSettings.ContrastHigh = 10;
    EXPECT_EQ(LookupColour(10.0f), before);
    EXPECT_NE(ColourOf(10.0f), before);
    RebuildColorMap();
    EXPECT_EQ(LookupColour(10.0f), ColourOf(10.0f));
}

} // namespace
