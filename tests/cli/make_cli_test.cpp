// plotvane2-cli make, run in process: the messages on stderr in their
// order, the exit status, the files it leaves, and the database bytes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "access/password_codec.h"
#include "project/map_project.h"
#include "support/cli_fixtures.h"
#include "support/database_fixtures.h"
#include "support/expected_bytes.h"
#include "support/expected_database.h"

namespace plotvane::test {
namespace {

using test::Bytes;

const std::string kCli = PLOTVANE_CLI_PATH;
constexpr std::uint32_t kStampOffset = 2082877200u;
const std::string kSuccess = "Plotvane: Success : Map Database making\n";
const std::string kNotMade = "Info: Do not make Map Database File.\n";
const std::string kCannotMakeDatabase = "Error: Cannot make Map Database!\n";
const std::string kSouthern =
    "Warning: CAUTION!\nYou set value to LAT(upper-left) < LAT(bottom-right)\nThis Map for Southern-Hemisphere.\n";
const std::string kWest =
    "Warning: CAUTION!\nYou set value to LONG(upper-left) > LONG(bottom-right)\nThis Map for West-Longitude.\n";
const std::string kGpsCompressed =
    "Warning: CAUTION!\n Please use Non Compression Data for the GPS Data.\n Compression Data display slowly.\n";
const std::string kOriginalNotice = "Warning: Original Mode Data do not compress.\nMake Non compression data.\n";
const std::string kOriginalDepth =
    "Warning: Error : Original bitmap file format support 1bits/pixel mode only.\n"
    "Warning: Error : Can not compress this data.\n"
    "Warning: Error : cannot make pdb-file\n" +
    kNotMade;

// What stands at the output path before a refused run: it must stay.
const Bytes kPrevious = {'n', 'o', 't', ' ', 'a', ' ', 'd', 'a', 't', 'a', 'b', 'a', 's', 'e', '\n'};

// Long runs and isolated pixels, so that a tile taken from the wrong place
// or a row in the wrong order shows.
bool mapPicture(int x, int y) { return ((x / 9) + (y / 5)) % 4 == 0 || (x * 7 + y * 3) % 29 == 0; }

// Where two images first differ, so a failure does not print megabytes.
std::string firstDifference(const Bytes& actual, const Bytes& expected) {
    const std::size_t n = std::min(actual.size(), expected.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (actual[i] == expected[i]) continue;
        std::ostringstream s;
        s << "byte " << i << ": actual " << int{actual[i]} << ", expected " << int{expected[i]};
        return s.str();
    }
    if (actual.size() != expected.size())
        return "sizes differ: actual " + std::to_string(actual.size()) + ", expected " + std::to_string(expected.size());
    return "";
}

// The rows of one tile of a class drawn with mapPicture, 1 for black
// (black is 1 in every mode these cases cover, 0 and 1).
Bytes mapPictureTile(const ExpectedClass& c, int column, int row) {
    const int width = c.width / c.columns;
    const int height = c.height / c.rows;
    const std::size_t rowBytes = tileRowBytes(width);
    Bytes data;
    for (int y = row * height; y < (row + 1) * height; ++y) {
        Bytes packed(rowBytes, 0);
        for (int x = 0; x < width; ++x)
            if (mapPicture(column * width + x, y))
                packed[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        data.insert(data.end(), packed.begin(), packed.end());
    }
    return data;
}

std::string storedPassword(const Bytes& database) {
    const std::uint32_t record0 = recordOffsetOf(database, 0);
    return std::string(database.begin() + record0 + 16, database.begin() + record0 + 24);
}

// The map properties the password is bound to, read from the file's own
// header record: class count, GPS, text count, first version digit,
// Class 1 width, first name character.
MapBinding bindingOf(const Bytes& database) {
    const std::uint32_t record0 = recordOffsetOf(database, 0);
    const std::uint8_t texts =
        database[record0 + 30] != 0 ? database[recordOffsetOf(database, 1) + 3] : std::uint8_t{0};
    return {database[record0 + 58], static_cast<std::uint8_t>(database[record0 + 31] != 0 ? 1 : 0), texts,
            database[record0 + 25], database[record0 + 52], database[record0 + 53], database[record0 + 0]};
}

std::string encoded(std::string_view password, AccessCode code, const MapBinding& binding) {
    const EncodedPassword e = encodePassword(password, code, binding);
    return std::string(e.begin(), e.end());
}

nlohmann::json infoJson(const CliSandbox& box, const std::filesystem::path& database) {
    const ProcessResult r = box.run({"info", "--json", database.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return nlohmann::json::parse(r.out);
}

std::vector<std::string> baseArgs(const std::filesystem::path& out) {
    return {"make", "-o", out.string(), "--name", "TEST MAP", "--version", "01234"};
}

// ---- Byte-exact databases -------------------------------------------------

struct ExactCase {
    const char* label;
    std::vector<std::string> options;  // besides -o, --name, --version and the classes
    bool whiteFirst;
    ExpectedDatabase expected;         // name, version and stamp are filled in by the test
};

class MakeCliExact : public ::testing::TestWithParam<ExactCase> {};

TEST_P(MakeCliExact, WritesTheLayoutByteForByte) {
    const ExactCase& param = GetParam();
    CliSandbox box(kCli);
    const auto out = box.output("map.pdb");
    std::vector<std::string> args = baseArgs(out);
    args.insert(args.end(), param.options.begin(), param.options.end());
    for (std::size_t k = 0; k < param.expected.classes.size(); ++k) {
        const ExpectedClass& c = param.expected.classes[k];
        args.push_back(box.writeOneBitBmp("class" + std::to_string(k + 1) + ".bmp", c.width, c.height, mapPicture,
                                          param.whiteFirst)
                           .string());
    }

    const ProcessResult r = box.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, kSuccess);
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
    EXPECT_EQ(folderEntries(box.outputs()), std::vector<std::string>{"map.pdb"});

    ExpectedDatabase expected = param.expected;
    expected.name = "TEST MAP";
    expected.version = "001234";
    expected.tileRows = [&](std::size_t k, int column, int row) {
        return mapPictureTile(expected.classes[k], column, row);
    };
    expected.stamp = static_cast<std::uint32_t>(kFixedEpoch + kStampOffset);
    Bytes actual = readFile(out);
    ASSERT_GT(actual.size(), 200u);
    // Default access: the fixed read-only password under access code 0.
    EXPECT_EQ(storedPassword(actual), encoded(kFixedReadOnlyPassword, 0, bindingOf(actual)));
    const std::uint32_t record0 = recordOffsetOf(actual, 0);
    std::fill(actual.begin() + record0 + 16, actual.begin() + record0 + 24, 0);
    const Bytes want = expectedDatabase(expected);
    EXPECT_TRUE(actual == want) << firstDifference(actual, want);
}

// Square classes as (size, tiles per side); the 8 password bytes are left
// zero, the test compares them separately.
ExpectedDatabase exactMap(std::uint8_t mode, bool compressed, const std::vector<std::pair<int, int>>& squares,
                          std::vector<ExpectedText> texts = {}, std::optional<ExpectedCorners> corners = {}) {
    ExpectedDatabase m;
    m.mode = mode;
    m.compressed = compressed;
    for (const auto& [size, grid] : squares) m.classes.push_back({size, size, grid, grid});
    m.texts = std::move(texts);
    m.corners = corners;
    return m;
}

INSTANTIATE_TEST_SUITE_P(
    MakeCliLayouts, MakeCliExact,
    ::testing::Values(
        ExactCase{"OneClassModeOne", {"--mode", "1"}, false, exactMap(1, false, {{160, 1}})},
        ExactCase{"OneClassModeOneCompressed", {"--mode", "1", "--compress"}, false, exactMap(1, true, {{160, 1}})},
        ExactCase{"OriginalBlackFirst", {}, false, exactMap(0, false, {{160, 1}})},
        ExactCase{"OriginalWhiteFirst", {"--mode", "original"}, true, exactMap(0, false, {{160, 1}})},
        // 1280 x 1280 holds more than one record's pixels in mode 1: the
        // fourth class is cut 2 x 2 under one tile of each class above.
        ExactCase{"FourClassesTextsCorners",
                  {"--mode", "1", "--text", "80,80,Harbour", "--text", "2,158,Caf\xC3\xA9 \xE2\x82\xAC",
                   "--upper-left", "35:40:12.5,139:45:30", "--bottom-right", "35:30:0,140:0:0.12"},
                  false,
                  exactMap(1, false, {{160, 1}, {320, 1}, {640, 1}, {1280, 2}},
                           {{75, 75, 84, 84, "Harbour"}, {0, 150, 9, 159, "Caf\xE9 \x80"}},
                           ExpectedCorners{128412500, 503130000, 127800000, 504000120})},
        ExactCase{"TwoClassesCompressed",
                  {"--mode", "1", "--compress", "--text", "159,159,End"},
                  false,
                  exactMap(1, true, {{160, 1}, {320, 1}}, {{150, 150, 159, 159, "End"}})}),
    [](const ::testing::TestParamInfo<ExactCase>& info) { return std::string(info.param.label); });

// ---- Refusals, cautions and usage errors ----------------------------------

struct MessageCase {
    const char* label;
    std::vector<std::string> args;  // after "make -o OUT"; "@name" is an input file
    Environment environment;
    std::string input;
    int exitCode;
    std::string err;  // exact stderr; for usage errors its first line
};

// Inputs every message case may name.
void writeInputs(const CliSandbox& box) {
    box.writeOneBitBmp("bw160.bmp", 160, 160, mapPicture);
    box.writeOneBitBmp("bw320.bmp", 320, 320, mapPicture);
    box.writeOneBitBmp("bw480.bmp", 480, 480, mapPicture);
    box.writeColourBmp("rgb160.bmp", 160, 160, [](int x, int y) { return x * y % 3 == 0 ? 0xFFFFFFu : 0x204060u; });
    box.writeColourBmp("rgb320.bmp", 320, 320, [](int x, int y) { return x * y % 3 == 0 ? 0xFFFFFFu : 0x204060u; });
}

std::vector<std::string> resolve(const CliSandbox& box, const std::vector<std::string>& args) {
    std::vector<std::string> out;
    for (const std::string& a : args) out.push_back(a.starts_with("@") ? box.input(a.substr(1)).string() : a);
    return out;
}

// The same for the "@name" of an input inside an expected text.
std::string resolveText(const CliSandbox& box, std::string text) {
    for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + 1)) {
        const std::size_t end = text.find_first_of(" \n", at);
        const std::string path = box.input(text.substr(at + 1, end - at - 1)).string();
        text.replace(at, end - at, path);
        at += path.size() - 1;
    }
    return text;
}

class MakeCliRefusal : public ::testing::TestWithParam<MessageCase> {};

TEST_P(MakeCliRefusal, ShowsTheMessagesAndLeavesEveryFileAsItWas) {
    const MessageCase& param = GetParam();
    CliSandbox box(kCli);
    writeInputs(box);
    const auto out = box.output("map.pdb");
    writeFile(out, kPrevious);
    std::vector<std::string> args{"make", "-o", out.string()};
    const auto rest = resolve(box, param.args);
    args.insert(args.end(), rest.begin(), rest.end());

    const ProcessResult r = box.run(args, param.environment, param.input);
    EXPECT_EQ(r.exitCode, param.exitCode) << r.err;
    const std::string err = resolveText(box, param.err);
    if (param.exitCode == 2) {
        EXPECT_TRUE(r.err.starts_with(err)) << r.err;
        EXPECT_TRUE(r.err.ends_with("\nRun 'plotvane2-cli make --help' for the options.\n")) << r.err;
        EXPECT_EQ(r.err.find("Usage:"), std::string::npos) << r.err;
    } else {
        EXPECT_EQ(r.err, err);
    }
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readFile(out), kPrevious);
    EXPECT_EQ(folderEntries(box.outputs()), std::vector<std::string>{"map.pdb"});
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

const std::vector<std::string> kNamed = {"--name", "TEST MAP", "--version", "01234"};

const std::string kE = "\xC3\xA9";  // é in UTF-8

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

std::vector<std::string> named(std::vector<std::string> rest) {
    std::vector<std::string> args = kNamed;
    args.insert(args.end(), rest.begin(), rest.end());
    return args;
}

MessageCase refusal(const char* label, std::vector<std::string> args, std::string err, Environment env = {},
                    std::string input = {}) {
    return {label, std::move(args), std::move(env), std::move(input), 1, std::move(err)};
}

// `line` is the whole first line of stderr, or its start when it ends in "...".
MessageCase usage(const char* label, std::vector<std::string> args, std::string line, Environment env = {}) {
    const bool start = line.ends_with("...");
    if (start) line.resize(line.size() - 3);
    return {label, std::move(args), std::move(env), {}, 2, "plotvane2-cli: " + line + (start ? "" : "\n")};
}

const std::string kNoName = "Warning: Please input DataBase Name\n";
const std::string kBadName = "Warning: Please use Only English/Number/Space in DataBase Name\n";
const std::string kShortVersion = "Warning: Please input 5number at Version\n";
const std::string kBadVersion = "Warning: Please use number in Version\n";
const std::string kNotNumber = "Warning: Please use Only Number in LAT/LONG Value\n";

INSTANTIATE_TEST_SUITE_P(
    MakeCliIdentity, MakeCliRefusal,
    ::testing::Values(
        refusal("NoName", {"--version", "01234", "@bw160.bmp"}, kNoName + kCannotMakeDatabase),
        refusal("EmptyName", {"--name", "", "--version", "01234", "@bw160.bmp"}, kNoName + kCannotMakeDatabase),
        refusal("NoVersion", {"--name", "MAP", "@bw160.bmp"}, kShortVersion + kCannotMakeDatabase),
        refusal("NeitherNameNorVersion", {"@bw160.bmp"}, kNoName + kShortVersion + kCannotMakeDatabase),
        refusal("UnderscoreAfterLetters", {"--name", "Map_1", "--version", "01234", "@bw160.bmp"},
                kBadName + kCannotMakeDatabase),
        refusal("UnderscoreFirst", {"--name", "_Map", "--version", "01234", "@bw160.bmp"},
                kBadName + kNoName + kCannotMakeDatabase),
        refusal("NonAsciiName", {"--name", "Caf\xC3\xA9", "--version", "01234", "@bw160.bmp"},
                kBadName + kCannotMakeDatabase),
        refusal("LetterInVersion", {"--name", "MAP", "--version", "12a45", "@bw160.bmp"},
                kBadVersion + kCannotMakeDatabase),
        refusal("ThreeDigitVersion", {"--name", "MAP", "--version", "123", "@bw160.bmp"},
                kShortVersion + kCannotMakeDatabase),
        refusal("BothBad", {"--name", "a_b", "--version", "1", "@bw160.bmp"},
                kBadName + kShortVersion + kCannotMakeDatabase),
        refusal("LetterInTheFifthPlace", {"--name", "MAP", "--version", "1234x", "@bw160.bmp"},
                kBadVersion + kCannotMakeDatabase)),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    MakeCliCorners, MakeCliRefusal,
    ::testing::Values(
        // The coordinates come before name and version: a bad angle ends
        // the command before the missing name is noticed.
        refusal("LetterInMinutes", {"--upper-left", "35:4a:0,139:0:0", "--bottom-right", "35:0:0,140:0:0", "@bw160.bmp"},
                kNotNumber),
        refusal("LetterInFraction",
                {"--upper-left", "35:40:0.x,139:0:0", "--bottom-right", "35:0:0,140:0:0", "@bw160.bmp"}, kNotNumber),
        refusal("DegreesOnly", {"--upper-left", "35,139:0:0", "--bottom-right", "35:0:0,140:0:0", "@bw160.bmp"},
                kNotNumber),
        refusal("EmptySeconds", {"--upper-left", "35:1:,139:0:0", "--bottom-right", "35:0:0,140:0:0", "@bw160.bmp"},
                kNotNumber),
        refusal("NegativeDegrees", {"--upper-left", "-35:1:0,139:0:0", "--bottom-right", "35:0:0,140:0:0", "@bw160.bmp"},
                kNotNumber),
        refusal("EqualLatitudes",
                named({"--upper-left", "35:40:12.5,139:0:0", "--bottom-right", "35:40:12.50,140:0:0", "@bw160.bmp"}),
                "Warning: Don't set same value to LAT(upper-left and bottom-right)\n"),
        refusal("EqualLongitudes",
                named({"--upper-left", "36:0:0,139:0:7", "--bottom-right", "35:0:0,139:00:07", "@bw160.bmp"}),
                "Warning: Don't set same value to LONG(upper-left and bottom-right)\n"),
        // Equal latitudes are refused before the longitudes are looked at.
        refusal("EqualLatitudesAndWestLongitudes",
                named({"--upper-left", "35:0:0,140:0:0", "--bottom-right", "35:0:0,139:0:0", "@bw160.bmp"}),
                "Warning: Don't set same value to LAT(upper-left and bottom-right)\n"),
        refusal("SouthernCautionThenMissingVersion",
                {"--name", "MAP", "--upper-left", "35:0:0,139:0:0", "--bottom-right", "36:0:0,140:0:0", "@bw160.bmp"},
                kSouthern + kShortVersion + kCannotMakeDatabase),
        refusal("WestCautionThenNoNameNoVersion",
                {"--upper-left", "36:0:0,140:0:0", "--bottom-right", "35:0:0,139:0:0", "@bw160.bmp"},
                kWest + kNoName + kShortVersion + kCannotMakeDatabase)),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    MakeCliAccess, MakeCliRefusal,
    ::testing::Values(
        refusal("NoPasswordForAllView", named({"--view", "all", "@bw160.bmp"}),
                "Error: Password must 8 characters.\n" + kNotMade),
        refusal("NoPasswordForFullEdit", named({"--edit", "full", "@bw160.bmp"}),
                "Error: Password must 8 characters.\n" + kNotMade),
        refusal("BadCharacterFromEnvironment", named({"--view", "information", "@bw160.bmp"}),
                "Error: Password character use alphabet or number.\n" + kNotMade,
                {{"PLOTVANE2_PASSWORD", "abc_1234"}}),
        refusal("ShortFromStdin", named({"--edit", "full", "--password-stdin", "@bw160.bmp"}),
                "Error: Password must 8 characters.\n" + kNotMade, {}, "Abcd123\r\n"),
        // Standard input is asked for, so the environment is not looked at.
        refusal("EmptyStdinDespiteEnvironment", named({"--edit", "full", "--password-stdin", "@bw160.bmp"}),
                "Error: Password must 8 characters.\n" + kNotMade, {{"PLOTVANE2_PASSWORD", "Abcd1234"}}),
        refusal("GpsCompressionCautionComesFirst",
                named({"--mode", "1", "--compress", "--view", "all", "--upper-left", "36:0:0,139:0:0",
                       "--bottom-right", "35:0:0,140:0:0", "@bw160.bmp"}),
                kGpsCompressed + "Error: Password must 8 characters.\n" + kNotMade)),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    MakeCliClassesAndWriter, MakeCliRefusal,
    ::testing::Values(
        refusal("OriginalColourClass", named({"@rgb160.bmp"}), kOriginalDepth),
        refusal("OriginalColourClassAfterOneBit", named({"--mode", "original", "@bw160.bmp", "@rgb320.bmp"}),
                kOriginalDepth),
        refusal("OriginalOneBitClassAfterColour", named({"@rgb160.bmp", "@bw320.bmp"}), kOriginalDepth),
        refusal("OriginalCompressNoticeOnceThenNoName",
                {"--version", "01234", "--compress", "@bw160.bmp", "@bw320.bmp"},
                kOriginalNotice + kNoName + kCannotMakeDatabase),
        // A class refusal names its class and file.
        refusal("MagnificationThree", named({"@bw160.bmp", "@bw480.bmp"}),
                "Warning: Error : Please check [Upper class bmp] = [this class bmp] x2 or x4 or x8\n"
                "plotvane2-cli: refused Class 2: @bw480.bmp\n"),
        refusal("MissingClassFile", named({"@absent.bmp"}),
                "Warning: Error : Cannot find bmp-file\nplotvane2-cli: refused Class 1: @absent.bmp\n"),
        // The date came from the command line's environment: it says so.
        refusal("AbnormalYear", named({"@bw160.bmp"}),
                "Warning: Error : The date of this system is abnormal.\n"
                "plotvane2-cli: the date came from SOURCE_DATE_EPOCH=866332800 (the year 1997 here)\n"
                "Warning: Error : cannot make pdb-file\n" + kNotMade,
                {{"SOURCE_DATE_EPOCH", std::to_string(utcSeconds(1997, 6, 15))}})),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    MakeCliUsage, MakeCliRefusal,
    ::testing::Values(
        usage("UpperLeftAlone", named({"--upper-left", "35:0:0,139:0:0", "@bw160.bmp"}),
              "--upper-left and --bottom-right go together"),
        usage("BottomRightAlone", named({"--bottom-right", "35:0:0,139:0:0", "@bw160.bmp"}),
              "--upper-left and --bottom-right go together"),
        usage("CornerWithoutLongitude",
              named({"--upper-left", "35:0:0", "--bottom-right", "34:0:0,139:0:0", "@bw160.bmp"}),
              "--upper-left takes LAT,LONG, each as D:M:S or D:M:S.F"),
        usage("TextWithoutText", named({"--text", "5,5", "@bw160.bmp"}), "--text takes X,Y,TEXT"),
        usage("TextLetterX", named({"--text", "x,5,hi", "@bw160.bmp"}),
              "--text: X and Y must be whole numbers of Class 1 pixels: x,5,hi"),
        usage("TextNegativeY", named({"--text", "5,-1,hi", "@bw160.bmp"}),
              "--text: X and Y must be whole numbers of Class 1 pixels: 5,-1,hi"),
        usage("TextRightOfClassOne", named({"--text", "160,0,hi", "@bw160.bmp", "@bw320.bmp"}),
              "--text: 160,0 lies outside Class 1 (160 x 160)"),
        usage("TextBelowClassOne", named({"--text", "0,160,hi", "@bw160.bmp"}),
              "--text: 0,160 lies outside Class 1 (160 x 160)"),
        usage("TextOutsideWindows1252", named({"--text", "5,5,\xE5\x9C\xB0", "@bw160.bmp"}),
              "--text: the text has a character that the handheld's Windows-1252 character set cannot hold: "
              "5,5,\xE5\x9C\xB0"),
        usage("EpochWithFraction", named({"@bw160.bmp"}), "SOURCE_DATE_EPOCH must be a whole number of seconds: 12.5",
              {{"SOURCE_DATE_EPOCH", "12.5"}}),
        usage("EpochNotANumber", named({"@bw160.bmp"}), "SOURCE_DATE_EPOCH must be a whole number of seconds: soon",
              {{"SOURCE_DATE_EPOCH", "soon"}}),
        // The wording of option errors belongs to the option parser.
        usage("ModeThree", named({"--mode", "3", "@bw160.bmp"}), "--mode: ..."),
        usage("ViewUnknown", named({"--view", "some", "@bw160.bmp"}), "--view: ..."),
        usage("NoClasses", named({}), "..."),
        usage("FiveClasses", named({"@bw160.bmp", "@bw320.bmp", "@bw160.bmp", "@bw160.bmp", "@bw160.bmp"}),
              "classes: ...")),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.label); });

