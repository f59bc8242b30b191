// plotvane2-cli info: describes a map database, after the same header
// checks as "File Load", without changing anything.
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "access/password_codec.h"
#include "cli/commands.h"
#include "database/input_rules.h"
#include "database/map_database.h"
#include "project/files.h"

namespace plotvane::cli {

namespace {

// A database holds at most 254 records of at most 64 KiB each; anything
// far larger is not one, and is not read into memory.
constexpr std::uint64_t kLargestDatabase = 32u * 1024u * 1024u;

struct ClassSummary {
    int number = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int magnification = 1;
    int columns = 0;
    int rows = 0;
    std::uint32_t tileWidth = 0;
    std::uint32_t tileHeight = 0;
};

struct AngleText {
    std::uint32_t total = 0;
    std::string text;
};

AngleText angle(std::uint32_t total) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%u:%02u:%02u.%03u", total / 3600000u, (total % 3600000u) / 60000u,
                  (total % 60000u) / 1000u, total % 1000u);
    return {total, buffer};
}

std::string fieldText(const std::uint8_t* bytes, std::size_t size) {
    std::size_t n = 0;
    while (n < size && bytes[n] != 0) ++n;
    return windows1252ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes), n));
}

// A damaged file may hold any byte here; only printable ASCII is shown as
// it stands, so the output stays valid UTF-8.
std::string hemisphereText(std::uint8_t hemisphere) {
    if (hemisphere >= 0x20 && hemisphere < 0x7F) return std::string(1, static_cast<char>(hemisphere));
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", hemisphere);
    return buffer;
}

std::string modeName(std::uint8_t mode) {
    switch (mode) {
        case 0: return "Original";
        case 1: return "1BPP";
        case 2: return "2BPP";
        case 4: return "4BPP";
        case 8: return "8BPP";
        default: return "unknown (" + std::to_string(mode) + ")";
    }
}

// Groups the directory into classes through the parent links: a tile whose
// parent is 0 belongs to Class 1, any other to the class below its parent's.
std::vector<ClassSummary> classesOf(const ParsedMapDatabase& db) {
    std::map<int, int> classOfRecord;
    std::map<int, std::set<int>> xs, ys;
    std::vector<ClassSummary> classes;
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
            ClassSummary& c = classes.back();
            c.number = number;
            c.magnification = e.scaleToUpper;
            c.tileWidth = e.tileWidth;
            c.tileHeight = e.tileHeight;
        }
        xs[number].insert(e.xOrigin);
        ys[number].insert(e.yOrigin);
    }
    for (ClassSummary& c : classes) {
        c.columns = static_cast<int>(xs[c.number].size());
        c.rows = static_cast<int>(ys[c.number].size());
        c.width = c.tileWidth * static_cast<std::uint32_t>(c.columns);
        c.height = c.tileHeight * static_cast<std::uint32_t>(c.rows);
    }
    return classes;
}

std::string compressionOf(const ParsedMapDatabase& db) {
    std::size_t compressed = 0;
    for (const DataRecordInfo& r : db.dataRecords) compressed += r.header.compressed() ? 1 : 0;
    if (compressed == 0) return "no";
    return compressed == db.dataRecords.size() ? "yes" : "mixed";
}

