#include "database/database_reader.h"

#include <algorithm>

#include "database/record_compression.h"
#include "project/byte_order.h"

namespace plotvane {

namespace {

Refusal pdbFileData(DamagedPart part) { return {error("PDB file data", Icon::Information), part}; }

// Bounds-checked access to the database bytes: every read goes through `at`.
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

// One walk over a database; each step returns the damage it found.
class Reader {
public:
    Reader(std::span<const std::uint8_t> database, DatabaseVisitor& visitor) : db_(database), visitor_(visitor) {}

    std::optional<Refusal> run() {
        if (auto refusal = readRecordZero()) return refusal;
        visitor_.mapHeader(header_);
        if (auto refusal = checkClassesAndMode()) return refusal;
        visitor_.classesAnnounced(header_.classCount);
        if (auto refusal = directoryPass()) return refusal;
        visitor_.classGrid(grid_);
        if (auto refusal = readTexts()) return refusal;
        for (int c = 0; c < grid_.classCount; ++c) {
            if (!visitor_.beginClass(c)) return std::nullopt;
            bool stopped = false;
            if (auto refusal = readClass(c, stopped)) return refusal;
            if (stopped || !visitor_.endClass(c)) return std::nullopt;
        }
        return std::nullopt;
    }

private:
    std::optional<Refusal> readRecordZero() {
        const ParseResult rc = plotvane::readRecordZero(spanReader(db_.all()), look_);
        if (rc != ParseResult::Parsed) return Refusal{error(parseErrorText(rc), Icon::Information), DamagedPart::MapHeader};
        header_ = parseMapHeaderFixed(look_.fixed);
        return std::nullopt;
    }

    // The rows, grids and RestoreFiles have room for four classes of one
    // of the five pixel formats; anything else is damage.
    std::optional<Refusal> checkClassesAndMode() const {
        if (header_.classCount < 1 || header_.classCount > kClassSlots || !isColourMode(header_.colourMode))
            return pdbFileData(DamagedPart::MapHeader);
        return std::nullopt;
    }

    std::optional<Refusal> directoryPass() {
        std::vector<RecordDirectoryEntry> entries;
        const std::uint64_t directory = std::uint64_t{look_.recordZeroOffset} + kMapHeaderFixedSize;
        for (std::uint32_t i = 0; i < header_.dataRecordCount; ++i) {
            const std::uint8_t* e = db_.at(directory + kDirectoryEntrySize * i, kDirectoryEntrySize);
            if (e == nullptr) break;
            entries.push_back(parseDirectoryEntry(std::span<const std::uint8_t, kDirectoryEntrySize>(e, kDirectoryEntrySize)));
        }
        if (rebuildClassGrid(entries, header_, grid_) != ParseResult::Parsed) return pdbFileData(DamagedPart::MapHeader);
        return std::nullopt;
    }

    // Tells the visitor what was read of the texts, also when a refusal follows.
    std::optional<Refusal> readTexts() {
        if (header_.textRecordPresent == 0 || look_.recordOneOffset == 0) return std::nullopt;
        StoredTexts texts;
        const std::optional<Refusal> refusal = readTextRecord(texts);
        visitor_.texts(texts);
        return refusal;
    }

    std::optional<Refusal> readTextRecord(StoredTexts& out) const {
        const std::uint8_t* h = db_.at(look_.recordOneOffset, kInfoTextHeaderSize);
        if (h == nullptr) return pdbFileData(DamagedPart::MapHeader);
        if (h[0] != 'i' || h[1] != 'f')
            return Refusal{error("information header", Icon::Information), DamagedPart::MapHeader};
        const std::uint16_t count = readBe16(h + 2);
        if (count > kInfoTextSlots) return pdbFileData(DamagedPart::MapHeader);
        out.headerRead = true;
        out.count = count;
        out.spareCount = h[5];
        out.formatWord = readBe16(h + 6);
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::uint8_t* e =
                db_.at(std::uint64_t{look_.recordOneOffset} + kInfoTextHeaderSize + kInfoTextEntrySize * i,
                       kInfoTextEntrySize);
            if (e == nullptr) return pdbFileData(DamagedPart::MapHeader);
            out.texts.push_back(textOf(e));
        }
        return std::nullopt;
    }

    static InfoText textOf(const std::uint8_t* entry) {
        InfoText t;
        t.left = readBe16(entry);
        t.top = readBe16(entry + 2);
        t.right = readBe16(entry + 4);
        t.bottom = readBe16(entry + 6);
        const auto* text = reinterpret_cast<const char*>(entry + 16);
        t.text.assign(text, static_cast<std::size_t>(std::find(text, text + kInfoTextBytes, '\0') - text));
        return t;
    }

