#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "database/database_writer.h"
#include "database/make_database.h"
#include "database/map_database.h"
#include "project/files.h"
#include "raster/record_division.h"
#include "support/bmp_writer.h"
#include "support/database_fixtures.h"
#include "support/expected_bytes.h"
#include "support/expected_database.h"
#include "support/layout_parser.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane {
namespace {

using test::ParsedMapDatabase;
using test::parseMapDatabase;

using test::Bytes;
using test::putBe16;
using test::putBe32;
using test::putText;
using test::putZeros;
using test::putListEntry;

std::uint32_t le32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

constexpr std::int64_t kSpring2024 = 1715000000;

bool harbour(int x, int y) { return ((x / 3) ^ (y / 5)) % 7 < 3 || x == y; }

// Bit `bit` of a stored BMP row taken from the file as it lies on disk,
// with zero bytes past the row's end.
int storedBit(const Bytes& file, std::size_t rowStart, std::size_t stride, std::size_t bit) {
    if (bit / 8 >= stride) return 0;
    return (file[rowStart + bit / 8] >> (7 - bit % 8)) & 1;
}

struct ClassFile {
    Bytes bytes;
    int width = 0;
    int height = 0;
};

// The pixel rows of tile (r, c) of a 1-bit class with a black-first table:
// every output bit is the inverted stored bit of source pixel c x w + x,
// also past the tile's edge (padding bits and the zero bytes after a row).
Bytes originalModeTile(const ClassFile& cls, int columns, int rows, int r, int c) {
    const std::size_t offset = le32(cls.bytes, 10);
    const std::size_t stride = (static_cast<std::size_t>(cls.width) + 31) / 32 * 4;
    const int w = cls.width / columns;
    const int h = cls.height / rows;
    const std::size_t rowBytes = (static_cast<std::size_t>(w) + 15) / 16 * 2;
    Bytes out;
    for (int y = r * h; y < (r + 1) * h; ++y) {
        const std::size_t rowStart = offset + static_cast<std::size_t>(cls.height - 1 - y) * stride;
        for (std::size_t byte = 0; byte < rowBytes; ++byte) {
            std::uint8_t v = 0;
            for (std::size_t k = 0; k < 8; ++k) {
                const std::size_t bit = static_cast<std::size_t>(c) * static_cast<std::size_t>(w) + byte * 8 + k;
                v = static_cast<std::uint8_t>((v << 1) | (1 - storedBit(cls.bytes, rowStart, stride, bit)));
            }
            out.push_back(v);
        }
    }
    return out;
}

class WriterEndToEnd : public ::testing::Test {
protected:
    ClassFile chooseClass(int classIndex, int width, int height) {
        test::BmpRecipe recipe;
        recipe.width = width;
        recipe.height = height;
        recipe.bitCount = 1;
        recipe.palette = test::blackWhitePalette();
        recipe.paddingFill = 0xA5;
        recipe.pixel = [](int x, int y) { return harbour(x, y) ? 0u : 1u; };
        const auto path = dir / ("class" + std::to_string(classIndex + 1) + ".bmp");
        ClassFile cls{test::makeBmp(recipe), width, height};
        test::writeFile(path, cls.bytes);
        test::RecordingFeedback checks;
        ControlUpdates u;
        EXPECT_EQ(checkClassBitmap(project, path, classIndex, false, checks, u), ClassBitmapResult::Ok);
        project.classes[static_cast<std::size_t>(classIndex)].fileName.assign(path.string());
        project.classCount = classIndex + 1;
        return cls;
    }

