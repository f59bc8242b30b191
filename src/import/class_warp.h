#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "import/georeference.h"
#include "project/feedback.h"
#include "project/map_project.h"

// Reprojection of the class pictures to plain latitude and longitude
// (WGS 84), so that the handheld's straight interpolation between the
// corners places every position where it lies. Class 1's georeferencing
// decides the grid; each later class covers the same ground at its own
// magnification, and its reprojection keeps that magnification exactly.
namespace plotvane::import {

struct TwinLayout;

// Whether a class picture was reprojected.
enum class WarpResult : int {
    Warped = 0,
    Refused = 34,  // its message has been shown
};

class ClassWarp {
public:
    // The grid for Class 1, `classOne` being its georeference: the corners
    // of the whole map in latitude and longitude, and Class 1's size there,
    // its pixels as long on the ground as the picture's own, each side a
    // multiple of 8 so that every magnification divides it. Empty after a
    // message.
    static std::optional<ClassWarp> plan(const Georeference& classOne, Feedback& feedback);

    // Reprojects the class picture the rules would read (`bmp`, a BMP) of
    // class `classIndex` (`pictureName` in messages) into a BMP in
    // `workDir`, named after the picture and the grid (a picture
    // reprojected before is not reprojected again).
    // Class 1 first: a later class's size is its predecessor's reprojected
    // size times the magnification of the pictures themselves, so the
    // classes keep the magnifications between them. Memory holds a strip
    // of rows and GDAL's small working buffer, never the picture.
    WarpResult warpClass(int classIndex, const std::filesystem::path& bmp, const std::string& pictureName,
                         const std::filesystem::path& workDir, Feedback& feedback, std::filesystem::path& warped);

    // The reprojected Class 1's corners, and the interpolation error
    // measured on them (none left but rounding).
    const Georeference& georeference() const { return warped_; }
    // Where pixel (`x`, `y`) of Class 1 as it was lies on reprojected
    // Class 1: false when it lies outside its coordinate system.
    bool reprojectedPixel(double x, double y, double& outX, double& outY) const;
    // Class `classIndex`'s reprojected size, once it has been reprojected.
    int width(int classIndex) const { return sizes_[static_cast<std::size_t>(classIndex)].warpedWidth; }
    int height(int classIndex) const { return sizes_[static_cast<std::size_t>(classIndex)].warpedHeight; }

private:
    struct Sizes {
        int ownWidth = 0;
        int ownHeight = 0;
        int warpedWidth = 0;
        int warpedHeight = 0;
    };

    // Class `classIndex`'s sizes, its picture being `ownWidth` x `ownHeight`.
    Sizes sizesOf(int classIndex, int ownWidth, int ownHeight) const;
    std::uint64_t gridVariant(const Sizes& sizes) const;
    // Reprojects the opened class picture (a GDAL dataset) into `target`,
    // a strip of rows at a time. On failure `why` holds the reason, or
    // stays empty when a message has been shown.
    bool reproject(void* picture, const TwinLayout& layout, const Sizes& sizes, const std::string& what,
                   const std::filesystem::path& target, Feedback& feedback, std::string& why) const;

    Georeference source_;
    Georeference warped_;
    double west_ = 0;
    double north_ = 0;
    double east_ = 0;
    double south_ = 0;
    std::array<Sizes, kClassSlots> sizes_{};
};

}  // namespace plotvane::import
