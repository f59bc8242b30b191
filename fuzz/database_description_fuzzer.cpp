// `info` on arbitrary bytes: the description through the one reader and
// both forms it is printed in, and the password check of the database's
// stored password. A printed JSON object must parse, and a password
// encoded for the stored binding must pass the check in its own mode.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "access/password_codec.h"
#include "cli/info_output.h"
#include "database/map_database.h"
#include "database/map_description.h"
#include "seeds.h"

namespace {

using namespace plotvane;

class SilentFeedback : public Feedback {
public:
    void show(const Message&) override {}
};

// The typed password: the input's last eight bytes, as a person might type anything.
std::string_view typedPassword(std::span<const std::uint8_t> bytes) {
    const std::size_t n = bytes.size() < kPasswordLength ? bytes.size() : kPasswordLength;
    return {reinterpret_cast<const char*>(bytes.data() + bytes.size() - n), n};
}

void checkStoredPassword(std::span<const std::uint8_t> bytes) {
    DatabaseHeaderSummary summary;
    if (checkDatabaseHeader(spanReader(bytes), summary) != ParseResult::Parsed) return;
    const std::string_view stored(summary.loadedPassword.data(), kPasswordLength);
    SilentFeedback feedback;
    autoCheckReadOnly(stored, summary.loadedBinding);
    const std::string_view typed = typedPassword(bytes);
    const PasswordCheck check = checkPassword(typed, stored, summary.loadedBinding, feedback);
    if (check.ok && !checkPasswordRule(typed, feedback)) __builtin_trap();
    if (!checkPasswordRule(typed, feedback)) return;
    // Whatever the database's binding, the typed password encoded for it
    // opens in the mode it was encoded with.
    const AccessCode code = static_cast<AccessCode>(bytes.size() % kAccessCodeCount);
    const EncodedPassword made = encodePassword(typed, code, summary.loadedBinding);
    const PasswordCheck again =
        checkPassword(typed, std::string_view(made.data(), made.size()), summary.loadedBinding, feedback);
    if (!again.ok || again.mode != accessModeOf(code)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    plotvane::fuzz::writeSeedsIfEmpty(*argc, *argv, plotvane::fuzz::databaseSeeds());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    SilentFeedback feedback;
    MapDescription description;
    if (describeMapDatabaseBytes(bytes, feedback, description) == DatabaseCheck::Ok) {
        const std::string text = cli::infoText(description);
        if (text.empty() || !nlohmann::json::accept(cli::infoJson(description))) __builtin_trap();
    }
    checkStoredPassword(bytes);
    return 0;
}