// What the dialog's edits could not hold is refused, never cut: a value
// over its edit's limit, a control character in a text, a hundredth text;
// a password over 8 characters is refused as a shorter one is.
INSTANTIATE_TEST_SUITE_P(
    MakeCliCuts, MakeCliRefusal,
    ::testing::Values(
        usage("NameOfSixteen", {"--name", "ABCDEFGHIJKLMNOP", "--version", "01234", "@bw160.bmp"},
              "--name: the name can have at most 15 characters (its edit holds no more): ABCDEFGHIJKLMNOP"),
        usage("VersionOfSix", {"--name", "MAP", "--version", "123456", "@bw160.bmp"},
              "--version: the version can have at most 5 characters (its edit holds no more): 123456"),
        usage("LetterPastTheVersionLimit", {"--name", "MAP", "--version", "1234x5", "@bw160.bmp"},
              "--version: the version can have at most 5 characters (its edit holds no more): 1234x5"),
        usage("DegreesOfTwenty",
              named({"--upper-left", "12345678901234567890:0:0,139:0:0", "--bottom-right", "34:0:0,140:0:0",
                     "@bw160.bmp"}),
              "--upper-left: the degrees can have at most 3 characters (its edit holds no more): "
              "12345678901234567890"),
        usage("DegreesAlone", named({"--upper-left", "35:0:0,1390", "--bottom-right", "34:0:0,140:0:0", "@bw160.bmp"}),
              "--upper-left: the degrees can have at most 3 characters (its edit holds no more): 1390"),
        usage("MinutesOfThree",
              named({"--upper-left", "35:0:0,139:0:0", "--bottom-right", "34:100:0,140:0:0", "@bw160.bmp"}),
              "--bottom-right: the minutes can have at most 2 characters (its edit holds no more): 100"),
        usage("SecondsOfThree",
              named({"--upper-left", "35:0:010,139:0:0", "--bottom-right", "34:0:0,140:0:0", "@bw160.bmp"}),
              "--upper-left: the seconds can have at most 2 characters (its edit holds no more): 010"),
        usage("FractionOfSix",
              named({"--upper-left", "35:0:0,139:0:0", "--bottom-right", "34:0:0,140:0:1.123456", "@bw160.bmp"}),
              "--bottom-right: the fraction of the seconds can have at most 2 characters (its edit holds no more): "
              "123456"),
        usage("TextOfFortyNine", named({"--text", "5,5," + std::string(49, 'Q'), "@bw160.bmp"}),
              "--text: TEXT can have at most 48 Windows-1252 characters (its edit holds no more): 5,5," +
                  std::string(49, 'Q')),
        // The limit counts stored bytes: 49 accents are 98 UTF-8 bytes but 49 stored ones.
        usage("TextOfFortyNineAccents", named({"--text", "5,5," + repeat(kE, 49), "@bw160.bmp"}),
              "--text: TEXT can have at most 48 Windows-1252 characters (its edit holds no more): 5,5," +
                  repeat(kE, 49)),
        usage("TextPastTheEuro", named({"--text", "5,5," + std::string(47, 'a') + "\xE2\x82\xAC" + "b", "@bw160.bmp"}),
              "--text: TEXT can have at most 48 Windows-1252 characters (its edit holds no more): 5,5," +
                  std::string(47, 'a') + "\xE2\x82\xAC" + "b"),
        usage("TextWithATab", named({"--text", "5,5,a\tb", "@bw160.bmp"}),
              "--text: TEXT cannot hold a control character (a tab, a line break, ...), as its edit cannot"),
        usage("TextWithALineBreak", named({"--text", "5,5,a\nb", "@bw160.bmp"}),
              "--text: TEXT cannot hold a control character (a tab, a line break, ...), as its edit cannot"),
        usage("TextWithAC1Control", named({"--text", "5,5,a\xC2\x81" "b", "@bw160.bmp"}),
              "--text: TEXT cannot hold a control character (a tab, a line break, ...), as its edit cannot"),
        usage("HundredTexts",
              [] {
                  std::vector<std::string> args = named({"@bw160.bmp"});
                  for (int i = 0; i < 100; ++i) args.insert(args.begin(), {"--text", std::to_string(i) + ",10,N"});
                  return args;
              }(),
              "--text: at most 99 texts, not 100"),
        refusal("PasswordOfNineFromStdin", named({"--edit", "full", "--password-stdin", "@bw160.bmp"}),
                "Error: Password must 8 characters.\n" + kNotMade, {}, "Abcd1234_\n"),
        refusal("PasswordOfNineFromTheEnvironment", named({"--view", "all", "@bw160.bmp"}),
                "Error: Password must 8 characters.\n" + kNotMade, {{"PLOTVANE2_PASSWORD", "Abcd12345"}}),
        // Seven characters in eight UTF-8 bytes are seven, eight in nine bytes fit the field.
        refusal("SevenCharactersInEightBytes", named({"--view", "all", "@bw160.bmp"}),
                "Error: Password must 8 characters.\n" + kNotMade, {{"PLOTVANE2_PASSWORD", "Abcd12\u00e9"}}),
        refusal("EightCharactersInNineBytes", named({"--view", "all", "@bw160.bmp"}),
                "Error: Password character use alphabet or number.\n" + kNotMade,
                {{"PLOTVANE2_PASSWORD", "Abcd123\u00e9"}})),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.label); });

