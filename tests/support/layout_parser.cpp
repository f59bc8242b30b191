#include "support/layout_parser.h"

#include <algorithm>

#include "project/byte_order.h"

namespace plotvane::test {

namespace {

constexpr std::array<std::uint8_t, 8> kIdentity{'D', 'a', 't', 'a', 'O', 'r', 'b', 'l'};

template <std::size_t N>
std::array<std::uint8_t, N> takeBytes(const std::uint8_t* from) {
    std::array<std::uint8_t, N> a{};
    std::copy(from, from + N, a.begin());
    return a;
}

bool knownPixelSize(std::uint8_t size) {
    return size == 0 || size == 1 || size == 2 || size == 4 || size == 8;
}

// Record i runs from its offset to the next record's offset, the last one to the end.
std::uint64_t recordEnd(const std::vector<RecordListEntry>& records, std::size_t i, std::size_t fileSize) {
    return i + 1 < records.size() ? records[i + 1].offset : fileSize;
}

LayoutResult parseInfoText(std::span<const std::uint8_t> bytes, std::uint64_t start, std::uint64_t end,
                  InfoTextRecord& out) {
    if (start + kInfoTextHeaderSize > end) return LayoutResult::InfoTextDamaged;
    const std::uint8_t* p = bytes.data() + start;
    if (p[0] != 'i' || p[1] != 'f') return LayoutResult::InfoHeaderDamaged;
    out.tag = takeBytes<2>(p);
    const std::uint32_t count = readBe16(p + 2);
    out.spareCountField = readBe16(p + 4);
    out.formatWord = readBe16(p + 6);
    out.reserved = takeBytes<8>(p + 8);
    if (count > static_cast<std::uint32_t>(kInfoTextSlots)) return LayoutResult::InfoTextDamaged;
    out.spareEntries = out.spareCountField;
    const std::uint64_t length =
        kInfoTextHeaderSize + kInfoTextEntrySize * (static_cast<std::uint64_t>(count) + out.spareEntries);
    if (start + length > end) return LayoutResult::InfoTextDamaged;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* q = p + kInfoTextHeaderSize + kInfoTextEntrySize * i;
        InfoTextEntry e;
        e.left = readBe16(q);
        e.top = readBe16(q + 2);
        e.right = readBe16(q + 4);
        e.bottom = readBe16(q + 6);
        e.reserved = takeBytes<8>(q + 8);
        e.text = takeBytes<48>(q + 16);
        out.entries.push_back(e);
    }
    return LayoutResult::Parsed;
}

LayoutResult parseDataRecord(std::span<const std::uint8_t> bytes, std::uint64_t start, std::uint64_t end,
                    DataRecordInfo& out) {
    if (start + kTileHeaderSize > end) return LayoutResult::DataRecordDamaged;
    out.offset = static_cast<std::uint32_t>(start);
    out.header = parseTileBitmapHeader(bytes.subspan(start).first<kTileHeaderSize>());
    const TileBitmapHeader& h = out.header;
    if (!knownPixelSize(h.pixelSize)) return LayoutResult::DataRecordDamaged;
    const std::uint32_t bits = h.pixelSize == 0 ? 1u : h.pixelSize;
    if (static_cast<std::uint64_t>(h.width) * bits > static_cast<std::uint64_t>(h.rowBytes) * 8)
        return LayoutResult::DataRecordDamaged;
    std::uint64_t data = start + kTileHeaderSize;
    if (h.compressed()) {
        if (data + kCompressedSizeWordSize > end) return LayoutResult::DataRecordDamaged;
        out.sizeWord = readLe16(bytes.data() + data);
        data += kCompressedSizeWordSize;
    }
    out.dataOffset = static_cast<std::uint32_t>(data);
    out.dataLength = static_cast<std::uint32_t>(end - data);
    if (out.sizeWord) {
        if (*out.sizeWord < kCompressedSizeWordSize) return LayoutResult::DataRecordDamaged;
        if (*out.sizeWord - kCompressedSizeWordSize > out.dataLength) return LayoutResult::DataRecordDamaged;
    } else if (static_cast<std::uint64_t>(h.height) * h.rowBytes > out.dataLength) {
        return LayoutResult::DataRecordDamaged;
    }
    return LayoutResult::Parsed;
}

// The header and the record list: offsets in order, none past the end.
LayoutResult parseRecordList(std::span<const std::uint8_t> bytes, ParsedMapDatabase& out) {
    const std::size_t size = bytes.size();
    if (size < 68) return LayoutResult::Truncated;
    if (!std::equal(kIdentity.begin(), kIdentity.end(), bytes.data() + 60)) return LayoutResult::NotOrbilune;
    if (size < kDatabaseHeaderSize) return LayoutResult::Truncated;
    out.header = parseDatabaseHeader(bytes.first<kDatabaseHeaderSize>());

    const std::uint32_t n = out.header.recordCount;
    const std::uint64_t listEnd = kDatabaseHeaderSize + kRecordListEntrySize * n + kRecordListGapSize;
    if (listEnd > size) return LayoutResult::Truncated;
    if (n == 0) return LayoutResult::RecordListDamaged;
    std::uint64_t previous = listEnd;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint8_t* p = bytes.data() + kDatabaseHeaderSize + kRecordListEntrySize * i;
        RecordListEntry e;
        e.offset = readBe32(p);
        e.attributes = p[4];
        e.uniqueId = (static_cast<std::uint32_t>(p[5]) << 16) | (p[6] << 8) | p[7];
        if (e.offset < previous || e.offset > size) return LayoutResult::RecordListDamaged;
        previous = e.offset;
        out.records.push_back(e);
    }
    return LayoutResult::Parsed;
}

