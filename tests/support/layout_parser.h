#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "database/map_database.h"

// A strict parser of the layout the writer produces, for assertions: every
// record back in its value type, each where the record list says, nothing
// running past its record. The program reads databases through
// readMapDatabase (database/database_reader.h), which accepts what File
// Load can restore; this one also refuses a layout the writer would never
// make.
namespace plotvane::test {

// What the strict parser found: the program's parse results (the same
// values), and the damage only this parser looks for between them.
enum class LayoutResult : int {
    Parsed = static_cast<int>(ParseResult::Parsed),
    Truncated = static_cast<int>(ParseResult::Truncated),
    NotOrbilune = static_cast<int>(ParseResult::NotOrbilune),
    RecordListDamaged = 3,  // an offset outside the file or out of order
    MapHeaderDamaged = static_cast<int>(ParseResult::MapHeaderDamaged),
    InfoHeaderDamaged = static_cast<int>(ParseResult::InfoHeaderDamaged),
    InfoTextDamaged = 6,    // text entries run past the record
    DataRecordDamaged = 7,  // a tile header or its pixels do not fit
};

struct DataRecordInfo {
    std::uint32_t recordIndex = 0;
    std::uint32_t offset = 0;          // of the tile header
    TileBitmapHeader header;
    std::optional<std::uint16_t> sizeWord;  // compressed records only
    std::uint32_t dataOffset = 0;      // first pixel data byte
    std::uint32_t dataLength = 0;      // bytes up to the next record or the end
};

struct ParsedMapDatabase {
    DatabaseHeader header;
    std::vector<RecordListEntry> records;
    MapHeaderRecord mapHeader;
    std::optional<InfoTextRecord> infoText;
    std::vector<DataRecordInfo> dataRecords;
};

// Parses and validates a whole database held in memory. Every offset,
// count and index is checked against the span before it is used; nothing
// outside the span is read. Returns Parsed or the first damage found.
LayoutResult parseMapDatabase(std::span<const std::uint8_t> bytes, ParsedMapDatabase& out);

}  // namespace plotvane::test
