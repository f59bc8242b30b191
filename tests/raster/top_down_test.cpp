#include <gtest/gtest.h>

#include <string>

#include "project/files.h"
#include "raster/bmp_reader.h"
#include "raster/record_division.h"
#include "raster/work_raster.h"
#include "raster_fixtures.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane {
namespace {

using namespace test;

// A top-down bitmap (negative height) and its bottom-up twin: the same
// picture stored in the other row order.
class TopDownTwin : public ::testing::TestWithParam<std::uint16_t> {
protected:
    void SetUp() override {
        // An odd height and a width with row padding, so a reversed or
        // shifted row shows.
        const BmpRecipe recipe = sampleRecipe(GetParam(), 161, 163);
        BmpRecipe flipped = recipe;
        flipped.height = -recipe.height;
        writeFile(bottomUp, makeBmp(recipe));
        writeFile(topDown, makeBmp(flipped));
    }

    std::vector<std::uint8_t> raster(const std::filesystem::path& source, ColourMode mode, bool dither) {
        MapProject project;
        RecordingFeedback feedback;
        ControlUpdates updates;
        RasterRequest request;
        request.mode = mode;
        request.source = source;
        request.raster = dir / kPreviewRasterName;
        request.ditherChecked = dither;
        EXPECT_EQ(convertToWorkRaster(project, request, feedback, updates), RasterResult::Ok)
            << ::testing::PrintToString(feedback.messages);
        return readFile(request.raster);
    }

    std::vector<double> brightness(const std::filesystem::path& source) {
        FilePtr f = openFile(source, "rb");
        BmpFileInfo info;
        ColourTable table;
        EXPECT_TRUE(readBmpFileInfo(f.get(), info));
        EXPECT_TRUE(readColourTable(f.get(), info.headers, table));
        RecordingFeedback feedback;
        dmatrix m;
        allocdmatrix(m, 163, 161, feedback);
        EXPECT_TRUE(readPixelRows(f.get(), info.headers, table, m));
        std::vector<double> values;
        for (int r = 0; r < 163; ++r)
            for (int c = 0; c < 161; ++c) values.push_back(m.at(r, c));
        return values;
    }

    TempDir dir;
    const std::filesystem::path bottomUp = dir / "bottom_up.bmp";
    const std::filesystem::path topDown = dir / "top_down.bmp";
};

TEST_P(TopDownTwin, PassesTheClassBitmapCheckWithTheSameRow) {
    MapProject project;
    RecordingFeedback feedback;
    ASSERT_EQ(checkClassBitmapHeaders(project, 0, bottomUp, feedback), ClassBitmapResult::Ok);
    ASSERT_EQ(checkClassBitmapHeaders(project, 1, topDown, feedback), ClassBitmapResult::Ok);
    EXPECT_TRUE(feedback.messages.empty());
    const MapClassEntry& a = project.classes[0];
    const MapClassEntry& b = project.classes[1];
    EXPECT_EQ(std::tie(a.width, a.height, a.pixelDataOffset, a.invertedPolarity, a.bitDepth),
              std::tie(b.width, b.height, b.pixelDataOffset, b.invertedPolarity, b.bitDepth));
    EXPECT_EQ(b.height, 163);
    EXPECT_EQ(a.topDown, 0);
    EXPECT_EQ(b.topDown, 1);
}

TEST_P(TopDownTwin, PixelReaderGivesTheSameMatrix) { EXPECT_EQ(brightness(topDown), brightness(bottomUp)); }

TEST_P(TopDownTwin, GivesTheSameBottomUpRasterInEveryMode) {
    for (const ColourMode mode : kColourModes) {
        for (const bool dither : {false, true}) {
            const auto expected = raster(bottomUp, mode, dither);
            EXPECT_EQ(raster(topDown, mode, dither), expected) << "mode " << int(colourModeByte(mode)) << " dither " << dither;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Bmp, TopDownTwin, ::testing::Values(1, 4, 8, 24),
                         [](const auto& info) { return "depth" + std::to_string(info.param); });

}  // namespace
}  // namespace plotvane
