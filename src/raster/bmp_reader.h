#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>

#include "project/feedback.h"
#include "project/map_project.h"
#include "raster/dmatrix.h"

namespace plotvane {

// What the check of a class bitmap found: its headers in the class-bitmap
// order, then the class against the class above and its record division.
// The values are the result codes callers see, and the check list gives a
// few findings the same code; callers act only on Ok versus the rest.
enum class ClassBitmapResult : int {
    Ok = 0,
    NotFound = 1,
    CannotOpen = 2,
    NotBmp = 2,
    IllegalDepth = 3,
    Compressed = 4,
    TooSmall = 5,
    TooLarge = 5,
    Truncated = 6,       // pixel rows run past the end of the file
    CannotDivide = 7,    // Class 1 cannot be cut into records
    NotInHierarchy = 8,  // the class does not fit the class above
    NoSuchClass = 9,     // a class index the check does not accept
};

inline constexpr std::size_t kFileHeaderBytes = 14;
inline constexpr std::size_t kInfoHeaderBytes = 40;
inline constexpr std::size_t kBmpHeaderBytes = kFileHeaderBytes + kInfoHeaderBytes;
inline constexpr int kMinBmpSide = 160;
inline constexpr int kMaxBmpSide = 4096;
inline constexpr int kMaxColourEntries = 256;

// The two BMP headers as stored (little-endian fields), plus their raw bytes.
struct BmpHeaders {
    std::uint16_t bfType = 0;
    std::uint32_t bfSize = 0;
    std::uint16_t bfReserved1 = 0;
    std::uint16_t bfReserved2 = 0;
    std::uint32_t bfOffBits = 0;
    std::uint32_t biSize = 0;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 0;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
    // A negative `biHeight`: the rows are stored top row first. Everything
    // that reads rows takes them in picture order from the bottom, so a
    // top-down file and its bottom-up twin give the same results.
    bool topDown = false;
    std::array<std::uint8_t, 14> fileHeaderBytes{};
    std::array<std::uint8_t, 40> infoHeaderBytes{};  // the first 40 bytes of the information header
};

// What a header check found wrong, in no particular order; each check
// order below decides which fault is reported first.
enum class HeaderFault { None, NotBmp, IllegalDepth, Compressed, TooSmall, TooLarge, Truncated };

// The headers of an open source file and how long that file is.
struct BmpFileInfo {
    BmpHeaders headers;
    bool headersComplete = false;  // 54 header bytes could be read
    std::uint64_t fileSize = 0;
};

// Colour table as kept in memory: up to 256 blue, green, red triples.
struct ColourTable {
    std::array<std::array<std::uint8_t, 3>, kMaxColourEntries> bgr{};
    int count = 0;

