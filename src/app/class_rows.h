#pragma once

#include "app/platform.h"
#include "project/control_updates.h"
#include "project/map_project.h"

namespace plotvane::app {

// Writes class row `classIndex` (0-based) of the main dialog from the
// project: TOPxN ("TOP" for Class 1, else the product of the
// magnifications down to the class), width, height and UseRec, in that
// order.
void showClassRow(ui::Platform& platform, const MapProject& project, int classIndex);

// Writes the UseRec edit of class row `classIndex`: its records, columns
// times rows.
void showUseRec(ui::Platform& platform, const MapProject& project, int classIndex);

// Writes what a check asked of the dialog: the COMPRESS box unchecked and
// the UseRec edit of every row whose record division it changed.
void applyControlUpdates(ui::Platform& platform, const MapProject& project, const ControlUpdates& updates);

}  // namespace plotvane::app
