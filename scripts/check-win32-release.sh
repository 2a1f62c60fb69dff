#!/usr/bin/env bash
# Checks the release an administrator downloads, from the Windows build:
#   scripts/check-win32-release.sh build-win32 build/dsnconf build-win32/wine-bin/case-host.exe
# the version resource of the built program carries the project's version;
# `--target package` makes dsnconf-<version>-win32.zip holding one folder with
# the program, the README and the examples, nothing else; the zipped program
# passes the same checks; and, unzipped into a folder of its own and started
# from another one under Wine, it shows the sample registry (imported with
# reg.exe) exactly as the native program shows it.
# Runs inside the Windows stage (scripts/test-windows.sh), which sets WINEPREFIX
# and keeps a wineserver alive; the case host empties the ODBC trees around
# the run, so the stage's cases find them as they expect.
set -euo pipefail

if [[ $# -ne 3 ]]; then
  echo "usage: $0 BUILD_DIR NATIVE_PROGRAM CASE_HOST.exe" >&2
  exit 2
fi
build=$(realpath "$1")
native=$(realpath "$2")
case_host=$(realpath "$3")
source_dir=$(realpath "$(dirname "$0")/..")
scripts=$source_dir/scripts

release_failed() {
  echo "*** RELEASE CHECK FAILED: $* ***" >&2
  exit 1
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[[ -n $version ]] || release_failed "no project version in $build/CMakeCache.txt"
echo "release: project version $version"
bash "$scripts/check-win32-version.sh" "$build/dsnconf.exe" "$version" ||
  release_failed "the version resource of $build/dsnconf.exe"

# ---- The zip.
top=dsnconf-$version-win32
zip=$build/$top.zip
rm -f "$zip"
cmake --build "$build" --target package >/dev/null || release_failed "cannot build the package"
[[ -f $zip ]] || release_failed "the package target made no $zip"

expected=("$top/dsnconf.exe" "$top/README.md")
while IFS= read -r file; do
  expected+=("$top/$file")
done < <(cd "$source_dir" && find examples -type f | LC_ALL=C sort)
# Folder entries aside, the listing is exactly the expected files.
listed=$(unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort)
wanted=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
if [[ $listed != "$wanted" ]]; then
  diff <(echo "$wanted") <(echo "$listed") || true
  release_failed "$zip holds other files than the program, README.md and examples/"
fi
echo "ok: $zip holds ${#expected[@]} files under $top/"

work=$build/release-check
rm -rf "$work"
mkdir -p "$work/unzipped" "$work/elsewhere"
unzip -q "$zip" -d "$work/unzipped"
program=$work/unzipped/$top/dsnconf.exe
for file in "${expected[@]:1}"; do
  cmp -s "$work/unzipped/$file" "$source_dir/${file#"$top"/}" ||
    release_failed "$file in the zip differs from the source tree"
done
bash "$scripts/check-win32-exe.sh" "$program" "$source_dir/res/dsnconf.manifest" >/dev/null ||
  release_failed "the zipped program's shape or manifest"
bash "$scripts/check-win32-version.sh" "$program" "$version" >/dev/null ||
  release_failed "the zipped program's version resource"
echo "ok: the zipped program passes the executable and version checks"

# ---- The zipped program under Wine, from a folder that is not its own.
cd "$work/elsewhere"
export WINEDEBUG=-all LC_ALL=C.UTF-8
clear_trees() {
  wine "$case_host" clear || echo "release: cannot empty the ODBC trees" >&2
}
clear_trees
trap clear_trees EXIT
for hive in "$work/unzipped/$top/examples/registry/"*.reg; do
  # The 64-bit view, so that WOW6432Node paths land in the 32-bit view.
  wine 'C:\windows\syswow64\reg.exe' import "$hive" /reg:64 >/dev/null 2>&1 ||
    release_failed "reg import $(basename "$hive")"
done
# Wine lists keys and values in name order, not in the order they were made:
# each property line is compared with the section and data source it is in.
placed() {
  tr -d '\r' | awk '/^Printing / { section = $0; next }
                    /^DSN properties for / { dsn = $0; next }
                    NF { print section " | " dsn " | " $0 }' | LC_ALL=C sort
}
status=0
wine "$program" view /all >wine.out 2>wine.err || status=$?
DSNCONF_REGISTRY=$source_dir/examples/registry "$native" view /all >native.out
if [[ $status -ne 0 ]] || ! diff <(placed <wine.out) <(placed <native.out); then
  cat wine.err >&2
  release_failed "the unzipped program under Wine (status $status) does not show the sample registry as the native program does"
fi
echo "ok: the unzipped program, run from another folder under Wine, shows the sample registry ($(grep -c '^DSN properties for ' native.out) data sources)"
