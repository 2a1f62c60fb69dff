// Writes a sample registry for the benchmarks:
//   dsnconf_bench_gen [--unhealthy] <data sources> <folder>
// and prints the name of one data source of the family in the 32-bit machine
// view, the one the single-data-source commands are timed on. --unhealthy
// leaves the family's drivers unregistered and gives its data sources all
// three driver names (SampleLayout::unhealthy). 0 data sources gives the
// drivers' registrations alone: the registry an export is applied onto.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "sample_registry.h"

int main(int argc, char** argv) {
  const bool unhealthy = argc > 1 && std::strcmp(argv[1], "--unhealthy") == 0;
  if (unhealthy) {
    --argc;
    ++argv;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s [--unhealthy] <data sources> <folder>\n", argv[0]);
    return 2;
  }
  char* end = nullptr;
  const unsigned long long count = std::strtoull(argv[1], &end, 10);
  if (*argv[1] == '\0' || *end != '\0') {
    std::fprintf(stderr, "%s: not a number: %s\n", argv[0], argv[1]);
    return 2;
  }
  dsnconf::bench::SampleLayout layout;
  layout.dataSources = static_cast<std::size_t>(count);
  layout.unhealthy = unhealthy;
  try {
    dsnconf::bench::writeSample(layout, argv[2]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
    return 1;
  }
  std::printf("%s\n", dsnconf::bench::probeDataSource(layout).c_str());
  return 0;
}
