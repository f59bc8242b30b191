#include "database/database_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "access/password_codec.h"
#include "database/make_database.h"
#include "database/map_description.h"
#include "database/record_compression.h"
#include "project/byte_order.h"
#include "project/files.h"
#include "raster/record_division.h"
#include "raster/work_raster.h"
#include "support/bmp_writer.h"
#include "support/database_fixtures.h"
#include "support/expected_bytes.h"
#include "support/layout_parser.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane {
namespace {

using test::DataRecordInfo;
using test::ParsedMapDatabase;
using test::parseMapDatabase;

using test::Bytes;
using PixelValue = std::function<unsigned(int classIndex, int x, int y)>;

unsigned pixelBits(ColourMode mode) { return mode == ColourMode::Original ? 1 : colourModeByte(mode); }

// Pixel (x, y), y from the top, of a BMP held in memory, at its own depth.
unsigned bmpPixel(const Bytes& bmp, int x, int y) {
    const std::uint32_t offset = readLe32(bmp.data() + 10);
    const auto width = static_cast<std::int32_t>(readLe32(bmp.data() + 18));
    const auto height = static_cast<std::int32_t>(readLe32(bmp.data() + 22));
    const unsigned depth = readLe16(bmp.data() + 28);
    const std::size_t stride = (static_cast<std::size_t>(width) * depth + 31) / 32 * 4;
    const std::size_t bit = static_cast<std::size_t>(x) * depth;
    const std::uint8_t byte = bmp.at(offset + static_cast<std::size_t>(height - 1 - y) * stride + bit / 8);
    return (byte >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

unsigned packedPixel(const std::uint8_t* rows, std::size_t rowBytes, unsigned bits, int x, int y) {
    const std::size_t bit = static_cast<std::size_t>(x) * bits;
    const std::uint8_t byte = rows[static_cast<std::size_t>(y) * rowBytes + bit / 8];
    return (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
}

void setClassRow(MapProject& p, int k, int width, int height, int columns, int rows, int magnification = 1) {
    MapClassEntry& c = p.classes[static_cast<std::size_t>(k)];
    c.width = static_cast<std::uint16_t>(width);
    c.height = static_cast<std::uint16_t>(height);
    c.recordColumns = static_cast<std::uint16_t>(columns);
    c.recordRows = static_cast<std::uint16_t>(rows);
    c.magnification = static_cast<std::uint16_t>(magnification);
    p.classCount = std::max(p.classCount, k + 1);
}

// The data of every record of the project's grids, pixel (x, y) of class
// k being `value(k, x, y)`; the padding bits of each row are `padding`.
std::vector<Bytes> tileData(const MapProject& p, ColourMode mode, bool compressed, const PixelValue& value,
                            std::uint8_t padding = 0) {
    const unsigned bits = pixelBits(mode);
    std::vector<Bytes> data;
    for (int k = 0; k < p.classCount; ++k) {
        const MapClassEntry& c = p.classes[static_cast<std::size_t>(k)];
        const int w = c.width / c.recordColumns;
        const int h = c.height / c.recordRows;
        const std::size_t rowBytes = tileRowBytes(mode, static_cast<std::uint32_t>(w));
        for (int r = 0; r < c.recordRows; ++r) {
            for (int col = 0; col < c.recordColumns; ++col) {
                Bytes tile;
                for (int y = 0; y < h; ++y) {
                    Bytes row(rowBytes, padding);
                    for (int x = 0; x < w; ++x) {
                        const std::size_t bit = static_cast<std::size_t>(x) * bits;
                        const unsigned shift = 8 - bits - bit % 8;
                        std::uint8_t& b = row[bit / 8];
                        b = static_cast<std::uint8_t>((b & ~(((1u << bits) - 1) << shift)) |
                                                      ((value(k, col * w + x, r * h + y) & ((1u << bits) - 1)) << shift));
                    }
                    const Bytes stored = compressed ? test::runLengthCode(row) : row;
                    tile.insert(tile.end(), stored.begin(), stored.end());
                }
                data.push_back(tile);
            }
        }
    }
    return data;
}

MapProject namedProject() {
    MapProject p;
    p.databaseName.assign("HAND MADE");
    p.versionText.assign("054321");
    return p;
}

// The RestoreFile the layout gives a 1-bit class whose width is a
// multiple of 8: every byte is decided.
Bytes expectedOneBitRestore(int width, int height, const std::function<unsigned(int x, int y)>& pixel) {
    const std::size_t stride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
    Bytes b{'B', 'M'};
    const auto le32 = [&b](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    le32(static_cast<std::uint32_t>(62 + stride * static_cast<std::size_t>(height)));
    le32(0);
    le32(62);
    le32(40);
    le32(static_cast<std::uint32_t>(width));
    le32(static_cast<std::uint32_t>(height));
    b.insert(b.end(), {1, 0, 1, 0});
    le32(0);
    le32(0);
    le32(2834);
    le32(2834);
    le32(0);
    le32(0);
    b.insert(b.end(), {255, 255, 255, 0, 0, 0, 0, 0});
    for (int y = height - 1; y >= 0; --y) {
        Bytes row(stride, 0);
        for (int x = 0; x < width; ++x)
            row[static_cast<std::size_t>(x) / 8] |= static_cast<std::uint8_t>(pixel(x, y) << (7 - x % 8));
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

unsigned harbour(int k, int x, int y) { return static_cast<unsigned>(((x / 3) ^ (y / 5) ^ k) % 7 < 3 || x == y); }

// ---- The layout's own cases ------------------------------------------------

struct ExactCase {
    const char* name;
    ColourMode mode;
    int width;
    int columns;
};

class RestoreExact : public ::testing::TestWithParam<ExactCase> {};

// One 200 x 160 tile gives rows of 25 bytes and 3 zero bytes, the tile's
// last row first and its padding byte left out; two tiles of 100 pixels
// (row bytes 14) join in the middle of byte 12, the second one shifted by
// four bits.
TEST_P(RestoreExact, WritesTheLayoutByteForByte) {
    const ExactCase& c = GetParam();
    MapProject p = namedProject();
    setClassRow(p, 0, c.width, 160, c.columns, 1);
    const Bytes db = test::layOutDatabase(p, c.mode, false, tileData(p, c.mode, false, harbour, 0xA5));

    MapProject loaded;
    RestoreMemory out;
    test::RecordingFeedback feedback;
    ASSERT_EQ(restoreDatabaseBytes(db, loaded, out, feedback), RestoreResult::Ok);
    EXPECT_TRUE(feedback.messages.empty());
    ASSERT_EQ(out.files.size(), 1u);
    const Bytes expected = expectedOneBitRestore(c.width, 160, [](int x, int y) { return harbour(0, x, y); });
    EXPECT_EQ(out.files[0].size(), c.width == 200 ? 4542u : expected.size());
    EXPECT_EQ(out.files[0], expected);
}

INSTANTIATE_TEST_SUITE_P(Layout, RestoreExact,
                         ::testing::Values(ExactCase{"oneTile200Original", ColourMode::Original, 200, 1},
                                           ExactCase{"twoTilesOf100Mode1", ColourMode::Bpp1, 200, 2},
                                           ExactCase{"threeTilesOf168Mode1", ColourMode::Bpp1, 504, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ClassRow {
    int width, height, columns, rows, magnification;
};

struct LayoutCase {
    const char* name;
    std::vector<ClassRow> classes;
    ColourMode mode;
    bool compressed;
    bool texts;
};

class RestoreLayout : public ::testing::TestWithParam<LayoutCase> {};

// Whatever the grids, the rows describe the classes and the RestoreFiles
// written, and every pixel is the tile's.
TEST_P(RestoreLayout, RestoresEveryClassWhole) {
    const LayoutCase& c = GetParam();
    MapProject p = namedProject();
    for (std::size_t k = 0; k < c.classes.size(); ++k) {
        const ClassRow& r = c.classes[k];
        setClassRow(p, static_cast<int>(k), r.width, r.height, r.columns, r.rows, r.magnification);
    }
    if (c.texts) {
        p.setInfoText(0, {"buoy", 1, 1, 10, 10});
        p.infoTextCount = 1;
    }
    const Bytes db = test::layOutDatabase(p, c.mode, c.compressed, tileData(p, c.mode, c.compressed, harbour));

    test::TempDir dir;
    MapProject loaded;
    RestoreFolder out(dir.path());
    test::RecordingFeedback feedback;
    ASSERT_EQ(restoreDatabaseBytes(db, loaded, out, feedback), RestoreResult::Ok);
    EXPECT_TRUE(feedback.messages.empty());
    ASSERT_EQ(loaded.classCount, p.classCount);
    for (int k = 0; k < kClassSlots; ++k) {
        const MapClassEntry& want = p.classes[static_cast<std::size_t>(k)];
        const MapClassEntry& got = loaded.classes[static_cast<std::size_t>(k)];
        EXPECT_EQ(std::tie(got.width, got.height, got.magnification, got.recordColumns, got.recordRows),
                  std::tie(want.width, want.height, want.magnification, want.recordColumns, want.recordRows))
            << "class " << k + 1;
        if (k >= p.classCount) {
            EXPECT_TRUE(got.fileName.empty());
            continue;
        }
        EXPECT_EQ(got.fileName.str(), (dir / kRestoreFileNames[k]).string());
        EXPECT_EQ(std::tie(got.pixelDataOffset, got.bitDepth, got.invertedPolarity),
                  std::make_tuple(std::uint32_t{62}, std::uint8_t{1}, std::uint8_t{1}));
        const Bytes file = test::readFile(got.fileName.str());
        int wrong = 0;
        for (int y = 0; y < want.height; ++y)
            for (int x = 0; x < want.width; ++x) wrong += bmpPixel(file, x, y) != harbour(k, x, y);
        EXPECT_EQ(wrong, 0) << "class " << k + 1;
    }
}

// With three classes where Class 1 has several tiles, the directory pass
// still takes only the first Class 1 tile and then the top-left tile of
// each class below. 200 data records after a text record take record
// indices up to 201.
INSTANTIATE_TEST_SUITE_P(
    Grids, RestoreLayout,
    ::testing::Values(LayoutCase{"threeClassesOfSeveralTiles",
                                 {{320, 320, 2, 2, 1}, {640, 640, 4, 4, 2}, {2560, 2560, 8, 8, 4}}, ColourMode::Bpp1, true, false},
                      LayoutCase{"twoHundredRecords", {{3200, 1600, 20, 10, 1}}, ColourMode::Original, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Colour tables ---------------------------------------------------------

// Every value a tile can store comes back when its RestoreFile is
// converted again in the same mode without dithering, except the mode-8
// values that no colour is ever converted to.
TEST(RestoreColours, EveryStoredValueSurvivesTheConversionBack) {
    for (const ColourMode mode : kColourModes) {
        SCOPED_TRACE("mode " + std::to_string(colourModeByte(mode)));
        const unsigned values = mode == ColourMode::Bpp8 ? 256 : 1u << pixelBits(mode);
        const PixelValue value = [values](int, int x, int y) { return static_cast<unsigned>(x + 3 * y) % values; };
        MapProject p = namedProject();
        setClassRow(p, 0, 256, 160, 1, 1);
        const Bytes db = test::layOutDatabase(p, mode, false, tileData(p, mode, false, value));

        test::TempDir dir;
        MapProject loaded;
        RestoreFolder out(dir.path());
        test::RecordingFeedback feedback;
        ASSERT_EQ(restoreDatabaseBytes(db, loaded, out, feedback), RestoreResult::Ok);
        const MapClassEntry& row = loaded.classes[0];
        EXPECT_EQ(row.bitDepth, restoreBitDepth(mode));
        EXPECT_EQ(row.pixelDataOffset, mode == ColourMode::Bpp8 ? 1078u : pixelBits(mode) >= 2 ? 118u : 62u);

        // The source rows the compression pass would pack for this class.
        Bytes source = test::readFile(row.fileName.str());
        std::uint32_t offset = row.pixelDataOffset;
        if (mode != ColourMode::Original) {
            ControlUpdates updates;
            RasterRequest request{0, mode, row.fileName.str(), dir / kPreviewRasterName, false, false};
            ASSERT_EQ(convertToWorkRaster(loaded, request, feedback, updates), RasterResult::Ok);
            source = test::readFile(request.raster);
            offset = rasterPixelOffset(mode);
        }
        ASSERT_TRUE(feedback.messages.empty());
        const std::uint32_t stride = rasterRowBytes(256, mode);
        Bytes packed(tileRowBytes(mode, 256));
        std::set<unsigned> lost;
        for (int y = 0; y < 160; ++y) {
            Bytes sourceRow(source.begin() + offset + (159 - y) * stride, source.begin() + offset + (160 - y) * stride);
            sourceRow.resize(sourceRow.size() + 8, 0);
            packTileRow(mode, sourceRow, 0, row.invertedPolarity == 1, packed);
            for (int x = 0; x < 256; ++x) {
                const unsigned got = packedPixel(packed.data(), packed.size(), pixelBits(mode), x, 0);
                if (got == value(0, x, y)) continue;
                lost.insert(value(0, x, y));
                // Silver is read as the light grey of the cube, the indices
                // past the table as black.
                EXPECT_EQ(got, value(0, x, y) == 225 ? 25u : 230u) << "value " << value(0, x, y);
            }
        }
        std::set<unsigned> unreachable;
        if (mode == ColourMode::Bpp8) {
            unreachable.insert(225);
            for (unsigned v = 231; v < 256; ++v) unreachable.insert(v);
        }
        EXPECT_EQ(lost, unreachable);
    }
}

TEST(RestoreColours, ShownColoursMoveOnlyWhereTheConversionWouldMisreadThem) {
    const auto grey = [](int g) { return Rgb{static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(g)}; };
    EXPECT_EQ(restoreColourTable(ColourMode::Original), (std::vector<Rgb>{grey(255), grey(0)}));
    EXPECT_EQ(restoreColourTable(ColourMode::Bpp2), (std::vector<Rgb>{grey(255), grey(171), grey(86), grey(0)}));
    std::vector<Rgb> sixteen;
    for (int v = 0; v < 16; ++v) sixteen.push_back(grey(255 - 17 * v));
    sixteen[1] = grey(237);  // 238 would be read as white
    EXPECT_EQ(restoreColourTable(ColourMode::Bpp4), sixteen);
    const std::vector<Rgb> eight = restoreColourTable(ColourMode::Bpp8);
    ASSERT_EQ(eight.size(), 256u);
    for (std::size_t v = 0; v < 231; ++v)
        EXPECT_EQ(eight[v], v == 224 ? grey(237) : systemPaletteTable()[v]) << "entry " << v;
    for (std::size_t v = 231; v < 256; ++v) EXPECT_EQ(eight[v], grey(0)) << "entry " << v;
    EXPECT_TRUE(restoreColourTable(colourModeOfByte(3)).empty());
}

// ---- Round trips through the writer ------------------------------------

struct RoundTripCase {
    const char* name;
    ColourMode mode;
    bool compress;
    bool dither;
    const char* password;  // empty: Non Password + Read Only
    AccessMode access;
    bool texts;
    bool corners;
};

class RestoreRoundTrip : public ::testing::TestWithParam<RoundTripCase> {
protected:
    // Two classes of 320 and 640 pixels square: 1-bit for the original
    // mode, else a 24-bit picture of many colours and greys.
    void chooseClasses(ColourMode mode) {
        for (int k = 0; k < 2; ++k) {
            const int size = 320 << k;
            test::BmpRecipe recipe;
            recipe.width = recipe.height = size;
            if (mode == ColourMode::Original) {
                recipe.bitCount = 1;
                recipe.palette = test::blackWhitePalette();
                recipe.pixel = [k](int x, int y) { return harbour(k, x, y); };
            } else {
                recipe.pixel = [k](int x, int y) {
                    const auto v = static_cast<std::uint32_t>((x / (4 << k)) * 37 + (y / (4 << k)) * 91);
                    return (v % 3 == 0) ? (v % 256) * 0x010101u : (v * 2654435761u) & 0xFFFFFFu;
                };
            }
            const auto path = dir / ("class" + std::to_string(k + 1) + ".bmp");
            test::writeFile(path, test::makeBmp(recipe));
            ControlUpdates updates;
            ASSERT_EQ(checkClassBitmap(project, path, k, GetParam().compress, feedback, updates), ClassBitmapResult::Ok);
            project.classes[static_cast<std::size_t>(k)].fileName.assign(path.string());
            project.classCount = k + 1;
        }
    }

    test::TempDir dir;
    MapProject project;
    test::RecordingFeedback feedback;
};

// The tiles of a database: record data decoded, in record order.
std::vector<Bytes> decodedTiles(const Bytes& db, ParsedMapDatabase& parsed) {
    EXPECT_EQ(parseMapDatabase(db, parsed), test::LayoutResult::Parsed);
    std::vector<Bytes> tiles;
    for (const DataRecordInfo& r : parsed.dataRecords) {
        const std::size_t size = std::size_t{r.header.height} * r.header.rowBytes;
        Bytes t;
        if (r.sizeWord) {
            const std::span<const std::uint8_t> code(db.data() + r.dataOffset, *r.sizeWord - 2u);
            EXPECT_EQ(decodeRunLength(code, r.header.rowBytes, r.header.height, t), DecodeResult::Ok);
        } else {
            t.assign(db.begin() + r.dataOffset, db.begin() + r.dataOffset + static_cast<std::ptrdiff_t>(size));
        }
        tiles.push_back(t);
    }
    return tiles;
}

// Calls `each(k, x, y, tileValue)` for every pixel of every class.
void forEachTilePixel(const MapProject& p, const std::vector<Bytes>& tiles, ColourMode mode,
                      const std::function<void(int, int, int, unsigned)>& each) {
    std::size_t record = 0;
    for (int k = 0; k < p.classCount; ++k) {
        const MapClassEntry& c = p.classes[static_cast<std::size_t>(k)];
        const int w = c.width / c.recordColumns;
        const int h = c.height / c.recordRows;
        const std::size_t rowBytes = tileRowBytes(mode, static_cast<std::uint32_t>(w));
        for (int r = 0; r < c.recordRows; ++r)
            for (int col = 0; col < c.recordColumns; ++col, ++record)
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        each(k, col * w + x, r * h + y, packedPixel(tiles[record].data(), rowBytes, pixelBits(mode), x, y));
    }
}

TEST_P(RestoreRoundTrip, LoadsBackTheProjectAndTheTilesAndMakesThemAgain) {
    const RoundTripCase& c = GetParam();
    project.colourMode = project.requestedColourMode = c.mode;
    chooseClasses(c.mode);
    if (HasFatalFailure()) return;
    project.databaseName.assign("ROUND TRIP");
    project.versionText.assign("013579");
    if (c.texts) {
        project.setInfoText(0, {"Lighthouse", 10, 20, 19, 29});
        project.setInfoText(1, {std::string(48, 'W'), 300, 300, 309, 309});
        project.infoTextCount = 2;
        project.spareInfoTextCount = 7;
    }
    if (c.corners) {
        project.gpsEnabled = 1;
        GeoBounds& g = project.geo;
        g.upperLeftLat = {35, 40, 12, 500};
        g.upperLeftLong = {139, 45, 30, 0};
        g.bottomRightLat = {35, 30, 0, 0};
        g.bottomRightLong = {140, 0, 0, 120};
        g.upperLeftLatTotal = 128412500;
        g.upperLeftLongTotal = 503130000;
        g.bottomRightLatTotal = 127800000;
        g.bottomRightLongTotal = 504000120;
    }
    const std::string password = *c.password ? c.password : std::string(kFixedReadOnlyPassword);
    const EncodedPassword encoded = encodePassword(password, accessCodeOf(c.access), mapBindingOf(project));
    std::copy(encoded.begin(), encoded.end(), project.access.encodedPassword.begin());
    project.access.readOnly = c.access.readOnly;
    project.access.fullEdit = c.access.fullEdit;
    project.access.viewMode = c.access.viewMode;

    const test::FixedClock clock(1715000000);
    ControlUpdates updates;
    const auto made = dir / "made.pdb";
    ASSERT_TRUE(saveMapDatabase(project, made, {c.dither, c.compress, dir.path()}, clock, feedback, updates));
    feedback.messages.clear();

    // File Load into a project that was busy with something else.
    test::TempDir loadDir;
    MapProject loaded;
    loaded.colourMode = loaded.requestedColourMode = c.mode;
    ASSERT_EQ(readDatabaseHeader(made, loaded, feedback), DatabaseCheck::Ok);
    if (settleLoadedAccess(loaded) == LoadAccess::AskPassword) {
        const PasswordCheck check =
            checkPassword(password, loadedPasswordOf(loaded), loaded.access.loadedBinding, feedback);
        ASSERT_TRUE(acceptPasswordCheck(loaded, check, feedback));
    } else {
        EXPECT_EQ(*c.password, '\0');
    }
    ASSERT_EQ(restoreDatabase(made, loadDir.path(), loaded, feedback), RestoreResult::Ok);
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ(feedback.busyDepth, 0);

    EXPECT_EQ(loaded.databaseName.str(), "ROUND TRIP");
    EXPECT_EQ(loaded.versionText.str(), "013579");
    EXPECT_EQ(loaded.gpsEnabled, project.gpsEnabled);
    EXPECT_EQ(loaded.geo, project.geo);
    ASSERT_EQ(loaded.classCount, 2);
    for (int k = 0; k < kClassSlots; ++k) {
        const MapClassEntry& want = project.classes[static_cast<std::size_t>(k)];
        const MapClassEntry& got = loaded.classes[static_cast<std::size_t>(k)];
        EXPECT_EQ(std::tie(got.width, got.height, got.magnification, got.recordColumns, got.recordRows),
                  std::tie(want.width, want.height, want.magnification, want.recordColumns, want.recordRows))
            << "class " << k + 1;
    }
    EXPECT_EQ(loaded.infoTextCount, project.infoTextCount);
    for (int i = 0; i < kInfoTextSlots; ++i) EXPECT_EQ(loaded.infoText(i), project.infoText(i)) << "slot " << i;
    EXPECT_EQ(loaded.spareInfoTextCount, c.texts ? 7 : 10);
    EXPECT_EQ(loaded.infoFormatWord, 1u);
    EXPECT_EQ(loaded.access.readOnly, c.access.readOnly);
    EXPECT_EQ(loaded.access.fullEdit, c.access.fullEdit);
    EXPECT_EQ(loaded.access.viewMode, c.access.viewMode);
    EXPECT_EQ(loaded.colourMode, c.mode);

    ParsedMapDatabase parsed;
    const Bytes madeBytes = test::readFile(made);
    const std::vector<Bytes> tiles = decodedTiles(madeBytes, parsed);
    std::vector<Bytes> restored;
    for (int k = 0; k < 2; ++k) restored.push_back(test::readFile(loaded.classes[static_cast<std::size_t>(k)].fileName.str()));
    int wrong = 0;
    forEachTilePixel(project, tiles, c.mode, [&](int k, int x, int y, unsigned v) {
        wrong += bmpPixel(restored[static_cast<std::size_t>(k)], x, y) != v;
    });
    EXPECT_EQ(wrong, 0);

    // Made again from the loaded map in the same mode, undithered: the same tiles.
    test::TempDir againDir;
    const auto again = againDir / "again.pdb";
    ASSERT_TRUE(saveMapDatabase(loaded, again, {false, c.compress, againDir.path()}, clock, feedback, updates));
    ParsedMapDatabase parsedAgain;
    const std::vector<Bytes> tilesAgain = decodedTiles(test::readFile(again), parsedAgain);
    ASSERT_EQ(tilesAgain.size(), tiles.size());
    std::vector<unsigned> first;
    forEachTilePixel(project, tiles, c.mode, [&](int, int, int, unsigned v) { first.push_back(v); });
    std::vector<unsigned> second;
    forEachTilePixel(loaded, tilesAgain, c.mode, [&](int, int, int, unsigned v) { second.push_back(v); });
    EXPECT_TRUE(first == second);

    // The original mode packs only 1-bit class bitmaps.
    if (restoreBitDepth(c.mode) != 1) {
        feedback.messages.clear();
        loaded.colourMode = ColourMode::Original;
        EXPECT_FALSE(saveMapDatabase(loaded, againDir / "original.pdb", {false, false, againDir.path()}, clock,
                                     feedback, updates));
        ASSERT_FALSE(feedback.messages.empty());
        EXPECT_EQ(feedback.messages[0],
                  warning("Error : Original bitmap file format support 1bits/pixel mode only.", Icon::Information));
    }
}

constexpr AccessMode kReadOnly{1, 0, 0};
constexpr AccessMode kFullInformation{0, 1, 1};
constexpr AccessMode kFullAll{0, 1, 2};
constexpr AccessMode kReadOnlyAll{1, 0, 2};

INSTANTIATE_TEST_SUITE_P(
    Modes, RestoreRoundTrip,
    ::testing::Values(RoundTripCase{"original", ColourMode::Original, false, false, "", kReadOnly, true, true},
                      RoundTripCase{"original_password", ColourMode::Original, false, false, "Abcd1234", kFullInformation, false, false},
                      RoundTripCase{"mode1", ColourMode::Bpp1, false, true, "", kReadOnly, false, true},
                      RoundTripCase{"mode1_compressed", ColourMode::Bpp1, true, false, "Zz9Yy8Xx", kFullAll, true, false},
                      RoundTripCase{"mode2", ColourMode::Bpp2, false, true, "Abcd1234", kReadOnlyAll, true, true},
                      RoundTripCase{"mode2_compressed", ColourMode::Bpp2, true, false, "", kReadOnly, false, false},
                      RoundTripCase{"mode4", ColourMode::Bpp4, false, false, "Q1w2E3r4", kFullInformation, false, true},
                      RoundTripCase{"mode4_compressed", ColourMode::Bpp4, true, false, "", kReadOnly, true, false},
                      RoundTripCase{"mode8", ColourMode::Bpp8, false, true, "", kReadOnly, true, true},
                      RoundTripCase{"mode8_compressed", ColourMode::Bpp8, true, false, "Abcd1234", kFullAll, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Refusals --------------------------------------------------------------

// A database of two classes, two texts, mode 1: Class 1 320 x 160 in two
// tiles, Class 2 640 x 320 in 4 x 2. Records: 0, the texts, 2..3, 4..11.
Bytes refusalDatabase(bool compressed) {
    MapProject p = namedProject();
    setClassRow(p, 0, 320, 160, 2, 1);
    setClassRow(p, 1, 640, 320, 4, 2, 2);
    p.setInfoText(0, {"one", 1, 2, 3, 4});
    p.setInfoText(1, {"two", 5, 6, 7, 8});
    p.infoTextCount = 2;
    return test::layOutDatabase(p, ColourMode::Bpp1, compressed, tileData(p, ColourMode::Bpp1, compressed, harbour));
}

constexpr std::size_t kRecordZero = 78 + 8 * 12 + 2;
constexpr std::size_t kDirectory = kRecordZero + 64;
std::size_t entryAt(std::size_t i) { return kDirectory + 16 * i; }
std::size_t recordAt(const Bytes& b, std::size_t index) { return readBe32(b.data() + 78 + 8 * index); }

struct RefusalCase {
    const char* name;
    bool compressed;
    std::function<void(Bytes&)> damage;
    Message expected;
    int result;
    std::function<void(const test::TempDir& work, std::filesystem::path& database)> setup = {};
    bool explained = false;  // a file problem follows the message
};

const Message kPdbFileData = error("PDB file data", Icon::Information);

class RestoreRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RestoreRefusal, ShowsItsMessageAndEndsTheLoad) {
    const RefusalCase& c = GetParam();
    test::TempDir dir;
    test::TempDir work;
    Bytes db = refusalDatabase(c.compressed);
    if (c.damage) c.damage(db);
    std::filesystem::path database = dir / "map.pdb";
    test::writeFile(database, db);
    if (c.setup) c.setup(work, database);

    MapProject project;
    project.colourMode = ColourMode::Bpp4;
    test::RecordingFeedback feedback;
    EXPECT_EQ(static_cast<int>(restoreDatabase(database, work.path(), project, feedback)), c.result);
    EXPECT_EQ(feedback.messages, std::vector<Message>{c.expected});
    if (c.explained) {
        ASSERT_EQ(feedback.problems.size(), 1u);
        EXPECT_EQ(feedback.problems[0].kind, FileProblem::Kind::CannotCreate);
        EXPECT_EQ(feedback.problems[0].path, work / kRestoreFileNames[0]);
    } else {
        EXPECT_TRUE(feedback.problems.empty());
    }
    EXPECT_EQ(feedback.busyDepth, 0);
    EXPECT_EQ(project.colourMode, ColourMode::Bpp4);
    EXPECT_EQ(project.access.loadedFlag, 0);
}

void setEntryField(Bytes& b, std::size_t entry, std::size_t field, unsigned value, bool word) {
    if (word)
        writeBe16(b.data() + entryAt(entry) + field, static_cast<std::uint16_t>(value));
    else
        b[entryAt(entry) + field] = static_cast<std::uint8_t>(value);
}

const auto kGuard = [](int k) {
    return [k](const test::TempDir& work, std::filesystem::path&) {
        for (int n = k; n <= 4; ++n) test::writeFile(work / kRestoreFileNames[n - 1], {1});
    };
};

INSTANTIATE_TEST_SUITE_P(
    Table, RestoreRefusal,
    ::testing::Values(
        RefusalCase{"guard001", false, {}, error("Plotvane use [mktempfl.001]file. Please delete it.", Icon::Exclamation), 1, kGuard(1)},
        RefusalCase{"guard002", false, {}, error("Plotvane use [mktempfl.002]file. Please delete it.", Icon::Exclamation), 1, kGuard(2)},
        RefusalCase{"guard003", false, {}, error("Plotvane use [mktempfl.003]file. Please delete it.", Icon::Exclamation), 1, kGuard(3)},
        RefusalCase{"guard004", false, {}, error("Plotvane use [mktempfl.004]file. Please delete it.", Icon::Exclamation), 1, kGuard(4)},
        RefusalCase{"missing", false, {}, warning("Error : Cannot find pdb-file", Icon::Exclamation), 1,
                    [](const test::TempDir&, std::filesystem::path& d) { d += ".gone"; }},
        RefusalCase{"folder", false, {}, warning("Error : Cannot open pdb-file", Icon::Information), 2,
                    [](const test::TempDir&, std::filesystem::path& d) { d = d.parent_path(); }},
        RefusalCase{"cannotMakeBmp", false, {}, error("Cannot make bmp-file.", Icon::Exclamation), 3,
                    [](const test::TempDir& work, std::filesystem::path&) { std::filesystem::remove_all(work.path()); },
                    true},
        RefusalCase{"shortIdentity", false, [](Bytes& b) { b.resize(65); }, kPdbFileData, 2},
        RefusalCase{"notOrbilune", false, [](Bytes& b) { b[63] = 'A'; }, error("Not Orbilune data!", Icon::Information), 2},
        RefusalCase{"shortRecordList", false, [](Bytes& b) { b.resize(89); }, kPdbFileData, 2},
        RefusalCase{"recordZeroPastEnd", false, [](Bytes& b) { writeBe32(b.data() + 78, static_cast<std::uint32_t>(b.size() - 10)); }, kPdbFileData, 2},
        RefusalCase{"noClass", false, [](Bytes& b) { b[kRecordZero + 58] = 0; }, kPdbFileData, 2},
        RefusalCase{"fiveClasses", false, [](Bytes& b) { b[kRecordZero + 58] = 5; }, kPdbFileData, 2},
        RefusalCase{"unknownMode", false, [](Bytes& b) { b[kRecordZero + 60] = 3; }, kPdbFileData, 2},
        RefusalCase{"classNotFound", false, [](Bytes& b) { setEntryField(b, 2, 1, 3, false); setEntryField(b, 3, 1, 3, false);
                                                             for (std::size_t e = 4; e < 10; ++e) setEntryField(b, e, 1, 3, false); }, kPdbFileData, 2},
        RefusalCase{"directoryPastEnd", false, [](Bytes& b) { b.resize(kDirectory + 20); }, kPdbFileData, 2},
        RefusalCase{"zeroTileWidth", false, [](Bytes& b) { setEntryField(b, 0, 8, 0, true); }, kPdbFileData, 2},
        RefusalCase{"zeroTileHeight", false, [](Bytes& b) { setEntryField(b, 2, 10, 0, true); }, kPdbFileData, 2},
        RefusalCase{"classOver4096", false, [](Bytes& b) { setEntryField(b, 2, 3, 16, false); }, kPdbFileData, 2},
        RefusalCase{"gridOver253Cells", false, [](Bytes& b) { setEntryField(b, 0, 8, 1, true); }, kPdbFileData, 2},
        // 213 rows of 6 pixels in a class 8 times Class 1's 160 rows.
        RefusalCase{"zeroDivisor", false, [](Bytes& b) { setEntryField(b, 2, 3, 8, false); setEntryField(b, 2, 8, 2560, true);
                                                           setEntryField(b, 2, 10, 6, true); }, kPdbFileData, 2},
        RefusalCase{"textTag", false, [](Bytes& b) { b[recordAt(b, 1)] = 'I'; }, error("information header", Icon::Information), 2},
        RefusalCase{"textRecordPastEnd", false, [](Bytes& b) { writeBe32(b.data() + 86, static_cast<std::uint32_t>(b.size() - 8)); }, kPdbFileData, 2},
        RefusalCase{"over100Texts", false, [](Bytes& b) { writeBe16(b.data() + recordAt(b, 1) + 2, 101); }, kPdbFileData, 2},
        RefusalCase{"textsPastEnd", false, [](Bytes& b) { const std::size_t at = recordAt(b, 1); writeBe16(b.data() + at + 2, 100);
                                                            b.resize(at + 16 + 64 * 50); }, kPdbFileData, 2},
        RefusalCase{"cellOutsideGrid", false, [](Bytes& b) { setEntryField(b, 1, 4, 320, true); }, kPdbFileData, 3},
        RefusalCase{"cellUnfilled", false, [](Bytes& b) { setEntryField(b, 1, 3, 9, false); }, kPdbFileData, 3},
        RefusalCase{"indexBeyondRecordList", false, [](Bytes& b) { setEntryField(b, 1, 0, 12, false); }, kPdbFileData, 3},
        RefusalCase{"tileOffsetPastList", false, [](Bytes& b) { writeBe16(b.data() + 76, 3); }, kPdbFileData, 3},
        RefusalCase{"tileHeaderPastEnd", false, [](Bytes& b) { writeBe32(b.data() + 78 + 8 * 2, static_cast<std::uint32_t>(b.size() - 4)); }, kPdbFileData, 4},
        RefusalCase{"tileWidthDiffers", false, [](Bytes& b) { writeBe16(b.data() + recordAt(b, 2), 150); }, kPdbFileData, 4},
        RefusalCase{"rowBytesDiffer", false, [](Bytes& b) { writeBe16(b.data() + recordAt(b, 2) + 4, 22); }, kPdbFileData, 4},
        RefusalCase{"pixelSizeDiffers", false, [](Bytes& b) { b[recordAt(b, 2) + 8] = 4; }, kPdbFileData, 4},
        RefusalCase{"pixelsPastEnd", false, [](Bytes& b) { b.pop_back(); }, kPdbFileData, 4},
        RefusalCase{"codeTooShort", true, [](Bytes& b) { writeLe16(b.data() + recordAt(b, 3) + 16, 2); }, kPdbFileData, 4},
        RefusalCase{"codePastEnd", true, [](Bytes& b) { writeLe16(b.data() + recordAt(b, 11) + 16, 60000); }, kPdbFileData, 4},
        RefusalCase{"codeDamaged", true, [](Bytes& b) { b[recordAt(b, 5) + 18] = 0; }, kPdbFileData, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RestoreDatabase, AFailureLeavesTheProjectResetAndTheFilesWrittenSoFar) {
    test::TempDir dir;
    test::TempDir work;
    Bytes db = refusalDatabase(false);
    db.pop_back();  // Class 2's last tile ends early
    test::writeFile(dir / "map.pdb", db);
    MapProject project;
    project.databaseName.assign("EARLIER");
    project.classCount = 3;
    project.classes[2].width = 999;
    project.access.loadedFlag = 1;
    project.ditherFlag = 1;
    test::RecordingFeedback feedback;
    EXPECT_EQ(restoreDatabase(dir / "map.pdb", work.path(), project, feedback), RestoreResult::DamagedTiles);
    EXPECT_EQ(project.databaseName.str(), "HAND MADE");
    EXPECT_EQ(project.classCount, 2);
    EXPECT_EQ(project.classes[2].width, 0);
    EXPECT_EQ(project.access.loadedFlag, 1);
    EXPECT_EQ(project.ditherFlag, 1);
    EXPECT_EQ(test::folderEntries(work.path()), (std::vector<std::string>{"mktempfl.001", "mktempfl.002"}));
    EXPECT_EQ(std::filesystem::file_size(work / "mktempfl.001"), 62u + 40u * 160u);
    EXPECT_EQ(test::folderEntries(dir.path()), std::vector<std::string>{"map.pdb"});
}

// ---- Damaged databases -----------------------------------------------------

// Two compressed classes, a text, corners and the fixed read-only
// password: everything File Load reads, in a few kilobytes.
Bytes robustnessDatabase() {
    MapProject p = namedProject();
    setClassRow(p, 0, 160, 160, 1, 1);
    setClassRow(p, 1, 320, 320, 1, 1, 2);
    p.setInfoText(0, {"pier", 1, 2, 11, 12});
    p.infoTextCount = 1;
    p.spareInfoTextCount = 1;
    p.gpsEnabled = 1;
    p.geo.upperLeftLatTotal = 128412500;
    p.geo.bottomRightLatTotal = 127800000;
    const EncodedPassword e = encodePassword(kFixedReadOnlyPassword, 0, mapBindingOf(p));
    std::copy(e.begin(), e.end(), p.access.encodedPassword.begin());
    return test::layOutDatabase(p, ColourMode::Bpp1, true, tileData(p, ColourMode::Bpp1, true, [](int k, int x, int y) {
        return static_cast<unsigned>(x > y / (k + 1) + 40);
    }));
}

// One File Load of `bytes` from its own folder into `work`: every stage
// either succeeds or shows one message and ends the load, leaving the
// project as that stage promises and writing nothing but RestoreFiles.
void loadDamaged(const test::TempDir& root, const Bytes& bytes) {
    const auto in = root / "in";
    const auto work = root / "work";
    std::filesystem::create_directories(work);
    std::filesystem::create_directories(in);
    for (const char* name : kRestoreFileNames) std::filesystem::remove(work / name);
    // A new file each time: truncating one that holds data makes some file
    // systems flush it to disk on close.
    std::filesystem::remove(in / "map.pdb");
    test::writeFile(in / "map.pdb", bytes);

    MapProject project;
    project.colourMode = ColourMode::Bpp2;
    project.databaseName.assign("BEFORE");
    project.classCount = 1;
    project.classes[0].width = 777;
    test::RecordingFeedback feedback;
    const auto unchanged = [&project] {
        return project.databaseName.str() == "BEFORE" && project.classCount == 1 && project.classes[0].width == 777;
    };
    const DatabaseCheck header = readDatabaseHeader(in / "map.pdb", project, feedback);
    if (header != DatabaseCheck::Ok) {
        EXPECT_EQ(feedback.messages.size(), 1u);
        EXPECT_TRUE(unchanged());
    } else if (settleLoadedAccess(project) == LoadAccess::AskPassword) {
        EXPECT_TRUE(unchanged());
    } else {
        const RestoreResult restored = restoreDatabase(in / "map.pdb", work, project, feedback);
        if (restored != RestoreResult::Ok) {
            EXPECT_EQ(feedback.messages.size(), 1u);
        } else {
            EXPECT_TRUE(feedback.messages.empty());
            for (int k = 0; k < project.classCount; ++k) {
                const MapClassEntry& c = project.classes[static_cast<std::size_t>(k)];
                const Bytes file = test::readFile(c.fileName.str());
                ASSERT_GE(file.size(), 62u);
                const std::size_t stride = (std::size_t{c.width} * c.bitDepth + 31) / 32 * 4;
                EXPECT_EQ(file.size(), readLe32(file.data() + 2));
                EXPECT_EQ(file.size(), c.pixelDataOffset + stride * c.height);
            }
        }
    }
    EXPECT_EQ(project.colourMode, ColourMode::Bpp2);
    EXPECT_EQ(project.access.loadedFlag, 0);
    EXPECT_EQ(feedback.busyDepth, 0);
    EXPECT_EQ(test::folderEntries(root.path()), (std::vector<std::string>{"in", "work"}));
    EXPECT_EQ(test::folderEntries(in), std::vector<std::string>{"map.pdb"});
    for (const std::string& name : test::folderEntries(work)) EXPECT_EQ(name.rfind("mktempfl.00", 0), 0u) << name;
}

TEST(RestoreRobustness, EveryTruncationLoadsOrIsRefused) {
    const Bytes valid = robustnessDatabase();
    test::TempDir root;
    for (std::size_t length = 0; length <= valid.size(); ++length) {
        loadDamaged(root, Bytes(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(length)));
        if (HasFailure()) FAIL() << "length " << length;
    }
}

TEST(RestoreRobustness, EveryFlippedHeaderByteLoadsOrIsRefused) {
    const Bytes valid = robustnessDatabase();
    std::vector<std::size_t> bytes;
    const auto span = [&bytes](std::size_t from, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) bytes.push_back(from + i);
    };
    span(0, 78 + 8 * 4 + 2);        // database header and record list
    span(recordAt(valid, 0), 96);   // record 0 and its two directory entries
    span(recordAt(valid, 1), 16);   // the text record's header
    span(recordAt(valid, 2), 18);   // each tile header with its size word
    span(recordAt(valid, 3), 18);
    test::TempDir root;
    for (std::size_t at : bytes) {
        for (std::uint8_t flip : {0xFF, 0x80, 0x01}) {
            Bytes damaged = valid;
            damaged[at] ^= flip;
            loadDamaged(root, damaged);
            if (HasFailure()) FAIL() << "byte " << at << " flipped by " << int(flip);
        }
    }
}

// ---- info and File Load on the same damaged databases ----------------------

// Small databases of every colour mode, compressed and not: Class 1 of
// 24 x 8 pixels in two tiles 12 pixels wide (not whole bytes in 1 bit a
// pixel), Class 2 of 48 x 16 in 2 x 2 tiles; texts in some.
std::vector<Bytes> agreementDatabases() {
    std::vector<Bytes> databases;
    for (const ColourMode mode : kColourModes) {
        for (const bool compressed : {false, true}) {
            if (mode == ColourMode::Original && compressed) continue;
            MapProject p = namedProject();
            setClassRow(p, 0, 24, 8, 2, 1);
            setClassRow(p, 1, 48, 16, 2, 2, 2);
            if (compressed != (mode == ColourMode::Bpp2)) {
                p.setInfoText(0, {"cove", 3, 4, 12, 13});
                p.infoTextCount = 1;
                p.spareInfoTextCount = 1;
            }
            const PixelValue value = [mode](int k, int x, int y) {
                return static_cast<unsigned>((x / 3 + y / 2 + k) % (mode == ColourMode::Bpp8 ? 256 : 1u << pixelBits(mode)));
            };
            databases.push_back(test::layOutDatabase(p, mode, compressed, tileData(p, mode, compressed, value)));
        }
    }
    return databases;
}

// What File Load shows for `bytes` in its header checks and its restore
// (the password stage aside), or nothing when it restores them.
std::vector<Message> fileLoadVerdict(const Bytes& bytes) {
    test::RecordingFeedback feedback;
    DatabaseHeaderSummary summary;
    if (checkDatabaseHeader(bytes, feedback, summary) == DatabaseCheck::Ok) {
        MapProject project;
        RestoreMemory out;
        restoreDatabaseBytes(bytes, project, out, feedback);
    }
    return feedback.messages;
}

std::vector<Message> infoVerdict(const Bytes& bytes) {
    test::RecordingFeedback feedback;
    MapDescription description;
    const DatabaseCheck rc = describeMapDatabaseBytes(bytes, feedback, description);
    EXPECT_EQ(rc != DatabaseCheck::Ok, !feedback.messages.empty());
    return feedback.messages;
}

// The bytes whose damage can matter to a reader: all but the pixels of
// uncompressed tiles, which no reader judges.
std::vector<std::size_t> judgedBytes(const Bytes& db) {
    const std::size_t records = readBe16(db.data() + 76);
    const std::size_t firstTile = db[recordAt(db, 0) + 57];
    const bool compressed = (db[recordAt(db, firstTile) + 6] & kTileCompressedFlag) != 0;
    std::vector<std::size_t> judged;
    for (std::size_t at = 0; at < db.size(); ++at) {
        std::size_t record = 0;
        while (record + 1 < records && recordAt(db, record + 1) <= at) ++record;
        if (compressed || record < firstTile || at < recordAt(db, record) + kTileHeaderSize) judged.push_back(at);
    }
    return judged;
}

// Each database cut short at every judged byte, and every judged byte
// flipped in its low bit and whole: info describes exactly what File Load
// restores and refuses the rest with File Load's message.
TEST(InfoAndFileLoad, RefuseTheSameDamagedDatabasesWithTheSameMessage) {
    int refused = 0;
    int cases = 0;
    const auto compare = [&refused, &cases](const Bytes& damaged, std::size_t database, const char* how,
                                            std::size_t at) {
        const std::vector<Message> load = fileLoadVerdict(damaged);
        EXPECT_EQ(infoVerdict(damaged), load) << "database " << database << " " << how << " " << at;
        refused += load.empty() ? 0 : 1;
        ++cases;
    };
    const std::vector<Bytes> databases = agreementDatabases();
    for (std::size_t i = 0; i < databases.size(); ++i) {
        const Bytes& db = databases[i];
        ASSERT_TRUE(fileLoadVerdict(db).empty());
        for (const std::size_t at : judgedBytes(db)) {
            compare(Bytes(db.begin(), db.begin() + static_cast<std::ptrdiff_t>(at)), i, "cut at", at);
            for (const std::uint8_t mask : {0x01, 0xFF}) {
                Bytes damaged = db;
                damaged[at] ^= mask;
                compare(damaged, i, mask == 1 ? "low bit of byte" : "all bits of byte", at);
            }
        }
        compare(Bytes(db.begin(), db.end() - 1), i, "cut at", db.size() - 1);
    }
    // Both readers see damage, not only in the cut files.
    EXPECT_GT(refused, cases / 2);
}

// ---- The password stage ------------------------------------------------

struct AccessCase {
    const char* name;
    std::string stored;  // 8 bytes, or empty
    LoadAccess expected;
    AccessMode after;
};

class LoadAccessStage : public ::testing::TestWithParam<AccessCase> {};

TEST_P(LoadAccessStage, SettlesWithoutADialogOnlyWhenNoPasswordIsNeeded) {
    MapProject project;
    const MapBinding binding{2, 1, 3, '4', 0x01, 0x40, 'H'};
    project.access.loadedBinding = binding;
    std::copy(GetParam().stored.begin(), GetParam().stored.end(), project.access.loadedPassword.begin());
    project.access.readOnly = 0;
    project.access.fullEdit = 1;
    project.access.viewMode = 2;
    EXPECT_EQ(settleLoadedAccess(project), GetParam().expected);
    EXPECT_EQ((AccessMode{project.access.readOnly, project.access.fullEdit, project.access.viewMode}), GetParam().after);
    const bool none = GetParam().stored.empty();
    EXPECT_EQ(project.access.loadedBinding, none ? MapBinding{} : binding);
}

const MapBinding kBinding{2, 1, 3, '4', 0x01, 0x40, 'H'};
std::string encoded(std::string_view password, AccessCode code) {
    const EncodedPassword e = encodePassword(password, code, kBinding);
    return std::string(e.begin(), e.end());
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoadAccessStage,
    ::testing::Values(AccessCase{"noPassword", "", LoadAccess::Settled, {1, 0, 0}},
                      AccessCase{"fixedReadOnly", encoded(kFixedReadOnlyPassword, 0), LoadAccess::Settled, {1, 0, 0}},
                      AccessCase{"typedReadOnly", encoded("Abcd1234", 0), LoadAccess::AskPassword, {0, 1, 2}},
                      AccessCase{"fullEdit", encoded("Abcd1234", 5), LoadAccess::AskPassword, {0, 1, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadAccessStage, AFailedCheckIsReportedAndAnAcceptedOneSetsTheMode) {
    MapProject project;
    test::RecordingFeedback feedback;
    EXPECT_FALSE(acceptPasswordCheck(project, PasswordCheck{false, {}}, feedback));
    EXPECT_EQ(feedback.messages, std::vector<Message>{error("Invalid Password !", Icon::Exclamation)});
    EXPECT_EQ((AccessMode{project.access.readOnly, project.access.fullEdit, project.access.viewMode}),
              (AccessMode{0, 1, 0}));
    feedback.messages.clear();
    EXPECT_TRUE(acceptPasswordCheck(project, PasswordCheck{true, {0, 1, 1}}, feedback));
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ((AccessMode{project.access.readOnly, project.access.fullEdit, project.access.viewMode}),
              (AccessMode{0, 1, 1}));
}

}  // namespace
}  // namespace plotvane
