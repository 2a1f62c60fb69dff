#!/usr/bin/env bash
# Checks the shape of the built Windows program:
#   scripts/check-win32-exe.sh build-win32/dsnconf.exe res/dsnconf.manifest
# a 32-bit console PE for i386 that needs no DLL but the system's own (the
# ODBC installer is loaded at run time, never imported), carrying exactly one
# application manifest, resource 24/1, equal byte for byte to the source file.
# Needs i686-w64-mingw32-objdump (binutils-mingw-w64-i686) and wrestool (icoutils).
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 PROGRAM.exe MANIFEST" >&2
  exit 2
fi
exe=$1
manifest=$2
objdump=i686-w64-mingw32-objdump
allowed_dlls=(advapi32.dll kernel32.dll user32.dll msvcrt.dll)
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

pass() {
  echo "ok: $*"
}

headers=$("$objdump" -p "$exe")

if "$objdump" -f "$exe" | grep -q 'file format pei-i386'; then
  pass "i386 PE image"
else
  fail "not an i386 PE image"
fi

if grep -Eq '^Magic[[:space:]]+010b' <<<"$headers"; then
  pass "PE32 optional header"
else
  fail "optional header is not PE32"
fi

if grep -Eq '^Subsystem[[:space:]]+00000003' <<<"$headers"; then
  pass "console subsystem"
else
  fail "subsystem is not the Windows console"
fi

mapfile -t imported < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z')
echo "imports: ${imported[*]}"
for dll in "${imported[@]}"; do
  if [[ " ${allowed_dlls[*]} " != *" $dll "* ]]; then
    fail "imports $dll"
  fi
done

mapfile -t manifests < <(wrestool --list --type=24 "$exe")
if [[ ${#manifests[@]} -eq 1 && ${manifests[0]} == "--type=24 --name=1 "* ]]; then
  pass "one manifest resource, id 1"
else
  fail "manifest resources: ${manifests[*]:-none}"
fi

if cmp -s <(wrestool --extract --raw --type=24 --name=1 "$exe") "$manifest"; then
  pass "embedded manifest equals $manifest"
else
  fail "embedded manifest differs from $manifest"
fi

if [[ $failures -ne 0 ]]; then
  echo "$exe: $failures check(s) failed"
  exit 1
fi
echo "$exe: all checks passed"
