#include "database/map_database.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "project/byte_order.h"
#include "project/files.h"

namespace plotvane {

namespace {

// Appends `size` bytes, returning where they start, so fields can be
// written through the byte-order helpers.
std::uint8_t* grow(std::vector<std::uint8_t>& out, std::size_t size) {
    const std::size_t at = out.size();
    out.resize(at + size, 0);
    return out.data() + at;
}

template <std::size_t N>
void copyBytes(std::uint8_t* to, const std::array<std::uint8_t, N>& from) {
    std::copy(from.begin(), from.end(), to);
}

template <std::size_t N>
std::array<std::uint8_t, N> takeBytes(const std::uint8_t* from) {
    std::array<std::uint8_t, N> a{};
    std::copy(from, from + N, a.begin());
    return a;
}

std::uint32_t safeDiv(std::uint32_t a, std::uint32_t b) { return b == 0 ? 0 : a / b; }

}  // namespace

// ---- Pure layout rules -------------------------------------------------

std::uint32_t tileRowBytes(ColourMode mode, std::uint32_t width) {
    switch (mode) {
        case ColourMode::Original:
        case ColourMode::Bpp1: return (width + 15) / 16 * 2;
        case ColourMode::Bpp2: return (width + 7) / 8 * 2;
        case ColourMode::Bpp4: return (width + 3) / 4 * 2;
        case ColourMode::Bpp8: return (width + 1) / 2 * 2;
        default: return 0;
    }
}

std::uint64_t dataRecordCount(const MapProject& project, int classCount) {
    std::uint64_t d = 0;
    const int count = std::clamp(classCount, 0, kClassSlots);
    for (int k = 0; k < count; ++k) {
        const MapClassEntry& c = project.classes[static_cast<std::size_t>(k)];
        d += static_cast<std::uint64_t>(c.recordColumns) * c.recordRows;
    }
    return d;
}

std::vector<RecordDirectoryEntry> computeDirectory(const MapProject& project, int classCount,
                                                   std::uint8_t firstIndex) {
    std::vector<RecordDirectoryEntry> entries;
    const int count = std::clamp(classCount, 0, kClassSlots);
    const std::uint32_t w1 = project.classes[0].width;
    const std::uint32_t h1 = project.classes[0].height;
    std::uint32_t index = firstIndex;
    std::uint32_t upperFirstIndex = 0;
    std::uint32_t scaleToTop = 1;
    for (int k = 0; k < count; ++k) {
        const MapClassEntry& cls = project.classes[static_cast<std::size_t>(k)];
        const std::uint32_t nx = cls.recordColumns;
        const std::uint32_t ny = cls.recordRows;
        const std::uint32_t scaleToUpper = k == 0 ? 1 : cls.magnification;
        scaleToTop *= scaleToUpper;
        const std::uint32_t classFirstIndex = index;
        std::uint32_t columnRatio = 0;
        std::uint32_t rowRatio = 0;
        std::uint32_t upperColumns = 0;
        if (k > 0) {
            const MapClassEntry& upper = project.classes[static_cast<std::size_t>(k - 1)];
            upperColumns = upper.recordColumns;
            columnRatio = safeDiv(nx, upper.recordColumns);
            rowRatio = safeDiv(ny, upper.recordRows);
        }
        for (std::uint32_t r = 0; r < ny; ++r) {
            for (std::uint32_t c = 0; c < nx; ++c) {
                RecordDirectoryEntry e;
                e.recordIndex = static_cast<std::uint8_t>(index);
                e.parentIndex = k == 0 ? 0
                                       : static_cast<std::uint8_t>(
                                             upperFirstIndex + safeDiv(r, rowRatio) * upperColumns +
                                             safeDiv(c, columnRatio));
                e.scaleToUpper = static_cast<std::uint8_t>(scaleToUpper);
                e.scaleToTop = static_cast<std::uint8_t>(scaleToTop);
                e.xOrigin = static_cast<std::uint16_t>(c * (w1 / nx));
                e.yOrigin = static_cast<std::uint16_t>(r * (h1 / ny));
                e.tileWidth = static_cast<std::uint16_t>(cls.width / nx);
                e.tileHeight = static_cast<std::uint16_t>(cls.height / ny);
                entries.push_back(e);
                ++index;
            }
        }
        upperFirstIndex = classFirstIndex;
    }
    return entries;
}

std::uint32_t recordCountOf(const RecordLayout& layout) {
    return 1 + (layout.hasInfoText ? 1u : 0u) + layout.dataRecords;
}

std::vector<std::uint32_t> recordOffsets(const RecordLayout& layout) {
    const std::uint32_t n = recordCountOf(layout);
    std::vector<std::uint32_t> offsets;
    offsets.reserve(n);
    std::uint32_t sum = static_cast<std::uint32_t>(kDatabaseHeaderSize + kRecordListGapSize) +
                        static_cast<std::uint32_t>(kRecordListEntrySize) * n;
    offsets.push_back(sum);
    sum += static_cast<std::uint32_t>(kMapHeaderFixedSize) +
           static_cast<std::uint32_t>(kDirectoryEntrySize) * layout.dataRecords;
    if (layout.hasInfoText) {
        offsets.push_back(sum);
        sum += static_cast<std::uint32_t>(kInfoTextHeaderSize) +
               static_cast<std::uint32_t>(kInfoTextEntrySize) *
                   (layout.infoTexts + layout.spareEntries);
    }
    const std::uint32_t extra = static_cast<std::uint32_t>(kTileHeaderSize) +
                                (layout.compressed ? static_cast<std::uint32_t>(kCompressedSizeWordSize) : 0u);
    for (std::uint32_t i = 0; i < layout.dataRecords; ++i) {
        offsets.push_back(sum);
        const std::uint32_t length = i < layout.dataLengths.size() ? layout.dataLengths[i] : 0;
        sum += length + extra;
    }
    return offsets;
}

std::uint32_t makeWriteStamp(std::int64_t secondsSince1970) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(secondsSince1970 + kWriteStampOffset));
}

