#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "project/feedback.h"
#include "project/map_project.h"

namespace plotvane {

inline constexpr std::size_t kPasswordLength = 8;
inline constexpr int kAccessCodeCount = 6;

// View mode x 2 + full-edit flag: 0..5.
using AccessCode = std::uint8_t;

// The three mode bytes of AccessSettings. Every setting the dialogs produce
// has exactly one of the two edit flags set.
struct AccessMode {
    std::uint8_t readOnly = 0;
    std::uint8_t fullEdit = 0;
    std::uint8_t viewMode = 0;

    bool operator==(const AccessMode&) const = default;
};

constexpr AccessCode accessCodeOf(const AccessMode& mode) {
    return static_cast<AccessCode>(mode.viewMode * 2 + (mode.fullEdit != 0 ? 1 : 0));
}
// Code 3 is Information + Full Edit OK: {readOnly 0, fullEdit 1, viewMode 1}.
AccessMode accessModeOf(AccessCode code);

// Seven properties of the map mixed into its EncodedPassword, so that the
// same password encodes differently for another map. The database stores
// the same properties, so a loaded database reproduces its binding.
using MapBinding = std::array<std::uint8_t, 7>;

// classCount, gpsEnabled and infoTextCount (low bytes), the first version
// digit, the Class 1 width (high byte, low byte), the first name character.
MapBinding mapBindingOf(const MapProject& project);

// Check character, then seven characters of the 64-value alphabet.
using EncodedPassword = std::array<char, kPasswordLength>;

// Key bytes per AccessCode. DO NOT CHANGE a single byte: every database
// already written stores passwords encoded with these rows, and changing
// them locks their users out of every one of those maps.
// The rows are chosen so that for any password no two rows give the same
// seven characters: at every position the keys of two rows differ by an
// amount whose half never wraps to a multiple of 64.
inline constexpr std::array<std::array<std::uint8_t, 7>, kAccessCodeCount> kModeKeyTable = {{
    {0x5C, 0xE1, 0x37, 0x9A, 0x12, 0xC8, 0x6B},
    {0xA3, 0x1E, 0xD4, 0x45, 0x7F, 0x09, 0xF2},
    {0x2B, 0x96, 0x61, 0xEC, 0xB7, 0x53, 0x0D},
    {0xF0, 0x4A, 0x8C, 0x27, 0xD9, 0x75, 0xAE},
    {0x81, 0xBD, 0x1A, 0x68, 0x33, 0xE5, 0x4F},
    {0x39, 0x07, 0xB2, 0xCF, 0x5E, 0x9C, 0x84},
}};

// Stands in for a typed password when Non Password and Read Only are
// chosen; such a map then opens read-only without a prompt. DO NOT CHANGE:
// maps already written with it would ask for a password nobody knows.
inline constexpr std::string_view kFixedReadOnlyPassword = "Kx7mQ2vR";

// Characters of a UTF-8 text as a person types them; a byte that is not
// valid UTF-8 counts as one character.
std::size_t passwordCharacterCount(std::string_view text);

// The rule both password dialogs apply to their field, a UTF-8 text. Only
// the first 8 characters are read, as the field takes no more; a longer
// text is judged (and later encoded) by those 8. Any character but
// 'A'..'Z', 'a'..'z' and '0'..'9' fails. On failure shows
// "Password character use alphabet or number." (exactly 8 characters) or
// "Password must 8 characters." (any other length), title "Error",
// exclamation icon, and returns false.
bool checkPasswordRule(std::string_view text, Feedback& feedback);

// The seven alphabet characters for `password` under key row `code` and
// `binding`, without the check character. Bytes missing from a password
// shorter than 8 count as zero.
std::array<char, 7> encodedCharacters(std::string_view password, AccessCode code,
                                      const MapBinding& binding);

// r of the check character: the 8-bit wrapping sum of the seven characters
// read as a signed byte, remainder by 20 truncated toward zero (-19..19).
int checkOffset(const std::array<char, 7>& characters);

// 'A' + view mode (code / 2) + r, then the seven characters. `code` must be 0..5.
EncodedPassword encodePassword(std::string_view password, AccessCode code,
                               const MapBinding& binding);

struct PasswordCheck {
    bool ok = false;
    AccessMode mode;  // all zero unless ok
};

// The OK of the check dialog: the password rule on `typed` (with its
// messages), then the key rows in order 0..5. The first row whose seven
// characters equal stored[1..7] and whose base l = 'A' + r satisfies
// l <= stored[0] <= l + 2 (signed bytes) decides: accepted when
// stored[0] - l is that row's view mode, otherwise "Invalid Password."
// (title "Error", exclamation) and refused. No matching row: refused
// silently (the caller reports it). `stored` is the 8 stored bytes; a
// shorter view or a zero byte among them never matches.
PasswordCheck checkPassword(std::string_view typed, std::string_view stored,
                            const MapBinding& binding, Feedback& feedback);

// Whether `stored` is kFixedReadOnlyPassword under row 0 and `binding`;
// such a map loads read-only with view mode 0 and no prompt. The check
// character is only tested for the range l..l+2, not for the view mode.
bool autoCheckReadOnly(std::string_view stored, const MapBinding& binding);

// The five radio choices of the input dialog. They are not exclusive by
// themselves, so every combination must give a defined mode.
struct ModeChoices {
    bool readOnly = false;
    bool fullEdit = false;
    bool nonPassword = false;
    bool information = false;
    bool allView = false;

    bool operator==(const ModeChoices&) const = default;
};

// The choices the input dialog opens with for the current mode bytes.
ModeChoices choicesFor(const AccessMode& mode);

// Read-only with view mode 0 unless the choices say otherwise: Full Edit OK
// wins over Read Only, and the first chosen of Non Password, Information,
// All view gives the view mode.
AccessMode deriveAccessMode(const ModeChoices& choices);

// Non Password with Read Only: the password field is ignored (and
// read-only), kFixedReadOnlyPassword is encoded and no second entry is asked.
bool usesFixedReadOnlyPassword(const ModeChoices& choices);

}  // namespace plotvane
