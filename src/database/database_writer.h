#pragma once

#include <cstdint>
#include <filesystem>

#include "project/feedback.h"
#include "project/map_project.h"
#include "project/progress.h"
#include "raster/record_division.h"

namespace plotvane {

// The system clock as the writer needs it.
class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since 1970-01-01 00:00:00 UTC.
    virtual std::int64_t now() const = 0;
    // Calendar year of `secondsSince1970` in the machine's local zone.
    virtual int localYear(std::int64_t secondsSince1970) const = 0;
};

class SystemClock : public Clock {
public:
    std::int64_t now() const override;
    int localYear(std::int64_t secondsSince1970) const override;
};

struct WriteRequest {
    std::filesystem::path outputPath;
    int classCount = 0;
    ColourMode colourMode = ColourMode::Original;
    bool compress = false;
    bool ditherChecked = false;     // the DITHERING box, for the conversions
    bool compressChecked = false;   // the COMPRESS box, for the conversions' record count
    std::filesystem::path workDir;  // holds the temporary files
    // Told as each class is converted and cut into records, and as the
    // records are written.
    Progress progress{};
};

// What writing a map database did. The values are the writer's result
// codes: 2 when the compression file cannot be reopened, 1 for every other
// failure.
enum class WriteResult : int {
    Ok = 0,
    CannotMakeDatabase = 1,      // the output is refused, or cannot be made, written or put in place
    ClassNotDivided = 1,         // a class in use has no width or height: its record division failed
    CannotCompress = 1,          // a class's compression pass failed, or left too few records
    CompressedRecordTooLarge = 1,  // "Error : Compression Data Size Over 64KBytes."
    AbnormalDate = 1,            // "Error : The date of this system is abnormal."
    TooManyRecords = 1,          // "Error : [Record number]>=254"
    CompressionPointerLost = 1,  // the compression file ends before a record's data
    CompressionFileLost = 2,     // "Error : Cannot open compressed-file."
    Cancelled = 3,               // the request's progress said stop: as a failure, without a message
};

// Writes the map database of `project` to `request.outputPath` through an
// OutputFile: refuses at once a class in use without width or height (the
// record division's "Cannot divide ..." message) and an output that is not
// a regular file or is one of the class bitmaps, runs the compression pass
// of every class, checks the size limits and the clock, then writes a new file with a
// unique name beside the output's target and renames it over the target
// once it is complete and synced, so an existing database is never lost.
// Returns Ok, or the failure after showing its message (and explaining a
// file problem), or Cancelled after a stop, silently.
// The unfinished file is removed on every failure, so `unfinishedFile`,
// when given, is always empty on return. On success "temppdb.$$$" has been
// deleted.
WriteResult writeMapDatabase(MapProject& project, const WriteRequest& request, const Clock& clock,
                             Feedback& feedback, ControlUpdates& updates,
                             std::filesystem::path* unfinishedFile = nullptr);

}  // namespace plotvane
