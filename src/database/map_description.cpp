#include "database/map_description.h"

#include <map>
#include <set>
#include <string_view>

#include "access/password_codec.h"
#include "database/input_rules.h"
#include "project/files.h"

namespace plotvane {

namespace {

// A database holds at most 254 records of at most 64 KiB each; anything
// far larger is not one, and is not read into memory.
constexpr std::uint64_t kLargestDatabase = 32u * 1024u * 1024u;

template <std::size_t N>
std::string fieldText(const std::array<std::uint8_t, N>& bytes, std::size_t from = 0) {
    std::size_t n = from;
    while (n < N && bytes[n] != 0) ++n;
    return windows1252ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()) + from, n - from));
}

// Groups the directory into classes through the parent links: a tile whose
// parent is 0 belongs to Class 1, any other to the class below its parent's.
std::vector<MapDescription::Class> classesOf(const ParsedMapDatabase& db) {
    std::map<int, int> classOfRecord;
    std::map<int, std::set<int>> xs, ys;
    std::vector<MapDescription::Class> classes;
    for (const RecordDirectoryEntry& e : db.mapHeader.directory) {
        int number = 1;
        if (e.parentIndex != 0) {
            const auto parent = classOfRecord.find(e.parentIndex);
            number = parent == classOfRecord.end() ? 0 : parent->second + 1;
        }
        if (number < 1 || number > kClassSlots) continue;
        classOfRecord[e.recordIndex] = number;
        if (static_cast<int>(classes.size()) < number) {
            classes.resize(static_cast<std::size_t>(number));
            MapDescription::Class& c = classes.back();
            c.number = number;
            c.magnification = e.scaleToUpper;
            c.tileWidth = e.tileWidth;
            c.tileHeight = e.tileHeight;
        }
        xs[number].insert(e.xOrigin);
        ys[number].insert(e.yOrigin);
    }
    for (MapDescription::Class& c : classes) {
        c.columns = static_cast<int>(xs[c.number].size());
        c.rows = static_cast<int>(ys[c.number].size());
        c.width = c.tileWidth * static_cast<std::uint32_t>(c.columns);
        c.height = c.tileHeight * static_cast<std::uint32_t>(c.rows);
    }
    return classes;
}

MapDescription::Compression compressionOf(const ParsedMapDatabase& db) {
    std::size_t compressed = 0;
    for (const DataRecordInfo& r : db.dataRecords) compressed += r.header.compressed() ? 1 : 0;
    if (compressed == 0) return MapDescription::Compression::No;
    return compressed == db.dataRecords.size() ? MapDescription::Compression::Yes : MapDescription::Compression::Mixed;
}

}  // namespace

MapDescription describeMapDatabase(const ParsedMapDatabase& db, const DatabaseHeaderSummary& summary,
                                   std::uint64_t fileSize) {
    const MapHeaderRecord& h = db.mapHeader;
    MapDescription d;
    d.name = fieldText(h.name);
    d.version = fieldText(h.version, 1);
    d.colourMode = h.colourMode;
    d.compression = compressionOf(db);
    d.classCount = h.classCount;
    d.classes = classesOf(db);
    d.recordCount = db.header.recordCount;
    d.dataRecordCount = h.dataRecordCount;
    d.fileSize = fileSize;
    d.gps = h.hemisphere != 0;
    d.hemisphere = h.hemisphere;
    d.westLongitude = d.gps && h.upperLeftLong > h.bottomRightLong;
    d.upperLeftLat = h.upperLeftLat;
    d.upperLeftLong = h.upperLeftLong;
    d.bottomRightLat = h.bottomRightLat;
    d.bottomRightLong = h.bottomRightLong;
    if (db.infoText) {
        for (const InfoTextEntry& e : db.infoText->entries)
            d.texts.push_back({fieldText(e.text), e.left, e.top, e.right, e.bottom});
        d.spareTextEntries = db.infoText->spareEntries;
    }
    const std::string stored(reinterpret_cast<const char*>(h.encodedPassword.data()), h.encodedPassword.size());
    d.passwordStored = h.encodedPassword[0] != 0;
    d.needsPassword = d.passwordStored && !autoCheckReadOnly(stored, summary.loadedBinding);
    return d;
}

int describeMapDatabaseFile(const std::filesystem::path& path, Feedback& feedback, MapDescription& description) {
    DatabaseHeaderSummary summary;
    if (const int rc = readDatabaseHeader(path, feedback, summary); rc != 0) return rc;

    std::vector<std::uint8_t> bytes;
    FilePtr f = openFile(path, "rb");
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!f || ec) {
        feedback.show(warning("Error : Cannot open pdb-file"));
        return 2;
    }
    if (size > kLargestDatabase) {
        feedback.show(error("PDB file data"));
        return 2;
    }
    bytes.resize(static_cast<std::size_t>(size));
    if (!readExact(f.get(), bytes.data(), bytes.size())) {
        feedback.show(error("PDB file data"));
        return 2;
    }
    ParsedMapDatabase db;
    if (const int code = parseMapDatabase(bytes, db); code != kParseOk) {
        feedback.show(error(parseErrorText(code)));
        return 2;
    }
    description = describeMapDatabase(db, summary, bytes.size());
    return 0;
}

const char* colourModeName(std::uint8_t mode) {
    switch (mode) {
        case 0: return "Original";
        case 1: return "1BPP";
        case 2: return "2BPP";
        case 4: return "4BPP";
        case 8: return "8BPP";
        default: return nullptr;
    }
}

}  // namespace plotvane
