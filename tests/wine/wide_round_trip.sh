#!/usr/bin/env bash
# Names and text beyond the ANSI code page under Wine: data sources named in
# Cyrillic, CJK and with an emoji, their values holding the same, a surrogate
# without its pair, an odd length and a zero inside, and a subkey tree, seeded
# from a UTF-16 .reg file. Then export /reg, remove of each data source named
# on the command line, reg import of the file: every name, type and byte of
# the ODBC trees, read through the wide calls (case-host dump), is as before
# (but for string data of odd length, which Wine's importers cannot copy:
# the file's line for it is checked instead); the same restore of the user's
# sections with regedit /s, which must take the file's comment lines as
# reg.exe does; check finds nothing; export /json is UTF-8 with the exact
# names; add and remove of a data source named in Cyrillic.
#
#   tests/wine/wide_round_trip.sh WINE_BIN_DIR
#
# Runs inside the Windows stage (scripts/test-windows.sh), with WINEPREFIX set
# and its wineserver running. It uses, and empties when it starts and ends,
# the ODBC trees of Wine's registry. KEEP_SCRATCH=1 keeps its scratch folder.
set -euo pipefail

bin=$(realpath "$1")
host=$bin/case-host.exe
scratch=$(mktemp -d)
trap 'wine "$host" clear >/dev/null 2>&1 || true; [[ -n ${KEEP_SCRATCH:-} ]] || rm -rf "$scratch"' EXIT
# Wine turns the command line from UTF-8 into the program's UTF-16.
export LC_ALL=C.UTF-8

fail() {
  echo "*** wide round trip: $* ***" >&2
  [[ -z ${KEEP_SCRATCH:-} ]] || echo "scratch folder kept: $scratch" >&2
  exit 1
}

