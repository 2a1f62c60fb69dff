// The hint rule test's own registries: between them every finding check
// knows, each fix in every form it takes (both sides of views-differ, both
// repairs of a key no list names, both repairs of a half-made registration,
// on a system of two views and of one).
#pragma once

#include <string>
#include <vector>

namespace dsnconf::test {

struct HintRegistry {
  std::string label;
  std::string machine;  // HKEY_LOCAL_MACHINE's .reg lines; "{DIR}" is the work folder
  std::string user;     // HKEY_CURRENT_USER's
  std::vector<std::pair<std::string, std::string>> files;  // below the work folder
  bool oneView = false;
};

// A string value too long for the first commands' 1024-byte buffers.
inline std::string longText() {
  return std::string(1100, 'n');
}

inline std::vector<HintRegistry> hintRegistries() {
  const std::string drivers = R"reg(
[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\ODBC Drivers]
"Ivorel ODBC Driver"="Installed"
"Sarvonet ODBC Driver"="Installed"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\Ivorel ODBC Driver]
"Driver"="C:\\R&D\\ivorel.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBCINST.INI\ODBC Drivers]
"Ivorel ODBC Driver"="Installed"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBCINST.INI\Ivorel ODBC Driver]
"Driver"="C:\\R&D\\ivorel32.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBCINST.INI\Brenmoor ODBC Driver (32-bit)]
"Driver"="C:\\R&D\\ivorel32.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\ODBC File DSN]
"DefaultDSNDir"="{DIR}/dsns"
)reg";
  const std::string machineSources = R"reg(
[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Both"="Ivorel ODBC Driver"
"Gone"="Ivorel ODBC Driver"
"Mismatch"="Ivorel ODBC Driver"
"Old Sales"="Brenmoor ODBC Driver (32-bit)"
"Payroll"="Ivorel ODBC Driver"
"Sales"="Ivorel ODBC Driver"
"Long"="Ivorel ODBC Driver"
"Keep"="Ivorel ODBC Driver"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Both]
"Driver"="C:\\R&D\\ivorel.dll"
"Server"="R&D db (main)"
"Port"="5432"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Mismatch]
"Driver"="C:\\Old\\ivorel.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Old Sales]
"Driver"="C:\\R&D\\ivorel.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Payroll]
"Driver"="C:\\R&D\\ivorel.dll"
"PWD"="payroll-secret"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Sales]
"Driver"="C:\\R&D\\ivorel.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Long]
"Driver"="C:\\R&D\\ivorel.dll"
"Notes"="LONG"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Keep]
"Driver"="C:\\R&D\\ivorel.dll"
"Port"=dword:00001538

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Killed Add]
"Driver"="C:\\R&D\\ivorel.dll"
"Server"="half-made"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\ODBC]
"Trace"="1"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\ODBC Data Sources]
"Both"="Ivorel ODBC Driver"
"Payroll"="Ivorel ODBC Driver"
"Long"="Ivorel ODBC Driver"
"Keep"="Ivorel ODBC Driver"
"Orders"="Ivorel ODBC Driver"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\Both]
"Driver"="C:\\R&D\\ivorel32.dll"
"Server"="old-db"
"UID"="clerk"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\Payroll]
"Driver"="C:\\R&D\\ivorel32.dll"
"PWD"="payroll-secret"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\Long]
"Driver"="C:\\R&D\\ivorel32.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\Keep]
"Driver"="C:\\R&D\\ivorel32.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\Orders]
"Driver"="C:\\R&D\\ivorel32.dll"
"Password"="orders-secret"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\Wrong View]
"Driver"="C:\\R&D\\ivorel.dll"
)reg";
  std::string machine = drivers + machineSources;
  machine.replace(machine.find("\"LONG\""), 6, "\"" + longText() + "\"");
  const std::string user = R"reg(
[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Archive"="Sarvonet ODBC Driver"
"Sales"="Ivorel ODBC Driver"
"Numbered"=dword:00000007
"Mine"="Ivorel ODBC Driver"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Archive]
"Driver"="C:\\R&D\\ivorel.dll"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Sales]
"Driver"="C:\\R&D\\ivorel.dll"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Mine]
"Driver"="C:\\R&D\\ivorel32.dll"
"pwd"="mine-secret"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Stray]
"Driver"="C:\\R&D\\IVOREL32.DLL"
"Server"="stray-db"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\ODBC]
"Trace"="1"
)reg";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"dsns/secret.dsn", "[ODBC]\nDRIVER=Ivorel ODBC Driver\nSYSTEM=db01\nPWD=file-secret\n"},
      {"dsns/old.dsn", "[ODBC]\nDRIVER=Sarvonet ODBC Driver\nSYSTEM=db02\n"},
  };
  const std::string oneView = R"reg(
[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\ODBC Drivers]
"Ivorel ODBC Driver"="Installed"
"Brenmoor ODBC Driver (32-bit)"="Installed"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\Ivorel ODBC Driver]
"Driver"="C:\\Ivorel\\ivorel32.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\Sarvonet ODBC Driver]
"Driver"="C:\\Ivorel\\ivorel32.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Archive"="Sarvonet ODBC Driver"
"Ledger"="Ivorel ODBC Driver"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Archive]
"Driver"="C:\\Ivorel\\ivorel32.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Ledger]
"Driver"="C:\\Ivorel\\ivorel32.dll"
"Password"="ledger-secret"
)reg";
  return {
      {"every finding, on two views", machine, user, files, false},
      {"a system of one view", oneView, "", {}, true},
  };
}

}  // namespace dsnconf::test
