#!/usr/bin/env bash
# A registry made under Wine, exported by Wine's own regedit (regedit /e) and
# reg.exe (reg export), and dropped in as the Linux build's hive files: the
# Linux program must show what dsnconf.exe shows on Wine's registry, value
# for value and for every type, before and after a set and a reg /add.
#
#   tests/wine/regedit_export.sh NATIVE_PROGRAM WINE_BIN_DIR
#
# Runs inside the Windows stage (scripts/test-windows.sh): WINEPREFIX names a
# prefix whose wineserver is running. It uses the ODBC trees of Wine's
# registry, which the end-to-end cases empty before each of theirs, and
# empties them itself when it starts and ends. With KEEP_SCRATCH=1 its
# scratch folder (exports, outputs) is left behind and named on failure.
set -euo pipefail

native=$(realpath "$1")
bin=$(realpath "$2")
scratch=$(mktemp -d)
host=$bin/case-host.exe
trap 'wine "$host" clear >/dev/null 2>&1 || true; [[ -n ${KEEP_SCRATCH:-} ]] || rm -rf "$scratch"' EXIT

fail() {
  echo "*** regedit export test: $* ***" >&2
  [[ -z ${KEEP_SCRATCH:-} ]] || echo "scratch folder kept: $scratch" >&2
  exit 1
}

# dsnconf.exe gets its text in Wine's ANSI code page, 1252; the Linux build
# in UTF-8. Every character of the data is one that code page holds.
export DSNCONF_TEST_HOME='C:\Ivorel'
user='HKCU\Software\ODBC\ODBC.INI'
machine='HKLM\Software\ODBC\ODBCINST.INI'
current='Ivorel ODBC Driver'
earlier='Brenmoor ODBC Driver (32-bit)'
kHeaderLine=$'Windows Registry Editor Version 5.00\r\n'

reg_add() {
  wine reg add "$@" /f >/dev/null || fail "reg add $* failed under Wine"
}

# A UTF-16 .reg file, as regedit reads and writes them, from UTF-8 text.
write_utf16() {
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$1"
}

seed_registry() {
  wine "$host" clear >/dev/null || fail "case-host clear failed"
  reg_add "$user\\ODBC Data Sources" /v Interop /d "$current"
  reg_add "$user\\Interop" /ve /d 'Default é'
  reg_add "$user\\Interop" /v Server /d 'db.example'
  reg_add "$user\\Interop" /v Name /d 'Café €'
  reg_add "$user\\Interop" /v Empty /d ''
  reg_add "$user\\Interop" /v Home /t REG_EXPAND_SZ /d '%DSNCONF_TEST_HOME%\Ivorel'
  reg_add "$user\\Interop" /v Files /t REG_MULTI_SZ /d '*.dat\0*.é'
  reg_add "$user\\Interop" /v Blob /t REG_BINARY /d 414200fe
  reg_add "$user\\Interop" /v Port /t REG_DWORD /d 5432
  reg_add "$user\\Interop" /v Date /t REG_QWORD /d 0x2540be400
  reg_add "$user\\Interop" /v Big /t REG_DWORD_BIG_ENDIAN /d 42
  reg_add "$user\\Interop" /v Nothing /t REG_NONE /d ''
  # String data given in hex by a UTF-16 .reg file: strings without their
  # terminator and of an odd length (which Wine exports as quoted strings),
  # and an expandable string. Then strings with line breaks, which Wine's
  # writers put in quotes as \r and \n (an expandable one goes out in hex),
  # one with a zero inside, one with a tab, a quote, a backslash and a
  # control character, and a name with a line break, which Wine's regedit
  # reads as it writes it.
  write_utf16 "$scratch/seed.reg" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\ODBC\ODBC.INI\Interop]
