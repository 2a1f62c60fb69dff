// The program under command lines of random bytes, very long, empty and odd
// arguments, over a registry and a file data source of its own: it never dies
// of a signal, always ends with one of its exit statuses, writes nothing to
// standard error and prints only lines of the shapes it knows, or one whole
// document (JSON, or a UTF-16 registry file) where a command writes one.
#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace dsnconf::test {
namespace {

constexpr unsigned kSeed = 20241207;
constexpr int kRuns = 300;
// Longer than any buffer of the program; within what one argument may hold.
constexpr std::size_t kLongArgument = 100 * 1024;

const char* const kDriverNames[] = {"Brenmoor ODBC Driver (32-bit)", "Sarvonet ODBC Driver",
                                    "Ivorel ODBC Driver"};

// Exit statuses as a POSIX parent sees them: 0 success, 1 a reported failure,
// 255 a wrong command line (-1), or a registry error passed through: 2 not
// found, 5 access denied, 87 a name the registry refuses, 234 a value too long
// for the buffer, 94 a value that is no string (1630).
const std::set<int> kExitStatuses = {0, 1, 2, 5, 87, 94, 234, 255};

// One line shape: literal text with slots between the pieces.
struct Shape {
  enum class Slot { None, Text, Number, List };
  std::vector<std::pair<std::string, Slot>> pieces;  // text, then the slot after it
};

Shape shape(const std::string& pattern) {
  // "{}" is any text the run could print (an argument, a name or value of the
  // registry), "{n}" a decimal number, "{+}" such texts joined by ", "; the
  // line ends after the pattern.
  const std::pair<const char*, Shape::Slot> slots[] = {
      {"{}", Shape::Slot::Text}, {"{n}", Shape::Slot::Number}, {"{+}", Shape::Slot::List}};
  Shape result;
  std::size_t start = 0;
  while (true) {
    std::size_t next = std::string::npos;
    const std::pair<const char*, Shape::Slot>* found = nullptr;
    for (const auto& slot : slots) {
      const std::size_t at = pattern.find(slot.first, start);
      if (at < next) next = at, found = &slot;
    }
    if (!found) {
      result.pieces.emplace_back(pattern.substr(start) + "\n", Shape::Slot::None);
      return result;
    }
    result.pieces.emplace_back(pattern.substr(start, next - start), found->second);
    start = next + std::string(found->first).size();
  }
}

// Whether `output` is a sequence of known lines. Texts inserted into a line
// may hold line breaks themselves, so lines are matched as a whole sequence.
class LineMatcher {
 public:
  LineMatcher(const std::vector<Shape>& shapes, std::vector<std::string> texts)
      : shapes_(shapes), texts_(std::move(texts)) {}

  // The length of the longest prefix made of whole known lines.
  std::size_t matchedPrefix(const std::string& output) const {
    std::vector<bool> reachable(output.size() + 1, false);
    reachable[0] = true;
    std::size_t longest = 0;
    for (std::size_t pos = 0; pos <= output.size(); ++pos) {
      if (!reachable[pos]) continue;
      longest = pos;
      for (const Shape& s : shapes_) {
        std::set<std::size_t> ends;
        matchPieces(output, s, 0, pos, ends);
        for (std::size_t end : ends) reachable[end] = true;
      }
    }
    return longest;
  }

 private:
  void matchPieces(const std::string& output, const Shape& s, std::size_t piece, std::size_t pos,
                   std::set<std::size_t>& ends) const {
    if (piece == s.pieces.size()) {
      ends.insert(pos);
      return;
    }
    const auto& [text, slot] = s.pieces[piece];
    if (output.compare(pos, text.size(), text) != 0) return;
    pos += text.size();
    switch (slot) {
      case Shape::Slot::None:
        matchPieces(output, s, piece + 1, pos, ends);
        break;
      case Shape::Slot::Number:
        for (std::size_t end = pos; end < output.size() && std::isdigit(output[end] & 0xFF);) {
          matchPieces(output, s, piece + 1, ++end, ends);
        }
        break;
      case Shape::Slot::Text:
      case Shape::Slot::List:
        matchTexts(output, s, piece, pos, slot == Shape::Slot::List, ends);
        break;
    }
  }