// ---- Successful runs --------------------------------------------------------

TEST(MakeCliRun, CautionsGoOnInTheirOrderAndTheDatabaseIsMade) {
    CliSandbox box(kCli);
    const auto c1 = box.writeOneBitBmp("c1.bmp", 160, 160, mapPicture);
    const auto out = box.output("map.pdb");
    std::vector<std::string> args = baseArgs(out);
    for (const char* a : {"--mode", "1", "--compress", "--text", "5,5,", "--upper-left", "35:0:0,140:0:0",
                          "--bottom-right", "36:0:0,139:0:0"})
        args.push_back(a);
    args.push_back(c1.string());

    const ProcessResult r = box.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "Warning: Please input Information Text.\n" + kSouthern + kWest + kGpsCompressed + kSuccess);
    const Bytes db = readFile(out);
    const std::uint32_t record0 = recordOffsetOf(db, 0);
    EXPECT_EQ(db[record0 + 30], 0) << "an empty text adds nothing";
    EXPECT_EQ(db[record0 + 31], 'S');
    EXPECT_EQ(be32At(db, record0 + 32), 140u * 3600000u);
    EXPECT_EQ(be32At(db, record0 + 36), 35u * 3600000u);
    EXPECT_EQ(be32At(db, record0 + 40), 139u * 3600000u);
    EXPECT_EQ(be32At(db, record0 + 44), 36u * 3600000u);
    EXPECT_EQ(db[recordOffsetOf(db, 1) + 6], 0x80) << "the tiles are compressed";
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

