#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/expected_bytes.h"

namespace plotvane::test {

// A map database of 1-bit tiles (colour modes 0 and 1) as the file layout
// prescribes it, built by hand from these fields alone, so that an
// expected database never depends on the code under test.
struct ExpectedClass {
    int width = 160;
    int height = 160;
    int columns = 1;  // the record grid
    int rows = 1;
};

struct ExpectedText {
    std::uint16_t left = 0, top = 0, right = 0, bottom = 0;
    std::string bytes;
};

struct ExpectedCorners {
    std::uint32_t upperLeftLat = 0, upperLeftLong = 0, bottomRightLat = 0, bottomRightLong = 0;
};

struct ExpectedDatabase {
    std::string name;
    std::string password;  // the 8 stored bytes, zero-padded
    std::string version;   // the 6-character field
    std::uint32_t stamp = 0;
    std::uint8_t mode = 1;
    bool compressed = false;
    std::vector<ExpectedClass> classes;
    std::vector<ExpectedText> texts;
    std::optional<ExpectedCorners> corners;
    // The packed pixel rows of tile (column, row) of class `classIndex`,
    // uncompressed, each tileRowBytes long: the tile's record data.
    std::function<Bytes(std::size_t classIndex, int column, int row)> tileRows;
};

Bytes expectedDatabase(const ExpectedDatabase& m);

// Bytes per stored row of a 1-bit tile `width` pixels wide.
std::size_t tileRowBytes(int width);

}  // namespace plotvane::test
