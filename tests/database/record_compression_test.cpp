#include "database/record_compression.h"

#include <gtest/gtest.h>

#include "database/map_database.h"
#include "project/files.h"
#include "support/bmp_writer.h"
#include "support/database_fixtures.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool tilePattern(int x, int y) {
    const int tile = (x / 160) + 7 * (y / 160);
    return (x * 3 + y * 5 + tile * 11) % (tile + 3) == 0;
}

// Expected packed row of a 1-bit tile whose pixels all lie inside the
// picture: a black pixel is stored as 1 in Original mode.
Bytes expectedRow(int x0, int y, int width, const std::function<bool(int, int)>& black) {
    Bytes row(tileRowBytes(ColourMode::Original, static_cast<std::uint32_t>(width)), 0);
    for (int x = 0; x < width; ++x)
        if (black(x0 + x, y)) row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    return row;
}

class RecordCompressionTest : public ::testing::Test {
protected:
    int pass(int classIndex, ColourMode mode, bool compress, std::uint64_t budget = std::uint64_t{8} << 20) {
        CompressionRequest request{dir.path(), false, false, budget};
        return static_cast<int>(compressClassRecords(project, classIndex, mode, compress, request, feedback, updates));
    }
    Bytes compressionFile() const { return test::fileBytesOrEmpty(dir / kCompressionFileName); }

    test::TempDir dir;
    MapProject project;
    test::RecordingFeedback feedback;
    ControlUpdates updates;
};

TEST_F(RecordCompressionTest, TwoByTwoClassGivesFourRecordsInReadingOrder) {
    test::addOneBitClass(project, 0, dir / "class1.bmp", 320, 320, 2, 2, tilePattern);
    project.recordCounter = 5;  // the counter runs on from earlier classes
    ASSERT_EQ(pass(0, ColourMode::Original, false), 0);
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ(project.recordCounter, 9);
    ASSERT_GE(project.recordSizes.size(), 9u);

    Bytes expected;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            for (int y = 160 * r; y < 160 * (r + 1); ++y) {
                const Bytes row = expectedRow(160 * c, y, 160, tilePattern);
                expected.insert(expected.end(), row.begin(), row.end());
            }
    EXPECT_EQ(compressionFile(), expected);
    for (std::size_t i = 5; i < 9; ++i) EXPECT_EQ(project.recordSizes[i], 160u * 20u);
}

TEST_F(RecordCompressionTest, PolarityOfTheColourTableDoesNotChangeTheStoredBits) {
    test::addOneBitClass(project, 0, dir / "black_first.bmp", 160, 160, 1, 1, tilePattern, false);
    ASSERT_EQ(pass(0, ColourMode::Original, false), 0);
    const Bytes blackFirst = compressionFile();

    project.recordCounter = 0;
    test::addOneBitClass(project, 0, dir / "white_first.bmp", 160, 160, 1, 1, tilePattern, true);
    ASSERT_EQ(project.classes[0].invertedPolarity, 1);
    ASSERT_EQ(pass(0, ColourMode::Original, false), 0);
    EXPECT_EQ(compressionFile(), blackFirst);

    Bytes expected;
    for (int y = 0; y < 160; ++y) {
        const Bytes row = expectedRow(0, y, 160, tilePattern);
        expected.insert(expected.end(), row.begin(), row.end());
    }
    EXPECT_EQ(blackFirst, expected);
}

struct EdgeCase {
    const char* name;
    int width;
    int columns;
    std::uint8_t paddingFill;
    bool whiteFirst;
};

class RecordCompressionEdge : public RecordCompressionTest, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(RecordCompressionEdge, BitsPastTheTileAreTheNextSourceBits) {
    const EdgeCase& e = GetParam();
    const auto black = [](int x, int y) { return (x + y) % 3 == 0; };
    test::addOneBitClass(project, 0, dir / "edge.bmp", e.width, 160, e.columns, 1, black, e.whiteFirst,
                         e.paddingFill);
    ASSERT_EQ(pass(0, ColourMode::Original, false), 0);

