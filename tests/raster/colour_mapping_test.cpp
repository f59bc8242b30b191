#include <gtest/gtest.h>

#include "project/map_project.h"
#include "raster/colour_mapping.h"

namespace plotvane {
namespace {

struct MappingRow {
    Rgb colour;
    int bucket;
    int expected;
};

class ColourMappingTable : public ::testing::TestWithParam<MappingRow> {};

TEST_P(ColourMappingTable, GivesItsEntry) {
    const MappingRow row = GetParam();
    EXPECT_EQ(colourMapping(row.colour[0], row.colour[1], row.colour[2], row.bucket), row.expected)
        << int(row.colour[0]) << "," << int(row.colour[1]) << "," << int(row.colour[2]);
}

INSTANTIATE_TEST_SUITE_P(
    ColourMapping, ColourMappingTable,
    ::testing::Values(MappingRow{{255, 0, 0}, 0, 125},      // red: levels 0, 5, 5
                      MappingRow{{128, 128, 128}, 8, 220},  // grey ramp, bucket 8
                      MappingRow{{128, 0, 0}, 0, 226}, MappingRow{{128, 0, 128}, 0, 227},
                      MappingRow{{0, 128, 0}, 0, 228}, MappingRow{{0, 128, 128}, 0, 229},
                      MappingRow{{0, 0, 128}, 0, 108 + 90 + 5},       // not special: blue level 3
                      MappingRow{{255, 255, 254}, 0, 0},               // not grey, all level 0
                      MappingRow{{20, 10, 5}, 0, 215},                 // all levels 5, not grey
                      MappingRow{{231, 230, 0}, 0, 120 + 0 + 1},       // level edges 231 / 230
                      MappingRow{{180, 179, 255}, 0, 0 + 18 + 2},      // 180 / 179
                      MappingRow{{129, 128, 77}, 0, 114 + 36 + 3},     // 129 / 128 / 77
                      MappingRow{{78, 27, 26}, 0, 120 + 54 + 4},       // 78 / 27 / 26
                      MappingRow{{0, 255, 255}, 0, 0 + 90 + 0}));

TEST(ColourMapping, GreysFollowTheRampByBucketWhateverTheirValue) {
    const int ramp[16] = {230, 215, 216, 190, 217, 218, 165, 219, 220, 50, 221, 222, 25, 223, 224, 0};
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(colourMapping(7, 7, 7, k), ramp[k]) << k;
        // Each ramp entry is the grey 17 k of the system palette.
        const Rgb entry = systemPaletteTable()[ramp[k]];
        EXPECT_EQ(entry, (Rgb{std::uint8_t(17 * k), std::uint8_t(17 * k), std::uint8_t(17 * k)})) << k;
    }
}

TEST(ColourMapping, EveryCubeColourMapsToItself) {
    for (int i = 0; i < 215; ++i) {
        const Rgb c = systemPaletteTable()[static_cast<std::size_t>(i)];
        if (c[0] == c[1] && c[1] == c[2]) continue;
        EXPECT_EQ(colourMapping(c[0], c[1], c[2], 0), i);
    }
}

TEST(ColourMapping, RescaleKeepsBlackAndScalesByTheLevel) {
    const ScaledColour black = rescaleToLevel(0, 0, 0, 0, 255);
    EXPECT_EQ(black.red, 0);
    // (200, 100, 50): S = 6200 + 5900 + 550 = 12650; level 170 gives
    // 200*17000/12650 = 268 -> 255, 100*17000/12650 = 134, 50*17000/12650 = 67.
    const ScaledColour c = rescaleToLevel(200, 100, 50, 12650, 170);
    EXPECT_EQ(c.red, 255);
    EXPECT_EQ(c.green, 134);
    EXPECT_EQ(c.blue, 67);
}

TEST(ColourMapping, RescaleEqualsIntegerDivisionForEverySum) {
    for (int s = 1; s <= 25500; s += 1) {
        for (int level : {0, 17, 128, 255}) {
            for (int component : {1, 97, 255}) {
                const int expected = std::min(component * level * 100 / s, 255);
                const ScaledColour c = rescaleToLevel(static_cast<std::uint8_t>(component), 0, 0, s, level);
                ASSERT_EQ(c.red, expected) << component << " " << level << " " << s;
            }
        }
    }
}

}  // namespace
}  // namespace plotvane
