#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "project/map_project.h"

// Pictures in any format GDAL writes, made in the test from a function of
// the pixel, for the suites that link GDAL.
namespace plotvane::test {

struct PictureRecipe {
    std::string driver = "PNG";  // "PNG", "JPEG", "GTiff", "GIF"
    int width = 160;
    int height = 160;
    int bands = 3;
    bool alphaLast = false;             // the last band is alpha
    std::vector<Rgb> palette;           // a one-band palette picture
    std::vector<std::string> options;   // creation options ("NBITS=1", ...)
    bool sixteenBit = false;            // UInt16 samples
    std::optional<std::array<double, 6>> geoTransform;
    std::string wkt;                    // its coordinate system, or none
    // Sample of band `band` (0-based) at (x, y), y from the top.
    std::function<int(int x, int y, int band)> sample = [](int, int, int) { return 0; };
};

// Writes the picture through GDAL's CreateCopy from an in-memory dataset.
void writePicture(const std::filesystem::path& path, const PictureRecipe& recipe);

// Every band of every pixel as GDAL reads it back: [y][x * bands + band].
std::vector<std::vector<std::uint8_t>> readPictureSamples(const std::filesystem::path& path, int& bands);

// The well-known text of an EPSG code.
std::string wktOfEpsg(int code);

}  // namespace plotvane::test
