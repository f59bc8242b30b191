#pragma once

#include <cstdint>
#include <filesystem>

#include "project/feedback.h"
#include "project/map_project.h"
#include "raster/record_division.h"

namespace plotvane {

struct RasterRequest {
    int classIndex = 0;                 // class whose polarity is refreshed, 0-based
    std::uint8_t mode = 1;              // 0 (converted as 1), 1, 2, 4 or 8
    std::filesystem::path source;       // the class bitmap
    std::filesystem::path raster;       // the working raster to write
    bool ditherChecked = false;         // the DITHERING box
    bool compressChecked = false;       // the COMPRESS box, for the record-count step
};

// Converts a class bitmap into the working raster of a colour mode.
// Runs the header checks in the working-raster order (including the
// record-count step over every loaded class), sets `ditherFlag`,
// `rasterDataOffset`, `sourceBitDepth` and the class's `invertedPolarity`.
// Returns 0 on success, else the code of the first failing check.
int convertToWorkRaster(MapProject& project, const RasterRequest& request, Feedback& feedback,
                        ControlUpdates& updates);

}  // namespace plotvane
