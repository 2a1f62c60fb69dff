// Properties that hold a password: drivers take one from the data source
// (PWD, Password), where it is stored as clear text. Commands that show or
// hand out configuration leave such data out unless asked for it.
#pragma once

#include <string>

namespace dsnconf {

// PWD or Password, in any case.
bool isPasswordProperty(const std::string& name);

// What is shown in place of a password's data.
constexpr const char* kPasswordMask = "********";

}  // namespace dsnconf
