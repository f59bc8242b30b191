#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "access/password_codec.h"
#include "support/recording_feedback.h"

namespace plotvane {
namespace {

using test::RecordingFeedback;

std::string str(const EncodedPassword& e) { return std::string(e.data(), e.size()); }

const MapBinding kTokyo = {3, 1, 12, '1', 0x02, 0x80, 'T'};
const MapBinding kZero = {0, 0, 0, 0, 0, 0, 0};
const MapBinding kHigh = {4, 0, 99, '9', 0x10, 0x00, 'z'};
const std::vector<MapBinding> kBindings = {kTokyo, kZero, kHigh, {1, 0, 0, '0', 0x00, 0xA0, 'A'}};

// ---- password rule

struct RuleRow {
    const char* name;
    std::string text;
    const char* message;  // nullptr: accepted
};

class PasswordRuleTest : public ::testing::TestWithParam<RuleRow> {};

TEST_P(PasswordRuleTest, AcceptsOrRefusesWithItsMessage) {
    const RuleRow& row = GetParam();
    RecordingFeedback feedback;
    const bool passed = checkPasswordRule(row.text, feedback);
    if (row.message == nullptr) {
        EXPECT_TRUE(passed);
        EXPECT_TRUE(feedback.messages.empty());
        return;
    }
    EXPECT_FALSE(passed);
    ASSERT_EQ(feedback.messages.size(), 1u);
    EXPECT_EQ(feedback.messages[0], (Message{"Error", row.message, Icon::Exclamation}));
}

constexpr const char* kMust8 = "Password must 8 characters.";
constexpr const char* kAlnum = "Password character use alphabet or number.";

INSTANTIATE_TEST_SUITE_P(
    PasswordRules, PasswordRuleTest,
    ::testing::Values(RuleRow{"SevenCharacters", "abcdefg", kMust8}, RuleRow{"Empty", "", kMust8},
                      RuleRow{"ShortWithBadCharacter", "ab_", kMust8},
                      RuleRow{"EightWithBlank", "abcd efg", kAlnum}, RuleRow{"EightWithUnderscore", "abcd_efg", kAlnum},
                      RuleRow{"EightWithMinus", "abcd-efg", kAlnum},
                      RuleRow{"EightWithLatin1Byte", "abc\xE9" "efgh", kAlnum},
                      RuleRow{"EightWithNul", std::string("abc\0efgh", 8), kAlnum},
                      RuleRow{"EightLettersAndDigits", "Ab3dEf9Z", nullptr},
                      RuleRow{"NineCutToValidEight", "abcdefgh9", nullptr},
                      RuleRow{"NineCutToEightWithUnderscore", "abcdefg_9", kAlnum},
                      // Characters count, not their UTF-8 bytes.
                      RuleRow{"SevenWithAccentInEightBytes", "abcdef\u00e9", kMust8},
                      RuleRow{"EightWithAccent", "abcdefg\u00e9", kAlnum},
                      RuleRow{"EightWithFourByteCharacter", "abcdefg\U0001F600", kAlnum},
                      RuleRow{"NineWithAccentAfterValidEight", "abcdefgh\u00e9", nullptr}),
    [](const ::testing::TestParamInfo<RuleRow>& info) { return std::string(info.param.name); });

// ---- fixed encodings: they pin kModeKeyTable, which must never change

struct GoldenRow {
    std::string password;
    MapBinding binding;
    AccessCode code;
    std::string encoded;
};

class PasswordGoldenTest : public ::testing::TestWithParam<GoldenRow> {};

TEST_P(PasswordGoldenTest, EncodesToTheStoredCharacters) {
    const GoldenRow& row = GetParam();
    EXPECT_EQ(str(encodePassword(row.password, row.code, row.binding)), row.encoded);
}

INSTANTIATE_TEST_SUITE_P(
    PasswordKnownMaps, PasswordGoldenTest,
    ::testing::Values(GoldenRow{"abcdefgh", kTokyo, 0, "FIZPm-Nz"}, GoldenRow{"abcdefgh", kTokyo, 1, "Gs1e6qu1"},
                      GoldenRow{"abcdefgh", kTokyo, 2, "2wzkPGTE"}, GoldenRow{"abcdefgh", kTokyo, 3, "TSN4tXkV"},
                      GoldenRow{"abcdefgh", kTokyo, 4, "UbHBNEcl"}, GoldenRow{"abcdefgh", kTokyo, 5, "J1sNBa1A"},
                      GoldenRow{"zzzzzzzz", kZero, 0, "MejOA6Xo"}, GoldenRow{"zzzzzzzz", kZero, 2, "CF8jpOc3"},
                      GoldenRow{"zzzzzzzz", kZero, 5, "FM0MaiB-"}, GoldenRow{"Kx7mQ2vR", kTokyo, 0, "HIDUcaVo"},
                      GoldenRow{"Kx7mQ2vR", kTokyo, 2, ">wdpFsa3"}));

// ---- check offset: signed 8-bit sum, remainder truncated toward zero

struct OffsetRow {
    std::string characters;
    int offset;
};

class PasswordOffsetTest : public ::testing::TestWithParam<OffsetRow> {};

TEST_P(PasswordOffsetTest, SumIsReadAsSignedByte) {
    const OffsetRow& row = GetParam();
    std::array<char, 7> chars{};
    std::copy(row.characters.begin(), row.characters.end(), chars.begin());
    EXPECT_EQ(checkOffset(chars), row.offset) << row.characters;
}

INSTANTIATE_TEST_SUITE_P(PasswordSums, PasswordOffsetTest,
                         ::testing::Values(OffsetRow{"VVVVVVT", 8},    // 600 -> 88
                                           OffsetRow{"ddddddd", -8},   // 700 -> 188 = -68
                                           OffsetRow{"ZZZZZZc", 7},    // 639 -> 127
                                           OffsetRow{"ZZZZZZd", -8},   // 640 -> 128 = -128
                                           OffsetRow{"0000000", 0},    // 336 -> 80
                                           OffsetRow{"zzzzzzz", 6},    // 854 -> 86
                                           OffsetRow{"-------", 19},   // 315 -> 59
                                           OffsetRow{"8888889", -19}   // 393 -> 137 = -119
                                           ));

// ---- round trips

TEST(PasswordRoundTrip, EveryAccessCodeComesBackThroughCheckPassword) {
    const std::vector<std::string> passwords = {"abcdefgh", "ZZZZZZZZ", "00000000", "Kx7mQ2vR", "a1B2c3D4", "zz99AAqq"};
    for (const MapBinding& binding : kBindings) {
        for (const std::string& password : passwords) {
            for (int c = 0; c < kAccessCodeCount; ++c) {
                const auto code = static_cast<AccessCode>(c);
                const EncodedPassword stored = encodePassword(password, code, binding);
                const std::array<char, 7> chars = encodedCharacters(password, code, binding);
                EXPECT_EQ(stored[0], 'A' + c / 2 + checkOffset(chars));
                EXPECT_TRUE(std::equal(chars.begin(), chars.end(), stored.begin() + 1));

                RecordingFeedback feedback;
                const PasswordCheck check = checkPassword(password, str(stored), binding, feedback);
                EXPECT_TRUE(check.ok) << password << " code " << c;
                EXPECT_EQ(check.mode, accessModeOf(code));
                EXPECT_TRUE(feedback.messages.empty());
            }
        }
    }
}

TEST(PasswordRoundTrip, EveryAlphabetCharacterAtEveryPosition) {
    const std::string alphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz--";
    const std::string password = "q7Rm2XbT";
    for (std::size_t pos = 0; pos < 7; ++pos) {
        // Stepping one binding byte through 0..63 walks the alphabet once.
        std::string walked;
        for (int b = 0; b < 64; ++b) {
            MapBinding binding = kTokyo;
            binding[pos] = static_cast<std::uint8_t>(b);
            const EncodedPassword stored = encodePassword(password, 5, binding);
            walked += stored[pos + 1];

            RecordingFeedback feedback;
            const PasswordCheck check = checkPassword(password, str(stored), binding, feedback);
            EXPECT_TRUE(check.ok) << "position " << pos << " byte " << b;
            EXPECT_EQ(check.mode, (AccessMode{0, 1, 2}));
        }
        const std::string doubled = alphabet + alphabet;
        EXPECT_NE(doubled.find(walked), std::string::npos) << "position " << pos << ": " << walked;
    }
}

TEST(PasswordRoundTrip, BindingByteChangesTheEncoding) {
    for (std::size_t pos = 0; pos < 7; ++pos) {
        MapBinding other = kTokyo;
        ++other[pos];
        const EncodedPassword a = encodePassword("abcdefgh", 3, kTokyo);
        const EncodedPassword b = encodePassword("abcdefgh", 3, other);
        EXPECT_NE(a[pos + 1], b[pos + 1]) << "binding byte " << pos;

        RecordingFeedback feedback;
        EXPECT_FALSE(checkPassword("abcdefgh", str(a), other, feedback).ok);
    }
}

TEST(PasswordRoundTrip, CaseMatters) {
    const EncodedPassword stored = encodePassword("abcdefgh", 3, kTokyo);
    RecordingFeedback feedback;
    EXPECT_FALSE(checkPassword("ABCDEFGH", str(stored), kTokyo, feedback).ok);
    EXPECT_FALSE(checkPassword("abcdefgH", str(stored), kTokyo, feedback).ok);
    EXPECT_TRUE(feedback.messages.empty());
}

TEST(PasswordRoundTrip, ModeKeyRowsNeverGiveTheSameCharacters) {
    // If two rows agreed at every position for some password, the earlier
    // row would answer for the later one and its mode would be lost.
    for (int a = 0; a < kAccessCodeCount; ++a)
        for (int b = a + 1; b < kAccessCodeCount; ++b)
            for (std::size_t i = 0; i < 7; ++i)
                for (unsigned q = 0; q < 256; ++q) {
                    const unsigned ha = (q + kModeKeyTable[a][i]) / 2;
                    const unsigned hb = (q + kModeKeyTable[b][i]) / 2;
                    EXPECT_NE(ha % 64, hb % 64) << "rows " << a << "," << b << " position " << i << " q " << q;
                }
}

// ---- aliasing the code allows

TEST(PasswordAliasing, OnlyTheSumOfTheFirstTwoCharactersCounts) {
    for (int c = 0; c < kAccessCodeCount; ++c) {
        const auto code = static_cast<AccessCode>(c);
        const EncodedPassword stored = encodePassword("abcdefgh", code, kTokyo);
        EXPECT_EQ(str(encodePassword("bacdefgh", code, kTokyo)), str(stored));
        RecordingFeedback feedback;
        const PasswordCheck check = checkPassword("bacdefgh", str(stored), kTokyo, feedback);
        EXPECT_TRUE(check.ok);
        EXPECT_EQ(check.mode, accessModeOf(code));
    }
    // 'A' + 'z' == 'B' + 'y'
    RecordingFeedback feedback;
    EXPECT_TRUE(checkPassword("Bycdefgh", str(encodePassword("Azcdefgh", 1, kTokyo)), kTokyo, feedback).ok);
}

TEST(PasswordAliasing, SixtyTwoAndSixtyThreeBothGiveMinus) {
    // 'c' and 'e' at password position 2 differ by one after halving, so
    // some binding byte puts them on 62 and 63.
    bool found = false;
    for (int b = 0; b < 64 && !found; ++b) {
        MapBinding binding = kTokyo;
        binding[1] = static_cast<std::uint8_t>(b);
        const EncodedPassword first = encodePassword("abcdefgh", 4, binding);
        const EncodedPassword second = encodePassword("abedefgh", 4, binding);
        if (first[2] != '-' || second[2] != '-') continue;
        found = true;
        EXPECT_EQ(str(first), str(second));
        RecordingFeedback feedback;
        const PasswordCheck check = checkPassword("abedefgh", str(first), binding, feedback);
        EXPECT_TRUE(check.ok);
        EXPECT_EQ(check.mode, (AccessMode{1, 0, 2}));
    }
    EXPECT_TRUE(found);
}

// ---- refusals of checkPassword

TEST(PasswordCheck, RuleFailureShowsRuleMessageOnly) {
    const EncodedPassword stored = encodePassword("abcdefgh", 1, kTokyo);
    RecordingFeedback feedback;
    const PasswordCheck check = checkPassword("abcdefg", str(stored), kTokyo, feedback);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(feedback.texts(), std::vector<std::string>{"Password must 8 characters."});
}

TEST(PasswordCheck, NineCharactersAreJudgedByTheFirstEight) {
    const EncodedPassword stored = encodePassword("abcdefgh", 1, kTokyo);
    RecordingFeedback feedback;
    EXPECT_TRUE(checkPassword("abcdefghX", str(stored), kTokyo, feedback).ok);
}

struct WrongCheckRow {
    AccessCode code;
    int shift;           // added to the check character
    bool invalidMessage;  // "Invalid Password." expected; else a silent refusal
};

class PasswordCheckCharacterTest : public ::testing::TestWithParam<WrongCheckRow> {};

TEST_P(PasswordCheckCharacterTest, MatchingRowWithAnotherViewModeIsInvalid) {
    const WrongCheckRow& row = GetParam();
    EncodedPassword stored = encodePassword("abcdefgh", row.code, kTokyo);
    stored[0] = static_cast<char>(stored[0] + row.shift);
    RecordingFeedback feedback;
    const PasswordCheck check = checkPassword("abcdefgh", str(stored), kTokyo, feedback);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.mode, AccessMode{});
    if (row.invalidMessage) {
        ASSERT_EQ(feedback.messages.size(), 1u);
        EXPECT_EQ(feedback.messages[0], (Message{"Error", "Invalid Password.", Icon::Exclamation}));
    } else {
        EXPECT_TRUE(feedback.messages.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(PasswordShifts, PasswordCheckCharacterTest,
                         ::testing::Values(WrongCheckRow{0, 1, true}, WrongCheckRow{0, 2, true},
                                           WrongCheckRow{0, 3, false}, WrongCheckRow{0, -1, false},
                                           WrongCheckRow{3, -1, true}, WrongCheckRow{3, 1, true},
                                           WrongCheckRow{3, 2, false}, WrongCheckRow{3, -2, false},
                                           WrongCheckRow{4, -2, true}, WrongCheckRow{4, -1, true},
                                           WrongCheckRow{4, 1, false}, WrongCheckRow{5, -3, false}));

TEST(PasswordCheck, ZeroByteInStoredPasswordNeverMatches) {
    for (std::size_t pos = 0; pos < kPasswordLength; ++pos) {
        EncodedPassword stored = encodePassword("abcdefgh", 2, kTokyo);
        stored[pos] = '\0';
        RecordingFeedback feedback;
        EXPECT_FALSE(checkPassword("abcdefgh", str(stored), kTokyo, feedback).ok) << "zero at " << pos;
        EXPECT_TRUE(feedback.messages.empty());
    }
    const EncodedPassword full = encodePassword("abcdefgh", 2, kTokyo);
    RecordingFeedback feedback;
    EXPECT_FALSE(checkPassword("abcdefgh", std::string_view(full.data(), 7), kTokyo, feedback).ok);
    EXPECT_FALSE(checkPassword("abcdefgh", "", kTokyo, feedback).ok);
}

// ---- the fixed read-only password

TEST(PasswordFixedReadOnly, PassesThePasswordRule) {
    RecordingFeedback feedback;
    EXPECT_TRUE(checkPasswordRule(kFixedReadOnlyPassword, feedback));
    EXPECT_EQ(kFixedReadOnlyPassword.size(), kPasswordLength);
}

TEST(PasswordFixedReadOnly, AutoCheckAcceptsItsCodeZeroEncodingForAnyBinding) {
    for (const MapBinding& binding : kBindings) {
        const EncodedPassword stored = encodePassword(kFixedReadOnlyPassword, 0, binding);
        EXPECT_TRUE(autoCheckReadOnly(str(stored), binding));

        RecordingFeedback feedback;
        const PasswordCheck typed = checkPassword(kFixedReadOnlyPassword, str(stored), binding, feedback);
        EXPECT_TRUE(typed.ok);
        EXPECT_EQ(typed.mode, (AccessMode{1, 0, 0}));
    }
}

TEST(PasswordFixedReadOnly, AutoCheckRefusesOtherCodesBindingsAndPasswords) {
    for (int c = 1; c < kAccessCodeCount; ++c)
        EXPECT_FALSE(autoCheckReadOnly(str(encodePassword(kFixedReadOnlyPassword, static_cast<AccessCode>(c), kTokyo)),
                                       kTokyo))
            << "code " << c;
    EXPECT_FALSE(autoCheckReadOnly(str(encodePassword(kFixedReadOnlyPassword, 0, kTokyo)), kZero));
    EXPECT_FALSE(autoCheckReadOnly(str(encodePassword("abcdefgh", 0, kTokyo)), kTokyo));
    EXPECT_FALSE(autoCheckReadOnly("", kTokyo));
}

TEST(PasswordFixedReadOnly, AutoCheckTestsOnlyTheCheckCharacterRange) {
    for (int shift : {0, 1, 2}) {
        EncodedPassword stored = encodePassword(kFixedReadOnlyPassword, 0, kTokyo);
        stored[0] = static_cast<char>(stored[0] + shift);
        EXPECT_TRUE(autoCheckReadOnly(str(stored), kTokyo)) << "shift " << shift;
    }
    for (int shift : {-1, 3}) {
        EncodedPassword stored = encodePassword(kFixedReadOnlyPassword, 0, kTokyo);
        stored[0] = static_cast<char>(stored[0] + shift);
        EXPECT_FALSE(autoCheckReadOnly(str(stored), kTokyo)) << "shift " << shift;
    }
}

// ---- modes and binding

TEST(PasswordModes, AccessCodeTable) {
    const AccessMode expected[kAccessCodeCount] = {{1, 0, 0}, {0, 1, 0}, {1, 0, 1}, {0, 1, 1}, {1, 0, 2}, {0, 1, 2}};
    for (int c = 0; c < kAccessCodeCount; ++c) {
        EXPECT_EQ(accessModeOf(static_cast<AccessCode>(c)), expected[c]) << "code " << c;
        EXPECT_EQ(accessCodeOf(expected[c]), c);
        // The input dialog opens with the choices of the current mode.
        EXPECT_EQ(deriveAccessMode(choicesFor(expected[c])), expected[c]);
    }
    EXPECT_EQ(choicesFor({0, 1, 0}), (ModeChoices{false, true, true, false, false}));
}

struct ChoiceRow {
    ModeChoices choices;
    AccessMode mode;
    bool fixedPassword;
};

class PasswordModeChoiceTest : public ::testing::TestWithParam<ChoiceRow> {};

TEST_P(PasswordModeChoiceTest, DerivesModeBytes) {
    const ChoiceRow& row = GetParam();
    EXPECT_EQ(deriveAccessMode(row.choices), row.mode);
    EXPECT_EQ(usesFixedReadOnlyPassword(row.choices), row.fixedPassword);
}

// Fields: readOnly, fullEdit, nonPassword, information, allView.
INSTANTIATE_TEST_SUITE_P(
    PasswordChoices, PasswordModeChoiceTest,
    ::testing::Values(ChoiceRow{{true, false, true, false, false}, {1, 0, 0}, true},
                      ChoiceRow{{false, true, true, false, false}, {0, 1, 0}, false},
                      ChoiceRow{{true, false, false, true, false}, {1, 0, 1}, false},
                      ChoiceRow{{false, true, false, false, true}, {0, 1, 2}, false},
                      ChoiceRow{{false, false, false, false, false}, {1, 0, 0}, false},
                      ChoiceRow{{true, true, false, true, true}, {0, 1, 1}, false},
                      ChoiceRow{{true, true, true, true, true}, {0, 1, 0}, true},
                      ChoiceRow{{false, false, false, false, true}, {1, 0, 2}, false}));

TEST(PasswordBinding, BuiltFromTheProject) {
    MapProject project;
    project.classCount = 3;
    project.gpsEnabled = 1;
    project.infoTextCount = 0x0105;
    project.versionText.assign("012345");
    project.classes[0].width = 640;
    project.databaseName.assign("Tokyo");
    EXPECT_EQ(mapBindingOf(project), (MapBinding{3, 1, 5, '1', 0x02, 0x80, 'T'}));

    const MapProject fresh;
    EXPECT_EQ(mapBindingOf(fresh), kZero);
}

}  // namespace
}  // namespace plotvane
