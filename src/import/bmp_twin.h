#pragma once

// Writing a picture GDAL reads as the BMP a person would save it as. Only
// sources of src/import include this (it names GDAL's handle type).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gdal.h>

#include "project/feedback.h"
#include "project/map_project.h"

namespace plotvane::import {

// What writing a picture's BMP twin did.
enum class TwinResult : int {
    Written = 0,
    Unreadable = 32,  // GDAL failed while reading its rows
    Unwritable = 33,  // the BMP could not be written
};

// The BMP a picture becomes:
// - a palette of at most 2, 16 or 256 entries: 1, 4 or 8 bits with that
//   table (an entry's transparency composited over white);
// - grey: 8 bits with a 256-grey table (a grey of 1, 2 or 4 bits: the
//   table of its 2, 4 or 16 levels, so 1 or 4 bits);
// - colour: 24 bits;
// - an alpha band is composited over white.
struct TwinLayout {
    enum class Kind { Palette, Grey, GreyAlpha, Colour, ColourAlpha };
    Kind kind = Kind::Colour;
    std::uint16_t bitCount = 24;
    std::vector<Rgb> table;  // red, green, blue; written as the colour table
    int bands = 3;           // bands read per pixel
};

// How `dataset` enters as a BMP, or why it cannot: false with `refusal`
// set to the message that says what the picture is and what the classes
// take. `what` names the picture in messages (format and file name).
bool chooseTwinLayout(GDALDatasetH dataset, const std::string& what, TwinLayout& layout, Message& refusal);

// Writes `dataset` as the BMP of `layout` at `target`, reading one row at
// a time from the top and storing each where a bottom-up BMP keeps it, so
// memory does not grow with the picture. The file is written beside
// `target` and renamed into place when complete. Headers as an editor
// writes them: a 40-byte information header, 2835 pixels per metre, the
// table's entries counted in `biClrUsed`. A failure is returned after its
// message.
TwinResult writeBmpTwin(GDALDatasetH dataset, const TwinLayout& layout, const std::string& what,
                 const std::filesystem::path& target, Feedback& feedback);

// Puts row `y` (0 is the top) into `samples` as `layout.bands` interleaved
// bytes per pixel; false when it cannot be read (GDAL's message then names
// why).
using TwinRows = std::function<bool(int y, std::uint8_t* samples)>;

// The same for rows that come from elsewhere than one dataset, asked for
// once each from the top.
TwinResult writeBmpTwin(int width, int height, const TwinLayout& layout, const TwinRows& rows, const std::string& what,
                 const std::filesystem::path& target, Feedback& feedback);

}  // namespace plotvane::import
