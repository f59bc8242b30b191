#include "database/record_compression.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "database/map_database.h"
#include "project/files.h"
#include "raster/work_raster.h"

namespace plotvane {

namespace {

// Source rows are read in blocks of about this size.
constexpr std::size_t kReadBlock = 256u << 10;
// The share of a class's pass its conversion to the working raster takes.
constexpr double kConversionShare = 0.6;
// Zero bytes kept after a copied source row: the 4 the packing may reach
// plus slack for the neighbouring byte of a shifted read.
constexpr std::size_t kRowTail = 16;

struct RowSource {
    std::span<const std::uint8_t> row;
    std::uint8_t at(std::size_t i) const { return i < row.size() ? row[i] : 0; }
    // Byte j of the nibble stream that starts at nibble `first`.
    std::uint8_t nibblePair(std::size_t first, std::size_t j) const {
        const std::size_t b = first / 2 + j;
        if (first % 2 == 0) return at(b);
        return static_cast<std::uint8_t>((at(b) << 4) | (at(b + 1) >> 4));
    }
};

// Two mode-2 pixels from one nibble pair: 3 minus the low two bits of each.
std::uint8_t greyPairOf4(std::uint8_t s) {
    return static_cast<std::uint8_t>(((((s >> 4) & 3) << 2) | (s & 3)) ^ 0x0F);
}

}  // namespace

std::uint32_t sourceRowStride(ColourMode mode, std::uint32_t width) {
    // The working raster's rows; in mode 0 the 1-bit class bitmap's rows,
    // which are laid out as a mode-1 raster's.
    if (!isColourMode(mode) || width > static_cast<std::uint32_t>(INT32_MAX)) return 0;
    return rasterRowBytes(static_cast<std::int32_t>(width), mode);
}

namespace {

// Modes 0 and 1: the bits from pixel `firstPixel` on, inverted unless `flip` is 0.
void packOneBitRow(std::span<const std::uint8_t> sourceRow, std::uint32_t firstPixel, std::uint8_t flip,
                   std::span<std::uint8_t> packed) {
    const RowSource src{sourceRow};
    const std::size_t n = packed.size();
    const std::size_t byte0 = firstPixel / 8;
    const unsigned shift = firstPixel % 8;
    // Bytes whose neighbour lies inside the row need no bounds test.
    std::size_t i = 0;
    if (byte0 + 1 < sourceRow.size()) {
        const std::size_t safe = std::min(n, sourceRow.size() - byte0 - 1);
        const std::uint8_t* s = sourceRow.data() + byte0;
        if (shift == 0) {
            for (; i < safe; ++i) packed[i] = static_cast<std::uint8_t>(s[i] ^ flip);
        } else {
            for (; i < safe; ++i)
                packed[i] = static_cast<std::uint8_t>(((s[i] << shift) | (s[i + 1] >> (8 - shift))) ^ flip);
        }
    }
    for (; i < n; ++i) {
        std::uint8_t v = src.at(byte0 + i);
        if (shift != 0) v = static_cast<std::uint8_t>((v << shift) | (src.at(byte0 + i + 1) >> (8 - shift)));
        packed[i] = static_cast<std::uint8_t>(v ^ flip);
    }
}

// Mode 2 from the 4-bit raster: two nibble pairs give one byte of four pixels.
void packTwoBitRow(std::span<const std::uint8_t> sourceRow, std::uint32_t firstPixel, std::span<std::uint8_t> packed) {
    const RowSource src{sourceRow};
    for (std::size_t i = 0; i < packed.size(); ++i) {
        const std::uint8_t hi = greyPairOf4(src.nibblePair(firstPixel, 2 * i));
        const std::uint8_t lo = greyPairOf4(src.nibblePair(firstPixel, 2 * i + 1));
        packed[i] = static_cast<std::uint8_t>((hi << 4) | lo);
    }
}

// Mode 4: 15 minus each nibble.
void packFourBitRow(std::span<const std::uint8_t> sourceRow, std::uint32_t firstPixel, std::span<std::uint8_t> packed) {
    const RowSource src{sourceRow};
    for (std::size_t i = 0; i < packed.size(); ++i)
        packed[i] = static_cast<std::uint8_t>(src.nibblePair(firstPixel, i) ^ 0xFF);
}

// Mode 8: the bytes as they are, zero past the row's end.
void packEightBitRow(std::span<const std::uint8_t> sourceRow, std::uint32_t firstPixel, std::span<std::uint8_t> packed) {
    for (std::size_t i = 0; i < packed.size(); ++i) {
        const std::size_t at = std::size_t{firstPixel} + i;
        if (at >= sourceRow.size()) {
            std::fill(packed.begin() + static_cast<std::ptrdiff_t>(i), packed.end(), std::uint8_t{0});
            return;
        }
        packed[i] = sourceRow[at];
    }
}

}  // namespace

void packTileRow(ColourMode mode, std::span<const std::uint8_t> sourceRow, std::uint32_t firstPixel,
                 bool keepOriginalBits, std::span<std::uint8_t> packed) {
    switch (mode) {
        case ColourMode::Original:
        case ColourMode::Bpp1: {
            const std::uint8_t flip = (mode == ColourMode::Original && keepOriginalBits) ? 0x00 : 0xFF;
            packOneBitRow(sourceRow, firstPixel, flip, packed);
            return;
        }
        case ColourMode::Bpp2: packTwoBitRow(sourceRow, firstPixel, packed); return;
        case ColourMode::Bpp4: packFourBitRow(sourceRow, firstPixel, packed); return;
        case ColourMode::Bpp8: packEightBitRow(sourceRow, firstPixel, packed); return;
        default: std::fill(packed.begin(), packed.end(), std::uint8_t{0}); return;
    }
}

void encodeRunLength(std::span<const std::uint8_t> row, std::vector<std::uint8_t>& out) {
    if (row.empty()) return;
    std::uint8_t value = row[0];
    unsigned count = 1;
    for (std::size_t i = 1; i < row.size(); ++i) {
        const std::uint8_t b = row[i];
        if (b == value && count < kMaxRunLength) {
            ++count;
            continue;
        }
        out.push_back(static_cast<std::uint8_t>(count));
        out.push_back(value);
        value = b;
        count = 1;
    }
    out.push_back(static_cast<std::uint8_t>(count));
    out.push_back(value);
}

namespace {

// The decoding loop over plain pointers that nothing else can see, so
// that the byte stores cannot be taken to change them. [dst, dstEnd) has
// room for every byte the code can give; `written` and `read` tell how far
// it got.
DecodeResult decodeRows(const std::uint8_t* code, const std::uint8_t* end, std::size_t rowBytes, std::size_t rows,
                        std::uint8_t* dst, std::uint8_t* dstEnd, std::size_t& written, std::size_t& read) {
    const std::uint8_t* const codeStart = code;
    std::uint8_t* const dstStart = dst;
    DecodeResult result = DecodeResult::Ok;
    for (std::size_t r = 0; r < rows && result == DecodeResult::Ok; ++r) {
        std::size_t left = rowBytes;
        while (left > 0) {
            if (end - code < 2) {
                result = DecodeResult::Truncated;
                break;
            }
            const std::size_t count = code[0];
            const std::uint8_t value = code[1];
            if (count == 0 || count > kMaxRunLength) {
                result = DecodeResult::BadCount;
                break;
            }
            if (count > left) {
                result = DecodeResult::RowOverrun;
                break;
            }
            code += 2;
            // Dithered rows are mostly runs of a few bytes: eight are
            // stored at once where there is room, the next run overwrites
            // what lies past this one.
            if (count <= 8 && dstEnd - dst >= 8) {
                const std::uint64_t eight = value * 0x0101010101010101ull;
                std::memcpy(dst, &eight, 8);
            } else {
                std::memset(dst, value, count);
            }
            dst += count;
            left -= count;
        }
    }
    if (result == DecodeResult::Ok && code != end) result = DecodeResult::Trailing;
    written = static_cast<std::size_t>(dst - dstStart);
    read = static_cast<std::size_t>(code - codeStart);
    return result;
}

}  // namespace

DecodeResult decodeRunLength(std::span<const std::uint8_t> code, std::size_t rowBytes, std::size_t rows,
                             std::vector<std::uint8_t>& out) {
    const std::size_t start = out.size();
    // Room for what the code can give at most, so that sizes from a damaged
    // header never allocate more than the code could fill.
    const std::size_t most = code.size() / 2 * kMaxRunLength;
    const std::size_t total = rows != 0 && rowBytes > most / rows ? most : rowBytes * rows;
    out.resize(start + total);
    std::size_t written = 0;
    std::size_t read = 0;
    const DecodeResult result = decodeRows(code.data(), code.data() + code.size(), rowBytes, rows,
                                           out.data() + start, out.data() + out.size(), written, read);
    out.resize(start + written);
    return result;
}

namespace {

// One pass over one class; the public function wraps it with the clean-up.
class ClassPass {
public:
    ClassPass(MapProject& project, int classIndex, ColourMode mode, bool compress,
              const CompressionRequest& request, Feedback& feedback, ControlUpdates& updates)
        : project_(project),
          classIndex_(classIndex),
          mode_(mode),
          compress_(compress),
          request_(request),
          feedback_(feedback),
          updates_(updates),
          compressionPath_(request.workDir / kCompressionFileName),
          rasterPath_(request.workDir / kDatabaseRasterName) {}

