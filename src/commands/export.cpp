// export: writes the family's configuration out, as a JSON inventory for
// scripts or as a registry file that restores its data sources. It only reads
// the registry.
#include <cstdio>
#include <string>

#include "cli/output.h"
#include "commands/commands.h"
#include "dsn/inventory.h"
#include "dsn/inventory_json.h"
#include "dsn/reg_file_writer.h"
#include "export_output.h"

namespace dsnconf {
namespace {

std::size_t countDataSources(const Inventory& inventory) {
  std::size_t count = 0;
  for (const PlaceInventory& place : inventory.places) count += place.dataSources.size();
  return count;
}

std::string documentBytes(ExportFormat format, const Inventory& inventory) {
  if (format == ExportFormat::Reg) {
    return utf16LeFileBytes(regFileText(inventory, hasTwoMachineViews()));
  }
  // Every string is UTF-8 already; a byte that is not would be replaced, not thrown at.
  return inventoryJsonText(inventory) + "\n";
}

bool fileExists(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::fclose(file);
  return true;
}

bool writeWhole(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written =
      std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
  return std::fclose(file) == 0 && written;
}

int reportFileExists(const std::string& file) {
  printLine("*** " + file + " already exists; add /y after the file name to replace it ***");
  return 1;
}

int reportCannotWrite(const std::string& file) {
  printLine("*** Cannot write " + file + " ***");
  return 1;
}

// The whole document to a temporary file beside the target, then renamed
// over it: the target is written whole or not at all.
int writeFile(const std::string& file, bool replace, const std::string& bytes,
              std::size_t dataSources) {
  if (!replace && fileExists(file)) return reportFileExists(file);
  const std::string temporary = file + ".tmp";
  if (!writeWhole(temporary, bytes)) {
    std::remove(temporary.c_str());
    return reportCannotWrite(file);
  }
  const PlaceFileResult placed = placeFile(temporary, file, replace);
  if (placed != PlaceFileResult::Placed) std::remove(temporary.c_str());
  if (placed == PlaceFileResult::TargetExists) return reportFileExists(file);
  if (placed == PlaceFileResult::Failed) return reportCannotWrite(file);
  printLine("Exported " + std::to_string(dataSources) +
            (dataSources == 1 ? " data source to " : " data sources to ") + file);
  return 0;
}

int writeStandardOutput(ExportFormat format, const std::string& bytes) {
  if (format == ExportFormat::Reg) useBinaryStandardOutput();
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
                       std::fflush(stdout) == 0;
  return written ? 0 : 1;
}

}  // namespace

int cmdExport(ExportFormat format, const char* file, bool replace) {
  Inventory inventory;
  InventoryFailure failure;
  if (readInventory(inventory, failure) != ERROR_SUCCESS) {
    printInventoryFailure(failure);
    return failure.status;
  }
  const std::string bytes = documentBytes(format, inventory);
  if (!file) return writeStandardOutput(format, bytes);
  return writeFile(file, replace, bytes, countDataSources(inventory));
}

}  // namespace dsnconf
