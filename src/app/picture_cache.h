#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "raster/bmp_reader.h"

namespace plotvane::app {

// Who a file on disk is: a picture read before is reused only while all of
// this still matches.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;
};

// An uncompressed BMP of 1, 4, 8 or 24 bits held as its file bytes, with
// the headers checked so that every pixel inside width x height can be read.
class BmpPicture {
public:
    // Null when the bytes are not such a picture, its sides are not 1..4096
    // or the pixel rows run past the end.
    static std::unique_ptr<BmpPicture> decode(std::vector<std::uint8_t> bytes);

    int width() const { return width_; }
    int height() const { return height_; }
    // 0xRRGGBB of column x, row y counted from the top; both inside the picture.
    std::uint32_t pixel(int x, int y) const;

private:
    BmpPicture() = default;

    std::vector<std::uint8_t> bytes_;
    BmpHeaders headers_;
    ColourTable table_;
    std::uint64_t stride_ = 0;
    int width_ = 0;
    int height_ = 0;
};

// The picture shown last, kept so that moving the preview does not read the
// file again. Whoever rewrites a picture file calls `forget`; a change made
// from outside is caught by the file's identity.
class PictureCache {
public:
    // The picture in `path`, or null when the file cannot be read as one.
    const BmpPicture* picture(const std::filesystem::path& path);
    void forget(const std::filesystem::path& path);
    void clear();

private:
    std::filesystem::path path_;
    FileIdentity identity_;
    std::unique_ptr<BmpPicture> picture_;
};

}  // namespace plotvane::app
