#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "project/feedback.h"
#include "project/map_project.h"
#include "project/output_file.h"
#include "project/progress.h"
#include "raster/bmp_reader.h"
#include "raster/record_division.h"

namespace plotvane {

struct RasterRequest {
    int classIndex = 0;                 // class whose polarity is refreshed, 0-based
    ColourMode mode = ColourMode::Bpp1;  // Original is converted as Bpp1
    std::filesystem::path source;       // the class bitmap
    std::filesystem::path raster;       // the working raster to write
    bool ditherChecked = false;         // the DITHERING box
    bool compressChecked = false;       // the COMPRESS box, for the record-count step
    // When set, the raster is written through it instead of at `raster`:
    // created beside its target at the raster-creation step, and put in
    // the target's place when complete.
    OutputFile* output = nullptr;
    // Told after each block of rows; a stop ends the conversion with
    // RasterResult::Cancelled, silently.
    Progress progress{};
};

// What a working-raster conversion did. The values are the result codes
// callers see, and the check list gives a few findings the same code;
// callers act only on Ok versus the rest.
enum class RasterResult : int {
    Ok = 0,
    NotFound = 1,
    CannotCalcRecords = 1,  // the record division of a loaded class failed
    CannotOpen = 2,
    CannotMakeRaster = 3,   // the raster file cannot be created
    CannotWriteRaster = 3,  // ... or written, flushed or put in its place
    IllegalDepth = 3,
    NotBmp = 4,
    Compressed = 4,
    TooSmall = 5,
    TooLarge = 5,
    Truncated = 6,     // pixel rows run past the end of the file
    // A mode other than 0, 1, 2, 4 or 8 was asked for: a caller's mistake,
    // refused before any file is touched and without a message.
    UnknownMode = 10,
    NoMemory = 11,     // the work areas could not be obtained ("allocdmatrix error")
    Cancelled = 12,    // the request's progress said stop; no message is shown
};

// Bits per pixel of the raster file (mode 2 is stored with 4 bits).
std::uint16_t rasterBitCount(ColourMode mode);
// Offset of the pixel rows: 62, 118 or 978.
std::uint32_t rasterPixelOffset(ColourMode mode);
// Bytes of one raster row, padded to a multiple of 4.
std::uint32_t rasterRowBytes(std::int32_t width, ColourMode mode);

// The raster value of a colour in `mode` without dithering: mode 1 (and 0)
// 1 for light and 0 for dark, mode 2 0..3 and mode 4 0..15 from dark to
// light, mode 8 the index into the 231-colour table.
std::uint8_t plainRasterValue(ColourMode mode, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// The raster's headers and colour table, `rasterPixelOffset(mode)` bytes:
// the source's file header and the first 40 bytes of its information header
// with the sizes, depth and colour counts of the mode (and `biSize` 40);
// the height is positive, since the raster is always stored bottom-up.
std::vector<std::uint8_t> workRasterPrefix(const BmpHeaders& source, ColourMode mode, const Palette& palette);

// Converts a class bitmap into the working raster of a colour mode.
// Runs the header checks in the working-raster order (including the
// record-count step over every loaded class), sets `ditherFlag`,
// `rasterDataOffset`, `sourceBitDepth` and the class's `invertedPolarity`.
// Returns what failed first, or Ok. A raster that cannot be created or
// written is explained to `feedback`.
RasterResult convertToWorkRaster(MapProject& project, const RasterRequest& request, Feedback& feedback,
                                 ControlUpdates& updates);

}  // namespace plotvane
