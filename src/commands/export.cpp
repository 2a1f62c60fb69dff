// export: writes the family's configuration out, as a JSON inventory for
// scripts or as a registry file that restores its data sources. It only reads
// the registry, and writes each data source out as the walk reads it.
#include <cstdio>
#include <string>
#include <string_view>

#include "base/output.h"
#include "base/unicode.h"
#include "cli/command_line.h"
#include "commands/commands.h"
#include "dsn/document_file.h"
#include "dsn/family_walk.h"
#include "dsn/inventory_json.h"
#include "dsn/passwords.h"
#include "dsn/reg_file_writer.h"
#include "platform/text_io.h"

namespace dsnconf {
namespace {

enum class ExportFormat { Json, Reg };

struct ExportRequest {
  ExportFormat format = ExportFormat::Json;
  const char* file = nullptr;  // null: standard output
  bool replace = false;
  PasswordData passwords = PasswordData::LeftOut;
};

// Text made is written out once this much has gathered, between entries.
constexpr std::size_t kChunk = 64 * 1024;

// Where the document's bytes go: a file written whole or not at all, or
// standard output. A JSON document is text, written as the terminal or the
// pipe takes it; a registry file's bytes are fixed.
class DocumentOutput {
 public:
  DocumentOutput(ExportFormat format, DocumentFile* file) : format_(format), file_(file) {
    if (!file_ && format_ == ExportFormat::Reg) useBinaryStandardOutput();
  }

  void write(std::string_view bytes) {
    if (bytes.empty() || failed_) return;
    if (file_) {
      failed_ = !file_->append(bytes);
    } else if (format_ == ExportFormat::Json) {
      failed_ = !writeText(bytes);
    } else {
      failed_ = std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
                std::fflush(stdout) != 0;
    }
  }

  bool failed() const { return failed_; }

 private:
  ExportFormat format_;
  DocumentFile* file_;
  bool failed_ = false;
};

// The walk's visitor: each data source goes into the document as it is read,
// and the document's text out as it gathers.
class Exporter : public FamilyVisitor {
 public:
  Exporter(const ExportRequest& request, DocumentOutput& output)
      : format_(request.format),
        json_(request.passwords),
        reg_(hasTwoMachineViews()),
        output_(output) {
    if (format_ == ExportFormat::Reg) output_.write("\xFF\xFE");
  }

  PlaceInventory& placeStarted(const Place&) override {
    place_ = PlaceInventory();
    return place_;
  }

  void listRead(const PlaceInventory& place) override {
    if (format_ == ExportFormat::Reg) reg_.addList(place);
  }

  void dataSource(const PlaceInventory& place, FamilyDataSource& dataSource) override {
    ++dataSources_;
    if (format_ == ExportFormat::Json) {
      json_.addDataSource(*place.place, dataSource);
    } else {
      reg_.addDataSource(*place.place, dataSource);
    }
    flush(kChunk);
  }

  void placeRead(const PlaceInventory& place) override {
    if (format_ == ExportFormat::Json) json_.addPlace(place);
  }

  void finish() {
    if (format_ == ExportFormat::Json) {
      json_.finish();
      json_.text() += '\n';
    } else {
      reg_.finish();
    }
    flush(0);
  }

  std::size_t dataSources() const { return dataSources_; }
  std::size_t redactedValues() const { return json_.redactedValues(); }

 private:
  void flush(std::size_t atLeast) {
    if (format_ == ExportFormat::Json) {
      std::string& text = json_.text();
      if (text.size() < atLeast) return;
      output_.write(text);
      text.clear();
    } else {
      std::u16string& text = reg_.text();
      if (text.size() * 2 < atLeast) return;
      output_.write(utf16LeBytes(text));
      text.clear();
    }
  }

