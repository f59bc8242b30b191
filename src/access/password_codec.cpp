#include "access/password_codec.h"

#include <algorithm>
#include <cassert>

namespace plotvane {

namespace {

constexpr std::string_view kAlphabet =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz--";
static_assert(kAlphabet.size() == 64);

bool isPasswordCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::uint8_t byteAt(std::string_view text, std::size_t i) {
    return i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0;
}

const std::array<std::uint8_t, 7>& keyRow(AccessCode code) {
    assert(code < kAccessCodeCount);
    return kModeKeyTable[std::min<std::size_t>(code, kAccessCodeCount - 1)];
}

// The row matches when its characters equal stored[1..7] and stored[0]
// lies in l..l+2; returns stored[0] - l then, otherwise -1.
int matchRow(std::string_view stored, const std::array<char, 7>& characters) {
    if (stored.size() < kPasswordLength) return -1;
    for (std::size_t i = 0; i < characters.size(); ++i)
        if (stored[i + 1] != characters[i]) return -1;
    const int base = 'A' + checkOffset(characters);
    const int check = static_cast<signed char>(stored[0]);
    if (check < base || check > base + 2) return -1;
    return check - base;
}

}  // namespace

AccessMode accessModeOf(AccessCode code) {
    AccessMode mode;
    mode.fullEdit = static_cast<std::uint8_t>(code % 2);
    mode.readOnly = static_cast<std::uint8_t>(1 - mode.fullEdit);
    mode.viewMode = static_cast<std::uint8_t>(code / 2);
    return mode;
}

MapBinding mapBindingOf(const MapProject& project) {
    const std::uint16_t width = project.classes[0].width;
    return {
        static_cast<std::uint8_t>(project.classCount),
        static_cast<std::uint8_t>(project.gpsEnabled),
        static_cast<std::uint8_t>(project.infoTextCount),
        static_cast<std::uint8_t>(project.versionText.bytes[1]),
        static_cast<std::uint8_t>(width >> 8),
        static_cast<std::uint8_t>(width),
        static_cast<std::uint8_t>(project.databaseName.bytes[0]),
    };
}

std::size_t passwordCharacterCount(std::string_view text) {
    std::size_t count = 0;
    bool inSequence = false;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        // A continuation byte belongs to the character before it only when
        // that one began a multi-byte sequence; a stray one counts alone.
        if ((byte & 0xC0u) == 0x80u && inSequence) continue;
        ++count;
        inSequence = byte >= 0xC0u;
    }
    return count;
}

bool checkPasswordRule(std::string_view text, Feedback& feedback) {
    // The field holds characters as a person types them: a letter outside
    // ASCII is one (failing) character, however many bytes it takes.
    std::size_t read = 0;
    bool allPass = true;
    bool inSequence = false;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0u) == 0x80u && inSequence) continue;
        if (read == kPasswordLength) break;
        ++read;
        inSequence = byte >= 0xC0u;
        if (!isPasswordCharacter(c)) allPass = false;
    }
    if (allPass && read == kPasswordLength) return true;

    if (read == kPasswordLength)
        feedback.show(error("Password character use alphabet or number.", Icon::Exclamation));
    else
        feedback.show(error("Password must 8 characters.", Icon::Exclamation));
    return false;
}

std::array<char, 7> encodedCharacters(std::string_view password, AccessCode code,
                                      const MapBinding& binding) {
    // The first character only counts through its sum with the second.
    std::array<std::uint8_t, 7> q{};
    q[0] = static_cast<std::uint8_t>(byteAt(password, 0) + byteAt(password, 1));
    for (std::size_t i = 1; i < q.size(); ++i) q[i] = byteAt(password, i + 1);

    const auto& key = keyRow(code);
    std::array<char, 7> out{};
    for (std::size_t i = 0; i < out.size(); ++i) {
        // q + K is halved at full width (up to 510), not wrapped to 8 bits first.
        const unsigned half = (static_cast<unsigned>(q[i]) + key[i]) / 2;
        out[i] = kAlphabet[(half + binding[i]) % 64];
    }
    return out;
}

int checkOffset(const std::array<char, 7>& characters) {
    std::uint8_t sum = 0;
    for (char c : characters) sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
    const int s = static_cast<std::int8_t>(sum);
    return s % 20;
}

EncodedPassword encodePassword(std::string_view password, AccessCode code,
                               const MapBinding& binding) {
    const std::array<char, 7> characters = encodedCharacters(password, code, binding);
    EncodedPassword out{};
    out[0] = static_cast<char>('A' + code / 2 + checkOffset(characters));
    std::copy(characters.begin(), characters.end(), out.begin() + 1);
    return out;
}

PasswordCheck checkPassword(std::string_view typed, std::string_view stored,
                            const MapBinding& binding, Feedback& feedback) {
    if (!checkPasswordRule(typed, feedback)) return {};
    const std::string_view password = typed.substr(0, kPasswordLength);

    for (int c = 0; c < kAccessCodeCount; ++c) {
        const auto code = static_cast<AccessCode>(c);
        const int offset = matchRow(stored, encodedCharacters(password, code, binding));
        if (offset < 0) continue;
        // The first matching row decides, even when its view mode disagrees.
        const AccessMode mode = accessModeOf(code);
        if (offset != mode.viewMode) {
            feedback.show(error("Invalid Password.", Icon::Exclamation));
            return {};
        }
        return {true, mode};
    }
    return {};
}

bool autoCheckReadOnly(std::string_view stored, const MapBinding& binding) {
    return matchRow(stored, encodedCharacters(kFixedReadOnlyPassword, 0, binding)) >= 0;
}

ModeChoices choicesFor(const AccessMode& mode) {
    ModeChoices choices;
    choices.readOnly = mode.readOnly == 1;
    choices.fullEdit = mode.fullEdit == 1;
    choices.nonPassword = mode.viewMode == 0;
    choices.information = mode.viewMode == 1;
    choices.allView = mode.viewMode == 2;
    return choices;
}

AccessMode deriveAccessMode(const ModeChoices& choices) {
    AccessMode mode{1, 0, 0};
    if (choices.fullEdit) mode = {0, 1, 0};
    if (choices.nonPassword)
        mode.viewMode = 0;
    else if (choices.information)
        mode.viewMode = 1;
    else if (choices.allView)
        mode.viewMode = 2;
    return mode;
}

bool usesFixedReadOnlyPassword(const ModeChoices& choices) {
    return choices.nonPassword && choices.readOnly;
}

}  // namespace plotvane
