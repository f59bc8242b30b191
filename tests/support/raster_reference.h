#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "project/colour_mode.h"

namespace plotvane::test {

// The working raster of a BMP, read the naive way, sharing no code with the
// conversion: its own header parsing, colour table, 231-colour table,
// colour mapping and a plain two-row error buffer, one pixel at a time.
// Expects a source that passes every check.
std::vector<std::uint8_t> referenceWorkRaster(const std::vector<std::uint8_t>& source, std::uint8_t mode, bool dither);
std::vector<std::uint8_t> referenceWorkRaster(const std::filesystem::path& source, ColourMode mode, bool dither);

}  // namespace plotvane::test
