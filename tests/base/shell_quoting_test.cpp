// Command lines for cmd.exe and PowerShell: which form each argument takes,
// which has none, and that every form printed reaches the program, split by
// the C runtime's rules, as exactly the argument meant.
#include "base/shell_quoting.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/command_line_split.h"
#include "base/unicode.h"

namespace dsnconf::test {
namespace {

// What the program gets from "dsnconf <form>".
std::vector<std::u16string> programArguments(const std::string& form) {
  return splitCommandLine(u"dsnconf " + wtf8ToUtf16(form));
}

void expectRoundTrip(const std::string& argument, const std::string& form) {
  const std::vector<std::u16string> expected = {u"dsnconf", wtf8ToUtf16(argument)};
  EXPECT_EQ(programArguments(form), expected) << "[" << argument << "] printed as " << form;
}

struct Row {
  const char* why;
  std::string argument;
  std::optional<std::string> form;
};

TEST(ShellQuoting, EachSpecialCharacterTakesItsForm) {
  const std::optional<std::string> none;
  const Row rows[] = {
      {"a plain word", "Payroll", "Payroll"},
      {"a switch", "/user", "/user"},
      {"a path", "C:\\Ivorel\\ivorel.dll", "C:\\Ivorel\\ivorel.dll"},
      {"a plain path ending in a backslash", "C:\\Ivorel\\", "C:\\Ivorel\\"},
      {"every plain character", "a1._:\\/+=-Z", "a1._:\\/+=-Z"},
      {"a blank", "Legacy Orders", "\"Legacy Orders\""},
      {"cmd's command separator &", "R&D", "\"R&D\""},
      {"a pipe", "A|B", "\"A|B\""},
      {"redirection <", "A<B", "\"A<B\""},
      {"redirection >", "A>B", "\"A>B\""},
      {"cmd's escape ^", "A^B", "\"A^B\""},
      {"an opening parenthesis", "A(B", "\"A(B\""},
      {"a closing parenthesis", "A)B", "\"A)B\""},
      {"a comma, PowerShell's array operator", "A,B", "\"A,B\""},
      {"a semicolon", "A;B", "\"A;B\""},
      {"PowerShell's comment #", "#1", "\"#1\""},
      {"PowerShell's splatting @", "@list", "\"@list\""},
      {"braces, a script block to PowerShell", "{1}", "\"{1}\""},
      {"a single quote", "O'Brien", "\"O'Brien\""},
      {"brackets", "[x]", "\"[x]\""},
      {"wildcards", "a*b?", "\"a*b?\""},
      {"a tilde", "~x", "\"~x\""},
      {"a leading dash: PowerShell splits -a.b", "-a.b", "\"-a.b\""},
      {"a leading digit: a number to PowerShell", "10kb", "\"10kb\""},
      {"a leading dot", ".5", "\".5\""},
      {"a leading plus", "+5", "\"+5\""},
      {"non-ASCII text", "Caf\xC3\xA9", "\"Caf\xC3\xA9\""},
      {"a no-break space", "x\xC2\xA0y", "\"x\xC2\xA0y\""},
      {"an en dash, a dash to PowerShell", "\xE2\x80\x93x", "\"\xE2\x80\x93x\""},
      {"a character beyond the BMP", "\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
      {"a backslash inside quotes", "A B\\C", "\"A B\\C\""},
      {"a double quote", "Say \"hi\"", none},
      {"a lone double quote", "\"", none},
      {"cmd's %VAR%", "100%", none},
      {"cmd's delayed !VAR!", "Hi!", none},
      {"PowerShell's $", "$x", none},
      {"PowerShell's escape `", "a`b", none},
      {"PowerShell's left typographic quote", "\xE2\x80\x9Cx", none},
      {"PowerShell's right typographic quote", "x\xE2\x80\x9D", none},
      {"PowerShell's low typographic quote", "\xE2\x80\x9Ex", none},
      {"a tab", "a\tb", none},
      {"a line break", "a\nb", none},
      {"DEL", "a\x7F", none},
      {"a C1 control", "a\xC2\x85", none},
      {"a line separator", "a\xE2\x80\xA8", none},
      {"a surrogate without its pair", "a\xED\xA0\x80", none},
      {"bytes that are not WTF-8", "a\xFF", none},
      {"the empty argument", "", none},
      {"a quoted argument ending in a backslash", "C:\\R&D\\", none},
      {"a blank before a final backslash", "A B\\", none},
  };
  for (const Row& row : rows) {
    const std::optional<std::string> form = shellArgument(row.argument);
    EXPECT_EQ(form, row.form) << row.why;
    if (form) expectRoundTrip(row.argument, *form);
  }
}

// Each printable ASCII character in every position of a short argument: the
// form, where there is one, gives the argument back, and quotes appear only
// where the argument needs them.
TEST(ShellQuoting, EveryAsciiCharacterRoundTripsOrHasNoForm) {
  int quoted = 0;
  int withoutForm = 0;
  for (char c = ' '; c <= '~'; ++c) {
    for (const std::string& argument : {std::string(1, c), std::string(1, c) + "x",
                                        "x" + std::string(1, c), "x" + std::string(1, c) + "x"}) {
      const std::optional<std::string> form = shellArgument(argument);
      if (!form) {
        ++withoutForm;
        continue;
      }
      expectRoundTrip(argument, *form);
      if (*form != argument) {
        EXPECT_EQ(*form, "\"" + argument + "\"");
        ++quoted;
      }
    }
  }
  // " % ! $ and ` have no form, wherever they stand.
  EXPECT_EQ(withoutForm, 5 * 4);
  EXPECT_GT(quoted, 100);
}

TEST(ShellQuoting, ACommandLineIsItsWordsOrNothing) {
  EXPECT_EQ(shellCommandLine({"dsnconf", "remove", "/user", "R&D"}),
            "dsnconf remove /user \"R&D\"");
  EXPECT_EQ(shellCommandLine({"dsnconf", "set", "/dsn", "Payroll", "Driver", "C:\\R&D\\x.dll"}),
            "dsnconf set /dsn Payroll Driver \"C:\\R&D\\x.dll\"");
  EXPECT_EQ(shellCommandLine({"dsnconf"}), "dsnconf");
  // One argument without a form spoils the line.
  EXPECT_EQ(shellCommandLine({"dsnconf", "remove", "/user", "100%"}), std::nullopt);
  EXPECT_EQ(shellCommandLine({"dsnconf", "remove", "/user", ""}), std::nullopt);
  // PowerShell does not run a quoted first word.
  EXPECT_EQ(shellCommandLine({"dsn conf", "check"}), std::nullopt);
  EXPECT_EQ(shellCommandLine({}), std::nullopt);

  const std::vector<std::string> words = {"dsnconf", "add", "/user",      "A B",
                                          "x=1 2",   "R&D", "Caf\xC3\xA9"};
  const std::optional<std::string> line = shellCommandLine(words);
  ASSERT_TRUE(line.has_value());
  std::vector<std::u16string> expected;
  for (const std::string& word : words) expected.push_back(wtf8ToUtf16(word));
  EXPECT_EQ(splitCommandLine(wtf8ToUtf16(*line)), expected) << *line;
}

}  // namespace
}  // namespace dsnconf::test
