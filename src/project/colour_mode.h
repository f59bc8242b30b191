#pragma once

#include <array>
#include <cstdint>

namespace plotvane {

// The pixel format a map is shown and stored in. Each value is also the
// byte the map header and the tile headers store, and the pixel size of a
// tile (Original keeps the 1-bit class bitmaps as they are), so the
// numbers must never change.
enum class ColourMode : std::uint8_t {
    Original = 0,
    Bpp1 = 1,
    Bpp2 = 2,
    Bpp4 = 4,
    Bpp8 = 8,
};

// The five modes in the order of their numbers.
inline constexpr std::array<ColourMode, 5> kColourModes{ColourMode::Original, ColourMode::Bpp1, ColourMode::Bpp2,
                                                         ColourMode::Bpp4, ColourMode::Bpp8};

// The byte a database stores for `mode`.
constexpr std::uint8_t colourModeByte(ColourMode mode) { return static_cast<std::uint8_t>(mode); }

// The mode a stored byte names; it may be none of the five (see isColourMode).
constexpr ColourMode colourModeOfByte(std::uint8_t byte) { return static_cast<ColourMode>(byte); }

// Bits of one pixel of a tile in `mode`: the mode's number, and 1 for
// Original, whose tiles hold the class bitmap's own bits.
constexpr unsigned tilePixelBits(ColourMode mode) {
    return mode == ColourMode::Original ? 1u : colourModeByte(mode);
}

// The caption of a mode wherever it is shown: "Original", "1BPP", "2BPP",
// "4BPP" or "8BPP"; null for a byte that names none of the five.
constexpr const char* colourModeName(ColourMode mode) {
    switch (mode) {
    case ColourMode::Original: return "Original";
    case ColourMode::Bpp1: return "1BPP";
    case ColourMode::Bpp2: return "2BPP";
    case ColourMode::Bpp4: return "4BPP";
    case ColourMode::Bpp8: return "8BPP";
    }
    return nullptr;
}

constexpr bool isColourMode(ColourMode mode) {
    switch (mode) {
    case ColourMode::Original:
    case ColourMode::Bpp1:
    case ColourMode::Bpp2:
    case ColourMode::Bpp4:
    case ColourMode::Bpp8: return true;
    }
    return false;
}

}  // namespace plotvane
