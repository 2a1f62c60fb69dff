// Command lines printed for an administrator to paste into a Command Prompt
// (cmd.exe) or a PowerShell window, which must reach the program as exactly
// the arguments meant. Each shell reads the line before the program does: cmd
// passes the text on as it is, once it has acted on & | < > ^ ( ) and %...%
// outside double quotes, and PowerShell parses its own syntax and builds a new
// command line. The program then splits what it gets by the C runtime's rules
// (base/command_line_split.h). Pure text: no shell is asked.
//
// An argument is printed as it is where it consists of letters, digits and
// . _ : \ / + = - only and begins with a letter, / or \. cmd gives none of
// these a meaning; PowerShell takes such a word as a plain string. A word
// beginning with - is a parameter to PowerShell, which breaks -a.b in two even
// for a program; one beginning with a digit, + or . may be a number literal.
//
// Any other argument goes in double quotes, where cmd takes & | < > ^ ( ) , ;
// = and blanks literally, and so does PowerShell (its operators, @, #, {, [
// and ' included), unless the argument holds a character that neither leaves
// alone even there. Such an argument has no form, and a line that needs it is
// not printed:
// - " (cmd turns its quoting on and off at every quote whatever precedes it,
//   and Windows PowerShell 5.1 passes embedded quotes to a program unescaped);
//   also PowerShell's typographic double quotes U+201C, U+201D and U+201E,
//   which it reads as ";
// - % (cmd expands %NAME% inside quotes too, and a batch file eats a single %);
// - ! (cmd expands !NAME! inside quotes when delayed expansion is on);
// - $ and ` (PowerShell expands variables and reads escapes inside "...");
// - control characters (C0, DEL, C1) and the line and paragraph separators
//   U+2028 and U+2029: a pasted line would break or end at them;
// - a surrogate without its pair, or bytes that are not WTF-8: no console or
//   UTF-8 output carries it.
// Two more have no form:
// - the empty argument: Windows PowerShell 5.1 drops "" when it calls a
//   program;
// - a quoted argument that ends with a backslash: the runtime reads \" as a
//   literal quote, and PowerShell 5.1, which adds its own quotes around an
//   argument with a blank, does not double the backslash before them.
// Non-ASCII text (blanks such as U+00A0 included) is quoted: PowerShell
// separates words at Unicode blanks and treats dashes U+2013..U+2015 as -.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dsnconf {

// The form of one argument (WTF-8) on a command line for cmd.exe and
// PowerShell, or nothing where no form is safe in both.
std::optional<std::string> shellArgument(std::string_view argument);

// The command line of the program (the first word) and its arguments,
// separated by single blanks, or nothing where an argument has no form. The
// program's name must need no quotes: PowerShell takes a quoted first word as
// a string, not as a command to run.
std::optional<std::string> shellCommandLine(const std::vector<std::string>& words);

}  // namespace dsnconf