  // One text (or, for a list, texts joined by ", ") at `pos`, then the rest.
  void matchTexts(const std::string& output, const Shape& s, std::size_t piece, std::size_t pos,
                  bool list, std::set<std::size_t>& ends) const {
    for (const std::string& candidate : texts_) {
      if (output.compare(pos, candidate.size(), candidate) != 0) continue;
      const std::size_t end = pos + candidate.size();
      matchPieces(output, s, piece + 1, end, ends);
      if (list && output.compare(end, 2, ", ") == 0)
        matchTexts(output, s, piece, end + 2, list, ends);
    }
  }

  const std::vector<Shape>& shapes_;
  std::vector<std::string> texts_;
};

// Every line the commands print, as the program's messages are worded.
std::vector<Shape> messageShapes() {
  std::vector<std::string> patterns = {
      "",
      "*** Not enough arguments ***",
      "*** Invalid trace command specified: {} ***",
      "*** Invalid reg command specified: {} ***",
      "*** Registration or unregistration of 'Ivorel ODBC Driver' not allowed ***",
      "*** Invalid argument specified: {} ***",
      "*** DSN is longer than 260 ***",
      "*** {} is not a valid DSN ***",
      "*** {} does not seem to be a valid file DSN ***",
      "*** Invalid driver version {} ***",
      "*** Could not access the {} ***",
      "*** You may need to run this tool as an administrator ***",
      "*** The key or value at index {n} was longer than 1024 and is being skipped ***",
      "*** Got error code {n} while enumerating value {n} ***",
      "*** Got error code {n} while getting value for {} ***",
      "'{}' = '{}'",
      "Printing User DSN properties.",
      "Printing 64-bit System DSN properties.",
      "Printing 32-bit System DSN properties.",
      "DSN properties for {}",
      "*** Error reading '{}' from {} ***",
      "*** Error getting properties for {} ***",
      "Property {} set.",
      "*** Couldn't set property {} to '{}' ***",
      "Property {} deleted.",
      "*** Couldn't delete property {} ***",
      "*** Error reading from {} ***",
      "*** {} is not an Ivorel DSN ***",
      "*** Failed to set driver name for {} ***",
      "Driver name set to '{}'",
      "*** Couldn't find DSN {} ***",
      "Driver name set to '{}' for DSN {}",
      "*** Failed to update driver name for DSN {} ***",
      "*** Couldn't open ODBC.INI ***",
      "*** Could not open ODBCINST.INI ***",
      "*** Could not open 'ODBC Drivers' ***",
      "*** '{}' not registered. ***",
      "*** Not authorized to '{}' registry keys. ***",
      "*** Error reading '{}' registry keys. ***",
      "*** '{}' already registered ***",
      "*** Couldn't register '{}' ***",
      "Registered the {n}-bit '{}' driver.",
      "*** Not authorized to unregister '{}' driver. ***",
      "*** Error removing '{}' registry keys. ***",
      " *** Error removing '{}' from ODBCINST.INI ***",
      " *** Error unregistering '{}' from the driver manager ***",
      "Unregistered the {n}-bit '{}' driver.",
  };
  for (const char* level : {"user", "system"}) {
    for (const char* bits : {"64-bit", "32-bit", "all"}) {
      const std::string where = std::string(level) + " level for " + bits + " applications.";
      patterns.push_back("*** Could not set trace at " + where + " ***");
      patterns.push_back("*** Could not set trace file at " + where + " ***");
      for (const char* state : {"enabled", "disabled"}) {
        patterns.push_back(std::string("Trace ") + state + " at the " + where);
      }
    }
  }
  // add and remove.
  for (const char* pattern : {
           "*** Invalid add command specified: {} ***",
           "*** Invalid remove command specified: {} ***",
           "*** {} is not a valid DSN: ODBC.INI keeps its own settings under that name ***",
           "*** Invalid property specified: {} (expected <property>=<value>) ***",
           "*** {} cannot be given: add writes it from the driver's registration ***",
           "*** Property {} is given more than once ***",
           "*** Unexpected argument specified: {} ***",
           "*** '{}' is not registered for {n}-bit applications: the DSN {} could not be used "
           "there ***",
           "*** '{}' is registered for {n}-bit applications without a Driver file: the DSN {} "
           "could not be used there ***",
           "*** '{}' is registered neither for 64-bit nor for 32-bit applications: the DSN {} "
           "could not be used ***",
           "*** Got error code {n} while reading the {n}-bit registration of '{}' ***",
           "*** To register it: dsnconf reg /add GEN1 ***",
           "*** To register it: dsnconf reg /add GEN2 ***",
           "Created the user DSN {} for the {n}-bit '{}'.",
       }) {
    patterns.emplace_back(pattern);
  }
  for (const char* scope : {"user DSN", "system DSN", "64-bit system DSN", "32-bit system DSN"}) {
    patterns.push_back(std::string("*** There is no ") + scope + " {} ***");
  }
  for (const char* place : {"user", "64-bit system", "32-bit system"}) {
    const std::string dsn = std::string(place) + " DSN {}";
    for (const char* doing : {"looking for", "creating", "removing", "taking back"}) {
      patterns.push_back(std::string("*** Got error code {n} while ") + doing + " the " + dsn +
                         " ***");
    }
    patterns.push_back("*** The " + dsn +
                       " uses '{}', not an Ivorel driver: nothing was removed ***");
    patterns.push_back("*** The " + dsn +
                       " is not listed with an Ivorel driver: nothing was removed ***");
    patterns.push_back("*** The " + dsn +
                       " is not listed in ODBC Data Sources: nothing was removed ***");
    patterns.push_back("*** The " + dsn + " already exists ***");
    patterns.push_back("Removed the " + dsn + ".");
    patterns.push_back("Removed the list entry of the " + dsn + ", whose key was already gone.");
    patterns.push_back("Created the " + dsn + " for '{}'.");
  }
  // change, and the plans that the commands which write print for /whatif.
  for (const char* place : {"user", "64-bit system", "32-bit system"}) {
    const std::string dsn = std::string(place) + " DSN {}";
    for (const char* sign : {"+ ", "~ ", "- ", "= "}) {
      patterns.push_back(sign + dsn);
      patterns.push_back(sign + dsn + ": {}");
      patterns.push_back(sign + dsn + ": driver '{}'");
      patterns.push_back(sign + dsn + ": nothing to change");
      for (const char* value : {"'{}'", "********"}) {
        patterns.push_back(sign + dsn + ": {} = " + value);
        patterns.push_back(sign + dsn + ": {} = " + value + " (was " + value + ")");
      }
    }
    patterns.push_back("The " + dsn + " needed no change.");
    patterns.push_back("Listed the " + dsn + " for '{}'.");
    patterns.push_back("Removed the " + dsn + ", which no list named.");
    for (const char* sign : {"+ ", "~ "}) patterns.push_back(sign + dsn + ": listed for '{}'");
    for (const char* refusal : {" is listed already: nothing was written ***",
                                " has no key to list: nothing was written ***",
                                " has no Driver that '{}' is registered with there: nothing was "
                                "written ***"}) {
      patterns.push_back("*** The " + dsn + refusal);
    }
    for (const char* what : {": set {+}.", ": removed {+}.", ": set {+}; removed {+}."}) {
      patterns.push_back("Changed the " + dsn + what);
    }
    patterns.push_back("*** Got error code {n} while changing the " + dsn + " ***");
    for (const char* problem : {" uses '{}', not an Ivorel driver: nothing was changed ***",
                                " is not listed with an Ivorel driver: nothing was changed ***",
                                " is not listed in ODBC Data Sources: nothing was changed ***"}) {
      patterns.push_back("*** The " + dsn + problem);
    }
    patterns.push_back("*** The " + dsn + " is listed but its key ODBC.INI\\{} does not exist: " +
                       "nothing was changed ***");
    patterns.push_back("*** Driver of the " + dsn + " must be the file its driver '{}' " +
                       "is registered with '{}': nothing was changed ***");
    patterns.push_back("*** Driver of the " + dsn + " must be the file its driver '{}' " +
                       "is not registered there: nothing was changed ***");
  }
  for (const char* pattern : {
           "*** Invalid change command specified: {} ***",
           "*** The property to remove is empty ***",
           "*** Driver cannot be removed: a data source names its driver's file there ***",
           "*** Cannot read {} ***",
           "*** {}: not a JSON document ***",
           "*** The backup file name is empty ***",
           "Nothing to change.",
       }) {
    patterns.emplace_back(pattern);
  }
  // check and export; check's findings on the test's registry are known lines
  // of their own (see below).
  for (const char* pattern : {
           "*** Invalid check option specified: {} ***",
           "*** Unexpected argument: {} ***",
           "*** Invalid export format specified: {} ***",
           "*** Only one export format may be given ***",
           "*** /y replaces a file: give the file name too ***",
           "*** The file name is empty ***",
           "*** {} already exists; add /y after the file name to replace it ***",
           "*** Cannot write {} ***",
           "Exported {n} data source to {}",
           "Exported {n} data sources to {}",
       }) {
    patterns.emplace_back(pattern);
  }
  // show.
  for (const char* title : {"User", "64-bit System", "32-bit System"}) {
    patterns.push_back(std::string(title) + " DSNs:");
    patterns.push_back(std::string(title) + " DSNs: none");
  }
  for (const char* label : {"user or system DSN", "user DSN", "system DSN", "64-bit system DSN",
                            "32-bit system DSN"}) {
    patterns.push_back(std::string("*** There is no Ivorel ") + label + " {} ***");
    patterns.push_back(std::string("*** The ") + label +
                       " {} is listed for '{}' but its key ODBC.INI\\{} does not exist ***");
  }
  for (const char* pattern : {
           "DSN {} ({})",
           "  '{}' = '{}'",
           "*** Invalid show option specified: {} ***",
       }) {
    patterns.emplace_back(pattern);
  }
  std::vector<Shape> shapes;
  for (const std::string& pattern : patterns) shapes.push_back(shape(pattern));
  return shapes;
}

const char* const kUserHive =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources]\n"
    "\"Payroll\"=\"Ivorel ODBC Driver\"\n"
    "\"Sheets\"=\"Acme Text Driver\"\n\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll]\n"
    "\"Server\"=\"payroll-db\"\n"
    "\"Port\"=\"5432\"\n";

