#include "database/database_loader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "database/record_compression.h"
#include "project/byte_order.h"
#include "project/files.h"
#include "raster/bmp_reader.h"
#include "raster/work_raster.h"

namespace plotvane {

namespace {

constexpr std::size_t kRestoreWriteBuffer = 256u << 10;
constexpr std::uint32_t kRestoreResolution = 2834;  // pixels per metre

Message pdbFileData() { return error("PDB file data", Icon::Information); }
Message cannotMakeBmp() { return error("Cannot make bmp-file.", Icon::Exclamation); }

bool knownMode(std::uint8_t mode) { return restoreBitDepth(mode) != 0; }

// Bits of one stored tile pixel.
std::uint32_t tilePixelBits(std::uint8_t mode) { return mode == 0 ? 1 : mode; }

// The value a tile stores for a raster value: the grey modes store the
// darkness (the raster keeps the brightness), mode 8 the index itself.
std::uint8_t storedOfRaster(std::uint8_t mode, std::uint8_t raster) {
    if (mode == 8) return raster;
    const auto darkest = static_cast<std::uint8_t>((1u << tilePixelBits(mode)) - 1u);
    return static_cast<std::uint8_t>(darkest - raster);
}

std::uint8_t storedOfColour(std::uint8_t mode, const Rgb& c) {
    return storedOfRaster(mode, plainRasterValue(mode, c[0], c[1], c[2]));
}

// Bytes of a RestoreFile pixel row, padded to 4 bytes.
std::uint32_t restoreRowStride(std::uint8_t mode, std::uint32_t width) {
    return (width * restoreBitDepth(mode) + 31) / 32 * 4;
}

// Appends tile rows to one RestoreFile row so that each tile's pixels
// follow the previous tile's last pixel, whatever the byte boundaries.
// `pending` holds the `held` high-order bits not yet emitted. As a row is
// taken byte by byte, the last byte of a tile row may bring bits past the
// tile's width; they are masked off as soon as more pixels follow, and only
// the bits beyond the RestoreFile's width can keep them.
class RowBits {
public:
    void start(std::uint8_t* row) {
        out_ = row;
        written_ = 0;
        pending_ = 0;
        held_ = 0;
    }

    // Appends the first `bits` bits of `src`, a row of `rowBytes` bytes
    // (at least (bits + 7) / 8 of them).
    void append(const std::uint8_t* src, std::uint32_t bits, std::uint32_t rowBytes) {
        const std::uint32_t whole = bits / 8;
        const unsigned rest = bits % 8;
        if (held_ == 0) {
            std::memcpy(out_ + written_, src, whole);
            written_ += whole;
            pending_ = 0;
        } else {
            const auto low = static_cast<std::uint8_t>(0xFFu >> held_);
            for (std::uint32_t i = 0; i < whole; ++i) {
                const std::uint8_t x = src[i];
                out_[written_++] = static_cast<std::uint8_t>((pending_ & ~low) | ((x >> held_) & low));
                pending_ = static_cast<std::uint8_t>(x << (8 - held_));
            }
        }
        if (whole == rowBytes) return;
        const std::uint8_t x = src[whole];
        const auto low = static_cast<std::uint8_t>(0xFFu >> held_);
        const auto merged = static_cast<std::uint8_t>((pending_ & ~low) | ((x >> held_) & low));
        if (held_ + rest >= 8) {
            out_[written_++] = merged;
            pending_ = static_cast<std::uint8_t>(x << (8 - held_));
            held_ = held_ + rest - 8;
        } else {
            held_ += rest;
            pending_ = static_cast<std::uint8_t>(merged & ~(0xFFu >> held_));
        }
    }

