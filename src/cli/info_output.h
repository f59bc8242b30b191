#pragma once

#include <string>

#include "database/map_description.h"

namespace plotvane::cli {

// The description as `info` prints it: lines of "Field: value", control
// characters in the name and texts as \xNN and a backslash doubled.
std::string infoText(const MapDescription& description);

// The description as one JSON object, indented by two, ending in a line break.
std::string infoJson(const MapDescription& description);

}  // namespace plotvane::cli