std::string machineHive(const std::string& folder) {
  std::string escaped;
  for (char c : folder) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return "Windows Registry Editor Version 5.00\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources]\n"
         "\"Sales\"=\"Sarvonet ODBC Driver\"\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\Sales]\n"
         "\"Server\"=\"sales-db\"\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers]\n"
         "\"Ivorel ODBC Driver\"=\"Installed\"\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBCINST.INI\\Ivorel ODBC Driver]\n"
         "\"Driver\"=\"ivorel.so\"\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBCINST.INI\\ODBC Drivers]\n"
         "\"Ivorel ODBC Driver\"=\"Installed\"\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBCINST.INI\\Ivorel ODBC Driver]\n"
         "\"Driver\"=\"ivorel32.so\"\n\n"
         // Relative file data-source names resolve inside the test's folder.
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI\\ODBC File DSN]\n"
         "\"DefaultDSNDir\"=\"" +
         escaped + "\"\n";
}

const char* const kFileDsn = "[ODBC]\nDRIVER=Ivorel ODBC Driver\nSYSTEM=files-db\nPort=5432\n";

// The texts of the registry and the file data source that a line may quote.
std::vector<std::string> storedTexts() {
  std::vector<std::string> texts = {
      "Payroll",   "Sheets",      "Server", "payroll-db", "Port",     "5432",
      "Sales",     "sales-db",    "DRIVER", "SYSTEM",     "files-db", "Installed",
      "ivorel.so", "ivorel32.so", "Driver", "32",         "64",       "Acme Text Driver"};
  for (const char* name : kDriverNames) texts.emplace_back(name);
  return texts;
}