TEST(MakeCliRun, ACompressedTileOverTheRecordLimitIsRefusedAfterTheWholePass) {
    CliSandbox box(kCli);
    const auto out = box.output("map.pdb");
    writeFile(out, kPrevious);
    std::vector<std::string> args = baseArgs(out);
    args.insert(args.end(), {"--mode", "1", "--compress"});
    // A 640 x 640 tile of this busy picture codes to more than 64000 bytes.
    for (int size : {160, 320, 640, 1280})
        args.push_back(box.writeOneBitBmp("c" + std::to_string(size) + ".bmp", size, size, mapPicture).string());
    const ProcessResult r = box.run(args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Warning: Error : Compression Data Size Over 64KBytes.\nWarning: Error : cannot make pdb-file\n" +
                         kNotMade);
    EXPECT_EQ(readFile(out), kPrevious);
    EXPECT_EQ(folderEntries(box.outputs()), std::vector<std::string>{"map.pdb"});
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

TEST(MakeCliRun, OverflowAdviceIsGivenOnceThoughTheWriterDividesTheClassesAgain) {
    CliSandbox box(kCli);
    const auto out = box.output("map.pdb");
    std::vector<std::string> args = baseArgs(out);
    args.insert(args.end(), {"--mode", "8", "--compress"});
    // 800 x 640 in 8-bit mode is cut 5 x 2: 51200 pixels a record, above half the limit.
    args.push_back(box.writeOneBitBmp("c1.bmp", 800, 640, mapPicture).string());
    args.push_back(box.writeOneBitBmp("c2.bmp", 1600, 1280, mapPicture).string());

    const ProcessResult r = box.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "Warning: At Compression Mode,\n There is a Data Overflow Risk.(Over 64KBytes)\n" + kSuccess);
}

