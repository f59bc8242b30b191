#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "project/colour_mode.h"

namespace plotvane::test {

// The working raster of `source` built the plain way, pixel by pixel: the
// whole brightness matrix, the whole-matrix error diffusion, one value per
// pixel and then the packing. Expects a source that passes every check.
std::vector<std::uint8_t> referenceWorkRaster(const std::filesystem::path& source, ColourMode colourMode, bool dither);

}  // namespace plotvane::test
