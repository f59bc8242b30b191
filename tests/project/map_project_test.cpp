#include <gtest/gtest.h>

#include "project/map_project.h"

namespace plotvane {
namespace {

struct PaletteRow {
    int index;
    Rgb colour;
};

class SystemPaletteTest : public ::testing::TestWithParam<PaletteRow> {};

TEST_P(SystemPaletteTest, EntryHasItsColour) {
    const PaletteRow row = GetParam();
    EXPECT_EQ(systemPaletteTable()[static_cast<std::size_t>(row.index)], row.colour) << "entry " << row.index;
}

INSTANTIATE_TEST_SUITE_P(KnownEntries, SystemPaletteTest,
                         ::testing::Values(PaletteRow{0, {255, 255, 255}}, PaletteRow{1, {255, 204, 255}},
                                           PaletteRow{6, {255, 255, 204}}, PaletteRow{18, {204, 255, 255}},
                                           PaletteRow{107, {0, 0, 153}}, PaletteRow{108, {255, 255, 102}},
                                           PaletteRow{125, {255, 0, 0}}, PaletteRow{214, {0, 51, 0}},
                                           PaletteRow{215, {17, 17, 17}}, PaletteRow{224, {238, 238, 238}},
                                           PaletteRow{225, {192, 192, 192}}, PaletteRow{226, {128, 0, 0}},
                                           PaletteRow{227, {128, 0, 128}}, PaletteRow{228, {0, 128, 0}},
                                           PaletteRow{229, {0, 128, 128}}, PaletteRow{230, {0, 0, 0}}));

TEST(SystemPalette, CubeHoldsEveryLevelTripleButBlackOnce) {
    int seen[6][6][6] = {};
    auto levelOf = [](std::uint8_t v) { return (255 - v) / 51; };
    for (int i = 0; i < 215; ++i) {
        const Rgb c = systemPaletteTable()[static_cast<std::size_t>(i)];
        for (std::uint8_t v : c) ASSERT_EQ((255 - v) % 51, 0) << "entry " << i;
        ++seen[levelOf(c[0])][levelOf(c[1])][levelOf(c[2])];
    }
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                EXPECT_EQ(seen[r][g][b], (r == 5 && g == 5 && b == 5) ? 0 : 1);
}

TEST(MapProject, ResetGivesTheStartingState) {
    MapProject p;
    p.classCount = 3;
    p.classes[2].width = 999;
    p.databaseName.assign("Tokyo");
    p.setInfoText(4, {"hello", 1, 2, 3, 4});
    p.infoTextCount = 5;
    p.access.fullEdit = 0;
    p.sourceBitDepth = 1;
    p.previewCentreX = 7;
    p.reset();
    EXPECT_EQ(p.classCount, 0);
    EXPECT_EQ(p.classes[2].width, 0);
    EXPECT_EQ(p.classes[2].magnification, 1);
    EXPECT_EQ(p.classes[2].recordColumns, 1);
    EXPECT_TRUE(p.databaseName.empty());
    EXPECT_EQ(p.infoText(4), InfoText{});
    EXPECT_EQ(p.infoTextCount, 0);
    EXPECT_EQ(p.spareInfoTextCount, 10);
    EXPECT_EQ(p.infoFormatWord, 1u);
    EXPECT_EQ(p.access.fullEdit, 1);
    EXPECT_EQ(p.access.readOnly, 0);
    EXPECT_EQ(p.sourceBitDepth, 24);
    EXPECT_EQ(p.previewCentreX, 80);
    EXPECT_EQ(p.previewCentreY, 80);
    EXPECT_EQ(p.systemPalette, systemPaletteTable());
}

TEST(MapProject, InfoTextIsCutToFortyEightBytes) {
    MapProject p;
    p.setInfoText(0, {std::string(60, 'x'), 0, 0, 9, 9});
    EXPECT_EQ(p.infoText(0).text, std::string(48, 'x'));
    EXPECT_EQ(p.infoTextBytes[0][48], '\0');
}

TEST(FixedText, AssignCutsAndPads) {
    FixedText<17> name;
    name.assign("ABCDEFGHIJKLMNOPQRS", 15);
    EXPECT_EQ(name.str(), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(name.bytes[15], '\0');
    EXPECT_EQ(name.bytes[16], '\0');
}

}  // namespace
}  // namespace plotvane