    // Source bits as stored: the picture (black is 1 after the polarity),
    // zero bits up to the byte end, padding bytes, then zero bytes.
    const int w = e.width / e.columns;
    const std::size_t rowBytes = tileRowBytes(ColourMode::Original, static_cast<std::uint32_t>(w));
    const int storedBits = static_cast<int>(sourceRowStride(ColourMode::Original, static_cast<std::uint32_t>(e.width))) * 8;
    const int usedBits = (e.width + 7) / 8 * 8;
    Bytes expected;
    for (int c = 0; c < e.columns; ++c)
        for (int y = 0; y < 160; ++y) {
            Bytes row(rowBytes, 0);
            for (int x = 0; x < static_cast<int>(rowBytes * 8); ++x) {
                const int p = c * w + x;
                bool bit;
                if (p < e.width) {
                    bit = black(p, y);
                } else {
                    bool source = false;
                    if (p >= usedBits && p < storedBits) source = (e.paddingFill >> (7 - p % 8)) & 1;
                    bit = e.whiteFirst ? source : !source;
                }
                if (bit) row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
            expected.insert(expected.end(), row.begin(), row.end());
        }
    EXPECT_EQ(compressionFile(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecordCompressionEdge,
    ::testing::Values(
        // 170-pixel tiles: tile 0 ends with tile 1's first pixels, tile 1
        // with the partial byte, the padding byte 0xA5.
        EdgeCase{"nextTileAndPadding", 340, 2, 0xA5, false},
        EdgeCase{"nextTileAndPaddingKept", 340, 2, 0xA5, true},
        // 168-pixel tiles in a 672-pixel row without padding: the last tile
        // reaches into the zero bytes after the row.
        EdgeCase{"zeroBytesAfterRow", 672, 4, 0x00, false},
        EdgeCase{"zeroBytesAfterRowKept", 672, 4, 0x00, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecordCompressionTest, CompressedRecordsAreTheSumOfTheirRowCodes) {
    test::addOneBitClass(project, 0, dir / "class1.bmp", 320, 320, 2, 2, tilePattern);
    ASSERT_EQ(pass(0, ColourMode::Original, false), 0);
    const Bytes plain = compressionFile();

    project.recordCounter = 0;
    ASSERT_EQ(pass(0, ColourMode::Original, true), 0);
    const Bytes coded = compressionFile();
    ASSERT_EQ(project.recordCounter, 4);

    std::size_t at = 0;
    for (std::size_t r = 0; r < 4; ++r) {
        const std::uint32_t length = project.recordSizes[r];
        const std::span<const std::uint8_t> code(coded.data() + at, length);
        Bytes rows;
        ASSERT_EQ(decodeRunLength(code, 20, 160, rows), DecodeResult::Ok) << r;
        EXPECT_TRUE(std::equal(rows.begin(), rows.end(), plain.begin() + static_cast<std::ptrdiff_t>(r * 3200))) << r;
        std::size_t sum = 0;
        for (std::size_t y = 0; y < 160; ++y) {
            Bytes one;
            encodeRunLength(std::span<const std::uint8_t>(rows.data() + y * 20, 20), one);
            sum += one.size();
        }
        EXPECT_EQ(length, sum);
        at += length;
    }
    EXPECT_EQ(at, coded.size());
}

TEST_F(RecordCompressionTest, OutputDoesNotDependOnTheMemoryBudget) {
    test::addOneBitClass(project, 0, dir / "class1.bmp", 480, 320, 3, 2, tilePattern);
    for (const bool compress : {false, true}) {
        std::vector<Bytes> files;
        std::vector<std::vector<std::uint32_t>> sizes;
        // Whole tile rows, groups of two columns, one column streamed.
        for (const std::uint64_t budget : {std::uint64_t{8} << 20, std::uint64_t{2 * 160 * 20 * 2}, std::uint64_t{1}}) {
            project.recordCounter = 0;
            project.recordSizes.clear();
            ASSERT_EQ(pass(0, ColourMode::Original, compress, budget), 0);
            files.push_back(compressionFile());
            sizes.push_back(project.recordSizes);
        }
        EXPECT_EQ(files[1], files[0]);
        EXPECT_EQ(files[2], files[0]);
        EXPECT_EQ(sizes[1], sizes[0]);
        EXPECT_EQ(sizes[2], sizes[0]);
    }
}

TEST_F(RecordCompressionTest, LaterClassesAppendAndTheCounterRunsOn) {
    test::addOneBitClass(project, 0, dir / "class1.bmp", 160, 160, 1, 1, tilePattern);
    test::addOneBitClass(project, 1, dir / "class2.bmp", 320, 320, 2, 2, tilePattern);
    ASSERT_EQ(pass(0, ColourMode::Original, false), 0);
    ASSERT_EQ(pass(1, ColourMode::Original, false), 0);
    EXPECT_EQ(project.recordCounter, 5);
    EXPECT_EQ(compressionFile().size(), 5u * 3200u);
}

TEST_F(RecordCompressionTest, ModeOneStoresBlackAsOne) {
    const auto black = [](int x, int y) { return (x / 3 + y) % 4 == 0; };
    test::addOneBitClass(project, 0, dir / "class1.bmp", 160, 160, 1, 1, black);
    ASSERT_EQ(pass(0, ColourMode::Bpp1, true), 0) << ::testing::PrintToString(feedback.messages);
    Bytes rows;
    ASSERT_EQ(decodeRunLength(compressionFile(), 20, 160, rows), DecodeResult::Ok);
    Bytes expected;
    for (int y = 0; y < 160; ++y) {
        const Bytes row = expectedRow(0, y, 160, black);
        expected.insert(expected.end(), row.begin(), row.end());
    }
    EXPECT_EQ(rows, expected);
    EXPECT_TRUE(fileExists(dir / kDatabaseRasterName));  // left for the writer to remove
}

// ---- Failures ---------------------------------------------------------

struct FailureCase {
    const char* name;
    std::function<void(MapProject&, const std::filesystem::path& dir)> arrange;
    int classIndex;
    ColourMode mode;
    Message expected;  // the last message shown
    int code;
    bool compressionFileRemains;
};

class RecordCompressionFailure : public RecordCompressionTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RecordCompressionFailure, ShowsItsMessageAndCleansUp) {
    const FailureCase& f = GetParam();
    test::addOneBitClass(project, 0, dir / "class1.bmp", 320, 320, 2, 2, tilePattern);
    test::addOneBitClass(project, 1, dir / "class2.bmp", 640, 640, 4, 4, tilePattern);
    f.arrange(project, dir.path());
    std::filesystem::path work = dir.path();
    if (std::string(f.name) == "compressionFileCannotBeMade") work = dir / "no_such_folder";
    CompressionRequest request{work, false, false};
    EXPECT_EQ(static_cast<int>(compressClassRecords(project, f.classIndex, f.mode, false, request, feedback, updates)), f.code);
    ASSERT_FALSE(feedback.messages.empty());
    EXPECT_EQ(feedback.messages.back(), f.expected);
    EXPECT_EQ(fileExists(dir / kCompressionFileName), f.compressionFileRemains);
}

const auto noChange = [](MapProject&, const std::filesystem::path&) {};

INSTANTIATE_TEST_SUITE_P(
    Table, RecordCompressionFailure,
    ::testing::Values(
        FailureCase{"compressionFileCannotBeMade", noChange, 0, ColourMode::Original,
                    warning("Error : Cannot make  compression temp file.", Icon::Exclamation), 1, false},
        FailureCase{"compressionFileMissingForLaterClass", noChange, 1, ColourMode::Original,
                    warning("Error : Cannot open  compression temp file.", Icon::Exclamation), 1, false},
        FailureCase{"classBitmapNotOneBit",
                    [](MapProject& p, const std::filesystem::path&) { p.classes[0].bitDepth = 4; }, 0, ColourMode::Original,
                    warning("Error : Original bitmap file format support 1bits/pixel mode only."), 1, false},
        FailureCase{"laterClassNotOneBit",
                    [](MapProject& p, const std::filesystem::path& d) {
                        test::writeFile(d / kCompressionFileName, {1, 2, 3});
                        p.classes[1].bitDepth = 8;
                    },
                    1, ColourMode::Original, warning("Error : Original bitmap file format support 1bits/pixel mode only."), 1, false},
        FailureCase{"classFileDeleted",
                    [](MapProject&, const std::filesystem::path& d) { std::filesystem::remove(d / "class1.bmp"); },
                    0, ColourMode::Original, warning("Error : Cannot open bmp-file."), 2, false},
        FailureCase{"classFileTruncated",
                    [](MapProject&, const std::filesystem::path& d) {
                        std::filesystem::resize_file(d / "class1.bmp", 62 + 40 * 300);
                    },
                    0, ColourMode::Original, warning("Error : Cannot read bmp-file."), 4, false},
        FailureCase{"conversionFails",
                    [](MapProject&, const std::filesystem::path& d) { std::filesystem::remove(d / "class1.bmp"); },
                    0, ColourMode::Bpp1, warning("Error : This bitmap file cannot change color mode."), 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecordCompressionTest, FailureOfALaterClassRemovesTheFileOfEarlierOnes) {
    test::addOneBitClass(project, 0, dir / "class1.bmp", 160, 160, 1, 1, tilePattern);
    test::addOneBitClass(project, 1, dir / "class2.bmp", 320, 320, 2, 2, tilePattern);
    ASSERT_EQ(pass(0, ColourMode::Original, false), 0);
    std::filesystem::remove(dir / "class2.bmp");
    EXPECT_EQ(pass(1, ColourMode::Original, false), 2);
    EXPECT_EQ(feedback.messages, std::vector<Message>{warning("Error : Cannot open bmp-file.")});
    EXPECT_FALSE(fileExists(dir / kCompressionFileName));
}

}  // namespace
}  // namespace plotvane
