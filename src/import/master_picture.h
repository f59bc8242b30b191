#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "project/feedback.h"
#include "project/map_project.h"

namespace plotvane::import {

// The longest side a master picture may have: 256 times the largest class.
inline constexpr int kMaxMasterSide = 1048576;

// What the classes of a master become: 1-bit pictures with the master's
// two colours, 8-bit grey, or 24-bit colour.
enum class MasterKind { OneBit, Grey, Colour };

// One picture of any size and any format GDAL reads, read a row at a time
// as linear light, so that memory stays a few rows whatever its size.
class MasterPicture {
public:
    // Opens `path` and decides its kind; a picture the builder cannot take
    // is refused through `feedback`, and null comes back.
    static std::unique_ptr<MasterPicture> open(const std::filesystem::path& path, Feedback& feedback);
    ~MasterPicture();
    MasterPicture(const MasterPicture&) = delete;
    MasterPicture& operator=(const MasterPicture&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    MasterKind kind() const { return kind_; }
    // Values per pixel of a row: 3 for colour, else 1.
    int channels() const { return kind_ == MasterKind::Colour ? 3 : 1; }
    // The two colours of a 1-bit master, index 0 first, and which of them
    // is the lighter (white padding takes it, and a mean of at least half
    // way between them does).
    const std::array<Rgb, 2>& oneBitColours() const { return oneBitColours_; }
    int lighterIndex() const { return lighterIndex_; }

    // Row `y` (from the top) as linear light, channels() values per pixel
    // in red, green, blue order, transparency composited over white. A
    // 1-bit master gives 65535 for its lighter colour and 0 for the other.
    // False, with the message shown, when the row cannot be read.
    bool readRow(std::uint32_t y, std::span<std::uint16_t> linear, Feedback& feedback);

private:
    struct Gdal;
    MasterPicture() = default;
    // The kind and the colours of its values, from the first band (a GDAL
    // band) and its colour table if it has one.
    void decideKind(void* firstBand);
    void readPalette(void* colourTable);

    std::filesystem::path path_;
    std::unique_ptr<Gdal> gdal_;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    MasterKind kind_ = MasterKind::Colour;
    std::array<Rgb, 2> oneBitColours_{};
    int lighterIndex_ = 1;
};

}  // namespace plotvane::import
