#include "database/map_description.h"

#include <string_view>

#include "access/password_codec.h"
#include "database/database_loader.h"
#include "database/input_rules.h"
#include "project/files.h"

namespace plotvane {

namespace {

template <std::size_t N>
std::string fieldText(const std::array<std::uint8_t, N>& bytes, std::size_t from = 0) {
    std::size_t n = from;
    while (n < N && bytes[n] != 0) ++n;
    return windows1252ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()) + from, n - from));
}

// The classes as File Load rebuilds them from the directory; none when
// it cannot.
std::vector<MapDescription::Class> classesOf(const ParsedMapDatabase& db) {
    ClassGrid grid;
    std::vector<MapDescription::Class> classes;
    if (rebuildClassGrid(db.mapHeader.directory, db.mapHeader, grid) != kParseOk) return classes;
    for (int k = 0; k < grid.classCount; ++k) {
        const RestoredClass& c = grid.classes[static_cast<std::size_t>(k)];
        classes.push_back({k + 1, c.width, c.height, c.magnification, c.recordColumns, c.recordRows, c.tileWidth,
                           c.tileHeight});
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

    DatabaseFile file;
    {
        FilePtr f = openFile(path, "rb");
        if (!f) {
            feedback.show(warning("Error : Cannot open pdb-file"));
            return 2;
        }
        if (!readDatabaseFile(f.get(), file)) {
            feedback.show(error("PDB file data"));
            return 2;
        }
    }
    ParsedMapDatabase db;
    if (const int code = parseMapDatabase(file.bytes(), db); code != kParseOk) {
        feedback.show(error(parseErrorText(code)));
        return 2;
    }
    description = describeMapDatabase(db, summary, file.size);
    // What File Load could not restore is not described either.
    if (description.classes.empty()) {
        feedback.show(error("PDB file data"));
        return 2;
    }
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
