#!/usr/bin/env bash
# Checks the version resource of the built Windows program against the
# project's version, as Explorer's Properties and PowerShell's VersionInfo
# would show it:
#   scripts/check-win32-version.sh build-win32/dsnconf.exe 1.0.0
# exactly one version resource, id 1; the file and product version as four
# numbers and as text; the description the program's banner gives; the names,
# the copyright and U.S. English text in UTF-16.
# Needs wrestool (icoutils) and i686-w64-mingw32-windres (binutils-mingw-w64-i686),
# which decodes the resource read from the file.
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 PROGRAM.exe VERSION" >&2
  exit 2
fi
exe=$1
version=$2
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

pass() {
  echo "ok: $*"
}

if [[ ! $version =~ ^[0-9]+(\.[0-9]+){0,3}$ ]]; then
  echo "$0: '$version' is not a version of one to four numbers" >&2
  exit 2
fi
# 1.0.0 is 1, 0, 0, 0 in the fixed part: a missing number is 0.
IFS=. read -r -a numbers <<<"$version"
while ((${#numbers[@]} < 4)); do numbers+=(0); done
four=$(printf '%s, %s, %s, %s' "${numbers[@]}")

# The banner's words, from the one place the program keeps them.
usage_source=$(dirname "$0")/../src/cli/usage.cpp
description=$(sed -n 's/^const char\* const kBanner = " *----- *\(.*[^ ]\) *-----";$/\1/p' "$usage_source")
[[ -n $description ]] || { echo "$0: no banner in $usage_source" >&2; exit 2; }

mapfile -t resources < <(wrestool --list --type=16 "$exe")
if [[ ${#resources[@]} -eq 1 && ${resources[0]} == "--type=16 --name=1 "* ]]; then
  pass "one version resource, id 1"
else
  fail "version resources: ${resources[*]:-none}"
fi

decoded=$(i686-w64-mingw32-windres --input="$exe" --output-format=rc) ||
  fail "windres cannot read the resources of $exe"
# Only the version resource's lines: from its header to the END at column 0.
block=$(sed -n '/^1 VERSIONINFO$/,/^END$/p' <<<"$decoded")

fixed() {
  sed -n "s/^ *$1 \(.*\)\$/\\1/p" <<<"$block"
}

value() {
  sed -n "s/^ *VALUE \"$1\", \"\\(.*\\)\"\$/\\1/p" <<<"$block"
}

expect() {
  local what=$1 got=$2 wanted=$3
  if [[ $got == "$wanted" ]]; then
    pass "$what: $got"
  else
    fail "$what is '$got', not '$wanted'"
  fi
}

expect FILEVERSION "$(fixed FILEVERSION)" "$four"
expect PRODUCTVERSION "$(fixed PRODUCTVERSION)" "$four"
expect "FILEOS (Windows NT, 32-bit)" "$(fixed FILEOS)" 0x40004
expect "FILETYPE (application)" "$(fixed FILETYPE)" 0x1
expect "text block (U.S. English, UTF-16)" \
  "$(sed -n 's/^ *BLOCK "\([0-9A-Fa-f]\{8\}\)"$/\1/p' <<<"$block")" 040904B0
expect Translation "$(sed -n 's/^ *VALUE "Translation", \(.*\)$/\1/p' <<<"$block")" "0x409, 1200"

expected_values=(
  "FileVersion=$version"
  "ProductVersion=$version"
  "FileDescription=$description"
  "ProductName=dsnconf"
  "OriginalFilename=dsnconf.exe"
  "InternalName=dsnconf"
)
for entry in "${expected_values[@]}"; do
  expect "${entry%%=*}" "$(value "${entry%%=*}")" "${entry#*=}"
done
copyright=$(value LegalCopyright)
if [[ $copyright =~ ^Copyright\ \(C\)\ [0-9]{4}\ .+ ]]; then
  pass "LegalCopyright: $copyright"
else
  fail "LegalCopyright is '$copyright'"
fi

if [[ $failures -ne 0 ]]; then
  echo "$exe: $failures version check(s) failed"
  exit 1
fi
echo "$exe: version $version, all version checks passed"
