#pragma once

#include <array>
#include <cstdint>

namespace plotvane::import {

// Light as the eye's stimulus, not as stored: 0 black .. 65535 white.
// Averages are taken here, so that a thin light line on dark ground keeps
// its share of the light when it is reduced (averaging the stored sRGB
// values darkens it).
inline constexpr std::uint32_t kLinearWhite = 65535;

// sRGB value 0..255 -> linear light, rounded to the nearest 1/65535.
const std::array<std::uint16_t, 256>& linearFromSrgb();

// The sRGB value nearest to the mean linear light `sum` / `count`.
std::uint8_t srgbFromLinearMean(std::uint64_t sum, std::uint64_t count);

}  // namespace plotvane::import
