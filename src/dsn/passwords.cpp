#include "dsn/passwords.h"

#include "dsn/reg_read.h"

namespace dsnconf {

bool isPasswordProperty(const std::string& name) {
  // The names drivers of the family and the Driver Manager take a password by.
  return sameRegistryName(name, "PWD") || sameRegistryName(name, "Password");
}

}  // namespace dsnconf
