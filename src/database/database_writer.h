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

inline constexpr int kWriteOk = 0;
inline constexpr int kWriteFailed = 1;
inline constexpr int kWriteCompressionFileLost = 2;
// The request's progress said stop: as a failure, without a message.
inline constexpr int kWriteCancelled = 3;

// Writes the map database of `project` to `request.outputPath` through an
// OutputFile: refuses at once an output that is not a regular file or is
// one of the class bitmaps, runs the compression pass of every class,
// checks the size limits and the clock, then writes a new file with a
// unique name beside the output's target and renames it over the target
// once it is complete and synced, so an existing database is never lost.
// Returns 0, 2 when "tempcomp.$$$" cannot be reopened, 1 for every other
// failure, after showing the message (and explaining a file problem), and
// 3 (kWriteCancelled) after a stop, silently.
// The unfinished file is removed on every failure, so `unfinishedFile`,
// when given, is always empty on return. On success "temppdb.$$$" has been
// deleted.
int writeMapDatabase(MapProject& project, const WriteRequest& request, const Clock& clock,
                     Feedback& feedback, ControlUpdates& updates,
                     std::filesystem::path* unfinishedFile = nullptr);

}  // namespace plotvane
