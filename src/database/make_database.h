#pragma once

#include <filesystem>

#include "database/database_writer.h"
#include "project/feedback.h"
#include "project/map_project.h"
#include "raster/record_division.h"

namespace plotvane {

// The dialog state the save step reads, and where the temporary files live.
struct SaveOptions {
    bool ditherChecked = false;     // the DITHERING box
    bool compressChecked = false;   // the COMPRESS box, stored in `compressFlag`
    std::filesystem::path workDir;
    // Told how far the writer is; a stop is handled as a failure without
    // its message.
    Progress progress{};
};

// The save step of "Make PDB" once the output path is chosen: stores the
// COMPRESS box in `compressFlag`, runs the writer with the project's class
// count and colour mode, and removes the temporary files. After a failure
// it shows "Error : cannot make pdb-file" and removes the writer's
// unfinished file; an existing database at `outputPath` is left as it was.
// A stop of `options.progress` is cleaned up alike, silently.
// True when the database was written. The caller reports the outcome.
bool saveMapDatabase(MapProject& project, const std::filesystem::path& outputPath,
                     const SaveOptions& options, const Clock& clock, Feedback& feedback,
                     ControlUpdates& updates);

}  // namespace plotvane
