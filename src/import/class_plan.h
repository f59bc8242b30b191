#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "project/colour_mode.h"

namespace plotvane::import {

inline constexpr int kMaxClasses = 4;

// What the user asks of the classes made from one master picture.
struct ClassRequest {
    int classCount = 1;  // 1..4
    // magnifications[k] is the factor between Class k + 1 and Class k + 2:
    // 2, 4 or 8.
    std::array<int, kMaxClasses - 1> magnifications{2, 2, 2};
    ColourMode mode = ColourMode::Bpp8;  // the colour mode the map is to be made in
    bool textRecord = false;    // the map will hold information texts
};

// Sizes chosen so that the classes pass every rule after them: each class
// exactly its magnification times the class above, the class above
// divisible by it, every side 160..4096, Class 1 dividable into records
// in the mode asked for, and the map within the record limit.
struct ClassPlan {
    std::uint32_t masterWidth = 0;
    std::uint32_t masterHeight = 0;
    // Master pixels per side of one pixel of the most detailed class.
    std::uint32_t reduction = 1;
    int classCount = 1;
    std::array<std::uint32_t, kMaxClasses> widths{};
    std::array<std::uint32_t, kMaxClasses> heights{};
    std::array<std::uint32_t, kMaxClasses> records{};  // record columns x rows
    std::uint32_t totalRecords = 0;                    // data records of all classes

    // The master padded with white on the right and at the bottom, in
    // master pixels: the most detailed class times the reduction.
    std::uint32_t paddedWidth() const { return widths[lastClass()] * reduction; }
    std::uint32_t paddedHeight() const { return heights[lastClass()] * reduction; }
    std::uint32_t addedRight() const { return paddedWidth() - masterWidth; }
    std::uint32_t addedBottom() const { return paddedHeight() - masterHeight; }
    // Master pixels per side of one pixel of class `classIndex` (0-based).
    std::uint32_t boxSide(int classIndex) const;
    std::size_t lastClass() const { return static_cast<std::size_t>(classCount - 1); }
};

struct PlanOutcome {
    std::optional<ClassPlan> plan;
    std::string refusal;  // the message when there is no plan
};

// Among the sizes that pass, the smallest whole reduction of the master
// (1 when it fits: the most detail), then the fewest pixels added. The
// refusal says what failed, with the counts, and how many classes or which
// colour modes would fit instead.
PlanOutcome planClasses(std::uint32_t masterWidth, std::uint32_t masterHeight, const ClassRequest& request);

// "8BPP", "1BPP", ... or "Original" for mode 0.
std::string modeName(ColourMode mode);

// A refusal of the request itself (a count or magnification out of range),
// or an empty text.
std::string requestProblem(const ClassRequest& request);

}  // namespace plotvane::import