    // Emits the bits still held; the bytes written for the row.
    std::uint32_t finish() {
        if (held_ > 0) out_[written_++] = pending_;
        return written_;
    }

private:
    std::uint8_t* out_ = nullptr;
    std::uint32_t written_ = 0;
    std::uint8_t pending_ = 0;
    unsigned held_ = 0;
};

// Two-bit pixels widened to one nibble each, the RestoreFile's format.
void widenTwoBitRow(const std::uint8_t* src, std::uint32_t width, std::uint8_t* dst) {
    std::memset(dst, 0, (width + 1) / 2);
    for (std::uint32_t x = 0; x < width; ++x) {
        const unsigned v = (src[x / 4] >> (6 - 2 * (x % 4))) & 3u;
        dst[x / 2] = static_cast<std::uint8_t>(dst[x / 2] | (v << (x % 2 == 0 ? 4 : 0)));
    }
}

// Bounds-checked access to the database bytes: every read the loader
// makes goes through `at`.
class DatabaseBytes {
public:
    explicit DatabaseBytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    // The `size` bytes at `offset`, or null when they are not all there.
    const std::uint8_t* at(std::uint64_t offset, std::uint64_t size) const {
        if (offset > bytes_.size() || size > bytes_.size() - offset) return nullptr;
        return bytes_.data() + offset;
    }
    std::span<const std::uint8_t> all() const { return bytes_; }

private:
    std::span<const std::uint8_t> bytes_;
};

void splitAngle(std::uint32_t total, DmsAngle& angle) {
    angle.degrees = static_cast<std::int32_t>(total / 3600000u);
    angle.minutes = static_cast<std::int32_t>((total % 3600000u) / 60000u);
    angle.seconds = static_cast<std::int32_t>((total % 60000u) / 1000u);
    angle.milliseconds = static_cast<std::int32_t>(total % 1000u);
}

void resetMapFields(MapProject& p) {
    p.classes = {};
    p.classCount = 0;
    p.geo = {};
    p.gpsEnabled = 0;
    p.databaseName.clear();
    p.versionText.clear();
    p.clearInfoTexts();
    p.spareInfoTextCount = 10;
    p.infoFormatWord = 1;
    p.selectedInfoText = 0;
}

// The restore of one database; each step returns 0 or its result code
// after showing its message.
class Restore {
public:
    Restore(std::span<const std::uint8_t> database, MapProject& project, RestoreOutput& output, Feedback& feedback)
        : db_(database), project_(project), output_(output), feedback_(feedback) {}

    int run() {
        resetMapFields(project_);
        if (const int rc = readHeader(); rc != 0) return rc;
        if (const int rc = restoreFields(); rc != 0) return rc;
        if (const int rc = directoryPass(); rc != 0) return rc;
        if (const int rc = restoreTexts(); rc != 0) return rc;
        for (int c = 0; c < grid_.classCount; ++c) {
            const int rc = restoreClass(c);
            if (rc == 0) continue;
            // Closes what the failed class left open; the file stays as written so far.
            output_.end();
            return rc;
        }
        return 0;
    }

private:
    int fail(const Message& message, int code) {
        feedback_.show(message);
        return code;
    }
    int outputFailed() {
        feedback_.show(cannotMakeBmp());
        feedback_.explain(output_.problem());
        return 3;
    }

    int readHeader() {
        const int rc = readRecordZero(spanReader(db_.all()), look_);
        if (rc == kParseOk) return 0;
        return fail(error(parseErrorText(rc), Icon::Information), 2);
    }

    int restoreFields() {
        const std::array<std::uint8_t, kMapHeaderFixedSize>& z = look_.fixed;
        header_ = parseMapHeaderFixed(z);
        for (std::size_t i = 0; i < 16; ++i) project_.databaseName.bytes[i] = static_cast<char>(z[i]);
        project_.databaseName.bytes[16] = '\0';
        for (std::size_t i = 0; i < 6; ++i) project_.versionText.bytes[i] = static_cast<char>(z[24 + i]);
        project_.versionText.bytes[6] = '\0';
        project_.gpsEnabled = header_.hemisphere != 0 ? 1 : 0;
        if (project_.gpsEnabled != 0) {
            GeoBounds& g = project_.geo;
            g.upperLeftLongTotal = header_.upperLeftLong;
            g.upperLeftLatTotal = header_.upperLeftLat;
            g.bottomRightLongTotal = header_.bottomRightLong;
            g.bottomRightLatTotal = header_.bottomRightLat;
            splitAngle(g.upperLeftLongTotal, g.upperLeftLong);
            splitAngle(g.upperLeftLatTotal, g.upperLeftLat);
            splitAngle(g.bottomRightLongTotal, g.bottomRightLong);
            splitAngle(g.bottomRightLatTotal, g.bottomRightLat);
        }
        project_.classes[0].width = header_.width;
        project_.classes[0].height = header_.height;
        // The rows, grids and RestoreFiles have room for four classes of
        // one of the five pixel formats; anything else is damage.
        if (header_.classCount < 1 || header_.classCount > kClassSlots || !knownMode(header_.colourMode))
            return fail(pdbFileData(), 2);
        project_.classCount = header_.classCount;
        for (int k = 0; k < project_.classCount; ++k)
            project_.classes[static_cast<std::size_t>(k)].fileName.assign(output_.fileName(k + 1));
        return 0;
    }

