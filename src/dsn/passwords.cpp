#include "dsn/passwords.h"

#include "dsn/reg_read.h"

namespace dsnconf {

bool isPasswordProperty(const std::string& name) {
  return sameRegistryName(name, "PWD") || sameRegistryName(name, "Password");
}

}  // namespace dsnconf