int runInfo(const std::string& path, bool json) {
    StderrFeedback feedback;
    DatabaseHeaderSummary summary;
    if (readDatabaseHeader(path, feedback, summary) != 0) return kExitRefused;

    std::vector<std::uint8_t> bytes;
    {
        FilePtr f = openFile(path, "rb");
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(path, ec);
        if (!f || ec) {
            feedback.show(warning("Error : Cannot open pdb-file"));
            return kExitRefused;
        }
        if (size > kLargestDatabase) {
            feedback.show(error("PDB file data"));
            return kExitRefused;
        }
        bytes.resize(static_cast<std::size_t>(size));
        if (!readExact(f.get(), bytes.data(), bytes.size())) {
            feedback.show(error("PDB file data"));
            return kExitRefused;
        }
    }
    ParsedMapDatabase db;
    if (const int code = parseMapDatabase(bytes, db); code != kParseOk) {
        feedback.show(error(parseErrorText(code)));
        return kExitRefused;
    }

    const MapHeaderRecord& h = db.mapHeader;
    const std::string name = fieldText(h.name.data(), h.name.size());
    const std::string version = fieldText(h.version.data() + 1, h.version.size() - 1);
    const std::string stored(reinterpret_cast<const char*>(h.encodedPassword.data()), h.encodedPassword.size());
    const bool hasPassword = h.encodedPassword[0] != 0;
    const bool needsPassword = hasPassword && !autoCheckReadOnly(stored, summary.loadedBinding);
    const bool gps = h.hemisphere != 0;
    const std::vector<ClassSummary> classes = classesOf(db);
    const AngleText ulLat = angle(h.upperLeftLat), ulLong = angle(h.upperLeftLong);
    const AngleText brLat = angle(h.bottomRightLat), brLong = angle(h.bottomRightLong);

    struct Text {
        std::string text;
        InfoTextEntry entry;
    };
    std::vector<Text> texts;
    if (db.infoText)
        for (const InfoTextEntry& e : db.infoText->entries) texts.push_back({fieldText(e.text.data(), e.text.size()), e});

    if (json) {
        nlohmann::ordered_json out;
        out["name"] = name;
        out["version"] = version;
        out["colourMode"] = h.colourMode;
        out["colourModeName"] = modeName(h.colourMode);
        out["compressed"] = compressionOf(db);
        out["classCount"] = h.classCount;
        out["classes"] = nlohmann::ordered_json::array();
        for (const ClassSummary& c : classes)
            out["classes"].push_back({{"class", c.number},
                                      {"width", c.width},
                                      {"height", c.height},
                                      {"magnification", c.magnification},
                                      {"recordColumns", c.columns},
                                      {"recordRows", c.rows},
                                      {"tileWidth", c.tileWidth},
                                      {"tileHeight", c.tileHeight}});
        out["recordCount"] = db.header.recordCount;
        out["dataRecordCount"] = h.dataRecordCount;
        out["fileSize"] = bytes.size();
        out["gps"] = gps;
        if (gps) {
            auto corner = [](const AngleText& lat, const AngleText& lon) {
                return nlohmann::ordered_json{{"latitude", lat.text},
                                              {"longitude", lon.text},
                                              {"latitudeTotal", lat.total},
                                              {"longitudeTotal", lon.total}};
            };
            out["upperLeft"] = corner(ulLat, ulLong);
            out["bottomRight"] = corner(brLat, brLong);
            out["hemisphere"] = hemisphereText(h.hemisphere);
        }
        out["texts"] = nlohmann::ordered_json::array();
        for (const Text& t : texts)
            out["texts"].push_back({{"text", t.text},
                                    {"left", t.entry.left},
                                    {"top", t.entry.top},
                                    {"right", t.entry.right},
                                    {"bottom", t.entry.bottom}});
        out["spareTextEntries"] = db.infoText ? db.infoText->spareEntries : 0;
        out["passwordStored"] = hasPassword;
        out["needsPassword"] = needsPassword;
        std::printf("%s\n", out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
        return kExitOk;
    }

    std::printf("Name:         %s\n", name.c_str());
    std::printf("Version:      %s\n", version.c_str());
    std::printf("Colour mode:  %s (%u)\n", modeName(h.colourMode).c_str(), h.colourMode);
    std::printf("Compressed:   %s\n", compressionOf(db).c_str());
    std::printf("Classes:      %u\n", h.classCount);
    for (const ClassSummary& c : classes)
        std::printf("  Class %d:    %u x %u, magnification %d, %d x %d tiles of %u x %u\n", c.number, c.width,
                    c.height, c.magnification, c.columns, c.rows, c.tileWidth, c.tileHeight);
    std::printf("Records:      %u (%u data records)\n", db.header.recordCount, h.dataRecordCount);
    std::printf("File size:    %zu bytes\n", bytes.size());
    if (gps) {
        std::printf("Upper left:   lat %s, long %s\n", ulLat.text.c_str(), ulLong.text.c_str());
        std::printf("Bottom right: lat %s, long %s\n", brLat.text.c_str(), brLong.text.c_str());
        std::printf("Hemisphere:   %s\n", hemisphereText(h.hemisphere).c_str());
    } else {
        std::printf("Corners:      none (GPS off)\n");
    }
    std::printf("Texts:        %zu\n", texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i)
        std::printf("  %2zu: [%u,%u]-[%u,%u] %s\n", i + 1, texts[i].entry.left, texts[i].entry.top,
                    texts[i].entry.right, texts[i].entry.bottom, texts[i].text.c_str());
    std::printf("Password:     %s\n", needsPassword ? "needed to open"
                                      : hasPassword  ? "none needed (opens read-only)"
                                                     : "none stored (opens read-only)");
    return kExitOk;
}

}  // namespace

void addInfoCommand(CLI::App& app, Action& action) {
    auto path = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    CLI::App* sub = app.add_subcommand("info", "Describe a map database (.pdb).");
    sub->footer(
        "Prints the name, version, colour mode, compression, classes with their tile grids, records and\n"
        "file size, corner coordinates (D:M:S.FFF) and hemisphere, information texts with their marker\n"
        "boxes, and whether it needs a password to open.\n"
        "--json keys: name, version, colourMode, colourModeName, compressed (yes/no/mixed), classCount,\n"
        "classes[] {class, width, height, magnification, recordColumns, recordRows, tileWidth, tileHeight},\n"
        "recordCount, dataRecordCount, fileSize, gps, upperLeft/bottomRight {latitude, longitude,\n"
        "latitudeTotal, longitudeTotal} and hemisphere (only with gps), texts[] {text, left, top, right,\n"
        "bottom}, spareTextEntries, passwordStored, needsPassword.\n"
        "Exit status: 0, 1 when the file is missing or not a sound map database, 2 usage error.");
    sub->add_option("database", *path, "The .pdb file")->required();
    sub->add_flag("--json", *json, "Print one JSON object instead of text");
    sub->callback([&action, path, json] { action = [path, json] { return runInfo(*path, *json); }; });
}

}  // namespace plotvane::cli
