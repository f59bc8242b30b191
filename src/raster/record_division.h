#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

#include "project/control_updates.h"
#include "project/feedback.h"
#include "project/map_project.h"
#include "raster/bmp_reader.h"

namespace plotvane {

// What a record division did; the values are those of ClassBitmapResult.
enum class DivisionResult : int {
    Divided = 0,
    CannotDivide = 7,  // Class 1 cannot be cut into records
    NoSuchClass = 9,   // a class index the division does not accept
};

// How a class fits the class above; the values are those of ClassBitmapResult.
enum class HierarchyResult : int {
    Fits = 0,
    NotInHierarchy = 8,
    NoSuchClass = 9,  // Class 1, or an index past the classes
};

// Pixels one record may hold in colour mode `mode` (64000 bytes of pixels).
std::uint32_t recordPixelLimit(ColourMode mode);

// "Cannot divide this bmp-data to records. ...": Class 1 cannot be cut,
// and its geometry is cleared.
Message cannotDivideMessage();

// Record division of class `classIndex` (0-based) for colour mode `mode`.
// `compressChecked` is the COMPRESS box as the caller sees it now; the
// result in `updates` says whether it must be unchecked. Sets
// `project.compressFlag`. Only Class 1 can fail (CannotDivide).
DivisionResult divideRecords(MapProject& project, int classIndex, ColourMode mode, bool compressChecked,
                             Feedback& feedback, ControlUpdates& updates);

// Hierarchy check of class `classIndex` > 0 against the class above.
HierarchyResult checkHierarchy(MapProject& project, int classIndex, Feedback& feedback);

// The whole check run when a class bitmap is chosen: header checks in the
// class-bitmap order, the hierarchy check, record division in the current
// colour mode. The first failure found.
ClassBitmapResult checkClassBitmap(MapProject& project, const std::filesystem::path& path, int classIndex,
                                   bool compressChecked, Feedback& feedback, ControlUpdates& updates);

// Before a working raster is built: record division of every loaded class,
// Class 1 first, in the requested mode, stopping at the first failure with
// "Error : Cannot calc record number". True when every class was divided.
bool recomputeRecordDivisions(MapProject& project, ColourMode mode, bool compressChecked,
                              Feedback& feedback, ControlUpdates& updates);

// The COMPRESS box was toggled: every loaded class in the current mode;
// each failure is reported and the next class is still divided.
void redivideAfterCompressToggle(MapProject& project, bool compressChecked, Feedback& feedback,
                                 ControlUpdates& updates);

}  // namespace plotvane