    test::TempDir dir;
    MapProject project;
    test::RecordingFeedback feedback;
    ControlUpdates updates;
};

// Two classes of several tiles each, two texts and corner coordinates:
// the whole file against bytes built here from the layout rules alone.
TEST_F(WriterEndToEnd, TwoClassesWithTextsAndCornersAreByteExact) {
    project.colourMode = ColourMode::Original;
    const ClassFile top = chooseClass(0, 810, 640);
    const ClassFile lower = chooseClass(1, 1620, 1280);
    ASSERT_EQ(project.classes[0].recordColumns, 5);
    ASSERT_EQ(project.classes[0].recordRows, 1);
    ASSERT_EQ(project.classes[1].recordColumns, 10);
    ASSERT_EQ(project.classes[1].recordRows, 2);

    project.databaseName.assign("Bay (North)");
    project.versionText.assign("020250");
    std::copy_n("Ab3dEf7h", 8, project.access.encodedPassword.begin());
    project.gpsEnabled = 1;
    project.geo.upperLeftLatTotal = 128412500;
    project.geo.upperLeftLongTotal = 503100000;
    project.geo.bottomRightLatTotal = 127800000;
    project.geo.bottomRightLongTotal = 504000000;
    project.setInfoText(0, {"Lighthouse", 10, 20, 19, 29});
    project.setInfoText(1, {"Pier \xE9", 100, 200, 109, 209});
    project.infoTextCount = 2;

    const auto output = dir / "bay.pdb";
    test::FixedClock clock(kSpring2024);
    const WriteRequest request{output, 2, ColourMode::Original, false, false, false, dir.path()};
    ASSERT_EQ(writeMapDatabase(project, request, clock, feedback, updates), WriteResult::Ok);
    EXPECT_TRUE(feedback.messages.empty());

    test::ExpectedDatabase m;
    m.name = "Bay (North)";
    m.password = "Ab3dEf7h";
    m.version = "020250";
    m.stamp = static_cast<std::uint32_t>(kSpring2024 + 2082877200LL);
    m.mode = 0;
    m.classes = {{810, 640, 5, 1}, {1620, 1280, 10, 2}};
    m.texts = {{10, 20, 19, 29, "Lighthouse"}, {100, 200, 109, 209, "Pier \xE9"}};
    m.corners = test::ExpectedCorners{128412500, 503100000, 127800000, 504000000};
    m.tileRows = [&](std::size_t k, int c, int r) {
        const ClassFile& cls = k == 0 ? top : lower;
        const test::ExpectedClass& grid = m.classes[k];
        return originalModeTile(cls, grid.columns, grid.rows, r, c);
    };
    const Bytes b = test::expectedDatabase(m);

    const Bytes written = test::readFile(output);
    ASSERT_EQ(written.size(), b.size());
    const auto mismatch = std::mismatch(written.begin(), written.end(), b.begin());
    EXPECT_TRUE(mismatch.first == written.end())
        << "first difference at byte " << (mismatch.first - written.begin());
    EXPECT_FALSE(fileExists(dir / kDatabaseRasterName));

    ParsedMapDatabase parsed;
    EXPECT_EQ(parseMapDatabase(written, parsed), test::LayoutResult::Parsed);
    EXPECT_EQ(parsed.dataRecords.size(), 25u);
}

// ---- First look at a damaged file ----------------------------------------

// A database of one tile whose record 0 announces a text record.
Bytes smallDatabase() {
    Bytes b;
    putText(b, "Harbour", 32);
    putZeros(b, 28);
    putText(b, "DataOrbl", 8);
    putZeros(b, 8);
    putBe16(b, 3);
    putListEntry(b, 104);
    putListEntry(b, 184);
    putListEntry(b, 200 + 64 * 10);
    putZeros(b, 2);
    putText(b, "Harbour", 16);
    putText(b, "Q1w2E3r4", 8);
    putText(b, "012345", 6);
    b.insert(b.end(), {1, 0});
    putZeros(b, 20);
    putBe16(b, 160);
    putBe16(b, 160);
    b.insert(b.end(), {1, 2, 1, 2, 1, 0, 0, 0});
    b.insert(b.end(), {2, 0, 1, 1, 0, 0, 0, 0, 0, 160, 0, 160, 0, 0, 0, 0});
    putText(b, "if", 2);
    putBe16(b, 0);
    b.insert(b.end(), {0, 10, 0, 1});
    putZeros(b, 8 + 64 * 10);
    b.insert(b.end(), {0, 160, 0, 160, 0, 20, 0, 0, 1, 2, 0, 0, 0, 0, 0, 0});
    putZeros(b, 160 * 20);
    return b;
}

struct HeaderCase {
    const char* name;
    std::function<void(Bytes&)> change;
    int result;
    std::vector<Message> messages;
};

class HeaderReadOrder : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderReadOrder, ChecksInOrder) {
    test::TempDir dir;
    Bytes db = smallDatabase();
    {
        ParsedMapDatabase parsed;
        ASSERT_EQ(parseMapDatabase(db, parsed), test::LayoutResult::Parsed);
    }
    GetParam().change(db);
    test::writeFile(dir / "map.pdb", db);
    MapProject project;
    test::RecordingFeedback feedback;
    EXPECT_EQ(static_cast<int>(readDatabaseHeader(dir / "map.pdb", project, feedback)), GetParam().result);
    EXPECT_EQ(feedback.messages, GetParam().messages);
    EXPECT_EQ(feedback.busyDepth, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HeaderReadOrder,
    ::testing::Values(
        HeaderCase{"sound", [](Bytes&) {}, 0, {}},
        // The identity is judged before the record list is read.
        HeaderCase{"identityBeforeShortList",
                   [](Bytes& b) {
                       b.resize(70);
                       b[60] = 'd';
                   },
                   2, {error("Not Orbilune data!")}},
        HeaderCase{"creatorCase", [](Bytes& b) { b[67] = 'L'; }, 2, {error("Not Orbilune data!")}},
        HeaderCase{"recordZeroShort", [](Bytes& b) { b.resize(104 + 63); }, 2, {error("PDB file data")}},
        // Byte 30 clear: the text header is never read, whatever it holds.
        HeaderCase{"noTextAnnounced",
                   [](Bytes& b) {
                       b[104 + 30] = 0;
                       b[184] = 'x';
                   },
                   0, {}},
        HeaderCase{"tagCase", [](Bytes& b) { b[185] = 'F'; }, 2, {error("information header")}},
        HeaderCase{"textHeaderShort",
                   [](Bytes& b) {
                       b[86] = 0x7F;
                   },
                   2, {error("PDB file data")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HeaderReadBinding, TakesTheTextCountFromTheTextHeader) {
    test::TempDir dir;
    Bytes db = smallDatabase();
    db[184 + 2] = 0x01;
    db[184 + 3] = 0x07;
    test::writeFile(dir / "map.pdb", db);
    MapProject project;
    test::RecordingFeedback feedback;
    ASSERT_EQ(readDatabaseHeader(dir / "map.pdb", project, feedback), DatabaseCheck::Ok);
    EXPECT_EQ(project.access.loadedBinding, (std::array<std::uint8_t, 7>{1, 0, 7, '1', 0, 160, 'H'}));
    EXPECT_EQ(project.access.loadedPassword, (std::array<char, 10>{'Q', '1', 'w', '2', 'E', '3', 'r', '4', 0, 0}));
}

}  // namespace
}  // namespace plotvane

namespace plotvane {
namespace {

// The longest names a folder takes are still written: the new file made
// beside the output before the rename must fit the same limit.
TEST_F(WriterEndToEnd, OutputNameOfTheLongestLengthIsWritten) {
    project.colourMode = ColourMode::Original;
    chooseClass(0, 160, 160);
    project.databaseName.assign("Long");
    project.versionText.assign("012345");
    const auto output = dir / (std::string(251, 'm') + ".pdb");
    test::FixedClock clock(kSpring2024);
    EXPECT_TRUE(saveMapDatabase(project, output, SaveOptions{false, false, dir.path()}, clock, feedback, updates));
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ(test::readFile(output).size(), 176u + 16u + 160u * 20u);
    EXPECT_EQ(test::folderEntries(dir.path()), (std::vector<std::string>{"class1.bmp", output.filename().string()}));
}

// ---- Top-down class bitmaps --------------------------------------------

struct TwinCase {
    const char* name;
    std::uint16_t depth;
    ColourMode mode;
    bool compress;
    bool dither;
};

class TopDownDatabase : public ::testing::TestWithParam<TwinCase> {};

// The database of a top-down class bitmap equals that of its bottom-up
// twin, byte for byte: the Original mode reads the class rows as stored,
// the other modes read the working raster.
TEST_P(TopDownDatabase, EqualsTheBottomUpTwins) {
    const TwinCase c = GetParam();
    auto databaseOf = [&](bool topDown) {
        test::TempDir dir;
        test::BmpRecipe recipe;
        recipe.width = 650;
        recipe.height = topDown ? -330 : 330;
        recipe.bitCount = c.depth;
        recipe.palette = c.depth == 1 ? test::blackWhitePalette() : c.depth == 24 ? std::vector<Rgb>{}
                                                                                   : test::greyPalette(1 << c.depth);
        recipe.pixel = [&](int x, int y) -> std::uint32_t {
            if (c.depth == 1) return harbour(x, y) ? 0u : 1u;
            if (c.depth == 24) return static_cast<std::uint32_t>((x / 40) * 0x201008 + (y / 30) * 0x081020) & 0xFFFFFFu;
            return static_cast<std::uint32_t>(x + 3 * y) % (1u << c.depth);
        };
        const auto path = dir / "class1.bmp";
        test::writeFile(path, test::makeBmp(recipe));
        MapProject project;
        project.colourMode = c.mode;
        project.databaseName.assign("Twin");
        project.versionText.assign("000001");
        test::RecordingFeedback feedback;
        ControlUpdates updates;
        EXPECT_EQ(checkClassBitmap(project, path, 0, c.compress, feedback, updates), ClassBitmapResult::Ok);
        project.classes[0].fileName.assign(path.string());
        project.classCount = 1;
        test::FixedClock clock(kSpring2024);
        const WriteRequest request{dir / "twin.pdb", 1, c.mode, c.compress, c.dither, c.compress, dir.path()};
        EXPECT_EQ(writeMapDatabase(project, request, clock, feedback, updates), WriteResult::Ok)
            << ::testing::PrintToString(feedback.messages);
        return test::readFile(dir / "twin.pdb");
    };
    const Bytes bottomUp = databaseOf(false);
    ASSERT_GT(bottomUp.size(), 1000u);
    EXPECT_TRUE(databaseOf(true) == bottomUp);
}

INSTANTIATE_TEST_SUITE_P(
    Twins, TopDownDatabase,
    ::testing::Values(TwinCase{"original", 1, ColourMode::Original, false, false}, TwinCase{"oneBitMode1", 1, ColourMode::Bpp1, true, false},
                      TwinCase{"fourBitMode2", 4, ColourMode::Bpp2, false, true}, TwinCase{"eightBitMode8", 8, ColourMode::Bpp8, true, false},
                      TwinCase{"colourMode4", 24, ColourMode::Bpp4, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace plotvane
