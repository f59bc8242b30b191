#include <gtest/gtest.h>

#include <algorithm>

#include "project/files.h"
#include "raster/work_raster.h"
#include "raster_fixtures.h"
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

Converted convert(const std::vector<std::uint8_t>& source, std::uint8_t mode, bool dither, int classIndex = 0) {
    TempDir dir;
    writeFile(dir / "source.bmp", source);
    Converted c;
    RecordingFeedback feedback;
    ControlUpdates updates;
    RasterRequest request;
    request.classIndex = classIndex;
    request.mode = colourModeOfByte(mode);
    request.source = dir / "source.bmp";
    request.raster = dir / kPreviewRasterName;
    request.ditherChecked = dither;
    c.result = static_cast<int>(convertToWorkRaster(c.project, request, feedback, updates));
    if (fileExists(request.raster)) c.bytes = readFile(request.raster);
    c.messages = feedback.messages;
    EXPECT_EQ(feedback.busyDepth, 0);
    return c;
}

Converted convert(const BmpRecipe& recipe, std::uint8_t mode, bool dither) { return convert(makeBmp(recipe), mode, dither); }

BmpRecipe uniform24(Rgb colour, std::int32_t width = 161, std::int32_t height = 160) {
    BmpRecipe recipe = sampleRecipe(24, width, height);
    const std::uint32_t v = (std::uint32_t(colour[0]) << 16) | (std::uint32_t(colour[1]) << 8) | colour[2];
    recipe.pixel = [v](int, int) { return v; };
    return recipe;
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) { return readLe32(b.data() + at); }
std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at) { return readLe16(b.data() + at); }

// Raster value of pixel x of file row r.
int pixelValue(const std::vector<std::uint8_t>& raster, int width, std::uint8_t modeNumber, int r, int x) {
    const ColourMode mode = colourModeOfByte(modeNumber);
    const std::uint32_t offset = rasterPixelOffset(mode);
    const std::size_t stride = rasterRowBytes(width, mode);
    const std::uint8_t* row = raster.data() + offset + stride * static_cast<std::size_t>(r);
    switch (rasterBitCount(mode)) {
        case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
        case 4: return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15;
        default: return row[x];
    }
}

TEST(WorkRaster, OneBitMode1Is3262BytesOfTheSourceRows) {
    for (const bool lightFirst : {false, true}) {
        BmpRecipe recipe = sampleRecipe(1, 160, 160);
        if (lightFirst) recipe.palette = whiteBlackPalette();
        const std::vector<std::uint8_t> source = makeBmp(recipe);
        const Converted c = convert(source, 1, false);
        ASSERT_EQ(c.result, 0);
        ASSERT_EQ(c.bytes.size(), 3262u);
        EXPECT_EQ(c.project.classes[0].invertedPolarity, lightFirst ? 1 : 0);
        for (std::size_t i = 0; i < 160 * 20; ++i) {
            const std::uint8_t expected = lightFirst ? std::uint8_t(~source[62 + i]) : source[62 + i];
            ASSERT_EQ(c.bytes[62 + i], expected) << "byte " << i;
        }
    }
}

TEST(WorkRaster, OneBitCopyKeepsTheSourceBitsPastTheLastPixelButNotThePadding) {
    for (const bool lightFirst : {false, true}) {
        BmpRecipe recipe = sampleRecipe(1, 161, 160);
        if (lightFirst) recipe.palette = whiteBlackPalette();
        recipe.paddingFill = 0xAB;
        std::vector<std::uint8_t> source = makeBmp(recipe);
        // Byte 20 of each row holds pixel 160 and seven bits past the width.
        for (int r = 0; r < 160; ++r) source[62 + 24 * r + 20] |= 0x35;
        const Converted c = convert(source, 1, false);
        ASSERT_EQ(c.result, 0);
        ASSERT_EQ(c.bytes.size(), 62u + 24u * 160u);
        for (int r = 0; r < 160; ++r) {
            for (int i = 0; i < 21; ++i) {
                const std::uint8_t s = source[62 + 24 * r + i];
                ASSERT_EQ(c.bytes[62 + 24 * r + i], lightFirst ? std::uint8_t(~s) : s);
            }
            for (int i = 21; i < 24; ++i) ASSERT_EQ(c.bytes[62 + 24 * r + i], 0);
        }
        // With dithering every pixel is packed again and the spare bits are 0.
        const Converted d = convert(source, 1, true);
        ASSERT_EQ(d.result, 0);
        for (int r = 0; r < 160; ++r) EXPECT_EQ(d.bytes[62 + 24 * r + 20] & 0x7F, 0);
    }
}

