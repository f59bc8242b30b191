#include "database/make_database.h"

#include "project/files.h"

namespace plotvane {

bool saveMapDatabase(MapProject& project, const std::filesystem::path& outputPath,
                     const SaveOptions& options, const Clock& clock, Feedback& feedback,
                     ControlUpdates& updates) {
    project.compressFlag = options.compressChecked ? 1 : 0;
    const WriteRequest request{outputPath,
                               project.classCount,
                               project.colourMode,
                               project.compressFlag != 0,
                               options.ditherChecked,
                               options.compressChecked,
                               options.workDir,
                               options.progress};
    std::filesystem::path unfinished;
    const WriteResult rc = writeMapDatabase(project, request, clock, feedback, updates, &unfinished);
    if (rc == WriteResult::Ok) {
        removeIfExists(options.workDir / kDatabaseRasterName);
        removeIfExists(options.workDir / kCompressionFileName);
        return true;
    }
    if (rc != WriteResult::Cancelled) feedback.show(warning("Error : cannot make pdb-file", Icon::Exclamation));
    if (!unfinished.empty()) removeIfExists(unfinished);
    removeIfExists(options.workDir / kDatabaseRasterName);
    removeIfExists(options.workDir / kCompressionFileName);
    return false;
}

}  // namespace plotvane
