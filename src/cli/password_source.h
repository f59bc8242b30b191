#pragma once

#include <string>

#include "project/feedback.h"

namespace plotvane::cli {

// The password a password dialog would be typed into: the first line of
// standard input (without its line end) when `fromStdin`, else the
// environment variable PLOTVANE2_PASSWORD, else empty.
std::string readPassword(bool fromStdin);

// The dialog's field takes no ninth character, so a longer password is
// refused as a shorter one is ("Password must 8 characters."), never cut.
// Characters are counted, not bytes.
bool fitsPasswordField(const std::string& password, Feedback& feedback);

}  // namespace plotvane::cli