TEST(MakeCliRun, OriginalModeWithCompressMakesAnUncompressedDatabaseAfterOneNotice) {
    CliSandbox box(kCli);
    const auto out = box.output("map.pdb");
    std::vector<std::string> args = baseArgs(out);
    args.push_back("--compress");
    args.push_back(box.writeOneBitBmp("c1.bmp", 160, 160, mapPicture).string());
    args.push_back(box.writeOneBitBmp("c2.bmp", 320, 320, mapPicture).string());

    const ProcessResult r = box.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, kOriginalNotice + kSuccess);
    const nlohmann::json info = infoJson(box, out);
    EXPECT_EQ(info["compressed"], "no");
    EXPECT_EQ(info["colourMode"], 0);
    EXPECT_EQ(info["classCount"], 2);
}

struct CornerCase {
    const char* label;
    std::string upperLeft, bottomRight;
    std::uint32_t ulLong, ulLat, brLong, brLat;
    char hemisphere;
    std::string cautions;
};

class MakeCliCorners : public ::testing::TestWithParam<CornerCase> {};

TEST_P(MakeCliCorners, StoresTotalsAndHemisphere) {
    const CornerCase& param = GetParam();
    CliSandbox box(kCli);
    const auto out = box.output("map.pdb");
    std::vector<std::string> args = baseArgs(out);
    args.insert(args.end(), {"--upper-left", param.upperLeft, "--bottom-right", param.bottomRight,
                             box.writeOneBitBmp("c1.bmp", 160, 160, mapPicture).string()});

    const ProcessResult r = box.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, param.cautions + kSuccess);
    const Bytes db = readFile(out);
    const std::uint32_t record0 = recordOffsetOf(db, 0);
    EXPECT_EQ(db[record0 + 31], static_cast<std::uint8_t>(param.hemisphere));
    EXPECT_EQ(be32At(db, record0 + 32), param.ulLong);
    EXPECT_EQ(be32At(db, record0 + 36), param.ulLat);
    EXPECT_EQ(be32At(db, record0 + 40), param.brLong);
    EXPECT_EQ(be32At(db, record0 + 44), param.brLat);
    EXPECT_EQ(be32At(db, record0 + 48), 1u);
    // GPS is one of the properties the stored password is bound to.
    EXPECT_EQ(bindingOf(db)[1], 1);
    EXPECT_EQ(storedPassword(db), encoded(kFixedReadOnlyPassword, 0, bindingOf(db)));
}

