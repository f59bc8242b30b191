#pragma once

#include <cstdint>
#include <cstdio>
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

// An uncompressed BMP of 1, 4, 8 or 24 bits, with the headers checked so
// that every pixel inside width x height can be read. Only the rows asked
// for are read from the file, each once: a paint needs a few hundred rows,
// not a file of up to 48 MiB.
class BmpPicture {
public:
    // The headers and colour table of an open file `fileSize` bytes long;
    // null when it is not such a picture, its sides are not 1..4096 or the
    // pixel rows run past the end.
    static std::unique_ptr<BmpPicture> open(std::FILE* file, std::uint64_t fileSize);

    int width() const { return width_; }
    int height() const { return height_; }
    // Reads from `file` the rows first..end-1 (counted from the top, cut to
    // the picture) not read before. False on a short read.
    bool readRows(std::FILE* file, std::int64_t first, std::int64_t end);
    // 0xRRGGBB of column x, row y counted from the top; both inside the
    // picture, the row read.
    std::uint32_t pixel(int x, int y) const;

private:
    BmpPicture() = default;
    std::uint64_t storedRow(int y) const;

    BmpHeaders headers_;
    ColourTable table_;
    std::uint64_t stride_ = 0;
    int width_ = 0;
    int height_ = 0;
    // The pixel rows in file order; only the rows marked in `read_` hold
    // their bytes.
    std::unique_ptr<std::uint8_t[]> rows_;
    std::vector<bool> read_;  // by row from the top
};

// The picture shown last, kept so that moving the preview does not read the
// file again. Whoever rewrites a picture file calls `forget`; a change made
// from outside is caught by the file's identity.
class PictureCache {
public:
    // The picture in `path` with its rows first..end-1 (counted from the
    // top, cut to the picture) read, or null when the file cannot be read
    // as one.
    const BmpPicture* picture(const std::filesystem::path& path, std::int64_t first, std::int64_t end);
    void forget(const std::filesystem::path& path);
    void clear();

private:
    std::filesystem::path path_;
    FileIdentity identity_;
    std::unique_ptr<BmpPicture> picture_;
};

}  // namespace plotvane::app
