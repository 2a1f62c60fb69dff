#!/usr/bin/env bash
# export /reg under Wine, read back by Wine's own reg.exe, a second reader of
# the format: the data sources are exported, deleted and imported again, and
# the ODBC trees (reg export) and view /all and export /json must be as they
# were, every value type and every irregular string included.
#
#   tests/wine/export_round_trip.sh WINE_BIN_DIR
#
# Runs inside the Windows stage (scripts/test-windows.sh), with WINEPREFIX set
# and its wineserver running. It uses, and empties when it starts and ends,
# the ODBC trees of Wine's registry, as the end-to-end cases do.
set -euo pipefail

bin=$(realpath "$1")
host=$bin/case-host.exe
scratch=$(mktemp -d)
trap 'wine "$host" clear >/dev/null 2>&1 || true; [[ -n ${KEEP_SCRATCH:-} ]] || rm -rf "$scratch"' EXIT

fail() {
  echo "*** export round trip: $* ***" >&2
  exit 1
}

# A UTF-16 .reg file, as regedit reads and writes them, from UTF-8 text.
write_utf16() {
  { printf '\xff\xfe'; sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$1"
}

ini='Software\ODBC\ODBC.INI'
trees=("HKCU\\$ini" "HKLM\\$ini" "HKLM\\Software\\WOW6432Node\\ODBC\\ODBC.INI")

# Hex string data is UTF-16LE in a UTF-16 file: "Bare" lacks its terminator,
# "Split" holds a zero inside, "Lines" a line break.
wine "$host" clear >/dev/null || fail "case-host clear failed"
write_utf16 "$scratch/seed.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\ODBC\ODBC.INI\ODBC Data Sources]
"Payroll"="Ivorel ODBC Driver"
"Sheets"="Acme Text Driver"

[HKEY_CURRENT_USER\Software\ODBC\ODBC.INI\Payroll]
@="Défaut"
"Bare"=hex(1):61,00,62,00
"Big"=hex(5):00,00,15,38
"Blob"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,19,1a,1b,1c,1d,1e,1f
"Date"=hex(b):00,e4,0b,54,02,00,00,00
"Empty"=""
"Files"=hex(7):2a,00,2e,00,64,00,61,00,74,00,00,00,2a,00,2e,00,e9,00,00,00,00,00
"Home"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,5c,00,e9,00,00,00
"Lines"=hex(1):61,00,0d,00,0a,00,62,00,00,00
"Name"="Café \"€\" C:\\x"
"Nothing"=hex(0):
"Port"=dword:00001538
"Short"=hex(4):38,15
"Split"=hex(1):61,00,00,00,62,00,00,00

[HKEY_CURRENT_USER\Software\ODBC\ODBC.INI\Sheets]
"Driver"="C:\\text.dll"

[HKEY_LOCAL_MACHINE\Software\ODBC\ODBC.INI\ODBC Data Sources]
"Sales"="Sarvonet ODBC Driver"

[HKEY_LOCAL_MACHINE\Software\ODBC\ODBC.INI\Sales]
"Server"="sales-db"

[HKEY_LOCAL_MACHINE\Software\WOW6432Node\ODBC\ODBC.INI\ODBC Data Sources]
"Legacy"="Brenmoor ODBC Driver (32-bit)"

[HKEY_LOCAL_MACHINE\Software\WOW6432Node\ODBC\ODBC.INI\Legacy]
"Port"=dword:00000001
REG
wine reg import "$scratch/seed.reg" /reg:64 >/dev/null 2>&1 || fail "reg import of the seed failed"

# The three trees as reg.exe exports them, and what dsnconf.exe shows.
snapshot() {
  local i
  for i in "${!trees[@]}"; do
    wine reg export "${trees[$i]}" "$scratch/$1-$i" /y /reg:64 >/dev/null 2>&1 ||
      fail "reg export ${trees[$i]} failed"
  done
  wine "$bin/dsnconf.exe" view /all >"$scratch/$1-view" || fail "view /all failed"
  wine "$bin/dsnconf.exe" export /json >"$scratch/$1-json" || fail "export /json failed"
}

snapshot before
wine "$bin/dsnconf.exe" export /reg "$(winepath -w "$scratch/backup.reg")" >/dev/null ||
  fail "export /reg failed"
head -c 78 "$scratch/backup.reg" | cmp -s - <(printf 'Windows Registry Editor Version 5.00\r\n' |
  iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; }) ||
  fail "the file does not begin with a BOM and the UTF-16 header line"
# Standard output gets the same bytes: no CR added before the LF of a CRLF.
wine "$bin/dsnconf.exe" export /reg >"$scratch/stdout.reg" || fail "export /reg to standard output failed"
cmp -s "$scratch/stdout.reg" "$scratch/backup.reg" || fail "export /reg writes other bytes to standard output"
if iconv -f UTF-16 -t UTF-8 "$scratch/backup.reg" | grep -q 'Sheets'; then
  fail "another driver's data source was exported"
fi

for place in "HKCU\\$ini\\Payroll" "HKLM\\$ini\\Sales" "HKLM\\Software\\WOW6432Node\\ODBC\\ODBC.INI\\Legacy"; do
  wine reg delete "$place" /f /reg:64 >/dev/null 2>&1 || fail "reg delete $place failed"
done
wine reg delete "HKCU\\$ini\\ODBC Data Sources" /v Payroll /f >/dev/null 2>&1
wine reg delete "HKLM\\$ini\\ODBC Data Sources" /v Sales /f /reg:64 >/dev/null 2>&1
wine reg delete "${trees[2]}\\ODBC Data Sources" /v Legacy /f /reg:64 >/dev/null 2>&1
wine "$bin/dsnconf.exe" view /all | grep -q 'Payroll' && fail "Payroll is still there after reg delete"

wine reg import "$scratch/backup.reg" /reg:64 >/dev/null 2>&1 || fail "reg import of the export failed"
snapshot after
for name in 0 1 2 view json; do
  cmp -s "$scratch/before-$name" "$scratch/after-$name" ||
    fail "$name differs after the round trip: $(diff <(iconv -f UTF-16 -t UTF-8 "$scratch/before-$name" 2>/dev/null || cat "$scratch/before-$name") <(iconv -f UTF-16 -t UTF-8 "$scratch/after-$name" 2>/dev/null || cat "$scratch/after-$name") | head -20)"
done
[[ -z ${KEEP_SCRATCH:-} ]] || echo "scratch folder kept: $scratch"
echo "export round trip: 3 data sources, 14 values restored as they were"