TEST(WorkRaster, TwentyFourBitWidth161InMode8) {
    const int height = 170;
    const Converted c = convert(sampleRecipe(24, 161, height), 8, false);
    ASSERT_EQ(c.result, 0);
    ASSERT_EQ(c.bytes.size(), 164u * height + 978u);
    EXPECT_EQ(le32(c.bytes, 2), 164u * height + 978u);
    EXPECT_EQ(le32(c.bytes, 10), 978u);
    EXPECT_EQ(le16(c.bytes, 28), 8);
    EXPECT_EQ(le32(c.bytes, 34), 161u * height);
    EXPECT_EQ(le32(c.bytes, 46), 231u);
    EXPECT_EQ(le32(c.bytes, 50), 231u);
    for (int r = 0; r < height; ++r)
        for (int i = 161; i < 164; ++i) ASSERT_EQ(c.bytes[978 + 164 * r + i], 0);
    EXPECT_EQ(c.project.rasterDataOffset, 978u);
}

TEST(WorkRaster, EightBitWidth161InMode2) {
    BmpRecipe recipe = sampleRecipe(8, 161, 160);
    recipe.pixel = [](int, int) { return 255u; };  // white: value 3 everywhere
    const Converted c = convert(recipe, 2, false);
    ASSERT_EQ(c.result, 0);
    ASSERT_EQ(c.bytes.size(), 118u + 84u * 160u);
    EXPECT_EQ(le32(c.bytes, 34), 84u * 160u);
    EXPECT_EQ(le32(c.bytes, 46), 0u);
    for (int r = 0; r < 160; ++r) {
        const std::uint8_t* row = c.bytes.data() + 118 + 84 * r;
        for (int i = 0; i < 80; ++i) ASSERT_EQ(row[i], 0x33);
        ASSERT_EQ(row[80], 0x30);  // pixel 160, then the spare low nibble
        for (int i = 81; i < 84; ++i) ASSERT_EQ(row[i], 0);
    }
}

struct ValueRow {
    Rgb colour;
    std::uint8_t mode;
    int expected;
};

class WorkRasterPlainValues : public ::testing::TestWithParam<ValueRow> {};

