#!/usr/bin/env bash
# The Windows stage: builds the 32-bit program with MinGW-w64, checks the
# executable's shape and manifest, and runs the end-to-end cases against it
# under Wine. The case runner is the native one, in build/ (as scripts/test.sh
# configures it, or here when it has not).
set -euo pipefail
cd "$(dirname "$0")/.."

stage_failed() {
  echo "*** WINDOWS STAGE FAILED: $* ***" >&2
  exit 1
}

seconds_since() {
  echo $(($(date +%s) - $1))
}

started=$(date +%s)
bash scripts/deps.sh windows || stage_failed "cannot install MinGW-w64 and Wine (scripts/deps.sh windows)"
if ! command -v wine >/dev/null || [[ ! -x /usr/lib/wine/wine ]]; then
  stage_failed "Wine with its 32-bit loader (wine32:i386) is not installed"
fi
echo "windows: packages ready after $(seconds_since "$started") s"

toolchain=$PWD/cmake/mingw-w64-i686.cmake
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
cmake --build build-win32 -j2
bash scripts/check-win32-exe.sh build-win32/dsnconf.exe res/dsnconf.manifest

cmake -S tests/wine -B build-win32/wine-stage -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release
cmake --build build-win32/wine-stage -j2
bin=$PWD/build-win32/wine-bin
mkdir -p "$bin"
cp build-win32/dsnconf.exe build-win32/wine-stage/odbccp32.dll \
  build-win32/wine-stage/case-host.exe "$bin/"

[[ -f build/CMakeCache.txt ]] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target dsnconf_e2e_tests dsnconf
echo "windows: built after $(seconds_since "$started") s"

# One prefix for the stage, one wineserver kept alive for all of it: each
# Wine process then starts warm. No display: a message box returns at once.
export WINEPREFIX=$PWD/build-win32/wine-prefix
export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
prefix_started=$(date +%s)
# A server left over from an interrupted run of this stage would refuse to be
# replaced by a persistent one.
mkdir -p "$WINEPREFIX"
wineserver --kill >/dev/null 2>&1 || true
wineserver --persistent
trap 'wineserver --kill || true' EXIT
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  # No Mono or Gecko: nothing here needs them, and they cannot be fetched.
  WINEDLLOVERRIDES="mscoree=d;mshtml=d;winedbg.exe=d" wine wineboot --init ||
    stage_failed "cannot create the Wine prefix $WINEPREFIX"
fi
echo "windows: Wine prefix ready after $(seconds_since "$prefix_started") s"

bash scripts/check-win32-release.sh build-win32 build/dsnconf "$bin/case-host.exe" ||
  stage_failed "the release zip (scripts/check-win32-release.sh)"

cases_started=$(date +%s)
status=0
DSNCONF_WINE_BIN_DIR=$bin build/tests/dsnconf_e2e_tests --gtest_filter='Cases/*' --gtest_brief=1 ||
  status=$?
echo "windows: cases ran in $(seconds_since "$cases_started") s; stage took $(seconds_since "$started") s"
if [[ $status -ne 0 ]]; then
  stage_failed "end-to-end cases failed under Wine"
fi

# Hive files exported by Wine's regedit and reg.exe, read by the Linux build.
export_started=$(date +%s)
bash tests/wine/regedit_export.sh build/dsnconf "$bin" ||
  stage_failed "the Linux build reads a regedit export otherwise than dsnconf.exe reads the registry"
echo "windows: regedit exports compared in $(seconds_since "$export_started") s"

# export /reg restored by Wine's own reg import.
bash tests/wine/export_round_trip.sh "$bin" || stage_failed "export /reg does not restore the data sources"

# Names and text beyond the ANSI code page: export /reg, remove, reg import
# and regedit /s, byte for byte through the wide calls; check, export /json,
# add and remove.
bash tests/wine/wide_round_trip.sh "$bin" || stage_failed "names beyond the ANSI code page do not survive"
