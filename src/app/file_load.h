#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "app/picture_cache.h"
#include "project/feedback.h"
#include "project/map_project.h"
#include "app/platform.h"

namespace plotvane::app {

// What File Load uses of the main dialog besides its project state.
struct FileLoadContext {
    ui::Platform& platform;
    Feedback& feedback;
    // Holds the RestoreFiles.
    std::filesystem::path workDir;
    // Dropped pictures: the RestoreFiles are rewritten.
    PictureCache& pictures;
    // Rebuilds the preview's working raster of the loaded Class 1 in
    // `mode`, leaving the class rows as loaded; true when rebuilt.
    std::function<bool(ColourMode mode)> rebuildWorkRaster;
};

// "File Load" (button 1031): asks for a database, checks its header and
// password, deletes the RestoreFiles of an earlier load, restores the
// database into the project and the RestoreFiles, and shows the restored
// map read-only or for editing as its access mode says. Every stage that
// fails has shown its message and leaves the project, the dialog and the
// RestoreFiles as they were. The restore tells the platform's progress
// dialog how far it is; its Cancel stops the load as a failure does,
// without a message.
void fileLoadCommand(MapProject& project, FileLoadContext& context);

}  // namespace plotvane::app