    int directoryPass() {
        std::vector<RecordDirectoryEntry> entries;
        const std::uint64_t directory = std::uint64_t{look_.recordZeroOffset} + kMapHeaderFixedSize;
        for (std::uint32_t i = 0; i < header_.dataRecordCount; ++i) {
            const std::uint8_t* e = db_.at(directory + kDirectoryEntrySize * i, kDirectoryEntrySize);
            if (e == nullptr) break;
            entries.push_back(parseDirectoryEntry(std::span<const std::uint8_t, kDirectoryEntrySize>(e, kDirectoryEntrySize)));
        }
        const int rc = rebuildClassGrid(entries, header_, grid_);
        if (rc != kParseOk) return fail(pdbFileData(), 2);
        const std::uint8_t mode = header_.colourMode;
        for (int k = 0; k < grid_.classCount; ++k) {
            const RestoredClass& r = grid_.classes[static_cast<std::size_t>(k)];
            MapClassEntry& row = project_.classes[static_cast<std::size_t>(k)];
            row.width = r.width;
            row.height = r.height;
            row.magnification = r.magnification;
            row.recordColumns = r.recordColumns;
            row.recordRows = r.recordRows;
            // The row describes the RestoreFile it names, whose first
            // colour is white.
            row.pixelDataOffset = static_cast<std::uint32_t>(restoreFileHeader(mode, 0, 0).size());
            row.bitDepth = static_cast<std::uint8_t>(restoreBitDepth(mode));
            row.invertedPolarity = 1;
        }
        return 0;
    }

    int restoreTexts() {
        if (header_.textRecordPresent == 0 || look_.recordOneOffset == 0) return 0;
        const std::uint8_t* h = db_.at(look_.recordOneOffset, kInfoTextHeaderSize);
        if (h == nullptr) return fail(pdbFileData(), 2);
        if (h[0] != 'i' || h[1] != 'f') return fail(error("information header", Icon::Information), 2);
        const std::uint16_t count = readBe16(h + 2);
        if (count > kInfoTextSlots) return fail(pdbFileData(), 2);
        project_.infoTextCount = count;
        project_.spareInfoTextCount = h[5];
        project_.infoFormatWord = readBe16(h + 6);
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::uint8_t* e =
                db_.at(std::uint64_t{look_.recordOneOffset} + kInfoTextHeaderSize + kInfoTextEntrySize * i,
                       kInfoTextEntrySize);
            if (e == nullptr) return fail(pdbFileData(), 2);
            InfoText t;
            t.left = readBe16(e);
            t.top = readBe16(e + 2);
            t.right = readBe16(e + 4);
            t.bottom = readBe16(e + 6);
            const auto* text = reinterpret_cast<const char*>(e + 16);
            t.text.assign(text, static_cast<std::size_t>(std::find(text, text + kInfoTextBytes, '\0') - text));
            project_.setInfoText(i, t);
        }
        return 0;
    }

