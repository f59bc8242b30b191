#include "database/input_rules.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace plotvane {

namespace {

constexpr std::size_t kNameReadLimit = 15;
constexpr std::size_t kVersionDigits = 5;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// An edit's text ends at its first NUL.
std::string_view untilNul(std::string_view text) {
    const std::size_t end = text.find('\0');
    return end == std::string_view::npos ? text : text.substr(0, end);
}

std::string_view firstBytes(std::string_view text, std::size_t limit) {
    return untilNul(text.substr(0, std::min(limit, text.size())));
}

Message warningBox(std::string text) { return warning(std::move(text), Icon::Exclamation); }

// ---- Coordinates

DmsAngle& angleOf(GeoBounds& bounds, CoordinateValue value) {
    switch (value) {
        case CoordinateValue::UpperLeftLat: return bounds.upperLeftLat;
        case CoordinateValue::UpperLeftLong: return bounds.upperLeftLong;
        case CoordinateValue::BottomRightLat: return bounds.bottomRightLat;
        case CoordinateValue::BottomRightLong: break;
    }
    return bounds.bottomRightLong;
}

std::int32_t& partOf(DmsAngle& angle, AnglePart part) {
    switch (part) {
        case AnglePart::Degrees: return angle.degrees;
        case AnglePart::Minutes: return angle.minutes;
        case AnglePart::Seconds: return angle.seconds;
        case AnglePart::Fraction: break;
    }
    return angle.milliseconds;
}

std::optional<std::int32_t> parseAnglePart(std::string_view text, AnglePart part, std::size_t fractionDigits) {
    const std::size_t limit = part == AnglePart::Degrees ? 3 : (part == AnglePart::Fraction ? fractionDigits : 2);
    const std::string_view read = firstBytes(text, limit);
    if (read.empty()) return std::nullopt;
    std::int32_t value = 0;
    for (char c : read) {
        if (!isDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    // Digits after the decimal point of the seconds, kept in thousandths.
    if (part == AnglePart::Fraction) value *= read.size() == 1 ? 100 : (read.size() == 2 ? 10 : 1);
    return value;
}

// At most 999 degrees and 99 of each other part: always below 2^32.
std::uint32_t totalOf(const DmsAngle& angle) {
    return static_cast<std::uint32_t>(angle.degrees) * 3600000u +
           static_cast<std::uint32_t>(angle.minutes) * 60000u +
           static_cast<std::uint32_t>(angle.seconds) * 1000u + static_cast<std::uint32_t>(angle.milliseconds);
}

// The decimal value, as the edits show it. Where fractions are read in
// thousandths, a fraction keeps three digits (leading zeros too), so that
// it reads back as the same thousandths.
std::string writeBackText(std::int32_t value, AnglePart part, std::size_t fractionDigits) {
    if (part != AnglePart::Fraction || fractionDigits <= 2) return std::to_string(value);
    char text[16];
    std::snprintf(text, sizeof text, "%03d", static_cast<int>(value));
    return text;
}

CoordinateParse refuseCoordinates(Feedback& feedback, std::string text) {
    feedback.show(warningBox(std::move(text)));
    CoordinateParse out;
    out.result = kCoordinatesRefused;
    out.switchGpsOff = true;
    return out;
}

// ---- Name and version

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '(' && c <= '9') || c == ' ';
}

// ---- Windows-1252

// Bytes 0x80..0x9F; the rest of the page above 0x7F is Latin-1.
constexpr std::array<char16_t, 32> kHighHalf = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Decodes the code point at `pos` and moves past it; nullopt when the
// sequence there is not well-formed UTF-8.
std::optional<char32_t> nextCodePoint(std::string_view utf8, std::size_t& pos) {
    const auto lead = static_cast<std::uint8_t>(utf8[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, smallest = 0x10000;
    } else {
        return std::nullopt;
    }
    if (utf8.size() - pos < length) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<std::uint8_t>(utf8[pos + k]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    pos += length;
    return cp;
}

std::optional<char> windows1252Byte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighHalf.size(); ++i)
        if (kHighHalf[i] == cp) return static_cast<char>(0x80 + i);
    return std::nullopt;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

CoordinateParse parseCoordinates(const CoordinateTexts& texts, GeoBounds& bounds, Feedback& feedback,
                                 std::size_t fractionDigits) {
    for (const CoordinateField& field : kCoordinateParseOrder) {
        const std::optional<std::int32_t> value =
            parseAnglePart(texts.at(field.value, field.part), field.part, fractionDigits);
        if (!value) return refuseCoordinates(feedback, "Please use Only Number in LAT/LONG Value");
        partOf(angleOf(bounds, field.value), field.part) = *value;
    }
    bounds.upperLeftLatTotal = totalOf(bounds.upperLeftLat);
    bounds.bottomRightLatTotal = totalOf(bounds.bottomRightLat);
    bounds.upperLeftLongTotal = totalOf(bounds.upperLeftLong);
    bounds.bottomRightLongTotal = totalOf(bounds.bottomRightLong);

    if (bounds.upperLeftLatTotal < bounds.bottomRightLatTotal)
        feedback.show(warningBox(
            "CAUTION!\nYou set value to LAT(upper-left) < LAT(bottom-right)\nThis Map for Southern-Hemisphere."));
    if (bounds.upperLeftLatTotal == bounds.bottomRightLatTotal)
        return refuseCoordinates(feedback, "Don't set same value to LAT(upper-left and bottom-right)");

    if (bounds.upperLeftLongTotal > bounds.bottomRightLongTotal)
        feedback.show(warningBox(
            "CAUTION!\nYou set value to LONG(upper-left) > LONG(bottom-right)\nThis Map for West-Longitude."));
    if (bounds.upperLeftLongTotal == bounds.bottomRightLongTotal)
        return refuseCoordinates(feedback, "Don't set same value to LONG(upper-left and bottom-right)");

    CoordinateParse out;
    for (const CoordinateField& field : kCoordinateParseOrder)
        out.writeBack.at(field.value, field.part) = writeBackText(partOf(angleOf(bounds, field.value), field.part),
                                                                  field.part, fractionDigits);
    return out;
}

FieldRule applyDatabaseNameRule(std::string_view text, FixedText<17>& databaseName, Feedback& feedback) {
    const std::string_view read = firstBytes(text, kNameReadLimit);
    FieldRule rule;
    std::size_t counted = 0;
    while (counted < read.size() && isNameCharacter(read[counted])) ++counted;
    if (counted < read.size()) {
        feedback.show(warningBox("Please use Only English/Number/Space in DataBase Name"));
        rule.result = kFieldRefused;
        rule.emptyControl = true;
    }
    if (counted == 0) {
        feedback.show(warningBox("Please input DataBase Name"));
        rule.result = kFieldRefused;
    }
    if (rule.result != 0) return rule;

    databaseName.assign(read);
    return rule;
}

FieldRule applyVersionRule(std::string_view text, FixedText<7>& versionText, Feedback& feedback) {
    const std::string_view read = firstBytes(text, kVersionDigits);
    FieldRule rule;
    for (std::size_t i = 0; i < kVersionDigits; ++i) {
        if (i < read.size() && isDigit(read[i])) continue;
        feedback.show(warningBox(i < read.size() ? "Please use number in Version" : "Please input 5number at Version"));
        rule.result = kFieldRefused;
        rule.emptyControl = true;
        return rule;
    }
    std::string stored = "0";
    stored.append(read);
    versionText.assign(stored);
    return rule;
}

IdentityRules applyIdentityRules(std::string_view nameText, std::string_view versionText, MapProject& project,
                                 Feedback& feedback) {
    const FieldRule name = applyDatabaseNameRule(nameText, project.databaseName, feedback);
    const FieldRule version = applyVersionRule(versionText, project.versionText, feedback);
    IdentityRules rules;
    rules.emptyNameControl = name.emptyControl;
    rules.emptyVersionControl = version.emptyControl;
    if (name.result != 0 || version.result != 0) {
        feedback.show(error("Cannot make Map Database!", Icon::Exclamation));
        rules.result = kIdentityRefused;
    }
    return rules;
}

MarkerBox placeMarkerBox(std::int32_t centreX, std::int32_t centreY, std::uint16_t width, std::uint16_t height) {
    // Returns the first and last pixel of the box along one axis of `size` pixels.
    auto span = [](std::int32_t centre, std::int32_t size) -> std::pair<std::uint16_t, std::uint16_t> {
        std::int32_t first = centre - 5;
        if (centre < 5) first = 0;
        else if (centre > size - 5) first = size - 10;
        first = std::max<std::int32_t>(first, 0);
        return {static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(first + 9)};
    };
    const auto [left, right] = span(centreX, width);
    const auto [top, bottom] = span(centreY, height);
    return {left, top, right, bottom};
}

void deleteInfoText(MapProject& project, int number) {
    const int count = std::min<int>(project.infoTextCount, kInfoTextSlots);
    if (number < 1 || number > count) return;
    for (int i = number; i < count; ++i) project.setInfoText(i - 1, project.infoText(i));
    project.setInfoText(count - 1, InfoText{});
    project.infoTextCount = static_cast<std::uint16_t>(count - 1);
}

InfoTextResult applyInfoTextButton(MapProject& project, std::string_view editText, Feedback& feedback) {
    const std::string_view text = firstBytes(editText, kInfoTextBytes);
    int selected = project.selectedInfoText;
    if (selected > project.infoTextCount) selected = 0;
    project.selectedInfoText = 0;

    if (text.empty()) {
        if (selected > 0) {
            deleteInfoText(project, selected);
            return InfoTextResult::Applied;
        }
        feedback.show(warningBox("Please input Information Text."));
        return InfoTextResult::Refused;
    }
    if (project.infoTextCount >= kInfoTextLimit) {
        feedback.show(warningBox("Information Text number over.(<100)"));
        return InfoTextResult::Refused;
    }
    if (selected > 0) {
        InfoText changed = project.infoText(selected - 1);
        changed.text = std::string(text);
        project.setInfoText(selected - 1, changed);
        return InfoTextResult::Applied;
    }
    const MapClassEntry& top = project.classes[0];
    const MarkerBox box = placeMarkerBox(project.previewCentreX, project.previewCentreY, top.width, top.height);
    project.setInfoText(project.infoTextCount, {std::string(text), box.left, box.top, box.right, box.bottom});
    ++project.infoTextCount;
    return InfoTextResult::Applied;
}

std::optional<std::string> utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::optional<char32_t> cp = nextCodePoint(utf8, pos);
        if (!cp) return std::nullopt;
        const std::optional<char> byte = windows1252Byte(*cp);
        if (!byte) return std::nullopt;
        out += *byte;
    }
    return out;
}

std::string windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        const char32_t cp = (b >= 0x80 && b < 0xA0) ? kHighHalf[b - 0x80] : b;
        appendUtf8(out, cp);
    }
    return out;
}

bool isWindows1252TextCharacter(char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    std::string utf8;
    if (c < 0x80) {
        utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
        utf8 += static_cast<char>(0xC0 | (c >> 6));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        utf8 += static_cast<char>(0xE0 | (c >> 12));
        utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        return false;  // beyond the Basic Multilingual Plane: no Windows-1252 byte
    }
    const auto bytes = utf8ToWindows1252(utf8);
    if (!bytes || bytes->size() != 1) return false;
    return isWindows1252TextByte(static_cast<std::uint8_t>((*bytes)[0]));
}

bool isWindows1252TextByte(std::uint8_t b) {
    return !(b < 0x20 || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D);
}

}  // namespace plotvane
