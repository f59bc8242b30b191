#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "database/map_database.h"
#include "project/feedback.h"
#include "project/map_project.h"

// The one reader of a map database held in memory. File Load's restore
// and `info` both walk a database through readMapDatabase, so a file one
// of them refuses the other refuses too, with the same message.
namespace plotvane {

// Largest side of a restored class: the class bitmaps a database is made
// from are at most this size, and a RestoreFile must pass the same checks.
inline constexpr std::uint32_t kLargestRestoredSide = 4096;
// Cells of one class's tile grid: the record indices are single bytes.
inline constexpr std::uint32_t kLargestTileGrid = 253;

// One class as the directory pass finds it.
struct RestoredClass {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t magnification = 1;
    std::uint16_t recordColumns = 1;
    std::uint16_t recordRows = 1;
    // Tile size of the directory entry that started the class.
    std::uint16_t tileWidth = 0;
    std::uint16_t tileHeight = 0;
    // Product of the magnifications down to this class. The directory keeps
    // only its low byte, so a product of 256 or more matches no entry.
    std::uint32_t scaleToTop = 1;
};

struct ClassGrid {
    int classCount = 0;
    std::array<RestoredClass, kClassSlots> classes{};
};

// The directory pass of File Load over `entries`, the directory entries
// of record 0 as far as the file holds them (they may stop before the
// header's D; an entry the pass needs and does not find is a short read).
// With cur = the first data index, it takes the first entry whose parent
// is 0 as Class 1 and then, class by class, the first entry whose parent is
// cur, where cur is the record index of the entry that started the class
// above; a lower class is scale-to-Class-1 x W1 by scale-to-Class-1 x H1
// pixels (16 bits), its grid that size divided by the entry's tile size.
// Returns Parsed, Truncated, or MapHeaderDamaged when the classes
// cannot be rebuilt: a class count of 0 or above 4, fewer classes than it
// announces, a zero tile side, a side of 0 or above 4096, a class smaller
// than its tiles, a grid of more than 253 cells, or more columns (rows)
// than W1 (H1) has pixels.
ParseResult rebuildClassGrid(std::span<const RecordDirectoryEntry> entries, const MapHeaderRecord& header, ClassGrid& grid);

// Which part of a database a refusal is about.
enum class DamagedPart {
    MapHeader,  // the identity, record 0, its directory or the texts
    TileGrid,   // the directory entries or record offsets of a class's tiles
    Tiles,      // a tile header or its pixel rows
};

// Why a database cannot be loaded: the message File Load shows ("PDB file
// data", "Not Orbilune data!" or "information header"; title "Error",
// information icon).
struct Refusal {
    Message message;
    DamagedPart part = DamagedPart::MapHeader;
};

// The information text record as far as it could be read.
struct StoredTexts {
    bool headerRead = false;  // the tag and the count are sound
    std::uint16_t count = 0;
    std::uint8_t spareCount = 10;  // the second byte of the spare entry count
    std::uint16_t formatWord = 1;
    std::vector<InfoText> texts;  // stored bytes up to the first zero
};

// The tiles of one class: where each grid cell's record starts, rows from
// the top, and the format every tile of the class is read with (that of
// the bottom-left tile, which must fill the class exactly in the mode).
struct ClassTiles {
    int classIndex = 0;
    std::uint32_t columns = 0;
    std::uint32_t rows = 0;
    std::vector<std::uint32_t> offsets;
    std::uint32_t tileWidth = 0;
    std::uint32_t tileHeight = 0;
    std::uint32_t rowBytes = 0;
};

// The pixel rows of the tiles of one grid row, left to right: each
// tileHeight x rowBytes bytes, in the database or decoded into `decoded`.
struct TileRow {
    std::uint32_t row = 0;  // of the grid, from the top
    std::vector<const std::uint8_t*> pixels;
    std::vector<std::vector<std::uint8_t>> decoded;
    std::uint32_t compressedTiles = 0;
};

// Told what readMapDatabase finds, in File Load's order. A callback that
// returns false stops the read there.
class DatabaseVisitor {
public:
    virtual ~DatabaseVisitor() = default;
    // The first 64 bytes of record 0, once the identity and the record
    // offsets are read; its class count and colour mode are not checked yet.
    virtual void mapHeader(const MapHeaderRecord& header) { (void)header; }
    // The class count (1..4) and the colour mode are sound.
    virtual void classesAnnounced(int classCount) { (void)classCount; }
    // The directory pass found every class.
    virtual void classGrid(const ClassGrid& grid) { (void)grid; }
    // The text record as far as it was read, when record 0 announces one;
    // before the refusal when it is damaged.
    virtual void texts(const StoredTexts& texts) { (void)texts; }
    // Class `classIndex` (0-based) is about to be read.
    virtual bool beginClass(int classIndex) { (void)classIndex; return true; }
    // Every grid row of the class, from the bottom one up.
    virtual bool tileRow(const ClassTiles& tiles, const TileRow& row) { (void)tiles; (void)row; return true; }
    virtual bool endClass(int classIndex) { (void)classIndex; return true; }
};

// Reads a whole database held in memory as File Load restores it: the
// identity and record 0, the class count and colour mode, the directory
// pass, the information texts, then class by class the tile grid, the
// record offsets, the tile format and every pixel row (run-length rows
// decoded). Nothing outside `database` is read. Returns the first damage
// found, or nothing when the database is sound or `visitor` stopped.
std::optional<Refusal> readMapDatabase(std::span<const std::uint8_t> database, DatabaseVisitor& visitor);

}  // namespace plotvane