    CompressionResult run() {
        if (const CompressionResult rc = openCompressionFile(); rc != CompressionResult::Ok) return rc;
        if (const CompressionResult rc = prepareSource(); rc != CompressionResult::Ok) return rc;
        return cutTiles();
    }

private:
    CompressionResult fail(const char* text, Icon icon, CompressionResult code) {
        compression_.reset();
        source_.reset();
        removeIfExists(compressionPath_);
        feedback_.show(warning(text, icon));
        return code;
    }
    // A stop asked for: as a failure, without a message.
    CompressionResult cancelled() {
        compression_.reset();
        source_.reset();
        removeIfExists(compressionPath_);
        return CompressionResult::Cancelled;
    }
    CompressionResult writeFailed() {
        const int error = errno;
        fail("Error : Cannot make  compression temp file.", Icon::Exclamation, CompressionResult::CannotWriteCompressionFile);
        feedback_.explain(FileProblem{FileProblem::Kind::CannotWrite, compressionPath_, {}, {}, error});
        return CompressionResult::CannotWriteCompressionFile;
    }

    CompressionResult openCompressionFile() {
        if (classIndex_ == 0) {
            compression_ = openFile(compressionPath_, "wb");
            if (!compression_) {
                const int error = errno;
                feedback_.show(warning("Error : Cannot make  compression temp file.", Icon::Exclamation));
                feedback_.explain(FileProblem{FileProblem::Kind::CannotCreate, compressionPath_, {}, {}, error});
                return CompressionResult::CannotMakeCompressionFile;
            }
            return CompressionResult::Ok;
        }
        compression_ = openFile(compressionPath_, "r+b");
        if (!compression_) {
            const int error = errno;
            fail("Error : Cannot open  compression temp file.", Icon::Exclamation,
                 CompressionResult::CannotOpenCompressionFile);
            feedback_.explain(FileProblem{FileProblem::Kind::CannotWrite, compressionPath_, {}, {}, error});
            return CompressionResult::CannotOpenCompressionFile;
        }
        if (fseeko(compression_.get(), 0, SEEK_END) != 0)
            return fail("Error : Cannot access compression temp file pointer.", Icon::Exclamation,
                        CompressionResult::CompressionPointerLost);
        return CompressionResult::Ok;
    }

