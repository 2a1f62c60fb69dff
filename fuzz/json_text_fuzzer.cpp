// libFuzzer target: the JSON file apply reads, of any content.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "json_text_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem =
      dsnconf::fuzz::checkJsonText({reinterpret_cast<const char*>(data), size});
  if (!problem.empty()) {
    std::fprintf(stderr, "json text check failed: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
