// The login code the instruments that need a login accept: an asterisk and
// four digits, fixed for every build.
#pragma once

namespace halv {

constexpr const char* kLoginDigits = "4862";
constexpr const char* kLoginArgument = "*4862";

}  // namespace halv
