#include "database/map_database.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "project/byte_order.h"
#include "support/bmp_writer.h"
#include "support/database_fixtures.h"
#include "support/layout_parser.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane {
namespace {

using test::DataRecordInfo;
using test::ParsedMapDatabase;
using test::LayoutResult;
using test::parseMapDatabase;

using Bytes = std::vector<std::uint8_t>;

MapProject oneClassProject(std::uint16_t width = 160, std::uint16_t height = 160, std::uint16_t nx = 1,
                           std::uint16_t ny = 1) {
    MapProject p;
    p.classCount = 1;
    p.classes[0].width = width;
    p.classes[0].height = height;
    p.classes[0].recordColumns = nx;
    p.classes[0].recordRows = ny;
    p.databaseName.assign("Harbour map");
    p.versionText.assign("012345");
    return p;
}

void addTexts(MapProject& p, int count) {
    for (int i = 0; i < count; ++i)
        p.setInfoText(i, InfoText{"Text " + std::to_string(i), static_cast<std::uint16_t>(10 + i), 20, 30, 40});
    p.infoTextCount = static_cast<std::uint16_t>(count);
}

// A whole database whose record data are distinct byte patterns of `lengths`.
Bytes buildDatabase(const MapProject& p, ColourMode mode, bool compressed,
                    const std::vector<std::uint32_t>& lengths, std::uint32_t stamp = 0x12345678) {
    std::vector<Bytes> data;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        data.emplace_back();
        for (std::uint32_t b = 0; b < lengths[i]; ++b) data.back().push_back(static_cast<std::uint8_t>(i * 31 + b));
    }
    return test::layOutDatabase(p, mode, compressed, data, stamp);
}

TEST(MapDatabaseLayout, OneClassOneTileWithoutTextHasTwoRecords) {
    const MapProject p = oneClassProject();
    const std::vector<std::uint32_t> lengths{160 * 20};
    const RecordLayout layout{1, false, 0, 0, lengths, false};
    EXPECT_EQ(recordCountOf(layout), 2u);
    EXPECT_EQ(recordOffsets(layout), (std::vector<std::uint32_t>{96, 176}));

    const Bytes db = buildDatabase(p, ColourMode::Original, false, lengths);
    EXPECT_EQ(readBe16(db.data() + 76), 2);
    EXPECT_EQ(readBe32(db.data() + 78), 96u);
    EXPECT_EQ(db[82], 0x40);
    EXPECT_EQ(readBe32(db.data() + 86), 176u);
    EXPECT_EQ(db[94], 0);
    EXPECT_EQ(db[95], 0);
    EXPECT_EQ(db.size(), 176u + 16 + 3200);
    EXPECT_EQ(db[96 + 57], 1);
    EXPECT_EQ(db[96 + 64], 1);  // directory entry 0 names record 1
}

TEST(MapDatabaseLayout, TextRecordShiftsTheDataRecords) {
    MapProject p = oneClassProject(320, 160, 2, 1);
    addTexts(p, 1);
    const MapHeaderRecord zero = makeMapHeaderRecord(p, 1, ColourMode::Bpp1);
    EXPECT_EQ(zero.textRecordPresent, 1);
    EXPECT_EQ(zero.firstDataIndex, 2);
    ASSERT_EQ(zero.directory.size(), 2u);
    EXPECT_EQ(zero.directory[0].recordIndex, 2);
    EXPECT_EQ(zero.directory[1].recordIndex, 3);

    const std::vector<std::uint32_t> lengths{100, 60};
    const RecordLayout layout{2, true, 1, 10, lengths, true};
    // 80 + 8 x 4 = 112; record 0 is 64 + 32; the text record 16 + 64 x 11.
    EXPECT_EQ(recordOffsets(layout), (std::vector<std::uint32_t>{112, 208, 928, 1046}));
}