    // The grid, the offsets and the format of class c, then its grid rows
    // from the bottom one up; `stopped` when the visitor ended the read.
    std::optional<Refusal> readClass(int c, bool& stopped) {
        ClassTiles tiles;
        if (auto refusal = locateTiles(c, tiles)) return refusal;
        if (auto refusal = readTileFormat(tiles)) return refusal;
        TileRow row;
        row.decoded.resize(tiles.columns);
        row.pixels.assign(tiles.columns, nullptr);
        for (std::uint32_t r = tiles.rows; r-- > 0;) {
            if (auto refusal = readTileRow(tiles, r, row)) return refusal;
            if (!visitor_.tileRow(tiles, row)) {
                stopped = true;
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::optional<Refusal> locateTiles(int c, ClassTiles& tiles) const {
        const RestoredClass& cls = grid_.classes[static_cast<std::size_t>(c)];
        tiles.classIndex = c;
        tiles.columns = cls.recordColumns;
        tiles.rows = cls.recordRows;
        std::vector<std::uint8_t> cells;
        if (auto refusal = tileGrid(cls, cells)) return refusal;
        return tileOffsets(cells, tiles.offsets);
    }

    // Record index of every cell of a class's grid, rows from the top.
    std::optional<Refusal> tileGrid(const RestoredClass& cls, std::vector<std::uint8_t>& cells) const {
        const std::uint32_t columns = cls.recordColumns;
        const std::uint32_t rows = cls.recordRows;
        const std::uint32_t d = header_.dataRecordCount;
        const std::uint8_t* directory =
            db_.at(std::uint64_t{look_.recordZeroOffset} + kMapHeaderFixedSize, kDirectoryEntrySize * d);
        if (directory == nullptr) return pdbFileData(DamagedPart::TileGrid);
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
            if (row >= rows || column >= columns) return pdbFileData(DamagedPart::TileGrid);
            cells[std::size_t{row} * columns + column] = e[0];
            filled[std::size_t{row} * columns + column] = true;
        }
        if (std::find(filled.begin(), filled.end(), false) != filled.end()) return pdbFileData(DamagedPart::TileGrid);
        return std::nullopt;
    }

    std::optional<Refusal> tileOffsets(const std::vector<std::uint8_t>& cells, std::vector<std::uint32_t>& offsets) const {
        // Record 0 was read, so the header with the record count is there.
        const std::uint16_t listed = readBe16(db_.at(76, 2));
        offsets.clear();
        for (std::uint8_t index : cells) {
            if (index >= listed) return pdbFileData(DamagedPart::TileGrid);
            const std::uint8_t* p = db_.at(kDatabaseHeaderSize + kRecordListEntrySize * index, 4);
            if (p == nullptr) return pdbFileData(DamagedPart::TileGrid);
            offsets.push_back(readBe32(p));
        }
        return std::nullopt;
    }

    // The tiles must fill the class exactly, in the mode's format, for
    // their rows to make whole rows of the class.
    std::optional<Refusal> readTileFormat(ClassTiles& tiles) const {
        const ColourMode mode = header_.colourMode;
        const RestoredClass& cls = grid_.classes[static_cast<std::size_t>(tiles.classIndex)];
        const std::uint8_t* corner = db_.at(tiles.offsets[std::size_t{tiles.rows - 1} * tiles.columns], kTileHeaderSize);
        if (corner == nullptr) return pdbFileData(DamagedPart::Tiles);
        const TileBitmapHeader tile =
            parseTileBitmapHeader(std::span<const std::uint8_t, kTileHeaderSize>(corner, kTileHeaderSize));
        const std::uint32_t stored = tile.pixelSize == 0 ? 1 : tile.pixelSize;
        if (tile.width * tiles.columns != cls.width || tile.height * tiles.rows != cls.height ||
            stored != tilePixelBits(mode) || tile.rowBytes != tileRowBytes(mode, tile.width))
            return pdbFileData(DamagedPart::Tiles);
        tiles.tileWidth = tile.width;
        tiles.tileHeight = tile.height;
        tiles.rowBytes = tile.rowBytes;
        return std::nullopt;
    }

    std::optional<Refusal> readTileRow(const ClassTiles& tiles, std::uint32_t r, TileRow& row) const {
        row.row = r;
        row.compressedTiles = 0;
        for (std::uint32_t k = 0; k < tiles.columns; ++k) {
            bool compressed = false;
            row.pixels[k] = tilePixels(tiles, tiles.offsets[std::size_t{r} * tiles.columns + k], row.decoded[k], compressed);
            if (row.pixels[k] == nullptr) return pdbFileData(DamagedPart::Tiles);
            row.compressedTiles += compressed ? 1 : 0;
        }
        return std::nullopt;
    }

    // The pixel rows of the tile at `offset`: in the database, or decoded
    // into `decoded` when the tile is compressed. Null when damaged.
    const std::uint8_t* tilePixels(const ClassTiles& tiles, std::uint32_t offset, std::vector<std::uint8_t>& decoded,
                                   bool& compressed) const {
        const std::uint8_t* h = db_.at(offset, kTileHeaderSize);
        if (h == nullptr) return nullptr;
        const std::uint64_t data = std::uint64_t{offset} + kTileHeaderSize;
        compressed = (h[6] & kTileCompressedFlag) != 0;
        if (!compressed) return db_.at(data, std::uint64_t{tiles.tileHeight} * tiles.rowBytes);
        const std::uint8_t* word = db_.at(data, kCompressedSizeWordSize);
        if (word == nullptr || readLe16(word) < kCompressedSizeWordSize) return nullptr;
        const std::size_t codeSize = readLe16(word) - kCompressedSizeWordSize;
        const std::uint8_t* code = db_.at(data + kCompressedSizeWordSize, codeSize);
        if (code == nullptr) return nullptr;
        decoded.clear();
        if (decodeRunLength(std::span<const std::uint8_t>(code, codeSize), tiles.rowBytes, tiles.tileHeight,
                            decoded) != DecodeResult::Ok)
            return nullptr;
        return decoded.data();
    }

    DatabaseBytes db_;
    DatabaseVisitor& visitor_;
    RecordZeroLook look_;
    MapHeaderRecord header_;
    ClassGrid grid_;
};

// The first entry of a class: with no parent for Class 1 (only while no
// class is found), else whose parent is the entry that started the class above.
bool startsClass(const RecordDirectoryEntry& e, int found, std::uint32_t cur) {
    return e.parentIndex == 0 ? found == 0 : e.parentIndex == cur;
}

// A lower class's size and magnification from the entry that starts it.
void takeLowerClass(const RecordDirectoryEntry& e, const MapHeaderRecord& header, const RestoredClass& upper,
                    RestoredClass& c) {
    c.width = static_cast<std::uint16_t>(e.scaleToTop * header.width);
    c.height = static_cast<std::uint16_t>(e.scaleToTop * header.height);
    c.magnification = e.scaleToUpper;
    c.scaleToTop = upper.scaleToTop * e.scaleToUpper;
}

bool gridFits(const RestoredClass& c, const MapHeaderRecord& header) {
    const auto side = [](std::uint32_t v) { return v >= 1 && v <= kLargestRestoredSide; };
    if (!side(c.width) || !side(c.height)) return false;
    if (c.recordColumns == 0 || c.recordRows == 0) return false;
    if (std::uint32_t{c.recordColumns} * c.recordRows > kLargestTileGrid) return false;
    return header.width / c.recordColumns != 0 && header.height / c.recordRows != 0;
}

}  // namespace

ParseResult rebuildClassGrid(std::span<const RecordDirectoryEntry> entries, const MapHeaderRecord& header, ClassGrid& grid) {
    grid = ClassGrid{};
    const int count = header.classCount;
    if (count < 1 || count > kClassSlots) return ParseResult::MapHeaderDamaged;
    grid.classCount = count;
    grid.classes[0].width = header.width;
    grid.classes[0].height = header.height;

    std::uint32_t cur = header.firstDataIndex;
    int found = 0;
    for (std::uint32_t i = 0; i < header.dataRecordCount && found < count; ++i) {
        if (i >= entries.size()) return ParseResult::Truncated;
        const RecordDirectoryEntry& e = entries[i];
        if (!startsClass(e, found, cur)) continue;
        RestoredClass& c = grid.classes[static_cast<std::size_t>(found)];
        if (e.parentIndex != 0 && found > 0)
            takeLowerClass(e, header, grid.classes[static_cast<std::size_t>(found - 1)], c);
        if (e.tileWidth == 0 || e.tileHeight == 0) return ParseResult::MapHeaderDamaged;
        c.tileWidth = e.tileWidth;
        c.tileHeight = e.tileHeight;
        c.recordColumns = static_cast<std::uint16_t>(c.width / e.tileWidth);
        c.recordRows = static_cast<std::uint16_t>(c.height / e.tileHeight);
        cur = e.recordIndex;
        ++found;
    }
    if (found < count) return ParseResult::MapHeaderDamaged;
    for (int k = 0; k < count; ++k)
        if (!gridFits(grid.classes[static_cast<std::size_t>(k)], header)) return ParseResult::MapHeaderDamaged;
    return ParseResult::Parsed;
}

std::optional<Refusal> readMapDatabase(std::span<const std::uint8_t> database, DatabaseVisitor& visitor) {
    Reader reader(database, visitor);
    return reader.run();
}

}  // namespace plotvane
