#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "project/feedback.h"
#include "project/files.h"
#include "project/map_project.h"

// The map database: a Palm database with a map header record, an optional
// information text record and one bitmap record per tile. Every integer is
// big-endian except the compressed-size word of a compressed tile.
namespace plotvane {

inline constexpr std::size_t kDatabaseHeaderSize = 78;
inline constexpr std::size_t kRecordListEntrySize = 8;
inline constexpr std::size_t kRecordListGapSize = 2;
inline constexpr std::size_t kMapHeaderFixedSize = 64;
inline constexpr std::size_t kDirectoryEntrySize = 16;
inline constexpr std::size_t kInfoTextHeaderSize = 16;
inline constexpr std::size_t kInfoTextEntrySize = 64;
inline constexpr std::size_t kTileHeaderSize = 16;
inline constexpr std::size_t kCompressedSizeWordSize = 2;

// Records besides record 0 must stay below this count so that every record
// index fits in the one-byte directory fields.
inline constexpr std::uint32_t kRecordLimit = 254;
// A compressed record with its tile header and size word must fit in 64000 bytes.
inline constexpr std::uint32_t kCompressedRecordLimit = 64000;

// Seconds from 1904-01-01 to 1970-01-01 plus nine hours: the viewer counts
// dates in the UTC+9 zone from 1904, whatever zone the writing machine uses.
inline constexpr std::int64_t kWriteStampOffset = 2082877200;

inline constexpr std::uint8_t kRecordAttributes = 0x40;
inline constexpr std::uint8_t kTileCompressedFlag = 0x80;

struct DatabaseHeader {
    std::array<std::uint8_t, 32> name{};
    std::uint16_t attributes = 0;
    std::uint16_t version = 0;
    std::uint32_t creationDate = 0;
    std::uint32_t modificationDate = 0;
    std::uint32_t lastBackupDate = 0;
    std::uint32_t modificationNumber = 0;
    std::uint32_t appInfoOffset = 0;
    std::uint32_t sortInfoOffset = 0;
    std::array<std::uint8_t, 4> type{'D', 'a', 't', 'a'};
    std::array<std::uint8_t, 4> creator{'O', 'r', 'b', 'l'};
    std::uint32_t uniqueIdSeed = 0;
    std::uint32_t nextRecordList = 0;
    std::uint16_t recordCount = 0;

    bool operator==(const DatabaseHeader&) const = default;
};

struct RecordListEntry {
    std::uint32_t offset = 0;
    std::uint8_t attributes = kRecordAttributes;
    std::uint32_t uniqueId = 0;  // 24 bits

    bool operator==(const RecordListEntry&) const = default;
};

struct RecordDirectoryEntry {
    std::uint8_t recordIndex = 0;
    std::uint8_t parentIndex = 0;
    std::uint8_t scaleToUpper = 1;
    std::uint8_t scaleToTop = 1;
    std::uint16_t xOrigin = 0;
    std::uint16_t yOrigin = 0;
    std::uint16_t tileWidth = 0;
    std::uint16_t tileHeight = 0;
    std::uint32_t reserved = 0;

    bool operator==(const RecordDirectoryEntry&) const = default;
};

struct MapHeaderRecord {
    std::array<std::uint8_t, 16> name{};
    std::array<std::uint8_t, 8> encodedPassword{};
    std::array<std::uint8_t, 6> version{};
    std::uint8_t textRecordPresent = 0;
    std::uint8_t hemisphere = 0;
    std::uint32_t upperLeftLong = 0;
    std::uint32_t upperLeftLat = 0;
    std::uint32_t bottomRightLong = 0;
    std::uint32_t bottomRightLat = 0;
    std::uint32_t gpsFlag = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t dataRecordCount = 0;
    std::uint8_t firstDataIndex = 1;
    std::uint8_t classCount = 0;
    std::uint8_t constant = 2;
    ColourMode colourMode = ColourMode::Original;
    std::array<std::uint8_t, 3> reserved{};
    std::vector<RecordDirectoryEntry> directory;

    bool operator==(const MapHeaderRecord&) const = default;
};

struct InfoTextEntry {
    std::uint16_t left = 0;
    std::uint16_t top = 0;
    std::uint16_t right = 0;
    std::uint16_t bottom = 0;
    std::array<std::uint8_t, 8> reserved{};
    std::array<std::uint8_t, 48> text{};

