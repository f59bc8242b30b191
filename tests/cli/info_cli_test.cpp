// plotvane2-cli info, run in this process through the command line's own
// entry, on databases made by the command line and on damaged or foreign
// files.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/info_output.h"
#include "database/map_description.h"
#include "support/cli_fixtures.h"
#include "support/database_fixtures.h"
#include "support/recording_feedback.h"

namespace plotvane::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool mapPicture(int x, int y) { return ((x / 9) + (y / 5)) % 4 == 0 || (x * 7 + y * 3) % 29 == 0; }

// Makes `name` in the outputs folder from square 1-bit classes of `sizes`.
std::filesystem::path makeDatabase(const CliSandbox& box, const std::string& name, const std::vector<int>& sizes,
                                   const std::vector<std::string>& options,
                                   const std::function<bool(int, int)>& picture = mapPicture) {
    const auto out = box.output(name);
    std::vector<std::string> args{"make", "-o", out.string(), "--name", "INFO MAP", "--version", "01234"};
    args.insert(args.end(), options.begin(), options.end());
    for (int size : sizes)
        args.push_back(box.writeOneBitBmp(name + std::to_string(size) + ".bmp", size, size, picture).string());
    const ProcessResult r = box.run(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return out;
}

const std::vector<std::string> kTextAndCorners = {
    "--mode", "1", "--text", "80,80,Harbour \xC3\xA9", "--text", "2,158,Pier",
    "--upper-left", "35:40:12.5,139:45:30", "--bottom-right", "35:30:0,140:0:0.12"};

TEST(InfoCliText, DescribesEveryPartOfAMadeDatabase) {
    CliSandbox box;
    const auto db = makeDatabase(box, "map.pdb", {160, 320}, kTextAndCorners);
    const ProcessResult r = box.run({"info", db.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string size = std::to_string(std::filesystem::file_size(db));
    EXPECT_EQ(r.out,
              "Name:         INFO MAP\n"
              "Version:      01234\n"
              "Colour mode:  1BPP (1)\n"
              "Compressed:   no\n"
              "Classes:      2\n"
              "  Class 1:    160 x 160, magnification 1, 1 x 1 tiles of 160 x 160\n"
              "  Class 2:    320 x 320, magnification 2, 1 x 1 tiles of 320 x 320\n"
              "Records:      4 (2 data records)\n"
              "File size:    " + size + " bytes\n"
              "Upper left:   lat 35:40:12.500, long 139:45:30.000\n"
              "Bottom right: lat 35:30:00.000, long 140:00:00.120\n"
              "Hemisphere:   N\n"
              "Degrees:      upper left 35.6701389, 139.7583333; bottom right 35.5000000, 140.0000333\n"
              "Texts:        2\n"
              "   1: [75,75]-[84,84] Harbour \xC3\xA9\n"
              "   2: [0,150]-[9,159] Pier\n"
              "Password:     none needed (opens read-only)\n");
    // Header, list of 4, gap, record 0 with 2 entries, text record of 2 + 10
    // entries, two uncompressed tiles.
    EXPECT_EQ(std::filesystem::file_size(db), 78u + 32u + 2u + 96u + 16u + 64u * 12u + 16u + 3200u + 16u + 12800u);
}

TEST(InfoCliText, SaysWhenThereAreNoCornersAndAPasswordIsNeeded) {
    CliSandbox box;
    const auto out = box.output("locked.pdb");
    const ProcessResult made =
        box.run({"make", "-o", out.string(), "--name", "LOCKED", "--version", "00001", "--view", "all", "--edit",
                 "full", box.writeOneBitBmp("c.bmp", 160, 160, mapPicture).string()},
                {{"PLOTVANE2_PASSWORD", "Abcd1234"}});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const ProcessResult r = box.run({"info", out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Colour mode:  Original (0)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Corners:      none (GPS off)\nTexts:        0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Password:     needed to open\n"), std::string::npos) << r.out;
}

TEST(InfoCliJson, GivesTheDocumentedKeys) {
    CliSandbox box;
    const auto db = makeDatabase(box, "map.pdb", {160, 320}, kTextAndCorners);
    const ProcessResult r = box.run({"info", "--json", db.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);

    EXPECT_EQ(j["name"], "INFO MAP");
    EXPECT_EQ(j["version"], "01234");
    EXPECT_EQ(j["colourMode"], 1);
    EXPECT_EQ(j["colourModeName"], "1BPP");
    EXPECT_EQ(j["compressed"], "no");
    EXPECT_EQ(j["classCount"], 2);
    ASSERT_EQ(j["classes"].size(), 2u);
    EXPECT_EQ(j["classes"][1], nlohmann::json({{"class", 2},
                                               {"width", 320},
                                               {"height", 320},
                                               {"magnification", 2},
                                               {"recordColumns", 1},
                                               {"recordRows", 1},
                                               {"tileWidth", 320},
                                               {"tileHeight", 320}}));
    EXPECT_EQ(j["recordCount"], 4);
    EXPECT_EQ(j["dataRecordCount"], 2);
    EXPECT_EQ(j["fileSize"], std::filesystem::file_size(db));
    EXPECT_EQ(j["gps"], true);
    EXPECT_EQ(j["upperLeft"], nlohmann::json({{"latitude", "35:40:12.500"},
                                              {"longitude", "139:45:30.000"},
                                              {"latitudeTotal", 128412500},
                                              {"longitudeTotal", 503130000},
                                              {"latitudeDegrees", 128412500 / 3600000.0},
                                              {"longitudeDegrees", 503130000 / 3600000.0}}));
    EXPECT_EQ(j["bottomRight"]["latitudeTotal"], 127800000);
    EXPECT_EQ(j["bottomRight"]["longitude"], "140:00:00.120");
    EXPECT_EQ(j["hemisphere"], "N");
    ASSERT_EQ(j["texts"].size(), 2u);
    EXPECT_EQ(j["texts"][0], nlohmann::json({{"text", "Harbour \xC3\xA9"},
                                             {"left", 75},
                                             {"top", 75},
                                             {"right", 84},
                                             {"bottom", 84}}));
    EXPECT_EQ(j["spareTextEntries"], 10);
    EXPECT_EQ(j["passwordStored"], true);
    EXPECT_EQ(j["needsPassword"], false);
}

TEST(InfoCliJson, ReportsTheTileGridAndCompressionOfADividedMap) {
    CliSandbox box;
    // 480 x 480 in mode 8 is cut 3 x 3; the class below doubles the grid.
    const auto db = makeDatabase(box, "grid.pdb", {480, 960}, {"--mode", "8", "--compress"});
    const ProcessResult r = box.run({"info", "--json", db.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["compressed"], "yes");
    EXPECT_EQ(j["colourModeName"], "8BPP");
    EXPECT_EQ(j["dataRecordCount"], 9 + 36);
    EXPECT_EQ(j["recordCount"], 1 + 9 + 36);
    ASSERT_EQ(j["classes"].size(), 2u);
    EXPECT_EQ(j["classes"][0]["recordColumns"], 3);
    EXPECT_EQ(j["classes"][0]["tileWidth"], 160);
    EXPECT_EQ(j["classes"][1]["recordRows"], 6);
    EXPECT_EQ(j["classes"][1]["height"], 960);
    EXPECT_EQ(j["gps"], false);
    EXPECT_FALSE(j.contains("upperLeft"));
    EXPECT_EQ(j["texts"].size(), 0u);
}

TEST(InfoCliJson, ShowsADamagedHemisphereByteAsHex) {
    CliSandbox box;
    const auto made = makeDatabase(box, "map.pdb", {160}, kTextAndCorners);
    Bytes bytes = readFile(made);
    bytes[recordOffsetOf(bytes, 0) + 31] = 0xFF;
    const auto db = box.input("odd.pdb");
    writeFile(db, bytes);
    const ProcessResult r = box.run({"info", "--json", db.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["hemisphere"], "0xFF");
    const ProcessResult text = box.run({"info", db.string()});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("Hemisphere:   0xFF\n"), std::string::npos) << text.out;
}

TEST(InfoCliText, ShowsAWestLongitudeMapAndEscapesControlCharacters) {
    CliSandbox box;
    const auto made = makeDatabase(box, "west.pdb", {160},
                                   {"--text", "80,80,Pier", "--upper-left", "40:0:0,74:10:0", "--bottom-right",
                                    "39:50:0,74:0:0"});
    Bytes bytes = readFile(made);
    // The first text, as a foreign or damaged file may hold it: a tab, a
    // line break, a byte that decodes to a C1 control, a backslash.
    const std::size_t text = recordOffsetOf(bytes, 1) + 16 + 16;
    const std::string stored = "Pi\ter\n\x81\\x";
    std::copy(stored.begin(), stored.end(), bytes.begin() + static_cast<std::ptrdiff_t>(text));
    const auto db = box.input("west.pdb");
    writeFile(db, bytes);

    const ProcessResult r = box.run({"info", db.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Hemisphere:   N, west longitude\n"
                         "Degrees:      upper left 40.0000000, -74.1666667; bottom right 39.8333333, -74.0000000\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("   1: [75,75]-[84,84] Pi\\x09er\\x0A\\x81\\\\x\nPassword:"), std::string::npos) << r.out;

    const ProcessResult j = box.run({"info", "--json", db.string()});
    ASSERT_EQ(j.exitCode, 0) << j.err;
    const nlohmann::json parsed = nlohmann::json::parse(j.out);
    EXPECT_EQ(parsed["westLongitude"], true);
    EXPECT_EQ(parsed["upperLeft"]["longitudeDegrees"], -(74 * 3600000 + 10 * 60000) / 3600000.0);
    EXPECT_EQ(parsed["texts"][0]["text"], "Pi\ter\n\xC2\x81\\x");

    const auto east = makeDatabase(box, "east.pdb", {160}, kTextAndCorners);
    EXPECT_EQ(nlohmann::json::parse(box.run({"info", "--json", east.string()}).out)["westLongitude"], false);
}

// ---- Files that are not sound databases --------------------------------------

struct LoadCase {
    const char* label;
    // Returns the path to describe; may build a file in the sandbox.
    std::function<std::filesystem::path(const CliSandbox&)> prepare;
    std::string err;
};

class InfoCliRefusal : public ::testing::TestWithParam<LoadCase> {};

TEST_P(InfoCliRefusal, ShowsTheFileLoadMessage) {
    const LoadCase& param = GetParam();
    CliSandbox box;
    const std::filesystem::path path = param.prepare(box);
    for (const bool json : {false, true}) {
        std::vector<std::string> args{"info", path.string()};
        if (json) args.push_back("--json");
        const ProcessResult r = box.run(args);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(r.err, param.err);
        EXPECT_EQ(r.out, "");
    }
}

std::filesystem::path fileOf(const CliSandbox& box, const Bytes& bytes) {
    const auto path = box.input("file.pdb");
    writeFile(path, bytes);
    return path;
}

// A made database with one text, changed by `change`.
std::function<std::filesystem::path(const CliSandbox&)> damaged(const std::function<void(Bytes&)>& change) {
    return [change](const CliSandbox& box) {
        const auto db = makeDatabase(box, "good.pdb", {160}, {"--mode", "1", "--text", "9,9,Buoy"});
        Bytes bytes = readFile(db);
        change(bytes);
        return fileOf(box, bytes);
    };
}

Bytes foreignDatabase() {
    Bytes bytes(200, 0);
    const std::string typeCreator = "TEXtREAd";
    std::copy(typeCreator.begin(), typeCreator.end(), bytes.begin() + 60);
    return bytes;
}

const std::string kNotFound = "Warning: Error : Cannot find pdb-file\n";
const std::string kCannotOpen = "Warning: Error : Cannot open pdb-file\n";
const std::string kDataDamaged = "Error: PDB file data\n";
const std::string kNotOrbilune = "Error: Not Orbilune data!\n";
const std::string kInfoHeader = "Error: information header\n";

INSTANTIATE_TEST_SUITE_P(
    InfoCliFiles, InfoCliRefusal,
    ::testing::Values(
        LoadCase{"Missing", [](const CliSandbox& box) { return box.input("absent.pdb"); }, kNotFound},
        LoadCase{"Folder", [](const CliSandbox& box) { return box.inputs(); }, kCannotOpen},
        LoadCase{"Empty", [](const CliSandbox& box) { return fileOf(box, {}); }, kDataDamaged},
        LoadCase{"EndsInTheCreator", [](const CliSandbox& box) { return fileOf(box, Bytes(67, 0)); }, kDataDamaged},
        LoadCase{"ForeignDatabase", [](const CliSandbox& box) { return fileOf(box, foreignDatabase()); },
                 kNotOrbilune},
        LoadCase{"Bitmap",
                 [](const CliSandbox& box) { return box.writeOneBitBmp("map.bmp", 160, 160, mapPicture); },
                 kNotOrbilune},
        LoadCase{"CreatorCase", damaged([](Bytes& b) { b[64] = 'o'; }), kNotOrbilune},
        LoadCase{"EndsInTheRecordList", damaged([](Bytes& b) { b.resize(80); }), kDataDamaged},
        LoadCase{"RecordZeroPastTheEnd", damaged([](Bytes& b) { b[78] = 0x7F; }), kDataDamaged},
        LoadCase{"TextTag", damaged([](Bytes& b) { b[recordOffsetOf(b, 1) + 1] = 'F'; }), kInfoHeader},
        LoadCase{"TileCutShort", damaged([](Bytes& b) { b.resize(b.size() - 100); }), kDataDamaged},
        LoadCase{"DirectoryNamesAMissingRecord",
                 damaged([](Bytes& b) { b[recordOffsetOf(b, 0) + 64] = 200; }), kDataDamaged}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.label); });

TEST(InfoCliUsage, WithoutAFileIsAUsageError) {
    CliSandbox box;
    const ProcessResult r = box.run({"info"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.starts_with("plotvane2-cli: ")) << r.err;
}

// ---- Robustness ------------------------------------------------------------------

// What `info --json` gives for `bytes`, found in this process: the exit
// status, the standard output and the messages for standard error.
struct InfoVerdict {
    int exitCode = 0;
    std::string out;
    std::vector<Message> messages;
};

InfoVerdict infoInProcess(const Bytes& bytes) {
    RecordingFeedback feedback;
    MapDescription description;
    InfoVerdict v;
    v.exitCode = describeMapDatabaseBytes(bytes, feedback, description) == DatabaseCheck::Ok ? 0 : 1;
    if (v.exitCode == 0) v.out = cli::infoJson(description);
    v.messages = feedback.messages;
    return v;
}

// Exit 0 with a JSON object, or exit 1 with one File Load message: never a
// crash, a hang or anything else.
void expectOrderly(const InfoVerdict& v, const std::string& what) {
    SCOPED_TRACE(what);
    if (v.exitCode == 0) {
        EXPECT_TRUE(nlohmann::json::accept(v.out)) << v.out;
        EXPECT_TRUE(v.messages.empty());
        return;
    }
    ASSERT_EQ(v.messages.size(), 1u);
    const Message& m = v.messages[0];
    EXPECT_TRUE(m == error("PDB file data") || m == error("Not Orbilune data!") || m == error("information header"))
        << m.text;
}

// The same file through the program: what the process sweeps stand for.
void expectTheProcessAgrees(const CliSandbox& box, const Bytes& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    const auto path = box.input("case.pdb");
    writeFile(path, bytes);
    const ProcessResult r = box.run({"info", "--json", path.string()});
    const InfoVerdict v = infoInProcess(bytes);
    EXPECT_EQ(r.exitCode, v.exitCode);
    EXPECT_EQ(r.out, v.out);
    std::string err;
    for (const Message& m : v.messages) err += m.title + ": " + m.text + "\n";
    EXPECT_EQ(r.err, err);
}

// A short database: half black, half white, compressed, with one text.
bool halfBlack(int, int y) { return y < 80; }

TEST(InfoCliRobustness, EveryTruncationIsRefusedOrDescribed) {
    CliSandbox box;
    const auto db = makeDatabase(box, "small.pdb", {160}, {"--mode", "1", "--compress", "--text", "9,9,Buoy"},
                                 halfBlack);
    const Bytes bytes = readFile(db);
    ASSERT_LT(bytes.size(), 2000u);
    int described = 0;
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        const InfoVerdict v = infoInProcess(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)));
        expectOrderly(v, "cut at " + std::to_string(n));
        described += v.exitCode == 0 ? 1 : 0;
    }
    EXPECT_EQ(described, 0) << "a database cut short is damaged";
    EXPECT_EQ(infoInProcess(bytes).exitCode, 0);
    for (const std::size_t n : {std::size_t{0}, std::size_t{67}, std::size_t{100}, bytes.size() - 1})
        expectTheProcessAgrees(box, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)),
                               "cut at " + std::to_string(n));
}

TEST(InfoCliRobustness, EveryFlippedHeaderByteIsRefusedOrDescribed) {
    CliSandbox box;
    const auto db = makeDatabase(box, "small.pdb", {160}, {"--mode", "1", "--compress", "--text", "9,9,Buoy"},
                                 halfBlack);
    const Bytes bytes = readFile(db);
    // The database header, the record list, record 0 and the text header.
    const std::size_t end = recordOffsetOf(bytes, 1) + 16;
    int refused = 0;
    for (std::size_t i = 0; i < end; ++i) {
        for (const std::uint8_t mask : {std::uint8_t{0xFF}, std::uint8_t{0x01}}) {
            Bytes changed = bytes;
            changed[i] ^= mask;
            const InfoVerdict v = infoInProcess(changed);
            expectOrderly(v, "byte " + std::to_string(i) + " ^ " + std::to_string(mask));
            refused += v.exitCode;
        }
    }
    EXPECT_GT(refused, 0);
    // The identity, a record offset, the class count and the text tag.
    const std::size_t zero = recordOffsetOf(bytes, 0);
    const std::size_t text = recordOffsetOf(bytes, 1);
    for (const std::size_t at : {std::size_t{61}, std::size_t{81}, zero + 58, text}) {
        Bytes changed = bytes;
        changed[at] ^= 0xFF;
        expectTheProcessAgrees(box, changed, "byte " + std::to_string(at));
    }
}

}  // namespace
}  // namespace plotvane::test
