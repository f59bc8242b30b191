#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "database/input_rules.h"
#include "support/recording_feedback.h"

namespace plotvane {
namespace {

using test::RecordingFeedback;
using V = CoordinateValue;
using P = AnglePart;

Message warn(const char* text) { return {"Warning", text, Icon::Exclamation}; }

constexpr const char* kNotNumber = "Please use Only Number in LAT/LONG Value";
constexpr const char* kSameLat = "Don't set same value to LAT(upper-left and bottom-right)";
constexpr const char* kSameLong = "Don't set same value to LONG(upper-left and bottom-right)";
constexpr const char* kSouth =
    "CAUTION!\nYou set value to LAT(upper-left) < LAT(bottom-right)\nThis Map for Southern-Hemisphere.";
constexpr const char* kWest =
    "CAUTION!\nYou set value to LONG(upper-left) > LONG(bottom-right)\nThis Map for West-Longitude.";

struct Dms {
    std::string degrees, minutes, seconds, fraction;
};

CoordinateTexts textsOf(const Dms& ulLat, const Dms& ulLong, const Dms& brLat, const Dms& brLong) {
    CoordinateTexts t;
    auto put = [&t](V v, const Dms& d) {
        t.at(v, P::Degrees) = d.degrees;
        t.at(v, P::Minutes) = d.minutes;
        t.at(v, P::Seconds) = d.seconds;
        t.at(v, P::Fraction) = d.fraction;
    };
    put(V::UpperLeftLat, ulLat);
    put(V::UpperLeftLong, ulLong);
    put(V::BottomRightLat, brLat);
    put(V::BottomRightLong, brLong);
    return t;
}

// A northern, eastern map: upper-left latitude above, longitude left of the corner below.
CoordinateTexts tokyo() {
    return textsOf({"35", "40", "12", "5"}, {"139", "0", "0", "0"}, {"35", "0", "0", "0"}, {"140", "0", "0", "0"});
}

// ---- coordinates

TEST(InputRulesCoordinates, TotalAndFractionWriteBack) {
    GeoBounds bounds;
    RecordingFeedback feedback;
    const CoordinateParse parse = parseCoordinates(tokyo(), bounds, feedback);
    ASSERT_EQ(parse.result, 0);
    EXPECT_FALSE(parse.switchGpsOff);
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ(bounds.upperLeftLat, (DmsAngle{35, 40, 12, 500}));
    EXPECT_EQ(bounds.upperLeftLatTotal, 128412500u);
    EXPECT_EQ(bounds.bottomRightLatTotal, 126000000u);
    EXPECT_EQ(bounds.upperLeftLongTotal, 500400000u);
    EXPECT_EQ(bounds.bottomRightLongTotal, 504000000u);
    EXPECT_EQ(parse.writeBack.at(V::UpperLeftLat, P::Fraction), "500");
    EXPECT_EQ(parse.writeBack.at(V::UpperLeftLong, P::Degrees), "139");
}

TEST(InputRulesCoordinates, WriteBackDropsLeadingZerosInEveryEdit) {
    GeoBounds bounds;
    RecordingFeedback feedback;
    const CoordinateTexts texts =
        textsOf({"007", "05", "09", "05"}, {"000", "00", "0", "0"}, {"6", "59", "1", "12"}, {"999", "99", "99", "99"});
    const CoordinateParse parse = parseCoordinates(texts, bounds, feedback);
    ASSERT_EQ(parse.result, 0);
    EXPECT_EQ(parse.writeBack, textsOf({"7", "5", "9", "50"}, {"0", "0", "0", "0"}, {"6", "59", "1", "120"},
                                       {"999", "99", "99", "990"}));
    EXPECT_EQ(bounds.upperLeftLat, (DmsAngle{7, 5, 9, 50}));
    EXPECT_EQ(bounds.bottomRightLong, (DmsAngle{999, 99, 99, 990}));
    EXPECT_EQ(bounds.bottomRightLongTotal, 3602439990u);  // the largest total fits in 32 bits
    // 7 degrees lies north of 6 and the longitudes ascend: no caution.
    EXPECT_TRUE(feedback.messages.empty());
}

struct PartRow {
    const char* name;
    P part;
    std::string text;
    std::optional<std::int32_t> value;  // nullopt: refused
};

class InputRulesCoordinatePartTest : public ::testing::TestWithParam<PartRow> {};

TEST_P(InputRulesCoordinatePartTest, ParsesOrRefusesOnePart) {
    const PartRow& row = GetParam();
    CoordinateTexts texts = tokyo();
    texts.at(V::UpperLeftLat, row.part) = row.text;
    GeoBounds bounds;
    RecordingFeedback feedback;
    const CoordinateParse parse = parseCoordinates(texts, bounds, feedback);
    if (!row.value) {
        EXPECT_EQ(parse.result, kCoordinatesRefused);
        EXPECT_TRUE(parse.switchGpsOff);
        EXPECT_EQ(feedback.messages, std::vector<Message>{warn(kNotNumber)});
        return;
    }
    ASSERT_EQ(parse.result, 0) << feedback.texts().front();
    DmsAngle a = bounds.upperLeftLat;
    const std::int32_t parts[] = {a.degrees, a.minutes, a.seconds, a.milliseconds};
    EXPECT_EQ(parts[static_cast<int>(row.part)], *row.value);
}

INSTANTIATE_TEST_SUITE_P(
    InputRulesParts, InputRulesCoordinatePartTest,
    ::testing::Values(PartRow{"LeadingZeros", P::Degrees, "007", 7}, PartRow{"FourDigitDegreesCut", P::Degrees, "1234", 123},
                      PartRow{"LetterBeyondDegreeLimitNotRead", P::Degrees, "036x", 36},
                      PartRow{"ThreeDigitMinutesCut", P::Minutes, "123", 12},
                      PartRow{"MinutesAboveFiftyNine", P::Minutes, "99", 99},
                      PartRow{"LetterBeyondMinuteLimitNotRead", P::Minutes, "12a", 12},
                      PartRow{"OneDigitFraction", P::Fraction, "5", 500},
                      PartRow{"TwoDigitFraction", P::Fraction, "12", 120},
                      PartRow{"FractionWithLeadingZero", P::Fraction, "05", 50},
                      PartRow{"ThreeDigitFractionCut", P::Fraction, "123", 120},
                      PartRow{"LetterAfterDigit", P::Degrees, "3a", std::nullopt},
                      PartRow{"LetterFirst", P::Seconds, "a3", std::nullopt},
                      PartRow{"Empty", P::Minutes, "", std::nullopt},
                      PartRow{"EmptyFraction", P::Fraction, "", std::nullopt},
                      PartRow{"LeadingBlank", P::Seconds, " 3", std::nullopt},
                      PartRow{"Sign", P::Degrees, "-35", std::nullopt},
                      PartRow{"Decimal", P::Seconds, "1.", std::nullopt}),
    [](const ::testing::TestParamInfo<PartRow>& info) { return std::string(info.param.name); });

TEST(InputRulesCoordinates, EqualLatitudesRefusedEvenWithDifferentLongitudes) {
    GeoBounds bounds;
    RecordingFeedback feedback;
    const CoordinateTexts texts =
        textsOf({"35", "0", "0", "0"}, {"139", "0", "0", "0"}, {"35", "0", "0", "0"}, {"140", "0", "0", "0"});
    const CoordinateParse parse = parseCoordinates(texts, bounds, feedback);
    EXPECT_EQ(parse.result, kCoordinatesRefused);
    EXPECT_TRUE(parse.switchGpsOff);
    EXPECT_EQ(feedback.messages, std::vector<Message>{warn(kSameLat)});
    EXPECT_EQ(parse.writeBack, CoordinateTexts{});
}

struct CautionRow {
    const char* name;
    CoordinateTexts texts;
    int result;
    std::vector<Message> messages;
};

class InputRulesCautionTest : public ::testing::TestWithParam<CautionRow> {};

TEST_P(InputRulesCautionTest, MessagesInOrder) {
    const CautionRow& row = GetParam();
    GeoBounds bounds;
    RecordingFeedback feedback;
    const CoordinateParse parse = parseCoordinates(row.texts, bounds, feedback);
    EXPECT_EQ(parse.result, row.result);
    EXPECT_EQ(parse.switchGpsOff, row.result != 0);
    EXPECT_EQ(feedback.messages, row.messages);
}

INSTANTIATE_TEST_SUITE_P(
    InputRulesCautions, InputRulesCautionTest,
    ::testing::Values(
        CautionRow{"SouthernGoesOn",
                   textsOf({"33", "0", "0", "0"}, {"151", "0", "0", "0"}, {"34", "0", "0", "0"}, {"152", "0", "0", "0"}),
                   0,
                   {warn(kSouth)}},
        CautionRow{"WestGoesOn",
                   textsOf({"41", "0", "0", "0"}, {"74", "0", "0", "0"}, {"40", "0", "0", "0"}, {"73", "0", "0", "0"}),
                   0,
                   {warn(kWest)}},
        CautionRow{"SouthernThenWest",
                   textsOf({"33", "0", "0", "0"}, {"71", "0", "0", "0"}, {"34", "0", "0", "0"}, {"70", "0", "0", "0"}),
                   0,
                   {warn(kSouth), warn(kWest)}},
        CautionRow{"SouthernThenEqualLongitudes",
                   textsOf({"33", "0", "0", "0"}, {"71", "0", "0", "0"}, {"34", "0", "0", "0"}, {"71", "0", "0", "0"}),
                   kCoordinatesRefused,
                   {warn(kSouth), warn(kSameLong)}},
        CautionRow{"FractionSeparatesLatitudes",
                   textsOf({"35", "0", "0", "1"}, {"1", "0", "0", "0"}, {"35", "0", "0", "0"}, {"2", "0", "0", "0"}), 0,
                   {}},
        CautionRow{"BadTextBeforeComparisons",
                   textsOf({"35", "0", "0", "0"}, {"1", "0", "0", "x"}, {"35", "0", "0", "0"}, {"1", "0", "0", "0"}),
                   kCoordinatesRefused,
                   {warn(kNotNumber)}}),
    [](const ::testing::TestParamInfo<CautionRow>& info) { return std::string(info.param.name); });

// Fills every part with 77 so untouched ones show.
GeoBounds sentinelBounds() {
    GeoBounds b;
    for (DmsAngle* a : {&b.upperLeftLat, &b.bottomRightLat, &b.upperLeftLong, &b.bottomRightLong}) *a = {77, 77, 77, 77};
    b.upperLeftLatTotal = b.bottomRightLatTotal = b.upperLeftLongTotal = b.bottomRightLongTotal = 77;
    return b;
}

TEST(InputRulesCoordinates, PartsBeforeAFailureKeepTheirNewValues) {
    // 1038 (bottom-right latitude minutes) is parsed before 1034 (upper-left longitude minutes).
    CoordinateTexts texts = tokyo();
    texts.at(V::UpperLeftLong, P::Minutes) = std::string(1, 'x');
    GeoBounds bounds = sentinelBounds();
    RecordingFeedback feedback;
    EXPECT_EQ(parseCoordinates(texts, bounds, feedback).result, kCoordinatesRefused);
    EXPECT_EQ(bounds.upperLeftLat, (DmsAngle{35, 40, 77, 77}));
    EXPECT_EQ(bounds.bottomRightLat, (DmsAngle{35, 0, 77, 77}));
    EXPECT_EQ(bounds.upperLeftLong, (DmsAngle{139, 77, 77, 77}));
    EXPECT_EQ(bounds.bottomRightLong, (DmsAngle{140, 77, 77, 77}));
    EXPECT_EQ(bounds.upperLeftLatTotal, 77u);
    EXPECT_EQ(bounds.bottomRightLongTotal, 77u);
}

TEST(InputRulesCoordinates, ParseOrderCoversEveryEditOnce) {
    std::vector<int> ids;
    std::vector<std::pair<int, int>> slots;
    for (const CoordinateField& f : kCoordinateParseOrder) {
        ids.push_back(f.controlId);
        slots.emplace_back(static_cast<int>(f.value), static_cast<int>(f.part));
    }
    EXPECT_EQ(ids, (std::vector<int>{1027, 1033, 1037, 1041, 1028, 1038, 1034, 1042, 1029, 1039, 1035, 1043, 1032,
                                     1036, 1040, 1044}));
    std::sort(slots.begin(), slots.end());
    EXPECT_EQ(std::unique(slots.begin(), slots.end()), slots.end());
    // Rows of the dialog: degrees, minutes, seconds, fraction of each value.
    const int idOf[4][4] = {{1027, 1028, 1029, 1032}, {1033, 1034, 1035, 1036}, {1037, 1038, 1039, 1040},
                            {1041, 1042, 1043, 1044}};
    for (const CoordinateField& f : kCoordinateParseOrder)
        EXPECT_EQ(f.controlId, idOf[static_cast<int>(f.value)][static_cast<int>(f.part)]);
}

// ---- database name

struct NameRow {
    const char* name;
    std::string text;
    std::vector<std::string> messages;
    bool emptyControl;
    std::string stored;  // databaseName afterwards; "OLD" when refused
};

class InputRulesNameTest : public ::testing::TestWithParam<NameRow> {};

constexpr const char* kNameChars = "Please use Only English/Number/Space in DataBase Name";
constexpr const char* kNoName = "Please input DataBase Name";

TEST_P(InputRulesNameTest, AcceptsOrRefuses) {
    const NameRow& row = GetParam();
    FixedText<17> name;
    name.assign("OLD");
    RecordingFeedback feedback;
    const FieldRule rule = applyDatabaseNameRule(row.text, name, feedback);
    EXPECT_EQ(rule.result, row.messages.empty() ? 0 : kFieldRefused);
    EXPECT_EQ(rule.emptyControl, row.emptyControl);
    EXPECT_EQ(feedback.texts(), row.messages);
    for (const Message& m : feedback.messages) {
        EXPECT_EQ(m.title, "Warning");
        EXPECT_EQ(m.icon, Icon::Exclamation);
    }
    EXPECT_EQ(name.str(), row.stored);
}

INSTANTIATE_TEST_SUITE_P(
    InputRulesNames, InputRulesNameTest,
    ::testing::Values(
        NameRow{"LettersDigitsSpacesParentheses", "Tokyo (2) map", {}, false, "Tokyo (2) map"},
        NameRow{"PunctuationRange", "(+,-./*)0189", {}, false, "(+,-./*)0189"},
        NameRow{"UnderscoreAfterLetters", "Map_1", {kNameChars}, true, "OLD"},
        NameRow{"LeadingUnderscore", "_Map", {kNameChars, kNoName}, true, "OLD"},
        NameRow{"Empty", "", {kNoName}, false, "OLD"},
        NameRow{"ColonJustAboveNine", "a:b", {kNameChars}, true, "OLD"},
        NameRow{"QuoteJustBelowParenthesis", "a'b", {kNameChars}, true, "OLD"},
        NameRow{"NonAscii", "Caf\xC3\xA9", {kNameChars}, true, "OLD"},
        NameRow{"SeventeenCutToFifteen", "ABCDEFGHIJKLMNOPQ", {}, false, "ABCDEFGHIJKLMNO"},
        NameRow{"BadCharacterBeyondFifteenNotRead", "ABCDEFGHIJKLMNO_", {}, false, "ABCDEFGHIJKLMNO"},
        NameRow{"EndsAtNul", std::string("AB\0_", 4), {}, false, "AB"}),
    [](const ::testing::TestParamInfo<NameRow>& info) { return std::string(info.param.name); });

TEST(InputRulesName, AcceptedNameIsZeroPadded) {
    FixedText<17> name;
    name.assign("LONGNAMEXXXXXXX");
    RecordingFeedback feedback;
    ASSERT_EQ(applyDatabaseNameRule("AB", name, feedback).result, 0);
    for (std::size_t i = 2; i < name.bytes.size(); ++i) EXPECT_EQ(name.bytes[i], '\0') << i;
}

// ---- version

struct VersionRow {
    const char* name;
    std::string text;
    const char* message;  // nullptr: accepted
    std::string stored;
};

class InputRulesVersionTest : public ::testing::TestWithParam<VersionRow> {};

TEST_P(InputRulesVersionTest, AcceptsOrRefuses) {
    const VersionRow& row = GetParam();
    FixedText<7> version;
    version.assign("099999");
    RecordingFeedback feedback;
    const FieldRule rule = applyVersionRule(row.text, version, feedback);
    if (row.message == nullptr) {
        EXPECT_EQ(rule.result, 0);
        EXPECT_FALSE(rule.emptyControl);
        EXPECT_TRUE(feedback.messages.empty());
    } else {
        EXPECT_EQ(rule.result, kFieldRefused);
        EXPECT_TRUE(rule.emptyControl);
        EXPECT_EQ(feedback.messages, std::vector<Message>{warn(row.message)});
    }
    EXPECT_EQ(version.str(), row.stored);
    EXPECT_EQ(version.bytes[6], '\0');
}

constexpr const char* kVersionDigit = "Please use number in Version";
constexpr const char* kVersionShort = "Please input 5number at Version";

INSTANTIATE_TEST_SUITE_P(
    InputRulesVersions, InputRulesVersionTest,
    ::testing::Values(VersionRow{"FiveDigits", "01234", nullptr, "001234"},
                      VersionRow{"SixCutToFive", "123456", nullptr, "012345"},
                      VersionRow{"ThreeDigits", "123", kVersionShort, "099999"},
                      VersionRow{"Empty", "", kVersionShort, "099999"},
                      VersionRow{"LetterInside", "12a45", kVersionDigit, "099999"},
                      VersionRow{"LetterLast", "1234a", kVersionDigit, "099999"},
                      VersionRow{"LetterFirstThenShort", "a", kVersionDigit, "099999"},
                      VersionRow{"ShortBeforeLetterIsRead", "12", kVersionShort, "099999"},
                      VersionRow{"BlankInside", "12 45", kVersionDigit, "099999"}),
    [](const ::testing::TestParamInfo<VersionRow>& info) { return std::string(info.param.name); });

// ---- both identity rules

TEST(InputRulesIdentity, BothRulesReportThenCannotMake) {
    MapProject project;
    RecordingFeedback feedback;
    const IdentityRules rules = applyIdentityRules("_x", "12", project, feedback);
    EXPECT_EQ(rules.result, kIdentityRefused);
    EXPECT_TRUE(rules.emptyNameControl);
    EXPECT_TRUE(rules.emptyVersionControl);
    EXPECT_EQ(feedback.messages, (std::vector<Message>{warn(kNameChars), warn(kNoName), warn(kVersionShort),
                                                       {"Error", "Cannot make Map Database!", Icon::Exclamation}}));
}

TEST(InputRulesIdentity, GoodNameIsStoredEvenWhenVersionIsBad) {
    MapProject project;
    RecordingFeedback feedback;
    const IdentityRules rules = applyIdentityRules("Tokyo", "1a345", project, feedback);
    EXPECT_EQ(rules.result, kIdentityRefused);
    EXPECT_FALSE(rules.emptyNameControl);
    EXPECT_TRUE(rules.emptyVersionControl);
    EXPECT_EQ(project.databaseName.str(), "Tokyo");
    EXPECT_TRUE(project.versionText.empty());
    EXPECT_EQ(feedback.texts(), (std::vector<std::string>{kVersionDigit, "Cannot make Map Database!"}));
}

TEST(InputRulesIdentity, BothGoodShowNothing) {
    MapProject project;
    RecordingFeedback feedback;
    const IdentityRules rules = applyIdentityRules("Tokyo", "00102", project, feedback);
    EXPECT_EQ(rules.result, 0);
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ(project.databaseName.str(), "Tokyo");
    EXPECT_EQ(project.versionText.str(), "000102");
}

// ---- information texts

struct BoxRow {
    std::int32_t x, y;
    MarkerBox box;
};

class InfoTextRulesBoxTest : public ::testing::TestWithParam<BoxRow> {};

TEST_P(InfoTextRulesBoxTest, PlacesTheBoxInsideTheBitmap) {
    const BoxRow& row = GetParam();
    EXPECT_EQ(placeMarkerBox(row.x, row.y, 640, 480), row.box) << row.x << "," << row.y;
}

INSTANTIATE_TEST_SUITE_P(InfoTextRulesOn640x480, InfoTextRulesBoxTest,
                         ::testing::Values(BoxRow{80, 80, {75, 75, 84, 84}}, BoxRow{2, 478, {0, 470, 9, 479}},
                                           BoxRow{635, 240, {630, 235, 639, 244}}, BoxRow{5, 5, {0, 0, 9, 9}},
                                           BoxRow{4, 4, {0, 0, 9, 9}}, BoxRow{6, 6, {1, 1, 10, 10}},
                                           BoxRow{636, 476, {630, 470, 639, 479}},
                                           BoxRow{634, 474, {629, 469, 638, 478}},
                                           BoxRow{-3, 1000, {0, 470, 9, 479}}));

TEST(InfoTextRulesBox, LargestCornerAndTinyBitmap) {
    EXPECT_EQ(placeMarkerBox(4095, 4095, 4096, 4096), (MarkerBox{4086, 4086, 4095, 4095}));
    EXPECT_EQ(placeMarkerBox(3, 3, 0, 6), (MarkerBox{0, 0, 9, 9}));
}

MapProject projectWithClass1() {
    MapProject p;
    p.classCount = 1;
    p.classes[0].width = 640;
    p.classes[0].height = 480;
    p.previewClass = 1;
    return p;
}

void addAt(MapProject& p, std::int32_t x, std::int32_t y, const std::string& text) {
    RecordingFeedback feedback;
    p.previewCentreX = x;
    p.previewCentreY = y;
    ASSERT_EQ(applyInfoTextButton(p, text, feedback), InfoTextResult::Applied);
    ASSERT_TRUE(feedback.messages.empty());
}

TEST(InfoTextRules, AddPlacesBoxAtPreviewCentre) {
    MapProject p = projectWithClass1();
    addAt(p, 635, 240, "Harbour");
    ASSERT_EQ(p.infoTextCount, 1);
    EXPECT_EQ(p.infoText(0), (InfoText{"Harbour", 630, 235, 639, 244}));
    EXPECT_EQ(p.selectedInfoText, 0);
}

TEST(InfoTextRules, DeletingSelectedSecondOfThreeRenumbers) {
    MapProject p = projectWithClass1();
    addAt(p, 80, 80, "one");
    addAt(p, 200, 100, "two");
    addAt(p, 300, 300, "three");
    p.selectedInfoText = 2;
    RecordingFeedback feedback;
    EXPECT_EQ(applyInfoTextButton(p, "", feedback), InfoTextResult::Applied);
    EXPECT_TRUE(feedback.messages.empty());
    ASSERT_EQ(p.infoTextCount, 2);
    EXPECT_EQ(p.infoText(0), (InfoText{"one", 75, 75, 84, 84}));
    EXPECT_EQ(p.infoText(1), (InfoText{"three", 295, 295, 304, 304}));
    EXPECT_EQ(p.infoText(2), InfoText{});
    EXPECT_EQ(p.selectedInfoText, 0);
}

TEST(InfoTextRules, EmptyTextWithoutSelectionChangesNothing) {
    MapProject p = projectWithClass1();
    addAt(p, 80, 80, "one");
    const MapProject before = p;
    RecordingFeedback feedback;
    EXPECT_EQ(applyInfoTextButton(p, "", feedback), InfoTextResult::Refused);
    EXPECT_EQ(feedback.messages, std::vector<Message>{warn("Please input Information Text.")});
    EXPECT_EQ(p.infoTextCount, 1);
    EXPECT_EQ(p.infoTextBytes, before.infoTextBytes);
    EXPECT_EQ(p.infoLeft, before.infoLeft);
}

TEST(InfoTextRules, ReplaceKeepsBoxAndPadsWithNul) {
    MapProject p = projectWithClass1();
    addAt(p, 80, 80, "a rather long text");
    p.previewCentreX = 300;
    p.selectedInfoText = 1;
    RecordingFeedback feedback;
    EXPECT_EQ(applyInfoTextButton(p, "short", feedback), InfoTextResult::Applied);
    EXPECT_EQ(p.infoTextCount, 1);
    EXPECT_EQ(p.infoText(0), (InfoText{"short", 75, 75, 84, 84}));
    for (std::size_t i = 5; i < p.infoTextBytes[0].size(); ++i) EXPECT_EQ(p.infoTextBytes[0][i], '\0') << i;
    EXPECT_EQ(p.selectedInfoText, 0);
}

TEST(InfoTextRules, NinetyNineTextsRefuseAddAndChangeButAllowDelete) {
    MapProject p = projectWithClass1();
    for (int i = 0; i < kInfoTextLimit; ++i) addAt(p, 10 + i, 10 + i, std::string("t").append(std::to_string(i + 1)));
    ASSERT_EQ(p.infoTextCount, 99);

    const Message over = warn("Information Text number over.(<100)");
    RecordingFeedback feedback;
    EXPECT_EQ(applyInfoTextButton(p, "more", feedback), InfoTextResult::Refused);
    p.selectedInfoText = 5;
    EXPECT_EQ(applyInfoTextButton(p, "changed", feedback), InfoTextResult::Refused);
    EXPECT_EQ(feedback.messages, (std::vector<Message>{over, over}));
    EXPECT_EQ(p.infoTextCount, 99);
    EXPECT_EQ(p.infoText(4).text, "t5");
    EXPECT_EQ(p.selectedInfoText, 0);

    p.selectedInfoText = 5;
    EXPECT_EQ(applyInfoTextButton(p, "", feedback), InfoTextResult::Applied);
    EXPECT_EQ(p.infoTextCount, 98);
    EXPECT_EQ(p.infoText(4).text, "t6");
    EXPECT_EQ(p.infoText(97).text, "t99");
}

TEST(InfoTextRules, FortyEightBytesStoredWholeLongerCut) {
    MapProject p = projectWithClass1();
    addAt(p, 80, 80, std::string(48, 'x'));
    addAt(p, 90, 90, std::string(50, 'y'));
    EXPECT_EQ(p.infoText(0).text, std::string(48, 'x'));
    EXPECT_EQ(p.infoText(1).text, std::string(48, 'y'));
}

TEST(InfoTextRules, SelectionBeyondCountIsNoSelection) {
    MapProject p = projectWithClass1();
    addAt(p, 80, 80, "one");
    p.selectedInfoText = 5;
    RecordingFeedback feedback;
    EXPECT_EQ(applyInfoTextButton(p, "", feedback), InfoTextResult::Refused);
    EXPECT_EQ(feedback.texts(), std::vector<std::string>{"Please input Information Text."});
    EXPECT_EQ(p.infoTextCount, 1);
    EXPECT_EQ(p.selectedInfoText, 0);
}

// ---- Windows-1252

struct CodecRow {
    const char* name;
    std::string utf8;
    std::optional<std::string> bytes;
};

class Windows1252EncodeTest : public ::testing::TestWithParam<CodecRow> {};

TEST_P(Windows1252EncodeTest, EncodesOrRefuses) {
    const CodecRow& row = GetParam();
    EXPECT_EQ(utf8ToWindows1252(row.utf8), row.bytes);
    if (row.bytes) {
        EXPECT_EQ(windows1252ToUtf8(*row.bytes), row.utf8);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows1252Texts, Windows1252EncodeTest,
    ::testing::Values(CodecRow{"Ascii", "Tokyo Tower 333m", "Tokyo Tower 333m"}, CodecRow{"Empty", "", ""},
                      CodecRow{"EAcute", "caf\xC3\xA9", "caf\xE9"}, CodecRow{"Euro", "\xE2\x82\xAC" "5", "\x80" "5"},
                      CodecRow{"YDiaeresisUpper", "\xC5\xB8", "\x9F"}, CodecRow{"YDiaeresisLower", "\xC3\xBF", "\xFF"},
                      CodecRow{"NoBreakSpace", "\xC2\xA0", "\xA0"}, CodecRow{"RightQuote", "\xE2\x80\x99", "\x92"},
                      CodecRow{"TradeMark", "\xE2\x84\xA2", "\x99"}, CodecRow{"Undefined81", "\xC2\x81", "\x81"},
                      CodecRow{"AMacronNotInPage", "\xC4\x80", std::nullopt},
                      CodecRow{"C1ControlOf80NotInPage", "\xC2\x80", std::nullopt},
                      CodecRow{"KanjiNotInPage", "\xE6\x97\xA5", std::nullopt},
                      CodecRow{"EmojiNotInPage", "\xF0\x9F\x98\x80", std::nullopt},
                      CodecRow{"TruncatedTwoByte", "a\xC3", std::nullopt},
                      CodecRow{"TruncatedThreeByte", "\xE2\x82", std::nullopt},
                      CodecRow{"StrayContinuation", "\x80", std::nullopt},
                      CodecRow{"OverlongSlash", "\xC0\xAF", std::nullopt},
                      CodecRow{"OverlongThreeByte", "\xE0\x80\xAF", std::nullopt},
                      CodecRow{"Surrogate", "\xED\xA0\x80", std::nullopt},
                      CodecRow{"BeyondUnicode", "\xF4\x90\x80\x80", std::nullopt},
                      CodecRow{"InvalidLeadByte", "a\xFF" "b", std::nullopt},
                      CodecRow{"ContinuationMissing", "\xC3" "A", std::nullopt}),
    [](const ::testing::TestParamInfo<CodecRow>& info) { return std::string(info.param.name); });

TEST(Windows1252, EveryByteDecodesAndEncodesBack) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string utf8 = windows1252ToUtf8(byte);
        EXPECT_EQ(utf8ToWindows1252(utf8), byte) << "byte " << b;
    }
    EXPECT_EQ(windows1252ToUtf8("\x80\xE9\x9C"), "\xE2\x82\xAC\xC3\xA9\xC5\x93");
}

TEST(Windows1252, InformationTextLimitCountsStoredBytes) {
    std::string accented;
    for (int i = 0; i < 48; ++i) accented += "\xC3\xA9";
    const std::optional<std::string> stored = utf8ToWindows1252(accented);
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), 48u);

    MapProject p = projectWithClass1();
    addAt(p, 80, 80, *stored);
    EXPECT_EQ(p.infoText(0).text, *stored);
    EXPECT_EQ(windows1252ToUtf8(p.infoText(0).text), accented);

    const std::optional<std::string> longer = utf8ToWindows1252(accented + "\xE2\x82\xAC");
    ASSERT_TRUE(longer);
    addAt(p, 90, 90, *longer);
    EXPECT_EQ(p.infoText(1).text, *stored);
}

}  // namespace
}  // namespace plotvane