    CompressionResult prepareSource() {
        MapClassEntry& cls = project_.classes[static_cast<std::size_t>(classIndex_)];
        if (mode_ == ColourMode::Original) {
            if (cls.bitDepth != 1)
                return fail("Error : Original bitmap file format support 1bits/pixel mode only.",
                            Icon::Information, CompressionResult::NotOneBit);
            sourcePath_ = cls.fileName.str();
            return CompressionResult::Ok;
        }
        removeIfExists(rasterPath_);
        RasterRequest raster{classIndex_,        mode_,
                             cls.fileName.str(), rasterPath_,
                             request_.ditherChecked, request_.compressChecked};
        raster.progress = progressPart(request_.progress, 0, kConversionShare);
        cutStart_ = kConversionShare;
        const RasterResult converted = isColourMode(mode_) ? convertToWorkRaster(project_, raster, feedback_, updates_)
                                                           : RasterResult::UnknownMode;
        if (converted == RasterResult::Cancelled) return cancelled();
        if (converted != RasterResult::Ok)
            return fail("Error : This bitmap file cannot change color mode.", Icon::Information,
                        CompressionResult::CannotConvert);
        sourcePath_ = rasterPath_;
        return CompressionResult::Ok;
    }

    // Reads the source rows [y, y + count) (y from the top) as one block.
    // Rows stored bottom-up put the lowest of them first in the block; a
    // top-down class bitmap puts row y first.
    CompressionResult readRows(std::uint32_t y, std::uint32_t count) {
        const std::uint64_t firstStored = topDown_ ? y : std::uint64_t{height_} - y - count;
        if (!seekTo(source_.get(), dataOffset_ + firstStored * stride_))
            return fail("Error : Cannot seek bmp-file.", Icon::Information, CompressionResult::CannotSeekSource);
        block_.resize(std::size_t{count} * stride_);
        if (!readExact(source_.get(), block_.data(), block_.size()))
            return fail("Error : Cannot read bmp-file.", Icon::Information, CompressionResult::CannotReadSource);
        return CompressionResult::Ok;
    }