INSTANTIATE_TEST_SUITE_P(
    MakeCliAngles, MakeCliCorners,
    ::testing::Values(
        CornerCase{"Fractions", "35:40:12.5,139:45:30", "35:30:0,140:0:0.12", 503130000, 128412500, 504000120,
                   127800000, 'N', ""},
        // Every part at its edit's limit; "05" is 50 thousandths.
        CornerCase{"AtTheEditLimits", "035:01:02.05,010:20:30.99", "2:0:0,11:00:0", 37230990, 126062050, 39600000,
                   7200000, 'N', ""},
        CornerCase{"NoRangeCheck", "10:75:99.9,20:0:0", "9:0:0,21:0:0", 72000000, 40599900, 75600000, 32400000, 'N',
                   ""},
        CornerCase{"Southern", "33:0:0,151:0:0", "34:0:0,152:0:0", 543600000, 118800000, 547200000, 122400000, 'S',
                   kSouthern},
        CornerCase{"SouthernAndWest", "33:0:0,71:0:0", "34:0:0,70:0:0", 255600000, 118800000, 252000000, 122400000,
                   'S', kSouthern + kWest},
        CornerCase{"West", "41:0:0,74:0:0", "40:0:0,73:0:0", 266400000, 147600000, 262800000, 144000000, 'N', kWest}),
    [](const ::testing::TestParamInfo<CornerCase>& info) { return std::string(info.param.label); });

struct ClockCase {
    const char* label;
    std::int64_t epoch;
    bool accepted;
    int year = 0;  // of a refused epoch, in UTC
};

class MakeCliClock : public ::testing::TestWithParam<ClockCase> {};

TEST_P(MakeCliClock, StampsBothDatesOrRefusesTheYear) {
    const ClockCase& param = GetParam();
    CliSandbox box(kCli);
    const auto c1 = box.writeOneBitBmp("c1.bmp", 160, 160, mapPicture);
    const auto out = box.output("map.pdb");
    std::vector<std::string> args = baseArgs(out);
    args.push_back(c1.string());

    const ProcessResult r = box.run(args, {{"SOURCE_DATE_EPOCH", std::to_string(param.epoch)}});
    if (!param.accepted) {
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "Warning: Error : The date of this system is abnormal.\n"
                         "plotvane2-cli: the date came from SOURCE_DATE_EPOCH=" + std::to_string(param.epoch) +
                             " (the year " + std::to_string(param.year) + " here)\n"
                         "Warning: Error : cannot make pdb-file\n" + kNotMade);
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_EQ(folderEntries(box.outputs()), std::vector<std::string>{});
        return;
    }
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Bytes db = readFile(out);
    const auto stamp = static_cast<std::uint32_t>(static_cast<std::uint64_t>(param.epoch + kStampOffset) & 0xFFFFFFFFu);
    EXPECT_EQ(be32At(db, 36), stamp);
    EXPECT_EQ(be32At(db, 40), stamp);
    EXPECT_EQ(be32At(db, 44), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    MakeCliYears, MakeCliClock,
    ::testing::Values(ClockCase{"LastSecondOf1950", utcSeconds(1951, 1, 1) - 1, true},
                      ClockCase{"FirstSecondOf1951", utcSeconds(1951, 1, 1), false, 1951},
                      ClockCase{"UnixEpoch", 0, false, 1970},
                      ClockCase{"LastSecondOf1997", utcSeconds(1998, 1, 1) - 1, false, 1997},
                      ClockCase{"FirstSecondOf1998", utcSeconds(1998, 1, 1), true},
                      ClockCase{"Fixed", kFixedEpoch, true},
                      // The stamp keeps its low 32 bits.
                      ClockCase{"Year2100Wraps", utcSeconds(2100, 1, 1), true}),
    [](const ::testing::TestParamInfo<ClockCase>& info) { return std::string(info.param.label); });