TEST_P(WorkRasterPlainValues, UniformColourGivesItsValue) {
    const ValueRow row = GetParam();
    const Converted c = convert(uniform24(row.colour), row.mode, false);
    ASSERT_EQ(c.result, 0);
    for (int r : {0, 159})
        for (int x : {0, 80, 160}) ASSERT_EQ(pixelValue(c.bytes, 161, row.mode, r, x), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    WorkRaster, WorkRasterPlainValues,
    ::testing::Values(ValueRow{{255, 0, 0}, 8, 125}, ValueRow{{128, 128, 128}, 8, 220},
                      ValueRow{{128, 0, 128}, 8, 227}, ValueRow{{0, 0, 0}, 8, 230}, ValueRow{{255, 255, 255}, 8, 0},
                      ValueRow{{0, 175, 225}, 1, 0},  // S = 12800 is not above the threshold
                      ValueRow{{0, 175, 226}, 1, 1}, ValueRow{{0, 175, 225}, 2, 2}, ValueRow{{0, 175, 225}, 4, 8},
                      ValueRow{{255, 255, 255}, 1, 1}, ValueRow{{255, 255, 255}, 2, 3},
                      ValueRow{{255, 255, 255}, 4, 15}, ValueRow{{255, 0, 0}, 2, 1}, ValueRow{{255, 0, 0}, 4, 4},
                      ValueRow{{0, 23, 22}, 4, 0}, ValueRow{{0, 23, 23}, 4, 1}, ValueRow{{128, 0, 128}, 4, 3}));

TEST(WorkRaster, UniformMidGreyDitheredToOneBitStartsWithAWhitePixel) {
    const Converted c = convert(uniform24({128, 128, 128}), 1, true);
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(pixelValue(c.bytes, 161, 1, 0, 0), 1);
    int white = 0;
    for (int r = 0; r < 160; ++r)
        for (int x = 0; x < 161; ++x) white += pixelValue(c.bytes, 161, 1, r, x);
    EXPECT_GT(white, 161 * 160 / 3);
    EXPECT_LT(white, 2 * 161 * 160 / 3);
    EXPECT_EQ(c.project.ditherFlag, 1);
}

TEST(WorkRaster, UniformWhiteStaysWhiteInEveryMode) {
    const std::vector<BmpRecipe> sources = [] {
        std::vector<BmpRecipe> s;
        for (std::uint16_t depth : {1, 4, 8, 24}) {
            BmpRecipe recipe = sampleRecipe(depth, 163, 160);
            if (depth == 24) recipe.pixel = [](int, int) { return 0xFFFFFFu; };
            else if (depth == 1) recipe.pixel = [](int, int) { return 1u; };  // set bit, white entry
            else recipe.pixel = [depth](int, int) { return depth == 4 ? 15u : 255u; };
            if (depth == 4) recipe.palette[15] = {255, 255, 255};
            s.push_back(recipe);
        }
        return s;
    }();
    const int white[9] = {1, 1, 3, 0, 15, 0, 0, 0, 0};
    for (const BmpRecipe& recipe : sources)
        for (std::uint8_t mode : {0, 1, 2, 4, 8})
            for (bool dither : {false, true}) {
                const Converted c = convert(recipe, mode, dither);
                ASSERT_EQ(c.result, 0);
                for (int r = 0; r < 160; ++r)
                    for (int x = 0; x < 163; ++x)
                        ASSERT_EQ(pixelValue(c.bytes, 163, mode, r, x), white[mode])
                            << "depth " << recipe.bitCount << " mode " << int(mode) << " dither " << dither;
            }
}

TEST(WorkRaster, HeadersComeFromTheSourceWithTheModesFields) {
    BmpRecipe recipe = sampleRecipe(24, 200, 160);
    recipe.infoHeaderSize = 108;
    std::vector<std::uint8_t> source = makeBmp(recipe);
    source[6] = 0x12;  // reserved words are kept
    source[9] = 0x34;
    setLe32(source, 38, 1234);
    setLe32(source, 42, 5678);
    setLe32(source, 50, 77);
    struct Row {
        std::uint8_t mode;
        std::uint16_t bits;
        std::uint32_t offset, stride, sizeImage, colours;
    };
    for (const Row row : {Row{1, 1, 62, 28, 28 * 160, 0}, Row{2, 4, 118, 100, 100 * 160, 0},
                          Row{4, 4, 118, 100, 100 * 160, 0}, Row{8, 8, 978, 200, 200 * 160, 231}}) {
        const Converted c = convert(source, row.mode, false);
        ASSERT_EQ(c.result, 0);
        ASSERT_EQ(c.bytes.size(), row.offset + row.stride * 160);
        std::vector<std::uint8_t> expected(source.begin(), source.begin() + 54);
        setLe32(expected, 2, row.offset + row.stride * 160);
        setLe32(expected, 10, row.offset);
        setLe32(expected, 14, 40);
        setLe16(expected, 28, row.bits);
        setLe32(expected, 34, row.sizeImage);
        setLe32(expected, 46, row.colours);
        setLe32(expected, 50, row.colours);
        EXPECT_EQ(std::vector<std::uint8_t>(c.bytes.begin(), c.bytes.begin() + 54), expected) << int(row.mode);
        EXPECT_EQ(c.project.rasterDataOffset, row.offset);
    }
}

TEST(WorkRaster, ColourTablesOfTheModes) {
    auto table = [](const Converted& c, int entries) {
        std::vector<std::array<int, 4>> t;
        for (int i = 0; i < entries; ++i)
            t.push_back({c.bytes[54 + 4 * i], c.bytes[55 + 4 * i], c.bytes[56 + 4 * i], c.bytes[57 + 4 * i]});
        return t;
    };
    const BmpRecipe recipe = sampleRecipe(8);
    EXPECT_EQ(table(convert(recipe, 1, false), 2), (std::vector<std::array<int, 4>>{{0, 0, 0, 0}, {255, 255, 255, 0}}));
    std::vector<std::array<int, 4>> mode2 = {{0, 0, 0, 0}, {86, 86, 86, 0}, {171, 171, 171, 0}, {255, 255, 255, 0}};
    mode2.resize(16, {0, 0, 0, 0});
    EXPECT_EQ(table(convert(recipe, 2, false), 16), mode2);
    std::vector<std::array<int, 4>> mode4;
    for (int k = 0; k < 16; ++k) mode4.push_back({17 * k, 17 * k, 17 * k, 0});
    EXPECT_EQ(table(convert(recipe, 4, false), 16), mode4);
    std::vector<std::array<int, 4>> mode8;
    for (const Rgb& c : systemPaletteTable()) mode8.push_back({c[2], c[1], c[0], 0});
    EXPECT_EQ(table(convert(recipe, 8, false), 231), mode8);
}

TEST(WorkRaster, OriginalModeIsConvertedAsMode1) {
    for (std::uint16_t depth : {1, 8, 24})
        for (bool dither : {false, true}) {
            const BmpRecipe recipe = sampleRecipe(depth, 170, 161);
            EXPECT_EQ(convert(recipe, 0, dither).bytes, convert(recipe, 1, dither).bytes);
        }
}

TEST(WorkRaster, PolarityIsRefreshedForTheRequestedClassOnly) {
    BmpRecipe recipe = sampleRecipe(1);
    recipe.palette = whiteBlackPalette();
    const Converted c = convert(makeBmp(recipe), 1, false, 2);
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(c.project.classes[2].invertedPolarity, 1);
    EXPECT_EQ(c.project.classes[0].invertedPolarity, 0);
    EXPECT_EQ(c.project.sourceBitDepth, 1);
    EXPECT_EQ(c.project.ditherFlag, 0);
}

TEST(WorkRaster, UnknownModeIsRefusedBeforeAnyFile) {
    TempDir dir;
    MapProject project;
    RecordingFeedback feedback;
    ControlUpdates updates;
    RasterRequest request;
    request.mode = colourModeOfByte(3);
    request.source = dir / "absent.bmp";
    request.raster = dir / "r.bmp";
    EXPECT_EQ(convertToWorkRaster(project, request, feedback, updates), RasterResult::UnknownMode);
    EXPECT_FALSE(fileExists(request.raster));
}

TEST(WorkRaster, MissingSourceAndFailedRecordCountComeFirst) {
    TempDir dir;
    RecordingFeedback feedback;
    ControlUpdates updates;
    RasterRequest request;
    request.mode = ColourMode::Bpp8;
    request.source = dir / "absent.bmp";
    request.raster = dir / "r.bmp";
    MapProject project;
    EXPECT_EQ(convertToWorkRaster(project, request, feedback, updates), RasterResult::NotFound);
    EXPECT_EQ(feedback.messages, std::vector<Message>{warning("Error : Cannot find bmp-file")});

    // A Class 1 that cannot be cut into records in mode 8 stops the
    // conversion before the source is opened or the raster made.
    writeFile(dir / "a.bmp", makeBmp(sampleRecipe(24)));
    request.source = dir / "a.bmp";
    project.classCount = 1;
    project.classes[0].width = 167;
    project.classes[0].height = 4093;
    feedback.messages.clear();
    EXPECT_EQ(convertToWorkRaster(project, request, feedback, updates), RasterResult::CannotCalcRecords);
    ASSERT_FALSE(feedback.messages.empty());
    EXPECT_EQ(feedback.messages.back(), warning("Error : Cannot calc record number"));
    EXPECT_FALSE(fileExists(request.raster));
    EXPECT_EQ(feedback.busyChanges, 0);
}

TEST(WorkRaster, RasterThatCannotBeMadeIsReportedAfterTheSourceOpens) {
    TempDir dir;
    writeFile(dir / "a.bmp", makeBmp(sampleRecipe(24)));
    MapProject project;
    RecordingFeedback feedback;
    ControlUpdates updates;
    RasterRequest request;
    request.source = dir / "a.bmp";
    request.raster = dir / "no-such-folder" / "temppdb.$$$";
    EXPECT_EQ(convertToWorkRaster(project, request, feedback, updates), RasterResult::CannotMakeRaster);
    EXPECT_EQ(feedback.messages, std::vector<Message>{kCannotMake});
    EXPECT_EQ(feedback.busyDepth, 0);
    EXPECT_EQ(feedback.busyChanges, 2);
}

// Pictures with greys, the four special colours, near-black and arbitrary
// colours, so every rule of every mode is met.
BmpRecipe comparisonRecipe(std::uint16_t depth, std::int32_t width, std::int32_t height, std::uint32_t header) {
    BmpRecipe recipe = sampleRecipe(depth, width, height);
    recipe.infoHeaderSize = header;
    recipe.extraGapBytes = header == 124 ? 5 : 0;
    recipe.paddingFill = 0x5A;
    if (depth == 8) {
        recipe.palette.resize(200);  // indices 200..255 have no entry
        recipe.clrUsed = 200;
        recipe.palette[1] = {128, 0, 0};
        recipe.palette[2] = {0, 128, 0};
        recipe.palette[3] = {0, 0, 0};
        recipe.palette[4] = {20, 10, 5};
    }
    if (depth == 24) {
        recipe.pixel = [](int x, int y) -> std::uint32_t {
            static const std::uint32_t fixed[] = {0x800000, 0x800080, 0x008000, 0x008080, 0x000000,
                                                  0xFFFFFF, 0x808080, 0x0A0502, 0xFF0000, 0x00AFE1};
            const std::uint32_t h = (static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u) * 2654435761u;
            if ((h >> 28) < 4) return fixed[(h >> 8) % 10];
            if ((h >> 28) < 7) return ((h >> 8) & 0xFF) * 0x010101u;
            if (y < 40) return static_cast<std::uint32_t>(x) * 0x010101u % 0x1000000u;  // smooth ramp
            return h & 0xFFFFFFu;
        };
    }
    return recipe;
}

struct ComparisonCase {
    std::uint16_t depth;
    std::int32_t width;
    std::int32_t height;
    std::uint32_t header;
    std::uint8_t mode;
    bool dither;
};

std::string caseName(const ::testing::TestParamInfo<ComparisonCase>& info) {
    const ComparisonCase& c = info.param;
    std::string name = "d";
    name += std::to_string(c.depth);
    name += "_w" + std::to_string(c.width);
    name += "_h" + std::to_string(c.height);
    name += "_hdr" + std::to_string(c.header);
    name += "_m" + std::to_string(c.mode);
    name += c.dither ? "_dither" : "_plain";
    return name;
}

class WorkRasterAgainstReference : public ::testing::TestWithParam<ComparisonCase> {};

TEST_P(WorkRasterAgainstReference, StreamedRasterEqualsTheReference) {
    const ComparisonCase c = GetParam();
    TempDir dir;
    writeFile(dir / "source.bmp", makeBmp(comparisonRecipe(c.depth, c.width, c.height, c.header)));
    const std::vector<std::uint8_t> expected = referenceWorkRaster(dir / "source.bmp", colourModeOfByte(c.mode), c.dither);
    const Converted got = convert(readFile(dir / "source.bmp"), c.mode, c.dither);
    ASSERT_EQ(got.result, 0);
    ASSERT_TRUE(got.messages.empty());
    ASSERT_EQ(got.bytes.size(), expected.size());
    const auto mismatch = std::mismatch(got.bytes.begin(), got.bytes.end(), expected.begin());
    EXPECT_TRUE(mismatch.first == got.bytes.end())
        << "first difference at byte " << (mismatch.first - got.bytes.begin());
}

std::vector<ComparisonCase> comparisonCases() {
    std::vector<ComparisonCase> cases;
    const std::int32_t widths[] = {160, 161, 163, 167};
    const std::uint32_t headers[] = {40, 108, 124, 40};
    for (std::uint16_t depth : {1, 4, 8, 24})
        for (int w = 0; w < 4; ++w)
            for (std::uint8_t mode : {0, 1, 2, 4, 8})
                for (bool dither : {false, true})
                    cases.push_back({depth, widths[w] + (depth == 1 ? 2 * w : 0), 160 + w, headers[w], mode, dither});
    // Pictures of many blocks: every slot of the pipeline is reused.
    for (std::uint8_t mode : {1, 2, 4, 8}) {
        cases.push_back({24, 1001, 700, 40, mode, true});
        cases.push_back({8, 4096, 170, 108, mode, true});
        cases.push_back({4, 2047, 400, 40, mode, true});
    }
    cases.push_back({24, 1001, 700, 40, 8, false});
    cases.push_back({1, 4095, 300, 40, 1, false});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(WorkRaster, WorkRasterAgainstReference, ::testing::ValuesIn(comparisonCases()), caseName);

}  // namespace
}  // namespace plotvane
