#include "audio/ui/VuMeterTable.h"

#include <cmath>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

// The main window's meter: 41 x 119, levels -40..0, threshold -25, high from -6.
VuMeterTable mainWindowMeter() {
    VuMeterTable table;
    table.setSize(41, 119);
    table.setColourHigh(meter_colour::yellow);
    table.setColourMed(meter_colour::lime);
    table.setColourLow(meter_colour::red);
    table.setLevelMin(-40);
    table.setLevelMed(-25);
    table.setLevelHigh(-6);
    return table;
}

TEST(VuMeterTable, TheMainWindowsMeterHas39PositionsInThreeColours) {
    const VuMeterTable table = mainWindowMeter();
    ASSERT_EQ(table.topPosition(), 38);
    for (int i = 0; i <= 38; ++i) {
        const std::uint32_t expected = i <= 14   ? meter_colour::red
                                       : i <= 32 ? meter_colour::lime
                                                 : meter_colour::yellow;
        EXPECT_EQ(table.segments()[std::size_t(i)].colour, expected) << i;
    }
}

TEST(VuMeterTable, UnlitColoursHaveEveryByteHalved) {
    const VuMeterTable table = mainWindowMeter();
    EXPECT_EQ(table.segments()[0].unlit, 0x00007Fu);
    EXPECT_EQ(table.segments()[20].unlit, 0x007F00u);
    EXPECT_EQ(table.segments()[38].unlit, 0x007F7Fu);
}

TEST(VuMeterTable, ThresholdsRunFromTheRangeBelowFullScaleToFullScale) {
    const VuMeterTable table = mainWindowMeter();
    EXPECT_FLOAT_EQ(table.segments()[38].threshold, 1.0f);
    EXPECT_FLOAT_EQ(table.segments()[0].threshold, 0.01f);                                     // -40 dB
    EXPECT_FLOAT_EQ(table.segments()[19].threshold, static_cast<float>(std::pow(10.0, -1.0))); // -20 dB
}

TEST(VuMeterTable, SegmentsAreLinesThreePixelsApartInTwoColumns) {
    const VuMeterTable table = mainWindowMeter();
    EXPECT_EQ(table.lineY(0), 117);
    EXPECT_EQ(table.lineY(38), 3);
    EXPECT_EQ(table.columnSpan(0), (std::pair{1, 18}));
    EXPECT_EQ(table.columnSpan(1), (std::pair{21, 39}));
}

TEST(VuMeterTable, SizesGiveTheirSegmentCount) {
    VuMeterTable table;
    EXPECT_EQ(table.topPosition(), 49); // the default 152 high
    table.setSize(32, 5);
    EXPECT_EQ(table.topPosition(), 1); // 0 becomes 1
    table.setSize(32, 1000);
    EXPECT_EQ(table.topPosition(), 100);
}

TEST(VuMeterTable, LevelSettersKeepTheRangeOrdered) {
    VuMeterTable table;
    table.setLevelMin(10);
    EXPECT_EQ(table.levelMin(), -1); // above levelMax 0
    table.setLevelMin(-50);
    table.setLevelMax(-60);
    EXPECT_EQ(table.levelMax(), -49);
    table.setLevelMax(0);
    table.setLevelHigh(5);
    EXPECT_EQ(table.levelHigh(), 0);
    table.setLevelMed(-70);
    EXPECT_EQ(table.levelMed(), -50);
}

TEST(VuMeterTable, ALevelJustAboveASegmentLightsItAndAllBelow) {
    VuMeterTable table = mainWindowMeter();
    const float threshold10 = table.segments()[10].threshold;
    auto changes = table.showLevels(threshold10 * 1.0001, 0.0);
    EXPECT_EQ(table.litCount(0), 11);
    EXPECT_EQ(table.litCount(1), 0);
    EXPECT_EQ(changes.size(), 11u);
    // Falling back: exactly the segments above the new level go dark.
    changes = table.showLevels(table.segments()[7].threshold * 1.0001, 0.0);
    EXPECT_EQ(table.litCount(0), 8);
    ASSERT_EQ(changes.size(), 3u);
    for (const auto& change : changes) {
        EXPECT_FALSE(change.lit);
        EXPECT_GE(change.position, 8);
        EXPECT_LE(change.position, 10);
    }
    EXPECT_TRUE(table.showLevels(table.segments()[7].threshold * 1.0001, 0.0).empty());
}

TEST(VuMeterTable, TheTopPositionNeverLights) {
    VuMeterTable table = mainWindowMeter();
    table.showLevels(100.0, 100.0);
    EXPECT_EQ(table.litCount(0), 38);
    EXPECT_EQ(table.litCount(1), 38);
}

TEST(VuMeterTable, APropertyChangeLeavesEverySegmentUnlit) {
    VuMeterTable table = mainWindowMeter();
    table.showLevels(0.5, 0.5);
    table.setLevelMed(-30);
    EXPECT_EQ(table.litCount(0), 0);
}

} // namespace
} // namespace quietmon