    // Record index of every cell of class c's grid, rows from the top.
    int tileGrid(int c, std::vector<std::uint8_t>& cells) {
        const RestoredClass& cls = grid_.classes[static_cast<std::size_t>(c)];
        const std::uint32_t columns = cls.recordColumns;
        const std::uint32_t rows = cls.recordRows;
        const std::uint32_t d = header_.dataRecordCount;
        const std::uint8_t* directory =
            db_.at(std::uint64_t{look_.recordZeroOffset} + kMapHeaderFixedSize, kDirectoryEntrySize * d);
        if (directory == nullptr) return fail(pdbFileData(), 3);
        // The directory pass made sure that neither divisor is 0.
        const std::uint32_t cellWidth = header_.width / columns;
        const std::uint32_t cellHeight = header_.height / rows;
        std::vector<bool> filled(std::size_t{columns} * rows, false);
        cells.assign(filled.size(), 0);
        for (std::uint32_t i = 0; i < d; ++i) {
            const std::uint8_t* e = directory + kDirectoryEntrySize * i;
            if (e[3] != cls.scaleToTop) continue;
            const std::uint32_t row = readBe16(e + 6) / cellHeight;
            const std::uint32_t column = readBe16(e + 4) / cellWidth;
            if (row >= rows || column >= columns) return fail(pdbFileData(), 3);
            cells[std::size_t{row} * columns + column] = e[0];
            filled[std::size_t{row} * columns + column] = true;
        }
        if (std::find(filled.begin(), filled.end(), false) != filled.end()) return fail(pdbFileData(), 3);
        return 0;
    }

    int tileOffsets(const std::vector<std::uint8_t>& cells, std::vector<std::uint32_t>& offsets) {
        const std::uint16_t listed = readBe16(db_.at(76, 2));
        offsets.clear();
        for (std::uint8_t index : cells) {
            if (index >= listed) return fail(pdbFileData(), 3);
            const std::uint8_t* p = db_.at(kDatabaseHeaderSize + kRecordListEntrySize * index, 4);
            if (p == nullptr) return fail(pdbFileData(), 3);
            offsets.push_back(readBe32(p));
        }
        return 0;
    }

    // The pixel rows of the tile at `offset`: in the database, or decoded
    // into `decoded` when the tile is compressed. Null when damaged.
    const std::uint8_t* tilePixels(std::uint32_t offset, std::vector<std::uint8_t>& decoded) const {
        const std::uint8_t* h = db_.at(offset, kTileHeaderSize);
        if (h == nullptr) return nullptr;
        const std::uint64_t size = std::uint64_t{tileHeight_} * rowBytes_;
        if ((h[6] & kTileCompressedFlag) == 0) return db_.at(std::uint64_t{offset} + kTileHeaderSize, size);
        const std::uint8_t* word = db_.at(std::uint64_t{offset} + kTileHeaderSize, kCompressedSizeWordSize);
        if (word == nullptr || readLe16(word) < kCompressedSizeWordSize) return nullptr;
        const std::size_t codeSize = readLe16(word) - kCompressedSizeWordSize;
        const std::uint8_t* code =
            db_.at(std::uint64_t{offset} + kTileHeaderSize + kCompressedSizeWordSize, codeSize);
        if (code == nullptr) return nullptr;
        decoded.clear();
        if (decodeRunLength(std::span<const std::uint8_t>(code, codeSize), rowBytes_, tileHeight_, decoded) !=
            kDecodeOk)
            return nullptr;
        return decoded.data();
    }

