#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "project/feedback.h"

// The entrance of a class picture. A BMP goes to the rules as it is, byte
// for byte. Any other picture GDAL reads (PNG, JPEG, TIFF, GIF, ...) is
// decoded once into its BMP twin: the BMP a person would save it as (see
// bmp_twin.h), written row by row into the working folder, never beside
// the user's file. Every rule (the class check, the preview's conversions,
// the writer) then reads the twin, so a picture and its BMP give the same
// checks, messages and bytes, and the picture is decoded only once however
// often the rules read it.
namespace plotvane::import {

// Whether a picture can go to the class rules.
enum class PictureResult : int {
    Entered = 0,
    Refused = 30,  // its message has been shown
};

// Twins are named after the picture's identity (device, inode, size,
// modification time), so a picture chosen again is not decoded again and
// a changed one is: "temppict.<16 hex digits>.bmp".
inline constexpr const char* kPictureTwinPrefix = "temppict.";

// The picture types of the class file dialog besides BMP.
inline constexpr const char* kPictureFilterPatterns = "*.png;*.jpg;*.jpeg;*.tif;*.tiff;*.gif";

struct ClassPicture {
    std::filesystem::path rulesPath;  // the BMP every rule reads
    bool converted = false;           // `rulesPath` is the twin of the picture
    std::string format;               // "BMP", "PNG", "JPEG", "TIFF", ...
};

// Prepares `picture` for the class rules. A file that starts with "BM",
// that is missing or unreadable, or that GDAL does not read goes to the
// rules unchanged (they give the BMP messages). Another picture is checked
// (bands, sample size, 160..4096 pixels each way: refused with a message
// that says what it is and what the classes take) and its twin written in
// `workDir` unless there already.
PictureResult enterClassPicture(const std::filesystem::path& picture, const std::filesystem::path& workDir,
                      Feedback& feedback, ClassPicture& out);

// The file starts with "BM", cannot be read, or is no picture GDAL reads:
// the rules take it as it is.
bool readsAsBmp(const std::filesystem::path& picture);

// The twin a picture has or would have in `workDir`; empty when the
// picture's identity cannot be read. A non-zero `variant` names another
// twin of the same picture (a reprojection of it, for one).
std::filesystem::path pictureTwinPath(const std::filesystem::path& picture, const std::filesystem::path& workDir,
                                      std::uint64_t variant = 0);

bool isPictureTwinName(const std::filesystem::path& path);

// The exit clean-up: deletes every twin in `workDir`.
void removePictureTwins(const std::filesystem::path& workDir);

}  // namespace plotvane::import