    bool operator==(const InfoTextEntry&) const = default;
};

struct InfoTextRecord {
    std::array<std::uint8_t, 2> tag{'i', 'f'};
    // Stored as a zero byte and the low byte of the count.
    std::uint16_t spareCountField = 0;
    std::uint16_t formatWord = 1;
    std::array<std::uint8_t, 8> reserved{};
    std::vector<InfoTextEntry> entries;
    // Zero entries written after the texts.
    std::uint32_t spareEntries = 0;

    bool operator==(const InfoTextRecord&) const = default;
};

struct TileBitmapHeader {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t rowBytes = 0;
    std::uint8_t flagsHigh = 0;
    std::uint8_t flagsLow = 0;
    std::uint8_t pixelSize = 0;
    std::uint8_t version = 0;
    std::uint16_t nextDepthOffset = 0;
    std::uint8_t transparentIndex = 0;
    std::uint8_t compressionType = 0;
    std::uint16_t reserved = 0;

    bool compressed() const { return (flagsHigh & kTileCompressedFlag) != 0; }
    bool operator==(const TileBitmapHeader&) const = default;
};

// ---- Pure layout rules -------------------------------------------------

// Bytes of one packed tile row of `width` pixels: whole 16-bit words.
std::uint32_t tileRowBytes(ColourMode mode, std::uint32_t width);

// Number of data records of the classes in use (sum of columns x rows).
std::uint64_t dataRecordCount(const MapProject& project, int classCount);

// Directory entries of every data record, computed from the class rows;
// `firstIndex` is the record index of the first data record (1 + X).
// A class row with no columns or rows contributes no entries.
std::vector<RecordDirectoryEntry> computeDirectory(const MapProject& project, int classCount,
                                                   std::uint8_t firstIndex);

// The length of each record in the file, in record order.
struct RecordLayout {
    std::uint32_t dataRecords = 0;     // D
    bool hasInfoText = false;          // X
    std::uint32_t infoTexts = 0;       // T
    std::uint32_t spareEntries = 0;    // S
    std::span<const std::uint32_t> dataLengths;  // pixel data of each data record
    bool compressed = false;
};
std::uint32_t recordCountOf(const RecordLayout& layout);  // N = 1 + X + D
// Offsets from the start of the file: running sums from 80 + 8 x N.
// `dataLengths` must hold at least D entries.
std::vector<std::uint32_t> recordOffsets(const RecordLayout& layout);

std::uint32_t makeWriteStamp(std::int64_t secondsSince1970);

// Value types filled from the project, as the writer stores them.
DatabaseHeader makeDatabaseHeader(const MapProject& project, std::uint32_t writeStamp,
                                  std::uint16_t recordCount);
MapHeaderRecord makeMapHeaderRecord(const MapProject& project, int classCount,
                                    ColourMode colourMode);
InfoTextRecord makeInfoTextRecord(const MapProject& project);
TileBitmapHeader makeTileBitmapHeader(std::uint16_t width, std::uint16_t height,
                                      ColourMode colourMode, bool compressed);

// ---- Serialiser: appends the stored bytes ------------------------------

void appendDatabaseHeader(std::vector<std::uint8_t>& out, const DatabaseHeader& header);
// The entries, then the two gap bytes.
void appendRecordList(std::vector<std::uint8_t>& out, std::span<const RecordListEntry> entries);
void appendMapHeaderFixed(std::vector<std::uint8_t>& out, const MapHeaderRecord& record);
void appendMapHeaderRecord(std::vector<std::uint8_t>& out, const MapHeaderRecord& record);
void appendDirectoryEntry(std::vector<std::uint8_t>& out, const RecordDirectoryEntry& entry);
void appendInfoTextRecord(std::vector<std::uint8_t>& out, const InfoTextRecord& record);
void appendTileBitmapHeader(std::vector<std::uint8_t>& out, const TileBitmapHeader& header);
// The one little-endian field of the file: compressed data length + 2.
void appendCompressedSizeWordLittleEndian(std::vector<std::uint8_t>& out, std::uint16_t value);

// ---- Parser ------------------------------------------------------------

// What the header checks found in a database.
enum class ParseResult : int {
    Parsed = 0,
    Truncated = 1,          // the header, record list or a record runs past the end
    NotOrbilune = 2,        // type and creator are not "Data" "Orbl"
    MapHeaderDamaged = 4,   // record 0 inconsistent or too short
    InfoHeaderDamaged = 5,  // the text record's tag is not "if"
};

// The message the program shows for a parse result: "Not Orbilune data!",
// "information header", or "PDB file data" for every other damage.
const char* parseErrorText(ParseResult result);

DatabaseHeader parseDatabaseHeader(std::span<const std::uint8_t, kDatabaseHeaderSize> bytes);
// The first 64 bytes of record 0; the directory is left empty.
MapHeaderRecord parseMapHeaderFixed(std::span<const std::uint8_t, kMapHeaderFixedSize> bytes);
RecordDirectoryEntry parseDirectoryEntry(std::span<const std::uint8_t, kDirectoryEntrySize> bytes);
TileBitmapHeader parseTileBitmapHeader(std::span<const std::uint8_t, kTileHeaderSize> bytes);

// ---- First look at a database file (the checks of File Load) -----------

struct DatabaseHeaderSummary {
    bool opened = false;                         // the file could be opened
    std::array<char, 10> loadedPassword{};       // record 0 bytes 16..23, two zeros
    std::array<std::uint8_t, 7> loadedBinding{};
    std::uint32_t recordZeroOffset = 0;
    std::uint32_t recordOneOffset = 0;
};

// Reads `size` bytes at `offset`; false on a short read or a failed seek.
using ByteReader = std::function<bool(std::uint64_t offset, std::uint8_t* data, std::size_t size)>;

// A reader over bytes in memory: a read past their end fails. The bytes
// must outlive the reader.
ByteReader spanReader(std::span<const std::uint8_t> bytes);

// What every stage of File Load reads first: the identity, the offsets of
// records 0 and 1 and the first 64 bytes of record 0.
struct RecordZeroLook {
    std::uint32_t recordZeroOffset = 0;
    std::uint32_t recordOneOffset = 0;
    std::array<std::uint8_t, kMapHeaderFixedSize> fixed{};
};

// Reads 60 bytes, then the 8 identity bytes, then 22 more, then record 0,
// in that order: Parsed, NotOrbilune, or Truncated for every short read.
ParseResult readRecordZero(const ByteReader& read, RecordZeroLook& look);

// The header checks after the file is open: identity, record offsets,
// record 0, the information header. Parsed, or what was found (Truncated
// for every short read).
ParseResult checkDatabaseHeader(const ByteReader& read, DatabaseHeaderSummary& summary);

// A database holds at most 254 records of at most 64 KiB each; a file far
// larger is not one and is not read into memory.
inline constexpr std::uint64_t kLargestDatabase = 32u * 1024u * 1024u;

// The bytes of a whole database file, read once and not cleared first.
struct DatabaseFile {
    struct Free {
        void operator()(std::uint8_t* p) const;
    };
    std::unique_ptr<std::uint8_t, Free> data;
    std::size_t size = 0;
    std::span<const std::uint8_t> bytes() const { return {data.get(), size}; }
};

// Reads a whole database file. False, with nothing kept, when it cannot be
// read or is larger than kLargestDatabase.
bool readDatabaseFile(std::FILE* file, DatabaseFile& out);

// What the checks of a database file found before anything is restored.
// The values are File Load's result codes: 1 for a file that is not there,
// 2 for every other refusal.
enum class DatabaseCheck : int {
    Ok = 0,
    NotFound = 1,    // "Error : Cannot find pdb-file"
    CannotOpen = 2,  // "Error : Cannot open pdb-file"
    Refused = 2,     // "PDB file data", "Not Orbilune data!" or "information header"
};

// The header checks of File Load on a database held in memory: Ok, or
// Refused after the message File Load shows.
DatabaseCheck checkDatabaseHeader(std::span<const std::uint8_t> bytes, Feedback& feedback,
                                  DatabaseHeaderSummary& summary);

// The first stage of File Load, with its message shown on a failure.
DatabaseCheck readDatabaseHeader(const std::filesystem::path& path, Feedback& feedback,
                                 DatabaseHeaderSummary& summary);
// Opens a database file for reading: Ok, NotFound or CannotOpen, after the
// message of a failure (title "Warning").
DatabaseCheck openDatabaseFile(const std::filesystem::path& path, Feedback& feedback, FilePtr& file);

// The same, storing `loadedPassword` and `loadedBinding` in the project
// once the file was opened (they are zeroed first, even when a check fails).
DatabaseCheck readDatabaseHeader(const std::filesystem::path& path, MapProject& project, Feedback& feedback);

}  // namespace plotvane