DatabaseHeader makeDatabaseHeader(const MapProject& project, std::uint32_t writeStamp,
                                  std::uint16_t recordCount) {
    DatabaseHeader h;
    for (std::size_t i = 0; i < 16; ++i) h.name[i] = static_cast<std::uint8_t>(project.databaseName.bytes[i]);
    h.creationDate = writeStamp;
    h.modificationDate = writeStamp;
    h.recordCount = recordCount;
    return h;
}

MapHeaderRecord makeMapHeaderRecord(const MapProject& project, int classCount,
                                    ColourMode colourMode) {
    MapHeaderRecord r;
    for (std::size_t i = 0; i < 16; ++i) r.name[i] = static_cast<std::uint8_t>(project.databaseName.bytes[i]);
    for (std::size_t i = 0; i < 8; ++i)
        r.encodedPassword[i] = static_cast<std::uint8_t>(project.access.encodedPassword[i]);
    for (std::size_t i = 0; i < 6; ++i) r.version[i] = static_cast<std::uint8_t>(project.versionText.bytes[i]);
    const bool hasText = project.infoTextCount > 0;
    r.textRecordPresent = hasText ? 1 : 0;
    if (project.gpsEnabled != 0) {
        const GeoBounds& g = project.geo;
        r.hemisphere = g.bottomRightLatTotal < g.upperLeftLatTotal ? 'N' : 'S';
        r.upperLeftLong = g.upperLeftLongTotal;
        r.upperLeftLat = g.upperLeftLatTotal;
        r.bottomRightLong = g.bottomRightLongTotal;
        r.bottomRightLat = g.bottomRightLatTotal;
        r.gpsFlag = 1;
    }
    r.width = project.classes[0].width;
    r.height = project.classes[0].height;
    r.firstDataIndex = static_cast<std::uint8_t>(1 + r.textRecordPresent);
    r.dataRecordCount = static_cast<std::uint8_t>(dataRecordCount(project, classCount));
    r.classCount = static_cast<std::uint8_t>(classCount);
    r.colourMode = colourMode;
    r.directory = computeDirectory(project, classCount, r.firstDataIndex);
    return r;
}

