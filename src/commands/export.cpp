// export: writes the family's configuration out, as a JSON inventory for
// scripts or as a registry file that restores its data sources. It only reads
// the registry.
#include <cstdio>
#include <string>

#include "base/output.h"
#include "cli/command_line.h"
#include "commands/commands.h"
#include "dsn/document_file.h"
#include "dsn/inventory.h"
#include "dsn/inventory_json.h"
#include "dsn/reg_file_writer.h"
#include "platform/text_io.h"

namespace dsnconf {
namespace {

enum class ExportFormat { Json, Reg };

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

int reportFileExists(const std::string& file) {
  printLine("*** " + file + " already exists; add /y after the file name to replace it ***");
  return 1;
}

int reportCannotWrite(const std::string& file) {
  printLine("*** Cannot write " + file + " ***");
  return 1;
}

// A registry file holds every value, passwords included: only its owner may
// read it.
int writeFile(ExportFormat format, const std::string& file, bool replace, const std::string& bytes,
              std::size_t dataSources) {
  const DocumentWrite written = writeDocument(file, bytes, replace, format == ExportFormat::Reg);
  if (written == DocumentWrite::Exists) return reportFileExists(file);
  if (written == DocumentWrite::Failed) return reportCannotWrite(file);
  printLine("Exported " + std::to_string(dataSources) +
            (dataSources == 1 ? " data source to " : " data sources to ") + file);
  return 0;
}

// A JSON document is text, written as the terminal or the pipe takes it; a
// registry file's bytes are fixed.
int writeStandardOutput(ExportFormat format, const std::string& bytes) {
  if (format == ExportFormat::Json) return writeText(bytes) ? 0 : 1;
  useBinaryStandardOutput();
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
                       std::fflush(stdout) == 0;
  return written ? 0 : 1;
}

// Writes the family's configuration to standard output (file null) or to
// the file, replacing an existing one only with `replace`.
int exportConfiguration(ExportFormat format, const char* file, bool replace) {
  Inventory inventory;
  InventoryFailure failure;
  if (readInventory(inventory, failure) != ERROR_SUCCESS) {
    printInventoryFailure(failure);
    return failure.status;
  }
  const std::string bytes = documentBytes(format, inventory);
  if (!file) return writeStandardOutput(format, bytes);
  return writeFile(format, file, replace, bytes, countDataSources(inventory));
}

// Longer than every keyword of the command, so that a longer word cut to
// the buffer never equals one.
constexpr std::size_t kExportWordBuffer = 8;

bool isFormatWord(const char* normalised) {
  return equalsKeyword(normalised, "/json") || equalsKeyword(normalised, "/reg");
}

ExportFormat readFormat(ArgCursor& cursor) {
  char word[kExportWordBuffer];
  normaliseKeyword(cursor.next(), word);
  if (equalsKeyword(word, "/json")) return ExportFormat::Json;
  if (equalsKeyword(word, "/reg")) return ExportFormat::Reg;
  usageError(std::string("*** Invalid export format specified: ") + cursor.current() + " ***",
             UsageScreen::Export);
}

// The file name, refusing the words that belong elsewhere on the line.
const char* readFileName(ArgCursor& cursor) {
  const char* file = cursor.next();
  char word[kExportWordBuffer];
  normaliseKeyword(file, word);
  if (isFormatWord(word)) {
    usageError("*** Only one export format may be given ***", UsageScreen::Export);
  }
  if (equalsKeyword(word, "/y")) {
    usageError("*** /y must follow the file name ***", UsageScreen::Export);
  }
  if (*file == '\0') usageError("*** The file name is empty ***", UsageScreen::Export);
  return file;
}

}  // namespace

int runExport(ArgCursor& cursor) {
  if (cursor.remaining() < 1) notEnoughArguments(UsageScreen::Export);
  checkHelpRequest(cursor.peek(), UsageScreen::Export);
  const ExportFormat format = readFormat(cursor);
  if (cursor.remaining() == 0) return exportConfiguration(format, nullptr, false);

  const char* file = readFileName(cursor);
  bool replace = false;
  if (cursor.remaining() > 0) {
    char word[kExportWordBuffer];
    normaliseKeyword(cursor.next(), word);
    if (!equalsKeyword(word, "/y")) {
      usageError(std::string("*** Unexpected argument: ") + cursor.current() + " ***",
                 UsageScreen::Export);
    }
    replace = true;
  }
  if (cursor.remaining() > 0) {
    usageError(std::string("*** Unexpected argument: ") + cursor.next() + " ***",
               UsageScreen::Export);
  }
  return exportConfiguration(format, file, replace);
}

}  // namespace dsnconf
