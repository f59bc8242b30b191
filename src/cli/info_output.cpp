// The two forms `plotvane2-cli info` prints a description in.
#include "cli/info_output.h"

#include "cli/escaped_text.h"

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

namespace plotvane::cli {

namespace {

// A corner value in signed decimal degrees: the hemisphere byte says south,
// the corners' order says west.
double signedDegrees(std::uint32_t total, bool negative) {
    const double degrees = static_cast<double>(total) / 3600000.0;
    return negative ? -degrees : degrees;
}

std::string degreesText(double degrees) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7f", degrees);
    return text;
}

std::string angle(std::uint32_t total) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%u:%02u:%02u.%03u", total / 3600000u, (total % 3600000u) / 60000u,
                  (total % 60000u) / 1000u, total % 1000u);
    return buffer;
}

// A damaged file may hold any byte here; only printable ASCII is shown as
// it stands, so the output stays valid UTF-8.
std::string hemisphereText(std::uint8_t hemisphere) {
    if (hemisphere >= 0x20 && hemisphere < 0x7F) return std::string(1, static_cast<char>(hemisphere));
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", hemisphere);
    return buffer;
}

std::string modeName(ColourMode mode) {
    const char* name = colourModeName(mode);
    return name != nullptr ? name : "unknown (" + std::to_string(colourModeByte(mode)) + ")";
}

const char* compressionText(MapDescription::Compression c) {
    switch (c) {
        case MapDescription::Compression::No: return "no";
        case MapDescription::Compression::Yes: return "yes";
        case MapDescription::Compression::Mixed: return "mixed";
    }
    return "no";
}


// printf into a string: the lines below read as the output they make.
template <typename... Args>
void appendf(std::string& out, const char* format, Args... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    if (n <= 0) return;
    std::string line(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(line.data(), line.size(), format, args...);
    line.pop_back();
    out += line;
}

}  // namespace

std::string infoText(const MapDescription& d) {
    std::string out;
    appendf(out, "Name:         %s\n", escapeControls(d.name).c_str());
    appendf(out, "Version:      %s\n", escapeControls(d.version).c_str());
    appendf(out, "Colour mode:  %s (%u)\n", modeName(d.colourMode).c_str(), colourModeByte(d.colourMode));
    appendf(out, "Compressed:   %s\n", compressionText(d.compression));
    appendf(out, "Classes:      %u\n", d.classCount);
    for (const MapDescription::Class& c : d.classes)
        appendf(out, "  Class %d:    %u x %u, magnification %d, %d x %d tiles of %u x %u\n", c.number, c.width,
                c.height, c.magnification, c.columns, c.rows, c.tileWidth, c.tileHeight);
    appendf(out, "Records:      %u (%u data records)\n", d.recordCount, d.dataRecordCount);
    appendf(out, "File size:    %llu bytes\n", static_cast<unsigned long long>(d.fileSize));
    if (d.gps) {
        appendf(out, "Upper left:   lat %s, long %s\n", angle(d.upperLeftLat).c_str(), angle(d.upperLeftLong).c_str());
        appendf(out, "Bottom right: lat %s, long %s\n", angle(d.bottomRightLat).c_str(),
                angle(d.bottomRightLong).c_str());
        appendf(out, "Hemisphere:   %s%s\n", hemisphereText(d.hemisphere).c_str(),
                d.westLongitude ? ", west longitude" : "");
        const bool south = d.hemisphere == 'S';
        appendf(out, "Degrees:      upper left %s, %s; bottom right %s, %s\n",
                degreesText(signedDegrees(d.upperLeftLat, south)).c_str(),
                degreesText(signedDegrees(d.upperLeftLong, d.westLongitude)).c_str(),
                degreesText(signedDegrees(d.bottomRightLat, south)).c_str(),
                degreesText(signedDegrees(d.bottomRightLong, d.westLongitude)).c_str());
    } else {
        out += "Corners:      none (GPS off)\n";
    }
    appendf(out, "Texts:        %zu\n", d.texts.size());
    for (std::size_t i = 0; i < d.texts.size(); ++i) {
        const MapDescription::Text& t = d.texts[i];
        appendf(out, "  %2zu: [%u,%u]-[%u,%u] %s\n", i + 1, t.left, t.top, t.right, t.bottom,
                escapeControls(t.text).c_str());
    }
    appendf(out, "Password:     %s\n", d.needsPassword    ? "needed to open"
                                         : d.passwordStored ? "none needed (opens read-only)"
                                                            : "none stored (opens read-only)");
    return out;
}

std::string infoJson(const MapDescription& d) {
    nlohmann::ordered_json out;
    out["name"] = d.name;
    out["version"] = d.version;
    out["colourMode"] = colourModeByte(d.colourMode);
    out["colourModeName"] = modeName(d.colourMode);
    out["compressed"] = compressionText(d.compression);
    out["classCount"] = d.classCount;
    out["classes"] = nlohmann::ordered_json::array();
    for (const MapDescription::Class& c : d.classes)
        out["classes"].push_back({{"class", c.number},
                                  {"width", c.width},
                                  {"height", c.height},
                                  {"magnification", c.magnification},
                                  {"recordColumns", c.columns},
                                  {"recordRows", c.rows},
                                  {"tileWidth", c.tileWidth},
                                  {"tileHeight", c.tileHeight}});
    out["recordCount"] = d.recordCount;
    out["dataRecordCount"] = d.dataRecordCount;
    out["fileSize"] = d.fileSize;
    out["gps"] = d.gps;
    if (d.gps) {
        const bool south = d.hemisphere == 'S';
        auto corner = [&](std::uint32_t lat, std::uint32_t lon) {
            return nlohmann::ordered_json{{"latitude", angle(lat)},
                                          {"longitude", angle(lon)},
                                          {"latitudeTotal", lat},
                                          {"longitudeTotal", lon},
                                          {"latitudeDegrees", signedDegrees(lat, south)},
                                          {"longitudeDegrees", signedDegrees(lon, d.westLongitude)}};
        };
        out["upperLeft"] = corner(d.upperLeftLat, d.upperLeftLong);
        out["bottomRight"] = corner(d.bottomRightLat, d.bottomRightLong);
        out["hemisphere"] = hemisphereText(d.hemisphere);
        out["westLongitude"] = d.westLongitude;
    }
    out["texts"] = nlohmann::ordered_json::array();
    for (const MapDescription::Text& t : d.texts)
        out["texts"].push_back(
            {{"text", t.text}, {"left", t.left}, {"top", t.top}, {"right", t.right}, {"bottom", t.bottom}});
    out["spareTextEntries"] = d.spareTextEntries;
    out["passwordStored"] = d.passwordStored;
    out["needsPassword"] = d.needsPassword;
    return out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace plotvane::cli