// The first words of the command lines made below: every command word and the
// help requests.
constexpr const char* kCommandWords[] = {"view",   "delete", "set",    "name",  "trace",
                                         "reg",    "add",    "remove", "check", "export",
                                         "change", "apply",  "show",   "/help", "/?"};

class ArgumentMaker {
 public:
  explicit ArgumentMaker(const std::string& fileDsn) : fileDsn_(fileDsn) {}

  // Half of the command lines are arguments of any kind, mostly after a
  // command word; the other half follow a command's grammar with odd
  // arguments in its places, so that the handlers are reached too.
  std::vector<std::string> commandLine() {
    std::vector<std::string> args;
    if (pick(2) == 0) {
      const int count = pick(7);
      for (int i = 0; i < count; ++i) {
        args.push_back(i == 0 && pick(10) < 8 ? mixCase(oneOf(kCommandWords)) : argument());
      }
      return args;
    }
    const std::string word = oneOf(kCommandWords);
    args.push_back(mixCase(word));
    if (word == "trace") {
      args.push_back(pick(4) == 0 ? argument() : mixCase(pick(2) == 0 ? "/user" : "/system"));
      if (pick(2) == 0) args.push_back(pick(2) == 0 ? "/32" : "/64");
      args.push_back(pick(4) == 0 ? argument() : mixCase(pick(2) == 0 ? "on" : "off"));
    } else if (word == "reg") {
      args.push_back(pick(4) == 0 ? argument() : mixCase(pick(2) == 0 ? "/add" : "/del"));
      args.push_back(pick(4) == 0 ? argument() : mixCase(oneOf(kVersions)));
    } else if (word == "check") {
      if (pick(2) == 0) args.push_back(pick(4) == 0 ? argument() : mixCase("/json"));
    } else if (word == "export") {
      args.push_back(pick(4) == 0 ? argument() : mixCase(pick(2) == 0 ? "/json" : "/reg"));
      if (pick(2) == 0) args.push_back(pick(3) == 0 ? argument() : "export.out");
      if (pick(3) == 0) args.push_back(pick(3) == 0 ? argument() : mixCase("/y"));
    } else if (word == "apply") {
      args.push_back(pick(3) == 0 ? argument() : (pick(2) == 0 ? fileDsn_ : "missing.json"));
      for (int option = pick(4); option > 0; --option) {
        const char* const options[] = {"/prune", "/json", "/backup", "/whatif"};
        args.push_back(pick(4) == 0 ? argument() : mixCase(oneOf(options)));
      }
    } else if (word == "change") {
      args.push_back(pick(4) == 0 ? argument() : mixCase(pick(2) == 0 ? "/user" : "/system"));
      if (pick(2) == 0) args.push_back(pick(2) == 0 ? "/32" : "/64");
      args.push_back(pick(3) == 0 ? argument() : oneOf(kDataSources));
      for (int property = pick(3); property > 0; --property) {
        args.push_back(oneOf(kNames) + "=" + (pick(2) == 0 ? argument() : "v"));
      }
      if (pick(2) == 0) {
        args.push_back(mixCase("/remove"));
        for (int property = pick(3); property > 0; --property) args.push_back(oneOf(kNames));
      }
    } else if (word == "show") {
      if (pick(2) == 0) {
        args.push_back(pick(4) == 0 ? argument() : mixCase(pick(2) == 0 ? "/user" : "/system"));
      }
      if (pick(3) == 0) args.push_back(pick(2) == 0 ? "/32" : "/64");
      if (pick(2) == 0) args.push_back(pick(3) == 0 ? argument() : oneOf(kDataSources));
      if (pick(3) == 0) args.push_back(mixCase("/secrets"));
    } else if (word == "add" || word == "remove") {
      args.push_back(pick(4) == 0 ? argument() : mixCase(pick(2) == 0 ? "/user" : "/system"));
      if (pick(2) == 0) args.push_back(pick(2) == 0 ? "/32" : "/64");
      args.push_back(pick(3) == 0 ? argument() : oneOf(kDataSources) + std::string(pick(2), '2'));
      if (word == "add" && pick(2) == 0) {
        args.push_back(pick(4) == 0 ? argument() : mixCase(oneOf(kVersions)));
      }
      for (int property = word == "add" ? pick(4) : 0; property > 0; --property) {
        args.push_back(oneOf(kNames) + "=" + (pick(2) == 0 ? argument() : "v"));
      }
    } else {
      const std::string target = oneOf(kTargets);
      args.push_back(mixCase(target));
      if (target == "/dsn") args.push_back(pick(3) == 0 ? argument() : oneOf(kDataSources));
      if (target == "/fdsn") args.push_back(pick(3) == 0 ? argument() : fileDsn_);
      if (word == "name") args.push_back(pick(3) == 0 ? argument() : mixCase(oneOf(kVersions)));
      // The property, and the value of set.
      if (word == "delete" || word == "set" || (word == "view" && pick(2) == 0)) {
        args.push_back(pick(2) == 0 ? argument() : oneOf(kNames));
      }
      if (word == "set") args.push_back(argument());
    }
    for (int extra = pick(4) / 3; extra > 0; --extra) args.push_back(argument());
    if (pick(4) == 0) args.push_back(mixCase("/whatif"));
    return args;
  }