  ExportFormat format_;
  InventoryJsonWriter json_;
  RegFileWriter reg_;
  DocumentOutput& output_;
  PlaceInventory place_;
  std::size_t dataSources_ = 0;
};

int reportFileExists(const std::string& file) {
  printLine("*** " + file + " already exists; add /y after the file name to replace it ***");
  return 1;
}

int reportCannotWrite(const std::string& file) {
  printLine("*** Cannot write " + file + " ***");
  return 1;
}

std::string count(std::size_t number, const char* one, const char* many) {
  return std::to_string(number) + (number == 1 ? one : many);
}

void printExported(const std::string& file, std::size_t dataSources, std::size_t redacted) {
  std::string line =
      "Exported " + count(dataSources, " data source to ", " data sources to ") + file;
  if (redacted > 0) {
    line += "; " + count(redacted, " password value was", " password values were") +
            " left out (/secrets keeps them)";
  }
  printLine(line);
}

// Walks every place into the document; false after the failure line.
bool walkInto(Exporter& exporter, LSTATUS& status) {
  WalkOptions options;
  options.parts = PlaceParts::TracingAndRegistrations;
  InventoryFailure failure;
  status = walkFamily(options, exporter, failure);
  if (status != ERROR_SUCCESS) {
    printInventoryFailure(failure);
    return false;
  }
  exporter.finish();
  return true;
}

int exportToStandardOutput(const ExportRequest& request) {
  DocumentOutput output(request.format, nullptr);
  Exporter exporter(request, output);
  LSTATUS status = ERROR_SUCCESS;
  if (!walkInto(exporter, status)) return status;
  return output.failed() ? 1 : 0;
}

// A registry file holds every value, passwords included: only its owner may
// read it.
int exportToFile(const ExportRequest& request) {
  const std::string file = request.file;
  DocumentFile document;
  const DocumentWrite started =
      document.start(file, request.replace, request.format == ExportFormat::Reg);
  if (started == DocumentWrite::Exists) return reportFileExists(file);
  if (started != DocumentWrite::Ready) return reportCannotWrite(file);
  DocumentOutput output(request.format, &document);
  Exporter exporter(request, output);
  LSTATUS status = ERROR_SUCCESS;
  if (!walkInto(exporter, status)) return status;
  const DocumentWrite written = document.commit();
  if (written == DocumentWrite::Exists) return reportFileExists(file);
  if (written != DocumentWrite::Written) return reportCannotWrite(file);
  printExported(file, exporter.dataSources(), exporter.redactedValues());
  return 0;
}

// Longer than every keyword of the command, so that a longer word cut to
// the buffer never equals one.
constexpr std::size_t kExportWordBuffer = 10;

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

[[noreturn]] void unexpectedArgument(const char* argument) {
  usageError(std::string("*** Unexpected argument: ") + argument + " ***", UsageScreen::Export);
}

// One argument after the format word: a switch (each once, anywhere) or the
// file name, refusing the words that belong elsewhere on the line.
void readExportArgument(const char* argument, ExportRequest& request) {
  char word[kExportWordBuffer];
  normaliseKeyword(argument, word);
  if (equalsKeyword(word, "/y")) {
    if (request.replace) unexpectedArgument(argument);
    request.replace = true;
    return;
  }
  if (equalsKeyword(word, "/secrets")) {
    if (request.passwords == PasswordData::Kept) unexpectedArgument(argument);
    request.passwords = PasswordData::Kept;
    return;
  }
  if (request.file) unexpectedArgument(argument);
  if (isFormatWord(word)) {
    usageError("*** Only one export format may be given ***", UsageScreen::Export);
  }
  if (*argument == '\0') usageError("*** The file name is empty ***", UsageScreen::Export);
  request.file = argument;
}

}  // namespace

int runExport(ArgCursor& cursor) {
  if (cursor.remaining() < 1) notEnoughArguments(UsageScreen::Export);
  checkHelpRequest(cursor.peek(), UsageScreen::Export);
  ExportRequest request;
  request.format = readFormat(cursor);
  while (const char* argument = cursor.next()) readExportArgument(argument, request);
  if (request.replace && !request.file) {
    usageError("*** /y replaces a file: give the file name too ***", UsageScreen::Export);
  }
  return request.file ? exportToFile(request) : exportToStandardOutput(request);
}

}  // namespace dsnconf
