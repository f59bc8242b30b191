#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "project/files.h"
#include "raster/bmp_reader.h"
#include "raster/work_raster.h"
#include "raster_fixtures.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane {
namespace {

using namespace test;

using Edit = std::function<void(std::vector<std::uint8_t>&)>;

struct RefusalCase {
    std::string name;
    BmpRecipe recipe;
    Edit edit;
    Message classMessage;
    int classCode;
    Message rasterMessage;
    int rasterCode;
};

BmpRecipe withSize(std::uint16_t depth, std::int32_t width, std::int32_t height) { return sampleRecipe(depth, width, height); }

Edit setField32(std::size_t at, std::uint32_t v) {
    return [=](std::vector<std::uint8_t>& b) { setLe32(b, at, v); };
}
Edit setField16(std::size_t at, std::uint16_t v) {
    return [=](std::vector<std::uint8_t>& b) { setLe16(b, at, v); };
}
Edit both(Edit a, Edit b) {
    return [=](std::vector<std::uint8_t>& bytes) {
        a(bytes);
        b(bytes);
    };
}
Edit dropLast(std::size_t n) {
    return [=](std::vector<std::uint8_t>& b) { b.resize(b.size() - n); };
}
const Edit kNoEdit = [](std::vector<std::uint8_t>&) {};

std::vector<RefusalCase> refusalCases() {
    return {
        {"NotBM", sampleRecipe(8), [](auto& b) { b[0] = 'X'; }, kNotBmp, 2, kNotBmp, 4},
        {"ShorterThanHeaders", sampleRecipe(8), [](auto& b) { b.resize(53); }, kNotBmp, 2, kNotBmp, 4},
        {"Empty", sampleRecipe(8), [](auto& b) { b.clear(); }, kNotBmp, 2, kNotBmp, 4},
        {"InfoHeaderBelow40", sampleRecipe(24), setField32(kOffBiSize, 12), kNotBmp, 2, kNotBmp, 4},
        {"RowsInsideColourTable", sampleRecipe(8), setField32(kOffBfOffBits, 54 + 1020), kNotBmp, 2, kNotBmp, 4},
        {"RowsInsideHeaders", sampleRecipe(24), setField32(kOffBfOffBits, 30), kNotBmp, 2, kNotBmp, 4},
        {"ColourCountPastTheRows", sampleRecipe(8), setField32(kOffClrUsed, 0x40000000), kNotBmp, 2, kNotBmp, 4},
        {"TwoBits", sampleRecipe(8), setField16(kOffBitCount, 2), kIllegalColour, 3, kIllegalColour, 3},
        {"CompressedTwoBits", sampleRecipe(8), both(setField16(kOffBitCount, 2), setField32(kOffCompression, 1)),
         kIllegalColour, 3, kCompressed, 4},
        {"TwoBitsTooSmall", withSize(8, 159, 160), setField16(kOffBitCount, 2), kIllegalColour, 3, kTooSmall, 5},
        {"Compressed", sampleRecipe(8), setField32(kOffCompression, 1), kCompressed, 4, kCompressed, 4},
        {"CompressedTooSmall", withSize(24, 100, 100), setField32(kOffCompression, 3), kCompressed, 4, kCompressed, 4},
        {"Width159", withSize(24, 159, 160), kNoEdit, kTooSmall, 5, kTooSmall, 5},
        {"Height159", withSize(24, 160, 159), kNoEdit, kTooSmall, 5, kTooSmall, 5},
        // A top-down file is checked by the magnitude of its height.
        {"TopDownHeight159", withSize(1, 160, -159), kNoEdit, kTooSmall, 5, kTooSmall, 5},
        {"TopDownHeight4097", withSize(1, 200, -4097), kNoEdit, kTooLarge, 5, kTooLarge, 5},
        {"TopDownHeightInt32Min", sampleRecipe(1), setField32(kOffHeight, 0x80000000u), kTooLarge, 5, kTooLarge, 5},
        {"TopDownCompressed", withSize(24, 160, -160), setField32(kOffCompression, 1), kCompressed, 4, kCompressed,
         4},
        {"TopDownOneByteShort", withSize(8, 160, -160), dropLast(1), kCannotRead, 6, kCannotRead, 6},
        {"Width4097", withSize(1, 4097, 200), kNoEdit, kTooLarge, 5, kTooLarge, 5},
        {"Height4097", withSize(1, 200, 4097), kNoEdit, kTooLarge, 5, kTooLarge, 5},
        {"SmallAndLarge", withSize(1, 100, 5000), kNoEdit, kTooSmall, 5, kTooSmall, 5},
        {"OneByteShort", sampleRecipe(24), dropLast(1), kCannotRead, 6, kCannotRead, 6},
        {"RowsPastTheEnd", sampleRecipe(4), setField32(kOffBfOffBits, 1000), kCannotRead, 6, kCannotRead, 6},
        {"ShortAndTooSmall", withSize(8, 159, 160), dropLast(100), kTooSmall, 5, kTooSmall, 5},
        {"ShortAndTwoBits", sampleRecipe(8), both(setField16(kOffBitCount, 2), dropLast(1)), kIllegalColour, 3,
         kIllegalColour, 3},
    };
}

class BmpRefusal : public ::testing::TestWithParam<RefusalCase> {
protected:
    std::filesystem::path writeCase() {
        const RefusalCase& c = GetParam();
        std::vector<std::uint8_t> bytes = makeBmp(c.recipe);
        c.edit(bytes);
        const auto path = dir_ / "map.bmp";
        writeFile(path, bytes);
        return path;
    }
    TempDir dir_;
};

TEST_P(BmpRefusal, ClassBitmapOrderShowsOneMessageAndKeepsTheRow) {
    const RefusalCase& c = GetParam();
    const auto path = writeCase();
    MapProject project;
    RecordingFeedback feedback;
    EXPECT_EQ(static_cast<int>(checkClassBitmapHeaders(project, 0, path, feedback)), c.classCode);
    EXPECT_EQ(feedback.messages, std::vector<Message>{c.classMessage});
    EXPECT_EQ(project.classes[0].width, 0);
    EXPECT_EQ(project.classes[0].pixelDataOffset, 0u);
}

TEST_P(BmpRefusal, WorkRasterOrderShowsOneMessage) {
    const RefusalCase& c = GetParam();
    const auto path = writeCase();
    MapProject project;
    RecordingFeedback feedback;
    ControlUpdates updates;
    RasterRequest request;
    request.mode = ColourMode::Bpp8;
    request.source = path;
    request.raster = dir_ / kPreviewRasterName;
    EXPECT_EQ(static_cast<int>(convertToWorkRaster(project, request, feedback, updates)), c.rasterCode);
    EXPECT_EQ(feedback.messages, std::vector<Message>{c.rasterMessage});
    EXPECT_EQ(feedback.busyDepth, 0);
    // Only a file that is not a BMP takes the raster with it.
    EXPECT_EQ(fileExists(request.raster), c.rasterMessage != kNotBmp);
}

INSTANTIATE_TEST_SUITE_P(Bmp, BmpRefusal, ::testing::ValuesIn(refusalCases()),
                         [](const auto& info) { return info.param.name; });

TEST(BmpCheck, MissingFileIsReportedWithTheExclamationIconWhenChosen) {
    TempDir dir;
    MapProject project;
    RecordingFeedback feedback;
    EXPECT_EQ(checkClassBitmapHeaders(project, 0, dir / "absent.bmp", feedback), ClassBitmapResult::NotFound);
    EXPECT_EQ(feedback.messages, std::vector<Message>{kCannotFind});
    EXPECT_EQ(project.sourceBitDepth, 24);
}

TEST(BmpCheck, UnreadableFileCannotBeOpened) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop the superuser";
    TempDir dir;
    const auto path = dir / "locked.bmp";
    writeFile(path, makeBmp(sampleRecipe(8)));
    std::filesystem::permissions(path, std::filesystem::perms::none);
    MapProject project;
    RecordingFeedback feedback;
    EXPECT_EQ(checkClassBitmapHeaders(project, 0, path, feedback), ClassBitmapResult::CannotOpen);
    EXPECT_EQ(feedback.messages, std::vector<Message>{kCannotOpen});
}