    // Red, green, blue of `index`; an index past the entries read is black.
    Rgb rgb(unsigned index) const {
        if (index >= static_cast<unsigned>(count)) return {0, 0, 0};
        const auto& e = bgr[index];
        return {e[2], e[1], e[0]};
    }
};

// Decodes the first 54 bytes of `bytes`. False when there are fewer.
bool parseBmpHeaders(std::span<const std::uint8_t> bytes, BmpHeaders& headers);

// Rows of the picture: the magnitude of `biHeight` (2^31 for INT32_MIN).
inline std::int64_t pictureHeight(const BmpHeaders& headers) {
    const std::int64_t h = headers.biHeight;
    return h < 0 ? -h : h;
}

// File offset of picture row `rowFromBottom` (0 = bottom row) of a file
// whose rows start at `bfOffBits`, `stride` bytes apart.
std::uint64_t pixelRowOffset(const BmpHeaders& headers, std::uint64_t stride, std::uint64_t rowFromBottom);

bool isSupportedBitDepth(std::uint16_t bitCount);

// Colour table entries stored in the file: `biClrUsed`, or the full table
// of the depth when it is 0 (no table for 24-bit or an unsupported depth).
std::uint64_t colourEntriesInFile(const BmpHeaders& headers);
// The entries kept in memory: the first 256 at most.
int colourEntriesKept(const BmpHeaders& headers);
// File offset of the colour table: right after the information header.
inline std::uint64_t colourTableOffset(const BmpHeaders& headers) {
    return kFileHeaderBytes + static_cast<std::uint64_t>(headers.biSize);
}

// Signature "BM", an information header of at least 40 bytes, and pixel
// rows that do not start inside the headers or the colour table.
bool hasBmpLayout(const BmpHeaders& headers);

// Bytes of one stored pixel row before and after padding to 4 bytes.
std::uint64_t pixelRowBytes(std::int64_t width, std::uint16_t bitCount);
std::uint64_t pixelRowStride(std::int64_t width, std::uint16_t bitCount);

// The file holds every padded pixel row from `bfOffBits` on. Expects a
// supported depth and a positive width and height.
bool pixelRowsFit(const BmpHeaders& headers, std::uint64_t fileSize);

// The first failing check in the order used when a class bitmap is chosen
// (not a BMP, depth, compression, minimum size, maximum size, truncation)
// and in the order used when a working raster is built (not a BMP,
// compression, minimum size, maximum size, depth, truncation).
HeaderFault classBitmapFault(const BmpFileInfo& info);
HeaderFault workRasterFault(const BmpFileInfo& info);

// The message shown for a fault.
Message headerFaultMessage(HeaderFault fault);

// Reads the headers and measures the file; the position afterwards is
// unspecified. False only when the file cannot be measured.
bool readBmpFileInfo(std::FILE* file, BmpFileInfo& info);

// Decodes the colour table from the bytes that start at its file offset.
// Entries past the end of `bytes` are left out.
ColourTable parseColourTable(std::span<const std::uint8_t> bytes, const BmpHeaders& headers);

// Reads the kept entries of the colour table of an open file. False on a
// short read.
bool readColourTable(std::FILE* file, const BmpHeaders& headers, ColourTable& table);

// Header checks in the class-bitmap order. On success records `width`,
// `height`, `pixelDataOffset`, `invertedPolarity`, `bitDepth` and `topDown` in
// `project.classes[classIndex]`; sets `project.sourceBitDepth` from the
// depth check on. Shows the first failing check's message.
ClassBitmapResult checkClassBitmapHeaders(MapProject& project, int classIndex, const std::filesystem::path& path,
                                          Feedback& feedback);

// The checks of the working-raster order that look at the headers of a
// source already open (not a BMP to truncation). Shows the first failing
// check's message and sets `project.sourceBitDepth` at the depth check.
// Returns what failed first, HeaderFault::None when nothing did; on NotBmp
// the caller must delete the raster file.
HeaderFault checkWorkRasterHeaders(MapProject& project, const BmpFileInfo& info, Feedback& feedback);

// A set bit of a 1-bit picture is light when the first colour table entry
// is dark, so the class is inverted when that entry has no zero component.
bool firstEntryIsLight(const ColourTable& table);

// Grey measure of a colour, S = 31 red + 59 green + 11 blue (0..25755).
inline int greySum(int red, int green, int blue) { return 31 * red + 59 * green + 11 * blue; }
inline int limitedGreySum(int red, int green, int blue) {
    const int s = greySum(red, green, blue);
    return s > 25500 ? 25500 : s;
}
// Brightness on the 0..255 scale as the dithering takes it.
inline double brightnessOf(int limitedSum) { return static_cast<double>(limitedSum) * 0.01; }

// Pixel-row reader: fills `matrix` (at least height rows by width columns)
// with one brightness per pixel, matrix row r = picture row r counted from
// the bottom (file row r of a bottom-up file), reading from `bfOffBits`. A 1-bit pixel gives 0.0 when its bit is
// set and 255.0 when clear. False when the rows cannot be read (or the
// matrix is too small).
bool readPixelRows(std::FILE* file, const BmpHeaders& headers, const ColourTable& table, dmatrix& matrix);

// Streams the pixel rows of an open BMP bottom row first, many rows per
// read, whichever way the file stores them.
class BmpRowReader {
public:
    // Expects headers that passed the checks (positive width, a height of
    // at most 4096 rows).
    BmpRowReader(std::FILE* file, const BmpHeaders& headers);

    // Positions the reader at the bottom row.
    bool start();
    // Reads the next `rows` padded rows into `dest` (rows x stride bytes),
    // the lowest of them first.
    bool read(std::uint8_t* dest, std::size_t rows);
    std::uint64_t stride() const { return stride_; }

private:
    std::FILE* file_;
    const BmpHeaders& headers_;
    std::uint64_t stride_;
    std::uint64_t nextRow_ = 0;
};

}  // namespace plotvane
