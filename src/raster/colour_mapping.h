#pragma once

#include <cstdint>

namespace plotvane {

// Index into the 231-colour table for a colour, with the grey bucket
// (0..15) used when red, green and blue are equal.
std::uint8_t colourMapping(std::uint8_t red, std::uint8_t green, std::uint8_t blue, int greyBucket);

// The colour rescaled so that its grey measure follows the dithered
// brightness `level` (0..255): each component becomes component x level x
// 100 / S (S the limited grey sum, integer division), at most 255. A colour
// with S = 0 is kept.
struct ScaledColour {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};
ScaledColour rescaleToLevel(std::uint8_t red, std::uint8_t green, std::uint8_t blue, int limitedSum, int level);

}  // namespace plotvane