TEST(BmpCheck, SourceDepthFollowsTheDepthCheckOfEachOrder) {
    struct Row {
        BmpRecipe recipe;
        Edit edit;
        int afterClassCheck;
        int afterRasterCheck;
    };
    const std::vector<Row> rows = {
        {sampleRecipe(8), setField32(kOffCompression, 1), 8, 99},   // compressed: depth read only when chosen
        {withSize(4, 159, 160), kNoEdit, 4, 99},                   // size refused before the raster's depth check
        {sampleRecipe(4), dropLast(1), 4, 4},                        // truncation comes after both
        {sampleRecipe(8), setField16(kOffBitCount, 16), 0, 0},       // refused depth
        {sampleRecipe(8), [](auto& b) { b[1] = 'A'; }, 99, 99},      // not a BMP: no depth at all
    };
    for (const Row& row : rows) {
        TempDir dir;
        std::vector<std::uint8_t> bytes = makeBmp(row.recipe);
        row.edit(bytes);
        writeFile(dir / "a.bmp", bytes);
        MapProject chosen;
        chosen.sourceBitDepth = 99;
        RecordingFeedback feedback;
        checkClassBitmapHeaders(chosen, 0, dir / "a.bmp", feedback);
        EXPECT_EQ(chosen.sourceBitDepth, row.afterClassCheck);

        MapProject converted;
        converted.sourceBitDepth = 99;
        ControlUpdates updates;
        RasterRequest request;
        request.source = dir / "a.bmp";
        request.raster = dir / "r.bmp";
        convertToWorkRaster(converted, request, feedback, updates);
        EXPECT_EQ(converted.sourceBitDepth, row.afterRasterCheck);
    }
}

