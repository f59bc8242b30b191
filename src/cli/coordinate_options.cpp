#include "cli/coordinate_options.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli/commands.h"
#include "cli/escaped_text.h"

namespace plotvane::cli {

namespace {

// Digits with at most one decimal point and at least one digit.
std::optional<double> unsignedDecimal(const std::string& text) {
    int digits = 0;
    int points = 0;
    for (char c : text) {
        if (c == '.') ++points;
        else if (std::isdigit(static_cast<unsigned char>(c))) ++digits;
        else return std::nullopt;
    }
    if (digits == 0 || points > 1) return std::nullopt;
    return std::strtod(text.c_str(), nullptr);
}

std::optional<double> unsignedWhole(const std::string& text) {
    if (text.empty() || text.find('.') != std::string::npos) return std::nullopt;
    return unsignedDecimal(text);
}

}  // namespace

std::array<std::string, 4> thousandthsTexts(double degrees) {
    const auto total = static_cast<std::uint64_t>(std::llround(std::fabs(degrees) * 3600000.0));
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, "%03u", static_cast<unsigned>(total % 1000));
    return {std::to_string(total / 3600000), std::to_string(total / 60000 % 60), std::to_string(total / 1000 % 60),
            fraction};
}

std::optional<AngleOption> parseDecimalAngle(const std::string& option, const std::string& text, AngleAxis axis) {
    std::string body = text;
    int sign = 0;
    bool otherAxisLetter = false;
    bool signAndLetter = false;
    if (!body.empty()) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(body.back())));
        const bool latLetter = letter == 'N' || letter == 'S';
        const bool longLetter = letter == 'E' || letter == 'W';
        if (latLetter || longLetter) {
            otherAxisLetter = latLetter != (axis == AngleAxis::Latitude);
            sign = (letter == 'N' || letter == 'E') ? 1 : -1;
            body.pop_back();
        }
    }
    if (!body.empty() && (body.front() == '-' || body.front() == '+')) {
        signAndLetter = sign != 0;
        sign = body.front() == '-' ? -1 : 1;
        body.erase(0, 1);
    }
    const std::size_t c1 = body.find(':');
    const std::size_t c2 = c1 == std::string::npos ? std::string::npos : body.find(':', c1 + 1);
    const bool hasPoint = body.find('.') != std::string::npos;
    std::optional<double> degrees;
    if (c1 == std::string::npos) {
        if (sign == 0 && !hasPoint) return std::nullopt;  // "D" alone, as the edits take it
        degrees = unsignedDecimal(body);
    } else if (c2 == std::string::npos) {
        if (!hasPoint) return std::nullopt;  // "D:M", as the edits take it
        const auto d = unsignedWhole(body.substr(0, c1));
        const auto m = unsignedDecimal(body.substr(c1 + 1));
        if (d && m && *m < 60) degrees = *d + *m / 60.0;
    } else {
        return std::nullopt;  // "D:M:S[.F]", as the edits take it (a sign or letter there is refused by them)
    }
    if (otherAxisLetter)
        throw UsageError(option + ": " + std::string(1, text.back()) + " is not a letter of a " +
                         (axis == AngleAxis::Latitude ? "latitude (N or S)" : "longitude (E or W)") + ": " + text);
    if (signAndLetter) throw UsageError(option + ": a sign and a letter together: " + text);
    const double limit = axis == AngleAxis::Latitude ? 90.0 : 180.0;
    if (!degrees)
        throw UsageError(option + ": not an angle: " + text +
                         " (D:M:S[.F], decimal degrees DD.DDDD or D:MM.MMMM, signed or with N, S, E or W)");
    if (*degrees > limit)
        throw UsageError(option + ": a " + (axis == AngleAxis::Latitude ? "latitude" : "longitude") +
                         " is at most " + std::to_string(static_cast<int>(limit)) + " degrees: " + text);
    AngleOption out;
    out.parts = thousandthsTexts(*degrees);
    out.signedDegrees = (sign < 0 ? -1.0 : 1.0) * *degrees;
    return out;
}

void checkCornerSides(const std::optional<double>& upperLeftLat, const std::optional<double>& upperLeftLong,
                      const std::optional<double>& bottomRightLat, const std::optional<double>& bottomRightLong) {
    if (upperLeftLat && bottomRightLat) {
        if ((*upperLeftLat < 0) != (*bottomRightLat < 0))
            throw UsageError("--upper-left and --bottom-right lie on two sides of the equator: the database stores "
                             "the corners without sign, so a map must lie on one side");
        if (*upperLeftLat < *bottomRightLat)
            throw UsageError("--upper-left lies south of --bottom-right");
    }
    if (upperLeftLong && bottomRightLong) {
        if ((*upperLeftLong < 0) != (*bottomRightLong < 0))
            throw UsageError("--upper-left and --bottom-right lie on two sides of the prime meridian: the database "
                             "stores the corners without sign, so a map must lie on one side");
        if (*upperLeftLong > *bottomRightLong)
            throw UsageError("--upper-left lies east of --bottom-right");
    }
}

}  // namespace plotvane::cli

#include "import/georeference.h"

namespace plotvane::cli {

bool readClassOneGeoreference(const std::string& picture, const import::PictureGrid* grid,
                              import::Georeference& geo, Feedback& feedback) {
    const import::GeoreferenceStatus status = grid != nullptr ? import::readGeoreference(picture, *grid, geo, feedback)
                                                              : import::readGeoreference(picture, geo, feedback);
    if (status == import::GeoreferenceStatus::Refused) return false;
    if (status == import::GeoreferenceStatus::None) {
        const std::string whose = grid != nullptr ? "The picture " + shownPath(picture) : std::string("Class 1");
        feedback.show(warning(whose + " carries no georeferencing (GeoTIFF tags, a world file, an OziExplorer .map "
                                      "or an .aux.xml beside it).",
                              Icon::Exclamation));
        return false;
    }
    return true;
}

void putGeoreferenceCorners(const import::Georeference& geo, const MapProject& project, CoordinateTexts& corners,
                            Feedback& feedback) {
    const std::array<std::pair<CoordinateValue, double>, 4> values = {{
        {CoordinateValue::UpperLeftLat, geo.upperLeft.latitude},
        {CoordinateValue::UpperLeftLong, geo.upperLeft.longitude},
        {CoordinateValue::BottomRightLat, geo.bottomRight.latitude},
        {CoordinateValue::BottomRightLong, geo.bottomRight.longitude},
    }};
    for (const auto& [value, degrees] : values) {
        const auto parts = thousandthsTexts(degrees);
        for (std::size_t i = 0; i < 4; ++i) corners.at(value, static_cast<AnglePart>(i)) = parts[i];
    }
    const import::DetailedClass detailed = import::mostDetailedClass(project, geo);
    feedback.show(info(import::georeferenceSummary(geo, detailed)));
    if (import::interpolationOffMoreThanPixel(geo, detailed))
        feedback.show(warning("CAUTION!\nOn this map the handheld's positions are off by more than one pixel of "
                              "Class " + std::to_string(detailed.number) +
                              ".",
                              Icon::Exclamation));
}

}  // namespace plotvane::cli
