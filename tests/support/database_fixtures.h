#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "database/database_writer.h"
#include "database/map_database.h"
#include "project/feedback.h"
#include "project/map_project.h"

namespace plotvane::test {

// A clock standing still at `seconds`, with the machine's local calendar.
class FixedClock : public SystemClock {
public:
    explicit FixedClock(std::int64_t seconds) : seconds_(seconds) {}
    std::int64_t now() const override { return seconds_; }

private:
    std::int64_t seconds_;
};

// Seconds since 1970 of a UTC calendar time.
std::int64_t utcSeconds(int year, int month, int day, int hour = 0, int minute = 0);

// Writes a 1-bit class bitmap and fills class row `classIndex` by hand, as
// the header checks would (data offset 62, depth 1, polarity from the
// first colour), with the given record grid. `black(x, y)` tells the
// picture; the colour table is black-first unless `whiteFirst`.
// `paddingFill` is the value of the stored rows' padding bytes.
void addOneBitClass(MapProject& project, int classIndex, const std::filesystem::path& path,
                    int width, int height, int columns, int rows,
                    const std::function<bool(int x, int y)>& black, bool whiteFirst = false,
                    std::uint8_t paddingFill = 0);

// A whole database in memory, laid out with the serialiser from the class
// rows and texts of `project` in colour mode `mode`: the data of record
// 1 + X + i (after its tile header and, when compressed, its size word) is
// `data[i]`, one entry per tile of the class grids.
std::vector<std::uint8_t> layOutDatabase(const MapProject& project, ColourMode mode, bool compressed,
                                         const std::vector<std::vector<std::uint8_t>>& data,
                                         std::uint32_t stamp = 0x12345678);

// Bytes of a file, or an empty vector when it does not exist.
std::vector<std::uint8_t> fileBytesOrEmpty(const std::filesystem::path& path);

// Names of the entries of a folder, sorted.
std::vector<std::string> folderEntries(const std::filesystem::path& folder);

// Sets TZ for the lifetime of the object and restores it after.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool hadZone_ = false;
    std::string previous_;
};

}  // namespace plotvane::test

namespace plotvane {

// Readable messages in assertion output.
inline void PrintTo(const Message& m, std::ostream* os) {
    const char* icon = m.icon == Icon::None ? "none" : m.icon == Icon::Exclamation ? "exclamation" : "information";
    *os << "{" << m.title << ", \"" << m.text << "\", " << icon << "}";
}

}  // namespace plotvane