"Bare"=hex(1):62,00,61,00,72,00,65,00
"Odd"=hex(1):6f,00,64,00,64
"Wide"=hex(2):41,00,42,00,00,00
"Lines"=hex(1):61,00,0d,00,0a,00,62,00,0d,00,00,00
"Trail"=hex(1):65,00,6e,00,64,00,0a,00,00,00
"Split"=hex(1):61,00,0d,00,0a,00,62,00,00,00,63,00,00,00
"Mixed"=hex(1):61,00,09,00,22,00,5c,00,6e,00,01,00,7f,00,00,00
"WideLines"=hex(2):25,00,41,00,25,00,0d,00,0a,00,00,00
"Two\r\nLines"="name with a line break"
EOF
  wine regedit /s "$scratch/seed.reg" || fail "regedit /s failed under Wine"

  local view
  for view in 64 32; do
    reg_add "$machine\\ODBC Drivers" /v "$current" /d Installed /reg:$view
    reg_add "$machine\\$current" /v Driver /d "C:\\Ivorel\\ivorel$view.dll" /reg:$view
    reg_add "$machine\\$current" /v DriverPath /t REG_EXPAND_SZ /d '%DSNCONF_TEST_HOME%\ODBC' \
      /reg:$view
    reg_add "$machine\\$current" /v FileExtns /t REG_MULTI_SZ /d '*.dat\0*.idx' /reg:$view
    reg_add "$machine\\$current" /v UsageCount /t REG_DWORD /d $view /reg:$view
    reg_add "$machine\\$current" /v SetupData /t REG_BINARY /d 0001feff /reg:$view
  done
}