    int restoreClass(int c) {
        const std::uint8_t mode = header_.colourMode;
        const MapClassEntry& row = project_.classes[static_cast<std::size_t>(c)];
        const RestoredClass& cls = grid_.classes[static_cast<std::size_t>(c)];
        if (!output_.begin(c + 1)) return outputFailed();
        const std::vector<std::uint8_t> head = restoreFileHeader(mode, row.width, row.height);
        if (!output_.write(head)) return outputFailed();

        std::vector<std::uint8_t> cells;
        if (const int rc = tileGrid(c, cells); rc != 0) return rc;
        std::vector<std::uint32_t> offsets;
        if (const int rc = tileOffsets(cells, offsets); rc != 0) return rc;

        const std::uint32_t columns = cls.recordColumns;
        const std::uint32_t rows = cls.recordRows;
        const std::uint8_t* corner = db_.at(offsets[std::size_t{rows - 1} * columns], kTileHeaderSize);
        if (corner == nullptr) return fail(pdbFileData(), 4);
        const TileBitmapHeader tile = parseTileBitmapHeader(std::span<const std::uint8_t, kTileHeaderSize>(corner, kTileHeaderSize));
        const std::uint32_t bits = tilePixelBits(mode);
        const std::uint32_t stored = tile.pixelSize == 0 ? 1 : tile.pixelSize;
        // The tiles must fill the class exactly, in the mode's format,
        // for the rows below to be whole BMP rows.
        if (tile.width * columns != row.width || tile.height * rows != row.height || stored != bits ||
            tile.rowBytes != tileRowBytes(mode, tile.width))
            return fail(pdbFileData(), 4);
        tileWidth_ = tile.width;
        tileHeight_ = tile.height;
        rowBytes_ = tile.rowBytes;

        const std::uint32_t stride = restoreRowStride(mode, row.width);
        std::vector<std::uint8_t> line(stride, 0);
        std::vector<std::uint8_t> widened(mode == 2 ? (tileWidth_ + 1) / 2 : 0);
        std::vector<std::vector<std::uint8_t>> decoded(columns);
        std::vector<const std::uint8_t*> pixels(columns, nullptr);
        RowBits appender;
        for (std::uint32_t r = rows; r-- > 0;) {
            for (std::uint32_t k = 0; k < columns; ++k) {
                pixels[k] = tilePixels(offsets[std::size_t{r} * columns + k], decoded[k]);
                if (pixels[k] == nullptr) return fail(pdbFileData(), 4);
            }
            for (std::uint32_t y = tileHeight_; y-- > 0;) {
                appender.start(line.data());
                for (std::uint32_t k = 0; k < columns; ++k) {
                    const std::uint8_t* source = pixels[k] + std::size_t{y} * rowBytes_;
                    if (mode == 2) {
                        widenTwoBitRow(source, tileWidth_, widened.data());
                        appender.append(widened.data(), tileWidth_ * 4, static_cast<std::uint32_t>(widened.size()));
                    } else {
                        appender.append(source, tileWidth_ * bits, rowBytes_);
                    }
                }
                const std::uint32_t used = appender.finish();
                std::fill(line.begin() + used, line.end(), std::uint8_t{0});
                if (!output_.write(line)) return outputFailed();
            }
        }
        if (!output_.end()) return outputFailed();
        return 0;
    }

    DatabaseBytes db_;
    MapProject& project_;
    RestoreOutput& output_;
    Feedback& feedback_;
    RecordZeroLook look_;
    MapHeaderRecord header_;
    ClassGrid grid_;
    std::uint32_t tileWidth_ = 0;
    std::uint32_t tileHeight_ = 0;
    std::uint32_t rowBytes_ = 0;
};

}  // namespace

int rebuildClassGrid(std::span<const RecordDirectoryEntry> entries, const MapHeaderRecord& header, ClassGrid& grid) {
    grid = ClassGrid{};
    const int count = header.classCount;
    if (count < 1 || count > kClassSlots) return kParseBadMapHeader;
    grid.classCount = count;
    grid.classes[0].width = header.width;
    grid.classes[0].height = header.height;

    std::uint32_t cur = header.firstDataIndex;
    int found = 0;
    for (std::uint32_t i = 0; i < header.dataRecordCount && found < count; ++i) {
        if (i >= entries.size()) return kParseTruncated;
        const RecordDirectoryEntry& e = entries[i];
        if (e.parentIndex == 0 ? found != 0 : e.parentIndex != cur) continue;
        RestoredClass& c = grid.classes[static_cast<std::size_t>(found)];
        if (e.parentIndex != 0 && found > 0) {
            c.width = static_cast<std::uint16_t>(e.scaleToTop * header.width);
            c.height = static_cast<std::uint16_t>(e.scaleToTop * header.height);
            c.magnification = e.scaleToUpper;
            c.scaleToTop = grid.classes[static_cast<std::size_t>(found - 1)].scaleToTop * e.scaleToUpper;
        }
        if (e.tileWidth == 0 || e.tileHeight == 0) return kParseBadMapHeader;
        c.tileWidth = e.tileWidth;
        c.tileHeight = e.tileHeight;
        c.recordColumns = static_cast<std::uint16_t>(c.width / e.tileWidth);
        c.recordRows = static_cast<std::uint16_t>(c.height / e.tileHeight);
        cur = e.recordIndex;
        ++found;
    }
    if (found < count) return kParseBadMapHeader;

    for (int k = 0; k < count; ++k) {
        const RestoredClass& c = grid.classes[static_cast<std::size_t>(k)];
        const auto side = [](std::uint32_t v) { return v >= 1 && v <= kLargestRestoredSide; };
        if (!side(c.width) || !side(c.height)) return kParseBadMapHeader;
        if (c.recordColumns == 0 || c.recordRows == 0) return kParseBadMapHeader;
        if (std::uint32_t{c.recordColumns} * c.recordRows > kLargestTileGrid) return kParseBadMapHeader;
        if (header.width / c.recordColumns == 0 || header.height / c.recordRows == 0) return kParseBadMapHeader;
    }
    return kParseOk;
}

