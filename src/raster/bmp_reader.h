#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>

#include "project/feedback.h"
#include "project/map_project.h"

namespace plotvane {

// Result codes of the header checks.
inline constexpr int kBmpOk = 0;
inline constexpr int kBmpNotFound = 1;
inline constexpr int kBmpCannotOpen = 2;     // also "not a BMP" in the class-bitmap order
inline constexpr int kBmpIllegalDepth = 3;   // also "cannot make temp file" when converting
inline constexpr int kBmpCompressed = 4;     // also "not a BMP" when converting
inline constexpr int kBmpBadSize = 5;
inline constexpr int kBmpTruncated = 6;      // pixel rows run past the end of the file

// The two BMP headers as stored (little-endian fields), plus their raw bytes.
struct BmpHeaders {
    std::uint16_t bfType = 0;
    std::uint32_t bfSize = 0;
    std::uint16_t bfReserved1 = 0;
    std::uint16_t bfReserved2 = 0;
    std::uint32_t bfOffBits = 0;
    std::uint32_t biSize = 0;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 0;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
    std::array<std::uint8_t, 14> fileHeaderBytes{};
    std::array<std::uint8_t, 40> infoHeaderBytes{};  // the first 40 bytes of the information header
};

// Header checks in the class-bitmap order. On success records `width`,
// `height`, `pixelDataOffset`, `invertedPolarity` and `bitDepth` in
// `project.classes[classIndex]`; sets `project.sourceBitDepth` from the
// depth check on. Shows the first failing check's message.
int checkClassBitmapHeaders(MapProject& project, int classIndex, const std::filesystem::path& path,
                            Feedback& feedback);

}  // namespace plotvane
