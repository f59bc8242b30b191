#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "project/byte_order.h"
#include "project/feedback.h"
#include "support/bmp_writer.h"

namespace plotvane::test {

// A valid file of the given depth and size with a little of everything in
// it: several colours, both polarities of bits, a palette for 4/8 bits.
inline BmpRecipe sampleRecipe(std::uint16_t depth, std::int32_t width = 160, std::int32_t height = 160) {
    BmpRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.bitCount = depth;
    if (depth == 1) recipe.palette = blackWhitePalette();
    if (depth == 4) {
        recipe.palette = greyPalette(16);
        recipe.palette[3] = {255, 0, 0};
        recipe.palette[5] = {128, 0, 128};
    }
    if (depth == 8) {
        recipe.palette = greyPalette(256);
        recipe.palette[7] = {0, 128, 128};
        recipe.palette[200] = {30, 200, 90};
    }
    recipe.pixel = [depth](int x, int y) -> std::uint32_t {
        const auto v = static_cast<std::uint32_t>(x * 7 + y * 13 + (x * y) % 5);
        switch (depth) {
            case 1: return (x / 3 + y / 2) % 2;
            case 4: return v % 16;
            case 8: return v % 256;
            default: return (v * 2654435761u) & 0xFFFFFFu;
        }
    };
    return recipe;
}

// Header field offsets used to edit a file in place.
inline constexpr std::size_t kOffBfOffBits = 10;
inline constexpr std::size_t kOffBiSize = 14;
inline constexpr std::size_t kOffWidth = 18;
inline constexpr std::size_t kOffHeight = 22;
inline constexpr std::size_t kOffBitCount = 28;
inline constexpr std::size_t kOffCompression = 30;
inline constexpr std::size_t kOffClrUsed = 46;

inline void setLe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) { writeLe32(b.data() + at, v); }
inline void setLe16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) { writeLe16(b.data() + at, v); }

inline const Message kCannotFind = warning("Error : Cannot find bmp-file", Icon::Exclamation);
inline const Message kCannotOpen = warning("Error : Cannot open bmp-file");
inline const Message kNotBmp = warning("Error : this file is not bmp-file");
inline const Message kIllegalColour = warning("This bmp-file has illegal color.\nCan not read this file.");
inline const Message kCompressed = warning("This bmp-file is compressed.\nPlease change non-compress bmp-file.");
inline const Message kTooSmall = warning("Error : Please check [Width>=160] & [Height>=160]");
inline const Message kTooLarge = warning("Error : Please check [Width<=4096] & [Height<=4096]");
inline const Message kCannotRead = warning("Error : Cannot read bmp-file.");
inline const Message kCannotMake = error("Cannot make temp file (temporbl.$$$).");

}  // namespace plotvane::test