TEST(BmpCheck, AcceptedFileFillsTheClassRow) {
    TempDir dir;
    BmpRecipe recipe = sampleRecipe(24, 4096, 160);
    recipe.infoHeaderSize = 124;
    recipe.extraGapBytes = 6;
    writeFile(dir / "a.bmp", makeBmp(recipe));
    MapProject project;
    RecordingFeedback feedback;
    ASSERT_EQ(checkClassBitmapHeaders(project, 2, dir / "a.bmp", feedback), ClassBitmapResult::Ok);
    EXPECT_TRUE(feedback.messages.empty());
    const MapClassEntry& row = project.classes[2];
    EXPECT_EQ(row.width, 4096);
    EXPECT_EQ(row.height, 160);
    EXPECT_EQ(row.pixelDataOffset, 14u + 124u + 6u);
    EXPECT_EQ(row.bitDepth, 24);
    EXPECT_EQ(project.sourceBitDepth, 24);
}

TEST(BmpCheck, LargestSizePasses) {
    TempDir dir;
    writeFile(dir / "a.bmp", makeBmp(sampleRecipe(1, 4096, 4096)));
    MapProject project;
    RecordingFeedback feedback;
    EXPECT_EQ(checkClassBitmapHeaders(project, 0, dir / "a.bmp", feedback), ClassBitmapResult::Ok);
    EXPECT_EQ(project.classes[0].width, 4096);
}

TEST(BmpCheck, PolarityComesFromTheFirstColourEntry) {
    struct Row {
        Rgb first;
        int expected;
    };
    for (const Row row : {Row{{255, 255, 255}, 1}, Row{{0, 255, 255}, 0}, Row{{1, 1, 1}, 1}, Row{{0, 0, 0}, 0},
                          Row{{200, 0, 200}, 0}}) {
        TempDir dir;
        BmpRecipe recipe = sampleRecipe(1);
        recipe.palette = {row.first, {9, 9, 9}};
        writeFile(dir / "a.bmp", makeBmp(recipe));
        MapProject project;
        project.classes[1].invertedPolarity = 7;
        RecordingFeedback feedback;
        ASSERT_EQ(checkClassBitmapHeaders(project, 1, dir / "a.bmp", feedback), ClassBitmapResult::Ok);
        EXPECT_EQ(project.classes[1].invertedPolarity, row.expected);
        EXPECT_EQ(project.classes[1].bitDepth, 1);
    }
}

TEST(BmpCheck, MoreThan256ColoursAreAccepted) {
    TempDir dir;
    BmpRecipe recipe = sampleRecipe(8);
    recipe.palette = greyPalette(256);
    recipe.palette.resize(300, Rgb{1, 2, 3});
    recipe.clrUsed = 300;
    writeFile(dir / "a.bmp", makeBmp(recipe));
    MapProject project;
    RecordingFeedback feedback;
    EXPECT_EQ(checkClassBitmapHeaders(project, 0, dir / "a.bmp", feedback), ClassBitmapResult::Ok);

    FilePtr f = openFile(dir / "a.bmp", "rb");
    BmpFileInfo info;
    ASSERT_TRUE(readBmpFileInfo(f.get(), info));
    ColourTable table;
    ASSERT_TRUE(readColourTable(f.get(), info.headers, table));
    EXPECT_EQ(table.count, 256);
    EXPECT_EQ(table.rgb(255), (Rgb{255, 255, 255}));
    EXPECT_EQ(table.rgb(256), (Rgb{0, 0, 0}));
}

