// Where an end-to-end case runs: the built program over our POSIX registry,
// or the Windows program under Wine over Wine's registry.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "case_file.h"

namespace dsnconf::e2e {

struct RunResult {
  std::string out;
  std::string err;
  long long status = 0;  // as the backend can see it
  std::string failure;   // set when the program did not end normally
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Why the case cannot run here, or empty.
  virtual std::string skipReason(const Case& c) const = 0;
  // A fresh registry and work folder, seeded with the case's hives and files.
  virtual void prepare(const Case& c) = 0;
  virtual std::string workDir() const = 0;
  // One run of the program, in the case's environment and work folder.
  virtual RunResult run(const Case& c, const Step& step) = 0;
  // The root's content as .reg text, or nothing where the root holds nothing.
  virtual std::optional<std::string> readHive(Root root) = 0;
  // The status a program result shows as here (POSIX keeps 8 bits).
  virtual long long visibleStatus(long long result) const = 0;
  // Whether an unchanged hive must also be byte for byte what was seeded.
  virtual bool checksHiveBytes() const = 0;
  // Whether stderr is compared (Wine writes message boxes nowhere).
  virtual bool checksStderr() const = 0;
};

std::unique_ptr<Backend> makePosixBackend();
// The Windows program under Wine; the Windows stage (scripts/test-windows.sh)
// chooses it by setting DSNCONF_WINE_BIN_DIR.
std::unique_ptr<Backend> makeWineBackend();

// The seeded text of a root as a .reg file.
std::string hiveFileText(const std::string& lines);

}  // namespace dsnconf::e2e
