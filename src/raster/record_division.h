#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

#include "project/control_updates.h"
#include "project/feedback.h"
#include "project/map_project.h"

namespace plotvane {

inline constexpr int kDivisionFailed = 7;
inline constexpr int kHierarchyRefused = 8;  // the class does not fit the class above
inline constexpr int kNoSuchClass = 9;       // class index the operation does not accept

// Pixels one record may hold in colour mode `mode` (64000 bytes of pixels).
std::uint32_t recordPixelLimit(ColourMode mode);

// Record division of class `classIndex` (0-based) for colour mode `mode`.
// `compressChecked` is the COMPRESS box as the caller sees it now; the
// result in `updates` says whether it must be unchecked. Sets
// `project.compressFlag`. Returns 0 or kDivisionFailed (Class 1 only).
int divideRecords(MapProject& project, int classIndex, ColourMode mode, bool compressChecked,
                  Feedback& feedback, ControlUpdates& updates);

// Hierarchy check of class `classIndex` > 0 against the class above; 0 or non-zero.
int checkHierarchy(MapProject& project, int classIndex, Feedback& feedback);

// The whole check run when a class bitmap is chosen: header checks in the
// class-bitmap order, the hierarchy check, record division in the current
// colour mode. 0 on success.
int checkClassBitmap(MapProject& project, const std::filesystem::path& path, int classIndex,
                     bool compressChecked, Feedback& feedback, ControlUpdates& updates);

// Before a working raster is built: record division of every loaded class,
// Class 1 first, in the requested mode, stopping at the first failure with
// "Error : Cannot calc record number". 0 on success, 1 on failure.
int recomputeRecordDivisions(MapProject& project, ColourMode mode, bool compressChecked,
                             Feedback& feedback, ControlUpdates& updates);

// The COMPRESS box was toggled: every loaded class in the current mode;
// each failure is reported and the next class is still divided.
void redivideAfterCompressToggle(MapProject& project, bool compressChecked, Feedback& feedback,
                                 ControlUpdates& updates);

}  // namespace plotvane
