// Draws the sample map: one bitmap of any size and depth, or the class
// bitmaps of the demonstration map.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "scene/map_scene.h"

namespace {

// The usage text: on stdout with exit 0 when asked for, else on stderr
// with exit 2.
int usage(bool asked = false) {
    std::fprintf(asked ? stdout : stderr,
                 "usage: plotvane2-sample bitmap WIDTH HEIGHT DEPTH OUT.bmp\n"
                 "       plotvane2-sample classes OUTDIR\n"
                 "  bitmap   draws the sample map at WIDTH x HEIGHT pixels, DEPTH 1, 4, 8 or 24 bits\n"
                 "  classes  writes class1.bmp (480x320), class2.bmp (960x640) and class3.bmp\n"
                 "           (1920x1280), 24-bit, each twice the scale of the one before\n");
    return asked ? 0 : 2;
}

bool parseInt(const char* text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v <= 0 || v > 65535) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string what = argv[1];
    if (what == "--help" || what == "-h") return usage(true);
    if (what == "bitmap" && argc == 6) {
        int w = 0, h = 0, depth = 0;
        if (!parseInt(argv[2], w) || !parseInt(argv[3], h) || !parseInt(argv[4], depth)) return usage();
        if (!plotvane::scene::writeSceneBmp(argv[5], w, h, depth)) {
            std::fprintf(stderr, "plotvane2-sample: cannot write %s\n", argv[5]);
            return 1;
        }
        return 0;
    }
    if (what == "classes" && argc == 3) {
        const std::filesystem::path dir = argv[2];
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        const int sizes[3][2] = {{480, 320}, {960, 640}, {1920, 1280}};
        for (int k = 0; k < 3; ++k) {
            const auto path = dir / ("class" + std::to_string(k + 1) + ".bmp");
            if (!plotvane::scene::writeSceneBmp(path, sizes[k][0], sizes[k][1], 24)) {
                std::fprintf(stderr, "plotvane2-sample: cannot write %s\n", path.c_str());
                return 1;
            }
            std::printf("%s\n", path.c_str());
        }
        return 0;
    }
    return usage();
}
