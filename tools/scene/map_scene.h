#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "project/map_project.h"

namespace plotvane::scene {

// A made-up map: sea and lakes, forests, a town grid, a river, roads, a
// railway, graticule lines and place names. It is defined on the unit
// square, so drawing it at 480 and 960 pixels gives two zoom classes of the
// same area, 2 times apart. Labels keep their pixel size at every scale, as
// on a printed map series.
class MapScene {
public:
    MapScene(int width, int height);

    // Colours of picture row y (0 = top), `width` entries.
    void drawRow(int y, std::vector<Rgb>& row) const;

    int width() const { return width_; }
    int height() const { return height_; }

private:
    struct Label {
        std::string text;
        double u, v;  // centre, in unit coordinates
    };
    Rgb areaColour(double u, double v) const;
    bool inLabel(int x, int y) const;

    int width_;
    int height_;
    int glyphScale_;
    std::vector<Label> labels_;
};

// The few distinct colours the scene uses, for palette files.
const std::vector<Rgb>& scenePalette();

// Writes the scene as an uncompressed bottom-up BMP of depth 1, 4, 8 or 24,
// row by row (memory stays at one row). Returns false when the file cannot
// be written.
bool writeSceneBmp(const std::filesystem::path& path, int width, int height, int depth);

}  // namespace plotvane::scene
