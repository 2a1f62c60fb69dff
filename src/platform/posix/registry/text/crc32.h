// CRC-32 (the zlib one), which vouches for journal entries and the index.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dsnconf::posix {

// Four bytes a step: every load checks the journal and the index with it.
class Crc32 {
 public:
  void update(std::string_view bytes) {
    static const Tables tables = makeTables();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    std::uint32_t crc = crc_;
    for (; n >= 4; p += 4, n -= 4) {
      crc ^= static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
             static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
      crc = tables[3][crc & 0xFF] ^ tables[2][(crc >> 8) & 0xFF] ^ tables[1][(crc >> 16) & 0xFF] ^
            tables[0][crc >> 24];
    }
    for (; n > 0; ++p, --n) crc = tables[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    crc_ = crc;
  }
  std::uint32_t value() const { return crc_ ^ 0xFFFFFFFFu; }

 private:
  // tables[k][b]: the CRC of byte b followed by k zero bytes.
  using Tables = std::array<std::array<std::uint32_t, 256>, 4>;
  static Tables makeTables() {
    Tables tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      tables[0][i] = c;
    }
    for (std::size_t k = 1; k < tables.size(); ++k) {
      for (std::size_t i = 0; i < 256; ++i) {
        tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
      }
    }
    return tables;
  }
  std::uint32_t crc_ = 0xFFFFFFFFu;
};

std::uint32_t crc32(std::string_view bytes);

}  // namespace dsnconf::posix