InfoTextRecord makeInfoTextRecord(const MapProject& project) {
    InfoTextRecord r;
    // The project holds 100 slots; a larger count can only come from a damaged load.
    const int count = std::min<int>(project.infoTextCount, kInfoTextSlots);
    for (int i = 0; i < count; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        InfoTextEntry e;
        e.left = project.infoLeft[slot];
        e.top = project.infoTop[slot];
        e.right = project.infoRight[slot];
        e.bottom = project.infoBottom[slot];
        for (std::size_t b = 0; b < e.text.size(); ++b)
            e.text[b] = static_cast<std::uint8_t>(project.infoTextBytes[slot][b]);
        r.entries.push_back(e);
    }
    r.spareCountField = static_cast<std::uint16_t>(project.spareInfoTextCount & 0xFF);
    r.spareEntries = project.spareInfoTextCount;
    return r;
}

TileBitmapHeader makeTileBitmapHeader(std::uint16_t width, std::uint16_t height,
                                      ColourMode colourMode, bool compressed) {
    TileBitmapHeader h;
    h.width = width;
    h.height = height;
    h.rowBytes = static_cast<std::uint16_t>(tileRowBytes(colourMode, width));
    if (colourMode == ColourMode::Original) return h;
    h.pixelSize = colourModeByte(colourMode);
    h.version = 2;
    if (compressed) {
        h.flagsHigh = kTileCompressedFlag;
        h.compressionType = 1;
    }
    return h;
}

// ---- Serialiser --------------------------------------------------------

void appendDatabaseHeader(std::vector<std::uint8_t>& out, const DatabaseHeader& h) {
    std::uint8_t* p = grow(out, kDatabaseHeaderSize);
    copyBytes(p, h.name);
    writeBe16(p + 32, h.attributes);
    writeBe16(p + 34, h.version);
    writeBe32(p + 36, h.creationDate);
    writeBe32(p + 40, h.modificationDate);
    writeBe32(p + 44, h.lastBackupDate);
    writeBe32(p + 48, h.modificationNumber);
    writeBe32(p + 52, h.appInfoOffset);
    writeBe32(p + 56, h.sortInfoOffset);
    copyBytes(p + 60, h.type);
    copyBytes(p + 64, h.creator);
    writeBe32(p + 68, h.uniqueIdSeed);
    writeBe32(p + 72, h.nextRecordList);
    writeBe16(p + 76, h.recordCount);
}

void appendRecordList(std::vector<std::uint8_t>& out, std::span<const RecordListEntry> entries) {
    for (const RecordListEntry& e : entries) {
        std::uint8_t* p = grow(out, kRecordListEntrySize);
        writeBe32(p, e.offset);
        p[4] = e.attributes;
        p[5] = static_cast<std::uint8_t>(e.uniqueId >> 16);
        p[6] = static_cast<std::uint8_t>(e.uniqueId >> 8);
        p[7] = static_cast<std::uint8_t>(e.uniqueId);
    }
    grow(out, kRecordListGapSize);
}

void appendMapHeaderFixed(std::vector<std::uint8_t>& out, const MapHeaderRecord& r) {
    std::uint8_t* p = grow(out, kMapHeaderFixedSize);
    copyBytes(p, r.name);
    copyBytes(p + 16, r.encodedPassword);
    copyBytes(p + 24, r.version);
    p[30] = r.textRecordPresent;
    p[31] = r.hemisphere;
    writeBe32(p + 32, r.upperLeftLong);
    writeBe32(p + 36, r.upperLeftLat);
    writeBe32(p + 40, r.bottomRightLong);
    writeBe32(p + 44, r.bottomRightLat);
    writeBe32(p + 48, r.gpsFlag);
    writeBe16(p + 52, r.width);
    writeBe16(p + 54, r.height);
    p[56] = r.dataRecordCount;
    p[57] = r.firstDataIndex;
    p[58] = r.classCount;
    p[59] = r.constant;
    p[60] = colourModeByte(r.colourMode);
    copyBytes(p + 61, r.reserved);
}

