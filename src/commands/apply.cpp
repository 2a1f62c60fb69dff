// apply: brings the family's data sources and tracing to the state a JSON
// file describes (an export is valid input). It reads the whole registry and
// the file, checks everything and plans every change before it writes, prints
// the plan, then carries it out in the crash-safe order of one plan, taking
// everything back on a failure. A second run of the same file finds nothing
// to do. /json prints the result as one document for configuration engines.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/output.h"
#include "cli/command_line.h"
#include "commands/commands.h"
#include "dsn/apply_plan.h"
#include "dsn/document_file.h"
#include "dsn/inventory_json.h"
#include "dsn/reg_file_writer.h"
#include "platform/text_io.h"

namespace dsnconf {
namespace {

struct ApplyRequest {
  std::string file;
  bool whatIf = false;
  bool prune = false;
  bool json = false;
  std::string backup;  // empty: none
};

struct ApplyResult {
  int status = 0;
  Plan plan;
  bool done = false;  // the plan was carried out
};

// Longer than every switch of the command, so that a longer word is none.
constexpr std::size_t kSwitchBuffer = 9;

// Lines printed while /json is given become the document's errors.
std::vector<std::string> collected;

void collectLine(std::string_view line) {
  collected.emplace_back(line);
}

std::size_t countLines(const Plan& plan) {
  std::size_t count = 0;
  for (const Action& action : plan.actions) count += action.lines.size();
  return count;
}

std::string changes(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " change" : " changes");
}

// The result for an engine's changed_when: every planned line, whether it
// was done, and the lines that said what went wrong.
void printDocument(const ApplyRequest& request, const ApplyResult& result) {
  const Plan& plan = result.plan;
  const bool done = result.done;
  nlohmann::ordered_json document;
  document["changed"] = done && !plan.actions.empty();
  document["whatif"] = request.whatIf;
  document["actions"] = nlohmann::ordered_json::array();
  for (const Action& action : plan.actions) {
    for (const std::string& line : action.lines) {
      nlohmann::ordered_json entry;
      entry["sign"] = line.substr(0, 1);
      addPlaceJson(entry, action.place);
      entry["dsn"] =
          action.dsn.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(action.dsn);
      entry["line"] = line;
      entry["done"] = done;
      document["actions"].push_back(std::move(entry));
    }
  }
  nlohmann::ordered_json errors = nlohmann::ordered_json::array();
  // Plan lines and summaries are in the actions; what went wrong is a line
  // marked as such.
  for (const std::string& line : collected) {
    if (line.rfind("***", 0) == 0) errors.push_back(line);
  }
  document["errors"] = std::move(errors);
  document["backup"] = request.backup.empty() || !done ? nlohmann::ordered_json(nullptr)
                                                       : nlohmann::ordered_json(request.backup);
  useLineWriter(printText);
  writeText(document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n");
}

// The data sources the plan changes or removes, as they are now, in a
// registry file that reg import restores them from: written whole or not at all.
bool writeBackup(const ApplyRequest& request, const ApplyPlan& planned) {
  const std::string bytes = utf16LeFileBytes(regFileText(planned.touched, hasTwoMachineViews()));
  const DocumentWrite written = writeDocument(request.backup, bytes, false, true);
  if (written == DocumentWrite::Exists) {
    printLine("*** " + request.backup +
              " already exists: name a new file for the backup; nothing was applied ***");
    return false;
  }
  if (written == DocumentWrite::Failed) {
    printLine("*** Cannot write " + request.backup + ": nothing was applied ***");
    return false;
  }
  return true;
}

void reportFailure(const Plan& plan, const Outcome& outcome) {
  const Action& failed = plan.actions[outcome.failedAction];
  const std::string what = failed.dsn.empty() ? "tracing" : "DSN " + failed.dsn;
  printLine("*** Got error code " + std::to_string(outcome.status) + " while applying the " +
            failed.place->name + " " + what + ": every change made was taken back ***");
  if (outcome.status == ERROR_ACCESS_DENIED && failed.place->scope == Scope::System) {
    printAdministratorHint();
  }
  for (const Outcome::UndoFailure& failure : outcome.notTakenBack) {
    printLine("*** Got error code " + std::to_string(failure.status) +
              " while taking back the changes to the " + failure.place->name +
              " place: it keeps them ***");
  }
}

// Refused or failed: 1; a failure that could not be taken back everywhere
// passes on the registry's error code.
int applyState(const ApplyRequest& request, ApplyResult& result) {
  std::string bytes;
  if (!readWholeFile(request.file, bytes)) {
    printLine("*** Cannot read " + request.file + " ***");
    return 1;
  }
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
  DesiredState desired;
  std::string error;
  if (!parseDesiredState(bytes, desired, error)) {
    printLine("*** " + request.file + ": " + error + " ***");
    return 1;
  }
  // The file's text is no longer needed while the registry is read.
  std::string().swap(bytes);
  Inventory current;
  InventoryFailure failure;
  if (readInventory(current, failure) != ERROR_SUCCESS) {
    printInventoryFailure(failure);
    return failure.status;
  }
  ApplyPlan planned;
  if (!planApply(desired, current, request.prune, planned)) return 1;
  result.plan = planned.plan;
  const Plan& plan = result.plan;
  printPlan(plan);
  if (plan.actions.empty()) {
    printLine("Nothing to change.");
    return 0;
  }
  if (request.whatIf) {
    printLine(changes(countLines(plan)) + " to make; /whatif wrote nothing.");
    return 0;
  }
  if (!request.backup.empty() && !writeBackup(request, planned)) return 1;
  const Outcome outcome = carryOut(plan);
  if (!outcome.succeeded()) {
    reportFailure(plan, outcome);
    return outcome.notTakenBack.empty() ? 1 : outcome.status;
  }
  result.done = true;
  printLine("Applied " + changes(countLines(plan)) + ".");
  return 0;
}

[[noreturn]] void unexpected(const char* argument) {
  usageError(std::string("*** Unexpected argument specified: ") + argument + " ***",
             UsageScreen::Apply);
}

void readSwitches(ArgCursor& cursor, ApplyRequest& request) {
  while (const char* argument = cursor.next()) {
    char word[kSwitchBuffer];
    normaliseKeyword(argument, word);
    if (equalsKeyword(word, "/prune") && !request.prune) {
      request.prune = true;
    } else if (equalsKeyword(word, "/json") && !request.json) {
      request.json = true;
    } else if (equalsKeyword(word, "/backup") && request.backup.empty()) {
      const char* file = cursor.next();
      if (!file) notEnoughArguments(UsageScreen::Apply);
      if (*file == '\0') usageError("*** The backup file name is empty ***", UsageScreen::Apply);
      request.backup = file;
    } else {
      unexpected(argument);
    }
  }
}

}  // namespace

int runApply(ArgCursor& cursor) {
  if (cursor.remaining() < 1) notEnoughArguments(UsageScreen::Apply);
  checkHelpRequest(cursor.peek(), UsageScreen::Apply);
  ApplyRequest request;
  request.whatIf = takeWhatIf(cursor);
  const char* file = cursor.next();
  if (!file) notEnoughArguments(UsageScreen::Apply);
  if (*file == '\0') usageError("*** The file name is empty ***", UsageScreen::Apply);
  request.file = file;
  readSwitches(cursor, request);
  ApplyResult result;
  if (!request.json) return applyState(request, result);
  // The document replaces every line.
  useLineWriter(collectLine);
  result.status = applyState(request, result);
  printDocument(request, result);
  return result.status;
}

}  // namespace dsnconf