 private:
  static constexpr const char* kKeywords[] = {
      "/dsn", "/fdsn", "/all", "/user",    "/system", "/32",  "/64",   "on",
      "off",  "/add",  "/del", "GEN1",     "GEN2",    "GEN3", "/help", "/?",
      "add",  "/dsnx", "gen",  "/help-me", "/json",   "/reg", "/y",    "/secrets"};
  static constexpr const char* kTargets[] = {"/dsn", "/fdsn", "/all"};
  static constexpr const char* kVersions[] = {"GEN1", "GEN2", "GEN3"};
  static constexpr const char* kDataSources[] = {"Payroll", "Sales", "Sheets"};
  static constexpr const char* kNames[] = {"Payroll", "Sales",  "Sheets", "Port",
                                           "Server",  "sample", "UID",    ""};

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  template <std::size_t N>
  std::string oneOf(const char* const (&choices)[N]) {
    return choices[pick(static_cast<int>(N))];
  }

  std::string mixCase(std::string word) {
    for (char& c : word) {
      if (pick(2) == 0 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return word;
  }

  std::string bytes(std::size_t length, int low, int high) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
      text += static_cast<char>(std::uniform_int_distribution<int>(low, high)(random_));
    }
    return text;
  }

  std::string argument() {
    switch (pick(12)) {
      case 0:
      case 1:
      case 2:
        return mixCase(oneOf(kKeywords));
      case 3:
      case 4:
        return oneOf(kNames);
      case 5:
        return pick(2) == 0 ? fileDsn_ : "sample.dsn";
      case 6:
        return bytes(1 + pick(40), 1, 255);
      case 7:
        return bytes(1 + pick(20), 0x80, 0xFF);
      case 8: {
        const char* const odd[] = {"%s%s%n%x",   "%",          "100%", "a\\b\\\\c",
                                   "\"quoted\"", "'",          "\\",   "C:\\trace %TEMP%.log",
                                   "\"",         "a\"b'c%d\\e"};
        return odd[pick(10)];
      }
      case 9:
        return std::string();
      case 10:
        // Now and then an argument of 100 KB, of one byte or of many.
        return pick(4) == 0 ? bytes(kLongArgument, 1, 255)
                            : std::string(kLongArgument + pick(100), 'x');
      default:
        return bytes(200 + pick(300), 32, 126);
    }
  }

