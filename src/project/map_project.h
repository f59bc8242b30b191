#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "project/colour_mode.h"

namespace plotvane {

inline constexpr int kClassSlots = 4;
inline constexpr int kInfoTextSlots = 100;
inline constexpr int kInfoTextLimit = 99;  // usable slots
inline constexpr int kInfoTextBytes = 48;
inline constexpr int kPaletteSize = 231;

// A NUL-terminated, NUL-padded byte string of fixed width, as the map
// database and the dialog's edits hold names and texts.
template <std::size_t N>
struct FixedText {
    std::array<char, N> bytes{};

    // Copies at most `limit` bytes (and never more than N - 1), NUL-pads the rest.
    void assign(std::string_view text, std::size_t limit = N - 1) {
        bytes.fill('\0');
        const std::size_t n = std::min({text.size(), limit, N - 1});
        for (std::size_t i = 0; i < n; ++i) bytes[i] = text[i];
    }
    // The bytes up to the first NUL.
    std::string str() const {
        std::size_t n = 0;
        while (n < N && bytes[n] != '\0') ++n;
        return std::string(bytes.data(), n);
    }
    bool empty() const { return bytes[0] == '\0'; }
    void clear() { bytes.fill('\0'); }
    bool operator==(const FixedText&) const = default;
};

inline constexpr std::size_t kPathBytes = 4097;

struct MapClassEntry {
    // Room for any path the system accepts: a path cut to fit would make
    // the database from another file.
    FixedText<kPathBytes> fileName;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t magnification = 1;
    std::uint16_t recordColumns = 1;
    std::uint16_t recordRows = 1;
    std::uint32_t pixelDataOffset = 0;
    std::uint8_t invertedPolarity = 0;
    // Bit depth of this class's own bitmap, recorded when it passed the
    // header checks; the Original mode packs only 1-bit classes.
    std::uint8_t bitDepth = 0;
    // The bitmap stores its rows top row first (a negative height).
    std::uint8_t topDown = 0;
    // The picture the user chose when it is not a BMP; `fileName` is then
    // the BMP made from it, which every rule reads.
    FixedText<kPathBytes> pictureName;

    bool operator==(const MapClassEntry&) const = default;
};

struct DmsAngle {
    std::int32_t degrees = 0;
    std::int32_t minutes = 0;
    std::int32_t seconds = 0;
    std::int32_t milliseconds = 0;

    bool operator==(const DmsAngle&) const = default;
};

// Corner coordinates. Totals are in thousandths of a second of arc.
struct GeoBounds {
    DmsAngle upperLeftLat;
    DmsAngle bottomRightLat;
    DmsAngle upperLeftLong;
    DmsAngle bottomRightLong;
    std::uint32_t upperLeftLatTotal = 0;
    std::uint32_t bottomRightLatTotal = 0;
    std::uint32_t upperLeftLongTotal = 0;
    std::uint32_t bottomRightLongTotal = 0;

    bool operator==(const GeoBounds&) const = default;
};

// One pinned information text. MapProject keeps them in parallel arrays of
// 100 slots; this is the view of one slot.
struct InfoText {
    std::string text;
    std::uint16_t left = 0;
    std::uint16_t top = 0;
    std::uint16_t right = 0;
    std::uint16_t bottom = 0;

    bool operator==(const InfoText&) const = default;
};

struct AccessSettings {
    std::array<char, 10> encodedPassword{};
    std::uint8_t readOnly = 0;
    std::uint8_t fullEdit = 1;
    std::uint8_t viewMode = 0;
    std::uint8_t loadedFlag = 0;
    std::array<char, 10> loadedPassword{};
    std::array<std::uint8_t, 7> loadedBinding{};

    bool operator==(const AccessSettings&) const = default;
};

using Rgb = std::array<std::uint8_t, 3>;
using Palette = std::array<Rgb, kPaletteSize>;

// The 231-colour table of 8-bit mode: the 6x6x6 cube without black, ten
// greys, silver, four dark colours and black.
const Palette& systemPaletteTable();

// The whole state of one run of the converter.
struct MapProject {
    std::array<MapClassEntry, kClassSlots> classes{};
    std::int32_t classCount = 0;
    std::uint8_t sourceBitDepth = 24;

    FixedText<17> databaseName;
    FixedText<7> versionText;

    std::int32_t gpsEnabled = 0;
    GeoBounds geo;

    ColourMode colourMode = ColourMode::Original;
    ColourMode requestedColourMode = ColourMode::Original;
    std::uint8_t ditherFlag = 0;
    std::uint8_t compressFlag = 0;
    std::uint32_t rasterDataOffset = 0;
    Palette systemPalette{};

    std::int32_t previewClass = 0;
    std::int32_t previewCentreX = 80;
    std::int32_t previewCentreY = 80;

    std::array<std::uint16_t, kInfoTextSlots> infoLeft{};
    std::array<std::uint16_t, kInfoTextSlots> infoTop{};
    std::array<std::uint16_t, kInfoTextSlots> infoRight{};
    std::array<std::uint16_t, kInfoTextSlots> infoBottom{};
    std::array<std::array<char, kInfoTextBytes + 1>, kInfoTextSlots> infoTextBytes{};
    std::uint16_t infoTextCount = 0;
    std::int8_t selectedInfoText = 0;
    std::uint16_t spareInfoTextCount = 10;
    std::uint32_t infoFormatWord = 1;

    AccessSettings access;

    // Length of every data record of the database being made, indexed by
    // data record number; `recordCounter` runs on across classes.
    std::vector<std::uint32_t> recordSizes;
    std::uint16_t recordCounter = 0;

    std::uint8_t tempFilesInUse = 0;

    MapProject() { reset(); }

    // Puts every field to its state after the dialog's initialisation.
    // `recordSizes`, `loadedPassword` and `loadedBinding` are not touched.
    void reset();

    InfoText infoText(int index) const;                 // 0-based slot
    void setInfoText(int index, const InfoText& text);  // 0-based slot, text cut to 48 bytes
    void clearInfoTexts();                              // zero all 100 slots, count 0

    bool operator==(const MapProject&) const = default;
};

}  // namespace plotvane
