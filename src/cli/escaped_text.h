#pragma once

#include <filesystem>
#include <string>

namespace plotvane::cli {

// Control characters (C0, DEL and the C1 range) as \xNN and a backslash
// doubled, so a text or a file name cannot break or forge the lines the
// command line prints around it.
std::string escapeControls(const std::string& utf8);

// A path as the command line prints it: escaped as above.
std::string shownPath(const std::filesystem::path& path);

}  // namespace plotvane::cli