    std::span<const std::uint8_t> copiedRow(std::uint32_t indexInBlock, std::uint32_t count) {
        const std::size_t at = std::size_t{topDown_ ? indexInBlock : count - 1 - indexInBlock} * stride_;
        std::copy_n(block_.begin() + static_cast<std::ptrdiff_t>(at), stride_, row_.begin());
        return row_;
    }

    // Packs (and codes) the row for columns [c0, c1); with one column and
    // no buffering the output goes straight to the compression file.
    CompressionResult emitRow(std::span<const std::uint8_t> source, std::uint32_t c0, std::uint32_t c1, bool direct,
                std::size_t recordBase) {
        for (std::uint32_t c = c0; c < c1; ++c) {
            packTileRow(mode_, source, c * tileWidth_, keepOriginalBits_, packed_);
            std::vector<std::uint8_t>& out = direct ? scratch_ : columns_[c - c0];
            const std::size_t before = direct ? 0 : out.size();
            if (direct) out.clear();
            if (compress_)
                encodeRunLength(packed_, out);
            else
                out.insert(out.end(), packed_.begin(), packed_.end());
            const std::size_t added = out.size() - before;
            project_.recordSizes[recordBase + c] += static_cast<std::uint32_t>(added);
            if (direct && !writeExact(compression_.get(), out.data(), out.size())) return writeFailed();
        }
        return CompressionResult::Ok;
    }

    CompressionResult cutTiles() {
        const MapClassEntry& cls = project_.classes[static_cast<std::size_t>(classIndex_)];
        takeGeometry(cls);
        source_ = openFile(sourcePath_, "rb");
        if (!source_) return fail("Error : Cannot open bmp-file.", Icon::Information, CompressionResult::CannotOpenSource);
        dataOffset_ = mode_ == ColourMode::Original ? cls.pixelDataOffset : project_.rasterDataOffset;
        // The working raster is always bottom-up; a class bitmap is read as stored.
        topDown_ = mode_ == ColourMode::Original && cls.topDown != 0;
        planColumnGroups(cls.recordColumns);

        std::size_t counter = project_.recordCounter;
        for (std::uint32_t r = 0; r < cls.recordRows; ++r) {
            if (const CompressionResult rc = cutTileRow(r, cls.recordColumns, counter); rc != CompressionResult::Ok) return rc;
            counter += cls.recordColumns;
            if (!keepGoing(request_.progress, cutStart_ + (1 - cutStart_) * (r + 1) / cls.recordRows))
                return cancelled();
        }
        project_.recordCounter = static_cast<std::uint16_t>(counter);

        source_.reset();
        if (!flushFile(compression_.get())) return writeFailed();
        const int closed = std::fclose(compression_.release());
        if (closed != 0) return writeFailed();
        return CompressionResult::Ok;
    }

    // The tile size, the source stride and the row buffers of the class.
    void takeGeometry(const MapClassEntry& cls) {
        width_ = cls.width;
        height_ = cls.height;
        const std::uint32_t nx = cls.recordColumns;
        const std::uint32_t ny = cls.recordRows;
        tileWidth_ = nx == 0 ? 0 : width_ / nx;
        tileHeight_ = ny == 0 ? 0 : height_ / ny;
        stride_ = sourceRowStride(mode_, width_);
        rowBytes_ = tileRowBytes(mode_, tileWidth_);
        keepOriginalBits_ = mode_ == ColourMode::Original && cls.invertedPolarity == 1;
        row_.assign(std::size_t{stride_} + kRowTail, 0);
        packed_.assign(rowBytes_, 0);
    }