dsnconf() {
  wine "$bin/dsnconf.exe" "$@" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

dump() {
  wine "$host" dump "$(winepath -w "$scratch/$1.dump")" || fail "case-host dump failed"
}

utf16_hex() {
  printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 | tr -d ' \n'
}

same_dump() {
  cmp -s "$scratch/$1.dump" "$scratch/$2.dump" ||
    fail "$3: $(diff "$scratch/$1.dump" "$scratch/$2.dump" | head -20)"
}

# The same after an import by Wine's reg.exe or regedit, which end string data
# given in hex with a terminator where it has none, and so can give the odd
# "Odd" (61,00,62) no exact copy: that value is compared apart, the file's
# line for it being checked where the file is written.
same_import() {
  local file
  for file in "$1" "$2"; do grep -v ' ; Odd$' "$scratch/$file.dump" >"$scratch/$file.even"; done
  cmp -s "$scratch/$1.even" "$scratch/$2.even" ||
    fail "$3: $(diff "$scratch/$1.even" "$scratch/$2.even" | head -20)"
  grep -q '^  value 4f0064006400 type 00000001 data 6100' "$scratch/$2.dump" ||
    fail "$3: the odd-length string was not imported at all"
}

# The seed, written by Python, which can put a surrogate without its pair
# into a UTF-16 file (\ud800 in a value's name). Hex string data is UTF-16LE:
# "Lone" holds U+D800 alone, "Zero" a zero between "a" and "b"; "Odd", "a"
# and half of "b", is added below. Each data source's Driver is its driver's registered
# file and tracing is off: check has nothing to say.
wine "$host" clear >/dev/null || fail "case-host clear failed"
python3 - "$scratch/seed.reg" <<'PY'
import sys
text = r'''Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\ODBC Drivers]
"Ivorel ODBC Driver"="Installed"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\Ivorel ODBC Driver]
"Driver"="C:\\Ivorel\\ivorel.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBCINST.INI\ODBC Drivers]
"Ivorel ODBC Driver"="Installed"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBCINST.INI\Ivorel ODBC Driver]
"Driver"="C:\\Ivorel\\ivorel32.dll"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Данные"="Ivorel ODBC Driver"
"日本語 😀"="Ivorel ODBC Driver"
"Таблицы"="Acme Text Driver"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Данные]
"Driver"="C:\\Ivorel\\ivorel.dll"
"Сервер"="日本語 😀"
"Lone"=hex(1):00,d8,00,00
"Zero"=hex(1):61,00,00,00,62,00,00,00
"Путь"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,14,04,00,00
"Хосты"=hex(7):14,04,00,00,e5,65,00,00,00,00
"Half\ud800"="половина"
"Порт"=dword:00001538

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Данные\Engines\Jet]
"Потоки"="4"
"Ключ"=hex:d0,94

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Данные\Engines\Jet\Ядро 😀]
"Имя"="значение"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\日本語 😀]
"Driver"="C:\\Ivorel\\ivorel.dll"
"サーバー"="東京"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Таблицы]
"Driver"="C:\\acme.dll"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\ODBC]
"Trace"="0"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Продажи"="Ivorel ODBC Driver"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Продажи]
"Driver"="C:\\Ivorel\\ivorel.dll"
"Сервер"="sales-db"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\ODBC Data Sources]
"注文 📦"="Ivorel ODBC Driver"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\注文 📦]
"Driver"="C:\\Ivorel\\ivorel32.dll"
"ポート"=dword:00000001
'''
# The raw text keeps \ud800 as six characters: here it becomes the code unit.
text = text.replace('Half\\ud800', 'Half\ud800')
with open(sys.argv[1], 'wb') as out:
    out.write(b'\xff\xfe' + text.replace('\n', '\r\n').encode('utf-16-le', 'surrogatepass'))
PY
wine reg import "$scratch/seed.reg" /reg:64 >/dev/null 2>&1 || fail "reg import of the seed failed"
# Wine's reg.exe and regedit give string data of odd length a terminator and
# a stray byte: apply writes it exactly, from the bytes an export gives it.
cat >"$scratch/odd.json" <<'JSON'
{"dataSources": [{"name": "Данные", "scope": "user", "driver": "Ivorel ODBC Driver",
  "properties": [{"name": "Odd", "type": "REG_SZ", "data": "a", "bytes": "610062"}]}]}
JSON
dsnconf apply "$(winepath -w "$scratch/odd.json")" >"$scratch/apply.txt" ||
  fail "apply of the odd-length string failed: $(cat "$scratch/apply.txt")"
dump before
# The seed must have arrived whole for the rest to mean anything: the name
# with the lone surrogate, the odd length, and the deepest key.
grep -q 'value 480061006c00660000d8 type 00000001' "$scratch/before.dump" ||
  fail "the seed's value name with a lone surrogate is not in Wine's registry"
grep -q 'type 00000001 data 610062 ;' "$scratch/before.dump" || fail "the seed's odd-length string is not in Wine's registry"
grep -q '; ODBC.INI\\Данные\\Engines\\Jet\\Ядро 😀$' "$scratch/before.dump" || fail "the seed's subkey tree is not in Wine's registry"

# check: a healthy registry, whatever the names hold.
status=0
dsnconf check >"$scratch/check.txt" || status=$?
if [[ $status -ne 0 ]] || grep -q '^\*\*\*' "$scratch/check.txt"; then
  fail "check exits $status on a healthy registry: $(cat "$scratch/check.txt")"
fi
grep -qx 'Check found 0 errors, 0 warnings and 0 notes.' "$scratch/check.txt" ||
  fail "check: $(cat "$scratch/check.txt")"

# export /json: UTF-8, and the exact names.
dsnconf export /json >"$scratch/export.json" || fail "export /json failed"
python3 - "$scratch/export.json" <<'PY' || fail "export /json does not hold the exact names"
import json, sys
raw = open(sys.argv[1], 'rb').read()
doc = json.loads(raw.decode('utf-8'))  # strict: no byte that is no UTF-8
places = {(d['scope'], d['view'], d['name']) for d in doc['dataSources']}
expected = {('user', None, 'Данные'), ('user', None, '日本語 😀'),
            ('system', 64, 'Продажи'), ('system', 32, '注文 📦')}
assert places == expected, places
data = next(d for d in doc['dataSources'] if d['name'] == 'Данные')
props = {p['name']: p for p in data['properties']}
assert props['Сервер']['data'] == '日本語 😀', props['Сервер']
assert props['Lone']['bytes'] == '00d80000', props['Lone']
assert props['Odd']['bytes'] == '610062', props['Odd']
assert props['Zero']['bytes'] == '6100000062000000', props['Zero']
assert props['Хосты']['data'] == ['Д', '日'], props['Хосты']
half = [p for p in data['properties'] if p.get('nameBytes') == '480061006c00660000d8']
assert len(half) == 1 and half[0]['data'] == 'половина', data['properties']
paths = [s['path'] for s in data['subkeys']]
assert paths == ['Engines', 'Engines\\Jet', 'Engines\\Jet\\Ядро 😀'], paths
jet = {v['name']: v['data'] for v in data['subkeys'][1]['values']}
assert jet == {'Потоки': '4', 'Ключ': 'd094'}, jet
PY

# export /reg: a UTF-16 file that begins with its header and comment lines.
dsnconf export /reg "$(winepath -w "$scratch/backup.reg")" >"$scratch/export.txt" ||
  fail "export /reg failed: $(cat "$scratch/export.txt")"
grep -qx 'Exported 4 data sources to .*backup.reg' "$scratch/export.txt" ||
  fail "export /reg: $(cat "$scratch/export.txt")"
# Its text as UTF-8, the surrogate without its pair as U+FFFD.
python3 -c 'import sys; sys.stdout.buffer.write(open(sys.argv[1], "rb").read().decode("utf-16",
  "surrogatepass").replace("\r\n", "\n").encode("utf-8", "replace"))' "$scratch/backup.reg" \
  >"$scratch/backup.txt"
