#include "cli/password_source.h"

#include <cstdlib>
#include <iostream>

#include "access/password_codec.h"

namespace plotvane::cli {

std::string readPassword(bool fromStdin) {
    if (fromStdin) {
        std::string line;
        std::getline(std::cin, line);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        return line;
    }
    const char* env = std::getenv("PLOTVANE2_PASSWORD");
    return env != nullptr ? std::string(env) : std::string();
}

bool fitsPasswordField(const std::string& password, Feedback& feedback) {
    if (passwordCharacterCount(password) <= kPasswordLength) return true;
    feedback.show(error("Password must 8 characters.", Icon::Exclamation));
    return false;
}

}  // namespace plotvane::cli
