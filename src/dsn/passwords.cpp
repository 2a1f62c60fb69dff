#include "dsn/passwords.h"

#include "dsn/reg_read.h"

namespace dsnconf {

bool isPasswordName(const std::string& name) {
  // The names drivers of the family and the Driver Manager take a password by.
  static const char* const kPasswordNames[] = {"pwd", "password"};
  const std::string folded = foldRegistryName(name);
  for (const char* password : kPasswordNames) {
    if (folded == password) return true;
  }
  return false;
}

}  // namespace dsnconf
