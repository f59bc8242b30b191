#include "database/map_description.h"

#include <string_view>

#include "access/password_codec.h"
#include "database/database_reader.h"
#include "project/byte_order.h"
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

// Gathers what `info` shows while the reader walks the database.
class Describer : public DatabaseVisitor {
public:
    void mapHeader(const MapHeaderRecord& header) override { header_ = header; }

    void classGrid(const ClassGrid& grid) override {
        for (int k = 0; k < grid.classCount; ++k) {
            const RestoredClass& c = grid.classes[static_cast<std::size_t>(k)];
            classes_.push_back({k + 1, c.width, c.height, c.magnification, c.recordColumns, c.recordRows,
                                c.tileWidth, c.tileHeight});
        }
    }

    void texts(const StoredTexts& texts) override {
        for (const InfoText& t : texts.texts)
            texts_.push_back({windows1252ToUtf8(t.text), t.left, t.top, t.right, t.bottom});
        spare_ = texts.spareCount;
    }

    bool tileRow(const ClassTiles& tiles, const TileRow& row) override {
        tiles_ += tiles.columns;
        compressed_ += row.compressedTiles;
        return true;
    }

    MapDescription description(std::span<const std::uint8_t> bytes, const DatabaseHeaderSummary& summary) const {
        const MapHeaderRecord& h = header_;
        MapDescription d;
        d.name = fieldText(h.name);
        d.version = fieldText(h.version, 1);
        d.colourMode = h.colourMode;
        d.compression = compression();
        d.classCount = h.classCount;
        d.classes = classes_;
        // The reader has read record 0, so the database header is there.
        d.recordCount = readBe16(bytes.data() + 76);
        d.dataRecordCount = h.dataRecordCount;
        d.fileSize = bytes.size();
        d.gps = h.hemisphere != 0;
        d.hemisphere = h.hemisphere;
        d.westLongitude = d.gps && h.upperLeftLong > h.bottomRightLong;
        d.upperLeftLat = h.upperLeftLat;
        d.upperLeftLong = h.upperLeftLong;
        d.bottomRightLat = h.bottomRightLat;
        d.bottomRightLong = h.bottomRightLong;
        d.texts = texts_;
        d.spareTextEntries = spare_;
        const std::string stored(reinterpret_cast<const char*>(h.encodedPassword.data()), h.encodedPassword.size());
        d.passwordStored = h.encodedPassword[0] != 0;
        d.needsPassword = d.passwordStored && !autoCheckReadOnly(stored, summary.loadedBinding);
        return d;
    }

private:
    MapDescription::Compression compression() const {
        if (compressed_ == 0) return MapDescription::Compression::No;
        return compressed_ == tiles_ ? MapDescription::Compression::Yes : MapDescription::Compression::Mixed;
    }

    MapHeaderRecord header_;
    std::vector<MapDescription::Class> classes_;
    std::vector<MapDescription::Text> texts_;
    unsigned spare_ = 0;
    std::uint64_t tiles_ = 0;
    std::uint64_t compressed_ = 0;
};

// The restore's read of a database whose header checks passed.
DatabaseCheck describeRead(std::span<const std::uint8_t> bytes, const DatabaseHeaderSummary& summary,
                           Feedback& feedback, MapDescription& description) {
    Describer describer;
    if (const std::optional<Refusal> refusal = readMapDatabase(bytes, describer)) {
        feedback.show(refusal->message);
        return DatabaseCheck::Refused;
    }
    description = describer.description(bytes, summary);
    return DatabaseCheck::Ok;
}

}  // namespace

DatabaseCheck describeMapDatabaseBytes(std::span<const std::uint8_t> bytes, Feedback& feedback,
                                       MapDescription& description) {
    DatabaseHeaderSummary summary;
    if (const DatabaseCheck rc = checkDatabaseHeader(bytes, feedback, summary); rc != DatabaseCheck::Ok) return rc;
    return describeRead(bytes, summary, feedback, description);
}

DatabaseCheck describeMapDatabaseFile(const std::filesystem::path& path, Feedback& feedback,
                                      MapDescription& description) {
    DatabaseHeaderSummary summary;
    if (const DatabaseCheck rc = readDatabaseHeader(path, feedback, summary); rc != DatabaseCheck::Ok) return rc;
    FilePtr file;
    if (const DatabaseCheck rc = openDatabaseFile(path, feedback, file); rc != DatabaseCheck::Ok) return rc;
    BusyScope busy(feedback);
    DatabaseFile bytes;
    // What cannot be read counts as missing: the first read past it fails.
    readDatabaseFile(file.get(), bytes);
    return describeRead(bytes.bytes(), summary, feedback, description);
}

}  // namespace plotvane
