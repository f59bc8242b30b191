#include "raster/bmp_reader.h"

#include <algorithm>
#include <vector>

#include "project/byte_order.h"
#include "project/files.h"

namespace plotvane {

namespace {

constexpr std::uint16_t kBmpSignature = 0x4D42;  // "BM"

bool tooSmall(const BmpHeaders& h) { return h.biWidth < kMinBmpSide || pictureHeight(h) < kMinBmpSide; }
bool tooLarge(const BmpHeaders& h) { return h.biWidth > kMaxBmpSide || pictureHeight(h) > kMaxBmpSide; }

ClassBitmapResult classBitmapResult(HeaderFault fault) {
    switch (fault) {
        case HeaderFault::None: return ClassBitmapResult::Ok;
        case HeaderFault::NotBmp: return ClassBitmapResult::NotBmp;
        case HeaderFault::IllegalDepth: return ClassBitmapResult::IllegalDepth;
        case HeaderFault::Compressed: return ClassBitmapResult::Compressed;
        case HeaderFault::TooSmall: return ClassBitmapResult::TooSmall;
        case HeaderFault::TooLarge: return ClassBitmapResult::TooLarge;
        case HeaderFault::Truncated: return ClassBitmapResult::Truncated;
    }
    return ClassBitmapResult::Truncated;
}

}  // namespace

bool parseBmpHeaders(std::span<const std::uint8_t> bytes, BmpHeaders& h) {
    if (bytes.size() < kBmpHeaderBytes) return false;
    const std::uint8_t* p = bytes.data();
    h.bfType = readLe16(p);
    h.bfSize = readLe32(p + 2);
    h.bfReserved1 = readLe16(p + 6);
    h.bfReserved2 = readLe16(p + 8);
    h.bfOffBits = readLe32(p + 10);
    h.biSize = readLe32(p + 14);
    h.biWidth = static_cast<std::int32_t>(readLe32(p + 18));
    h.biHeight = static_cast<std::int32_t>(readLe32(p + 22));
    h.biPlanes = readLe16(p + 26);
    h.biBitCount = readLe16(p + 28);
    h.biCompression = readLe32(p + 30);
    h.biSizeImage = readLe32(p + 34);
    h.biXPelsPerMeter = static_cast<std::int32_t>(readLe32(p + 38));
    h.biYPelsPerMeter = static_cast<std::int32_t>(readLe32(p + 42));
    h.biClrUsed = readLe32(p + 46);
    h.biClrImportant = readLe32(p + 50);
    h.topDown = h.biHeight < 0;
    for (std::size_t i = 0; i < kFileHeaderBytes; ++i) h.fileHeaderBytes[i] = p[i];
    for (std::size_t i = 0; i < kInfoHeaderBytes; ++i) h.infoHeaderBytes[i] = p[kFileHeaderBytes + i];
    return true;
}

bool isSupportedBitDepth(std::uint16_t bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24;
}

std::uint64_t colourEntriesInFile(const BmpHeaders& h) {
    if (h.biClrUsed != 0) return h.biClrUsed;
    switch (h.biBitCount) {
        case 1: return 2;
        case 4: return 16;
        case 8: return 256;
        default: return 0;
    }
}

int colourEntriesKept(const BmpHeaders& h) {
    const std::uint64_t n = colourEntriesInFile(h);
    return n > kMaxColourEntries ? kMaxColourEntries : static_cast<int>(n);
}

bool hasBmpLayout(const BmpHeaders& h) {
    if (h.bfType != kBmpSignature) return false;
    if (h.biSize < kInfoHeaderBytes) return false;
    const std::uint64_t tableEnd = colourTableOffset(h) + 4 * colourEntriesInFile(h);
    return h.bfOffBits >= tableEnd;
}

std::uint64_t pixelRowBytes(std::int64_t width, std::uint16_t bitCount) {
    if (width <= 0) return 0;
    const auto w = static_cast<std::uint64_t>(width);
    return (w * bitCount + 7) / 8;
}

std::uint64_t pixelRowStride(std::int64_t width, std::uint16_t bitCount) {
    return (pixelRowBytes(width, bitCount) + 3) / 4 * 4;
}

bool pixelRowsFit(const BmpHeaders& h, std::uint64_t fileSize) {
    if (h.biWidth <= 0 || h.biHeight == 0) return false;
    const std::uint64_t needed =
        h.bfOffBits + pixelRowStride(h.biWidth, h.biBitCount) * static_cast<std::uint64_t>(pictureHeight(h));
    return needed <= fileSize;
}

std::uint64_t pixelRowOffset(const BmpHeaders& h, std::uint64_t stride, std::uint64_t rowFromBottom) {
    const auto rows = static_cast<std::uint64_t>(pictureHeight(h));
    const std::uint64_t stored = h.topDown ? rows - 1 - rowFromBottom : rowFromBottom;
    return h.bfOffBits + stored * stride;
}

HeaderFault classBitmapFault(const BmpFileInfo& info) {
    const BmpHeaders& h = info.headers;
    if (!info.headersComplete || !hasBmpLayout(h)) return HeaderFault::NotBmp;
    if (!isSupportedBitDepth(h.biBitCount)) return HeaderFault::IllegalDepth;
    if (h.biCompression != 0) return HeaderFault::Compressed;
    if (tooSmall(h)) return HeaderFault::TooSmall;
    if (tooLarge(h)) return HeaderFault::TooLarge;
    if (!pixelRowsFit(h, info.fileSize)) return HeaderFault::Truncated;
    return HeaderFault::None;
}

HeaderFault workRasterFault(const BmpFileInfo& info) {
    const BmpHeaders& h = info.headers;
    if (!info.headersComplete || !hasBmpLayout(h)) return HeaderFault::NotBmp;
    if (h.biCompression != 0) return HeaderFault::Compressed;
    if (tooSmall(h)) return HeaderFault::TooSmall;
    if (tooLarge(h)) return HeaderFault::TooLarge;
    if (!isSupportedBitDepth(h.biBitCount)) return HeaderFault::IllegalDepth;
    if (!pixelRowsFit(h, info.fileSize)) return HeaderFault::Truncated;
    return HeaderFault::None;
}

Message headerFaultMessage(HeaderFault fault) {
    switch (fault) {
        case HeaderFault::None: break;
        case HeaderFault::NotBmp: return warning("Error : this file is not bmp-file");
        case HeaderFault::IllegalDepth:
            return warning("This bmp-file has illegal color.\nCan not read this file.");
        case HeaderFault::Compressed:
            return warning("This bmp-file is compressed.\nPlease change non-compress bmp-file.");
        case HeaderFault::TooSmall: return warning("Error : Please check [Width>=160] & [Height>=160]");
        case HeaderFault::TooLarge: return warning("Error : Please check [Width<=4096] & [Height<=4096]");
        case HeaderFault::Truncated: return warning("Error : Cannot read bmp-file.");
    }
    return {};
}

bool readBmpFileInfo(std::FILE* file, BmpFileInfo& info) {
    info = {};
    if (fseeko(file, 0, SEEK_END) != 0) return false;
    const off_t end = ftello(file);
    if (end < 0 || !seekTo(file, 0)) return false;
    info.fileSize = static_cast<std::uint64_t>(end);

    std::array<std::uint8_t, kBmpHeaderBytes> bytes{};
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    info.headersComplete = parseBmpHeaders(std::span<const std::uint8_t>(bytes.data(), got), info.headers);
    if (!info.headersComplete && got >= 2) info.headers.bfType = readLe16(bytes.data());
    return true;
}

ColourTable parseColourTable(std::span<const std::uint8_t> bytes, const BmpHeaders& headers) {
    ColourTable table;
    const std::size_t available = bytes.size() / 4;
    const auto kept = static_cast<std::size_t>(colourEntriesKept(headers));
    table.count = static_cast<int>(kept < available ? kept : available);
    for (int i = 0; i < table.count; ++i) {
        const std::uint8_t* e = bytes.data() + 4 * static_cast<std::size_t>(i);
        table.bgr[static_cast<std::size_t>(i)] = {e[0], e[1], e[2]};
    }
    return table;
}

bool readColourTable(std::FILE* file, const BmpHeaders& headers, ColourTable& table) {
    table = {};
    const auto kept = static_cast<std::size_t>(colourEntriesKept(headers));
    std::array<std::uint8_t, 4 * kMaxColourEntries> bytes{};
    if (!seekTo(file, colourTableOffset(headers)) || !readExact(file, bytes.data(), 4 * kept)) return false;
    table = parseColourTable(std::span<const std::uint8_t>(bytes.data(), 4 * kept), headers);
    return true;
}

bool firstEntryIsLight(const ColourTable& table) {
    if (table.count < 1) return false;
    const auto& e = table.bgr[0];
    return e[0] != 0 && e[1] != 0 && e[2] != 0;
}

ClassBitmapResult checkClassBitmapHeaders(MapProject& project, int classIndex, const std::filesystem::path& path,
                                          Feedback& feedback) {
    if (!fileExists(path)) {
        feedback.show(warning("Error : Cannot find bmp-file", Icon::Exclamation));
        return ClassBitmapResult::NotFound;
    }
    FilePtr file = openFile(path, "rb");
    if (!file) {
        feedback.show(warning("Error : Cannot open bmp-file"));
        return ClassBitmapResult::CannotOpen;
    }
    BmpFileInfo info;
    if (!readBmpFileInfo(file.get(), info)) info.headersComplete = false;

    const HeaderFault fault = classBitmapFault(info);
    if (fault != HeaderFault::NotBmp) {
        const std::uint16_t depth = info.headers.biBitCount;
        project.sourceBitDepth = isSupportedBitDepth(depth) ? static_cast<std::uint8_t>(depth) : 0;
    }
    if (fault != HeaderFault::None) {
        feedback.show(headerFaultMessage(fault));
        return classBitmapResult(fault);
    }

    const BmpHeaders& h = info.headers;
    ColourTable table;
    if (h.biBitCount == 1 && !readColourTable(file.get(), h, table)) {
        feedback.show(headerFaultMessage(HeaderFault::Truncated));
        return ClassBitmapResult::Truncated;
    }
    if (classIndex < 0 || classIndex >= kClassSlots) return ClassBitmapResult::Ok;
    MapClassEntry& entry = project.classes[static_cast<std::size_t>(classIndex)];
    entry.width = static_cast<std::uint16_t>(h.biWidth);
    entry.height = static_cast<std::uint16_t>(pictureHeight(h));
    entry.pixelDataOffset = h.bfOffBits;
    entry.topDown = h.topDown ? 1 : 0;
    entry.bitDepth = static_cast<std::uint8_t>(h.biBitCount);
    if (h.biBitCount == 1) entry.invertedPolarity = firstEntryIsLight(table) ? 1 : 0;
    return ClassBitmapResult::Ok;
}

HeaderFault checkWorkRasterHeaders(MapProject& project, const BmpFileInfo& info, Feedback& feedback) {
    const HeaderFault fault = workRasterFault(info);
    const bool depthChecked = fault == HeaderFault::None || fault == HeaderFault::IllegalDepth ||
                              fault == HeaderFault::Truncated;
    if (depthChecked) {
        const std::uint16_t depth = info.headers.biBitCount;
        project.sourceBitDepth = isSupportedBitDepth(depth) ? static_cast<std::uint8_t>(depth) : 0;
    }
    if (fault != HeaderFault::None) feedback.show(headerFaultMessage(fault));
    return fault;
}

namespace {

// The brightness of pixel `x` of a source row.
double pixelBrightness(const std::uint8_t* row, std::size_t x, std::uint16_t depth, const ColourTable& table) {
    switch (depth) {
        case 1: return (row[x / 8] >> (7 - x % 8)) & 1u ? 0.0 : 255.0;
        case 4: {
            const unsigned index = x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15u;
            const Rgb c4 = table.rgb(index);
            return brightnessOf(limitedGreySum(c4[0], c4[1], c4[2]));
        }
        case 8: {
            const Rgb c8 = table.rgb(row[x]);
            return brightnessOf(limitedGreySum(c8[0], c8[1], c8[2]));
        }
        default: return brightnessOf(limitedGreySum(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
    }
}

}  // namespace

bool readPixelRows(std::FILE* file, const BmpHeaders& h, const ColourTable& table, dmatrix& matrix) {
    const std::int32_t width = h.biWidth;
    if (width <= 0 || h.biHeight == 0 || pictureHeight(h) > kMaxBmpSide || !isSupportedBitDepth(h.biBitCount))
        return false;
    const auto height = static_cast<std::int32_t>(pictureHeight(h));
    if (matrix.value == nullptr || matrix.maxrnum < height || matrix.maxcnum < width) return false;
    BmpRowReader reader(file, h);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(reader.stride()));
    if (!reader.start()) return false;

    for (std::int32_t r = 0; r < height; ++r) {
        if (!reader.read(row.data(), 1)) return false;
        for (std::int32_t c = 0; c < width; ++c) {
            const auto x = static_cast<std::size_t>(c);
            matrix.at(r, c) = pixelBrightness(row.data(), x, h.biBitCount, table);
        }
    }
    if (matrix.usedrnum < height) matrix.usedrnum = height;
    if (matrix.usedcnum < width) matrix.usedcnum = width;
    return true;
}

BmpRowReader::BmpRowReader(std::FILE* file, const BmpHeaders& headers)
    : file_(file), headers_(headers), stride_(pixelRowStride(headers.biWidth, headers.biBitCount)) {}

bool BmpRowReader::start() {
    nextRow_ = 0;
    return seekTo(file_, pixelRowOffset(headers_, stride_, 0));
}

bool BmpRowReader::read(std::uint8_t* dest, std::size_t rows) {
    const auto stride = static_cast<std::size_t>(stride_);
    if (rows == 0) return true;
    if (nextRow_ + rows > static_cast<std::uint64_t>(pictureHeight(headers_))) return false;
    if (!headers_.topDown) {
        nextRow_ += rows;
        return readExact(file_, dest, stride * rows);
    }
    // The block's rows lie in the file from its top row down to its bottom
    // row: read them as one run and turn the run over.
    const std::uint64_t top = nextRow_ + rows - 1;
    if (!seekTo(file_, pixelRowOffset(headers_, stride_, top)) || !readExact(file_, dest, stride * rows))
        return false;
    for (std::size_t i = 0, j = rows - 1; i < j; ++i, --j)
        std::swap_ranges(dest + i * stride, dest + (i + 1) * stride, dest + j * stride);
    nextRow_ += rows;
    return true;
}

}  // namespace plotvane