void appendDirectoryEntry(std::vector<std::uint8_t>& out, const RecordDirectoryEntry& e) {
    std::uint8_t* p = grow(out, kDirectoryEntrySize);
    p[0] = e.recordIndex;
    p[1] = e.parentIndex;
    p[2] = e.scaleToUpper;
    p[3] = e.scaleToTop;
    writeBe16(p + 4, e.xOrigin);
    writeBe16(p + 6, e.yOrigin);
    writeBe16(p + 8, e.tileWidth);
    writeBe16(p + 10, e.tileHeight);
    writeBe32(p + 12, e.reserved);
}

void appendMapHeaderRecord(std::vector<std::uint8_t>& out, const MapHeaderRecord& r) {
    appendMapHeaderFixed(out, r);
    for (const RecordDirectoryEntry& e : r.directory) appendDirectoryEntry(out, e);
}

void appendInfoTextRecord(std::vector<std::uint8_t>& out, const InfoTextRecord& r) {
    std::uint8_t* p = grow(out, kInfoTextHeaderSize);
    copyBytes(p, r.tag);
    writeBe16(p + 2, static_cast<std::uint16_t>(r.entries.size()));
    writeBe16(p + 4, r.spareCountField);
    writeBe16(p + 6, r.formatWord);
    copyBytes(p + 8, r.reserved);
    for (const InfoTextEntry& e : r.entries) {
        std::uint8_t* q = grow(out, kInfoTextEntrySize);
        writeBe16(q, e.left);
        writeBe16(q + 2, e.top);
        writeBe16(q + 4, e.right);
        writeBe16(q + 6, e.bottom);
        copyBytes(q + 8, e.reserved);
        copyBytes(q + 16, e.text);
    }
    grow(out, kInfoTextEntrySize * r.spareEntries);
}

void appendTileBitmapHeader(std::vector<std::uint8_t>& out, const TileBitmapHeader& h) {
    std::uint8_t* p = grow(out, kTileHeaderSize);
    writeBe16(p, h.width);
    writeBe16(p + 2, h.height);
    writeBe16(p + 4, h.rowBytes);
    p[6] = h.flagsHigh;
    p[7] = h.flagsLow;
    p[8] = h.pixelSize;
    p[9] = h.version;
    writeBe16(p + 10, h.nextDepthOffset);
    p[12] = h.transparentIndex;
    p[13] = h.compressionType;
    writeBe16(p + 14, h.reserved);
}

void appendCompressedSizeWordLittleEndian(std::vector<std::uint8_t>& out, std::uint16_t value) {
    writeLe16(grow(out, kCompressedSizeWordSize), value);
}

// ---- Parser ------------------------------------------------------------

const char* parseErrorText(ParseResult result) {
    switch (result) {
        case ParseResult::NotOrbilune: return "Not Orbilune data!";
        case ParseResult::InfoHeaderDamaged: return "information header";
        default: return "PDB file data";
    }
}

DatabaseHeader parseDatabaseHeader(std::span<const std::uint8_t, kDatabaseHeaderSize> b) {
    const std::uint8_t* p = b.data();
    DatabaseHeader h;
    h.name = takeBytes<32>(p);
    h.attributes = readBe16(p + 32);
    h.version = readBe16(p + 34);
    h.creationDate = readBe32(p + 36);
    h.modificationDate = readBe32(p + 40);
    h.lastBackupDate = readBe32(p + 44);
    h.modificationNumber = readBe32(p + 48);
    h.appInfoOffset = readBe32(p + 52);
    h.sortInfoOffset = readBe32(p + 56);
    h.type = takeBytes<4>(p + 60);
    h.creator = takeBytes<4>(p + 64);
    h.uniqueIdSeed = readBe32(p + 68);
    h.nextRecordList = readBe32(p + 72);
    h.recordCount = readBe16(p + 76);
    return h;
}

RecordDirectoryEntry parseDirectoryEntry(std::span<const std::uint8_t, kDirectoryEntrySize> b) {
    const std::uint8_t* p = b.data();
    RecordDirectoryEntry e;
    e.recordIndex = p[0];
    e.parentIndex = p[1];
    e.scaleToUpper = p[2];
    e.scaleToTop = p[3];
    e.xOrigin = readBe16(p + 4);
    e.yOrigin = readBe16(p + 6);
    e.tileWidth = readBe16(p + 8);
    e.tileHeight = readBe16(p + 10);
    e.reserved = readBe32(p + 12);
    return e;
}

