// The values a data source keeps a password in. Many ODBC drivers take one
// from the data source itself (PWD, Password), stored there as clear text;
// the documents and listings that go beyond this machine leave its data out.
#pragma once

#include <string>

namespace dsnconf {

// Whether a document or a listing carries password data or leaves it out.
enum class PasswordData { LeftOut, Kept };

// Whether a value of this name holds a password: PWD or Password, compared as
// the registry compares names (any case).
bool isPasswordProperty(const std::string& name);

// What is shown in place of a password's data.
constexpr const char* kPasswordMask = "********";

}  // namespace dsnconf