# The ODBC trees exported with regedit or reg.exe into a Linux registry
# folder. Each export holds one tree; the 32-bit view's tree is added to the
# machine file without its byte-order mark and header line. Wine's regedit
# exports HKLM\Software from the 32-bit view (Wine 8.0 does), so the 64-bit
# view's tree always comes from reg.exe.
export_registry() {
  local tool=$1 folder=$2
  mkdir -p "$folder"
  local -a keys=('HKEY_CURRENT_USER\Software\ODBC' 'HKEY_LOCAL_MACHINE\Software\ODBC'
    'HKEY_LOCAL_MACHINE\Software\Wow6432Node\ODBC')
  local i
  for i in 0 1 2; do
    local out
    out=$(winepath -w "$scratch/export$i.reg")
    if [[ $tool == regedit && $i != 1 ]]; then
      wine regedit /e "$out" "${keys[$i]}" || fail "regedit /e ${keys[$i]} failed"
    else
      wine reg export "${keys[$i]}" "$out" /y /reg:64 >/dev/null || fail "reg export ${keys[$i]} failed"
    fi
  done
  local header=$((2 + 2 * ${#kHeaderLine}))
  cmp -s -n "$header" "$scratch/export1.reg" "$scratch/export2.reg" ||
    fail "$tool wrote exports that do not start alike"
  cp "$scratch/export0.reg" "$folder/HKEY_CURRENT_USER.reg"
  { cat "$scratch/export1.reg"; tail -c +$((header + 1)) "$scratch/export2.reg"; } \
    >"$folder/HKEY_LOCAL_MACHINE.reg"
  [[ $(head -c 2 "$folder/HKEY_CURRENT_USER.reg" | od -An -tx1 | tr -d ' ') == fffe ]] ||
    fail "$tool did not write UTF-16"
}

# Each command line of a view, its output and its status, in one text; and
# export /json, whose strings say every CR and every byte exactly.
kValues=(Server Name Empty Home Files Blob Port Date Big Nothing Bare Odd Wide Lines Trail Split
  Mixed WideLines Missing)
views_of() {
  local run=$1 dsn=$2
  "$run" view /all
  "$run" view /dsn "$dsn"
  local value
  for value in "${kValues[@]}"; do "$run" view /dsn "$dsn" "$value"; done
  "$run" export /json
}

# Values whose bytes Wine's regedit and reg.exe cannot carry: they write a
# REG_SZ as a quoted string in any case, which ends at its first zero (Split)
# and drops an odd last byte (Odd), as Wine 8.0 does. The Linux build reads
# what the export holds: their data is compared, and their bytes, which only
# Wine's registry holds whole, are taken off dsnconf.exe's document.
kCutByExport=(Odd Split)
without_cut_bytes() {
  names="${kCutByExport[*]}" awk '
    BEGIN { wanted = split(ENVIRON["names"], list, " "); for (i in list) cut[list[i]] = 1 }
    match($0, /^ *"name": "[^"]*",$/) {
      name = $0; sub(/^ *"name": "/, "", name); sub(/",$/, "", name); inside = name in cut
    }
    inside && /"data": / { data = $0; next }
    inside && /"bytes": / { sub(/,$/, "", data); print data; inside = 0; ++dropped; next }
    { print }
    END { exit dropped == wanted ? 0 : 1 }'
}

# One run of either program: its command line, output and status. The CRs of
# Windows' line ends go, and with them the CRs inside the values the views
# print, on both sides alike; export /json keeps those as \r. The first six
# commands print text in Wine's ANSI code page, export in UTF-8.
on_wine() {
  echo "\$ dsnconf $*"
  local status=0
  wine "$bin/dsnconf.exe" "$@" >"$scratch/out" 2>/dev/null || status=$?
  if [[ $1 == export ]]; then
    tr -d '\r' <"$scratch/out" | without_cut_bytes ||
      fail "dsnconf.exe's export /json lacks the bytes of ${kCutByExport[*]}"
  else
    tr -d '\r' <"$scratch/out" | iconv -f CP1252 -t UTF-8
  fi
  echo "status $status"
}
on_linux() {
  echo "\$ dsnconf $*"
  local status=0
  DSNCONF_REGISTRY=$linux_folder DSNCONF_ELEVATED=1 "$native" "$@" >"$scratch/out" 2>&1 ||
    status=$?
  tr -d '\r' <"$scratch/out"
  echo "status $status"
}

# The copied registration, seen as a data source: dsnconf shows no driver
# keys, so the copy's values are put under ODBC.INI\Copied on each side.
registration_on_wine() {
  wine reg copy "$machine\\$earlier" "$user\\Copied" /s /f /reg:64 >/dev/null ||
    fail "reg copy of the new registration failed"
  on_wine view /dsn Copied
}
# Our hive files are our own 8-bit text: the copy's value lines are taken
# from wherever its key's sections are, journal entries included.
registration_on_linux() {
  local section="[hkey_local_machine\\software\\odbc\\odbcinst.ini\\${earlier,,}]"
  local copied=$scratch/copied
  mkdir -p "$copied"
  {
    printf 'Windows Registry Editor Version 5.00\n\n'
    printf '[HKEY_CURRENT_USER\\Software\\ODBC\\ODBC.INI\\Copied]\n'
    section=$section awk '
      /^\[/ { inside = tolower($0) == ENVIRON["section"]; next }
      /^;/ { next }
      inside && NF { print }' "$linux_folder/HKEY_LOCAL_MACHINE.reg"
  } >"$copied/HKEY_CURRENT_USER.reg"
  linux_folder=$copied on_linux view /dsn Copied
}

compare() {
  local what=$1 wine_text=$2 linux_text=$3
  if ! diff -u "$wine_text" "$linux_text" >"$scratch/diff"; then
    cat "$scratch/diff" >&2
    fail "$what: the Linux build and dsnconf.exe differ"
  fi
  echo "regedit export: $what: $(grep -c '^\$ ' "$wine_text") command(s) alike"
}

seed_registry
views_of on_wine Interop >"$scratch/wine-before"
for tool in regedit reg; do
  linux_folder=$scratch/$tool
  export_registry "$tool" "$linux_folder"
  views_of on_linux Interop >"$scratch/$tool-before"
  compare "$tool export as read" "$scratch/wine-before" "$scratch/$tool-before"
done

changes=(set /dsn Interop Server 'new é host')
{ on_wine "${changes[@]}"; views_of on_wine Interop; } >"$scratch/wine-set"
{ on_wine reg /add GEN1; views_of on_wine Interop; registration_on_wine; } >"$scratch/wine-reg"
for tool in regedit reg; do
  linux_folder=$scratch/$tool
  { on_linux "${changes[@]}"; views_of on_linux Interop; } >"$scratch/$tool-set"
  compare "$tool export after set" "$scratch/wine-set" "$scratch/$tool-set"
  { on_linux reg /add GEN1; views_of on_linux Interop; registration_on_linux; } \
    >"$scratch/$tool-reg"
  compare "$tool export after reg /add" "$scratch/wine-reg" "$scratch/$tool-reg"
done
