// check: reads the family's whole configuration, changes nothing, and reports
// each state that keeps an application from using a data source, with the
// dsnconf command line that repairs it.
#include <nlohmann/json.hpp>
#include <string>

#include "base/output.h"
#include "cli/command_line.h"
#include "commands/commands.h"
#include "dsn/file_dsns.h"
#include "dsn/findings.h"
#include "dsn/inventory_json.h"
#include "dsn/json_writer.h"
#include "dsn/value_text.h"
#include "platform/registry_presence.h"
#include "platform/text_io.h"

namespace dsnconf {
namespace {

struct Counts {
  int errors = 0;
  int warnings = 0;
  int notes = 0;
};

Counts countFindings(const std::vector<Finding>& findings) {
  Counts counts;
  for (const Finding& finding : findings) {
    if (finding.severity == Severity::Error) ++counts.errors;
    if (finding.severity == Severity::Warning) ++counts.warnings;
    if (finding.severity == Severity::Info) ++counts.notes;
  }
  return counts;
}

// The folder of the installer's default file data sources: the machine's
// 32-bit view, the view the installer of a 32-bit program reads.
std::string defaultDsnFolder(const Inventory& inventory) {
  const PlaceInventory* view = inventory.find(kSystem32Place);
  return view && view->defaultDsnDir ? *view->defaultDsnDir : std::string();
}

std::string placeName(const Finding& finding) {
  return finding.place ? finding.place->name : "file";
}

// <severity> <id>: <place>: [DSN '<dsn>' ][(<driver>)|driver '<driver>']: <message>[; fix:
// <command>]
std::string findingLine(const Finding& finding) {
  std::string line = std::string(severityName(finding.severity)) + " " + finding.id + ": " +
                     placeName(finding) + ": ";
  if (finding.dsn) {
    line += "DSN '" + *finding.dsn + "'";
    if (finding.driver) line += " (" + *finding.driver + ")";
    line += ": ";
  } else if (finding.driver) {
    line += "driver '" + *finding.driver + "': ";
  }
  line += finding.message;
  if (finding.fix) line += "; fix: " + *finding.fix;
  if (finding.severity == Severity::Info) return line;
  return "*** " + line + " ***";
}

// Names and messages are WTF-8; JSON is UTF-8, converted as export converts it.
nlohmann::ordered_json optionalJson(const std::optional<std::string>& value) {
  bool exact = true;
  return value ? nlohmann::ordered_json(jsonText(*value, exact)) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json findingJson(const Finding& finding) {
  nlohmann::ordered_json object;
  object["id"] = finding.id;
  object["severity"] = severityName(finding.severity);
  addPlaceJson(object, finding.place);
  object["dsn"] = optionalJson(finding.dsn);
  bool exact = true;
  if (finding.dsn) jsonText(*finding.dsn, exact);
  if (!exact) object["dsnBytes"] = nameBytes(*finding.dsn);
  object["driver"] = optionalJson(finding.driver);
  object["message"] = jsonText(finding.message, exact);
  object["fix"] = optionalJson(finding.fix);
  return object;
}

std::string plural(int count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

void printFindings(const std::vector<Finding>& findings, const Counts& counts) {
  for (const Finding& finding : findings) printLine(findingLine(finding));
  printLine("Check found " + plural(counts.errors, "error") + ", " +
            plural(counts.warnings, "warning") + " and " + plural(counts.notes, "note") + ".");
}

// The document is written a piece at a time, as the library would lay it
// out: tens of thousands of findings held as one tree took several times
// the memory of the whole check. Every text in it is UTF-8 (jsonText).
void printFindingsJson(const std::vector<Finding>& findings, const Counts& counts) {
  constexpr std::size_t kChunk = 64 * 1024;
  std::string text;
  JsonWriter out(text, 0);
  out.beginObject();
  out.key("findings");
  out.beginArray();
  for (const Finding& finding : findings) {
    out.value(findingJson(finding));
    if (text.size() < kChunk) continue;
    writeText(text);
    text.clear();
  }
  out.endArray();
  out.key("counts");
  out.value({{"errors", counts.errors}, {"warnings", counts.warnings}, {"notes", counts.notes}});
  out.endObject();
  writeText(text + "\n");
}

// "/json" and one character more, so that a longer word is not taken for it.
constexpr std::size_t kCheckOptionBuffer = 7;

// An empty registry read from a folder that is not there would pass for a
// healthy machine.
void printNoRegistry(const std::string& folder) {
  printLine("*** There is no registry to check: the registry folder " + folder +
            " does not exist ***");
}

int checkConfiguration(bool json) {
  if (const std::optional<std::string> folder = missingRegistryFolder()) {
    printNoRegistry(*folder);
    return ERROR_PATH_NOT_FOUND;
  }
  Configuration configuration;
  InventoryFailure failure;
  // The rules ask of a data source the values of its key, not its subkeys;
  // the walk keeps those they look at one by one, and a digest of the rest.
  const LSTATUS status = readInventory(configuration.inventory, failure, KeptValues::Findings);
  if (status != ERROR_SUCCESS) {
    printInventoryFailure(failure);
    return status;
  }
  configuration.files = readFamilyFileDataSources(defaultDsnFolder(configuration.inventory));
  const std::vector<Finding> findings = diagnose(configuration);
  const Counts counts = countFindings(findings);
  if (json) {
    printFindingsJson(findings, counts);
  } else {
    printFindings(findings, counts);
  }
  return counts.errors + counts.warnings > 0 ? 1 : 0;
}

}  // namespace

int runCheck(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Check);
  bool json = false;
  if (cursor.remaining() > 0) {
    char option[kCheckOptionBuffer];
    normaliseKeyword(cursor.next(), option);
    if (!equalsKeyword(option, "/json")) {
      usageError(std::string("*** Invalid check option specified: ") + cursor.current() + " ***",
                 UsageScreen::Check);
    }
    json = true;
  }
  if (cursor.remaining() > 0) {
    usageError(std::string("*** Unexpected argument: ") + cursor.next() + " ***",
               UsageScreen::Check);
  }
  return checkConfiguration(json);
}

}  // namespace dsnconf
