// The three password dialogs driven as a user drives them: clicks, typing,
// OK and Cancel played by the scripted platform inside each modal dialog.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <array>
#include <string>
#include <vector>

#include "access/password_codec.h"
#include "app/password_dialogs.h"
#include "project/control_ids.h"
#include "support/scripted_platform.h"

namespace plotvane::test {
namespace {

using app::PasswordCheckDialog;
using app::PasswordInputDialog;
using ui::DialogId;
using ui::DialogResult;

constexpr DialogId kInput = DialogId::PasswordInput;
constexpr DialogId kAgain = DialogId::PasswordAgain;
constexpr DialogId kCheck = DialogId::PasswordCheck;
const MapBinding kBinding = {2, 1, 3, '1', 0x01, 0x40, 'T'};

const Message kTooShort = error("Password must 8 characters.", Icon::Exclamation);
const Message kBadCharacter = error("Password character use alphabet or number.", Icon::Exclamation);
const Message kNotSame = error("This Password is not same first-password !", Icon::Exclamation);
const Message kCannotChange = warning("The loading PDB-file cannot change mode.", Icon::Exclamation);
const Message kInvalid = error("Invalid Password.", Icon::Exclamation);

constexpr AccessMode kStartMode{0, 1, 0};  // Non Password, Full Edit OK

UserAction typeIn(DialogId dialog, std::string text) { return type(dialog, ids::kIdPasswordEdit, std::move(text)); }
UserAction ok(DialogId dialog) { return click(dialog, ids::kIdOk); }
UserAction cancel(DialogId dialog) { return click(dialog, ids::kIdCancel); }

// The radio marks in the order Read Only, Full Edit OK, Non Password,
// Information, All view.
using Marks = std::array<bool, 5>;
constexpr std::array<int, 5> kRadioIds = {ids::kIdReadOnly, ids::kIdFullEdit, ids::kIdNonPassword,
                                          ids::kIdInformation, ids::kIdAllView};

Marks marksOf(const ScriptedPlatform& platform) {
    Marks m{};
    for (std::size_t i = 0; i < m.size(); ++i) m[i] = platform.control(kRadioIds[i], kInput).checked;
    return m;
}

// ---- The input dialog from opening to its result -----------------------------

struct InputCase {
    const char* label;
    AccessMode start;
    std::vector<UserAction> script;
    DialogResult result;
    bool ok;
    AccessMode mode;           // when ok
    std::string password;      // encoded when ok
    std::vector<Message> messages;
    std::vector<DialogId> dialogs;
};
void PrintTo(const InputCase& c, std::ostream* os) { *os << c.label; }

class PasswordInput : public ::testing::TestWithParam<InputCase> {};

TEST_P(PasswordInput, EndsWithTheResultTheUserGave) {
    const InputCase& c = GetParam();
    ScriptedPlatform platform;
    for (const UserAction& a : c.script) platform.queue(a);
    PasswordInputDialog dialog(platform, kBinding, c.start, false);

    EXPECT_EQ(platform.runModal(kInput, dialog), c.result);
    EXPECT_TRUE(platform.allActionsPlayed());
    EXPECT_EQ(dialog.ok(), c.ok);
    EXPECT_EQ(platform.messages(), c.messages);
    EXPECT_EQ(platform.dialogsShown(), c.dialogs);
    if (c.ok) {
        EXPECT_EQ(dialog.mode(), c.mode);
        EXPECT_EQ(dialog.encoded(), encodePassword(c.password, accessCodeOf(c.mode), kBinding));
    }
    // Every showing of either dialog opens an empty field of 8 characters.
    const auto& log = platform.log();
    for (const char* dialogKey : {"161", "162"}) {
        const auto shown = std::count(log.begin(), log.end(), std::string("dialog ") + dialogKey);
        EXPECT_EQ(std::count(log.begin(), log.end(), std::string("limit ") + dialogKey + "/1048=8"), shown);
        EXPECT_EQ(std::count(log.begin(), log.end(), std::string("text ") + dialogKey + "/1048="), shown);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, PasswordInput,
    ::testing::Values(
        InputCase{"TypedTwice",
                  kStartMode,
                  {typeIn(kInput, "Abcd1234"), ok(kInput), typeIn(kAgain, "Abcd1234"), ok(kAgain)},
                  DialogResult::Ok, true, {0, 1, 0}, "Abcd1234", {}, {kInput, kAgain}},
        // The field takes 8 characters; the ninth is never typed.
        InputCase{"NinthCharacterNotTaken",
                  kStartMode,
                  {typeIn(kInput, "Abcd12345"), ok(kInput), typeIn(kAgain, "Abcd1234"), ok(kAgain)},
                  DialogResult::Ok, true, {0, 1, 0}, "Abcd1234", {}, {kInput, kAgain}},
        // Non Password with Read Only: the field takes nothing and no second entry is asked.
        InputCase{"NonPasswordReadOnlyUsesTheFixedPassword",
                  kStartMode,
                  {click(kInput, ids::kIdReadOnly), typeIn(kInput, "Abcd1234"), ok(kInput)},
                  DialogResult::Ok, true, {1, 0, 0}, std::string(kFixedReadOnlyPassword), {}, {kInput}},
        InputCase{"MismatchOnceThenSame",
                  kStartMode,
                  {click(kInput, ids::kIdAllView), click(kInput, ids::kIdReadOnly), typeIn(kInput, "ABCD1234"),
                   ok(kInput), typeIn(kAgain, "abcd1234"), ok(kAgain), typeIn(kAgain, "ABCD1234"), ok(kAgain)},
                  DialogResult::Ok, true, {1, 0, 2}, "ABCD1234", {kNotSame}, {kInput, kAgain, kAgain}},
        // The second entry is only compared, never judged by the rule.
        InputCase{"SecondEntryEmptyIsAMismatch",
                  kStartMode,
                  {click(kInput, ids::kIdInformation), typeIn(kInput, "Zz09Zz09"), ok(kInput), ok(kAgain),
                   typeIn(kAgain, "Zz09Zz09"), ok(kAgain)},
                  DialogResult::Ok, true, {0, 1, 1}, "Zz09Zz09", {kNotSame}, {kInput, kAgain, kAgain}},
        InputCase{"CancelOfTheSecondEntryClosesWithOkNotAccepted",
                  kStartMode,
                  {typeIn(kInput, "Abcd1234"), ok(kInput), typeIn(kAgain, "Abcd1234"), cancel(kAgain)},
                  DialogResult::Ok, false, {}, {}, {}, {kInput, kAgain}},
        InputCase{"SevenCharacters",
                  kStartMode,
                  {typeIn(kInput, "Abcd123"), ok(kInput)},
                  DialogResult::Ok, false, {}, {}, {kTooShort}, {kInput}},
        InputCase{"Empty", kStartMode, {ok(kInput)}, DialogResult::Ok, false, {}, {}, {kTooShort}, {kInput}},
        InputCase{"UnderscoreInEight",
                  kStartMode,
                  {typeIn(kInput, "Abcd_123"), ok(kInput)},
                  DialogResult::Ok, false, {}, {}, {kBadCharacter}, {kInput}},
        InputCase{"BlankInEight",
                  kStartMode,
                  {typeIn(kInput, "Abc 1234"), ok(kInput)},
                  DialogResult::Ok, false, {}, {}, {kBadCharacter}, {kInput}},
        // Characters count as typed: seven of them in eight UTF-8 bytes, eight in nine.
        InputCase{"SevenWithAccent",
                  kStartMode,
                  {typeIn(kInput, "Abcd12\u00e9"), ok(kInput)},
                  DialogResult::Ok, false, {}, {}, {kTooShort}, {kInput}},
        InputCase{"EightWithAccent",
                  kStartMode,
                  {typeIn(kInput, "Abcd123\u00e9"), ok(kInput)},
                  DialogResult::Ok, false, {}, {}, {kBadCharacter}, {kInput}},
        InputCase{"HyphenInSeven",
                  kStartMode,
                  {typeIn(kInput, "Abc-123"), ok(kInput)},
                  DialogResult::Ok, false, {}, {}, {kTooShort}, {kInput}},
        InputCase{"Cancel",
                  kStartMode,
                  {typeIn(kInput, "Abcd1234"), cancel(kInput)},
                  DialogResult::Cancel, false, {}, {}, {}, {kInput}},
        // A loaded Read Only map: the fixed password, as loaded.
        InputCase{"StartsFromTheCurrentModes",
                  {1, 0, 0},
                  {ok(kInput)},
                  DialogResult::Ok, true, {1, 0, 0}, std::string(kFixedReadOnlyPassword), {}, {kInput}}),
    [](const ::testing::TestParamInfo<InputCase>& info) { return std::string(info.param.label); });

// ---- Marks, exclusivity and the field's read-only state ----------------------

struct MarksCase {
    const char* label;
    AccessMode start;
    std::vector<int> clicks;
    Marks marks;
    bool fieldReadOnly;
};
void PrintTo(const MarksCase& c, std::ostream* os) { *os << c.label; }

class PasswordInputMarks : public ::testing::TestWithParam<MarksCase> {};

TEST_P(PasswordInputMarks, DialogKeepsTheChoicesExclusive) {
    const MarksCase& c = GetParam();
    ScriptedPlatform platform;
    for (int id : c.clicks) platform.queue(click(kInput, id));
    platform.queue(cancel(kInput));
    PasswordInputDialog dialog(platform, kBinding, c.start, false);
    platform.runModal(kInput, dialog);

    EXPECT_EQ(marksOf(platform), c.marks);
    EXPECT_EQ(platform.control(ids::kIdPasswordEdit, kInput).readOnly, c.fieldReadOnly);
    EXPECT_TRUE(platform.messages().empty());
}

//                          RO     FE     NP     Inf    All
INSTANTIATE_TEST_SUITE_P(
    Clicks, PasswordInputMarks,
    ::testing::Values(
        MarksCase{"Defaults", kStartMode, {}, {false, true, true, false, false}, false},
        MarksCase{"LoadedModesShow", {1, 0, 2}, {}, {true, false, false, false, true}, false},
        MarksCase{"ReadOnlyWithNonPassword", kStartMode, {ids::kIdReadOnly}, {true, false, true, false, false}, true},
        MarksCase{"InformationFreesTheField", kStartMode, {ids::kIdReadOnly, ids::kIdInformation},
                  {true, false, false, true, false}, false},
        MarksCase{"NonPasswordAgainLocksIt", kStartMode,
                  {ids::kIdReadOnly, ids::kIdAllView, ids::kIdNonPassword}, {true, false, true, false, false}, true},
        MarksCase{"FullEditFreesTheField", kStartMode, {ids::kIdReadOnly, ids::kIdFullEdit},
                  {false, true, true, false, false}, false},
        MarksCase{"AllViewClearsInformation", {1, 0, 1}, {ids::kIdAllView}, {true, false, false, false, true}, false},
        MarksCase{"ChosenAgainChangesNothing", kStartMode, {ids::kIdFullEdit, ids::kIdNonPassword},
                  {false, true, true, false, false}, false}),
    [](const ::testing::TestParamInfo<MarksCase>& info) { return std::string(info.param.label); });

// ---- After a load no mode changes ---------------------------------------------

struct LoadedCase {
    const char* label;
    int clicked;
    bool refused;
};
void PrintTo(const LoadedCase& c, std::ostream* os) { *os << c.label; }

class PasswordInputLoaded : public ::testing::TestWithParam<LoadedCase> {};

TEST_P(PasswordInputLoaded, RefusesEveryChangeAndWritesTheLoadedModes) {
    const LoadedCase& c = GetParam();
    const AccessMode loaded{0, 1, 1};  // Information, Full Edit OK
    ScriptedPlatform platform;
    platform.queue({click(kInput, c.clicked), typeIn(kInput, "Abcd1234"), ok(kInput), typeIn(kAgain, "Abcd1234"),
                    ok(kAgain)});
    PasswordInputDialog dialog(platform, kBinding, loaded, true);

    EXPECT_EQ(platform.runModal(kInput, dialog), DialogResult::Ok);
    EXPECT_EQ(platform.messages(), c.refused ? std::vector<Message>{kCannotChange} : std::vector<Message>{});
    EXPECT_EQ(marksOf(platform), (Marks{false, true, false, true, false}));
    ASSERT_TRUE(dialog.ok());
    EXPECT_EQ(dialog.mode(), loaded);
    EXPECT_EQ(dialog.encoded(), encodePassword("Abcd1234", 3, kBinding));
}

INSTANTIATE_TEST_SUITE_P(Clicks, PasswordInputLoaded,
                         ::testing::Values(LoadedCase{"ReadOnly", ids::kIdReadOnly, true},
                                           LoadedCase{"FullEditChosen", ids::kIdFullEdit, false},
                                           LoadedCase{"NonPassword", ids::kIdNonPassword, true},
                                           LoadedCase{"InformationChosen", ids::kIdInformation, false},
                                           LoadedCase{"AllView", ids::kIdAllView, true}),
                         [](const ::testing::TestParamInfo<LoadedCase>& info) { return std::string(info.param.label); });

// ---- The check dialog ---------------------------------------------------------

struct CheckCase {
    const char* label;
    AccessCode storedCode;
    int checkShift;  // added to the stored check character
    std::vector<UserAction> script;
    bool answered;   // false: cancelled
    bool ok;
    std::vector<Message> messages;
};
void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.label; }

class PasswordCheckRun : public ::testing::TestWithParam<CheckCase> {};

TEST_P(PasswordCheckRun, GivesWhatFileLoadActsOn) {
    const CheckCase& c = GetParam();
    EncodedPassword stored = encodePassword("Sea4Sun2", c.storedCode, kBinding);
    stored[0] = static_cast<char>(stored[0] + c.checkShift);
    ScriptedPlatform platform;
    for (const UserAction& a : c.script) platform.queue(a);

    const auto result = app::runPasswordCheckDialog(platform, std::string_view(stored.data(), stored.size()), kBinding);

    EXPECT_TRUE(platform.allActionsPlayed());
    EXPECT_EQ(platform.control(ids::kIdPasswordEdit, kCheck).limit, 8);
    EXPECT_EQ(platform.messages(), c.messages);
    ASSERT_EQ(result.has_value(), c.answered);
    if (!result) return;
    EXPECT_EQ(result->ok, c.ok);
    EXPECT_EQ(result->mode, c.ok ? accessModeOf(c.storedCode) : AccessMode{});
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, PasswordCheckRun,
    ::testing::Values(
        CheckCase{"Correct", 3, 0, {typeIn(kCheck, "Sea4Sun2"), ok(kCheck)}, true, true, {}},
        CheckCase{"CorrectAllViewReadOnly", 4, 0, {typeIn(kCheck, "Sea4Sun2"), ok(kCheck)}, true, true, {}},
        CheckCase{"OtherCaseRefusedSilently", 3, 0, {typeIn(kCheck, "sea4sun2"), ok(kCheck)}, true, false, {}},
        CheckCase{"CheckCharacterOfAnotherView", 2, 1, {typeIn(kCheck, "Sea4Sun2"), ok(kCheck)}, true, false,
                  {kInvalid}},
        CheckCase{"SevenCharacters", 3, 0, {typeIn(kCheck, "Sea4Sun"), ok(kCheck)}, true, false, {kTooShort}},
        CheckCase{"BadCharacter", 3, 0, {typeIn(kCheck, "Sea4Sun!"), ok(kCheck)}, true, false, {kBadCharacter}},
        CheckCase{"SevenWithAccent", 3, 0, {typeIn(kCheck, "Sea4Su\u00f1"), ok(kCheck)}, true, false, {kTooShort}},
        CheckCase{"EightWithAccent", 3, 0, {typeIn(kCheck, "Sea4Sun\u00f1"), ok(kCheck)}, true, false,
                  {kBadCharacter}},
        CheckCase{"Cancel", 3, 0, {typeIn(kCheck, "Sea4Sun2"), cancel(kCheck)}, false, false, {}}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace plotvane::test