// Record 0 with its directory, inside the record and naming listed records.
LayoutResult parseRecordZero(std::span<const std::uint8_t> bytes, ParsedMapDatabase& out) {
    const std::uint32_t n = out.header.recordCount;
    const std::uint64_t zero = out.records[0].offset;
    const std::uint64_t zeroEnd = recordEnd(out.records, 0, bytes.size());
    if (zero + kMapHeaderFixedSize > zeroEnd) return LayoutResult::MapHeaderDamaged;
    out.mapHeader = parseMapHeaderFixed(bytes.subspan(zero).first<kMapHeaderFixedSize>());
    MapHeaderRecord& m = out.mapHeader;
    const std::uint32_t d = m.dataRecordCount;
    if (m.classCount < 1 || m.classCount > kClassSlots) return LayoutResult::MapHeaderDamaged;
    if (m.textRecordPresent != 0 && n < 2) return LayoutResult::MapHeaderDamaged;
    if (m.firstDataIndex < 1 || m.firstDataIndex + d > n) return LayoutResult::MapHeaderDamaged;
    if (zero + kMapHeaderFixedSize + kDirectoryEntrySize * d > zeroEnd) return LayoutResult::MapHeaderDamaged;
    for (std::uint32_t i = 0; i < d; ++i) {
        const std::size_t at = zero + kMapHeaderFixedSize + kDirectoryEntrySize * i;
        const RecordDirectoryEntry e = parseDirectoryEntry(bytes.subspan(at).first<kDirectoryEntrySize>());
        if (e.recordIndex == 0 || e.recordIndex >= n || e.parentIndex >= n) return LayoutResult::MapHeaderDamaged;
        m.directory.push_back(e);
    }
    return LayoutResult::Parsed;
}

}  // namespace

LayoutResult parseMapDatabase(std::span<const std::uint8_t> bytes, ParsedMapDatabase& out) {
    out = ParsedMapDatabase{};
    if (const LayoutResult rc = parseRecordList(bytes, out); rc != LayoutResult::Parsed) return rc;
    if (const LayoutResult rc = parseRecordZero(bytes, out); rc != LayoutResult::Parsed) return rc;
    const MapHeaderRecord& m = out.mapHeader;
    if (m.textRecordPresent != 0 && out.records[1].offset != 0) {
        InfoTextRecord text;
        const LayoutResult rc =
            parseInfoText(bytes, out.records[1].offset, recordEnd(out.records, 1, bytes.size()), text);
        if (rc != LayoutResult::Parsed) return rc;
        out.infoText = std::move(text);
    }
    for (std::uint32_t i = 0; i < m.dataRecordCount; ++i) {
        const std::uint32_t index = m.firstDataIndex + i;
        DataRecordInfo info;
        info.recordIndex = index;
        const LayoutResult rc =
            parseDataRecord(bytes, out.records[index].offset, recordEnd(out.records, index, bytes.size()), info);
        if (rc != LayoutResult::Parsed) return rc;
        out.dataRecords.push_back(info);
    }
    return LayoutResult::Parsed;
}

}  // namespace plotvane::test