  std::mt19937 random_{kSeed};
  std::string fileDsn_;
};

std::string describe(const std::vector<std::string>& args) {
  std::ostringstream text;
  for (const std::string& arg : args) {
    text << " [";
    if (arg.size() > 80) {
      text << arg.size() << " bytes";
    } else {
      for (char c : arg) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte < 127) {
          text << c;
        } else {
          text << "\\x" << std::hex << static_cast<int>(byte) << std::dec;
        }
      }
    }
    text << "]";
  }
  return text.str();
}

void seedRegistry(const std::string& registry, const TempFolder& folder,
                  const std::string& fileDsn) {
  std::filesystem::remove_all(registry);
  std::filesystem::create_directories(registry);
  writeFile(registry + "/HKEY_CURRENT_USER.reg", kUserHive);
  writeFile(registry + "/HKEY_LOCAL_MACHINE.reg", machineHive(folder.path().string()));
  writeFile(fileDsn, kFileDsn);
}

// The command words the general screen lists, in its order: the first word of
// each line after "Command syntax:" up to the blank line.
std::vector<std::string> listedCommandWords(const std::string& screen) {
  std::vector<std::string> words;
  std::istringstream lines(screen);
  std::string line;
  while (std::getline(lines, line) && line != "Command syntax:") {
  }
  while (std::getline(lines, line) && !line.empty()) {
    std::istringstream fields(line);
    std::string word;
    fields >> word;
    words.push_back(word);
  }
  return words;
}

