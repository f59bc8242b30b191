#include "cli/escaped_text.h"

#include <cstdio>

namespace plotvane::cli {

// Control characters (C0, DEL and the C1 range a stored byte 0x81, 0x8D,
// 0x8F, 0x90 or 0x9D decodes to) as \xNN, and the backslash doubled, so
// a stored text cannot break the layout of the lines around it.
std::string escapeControls(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        unsigned control = 0x100;
        if (b < 0x20 || b == 0x7F) control = b;
        if (b == 0xC2 && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + 1]);
            if (next >= 0x80 && next < 0xA0) {
                control = next;
                ++i;
            }
        }
        if (control < 0x100) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", control);
            out += buffer;
        } else if (b == '\\') {
            out += "\\\\";
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

std::string shownPath(const std::filesystem::path& path) { return escapeControls(path.string()); }

}  // namespace plotvane::cli
