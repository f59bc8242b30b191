#pragma once

#include <array>

#include "project/map_project.h"

namespace plotvane {

// What the dialog must change after an operation that divides records:
// the core never touches a control itself.
struct ControlUpdates {
    bool uncheckCompress = false;                   // Original mode refused compression
    std::array<bool, kClassSlots> useRecChanged{};  // rows whose UseRec must be redrawn
};

}  // namespace plotvane