// A whole document on standard output: a registry file (UTF-16LE with its
// byte-order mark, in whole code units) or one JSON text.
bool isDocument(const std::string& out) {
  if (out.rfind("\xFF\xFE", 0) == 0) return out.size() % 2 == 0;
  if (out.empty() || out[0] != '{') return false;
  return nlohmann::json::accept(out);
}

TEST(BadCommandLines, EveryRunEndsWithAKnownStatusAndKnownLines) {
  const TempFolder folder;
  const std::string registry = folder.file("registry");
  const std::string fileDsn = folder.file("sample.dsn");
  const std::vector<std::pair<std::string, std::string>> environment = {
      {"DSNCONF_REGISTRY", registry}};

  // The usage screens, as the help requests print them, are known lines too:
  // the general screen's, and the screen of each command word it lists, which
  // are all the command words the runs use.
  std::vector<Shape> shapes = messageShapes();
  const ProcessResult general = runProcess(DSNCONF_BINARY, {"/?"}, environment);
  ASSERT_EQ(general.exitStatus, 0);
  const std::vector<std::string> words = listedCommandWords(general.out);
  std::vector<std::string> used;
  for (const char* word : kCommandWords) {
    if (word[0] != '/') used.emplace_back(word);
  }
  EXPECT_EQ(words, used) << general.out;
  std::set<std::string> screenLines;
  std::istringstream generalLines(general.out);
  for (std::string line; std::getline(generalLines, line);) screenLines.insert(line);
  for (const std::string& word : words) {
    const ProcessResult help = runProcess(DSNCONF_BINARY, {word, "/?"}, environment);
    ASSERT_EQ(help.exitStatus, 0) << word;
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) screenLines.insert(line);
  }
  ASSERT_GT(screenLines.size(), 40u);
  for (const std::string& line : screenLines) shapes.push_back(shape(line));
  // check reports the same findings at every run: the registry is seeded
  // afresh for each.
  seedRegistry(registry, folder, fileDsn);
  const ProcessResult check = runProcess(DSNCONF_BINARY, {"check"}, environment);
  ASSERT_EQ(check.exitStatus, 1) << check.out;
  std::istringstream checkLines(check.out);
  for (std::string line; std::getline(checkLines, line);) shapes.push_back(shape(line));

  ArgumentMaker maker(fileDsn);
  std::set<int> statuses;
  for (int run = 0; run < kRuns; ++run) {
    seedRegistry(registry, folder, fileDsn);
    const std::vector<std::string> args = maker.commandLine();
    // Files that export writes land in the test's folder.
    const ProcessResult result =
        runProcess(DSNCONF_BINARY, args, environment, folder.path().string());
    const std::string context = "run " + std::to_string(run) + ":" + describe(args);
    ASSERT_NE(result.exitStatus, -1) << context << " ended by a signal";
    EXPECT_EQ(kExitStatuses.count(result.exitStatus), 1u)
        << context << " ended with status " << result.exitStatus;
    EXPECT_EQ(result.err, "") << context;

    std::vector<std::string> texts = storedTexts();
    texts.insert(texts.end(), args.begin(), args.end());
    // A property's name, as add quotes it.
    for (const std::string& arg : args) {
      texts.push_back(arg.substr(0, arg.find('=')));
      // and its value, as change and the plans show it.
      if (arg.find('=') != std::string::npos) texts.push_back(arg.substr(arg.find('=') + 1));
    }
    if (isDocument(result.out)) {
      statuses.insert(result.exitStatus);
      continue;
    }
    const LineMatcher matcher(shapes, texts);
    const std::size_t matched = matcher.matchedPrefix(result.out);
    EXPECT_EQ(matched, result.out.size()) << context << "\nunknown output from byte " << matched
                                          << ": " << result.out.substr(matched, 200);
    statuses.insert(result.exitStatus);
  }
  // The runs reached the handlers' failures as well as the usage screens.
  std::string seen;
  for (int status : statuses) seen += " " + std::to_string(status);
  EXPECT_GE(statuses.size(), 4u) << "statuses seen:" << seen;
}

}  // namespace
}  // namespace dsnconf::test