TileBitmapHeader parseTileBitmapHeader(std::span<const std::uint8_t, kTileHeaderSize> b) {
    const std::uint8_t* p = b.data();
    TileBitmapHeader h;
    h.width = readBe16(p);
    h.height = readBe16(p + 2);
    h.rowBytes = readBe16(p + 4);
    h.flagsHigh = p[6];
    h.flagsLow = p[7];
    h.pixelSize = p[8];
    h.version = p[9];
    h.nextDepthOffset = readBe16(p + 10);
    h.transparentIndex = p[12];
    h.compressionType = p[13];
    h.reserved = readBe16(p + 14);
    return h;
}

namespace {

constexpr std::array<std::uint8_t, 8> kIdentity{'D', 'a', 't', 'a', 'O', 'r', 'b', 'l'};

}  // namespace

MapHeaderRecord parseMapHeaderFixed(std::span<const std::uint8_t, kMapHeaderFixedSize> b) {
    const std::uint8_t* p = b.data();
    MapHeaderRecord r;
    r.name = takeBytes<16>(p);
    r.encodedPassword = takeBytes<8>(p + 16);
    r.version = takeBytes<6>(p + 24);
    r.textRecordPresent = p[30];
    r.hemisphere = p[31];
    r.upperLeftLong = readBe32(p + 32);
    r.upperLeftLat = readBe32(p + 36);
    r.bottomRightLong = readBe32(p + 40);
    r.bottomRightLat = readBe32(p + 44);
    r.gpsFlag = readBe32(p + 48);
    r.width = readBe16(p + 52);
    r.height = readBe16(p + 54);
    r.dataRecordCount = p[56];
    r.firstDataIndex = p[57];
    r.classCount = p[58];
    r.constant = p[59];
    r.colourMode = colourModeOfByte(p[60]);
    r.reserved = takeBytes<3>(p + 61);
    return r;
}

// ---- First look at a database file -------------------------------------

ByteReader spanReader(std::span<const std::uint8_t> bytes) {
    return [bytes](std::uint64_t offset, std::uint8_t* data, std::size_t size) {
        if (offset > bytes.size() || size > bytes.size() - offset) return false;
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), size, data);
        return true;
    };
}

ParseResult readRecordZero(const ByteReader& read, RecordZeroLook& look) {
    std::array<std::uint8_t, 60> head{};
    std::array<std::uint8_t, 8> identity{};
    if (!read(0, head.data(), head.size()) || !read(60, identity.data(), identity.size()))
        return ParseResult::Truncated;
    if (identity != kIdentity) return ParseResult::NotOrbilune;

    std::array<std::uint8_t, 22> rest{};
    if (!read(68, rest.data(), rest.size())) return ParseResult::Truncated;
    look.recordZeroOffset = readBe32(rest.data() + 10);
    look.recordOneOffset = readBe32(rest.data() + 18);
    if (!read(look.recordZeroOffset, look.fixed.data(), look.fixed.size())) return ParseResult::Truncated;
    return ParseResult::Parsed;
}

ParseResult checkDatabaseHeader(const ByteReader& read, DatabaseHeaderSummary& summary) {
    summary.loadedPassword.fill('\0');
    summary.loadedBinding.fill(0);
    RecordZeroLook look;
    if (const ParseResult rc = readRecordZero(read, look); rc != ParseResult::Parsed) return rc;
    summary.recordZeroOffset = look.recordZeroOffset;
    summary.recordOneOffset = look.recordOneOffset;
    const std::array<std::uint8_t, kMapHeaderFixedSize>& zero = look.fixed;
    for (std::size_t i = 0; i < 8; ++i) summary.loadedPassword[i] = static_cast<char>(zero[16 + i]);
    summary.loadedBinding[0] = zero[58];
    summary.loadedBinding[1] = zero[31] != 0 ? 1 : 0;
    summary.loadedBinding[3] = zero[25];
    summary.loadedBinding[4] = zero[52];
    summary.loadedBinding[5] = zero[53];
    summary.loadedBinding[6] = zero[0];

    if (zero[30] == 0 || summary.recordOneOffset == 0) return ParseResult::Parsed;
    std::array<std::uint8_t, kInfoTextHeaderSize> info{};
    if (!read(summary.recordOneOffset, info.data(), info.size())) return ParseResult::Truncated;
    if (info[0] != 'i' || info[1] != 'f') return ParseResult::InfoHeaderDamaged;
    summary.loadedBinding[2] = info[3];
    return ParseResult::Parsed;
}

