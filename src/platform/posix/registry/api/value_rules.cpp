#include "registry/api/value_rules.h"

#include <cstdlib>

namespace dsnconf::posix {

std::string expandEnvironmentStrings(const std::string& text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t open = text.find('%', i);
    if (open == std::string::npos) {
      out.append(text, i, std::string::npos);
      break;
    }
    out.append(text, i, open - i);
    std::size_t close = text.find('%', open + 1);
    if (close == std::string::npos) {
      out.append(text, open, std::string::npos);
      break;
    }
    std::string name = text.substr(open + 1, close - open - 1);
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value != nullptr) {
      out += value;
      i = close + 1;
    } else {
      // The closing '%' may open the next name.
      out += '%';
      out += name;
      i = close;
    }
  }
  return out;
}

LONG applyTypeRestriction(DWORD flags, DWORD type, DWORD size, LONG result) {
  if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return result;
  if ((flags & RRF_RT_ANY) == RRF_RT_ANY) return result;
  DWORD mask = 0;
  switch (type) {
    case REG_NONE:
      mask = RRF_RT_REG_NONE;
      break;
    case REG_SZ:
      mask = RRF_RT_REG_SZ;
      break;
    case REG_EXPAND_SZ:
      mask = RRF_RT_REG_EXPAND_SZ;
      break;
    case REG_MULTI_SZ:
      mask = RRF_RT_REG_MULTI_SZ;
      break;
    case REG_BINARY:
      mask = RRF_RT_REG_BINARY;
      break;
    case REG_DWORD:
      mask = RRF_RT_REG_DWORD;
      break;
    case REG_QWORD:
      mask = RRF_RT_REG_QWORD;
      break;
    default:
      break;
  }
  if ((flags & mask) == 0) return ERROR_UNSUPPORTED_TYPE;
  if (type == REG_BINARY) {
    DWORD expected = 0;
    if ((flags & RRF_RT_ANY) == RRF_RT_DWORD) expected = 4;
    if ((flags & RRF_RT_ANY) == RRF_RT_QWORD) expected = 8;
    if (expected != 0 && size != expected) return ERROR_DATATYPE_MISMATCH;
  }
  return result;
}

}  // namespace dsnconf::posix
