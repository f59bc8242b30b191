#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// Angles of --upper-left and --bottom-right as people write them, beside
// the dialog's D:M:S[.F]: decimal degrees ("35.68934"), signed
// ("-33.8688") or with a trailing N, S, E or W ("33.8688S"), and degrees
// with decimal minutes ("35:41.3604", signed or with a letter too). Such
// an angle is rounded to the
// nearest thousandth of a second and goes into the four edit texts with a
// three-digit fraction.
namespace plotvane::cli {

enum class AngleAxis { Latitude, Longitude };

struct AngleOption {
    std::array<std::string, 4> parts;  // degrees, minutes, seconds, fraction edit texts
    // The angle in degrees, north and east positive, when the text says
    // which side it lies (a sign or a letter; decimal forms without either
    // are north or east); nullopt for an unsigned D:M:S[.F], whose side the
    // corners' order tells.
    std::optional<double> signedDegrees;
};

// nullopt when `text` is none of the forms above (the caller reads it as
// D:M:S[.F]); throws UsageError for a form above that is malformed, out
// of range or has a letter of the other axis.
std::optional<AngleOption> parseDecimalAngle(const std::string& option, const std::string& text, AngleAxis axis);

// Signs and letters agree with the corners' order rule: both corners on
// one side of the equator and of the prime meridian, the upper-left north
// and west of the bottom-right. Throws UsageError otherwise. Angles
// without a stated side are not checked.
void checkCornerSides(const std::optional<double>& upperLeftLat, const std::optional<double>& upperLeftLong,
                      const std::optional<double>& bottomRightLat, const std::optional<double>& bottomRightLong);

// The edit texts of an angle of |degrees|, rounded to thousandths of a second.
std::array<std::string, 4> thousandthsTexts(double degrees);

}  // namespace plotvane::cli

#include "database/input_rules.h"
#include "import/georeference.h"
#include "project/feedback.h"
#include "import/georeference.h"
#include "project/map_project.h"

namespace plotvane::cli {

// --georef: the georeferencing of Class 1 (`picture`, the user's file;
// with `grid`, the master picture Class 1 was made from, the corners then
// those of Class 1's outer edges). False after a message when there is
// none or it was refused.
bool readClassOneGeoreference(const std::string& picture, const import::PictureGrid* grid,
                              import::Georeference& georeference, Feedback& feedback);

// Its corners into the edit texts, with what they are and how far the
// handheld will be off in pixels of the most detailed class of `project`
// (a caution when more than one).
void putGeoreferenceCorners(const import::Georeference& georeference, const MapProject& project,
                            CoordinateTexts& corners, Feedback& feedback);

}  // namespace plotvane::cli
