#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "project/feedback.h"
#include "project/map_project.h"
#include "project/progress.h"
#include "raster/record_division.h"

namespace plotvane {

// Longest run one pair of the run-length code holds.
inline constexpr std::uint8_t kMaxRunLength = 160;

// Bytes of one stored source row (BMP rows padded to 4 bytes): the class
// bitmap in mode 0, the working raster otherwise.
std::uint32_t sourceRowStride(ColourMode mode, std::uint32_t width);

// Packs one tile row. `sourceRow` is a stored source row followed by at
// least 4 zero bytes (more zero bytes are harmless); output pixel x is
// source pixel `firstPixel` + x, for every pixel that `packed` holds, so
// the bits past the tile's edge are the next source pixels. Mode 0 keeps
// the bits when `keepOriginalBits` (the class's `invertedPolarity` is 1),
// else inverts them; mode 1 always inverts; mode 2 stores 3 minus the low
// two bits of a nibble, mode 4 15 minus the nibble, mode 8 the byte.
void packTileRow(ColourMode mode, std::span<const std::uint8_t> sourceRow, std::uint32_t firstPixel,
                 bool keepOriginalBits, std::span<std::uint8_t> packed);

// Appends the run-length code of one packed row: (count, value) pairs,
// counts 1..160, runs never continuing past the row.
void encodeRunLength(std::span<const std::uint8_t> row, std::vector<std::uint8_t>& out);

// What decoding run-length code found.
enum class DecodeResult : int {
    Ok = 0,
    BadCount = 1,    // a zero count or one above 160
    RowOverrun = 2,  // a run spans two rows
    Truncated = 3,   // the code ends before the last row is full
    Trailing = 4,    // code bytes left after the last row
};

// Decodes `rows` rows of `rowBytes` bytes each, appending them to `out`.
DecodeResult decodeRunLength(std::span<const std::uint8_t> code, std::size_t rowBytes, std::size_t rows,
                             std::vector<std::uint8_t>& out);

// The dialog state and the folder a compression pass works with.
struct CompressionRequest {
    std::filesystem::path workDir;      // holds "tempcomp.$$$" and "temppdb.$$$"
    bool ditherChecked = false;         // the DITHERING box, for the conversion
    bool compressChecked = false;       // the COMPRESS box, for the conversion's record count
    // Bytes of tile output kept in memory for one tile row; when a tile row
    // needs more, its columns are cut in groups that fit (each group reads
    // the source rows again), and a single column is streamed to the file.
    std::uint64_t memoryBudget = std::uint64_t{8} << 20;
    // Told of the pass of this class, the conversion and then each tile row.
    Progress progress{};
};

// What the compression pass of a class did. The values are its result
// codes, which give a few failures the same number.
enum class CompressionResult : int {
    Ok = 0,
    NoSuchClass = 1,                 // a class index past the four classes
    CannotMakeCompressionFile = 1,   // "tempcomp.$$$" cannot be created
    CannotOpenCompressionFile = 1,   // ... or reopened to append
    CompressionPointerLost = 1,      // its end cannot be found
    CannotWriteCompressionFile = 1,  // ... or it cannot be written, flushed or closed
    NotOneBit = 1,                   // Original mode and a class bitmap of another depth
    CannotConvert = 1,               // the working raster of the class cannot be made
    CannotOpenSource = 2,            // the class bitmap or raster cannot be opened
    CannotSeekSource = 4,
    CannotReadSource = 4,
    Cancelled = 5,                   // the request's progress said stop: no message is shown
};

// The compression pass of one class (0-based): cuts the class into its
// tiles, packs every tile row in `mode`, run-length codes it when
// `compress`, and appends all tiles in record order to "tempcomp.$$$"
// (created for class 0, appended to for later classes). Records each
// tile's data length in `recordSizes` at `recordCounter`, which it
// advances. Returns Ok, or the failure after showing its message, or
// Cancelled; "tempcomp.$$$" is deleted on every failure and cancel after
// it was created.
CompressionResult compressClassRecords(MapProject& project, int classIndex, ColourMode mode, bool compress,
                                       const CompressionRequest& request, Feedback& feedback,
                                       ControlUpdates& updates);

}  // namespace plotvane