std::uint16_t restoreBitDepth(std::uint8_t mode) {
    switch (mode) {
        case 0:
        case 1: return 1;
        case 2:
        case 4: return 4;
        case 8: return 8;
        default: return 0;
    }
}

std::vector<Rgb> restoreColourTable(std::uint8_t mode) {
    if (!knownMode(mode)) return {};
    // The colours the preview gives the raster values: the working
    // raster's own table.
    const std::vector<std::uint8_t> raster = workRasterPrefix(BmpHeaders{}, mode == 0 ? 1 : mode, systemPaletteTable());
    const std::size_t rasterColours = (raster.size() - kBmpHeaderBytes) / 4;
    const std::size_t values = mode == 8 ? 256 : std::size_t{1} << tilePixelBits(mode);
    std::vector<Rgb> table(values, Rgb{0, 0, 0});
    for (std::size_t v = 0; v < values; ++v) {
        const std::size_t r = mode == 8 ? v : values - 1 - v;
        if (r >= rasterColours) continue;  // black, as the handheld shows indices past its table
        const std::uint8_t* e = raster.data() + kBmpHeaderBytes + 4 * r;
        table[v] = {e[2], e[1], e[0]};
    }
    for (std::size_t v = 0; v < values; ++v) {
        const Rgb shown = table[v];
        if (storedOfColour(mode, shown) == v || shown[0] != shown[1] || shown[1] != shown[2]) continue;
        for (int step = 1; step < 256; ++step) {
            const int darker = shown[0] - step;
            const int lighter = shown[0] + step;
            const auto grey = [](int g) { return Rgb{static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(g)}; };
            if (darker >= 0 && storedOfColour(mode, grey(darker)) == v) {
                table[v] = grey(darker);
                break;
            }
            if (lighter <= 255 && storedOfColour(mode, grey(lighter)) == v) {
                table[v] = grey(lighter);
                break;
            }
        }
    }
    return table;
}

std::vector<std::uint8_t> restoreFileHeader(std::uint8_t mode, std::uint32_t width, std::uint32_t height) {
    const std::uint16_t depth = restoreBitDepth(mode);
    if (depth == 0) return {};
    const std::uint32_t entries = 1u << depth;
    const std::uint32_t offset = static_cast<std::uint32_t>(kBmpHeaderBytes) + 4 * entries;
    std::vector<std::uint8_t> out(offset, 0);
    std::uint8_t* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    writeLe32(p + 2, offset + restoreRowStride(mode, width) * height);
    writeLe32(p + 10, offset);
    writeLe32(p + 14, static_cast<std::uint32_t>(kInfoHeaderBytes));
    writeLe32(p + 18, width);
    writeLe32(p + 22, height);
    writeLe16(p + 26, 1);
    writeLe16(p + 28, depth);
    writeLe32(p + 38, kRestoreResolution);
    writeLe32(p + 42, kRestoreResolution);
    const std::vector<Rgb> table = restoreColourTable(mode);
    for (std::size_t i = 0; i < table.size(); ++i) {
        std::uint8_t* e = p + kBmpHeaderBytes + 4 * i;
        e[0] = table[i][2];
        e[1] = table[i][1];
        e[2] = table[i][0];
    }
    return out;
}

// ---- Outputs -------------------------------------------------------------

RestoreFolder::RestoreFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

RestoreFolder::~RestoreFolder() {
    if (file_ != nullptr) std::fclose(file_);
}

std::string RestoreFolder::fileName(int classNumber) const {
    return (folder_ / kRestoreFileNames[classNumber - 1]).string();
}

bool RestoreFolder::fail(FileProblem::Kind kind) {
    problem_ = FileProblem{kind, current_, {}, {}, errno};
    return false;
}