void DatabaseFile::Free::operator()(std::uint8_t* p) const { std::free(p); }

bool readDatabaseFile(std::FILE* file, DatabaseFile& out) {
    out = DatabaseFile{};
    if (fseeko(file, 0, SEEK_END) != 0) return false;
    const off_t end = ftello(file);
    if (end < 0 || static_cast<std::uint64_t>(end) > kLargestDatabase || !seekTo(file, 0)) return false;
    const auto size = static_cast<std::size_t>(end);
    // Fresh memory costs a page fault for every 4 KiB filled; a buffer the
    // system may back with 2 MiB pages takes a database in a few.
    constexpr std::size_t kHugePage = 2u << 20;
    const std::size_t room = (size / kHugePage + 1) * kHugePage;
    DatabaseFile whole;
    whole.data.reset(static_cast<std::uint8_t*>(std::aligned_alloc(kHugePage, room)));
    if (!whole.data) return false;
    ::madvise(whole.data.get(), room, MADV_HUGEPAGE);
    if (!readExact(file, whole.data.get(), size)) return false;
    whole.size = size;
    out = std::move(whole);
    return true;
}

namespace {

DatabaseCheck refuseHeader(ParseResult result, Feedback& feedback) {
    feedback.show(error(parseErrorText(result), Icon::Information));
    return DatabaseCheck::Refused;
}

}  // namespace

DatabaseCheck openDatabaseFile(const std::filesystem::path& path, Feedback& feedback, FilePtr& file) {
    if (!fileExists(path)) {
        feedback.show(warning("Error : Cannot find pdb-file", Icon::Exclamation));
        return DatabaseCheck::NotFound;
    }
    file = openFile(path, "rb");
    if (!file) {
        feedback.show(warning("Error : Cannot open pdb-file", Icon::Information));
        return DatabaseCheck::CannotOpen;
    }
    return DatabaseCheck::Ok;
}

DatabaseCheck checkDatabaseHeader(std::span<const std::uint8_t> bytes, Feedback& feedback,
                                  DatabaseHeaderSummary& summary) {
    summary = DatabaseHeaderSummary{};
    summary.opened = true;
    const ParseResult rc = checkDatabaseHeader(spanReader(bytes), summary);
    return rc == ParseResult::Parsed ? DatabaseCheck::Ok : refuseHeader(rc, feedback);
}

DatabaseCheck readDatabaseHeader(const std::filesystem::path& path, Feedback& feedback,
                                 DatabaseHeaderSummary& summary) {
    summary = DatabaseHeaderSummary{};
    FilePtr file;
    if (const DatabaseCheck opened = openDatabaseFile(path, feedback, file); opened != DatabaseCheck::Ok)
        return opened;
    summary.opened = true;
    BusyScope busy(feedback);
    std::FILE* f = file.get();
    const ByteReader reader = [f](std::uint64_t offset, std::uint8_t* data, std::size_t size) {
        return seekTo(f, offset) && readExact(f, data, size);
    };
    const ParseResult rc = checkDatabaseHeader(reader, summary);
    return rc == ParseResult::Parsed ? DatabaseCheck::Ok : refuseHeader(rc, feedback);
}

DatabaseCheck readDatabaseHeader(const std::filesystem::path& path, MapProject& project, Feedback& feedback) {
    DatabaseHeaderSummary summary;
    const DatabaseCheck rc = readDatabaseHeader(path, feedback, summary);
    if (summary.opened) {
        project.access.loadedPassword = summary.loadedPassword;
        project.access.loadedBinding = summary.loadedBinding;
    }
    return rc;
}

}  // namespace plotvane
