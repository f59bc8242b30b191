#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "database/map_database.h"
#include "project/feedback.h"

namespace plotvane {

// What a map database holds, in the terms a reader of it needs, as File
// Load reads it: for `plotvane2-cli info`.
struct MapDescription {
    struct Class {
        int number = 0;  // 1..4
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        int magnification = 1;  // the scale to the class above
        int columns = 0;        // of the tile grid
        int rows = 0;
        std::uint32_t tileWidth = 0;
        std::uint32_t tileHeight = 0;
    };
    struct Text {
        std::string text;  // UTF-8, as stored (control characters included)
        std::uint16_t left = 0;
        std::uint16_t top = 0;
        std::uint16_t right = 0;
        std::uint16_t bottom = 0;
    };
    enum class Compression { No, Yes, Mixed };

    std::string name;     // UTF-8, from Windows-1252
    std::string version;  // the five digits after the leading "0"
    ColourMode colourMode = ColourMode::Original;
    Compression compression = Compression::No;
    unsigned classCount = 0;  // as record 0 states it
    std::vector<Class> classes;  // as File Load rebuilds them from the directory
    unsigned recordCount = 0;
    unsigned dataRecordCount = 0;
    std::uint64_t fileSize = 0;
    bool gps = false;
    std::uint8_t hemisphere = 0;  // the stored byte: 'N', 'S' or whatever a damaged file holds
    // A west-longitude map: the upper-left longitude is greater than the
    // bottom-right one.
    bool westLongitude = false;
    std::uint32_t upperLeftLat = 0;
    std::uint32_t upperLeftLong = 0;
    std::uint32_t bottomRightLat = 0;
    std::uint32_t bottomRightLong = 0;
    std::vector<Text> texts;
    unsigned spareTextEntries = 0;  // the spare entry count File Load keeps
    bool passwordStored = false;
    // A password is stored that is not the fixed read-only one of this map.
    bool needsPassword = false;
};

// `info`'s verdict on a database held in memory: File Load's header
// checks and the whole restore read, without writing anything. Ok with
// `description` filled; otherwise Refused after the message File Load
// shows for that damage.
DatabaseCheck describeMapDatabaseBytes(std::span<const std::uint8_t> bytes, Feedback& feedback, MapDescription& description);

// The same on a file, read as File Load reads it: the header checks on the
// file, then the whole file at once. NotFound, CannotOpen or Refused after
// File Load's message.
DatabaseCheck describeMapDatabaseFile(const std::filesystem::path& path, Feedback& feedback, MapDescription& description);

}  // namespace plotvane