    // The output of a tile row is held until it can be appended in record
    // order, so each source row is read once per group of columns; a group
    // of one column goes straight to the file.
    void planColumnGroups(std::uint32_t nx) {
        const std::uint64_t perColumn = std::uint64_t{tileHeight_} * rowBytes_ * (compress_ ? 2 : 1);
        group_ = nx;
        if (perColumn * nx > request_.memoryBudget)
            group_ = static_cast<std::uint32_t>(
                std::max<std::uint64_t>(1, request_.memoryBudget / std::max<std::uint64_t>(perColumn, 1)));
        direct_ = group_ == 1;
        columns_.assign(direct_ ? 0 : group_, {});
        for (auto& column : columns_) column.reserve(static_cast<std::size_t>(perColumn));
        rowsPerBlock_ = stride_ == 0 ? std::max<std::uint32_t>(tileHeight_, 1)
                                     : static_cast<std::uint32_t>(std::max<std::size_t>(1, kReadBlock / stride_));
    }

    // Tile row r, whose records start at `counter`, group by group.
    CompressionResult cutTileRow(std::uint32_t r, std::uint32_t nx, std::size_t counter) {
        if (project_.recordSizes.size() < counter + nx) project_.recordSizes.resize(counter + nx, 0);
        for (std::uint32_t c = 0; c < nx; ++c) project_.recordSizes[counter + c] = 0;
        for (std::uint32_t c0 = 0; c0 < nx; c0 += group_) {
            const std::uint32_t c1 = std::min(nx, c0 + group_);
            if (const CompressionResult rc = cutColumnGroup(r, c0, c1, counter); rc != CompressionResult::Ok) return rc;
            if (const CompressionResult rc = appendColumns(c1 - c0); rc != CompressionResult::Ok) return rc;
        }
        return CompressionResult::Ok;
    }

    // The pixel rows of tile row r for the columns [c0, c1), block by block.
    CompressionResult cutColumnGroup(std::uint32_t r, std::uint32_t c0, std::uint32_t c1, std::size_t counter) {
        for (auto& column : columns_) column.clear();
        for (std::uint32_t done = 0; done < tileHeight_;) {
            const std::uint32_t count = std::min(rowsPerBlock_, tileHeight_ - done);
            if (const CompressionResult rc = readRows(r * tileHeight_ + done, count); rc != CompressionResult::Ok) return rc;
            for (std::uint32_t i = 0; i < count; ++i)
                if (const CompressionResult rc = emitRow(copiedRow(i, count), c0, c1, direct_, counter); rc != CompressionResult::Ok) return rc;
            done += count;
        }
        return CompressionResult::Ok;
    }

    // The held output of a group's columns, in record order.
    CompressionResult appendColumns(std::uint32_t count) {
        if (direct_) return CompressionResult::Ok;
        for (std::uint32_t c = 0; c < count; ++c)
            if (!writeExact(compression_.get(), columns_[c].data(), columns_[c].size())) return writeFailed();
        return CompressionResult::Ok;
    }

    MapProject& project_;
    const int classIndex_;
    const ColourMode mode_;
    const bool compress_;
    const CompressionRequest& request_;
    Feedback& feedback_;
    ControlUpdates& updates_;
    const std::filesystem::path compressionPath_;
    const std::filesystem::path rasterPath_;
    std::filesystem::path sourcePath_;

    FilePtr compression_;
    FilePtr source_;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint32_t tileWidth_ = 0;
    std::uint32_t tileHeight_ = 0;
    std::uint32_t rowBytes_ = 0;
    std::uint32_t stride_ = 0;
    std::uint32_t group_ = 1;
    bool direct_ = false;
    std::uint32_t rowsPerBlock_ = 1;
    std::uint64_t dataOffset_ = 0;
    bool keepOriginalBits_ = false;
    bool topDown_ = false;
    double cutStart_ = 0;  // where the cutting's share of the progress starts
    std::vector<std::uint8_t> block_;
    std::vector<std::uint8_t> row_;
    std::vector<std::uint8_t> packed_;
    std::vector<std::uint8_t> scratch_;
    std::vector<std::vector<std::uint8_t>> columns_;
};

}  // namespace

CompressionResult compressClassRecords(MapProject& project, int classIndex, ColourMode mode, bool compress,
                                       const CompressionRequest& request, Feedback& feedback,
                                       ControlUpdates& updates) {
    if (classIndex < 0 || classIndex >= kClassSlots) return CompressionResult::NoSuchClass;
    ClassPass pass(project, classIndex, mode, compress, request, feedback, updates);
    return pass.run();
}

}  // namespace plotvane