TEST(MakeCliRun, SameEpochGivesIdenticalFilesAndAnotherEpochOnlyOtherDates) {
    CliSandbox box(kCli);
    const auto c1 = box.writeOneBitBmp("c1.bmp", 160, 160, mapPicture);
    std::vector<Bytes> made;
    for (const char* name : {"a.pdb", "b.pdb"}) {
        std::vector<std::string> args = baseArgs(box.output(name));
        args.insert(args.end(), {"--mode", "2", "--dither", "--compress", "--text", "9,9,Pier", c1.string()});
        ASSERT_EQ(box.run(args).exitCode, 0);
        made.push_back(readFile(box.output(name)));
    }
    EXPECT_TRUE(made[0] == made[1]) << firstDifference(made[0], made[1]);

    std::vector<std::string> args = baseArgs(box.output("c.pdb"));
    args.insert(args.end(), {"--mode", "2", "--dither", "--compress", "--text", "9,9,Pier", c1.string()});
    ASSERT_EQ(box.run(args, {{"SOURCE_DATE_EPOCH", std::to_string(kFixedEpoch + 86400)}}).exitCode, 0);
    Bytes later = readFile(box.output("c.pdb"));
    EXPECT_EQ(be32At(later, 36), static_cast<std::uint32_t>(kFixedEpoch + 86400 + kStampOffset));
    std::fill(later.begin() + 36, later.begin() + 44, 0);
    Bytes first = made[0];
    std::fill(first.begin() + 36, first.begin() + 44, 0);
    EXPECT_TRUE(first == later) << firstDifference(first, later);
}

TEST(MakeCliRun, ReplacesAnExistingDatabaseAndLeavesNoOtherFile) {
    CliSandbox box(kCli);
    const auto out = box.output("map.pdb");
    writeFile(out, Bytes(100000, 0xAB));
    std::vector<std::string> args = baseArgs(out);
    args.push_back(box.writeOneBitBmp("c1.bmp", 160, 160, mapPicture).string());
    const ProcessResult r = box.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Bytes db = readFile(out);
    EXPECT_EQ(db.size(), 80u + 16u + 80u + 16u + 160u * 20u);
    EXPECT_EQ(folderEntries(box.outputs()), std::vector<std::string>{"map.pdb"});
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

TEST(MakeCliRun, ParallelRunsInOneFolderDoNotMeet) {
    CliSandbox box(kCli);
    const auto c1 = box.writeOneBitBmp("c1.bmp", 320, 320, mapPicture);
    // Four processes at once, started from one shell so they overlap.
    std::string script;
    for (int i = 0; i < 4; ++i)
        script += "\"$0\" make -o \"$1/p" + std::to_string(i) + ".pdb\" --name P --version 12345 --mode 8 --dither \"$2\" & ";
    script += "wait";
    const ProcessResult r = runProcess("/bin/sh", {"-c", script, kCli, box.outputs().string(), c1.string()},
                                       {{"TMPDIR", box.temp().string()}, {"SOURCE_DATE_EPOCH", "1700000000"}},
                                       {}, box.work().string());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Bytes first = readFile(box.output("p0.pdb"));
    ASSERT_FALSE(first.empty());
    for (int i = 1; i < 4; ++i) EXPECT_TRUE(readFile(box.output("p" + std::to_string(i) + ".pdb")) == first);
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

// ---- Information texts -------------------------------------------------------

struct TextCase {
    const char* label;
    std::string argument;  // TEXT as UTF-8
    std::string stored;    // the 48-byte field up to its padding
    std::string shown;     // what info gives back
};

class MakeCliText : public ::testing::TestWithParam<TextCase> {};

TEST_P(MakeCliText, StoresWindows1252BytesAndInfoShowsThemBack) {
    const TextCase& param = GetParam();
    CliSandbox box(kCli);
    const auto out = box.output("map.pdb");
    std::vector<std::string> args = baseArgs(out);
    args.insert(args.end(), {"--text", "80,80," + param.argument,
                             box.writeOneBitBmp("c1.bmp", 160, 160, mapPicture).string()});
    const ProcessResult r = box.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const Bytes db = readFile(out);
    const std::uint32_t entry = recordOffsetOf(db, 1) + 16;
    std::string field(db.begin() + entry + 16, db.begin() + entry + 64);
    EXPECT_EQ(field, param.stored + std::string(48 - param.stored.size(), '\0'));
    const nlohmann::json info = infoJson(box, out);
    ASSERT_EQ(info["texts"].size(), 1u);
    EXPECT_EQ(info["texts"][0]["text"], param.shown);
}

INSTANTIATE_TEST_SUITE_P(
    MakeCliEncodings, MakeCliText,
    ::testing::Values(TextCase{"EAcute", kE, "\xE9", kE},
                      TextCase{"Euro", "\xE2\x82\xAC", "\x80", "\xE2\x82\xAC"},
                      TextCase{"CommasInside", "a,b,,c", "a,b,,c", "a,b,,c"},
                      TextCase{"FortyEightFillTheField", std::string(48, 'Q'), std::string(48, 'Q'), std::string(48, 'Q')},
                      // The limit counts the stored bytes, not the UTF-8 ones.
                      TextCase{"FortyEightAccents", repeat(kE, 48), std::string(48, '\xE9'), repeat(kE, 48)},
                      TextCase{"EuroAtTheLimit", std::string(47, 'a') + "\xE2\x82\xAC", std::string(47, 'a') + "\x80",
                               std::string(47, 'a') + "\xE2\x82\xAC"}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.label); });

TEST(MakeCliTexts, BoxesFollowThePlacementRuleInTheOrderGiven) {
    struct Spot {
        int x, y;
        std::uint16_t left, top, right, bottom;
    };
    // Class 1 is 320 x 160: the right edge pushes at x > 315, the bottom at y > 155.
    const std::vector<Spot> spots = {
        {80, 80, 75, 75, 84, 84},     {4, 4, 0, 0, 9, 9},          {5, 5, 0, 0, 9, 9},
        {6, 6, 1, 1, 10, 10},         {315, 155, 310, 150, 319, 159}, {316, 156, 310, 150, 319, 159},
        {319, 159, 310, 150, 319, 159}, {2, 158, 0, 150, 9, 159},    {160, 0, 155, 0, 164, 9},
    };
    CliSandbox box(kCli);
    const auto out = box.output("map.pdb");
    std::vector<std::string> args = baseArgs(out);
    for (std::size_t i = 0; i < spots.size(); ++i)
        args.insert(args.end(), {"--text", std::to_string(spots[i].x) + "," + std::to_string(spots[i].y) + ",T" +
                                               std::to_string(i)});
    args.push_back(box.writeOneBitBmp("c1.bmp", 320, 160, mapPicture).string());
    const ProcessResult r = box.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const Bytes db = readFile(out);
    const std::uint32_t record1 = recordOffsetOf(db, 1);
    ASSERT_EQ(be16At(db, record1 + 2), spots.size());
    for (std::size_t i = 0; i < spots.size(); ++i) {
        const std::size_t e = record1 + 16 + 64 * i;
        SCOPED_TRACE("text " + std::to_string(i));
        EXPECT_EQ(be16At(db, e + 0), spots[i].left);
        EXPECT_EQ(be16At(db, e + 2), spots[i].top);
        EXPECT_EQ(be16At(db, e + 4), spots[i].right);
        EXPECT_EQ(be16At(db, e + 6), spots[i].bottom);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(db.data() + e + 16)), "T" + std::to_string(i));
    }
}

