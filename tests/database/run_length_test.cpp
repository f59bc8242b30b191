#include <gtest/gtest.h>

#include "database/map_database.h"
#include "database/record_compression.h"

namespace plotvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes encoded(const Bytes& row) {
    Bytes out;
    encodeRunLength(row, out);
    return out;
}

Bytes repeat(std::size_t n, std::uint8_t v) { return Bytes(n, v); }

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct CodeCase {
    const char* name;
    Bytes row;
    Bytes code;
};

class RunLengthExamples : public ::testing::TestWithParam<CodeCase> {};

TEST_P(RunLengthExamples, EncodesAndDecodes) {
    EXPECT_EQ(encoded(GetParam().row), GetParam().code);
    Bytes back;
    EXPECT_EQ(decodeRunLength(GetParam().code, GetParam().row.size(), 1, back), DecodeResult::Ok);
    EXPECT_EQ(back, GetParam().row);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunLengthExamples,
    ::testing::Values(CodeCase{"mixedRow", {0x00, 0x00, 0x00, 0xFF}, {3, 0x00, 1, 0xFF}},
                      CodeCase{"twoHundredSame", repeat(200, 0xFF), {160, 0xFF, 40, 0xFF}},
                      CodeCase{"run161", repeat(161, 7), {160, 7, 1, 7}},
                      CodeCase{"run320", repeat(320, 7), {160, 7, 160, 7}},
                      CodeCase{"run321", repeat(321, 7), {160, 7, 160, 7, 1, 7}},
                      CodeCase{"alternatingDoubles", {1, 2, 1, 2, 1, 2}, {1, 1, 1, 2, 1, 1, 1, 2, 1, 1, 1, 2}},
                      CodeCase{"runsAcrossCapThenChange",
                               concat({repeat(165, 0xAA), repeat(2, 0x55)}),
                               {160, 0xAA, 5, 0xAA, 2, 0x55}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunLength, EveryRunLengthAroundTheCapRoundTrips) {
    for (std::size_t n = 1; n <= 400; ++n) {
        // A run of n between two different bytes, so both edges are tested.
        const Bytes row = concat({{0x11}, repeat(n, 0x22), {0x33}});
        const Bytes code = encoded(row);
        EXPECT_EQ(code.size(), 2 * (2 + (n + 159) / 160)) << n;
        for (std::size_t i = 0; i < code.size(); i += 2) EXPECT_LE(code[i], 160) << n;
        Bytes back;
        ASSERT_EQ(decodeRunLength(code, row.size(), 1, back), DecodeResult::Ok) << n;
        EXPECT_EQ(back, row) << n;
    }
}

TEST(RunLength, EveryByteValueRoundTrips) {
    Bytes row;
    for (int v = 0; v < 256; ++v) row.insert(row.end(), static_cast<std::size_t>(v % 3 + 1), static_cast<std::uint8_t>(v));
    Bytes back;
    ASSERT_EQ(decodeRunLength(encoded(row), row.size(), 1, back), DecodeResult::Ok);
    EXPECT_EQ(back, row);
}

TEST(RunLength, RowsAreCodedOnTheirOwn) {
    // Two rows of the same byte: no pair spans the row boundary.
    Bytes code;
    encodeRunLength(repeat(20, 9), code);
    encodeRunLength(repeat(20, 9), code);
    EXPECT_EQ(code, (Bytes{20, 9, 20, 9}));
    Bytes back;
    EXPECT_EQ(decodeRunLength(code, 20, 2, back), DecodeResult::Ok);
    EXPECT_EQ(back, repeat(40, 9));
}

struct BadCode {
    const char* name;
    Bytes code;
    std::size_t rowBytes;
    std::size_t rows;
    DecodeResult expected;
};

class RunLengthBadCode : public ::testing::TestWithParam<BadCode> {};

TEST_P(RunLengthBadCode, IsRefused) {
    Bytes out;
    EXPECT_EQ(decodeRunLength(GetParam().code, GetParam().rowBytes, GetParam().rows, out), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunLengthBadCode,
    ::testing::Values(BadCode{"zeroCount", {0, 1, 4, 1}, 4, 1, DecodeResult::BadCount},
                      BadCode{"countAboveCap", {161, 1}, 200, 1, DecodeResult::BadCount},
                      BadCode{"spansRows", {3, 1, 3, 1}, 4, 2, DecodeResult::RowOverrun},
                      BadCode{"halfPair", {4, 1, 2}, 4, 2, DecodeResult::Truncated},
                      BadCode{"tooFewRows", {4, 1}, 4, 2, DecodeResult::Truncated},
                      BadCode{"trailing", {4, 1, 4, 1}, 4, 1, DecodeResult::Trailing}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Packing --------------------------------------------------------------

// Pixel i of a stored source row, one pixel at a time, zero past its end.
unsigned sourcePixel(const Bytes& row, std::uint8_t mode, std::size_t i) {
    const unsigned bits = mode <= 1 ? 1 : (mode == 8 ? 8 : 4);
    const std::size_t bit = i * bits;
    const std::size_t byte = bit / 8;
    if (byte >= row.size()) return 0;
    return (row[byte] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
}

Bytes referencePack(std::uint8_t mode, const Bytes& row, std::uint32_t first, std::size_t rowBytes, bool keep) {
    const unsigned outBits = mode == 0 ? 1 : mode;
    Bytes out(rowBytes, 0);
    for (std::size_t x = 0; x < rowBytes * 8 / outBits; ++x) {
        unsigned v = sourcePixel(row, mode, first + x);
        switch (mode) {
            case 0: v = keep ? v : 1 - v; break;
            case 1: v = 1 - v; break;
            case 2: v = 3 - (v & 3); break;
            case 4: v = 15 - v; break;
            default: break;
        }
        const std::size_t bit = x * outBits;
        out[bit / 8] |= static_cast<std::uint8_t>(v << (8 - outBits - bit % 8));
    }
    return out;
}

Bytes patternRow(std::size_t size, unsigned seed) {
    Bytes row(size);
    for (std::size_t i = 0; i < size; ++i) row[i] = static_cast<std::uint8_t>((i * 37 + seed * 101 + (i >> 3)) & 0xFF);
    return row;
}

TEST(RecordCompressionPacking, MatchesPixelByPixelPackingAtEveryStartPixel) {
    for (const ColourMode mode : kColourModes) {
        const std::uint32_t width = 413;
        const std::uint32_t stride = sourceRowStride(mode, width);
        Bytes row = patternRow(stride, colourModeByte(mode));
        row.insert(row.end(), 4, 0);  // the zero bytes after the stored row
        for (std::uint32_t tileWidth : {160u, 161u, 163u, 167u, 206u}) {
            for (std::uint32_t first = 0; first + tileWidth <= width; first += tileWidth / 2 + 1) {
                const std::size_t rowBytes = tileRowBytes(mode, tileWidth);
                for (const bool keep : {false, true}) {
                    Bytes packed(rowBytes);
                    packTileRow(mode, row, first, keep, packed);
                    EXPECT_EQ(packed, referencePack(colourModeByte(mode), row, first, rowBytes, keep))
                        << "mode " << int(colourModeByte(mode)) << " width " << tileWidth << " first " << first;
                }
            }
        }
    }
}

TEST(RecordCompressionPacking, ModeTwoTileStartsAtItsOwnLeftEdge) {
    // Nibble i of the raster row holds i mod 4 in its low bits; a tile 213
    // pixels wide in column 1 begins with source pixel 213 (213 mod 4 = 1).
    const std::uint32_t width = 426;
    Bytes row(sourceRowStride(ColourMode::Bpp2, width) + 4, 0);
    for (std::uint32_t i = 0; i < width; ++i)
        row[i / 2] |= static_cast<std::uint8_t>((0x4 | (i % 4)) << (i % 2 == 0 ? 4 : 0));
    Bytes packed(tileRowBytes(ColourMode::Bpp2, 213));
    ASSERT_EQ(packed.size(), 54u);
    packTileRow(ColourMode::Bpp2, row, 213, false, packed);
    // Pixels 213, 214, 215, 216 -> 3 - (1, 2, 3, 0) = 2, 1, 0, 3.
    EXPECT_EQ(packed[0], 0b10010011);
    EXPECT_EQ(packed[1], 0b10010011);
    // Pixels 425..428: 425 is the last real pixel (1 -> 2), then three
    // zero nibbles past the width (-> 3).
    EXPECT_EQ(packed[53], 0b10111111);
}

TEST(RecordCompressionPacking, BitsPastTheRowAreZeroBytesInverted) {
    // Mode 1, tile starting at pixel 4 of a 16-pixel row: its last output
    // byte reaches 4 bits into the zero bytes that follow the row.
    const Bytes row{0x0F, 0xF0, 0x00, 0x00, 0x00, 0x00};
    Bytes packed(2);
    packTileRow(ColourMode::Bpp1, row, 4, false, packed);
    EXPECT_EQ(packed, (Bytes{0x00, 0xFF}));
    packTileRow(ColourMode::Original, row, 4, true, packed);
    EXPECT_EQ(packed, (Bytes{0xFF, 0x00}));
}

TEST(RecordCompressionPacking, ReadsNothingPastTheGivenRow) {
    // A row shorter than the packed width is treated as zero past its end.
    const Bytes row{0xAB};
    Bytes packed(4);
    packTileRow(ColourMode::Bpp8, row, 0, false, packed);
    EXPECT_EQ(packed, (Bytes{0xAB, 0, 0, 0}));
}

TEST(RecordCompressionPacking, SourceStridePerMode) {
    EXPECT_EQ(sourceRowStride(ColourMode::Original, 161), 24u);
    EXPECT_EQ(sourceRowStride(ColourMode::Bpp1, 160), 20u);
    EXPECT_EQ(sourceRowStride(ColourMode::Bpp2, 161), 84u);
    EXPECT_EQ(sourceRowStride(ColourMode::Bpp4, 160), 80u);
    EXPECT_EQ(sourceRowStride(ColourMode::Bpp8, 161), 164u);
}

}  // namespace
}  // namespace plotvane