TEST(BmpHeadersParse, FieldsAreLittleEndian) {
    BmpRecipe recipe = sampleRecipe(8, 300, 200);
    recipe.clrUsed = 256;
    const std::vector<std::uint8_t> bytes = makeBmp(recipe);
    BmpHeaders h;
    ASSERT_TRUE(parseBmpHeaders(bytes, h));
    EXPECT_EQ(h.bfType, 0x4D42);
    EXPECT_EQ(h.bfSize, bytes.size());
    EXPECT_EQ(h.bfOffBits, 54u + 1024u);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 300);
    EXPECT_EQ(h.biHeight, 200);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biClrUsed, 256u);
    EXPECT_EQ(h.biXPelsPerMeter, 2835);
    EXPECT_FALSE(parseBmpHeaders(std::span<const std::uint8_t>(bytes.data(), 53), h));
}

struct ReaderCase {
    std::uint16_t depth;
    std::int32_t width;
    std::uint32_t infoHeaderSize;
    std::uint32_t gap;
};

class BmpPixelReader : public ::testing::TestWithParam<ReaderCase> {};

// Brightness of picture pixel (x, y from the top) as the reader must give it.
double expectedBrightness(const BmpRecipe& recipe, int x, int y) {
    const std::uint32_t v = recipe.pixel(x, y);
    if (recipe.bitCount == 1) return (v & 1) ? 0.0 : 255.0;
    Rgb c{};
    if (recipe.bitCount == 24) c = {std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
    else if (v < recipe.palette.size()) c = recipe.palette[v];
    const int s = std::min(31 * c[0] + 59 * c[1] + 11 * c[2], 25500);
    return s * 0.01;
}

TEST_P(BmpPixelReader, GivesOneBrightnessPerPixelBottomRowFirst) {
    const ReaderCase c = GetParam();
    TempDir dir;
    BmpRecipe recipe = sampleRecipe(c.depth, c.width, 161);
    recipe.infoHeaderSize = c.infoHeaderSize;
    recipe.extraGapBytes = c.gap;
    recipe.paddingFill = 0xFF;  // padding must never be taken for pixels
    if (c.depth == 4) {
        recipe.palette.resize(10);  // indices 10..15 have no entry: black
        recipe.clrUsed = 10;
    }
    writeFile(dir / "a.bmp", makeBmp(recipe));

    FilePtr f = openFile(dir / "a.bmp", "rb");
    BmpFileInfo info;
    ASSERT_TRUE(readBmpFileInfo(f.get(), info));
    ColourTable table;
    ASSERT_TRUE(readColourTable(f.get(), info.headers, table));
    RecordingFeedback feedback;
    dmatrix m;
    allocdmatrix(m, recipe.height, recipe.width, feedback);
    ASSERT_TRUE(readPixelRows(f.get(), info.headers, table, m));
    EXPECT_EQ(m.usedrnum, recipe.height);
    EXPECT_EQ(m.usedcnum, recipe.width);
    for (int r = 0; r < recipe.height; ++r)
        for (int x = 0; x < recipe.width; ++x)
            ASSERT_EQ(m.at(r, x), expectedBrightness(recipe, x, recipe.height - 1 - r)) << "row " << r << " x " << x;
}

INSTANTIATE_TEST_SUITE_P(Bmp, BmpPixelReader,
                         ::testing::Values(ReaderCase{24, 161, 40, 0}, ReaderCase{24, 162, 40, 0},
                                           ReaderCase{24, 164, 40, 0}, ReaderCase{24, 163, 108, 0},
                                           ReaderCase{8, 161, 124, 3}, ReaderCase{4, 161, 40, 0},
                                           ReaderCase{4, 170, 108, 8}, ReaderCase{1, 161, 40, 0},
                                           ReaderCase{1, 200, 124, 2}));

TEST(BmpPixelReader, TwentyFourBitWhiteReachesTheLimit) {
    // 255 x 101 = 25755 is limited to 25500 before scaling.
    EXPECT_EQ(brightnessOf(limitedGreySum(255, 255, 255)), 255.0);
    EXPECT_EQ(brightnessOf(limitedGreySum(128, 128, 128)), 12928 * 0.01);
}

TEST(BmpPixelReader, ShortFileIsReportedNotRead) {
    TempDir dir;
    std::vector<std::uint8_t> bytes = makeBmp(sampleRecipe(24));
    bytes.resize(bytes.size() - 5);
    writeFile(dir / "a.bmp", bytes);
    FilePtr f = openFile(dir / "a.bmp", "rb");
    BmpFileInfo info;
    ASSERT_TRUE(readBmpFileInfo(f.get(), info));
    RecordingFeedback feedback;
    dmatrix m;
    allocdmatrix(m, 160, 160, feedback);
    EXPECT_FALSE(readPixelRows(f.get(), info.headers, ColourTable{}, m));
}

}  // namespace
}  // namespace plotvane
