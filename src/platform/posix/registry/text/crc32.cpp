#include "registry/text/crc32.h"

namespace dsnconf::posix {

std::uint32_t crc32(std::string_view bytes) {
  Crc32 crc;
  crc.update(bytes);
  return crc.value();
}

}  // namespace dsnconf::posix
