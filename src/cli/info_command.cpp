// plotvane2-cli info: describes a map database, after the same header
// checks as "File Load", without changing anything.
#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "cli/info_output.h"
#include "database/map_description.h"

namespace plotvane::cli {

namespace {

int runInfo(const std::string& path, bool json) {
    StderrFeedback feedback;
    MapDescription description;
    if (describeMapDatabaseFile(path, feedback, description) != DatabaseCheck::Ok) return kExitRefused;
    const std::string out = json ? infoJson(description) : infoText(description);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitOk;
}

}  // namespace

void addInfoCommand(CLI::App& app, Action& action) {
    auto path = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    CLI::App* sub = app.add_subcommand("info", "Describe a map database (.pdb).");
    sub->footer(
        "Prints the name, version, colour mode, compression, classes with their tile grids, records and\n"
        "file size, corner coordinates (D:M:S.FFF, and signed decimal degrees: south and west negative)\n"
        "and hemisphere, information texts with their marker boxes, and whether it needs a password to open.\n"
        "--json keys: name, version, colourMode, colourModeName, compressed (yes/no/mixed), classCount,\n"
        "classes[] {class, width, height, magnification, recordColumns, recordRows, tileWidth, tileHeight},\n"
        "recordCount, dataRecordCount, fileSize, gps, upperLeft/bottomRight {latitude, longitude,\n"
        "latitudeTotal, longitudeTotal, latitudeDegrees, longitudeDegrees}, hemisphere and westLongitude (only with gps), texts[] {text, left,\n"
        "top, right, bottom}, spareTextEntries, passwordStored, needsPassword.\n"
        "In the text form, control characters in the name and texts show as \\xNN and a backslash as \\\\.\n"
        "Exit status: 0, 1 when the file is missing or not a sound map database, 2 usage error.");
    sub->add_option("database", *path, "The .pdb file")->required();
    sub->add_flag("--json", *json, "Print one JSON object instead of text");
    sub->callback([&action, path, json] { action = [path, json] { return runInfo(*path, *json); }; });
}

}  // namespace plotvane::cli
