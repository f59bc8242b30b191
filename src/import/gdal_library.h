#pragma once

// GDAL reads every picture format and georeferencing the program takes
// beside BMP. Its drivers are registered once per process, before the
// first file is opened; every function of this layer calls this first.
namespace plotvane::import {

void ensureGdalReady();

}  // namespace plotvane::import
