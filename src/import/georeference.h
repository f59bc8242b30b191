#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "project/feedback.h"
#include "project/map_project.h"

// Corner coordinates from a map's own georeferencing. The handheld stores
// the latitude and longitude of the picture's upper-left and bottom-right
// corners as magnitudes (the order of the corners tells the hemisphere)
// and places a position by straight interpolation between them.
namespace plotvane::import {

// WGS 84 degrees, north and east positive.
struct LatLong {
    double latitude = 0;
    double longitude = 0;
};

struct Georeference {
    // Where the coordinates came from, for the user: "GeoTIFF tags",
    // "world file map.pgw with map.prj", "OziExplorer calibration map.map", ...
    std::string source;
    // The coordinate system's name ("WGS 84 / UTM zone 54N").
    std::string system;
    // The outer edges of the corner pixels (a world file names the centre
    // of the first pixel; that half pixel is already accounted for).
    LatLong upperLeft;
    LatLong bottomRight;
    int width = 0;   // of the picture, in pixels
    int height = 0;
    // The worst distance, over the picture, between where a latitude and
    // longitude really lie and where straight interpolation between the
    // corners puts them: on the ground and in pixels of this picture.
    double worstMetres = 0;
    double worstPixels = 0;
    // The picture's own coordinate system and pixel-to-system transform,
    // for reprojection (WKT, GDAL's six coefficients).
    std::string systemWkt;
    std::array<double, 6> pixelToSystem{};
    // The coordinate system is plain latitude and longitude: there is
    // nothing to reproject.
    bool latLong = false;
};

enum class GeoreferenceStatus { Found, None, Refused };

// Looks for the georeferencing of `picture`, in this order: an OziExplorer
// calibration beside it (same name, .map), a world file (.pgw, .jgw,
// .tfw, ..., .wld) with its coordinate system from a .prj beside it or
// from the picture's .aux.xml (a world file without either is taken as
// WGS 84 degrees only when its numbers can be degrees), the file's own
// (GeoTIFF tags), the .aux.xml. None when the picture has none, silently;
// Refused after a message (no coordinate system, a map across the equator
// or the prime meridian, a system that cannot be transformed).
GeoreferenceStatus readGeoreference(const std::filesystem::path& picture, Georeference& out, Feedback& feedback);

// A picture made from a georeferenced one: each of its pixels `scale` x
// `scale` pixels of it, from the same upper-left corner, `width` x `height`
// of them; they may reach past its right and bottom edges (white padding).
struct PictureGrid {
    int scale = 1;
    int width = 0;
    int height = 0;
};

// The georeferencing of `picture` for the picture `grid` makes from it: the
// corners are the outer edges of the made picture, and the interpolation
// error is measured over it and in its pixels.
GeoreferenceStatus readGeoreference(const std::filesystem::path& picture, const PictureGrid& grid, Georeference& out,
                                    Feedback& feedback);

// The georeference of a picture of `width` x `height` pixels whose pixels
// `pixelToSystem` places in the coordinate system `systemWkt`, measured as
// readGeoreference measures a map's own; `source` says where it came
// from. False after a message (as readGeoreference refuses).
bool describePicture(const std::string& source, const std::string& systemWkt, const std::array<double, 6>& pixelToSystem,
                     int width, int height, const std::string& pictureName, Georeference& out, Feedback& feedback);

// |degrees| in thousandths of a second of arc, rounded to the nearest.
std::uint32_t thousandthsOfSecond(double degrees);

// The corners as the rules' magnitudes, in the fields of GeoBounds.
GeoBounds cornerBounds(const Georeference& georeference);

// "35:41:21.624" from thousandths of a second.
std::string dmsText(std::uint32_t thousandths);
// "35.6893400" (seven places: a thousandth of a second is 2.8e-7 degrees).
std::string decimalDegreesText(double degrees);

}  // namespace plotvane::import

namespace plotvane::import {

// The class shown in most detail among the classes chosen so far (the
// largest picture), and how many of its pixels one pixel of the
// georeferenced picture spans (the larger of the two ratios of the sides).
// Class 1 at its own scale while no class is chosen.
struct DetailedClass {
    int number = 1;
    double scale = 1;
};
DetailedClass mostDetailedClass(const MapProject& project, const Georeference& georeference);

// What the corners are and how far the handheld's interpolation is off,
// in metres and in pixels of `detailed`. Lines for a message.
std::string georeferenceSummary(const Georeference& georeference, const DetailedClass& detailed);

// The interpolation is off by more than one pixel of `detailed`.
bool interpolationOffMoreThanPixel(const Georeference& georeference, const DetailedClass& detailed);

}  // namespace plotvane::import
