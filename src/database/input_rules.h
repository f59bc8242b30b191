#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "project/control_ids.h"
#include "project/feedback.h"
#include "project/map_project.h"

// The checks "Make PDB" and the information button make on the texts of the
// main dialog's edits. They take the texts as the edits hold them and say
// what the dialog must write back, so the window and the command line share
// them unchanged.
namespace plotvane {

// ---- Corner coordinates ----------------------------------------------------

enum class CoordinateValue : std::uint8_t { UpperLeftLat, UpperLeftLong, BottomRightLat, BottomRightLong };
enum class AnglePart : std::uint8_t { Degrees, Minutes, Seconds, Fraction };

struct CoordinateField {
    int controlId;
    CoordinateValue value;
    AnglePart part;
};

// The sixteen coordinate edits in the order they are parsed. The order
// matters: a failure leaves the parts before it parsed, the rest untouched.
inline constexpr std::array<CoordinateField, 16> kCoordinateParseOrder = {{
    {ids::kIdUpperLeftLatDegrees, CoordinateValue::UpperLeftLat, AnglePart::Degrees},
    {ids::kIdUpperLeftLongDegrees, CoordinateValue::UpperLeftLong, AnglePart::Degrees},
    {ids::kIdBottomRightLatDegrees, CoordinateValue::BottomRightLat, AnglePart::Degrees},
    {ids::kIdBottomRightLongDegrees, CoordinateValue::BottomRightLong, AnglePart::Degrees},
    {ids::kIdUpperLeftLatMinutes, CoordinateValue::UpperLeftLat, AnglePart::Minutes},
    {ids::kIdBottomRightLatMinutes, CoordinateValue::BottomRightLat, AnglePart::Minutes},
    {ids::kIdUpperLeftLongMinutes, CoordinateValue::UpperLeftLong, AnglePart::Minutes},
    {ids::kIdBottomRightLongMinutes, CoordinateValue::BottomRightLong, AnglePart::Minutes},
    {ids::kIdUpperLeftLatSeconds, CoordinateValue::UpperLeftLat, AnglePart::Seconds},
    {ids::kIdBottomRightLatSeconds, CoordinateValue::BottomRightLat, AnglePart::Seconds},
    {ids::kIdUpperLeftLongSeconds, CoordinateValue::UpperLeftLong, AnglePart::Seconds},
    {ids::kIdBottomRightLongSeconds, CoordinateValue::BottomRightLong, AnglePart::Seconds},
    {ids::kIdUpperLeftLatFraction, CoordinateValue::UpperLeftLat, AnglePart::Fraction},
    {ids::kIdUpperLeftLongFraction, CoordinateValue::UpperLeftLong, AnglePart::Fraction},
    {ids::kIdBottomRightLatFraction, CoordinateValue::BottomRightLat, AnglePart::Fraction},
    {ids::kIdBottomRightLongFraction, CoordinateValue::BottomRightLong, AnglePart::Fraction},
}};

// The texts of the sixteen coordinate edits. The dialog starts them at "0".
struct CoordinateTexts {
    std::array<std::array<std::string, 4>, 4> texts;  // [value][part]

