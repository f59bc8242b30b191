// Corners on the command line as people write them: decimal degrees,
// signed or with a letter, and degrees with decimal minutes, stored
// rounded to thousandths of a second; signs and letters that contradict
// the corners' order are usage errors.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/cli_fixtures.h"

namespace plotvane::test {
namespace {

const std::string kCli = PLOTVANE_CLI_PATH;

struct CornerRow {
    const char* name;
    const char* upperLeft;
    const char* bottomRight;
    std::uint32_t totals[4];  // upper-left lat, long, bottom-right lat, long
    std::string cautions;
};

TEST(MakeCliCoordinates, DecimalFormsAreStoredInThousandthsOfASecond) {
    const std::string south =
        "Warning: CAUTION!\nYou set value to LAT(upper-left) < LAT(bottom-right)\nThis Map for Southern-Hemisphere.\n";
    const std::string west =
        "Warning: CAUTION!\nYou set value to LONG(upper-left) > LONG(bottom-right)\nThis Map for West-Longitude.\n";
    const CornerRow rows[] = {
        {"DecimalAndDecimalMinutes", "35.68934,139.69172", "35.1234567,139:59.99",
         {128481624, 502890192, 126444444, 503999400}, ""},
        {"SignsAndLetters", "-33.8688,-151.2093", "33.9S,151.1W", {121927680, 544353480, 122040000, 543960000},
         south + west},
        {"LettersBesideDms", "35:41.3604N,139.5E", "35:30:00,140:00:00.12",
         {128481624, 502200000, 127800000, 504000120}, ""},
    };
    for (const CornerRow& row : rows) {
        SCOPED_TRACE(row.name);
        CliSandbox box(kCli);
        const auto c1 = box.writeOneBitBmp("c1.bmp", 160, 160, [](int x, int) { return x % 3 == 0; });
        const auto db = box.output("m.pdb");
        const ProcessResult r = box.run({"make", "-o", db.string(), "--name", "M", "--version", "00001",
                                         "--upper-left", row.upperLeft, "--bottom-right", row.bottomRight,
                                         c1.string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, row.cautions + "Plotvane: Success : Map Database making\n");
        const ProcessResult info = box.run({"info", "--json", db.string()});
        const nlohmann::json j = nlohmann::json::parse(info.out);
        EXPECT_EQ(j["upperLeft"]["latitudeTotal"], row.totals[0]);
        EXPECT_EQ(j["upperLeft"]["longitudeTotal"], row.totals[1]);
        EXPECT_EQ(j["bottomRight"]["latitudeTotal"], row.totals[2]);
        EXPECT_EQ(j["bottomRight"]["longitudeTotal"], row.totals[3]);
    }
}

TEST(MakeCliCoordinates, SidesThatContradictTheCornersAreUsageErrors) {
    const struct {
        const char* upperLeft;
        const char* bottomRight;
        const char* message;
    } rows[] = {
        {"0.5,10", "-0.5,11", "--upper-left and --bottom-right lie on two sides of the equator"},
        {"10,-0.5", "9,0.5", "--upper-left and --bottom-right lie on two sides of the prime meridian"},
        {"34S,10", "33S,11", "--upper-left lies south of --bottom-right"},
        {"10,11E", "9,10E", "--upper-left lies east of --bottom-right"},
        {"10E,11", "9,12", "--upper-left: E is not a letter of a latitude (N or S): 10E"},
        {"-10S,11", "-11,12", "--upper-left: a sign and a letter together: -10S"},
        {"91.0,11", "90,12", "--upper-left: a latitude is at most 90 degrees: 91.0"},
        {"1.2.3,11", "0.5,12", "--upper-left: not an angle: 1.2.3"},
    };
    CliSandbox box(kCli);
    const auto c1 = box.writeOneBitBmp("c1.bmp", 160, 160, [](int x, int) { return x % 3 == 0; });
    for (const auto& row : rows) {
        SCOPED_TRACE(row.upperLeft);
        const ProcessResult r = box.run({"make", "-o", box.output("m.pdb").string(), "--name", "M", "--version",
                                         "00001", "--upper-left", row.upperLeft, "--bottom-right", row.bottomRight,
                                         c1.string()});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(box.output("m.pdb")));
    }
}

// A map in UTM zone 54N with 10 m pixels (a world file and its .prj beside
// Class 1): the handheld's straight interpolation is pixels off, until
// --warp reprojects the classes to latitude/longitude.
TEST(MakeCliCoordinates, GeorefTellsTheErrorAndWarpRemovesIt) {
    const struct {
        const char* name;
        bool warp;
        const char* source;
        const char* error;
        bool caution;
    } rows[] = {
        {"AsDrawn", false, "Corners from the world file c1.bpw with c1.prj (WGS 84 / UTM zone 54N):", " pixels of Class 2.", true},
        {"Reprojected", true,
         "Corners from the world file c1.bpw with c1.prj, reprojected to latitude/longitude (WGS 84):",
         " 0.00 pixels of Class 2.", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CliSandbox box(kCli);
        const auto dots = [](int x, int y) -> std::uint32_t { return (x / 16 + y / 16) % 2 ? 0xFFFFFF : 0x204080; };
        const auto c1 = box.writeColourBmp("c1.bmp", 640, 480, dots);
        const auto c2 = box.writeColourBmp("c2.bmp", 1280, 960, [&](int x, int y) { return dots(x / 2, y / 2); });
        std::ofstream(box.input("c1.bpw")) << "10\n0\n0\n-10\n380005\n3959995\n";
        std::ofstream(box.input("c1.prj")) << "EPSG:32654";
        const auto db = box.output("m.pdb");
        std::vector<std::string> args = {"make", "-o", db.string(), "--name", "M", "--version", "00001", "--mode",
                                         "8", "--georef", c1.string(), c2.string()};
        if (row.warp) args.insert(args.begin() + 10, "--warp");
        const ProcessResult r = box.run(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.err.find(row.source), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(row.error), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("CAUTION!\nOn this map the handheld's positions are off by more than one pixel of "
                             "Class 2.") != std::string::npos,
                  row.caution)
            << r.err;
        EXPECT_NE(r.err.find("Plotvane: Success : Map Database making\n"), std::string::npos) << r.err;
        const nlohmann::json j = nlohmann::json::parse(box.run({"info", "--json", db.string()}).out);
        const int width = j["classes"][0]["width"];
        const int height = j["classes"][0]["height"];
        EXPECT_EQ(j["classes"][1]["width"], 2 * width);
        EXPECT_EQ(j["classes"][1]["height"], 2 * height);
        if (row.warp) {
            EXPECT_EQ(width % 8, 0);
            EXPECT_NE(width, 640);
        } else {
            EXPECT_EQ(width, 640);
        }
        // Nothing written beside the user's pictures, nothing left behind.
        std::vector<std::string> inputs;
        for (const auto& e : std::filesystem::directory_iterator(box.inputs())) inputs.push_back(e.path().filename());
        std::sort(inputs.begin(), inputs.end());
        EXPECT_EQ(inputs, (std::vector<std::string>{"c1.bmp", "c1.bpw", "c1.prj", "c2.bmp"}));
        EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
    }
}

TEST(MakeCliCoordinates, WarpWithoutGeorefIsAUsageError) {
    CliSandbox box(kCli);
    const auto c1 = box.writeOneBitBmp("c1.bmp", 160, 160, [](int x, int) { return x % 3 == 0; });
    const ProcessResult r = box.run({"make", "-o", box.output("m.pdb").string(), "--name", "M", "--version", "00001",
                                     "--warp", c1.string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--warp reprojects the classes by Class 1's georeferencing: give --georef with it"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(box.output("m.pdb")));
}

}  // namespace
}  // namespace plotvane::test
