#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "project/byte_order.h"
#include "project/files.h"
#include "raster/work_raster.h"
#include "support/bmp_writer.h"
#include "support/raster_reference.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane {
namespace {

using namespace test;

struct Converted {
    int result = -1;
    std::vector<std::uint8_t> bytes;
    std::vector<Message> messages;
    MapProject project;
};

Converted convertBytes(const std::vector<std::uint8_t>& source, std::uint8_t mode, bool dither) {
    TempDir dir;
    writeFile(dir / "map.bmp", source);
    Converted c;
    RecordingFeedback feedback;
    ControlUpdates updates;
    RasterRequest request;
    request.mode = colourModeOfByte(mode);
    request.source = dir / "map.bmp";
    request.raster = dir / kPreviewRasterName;
    request.ditherChecked = dither;
    c.result = static_cast<int>(convertToWorkRaster(c.project, request, feedback, updates));
    if (fileExists(request.raster)) c.bytes = readFile(request.raster);
    c.messages = feedback.messages;
    return c;
}

std::uint32_t mix(int x, int y) {
    return (static_cast<std::uint32_t>(x) * 2246822519u ^ static_cast<std::uint32_t>(y) * 3266489917u) * 668265263u;
}

struct SourceCase {
    std::string name;
    BmpRecipe recipe;
};

std::vector<SourceCase> sourceCases() {
    std::vector<SourceCase> cases;
    {
        // Strong pure colours drive the rescaled components past 255.
        BmpRecipe s;
        s.width = 163;
        s.height = 161;
        s.pixel = [](int x, int y) -> std::uint32_t {
            static const std::uint32_t colours[] = {0xFF0000, 0x0000FF, 0x00FF00, 0x800080, 0x008080, 0x7F7F7F, 0x000000};
            const std::uint32_t h = mix(x, y);
            return (h >> 29) < 7 ? colours[(h >> 29)] : (h & 0xFFFFFF);
        };
        cases.push_back({"Colour24", s});
    }
    {
        // A long information header, a gap before the rows, more than 256
        // colours declared, and padding bytes that are not zero.
        BmpRecipe s;
        s.width = 161;
        s.height = 162;
        s.bitCount = 8;
        s.infoHeaderSize = 124;
        s.extraGapBytes = 6;
        s.paddingFill = 0xA5;
        s.clrUsed = 300;
        for (int i = 0; i < 300; ++i)
            s.palette.push_back({static_cast<std::uint8_t>(mix(i, 1)), static_cast<std::uint8_t>(mix(i, 2)),
                                 static_cast<std::uint8_t>(i % 3 == 0 ? mix(i, 1) : mix(i, 3))});
        s.pixel = [](int x, int y) { return mix(x, y) >> 24; };
        cases.push_back({"Palette8Header124", s});
    }
    {
        // Five entries for sixteen possible indices: the rest are black.
        BmpRecipe s;
        s.width = 165;
        s.height = 160;
        s.bitCount = 4;
        s.infoHeaderSize = 108;
        s.clrUsed = 5;
        s.palette = {{250, 250, 250}, {128, 0, 0}, {10, 200, 30}, {90, 90, 90}, {0, 0, 255}};
        s.pixel = [](int x, int y) { return mix(x, y) >> 28; };
        cases.push_back({"Short4BitTable", s});
    }
    {
        // White first: every bit is inverted on the way out.
        BmpRecipe s;
        s.width = 167;
        s.height = 160;
        s.bitCount = 1;
        s.palette = whiteBlackPalette();
        s.paddingFill = 0xFF;
        s.pixel = [](int x, int y) { return mix(x, y) >> 31; };
        cases.push_back({"Inverted1Bit", s});
    }
    return cases;
}

struct ModeCase {
    std::uint8_t mode;
    bool dither;
};

void PrintTo(const SourceCase& c, std::ostream* os) { *os << c.name; }
void PrintTo(const ModeCase& c, std::ostream* os) { *os << "mode " << int{c.mode} << (c.dither ? " dithered" : ""); }

class NaiveConversion : public ::testing::TestWithParam<std::tuple<SourceCase, ModeCase>> {};

TEST_P(NaiveConversion, ConversionEqualsTheNaiveReading) {
    const auto& [source, mode] = GetParam();
    const std::vector<std::uint8_t> bytes = makeBmp(source.recipe);
    const Converted got = convertBytes(bytes, mode.mode, mode.dither);
    ASSERT_EQ(got.result, 0);
    EXPECT_TRUE(got.messages.empty());
    const std::vector<std::uint8_t> expected = referenceWorkRaster(bytes, mode.mode, mode.dither);
    ASSERT_EQ(got.bytes.size(), expected.size());
    const auto diff = std::mismatch(got.bytes.begin(), got.bytes.end(), expected.begin());
    EXPECT_TRUE(diff.first == got.bytes.end()) << "first difference at byte " << (diff.first - got.bytes.begin());
}

INSTANTIATE_TEST_SUITE_P(
    NaiveConversionCases, NaiveConversion,
    ::testing::Combine(::testing::ValuesIn(sourceCases()),
                       ::testing::Values(ModeCase{0, false}, ModeCase{1, false}, ModeCase{2, false},
                                         ModeCase{4, false}, ModeCase{8, false}, ModeCase{0, true},
                                         ModeCase{1, true}, ModeCase{2, true}, ModeCase{4, true},
                                         ModeCase{8, true})),
    [](const auto& info) {
        const SourceCase& s = std::get<0>(info.param);
        const ModeCase& m = std::get<1>(info.param);
        return s.name + "_m" + std::to_string(m.mode) + (m.dither ? "_dither" : "_plain");
    });

// Uniform pure red dithered to 8 bits: S = 7905, v = 79.05 gives
// q = floor(15 x 175.95 / 255) = 10 and V = 105, so red becomes
// 255 x 105 x 100 / 7905 = 338, limited to 255: entry 125. The next pixel
// gets v = 79.05 + 7/16 x (79.05 - 105) = 67.70, q = 11, V = 90, again past
// 255. Kept as one byte instead, 338 would wrap to 82 and give entry 179.
TEST(NaiveConversionDitheredColour, RescaledComponentPast255IsLimited) {
    BmpRecipe s;
    s.width = 160;
    s.height = 160;
    s.pixel = [](int, int) { return 0xFF0000u; };
    const Converted got = convertBytes(makeBmp(s), 8, true);
    ASSERT_EQ(got.result, 0);
    ASSERT_GE(got.bytes.size(), 980u);
    EXPECT_EQ(got.bytes[978], 125);
    EXPECT_EQ(got.bytes[979], 125);
}

}  // namespace
}  // namespace plotvane