    std::string& at(CoordinateValue value, AnglePart part) {
        return texts[static_cast<std::size_t>(value)][static_cast<std::size_t>(part)];
    }
    const std::string& at(CoordinateValue value, AnglePart part) const {
        return texts[static_cast<std::size_t>(value)][static_cast<std::size_t>(part)];
    }
    bool operator==(const CoordinateTexts&) const = default;
};

inline constexpr int kCoordinatesRefused = 1;

struct CoordinateParse {
    int result = 0;             // 0, or kCoordinatesRefused after its message
    bool switchGpsOff = false;  // set on failure: turn the calibration off as the GPS-off button does
    CoordinateTexts writeBack;  // on success: the decimal values to put back into the edits
};

// Parses the sixteen parts into `bounds` in kCoordinateParseOrder, computes
// the four totals and checks latitudes, then longitudes. Degrees are read as
// at most 3 characters, the other parts as at most 2; every character read
// must be a digit and a part may not be empty. No range check: minutes and
// seconds above 59 pass.
// A fraction is the digits after the decimal point of the seconds, kept in
// thousandths ("5" is 500, "12" is 120). Cautions (southern latitudes,
// western longitudes) go on; every failure shows its message, leaves the
// parts parsed so far in `bounds` and asks for GPS off. Messages are titled
// "Warning" with the exclamation icon.
// The dialog's fraction edits hold two digits; the command line, which
// takes decimal degrees rounded to thousandths of a second, passes
// `fractionDigits` 3, and a three-digit fraction is then in thousandths.
inline constexpr std::size_t kEditFractionDigits = 2;
CoordinateParse parseCoordinates(const CoordinateTexts& texts, GeoBounds& bounds, Feedback& feedback,
                                 std::size_t fractionDigits = kEditFractionDigits);

// ---- Database name and version -------------------------------------------

inline constexpr int kFieldRefused = 1;

struct FieldRule {
    int result = 0;             // 0, or kFieldRefused after its message(s)
    bool emptyControl = false;  // the edit must be emptied
};

// At most 15 characters up to the first NUL; letters, '(' to '9' in ASCII
// order and the space are allowed. At the first other character:
// "Please use Only English/Number/Space in DataBase Name" and the edit is
// emptied; with nothing allowed before it (or an empty name):
// "Please input DataBase Name". Both "Warning", exclamation. Only an
// accepted name is written, zero-padded, into `databaseName`.
FieldRule applyDatabaseNameRule(std::string_view text, FixedText<17>& databaseName, Feedback& feedback);

// Exactly five digits (at most 5 characters read): a non-digit gives
// "Please use number in Version", a text ending early "Please input 5number
// at Version"; either empties the edit. Both "Warning", exclamation. An
// accepted version is written as "0" and the five digits.
FieldRule applyVersionRule(std::string_view text, FixedText<7>& versionText, Feedback& feedback);

inline constexpr int kIdentityRefused = 1;

struct IdentityRules {
    int result = 0;  // 0, or kIdentityRefused after "Cannot make Map Database!"
    bool emptyNameControl = false;
    bool emptyVersionControl = false;
};

// Both rules always run, so both can report; if either refuses, then
// "Cannot make Map Database!" (title "Error", exclamation).
IdentityRules applyIdentityRules(std::string_view nameText, std::string_view versionText, MapProject& project,
                                 Feedback& feedback);

// ---- Information texts ------------------------------------------------------

struct MarkerBox {
    std::uint16_t left = 0;
    std::uint16_t top = 0;
    std::uint16_t right = 0;
    std::uint16_t bottom = 0;

    bool operator==(const MarkerBox&) const = default;
};

// The 10 x 10 marker box of a new text at the preview centre, in Class 1
// pixels of a `width` x `height` bitmap: the centre is the box's sixth
// pixel in each direction, and a box that would cross an edge is pushed
// inside. A bitmap smaller than 10 pixels (never a valid class) gets a box
// starting at 0.
MarkerBox placeMarkerBox(std::int32_t centreX, std::int32_t centreY, std::uint16_t width, std::uint16_t height);

// Deletes text `number` (1-based); the texts after it move down one place
// with their boxes. Numbers outside 1..infoTextCount change nothing.
void deleteInfoText(MapProject& project, int number);

// What the information button did.
enum class InfoTextResult : int {
    Applied = 0,  // a text added, replaced or deleted
    Refused = 1,  // after its message
};

// The information button. `editText` is the edit's text as the bytes that
// are stored (Windows-1252); at most 48 bytes are read, up to the first NUL.
// Empty text deletes the selected text or shows "Please input Information
// Text."; otherwise with 99 texts "Information Text number over.(<100)"
// (also when replacing); else the selected text is replaced (its box stays)
// or a new text is added with its box at the preview centre. Messages:
// "Warning", exclamation. The selection is always cleared afterwards; the
// caller then empties the edit, shows the counter and repaints.
// A selection beyond infoTextCount is treated as no selection.
InfoTextResult applyInfoTextButton(MapProject& project, std::string_view editText, Feedback& feedback);

// ---- Windows-1252 ------------------------------------------------------------

// The handheld stores texts as Windows-1252 bytes. The five bytes the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) pair with the C1
// controls of the same value, as the desktop conversion does, so every
// byte string decodes and encodes back unchanged.

// nullopt when the UTF-8 is malformed (overlong, surrogate, truncated,
// beyond U+10FFFF) or a character has no Windows-1252 byte.
std::optional<std::string> utf8ToWindows1252(std::string_view utf8);

std::string windows1252ToUtf8(std::string_view bytes);

// A character an information text may hold: one Windows-1252 byte that is
// not a control character.
bool isWindows1252TextCharacter(char32_t c);
// The same rule for a Windows-1252 byte: not a C0 control, DEL or one of
// the bytes that stand for a C1 control.
bool isWindows1252TextByte(std::uint8_t b);

}  // namespace plotvane