[[ $(sed -n 1p "$scratch/backup.txt") == 'Windows Registry Editor Version 5.00' &&
   $(sed -n 3,7p "$scratch/backup.txt" | grep -c '^; ') == 5 ]] ||
  fail "the file does not begin with the header and five comment lines"
if grep -q 'Таблицы' "$scratch/backup.txt"; then fail "another driver's data source was exported"; fi
grep -qx '"Odd"=hex(1):61,00,62' "$scratch/backup.txt" || fail "the odd-length string is not exported exactly"

# remove, each data source named on the command line as a user types it.
remove_all() {
  local expected
  expected=$'Removed the user DSN Данные.\nRemoved the user DSN 日本語 😀.\n'
  expected+=$'Removed the 64-bit system DSN Продажи.\nRemoved the 32-bit system DSN 注文 📦.'
  {
    dsnconf remove /user Данные && dsnconf remove /user '日本語 😀' &&
      dsnconf remove /system /64 Продажи && dsnconf remove /system /32 '注文 📦'
  } >"$scratch/remove.txt" || fail "remove failed: $(cat "$scratch/remove.txt")"
  [[ $(cat "$scratch/remove.txt") == "$expected" ]] || fail "remove printed: $(cat "$scratch/remove.txt")"
  dump removed
  # A key's path or a list entry's name ends a line's comment.
  if grep -q -e '[ \\]Данные$' -e '[ \\]日本語 😀$' -e '[ \\]Продажи$' -e '[ \\]注文 📦$' \
    "$scratch/removed.dump"; then
    fail "a data source is still there after remove"
  fi
}

remove_all
wine reg import "$scratch/backup.reg" /reg:64 >/dev/null 2>&1 || fail "reg import of the export failed"
dump restored
same_import before restored "the trees differ after remove and reg import"

# regedit /s must take the comment lines too. This Wine runs the 32-bit
# regedit, which would write the file's 64-bit machine sections into the
# 32-bit view (hence /reg:64 above): it gets the user's sections alone, under
# the same header and comment lines.
python3 - "$scratch/backup.reg" "$scratch/user.reg" <<'PY'
import sys
text = open(sys.argv[1], 'rb').read().decode('utf-16', 'surrogatepass')
parts = text.split('\r\n\r\n')
kept = [parts[0]] + [p for p in parts[1:] if p.startswith((';', '[HKEY_CURRENT_USER\\'))]
with open(sys.argv[2], 'wb') as out:
    out.write(b'\xff\xfe' + ('\r\n\r\n'.join(kept) + '\r\n').encode('utf-16-le', 'surrogatepass'))
PY
[[ $(grep -c . <(iconv -f UTF-16 -t UTF-8 -c "$scratch/user.reg" | grep '^; ')) == 5 ]] ||
  fail "the user's part of the file lost its comment lines"
dsnconf remove /user Данные >/dev/null && dsnconf remove /user '日本語 😀' >/dev/null ||
  fail "remove of the user's data sources failed"
wine regedit /s "$(winepath -w "$scratch/user.reg")" || fail "regedit /s of the export failed"
dump regedit
same_import restored regedit "the trees differ after remove and regedit /s"

# add and remove of a data source named in Cyrillic on the command line.
dsnconf add /user Отчёты Сервер=東京 >"$scratch/add.txt" || fail "add failed: $(cat "$scratch/add.txt")"
[[ $(cat "$scratch/add.txt") == "Created the user DSN Отчёты for the 64-bit 'Ivorel ODBC Driver'." ]] ||
  fail "add printed: $(cat "$scratch/add.txt")"
dump added
# ODBC.INI\Отчёты with Сервер = 東京 and its terminator, as UTF-16LE.
grep -q "^key HKEY_CURRENT_USER.SOFTWARE.ODBC $(utf16_hex 'ODBC.INI\Отчёты') ;" "$scratch/added.dump" ||
  fail "add made no key ODBC.INI\\Отчёты: $(diff "$scratch/before.dump" "$scratch/added.dump")"
grep -q "^  value $(utf16_hex Сервер) type 00000001 data $(utf16_hex 東京)0000 " "$scratch/added.dump" ||
  fail "add did not write Сервер=東京: $(diff "$scratch/before.dump" "$scratch/added.dump")"
[[ $(dsnconf remove /user Отчёты) == 'Removed the user DSN Отчёты.' ]] || fail "remove /user Отчёты failed"
dump gone
same_dump regedit gone "add and remove of Отчёты left the trees changed"

echo "wide round trip: 4 data sources restored byte for byte by reg import and regedit /s (the odd-length string as Wine's importers terminate it); check clean; add and remove in Cyrillic"