bool RestoreFolder::begin(int classNumber) {
    end();
    current_ = fileName(classNumber);
    FilePtr f = openFile(current_, "wb");
    if (!f) return fail(FileProblem::Kind::CannotCreate);
    file_ = f.release();
    buffer_.resize(kRestoreWriteBuffer);
    std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
    return true;
}

bool RestoreFolder::write(std::span<const std::uint8_t> bytes) {
    if (file_ == nullptr || !writeExact(file_, bytes.data(), bytes.size())) return fail(FileProblem::Kind::CannotWrite);
    return true;
}

bool RestoreFolder::end() {
    if (file_ == nullptr) return true;
    const bool flushed = flushFile(file_);
    const int error = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (flushed && closed) return true;
    if (!flushed) errno = error;
    return fail(FileProblem::Kind::CannotWrite);
}

std::string RestoreMemory::fileName(int classNumber) const { return kRestoreFileNames[classNumber - 1]; }

bool RestoreMemory::begin(int classNumber) {
    files.resize(static_cast<std::size_t>(std::max(classNumber, 0)));
    if (classNumber < 1) return false;
    files[static_cast<std::size_t>(classNumber - 1)].clear();
    return true;
}

bool RestoreMemory::write(std::span<const std::uint8_t> bytes) {
    if (files.empty()) return false;
    files.back().insert(files.back().end(), bytes.begin(), bytes.end());
    return true;
}

// ---- Stages --------------------------------------------------------------

int restoreDatabaseBytes(std::span<const std::uint8_t> database, MapProject& project, RestoreOutput& output,
                         Feedback& feedback) {
    Restore restore(database, project, output, feedback);
    return restore.run();
}

int restoreDatabase(const std::filesystem::path& database, RestoreOutput& output, MapProject& project,
                    Feedback& feedback) {
    if (!fileExists(database)) {
        feedback.show(warning("Error : Cannot find pdb-file", Icon::Exclamation));
        return 1;
    }
    FilePtr file = openFile(database, "rb");
    if (!file) {
        feedback.show(warning("Error : Cannot open pdb-file", Icon::Information));
        return 2;
    }
    BusyScope busy(feedback);
    DatabaseFile bytes;
    // What cannot be read counts as missing: the first read past it fails.
    readDatabaseFile(file.get(), bytes);
    file.reset();
    return restoreDatabaseBytes(bytes.bytes(), project, output, feedback);
}

int restoreDatabase(const std::filesystem::path& database, const std::filesystem::path& workDir,
                    MapProject& project, Feedback& feedback) {
    for (const char* name : kRestoreFileNames) {
        if (!fileExists(workDir / name)) continue;
        feedback.show(error("Plotvane use [" + std::string(name) + "]file. Please delete it.", Icon::Exclamation));
        return 1;
    }
    RestoreFolder output(workDir);
    return restoreDatabase(database, output, project, feedback);
}

LoadAccess settleLoadedAccess(MapProject& project) {
    AccessSettings& a = project.access;
    if (a.loadedPassword[0] == '\0') {
        a.viewMode = 0;
        a.readOnly = 1;
        a.fullEdit = 0;
        a.loadedPassword.fill('\0');
        a.loadedBinding.fill(0);
        return LoadAccess::Settled;
    }
    if (!autoCheckReadOnly(loadedPasswordOf(project), a.loadedBinding)) return LoadAccess::AskPassword;
    a.readOnly = 1;
    a.fullEdit = 0;
    a.viewMode = 0;
    return LoadAccess::Settled;
}

std::string_view loadedPasswordOf(const MapProject& project) {
    return std::string_view(project.access.loadedPassword.data(), kPasswordLength);
}

bool acceptPasswordCheck(MapProject& project, const PasswordCheck& check, Feedback& feedback) {
    if (!check.ok) {
        feedback.show(error("Invalid Password !", Icon::Exclamation));
        return false;
    }
    project.access.readOnly = check.mode.readOnly;
    project.access.fullEdit = check.mode.fullEdit;
    project.access.viewMode = check.mode.viewMode;
    return true;
}

void markDatabaseLoaded(MapProject& project) {
    project.access.loadedFlag = 1;
    project.previewClass = 1;
    project.selectedInfoText = 0;
    project.previewCentreX = 80;
    project.previewCentreY = 80;
}

}  // namespace plotvane