TEST(MakeCliTexts, NinetyNineTextsFillTheUsableSlots) {
    CliSandbox box(kCli);
    const auto out = box.output("map.pdb");
    std::vector<std::string> args = baseArgs(out);
    for (int i = 0; i < 99; ++i) args.insert(args.end(), {"--text", std::to_string(i) + ",10,N" + std::to_string(i)});
    args.push_back(box.writeOneBitBmp("c1.bmp", 160, 160, mapPicture).string());
    const ProcessResult r = box.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, kSuccess);
    const Bytes db = readFile(out);
    const std::uint32_t record1 = recordOffsetOf(db, 1);
    EXPECT_EQ(be16At(db, record1 + 2), 99u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(db.data() + record1 + 16 + 64 * 98 + 16)), "N98");
    EXPECT_EQ(recordOffsetOf(db, 2) - record1, 16u + 64u * (99u + 10u));
}

// ---- Access ---------------------------------------------------------------------

struct AccessCase {
    const char* label;
    std::vector<std::string> options;
    Environment environment;
    std::string input;
    std::string password;  // the one the stored text must encode
    AccessCode code;
    bool needsPassword;
};

class MakeCliAccess : public ::testing::TestWithParam<AccessCase> {};

TEST_P(MakeCliAccess, EncodesThePasswordForTheChosenModes) {
    const AccessCase& param = GetParam();
    CliSandbox box(kCli);
    const auto out = box.output("map.pdb");
    std::vector<std::string> args = baseArgs(out);
    args.insert(args.end(), param.options.begin(), param.options.end());
    args.push_back(box.writeOneBitBmp("c1.bmp", 160, 160, mapPicture).string());
    const ProcessResult r = box.run(args, param.environment, param.input);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, kSuccess);

    const Bytes db = readFile(out);
    EXPECT_EQ(storedPassword(db), encoded(param.password, param.code, bindingOf(db)));
    const nlohmann::json info = infoJson(box, out);
    EXPECT_EQ(info["passwordStored"], true);
    EXPECT_EQ(info["needsPassword"], param.needsPassword);
}

INSTANTIATE_TEST_SUITE_P(
    MakeCliModes, MakeCliAccess,
    ::testing::Values(
        AccessCase{"DefaultIgnoresTheEnvironment", {}, {{"PLOTVANE2_PASSWORD", "bad pass word"}}, {},
                   std::string(kFixedReadOnlyPassword), 0, false},
        AccessCase{"NoneReadOnlyIgnoresStdin", {"--view", "none", "--edit", "readonly", "--password-stdin"}, {},
                   "Abcd1234\n", std::string(kFixedReadOnlyPassword), 0, false},
        AccessCase{"StdinWithCrLf", {"--view", "all", "--edit", "full", "--password-stdin"}, {}, "Abcd1234\r\n",
                   "Abcd1234", 5, true},
        AccessCase{"StdinFirstLineOnly", {"--edit", "full", "--password-stdin"}, {}, "Zz09Zz09\nsecond\n",
                   "Zz09Zz09", 1, true},
        AccessCase{"StdinWithoutNewline", {"--view", "all", "--password-stdin"}, {}, "Q1w2E3r4", "Q1w2E3r4", 4, true},
        AccessCase{"StdinWinsOverEnvironment", {"--view", "information", "--password-stdin"},
                   {{"PLOTVANE2_PASSWORD", "Wxyz9876"}}, "Abcd1234\n", "Abcd1234", 2, true},
        AccessCase{"Environment", {"--view", "information", "--edit", "full"}, {{"PLOTVANE2_PASSWORD", "Wxyz9876"}},
                   {}, "Wxyz9876", 3, true}),
    [](const ::testing::TestParamInfo<AccessCase>& info) { return std::string(info.param.label); });

TEST(MakeCliUsage, HelpShowsTheDefaults) {
    CliSandbox box(kCli);
    const ProcessResult r = box.run({"make", "--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* shown : {"{original,1,2,4,8}=original", "{none,information,all}=none", "{readonly,full}=readonly"})
        EXPECT_NE(r.out.find(shown), std::string::npos) << shown << "\n" << r.out;
}

}  // namespace

}  // namespace plotvane::test
