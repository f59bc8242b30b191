#include <gtest/gtest.h>

#include "project/files.h"
#include "raster/bmp_reader.h"
#include "raster/work_raster.h"
#include "raster_fixtures.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane {
namespace {

using namespace test;

// Sends the file at `source` through both check orders and a conversion.
// Each must come back; a refusal must have said exactly one thing.
void exercise(const TempDir& dir, const std::filesystem::path& source, ColourMode mode, bool dither) {
    {
        MapProject project;
        RecordingFeedback feedback;
        const int result = static_cast<int>(checkClassBitmapHeaders(project, 0, source, feedback));
        if (result != 0) {
            ASSERT_EQ(feedback.messages.size(), 1u) << "class check, result " << result;
        }
    }
    // A fresh raster each time: truncating a file that holds data makes
    // some file systems flush it to disk on close.
    removeIfExists(dir / kPreviewRasterName);
    MapProject project;
    RecordingFeedback feedback;
    ControlUpdates updates;
    RasterRequest request;
    request.mode = mode;
    request.source = source;
    request.raster = dir / kPreviewRasterName;
    request.ditherChecked = dither;
    const int result = static_cast<int>(convertToWorkRaster(project, request, feedback, updates));
    if (result != 0) {
        ASSERT_EQ(feedback.messages.size(), 1u) << "conversion, result " << result;
    }
    ASSERT_EQ(feedback.busyDepth, 0);
}

class BmpRobustness : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(BmpRobustness, EveryTruncationReturns) {
    const std::uint16_t depth = GetParam();
    const std::vector<std::uint8_t> valid = makeBmp(sampleRecipe(depth));
    TempDir dir;
    const auto source = dir / "cut.bmp";
    writeFile(source, valid);
    // Longest first, so that each length is one cut of the same file.
    for (std::size_t length = valid.size() + 1; length-- > 0;) {
        std::filesystem::resize_file(source, length);
        exercise(dir, source, kColourModes[length % kColourModes.size()], length % 2 == 0);
        if (HasFatalFailure()) FAIL() << "length " << length;
    }
}

TEST_P(BmpRobustness, EveryHeaderAndColourTableByteFlipReturns) {
    const std::uint16_t depth = GetParam();
    BmpRecipe recipe = sampleRecipe(depth);
    if (depth == 24) recipe.palette = greyPalette(4), recipe.clrUsed = 4;  // a table to damage as well
    const std::vector<std::uint8_t> valid = makeBmp(recipe);
    const std::size_t damaged = readLe32(valid.data() + kOffBfOffBits);
    TempDir dir;
    for (std::size_t at = 0; at < damaged; ++at) {
        // Header fields get three kinds of damage, colour entries one.
        const std::vector<std::uint8_t> flips = at < kBmpHeaderBytes ? std::vector<std::uint8_t>{0xFF, 0x80, 0x01}
                                                                      : std::vector<std::uint8_t>{0xFF};
        for (std::uint8_t flip : flips) {
            std::vector<std::uint8_t> bytes = valid;
            bytes[at] ^= flip;
            const auto source = dir / ("flip" + std::to_string(at) + "-" + std::to_string(flip) + ".bmp");
            writeFile(source, bytes);
            const bool header = at < kBmpHeaderBytes;
            exercise(dir, source, header ? (flip == 0x01 ? ColourMode::Bpp2 : ColourMode::Bpp8) : (at % 9 == 0 ? ColourMode::Bpp4 : ColourMode::Bpp8),
                     header ? flip != 0x80 : at % 7 == 0);
            std::filesystem::remove(source);
            if (HasFatalFailure()) FAIL() << "byte " << at << " flipped by " << int(flip);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Bmp, BmpRobustness, ::testing::Values(1, 4, 8, 24),
                         [](const auto& info) { return "depth" + std::to_string(info.param); });

}  // namespace
}  // namespace plotvane
