#include "cli/usage.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "base/output.h"

namespace dsnconf {
namespace {

const char* const kBanner = "     -----  Ivorel ODBC registry utility  -----";

// The general screen: the six commands, then the added ones (kAddedCommands),
// then the closing lines.
const char* const kGeneralScreen[] = {
    "Command syntax:",
    "  view    View DSN configuration.",
    "  delete  Delete a configuration property for a given DSN.",
    "  set     Add or modify a DSN configuration property.",
    "  name    Change Ivorel DSNs to use the specified driver.",
    "  trace   Modify ODBC Driver Manager trace configuration.",
    "  reg     Register or unregister a previous Ivorel driver.",
};
const char* const kGeneralScreenEnd[] = {
    "",
    "For more information on using one of the above options,",
    "pass /help or /? to any of the above options",
};

// The commands beyond the six, in the general screen's frame: a new command
// adds its row here.
struct AddedCommand {
  const char* word;
  const char* description;
};
const AddedCommand kAddedCommands[] = {
    {"add", "Create a user or system DSN for an Ivorel driver."},
    {"remove", "Remove a user or system DSN of an Ivorel driver."},
    {"check", "Diagnose the ODBC configuration of Ivorel DSNs and drivers."},
    {"export", "Write Ivorel DSNs out as JSON or as a registry file."},
    {"change", "Set or remove properties of each copy of an Ivorel DSN."},
    {"apply", "Bring Ivorel DSNs and tracing to the state a JSON file describes."},
    {"show", "Show each copy of Ivorel DSNs in each place."},
};
// The six lines' frame: two blanks, the word padded to this width, the text.
constexpr std::size_t kCommandColumn = 8;
const char* const kViewScreen[] = {
    "view {/dsn <DSN> | /fdsn <File DSN path> | /all} [<property>]",
    "",
    "View DSN configuration - showing the value for the given",
    "property or all properties if no property is specified.",
    "",
    "  Command options:",
    "  /dsn              The given user or system DSN is viewed.",
    "  /fdsn             The given file DSN path is viewed.",
    "  /all              All system and user DSNs are viewed.",
    "",
    "  <DSN>             The name of the user or system data source.",
    "  <File DSN Path>   The name of the file data source if it is in the default",
    "                      location or the absolute path to the file data source.",
    "  <property>        Property to display. (optional)",
};
const char* const kDeleteScreen[] = {
    "delete {/dsn <DSN> | /fdsn <File DSN path>} <property>",
    "",
    "Delete a configuration property for a given DSN.",
    "",
    "  Command options:",
    "  /dsn              The given property is deleted from the user or system DSN.",
    "  /fdsn             The given property is deleted from the file DSN.",
    "",
    "  <DSN>             The name of the user or system data source.",
    "  <File DSN Path>   The name of the file data source if it is in the default",
    "                      location or the absolute path to the file data source.",
    "  <property>        Property to delete.",
};
const char* const kSetScreen[] = {
    "set {/dsn <DSN> | /fdsn <File DSN path>} <property> <value>",
    "",
    "Add or modify a DSN configuration property.",
    "",
    "  Command options:",
    "  /dsn              The given property is created in the user or system DSN.",
    "  /fdsn             The given property is created in the file DSN.",
    "",
    "  <DSN>             The name of the user or system data source.",
    "  <File DSN Path>   The name of the file data source if it is in the default",
    "                      location or the absolute path to the file data source.",
    "  <property>        Property to set.",
    "  <value>           Value of the property being set.",
};
const char* const kNameScreen[] = {
    "name {/dsn <DSN> | /fdsn <File DSN path> | /all} {GEN1 | GEN2 | GEN3}",
    "",
    "Change Ivorel DSNs to use the specified driver.",
    "",
    "  Command options:",
    "  /dsn              The given user or system DSN is modified.",
    "  /fdsn             The given file DSN path is modified.",
    "  /all              All system and user DSNs are modified.",
    "",
    "  <DSN>             The name of the user or system data source.",
    "  <File DSN Path>   The name of the file data source if it is in the default",
    "                      location or the absolute path to the file data source.",
    "  GEN1               DSN(s) changed to \"Brenmoor ODBC Driver (32-bit)\"",
    "  GEN2               DSN(s) changed to \"Sarvonet ODBC Driver\"",
    "  GEN3               DSN(s) changed to \"Ivorel ODBC Driver\"",
};
const char* const kTraceScreen[] = {
    "trace {/user | /system [{/32 | /64}]} {ON | OFF} [<tracefile>]",
    "",
    "Modify ODBC Driver Manager trace configuration.",
    "",
    "  Command options:",
    "  /user             Enable ODBC trace for the current user.",
    "  /system           Enable ODBC trace for all users...",
    "  /32                 ... but only for 32-bit applications.",
    "  /64                 ... but only for 64-bit applications.",
    "",
    "  <tracefile>       Absolute path to file which will store trace data.",
};
const char* const kRegScreen[] = {
    "reg {add | /del} {GEN1 | GEN2}",
    "",
    "Register or unregister a previous Ivorel driver.",
    "",
    "  Command options:",
    "  /add              Register the given driver version.",
    "  /del              Unregister the given driver version.",
    "",
    "  GEN1              \"Brenmoor ODBC Driver (32-bit)\" is added or removed.",
    "  GEN2              \"Sarvonet ODBC Driver\" is added or removed.",
};
const char* const kCheckScreen[] = {
    "check [/json]",
    "",
    "Diagnose the ODBC configuration of Ivorel DSNs and drivers.",
    "",
    "  Command options:",
    "  /json             The findings are written as one JSON document.",
    "",
    "  Nothing is changed. Each finding names what is wrong, where, and the",
    "  dsnconf command line that repairs it. Exit status: 0 when nothing above",
    "  info was found, 1 for a warning or an error.",
};

const char* const kAddScreen[] = {
    "add {/user | /system} [/64 | /32] <DSN> [GEN1 | GEN2 | GEN3] [<property>=<value> ...]",
    "    [/adopt] [/whatif]",
    "",
    "Create a user or system DSN for an Ivorel driver.",
    "",
    "  Command options:",
    "  /user             The DSN is created for the current user...",
    "  /system           The DSN is created for all users, in both registry views...",
    "  /64                 ... with the driver's 64-bit registration (only).",
    "  /32                 ... with the driver's 32-bit registration (only).",
    "",
    "  <DSN>             The name of the new user or system data source.",
    "  GEN1              DSN created for \"Brenmoor ODBC Driver (32-bit)\"",
    "  GEN2              DSN created for \"Sarvonet ODBC Driver\"",
    "  GEN3              DSN created for \"Ivorel ODBC Driver\" (default)",
    "  <property>=<value>",
    "                    A property written to the new DSN. (optional, repeatable)",
    "  /adopt            List the DSN's key that is already there, unlisted, with",
    "                      the driver's file: what an interrupted add leaves.",
    "  /whatif           Show what would be created, and write nothing.",
};
const char* const kRemoveScreen[] = {
    "remove {/user | /system} [/64 | /32] <DSN> [/whatif]",
    "",
    "Remove a user or system DSN of an Ivorel driver.",
    "",
    "  Command options:",
    "  /user             The current user's DSN is removed.",
    "  /system           The DSN is removed for all users, from both registry views...",
    "  /64                 ... but only from the 64-bit view.",
    "  /32                 ... but only from the 32-bit view.",
    "",
    "  <DSN>             The name of the user or system data source.",
    "  /whatif           Show what would be removed, and write nothing.",
};
const char* const kChangeScreen[] = {
    "change {/user | /system} [/64 | /32] <DSN> [<property>=<value> ...]",
    "    [/remove <property> ...] [/whatif]",
    "",
    "Set or remove properties of a user or system DSN of an Ivorel driver.",
    "",
    "  Command options:",
    "  /user             The current user's DSN is changed.",
    "  /system           The DSN is changed in every registry view that has it...",
    "  /64                 ... but only in the 64-bit view.",
    "  /32                 ... but only in the 32-bit view.",
    "  /remove           The properties named after it are removed.",
    "  /whatif           Show what would change, and write nothing.",
    "",
    "  <DSN>             The name of the user or system data source.",
    "  <property>=<value>",
    "                    A property set to the value, as a string. (repeatable)",
};
const char* const kApplyScreen[] = {
    "apply <file> [/prune] [/backup <file.reg>] [/json] [/whatif]",
    "",
    "Bring Ivorel DSNs and tracing to the state a JSON file describes.",
    "",
    "  Command options:",
    "  <file>            A JSON document as export /json writes it.",
    "  /prune            Also remove the Ivorel DSNs of the places the file names",
    "                      that it does not list.",
    "  /backup           First write the DSNs that change to a registry file.",
    "  /json             Print the result as one JSON document.",
    "  /whatif           Show what would change, and write nothing.",
};
const char* const kExportScreen[] = {
    "export {/json | /reg} [<file>] [/y] [/secrets]",
    "",
    "Write the Ivorel DSNs out, as a JSON inventory or as a registry file.",
    "",
    "  Command options:",
    "  /json             A JSON inventory for scripts: the DSNs with their",
    "                      properties, tracing and the drivers' registrations.",
    "                      Passwords are left out unless /secrets is given.",
    "  /reg              A registry file that reg import restores the DSNs from:",
    "                      their list entries and keys with every value,",
    "                      passwords included. Keep it as you keep passwords.",
    "  /y                Replace the file if it exists.",
    "  /secrets          Keep passwords in the JSON inventory.",
    "",
    "  <file>            The file to write; standard output if none is given.",
};

const char* const kShowScreen[] = {
    "show [/user | /system [/64 | /32]] [<DSN>] [/secrets]",
    "",
    "Show each copy of Ivorel DSNs in each place, with its own properties.",
    "",
    "  Command options:",
    "  /user             Only the current user's DSNs.",
    "  /system           Only the machine's DSNs, in both registry views...",
    "  /64                 ... but only in the 64-bit view.",
    "  /32                 ... but only in the 32-bit view.",
    "  /secrets          Show password values instead of a mask.",
    "",
    "  <DSN>             Only this DSN, in each place that lists it. (optional)",
    "",
    "  A user DSN hides a system DSN of the same name from view, set and name;",
    "  show shows both, and both copies of a system DSN. Exit status: 0 when",
    "  everything was shown, 1 when anything could not be or the DSN is in none",
    "  of the places.",
};

struct ScreenText {
  UsageScreen screen;
  const char* const* lines;
  std::size_t count;
};

template <std::size_t N>
constexpr ScreenText screenText(UsageScreen screen, const char* const (&lines)[N]) {
  return {screen, lines, N};
}

// The screens of the commands; the general one is put together above.
const ScreenText kScreens[] = {
    screenText(UsageScreen::View, kViewScreen),     screenText(UsageScreen::Delete, kDeleteScreen),
    screenText(UsageScreen::Set, kSetScreen),       screenText(UsageScreen::Name, kNameScreen),
    screenText(UsageScreen::Trace, kTraceScreen),   screenText(UsageScreen::Reg, kRegScreen),
    screenText(UsageScreen::Add, kAddScreen),       screenText(UsageScreen::Remove, kRemoveScreen),
    screenText(UsageScreen::Check, kCheckScreen),   screenText(UsageScreen::Export, kExportScreen),
    screenText(UsageScreen::Change, kChangeScreen), screenText(UsageScreen::Apply, kApplyScreen),
    screenText(UsageScreen::Show, kShowScreen),
};

void printLines(const char* const* lines, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) printLine(lines[i]);
}

void printGeneralScreen() {
  printLines(kGeneralScreen, std::size(kGeneralScreen));
  for (const AddedCommand& command : kAddedCommands) {
    std::string line = std::string("  ") + command.word;
    const std::size_t length = std::strlen(command.word);
    line.append(length < kCommandColumn ? kCommandColumn - length : 1, ' ');
    printLine(line + command.description);
  }
  printLines(kGeneralScreenEnd, std::size(kGeneralScreenEnd));
}

}  // namespace

void printUsageAndExit(UsageScreen screen, bool isError) {
  printLine(kBanner);
  printLine("");
  if (screen == UsageScreen::General) printGeneralScreen();
  for (const ScreenText& text : kScreens) {
    if (text.screen == screen) printLines(text.lines, text.count);
  }
  std::exit(isError ? -1 : 0);
}

}  // namespace dsnconf