TEST(MapDatabaseLayout, FiveTextsGiveA976ByteRecordEndingInTenZeroEntries) {
    MapProject p = oneClassProject();
    addTexts(p, 5);
    p.setInfoText(4, InfoText{std::string(48, 'x'), 1, 2, 3, 4});
    Bytes out;
    appendInfoTextRecord(out, makeInfoTextRecord(p));
    ASSERT_EQ(out.size(), 976u);
    EXPECT_EQ((Bytes{out.begin(), out.begin() + 16}),
              (Bytes{'i', 'f', 0, 5, 0, 10, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ((Bytes{out.begin() + 16, out.begin() + 24}), (Bytes{0, 10, 0, 20, 0, 30, 0, 40}));
    EXPECT_EQ(out[16 + 16], 'T');
    // A 48-character text fills its field without a terminator.
    const std::size_t fifth = 16 + 4 * 64;
    EXPECT_EQ(std::count(out.begin() + fifth + 16, out.begin() + fifth + 64, 'x'), 48);
    EXPECT_TRUE(std::all_of(out.begin() + 16 + 5 * 64, out.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(MapDatabaseLayout, SpareCountIsWrittenAsZeroAndItsLowByte) {
    MapProject p = oneClassProject();
    addTexts(p, 1);
    p.spareInfoTextCount = 0x0103;
    Bytes out;
    appendInfoTextRecord(out, makeInfoTextRecord(p));
    EXPECT_EQ(out[4], 0);
    EXPECT_EQ(out[5], 3);
}

struct RowBytesCase {
    ColourMode mode;
    std::uint32_t width;
    std::uint32_t expected;
};

class MapDatabaseRowBytes : public ::testing::TestWithParam<RowBytesCase> {};

TEST_P(MapDatabaseRowBytes, PadsToWholeWords) {
    EXPECT_EQ(tileRowBytes(GetParam().mode, GetParam().width), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, MapDatabaseRowBytes,
                         ::testing::Values(RowBytesCase{ColourMode::Original, 200, 26}, RowBytesCase{ColourMode::Bpp1, 200, 26},
                                           RowBytesCase{ColourMode::Bpp2, 200, 50}, RowBytesCase{ColourMode::Bpp4, 200, 100},
                                           RowBytesCase{ColourMode::Bpp8, 200, 200}, RowBytesCase{ColourMode::Bpp1, 160, 20},
                                           RowBytesCase{ColourMode::Bpp1, 161, 22}, RowBytesCase{ColourMode::Bpp2, 213, 54},
                                           RowBytesCase{ColourMode::Bpp4, 161, 82}, RowBytesCase{ColourMode::Bpp8, 161, 162}));

TEST(MapDatabaseLayout, CompressedSizeWordIsLowByteFirst) {
    Bytes out;
    appendCompressedSizeWordLittleEndian(out, 300 + 2);
    EXPECT_EQ(out, (Bytes{0x2E, 0x01}));
}

TEST(MapDatabaseLayout, TileHeaderPerMode) {
    Bytes out;
    appendTileBitmapHeader(out, makeTileBitmapHeader(200, 160, ColourMode::Original, false));
    appendTileBitmapHeader(out, makeTileBitmapHeader(200, 160, ColourMode::Bpp4, true));
    appendTileBitmapHeader(out, makeTileBitmapHeader(200, 160, ColourMode::Bpp8, false));
    EXPECT_EQ(out, (Bytes{0, 200, 0, 160, 0, 26, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,        //
                          0, 200, 0, 160, 0, 100, 0x80, 0, 4, 2, 0, 0, 0, 1, 0, 0,  //
                          0, 200, 0, 160, 0, 200, 0, 0, 8, 2, 0, 0, 0, 0, 0, 0}));
}

TEST(MapDatabaseLayout, GpsClearLeavesBytes31To51Zero) {
    MapProject p = oneClassProject();
    p.geo.upperLeftLatTotal = 128412500;  // kept but not written while GPS is off
    Bytes out;
    appendMapHeaderFixed(out, makeMapHeaderRecord(p, 1, ColourMode::Original));
    ASSERT_EQ(out.size(), 64u);
    EXPECT_TRUE(std::all_of(out.begin() + 31, out.begin() + 52, [](std::uint8_t b) { return b == 0; }));
}

TEST(MapDatabaseLayout, GpsSetWritesHemisphereTotalsAndFlag) {
    MapProject p = oneClassProject();
    p.gpsEnabled = 1;
    p.geo.upperLeftLatTotal = 128412500;
    p.geo.bottomRightLatTotal = 128000000;
    p.geo.upperLeftLongTotal = 500000000;
    p.geo.bottomRightLongTotal = 500100000;
    Bytes out;
    appendMapHeaderFixed(out, makeMapHeaderRecord(p, 1, ColourMode::Bpp2));
    EXPECT_EQ(out[31], 'N');
    EXPECT_EQ(readBe32(out.data() + 32), 500000000u);
    EXPECT_EQ(readBe32(out.data() + 36), 128412500u);
    EXPECT_EQ(readBe32(out.data() + 40), 500100000u);
    EXPECT_EQ(readBe32(out.data() + 44), 128000000u);
    EXPECT_EQ(readBe32(out.data() + 48), 1u);
    EXPECT_EQ(out[60], 2);

    p.geo.bottomRightLatTotal = p.geo.upperLeftLatTotal;  // not smaller: southern
    Bytes south;
    appendMapHeaderFixed(south, makeMapHeaderRecord(p, 1, ColourMode::Bpp2));
    EXPECT_EQ(south[31], 'S');
}

TEST(MapDatabaseLayout, FifteenCharacterNameFillsFifteenBytes) {
    MapProject p = oneClassProject();
    p.databaseName.assign("ABCDEFGHIJKLMNO");
    Bytes header;
    appendDatabaseHeader(header, makeDatabaseHeader(p, 7, 2));
    EXPECT_EQ((Bytes{header.begin(), header.begin() + 15}), (Bytes{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O'}));
    EXPECT_TRUE(std::all_of(header.begin() + 15, header.begin() + 32, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(std::string(header.begin() + 60, header.begin() + 68), "DataOrbl");
    EXPECT_EQ(readBe32(header.data() + 36), 7u);
    EXPECT_EQ(readBe32(header.data() + 40), 7u);

    Bytes zero;
    appendMapHeaderFixed(zero, makeMapHeaderRecord(p, 1, ColourMode::Original));
    EXPECT_EQ((Bytes{zero.begin(), zero.begin() + 16}), (Bytes{header.begin(), header.begin() + 16}));
    EXPECT_EQ(std::string(zero.begin() + 24, zero.begin() + 30), "012345");
}

TEST(MapDatabaseLayout, WriteStampCountsFrom1904InUtcPlusNine) {
    EXPECT_EQ(makeWriteStamp(0), 2082877200u);
    EXPECT_EQ(makeWriteStamp(1000), 2082878200u);
    // Kept to 32 bits: 2040-03-01 wraps past 2^32.
    EXPECT_EQ(makeWriteStamp(2214172800), static_cast<std::uint32_t>(2214172800LL + 2082877200LL - 4294967296LL));
    EXPECT_EQ(makeWriteStamp(-631152000), 2082877200u - 631152000u);  // 1950-01-01
}

TEST(MapDatabaseLayout, DirectoryFollowsParentScaleAndOriginFormulas) {
    MapProject p;
    p.classCount = 3;
    // Class 1: 481 x 322 in 3 x 2 tiles (origins truncate: 481 / 3 = 160, 322 / 2 = 161).
    p.classes[0] = MapClassEntry{};
    p.classes[0].width = 481;
    p.classes[0].height = 322;
    p.classes[0].recordColumns = 3;
    p.classes[0].recordRows = 2;
    // Class 2: x2, 6 x 4 tiles.
    p.classes[1].width = 962;
    p.classes[1].height = 644;
    p.classes[1].magnification = 2;
    p.classes[1].recordColumns = 6;
    p.classes[1].recordRows = 4;
    // Class 3: x4 of class 2, 12 x 8 tiles.
    p.classes[2].width = 3848;
    p.classes[2].height = 2576;
    p.classes[2].magnification = 4;
    p.classes[2].recordColumns = 12;
    p.classes[2].recordRows = 8;
    addTexts(p, 1);

    const auto dir = computeDirectory(p, 3, 2);
    ASSERT_EQ(dir.size(), 6u + 24u + 96u);
    const auto entry = [](int index, int parent, int up, int top, int x, int y, int w, int h) {
        RecordDirectoryEntry e;
        e.recordIndex = static_cast<std::uint8_t>(index);
        e.parentIndex = static_cast<std::uint8_t>(parent);
        e.scaleToUpper = static_cast<std::uint8_t>(up);
        e.scaleToTop = static_cast<std::uint8_t>(top);
        e.xOrigin = static_cast<std::uint16_t>(x);
        e.yOrigin = static_cast<std::uint16_t>(y);
        e.tileWidth = static_cast<std::uint16_t>(w);
        e.tileHeight = static_cast<std::uint16_t>(h);
        return e;
    };
    EXPECT_EQ(dir[0], entry(2, 0, 1, 1, 0, 0, 160, 161));
    EXPECT_EQ(dir[5], entry(7, 0, 1, 1, 320, 161, 160, 161));
    // Class 2 starts at index 8; its tile (row 3, column 5) lies under
    // class 1 tile (row 1, column 2): 2 + 1 x 3 + 2 = 7. Origins use W1 / 6 = 80, H1 / 4 = 80.
    EXPECT_EQ(dir[6], entry(8, 2, 2, 2, 0, 0, 160, 161));
    EXPECT_EQ(dir[6 + 3 * 6 + 5], entry(8 + 23, 7, 2, 2, 400, 240, 160, 161));
    // Class 3 starts at 32; tile (row 5, column 7) -> class 2 tile (2, 3): 8 + 2 x 6 + 3 = 23.
    // Origins use W1 / 12 = 40 and H1 / 8 = 40; the scale to Class 1 is 2 x 4.
    EXPECT_EQ(dir[30 + 5 * 12 + 7], entry(32 + 67, 23, 4, 8, 280, 200, 320, 322));
}

TEST(MapDatabaseLayout, ScaleToTopKeepsItsLowByte) {
    MapProject p = oneClassProject();
    p.classCount = 4;
    for (int k = 1; k < 4; ++k) {
        p.classes[static_cast<std::size_t>(k)].width = static_cast<std::uint16_t>(160 << (3 * k));
        p.classes[static_cast<std::size_t>(k)].height = 160;
        p.classes[static_cast<std::size_t>(k)].magnification = 8;
    }
    const auto dir = computeDirectory(p, 4, 1);
    ASSERT_EQ(dir.size(), 4u);
    EXPECT_EQ(dir[2].scaleToTop, 64);
    EXPECT_EQ(dir[3].scaleToTop, 0);  // 512 keeps its low 8 bits
}

// ---- Parser ----------------------------------------------------------

MapProject richProject() {
    MapProject p = oneClassProject(320, 160, 2, 1);
    p.gpsEnabled = 1;
    p.geo.upperLeftLatTotal = 9;
    p.geo.bottomRightLatTotal = 3;
    p.access.encodedPassword = {'A', 'b', 'c', 'd', 'E', 'f', 'g', 'h', 0, 0};
    addTexts(p, 2);
    p.spareInfoTextCount = 2;
    return p;
}

TEST(MapDatabaseParser, RoundTripsEveryRecord) {
    const MapProject p = richProject();
    const std::vector<std::uint32_t> lengths{40, 6};
    const Bytes db = buildDatabase(p, ColourMode::Bpp2, true, lengths, 0xCAFEBABE);

    ParsedMapDatabase parsed;
    ASSERT_EQ(parseMapDatabase(db, parsed), LayoutResult::Parsed);
    EXPECT_EQ(parsed.header, makeDatabaseHeader(p, 0xCAFEBABE, 4));
    ASSERT_EQ(parsed.records.size(), 4u);
    EXPECT_EQ(parsed.records[0].offset, 112u);
    EXPECT_EQ(parsed.mapHeader, makeMapHeaderRecord(p, 1, ColourMode::Bpp2));
    ASSERT_TRUE(parsed.infoText.has_value());
    EXPECT_EQ(*parsed.infoText, makeInfoTextRecord(p));
    ASSERT_EQ(parsed.dataRecords.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const DataRecordInfo& r = parsed.dataRecords[i];
        EXPECT_EQ(r.recordIndex, 2 + i);
        EXPECT_EQ(r.header, makeTileBitmapHeader(160, 160, ColourMode::Bpp2, true));
        EXPECT_EQ(r.sizeWord, lengths[i] + 2);
        EXPECT_EQ(r.dataLength, lengths[i]);
        EXPECT_EQ(r.dataOffset, parsed.records[2 + i].offset + 18);
    }
}

TEST(MapDatabaseParser, RoundTripsWithoutTextUncompressed) {
    const MapProject p = oneClassProject(160, 320, 1, 2);
    const Bytes db = buildDatabase(p, ColourMode::Original, false, {3200, 3200});
    ParsedMapDatabase parsed;
    ASSERT_EQ(parseMapDatabase(db, parsed), LayoutResult::Parsed);
    EXPECT_FALSE(parsed.infoText.has_value());
    EXPECT_EQ(parsed.mapHeader.directory, computeDirectory(p, 1, 1));
    ASSERT_EQ(parsed.dataRecords.size(), 2u);
    EXPECT_FALSE(parsed.dataRecords[1].sizeWord.has_value());
    EXPECT_EQ(parsed.dataRecords[1].dataOffset + parsed.dataRecords[1].dataLength, db.size());
}

struct DamageCase {
    const char* name;
    std::size_t at;
    std::uint8_t value;
    LayoutResult expected;
};

class MapDatabaseDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(MapDatabaseDamage, IsRefusedWithItsCode) {
    // Layout: header 0..77, list 78..109 (4 entries), gap, record 0 at 112
    // (96 bytes), text record at 208 (272 bytes), first tile at 480.
    Bytes db = buildDatabase(richProject(), ColourMode::Bpp2, true, {40, 6});
    db[GetParam().at] = GetParam().value;
    ParsedMapDatabase parsed;
    EXPECT_EQ(parseMapDatabase(db, parsed), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MapDatabaseDamage,
    ::testing::Values(DamageCase{"type", 60, 'd', LayoutResult::NotOrbilune},
                      DamageCase{"creator", 67, 'L', LayoutResult::NotOrbilune},
                      DamageCase{"recordCountHuge", 76, 0x40, LayoutResult::Truncated},
                      DamageCase{"recordCountZero", 77, 0, LayoutResult::RecordListDamaged},
                      DamageCase{"recordZeroInsideList", 81, 100, LayoutResult::RecordListDamaged},
                      DamageCase{"offsetPastEnd", 94, 0x7F, LayoutResult::RecordListDamaged},
                      DamageCase{"classCountZero", 112 + 58, 0, LayoutResult::MapHeaderDamaged},
                      DamageCase{"classCountFive", 112 + 58, 5, LayoutResult::MapHeaderDamaged},
                      DamageCase{"tooManyDataRecords", 112 + 56, 3, LayoutResult::MapHeaderDamaged},
                      DamageCase{"directoryIndexOutside", 112 + 64, 4, LayoutResult::MapHeaderDamaged},
                      DamageCase{"tag", 208, 'I', LayoutResult::InfoHeaderDamaged},
                      DamageCase{"textCountPastRecord", 208 + 3, 12, LayoutResult::InfoTextDamaged},
                      DamageCase{"sizeWordPastRecord", 480 + 16, 0xFF, LayoutResult::DataRecordDamaged},
                      DamageCase{"unknownPixelSize", 480 + 8, 3, LayoutResult::DataRecordDamaged},
                      DamageCase{"rowBytesTooSmall", 480 + 5, 1, LayoutResult::DataRecordDamaged}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MapDatabaseParser, RefusesEveryTruncation) {
    for (const bool compressed : {false, true}) {
        const Bytes db = buildDatabase(richProject(), compressed ? ColourMode::Bpp2 : ColourMode::Bpp1, compressed,
                                       compressed ? std::vector<std::uint32_t>{40, 6}
                                                  : std::vector<std::uint32_t>{20 * 160, 20 * 160});
        for (std::size_t size = 0; size < db.size(); ++size) {
            // A copy of exactly `size` bytes, so a sanitizer sees any read past it.
            const Bytes cut(db.begin(), db.begin() + static_cast<std::ptrdiff_t>(size));
            ParsedMapDatabase parsed;
            EXPECT_NE(parseMapDatabase(cut, parsed), LayoutResult::Parsed) << "size " << size;
        }
    }
}

TEST(MapDatabaseParser, SurvivesEveryByteFlipOfTheLayout) {
    const Bytes db = buildDatabase(richProject(), ColourMode::Bpp2, true, {40, 6});
    const std::size_t layoutEnd = 480 + 18 + 40 + 18;  // through the second tile's size word
    for (std::size_t at = 0; at < layoutEnd; ++at) {
        for (const std::uint8_t mask : {0x01, 0x80, 0xFF}) {
            Bytes damaged = db;
            damaged[at] ^= mask;
            ParsedMapDatabase parsed;
            if (parseMapDatabase(damaged, parsed) != LayoutResult::Parsed) continue;
            for (const DataRecordInfo& r : parsed.dataRecords)
                EXPECT_LE(std::uint64_t{r.dataOffset} + r.dataLength, damaged.size()) << "byte " << at;
            EXPECT_EQ(parsed.mapHeader.directory.size(), parsed.mapHeader.dataRecordCount);
        }
    }
}

TEST(MapDatabaseParser, ErrorTexts) {
    EXPECT_STREQ(parseErrorText(ParseResult::NotOrbilune), "Not Orbilune data!");
    EXPECT_STREQ(parseErrorText(ParseResult::InfoHeaderDamaged), "information header");
    // Every other damage, also what only the strict parser tells apart.
    for (const LayoutResult code : {LayoutResult::Truncated, LayoutResult::RecordListDamaged,
                                    LayoutResult::MapHeaderDamaged, LayoutResult::InfoTextDamaged,
                                    LayoutResult::DataRecordDamaged})
        EXPECT_STREQ(parseErrorText(static_cast<ParseResult>(code)), "PDB file data");
}

// ---- First look at a file --------------------------------------------

TEST(MapDatabaseHeaderCheck, FillsPasswordAndBinding) {
    test::TempDir dir;
    MapProject p = richProject();
    p.classes[0].width = 0x0140;
    const Bytes db = buildDatabase(p, ColourMode::Bpp2, true, {40, 6});
    test::writeFile(dir / "map.pdb", db);

    MapProject target;
    target.access.loadedBinding.fill(0xEE);
    test::RecordingFeedback feedback;
    EXPECT_EQ(readDatabaseHeader(dir / "map.pdb", target, feedback), DatabaseCheck::Ok);
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ(feedback.busyDepth, 0);
    EXPECT_EQ(target.access.loadedPassword, (std::array<char, 10>{'A', 'b', 'c', 'd', 'E', 'f', 'g', 'h', 0, 0}));
    // class count, GPS, text count, first version digit, width high, low, first name character
    EXPECT_EQ(target.access.loadedBinding, (std::array<std::uint8_t, 7>{1, 1, 2, '1', 0x01, 0x40, 'H'}));
}

struct HeaderFileCase {
    const char* name;
    std::function<void(Bytes&)> damage;
    Message expected;
};

class MapDatabaseHeaderFile : public ::testing::TestWithParam<HeaderFileCase> {};

TEST_P(MapDatabaseHeaderFile, ShowsItsMessage) {
    test::TempDir dir;
    Bytes db = buildDatabase(richProject(), ColourMode::Bpp2, true, {40, 6});
    GetParam().damage(db);
    test::writeFile(dir / "map.pdb", db);
    test::RecordingFeedback feedback;
    DatabaseHeaderSummary summary;
    EXPECT_EQ(readDatabaseHeader(dir / "map.pdb", feedback, summary), DatabaseCheck::Refused);
    EXPECT_EQ(feedback.messages, std::vector<Message>{GetParam().expected});
    EXPECT_EQ(feedback.busyDepth, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MapDatabaseHeaderFile,
    ::testing::Values(
        HeaderFileCase{"emptyFile", [](Bytes& b) { b.clear(); }, error("PDB file data")},
        HeaderFileCase{"shortIdentity", [](Bytes& b) { b.resize(67); }, error("PDB file data")},
        HeaderFileCase{"notOrbilune", [](Bytes& b) { b[64] = 'X'; }, error("Not Orbilune data!")},
        HeaderFileCase{"shortList", [](Bytes& b) { b.resize(89); }, error("PDB file data")},
        HeaderFileCase{"recordZeroPastEnd", [](Bytes& b) { writeBe32(b.data() + 78, 0x00FFFFFF); },
                       error("PDB file data")},
        HeaderFileCase{"textHeaderPastEnd", [](Bytes& b) { writeBe32(b.data() + 86, 0x00FFFFFF); },
                       error("PDB file data")},
        HeaderFileCase{"tag", [](Bytes& b) { b[209] = 'F'; }, error("information header")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MapDatabaseHeaderCheck, MissingFileIsAWarning) {
    test::TempDir dir;
    test::RecordingFeedback feedback;
    DatabaseHeaderSummary summary;
    EXPECT_EQ(readDatabaseHeader(dir / "none.pdb", feedback, summary), DatabaseCheck::NotFound);
    EXPECT_EQ(feedback.messages,
              std::vector<Message>{warning("Error : Cannot find pdb-file", Icon::Exclamation)});
    EXPECT_FALSE(summary.opened);
}

TEST(MapDatabaseHeaderCheck, NoTextHeaderWhenRecordOneOffsetIsZero) {
    Bytes db = buildDatabase(richProject(), ColourMode::Bpp2, true, {40, 6});
    writeBe32(db.data() + 86, 0);
    db[208] = 'x';  // would be refused if it were read
    DatabaseHeaderSummary summary;
    const ByteReader reader = [&](std::uint64_t offset, std::uint8_t* data, std::size_t size) {
        if (offset > db.size() || size > db.size() - offset) return false;
        std::copy_n(db.begin() + static_cast<std::ptrdiff_t>(offset), size, data);
        return true;
    };
    EXPECT_EQ(checkDatabaseHeader(reader, summary), ParseResult::Parsed);
    EXPECT_EQ(summary.loadedBinding[2], 0);
}

}  // namespace
}  // namespace plotvane

namespace plotvane {
namespace {

TEST(MapDatabaseHeaderRead, FolderCannotBeOpened) {
    test::TempDir dir;
    test::RecordingFeedback feedback;
    DatabaseHeaderSummary summary;
    EXPECT_EQ(readDatabaseHeader(dir.path(), feedback, summary), DatabaseCheck::CannotOpen);
    EXPECT_EQ(feedback.messages, (std::vector<Message>{warning("Error : Cannot open pdb-file", Icon::Information)}));
}

}  // namespace
}  // namespace plotvane
